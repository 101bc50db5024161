#!/usr/bin/env bash
# Checks that a built DLL exports exactly the names of its .def file and that
# each of them stands in the module's export list; lists the documented names
# the module does not define (yet).
#   tools/check-exports.sh DLL DEF EXPORT-LIST
set -euo pipefail
dll=$1; def=$2; list=$3
exported=$(x86_64-w64-mingw32-objdump -p "$dll" |
  sed -n '/\[Ordinal\/Name Pointer\] Table/,/^$/p' | awk 'NR > 1 && NF {print $NF}' | sort -u)
pinned=$(awk 'f && NF {print $1} /^EXPORTS/ {f = 1}' "$def" | sort -u)
status=0
extra=$(comm -23 <(echo "$exported") <(echo "$pinned"))
if [ -n "$extra" ]; then
  echo "$(basename "$dll") exports names its .def does not pin:"
  echo "$extra" | x86_64-w64-mingw32-c++filt | sed 's/^/  /'
  status=1
fi
missing=$(comm -13 <(echo "$exported") <(echo "$pinned"))
if [ -n "$missing" ]; then
  echo "$(basename "$dll") lacks names of its .def:"
  echo "$missing" | x86_64-w64-mingw32-c++filt | sed 's/^/  /'
  status=1
fi
names=$(echo "$exported" | x86_64-w64-mingw32-c++filt | sed 's/(.*//' | sort -u)
documented=$(grep -v '^#' "$list" | sed '/^$/d' | sort -u)
undocumented=$(comm -23 <(echo "$names") <(echo "$documented"))
if [ -n "$undocumented" ]; then
  echo "$(basename "$dll") exports names outside its export list:"
  echo "$undocumented" | sed 's/^/  /'
  status=1
fi
absent=$(comm -13 <(echo "$names") <(echo "$documented") | wc -l)
echo "$(basename "$dll"): $(echo "$exported" | wc -l) exports, all in its list; $absent listed names not defined by the module"
exit $status
