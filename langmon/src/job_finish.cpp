/*
 * The job bookkeeping of the status side: releasing the spooler jobs the
 * device has taken (LMS_FinishJobs), the reset of a port's status state
 * before a fresh start, and the spooler-job checks of the poll cycle.
 */
#include "reply_parser.h"
#include "status.h"

#include <plat/clock.h>

#include <cstring>

namespace {

/* SetJobW with `command` on `handle`, else on the port's printer opened by name. */
void control_job(MonitorPort *port, HANDLE handle, DWORD jobId, DWORD command)
{
    if (handle) {
        SetJobW(handle, jobId, 0, nullptr, command);
        return;
    }
    HANDLE opened = nullptr;
    if (port->printerName && OpenPrinterW(port->printerName, &opened, nullptr)) {
        SetJobW(opened, jobId, 0, nullptr, command);
        ClosePrinter(opened);
    }
}

/* Reads the port's job with GetJobW level 1 into a heap block; null when the spooler does not return it. */
JOB_INFO_1W *read_job(MonitorPort *port)
{
    ServedPrinter *p = port->jobPrinter;
    if (!p || !port->jobId || !LMS_WaitSpoolerHandle(p))
        return nullptr;
    DWORD needed = 0;
    GetJobW(p->spoolerHandle, port->jobId, 1, nullptr, 0, &needed);
    if (needed < sizeof(JOB_INFO_1W))
        return nullptr;
    auto *info = static_cast<JOB_INFO_1W *>(LMU_Alloc(needed));
    if (info && !GetJobW(p->spoolerHandle, port->jobId, 1, reinterpret_cast<LPBYTE>(info), needed, &needed)) {
        LMU_Free(info);
        info = nullptr;
    }
    return info;
}

} // namespace

void LMJ_ReleaseQueuedJob(MonitorPort *port, JobQueueEntry *job, DWORD command)
{
    if (!port || !job)
        return;
    LMP_Lock(port);
    if (!(job->flags & LM_JOB_RELEASED)) {
        job->flags |= LM_JOB_RELEASED;
        if (job->jobId == port->jobId)
            port->jobReleased = 1;
        control_job(port, job->printer ? job->printer->spoolerHandle : nullptr, job->jobId, command);
    }
    LMP_Unlock(port);
}

void LMJ_ReleaseCurrentJob(MonitorPort *port)
{
    if (!port)
        return;
    LMP_Lock(port);
    JobQueueEntry *entry = port->jobQueueHead;
    while (entry && entry->jobId != port->jobId)
        entry = entry->next;
    if (entry) {
        LMJ_ReleaseQueuedJob(port, entry, JOB_CONTROL_LAST_PAGE_EJECTED);
    } else if (!port->jobReleased) {
        port->jobReleased = 1;
        control_job(port, port->jobPrinter ? port->jobPrinter->spoolerHandle : nullptr, port->jobId,
                    JOB_CONTROL_LAST_PAGE_EJECTED);
    }
    LMP_Unlock(port);
}

void LMJ_ForgetCurrentJob(MonitorPort *port)
{
    if (!port)
        return;
    LMP_Lock(port);
    port->jobReleased = 1;
    for (JobQueueEntry *e = port->jobQueueHead; e; e = e->next)
        if (e->jobId == port->jobId)
            e->flags |= LM_JOB_RELEASED;
    LMP_Unlock(port);
}

bool LMJ_ReleaseFirstJob(MonitorPort *port)
{
    if (!port)
        return false;
    LMP_Lock(port);
    JobQueueEntry *head = port->jobQueueHead;
    if (head) {
        port->jobQueueHead = head->next;
        if (port->jobQueueTail == head)
            port->jobQueueTail = nullptr;
        LMJ_ReleaseQueuedJob(port, head, JOB_CONTROL_LAST_PAGE_EJECTED);
        LMU_Free(head);
    }
    LMP_Unlock(port);
    return head != nullptr;
}

void LMS_FreePendingOutput(MonitorPort *port)
{
    if (!port || !port->pendingOutput)
        return;
    LMU_Free(port->pendingOutput);
    port->pendingOutput = nullptr;
    port->pendingLength = 0;
}

BOOL LMS_FinishJobs(MonitorPort *port, BOOL deleteCurrent)
{
    if (!port)
        return FALSE;
    LMP_Lock(port);
    BOOL deleted = FALSE;
    bool sendingCleared = false;
    JobQueueEntry *current = port->jobQueueTail;
    if (LMP_TestState(port, ST_JOB_OPEN) && LMP_TestState(port, ST_HEADER_SENT) && current) {
        if (deleteCurrent) {
            LMP_SetState(port, ST_DISCARD | ST_JOB_FINISHED);
            LMJ_ReleaseQueuedJob(port, current, JOB_CONTROL_DELETE);
            LMS_UpdateJobStatusBits(port, 0x4, TRUE);
            deleted = TRUE;
        }
        if (port->jobPrinter)
            sendingCleared = LMS_SetSendingJobInfo(port, FALSE);
    }

    LMS_ClearJobRecordQueue(port);

    StatusVariable *printing = LMS_LookupVariable("PrintingJobInfo2", port);
    if (printing && printing->value && LMS_VariableSize(printing) >= LONG(LM_RECORD_PAGES + 4)) {
        if (port->jobQueueHead)
            std::memcpy(printing->value + LM_RECORD_JOB_ID, &port->jobQueueHead->jobId, 4);
        std::memset(printing->value + LM_RECORD_PAGES, 0, 4);
        printing->flags = (printing->flags & ~SVF_KEEP) | SVF_JOB_CLOSE;
        printing->changed = 1;
        LMS_NotifyChanged(port);
        LMS_PublishPrinterStatus(port);
        LMP_SetState(port, ST_JOB_FINISHED);
    }

    if (StatusVariable *queue = LMS_FindVariable("PrinterQueue", port->statusVariables, port, TRUE)) {
        std::memset(queue->value, 0, 4);
        queue->changed = 1;
        Sleep(200);
        LMS_NotifyChanged(port);
    }

    /* Every job ahead of the current one has been taken by the device. */
    while (port->jobQueueHead && port->jobQueueHead != current) {
        JobQueueEntry *job = port->jobQueueHead;
        port->jobQueueHead = job->next;
        LMJ_ReleaseQueuedJob(port, job, JOB_CONTROL_LAST_PAGE_EJECTED);
        LMU_Free(job);
        LMP_SetState(port, ST_JOB_FINISHED);
    }
    if (!port->jobQueueHead)
        port->jobQueueTail = nullptr;
    current = port->jobQueueHead;
    if (current && (!LMP_TestState(port, ST_JOB_OPEN) || sendingCleared)) {
        /* the open job is released by its EndDocPort, once */
        if (LMP_TestState(port, ST_JOB_OPEN))
            ++port->releaseCount;
        else
            LMJ_ReleaseQueuedJob(port, current, JOB_CONTROL_LAST_PAGE_EJECTED);
        LMJ_FreeJobQueue(port);
        current = nullptr;
    }
    if (!current)
        LMS_SetJobActive(port, FALSE);
    if ((port->portMode & 0x2) && port->flowing)
        port->flowing = 0;
    LMP_Unlock(port);
    return deleted;
}

void LMS_ResetPortStatus(MonitorPort *port)
{
    if (!port)
        return;
    LMP_ClearState(port, ST_JOB_OPEN | ST_HEADER_SENT | ST_HEADER_DUE | ST_IDENTIFIED | ST_END_REQUESTED |
                             ST_UNREACHABLE | ST_FRESH | ST_JOB_FINISHED | ST_DISCARD | ST_END_SENT);
    port->pollCycle = 0;
    LMS_ClearErrorValues(port, TRUE);
    LMS_ClearJobStatus(port);
    LMS_ResetDeviceValues(port, TRUE);
    LMP_Lock(port);
    port->writeBlocked = 0;
    LMS_FreePendingOutput(port);
    if (port->replyParser)
        LMS_ResetReplyParser(port->replyParser, TRUE);
    LMU_Free(port->partialReply);
    port->partialReply = nullptr;
    LMJ_FreeJobQueue(port);
    LMS_ClearJobRecordQueue(port);
    if (!port->refreshActive)
        for (ServedPrinter *p = port->servedPrinters; p; p = p->next)
            LMS_UpdateSpoolerStatus(port, p, nullptr);
    LMP_SetBusy(port, 0);
    LMP_Unlock(port);
}

BOOL LMS_CheckJobPaused(MonitorPort *port)
{
    if (!port)
        return FALSE;
    LMP_Lock(port);
    JOB_INFO_1W *job = read_job(port);
    if (job) {
        const bool paused = (job->Status & JOB_STATUS_PAUSED) && LMP_TestState(port, ST_JOB_OPEN);
        LMS_UpdateJobStatusBits(port, 0x2, paused);
        LMU_Free(job);
    }
    LMP_Unlock(port);
    return job != nullptr;
}

BOOL LMS_JobStillQueued(MonitorPort *port)
{
    if (!port)
        return FALSE;
    LMP_Lock(port);
    JOB_INFO_1W *job = read_job(port);
    LMU_Free(job);
    LMP_Unlock(port);
    return job != nullptr;
}
