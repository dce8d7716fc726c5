#!/usr/bin/env bash
# node.sh - builds the programs to WebAssembly and runs every golden case, pipe
# scenario and hostile environment on them under Node (and builds the page,
# where npm is there); then the exact arithmetic model and the fuzzer, through
# the commands in build-wasm/tests/node/ that run each program under Node.
#
# usage: node.sh [MODEL_CASES [FUZZ_RUNS]]   (default 400 and 200)
set -euo pipefail
cd "$(dirname "$0")/../.."
source tests/needs.sh

needs em++ emscripten
needs node nodejs

cmake --workflow --preset wasm
# Every run starts Node (a quarter of a second here), hence fewer cases than natively.
python3 tests/model/model.py build-wasm/tests/node "${1:-400}"
python3 tests/fuzz/fuzz.py build-wasm/tests/node "${2:-200}"
