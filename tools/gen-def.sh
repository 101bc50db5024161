#!/usr/bin/env bash
# Regenerates a module's .def file from its compiled objects: every defined
# function and variable in the module's public namespaces.
#   tools/gen-def.sh BUILD_OBJDIR DLLNAME NAMESPACE_PREFIX... > module.def
set -euo pipefail
objdir=$1; dll=$2; shift 2
echo "; Exports of $dll: the documented names, as the C++ compiler decorates them."
echo "LIBRARY $dll"
echo "EXPORTS"
pattern=$(printf '%s|' "$@"); pattern=${pattern%|}
find "$objdir" -name '*.obj' -print0 | xargs -0 x86_64-w64-mingw32-nm -g --defined-only |
  awk '$2 ~ /^[TDRB]$/ {print $3}' | grep -E "^($pattern)" | grep -v '6detail' | sort -u | sed 's/^/  /'
