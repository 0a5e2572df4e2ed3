/*
 * The visible failures of the drawing functions later work builds (see
 * draw_functions.h): each answers its failure value through REN_NotBuilt
 * (one trace line, ERROR_CALL_NOT_IMPLEMENTED).  Each is deleted from here
 * when its work is built.
 */
#include "draw_functions.h"
#include "not_built.h"

BOOL BLT_BltSourceImage(PdevContext *, CLIPOBJ *, SURFOBJ *, SURFOBJ *, LONG, LONG, POINTL *, POINTL *, RECTL *,
                        XLATEOBJ *, BRUSHOBJ *, POINTL *, LONG, BYTE)
{
    REN_NotBuilt(u"BLT_BltSourceImage", u"image output");
    return FALSE;
}

int BLT_ClassifyImageColors(LONG *, PageColorSet *, PdevContext *, const BYTE *, LONG, LONG, const BYTE *, LONG, LONG,
                            LONG)
{
    return REN_NotBuilt(u"BLT_ClassifyImageColors", u"image output");
}

BOOL BRS_SelectBrush(PdevContext *, LONG, POINTL *, BRUSHOBJ *, const ROP4 *)
{
    REN_NotBuilt(u"BRS_SelectBrush", u"brushes");
    return FALSE;
}

int BRS_SendSolidColor(PdevContext *, const BYTE *, LONG, BOOL) { return REN_NotBuilt(u"BRS_SendSolidColor", u"brushes"); }

int PTH_SetClipRegion(PdevContext *, CLIPOBJ *, RECTL *)
{
    REN_NotBuilt(u"PTH_SetClipRegion", u"clipping");
    return 0;
}

int PTH_CopyPathPoints(PATHOBJ *, void **block, DWORD *bytes, DWORD *records)
{
    if (block)
        *block = nullptr;
    if (bytes)
        *bytes = 0;
    if (records)
        *records = 0;
    return REN_NotBuilt(u"PTH_CopyPathPoints", u"paths");
}

int PTH_EmitPathData(PdevContext *, PATHOBJ *, const void *, DWORD)
{
    REN_NotBuilt(u"PTH_EmitPathData", u"paths");
    return 0;
}

int TXT_SetTextColor(PdevContext *, BRUSHOBJ *, MIX, LONG)
{
    REN_NotBuilt(u"TXT_SetTextColor", u"text output");
    return 0;
}

FD_GLYPHSET *FNT_GetGlyphSet(PdevContext *, ULONG)
{
    REN_NotBuilt(u"FNT_GetGlyphSet", u"device fonts");
    return nullptr;
}

int FNT_FindDeviceFontById(PdevContext *, DWORD) { return REN_NotBuilt(u"FNT_FindDeviceFontById", u"device fonts"); }

int FNT_SubstituteDeviceFont(PdevContext *, FONTOBJ *, WORD *index)
{
    if (index)
        *index = 0xFFFF;
    return REN_NotBuilt(u"FNT_SubstituteDeviceFont", u"font substitution");
}
