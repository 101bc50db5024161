# Sourced by the test and bench commands: the Xvfb display and the warm
# wineserver that a run owns.  session_display starts an Xvfb on a display
# the server picks itself (-displayfd, so a server that already holds :77 or
# any other display is no obstacle) and exports DISPLAY; session_wineserver
# starts a fresh wineserver that knows that display, with Wine's service
# processes started here and their output on /dev/null (started by a test,
# they would hold the test's output pipe open), and Wine managing its own
# windows (Xvfb has no window manager); session_stop stops both,
# whatever state the run is in.  Needs $top and WINEPREFIX.
session_xvfb_pid=
session_dfile=

session_stop() {
  wineserver -k 2>/dev/null || true
  if [ -n "$session_xvfb_pid" ]; then
    kill "$session_xvfb_pid" 2>/dev/null || true
    wait "$session_xvfb_pid" 2>/dev/null || true
  fi
  rm -f "$session_dfile"
}

# $1: the command's name, for the message when Xvfb does not start.
session_display() {
  session_dfile=$(mktemp)
  exec 9>"$session_dfile"
  Xvfb -displayfd 9 -screen 0 1280x1024x24 -nolisten tcp >/dev/null 2>&1 9>&9 &
  session_xvfb_pid=$!
  exec 9>&-
  for _ in $(seq 200); do
    [ -s "$session_dfile" ] && break
    kill -0 "$session_xvfb_pid" 2>/dev/null || break
    sleep 0.05
  done
  local n
  n=$(tr -dc '0-9' <"$session_dfile")
  [ -n "$n" ] || { echo "$1: Xvfb did not start" >&2; return 1; }
  export DISPLAY=:$n
}

session_wineserver() {
  wineserver -k 2>/dev/null || true
  wineserver -w 2>/dev/null || true
  wineserver -p 2>/dev/null || true
  "$top/tools/wine-run" cmd /c exit </dev/null >/dev/null 2>&1 || true
  # Xvfb runs no window manager: windows Wine leaves to one wait up to two
  # seconds for it each time they are hidden.  Wine manages them itself.
  "$top/tools/wine-run" reg add 'HKCU\Software\Wine\X11 Driver' /v Managed /d N /f </dev/null >/dev/null 2>&1 || true
}
