#!/usr/bin/env bash
# Builds the Debian package from a finished build and checks what a user's
# apt would see: the file name, the control fields, the files it installs
# and, once the binary is in it, dependencies taken from its libraries.
# Usage: check_package.sh BUILD_DIR WORK_DIR VERSION HAS_BINARY(0|1)
# Exit 77 (skipped) when the Debian tools are not installed.
set -uo pipefail

build_dir=$1 work_dir=$2 version=$3 has_binary=$4

for tool in dpkg-deb dpkg-shlibdeps dpkg; do
  if ! command -v "$tool" >/dev/null; then
    echo "$tool not installed: skipped"
    exit 77
  fi
done

rm -rf "$work_dir"
mkdir -p "$work_dir"
if ! cpack --config "$build_dir/CPackConfig.cmake" -G DEB -B "$work_dir" >"$work_dir/cpack.log" 2>&1; then
  echo "FAIL: cpack failed:"
  cat "$work_dir/cpack.log"
  exit 1
fi

failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

deb_name="sizewalk_${version}_$(dpkg --print-architecture).deb"
deb="$work_dir/$deb_name"
if [ ! -f "$deb" ]; then
  echo "FAIL: expected $deb_name; cpack made:"
  ls "$work_dir"
  exit 1
fi

field() { dpkg-deb -f "$deb" "$1"; }
check_field() {
  local got
  got=$(field "$1")
  [ "$got" = "$2" ] || fail "field $1 is '$got', expected '$2'"
}
check_field Package sizewalk
check_field Version "$version"
check_field Section utils
check_field Priority optional
check_field Architecture "$(dpkg --print-architecture)"
[ -n "$(field Maintainer)" ] || fail "no Maintainer"
[ -z "$(field Homepage)" ] || fail "Homepage set to '$(field Homepage)', the project has none"
description=$(field Description)
[ "$(printf '%s\n' "$description" | wc -l)" -ge 2 ] \
  || fail "Description has no long description: '$description'"

contents=$(dpkg-deb -c "$deb" | awk '{print $NF}')
for path in \
    ./usr/share/applications/sizewalk.desktop \
    ./usr/share/metainfo/io.sizewalk.Sizewalk.metainfo.xml \
    ./usr/share/icons/hicolor/16x16/apps/sizewalk.png \
    ./usr/share/icons/hicolor/32x32/apps/sizewalk.png \
    ./usr/share/icons/hicolor/48x48/apps/sizewalk.png \
    ./usr/share/icons/hicolor/scalable/apps/sizewalk.svg; do
  grep -qxF "$path" <<<"$contents" || fail "package lacks $path"
done

# Files must be world-readable and owned by root, whatever the umask of
# the build machine was.
while read -r mode owner _ _ _ path; do
  case $mode in
    -r?-r--r--* | -r?xr-xr-x* | dr?xr-xr-x*) ;;
    *) fail "$path has mode $mode" ;;
  esac
  [ "$owner" = root/root ] || fail "$path is owned by $owner"
done < <(dpkg-deb -c "$deb")

if [ "$has_binary" = 1 ]; then
  grep -qxF ./usr/bin/sizewalk <<<"$contents" || fail "package lacks ./usr/bin/sizewalk"
  grep -qxF ./usr/bin/sizewalk-scan <<<"$contents" || fail "package lacks ./usr/bin/sizewalk-scan"
  depends=$(field Depends)
  # dpkg-shlibdeps names at least the C library and Qt's widgets.
  grep -q 'libc6' <<<"$depends" || fail "Depends lacks libc6: '$depends'"
  grep -qi 'libqt6widgets' <<<"$depends" || fail "Depends lacks Qt widgets: '$depends'"
  grep -qi 'libzstd' <<<"$depends" || fail "Depends lacks zstd: '$depends'"
fi

if [ "$failures" -ne 0 ]; then
  echo "$failures problem(s) in $deb_name"
  dpkg-deb -I "$deb"
  exit 1
fi
echo "$deb_name: fields, contents and permissions as expected"
rm -rf "$work_dir"
