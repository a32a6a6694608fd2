#!/usr/bin/env bash
# Runs a Windows program under Wine in a prefix of its own, so that drive C:
# holds only a fresh Wine installation and the user's home is not reachable
# through it.
#   run-under-wine.sh PREFIX_DIR --init           make the prefix, run nothing
#   run-under-wine.sh PREFIX_DIR PROGRAM [ARGS...]
# The display is whatever DISPLAY says; without one, windows cannot be made.
set -euo pipefail
prefix=$(realpath -m "$1")
shift
mkdir -p "$prefix/home"
export WINEPREFIX="$prefix/wine" HOME="$prefix/home" WINEDEBUG=-all
export WINEDLLOVERRIDES="mscoree,mshtml,winemenubuilder.exe="  # no Mono/Gecko prompts, no menus
if [ ! -f "$WINEPREFIX/system.reg" ]; then
  # Made with no display, so no setup window can wait for a click.
  env -u DISPLAY wineboot -i >/dev/null 2>&1 || true
  env -u DISPLAY wineserver -w
  [ -f "$WINEPREFIX/system.reg" ] || { echo "could not make the Wine prefix $WINEPREFIX" >&2; exit 1; }
fi
[ "${1:-}" = --init ] && exit 0
status=0
wine "$@" || status=$?
# Wait until every process of the prefix has gone (Wine's desktop process
# included), so that the next test starts clean on its own display.
wineserver -w
exit "$status"
