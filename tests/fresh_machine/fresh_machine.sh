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

# run_all CI-VALUE: the full level's suites that need a tool, in the clone, on
# that PATH alone, without the fixtures that they would need once they ran;
# then each suite's name, its state and the reason it gave for a skip.
run_all() {
	local status=0
	(cd "$work/clone" && env -i HOME="$work" PATH="$bin" LANG=C.UTF-8 CI="$1" \
		bash tests/run-all.sh -L '^tools$' -FA '.*' --output-junit "$work/results.xml") >"$work/log" 2>&1 || status=$?
	python3 - "$work/results.xml" >"$work/results" <<-'END'
	import sys, xml.etree.ElementTree as tree
	for case in tree.parse(sys.argv[1]).getroot().iter('testcase'):
	    said = [l for l in (case.findtext('system-out') or '').splitlines() if l.startswith('SKIPPED: ')]
	    print(case.get('name'), 'skipped' if case.find('skipped') is not None else case.get('status'), *said[:1])
	END
	return $status
}

echo "--- fresh machine, CI unset: every suite that needs a tool says why it cannot run"
run_all "" || {
	cat "$work/log"
	echo "FAILED: the test command failed with only the prerequisites installed"
	exit 1
}
cat "$work/results"
mapfile -t skipped < <(awk '$2 == "skipped" { print $1 }' "$work/results")
ran=$(awk '$2 != "skipped" { print $1 }' "$work/results")
if [ -n "$ran" ]; then
	echo "FAILED: these suites ran with only the prerequisites: make them \"bare\" in tests/suites/CMakeLists.txt," \
		"so that every run shows them passing on the prerequisites alone:" $ran
	exit 1
fi
if [ ${#skipped[@]} -eq 0 ]; then
	echo "FAILED: nothing was skipped, yet only the prerequisites were reachable"
	exit 1
fi
if awk '$3 != "SKIPPED:" { found = 1 } END { exit !found }' "$work/results"; then
	echo "FAILED: a suite was skipped without a reason"
	exit 1
fi

echo "--- fresh machine, CI=true: each of those suites fails, naming what it lacks"
if run_all true; then
	cat "$work/log"
	echo "FAILED: under CI=true the test command passed without its tools"
	exit 1
fi
cat "$work/results"
if awk '$2 != "fail" || $3 != "SKIPPED:" { found = 1 } END { exit !found }' "$work/results"; then
	echo "FAILED: under CI=true a suite without its tools did not fail, naming what it lacks"
	exit 1
fi
echo "fresh machine: ${#skipped[@]} suites skipped with a reason, each a failure under CI=true"
