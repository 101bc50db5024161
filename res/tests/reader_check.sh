#!/usr/bin/env bash
# The reader over files made by independent tools: windres and llvm-rc
# compile one script to .res files, ld and lld-link link it into a PE32+ and
# a PE32 DLL, icotool makes the icon and cursor; a DLL of 2,000 string blocks
# puts resources past 64 KiB of the section.  The Wine program checks what
# the reader gives back; here its listings of the DLLs are compared with
# wrestool's; then damaged copies go through every getter.
#   reader_check.sh TOP SAMPLE-EXE
set -euo pipefail
top=$1; exe=$2
here=$(cd "$(dirname "$0")" && pwd)
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
fail() { echo "reader_check: $*" >&2; exit 1; }
cd "$work"
python3 "$here/fixtures/make_images.py" .
icotool -c -o a.ico -b 4 i16.png -b 1 i32.png
icotool -c --cursor -X 3 -Y 4 -b 1 -o a.cur i32.png
icotool -c -b 4 -o one4.ico i16.png
icotool -c -b 1 -o one1.ico i16.png
icotool -c -b 4 -o one32.ico i32.png
cp "$here/fixtures/sample.rc" .
x86_64-w64-mingw32-windres -O res -i sample.rc -o windres.res
llvm-rc /FO llvmrc.res sample.rc
x86_64-w64-mingw32-windres -O coff -i sample.rc -o pe64.o
x86_64-w64-mingw32-ld -m i386pep --dll --no-insert-timestamp -e 0 -o pe64.dll pe64.o
x86_64-w64-mingw32-windres -F pe-i386 -O coff -i sample.rc -o pe32.o
lld-link /machine:x86 /safeseh:no /noentry /dll /out:pe32.dll pe32.o >/dev/null
{ echo "STRINGTABLE"; echo "BEGIN"; for i in $(seq 0 1999); do echo "  $((16 * i)), \"block $((i + 1))\""; done; echo "END"; } > many.rc
x86_64-w64-mingw32-windres -O coff -i many.rc -o many.o
x86_64-w64-mingw32-ld -m i386pep --dll --no-insert-timestamp -e 0 -o many.dll many.o

RES_FIXTURES="Z:${work//\//\\}" "$top/tools/wine-run" "$exe" --watchdog=120 --gtest_filter='ReaderFixtures.*' </dev/null

# The reader's listing of each DLL ("type name" lines, groups and named
# types left out) against wrestool's and llvm-readobj's.
for dll in pe64.dll pe32.dll; do
  [ -s "$dll.listing" ] || fail "no listing of $dll"
  tr -d '\r' < "$dll.listing" | sort > "$dll.got"
  wrestool -l "$dll" | sed -n "s/^--type=\([0-9]*\) --name='\{0,1\}\([^' ]*\)'\{0,1\} .*/\1 \2/p" |
    awk '$1 != 12 && $1 != 14' | sort > "$dll.wrestool"
  diff "$dll.wrestool" "$dll.got" || fail "the reader lists $dll unlike wrestool"
  llvm-readobj --coff-resources "$dll" |
    awk '/^  Type: /  { t = ""; if (match($0, /\(ID [0-9]+\)/)) t = substr($0, RSTART + 4, RLENGTH - 5) }
         /^    Name: / { if (t == "" || t == 12 || t == 14) next
                         if (match($0, /\(ID [0-9]+\)/)) n = substr($0, RSTART + 4, RLENGTH - 5); else n = $2
                         print t " " n }' | sort > "$dll.readobj"
  diff "$dll.readobj" "$dll.got" || fail "the reader lists $dll unlike llvm-readobj"
  echo "$dll: $(wc -l < "$dll.got") resources listed as wrestool and llvm-readobj list them"
done

# The editor's files as icotool reads them.
for f in one4.ico one1.ico one32.ico a.cur; do
  [ -s "edited-$f" ] || fail "the editor wrote no edited-$f"
  [ "$(icotool -l "edited-$f")" = "$(icotool -l "$f")" ] || fail "icotool lists edited-$f unlike $f"
  mkdir -p "x-$f"
  icotool -x -o "x-$f" "edited-$f" && [ -n "$(ls "x-$f")" ] || fail "icotool cannot extract edited-$f"
done
echo "icotool reads the editor's icons and cursor"

# The same files cut and changed.
RES_FIXTURES="Z:${work//\//\\}" "$top/tools/wine-run" "$exe" --watchdog=500 --gtest_filter='ReaderFuzz.*' </dev/null
