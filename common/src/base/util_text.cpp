/*
 * Bounded string helpers, strict number parsing, global block sizes and the
 * metric/imperial unit conversions of the common library.
 */
#include <tarvel/base/util_text.h>

#include <plat/memory.h>
#include <plat/text.h>

namespace {

/* Units before the first 0 of `text`, looking at no more than n of them. */
template <typename Char>
int boundedLength(const Char *text, int n)
{
    if (!text || n <= 0)
        return 0;
    int i = 0;
    while (i < n && text[i])
        ++i;
    return i;
}

} // namespace

int UTL_WcsNLen(LPCWSTR text, int n) { return boundedLength(text, n); }

int UTL_StrNLen(LPCSTR text, int n) { return boundedLength(text, n); }

int UTL_WcsNCat(LPWSTR buffer, int n, LPCWSTR text)
{
    if (!buffer || n < 1)
        return 0;
    int length = UTL_WcsNLen(buffer, n);
    if (length == n) {
        buffer[n - 1] = 0;
        length = n - 1;
    }
    if (text)
        lstrcpynW(buffer + length, text, n - length);
    return length + UTL_WcsNLen(buffer + length, n - length);
}

int UTL_WToI(LPCWSTR text) { return _wtoi(text); }

namespace {

/* Value of a hexadecimal digit, or -1. */
int hexDigit(WCHAR c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'f')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'F')
        return c - u'A' + 10;
    return -1;
}

} // namespace

BOOL UTL_ParseNumber(LPCWSTR text, DWORD *out)
{
    if (!text || !out || !text[0])
        return FALSE;
    DWORD value = 0;
    if (text[0] == u'0' && (text[1] == u'x' || text[1] == u'X')) {
        const WCHAR *p = text + 2;
        if (!*p)
            return FALSE;
        for (; *p; ++p) {
            int d = hexDigit(*p);
            if (d < 0)
                return FALSE;
            value = value * 16u + DWORD(d);
        }
    } else {
        for (const WCHAR *p = text; *p; ++p) {
            if (*p < u'0' || *p > u'9')
                return FALSE;
            value = value * 10u + DWORD(*p - u'0');
        }
    }
    *out = value;
    return TRUE;
}

SIZE_T UTL_GetGlobalSize(LPCVOID p)
{
    if (!p)
        return 0;
    HGLOBAL handle = GlobalHandle(p);
    return handle ? GlobalSize(handle) : 0;
}

namespace {

/*
 * sign(v) * ((|v| * mul / div + 5) / 10) in 64-bit arithmetic, so no LONG
 * overflows on the way; a result beyond the LONG range is held at its end.
 */
LONG convertRounded(LONG v, long long mul, long long div)
{
    long long magnitude = v < 0 ? -static_cast<long long>(v) : v;
    long long r = (magnitude * mul / div + 5) / 10;
    if (v < 0)
        r = -r;
    if (r > 0x7FFFFFFFLL)
        r = 0x7FFFFFFFLL;
    if (r < -0x80000000LL)
        r = -0x80000000LL;
    return static_cast<LONG>(r);
}

} // namespace

LONG UTL_TenthMmToHundredthInch(LONG v) { return convertRounded(v, 1000, 254); }

LONG UTL_HundredthInchToTenthMm(LONG v) { return convertRounded(v, 254, 10); }

BOOL UTL_SplitFixed2(BOOL oneDigit, LONG v, LONG *whole, LONG *fraction)
{
    if (!whole || !fraction)
        return FALSE;
    *whole = v / 100;
    *fraction = oneDigit ? (v % 100) / 10 : v % 100;
    return TRUE;
}
