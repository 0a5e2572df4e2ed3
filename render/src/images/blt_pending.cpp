/*
 * The job's image spool and the list of images held for the colour
 * engine: queueing a strip with a copy of its clip, and the flush that has
 * the colour object convert the held strips and writes them in the order
 * they came, each under its own clip, uncompressed or as JPEG.
 */
#include "blt_image.h"
#include "blt_image_spool.h"
#include "blt_records.h"
#include "clr_color_object.h"
#include "cmp_raster.h"
#include "draw_blt.h"
#include "draw_path.h"
#include "pclxl_ops.h"
#include "pdev_context.h"

#include <plat/error.h>
#include <plat/memory.h>

#include <cstring>
#include <new>

namespace {

/* Engine error of the pending walk. */
constexpr int kEngineError = -6;

void free_clip(ClipCopy &clip)
{
    if (clip.points)
        HeapFree(GetProcessHeap(), 0, clip.points);
    clip.points = nullptr;
    clip.pointBytes = 0;
    clip.records = 0;
}

/* Removes the first node, freeing its clip points and pixels. */
void remove_first(PendingImageList *list)
{
    PendingImage *node = list->first;
    if (!node)
        return;
    list->first = node->next;
    if (list->first)
        list->first->prev = nullptr;
    else
        list->last = nullptr;
    list->count--;
    free_clip(node->clip);
    if (node->block) {
        if (node->pixels)
            GlobalUnlock(node->block);
        GlobalFree(node->block);
    }
    delete node;
}

void append(PendingImageList *list, PendingImage *node)
{
    node->prev = list->last;
    node->next = nullptr;
    if (list->last)
        list->last->next = node;
    else
        list->first = node;
    list->last = node;
    list->count++;
}

/* Writes one held image.  true when written. */
bool emit_node(PdevContext *pdev, PendingImage *node)
{
    ImageDescriptor d = node->descriptor;
    ClipCopy clip = node->clip;
    const BYTE *pixels = node->pixels;
    if (!pixels || d.srcWidth == 0 || d.srcHeight == 0)
        return false;
    /* The clip object as it was, and for a region the points copied from its path. */
    CLIPOBJ pco{};
    pco.iUniq = clip.iUniq;
    pco.rclBounds = clip.bounds;
    pco.iDComplexity = clip.dComplexity;
    pco.iFComplexity = clip.fComplexity;
    pco.iMode = clip.mode;
    pco.fjOptions = clip.options;
    PathPointsCopy points{clip.points, clip.pointBytes, clip.records};
    if (XL_SetRop(pdev, 0xCC) != 0 ||
        PTH_SetClipFromCopy(pdev, &pco, nullptr, &clip.dest, clip.dComplexity == DC_COMPLEX ? &points : nullptr) != 1)
        return false;
    ImageBands bands{};
    bands.x = LONG(d.x);
    bands.y = LONG(d.y);
    bands.colorSpace = 2;
    bands.colorDepth = XLE_8Bit;
    const ULONG mirror = (clip.dest.right < clip.dest.left ? 1u : 0u) | (clip.dest.bottom < clip.dest.top ? 2u : 0u);
    LONG after = 0;
    const bool turned = BLT_TurnImage(pdev, &clip.dest, mirror, &d, &bands, 3, &pixels, &after);
    bool ok = XL_SetCursor(pdev, bands.x, bands.y) == 0 && XL_SetColorSpace(pdev, 2) == 0;
    if (ok && pdev->imageSpool && pdev->imageSpool->mode == BLT_COMPRESS_JPEG)
        ok = BLT_WriteJpegImageBands(pdev, &d, &bands, pixels);
    if (ok && d.method != CMP_METHOD_JPEG) {
        const ULONG rowBytes = ULONG(d.srcWidth) * 3;
        bands.compression = d.method == BLT_COMPRESS_RLE_DELTAROW ? BLT_BAND_DELTAROW : BLT_BAND_NONE;
        /* The rows go out red, green, blue; the node's pixels (or the turn buffer) are not used again. */
        ok = XL_BeginImage(pdev, XLE_DirectPixel, XLE_8Bit, d.srcWidth, d.srcHeight, WORD(d.destWidth),
                           WORD(d.destHeight)) == 0 &&
             CMP_SwapRgb(const_cast<BYTE *>(pixels), d.srcWidth, d.srcHeight) == 0 &&
             BLT_WriteImageBands(pdev, rowBytes, d.srcHeight, &bands, pixels);
    }
    ok = ok && XL_EndImage(pdev) == 0;
    if (turned && XL_SetPageRotation(pdev, after) != 0)
        ok = false;
    return ok;
}

void empty_list(PendingImageList *list)
{
    while (list->first)
        remove_first(list);
}

} // namespace

int BLT_CreateImageSpool(ImageSpool **spool, PendingImageList **list, LONG mode, HMODULE resourceModule)
{
    if (!spool || !list)
        return -1;
    *spool = nullptr;
    *list = nullptr;
    auto *s = new (std::nothrow) ImageSpool{};
    auto *l = new (std::nothrow) PendingImageList{};
    if (!s || !l) {
        delete s;
        delete l;
        return -2;
    }
    if (OUT_InitSpoolFile(&s->scratch, FALSE, resourceModule) != 0) {
        delete s;
        delete l;
        return -1;
    }
    s->mode = mode == 0 ? BLT_COMPRESS_NONE : mode == 2 ? BLT_COMPRESS_JPEG : BLT_COMPRESS_RLE_DELTAROW;
    *spool = s;
    *list = l;
    return 0;
}

void BLT_FreeImageSpool(ImageSpool *spool, PendingImageList *list)
{
    if (spool) {
        if (spool->scratch.path[0])
            OUT_DeleteSpoolFile(&spool->scratch);
        delete[] spool->turn.buffer;
        delete spool;
    }
    if (list) {
        empty_list(list);
        delete list;
    }
}

BOOL BLT_CopyClip(CLIPOBJ *pco, const RECTL *prclDest, ClipCopy *copy)
{
    if (!prclDest || !copy)
        return FALSE;
    std::memset(copy, 0, sizeof *copy);
    copy->dest = *prclDest;
    if (!pco) { /* no clip object: nothing clips the image */
        copy->dComplexity = DC_TRIVIAL;
        return TRUE;
    }
    copy->iUniq = pco->iUniq;
    copy->bounds = pco->rclBounds;
    copy->dComplexity = pco->iDComplexity;
    copy->fComplexity = pco->iFComplexity;
    copy->mode = pco->iMode;
    copy->options = pco->fjOptions;
    if (pco->iDComplexity == DC_TRIVIAL || pco->iDComplexity == DC_RECT)
        return TRUE;
    if (pco->iDComplexity != DC_COMPLEX)
        return FALSE;
    PATHOBJ *ppo = CLIPOBJ_ppoGetPath(pco);
    if (!ppo)
        return FALSE;
    const int copied = PTH_CopyPathPoints(ppo, &copy->points, &copy->pointBytes, &copy->records);
    EngDeletePath(ppo);
    if (copied != 4) {
        free_clip(*copy);
        return FALSE;
    }
    return TRUE;
}

int BLT_QueuePendingImage(PendingImageList *list, CLIPOBJ *pco, const RECTL *prclDest,
                          const ImageDescriptor *descriptor, BYTE **pixels, HANDLE *block)
{
    if (!list || !prclDest || !descriptor || !pixels || !block || !*block)
        return -1;
    ClipCopy clip;
    if (!BLT_CopyClip(pco, prclDest, &clip))
        return -1;
    auto *node = new (std::nothrow) PendingImage{};
    if (!node) {
        free_clip(clip);
        return -2;
    }
    node->clip = clip;
    node->descriptor = *descriptor;
    node->descriptor.palette = nullptr;
    GlobalUnlock(*block);
    node->block = *block;
    node->pixels = nullptr;
    append(list, node);
    *block = nullptr;
    *pixels = nullptr;
    return 0;
}

int BLT_EmitPendingImages(PdevContext *pdev)
{
    if (!pdev || !pdev->pendingImages)
        return pdev ? 1 : 0;
    PendingImageList *list = pdev->pendingImages;
    while (PendingImage *node = list->first) {
        if (!node->pixels)
            node->pixels = static_cast<BYTE *>(GlobalLock(node->block));
        if (!emit_node(pdev, node))
            return 0;
        remove_first(list);
    }
    return 1;
}

int BLT_FlushPendingImages(PdevContext *pdev, BOOL release)
{
    if (!pdev)
        return -1;
    PendingImageList *list = pdev->pendingImages;
    if (!list || !list->first)
        return 0;
    int rc = CLR_ConvertPendingImages(pdev->colorObject, list, release);
    if (rc == kEngineError) /* the engine failed: the held images go out converted without it */
        rc = CLR_ConvertPendingImages(pdev->colorObject, list, FALSE);
    if (rc != 0 || BLT_EmitPendingImages(pdev) != 1) {
        const DWORD error = GetLastError(); /* freeing the blocks must not hide why the flush failed */
        empty_list(list);
        SetLastError(error);
        return -1;
    }
    return 0;
}
