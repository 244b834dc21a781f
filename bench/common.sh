# Shared by the benchmark scripts: the tree, and the median of timed runs.
# Expects BUILD, RUNS and ROOT to be set.

# Makes the deterministic tree of $1 files at ROOT once.
ensure_tree() {
  if [ ! -f "$ROOT.done" ]; then
    rm -rf "$ROOT"
    echo "generating $1 files under $ROOT"
    "$BUILD/bench/bench_GenerateTree" "$ROOT" --files "$1"
    touch "$ROOT.done"
  fi
}

drop_caches() {
  if [ "${BENCH_COLD:-0}" = 1 ]; then sync; echo 3 > /proc/sys/vm/drop_caches; fi
}

# Median wall time in seconds of RUNS runs of a command (output discarded).
median() {
  local times=() start end
  for _ in $(seq "$RUNS"); do
    drop_caches
    start=$(date +%s%N)
    "$@" > /dev/null
    end=$(date +%s%N)
    times+=("$(( (end - start) / 1000000 ))")
  done
  printf '%s\n' "${times[@]}" | sort -n | awk '{a[NR]=$1} END {printf "%.3f", a[int((NR+1)/2)]/1000}'
}

lister() { "$BUILD/norvane-list" --settings=/dev/null -f text -c name,date,size,version,ext,folder --no-headings "$@"; }
