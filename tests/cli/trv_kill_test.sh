#!/usr/bin/env bash
# trv save -o DIR killed (SIGKILL, its workers with it) at a dozen moments
# spread over a run: every output there is byte for byte the single-file
# conversion of its input (which loads), and the next run, complete, leaves
# no temporary file under the output folder. Then, traced: each output is
# renamed only after its data was synced.
set -uo pipefail
trv=$1
src=$2
source "$(dirname "$0")/check.sh"

# The examples, each copied under many names into two folders; reference:
# each one converted alone (trv save IN OUT).
mkdir -p "$tmp/in/a" "$tmp/in/b/c" "$tmp/ref"
n=0
for copy in $(seq 1 50); do
  for f in "$src"/examples/*.trv; do
    stem=$(basename "$f" .trv)
    n=$((n + 1))
    folder=$tmp/in/a
    ((n % 3 == 1)) && folder=$tmp/in/b
    ((n % 3 == 2)) && folder=$tmp/in/b/c
    cp "$f" "$folder/$stem@$copy.trv"
  done
done
for f in "$src"/examples/*.trv; do
  "$trv" save -q --allow-loss "$f" "$tmp/ref/$(basename "$f")" 2>/dev/null
  check "reference $(basename "$f") loads" 0 "$("$trv" check "$tmp/ref/$(basename "$f")" >/dev/null 2>&1; echo $?)"
done

# Outputs under $1 that are not their reference (name@copy.trv is name.trv's
# copy), and the temporary files there.
wrong_outputs() {
  local out
  while IFS= read -r -d '' out; do
    local stem=${out##*/}
    stem=${stem%@*}
    cmp -s "$out" "$tmp/ref/$stem.trv" || echo "$out"
  done < <(find "$1" -name '*.trv' -type f -print0)
}
partials() { find "$1" -name '*.trv-partial' | wc -l; }

start=$(date +%s%N)
"$trv" save -q --allow-loss -r "$tmp/in" -o "$tmp/whole" 2>/dev/null
check "a whole run" 0 $?
run_ns=$(($(date +%s%N) - start))
check "a whole run: every output" "$n" "$(find "$tmp/whole" -name '*.trv' | wc -l)"
check "a whole run: outputs as converted alone" "" "$(wrong_outputs "$tmp/whole")"

killed_with_partials=0
for k in $(seq 1 ${KTTRV_KILLS:-12}); do
  out=$tmp/out$k
  jobs=$((k % 3 + 1))
  # Spread over the run, each moved by up to a tenth of it.
  delay_ns=$((run_ns * k / 13 + (RANDOM % 100) * run_ns / 1000))
  # Its own process group: the kill takes the workers too.
  setsid "$trv" save -q --allow-loss -r "$tmp/in" -o "$out" --jobs "$jobs" 2>/dev/null &
  pid=$!
  sleep "$(awk -v ns="$delay_ns" 'BEGIN {printf "%.3f", ns / 1e9}')"
  kill -KILL -- "-$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  # Until the workers are gone too: one still dying holds its file, which
  # the next run then rightly keeps.
  for _ in $(seq 1 100); do
    ps -o stat= -s "$pid" | grep -qv '^Z' || break
    sleep 0.05
  done
  [[ -d $out ]] || mkdir -p "$out"
  check "killed run $k (--jobs $jobs): outputs there are whole" "" "$(wrong_outputs "$out")"
  (($(partials "$out") > 0)) && killed_with_partials=$((killed_with_partials + 1))
  "$trv" save -q --allow-loss -r --skip-existing "$tmp/in" -o "$out" --jobs "$jobs" 2>/dev/null
  check "run $k resumed" 0 $?
  check "run $k resumed: every output" "$n" "$(find "$out" -name '*.trv' | wc -l)"
  check "run $k resumed: outputs as converted alone" "" "$(wrong_outputs "$out")"
  check "run $k resumed: no temporary file left" 0 "$(partials "$out")"
  rm -rf "$out"
done
echo "trv kill: $killed_with_partials of ${KTTRV_KILLS:-12} killed runs left temporary files (the next run removed them)"

# The order on the disk, which a kill cannot show: in each process, each
# save's file is synced (through the descriptor it was opened as) before
# it is renamed over its output.
if command -v strace >/dev/null; then
  mkdir "$tmp/trace"
  # (The leak check of a sanitized build cannot run traced.)
  ASAN_OPTIONS=${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0 \
    strace -ff -e trace=openat,fsync,fdatasync,renameat,renameat2,rename -o "$tmp/trace/s" "$trv" \
      save -q --allow-loss -r "$tmp/in/b" -o "$tmp/traced" --jobs 2 2>/dev/null
  check "traced run" 0 $?
  unsynced=$(awk '
    FNR == 1 { delete fd_of; delete synced }
    /^openat\(.*\.trv-partial".* = [0-9]+$/ {
      match($0, /"[^"]*\.trv-partial"/); name = substr($0, RSTART, RLENGTH); fd_of[name] = $NF; synced[name] = 0 }
    /^f(data)?sync\([0-9]+\) += 0/ {
      match($0, /\([0-9]+\)/); fd = substr($0, RSTART + 1, RLENGTH - 2)
      for (name in fd_of) if (fd_of[name] == fd) synced[name] = 1 }
    /^rename(at2?)?\(.*\.trv-partial"/ {
      match($0, /"[^"]*\.trv-partial"/); name = substr($0, RSTART, RLENGTH); renamed++
      if (!synced[name]) print name; delete fd_of[name] }
    END { print renamed + 0 > "/dev/stderr" }' "$tmp"/trace/s.* 2> "$tmp/trace/renamed")
  check "traced: every output renamed after its data was synced" "" "$unsynced"
  check "traced: every output renamed" "$(find "$tmp/in/b" -name '*.trv' | wc -l)" "$(cat "$tmp/trace/renamed")"
fi

((failures == 0)) && echo "trv kill: all checks passed"
exit $((failures > 0))
