#!/usr/bin/env bash
# Builds everything and runs every test: native (sanitizers), under Wine, and
# the checks on the built exe. Starts its own X server and wineserver and stops
# exactly those when it ends.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build="${WT_BUILD_DIR:-$top/build}"
source "$top/scripts/session.sh"

"$top/scripts/install-deps.sh"
cmake -S "$top" -B "$build" -G Ninja
cmake --build "$build"

wine_run="$build/wine-run"
"$wine_run" --prepare
# Tests open windows: always on a virtual display of their own.
start_virtual_display
start_wineserver "$wine_run"

# Tests share the prefix's registry and folders: one at a time.
ctest --test-dir "$build" --output-on-failure --timeout 600 "$@"
