#!/usr/bin/env bash
# sizewalk-scan.exe under Wine: a tree with a non-ASCII name written as a
# plain saved scan that ncdu reads with our totals; -c refused (no zstd in
# this build) and an unwritable output reported, both non-zero; --top and
# --find on the tree and on the saved scan, and a regular expression refused
# with a clear message (no PCRE2 in this build); --compare with that scan
# after a file grew and one came.
#   scan_win32_cli_test.sh PREFIX_DIR PATH/TO/sizewalk-scan.exe
set -euo pipefail
# shellcheck source=cli_common.sh
source "$(dirname "$0")/cli_common.sh"
mkdir -p "$dir/tree/sub" "$dir/tree/$(printf '\xd7\xa2\xd7\x91')"
printf '0123456789' > "$dir/tree/a"
printf '01234' > "$dir/tree/sub/b"
printf '0123456' > "$dir/tree/sub/C.JPG"
printf '012' > "$dir/tree/$(printf '\xd7\xa2\xd7\x91')/d.jpg"

run -o "$(win "$dir/out.json")" "$(win "$dir/tree")" || fail "plain scan"
head -c 5 "$dir/out.json" | grep -qF '[1,2,' || fail "not the export format"
grep -qF "$(printf '\xd7\xa2\xd7\x91')" "$dir/out.json" || fail "the Hebrew name is not UTF-8"
if command -v ncdu >/dev/null; then
  ncdu -f "$dir/out.json" -o "$dir/again.json" || fail "ncdu cannot read it"
  python3 - "$dir/again.json" <<'PY'
import json, sys
def total(node):
    if isinstance(node, list):
        return sum(total(n) for n in node[1:])
    return node.get("asize", 0)
data = json.load(open(sys.argv[1]))
assert total(data[3]) == 25, total(data[3])
print("ncdu reads it: 25 bytes")
PY
fi
if run -c "$(win "$dir/tree")" >/dev/null 2>&1; then fail "-c was accepted"; fi
if run -o "$(win "$dir/missing/x.json")" "$(win "$dir/tree")" 2>/dev/null; then
  fail "an unwritable output passed"
fi
[ ! -e "$dir/missing" ] || fail "something was left behind"

# The largest files and a search, on the tree and on the scan saved above;
# paths come back as Windows writes them, so only their ends are checked.
for input in "$(win "$dir/tree")" "$(win "$dir/out.json")"; do
  run --top 2 "$input" > "$dir/top" || fail "--top on $input"
  [ "$(cut -f1 "$dir/top" | tr '\n' ' ')" = "10 7 " ] || fail "--top on $input: $(cat "$dir/top")"
  grep -q '[\\/]a$' "$dir/top" || fail "--top path on $input: $(cat "$dir/top")"
  run --find '*.jpg' "$input" > "$dir/jpg" || fail "--find on $input"
  [ "$(cut -f1 "$dir/jpg" | tr '\n' ' ')" = "7 3 " ] || fail "--find on $input: $(cat "$dir/jpg")"
  grep -qF "$(printf '\xd7\xa2\xd7\x91')" "$dir/jpg" || fail "--find: the Hebrew folder is not UTF-8"
done
set +e
msg=$(run --find '/a.c/' "$(win "$dir/tree")" 2>&1); status=$?
set -e
[ $status = 2 ] && [[ $msg == *"not available in this build"* ]] || fail "regex: $status $msg"

printf '0123456789' >> "$dir/tree/sub/b"
printf 'abc' > "$dir/tree/$(printf '\xd7\xa2\xd7\x91')/new"
run --compare "$(win "$dir/out.json")" -n 3 "$(win "$dir/tree")" | tr -d '\r' > "$dir/changes"
expected="+13	$(win "$dir/tree")
+10	$(win "$dir/tree/sub")
+10	$(win "$dir/tree/sub/b")"
[ "$(cat "$dir/changes")" = "$expected" ] || fail "--compare: $(cat "$dir/changes")"
echo ok
