/*
 * The job's output channel on the device context (see job_channel.h).
 */
#include "job_channel.h"
#include "job_settings.h"
#include "job_state.h"
#include "output_channel.h"
#include "pdev_context.h"

#include <tarvel/base/res_module.h>

int OUT_CreateJobChannel(PdevContext *pdev)
{
    if (!pdev)
        return -1;
    pdev->recordFlags = 0;
    OUT_FreeJobChannel(pdev);
    pdev->channel = OUT_CreateChannel(RES_GetOwnModule());
    return pdev->channel ? 0 : -1;
}

void OUT_FreeJobChannel(PdevContext *pdev)
{
    if (!pdev || !pdev->channel)
        return;
    OUT_FreeChannel(pdev->channel);
    pdev->channel = nullptr;
}

int OUT_OpenJobChannel(PdevContext *pdev)
{
    if (!pdev || !pdev->channel || !pdev->jobSettings)
        return -1;
    const JobSettings *js = pdev->jobSettings;
    /* the per-page colour comments collect up to the low byte of 5126 colours */
    int rc = PCS_Init(&pdev->pageColors, js->use5126, WORD(js->use5126 ? js->value5126 : 0), js->high5126);
    if (OUT_OpenOnPrinter(pdev->channel, js->printer) != 0)
        rc = -1;
    return rc;
}

int OUT_CloseJobChannel(PdevContext *pdev, BOOL commit)
{
    if (!pdev)
        return -1;
    if (!pdev->channel || (!pdev->channel->target && pdev->channel->mode == OUT_MODE_CLOSED))
        return 0;
    return OUT_Close(pdev->channel, commit);
}

int OUT_WriteJob(PdevContext *pdev, DWORD length, const void *bytes)
{
    if (!pdev || !pdev->channel || !(pdev->jobState & JOB_SHEET_SET_UP))
        return -1;
    return OUT_Write(pdev->channel, length, bytes) == LONG(length) ? 0 : -1;
}
