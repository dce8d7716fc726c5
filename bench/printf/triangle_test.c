/* triangle_test - the start-up reference: the same dialogue in plain printf and scanf */
#include <stdio.h>

int main(void)
{
	double a = 0.0, b = 0.0, c = 0.0;

	printf("a = ");
	fflush(stdout);
	(void)scanf("%lf", &a);
	printf("b = ");
	fflush(stdout);
	(void)scanf("%lf", &b);
	printf("c = ");
	fflush(stdout);
	(void)scanf("%lf", &c);

	if (c < (long double)a + b && b < (long double)a + c && a < (long double)b + c)
		printf("\nA megadott oldalak alapj\xE1n a h\xE1romsz\xF6g elk\xE9sz\xEDthet\xF5!\n");
	else
		printf("\nA megadott oldalak alapj\xE1n a h\xE1romsz\xF6g nem elk\xE9sz\xEDthet\xF5!\n");
	printf("\nNyomj egy karaktert \xE9s egy entert, ha ki akarsz l\xE9pni a programb\xF3l!\n");
	fflush(stdout);
	(void)scanf("%*d");
	return ferror(stdout) ? 1 : 0;
}
