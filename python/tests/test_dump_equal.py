"""The typed objects hold what `trv dump` shows, for every example and test
drawing: the dump is rebuilt from the Python objects alone (not from
to_json) and compared member by member."""

import json

import pytest

import kttrv
from conftest import DRAWINGS, drawing_id, plain, trv, trv_json

pytestmark = pytest.mark.filterwarnings("ignore::kttrv.ReadWarning")

MEMBERS = {
    "point": ("at",),
    "line": ("start", "end"),
    "solid": ("corners", "count"),
    "circle": ("centre", "radius"),
    "arc": ("centre", "radius", "start_angle", "end_angle"),
    "text": ("text", "style", "at", "height", "width_factor", "rotation"),
    "insert": ("at", "scale", "rotation", "block_name"),
    "dimension": ("strings", "points", "reals", "value"),
    "polyline": ("closed", "vertices"),
    "point_set": ("closed", "vertices"),
}


def holds_more(v):
    return v["z"] != 0.0 or str(v["z"]) == "-0.0" or (v["mask"] & ~0x8) != 0 or v.get("flags", 0) != 0


def rgb_text(color):
    return "#%02X%02X%02X" % color.rgb


def entity_as_dump(e):
    out = {"id": e.id, "kind": e.kind, "color": e.color.value, "rgb": rgb_text(e.color), "third": e.third,
           "layer": e.layer_index}
    if e.layer is not None:
        out["layer_id"] = e.layer.id
        out["layer_name"] = e.layer.name
    for member in MEMBERS[e.kind]:
        out[member] = getattr(e, member)
    if e.color_number is not None:
        out["color_number"] = e.color_number
        if e.color_number in (256, 0):
            out["color_by"] = "layer" if e.color_number == 256 else "block"
    stored = e.stored
    if e.line_type is not None:
        out["line_type"] = e.line_type
    if e.extrusion is not None:
        out["extrusion"] = e.extrusion
    if e.xdata:
        out["xdata"] = [{"code": code, "value": value} for code, value in e.xdata]
    for member in ("insertion_z", "second_point", "polyline_flags"):
        if member in stored:
            out[member] = stored[member]
    if any(holds_more(v) for v in stored.get("vertices", [])):
        out["stored_vertices"] = stored["vertices"]
    if "chain" in stored:
        out["chain"] = stored["chain"]
    if "z_scale" in stored:
        out["z_scale"] = stored["z_scale"]
    if isinstance(e, kttrv.Insert) and e.attribs:
        out["attributes"] = [{"point": a.point, "second_point": a.second_point, "angle": a.angle,
                              "height": a.height, "strings": a.strings} for a in e.attribs]
    return out


def drawing_as_dump(d):
    return {
        "version": d.version,
        "generation": d.generation,
        "complete": d.complete,
        "damage": d.damage,
        "layers": [{"id": l.id, "name": l.name, "color": l.color.value, "rgb": rgb_text(l.color),
                    "line_type": l.line_type, "on": l.on,
                    "flag2": l.flag2, "flag3": l.flag3} for l in d.layers],
        "text_styles": [{"id": s.id, "name": s.name, "font_file": s.font_file, "big_font_file": s.big_font_file,
                         "reals": s.reals, "flags": s.flags, "last": s.last, "mark": s.mark} for s in d.text_styles],
        "dim_styles": [{"id": s.id, "name": s.name, "second_name": s.second_name, "longs": s.longs,
                        "shorts": s.shorts, "reals": s.reals} for s in d.dim_styles],
        "line_types": [{"id": t.id, "name": t.name} for t in d.line_types],
        "blocks": [{"id": b.id, "name": b.name, "description": b.description, "base": b.base, "bounds": b.bounds,
                    "entities": [entity_as_dump(e) for e in b]} for b in d.blocks],
        "model_space": [entity_as_dump(e) for e in d.modelspace],
    }


@pytest.mark.parametrize("path", DRAWINGS, ids=drawing_id)
def test_objects_equal_dump(path):
    try:
        d = kttrv.read(path)
    except kttrv.ReadError as e:
        status, out = trv("info", "--json", path, check=False)
        info = json.loads(out)
        assert status == 1 and info["loaded"] is False
        assert info["failure"].endswith(e.reason) and e.path == path
        return
    dumped = trv_json("dump", "--no-passed", path)
    mine = plain(drawing_as_dump(d))
    for key in dumped:
        if key in ("blocks", "model_space"):
            continue
        assert mine[key] == dumped[key], key
    for key in ("blocks", "model_space"):
        assert len(mine[key]) == len(dumped[key]), key
        for ours, theirs in zip(mine[key], dumped[key]):
            assert ours == theirs
    # to_json is the dump itself, passed records included.
    assert d.to_json() == trv("dump", path)
