/*
 * The job's output channel on targets other than the engine's spool job:
 * the form file of a form-creation job and the second spool jobs of
 * copy-set jobs (see job_channel.h).
 */
#include "job_channel.h"
#include "job_settings.h"
#include "output_channel.h"
#include "pdev_context.h"

int OUT_BeginFormFile(PdevContext *pdev, LPCWSTR path)
{
    if (!pdev || !pdev->channel || !path)
        return -1;
    ULONGLONG size = 0;
    if (OUT_OpenFile(pdev->channel, path, &size, OUT_FILE_CREATE) != 0)
        return -1;
    pdev->channel->errorMessageId = OUT_IDS_FORM_WRITE_ERROR;
    return 0;
}

int OUT_EndFormFile(PdevContext *pdev)
{
    if (!pdev || !pdev->channel)
        return -1;
    ULONGLONG size = 0;
    int rc = OUT_CloseFile(pdev->channel, &size);
    pdev->channel->errorMessageId = 0;
    return rc;
}

int OUT_OpenJobOnNewSpoolJob(PdevContext *pdev)
{
    if (!pdev || !pdev->channel || !pdev->jobSettings || !pdev->jobSettings->printer)
        return -1;
    OutputChannel *channel = pdev->channel;
    HANDLE engine = pdev->jobSettings->printer;
    if (channel->target && channel->target != engine)
        return -1; /* a second spool job is still open */
    if (channel->target) {
        int rc = channel->mode == OUT_MODE_CLOSED ? 0 : OUT_Flush(channel);
        OUT_DetachPrinterHandle(channel->target);
        channel->target = nullptr;
        channel->mode = OUT_MODE_CLOSED;
        if (rc != 0)
            return -1;
    }
    return OUT_OpenNewJob(channel, engine, pdev->jobSettings->documentName);
}

int OUT_AbortJobTarget(PdevContext *pdev)
{
    if (!pdev || !pdev->channel || !pdev->jobSettings)
        return -1;
    OutputChannel *channel = pdev->channel;
    if (!channel->target || channel->target == pdev->jobSettings->printer)
        return -1;
    return OUT_AbortNewJob(channel);
}

int OUT_CloseJobTarget(PdevContext *pdev)
{
    if (!pdev || !pdev->channel || !pdev->jobSettings)
        return -1;
    OutputChannel *channel = pdev->channel;
    if (!channel->target)
        return 0;
    if (channel->target == pdev->jobSettings->printer)
        return OUT_Close(channel, TRUE);
    return OUT_CloseNewJob(channel);
}
