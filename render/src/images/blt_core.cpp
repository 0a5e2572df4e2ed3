/*
 * The bit-block transfer core: the workers of DrvCopyBits, DrvStretchBlt
 * and DrvBitBlt, and the one core they reduce to, which sorts the ROP4
 * into a solid rectangle, a brush rectangle, nothing, an image under one
 * ROP3, or a hand-back to the engine for what the printer cannot express.
 */
#include "blt_image.h"
#include "blt_image_spool.h"
#include "blt_records.h"
#include "clr_color_object.h"
#include "ddi_workers.h"
#include "draw_blt.h"
#include "draw_brush.h"
#include "draw_path.h"
#include "job_state.h"
#include "pclxl_ops.h"
#include "pdev_context.h"

#include <plat/error.h>

namespace {

enum : BYTE {
    kGray = 1,
    kRgb = 2,
};

bool is_brush_rop(ROP4 rop4)
{
    switch (rop4) {
    case 0x0505: case 0x0A0A: case 0x0F0F: case 0x5050: case 0x5555: case 0x5A5A: case 0x5F5F:
    case 0xA0A0: case 0xA5A5: case 0xAFAF: case 0xF0F0: case 0xF5F5: case 0xFAFA:
        return true;
    default:
        return false;
    }
}

LONG abs_side(LONG a, LONG b)
{
    const LONGLONG d = LONGLONG(a) - b;
    return LONG(d < 0 ? -d : d);
}

/* Hands a refused ROP4 back to the engine by the kind of the calling entry point. */
BOOL engine_blt(SURFOBJ *psoDest, SURFOBJ *psoSrc, SURFOBJ *psoMask, CLIPOBJ *pco, XLATEOBJ *pxlo, RECTL *prclDest,
                RECTL *prclSrcExtent, POINTL *pptlSrc, POINTL *pptlMask, BRUSHOBJ *pbo, POINTL *pptlBrush, ROP4 rop4,
                LONG kind, COLORADJUSTMENT *pca, ULONG iMode)
{
    if (kind == BLT_KIND_STRETCHBLTROP)
        return EngStretchBltROP(psoDest, psoSrc, psoMask, pco, pxlo, pca, pptlBrush, prclDest, prclSrcExtent, pptlMask,
                                iMode, pbo, rop4);
    return EngBitBlt(psoDest, psoSrc, psoMask, pco, pxlo, prclDest, pptlSrc, pptlMask, pbo, pptlBrush, rop4);
}

/*
 * Sets the clip of a rectangle fill: the page clip when the rectangle is
 * later cut to a single clip rectangle, else the clip object.  false on failure.
 */
bool rectangle_clip(PdevContext *pdev, RECTL *prclSrcExtent, RECTL *rect, CLIPOBJ *pco, bool *cut)
{
    *cut = BLT_ClipByIntersection(prclSrcExtent, rect, pco);
    return PTH_SetClipRegion(pdev, *cut ? nullptr : pco, rect) == 1;
}

/* Draws the (normalised) rectangle, cut to the clip bounds when asked; an empty cut draws nothing. */
BOOL draw_rectangle(PdevContext *pdev, RECTL rect, CLIPOBJ *pco, bool cut)
{
    if (cut)
        BLT_IntersectClipBounds(&rect, &pco->rclBounds);
    if (rect.left > rect.right || rect.top > rect.bottom)
        return TRUE;
    return XL_Rectangle(pdev, rect.left, rect.top, rect.right, rect.bottom) == 0;
}

BOOL solid_rectangle(PdevContext *pdev, RECTL *prclDest, RECTL *prclSrcExtent, CLIPOBJ *pco, bool white)
{
    RECTL rect;
    BLT_NormalizeRect(prclDest, &rect);
    bool cut = false;
    if (!rectangle_clip(pdev, prclSrcExtent, &rect, pco, &cut))
        return FALSE;
    if (XL_SetColorSpace(pdev, kGray) != 0 || XL_SetBrushGray(pdev, white ? 255 : 0) != 0 || XL_SetPenNull(pdev) != 0)
        return FALSE;
    const BYTE fill[3] = {BYTE(white ? 0xFF : 0), BYTE(white ? 0xFF : 0), BYTE(white ? 0xFF : 0)};
    BYTE converted[3] = {};
    const int kind = CLR_ConvertColor(pdev->colorObject, BLT_ImageScanState(pdev), pdev, pdev->settings, fill,
                                      converted, 1, 1, 0, CLR_KIND_GRAPHICS, FALSE);
    if (kind < 0)
        return FALSE;
    if (XL_SetColorSpace(pdev, kind == CLR_RESULT_GREY ? kGray : kRgb) != 0 ||
        XL_SetFillMode(pdev, XLE_EvenOdd) != 0 || XL_SetPenNull(pdev) != 0 || XL_SetRop(pdev, 0xF0) != 0 ||
        XL_SetPatternTxMode(pdev, XLE_Opaque) != 0 || XL_SetSourceTxMode(pdev, XLE_Opaque) != 0)
        return FALSE;
    return draw_rectangle(pdev, rect, pco, cut);
}

BOOL brush_rectangle(PdevContext *pdev, RECTL *prclDest, RECTL *prclSrcExtent, CLIPOBJ *pco, BRUSHOBJ *pbo,
                     POINTL *pptlBrush, ROP4 rop4)
{
    RECTL rect;
    BLT_NormalizeRect(prclDest, &rect);
    bool cut = false;
    if (!rectangle_clip(pdev, prclSrcExtent, &rect, pco, &cut))
        return FALSE;
    POINTL origin = pptlBrush ? *pptlBrush : POINTL{0, 0};
    if (!BRS_SelectBrush(pdev, 2, &origin, pbo, &rop4) || XL_SetPenNull(pdev) != 0 ||
        XL_SetFillMode(pdev, XLE_EvenOdd) != 0)
        return FALSE;
    return draw_rectangle(pdev, rect, pco, cut);
}

} // namespace

BOOL BLT_DoBlt(SURFOBJ *psoDest, SURFOBJ *psoSrc, SURFOBJ *psoMask, CLIPOBJ *pco, XLATEOBJ *pxlo, RECTL *prclDest,
               RECTL *prclSrcExtent, POINTL *pptlSrc, POINTL *pptlMask, BRUSHOBJ *pbo, POINTL *pptlBrush, ROP4 rop4,
               LONG kind, COLORADJUSTMENT *pca, ULONG iMode)
{
    PdevContext *pdev = PDEV_CheckedFromSurface(psoDest);
    if (!pdev)
        return FALSE;
    if (!prclDest || !prclSrcExtent) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const LONG width = abs_side(prclSrcExtent->right, prclSrcExtent->left);
    const LONG height = abs_side(prclSrcExtent->bottom, prclSrcExtent->top);
    if (pdev->flags & PDEV_FAILED)
        return FALSE;
    if (JOB_PrepareDraw(pdev) == -1)
        return (pdev->flags & PDEV_FAILED) ? FALSE : TRUE; /* pages not printed: nothing is drawn */

    const BYTE fore = BYTE(rop4 & 0xFF), back = BYTE((rop4 >> 8) & 0xFF);
    if (rop4 == 0xCCAA && !psoMask && pbo)
        return TRUE;
    const bool imageRoad = fore == back && !(rop4 == 0x0000 || rop4 == 0xFFFF || is_brush_rop(rop4) || rop4 == 0xAAAA);
    if (!imageRoad && BLT_FlushPendingImages(pdev, TRUE) != 0)
        return FALSE;
    if (rop4 == 0x0000 || rop4 == 0xFFFF)
        return solid_rectangle(pdev, prclDest, prclSrcExtent, pco, rop4 == 0xFFFF);
    if (is_brush_rop(rop4) || ((rop4 == 0xAAA0 || rop4 == 0xAAF0) && !psoMask))
        return brush_rectangle(pdev, prclDest, prclSrcExtent, pco, pbo, pptlBrush, rop4);
    if (rop4 == 0xAAAA)
        return TRUE;
    if (!imageRoad)
        return engine_blt(psoDest, psoSrc, psoMask, pco, pxlo, prclDest, prclSrcExtent, pptlSrc, pptlMask, pbo,
                          pptlBrush, rop4, kind, pca, iMode);

    CLR_PrepareImage(pdev->colorObject, pdev->pendingImages, pdev->settings, pdev, psoSrc ? psoSrc->pvBits : nullptr,
                     width, height, psoSrc ? LONG(BLT_BitsPerPixel(psoSrc->iBitmapFormat)) : 0, 2, fore, 3);
    return BLT_BltSourceImage(pdev, pco, psoSrc, nullptr, width, height, pptlSrc, nullptr, prclDest, pxlo, pbo,
                              pptlBrush, 2, fore);
}

BOOL BLT_BltSourceImage(PdevContext *pdev, CLIPOBJ *pco, SURFOBJ *psoSrc, SURFOBJ *psoMask, LONG width, LONG height,
                        POINTL *pptlSrc, POINTL *pptlMask, RECTL *prclDest, XLATEOBJ *pxlo, BRUSHOBJ *pbo,
                        POINTL *pptlBrush, LONG ropMode, BYTE rop3)
{
    if (!pdev || !prclDest)
        return FALSE;
    POINTL source = pptlSrc ? *pptlSrc : POINTL{0, 0};
    if (psoSrc) {
        if (!pxlo && psoSrc->iBitmapFormat != BMF_24BPP)
            return FALSE;
        if (source.x < 0) {
            width += source.x;
            source.x = 0;
        }
        if (source.y < 0) {
            height += source.y;
            source.y = 0;
        }
        if (LONGLONG(width) > LONGLONG(psoSrc->sizlBitmap.cx) - source.x)
            width = LONG(LONGLONG(psoSrc->sizlBitmap.cx) - source.x);
        if (LONGLONG(height) > LONGLONG(psoSrc->sizlBitmap.cy) - source.y)
            height = LONG(LONGLONG(psoSrc->sizlBitmap.cy) - source.y);
    }
    (void)psoMask; /* the image road draws no mask: the core drops it and its point */
    (void)pptlMask;
    const LONG destWidth = abs_side(prclDest->right, prclDest->left);
    const LONG destHeight = abs_side(prclDest->bottom, prclDest->top);
    /* An empty source or destination draws nothing. */
    if ((psoSrc && (width <= 0 || height <= 0)) || destWidth == 0 || destHeight == 0)
        return TRUE;
    SIZEL size{width, height};
    const bool twoColor = BLT_IsTwoColorMask(psoSrc, &size, &source, pxlo, pbo, ropMode, rop3);
    if (XL_SetRop(pdev, rop3) != 0)
        return FALSE;
    BOOL selected;
    if (pbo && BLT_RopUsesPattern(rop3)) {
        POINTL origin = pptlBrush ? *pptlBrush : POINTL{0, 0};
        selected = BRS_SelectBrush(pdev, 2, &origin, pbo, nullptr);
    } else {
        selected = BRS_SelectBrush(pdev, 2, nullptr, nullptr, nullptr);
    }
    if (!selected)
        return FALSE;
    RECTL rect;
    BLT_NormalizeRect(prclDest, &rect);
    if (CLR_GetMode(pdev->colorObject) != 4 && PTH_SetClipRegion(pdev, pco, &rect) != 1)
        return FALSE;
    DownscaleState *downscale = nullptr;
    if (psoSrc) {
        downscale = BLT_NewDownscale();
        if (downscale && BLT_PlanDownscale(pdev->settings, downscale, psoSrc, &size, prclDest, ropMode, rop3) &&
            BLT_InitDownscale(downscale, size.cx, size.cy, downscale->dstWidth, downscale->dstHeight)) {
            size = SIZEL{downscale->dstWidth, downscale->dstHeight};
        } else {
            BLT_FreeDownscale(downscale);
            downscale = nullptr;
        }
    }
    const float scale[6] = {float(size.cx) / float(destWidth), 0, 0, float(size.cy) / float(destHeight), 0, 0};
    const BOOL ok = twoColor ? BLT_EmitMaskImage(pdev, psoSrc, &size, &source, prclDest, pxlo, scale, rop3, downscale)
                             : BLT_EmitImage(pdev, psoSrc, &size, &source, prclDest, pxlo, scale, pco, downscale,
                                             ropMode == 2 && rop3 == 0xCC);
    BLT_FreeDownscale(downscale);
    return ok;
}

BOOL BLT_CopyBits(SURFOBJ *psoDest, SURFOBJ *psoSrc, CLIPOBJ *pco, XLATEOBJ *pxlo, RECTL *prclDest, POINTL *pptlSrc)
{
    if (!psoDest || !psoSrc || !prclDest) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (psoSrc->iType != STYPE_BITMAP) /* the device surface holds nothing readable */
        return EngEraseSurface(psoDest, prclDest, 0xFFFFFFFFu);
    if (psoDest->iType != STYPE_DEVICE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return BLT_DoBlt(psoDest, psoSrc, nullptr, pco, pxlo, prclDest, prclDest, pptlSrc, nullptr, nullptr, nullptr,
                     0xCCCC, BLT_KIND_COPYBITS, nullptr, 0);
}

BOOL BLT_StretchBlt(SURFOBJ *psoDest, SURFOBJ *psoSrc, SURFOBJ *psoMask, CLIPOBJ *pco, XLATEOBJ *pxlo,
                    COLORADJUSTMENT *pca, POINTL *, RECTL *prclDest, RECTL *prclSrc, POINTL *pptlMask, ULONG iMode)
{
    if (!psoDest || !prclSrc) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    RECTL n;
    BLT_NormalizeRect(prclSrc, &n);
    POINTL source{n.left, n.top};
    return BLT_DoBlt(psoDest, psoSrc, psoMask, pco, pxlo, prclDest, prclSrc, &source, pptlMask, nullptr, nullptr,
                     0xCCCC, BLT_KIND_STRETCHBLT, pca, iMode);
}

BOOL BLT_BitBlt(SURFOBJ *psoTrg, SURFOBJ *psoSrc, SURFOBJ *psoMask, CLIPOBJ *pco, XLATEOBJ *pxlo, RECTL *prclTrg,
                POINTL *pptlSrc, POINTL *pptlMask, BRUSHOBJ *pbo, POINTL *pptlBrush, ROP4 rop4)
{
    if (!psoTrg || !prclTrg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    RECTL extent = *prclTrg;
    return BLT_DoBlt(psoTrg, psoSrc, psoMask, pco, pxlo, prclTrg, &extent, pptlSrc, pptlMask, pbo, pptlBrush, rop4,
                     BLT_KIND_BITBLT, nullptr, 0);
}
