#!/usr/bin/env bash
# Builds the programs and runs every test suite, then prints one line a suite
# (passed, failed, or skipped and why) and the counts.  A failing suite does not
# stop the ones after it; the status is 1 if any failed.
#
# usage: run-all.sh [SUITE...]   the suites named (default: all of them)
#
# A suite whose tool is missing ends with status 77 and a line "SKIPPED: why"
# (tests/needs.sh).  Under CI=true that is a failure: CI installs every tool.
set -uo pipefail
cd "$(dirname "$0")/.."
source tests/needs.sh

# RUN_ALL_SCALE=N divides the fuzzer's and the model's counts by N, for
# tests/fresh_machine.sh, which checks that each suite finds its tools.
scale=${RUN_ALL_SCALE:-1}

# build PRESET: configures and builds a preset, for a suite that runs its programs.
build() {
	cmake --preset "$1" >/dev/null && cmake --build --preset "$1"
}

# The golden and pipe tests: every case of tests/CMakeLists.txt, natively.
suite_golden() {
	cmake --workflow --preset default
}

# The Windows builds, every case run under Wine (README, "Windows builds").
# The tests themselves skip when no Wine can run the build; wine.sh then leaves
# the reason in the build folder.
windows() {
	needs "$1-w64-mingw32-g++" mingw-w64
	rm -f "build-mingw-$1/wine/unavailable"
	cmake --workflow --preset "mingw-$1" || return 1
	if [ -e "build-mingw-$1/wine/unavailable" ]; then
		skip "$(cat "build-mingw-$1/wine/unavailable")"
	fi
}
suite_windows_x86_64() { windows x86_64; }
suite_windows_i686() { windows i686; }

# The release: both Windows ZIPs and the Debian package, made by one command,
# unpacked and run as a user gets them, and checked by lintian and man.
suite_release() {
	bash tests/release/release.sh
}

# Both compilers' builds with warnings as errors; g++ even where clang is missing.
suite_warnings() {
	build dev || return 1
	command -v clang++ >/dev/null ||
		skip "clang++ is not installed (Debian package clang); the g++ build passed"
	build clang
}

suite_static_analysis() {
	needs clang++ clang
	needs clang-tidy clang-tidy
	needs cppcheck cppcheck
	bash tests/static-analysis.sh
}

# The whole CTest suite under AddressSanitizer and UBSan.
suite_sanitizers() {
	cmake --workflow --preset asan
}

# Seeded random input, sanitized and plain.  The sanitized suite checks for
# leaks; the fuzzer leaves that out, since it triples a sanitized start (the
# programs allocate nothing themselves).
suite_fuzzing() {
	build asan || return 1
	build default || return 1
	ASAN_OPTIONS=detect_leaks=0 python3 tests/fuzz/fuzz.py build-asan $((10000 / scale)) \
		--timeout 30 --label sanitized &&
		python3 tests/fuzz/fuzz.py build $((90000 / scale))
}

# libFuzzer looks for a double that value_table's row formatter writes other
# than snprintf("%8.4lf") does.
suite_rows_fuzz() {
	bash tests/rows_fuzz.sh 25
}

# value_table and triangle_test against exact rational arithmetic.
suite_model() {
	build default || return 1
	python3 tests/model/model.py build $((12000 / scale))
}

# The software extended type, forced on x86: the whole CTest suite (with the
# differential test against the x87), the model and the fuzzer on that build.
suite_soft_extended() {
	bash tests/extended/soft.sh $((3000 / scale)) $((20000 / scale))
}

# libFuzzer looks for operands on which the software type and the x87 differ.
suite_extended_fuzz() {
	bash tests/extended/fuzz.sh 20
}

# 64-bit ARM, where long double is no x87 format: every case under qemu.
suite_aarch64() {
	bash tests/aarch64.sh
}

# The programs built to WebAssembly, every case under Node, then the page in
# headless Chromium, typed into as a user would.
suite_wasm_node() {
	bash tests/wasm/node.sh $((400 / scale)) $((200 / scale))
}
suite_browser() {
	bash tests/wasm/browser.sh
}

suite_coverage() {
	needs gcovr gcovr
	bash tests/coverage.sh
}

# The one test in a real terminal: tmux and luit show what a user would see.
suite_terminal() {
	build default || return 1
	bash tests/terminal/value_table.sh build/value_table
}

# The test command itself on a machine with nothing but the prerequisites.
suite_fresh_machine() {
	bash tests/fresh_machine.sh
}

# id, then the name the summary gives it; in the order they run.
all_suites=(
	golden "golden and pipe tests"
	windows_x86_64 "Windows x86-64"
	windows_i686 "Windows i686"
	release "release packages"
	warnings "warnings"
	static_analysis "static analysis"
	sanitizers "sanitizers"
	fuzzing "fuzzing"
	rows_fuzz "row formatter fuzzing"
	model "arithmetic model"
	soft_extended "software extended type"
	extended_fuzz "extended type fuzzing"
	aarch64 "64-bit ARM"
	wasm_node "WebAssembly under Node"
	browser "web page in Chromium"
	coverage "coverage"
	terminal "terminal"
	fresh_machine "fresh machine"
)

wanted=" $* "
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
summary=() passed=0 failed=0 skipped=0
for ((i = 0; i < ${#all_suites[@]}; i += 2)); do
	id=${all_suites[i]} name=${all_suites[i + 1]}
	[ $# -eq 0 ] || [[ $wanted == *" $id "* ]] || continue
	echo "=== $name"
	started=$SECONDS
	# A subshell, so that a suite's skip or exit ends the suite alone.
	(set -e; "suite_$id") 2>&1 | tee "$logs/$id"
	status=${PIPESTATUS[0]}
	took="$((SECONDS - started)) s"
	reason=$(sed -n 's/^SKIPPED: //p' "$logs/$id" | tail -n 1)
	if [ "$status" -eq 0 ]; then
		result="passed ($took)" passed=$((passed + 1))
	elif [ "$status" -eq 77 ] && [ "${CI:-}" != true ]; then
		result="skipped: $reason" skipped=$((skipped + 1))
	elif [ "$status" -eq 77 ]; then
		result="failed: CI must run it, but $reason" failed=$((failed + 1))
	else
		result="failed with status $status ($took)" failed=$((failed + 1))
	fi
	summary+=("$(printf '%-24s %s' "$name" "$result")")
	# For tests/fresh_machine.sh, which runs this script again.
	[ -z "${RUN_ALL_RESULTS:-}" ] || echo "$id ${result%%[ :]*}" >>"$RUN_ALL_RESULTS"
done

echo
echo "=== summary"
printf '%s\n' "${summary[@]}"
echo "suites: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
