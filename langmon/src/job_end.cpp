/*
 * The end of a job on the road: EndDocPort (the trailer, waiting for the
 * device to take the job, releasing the spooler's job), the count of the
 * printer's queued spooler jobs, and the pass-through of control requests,
 * two of which end the job.  Every wait here is bounded.
 */
#include "job_road.h"
#include "status.h"

#include <plat/clock.h>
#include <plat/error.h>
#include <plat/spooler.h>
#include <plat/sysinfo.h>
#include <plat/thread.h>

#include <cstring>

namespace {

constexpr DWORD kDeleteWaitMs = 4000;
/* A job being deleted waits this many rounds for the device's end of job. */
constexpr unsigned kDeleteRounds = 15;
constexpr DWORD kRoomWaitMs = 3000;
/* Rounds of waiting for room on the device before the port is closed anyway. */
constexpr unsigned kRoomRounds = 20;
constexpr DWORD kPendingLimitMs = 60000;
constexpr DWORD kPendingPauseMs = 1000;
constexpr BYTE PARALLEL_INIT = 1;

bool has_bits(const MonitorPort *p, DWORD bits) { return LMP_TestState(p, bits); }

/* The spooler job's status; false when it cannot be read (`gone`: the spooler no longer holds the job). */
bool job_status(HANDLE handle, DWORD jobId, DWORD *status, bool *gone)
{
    DWORD needed = 0;
    *gone = false;
    if (!GetJobW(handle, jobId, 1, nullptr, 0, &needed) && GetLastError() == ERROR_INVALID_PARAMETER)
        *gone = true;
    if (!needed)
        return false;
    auto *job = static_cast<JOB_INFO_1W *>(LMU_Alloc(needed));
    if (!job)
        return false;
    const bool ok = GetJobW(handle, jobId, 1, reinterpret_cast<LPBYTE>(job), needed, &needed);
    if (ok)
        *status = job->Status;
    LMU_Free(job);
    return ok;
}

/* The spooler thread gets back the priority it had before "PrintingPriority" changed it. */
void restore_priority(MonitorPort *port)
{
    if (!port->priorityThread)
        return;
    /* Only the thread that was changed can put itself back; a raise back may be refused (plat/thread.h). */
    if (port->priorityThreadId == GetCurrentThreadId())
        SetThreadPriority(GetCurrentThread(), int(port->savedPriority));
    port->priorityThread = nullptr;
    port->priorityThreadId = 0;
}

/* The job printer's spooler handle, else the printer opened by name (`opened` then set). */
HANDLE spooler_handle(MonitorPort *port, bool &opened)
{
    opened = false;
    if (port->jobPrinter && port->jobPrinter->spoolerHandle)
        return port->jobPrinter->spoolerHandle;
    HANDLE h = nullptr;
    if (port->printerName && OpenPrinterW(port->printerName, &h, nullptr)) {
        opened = true;
        return h;
    }
    return nullptr;
}

/*
 * Resets the device of a deleted job (PARALLEL_INIT).  Sent to the port
 * monitor itself: as a pass-through request the same control code would be
 * taken as the job's end and never reach the device.
 */
void reset_device(MonitorPort *port)
{
    BYTE init = PARALLEL_INIT;
    DWORD got = 0;
    LMP_Lock(port);
    if (auto ask = port->portMonitor.pfnGetPrinterDataFromPort)
        ask(port->portHandle, LM_IOCTL_PAR_SET_INFORMATION, nullptr, reinterpret_cast<LPWSTR>(&init), 1, nullptr, 0,
            &got);
    LMP_Unlock(port);
    if (port->portKind & KIND_USB)
        port->deviceIdRetry = 1;
}

BOOL end_plain(MonitorPort *port)
{
    if (has_bits(port, ST_PORT_OPEN)) {
        LMP_ClearState(port, ST_PORT_OPEN);
        LMP_PortEndDoc(port);
    } else if (LMP_PortStartDoc(port, port->printerName, port->jobId, port->docInfoLevel,
                                static_cast<LPBYTE>(port->docInfo))) {
        LMP_PortEndDoc(port); /* the port monitor sees the job, also one that wrote nothing */
    }
    LMP_ClearState(port, ST_JOB_OPEN);
    if (port->portMode & 0x2) {
        port->flowing = 0;
        port->portMode &= ~0x2u;
    }
    /* released once, also when the port monitor never saw the job: a second release could hit a later job */
    HANDLE h = nullptr;
    if (port->printerName && OpenPrinterW(port->printerName, &h, nullptr)) {
        SetJobW(h, port->jobId, 0, nullptr, JOB_CONTROL_LAST_PAGE_EJECTED);
        ClosePrinter(h);
    }
    LMU_Free(port->docInfo);
    port->docInfo = nullptr;
    port->docInfoLevel = 0;
    LMP_SetBusy(port, 0);
    return TRUE;
}

/* Sends what the device has not taken yet, the mutex held around each try; the rest dropped after 60 s. */
void flush_pending(MonitorPort *port)
{
    const DWORD start = GetTickCount();
    for (;;) {
        bool owned = LMJ_WaitPortMutex(port);
        if (port->pendingLength)
            LMP_SendControlData(port, nullptr, 0, nullptr, FALSE, FALSE);
        const bool left = port->pendingLength != 0;
        if (left && GetTickCount() - start >= kPendingLimitMs)
            LMS_FreePendingOutput(port);
        LMJ_ReleasePortMutex(port, owned);
        if (!left || GetTickCount() - start >= kPendingLimitMs)
            return;
        Sleep(kPendingPauseMs);
    }
}

void drop_and_finish(MonitorPort *port)
{
    LMS_FreePendingOutput(port);
    LMP_Lock(port);
    if (StatusVariable *q = LMS_FindVariable("PrinterQueue", port->statusVariables, port, TRUE)) {
        std::memset(q->value, 0, 4);
        q->changed = 1;
    }
    LMP_Unlock(port);
    LMS_NotifyChanged(port);
    LMS_FinishJobs(port, TRUE);
}

/* Network ports: wait (bounded) for the device to take the pending output, or end the job. */
void end_network(MonitorPort *port)
{
    if (has_bits(port, ST_END_REQUESTED | ST_END_SENT))
        drop_and_finish(port);
    const DWORD start = GetTickCount();
    while (port->pendingLength) {
        if (has_bits(port, ST_JOB_FINISHED)) {
            LMS_FinishJobs(port, TRUE);
            break;
        }
        if (has_bits(port, ST_END_REQUESTED | ST_END_SENT)) {
            drop_and_finish(port);
            break;
        }
        if (GetTickCount() - start >= kPendingLimitMs) {
            /* the device never took it: the rest is dropped and the job finished without deletion */
            LMS_FreePendingOutput(port);
            LMS_FinishJobs(port, FALSE);
            break;
        }
        Sleep(kPendingPauseMs);
        bool owned = LMJ_WaitPortMutex(port);
        if (port->pendingLength)
            LMP_SendControlData(port, nullptr, 0, nullptr, FALSE, FALSE);
        LMJ_ReleasePortMutex(port, owned);
    }
    LMP_ClearState(port, 0x80000);
    if (has_bits(port, ST_PORT_OPEN) && LMP_PortEndDoc(port))
        LMP_ClearState(port, ST_PORT_OPEN);
    LMS_UpdateJobStatusBits(port, 0x107, FALSE);
}

/* The trailer of a job the device followed (not on network ports). */
void send_trailer(MonitorPort *port)
{
    if (port->portMode & 0x2) {
        port->flowing = 0;
        LMS_QueryDeviceId(port);
        port->flowing = 1;
    }
    const bool due = !has_bits(port, ST_END_REQUESTED | ST_END_SENT) &&
                     ((has_bits(port, ST_HEADER_SENT) && !has_bits(port, ST_UNREACHABLE)) || port->streamLanguage != 0);
    if (!due)
        return;
    if (port->portKind & KIND_NETWORK) {
        LMJ_SetQueuedJobText(port->jobIdentifier, 2, port);
        return;
    }
    if (!port->streamJobIdentifier[0])
        LMJ_MakeJobId(port->streamJobIdentifier);
    HeaderParams params{};
    params.jobLine = 1;
    params.nameAttribute = 1;
    std::memcpy(params.identifier, port->streamJobIdentifier, sizeof params.identifier - 1);
    char trailer[128];
    const DWORD size = LMJ_BuildTrailer(trailer, &params, port);
    DWORD sent = 0;
    LMP_SendControlData(port, reinterpret_cast<LPBYTE>(trailer), size, &sent, TRUE, FALSE);
    LMJ_SetQueuedJobText(port->jobIdentifier, 2, port);
}

} // namespace

BOOL EndDocPort(HANDLE hPort)
{
    MonitorPort *port = static_cast<MonitorPort *>(hPort);
    if (!port) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (has_bits(port, ST_NO_DOCINFO)) {
        LMP_ClearState(port, ST_NO_DOCINFO);
        return TRUE;
    }
    if (!(port->portKind & KIND_BIDI))
        return end_plain(port);

    bool owned = LMJ_WaitPortMutex(port);
    LMP_ClearState(port, LM_ST_JOB_NOT_FOUND);
    if (!has_bits(port, ST_PORT_OPEN) && LMP_OpenStatusDoc(port))
        LMP_SetState(port, ST_PORT_OPEN);

    bool opened = false;
    if (HANDLE h = spooler_handle(port, opened)) {
        DWORD status = 0;
        bool gone = false;
        if (job_status(h, port->jobId, &status, &gone)) {
            if (status & JOB_STATUS_DELETING) {
                LMS_UpdateJobStatusBits(port, 0x4, TRUE);
                reset_device(port);
                Sleep(1000);
                LMP_SetState(port, ST_END_REQUESTED | ST_END_SENT);
                LMP_StoreWord(port->jobEndSeen, 0);
                /* the device's end of job is waited for, in 4 s steps, at most a minute */
                for (unsigned round = 0; round < kDeleteRounds; ++round) {
                    LMJ_SleepUnlocked(port, owned, kDeleteWaitMs);
                    if (LMP_LoadWord(port->jobEndSeen) || has_bits(port, ST_UNREACHABLE) ||
                        !has_bits(port, ST_POLL_RUN))
                        break;
                }
            } else {
                const bool followed = port->servedPrinters && !(port->portKind & KIND_UNC) &&
                                      has_bits(port, ST_POLL_STARTED) && port->dataWritten &&
                                      has_bits(port, ST_HEADER_SENT) && has_bits(port, ST_IDENTIFIED);
                if (!followed)
                    ++port->releaseCount;
            }
        } else if (gone) {
            /* deleted in the spooler already: nothing to release, and its id may be given to a later job */
            LMJ_ForgetCurrentJob(port);
        }
        if (opened)
            ClosePrinter(h);
    }

    if (!port->releaseOnIdle)
        send_trailer(port);

    if (!(port->portKind & KIND_NETWORK) && has_bits(port, ST_PORT_OPEN)) {
        /* wait for room on the device (bounded), then end the port monitor's document */
        if (LMS_QueryDeviceId(port)) {
            for (unsigned round = 0; LMS_FreeBlocks(port) == 0 && round < kRoomRounds; ++round) {
                LMJ_SleepUnlocked(port, owned, kRoomWaitMs);
                if (!LMS_QueryDeviceId(port))
                    break;
            }
        }
        if (LMP_PortEndDoc(port))
            LMP_ClearState(port, ST_PORT_OPEN);
    }
    LMU_Free(port->docInfo);
    port->docInfo = nullptr;
    port->docInfoLevel = 0;

    if (!has_bits(port, ST_JOB_FINISHED) && port->jobPrinter) {
        LMS_SetSendingJobInfo(port, FALSE);
        LMS_NotifyChanged(port);
    }
    LMS_UpdateJobStatusBits(port, 0x107, FALSE);

    if (!(has_bits(port, ST_HEADER_SENT) && port->dataWritten)) {
        LMP_Lock(port);
        if (StatusVariable *q = LMS_FindVariable("PrinterQueue", port->statusVariables, port, TRUE)) {
            std::memset(q->value, 0, 4);
            q->changed = 1;
        }
        LMS_NotifyChanged(port);
        if (!port->dataWritten) {
            /* nothing reached the device: every queued job is released now, this one at the end */
            for (JobQueueEntry *e = port->jobQueueHead; e; e = e->next) {
                if (e->jobId == port->jobId)
                    ++port->releaseCount;
                else
                    LMJ_ReleaseQueuedJob(port, e, JOB_CONTROL_LAST_PAGE_EJECTED);
            }
            LMJ_FreeJobQueue(port);
            LMS_SetJobActive(port, FALSE);
        }
        LMP_Unlock(port);
    }
    if (has_bits(port, ST_JOB_FINISHED) || !has_bits(port, ST_HEADER_SENT)) {
        if (!(port->portKind & KIND_NETWORK)) {
            if (!has_bits(port, ST_JOB_FINISHED))
                LMS_FinishJobs(port, FALSE);
            LMS_SetJobActive(port, FALSE);
        }
        LMP_ClearState(port, ST_JOB_FINISHED);
        LMP_SetState(port, ST_FRESH);
    }
    if (!has_bits(port, ST_HEADER_SENT) && !(port->portKind & KIND_NETWORK)) {
        LMP_Lock(port);
        LMJ_FreeJobQueue(port);
        LMP_Unlock(port);
    }
    port->endDocTick = GetTickCount();
    LMP_ClearState(port, ST_JOB_OPEN);
    if (LMJ_CountQueuedJobs(port) == 0)
        port->flowing = 0;
    LMJ_ReleasePortMutex(port, owned);
    LMP_SetBusy(port, 0);

    if (!has_bits(port, ST_POLL_STARTED))
        flush_pending(port);
    if (port->portKind & KIND_NETWORK)
        end_network(port);

    /* however many reasons there were, the job is released once */
    if (port->releaseCount)
        LMJ_ReleaseCurrentJob(port);
    restore_priority(port);
    LMP_ClearState(port, ST_END_REQUESTED | ST_END_SENT);
    /* the poll's status side reads these under the port's lock */
    LMP_Lock(port);
    port->portMode &= ~0x2u;
    port->idleSkip = 1;
    port->releaseOnIdle = 1;
    LMP_Unlock(port);
    SetLastError(0);
    return TRUE;
}

DWORD LMJ_CountQueuedJobs(MonitorPort *port)
{
    if (!port || !port->printerName)
        return 0;
    bool opened = false;
    HANDLE h = spooler_handle(port, opened);
    if (!h)
        return 0;
    DWORD counted = 0;
    for (int attempt = 0; attempt < 3; ++attempt) {
        DWORD needed = 0, returned = 0;
        if (EnumJobsW(h, 0, 0xFFFFFFFF, 1, nullptr, 0, &needed, &returned))
            break; /* no jobs */
        if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || !needed)
            continue;
        auto *jobs = static_cast<BYTE *>(LMU_Alloc(needed));
        if (!jobs)
            break;
        const bool ok = EnumJobsW(h, 0, 0xFFFFFFFF, 1, jobs, needed, &needed, &returned);
        if (ok) {
            for (DWORD i = 0; i < returned; ++i) {
                JOB_INFO_1W job;
                std::memcpy(&job, jobs + SIZE_T(i) * sizeof job, sizeof job);
                if (!(job.Status & g_lm.ignoredJobStatus))
                    ++counted;
            }
        }
        LMU_Free(jobs);
        if (ok)
            break;
    }
    if (opened)
        ClosePrinter(h);
    return counted;
}

BOOL LMP_ForwardControlId(MonitorPort *port, DWORD control, LPWSTR valueName, LPWSTR in, DWORD inSize, LPWSTR out,
                          DWORD outSize, LPDWORD returned)
{
    DWORD dummy = 0;
    if (!returned)
        returned = &dummy;
    if (!port) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const bool flowControl = port->portMode & 0x2;
    if (control == LM_IOCTL_PAR_QUERY_DEVICE_ID) {
        if (flowControl && port->flowing) {
            LMP_StoreWord(port->deviceIdAnswered, 1);
            *returned = 1;
            return TRUE;
        }
        LMP_StoreWord(port->deviceIdAnswered, 0);
        if (flowControl)
            Sleep(200);
    }
    LMP_Lock(port);
    BOOL result = FALSE;
    auto ask = port->portMonitor.pfnGetPrinterDataFromPort;
    if (!ask) {
        SetLastError(ERROR_INVALID_FUNCTION);
    } else if (control == LM_CONTROL_JOB_END || control == LM_IOCTL_PAR_SET_INFORMATION) {
        if (port->postScriptJob) {
            port->trailerOwed = 1;
            HeaderParams params{};
            params.jobLine = 1;
            if (port->portKind & KIND_BIDI) {
                params.nameAttribute = 1;
                std::memcpy(params.identifier, port->jobIdentifier, sizeof params.identifier - 1);
                LMJ_SetQueuedJobText(port->jobIdentifier, 2, port);
            }
            char trailer[128];
            const DWORD size = LMJ_BuildTrailer(trailer, &params, port);
            LMP_SendControlData(port, reinterpret_cast<LPBYTE>(trailer), size, nullptr, TRUE, FALSE);
            port->trailerOwed = 0;
        }
        LMS_FinishJobs(port, TRUE);
        result = FALSE;
    } else if (control == LM_IOCTL_PAR_QUERY_DEVICE_ID && (port->portKind & KIND_USB) && LMP_IsQzusbPort(port)) {
        const DWORD size = outSize + 2;
        auto *buffer = static_cast<BYTE *>(LMU_Alloc(size));
        DWORD got = 0;
        if (buffer && ask(port->portHandle, LM_QZUSB_DEVICE_ID, valueName, in, inSize,
                          reinterpret_cast<LPWSTR>(buffer), size, &got) &&
            got > 2) {
            const DWORD n = got - 2 < outSize ? got - 2 : outSize;
            if (out && n)
                std::memcpy(out, buffer + 2, n);
            *returned = n;
            result = TRUE;
        }
        LMU_Free(buffer);
    } else {
        result = ask(port->portHandle, control, valueName, in, inSize, out, outSize, returned);
    }
    const DWORD error = GetLastError();
    LMP_Unlock(port);
    if (control == LM_IOCTL_PAR_SET_INFORMATION && (port->portKind & KIND_USB) && in && inSize &&
        *reinterpret_cast<const BYTE *>(in) == PARALLEL_INIT)
        port->deviceIdRetry = 1;
    SetLastError(error);
    return result;
}
