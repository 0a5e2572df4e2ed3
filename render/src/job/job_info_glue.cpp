/*
 * The job-information record of a device context's job (see
 * job_info_glue.h): made when the first job opens, reset for every later
 * job of the context, destroyed with the job.
 */
#include "job_info_glue.h"
#include "pdev_context.h"

#include <tarvel/job_language/job_info.h>

int JIG_InitJobInfo(PdevContext *pdev)
{
    if (!pdev)
        return -1;
    if (pdev->jobInfo) {
        JIF_Reset(pdev->jobInfo);
        return 0;
    }
    pdev->jobInfo = JIF_Create(JIG_PAGE_CAPACITY, JIG_PAGE_GROWTH);
    return pdev->jobInfo ? 0 : -1;
}

void JIG_FreeJobInfo(PdevContext *pdev)
{
    if (!pdev || !pdev->jobInfo)
        return;
    JIF_Destroy(pdev->jobInfo);
    pdev->jobInfo = nullptr;
}
