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

const char16_t kDownload[] = u"font download";
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

int FNT_SetAliasTableSet(LONG) { return DRAW_NotBuilt(u"FNT_SetAliasTableSet", kSubstitution, 0); }

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

LONG FNT_FamilyClassScore(LPCWSTR, BYTE, BYTE) { return DRAW_NotBuilt(u"FNT_FamilyClassScore", kSubstitution, -1); }

/* ---- Font download ------------------------------------------------------- */

int FNT_LoadTrueTypeInfo(PdevContext *, FONTOBJ *, LPCWSTR, TrueTypeFontInfo *)
{
    return DRAW_NotBuilt(u"FNT_LoadTrueTypeInfo", kDownload, -1);
}

int FNT_DownloadFontHeader(PdevContext *, FONTOBJ *, STROBJ *, ULONG, FontPath, TextRunState *, TrueTypeFontInfo *)
{
    return DRAW_NotBuilt(u"FNT_DownloadFontHeader", kDownload, -1);
}

int FNT_DownloadGlyphs(PdevContext *, FONTOBJ *, STROBJ *, ULONG, GLYPHPOS *, FontPath, TextRunState *,
                       TrueTypeFontInfo *, WORD *, LPCWSTR)
{
    return DRAW_NotBuilt(u"FNT_DownloadGlyphs", kDownload, -1);
}

DownloadedFont *FNT_FindOrAddDownloadedFont(PdevContext *, const char *, BOOL *added)
{
    if (added)
        *added = FALSE;
    return DRAW_NotBuilt<DownloadedFont *>(u"FNT_FindOrAddDownloadedFont", kDownload, nullptr);
}

int FNT_RemoveDownloadedFont(PdevContext *, DownloadedFont *)
{
    return DRAW_NotBuilt(u"FNT_RemoveDownloadedFont", kDownload, -1);
}

int FNT_RemoveOldestFont(PdevContext *) { return DRAW_NotBuilt(u"FNT_RemoveOldestFont", kDownload, -1); }

/* Answering "would overflow" makes a caller start a new font rather than overfill one. */
bool FNT_FontWouldOverflow(const DownloadedFont *, ULONG) { return DRAW_NotBuilt(u"FNT_FontWouldOverflow", kDownload, true); }

LONG FNT_FindGlyphCode(DownloadedFont *, HGLYPH, BOOL *added)
{
    if (added)
        *added = FALSE;
    return DRAW_NotBuilt(u"FNT_FindGlyphCode", kDownload, -1);
}

int FNT_WriteTrueTypeHeader(PdevContext *, const char *, TextRunState *, TrueTypeFontInfo *)
{
    return DRAW_NotBuilt(u"FNT_WriteTrueTypeHeader", kDownload, -1);
}

int FNT_WriteBitmapHeader(PdevContext *, const char *, TextRunState *)
{
    return DRAW_NotBuilt(u"FNT_WriteBitmapHeader", kDownload, -1);
}

int FNT_WriteTrueTypeGlyph(PdevContext *, TrueTypeFontInfo *, ULONG, WORD)
{
    return DRAW_NotBuilt(u"FNT_WriteTrueTypeGlyph", kDownload, -1);
}

int FNT_DownloadComponents(PdevContext *, TrueTypeFontInfo *, const BYTE *, DWORD)
{
    return DRAW_NotBuilt(u"FNT_DownloadComponents", kDownload, -1);
}

int FNT_WriteBitmapGlyph(PdevContext *, FONTOBJ *, const GLYPHPOS *, WORD)
{
    return DRAW_NotBuilt(u"FNT_WriteBitmapGlyph", kDownload, -1);
}

void FNT_EmboldenPlan(LONG, LONG *left, LONG *top, LONG *right, LONG *bottom)
{
    for (LONG *margin : {left, top, right, bottom})
        if (margin)
            *margin = 0;
    REN_NotBuilt(u"FNT_EmboldenPlan", kDownload);
}

BOOL FNT_EmboldenBitmap(const BYTE *, LONG, LONG, BYTE *, LONG, LONG, LONG, LONG)
{
    return DRAW_NotBuilt(u"FNT_EmboldenBitmap", kDownload, FALSE);
}

const BYTE *FNT_FindTable(const TrueTypeFontInfo *, DWORD, DWORD *length)
{
    if (length)
        *length = 0;
    return DRAW_NotBuilt<const BYTE *>(u"FNT_FindTable", kDownload, nullptr);
}

const BYTE *FNT_FindTablePadded(const TrueTypeFontInfo *, DWORD, DWORD *length)
{
    if (length)
        *length = 0;
    return DRAW_NotBuilt<const BYTE *>(u"FNT_FindTablePadded", kDownload, nullptr);
}

DWORD FNT_TableChecksum(const BYTE *, DWORD) { return DRAW_NotBuilt(u"FNT_TableChecksum", kDownload, 0u); }
