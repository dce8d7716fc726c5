#!/usr/bin/env bash
# windows.sh ARCH - a Windows build's every case under Wine: x86_64, or i686
# under qemu-i386.  The tests themselves skip when no Wine can run the build;
# wine.sh then leaves the reason beside the prefix, and the suite is skipped.
set -euo pipefail
cd "$(dirname "$0")/../.."
source tests/needs.sh
needs "$1-w64-mingw32-g++" mingw-w64
prefix=build-mingw-$1/wine
[ -z "${WINE_PREFIXES:-}" ] || prefix=$WINE_PREFIXES/$1
rm -f "$prefix/unavailable"
cmake --workflow --preset "mingw-$1"
[ ! -e "$prefix/unavailable" ] || skip "$(cat "$prefix/unavailable")"
