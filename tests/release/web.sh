#!/usr/bin/env bash
# web.sh ZIP SINGLE NODE_MODULES WORK LICENSE - the page's release files as a
# teacher gets them.  The ZIP, unpacked into a fresh WORK, holds one folder
# with the page, the four programs and both licences (LICENSE's bytes, and
# xterm.js's); the single file carries xterm.js's notice too.  Then the
# browser test (tests/wasm/browser.js) serves the unpacked folder, and opens
# the single file from disk and from a server.
set -euo pipefail
. "$(dirname "$0")/lib.sh"
# Without Emscripten and npm the release makes no page.
needs em++ emscripten
needs npm npm
needs node nodejs
needs_headless_chromium
zip=$1 single=$2 modules=$3 work=$4 licence=$5
[ -e "$zip" ] || fail "no $zip: the release made no page"
[ -e "$single" ] || fail "no $single: the release made no single file"

name=$(basename "$zip" .zip)
rm -rf "$work"
mkdir -p "$work/unpacked"
(cd "$work/unpacked" && cmake -E tar xf "$zip") || fail "cannot unpack $zip"
found=$(cd "$work/unpacked" && find . -type f | sed 's|^\./||' | LC_ALL=C sort)
wanted=$(for file in LICENSE LICENSE.xterm.js index.html terminal.js xterm.css xterm.js \
	value_table triangle_test reciprocal_sum tab_pattern; do
	case $file in
	*_*) echo "$name/$file.js" && echo "$name/$file.wasm" ;;
	*) echo "$name/$file" ;;
	esac
done | LC_ALL=C sort)
[ "$found" = "$wanted" ] || fail "$zip holds"$'\n'"$found"$'\n'"and should hold"$'\n'"$wanted"
cmp -s "$licence" "$work/unpacked/$name/LICENSE" || fail "the ZIP's LICENSE differs from $licence"
for file in "$work/unpacked/$name/LICENSE.xterm.js" "$single"; do
	grep -q 'Permission is hereby granted' "$file" && grep -q 'The xterm.js authors' "$file" ||
		fail "$file does not carry xterm.js's licence notice"
done

mkdir -p "$work/screenshots"
node "$(dirname "$0")/../wasm/browser.js" "$work/unpacked/$name" "$single" "$modules" \
	"$work/screenshots" "$(command -v chromium)"
