/*
 * Image output: the per-job colour scan state (the result of the last image
 * classification) and the turn buffer for images of turned pages.
 */
#ifndef TARVELGR_BLT_IMAGE_OUTPUT_H
#define TARVELGR_BLT_IMAGE_OUTPUT_H

struct PdevContext;

/* Job start and end: the colour scan state.  0, or -1. */
int BLT_CreateColorScanState(PdevContext *pdev);
void BLT_FreeColorScanState(PdevContext *pdev);

/* Job start (when the job's pages are turned) and end: the turn buffer.  0, or -1. */
int BLT_CreateTurnBuffer(PdevContext *pdev);
void BLT_FreeTurnBuffer(PdevContext *pdev);

#endif /* TARVELGR_BLT_IMAGE_OUTPUT_H */
