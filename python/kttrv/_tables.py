"""Drawing.to_pandas: a kind's arrays as a DataFrame, with layer names."""

import numpy as _np

# The columns of points and their coordinate names.
_AXES = ("x", "y", "z")


def _flatten(name, column):
    """A column of points (N x 3, N x k x 3) or reals (N x k) as plain columns."""
    if column.ndim == 1:
        return {name: column}
    if column.ndim == 2 and column.shape[1] == 3 and name not in ("reals",):
        return {f"{name}_{axis}": column[:, i] for i, axis in enumerate(_AXES)}
    if column.ndim == 2:
        return {f"{name}_{i}": column[:, i] for i in range(column.shape[1])}
    out = {}
    for k in range(column.shape[1]):
        for i, axis in enumerate(_AXES):
            out[f"{name}_{k}_{axis}"] = column[:, k, i]
    return out


def to_pandas(self, kind):
    """The model space's entities of one kind as a pandas DataFrame.

    One row an entity, in the drawing's order: id, layer (the number),
    layer_name, color (the value), color_number, then the kind's members of
    arrays(), points split into _x, _y, _z columns (polylines and point sets:
    their vertices as a list of (x, y, z) per row). Needs pandas.
    """
    try:
        import pandas as pd
    except ImportError as e:  # pragma: no cover - pandas is optional
        raise ImportError("Drawing.to_pandas needs pandas (Debian: python3-pandas)") from e
    arrays = self.arrays()
    if kind not in arrays or kind == "layer_names":
        raise ValueError(f"no entity kind {kind!r}")
    columns = arrays[kind]
    names = arrays["layer_names"]
    layer = columns["layer"]
    known = (layer >= 0) & (layer < len(names))
    layer_name = _np.full(len(layer), None, dtype=object)
    layer_name[known] = names[layer[known]]
    data = {"id": columns["id"], "layer": layer, "layer_name": layer_name,
            "color": columns["color"], "color_number": columns["color_number"]}
    for name, column in columns.items():
        if name in data or name in ("offsets", "vertices"):
            continue
        data.update(_flatten(name, column))
    if "offsets" in columns:
        offsets, vertices = columns["offsets"], columns["vertices"]
        data["vertices"] = [vertices[offsets[i]:offsets[i + 1]] for i in range(len(offsets) - 1)]
    return pd.DataFrame(data)
