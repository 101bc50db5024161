#!/usr/bin/env bash
# Installs what is missing (tools/bootstrap.sh, given this script's
# arguments), configures the build folder and builds everything.  Configuring
# again takes a fraction of a second and finds what an install just added.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/bootstrap.sh" "$@"
CACHE=${KALMORA_CACHE:-$HOME/.cache/kalmoraTessaro}
BUILD=${KALMORA_BUILD:-$top/build}
cmake -S "$top" -B "$BUILD" -G Ninja -DCMAKE_BUILD_TYPE=RelWithDebInfo \
      -DCMAKE_TOOLCHAIN_FILE="$top/cmake/mingw-w64-x86_64.cmake" -DKALMORA_CACHE="$CACHE" >/dev/null
cmake --build "$BUILD"
