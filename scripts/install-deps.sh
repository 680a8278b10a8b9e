#!/usr/bin/env bash
# Installs everything the build and the tests need, from Debian's packages, and
# fetches Debian's libjpeg-turbo and zlib sources for the cross build. Safe to run again:
# it does nothing when everything is already in place.
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

missing=()
for p in "${packages[@]}"; do
  dpkg-query -W -f='${Status}\n' "$p" 2>/dev/null | grep -q '^install ok installed$' || missing+=("$p")
done

if [ "${#missing[@]}" -gt 0 ]; then
  if ! dpkg --print-foreign-architectures | grep -qx i386; then
    $SUDO dpkg --add-architecture i386
  fi
  $SUDO apt-get update -q
  DEBIAN_FRONTEND=noninteractive $SUDO apt-get install -y -q --no-install-recommends "${missing[@]}"
fi

# The libjpeg-turbo and zlib sources, unpacked once into third_party/ (not
# committed): the exe builds both with sections of their own.
src_root="$top/third_party"
missing_sources=()
for source in libjpeg-turbo zlib; do
  ls -d "$src_root/$source"-*/ >/dev/null 2>&1 || missing_sources+=("$source")
done
if [ ${#missing_sources[@]} -gt 0 ]; then
  apt_dir="$top/.apt-src"
  mkdir -p "$apt_dir/sources.list.d" "$apt_dir/lists/partial" "$apt_dir/cache/archives/partial" "$src_root"
  : > "$apt_dir/sources.list"
  # Source entries derived from the machine's own package sources; its apt
  # configuration is left as it is.
  if [ -f /etc/apt/sources.list.d/debian.sources ]; then
    sed 's/^Types: deb$/Types: deb-src/' /etc/apt/sources.list.d/debian.sources \
      > "$apt_dir/sources.list.d/debian-src.sources"
  fi
  if [ -f /etc/apt/sources.list ]; then
    sed -n 's/^deb /deb-src /p' /etc/apt/sources.list > "$apt_dir/sources.list.d/debian-src.list"
  fi
  opts=(-o "Dir::Etc::sourcelist=$apt_dir/sources.list"
        -o "Dir::Etc::sourceparts=$apt_dir/sources.list.d"
        -o "Dir::State::Lists=$apt_dir/lists"
        -o "Dir::Cache=$apt_dir/cache")
  apt-get "${opts[@]}" update -q
  for source in "${missing_sources[@]}"; do
    # The newest version first; a mirror that lacks its files may still hold
    # an earlier one of the same release.
    fetched=""
    for version in "" $(apt-cache "${opts[@]}" showsrc "$source" | sed -n 's/^Version: //p' | sort -ru); do
      if (cd "$src_root" && apt-get "${opts[@]}" source -q "$source${version:+=$version}"); then
        fetched=yes
        break
      fi
    done
    [ -n "$fetched" ] || { echo "install-deps: no source of $source could be fetched" >&2; exit 1; }
  done
fi
