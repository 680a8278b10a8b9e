#!/usr/bin/env bash
# Prints where an install's time goes under Wine (the statistics server on
# loopback), against inflating the same files in one process, and what the
# shipped exe weighs without its payload.
set -euo pipefail
source "$(dirname "$0")/session.sh"

build_all
start_virtual_display
start_wineserver
"$wine_run" "$win_tree/tests/e2e/wt_bench.exe" "${1:-5}"
python3 "$top/tools/exe_weight.py" "$build/win/wrentide_setup.exe" "$build/win/wrentide_setup.map"
