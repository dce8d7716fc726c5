#!/usr/bin/env bash
# fuzz.sh [SECONDS] - libFuzzer searches for operands on which soft_extended
# and the x87 differ: first every input in tests/extended/corpus/ is replayed,
# then new ones are searched for SECONDS (20 if not given).  An input that
# finds a difference is written to build-extended-fuzz/ and fails the run;
# once the fault is mended, add it to tests/extended/corpus/ for good.
set -euo pipefail
cd "$(dirname "$0")/../.."
source tests/needs.sh

case "$(uname -m)" in
x86_64 | i?86) ;;
*) skip "the reference, the x87, needs an x86 processor; this is $(uname -m)" ;;
esac
seconds=${1:-20}
out=build-extended-fuzz
needs_libfuzzer "$out"
mkdir -p "$out/found"

clang++ -std=c++17 -O2 -g -ffp-contract=off -fsanitize=fuzzer -Icommon \
	tests/extended/fuzz_target.cpp -o "$out/extended_fuzz"

corpus=(tests/extended/corpus/*)
"$out/extended_fuzz" -artifact_prefix="$out/" "${corpus[@]}" 2>"$out/replay.log" || {
	cat "$out/replay.log"
	echo "extended fuzz: a kept input fails again" >&2
	exit 1
}
echo "extended fuzz: ${#corpus[@]} kept inputs replayed, no mismatch"

# New inputs go to found/, which later runs start from; the kept corpus stays as it is.
"$out/extended_fuzz" -artifact_prefix="$out/" -max_total_time="$seconds" -print_final_stats=1 \
	"$out/found" tests/extended/corpus 2>"$out/fuzz.log" || {
	grep -v '^#' "$out/fuzz.log" | tail -30
	echo "extended fuzz: a mismatch, input kept in $out/ (crash-*)" >&2
	exit 1
}
runs=$(sed -n 's/^stat::number_of_executed_units: *//p' "$out/fuzz.log")
echo "extended fuzz: $runs inputs in ${seconds} s, no mismatch"
