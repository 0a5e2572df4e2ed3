/*
 * The small rules the drawing calls share: rectangles and clip bounds, the
 * ROP3 values that use a pattern, bitmap depths, the near-grey test and the
 * mix and ROP tables.
 */
#include "draw_blt.h"
#include "draw_brush.h"

#include <algorithm>
#include <cstdint>

void BLT_NormalizeRect(const RECTL *in, RECTL *out)
{
    RECTL r = {std::min(in->left, in->right), std::min(in->top, in->bottom), std::max(in->left, in->right),
               std::max(in->top, in->bottom)};
    *out = r;
}

void BLT_IntersectClipBounds(RECTL *rect, const RECTL *bounds)
{
    rect->left = std::max(rect->left, bounds->left);
    rect->top = std::max(rect->top, bounds->top);
    rect->right = std::min(rect->right, bounds->right);
    rect->bottom = std::min(rect->bottom, bounds->bottom);
}

namespace {

/* |b - a| without overflow for any two LONG values. */
int64_t span(LONG a, LONG b) { return b > a ? int64_t(b) - a : int64_t(a) - b; }

} // namespace

bool BLT_ClipByIntersection(const RECTL *extent, const RECTL *dest, const CLIPOBJ *pco)
{
    if (!extent || !dest || !pco || pco->iDComplexity != DC_RECT)
        return false;
    if (span(extent->left, extent->right) != span(dest->left, dest->right) ||
        span(extent->top, extent->bottom) != span(dest->top, dest->bottom))
        return false;
    RECTL d;
    BLT_NormalizeRect(dest, &d);
    const RECTL &c = pco->rclBounds;
    return d.left < c.left || d.top < c.top || d.right > c.right || d.bottom > c.bottom;
}

bool BLT_RopUsesPattern(BYTE rop3)
{
    switch (rop3) {
    case 0x11: case 0x22: case 0x33: case 0x44: case 0x66: case 0x77:
    case 0x88: case 0x99: case 0xBB: case 0xCC: case 0xDD: case 0xEE:
        return false;
    default:
        return true;
    }
}

ULONG BLT_BitsPerPixel(ULONG iBitmapFormat)
{
    switch (iBitmapFormat) {
    case BMF_1BPP: return 1;
    case BMF_4BPP: return 4;
    case BMF_8BPP: return 8;
    case BMF_16BPP: return 16;
    case BMF_24BPP: return 24;
    case BMF_32BPP: return 32;
    default: return 0;
    }
}

bool BLT_IsNearGrey(BYTE r, BYTE g, BYTE b)
{
    if (r == g && g == b)
        return true;
    static const float tolerance[4] = {5, 5, 5, 2};
    float mean = float(r + g + b) / 3.0f;
    float t = tolerance[(int(mean) / 64) % 4];
    BYTE lo = std::min({r, g, b});
    BYTE hi = std::max({r, g, b});
    return float(lo) >= mean - t && float(hi) <= mean + t;
}

namespace {

/* The ROP3 of each R2_ code, indexed by code & 0xF (R2_WHITE, 16, at 0). */
const BYTE kMixRop[16] = {0xFF, 0x00, 0x05, 0x0A, 0x0F, 0x50, 0x55, 0x5A,
                          0x5F, 0xA0, 0xA5, 0xAA, 0xAF, 0xF0, 0xF5, 0xFA};

BYTE rop_code(BYTE rop3)
{
    for (BYTE i = 0; i < 16; ++i)
        if (kMixRop[i] == rop3)
            return i ? i : 16;
    return 13; /* R2_COPYPEN */
}

} // namespace

WORD BRS_MixToRop(MIX mix)
{
    return WORD(kMixRop[(mix >> 8) & 0xF] << 8 | kMixRop[mix & 0xF]);
}

MIX BRS_RopToMix(ROP4 rop4)
{
    return MIX(rop_code(BYTE(rop4 >> 8)) << 8 | rop_code(BYTE(rop4)));
}
