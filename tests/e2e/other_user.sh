#!/bin/sh
# Runs end-to-end cases in a Wine prefix of a user of their own (made once, in
# the build tree, beside the shared one), and stops that prefix's processes
# afterwards. Usage: other_user.sh <wine-run> <user> <prefix name> <test exe> <gtest args...>
set -u
wine_run=$1 user=$2 name=$3
shift 3
root=$(dirname "$wine_run")/wine
# The profile's name comes from the user that the prefix is made for.
export USER="$user" LOGNAME="$user"
export WT_WINEPREFIX="$root/prefix-$name" WT_WINEHOME="$root/home-$name"
"$wine_run" "$@"
status=$?
"$wine_run" --stop
exit $status
