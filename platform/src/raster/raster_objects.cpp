/*
 * Objects of the raster GDI: stock objects, brushes (solid, pattern,
 * system-colour), pens, fonts, bitmaps (compatible, monochrome and DIB
 * sections kept in step with their 32-bit pixels), reading bitmaps back as
 * DIBs, object queries, and icons made from bitmaps.
 */
#include "raster_private.h"

#include <plat/error.h>
#include <plat/machine.h>
#include <plat/text.h>

#include <algorithm>
#include <cstring>
#include <map>

namespace {

using namespace plat::raster;
using plat::gdi::BitmapData;

constexpr LONG kMaxSide = 16384;

std::map<int, HGDIOBJ> &stocks()
{
    static auto *m = new std::map<int, HGDIOBJ>;
    return *m;
}

const bool registered = (plat::machine_on_reset([] { stocks().clear(); }), true);

template <typename T>
HGDIOBJ addObject(std::shared_ptr<T> o)
{
    return plat::gdi::add_raster(std::move(o));
}

size_t dibStride(LONG width, WORD bits) { return ((size_t(width) * bits + 31) / 32) * 4; }

/* Default colour masks of 16- and 32-bit DIBs. */
void defaultMasks(BitmapData &bm)
{
    if (bm.dibHeader.biBitCount == 16) {
        bm.dibMasks[0] = 0x7C00;
        bm.dibMasks[1] = 0x03E0;
        bm.dibMasks[2] = 0x001F;
    } else {
        bm.dibMasks[0] = 0xFF0000;
        bm.dibMasks[1] = 0x00FF00;
        bm.dibMasks[2] = 0x0000FF;
    }
}

int shiftOf(DWORD mask)
{
    int s = 0;
    while (mask && !(mask & 1)) {
        mask >>= 1;
        ++s;
    }
    return s;
}

BYTE expand(DWORD value, DWORD mask)
{
    if (!mask)
        return 0;
    const DWORD m = mask >> shiftOf(mask);
    const DWORD v = (value & mask) >> shiftOf(mask);
    return BYTE(v * 255 / m);
}

DWORD compress(BYTE c, DWORD mask)
{
    if (!mask)
        return 0;
    const DWORD m = mask >> shiftOf(mask);
    return ((DWORD(c) * m + 127) / 255) << shiftOf(mask);
}

/* The table index nearest to `p` (exact matches first). */
DWORD nearest(const std::vector<DWORD> &table, DWORD p)
{
    DWORD best = 0;
    long bestDistance = -1;
    for (size_t i = 0; i < table.size(); ++i) {
        const long dr = long((table[i] >> 16) & 0xFF) - long((p >> 16) & 0xFF);
        const long dg = long((table[i] >> 8) & 0xFF) - long((p >> 8) & 0xFF);
        const long db = long(table[i] & 0xFF) - long(p & 0xFF);
        const long d = dr * dr + dg * dg + db * db;
        if (bestDistance < 0 || d < bestDistance) {
            best = DWORD(i);
            bestDistance = d;
            if (d == 0)
                break;
        }
    }
    return best;
}

DWORD readDibPixel(const BitmapData &bm, const BYTE *row, LONG x)
{
    const WORD bits = bm.dibHeader.biBitCount;
    auto indexed = [&](DWORD i) { return i < bm.dibColours.size() ? bm.dibColours[i] : 0u; };
    switch (bits) {
    case 1: return indexed((row[x / 8] >> (7 - x % 8)) & 1u);
    case 4: return indexed((row[x / 2] >> (x % 2 == 0 ? 4 : 0)) & 0xFu);
    case 8: return indexed(row[x]);
    case 16: {
        const DWORD v = DWORD(row[2 * x]) | DWORD(row[2 * x + 1]) << 8;
        return DWORD(expand(v, bm.dibMasks[2])) | DWORD(expand(v, bm.dibMasks[1])) << 8 |
               DWORD(expand(v, bm.dibMasks[0])) << 16;
    }
    case 24: return DWORD(row[3 * x]) | DWORD(row[3 * x + 1]) << 8 | DWORD(row[3 * x + 2]) << 16;
    default: {
        DWORD v;
        std::memcpy(&v, row + 4 * x, 4);
        return DWORD(expand(v, bm.dibMasks[2])) | DWORD(expand(v, bm.dibMasks[1])) << 8 |
               DWORD(expand(v, bm.dibMasks[0])) << 16;
    }
    }
}

void writeDibPixel(const BitmapData &bm, const std::vector<DWORD> &table, BYTE *row, LONG x, DWORD p, WORD bits,
                   const DWORD *masks)
{
    switch (bits) {
    case 1: {
        const BYTE bit = BYTE(0x80 >> (x % 8));
        row[x / 8] = BYTE(nearest(table, p) ? row[x / 8] | bit : row[x / 8] & ~bit);
        break;
    }
    case 4: {
        const BYTE i = BYTE(nearest(table, p));
        row[x / 2] = x % 2 == 0 ? BYTE((row[x / 2] & 0x0F) | i << 4) : BYTE((row[x / 2] & 0xF0) | i);
        break;
    }
    case 8: row[x] = BYTE(nearest(table, p)); break;
    case 16: {
        const DWORD v = compress(BYTE(p >> 16), masks[0]) | compress(BYTE(p >> 8), masks[1]) |
                        compress(BYTE(p), masks[2]);
        row[2 * x] = BYTE(v);
        row[2 * x + 1] = BYTE(v >> 8);
        break;
    }
    case 24:
        row[3 * x] = BYTE(p);
        row[3 * x + 1] = BYTE(p >> 8);
        row[3 * x + 2] = BYTE(p >> 16);
        break;
    default: {
        const DWORD v = compress(BYTE(p >> 16), masks[0]) | compress(BYTE(p >> 8), masks[1]) |
                        compress(BYTE(p), masks[2]);
        std::memcpy(row + 4 * x, &v, 4);
        break;
    }
    }
    (void)bm;
}

DWORD pixelAt(const BitmapData &bm, LONG x, LONG y)
{
    DWORD v;
    std::memcpy(&v, bm.bits.data() + (size_t(y) * size_t(bm.width) + size_t(x)) * 4, 4);
    return v & 0xFFFFFF;
}

HBITMAP newBitmap(LONG cx, LONG cy, WORD bitsPixel)
{
    if (cx < 1 || cy < 1 || cx > kMaxSide || cy > kMaxSide) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    BitmapData bm;
    bm.width = cx;
    bm.height = cy;
    bm.bitsPixel = bitsPixel;
    bm.bits.assign(size_t(cx) * size_t(cy) * 4, 0);
    return plat::gdi::add_bitmap(std::move(bm));
}

/* The colours read back for a DIB of <= 8 bits: the section's own table, or the bitmap's colours as met. */
std::vector<DWORD> readbackTable(const BitmapData &bm, WORD bits)
{
    const size_t size = size_t(1) << bits;
    if (bm.dib && bm.dibHeader.biBitCount == bits && !bm.dibColours.empty()) {
        auto t = bm.dibColours;
        t.resize(size, 0);
        return t;
    }
    if (bits == 1 || bm.bitsPixel == 1)
        return std::vector<DWORD>{0, 0xFFFFFF};
    std::vector<DWORD> t;
    for (LONG y = 0; y < bm.height && t.size() < size; ++y)
        for (LONG x = 0; x < bm.width && t.size() < size; ++x) {
            const DWORD p = pixelAt(bm, x, y);
            if (std::find(t.begin(), t.end(), p) == t.end())
                t.push_back(p);
        }
    t.resize(size, 0);
    return t;
}

} // namespace

namespace plat::raster {

void dib_to_pixels(BitmapData &bm)
{
    const LONG rows = bm.height;
    const size_t stride = dibStride(bm.width, bm.dibHeader.biBitCount);
    for (LONG i = 0; i < rows; ++i) {
        const LONG y = bm.dibHeader.biHeight > 0 ? rows - 1 - i : i;
        const BYTE *row = bm.dibBits.data() + size_t(i) * stride;
        for (LONG x = 0; x < bm.width; ++x) {
            const DWORD p = readDibPixel(bm, row, x);
            std::memcpy(bm.bits.data() + (size_t(y) * size_t(bm.width) + size_t(x)) * 4, &p, 4);
        }
    }
}

void pixels_to_dib(BitmapData &bm)
{
    const LONG rows = bm.height;
    const WORD bits = bm.dibHeader.biBitCount;
    const size_t stride = dibStride(bm.width, bits);
    for (LONG i = 0; i < rows; ++i) {
        const LONG y = bm.dibHeader.biHeight > 0 ? rows - 1 - i : i;
        BYTE *row = bm.dibBits.data() + size_t(i) * stride;
        for (LONG x = 0; x < bm.width; ++x)
            writeDibPixel(bm, bm.dibColours, row, x, pixelAt(bm, x, y), bits, bm.dibMasks);
    }
}

HGDIOBJ stock(int index)
{
    (void)registered;
    auto &m = stocks();
    auto it = m.find(index);
    if (it != m.end())
        return it->second;
    std::shared_ptr<gdi::RasterObject> o;
    auto brush = [](UINT style, COLORREF c) {
        auto b = std::make_shared<Brush>();
        b->style = style;
        b->colour = c;
        return b;
    };
    auto pen = [](int style, COLORREF c) {
        auto p = std::make_shared<Pen>();
        p->style = style;
        p->colour = c;
        return p;
    };
    switch (index) {
    case WHITE_BRUSH: o = brush(BS_SOLID, RGB(255, 255, 255)); break;
    case LTGRAY_BRUSH: o = brush(BS_SOLID, RGB(192, 192, 192)); break;
    case GRAY_BRUSH: o = brush(BS_SOLID, RGB(128, 128, 128)); break;
    case DKGRAY_BRUSH: o = brush(BS_SOLID, RGB(64, 64, 64)); break;
    case BLACK_BRUSH: o = brush(BS_SOLID, RGB(0, 0, 0)); break;
    case NULL_BRUSH: o = brush(BS_NULL, 0); break;
    case DC_BRUSH: o = brush(BS_SOLID, RGB(255, 255, 255)); break;
    case WHITE_PEN: o = pen(PS_SOLID, RGB(255, 255, 255)); break;
    case BLACK_PEN: o = pen(PS_SOLID, RGB(0, 0, 0)); break;
    case DC_PEN: o = pen(PS_SOLID, RGB(0, 0, 0)); break;
    case NULL_PEN: o = pen(PS_NULL, 0); break;
    case SYSTEM_FONT:
    case DEFAULT_GUI_FONT: {
        auto f = std::make_shared<Font>();
        f->lf.lfWeight = FW_NORMAL;
        const char16_t face[] = u"MS Shell Dlg";
        std::copy(face, face + 13, f->lf.lfFaceName);
        o = f;
        break;
    }
    default:
        if (index >= 1000 && index < 1000 + 31) { /* system-colour brushes */
            auto b = brush(BS_SOLID, 0);
            b->sysColour = index - 1000;
            o = b;
            break;
        }
        return nullptr;
    }
    o->stock = true;
    HGDIOBJ h = gdi::add_raster(o);
    m[index] = h;
    return h;
}

} // namespace plat::raster

HGDIOBJ GetStockObject(int index) { return stock(index); }

HBRUSH GetSysColorBrush(int index)
{
    if (index < 0 || index > 30)
        return nullptr;
    return reinterpret_cast<HBRUSH>(stock(1000 + index));
}

HBRUSH CreateSolidBrush(COLORREF colour)
{
    auto b = std::make_shared<Brush>();
    b->colour = colour;
    return reinterpret_cast<HBRUSH>(addObject(b));
}

HBRUSH CreatePatternBrush(HBITMAP bitmap)
{
    const BitmapData *bm = plat::gdi::bitmap_data(bitmap);
    if (!bm) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    auto b = std::make_shared<Brush>();
    b->style = BS_PATTERN;
    /* The pattern is copied: the bitmap may be deleted afterwards. */
    b->patternCx = std::min<LONG>(bm->width, 8);
    b->patternCy = std::min<LONG>(bm->height, 8);
    b->monoPattern = bm->bitsPixel == 1;
    for (int y = 0; y < b->patternCy; ++y)
        for (int x = 0; x < b->patternCx; ++x)
            b->pattern.push_back(pixelAt(*bm, x, y));
    return reinterpret_cast<HBRUSH>(addObject(b));
}

HBRUSH CreateBrushIndirect(const LOGBRUSH *lb)
{
    if (!lb)
        return nullptr;
    if (lb->lbStyle == BS_PATTERN)
        return CreatePatternBrush(reinterpret_cast<HBITMAP>(lb->lbHatch));
    auto b = std::make_shared<Brush>();
    b->style = lb->lbStyle == BS_NULL ? BS_NULL : BS_SOLID;
    b->colour = lb->lbColor;
    return reinterpret_cast<HBRUSH>(addObject(b));
}

HPEN CreatePen(int style, int width, COLORREF colour)
{
    auto p = std::make_shared<Pen>();
    p->style = style;
    p->width = std::max(width, 1);
    p->colour = colour;
    return reinterpret_cast<HPEN>(addObject(p));
}

HFONT CreateFontIndirectW(const LOGFONTW *lf)
{
    if (!lf) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    auto f = std::make_shared<Font>();
    f->lf = *lf;
    f->lf.lfFaceName[LF_FACESIZE - 1] = 0;
    return reinterpret_cast<HFONT>(addObject(f));
}

HFONT CreateFontW(int height, int width, int escapement, int orientation, int weight, DWORD italic, DWORD underline,
                  DWORD strikeOut, DWORD charSet, DWORD outPrecision, DWORD clipPrecision, DWORD quality,
                  DWORD pitchAndFamily, LPCWSTR face)
{
    LOGFONTW lf{};
    lf.lfHeight = height;
    lf.lfWidth = width;
    lf.lfEscapement = escapement;
    lf.lfOrientation = orientation;
    lf.lfWeight = weight;
    lf.lfItalic = BYTE(italic);
    lf.lfUnderline = BYTE(underline);
    lf.lfStrikeOut = BYTE(strikeOut);
    lf.lfCharSet = BYTE(charSet);
    lf.lfOutPrecision = BYTE(outPrecision);
    lf.lfClipPrecision = BYTE(clipPrecision);
    lf.lfQuality = BYTE(quality);
    lf.lfPitchAndFamily = BYTE(pitchAndFamily);
    if (face)
        lstrcpynW(lf.lfFaceName, face, LF_FACESIZE);
    return CreateFontIndirectW(&lf);
}

HBITMAP CreateCompatibleBitmap(HDC hdc, int cx, int cy)
{
    /* A memory context's bitmap decides: a monochrome one gives monochrome bitmaps. */
    if (auto dc = dc_of(hdc); dc && dc->memory) {
        const BitmapData *sel = plat::gdi::bitmap_data(dc->st.bitmap);
        if (sel && sel->bitsPixel == 1)
            return newBitmap(cx, cy, 1);
    }
    return newBitmap(cx, cy, 32);
}

HBITMAP CreateBitmap(int cx, int cy, UINT planes, UINT bitsPixel, const void *bits)
{
    if (planes != 1 || (bitsPixel != 1 && bitsPixel != 32)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HBITMAP h = newBitmap(cx, cy, WORD(bitsPixel));
    BitmapData *bm = plat::gdi::bitmap_data(h);
    if (!bm)
        return nullptr;
    const size_t stride = ((size_t(cx) * bitsPixel + 15) / 16) * 2;
    for (int y = 0; y < cy; ++y)
        for (int x = 0; x < cx; ++x) {
            DWORD p = 0;
            if (bits) {
                const BYTE *row = static_cast<const BYTE *>(bits) + size_t(y) * stride;
                if (bitsPixel == 1)
                    p = ((row[x / 8] >> (7 - x % 8)) & 1) ? 0xFFFFFF : 0;
                else
                    std::memcpy(&p, row + 4 * x, 4);
            }
            p &= 0xFFFFFF;
            std::memcpy(bm->bits.data() + (size_t(y) * size_t(cx) + size_t(x)) * 4, &p, 4);
        }
    return h;
}

HBITMAP CreateDIBSection(HDC, const BITMAPINFO *info, UINT usage, void **bits, HANDLE section, DWORD)
{
    if (bits)
        *bits = nullptr;
    if (!info || section || usage != DIB_RGB_COLORS) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const BITMAPINFOHEADER &h = info->bmiHeader;
    const WORD b = h.biBitCount;
    const bool bitsOk = b == 1 || b == 4 || b == 8 || b == 16 || b == 24 || b == 32;
    const bool compressionOk = h.biCompression == BI_RGB || (h.biCompression == BI_BITFIELDS && (b == 16 || b == 32));
    const LONG rows = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    if (h.biSize < sizeof(BITMAPINFOHEADER) || !bitsOk || !compressionOk || h.biWidth < 1 || h.biWidth > kMaxSide ||
        rows < 1 || rows > kMaxSide || h.biPlanes != 1) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    BitmapData bm;
    bm.width = h.biWidth;
    bm.height = rows;
    bm.bits.assign(size_t(bm.width) * size_t(rows) * 4, 0);
    bm.dib = true;
    bm.dibHeader = h;
    bm.dibHeader.biSize = sizeof(BITMAPINFOHEADER);
    bm.dibHeader.biSizeImage = DWORD(dibStride(h.biWidth, b) * size_t(rows));
    bm.dibBits.assign(bm.dibHeader.biSizeImage, 0);
    const BYTE *table = reinterpret_cast<const BYTE *>(info) + h.biSize;
    if (b <= 8) {
        DWORD count = h.biClrUsed ? std::min<DWORD>(h.biClrUsed, 1u << b) : (1u << b);
        for (DWORD i = 0; i < count; ++i) {
            RGBQUAD q;
            std::memcpy(&q, table + 4 * i, 4);
            bm.dibColours.push_back(DWORD(q.rgbBlue) | DWORD(q.rgbGreen) << 8 | DWORD(q.rgbRed) << 16);
        }
    } else if (h.biCompression == BI_BITFIELDS) {
        std::memcpy(bm.dibMasks, table, sizeof bm.dibMasks);
    } else {
        defaultMasks(bm);
    }
    if (b == 24)
        defaultMasks(bm);
    HBITMAP handle = plat::gdi::add_bitmap(std::move(bm));
    if (bits)
        *bits = plat::gdi::bitmap_data(handle)->dibBits.data();
    return handle;
}

int GetDIBits(HDC hdc, HBITMAP bitmap, UINT start, UINT lines, void *bits, BITMAPINFO *info, UINT)
{
    BitmapData *bm = plat::gdi::bitmap_data(bitmap);
    if (!bm || !info || (!dc_of(hdc) && !plat::gdi::is_display_dc(hdc))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (bm->dib)
        dib_to_pixels(*bm);
    BITMAPINFOHEADER &h = info->bmiHeader;
    if (!bits) {
        if (h.biBitCount == 0)
            h.biBitCount = bm->dib ? bm->dibHeader.biBitCount : WORD(bm->bitsPixel);
        h.biWidth = bm->width;
        h.biHeight = bm->height;
        h.biPlanes = 1;
        h.biCompression = BI_RGB;
        h.biSizeImage = DWORD(dibStride(bm->width, h.biBitCount) * size_t(bm->height));
        return 1;
    }
    const WORD b = h.biBitCount;
    if (b != 1 && b != 4 && b != 8 && b != 24 && b != 32) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    const LONG rows = bm->height;
    if (start >= UINT(rows))
        return 0;
    lines = std::min<UINT>(lines, UINT(rows) - start);
    std::vector<DWORD> table;
    if (b <= 8) {
        table = readbackTable(*bm, b);
        for (size_t i = 0; i < table.size(); ++i) {
            RGBQUAD q{BYTE(table[i]), BYTE(table[i] >> 8), BYTE(table[i] >> 16), 0};
            std::memcpy(reinterpret_cast<BYTE *>(info) + h.biSize + 4 * i, &q, 4);
        }
        h.biClrUsed = 0;
    }
    const DWORD masks[3] = {0xFF0000, 0x00FF00, 0x0000FF};
    const size_t stride = dibStride(bm->width, b);
    const bool topDown = h.biHeight < 0;
    for (UINT i = 0; i < lines; ++i) {
        const LONG stored = LONG(start + i);
        const LONG y = topDown ? stored : rows - 1 - stored;
        BYTE *row = static_cast<BYTE *>(bits) + size_t(i) * stride;
        std::memset(row, 0, stride);
        for (LONG x = 0; x < bm->width; ++x) {
            const DWORD p = pixelAt(*bm, x, y);
            if (bm->dib && bm->dibHeader.biBitCount == b && b <= 8) {
                /* Indexes of a section of the same depth are read as they are. */
                const size_t srcStride = dibStride(bm->width, b);
                const LONG srcRow = bm->dibHeader.biHeight > 0 ? rows - 1 - y : y;
                const BYTE *src = bm->dibBits.data() + size_t(srcRow) * srcStride;
                std::memcpy(row, src, srcStride);
                break;
            }
            writeDibPixel(*bm, table, row, x, p, b, masks);
        }
    }
    h.biSizeImage = DWORD(stride * size_t(rows));
    return int(lines);
}

int GetObjectW(HGDIOBJ object, int cb, LPVOID out)
{
    if (BitmapData *bm = plat::gdi::bitmap_data(reinterpret_cast<HBITMAP>(object))) {
        const WORD bits = bm->dib ? bm->dibHeader.biBitCount : WORD(bm->bitsPixel);
        BITMAP b{0, bm->width, bm->height, LONG(bm->dib ? dibStride(bm->width, bits) : ((size_t(bm->width) * bits + 15) / 16) * 2),
                 1, bits, bm->dib ? bm->dibBits.data() : nullptr};
        if (!out)
            return bm->dib ? int(sizeof(DIBSECTION)) : int(sizeof(BITMAP));
        if (bm->dib && cb >= int(sizeof(DIBSECTION))) {
            DIBSECTION ds{};
            ds.dsBm = b;
            ds.dsBmih = bm->dibHeader;
            std::memcpy(ds.dsBitfields, bm->dibMasks, sizeof ds.dsBitfields);
            std::memcpy(out, &ds, sizeof ds);
            return int(sizeof ds);
        }
        if (cb < int(sizeof(BITMAP)))
            return 0;
        std::memcpy(out, &b, sizeof b);
        return int(sizeof b);
    }
    auto o = plat::gdi::raster_object(object);
    if (!o)
        return 0;
    if (auto f = std::dynamic_pointer_cast<Font>(o)) {
        if (!out)
            return int(sizeof(LOGFONTW));
        const int n = std::min(cb, int(sizeof(LOGFONTW)));
        std::memcpy(out, &f->lf, size_t(n));
        return n;
    }
    if (auto b = std::dynamic_pointer_cast<Brush>(o)) {
        LOGBRUSH lb{b->style, b->sysColour >= 0 ? GetSysColor(b->sysColour) : b->colour, 0};
        if (!out)
            return int(sizeof lb);
        const int n = std::min(cb, int(sizeof lb));
        std::memcpy(out, &lb, size_t(n));
        return n;
    }
    if (auto p = std::dynamic_pointer_cast<Pen>(o)) {
        LOGPEN lp{UINT(p->style), POINT{p->width, 0}, p->colour};
        if (!out)
            return int(sizeof lp);
        const int n = std::min(cb, int(sizeof lp));
        std::memcpy(out, &lp, size_t(n));
        return n;
    }
    return 0;
}

DWORD GetObjectType(HGDIOBJ object)
{
    if (plat::gdi::bitmap_data(reinterpret_cast<HBITMAP>(object)))
        return OBJ_BITMAP;
    if (plat::gdi::palette_data(reinterpret_cast<HPALETTE>(object)))
        return OBJ_PAL;
    if (plat::gdi::is_display_dc(reinterpret_cast<HDC>(object)))
        return OBJ_DC;
    auto o = plat::gdi::raster_object(object);
    return o ? o->objectType() : 0;
}

HICON CreateIconIndirect(const ICONINFO *info)
{
    const BitmapData *mask = info ? plat::gdi::bitmap_data(info->hbmMask) : nullptr;
    if (!mask) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const BitmapData *colour = info->hbmColor ? plat::gdi::bitmap_data(info->hbmColor) : nullptr;
    const int cx = int(mask->width);
    const int cy = colour ? int(mask->height) : int(mask->height / 2);
    if (cx < 1 || cy < 1 || cx > 256 || cy > 256) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const size_t andStride = size_t((cx + 15) / 16 * 2);
    std::vector<BYTE> andBits(andStride * size_t(cy), 0);
    std::vector<BYTE> xorBits(size_t(cx) * 4 * size_t(cy), 0);
    for (int y = 0; y < cy; ++y)
        for (int x = 0; x < cx; ++x) {
            if (pixelAt(*mask, x, y))
                andBits[size_t(y) * andStride + size_t(x / 8)] |= BYTE(0x80 >> (x % 8));
            DWORD p = 0;
            if (colour)
                p = (x < colour->width && y < colour->height) ? pixelAt(*colour, x, y) : 0;
            else
                p = pixelAt(*mask, x, y + cy);
            std::memcpy(&xorBits[(size_t(y) * size_t(cx) + size_t(x)) * 4], &p, 4);
        }
    return CreateIcon(nullptr, cx, cy, 1, 32, andBits.data(), xorBits.data());
}

BOOL GetIconInfo(HICON icon, ICONINFO *info)
{
    plat::GdiIconInfo ii;
    if (!info || !plat::gdi_icon_info(icon, &ii)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    /* New bitmaps that the caller deletes: the mask (monochrome) and the colour image. */
    HBITMAP mask = newBitmap(ii.width, ii.height, 1);
    HBITMAP colour = newBitmap(ii.width, ii.height, 32);
    BitmapData *m = plat::gdi::bitmap_data(mask);
    BitmapData *c = plat::gdi::bitmap_data(colour);
    const size_t andStride = size_t((ii.width + 15) / 16 * 2);
    const size_t xorStride = (size_t(ii.width) * size_t(ii.bitsPixel) + 15) / 16 * 2;
    for (int y = 0; y < ii.height; ++y)
        for (int x = 0; x < ii.width; ++x) {
            const DWORD a = ((ii.andBits[size_t(y) * andStride + size_t(x / 8)] >> (7 - x % 8)) & 1) ? 0xFFFFFF : 0;
            std::memcpy(m->bits.data() + (size_t(y) * size_t(ii.width) + size_t(x)) * 4, &a, 4);
            const BYTE *row = ii.xorBits.data() + size_t(y) * xorStride;
            DWORD p = 0;
            switch (ii.bitsPixel) {
            case 32: std::memcpy(&p, row + 4 * x, 4); break;
            case 24: p = DWORD(row[3 * x]) | DWORD(row[3 * x + 1]) << 8 | DWORD(row[3 * x + 2]) << 16; break;
            case 1: p = ((row[x / 8] >> (7 - x % 8)) & 1) ? 0xFFFFFF : 0; break;
            default: { /* 4, 8 and 16 bits without a colour table: grey levels */
                const unsigned v = ii.bitsPixel == 4 ? ((row[x / 2] >> (x % 2 ? 0 : 4)) & 0xF) * 17u
                                   : ii.bitsPixel == 8 ? row[x]
                                                       : unsigned(row[2 * x + 1]) & 0xFF;
                p = v | v << 8 | v << 16;
            }
            }
            p &= 0xFFFFFF;
            std::memcpy(c->bits.data() + (size_t(y) * size_t(ii.width) + size_t(x)) * 4, &p, 4);
        }
    info->fIcon = TRUE;
    info->xHotspot = DWORD(ii.width / 2);
    info->yHotspot = DWORD(ii.height / 2);
    info->hbmMask = mask;
    info->hbmColor = colour;
    return TRUE;
}
