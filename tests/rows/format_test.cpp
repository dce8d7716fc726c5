/* rows_format_test - the row formatter against the C library's printf, value by value */
#include <cfloat>
#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <random>
#include <string>

#include <fcntl.h>
#include <unistd.h>

#include "rows.h"

static long compared;
static long mismatches;

static void check_fixed4(double value)
{
	char expected[400], actual[FIXED4_MAX + 8];
	int len = std::snprintf(expected, sizeof expected, "%8.4lf", value);
	/*
	 * The rows land at a new place each time: a byte the formatter leaves
	 * unwritten must not pass for the one the value before left here.
	 */
	std::memset(actual, '#', sizeof actual);
	char *end = format_fixed4(actual, value);
	compared++;
	if (end - actual != len || std::memcmp(actual, expected, (std::size_t)len) != 0) {
		if (++mismatches <= 10) {
			std::uint64_t bits;
			std::memcpy(&bits, &value, sizeof bits);
			std::printf("mismatch for %a (bits %016llx): printf [%s], ours [%.*s]\n", value,
			            (unsigned long long)bits, expected, (int)(end - actual), actual);
		}
	}
}

static void check_int(int value)
{
	char expected[32], actual[32];
	int len = std::snprintf(expected, sizeof expected, "%d", value);
	std::memset(actual, '#', sizeof actual);
	char *end = format_int(actual, value);
	compared++;
	if (end - actual != len || std::memcmp(actual, expected, (std::size_t)len) != 0) {
		if (++mismatches <= 10)
			std::printf("mismatch for %d: printf [%s], ours [%.*s]\n", value, expected,
			            (int)(end - actual), actual);
	}
}

/* value and its neighbours a few units in the last place away, with both signs. */
static void check_around(double value, int ulps)
{
	double up = value, down = value;
	for (int i = 0; i <= ulps; i++) {
		check_fixed4(up);
		check_fixed4(-up);
		check_fixed4(down);
		check_fixed4(-down);
		up = std::nextafter(up, INFINITY);
		down = std::nextafter(down, -INFINITY);
	}
}

/*
 * Rows through write_row_number, write_row_values and flush_rows, caught in a
 * file, against the same rows from snprintf: numbers that count up, carry,
 * jump, repeat and go negative, and rows long enough to fill the buffer.
 */
static std::size_t check_rows(std::mt19937_64 &random)
{
	std::string expected;
	char row[800];
	std::fflush(stdout);
	int saved = dup(1);
	std::FILE *caught = std::tmpfile();
	dup2(fileno(caught), 1);

	auto put = [&](int number, double x, double y) {
		std::snprintf(row, sizeof row, "%d.  x= %8.4lf  y=%8.4lf \n", number, x, y);
		expected += row;
		write_row_number(number);
		write_row_values(x, y);
	};
	auto any = [&](void) {
		std::uint64_t bits = random();
		double v;
		std::memcpy(&v, &bits, sizeof v);
		return random() % 4 == 0 ? v : (double)(std::int64_t)(random() % 2000000000) / 4096;
	};
	for (int n = 1; n <= 1200; n++)
		put(n, any(), any());
	for (int n = 99999990; n <= 100000010; n++)
		put(n, any(), any());
	/* Counted up to INT_MAX, whose "one more" as unsigned is INT_MIN. */
	for (int n = INT_MAX - 5; n != INT_MIN; n++) {
		put(n, any(), any());
		if (n == INT_MAX)
			break;
	}
	put(INT_MIN, any(), any());
	put(INT_MIN + 1, any(), any());
	const int jumps[] = {7, -3, -2, -1, 0, 1, 2, 9, 9, 10, 19, 20, 1000, 999, 1000, 1001};
	for (int n : jumps)
		put(n, any(), any());
	for (int n = 1; n <= 400; n++)
		put(n, -DBL_MAX / n, 1e300 * n);
	/* Fields of a sign and 15 digits, the widest below 2^48, repeated. */
	for (int n = 1; n <= 300; n++)
		put(n, -123456789012345.0 + n * 0.004, -1e14 - n * 0.25);
	flush_rows();
	std::fflush(stdout);
	dup2(saved, 1);
	close(saved);

	std::string actual;
	std::rewind(caught);
	int c;
	while ((c = std::fgetc(caught)) != EOF)
		actual += (char)c;
	std::fclose(caught);
	compared++;
	if (actual != expected) {
		mismatches++;
		std::size_t at = 0;
		while (at < actual.size() && at < expected.size() && actual[at] == expected[at])
			at++;
		std::printf("rows differ from byte %zu: printf [%.60s], ours [%.60s]\n", at,
		            expected.c_str() + at, actual.c_str() + at);
	}
	return expected.size();
}

/*
 * usage: rows_format_test [SHARE]: SHARE divides the counts of random values,
 * for a run under an emulator, which is some fifty times slower.
 */
int main(int argc, char **argv)
{
	int share = argc > 1 ? std::atoi(argv[1]) : 1;
	if (share < 1)
		share = 1;
	std::mt19937_64 random(20261207);
	std::uniform_real_distribution<double> unit(-1.0, 1.0);

	/* Words and edges: zeros, infinities, NaNs, the smallest and largest doubles. */
	const double specials[] = {0.0, -0.0, INFINITY, -INFINITY, NAN, -NAN, DBL_MIN, -DBL_MIN,
	                           DBL_MAX, -DBL_MAX, DBL_TRUE_MIN, -DBL_TRUE_MIN, 1e300, -1e300,
	                           1e-300, 0.03125, -0.03125, 2.00005, -2.00005, 0.00005, 0.00015};
	for (double v : specials)
		check_around(v, 64);

	/* Any bit pattern: every magnitude, subnormals, infinities and NaNs among them. */
	for (int i = 0; i < 3000000 / share; i++) {
		std::uint64_t bits = random();
		double v;
		std::memcpy(&v, &bits, sizeof v);
		check_fixed4(v);
	}

	/* Ordinary numbers of every size a row can show, from 10^-6 to 10^17. */
	for (int i = 0; i < 3000000 / share; i++)
		check_fixed4(unit(random) * std::pow(10.0, (double)(random() % 24) - 6));

	/*
	 * Exact ties: odd multiples of 1/32 lie just halfway between two
	 * ten-thousandths (0.03125 and the like) and round to the even one.
	 */
	for (int i = 0; i < 1000000 / share; i++) {
		std::int64_t odd = (std::int64_t)(random() >> (14 + random() % 40)) | 1;
		check_fixed4((double)odd / 32 * (i % 2 ? 1 : -1));
	}

	/*
	 * Near ties: decimals like 2.00005, which a double holds a little above or
	 * below the half, and the doubles next to them.
	 */
	for (int i = 0; i < 400000 / share; i++) {
		char text[64];
		std::snprintf(text, sizeof text, "%llu.%04llu5",
		              (unsigned long long)(random() % 1000000000000ull >> random() % 40),
		              (unsigned long long)(random() % 10000));
		check_around(std::strtod(text, nullptr), 1);
	}

	/* Where the number of digits changes: 10^k and 10^k - 0.00005. */
	for (int k = -5; k <= 22; k++) {
		double power = std::pow(10.0, k);
		check_around(power, 1000);
		check_around(power - 0.00005, 1000);
	}

	/*
	 * Where the formatter changes method: 2^-16 (below it nothing rounds up to
	 * a ten-thousandth), 2^48 (from it on value * 10^4 is whole) and 2^64 / 10^4
	 * (from it on the units overflow 64 bits).
	 */
	check_around(std::ldexp(1.0, -16), 5000);
	check_around(std::ldexp(1.0, 48), 5000);
	check_around(std::ldexp(1.0, 64) / 10000, 5000);

	/* Rows as value_table computes them, for many starts and steps. */
	for (int i = 0; i < 400000 / share; i++) {
		double start = unit(random) * std::pow(10.0, (double)(random() % 12) - 2);
		double step = unit(random) * std::pow(10.0, (double)(random() % 10) - 5);
		long double xl = (long double)(random() % 100000000) * step + start;
		double x = (double)xl;
		long double xe = x;
		check_fixed4(x);
		check_fixed4((double)((xe + xe) * xe + xe * 3 + 8));
	}

	/*
	 * Walks as a table's columns take them, value after value: the whole part
	 * repeats, changes only in its last four digits, gains a digit (9999 to
	 * 10000, 99999999 to 10^8), crosses zero (-0.0000 to 0.0000), grows past
	 * 16 characters and comes back, so that every text kept from the value
	 * before is tried against the next.
	 */
	const double walks[][3] = {
		{-3, 0.00007, 90000},          {9990, 0.0013, 20000},       {99999990, 0.0007, 20000},
		{-10020, 1.7, 30000},          {-0.0003, 0.00001, 100},      {4999000000, 2001.3, 20000},
		{-1e14, 9e12, 40},             {1e11, -3.1e9, 80},           {-2e15, 1e14 + 0.5, 45},
		{281474976710000, 33, 100},    {-99.99995, 0.00001, 20},     {999.9999, 0.00001, 20},
		{-123456789012345, 0.004, 200},
		/* Whole parts of 9 to 15 characters whose last four digits alone change. */
		{123456789, 0.37, 30000},      {-123456789, 0.37, 30000},    {12345678901, 0.37, 30000},
		{-1234567890, 0.37, 30000},    {123456789012, 0.37, 30000},  {-12345678901234, 0.5, 30000},
	};
	for (const auto &walk : walks)
		for (int k = 0; k < (int)walk[2]; k++)
			check_fixed4((double)((long double)k * walk[1] + walk[0]));
	/* A column that changes sign alone: its whole part stays the same. */
	for (int k = 0; k < 1000; k++)
		check_fixed4((k % 3 ? 1 : -1) * (12345.0 + k * 0.25));

	long fixed4_compared = compared;
	long fixed4_mismatches = mismatches;
	std::printf("format_fixed4: %ld values compared with snprintf(\"%%8.4lf\"), %ld mismatches\n",
	            fixed4_compared, fixed4_mismatches);

	/* Every row number up to a million, and the edges of int. */
	for (int v = -1000; v <= 1000000; v++)
		check_int(v);
	for (int k = 1; k <= 9; k++) {
		int power = (int)std::pow(10.0, k);
		for (int d = -2; d <= 2; d++) {
			check_int(power + d);
			check_int(-power + d);
		}
	}
	for (int d = 0; d < 1000; d++) {
		check_int(INT_MAX - d);
		check_int(INT_MIN + d);
	}
	for (int i = 0; i < 1000000 / share; i++)
		check_int((int)(std::uint32_t)random());
	std::printf("format_int: %ld values compared with snprintf(\"%%d\"), %ld mismatches\n",
	            compared - fixed4_compared, mismatches - fixed4_mismatches);

	long before = mismatches;
	std::size_t row_bytes = check_rows(random);
	std::printf("rows: %zu bytes through the row writer, %s\n", row_bytes,
	            mismatches == before ? "the same as printf's" : "DIFFERENT from printf's");

	if (fixed4_compared < 10000000 / share) {
		std::printf("too few values for format_fixed4\n");
		return 1;
	}
	return mismatches == 0 ? 0 : 1;
}
