/*
 * The job road: StartDocPort, WritePort and EndDocPort.  On ports the
 * device can be asked about (USB and Standard TCP/IP) the monitor follows
 * the job: it queues it, names it with a job identifier, sends its own PJL
 * header in front of the job once the device has identified itself as the
 * supported model and its trailer behind it, waits for the device to take
 * it, and releases the spooler's job.  On other ports the three calls only
 * pass the job to the port monitor.
 *
 * Every wait releases the port mutex, so that the port's worker can read the
 * device in between; every wait is bounded, so a device that never answers
 * ends the job with its status rather than holding a spooler thread.
 */
#include "job_road.h"

#include <plat/clock.h>
#include <plat/debug.h>
#include <plat/error.h>
#include <plat/spooler.h>
#include <plat/sysinfo.h>
#include <plat/text.h>
#include <plat/thread.h>

#include <cstring>

namespace {

constexpr DWORD kUnreachablePauseMs = 4000;
constexpr DWORD kUnreachableRetryMs = 10000;
constexpr DWORD kBackAgainPauseMs = 2000;
constexpr DWORD kBlockedPauseMs = 1000;
constexpr DWORD kStallMs = 20000;
constexpr DWORD kWorkerEndMs = 4000;
/* USB ports wait for their mutex again after a time-out; this many times at most. */
constexpr unsigned kUsbMutexRounds = 10;
const char kUel[] = "\x1b%-12345X";
constexpr DWORD kUelBytes = 9;

/* DOC_INFO_2: DOC_INFO_1 and the mode and job id. */
struct DocInfo2 {
    LPWSTR pDocName;
    LPWSTR pOutputFile;
    LPWSTR pDatatype;
    DWORD dwMode;
    DWORD JobId;
};

/* Length of a UTF-16 string with its terminator, 0 for null or one without a terminator in reach. */
size_t wide_bytes(const WCHAR *s)
{
    const int n = LMU_BoundedLength(s);
    return n < 0 ? 0 : size_t(n + 1) * sizeof(WCHAR);
}

/* One heap block: the record (levels 1 and 2) followed by copies of its strings. */
void *copy_doc_info(DWORD level, const BYTE *info)
{
    if (!info || (level != 1 && level != 2))
        return nullptr;
    DocInfo2 in{};
    std::memcpy(&in, info, level == 1 ? sizeof(DOC_INFO_1W) : sizeof(DocInfo2));
    const size_t a = wide_bytes(in.pDocName), b = wide_bytes(in.pOutputFile), c = wide_bytes(in.pDatatype);
    auto *block = static_cast<BYTE *>(LMU_Alloc(sizeof(DocInfo2) + a + b + c));
    if (!block)
        return nullptr;
    DocInfo2 out = in;
    BYTE *p = block + sizeof(DocInfo2);
    auto put = [&p](const WCHAR *s, size_t n) -> LPWSTR {
        if (!n)
            return nullptr;
        std::memcpy(p, s, n);
        auto *copy = reinterpret_cast<LPWSTR>(p);
        p += n;
        return copy;
    };
    out.pDocName = put(in.pDocName, a);
    out.pOutputFile = put(in.pOutputFile, b);
    out.pDatatype = put(in.pDatatype, c);
    std::memcpy(block, &out, sizeof out);
    return block;
}

bool usb(const MonitorPort *p) { return p->portKind & KIND_USB; }
bool flow_control(const MonitorPort *p) { return p->portMode & 0x2; }

/* The spooler job's status through the job printer's handle (reopened once when the size query fails empty). */
bool read_job_status(MonitorPort *port, HANDLE handle, DWORD *status)
{
    DWORD needed = 0;
    if (!GetJobW(handle, port->jobId, 1, nullptr, 0, &needed) && needed == 0)
        return false;
    auto *job = static_cast<JOB_INFO_1W *>(LMU_Alloc(needed ? needed : sizeof(JOB_INFO_1W)));
    if (!job)
        return false;
    const bool ok = GetJobW(handle, port->jobId, 1, reinterpret_cast<LPBYTE>(job), needed, &needed);
    if (ok)
        *status = job->Status;
    LMU_Free(job);
    return ok;
}

/* The job printer's spooler handle, opened again when its size query fails empty; null without one. */
HANDLE job_handle(MonitorPort *port)
{
    ServedPrinter *p = port->jobPrinter;
    if (!p || !p->spoolerHandle)
        return nullptr;
    DWORD needed = 0;
    if (!GetJobW(p->spoolerHandle, port->jobId, 1, nullptr, 0, &needed) && needed == 0 && p->printerName) {
        HANDLE fresh = nullptr;
        if (OpenPrinterW(p->printerName, &fresh, nullptr)) {
            ClosePrinter(p->spoolerHandle);
            p->spoolerHandle = fresh;
        }
    }
    return p->spoolerHandle;
}

/*
 * "PrintingPriority" of the monitor's own key through the spooler's registry
 * callbacks: the calling (spooler) thread runs the job at that priority; its
 * own priority is remembered and put back by EndDocPort.
 */
void apply_printing_priority(MonitorPort *port)
{
    PMONITORINIT init = LMP_MonitorInit();
    if (!init || !init->pMonitorReg || !init->pMonitorReg->fpOpenKey || !init->pMonitorReg->fpQueryValue)
        return;
    HANDLE key = nullptr;
    if (init->pMonitorReg->fpOpenKey(init->hckRegistry, u"", KEY_READ, &key, init->hSpooler) != ERROR_SUCCESS)
        return;
    DWORD type = 0, value = 0, size = sizeof value;
    if (init->pMonitorReg->fpQueryValue(key, u"PrintingPriority", &type, reinterpret_cast<PBYTE>(&value), &size,
                                        init->hSpooler) == ERROR_SUCCESS &&
        type == REG_DWORD && size == sizeof value) {
        const int saved = GetThreadPriority(GetCurrentThread());
        /* A value that is no priority level changes nothing; a raise the process may not make goes as far as it may. */
        if (saved != THREAD_PRIORITY_ERROR_RETURN &&
            (SetThreadPriority(GetCurrentThread(), int(LONG(value))) || GetLastError() == ERROR_PRIVILEGE_NOT_HELD)) {
            if (!port->priorityThread) {
                port->savedPriority = saved;
                port->priorityThread = GetCurrentThread();
                port->priorityThreadId = GetCurrentThreadId();
            }
        }
    }
    if (init->pMonitorReg->fpCloseKey)
        init->pMonitorReg->fpCloseKey(key, init->hSpooler);
}

} // namespace

/* ---- The port mutex ------------------------------------------------------------ */

bool LMJ_WaitPortMutex(MonitorPort *port)
{
    if (port->portKind & KIND_UNC)
        return false;
    const DWORD wait = WaitForSingleObject(port->portMutex, LM_PORT_WAIT_MS);
    return wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
}

void LMJ_ReleasePortMutex(MonitorPort *port, bool &owned)
{
    if (owned)
        ReleaseMutex(port->portMutex);
    owned = false;
}

void LMJ_SleepUnlocked(MonitorPort *port, bool &owned, DWORD ms)
{
    const bool had = owned;
    LMJ_ReleasePortMutex(port, owned);
    Sleep(ms);
    if (had)
        owned = LMJ_WaitPortMutex(port);
}

/* ---- StartDocPort ----------------------------------------------------------------- */

BOOL StartDocPort(HANDLE hPort, LPWSTR pPrinterName, DWORD JobId, DWORD Level, LPBYTE pDocInfo)
{
    MonitorPort *port = static_cast<MonitorPort *>(hPort);
    if (!port) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (LMP_Busy(port)) {
        SetLastError(ERROR_BUSY);
        return FALSE;
    }
    /* no document information (or none named at levels above 1): the printer is recorded, nothing more */
    const LPWSTR docName = pDocInfo ? reinterpret_cast<const DOC_INFO_1W *>(pDocInfo)->pDocName : nullptr;
    if (!pDocInfo || (Level != 1 && !docName)) {
        LMP_SetState(port, ST_NO_DOCINFO);
        LMJ_ReplacePrinterName(port, pPrinterName);
        return TRUE;
    }
    LMP_ClearState(port, ST_TERMINATED);
    bool owned = false;
    if (!(port->portKind & KIND_UNC)) {
        owned = LMJ_WaitPortMutex(port);
        for (unsigned round = 1; !owned && usb(port) && round < kUsbMutexRounds; ++round)
            owned = LMJ_WaitPortMutex(port);
    }
    LMP_SetBusy(port, 1);
    LMJ_ReplacePrinterName(port, pPrinterName);
    if (LMP_TestState(port, ST_JOB_OPEN)) {
        LMJ_ReleasePortMutex(port, owned);
        LMP_SetBusy(port, 0);
        SetLastError(ERROR_BUSY);
        return FALSE;
    }
    LMP_SetState(port, ST_JOB_OPEN);
    LMP_ReadMyPortMode(port);
    if (LMP_TestState(port, ST_PORT_OPEN)) {
        LMP_ClearState(port, ST_PORT_OPEN);
        LMP_PortEndDoc(port);
    }
    if (port->managerWorker) {
        LMJ_ReleasePortMutex(port, owned);
        LMP_ClearState(port, ST_POLL_RUN);
        LMS_SignalWorker(port, false);
        WaitForSingleObject(port->threadEndedEvent, kWorkerEndMs);
        if (!(port->portKind & KIND_UNC))
            owned = LMJ_WaitPortMutex(port);
    }
    if (LMP_PortStartDoc(port, pPrinterName, JobId, Level, pDocInfo)) {
        if (!usb(port))
            LMP_SetDefaultTimeouts(port);
        LMP_SetState(port, ST_PORT_OPEN);
    } else if (!usb(port)) {
        const DWORD error = GetLastError();
        LMP_ClearState(port, ST_JOB_OPEN);
        LMJ_ReleasePortMutex(port, owned);
        LMP_SetBusy(port, 0);
        SetLastError(error);
        return FALSE;
    }
    LMP_ClearState(port, ST_HEADER_SENT | ST_END_REQUESTED | ST_DISCARD | ST_END_SENT);
    port->jobId = JobId;
    port->jobReleased = 0;

    if (port->portKind & KIND_BIDI) {
        LMP_Lock(port);
        ServedPrinter *printer = LMS_FindServedPrinter(port->printerName, port);
        if (!printer)
            printer = LMS_BindStatusManager(port->printerName, port, FALSE);
        port->jobPrinter = printer;
        LMS_QueryDeviceId(port);
        if (printer)
            LMP_SetState(port, ST_HEADER_DUE);
        if (!port->jobQueueHead && !(port->portKind & KIND_NETWORK))
            LMS_DrainReplies(port, FALSE);
        if (printer) {
            port->jobStarted = 1;
            if (!LMP_TestState(port, ST_POLL_STARTED))
                LMS_StartPollThread(port);
        }
        LMU_Free(port->docInfo);
        port->docInfo = copy_doc_info(Level, pDocInfo);
        port->docInfoLevel = port->docInfo ? Level : 0;
        if (!port->jobQueueHead && LMP_TestState(port, ST_HEADER_DUE))
            LMS_SetJobActive(port, TRUE);
        if (printer)
            LMJ_QueueJob(JobId, port);
        if (port->portKind & KIND_NETWORK)
            LMJ_MakeGuidJobId(port->jobIdentifier);
        else
            LMJ_MakeJobId(port->jobIdentifier);
        LMS_SetSendingJobInfo(port, TRUE);
        LMS_UpdateJobStatusBits(port, 0x1, TRUE);
        apply_printing_priority(port);
        LMP_Unlock(port);
    } else {
        LMU_Free(port->docInfo);
        port->docInfo = copy_doc_info(Level, pDocInfo);
        port->docInfoLevel = port->docInfo ? Level : 0;
    }
    LMJ_ReleasePortMutex(port, owned);
    LMP_ClearState(port, ST_JOB_FINISHED);
    /* the job's stream state; the poll's status side reads some of it under the port's lock */
    LMP_Lock(port);
    if (!LMP_TestState(port, ST_IDENTIFIED))
        port->writeBlocked = 0;
    port->streamLanguage = 0;
    std::memset(port->streamJobIdentifier, 0, sizeof port->streamJobIdentifier);
    port->inspectionDone = port->streamHasUel = port->postScriptJob = port->releaseOnIdle = port->dataWritten = 0;
    port->usbResidue = 0;
    port->residueByte = 0;
    port->residueLength = port->releaseCount = port->trailerOwed = 0;
    LMP_StoreWord(port->jobEndSeen, 0);
    LMP_StoreWord(port->deviceIdAnswered, 0);
    port->uelSkipped = 0;
    LMP_Unlock(port);
    SetLastError(0);
    return TRUE;
}

void LMJ_ReplacePrinterName(MonitorPort *port, const WCHAR *name)
{
    if (!name || LMU_BoundedLength(name) < 0)
        return;
    LMP_Lock(port);
    if (!port->printerName || lstrcmpW(port->printerName, name) != 0) {
        if (WCHAR *copy = LMU_DupWide(name)) {
            LMU_Free(port->printerName);
            port->printerName = copy;
        }
    }
    LMP_Unlock(port);
}

/* ---- WritePort ---------------------------------------------------------------------- */

namespace {

bool network_port(const MonitorPort *port) { return port->portKind & KIND_NETWORK; }

/* What the header phase decided. */
enum class Header { TakeNothing, Released, Data };

/* The header phase (while ST_HEADER_DUE): sends the monitor's header once the device is identified. */
Header header_phase(MonitorPort *port, bool &owned, LPBYTE data, DWORD length, LPDWORD written)
{
    const bool wasUnreachable = LMP_TestState(port, ST_UNREACHABLE);
    const bool stalled = LMP_TestState(port, ST_HEADER_SENT) && port->stallTick != LM_NO_TICK &&
                         GetTickCount() - port->stallTick <= kStallMs;
    if (!stalled) {
        port->stallTick = LM_NO_TICK;
        LMS_QueryDeviceId(port);
    }
    if (wasUnreachable && !LMP_TestState(port, ST_UNREACHABLE)) {
        LMJ_SleepUnlocked(port, owned, kBackAgainPauseMs);
        return Header::TakeNothing;
    }
    if (LMP_TestState(port, ST_IDENTIFIED)) {
        LMP_ClearState(port, ST_FRESH);
        if (!LMP_TestState(port, ST_HEADER_SENT)) {
            HeaderParams params{};
            const bool network = port->portKind & KIND_NETWORK;
            params.statusRequests = network ? 0 : 1;
            params.jobLine = network ? (port->jobIdFromStream ? 0 : 1) : 1;
            params.nameAttribute = network ? 0 : 1;
            std::memcpy(params.identifier, port->jobIdentifier, sizeof params.identifier - 1);
            char header[1024];
            const DWORD size = LMJ_BuildHeader(header, &params, port);
            LMP_SetState(port, ST_HEADER_SENT);
            if (size) {
                DWORD sent = 0;
                /* kept on failure: a header that did not go out goes first with the next data */
                const BOOL ok = LMP_SendControlData(port, reinterpret_cast<LPBYTE>(header), size, &sent, TRUE, FALSE);
                port->stallTick = sent == 1 ? GetTickCount() : LM_NO_TICK;
                if (!ok) {
                    if (port->writeBlocked == 1)
                        LMJ_SleepUnlocked(port, owned, kBlockedPauseMs);
                    return Header::TakeNothing;
                }
                if (flow_control(port) && LMP_TestState(port, ST_JOB_OPEN))
                    port->flowing = 1;
                LMP_ClearState(port, ST_JOB_FINISHED);
                if (port->pendingLength)
                    return Header::TakeNothing; /* the rest of the header goes first next time */
            }
        } else if (port->pendingLength) {
            /* the rest of a header sent in part goes before any job byte */
            LMP_SendControlData(port, nullptr, 0, nullptr, FALSE, FALSE);
            if (port->pendingLength)
                return Header::TakeNothing;
        }
        LMP_ClearState(port, ST_HEADER_DUE);
    } else {
        /* A network printer's status comes by SNMP, its job by the raw port: an SNMP agent that does not answer
           says nothing about the raw port, so the job goes without the monitor's header. */
        if (LMP_TestState(port, ST_UNREACHABLE) && !network_port(port))
            return Header::TakeNothing;
        LMP_ClearState(port, ST_HEADER_DUE);
    }
    /* the stream's own universal exit is not sent after the monitor's header: reported written, once (a
       network printer that got no header gets the job whole) */
    const bool headed = LMP_TestState(port, ST_HEADER_SENT) || !network_port(port);
    if (headed && port->streamHasUel && !port->uelSkipped && length >= kUelBytes &&
        std::memcmp(data, kUel, kUelBytes) == 0) {
        port->uelSkipped = 1;
        *written = kUelBytes;
        return Header::Released;
    }
    return Header::Data;
}

BOOL write_plain(MonitorPort *port, LPBYTE data, DWORD length, LPDWORD written)
{
    if (!LMP_TestState(port, ST_PORT_OPEN)) {
        if (!LMP_PortStartDoc(port, port->printerName, port->jobId, port->docInfoLevel,
                              static_cast<LPBYTE>(port->docInfo)))
            return FALSE;
        LMP_SetState(port, ST_PORT_OPEN);
    }
    const BOOL ok = LMP_PortWrite(port, data, length, written);
    if (flow_control(port) && LMP_TestState(port, ST_JOB_OPEN))
        port->flowing = 1;
    return ok;
}

} // namespace

BOOL WritePort(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuf, LPDWORD pcbWritten)
{
    MonitorPort *port = static_cast<MonitorPort *>(hPort);
    DWORD moved = 0;
    LPDWORD written = pcbWritten ? pcbWritten : &moved;
    *written = 0;
    if (!port || (!pBuffer && cbBuf)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (!(port->portKind & KIND_BIDI))
        return write_plain(port, pBuffer, cbBuf, written);

    bool owned = false;
    if (!(port->portKind & KIND_UNC)) {
        owned = LMJ_WaitPortMutex(port);
        if (!owned) {
            SetLastError(0);
            return TRUE;
        }
    }
    auto take_nothing = [&](DWORD pauseMs) {
        LMJ_ReleasePortMutex(port, owned);
        if (pauseMs)
            Sleep(pauseMs);
        *written = 0;
        SetLastError(0);
        return TRUE;
    };
    port->dataWritten = 1;

    if (usb(port) && LMP_IsXpOrLater() && port->usbResidue) {
        if (cbBuf < port->residueLength) {
            DWORD status = 0;
            if (HANDLE h = job_handle(port); h && read_job_status(port, h, &status) && (status & JOB_STATUS_DELETING))
                LMP_SetState(port, ST_DISCARD);
        }
        port->usbResidue = 0;
        port->residueByte = 0;
        port->residueLength = 0;
    }
    if (usb(port) && LMP_TestState(port, ST_UNREACHABLE) && !LMP_TestState(port, ST_DISCARD)) {
        Sleep(kUnreachablePauseMs);
        LMS_QueryDeviceId(port);
        return take_nothing(kUnreachableRetryMs);
    }
    if (usb(port) && !LMP_TestState(port, ST_PORT_OPEN)) {
        if (!LMP_PortStartDoc(port, port->printerName, port->jobId, port->docInfoLevel,
                              static_cast<LPBYTE>(port->docInfo)))
            return take_nothing(kUnreachablePauseMs);
        LMP_SetState(port, ST_PORT_OPEN);
    }
    if (port->streamLanguage == 0) {
        LMJ_InspectStream(port, pBuffer, cbBuf);
        LMJ_SetQueuedJobText(port->jobIdentifier, 1, port);
    }
    if (LMP_TestState(port, ST_HEADER_DUE) && !LMP_TestState(port, ST_DISCARD)) {
        switch (header_phase(port, owned, pBuffer, cbBuf, written)) {
        case Header::TakeNothing:
            return take_nothing(0);
        case Header::Released: {
            const DWORD taken = *written;
            LMJ_ReleasePortMutex(port, owned);
            *written = taken;
            SetLastError(0);
            return TRUE;
        }
        case Header::Data:
            break;
        }
    }

    BOOL ok = TRUE;
    DWORD error = 0;
    if (LMP_TestState(port, ST_DISCARD)) {
        /* the job is being deleted: its data is taken and dropped */
        *written = cbBuf;
        LMP_ClearState(port, ST_HEADER_DUE);
    } else {
        ok = flow_control(port) ? LMP_WriteJobDataPaced(port, pBuffer, cbBuf, written)
                                : LMP_WriteJobDataDirect(port, pBuffer, cbBuf, written);
        error = ok ? 0 : GetLastError();
    }
    LMP_SetBusy(port, 1);
    LMJ_ReleasePortMutex(port, owned);
    if (port->lastWriteError == ERROR_TIMEOUT && ((flow_control(port) && port->flowing) || usb(port)))
        Sleep(1000);
    if (flow_control(port) && port->writeFailed)
        Sleep(1000);
    if (usb(port)) {
        if (*written < cbBuf) {
            port->usbResidue = 1;
            port->residueByte = pBuffer[*written];
            port->residueLength = cbBuf - *written;
        } else {
            port->usbResidue = 0;
            port->residueByte = 0;
            port->residueLength = 0;
        }
    }
    SetLastError(error);
    return ok;
}
