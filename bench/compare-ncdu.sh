#!/usr/bin/env bash
# Saved scans against ncdu on the same tree, interleaved so that both see the
# same machine: scanning and writing the export (sizewalk-scan -o against
# ncdu -0 -x -o), and opening that export to a browsable tree
# (sizewalk-bench --import --fill against ncdu -f up to its first screen).
# Both open the same file, ours. open_ours is the bench's own reading and
# filling; open_ours_process is its whole run, process start and exit
# included, as ncdu's figure is. Also prints our export alone after a scan.
#   bench/compare-ncdu.sh TREE [RUNS]
# Prints every run's seconds, then the medians and ours over ncdu's.
set -euo pipefail
tree=${1:?usage: compare-ncdu.sh TREE [RUNS]}
runs=${2:-3}
here=$(cd "$(dirname "$0")" && pwd)
bench=${SIZEWALK_BENCH:-$here/../build/bench/sizewalk-bench}
scanner=${SIZEWALK_SCAN:-$here/../build/app/sizewalk-scan}
command -v ncdu >/dev/null || { echo "compare-ncdu.sh: ncdu is not installed" >&2; exit 2; }

work=$(mktemp -d /tmp/sizewalk-ncdu.XXXXXX)
trap 'rm -rf "$work"' EXIT
now() { date +%s.%N; }
timed() { local t0 t1; t0=$(now); "$@" >/dev/null 2>&1; t1=$(now); echo "$t1 - $t0" | bc -l; }
field() { sed -nE "s/.*\"$1\": ([0-9.e-]+).*/\1/p"; }

# ncdu -f until its browser has drawn the tree, through a pseudo-terminal.
ncdu_open() {
  python3 - "$1" <<'PY'
import os, pty, select, sys, time
t0 = time.monotonic()
pid, fd = pty.fork()
if pid == 0:
    os.environ["TERM"] = "xterm"
    os.execvp("ncdu", ["ncdu", "-f", sys.argv[1]])
seen = b""
while b"Total disk usage" not in seen:
    if not select.select([fd], [], [], 120)[0]:
        sys.exit("ncdu drew nothing")
    seen = seen[-64:] + os.read(fd, 65536)
print("%.3f" % (time.monotonic() - t0))
os.write(fd, b"q")
os.waitpid(pid, 0)
PY
}

declare -A times
for run in $(seq "$runs"); do
  times[scan_ours]+="$(timed "$scanner" -o "$work/ours.json" "$tree") "
  times[scan_ncdu]+="$(timed ncdu -0 -x -o "$work/ncdu.json" "$tree") "
  t0=$(now)
  out=$("$bench" --import "$work/ours.json" --fill "$tree" 2>/dev/null)
  times[open_ours_process]+="$(echo "$(now) - $t0" | bc -l) "
  times[open_ours]+="$(echo "$(field import_seconds <<<"$out") + $(field fill_seconds <<<"$out")" | bc -l) "
  times[open_ncdu]+="$(ncdu_open "$work/ours.json") "
  times[export_ours]+="$("$bench" --export "$work/again.json" "$tree" 2>/dev/null | field export_seconds) "
done

median() { tr ' ' '\n' | sed '/^$/d' | sort -g | awk '{a[NR]=$1} END {print a[int((NR+1)/2)]}'; }
for k in scan_ours scan_ncdu open_ours open_ours_process open_ncdu export_ours; do
  printf '%-12s %s\n' "$k" "${times[$k]}"
done
for what in scan open; do
  ours=$(median <<<"${times[${what}_ours]}")
  theirs=$(median <<<"${times[${what}_ncdu]}")
  printf '%s: ours %.3f s, ncdu %.3f s, ratio %.2f\n' "$what" "$ours" "$theirs" "$(echo "$ours / $theirs" | bc -l)"
done
printf 'open, whole process: ours %.3f s, ratio %.2f\n' "$(median <<<"${times[open_ours_process]}")" \
  "$(echo "$(median <<<"${times[open_ours_process]}") / $(median <<<"${times[open_ncdu]}")" | bc -l)"
printf 'export after the scan: ours %.3f s (median)\n' "$(median <<<"${times[export_ours]}")"
