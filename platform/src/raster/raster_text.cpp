/*
 * Text on raster contexts, measured and drawn through FreeType from real
 * font files (DejaVu Sans and DejaVu Sans Bold stand for every face name):
 * TextOutW, ExtTextOutW, DrawTextW with its alignment, word breaks,
 * prefixes and ellipsis, extents and metrics.  A font's height follows
 * LOGFONTW (negative: the character height; positive: the cell height; 0:
 * the dialog font, 8 points at the screen's DPI).  Glyphs are grey-level
 * coverage blended in the text colour.
 */
#include "gdi_dc_private.h"
#include "raster_private.h"

#include <plat/machine.h>
#include <plat/text.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <algorithm>
#include <cstring>
#include <map>

namespace {

using namespace plat::raster;

struct Fonts {
    FT_Library library = nullptr;
    std::string regular = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    std::string bold = "/usr/share/fonts/truetype/dejavu/DejaVuSans-Bold.ttf";
    std::map<std::pair<std::string, int>, FT_Face> faces; /* by file and pixel size */
};

Fonts &fonts()
{
    static auto *f = new Fonts; /* kept for the process: faces are costly to open */
    if (!f->library)
        FT_Init_FreeType(&f->library);
    return *f;
}

/* The em size in pixels and the file of a context's font. */
FT_Face faceOf(const Dc &dc)
{
    auto font = object_of<Font>(dc.st.font);
    LOGFONTW lf{};
    if (font)
        lf = font->lf;
    Fonts &f = fonts();
    const std::string &file = lf.lfWeight >= 600 ? f.bold : f.regular;
    int height = lf.lfHeight;
    if (height == 0)
        height = -(8 * plat::window_dpi() + 36) / 72;
    int em = height < 0 ? -height : height;
    FT_Face face = nullptr;
    auto key = std::make_pair(file, height);
    auto it = f.faces.find(key);
    if (it != f.faces.end())
        return it->second;
    if (!f.library || FT_New_Face(f.library, file.c_str(), 0, &face) != 0)
        return nullptr;
    if (height > 0 && face->units_per_EM > 0) {
        /* A cell height: the em is the cell less the internal leading. */
        const long cell = long(face->ascender) - long(face->descender);
        em = int((long(height) * face->units_per_EM + cell / 2) / std::max(cell, 1L));
    }
    FT_Set_Pixel_Sizes(face, 0, FT_UInt(std::max(em, 1)));
    f.faces[key] = face;
    return face;
}

int advanceOf(FT_Face face, char16_t ch)
{
    if (FT_Load_Char(face, ch, FT_LOAD_DEFAULT) != 0)
        return 0;
    return int((face->glyph->advance.x + 32) >> 6);
}

/* The text without its '&' prefixes ("&&" is one '&'). */
std::u16string stripPrefixes(std::u16string_view text)
{
    std::u16string out;
    for (size_t i = 0; i < text.size(); ++i) {
        if (text[i] == u'&' && i + 1 < text.size()) {
            out += text[++i];
            continue;
        }
        if (text[i] != u'&')
            out += text[i];
    }
    return out;
}

std::vector<std::u16string> breakLines(const Dc &dc, const std::u16string &text, UINT format, int width)
{
    std::vector<std::u16string> lines;
    if (format & DT_SINGLELINE) {
        std::u16string one;
        for (char16_t c : text)
            if (c != u'\r' && c != u'\n')
                one += c;
        lines.push_back(one);
        return lines;
    }
    size_t start = 0;
    while (start <= text.size()) {
        size_t end = text.find(u'\n', start);
        std::u16string para = text.substr(start, end == std::u16string::npos ? std::u16string::npos : end - start);
        if (!para.empty() && para.back() == u'\r')
            para.pop_back();
        if (!(format & DT_WORDBREAK) || measure(dc, para).cx <= width) {
            lines.push_back(para);
        } else {
            std::u16string line;
            size_t i = 0;
            while (i < para.size()) {
                size_t j = para.find(u' ', i);
                std::u16string word = para.substr(i, j == std::u16string::npos ? std::u16string::npos : j - i);
                std::u16string candidate = line.empty() ? word : line + u' ' + word;
                if (!line.empty() && measure(dc, candidate).cx > width) {
                    lines.push_back(line);
                    line = word;
                } else {
                    line = candidate;
                }
                if (j == std::u16string::npos)
                    break;
                i = j + 1;
            }
            lines.push_back(line);
        }
        if (end == std::u16string::npos)
            break;
        start = end + 1;
    }
    return lines;
}

} // namespace

namespace plat {

bool raster_set_font_files(const std::string &regular, const std::string &bold)
{
    Fonts &f = fonts();
    FT_Face probe = nullptr;
    for (const std::string *file : {&regular, &bold}) {
        if (!f.library || FT_New_Face(f.library, file->c_str(), 0, &probe) != 0)
            return false;
        FT_Done_Face(probe);
    }
    f.regular = regular;
    f.bold = bold;
    return true;
}

} // namespace plat

namespace plat::raster {

TextSize measure(const Dc &dc, std::u16string_view text)
{
    TextSize s;
    FT_Face face = faceOf(dc);
    if (!face)
        return s;
    for (char16_t ch : text)
        s.cx += advanceOf(face, ch);
    s.ascent = int((face->size->metrics.ascender + 63) >> 6);
    s.cy = s.ascent + int((-face->size->metrics.descender + 63) >> 6);
    return s;
}

void draw_text_line(const Dc &dc, Canvas &c, int x, int y, std::u16string_view text, const RECT *clip)
{
    FT_Face face = faceOf(dc);
    if (!face)
        return;
    const TextSize size = measure(dc, text);
    RECT box = c.toTarget(RECT{x, y, x + size.cx, y + size.cy});
    if (dc.st.bkMode == OPAQUE) {
        const DWORD back = bgrx(resolve(dc, dc.st.back));
        for (int yy = box.top; yy < box.bottom; ++yy)
            for (int xx = box.left; xx < box.right; ++xx)
                if (!clip || PtInRect(clip, POINT{xx, yy}))
                    c.put(xx, yy, back);
    }
    const COLORREF tc = resolve(dc, dc.st.text);
    int pen = 0;
    for (char16_t ch : text) {
        if (FT_Load_Char(face, ch, FT_LOAD_RENDER) != 0)
            continue;
        const FT_GlyphSlot g = face->glyph;
        const FT_Bitmap &bmp = g->bitmap;
        for (unsigned row = 0; row < bmp.rows; ++row)
            for (unsigned col = 0; col < bmp.width; ++col) {
                const unsigned a = bmp.buffer[row * unsigned(std::abs(bmp.pitch)) + col];
                if (a == 0)
                    continue;
                /* Glyphs keep their reading order in a mirrored context: x runs from the box's left. */
                const int tx = box.left + pen + g->bitmap_left + int(col);
                const int ty = box.top + size.ascent - g->bitmap_top + int(row);
                if (!c.inClip(tx, ty) || (clip && !PtInRect(clip, POINT{tx, ty})))
                    continue;
                const DWORD d = c.load(tx, ty);
                auto mix = [&](unsigned dst, unsigned src) { return (src * a + dst * (255 - a) + 127) / 255; };
                const DWORD out = DWORD(mix(d & 0xFF, GetBValue(tc))) | DWORD(mix((d >> 8) & 0xFF, GetGValue(tc))) << 8 |
                                  DWORD(mix((d >> 16) & 0xFF, GetRValue(tc))) << 16;
                c.put(tx, ty, out);
            }
        pen += int((g->advance.x + 32) >> 6);
    }
    log("Text", c, box, tc, dc.st.bkMode == OPAQUE ? dc.st.back : CLR_INVALID, 0, nullptr, std::u16string(text));
}

} // namespace plat::raster

BOOL ExtTextOutW(HDC hdc, int x, int y, UINT options, const RECT *rect, LPCWSTR text, UINT count, const int *)
{
    if (plat::gdi_is_printer_dc(hdc))
        return plat::gdi::pdc::text_out(hdc, x, y, options, rect, text, count, nullptr);
    auto dc = dc_of(hdc);
    if (!dc)
        return FALSE;
    Canvas c = open(*dc);
    if (!c.valid())
        return FALSE;
    RECT clip{};
    const RECT *clipPtr = nullptr;
    if (rect) {
        clip = c.toTarget(*rect);
        if (options & ETO_OPAQUE) {
            const DWORD back = bgrx(resolve(*dc, dc->st.back));
            for (int yy = clip.top; yy < clip.bottom; ++yy)
                for (int xx = clip.left; xx < clip.right; ++xx)
                    c.put(xx, yy, back);
        }
        if (options & ETO_CLIPPED)
            clipPtr = &clip;
    }
    if (text && count > 0)
        draw_text_line(*dc, c, x, y, std::u16string_view(text, count), clipPtr);
    close(c);
    return TRUE;
}

BOOL TextOutW(HDC hdc, int x, int y, LPCWSTR text, int count)
{
    if (count < 0)
        return FALSE;
    return ExtTextOutW(hdc, x, y, 0, nullptr, text, UINT(count), nullptr);
}

BOOL GetTextExtentPoint32W(HDC hdc, LPCWSTR text, int count, SIZE *size)
{
    if (plat::gdi_is_printer_dc(hdc))
        return plat::gdi::pdc::text_extent(hdc, text, count, size);
    auto dc = dc_of(hdc);
    if (!dc || !size || count < 0 || (count > 0 && !text))
        return FALSE;
    const TextSize s = measure(*dc, std::u16string_view(text ? text : u"", size_t(count)));
    *size = SIZE{s.cx, s.cy};
    return TRUE;
}

BOOL GetTextMetricsW(HDC hdc, TEXTMETRICW *tm)
{
    auto dc = dc_of(hdc);
    if (!dc || !tm)
        return FALSE;
    std::memset(tm, 0, sizeof *tm);
    const TextSize s = measure(*dc, u"x");
    const TextSize avg = measure(*dc, u"abcdefghijklmnopqrstuvwxyzABCDEFGHIJKLMNOPQRSTUVWXYZ");
    const TextSize wide = measure(*dc, u"W");
    tm->tmHeight = s.cy;
    tm->tmAscent = s.ascent;
    tm->tmDescent = s.cy - s.ascent;
    tm->tmAveCharWidth = (avg.cx + 26) / 52;
    tm->tmMaxCharWidth = wide.cx;
    auto font = object_of<Font>(dc->st.font);
    tm->tmWeight = font && font->lf.lfWeight ? font->lf.lfWeight : FW_NORMAL;
    tm->tmFirstChar = 0x20;
    tm->tmLastChar = 0xFFFC;
    tm->tmDefaultChar = 0x20;
    tm->tmBreakChar = 0x20;
    tm->tmCharSet = DEFAULT_CHARSET;
    tm->tmDigitizedAspectX = tm->tmDigitizedAspectY = plat::window_dpi();
    return TRUE;
}

int DrawTextW(HDC hdc, LPCWSTR text, int count, RECT *rect, UINT format)
{
    if (plat::gdi_is_printer_dc(hdc))
        return plat::gdi::pdc::draw_text(hdc, text, count, rect, format);
    auto dc = dc_of(hdc);
    if (!dc || !rect || !text)
        return 0;
    const size_t n = count < 0 ? size_t(lstrlenW(text)) : size_t(count);
    std::u16string s(text, n);
    if (!(format & DT_NOPREFIX))
        s = stripPrefixes(s);
    const int width = rect->right - rect->left;
    std::vector<std::u16string> lines = breakLines(*dc, s, format, width);
    const int lineHeight = measure(*dc, u"x").cy;
    if ((format & DT_END_ELLIPSIS) && (format & DT_SINGLELINE) && !lines.empty() && measure(*dc, lines[0]).cx > width) {
        std::u16string &l = lines[0];
        while (!l.empty() && measure(*dc, l + u"...").cx > width)
            l.pop_back();
        l += u"...";
    }
    const int total = lineHeight * int(lines.size());
    if (format & DT_CALCRECT) {
        int widest = 0;
        for (auto &l : lines)
            widest = std::max(widest, measure(*dc, l).cx);
        rect->right = rect->left + widest;
        rect->bottom = rect->top + total;
        return total;
    }
    int y = rect->top;
    if (format & DT_SINGLELINE) {
        if (format & DT_VCENTER)
            y = rect->top + (rect->bottom - rect->top - lineHeight) / 2;
        else if (format & DT_BOTTOM)
            y = rect->bottom - lineHeight;
    }
    Canvas c = open(*dc);
    if (!c.valid())
        return 0;
    const RECT clip = c.toTarget(*rect);
    for (auto &l : lines) {
        const int w = measure(*dc, l).cx;
        int x = rect->left;
        if (format & DT_CENTER)
            x = rect->left + (width - w) / 2;
        else if (format & DT_RIGHT)
            x = rect->right - w;
        draw_text_line(*dc, c, x, y, l, (format & DT_NOCLIP) ? nullptr : &clip);
        y += lineHeight;
    }
    close(c);
    return total;
}
