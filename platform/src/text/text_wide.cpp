/*
 * UTF-16 string routines under their Windows names: lstr*, the C run-time's
 * wcs* forms for WCHAR, case mapping, path splitting and number parsing.
 * Every routine stays within the terminator of its input and the bounds its
 * caller gives.
 */
#include <plat/codepage.h>
#include <plat/text.h>

#include <algorithm>
#include <array>
#include <cerrno>
#include <climits>

namespace {

constexpr uint64_t kUlongMax = 0xFFFFFFFFu;
constexpr uint64_t kLongMax = 0x7FFFFFFF;
constexpr LONG kLongMin = INT32_MIN;

/* One-to-one case pairs: upper-case units first..last (every unit, or every
 * second unit when step is 2) have their lower-case form at +delta. */
struct CaseRange {
    WCHAR first;
    WCHAR last;
    int delta;
    int step;
};

constexpr std::array<CaseRange, 18> kCaseRanges = {{
    {0x0041, 0x005A, 32, 1},   /* A-Z */
    {0x00C0, 0x00D6, 32, 1},   /* Latin-1 letters before the multiplication sign */
    {0x00D8, 0x00DE, 32, 1},   /* ... and after it */
    {0x0100, 0x012E, 1, 2},    /* Latin Extended-A, pairs */
    {0x0132, 0x0136, 1, 2},
    {0x0139, 0x0147, 1, 2},
    {0x014A, 0x0176, 1, 2},
    {0x0178, 0x0178, -121, 1}, /* Y with diaeresis <-> U+00FF */
    {0x0179, 0x017D, 1, 2},
    {0x0386, 0x0386, 38, 1},   /* Greek with tonos */
    {0x0388, 0x038A, 37, 1},
    {0x038C, 0x038C, 64, 1},
    {0x038E, 0x038F, 63, 1},
    {0x0391, 0x03A1, 32, 1},   /* Greek */
    {0x03A3, 0x03AB, 32, 1},
    {0x0400, 0x040F, 80, 1},   /* Cyrillic */
    {0x0410, 0x042F, 32, 1},
    {0xFF21, 0xFF3A, 32, 1},   /* full-width A-Z */
}};

bool in_range(int c, int first, int last, int step)
{
    return c >= first && c <= last && (c - first) % step == 0;
}

bool is_space(WCHAR c) { return c == u' ' || (c >= 0x09 && c <= 0x0D); }

/* Ordinal comparison of at most n units, optionally folding case. */
int compare_units(const WCHAR *a, const WCHAR *b, size_t n, bool fold)
{
    for (size_t i = 0; i < n; i++) {
        WCHAR x = fold ? plat::wlower(a[i]) : a[i];
        WCHAR y = fold ? plat::wlower(b[i]) : b[i];
        if (x != y)
            return x < y ? -1 : 1;
        if (x == 0)
            return 0;
    }
    return 0;
}

/* The lstrcmp family's null handling: a null string sorts first. */
int compare_nullable(const WCHAR *a, const WCHAR *b, bool fold)
{
    if (!a || !b)
        return (a ? 1 : 0) - (b ? 1 : 0);
    return compare_units(a, b, SIZE_MAX, fold);
}

int compare_ansi(LPCSTR a, LPCSTR b, bool fold)
{
    if (!a || !b)
        return (a ? 1 : 0) - (b ? 1 : 0);
    std::u16string wa = plat::ansi_to_utf16(a);
    std::u16string wb = plat::ansi_to_utf16(b);
    return compare_units(wa.c_str(), wb.c_str(), SIZE_MAX, fold);
}

int digit_value(WCHAR c)
{
    if (c >= u'0' && c <= u'9')
        return c - u'0';
    if (c >= u'a' && c <= u'z')
        return c - u'a' + 10;
    if (c >= u'A' && c <= u'Z')
        return c - u'A' + 10;
    return 99;
}

/*
 * The shared parser of wcstoul/wcstol/_wtol.  Sets neg, the magnitude (held
 * at 2^32 once it passes ULONG_MAX, so it cannot wrap) and *end.  Returns
 * false for an invalid base.
 */
bool parse_number(const WCHAR *s, WCHAR **end, int base, bool &neg, uint64_t &mag)
{
    neg = false;
    mag = 0;
    if (end)
        *end = const_cast<WCHAR *>(s);
    if (base < 0 || base == 1 || base > 36)
        return false;
    const WCHAR *p = s;
    while (is_space(*p))
        p++;
    if (*p == u'+' || *p == u'-')
        neg = *p++ == u'-';
    if ((base == 0 || base == 16) && p[0] == u'0' && (p[1] == u'x' || p[1] == u'X') && digit_value(p[2]) < 16) {
        p += 2;
        base = 16;
    } else if (base == 0) {
        base = p[0] == u'0' ? 8 : 10;
    }
    const WCHAR *digits = p;
    for (int d; (d = digit_value(*p)) < base; p++)
        mag = std::min(mag * unsigned(base) + unsigned(d), kUlongMax + 1);
    if (p != digits && end)
        *end = const_cast<WCHAR *>(p);
    return true;
}

} // namespace

namespace plat {

WCHAR wlower(WCHAR c)
{
    if (c < 0x80)
        return c >= u'A' && c <= u'Z' ? WCHAR(c + 32) : c;
    for (const CaseRange &r : kCaseRanges)
        if (in_range(c, r.first, r.last, r.step))
            return WCHAR(c + r.delta);
    return c;
}

WCHAR wupper(WCHAR c)
{
    if (c < 0x80)
        return c >= u'a' && c <= u'z' ? WCHAR(c - 32) : c;
    for (const CaseRange &r : kCaseRanges)
        if (in_range(c, r.first + r.delta, r.last + r.delta, r.step))
            return WCHAR(c - r.delta);
    return c;
}

} // namespace plat

/* ---- lstr* ---- */

int lstrlenW(LPCWSTR s) { return int(plat::wlen(s)); }

int lstrlenA(LPCSTR s) { return s ? int(std::strlen(s)) : 0; }

LPWSTR lstrcpyW(LPWSTR dst, LPCWSTR src)
{
    if (!dst || !src)
        return nullptr;
    std::memmove(dst, src, (plat::wlen(src) + 1) * sizeof(WCHAR));
    return dst;
}

LPSTR lstrcpyA(LPSTR dst, LPCSTR src)
{
    if (!dst || !src)
        return nullptr;
    std::memmove(dst, src, std::strlen(src) + 1);
    return dst;
}

LPWSTR lstrcpynW(LPWSTR dst, LPCWSTR src, int n)
{
    if (!dst || !src || n < 0)
        return nullptr;
    if (n == 0)
        return dst;
    size_t len = wcsnlen(src, size_t(n) - 1);
    std::memmove(dst, src, len * sizeof(WCHAR));
    dst[len] = 0;
    return dst;
}

LPSTR lstrcpynA(LPSTR dst, LPCSTR src, int n)
{
    if (!dst || !src || n < 0)
        return nullptr;
    if (n == 0)
        return dst;
    size_t len = strnlen(src, size_t(n) - 1);
    std::memmove(dst, src, len);
    dst[len] = 0;
    return dst;
}

LPWSTR lstrcatW(LPWSTR dst, LPCWSTR src)
{
    if (!dst || !src)
        return nullptr;
    lstrcpyW(dst + plat::wlen(dst), src);
    return dst;
}

int lstrcmpW(LPCWSTR a, LPCWSTR b) { return compare_nullable(a, b, false); }
int lstrcmpiW(LPCWSTR a, LPCWSTR b) { return compare_nullable(a, b, true); }
int lstrcmpA(LPCSTR a, LPCSTR b) { return compare_ansi(a, b, false); }
int lstrcmpiA(LPCSTR a, LPCSTR b) { return compare_ansi(a, b, true); }

/* ---- Case ---- */

namespace {

/* A "pointer" below 0x10000 carries one character in its low word. */
bool is_single_char(LPWSTR s) { return (reinterpret_cast<uintptr_t>(s) >> 16) == 0; }

LPWSTR convert_case(LPWSTR s, WCHAR (*map)(WCHAR))
{
    if (!s)
        return nullptr;
    if (is_single_char(s))
        return reinterpret_cast<LPWSTR>(uintptr_t(map(WCHAR(reinterpret_cast<uintptr_t>(s)))));
    for (WCHAR *p = s; *p; p++)
        *p = map(*p);
    return s;
}

DWORD convert_case_n(LPWSTR s, DWORD n, WCHAR (*map)(WCHAR))
{
    if (!s)
        return 0;
    for (DWORD i = 0; i < n; i++)
        s[i] = map(s[i]);
    return n;
}

} // namespace

LPWSTR CharUpperW(LPWSTR s) { return convert_case(s, plat::wupper); }
LPWSTR CharLowerW(LPWSTR s) { return convert_case(s, plat::wlower); }
DWORD CharUpperBuffW(LPWSTR s, DWORD n) { return convert_case_n(s, n, plat::wupper); }
DWORD CharLowerBuffW(LPWSTR s, DWORD n) { return convert_case_n(s, n, plat::wlower); }

/* ---- wcs* ---- */

size_t wcslen(const WCHAR *s) { return plat::wlen(s); }

size_t wcsnlen(const WCHAR *s, size_t max)
{
    size_t n = 0;
    while (n < max && s[n])
        n++;
    return n;
}

WCHAR *wcsncpy(WCHAR *dst, const WCHAR *src, size_t n)
{
    size_t len = wcsnlen(src, n);
    std::memmove(dst, src, len * sizeof(WCHAR));
    for (size_t i = len; i < n; i++)
        dst[i] = 0;
    return dst;
}

int wcscmp(const WCHAR *a, const WCHAR *b) { return compare_units(a, b, SIZE_MAX, false); }
int wcsncmp(const WCHAR *a, const WCHAR *b, size_t n) { return compare_units(a, b, n, false); }
int _wcsicmp(const WCHAR *a, const WCHAR *b) { return compare_units(a, b, SIZE_MAX, true); }
int _wcsnicmp(const WCHAR *a, const WCHAR *b, size_t n) { return compare_units(a, b, n, true); }

WCHAR *wcschr(const WCHAR *s, WCHAR c)
{
    for (;; s++) {
        if (*s == c)
            return const_cast<WCHAR *>(s);
        if (!*s)
            return nullptr;
    }
}

WCHAR *wcsrchr(const WCHAR *s, WCHAR c)
{
    const WCHAR *found = nullptr;
    for (;; s++) {
        if (*s == c)
            found = s;
        if (!*s)
            return const_cast<WCHAR *>(found);
    }
}

WCHAR *wcsstr(const WCHAR *s, const WCHAR *needle)
{
    size_t n = plat::wlen(needle);
    for (; ; s++) {
        if (compare_units(s, needle, n, false) == 0)
            return const_cast<WCHAR *>(s);
        if (!*s)
            return nullptr;
    }
}

WCHAR *wcstok(WCHAR *s, const WCHAR *delim, WCHAR **context)
{
    if (!context || !delim)
        return nullptr;
    if (!s)
        s = *context;
    if (!s)
        return nullptr;
    while (*s && wcschr(delim, *s))
        s++;
    if (!*s) {
        *context = s;
        return nullptr;
    }
    WCHAR *token = s;
    while (*s && !wcschr(delim, *s))
        s++;
    if (*s)
        *s++ = 0;
    *context = s;
    return token;
}

WCHAR *wcstok(WCHAR *s, const WCHAR *delim)
{
    static thread_local WCHAR *t_context = nullptr;
    return wcstok(s, delim, &t_context);
}

/* ---- Paths ---- */

namespace {

void empty_output(WCHAR *out, size_t size)
{
    if (out && size > 0)
        out[0] = 0;
}

bool fits(WCHAR *out, size_t size, size_t len) { return !out || len < size; }

void put_part(WCHAR *out, const WCHAR *from, size_t len)
{
    if (!out)
        return;
    std::memcpy(out, from, len * sizeof(WCHAR));
    out[len] = 0;
}

} // namespace

int _wsplitpath_s(const WCHAR *path, WCHAR *drive, size_t drive_size, WCHAR *dir, size_t dir_size, WCHAR *fname,
                  size_t fname_size, WCHAR *ext, size_t ext_size)
{
    auto clear_all = [&] {
        empty_output(drive, drive_size);
        empty_output(dir, dir_size);
        empty_output(fname, fname_size);
        empty_output(ext, ext_size);
    };
    if (!path || (!drive) != (drive_size == 0) || (!dir) != (dir_size == 0) || (!fname) != (fname_size == 0) ||
        (!ext) != (ext_size == 0)) {
        clear_all();
        errno = EINVAL;
        return EINVAL;
    }
    size_t len = plat::wlen(path);
    size_t drive_len = (len >= 2 && path[1] == u':') ? 2 : 0;
    const WCHAR *rest = path + drive_len;
    size_t rest_len = len - drive_len;
    size_t dir_len = 0;
    for (size_t i = 0; i < rest_len; i++)
        if (rest[i] == u'\\' || rest[i] == u'/')
            dir_len = i + 1;
    const WCHAR *name = rest + dir_len;
    size_t name_len = rest_len - dir_len;
    size_t fname_len = name_len;
    for (size_t i = name_len; i-- > 0;)
        if (name[i] == u'.') {
            fname_len = i;
            break;
        }
    size_t ext_len = name_len - fname_len;
    if (!fits(drive, drive_size, drive_len) || !fits(dir, dir_size, dir_len) || !fits(fname, fname_size, fname_len) ||
        !fits(ext, ext_size, ext_len)) {
        clear_all();
        errno = ERANGE;
        return ERANGE;
    }
    put_part(drive, path, drive_len);
    put_part(dir, rest, dir_len);
    put_part(fname, name, fname_len);
    put_part(ext, name + fname_len, ext_len);
    return 0;
}

void _wsplitpath(const WCHAR *path, WCHAR *drive, WCHAR *dir, WCHAR *fname, WCHAR *ext)
{
    _wsplitpath_s(path, drive, drive ? _MAX_DRIVE : 0, dir, dir ? _MAX_DIR : 0, fname, fname ? _MAX_FNAME : 0, ext,
                  ext ? _MAX_EXT : 0);
}

/* ---- Numbers ---- */

ULONG wcstoul(const WCHAR *s, WCHAR **end, int base)
{
    bool neg;
    uint64_t mag;
    if (!s || !parse_number(s, end, base, neg, mag)) {
        errno = EINVAL;
        return 0;
    }
    if (mag > kUlongMax) {
        errno = ERANGE;
        return ULONG(kUlongMax);
    }
    return neg ? ULONG(0u - ULONG(mag)) : ULONG(mag); /* "-1" gives 0xFFFFFFFF, as in C */
}

LONG wcstol(const WCHAR *s, WCHAR **end, int base)
{
    bool neg;
    uint64_t mag;
    if (!s || !parse_number(s, end, base, neg, mag)) {
        errno = EINVAL;
        return 0;
    }
    if (neg && mag > kLongMax + 1) {
        errno = ERANGE;
        return kLongMin;
    }
    if (!neg && mag > kLongMax) {
        errno = ERANGE;
        return LONG(kLongMax);
    }
    return neg ? LONG(-int64_t(mag)) : LONG(mag);
}

LONG _wtol(const WCHAR *s) { return s ? wcstol(s, nullptr, 10) : 0; }
int _wtoi(const WCHAR *s) { return _wtol(s); }
