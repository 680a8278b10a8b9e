#!/usr/bin/env bash
# sign.sh <pkcs12> <time-stamp URL or ""> <description> <program>: signs a
# Windows program in place with Authenticode (SHA-256). The certificate's
# password comes from WT_SIGN_PASSWORD in the environment, through a pipe, so
# that no command line shows it. Any failure leaves the program as it was and
# fails the build: an unsigned file must never pass for a signed one.
set -euo pipefail
pkcs12=$1
timestamp_url=$2
description=$3
program=$4

command -v osslsigncode >/dev/null || { echo "sign.sh: osslsigncode is missing (scripts/install-deps.sh)" >&2; exit 1; }
args=(sign -pkcs12 "$pkcs12" -h sha256 -n "$description")
# osslsigncode cannot read an empty password from a file: none is given then.
[ -z "${WT_SIGN_PASSWORD:-}" ] || args+=(-readpass /dev/stdin)
[ -z "$timestamp_url" ] || args+=(-ts "$timestamp_url")

signed="$program.signing"
trap 'rm -f "$signed"' EXIT
rm -f "$signed"
if ! printf '%s' "${WT_SIGN_PASSWORD:-}" | osslsigncode "${args[@]}" -in "$program" -out "$signed" >"$signed.log" 2>&1; then
  cat "$signed.log" >&2
  rm -f "$signed.log"
  echo "sign.sh: could not sign $program with $pkcs12" >&2
  exit 1
fi
rm -f "$signed.log"
chmod --reference="$program" "$signed"
mv -f "$signed" "$program"
echo "Signed $(basename "$program")"
