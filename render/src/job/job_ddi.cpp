/*
 * The engine's document and page calls (see ddi_workers.h): each checks its
 * device context, then drives the context's flags and the job's state.
 *
 * Two points differ from a literal reading of the engine's contract:
 *   - the end of a document finishes the job whenever one is open, even
 *     when no page was started (a decoration escape can set up the first
 *     sheet on its own, and its job must still get its tail);
 *   - the end of a document whose job was aborted by a failure answers
 *     FALSE with the failure's last error, so that a cut-off job is not
 *     reported as printed.  The application's own abort (ED_ABORTDOC)
 *     answers TRUE.
 */
#include "blt_image_spool.h"
#include "esc_ext.h"
#include "ddi_workers.h"
#include "fnt_download.h"
#include "job_state.h"
#include "pdev_context.h"
#include "pth_path_state.h"

#include <tarvel/base/log_trace.h>

#include <plat/error.h>

namespace {

/* Trace categories of the settings dumps at the document and page starts. */
constexpr DWORD kDumpCategoryStartDoc = 0x80000;
constexpr DWORD kDumpCategoryStartPage = 0x100000;

/* The context of a surface object, or null with ERROR_INVALID_PARAMETER. */
PdevContext *checked(const SURFOBJ *pso) { return PDEV_CheckedFromSurface(pso); }

} // namespace

BOOL DDI_StartDoc(SURFOBJ *pso, LPWSTR docName, DWORD jobId)
{
    PdevContext *pdev = checked(pso);
    if (!pdev)
        return FALSE;
    LOG_DumpSettings(kDumpCategoryStartDoc, u"<INPUT  DEVMODE>", pdev->settings, pdev->printerData);
    pdev->flags |= PDEV_STARTDOC_SEEN;
    if (pdev->flags & PDEV_RESET_IN_DOC)
        return TRUE; /* the job goes on from the context this one replaced */
    int rc = JOB_Reset(pdev, pdev->printer);
    if (JOB_Open(pdev, docName) != 0)
        rc = -1;
    if (JOB_InitOwnerRecord(pdev, jobId) != 0)
        rc = -1;
    pdev->flags &= ~(PDEV_PAGE_STARTED | PDEV_PAGE_IN_PROGRESS);
    if (rc != 0) {
        pdev->flags |= PDEV_FAILED;
        if (GetLastError() == 0)
            SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    pdev->flags &= ~PDEV_FAILED;
    return TRUE;
}

BOOL DDI_StartPage(SURFOBJ *pso)
{
    PdevContext *pdev = checked(pso);
    if (!pdev)
        return FALSE;
    LOG_DumpSettings(kDumpCategoryStartPage, u"<INPUT  DEVMODE>", pdev->settings, pdev->printerData);
    if (pdev->flags & PDEV_FAILED)
        return FALSE;
    if (pdev->flags & PDEV_PAGE_IN_PROGRESS)
        return TRUE;
    if (!JOB_IsSheetSetUp(pdev)) {
        FNT_ResetDownloadState(pdev);
        pdev->flags |= PDEV_PAGE_STARTED;
    }
    PTH_ResetPathState(pdev);
    pdev->flags |= PDEV_PAGE_IN_PROGRESS;
    pdev->flags &= ~PDEV_RESET_IN_DOC;
    return TRUE;
}

BOOL DDI_SendPage(SURFOBJ *pso)
{
    PdevContext *pdev = checked(pso);
    if (!pdev)
        return FALSE;
    BOOL ok = TRUE;
    /* A JPEG image the application left unfinished is not printed. */
    ESC_ExtDropSequence(pdev);
    if (!(pdev->jobState & JOB_ABORTED) && BLT_FlushPendingImages(pdev, TRUE) != 0)
        ok = FALSE;
    FNT_RemoveAllDownloadedFonts(pdev);
    if (JOB_EndPage(pdev) != 0) {
        ok = FALSE;
        pdev->flags |= PDEV_FAILED;
    }
    pdev->flags &= ~PDEV_PAGE_IN_PROGRESS;
    return ok;
}

BOOL DDI_EndDoc(SURFOBJ *pso, FLONG fl)
{
    PdevContext *pdev = checked(pso);
    if (!pdev)
        return FALSE;
    FNT_RemoveAllDownloadedFonts(pdev);
    BOOL ok = TRUE;
    ESC_ExtDropSequence(pdev);
    if (fl & ED_ABORTDOC) {
        JOB_AbortDocument(pdev);
    } else {
        if ((pdev->jobState & JOB_OPEN) && !(pdev->jobState & JOB_ABORTED))
            JOB_EndJob(pdev);
        if (pdev->jobAbortError) {
            ok = FALSE;
            SetLastError(pdev->jobAbortError);
        }
    }
    JOB_Close(pdev);
    pdev->flags &= ~(PDEV_STARTDOC_SEEN | PDEV_PAGE_STARTED | PDEV_RESET_IN_DOC);
    return ok;
}
