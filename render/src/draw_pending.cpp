/*
 * The job's calls into the drawing work (pending images and image spool,
 * image output, paths, font download), which is not built yet.  Until it is, the per-job records it keeps are empty: creating one
 * makes nothing, resetting, flushing and freeing have nothing to act on.
 * These are the answers that work gives for a job that has drawn nothing.
 * Each is deleted from here when its work is built.
 */
#include "blt_image_output.h"
#include "blt_image_spool.h"
#include "fnt_download.h"
#include "pdev_context.h"

int BLT_CreateImageSpool(ImageSpool **spool, PendingImageList **list, LONG, HMODULE)
{
    if (!spool || !list)
        return -1;
    *spool = nullptr;
    *list = nullptr;
    return 0;
}

void BLT_FreeImageSpool(ImageSpool *, PendingImageList *) {}

/* No image is ever held. */
int BLT_FlushPendingImages(PdevContext *pdev, BOOL) { return pdev ? 0 : -1; }

int BLT_CreateTurnBuffer(PdevContext *pdev) { return pdev ? 0 : -1; }
void BLT_FreeTurnBuffer(PdevContext *) {}

/* No font is ever downloaded. */
int FNT_ResetDownloadState(PdevContext *pdev) { return pdev ? 0 : -1; }
int FNT_RemoveAllDownloadedFonts(PdevContext *pdev) { return pdev ? 0 : -1; }
