#!/usr/bin/env bash
# node.sh - builds the programs to WebAssembly and runs every golden case, pipe
# scenario and hostile environment on them under Node (and builds the page,
# where npm is there); then the exact arithmetic model, each program's cases in
# one Node process (tests/wasm/batch.js), and the fuzzer, through the commands
# in build-wasm/tests/node/ that run each program under Node.
#
# usage: node.sh [MODEL_CASES [FUZZ_RUNS]]   (default 400 and 200)
set -euo pipefail
cd "$(dirname "$0")/../.."
source tests/needs.sh

needs em++ emscripten
needs node nodejs

cmake --workflow --preset wasm
# A fuzzer run starts Node (0.15 s of processor time on a slow machine), hence
# fewer cases than natively; the model's cases share one start.
python3 tests/model/model.py build-wasm "${1:-400}" --batch "node tests/wasm/batch.js"
python3 tests/fuzz/fuzz.py build-wasm/tests/node "${2:-200}"
