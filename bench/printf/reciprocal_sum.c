/* reciprocal_sum - the start-up reference: the same dialogue in plain printf and scanf */
#include <stdio.h>

int main(void)
{
	double sum = 0.0;

	for (int i = 1; i <= 100; i++)
		sum = sum + (double)(1.0L / i);
	printf("A reciprokok \xF6sszege 1..100-ig: %lf", sum);
	printf("\nNyomj egy karaktert \xE9s egy entert, ha ki akarsz l\xE9pni a programb\xF3l!\n");
	fflush(stdout);
	(void)scanf("%*d");
	return ferror(stdout) ? 1 : 0;
}
