#!/usr/bin/env bash
# sizewalk-scan.exe --types under Wine: the table of a tree with a Hebrew
# name, upper-case and hidden names, the same from its saved scan, as JSON.
#   scan_types_win32_test.sh PREFIX_DIR PATH/TO/sizewalk-scan.exe
set -euo pipefail
# shellcheck source=cli_common.sh
source "$(dirname "$0")/cli_common.sh"
mkdir -p "$dir/tree/$(printf '\xd7\xa2\xd7\x91')"
printf '0123456789' > "$dir/tree/$(printf '\xd7\xa2\xd7\x91')/photo.JPG"
printf '01234' > "$dir/tree/b.jpg"
printf '012' > "$dir/tree/.profile"
printf '0' > "$dir/tree/Makefile"

table=$(run --types "$(win "$dir/tree")" | tr -d '\r') || fail "--types PATH"
grep -Eq '^Images +2 +15 ' <<<"$table" || fail "images: $table"
grep -Eq '^  \.jpg +2 +15 ' <<<"$table" || fail "jpg: $table"
grep -Eq '^  \(hidden\) +1 +3 ' <<<"$table" || fail "hidden: $table"
grep -Eq '^  \(no extension\) +1 +1 ' <<<"$table" || fail "no extension: $table"
run -o "$(win "$dir/scan.json")" "$(win "$dir/tree")" || fail "saving"
[ "$(run --types "$(win "$dir/scan.json")" | tr -d '\r')" = "$table" ] || fail "the saved scan differs"
run --types --json "$(win "$dir/tree")" | python3 -c 'import json,sys; d=json.load(sys.stdin); assert d["files"] == 4, d' \
  || fail "JSON"
echo ok
