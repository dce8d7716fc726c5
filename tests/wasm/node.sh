#!/usr/bin/env bash
# node.sh - builds the programs to WebAssembly and runs every golden case, pipe
# scenario and hostile environment on them under Node (and builds the page,
# where npm is there); then the exact arithmetic model and the fuzzer, through
# the commands in build-wasm/tests/node/ that run each program under Node.
set -euo pipefail
cd "$(dirname "$0")/../.."
source tests/needs.sh

needs em++ emscripten
needs node nodejs
# Emscripten's linker runs its own JavaScript tools, which need this parser.
[ -d /usr/share/nodejs/acorn ] ||
	skip "Emscripten's tools need /usr/share/nodejs/acorn (Debian package node-acorn)"

cmake --workflow --preset wasm
# Every run starts Node (about 0.13 s a run here), hence fewer cases than natively.
python3 tests/model/model.py build-wasm/tests/node 400
python3 tests/fuzz/fuzz.py build-wasm/tests/node 200
