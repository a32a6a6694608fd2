#!/usr/bin/env bash
# Times the scanner against the bare system-call walk on the same tree,
# interleaved so both see the same machine, warm cache.
#   bench/compare-floor.sh TREE [RUNS] [FLOOR_SOURCE] [BENCH_BINARY]
set -euo pipefail
tree=${1:?usage: compare-floor.sh TREE [RUNS] [FLOOR_SOURCE] [BENCH_BINARY]}
runs=${2:-7}
here=$(cd "$(dirname "$0")" && pwd)
floor_src=${3:-$here/../../shared/bench/floor.cpp}
bench=${4:-$here/../build/bench/sizewalk-bench}
floor_bin=$(mktemp /tmp/sizewalk-floor.XXXXXX)
trap 'rm -f "$floor_bin"' EXIT
g++ -O2 -o "$floor_bin" "$floor_src"

"$floor_bin" "$tree" >/dev/null  # warm the cache
now() { date +%s.%N; }
floor_times=() scan_times=()
for ((i = 0; i < runs; i++)); do
  t0=$(now); "$floor_bin" "$tree" >/dev/null; t1=$(now)
  floor_times+=("$(echo "$t1 - $t0" | bc -l)")
  line=$("$bench" "$tree")
  scan_times+=("$(sed -E 's/.*"scan_seconds": ([0-9.]+).*/\1/' <<<"$line")")
done
echo "last run: $line"
stats() { printf '%s\n' "$@" | sort -g | awk '{a[NR]=$1} END {printf "%.3f %.3f", a[1], a[int((NR+1)/2)]}'; }
read -r fmin fmed <<<"$(stats "${floor_times[@]}")"
read -r smin smed <<<"$(stats "${scan_times[@]}")"
printf 'floor: min %.3f s, median %.3f s\n' "$fmin" "$fmed"
printf 'scan:  min %.3f s, median %.3f s\n' "$smin" "$smed"
printf 'ratio: min/min %.3f, median/median %.3f (%d runs each)\n' \
  "$(echo "$smin / $fmin" | bc -l)" "$(echo "$smed / $fmed" | bc -l)" "$runs"
