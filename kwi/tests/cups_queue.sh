#!/usr/bin/env bash
# The PDF print queue of the printing tests: a CUPS scheduler of the test
# run's own (cups-pdf behind it, no systemd), run by the test command before
# Wine starts.  Its configuration, spool, state, logs and socket live in a
# folder of the run; the machine's scheduler, its printers and its default
# printer are never touched.  Wine reaches the private scheduler through
# CUPS_SERVER=DIR/cups.sock, which the caller exports.
#   cups_queue.sh start DIR   starts the scheduler in DIR (an empty folder),
#                             adds the queue KwiPDF as its default printer
#   cups_queue.sh stop DIR    stops that scheduler by its pid and removes DIR
#   cups_queue.sh machine     prints the machine's printers and default
#                             printer, to compare before and after a run
# Nothing started here keeps the caller's output open.
set -u
dir=${2:-}
sudo=
[ "$(id -u)" = 0 ] || sudo="sudo -n"

# Printers, default printer and options as the machine's own scheduler and
# files hold them (of its printers.conf the queues and their devices only:
# the states change as the machine prints).
machine() {
  env -u CUPS_SERVER lpstat -e 2>&1
  env -u CUPS_SERVER lpstat -d 2>&1
  if [ -e /etc/cups/printers.conf ]; then
    echo /etc/cups/printers.conf
    $sudo cat /etc/cups/printers.conf 2>&1 | grep -E '^<(Default)?Printer |^DeviceURI '
  fi
  for f in /etc/cups/lpoptions "$HOME/.cups/lpoptions" "$HOME/.cups/client.conf"; do
    if [ -e "$f" ]; then echo "$f"; $sudo cat "$f" 2>&1; fi
  done
}

# A scheduler listening on DIR/cups.sock only, every operation allowed to its
# clients (the socket lies in the run's folder), filters run as lp: the
# folders must be reachable for that user.
configure() {
  mkdir -p "$dir/ppd" "$dir/spool/tmp" "$dir/cache" "$dir/state" "$dir/log"
  chmod 755 "$dir"
  cat >"$dir/cupsd.conf" <<EOF
Listen $dir/cups.sock
Browsing No
WebInterface No
LogLevel warn
DefaultAuthType None
<Location />
  Order allow,deny
  Allow all
</Location>
<Policy default>
  JobPrivateAccess default
  JobPrivateValues default
  SubscriptionPrivateAccess default
  SubscriptionPrivateValues default
  <Limit All>
    Order deny,allow
  </Limit>
</Policy>
EOF
  cat >"$dir/cups-files.conf" <<EOF
ServerRoot $dir
RequestRoot $dir/spool
TempDir $dir/spool/tmp
CacheDir $dir/cache
StateDir $dir/state
AccessLog $dir/log/access_log
ErrorLog $dir/log/error_log
PageLog $dir/log/page_log
SystemGroup root
FileDevice No
EOF
}

running() { CUPS_SERVER=$dir/cups.sock lpstat -r 2>/dev/null | grep -q "scheduler is running"; }

case "${1:-}" in
start)
  [ -n "$dir" ] && [ -d "$dir" ] || { echo "cups_queue: no folder" >&2; exit 1; }
  configure
  setsid $sudo /usr/sbin/cupsd -f -c "$dir/cupsd.conf" -s "$dir/cups-files.conf" </dev/null >/dev/null 2>&1 &
  echo $! >"$dir/cupsd.pid"
  for _ in $(seq 100); do running && break; sleep 0.1; done
  running || { echo "cups_queue: the scheduler did not start (see $dir/log)" >&2; exit 1; }
  export CUPS_SERVER=$dir/cups.sock
  lpadmin -p KwiPDF -E -v cups-pdf:/ -P /usr/share/ppd/cups-pdf/CUPS-PDF_opt.ppd >/dev/null 2>&1 &&
    lpadmin -d KwiPDF >/dev/null 2>&1 || { echo "cups_queue: no queue KwiPDF" >&2; exit 1; }
  ;;
stop)
  pid=$(cat "$dir/cupsd.pid" 2>/dev/null || echo)
  if [ -n "$pid" ]; then
    $sudo kill "$pid" 2>/dev/null
    for _ in $(seq 50); do kill -0 "$pid" 2>/dev/null || break; sleep 0.1; done
  fi
  # The scheduler's files belong to root.
  [ -n "$dir" ] && [ -d "$dir" ] && $sudo rm -rf "$dir"
  ;;
machine)
  machine
  ;;
*)
  echo "usage: cups_queue.sh start DIR | stop DIR | machine" >&2
  exit 2
  ;;
esac
exit 0
