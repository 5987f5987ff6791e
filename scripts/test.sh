#!/usr/bin/env bash
# Builds and runs every test twice: a normal build and an AddressSanitizer +
# UndefinedBehaviorSanitizer build; then runs every fuzz target for a short,
# fixed time on its seeds (KTTRV_FUZZ_SECONDS each, default 30); then builds
# the Windows DLLs and programs and runs their tests under Wine, comparing
# trv.exe with the debug build's trv.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
for preset in debug asan-ubsan; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset" -j2
done
scripts/fuzz.sh "${KTTRV_FUZZ_SECONDS:-30}"
echo "== windows (MinGW-w64, tests under Wine)"
cmake --preset windows >/dev/null
cmake --build --preset windows
ctest --preset windows -j2
