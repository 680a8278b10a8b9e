#!/usr/bin/env bash
# Builds the setup exe and starts it under Wine, in the build tree's own Wine
# prefix (what it installs stays there). With no display to show it on, it
# runs on a virtual one, saves a picture of the window, and says where.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build="${WT_BUILD_DIR:-$top/build}"

"$top/scripts/install-deps.sh"
cmake -S "$top" -B "$build" -G Ninja
cmake --build "$build"

exe="$build/win/wrentide_setup.exe"
wine_run="$build/wine-run"
"$wine_run" --prepare
echo "Built: $exe"

if [ -n "${DISPLAY:-}" ] && xdpyinfo >/dev/null 2>&1; then
  exec "$wine_run" "$exe"
fi

started=()
stop_started() {
  for pid in "${started[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
}
trap stop_started EXIT

display_file=$(mktemp)
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$display_file" 2>/dev/null &
started+=($!)
for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
[ -s "$display_file" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$display_file")"
rm -f "$display_file"

"$wine_run" "$exe" &
setup=$!
started+=("$setup")
mkdir -p "$build/screenshots"
shot="$build/screenshots/setup-window.png"
"$wine_run" "$build/win/tests/e2e/wt_snap.exe" "Z:$shot"
wait "$setup" || true
echo "No display here: the window ran on a virtual display. Its picture: $shot"
