/*
 * Drawing a blt's source as a PCL XL image: the descriptor and band
 * record, the palette, the colour classification and conversion (or the
 * hand-over to the pending list for the colour engine), turning with the
 * page, and SetCursor / SetColorSpace / BeginImage / ReadImage /
 * EndImage.  Also the two-colour mask images of ROP3 0xB8 and 0xE2.
 */
#include "blt_image.h"
#include "blt_image_output.h"
#include "blt_image_spool.h"
#include "blt_records.h"
#include "blt_source.h"
#include "clr_color_object.h"
#include "cmp_raster.h"
#include "draw_blt.h"
#include "pclxl_ops.h"
#include "pdev_context.h"
#include "sheet_state.h"

#include <plat/memory.h>

#include <cstring>
#include <memory>
#include <new>

namespace {

/* Frees a locked moveable block. */
void free_block(HANDLE &block)
{
    if (block) {
        GlobalUnlock(block);
        GlobalFree(block);
        block = nullptr;
    }
}

LONG abs_diff(LONG a, LONG b)
{
    const LONGLONG d = LONGLONG(a) - b;
    return LONG(d < 0 ? -d : d);
}

/* The page's image angle: 0, 90, 180 or 270. */
LONG page_angle(PdevContext *pdev)
{
    const SheetPipelineState *sheet = JOB_SheetState(pdev);
    if (!sheet)
        return 0;
    const LONG a = sheet->pageAngle;
    return a == 90 || a == 180 || a == 270 ? a : 0;
}

/*
 * A 24-bit source in the device's order (blue, green, red) that no pass
 * changes (no colour conversion, colour engine, reduction, mirroring,
 * turn or JPEG) is sent from its own rows: classified and coded where it
 * lies, each row swapped into red, green, blue on its way out, with no
 * copy of the image.  -1 when the image needs the usual road (nothing is
 * sent then), else TRUE / FALSE.
 */
int emit_in_place(PdevContext *pdev, SURFOBJ *psoSrc, const POINTL *pptlSrc, XLATEOBJ *pxlo, ULONG mirror,
                  const DownscaleState *downscale, BOOL plainCopy, const ImageDescriptor &d, ImageBands &bands)
{
    const ColorObject *color = pdev->colorObject;
    const ImageSpool *spool = pdev->imageSpool;
    const BYTE mode = spool ? spool->mode : BYTE(BLT_COMPRESS_NONE);
    const bool reduce = downscale && downscale->mode == 1 && downscale->horizontal && downscale->vertical;
    if (BLT_BitsPerPixel(psoSrc->iBitmapFormat) != 24 || BLT_XlateKind(pxlo, psoSrc->iBitmapFormat) != BLT_XLATE_COPY ||
        mirror != 0 || reduce || !color || CLR_GetMode(color) == 4 ||
        (color->imageFlags & (CLR_IMAGE_BUILTIN | CLR_IMAGE_PROFILE2 | CLR_IMAGE_MATRIX3 | CLR_IMAGE_GREY)) != 0 ||
        page_angle(pdev) != 0 || (mode == BLT_COMPRESS_JPEG && plainCopy))
        return -1;
    const LONG w = d.srcWidth, h = d.srcHeight;
    const BYTE *first = BLT_SourceRow(psoSrc, pptlSrc->y, pptlSrc->x, w);
    if (!first || !BLT_SourceRow(psoSrc, pptlSrc->y + h - 1, pptlSrc->x, w))
        return FALSE; /* rows outside the bitmap's bits */
    const BYTE *pixels = first + size_t(pptlSrc->x) * 3;
    const LONGLONG stride = psoSrc->lDelta;
    if (BLT_ClassifyImageRows(BLT_ImageScanState(pdev), &pdev->pageColors, pdev, pixels, stride, w, h) != 0)
        return FALSE;
    bands.colorSpace = 2;
    bands.indexed = 0;
    bands.colorDepth = XLE_8Bit;
    bands.compression = mode == BLT_COMPRESS_RLE_DELTAROW ? BLT_BAND_DELTAROW : BLT_BAND_NONE;
    BOOL ok = XL_SetCursor(pdev, bands.x, bands.y) == 0 && XL_SetColorSpace(pdev, 2) == 0 &&
              XL_BeginImage(pdev, XLE_DirectPixel, XLE_8Bit, WORD(w), WORD(h), WORD(d.destWidth),
                            WORD(d.destHeight)) == 0 &&
              BLT_WriteImageRows(pdev, ULONG(w) * 3, ULONG(h), &bands, pixels, stride, TRUE);
    return ok && XL_EndImage(pdev) == 0;
}

} // namespace

void BLT_PrepareBands(const RECTL *prclDest, ImageDescriptor *descriptor, ImageBands *bands, ULONG *mirror)
{
    std::memset(descriptor, 0, sizeof *descriptor);
    std::memset(bands, 0, sizeof *bands);
    RECTL n;
    BLT_NormalizeRect(prclDest, &n);
    descriptor->x = FLOAT(n.left);
    descriptor->y = FLOAT(n.top);
    bands->x = n.left;
    bands->y = n.top;
    *mirror = (prclDest->right < prclDest->left ? 1u : 0u) | (prclDest->bottom < prclDest->top ? 2u : 0u);
    descriptor->destWidth = abs_diff(prclDest->right, prclDest->left);
    descriptor->destHeight = abs_diff(prclDest->bottom, prclDest->top);
    descriptor->one = 1;
    descriptor->method = CMP_METHOD_NONE;
    descriptor->paletteDepth = 8;
}

bool BLT_TurnImage(PdevContext *pdev, const RECTL *prclDest, ULONG mirror, ImageDescriptor *descriptor,
                   ImageBands *bands, ULONG bytesPerPixel, const BYTE **pixels, LONG *after)
{
    *after = 0;
    const LONG angle = page_angle(pdev);
    const DWORD w = descriptor->srcWidth, h = descriptor->srcHeight;
    if (angle == 0 || w <= DWORD(BLT_TURN_MIN_SIDE) || h <= DWORD(BLT_TURN_MIN_SIDE) || bytesPerPixel < 1 ||
        bytesPerPixel > 4 || !pdev->imageSpool || !*pixels)
        return false;
    TurnBuffer &turn = pdev->imageSpool->turn;
    const ULONGLONG bytes = ULONGLONG(w) * h * bytesPerPixel;
    if (bytes > 0xFFFFFFFFull)
        return false;
    if (turn.capacity < bytes) {
        auto *grown = new (std::nothrow) BYTE[size_t(bytes)];
        if (!grown)
            return false;
        delete[] turn.buffer;
        turn.buffer = grown;
        turn.capacity = DWORD(bytes);
    }
    std::memset(turn.buffer, 0, size_t(bytes));
    const BYTE *src = *pixels;
    const size_t bpp = bytesPerPixel;
    for (DWORD y = 0; y < h; y++) {
        for (DWORD x = 0; x < w; x++) {
            size_t to;
            if (angle == 180)
                to = (size_t(h - 1 - y) * w + (w - 1 - x)) * bpp;
            else if (angle == 90) /* to (h - 1 - y, x) of an h-wide image */
                to = (size_t(x) * h + (h - 1 - y)) * bpp;
            else /* 270: to (y, w - 1 - x) */
                to = (size_t(w - 1 - x) * h + y) * bpp;
            std::memcpy(turn.buffer + to, src + (size_t(y) * w + x) * bpp, bpp);
        }
    }
    RECTL n;
    BLT_NormalizeRect(prclDest, &n);
    const LONG left = mirror & 1 ? n.right : n.left, right = mirror & 1 ? n.left : n.right;
    const LONG top = mirror & 2 ? n.bottom : n.top, bottom = mirror & 2 ? n.top : n.bottom;
    const LONG dw = descriptor->destWidth, dh = descriptor->destHeight;
    LONG cx, cy;
    if (angle == 180) {
        cx = -right;
        cy = -bottom;
        *after = 180;
    } else if (angle == 90) {
        cx = -(top + dh);
        cy = left;
        *after = 270;
    } else {
        cx = top;
        cy = -(left + dw);
        *after = 90;
    }
    if (XL_SetPageRotation(pdev, angle) != 0) {
        *after = 0;
        return false;
    }
    bands->x = cx;
    bands->y = cy;
    if (angle != 180) {
        descriptor->srcWidth = WORD(h);
        descriptor->srcHeight = WORD(w);
        descriptor->destWidth = dh;
        descriptor->destHeight = dw;
    }
    *pixels = turn.buffer;
    return true;
}

BOOL BLT_EmitImage(PdevContext *pdev, SURFOBJ *psoSrc, const SIZEL *size, const POINTL *pptlSrc,
                   const RECTL *prclDest, XLATEOBJ *pxlo, const float scale[6], CLIPOBJ *pco,
                   DownscaleState *downscale, BOOL plainCopy)
{
    if (!pdev || !size || !pptlSrc || !prclDest || !scale)
        return FALSE;
    ColorObject *color = pdev->colorObject;
    bool engine = CLR_GetMode(color) == 4;
    ImageDescriptor d;
    ImageBands bands;
    ULONG mirror = 0;
    BLT_PrepareBands(prclDest, &d, &bands, &mirror);
    std::memcpy(d.scale, scale, sizeof d.scale);
    if (!psoSrc)
        return TRUE;
    if (size->cx <= 0 || size->cy <= 0 || size->cx > BLT_MAX_SIDE || size->cy > BLT_MAX_SIDE ||
        d.destWidth > BLT_MAX_SIDE || d.destHeight > BLT_MAX_SIDE)
        return FALSE;
    d.srcWidth = WORD(size->cx);
    d.srcHeight = WORD(size->cy);
    d.sourceKind = 2;
    ULONG b = BLT_BitsPerPixel(psoSrc->iBitmapFormat);
    if (b == 0)
        return FALSE;
    if (b > 8)
        b = 24;
    d.colorFormat = b <= 8 ? BLT_FORMAT_PALETTE : BLT_FORMAT_RGB;
    d.bits = BYTE(b < 8 ? b : 8);
    const ULONGLONG imageBytes = (ULONGLONG(b) * ULONG(size->cx) + 7) / 8 * ULONG(size->cy);
    if (imageBytes > 0xFFFFFFFFull)
        return FALSE;
    d.imageBytes = DWORD(imageBytes);
    if (!engine)
        if (const int sent = emit_in_place(pdev, psoSrc, pptlSrc, pxlo, mirror, downscale, plainCopy, d, bands);
            sent >= 0)
            return BOOL(sent);

    HANDLE block = nullptr;
    BYTE *pixels = BLT_ReadSourceBits(psoSrc, size, pptlSrc, pxlo, 0, &block, downscale, mirror);
    if (!pixels && engine) {
        /* No memory for the engine's image: what it holds goes out without it, and so does this one. */
        BLT_FlushPendingImages(pdev, FALSE);
        color->imageFlags = WORD(color->imageFlags & ~CLR_IMAGE_ENGINE);
        engine = false;
        pixels = BLT_ReadSourceBits(psoSrc, size, pptlSrc, pxlo, 0, &block, downscale, mirror);
    }
    if (!pixels)
        return FALSE;

    BYTE palette[768] = {};
    ULONG count = 0;
    BOOL blackWhite = FALSE;
    if (d.colorFormat == BLT_FORMAT_PALETTE) {
        count = BLT_BuildPalette(pxlo, b, palette);
        if (!plainCopy) {
            blackWhite = TRUE;
            for (ULONG i = 0; i < count && blackWhite; i++) {
                const BYTE *e = palette + i * 3;
                blackWhite = (e[0] == 0 && e[1] == 0 && e[2] == 0) || (e[0] == 0xFF && e[1] == 0xFF && e[2] == 0xFF);
            }
        }
        d.paletteCount = WORD(count);
        d.paletteBytes = WORD(count * 3);
        d.palette = palette;
    }
    if (BLT_ClassifyImageColors(BLT_ImageScanState(pdev), &pdev->pageColors, pdev, pixels, size->cx, size->cy,
                                palette, LONG(count), d.colorFormat, LONG(b)) != 0) {
        free_block(block);
        return FALSE;
    }
    if (engine) {
        d.palette = nullptr;
        const int queued = BLT_QueuePendingImage(pdev->pendingImages, pco, prclDest, &d, &pixels, &block);
        if (queued == 0)
            return TRUE;
        if (queued != -2 || BLT_FlushPendingImages(pdev, FALSE) != 0) {
            free_block(block);
            return FALSE;
        }
        color->imageFlags = WORD(color->imageFlags & ~CLR_IMAGE_ENGINE);
        d.palette = count ? palette : nullptr;
    }

    /* Colour conversion into a buffer of the image's size. */
    std::unique_ptr<BYTE[]> converted;
    BYTE greyPalette[768] = {};
    BYTE outPalette[768] = {};
    const BYTE *rows = pixels;
    int result;
    const WORD passes = color ? WORD(color->imageFlags & (CLR_IMAGE_BUILTIN | CLR_IMAGE_PROFILE2 | CLR_IMAGE_MATRIX3 |
                                                         CLR_IMAGE_GREY))
                              : 0;
    if (d.colorFormat == BLT_FORMAT_RGB && color && !passes) {
        /* No pass would change a pixel: the rows read are the rows sent, without a copy. */
        result = CLR_RESULT_COLOR;
    } else if (d.colorFormat == BLT_FORMAT_RGB) {
        converted.reset(new (std::nothrow) BYTE[size_t(d.imageBytes)]);
        if (!converted) {
            free_block(block);
            return FALSE;
        }
        result = CLR_ConvertImageRows(color, pixels, converted.get(), size->cx, size->cy, nullptr, nullptr, 0,
                                      CLR_FORMAT_RGB, 24, FALSE, 0);
        rows = converted.get();
    } else {
        result = CLR_ConvertImageRows(color, pixels, nullptr, size->cx, size->cy, palette, outPalette, LONG(count),
                                      CLR_FORMAT_PALETTE, LONG(b), blackWhite, 0);
    }
    const BYTE *paletteBytes = outPalette;
    if (result == CLR_RESULT_GREY) {
        bands.colorSpace = 1;
        if (d.colorFormat == BLT_FORMAT_PALETTE) {
            d.colorFormat = BLT_FORMAT_GREY_PALETTE;
            bands.indexed = 1;
            std::memcpy(greyPalette, outPalette, count);
            paletteBytes = greyPalette;
            d.palette = greyPalette;
            d.paletteBytes = WORD(count);
        } else {
            d.colorFormat = BLT_FORMAT_GREY;
            d.imageBytes /= 3;
        }
    } else if (result == CLR_RESULT_COLOR) {
        bands.colorSpace = 2;
        bands.indexed = d.colorFormat == BLT_FORMAT_PALETTE;
        if (bands.indexed)
            d.palette = outPalette;
    } else {
        free_block(block);
        return FALSE;
    }

    /* Depth and row bits. */
    bands.colorDepth = b >= 8 ? XLE_8Bit : (b == 4 ? XLE_4Bit : XLE_1Bit);
    const ULONG rowBits = bands.indexed ? (b >= 8 ? 8 : b) : (bands.colorSpace == 2 ? 24 : 8);
    LONG after = 0;
    const bool turned = BLT_TurnImage(pdev, prclDest, mirror, &d, &bands, rowBits % 8 ? 0 : rowBits / 8, &rows,
                                      &after);
    const ImageSpool *spool = pdev->imageSpool;
    const BYTE mode = spool ? spool->mode : BYTE(BLT_COMPRESS_NONE);
    BOOL ok = TRUE;
    bool done = false;
    if (mode == BLT_COMPRESS_JPEG && plainCopy) {
        if (!BLT_WriteJpegImageBands(pdev, &d, &bands, rows))
            ok = FALSE;
        done = !ok || d.method == CMP_METHOD_JPEG;
    }
    BYTE swapped[768];
    std::unique_ptr<BYTE[]> rgbRows;
    if (!done) {
        ok = XL_SetCursor(pdev, bands.x, bands.y) == 0;
        if (ok && bands.indexed) {
            DWORD length = count;
            const BYTE *pal = paletteBytes;
            if (bands.colorSpace == 2) {
                std::memcpy(swapped, outPalette, count * 3);
                CMP_SwapRgb(swapped, count, 1);
                pal = swapped;
                length = count * 3;
            }
            ok = XL_SetColorSpaceIndexed(pdev, bands.colorSpace, XLE_8Bit, bands.colorDepth, length, pal) == 0;
        } else if (ok) {
            ok = XL_SetColorSpace(pdev, bands.colorSpace) == 0;
        }
        const DWORD w = d.srcWidth, h = d.srcHeight;
        const ULONG rowBytes = ULONG((ULONGLONG(rowBits) * w + 7) / 8);
        if (ok && !bands.indexed && bands.colorSpace == 2) {
            /* The printer takes red, green, blue: swap in a buffer of our own (the rows may be the turn buffer). */
            if (rows == converted.get() || rows == pixels) {
                CMP_SwapRgb(const_cast<BYTE *>(rows), w, h);
            } else {
                rgbRows.reset(new (std::nothrow) BYTE[size_t(rowBytes) * h]);
                ok = rgbRows != nullptr;
                if (ok) {
                    std::memcpy(rgbRows.get(), rows, size_t(rowBytes) * h);
                    CMP_SwapRgb(rgbRows.get(), w, h);
                    rows = rgbRows.get();
                }
            }
        }
        ok = ok && XL_BeginImage(pdev, bands.indexed ? XLE_IndexedPixel : XLE_DirectPixel, bands.colorDepth, WORD(w),
                                 WORD(h), WORD(d.destWidth), WORD(d.destHeight)) == 0;
        if (ok) {
            bands.compression = BLT_BAND_NONE;
            if (mode == BLT_COMPRESS_RLE_DELTAROW)
                bands.compression = bands.colorSpace == 1 ? BLT_BAND_RLE : BLT_BAND_DELTAROW;
            ok = BLT_WriteImageBands(pdev, rowBytes, h, &bands, rows);
        }
    }
    if (ok)
        ok = XL_EndImage(pdev) == 0;
    if (turned && XL_SetPageRotation(pdev, after) != 0)
        ok = FALSE;
    free_block(block);
    return ok;
}

LONG *BLT_ImageScanState(PdevContext *pdev) { return pdev ? pdev->colorScanState : nullptr; }

bool BLT_IsTwoColorMask(SURFOBJ *psoSrc, const SIZEL *size, const POINTL *pptlSrc, XLATEOBJ *pxlo, BRUSHOBJ *pbo,
                        LONG ropMode, BYTE rop3)
{
    if (!psoSrc || !size || !pptlSrc || !pbo || ropMode != 2 || (rop3 != 0xB8 && rop3 != 0xE2) ||
        pbo->iSolidColor == BO_NOT_SOLID)
        return false;
    const ULONG b = BLT_BitsPerPixel(psoSrc->iBitmapFormat);
    if (b == 0 || size->cx <= 0 || size->cy <= 0)
        return false;
    /* Past a palette table the translation answers 0xFFFFFFFF, which is neither. */
    auto blackOrWhite = [b](ULONG c) {
        if (b > 8)
            c &= 0xFFFFFFu;
        return c == 0 || c == 0xFFFFFFu;
    };
    if (b == 1)
        return blackOrWhite(XLATEOBJ_iXlate(pxlo, 0)) && blackOrWhite(XLATEOBJ_iXlate(pxlo, 1));
    for (LONG y = 0; y < size->cy; y++) {
        const BYTE *row = BLT_SourceRow(psoSrc, pptlSrc->y + y, pptlSrc->x, size->cx);
        if (!row)
            return false;
        for (LONG x = 0; x < size->cx; x++)
            if (!blackOrWhite(XLATEOBJ_iXlate(pxlo, BLT_RowPixel(row, b, ULONGLONG(pptlSrc->x) + ULONGLONG(x)))))
                return false;
    }
    return true;
}

BOOL BLT_EmitMaskImage(PdevContext *pdev, SURFOBJ *psoSrc, const SIZEL *size, const POINTL *pptlSrc,
                       const RECTL *prclDest, XLATEOBJ *pxlo, const float *, BYTE, DownscaleState *downscale)
{
    if (!pdev || !psoSrc || !size || !pptlSrc || !prclDest || size->cx <= 0 || size->cy <= 0 ||
        size->cx > BLT_MAX_SIDE || size->cy > BLT_MAX_SIDE)
        return FALSE;
    ImageDescriptor d;
    ImageBands bands;
    ULONG mirror = 0;
    BLT_PrepareBands(prclDest, &d, &bands, &mirror);
    if (d.destWidth > BLT_MAX_SIDE || d.destHeight > BLT_MAX_SIDE)
        return FALSE;
    BYTE palette[6] = {0, 0, 0, 0xFF, 0xFF, 0xFF};
    if (BLT_BitsPerPixel(psoSrc->iBitmapFormat) == 1)
        for (ULONG i = 0; i < 2; i++)
            std::memset(palette + i * 3, XLATEOBJ_iXlate(pxlo, i) == 0xFFFFFFu ? 0xFF : 0, 3);
    HANDLE block = nullptr;
    const BYTE *rows = BLT_ReadSourceBits(psoSrc, size, pptlSrc, pxlo, 1, &block, downscale, mirror);
    if (!rows)
        return FALSE;
    const ImageSpool *spool = pdev->imageSpool;
    bands.compression = spool && spool->mode == BLT_COMPRESS_RLE_DELTAROW ? BLT_BAND_RLE : BLT_BAND_NONE;
    const BOOL ok = XL_SetColorSpaceIndexed(pdev, 2, XLE_8Bit, XLE_1Bit, sizeof palette, palette) == 0 &&
                    XL_SetCursor(pdev, bands.x, bands.y) == 0 &&
                    XL_BeginImage(pdev, XLE_IndexedPixel, XLE_1Bit, WORD(size->cx), WORD(size->cy),
                                  WORD(d.destWidth), WORD(d.destHeight)) == 0 &&
                    BLT_WriteImageBands(pdev, ULONG(size->cx + 7) / 8, ULONG(size->cy), &bands, rows) &&
                    XL_EndImage(pdev) == 0;
    free_block(block);
    return ok;
}

int BLT_CreateTurnBuffer(PdevContext *pdev)
{
    if (!pdev)
        return -1;
    if (pdev->imageSpool)
        pdev->imageSpool->turn = TurnBuffer{};
    return 0;
}

void BLT_FreeTurnBuffer(PdevContext *pdev)
{
    if (!pdev || !pdev->imageSpool)
        return;
    delete[] pdev->imageSpool->turn.buffer;
    pdev->imageSpool->turn = TurnBuffer{};
}
