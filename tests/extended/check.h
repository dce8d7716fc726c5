/* check - soft_extended against the x87's long double, one operation at a time */
#ifndef CHECK_H
#define CHECK_H

#include <cfloat>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "soft_extended.h"

static_assert(LDBL_MANT_DIG == 64, "the reference is the x87's long double");

/*
 * The operand of an operation, built the same way in both types from up to
 * four doubles: a double itself gives the operations a double's 53 bits; a
 * product, quotient or sum of doubles gives full 64-bit significands and the
 * exponents beyond a double's range; a product of four reaches the x87's own
 * denormals and overflow.
 */
struct recipe {
	unsigned shape;
	double d[4];
};

enum { shapes = 6 };

template <class T> T build(const recipe &r)
{
	switch (r.shape % shapes) {
	case 0:
		return (T)r.d[0];
	case 1:
		return (T)r.d[0] * r.d[1];
	case 2:
		return (T)r.d[0] / r.d[1];
	case 3:
		return (T)r.d[0] + r.d[1];
	case 4:
		return (T)r.d[0] * r.d[1] * ((T)r.d[2] * r.d[3]);
	default:
		return (T)r.d[0] / r.d[1] / ((T)r.d[2] * r.d[3]);
	}
}

/* The expressions the programs evaluate, written as the programs write them. */
template <class T> double quotient(double end, double start, double step)
{
	return (double)(((T)end - start) / step);
}

template <class T> double row_x(int k, double step, double start)
{
	return (double)((T)k * step + start);
}

template <class T> double row_y(double x)
{
	T xl = x;
	return (double)((xl + xl) * xl + xl * 3 + 8);
}

/* All three answers, not only up to the first failed one. */
template <class T> unsigned triangle(double a, double b, double c)
{
	return (unsigned)(c < (T)a + b) | (unsigned)(b < (T)a + c) << 1 | (unsigned)(a < (T)b + c) << 2;
}

template <class T> double reciprocal(int i)
{
	return (double)((T)1.0 / i);
}

/* The six comparisons' answers as six bits. */
template <class T> unsigned comparisons(T a, T b)
{
	return (unsigned)(a < b) | (unsigned)(a <= b) << 1 | (unsigned)(a > b) << 2 |
	       (unsigned)(a >= b) << 3 | (unsigned)(a == b) << 4 | (unsigned)(a != b) << 5;
}

/* Which operation a check runs; the names are printed with the counts. */
enum operation {
	op_from_double, op_from_int, op_add, op_subtract, op_multiply, op_divide, op_compare,
	op_quotient, op_row_x, op_row_y, op_triangle, op_reciprocal, operations
};

static const char *const operation_names[operations] = {
	"from double", "from int", "+", "-", "*", "/", "comparisons",
	"quotient", "row x", "row y", "triangle sums", "1/i",
};

/*
 * runs counts checks; work counts the operations of the software type whose
 * results a check compares, directly or through the result they feed: the
 * conversions, the arithmetic, the comparisons and the rounding to double.
 */
struct tally {
	unsigned long long runs[operations];
	unsigned long long work[operations];
	unsigned long long mismatches[operations];
};

/* The operations build performs for each shape. */
static const int shape_work[shapes] = {1, 3, 3, 3, 7, 7};

static bool same_double(double a, double b)
{
	if (std::isnan(a) || std::isnan(b))
		return std::isnan(a) && std::isnan(b);
	return std::memcmp(&a, &b, sizeof a) == 0;
}

/* Equal fields, and rounded to double equal too; any NaN matches any NaN. */
static bool same(long double hw, soft_extended sw)
{
	if (std::isnan(hw))
		return soft_x87::is_nan(sw) && std::isnan((double)sw);
	std::uint64_t significand;
	std::uint16_t top;
	std::memcpy(&significand, &hw, 8);
	std::memcpy(&top, (const char *)&hw + 8, 2);
	return significand == sw.significand && (top & 0x7fff) == sw.exponent &&
	       (top >> 15 != 0) == sw.negative && same_double((double)hw, (double)sw);
}

static void report(tally *t, operation op, const char *what)
{
	if (t->mismatches[op]++ < 10)
		std::printf("mismatch in %s: %s\n", operation_names[op], what);
}

static void show(char *out, std::size_t size, const recipe &r)
{
	std::snprintf(out, size, "shape %u of %a %a %a %a", r.shape % shapes, r.d[0], r.d[1], r.d[2],
	              r.d[3]);
}

/* One operation between two built operands; op is one of + - * / comparisons. */
static void check_pair(tally *t, operation op, const recipe &x, const recipe &y)
{
	long double ha = build<long double>(x), hb = build<long double>(y);
	soft_extended sa = build<soft_extended>(x), sb = build<soft_extended>(y);
	bool ok;
	switch (op) {
	case op_add:
		ok = same(ha + hb, sa + sb);
		break;
	case op_subtract:
		ok = same(ha - hb, sa - sb);
		break;
	case op_multiply:
		ok = same(ha * hb, sa * sb);
		break;
	case op_divide:
		ok = same(ha / hb, sa / sb);
		break;
	default:
		ok = comparisons(ha, hb) == comparisons(sa, sb);
		break;
	}
	t->runs[op]++;
	t->work[op] += (unsigned long long)(shape_work[x.shape % shapes] + shape_work[y.shape % shapes]) +
	               (op == op_compare ? 6 + 2 : 1 + 3);
	/* The operands themselves are checked with them: each is an operation too. */
	if (!ok || !same(ha, sa) || !same(hb, sb)) {
		char a[160], b[160], what[400];
		show(a, sizeof a, x);
		show(b, sizeof b, y);
		std::snprintf(what, sizeof what, "(%s) and (%s)", a, b);
		report(t, op, what);
	}
}

static void check_from(tally *t, double d, int i)
{
	char what[80];
	t->runs[op_from_double]++;
	t->work[op_from_double] += 2;
	if (!same((long double)d, (soft_extended)d)) {
		std::snprintf(what, sizeof what, "%a", d);
		report(t, op_from_double, what);
	}
	t->runs[op_from_int]++;
	t->work[op_from_int] += 2;
	if (!same((long double)i, (soft_extended)i)) {
		std::snprintf(what, sizeof what, "%d", i);
		report(t, op_from_int, what);
	}
}

/* The programs' own expressions, each on its own operands. */
static void check_program(tally *t, operation op, const double d[3], int i)
{
	bool ok;
	switch (op) {
	case op_quotient:
		ok = same_double(quotient<long double>(d[0], d[1], d[2]),
		                 quotient<soft_extended>(d[0], d[1], d[2]));
		break;
	case op_row_x:
		ok = same_double(row_x<long double>(i, d[1], d[2]), row_x<soft_extended>(i, d[1], d[2]));
		break;
	case op_row_y:
		ok = same_double(row_y<long double>(d[0]), row_y<soft_extended>(d[0]));
		break;
	case op_triangle:
		ok = triangle<long double>(d[0], d[1], d[2]) == triangle<soft_extended>(d[0], d[1], d[2]);
		break;
	default:
		ok = same_double(reciprocal<long double>(i), reciprocal<soft_extended>(i));
		break;
	}
	/* Constants such as the 3 and 8 of a row are not counted: they are folded. */
	static const int program_work[] = {6, 6, 7, 15, 4};
	t->runs[op]++;
	t->work[op] += (unsigned long long)program_work[op - op_quotient];
	if (!ok) {
		char what[160];
		std::snprintf(what, sizeof what, "%a %a %a %d", d[0], d[1], d[2], i);
		report(t, op, what);
	}
}

#endif
