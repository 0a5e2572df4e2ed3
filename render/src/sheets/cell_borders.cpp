/*
 * Frames around the N-up cells of a sheet (setting 1337): a thin black
 * solid line just inside each cell that holds a page, drawn in the sheet's
 * own pixels after the pages, then the graphics state is left unknown.
 */
#include "page_geometry.h"

#include "pclxl_ops.h"
#include "pclxl_transform.h"
#include "pdev_context.h"

namespace {

constexpr BYTE kRgb = 2;          /* eRGB */
constexpr BYTE kRound = 1;        /* eRoundCap, eRoundJoin */
constexpr BYTE kRopSource = 0xF0; /* the pen alone */

/* Inset of a frame from its cell, in pixels at `resolution`: 2 at 600 dpi. */
LONG border_inset(LONG resolution) { return LONG((FLOAT(resolution) / 4.0f / 72.0f + 1.999f) / 2.0f); }

} // namespace

int LAY_SetBorderPen(PdevContext *pdev, LONG resolution)
{
    LONG i = border_inset(resolution);
    if (XL_SetPenWidth(pdev, WORD((i + i + 1) / 2)) != 0 || XL_SetLineJoin(pdev, kRound) != 0 ||
        XL_SetLineCap(pdev, kRound) != 0 || XL_SetLineSolid(pdev) != 0 || XL_SetColorSpace(pdev, kRgb) != 0 ||
        XL_SetBrushNull(pdev) != 0 || XL_SetRop(pdev, kRopSource) != 0 || XL_SetPenRgb(pdev, 0, 0, 0) != 0)
        return -1;
    return 0;
}

int LAY_DrawCellBorders(PdevContext *pdev, const LayoutRecord *layout, LONG side, LONG count, BOOL turned)
{
    if (!pdev || !layout || !pdev->ctmTracker || count < 0)
        return -1;
    /* The frames are drawn in the sheet's pixels, turned with the pages of a turned back face: the
     * transform goes out whatever the tracker holds. */
    PageTransform identity;
    LAY_SetIdentity(&identity);
    if (turned)
        LAY_TurnAndShift(&identity, LAY_ToPixels(LONG(layout->sheetWidth), layout->resolution),
                         LAY_ToPixels(LONG(layout->sheetHeight), layout->resolution));
    LONG valid = XL_SetCtmValid(pdev->ctmTracker, 0);
    int r = XL_ApplyCtm(pdev->ctmTracker, &identity);
    XL_SetCtmValid(pdev->ctmTracker, valid);
    if (r != 0 || LAY_SetBorderPen(pdev, layout->resolution) != 0)
        return -1;
    const LONG inset = border_inset(layout->resolution);
    for (LONG n = 1; n <= count; n++) {
        PageTransform t;
        FLOAT box[4];
        if (LAY_CellTransform(layout, n, side, &t, box) != 0)
            return -1;
        LONG left = LONG(box[0]) + inset, top = LONG(box[1]) + inset;
        LONG right = LONG(box[2]) - inset, bottom = LONG(box[3]) - inset;
        if (XL_DrawLine(pdev, left, top, left, bottom) != 0 || XL_DrawLine(pdev, left, bottom, right, bottom) != 0 ||
            XL_DrawLine(pdev, right, bottom, right, top) != 0 || XL_DrawLine(pdev, right, top, left, top) != 0)
            return -1;
    }
    /* What the frames set is unknown to the pages that follow. */
    XL_InvalidateState(pdev);
    return 0;
}
