#!/usr/bin/env bash
# Every command the README and `trv --help` show, run as written (the
# examples' paths for FILE), with its - forms: what each prints and its
# exit status.
set -uo pipefail
trv=$1
src=$2
source "$(dirname "$0")/check.sh"
ex=$src/examples
plan=$ex/floor-plan.trv
cd "$tmp" || exit 1

status_of() { "$@" >/dev/null 2>&1; echo $?; }
has() {  # name text wanted
  [[ $2 == *"$3"* ]] || { echo "FAIL $1: lacks [$3] in [$2]"; failures=$((failures + 1)); }
}

# trv --version, trv --help, COMMAND --help: each command names its - forms.
has "--version" "$("$trv" --version)" "trv "
check "--version exit" 0 "$(status_of "$trv" --version)"
help=$("$trv" --help); check "--help exit" 0 "$(status_of "$trv" --help)"
for cmd in info check dump render trace new save; do
  has "--help lists $cmd" "$help" "$cmd"
  out=$("$trv" "$cmd" --help); check "$cmd --help exit" 0 $?
  has "$cmd --help statuses" "$out" "Exit statuses:"
done
for cmd in info check dump render trace; do has "$cmd --help -" "$("$trv" "$cmd" --help)" "- : standard input"; done
for cmd in info check dump render; do has "$cmd --help encoding" "$("$trv" "$cmd" --help)" "--encoding"; done
has "render --help format" "$("$trv" render --help)" "--format"
has "dump --help lines" "$("$trv" dump --help)" "--lines"
has "check --help strict" "$("$trv" check --help)" "--strict"

# trv info FILE... and its - form: the same text, named -.
info=$("$trv" info "$plan"); check "info exit" 0 $?
has "info" "$info" "load:        complete"
check "info -" "${info#*$'\n'}" "$("$trv" info - < "$plan" | tail -n +2)"
has "info - names -" "$("$trv" info - < "$plan" | head -n 1)" "file:        - ("
# trv info --json FILE...: one object a line.
json=$("$trv" info --json "$plan" "$ex/sample.trv"); check "info --json exit" 0 $?
check "info --json lines" 2 "$(printf '%s\n' "$json" | wc -l)"
has "info --json encoding" "$json" '"encoding":{"first_invalid":null,"invalid":0,"name":"latin1"'
has "info --json -" "$("$trv" info --json - < "$plan")" '"file":"-"'
# trv info --directory FILE...: also of standard input, legacy files too.
check "info --directory -" "$("$trv" info --directory "$plan" | tail -n +2)" \
  "$("$trv" info --directory - < "$plan" | tail -n +2)"
check "info --directory legacy -" "$("$trv" info --directory "$ex/legacy-torv15.trv" | tail -n +2)" \
  "$("$trv" info --directory - < "$ex/legacy-torv15.trv" | tail -n +2)"
: | "$trv" info - >/dev/null 2>&1; check "info of empty standard input" 1 $?

# trv check FILE... and check --strict: every example is whole.
for f in "$ex"/*.trv; do
  check "check $f" "$f: whole" "$("$trv" check "$f")"
  check "check --strict $f" "$f: whole" "$("$trv" check --strict "$f")"
done
check "check -" "-: whole" "$("$trv" check - < "$plan")"
head -c 3000 "$plan" > cut.trv
out=$("$trv" check cut.trv 2>/dev/null); check "check cut exit" 1 $?
has "check cut" "$out" "cut.trv: damaged:"
out=$("$trv" check - < cut.trv 2>/dev/null); check "check - cut exit" 1 $?
has "check - cut" "$out" "-: damaged:"

# trv render FILE -o OUT: each format by its name, and - with --format.
for fmt in svg png pdf; do
  "$trv" render "$plan" -o "plan.$fmt"; check "render $fmt exit" 0 $?
  [[ -s plan.$fmt ]] || { echo "FAIL render $fmt: no picture"; failures=$((failures + 1)); }
  "$trv" render - -o - --format "$fmt" < "$plan" > "stdout.$fmt"; check "render - -o - $fmt exit" 0 $?
  [[ -s stdout.$fmt ]] || { echo "FAIL render -o - $fmt: nothing written"; failures=$((failures + 1)); }
done
check "render -o - png is the picture" "$(head -c 8 plan.png | od -An -tx1)" "$(head -c 8 stdout.png | od -An -tx1)"
check "render -o - pdf is the picture" "$(head -c 5 plan.pdf)" "$(head -c 5 stdout.pdf)"
has "render -o - svg" "$(head -c 100 stdout.svg)" "<?xml"
ls -a | grep -q 'part$' && { echo "FAIL render left a part file"; failures=$((failures + 1)); }
"$trv" render "$plan" -o plan.svg --width 400 --background none --layer WALLS --layer DOORS; check "render options" 0 $?
# trv render IN... -o DIR --format F [--width PX] [--jobs N] [--from LIST], as the README shows it.
mkdir -p drawings/a && cp "$plan" drawings/a/x.trv && cp "$ex/sample.trv" drawings/y.trv
"$trv" -q render drawings -o pictures --format png --width 200 --jobs 2; check "render -o DIR exit" 0 $?
[[ -s pictures/drawings/a/x.png && -s pictures/drawings/y.png ]] ||
  { echo "FAIL render -o DIR: pictures missing"; failures=$((failures + 1)); }
printf '%s\n' drawings/y.trv > drawings.list
"$trv" -q render --from drawings.list -o listed-pictures --format svg; check "render --from exit" 0 $?
[[ -s listed-pictures/drawings/y.svg ]] || { echo "FAIL render --from: picture missing"; failures=$((failures + 1)); }
has "render --help -o DIR" "$("$trv" render --help)" "--jobs"
err=$("$trv" render "$plan" -o - 2>&1 >/dev/null); check "render -o - without --format" 2 "$(status_of "$trv" render "$plan" -o -)"
has "render -o - without --format says" "$err" "--format"
check "render bad extension" 2 "$(status_of "$trv" render "$plan" -o plan.gif)"
check "render --format bad" 2 "$(status_of "$trv" render "$plan" -o x --format gif)"
"$trv" render "$plan" -o named.out --format svg; check "render --format over the name" 0 $?
has "render --format over the name" "$(head -c 100 named.out)" "<?xml"
# A layer no layer has, or nothing to draw: said, failed, no picture.
rm -f none.svg
err=$("$trv" render "$plan" -o none.svg --layer NO-SUCH-LAYER 2>&1); check "render missing layer exit" 1 $?
check "render missing layer" "trv: warning: $plan: no layer is named \"NO-SUCH-LAYER\"; no picture written" "$err"
[[ -e none.svg ]] && { echo "FAIL render missing layer wrote a picture"; failures=$((failures + 1)); }
err=$("$trv" render "$ex/legacy-torv15.trv" -o none.svg 2>&1); check "render legacy exit" 1 $?
has "render legacy" "$err" "nothing to draw"
"$trv" new empty.trv 2>/dev/null
err=$("$trv" render empty.trv -o none.svg 2>&1); check "render empty exit" 1 $?
has "render empty" "$err" "nothing to draw: the model space holds no drawables"
[[ -e none.svg ]] && { echo "FAIL render of nothing wrote a picture"; failures=$((failures + 1)); }

# trv dump FILE [--mode N] [--sysvar-list PATH], --lines, and -.
dump=$("$trv" dump "$plan"); check "dump exit" 0 $?
check "dump -" "$dump" "$("$trv" dump - < "$plan")"
has "dump head" "$(printf '%s\n' "$dump" | head -n 1)" '"complete":true,"damage":[]'
has "dump rgb and layer_id" "$dump" '"rgb":"#'
has "dump layer_id" "$dump" '"layer_id":'
"$trv" dump --mode 0 --sysvar-list "$src/data/torv_sys.txt" "$plan" >/dev/null; check "dump options exit" 0 $?
lines=$("$trv" dump --lines "$plan"); check "dump --lines exit" 0 $?
check "dump --lines -" "$lines" "$("$trv" dump --lines - < "$plan")"
has "dump --lines head" "$(printf '%s\n' "$lines" | head -n 1)" '{"in":"file","version":"HALD 2002"'
bad=$(printf '%s\n' "$lines" | grep -cv '^{"in":"[a-z_]*".*}$'); check "dump --lines: one object a line" 0 "$bad"
cut_head=$("$trv" dump --lines cut.trv 2>/dev/null | head -n 1)
has "dump --lines cut head" "$cut_head" '"complete":false,"damage":["'

# trv trace FILE: its - form gives the same calls.
check "trace -" "$("$trv" trace "$plan")" "$("$trv" trace - < "$plan")"

# trv new OUT; trv save IN OUT [--allow-loss]; save - -.
"$trv" new new.trv; check "new exit" 0 $?
check "new loads" "new.trv: whole" "$("$trv" check new.trv)"
err=$("$trv" save "$plan" saved.trv 2>&1); check "save exit" 0 $?
has "save says" "$err" "saved saved.trv:"
check "save - -" "$(od -An -tx1 saved.trv | md5sum)" "$("$trv" -q save - - < "$plan" | od -An -tx1 | md5sum)"
err=$("$trv" save - - < "$plan" 2>&1 >/dev/null)
check "save - - names no file" "saved -: $(printf '%s' "$err" | sed 's/^saved -: //')" "$err"
[[ $err == *tmp* || $err == *.part* ]] && { echo "FAIL save - - names a temporary file: $err"; failures=$((failures + 1)); }
err=$("$trv" save "$ex/floor-plan-torv98.trv" old.trv 2>&1); check "save refused exit" 1 $?
has "save refused" "$err" "old.trv: not saved: it would lose"
has "save refused" "$err" "--allow-loss saves anyway"
"$trv" save "$ex/floor-plan-torv98.trv" old.trv --allow-loss 2>/dev/null; check "save --allow-loss exit" 0 $?
# trv save IN... -o DIR [--jobs N]; the archive forms.
"$trv" -q save "$plan" "$ex/sample.trv" -o many --jobs 2; check "save -o exit" 0 $?
[[ -s many/floor-plan.trv && -s many/sample.trv ]] || { echo "FAIL save -o: outputs missing"; failures=$((failures + 1)); }
mkdir -p archive/a && cp "$plan" archive/a/x.trv && cp "$ex/sample.trv" archive/y.trv
"$trv" -q save -r archive -o converted --report converted.jsonl; check "save -r exit" 0 $?
[[ -s converted/archive/a/x.trv ]] || { echo "FAIL save -r: converted/archive/a/x.trv missing"; failures=$((failures + 1)); }
check "save --report lines" 2 "$(wc -l < converted.jsonl)"
find archive -name '*.trv' -print0 | "$trv" -q save --from - -0 -o listed; check "save --from - -0 exit" 0 $?
[[ -s listed/archive/y.trv ]] || { echo "FAIL save --from: listed/archive/y.trv missing"; failures=$((failures + 1)); }
"$trv" -q save -r archive -o converted --skip-existing; check "save --skip-existing exit" 0 $?

# --encoding: a name no encoding has is a usage error for every command that reads text.
for cmd in info check dump; do check "$cmd unknown encoding" 2 "$(status_of "$trv" "$cmd" --encoding nonesuch "$plan")"; done
check "render unknown encoding" 2 "$(status_of "$trv" render "$plan" -o e.svg --encoding nonesuch)"
check "info --encoding utf-8" 0 "$(status_of "$trv" info --encoding utf-8 "$plan")"

# -q and -v before or after the command.
check "-q before" 0 "$(status_of "$trv" -q info "$plan")"
check "-v after" 0 "$(status_of "$trv" info "$plan" -v)"
check "usage exit" 2 "$(status_of "$trv" nonesuch)"

[[ $failures -eq 0 ]] && echo "all README commands passed"
exit $((failures > 0))
