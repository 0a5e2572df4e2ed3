/*
 * Placement of rotated items: rotation matrix, offset, alignment in the
 * area or tiling over it, and the mapping of an item's points onto one copy.
 */
#include <tarvel/model_data/geo_placement.h>

#include <cmath>
#include <numbers>

namespace {

/* ceil(extent / step), limited to 0..65,535. */
USHORT tile_count(double extent, double step)
{
    double n = std::ceil(extent / step);
    if (!(n > 0))
        return 0;
    return n >= 65535.0 ? USHORT(65535) : static_cast<USHORT>(n);
}

} // namespace

int GEO_LayoutRotatedItem(const SIZEL *area, const SIZEL *item, SHORT angle, int mode, DWORD alignment,
                          PlacementLayout *layout)
{
    if (!area || !item || !layout)
        return -1;
    /* Worked in double and kept as float, so that a right angle gives whole boxes for the tiling. */
    const double W = area->cx, H = area->cy;
    const double w = item->cx, h = item->cy;
    const double r = angle * std::numbers::pi / 180.0;
    const double s = std::sin(r), c = std::cos(r);

    double tx = 0, ty = 0, boxW = 0, boxH = 0;
    if (mode == GEO_TURN_ABOUT_CENTRE) {
        tx = -(w / 2 * c + h / 2 * s - w / 2);
        ty = -(-w / 2 * s + h / 2 * c - h / 2);
        boxW = w;
        boxH = h;
    } else if (angle >= 0) {
        ty = s * w;
        boxW = w * c + h * s;
        boxH = w * s + h * c;
    } else {
        const double sn = std::sin(-r), cn = std::cos(-r);
        tx = sn * h;
        boxW = w * cn + h * sn;
        boxH = w * sn + h * cn;
    }
    PlacementLayout out{};
    out.m11 = static_cast<float>(c);
    out.m12 = static_cast<float>(s);
    out.m21 = static_cast<float>(-s);
    out.m22 = static_cast<float>(c);

    int copies = 1;
    if (alignment != 0) {
        switch (alignment & 0xF00) {
        case GEO_ALIGN_HCENTRE:
            tx += (W - boxW) / 2;
            break;
        case GEO_ALIGN_RIGHT:
            tx += W - boxW;
            break;
        default:
            break;
        }
        switch (alignment & 0xF) {
        case GEO_ALIGN_VCENTRE:
            ty += (H - boxH) / 2;
            break;
        case GEO_ALIGN_BOTTOM:
            ty += H - boxH;
            break;
        default:
            break;
        }
    } else {
        /* A box without extent would need endless copies. */
        if (!(boxW > 0) || !(boxH > 0))
            return -1;
        out.sx = static_cast<float>(boxW);
        out.sy = static_cast<float>(boxH);
        out.columns = tile_count(W, boxW);
        out.rows = tile_count(H, boxH);
        long long n = static_cast<long long>(out.columns) * out.rows;
        copies = n > GEO_MAX_COPIES ? GEO_MAX_COPIES : static_cast<int>(n);
    }
    out.tx = static_cast<float>(tx);
    out.ty = static_cast<float>(ty);
    *layout = out;
    return copies;
}

int GEO_MapItemPoint(const PlacementLayout *layout, const PlacementPoint *point, int copy, PlacementPoint *out)
{
    if (!layout || !point || !out || copy < 0)
        return -1;
    const bool tiled = layout->columns != 0 && layout->rows != 0;
    const long long copies = tiled ? static_cast<long long>(layout->columns) * layout->rows : 1;
    if (copy >= copies)
        return -1;
    PlacementPoint p{point->x * layout->m11 + point->y * layout->m12 + layout->tx,
                     point->x * layout->m21 + point->y * layout->m22 + layout->ty};
    if (tiled) {
        p.x += layout->sx * static_cast<float>(copy % layout->columns);
        p.y += layout->sy * static_cast<float>(copy / layout->columns);
    }
    *out = p;
    return 0;
}
