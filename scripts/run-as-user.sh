#!/usr/bin/env bash
# run-as-user.sh <wine-run> <test.exe> [args]: runs a Windows test as an
# ordinary user. Wine running as root opens read-only files for writing, so
# checks about access rights prove nothing there.
set -euo pipefail
wine_run=$1
shift
if [ "$(id -u)" -ne 0 ]; then
  exec "$wine_run" "$@"
fi
user=nobody
root=$(cd "$(dirname "$wine_run")" && pwd)/wine/as-user
mkdir -p "$root/home"
chown -R "$user" "$root"
# The user's own prefix and wineserver; the server leaves when the test ends.
export WT_WINEPREFIX="$root/prefix" WT_WINEHOME="$root/home" WT_WINEARCH="${WT_WINEARCH:-win64}"
runuser -u "$user" -- env WT_WINEPREFIX="$WT_WINEPREFIX" WT_WINEHOME="$WT_WINEHOME" WT_WINEARCH="$WT_WINEARCH" \
  DISPLAY="${DISPLAY:-}" "$wine_run" "$@"
