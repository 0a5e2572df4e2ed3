/*
 * Path and clip state of a device context, reset at every page start: what
 * the printer's clip is believed to be (the page, a rectangle, a path, or
 * undetermined), with the rectangle or a copy of the path in force.
 */
#ifndef TARVELGR_PTH_PATH_STATE_H
#define TARVELGR_PTH_PATH_STATE_H

#include <plat/types.h>

struct PdevContext;

/* Clip kinds. */
enum : LONG {
    PTH_CLIP_PAGE = 0,
    PTH_CLIP_RECTANGLE = 1,
    PTH_CLIP_PATH = 2,
    PTH_CLIP_UNDETERMINED = 3, /* the next clip request first sends SetClipToPage */
};

struct PathClipState {
    LONG kind;          /* PTH_CLIP_ */
    RECTL rect;         /* the rectangle in force (kind 1) */
    void *path;         /* the path in force (kind 2): a copy as PTH_CopyPathPoints makes it */
    DWORD pathBytes;
    DWORD pathRecords;
};

/* Forgets the page's clip: undetermined, no rectangle, the path copy freed.  0, or -1 without a context. */
int PTH_ResetPathState(PdevContext *pdev);

/* Frees the path copy (context end). */
void PTH_FreePathState(PdevContext *pdev);

#endif /* TARVELGR_PTH_PATH_STATE_H */
