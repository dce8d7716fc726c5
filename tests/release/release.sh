#!/usr/bin/env bash
# release.sh - makes the release packages with `cmake --workflow --preset
# release` and checks them (tests/release/CMakeLists.txt).  Exits 77 when a
# check could not run here, after naming the package that brings its tool.
# The release built a second time, to see the same bytes, takes as long as
# the first: the soak level alone checks it (RUN_ALL_LEVEL=soak), and so can
# tests/release/reproducible.sh after the release.
#
# usage: release.sh [packages|zips]   (default: both)
# packages: makes the release and checks all but the Windows ZIPs' programs;
# zips: runs those programs under Wine, in the release made before.  Apart,
# the Wine prefixes are held only as long as the ZIPs need them.
set -euo pipefail
cd "$(dirname "$0")/../.."
. tests/needs.sh
needs i686-w64-mingw32-g++ mingw-w64
needs x86_64-w64-mingw32-g++ mingw-w64
needs dpkg-shlibdeps dpkg-dev
needs gzip gzip

part=${1:-all}
leave_out='^release/reproducible$'
[ "${RUN_ALL_LEVEL:-}" != soak ] || leave_out='^$'
case $part in
all | packages) cmake --workflow --preset release ;;
zips)
	[ -e build-release/packages/SHA256SUMS ] || { echo "release.sh: no release made"; exit 1; }
	# Run beside the Windows builds, the ZIPs use their prefixes: making two
	# more took minutes of the run's longest chain.
	[ -z "${WINE_PREFIXES:-}" ] || grep -qF "$WINE_PREFIXES/" build-release/tests/release/CTestTestfile.cmake ||
		{ echo "release.sh: the release was configured without WINE_PREFIXES=$WINE_PREFIXES"; exit 1; }
	;;
*) echo "usage: release.sh [packages|zips]" >&2; exit 2 ;;
esac
rm -rf build-release/skipped
case $part in
all) ctest --preset release -E "$leave_out" ;;
packages) ctest --preset release -E "$leave_out|^release/zip-win" ;;
zips) ctest --preset release -R '^release/zip-win' ;;
esac

reasons=$(cat build-release/skipped/* build-release/tests/release/wine-*/unavailable \
	${WINE_PREFIXES:+"$WINE_PREFIXES"/*/unavailable} 2>/dev/null | sort -u || true)
if [ -n "$reasons" ]; then
	while read -r reason; do
		echo "SKIPPED: $reason"
	done <<<"$reasons"
	exit 77
fi
