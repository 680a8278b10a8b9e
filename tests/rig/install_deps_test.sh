#!/usr/bin/env bash
# scripts/install-deps.sh against a mirror out of step, with stand-ins for apt
# and dpkg first on PATH: the machine's own package sources are only read.
# Usage: install_deps_test.sh [script] (default: the checkout's).
set -uo pipefail
script=${1:-$(cd "$(dirname "$0")/../.." && pwd)/scripts/install-deps.sh}
work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
failures=0
fail() { echo "FAIL: $*"; failures=$((failures + 1)); }

# A checkout whose third-party sources are in place, so only packages are asked for.
mkdir -p "$work/tree/scripts" "$work/tree/third_party/libjpeg-turbo-1" "$work/tree/third_party/zlib-1" "$work/bin"
cp "$script" "$work/tree/scripts/install-deps.sh"
cat > "$work/bin/apt-get" <<'STANDIN'
#!/usr/bin/env bash
# The machine's lists: the security suite's i386 index fails, and its amd64
# packages want i386 twins that no list has. Private lists (the release's own
# suites) update, and install all but $UNAVAILABLE.
echo "apt-get $*" >> "$WORK/calls"
private=false; [[ "$*" == *Dir::Etc::sourceparts=* ]] && private=true
case " $* " in
  *" update "*)
    $private && exit 0
    echo "E: Failed to fetch http://mirror/debian-security/dists/bookworm-security/main/binary-i386/Packages.xz  File has unexpected size (1 != 2). Mirror sync in progress?"
    exit 100 ;;
  *" install -s "*) [ "${*: -1}" != "$UNAVAILABLE" ] ;;
  *" install "*)
    $private && [ -z "$UNAVAILABLE" ] && exit 0
    echo "E: Unable to correct problems, you have held broken packages."
    exit 100 ;;
esac
STANDIN
printf '#!/bin/sh\n[ "$3" != wine32:i386 ] && echo "install ok installed"\n' > "$work/bin/dpkg-query"
printf '#!/bin/sh\necho i386\n' > "$work/bin/dpkg"
printf '#!/bin/sh\nexec "$@"\n' > "$work/bin/sudo"
chmod +x "$work/bin/"*

run() {  # unavailable package or "", then the expected exit: 0 or fail
  rm -f "$work/calls"
  WORK=$work UNAVAILABLE=$1 PATH="$work/bin:$PATH" bash "$work/tree/scripts/install-deps.sh" >"$work/out" 2>&1
  status=$?
  if [ "$2" = 0 ] && [ $status -ne 0 ]; then fail "exit $status with every package available:"; cat "$work/out"; fi
  if [ "$2" = fail ] && [ $status -eq 0 ]; then fail "exit 0 although $1 cannot be had"; fi
}

run "" 0
[ "$(grep -c '^install-deps: apt-get update failed .*binary-i386/Packages.xz' "$work/out")" = 1 ] ||
  fail "the failed index is not named in one line"
last_install=$(grep ' install -y' "$work/calls" | tail -n1)
[[ "$last_install" == *"Dir::Etc::sourceparts=$work/tree/.apt-release/sources.list.d"* ]] ||
  fail "no second try from a private source list: $last_install"
! grep -rqs -- '-security' "$work/tree/.apt-release/sources.list.d" ||
  fail "the second try's sources still hold the security suite"

run wine32:i386 fail
[[ "$(tail -n1 "$work/out")" == "install-deps: cannot install wine32:i386"* ]] ||
  fail "the last line does not name wine32:i386: $(tail -n1 "$work/out")"

[ $failures -eq 0 ] && echo "install-deps: every check passed"
exit $((failures > 0))
