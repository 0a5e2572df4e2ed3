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

/* One conversion: %[flags][width][.precision][size]type. */
struct Field {
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

/* ANSI bytes as output units, one byte each. */
std::u16string byte_units(std::string_view bytes)
{
    std::u16string units;
    for (char b : bytes)
        units += char16_t(BYTE(b));
    return units;
}

/* Units of a string argument, as output units (UTF-16 or ANSI bytes). */
std::u16string string_units(const Output &out, const void *arg, bool arg_wide, const Field &field)
{
    size_t max = field.has_precision ? field.precision : SIZE_MAX;
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
        return byte_units(bytes);
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
        units = byte_units(std::string_view(s, n));
    }
    return units;
}

/* One character argument (already promoted to int) as output units. */
std::u16string char_units(const Output &out, int arg, bool arg_wide)
{
    if (arg_wide) {
        WCHAR c = WCHAR(arg);
        if (!c)
            return std::u16string();
        if (out.wide())
            return std::u16string(1, c);
        return byte_units(plat::utf16_to_ansi(std::u16string_view(&c, 1)));
    }
    char c = char(arg);
    if (!c)
        return std::u16string();
    if (!out.wide())
        return byte_units(std::string_view(&c, 1));
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

/* Writes prefix and body padded to the field's width. */
void emit(Output &out, const Field &field, const std::u16string &prefix, const std::u16string &body, bool zero_pad)
{
    size_t used = prefix.size() + body.size();
    size_t pad = field.width > used ? field.width - used : 0;
    if (!field.left && !zero_pad)
        for (size_t i = 0; i < pad; i++)
            out.put(' ');
    for (char16_t c : prefix)
        out.put(c);
    if (!field.left && zero_pad)
        for (size_t i = 0; i < pad; i++)
            out.put('0');
    for (char16_t c : body)
        out.put(c);
    if (field.left)
        for (size_t i = 0; i < pad; i++)
            out.put(' ');
}

/* Whether a c/C/s/S argument is wide: the lower-case type takes the
 * output's own width, the upper-case one the other; h forces narrow and
 * l or w wide. */
bool wide_argument(const Field &field, bool lower_case, const Output &out)
{
    if (field.size == Field::Short)
        return false;
    if (field.size == Field::Long || field.size == Field::Wide)
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
        Field field;
        for (;; f.next()) {
            unsigned flag = f.peek();
            if (flag == '-')
                field.left = true;
            else if (flag == '0')
                field.zero = true;
            else if (flag == '#')
                field.alt = true;
            else
                break;
        }
        field.width = read_number(f);
        if (f.peek() == '.') {
            f.next();
            field.has_precision = true;
            field.precision = read_number(f);
        }
        unsigned m = f.peek();
        if (m == 'h') {
            field.size = Field::Short;
            f.next();
        } else if (m == 'w') {
            field.size = Field::Wide;
            f.next();
        } else if (m == 'l' && f.peek(1) == 'l') {
            field.size = Field::Int64;
            f.pos += 2;
        } else if (m == 'l') {
            field.size = Field::Long;
            f.next();
        } else if (m == 'I' && f.peek(1) == '6' && f.peek(2) == '4') {
            field.size = Field::Int64;
            f.pos += 3;
        } else if (m == 'I' && f.peek(1) == '3' && f.peek(2) == '2') {
            field.size = Field::Long;
            f.pos += 3;
        } else if (m == 'I') {
            field.size = Field::Pointer;
            f.next();
        }
        unsigned type = f.next();
        if (type == 0)
            break;
        switch (type) {
        case 'd':
        case 'i': {
            int64_t v = field.size == Field::Int64     ? va_arg(ap, int64_t)
                        : field.size == Field::Pointer ? int64_t(va_arg(ap, intptr_t))
                        : field.size == Field::Short   ? int64_t(short(va_arg(ap, int)))
                                                     : int64_t(va_arg(ap, int32_t));
            uint64_t mag = v < 0 ? 0 - uint64_t(v) : uint64_t(v);
            emit(out, field, v < 0 ? u"-" : u"", digits_of(mag, 10, false, field.precision),
                 field.zero && !field.has_precision);
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
                v = field.size == Field::Int64     ? va_arg(ap, uint64_t)
                    : field.size == Field::Pointer ? uint64_t(va_arg(ap, uintptr_t))
                    : field.size == Field::Short   ? uint64_t(uint16_t(va_arg(ap, unsigned)))
                                                 : uint64_t(va_arg(ap, uint32_t));
            bool hex = type != 'u';
            bool upper = type != 'x';
            size_t min_digits = type == 'p' ? 2 * sizeof(void *) : field.precision;
            std::u16string prefix;
            if (field.alt && hex && type != 'p' && v != 0)
                prefix = type == 'X' ? u"0X" : u"0x";
            emit(out, field, prefix, digits_of(v, hex ? 16 : 10, upper, min_digits), field.zero && !field.has_precision);
            break;
        }
        case 'c':
        case 'C':
            emit(out, field, u"", char_units(out, va_arg(ap, int), wide_argument(field, type == 'c', out)), false);
            break;
        case 's':
        case 'S':
            emit(out, field, u"", string_units(out, va_arg(ap, const void *), wide_argument(field, type == 's', out), field),
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
