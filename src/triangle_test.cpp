/* triangle_test - can a triangle be built from three given sides */
#include <cstdio>

#include "dialogue.h"
#include "extended.h"

int main(void)
{
	/* A side whose read fails stays 0.0, and no triangle has a zero side. */
	double a = 0.0;
	double b = 0.0;
	double c = 0.0;

	std::printf("a = ");
	read_number(&a);
	std::printf("b = ");
	read_number(&b);
	std::printf("c = ");
	read_number(&c);

	/*
	 * Each sum stays in extended precision: rounded to double first,
	 * 1 + 2^53 would equal 2^53.  A test passes only when the side is less
	 * than the sum, so a NaN side fails it.
	 */
	if (c < (extended)a + b && b < (extended)a + c && a < (extended)b + c)
		std::printf("\nA megadott oldalak alapj\xE1n a h\xE1romsz\xF6g elk\xE9sz\xEDthet\xF5!\n");
	else
		std::printf("\nA megadott oldalak alapj\xE1n a h\xE1romsz\xF6g nem elk\xE9sz\xEDthet\xF5!\n");

	closing_pause();
	return exit_status("triangle_test");
}
