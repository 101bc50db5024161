#!/usr/bin/env bash
# Writes a module's .def file from its compiled objects: every function and
# variable the objects define whose qualified name (without its parameter
# list) stands in the module's export list, decorated as the C++ compiler
# decorates it.  Nothing else is exported: helpers stay inside the DLL.
#   tools/gen-def.sh OUT.def DLLNAME EXPORT-LIST OBJECT...
set -euo pipefail
out=$1; dll=$2; list=$3; shift 3
syms=$(mktemp)
trap 'rm -f "$syms"' EXIT
x86_64-w64-mingw32-nm -g --defined-only "$@" | awk '$2 ~ /^[TDRB]$/ {print $3}' | sort -u > "$syms"
{
  echo "; Exports of $dll, generated from its objects: the documented names."
  echo "LIBRARY $dll"
  echo "EXPORTS"
  x86_64-w64-mingw32-c++filt < "$syms" | paste "$syms" - |
    awk -F'\t' 'NR == FNR { if ($0 !~ /^#/ && NF) want[$0] = 1; next }
                { q = $2; sub(/\(.*/, "", q); if (q in want) print "  " $1 }' "$list" -
} > "$out.tmp"
# Touch the file only when it changes, so the DLL relinks only then.
if cmp -s "$out.tmp" "$out"; then rm "$out.tmp"; else mv "$out.tmp" "$out"; fi
