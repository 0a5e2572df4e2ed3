/*
 * Transparent blts: the source drawn everywhere except where it holds the
 * transparent colour.  A one-bit mask of the source (0 where transparent)
 * is made, then either the mask is ORed in as white and a copy of the
 * source whose transparent pixels are white is ANDed over it, or, with no
 * white in the source's colours, the source is XORed, the mask ANDed NOT
 * and the source XORed again.  All three working copies are freed before
 * the call returns.
 */
#include "blt_source.h"
#include "ddi_workers.h"
#include "draw_blt.h"

#include <cstring>
#include <new>

namespace {

/* Writes pixel `i` of a row of `bits` bits per pixel. */
void put_pixel(BYTE *row, ULONG bits, ULONG i, ULONG value)
{
    switch (bits) {
    case 1: {
        const BYTE m = BYTE(0x80u >> (i & 7));
        row[i >> 3] = BYTE(value & 1 ? row[i >> 3] | m : row[i >> 3] & ~m);
        return;
    }
    case 4:
        row[i >> 1] = BYTE(i & 1 ? (row[i >> 1] & 0xF0) | (value & 0x0F) : (row[i >> 1] & 0x0F) | ((value & 0x0F) << 4));
        return;
    default:
        for (ULONG k = 0; k < bits / 8; k++)
            row[size_t(i) * (bits / 8) + k] = BYTE(value >> (8 * k));
        return;
    }
}

/* The working copies of one transparent blt. */
struct Copies {
    SURFOBJ source{};
    BYTE *sourceBits = nullptr;
    SURFOBJ mask{};
    BYTE *maskBits = nullptr;
    XLATEOBJ twoColors{};
    ULONG table[2] = {0x000000u, 0xFFFFFFu};

    ~Copies()
    {
        delete[] sourceBits;
        delete[] maskBits;
    }

    bool make(const SURFOBJ *src)
    {
        if (!src->pvBits || !src->pvScan0 || src->cjBits == 0 || src->sizlBitmap.cx <= 0 || src->sizlBitmap.cy <= 0)
            return false;
        sourceBits = new (std::nothrow) BYTE[src->cjBits];
        if (!sourceBits)
            return false;
        std::memcpy(sourceBits, src->pvBits, src->cjBits);
        source = *src;
        source.pvBits = sourceBits;
        source.pvScan0 = sourceBits + (static_cast<const BYTE *>(src->pvScan0) - static_cast<const BYTE *>(src->pvBits));
        const ULONGLONG stride = (ULONGLONG(src->sizlBitmap.cx) + 7) / 8;
        const ULONGLONG bytes = stride * ULONGLONG(src->sizlBitmap.cy);
        if (bytes > 0xFFFFFFFFull)
            return false;
        maskBits = new (std::nothrow) BYTE[size_t(bytes)];
        if (!maskBits)
            return false;
        std::memset(maskBits, 0xFF, size_t(bytes));
        mask = SURFOBJ{};
        mask.sizlBitmap = src->sizlBitmap;
        mask.cjBits = ULONG(bytes);
        mask.pvBits = maskBits;
        mask.pvScan0 = maskBits;
        mask.lDelta = LONG(stride);
        mask.iBitmapFormat = BMF_1BPP;
        mask.iType = STYPE_BITMAP;
        mask.fjBitmap = BMF_TOPDOWN;
        twoColors.flXlate = XO_TABLE;
        twoColors.cEntries = 2;
        twoColors.pulXlate = table;
        return true;
    }
};

} // namespace

BOOL BLT_FindWhiteIndex(SURFOBJ *psoSrc, XLATEOBJ *pxlo, ULONG *value)
{
    if (!psoSrc || !value)
        return FALSE;
    const ULONG bits = BLT_BitsPerPixel(psoSrc->iBitmapFormat);
    auto white = [pxlo](ULONG c) { return XLATEOBJ_iXlate(pxlo, c) == 0xFFFFFFu; };
    if (bits >= 1 && bits <= 8) {
        ULONG count = pxlo && (pxlo->flXlate & XO_TABLE) ? pxlo->cEntries : 0;
        if (count > (1u << bits))
            count = 1u << bits;
        for (ULONG i = 0; i < count; i++)
            if (white(i)) {
                *value = i;
                return TRUE;
            }
        return FALSE;
    }
    ULONG candidates[3] = {};
    ULONG n = 0;
    if (bits == 16) {
        candidates[0] = 0xFFFF, candidates[1] = 0x7FFF, candidates[2] = 0xFFFE, n = 3;
    } else if (bits == 24) {
        candidates[0] = 0xFFFFFF, n = 1;
    } else if (bits == 32) {
        candidates[0] = 0xFFFFFF, candidates[1] = 0xFFFFFF00u, n = 2;
    }
    for (ULONG i = 0; i < n; i++)
        if (white(candidates[i])) {
            *value = candidates[i];
            return TRUE;
        }
    return FALSE;
}

BOOL BLT_BuildTransparentMask(SURFOBJ *psoSrc, SURFOBJ *psoCopy, SURFOBJ *psoMask, ULONG transparent,
                              const ULONG *white)
{
    if (!psoSrc || !psoMask || (white && !psoCopy))
        return FALSE;
    const ULONG bits = BLT_BitsPerPixel(psoSrc->iBitmapFormat);
    const LONG w = psoSrc->sizlBitmap.cx, h = psoSrc->sizlBitmap.cy;
    if (bits == 0 || psoMask->iBitmapFormat != BMF_1BPP || psoMask->sizlBitmap.cx < w || psoMask->sizlBitmap.cy < h)
        return FALSE;
    for (LONG y = 0; y < h; y++) {
        const BYTE *src = BLT_SourceRow(psoSrc, y, 0, w);
        BYTE *mask = const_cast<BYTE *>(BLT_SourceRow(psoMask, y, 0, w));
        BYTE *copy = white ? const_cast<BYTE *>(BLT_SourceRow(psoCopy, y, 0, w)) : nullptr;
        if (!src || !mask || (white && !copy))
            return FALSE;
        for (LONG x = 0; x < w; x++) {
            if (BLT_RowPixel(src, bits, ULONG(x)) != transparent)
                continue;
            put_pixel(mask, 1, ULONG(x), 0);
            if (white)
                put_pixel(copy, bits, ULONG(x), *white);
        }
    }
    return TRUE;
}

BOOL BLT_TransparentBlt(SURFOBJ *psoDst, SURFOBJ *psoSrc, CLIPOBJ *pco, XLATEOBJ *pxlo, RECTL *prclDst,
                        RECTL *prclSrc, ULONG iTransColor, ULONG ulReserved)
{
    const ULONG format = psoSrc ? psoSrc->iBitmapFormat : 0;
    Copies copies;
    ULONG whiteValue = 0;
    bool white = false;
    bool ready = psoSrc && prclSrc && format >= BMF_1BPP && format <= BMF_32BPP && copies.make(psoSrc);
    if (ready) {
        white = BLT_FindWhiteIndex(psoSrc, pxlo, &whiteValue);
        ready = BLT_BuildTransparentMask(psoSrc, &copies.source, &copies.mask, iTransColor, white ? &whiteValue : nullptr);
    }
    if (!ready)
        return EngTransparentBlt(psoDst, psoSrc, pco, pxlo, prclDst, prclSrc, iTransColor, ulReserved);

    RECTL n;
    BLT_NormalizeRect(prclSrc, &n);
    POINTL source{n.left, n.top};
    auto draw = [&](SURFOBJ *pso, XLATEOBJ *xlate, ROP4 rop4) {
        RECTL extent = *prclSrc;
        POINTL point = source;
        return BLT_DoBlt(psoDst, pso, nullptr, pco, xlate, prclDst, &extent, &point, nullptr, nullptr, nullptr, rop4,
                         BLT_KIND_TRANSPARENTBLT, nullptr, 0);
    };
    if (white)
        return draw(&copies.mask, &copies.twoColors, 0xEEEE) && draw(&copies.source, pxlo, 0x8888);
    /* Every one of the three must succeed: a lost first XOR would leave the page inverted. */
    return draw(psoSrc, pxlo, 0x6666) && draw(&copies.mask, &copies.twoColors, 0x2222) && draw(psoSrc, pxlo, 0x6666);
}
