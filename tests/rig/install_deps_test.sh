#!/usr/bin/env bash
# scripts/install-deps.sh against a mirror out of step and a kernel that
# refuses 32-bit programs, with stand-ins for apt, dpkg, the 32-bit Wine loader
# and binfmt_misc: the machine's own package sources are only read.
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
cat > "$work/bin/dpkg-query" <<'STANDIN'
#!/bin/sh
case "$3" in
  wine32:i386) exit 1 ;;
  qemu-user) [ -n "$QEMU_VERSION" ] && echo "$QEMU_VERSION" ;;
  *) echo "install ok installed" ;;
esac
STANDIN
printf '#!/bin/sh\n[ "$1" = --compare-versions ] && exec /usr/bin/dpkg "$@"\necho i386\n' > "$work/bin/dpkg"
printf '#!/bin/sh\necho "mount $*" >> "$WORK/calls"; touch "$4/register"\n' > "$work/bin/mount"
# A 32-bit loader the kernel refuses: binary bytes that are no program.
printf '\0\0\0\0' > "$work/refused-loader"
chmod +x "$work/refused-loader"
printf '#!/bin/sh\nexec "$@"\n' > "$work/bin/sudo"
chmod +x "$work/bin/"*

run() {  # unavailable package or "", then the expected exit: 0 or fail
  rm -f "$work/calls"
  rm -rf "$work/binfmt"
  mkdir "$work/binfmt"
  WORK=$work UNAVAILABLE=$1 QEMU_VERSION=${QEMU_VERSION:-} WT_BINFMT_DIR=$work/binfmt \
    WT_WINE32_LOADER=${LOADER:-/bin/true} PATH="$work/bin:$PATH" bash "$work/tree/scripts/install-deps.sh" >"$work/out" 2>&1
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

! grep -qs qemu "$work/calls" && [ ! -e "$work/binfmt/register" ] ||
  fail "qemu-user was set up although 32-bit programs start"

run wine32:i386 fail
[[ "$(tail -n1 "$work/out")" == "install-deps: cannot install wine32:i386"* ]] ||
  fail "the last line does not name wine32:i386: $(tail -n1 "$work/out")"


# The kernel refuses 32-bit programs, qemu-user is not installed and
# binfmt_misc is not mounted.
LOADER=$work/refused-loader run "" 0
qemu_install=$(grep ' install -y.* qemu-user' "$work/calls")
[[ "$qemu_install" == *"-t bookworm-backports"*"Dir::Etc::sourceparts=$work/tree/.apt-backports/"* ||
   "$qemu_install" == *"Dir::Etc::sourceparts=$work/tree/.apt-backports/"*"-t bookworm-backports"* ]] ||
  fail "qemu-user not installed from the backports suite through a private source list: $qemu_install"
grep -rqs '^Suites: bookworm-backports$\| bookworm-backports ' "$work/tree/.apt-backports/sources.list.d" ||
  fail "the private source list has no backports suite"
grep -q "^mount -t binfmt_misc binfmt_misc $work/binfmt" "$work/calls" || fail "binfmt_misc was not mounted"
rule=$(cat "$work/binfmt/register" 2>/dev/null)
[[ "$rule" == ':qemu-i386:M::\x7fELF\x01\x01\x01\x00'*'\x02\x00\x03\x00:'*':/usr/bin/qemu-i386:F' ]] ||
  fail "no registration of qemu-i386 for i386 programs with the F flag: $rule"
[ "$(grep -c '^install-deps: this kernel cannot start 32-bit programs: qemu-user' "$work/out")" = 1 ] ||
  fail "the set-up of qemu-user is not said in one line"
# A good qemu-user already installed is only registered.
QEMU_VERSION=1:10.0.2 LOADER=$work/refused-loader run "" 0
! grep -q ' install -y.* qemu-user' "$work/calls" && [ -s "$work/binfmt/register" ] ||
  fail "an installed qemu-user 10 was installed again, or not registered"

[ $failures -eq 0 ] && echo "install-deps: every check passed"
exit $((failures > 0))
