"""The scripts of examples/python run as a user runs them, the Dask
catalogue on a local cluster of two worker processes over a few dozen files."""

import csv
import os
import shutil
import subprocess
import sys
import zipfile

import pytest

import kttrv
from conftest import EXAMPLES, SOURCE

SCRIPTS = os.path.join(SOURCE, "examples", "python")


def run(script, *args):
    done = subprocess.run([sys.executable, os.path.join(SCRIPTS, script), *map(str, args)],
                          capture_output=True, text=True, timeout=240)
    assert done.returncode == 0, done.stderr
    return done


@pytest.fixture(scope="module")
def folder(tmp_path_factory):
    """Four copies of every example, drawings built here, a damaged one and
    one that is no drawing: 36 files."""
    root = tmp_path_factory.mktemp("drawings")
    for copy in range(4):
        sub = root / f"set{copy}"
        sub.mkdir()
        for path in EXAMPLES:
            shutil.copy(path, sub / os.path.basename(path))
    for i in range(6):
        d = kttrv.Drawing()
        d.add_layer("0")
        b = d.add_block("TAG")
        b.add_circle((0, 0), 1.0)
        d.add_text(f"Room {i}", (i, i), 1.0)
        d.add_insert(b, (i, 0), attribs=[f"value {i}"])
        d.save(root / f"built{i}.trv")
    with open(EXAMPLES[0], "rb") as f:
        (root / "damaged.trv").write_bytes(f.read()[:3000])
    (root / "not-a-drawing.trv").write_bytes(b"hello" * 50)
    return root


def test_texts_to_csv(folder, tmp_path):
    out = tmp_path / "texts.csv"
    run("texts_to_csv.py", folder, out)
    with open(out, encoding="utf-8") as f:
        rows = list(csv.DictReader(f))
    assert {"Room 3", "value 3", "KtTrv"} <= {r["text"] for r in rows}
    built = [r for r in rows if r["file"].endswith("built2.trv")]
    assert [(r["what"], r["text"], r["block"]) for r in built] == [("text", "Room 2", ""),
                                                                    ("attribute", "value 2", "TAG")]


def test_thumbnails(folder, tmp_path):
    run("thumbnails.py", folder, tmp_path / "png", 64)
    pictures = list((tmp_path / "png").iterdir())
    assert len(pictures) >= 30 and all(p.read_bytes()[:4] == b"\x89PNG" for p in pictures)


def test_dask_catalogue_on_a_local_cluster(folder, tmp_path):
    archive = tmp_path / "archive.zip"
    with zipfile.ZipFile(archive, "w") as z:
        for path in sorted(folder.rglob("*.trv")):
            z.write(path, path.relative_to(folder).as_posix())
    out = tmp_path / "catalogue.csv"
    run("catalogue_dask.py", archive, out, "--workers", 2)
    with open(out, encoding="utf-8") as f:
        rows = {r["file"]: r for r in csv.DictReader(f)}
    assert len(rows) == 36
    assert rows["not-a-drawing.trv"]["loaded"] == "False" and rows["not-a-drawing.trv"]["failure"]
    assert rows["damaged.trv"]["complete"] == "False"
    assert rows["built4.trv"]["attributes"] == "value 4" and rows["built4.trv"]["generation"] == "11"
    # Each row is what the same summary gives in this process.
    sys.path.insert(0, SCRIPTS)
    try:
        import catalogue_dask
    finally:
        sys.path.pop(0)
    for name in ("set0/floor-plan.trv", "set3/legacy-torv15.trv", "built0.trv"):
        mine = catalogue_dask.summarise((str(archive), name))
        assert {k: str(v) if v is not None else "" for k, v in mine.items()} == rows[name]
