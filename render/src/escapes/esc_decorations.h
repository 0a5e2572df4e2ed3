/*
 * Placing the decorations the user-interface library draws into a page
 * (watermark tiles and copies, annotation lines): the transform and clip
 * of each placement escape.
 */
#ifndef TARVELGR_ESC_DECORATIONS_H
#define TARVELGR_ESC_DECORATIONS_H

#include <plat/types.h>

struct PdevContext;

/*
 * Makes drawing land (x, y) device pixels from the decoration's origin:
 * opens the page when none is open, flushes the pending images, sets the
 * transform through the context's transform tracker and clips to the page.
 * A page watermark is placed in the page's own frame (its N-up cell, turned
 * with a turned back face); sheet decorations in the sheet's frame from the
 * feed form's printable corner.  0, or -1 when a step fails.
 */
int ESC_WatermarkPlacement(PdevContext *pdev, LONG x, LONG y);

#endif /* TARVELGR_ESC_DECORATIONS_H */
