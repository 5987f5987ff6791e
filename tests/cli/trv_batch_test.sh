#!/usr/bin/env bash
# trv save over a folder: every good file converted, each bad one named with
# its reason, a non-zero exit; worker processes write the same bytes; "-"
# reads standard input and writes standard output.
set -uo pipefail
trv=$1
src=$2
source "$(dirname "$0")/check.sh"

# 100 drawings: legacy examples (whose entity records a save cannot carry)
# and empty drawings written by trv itself; one then cut inside its header,
# one replaced by text.
mkdir "$tmp/in"
for i in $(seq -w 1 100); do
  if ((10#$i % 2)); then cp "$src/examples/legacy-torv15.trv" "$tmp/in/d$i.trv"; else "$trv" new "$tmp/in/d$i.trv"; fi
done
head -c 40 "$src/examples/sample.trv" > "$tmp/in/d037.trv"
echo "not a drawing" > "$tmp/in/d064.trv"

"$trv" save --allow-loss "$tmp"/in/*.trv -o "$tmp/one" 2> "$tmp/one.err"
check "exit with failures" 1 $?
check "converted" 98 "$(ls "$tmp/one" | wc -l)"
check "failures named" 2 "$(grep -c -E '^trv: .*/in/d0(37|64)\.trv: ' "$tmp/one.err")"
check "summary" 1 "$(grep -c -E '^trv: converted 98 of 100 files .*2 failed: .*d037\.trv .*d064\.trv$' "$tmp/one.err")"
check "no progress line off a terminal" "" "$(grep -F $'\r' "$tmp/one.err")"

"$trv" save --allow-loss "$tmp"/in/*.trv -o "$tmp/two" --jobs 2 2> "$tmp/two.err"
check "jobs exit" 1 $?
check "jobs summary" 1 "$(grep -c -E '^trv: converted 98 of 100 files .*2 failed: .*d037\.trv .*d064\.trv$' "$tmp/two.err")"
check "jobs failures named" 2 "$(grep -c -E '^trv: .*/in/d0(37|64)\.trv: ' "$tmp/two.err")"
check "jobs lines whole" 0 "$(grep -c -v -E '^(saved .*(styles?|; lost: .*)|trv: .*)$' "$tmp/two.err")"
check "jobs outputs byte-identical" "" "$(diff -r "$tmp/one" "$tmp/two")"

# Without --allow-loss every drawing a save would lose something of is
# refused by name (the legacy copies), and only the empty ones are converted.
"$trv" save "$tmp"/in/*.trv -o "$tmp/strict" --jobs 2 2> "$tmp/strict.err"
check "strict exit" 1 $?
check "strict converted" 49 "$(ls "$tmp/strict" | wc -l)"
check "strict refusals named" 49 "$(grep -c -E '^trv: .*d[0-9]+\.trv: not saved as .*: it would lose .*legacy entity records' "$tmp/strict.err")"

# A run into a folder first removes what interrupted runs left there.
printf 'half' > "$tmp/one/d001.trv.0123456789abcdef.trv-partial"
printf 'half' > "$tmp/one/d002.trv.89abcdef01234567.trv-partial"
"$trv" save --allow-loss --overwrite "$tmp"/in/d00[1-3].trv -o "$tmp/one" 2> "$tmp/again.err"
check "rerun exit" 0 $?
check "rerun says what it removed" "trv: $tmp/one: removed 2 files that interrupted saves left" \
  "$(head -n 1 "$tmp/again.err")"
check "rerun leaves none" 0 "$(ls "$tmp/one" | grep -c 'trv-partial$')"

rm "$tmp"/in/d037.trv "$tmp"/in/d064.trv
"$trv" save --allow-loss "$tmp"/in/*.trv -o "$tmp/three" --jobs 3 2>/dev/null
check "all good exit" 0 $?

"$trv" save --allow-loss - - < "$src/examples/legacy-torv15.trv" > "$tmp/piped.trv"
check "stdin to stdout exit" 0 $?
"$trv" save --allow-loss "$src/examples/legacy-torv15.trv" "$tmp/direct.trv"
check "stdin to stdout bytes" "" "$(cmp "$tmp/direct.trv" "$tmp/piped.trv")"
check "IN OUT bytes as batch" "" "$(cmp "$tmp/direct.trv" "$tmp/one/d001.trv")"

"$trv" save a b c 2>/dev/null
check "three files without -o" 2 $?

((failures == 0)) && echo "trv batch: all checks passed"
exit $((failures > 0))
