/*
 * Paths and clipping, not built yet: each answers its failure
 * visibly (draw_not_built.h).  Each is deleted from here when its work is
 * built.
 */
#include "draw_not_built.h"
#include "draw_path.h"

namespace {

const char16_t kPaths[] = u"paths";
const char16_t kClipping[] = u"clipping";

} // namespace

BOOL PTH_DrawPath(PdevContext *, PATHOBJ *, CLIPOBJ *, XFORMOBJ *, BRUSHOBJ *, BRUSHOBJ *, POINTL *, LINEATTRS *, MIX,
                  FLONG, LONG)
{
    return DRAW_NotBuilt(u"PTH_DrawPath", kPaths, FALSE);
}

int PTH_SetPathClip(PdevContext *, PATHOBJ *, CLIPOBJ *, const RECTL *, LONG)
{
    return DRAW_NotBuilt(u"PTH_SetPathClip", kClipping, 0);
}

int PTH_ClassifyPath(PATHOBJ *, const LINEATTRS *, XFORMOBJ *, LONG)
{
    return DRAW_NotBuilt(u"PTH_ClassifyPath", kPaths, -1);
}

bool PTH_PenAllowsShape(const LINEATTRS *) { return DRAW_NotBuilt(u"PTH_PenAllowsShape", kPaths, false); }

BOOL PTH_SetBrushAndPen(PdevContext *, BRUSHOBJ *, BRUSHOBJ *, POINTL *, LINEATTRS *, MIX, FLONG, LONG, LONG)
{
    return DRAW_NotBuilt(u"PTH_SetBrushAndPen", kPaths, FALSE);
}

BOOL PTH_SetLineAttrs(PdevContext *, LINEATTRS *) { return DRAW_NotBuilt(u"PTH_SetLineAttrs", kPaths, FALSE); }

BOOL PTH_SetLineDash(PdevContext *, const LINEATTRS *, LONG) { return DRAW_NotBuilt(u"PTH_SetLineDash", kPaths, FALSE); }

int PTH_SetClipRegion(PdevContext *, CLIPOBJ *, RECTL *) { return DRAW_NotBuilt(u"PTH_SetClipRegion", kClipping, 0); }

int PTH_SetClipFromCopy(PdevContext *, CLIPOBJ *, PATHOBJ *, RECTL *, const void *)
{
    return DRAW_NotBuilt(u"PTH_SetClipFromCopy", kClipping, 0);
}

int PTH_CacheClipPath(PdevContext *, PATHOBJ *, const void *) { return DRAW_NotBuilt(u"PTH_CacheClipPath", kClipping, -1); }

int PTH_CopyPathPoints(PATHOBJ *, void **block, DWORD *bytes, DWORD *records)
{
    if (block)
        *block = nullptr;
    if (bytes)
        *bytes = 0;
    if (records)
        *records = 0;
    return DRAW_NotBuilt(u"PTH_CopyPathPoints", kPaths, -1);
}

int PTH_EmitPathData(PdevContext *, PATHOBJ *, const void *, DWORD) { return DRAW_NotBuilt(u"PTH_EmitPathData", kPaths, 0); }
