#!/usr/bin/env bash
# Rewrites the example drawings of examples/ from the test builders
# (tests/support/floor_plan.h).
set -euo pipefail
cd "$(dirname "$0")/.."
cmake --preset debug >/dev/null
cmake --build --preset debug --target make_examples
build/debug/tests/make_examples examples
