/*
 * Drawing calls on a printer device context (see plat/gdi_dc.h): images
 * become DrvStretchBlt, figures DrvStrokePath / DrvFillPath /
 * DrvStrokeAndFillPath with the selected pen and brush, text DrvTextOut in
 * the selected font; text is measured as it is drawn.
 * Positions are mapped from the context's logical units to device pixels
 * and drawn inside its clip rectangle.
 */
#include "gdi_dc_private.h"

#include <plat/error.h>
#include <plat/text.h>

#include <cmath>
#include <cstring>

namespace {

using namespace plat::gdi::pdc;
using plat::raster::object_of;

/* A COLORREF (red lowest) as the device palette's 0x00RRGGBB. */
ULONG device_colour(COLORREF c) { return ULONG(GetRValue(c)) << 16 | ULONG(GetGValue(c)) << 8 | GetBValue(c); }

POINTFIX fix(POINT p) { return POINTFIX{p.x * 16, p.y * 16}; }

/* The pen, brush, mix and clip of one figure; false when neither a stroke nor a fill is drawn. */
bool figure_call(const State &s, plat::GdiPathDraw &draw)
{
    auto brush = object_of<plat::raster::Brush>(s.base.brush);
    auto pen = object_of<plat::raster::Pen>(s.base.pen);
    const bool fill = brush && brush->style != BS_NULL;
    const bool stroke = pen && pen->style != PS_NULL;
    if (!fill && !stroke)
        return false;
    draw.mode = fill && stroke ? 3 : stroke ? 1 : 2;
    if (fill) {
        draw.fill.kind = brush->style == BS_HATCHED ? plat::GdiBrush::Hatch : plat::GdiBrush::Solid;
        draw.fill.color = device_colour(brush->colour);
        draw.fill.background = device_colour(s.base.back);
    }
    if (stroke) {
        draw.pen.color = device_colour(pen->colour);
        const long width = scale_x(s, pen->width);
        if (width > 1) {
            draw.line.fl = LA_GEOMETRIC;
            draw.line.iJoin = JOIN_ROUND;
            draw.line.iEndCap = ENDCAP_ROUND;
            draw.line.elWidth.e = FLOATL(width);
        } else {
            draw.line.elWidth.l = 1;
        }
    }
    draw.mix = MIX(s.rop2 | s.rop2 << 8);
    if (s.clip)
        draw.clip = {RECTL{s.clip->left, s.clip->top, s.clip->right, s.clip->bottom}};
    return true;
}

/* Draws one figure of logical points; nothing to draw (hollow brush, null pen) answers TRUE. */
BOOL draw_figure(HDC hdc, const State &s, const std::vector<POINT> &points, bool closed, bool beziers,
                 FLONG flags = 0)
{
    plat::GdiPathDraw draw;
    if (!figure_call(s, draw))
        return TRUE;
    if (!closed && draw.mode != 1)
        draw.mode = 1; /* an open figure is only stroked */
    plat::PathFigure figure;
    figure.closed = closed;
    figure.beziers = beziers;
    for (const POINT &p : points)
        figure.points.push_back(fix(to_device(s, p)));
    draw.figures.push_back(std::move(figure));
    draw.pathFlags = flags;
    return plat::gdi_draw_path(hdc, draw);
}

std::vector<long> point_args(const POINT *points, int count)
{
    std::vector<long> args;
    for (int i = 0; i < count; i++) {
        args.push_back(points[i].x);
        args.push_back(points[i].y);
    }
    return args;
}

/* The selected font with its height and width in device pixels. */
LOGFONTW device_font(const State &s)
{
    auto font = object_of<plat::raster::Font>(s.base.font);
    LOGFONTW lf = font ? font->lf : LOGFONTW{};
    const long h = scale_x(s, lf.lfHeight), w = scale_x(s, lf.lfWidth);
    lf.lfHeight = LONG(lf.lfHeight < 0 ? -h : h);
    lf.lfWidth = LONG(w);
    return lf;
}

/* Text at a device position in the context's font, colour, alignment and clip. */
BOOL draw_text_core(HDC hdc, const State &s, POINT at, std::u16string_view text, bool opaque)
{
    plat::GdiTextDraw draw;
    draw.font = device_font(s);
    draw.text.assign(text);
    draw.origin = POINTL{at.x, at.y};
    draw.align = s.textAlign & (TA_CENTER | TA_BASELINE);
    draw.color = device_colour(s.base.text);
    draw.opaque = opaque;
    draw.background = device_colour(s.base.back);
    draw.mix = MIX(s.rop2 | s.rop2 << 8);
    if (s.clip)
        draw.clip = {RECTL{s.clip->left, s.clip->top, s.clip->right, s.clip->bottom}};
    return plat::gdi_draw_text(hdc, draw);
}

/* The extent of text in the context's font, as drawn. */
SIZE measure_text(HDC hdc, const State &s, std::u16string_view text)
{
    return plat::gdi_measure_text(hdc, device_font(s), std::u16string(text));
}

} // namespace

namespace plat::gdi::pdc {

int stretch_dib(HDC hdc, int x, int y, int cx, int cy, int xSrc, int ySrc, int cxSrc, int cySrc, const void *bits,
                const BITMAPINFO *info, UINT usage, DWORD rop)
{
    State s;
    int answer = 0;
    auto done = [&](int a) {
        log(hdc, "StretchDIBits", {x, y, cx, cy, xSrc, ySrc, cxSrc, cySrc, long(rop)}, a);
        return a;
    };
    if (!state_of(hdc, &s))
        return done(0);
    if (!bits || !info || usage != DIB_RGB_COLORS || info->bmiHeader.biCompression != BI_RGB ||
        info->bmiHeader.biWidth <= 0 || info->bmiHeader.biHeight == 0 || cxSrc <= 0 || cySrc <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return done(0);
    }
    const BITMAPINFOHEADER &h = info->bmiHeader;
    GdiImageDraw draw;
    switch (h.biBitCount) {
    case 1: draw.image.format = BMF_1BPP; break;
    case 4: draw.image.format = BMF_4BPP; break;
    case 8: draw.image.format = BMF_8BPP; break;
    case 24: draw.image.format = BMF_24BPP; break;
    case 32: draw.image.format = BMF_32BPP; break;
    default: SetLastError(ERROR_INVALID_PARAMETER); return done(0);
    }
    const LONG rows = h.biHeight < 0 ? -h.biHeight : h.biHeight;
    const size_t stride = (size_t(h.biWidth) * h.biBitCount + 31) / 32 * 4;
    if (h.biBitCount <= 8) {
        const size_t most = size_t(1) << h.biBitCount;
        const size_t n = h.biClrUsed ? std::min<size_t>(h.biClrUsed, most) : most;
        for (size_t i = 0; i < n; i++) {
            RGBQUAD q;
            std::memcpy(&q, reinterpret_cast<const BYTE *>(info->bmiColors) + i * sizeof q, sizeof q);
            draw.image.palette.push_back(ULONG(q.rgbRed) << 16 | ULONG(q.rgbGreen) << 8 | q.rgbBlue);
        }
    }
    /* The image goes top row first: a bottom-up DIB is turned over, its source rectangle with it. */
    std::vector<BYTE> topDown;
    const BYTE *src = static_cast<const BYTE *>(bits);
    LONG srcTop = ySrc;
    if (h.biHeight > 0) {
        topDown.resize(stride * size_t(rows));
        for (LONG r = 0; r < rows; r++)
            std::memcpy(topDown.data() + size_t(r) * stride, src + size_t(rows - 1 - r) * stride, stride);
        src = topDown.data();
        srcTop = rows - ySrc - cySrc;
    }
    draw.image.width = h.biWidth;
    draw.image.height = rows;
    draw.image.bits = src;
    draw.image.size = stride * size_t(rows);
    draw.call = GdiImageDraw::Stretch;
    const POINT a = to_device(s, POINT{x, y});
    const POINT b = to_device(s, POINT{x + cx, y + cy});
    draw.dest = RECTL{a.x, a.y, b.x, b.y};
    draw.src = RECTL{xSrc, srcTop, xSrc + cxSrc, srcTop + cySrc};
    if (s.clip)
        draw.clip = {RECTL{s.clip->left, s.clip->top, s.clip->right, s.clip->bottom}};
    answer = gdi_draw_image(hdc, draw) ? cySrc : 0;
    return done(answer);
}

BOOL rectangle(HDC hdc, int left, int top, int right, int bottom)
{
    State s;
    BOOL ok = state_of(hdc, &s);
    if (ok)
        ok = draw_figure(hdc, s, {{left, top}, {right, top}, {right, bottom}, {left, bottom}}, true, false);
    log(hdc, "Rectangle", {left, top, right, bottom}, ok);
    return ok;
}

BOOL ellipse(HDC hdc, int left, int top, int right, int bottom)
{
    State s;
    BOOL ok = state_of(hdc, &s);
    if (ok) {
        /* Four quarter arcs as Bezier curves from the right-hand point, counter-clockwise on the page. */
        const double cx = (left + right) / 2.0, cy = (top + bottom) / 2.0;
        const double rx = (right - left) / 2.0, ry = (bottom - top) / 2.0;
        const double k = 0.5522847498;
        auto p = [](double px, double py) { return POINT{LONG(std::lround(px)), LONG(std::lround(py))}; };
        std::vector<POINT> pts = {p(cx + rx, cy),
                                  p(cx + rx, cy - k * ry), p(cx + k * rx, cy - ry), p(cx, cy - ry),
                                  p(cx - k * rx, cy - ry), p(cx - rx, cy - k * ry), p(cx - rx, cy),
                                  p(cx - rx, cy + k * ry), p(cx - k * rx, cy + ry), p(cx, cy + ry),
                                  p(cx + k * rx, cy + ry), p(cx + rx, cy + k * ry), p(cx + rx, cy)};
        ok = draw_figure(hdc, s, pts, true, true, PO_ELLIPSE);
    }
    log(hdc, "Ellipse", {left, top, right, bottom}, ok);
    return ok;
}

BOOL text_out(HDC hdc, int x, int y, UINT options, const RECT *rect, LPCWSTR text, UINT count, const int *dx)
{
    (void)rect;
    (void)dx;
    State s;
    BOOL ok = FALSE;
    std::u16string_view view(text ? text : u"", text ? count : 0);
    if (!state_of(hdc, &s)) {
        ok = FALSE;
    } else if (count > 0 && !text) {
        SetLastError(ERROR_INVALID_PARAMETER);
    } else {
        ok = draw_text_core(hdc, s, to_device(s, POINT{x, y}), view,
                            (options & ETO_OPAQUE) || s.base.bkMode == OPAQUE);
    }
    log(hdc, "TextOutW", {x, y}, ok, std::u16string(view));
    return ok;
}

BOOL text_extent(HDC hdc, LPCWSTR text, int count, SIZE *size)
{
    State s;
    if (!state_of(hdc, &s) || !size || count < 0 || (count > 0 && !text))
        return FALSE;
    *size = measure_text(hdc, s, std::u16string_view(text ? text : u"", size_t(count)));
    return size->cy > 0 || count == 0;
}

int draw_text(HDC hdc, LPCWSTR text, int count, RECT *rect, UINT format)
{
    State s;
    int answer = 0;
    std::u16string str;
    if (state_of(hdc, &s) && rect && text) {
        str.assign(text, count < 0 ? size_t(lstrlenW(text)) : size_t(count));
        if (format & DT_CALCRECT) {
            /* One line per paragraph; its widest line and the lines' height. */
            const int lineHeight = measure_text(hdc, s, u"x").cy;
            int widest = 0, lines = 0;
            size_t start = 0;
            while (true) {
                size_t end = (format & DT_SINGLELINE) ? std::u16string::npos : str.find(u'\n', start);
                std::u16string line = str.substr(start, end == std::u16string::npos ? end : end - start);
                if (!line.empty() && line.back() == u'\r')
                    line.pop_back();
                widest = std::max(widest, int(measure_text(hdc, s, line).cx));
                lines++;
                if (end == std::u16string::npos)
                    break;
                start = end + 1;
            }
            rect->right = rect->left + widest;
            rect->bottom = rect->top + lineHeight * lines;
            answer = lineHeight * lines;
        } else {
            /* Drawn as lines of text at the rectangle's top left. */
            SIZE ext{};
            text_extent(hdc, str.c_str(), int(str.size()), &ext);
            answer = text_out(hdc, rect->left, rect->top, 0, nullptr, str.c_str(), UINT(str.size()), nullptr)
                         ? ext.cy
                         : 0;
        }
    }
    log(hdc, "DrawTextW", rect ? std::vector<long>{long(format), rect->left, rect->top, rect->right, rect->bottom}
                               : std::vector<long>{long(format)},
        answer, str);
    return answer;
}

} // namespace plat::gdi::pdc

BOOL Polygon(HDC hdc, const POINT *points, int count)
{
    State s;
    BOOL ok = FALSE;
    if (!points || count < 2)
        SetLastError(ERROR_INVALID_PARAMETER);
    else if (state_of(hdc, &s))
        ok = draw_figure(hdc, s, std::vector<POINT>(points, points + count), true, false);
    log(hdc, "Polygon", points && count > 0 ? point_args(points, count) : std::vector<long>{}, ok);
    return ok;
}

BOOL Polyline(HDC hdc, const POINT *points, int count)
{
    State s;
    BOOL ok = FALSE;
    if (!points || count < 2)
        SetLastError(ERROR_INVALID_PARAMETER);
    else if (state_of(hdc, &s))
        ok = draw_figure(hdc, s, std::vector<POINT>(points, points + count), false, false);
    log(hdc, "Polyline", points && count > 0 ? point_args(points, count) : std::vector<long>{}, ok);
    return ok;
}
