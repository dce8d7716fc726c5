#!/usr/bin/env bash
# The test command on a new machine: run-all.sh in a fresh clone, with a PATH
# that holds only the README's prerequisites (cmake, ninja, g++, python3), what
# g++ runs itself, and the basic shell tools.  With CI unset it must pass and
# name every suite it skipped, with why; with CI=true each of those suites must
# fail, naming the tool it lacks.  A suite that forgets to check for a tool
# fails the first run.  The fuzzer, the model and the longest CTest cases run
# a tenth of their work there (RUN_ALL_SCALE, tests/CMakeLists.txt):
# the whole test command runs them in full.
set -euo pipefail
cd "$(dirname "$0")/../.."
source tests/needs.sh
needs git git

work=$(mktemp -d)
trap 'rm -rf "$work"' EXIT
git clone -q . "$work/clone"

bin=$work/bin
mkdir "$bin"
tools=(cmake ctest ninja g++ as ld python3 bash sh sed grep awk find xargs diff cmp)
mapfile -t -O ${#tools[@]} tools < <(dpkg -L coreutils | sed -n 's#^\(/usr\)\{0,1\}/bin/\([^/]*\)$#\2#p')
for tool in "${tools[@]}"; do
	# Debian's own first: a python3 on the PATH may be a version manager's shim.
	path=/usr/bin/$tool
	[ -x "$path" ] || path=$(command -v "$tool") || continue
	ln -s "$path" "$bin/$tool"
done

# run_all CI-VALUE [SUITE...]: the test command in the clone, on that PATH alone.
run_all() {
	local ci=$1
	shift
	rm -f "$work/results"
	(cd "$work/clone" && env -i HOME="$work" PATH="$bin" LANG=C.UTF-8 CI="$ci" \
		RUN_ALL_RESULTS="$work/results" RUN_ALL_SCALE=10 bash tests/run-all.sh "$@")
}

echo "--- fresh machine, CI unset: every suite runs or says why it cannot"
run_all "" >"$work/bare.log" 2>&1 || {
	cat "$work/bare.log"
	echo "FAILED: the test command failed with only the prerequisites installed"
	exit 1
}
sed -n '/^=== summary/,$p' "$work/bare.log"
mapfile -t skipped < <(awk '$2 == "skipped" { print $1 }' "$work/results")
if [ ${#skipped[@]} -eq 0 ]; then
	echo "FAILED: nothing was skipped, yet only the prerequisites were reachable"
	exit 1
fi
if grep -q '^[^ ].*  *skipped: *$' "$work/bare.log"; then
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
grep -m 1 'failed: CI must run it, but ' "$work/ci.log"
echo "fresh machine: ${#skipped[@]} suites skipped with a reason, each a failure under CI=true"
