/*
 * Pages and sheets of a job (see job_state.h): the first drawing call opens
 * the page (and sets up the first sheet), the end of a page closes it, and
 * the end of the job closes what is still open, replays recorded pages,
 * writes the tail and closes the channel.  Every failure on the way aborts
 * the job.  Also the decoration and page-colour queries of the drawing code.
 */
#include "form_overlay.h"
#include "job_channel.h"
#include "job_ext.h"
#include "job_header.h"
#include "job_settings.h"
#include "job_state.h"
#include "page_recording.h"
#include "pclxl_transform.h"
#include "pdev_context.h"
#include "sheet_pipeline.h"
#include "sheet_state.h"

#include <cstring>

namespace {

/* Settings of copy-set jobs and of the decorations. */
enum : WORD {
    S_COPYSET_SHEET_DATA = 376,   /* 1: the job carries sheet data */
    S_COPYSET_379 = 379,
    S_COPYSET_DATA_SETS = 380,
    S_COPYSET_NO_PAGES = 381,     /* 1: the document's own pages are not printed */
    S_WATERMARK_SEE_THROUGH = 1287,
    S_TOLERANT_GREY = 1289,
};

bool has_state(const PdevContext *pdev, DWORD bits) { return (pdev->jobState & bits) == bits; }

LONG setting(PdevContext *pdev, WORD id)
{
    DWORD v = 0;
    PDEV_GetSetting32(pdev, id, &v);
    return LONG(v);
}

/* Copy-set jobs take their copy-set settings when the copy-set data arrives; without it the job is direct. */
bool copy_set_job(const PdevContext *pdev) { return pdev->copySetMode && pdev->copySetData; }

bool copy_set_skips_pages(PdevContext *pdev)
{
    return copy_set_job(pdev) && setting(pdev, S_COPYSET_NO_PAGES) == 1;
}

bool copy_set_has_sheet_data(PdevContext *pdev)
{
    return copy_set_job(pdev) && setting(pdev, S_COPYSET_SHEET_DATA) == 1;
}

bool copy_set_job_per_set(PdevContext *pdev)
{
    return copy_set_has_sheet_data(pdev) && setting(pdev, S_COPYSET_379) == 0 &&
           setting(pdev, S_COPYSET_DATA_SETS) >= 2 && setting(pdev, S_COPYSET_NO_PAGES) != 1;
}

/* A failure while a page or sheet begins or ends: the job is aborted, the answer -1. */
int fail(PdevContext *pdev)
{
    if (!(pdev->jobState & JOB_ABORTED))
        JOB_Abort(pdev);
    return -1;
}

/* The head of the job's output, or the start of a recorded job (second half of the first sheet's set-up). */
int begin_output(PdevContext *pdev)
{
    JobSettings *js = pdev->jobSettings;
    if (js->formMode) {
        js->recorded = 1; /* the pages go to the form file at the end */
        return 0;
    }
    if (copy_set_job_per_set(pdev)) {
        js->recorded = 1;
        return JOB_BeginCopySetSheets(pdev);
    }
    /* driver duplex and the HCPN line need the page count: their head is written at the end */
    const bool deferred = js->driverDuplex || js->hcpnLine;
    if (!deferred && JOB_BeginJobOutput(pdev, 0) != 0)
        return -1;
    /* the first sheet-data page follows the head: with a deferred head it waits for it */
    if (copy_set_has_sheet_data(pdev)) {
        if (deferred)
            JOB_SheetState(pdev)->copySets.firstPending = 1;
        else if (JOB_EmitFirstSheetData(pdev) != 0)
            return -1;
    }
    if (js->coverMode == 2 && !js->recorded && JOB_EmitBlankSheet(pdev, js->leadingInsertTray) != 0)
        return -1;
    return 0;
}

/* Closes what is still open at the end of the job: the page, the sheet, a pending back face; counts the sheet. */
int close_open_sheet(PdevContext *pdev)
{
    if (pdev->jobState & JOB_PAGE_OPEN) {
        if (JOB_LogEvent(pdev, JOB_EVENT_END_WITHOUT_END_PAGE) != 0 || JOB_EndLogicalPage(pdev) != 0 ||
            (pdev->jobState & JOB_PAGE_OPEN))
            return -1;
    }
    if (pdev->jobState & JOB_SHEET_OPEN) {
        if (JOB_LogEvent(pdev, JOB_EVENT_END_WITH_LEFT_NUP) != 0 || JOB_EndSheet(pdev) != 0 ||
            (pdev->jobState & JOB_SHEET_OPEN))
            return -1;
    }
    /* a job that set up no sheet has no front waiting for its back */
    int due = (pdev->jobState & JOB_SHEET_SET_UP) ? JOB_BackFaceDue(pdev, JOB_BACK_FACE_END) : 0;
    if (due < 0 || (due > 0 && JOB_SkipBackFace(pdev, JOB_BACK_FACE_END) != 0))
        return -1;
    ++pdev->jobCounters.sheets;
    return 0;
}

/* The output of a job whose first sheet was set up: replay or trailing sheets, then the tail. */
int finish_output(PdevContext *pdev)
{
    const JobSettings *js = pdev->jobSettings;
    if (js->formMode)
        return OVL_CloseFormOutput(pdev);
    int rc = 0;
    if (copy_set_job_per_set(pdev)) {
        rc = REC_ReplayCopySets(pdev);
    } else if (js->recorded) {
        if ((js->driverDuplex || js->hcpnLine) && JOB_BeginJobOutput(pdev, 0) != 0)
            return -1;
        if (JOB_SheetState(pdev)->copySets.firstPending && JOB_EmitFirstSheetData(pdev) != 0)
            return -1;
        rc = REC_ReplayJob(pdev);
        if (rc == 0)
            rc = JOB_EndJobOutput(pdev);
        if (REC_StopRecording(pdev) != 0)
            rc = -1;
    } else {
        /* The booklet's last set (nothing when a full set just went out); posters went out page by page. */
        if (js->booklet && (pdev->recordFlags & REC_FLAG_RECORDING)) {
            const LONG valid = XL_SetCtmValid(pdev->ctmTracker, 0);
            rc = REC_ReplayBooklet(pdev, 1);
            XL_SetCtmValid(pdev->ctmTracker, valid);
            if (REC_StopRecording(pdev) != 0)
                rc = -1;
        }
        if (rc == 0 && js->trailingInsert)
            rc = JOB_EmitBlankSheet(pdev, js->trailingInsertTray);
        if (rc == 0)
            rc = JOB_EndJobOutput(pdev);
    }
    if (rc == 0 && copy_set_job(pdev))
        rc = JOB_FinishCopySets(pdev);
    return rc;
}

} // namespace

int JOB_PrepareDraw(PdevContext *pdev)
{
    if (!pdev || (pdev->jobState & JOB_ABORTED))
        return -1;
    if (!(pdev->jobState & JOB_OPEN)) {
        pdev->flags |= PDEV_FAILED;
        return -1;
    }
    if (JOB_IsDecorationDrawing(pdev))
        return 0;
    int rc = 0;
    if (!(pdev->jobState & JOB_PAGE_OPEN)) {
        rc = JOB_BeginPage(pdev);
        /* a copy-set job that prints no document pages: nothing to draw, but nothing failed */
        if (rc == 0 && !(pdev->jobState & JOB_PAGE_OPEN))
            return -1;
    }
    if (rc == 0)
        rc = REC_FlushIfColorKnown(pdev);
    if (rc == -1)
        pdev->flags |= PDEV_FAILED;
    return rc;
}

int JOB_BeginPage(PdevContext *pdev)
{
    if (!pdev || (pdev->jobState & JOB_ABORTED) || !(pdev->jobState & JOB_OPEN) ||
        (pdev->jobState & JOB_PAGE_OPEN))
        return -1;
    if (!(pdev->jobState & JOB_SHEET_SET_UP) && JOB_BeginSheetSetup(pdev) != 0)
        return fail(pdev);
    if (copy_set_skips_pages(pdev))
        return 0;
    if (!(pdev->jobState & JOB_SHEET_OPEN) && JOB_StartSheet(pdev) != 0)
        return fail(pdev);
    if (JOB_StartLogicalPage(pdev) != 0)
        return fail(pdev);
    return 0;
}

int JOB_EndPage(PdevContext *pdev)
{
    if (!pdev || (pdev->jobState & JOB_ABORTED) || !(pdev->jobState & JOB_OPEN))
        return -1;
    if (copy_set_skips_pages(pdev)) {
        if (!(pdev->jobState & JOB_SHEET_SET_UP) && JOB_BeginSheetSetup(pdev) != 0)
            return fail(pdev);
        return 0;
    }
    if (JOB_EndLogicalPage(pdev) != 0)
        return fail(pdev);
    return 0;
}

int JOB_BeginSheetSetup(PdevContext *pdev)
{
    if (!pdev || (pdev->jobState & JOB_ABORTED) || !(pdev->jobState & JOB_OPEN) || !pdev->jobSettings ||
        !pdev->pageLayout)
        return -1;
    const DWORD pageRecord = REC_FLAG_RECORDING | REC_FLAG_PAGE_OPEN;
    if ((pdev->recordFlags & pageRecord) == pageRecord)
        return -1;
    pdev->jobState |= JOB_SHEET_SET_UP;
    ++pdev->jobCounters.setUpSheets;

    ModelCapabilityBits caps{};
    int rc = MDL_GetCapabilityBits(pdev->mainReader, &caps) ? 0 : -1;
    /* the sheet pipeline refreshes the snapshot first, then the layout follows it */
    if (rc == 0)
        rc = JOB_TranslateSettings(pdev);
    if (rc == 0)
        rc = JOB_TranslateLayout(pdev->pageLayout, pdev->jobSettings, pdev->settings, pdev->printerData, &caps);
    std::memcpy(pdev->settingsCopy, pdev->settings, sizeof pdev->settingsCopy);
    if (rc == 0)
        rc = JOB_RestartCtm(pdev, TRUE);
    if (rc == 0)
        rc = begin_output(pdev);
    return rc == 0 ? 0 : fail(pdev);
}

int JOB_EndJob(PdevContext *pdev)
{
    if (!pdev || (pdev->jobState & JOB_ABORTED) || !(pdev->jobState & JOB_OPEN) || !pdev->jobSettings)
        return -1;
    if (close_open_sheet(pdev) != 0)
        return fail(pdev);
    int rc = 0;
    if (pdev->jobState & JOB_SHEET_SET_UP) {
        /* A failed tail aborts with the channel still open, so the closing exit can follow the bytes written. */
        if (finish_output(pdev) != 0)
            return fail(pdev);
        if (OUT_CloseJobChannel(pdev, TRUE) != 0)
            rc = -1;
        if (rc == 0)
            rc = JOB_FinishSheetPipeline(pdev);
    } else {
        rc = OUT_CloseJobChannel(pdev, TRUE); /* nothing was written */
    }
    if (rc != 0)
        return fail(pdev);
    rc = JOB_FreeJobState(pdev);
    if (ESC_RestoreSettings(pdev) != 0)
        rc = -1;
    pdev->jobState &= ~(JOB_OPEN | JOB_SHEET_SET_UP);
    return rc;
}

int JOB_RestartCtm(PdevContext *pdev, BOOL force)
{
    if (!pdev || !pdev->ctmTracker || !pdev->jobSettings)
        return -1;
    const JobSettings *js = pdev->jobSettings;
    if (force || js->formOther) {
        /* pages that are replayed must have every transform sent again */
        BOOL replayed = js->poster || js->booklet || js->driverCollate || js->driverDuplex;
        XL_SetCtmValid(pdev->ctmTracker, replayed ? 0 : 1);
    }
    return XL_ResetCtmTracker(pdev->ctmTracker);
}

/* ---- Decorations ------------------------------------------------------------ */

namespace {

bool watermark_configured(const PdevContext *pdev)
{
    return pdev->jobSettings && (pdev->jobSettings->pageWatermark || pdev->jobSettings->sheetWatermark);
}

} // namespace

BOOL JOB_IsDecorationDrawing(const PdevContext *pdev)
{
    if (!pdev)
        return FALSE;
    return (pdev->watermarkBracket && watermark_configured(pdev)) || pdev->annotationBracket;
}

BOOL JOB_IsSheetDecoration(const PdevContext *pdev)
{
    if (!pdev)
        return FALSE;
    return pdev->annotationBracket ||
           (pdev->watermarkBracket && pdev->jobSettings && pdev->jobSettings->sheetWatermark);
}

BOOL JOB_IsWatermarkSeeThrough(PdevContext *pdev)
{
    return pdev && pdev->watermarkBracket && setting(pdev, S_WATERMARK_SEE_THROUGH) != 0;
}

int JOB_SetDecorationMode(PdevContext *pdev, BOOL watermark, BOOL annotation)
{
    if (!pdev || !has_state(pdev, JOB_OPEN | JOB_SHEET_SET_UP | JOB_SHEET_OPEN))
        return -1;
    pdev->watermarkBracket = watermark;
    pdev->annotationBracket = annotation;
    return (watermark && !watermark_configured(pdev)) ? -1 : 0;
}

/* ---- Page colour ------------------------------------------------------------ */

int JOB_SetPageColorMode(PdevContext *pdev, LONG mode)
{
    if (!pdev || mode < JOB_PAGE_COLOR_UNDECIDED || mode > JOB_PAGE_COLOR_COLOR)
        return -1;
    pdev->pageColorMode = mode;
    return 0;
}

BOOL JOB_IsPageColorKnown(const PdevContext *pdev)
{
    if (!pdev)
        return TRUE;
    return !(has_state(pdev, JOB_OPEN | JOB_SHEET_SET_UP | JOB_SHEET_OPEN) &&
             pdev->pageColorMode == JOB_PAGE_COLOR_UNDECIDED);
}

BOOL JOB_UseExactGreyTest(const PdevContext *pdev)
{
    if (!pdev || pdev->pageColorMode != JOB_PAGE_COLOR_UNDECIDED)
        return FALSE;
    return pdev->jobSettings && !pdev->jobSettings->tolerantGreyTest;
}

int JOB_MarkPageColor(PdevContext *pdev)
{
    if (!pdev || pdev->pageColorMode != JOB_PAGE_COLOR_UNDECIDED)
        return -1;
    pdev->pageColorMode = JOB_PAGE_COLOR_COLOR;
    return 0;
}
