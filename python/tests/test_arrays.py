"""Drawing.arrays() and to_pandas() hold what the typed objects hold, row by
row, for every drawing that loads."""

import warnings

import numpy as np
import pytest

import kttrv
from conftest import DRAWINGS, drawing_id

pytestmark = pytest.mark.filterwarnings("ignore::kttrv.ReadWarning")

# Each kind's array columns and how an entity gives the same row.
ROWS = {
    "point": {"at": lambda e: e.at},
    "line": {"points": lambda e: (e.start, e.end)},
    "solid": {"corners": lambda e: e.corners, "count": lambda e: e.count},
    "circle": {"centre": lambda e: e.centre, "radius": lambda e: e.radius},
    "arc": {"centre": lambda e: e.centre, "radius": lambda e: e.radius,
            "start_angle": lambda e: e.start_angle, "end_angle": lambda e: e.end_angle},
    "text": {"at": lambda e: e.at, "height": lambda e: e.height, "width_factor": lambda e: e.width_factor,
             "rotation": lambda e: e.rotation, "text": lambda e: e.text, "style": lambda e: e.style},
    "insert": {"at": lambda e: e.at, "scale": lambda e: e.scale, "rotation": lambda e: e.rotation,
               "block": lambda e: e.block_name},
    "dimension": {"points": lambda e: e.points, "reals": lambda e: e.reals, "value": lambda e: e.value,
                  "text": lambda e: e.strings[0]},
    "polyline": {"closed": lambda e: e.closed},
    "point_set": {"closed": lambda e: e.closed},
}


def loadable():
    out = []
    with warnings.catch_warnings():
        warnings.simplefilter("ignore")
        for path in DRAWINGS:
            try:
                kttrv.read(path)
                out.append(path)
            except kttrv.ReadError:
                pass
    return out


def same(a, b):
    a, b = np.asarray(a), np.asarray(b)
    if a.dtype == object or b.dtype == object:
        return a.tolist() == b.tolist()
    return np.array_equal(a, b, equal_nan=True)


@pytest.mark.parametrize("path", loadable(), ids=drawing_id)
def test_arrays_equal_objects(path):
    d = kttrv.read(path)
    arrays = d.arrays()
    assert list(arrays["layer_names"]) == d.layers.names()
    for kind, columns in ROWS.items():
        entities = d.query(kind=kind)
        got = arrays[kind]
        assert len(got["id"]) == len(entities)
        assert got["id"].tolist() == [e.id for e in entities]
        assert got["layer"].tolist() == [e.layer_index for e in entities]
        assert got["color"].tolist() == [e.color.value for e in entities]
        assert got["color_number"].tolist() == [-1 if e.color_number is None else e.color_number for e in entities]
        for name, of in columns.items():
            assert same(got[name], [of(e) for e in entities] if entities else got[name][:0]), (kind, name)
        if "offsets" in got:
            offsets, vertices = got["offsets"], got["vertices"]
            for i, e in enumerate(entities):
                assert same(vertices[offsets[i]:offsets[i + 1]], e.vertices)
            assert offsets[-1] == len(vertices)


def test_to_pandas_joins_layer_names(floor_plan):
    d = kttrv.read(floor_plan)
    for kind in ("text", "insert", "polyline", "circle"):
        df = d.to_pandas(kind)
        entities = d.query(kind=kind)
        assert df["id"].tolist() == [e.id for e in entities]
        assert df["layer_name"].tolist() == [e.layer.name for e in entities]
    texts = d.to_pandas("text")
    assert {"at_x", "at_y", "at_z", "text", "style"} <= set(texts.columns)
    with pytest.raises(ValueError):
        d.to_pandas("layer_names")
