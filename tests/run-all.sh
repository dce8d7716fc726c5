#!/usr/bin/env bash
# run-all.sh - the full test command: every test suite, each a CTest test of
# tests/suites/, scheduled by CTest; CTest's summary closes the run.
#
# usage: run-all.sh [--soak] [CTEST-ARGUMENT...]
#
# The full level, the default, runs every suite at a size chosen by what it
# catches; --soak runs the same suites with the large random runs of a release
# (ten times the cases or more, longer fuzzing, the release built twice).
# Further arguments go to ctest: -R '^model$' runs one suite, with what it
# needs made first.  A suite whose tool is missing is skipped, saying why,
# and under CI=true fails (tests/suites/suite.sh).
set -uo pipefail
cd "$(dirname "$0")/.."
level=full
if [ "${1:-}" = --soak ]; then
	level=soak
	shift
fi
# Each suite's processes carry a mark of this run (tests/suites/suite.sh).
export RUN_ALL_RUN=$$
(cd tests/suites && cmake --preset suites >/dev/null) || exit 1
# Interrupted, the suites end too: CTest ends the wrappers, and the sweep
# below whatever they started.
trap : INT TERM
(cd tests/suites && ctest --preset "$level" "$@")
status=$?

# Last, anything still running that a suite started, or that runs from this
# clone's build folders, whatever started it.  (The pattern is in a file, so
# that grep does not find itself.)
pattern=$(mktemp)
echo "$PWD/build" >"$pattern"
strays=$( (grep -lzE "^RUN_ALL_SUITE=$$\\." /proc/[0-9]*/environ; grep -lzF -f "$pattern" /proc/[0-9]*/cmdline) 2>/dev/null |
	cut -d/ -f3 | sort -u | grep -vx "$$")
rm -f "$pattern"
if [ -n "$strays" ]; then
	echo "FAILED: these processes of the suites were still running (now ended):"
	for pid in $strays; do
		echo "$pid $(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null)"
		kill -KILL "$pid" 2>/dev/null
	done
	status=1
fi
exit $status
