#!/usr/bin/env bash
# release.sh - makes the release packages with `cmake --workflow --preset
# release` and checks them (tests/release/CMakeLists.txt).  Exits 77 when a
# check could not run here, after naming the package that brings its tool.
# The release built a second time, to see the same bytes, takes as long as
# the first: the soak level alone checks it (RUN_ALL_LEVEL=soak), and so can
# tests/release/reproducible.sh after the release.
set -euo pipefail
cd "$(dirname "$0")/../.."
. tests/needs.sh
needs i686-w64-mingw32-g++ mingw-w64
needs x86_64-w64-mingw32-g++ mingw-w64
needs dpkg-shlibdeps dpkg-dev
needs gzip gzip

cmake --workflow --preset release
rm -rf build-release/skipped
again=(-E '^release/reproducible$')
[ "${RUN_ALL_LEVEL:-}" != soak ] || again=()
ctest --preset release "${again[@]}"

reasons=$(cat build-release/skipped/* build-release/tests/release/wine-*/unavailable \
	${WINE_PREFIXES:+"$WINE_PREFIXES"/*/unavailable} 2>/dev/null | sort -u || true)
if [ -n "$reasons" ]; then
	while read -r reason; do
		echo "SKIPPED: $reason"
	done <<<"$reasons"
	exit 77
fi
