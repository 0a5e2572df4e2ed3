/*
 * Printing a UTF-8 text file: strict decoding, a greedy line layout on the
 * printable area measured with the font's own advances, and one engine
 * text call a line.
 */
#include "host_print_text.h"
#include "host_errors.h"
#include "host_read_file.h"

#include <plat/error.h>

#include <cctype>
#include <cmath>
#include <cstdio>
#include <fstream>
#include <iterator>
#include <map>

namespace host {
namespace {

constexpr size_t kLargestText = size_t(4) << 20; /* 4 MiB: about a thousand pages, printed in seconds */
constexpr double kPoints = 10;                   /* the font's size */
constexpr int kTabColumns = 8;

bool lower_ends_with(const std::string &s, const char *tail)
{
    const std::string t(tail);
    if (s.size() < t.size())
        return false;
    for (size_t i = 0; i < t.size(); i++)
        if (std::tolower(static_cast<unsigned char>(s[s.size() - t.size() + i])) != t[i])
            return false;
    return true;
}

std::u16string utf16(char32_t c)
{
    if (c < 0x10000)
        return std::u16string(1, char16_t(c));
    c -= 0x10000;
    return {char16_t(0xD800 + (c >> 10)), char16_t(0xDC00 + (c & 0x3FF))};
}

} // namespace

bool host_is_jpeg_file(const std::string &path)
{
    if (lower_ends_with(path, ".jpg") || lower_ends_with(path, ".jpeg"))
        return true;
    /* Only a regular file is looked into: a FIFO or device would block or never end (the read refuses it). */
    struct stat sb;
    if (::stat(path.c_str(), &sb) != 0 || !S_ISREG(sb.st_mode))
        return false;
    std::ifstream in(path, std::ios::binary);
    unsigned char head[3] = {};
    return in.read(reinterpret_cast<char *>(head), 3) && head[0] == 0xFF && head[1] == 0xD8 && head[2] == 0xFF;
}

bool host_read_text_file(const std::string &path, std::u32string &text, std::string &error)
{
    std::string bytes;
    if (!host_read_file(path, kLargestText, "4 MiB", bytes, error))
        return false;
    text.clear();
    size_t i = bytes.size() >= 3 && bytes.compare(0, 3, "\xEF\xBB\xBF") == 0 ? 3 : 0;
    size_t line = 1;
    while (i < bytes.size()) {
        const unsigned char b = static_cast<unsigned char>(bytes[i]);
        int more = b < 0x80 ? 0 : (b & 0xE0) == 0xC0 ? 1 : (b & 0xF0) == 0xE0 ? 2 : (b & 0xF8) == 0xF0 ? 3 : -1;
        char32_t c = more == 0 ? b : more == 1 ? (b & 0x1F) : more == 2 ? (b & 0x0F) : (b & 0x07);
        bool good = more >= 0 && i + size_t(more) < bytes.size();
        for (int k = 1; good && k <= more; k++) {
            const unsigned char n = static_cast<unsigned char>(bytes[i + size_t(k)]);
            good = (n & 0xC0) == 0x80;
            c = (c << 6) | (n & 0x3F);
        }
        /* Overlong forms, surrogates and values past U+10FFFF are not UTF-8. */
        const char32_t least[] = {0, 0x80, 0x800, 0x10000};
        good = good && c >= least[more < 0 ? 0 : more] && c <= 0x10FFFF && !(c >= 0xD800 && c <= 0xDFFF);
        if (!good) {
            char hex[8];
            std::snprintf(hex, sizeof hex, "0x%02X", b);
            error = "'" + path + "' is not UTF-8 text: byte " + hex + " at offset " + std::to_string(i) + " (line " +
                    std::to_string(line) + ") does not begin a valid character";
            return false;
        }
        if (c == U'\n')
            line++;
        text.push_back(c);
        i += size_t(more) + 1;
    }
    return true;
}

bool host_layout_text(HDC dc, const std::u32string &text, TextLayout &layout, std::string &error)
{
    const int width = GetDeviceCaps(dc, HORZRES), height = GetDeviceCaps(dc, VERTRES);
    const int dpiY = GetDeviceCaps(dc, LOGPIXELSY) > 0 ? GetDeviceCaps(dc, LOGPIXELSY) : GetDeviceCaps(dc, LOGPIXELSX);
    layout = TextLayout{};
    layout.font.lfHeight = -LONG(std::lround(kPoints * dpiY / 72));
    layout.font.lfWeight = 400;
    const std::u16string face = u"DejaVu Sans Mono";
    std::copy(face.begin(), face.end(), layout.font.lfFaceName);
    layout.lineHeight = LONG(std::lround(-layout.font.lfHeight * 1.2));
    if (width <= 0 || height < layout.lineHeight || layout.lineHeight <= 0) {
        error = "the printable area is too small for a line of text";
        return false;
    }
    const size_t linesPerPage = size_t(height / layout.lineHeight);

    std::map<char32_t, LONG> advances;
    auto advance = [&](char32_t c) -> LONG {
        auto it = advances.find(c);
        if (it != advances.end())
            return it->second;
        const SIZE s = plat::gdi_measure_text(dc, layout.font, utf16(c));
        return advances[c] = s.cx;
    };
    if (advance(U'M') <= 0) {
        error = "the text font cannot be measured: " + host_error_text(GetLastError());
        return false;
    }

    layout.pages.assign(1, {});
    auto put = [&](const std::u16string &line) {
        if (layout.pages.back().size() == linesPerPage)
            layout.pages.emplace_back();
        layout.pages.back().push_back(line);
    };
    std::u16string line;
    LONG used = 0;
    size_t columns = 0, lastSpace = std::u16string::npos;
    size_t lastSpaceColumns = 0;
    auto reflow_after_space = [&]() {
        /* The words after the last space start the next line. */
        std::u16string rest = line.substr(lastSpace + 1);
        line.resize(lastSpace);
        put(line);
        line = rest;
        used = 0;
        for (char16_t u : line)
            if (!(u >= 0xDC00 && u <= 0xDFFF))
                used += advance(u >= 0xD800 && u <= 0xDBFF ? U'\uFFFD' : char32_t(u));
        columns -= lastSpaceColumns + 1;
        lastSpace = std::u16string::npos;
    };
    auto add = [&](char32_t c) {
        const LONG a = advance(c);
        if (used + a > width && !line.empty()) {
            if (lastSpace != std::u16string::npos && lastSpace + 1 < line.size()) {
                reflow_after_space();
            } else {
                put(line);
                line.clear();
                used = 0;
                columns = 0;
            }
            lastSpace = std::u16string::npos;
        }
        if (c == U' ') {
            lastSpace = line.size();
            lastSpaceColumns = columns;
        }
        line += utf16(c);
        used += a;
        columns++;
    };
    for (size_t i = 0; i < text.size(); i++) {
        const char32_t c = text[i];
        if (c == U'\r' && i + 1 < text.size() && text[i + 1] == U'\n')
            continue;
        if (c == U'\n' || c == U'\r') {
            put(line);
        } else if (c == U'\f') {
            if (!line.empty())
                put(line);
            layout.pages.emplace_back();
        } else if (c == U'\t') {
            do
                add(U' ');
            while (columns % kTabColumns != 0);
            continue;
        } else {
            add(c < 0x20 || c == 0x7F ? U'\uFFFD' : c);
            continue;
        }
        line.clear();
        used = 0;
        columns = 0;
        lastSpace = std::u16string::npos;
    }
    if (!line.empty())
        put(line);
    return true;
}

bool host_draw_text_file_page(HDC dc, const TextLayout &layout, int page, std::string &error)
{
    if (page < 1 || size_t(page) > layout.pages.size())
        return true;
    LONG y = 0;
    for (const std::u16string &line : layout.pages[size_t(page - 1)]) {
        if (!line.empty()) {
            plat::GdiTextDraw d;
            d.font = layout.font;
            d.text = line;
            d.origin = POINTL{0, y};
            d.align = TA_LEFT | TA_TOP;
            if (!plat::gdi_draw_text(dc, d)) {
                error = "the text call for line " + std::to_string((y / layout.lineHeight) + 1) + " failed: " +
                        host_error_text(GetLastError());
                return false;
            }
        }
        y += layout.lineHeight;
    }
    return true;
}

} // namespace host
