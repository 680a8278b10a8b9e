#!/usr/bin/env bash
# Builds the setup exe and starts it under Wine, in the build tree's own Wine
# prefix (what it installs stays there). With no display to show it on, it
# runs on a virtual one, saves a picture of the window, and says where.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build="${WT_BUILD_DIR:-$top/build}"
source "$top/scripts/session.sh"

"$top/scripts/install-deps.sh"
cmake -S "$top" -B "$build" -G Ninja
cmake --build "$build"

exe="$build/win/wrentide_setup.exe"
wine_run="$build/wine-run"
"$wine_run" --prepare
echo "Built: $exe"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  "$wine_run" "$exe"
  exit 0
fi

start_virtual_display
"$wine_run" "$exe" &
setup=$!
started+=("$setup")
mkdir -p "$build/screenshots"
shot="$build/screenshots/setup-window.png"
"$wine_run" "$build/win/tests/e2e/wt_snap.exe" "Z:$shot"
wait "$setup" || true
echo "No display here: the window ran on a virtual display. Its picture: $shot"
