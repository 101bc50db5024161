#!/usr/bin/env bash
# The project's test command: installs what is missing, builds everything and
# runs every test program under Wine with one warm wineserver.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/build.sh"
CACHE=${KALMORA_CACHE:-$HOME/.cache/kalmoraTessaro}
BUILD=${KALMORA_BUILD:-$top/build}
export WINEPREFIX=$CACHE/wineprefix WINEDEBUG=-all WINEARCH=win64

# A display for the tests that open real windows.
# A socket or lock left by a server that is gone (a stopped session, a machine
# image) is removed; then the server is started and awaited.
export DISPLAY=${KALMORA_DISPLAY:-:77}
n=${DISPLAY#:}
lock=/tmp/.X$n-lock
xvfb_alive() {  # the lock's process is a live (not zombie) Xvfb
  local pid; pid=$(tr -d ' \n' <"$lock" 2>/dev/null) || return 1
  [ -n "$pid" ] && grep -qa Xvfb "/proc/$pid/cmdline" 2>/dev/null &&
    ! grep -q '^[^)]*) Z' "/proc/$pid/stat" 2>/dev/null
}
if ! xvfb_alive; then
  rm -f "$lock" "/tmp/.X11-unix/X$n"
  wineserver -k 2>/dev/null || true  # its desktop process knew the old display
  Xvfb "$DISPLAY" -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 &
  for _ in $(seq 100); do [ -S "/tmp/.X11-unix/X$n" ] && break; sleep 0.1; done
  [ -S "/tmp/.X11-unix/X$n" ] || { echo "test: Xvfb did not start on $DISPLAY" >&2; exit 1; }
fi
# One warm wineserver for the whole run, started after the build so that it
# does not time out during it.  Its service processes are started
# here with their output on /dev/null: started by a test, they would hold the
# test's output pipe open and ctest would wait for them.
wineserver -p60 2>/dev/null || true  # already running: keep that one
"$top/tools/wine-run" cmd /c exit </dev/null >/dev/null 2>&1 || true

cd "$BUILD"
ctest --output-on-failure -j"$(nproc)" "$@"
