#!/usr/bin/env bash
# Outputs that are no regular file and standard input as input: trv save and
# trv new into a FIFO with a reader, a FIFO nobody reads (a bounded wait, one
# line, exit 1), /dev/null, /dev/stdout as a pipe and as a terminal-less
# device; each command reading - with no usable temporary folder.
set -uo pipefail
trv=$1
src=$2
source "$(dirname "$0")/check.sh"

in="$src/examples/floor-plan.trv"
"$trv" -q save "$in" "$tmp/regular.trv"; check "save to a regular file" 0 $?
"$trv" -q new "$tmp/new-regular.trv"; check "new to a regular file" 0 $?

# What a FIFO's reader receives is the file a regular save writes, and the
# FIFO stays a FIFO.
for cmd in save new; do
  mkfifo "$tmp/$cmd.fifo"
  cat "$tmp/$cmd.fifo" > "$tmp/$cmd.received" &
  reader=$!
  if [[ $cmd == save ]]; then timeout 20 "$trv" -q save "$in" "$tmp/$cmd.fifo"
  else timeout 20 "$trv" -q new "$tmp/$cmd.fifo"; fi
  check "$cmd into a FIFO with a reader" 0 $?
  wait "$reader"
  want="$tmp/regular.trv"; [[ $cmd == new ]] && want="$tmp/new-regular.trv"
  cmp -s "$want" "$tmp/$cmd.received"; check "$cmd: the reader got the regular file's bytes" 0 $?
  [[ -p "$tmp/$cmd.fifo" ]]; check "$cmd: the FIFO is still a FIFO" 0 $?
done
check "the received file loads whole" "$tmp/save.received: whole" "$("$trv" check "$tmp/save.received")"

# Nobody reads: the save gives up after its wait, says why, leaves nothing.
mkfifo "$tmp/unread.fifo"
start=$SECONDS
err=$(timeout 30 "$trv" save "$in" "$tmp/unread.fifo" 2>&1 >/dev/null); status=$?
check "FIFO without a reader exit" 1 $status
check "FIFO without a reader: one line" 1 "$(printf '%s\n' "$err" | wc -l)"
[[ $err == *"nothing reads it"* ]]; check "FIFO without a reader: the reason [$err]" 0 $?
(( SECONDS - start <= 10 )); check "FIFO without a reader: given up within 10 s" 0 $?
[[ -p "$tmp/unread.fifo" ]]; check "the unread FIFO is still a FIFO" 0 $?
check "nothing left beside it" "new-regular.trv new.fifo new.received regular.trv save.fifo save.received unread.fifo" \
  "$(ls "$tmp" | tr '\n' ' ' | sed 's/ $//')"

"$trv" -q save "$in" /dev/null; check "save to /dev/null" 0 $?
"$trv" -q new /dev/null; check "new to /dev/null" 0 $?
# /dev/stdout as a pipe leads to no file that could be replaced.
"$trv" -q save "$in" /dev/stdout | cat > "$tmp/piped.trv"; check "save to /dev/stdout as a pipe" 0 "${PIPESTATUS[0]}"
cmp -s "$tmp/regular.trv" "$tmp/piped.trv"; check "/dev/stdout as a pipe got the regular file's bytes" 0 $?
"$trv" -q save "$in" - | cat > "$tmp/dash.trv"
cmp -s "$tmp/regular.trv" "$tmp/dash.trv"; check "- got the regular file's bytes" 0 $?

# Standard input is read into memory: no temporary folder is needed, and
# one that is full or missing is no failure to read standard input.
for t in /nonexistent-folder "$tmp/readonly"; do
  mkdir -p "$tmp/readonly" && chmod 500 "$tmp/readonly"
  for cmd in "info -" "info --json -" "check -" "dump -" "trace -" "save - $tmp/from-stdin.trv"; do
    err=$(TMPDIR=$t "$trv" -q $cmd < "$in" 2>&1 >/dev/null); status=$?
    check "TMPDIR=$t trv $cmd" "0 " "$status $err"
  done
  cmp -s "$tmp/regular.trv" "$tmp/from-stdin.trv"; check "TMPDIR=$t: save - wrote the file" 0 $?
  rm -f "$tmp/from-stdin.trv"
done
chmod 700 "$tmp/readonly"
# A read that fails says the system's reason.
for cmd in "info -" "dump -" "save - $tmp/never.trv"; do
  err=$("$trv" $cmd < / 2>&1 >/dev/null); status=$?
  check "trv $cmd from a folder" "1 trv: -: cannot read standard input (Is a directory)" "$status $err"
done

if ((failures)); then
  echo "$failures check(s) failed"
  exit 1
fi
echo "all checks passed"
