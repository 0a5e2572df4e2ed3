/*
 * Realising a brush for the driver (the worker of DrvRealizeBrush): the
 * engine hands a pattern surface and a translation, and the driver keeps a
 * copy of the pattern rows and the palette in the block the engine stores
 * with the brush (brs_realized.h), so that selecting the brush later needs
 * nothing of the engine's.
 */
#include "brs_realized.h"
#include "ddi_workers.h"
#include "draw_blt.h"
#include "pdev_context.h"

#include <plat/error.h>

#include <algorithm>
#include <cstring>

namespace {

/* Patterns are sent with 16-bit sizes. */
constexpr LONG kMaxPatternSide = 65535;

/* The palette entries a realisation keeps. */
DWORD palette_count(XLATEOBJ *pxlo, LONG kind, bool hatch)
{
    const bool table = (pxlo->flXlate & XO_TABLE) && pxlo->pulXlate;
    DWORD count = table ? std::min<DWORD>(pxlo->cEntries, BRS_MAX_PALETTE) : 0;
    if (hatch || kind == BRS_KIND_1BPP)
        count = std::max<DWORD>(count, 2); /* the two colours are always read */
    else if (!table && kind != BRS_KIND_COLOR)
        count = kind == BRS_KIND_4BPP ? 16 : 256;
    return count;
}

/* Copies one source row of a direct-colour pattern as three bytes a pixel, lowest first. */
void copy_colour_row(const BYTE *src, BYTE *dst, LONG width, ULONG format, XLATEOBJ *pxlo)
{
    if (format == BMF_24BPP) {
        std::memcpy(dst, src, size_t(width) * 3);
        return;
    }
    for (LONG x = 0; x < width; x++) {
        ULONG pixel = 0;
        if (format == BMF_16BPP)
            pixel = ULONG(src[2 * x]) | ULONG(src[2 * x + 1]) << 8;
        else
            std::memcpy(&pixel, src + 4 * size_t(x), 4);
        const ULONG c = XLATEOBJ_iXlate(pxlo, pixel);
        dst[3 * x] = BYTE(c);
        dst[3 * x + 1] = BYTE(c >> 8);
        dst[3 * x + 2] = BYTE(c >> 16);
    }
}

BOOL invalid()
{
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

} // namespace

void BRS_PaletteColor(const RealizedBrush *rb, DWORD i, BYTE bgr[3])
{
    bgr[0] = bgr[1] = bgr[2] = 0;
    if (!rb || rb->paletteCount == 0)
        return;
    if (i >= rb->paletteCount)
        i = 0;
    ULONG entry = 0;
    std::memcpy(&entry, BRS_PaletteBytes(rb) + 4 * size_t(i), 4);
    bgr[0] = BYTE(entry);
    bgr[1] = BYTE(entry >> 8);
    bgr[2] = BYTE(entry >> 16);
}

BOOL BRS_RealizeBrush(BRUSHOBJ *pbo, SURFOBJ *psoTarget, SURFOBJ *psoPattern, SURFOBJ *psoMask, XLATEOBJ *pxlo,
                      ULONG iHatch)
{
    (void)psoMask; /* the printer's patterns carry no mask */
    if (!pbo || !psoPattern || !pxlo || !PDEV_CheckedFromSurface(psoTarget))
        return invalid();
    const ULONG format = psoPattern->iBitmapFormat;
    const ULONG bits = BLT_BitsPerPixel(format);
    if (bits == 0)
        return FALSE;
    const bool hatch = iHatch < ULONG(BRS_FIRST_PATTERN_STYLE);
    const LONG width = psoPattern->sizlBitmap.cx;
    const LONG height = psoPattern->sizlBitmap.cy;
    const LONG kind = bits >= 16 ? BRS_KIND_COLOR : LONG(format);

    DWORD rowBytes = 0;
    ULONGLONG patternBytes = 0;
    if (!hatch) {
        /* The rows are read through pvScan0 and lDelta: refuse what cannot hold the pattern. */
        if (width <= 0 || height <= 0 || width > kMaxPatternSide || height > kMaxPatternSide || !psoPattern->pvScan0)
            return invalid();
        const ULONGLONG srcRow = (ULONGLONG(width) * bits + 7) / 8;
        const LONGLONG delta = psoPattern->lDelta;
        if (ULONGLONG(delta < 0 ? -delta : delta) < srcRow)
            return invalid();
        rowBytes = BRS_RowBytes(kind, width);
        patternBytes = ULONGLONG(rowBytes) * ULONGLONG(height);
    }
    const DWORD count = palette_count(pxlo, kind, hatch);
    const ULONGLONG total = sizeof(RealizedBrush) + patternBytes + 4ull * count;
    if (total > 0xFFFFFFFFull)
        return invalid();
    auto *rb = static_cast<RealizedBrush *>(BRUSHOBJ_pvAllocRbrush(pbo, ULONG(total)));
    if (!rb)
        return FALSE;
    std::memset(rb, 0, size_t(total));
    rb->width = width;
    rb->height = height;
    rb->kind = kind;
    rb->flags = WORD(psoPattern->fjBitmap | BMF_TOPDOWN);
    rb->paletteCount = count;
    rb->paletteOffset = DWORD(sizeof(RealizedBrush) + patternBytes);
    rb->style = LONG(iHatch > 0x7FFFFFFFu ? 0x7FFFFFFF : iHatch);
    rb->patternBytes = DWORD(patternBytes);

    BYTE *rows = reinterpret_cast<BYTE *>(rb) + sizeof(RealizedBrush);
    const BYTE *src = static_cast<const BYTE *>(psoPattern->pvScan0);
    for (LONG y = 0; !hatch && y < height; y++) {
        const BYTE *line = src + LONGLONG(y) * psoPattern->lDelta;
        BYTE *dst = rows + size_t(y) * rowBytes;
        if (kind == BRS_KIND_COLOR)
            copy_colour_row(line, dst, width, format, pxlo);
        else
            std::memcpy(dst, line, size_t((ULONGLONG(width) * bits + 7) / 8));
    }
    BYTE *palette = reinterpret_cast<BYTE *>(rb) + rb->paletteOffset;
    const bool table = (pxlo->flXlate & XO_TABLE) && pxlo->pulXlate;
    for (DWORD i = 0; i < count; i++) {
        const ULONG entry = table && i < pxlo->cEntries ? pxlo->pulXlate[i] : XLATEOBJ_iXlate(pxlo, i);
        std::memcpy(palette + 4 * size_t(i), &entry, 4);
    }
    pbo->pvRbrush = rb;
    return TRUE;
}
