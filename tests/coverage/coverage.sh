#!/usr/bin/env bash
# Line and branch coverage of common/ and src/ over the whole suite: every
# CTest case, then a short run of the arithmetic model and of the fuzzer, which
# reach number combinations no golden case spells out.  Fails below 100 % of
# the lines or 95 % of the branches.
set -euo pipefail
cd "$(dirname "$0")/../.."
source tests/needs.sh
needs gcovr gcovr

cmake --preset coverage >/dev/null
cmake --build --preset coverage -j2
find build-coverage -name '*.gcda' -delete
ctest --preset coverage
python3 tests/model/model.py build-coverage 400 --seed 11
python3 tests/fuzz/fuzz.py build-coverage 400 --seed 11 --timeout 30 --label coverage

# Exceptions are never thrown by this C-style code: the branches the compiler
# adds for them, and ones it proves unreachable, are no branches of the program.
# On x86 the programs compute on the x87, and soft_extended.h is built into
# the differential test alone: its proof is that test and its fuzzer, bit for
# bit against the hardware (tests/extended/), not this count.
gcovr --root . --filter 'common/' --filter 'src/' --exclude 'common/soft_extended.h' \
	--exclude-directories 'build-coverage/CMakeFiles/[0-9]' \
	--exclude-directories 'build-coverage/CMakeFiles/value_table_printf.dir' \
	--exclude-throw-branches --exclude-unreachable-branches \
	--txt - --branches --print-summary \
	--fail-under-line 100 --fail-under-branch 95 \
	build-coverage
