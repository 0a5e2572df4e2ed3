/*
 * Text output, device fonts, font download and font substitution, not
 * built yet.  A device context has no device fonts meanwhile, and the
 * answers for that state are built here; everything else answers its
 * failure visibly (draw_not_built.h).  Each is deleted from here when its
 * work is built.
 */
#include "draw_font.h"
#include "draw_font_download.h"
#include "draw_not_built.h"
#include "draw_text.h"
#include "pdev_context.h"

#include <plat/error.h>

namespace {

const char16_t kText[] = u"text output";
const char16_t kDeviceFonts[] = u"device fonts";
const char16_t kSubstitution[] = u"font substitution";

} // namespace

/* ---- Text output --------------------------------------------------------- */

int TXT_DrawGlyphRun(PdevContext *, BRUSHOBJ *, ULONG, GLYPHPOS *, FONTOBJ *, STROBJ *, LPCWSTR, MIX, LONG)
{
    return DRAW_NotBuilt(u"TXT_DrawGlyphRun", kText, 0);
}

int TXT_SetTextColor(PdevContext *, BRUSHOBJ *, MIX, LONG) { return DRAW_NotBuilt(u"TXT_SetTextColor", kText, 0); }

int TXT_WriteText(PdevContext *, FONTOBJ *, STROBJ *, ULONG, GLYPHPOS *, const WORD *, TextRunState *, LPCWSTR)
{
    return DRAW_NotBuilt(u"TXT_WriteText", kText, -1);
}

int FNT_ChooseFontPath(PdevContext *, FONTOBJ *, STROBJ *, FontPath *, WORD *deviceFont, BOOL *)
{
    if (deviceFont)
        *deviceFont = 0xFFFF;
    return DRAW_NotBuilt(u"FNT_ChooseFontPath", kText, -1);
}

int FNT_PrepareRun(PdevContext *, FONTOBJ *, STROBJ *, FontPath *, WORD, TextRunState *, TrueTypeFontInfo *)
{
    return DRAW_NotBuilt(u"FNT_PrepareRun", kText, -1);
}

int FNT_MakeRunFontName(PdevContext *, FONTOBJ *, FontPath, WORD, const IFIMETRICS *, TextRunState *)
{
    return DRAW_NotBuilt(u"FNT_MakeRunFontName", kText, -1);
}

int FNT_DecomposeTextMatrix(const float *, TextRunState *) { return DRAW_NotBuilt(u"FNT_DecomposeTextMatrix", kText, -1); }

/* ---- Device fonts: a context has none ------------------------------------ */

FD_GLYPHSET *FNT_GetGlyphSet(PdevContext *pdev, ULONG iFace)
{
    if (!PDEV_IsValid(pdev) || iFace < 1 || iFace > pdev->deviceFontCount) {
        SetLastError(ERROR_INVALID_PARAMETER); /* no device font has this face */
        return nullptr;
    }
    return DRAW_NotBuilt<FD_GLYPHSET *>(u"FNT_GetGlyphSet", kDeviceFonts, nullptr);
}

int FNT_FindDeviceFontById(PdevContext *pdev, DWORD)
{
    if (!PDEV_IsValid(pdev) || !pdev->fontEntryCount)
        return -1; /* no device font, so none has this identifier */
    return DRAW_NotBuilt(u"FNT_FindDeviceFontById", kDeviceFonts, -1);
}

DeviceFontRecord *FNT_BuildDeviceFontRecord(PdevContext *, DWORD, const DeviceFontMetrics *, DWORD)
{
    return DRAW_NotBuilt<DeviceFontRecord *>(u"FNT_BuildDeviceFontRecord", kDeviceFonts, nullptr);
}

int FNT_LoadDeviceFontMetrics(PdevContext *, DeviceFontMetrics **metrics, DWORD *size, DWORD, char *, WORD *)
{
    if (metrics)
        *metrics = nullptr;
    if (size)
        *size = 0;
    return DRAW_NotBuilt(u"FNT_LoadDeviceFontMetrics", kDeviceFonts, 0);
}

/* No copy is ever made, so there is nothing to free. */
void FNT_FreeDeviceFontMetrics(DeviceFontMetrics *) {}

int FNT_CheckDeviceFontCoverage(PdevContext *, FONTOBJ *, ULONG, FontPath *, WCHAR *, WORD)
{
    return DRAW_NotBuilt(u"FNT_CheckDeviceFontCoverage", kDeviceFonts, -1);
}

int FNT_ResidentFontCovers(const char *, WCHAR) { return DRAW_NotBuilt(u"FNT_ResidentFontCovers", kDeviceFonts, 0); }

int FNT_OpenMetricTable(const BYTE *, FontMetricCursor *, DWORD)
{
    return DRAW_NotBuilt(u"FNT_OpenMetricTable", kDeviceFonts, -1);
}

LONG FNT_GetCharWidth(FontMetricCursor *, WORD) { return DRAW_NotBuilt(u"FNT_GetCharWidth", kDeviceFonts, -1); }

/* ---- Font substitution --------------------------------------------------- */

/* With no device font to stand in, no font is substituted: 0 with no index. */
int FNT_SubstituteDeviceFont(PdevContext *pdev, FONTOBJ *pfo, WORD *index)
{
    if (index)
        *index = 0xFFFF;
    if (!PDEV_IsValid(pdev) || !pfo || !index)
        return -1;
    if (!pdev->fontEntryCount)
        return 0;
    return DRAW_NotBuilt(u"FNT_SubstituteDeviceFont", kSubstitution, -1);
}

int FNT_MatchSubstituteFont(FontSubTable **, FONTOBJ *, LPCWSTR, HANDLE, void *, DWORD, DeviceFontEntry **, WORD *)
{
    return DRAW_NotBuilt(u"FNT_MatchSubstituteFont", kSubstitution, -1);
}

int FNT_MatchSubstituteFontByAlias(FontSubTable **, FONTOBJ *, LPCWSTR, HANDLE, void *, DWORD, DeviceFontEntry **,
                                   WORD *)
{
    return DRAW_NotBuilt(u"FNT_MatchSubstituteFontByAlias", kSubstitution, -1);
}

LONG FNT_ScoreAliasGroups(LPCWSTR, DWORD, DeviceFontEntry **, LONG *)
{
    return DRAW_NotBuilt(u"FNT_ScoreAliasGroups", kSubstitution, -1);
}

BOOL FNT_ScoreCharset(BYTE, DWORD, DeviceFontEntry **, LONG *)
{
    return DRAW_NotBuilt(u"FNT_ScoreCharset", kSubstitution, FALSE);
}

void FNT_ScoreStyle(const IFIMETRICS *, DWORD, DeviceFontEntry **, LONG *)
{
    REN_NotBuilt(u"FNT_ScoreStyle", kSubstitution);
}

