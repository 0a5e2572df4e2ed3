/*
 * Drawing on raster contexts: rectangles, frames, ellipses, lines, pixels,
 * blits with ternary raster operations (the monochrome conversion rules:
 * colour to monochrome gives white where a pixel is the source's background
 * colour; monochrome to colour paints 0 in the destination's text colour and
 * 1 in its background colour), stretched blits, DIBs drawn to a context,
 * icons with their masks, edges, and the draw log.
 */
#include "gdi_dc_private.h"
#include "raster_private.h"

#include <plat/error.h>
#include <plat/machine.h>

#include <algorithm>
#include <cstring>

namespace {

using namespace plat::raster;

struct DrawLog {
    bool on = false;
    std::vector<plat::DrawRecord> records;
};

DrawLog &drawLog()
{
    static auto *l = new DrawLog;
    return *l;
}

const bool registered = (plat::machine_on_reset([] { drawLog() = DrawLog(); }), true);

/* Applies ROP3 `rop` to pattern, source and destination pixels. */
DWORD rop3(DWORD rop, DWORD p, DWORD s, DWORD d)
{
    const unsigned index = (rop >> 16) & 0xFF;
    DWORD result = 0;
    for (unsigned bit = 0; bit < 8; ++bit) {
        if (!((index >> bit) & 1))
            continue;
        const DWORD mp = (bit & 4) ? p : ~p;
        const DWORD ms = (bit & 2) ? s : ~s;
        const DWORD md = (bit & 1) ? d : ~d;
        result |= mp & ms & md;
    }
    return result & 0xFFFFFF;
}

bool usesSource(DWORD rop) { return (((rop >> 2) ^ rop) & 0x330000) != 0; }
bool usesPattern(DWORD rop) { return (((rop >> 4) ^ rop) & 0x0F0000) != 0; }

/* Fills a target rectangle (already clipped by the canvas) with a brush through ROP `rop`. */
void fillTarget(const Dc &dc, Canvas &c, RECT r, const Brush *brush, DWORD rop)
{
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) {
            if (!c.inClip(x, y))
                continue;
            DWORD p = 0;
            if (brush && !brush_colour(dc, *brush, x - c.origin.x, y - c.origin.y, p))
                continue;
            c.put(x, y, rop3(rop, p, 0, c.load(x, y)));
        }
}

std::shared_ptr<Brush> brushOf(HGDIOBJ h) { return object_of<Brush>(h); }

/* Copies a source rectangle onto a destination one, scaling by nearest pixel. */
BOOL blit(HDC hdst, int x, int y, int cx, int cy, HDC hsrc, int xs, int ys, int cxs, int cys, DWORD rop,
          const char *op)
{
    auto dst = dc_of(hdst);
    if (!dst)
        return FALSE;
    auto src = usesSource(rop) ? dc_of(hsrc) : nullptr;
    if (usesSource(rop) && !src) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    Canvas d = open(*dst);
    if (!d.valid())
        return FALSE;
    Canvas s;
    if (src) {
        s = open(*src);
        if (!s.valid())
            return FALSE;
    }
    auto brush = brushOf(dst->st.brush);
    const RECT target = d.toTarget(RECT{x, y, x + cx, y + cy});
    const bool flipX = (cx < 0) != (cxs < 0);
    const int w = std::abs(cx);
    const int h = std::abs(cy);
    const int ws = std::abs(cxs);
    const int hs = std::abs(cys);
    const int sx0 = cxs < 0 ? xs + cxs : xs;
    const int sy0 = cys < 0 ? ys + cys : ys;
    const bool flipY = (cy < 0) != (cys < 0);
    /* Mirrored destinations show a mirrored picture unless the bitmap orientation is preserved. */
    const bool mirror = flipX != (d.rtl && !d.preserveBitmaps);
    const bool monoSrc = s.valid() && s.bm->bitsPixel == 1;
    const bool monoDst = d.bm->bitsPixel == 1;
    const DWORD srcBack = src ? bgrx(resolve(*src, src->st.back)) : 0;
    const DWORD dstText = bgrx(resolve(*dst, dst->st.text));
    const DWORD dstBack = bgrx(resolve(*dst, dst->st.back));
    for (int j = 0; j < h; ++j)
        for (int i = 0; i < w; ++i) {
            const int tx = target.left + i;
            const int ty = target.top + j;
            if (!d.inClip(tx, ty))
                continue;
            DWORD sp = 0;
            if (s.valid()) {
                const int si = (mirror ? w - 1 - i : i) * ws / std::max(w, 1);
                const int sj = (flipY ? h - 1 - j : j) * hs / std::max(h, 1);
                const POINT sp0 = s.toTarget(POINT{sx0 + si, sy0 + sj});
                if (!s.inClip(sp0.x, sp0.y))
                    continue;
                sp = s.load(sp0.x, sp0.y);
                if (monoSrc && !monoDst)
                    sp = sp ? dstBack : dstText;
                else if (!monoSrc && monoDst)
                    sp = sp == srcBack ? 0xFFFFFF : 0;
            }
            DWORD pp = 0;
            if (usesPattern(rop) && brush && !brush_colour(*dst, *brush, tx - d.origin.x, ty - d.origin.y, pp))
                pp = 0;
            d.put(tx, ty, rop3(rop, pp, sp, d.load(tx, ty)));
        }
    RECT logged = target;
    log(op, d, logged, dstText, dstBack, rop, src ? reinterpret_cast<HGDIOBJ>(src->st.bitmap) : nullptr);
    close(d);
    if (s.valid())
        close(s);
    return TRUE;
}

} // namespace

namespace plat::raster {

void log(const std::string &op, const Canvas &c, RECT rect, COLORREF colour, COLORREF background, DWORD rop,
         HGDIOBJ source, std::u16string text)
{
    DrawLog &l = drawLog();
    if (!l.on)
        return;
    l.records.push_back(DrawRecord{op, c.target, c.window, rect, std::move(text), colour, background, rop, source});
}

} // namespace plat::raster

namespace plat {

void draw_log_enable(bool on)
{
    (void)registered;
    drawLog().on = on;
    drawLog().records.clear();
}

std::vector<DrawRecord> draw_log() { return drawLog().records; }

COLORREF bitmap_pixel(HBITMAP bitmap, int x, int y)
{
    gdi::BitmapData *bm = gdi::bitmap_data(bitmap);
    if (!bm || x < 0 || y < 0 || x >= bm->width || y >= bm->height)
        return CLR_INVALID;
    if (bm->dib)
        dib_to_pixels(*bm);
    DWORD v;
    std::memcpy(&v, bm->bits.data() + (size_t(y) * size_t(bm->width) + size_t(x)) * 4, 4);
    return colorref(v);
}

bool bitmap_pixels(HBITMAP bitmap, int *cx, int *cy, std::vector<DWORD> *pixels)
{
    gdi::BitmapData *bm = gdi::bitmap_data(bitmap);
    if (!bm)
        return false;
    if (bm->dib)
        dib_to_pixels(*bm);
    if (cx)
        *cx = bm->width;
    if (cy)
        *cy = bm->height;
    if (pixels) {
        pixels->resize(size_t(bm->width) * size_t(bm->height));
        std::memcpy(pixels->data(), bm->bits.data(), pixels->size() * 4);
    }
    return true;
}

} // namespace plat

int FillRect(HDC hdc, const RECT *rect, HBRUSH hbrush)
{
    auto dc = dc_of(hdc);
    /* A brush may be a system colour index + 1, as on Windows. */
    const uintptr_t value = reinterpret_cast<uintptr_t>(hbrush);
    auto brush = value > 0 && value <= 31 ? brushOf(GetSysColorBrush(int(value - 1))) : brushOf(hbrush);
    if (!dc || !rect || !brush)
        return 0;
    Canvas c = open(*dc);
    if (!c.valid())
        return 0;
    const RECT r = c.toTarget(*rect);
    fillTarget(*dc, c, r, brush.get(), PATCOPY);
    DWORD colour = 0;
    brush_colour(*dc, *brush, 0, 0, colour);
    log("FillRect", c, r, colorref(colour));
    close(c);
    return 1;
}

int FrameRect(HDC hdc, const RECT *rect, HBRUSH hbrush)
{
    auto dc = dc_of(hdc);
    auto brush = brushOf(hbrush);
    if (!dc || !rect || !brush)
        return 0;
    Canvas c = open(*dc);
    if (!c.valid())
        return 0;
    const RECT r = c.toTarget(*rect);
    if (!IsRectEmpty(&r)) {
        fillTarget(*dc, c, RECT{r.left, r.top, r.right, r.top + 1}, brush.get(), PATCOPY);
        fillTarget(*dc, c, RECT{r.left, r.bottom - 1, r.right, r.bottom}, brush.get(), PATCOPY);
        fillTarget(*dc, c, RECT{r.left, r.top, r.left + 1, r.bottom}, brush.get(), PATCOPY);
        fillTarget(*dc, c, RECT{r.right - 1, r.top, r.right, r.bottom}, brush.get(), PATCOPY);
    }
    DWORD colour = 0;
    brush_colour(*dc, *brush, 0, 0, colour);
    log("FrameRect", c, r, colorref(colour));
    close(c);
    return 1;
}

BOOL InvertRect(HDC hdc, const RECT *rect)
{
    if (!rect)
        return FALSE;
    return PatBlt(hdc, rect->left, rect->top, rect->right - rect->left, rect->bottom - rect->top, DSTINVERT);
}

BOOL DrawFocusRect(HDC hdc, const RECT *rect)
{
    auto dc = dc_of(hdc);
    if (!dc || !rect)
        return FALSE;
    Canvas c = open(*dc);
    if (!c.valid())
        return FALSE;
    const RECT r = c.toTarget(*rect);
    /* A dotted frame drawn by inverting every other pixel. */
    for (int x = r.left; x < r.right; x += 2) {
        c.put(x, r.top, ~c.load(x, r.top) & 0xFFFFFF);
        c.put(x, r.bottom - 1, ~c.load(x, r.bottom - 1) & 0xFFFFFF);
    }
    for (int y = r.top + 2; y < r.bottom - 1; y += 2) {
        c.put(r.left, y, ~c.load(r.left, y) & 0xFFFFFF);
        c.put(r.right - 1, y, ~c.load(r.right - 1, y) & 0xFFFFFF);
    }
    log("FocusRect", c, r, 0);
    close(c);
    return TRUE;
}

BOOL DrawEdge(HDC hdc, RECT *rect, UINT edge, UINT)
{
    auto dc = dc_of(hdc);
    if (!dc || !rect)
        return FALSE;
    auto line = [&](int index, RECT r) {
        HBRUSH b = GetSysColorBrush(index);
        FillRect(hdc, &r, b);
    };
    RECT r = *rect;
    auto ring = [&](bool raised, int light, int dark) {
        const int tl = raised ? light : dark;
        const int br = raised ? dark : light;
        line(tl, RECT{r.left, r.top, r.right, r.top + 1});
        line(tl, RECT{r.left, r.top, r.left + 1, r.bottom});
        line(br, RECT{r.left, r.bottom - 1, r.right, r.bottom});
        line(br, RECT{r.right - 1, r.top, r.right, r.bottom});
        InflateRect(&r, -1, -1);
    };
    if (edge & (BDR_RAISEDOUTER | BDR_SUNKENOUTER))
        ring((edge & BDR_RAISEDOUTER) != 0, COLOR_3DLIGHT, COLOR_3DDKSHADOW);
    if (edge & (BDR_RAISEDINNER | BDR_SUNKENINNER))
        ring((edge & BDR_RAISEDINNER) != 0, COLOR_BTNHIGHLIGHT, COLOR_BTNSHADOW);
    return TRUE;
}

BOOL Rectangle(HDC hdc, int left, int top, int right, int bottom)
{
    if (plat::gdi_is_printer_dc(hdc))
        return plat::gdi::pdc::rectangle(hdc, left, top, right, bottom);
    auto dc = dc_of(hdc);
    if (!dc)
        return FALSE;
    Canvas c = open(*dc);
    if (!c.valid())
        return FALSE;
    const RECT r = c.toTarget(RECT{left, top, right, bottom});
    auto brush = brushOf(dc->st.brush);
    auto pen = object_of<Pen>(dc->st.pen);
    if (brush)
        fillTarget(*dc, c, RECT{r.left + 1, r.top + 1, r.right - 1, r.bottom - 1}, brush.get(), PATCOPY);
    if (pen && pen->style != PS_NULL) {
        const DWORD p = bgrx(resolve(*dc, pen->colour));
        for (int k = 0; k < pen->width; ++k)
            for (int x = r.left; x < r.right; ++x) {
                c.put(x, r.top + k, p);
                c.put(x, r.bottom - 1 - k, p);
            }
        for (int k = 0; k < pen->width; ++k)
            for (int y = r.top; y < r.bottom; ++y) {
                c.put(r.left + k, y, p);
                c.put(r.right - 1 - k, y, p);
            }
    }
    log("Rectangle", c, r, pen ? pen->colour : 0, brush ? brush->colour : 0);
    close(c);
    return TRUE;
}

BOOL Ellipse(HDC hdc, int left, int top, int right, int bottom)
{
    if (plat::gdi_is_printer_dc(hdc))
        return plat::gdi::pdc::ellipse(hdc, left, top, right, bottom);
    auto dc = dc_of(hdc);
    if (!dc)
        return FALSE;
    Canvas c = open(*dc);
    if (!c.valid())
        return FALSE;
    const RECT r = c.toTarget(RECT{left, top, right, bottom});
    auto brush = brushOf(dc->st.brush);
    auto pen = object_of<Pen>(dc->st.pen);
    const double cx = (r.left + r.right - 1) / 2.0;
    const double cy = (r.top + r.bottom - 1) / 2.0;
    const double rx = (r.right - r.left) / 2.0;
    const double ry = (r.bottom - r.top) / 2.0;
    const double inner = pen && pen->style != PS_NULL ? double(pen->width) : 0.0;
    for (int y = r.top; y < r.bottom; ++y)
        for (int x = r.left; x < r.right; ++x) {
            const double dx = (x - cx) / rx;
            const double dy = (y - cy) / ry;
            const double d = dx * dx + dy * dy;
            if (d > 1.0)
                continue;
            const double ix = (x - cx) / std::max(rx - inner, 0.5);
            const double iy = (y - cy) / std::max(ry - inner, 0.5);
            if (inner > 0 && ix * ix + iy * iy > 1.0) {
                c.put(x, y, bgrx(resolve(*dc, pen->colour)));
                continue;
            }
            DWORD p;
            if (brush && brush_colour(*dc, *brush, x - c.origin.x, y - c.origin.y, p))
                c.put(x, y, p);
        }
    log("Ellipse", c, r, pen ? pen->colour : 0, brush ? brush->colour : 0);
    close(c);
    return TRUE;
}

BOOL MoveToEx(HDC hdc, int x, int y, POINT *previous)
{
    auto dc = dc_of(hdc);
    if (!dc)
        return FALSE;
    if (previous)
        *previous = dc->st.pos;
    dc->st.pos = POINT{x, y};
    return TRUE;
}

BOOL LineTo(HDC hdc, int x, int y)
{
    auto dc = dc_of(hdc);
    if (!dc)
        return FALSE;
    Canvas c = open(*dc);
    if (!c.valid())
        return FALSE;
    auto pen = object_of<Pen>(dc->st.pen);
    const POINT a = c.toTarget(dc->st.pos);
    const POINT b = c.toTarget(POINT{x, y});
    if (pen && pen->style != PS_NULL) {
        /* Bresenham, the end point left out as GDI does. */
        const DWORD p = bgrx(resolve(*dc, pen->colour));
        int x0 = a.x, y0 = a.y;
        const int dx = std::abs(b.x - a.x), sx = a.x < b.x ? 1 : -1;
        const int dy = -std::abs(b.y - a.y), sy = a.y < b.y ? 1 : -1;
        int err = dx + dy;
        while (x0 != b.x || y0 != b.y) {
            for (int k = 0; k < pen->width; ++k)
                c.put(dx >= -dy ? x0 : x0 + k, dx >= -dy ? y0 + k : y0, p);
            const int e2 = 2 * err;
            if (e2 >= dy) {
                err += dy;
                x0 += sx;
            }
            if (e2 <= dx) {
                err += dx;
                y0 += sy;
            }
        }
    }
    log("Line", c, RECT{std::min(a.x, b.x), std::min(a.y, b.y), std::max(a.x, b.x), std::max(a.y, b.y)},
        pen ? pen->colour : 0);
    dc->st.pos = POINT{x, y};
    close(c);
    return TRUE;
}

COLORREF SetPixel(HDC hdc, int x, int y, COLORREF colour)
{
    auto dc = dc_of(hdc);
    if (!dc)
        return CLR_INVALID;
    Canvas c = open(*dc);
    const POINT p = c.toTarget(POINT{x, y});
    if (!c.valid() || !c.inClip(p.x, p.y))
        return CLR_INVALID;
    c.put(p.x, p.y, bgrx(resolve(*dc, colour)));
    const COLORREF set = colorref(c.load(p.x, p.y));
    close(c);
    return set;
}

COLORREF GetPixel(HDC hdc, int x, int y)
{
    auto dc = dc_of(hdc);
    if (!dc)
        return CLR_INVALID;
    Canvas c = open(*dc);
    const POINT p = c.toTarget(POINT{x, y});
    if (!c.valid() || !c.inClip(p.x, p.y))
        return CLR_INVALID;
    return colorref(c.load(p.x, p.y));
}

BOOL PatBlt(HDC hdc, int x, int y, int cx, int cy, DWORD rop)
{
    auto dc = dc_of(hdc);
    if (!dc || usesSource(rop))
        return FALSE;
    Canvas c = open(*dc);
    if (!c.valid())
        return FALSE;
    const RECT r = c.toTarget(RECT{x, y, x + cx, y + cy});
    auto brush = brushOf(dc->st.brush);
    Brush black;
    black.colour = 0;
    fillTarget(*dc, c, r, brush ? brush.get() : &black, rop);
    log("PatBlt", c, r, brush ? brush->colour : 0, 0, rop);
    close(c);
    return TRUE;
}

BOOL BitBlt(HDC dst, int x, int y, int cx, int cy, HDC src, int xSrc, int ySrc, DWORD rop)
{
    return blit(dst, x, y, cx, cy, src, xSrc, ySrc, cx, cy, rop, "BitBlt");
}

BOOL StretchBlt(HDC dst, int x, int y, int cx, int cy, HDC src, int xSrc, int ySrc, int cxSrc, int cySrc, DWORD rop)
{
    return blit(dst, x, y, cx, cy, src, xSrc, ySrc, cxSrc, cySrc, rop, "StretchBlt");
}

int StretchDIBits(HDC hdc, int xDst, int yDst, int cxDst, int cyDst, int xSrc, int ySrc, int cxSrc, int cySrc,
                  const void *bits, const BITMAPINFO *info, UINT usage, DWORD rop)
{
    if (plat::gdi_is_printer_dc(hdc))
        return plat::gdi::pdc::stretch_dib(hdc, xDst, yDst, cxDst, cyDst, xSrc, ySrc, cxSrc, cySrc, bits, info, usage, rop);
    if (!bits || !info)
        return 0;
    /* The DIB becomes a temporary section in a temporary context, then a stretched blit. */
    void *rows = nullptr;
    HBITMAP section = CreateDIBSection(hdc, info, usage, &rows, nullptr, 0);
    if (!section)
        return 0;
    plat::gdi::BitmapData *bm = plat::gdi::bitmap_data(section);
    std::memcpy(rows, bits, bm->dibBits.size());
    HDC mem = CreateCompatibleDC(hdc);
    HGDIOBJ old = SelectObject(mem, section);
    /* DIB source coordinates count from the bottom row of a bottom-up DIB. */
    const LONG height = bm->height;
    const int ySrcTop = info->bmiHeader.biHeight > 0 ? int(height) - ySrc - cySrc : ySrc;
    const BOOL ok = blit(hdc, xDst, yDst, cxDst, cyDst, mem, xSrc, ySrcTop, cxSrc, cySrc, rop, "StretchDIBits");
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(section);
    return ok ? cySrc : 0;
}

int SetDIBitsToDevice(HDC hdc, int xDst, int yDst, DWORD cx, DWORD cy, int xSrc, int ySrc, UINT startScan,
                      UINT lines, const void *bits, const BITMAPINFO *info, UINT usage)
{
    if (!bits || !info || startScan != 0)
        return 0;
    const LONG height = info->bmiHeader.biHeight < 0 ? -info->bmiHeader.biHeight : info->bmiHeader.biHeight;
    if (lines < UINT(height))
        return 0;
    return StretchDIBits(hdc, xDst, yDst, int(cx), int(cy), xSrc, ySrc, int(cx), int(cy), bits, info, usage,
                         SRCCOPY)
               ? int(lines)
               : 0;
}

BOOL DrawIconEx(HDC hdc, int x, int y, HICON icon, int cx, int cy, UINT, HBRUSH, UINT flags)
{
    auto dc = dc_of(hdc);
    ICONINFO ii;
    if (!dc || !GetIconInfo(icon, &ii))
        return FALSE;
    BITMAP bm;
    GetObjectW(ii.hbmColor, sizeof bm, &bm);
    if (cx == 0)
        cx = bm.bmWidth;
    if (cy == 0)
        cy = bm.bmHeight;
    HDC mem = CreateCompatibleDC(hdc);
    HGDIOBJ old = SelectObject(mem, ii.hbmMask);
    const bool logging = drawLog().on;
    drawLog().on = false;
    if (flags & DI_MASK)
        StretchBlt(hdc, x, y, cx, cy, mem, 0, 0, bm.bmWidth, bm.bmHeight, (flags & DI_IMAGE) ? SRCAND : SRCCOPY);
    SelectObject(mem, ii.hbmColor);
    if (flags & DI_IMAGE)
        StretchBlt(hdc, x, y, cx, cy, mem, 0, 0, bm.bmWidth, bm.bmHeight, (flags & DI_MASK) ? SRCINVERT : SRCCOPY);
    drawLog().on = logging;
    Canvas c = open(*dc);
    log("Icon", c, c.toTarget(RECT{x, y, x + cx, y + cy}), 0, 0, 0, reinterpret_cast<HGDIOBJ>(icon));
    close(c);
    SelectObject(mem, old);
    DeleteDC(mem);
    DeleteObject(ii.hbmMask);
    DeleteObject(ii.hbmColor);
    return TRUE;
}

BOOL DrawIcon(HDC hdc, int x, int y, HICON icon) { return DrawIconEx(hdc, x, y, icon, 0, 0, 0, nullptr, DI_NORMAL); }
