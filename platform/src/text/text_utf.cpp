/*
 * UTF-16 <-> UTF-8 conversion used by the platform layer itself (paths,
 * diagnostics) and by the CP_UTF8 conversions in codepage.cpp.  Ill-formed
 * input becomes U+FFFD, one per maximal ill-formed subsequence.
 */
#include <plat/text.h>

namespace plat {

size_t wlen(const WCHAR *s)
{
    size_t n = 0;
    if (s)
        while (s[n])
            n++;
    return n;
}

size_t utf8_decode(const unsigned char *s, size_t n, uint32_t &cp)
{
    unsigned char b = s[0];
    if (b < 0x80) {
        cp = b;
        return 1;
    }
    size_t need;
    uint32_t c;
    /* The allowed range of the second byte rules out overlong forms,
     * encoded surrogates and values above U+10FFFF. */
    unsigned char lo = 0x80, hi = 0xBF;
    if (b >= 0xC2 && b <= 0xDF) {
        need = 1;
        c = b & 0x1F;
    } else if (b >= 0xE0 && b <= 0xEF) {
        need = 2;
        c = b & 0x0F;
        if (b == 0xE0)
            lo = 0xA0;
        else if (b == 0xED)
            hi = 0x9F;
    } else if (b >= 0xF0 && b <= 0xF4) {
        need = 3;
        c = b & 0x07;
        if (b == 0xF0)
            lo = 0x90;
        else if (b == 0xF4)
            hi = 0x8F;
    } else {
        cp = UTF8_INVALID;
        return 1;
    }
    for (size_t k = 1; k <= need; k++) {
        if (k >= n || s[k] < lo || s[k] > hi) {
            cp = UTF8_INVALID;
            return k;
        }
        c = (c << 6) | (s[k] & 0x3F);
        lo = 0x80;
        hi = 0xBF;
    }
    cp = c;
    return need + 1;
}

size_t utf8_encode(uint32_t cp, char *out)
{
    if (cp < 0x80) {
        out[0] = char(cp);
        return 1;
    }
    if (cp < 0x800) {
        out[0] = char(0xC0 | (cp >> 6));
        out[1] = char(0x80 | (cp & 0x3F));
        return 2;
    }
    if (cp < 0x10000) {
        out[0] = char(0xE0 | (cp >> 12));
        out[1] = char(0x80 | ((cp >> 6) & 0x3F));
        out[2] = char(0x80 | (cp & 0x3F));
        return 3;
    }
    out[0] = char(0xF0 | (cp >> 18));
    out[1] = char(0x80 | ((cp >> 12) & 0x3F));
    out[2] = char(0x80 | ((cp >> 6) & 0x3F));
    out[3] = char(0x80 | (cp & 0x3F));
    return 4;
}

std::string utf16_to_utf8(std::u16string_view s)
{
    std::string out;
    out.reserve(s.size());
    for (size_t i = 0; i < s.size(); i++) {
        uint32_t c = s[i];
        if (c >= 0xD800 && c <= 0xDBFF && i + 1 < s.size() && s[i + 1] >= 0xDC00 && s[i + 1] <= 0xDFFF) {
            c = 0x10000 + ((c - 0xD800) << 10) + (s[i + 1] - 0xDC00);
            i++;
        } else if (c >= 0xD800 && c <= 0xDFFF) {
            c = 0xFFFD;
        }
        char buf[4];
        out.append(buf, utf8_encode(c, buf));
    }
    return out;
}

std::u16string utf8_to_utf16(std::string_view s)
{
    std::u16string out;
    out.reserve(s.size());
    const unsigned char *p = reinterpret_cast<const unsigned char *>(s.data());
    size_t i = 0;
    while (i < s.size()) {
        uint32_t c;
        i += utf8_decode(p + i, s.size() - i, c);
        if (c == UTF8_INVALID) {
            out += u'\xFFFD';
        } else if (c >= 0x10000) {
            c -= 0x10000;
            out += char16_t(0xD800 + (c >> 10));
            out += char16_t(0xDC00 + (c & 0x3FF));
        } else {
            out += char16_t(c);
        }
    }
    return out;
}

} // namespace plat
