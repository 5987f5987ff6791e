#!/usr/bin/env bash
# trv catalog against trv info over the same archive of small drawings, in
# one run, with the ratios (docs/PERFORMANCE.md, "trv catalog"):
#   - a first build with --jobs 2 against `trv info --json` over the files;
#   - a second, unchanged build against the first;
#   - searches in a catalogue of 100,000 drawings, made from the built one
#     by copying its rows under new paths, with a drawing number per file.
# Usage: bench/catalog/catalog_bench.sh [BUILD_DIR [WORK_DIR [FILES]]]
set -euo pipefail
build=${1:-build/release}
work=${2:-/tmp/kttrv_catalog_bench}
files=${3:-10000}
trv=$build/tools/trv/trv
synth=$build/bench/trv-synth
runs=3
[[ -x $trv && -x $synth ]] || { echo "build the release preset first ($trv, $synth)" >&2; exit 1; }

# 20 small drawings (100 to 290 records, 10 layers, 3 text styles, 5 blocks
# of 10 records; texts, inserts with attributes and the rest of the mix),
# each copied under its own names into folders of 1,000 files.
archive=$work/archive
if [[ ! -f $work/.made-$files ]]; then
  rm -rf "$work"
  mkdir -p "$archive"
  for v in $(seq 0 19); do
    "$synth" "$work/v$v.trv" --entities $((100 + 10 * v)) --layers 10 --text-styles 3 --blocks 5 \
      --block-entities 10 >/dev/null
  done
  for i in $(seq 0 $((files - 1))); do
    folder=$archive/f$((i / 1000))
    [[ -d $folder ]] || mkdir -p "$folder"
    cp "$work/v$((i % 20)).trv" "$folder/d$i.trv"
  done
  touch "$work/.made-$files"
fi
echo "archive: $files files, $(du -sh "$archive" | cut -f1)"

now() { date +%s%N; }
median() { sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
ms() { awk -v ns="$1" 'BEGIN {printf "%.1f", ns / 1e6}'; }
ratio() { awk -v a="$1" -v b="$2" 'BEGIN {printf "%.3f", a / b}'; }
# Runs a command; appends its wall time (ns) to the array named $1 and its
# CPU time (user + system, its children included, in ns) to the array $2.
timed() {
  local -n wall_times=$1 cpu_times=$2; shift 2
  local t; t=$(now)
  /usr/bin/time -f '%U %S' -o "$work/.cpu" "$@"
  wall_times+=($(( $(now) - t )))
  cpu_times+=($(awk '{printf "%.0f", ($1 + $2) * 1e9}' "$work/.cpu"))
}
info_all() { find "$archive" -name '*.trv' -print0 | xargs -0 "$trv" info --json >/dev/null; }
export -f info_all; export archive trv

info_all  # the page cache, warm
info_w=() info_c=() build_w=() build_c=() again_w=() again_c=()
for r in $(seq $runs); do
  timed info_w info_c bash -c info_all
  rm -f "$work/cat.sqlite" "$work/cat.sqlite-wal" "$work/cat.sqlite-shm"
  timed build_w build_c "$trv" catalog build "$work/cat.sqlite" "$archive" --jobs 2 2>/dev/null
  timed again_w again_c "$trv" catalog build "$work/cat.sqlite" "$archive" --jobs 2 2>/dev/null
done
m() { printf '%s\n' "$@" | median; }
iw=$(m "${info_w[@]}") ic=$(m "${info_c[@]}") bw=$(m "${build_w[@]}") bc=$(m "${build_c[@]}")
aw=$(m "${again_w[@]}") ac=$(m "${again_c[@]}")
echo "medians of $runs, interleaved; wall clock, then CPU time (user + system, workers included):"
echo "  trv info --json, $files files:         $(ms "$iw") ms wall, $(ms "$ic") ms CPU"
echo "  trv catalog build --jobs 2, first run: $(ms "$bw") ms wall ($(ratio "$bw" "$iw")x info), $(ms "$bc") ms CPU ($(ratio "$bc" "$ic")x info)"
echo "  trv catalog build --jobs 2, unchanged: $(ms "$aw") ms wall ($(ratio "$aw" "$bw")x the first run), $(ms "$ac") ms CPU"
echo "catalogue: $(du -h "$work/cat.sqlite" | cut -f1); load average $(cut -d' ' -f1-3 /proc/loadavg)"

# 100,000 drawings: the built catalogue's rows nine more times under new
# paths, and one drawing number text ("DWG-<file id>") in every file.
big=$work/big.sqlite
rm -f "$big" "$big-wal" "$big-shm"
cp "$work/cat.sqlite" "$big"
copies=$(( (100000 + files - 1) / files - 1 ))
{
  echo "PRAGMA journal_mode=WAL; BEGIN;"
  for k in $(seq $copies); do
    cat <<SQL
INSERT INTO files (path, size, mtime_ns, hash, version, generation, legacy, loaded, complete, failure, damage,
  not_kept, min_x, min_y, min_z, max_x, max_y, max_z, extents_complete, layer_count, text_style_count,
  block_count, drawable_count, block_drawable_count, text_count, insert_count, attribute_count)
  SELECT path || '.copy$k', size, mtime_ns, hash, version, generation, legacy, loaded, complete, failure, damage,
  not_kept, min_x, min_y, min_z, max_x, max_y, max_z, extents_complete, layer_count, text_style_count,
  block_count, drawable_count, block_drawable_count, text_count, insert_count, attribute_count
  FROM files WHERE path NOT LIKE '%.copy%';
CREATE TEMP TABLE IF NOT EXISTS moved (old INTEGER PRIMARY KEY, new INTEGER);
DELETE FROM moved;
INSERT INTO moved SELECT o.id, n.id FROM files o JOIN files n ON n.path = o.path || '.copy$k'
  WHERE o.path NOT LIKE '%.copy%';
INSERT INTO layers SELECT m.new, number, name, color, line_type, is_on, drawables FROM layers JOIN moved m ON m.old = file_id;
INSERT INTO text_styles SELECT m.new, number, name, font_file, big_font_file, height FROM text_styles JOIN moved m ON m.old = file_id;
INSERT INTO blocks SELECT m.new, number, name, description, base_x, base_y, base_z, drawables, inserts FROM blocks JOIN moved m ON m.old = file_id;
INSERT INTO texts (file_id, number, kind, text, string_id, layer, block, tag, style, x, y, z, height)
  SELECT m.new, number, kind, text, string_id, layer, block, tag, style, x, y, z, height FROM texts
  JOIN moved m ON m.old = file_id ORDER BY file_id, number;
SQL
  done
  cat <<SQL
INSERT INTO strings (text) SELECT 'DWG-' || id FROM files ORDER BY id;
INSERT INTO search (rowid, text) SELECT id, text FROM strings WHERE text LIKE 'DWG-%';
INSERT INTO texts (file_id, number, kind, text, string_id, layer, block, tag)
  SELECT f.id, 1000000, 'attribute', s.text, s.id, '0', 'TITLE', 'NUMBER' FROM files f JOIN strings s ON s.text = 'DWG-' || f.id;
SQL
  echo "COMMIT;"
} | sqlite3 "$big" >/dev/null
echo "large catalogue: $(sqlite3 "$big" 'SELECT count(*) FROM files') files, $(sqlite3 "$big" 'SELECT count(*) FROM texts') texts, $(sqlite3 "$big" 'SELECT count(*) FROM strings') strings, $(du -h "$big" | cut -f1)"

time_search() {  # query, then options
  local query=$1; shift
  local times=() t hits
  hits=$( { "$trv" catalog search "$big" "$query" "$@" || true; } | wc -l)  # exit 1: no hit
  for r in $(seq 5); do
    t=$(now); "$trv" catalog search "$big" "$query" "$@" >/dev/null || true; times+=($(( $(now) - t )))
  done
  printf '  %-34s %7s hits  %6s ms\n' "$query $*" "$hits" "$(ms "$(printf '%s\n' "${times[@]}" | median)")"
}
echo "trv catalog search (the whole process, median of 5):"
time_search '"DWG-54321"'
time_search '"DWG-5432"*'
time_search '"room 463"' --limit 20
time_search '"room 463"'
time_search 'room' --limit 20
time_search 'LAYER7' --limit 100
time_search 'BLOCK3 OR STYLE2' --limit 100
time_search 'nosuchword'
