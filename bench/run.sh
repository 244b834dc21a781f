#!/usr/bin/env bash
# make bench: generates a deterministic tree and measures, side by side on
# it, norvane-list, a single-threaded C baseline making the same system calls,
# a C baseline reading subtrees in parallel in no order, and find; then two
# deep trees (memory, and a depth beyond the stack and the descriptors);
# then the records, the main window, an export from it, and the window's
# scan under load. BENCH_FILES (default 100000), BENCH_RUNS (default 5),
# BENCH_COLD=1 for cold-cache runs (root only: the page cache is dropped
# before each run), BENCH_BUSY_LOOPS (default: the number of cores; 0 leaves
# the run under load out).
set -euo pipefail
BUILD=${1:-build}
FILES=${BENCH_FILES:-100000}
RUNS=${BENCH_RUNS:-5}
ROOT=${BENCH_ROOT:-/tmp/norvane-bench-$FILES}
LISTER=$BUILD/norvane-list
export LC_ALL=C.UTF-8

. "$(dirname "$0")/common.sh"
ensure_tree "$FILES"

lister_single() { lister --threads=0 "$@"; }
parallel() { "$BUILD/bench/bench_parallel_baseline" "$1" --threads 32 --min-size 428; }
find_same() { find "$1" -type f -printf '%f\t%TY/%Tm/%Td %TH:%TM\t%s\t%h/\n'; }

# Same rows single- and multi-threaded, before anything is timed.
if ! cmp -s <(lister "$ROOT") <(lister_single "$ROOT"); then
  echo "rows differ between the threaded and the single-threaded scan" >&2
  exit 1
fi

mode=warm; [ "${BENCH_COLD:-0}" = 1 ] && mode=cold
[ "$mode" = warm ] && { lister "$ROOT" >/dev/null; "$BUILD/bench/bench_baseline" "$ROOT" >/dev/null; }
echo "== scan of $FILES files, $mode cache, median of $RUNS runs"
t_base=$(median "$BUILD/bench/bench_baseline" "$ROOT")
t_par=$(median parallel "$ROOT")
t_list=$(median lister "$ROOT")
t_single=$(median lister_single "$ROOT")
t_find=$(median find_same "$ROOT")
awk -v b="$t_base" -v p="$t_par" -v l="$t_list" -v s="$t_single" -v f="$t_find" 'BEGIN {
  printf "C baseline (readdir, fstatat, open+pread+close) %7.3f s\n", b
  printf "C parallel baseline, 32 threads, no order      %7.3f s  %.2fx baseline\n", p, p / b
  printf "norvane-list                                   %7.3f s  %.2fx baseline, %.2fx parallel\n", l, l / b, l / p
  printf "norvane-list --threads=0                       %7.3f s  %.2fx baseline\n", s, s / b
  printf "find -printf                                   %7.3f s  %.2fx baseline; lister %.2fx find\n", f, f / b, l / f
}'

# Deep trees: memory with long names at every level, and a depth no
# recursion or one descriptor per level would survive.
deep() {  # deep LEVELS NAME_LENGTH: the tree's path
  local path=/tmp/norvane-deep-$1x$2
  if [ ! -f "$path.done" ]; then
    rm -rf "$path"; "$BUILD/bench/bench_deep_tree" "$path" "$1" "$2" 6 >/dev/null; touch "$path.done"
  fi
  echo "$path"
}
echo "== deep trees"
tree=$(deep 5000 200)
/usr/bin/time -f "5,000 levels of 200-letter names: %e s, peak resident %M KB, exit %x" \
  "$LISTER" --settings=/dev/null -f text "$tree" >/dev/null
tree=$(deep 100000 1)
(ulimit -s 8192 -n 1024
 /usr/bin/time -f "100,000 levels under ulimit -s 8192 -n 1024: %e s, peak resident %M KB, exit %x" \
   "$LISTER" --settings=/dev/null -f text "$tree" >/dev/null)

echo "== records, sorts and writing"
"$BUILD/bench/bench_ScanSortBench" "$ROOT"

# The main window on the same tree (offscreen): what its user waits for,
# against the lister's scan of the same tree; then its scan at start-up
# against the lister in peak resident size (medians of RUNS runs each).
if [ -x "$BUILD/bench/bench_WindowBench" ]; then
  echo "== the main window, median of $RUNS runs (offscreen)"
  window_out=$(QT_QPA_PLATFORM=offscreen "$BUILD/bench/bench_WindowBench" "$ROOT" "$RUNS" 2>/dev/null)
  echo "$window_out" | head -n 1
  echo "$window_out" | awk -v l="$t_list" 'NR > 1 {
    if ($3 == "ms") printf "%-28s %7.1f ms%s\n", $1, $2, ($1 ~ /^worst-timer-lateness/ ? " (limit 50 ms)" : "")
    else printf "%-28s %7.3f s  %.2fx the lister\x27s scan\n", $1, $2, $2 / l
  }'
  list_kb=() window_kb=()
  for _ in $(seq "$RUNS"); do
    list_kb+=("$( { /usr/bin/time -f '%M' "$LISTER" --settings=/dev/null -f text -c name,date,size,version,ext,folder \
      --no-headings "$ROOT" >/dev/null; } 2>&1 | tail -n 1)")
    window_kb+=("$(QT_QPA_PLATFORM=offscreen "$BUILD/bench/bench_WindowBench" --scan "$ROOT" 2>/dev/null |
      awk '$1 == "peak-resident" { print $2 }')")
  done
  med() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
  awk -v l="$(med "${list_kb[@]}")" -v w="$(med "${window_kb[@]}")" 'BEGIN {
    printf "peak resident: norvane-list %d KB, the window scanning at start-up %d KB, %.2fx (limit 1.3x)\n", l, w, w / l
  }'
fi

# An export of every row from the main window (offscreen, driven through its
# dialogs) against norvane-list writing the same rows to a file; the two
# files must hold the same bytes.
if [ -x "$BUILD/bench/bench_ExportBench" ]; then
  echo "== export of all rows, TEXT, all columns, median of $RUNS runs"
  list_file=$(mktemp) window_file=$(mktemp)
  t_list_file=$(median lister -o "$list_file" "$ROOT")
  if ! export_out=$(QT_QPA_PLATFORM=offscreen "$BUILD/bench/bench_ExportBench" "$ROOT" "$window_file" "$RUNS" 2>"$window_file.log"); then
    cat "$window_file.log" >&2
    exit 1
  fi
  if ! cmp -s "$list_file" "$window_file"; then
    echo "the window's export differs from the lister's" >&2
    exit 1
  fi
  rm -f "$list_file" "$window_file" "$window_file.log"
  echo "$export_out" | awk -v l="$t_list_file" '
    $1 == "rows" { rows = $2 }
    $1 == "window_export" { w = $2 }
    $1 == "window_export_lateness" { late = $2 }
    $1 == "writer_alone" { a = $2 }
    END {
      printf "rows exported                                  %7d (same bytes as the lister)\n", rows
      printf "norvane-list -o FILE (scan, write)             %7.3f s\n", l
      printf "window: Save clicked to completion question    %7.3f s  %.2fx the lister (limit 2x)\n", w, w / l
      printf "worst lateness of a 10 ms timer meanwhile      %7.1f ms (limit 50 ms)\n", late
      printf "writer alone on the window'"'"'s rows             %7.3f s  window %.2fx of it\n", a, w / a
    }'
fi

# A double click on a heading's border over a million rows made in memory,
# against measuring every cell text with the font.
if [ -x "$BUILD/bench/bench_FitColumnBench" ]; then
  echo "== fitting a column to its longest text, 1,000,000 rows, median of $RUNS runs (offscreen)"
  QT_QPA_PLATFORM=offscreen "$BUILD/bench/bench_FitColumnBench" 1000000 "$RUNS" 2>/dev/null
fi

# Catalogues: saving one against the scan that makes it (both write the same
# list), its bytes per row against a CSV with paths, the lister reading one
# against scanning the tree, and the window opening one against scanning.
echo "== catalogues, medians of $RUNS runs (paired where a ratio is given)"
cat_dir=$(mktemp -d)
catalogue=$cat_dir/tree.nvcat
trap 'rm -rf "$cat_dir"' EXIT
lister_save() { lister --save="$catalogue" -o - "$1"; }
lister_open() { lister --open="$catalogue"; }
lister_save "$ROOT" > /dev/null
if ! cmp -s <(lister_open) <(lister "$ROOT"); then
  echo "the catalogue's list differs from the scan's" >&2
  exit 1
fi
read -r t_save t_scan r_save <<<"$(paired lister_save lister "$ROOT")"
read -r t_open t_scan2 r_open <<<"$(paired lister_open lister "$ROOT")"
rows=$(sqlite3 "$catalogue" 'SELECT count(*) FROM files')
cat_bytes=$(stat -c %s "$catalogue")
csv_bytes=$("$LISTER" --settings=/dev/null -f csv --with-path -c name,date,size,version,ext,folder --no-headings "$ROOT" | wc -c)
awk -v s="$t_save" -v l="$t_scan" -v r="$r_save" -v o="$t_open" -v l2="$t_scan2" -v q="$r_open" -v n="$rows" \
    -v c="$cat_bytes" -v v="$csv_bytes" 'BEGIN {
  printf "norvane-list --save (scan, list, catalogue) %7.3f s  %.2fx the scan and list alone (%.3f s; limit 1.25x)\n", s, r, l
  printf "catalogue file                             %7.1f bytes a row (limit 64); a CSV with paths %.1f\n", c / n, v / n
  printf "norvane-list --open (catalogue, list)       %7.3f s  %.2fx the scan and list (%.3f s; limit 0.5x)\n", o, q, l2
}'
if [ -x "$BUILD/bench/bench_WindowBench" ]; then
  open_s=() open_kb=() scan_kb=()
  for _ in $(seq "$RUNS"); do
    out=$(QT_QPA_PLATFORM=offscreen "$BUILD/bench/bench_WindowBench" --open "$catalogue" 2>/dev/null)
    grep -q '^catalogue shown' <<<"$out" || { echo "the window did not show the catalogue" >&2; exit 1; }
    open_s+=("$(awk '$1 == "scan-to-end" { print $2 }' <<<"$out")")
    open_kb+=("$(awk '$1 == "peak-resident" { print $2 }' <<<"$out")")
    scan_kb+=("$(QT_QPA_PLATFORM=offscreen "$BUILD/bench/bench_WindowBench" --scan "$ROOT" 2>/dev/null |
      awk '$1 == "peak-resident" { print $2 }')")
  done
  med() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
  awk -v t="$(med "${open_s[@]}")" -v o="$(med "${open_kb[@]}")" -v s="$(med "${scan_kb[@]}")" 'BEGIN {
    printf "window: a catalogue opened to its whole list %6.3f s (limit 1 s)\n", t
    printf "peak resident: the window with the catalogue %d KB, after scanning the tree %d KB, %.2fx (limit 1x)\n", o, s, o / s
  }'
fi

# Comparisons: the catalogue above against a changed copy of it (a hundredth
# of the files each grown, removed, moved to another folder and added, as a
# user of the sqlite3 shell could make them), and against the same copy with
# its files in another order (by folder and name, backwards: no row follows
# the one it followed in the other). norvane-list compares them against
# listing the larger catalogue alone, in time (paired) and peak resident
# size; the window compares them with a 10 ms timer running.
echo "== comparisons of two catalogues, medians of $RUNS runs (paired where a ratio is given)"
changed=$cat_dir/changed.nvcat
reordered=$cat_dir/reordered.nvcat
cp "$catalogue" "$changed"
sqlite3 "$changed" "UPDATE files SET size = size + 1 WHERE id % 100 = 1; DELETE FROM files WHERE id % 100 = 2;
  UPDATE files SET folder = folder % (SELECT count(*) FROM folders) + 1 WHERE id % 100 = 3;
  INSERT INTO files (folder, name, size, time, version_ms, version_ls, system, hidden, kind)
    SELECT folder, name || '.new', size, time, version_ms, version_ls, system, hidden, kind FROM files WHERE id % 100 = 4;
  UPDATE catalogue SET file_count = (SELECT count(*) FROM files)"
cp "$changed" "$reordered"
sqlite3 "$reordered" "CREATE TABLE t AS SELECT folder, name, size, time, version_ms, version_ls, system, hidden, kind
    FROM files ORDER BY folder DESC, name DESC;
  DELETE FROM files; INSERT INTO files (folder, name, size, time, version_ms, version_ls, system, hidden, kind)
    SELECT * FROM t; DROP TABLE t; VACUUM"
compare_with() { lister --compare="$catalogue" --open="$1" || [ $? -eq 1 ]; }
open_alone() { lister --open="$1"; }
if ! cmp -s <(compare_with "$changed" | sort) <(compare_with "$reordered" | sort); then
  echo "the comparison depends on the order of the files" >&2
  exit 1
fi
peak_kb() {  # peak_kb ARGS...: the median peak resident size of the lister
  local kb=()
  for _ in $(seq "$RUNS"); do
    kb+=("$( { /usr/bin/time -f '%M' "$LISTER" --settings=/dev/null -f text -c name,date,size,version,ext,folder \
      --no-headings "$@" >/dev/null; } 2>&1 | tail -n 1)")
  done
  printf '%s\n' "${kb[@]}" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'
}
rows=$(sqlite3 "$changed" 'SELECT count(*) FROM files')
for pair in changed reordered; do
  newer=${!pair}
  read -r t_cmp t_alone r_cmp <<<"$(paired compare_with open_alone "$newer")"
  kb_cmp=$(peak_kb --compare="$catalogue" --open="$newer")
  kb_alone=$(peak_kb --open="$newer")
  awk -v p="$pair" -v c="$t_cmp" -v a="$t_alone" -v r="$r_cmp" -v k="$kb_cmp" -v l="$kb_alone" -v n="$rows" 'BEGIN {
    printf "norvane-list --compare, %s (%d files) %7.3f s (limit 2 s); --open of it alone %.3f s, %.2fx\n", p, n, c, a, r
    printf "  peak resident %d KB, %.2fx the %d KB of --open alone (limit 1.5x)\n", k, k / l, l
  }'
done
kb_all=$(peak_kb --all --compare="$catalogue" --open="$changed")
echo "norvane-list --compare --all, changed: peak resident $kb_all KB"
if [ -x "$BUILD/bench/bench_WindowBench" ]; then
  shown=() late=() kb=() sorts=() sort_late=() sort_kb=() sorted_rows=0
  for _ in $(seq "$RUNS"); do
    out=$(QT_QPA_PLATFORM=offscreen "$BUILD/bench/bench_WindowBench" --compare "$catalogue" "$changed" 2>/dev/null)
    grep -q '^comparison shown' <<<"$out" || { echo "the window did not show the comparison" >&2; exit 1; }
    shown+=("$(awk '$1 == "compare-to-shown" { print $2 }' <<<"$out")")
    late+=("$(awk '$1 == "worst-timer-lateness" { print $2 }' <<<"$out")")
    kb+=("$(awk '$1 == "peak-resident" { print $2 }' <<<"$out")")
    sorts+=("$(awk '$1 == "sort-by-change" { c = $2 } $1 == "sort-by-size" { print c + $2 }' <<<"$out")")
    sort_late+=("$(awk '$1 == "sort-timer-lateness" { print $2 }' <<<"$out")")
    sorted_rows=$(awk '$1 == "sorted-rows" { print $2 }' <<<"$out")
    sort_kb+=("$(awk '$1 == "peak-after-sorts" { print $2 }' <<<"$out")")
  done
  middle() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
  awk -v s="$(middle "${shown[@]}")" -v l="$(middle "${late[@]}")" -v k="$(middle "${kb[@]}")" \
      -v so="$(middle "${sorts[@]}")" -v sl="$(middle "${sort_late[@]}")" -v n="$sorted_rows" \
      -v sk="$(middle "${sort_kb[@]}")" 'BEGIN {
    printf "window: the changed catalogue compared, painted %.3f s; worst timer lateness %.1f ms; peak %d KB\n", s, l, k
    printf "  every one of its %d rows shown, sorted by the change column and by size: %.3f s in all;\n", n, so
    printf "  worst timer lateness meanwhile %.1f ms (limit 50 ms); peak %d KB after them\n", sl, sk
  }'
fi

# The window's scan on a busy machine: as many busy loops as there are cores
# (BENCH_BUSY_LOOPS), then the lister and the window scanning at start-up in
# turn under that load. The window's workers must not starve (limit: twice
# the lister's time) while the window still answers.
if [ -x "$BUILD/bench/bench_WindowBench" ] && [ "${BENCH_BUSY_LOOPS:-$(nproc)}" -gt 0 ]; then
  loops=${BENCH_BUSY_LOOPS:-$(nproc)}
  echo "== under load: $loops busy loops, median of $RUNS runs"
  busy=()
  for _ in $(seq "$loops"); do sh -c 'while :; do :; done' & busy+=($!); done
  stop_busy() { kill "${busy[@]}" 2>/dev/null || true; wait "${busy[@]}" 2>/dev/null || true; }
  trap 'stop_busy; rm -rf "$cat_dir"' EXIT
  list_t=() window_t=() window_late=()
  for _ in $(seq "$RUNS"); do
    start=$(date +%s%N); lister "$ROOT" >/dev/null; end=$(date +%s%N)
    list_t+=("$(( (end - start) / 1000000 ))")
    out=$(QT_QPA_PLATFORM=offscreen "$BUILD/bench/bench_WindowBench" --scan "$ROOT" 2>/dev/null)
    window_t+=("$(echo "$out" | awk '$1 == "scan-to-end" { printf "%d", $2 * 1000 }')")
    window_late+=("$(echo "$out" | awk '$1 == "worst-timer-lateness" { print $2 }')")
  done
  stop_busy
  trap 'rm -rf "$cat_dir"' EXIT
  med() { printf '%s\n' "$@" | sort -n | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
  awk -v l="$(med "${list_t[@]}")" -v w="$(med "${window_t[@]}")" -v late="$(med "${window_late[@]}")" \
      -v all="${window_late[*]}" 'BEGIN {
    printf "norvane-list                                   %7.3f s\n", l / 1000
    printf "the window scanning at start-up                %7.3f s  %.2fx the lister (limit 2x)\n", w / 1000, w / l
    printf "worst lateness of a 10 ms timer, median        %7.1f ms (limit 50 ms; each run: %s)\n", late, all
  }'
fi
