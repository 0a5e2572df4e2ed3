/*
 * The bitmap download: a font header with a "BR" segment (the printer's
 * resolution) and one bitmap character per glyph image the engine
 * rendered, widened by a few pixels when the font simulates bold.
 */
#include "draw_font_download.h"
#include "pclxl_ops.h"
#include "pdev_context.h"

#include <tarvel/base/util_system.h>

#include <plat/engine_fonts.h>
#include <plat/error.h>
#include <plat/memory.h>

#include <cstring>

namespace {

constexpr WORD kSettingXResolution = 20;
constexpr WORD kSettingYResolution = 21;
constexpr BYTE kBitmapTechnology = 254;
constexpr DWORD kBitmapHeaderSize = 24;
constexpr DWORD kBitmapCharHeaderSize = 10;
constexpr LONG kMaxExtent = 0xFFFF;

void put16(BYTE *p, DWORD v)
{
    p[0] = BYTE(v >> 8);
    p[1] = BYTE(v);
}

WORD setting16(PdevContext *pdev, WORD id)
{
    WORD value = 0;
    return PDEV_GetSetting16(pdev, id, &value) == 0 ? value : 0;
}

DWORD row_bytes(LONG width) { return DWORD(width + 7) / 8; }

bool pixel(const BYTE *rows, DWORD stride, LONG x, LONG y) { return rows[y * stride + x / 8] & (0x80 >> (x % 8)); }

} // namespace

int FNT_WriteBitmapHeader(PdevContext *pdev, const char *name, WORD symbolSet, WORD characters)
{
    if (!pdev || !name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    BYTE h[kBitmapHeaderSize] = {};
    put16(h + 2, symbolSet);
    h[4] = kBitmapTechnology;
    put16(h + 6, characters);
    h[8] = 'B';
    h[9] = 'R';
    h[13] = 4; /* segment size */
    put16(h + 14, setting16(pdev, kSettingXResolution));
    put16(h + 16, setting16(pdev, kSettingYResolution));
    put16(h + 18, 0xFFFF);
    if (XL_BeginFontHeader(pdev, name) != 0 || XL_ReadFontHeader(pdev, h, sizeof h) != 0)
        return -1;
    return XL_EndFontHeader(pdev);
}

void FNT_EmboldenPlan(LONG size, LONG *left, LONG *top, LONG *right, LONG *bottom)
{
    LONG l = 0, t = 0, r = 0, b = 0;
    if (UTL_IsXpOrLater() || size < 650) {
    } else if (size < 1500) {
        t = r = 1;
    } else if (size < 2100) {
        l = t = r = b = 1;
    } else if (size < 2500) {
        l = b = 1;
        t = r = 2;
    } else if (size < 2900) {
        l = t = r = b = 2;
    } else {
        const LONG k = (size - 2900) / 600 + 5;
        l = b = k / 2;
        t = r = k - k / 2;
    }
    if (left)
        *left = l;
    if (top)
        *top = t;
    if (right)
        *right = r;
    if (bottom)
        *bottom = b;
}

BOOL FNT_EmboldenBitmap(const BYTE *src, LONG width, LONG height, BYTE *dst, LONG left, LONG top, LONG right,
                        LONG bottom)
{
    if (!src || !dst || width < 0 || height < 0 || left < 0 || top < 0 || right < 0 || bottom < 0)
        return FALSE;
    const LONG outWidth = width + left + right, outHeight = height + top + bottom;
    const DWORD srcStride = row_bytes(width), dstStride = row_bytes(outWidth);
    std::memset(dst, 0, size_t(dstStride) * size_t(outHeight));
    /* every set pixel lands at its place and at each point of the margin rectangle's outline */
    for (LONG y = 0; y < height; y++) {
        for (LONG x = 0; x < width; x++) {
            if (!pixel(src, srcStride, x, y))
                continue;
            auto set = [&](LONG dx, LONG dy) {
                const LONG px = x + left + dx, py = y + top + dy;
                dst[py * dstStride + px / 8] |= BYTE(0x80 >> (px % 8));
            };
            set(0, 0);
            for (LONG dx = -left; dx <= right; dx++) {
                set(dx, -top);
                set(dx, bottom);
            }
            for (LONG dy = -top; dy <= bottom; dy++) {
                set(-left, dy);
                set(right, dy);
            }
        }
    }
    return TRUE;
}

int FNT_WriteBitmapGlyph(PdevContext *pdev, FONTOBJ *pfo, const GLYPHPOS *pgp, WORD code, FLOAT charSize)
{
    if (!pdev || !pfo || !pgp) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    GLYPHBITS *bits = pgp->pgdf ? pgp->pgdf->pgb : nullptr;
    if (!bits) {
        GLYPHDATA *data = nullptr;
        HGLYPH handle = pgp->hg;
        if (FONTOBJ_cGetGlyphs(pfo, FO_GLYPHBITS, 1, &handle, reinterpret_cast<PVOID *>(&data)) != 1 || !data ||
            !data->gdf.pgb) {
            SetLastError(ERROR_INVALID_DATA); /* the engine has no image of the glyph */
            return -1;
        }
        bits = data->gdf.pgb;
    }
    const LONG width = bits->sizlBitmap.cx, height = bits->sizlBitmap.cy;
    if (width < 0 || height < 0 || width > kMaxExtent || height > kMaxExtent) {
        SetLastError(ERROR_INVALID_DATA);
        return -1;
    }
    LONG l = 0, t = 0, r = 0, b = 0;
    if (pfo->flFontType & FO_SIM_BOLD) {
        const WORD resolution = setting16(pdev, kSettingXResolution);
        FNT_EmboldenPlan(LONG(charSize * 7200.0f / (resolution ? resolution : 72)), &l, &t, &r, &b);
    }
    const LONG outWidth = width + l + r, outHeight = height + t + b;
    if (outWidth > kMaxExtent || outHeight > kMaxExtent) {
        SetLastError(ERROR_INVALID_DATA);
        return -1;
    }
    const SIZE_T imageSize = SIZE_T(row_bytes(outWidth)) * SIZE_T(outHeight);
    auto *record = static_cast<BYTE *>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, kBitmapCharHeaderSize + imageSize));
    if (!record) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return -1;
    }
    put16(record + 2, WORD(SHORT(bits->ptlOrigin.x - l)));
    put16(record + 4, WORD(SHORT(t - bits->ptlOrigin.y)));
    put16(record + 6, DWORD(outWidth));
    put16(record + 8, DWORD(outHeight));
    if (l || t || r || b)
        FNT_EmboldenBitmap(bits->aj, width, height, record + kBitmapCharHeaderSize, l, t, r, b);
    else
        std::memcpy(record + kBitmapCharHeaderSize, bits->aj, imageSize);
    const int rc = XL_ReadChar(pdev, code, record, DWORD(kBitmapCharHeaderSize + imageSize));
    HeapFree(GetProcessHeap(), 0, record);
    return rc == 0 ? 0 : -1;
}
