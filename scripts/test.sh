#!/usr/bin/env bash
# Builds everything and runs every test: native (sanitizers), under Wine, and
# the checks on the built exe. Starts its own X server and wineserver and stops
# exactly those when it ends.
set -euo pipefail
source "$(dirname "$0")/session.sh"

build_all
# Tests open windows: always on a virtual display of their own.
start_virtual_display
start_wineserver

# Tests share the prefix's registry and folders: one at a time.
ctest --test-dir "$build" --output-on-failure --timeout 600 --output-junit "$build/ctest-junit.xml" "$@"
