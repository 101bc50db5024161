#!/usr/bin/env bash
# The project's test command: installs what is missing, builds everything and
# runs every test program under Wine with one warm wineserver.
#
# The run owns what it starts: an Xvfb on a display the server picks itself
# (-displayfd, so a server that already holds :77 or any other display is no
# obstacle), the wineserver of its prefix and a CUPS scheduler in a folder of
# its own.  All are stopped when the run ends, passed, failed or interrupted;
# nothing of the run stays behind, and the machine's printers stay as they were.
# WINEPREFIX may name a prefix of its own (two checkouts testing at once).
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/tools/build.sh"
CACHE=${KALMORA_CACHE:-$HOME/.cache/kalmoraTessaro}
BUILD=${KALMORA_BUILD:-$top/build}
export WINEPREFIX=${WINEPREFIX:-$CACHE/wineprefix} WINEDEBUG=-all WINEARCH=win64

. "$top/tools/session.sh"
cups_dir=
cleanup() {
  session_stop
  [ -z "$cups_dir" ] || bash "$top/kwi/tests/cups_queue.sh" stop "$cups_dir"
}
trap cleanup EXIT
trap 'exit 130' INT TERM

# A display for the tests that open real windows.
session_display test

# The PDF print queue of the printing tests: a CUPS scheduler of this run's
# own, in a folder of the run, started before Wine, which lists the printers
# (through CUPS_SERVER) when a program starts.  The machine's printers are
# noted first: the run must leave them as they were.
printers_before=$(bash "$top/kwi/tests/cups_queue.sh" machine)
cups_dir=$(mktemp -d "${TMPDIR:-/tmp}/kalmora-cups.XXXXXX")
bash "$top/kwi/tests/cups_queue.sh" start "$cups_dir" || true
export CUPS_SERVER=$cups_dir/cups.sock

# N: for the folder picker's tests: a folder of the build tree linked into
# the prefix and typed "network", written before the run's wineserver starts.
mkdir -p "$BUILD/netdrive/beta" "$BUILD/netdrive/alpha"
mkdir -p "$WINEPREFIX/dosdevices"
ln -sfn "$BUILD/netdrive" "$WINEPREFIX/dosdevices/n:"
"$top/tools/wine-run" reg add 'HKLM\Software\Wine\Drives' /v n: /d network /f </dev/null >/dev/null 2>&1 || true

# One wineserver for the whole run, started fresh so that its desktop process
# knows this run's display.
session_wineserver
# The desktop process too: Wine ends it when the last window goes and the
# next test to open one would start it again, holding that test's output.
ready=$(mktemp -u)
"$top/tools/wine-run" "$BUILD/bin/desktop_keeper.exe" "Z:${ready//\//\\}" </dev/null >/dev/null 2>&1 &
for _ in $(seq 200); do [ -e "$ready" ] && break; sleep 0.05; done
rm -f "$ready"

cd "$BUILD"
status=0
# A program that Wine fails to start under load (it ends at once, with no
# output) is run once more; a program that fails twice fails the run.
ctest --output-on-failure --repeat until-pass:2 -j"$(nproc)" "$@" || status=$?
printers_after=$(bash "$top/kwi/tests/cups_queue.sh" machine)
if [ "$printers_after" != "$printers_before" ]; then
  echo "test: the machine's printers changed during the run (before, after):" >&2
  diff <(echo "$printers_before") <(echo "$printers_after") >&2 || true
  status=1
fi
exit "$status"
