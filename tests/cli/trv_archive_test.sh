#!/usr/bin/env bash
# trv save over an archive: folders walked and mirrored, lists of paths,
# outputs that exist or are inputs, damaged and lossy inputs, the report's
# line per input; a killed run resumed; whole lines from concurrent runs.
set -uo pipefail
trv=$1
src=$2
source "$(dirname "$0")/check.sh"
ex="$src/examples"
cd "$tmp" || exit 1

# arch/ holds two drawings named x.trv, a nested one with an upper-case
# extension, a cut one (it loads, not whole), a text file and a legacy file
# (a save loses what it cannot carry).
mkdir -p arch/a/deep arch/b
cp "$ex/sample.trv" arch/a/x.trv
cp "$ex/floor-plan.trv" arch/b/x.trv
cp "$ex/sample.trv" arch/a/deep/plan.TRV
head -c 3000 "$ex/sample.trv" > arch/a/cut.trv
echo "not a drawing" > arch/b/notes.trv
cp "$ex/legacy-torv15.trv" arch/b/old.trv
echo "left alone" > arch/b/readme.txt

# "path status" of each report line, sorted.
statuses() { python3 -c '
import json, sys
for line in sys.stdin:
    r = json.loads(line)
    print(r["path"], r["status"])' < "$1" | sort; }

expect() { printf '%s\n' "$@" | sort; }

# Each option set: the arguments, then the statuses it must give.
run_case() {  # name expected-exit expected-statuses args...
  local name=$1 want_exit=$2 want=$3
  shift 3
  "$trv" save "$@" --report "$name.jsonl" 2> "$name.err"
  check "$name: exit" "$want_exit" $?
  check "$name: statuses" "$want" "$(statuses "$name.jsonl")"
  check "$name: lines name the input first" 0 \
    "$(grep -c -v -E '^(saved arch/.* as .*|trv: (warning: )?arch[^:]*: .*|trv: converted .*)$' "$name.err")"
}

mkdir -p out/arch/b && cp "$ex/floor-plan.trv" out/arch/b/x.trv  # an output from an earlier run
run_case walk 1 "$(expect 'arch/a/cut.trv damaged' 'arch/a/deep/plan.TRV converted' 'arch/a/x.trv converted' \
  'arch/b/notes.trv failed' 'arch/b/old.trv refused for loss' 'arch/b/x.trv failed')" -r arch -o out
check "walk: outputs mirror the inputs" "$(expect out/arch/a/deep/plan.trv out/arch/a/x.trv out/arch/b/x.trv)" \
  "$(find out -type f | sort)"
check "walk: the existing output is kept" "" "$(cmp out/arch/b/x.trv "$ex/floor-plan.trv")"
check "walk: summary" 1 "$(grep -c -E '^trv: converted 2 of 6 files \([0-9]+ bytes read\); 1 damaged: arch/a/cut.trv; 1 refused for loss: arch/b/old.trv; 2 failed: arch/b/notes.trv arch/b/x.trv$' walk.err)"
check "walk: the damage is in the report" 1 "$(grep -c '"damage":\["entities: .*"path":"arch/a/cut.trv"' walk.jsonl)"
check "walk: losses are in the report" 1 "$(grep -c '"losses":"[^"]*legacy entity records.*"path":"arch/b/old.trv"' walk.jsonl)"

run_case resume 1 "$(expect 'arch/a/cut.trv damaged' 'arch/a/deep/plan.TRV skipped' 'arch/a/x.trv skipped' \
  'arch/b/notes.trv failed' 'arch/b/old.trv refused for loss' 'arch/b/x.trv skipped')" -r arch -o out --skip-existing

run_case everything 1 "$(expect 'arch/a/cut.trv converted' 'arch/a/deep/plan.TRV converted' 'arch/a/x.trv converted' \
  'arch/b/notes.trv failed' 'arch/b/old.trv converted' 'arch/b/x.trv converted')" \
  -r arch -o out --overwrite --allow-damage --allow-loss --jobs 2

# Two inputs of one name, given as arguments: neither is written.
run_case same_name 1 "$(expect 'arch/a/x.trv failed' 'arch/b/x.trv failed')" arch/a/x.trv arch/b/x.trv -o flat
check "same name: nothing written" "" "$(ls flat 2>/dev/null)"
check "same name: each names the other" 2 "$(grep -c 'would be written to flat/x.trv, as arch/./x.trv would' same_name.err)"

# A list on standard input, NUL-separated, the same file twice and a folder
# without -r among the arguments.
printf 'arch/a/x.trv\0./arch/a/x.trv\0arch/b/x.trv\0' |
  run_case list 1 "$(expect 'arch failed' 'arch/a/x.trv converted' 'arch/b/x.trv converted')" \
    --from - -0 arch -o listed
check "list: outputs" "$(expect listed/arch/a/x.trv listed/arch/b/x.trv)" "$(find listed -type f | sort)"

# Onto the inputs: refused, unless --in-place (which replaces atomically
# and counts the input's bytes as read). A link to an input is that input.
cp "$ex/sample.trv" arch/a/y.trv
ln -s y.trv arch/a/link.trv
run_case onto 1 "$(expect 'arch/a/y.trv failed')" arch/a/y.trv arch/a/link.trv -o arch/a
check "onto: the input is left" "" "$(cmp arch/a/y.trv "$ex/sample.trv")"
run_case in_place 0 "$(expect 'arch/a/y.trv converted')" arch/a/y.trv -o arch/a --in-place
check "in place: bytes read are the input's" 1 "$(grep -c "(5748 bytes read)" in_place.err)"
rm arch/a/link.trv arch/a/y.trv

# A run killed half-way, resumed with --skip-existing, gives what one
# uninterrupted run gives.
mkdir -p many/p many/q
for i in $(seq 1 150); do cp "$ex/floor-plan.trv" "many/p/f$i.trv"; cp "$ex/sample.trv" "many/q/f$i.trv"; done
"$trv" -q save -r many -o whole 2>/dev/null
# Its own process group, so that the kill takes the workers too.
setsid "$trv" -q save -r many -o killed --jobs 2 2>/dev/null &
pid=$!
for _ in $(seq 1 200); do
  (($(find killed -name '*.trv' 2>/dev/null | wc -l) >= 40)) && break
  sleep 0.01
done
kill -9 -- "-$pid" 2>/dev/null
{ wait "$pid"; } 2>/dev/null
# Until the workers are gone too: one still dying holds the files it has
# not renamed yet, which the next run then rightly keeps.
for _ in $(seq 1 100); do
  ps -o stat= -s "$pid" | grep -qv '^Z' || break
  sleep 0.05
done
"$trv" -q save -r many -o killed --skip-existing 2>/dev/null
check "resumed: exit" 0 $?
check "resumed: the same outputs, no pieces left" "" "$(diff -r whole killed)"

# Lines stay whole when runs share stderr: four trv processes at once.
mkdir -p small
"$trv" new small/s1.trv || exit 1
for i in $(seq 2 3000); do cp small/s1.trv "small/s$i.trv"; done
find small -name '*.trv' -print0 | xargs -0 -n 100 -P 4 "$trv" save -o smallout 2> small.err
check "xargs: converted" 3000 "$(find smallout -name '*.trv' | wc -l)"
check "xargs: every line whole" 0 \
  "$(grep -c -v -E '^(saved small/s[0-9]+\.trv as smallout/s[0-9]+\.trv: [0-9]+ entit(y|ies), .* dimension styles?|trv: converted 100 of 100 files \([0-9]+ bytes read\)|trv: smallout: removed [0-9]+ files? that (an )?interrupted saves? left)$' small.err)"

((failures == 0)) && echo "trv archive: all checks passed"
exit $((failures > 0))
