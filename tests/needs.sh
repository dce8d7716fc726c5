# needs.sh - sourced by a test suite to check for the tools it needs.
#
# A suite that cannot run here says why and ends with status 77, which
# CTest reports as skipped (and, under CI=true, tests/suites/suite.sh as
# failed: CI installs every tool, so a missing one there is a fault of .ci/run).

# skip REASON...: ends the suite as skipped.
skip() {
	echo "SKIPPED: $*"
	exit 77
}

# needs TOOL PACKAGE: ends the suite as skipped unless TOOL is on the PATH.
needs() {
	command -v "$1" >/dev/null 2>&1 || skip "$1 is not installed (Debian package $2)"
}

# needs_libfuzzer DIR: ends the suite as skipped unless clang++ can link a
# libFuzzer target; its runtime is a package of its own.  DIR gets the probe.
needs_libfuzzer() {
	needs clang++ clang
	mkdir -p "$1"
	echo 'extern "C" int LLVMFuzzerTestOneInput(const char *, unsigned long) { return 0; }' >"$1/probe.cpp"
	clang++ -fsanitize=fuzzer "$1/probe.cpp" -o "$1/probe" 2>"$1/probe.log" ||
		skip "clang++ cannot link -fsanitize=fuzzer (Debian package libclang-rt-14-dev)"
}

# needs_headless_chromium: ends the suite as skipped unless chromium is there
# and can start headless here.
needs_headless_chromium() {
	needs chromium chromium
	local out
	if ! out=$(timeout 60 chromium --headless --no-sandbox --disable-gpu --dump-dom about:blank 2>&1); then
		skip "chromium cannot start headless here: $(printf '%s\n' "$out" | tail -n 1) (Debian package chromium)"
	fi
}

# prerequisites_path DIR [TOOL...]: makes DIR a folder for PATH that holds
# the TOOLs, by default the README's prerequisites (cmake, ninja, g++,
# python3), what g++ runs itself, and the basic shell tools: all that a
# machine is sure to have.
prerequisites_path() {
	local dir=$1 tool path tools=(cmake ctest ninja g++ as ld python3 bash sh sed grep awk find xargs diff cmp)
	shift
	if [ $# -gt 0 ]; then
		tools=("$@")
	else
		mapfile -t -O ${#tools[@]} tools < <(dpkg -L coreutils | sed -n 's#^\(/usr\)\{0,1\}/bin/\([^/]*\)$#\2#p')
	fi
	rm -rf "$dir"
	mkdir -p "$dir"
	for tool in "${tools[@]}"; do
		# Debian's own first: a python3 on the PATH may be a version manager's shim.
		path=/usr/bin/$tool
		[ -x "$path" ] || path=$(command -v "$tool") || continue
		ln -sf "$path" "$dir/$tool"
	done
}
