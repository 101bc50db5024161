#!/usr/bin/env bash
# The project's run command: builds everything and starts the program under
# Wine on the display named by DISPLAY (an X server must be running there).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
if [ -z "${DISPLAY:-}" ]; then
  echo "run: DISPLAY is not set: start an X server (e.g. Xvfb :77) and set DISPLAY to it" >&2
  exit 1
fi
"$top/tools/build.sh"
BUILD=${KALMORA_BUILD:-$top/build}
exec "$top/tools/wine-run" "$BUILD/bin/kalmoraTessaro.exe"
