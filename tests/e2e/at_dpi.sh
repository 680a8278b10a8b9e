#!/bin/sh
# Runs end-to-end cases in a Wine prefix of their own whose display is set to
# a DPI (the LogPixels setting, which the server reads when it starts), and
# stops that prefix's processes afterwards.
# Usage: at_dpi.sh <wine-run> <dpi> <test exe> <gtest args...>
set -u
wine_run=$1 dpi=$2
shift 2
root=$(dirname "$wine_run")/wine
export WT_WINEPREFIX="$root/prefix-dpi" WT_WINEHOME="$root/home-dpi"
"$wine_run" reg add 'HKCU\Control Panel\Desktop' /v LogPixels /t REG_DWORD /d "$dpi" /f >/dev/null || exit 1
"$wine_run" --stop
"$wine_run" "$@"
status=$?
"$wine_run" --stop
exit $status
