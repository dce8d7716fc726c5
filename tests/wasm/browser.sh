#!/usr/bin/env bash
# browser.sh - builds the terminal page and types into it in headless
# Chromium (tests/wasm/browser.js); the screenshots go to build-wasm/browser/.
#
# usage: browser.sh [--soak]   (--soak: only a table of 1 200 000 rows, to its end)
set -euo pipefail
cd "$(dirname "$0")/../.."
source tests/needs.sh

needs em++ emscripten
needs node nodejs
needs npm npm
needs_headless_chromium

cmake --preset wasm
cmake --build --preset wasm
mkdir -p build-wasm/browser
# The single file is named after the project version the build was configured with.
version=$(sed -n "s/^CMAKE_PROJECT_VERSION:STATIC=//p" build-wasm/CMakeCache.txt)
node tests/wasm/browser.js "$@" build-wasm/page "build-wasm/console_dialogues-$version.html" build-wasm/npm/node_modules build-wasm/browser "$(command -v chromium)"
