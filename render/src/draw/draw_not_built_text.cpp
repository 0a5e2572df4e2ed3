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

const char16_t kSubstitution[] = u"font substitution";

} // namespace

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

