#!/usr/bin/env bash
# deb_contents.sh PACKAGE EXPECTED - dpkg-deb -c lists exactly the files of
# EXPECTED, with their modes, owners and link targets: nothing missing,
# nothing left over from a build folder, nothing installed under a wrong name.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
needs dpkg-deb dpkg

# Sizes and times change with every build; the rest must not.
dpkg-deb -c "$1" | awk '{ $3 = $4 = $5 = ""; print }' | tr -s ' ' >"${TMPDIR:-/tmp}/deb-contents.$$"
trap 'rm -f "${TMPDIR:-/tmp}/deb-contents.$$"' EXIT
diff -u "$2" "${TMPDIR:-/tmp}/deb-contents.$$" || fail "dpkg-deb -c differs from $2"
echo "$(wc -l <"$2") entries as listed in $2"
