/* value_table - the start-up reference: the same dialogue in plain printf and scanf */
#include <limits.h>
#include <math.h>
#include <stdio.h>

int main(void)
{
	double start = 0.0, end = 0.0, step = 0.0;

	printf("kezd\xF5 \xE9rt\xE9k = ");
	fflush(stdout);
	(void)scanf("%lf", &start);
	printf("v\xE9g \xE9rt\xE9k = ");
	fflush(stdout);
	(void)scanf("%lf", &end);
	printf("l\xE9p\xE9sk\xF6z = ");
	fflush(stdout);
	(void)scanf("%lf", &step);

	double rounded = round((double)(((long double)end - start) / step));
	int count = rounded >= INT_MIN && rounded <= INT_MAX ? (int)rounded : INT_MIN;
	printf("l\xE9p\xE9sek sz\xE1" "ma = %d\n", count);
	printf("------------------------\n");
	for (int k = 0; k < count; k++) {
		long double x = (double)((long double)k * step + start);
		printf("%d.  x= %8.4lf  y=%8.4lf \n", k + 1, (double)x,
		       (double)((x + x) * x + x * 3 + 8));
	}
	printf("\nNyomj egy karaktert \xE9s egy entert, ha ki akarsz l\xE9pni a programb\xF3l!\n");
	fflush(stdout);
	(void)scanf("%*d");
	return ferror(stdout) ? 1 : 0;
}
