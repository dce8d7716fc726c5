/* value_table - tabulate y = 2x^2 + 3x + 8 from a start value in steps towards an end value */
#include <climits>
#include <cmath>
#include <cstdio>

#include "dialogue.h"
#include "extended.h"
#include "rows.h"

static void szamol(double x)
{
	extended xl = x;
	double y = (double)((xl + xl) * xl + xl * 3 + 8);

	write_row_values(x, y);
}

int main(void)
{
	double start = 0.0;
	/* Set like the start value, so that a failed read leaves 0.0 here too. */
	double end = 0.0;
	double step = 0.0;

	std::printf("kezd\xF5 \xE9rt\xE9k = ");
	read_number(&start);
	std::printf("v\xE9g \xE9rt\xE9k = ");
	read_number(&end);
	std::printf("l\xE9p\xE9sk\xF6z = ");
	read_number(&step);

	double quotient = (double)(((extended)end - start) / step);
	double rounded = std::round(quotient);
	/* NaN fails both comparisons; nothing out of range is ever converted. */
	int count = rounded >= INT_MIN && rounded <= INT_MAX ? (int)rounded : INT_MIN;

	std::printf("l\xE9p\xE9sek sz\xE1" "ma = %d\n", count);
	std::printf("------------------------\n");
	for (int k = 0; k < count; k++) {
		write_row_number(k + 1);
		/* Each x afresh from k: adding the step up would gather rounding errors. */
		szamol((double)((extended)k * step + start));
	}
	flush_rows();

	closing_pause();
	return exit_status("value_table");
}
