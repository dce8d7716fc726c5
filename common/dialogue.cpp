/* dialogue - the console dialogue shared by the four programs */
#include "dialogue.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

const char closing_text[] =
    "\nNyomj egy karaktert \xE9s egy entert, ha ki akarsz l\xE9pni a programb\xF3l!\n";

/*
 * Why the first write to standard output failed, kept for the exit status:
 * later reads may overwrite errno before the program ends.
 */
static int output_errno;

void flush_output(void)
{
	if (std::fflush(stdout) != 0 && output_errno == 0)
		output_errno = errno;
}

void read_number(double *value)
{
	flush_output();
	/*
	 * A failed read is not reported: the value stays as it was and the
	 * unreadable characters stay for the next read, which fails the same way.
	 */
	(void)std::scanf("%lf", value);
}

void closing_pause(void)
{
	std::fputs(closing_text, stdout);
	flush_output();
	/*
	 * The integer is only there to wait for a line with a character on it;
	 * it is discarded unstored, so even forty digits cannot overflow anything.
	 */
	(void)std::scanf("%*d");
}

int exit_status(const char *program)
{
	flush_output();
	if (!std::ferror(stdout))
		return 0;
	std::fprintf(stderr, "%s: %s\n", program,
	             std::strerror(output_errno != 0 ? output_errno : EIO));
	return 1;
}
