#!/usr/bin/env bash
# web.sh ZIP SINGLE NODE_MODULES WORK LICENSE FILES - the page's release files
# as a teacher gets them.  The ZIP, unpacked into a fresh WORK, holds one
# folder with exactly FILES (unpack_zip.cmake), LICENSE's bytes among them;
# it and the single file carry the licence notices of xterm.js and uPlot,
# and the single file inlines uPlot for the chart.  Then the browser
# test (tests/wasm/browser.js) serves the unpacked folder, and opens the
# single file from disk and from a server; below the soak level, it runs on
# the folder only the programs' dialogues, axe-core and the page's policy.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
# Without Emscripten and npm the release makes no page.
needs em++ emscripten
needs npm npm
needs node nodejs
needs_headless_chromium
zip=$1 single=$2 modules=$3 work=$4 licence=$5 files=$6
[ -e "$zip" ] || fail "no $zip: the release made no page"
[ -e "$single" ] || fail "no $single: the release made no single file"

cmake -DZIP="$zip" -DDIR="$work/unpacked" -DLICENSE="$licence" -DFILES="$files" \
	-P "$(dirname "$0")/unpack_zip.cmake" || fail "$zip is not as it should be"
folder=$work/unpacked/$(basename "$zip" .zip)
for file in "$folder/LICENSE.xterm.js" "$single"; do
	grep -q 'Permission is hereby granted' "$file" && grep -q 'The xterm.js authors' "$file" ||
		fail "$file does not carry xterm.js's licence notice"
done
for file in "$folder/LICENSE.uPlot" "$single"; do
	grep -q 'Permission is hereby granted' "$file" && grep -q 'Copyright (c) [0-9]* Leon Sorokin' "$file" ||
		fail "$file does not carry uPlot's licence notice"
done
grep -q '<!-- uPlot, the script below:' "$single" && grep -q 'https://github.com/leeoniya/uPlot' "$single" ||
	fail "$single does not carry uPlot"

mkdir -p "$work/screenshots"
# Below the soak level, the page's own scenarios are the browser suite's, on
# the page built from the same sources: here, what the packages change.
brief=(--brief)
[ "${RUN_ALL_LEVEL:-}" != soak ] || brief=()
node "$(dirname "$0")/../wasm/browser.js" "${brief[@]}" "$folder" "$single" "$modules" \
	"$work/screenshots" "$(command -v chromium)"
