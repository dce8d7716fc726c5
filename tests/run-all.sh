#!/usr/bin/env bash
# Builds the programs and runs every test suite, then prints one line a suite
# (passed, failed, or skipped and why) and the counts.  A failing suite does not
# stop the ones after it; the status is 1 if any failed.
#
# usage: run-all.sh [SUITE...]   the suites named (default: all of them)
#
# A suite whose tool is missing ends with status 77 and a line "SKIPPED: why"
# (tests/needs.sh).  Under CI=true that is a failure: CI installs every tool.
#
# The suites run in two lanes side by side, each about half of the time: the
# native and WebAssembly builds, which keep both cores busy, and the fresh
# machine, the release, Wine and the fuzzers of one core, which leave a core
# idle much of their time.  The row formatter's fuzzer, which runs for a fixed
# time, ends the first lane: the second has room left for a Wine prefix made
# twice (tests/windows/wine.sh).  Suites that share a build folder share a lane.
# A suite's output is printed whole when it ends.  No suite runs longer than
# RUN_ALL_TIMEOUT seconds (default 600), and none may leave a process running.
set -uo pipefail
cd "$(dirname "$0")/.."
self=$PWD/tests/run-all.sh
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
	bash tests/static_analysis/static_analysis.sh
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
	bash tests/rows/fuzz.sh 25
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
	bash tests/aarch64/aarch64.sh
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
	bash tests/coverage/coverage.sh
}

# The one test in a real terminal: tmux and luit show what a user would see.
suite_terminal() {
	build default || return 1
	bash tests/terminal/value_table.sh build/value_table
}

# The test command itself on a machine with nothing but the prerequisites.
suite_fresh_machine() {
	bash tests/fresh_machine/fresh_machine.sh
}

# id, lane, then the name the summary gives it; each lane in the order it runs.
all_suites=(
	golden 1 "golden and pipe tests"
	warnings 1 "warnings"
	static_analysis 1 "static analysis"
	sanitizers 1 "sanitizers"
	fuzzing 1 "fuzzing"
	model 1 "arithmetic model"
	terminal 1 "terminal"
	soft_extended 1 "software extended type"
	wasm_node 1 "WebAssembly under Node"
	browser 1 "web page in Chromium"
	rows_fuzz 1 "row formatter fuzzing"
	fresh_machine 2 "fresh machine"
	release 2 "release packages"
	windows_i686 2 "Windows i686"
	windows_x86_64 2 "Windows x86-64"
	extended_fuzz 2 "extended type fuzzing"
	aarch64 2 "64-bit ARM"
	coverage 2 "coverage"
)

# run-all.sh --suite ID: one suite, as run by a lane below.
if [ "${1:-}" = --suite ]; then
	set -e
	"suite_$2"
	exit 0
fi

# leaked MARK: ends and names the processes of a suite still running a few
# seconds after it ended: those whose environment carries its MARK.
leaked() {
	local pids pid
	for _ in 1 2 3 4 5 6 7 8 9 10; do
		pids=$(grep -lzxF "RUN_ALL_SUITE=$1" /proc/[0-9]*/environ 2>/dev/null | cut -d/ -f3)
		[ -n "$pids" ] || return 0
		sleep 0.5
	done
	for pid in $pids; do
		echo "$pid $(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null)"
		kill -KILL "$pid" 2>/dev/null
	done
}

# lane N: runs the wanted suites of lane N one after another; each leaves its
# output in $logs/ID, then its status, time and leaked processes in $logs/ID.done.
lane() {
	local i id status started
	for ((i = 0; i < ${#all_suites[@]}; i += 3)); do
		id=${all_suites[i]}
		[ "${all_suites[i + 1]}" = "$1" ] && [[ $wanted == *" $id "* ]] || continue
		started=$SECONDS status=0
		RUN_ALL_SUITE=$id.$$ timeout -k 10 "$limit" bash "$self" --suite "$id" \
			</dev/null >"$logs/$id" 2>&1 || status=$?
		leaked "$id.$$" >"$logs/$id.leaked"
		echo "$status $((SECONDS - started))" >"$logs/$id.tmp"
		mv "$logs/$id.tmp" "$logs/$id.done"
	done
}

limit=${RUN_ALL_TIMEOUT:-600}
wanted=" $* "
if [ $# -eq 0 ]; then
	for ((i = 0; i < ${#all_suites[@]}; i += 3)); do wanted+="${all_suites[i]} "; done
fi
logs=$(mktemp -d)
trap 'rm -rf "$logs"' EXIT
# Interrupted, the suites end too: each timeout is in a process group of its
# own, so it is found by its mark, and passes the signal on to its suite.
interrupted() {
	trap - INT TERM
	grep -lzE "^RUN_ALL_SUITE=[a-z0-9_]+\.$$\$" /proc/[0-9]*/environ 2>/dev/null |
		cut -d/ -f3 | xargs -r kill -TERM 2>/dev/null
	kill $(jobs -p) 2>/dev/null
	exit 130
}
trap interrupted INT TERM
lane 1 &
lane 2 &

# Each suite's output as it ends; the summary keeps the order above.
declare -A result
summary=() passed=0 failed=0 skipped=0 left=0
for ((i = 0; i < ${#all_suites[@]}; i += 3)); do
	[[ $wanted == *" ${all_suites[i]} "* ]] && left=$((left + 1))
done
while [ $left -gt 0 ]; do
	sleep 1
	for ((i = 0; i < ${#all_suites[@]}; i += 3)); do
		id=${all_suites[i]} name=${all_suites[i + 2]}
		[ -e "$logs/$id.done" ] && [ -z "${result[$id]:-}" ] || continue
		read -r status took <"$logs/$id.done"
		echo "=== $name"
		cat "$logs/$id"
		reason=$(sed -n 's/^SKIPPED: //p' "$logs/$id" | tail -n 1)
		leaks=$(wc -l <"$logs/$id.leaked")
		if [ "$leaks" -gt 0 ]; then
			echo "--- $name left these processes running (now ended):"
			cat "$logs/$id.leaked"
			result[$id]="failed: left $leaks processes running ($took s)"
		elif [ "$status" -eq 0 ]; then
			result[$id]="passed ($took s)"
		elif [ "$status" -eq 77 ] && [ "${CI:-}" != true ]; then
			result[$id]="skipped: $reason"
		elif [ "$status" -eq 77 ]; then
			result[$id]="failed: CI must run it, but $reason"
		elif [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
			result[$id]="failed: did not end within $limit s"
		else
			result[$id]="failed with status $status ($took s)"
		fi
		# For tests/fresh_machine.sh, which runs this script again.
		[ -z "${RUN_ALL_RESULTS:-}" ] || echo "$id ${result[$id]%%[ :]*}" >>"$RUN_ALL_RESULTS"
		left=$((left - 1))
	done
done
wait

for ((i = 0; i < ${#all_suites[@]}; i += 3)); do
	id=${all_suites[i]}
	[ -n "${result[$id]:-}" ] || continue
	case ${result[$id]} in
	passed*) passed=$((passed + 1)) ;;
	skipped*) skipped=$((skipped + 1)) ;;
	*) failed=$((failed + 1)) ;;
	esac
	summary+=("$(printf '%-24s %s' "${all_suites[i + 2]}" "${result[$id]}")")
done

# Last, anything still running from this clone's build folders, whatever
# started it.  (The pattern is in a file, so that grep does not find itself.)
echo "$PWD/build" >"$logs/pattern"
strays=$(grep -lzF -f "$logs/pattern" /proc/[0-9]*/cmdline 2>/dev/null | cut -d/ -f3)
if [ -n "$strays" ]; then
	echo "=== processes of $PWD/build* still running (now ended):"
	for pid in $strays; do
		echo "$pid $(tr '\0' ' ' <"/proc/$pid/cmdline" 2>/dev/null)"
		kill -KILL "$pid" 2>/dev/null
	done
	failed=$((failed + 1))
	summary+=("$(printf '%-24s %s' "stray processes" "failed: $(echo $strays | wc -w) left running")")
fi

echo
echo "=== summary"
printf '%s\n' "${summary[@]}"
echo "time: $SECONDS s"
echo "suites: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
