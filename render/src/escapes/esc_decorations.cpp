/*
 * The placement escape of the decoration drawing (see esc_decorations.h).
 */
#include "esc_decorations.h"

#include "blt_image_spool.h"
#include "job_state.h"
#include "page_recording_direct.h"
#include "paper_form.h"
#include "pclxl_transform.h"
#include "pdev_context.h"
#include "sheet_state.h"

int ESC_WatermarkPlacement(PdevContext *pdev, LONG x, LONG y)
{
    if (!pdev)
        return -1;
    if (!(pdev->jobState & JOB_PAGE_OPEN) && (JOB_BeginPage(pdev) != 0 || !(pdev->jobState & JOB_PAGE_OPEN)))
        return -1;
    if (BLT_FlushPendingImages(pdev, TRUE) != 0)
        return -1;
    SheetPipelineState *sheet = JOB_SheetState(pdev);
    if (!sheet)
        return -1;
    const LONG side = sheet->sideIndex ? 1 : 0;
    const BOOL turned = JOB_IsTurnedBackFace(pdev, *sheet, side);
    PageTransform t;
    if (JOB_IsSheetDecoration(pdev)) {
        /* The sheet's own frame, from the printable corner of the paper fed. */
        DWORD dpi = 0;
        PDEV_GetSetting32(pdev, ID_RESOLUTION, &dpi);
        LAY_SetIdentity(&t);
        if (turned)
            LAY_TurnAndShift(&t, LAY_ToPixels(LONG(sheet->layout.sheetWidth), sheet->layout.resolution),
                             LAY_ToPixels(LONG(sheet->layout.sheetHeight), sheet->layout.resolution));
        t.dx += FLOAT(FORM_UnitsToPixels(pdev->feedForm.left, LONG(dpi))) + FLOAT(x);
        t.dy += FLOAT(FORM_UnitsToPixels(pdev->feedForm.top, LONG(dpi))) + FLOAT(y);
    } else if (LAY_ScaledPageTransform(&sheet->layout, sheet->cellIndex, side, turned, FLOAT(x), FLOAT(y), &t) != 0) {
        return -1;
    }
    if (REC_SetTransform(pdev, &t) != 0)
        return -1;
    return XL_ClipToPage(pdev->ctmTracker) != 0 ? -1 : 0;
}
