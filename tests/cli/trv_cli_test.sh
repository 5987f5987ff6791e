#!/usr/bin/env bash
# trv as a user runs it: the trace contract's exit statuses, one-line errors
# on bad input, and the bundled example.
set -uo pipefail
trv=$1
src=$2
source "$(dirname "$0")/check.sh"
# Under Wine (the Windows build) there are no FIFOs, devices, file-size
# limits or mode bits to test, and trv draws nothing (no cairo there).
posix=1; [[ ${KTTRV_PLATFORM:-} == windows ]] && posix=0

# A header of 88 bytes: version text, every slot -1.
header() {
  local version=$1 out=$2
  { printf '\0\0'; printf '%s' "$version"; head -c $((14 - ${#version})) /dev/zero;
    head -c 24 /dev/zero; for _ in $(seq 12); do printf '\xff\xff\xff\xff'; done; } > "$out"
}

header "TORV 2000" "$tmp/t2000.trv"
check "TORV 2000 trace" '{"result":true,"g_trv_ver":9}' "$("$trv" trace "$tmp/t2000.trv")"
"$trv" trace "$tmp/t2000.trv" >/dev/null; check "TORV 2000 exit" 0 $?
# info --directory reads the header only: a 5 GiB (sparse) file answers at once.
# --directory reads the header only: a 1 GiB file answers at once; one past
# the 32-bit limit is refused from its size, as every command refuses it.
cp "$tmp/t2000.trv" "$tmp/huge.trv" && truncate -s 1G "$tmp/huge.trv"
check "huge info size" "file:       $tmp/huge.trv (1073741824 bytes)" \
  "$(timeout 5 "$trv" info --directory "$tmp/huge.trv" | head -n 1)"
truncate -s 5G "$tmp/huge.trv"
timeout 5 "$trv" info --directory "$tmp/huge.trv" >/dev/null 2>&1; check "over the limit info" 1 $?
rm -f "$tmp/huge.trv"

header "SELK 24.05.95" "$tmp/selk.trv"
check "SELK trace" '{"op":"AfxMessageBox","args":["Sorry,This version only support TORV2000 add HALD 2002"]}
{"result":false,"g_trv_ver":2}' "$("$trv" trace "$tmp/selk.trv" 2>/dev/null)"
"$trv" trace "$tmp/selk.trv" >/dev/null 2>&1; check "SELK exit" 1 $?

header "TORV 3000" "$tmp/unknown.trv"
check "unknown trace" '{"result":false,"g_trv_ver":-1}' "$("$trv" trace "$tmp/unknown.trv" 2>/dev/null)"
"$trv" trace "$tmp/unknown.trv" >/dev/null 2>&1; check "unknown exit" 1 $?

"$trv" trace >/dev/null 2>&1; check "usage exit" 2 $?
check "usage prints no trace" "" "$("$trv" trace --mode x "$tmp/t2000.trv" 2>/dev/null)"

# A "Torv 1.5" legacy file: two line types, one text style, one block, and an
# entity section of kinds 1, 1, 13.
le16() { local v=$(($1 & 0xFFFF)); printf "\\x$(printf %02x $((v & 255)))\\x$(printf %02x $((v >> 8)))"; }
le32() { local v=$(($1 & 0xFFFFFFFF)); le16 $((v & 0xFFFF)); le16 $((v >> 16)); }
{ printf 'Torv 1.5'; head -c 14 /dev/zero
  le32 834; le32 858; head -c 8 /dev/zero
  le16 119; le16 1; le32 715; le16 37; le16 0; le32 0; le16 197; le16 1; le32 518; le16 187; le16 2; le32 144
  head -c $((32 + 40)) /dev/zero; le16 0; head -c $((187 * 2 + 197 + 119)) /dev/zero
  for k in 01 01 0d; do printf "\\x$k\\0"; le16 8; head -c 4 /dev/zero; done; } > "$tmp/legacy.trv"
check "legacy trace" '{"op":"append_line_type","args":[],"id":1}
{"op":"append_line_type","args":[],"id":2}
{"op":"append_text_style","args":[],"id":3}
{"op":"append_block","args":[],"id":4}
{"result":true,"g_trv_ver":-1}' "$("$trv" trace "$tmp/legacy.trv")"
info=$("$trv" info --directory "$tmp/legacy.trv"); check "legacy info exit" 0 $?
for want in 'generation: legacy 1.5' 'line types       187       2         144  inside the file' \
            'entities:   3 records' 'kind   1: 2' 'kind  13: 1' 'system variables: at byte 142, 0 entries'; do
  [[ $info == *"$want"* ]] || { echo "FAIL legacy info lacks [$want]"; failures=$((failures + 1)); }
done
# Cut inside the text style table: the line types stay, the load fails.
head -c 700 "$tmp/legacy.trv" > "$tmp/legacy_cut.trv"
check "legacy cut trace" '{"op":"append_line_type","args":[],"id":1}
{"op":"append_line_type","args":[],"id":2}
{"result":false,"g_trv_ver":-1}' "$("$trv" trace "$tmp/legacy_cut.trv" 2>/dev/null)"
sed 's/Torv 1.5/Torv 1.9/' "$tmp/legacy.trv" > "$tmp/legacy_bad.trv"
head -c 20 "$tmp/legacy.trv" > "$tmp/legacy_short.trv"

# Bad input: one line on stderr, non-zero exit, for every command.
: > "$tmp/empty.trv"
head -c 40 "$tmp/t2000.trv" > "$tmp/short.trv"
for cmd in info dump trace; do
  for f in "$tmp/missing.trv" "$tmp/empty.trv" "$tmp/short.trv" "$tmp/unknown.trv" \
           "$tmp/legacy_bad.trv" "$tmp/legacy_short.trv"; do
    err=$("$trv" $cmd "$f" 2>&1 >/dev/null); status=$?
    [[ $status -ne 0 ]] || { echo "FAIL $cmd $f: exit 0"; failures=$((failures + 1)); }
    [[ $(printf '%s\n' "$err" | grep -c .) -eq 1 && $err == trv:* ]] ||
      { echo "FAIL $cmd $f: stderr [$err]"; failures=$((failures + 1)); }
  done
done

# -v says why a drawing came out short.
verbose=$("$trv" -v dump "$tmp/short.trv" 2>&1 >/dev/null)
[[ $verbose == *"at byte"* ]] || { echo "FAIL -v: [$verbose]"; failures=$((failures + 1)); }

# trv new and trv save write files that load back as generation 11. An empty
# drawing gives the same file both ways; a saved file dumps like its source,
# and saving it once more changes no byte.
"$trv" new "$tmp/new.trv"; check "new exit" 0 $?
check "new trace result" '{"result":true,"g_trv_ver":11}' "$("$trv" trace "$tmp/new.trv" | tail -n 1)"
"$trv" save "$tmp/t2000.trv" "$tmp/empty.saved.trv"; check "save empty exit" 0 $?
"$trv" save "$tmp/new.trv" "$tmp/new.saved.trv"; check "save new exit" 0 $?
cmp -s "$tmp/new.trv" "$tmp/new.saved.trv"; check "save of a written file changes no byte" 0 $?
"$trv" save "$tmp/new.trv" "$tmp/saved.trv"; check "save exit" 0 $?
check "save trace result" '{"result":true,"g_trv_ver":11}' "$("$trv" trace "$tmp/saved.trv" | tail -n 1)"
check "save dump" "$("$trv" dump "$tmp/new.trv")" "$("$trv" dump "$tmp/saved.trv")"
"$trv" save "$tmp/saved.trv" "$tmp/again.trv"
cmp -s "$tmp/saved.trv" "$tmp/again.trv"; check "save again" 0 $?

# A save says what it wrote in one line, what it did not keep of the file
# included, and keeps the kernel's drawing: the example dumps the same after
# a save, object ids aside. The saved file then saves without a word of loss.
err=$("$trv" save --allow-loss "$src/examples/sample.trv" "$tmp/sample.saved.trv" 2>&1 >/dev/null)
check "save sample exit" 0 $?
[[ $err == "saved $tmp/sample.saved.trv: "*" entities, "*" blocks, "*" layers, "*" text styles, "*" dimension style" &&
   $(printf '%s\n' "$err" | grep -c .) -eq 1 ]] || { echo "FAIL save summary: [$err]"; failures=$((failures + 1)); }
check "save sample dump" "$("$trv" dump "$src/examples/sample.trv" | grep -v '"id":')" \
  "$("$trv" dump "$tmp/sample.saved.trv" | grep -v '"id":')"
err=$("$trv" save "$tmp/sample.saved.trv" "$tmp/sample.saved.trv" 2>&1); check "save onto itself" 0 $?
[[ $err != *lost* ]] || { echo "FAIL saved file loses: [$err]"; failures=$((failures + 1)); }
check "save onto itself dump" "$("$trv" dump "$tmp/sample.saved.trv" | grep -v '"id":')" \
  "$("$trv" dump "$src/examples/sample.trv" | grep -v '"id":')"

# What a save would lose (a legacy drawing's records) is named; without
# --allow-loss nothing is written, with it the loss is named after the summary.
# The kernel's defaults (the blocks' "DESC") are not the file's losses.
legacy=$src/fuzz/corpus/fuzz_load_document/legacy
err=$("$trv" save "$legacy" "$tmp/legacy.saved.trv" 2>&1 >/dev/null); status=$?
[[ $status -ne 0 && ! -e "$tmp/legacy.saved.trv" && $err == "trv: $tmp/legacy.saved.trv: not saved: it would lose "*"legacy line type records"*"--allow-loss"* &&
   $err != *"block descriptions"* && $err != *"table values"* ]] ||
  { echo "FAIL lossy save: $status [$err]"; failures=$((failures + 1)); }
err=$("$trv" save --allow-loss "$legacy" "$tmp/legacy.saved.trv" 2>&1 >/dev/null); check "allow-loss exit" 0 $?
[[ $err == "saved $tmp/legacy.saved.trv: "*"; lost: "*"legacy line type records"* ]] || { echo "FAIL allow-loss: [$err]"; failures=$((failures + 1)); }

# A save that fails half-way (here a file-size limit) keeps the old file and
# leaves no temporary file; one line names the file and the reason.
if ((posix)); then
mkdir "$tmp/full" && printf 'old' > "$tmp/full/out.trv"
err=$(ulimit -f 2; "$trv" save --allow-loss "$src/examples/sample.trv" "$tmp/full/out.trv" 2>&1 >/dev/null); status=$?
[[ $status -ne 0 && $err == "trv: $tmp/full/out.trv: not saved: "*"File too large"* ]] ||
  { echo "FAIL size limit: $status [$err]"; failures=$((failures + 1)); }
check "size limit keeps the file" "old" "$(cat "$tmp/full/out.trv")"
check "size limit leaves no temporary file" "out.trv" "$(ls "$tmp/full")"
fi

# What interrupted saves left beside a drawing the next save removes, and
# so does trv check; each says so in one line. Files of other drawings, and
# names a save does not give, stay.
mkdir "$tmp/left" && "$trv" new "$tmp/left/out.trv"
for name in out.trv.0123456789abcdef.trv-partial out.trv.fedcba9876543210.trv-partial \
            other.trv.0123456789abcdef.trv-partial out.trv.partial; do
  printf 'half a drawing' > "$tmp/left/$name"
done
err=$("$trv" save "$tmp/new.trv" "$tmp/left/out.trv" 2>&1 >/dev/null); check "save with leftovers exit" 0 $?
check "save says what it removed" "trv: $tmp/left/out.trv: removed 2 files that interrupted saves left" \
  "$(head -n 1 <<< "$err")"
check "save removed its own leftovers" "other.trv.0123456789abcdef.trv-partial out.trv out.trv.partial" \
  "$(ls "$tmp/left" | sort | tr '\n' ' ' | sed 's/ $//')"
printf 'half' > "$tmp/left/out.trv.00000000000000aa.trv-partial"
out=$("$trv" check "$tmp/left/out.trv" 2>"$tmp/left.err"); check "check with a leftover exit" 0 $?
check "check verdict" "$tmp/left/out.trv: whole" "$out"
check "check says what it removed" "trv: $tmp/left/out.trv: removed 1 file that an interrupted save left" \
  "$(cat "$tmp/left.err")"
check "check removed it" 0 "$(ls "$tmp/left" | grep -c '^out\.trv\..*trv-partial$')"

# A full file system: the old file stays, nothing is left beside it, exit 1
# naming the reason. Only where this user may mount a small tmpfs.
if ((posix)) && mkdir "$tmp/small" && mount -t tmpfs -o size=4k tmpfs "$tmp/small" 2>/dev/null; then
  trap 'umount "$tmp/small" 2>/dev/null; rm -rf "$tmp"' EXIT
  printf 'old' > "$tmp/small/out.trv"
  err=$("$trv" save --allow-loss "$src/examples/sample.trv" "$tmp/small/out.trv" 2>&1 >/dev/null); status=$?
  check "full disk exit" 1 $status
  check "full disk reason" "trv: $tmp/small/out.trv: not saved: cannot write it (No space left on device)" "$err"
  check "full disk keeps the file" "old" "$(cat "$tmp/small/out.trv")"
  check "full disk leaves nothing" "out.trv" "$(ls -A "$tmp/small")"
  umount "$tmp/small"
else
  echo "skipped: the full file system checks (cannot mount a tmpfs here)"
fi

# A file that cannot be written, or an input that cannot be read: one line on
# stderr, non-zero exit, no output file.
for args in "new $tmp/no-such-dir/x.trv" "new $tmp" "save $tmp/t2000.trv $tmp/no-such-dir/x.trv" \
            "save $tmp/missing.trv $tmp/from-missing.trv" "save $tmp/unknown.trv $tmp/from-unknown.trv"; do
  err=$("$trv" $args 2>&1 >/dev/null); status=$?
  [[ $status -ne 0 ]] || { echo "FAIL $args: exit 0"; failures=$((failures + 1)); }
  [[ $(printf '%s\n' "$err" | grep -c .) -eq 1 && $err == trv:* ]] ||
    { echo "FAIL $args: stderr [$err]"; failures=$((failures + 1)); }
done
[[ ! -e "$tmp/from-missing.trv" && ! -e "$tmp/from-unknown.trv" ]] ||
  { echo "FAIL: a failed load still wrote a file"; failures=$((failures + 1)); }

# Little-endian fields, and a header whose slots are given as slot=value
# pairs (every other slot -1).
le16() { local v=$(( $1 & 0xFFFF )); printf "$(printf '\\x%02x\\x%02x' $((v & 255)) $((v >> 8)))"; }
le32() { le16 $(( $1 & 0xFFFF )); le16 $(( ($1 >> 16) & 0xFFFF )); }
str() { le16 ${#1}; printf '%s' "$1"; }
header_with() {
  local -A slots=()
  for kv in "$@"; do slots[${kv%=*}]=${kv#*=}; done
  printf '\0\0TORV 2000'; head -c 5 /dev/zero; head -c 24 /dev/zero
  for off in 40 44 48 52 56 60 64 68 72 76 80 84; do le32 "${slots[$off]:--1}"; done
}

# Layers, then blocks, each in file order, whatever their order in the file.
{ header_with 80=88 52=99
  le32 1; le32 0x20; str B                                          # blocks at 88
  le32 1; le32 1; printf '\0\0'; le16 2; le16 1; le16 0; str A      # layers at 99
} > "$tmp/tables.trv"
check "tables trace" '{"op":"api_kt_create_layer","args":["A",65535,1,true,false,false],"id":1}
{"op":"api_kt_create_block","args":["B",[0,0,0]],"id":2}
{"op":"api_kt_end_block","args":[2]}
{"result":true,"g_trv_ver":9}' "$("$trv" trace "$tmp/tables.trv")"

# The shipped system-variable list is found from the build tree (309
# entries), and --sysvar-list replaces it.
{ header_with 40=88; le32 0; le32 0; } > "$tmp/sysvars.trv"
verbose=$("$trv" -v trace "$tmp/sysvars.trv" 2>&1 >/dev/null)
[[ $verbose == *"value of entry 0 of 309 cut short"* ]] ||
  { echo "FAIL shipped list: [$verbose]"; failures=$((failures + 1)); }
printf '2\nFIRST 1\nBAD 9\n' > "$tmp/list.txt"
{ header_with 40=88; le32 0; le32 0; le16 0; } > "$tmp/sysvars2.trv"
verbose=$("$trv" -v trace --sysvar-list "$tmp/list.txt" "$tmp/sysvars2.trv" 2>&1 >/dev/null)
[[ $verbose == *"list entry 1 has type 9"* ]] ||
  { echo "FAIL --sysvar-list: [$verbose]"; failures=$((failures + 1)); }
# Inputs that are not drawings, and list files that cannot be read: one line
# naming the file and what is wrong, a non-zero exit, and no hang (timeout).
((posix)) && mkfifo "$tmp/pipe.trv" "$tmp/list.fifo"
truncate -s 3G "$tmp/sparse.trv"
truncate -s 1100M "$tmp/zeros.trv"
cp "$tmp/t2000.trv" "$tmp/unreadable.trv"; chmod 000 "$tmp/unreadable.trv"
# Root reads a file of mode 000 unless it gives up the capabilities for that.
no_override=(setpriv --inh-caps=-dac_override,-dac_read_search --bounding-set=-dac_override,-dac_read_search)
[[ $(id -u) -eq 0 ]] && command -v setpriv >/dev/null || no_override=()
refused() {  # name expected-in-stderr command...
  local name=$1 want=$2; shift 2
  local err status
  err=$(timeout 10 "$@" 2>&1 >/dev/null); status=$?
  [[ $status -ne 0 && $status -ne 124 ]] || { echo "FAIL $name: exit $status"; failures=$((failures + 1)); }
  [[ $(printf '%s\n' "$err" | grep -c .) -eq 1 && $err == "trv: "*"$want"* ]] ||
    { echo "FAIL $name: stderr [$err]"; failures=$((failures + 1)); }
}
for cmd in info dump trace; do
  refused "$cmd directory" "$tmp: is a directory" "$trv" $cmd "$tmp"
  ((posix)) && refused "$cmd FIFO" "$tmp/pipe.trv: is a FIFO" "$trv" $cmd "$tmp/pipe.trv"
  ((posix)) && refused "$cmd /dev/zero" "/dev/zero: is a character device" "$trv" $cmd /dev/zero
  refused "$cmd sparse" "$tmp/sparse.trv: is too large: 3221225472 bytes" "$trv" $cmd "$tmp/sparse.trv"
  refused "$cmd zeros" "$tmp/zeros.trv: " "$trv" $cmd "$tmp/zeros.trv"
  ((posix)) && refused "$cmd unreadable" "$tmp/unreadable.trv: Permission denied" "${no_override[@]}" "$trv" $cmd "$tmp/unreadable.trv"
done
for args in "dump $tmp/t2000.trv" "trace $tmp/t2000.trv" "save $tmp/t2000.trv $tmp/out.trv"; do
  lists=("$tmp/none.txt:No such file or directory" "$tmp:is a directory")
  ((posix)) && lists+=("$tmp/list.fifo:is a FIFO")
  for list in "${lists[@]}"; do
    refused "${args%% *} list ${list#*:}" "${list%%:*}: ${list#*:} (the system-variable list)" \
      "$trv" ${args%% *} --sysvar-list "${list%%:*}" ${args#* }
  done
done
# The zeros are refused from their header: the bytes this shell's waited-for
# children read (rchar) stay far below the file's 1.1 GB. Under the Windows
# emulator its own start-up reads count too (tens of MB when its server
# starts afresh): only the native build is measured.
rchar() { local k v; while read -r k v; do [[ $k == rchar: ]] && echo "$v"; done < /proc/$$/io; }
if ((posix)) && [[ -r /proc/$$/io ]]; then
  for cmd in info dump trace; do
    before=$(rchar); "$trv" $cmd "$tmp/zeros.trv" >/dev/null 2>&1; after=$(rchar)
    (( after - before < 16 * 1024 * 1024 )) || { echo "FAIL $cmd zeros: read $((after - before)) bytes"; failures=$((failures + 1)); }
  done
fi

# The bundled examples load whole.
if [[ -f "$src/examples/sample.trv" ]]; then
  "$trv" dump "$src/examples/sample.trv" >/dev/null; check "example dump" 0 $?
  # A dump that cannot be written fails with one line.
  if [[ -w /dev/full ]]; then
    err=$("$trv" dump "$src/examples/sample.trv" 2>&1 >/dev/full); check "dump to a full disk exit" 1 $?
    check "dump to a full disk message" "trv: writing the dump: No space left on device" "$err"
  fi
  out=$("$trv" check "$src"/examples/*.trv); check "examples check" 0 $?
  check "examples whole" "$(ls "$src"/examples/*.trv | wc -l)" "$(grep -c ': whole$' <<< "$out")"
  # What the load carried beside the drawing: info counts it, dump shows it;
  # the records that made nothing stand in the lists unless --no-passed.
  check "example carried" "carried:     2 attribute(s), 3 xdata item(s), 10 record(s) that made nothing" \
    "$("$trv" info "$src/examples/sample.trv" | grep '^carried:')"
  dump=$("$trv" dump "$src/examples/sample.trv")
  check "example dump passed" 10 "$(grep -c '^{"passed":{"kind":' <<< "$dump")"
  check "example dump attributes" 1 "$(grep -c '"strings":\["TAG",null,"VALUE"\]' <<< "$dump")"
  only=$("$trv" dump --no-passed "$src/examples/sample.trv")
  check "example dump --no-passed" 0 "$(grep -c '"passed":' <<< "$only")"
  check "example dump --no-passed drawables" "$(grep -c '^{"id":[0-9]*,"color":' <<< "$dump")" \
    "$(grep -c '^{"id":[0-9]*,"color":' <<< "$only")"
  check "info --json one line a file" 2 "$("$trv" info --json "$src/examples/floor-plan.trv" "$src/examples/sample.trv" | wc -l)"

  # A cut file: one warning line a section that stopped early, whatever the
  # command; -q silences them; -v and -q go before or after the command.
  head -c 3000 "$src/examples/floor-plan.trv" > "$tmp/cut.trv"
  cmds=("dump %s" "info %s" "save --allow-loss %s $tmp/cut.saved.trv" "trace %s")
  # Cut before its model space, it has nothing to draw: the warnings, then
  # that, and no picture.
  if ((posix)); then
    err=$("$trv" render "$tmp/cut.trv" -o "$tmp/cut.svg" 2>&1 >/dev/null); check "render cut exit" 1 $?
    check "render cut warnings" 2 "$(grep -c '^trv: warning: .*at byte' <<< "$err")"
    check "render cut nothing to draw" 1 "$(grep -c 'nothing to draw: the model space holds no drawables' <<< "$err")"
    [[ -e $tmp/cut.svg ]] && { echo "FAIL render cut wrote a picture"; failures=$((failures + 1)); }
  fi
  for cmd in "${cmds[@]}"; do
    args=$(printf "$cmd" "$tmp/cut.trv")
    err=$("$trv" $args 2>&1 >/dev/null); check "$args exit" 0 $?
    [[ $(grep -c '^trv: warning: ' <<< "$err") -eq 2 && $(grep -v '^saved ' <<< "$err" | grep -vc '^trv: warning: ') -eq 0 ]] ||
      { echo "FAIL $args warnings: [$err]"; failures=$((failures + 1)); }
    # -q keeps what a save lost.
    check "$args -q after" "" "$("$trv" $args -q 2>&1 >/dev/null | grep -v '; lost: ')"
    check "$args -q before" "" "$("$trv" -q $args 2>&1 >/dev/null | grep -v '; lost: ')"
  done
  "$trv" dump "$tmp/cut.trv" -v >/dev/null 2>&1; check "-v after" 0 $?
  "$trv" check "$tmp/cut.trv" >/dev/null 2>&1; check "check cut" 1 $?
  "$trv" check "$src/examples/floor-plan.trv" "$tmp/missing.trv" >/dev/null 2>&1; check "check missing" 1 $?
  "$trv" check >/dev/null 2>&1; check "check usage" 2 $?
  if ((posix)); then
  "$trv" render "$src/examples/floor-plan.trv" -o "$tmp/x.gif" >/dev/null 2>&1; check "render type" 2 $?
  "$trv" render "$src/examples/floor-plan.trv" -o "$tmp/x.png" --background '#102030' --layer WALLS
  check "render exit" 0 $?
  "$trv" render "$src/examples/floor-plan.trv" -o "$tmp/x.png" --background teal >/dev/null 2>&1
  check "render bad background" 2 $?
  fi
fi
check "version" "trv" "$("$trv" --version | cut -d' ' -f1)"
for cmd in info check dump render trace new save catalog; do
  # Read whole before it is searched: grep -q would close the pipe early.
  [[ $("$trv" $cmd --help) == *'Exit statuses'* ]] || { echo "FAIL $cmd --help"; failures=$((failures + 1)); }
done

# Without SQLite (the Windows build) catalog says so in one line.
if ! ((posix)); then
  err=$("$trv" catalog build "$tmp/c.sqlite" "$src/examples" 2>&1); check "catalog unavailable" 1 $?
  check "catalog unavailable says" "trv: catalog: this trv was built without SQLite" "$err"
fi

if [[ $failures -eq 0 ]]; then echo "trv cli: all checks passed"; fi
exit $((failures > 0))
