/*
 * The wsprintf family and the strsafe copy, concatenation and print
 * routines.  One formatting engine serves wide and narrow output; it counts
 * LONG/DWORD ("l") as 32 bits, as Windows does, and never writes past the
 * room it is given.  Wide and narrow strings meet through the ANSI code page.
 */
#include <plat/codepage.h>
#include <plat/text.h>

#include <algorithm>
#include <string>

namespace {

/* wsprintf's documented output limit, terminator included. */
constexpr size_t kWsprintfLimit = 1024;

/* Widths and precisions beyond any real output are held here, so parsing
 * a long digit run cannot overflow. */
constexpr size_t kMaxField = 1u << 20;

/* The format: wide or narrow text, read one unit at a time. */
struct Format {
    const WCHAR *w;
    const char *a;
    size_t pos = 0;

    unsigned peek(size_t ahead = 0) const { return w ? w[pos + ahead] : BYTE(a[pos + ahead]); }
    unsigned next() { return w ? w[pos++] : BYTE(a[pos++]); }
};

/* The output buffer: cap units, the last kept for the terminator. */
struct Output {
    WCHAR *w;
    char *a;
    size_t cap; /* at least 1 */
    size_t len = 0;
    bool cut = false;

    bool wide() const { return w != nullptr; }
    void put(unsigned unit)
    {
        if (len + 1 >= cap) {
            cut = true;
            return;
        }
        if (w)
            w[len++] = WCHAR(unit);
        else
            a[len++] = char(unit);
    }
    void terminate()
    {
        if (w)
            w[len] = 0;
        else
            a[len] = 0;
    }
};

struct Spec {
    bool left = false, zero = false, alt = false;
    size_t width = 0;
    bool has_precision = false;
    size_t precision = 0;
    enum Size { Default, Short, Long, Wide, Int64, Pointer } size = Default;
};

size_t read_number(Format &f)
{
    size_t v = 0;
    while (f.peek() >= '0' && f.peek() <= '9')
        v = std::min(v * 10 + (f.next() - '0'), kMaxField);
    return v;
}

/* The length of the longest prefix of s (len bytes) that does not end
 * inside a double-byte character of the ANSI code page. */
size_t ansi_boundary(const char *s, size_t len)
{
    size_t i = 0;
    while (i < len) {
        size_t step = IsDBCSLeadByte(BYTE(s[i])) ? 2 : 1;
        if (i + step > len)
            break;
        i += step;
    }
    return i;
}

/* Units of a string argument, as output units (UTF-16 or ANSI bytes). */
std::u16string string_units(const Output &out, const void *arg, bool arg_wide, const Spec &spec)
{
    size_t max = spec.has_precision ? spec.precision : SIZE_MAX;
    if (!arg) {
        std::u16string s = u"(null)";
        return s.substr(0, std::min(max, s.size()));
    }
    if (arg_wide) {
        const WCHAR *s = static_cast<const WCHAR *>(arg);
        size_t n = wcsnlen(s, max);
        if (out.wide())
            return std::u16string(s, n);
        std::string bytes = plat::utf16_to_ansi(std::u16string_view(s, n));
        if (bytes.size() > max)
            bytes.resize(ansi_boundary(bytes.data(), max));
        return std::u16string(bytes.begin(), bytes.end()) /* each unit one byte */;
    }
    const char *s = static_cast<const char *>(arg);
    size_t n = strnlen(s, max);
    std::u16string units;
    if (out.wide()) {
        /* A precision that cuts a double-byte character drops all of it. */
        size_t keep = n == max ? ansi_boundary(s, n) : n;
        units = plat::ansi_to_utf16(std::string_view(s, keep));
        if (units.size() > max)
            units.resize(max);
    } else {
        for (size_t i = 0; i < n; i++)
            units += char16_t(BYTE(s[i]));
    }
    return units;
}

/* One character argument (already promoted to int) as output units. */
std::u16string char_units(const Output &out, int arg, bool arg_wide)
{
    if (arg_wide) {
        WCHAR c = WCHAR(arg);
        if (out.wide())
            return c ? std::u16string(1, c) : std::u16string();
        std::string bytes = plat::utf16_to_ansi(std::u16string_view(&c, 1));
        return std::u16string(bytes.begin(), bytes.end());
    }
    char c = char(arg);
    if (!c)
        return std::u16string();
    if (!out.wide())
        return std::u16string(1, char16_t(BYTE(c)));
    return plat::ansi_to_utf16(std::string_view(&c, 1));
}

std::u16string digits_of(uint64_t v, unsigned base, bool upper, size_t min_digits)
{
    const char *set = upper ? "0123456789ABCDEF" : "0123456789abcdef";
    std::u16string d;
    do {
        d.insert(d.begin(), char16_t(set[v % base]));
        v /= base;
    } while (v);
    if (d.size() < min_digits)
        d.insert(0, min_digits - d.size(), u'0');
    return d;
}

/* Writes prefix and body padded to the spec's width. */
void emit(Output &out, const Spec &spec, const std::u16string &prefix, const std::u16string &body, bool zero_pad)
{
    size_t used = prefix.size() + body.size();
    size_t pad = spec.width > used ? spec.width - used : 0;
    if (!spec.left && !zero_pad)
        for (size_t i = 0; i < pad; i++)
            out.put(' ');
    for (char16_t c : prefix)
        out.put(c);
    if (!spec.left && zero_pad)
        for (size_t i = 0; i < pad; i++)
            out.put('0');
    for (char16_t c : body)
        out.put(c);
    if (spec.left)
        for (size_t i = 0; i < pad; i++)
            out.put(' ');
}

/* Whether a c/C/s/S argument is wide: the lower-case type takes the
 * output's own width, the upper-case one the other; h forces narrow and
 * l or w wide. */
bool wide_argument(const Spec &spec, bool lower_case, const Output &out)
{
    if (spec.size == Spec::Short)
        return false;
    if (spec.size == Spec::Long || spec.size == Spec::Wide)
        return true;
    return lower_case == out.wide();
}

void format(Output &out, Format f, va_list args)
{
    va_list ap;
    va_copy(ap, args);
    while (unsigned c = f.next()) {
        if (c != '%') {
            out.put(c);
            continue;
        }
        Spec spec;
        for (;; f.next()) {
            unsigned flag = f.peek();
            if (flag == '-')
                spec.left = true;
            else if (flag == '0')
                spec.zero = true;
            else if (flag == '#')
                spec.alt = true;
            else
                break;
        }
        spec.width = read_number(f);
        if (f.peek() == '.') {
            f.next();
            spec.has_precision = true;
            spec.precision = read_number(f);
        }
        unsigned m = f.peek();
        if (m == 'h') {
            spec.size = Spec::Short;
            f.next();
        } else if (m == 'w') {
            spec.size = Spec::Wide;
            f.next();
        } else if (m == 'l' && f.peek(1) == 'l') {
            spec.size = Spec::Int64;
            f.pos += 2;
        } else if (m == 'l') {
            spec.size = Spec::Long;
            f.next();
        } else if (m == 'I' && f.peek(1) == '6' && f.peek(2) == '4') {
            spec.size = Spec::Int64;
            f.pos += 3;
        } else if (m == 'I' && f.peek(1) == '3' && f.peek(2) == '2') {
            spec.size = Spec::Long;
            f.pos += 3;
        } else if (m == 'I') {
            spec.size = Spec::Pointer;
            f.next();
        }
        unsigned type = f.next();
        if (type == 0)
            break;
        switch (type) {
        case 'd':
        case 'i': {
            int64_t v = spec.size == Spec::Int64     ? va_arg(ap, int64_t)
                        : spec.size == Spec::Pointer ? int64_t(va_arg(ap, intptr_t))
                        : spec.size == Spec::Short   ? int64_t(short(va_arg(ap, int)))
                                                     : int64_t(va_arg(ap, int32_t));
            uint64_t mag = v < 0 ? 0 - uint64_t(v) : uint64_t(v);
            emit(out, spec, v < 0 ? u"-" : u"", digits_of(mag, 10, false, spec.precision),
                 spec.zero && !spec.has_precision);
            break;
        }
        case 'u':
        case 'x':
        case 'X':
        case 'p': {
            uint64_t v;
            if (type == 'p')
                v = uintptr_t(va_arg(ap, void *));
            else
                v = spec.size == Spec::Int64     ? va_arg(ap, uint64_t)
                    : spec.size == Spec::Pointer ? uint64_t(va_arg(ap, uintptr_t))
                    : spec.size == Spec::Short   ? uint64_t(uint16_t(va_arg(ap, unsigned)))
                                                 : uint64_t(va_arg(ap, uint32_t));
            bool hex = type != 'u';
            bool upper = type != 'x';
            size_t min_digits = type == 'p' ? 2 * sizeof(void *) : spec.precision;
            std::u16string prefix;
            if (spec.alt && hex && type != 'p' && v != 0)
                prefix = type == 'X' ? u"0X" : u"0x";
            emit(out, spec, prefix, digits_of(v, hex ? 16 : 10, upper, min_digits), spec.zero && !spec.has_precision);
            break;
        }
        case 'c':
        case 'C':
            emit(out, spec, u"", char_units(out, va_arg(ap, int), wide_argument(spec, type == 'c', out)), false);
            break;
        case 's':
        case 'S':
            emit(out, spec, u"", string_units(out, va_arg(ap, const void *), wide_argument(spec, type == 's', out), spec),
                 false);
            break;
        default: /* "%%", or an unknown type copied as it stands */
            out.put(type);
            break;
        }
    }
    va_end(ap);
}

/* The wsprintf forms: a null output gives 0; a null format an empty text. */
int format_limited(Output out, Format f, va_list args)
{
    if (!out.w && !out.a)
        return 0;
    if (f.w || f.a)
        format(out, f, args);
    out.terminate();
    return int(out.len);
}

} // namespace

int wvsprintfW(LPWSTR out, LPCWSTR fmt, va_list args)
{
    return format_limited(Output{out, nullptr, kWsprintfLimit}, Format{fmt, nullptr}, args);
}

int wvsprintfA(LPSTR out, LPCSTR fmt, va_list args)
{
    return format_limited(Output{nullptr, out, kWsprintfLimit}, Format{nullptr, fmt}, args);
}

int wsprintfW(LPWSTR out, LPCWSTR fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    int n = wvsprintfW(out, fmt, ap);
    va_end(ap);
    return n;
}

int wsprintfA(LPSTR out, LPCSTR fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    int n = wvsprintfA(out, fmt, ap);
    va_end(ap);
    return n;
}

/* ---- strsafe ---- */

namespace {

bool bad_dest(LPWSTR dst, size_t cch) { return !dst || cch == 0 || cch > STRSAFE_MAX_CCH; }

/* Copies src after dst[start], cut to the room; dst[start] must be in room. */
HRESULT copy_at(LPWSTR dst, size_t cch, size_t start, LPCWSTR src)
{
    size_t room = cch - start - 1;
    size_t n = src ? wcsnlen(src, room + 1) : 0;
    bool cut = n > room;
    if (cut)
        n = room;
    std::memmove(dst + start, src ? src : u"", n * sizeof(WCHAR));
    dst[start + n] = 0;
    return cut ? STRSAFE_E_INSUFFICIENT_BUFFER : S_OK;
}

} // namespace

HRESULT StringCchCopyW(LPWSTR dst, size_t cch, LPCWSTR src)
{
    if (bad_dest(dst, cch))
        return STRSAFE_E_INVALID_PARAMETER;
    return copy_at(dst, cch, 0, src);
}

HRESULT StringCchCatW(LPWSTR dst, size_t cch, LPCWSTR src)
{
    if (bad_dest(dst, cch))
        return STRSAFE_E_INVALID_PARAMETER;
    size_t len = wcsnlen(dst, cch);
    if (len == cch) /* no terminator within the buffer */
        return STRSAFE_E_INVALID_PARAMETER;
    return copy_at(dst, cch, len, src);
}

HRESULT StringCchVPrintfW(LPWSTR dst, size_t cch, LPCWSTR fmt, va_list args)
{
    if (bad_dest(dst, cch))
        return STRSAFE_E_INVALID_PARAMETER;
    if (!fmt) {
        dst[0] = 0;
        return STRSAFE_E_INVALID_PARAMETER;
    }
    Output out{dst, nullptr, cch};
    format(out, Format{fmt, nullptr}, args);
    out.terminate();
    return out.cut ? STRSAFE_E_INSUFFICIENT_BUFFER : S_OK;
}

HRESULT StringCchPrintfW(LPWSTR dst, size_t cch, LPCWSTR fmt, ...)
{
    va_list ap;
    va_start(ap, fmt);
    HRESULT hr = StringCchVPrintfW(dst, cch, fmt, ap);
    va_end(ap);
    return hr;
}
