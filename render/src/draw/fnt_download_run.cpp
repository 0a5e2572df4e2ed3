/*
 * A text run's calls into the font download: the font's TrueType data
 * from the engine, its header and its new glyphs.
 */
#include "draw_font_download.h"
#include "draw_not_built.h"
#include "pdev_context.h"

#include <tarvel/log_trace.h>

#include <plat/engine_fonts.h>
#include <plat/error.h>

namespace {
const char16_t kDownload[] = u"font download";
}

int FNT_LoadTrueTypeInfo(PdevContext *pdev, FONTOBJ *pfo, LPCWSTR face, TrueTypeFontInfo *info)
{
    if (!pdev || !pfo || !info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    ULONG size = 0;
    const BYTE *file = static_cast<const BYTE *>(FONTOBJ_pvTrueTypeFontFile(pfo, &size));
    const TrueTypeStatus status = FNT_ParseTrueTypeFile(file, file ? size : 0, face, info);
    if (status == TT_OK)
        return 0;
    /* the run goes as bitmaps; the trace says why */
    static const char16_t *const kReasons[] = {u"", u"no font file", u"cut short", u"no member of the face",
                                                u"PostScript outlines", u"a table missing", u"a damaged table"};
    LOG_Printf(u"FNT_LoadTrueTypeInfo: the font goes as bitmaps (%s)", kReasons[status]);
    SetLastError(ERROR_INVALID_DATA);
    return -1;
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
