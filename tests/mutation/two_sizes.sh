#!/usr/bin/env bash
# two_sizes.sh BUILD LOG: the fuzzer and the model on BUILD at the full level's
# sizes, then, where they pass, at the soak level's; appends to LOG which
# level failed: "full", "soak" or "none".  For mutate.py --command, to see
# whether the smaller sizes kill what the larger ones do.  Both runs begin
# with the same seeded cases, so a failure at the smaller size is one at the
# larger too.
set -u
cd "$(dirname "$0")/../.."
build=$1 log=$2
# size SCRIPT LEVEL: SCRIPT's size at level 1 (full) or 2 (soak), as the
# suites run it (tests/suites/CMakeLists.txt).
size() {
	sed -n "s#.*$1 build {\([0-9]*\)|\([0-9]*\)}.*#\\$2#p" tests/suites/CMakeLists.txt
}
sizes() {
	local fuzz model
	fuzz=$(size tests/fuzz/fuzz.py "$1") model=$(size tests/model/model.py "$1")
	[ -n "$fuzz" ] && [ -n "$model" ] || { echo "two_sizes.sh: no sizes in tests/suites/CMakeLists.txt" >&2; exit 2; }
	{ python3 tests/fuzz/fuzz.py "$build" "$fuzz" && python3 tests/model/model.py "$build" "$model"; } >/dev/null 2>&1
}
if ! sizes 1; then
	echo full >>"$log"
	exit 1
fi
if ! sizes 2; then
	echo soak >>"$log"
	exit 1
fi
echo none >>"$log"
