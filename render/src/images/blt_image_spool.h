/*
 * Pending images: while the colour engine is in charge, the strips of one
 * picture are held in the job's pending list until it has seen all of
 * them, then converted and written together.  The image spool holds the
 * scratch file of the JPEG compressor and the job's compression mode.
 */
#ifndef TARVELGR_BLT_IMAGE_SPOOL_H
#define TARVELGR_BLT_IMAGE_SPOOL_H

#include <plat/types.h>

struct PdevContext;
struct ImageSpool;
struct PendingImageList;

/* Makes the job's image spool and pending list (compression from `mode`).  0; -2 no memory; -1 no scratch record. */
int BLT_CreateImageSpool(ImageSpool **spool, PendingImageList **list, LONG mode, HMODULE resourceModule);

/* Deletes the scratch file, frees the spool and empties and frees the list; nulls are ignored. */
void BLT_FreeImageSpool(ImageSpool *spool, PendingImageList *list);

/* Converts and writes the pending images of the context (`release`: let the colour engine go).  0, or -1. */
int BLT_FlushPendingImages(PdevContext *pdev, BOOL release);

#endif /* TARVELGR_BLT_IMAGE_SPOOL_H */
