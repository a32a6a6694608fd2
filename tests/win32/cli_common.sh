# Sourced by the sizewalk-scan.exe scripts: their arguments, a temporary
# directory removed on exit, and the helpers to name Linux paths as Wine
# sees them, run the program and fail with a message.
here=$(dirname "${BASH_SOURCE[0]}")
prefix=$1
scan=$2
dir=$(mktemp -d)
trap 'rm -rf "$dir"' EXIT
win() { local p=${1//\//\\}; echo "Z:$p"; }
run() { bash "$here/run-under-wine.sh" "$prefix" "$scan" "$@"; }
fail() { echo "FAIL: $*" >&2; exit 1; }
