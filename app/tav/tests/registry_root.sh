#!/usr/bin/env bash
# Runs the registry test that deletes the current user's root key through
# the class library, in a child on a copy of the Wine prefix (its registry;
# drive C is shared), so that a deletion that got through could not harm the
# prefix the other tests use.  The copy and its wineserver end with the run.
set -euo pipefail
exe=$1
top=$(cd "$(dirname "$0")/../../.." && pwd)
src=${WINEPREFIX:-${KALMORA_CACHE:-$HOME/.cache/kalmoraTessaro}/wineprefix}
copy=$(mktemp -d)
cleanup() {
  WINEPREFIX=$copy wineserver -k 2>/dev/null || true
  rm -rf "$copy"
}
trap cleanup EXIT
cp -a "$src"/*.reg "$src"/dosdevices "$copy"/
cp -a "$src"/.update-timestamp "$copy"/ 2>/dev/null || true
ln -s "$src/drive_c" "$copy/drive_c"
WINEPREFIX=$copy TAV_REGISTRY_ROOT=1 "$top/tools/wine-run" "$exe" --gtest_filter='RegistryRoot.*' \
  --watchdog=120 </dev/null
