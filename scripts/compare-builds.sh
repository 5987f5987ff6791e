#!/usr/bin/env bash
# Runs two builds of trv over the same files and says where their outputs or
# exit statuses differ: every file under examples/, tests/ and fuzz/corpus/,
# and cut copies of five of them.
#   scripts/compare-builds.sh OLD_TRV NEW_TRV [COMMAND...]
# COMMAND defaults to: trace, "trace -v", dump, check, "render svg".
set -uo pipefail
cd "$(dirname "$0")/.."
old=$1 new=$2
shift 2
commands=("$@")
((${#commands[@]})) || commands=(trace "-v trace" dump check render)

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
mapfile -t files < <(find examples tests fuzz/corpus -type f \( -name '*.trv' -o -path 'fuzz/corpus/*' \) | sort)
n=0
for f in "${files[@]:0:5}"; do
  size=$(stat -c %s "$f")
  for cut in $((size / 3)) $((size / 2)) $((size - 1)); do
    head -c "$cut" "$f" > "$work/cut$n.trv"
    n=$((n + 1))
  done
done
files+=("$work"/cut*.trv)

run() {  # trv command file -> output file (stdout, stderr, status)
  local trv=$1 command=$2 file=$3 out=$4
  if [[ $command == render ]]; then
    "$trv" render "$file" -o "$out.svg" >"$out" 2>&1
    echo "status $?" >>"$out"
    [[ -e $out.svg ]] && cat "$out.svg" >>"$out"
    rm -f "$out.svg"
  else
    # shellcheck disable=SC2086
    "$trv" $command "$file" >"$out" 2>&1
    echo "status $?" >>"$out"
  fi
}

differ=0
for f in "${files[@]}"; do
  for c in "${commands[@]}"; do
    run "$old" "$c" "$f" "$work/a"
    run "$new" "$c" "$f" "$work/b"
    if ! cmp -s "$work/a" "$work/b"; then
      echo "differs: trv $c $f"
      differ=$((differ + 1))
    fi
  done
done
echo "${#files[@]} files, ${#commands[@]} commands: $differ differ"
((differ == 0))
