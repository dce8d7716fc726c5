#!/usr/bin/env bash
# sums.sh DIR - DIR/SHA256SUMS lists every package in DIR, once, and
# sha256sum -c finds each as listed: what a user runs on a download.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
needs sha256sum coreutils
cd "$1"
[ -s SHA256SUMS ] || fail "no SHA256SUMS in $1"
listed=$(sed 's/^[0-9a-f]\{64\}  //' SHA256SUMS)
present=$(ls | grep -vx SHA256SUMS)
[ "$listed" = "$present" ] || fail "SHA256SUMS lists"$'\n'"$listed"$'\n'"but $1 holds"$'\n'"$present"
sha256sum -c --strict SHA256SUMS || fail "a package in $1 is not the one SHA256SUMS lists"
