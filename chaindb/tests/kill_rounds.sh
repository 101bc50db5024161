#!/usr/bin/env bash
# kill -9 from outside Wine: each round starts the workload in a Wine process,
# exclusive and shared rounds in turn, sends it SIGKILL after a random delay,
# and lets a fresh process check the file (the last reported commit or the
# next, verified, or refused with 1317, opened by OpenInvalid, still refused
# after that handle's close, and made whole by a Copy).
#   kill_rounds.sh TEST_EXE ROUNDS
set -u
exe=$1; rounds=${2:-50}
here=$(cd "$(dirname "$0")" && pwd)
run="$here/../../tools/wine-run"
dir=$(mktemp -d)
winfile="Z:${dir//\//\\}\\kill.km6"
fail=0
for ((i = 1; i <= rounds; i++)); do
  rm -f "$dir/kill.km6" "$dir/out"
  # workload Chains, exclusive or shared, wide
  if ((i % 2)); then mode=exclusive; export CDB_WORKLOAD=0,0,1; else mode=shared; export CDB_WORKLOAD=0,1,1; fi
  CDB_ENDLESS="$winfile" "$run" "$exe" --gtest_filter=FaultChild.Endless >"$dir/out" 2>/dev/null &
  pid=$!
  sleep "$((RANDOM % 2)).$((RANDOM % 10))$((RANDOM % 10))"
  kill -9 "$pid" 2>/dev/null
  wait "$pid" 2>/dev/null
  # The commits reported since the workload last started anew.
  last=$(tr -d '\r' <"$dir/out" | awk '/^start/ {c = ""} /^commit/ {c = $2} END {print c}')
  echo "round $i ($mode): killed after commit ${last:-none}"
  CDB_CHECK="${last:--1}|$winfile" "$run" "$exe" --gtest_filter=FaultChild.Check >"$dir/check" 2>&1 ||
    { echo "round $i (last commit ${last:-none}) failed:"; tail -n 20 "$dir/check"; fail=1; }
done
rm -rf "$dir"
echo "$rounds kill -9 rounds, $([ $fail = 0 ] && echo passed || echo FAILED)"
exit $fail
