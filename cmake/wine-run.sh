#!/usr/bin/env bash
# Runs a Windows program under Wine, quietly, in a prefix of its own
# (KTTRV_WINEPREFIX, else WINEPREFIX, else one per user under /tmp). The first
# run makes the prefix (~20 s); a lock keeps parallel first runs from racing.
set -euo pipefail
export WINEPREFIX=${KTTRV_WINEPREFIX:-${WINEPREFIX:-${TMPDIR:-/tmp}/kttrv-wine-$(id -u)}}
export WINEDEBUG=-all
if [[ ! -f $WINEPREFIX/system.reg ]]; then
  mkdir -p "$(dirname "$WINEPREFIX")"
  (
    flock 9
    [[ -f $WINEPREFIX/system.reg ]] || wineboot -i >/dev/null 2>&1
    wineserver -w
  ) 9>"$WINEPREFIX.lock"
fi
exec wine "$@"
