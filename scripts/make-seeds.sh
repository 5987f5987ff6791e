#!/usr/bin/env bash
# Rewrites the generated seeds of fuzz/corpus/ and the bundled example
# drawing from the test builders.
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset debug >/dev/null
cmake --build --preset debug --target make_seeds
build/debug/tests/make_seeds fuzz/corpus data/torv_sys.txt examples/sample.trv
