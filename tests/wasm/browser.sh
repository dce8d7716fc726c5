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
# WebKit takes its language from the C library's locale: an ungenerated
# hu_HU.UTF-8 falls back to C, and the page would get en-US.
locale -a | grep -qix 'hu_HU.utf-\?8' ||
	skip "the hu_HU.UTF-8 locale is not generated (Debian package locales, then hu_HU.UTF-8 in /etc/locale.gen and locale-gen)"

cmake --preset wasm
cmake --build --preset wasm
# The single file is named after the project version the build was configured with.
version=$(sed -n "s/^CMAKE_PROJECT_VERSION:STATIC=//p" build-wasm/CMakeCache.txt)
files=(build-wasm/page "build-wasm/console_dialogues-$version.html" "${PAGE_NPM_DIR:-build-wasm/npm}/node_modules")

# The engines run two at a time, each with its own log, shown whole at the end:
# four side by side took up to a fifth more processor time (a browser works
# while it waits, and each waited longer), for a suite hardly quicker.
run() {
	local name=$1
	shift
	# Empty, so that no screenshot of an earlier run passes for this one's.
	rm -rf "build-wasm/browser/$name"
	mkdir -p "build-wasm/browser/$name"
	/usr/bin/time -f "$name: %e s" "$@" "${files[@]}" "build-wasm/browser/$name" \
		>"build-wasm/browser/$name.log" 2>&1
}
browser=(node tests/wasm/browser.js "$@")
# WebKitWebDriver and its MiniBrowser on an X server of each run's own, each
# looked for from a number of its own: two xvfb-run -a started at once would
# both take the first free display.
x=(xvfb-run -s '-screen 0 1400x1000x24')
status=0
run chromium "${browser[@]}" --engine=chromium & first=$!
run webkit-C "${x[@]}" -n 99 -a env LANG=C.UTF-8 LC_ALL=C.UTF-8 "${browser[@]}" --engine=webkit --language=C & second=$!
wait $first || status=1
wait $second || status=1
run firefox "${browser[@]}" --engine=firefox & first=$!
run webkit-hu "${x[@]}" -n 199 -a env LANG=hu_HU.UTF-8 LC_ALL=hu_HU.UTF-8 "${browser[@]}" --engine=webkit --language=hu-HU & second=$!
wait $first || status=1
wait $second || status=1
cat build-wasm/browser/{chromium,firefox,webkit-C,webkit-hu}.log
exit $status
