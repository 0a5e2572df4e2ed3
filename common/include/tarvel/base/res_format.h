/*
 * The message formatter: texts from the resource module carry references to
 * the caller's arguments, either by position ("%1s" .. "%9d") so that a
 * translation can reorder them, or in order ("%s", "%d").
 *
 * Format syntax:
 *   %Ns %Nd    argument N (1-9), a string (const WCHAR *) or a 32-bit int;
 *   %s  %d     the next argument: its index is the number of references
 *              (of either form) before it;
 *   %NS %ND %S %D   as the lower-case forms, but the argument is taken and
 *              nothing is printed;
 *   %%         a "%".
 * Everything else is literal.  The format is cut into at most 20 pieces:
 * once 19 exist, the rest of the text is literal.  At most 10 references
 * are recognised: after the tenth, "%" is literal as well.
 *
 * Arguments are taken by index: for each index from 0 to R - 1 (R = the
 * number of references), each reference to it takes the next argument of
 * its own type, in piece order.  A reference to an index of R or above
 * takes nothing and prints its own text ("%3s" alone prints "%3s").
 */
#ifndef TARVEL_RES_FORMAT_H
#define TARVEL_RES_FORMAT_H

#include <plat/types.h>

#include <cstdarg>

/*
 * Formats `format` with the arguments into `out` (capacity characters).  A
 * piece that would make the output's length reach the capacity is left
 * out, and the later pieces are still tried; the output is always
 * terminated.  A capacity of 0 or below writes nothing (out may be null) and
 * answers the length the whole output would have.  A null string argument
 * prints nothing.  Returns the output's length in characters; 0 (out
 * emptied when it can be) for a null format, or a null out with a positive
 * capacity.
 */
int RES_FormatMessage(LPWSTR out, int capacity, LPCWSTR format, ...);
int RES_FormatMessageV(LPWSTR out, int capacity, LPCWSTR format, va_list args);

#endif /* TARVEL_RES_FORMAT_H */
