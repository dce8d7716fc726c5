#!/usr/bin/env bash
# node.sh - builds the programs to WebAssembly and runs every golden case and
# pipe scenario on them under Node (and the page, where npm is there).
set -euo pipefail
cd "$(dirname "$0")/../.."
source tests/needs.sh

needs em++ emscripten
needs node nodejs
# Emscripten's linker runs its own JavaScript tools, which need this parser.
[ -d /usr/share/nodejs/acorn ] ||
	skip "Emscripten's tools need /usr/share/nodejs/acorn (Debian package node-acorn)"

cmake --workflow --preset wasm
