/*
 * The page-recording calls of the sheet pipeline: the bytes go straight to
 * the printer, or, while a page record asks for them, the matching side
 * records go into the recorded page for its replay to act on.
 */
#include "page_recording_direct.h"

#include "form_overlay.h"
#include "job_settings.h"
#include "job_state.h"
#include "page_recording.h"
#include "output_channel.h"
#include "pclxl_ops.h"
#include "pdev_context.h"
#include "sheet_state.h"

#include <cstring>

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

int REC_WritePageStart(PdevContext *pdev, BYTE colorCode, SHORT mediaSource, SHORT mediaSize, FLOAT customWidth,
                       FLOAT customHeight)
{
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

int REC_BeginPage(PdevContext *pdev, BYTE colorCode, SHORT mediaSource, SHORT mediaSize, FLOAT customWidth,
                  FLOAT customHeight)
{
    if (!pdev)
        return -1;
    DWORD mode = form_mode(pdev);
    if (records(pdev, REC_RECORDS_PAGE_START)) {
        BYTE payload[REC_PAGE_START_SIZE] = {};
        payload[REC_PS_COLOR] = colorCode;
        payload[REC_PS_SOURCE] = BYTE(mediaSource);
        payload[REC_PS_SIZE] = mediaSize < 0 ? BYTE(REC_CUSTOM_SIZE) : BYTE(mediaSize);
        std::memcpy(payload + REC_PS_CUSTOM, &customWidth, 4);
        std::memcpy(payload + REC_PS_CUSTOM + 4, &customHeight, 4);
        if (const SheetPipelineState *sheet = JOB_SheetState(pdev)) {
            std::memcpy(payload + REC_PS_PAPER, &sheet->paper, sizeof sheet->paper);
            payload[REC_PS_TRAY] = BYTE(sheet->tray);
            payload[REC_PS_TRAY + 1] = BYTE(sheet->tray >> 8);
        }
        if (OUT_AddSideRecord(pdev->channel, SEG_PAGE_START, sizeof payload, payload) != 0 || XL_PushGS(pdev) != 0)
            return -1;
    } else if (mode != 1) {
        if (REC_WritePageStart(pdev, OVL_PageColorCode(pdev, colorCode), mediaSource, mediaSize, customWidth,
                               customHeight) != 0)
            return -1;
    }
    return mode == 2 ? OVL_RunAtPageStart(pdev, FALSE) : 0;
}

int REC_EndPage(PdevContext *pdev)
{
    if (!pdev)
        return -1;
    if (records(pdev, REC_RECORDS_PAGE_END)) {
        /* The PopGS closes the graphics state the recorded page start pushed. */
        if (XL_PopGS(pdev) != 0)
            return -1;
        return OUT_AddSideRecord(pdev->channel, SEG_END_OF_PAGE, 0, nullptr);
    }
    return XL_EndPage(pdev, 0);
}

int REC_SetTransform(PdevContext *pdev, const PageTransform *transform)
{
    if (!pdev || !transform)
        return -1;
    if (!(pdev->jobState & JOB_SHEET_OPEN))
        return 0;
    if (records(pdev, REC_RECORDS_TRANSFORM)) {
        if (OUT_AddSideRecord(pdev->channel, SEG_PAGE_TRANSFORM, sizeof *transform, transform) != 0)
            return -1;
        return XL_RememberCtm(pdev->ctmTracker, transform);
    }
    return XL_ApplyCtm(pdev->ctmTracker, transform);
}

int REC_Mark(PdevContext *pdev)
{
    if (!pdev)
        return -1;
    if (records(pdev, REC_RECORDS_SHEET_MARK))
        return OUT_AddSideRecord(pdev->channel, SEG_SHEET_MARK, 0, nullptr);
    return 0;
}
