/* tab_pattern - the start-up reference: the same dialogue in plain printf and scanf */
#include <stdio.h>

int main(void)
{
	printf("\txxxx \tx \txxxx \n");
	printf("\txxxx \txx \txxx \n");
	printf("\txxxx \txxx \txx \n");
	printf("\txxxx \txxxx \tx \n");
	printf("\nNyomj egy karaktert \xE9s egy entert, ha ki akarsz l\xE9pni a programb\xF3l!\n");
	fflush(stdout);
	(void)scanf("%*d");
	return ferror(stdout) ? 1 : 0;
}
