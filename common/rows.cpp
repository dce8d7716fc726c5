/* rows - the numbered rows of value_table, formatted and written in large blocks */
#include "rows.h"

#include <climits>
#include <cmath>
#include <cstdint>
#include <cstdio>
#include <cstring>

#include "extended.h"

/*
 * The helpers of the hot path are forced inline where the compiler optimises.
 * An unoptimised build (the coverage build) keeps one copy of each, so that
 * each of their branches is counted once, not once for every caller.
 */
#ifdef __OPTIMIZE__
#define HOT inline __attribute__((always_inline))
#else
#define HOT inline
#endif

/*
 * A WebAssembly build writes its rows with printf, as Windows does: a page
 * shows no millions of rows, and its C library rounds "%8.4lf" exactly, as
 * glibc does.
 */
#ifndef __EMSCRIPTEN__

/* 10^0 to 10^19, the powers of ten a 64-bit number can reach. */
static const std::uint64_t powers_of_ten[20] = {
	1, 10, 100, 1000, 10000, 100000, 1000000, 10000000, 100000000, 1000000000,
	10000000000, 100000000000, 1000000000000, 10000000000000, 100000000000000,
	1000000000000000, 10000000000000000, 100000000000000000, 1000000000000000000,
	10000000000000000000U,
};

static int digit_count(std::uint64_t v)
{
	/* bits * 1233 / 4096 is the power of ten just at or below 2^bits. */
	int bits = 64 - __builtin_clzll(v | 1);
	int guess = (bits * 1233) >> 12;
	return guess + 1 - ((v | 1) < powers_of_ten[guess]);
}

#if defined(__BYTE_ORDER__) && __BYTE_ORDER__ != __ORDER_LITTLE_ENDIAN__
#error "digit_groups lays its digits out for a little-endian machine"
#endif

struct digit_table {
	std::uint32_t group[10000];
};

static constexpr digit_table make_digit_groups(void)
{
	digit_table t{};
	for (std::uint32_t i = 0; i < 10000; i++)
		t.group[i] = (std::uint32_t)('0' + i / 1000) | (std::uint32_t)('0' + i / 100 % 10) << 8 |
		             (std::uint32_t)('0' + i / 10 % 10) << 16 | (std::uint32_t)('0' + i % 10) << 24;
	return t;
}

/*
 * The four digits of 0000 to 9999, each as the bytes of one 32-bit word with
 * the first digit lowest: one load and one store per four digits.
 */
static constexpr digit_table digit_groups = make_digit_groups();

/* Writes the given number (1 to 8) of digits of v (below 10^8) at out. */
static HOT void put_eight(char *out, std::uint32_t v, int digits)
{
	/* The leading group goes first: its spare bytes are overwritten after it. */
	if (digits > 4) {
		std::uint32_t lead = digit_groups.group[v / 10000] >> 8 * (8 - digits);
		std::memcpy(out, &lead, 4);
		std::memcpy(out + digits - 4, &digit_groups.group[v % 10000], 4);
	} else {
		std::uint32_t lead = digit_groups.group[v] >> 8 * (4 - digits);
		std::memcpy(out, &lead, 4);
	}
}

/*
 * Writes the given number of digits of v (below 10^16) at out; up to 4 bytes
 * past them may be scribbled on.
 */
static HOT void put_digits(char *out, std::uint64_t v, int digits)
{
	if (digits > 8) {
		put_eight(out, (std::uint32_t)(v / 100000000), digits - 8);
		out += digits - 8;
		v %= 100000000;
		digits = 8;
	}
	put_eight(out, (std::uint32_t)v, digits);
}

/* Right-aligns the len bytes at text in the 8 columns of "%8.4lf". */
static char *put_padded(char *out, const char *text, int len)
{
	for (int width = len; width < 8; width++)
		*out++ = ' ';
	std::memcpy(out, text, (std::size_t)len);
	return out + len;
}

/*
 * Writes the sign and the given number of ten-thousandths as "%8.4lf" does;
 * the whole part has the given number of digits.
 */
static HOT char *put_fixed4(char *out, bool negative,
                                                             std::uint64_t units, int digits)
{
	std::uint64_t whole = units / 10000;
	int len = (int)negative + digits + 5;
	int pad = len < 8 ? 8 - len : 0;
	std::memset(out, ' ', 8);
	/* Without a sign, the first digit lands on this minus. */
	out[pad] = '-';
	char *p = out + pad + (int)negative;
	put_digits(p, whole, digits);
	std::uint64_t decimals = '.' | (std::uint64_t)digit_groups.group[units % 10000] << 8;
	std::memcpy(p + digits, &decimals, 8);
	return out + pad + len;
}

/*
 * The magnitude of value in ten-thousandths, rounded half to even as glibc's
 * printf rounds; 2^63 or more for NaN, the infinities and values too wide.
 */
static HOT std::uint64_t ten_thousandths(double value)
{
#ifdef EXTENDED_IS_X87
	/*
	 * The x87 holds |value| * 10^4 = |value| * 625 * 2^4 exactly, 53 bits
	 * times 10 in its 64, and rounds it to an integer halves to even, as the
	 * programs leave its control word: two instructions where integers take
	 * twenty. Out of range, fistp gives 2^63.
	 */
	long double scaled = std::fabs((long double)value) * 10000.0L;
	std::int64_t units = 0;
	__asm__("fistpll %0" : "=m"(units) : "t"(scaled) : "st");
	return (std::uint64_t)units;
#else
	/*
	 * value = m * 2^e exactly, so value * 10^4 = m * 625 * 2^(e + 4), and
	 * m * 625 < 2^63: the ten-thousandths come out of one 64-bit shift,
	 * rounded half to even on the exact remainder.
	 */
	std::uint64_t bits = 0;
	std::memcpy(&bits, &value, sizeof bits);
	int biased = (int)((bits >> 52) & 0x7ff);
	std::uint64_t scaled = ((bits & (((std::uint64_t)1 << 52) - 1)) | (std::uint64_t)1 << 52) * 625;
	int right = 1071 - biased;
	if (__builtin_expect(right < 1 || right > 63, 0)) {
		/* Below 2^-16, less than half a ten-thousandth: zeros or subnormals. */
		if (biased < 1008)
			return 0;
		/* From 2^48 on, value * 10^4 is a whole number, if it fits. */
		int left = -right;
		if (biased == 0x7ff || left >= 64 || (left > 0 && scaled >> (64 - left) != 0))
			return (std::uint64_t)1 << 63;
		return scaled << left;
	}
	/*
	 * Half a unit less one, plus one more when the unit below is odd: the
	 * sum carries into the units just when the value rounds up, halves to
	 * even. Arithmetic, not a branch: which way a value rounds is a coin toss.
	 */
	std::uint64_t odd = (scaled >> right) & 1;
	return (scaled + (((std::uint64_t)1 << (right - 1)) - 1) + odd) >> right;
#endif
}

/* NaN, the infinities and the values of 2^62 ten-thousandths or more, which rows seldom hold. */
static __attribute__((noinline)) char *format_unusual(char *out, double value)
{
	std::uint64_t bits = 0;
	std::memcpy(&bits, &value, sizeof bits);
	bool negative = (bits >> 63) != 0;
	if (((bits >> 52) & 0x7ff) == 0x7ff) {
		/* glibc's words, the sign of a NaN included. */
		const char *word = (bits & (((std::uint64_t)1 << 52) - 1)) != 0 ? "-nan" : "-inf";
		return negative ? put_padded(out, word, 4) : put_padded(out, word + 1, 3);
	}
	/*
	 * glibc's snprintf is exact for any value; it is C, where std::to_chars
	 * would make every program load libstdc++. The terminating zero has no
	 * room at out, so the text is copied.
	 */
	char wide[FIXED4_MAX + 1];
	int len = std::snprintf(wide, sizeof wide, "%8.4f", value);
	std::memcpy(out, wide, (std::size_t)len);
	return out + len;
}

/*
 * Fields of fewer than 2^62 ten-thousandths are kept, and a negative one has
 * bit 63 set: none lies just above 2^62, which marks a column keeping nothing.
 */
static const std::uint64_t NOTHING_KEPT = (std::uint64_t)1 << 62;

/*
 * A column of a table holds values whose whole parts repeat from row to row
 * (x often for thousands of rows, y for several) or change only in their last
 * four digits: the text of the field up to its point depends on the sign and
 * the whole part alone, so it is kept, and only what changed is written afresh.
 */
struct column {
	/*
	 * The whole part in ten-thousandths with the sign in bit 63, so that a
	 * value of the kept whole part is less than 10000 units above it.
	 */
	std::uint64_t base = NOTHING_KEPT;
	/* The same of the whole part's digits but the last four, when it has more. */
	std::uint64_t high = ~(std::uint64_t)0;
	/* The padding, the sign, the digits and the point, len bytes of them. */
	std::uint64_t text[2] = {};
	int len = 0;
	/*
	 * The four bytes at low_at, the last four digits when the whole part has
	 * more, written over text: they change apart from it, so that text, once
	 * stored, is only ever loaded (a load of bytes just stored in part would
	 * wait for the store).
	 */
	std::uint32_t low = 0;
	int low_at = 0;
};

/*
 * Writes value, whose ten_thousandths are units, as "%8.4lf" does, keeping
 * the text of its whole part in kept.
 */
static HOT char *put_value(char *out, double value, std::uint64_t units, column *kept)
{
	if (__builtin_expect(units >= NOTHING_KEPT, 0))
		return format_unusual(out, value);
	std::uint64_t bits = 0;
	std::memcpy(&bits, &value, sizeof bits);
	int biased = (int)((bits >> 52) & 0x7ff);
	/* The sign as printf shows it: a negative value rounded to zero keeps it. */
	std::uint64_t sign = bits & (std::uint64_t)1 << 63;
	std::uint64_t decimals = (units | sign) - kept->base;
	if (__builtin_expect(decimals >= 10000, 0)) {
		std::uint64_t whole = units / 10000;
		decimals = units - whole * 10000;
		kept->base = (units - decimals) | sign;
		/* With more than four digits, the last four have a fixed width. */
		std::uint64_t high = whole >= 10000 ? whole / 10000 | sign : ~(std::uint64_t)0;
		if (high == kept->high && high != ~(std::uint64_t)0) {
			kept->low = digit_groups.group[whole % 10000];
		} else {
			/*
			 * The whole part has as many digits as 2^e, or one more when
			 * it reaches the next power of ten: cheaper than counting them.
			 */
			int e = biased - 1023;
			int fewest = (e > 0 ? e : 0) * 1233 >> 12;
			int digits = fewest + 1 + (whole >= powers_of_ten[fewest + 1]);
			char *end = put_fixed4(out, sign != 0, units, digits);
			int len = (int)(end - out) - 4;
			/* A sign and 15 digits do not fit: such a field is written afresh. */
			if (len > 16) {
				kept->base = NOTHING_KEPT;
				kept->high = ~(std::uint64_t)0;
				return end;
			}
			kept->len = len;
			kept->high = high;
			std::memcpy(kept->text, out, 16);
			kept->low_at = len >= 5 ? len - 5 : 0;
			std::memcpy(&kept->low, out + kept->low_at, 4);
		}
	}
	std::memcpy(out, &kept->text[0], 8);
	std::memcpy(out + 8, &kept->text[1], 8);
	std::memcpy(out + kept->low_at, &kept->low, 4);
	std::memcpy(out + kept->len, &digit_groups.group[decimals], 4);
	return out + kept->len + 4;
}

char *format_fixed4(char *out, double value)
{
	/* Kept from call to call, as value_table's rows keep theirs. */
	static column kept;
	return put_value(out, value, ten_thousandths(value), &kept);
}

char *format_int(char *out, int value)
{
	std::uint64_t magnitude = value < 0 ? 0 - (std::uint64_t)(std::int64_t)value
	                                    : (std::uint64_t)value;
	if (value < 0)
		*out++ = '-';
	int digits = digit_count(magnitude);
	put_digits(out, magnitude, digits);
	return out + digits;
}

#endif

#if defined(_WIN32) || defined(VALUE_TABLE_PRINTF_ROWS) || defined(__EMSCRIPTEN__)

/*
 * The Windows C runtime rounds "%8.4lf" its own way (0.03125 gives 0.0313), so
 * there the rows stay with printf to keep its bytes.
 */
void write_row_number(int number)
{
	std::printf("%d.  ", number);
}

void write_row_values(double x, double y)
{
	std::printf("x= %8.4lf  y=%8.4lf \n", x, y);
}

void flush_rows(void)
{
}

#else

#include <fcntl.h>
#include <unistd.h>

#include "dialogue.h"

/*
 * The text of the rows is collected here and handed to standard output a
 * block at a time; the buffer is fixed, so memory does not grow with the count.
 */
static char text[1 << 16];
static std::size_t text_used;

/* The most one row takes, scribbled bytes included. */
enum { ROW_MAX = 32 + 2 * FIXED4_MAX };

/*
 * Rows wait as numbers until a batch is full and are then formatted together,
 * apart from the extended-precision arithmetic of x and y, whose long chains
 * of latency the processor can then overlap from row to row.
 */
enum { BATCH = 128 };
static int batch_number[BATCH];
static double batch_x[BATCH];
static double batch_y[BATCH];
static int batch_size;

/*
 * The last row number's text and ".  x= ", 16 bytes held as one number: the
 * next row number is nearly always one more, and adding to its digits is much
 * cheaper than formatting it afresh. number_step adds one to the last digit;
 * number_carry turns a last 9 into 0 and adds one to the tens. number_digit
 * and number_tens are those two digits, or 9 where the text cannot count up.
 */
__extension__ typedef unsigned __int128 number_word;
static number_word number_text;
static number_word number_step;
static number_word number_carry;
static int number_len;
static int number_last;
static int number_digit = 9;
static int number_tens = 9;

/*
 * Rows enough to fill a block are rows enough to fill a pipe many times: in a
 * pipe of 1 MiB (what Linux lets anyone ask for unless its pipe-max-size says
 * less) this program and its reader wait for each other far less often than in
 * one of 64 KiB. Anything but a pipe refuses, and nothing changes.
 */
static void widen_pipe(void)
{
#ifdef F_SETPIPE_SZ
	static bool asked;
	if (!asked)
		(void)fcntl(STDOUT_FILENO, F_SETPIPE_SZ, 1 << 20);
	asked = true;
#endif
}

static void write_text(void)
{
	/*
	 * Straight to the file descriptor, one system call a block, where stdio
	 * would split each block in two; what stdio still holds goes out first.
	 */
	flush_output();
	std::size_t done = 0;
	while (done < text_used) {
		ssize_t n = write(STDOUT_FILENO, text + done, text_used - done);
		if (n > 0) {
			done += (std::size_t)n;
		} else {
			/*
			 * stdio tries the rest again: an interrupted write goes through
			 * there, and a failure meets stdio too, so that it ends up in the
			 * exit status. The rows still run to their end as printf rows do.
			 */
			(void)std::fwrite(text + done, 1, text_used - done, stdout);
			flush_output();
			break;
		}
	}
	text_used = 0;
}

static column column_x, column_y;

static void format_batch(void)
{
	/*
	 * The state is worked on in locals: every byte stored into text could
	 * otherwise be the compiler's reason to reload it.
	 */
	column x = column_x;
	column y = column_y;
	number_word word = number_text;
	int len = number_len;
	int last = number_last;
	int digit = number_digit;
	int tens = number_tens;
	int count = batch_size;
	/*
	 * The ten-thousandths of the whole batch first: the x87's latency is
	 * then hidden by the next value's, not waited for by the text.
	 */
	std::uint64_t units_x[BATCH];
	std::uint64_t units_y[BATCH];
	for (int i = 0; i < count; i++) {
		units_x[i] = ten_thousandths(batch_x[i]);
		units_y[i] = ten_thousandths(batch_y[i]);
	}
	char *p = text + text_used;
	for (int i = 0; i < count; i++) {
		if (p > text + sizeof text - ROW_MAX) {
			text_used = (std::size_t)(p - text);
			widen_pipe();
			write_text();
			p = text;
		}
		int number = batch_number[i];
		bool next = (std::int64_t)number == (std::int64_t)last + 1;
		if (next && digit != 9) {
			word += number_step;
			digit++;
		} else if (next && tens != 9) {
			word += number_carry;
			digit = 0;
			tens++;
		} else {
			char fresh[16 + 8];
			char *end = format_int(fresh, number);
			std::memcpy(end, ".  x= ", 6);
			len = (int)(end + 6 - fresh);
			std::memcpy(&word, fresh, 16);
			number_step = (number_word)1 << 8 * (len - 7);
			number_carry = (number_step >> 8) - 9 * number_step;
			/* A negative number counts up towards zero: its digits go down. */
			digit = number > 0 ? number % 10 : 9;
			tens = number >= 10 ? number / 10 % 10 : 9;
		}
		last = number;
		std::memcpy(p, &word, 16);
		/* Below -999999999 the text is a byte longer: its last space. */
		if (__builtin_expect(len > 16, 0))
			p[16] = ' ';
		p = put_value(p + len, batch_x[i], units_x[i], &x);
		std::memcpy(p, "  y=", 4);
		p = put_value(p + 4, batch_y[i], units_y[i], &y);
		std::memcpy(p, " \n", 2);
		p += 2;
	}
	text_used = (std::size_t)(p - text);
	column_x = x;
	column_y = y;
	number_text = word;
	number_len = len;
	number_last = last;
	number_digit = digit;
	number_tens = tens;
	batch_size = 0;
}

void write_row_number(int number)
{
	batch_number[batch_size] = number;
}

void write_row_values(double x, double y)
{
	batch_x[batch_size] = x;
	batch_y[batch_size] = y;
	if (++batch_size == BATCH)
		format_batch();
}

void flush_rows(void)
{
	format_batch();
	write_text();
}

#endif
