#!/usr/bin/env python3
"""kttrv's speed next to the C++ it binds, measured side by side in one run.

    PYTHONPATH=build/release/python python3 bench/python_bench.py \\
        --trv build/release/tools/trv/trv --synth build/release/bench/trv-synth

1. kttrv.read of the synthetic drawing (1,000,000 entities by default)
   against the C++ load it makes (the same options, timed in C++): at most
   1.2 times as long.
2. Drawing.arrays() of it against that load: at most 0.5 times as long.
3. Iterating all its entities, reading one attribute of each: under 1 s.
4. Small files read and summarised per second of CPU (one core), against
   `trv info --json` over the same files: at least half as many.

Each figure is the median of --repeat runs; the ratios are the targets' own
(each against its floor from this run). Prints a Markdown table.
"""

import argparse
import gc
import os
import resource
import shutil
import statistics
import subprocess
import sys
import tempfile
import time

import kttrv
from kttrv import _kttrv


def median_seconds(run, repeat):
    times = []
    for _ in range(repeat):
        gc.collect()
        start = time.perf_counter()
        run()
        times.append(time.perf_counter() - start)
    return statistics.median(times)


def children_cpu():
    usage = resource.getrusage(resource.RUSAGE_CHILDREN)
    return usage.ru_utime + usage.ru_stime


def main():
    here = os.path.dirname(os.path.abspath(__file__))
    parser = argparse.ArgumentParser(description=__doc__.splitlines()[0])
    parser.add_argument("--trv", required=True)
    parser.add_argument("--synth", required=True)
    parser.add_argument("--entities", type=int, default=1_000_000)
    parser.add_argument("--small", type=int, default=1000, help="small files for point 4")
    parser.add_argument("--small-file", default=os.path.join(here, "..", "examples", "floor-plan.trv"))
    parser.add_argument("--repeat", type=int, default=5)
    args = parser.parse_args()

    work = tempfile.mkdtemp(prefix="kttrv-bench-")
    try:
        big = os.path.join(work, "big.trv")
        subprocess.run([args.synth, big, "--entities", str(args.entities)], check=True, stdout=subprocess.DEVNULL)

        # 1. The load: C++ alone, then through Python.
        # Taken in turns, so that neither gets the warmer machine.
        cpp_times, read_times = [], []
        for _ in range(args.repeat):
            gc.collect()
            cpp_times.append(_kttrv._cpp_load_seconds(big))
            read_times.append(median_seconds(lambda: kttrv.read(big), 1))
        cpp, read = statistics.median(cpp_times), statistics.median(read_times)
        d = kttrv.read(big)
        n = len(d.modelspace)

        # 2. The arrays of the loaded drawing.
        arrays = median_seconds(d.arrays, args.repeat)

        # 3. Every entity once, one attribute each.
        def walk():
            total = 0
            for e in d.modelspace:
                total += e.layer_index
            return total
        iterate = median_seconds(walk, max(1, args.repeat // 2))
        del d

        # 4. Small files: read and summarised here, against trv info.
        small = os.path.join(work, "small")
        os.mkdir(small)
        paths = []
        for i in range(args.small):
            p = os.path.join(small, f"{i:05}.trv")
            shutil.copyfile(args.small_file, p)
            paths.append(p)

        def summarise_all():
            for p in paths:
                dr = kttrv.read(p)
                (len(dr.layers), len(dr.modelspace), dr.extents())

        def python_cpu():
            start = time.process_time()
            summarise_all()
            return time.process_time() - start

        def trv_cpu():
            before = children_cpu()
            subprocess.run([args.trv, "info", "--json", *paths], check=True, stdout=subprocess.DEVNULL)
            return children_cpu() - before

        python_rate = args.small / statistics.median(python_cpu() for _ in range(args.repeat))
        trv_rate = args.small / statistics.median(trv_cpu() for _ in range(args.repeat))
    finally:
        shutil.rmtree(work, ignore_errors=True)

    rows = [
        ("kttrv.read, %d entities" % n, f"{read * 1e3:.0f} ms", f"C++ load {cpp * 1e3:.0f} ms", read / cpp, "<= 1.2"),
        ("Drawing.arrays()", f"{arrays * 1e3:.0f} ms", f"C++ load {cpp * 1e3:.0f} ms", arrays / cpp, "<= 0.5"),
        ("every entity, one attribute", f"{iterate * 1e3:.0f} ms", "1 s", iterate, "< 1"),
        (f"{args.small} small files, read + summary", f"{python_rate:.0f} files/s/core",
         f"trv info {trv_rate:.0f} files/s/core", python_rate / trv_rate, ">= 0.5"),
    ]
    ok = [rows[0][3] <= 1.2, rows[1][3] <= 0.5, rows[2][3] < 1.0, rows[3][3] >= 0.5]
    print("| measured | figure | floor | ratio | target |")
    print("|---|---|---|---|---|")
    for (what, figure, floor, ratio, target), good in zip(rows, ok):
        print(f"| {what} | {figure} | {floor} | {ratio:.2f} | {target} {'met' if good else 'MISSED'} |")
    return 0 if all(ok) else 1


if __name__ == "__main__":
    sys.exit(main())
