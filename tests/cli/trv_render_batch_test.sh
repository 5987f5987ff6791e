#!/usr/bin/env bash
# trv render IN... -o DIR: a picture of each drawing, named as its input
# with the format's extension under DIR, each the very picture the
# one-file render draws; failures named, the summary, exit 1, worker
# processes drawing the same bytes, lists of paths.
set -uo pipefail
trv=$1
src=$2
source "$(dirname "$0")/check.sh"

mkdir -p "$tmp/in/sub/deeper"
cp "$src/examples/sample.trv" "$tmp/in/a.trv"
cp "$src/examples/floor-plan.trv" "$tmp/in/sub/b.trv"
cp "$src/examples/floor-plan-torv99.trv" "$tmp/in/sub/deeper/c.trv"
cd "$tmp" || exit 1

# cairo numbers its SVG surfaces per process (a process that drew others
# first gives the same picture another id), and dates its PDFs.
same_ids() { LC_ALL=C sed -E 's/id="surface[0-9]+"/id="surface"/; s/CreationDate \(D:[0-9]+Z\)/CreationDate/' "$1"; }

for format in png svg pdf; do
  "$trv" render in -o "pics-$format" --format "$format" 2> "$format.err"
  check "$format: exit" 0 $?
  check "$format: summary" 1 "$(grep -c -E "^trv: rendered 3 of 3 files \([0-9]+ bytes read\)$" "$format.err")"
  for f in a sub/b sub/deeper/c; do
    "$trv" render "in/$f.trv" -o "one.$format"
    check "$format: $f as drawn alone" "" "$(cmp <(same_ids "pics-$format/in/$f.$format") <(same_ids "one.$format") 2>&1)"
  done
  check "$format: nothing else written" 3 "$(find "pics-$format" -type f | wc -l)"
done

"$trv" render in -o jobs --format png --jobs 3 2>/dev/null
check "jobs exit" 0 $?
check "jobs pictures byte-identical" "" "$(diff -r pics-png jobs)"

mkdir wide
"$trv" render in/a.trv -o wide --format png --width 300 2>/dev/null
"$trv" render in/a.trv -o narrow.png --width 300
check "an existing folder as -o takes one input too; --width kept" "" "$(cmp wide/in/a.png narrow.png 2>&1)"

# A drawing that does not load and one with nothing to draw: each named,
# the rest drawn, exit 1.
echo "not a drawing" > in/bad.trv
cp "$src/examples/legacy-torv15.trv" in/sub/old.trv
"$trv" render in -o mixed --format svg --jobs 2 2> mixed.err
check "failures exit" 1 $?
check "failures summary" 1 \
  "$(grep -c -E '^trv: rendered 3 of 5 files .*; 2 failed: in/bad\.trv in/sub/old\.trv$' mixed.err)"
check "failures named" 2 "$(grep -c -E '^trv: (warning: )?in/(bad|sub/old)\.trv: ' mixed.err)"
check "failures draw nothing" 3 "$(find mixed -type f | wc -l)"

printf '%s\n' in/a.trv in/sub/b.trv > list
"$trv" render --from list -o listed --format png 2>/dev/null
check "list exit" 0 $?
check "list pictures" "listed/in/a.png listed/in/sub/b.png" "$(find listed -type f | sort | tr '\n' ' ' | sed 's/ $//')"

"$trv" render in/a.trv in/sub/b.trv -o nofmt 2>/dev/null
check "folder of pictures without --format" 2 $?
"$trv" render in/a.trv in/sub/b.trv -o - --format png > /dev/null 2>&1
check "many pictures to standard output" 2 $?
"$trv" render in/a.trv -o single.svg
check "one file, one picture" 0 $?
check "no picture in progress left" 0 "$(find . -name '*.part' | wc -l)"

((failures == 0)) && echo "trv render batch: all checks passed"
exit $((failures > 0))
