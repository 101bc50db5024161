#!/usr/bin/env bash
# The project's test command: installs what is missing, builds everything and
# runs every test program under Wine with one warm wineserver.
#
# The run owns what it starts: an Xvfb on a display the server picks itself
# (-displayfd, so a server that already holds :77 or any other display is no
# obstacle) and the wineserver of its prefix.  Both are stopped when the run
# ends, passed, failed or interrupted; nothing of the run stays behind.
# WINEPREFIX may name a prefix of its own (two checkouts testing at once).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/build.sh"
CACHE=${KALMORA_CACHE:-$HOME/.cache/kalmoraTessaro}
BUILD=${KALMORA_BUILD:-$top/build}
export WINEPREFIX=${WINEPREFIX:-$CACHE/wineprefix} WINEDEBUG=-all WINEARCH=win64

xvfb_pid=
cups_started=0
cleanup() {
  wineserver -k 2>/dev/null || true
  [ "$cups_started" = 1 ] && bash "$top/kwi/tests/cups_queue.sh" stop
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
  rm -f "${dfile:-}"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A display for the tests that open real windows.  Xvfb writes the number of
# the display it took to the file given to -displayfd once it accepts clients.
dfile=$(mktemp)
exec 9>"$dfile"
Xvfb -displayfd 9 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 9>&9 &
xvfb_pid=$!
exec 9>&-
for _ in $(seq 200); do [ -s "$dfile" ] && break; kill -0 "$xvfb_pid" 2>/dev/null || break; sleep 0.05; done
n=$(tr -dc '0-9' <"$dfile")
[ -n "$n" ] || { echo "test: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$n

# The PDF print queue of the printing tests: cupsd (unless one runs) and the
# queue start before Wine, which lists the printers when a program starts.
bash "$top/kwi/tests/cups_queue.sh" start || true
cups_started=1

# N: for the folder picker's tests: a folder of the build tree linked into
# the prefix and typed "network", written before the run's wineserver starts.
mkdir -p "$BUILD/netdrive/beta" "$BUILD/netdrive/alpha"
mkdir -p "$WINEPREFIX/dosdevices"
ln -sfn "$BUILD/netdrive" "$WINEPREFIX/dosdevices/n:"
"$top/tools/wine-run" reg add 'HKLM\Software\Wine\Drives' /v n: /d network /f </dev/null >/dev/null 2>&1 || true

# One wineserver for the whole run, started fresh so that its desktop process
# knows this run's display.  Its service processes are started here with their
# output on /dev/null: started by a test, they would hold the test's output
# pipe open and ctest would wait for them.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
wineserver -p 2>/dev/null || true
"$top/tools/wine-run" cmd /c exit </dev/null >/dev/null 2>&1 || true
# The desktop process too: Wine ends it when the last window goes and the
# next test to open one would start it again, holding that test's output.
ready=$(mktemp -u)
"$top/tools/wine-run" "$BUILD/bin/desktop_keeper.exe" "Z:${ready//\//\\}" </dev/null >/dev/null 2>&1 &
for _ in $(seq 200); do [ -e "$ready" ] && break; sleep 0.05; done
rm -f "$ready"

cd "$BUILD"
ctest --output-on-failure -j"$(nproc)" "$@"
