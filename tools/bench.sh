#!/usr/bin/env bash
# Builds the benchmarks (installing what they compare with) and runs each one.
#
# Like the test command, the run owns an Xvfb on a display the server picks
# itself (-displayfd) and the wineserver of its prefix, and stops both when it
# ends, however it ends.  A benchmark that fails (one that cannot make its
# window among them) is named, the others still run, and the command ends
# non-zero.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/build.sh" bench
CACHE=${KALMORA_CACHE:-$HOME/.cache/kalmoraTessaro}
BUILD=${KALMORA_BUILD:-$top/build}
export WINEPREFIX=${WINEPREFIX:-$CACHE/wineprefix} WINEDEBUG=-all WINEARCH=win64

xvfb_pid=
dfile=$(mktemp)
cleanup() {
  wineserver -k 2>/dev/null || true
  if [ -n "$xvfb_pid" ]; then kill "$xvfb_pid" 2>/dev/null || true; wait "$xvfb_pid" 2>/dev/null || true; fi
  rm -f "$dfile"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

exec 9>"$dfile"
Xvfb -displayfd 9 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 9>&9 &
xvfb_pid=$!
exec 9>&-
for _ in $(seq 200); do [ -s "$dfile" ] && break; kill -0 "$xvfb_pid" 2>/dev/null || break; sleep 0.05; done
n=$(tr -dc '0-9' <"$dfile")
[ -n "$n" ] || { echo "bench: Xvfb did not start" >&2; exit 1; }
export DISPLAY=:$n

# A fresh wineserver that knows this display, kept for the whole run; Wine's
# service processes started here, their output on /dev/null.
wineserver -k 2>/dev/null || true
wineserver -w 2>/dev/null || true
wineserver -p 2>/dev/null || true
"$top/tools/wine-run" cmd /c exit </dev/null >/dev/null 2>&1 || true

status=0
for b in "$BUILD"/bin/bench_*.exe; do
  "$top/tools/wine-run" "$b" || { echo "bench: $(basename "$b") failed" >&2; status=1; }
done
exit "$status"
