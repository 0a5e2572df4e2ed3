/*
 * The job's output channel on targets other than the engine's spool job:
 * the form file of a form-creation job (see job_channel.h).
 */
#include "job_channel.h"
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
