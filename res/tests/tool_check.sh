#!/usr/bin/env bash
# The written resource file read by independent tools: the Wine program
# writes it, windres decompiles it, llvm-cvtres and ld link it into a DLL,
# wrestool lists that DLL, and the system's loaders in Wine read it back.
#   tool_check.sh TOP SAMPLE-EXE
set -euo pipefail
top=$1; exe=$2
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
export RES_SAMPLE_DIR="Z:${work//\//\\}"
run() { "$top/tools/wine-run" "$exe" --watchdog=120 --gtest_filter="$1" </dev/null; }
fail() { echo "tool_check: $*" >&2; exit 1; }

run 'Sample.Write'
[ -s "$work/sample.res" ] || fail "no sample.res written"

x86_64-w64-mingw32-windres -J res -O rc -i "$work/sample.res" -o "$work/sample.rc" || fail "windres cannot read the file"
rc=$(iconv -f UTF-8 -t UTF-8 "$work/sample.rc" 2>/dev/null || cat "$work/sample.rc")
for want in STRINGTABLE '"First"' '"Seventeen"' MENU '"&File"' MENUITEM ACCELERATORS VERSIONINFO \
            '"ProductName"' '"Roster"' DIALOG '"Duties"' 'FONT 8' '"OK"' ICON CURSOR BITMAP TYPELIB; do
  grep -q -- "$want" <<<"$rc" || fail "windres output lacks $want"
done
echo "windres: $(grep -c '' <<<"$rc") lines of script"

llvm-cvtres /machine:x64 /out:"$work/sample.obj" "$work/sample.res" >/dev/null || fail "llvm-cvtres refused the file"
x86_64-w64-mingw32-ld -m i386pep --dll --no-insert-timestamp -e 0 -o "$work/sample.dll" "$work/sample.obj" ||
  fail "ld cannot link the object"

listing=$(wrestool -l "$work/sample.dll")
echo "$listing"
for want in "--type=1 --name=1" "--type=2 --name=600" "--type=3 --name=1" "--type=3 --name=2" "--type=4 --name=100" \
            "--type=5 --name=300" "--type=6 --name=1" "--type=6 --name=2" "--type=6 --name=19" "--type=9 --name=200" \
            "--type=12 --name=500" "--type=14 --name=400" "--type=16 --name=1" "--type='TYPELIB' --name=1"; do
  grep -q -- "$want" <<<"$listing" || fail "wrestool does not list $want"
done

run 'Loaded.*:Cursor.*'
