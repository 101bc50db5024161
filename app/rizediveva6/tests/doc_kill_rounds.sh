#!/usr/bin/env bash
# kill -9 from outside Wine while a document is changed and saved in a loop:
# after each kill a fresh process opens the file with a plain open (no
# update mark) and must find the names of the last reported save, or of the
# next one, and the verifier must find the file whole.
#   doc_kill_rounds.sh TEST_EXE CHILD_EXE VERIFY_EXE ROUNDS
set -u
exe=$1; child=$2; verify=$3; rounds=${4:-30}
here=$(cd "$(dirname "$0")" && pwd)
run="$here/../../../tools/wine-run"
dir=$(mktemp -d)
winfile="Z:${dir//\//\\}\\kill.km6"
fail=0
for ((i = 1; i <= rounds; i++)); do
  rm -f "$dir/kill.km6" "$dir/out"
  RZ_DOC_ENDLESS="$winfile" "$run" "$exe" --gtest_filter=DocChild.Endless >"$dir/out" 2>/dev/null &
  pid=$!
  sleep "$((RANDOM % 2)).$((RANDOM % 10))$((RANDOM % 10))"
  kill -9 "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  last=$(tr -d '\r' <"$dir/out" | awk '/^saved/ {c = $2} END {print c + 0}')
  if [ ! -f "$dir/kill.km6" ]; then
    # Killed before the first save wrote the file.
    [ "$last" = 0 ] || { echo "round $i: no file after save $last"; fail=1; }
    echo "round $i: killed before the first save"
    continue
  fi
  "$run" "$child" "$winfile" >"$dir/check" 2>/dev/null
  status=$?
  names=$(tr -d '\r' <"$dir/check" | awk '/^chain names/ {on = 1; next} /^(chain|tree)/ {on = 0} on {n++} END {print n + 0}')
  echo "round $i: killed after save $last, the file holds $names names (open status $status)"
  "$run" "$verify" "$winfile" >>"$dir/check" 2>/dev/null
  verified=$?
  if [ "$status" != 0 ] || [ "$verified" != 0 ] || { [ "$names" != "$last" ] && [ "$names" != "$((last + 1))" ]; }; then
    echo "round $i FAILED:"; tail -n 5 "$dir/check"; fail=1
  fi
done
rm -rf "$dir"
echo "$rounds kill -9 rounds, $([ $fail = 0 ] && echo passed || echo FAILED)"
exit $fail
