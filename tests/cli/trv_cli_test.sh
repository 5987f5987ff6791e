#!/usr/bin/env bash
# trv as a user runs it: the trace contract's exit statuses, one-line errors
# on bad input, and the bundled example.
set -uo pipefail
trv=$1
src=$2
source "$(dirname "$0")/check.sh"

# A header of 88 bytes: version text, every slot -1.
header() {
  local version=$1 out=$2
  { printf '\0\0'; printf '%s' "$version"; head -c $((14 - ${#version})) /dev/zero;
    head -c 24 /dev/zero; for _ in $(seq 12); do printf '\xff\xff\xff\xff'; done; } > "$out"
}

header "TORV 2000" "$tmp/t2000.trv"
check "TORV 2000 trace" '{"result":true,"g_trv_ver":9}' "$("$trv" trace "$tmp/t2000.trv")"
"$trv" trace "$tmp/t2000.trv" >/dev/null; check "TORV 2000 exit" 0 $?

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
info=$("$trv" info "$tmp/legacy.trv"); check "legacy info exit" 0 $?
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
cmp -s "$tmp/new.trv" "$tmp/empty.saved.trv"; check "save empty is new" 0 $?
"$trv" save "$tmp/new.trv" "$tmp/saved.trv"; check "save exit" 0 $?
check "save trace result" '{"result":true,"g_trv_ver":11}' "$("$trv" trace "$tmp/saved.trv" | tail -n 1)"
check "save dump" "$("$trv" dump "$tmp/new.trv")" "$("$trv" dump "$tmp/saved.trv")"
"$trv" save "$tmp/saved.trv" "$tmp/again.trv"
cmp -s "$tmp/saved.trv" "$tmp/again.trv"; check "save again" 0 $?

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
check "missing list" '{"result":true,"g_trv_ver":9}' \
  "$("$trv" trace --sysvar-list "$tmp/none.txt" "$tmp/sysvars.trv")"

# The bundled example loads.
if [[ -f "$src/examples/sample.trv" ]]; then
  "$trv" dump "$src/examples/sample.trv" >/dev/null; check "example dump" 0 $?
fi

if [[ $failures -eq 0 ]]; then echo "trv cli: all checks passed"; fi
exit $((failures > 0))
