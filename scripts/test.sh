#!/usr/bin/env bash
# Builds and runs every test three times: a debug build, an optimised
# release build (-O3, NDEBUG; the benchmarks are built too) and an
# AddressSanitizer + UndefinedBehaviorSanitizer build; runs the multi-threaded load test under
# ThreadSanitizer (clang); then runs every fuzz target for a short,
# fixed time on its seeds (KTTRV_FUZZ_SECONDS each, default 30); then builds
# the Windows DLLs and programs and runs their tests under Wine, comparing
# trv.exe with the debug build's trv.
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
for preset in debug release asan-ubsan; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset" -j2
done
echo "== tsan"
cmake --preset tsan >/dev/null
cmake --build --preset tsan --target kttrv_thread_tests kttrv_save_thread_tests
ctest --preset tsan -R 'LoadThreads|SaveThreads'
echo "== installed package"
scripts/install-check.sh build/debug
scripts/fuzz.sh "${KTTRV_FUZZ_SECONDS:-30}"
echo "== windows (MinGW-w64, tests under Wine)"
cmake --preset windows >/dev/null
cmake --build --preset windows
# One wineserver for the whole run: a server that stops between two quick
# programs now and then drops the second one's connection.
export KTTRV_WINEPREFIX="$PWD/build/windows/wine"
cmake/wine-run.sh cmd /c exit >/dev/null 2>&1 || true  # makes the prefix once
# A second server refuses to start while the first one lingers: wait it out.
WINEPREFIX=$KTTRV_WINEPREFIX wineserver -w
WINEPREFIX=$KTTRV_WINEPREFIX wineserver -p
# Wine's own services start with the first program a server runs and keep its
# output open; start them here, so no test's output pipe stays open after it.
cmake/wine-run.sh cmd /c exit </dev/null >/dev/null 2>&1 || true
# --repeat until-pass:2 absorbs the emulator's rare start-up failures; a real
# fault fails twice.
ctest --preset windows -j2 --repeat until-pass:2
WINEPREFIX=$KTTRV_WINEPREFIX wineserver -k || true
