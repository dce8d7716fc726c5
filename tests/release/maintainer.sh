#!/usr/bin/env bash
# maintainer.sh PACKAGE ROOT - the package's Maintainer is the one who signs
# its changelog (unpacked under ROOT), an address that can reach no one by
# mistake, and no file of the package names a placeholder address; its
# version is that of its changelog and of CHANGELOG.md.
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

# The package's version is its changelog's newest, and CHANGELOG.md's.
version=$(dpkg-deb -f "$1" Version)
newest=$(zcat "$2/usr/share/doc/console-dialogues/changelog.gz" | sed -n '1s/^console-dialogues (\([^)]*\)).*/\1/p')
release=$(sed -n 's/^## \[\([0-9.]*\)\] - .*/\1/p' "$(dirname "$0")/../../CHANGELOG.md" | head -n1)
echo "Version: $version, changelog: $newest, CHANGELOG.md: $release"
[ "$version" = "$newest" ] && [ "$version" = "$release" ] ||
	fail "the versions disagree: package $version, changelog $newest, CHANGELOG.md $release"
