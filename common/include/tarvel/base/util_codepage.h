/*
 * Conversions between UTF-16 and code pages (the ANSI code page, double-byte
 * code pages, UTF-8) for texts the driver stores, shows or sends to the
 * device.  Every conversion first passes its code page through
 * UTL_ValidCodePage, so an unknown code page falls back to the ANSI one.
 *
 * Buffers handed out are zero-filled GlobalAlloc blocks; the caller frees
 * them with GlobalFree.
 */
#ifndef TARVEL_UTIL_CODEPAGE_H
#define TARVEL_UTIL_CODEPAGE_H

#include <plat/types.h>

/* `codePage` when it is 65001 (UTF-8) or an installed code page other than 0 (GetCPInfo), else GetACP(). */
UINT UTL_ValidCodePage(UINT codePage);

/*
 * Converts `text` to `codePage` into a new buffer of the size needed.
 * Returns 1 with *buffer (terminated) and *length (bytes without the
 * terminator), or 0 (*buffer null) for a null argument, a failed conversion
 * or no memory.
 */
BOOL UTL_WideToMultiByteAlloc(LPCWSTR text, LPSTR *buffer, DWORD *length, UINT codePage);

/*
 * Converts `text` from `codePage` into a new buffer.  Returns 1 with
 * *buffer (terminated) and *count (units including the terminator), or 0
 * (*buffer null) for a null argument, a failed conversion or no memory.
 */
BOOL UTL_MultiByteToWideAlloc(LPCSTR text, LPWSTR *buffer, DWORD *count, UINT codePage);

/*
 * Counts the characters of `text` in `codePage` (0: the ANSI code page): a
 * lead byte and its trail byte are one character; a lead byte right before
 * the terminator is one character too (and the terminator is never stepped
 * over).  With a positive `capacity` (units of `out`) also converts the
 * text into `out`, cut to capacity - 1 units, and terminates it.  Returns
 * the character count; 0 for a null text, or when `out` is null with a
 * positive capacity.
 */
int UTL_CodePageToWide(UINT codePage, LPWSTR out, LPCSTR text, int capacity);

/* UTL_CodePageToWide into a new buffer of count + 1 units; *count (may be null) gets the count.  Null on failure. */
LPWSTR UTL_CodePageToWideAlloc(UINT codePage, LPCSTR text, int *count);

/*
 * The bytes `text` takes in `codePage`, plus 1 for the terminator.  With
 * `size` 0 only counts (out may be null).  With a positive size converts into
 * `out` and terminates it; a text that does not fit is cut after the last
 * whole character that does (never inside a double-byte or UTF-8 sequence),
 * and the answer is still the full count, so answer > size tells the cut.
 * 0 for a null text, a negative size, a positive size without a buffer, or
 * a failed conversion.
 */
int UTL_WideToCodePage(UINT codePage, LPCWSTR text, LPSTR out, int size);

/* UTL_WideToCodePage into a new buffer one byte larger than its count.  Null on failure. */
LPSTR UTL_WideToCodePageAlloc(UINT codePage, LPCWSTR text);

/* UTL_WideToCodePage with UTF-8. */
int UTL_WideToUtf8(LPCWSTR text, LPSTR out, int size);

/* `text` as UTF-8 in a new buffer; *size (may be null) gets its bytes including the terminator.  Null on failure. */
LPSTR UTL_WideToUtf8Alloc(LPCWSTR text, int *size);

/* ANSI text to UTF-8 (through UTF-16) in a new buffer; *size as for UTL_WideToUtf8Alloc.  Null on failure. */
LPSTR UTL_AnsiToUtf8Alloc(LPCSTR text, int *size);

/*
 * The longest prefix of the ANSI text `text` (`length` bytes) of whole
 * characters (a lead byte and its trail byte together) within `limit` bytes.
 */
int UTL_AnsiPrefixLength(LPCSTR text, int length, int limit);

#endif /* TARVEL_UTIL_CODEPAGE_H */
