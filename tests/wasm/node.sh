#!/usr/bin/env bash
# node.sh - builds the programs to WebAssembly and runs every golden case, pipe
# scenario and hostile environment on them under Node (and builds the page,
# where npm is there); then the exact arithmetic model and the fuzzer, each
# program's runs in one Node process (tests/wasm/batch.js).
#
# usage: node.sh [MODEL_CASES [FUZZ_RUNS]]   (default 400 and 200)
set -euo pipefail
cd "$(dirname "$0")/../.."
source tests/needs.sh

needs em++ emscripten
needs node nodejs

cmake --workflow --preset wasm
# A Node start costs 0.15 s of processor time on a slow machine, more than a
# run in a Node already started.
python3 tests/model/model.py build-wasm "${1:-400}" --batch "node tests/wasm/batch.js"
python3 tests/fuzz/fuzz.py build-wasm "${2:-200}" --batch "node tests/wasm/batch.js"
