/*
 * Paths and clipping: paths drawn as ellipses, rectangles or general
 * paths, the pen's line attributes and the page's cached clip.  The engine
 * workers are in ddi_workers.h, the page-start reset and the clip state in
 * pth_path_state.h.
 */
#ifndef TARVELGR_DRAW_PATH_H
#define TARVELGR_DRAW_PATH_H

#include <plat/engine.h>
#include <plat/engine_draw.h>
#include <plat/types.h>

struct PdevContext;

/*
 * A copy of a path's points (PTH_CopyPathPoints): `records` of these, then
 * all points; each record's points lie inside the same block.  Byte count
 * (records x 2 + points) x 8.
 */
struct PathCopyRecord {
    DWORD flags;       /* PD_ */
    DWORD count;
    POINTFIX *points;
};
static_assert(sizeof(PathCopyRecord) == 16, "path copy record layout");

/* A copy with its sizes, as a held image keeps its clip path. */
struct PathPointsCopy {
    void *block;
    DWORD bytes;
    DWORD records;
};

/* Classes of a path. */
enum : int {
    PTH_SHAPE_ELLIPSE = 1,
    PTH_SHAPE_RECTANGLE = 2,
    PTH_SHAPE_GENERAL = 3,
};

/* Draws a path: mode 1 stroke, 2 fill, 3 both.  TRUE / FALSE. */
BOOL PTH_DrawPath(PdevContext *pdev, PATHOBJ *ppo, CLIPOBJ *pco, XFORMOBJ *pxo, BRUSHOBJ *pboStroke,
                  BRUSHOBJ *pboFill, POINTL *pptlBrushOrg, LINEATTRS *plineattrs, MIX mix, FLONG flOptions,
                  LONG mode);

/*
 * Sets the clip for a path of `bounds` (pixels).  1 done; 2 done with the
 * page clip, the rectangle to be cut to the clip's bounds instead; 0 failed.
 */
int PTH_SetPathClip(PdevContext *pdev, PATHOBJ *ppo, CLIPOBJ *pco, const RECTL *bounds, LONG mode);

/* 1 ellipse, 2 rectangle, 3 general path. */
int PTH_ClassifyPath(PATHOBJ *ppo, const LINEATTRS *plineattrs, XFORMOBJ *pxo, LONG mode);

/* True when the pen may draw an ellipse or rectangle (a cosmetic pen that is not dashed). */
bool PTH_PenAllowsShape(const LINEATTRS *plineattrs);

/* Line attributes, ROP and pen and/or brush (`pass` 1: the mesh variant).  TRUE / FALSE. */
BOOL PTH_SetBrushAndPen(PdevContext *pdev, BRUSHOBJ *pboStroke, BRUSHOBJ *pboFill, POINTL *pptlBrushOrg,
                        LINEATTRS *plineattrs, MIX mix, FLONG flOptions, LONG mode, LONG pass);

/* Sends join, cap, miter limit, width and dashes of the pen.  TRUE / FALSE. */
BOOL PTH_SetLineAttrs(PdevContext *pdev, LINEATTRS *plineattrs);

/* Sends the dash array scaled by `scale` (no style entries: a solid line).  TRUE / FALSE. */
BOOL PTH_SetLineDash(PdevContext *pdev, const LINEATTRS *plineattrs, LONG scale);

/* Sets the clip of the page for a drawing into `prclTarget` (no clip object: the page clip).  1 done, 0 failed. */
int PTH_SetClipRegion(PdevContext *pdev, CLIPOBJ *pco, RECTL *prclTarget);

/*
 * As PTH_SetClipRegion with the clip path given, or taken from a held
 * image's clip copy (a PathPointsCopy).  1 / 0.
 */
int PTH_SetClipFromCopy(PdevContext *pdev, CLIPOBJ *pco, PATHOBJ *ppo, RECTL *prclTarget, const void *clipCopy);

/*
 * Compares a clip path (or a PathPointsCopy) with the one in force and
 * keeps a copy of it when different: 1 equal, 0 kept, -1 no memory for the
 * copy, -2 an empty or malformed path.
 */
int PTH_CacheClipPath(PdevContext *pdev, PATHOBJ *ppo, const void *clipCopy);

/*
 * Copies a path's points into a new block of the process heap (free it with
 * HeapFree): 4 copied, 3 no memory, 0 empty path.
 */
int PTH_CopyPathPoints(PATHOBJ *ppo, void **block, DWORD *bytes, DWORD *records);

/*
 * Writes a path (or, without one, the `records` records of a copy's block)
 * as path data.  1 done, 0 failed (a Bezier record whose point count is not
 * a multiple of 3, or an empty path: ERROR_INVALID_PARAMETER).
 */
int PTH_EmitPathData(PdevContext *pdev, PATHOBJ *ppo, const void *clipPoints, DWORD records);

#endif /* TARVELGR_DRAW_PATH_H */
