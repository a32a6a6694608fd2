#!/usr/bin/env bash
# sizewalk-scan as a server's user runs it: a real tree written plain, to
# standard output and compressed; what ncdu and gdu make of the file; and
# the answers to bad arguments, a missing path and an output it cannot write.
set -euo pipefail
scan=$1
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT
tree=$root/tree
mkdir -p "$tree/sub/deeper" "$tree/empty"
head -c 5000 /dev/zero > "$tree/a"
truncate -s 1048576 "$tree/sub/sparse"
head -c 9000 /dev/zero > "$tree/sub/deeper/written"
ln "$tree/sub/deeper/written" "$tree/sub/again"
printf x > "$tree/$(printf 'odd\tname \xff')"
fail() { echo "FAIL: $*" >&2; exit 1; }

# Apparent bytes of everything below, each link once per link (as Sizewalk
# counts), and the blocks, each file once (as du -x does).
apparent=$(find "$tree" -mindepth 1 -type f -printf '%s\n' | awk '{s+=$1} END {print s}')
disk=$(du -s -B1 -x "$tree" | cut -f1)

"$scan" --help | grep -q '^Usage: sizewalk-scan' || fail "--help"
"$scan" --version | grep -Eq '^sizewalk-scan [0-9]' || fail "--version"
"$scan" -o "$root/out.json" "$tree/" || fail "plain scan"
"$scan" "$tree" > "$root/stdout.json" || fail "scan to standard output"
cmp -s <(sed 's/"timestamp":[0-9]*//' "$root/out.json") <(sed 's/"timestamp":[0-9]*//' "$root/stdout.json") \
  || fail "-o and standard output differ"
"$scan" -c --threads 1 -o "$root/out.zst" "$tree" || fail "zstd scan"
[ "$(head -c 4 "$root/out.zst" | od -An -tx1 | tr -d ' ')" = 28b52ffd ] || fail "-c is not zstd"
head -c 1 "$root/out.json" | grep -q '\[' || fail "not JSON"

# Bad arguments and failures: non-zero, a message, no file left behind.
if "$scan" 2>/dev/null; then fail "no PATH accepted"; fi
if "$scan" --bogus "$tree" 2>/dev/null; then fail "unknown option accepted"; fi
if "$scan" --threads 0 "$tree" 2>/dev/null; then fail "--threads 0 accepted"; fi
msg=$("$scan" "$root/missing" 2>&1 >/dev/null || true)
[[ $msg == *"not a directory"* ]] || fail "missing path: $msg"
if "$scan" -o "$root/no/such/dir/out.json" "$tree" 2>/dev/null; then fail "unwritable output accepted"; fi
if [ -w /dev/full ]; then
  if "$scan" -o /dev/full "$tree" 2>/dev/null; then fail "a full disk reported as success"; fi
fi

# ncdu reads ours and writes the same totals.
if command -v ncdu >/dev/null; then
  ncdu -0 -f "$root/out.json" -o "$root/ncdu.json" >/dev/null 2>&1 || fail "ncdu cannot read ours"
  python3 - "$root/ncdu.json" "$apparent" "$disk" <<'PY' || fail "ncdu's totals differ"
import json, sys
doc = json.load(open(sys.argv[1], encoding="utf-8", errors="surrogateescape"))
seen = set()
def walk(node):
    a = d = 0
    if isinstance(node, list):
        info = node[0]
        a, d = 0, info.get("dsize", 0)  # a directory's own length counts 0
        for child in node[1:]:
            ca, cd = walk(child)
            a, d = a + ca, d + cd
        return a, d
    a, d = node.get("asize", 0), node.get("dsize", 0)
    if node.get("hlnkc"):
        key = (node.get("dev"), node["ino"])
        if key in seen:
            d = 0
        seen.add(key)
    return a, d
a, d = walk(doc[3])
want_a, want_d = int(sys.argv[2]), int(sys.argv[3])
assert (a, d) == (want_a, want_d), ((a, d), (want_a, want_d))
PY
fi
# gdu reads ours; it counts 4096 bytes for every directory and a hard link once.
if command -v gdu >/dev/null; then
  gdu -f "$root/out.json" -n -p -s -a --no-prefix >/dev/null 2>&1 || fail "gdu cannot read ours"
fi
echo "sizewalk-scan: all checks passed"
