/* dialogue - the console dialogue shared by the four programs */
#ifndef DIALOGUE_H
#define DIALOGUE_H

/*
 * The programs compute in round-to-nearest with every floating-point exception
 * masked and intermediate results in the x87 extended format (extended.h).
 * x86-64 Linux starts every process in exactly that state, so there is nothing
 * to set here.  Windows starts a program at 53-bit precision, so there the
 * state is set before main runs (windows_start_up).
 */

/* The text every program ends with; it starts with a line end of its own. */
extern const char closing_text[];

/*
 * Puts everything written so far on the screen; every read calls it first, so a
 * prompt is visible while the program waits, on a console, a pipe or a file alike.
 */
void flush_output(void);

/* Reads one number as "%lf" does; a failed read leaves *value as it was. */
void read_number(double *value);

/* Writes the closing text and waits for a line holding a non-blank character. */
void closing_pause(void);

/* The exit status: 0, or 1 after telling standard error why output was lost. */
int exit_status(const char *program);

#ifdef _WIN32
/*
 * Sets round to nearest, every exception masked and 64-bit precision, and text
 * mode on standard input and output; it runs on its own before main.
 */
void windows_start_up(void);
#endif

#endif
