#!/usr/bin/env bash
# Coverage-guided fuzzing of value_table's row formatter (tests/rows/fuzz_target.cpp)
# with clang's libFuzzer, under AddressSanitizer and UBSan, for a fixed time.
# Fails on the first value whose text differs from snprintf("%8.4lf"), or on
# any sanitizer report; the input that failed is left in build-fuzz/.
# usage: fuzz.sh [SECONDS]   (default 25)
set -euo pipefail
cd "$(dirname "$0")/../.."
source tests/needs.sh
seconds=${1:-25}

needs_libfuzzer build-fuzz
flags=(-std=c++17 -O1 -g -ffp-contract=off -fsanitize=fuzzer,address,undefined
	-fno-sanitize-recover=all -Icommon)
clang++ "${flags[@]}" -o build-fuzz/rows_fuzz tests/rows/fuzz_target.cpp common/rows.cpp \
	common/dialogue.cpp

mkdir -p build-fuzz/corpus
cd build-fuzz
# -print_final_stats shows how many values were tried and how much was covered.
./rows_fuzz -max_total_time="$seconds" -print_final_stats=1 -rss_limit_mb=1024 corpus \
	2> rows_fuzz.log || { tail -30 rows_fuzz.log; exit 1; }
grep -E '^stat::number_of_executed_units|^stat::new_units_added|cov:' rows_fuzz.log | tail -3
echo "rows_fuzz: ${seconds} s, no mismatch with snprintf"
