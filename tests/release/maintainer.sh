#!/usr/bin/env bash
# maintainer.sh PACKAGE ROOT - the package's Maintainer is the one who signs
# its changelog (unpacked under ROOT), an address that can reach no one by
# mistake, and no file of the package names a placeholder address.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
needs dpkg-deb dpkg

maintainer=$(dpkg-deb -f "$1" Maintainer)
echo "Maintainer: $maintainer"
signed=$(zcat "$2/usr/share/doc/console-dialogues/changelog.gz" | sed -n 's/^ -- \(.*>\)  .*/\1/p' | head -n1)
[ "$maintainer" = "$signed" ] || fail "the changelog is signed by \"$signed\", the package's Maintainer is \"$maintainer\""
[[ $maintainer =~ ^console_dialogues\ \<[^@]+@[a-z0-9.-]+\.invalid\>$ ]] ||
	fail "Maintainer \"$maintainer\" is not the project under .invalid"
if dpkg-deb -I "$1" | grep -n 'example\.\(org\|com\|net\)' ||
	grep -rnz 'example\.\(org\|com\|net\)' "$2" || zgrep -n 'example\.\(org\|com\|net\)' "$2"/usr/share/doc/console-dialogues/changelog.gz; then
	fail "$1 names a placeholder address"
fi
