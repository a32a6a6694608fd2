#!/usr/bin/env bash
# sizewalk-scan --top and --find on a real tree and on saved scans of it
# (ours plain and zstd, ncdu's): the largest files as find(1) ranks them, a
# hard-linked file once; matches; JSON; a bad pattern answered, not crashed.
# Nothing outside its own temporary folder is touched.
set -euo pipefail
scan=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
tree=$root/tree
mkdir -p "$tree/sub/deep" "$tree/Pics"
for i in $(seq 1 30); do head -c $((i * 37)) /dev/zero > "$tree/sub/deep/f$i"; done
truncate -s 3000000 "$tree/sparse"
head -c 90000 /dev/zero > "$tree/sub/solid"
ln "$tree/sub/solid" "$tree/linked"
head -c 4000 /dev/zero > "$tree/$(printf 'odd name \xff')"
head -c 500 /dev/zero > "$tree/Pics/A.JPG"
head -c 400 /dev/zero > "$tree/Pics/b.jpg"
fail() { echo "FAIL: $*" >&2; exit 1; }

"$scan" -o "$root/ours.json" "$tree"
inputs=("$tree" "$root/ours.json")
if "$scan" -c -o "$root/ours.zst" "$tree" 2>/dev/null; then inputs+=("$root/ours.zst"); fi
if command -v ncdu >/dev/null; then
  ncdu -0 -x -o "$root/ncdu.json" "$tree" >/dev/null 2>&1 && inputs+=("$root/ncdu.json")
fi

# find's ranking, a file of several links once (by inode).
find "$tree" -type f -printf '%s %i\n' | sort -u -k2,2 | sort -rn | head -12 | cut -d' ' -f1 > "$root/want"
for input in "${inputs[@]}"; do
  "$scan" --top 12 "$input" > "$root/got" || fail "--top on $input"
  cut -f1 "$root/got" | cmp -s - "$root/want" || fail "--top sizes on $input: $(cut -f1 "$root/got" | tr '\n' ' ')"
  [ "$(grep -c -e /solid -e /linked "$root/got")" = 1 ] || fail "linked file not once on $input"
  grep -q "^4000	.*/odd name " "$root/got" || fail "odd name on $input"
  "$scan" --find '*.jpg' "$input" > "$root/jpg" || fail "--find on $input"
  printf '500\t%s\n400\t%s\n' "$tree/Pics/A.JPG" "$tree/Pics/b.jpg" | cmp -s - "$root/jpg" \
    || fail "--find *.jpg on $input: $(cat "$root/jpg")"
done
[ "$("$scan" --find '*.JPG' "$tree" | wc -l)" = 1 ] || fail "a capital makes the case count"
[ "$("$scan" --top 3 --find 'f*' "$tree" | cut -f1 | tr '\n' ' ')" = "1110 1073 1036 " ] \
  || fail "--top with --find"
# On disk: the sparse file has (almost) no blocks, the linked file its own.
"$scan" --top 1 --on-disk "$tree" | grep -Eq '^9[0-9]{4}	.*/(solid|linked)$' || fail "--on-disk"

# JSON for machines.
"$scan" --json --top 2 "$root/ours.json" | python3 -c '
import json, sys
d = json.load(sys.stdin)
assert d["size"] == "apparent" and d["top"] == 2 and d["find"] is None, d
assert d["matches"] == 35 and len(d["items"]) == 2, d
assert d["items"][0]["size"] == 3000000 and d["items"][0]["path"].endswith("/sparse"), d
assert not d["items"][0]["directory"] and d["items"][0]["modified"] > 0, d
' || fail "--json"

if command -v python3 >/dev/null && "$scan" --find '/^f[0-9]$/' "$tree" > "$root/re" 2>&1; then
  [ "$(wc -l < "$root/re")" = 9 ] || fail "regex anchors: $(cat "$root/re")"
  set +e
  msg=$("$scan" --find '/f(/' "$tree" 2>&1); status=$?
  set -e
  [ $status = 2 ] && [[ $msg == *"offset 2"*"missing closing parenthesis"* ]] || fail "bad regex: $status $msg"
fi
set +e
msg=$("$scan" --top 5 -o "$root/x" "$tree" 2>&1); status=$?
set -e
[ $status = 2 ] && [ ! -e "$root/x" ] || fail "-o with --top: $status $msg"
msg=$("$scan" --top 5 "$root/missing" 2>&1) && fail "missing input accepted"
[[ $msg == *missing* ]] || fail "missing input: $msg"
echo "sizewalk-scan lists: all checks passed"
