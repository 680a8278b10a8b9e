#!/usr/bin/env bash
# Prints how long the whole install takes under Wine, click to "Installation
# Complete" with the statistics server on loopback, against inflating and
# writing the same files in one process.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build="${WT_BUILD_DIR:-$top/build}"
source "$top/scripts/session.sh"

"$top/scripts/install-deps.sh"
cmake -S "$top" -B "$build" -G Ninja
cmake --build "$build"
wine_run="$build/wine-run"
"$wine_run" --prepare
start_virtual_display
start_wineserver "$wine_run"
"$wine_run" "$build/win/tests/e2e/wt_bench.exe" "${1:-5}"
