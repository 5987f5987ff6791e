#!/usr/bin/env python3
"""A catalogue of an archive of drawings, computed with Dask.

    python3 catalogue_dask.py ARCHIVE OUT.csv [--scheduler ADDRESS] [--workers N]

ARCHIVE is a folder (its **/*.trv) or a .zip of drawings. Each drawing is
read by a Dask worker and summarised in one row: the file, its size,
version and generation, whether it loaded whole, its layers, blocks and
entities by kind, its attribute values, its extents, and why it failed.

Without --scheduler a local cluster of N worker processes (2) runs on this
machine. With --scheduler tcp://HOST:8786 the same code runs on a cluster
of machines (start `dask scheduler` on one and `dask worker tcp://HOST:8786`
on each, with kttrv installed); the archive must then lie where every
worker sees it under the same path (a shared file system).
"""

import argparse
import collections
import os
import sys
import warnings
import zipfile


def drawings(archive):
    """The (archive, member) pairs to summarise: member None for a file of a folder."""
    if os.path.isdir(archive):
        for root, _, files in os.walk(archive):
            for name in sorted(files):
                if name.lower().endswith(".trv"):
                    yield os.path.join(root, name), None
    elif zipfile.is_zipfile(archive):
        with zipfile.ZipFile(archive) as z:
            for name in z.namelist():
                if name.lower().endswith(".trv"):
                    yield archive, name
    else:
        raise SystemExit(f"{archive}: neither a folder nor a zip file")


def summarise(item):
    """One row of the catalogue; runs on a worker."""
    import kttrv

    archive, member = item
    if member is None:
        source, name = archive, archive
        size = os.path.getsize(archive)
    else:
        with zipfile.ZipFile(archive) as z:
            source = z.read(member)
        name, size = member, len(source)
    row = {"file": name, "bytes": size, "version": None, "generation": None, "loaded": False, "complete": False,
           "warnings": 0, "layers": 0, "blocks": 0, "entities": 0, "kinds": "", "attributes": "",
           "min_x": None, "min_y": None, "max_x": None, "max_y": None, "failure": None}
    try:
        with warnings.catch_warnings():
            warnings.simplefilter("ignore", kttrv.ReadWarning)
            d = kttrv.read(source)
    except kttrv.ReadError as e:
        row["failure"] = e.reason
        return row
    kinds = collections.Counter(e.kind for e in d.modelspace)
    values = [a.value for i in d.query(kind=kttrv.Insert) for a in i.attribs if a.value]
    box = d.extents()
    row.update(version=d.version, generation=d.generation, loaded=True, complete=d.complete,
               warnings=len(d.warnings), layers=len(d.layers), blocks=len(d.blocks),
               entities=sum(kinds.values()), kinds=" ".join(f"{k}={n}" for k, n in sorted(kinds.items())),
               attributes="; ".join(values))
    if box is not None:
        row.update(min_x=box.min[0], min_y=box.min[1], max_x=box.max[0], max_y=box.max[1])
    return row


def main(argv=None):
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("archive")
    parser.add_argument("out")
    parser.add_argument("--scheduler", help="the address of a running Dask scheduler (default: a local cluster)")
    parser.add_argument("--workers", type=int, default=2, help="worker processes of the local cluster")
    args = parser.parse_args(argv)

    import pandas as pd
    from dask.distributed import Client, LocalCluster

    items = list(drawings(os.path.abspath(args.archive)))
    if args.scheduler:
        client = Client(args.scheduler)
        cluster = None
    else:
        cluster = LocalCluster(n_workers=args.workers, threads_per_worker=1, processes=True,
                               dashboard_address=None)
        client = Client(cluster)
    try:
        futures = client.map(summarise, items, batch_size=64)
        rows = client.gather(futures)
    finally:
        client.close()
        if cluster is not None:
            cluster.close()
    table = pd.DataFrame(rows).sort_values("file")
    table["generation"] = table["generation"].astype("Int64")  # None for legacy files and failures
    table.to_csv(args.out, index=False)
    print(f"{len(table)} drawings catalogued ({int(table['loaded'].sum())} loaded) in {args.out}")


if __name__ == "__main__":
    sys.exit(main())
