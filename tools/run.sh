#!/usr/bin/env bash
# The project's run command: installs what is missing, builds everything and
# starts the program under Wine.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/build.sh"
BUILD=${KALMORA_BUILD:-$top/build}
exe=$BUILD/bin/kalmoraTessaro.exe
if [ ! -f "$exe" ]; then
  echo "kalmoraTessaro.exe is not built yet: the program is still to come (see README)" >&2
  exit 1
fi
exec "$top/tools/wine-run" "$exe"
