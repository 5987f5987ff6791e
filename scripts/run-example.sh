#!/usr/bin/env bash
# Builds trv (release) and loads the bundled example drawing with it.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
cmake --build --preset release --target trv
trv=build/release/tools/trv/trv
"$trv" info examples/sample.trv
"$trv" dump examples/sample.trv
