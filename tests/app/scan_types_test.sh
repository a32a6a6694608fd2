#!/usr/bin/env bash
# sizewalk-scan --types as a user runs it: the table of a real tree with
# awkward names and a hard link, the same from the saved scan of it, as
# JSON with its sums checked against find, and the answers to bad input.
set -euo pipefail
scan=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
tree=$root/tree
fail() { echo "FAIL: $*" >&2; exit 1; }
mkdir -p "$tree/pics" "$tree/.hidden"
head -c 30000 /dev/urandom > "$tree/pics/x.png"
ln "$tree/pics/x.png" "$tree/pics/again.PNG"
head -c 700 /dev/zero > "$tree/pics/.thumb.png"
head -c 500 /dev/zero > "$tree/a.tar.gz"
head -c 60 /dev/zero > "$tree/README"
head -c 10 /dev/zero > "$tree/.bashrc"
head -c 11 /dev/zero > "$tree/.hidden/b.C"

table=$("$scan" --types "$tree") || fail "--types PATH"
line() { grep -E "^$1 +$2 +$3 " <<<"$table" >/dev/null || fail "no line '$1 $2 $3' in:"$'\n'"$table"; }
line 'Images' 3 '60,700'
line '  \.png' 2 '60,000'        # upper case joins lower, both links' lengths
line '  \(hidden\)' 1 700        # .thumb.png: hidden, and an image
line 'Archives' 1 500
line '  \.gz' 1 500
line '  \(no extension\)' 1 60
line '  \.c' 1 11
grep -q '^Images .*#D04FD0$' <<<"$table" || fail "no colour"
[ "$(sed -n 2p <<<"$table" | cut -c1-6)" = Images ] || fail "not sorted by size"

"$scan" -o "$root/scan.json" "$tree" || fail "saving the scan"
[ "$("$scan" --types "$root/scan.json")" = "$table" ] || fail "the saved scan differs"

"$scan" --types --json --on-disk "$tree" > "$root/types.json" || fail "--json"
python3 - "$root/types.json" "$tree" <<'PY' || fail "JSON"
import json, os, sys
data = json.load(open(sys.argv[1]))
seen, blocks = set(), 0
for d, _, files in os.walk(sys.argv[2]):
    for f in files:
        st = os.lstat(os.path.join(d, f))
        if st.st_ino not in seen:
            seen.add(st.st_ino)
            blocks += st.st_blocks * 512
assert data["mode"] == "disk" and data["files"] == 7, data
assert sum(k["size"] for k in data["kinds"]) == blocks, (data, blocks)
for k in data["kinds"]:
    assert sum(t["files"] for t in k["types"]) == k["files"], k
PY

if "$scan" --types "$root/missing" 2>/dev/null; then fail "a missing path accepted"; fi
printf 'not a scan' > "$root/bad.json"
msg=$("$scan" --types "$root/bad.json" 2>&1 >/dev/null || true)
[[ $msg == "sizewalk-scan: "*"(at byte "* ]] || fail "bad file: $msg"
if "$scan" --json "$tree" >/dev/null 2>&1; then fail "--json without --types accepted"; fi
echo PASS
