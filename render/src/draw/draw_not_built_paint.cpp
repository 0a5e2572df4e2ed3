/*
 * Brushes, paths and clipping, not built yet: each answers its failure
 * visibly (draw_not_built.h).  Each is deleted from here when its work is
 * built.
 */
#include "draw_brush.h"
#include "draw_not_built.h"
#include "draw_path.h"

namespace {

const char16_t kBrushes[] = u"brushes";
const char16_t kPaths[] = u"paths";
const char16_t kClipping[] = u"clipping";

} // namespace

BOOL BRS_SelectBrush(PdevContext *, LONG, POINTL *, BRUSHOBJ *, const ROP4 *)
{
    return DRAW_NotBuilt(u"BRS_SelectBrush", kBrushes, FALSE);
}

int BRS_SendSolidColor(PdevContext *, const BYTE *, LONG, BOOL) { return DRAW_NotBuilt(u"BRS_SendSolidColor", kBrushes, -1); }

BOOL BRS_SendHatchPattern(PdevContext *, LONG, LONG, LONG, const BYTE *, const BYTE *, const POINTL *)
{
    return DRAW_NotBuilt(u"BRS_SendHatchPattern", kBrushes, FALSE);
}

BOOL BRS_SendRasterPattern(PdevContext *, LONG, LONG, const BYTE *, const BYTE *, const POINTL *, const SIZEL *,
                           const BYTE *, LONG)
{
    return DRAW_NotBuilt(u"BRS_SendRasterPattern", kBrushes, FALSE);
}

BOOL BRS_SendColorPattern(PdevContext *, LONG, BRUSHOBJ *, const POINTL *)
{
    return DRAW_NotBuilt(u"BRS_SendColorPattern", kBrushes, FALSE);
}

BOOL BRS_SendMeshPattern(PdevContext *, LONG, const BYTE *, BOOL)
{
    return DRAW_NotBuilt(u"BRS_SendMeshPattern", kBrushes, FALSE);
}

LONG BRS_PatternScale(PdevContext *, BOOL) { return DRAW_NotBuilt(u"BRS_PatternScale", kBrushes, 0); }

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
