#!/usr/bin/env bash
# Checks the pages that the page tests wrote with tidy: no errors, and only
# warnings that the page templates themselves cause (no DOCTYPE, elements and
# attributes that HTML5 dropped, widths "N %", empty TARGET).  Hostile names
# give the same report as plain ones.  Also allowed: the empty heading of the
# practices page; link addresses holding names as they are (blanks, letters
# beyond ASCII: the published file names); the backslashes of the table of
# contents' relative paths.
set -uo pipefail
dir=$1
allowed='missing <!DOCTYPE> declaration|element removed from HTML5|attribute "[a-z]+" not allowed for HTML5|attribute "width" has invalid value "[0-9]+ %"|<legend> attribute "align" has invalid value "top"|<a> attribute "target" lacks value|trimming empty <(big|b)>|<a> (illegal characters found in URI|escaping malformed URI reference|converting backslash in URI to slash)'
status=0
report() { tidy -q -e "$1" 2>&1 | sed -E 's/^line [0-9]+ column [0-9]+ - //'; }
for page in frameset practices doctor_plain doctor_hostile build forms toc; do
  f=$dir/$page.html
  [ -f "$f" ] || { echo "missing page $f"; status=1; continue; }
  out=$(report "$f")
  if grep -q '^Error:' <<<"$out"; then echo "$page: errors"; echo "$out"; status=1; fi
  extra=$(grep '^Warning:' <<<"$out" | grep -Ev "$allowed")
  if [ -n "$extra" ]; then echo "$page: unexpected warnings"; echo "$extra"; status=1; fi
  echo "$page: $(grep -c '^Warning:' <<<"$out") allowed warnings"
done
plain=$(report "$dir/doctor_plain.html" | sort -u)
hostile=$(report "$dir/doctor_hostile.html" | sort -u)
if [ "$plain" != "$hostile" ]; then
  echo "hostile names change tidy's report:"; diff <(echo "$plain") <(echo "$hostile"); status=1
fi
exit $status
