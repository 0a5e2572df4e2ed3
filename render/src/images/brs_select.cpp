/*
 * Selecting a brush as the printer's pen or brush: the ROP of the mix, the
 * transparency of the background, and the source itself: a solid colour, a
 * hatch, a one-bit or colour pattern of a realised brush, or (while a
 * see-through watermark is drawn) the mesh in the watermark's colour.
 */
#include "brs_realized.h"
#include "clr_color_object.h"
#include "draw_blt.h"
#include "draw_brush.h"
#include "draw_xl_values.h"
#include "job_state.h"
#include "pclxl_ops.h"
#include "pclxl_tags.h"
#include "pdev_context.h"

namespace {

/* The watermark's colour (0x00RRGGBB). */
constexpr WORD S_WATERMARK_COLOR = 301;

/* The mix code that leaves the background untouched. */
constexpr MIX kR2Nop = 11;

/* The pen draws only with the ROP3 values that need no pattern bits; any other becomes a plain copy. */
BYTE pen_rop(BYTE rop3)
{
    return rop3 == 0xA0 || rop3 == 0xAA || rop3 == 0xF0 || rop3 == 0xFA ? rop3 : 0xF0;
}

BOOL set_tx_modes(PdevContext *pdev, BYTE mode)
{
    return XL_SetPatternTxMode(pdev, mode) == 0 && XL_SetSourceTxMode(pdev, mode) == 0;
}

void to_bgr(ULONG color, BYTE bgr[3])
{
    bgr[0] = BYTE(color);
    bgr[1] = BYTE(color >> 8);
    bgr[2] = BYTE(color >> 16);
}

} // namespace

int BRS_SendSolidColor(PdevContext *pdev, const BYTE color[3], LONG target, BOOL text)
{
    if (!pdev || !color || target < 1 || target > 3)
        return -1;
    BYTE out[3] = {};
    const int r = BLT_ConvertPatternColors(pdev, color, out, 1, text);
    if (r == 0)
        return -1;
    const bool grey = r == CLR_RESULT_GREY;
    for (LONG role : {1, 2}) {
        if (!(target & role))
            continue;
        if (XL_SetColorSpace(pdev, grey ? XL_eGray : XL_eRGB) != 0)
            return -1;
        int rc;
        if (role == 1)
            rc = grey ? XL_SetPenGray(pdev, out[0]) : XL_SetPenRgb(pdev, out[2], out[1], out[0]);
        else
            rc = grey ? XL_SetBrushGray(pdev, out[0]) : XL_SetBrushRgb(pdev, out[2], out[1], out[0]);
        if (rc != 0)
            return -1;
    }
    return 0;
}

BOOL BRS_SelectBrush(PdevContext *pdev, LONG target, POINTL *pptlBrushOrg, BRUSHOBJ *pbo, const ROP4 *rop4)
{
    if (!pdev || (target != 1 && target != 2 && target != -1 && target != -2))
        return FALSE;
    const bool mesh = target < 0;
    const LONG role = mesh ? -target : target;
    BYTE rop3 = 0;
    if (rop4) {
        rop3 = role == 1 ? pen_rop(BYTE(*rop4)) : BYTE(*rop4);
    }
    if (!pbo) {
        if (rop4 && XL_SetRop(pdev, rop3) != 0)
            return FALSE;
        return set_tx_modes(pdev, XLV_eOpaque);
    }

    const RealizedBrush *rb = nullptr;
    if (pbo->iSolidColor == BO_NOT_SOLID) {
        rb = static_cast<const RealizedBrush *>(BRUSHOBJ_pvGetRbrush(pbo));
        if (!rb)
            return FALSE;
    }
    LONG background = 1;
    if (rop4) {
        if (XL_SetRop(pdev, rop3) != 0)
            return FALSE;
        if ((BRS_RopToMix(*rop4) >> 8) == kR2Nop)
            background = 2;
    }

    if (rb && rb->style < BRS_FIRST_PATTERN_STYLE) {
        BYTE zeroBits[3], oneBits[3];
        BRS_PaletteColor(rb, 1, zeroBits);
        BRS_PaletteColor(rb, 0, oneBits);
        return BRS_SendHatchPattern(pdev, role, background, rb->style, zeroBits, oneBits, pptlBrushOrg);
    }
    if (rb && rb->kind == BRS_KIND_1BPP) {
        BYTE zeroBits[3], oneBits[3];
        BRS_PaletteColor(rb, 0, zeroBits);
        BRS_PaletteColor(rb, 1, oneBits);
        const SIZEL size = {rb->width, rb->height};
        return BRS_SendRasterPattern(pdev, role, background, zeroBits, oneBits, pptlBrushOrg, &size, BRS_Rows(rb),
                                     BRS_SCALE_PATTERN);
    }
    if (rb) {
        if (rop4 && XL_SetRop(pdev, rop3) != 0)
            return FALSE;
        return BRS_SendColorPattern(pdev, role, pbo, pptlBrushOrg);
    }

    BYTE color[3];
    if (JOB_IsDecorationDrawing(pdev) && JOB_IsWatermarkSeeThrough(pdev)) {
        DWORD watermark = 0;
        if (PDEV_GetSetting32(pdev, S_WATERMARK_COLOR, &watermark) != 0)
            return FALSE;
        pbo->iSolidColor = watermark & 0x00FFFFFFu;
        to_bgr(pbo->iSolidColor, color);
        if (BLT_ClassifyImageColors(pdev->colorScanState, &pdev->pageColors, pdev, color, 1, 1, nullptr, 0, 4, 24) !=
            0)
            return FALSE;
        return set_tx_modes(pdev, XLV_eTransparent) && BRS_SendMeshPattern(pdev, role, color, mesh);
    }
    to_bgr(pbo->iSolidColor, color);
    return set_tx_modes(pdev, XLV_eOpaque) && BRS_SendSolidColor(pdev, color, role, FALSE) == 0;
}
