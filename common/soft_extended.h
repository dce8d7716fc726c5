/* soft_extended - the x87 extended format and its arithmetic, done with integers */
#ifndef SOFT_EXTENDED_H
#define SOFT_EXTENDED_H

#include <cstdint>
#include <cstring>

/*
 * A number held in the x87's own fields, so that a test can lay it beside a
 * hardware long double bit for bit.  Every operation rounds its exact result
 * to a 64-bit significand, to nearest with halves to even, with the x87's
 * exponent range, its denormals and its overflow to infinity.
 */
struct soft_extended {
	/* The significand, its leading bit written out as the x87 writes it. */
	std::uint64_t significand;
	/* Biased by 16383; 0 for zeros and denormals, 0x7fff for infinities and NaNs. */
	std::uint16_t exponent;
	bool negative;

	soft_extended() = default;
	soft_extended(double value);
	soft_extended(int value);
	explicit operator double() const;
};

/*
 * The operations of the programs' rows are forced inline where the compiler
 * optimises: a call for each would cost more than the operation.
 */
#ifdef __OPTIMIZE__
#define SOFT_EXTENDED_HOT inline __attribute__((always_inline))
#else
#define SOFT_EXTENDED_HOT inline
#endif

namespace soft_x87 {

typedef unsigned __int128 u128;

enum : int { bias = 16383, top_exponent = 0x7fff };
constexpr std::uint64_t lead = std::uint64_t(1) << 63;

inline soft_extended make(bool negative, int exponent, std::uint64_t significand)
{
	soft_extended r;
	r.significand = significand;
	r.exponent = (std::uint16_t)exponent;
	r.negative = negative;
	return r;
}

/* The x87's default NaN; no program prints one, so its payload is free. */
inline soft_extended not_a_number(void)
{
	return make(true, top_exponent, lead | lead >> 1);
}

inline bool is_nan(soft_extended x)
{
	return x.exponent == top_exponent && (x.significand << 1) != 0;
}

/*
 * Whether to round up, to nearest with halves to even: rest holds the bits
 * below the last kept one, which is odd or even; the carry out of rest plus
 * just under a half, plus one for an odd last bit, is the answer, no branch.
 */
inline std::uint64_t round_up(std::uint64_t rest, std::uint64_t kept)
{
	std::uint64_t ignored;
	return __builtin_add_overflow(rest, (lead - 1) + (kept & 1), &ignored);
}

inline int leading_zeros(u128 v)
{
	std::uint64_t high = (std::uint64_t)(v >> 64);
	return high != 0 ? __builtin_clzll(high) : 64 + __builtin_clzll((std::uint64_t)v);
}

/*
 * Rounds significand.rest * 2^(exponent - bias - 63), significand's leading
 * bit set, where the result would be denormal or too large.
 */
[[gnu::noinline]] inline soft_extended round_unusual(bool negative, int exponent,
                                                     std::uint64_t significand, std::uint64_t rest)
{
	if (exponent >= top_exponent)
		return make(negative, top_exponent, lead);
	/* A denormal keeps exponent 1's scale: fewer significant bits, one rounding. */
	int shift = 1 - exponent;
	u128 whole = (u128)significand << 64 | rest;
	bool sticky;
	if (shift >= 128) {
		sticky = whole != 0;
		whole = 0;
	} else {
		sticky = (whole << (128 - shift)) != 0;
		whole >>= shift;
	}
	std::uint64_t high = (std::uint64_t)(whole >> 64);
	std::uint64_t low = (std::uint64_t)whole | (std::uint64_t)sticky;
	high += round_up(low, high);
	/* Rounding up into the leading bit makes the smallest normal number. */
	return make(negative, (int)(high >> 63), high);
}

/* Rounds significand.rest * 2^(exponent - bias - 63), significand's leading bit set. */
SOFT_EXTENDED_HOT soft_extended round_pack(bool negative, int exponent, std::uint64_t significand,
                                std::uint64_t rest)
{
	if (__builtin_expect(exponent < 1 || exponent > top_exponent - 1, 0))
		return round_unusual(negative, exponent, significand, rest);
	significand += round_up(rest, significand);
	if (__builtin_expect(significand == 0, 0)) {
		significand = lead;
		if (++exponent == top_exponent)
			return make(negative, top_exponent, lead);
	}
	return make(negative, exponent, significand);
}

/* The scale of a finite number's significand: a denormal shares exponent 1's. */
inline int scale(soft_extended x)
{
	return x.exponent + (x.exponent == 0);
}

/* Zeros, infinities and NaNs in a sum; a denormal is an ordinary number here. */
[[gnu::noinline]] inline soft_extended add_special(soft_extended a, soft_extended b)
{
	if (is_nan(a) || is_nan(b))
		return not_a_number();
	if (a.exponent == top_exponent) {
		if (b.exponent == top_exponent && a.negative != b.negative)
			return not_a_number();
		return a;
	}
	if (b.exponent == top_exponent)
		return b;
	if (a.significand == 0 && b.significand == 0)
		return make(a.negative && b.negative, 0, 0);
	return a.significand == 0 ? b : a;
}

SOFT_EXTENDED_HOT soft_extended add(soft_extended a, soft_extended b)
{
	if (__builtin_expect(a.exponent == top_exponent || b.exponent == top_exponent ||
	                         a.significand == 0 || b.significand == 0, 0))
		return add_special(a, b);
	int ea = scale(a);
	int eb = scale(b);
	if (ea < eb || (ea == eb && a.significand < b.significand)) {
		soft_extended t = a;
		a = b;
		b = t;
		int te = ea;
		ea = eb;
		eb = te;
	}
	int distance = ea - eb;
	u128 big = (u128)a.significand << 63;
	u128 small = (u128)b.significand << 63;
	/*
	 * Bits of the smaller number shifted out leave a one in its last bit:
	 * big's last bits are zero, so the result then lies strictly between the
	 * same two neighbours, far below the rounding point, as the exact one.
	 */
	if (distance >= 128)
		small = 1;
	else if (distance > 63)
		small = small >> distance | (u128)((small << (128 - distance)) != 0);
	else
		small >>= distance;
	u128 sum = a.negative == b.negative ? big + small : big - small;
	/* Only x - x cancels to nothing, and that is +0 when rounding to nearest. */
	if (sum == 0)
		return make(false, 0, 0);
	int shift = leading_zeros(sum);
	sum <<= shift;
	return round_pack(a.negative, ea + 1 - shift, (std::uint64_t)(sum >> 64), (std::uint64_t)sum);
}

/* A finite, non-zero number with its leading bit moved to the top. */
inline void normalize(soft_extended x, int *exponent, std::uint64_t *significand)
{
	int shift = __builtin_clzll(x.significand);
	*significand = x.significand << shift;
	*exponent = scale(x) - shift;
}

SOFT_EXTENDED_HOT soft_extended multiply_finite(bool negative, int ea, std::uint64_t ma, int eb, std::uint64_t mb)
{
	u128 product = (u128)ma * mb;
	/* Two leading bits give a product from 2^126 up to below 2^128. */
	int low_top = (int)(1 - (std::uint64_t)(product >> 127));
	product <<= low_top;
	return round_pack(negative, ea + eb - (bias - 1) - low_top, (std::uint64_t)(product >> 64),
	                  (std::uint64_t)product);
}

[[gnu::noinline]] inline soft_extended multiply_unusual(soft_extended a, soft_extended b)
{
	bool negative = a.negative != b.negative;
	if (is_nan(a) || is_nan(b))
		return not_a_number();
	if (a.exponent == top_exponent || b.exponent == top_exponent) {
		if (a.significand == 0 || b.significand == 0)
			return not_a_number();
		return make(negative, top_exponent, lead);
	}
	if (a.significand == 0 || b.significand == 0)
		return make(negative, 0, 0);
	int ea, eb;
	std::uint64_t ma, mb;
	normalize(a, &ea, &ma);
	normalize(b, &eb, &mb);
	return multiply_finite(negative, ea, ma, eb, mb);
}

SOFT_EXTENDED_HOT soft_extended multiply(soft_extended a, soft_extended b)
{
	if (__builtin_expect(a.exponent == top_exponent || b.exponent == top_exponent ||
	                         a.exponent == 0 || b.exponent == 0, 0))
		return multiply_unusual(a, b);
	return multiply_finite(a.negative != b.negative, a.exponent, a.significand, b.exponent,
	                       b.significand);
}

[[gnu::noinline]] inline soft_extended divide(soft_extended a, soft_extended b)
{
	bool negative = a.negative != b.negative;
	if (is_nan(a) || is_nan(b))
		return not_a_number();
	bool a_infinite = a.exponent == top_exponent;
	bool b_infinite = b.exponent == top_exponent;
	bool a_zero = a.significand == 0;
	bool b_zero = b.significand == 0;
	if ((a_infinite && b_infinite) || (a_zero && b_zero))
		return not_a_number();
	if (a_infinite || b_zero)
		return make(negative, top_exponent, lead);
	if (b_infinite || a_zero)
		return make(negative, 0, 0);
	int ea, eb;
	std::uint64_t ma, mb;
	normalize(a, &ea, &ma);
	normalize(b, &eb, &mb);
	/* ma / mb lies between 1/2 and 2, so the quotient has 64 or 65 bits. */
	u128 numerator = (u128)ma << 64;
	u128 quotient = numerator / mb;
	std::uint64_t remainder = (std::uint64_t)(numerator % mb);
	if (quotient >> 64 != 0) {
		std::uint64_t rest = (std::uint64_t)quotient << 63 | (std::uint64_t)(remainder != 0);
		return round_pack(negative, ea - eb + bias, (std::uint64_t)(quotient >> 1), rest);
	}
	/* One more quotient bit from the remainder, and whether anything is left. */
	u128 twice = (u128)remainder << 1;
	bool half = twice >= mb;
	bool more = twice != (half ? mb : 0);
	std::uint64_t rest = (std::uint64_t)half << 63 | (std::uint64_t)more;
	return round_pack(negative, ea - eb + bias - 1, (std::uint64_t)quotient, rest);
}

/* A number's place on one line, for numbers that are not NaN; both zeros are 0. */
inline __int128 order(soft_extended x)
{
	__int128 magnitude = (__int128)((u128)x.exponent << 64 | x.significand);
	return x.negative ? -magnitude : magnitude;
}

}

SOFT_EXTENDED_HOT soft_extended::soft_extended(double value)
{
	std::uint64_t bits;
	std::memcpy(&bits, &value, sizeof bits);
	negative = (bits >> 63) != 0;
	int biased = (int)(bits >> 52 & 0x7ff);
	std::uint64_t fraction = bits << 12 >> 12;
	if (__builtin_expect(biased != 0 && biased != 0x7ff, 1)) {
		significand = (fraction | std::uint64_t(1) << 52) << 11;
		exponent = (std::uint16_t)(biased + soft_x87::bias - 1023);
	} else if (biased == 0x7ff) {
		/* A NaN comes out quiet, as the x87 loads one. */
		significand = soft_x87::lead | fraction << 11 | (fraction != 0 ? soft_x87::lead >> 1 : 0);
		exponent = soft_x87::top_exponent;
	} else if (fraction == 0) {
		significand = 0;
		exponent = 0;
	} else {
		/* A denormal double is an ordinary number in the wider exponent range. */
		int shift = __builtin_clzll(fraction);
		significand = fraction << shift;
		exponent = (std::uint16_t)(soft_x87::bias - 1011 - shift);
	}
}

SOFT_EXTENDED_HOT soft_extended::soft_extended(int value)
{
	negative = value < 0;
	std::uint64_t magnitude = negative ? 0 - (std::uint64_t)value : (std::uint64_t)value;
	if (magnitude == 0) {
		significand = 0;
		exponent = 0;
		return;
	}
	int shift = __builtin_clzll(magnitude);
	significand = magnitude << shift;
	exponent = (std::uint16_t)(soft_x87::bias + 63 - shift);
}

/*
 * To double, to nearest with halves to even, denormal doubles and overflow to
 * infinity included: the leading bit added into the exponent field carries a
 * rounding that overflows the significand into the exponent, and from the
 * largest finite double into infinity.
 */
SOFT_EXTENDED_HOT soft_extended::operator double() const
{
	std::uint64_t sign = (std::uint64_t)negative << 63;
	int biased = exponent - soft_x87::bias + 1023;
	std::uint64_t bits;
	if (__builtin_expect(biased >= 1 && biased < 0x7ff, 1)) {
		std::uint64_t kept = significand >> 11;
		std::uint64_t dropped = significand << 53;
		kept += soft_x87::round_up(dropped, kept);
		bits = sign | (((std::uint64_t)(biased - 1) << 52) + kept);
	} else if (exponent == soft_x87::top_exponent) {
		bits = sign | std::uint64_t(0x7ff) << 52 | (significand << 1 != 0 ? std::uint64_t(1) << 51 : 0);
	} else if (biased >= 0x7ff) {
		bits = sign | std::uint64_t(0x7ff) << 52;
	} else {
		/* A denormal double, or zero: the significand's scale is exponent 1's. */
		int shift = 12 - biased;
		std::uint64_t kept = 0;
		if (exponent != 0 && shift <= 64) {
			soft_x87::u128 whole = (soft_x87::u128)significand << 64 >> shift;
			kept = (std::uint64_t)(whole >> 64);
			std::uint64_t dropped = (std::uint64_t)whole;
			kept += soft_x87::round_up(dropped, kept);
		}
		bits = sign | kept;
	}
	double d;
	std::memcpy(&d, &bits, sizeof d);
	return d;
}

SOFT_EXTENDED_HOT soft_extended operator+(soft_extended a, soft_extended b)
{
	return soft_x87::add(a, b);
}

SOFT_EXTENDED_HOT soft_extended operator-(soft_extended a, soft_extended b)
{
	b.negative = !b.negative;
	return soft_x87::add(a, b);
}

SOFT_EXTENDED_HOT soft_extended operator*(soft_extended a, soft_extended b)
{
	return soft_x87::multiply(a, b);
}

inline soft_extended operator/(soft_extended a, soft_extended b)
{
	return soft_x87::divide(a, b);
}

/* A comparison with a NaN is false, except for "not equal". */
inline bool operator<(soft_extended a, soft_extended b)
{
	return !soft_x87::is_nan(a) && !soft_x87::is_nan(b) && soft_x87::order(a) < soft_x87::order(b);
}

inline bool operator>(soft_extended a, soft_extended b)
{
	return b < a;
}

inline bool operator<=(soft_extended a, soft_extended b)
{
	return !soft_x87::is_nan(a) && !soft_x87::is_nan(b) && soft_x87::order(a) <= soft_x87::order(b);
}

inline bool operator>=(soft_extended a, soft_extended b)
{
	return b <= a;
}

inline bool operator==(soft_extended a, soft_extended b)
{
	return !soft_x87::is_nan(a) && !soft_x87::is_nan(b) && soft_x87::order(a) == soft_x87::order(b);
}

inline bool operator!=(soft_extended a, soft_extended b)
{
	return !(a == b);
}

#endif
