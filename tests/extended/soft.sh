#!/usr/bin/env bash
# soft.sh - the programs with soft_extended forced on x86 (preset soft): the
# whole CTest suite, the differential test against the x87 among it, then the
# arithmetic model and the input fuzzer on that build.
set -euo pipefail
cd "$(dirname "$0")/../.."

cmake --workflow --preset soft
python3 tests/model/model.py build-soft "${1:-3000}"
python3 tests/fuzz/fuzz.py build-soft "${2:-20000}" --label soft
