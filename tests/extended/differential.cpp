/*
 * differential - soft_extended against the x87 on random operands chosen to find faults
 *
 * usage: differential [CHECKS [SEED]]; the status is 0 only with no mismatch.
 */
#include <cinttypes>
#include <climits>
#include <cstdlib>

#include "check.h"

/* splitmix64: fast, and every seed gives its own reproducible stream. */
struct random_bits {
	std::uint64_t state;
	std::uint64_t next(void)
	{
		std::uint64_t z = (state += 0x9E3779B97F4A7C15U);
		z = (z ^ z >> 30) * 0xBF58476D1CE4E5B9U;
		z = (z ^ z >> 27) * 0x94D049BB133111EBU;
		return z ^ z >> 31;
	}
};

static double from_bits(std::uint64_t bits)
{
	double d;
	std::memcpy(&d, &bits, sizeof d);
	return d;
}

static const std::uint64_t fraction_mask = (std::uint64_t(1) << 52) - 1;
static const std::uint64_t sign_bit = std::uint64_t(1) << 63;

/*
 * A double of a given biased exponent whose significand ends in a random
 * number of zeros: sums and products of such numbers are often exact, or fall
 * exactly halfway at 64 or at 53 bits, where a rounding fault shows.
 */
static double few_bits(random_bits &r, int biased)
{
	std::uint64_t v = r.next();
	int zeros = (int)(v >> 58) % 53;
	std::uint64_t fraction = (r.next() & fraction_mask) >> zeros << zeros;
	return from_bits((v & sign_bit) | (std::uint64_t)biased << 52 | fraction);
}

static double draw(random_bits &r)
{
	static const double specials[] = {
		0.0, -0.0, HUGE_VAL, -HUGE_VAL, NAN, -NAN, DBL_MIN, -DBL_MIN, DBL_MAX, -DBL_MAX,
		DBL_TRUE_MIN, -DBL_TRUE_MIN, 1.0, -1.0, 3.0, 0x1p53, 0x1p64, 0x1p-64, 0.5, 8.0,
	};
	std::uint64_t u = r.next();
	std::uint64_t v = r.next();
	switch (u & 15) {
	case 0:
	case 1:
		/* Any bit pattern: every exponent, the infinities and the NaNs. */
		return from_bits(v);
	case 2:
		/* A denormal double, or a zero. */
		return from_bits((v & (sign_bit | fraction_mask)) >> (u >> 8) % 53);
	case 3:
		return specials[(u >> 8) % (sizeof specials / sizeof specials[0])];
	case 4: {
		/* A few steps of the last bit from a power of two, either side. */
		int biased = 1 + (int)((u >> 8) % 2046);
		std::uint64_t bits = (v & sign_bit) | (std::uint64_t)biased << 52;
		std::uint64_t steps = (u >> 24) % 4;
		return from_bits((u >> 30 & 1) != 0 ? bits + steps : bits - steps);
	}
	case 5: {
		/* Every int, 2^31 and -2^31 included. */
		std::int64_t i = (std::int64_t)(v % ((std::uint64_t(1) << 32) + 1)) - ((std::int64_t)1 << 31);
		return (double)i;
	}
	case 6:
	case 7:
	case 8:
	case 9:
		/* Near 1, where a table's values and steps are. */
		return few_bits(r, 1023 - 40 + (int)((u >> 8) % 81));
	default:
		return few_bits(r, 1 + (int)((u >> 8) % 2046));
	}
}

/*
 * A second operand a given distance below the first in exponent: alignments
 * of 0 to 140 bits, where a sum keeps, rounds or just touches the last bit.
 */
static double near(random_bits &r, double first)
{
	std::uint64_t bits;
	std::memcpy(&bits, &first, sizeof bits);
	int biased = (int)(bits >> 52 & 0x7ff);
	int distance = (int)(r.next() % 141);
	if (biased == 0x7ff || biased - distance < 1)
		return draw(r);
	return few_bits(r, biased - distance);
}

static int draw_int(random_bits &r)
{
	std::uint64_t v = r.next();
	switch (v & 3) {
	case 0:
		return (int)(v >> 8) % 1000 - 500;
	case 1:
		return (int)((v >> 8) % 40) + INT_MAX - 39;
	default:
		return (int)(std::uint32_t)(v >> 16);
	}
}

static void draw_recipe(random_bits &r, recipe *x)
{
	x->shape = (unsigned)(r.next() % shapes);
	for (double &d : x->d)
		d = draw(r);
}

/* The second operand, half of the time close to the first's own doubles. */
static void draw_partner(random_bits &r, const recipe &x, recipe *y)
{
	draw_recipe(r, y);
	if ((r.next() & 1) != 0) {
		y->shape = x.shape;
		for (int k = 0; k < 4; k++)
			y->d[k] = (r.next() & 3) != 0 ? near(r, x.d[k]) : x.d[k];
	}
}

int main(int argc, char **argv)
{
	unsigned long long total = argc > 1 ? std::strtoull(argv[1], nullptr, 10) : 12000000;
	random_bits r = {argc > 2 ? std::strtoull(argv[2], nullptr, 10) : 11};
	static tally t;

	for (unsigned long long n = 0; n < total; n++) {
		operation op = (operation)(n % operations);
		if (op == op_from_int)
			continue;
		if (op == op_from_double) {
			check_from(&t, draw(r), draw_int(r));
		} else if (op <= op_compare) {
			recipe x, y;
			draw_recipe(r, &x);
			draw_partner(r, x, &y);
			check_pair(&t, op, x, y);
		} else {
			double d[3] = {draw(r), draw(r), draw(r)};
			/* Sides and ends close to each other, where the answer turns. */
			if ((r.next() & 1) != 0) {
				d[1] = near(r, d[0]);
				d[2] = (r.next() & 1) != 0 ? (double)((long double)d[0] + d[1]) : near(r, d[0]);
			}
			if (op == op_triangle && (r.next() & 1) != 0)
				d[2] = std::nextafter(d[2], (r.next() & 1) != 0 ? HUGE_VAL : -HUGE_VAL);
			int i = draw_int(r);
			check_program(&t, op, d, i);
		}
	}

	unsigned long long runs = 0, work = 0, mismatches = 0;
	for (int op = 0; op < operations; op++) {
		std::printf("%-14s %10llu checks %11llu operations %6llu mismatches\n",
		            operation_names[op], t.runs[op], t.work[op], t.mismatches[op]);
		runs += t.runs[op];
		work += t.work[op];
		mismatches += t.mismatches[op];
	}
	std::printf("%llu checks of %llu operations, %llu mismatches\n", runs, work, mismatches);
	return mismatches == 0 && runs > 0 ? 0 : 1;
}
