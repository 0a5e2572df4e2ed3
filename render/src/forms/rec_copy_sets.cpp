/*
 * One spool job per data set of a copy-set job: at the end of the job the
 * recorded pages are replayed once for every data set, each set after its
 * own job header and sheet-data page, the first set in the engine's spool
 * job and every later one in a spool job of its own on the same printer.
 */
#include "job_channel.h"
#include "job_settings.h"
#include "job_state.h"
#include "page_recording.h"
#include "pclxl_transform.h"
#include "pdev_context.h"
#include "sheet_pipeline.h"
#include "sheet_state.h"

#include <tarvel/base/log_trace.h>

int REC_ReplayCopySets(PdevContext *pdev)
{
    SheetPipelineState *sheet = JOB_SheetState(pdev);
    if (!sheet || !pdev->jobSettings || !pdev->ctmTracker || !(pdev->recordFlags & REC_FLAG_RECORDING))
        return -1;
    CopySetState &cs = sheet->copySets;
    if (!cs.read || !cs.jobPerSet)
        return -1;
    /* Every transform of the replayed pages goes out again in every set. */
    const LONG valid = XL_SetCtmValid(pdev->ctmTracker, 0);
    int rc = 0;
    for (LONG set = 0; set < cs.dataSets && rc == 0; set++) {
        if (set > 0 && OUT_OpenJobOnNewSpoolJob(pdev) != 0) {
            LOG_Printf(u"REC_ReplayCopySets: no spool job for data set %d", set);
            rc = -1;
            break;
        }
        rc = JOB_BeginJobOutput(pdev, WORD(set));
        if (rc == 0)
            rc = JOB_WriteSheetDataPage(pdev, WORD(set));
        if (rc == 0)
            rc = REC_ReplayJob(pdev);
        if (rc == 0)
            rc = JOB_EndJobOutput(pdev);
        /* A later set's own spool job is ended here when the set went out whole, and deleted when it failed:
           a cut-off set never reaches the printer.  The first set's is the engine's, ended or aborted with the
           job. */
        if (set > 0 && rc == 0 && OUT_CloseJobTarget(pdev) != 0)
            rc = -1;
        else if (set > 0 && rc != 0)
            OUT_AbortJobTarget(pdev);
        /* Each set's header registered the set with the document monitor; that record is done
           once the set went out, and the next set's header makes its own. */
        if (pdev->owner.registration && DMJ_Release(pdev->owner.registration) != 1)
            rc = -1;
        pdev->owner.registration = nullptr;
        if (rc == 0)
            cs.setsWritten++;
    }
    XL_SetCtmValid(pdev->ctmTracker, valid);
    if (REC_StopRecording(pdev) != 0)
        rc = -1;
    return rc;
}
