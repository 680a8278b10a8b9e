#!/usr/bin/env bash
# scripts/check-shipped-tested.py on made-up build folders: it passes only
# when the i686 build's tests ran and the required installs passed.
set -uo pipefail
check="$(cd "$(dirname "$0")/../.." && pwd)/scripts/check-shipped-tested.py"
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0

results() {  # status of the 32-bit prefix's run: passed, failed or missing
  local win32=""
  case $1 in
    passed) win32='<testcase name="e2e.win32.TheTypicalRunFromStartToFinish" status="run"/>' ;;
    failed) win32='<testcase name="e2e.win32.TheTypicalRunFromStartToFinish" status="run"><failure message="x"/></testcase>' ;;
  esac
  cat > "$work/ctest-junit.xml" <<XML
<testsuite>$win32
<testcase name="e2e.Install.TheTypicalRunFromStartToFinish" status="run"/>
<testcase name="e2e.Install.TheUninstallerRemovesWhatSetupBroughtAndThenItself" status="run"/>
</testsuite>
XML
}
expect() {  # tree, 32-bit run, expected exit, words the output must hold
  echo "Tests under Wine: the $1 build" > "$work/test-arch"
  echo "$work/$1" > "$work/test-tree"
  results "$2"
  out=$(python3 "$check" "$work" 2>&1)
  status=$?
  if [ $status -ne "$3" ] || [[ "$out" != *"$4"* ]]; then
    echo "FAIL: $1 build, 32-bit run $2: exit $status, expected $3 and \"$4\": $out"
    failures=$((failures + 1))
  fi
}
mkdir "$work/win" "$work/win64"
expect win passed 0 "was proven"
expect win64 passed 1 "did not run the shipped i686 build (Tests under Wine: the win64 build)"
expect win missing 1 "e2e.win32.TheTypicalRunFromStartToFinish did not run and pass"
expect win failed 1 "e2e.win32.TheTypicalRunFromStartToFinish did not run and pass"
[ $failures -eq 0 ] && echo "check-shipped-tested: every check passed"
exit $((failures > 0))
