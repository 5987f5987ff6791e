"""The exceptions and warnings of kttrv."""


class ReadError(Exception):
    """A file that cannot be read as a drawing.

    reason: why (the loader's words); offset: the byte the reason is about
    (0 when the file as a whole is refused); path: the file, None for bytes.
    """

    def __init__(self, reason, offset=0, path=None):
        self.reason = reason
        self.offset = offset
        self.path = path
        super().__init__(f"{path}: {reason}" if path else reason)


class ReadWarning(UserWarning):
    """A section of a file that stopped early on damaged data; the load went on.

    section: "entities", "layers", ...; offset: the byte where it stopped;
    reason: what was wrong; block: the block whose definition it lies in
    (-1 outside blocks).
    """

    def __init__(self, message, section="", offset=0, reason="", block=-1):
        self.section = section
        self.offset = offset
        self.reason = reason
        self.block = block
        super().__init__(message)


class LossError(Exception):
    """A save refused: the file cannot hold the whole drawing.

    losses: {category: count}, the categories of docs/WRITER.md ("attribute
    records", "by-layer colours", ...). Save with allow_loss=True to write
    what the file can hold.
    """

    def __init__(self, message, losses):
        self.losses = dict(losses)
        super().__init__(message)


class SaveError(OSError):
    """A file (drawing or picture) that could not be written."""
