/*
 * The blt core, image output, pending images and downscaling, not built
 * yet: each answers its failure visibly (draw_not_built.h), except where a
 * job that holds no pending image defines the answer.  Each is deleted from
 * here when its work is built.
 */
#include "draw_blt.h"
#include "draw_not_built.h"

namespace {

const char16_t kImages[] = u"image output";
const char16_t kPending[] = u"pending images";
const char16_t kDownscale[] = u"downscaling";
const char16_t kTransparent[] = u"transparent blts";

} // namespace

BOOL BLT_FindWhiteIndex(SURFOBJ *, XLATEOBJ *, ULONG *) { return DRAW_NotBuilt(u"BLT_FindWhiteIndex", kTransparent, FALSE); }

BOOL BLT_BuildTransparentMask(SURFOBJ *, SURFOBJ *, SURFOBJ *, ULONG, const ULONG *)
{
    return DRAW_NotBuilt(u"BLT_BuildTransparentMask", kTransparent, FALSE);
}

BOOL BLT_BltSourceImage(PdevContext *, CLIPOBJ *, SURFOBJ *, SURFOBJ *, LONG, LONG, POINTL *, POINTL *, RECTL *,
                        XLATEOBJ *, BRUSHOBJ *, POINTL *, LONG, BYTE)
{
    return DRAW_NotBuilt(u"BLT_BltSourceImage", kImages, FALSE);
}

BOOL BLT_EmitImage(PdevContext *, SURFOBJ *, const SIZEL *, const POINTL *, const RECTL *, XLATEOBJ *, const float *,
                   CLIPOBJ *, DownscaleState *, BOOL)
{
    return DRAW_NotBuilt(u"BLT_EmitImage", kImages, FALSE);
}

BOOL BLT_EmitMaskImage(PdevContext *, SURFOBJ *, const SIZEL *, const POINTL *, const RECTL *, XLATEOBJ *,
                       const float *, BYTE, DownscaleState *)
{
    return DRAW_NotBuilt(u"BLT_EmitMaskImage", kImages, FALSE);
}

bool BLT_IsTwoColorMask(SURFOBJ *, const SIZEL *, const POINTL *, XLATEOBJ *, BRUSHOBJ *, LONG, BYTE)
{
    return DRAW_NotBuilt(u"BLT_IsTwoColorMask", kImages, false);
}

int BLT_XlateKind(XLATEOBJ *, ULONG) { return DRAW_NotBuilt(u"BLT_XlateKind", kImages, -1); }

BYTE *BLT_ReadSourceBits(SURFOBJ *, const SIZEL *, const POINTL *, XLATEOBJ *, LONG, HANDLE *block,
                         DownscaleState *, ULONG)
{
    if (block)
        *block = nullptr;
    return DRAW_NotBuilt<BYTE *>(u"BLT_ReadSourceBits", kImages, nullptr);
}

BOOL BLT_WriteImageBands(PdevContext *, ULONG, ULONG, ImageBands *, const BYTE *)
{
    return DRAW_NotBuilt(u"BLT_WriteImageBands", kImages, FALSE);
}

BOOL BLT_WriteJpegImageBands(PdevContext *, ImageDescriptor *, ImageBands *, const BYTE *)
{
    return DRAW_NotBuilt(u"BLT_WriteJpegImageBands", kImages, FALSE);
}

int BLT_QueuePendingImage(PendingImageList *, CLIPOBJ *, const RECTL *, const ImageDescriptor *, BYTE **, HANDLE *)
{
    return DRAW_NotBuilt(u"BLT_QueuePendingImage", kPending, -1);
}

/* No image is ever held, so the list is empty at the end. */
int BLT_EmitPendingImages(PdevContext *pdev) { return pdev ? 1 : 0; }

BOOL BLT_CopyClip(CLIPOBJ *, const RECTL *, ClipCopy *) { return DRAW_NotBuilt(u"BLT_CopyClip", kPending, FALSE); }

/* Refusing a reduction is safe: the image is then drawn unreduced. */
bool BLT_PlanDownscale(void *, DownscaleState *, SURFOBJ *, const SIZEL *, const RECTL *, LONG, BYTE)
{
    return DRAW_NotBuilt(u"BLT_PlanDownscale", kDownscale, false);
}

bool BLT_InitDownscale(DownscaleState *, LONG, LONG, LONG, LONG)
{
    return DRAW_NotBuilt(u"BLT_InitDownscale", kDownscale, false);
}

bool BLT_BuildAxisTable(DownscaleState *, LONG, LONG, bool)
{
    return DRAW_NotBuilt(u"BLT_BuildAxisTable", kDownscale, false);
}

LONG BLT_DownscaleRows(DownscaleState *, const BYTE *, ULONG, LONG, LONG)
{
    return DRAW_NotBuilt(u"BLT_DownscaleRows", kDownscale, -1);
}

ULONG BLT_GetScaledRow(DownscaleState *, BYTE *, ULONG) { return DRAW_NotBuilt(u"BLT_GetScaledRow", kDownscale, 0u); }

/* No state is ever made, so there is nothing to free. */
void BLT_FreeDownscale(DownscaleState *) {}
