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

. "$top/tools/session.sh"
trap session_stop EXIT
trap 'exit 130' INT TERM
session_display bench
session_wineserver

status=0
for b in "$BUILD"/bin/bench_*.exe; do
  "$top/tools/wine-run" "$b" || { echo "bench: $(basename "$b") failed" >&2; status=1; }
done
exit "$status"
