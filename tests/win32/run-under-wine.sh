#!/usr/bin/env bash
# Runs a Windows test program under Wine in a prefix of its own, so that
# drive C: holds only a fresh Wine installation and the user's home is not
# reachable through it.
#   run-under-wine.sh PREFIX_DIR PROGRAM [ARGS...]
set -euo pipefail
prefix=$(realpath -m "$1")
shift
mkdir -p "$prefix/home"
export WINEPREFIX="$prefix/wine" HOME="$prefix/home" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="  # no Mono/Gecko prompts, no menus
unset DISPLAY || true
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  wineboot -i >/dev/null 2>&1 || true
  wineserver -w
fi
exec wine "$@"
