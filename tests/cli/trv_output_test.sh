#!/usr/bin/env bash
# What trv writes reaches its destination or trv says it did not: every
# command on a full standard output, a render that fails or is stopped
# keeps the old picture, --jobs beyond what the system starts.
set -uo pipefail
trv=$1
src=$2
source "$(dirname "$0")/check.sh"
ex="$src/examples"

for cmd in "info" "info --json" "info --directory" "check" "trace" "dump" "save - IN"; do
  args=(${cmd/IN/$ex/sample.trv})
  [[ $cmd == save* ]] && args=(save "$ex/sample.trv" -) || args+=("$ex/sample.trv")
  err=$("$trv" "${args[@]}" 2>&1 >/dev/full)
  check "$cmd > /dev/full: exit" 1 $?
  check "$cmd > /dev/full: said" 1 "$(grep -c -E '^trv: .*(standard output|No space left)' <<<"$err" | sed 's/[2-9]/1/')"
done
"$trv" --help > /dev/full 2>/dev/null
check "--help > /dev/full" 1 $?

# trv render -o - writes the picture itself to standard output, the same
# bytes as to a file; on a full one it says so.
for fmt in svg png pdf; do
  "$trv" render "$ex/floor-plan.trv" -o "$tmp/named.$fmt"
  "$trv" render "$ex/floor-plan.trv" -o - --format "$fmt" > "$tmp/piped.$fmt"
  check "render -o - $fmt: the file's bytes" "" "$(cmp "$tmp/named.$fmt" "$tmp/piped.$fmt" 2>&1)"
  err=$("$trv" render "$ex/floor-plan.trv" -o - --format "$fmt" 2>&1 >/dev/full)
  check "render -o - $fmt > /dev/full: exit" 1 $?
  check "render -o - $fmt > /dev/full: said" "trv: standard output: cannot write the picture (No space left on device)" "$(head -n 1 <<<"$err")"
done

# A render that cannot finish leaves the picture that was there, and no
# piece of its own.
"$trv" render "$ex/floor-plan.trv" -o "$tmp/p.png"
cp "$tmp/p.png" "$tmp/old.png"
"$trv" render "$tmp/missing.trv" -o "$tmp/p.png" 2>/dev/null
check "failed render: exit" 1 $?
check "failed render: old picture" "" "$(cmp "$tmp/p.png" "$tmp/old.png")"
# Stopped at any moment, a render over the old picture leaves it or the
# whole new one.
"$trv" render "$ex/sample.trv" -o "$tmp/new.png"
for delay in 0.002 0.005 0.01 0.02 0.03 0.05 0.08; do
  cp "$tmp/old.png" "$tmp/p.png"
  "$trv" render "$ex/sample.trv" -o "$tmp/p.png" 2>/dev/null &
  pid=$!
  sleep "$delay"
  kill -9 "$pid" 2>/dev/null
  { wait "$pid"; } 2>/dev/null
  if ! cmp -s "$tmp/p.png" "$tmp/old.png" && ! cmp -s "$tmp/p.png" "$tmp/new.png"; then
    check "render stopped after ${delay}s: old or new picture" "old or new" "neither"
  fi
done
rm -f "$tmp"/p.png.*.part

# Workers the system will not start: their inputs are converted anyway.
mkdir "$tmp/in"
for i in $(seq 1 12); do cp "$ex/sample.trv" "$tmp/in/s$i.trv"; done
# A process limit binds only a user without the privilege to pass it: as
# root the run drops to nobody.
chmod 755 "$tmp"
chmod 777 "$tmp/in"
as_user=()
if ((EUID == 0)); then
  command -v setpriv >/dev/null && as_user=(setpriv --reuid=65534 --regid=65534 --clear-groups) || as_user=(skip)
fi
if [[ ${as_user[0]:-} != skip ]]; then
  ASAN_OPTIONS="${ASAN_OPTIONS:+$ASAN_OPTIONS:}detect_leaks=0" "${as_user[@]}" bash -c 'ulimit -u 1 && exec "$0" -q save "$1"/in/*.trv -o "$1/in/out" --jobs 8' "$trv" "$tmp" 2>/dev/null
  check "no workers: exit" 0 $?
  check "no workers: converted" 12 "$(ls "$tmp/in/out" | wc -l)"
else
  echo "skipped: no workers (no setpriv to drop root's privilege)"
fi
"$trv" save "$tmp"/in/s1.trv -o "$tmp/out2" --jobs 1000 2>/dev/null
check "--jobs above its maximum" 2 $?

((failures == 0)) && echo "trv output: all checks passed"
exit $((failures > 0))
