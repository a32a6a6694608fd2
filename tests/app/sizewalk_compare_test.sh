#!/usr/bin/env bash
# sizewalk-scan --compare on real trees changed between two scans, held to an
# independent comparison of the two saved scans by path (in Python below):
# files grown, shrunk, added, removed and renamed, a directory replaced by a
# file, hard links gaining and losing links, sparse files, a directory
# unreadable in the older scan only, a mount point not entered, an ncdu file
# as the older scan, roots that differ; and hostile older files refused with
# the reader's message. Nothing outside its own temporary folder is touched.
set -euo pipefail
scan=$1
root=$(mktemp -d)
trap 'chmod -R u+rwx "$root" 2>/dev/null; rm -rf "$root"' EXIT
chmod 755 "$root"
tree=$root/tree
fail() { echo "FAIL: $*" >&2; exit 1; }

mkdir -p "$tree/keep/deep" "$tree/gone/sub" "$tree/turns" "$tree/locked/in" "$tree/mnt"
head -c 5000 /dev/urandom > "$tree/keep/grows"
head -c 9000 /dev/urandom > "$tree/keep/shrinks"
head -c 700 /dev/urandom > "$tree/keep/deep/same"
head -c 3000 /dev/urandom > "$tree/keep/old-name"
head -c 4100 /dev/urandom > "$tree/gone/sub/x"
head -c 10 /dev/urandom > "$tree/turns/inside"
head -c 8192 /dev/urandom > "$tree/keep/linked"
ln "$tree/keep/linked" "$tree/gone/link-b"
truncate -s 3M "$tree/keep/sparse"
head -c 2000 /dev/urandom > "$tree/locked/in/secret"
chmod -R a+rX "$tree"

# The older scan with "locked" unreadable: as nobody where the tests run as root.
chmod 000 "$tree/locked"
if [ "$(id -u)" = 0 ]; then
  setpriv --reuid=65534 --regid=65534 --clear-groups "$scan" "$tree" > "$root/old.json" 2>/dev/null
else
  "$scan" "$tree" > "$root/old.json" 2>/dev/null
fi
chmod 755 "$tree/locked"
ncdu -o "$root/ncdu.json" "$tree" 2>/dev/null

# A week later.
head -c 20000 /dev/urandom >> "$tree/keep/grows"
truncate -s 100 "$tree/keep/shrinks"
mv "$tree/keep/old-name" "$tree/keep/new-name"
rm -r "$tree/gone" "$tree/turns"
head -c 6000 /dev/urandom > "$tree/turns"
mkdir -p "$tree/added/more"
head -c 12345 /dev/urandom > "$tree/added/more/y"
ln "$tree/keep/linked" "$tree/added/link-c"
ln "$tree/keep/linked" "$tree/keep/link-d"
truncate -s 7M "$tree/keep/sparse"
head -c 4096 /dev/urandom | dd of="$tree/keep/sparse" bs=4096 seek=1000 conv=notrunc 2>/dev/null
head -c 50000 /dev/urandom > "$tree/mnt/hidden"

# The older scan says "mnt" is another file system: nothing below is compared.
python3 - "$root/old.json" <<'PY'
import json, sys
p = sys.argv[1]
d = json.load(open(p, encoding="utf-8", errors="surrogateescape"))
def mark(node):
    for n in node[1:]:
        if isinstance(n, list):
            if n[0]["name"] == "mnt":
                n[0]["excluded"] = "otherfs"
            mark(n)
mark(d[3])
json.dump(d, open(p, "w", encoding="utf-8", errors="surrogateescape"))
PY

# The independent comparison: both files read by path, the list's rules
# applied (directories' own apparent size 0, a hard-linked file's blocks
# once at its first link in file order, nothing below a directory on another
# file system in either scan), and the tool's full --json listing checked.
check() {  # OLD NEW (saved scans) TOOL-JSON [all: every kind of change must show]
  python3 - "$@" <<'PY' || fail "comparison of $1 and $2"
import json, sys
def load(p):
    d = json.load(open(p, encoding="utf-8", errors="surrogateescape"))
    entries, seen = {}, set()
    def walk(node, rel, dev):
        info = node[0] if isinstance(node, list) else node
        dev = info.get("dev", dev)
        is_dir = isinstance(node, list)
        disk = info.get("dsize", 0)
        if not is_dir and (info.get("hlnkc") or info.get("nlink", 1) > 1):
            if (dev, info["ino"]) in seen: disk = 0
            seen.add((dev, info["ino"]))
        entries[rel] = dict(dir=is_dir, apparent=0 if is_dir else info.get("asize", 0), disk=disk,
                            unreadable=bool(info.get("read_error")),
                            otherfs=info.get("excluded") in ("otherfs", "othfs"))
        if is_dir:
            for child in node[1:]:
                name = (child[0] if isinstance(child, list) else child)["name"]
                walk(child, rel + "/" + name, dev)
    walk(d[3], "", 0)
    return d[3][0]["name"], entries
old_root, old = load(sys.argv[1])
new_root, new = load(sys.argv[2])
tool = json.load(open(sys.argv[3], encoding="utf-8", errors="surrogateescape"))
mode = "disk" if tool["size_mode"] == "on_disk" else "apparent"
below = lambda p, q: q == p or q.startswith(p + "/")
skipped = [p for p in set(old) & set(new) if old[p]["otherfs"] or new[p]["otherfs"]]
def cut(entries):  # what the comparison does not enter
    return {p: e for p, e in entries.items() if not any(below(s, p) for s in skipped)}
def totals(entries):
    t = {}
    for p, e in entries.items():
        parts = p.split("/")
        for k in range(len(parts)):
            a = "/".join(parts[:k + 1])
            t[a] = t.get(a, 0) + e[mode]
    return t
oc, nc = cut(old), cut(new)
ot, nt = totals(oc), totals(nc)
bad = lambda entries, p: any(e["unreadable"] and below(p, q) for q, e in entries.items())
want = []
for p in nc:
    if p in oc and oc[p]["dir"] == nc[p]["dir"]:
        kind, change = None, nt[p] - ot[p]
        at_least = bad(new, p) or bad(old, p)
    else:
        kind, change, at_least = "new", nt[p], bad(new, p)
    if change:
        want.append((p, kind or ("grown" if change > 0 else "shrunk"), change, at_least))
for p in oc:
    if p not in nc or oc[p]["dir"] != nc[p]["dir"]:
        if ot[p]:
            want.append((p, "gone", -ot[p], bad(old, p)))
rebase = lambda path: path[len(tool["root"]):]
got = [(rebase(c["path"]), c["kind"], c["change"], c["at_least"]) for c in tool["changes"]]
assert sorted(got) == sorted(want), "\n".join(
    ["only the tool:"] + [repr(x) for x in sorted(set(got) - set(want))] +
    ["only expected:"] + [repr(x) for x in sorted(set(want) - set(got))])
assert tool["roots_differ"] == (old_root.rstrip("/") != new_root.rstrip("/"))
assert [abs(c["change"]) for c in tool["changes"]] == sorted((abs(c["change"]) for c in tool["changes"]), reverse=True)
if len(sys.argv) > 4:  # the week's changes all show
    assert {"new", "gone", "grown", "shrunk"} <= {w[1] for w in want} and any(w[3] for w in want)
    assert not any(w[0].startswith("/mnt/") for w in want) and "/mnt" in skipped, skipped
print(f"{sys.argv[3]}: {len(got)} changes agree")
PY
}

"$scan" --compare "$root/old.json" -o "$root/new.json" -n 1000 --json "$tree" > "$root/apparent.json" ||
  fail "compare against a scan"
check "$root/old.json" "$root/new.json" "$root/apparent.json" all
"$scan" --compare "$root/old.json" -n 1000 --json --on-disk "$root/new.json" > "$root/disk.json" ||
  fail "compare two saved scans"
check "$root/old.json" "$root/new.json" "$root/disk.json" all
"$scan" --compare "$root/ncdu.json" -n 1000 --json --on-disk "$root/new.json" > "$root/ncdu-cmp.json" ||
  fail "compare against ncdu's file"
check "$root/ncdu.json" "$root/new.json" "$root/ncdu-cmp.json"

# What a user reads: the facts above, as lines, largest first, at most -n.
"$scan" --compare "$root/old.json" -n 5 "$root/new.json" > "$root/lines" 2> "$root/notes"
[ "$(wc -l < "$root/lines")" = 5 ] || fail "-n 5: $(cat "$root/lines")"
grep -qxF "+20000	$tree/keep/grows" "$root/lines" || fail "grown file: $(cat "$root/lines")"
grep -q "could not be read" "$root/notes" || fail "no word of the unreadable directory"
"$scan" --compare "$root/old.json" -n 1000 "$root/new.json" 2>/dev/null | grep -qxF -- "-8900	$tree/keep/shrinks" ||
  fail "shrunk file"

# Roots that differ: the same tree copied elsewhere, compared by relative path.
cp -a "$tree" "$root/copy"
echo more >> "$root/copy/keep/deep/same"
"$scan" --compare "$root/new.json" -n 1000 --json "$root/copy" > "$root/moved.json"
"$scan" "$root/copy" > "$root/copy.json"
check "$root/new.json" "$root/copy.json" "$root/moved.json"

# Hostile older files: the reader's message, status 1, nothing printed.
head -c 300 "$root/new.json" > "$root/truncated.json"
python3 -c 'import sys; sys.stdout.write("[1,2,{},[{\"name\":\"/r\"}," + "[{\"name\":\"d\"}," * 5000 + "]" * 5001 + "]")' \
  > "$root/deep.json"
for bad in truncated deep; do
  set +e
  out=$("$scan" --compare "$root/$bad.json" "$tree" 2> "$root/err")
  status=$?
  set -e
  [ "$status" = 1 ] && [ -z "$out" ] || fail "$bad: status $status, output $out"
  grep -Eq "$bad.json: .*(ends early|nested deeper)" "$root/err" || fail "$bad: $(cat "$root/err")"
done
if "$scan" --compare "$root/old.json" -n 0 "$tree" 2>/dev/null; then fail "-n 0 accepted"; fi
echo ok
