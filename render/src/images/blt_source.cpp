/*
 * Reading the source of a blt: the source rectangle of a 1- to 32-bit
 * engine bitmap, top-down or bottom-up, into a moveable block of packed
 * rows (indices for 1, 4 and 8 bits, blue, green, red for the rest, or a
 * one-bit white mask), with the translation applied as its kind asks,
 * mirrored as the destination is, and reduced through the downscaler.
 * The source bits are the application's: every row read is first checked
 * to lie inside the bitmap's bits.
 */
#include "blt_records.h"
#include "blt_source.h"
#include "draw_blt.h"

#include <plat/memory.h>

#include <cstring>
#include <memory>
#include <new>

namespace {

/* Bytes of `pixels` pixels of `bits` bits, rounded up. */
inline ULONGLONG row_bytes(ULONGLONG pixels, ULONG bits) { return (pixels * bits + 7) / 8; }

/* Pixel `i` of a packed 1-, 4- or 8-bit row (most significant bits first). */
inline ULONG packed_pixel(const BYTE *row, ULONG bits, ULONGLONG i)
{
    switch (bits) {
    case 1: return (row[i >> 3] >> (7 - (i & 7))) & 1u;
    case 4: return (i & 1) ? row[i >> 1] & 0x0Fu : row[i >> 1] >> 4;
    default: return row[i];
    }
}

/* Stores pixel `i` of a packed row of `bits` bits (the row starts zeroed). */
inline void put_packed(BYTE *row, ULONG bits, ULONGLONG i, ULONG value)
{
    switch (bits) {
    case 1:
        if (value)
            row[i >> 3] = BYTE(row[i >> 3] | (0x80u >> (i & 7)));
        break;
    case 4: row[i >> 1] = BYTE(row[i >> 1] | ((i & 1) ? (value & 0x0F) : (value & 0x0F) << 4)); break;
    default: row[i] = BYTE(value); break;
    }
}

/* The raw value of pixel `i` of a 16-, 24- or 32-bit row (little-endian). */
inline ULONG wide_pixel(const BYTE *row, ULONG bits, ULONGLONG i)
{
    const BYTE *p = row + i * (bits / 8);
    switch (bits) {
    case 16: return ULONG(p[0]) | ULONG(p[1]) << 8;
    case 24: return ULONG(p[0]) | ULONG(p[1]) << 8 | ULONG(p[2]) << 16;
    default: return ULONG(p[0]) | ULONG(p[1]) << 8 | ULONG(p[2]) << 16 | ULONG(p[3]) << 24;
    }
}

/* Writes the three low bytes of `value`, lowest first. */
inline void put3(BYTE *out, ULONG value)
{
    out[0] = BYTE(value);
    out[1] = BYTE(value >> 8);
    out[2] = BYTE(value >> 16);
}

/* One 16-, 24- or 32-bit pixel as three bytes (blue, green, red) by the translation kind. */
inline void convert_pixel(const BYTE *row, ULONG bits, ULONGLONG i, XLATEOBJ *pxlo, int kind, BYTE *out)
{
    const BYTE *p = row + i * (bits / 8);
    switch (kind) {
    case BLT_XLATE_SWAP:
        out[0] = p[2];
        out[1] = p[1];
        out[2] = p[0];
        return;
    case BLT_XLATE_COPY:
    case BLT_XLATE_DROP_FOURTH:
        out[0] = p[0];
        out[1] = p[1];
        out[2] = p[2];
        return;
    default: put3(out, XLATEOBJ_iXlate(pxlo, wide_pixel(row, bits, i))); return;
    }
}

/* Reverses the `width` pixels of a packed row of `bits` bits (1, 4, 8 or 24) in place. */
void mirror_row(BYTE *row, ULONG bits, ULONG width, BYTE *work)
{
    const ULONGLONG bytes = row_bytes(width, bits);
    if (bits == 24) {
        for (ULONG i = 0, j = width ? width - 1 : 0; i < j; i++, j--)
            for (int c = 0; c < 3; c++) {
                const BYTE t = row[i * 3 + c];
                row[i * 3 + c] = row[size_t(j) * 3 + c];
                row[size_t(j) * 3 + c] = t;
            }
        return;
    }
    std::memset(work, 0, size_t(bytes));
    for (ULONG i = 0; i < width; i++)
        put_packed(work, bits, i, packed_pixel(row, bits, width - 1 - i));
    std::memcpy(row, work, size_t(bytes));
}

} // namespace

int BLT_XlateKind(XLATEOBJ *pxlo, ULONG iBitmapFormat)
{
    const ULONG bits = BLT_BitsPerPixel(iBitmapFormat);
    if (bits == 0)
        return -1;
    if (bits <= 8)
        return BLT_XLATE_PALETTE;
    if (bits == 16)
        return BLT_XLATE_EACH;
    const ULONG a = XLATEOBJ_iXlate(pxlo, 0x0000FFu), b = XLATEOBJ_iXlate(pxlo, 0x00FF00u),
                c = XLATEOBJ_iXlate(pxlo, 0xFF0000u), d = XLATEOBJ_iXlate(pxlo, 0xFF000000u);
    if (a == 0xFF0000u && b == 0x00FF00u && c == 0x0000FFu && d == 0)
        return BLT_XLATE_SWAP;
    const bool same3 = a == 0x0000FFu && b == 0x00FF00u && c == 0xFF0000u;
    if (same3 && d == 0)
        return bits == 32 ? BLT_XLATE_DROP_FOURTH : BLT_XLATE_EACH;
    if (same3 && d == 0xFF000000u && bits == 24)
        return BLT_XLATE_COPY;
    return BLT_XLATE_EACH;
}

const BYTE *BLT_SourceRow(const SURFOBJ *pso, LONG y, LONG x, LONG width)
{
    if (!pso || !pso->pvScan0 || !pso->pvBits || y < 0 || x < 0 || width <= 0 || y >= pso->sizlBitmap.cy ||
        LONGLONG(x) + width > pso->sizlBitmap.cx)
        return nullptr;
    const ULONG bits = BLT_BitsPerPixel(pso->iBitmapFormat);
    if (bits == 0)
        return nullptr;
    const BYTE *base = static_cast<const BYTE *>(pso->pvBits);
    const BYTE *scan0 = static_cast<const BYTE *>(pso->pvScan0);
    const LONGLONG offset = LONGLONG(scan0 - base) + LONGLONG(y) * pso->lDelta + LONGLONG(ULONGLONG(x) * bits / 8);
    const LONGLONG need = LONGLONG(row_bytes(ULONGLONG(x) + width, bits) - ULONGLONG(x) * bits / 8);
    if (offset < 0 || offset + need > LONGLONG(pso->cjBits))
        return nullptr;
    /* The row as it starts at x = 0 (bits before x are skipped by pixel index). */
    return base + offset - LONGLONG(ULONGLONG(x) * bits / 8);
}

ULONG BLT_RowPixel(const BYTE *row, ULONG bits, ULONGLONG i)
{
    return bits <= 8 ? packed_pixel(row, bits, i) : wide_pixel(row, bits, i);
}

BYTE *BLT_ReadSourceBits(SURFOBJ *psoSrc, const SIZEL *size, const POINTL *pptlSrc, XLATEOBJ *pxlo, LONG kind,
                         HANDLE *block, DownscaleState *downscale, ULONG mirror)
{
    if (block)
        *block = nullptr;
    if (!psoSrc || !size || !pptlSrc || !block || (kind != 0 && kind != 1))
        return nullptr;
    const ULONG b = BLT_BitsPerPixel(psoSrc->iBitmapFormat);
    const int xk = BLT_XlateKind(pxlo, psoSrc->iBitmapFormat);
    if (b == 0 || xk < 0)
        return nullptr;
    const bool reduce = kind == 0 && b > 8 && downscale && downscale->mode == 1 && downscale->horizontal &&
                        downscale->vertical;
    /* Source rows read and output rows made. */
    const LONG srcW = reduce ? downscale->srcWidth : size->cx, srcH = reduce ? downscale->srcHeight : size->cy;
    const LONG outW = reduce ? downscale->dstWidth : size->cx, outH = reduce ? downscale->dstHeight : size->cy;
    if (srcW <= 0 || srcH <= 0 || srcW > BLT_MAX_SIDE || srcH > BLT_MAX_SIDE || outW <= 0 || outH <= 0)
        return nullptr;
    const ULONG o = kind == 1 ? 1 : (b <= 8 ? b : 24);
    const ULONG rowOut = ULONG(row_bytes(ULONG(outW), o));
    const ULONGLONG total = ULONGLONG(rowOut) * ULONGLONG(outH);
    if (total > 0xFFFFFFFFull)
        return nullptr;
    /* Every source row must lie inside the bitmap before anything is allocated. */
    for (LONG r = 0; r < srcH; r += (srcH > 1 ? srcH - 1 : 1))
        if (!BLT_SourceRow(psoSrc, pptlSrc->y + r, pptlSrc->x, srcW))
            return nullptr;

    HANDLE h = GlobalAlloc(GMEM_MOVEABLE | GMEM_ZEROINIT, SIZE_T(total));
    BYTE *out = h ? static_cast<BYTE *>(GlobalLock(h)) : nullptr;
    const size_t workBytes = size_t(srcW) * 3 + 8;
    std::unique_ptr<BYTE[]> work(new (std::nothrow) BYTE[workBytes]);
    std::unique_ptr<BYTE[]> flip(new (std::nothrow) BYTE[size_t(rowOut) + 8]);
    if (!out || !work || !flip) {
        if (h) {
            GlobalUnlock(h);
            GlobalFree(h);
        }
        return nullptr;
    }

    const bool mirrorX = mirror & 1, mirrorY = mirror & 2;
    LONG made = 0;
    for (LONG r = 0; r < srcH && made < outH; r++) {
        const LONG y = pptlSrc->y + (mirrorY && !reduce ? srcH - 1 - r : r);
        const BYTE *src = BLT_SourceRow(psoSrc, y, pptlSrc->x, srcW);
        if (!src) { /* checked above; a row inside the checked ones cannot fail */
            GlobalUnlock(h);
            GlobalFree(h);
            return nullptr;
        }
        const ULONGLONG x0 = ULONGLONG(pptlSrc->x);
        BYTE *dst = reduce ? work.get() : out + size_t(made) * rowOut;
        if (kind == 1 && b > 1) {
            std::memset(dst, 0, rowOut);
            for (LONG i = 0; i < srcW; i++) {
                bool white;
                if (b <= 8) {
                    white = XLATEOBJ_iXlate(pxlo, packed_pixel(src, b, x0 + ULONGLONG(i))) == 0xFFFFFFu;
                } else {
                    BYTE px[3];
                    convert_pixel(src, b, x0 + ULONGLONG(i), pxlo, xk, px);
                    white = px[0] == 0xFF && px[1] == 0xFF && px[2] == 0xFF;
                }
                put_packed(dst, 1, ULONGLONG(i), white);
            }
        } else if (b <= 8) {
            if ((x0 * b) % 8 == 0) {
                std::memcpy(dst, src + x0 * b / 8, rowOut);
                if (srcW * b % 8) /* clear the bits beyond the width in the last byte */
                    dst[rowOut - 1] = BYTE(dst[rowOut - 1] & (0xFF00u >> (srcW * b % 8)));
            } else {
                std::memset(dst, 0, rowOut);
                for (LONG i = 0; i < srcW; i++)
                    put_packed(dst, b, ULONGLONG(i), packed_pixel(src, b, x0 + ULONGLONG(i)));
            }
        } else if (xk == BLT_XLATE_COPY) {
            std::memcpy(dst, src + x0 * 3, size_t(srcW) * 3);
        } else {
            for (LONG i = 0; i < srcW; i++)
                convert_pixel(src, b, x0 + ULONGLONG(i), pxlo, xk, dst + size_t(i) * 3);
        }
        if (reduce) {
            const LONG n = BLT_DownscaleRows(downscale, work.get(), ULONG(srcW) * 3, srcW, 24);
            if (n < 0) {
                GlobalUnlock(h);
                GlobalFree(h);
                return nullptr;
            }
            if (n == 0)
                continue;
            const LONG at = mirrorY ? outH - 1 - made : made;
            BLT_GetScaledRow(downscale, out + size_t(at) * rowOut, rowOut);
            dst = out + size_t(at) * rowOut;
        }
        if (mirrorX)
            mirror_row(dst, o, ULONG(outW), flip.get());
        made++;
    }
    *block = h;
    return out;
}

ULONG BLT_BuildPalette(XLATEOBJ *pxlo, ULONG bits, BYTE *palette)
{
    if (!palette || (bits != 1 && bits != 4 && bits != 8))
        return 0;
    ULONG count = 1u << bits;
    if (pxlo && (pxlo->flXlate & XO_TABLE) && pxlo->cEntries > 0 && pxlo->cEntries < count)
        count = pxlo->cEntries;
    for (ULONG i = 0; i < count; i++)
        put3(palette + i * 3, XLATEOBJ_iXlate(pxlo, i));
    return count;
}
