"""Walks through inserts are bounded as trv's are: a drawing read from a file
gets the work budget of the file's size (a drawable or a vertex one unit
each), and what the walk gives says when the budget cut it; trv info's
extents and their completeness are the same."""

import json
import os
import warnings

import pytest

import kttrv
from conftest import trv


def polyline_drawing(vertices, inserts):
    """A block of one polyline of `vertices` vertices, inserted `inserts` times,
    each turned a little (inserts that neither turn nor shear cost the
    extents walk one unit per drawable: it takes such a block's extremes)."""
    d = kttrv.Drawing()
    d.add_layer("0")
    p = d.add_block("P")
    p.add_polyline([(i * 0.01, (i % 2) * 0.5) for i in range(vertices)])
    for i in range(inserts):
        d.add_insert(p, ((i % 10) * 1100.0, (i // 10) * 2.0), rotation=0.001 * i)
    return d


def nested_drawing(levels):
    """`levels` blocks, each inserting the one below three times, a line at the bottom."""
    d = kttrv.Drawing()
    d.add_layer("0")
    below = d.add_block("L0")
    below.add_line((0, 0), (1, 1))
    for level in range(1, levels):
        block = d.add_block("L%d" % level)
        step = 3.0 ** (level - 1) * 1.2
        for at in ((0, 0), (step, 0), (0, step)):
            block.add_insert(below, at)
        below = block
    d.add_insert(below, (0, 0))
    return d


CASES = [
    # name, drawing, whether the loaded drawing's walks are whole
    ("small", lambda: polyline_drawing(100, 10), True),
    ("long polyline inserted 1000 times", lambda: polyline_drawing(100_000, 1000), False),
    ("16 levels of 3 inserts", lambda: nested_drawing(16), False),
]


@pytest.mark.parametrize("name,make,whole", CASES, ids=[c[0] for c in CASES])
def test_the_loaded_drawing_is_walked_under_the_budget_of_its_file(name, make, whole, tmp_path):
    built = make()
    path = tmp_path / "d.trv"
    built.save(path, allow_loss=True)  # turned inserts store their angle in degrees
    d = kttrv.read(path)
    box = d.extents()
    assert box.complete is whole
    info = json.loads(trv("info", "--json", str(path)))
    assert info["extents_complete"] is whole
    assert [list(box.min), list(box.max)] == [info["extents"]["min"], info["extents"]["max"]]
    # The same bytes read from memory are bounded the same way.
    assert kttrv.read(path.read_bytes()).extents().complete is whole
    # A drawing built here is the caller's own: only the drawable limit holds.
    assert built.extents().complete is (name != "16 levels of 3 inserts")


def test_walk_and_bbox_say_when_the_budget_cut_them(tmp_path):
    path = tmp_path / "p.trv"
    polyline_drawing(100_000, 1000).save(path, allow_loss=True)
    d = kttrv.read(path)
    with pytest.warns(kttrv.ReadWarning, match="units of work"):
        walked = d.walk()
    assert isinstance(walked, list) and isinstance(walked, kttrv.Walked)
    assert walked.complete is False
    # Each insert is followed by its polyline until the budget ends the walk.
    assert 2 <= len(walked) < 2000
    insert = d.modelspace[0]
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        exploded = insert.explode()  # one polyline: well within the budget
        assert exploded.complete is True and len(exploded) == 1
        assert insert.bbox().complete is True
    small = tmp_path / "s.trv"
    polyline_drawing(100, 10).save(small, allow_loss=True)
    with warnings.catch_warnings():
        warnings.simplefilter("error")
        w = kttrv.read(small).walk()
    assert w.complete is True and len(w) == 20
