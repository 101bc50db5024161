#!/usr/bin/env bash
# The PDF print queue of the printing tests (CUPS with cups-pdf, no systemd),
# run by the test command before Wine starts.  Test runs of several
# checkouts share one cupsd: a count of the runs using it, kept under a lock
# in the temporary folder, lets the last one stop it by its pid.
#   cups_queue.sh start   starts cupsd unless one runs, adds the queue KwiPDF
#                         as default, counts this run
#   cups_queue.sh stop    uncounts this run; the last run stops the cupsd
#                         that a run started
# Nothing started here keeps the caller's output open.
state=${TMPDIR:-/tmp}/kalmora-cups
exec 8>"$state.lock"
flock 8
count=$(cat "$state.count" 2>/dev/null || echo 0)
running() { lpstat -r 2>/dev/null | grep -q "scheduler is running"; }
case "$1" in
start)
  if ! running; then
    setsid /usr/sbin/cupsd -f </dev/null >/dev/null 2>&1 8>&- &
    echo $! > "$state.pid"
    for _ in $(seq 100); do running && break; sleep 0.1; done
  fi
  lpadmin -p KwiPDF -E -v cups-pdf:/ -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd >/dev/null 2>&1
  lpadmin -d KwiPDF >/dev/null 2>&1
  echo $((count + 1)) > "$state.count"
  ;;
stop)
  count=$((count - 1))
  if [ "$count" -le 0 ]; then
    pid=$(cat "$state.pid" 2>/dev/null || echo 0)
    if [ "$pid" != 0 ] && grep -q cupsd "/proc/$pid/cmdline" 2>/dev/null; then kill "$pid"; fi
    rm -f "$state.pid" "$state.count"
  else
    echo "$count" > "$state.count"
  fi
  ;;
esac
exit 0
