#!/usr/bin/env bash
# Builds and runs every test twice: a normal build and an AddressSanitizer +
# UndefinedBehaviorSanitizer build; runs the multi-threaded load test under
# ThreadSanitizer (clang); then runs every fuzz target for a short,
# fixed time on its seeds (KTTRV_FUZZ_SECONDS each, default 30).
set -euo pipefail
cd "$(dirname "$0")/.."
scripts/install-deps.sh
for preset in debug asan-ubsan; do
  echo "== $preset"
  cmake --preset "$preset" >/dev/null
  cmake --build --preset "$preset"
  ctest --preset "$preset" -j2
done
echo "== tsan"
cmake --preset tsan >/dev/null
cmake --build --preset tsan --target kttrv_thread_tests
ctest --preset tsan -R LoadThreads
echo "== installed package"
scripts/install-check.sh build/debug
scripts/fuzz.sh "${KTTRV_FUZZ_SECONDS:-30}"
