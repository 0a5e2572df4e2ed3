/*
 * A device context replaced inside a document (the engine's DrvResetPDEV
 * between pages, for a new paper or orientation): the running job moves
 * from the old context to the new one.
 */
#ifndef TARVELGR_JOB_RESET_H
#define TARVELGR_JOB_RESET_H

#include <plat/types.h>

struct PdevContext;

/*
 * Moves the running job of `oldPdev` to `newPdev`: the graphics-state
 * cache, the transform tracker (its owner changed), the job settings and
 * page layout record (copied onto the new context's heap), the job and page
 * state words and counters, the output channel, the job-form paper, the
 * extension state, the escape data, the job-information record, the
 * drawing records and the job-owner record; the old context keeps none of
 * them.  Once the job's first sheet is set up, the new context keeps the
 * old settings and takes from its own devmode only the orientation, paper
 * (number, length, width, form name), paper source and, when the job lets
 * the duplex change page by page, duplex; otherwise it keeps its own
 * devmode part and takes the old extension block.  Then the new context is
 * marked reset inside a document and its geometry pending.  0, or -1
 * (ERROR_INVALID_PARAMETER: an old context without a transform tracker, an
 * aborted job or an open page; nothing moved then).
 */
int JOB_MoveToContext(PdevContext *oldPdev, PdevContext *newPdev);

#endif /* TARVELGR_JOB_RESET_H */
