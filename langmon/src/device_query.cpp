/*
 * Reading the device ID of a local bidirectional port through the port
 * monitor, and what follows from it: the supported model is parsed whole,
 * another device is shown as such, and a device that does not answer is
 * shown as gone and its jobs are finished.
 */
#include "network.h"

#include <plat/clock.h>
#include <plat/debug.h>
#include <plat/error.h>

#include <cstring>

namespace {

constexpr DWORD IOCTL_PAR_QUERY_DEVICE_ID = 0x16000C;
constexpr DWORD kQzusbDeviceId = 0x220414;
constexpr DWORD kIdBytes = 2047;
constexpr DWORD kTryPauseMs = 1000;
constexpr DWORD kFlowPauseMs = 200;
constexpr size_t kMaxTrailingSpaces = 256;

/* One try: the device ID into text (2048 bytes, zero-filled); its length. */
DWORD ask_device(MonitorPort *port, char *text)
{
    std::memset(text, 0, kIdBytes + 1);
    if ((port->portMode & 0x2) && port->flowing) {
        /* the device is taking job data: it is not asked */
        LMP_StoreWord(port->deviceIdAnswered, 1);
        return 0;
    }
    LMP_StoreWord(port->deviceIdAnswered, 0);
    if (port->portMode & 0x2)
        Sleep(kFlowPauseMs);
    DWORD got = 0;
    LMP_Lock(port);
    if (auto ask = port->portMonitor.pfnGetPrinterDataFromPort) {
        if (LMP_IsQzusbPort(port)) {
            char prefixed[kIdBytes + 2] = {};
            DWORD n = 0;
            if (ask(port->portHandle, kQzusbDeviceId, nullptr, nullptr, 0, reinterpret_cast<LPWSTR>(prefixed),
                    sizeof prefixed, &n) &&
                n >= 3) {
                got = n - 2 < kIdBytes ? n - 2 : kIdBytes;
                std::memcpy(text, prefixed + 2, got);
            }
        } else {
            DWORD n = 0;
            if (ask(port->portHandle, IOCTL_PAR_QUERY_DEVICE_ID, nullptr, nullptr, 0, reinterpret_cast<LPWSTR>(text),
                    kIdBytes, &n))
                got = n < kIdBytes ? n : kIdBytes;
        }
    }
    LMP_Unlock(port);
    text[got] = 0;
    return got;
}

/* Valid: not empty, ends with ';' after at most 256 trailing spaces. */
bool valid_id(const char *text)
{
    size_t n = std::strlen(text), spaces = 0;
    while (n && text[n - 1] == ' ') {
        --n;
        ++spaces;
    }
    return n && spaces <= kMaxTrailingSpaces && text[n - 1] == ';';
}

/* "PrinterStatus" := {0, word2, word 3 AND 0x8}; true when it was not that already. */
bool show_device_state(MonitorPort *port, DWORD word2)
{
    StatusVariable *row = LMS_FindVariable("PrinterStatus", port->statusVariables, port, TRUE);
    if (!row)
        return false;
    DWORD words[3];
    std::memcpy(words, row->value, 12);
    const DWORD fresh[3] = {0, word2, words[2] & 0x8};
    if (std::memcmp(words, fresh, 12) == 0)
        return false;
    LMS_StoreValue(row, fresh);
    row->changed = 1;
    return true;
}

/* Another model answered: "PrinterStatus" {0, 0x200, ...}, and when that is news the device's values are reset and shown. */
void show_other_model(MonitorPort *port)
{
    LMP_Lock(port);
    const bool changed = show_device_state(port, 0x200);
    LMP_Unlock(port);
    if (changed) {
        LMS_ClearErrorValues(port, TRUE);
        LMS_ResetDeviceValues(port, TRUE);
        LMS_PublishPrinterStatus(port);
        LMS_NotifyChanged(port);
    }
}

void free_pending_unless_parked(MonitorPort *port)
{
    if (port->writeBlocked != 1)
        LMS_FreePendingOutput(port);
}

/* The device stopped answering: shown once, while it was not already known to be gone. */
void report_unreachable(MonitorPort *port)
{
    LMP_Lock(port);
    show_device_state(port, 0x100);
    LMP_Unlock(port);
    LMS_NotifyChanged(port);
    LMS_ClearErrorValues(port, TRUE);
    LMS_ResetDeviceValues(port, TRUE);
    LMS_PublishPrinterStatus(port);
}

/* Jobs queued on a device that is gone are finished. */
void finish_jobs_of_gone_device(MonitorPort *port)
{
    if (port->jobQueueHead) {
        LMS_UpdateJobStatusBits(port, 0x4, TRUE);
        Sleep(100);
        if (!(LMP_TestState(port, ST_JOB_OPEN) && LMP_TestState(port, ST_HEADER_SENT)))
            LMS_UpdateJobStatusBits(port, 0x4, FALSE);
    }
    LMS_FinishJobs(port, TRUE);
}

void mark_gone(MonitorPort *port)
{
    if (!LMP_TestState(port, ST_JOB_OPEN))
        port->portMode = 0;
    LMP_ClearState(port, ST_IDENTIFIED);
    LMP_SetState(port, ST_UNREACHABLE);
}

/* A valid ID: true for the supported model. */
bool take_answer(MonitorPort *port, const char *text)
{
    if (LMP_TestState(port, ST_UNREACHABLE))
        LMP_SetState(port, ST_FRESH);
    LMP_ClearState(port, ST_UNREACHABLE);
    char copy[kIdBytes + 1];
    std::memcpy(copy, text, std::strlen(text) + 1);
    if (LMS_MatchModel(port, copy) == 1) {
        if (!LMP_TestState(port, ST_IDENTIFIED)) {
            LMP_SetState(port, ST_IDENTIFIED | ST_FRESH);
            LMP_Lock(port);
            LMS_MarkAllChanged(port->statusVariables);
            LMP_Unlock(port);
        }
        LMS_ParseDeviceId(text, port);
        return true;
    }
    show_other_model(port);
    LMS_ParseForeignDeviceId(text, port);
    if (port->writeBlocked == -1)
        port->writeBlocked = 0;
    LMP_ClearState(port, ST_IDENTIFIED);
    return false;
}

/* Marks a status value changed when it holds a value.  Lock held. */
void mark_if_held(MonitorPort *port, const char *name)
{
    StatusVariable *row = LMS_FindVariable(name, port->statusVariables, port, FALSE);
    if (row && row->value)
        row->changed = 1;
}

} // namespace

bool LMN_ReadDeviceId(MonitorPort *port)
{
    if (!port)
        return false;
    char text[kIdBytes + 1] = {};
    LMP_Lock(port);
    const int answered = port->snmpSession ? LMN_Get(port->snmpSession, text, nullptr, LMN_OID_DEVICE_ID, 0) : 0;
    LMP_Unlock(port);
    if (answered && text[0]) {
        LMP_ClearState(port, ST_UNREACHABLE);
        char copy[kIdBytes + 1];
        std::memcpy(copy, text, sizeof copy);
        if (LMS_MatchModel(port, copy) == 1) {
            LMP_Lock(port);
            if (!LMP_TestState(port, ST_IDENTIFIED)) {
                LMP_SetState(port, ST_IDENTIFIED | ST_FRESH);
                LMS_MarkAllChanged(port->statusVariables);
            }
            mark_if_held(port, "PrinterStatus");
            mark_if_held(port, "PrinterExtStatus");
            LMP_Unlock(port);
            LMS_ParseDeviceId(text, port);
            return true;
        }
        show_other_model(port);
        LMP_ClearState(port, ST_IDENTIFIED);
        return false;
    }
    /* no answer: the device is shown as gone */
    LMS_FreePendingOutput(port);
    LMP_Lock(port);
    if (StatusVariable *row = LMS_FindVariable("PrinterStatus", port->statusVariables, port, TRUE)) {
        const DWORD gone[3] = {0, 0x10000, 0};
        LMS_StoreValue(row, gone);
        row->changed = 1;
    }
    LMP_Unlock(port);
    LMS_NotifyChanged(port);
    LMS_ClearErrorValues(port, TRUE);
    LMS_ResetDeviceValues(port, TRUE);
    LMS_PublishPrinterStatus(port);
    LMP_SetState(port, ST_UNREACHABLE);
    if (!LMP_TestState(port, ST_JOB_OPEN))
        port->portMode = 0;
    LMP_ClearState(port, ST_IDENTIFIED | LM_ST_REPLY_WAIT | LM_ST_REPLY_PENDING);
    return false;
}

bool LMP_IsQzusbPort(const MonitorPort *port)
{
    const WCHAR *n = port ? port->portName : nullptr;
    if (!n)
        return false;
    for (const char *p = "QZUSB"; *p; ++p, ++n)
        if (!*n || (*n >= 'a' && *n <= 'z' ? *n - 32 : *n) != *p)
            return false;
    return true;
}

bool LMS_QueryDeviceId(MonitorPort *port)
{
    if (!port)
        return false;
    if (!(port->portKind & KIND_BIDI))
        return true;
    if (port->portKind & KIND_NETWORK)
        return LMN_ReadDeviceId(port);
    bool opened = false;
    if (!LMP_TestState(port, ST_PORT_OPEN)) {
        if (!LMP_OpenStatusDoc(port)) {
            free_pending_unless_parked(port);
            if (!LMP_TestState(port, ST_UNREACHABLE)) {
                report_unreachable(port);
                LMS_FinishJobs(port, TRUE);
            }
            port->portMode = 0;
            LMP_ClearState(port, ST_IDENTIFIED);
            LMP_SetState(port, ST_UNREACHABLE);
            return false;
        }
        LMP_SetState(port, ST_PORT_OPEN);
        opened = true;
    }

    const unsigned tries = (port->deviceIdRetry || LMP_TestState(port, ST_JOB_OPEN)) ? 3 : 1;
    port->deviceIdRetry = 0;
    char text[kIdBytes + 1];
    DWORD got = 0;
    for (unsigned i = 0; i < tries && !got; ++i) {
        if (i)
            Sleep(kTryPauseMs);
        got = ask_device(port, text);
    }

    bool result = false;
    if (!got && LMP_LoadWord(port->deviceIdAnswered)) {
        /* not asked while the device takes job data: nothing is known, nothing changes */
    } else if (got) {
        if (valid_id(text))
            result = take_answer(port, text);
    } else {
        free_pending_unless_parked(port);
        if (!LMP_TestState(port, ST_UNREACHABLE))
            report_unreachable(port);
        const bool waitingForRoom = (port->portMode & 0x2) && LMP_TestState(port, ST_JOB_OPEN) && !port->flowing;
        if (!LMP_TestState(port, ST_HEADER_DUE) && !waitingForRoom)
            finish_jobs_of_gone_device(port);
        mark_gone(port);
    }
    if (opened) {
        LMP_PortEndDoc(port);
        LMP_ClearState(port, ST_PORT_OPEN);
    }
    return result;
}
