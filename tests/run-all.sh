#!/usr/bin/env bash
# Builds the programs and runs every test suite; stops at the first failing one.
set -euo pipefail
cd "$(dirname "$0")/.."

cmake --workflow --preset default

# The Windows builds, every case run under Wine (README, "Windows builds").
if command -v x86_64-w64-mingw32-g++ >/dev/null && command -v i686-w64-mingw32-g++ >/dev/null; then
  cmake --workflow --preset mingw-x86_64
  cmake --workflow --preset mingw-i686
elif [ "${CI:-}" = true ]; then
  echo "run-all.sh: MinGW-w64 is missing" >&2
  exit 1
else
  echo "run-all.sh: Windows builds skipped: no MinGW-w64 (Debian package mingw-w64)"
fi

# Hardening: both compilers' warnings, static analysis, the whole suite under
# the sanitizers, fuzzing, the exact arithmetic model, and coverage.
cmake --preset dev && cmake --build --preset dev
cmake --preset clang && cmake --build --preset clang
bash tests/static-analysis.sh
cmake --workflow --preset asan
# The sanitized suite above checks for leaks; the fuzzer leaves that out, since
# it triples a sanitized start (the programs allocate nothing themselves).
ASAN_OPTIONS=detect_leaks=0 python3 tests/fuzz/fuzz.py build-asan 10000 --timeout 30 --label sanitized
python3 tests/fuzz/fuzz.py build 90000
python3 tests/model/model.py build 12000
bash tests/coverage.sh
