/*
 * DrvTextOut: the clip, the opaque background, the glyph runs (each in the
 * text colour, drawn twice for a see-through watermark) and the extra
 * rectangles of underlines and strike-outs.
 */
#include "blt_image_output.h"
#include "blt_image_spool.h"
#include "ddi_workers.h"
#include "draw_blt.h"
#include "draw_brush.h"
#include "draw_font.h"
#include "draw_font_download.h"
#include "draw_path.h"
#include "draw_text.h"
#include "job_state.h"
#include "pdev_context.h"

#include <plat/error.h>

#include <vector>

namespace {

constexpr LONG kBrush = 2; /* BRS_SelectBrush / BRS_SendSolidColor: the brush */

/* Selects `pbo` as the brush for rectangles and sends `rect` normalised. */
bool select_fill(PdevContext *pdev, BRUSHOBJ *pbo, POINTL *origin, MIX mix)
{
    const ROP4 rop4 = BRS_MixToRop(mix);
    return BRS_SelectBrush(pdev, kBrush, origin, pbo, &rop4) && XL_SetPenNull(pdev) == 0 &&
           XL_SetFillMode(pdev, 1) == 0;
}

bool send_rect(PdevContext *pdev, const RECTL *rect)
{
    RECTL r;
    BLT_NormalizeRect(rect, &r);
    return XL_Rectangle(pdev, r.left, r.top, r.right, r.bottom) == 0;
}

/* Draws one run, twice while a see-through watermark is drawn. */
bool draw_run(PdevContext *pdev, BRUSHOBJ *pboFore, ULONG count, GLYPHPOS *pgp, FONTOBJ *pfo, STROBJ *pstro,
              LPCWSTR text, MIX mix)
{
    if (!TXT_DrawGlyphRun(pdev, pboFore, count, pgp, pfo, pstro, text, mix, 0))
        return false;
    if (JOB_IsDecorationDrawing(pdev) && JOB_IsWatermarkSeeThrough(pdev))
        return TXT_DrawGlyphRun(pdev, pboFore, count, pgp, pfo, pstro, text, mix, 1) != 0;
    return true;
}

} // namespace

BOOL TXT_TextOut(SURFOBJ *pso, STROBJ *pstro, FONTOBJ *pfo, CLIPOBJ *pco, RECTL *prclExtra, RECTL *prclOpaque,
                 BRUSHOBJ *pboFore, BRUSHOBJ *pboOpaque, POINTL *pptlOrg, MIX mix)
{
    PdevContext *pdev = PDEV_FromSurface(pso);
    if (!pso || !pstro || !pfo || !pboFore || !PDEV_IsValid(pdev)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (pdev->flags & PDEV_FAILED)
        return FALSE;
    BLT_FlushPendingImages(pdev, TRUE);
    if (JOB_PrepareDraw(pdev) == -1)
        return FALSE;
    if (!JOB_IsSheetDecoration(pdev) &&
        PTH_SetClipRegion(pdev, JOB_IsDecorationDrawing(pdev) ? nullptr : pco, nullptr) != 1)
        return FALSE;

    if (prclOpaque) {
        if (!select_fill(pdev, pboOpaque, pptlOrg, mix) || !send_rect(pdev, prclOpaque))
            return FALSE;
    }

    if (pstro->pgp) {
        if (!draw_run(pdev, pboFore, pstro->cGlyphs, pstro->pgp, pfo, pstro, pstro->pwszOrg, mix))
            return FALSE;
    } else {
        STROBJ_vEnumStart(pstro);
        LPCWSTR text = pstro->pwszOrg;
        BOOL more;
        do {
            ULONG count = 0;
            GLYPHPOS *pgp = nullptr;
            more = STROBJ_bEnum(pstro, &count, &pgp);
            if (count && !draw_run(pdev, pboFore, count, pgp, pfo, pstro, text, mix))
                return FALSE;
            if (text)
                text += count;
        } while (more);
    }

    if (prclExtra) {
        if (!select_fill(pdev, pboFore, pptlOrg, mix))
            return FALSE;
        for (const RECTL *r = prclExtra; r->left || r->top || r->right || r->bottom; ++r)
            if (!send_rect(pdev, r))
                return FALSE;
    }
    return TRUE;
}

int TXT_SetTextColor(PdevContext *pdev, BRUSHOBJ *pboFore, MIX mix, LONG pass)
{
    if (!pdev || !pboFore)
        return 0;
    if (XL_SetRop(pdev, BYTE(BRS_MixToRop(mix))) != 0)
        return 0;
    ULONG solid = pboFore->iSolidColor == BO_NOT_SOLID ? 0 : pboFore->iSolidColor;
    const BYTE color[3] = {BYTE(solid), BYTE(solid >> 8), BYTE(solid >> 16)}; /* blue, green, red */
    bool decoration = JOB_IsDecorationDrawing(pdev);
    if (decoration && BLT_ClassifyImageColors(pdev->colorScanState, &pdev->pageColors, pdev, color, 1, 1, nullptr, 0,
                                              4, 24) != 0)
        return 0;
    if (XL_SetPatternTxMode(pdev, 0) != 0 || XL_SetSourceTxMode(pdev, 0) != 0)
        return 0;
    if (decoration && JOB_IsWatermarkSeeThrough(pdev)) {
        if (!BRS_SendMeshPattern(pdev, kBrush, color, pass != 0))
            return 0;
    } else if (BRS_SendSolidColor(pdev, color, kBrush, TRUE) != 0) {
        return 0;
    }
    return XL_SetFillMode(pdev, 1) == 0;
}

int TXT_DrawGlyphRun(PdevContext *pdev, BRUSHOBJ *pboFore, ULONG glyphCount, GLYPHPOS *pgp, FONTOBJ *pfo,
                     STROBJ *pstro, LPCWSTR text, MIX mix, LONG pass)
{
    if (glyphCount == 0)
        return 1;
    if (!text || !pgp || !pfo || !pstro)
        return 0;
    if (glyphCount > TXT_MAX_RUN_GLYPHS) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (!TXT_SetTextColor(pdev, pboFore, mix, pass))
        return 0;
    std::vector<WORD> codes(text, text + glyphCount);

    FontPath path = FONT_PATH_OUTLINE;
    WORD deviceFont = 0xFFFF;
    BOOL glyphIndex = FALSE;
    if (FNT_ChooseFontPath(pdev, pfo, pstro, &path, &deviceFont, &glyphIndex) != 0)
        return 0;
    if (path == FONT_PATH_DEVICE &&
        FNT_CheckDeviceFontCoverage(pdev, pfo, glyphCount, &path, reinterpret_cast<WCHAR *>(codes.data()),
                                    deviceFont) != 0)
        return 0;
    TextRunState run{};
    TrueTypeFontInfo *info = nullptr; /* the download work fills its own record through FNT_LoadTrueTypeInfo */
    if (FNT_PrepareRun(pdev, pfo, pstro, &path, deviceFont, &run, info) != 0)
        return 0;
    if (path != FONT_PATH_DEVICE) {
        for (ULONG i = 0; i < glyphCount; ++i)
            codes[i] = WORD(pgp[i].hg & 0xFFFF);
        if (FNT_DownloadFontHeader(pdev, pfo, pstro, glyphCount, path, &run, info) != 0 ||
            FNT_DownloadGlyphs(pdev, pfo, pstro, glyphCount, pgp, path, &run, info, codes.data(), text) != 0)
            return 0;
    }
    return TXT_WriteText(pdev, pfo, pstro, glyphCount, pgp, codes.data(), &run, text) == 0;
}
