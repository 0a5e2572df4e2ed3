/*
 * Image drawing on a printer device context (see plat/gdi.h): the engine's
 * side of StretchDIBits, BitBlt and TransparentBlt.  The image is checked
 * first (its size, its bits against the rows they must hold, its palette,
 * the source rectangle), then the engine wraps the caller's bits in a
 * source surface, makes the translation and the clip, calls the library's
 * DrvStretchBlt, DrvBitBlt or DrvTransparentBlt, and frees them.
 */
#include "gdi_call_private.h"

#include <cstdint>

using plat::gdi::as;

namespace {

/* The stretch mode GDI hands for StretchDIBits by default: rows and columns are dropped, not blended. */
constexpr ULONG kColorOnColor = 3;

/* Bits per pixel of the formats an image may have; 0 for any other. */
ULONG image_bits(ULONG format)
{
    switch (format) {
    case BMF_1BPP: return 1;
    case BMF_4BPP: return 4;
    case BMF_8BPP: return 8;
    case BMF_24BPP: return 24;
    case BMF_32BPP: return 32;
    default: return 0;
    }
}

/* The error of an image the engine cannot draw, or 0 when it is sound; `stride` gets its row size. */
DWORD check_image(const plat::GdiImageDraw &d, ULONGLONG *stride)
{
    const plat::GdiImage &im = d.image;
    const ULONG bits = image_bits(im.format);
    if (!im.bits || bits == 0 || im.width <= 0 || im.height <= 0)
        return ERROR_INVALID_PARAMETER;
    if (bits <= 8 ? im.palette.empty() || im.palette.size() > (size_t(1) << bits) : !im.palette.empty())
        return ERROR_INVALID_PARAMETER;
    *stride = (ULONGLONG(im.width) * bits + 31) / 32 * 4;
    if (*stride * ULONGLONG(im.height) > 0xFFFFFFFFull) /* an engine bitmap counts its bytes in 32 bits */
        return ERROR_INVALID_PARAMETER;
    if (*stride * ULONGLONG(im.height) > im.size)
        return ERROR_INSUFFICIENT_BUFFER;
    /* The source rectangle lies inside the image (for a plain blt: the destination's size from its top left). */
    const int64_t w = d.call == plat::GdiImageDraw::Bit ? int64_t(d.dest.right) - d.dest.left
                                                         : int64_t(d.src.right) - d.src.left;
    const int64_t h = d.call == plat::GdiImageDraw::Bit ? int64_t(d.dest.bottom) - d.dest.top
                                                         : int64_t(d.src.bottom) - d.src.top;
    if (d.src.left < 0 || d.src.top < 0 || w <= 0 || h <= 0 || d.src.left + w > im.width ||
        d.src.top + h > im.height)
        return ERROR_INVALID_PARAMETER;
    /* Only a stretch may turn the image over; the other calls take a well-ordered destination. */
    if (d.dest.left == d.dest.right || d.dest.top == d.dest.bottom ||
        (d.call != plat::GdiImageDraw::Stretch && (d.dest.left > d.dest.right || d.dest.top > d.dest.bottom)))
        return ERROR_INVALID_PARAMETER;
    return 0;
}

} // namespace

namespace plat {

BOOL gdi_draw_image(HDC hdc, const GdiImageDraw &draw)
{
    ULONGLONG stride = 0;
    if (DWORD bad = check_image(draw, &stride)) {
        SetLastError(bad);
        return FALSE;
    }
    const ULONG index = draw.call == GdiImageDraw::Stretch ? INDEX_DrvStretchBlt
                        : draw.call == GdiImageDraw::Bit   ? INDEX_DrvBitBlt
                                                           : INDEX_DrvTransparentBlt;
    GdiDcInfo info{};
    PFN fn = gdi::drawing_function(hdc, index, &info);
    if (!fn)
        return FALSE;
    SURFOBJ *pso = gdi::lock_surface(info);
    if (!pso)
        return FALSE;
    /* The caller's bits as a top-down engine bitmap, no larger than its rows. */
    const GdiImage &im = draw.image;
    SURFOBJ src{};
    src.sizlBitmap = {im.width, im.height};
    src.iBitmapFormat = im.format;
    src.lDelta = LONG(stride);
    src.cjBits = ULONG(stride * ULONGLONG(im.height));
    src.pvBits = src.pvScan0 = const_cast<BYTE *>(im.bits);
    src.fjBitmap = BMF_TOPDOWN;
    src.iType = STYPE_BITMAP;
    /* Indexed images translate through their palette; deep ones are already in the device's order. */
    XLATEOBJ *xlate = engine_make_xlate_table(im.palette);
    CLIPOBJ *clip = draw.clip.empty() ? nullptr : engine_make_clip(draw.clip);
    RECTL dest = draw.dest, source = draw.src;
    POINTL from{draw.src.left, draw.src.top};
    BOOL ok = FALSE;
    switch (draw.call) {
    case GdiImageDraw::Stretch:
        ok = as<PFN_DrvStretchBlt>(fn)(pso, &src, nullptr, clip, xlate, nullptr, nullptr, &dest, &source, nullptr,
                                       kColorOnColor);
        break;
    case GdiImageDraw::Bit:
        ok = as<PFN_DrvBitBlt>(fn)(pso, &src, nullptr, clip, xlate, &dest, &from, nullptr, nullptr, nullptr,
                                   draw.rop4);
        break;
    default:
        ok = as<PFN_DrvTransparentBlt>(fn)(pso, &src, clip, xlate, &dest, &source, draw.transparent, 0);
        break;
    }
    engine_free_clip(clip);
    engine_free_xlate(xlate);
    EngUnlockSurface(pso);
    return ok;
}

} // namespace plat
