/*
 * Paths and clipping: paths drawn as ellipses, rectangles or general
 * paths, the pen's line attributes and the page's cached clip.  The engine
 * workers are in ddi_workers.h, the page-start reset in pth_path_state.h.
 * All of it is later work and fails visibly meanwhile
 * (draw_not_built_paint.cpp; the README's "Not built yet" table lists them).
 */
#ifndef TARVELGR_DRAW_PATH_H
#define TARVELGR_DRAW_PATH_H

#include <plat/engine.h>
#include <plat/engine_draw.h>
#include <plat/types.h>

struct PdevContext;

/* Draws a path: mode 1 stroke, 2 fill, 3 both.  TRUE / FALSE. */
BOOL PTH_DrawPath(PdevContext *pdev, PATHOBJ *ppo, CLIPOBJ *pco, XFORMOBJ *pxo, BRUSHOBJ *pboStroke,
                  BRUSHOBJ *pboFill, POINTL *pptlBrushOrg, LINEATTRS *plineattrs, MIX mix, FLONG flOptions,
                  LONG mode);

/* Sets the clip for a path of `bounds` (pixels).  1 done, 0 failed. */
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

/* As PTH_SetClipRegion with the clip path given, or taken from a held image's clip copy.  1 / 0. */
int PTH_SetClipFromCopy(PdevContext *pdev, CLIPOBJ *pco, PATHOBJ *ppo, RECTL *prclTarget, const void *clipCopy);

/* Compares a clip path with the cached one and caches it when different: 1 equal, 0 cached, -1 failed. */
int PTH_CacheClipPath(PdevContext *pdev, PATHOBJ *ppo, const void *clipCopy);

/* Copies a path's points into a new block: 4 copied, 3 no memory, 0 empty path. */
int PTH_CopyPathPoints(PATHOBJ *ppo, void **block, DWORD *bytes, DWORD *records);

/* Writes a path (or the clip copy's points) as path data.  1 done, 0 failed. */
int PTH_EmitPathData(PdevContext *pdev, PATHOBJ *ppo, const void *clipPoints, DWORD records);

#endif /* TARVELGR_DRAW_PATH_H */
