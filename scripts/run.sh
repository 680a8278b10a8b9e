#!/usr/bin/env bash
# Builds the setup exe and starts it under Wine, in the build tree's own Wine
# prefix (what it installs stays there). With no display to show it on, it
# runs on a virtual one, saves a picture of the window, and says where.
set -euo pipefail
source "$(dirname "$0")/session.sh"

build_all
exe="$build/win/wrentide_setup.exe"
echo "Built: $exe"
if [ "$win_tree" != "$build/win" ]; then
  exe="$win_tree/wrentide_setup.exe"
  cat "$build/test-arch"
  echo "Starting the 64-bit build of the same sources: $exe"
fi

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  "$wine_run" "$exe"
  exit 0
fi

start_virtual_display
start_wineserver
"$wine_run" "$exe" &
started+=($!)
mkdir -p "$build/screenshots"
shot="$build/screenshots/setup-window.png"
"$wine_run" "$win_tree/tests/e2e/wt_snap.exe" "Z:$shot"
wait "${started[-1]}" || true
echo "No display here: the window ran on a virtual display. Its picture: $shot"
