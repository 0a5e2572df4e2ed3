/*
 * Geometry of the page decorations: the area a watermark or annotation is
 * laid out in (one of the two boxes of the renderer's decoration query) and
 * the size a bitmap watermark takes on the page.  The drawing itself waits
 * for its work (see doc_page_events.cpp).
 */
#include "doc_events.h"

#include <tarvel/base/esc_codes.h>

#include <plat/memory.h>

#include <cmath>
#include <cstring>

namespace {

/* DecorationQuery: the boxes as 32-bit floats after the three flags. */
constexpr size_t kBoxA = 12, kBoxB = 28;

/* Pixels per metre of a bitmap that gives none (96 per inch). */
constexpr double kDefaultPixelsPerMetre = 3780.0;

float box_value(const BYTE *query, size_t at)
{
    float v = 0;
    std::memcpy(&v, query + at, sizeof v);
    return v;
}

/* One side: pixels / pixels per metre x scale x resolution / 25.4, cut toward zero, 0 when not finite or too large. */
LONG side(LONG pixels, LONG pixelsPerMetre, DWORD scale, int resolution)
{
    const double ppm = pixelsPerMetre > 0 ? double(pixelsPerMetre) : kDefaultPixelsPerMetre;
    const double v = double(pixels) / ppm * double(scale) * double(resolution) / 25.4;
    if (!std::isfinite(v) || v <= 0 || v >= 2147483647.0)
        return 0;
    return LONG(v);
}

} // namespace

int DOC_GetDrawArea(const BYTE *query, int boxSelector, LONG *width, LONG *height)
{
    const size_t box = boxSelector == 1 ? kBoxA : kBoxB;
    const double w = std::fabs(double(box_value(query, box + 8)) - double(box_value(query, box)));
    const double h = std::fabs(double(box_value(query, box + 12)) - double(box_value(query, box + 4)));
    *width = std::isfinite(w) && w < 2147483647.0 ? LONG(w) : 0;
    *height = std::isfinite(h) && h < 2147483647.0 ? LONG(h) : 0;
    return 1;
}

int DOC_BitmapWatermarkSize(const BITMAPINFOHEADER *header, DWORD scale, int resolution, LONG *width, LONG *height)
{
    *width = *height = 0;
    if (!header)
        return 0;
    const LONG rows = header->biHeight < 0 ? -header->biHeight : header->biHeight;
    *width = side(header->biWidth, header->biXPelsPerMeter, scale, resolution);
    *height = side(rows, header->biYPelsPerMeter, scale, resolution);
    return *width > 0 && *height > 0 ? 1 : 0;
}
