#!/usr/bin/env bash
# Builds trv (release), tells what the example floor plan holds and draws it
# to build/output/floor-plan.svg and build/output/floor-plan.png.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
cmake --preset release >/dev/null
# At most as many jobs as cores, and at most 4: the machine stays usable.
jobs=$(nproc 2>/dev/null || echo 2)
(( jobs > 4 )) && jobs=4
cmake --build --preset release --target trv -j "$jobs"
trv=build/release/tools/trv/trv
out=build/output
mkdir -p "$out"
"$trv" info examples/floor-plan.trv
"$trv" render examples/floor-plan.trv -o "$out/floor-plan.svg"
"$trv" render examples/floor-plan.trv -o "$out/floor-plan.png"
echo "pictures: $out/floor-plan.svg $out/floor-plan.png"
