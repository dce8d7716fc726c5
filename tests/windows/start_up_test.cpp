/* start_up_test - the Windows start-up leaves the x87 unit as the programs need it */
#include <cstdio>

#include "dialogue.h"

static unsigned short control_word(void)
{
	unsigned short word;
	__asm__ volatile("fnstcw %0" : "=m"(word));
	return word;
}

/* Clears the exception flags first, as a new process has none pending. */
static void load_control_word(unsigned short word)
{
	__asm__ volatile("fnclex\n\tfldcw %0" : : "m"(word));
}

/* 1 + 2^53 exceeds 2^53 only with a 64-bit significand rounding to nearest. */
static bool sum_is_extended(void)
{
	volatile double one = 1.0;
	volatile double big = 9007199254740992.0;
	return (long double)one + big > big;
}

int main(void)
{
	/*
	 * The word Windows starts a program with (53-bit precision), and one with
	 * every field wrong: 53-bit precision, rounding towards zero, and every
	 * exception but the inexact one unmasked.
	 */
	static const unsigned short starts[] = { 0x027F, 0x0E60 };
	int failures = 0;

	for (unsigned short start : starts) {
		load_control_word(start);
		bool before = sum_is_extended();
		windows_start_up();
		unsigned short word = control_word();
		bool after = sum_is_extended();
		volatile double zero = 0.0;
		/* A division by zero must give an infinity, not a trap. */
		bool infinite = 1.0L / zero > 1e308L;

		/* Rounding, precision and the exception masks; the rest is reserved. */
		bool good = (word & 0x0F3F) == 0x033F && !before && after && infinite;
		std::printf("%04X -> %04X, 1 + 2^53 %s before and %s after: %s\n",
		            start, word, before ? "exact" : "rounded",
		            after ? "exact" : "rounded", good ? "ok" : "FAILED");
		if (!good)
			failures++;
	}
	return failures;
}
