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
sizes() {
	{ python3 tests/fuzz/fuzz.py "$build" "$1" && python3 tests/model/model.py "$build" "$2"; } >/dev/null 2>&1
}
if ! sizes 9000 2000; then
	echo full >>"$log"
	exit 1
fi
if ! sizes 90000 12000; then
	echo soak >>"$log"
	exit 1
fi
echo none >>"$log"
