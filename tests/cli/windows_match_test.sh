#!/usr/bin/env bash
# trv.exe (under Wine) and trv on Linux agree: for every example and every
# whole-file seed the same `-v trace` and `dump` output, line for line, the
# same exit status, and `save` writes the same bytes. A drawing whose file
# name is not ASCII loads and saves through trv.exe.
# Arguments: the Linux trv, the command that runs trv.exe, the source tree.
set -uo pipefail
linux=$1
windows=$2
src=$3
if [[ ! -x $linux ]]; then
  echo "no Linux trv at $linux: build the debug preset first"
  exit 77
fi
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT
failures=0
compared=0

fail() { echo "FAIL $*"; failures=$((failures + 1)); }

# Runs both with the same arguments; compares exit status, stdout and stderr.
same() {
  "$linux" "$@" > "$tmp/linux.out" 2> "$tmp/linux.err"; local linux_status=$?
  "$windows" "$@" > "$tmp/windows.out" 2> "$tmp/windows.err"; local windows_status=$?
  compared=$((compared + 1))
  [[ $linux_status -eq $windows_status ]] || fail "$*: exit $linux_status on Linux, $windows_status on Windows"
  diff "$tmp/linux.out" "$tmp/windows.out" > "$tmp/diff" || { fail "$*: stdout differs"; head -n 20 "$tmp/diff"; }
  diff "$tmp/linux.err" "$tmp/windows.err" > "$tmp/diff" || { fail "$*: stderr differs"; head -n 20 "$tmp/diff"; }
}

for file in "$src"/examples/*.trv "$src"/fuzz/corpus/fuzz_load_document/* "$src"/fuzz/corpus/fuzz_legacy/*; do
  same -v trace "$file"
  same dump "$file"
  "$linux" save --allow-loss "$file" "$tmp/linux.trv" 2>/dev/null
  "$windows" save --allow-loss "$file" "$tmp/windows.trv" 2>/dev/null
  if [[ -e $tmp/linux.trv || -e $tmp/windows.trv ]]; then
    cmp -s "$tmp/linux.trv" "$tmp/windows.trv" || fail "save $file: the written files differ"
  fi
  rm -f "$tmp/linux.trv" "$tmp/windows.trv"
done

# A file name with Latin, Greek and CJK letters, read and written.
example="$src/examples/sample.trv"
named="$tmp/Zeichnung-ü-σχέδιο-図面.trv"
cp "$example" "$named"
"$linux" trace "$example" > "$tmp/expected"
"$windows" trace "$named" > "$tmp/actual" || fail "trace of a non-ASCII name: exit $?"
cmp -s "$tmp/expected" "$tmp/actual" || fail "trace of a non-ASCII name differs from the example's"
"$windows" save --allow-loss "$named" "$tmp/Kopie-ö-図.trv" || fail "save to a non-ASCII name: exit $?"
"$linux" save --allow-loss "$example" "$tmp/expected.trv"
cmp -s "$tmp/expected.trv" "$tmp/Kopie-ö-図.trv" || fail "save to a non-ASCII name wrote other bytes"

if [[ $failures -eq 0 ]]; then echo "trv.exe matches trv: $compared commands over every example and seed"; fi
exit $((failures > 0))
