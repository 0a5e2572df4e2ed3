/*
 * A text run's calls into the font download: the font's TrueType data
 * from the engine, its header and its new glyphs.
 */
#include "draw_font_download.h"
#include "draw_not_built.h"
#include "pdev_context.h"

namespace {
const char16_t kDownload[] = u"font download";
}

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
