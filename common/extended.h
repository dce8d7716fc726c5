/* extended - the type in which the programs compute between doubles */
#ifndef EXTENDED_H
#define EXTENDED_H

#include <cfloat>

/*
 * The programs' arithmetic is the x87's: a 64-bit significand and a 15-bit
 * exponent.  Where long double is exactly that, the hardware computes it;
 * elsewhere long double is IEEE quad (64-bit ARM Linux, WebAssembly) or plain
 * double (MSVC, 64-bit ARM macOS) and would print other digits, so integers
 * compute it instead.  SOFT_EXTENDED asks for the integers on x86 as well, so
 * that they can be tested there against the hardware.
 */
#if LDBL_MANT_DIG == 64 && (defined(__i386__) || defined(__x86_64__)) && !defined(SOFT_EXTENDED)
#define EXTENDED_IS_X87 1
typedef long double extended;
#else
#include "soft_extended.h"
typedef soft_extended extended;
#endif

#endif
