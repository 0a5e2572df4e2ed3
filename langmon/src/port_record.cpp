/*
 * Port records: creation and destruction, the port list, the per-port
 * lock, and the queue of jobs passed to the device.
 *
 * A record is built whole before it joins the list: when any of its
 * mutexes, events, lock or lists cannot be made, whatever was made is freed
 * and the creation fails.  Freeing a record also frees the jobs still
 * queued on it, its document information, any pending output and a tool's
 * kept connection, so that a port closed in any state leaves nothing behind.
 */
#include "network.h"
#include "status.h"

#include <plat/clock.h>
#include <plat/handle.h>
#include <plat/text.h>

namespace {

void close_if(HANDLE &h)
{
    if (h)
        CloseHandle(h);
    h = nullptr;
}

/* Frees what a record holds besides the list link (also for a half-built record). */
void release_parts(MonitorPort *port)
{
    LMS_UnbindLmValues(port);
    LMS_FreeAllServedPrinters(port);
    LMS_FreeReplyParser(port);
    LMS_FreeStatusVariables(port);
    LMU_Free(port->printerName);
    port->printerName = nullptr;
    close_if(port->portMutex);
    close_if(port->spareMutex);
    close_if(port->closeEvent);
    LMU_Free(port->jobRecordQueue);
    port->jobRecordQueue = nullptr;
    LMJ_FreeJobQueue(port);
    LMU_Free(port->docInfo);
    LMU_Free(port->pendingOutput);
    LMU_Free(port->partialReply);
    port->docInfo = nullptr;
    port->pendingOutput = nullptr;
    port->partialReply = nullptr;
    LMN_TcpClose(port->tcpClient); /* a tool's reservation still open */
    port->tcpClient = nullptr;
    if (port->portLock) {
        DeleteCriticalSection(port->portLock);
        LMU_Free(port->portLock);
        port->portLock = nullptr;
    }
    close_if(port->threadEndedEvent);
}

} // namespace

void LMP_Lock(MonitorPort *port)
{
    if (port) {
        EnterCriticalSection(port->portLock);
        InterlockedIncrement(&port->portLockDepth);
    } else {
        EnterCriticalSection(&g_lm.lock);
        InterlockedIncrement(&g_lm.lockDepth);
    }
}

void LMP_Unlock(MonitorPort *port)
{
    if (port) {
        InterlockedDecrement(&port->portLockDepth);
        LeaveCriticalSection(port->portLock);
    } else {
        InterlockedDecrement(&g_lm.lockDepth);
        LeaveCriticalSection(&g_lm.lock);
    }
}

MonitorPort *LMP_CreatePort(const WCHAR *portName, const WCHAR *printerName)
{
    const int len = LMU_BoundedLength(portName);
    if (len < 0)
        return nullptr;
    const SIZE_T size = sizeof(MonitorPort) + sizeof(WCHAR) * SIZE_T(len + 1);
    auto *port = static_cast<MonitorPort *>(LMU_Alloc(size));
    if (!port)
        return nullptr;
    port->portMonitor.cbSize = sizeof(MONITOR2);
    port->portName = reinterpret_cast<WCHAR *>(port + 1);
    std::memcpy(port->portName, portName, sizeof(WCHAR) * SIZE_T(len + 1));
    port->recordSize = DWORD(size);
    port->signature = LM_PORT_SIGNATURE;
    port->stateFlags = ST_FRESH;
    bool ok = true;
    if (printerName && printerName[0]) {
        port->printerName = LMU_DupWide(printerName);
        ok = port->printerName != nullptr;
    }
    port->portMutex = CreateMutexW(nullptr, FALSE, nullptr);
    port->spareMutex = CreateMutexW(nullptr, FALSE, nullptr);
    port->stallTick = LM_NO_TICK;
    port->closeEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    port->jobRecordQueue = static_cast<JobRecordList *>(LMU_Alloc(sizeof(JobRecordList)));
    port->portLock = static_cast<CRITICAL_SECTION *>(LMU_Alloc(sizeof(CRITICAL_SECTION)));
    if (port->portLock && !InitializeCriticalSectionAndSpinCount(port->portLock, 0)) {
        LMU_Free(port->portLock);
        port->portLock = nullptr;
    }
    port->threadEndedEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    port->statusVariables = LMS_NewStatusTable();
    ok = ok && port->statusVariables && port->portMutex && port->spareMutex && port->closeEvent && port->jobRecordQueue && port->portLock &&
         port->threadEndedEvent;
    if (!ok) {
        release_parts(port);
        LMU_Free(port);
        return nullptr;
    }

    LMP_Lock(nullptr);
    MonitorPort **tail = &g_lm.portList;
    while (*tail)
        tail = &(*tail)->next;
    *tail = port;
    LMP_Unlock(nullptr);

    LMS_ClearErrorValues(port, FALSE);
    LMS_ClearJobStatus(port);
    LMS_ResetDeviceValues(port, FALSE);
    port->modelMask = 0;
    return port;
}

bool LMP_InPortList(const MonitorPort *port)
{
    for (const MonitorPort *p = g_lm.portList; p; p = p->next)
        if (p == port)
            return true;
    return false;
}

BOOL LMP_FreePort(MonitorPort *port)
{
    if (!port)
        return FALSE;
    LMP_Lock(nullptr);
    MonitorPort **link = &g_lm.portList;
    while (*link && *link != port)
        link = &(*link)->next;
    const bool found = *link != nullptr;
    if (found)
        *link = port->next;
    LMP_Unlock(nullptr);
    if (!found)
        return FALSE;
    /* A worker still running is stopped and joined before anything it reaches goes. */
    LMS_StopWorker(port);
    release_parts(port);
    LMU_Free(port);
    return TRUE;
}

MonitorPort *LMP_FindPort(MonitorPort *first, const WCHAR *name)
{
    if (!name)
        return nullptr;
    for (MonitorPort *p = first; p; p = p->next)
        if (lstrcmpiW(p->portName, name) == 0)
            return p;
    return nullptr;
}

/* ---- Job queue -------------------------------------------------------------- */

void LMJ_FreeJobQueue(MonitorPort *port)
{
    for (JobQueueEntry *e = port->jobQueueHead; e;) {
        JobQueueEntry *next = e->next;
        LMU_Free(e);
        e = next;
    }
    port->jobQueueHead = port->jobQueueTail = nullptr;
}

BOOL LMJ_QueueJob(DWORD jobId, MonitorPort *port)
{
    if (!port)
        return FALSE;
    auto *entry = static_cast<JobQueueEntry *>(LMU_Alloc(sizeof(JobQueueEntry)));
    if (!entry)
        return FALSE;
    entry->jobId = jobId;
    LMP_Lock(port);
    entry->printer = port->jobPrinter;
    if (port->jobQueueTail)
        port->jobQueueTail->next = entry;
    else
        port->jobQueueHead = entry;
    port->jobQueueTail = entry;
    LMP_Unlock(port);
    return TRUE;
}

BOOL LMJ_SetQueuedJobText(const char *text, DWORD which, MonitorPort *port)
{
    if (!text || !port)
        return FALSE;
    LMP_Lock(port);
    JobQueueEntry *last = port->jobQueueTail;
    if (last) {
        if (which & 1)
            lstrcpynA(last->identifier, text, int(LM_TEXT_ID));
        if (which & 2)
            lstrcpynA(last->jobName, text, int(LM_TEXT_ID));
    }
    LMP_Unlock(port);
    return last != nullptr;
}

JobQueueEntry *LMJ_FindQueuedJob(const char *text, DWORD which, MonitorPort *port)
{
    if (!text || !port || (which != 1 && which != 2))
        return nullptr;
    LMP_Lock(port);
    JobQueueEntry *e = port->jobQueueHead;
    while (e && std::strcmp(which == 1 ? e->identifier : e->jobName, text) != 0)
        e = e->next;
    LMP_Unlock(port);
    return e;
}
