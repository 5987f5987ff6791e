"""Reading: every example and generation, from a path or from bytes; what
stopped early is a warning with its byte offset; what cannot be read, and
whatever a hostile file holds, raises and never crashes."""

import os
import random
import re
import warnings

import pytest

import kttrv
from conftest import EXAMPLES, SOURCE, drawing_id, trv


@pytest.mark.parametrize("path", EXAMPLES, ids=drawing_id)
def test_reads_every_example_as_trv_does(path):
    status, out = trv("info", "--json", path, check=False)
    import json
    info = json.loads(out)
    if not info["loaded"]:
        with pytest.raises(kttrv.ReadError) as raised:
            kttrv.read(path)
        assert raised.value.path == path
        return
    d = kttrv.read(path)
    assert (d.version, d.generation, d.legacy, d.complete) == (
        info["version"], info["generation"], info["legacy"], info["complete"])
    assert len(d.layers) == info["layers"] and len(d.blocks) == info["blocks"]
    kinds = {}
    for e in d.modelspace:
        kinds[e.kind] = kinds.get(e.kind, 0) + 1
    assert kinds == info["drawables"]["model_space"]
    box = d.extents()
    assert (box is None) == (info["extents"] is None)
    if box is not None:
        assert [list(box.min), list(box.max)] == [info["extents"]["min"], info["extents"]["max"]]
    # The same file from its bytes, and kttrv.info, which is trv's own summary.
    with open(path, "rb") as f:
        again = kttrv.read(f.read())
    assert again.to_json() == d.to_json()
    assert kttrv.info(path) == info


def test_every_generation_is_among_the_examples():
    generations = set()
    for path in EXAMPLES:
        try:
            generations.add(kttrv.read(path).generation)
        except kttrv.ReadError:
            pass
    assert {3, 6, 9, 11, None} <= generations


@pytest.mark.parametrize("given, error", [
    ("no/such/file.trv", FileNotFoundError),
    (os.path.join(SOURCE, "examples"), kttrv.ReadError),   # a directory
    (b"", kttrv.ReadError),
    (b"HALD 2002\0", kttrv.ReadError),
    (b"not a drawing at all" * 10, kttrv.ReadError),
    (12, TypeError),
    (None, TypeError),
])
def test_what_cannot_be_read_raises(given, error):
    with pytest.raises(error):
        kttrv.read(given)


def cut_points():
    size = os.path.getsize(os.path.join(SOURCE, "examples", "floor-plan.trv"))
    return sorted({88, 120, 500, 2000, 2100, 2600, 3000, 4000, 5000, size - 200, size - 1})


@pytest.mark.parametrize("length", cut_points())
def test_a_damaged_file_warns_with_its_offset(floor_plan, tmp_path, length):
    with open(floor_plan, "rb") as f:
        data = f.read()[:length]
    path = tmp_path / "cut.trv"
    path.write_bytes(data)
    with warnings.catch_warnings(record=True) as caught:
        warnings.simplefilter("always")
        try:
            d = kttrv.read(path)
        except kttrv.ReadError as e:
            assert 0 <= e.offset <= len(data)
            return
    warned = [w.message for w in caught if isinstance(w.message, kttrv.ReadWarning)]
    assert len(warned) == len(d.warnings)
    status, _ = trv("check", str(path), check=False)
    assert d.complete == (status == 0)
    # The byte a warning is about may lie past the cut: where a section the
    # directory names should have started.
    for w in d.warnings:
        assert 0 <= w.offset <= os.path.getsize(floor_plan) and f"at byte {w.offset}" in str(w)
        assert w.section and w.reason


def mutations():
    """Files made hostile: bytes flipped, counts made huge, random data."""
    with open(os.path.join(SOURCE, "examples", "floor-plan.trv"), "rb") as f:
        base = f.read()
    rng = random.Random(27)
    out = []
    for i in range(40):
        data = bytearray(base)
        for _ in range(1 + i % 5):
            data[rng.randrange(88, len(data))] = rng.randrange(256)
        out.append(bytes(data))
    for at in range(88, len(base) - 4, max(1, (len(base) - 92) // 40)):
        data = bytearray(base)
        data[at:at + 4] = b"\xff\xff\xff\x7f"
        out.append(bytes(data))
    out += [bytes(rng.randrange(256) for _ in range(n)) for n in (1, 87, 88, 200, 5000)]
    out.append(base[:88] + bytes(rng.randrange(256) for _ in range(4000)))
    return out


@pytest.mark.parametrize("data", mutations(), ids=lambda d: f"{len(d)}:{hash(d) & 0xffff:04x}")
def test_a_hostile_file_raises_or_loads_and_never_crashes(data):
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        try:
            d = kttrv.read(data)
        except kttrv.ReadError as e:
            assert isinstance(e.reason, str) and e.offset >= 0
            return
        # Whatever loaded can be looked at every way.
        d.extents()
        d.arrays()
        d.to_json()
        d.walk()
        for e in d.modelspace:
            e.bbox()
            e.stored
            if isinstance(e, kttrv.Insert):
                e.attribs
                e.explode()
        d.to_bytes(allow_loss=True)


def test_warnings_name_the_file_and_point_at_the_caller(floor_plan, tmp_path):
    path = tmp_path / "cut.trv"
    with open(floor_plan, "rb") as f:
        path.write_bytes(f.read()[:3000])
    with pytest.warns(kttrv.ReadWarning, match=re.escape(str(path))) as caught:
        kttrv.read(path)
    assert caught[0].filename == __file__


def test_reads_in_threads_give_what_reads_one_after_another_give():
    from concurrent.futures import ThreadPoolExecutor
    paths = [p for p in EXAMPLES if kttrv.info(p)["loaded"]] * 4
    alone = [kttrv.read(p).to_json() for p in paths]
    with ThreadPoolExecutor(4) as pool:
        together = list(pool.map(lambda p: kttrv.read(p).to_json(), paths))
    assert together == alone


@pytest.mark.parametrize("call", [kttrv.info, kttrv.check, kttrv.read], ids=lambda f: f.__name__)
@pytest.mark.parametrize("name", ["cut_2000", "refused", "legacy"])
def test_nothing_is_printed_but_given_as_values(capfd, call, name):
    path = os.path.join(SOURCE, "fuzz", "corpus", "fuzz_load_document", name)
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        try:
            call(path)
        except kttrv.ReadError:
            pass
    out, err = capfd.readouterr()
    assert out == "" and err == ""
