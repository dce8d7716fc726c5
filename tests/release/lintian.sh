#!/usr/bin/env bash
# lintian.sh PACKAGE - Debian's lintian finds no error and no warning in the
# package.  Its informational notes are shown but pass.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
needs lintian lintian

# lintian refuses to run as root unless told that it may.
lintian --allow-root --info --fail-on error,warning "$1" || fail "lintian found errors or warnings in $1"
echo "lintian: no error, no warning"
