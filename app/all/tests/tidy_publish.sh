#!/usr/bin/env bash
# Checks every page that the publishing tests kept (a small roster and one of
# hostile names) with tidy: no errors, and only the warnings that the page
# writer's templates cause (no DOCTYPE, elements and attributes that HTML5
# dropped, widths "N %", the practices page's empty heading).
set -uo pipefail
dir=$1
allowed='missing <!DOCTYPE> declaration|element removed from HTML5|attribute "[a-z]+" not allowed for HTML5|attribute "width" has invalid value "[0-9]+ %"|trimming empty <(big|b)>'
status=0
for set in small hostile; do
  pages=("$dir/$set"/*.html "$dir/$set"/.*.html)
  count=0
  for f in "${pages[@]}"; do
    [ -f "$f" ] || continue
    count=$((count + 1))
    out=$(tidy -q -e "$f" 2>&1 | sed -E 's/^line [0-9]+ column [0-9]+ - //')
    if grep -q '^Error:' <<<"$out"; then echo "$f: errors"; echo "$out"; status=1; fi
    extra=$(grep '^Warning:' <<<"$out" | grep -Ev "$allowed")
    if [ -n "$extra" ]; then echo "$f: unexpected warnings"; echo "$extra"; status=1; fi
  done
  [ "$count" -gt 0 ] || { echo "no pages in $dir/$set"; status=1; }
  echo "$set: $count pages checked"
done
exit $status
