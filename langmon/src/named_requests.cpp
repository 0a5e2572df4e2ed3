/*
 * GetPrinterDataFromPort: the requests the driver's pages and the status
 * tools send to the monitor by value name ("LM_" values, refresh, wake-up,
 * suspend, service tag, display language, raw PJL, tool exchanges), and the
 * device controls (non-zero control codes) passed on to the port monitor.
 * Named requests answer through the caller's buffer: a signed 32-bit answer
 * code (or the value), with the function result FALSE and the last error
 * ERROR_INVALID_PARAMETER once answered, ERROR_INSUFFICIENT_BUFFER when the
 * buffer cannot hold the answer.
 */
#include "job_road.h"
#include "named_requests.h"
#include "network.h"

#include <plat/clock.h>
#include <plat/error.h>

#include <cstring>

namespace {

enum class Request {
    IsWakeup,
    Refresh,
    WakeUp,
    StopPolling,
    Suspend,
    LmValue,
    ServiceTagStatus,
    DisplayLangStatus,
    DisplayLang,
    ServiceTag,
    StartMachineCheck,
    StartSend,
    Start,
    Read,
    End,
    ToolBox2,
    ToolBox,
    GetPjl,
    Unknown,
};

struct RequestName {
    const char16_t *text;
    bool exact;
    Request kind;
};

/* Matched in this order: the first match wins. */
constexpr RequestName kRequests[] = {
    {u"IsWakeup", true, Request::IsWakeup},
    {u"Refresh:", false, Request::Refresh},
    {u"Wake Up", true, Request::WakeUp},
    {u"Stop Polling", true, Request::StopPolling},
    {u"Suspend", true, Request::Suspend},
    {u"LM_InputTray", false, Request::LmValue},
    {u"LM_SysName", false, Request::LmValue},
    {u"LM_MemorySizeInKByte", false, Request::LmValue},
    {u"LM_MemorySizeInMByte", false, Request::LmValue},
    {u"LM_RamDisk", false, Request::LmValue},
    {u"LM_DuplexModule", false, Request::LmValue},
    {u"LM_HardDisk", false, Request::LmValue},
    {u"LM_ServiceTagStatus", false, Request::ServiceTagStatus},
    {u"LM_DisplayLangStatus", false, Request::DisplayLangStatus},
    {u"LM_DisplayLang", false, Request::DisplayLang},
    {u"LM_ServiceTag", false, Request::ServiceTag},
    {u"ToolBoxUstatusStart_MachineCheck:", false, Request::StartMachineCheck},
    {u"ToolBoxUstatusStart_Send:", false, Request::StartSend},
    {u"ToolBoxUstatusStart:", false, Request::Start},
    {u"ToolBoxUstatusRead:", false, Request::Read},
    {u"ToolBoxUstatusEnd:", false, Request::End},
    {u"ToolBox2:", false, Request::ToolBox2},
    {u"ToolBox:", false, Request::ToolBox},
    {u"GetPJL:", false, Request::GetPjl},
};

constexpr DWORD kQueryReads = 10;
constexpr DWORD kQueryPauseMs = 300;
constexpr DWORD kPartialSendPauseMs = 3000;
constexpr DWORD kSuspendWaitMs = 4000;
/* The longest raw PJL command taken from a value name. */
constexpr size_t kMaxPjlCommand = 4096;
/* Rounds of the held-tail retry of a job's end on a USB port (4 s apart): about five minutes. */
constexpr unsigned kTailRounds = 75;

/* Length of the request's name when `name` begins with it (exact: is it); 0 otherwise. */
size_t matches(const WCHAR *name, const RequestName &r)
{
    size_t i = 0;
    for (; r.text[i]; ++i)
        if (name[i] != r.text[i])
            return 0;
    return (!r.exact || name[i] == 0) ? i : 0;
}

Request classify(const WCHAR *name, size_t *prefix)
{
    for (const RequestName &r : kRequests)
        if (size_t n = matches(name, r)) {
            *prefix = n;
            return r.kind;
        }
    *prefix = 0;
    return Request::Unknown;
}

void put_answer(LPWSTR out, LONG value) { std::memcpy(out, &value, sizeof value); }

bool has_room(LPWSTR out, DWORD outSize) { return out && outSize >= sizeof(LONG); }

bool job_open(const MonitorPort *port) { return LMP_TestState(port, ST_JOB_OPEN); }

bool queued(MonitorPort *port)
{
    LMP_Lock(port);
    const bool any = port->jobQueueHead != nullptr;
    LMP_Unlock(port);
    return any;
}

/* Takes the port mutex (not on UNC ports); false when the wait failed. */
bool take_mutex(MonitorPort *port, bool &held)
{
    held = false;
    if (port->portKind & KIND_UNC)
        return true;
    held = LMJ_WaitPortMutex(port);
    return held;
}

/* Sends a query the monitor made; some bytes out and the rest flushed after a pause also counts. */
bool send_query(MonitorPort *port, const std::string &text)
{
    DWORD written = 0;
    if (LMP_SendControlData(port, reinterpret_cast<LPBYTE>(const_cast<char *>(text.data())), DWORD(text.size()),
                            &written, TRUE, FALSE) &&
        written == text.size())
        return true;
    if (written == 0)
        return false;
    Sleep(kPartialSendPauseMs);
    DWORD flushed = 0;
    return LMP_SendControlData(port, nullptr, 0, &flushed, TRUE, FALSE) && port->pendingLength == 0;
}

/* The device's service tag or display language, asked by PJL (or SNMP on a network port). */
void answer_query(MonitorPort *port, bool tag, LPWSTR out, DWORD outSize)
{
    DWORD &state = tag ? port->serviceTagState : port->displayLangState;
    if (tag)
        std::memset(port->serviceTag, 0, sizeof port->serviceTag);
    else
        port->displayLang = 0;
    state = 1;
    const DWORD answerBytes = tag ? sizeof port->serviceTag : 2;
    const DWORD answerSize = outSize < answerBytes ? outSize : answerBytes;
    bool held = false;
    if (!port->statusVariables || !(port->portKind & KIND_BIDI)) {
        state = 1;
    } else if (queued(port)) {
        state = ERROR_INVALID_PRINTER_STATE;
    } else if (take_mutex(port, held)) {
        LMS_QueryDeviceId(port);
        if (LMP_TestState(port, ST_UNREACHABLE)) {
            state = ERROR_DEVICE_NOT_CONNECTED;
        } else if (!tag && (port->portKind & KIND_NETWORK)) {
            LMN_GetDisplayLang(port);
        } else {
            const bool wasOpen = LMP_TestState(port, ST_PORT_OPEN);
            if (LMS_OpenForStatus(port)) {
                LMS_DrainReplies(port, FALSE);
                const std::string uel = "\x1b%-12345X";
                const std::string query = uel + (tag ? "@PJL INFO SERVICETAG" : "@PJL DINQUIRE LANG") + "\r\n" + uel;
                if (!send_query(port, query)) {
                    state = ERROR_INVALID_PRINTER_STATE;
                } else {
                    for (DWORD i = 0; i < kQueryReads; ++i) {
                        if (i)
                            Sleep(kQueryPauseMs);
                        if (!LMS_ReadFromPort(port, FALSE)) {
                            state = ERROR_INVALID_PRINTER_STATE;
                            break;
                        }
                        if (tag ? port->serviceTag[0] != 0 : port->displayLang != 0) {
                            state = 0;
                            break;
                        }
                    }
                }
                if (!wasOpen && LMP_TestState(port, ST_PORT_OPEN)) {
                    LMP_PortEndDoc(port);
                    LMP_ClearState(port, ST_PORT_OPEN);
                }
            }
        }
        if (held)
            ReleaseMutex(port->portMutex);
    }
    if (!out || !answerSize)
        return;
    if (state != 0) {
        std::memset(out, 0, answerSize);
    } else if (tag) {
        std::memcpy(out, port->serviceTag, answerSize);
    } else {
        const WORD lang = WORD(port->displayLang);
        std::memcpy(out, &lang, answerSize);
    }
}

/* Raw PJL: the command after "GetPJL:" is sent and whatever the device answers is copied back. */
void answer_pjl(MonitorPort *port, const WCHAR *name, LPWSTR out, DWORD outSize)
{
    const char *command = reinterpret_cast<const char *>(name + 7);
    const size_t length = strnlen(command, kMaxPjlCommand);
    bool held = false;
    if (!port->statusVariables || !(port->portKind & KIND_BIDI) || queued(port) || !take_mutex(port, held))
        return;
    LMS_QueryDeviceId(port);
    if (!LMP_TestState(port, ST_UNREACHABLE) && out && outSize) {
        BYTE *answer = static_cast<BYTE *>(LMU_Alloc(outSize));
        DWORD got = 0;
        if (answer && (port->portKind & KIND_NETWORK)) {
            char *host = LMP_GetTcpPortAddress(port->portName);
            TcpClient *client = nullptr;
            if (LMN_TcpOpen(&client, host, false) && LMN_TcpSend(client, reinterpret_cast<const BYTE *>(command),
                                                                 DWORD(length)))
                LMN_TcpReceive(client, answer, outSize, &got);
            LMN_TcpClose(client);
            LMU_Free(host);
        } else if (answer) {
            const bool wasOpen = LMP_TestState(port, ST_PORT_OPEN);
            if (LMS_OpenForStatus(port)) {
                LMS_DrainReplies(port, FALSE);
                if (send_query(port, std::string(command, length))) {
                    Sleep(1000);
                    BYTE *read = nullptr;
                    DWORD capacity = 0, readLength = 0;
                    LMP_ReadAll(port, &read, &capacity, &readLength);
                    got = readLength < outSize ? readLength : outSize;
                    if (got)
                        std::memcpy(answer, read, got);
                    LMU_Free(read);
                }
                if (!wasOpen && LMP_TestState(port, ST_PORT_OPEN)) {
                    LMP_PortEndDoc(port);
                    LMP_ClearState(port, ST_PORT_OPEN);
                }
            }
        }
        if (answer) {
            std::memcpy(out, answer, got);
            if (got < outSize)
                reinterpret_cast<BYTE *>(out)[got] = 0;
        }
        LMU_Free(answer);
    }
    if (held)
        ReleaseMutex(port->portMutex);
}

/* An "LM_" value: the table refreshed from the device when stale, -1 while the device does not answer. */
void answer_lm_value(MonitorPort *port, const WCHAR *name, LPWSTR out, DWORD outSize, LPDWORD returned)
{
    if (LMP_LmValuesStale(port)) {
        LMP_ClearState(port, ST_TERMINATED);
        LMS_PublishToManager(port);
        LMS_QueryDeviceId(port);
    }
    if (LMP_TestState(port, ST_UNREACHABLE)) {
        *returned = sizeof(LONG);
        if (!has_room(out, outSize)) {
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return;
        }
        put_answer(out, -1);
        SetLastError(ERROR_INVALID_PARAMETER);
        return;
    }
    DWORD size = 0;
    if (outSize == 0) {
        if (LMP_AnswerLmValue(name, nullptr, 0, &size)) {
            *returned = size;
            SetLastError(ERROR_INSUFFICIENT_BUFFER);
            return;
        }
        *returned = 0;
    } else if (!LMP_AnswerLmValue(name, out, outSize, &size)) {
        /* a longer name than the value's ("LM_InputTrayX"): nothing to answer */
        *returned = 0;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
}

void wake_up(MonitorPort *port, LPWSTR out)
{
    if (__atomic_load_n(&port->wakeUpPolling, __ATOMIC_ACQUIRE)) {
        put_answer(out, LM_ANSWER_REFUSED);
        return;
    }
    __atomic_store_n(&port->wakeUpPolling, 1, __ATOMIC_RELEASE);
    if (!LMP_TestState(port, ST_POLL_STARTED))
        LMS_StartPollThread(port);
    if (port->portKind & KIND_LOCAL) {
        LMS_PublishToManager(port);
        __atomic_store_n(&port->wakeUpPolling, 0, __ATOMIC_RELEASE);
    }
    put_answer(out, 0);
}

void suspend(MonitorPort *port, LPWSTR out)
{
    if (job_open(port)) {
        put_answer(out, LM_ANSWER_REFUSED);
        return;
    }
    if (LMP_TestState(port, ST_POLL_STARTED) && LMS_SignalWorker(port, true) && port->threadEndedEvent)
        WaitForSingleObject(port->threadEndedEvent, kSuspendWaitMs);
    put_answer(out, 0);
}

/* Non-zero control codes: device controls through the port monitor, with the job's end noted. */
BOOL device_control(MonitorPort *port, DWORD control, LPWSTR name, LPWSTR in, DWORD inSize, LPWSTR out,
                    DWORD outSize, LPDWORD returned)
{
    bool held = false;
    if (!(port->portKind & KIND_UNC))
        held = LMJ_WaitPortMutex(port);
    if (!port->portMonitor.pfnGetPrinterDataFromPort) {
        LMJ_ReleasePortMutex(port, held);
        return FALSE;
    }
    const bool jobEnd = control == LM_CONTROL_JOB_END || control == LM_IOCTL_PAR_SET_INFORMATION;
    if (jobEnd) {
        if (job_open(port) && !LMP_TestState(port, LM_ST_JOB_NOT_FOUND))
            LMS_UpdateJobStatusBits(port, 0x4, TRUE);
        LMP_SetState(port, ST_END_REQUESTED);
    }
    if (!LMP_TestState(port, ST_PORT_OPEN) && !LMS_OpenForStatus(port)) {
        LMJ_ReleasePortMutex(port, held);
        return FALSE;
    }
    if (control == LM_CONTROL_JOB_END && (port->portKind & KIND_USB)) {
        const DWORD start = GetTickCount();
        bool cleared = false;
        for (unsigned round = 0; round < kTailRounds && port->writeFailed && port->lastWriteError != ERROR_CANCELLED &&
                                 !LMP_TestState(port, ST_UNREACHABLE);
             ++round) {
            if (!cleared && GetTickCount() - start >= 60000) {
                LMS_UpdateJobStatusBits(port, 0x4, FALSE);
                cleared = true;
            }
            LMJ_SleepUnlocked(port, held, 4000);
            if (!LMP_TestState(port, ST_UNREACHABLE)) {
                DWORD written = 0;
                LMP_PortWrite(port, reinterpret_cast<LPBYTE>(port->heldTail), 80, &written);
            }
        }
    }
    const BOOL result = LMP_ForwardControlId(port, control, name, in, inSize, out, outSize, returned);
    if (control == LM_CONTROL_JOB_END && job_open(port))
        LMJ_SleepUnlocked(port, held, 1000);
    LMJ_ReleasePortMutex(port, held);
    return result;
}

} // namespace

BOOL GetPrinterDataFromPort(HANDLE hPort, DWORD ControlID, LPWSTR pValueName, LPWSTR lpInBuffer, DWORD cbInBuffer,
                            LPWSTR lpOutBuffer, DWORD cbOutBuffer, LPDWORD lpcbReturned)
{
    auto *port = static_cast<MonitorPort *>(hPort);
    if (!port || port->signature != LM_PORT_SIGNATURE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (ControlID != 0)
        return device_control(port, ControlID, pValueName, lpInBuffer, cbInBuffer, lpOutBuffer, cbOutBuffer,
                              lpcbReturned);
    DWORD ignored = 0;
    LPDWORD returned = lpcbReturned ? lpcbReturned : &ignored;
    size_t prefix = 0;
    const Request kind = pValueName ? classify(pValueName, &prefix) : Request::Unknown;
    switch (kind) {
    case Request::Refresh:
    case Request::WakeUp:
    case Request::ServiceTagStatus:
    case Request::DisplayLangStatus:
    case Request::DisplayLang:
    case Request::ServiceTag:
    case Request::GetPjl:
    case Request::ToolBox:
    case Request::ToolBox2:
    case Request::StartMachineCheck:
    case Request::StartSend:
    case Request::Start:
        LMP_ClearState(port, ST_TERMINATED);
        break;
    default:
        break;
    }
    switch (kind) {
    case Request::Unknown:
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    case Request::LmValue:
        answer_lm_value(port, pValueName, lpOutBuffer, cbOutBuffer, returned);
        return FALSE;
    case Request::StartMachineCheck:
    case Request::StartSend:
    case Request::Start: {
        const LONG preset = (job_open(port) || LMP_Busy(port)) ? LM_ANSWER_BUSY : 0;
        const LONG outcome = LMS_ToolBoxUstatusStart(pValueName + prefix, port, preset, kind != Request::StartSend);
        if (outcome == 0) {
            LMP_SetBusy(port, 1);
            return FALSE;
        }
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    case Request::Read: {
        const LONG preset = LMP_Busy(port) ? 0 : LONG(ERROR_INVALID_PARAMETER);
        if (LMS_ToolBoxUstatusRead(pValueName + prefix, port, preset) == 0)
            return FALSE;
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    case Request::End:
        LMS_ToolBoxUstatusEnd(pValueName + prefix, port);
        LMP_SetBusy(port, 0);
        return TRUE;
    default:
        break;
    }

    *returned = sizeof(LONG);
    if (kind == Request::ToolBox || kind == Request::ToolBox2) {
        LONG preset = 0;
        if (!has_room(lpOutBuffer, cbOutBuffer))
            preset = ERROR_INSUFFICIENT_BUFFER;
        else if (job_open(port) || LMP_Busy(port))
            preset = LM_ANSWER_BUSY;
        const LONG outcome = LMS_ToolBoxRequest(pValueName + prefix, port, preset, kind == Request::ToolBox);
        if (has_room(lpOutBuffer, cbOutBuffer))
            put_answer(lpOutBuffer, outcome);
        SetLastError(has_room(lpOutBuffer, cbOutBuffer) ? ERROR_INVALID_PARAMETER : ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    if (!has_room(lpOutBuffer, cbOutBuffer)) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    switch (kind) {
    case Request::IsWakeup:
        put_answer(lpOutBuffer, LM_ANSWER_WAKEUP);
        break;
    case Request::Refresh:
        if (job_open(port) || LMP_Busy(port))
            put_answer(lpOutBuffer, LM_ANSWER_BUSY);
        else
            put_answer(lpOutBuffer, LMS_RefreshStatus(pValueName + prefix, port));
        break;
    case Request::WakeUp:
        wake_up(port, lpOutBuffer);
        break;
    case Request::StopPolling:
        if (!__atomic_exchange_n(&port->wakeUpPolling, 0, __ATOMIC_ACQ_REL))
            put_answer(lpOutBuffer, LM_ANSWER_REFUSED);
        else
            put_answer(lpOutBuffer, 0);
        break;
    case Request::Suspend:
        suspend(port, lpOutBuffer);
        break;
    case Request::ServiceTagStatus:
        put_answer(lpOutBuffer, LONG(port->serviceTagState));
        break;
    case Request::DisplayLangStatus:
        put_answer(lpOutBuffer, LONG(port->displayLangState));
        break;
    case Request::ServiceTag:
    case Request::DisplayLang:
        answer_query(port, kind == Request::ServiceTag, lpOutBuffer, cbOutBuffer);
        break;
    case Request::GetPjl:
        answer_pjl(port, pValueName, lpOutBuffer, cbOutBuffer);
        break;
    default:
        break;
    }
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}
