#!/usr/bin/env bash
# Builds the programs and runs every test suite, then prints one line a suite
# (passed, failed, or skipped and why, and its time) and the counts.  A failing
# suite does not stop the ones after it; the status is 1 if any failed.
#
# usage: run-all.sh [--soak] [SUITE...]   the suites named (default: all of them)
#
# The full level, the default, runs every suite at a size chosen by what it
# catches; --soak runs the same suites with the large random runs of a release
# (ten times the cases or more, longer fuzzing, the release built twice).
#
# A suite whose tool is missing ends with status 77 and a line "SKIPPED: why"
# (tests/needs.sh).  Under CI=true that is a failure: CI installs every tool.
# A suite that needs nothing but the README's prerequisites runs with those
# alone on its PATH, so that this run proves them enough for it; the fresh
# machine suite shows every other suite skipping, with its reason, without them.
#
# The suites run in two lanes side by side: the WebAssembly and native builds
# and the browser, and the fresh machine, Wine, the release, ARM and coverage.
# Each lane is ordered so that a suite that mostly waits (Wine, the browser)
# runs beside suites that keep the cores busy.  Suites that share a build
# folder or a Wine prefix share a lane.  A suite's output is printed
# whole when it ends.  Each suite has a time limit, three times its time on
# the slowest machine we know and more, so that it catches a hang and never
# slowness; the cases inside a suite have their own timeouts.  No suite may
# leave a process running.
set -uo pipefail
cd "$(dirname "$0")/.."
self=$PWD/tests/run-all.sh
source tests/needs.sh

if [ "${1:-}" = --soak ]; then
	RUN_ALL_LEVEL=soak
	shift
fi
# The suites' own scripts and builds read it too (tests/CMakeLists.txt).
export RUN_ALL_LEVEL=${RUN_ALL_LEVEL:-full}
level=$RUN_ALL_LEVEL

# sized FULL SOAK: the size of a run at this level.
sized() {
	if [ "$level" = soak ]; then echo "$2"; else echo "$1"; fi
}

# Every Windows build's tests and the release's share one Wine prefix an
# architecture, made once a run (tests/windows/cases.cmake).
export WINE_PREFIXES=$PWD/build-wine

# build PRESET: configures and builds a preset, for a suite that runs its programs.
build() {
	cmake --preset "$1" >/dev/null && cmake --build --preset "$1"
}

# The quick suite: every case of tests/CMakeLists.txt, natively.
suite_golden() {
	cmake --workflow --preset default
}

# The Windows builds, every case run under Wine (README, "Windows builds").
# The tests themselves skip when no Wine can run the build; wine.sh then leaves
# the reason beside the prefix.
windows() {
	needs "$1-w64-mingw32-g++" mingw-w64
	rm -f "$WINE_PREFIXES/$1/unavailable"
	cmake --workflow --preset "mingw-$1" || return 1
	if [ -e "$WINE_PREFIXES/$1/unavailable" ]; then
		skip "$(cat "$WINE_PREFIXES/$1/unavailable")"
	fi
}
suite_windows_x86_64() { windows x86_64; }
suite_windows_i686() { windows i686; }

# The release: both Windows ZIPs, the Debian packages and the page, made by one
# command, unpacked and run as a user gets them.  The soak level builds it a
# second time from a copy elsewhere and requires the same bytes.
suite_release() {
	bash tests/release/release.sh
}

# The g++ build with warnings as errors (clang's is static analysis's).
suite_warnings() {
	build dev
}

# The clang build with warnings as errors, then clang-tidy on its compile
# commands, and cppcheck.
suite_static_analysis() {
	needs clang++ clang
	needs clang-tidy clang-tidy
	needs cppcheck cppcheck
	build clang || return 1
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
	ASAN_OPTIONS=detect_leaks=0 python3 tests/fuzz/fuzz.py build-asan "$(sized 1000 10000)" \
		--timeout 30 --label sanitized &&
		python3 tests/fuzz/fuzz.py build "$(sized 9000 90000)"
}

# libFuzzer looks for a double that value_table's row formatter writes other
# than snprintf("%8.4lf") does, for a fixed time.
suite_rows_fuzz() {
	bash tests/rows/fuzz.sh "$(sized 15 300)"
}

# value_table and triangle_test against exact rational arithmetic.
suite_model() {
	build default || return 1
	python3 tests/model/model.py build "$(sized 2000 12000)"
}

# The software extended type, forced on x86: the whole CTest suite (with the
# differential test against the x87), the model and the fuzzer on that build.
suite_soft_extended() {
	bash tests/extended/soft.sh "$(sized 600 3000)" "$(sized 3000 20000)"
}

# libFuzzer looks for operands on which the software type and the x87 differ,
# for a fixed time.
suite_extended_fuzz() {
	bash tests/extended/fuzz.sh "$(sized 15 300)"
}

# 64-bit ARM, where long double is no x87 format: every case under qemu.
suite_aarch64() {
	bash tests/aarch64/aarch64.sh "$(sized 300 1500)"
}

# The programs built to WebAssembly, every case under Node, then the page in
# headless Chromium, typed into as a user would.
suite_wasm_node() {
	bash tests/wasm/node.sh "$(sized 100 400)" "$(sized 50 200)"
}
suite_browser() {
	bash tests/wasm/browser.sh || return
	[ "$level" != soak ] || bash tests/wasm/browser.sh --soak
}

suite_coverage() {
	needs gcovr gcovr
	bash tests/coverage/coverage.sh
}

# The one test in a real terminal: tmux and luit show what a user would see.
suite_terminal() {
	needs tmux tmux
	needs luit x11-utils
	build default || return 1
	bash tests/terminal/value_table.sh build/value_table
}

# The suites below that need a tool, on a machine with nothing but the
# prerequisites: each must skip and say why.
suite_fresh_machine() {
	bash tests/fresh_machine/fresh_machine.sh
}

# id, lane, limit in seconds (at the full level; ten times that at the soak
# level), "bare" for a suite that needs nothing but the prerequisites (it runs
# with those alone on its PATH) or "tools", then the name the summary gives
# it; each lane in the order it runs.
all_suites=(
	wasm_node 1 900 tools "WebAssembly under Node"
	rows_fuzz 1 300 tools "row formatter fuzzing"
	golden 1 600 bare "golden and pipe tests"
	warnings 1 300 bare "warnings"
	static_analysis 1 300 tools "clang and static analysis"
	sanitizers 1 600 bare "sanitizers"
	fuzzing 1 600 bare "fuzzing"
	model 1 300 bare "arithmetic model"
	terminal 1 300 tools "terminal"
	soft_extended 1 600 bare "software extended type"
	browser 1 600 tools "web page in Chromium"
	fresh_machine 2 300 tools "fresh machine"
	windows_i686 2 1200 tools "Windows i686"
	windows_x86_64 2 600 tools "Windows x86-64"
	release 2 1800 tools "release packages"
	extended_fuzz 2 300 tools "extended type fuzzing"
	aarch64 2 600 tools "64-bit ARM"
	coverage 2 600 tools "coverage"
)
w=5

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
	local i id limit path status started
	for ((i = 0; i < ${#all_suites[@]}; i += w)); do
		id=${all_suites[i]}
		[ "${all_suites[i + 1]}" = "$1" ] && [[ $wanted == *" $id "* ]] || continue
		limit=${RUN_ALL_TIMEOUT:-$((${all_suites[i + 2]} * $(sized 1 10)))}
		path=$python:$PATH
		[ "${all_suites[i + 3]}" = tools ] || path=$bare
		started=$SECONDS status=0
		PATH=$path RUN_ALL_SUITE=$id.$$ timeout -k 10 "$limit" bash "$self" --suite "$id" \
			</dev/null >"$logs/$id" 2>&1 || status=$?
		leaked "$id.$$" >"$logs/$id.leaked"
		echo "$status $((SECONDS - started)) $limit" >"$logs/$id.tmp"
		mv "$logs/$id.tmp" "$logs/$id.done"
	done
}

# RUN_ALL_ONLY=tools (the fresh machine's clone) leaves out the suites that
# need nothing but the prerequisites: this run has shown them passing so.
wanted=" $* "
if [ $# -eq 0 ]; then
	for ((i = 0; i < ${#all_suites[@]}; i += w)); do
		[ "${RUN_ALL_ONLY:-}" != tools ] || [ "${all_suites[i + 3]}" = tools ] &&
			wanted+="${all_suites[i]} "
	done
fi
bare=
for ((i = 0; i < ${#all_suites[@]}; i += w)); do
	if [ "${all_suites[i + 3]}" = bare ] && [[ $wanted == *" ${all_suites[i]} "* ]]; then
		# In the tree, so that the build folders' caches keep naming a compiler.
		bare=$PWD/build-prerequisites/bin
		prerequisites_path "$bare" || exit 1
		break
	fi
done
# Debian's python3 before any other, as on the bare suites' PATH: a python3
# found first may be a version manager's shim (pyenv's), which takes a third
# of a second to start one.  The emscripten compiler, CMake's FindPython and
# the case drivers start it thousands of times.
python=$PWD/build-prerequisites/python
rm -rf "$python"
mkdir -p "$python"
[ ! -x /usr/bin/python3 ] || ln -s /usr/bin/python3 "$python/python3"
rm -rf build-wine
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
for ((i = 0; i < ${#all_suites[@]}; i += w)); do
	[[ $wanted == *" ${all_suites[i]} "* ]] && left=$((left + 1))
done
while [ $left -gt 0 ]; do
	sleep 1
	for ((i = 0; i < ${#all_suites[@]}; i += w)); do
		id=${all_suites[i]} name=${all_suites[i + 4]}
		[ -e "$logs/$id.done" ] && [ -z "${result[$id]:-}" ] || continue
		read -r status took limit <"$logs/$id.done"
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
			result[$id]="skipped ($took s): $reason"
		elif [ "$status" -eq 77 ]; then
			result[$id]="failed ($took s): CI must run it, but $reason"
		elif [ "$status" -eq 124 ] || [ "$status" -eq 137 ]; then
			result[$id]="failed: did not end within $limit s"
		else
			result[$id]="failed with status $status ($took s)"
		fi
		# For the fresh machine suite, which runs this script again.
		[ -z "${RUN_ALL_RESULTS:-}" ] || echo "$id ${result[$id]%%[ :]*}" >>"$RUN_ALL_RESULTS"
		left=$((left - 1))
	done
done
wait

for ((i = 0; i < ${#all_suites[@]}; i += w)); do
	id=${all_suites[i]}
	[ -n "${result[$id]:-}" ] || continue
	case ${result[$id]} in
	passed*) passed=$((passed + 1)) ;;
	skipped*) skipped=$((skipped + 1)) ;;
	*) failed=$((failed + 1)) ;;
	esac
	summary+=("$(printf '%-26s %s' "${all_suites[i + 4]}" "${result[$id]}")")
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
	summary+=("$(printf '%-26s %s' "stray processes" "failed: $(echo $strays | wc -w) left running")")
fi

echo
echo "=== summary"
printf '%s\n' "${summary[@]}"
echo "time: $SECONDS s ($level level)"
echo "suites: $passed passed, $failed failed, $skipped skipped"
[ "$failed" -eq 0 ]
