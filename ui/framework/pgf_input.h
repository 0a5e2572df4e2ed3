/*
 * Input text rules and number texts: every text a user types is checked in
 * its ANSI form, byte by byte with double-byte characters recognised,
 * against character rules loaded from resource strings (lists of
 * hexadecimal byte values), and numbers are read and written with a fixed
 * number of decimals.
 */
#ifndef TARVELUI_PGF_INPUT_H
#define TARVELUI_PGF_INPUT_H

#include <plat/types.h>

/* The rules of a text field: four zero-terminated lists of string ids (or null) and a message id. */
struct InputCharRules {
    const UINT *allowedSingle;   /* pairs (first byte, last byte) */
    const UINT *allowedDouble;   /* four bytes a range: first code high, low, last code high, low */
    const UINT *forbiddenSingle; /* single bytes */
    const UINT *forbiddenDouble; /* pairs (lead byte, trail byte) */
    LONG messageId;              /* shown when a text breaks the rules; -3 none */
};

/* Resource strings of the checks and number texts. */
inline constexpr UINT PGF_STR_NUMBER_SINGLE = 9219; /* allowed single-byte ranges of numbers */
inline constexpr UINT PGF_STR_NUMBER_DOUBLE = 9233; /* allowed double-byte ranges of numbers */
inline constexpr UINT PGF_STR_DOUBLE_BLANK = 9236;  /* the double-byte blank (two hex bytes) */
inline constexpr UINT PGF_STR_SIGN_1 = 9239;        /* the two sign characters */
inline constexpr UINT PGF_STR_SIGN_2 = 9240;
inline constexpr UINT PGF_STR_DECIMAL = 9241;       /* the decimal separator */

/* Check flags (the same bits as the edit field flags). */
inline constexpr DWORD PGF_TEXT_NUMERIC = 0x01;
inline constexpr DWORD PGF_TEXT_SIGN_IGNORED = 0x10;
inline constexpr DWORD PGF_TEXT_SIGN_REFUSED = 0x20;
inline constexpr DWORD PGF_TEXT_DECIMALS = 0x40;
inline constexpr DWORD PGF_TEXT_NO_BLANK_ONLY = 0x100; /* also: a whole fixed-point value without decimals */
inline constexpr DWORD PGF_TEXT_EMPTY_OK = 0x200;      /* also: extra decimals are accepted and cut */
inline constexpr DWORD PGF_TEXT_HALF_STEP = 0x1000;

/* 1 when `text` passes the four lists (null: no rule of that kind), the flags and the decimals. */
BOOL PGF_ValidateInputText(LPCWSTR text, const UINT *allowedSingle, const UINT *allowedDouble,
                           const UINT *forbiddenSingle, const UINT *forbiddenDouble, DWORD flags, LONG decimals);
/*
 * Copies the ANSI text (*length bytes) to `out` (room for *length + 1)
 * without an accepted leading sign and without the decimal separator;
 * *length becomes the copy's length.  Non-zero when a non-empty text remains.
 */
BOOL PGF_StripSignAndPoint(DWORD flags, LONG decimals, LPCSTR text, DWORD *length, LPSTR out);
/*
 * The byte list of a zero-terminated list of string ids: the strings
 * joined, each followed by ",", then "0,0,0,0", read as hexadecimal values
 * (the joined text cut to 263 characters).  A new buffer (GlobalFree)
 * whose last four bytes are always 0, with its byte count in *count; null
 * for a null list or when memory runs out (the list then counts as absent).
 */
BYTE *PGF_LoadByteList(const UINT *ids, LONG *count);
/* The number of hexadecimal values of `text`; their low bytes go to `out` when given. */
LONG PGF_ParseHexBytes(LPCSTR text, BYTE *out);

/* An optional sign, then 1 to 10 decimal digits (magnitude at most 2147483648 negative, 4294967295 else). */
BOOL PGF_ParseInt32(LPCSTR text, LONG *value);
/* A number with up to `decimals` decimals as value * 10^decimals; overflow is refused. */
BOOL PGF_ParseFixedPoint(LPCSTR text, LONG *value, LONG decimals, DWORD flags);
/* The text of value / 10^decimals (flag 0x40 required) in a new buffer (GlobalFree). */
BOOL PGF_FormatFixedPoint(LPWSTR *text, LONG decimals, BOOL isSigned, DWORD flags, LONG value);
/* Fixed point for decimals other than 0, else the value of its type as "%d" / "%ld" (24 characters). */
BOOL PGF_FormatValueText(LPWSTR *text, LONG decimals, BOOL isSigned, WORD type, LONG value);

/* Byte length of the ANSI form (double-byte characters count 2); -1 when the text has no exact ANSI form. */
int PGF_AnsiByteLength(LPCWSTR text);
/* Cuts the text in place to whole characters of at most n ANSI bytes; 0 when it has no exact ANSI form. */
BOOL PGF_TruncateAnsi(int n, LPWSTR text);
/* Removes in place every occurrence of each single-byte character of `characters`; 0 as above. */
BOOL PGF_RemoveChars(LPWSTR text, LPCWSTR characters);

#endif /* TARVELUI_PGF_INPUT_H */
