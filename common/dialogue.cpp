/* dialogue - the console dialogue shared by the four programs */
#include "dialogue.h"

#include <cerrno>
#include <cstdio>
#include <cstring>

#ifdef _WIN32
#include <fcntl.h>
#include <float.h>
#include <io.h>
#endif

const char closing_text[] =
    "\nNyomj egy karaktert \xE9s egy entert, ha ki akarsz l\xE9pni a programb\xF3l!\n";

/*
 * Why the first write to standard output failed, kept for the exit status:
 * later reads may overwrite errno before the program ends.
 */
static int output_errno;

void flush_output(void)
{
	/*
	 * Where standard output is unbuffered a write fails inside printf, not
	 * here: the error flag tells, and errno still holds that write's reason.
	 */
	if ((std::fflush(stdout) != 0 || std::ferror(stdout)) && output_errno == 0)
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

#ifdef _WIN32
void windows_start_up(void)
{
#ifdef _WIN64
	/*
	 * The 64-bit runtime's _controlfp refuses to change the precision, so
	 * the x87 control word is loaded directly: exception masks in bits 0-5,
	 * precision in bits 8-9 (11 is 64-bit), rounding in bits 10-11 (00 is
	 * to nearest).
	 */
	unsigned short word;
	__asm__ volatile("fnstcw %0" : "=m"(word));
	word = (unsigned short)((word & ~0x0F3F) | 0x033F);
	__asm__ volatile("fldcw %0" : : "m"(word));
#else
	_control87(_PC_64 | _RC_NEAR | _MCW_EM, _MCW_PC | _MCW_RC | _MCW_EM);
#endif
	/* Text mode whatever the program was linked with: \n goes out as CR LF. */
	_setmode(_fileno(stdin), _O_TEXT);
	_setmode(_fileno(stdout), _O_TEXT);
}

/* Runs the start-up before main, so no program has to call it. */
static const bool started_up = (windows_start_up(), true);
#endif
