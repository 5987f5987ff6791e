#!/usr/bin/env bash
# Builds the release preset and runs every benchmark, median of 5 runs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
# Only the benchmark programs (the preset builds the tests too).
cmake --build --preset release --target kttrv_bench kttrv_load_bench trv-synth kttrv_side_by_side
# Repetitions interleaved in a random order: a fixed order lets one
# benchmark's freed memory make the next one's first touches dearer.
args=(--benchmark_repetitions=5 --benchmark_report_aggregates_only=true --benchmark_enable_random_interleaving=true)
build/release/bench/kttrv_bench "${args[@]}"
build/release/bench/kttrv_load_bench "${args[@]}"
# The load through the plug-in against its floor, trv dump and info against
# the load: the 1,000,000-entity drawing and a 1 GB one, written once to /tmp.
big=/tmp/kttrv_side_1m.trv large=/tmp/kttrv_bench_1gb.trv
[[ -f $big ]] || build/release/bench/trv-synth "$big" --entities 1000000
[[ -f $large ]] || build/release/bench/trv-synth "$large" --entities 8200000
build/release/bench/kttrv_side_by_side "$big" "$large"
