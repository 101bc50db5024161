#!/usr/bin/env bash
# Runs the volume tests on a copy of the Wine prefix (its registry and drive
# links; drive C is shared) with two more drive letters: R: a folder the
# registry calls a CD drive, S: a plain folder whose label is written.  The
# drive types are read when the wineserver starts, so the registry is set
# first; the copy and its wineserver end with the run.
set -euo pipefail
exe=$1
top=$(cd "$(dirname "$0")/../../.." && pwd)
source "$top/tools/prefix-copy.sh"
mkdir -p "$copy/cd" "$copy/labelled"
rm -f "$copy/dosdevices/r:" "$copy/dosdevices/s:" "$copy/dosdevices/q:"
ln -s "$copy/cd" "$copy/dosdevices/r:"
ln -s "$copy/labelled" "$copy/dosdevices/s:"
export WINEPREFIX=$copy WINEDEBUG=-all
wine reg add 'HKLM\Software\Wine\Drives' /v 'r:' /t REG_SZ /d cdrom /f >/dev/null
wineserver -w
TAV_VOLUMES=1 "$top/tools/wine-run" "$exe" --gtest_filter='Volumes.*' --watchdog=120 </dev/null
test "$(cat "$copy/labelled/.windows-label" 2>/dev/null)" = "TAVLABEL" || {
  echo "S: label file: '$(cat "$copy/labelled/.windows-label" 2>/dev/null)'"; exit 1; }
