/* rows - the numbered rows of value_table, formatted and written in large blocks */
#ifndef ROWS_H
#define ROWS_H

/* The most bytes format_fixed4 writes: a sign, 309 digits, the point and 4 decimals. */
enum { FIXED4_MAX = 315 };

/*
 * Writes value as printf("%8.4lf") does with glibc, exactly rounded, at out and
 * returns the end; nothing is terminated. out must have room for FIXED4_MAX
 * bytes, which may be scribbled on past the end.
 */
char *format_fixed4(char *out, double value);

/* Writes value as printf("%d") does at out and returns the end. */
char *format_int(char *out, int value);

/* Starts a row with its number, as "%d.  "; write_row_values must follow. */
void write_row_number(int number);

/* Ends the row with x and y, as "x= %8.4lf  y=%8.4lf \n". */
void write_row_values(double x, double y);

/* Hands the rows still held back to standard output; called after the last row. */
void flush_rows(void);

#endif
