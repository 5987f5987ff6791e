"""kttrv: read, query, extract, draw and write TORV drawings (.trv).

    import kttrv
    d = kttrv.read("plan.trv")          # a Drawing; damage is a ReadWarning
    d.layers["WALLS"], d.blocks["DOOR"]
    for line in d.query(kind="line", layer="WALLS"):
        print(line.start, line.end, line.color)
    d.extents()                          # a Box, inserts through their blocks
    a = d.arrays()                       # numpy columns per kind
    df = d.to_pandas("text")             # with layer names (needs pandas)

    new = kttrv.Drawing()
    walls = new.add_layer("WALLS", color=1)
    new.add_line((0, 0), (10, 0), layer=walls)
    new.save("new.trv")                  # LossError when something would be lost

See docs/PYTHON.md, and help() of each class.
"""

import os as _os

from ._errors import LossError, ReadError, ReadWarning, SaveError
from ._kttrv import (
    Arc,
    Attrib,
    Block,
    Blocks,
    Box,
    Circle,
    Color,
    Dimension,
    DimStyle,
    DimStyles,
    Drawing,
    Entity,
    EntityList,
    Insert,
    Layer,
    Layers,
    Line,
    LineType,
    LineTypes,
    Placement,
    Point,
    PointSet,
    Polyline,
    Solid,
    Text,
    TextStyle,
    TextStyles,
    Walked,
    check,
    info,
    read,
)
from ._kttrv import _set_sysvar_list
from ._tables import to_pandas as _to_pandas

__version__ = "0.1.0"

#: Colour numbers: "by layer" and "by block".
BYLAYER = 256
BYBLOCK = 0

__all__ = [
    "read", "info", "check", "Drawing", "ReadError", "ReadWarning", "LossError", "SaveError",
    "BYLAYER", "BYBLOCK", "Color", "Box", "Placement", "Walked", "Attrib",
    "Layer", "TextStyle", "DimStyle", "LineType", "Block", "Entity", "EntityList",
    "Layers", "TextStyles", "DimStyles", "LineTypes", "Blocks",
    "Point", "Line", "Solid", "Circle", "Arc", "Text", "Insert", "Dimension", "Polyline", "PointSet",
]

Drawing.to_pandas = _to_pandas


def _find_sysvar_list():
    """The system-variable list an installed package carries: beside it (a
    wheel) or in the prefix's data folder (cmake --install). In the build
    tree the library finds the build tree's copy itself."""
    here = _os.path.dirname(_os.path.abspath(__file__))
    candidates = [_os.path.join(here, "torv_sys.txt")]
    try:
        from ._install import DATA_FROM_PACKAGE
        candidates.append(_os.path.join(here, DATA_FROM_PACKAGE, "torv_sys.txt"))
    except ImportError:
        pass
    for path in candidates:
        if _os.path.isfile(path):
            return _os.path.normpath(path)
    return None


_list = _find_sysvar_list()
if _list is not None:
    _set_sysvar_list(_list)
