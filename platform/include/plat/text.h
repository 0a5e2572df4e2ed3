/*
 * UTF-16 text routines of the platform layer, under their Windows names.
 *
 * All wide text of the driver is UTF-16 (WCHAR is char16_t), so none of the
 * C library's own wide-character routines can serve it; this header gives the string,
 * number, case, formatting and time-stamp routines the driver calls, written
 * from their documented behaviour.  Narrow ("A") text is in the ANSI code
 * page (plat/codepage.h).  The helpers in namespace plat convert between
 * UTF-16 and the UTF-8 that Linux paths and test output use.
 *
 * Names that the C library also declares for its own wide characters
 * (wcslen, wcsncpy, wcstok, wcstoul, wcsftime, ...) are overloads for WCHAR
 * here; they never touch the C library's versions.
 *
 * Case-insensitive comparisons and CharUpperW/CharLowerW use a simple
 * one-to-one case mapping covering ASCII, Latin-1, Latin Extended-A, Greek,
 * Cyrillic and the full-width Latin letters; other characters are left as
 * they are.  Comparisons are ordinal (by UTF-16 code unit after case
 * folding), not the linguistic order of a Windows locale.
 */
#ifndef PLAT_TEXT_H
#define PLAT_TEXT_H

#include <plat/types.h>

#include <cstdarg>
#include <ctime>
#include <string>
#include <string_view>

/* ---- lstr* (kernel32) ---------------------------------------------------
 * These never fault on null pointers: lengths count 0, copies answer null. */

/* Number of WCHARs before the terminator; 0 for null. */
int lstrlenW(LPCWSTR s);
/* Number of bytes before the terminator; 0 for null. */
int lstrlenA(LPCSTR s);

/* Copies src, terminator included, into dst.  Returns dst, or null (nothing
 * written) when either pointer is null.  The caller guarantees the room. */
LPWSTR lstrcpyW(LPWSTR dst, LPCWSTR src);
LPSTR lstrcpyA(LPSTR dst, LPCSTR src);

/*
 * Copies at most n - 1 units of src into dst and always terminates it when
 * n > 0 (a longer src is cut).  Returns dst; n == 0 writes nothing and
 * returns dst; a negative n or a null pointer writes nothing and returns null.
 */
LPWSTR lstrcpynW(LPWSTR dst, LPCWSTR src, int n);
LPSTR lstrcpynA(LPSTR dst, LPCSTR src, int n);

/* Appends src to dst.  Returns dst, or null (nothing written) for a null
 * pointer.  The caller guarantees the room. */
LPWSTR lstrcatW(LPWSTR dst, LPCWSTR src);

/*
 * Compare two strings: -1, 0 or 1 as a sorts before, equal to or after b.
 * Ordinal on UTF-16 code units; the "i" forms fold case first (to lower
 * case).  A null string sorts before any other; two nulls are equal.  The
 * ANSI forms compare the strings' UTF-16 forms in the ANSI code page, so a
 * double-byte character's trail byte is never mistaken for a letter.
 */
int lstrcmpW(LPCWSTR a, LPCWSTR b);
int lstrcmpiW(LPCWSTR a, LPCWSTR b);
int lstrcmpA(LPCSTR a, LPCSTR b);
int lstrcmpiA(LPCSTR a, LPCSTR b);

/* ---- Case (user32) ------------------------------------------------------ */

/*
 * Converts a string in place to upper (lower) case and returns it.  When the
 * pointer's high bits are all zero (below 0x10000), its low word is taken as a
 * single character instead, and the converted character is returned the same
 * way, in the low word of the result.  Null returns null.
 */
LPWSTR CharUpperW(LPWSTR s);
LPWSTR CharLowerW(LPWSTR s);
/* Converts n units in place; returns n (0 for null). */
DWORD CharUpperBuffW(LPWSTR s, DWORD n);
DWORD CharLowerBuffW(LPWSTR s, DWORD n);

/* ---- C run-time wide string routines ------------------------------------ */

/* Number of units before the terminator (the caller passes a valid string). */
size_t wcslen(const WCHAR *s);
/* As wcslen, but looks at no more than max units. */
size_t wcsnlen(const WCHAR *s, size_t max);

/*
 * Copies at most n units of src; when src is shorter, the rest of the n units
 * is filled with zeros; when it is n units or longer, dst is NOT terminated.
 * Returns dst.
 */
WCHAR *wcsncpy(WCHAR *dst, const WCHAR *src, size_t n);

/* Ordinal comparisons: negative, 0 or positive.  The "i" forms fold case. */
int wcscmp(const WCHAR *a, const WCHAR *b);
int wcsncmp(const WCHAR *a, const WCHAR *b, size_t n);
int _wcsicmp(const WCHAR *a, const WCHAR *b);
int _wcsnicmp(const WCHAR *a, const WCHAR *b, size_t n);

/* First / last occurrence of c (the terminator can be found); null if none. */
WCHAR *wcschr(const WCHAR *s, WCHAR c);
WCHAR *wcsrchr(const WCHAR *s, WCHAR c);
/* First occurrence of needle in s (s itself for an empty needle); null if none. */
WCHAR *wcsstr(const WCHAR *s, const WCHAR *needle);

/*
 * Splits s into tokens separated by any unit of delim, writing a terminator
 * over the separator after each token.  Pass s on the first call and null
 * afterwards.  The three-argument form keeps its position in *context; the
 * two-argument form keeps it per thread.  Returns the next token, or null
 * when there is none.
 */
WCHAR *wcstok(WCHAR *s, const WCHAR *delim, WCHAR **context);
WCHAR *wcstok(WCHAR *s, const WCHAR *delim);

/*
 * Splits a path into drive ("C:"), directory (up to and including the last
 * "\" or "/"), file name and extension (from the last "." of the name on).
 * Any output may be null.  The bounded form takes each output's size in
 * units (0 with a null output): returns 0, EINVAL (null path, or an output
 * and its size that disagree; every given output emptied) or ERANGE (a part
 * too long for its output; every given output emptied).  The unbounded form
 * assumes outputs of _MAX_DRIVE, _MAX_DIR, _MAX_FNAME and _MAX_EXT units.
 */
#define _MAX_DRIVE 3
#define _MAX_DIR 256
#define _MAX_FNAME 256
#define _MAX_EXT 256
int _wsplitpath_s(const WCHAR *path, WCHAR *drive, size_t drive_size, WCHAR *dir, size_t dir_size, WCHAR *fname,
                  size_t fname_size, WCHAR *ext, size_t ext_size);
void _wsplitpath(const WCHAR *path, WCHAR *drive, WCHAR *dir, WCHAR *fname, WCHAR *ext);

/* ---- Numbers ------------------------------------------------------------ */

/*
 * Decimal text to a 32-bit number: skips leading white space (tab, line feed,
 * vertical tab, form feed, carriage return, space), takes an optional sign,
 * then ASCII digits up to the first other unit.  No digits gives 0.  A value
 * beyond the 32-bit range gives INT_MAX (LONG_MAX) or INT_MIN (LONG_MIN) and
 * sets errno to ERANGE.  Null gives 0.
 */
int _wtoi(const WCHAR *s);
LONG _wtol(const WCHAR *s);

/*
 * Text to a 32-bit number in the given base (2-36, or 0: "0x"/"0X" means
 * hexadecimal, a leading "0" octal, else decimal; base 16 also accepts the
 * "0x" prefix).  White space and sign as for _wtol; a "-" negates the
 * result.  *end (when end is given) points after the last unit used, or at s
 * when there was no number.  Out of range: wcstoul gives ULONG_MAX (0xFFFFFFFF),
 * wcstol LONG_MAX or LONG_MIN, and errno is set to ERANGE.  An invalid base
 * gives 0 and EINVAL.
 */
ULONG wcstoul(const WCHAR *s, WCHAR **end, int base);
LONG wcstol(const WCHAR *s, WCHAR **end, int base);

/* ---- Formatting (user32 wsprintf) ---------------------------------------
 *
 * Conversions: %[-][#][0][width][.precision][size]type.
 *   type   d i (signed), u x X (unsigned, X in capitals), c C (character),
 *          s S (string), p (pointer as hexadecimal digits), %% (a "%").
 *   size   h (16-bit number, narrow c/s), l (32-bit LONG/DWORD: NOT 64-bit),
 *          w (wide c/s), I64 or ll (64-bit), I32 (32-bit), I (pointer size).
 * %d/%u/%x and their l forms consume a 32-bit int: callers pass int, LONG or
 * DWORD.  64-bit forms consume LONGLONG/ULONGLONG.
 * In the W functions %s and %c are WIDE (a const WCHAR * / a WCHAR promoted
 * to int) and %S/%C narrow (const char * / char in the ANSI code page); in
 * the A functions the other way round.  %hs/%hc are always narrow, %ls/%ws/
 * %lc/%wc always wide.  A null string prints "(null)".
 * Flags: "-" left-justifies, "0" pads numbers with zeros, "#" prefixes
 * x/X with 0x/0X.  Precision is the most units taken from a string, or the
 * fewest digits of a number.  A width or precision of "*" is not supported;
 * an unknown type character is copied as it stands.  No floating point.
 */

/*
 * Formats into out, which must hold 1024 units: output is cut at 1023 units
 * and always terminated (the documented wsprintf limit).  Returns the number
 * of units stored, terminator excluded.  Null out or format returns 0.
 */
int wsprintfW(LPWSTR out, LPCWSTR format, ...);
int wvsprintfW(LPWSTR out, LPCWSTR format, va_list args);
int wsprintfA(LPSTR out, LPCSTR format, ...);
int wvsprintfA(LPSTR out, LPCSTR format, va_list args);

/* Largest count a StringCch routine accepts. */
#define STRSAFE_MAX_CCH 2147483647
#define STRSAFE_E_INSUFFICIENT_BUFFER ((HRESULT)0x8007007AL)
#define STRSAFE_E_INVALID_PARAMETER ((HRESULT)0x80070057L)

/*
 * Bounded forms (strsafe): dst holds cch units.  They always terminate dst
 * when cch is at least 1 and return S_OK, or STRSAFE_E_INSUFFICIENT_BUFFER
 * with the result cut to cch - 1 units, or STRSAFE_E_INVALID_PARAMETER (dst
 * null, cch 0 or above STRSAFE_MAX_CCH; nothing written).  A null source
 * counts as empty.  StringCchPrintfW formats as wsprintfW without the
 * 1024-unit limit.
 */
HRESULT StringCchCopyW(LPWSTR dst, size_t cch, LPCWSTR src);
HRESULT StringCchCatW(LPWSTR dst, size_t cch, LPCWSTR src);
HRESULT StringCchPrintfW(LPWSTR dst, size_t cch, LPCWSTR format, ...);
HRESULT StringCchVPrintfW(LPWSTR dst, size_t cch, LPCWSTR format, va_list args);

/*
 * Formats the time t as UTF-16 into out (max units, terminator included).
 * Conversions (the "C" locale): %a %A (weekday name, short / full), %b %B
 * (month name), %d (day 01-31), %H (hour 00-23), %I (hour 01-12), %j (day of
 * year 001-366), %m (month 01-12), %M (minute), %p (AM/PM), %S (second),
 * %y (year 00-99), %Y (year), %%.  Returns the number of units stored,
 * terminator excluded; 0 when the result does not fit, the format holds
 * another conversion or a field it uses is out of range (errno EINVAL), or a
 * pointer is null; out is then empty (when max > 0).
 */
size_t wcsftime(WCHAR *out, size_t max, const WCHAR *format, const struct tm *t);

/* ---- Helpers of the platform layer -------------------------------------- */

namespace plat {

/*
 * UTF-16 <-> UTF-8.  Ill-formed input becomes U+FFFD: a lone surrogate in
 * UTF-16, and in UTF-8 each maximal ill-formed subsequence (overlong forms,
 * encoded surrogates, values above U+10FFFF, cut sequences, stray bytes).
 */
std::string utf16_to_utf8(std::u16string_view s);
std::u16string utf8_to_utf16(std::string_view s);

/*
 * Decodes one UTF-8 character from s (n bytes, n >= 1).  Returns the number
 * of bytes it takes (at least 1) and sets cp to the code point, or to
 * UTF8_INVALID when those bytes are a maximal ill-formed subsequence.
 */
constexpr uint32_t UTF8_INVALID = 0xFFFFFFFFu;
size_t utf8_decode(const unsigned char *s, size_t n, uint32_t &cp);

/* Encodes code point cp (at most U+10FFFF, not a surrogate) as UTF-8 into
 * out (room for 4 bytes); returns the number of bytes. */
size_t utf8_encode(uint32_t cp, char *out);

/* Length of a NUL-terminated wide string; 0 for null. */
size_t wlen(const WCHAR *s);

/* Simple one-to-one case mapping of one UTF-16 unit (see above). */
WCHAR wupper(WCHAR c);
WCHAR wlower(WCHAR c);

} // namespace plat

#endif /* PLAT_TEXT_H */
