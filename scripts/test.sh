#!/usr/bin/env bash
# Builds everything and runs every test: native (sanitizers), under Wine, and
# the checks on the built exe. Starts its own X server and wineserver and stops
# exactly those when it ends.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build="${WT_BUILD_DIR:-$top/build}"

"$top/scripts/install-deps.sh"
cmake -S "$top" -B "$build" -G Ninja
cmake --build "$build"

wine_run="$build/wine-run"
"$wine_run" --prepare

started=()
stop_started() {
  for pid in "${started[@]}"; do
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
}
trap stop_started EXIT

# Tests open windows: always on a virtual display of their own.
display_file=$(mktemp)
Xvfb -displayfd 3 -nolisten tcp -screen 0 1024x768x24 3>"$display_file" 2>/dev/null &
started+=($!)
for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
[ -s "$display_file" ] || { echo "Xvfb did not start" >&2; exit 1; }
export DISPLAY=":$(head -n1 "$display_file")"
rm -f "$display_file"

"$wine_run" --server &
started+=($!)
"$wine_run" cmd /c exit </dev/null >/dev/null 2>&1

# Tests share the prefix's registry and folders: one at a time.
ctest --test-dir "$build" --output-on-failure --timeout 600 "$@"
