#!/usr/bin/env bash
# run-as-user.sh <wine-run> <test.exe> [args]: runs a Windows test as an
# ordinary user. Wine running as root opens read-only files for writing, so
# checks about access rights prove nothing there.
set -euo pipefail
wine_run=$1
exe=$2
shift 2
if [ "$(id -u)" -ne 0 ]; then
  exec "$wine_run" "$exe" "$@"
fi
user=nobody
# The build tree may lie where that user cannot reach it: the test, its
# runner and the user's own prefix go to a folder of their own, removed after.
root=$(mktemp -d /tmp/wt-as-user.XXXXXX)
trap 'rm -rf "$root"' EXIT
chmod 755 "$root"
cp "$wine_run" "$exe" "$root/"
mkdir -p "$root/home"
chown -R "$user" "$root"
runner="$root/$(basename "$wine_run")"
status=0
runuser -u "$user" -- env WT_WINEPREFIX="$root/prefix" WT_WINEHOME="$root/home" WT_WINEARCH="${WT_WINEARCH:-win64}" \
  DISPLAY="${DISPLAY:-}" "$runner" "$root/$(basename "$exe")" "$@" || status=$?
# The user's wineserver and the prefix's services end before the folder goes.
runuser -u "$user" -- env WT_WINEPREFIX="$root/prefix" WT_WINEHOME="$root/home" "$runner" --stop || true
exit "$status"
