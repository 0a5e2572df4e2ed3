/*
 * A text run's calls into the font download: the font's TrueType data
 * from the engine, its header and its new glyphs.
 */
#include "draw_font_download.h"
#include "fnt_download.h"
#include "pdev_context.h"

#include <tarvel/base/log_trace.h>

#include <plat/engine_fonts.h>
#include <plat/error.h>
#include <plat/memory.h>

namespace {

/* The record a run without one of its own uses: the context's, made on first use. */
TrueTypeFontInfo *run_info(PdevContext *pdev, TrueTypeFontInfo *info)
{
    if (info || !pdev)
        return info;
    if (!pdev->runFontInfo)
        pdev->runFontInfo =
            static_cast<TrueTypeFontInfo *>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, sizeof(TrueTypeFontInfo)));
    return pdev->runFontInfo;
}

} // namespace

int FNT_LoadTrueTypeInfo(PdevContext *pdev, FONTOBJ *pfo, LPCWSTR face, TrueTypeFontInfo *info)
{
    info = run_info(pdev, info);
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

int FNT_DownloadFontHeader(PdevContext *pdev, FONTOBJ *, STROBJ *, ULONG glyphCount, FontPath path,
                           TextRunState *run, TrueTypeFontInfo *info)
{
    if (!pdev || !run) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    return FNT_EnsureFont(pdev, run->fontName, run->symbolSet, glyphCount, path,
                          path == FONT_PATH_OUTLINE ? run_info(pdev, info) : info);
}

int FNT_DownloadGlyphs(PdevContext *pdev, FONTOBJ *pfo, STROBJ *, ULONG glyphCount, GLYPHPOS *pgp, FontPath path,
                       TextRunState *run, TrueTypeFontInfo *info, WORD *codes, LPCWSTR)
{
    if (!pdev || !run) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    return FNT_DownloadRunGlyphs(pdev, pfo, run->fontName, glyphCount, pgp, path,
                                 path == FONT_PATH_OUTLINE ? run_info(pdev, info) : info, codes, run->charSize);
}
