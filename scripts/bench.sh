#!/usr/bin/env bash
# Prints how long the whole install takes under Wine, click to "Installation
# Complete" with the statistics server on loopback, against inflating and
# writing the same files in one process.
set -euo pipefail
source "$(dirname "$0")/session.sh"

build_all
start_virtual_display
start_wineserver
"$wine_run" "$win_tree/tests/e2e/wt_bench.exe" "${1:-5}"
