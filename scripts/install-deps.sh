#!/usr/bin/env bash
# Installs everything the build and the tests need, from Debian's packages, and
# fetches Debian's libjpeg-turbo and zlib sources for the cross build. Safe to run again:
# it does nothing when everything is already in place.
#
# A mirror out of step must not stop it: an index that fails to update is
# named and left out, and when the packages then cannot be installed as one set
# (one architecture's list is newer than the other's), it tries again from the
# release's own suites only, whose versions match across amd64 and i386. The
# machine's apt configuration is never changed: such tries use a private source
# list and private index folders under the checkout.
set -euo pipefail

top=$(cd "$(dirname "$0")/.." && pwd)
SUDO=""
[ "$(id -u)" -eq 0 ] || SUDO="sudo"

packages=(
  cmake ninja-build make pkg-config python3 dpkg-dev
  g++ zlib1g-dev libjpeg-dev googletest
  g++-mingw-w64-i686-posix gcc-mingw-w64-i686-posix binutils-mingw-w64-i686
  mingw-w64-i686-dev libz-mingw-w64-dev
  # The tests' 64-bit build, for hosts that cannot run 32-bit code.
  g++-mingw-w64-x86-64-posix gcc-mingw-w64-x86-64-posix binutils-mingw-w64-x86-64 mingw-w64-x86-64-dev
  wine wine64 wine32:i386 xvfb xauth x11-utils icoutils
  # Authenticode signing, and the throwaway certificates of its tests.
  osslsigncode openssl
)

say() { echo "install-deps: $*" >&2; }

# apt-get update, going on when some indexes fail: they are named in one line,
# and apt keeps the older copies it has, or none.
apt_update() {
  local log status=0 failed as=$SUDO
  # Private index folders are the caller's own: no root needed for them.
  [ $# -eq 0 ] || as=""
  log=$(mktemp)
  $as apt-get "$@" update -q 2>&1 | tee "$log" || status=$?
  if [ "$status" -ne 0 ]; then
    failed=$(sed -n 's/^E: Failed to fetch \([^ ]*\).*/\1/p' "$log" | tr '\n' ' ')
    say "apt-get update failed (exit $status) for ${failed:-some package indexes}; going on without them"
  fi
  rm -f "$log"
}

# A private apt folder under the checkout whose sources are the machine's own,
# passed through a filter (stdin to stdout, once per file); sets apt_opts.
private_apt() {
  local dir="$top/$1" filter=$2 f
  mkdir -p "$dir/sources.list.d" "$dir/lists/partial" "$dir/cache/archives/partial"
  rm -f "$dir/sources.list.d/"*
  : > "$dir/sources.list"
  [ ! -f /etc/apt/sources.list ] || $filter list < /etc/apt/sources.list > "$dir/sources.list.d/main.list"
  for f in /etc/apt/sources.list.d/*.list /etc/apt/sources.list.d/*.sources; do
    [ -f "$f" ] || continue
    $filter "${f##*.}" < "$f" > "$dir/sources.list.d/$(basename "$f")"
  done
  apt_opts=(-o "Dir::Etc::sourcelist=$dir/sources.list"
            -o "Dir::Etc::sourceparts=$dir/sources.list.d"
            -o "Dir::State::Lists=$dir/lists"
            -o "Dir::Cache=$dir/cache")
}

# The release's own suites: every entry but the security suite's, whose
# updates reach the two architectures' lists at different times.
release_suites() {
  if [ "$1" = sources ]; then
    awk 'BEGIN { RS = ""; ORS = "\n\n" }
         { keep = 1; out = ""; n = split($0, line, "\n")
           for (i = 1; i <= n; i++) {
             if (line[i] ~ /^Suites:/) {
               m = split(substr(line[i], 8), word, /[ \t]+/); s = "Suites:"; kept = 0
               for (j = 1; j <= m; j++) if (word[j] != "" && word[j] !~ /-security$/) { s = s " " word[j]; kept++ }
               if (!kept) keep = 0
               line[i] = s
             }
             out = out line[i] "\n"
           }
           if (keep) printf "%s", out ORS }'
  else
    grep -Ev '^[[:space:]]*deb(-src)?[[:space:]]+(\[[^]]*\][[:space:]]+)?[^[:space:]]+[[:space:]]+[^[:space:]]*-security([[:space:]]|$)' || true
  fi
}

# Source entries beside each binary one.
source_entries() {
  if [ "$1" = sources ]; then sed 's/^Types: deb$/Types: deb-src/'; else sed -n 's/^deb /deb-src /p'; fi
}

install_packages() {
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get "$@" install -y -q --no-install-recommends "${missing[@]}"
}

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  apt_update
  if ! install_packages; then
    say "the packages cannot be installed as one set; trying again from the release's own suites"
    private_apt .apt-release release_suites
    apt_update "${apt_opts[@]}"
    if ! install_packages "${apt_opts[@]}"; then
      for p in "${missing[@]}"; do
        if ! apt-get "${apt_opts[@]}" install -s -q "$p" >/dev/null 2>&1; then
          say "cannot install $p: no version of it can be had from this machine's package sources"
          exit 1
        fi
      done
      say "cannot install these packages together: ${missing[*]}"
      exit 1
    fi
  fi
fi

# Where the kernel refuses 32-bit programs (some virtual machines lack the
# 32-bit mode), wine32 and with it the 32-bit exe we ship run through
# qemu-user, registered with the kernel for i386 programs. Debian 12's own
# qemu (7.2) ignores the address hints Wine's start-up relies on; the
# release's backports suite has one that works.
wine32_loader=${WT_WINE32_LOADER:-/usr/lib/wine/wine}
binfmt=${WT_BINFMT_DIR:-/proc/sys/fs/binfmt_misc}
qemu=/usr/bin/qemu-i386
qemu_min=1:10.0
# Through bash, whose message names the kernel's refusal ("Exec format error").
starts_32bit() { bash -c 'exec "$0" --version' "$wine32_loader" >/dev/null 2>&1; }

# The machine's sources, and the release's backports suite beside each entry
# of the release itself.
with_backports() {
  local codename
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  if [ "$1" = sources ]; then
    awk -v release="$codename" 'BEGIN { RS = ""; ORS = "\n\n" }
         { print
           n = split($0, line, "\n"); out = ""; has = 0
           for (i = 1; i <= n; i++) {
             if (line[i] ~ /^Suites:/) {
               m = split(substr(line[i], 8), word, /[ \t]+/)
               for (j = 1; j <= m; j++) if (word[j] == release) has = 1
               line[i] = "Suites: " release "-backports"
             }
             out = out line[i] "\n"
           }
           if (has) printf "%s", out ORS }'
  else
    sed -n -e p -e "s/^\(deb\(-src\)\?[[:space:]]\+\(\[[^]]*\][[:space:]]\+\)\?[^[:space:]]\+[[:space:]]\+\)$codename\([[:space:]]\)/\1$codename-backports\4/p"
  fi
}

qemu_good() {
  local version
  version=$(dpkg-query -W -f='${Version}' qemu-user 2>/dev/null) || return 1
  [ -n "$version" ] && dpkg --compare-versions "$version" ge "$qemu_min"
}

if [ -e "$wine32_loader" ] && ! starts_32bit; then
  codename=$(. /etc/os-release && echo "${VERSION_CODENAME:-}")
  if ! qemu_good; then
    private_apt .apt-backports with_backports
    apt_update "${apt_opts[@]}"
    DEBIAN_FRONTEND=noninteractive $SUDO apt-get "${apt_opts[@]}" install -y -q --no-install-recommends \
      -t "$codename-backports" qemu-user ||
      { say "cannot install qemu-user from $codename-backports: 32-bit programs will not start here"; exit 1; }
  fi
  [ -e "$binfmt/register" ] || $SUDO mount -t binfmt_misc binfmt_misc "$binfmt" ||
    { say "cannot mount binfmt_misc at $binfmt: 32-bit programs will not start here"; exit 1; }
  if [ -e "$binfmt/qemu-i386" ]; then
    say "replacing the kernel's entry qemu-i386 ($(sed -n 's/^interpreter //p' "$binfmt/qemu-i386")), which does not start them"
    echo -1 | $SUDO tee "$binfmt/qemu-i386" >/dev/null
  fi
  # i386 ELF programs (ET_EXEC or ET_DYN); F: the kernel opens qemu now, so
  # it serves every later program, in any folder.
  printf '%s' ':qemu-i386:M::\x7fELF\x01\x01\x01\x00\x00\x00\x00\x00\x00\x00\x00\x00\x02\x00\x03\x00:\xff\xff\xff\xff\xff\xfe\xfe\x00\xff\xff\xff\xff\xff\xff\xff\xff\xfe\xff\xff\xff:'"$qemu"':F' |
    $SUDO tee "$binfmt/register" >/dev/null ||
    { say "cannot register qemu-user with binfmt_misc: 32-bit programs will not start here"; exit 1; }
  say "this kernel cannot start 32-bit programs: qemu-user $(dpkg-query -W -f='${Version}' qemu-user) now runs them (binfmt_misc entry qemu-i386; undo: echo -1 > $binfmt/qemu-i386)"
  starts_32bit || say "32-bit programs still do not start: $(bash -c 'exec "$0" --version' "$wine32_loader" 2>&1 | head -n1)"
fi

# The libjpeg-turbo and zlib sources, unpacked once into third_party/ (not
# committed): the exe builds both with sections of their own.
src_root="$top/third_party"
missing_sources=()
for source in libjpeg-turbo zlib; do
  ls -d "$src_root/$source"-*/ >/dev/null 2>&1 || missing_sources+=("$source")
done
if [ ${#missing_sources[@]} -gt 0 ]; then
  mkdir -p "$src_root"
  private_apt .apt-src source_entries
  apt_update "${apt_opts[@]}"
  for source in "${missing_sources[@]}"; do
    # The newest version first; a mirror that lacks its files may still hold
    # an earlier one of the same release.
    fetched=""
    for version in "" $(apt-cache "${apt_opts[@]}" showsrc "$source" 2>/dev/null | sed -n 's/^Version: //p' | sort -ru); do
      if (cd "$src_root" && apt-get "${apt_opts[@]}" source -q "$source${version:+=$version}"); then
        fetched=yes
        break
      fi
    done
    [ -n "$fetched" ] || { say "cannot fetch the source of $source: no version of it can be had from this machine's package sources"; exit 1; }
  done
fi
