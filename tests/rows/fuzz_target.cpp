/* fuzz_target - libFuzzer target: the row formatter against snprintf on any double */
#include <cstddef>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>

#include "rows.h"

/*
 * Every 8 bytes of the input are one double, bit for bit, so the fuzzer can
 * reach any sign, exponent and fraction; a mismatch with the C library stops
 * the run with both texts and the input saved.
 */
extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
	for (std::size_t at = 0; at + 8 <= size; at += 8) {
		double value;
		std::memcpy(&value, data + at, sizeof value);
		char expected[400], actual[FIXED4_MAX + 8];
		int len = std::snprintf(expected, sizeof expected, "%8.4lf", value);
		char *end = format_fixed4(actual, value);
		if (end - actual != len || std::memcmp(actual, expected, (std::size_t)len) != 0) {
			std::fprintf(stderr, "mismatch for %a: printf [%s], ours [%.*s]\n", value,
			             expected, (int)(end - actual), actual);
			std::abort();
		}
	}
	return 0;
}
