/* tab_pattern - a fixed figure of x letters between tabs */
#include <cstdio>

#include "dialogue.h"

int main(void)
{
	std::printf("\txxxx \tx \txxxx \n");
	std::printf("\txxxx \txx \txxx \n");
	std::printf("\txxxx \txxx \txx \n");
	std::printf("\txxxx \txxxx \tx \n");

	closing_pause();
	return exit_status("tab_pattern");
}
