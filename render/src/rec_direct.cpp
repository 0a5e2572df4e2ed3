/*
 * The page-recording calls on the direct road: the bytes go straight to the
 * printer.  While a page record asks for side records (page recording,
 * form overlays), each call fails visibly until that work exists.
 */
#include "page_recording_direct.h"

#include "job_settings.h"
#include "job_state.h"
#include "not_built.h"
#include "page_recording.h"
#include "pclxl_ops.h"
#include "pdev_context.h"

namespace {

enum : WORD {
    ID_RESOLUTION_Y = 21,
    ID_FORM_MODE = 339,
    ID_ERROR_REPORT = 1336,
};


/* The record bit asked for while a page record is open. */
bool records(const PdevContext *pdev, DWORD kind)
{
    return (pdev->recordFlags & REC_FLAG_PAGE_OPEN) && (pdev->recordFlags & kind);
}

DWORD form_mode(PdevContext *pdev)
{
    DWORD v = 0;
    PDEV_GetSetting32(pdev, ID_FORM_MODE, &v);
    return v;
}

} // namespace

int REC_BeginSession(PdevContext *pdev)
{
    if (!pdev)
        return -1;
    DWORD x = 0, y = 0, report = 0;
    if (PDEV_GetSetting32(pdev, ID_RESOLUTION, &x) != 0 || PDEV_GetSetting32(pdev, ID_RESOLUTION_Y, &y) != 0)
        return -1;
    PDEV_GetSetting32(pdev, ID_ERROR_REPORT, &report);
    if (XL_BeginSession(pdev, WORD(x), WORD(y), 0, report ? 3 : 0) != 0)
        return -1;
    return XL_OpenDataSource(pdev, 0, 1);
}

int REC_EndSession(PdevContext *pdev)
{
    if (!pdev)
        return -1;
    if (form_mode(pdev) == 1)
        return 0;
    if (XL_CloseDataSource(pdev) != 0)
        return -1;
    return XL_EndSession(pdev);
}

int REC_BeginPage(PdevContext *pdev, BYTE colorCode, SHORT mediaSource, SHORT mediaSize, FLOAT customWidth,
                  FLOAT customHeight)
{
    if (!pdev)
        return -1;
    DWORD mode = form_mode(pdev);
    if (mode == 2)
        return REN_NotBuilt(u"OVL_DefineFormStreams");
    if (records(pdev, REC_RECORDS_PAGE_START))
        return REN_NotBuilt(u"REC_BeginPage (recorded)");
    if (mode == 1)
        return 0;
    BYTE kind = colorCode & 0x0F;
    if (kind == 1 || kind == 2) {
        if (XL_CommentPc(pdev, kind == 1 ? 1 : 3) != 0)
            return -1;
    }
    XlPageStart page{};
    page.orientation = 0;
    page.mediaSource = mediaSource;
    page.mediaSize = mediaSize;
    page.customWidth = customWidth;
    page.customHeight = customHeight;
    page.customUnits = 1;
    page.mediaType = nullptr;
    page.mediaDestination = -1;
    page.simplexMode = -1;
    page.duplexMode = -1;
    page.duplexSide = -1;
    return XL_BeginPage(pdev, &page);
}

int REC_EndPage(PdevContext *pdev)
{
    if (!pdev)
        return -1;
    if (records(pdev, REC_RECORDS_PAGE_END))
        return REN_NotBuilt(u"REC_EndPage (recorded)");
    return XL_EndPage(pdev, 0);
}

int REC_SetTransform(PdevContext *pdev, const PageTransform *transform)
{
    if (!pdev || !transform)
        return -1;
    if (!(pdev->jobState & JOB_SHEET_OPEN))
        return 0;
    if (records(pdev, REC_RECORDS_TRANSFORM))
        return REN_NotBuilt(u"REC_SetTransform (recorded)");
    return XL_ApplyCtm(pdev->ctmTracker, transform);
}

int REC_Mark(PdevContext *pdev)
{
    if (!pdev)
        return -1;
    if (records(pdev, REC_RECORDS_SHEET_MARK))
        return REN_NotBuilt(u"REC_Mark (recorded)");
    return 0;
}
