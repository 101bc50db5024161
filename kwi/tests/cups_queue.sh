#!/usr/bin/env bash
# The PDF print queue of the printing tests (CUPS with cups-pdf, no systemd),
# run by the test command before Wine starts.
#   cups_queue.sh start MARKER  starts cupsd unless one runs, adds the queue
#                               KwiPDF as default, then writes MARKER holding
#                               the pid of the cupsd it started (0: none)
#   cups_queue.sh stop PID      stops that cupsd
# Nothing started here keeps the caller's output open.
case "$1" in
start)
  pid=0
  running() { lpstat -r 2>/dev/null | grep -q "scheduler is running"; }
  if ! running; then
    setsid /usr/sbin/cupsd -f </dev/null >/dev/null 2>&1 &
    pid=$!
    for _ in $(seq 100); do running && break; sleep 0.1; done
  fi
  lpadmin -p KwiPDF -E -v cups-pdf:/ -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd >/dev/null 2>&1
  lpadmin -d KwiPDF >/dev/null 2>&1
  echo "$pid" > "$2.part" && mv "$2.part" "$2"
  ;;
stop)
  [ "${2:-0}" != 0 ] && kill "$2" 2>/dev/null
  ;;
esac
exit 0
