#!/usr/bin/env bash
# Runs every libFuzzer target for SECONDS each (default 30) on a working copy
# of its seed corpus. Any crash, leak, timeout or out-of-memory fails the run;
# the input that broke a target is kept under build/fuzz/artifacts/.
# New inputs that raise coverage are kept under build/fuzz/corpus/ (copy the
# interesting ones, and every finding, into fuzz/corpus/ to keep them).
set -euo pipefail
cd "$(dirname "$0")/.."
seconds=${1:-30}
scripts/install-deps.sh
cmake --preset fuzz >/dev/null
cmake --build --preset fuzz
work=build/fuzz
mkdir -p "$work/artifacts"
status=0
for target in fuzz_load_document fuzz_load_entities fuzz_legacy fuzz_sysvar_list fuzz_save_round_trip; do
  corpus="$work/corpus/$target"
  mkdir -p "$corpus"
  [[ -d fuzz/corpus/$target ]] && cp -n fuzz/corpus/$target/* "$corpus/" 2>/dev/null || true
  echo "== $target for ${seconds}s"
  if ! "build/fuzz/fuzz/$target" "$corpus" -dict=fuzz/torv.dict -max_total_time="$seconds" \
      -rss_limit_mb=2048 -timeout=5 -malloc_limit_mb=2048 -print_final_stats=1 \
      -artifact_prefix="$work/artifacts/${target}-" 2> "$work/$target.log"; then
    echo "FAILED: $target (see $work/$target.log and $work/artifacts/)"
    tail -30 "$work/$target.log"
    status=1
  else
    grep -E '^stat::number_of_executed_units|^stat::peak_rss_mb' "$work/$target.log" | tr '\n' ' '
    echo
  fi
done
exit $status
