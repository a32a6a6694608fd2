#!/usr/bin/env bash
# Makes, from the Linux side, trees that Windows calls under Wine cannot make
# (symbolic links; names that differ only in letter case), runs a Windows test
# program on them under Wine, and removes them.
#   host-trees.sh PREFIX_DIR PROGRAM NAME_ORDER_FILE [gtest options]
# The program gets the trees' root and the name file as Windows paths.
set -euo pipefail
here=$(dirname "$0")
prefix=$1 program=$2 names=$(realpath "$3")
shift 3
root=$(mktemp -d)
trap 'rm -rf "$root"' EXIT

# A loop back to an ancestor, a link to itself, links to a tree outside (by
# relative and by absolute path), a dangling link, a start that is a link,
# and links to files.
links=$root/links
mkdir -p "$links/tree/real" "$links/outside/deeper"
head -c 100 /dev/zero > "$links/tree/a.bin"
head -c 50 /dev/zero > "$links/tree/real/b.bin"
head -c 184600 /dev/zero > "$links/outside/big.bin"
head -c 7 /dev/zero > "$links/outside/deeper/c.bin"
ln -s .. "$links/tree/real/back"
ln -s . "$links/tree/real/self"
ln -s ../outside "$links/tree/far"
ln -s "$links/outside" "$links/tree/far-absolute"
ln -s missing "$links/tree/dangling"
ln -s tree "$links/start-link"
# Links to files, by relative and by absolute path, beside a real file.
mkdir "$links/files"
head -c 100000 /dev/zero > "$links/files/real.bin"
ln -s real.bin "$links/files/relative"
ln -s "$links/outside/big.bin" "$links/files/absolute"

# For the removals: a directory swapped for a link to a tree outside the
# start, a directory holding links to outside, an item that is a link.
acts=$root/actions
mkdir -p "$acts/start/holder" "$acts/outside/sub"
echo victim > "$acts/outside/victim"
echo canary > "$acts/outside/sub/canary"
echo own > "$acts/start/holder/own"
ln -s ../outside "$acts/start/swapped"
ln -s ../../outside "$acts/start/holder/dirlink"
ln -s ../../outside/victim "$acts/start/holder/filelink"
ln -s ../outside/victim "$acts/start/leaflink"

# One empty file for every name of the order file, in one directory.
mkdir "$root/names"
(cd "$root/names" && while IFS= read -r name; do : > "$name"; done < "$names")

windows() { local p=$1; echo "Z:${p//\//\\}"; }
bash "$here/run-under-wine.sh" "$prefix" "$program" "$(windows "$root")" "$(windows "$names")" "$@"
