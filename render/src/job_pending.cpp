/*
 * Calls of the job state machine into the copy-set work of the sheet
 * pipeline and the replay, which are
 * not built yet.  Each either gives the answer its work gives in the state
 * this library cannot leave yet (no copy-set data, no recording, no
 * duplex back face), or fails visibly: one
 * trace line naming the function, ERROR_CALL_NOT_IMPLEMENTED and -1.  Each
 * is deleted from here when its work is built.
 */
#include "job_header.h"
#include "job_ext.h"
#include "job_settings.h"
#include "job_state.h"
#include "page_recording.h"
#include "pdev_context.h"
#include "sheet_pipeline.h"

#include <tarvel/log_trace.h>

#include <plat/error.h>

namespace {

/* The failure of a call whose work is not built: a trace line and the last error. */
int not_built(LPCWSTR function)
{
    LOG_Printf(u"%s: not built yet", function);
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return -1;
}

} // namespace

/* ---- Sheet pipeline -------------------------------------------------------- */

/* Without copy-set data there is nothing to finish after a committed job. */
int JOB_FinishSheetPipeline(PdevContext *pdev)
{
    if (!pdev)
        return -1;
    return pdev->copySetData ? not_built(u"JOB_FinishSheetPipeline") : 0;
}

int JOB_BeginCopySetSheets(PdevContext *) { return not_built(u"JOB_BeginCopySetSheets"); }
int JOB_EmitFirstSheetData(PdevContext *) { return not_built(u"JOB_EmitFirstSheetData"); }
int JOB_FinishCopySets(PdevContext *) { return not_built(u"JOB_FinishCopySets"); }

/* ---- Page recording and replay ---------------------------------------------- */

int REC_ReplayCopySets(PdevContext *) { return not_built(u"REC_ReplayCopySets"); }

