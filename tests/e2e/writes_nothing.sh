#!/usr/bin/env bash
# End-to-end proof that Sizewalk writes nothing, driving the real window.
#
# Usage: writes_nothing.sh BINARY [START_DIR]
#
# 1. Starts BINARY on a private Xvfb display with HOME, TMPDIR and every
#    XDG_* directory inside an empty scratch folder, types a start directory
#    (START_DIR, or a small tree made here), presses Enter, ticks Show Files,
#    presses Enter again and then Escape. The process must end and the
#    scratch folder must hold nothing new. Caches of the libraries below Qt
#    (fontconfig, Mesa) are pointed at a folder outside it: they are real
#    writes, but not ours.
# 2. Starts a copy of BINARY named "renamed-walk", types a directory that
#    does not exist and presses Enter: the message box must carry the
#    caption "renamed-walk".
# 3. Starts BINARY on a large tree (SIZEWALK_E2E_LARGE_DIR, default "/", the
#    dialog's own default) and presses Enter. Once the window shows the scan
#    running, Escape must stop it and leave the window open and as it was
#    before the press; a second Escape must then end the program. Nothing
#    may be written.
#
# SIZEWALK_E2E_TIMEOUT sets the seconds to wait for a window or an exit
# (default 20).
#
# Exit 0 when all hold, 1 with a message saying what failed, 77 when Xvfb
# or xdotool is missing (a skip for CTest's SKIP_RETURN_CODE).
set -uo pipefail

readonly TIMEOUT=${SIZEWALK_E2E_TIMEOUT:-20}

# SIZEWALK_E2E_SCREENSHOT=FILE.png keeps a picture of the screen on failure.
die() {
  echo "FAIL: $*" >&2
  if [ -n "${SIZEWALK_E2E_SCREENSHOT:-}" ] && [ -n "${DISPLAY:-}" ] && command -v import >/dev/null; then
    import -display "$DISPLAY" -window root "$SIZEWALK_E2E_SCREENSHOT" 2>/dev/null \
      && echo "screen saved to $SIZEWALK_E2E_SCREENSHOT" >&2
  fi
  exit 1
}

[ $# -ge 1 ] && [ $# -le 2 ] || { echo "usage: $0 BINARY [START_DIR]" >&2; exit 2; }
large_dir=${SIZEWALK_E2E_LARGE_DIR:-/}
binary=$(realpath -e -- "$1" 2>/dev/null) || die "no such binary: $1"
[ -x "$binary" ] || die "not executable: $binary"
for tool in Xvfb xdotool import compare; do
  command -v "$tool" >/dev/null || { echo "SKIP: $tool is not installed"; exit 77; }
done

root=$(mktemp -d "${TMPDIR:-/tmp}/sizewalk-e2e.XXXXXX") || die "cannot make a scratch folder"
outside=$root/outside     # what may be written: library caches, our own files
sandbox=$root/home        # what must stay as it is
xvfb_pid="" app_pid=""

cleanup() {
  [ -n "$app_pid" ] && kill "$app_pid" 2>/dev/null
  [ -n "$xvfb_pid" ] && kill "$xvfb_pid" 2>/dev/null
  wait 2>/dev/null
  rm -rf "$root"
}
trap cleanup EXIT

mkdir -p "$outside/fontconfig" "$outside/mesa" "$outside/bin" "$sandbox"
# The directories a program may be told to use. They exist (a runtime
# directory must, with mode 0700) and stay empty.
sandbox_dirs=(config cache data state runtime tmp config-dirs data-dirs)
for d in "${sandbox_dirs[@]}"; do mkdir -p "$sandbox/$d"; done
chmod 0700 "$sandbox/runtime"

# fontconfig writes its cache to the first writable cachedir: ours comes
# before the system's configuration.
cat >"$outside/fonts.conf" <<EOF
<?xml version="1.0"?>
<!DOCTYPE fontconfig SYSTEM "urn:fontconfig:fonts.dtd">
<fontconfig>
  <cachedir>$outside/fontconfig</cachedir>
  <include ignore_missing="yes">/etc/fonts/fonts.conf</include>
</fontconfig>
EOF

# A small real tree to scan, with a name that needs care when typed.
start_dir=${2:-$outside/walk}
if [ $# -lt 2 ]; then
  mkdir -p "$start_dir/sub one/deeper" "$start_dir/second"
  head -c 5000 /dev/zero >"$start_dir/sub one/a.bin"
  head -c 300000 /dev/zero >"$start_dir/sub one/deeper/b.bin"
  head -c 70 /dev/zero >"$start_dir/second/c.txt"
fi
[ -d "$start_dir" ] || die "start directory does not exist: $start_dir"

# A private display; Xvfb picks a free number and tells us through fd 3.
# -noreset: the display must survive the first program closing.
exec 3>"$outside/display"
Xvfb -displayfd 3 -screen 0 1024x768x24 -nolisten tcp -noreset >"$outside/xvfb.log" 2>&1 &
xvfb_pid=$!
exec 3>&-
for _ in $(seq 100); do
  [ -s "$outside/display" ] && break
  kill -0 "$xvfb_pid" 2>/dev/null || die "Xvfb did not start: $(cat "$outside/xvfb.log")"
  sleep 0.1
done
[ -s "$outside/display" ] || die "Xvfb gave no display number"
export DISPLAY=":$(head -n1 "$outside/display")"

# Starts a program in the clean environment; sets app_pid.
start() {
  env -i \
    PATH="/usr/bin:/bin" LANG=C.UTF-8 DISPLAY="$DISPLAY" \
    HOME="$sandbox" TMPDIR="$sandbox/tmp" \
    XDG_CONFIG_HOME="$sandbox/config" XDG_CACHE_HOME="$sandbox/cache" \
    XDG_DATA_HOME="$sandbox/data" XDG_STATE_HOME="$sandbox/state" \
    XDG_RUNTIME_DIR="$sandbox/runtime" \
    XDG_CONFIG_DIRS="$sandbox/config-dirs" XDG_DATA_DIRS="$sandbox/data-dirs" \
    FONTCONFIG_FILE="$outside/fonts.conf" \
    MESA_SHADER_CACHE_DIR="$outside/mesa" MESA_GLSL_CACHE_DIR="$outside/mesa" \
    DBUS_SESSION_BUS_ADDRESS="disabled:" \
    "$@" >"$outside/app.log" 2>&1 &
  app_pid=$!
}

# Prints the id of the visible window of app_pid whose caption matches
# the extended regular expression $1 (xdotool ignores case), waiting up to
# TIMEOUT seconds.
wait_window() {
  local deadline=$((SECONDS + TIMEOUT)) ids
  while [ $SECONDS -lt $deadline ]; do
    kill -0 "$app_pid" 2>/dev/null || return 1
    ids=$(xdotool search --all --onlyvisible --pid "$app_pid" --name "$1" 2>/dev/null)
    if [ -n "$ids" ]; then
      head -n1 <<<"$ids"
      return 0
    fi
    sleep 0.2
  done
  return 1
}

# The visible top-level windows of app_pid, one id a line.
visible_windows() {
  xdotool search --onlyvisible --pid "$app_pid" 2>/dev/null
}

# Waits up to TIMEOUT seconds until app_pid shows exactly $1 visible windows.
wait_window_count() {
  local deadline=$((SECONDS + TIMEOUT))
  while [ $SECONDS -lt $deadline ]; do
    [ "$(visible_windows | wc -l)" -eq "$1" ] && return 0
    sleep 0.2
  done
  return 1
}

# Exact caption of a window.
caption() {
  xdotool getwindowname "$1" 2>/dev/null
}

# Waits for app_pid to end; fails after TIMEOUT seconds.
wait_exit() {
  local deadline=$((SECONDS + TIMEOUT))
  while kill -0 "$app_pid" 2>/dev/null; do
    [ $SECONDS -lt $deadline ] || die "$1 still running ${TIMEOUT}s after Escape"
    sleep 0.2
  done
  local status=0
  wait "$app_pid" 2>/dev/null || status=$?
  app_pid=""
  # The exit status means nothing, but a signal is a crash.
  [ "$status" -lt 128 ] || die "$1 ended by signal $((status - 128))"
}

# Focus moves OK -> Cancel -> tree -> start directory box; the dialog opens
# with OK focused. Replaces the box's text with $1.
type_start_dir() {
  xdotool key --delay 50 Tab Tab Tab ctrl+a
  xdotool type --delay 20 -- "$1"
}

# Puts the keyboard focus on the dialog; there is no window manager.
focus() {
  xdotool windowfocus --sync "$1" 2>/dev/null || xdotool windowfocus "$1"
  sleep 0.3
}

# Fails unless the sandbox holds exactly the empty directories made above.
check_nothing_written() {
  local leftovers expected
  leftovers=$(cd "$sandbox" && find . -mindepth 1 | sort)
  expected=$(for d in "${sandbox_dirs[@]}"; do echo "./$d"; done | sort)
  [ "$leftovers" = "$expected" ] && return 0
  echo "FAIL: $1 wrote into its home, temporary or XDG directories:" >&2
  comm -13 <(echo "$expected") <(echo "$leftovers") | while read -r path; do
    ls -ld -- "$sandbox/${path#./}" >&2
  done
  comm -23 <(echo "$expected") <(echo "$leftovers") | sed 's/^/  removed: /' >&2
  exit 1
}

show_log() {
  [ -s "$outside/app.log" ] && { echo "program output:"; cat "$outside/app.log"; } >&2
}

# --- 1: a scan, a second press with another unit, Escape; nothing written --
start "$binary"
dialog=$(wait_window '^Sizewalk$') || { show_log; die "no window captioned \"Sizewalk\" within ${TIMEOUT}s"; }
[ "$(caption "$dialog")" = Sizewalk ] || die "main window caption is \"$(caption "$dialog")\", expected \"Sizewalk\""
focus "$dialog"

type_start_dir "$start_dir"
xdotool key Return
sleep 1
# A valid directory brings no message box: the window stays the only one.
windows=$(visible_windows | wc -l)
[ "$windows" -eq 1 ] || die "after typing \"$start_dir\" and Enter, $windows windows are open (a message box?)"

# From the start directory box: Show Files, ticked with Space (the units
# take no tab stop). Enter presses OK from there.
xdotool key --delay 50 Tab space Return
sleep 1
windows=$(visible_windows | wc -l)
[ "$windows" -eq 1 ] || die "after ticking Show Files and Enter, $windows windows are open"

xdotool key Escape
wait_exit "$(basename "$binary")"

check_nothing_written "$(basename "$binary")"
echo "ok: scanned $start_dir twice, closed with Escape, wrote nothing"

# --- 2: a renamed copy names its message box after itself -------------------
cp -- "$binary" "$outside/bin/renamed-walk"
start "$outside/bin/renamed-walk"
dialog=$(wait_window '^Sizewalk$') || { show_log; die "renamed copy: no window captioned \"Sizewalk\""; }
focus "$dialog"
type_start_dir "$outside/no such directory"
xdotool key Return
box=$(wait_window '^renamed-walk$') || {
  found=$(visible_windows | while read -r w; do printf ' "%s"' "$(caption "$w")"; done)
  die "renamed copy: no message box captioned \"renamed-walk\"; open windows:$found"
}
[ "$(caption "$box")" = renamed-walk ] || die "message box caption is \"$(caption "$box")\""
# OK closes the box, Escape the dialog.
xdotool key Return
wait_window_count 1 || die "renamed copy: the message box did not close on Enter"
xdotool key Escape
wait_exit renamed-walk
check_nothing_written renamed-walk
echo "ok: a copy named renamed-walk captions its message box \"renamed-walk\""

# --- 3: Escape stops a running scan; a second Escape closes ----------------
# Pixels that differ between two pictures of a window.
snap() {
  import -window "$1" "$2" 2>/dev/null || die "cannot take a picture of the window"
}
differing() {
  compare -metric AE "$1" "$2" null: 2>&1 | cut -d' ' -f1
}
# Escape while the scan runs. A warm scan of the whole disk may take well
# under a second, less than a picture of the window takes, so the press is
# timed rather than watched: Escape follows Return after a short delay, and
# the program must still be there. Pressed too early (before the scan began)
# or too late (after the tree filled), Escape closes the window as it
# should; then the next try waits longer, or shorter. Only a program still
# open after Escape shows that a scan was stopped, and every try may end
# the program only by Escape, never by a crash.
stopped=""
for delay in 0.15 0.05 0.3 0.6 0.02; do
  start "$binary"
  dialog=$(wait_window '^Sizewalk$') || { show_log; die "no window captioned \"Sizewalk\" for the large scan"; }
  focus "$dialog"
  type_start_dir "$large_dir"
  sleep 0.5
  snap "$dialog" "$outside/idle.png"
  xdotool key Return
  sleep "$delay"
  xdotool key Escape
  sleep 1
  if kill -0 "$app_pid" 2>/dev/null; then stopped=1; break; fi
  wait "$app_pid"; status=$?
  app_pid=""
  [ "$status" -lt 128 ] || { show_log; die "the scan of $large_dir ended the program with status $status"; }
done
[ -n "$stopped" ] || die "Escape during the scan of $large_dir ended the program, whenever it was pressed"
read -r width height < <(identify -format '%w %h' "$outside/idle.png")
[ "$(visible_windows | wc -l)" -eq 1 ] || die "after Escape during the scan, the window count is not 1"
snap "$dialog" "$outside/stopped.png"
# As before the press, but for the edit box's blinking caret and the band
# above the tree, which now says that the scan was stopped.
band="rectangle $((10 * width / 264)),$((32 * height / 209)) $((190 * width / 264)),$((52 * height / 209))"
convert "$outside/idle.png" -fill black -draw "$band" "$outside/idle-outside-band.png"
convert "$outside/stopped.png" -fill black -draw "$band" "$outside/stopped-outside-band.png"
[ "$(differing "$outside/idle.png" "$outside/stopped.png")" -gt 20 ] || die "after Escape the band does not say that the scan stopped"
changed=$(differing "$outside/idle-outside-band.png" "$outside/stopped-outside-band.png")
[ "$changed" -lt 100 ] || {
  cp "$outside/stopped.png" "${SIZEWALK_E2E_SCREENSHOT:-/dev/null}" 2>/dev/null
  die "after Escape the window is not as before the press ($changed pixels differ)"
}
xdotool key Escape
wait_exit "$(basename "$binary")"
check_nothing_written "$(basename "$binary")"
echo "ok: Escape stopped the scan of $large_dir and left the window idle; a second Escape closed it"
