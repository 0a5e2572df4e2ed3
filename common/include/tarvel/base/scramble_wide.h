/*
 * The text scrambler for UTF-16 texts: the entry that callers use to store a
 * text (a fax name, a user or account field) in its scrambled Base64 form and
 * to get it back.  The text travels through the ANSI code page, so a text
 * survives the round trip when that code page can represent it.
 *
 * Defined in scramble_wide.cpp, which the build takes up together with the
 * code-page conversions of the platform layer.
 */
#ifndef TARVEL_SCRAMBLE_WIDE_H
#define TARVEL_SCRAMBLE_WIDE_H

#include <plat/types.h>

/*
 * Mode 1: converts `text` to the ANSI code page, scrambles the bytes and
 * writes them as Base64 (UTL_EncodeBytes); any other mode: reads `text` as
 * such Base64, decodes and unscrambles it (UTL_DecodeBytes) and reads the
 * bytes as ANSI text.  On success *result is a new zero-filled GlobalAlloc
 * string that the caller frees with GlobalFree, and the answer is TRUE.  An
 * empty or missing text, a missing output, a failed conversion, Base64 that
 * decodes to no byte or no memory answer FALSE; *result is then null (when
 * given) and every temporary buffer has been freed.
 */
BOOL UTL_ScrambleWide(int mode, const WCHAR *text, WCHAR **result);

#endif /* TARVEL_SCRAMBLE_WIDE_H */
