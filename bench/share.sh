#!/usr/bin/env bash
# make bench-share: the scan over a share on one machine. Mounts the delay
# file system (every lookup, attribute, folder and file call answered after
# BENCH_DELAY_US microseconds, default 500; caches off) over the generated
# tree of BENCH_SHARE_FILES files (default 100000) and prints the median of
# BENCH_RUNS runs (default 3) of the C baseline that reads subtrees in
# parallel without keeping order (the floor), with the thread counts of
# BENCH_BASELINE_THREADS (default 32), and of norvane-list, with those of
# BENCH_SHARE_THREADS (default "default": the lister's own).
# Skips, saying so, where there is no /dev/fuse or no libfuse3.
set -euo pipefail
BUILD=${1:-build}
FILES=${BENCH_SHARE_FILES:-100000}
RUNS=${BENCH_RUNS:-3}
DELAY=${BENCH_DELAY_US:-500}
ROOT=${BENCH_ROOT:-/tmp/norvane-bench-$FILES}
BASELINE_THREADS=${BENCH_BASELINE_THREADS:-32}
export LC_ALL=C.UTF-8
. "$(dirname "$0")/common.sh"

if [ ! -c /dev/fuse ]; then
  echo "bench-share: skipped: there is no /dev/fuse on this machine"
  exit 0
fi
if [ ! -x "$BUILD/bench/bench_DelayFs" ]; then
  echo "bench-share: skipped: the delay file system was not built (libfuse3-dev missing)"
  exit 0
fi
ensure_tree "$FILES"

mnt=$(mktemp -d /tmp/norvane-share-XXXXXX)
"$BUILD/bench/bench_DelayFs" "$ROOT" "$mnt" --delay-us "$DELAY" &
fs_pid=$!
cleanup() {
  fusermount3 -u "$mnt" 2>/dev/null || umount "$mnt" 2>/dev/null || true
  wait "$fs_pid" 2>/dev/null || true
  rmdir "$mnt"
}
trap cleanup EXIT
for _ in $(seq 100); do mountpoint -q "$mnt" && break; sleep 0.1; done
mountpoint -q "$mnt" || { echo "bench-share: the delay file system did not mount" >&2; exit 1; }

# The share gives the same rows as the disk (the folder texts aside).
if ! cmp -s <(lister "$mnt" | sed "s|$mnt|ROOT|g") <(lister "$ROOT" | sed "s|$ROOT|ROOT|g"); then
  echo "bench-share: the rows read through the share differ from the disk's" >&2
  exit 1
fi

echo "== scan of $FILES files over a share answering each call after $DELAY us, median of $RUNS runs ($(nproc) cores)"
first=
for threads in $BASELINE_THREADS; do
  t=$(median "$BUILD/bench/bench_parallel_baseline" "$mnt" --threads "$threads" --min-size 428)
  [ -n "$first" ] || first=$t
  printf "C parallel baseline, %3d threads, no order       %8.3f s\n" "$threads" "$t"
done
for threads in ${BENCH_SHARE_THREADS:-default}; do
  if [ "$threads" = default ]; then
    t=$(median lister "$mnt"); label="norvane-list"
  else
    t=$(median lister --threads="$threads" "$mnt"); label="norvane-list --threads=$threads"
  fi
  awk -v t="$t" -v p="$first" -v l="$label" 'BEGIN { printf "%-48s %8.3f s  %.2fx the first baseline\n", l, t, t / p }'
done

# The main window scanning the share (offscreen, one run): when its first
# rows show, when it ends, and how late the event loop let a 10 ms timer fire.
if [ -x "$BUILD/bench/bench_WindowBench" ]; then
  echo "== the main window scanning the share at start-up (offscreen, one run)"
  QT_QPA_PLATFORM=offscreen "$BUILD/bench/bench_WindowBench" --scan "$mnt" 2>/dev/null
fi
