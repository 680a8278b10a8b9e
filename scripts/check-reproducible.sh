#!/usr/bin/env bash
# Builds the product twice, from two copies of this source tree in folders of
# different names and lengths, and fails unless both give the same bytes: the
# setup exe, the payload files (the programs among them) and the packed
# streams. Prints each file's SHA-256. Then signs one with a throwaway
# certificate and proves the README's release check on it. Only the 32-bit
# product's tree is built.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
"$top/scripts/install-deps.sh"

# Unsigned builds, whatever this shell's signing settings.
unset WT_SIGN_PKCS12 WT_SIGN_PASSWORD WT_SIGN_TIMESTAMP_URL WT_SIGN_SIGNATURES
work=$(mktemp -d /tmp/wt-reproducible.XXXXXX)
trap 'rm -rf "$work"' EXIT

# What a clean clone holds (tracked and new files, the way they are now),
# with the fetched libjpeg and zlib sources beside it.
copy_source() {
  local dest=$1 file
  mkdir -p "$dest"
  (cd "$top" && git ls-files -z --cached --others --exclude-standard |
     while IFS= read -r -d '' file; do [ -e "$file" ] && printf '%s\0' "$file"; done |
     tar --null -T - -cf - third_party/libjpeg-turbo-*/ third_party/zlib-*/) | tar -C "$dest" -xf -
}

# The 64-bit test arch leaves the product's tree without tests, and only it
# is built.
build() {
  local src=$1
  cmake -S "$src" -B "$src/$2" -G Ninja -DWT_TEST_ARCH=x86_64 >"$work/$2.log" 2>&1 &&
    cmake --build "$src/$2" --target win >>"$work/$2.log" 2>&1 ||
    { cat "$work/$2.log" >&2; echo "check-reproducible: the build in $src/$2 failed" >&2; exit 1; }
}

first="$work/a/src"
second="$work/second-copy/source-tree"
# Both copies first: the sources may change while the first one builds.
copy_source "$first"
mkdir -p "$second" && cp -a "$first/." "$second"
echo "Building in $first/build"
build "$first" build
echo "Building in $second/out-of-the-way-build"
build "$second" out-of-the-way-build

product=(wrentide_setup.exe
         wrentide_setup/payload/files/WrenTide.exe wrentide_setup/payload/files/LPng.dll
         wrentide_setup/payload/files/uninstall.exe)
for f in "$first/build/win/wrentide_setup/payload/files"/* "$first/build/win/wrentide_setup/payload/packed"/*.z; do
  product+=("${f#"$first/build/win/"}")
done

different=0
for f in $(printf '%s\n' "${product[@]}" | sort -u); do
  a="$first/build/win/$f"
  b="$second/out-of-the-way-build/win/$f"
  if [ ! -f "$a" ] || [ ! -f "$b" ]; then
    echo "MISSING    $f" >&2
    different=1
    continue
  fi
  hash_a=$(sha256sum "$a" | cut -d' ' -f1)
  hash_b=$(sha256sum "$b" | cut -d' ' -f1)
  if [ "$hash_a" = "$hash_b" ]; then
    echo "same       $hash_a  $f"
  else
    different=1
    echo "DIFFERENT  $hash_a  $f" >&2
    echo "           $hash_b  (second build)" >&2
    echo "           $(stat -c %s "$a") and $(stat -c %s "$b") bytes long;" \
         "$(cmp -l "$a" "$b" 2>/dev/null | wc -l) differ in the common length, first (offset, octal a, octal b):" \
         "$(cmp -l "$a" "$b" 2>/dev/null | sed -n 1,5p | tr -s ' \n' ' ')" >&2
  fi
done
packed=$(find "$first/build/win/wrentide_setup/payload/packed" -name '*.z' | wc -l)
if [ "$packed" -ne 7 ]; then
  echo "check-reproducible: expected 7 packed streams, found $packed" >&2
  different=1
fi
if [ "$different" -ne 0 ]; then
  echo "check-reproducible: FAILED, two builds of the same sources differ" >&2
  exit 1
fi
echo "check-reproducible: both builds are byte for byte the same"

# A signed release, made by the second copy with a throwaway certificate, and
# the README's check of it, rebuilt in the first copy's folder: it must match,
# and the same release with one byte changed must not.
PYTHONPATH="$top/tests/windows" python3 -c 'import signing, sys; signing.require_tools(); signing.make_certificate(sys.argv[1], "release")' "$work"
release_build="$second/out-of-the-way-build"
echo "Building a signed release in $release_build"
if ! { cmake -S "$second" -B "$release_build" "-DWT_SIGN_PKCS12=$work/release.p12" &&
       WT_SIGN_PASSWORD=wt-test-password cmake --build "$release_build" --target win; } >"$work/release.log" 2>&1; then
  cat "$work/release.log" >&2
  echo "check-reproducible: the signed build failed" >&2
  exit 1
fi
release="$work/wrentide_setup.exe"
cp "$release_build/win/wrentide_setup.exe" "$release"
for program in "$release" "$release_build"/win/wrentide_setup/payload/files/{WrenTide.exe,LPng.dll,uninstall.exe}; do
  if ! osslsigncode verify -CAfile "$work/release.pem" -in "$program" >"$work/verify.log" 2>&1; then
    cat "$work/verify.log" >&2
    echo "check-reproducible: FAILED, the signed build left $program without a valid signature" >&2
    exit 1
  fi
done
echo "The release and its payload programs are signed; checking it:"
"$first/scripts/check-release.sh" "$release" "$first/build"
python3 -c 'import sys; d = bytearray(open(sys.argv[1], "rb").read()); d[len(d) // 2] ^= 1; open(sys.argv[2], "wb").write(d)' \
  "$release" "$work/damaged.exe"
echo "The same release with one byte changed, checked:"
if "$first/scripts/check-release.sh" "$work/damaged.exe" "$first/build"; then
  echo "check-reproducible: FAILED, the release check passed a changed release" >&2
  exit 1
fi
echo "check-reproducible: the signed release is these sources' build plus its signatures; a changed one is caught"
