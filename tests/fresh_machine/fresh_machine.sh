#!/usr/bin/env bash
# The test command on a new machine, which has only the README's prerequisites
# (cmake, ninja, g++, python3) and the basic shell tools.  The suites that
# need nothing more run on just those in every run of tests/run-all.sh; here
# every other suite runs in a fresh clone on that PATH alone: with CI unset
# each must be skipped and say why, and the command pass; with CI=true each
# must fail, naming the tool it lacks.  A suite that forgets to check for a
# tool fails the first run; one that needs no tool but says it does passes
# there, and is named so that it runs on the prerequisites in every run.
set -euo pipefail
cd "$(dirname "$0")/../.."
source tests/needs.sh
needs git git
needs dpkg dpkg

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
git clone -q . "$work/clone"
bin=$work/bin
prerequisites_path "$bin"

# run_all CI-VALUE [SUITE...]: the test command in the clone, on that PATH alone.
run_all() {
	local ci=$1
	shift
	rm -f "$work/results"
	(cd "$work/clone" && env -i HOME="$work" PATH="$bin" LANG=C.UTF-8 CI="$ci" \
		RUN_ALL_RESULTS="$work/results" RUN_ALL_ONLY=tools bash tests/run-all.sh "$@")
}

echo "--- fresh machine, CI unset: every suite that needs a tool says why it cannot run"
run_all "" >"$work/bare.log" 2>&1 || {
	cat "$work/bare.log"
	echo "FAILED: the test command failed with only the prerequisites installed"
	exit 1
}
sed -n '/^=== summary/,$p' "$work/bare.log"
mapfile -t skipped < <(awk '$2 == "skipped" { print $1 }' "$work/results")
ran=$(awk '$2 != "skipped" { print $1 }' "$work/results")
if [ -n "$ran" ]; then
	echo "FAILED: these suites ran with only the prerequisites: mark them \"bare\" in tests/run-all.sh," \
		"so that every run shows them passing on the prerequisites alone:" $ran
	exit 1
fi
if [ ${#skipped[@]} -eq 0 ]; then
	echo "FAILED: nothing was skipped, yet only the prerequisites were reachable"
	exit 1
fi
if grep -q '^[^ ].*  *skipped ([0-9]* s): *$' "$work/bare.log"; then
	echo "FAILED: a suite was skipped without a reason"
	exit 1
fi

echo "--- fresh machine, CI=true: each of those suites fails, naming what it lacks"
if run_all true "${skipped[@]}" >"$work/ci.log" 2>&1; then
	cat "$work/ci.log"
	echo "FAILED: under CI=true the test command passed without its tools"
	exit 1
fi
sed -n '/^=== summary/,$p' "$work/ci.log"
if awk '$2 != "failed" { found = 1 } END { exit !found }' "$work/results"; then
	echo "FAILED: under CI=true a suite without its tools did not fail"
	exit 1
fi
grep -m 1 'failed ([0-9]* s): CI must run it, but ' "$work/ci.log"
echo "fresh machine: ${#skipped[@]} suites skipped with a reason, each a failure under CI=true"
