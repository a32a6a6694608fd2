#!/usr/bin/env bash
# Times the scanner against the bare system-call walks on the same tree: the
# single-thread floor (floor.cpp) and the bare parallel walk (pfloor.cpp) at
# the scanner's thread count, warm and cold, interleaved so that every walk
# sees the same machine. The scanner runs at THREADS and at one thread.
#   bench/compare-floor.sh TREE [WARM_RUNS] [COLD_RUNS] [THREADS]
# Cold runs drop the page cache before each walk (root only; COLD_RUNS=0
# skips them). Prints min and median per walk and their ratios to the floor.
set -euo pipefail
tree=${1:?usage: compare-floor.sh TREE [WARM_RUNS] [COLD_RUNS] [THREADS]}
warm_runs=${2:-5}
cold_runs=${3:-3}
here=$(cd "$(dirname "$0")" && pwd)
shared=${SIZEWALK_SHARED_BENCH:-$here/../../shared/bench}
bench=${SIZEWALK_BENCH:-$here/../build/bench/sizewalk-bench}
threads=${4:-$("$bench" --help 2>&1 | sed -nE 's/.*default threads: ([0-9]+).*/\1/p')}
[ -n "$threads" ] || { echo "compare-floor.sh: cannot tell the default thread count; pass THREADS" >&2; exit 2; }

work=$(mktemp -d /tmp/sizewalk-floor.XXXXXX)
trap 'rm -rf "$work"' EXIT
g++ -O2 -o "$work/floor" "$shared/floor.cpp"
g++ -O2 -pthread -o "$work/pfloor" "$shared/pfloor.cpp"

drop() { sync; echo 3 >/proc/sys/vm/drop_caches; }
if [ "$cold_runs" -gt 0 ] && ! (drop) 2>/dev/null; then
  echo "compare-floor.sh: cannot drop the page cache (needs root); cold runs skipped" >&2
  cold_runs=0
fi

now() { date +%s.%N; }
timed() { local t0 t1; t0=$(now); "$@" >/dev/null; t1=$(now); echo "$t1 - $t0" | bc -l; }
scan() { "$bench" --threads "$1" "$tree" 2>/dev/null | sed -E 's/.*"scan_seconds": ([0-9.]+).*/\1/'; }

declare -A times
walk() {  # mode name seconds
  times[$1.$2]+="$3 "
}
one_round() {  # mode
  local mode=$1 prep=:
  [ "$mode" = cold ] && prep=drop
  $prep; walk "$mode" floor "$(timed "$work/floor" "$tree")"
  $prep; walk "$mode" "pfloor@$threads" "$(timed "$work/pfloor" "$tree" "$threads")"
  $prep; walk "$mode" "scan@$threads" "$(scan "$threads")"
  $prep; walk "$mode" "scan@1" "$(scan 1)"
}

"$work/floor" "$tree" >/dev/null  # warm the cache
for ((i = 0; i < warm_runs; i++)); do one_round warm; done
for ((i = 0; i < cold_runs; i++)); do one_round cold; done

stats() { printf '%s\n' $1 | sort -g | awk '{a[NR]=$1} END {printf "%.3f %.3f", a[1], a[int((NR+1)/2)]}'; }
for mode in warm cold; do
  [ -n "${times[$mode.floor]:-}" ] || continue
  read -r fmin fmed <<<"$(stats "${times[$mode.floor]}")"
  echo "$mode (runs: $([ "$mode" = warm ] && echo "$warm_runs" || echo "$cold_runs"), tree: $tree)"
  for name in floor "pfloor@$threads" "scan@$threads" "scan@1"; do
    read -r min med <<<"$(stats "${times[$mode.$name]}")"
    printf '  %-12s min %7.3f s  median %7.3f s  ratio to floor: min %.3f, median %.3f\n' \
      "$name" "$min" "$med" "$(echo "$min / $fmin" | bc -l)" "$(echo "$med / $fmed" | bc -l)"
  done
done
