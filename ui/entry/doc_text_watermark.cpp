/*
 * Text drawn as a watermark or an annotation line: the font scaled from
 * points to the page's resolution, the text measured (an italic font
 * leaning out by tan 15 degrees of its height), an optional rectangle or
 * ellipse frame, and the copies laid out turned and placed or tiled over
 * the decoration area, each moved into place by a placement escape where
 * the renderer needs one.
 */
#include "doc_events.h"

#include <tarvel/base/esc_codes.h>
#include <tarvel/base/res_text.h>
#include <tarvel/model_data/geo_placement.h>

#include <plat/gdi_dc.h>
#include <plat/memory.h>
#include <plat/text.h>

#include <cmath>
#include <cstdint>

namespace {

/* How far an italic font leans out per unit of height (tan 15 degrees). */
constexpr double kItalicLean = 0.2679492;

/* Frame pen width per point of font height at the resolution: bold and other weights. */
constexpr double kBoldPen = 0.07, kPlainPen = 0.06;

/* Frame size per unit of text size (rectangles). */
constexpr double kFrameMargin = 1.2;

enum : int { FRAME_NONE = 0, FRAME_RECTANGLE = 1, FRAME_ELLIPSE = 2 };

/* a x b / c rounded half away from zero; -1 for c = 0 or a result outside 32 bits. */
int mul_div(int a, int b, int c)
{
    if (c == 0)
        return -1;
    const long long p = (long long)a * b;
    const unsigned long long num = (unsigned long long)(p < 0 ? -p : p);
    const unsigned long long den = (unsigned long long)(c < 0 ? -(long long)c : (long long)c);
    const unsigned long long q = (num + den / 2) / den;
    if (q > (unsigned long long)INT32_MAX)
        return -1;
    return ((p < 0) != (c < 0)) ? -int(q) : int(q);
}

POINT mapped(const PlacementLayout &layout, double x, double y, int copy)
{
    const PlacementPoint in{FLOAT(x), FLOAT(y)};
    PlacementPoint out{0, 0};
    GEO_MapItemPoint(&layout, &in, copy, &out);
    return POINT{LONG(out.x), LONG(out.y)};
}

/* The objects of one drawing, deleted when it ends, after the context is restored. */
struct Drawing {
    HDC hdc;
    int saved;
    HFONT font = nullptr;
    HPEN pen = nullptr;
    HBRUSH brush = nullptr;
    int finish(int result)
    {
        RestoreDC(hdc, saved);
        if (font)
            DeleteObject(font);
        if (pen)
            DeleteObject(pen);
        if (brush)
            DeleteObject(brush);
        return result;
    }
};

} // namespace

int DOC_FramePoints(const PlacementLayout *layout, int frame, SIZEL frameSize, LONG penWidth, int copy,
                    POINT points[4])
{
    if (!layout || !points)
        return 0;
    const LONG half = penWidth / 2;
    const double w = double(frameSize.cx) - penWidth, h = double(frameSize.cy) - penWidth;
    const PlacementPoint probe{0, 0};
    PlacementPoint out{};
    if (GEO_MapItemPoint(layout, &probe, copy, &out) != 0)
        return 0;
    if (frame == FRAME_ELLIPSE) {
        const POINT c = mapped(*layout, frameSize.cx / 2.0, frameSize.cy / 2.0, copy);
        points[0] = POINT{LONG(c.x - w / 2), LONG(c.y - h / 2)};
        points[1] = POINT{LONG(c.x + w / 2), LONG(c.y + h / 2)};
        return 1;
    }
    if (frame == FRAME_RECTANGLE) {
        points[0] = mapped(*layout, half, half, copy);
        points[1] = mapped(*layout, half + w, half, copy);
        points[2] = mapped(*layout, half + w, half + h, copy);
        points[3] = mapped(*layout, half, half + h, copy);
        return 1;
    }
    return 0;
}

int DOC_DrawTextWatermark(HDC hdc, const BYTE *query, int resolution, DWORD position, const LOGFONTW *font,
                          LPCWSTR text, COLORREF colour, int, int, int frame, int boxSelector)
{
    if (!hdc || !font || !text)
        return -1;
    Drawing d{hdc, SaveDC(hdc)};
    SetTextAlign(hdc, RES_IsRightToLeftUi() ? TA_RTLREADING : TA_NOUPDATECP | TA_LEFT | TA_TOP);
    SetMapMode(hdc, MM_TEXT);
    SetViewportOrgEx(hdc, 0, 0, nullptr);
    SetBkMode(hdc, TRANSPARENT);
    SelectClipRgn(hdc, nullptr);

    LOGFONTW lf = *font;
    lf.lfHeight = -mul_div(font->lfHeight, resolution, 72);
    lf.lfWidth = -mul_div(font->lfWidth, resolution, 72);
    d.font = CreateFontIndirectW(&lf);
    if (!d.font)
        return d.finish(-1);
    SelectObject(hdc, d.font);

    RECT extent{0, 0, 0, 0};
    DrawTextW(hdc, text, -1, &extent, DT_CALCRECT | DT_NOCLIP);
    double tw = extent.right - extent.left;
    const double th = extent.bottom - extent.top;
    if (lf.lfItalic)
        tw += th * kItalicLean;
    LONG areaW = 0, areaH = 0;
    DOC_GetDrawArea(query, boxSelector, &areaW, &areaH);
    POINT origin{0, 0};
    GetWindowOrgEx(hdc, &origin);

    /* The frame around the text, the text centred in it. */
    LONG penWidth = 0;
    double fw = tw, fh = th;
    if (frame == FRAME_RECTANGLE || frame == FRAME_ELLIPSE) {
        const int height = mul_div(font->lfHeight < 0 ? -font->lfHeight : font->lfHeight, resolution, 72);
        penWidth = LONG(height * (font->lfWeight == FW_BOLD ? kBoldPen : kPlainPen));
        d.pen = CreatePen(PS_SOLID, int(penWidth), colour);
        const LOGBRUSH hollow{BS_NULL, 0, 0};
        d.brush = CreateBrushIndirect(&hollow);
        SelectObject(hdc, d.pen);
        SelectObject(hdc, d.brush);
        if (frame == FRAME_RECTANGLE) {
            fw = tw * kFrameMargin + penWidth;
            fh = th * kFrameMargin + penWidth;
        } else {
            fw = fh = std::sqrt(tw * tw + th * th) + 2.0 * penWidth;
        }
    } else if (frame != FRAME_NONE) {
        return d.finish(-1);
    }
    const double textX = (fw - tw) / 2, textY = (fh - th) / 2;

    const SIZEL area{areaW, areaH};
    const SIZEL item{LONG(fw), LONG(fh)};
    PlacementLayout layout{};
    const int copies = GEO_LayoutRotatedItem(&area, &item, SHORT(lf.lfEscapement / 10), frame, position, &layout);
    if (copies < 0)
        return d.finish(-1);

    SetTextColor(hdc, colour);
    SetROP2(hdc, R2_COPYPEN);
    const bool tiled = position == 0;
    const POINT first = mapped(layout, 0, 0, 0);
    const LONG textLength = LONG(lstrlenW(text));
    for (int i = 0; i < copies; i++) {
        /* The offset the renderer moves this copy by: each tile from the first, or a placed line as a whole. */
        POINT shift{0, 0};
        if (tiled || boxSelector == DOC_BOX_PLACED) {
            const POINT at = mapped(layout, 0, 0, i);
            shift = tiled ? POINT{at.x - first.x, at.y - first.y} : first;
            BYTE offset[8];
            plat::store_u32(offset, 0, DWORD(shift.x));
            plat::store_u32(offset, 4, DWORD(shift.y));
            if (DOC_Escape(hdc, ESC_WATERMARK_PLACEMENT, offset, sizeof offset) <= 0)
                return d.finish(-1);
        }
        POINT t = mapped(layout, textX, textY, i);
        if (boxSelector == DOC_BOX_PLACED) {
            t.x -= shift.x;
            t.y -= shift.y;
        }
        TextOutW(hdc, t.x + origin.x, t.y + origin.y, text, textLength);
        POINT corners[4];
        if (frame != FRAME_NONE && DOC_FramePoints(&layout, frame, item, penWidth, i, corners)) {
            const int n = frame == FRAME_RECTANGLE ? 4 : 2;
            for (int k = 0; k < n; k++) {
                if (tiled) {
                    corners[k].x -= shift.x;
                    corners[k].y -= shift.y;
                }
                corners[k].x += origin.x;
                corners[k].y += origin.y;
            }
            if (frame == FRAME_RECTANGLE)
                Polygon(hdc, corners, 4);
            else
                Ellipse(hdc, corners[0].x, corners[0].y, corners[1].x, corners[1].y);
        }
    }
    return d.finish(1);
}
