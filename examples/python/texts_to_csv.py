#!/usr/bin/env python3
"""The texts and attribute values of every drawing in a folder, as one CSV.

    python3 texts_to_csv.py FOLDER OUT.csv

One row a text of the model space or an attribute of an insert: the file,
what it is (text or attribute), the layer, x, y, the text, and for an
attribute the block it is placed with and its tag (the first string).
Files that do not load are listed on stderr and left out.
"""

import csv
import pathlib
import sys
import warnings

import kttrv


def rows(path):
    d = kttrv.read(path)
    for t in d.query(kind=kttrv.Text):
        x, y, _ = t.at
        yield {"file": str(path), "what": "text", "layer": t.layer.name if t.layer else "", "x": x, "y": y,
               "text": t.text, "block": "", "tag": ""}
    for insert in d.query(kind=kttrv.Insert):
        for a in insert.attribs:
            yield {"file": str(path), "what": "attribute", "layer": insert.layer.name if insert.layer else "",
                   "x": a.point[0], "y": a.point[1], "text": a.value or "", "block": insert.block_name,
                   "tag": a.strings[0] or ""}


def main(folder, out):
    fields = ["file", "what", "layer", "x", "y", "text", "block", "tag"]
    count = 0
    with open(out, "w", newline="", encoding="utf-8") as f:
        writer = csv.DictWriter(f, fieldnames=fields)
        writer.writeheader()
        for path in sorted(pathlib.Path(folder).rglob("*.trv")):
            try:
                with warnings.catch_warnings():
                    warnings.simplefilter("ignore", kttrv.ReadWarning)  # damaged files give what they hold
                    for row in rows(path):
                        writer.writerow(row)
                        count += 1
            except kttrv.ReadError as e:
                print(f"{path}: skipped: {e.reason}", file=sys.stderr)
    print(f"{count} texts and attributes written to {out}")


if __name__ == "__main__":
    if len(sys.argv) != 3:
        sys.exit(__doc__)
    main(sys.argv[1], sys.argv[2])
