/*
 * Crop marks of poster sheets: short dashed black lines at the corners and
 * at the middle of each edge of the printable area, drawn in the sheet's own
 * pixels so that the tiles can be cut and joined.  Each tile is one
 * printable area, so the marks frame exactly the part of the page it holds.
 */
#include "page_colors.h"

#include "page_geometry.h"
#include "pclxl_ops.h"
#include "pclxl_transform.h"
#include "pdev_context.h"

namespace {

constexpr BYTE kRgb = 2;          /* eRGB */
constexpr BYTE kRound = 1;        /* eRoundCap, eRoundJoin */
constexpr BYTE kRopSource = 0xF0; /* the pen alone */
constexpr LONG kMarkTenths = 100; /* 10 mm */

/* Inset of the marks from the printable area's edges, in pixels: 2 at 600 dpi. */
LONG mark_inset(LONG resolution) { return LONG((FLOAT(resolution) / 4.0f / 72.0f + 1.999f) / 2.0f); }

} // namespace

int LAY_SetCropMarkPen(PdevContext *pdev, LONG resolution)
{
    if (!pdev || resolution <= 0)
        return -1;
    const LONG i = mark_inset(resolution);
    const WORD dash[2] = {WORD(resolution / 15 & 0xFF), WORD(resolution / 60 & 0xFF)};
    if (XL_SetPenWidth(pdev, WORD((i + i + 1) / 2)) != 0 || XL_SetLineCap(pdev, kRound) != 0 ||
        XL_SetLineJoin(pdev, kRound) != 0 || XL_SetLineDash(pdev, 2, dash, 0) != 0 || XL_SetBrushNull(pdev) != 0 ||
        XL_SetRop(pdev, kRopSource) != 0 || XL_SetColorSpace(pdev, kRgb) != 0 || XL_SetPenRgb(pdev, 0, 0, 0) != 0)
        return -1;
    return 0;
}

int LAY_DrawCropMarks(PdevContext *pdev, LONG left, LONG top, LONG width, LONG height, LONG resolution)
{
    if (!pdev || !pdev->ctmTracker || width <= 0 || height <= 0 || resolution <= 0 || left < 0 || top < 0)
        return -1;
    /*
     * The marks belong to the sheet, not to the tile's page: the sheet's own
     * pixels from the printable area's corner go out whatever the tracker
     * holds, before the first line.
     */
    PageTransform identity;
    LAY_SetIdentity(&identity);
    identity.dx = FLOAT(left);
    identity.dy = FLOAT(top);
    const LONG valid = XL_SetCtmValid(pdev->ctmTracker, 0);
    int r = XL_SetClipToPage(pdev);
    if (r == 0)
        r = XL_ApplyCtm(pdev->ctmTracker, &identity);
    if (r == 0)
        r = LAY_SetCropMarkPen(pdev, resolution);
    const LONG i = mark_inset(resolution), L = LONG(LAY_ToPixels(kMarkTenths, resolution));
    const LONG W = width, H = height;
    const LONG lines[12][4] = {
        {i, H - i, i + L, H - i},         {i, H - i, i, H - i - L},         /* bottom left: right, up */
        {i, i, i + L, i},                 {i, i, i, i + L},                 /* top left: right, down */
        {W - i, H - i, W - i - L, H - i}, {W - i, H - i, W - i, H - i - L}, /* bottom right: left, up */
        {W - i, i, W - i - L, i},         {W - i, i, W - i, i + L},         /* top right: left, down */
        {W / 2 - L / 2, H - i, W / 2 + L / 2, H - i},                        /* middle of the bottom edge */
        {W / 2 - L / 2, i, W / 2 + L / 2, i},                                /* of the top edge */
        {i, H / 2 - L / 2, i, H / 2 + L / 2},                                /* of the left edge */
        {W - i, H / 2 - L / 2, W - i, H / 2 + L / 2},                        /* of the right edge */
    };
    for (const auto &l : lines) {
        if (r != 0)
            break;
        r = XL_DrawLine(pdev, l[0], l[1], l[2], l[3]);
    }
    XL_SetCtmValid(pdev->ctmTracker, valid);
    /* What the marks set is unknown to what follows. */
    if (XL_ResetCtmTracker(pdev->ctmTracker) != 0)
        r = -1;
    return r == 0 ? 0 : -1;
}
