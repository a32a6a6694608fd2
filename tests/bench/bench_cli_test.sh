#!/usr/bin/env bash
# The benchmark tool's command line: JSON per run, the list digest, exit 1 on
# a non-directory.
set -euo pipefail
bench=$1
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
mkdir "$dir/sub"
truncate -s 10 "$dir/a"
truncate -s 5 "$dir/sub/b"

out=$("$bench" --repeat 2 "$dir")
[ "$(wc -l <<<"$out")" -eq 2 ] || { echo "expected two JSON lines, got: $out"; exit 1; }
line=$(head -n1 <<<"$out")
for key in '"entries": 4' '"directories": 2' '"files": 2' '"total_bytes": 15' \
           '"scan_seconds": ' '"peak_rss_bytes": ' '"bytes_per_entry": '; do
  grep -qF "$key" <<<"$line" || { echo "missing $key in: $line"; exit 1; }
done
python3 -c 'import json,sys; [json.loads(l) for l in sys.stdin]' <<<"$out"
grep -qF '"disk_bytes": ' <<<"$line" || { echo "missing disk_bytes in: $line"; exit 1; }

# Switching the order and the size on show, timed in the model and the view.
out=$("$bench" --fill --files --sort size --on-disk "$dir")
for key in '"sort_seconds": ' '"sort_view_seconds": ' '"size_mode_seconds": ' \
           '"size_mode_view_seconds": '; do
  grep -qF "$key" <<<"$out" || { echo "missing $key in: $out"; exit 1; }
done
python3 -c 'import json,sys; json.loads(sys.stdin.read())' <<<"$out"
"$bench" --sort weight "$dir" >/dev/null 2>&1 && { echo "--sort weight accepted"; exit 1; }

# The treemap of the whole scan, laid out and rendered.
out=$("$bench" --treemap 64x48 "$dir")
for key in '"treemap_layout_seconds": ' '"treemap_render_seconds": ' '"treemap_labels_seconds": ' \
           '"treemap_layout_bytes_per_entry": ' '"treemap_width": 64' '"treemap_height": 48'; do
  grep -qF "$key" <<<"$out" || { echo "missing $key in: $out"; exit 1; }
done
python3 -c 'import json,sys; json.loads(sys.stdin.read())' <<<"$out"
for bad in 0x10 64 64x48x2 -1x5 70000x10; do
  "$bench" --treemap "$bad" "$dir" >/dev/null 2>&1 && { echo "--treemap $bad accepted"; exit 1; }
done

# A background scan cancelled as the window's Cancel does.
out=$("$bench" --cancel-after 0 "$dir")
grep -qF '"cancel_seconds": ' <<<"$out" || { echo "missing cancel_seconds in: $out"; exit 1; }
python3 -c 'import json,sys; json.loads(sys.stdin.read())' <<<"$out"

# The digest of a tree whose list order is certain (one entry per level),
# against the same bytes hashed independently.
chain=$(mktemp -d)
trap 'rm -rf "$dir" "$chain"' EXIT
mkdir -p "$chain/x/y"
truncate -s 7 "$chain/x/y/f"
for threads in 1 3; do
  line=$("$bench" --threads "$threads" --digest "$chain")
  grep -qF "\"threads\": $threads," <<<"$line" || { echo "threads not reported: $line"; exit 1; }
  got=$(python3 -c 'import json,sys; print(json.loads(sys.stdin.read())["list_sha256"])' <<<"$line")
  want=$(CHAIN="$chain" python3 -c '
import hashlib, os
c = os.environ["CHAIN"]
key = c.count("/") + 1
rows = [(key - 2, "D", 7, c), (key, "D", 7, "x"), (key + 1, "D", 7, "y"), (key + 2, "F", 7, "f")]
print(hashlib.sha256(b"".join(b"%d\t%s\t%d\t%s\0" % (k, t.encode(), s, n.encode()) for k, t, s, n in rows)).hexdigest())')
  [ "$got" = "$want" ] || { echo "digest $got, expected $want"; exit 1; }
done

set +e
err=$("$bench" "$dir/a" 2>&1 >/dev/null); rc=$?
set -e
[ "$rc" -eq 1 ] || { echo "a file gave exit $rc"; exit 1; }
grep -q "not a directory" <<<"$err" || { echo "unclear error: $err"; exit 1; }
"$bench" --repeat 0 "$dir" >/dev/null 2>&1 && { echo "--repeat 0 accepted"; exit 1; }
"$bench" >/dev/null 2>&1 && { echo "no path accepted"; exit 1; }
"$bench" --threads 0 "$dir" >/dev/null 2>&1 && { echo "--threads 0 accepted"; exit 1; }

# A saved scan opens as the list it came from.
digest() { python3 -c 'import json,sys; print(json.loads(sys.stdin.read())["list_sha256"])'; }
scanned=$("$bench" --digest --export "$dir.json" "$dir" | digest)
opened=$("$bench" --digest --import "$dir.json" | digest)
rm -f "$dir.json"
[ "$scanned" = "$opened" ] || { echo "export then import: $opened, scanned $scanned"; exit 1; }

# File Types of the scan, timed.
out=$("$bench" --types "$dir")
grep -qF '"types_rows": 1' <<<"$out" || { echo "no types_rows in: $out"; exit 1; }
grep -qF '"types_seconds": ' <<<"$out" || { echo "no types_seconds in: $out"; exit 1; }

echo "bench command line ok"
