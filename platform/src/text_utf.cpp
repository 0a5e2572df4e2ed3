/*
 * UTF-16 <-> UTF-8 conversion used by the platform layer itself (paths,
 * diagnostics).  The ANSI code pages of the driver go through iconv in
 * codepage.cpp; this file needs no library.
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
        if (c < 0x80) {
            out += char(c);
        } else if (c < 0x800) {
            out += char(0xC0 | (c >> 6));
            out += char(0x80 | (c & 0x3F));
        } else if (c < 0x10000) {
            out += char(0xE0 | (c >> 12));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        } else {
            out += char(0xF0 | (c >> 18));
            out += char(0x80 | ((c >> 12) & 0x3F));
            out += char(0x80 | ((c >> 6) & 0x3F));
            out += char(0x80 | (c & 0x3F));
        }
    }
    return out;
}

std::u16string utf8_to_utf16(std::string_view s)
{
    std::u16string out;
    out.reserve(s.size());
    size_t i = 0;
    while (i < s.size()) {
        unsigned char b = (unsigned char)s[i];
        uint32_t c;
        size_t need;
        if (b < 0x80) {
            c = b;
            need = 0;
        } else if ((b & 0xE0) == 0xC0) {
            c = b & 0x1F;
            need = 1;
        } else if ((b & 0xF0) == 0xE0) {
            c = b & 0x0F;
            need = 2;
        } else if ((b & 0xF8) == 0xF0) {
            c = b & 0x07;
            need = 3;
        } else {
            out += u'\xFFFD';
            i++;
            continue;
        }
        bool ok = true;
        for (size_t k = 1; k <= need; k++) {
            if (i + k >= s.size() || ((unsigned char)s[i + k] & 0xC0) != 0x80) {
                ok = false;
                break;
            }
            c = (c << 6) | ((unsigned char)s[i + k] & 0x3F);
        }
        if (!ok) {
            out += u'\xFFFD';
            i++;
            continue;
        }
        i += need + 1;
        if (c >= 0x10000) {
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
