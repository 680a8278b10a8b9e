# Sourced by the run, test and benchmark scripts: the build, and a virtual
# display and a persistent wineserver of their own, stopped by process id when
# the script ends.
top=$(cd "$(dirname "${BASH_SOURCE[0]}")/.." && pwd)
build="${WT_BUILD_DIR:-$top/build}"
wine_run="$build/wine-run"

# Everything the project needs, built, with the build tree's Wine prefix ready.
build_all() {
  "$top/scripts/install-deps.sh"
  cmake -S "$top" -B "$build" -G Ninja
  cmake --build "$build"
  "$wine_run" --prepare
  # The build whose programs run under Wine here: the product's own, or a
  # 64-bit one of the same sources where this host cannot run 32-bit code.
  win_tree=$(cat "$build/test-tree")
}

started=()
wineserver_started=false
# Last started, first stopped: Wine goes before the display it draws on.
stop_started() {
  local i pid
  # Killing the server alone would orphan the prefix's service processes.
  if $wineserver_started; then
    "$wine_run" --stop || true
    WT_WINEARCH=win32 "$wine_run" --stop || true
  fi
  for ((i = ${#started[@]} - 1; i >= 0; i--)); do
    pid=${started[i]}
    kill "$pid" 2>/dev/null || true
    wait "$pid" 2>/dev/null || true
  done
}
trap stop_started EXIT

# Xvfb picks a free display itself: displays are shared on this machine. The
# screen is one of a laptop at 200 %, where the window at that scale fits.
start_virtual_display() {
  local display_file
  display_file=$(mktemp)
  Xvfb -displayfd 3 -nolisten tcp -screen 0 1920x1200x24 3>"$display_file" 2>/dev/null &
  started+=($!)
  for _ in $(seq 100); do [ -s "$display_file" ] && break; sleep 0.1; done
  if [ ! -s "$display_file" ]; then
    rm -f "$display_file"
    echo "Xvfb did not start" >&2
    return 1
  fi
  export DISPLAY=":$(head -n1 "$display_file")"
  rm -f "$display_file"
}

# Without a persistent server every Wine start pays for a new one.
start_wineserver() {
  "$wine_run" --server &
  started+=($!)
  wineserver_started=true
  "$wine_run" cmd /c exit </dev/null >/dev/null 2>&1
}
