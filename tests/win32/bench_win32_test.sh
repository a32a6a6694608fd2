#!/usr/bin/env bash
# sizewalk-bench.exe under Wine: one JSON line per run with the keys of the
# Linux tool, the fill through a real tree view, exit 1 on a non-directory.
#   bench_win32_test.sh PREFIX_DIR PATH/TO/sizewalk-bench.exe
set -euo pipefail
here=$(dirname "$0")
prefix=$1
bench=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
mkdir "$dir/sub" "$dir/$(printf '\xd7\xa2\xd7\x91\xd7\xa8\xd7\x99\xd7\xaa')"  # a Hebrew name
printf '0123456789' > "$dir/a"
printf '01234' > "$dir/sub/b"
win="Z:${dir//\//\\}"
run() { bash "$here/run-under-wine.sh" "$prefix" "$bench" "$@" | tr -d '\r'; }

out=$(run --repeat 2 --fill --files --redraw --units bytes "$win")
[ "$(wc -l <<<"$out")" -eq 2 ] || { echo "expected two JSON lines, got: $out"; exit 1; }
line=$(head -n1 <<<"$out")
for key in '"entries": 5' '"directories": 3' '"files": 2' '"total_bytes": 15' '"items": 5' \
           '"widest_children": 3' '"scan_seconds": ' '"fill_seconds": ' '"widest_expand_seconds": ' \
           '"redraw_seconds": ' '"bytes_per_entry": ' '"peak_rss_bytes": '; do
  grep -qF "$key" <<<"$line" || { echo "missing $key in: $line"; exit 1; }
done
grep -qF '"redraw": "failed"' <<<"$out" && { echo "the redraw scanned again: $out"; exit 1; }
python3 - "$out" <<'PY'
import json, sys
runs = [json.loads(l) for l in sys.argv[1].splitlines()]
for r in runs:
    # Two written files take at least their bytes on disk.
    assert r["disk_bytes"] >= 15, r
    assert r["path"].startswith("Z:\\"), r
print("bench JSON ok")
PY

# The switches of order and size on show, and a cancelled background scan.
out=$(run --fill --files --sort size --on-disk "$win")
for key in '"sort_view_seconds": ' '"size_mode_view_seconds": '; do
  grep -qF "$key" <<<"$out" || { echo "missing $key in: $out"; exit 1; }
done
out=$(run --cancel-after 0 "$win")
grep -qF '"cancel_seconds": ' <<<"$out" || { echo "no cancel_seconds in: $out"; exit 1; }

# A start path in another script arrives whole.
out=$(run "$win\\$(printf '\xd7\xa2\xd7\x91\xd7\xa8\xd7\x99\xd7\xaa')")
grep -qF '"entries": 1' <<<"$out" || { echo "the Hebrew directory was not scanned: $out"; exit 1; }

set +e
err=$(bash "$here/run-under-wine.sh" "$prefix" "$bench" "$win\\a" 2>&1 >/dev/null); rc=$?
set -e
[ "$rc" -eq 1 ] || { echo "a file gave exit $rc"; exit 1; }
grep -q "not a directory" <<<"$err" || { echo "unclear error: $err"; exit 1; }
bash "$here/run-under-wine.sh" "$prefix" "$bench" --repeat 0 "$win" >/dev/null 2>&1 && { echo "--repeat 0 accepted"; exit 1; }
bash "$here/run-under-wine.sh" "$prefix" "$bench" >/dev/null 2>&1 && { echo "no path accepted"; exit 1; }
echo "bench command line ok"
