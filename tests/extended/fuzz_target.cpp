/*
 * fuzz_target - libFuzzer's search for operands on which soft_extended and
 * the x87 differ; any difference aborts with the operands printed.
 *
 * An input is read as: a byte of shapes, eight doubles and an int, the
 * missing bytes as zeros.  Every check runs on every input.
 */
#include <cstddef>
#include <cstdlib>

#include "check.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t *data, std::size_t size)
{
	unsigned char bytes[1 + 8 * 8 + 4] = {0};
	std::memcpy(bytes, data, size < sizeof bytes ? size : sizeof bytes);

	recipe x, y;
	x.shape = bytes[0] & 15;
	y.shape = bytes[0] >> 4;
	std::memcpy(x.d, bytes + 1, sizeof x.d);
	std::memcpy(y.d, bytes + 1 + sizeof x.d, sizeof y.d);
	int i;
	std::memcpy(&i, bytes + 1 + 8 * 8, sizeof i);

	tally t = {};
	check_from(&t, x.d[0], i);
	for (int op = op_add; op <= op_compare; op++)
		check_pair(&t, (operation)op, x, y);
	for (int op = op_quotient; op <= op_reciprocal; op++)
		check_program(&t, (operation)op, x.d, i);
	for (unsigned long long m : t.mismatches)
		if (m != 0)
			std::abort();
	return 0;
}
