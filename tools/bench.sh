#!/usr/bin/env bash
# Builds the benchmarks (installing what they compare with) and runs each one.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/build.sh" bench
BUILD=${KALMORA_BUILD:-$top/build}
for b in "$BUILD"/bin/bench_*.exe; do "$top/tools/wine-run" "$b"; done
wineserver -k 2>/dev/null || true
