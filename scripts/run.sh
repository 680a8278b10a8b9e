#!/usr/bin/env bash
# Builds the setup exe and says where it is.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
build="${WT_BUILD_DIR:-$top/build}"

"$top/scripts/install-deps.sh"
cmake -S "$top" -B "$build" -G Ninja
cmake --build "$build"
echo "Built: $build/win/wrentide_setup.exe"
