#!/usr/bin/env bash
# trv save -o DIR of many small drawings with --jobs 1 and --jobs 2, against
# the same conversion with every sync made a no-op (eatmydata), in one run,
# rounds interleaved, with the ratios (docs/PERFORMANCE.md, "trv save -o
# DIR"). Optionally against another trv (the build before a change).
# The work folder must be on a disk file system (not tmpfs) for the syncs
# to cost what they cost; the script names the one it is on.
# Usage: bench/batch_save/batch_save_bench.sh [BUILD_DIR [WORK_DIR [FILES [OTHER_TRV]]]]
set -euo pipefail
build=${1:-build/release}
work=${2:-/var/tmp/kttrv_batch_bench}
files=${3:-2000}
other=${4:-}
trv=$build/tools/trv/trv
synth=$build/bench/trv-synth
rounds=5
[[ -x $trv && -x $synth ]] || { echo "build the release preset first ($trv, $synth)" >&2; exit 1; }
command -v eatmydata >/dev/null || { echo "eatmydata is missing (apt-get install eatmydata)" >&2; exit 1; }

# 10 drawings of 100 to 190 records, each copied under its own names into
# folders of 500 files.
archive=$work/archive
if [[ ! -f $work/.made-$files ]]; then
  rm -rf "$work"
  mkdir -p "$archive"
  for v in $(seq 0 9); do
    "$synth" "$work/v$v.trv" --entities $((100 + 10 * v)) --layers 5 --blocks 2 --block-entities 10 >/dev/null
  done
  for i in $(seq 0 $((files - 1))); do
    folder=$archive/f$((i / 500))
    [[ -d $folder ]] || mkdir -p "$folder"
    cp "$work/v$((i % 10)).trv" "$folder/d$i.trv"
  done
  touch "$work/.made-$files"
fi
echo "archive: $files files, $(du -sh "$archive" | cut -f1); file system: $(df -T "$work" | awk 'NR == 2 {print $2 " on " $1}')"

now() { date +%s%N; }
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
ms() { awk -v ns="$1" 'BEGIN {printf "%.0f", ns / 1e6}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.2f", a / b}'; }

declare -A wall cpu
names=(jobs1 jobs2 nosync1 nosync2)
[[ -n $other ]] && names+=(other1 other2)
run() {  # name command...
  local name=$1; shift
  rm -rf "$work/out"
  sync  # what the last run left dirty is not this one's to write
  local t; t=$(now)
  /usr/bin/time -f '%U %S' -o "$work/.cpu" "$@" -q -r "$archive" -o "$work/out" 2>/dev/null
  wall[$name]+="$(( $(now) - t )) "
  cpu[$name]+="$(awk '{printf "%.0f", ($1 + $2) * 1e9}' "$work/.cpu") "
  [[ $(find "$work/out" -name '*.trv' | wc -l) -eq $files ]] || { echo "$name: not every file converted" >&2; exit 1; }
}
for round in $(seq 1 $rounds); do
  run jobs1 "$trv" save --jobs 1
  run nosync1 eatmydata "$trv" save --jobs 1
  run jobs2 "$trv" save --jobs 2
  run nosync2 eatmydata "$trv" save --jobs 2
  if [[ -n $other ]]; then
    run other1 "$other" save --jobs 1
    run other2 "$other" save --jobs 2
  fi
done
declare -A w c
for name in "${names[@]}"; do
  w[$name]=$(tr ' ' '\n' <<< "${wall[$name]}" | grep . | median)
  c[$name]=$(tr ' ' '\n' <<< "${cpu[$name]}" | grep . | median)
  printf '%-8s wall %6s ms  cpu %6s ms\n' "$name" "$(ms "${w[$name]}")" "$(ms "${c[$name]}")"
done
echo "jobs 1 / jobs 2:          $(ratio "${w[jobs1]}" "${w[jobs2]}")   (goal: at most 1.5)"
echo "jobs 1 / no sync, jobs 1: $(ratio "${w[jobs1]}" "${w[nosync1]}")   (goal: at most 2)"
echo "jobs 2 / no sync, jobs 2: $(ratio "${w[jobs2]}" "${w[nosync2]}")"
if [[ -n $other ]]; then
  echo "other jobs 1 / jobs 1:    $(ratio "${w[other1]}" "${w[jobs1]}")"
  echo "other jobs 2 / jobs 2:    $(ratio "${w[other2]}" "${w[jobs2]}")"
fi
