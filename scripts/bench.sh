#!/usr/bin/env bash
# Builds the release preset and runs every benchmark, median of 5 runs.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release
args=(--benchmark_repetitions=5 --benchmark_report_aggregates_only=true)
build/release/bench/kttrv_bench "${args[@]}"
build/release/bench/kttrv_load_bench "${args[@]}"
