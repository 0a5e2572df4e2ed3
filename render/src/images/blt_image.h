/*
 * Pieces of the image writer shared by the direct road and the pending
 * images: the descriptor and band record of a destination, turning an
 * image with the page, and the job's colour scan state.
 */
#ifndef TARVELGR_BLT_IMAGE_H
#define TARVELGR_BLT_IMAGE_H

#include "blt_records.h"

#include <plat/engine.h>
#include <plat/types.h>

struct PdevContext;

/*
 * Clears the descriptor and band record and fills in the destination:
 * position (the normalised top-left), size, and mirror flags (bit 0 right
 * < left, bit 1 bottom < top).
 */
void BLT_PrepareBands(const RECTL *prclDest, ImageDescriptor *descriptor, ImageBands *bands, ULONG *mirror);

/*
 * Turns the image (`bytesPerPixel` 1 to 4, rows unpadded) into the job's
 * turn buffer when the page is turned or upside down and the image is
 * larger than 64 pixels both ways: sets the page rotation, the cursor in
 * the rotated system and the turned sizes, points *pixels at the turned
 * rows and gives the rotation to set after the image.  false: drawn
 * unturned (nothing changed).
 */
bool BLT_TurnImage(PdevContext *pdev, const RECTL *prclDest, ULONG mirror, ImageDescriptor *descriptor,
                   ImageBands *bands, ULONG bytesPerPixel, const BYTE **pixels, LONG *after);

/* The job's colour scan state for the image classification. */
LONG *BLT_ImageScanState(PdevContext *pdev);

#endif /* TARVELGR_BLT_IMAGE_H */
