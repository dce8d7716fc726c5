#!/usr/bin/env bash
# lintian.sh PACKAGE - Debian's lintian finds no error and no warning in the
# package, and among its informational and pedantic notes none about
# hardening or a section the programs need not carry.  The other notes are
# shown but pass.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
needs lintian lintian

# lintian refuses to run as root unless told that it may.
tags=$(lintian --allow-root --display-info --pedantic --fail-on error,warning "$1") ||
	fail "lintian found errors or warnings in $1:"$'\n'"$tags"
[ -z "$tags" ] || echo "$tags"
if grep -E 'hardening-|binary-has-unneeded-section' <<<"$tags"; then
	fail "lintian: the programs in $1 are not hardened as Debian's are"
fi
echo "lintian: no error, no warning, no hardening note"
