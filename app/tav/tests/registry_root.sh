#!/usr/bin/env bash
# Runs the registry test that deletes the current user's root key through
# the class library, in a child on a copy of the Wine prefix (its registry;
# drive C is shared), so that a deletion that got through could not harm the
# prefix the other tests use.  The copy and its wineserver end with the run.
set -euo pipefail
exe=$1
top=$(cd "$(dirname "$0")/../../.." && pwd)
source "$top/tools/prefix-copy.sh"
WINEPREFIX=$copy TAV_REGISTRY_ROOT=1 "$top/tools/wine-run" "$exe" --gtest_filter='RegistryRoot.*' \
  --watchdog=120 </dev/null
