#!/usr/bin/env bash
# suite - runs one suite of the test command for CTest (CMakeLists.txt beside
# this file), from the top of the tree, and judges what it leaves behind.
#
# usage: suite.sh bare|tools|keeps COMMAND...
#
# bare: the suite needs nothing but the README's prerequisites, and runs with
# those alone on its PATH, so that every run proves them enough (the fresh
# machine suite shows every other suite skipping without its tools).  tools:
# anything installed, with Debian's python3 first: a python3 found first may be
# a version manager's shim, which takes a third of a second to start.  keeps:
# as tools, for a fixture that leaves a server running for the suites after it.
#
# COMMAND may be "build PRESET [TOOL PACKAGE]": configures and builds PRESET,
# once TOOL is found.  A suite that cannot run here prints "SKIPPED: why" and
# ends with status 77 (tests/needs.sh), which CTest reports as skipped; under
# CI=true, which installs every tool, that is a failure.  So is a process of
# the suite's still running after it ends: it is named and ended.
set -uo pipefail
cd "$(dirname "$0")/../.."
source tests/needs.sh
kind=$1
shift
case $kind in
bare) PATH=$PWD/build-prerequisites/bin ;;
tools | keeps) PATH=$PWD/build-prerequisites/python:$PATH ;;
*) echo "suite.sh: unknown kind $kind" >&2; exit 2 ;;
esac

build() {
	[ $# -lt 3 ] || needs "$2" "$3"
	cmake --preset "$1" >/dev/null && cmake --build --preset "$1"
}

# Every process the suite starts carries its mark, the run's and the suite's,
# whatever it does to its process group.
mark=${RUN_ALL_RUN:-0}.$$
export RUN_ALL_SUITE=$mark
status=0
("$@") </dev/null || status=$?
unset RUN_ALL_SUITE
# Its processor time, the measure of what a suite costs when others run beside it.
# (Not in a pipeline, whose own process would have no children.)
times > >(awk 'NR == 2 { gsub(/[ms]/, " "); printf "suite: %.1f s of processor time\n", $1 * 60 + $2 + $3 * 60 + $4 }')
wait $!

if [ $status -eq 77 ] && [ "${CI:-}" = true ]; then
	echo "FAILED: CI installs every tool, so this suite must run, but it was skipped"
	status=1
fi
[ "$kind" != keeps ] || exit $status
for _ in $(seq 10); do
	left=$(grep -lzxF "RUN_ALL_SUITE=$mark" /proc/[0-9]*/environ 2>/dev/null | cut -d/ -f3)
	[ -n "$left" ] || exit $status
	sleep 0.5
done
echo "FAILED: the suite left these processes running (now ended):"
for pid in $left; do
	echo "$pid $(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null)"
	kill -KILL "$pid" 2>/dev/null
done
exit 1
