/*
 * Path and clip state of a device context, reset at every page start.
 */
#ifndef TARVELGR_PTH_PATH_STATE_H
#define TARVELGR_PTH_PATH_STATE_H

struct PdevContext;

/* Forgets the page's clip and path state.  0, or -1 without a context. */
int PTH_ResetPathState(PdevContext *pdev);

#endif /* TARVELGR_PTH_PATH_STATE_H */
