/* reciprocal_sum - the sum of the reciprocals of 1 to 100 */
#include <cstdio>

#include "dialogue.h"
#include "extended.h"

int main(void)
{
	double sum = 0.0;

	for (int i = 1; i <= 100; i++) {
		double term = (double)((extended)1.0 / i);
		sum = sum + term;
	}
	/* No line end: the closing text starts with one and finishes the line. */
	std::printf("A reciprokok \xF6sszege 1..100-ig: %lf", sum);

	closing_pause();
	return exit_status("reciprocal_sum");
}
