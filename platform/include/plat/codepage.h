/*
 * Code pages of the simulated machine: the ANSI and OEM code pages, their
 * lead bytes, and conversions between UTF-16 and multi-byte text.
 *
 * The ANSI code page is a machine setting (1252 by default; tests switch to
 * 932 for the double-byte paths) and goes back to 1252 at machine_reset.
 * Conversions of single- and double-byte code pages go through iconv, opened
 * per call (so any thread may convert at any time); UTF-8 is converted here.
 * The conversions are exact table mappings: no "best fit" substitutes are
 * ever made (as if WC_NO_BEST_FIT_CHARS were always given), and the
 * composition flags are accepted but do nothing.
 *
 * Known code pages: ANSI 1250, 1251, 1252, 932 (Shift-JIS), 936, 949, 950;
 * OEM 437, 850, 852, 866; UTF-8 (65001).
 */
#ifndef PLAT_CODEPAGE_H
#define PLAT_CODEPAGE_H

#include <plat/types.h>

#include <string>
#include <string_view>

typedef BOOL *LPBOOL; /* (repeating an identical typedef is allowed) */

#define CP_ACP 0
#define CP_OEMCP 1
#define CP_MACCP 2
#define CP_THREAD_ACP 3
#define CP_UTF7 65000
#define CP_UTF8 65001

#define MB_PRECOMPOSED 0x00000001
#define MB_COMPOSITE 0x00000002
#define MB_USEGLYPHCHARS 0x00000004
#define MB_ERR_INVALID_CHARS 0x00000008

#define WC_DISCARDNS 0x00000010
#define WC_SEPCHARS 0x00000020
#define WC_DEFAULTCHAR 0x00000040
#define WC_ERR_INVALID_CHARS 0x00000080
#define WC_COMPOSITECHECK 0x00000200
#define WC_NO_BEST_FIT_CHARS 0x00000400

#ifndef ERROR_INVALID_FLAGS
#define ERROR_INVALID_FLAGS 1004L
#endif

#define MAX_LEADBYTES 12
#define MAX_DEFAULTCHAR 2

/* What GetCPInfo reports: the longest character in bytes, the default
 * character's bytes, and up to five lead-byte ranges as pairs of first and
 * last byte, ended by a pair of zeros. */
struct CPINFO {
    UINT MaxCharSize;
    BYTE DefaultChar[MAX_DEFAULTCHAR];
    BYTE LeadByte[MAX_LEADBYTES];
};
typedef CPINFO *LPCPINFO;
static_assert(sizeof(CPINFO) == 20, "CPINFO layout");

/* The ANSI / OEM code page of the machine (OEM: 437 for 1252, 932 for 932). */
UINT GetACP(void);
UINT GetOEMCP(void);

/* TRUE when the code page is known (CP_ACP and friends are not code pages). */
BOOL IsValidCodePage(UINT code_page);

/*
 * Fills *info for the code page (CP_ACP, CP_OEMCP, CP_THREAD_ACP resolve to
 * the machine's).  Returns TRUE, or FALSE with ERROR_INVALID_PARAMETER for an
 * unknown code page or a null info.
 */
BOOL GetCPInfo(UINT code_page, LPCPINFO info);

/*
 * TRUE when byte b starts a two-byte character in the code page (always
 * FALSE for single-byte code pages and UTF-8).  An unknown code page answers
 * FALSE with ERROR_INVALID_PARAMETER.  The plain form uses the ANSI code page.
 */
BOOL IsDBCSLeadByteEx(UINT code_page, BYTE b);
BOOL IsDBCSLeadByte(BYTE b);

/*
 * UTF-16 to the code page.
 *
 * in_len is the number of units of `in`, or -1 for a NUL-terminated text, in
 * which case the terminator is converted and counted too.  out_size 0 asks
 * only for the number of bytes needed (out may then be null).  Returns the
 * number of bytes written (or needed), or 0 on failure with the last error:
 *   ERROR_INSUFFICIENT_BUFFER  out_size too small (the bytes that fit are
 *                              written; nothing past out_size, ever);
 *   ERROR_INVALID_PARAMETER    null input, in_len 0 or below -1, out_size
 *                              negative, out null with out_size > 0, in and
 *                              out the same memory, an unknown code page, or
 *                              for CP_UTF8 a default_char / used_default that
 *                              is not null;
 *   ERROR_INVALID_FLAGS        flags the code page does not take (CP_UTF8
 *                              takes only WC_ERR_INVALID_CHARS, which no
 *                              other code page takes);
 *   ERROR_NO_UNICODE_TRANSLATION  with WC_ERR_INVALID_CHARS, a lone surrogate.
 * A character the code page cannot hold becomes the default character
 * (default_char's first character, else the code page's, "?") and sets
 * *used_default (which is otherwise set FALSE).  Each UTF-16 unit of a
 * surrogate pair counts as one such character.  Under CP_UTF8 a lone
 * surrogate becomes U+FFFD.
 */
int WideCharToMultiByte(UINT code_page, DWORD flags, LPCWSTR in, int in_len, LPSTR out, int out_size,
                        LPCSTR default_char, LPBOOL used_default);

/*
 * The code page to UTF-16.  in_len is bytes, or -1 for a NUL-terminated text
 * (terminator converted and counted); out_len 0 asks for the number of units
 * needed.  Returns the units written (or needed), or 0 with the last error as
 * for WideCharToMultiByte (ERROR_INVALID_FLAGS: MB_PRECOMPOSED together with
 * MB_COMPOSITE, or for CP_UTF8 anything but MB_ERR_INVALID_CHARS).  An
 * invalid byte sequence (a byte or pair the code page does not define, a
 * lead byte without its trail byte, ill-formed UTF-8) becomes U+FFFD, or with
 * MB_ERR_INVALID_CHARS fails with ERROR_NO_UNICODE_TRANSLATION.  In 1252 the
 * five undefined bytes (0x81, 0x8D, 0x8F, 0x90, 0x9D) map to the code points
 * of the same value and back, so every byte string survives a round trip.
 */
int MultiByteToWideChar(UINT code_page, DWORD flags, LPCSTR in, int in_len, LPWSTR out, int out_len);

namespace plat {

/*
 * Sets the machine's ANSI code page (1250, 1251, 1252, 932, 936, 949 or 950;
 * the OEM code page follows).  Returns false, changing nothing, for any
 * other.  machine_reset puts it back to 1252.
 */
bool set_ansi_code_page(UINT code_page);
UINT ansi_code_page();

/*
 * Whole-string conversions between the ANSI code page and UTF-16, with the
 * replacements of the functions above (U+FFFD for an invalid sequence, the
 * default character "?" for a character the code page cannot hold).
 */
std::u16string ansi_to_utf16(std::string_view s);
std::string utf16_to_ansi(std::u16string_view s);

} // namespace plat

#endif /* PLAT_CODEPAGE_H */
