/*
 * Small text and number routines shared across the common library: bounded
 * string lengths and concatenation, strict number parsing, the size of a
 * global memory block, and the conversions between tenths of a millimetre
 * and hundredths of an inch.  All are stateless.
 */
#ifndef TARVEL_UTIL_TEXT_H
#define TARVEL_UTIL_TEXT_H

#include <plat/types.h>

/* Number of UTF-16 units before the first 0, at most n; 0 for null or n <= 0. */
int UTL_WcsNLen(LPCWSTR text, int n);

/* Number of bytes before the first 0, at most n; 0 for null or n <= 0. */
int UTL_StrNLen(LPCSTR text, int n);

/*
 * Appends `text` to the string in `buffer` (capacity n units), cutting it to
 * the free tail; the buffer always ends terminated.  When the buffer holds
 * no terminator within its n units, its last unit is set to 0 first.
 * Returns the buffer's length afterwards; 0 (nothing written) for a null
 * buffer or n below 1.  A null text appends nothing.
 */
int UTL_WcsNCat(LPWSTR buffer, int n, LPCWSTR text);

/* Decimal text to a number, as _wtoi (white space, sign, digits; 0 for null). */
int UTL_WToI(LPCWSTR text);

/*
 * Parses a whole text as a number: "0x" or "0X" followed by one or more
 * hexadecimal digits (either case), or one or more decimal digits, and
 * nothing else.  No sign and no overflow check (the value wraps modulo
 * 2^32).  Returns 1 with *out set, or 0 (out untouched) for anything else:
 * an empty or null text, "0x" alone, a sign, a stray character, a null out.
 */
BOOL UTL_ParseNumber(LPCWSTR text, DWORD *out);

/* GlobalSize(GlobalHandle(p)): the size of the global block that starts at p; 0 when p is not one (or null). */
SIZE_T UTL_GetGlobalSize(LPCVOID p);

/*
 * Tenths of a millimetre to hundredths of an inch and back, rounded half
 * away from zero in integer arithmetic:
 *   sign(v) * ((|v| * 1000 / 254 + 5) / 10)   and   sign(v) * ((|v| * 254 / 10 + 5) / 10).
 * 2100 -> 827, -2100 -> -827; 850 -> 2159.
 */
LONG UTL_TenthMmToHundredthInch(LONG v);
LONG UTL_HundredthInchToTenthMm(LONG v);

/*
 * Splits a value with two decimal places: *whole = v / 100, *fraction =
 * (v mod 100) / 10 when `oneDigit` is set, else v mod 100 (C division, so a
 * negative v gives negative parts).  Returns 1, or 0 for a missing output.
 */
BOOL UTL_SplitFixed2(BOOL oneDigit, LONG v, LONG *whole, LONG *fraction);

#endif /* TARVEL_UTIL_TEXT_H */
