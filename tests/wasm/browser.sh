#!/usr/bin/env bash
# browser.sh - builds the terminal page and types into it in Chromium, Firefox
# ESR and WebKitGTK (under the C.UTF-8 and a Hungarian locale), with
# tests/wasm/browser.js; the screenshots go to build-wasm/browser/ENGINE/.
#
# usage: browser.sh [--soak]   (--soak: only a table of 1 200 000 rows, to its end)
set -euo pipefail
cd "$(dirname "$0")/../.."
source tests/needs.sh

needs em++ emscripten
needs node nodejs
needs npm npm
needs_headless_chromium
needs firefox-esr firefox-esr
needs WebKitWebDriver webkit2gtk-driver
needs xvfb-run xvfb

cmake --preset wasm
cmake --build --preset wasm
# The single file is named after the project version the build was configured with.
version=$(sed -n "s/^CMAKE_PROJECT_VERSION:STATIC=//p" build-wasm/CMakeCache.txt)
files=(build-wasm/page "build-wasm/console_dialogues-$version.html" build-wasm/npm/node_modules)

# The engines run side by side, each with its own log, shown whole at the end.
run() {
	local name=$1
	shift
	mkdir -p "build-wasm/browser/$name"
	/usr/bin/time -f "$name: %e s wall, %U+%S s CPU" "$@" "${files[@]}" "build-wasm/browser/$name" \
		>"build-wasm/browser/$name.log" 2>&1
}
run chromium node tests/wasm/browser.js "$@" --engine=chromium & chromium=$!
run firefox node tests/wasm/browser.js "$@" --engine=firefox & firefox=$!
# One X server for both WebKit runs: two xvfb-run -a at once may pick the same display.
xvfb-run -a -s '-screen 0 1400x1000x24' bash -c '
	LANG=C.UTF-8 LC_ALL=C.UTF-8 "$@" --engine=webkit "${0}" "${1}" "${2}" build-wasm/browser/webkit-C \
		>build-wasm/browser/webkit-C.log 2>&1 & c=$!
	LANG=hu_HU.UTF-8 LC_ALL=hu_HU.UTF-8 "$@" --engine=webkit "${0}" "${1}" "${2}" build-wasm/browser/webkit-hu \
		>build-wasm/browser/webkit-hu.log 2>&1 & hu=$!
	status=0
	wait $c || status=1
	wait $hu || status=1
	exit $status' "${files[@]}" /usr/bin/time -f '%e s wall, %U+%S s CPU' node tests/wasm/browser.js "$@" &
webkit=$!
mkdir -p build-wasm/browser/webkit-C build-wasm/browser/webkit-hu
status=0
for job in $chromium $firefox $webkit; do
	wait "$job" || status=1
done
cat build-wasm/browser/{chromium,firefox,webkit-C,webkit-hu}.log
exit $status
