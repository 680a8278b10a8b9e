#!/usr/bin/env bash
# check-release.sh <signed wrentide_setup.exe> [build folder]
# Checks a signed release against these sources. The payload programs inside
# the release carry signatures of their own, so taking off the exe's signature
# alone cannot give back the unsigned build's bytes. Instead this takes every
# signature out of the release, builds the product from these sources with
# exactly those signatures put back in place of signing, and compares the two
# files byte for byte. Builds in a temporary folder unless given one (which it
# then configures for itself).
set -euo pipefail
if [ $# -lt 1 ] || [ $# -gt 2 ]; then
  echo "usage: $0 <signed wrentide_setup.exe> [build folder]" >&2
  exit 2
fi
top=$(cd "$(dirname "$0")/.." && pwd)
release=$(realpath "$1")
"$top/scripts/install-deps.sh"

# Nothing from this shell may sign: the release's own signatures only.
unset WT_SIGN_PKCS12 WT_SIGN_PASSWORD WT_SIGN_TIMESTAMP_URL WT_SIGN_SIGNATURES
work=$(mktemp -d /tmp/wt-release.XXXXXX)
trap 'rm -rf "$work"' EXIT
build=${2:-$work/build}

python3 "$top/scripts/authenticode.py" signatures "$release" "$work/signatures"
# Only the product's tree, without tests, is built (as check-reproducible.sh).
if ! { cmake -S "$top" -B "$build" -G Ninja -DWT_TEST_ARCH=x86_64 -DWT_SIGN_PKCS12= \
         "-DWT_SIGN_SIGNATURES=$work/signatures" &&
       cmake --build "$build" --target win; } >"$work/build.log" 2>&1; then
  cat "$work/build.log" >&2
  echo "check-release: the build with the release's signatures failed" >&2
  exit 1
fi
rebuilt="$build/win/wrentide_setup.exe"
echo "release  SHA-256: $(sha256sum "$release" | cut -d' ' -f1)"
echo "rebuilt  SHA-256: $(sha256sum "$rebuilt" | cut -d' ' -f1)"
if ! cmp -s "$release" "$rebuilt"; then
  echo "check-release: MISMATCH, the release is not these sources' build plus its signatures" >&2
  exit 1
fi
echo "check-release: match, the release is these sources' build plus its signatures"
