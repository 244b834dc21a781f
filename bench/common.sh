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

# Two commands (shell functions) run in turn RUNS times, each with the same
# arguments: prints the median wall seconds of each and the median of the
# ratios A/B taken pair by pair (a drift of the machine's speed cancels out).
paired() {  # paired A B ARGS...
  local a=$1 b=$2 ta=() tb=() ratios=() start mid mid2 end
  shift 2
  for _ in $(seq "$RUNS"); do
    drop_caches
    start=$(date +%s%N); "$a" "$@" > /dev/null; mid=$(date +%s%N)
    drop_caches
    mid2=$(date +%s%N); "$b" "$@" > /dev/null; end=$(date +%s%N)
    ta+=("$(( (mid - start) / 1000000 ))") tb+=("$(( (end - mid2) / 1000000 ))")
    ratios+=("$(awk -v x="$(( mid - start ))" -v y="$(( end - mid2 ))" 'BEGIN {printf "%.4f", x / y}')")
  done
  local ma mb mr
  ma=$(printf '%s\n' "${ta[@]}" | sort -n | awk '{a[NR]=$1} END {printf "%.3f", a[int((NR+1)/2)]/1000}')
  mb=$(printf '%s\n' "${tb[@]}" | sort -n | awk '{a[NR]=$1} END {printf "%.3f", a[int((NR+1)/2)]/1000}')
  mr=$(printf '%s\n' "${ratios[@]}" | sort -n | awk '{a[NR]=$1} END {printf "%.2f", a[int((NR+1)/2)]}')
  echo "$ma $mb $mr"
}
