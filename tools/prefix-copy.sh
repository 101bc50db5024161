# Sourced by test scripts that must change a Wine prefix: makes a throw-away
# copy of the current prefix in $copy (its registry and drive links; drive C
# is the original's, linked) and removes it, with its wineserver, when the
# script exits.
src=${WINEPREFIX:-${KALMORA_CACHE:-$HOME/.cache/kalmoraTessaro}/wineprefix}
copy=$(mktemp -d)
prefix_copy_cleanup() {
  WINEPREFIX=$copy wineserver -k 2>/dev/null || true
  rm -rf "$copy"
}
trap prefix_copy_cleanup EXIT
cp -a "$src"/*.reg "$src"/dosdevices "$copy"/
cp -a "$src"/.update-timestamp "$copy"/ 2>/dev/null || true
rm -f "$copy/dosdevices/c:"
ln -s "$src/drive_c" "$copy/drive_c"
ln -s ../drive_c "$copy/dosdevices/c:"
