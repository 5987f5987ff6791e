#!/usr/bin/env python3
"""A PNG thumbnail of every drawing in a folder.

    python3 thumbnails.py FOLDER OUTDIR [WIDTH]

OUTDIR/<name>.png for each FOLDER/**/<name>.trv, WIDTH pixels wide (256).
"""

import pathlib
import sys
import warnings

import kttrv


def main(folder, outdir, width=256):
    out = pathlib.Path(outdir)
    out.mkdir(parents=True, exist_ok=True)
    made = 0
    for path in sorted(pathlib.Path(folder).rglob("*.trv")):
        try:
            with warnings.catch_warnings():
                warnings.simplefilter("ignore", kttrv.ReadWarning)
                d = kttrv.read(path)
        except kttrv.ReadError as e:
            print(f"{path}: skipped: {e.reason}", file=sys.stderr)
            continue
        picture = out / (path.relative_to(folder).as_posix().replace("/", "_")[:-4] + ".png")
        d.render(picture, width=width)
        made += 1
    print(f"{made} thumbnails in {out}")


if __name__ == "__main__":
    if len(sys.argv) not in (3, 4):
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2], int(sys.argv[3]) if len(sys.argv) == 4 else 256)
