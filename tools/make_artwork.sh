#!/usr/bin/env bash
# Remakes banner.jpg, banner@2x.jpg, setup.ico and window.ico in wrentide_setup/payload/artwork from
# tools/make_artwork.cpp. Needs g++ and the host's libjpeg-dev. The output is reproducible:
# running it again on the same libjpeg gives the same bytes.
set -euo pipefail
top=$(cd "$(dirname "$0")/.." && pwd)
out="$top/wrentide_setup/payload/artwork"
tmp=$(mktemp -d)
trap 'rm -rf "$tmp"' EXIT

g++ -std=c++17 -O2 -Wall -Wextra -o "$tmp/make_artwork" "$top/tools/make_artwork.cpp" -ljpeg
"$tmp/make_artwork" "$out"

# The licence text is written by hand; only check the shape the setup window relies on.
lines=$(wc -l < "$out/licence.txt")
crlf=$(grep -c $'\r$' "$out/licence.txt" || true)
if [ "$lines" -ne 228 ] || [ "$crlf" -ne 228 ]; then
  echo "licence.txt: $lines lines, $crlf with CR LF (want 228 and 228)" >&2
  exit 1
fi
ls -l "$out"/banner.jpg "$out"/banner@2x.jpg "$out"/setup.ico "$out"/window.ico
