/*
 * A port's worker thread: the polling thread, which runs poll cycles every
 * few seconds while a job, a tool or a device error needs watching, or the
 * notification thread, which reads the device's state while spooler jobs
 * wait; the idle test that ends polling, the end of the status work, and
 * the release of every queued job.
 *
 * At most one worker runs per port.  Its start and end bookkeeping is done
 * under the port's lock: a start while a worker runs only asks it to go on,
 * and an ending worker clears the shared event field only when it still
 * holds its own event.  Each worker's thread handle is kept and joined
 * before the port record is freed.  Every wait is bounded.
 */
#include "status.h"

#include <plat/handle.h>
#include <plat/thread.h>

#include <atomic>
#include <cstring>

namespace {

constexpr DWORD kStackBytes = 16 * 1024;
constexpr DWORD kJoinMs = 60000;
constexpr DWORD kErrorWaitMs = 360000;
constexpr DWORD kExtPolling = 0x10;

DWORD load(DWORD &w) { return std::atomic_ref<DWORD>(w).load(); }
void store(DWORD &w, DWORD v) { std::atomic_ref<DWORD>(w).store(v); }

HANDLE event_of(MonitorPort *port) { return std::atomic_ref<HANDLE>(port->threadEvent).load(); }

bool served(MonitorPort *port)
{
    LMP_Lock(port);
    const bool any = port->servedPrinters != nullptr;
    LMP_Unlock(port);
    return any;
}

bool queued(MonitorPort *port)
{
    LMP_Lock(port);
    const bool any = port->jobQueueHead != nullptr;
    LMP_Unlock(port);
    return any;
}

/* Waits (bounded) for the port's mutex unless `skip`; true when it is held now. */
bool take_mutex(MonitorPort *port, bool skip)
{
    if (skip)
        return false;
    const DWORD r = WaitForSingleObject(port->portMutex, LM_PORT_WAIT_MS);
    return r == WAIT_OBJECT_0 || r == WAIT_ABANDONED;
}

void release_mutex(MonitorPort *port, bool &held)
{
    if (held)
        ReleaseMutex(port->portMutex);
    held = false;
}

/* Sets or clears a bit of "PrinterExtStatus" and delivers it. */
void set_ext_bit(MonitorPort *port, DWORD bit, bool on)
{
    if (!port->statusVariables)
        return;
    LMP_Lock(port);
    if (StatusVariable *row = LMS_FindVariable("PrinterExtStatus", port->statusVariables, port, TRUE)) {
        DWORD v;
        std::memcpy(&v, row->value, 4);
        v = on ? (v | bit) : (v & ~bit);
        std::memcpy(row->value, &v, 4);
        row->changed = 1;
        LMS_NotifyChanged(port);
    }
    LMP_Unlock(port);
}

void clear_request_words(MonitorPort *port)
{
    for (DWORD *w : {&port->suspendRequested, &port->wakeUpPolling, &port->jobStarted, &port->errorWait,
                     &port->errorWaitTick, &port->ustatusOffDue})
        store(*w, 0);
}

/* The end of a worker: the bookkeeping under the port's lock, then its event and the mutex go. */
void finish(MonitorPort *port, HANDLE mine, bool &held)
{
    LMP_Lock(port);
    LMP_ClearState(port, ST_POLL_RUN | ST_POLL_STARTED);
    HANDLE expected = mine;
    std::atomic_ref<HANDLE>(port->threadEvent).compare_exchange_strong(expected, nullptr);
    LMP_Unlock(port);
    CloseHandle(mine);
    SetEvent(port->threadEndedEvent);
    release_mutex(port, held);
}

/* End of polling, holding the mutex. */
void end_of_polling(MonitorPort *port)
{
    LMS_EndPollStatus(port);
    if (!served(port) && LMP_TestState(port, ST_POLL_RUN)) {
        LMS_UpdateExtStatus(port);
        LMS_SeedPrinterStatus(port, FALSE);
        LMS_ClearErrorValues(port, FALSE);
    }
}

DWORD poll_thread(LPVOID param)
{
    auto *port = static_cast<MonitorPort *>(param);
    HANDLE mine = event_of(port);
    const bool unc = port->portKind & KIND_UNC;
    bool held = false;
    port->pollCycle = 0;
    if (port->statusVariables) {
        LMS_PublishToManager(port);
        set_ext_bit(port, kExtPolling, true);
    }
    if (LMS_IsIdle(port)) {
        held = take_mutex(port, unc);
        end_of_polling(port);
        LMS_ResetPortStatus(port);
        finish(port, mine, held);
        return 0;
    }
    for (;;) {
        bool republished = false;
        bool idle = false;
        if (LMP_TestState(port, ST_POLL_RUN)) {
            idle = LMS_IsIdle(port);
            if (!idle) {
                if (port->pollCycle == 0) {
                    LMS_PublishToManager(port);
                    port->pollCycle = 1;
                    republished = true;
                } else if (++port->pollCycle == 3) {
                    port->pollCycle = 0;
                }
            }
        }
        if (!served(port) || !LMP_TestState(port, ST_POLL_RUN) || idle) {
            held = take_mutex(port, unc || LMP_TestState(port, ST_CLOSING));
            if (LMP_TestState(port, ST_POLL_RUN) && LMS_IsIdle(port))
                break;
            if (republished)
                LMS_PublishToManager(port);
            if (!served(port) || !LMP_TestState(port, ST_POLL_RUN))
                break;
            release_mutex(port, held);
        }
        const HANDLE both[2] = {port->portMutex, mine};
        const DWORD r = WaitForMultipleObjects(2, both, FALSE, LM_PORT_WAIT_MS);
        if (r != WAIT_OBJECT_0 && r != WAIT_ABANDONED_0)
            continue;
        held = true;
        LMS_RefreshPrinters(port);
        if (LMP_TestState(port, ST_JOB_OPEN)) {
            LMS_CheckJobPaused(port);
        } else if (!queued(port) && load(port->jobStarted)) {
            store(port->jobStarted, 0);
            port->flowing = 0;
        }
        if (LMP_TestState(port, ST_POLL_RUN) && LMS_IsIdle(port)) {
            release_mutex(port, held);
            continue;
        }
        if (served(port) || queued(port))
            LMS_PollRound(port);
        if (LMP_TestState(port, ST_UNREACHABLE) && !LMS_JobStillQueued(port))
            LMS_FinishJobs(port, FALSE);
        if (!LMP_TestState(port, ST_JOB_OPEN) && !queued(port) && load(port->jobStarted)) {
            if (port->portKind & KIND_BIDI)
                store(port->ustatusOffDue, 1);
            store(port->jobStarted, 0);
            port->flowing = 0;
        }
        const DWORD before = GetTickCount();
        release_mutex(port, held);
        const DWORD elapsed = GetTickCount() - before;
        if ((LMP_TestState(port, ST_POLL_RUN) && LMS_IsIdle(port)) || !served(port) ||
            !LMP_TestState(port, ST_POLL_RUN))
            continue;
        DWORD pause = queued(port) ? 3000 : 4000;
        if (LMP_TestState(port, ST_JOB_OPEN))
            pause = elapsed >= 3000 ? 0 : 3000 - elapsed;
        WaitForSingleObject(mine, pause);
    }
    end_of_polling(port);
    LMS_ResetPortStatus(port);
    finish(port, mine, held);
    return 0;
}

/* True when one of the served printers has a spooler job that counts as waiting. */
bool jobs_waiting(MonitorPort *port)
{
    bool waiting = false;
    LMP_Lock(port);
    for (ServedPrinter *p = port->servedPrinters; p && !waiting; p = p->next) {
        if (!p->spoolerHandle)
            OpenPrinterW(p->printerName, &p->spoolerHandle, nullptr);
        if (!p->spoolerHandle)
            continue;
        DWORD needed = 0, count = 0;
        EnumJobsW(p->spoolerHandle, 0, 0xFFFFFFFF, 1, nullptr, 0, &needed, &count);
        auto *jobs = needed ? static_cast<BYTE *>(LMU_Alloc(needed)) : nullptr;
        if (jobs && EnumJobsW(p->spoolerHandle, 0, 0xFFFFFFFF, 1, jobs, needed, &needed, &count)) {
            const auto *list = reinterpret_cast<const JOB_INFO_1W *>(jobs);
            for (DWORD i = 0; i < count && !waiting; ++i)
                waiting = !(list[i].Status & g_lm.ignoredJobStatus);
        }
        LMU_Free(jobs);
    }
    LMP_Unlock(port);
    return waiting;
}

DWORD notify_thread(LPVOID param)
{
    auto *port = static_cast<MonitorPort *>(param);
    HANDLE mine = event_of(port);
    const bool unc = port->portKind & KIND_UNC;
    bool held = false;
    LMS_PublishToManager(port);
    set_ext_bit(port, kExtPolling, true);
    for (;;) {
        WaitForSingleObject(mine, 3000);
        if (load(port->suspendRequested) && LMP_TestState(port, ST_JOB_OPEN)) {
            store(port->suspendRequested, 0);
            store(port->ustatusOffDue, 0);
            break;
        }
        if (!LMP_TestState(port, ST_POLL_RUN) || LMP_TestState(port, ST_JOB_OPEN) || !jobs_waiting(port))
            break;
        const HANDLE both[2] = {port->portMutex, mine};
        const DWORD r = WaitForMultipleObjects(2, both, FALSE, LM_PORT_WAIT_MS);
        if (r != WAIT_OBJECT_0 && r != WAIT_ABANDONED_0)
            continue;
        held = true;
        if (!LMP_TestState(port, ST_POLL_RUN) || LMP_TestState(port, ST_JOB_OPEN))
            break;
        LMS_RefreshPrinters(port);
        LMS_QueryDeviceId(port);
        release_mutex(port, held);
    }
    if (!held)
        held = take_mutex(port, unc);
    LMP_ClearState(port, ST_POLL_RUN | ST_POLL_STARTED);
    store(port->managerWorker, 0);
    LMS_PublishToManager(port);
    set_ext_bit(port, kExtPolling, false);
    finish(port, mine, held);
    return 0;
}

BOOL start_worker(MonitorPort *port, LPTHREAD_START_ROUTINE routine)
{
    if (!port || !(port->portKind & (KIND_USB | KIND_COM | KIND_NETWORK)))
        return FALSE;
    LMP_Lock(port);
    if (LMP_TestState(port, ST_POLL_STARTED)) {
        /* One worker per port: the running one is asked to go on. */
        LMP_SetState(port, ST_POLL_RUN);
        LMP_Unlock(port);
        return TRUE;
    }
    LMP_SetState(port, ST_POLL_RUN);
    HANDLE ev = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    if (!ev) {
        LMP_ClearState(port, ST_POLL_RUN);
        LMP_Unlock(port);
        return FALSE;
    }
    std::atomic_ref<HANDLE>(port->threadEvent).store(ev);
    if (WaitForSingleObject(port->threadEndedEvent, 0) == WAIT_OBJECT_0)
        ResetEvent(port->threadEndedEvent);
    if (port->workerThread) {
        /* The previous worker may still be on its way out: it is joined with the port. */
        LMS_KeepEndedThread(port, port->workerThread);
        port->workerThread = nullptr;
    }
    HANDLE thread = CreateThread(nullptr, kStackBytes, routine, port, CREATE_SUSPENDED, nullptr);
    if (!thread) {
        /* Nothing runs: leave no mark that anyone would wait for. */
        LMP_ClearState(port, ST_POLL_RUN);
        std::atomic_ref<HANDLE>(port->threadEvent).store(nullptr);
        CloseHandle(ev);
        SetEvent(port->threadEndedEvent);
        LMP_Unlock(port);
        return FALSE;
    }
    LMP_SetState(port, ST_POLL_STARTED);
    port->workerThread = thread;
    /* The worker yields to the job: a step below normal under flow control, else the lowest. */
    SetThreadPriority(thread, (port->portMode & 0x2) ? THREAD_PRIORITY_BELOW_NORMAL : THREAD_PRIORITY_LOWEST);
    ResumeThread(thread);
    LMP_Unlock(port);
    return TRUE;
}

} // namespace

BOOL LMS_StartPollThread(MonitorPort *port) { return start_worker(port, poll_thread); }

BOOL LMS_SignalWorker(MonitorPort *port, bool suspend)
{
    LMP_Lock(port);
    HANDLE ev = event_of(port);
    if (ev) {
        if (suspend)
            store(port->suspendRequested, 1);
        SetEvent(ev);
    }
    LMP_Unlock(port);
    return ev != nullptr;
}

BOOL LMS_StartNotifyThread(MonitorPort *port) { return start_worker(port, notify_thread); }

void LMS_StopWorker(MonitorPort *port)
{
    if (!port)
        return;
    LMP_Lock(port);
    HANDLE thread = port->workerThread;
    port->workerThread = nullptr;
    LMP_ClearState(port, ST_POLL_RUN);
    if (HANDLE ev = event_of(port))
        SetEvent(ev);
    LMP_Unlock(port);
    if (!thread)
        return;
    WaitForSingleObject(thread, kJoinMs);
    CloseHandle(thread);
}

BOOL LMS_IsIdle(MonitorPort *port)
{
    if (!port)
        return TRUE;
    if (load(port->suspendRequested)) {
        if (LMP_TestState(port, ST_JOB_OPEN)) {
            store(port->suspendRequested, 0);
            store(port->ustatusOffDue, 0);
            return FALSE;
        }
        if (queued(port) && (port->portKind & KIND_BIDI))
            store(port->ustatusOffDue, 1);
        store(port->wakeUpPolling, 0);
        store(port->jobStarted, 0);
        store(port->errorWait, 0);
        store(port->errorWaitTick, 0);
        return TRUE;
    }
    if (load(port->errorWait)) {
        DWORD words[3];
        LMS_ReadPrinterStatus(port, words);
        const bool gone = !(words[2] & 0x40) && !(words[2] & 0x10);
        if (gone || GetTickCount() - load(port->errorWaitTick) > kErrorWaitMs) {
            store(port->errorWait, 0);
            store(port->errorWaitTick, 0);
        }
    }
    if (!load(port->jobStarted))
        LMP_ClearState(port, LM_ST_REPLY_WAIT);
    return !load(port->wakeUpPolling) && !load(port->jobStarted) && !load(port->errorWait);
}

BOOL LMS_OpenForStatus(MonitorPort *port)
{
    if (!port)
        return FALSE;
    if (LMP_TestState(port, ST_PORT_OPEN) || !(port->portKind & KIND_BIDI))
        return TRUE;
    if (!LMP_OpenStatusDoc(port))
        return FALSE;
    LMP_SetState(port, ST_PORT_OPEN);
    LMP_StoreWord(port->statusPortOpen, 1);
    if (!(port->portKind & KIND_USB))
        LMP_SetDefaultTimeouts(port);
    return TRUE;
}

BOOL LMS_ReleaseAllJobs(MonitorPort *port)
{
    if (!port)
        return FALSE;
    LMP_Lock(port);
    /* the entries stay until the device's records or the next job's end take them; each is released once */
    for (JobQueueEntry *e = port->jobQueueHead; e; e = e->next)
        LMJ_ReleaseQueuedJob(port, e, JOB_CONTROL_LAST_PAGE_EJECTED);
    if (StatusVariable *q = LMS_FindVariable("PrinterQueue", port->statusVariables, port, TRUE)) {
        std::memset(q->value, 0, 4);
        q->changed = 1;
    }
    StatusVariable *printing = LMS_LookupVariable("PrintingJobInfo2", port);
    if (printing && printing->value && port->jobQueueHead) {
        std::memcpy(printing->value + LM_RECORD_JOB_ID, &port->jobQueueHead->jobId, 4);
        std::memset(printing->value + LM_RECORD_PAGES, 0, 4);
        printing->flags = (printing->flags & ~SVF_KEEP) | SVF_JOB_CLOSE;
        printing->changed = 1;
    }
    LMS_NotifyChanged(port);
    LMP_Unlock(port);
    return TRUE;
}

BOOL LMS_EndPollStatus(MonitorPort *port)
{
    if (!port)
        return FALSE;
    if (load(port->suspendRequested) && queued(port))
        LMS_ReleaseAllJobs(port);
    if (load(port->ustatusOffDue) && !(port->portKind & KIND_NETWORK)) {
        if (!LMP_TestState(port, ST_CLOSING))
            LMJ_SendUstatusOff(port);
        store(port->ustatusOffDue, 0);
    }
    if (port->statusVariables) {
        LMS_PublishToManager(port);
        set_ext_bit(port, kExtPolling, false);
    }
    clear_request_words(port);
    return TRUE;
}
