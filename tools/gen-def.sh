#!/usr/bin/env bash
# Writes a module's .def file from its compiled objects: every function and
# variable defined in the module's public namespaces, decorated as the C++
# compiler decorates them.
#   tools/gen-def.sh OUT.def DLLNAME 'PREFIX1|PREFIX2' OBJECT...
set -euo pipefail
out=$1; dll=$2; pattern=$3; shift 3
{
  echo "; Exports of $dll, generated from its objects: the documented names."
  echo "LIBRARY $dll"
  echo "EXPORTS"
  x86_64-w64-mingw32-nm -g --defined-only "$@" |
    awk '$2 ~ /^[TDRB]$/ {print $3}' | grep -E "^($pattern)" | grep -v '6detail' |
    sort -u | sed 's/^/  /'
} > "$out.tmp"
# Touch the file only when it changes, so the DLL relinks only then.
if cmp -s "$out.tmp" "$out"; then rm "$out.tmp"; else mv "$out.tmp" "$out"; fi
