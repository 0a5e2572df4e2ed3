/*
 * Port I/O through the port monitor underneath: its StartDocPort, WritePort,
 * ReadPort, EndDocPort and SetPortTimeOuts, reached through the port's copy
 * of its function table.  Adds the COM pauses, the USB time-outs, the rule
 * for USB reads that fail without data, free-memory flow control, and the
 * monitor function ReadPort.
 */
#include "monitor.h"
#include "status.h"

#include <plat/clock.h>
#include <plat/error.h>

#include <cstring>

namespace {

const COMMTIMEOUTS kUsbTimeouts = {0xFFFFFFFF, 0xFFFFFFFF, 10, 0, 10000};
const COMMTIMEOUTS kDefaultTimeouts = {10, 0, 100, 0, 0};

constexpr DWORD kComPauseMs = 100;
constexpr DWORD kRoomWaitMs = 300;

/* SetPortTimeOuts when the port monitor has it; the caller's last error survives. */
BOOL set_timeouts(MonitorPort *port, const COMMTIMEOUTS &timeouts)
{
    if (!port->portMonitor.pfnSetPortTimeOuts)
        return FALSE;
    const DWORD error = GetLastError();
    COMMTIMEOUTS copy = timeouts;
    const BOOL ok = port->portMonitor.pfnSetPortTimeOuts(port->portHandle, &copy, 0);
    SetLastError(error);
    return ok;
}

bool is_usb(const MonitorPort *port) { return port->portKind & KIND_USB; }

/* Free blocks by the device's free memory; 0 while the block size is unknown. */
DWORD blocks_by_memory(const MonitorPort *port)
{
    return port->deviceBlockKB ? port->deviceFreeBytes / (DWORD(port->deviceBlockKB) * 1024u) : 0;
}

/* True when a port handle names a live record. */
bool live_port(const MonitorPort *port)
{
    if (!port)
        return false;
    LMP_Lock(nullptr);
    const bool live = LMP_InPortList(port);
    LMP_Unlock(nullptr);
    return live;
}

} // namespace

bool LMP_CheckIo(const MonitorPort *port, const void *buffer, DWORD length, LPDWORD count)
{
    if (count)
        *count = 0;
    if (port && (buffer || !length))
        return true;
    SetLastError(ERROR_INVALID_PARAMETER);
    return false;
}

void LMP_LowerFreeBytes(MonitorPort *port, DWORD bytes)
{
    port->deviceFreeBytes = bytes >= port->deviceFreeBytes ? 0 : port->deviceFreeBytes - bytes;
}

DWORD LMP_FlowThreshold(const MonitorPort *port) { return LMS_IsBoundToManager(port->jobPrinter) ? 2 : 5; }

BOOL LMP_SetDefaultTimeouts(MonitorPort *port)
{
    if (!port) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return set_timeouts(port, kDefaultTimeouts);
}

BOOL LMP_PortStartDoc(MonitorPort *port, LPWSTR printerName, DWORD jobId, DWORD level, LPBYTE docInfo)
{
    if (!port || !port->portMonitor.pfnStartDocPort) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (port->portKind & KIND_COM)
        Sleep(kComPauseMs);
    const BOOL ok = port->portMonitor.pfnStartDocPort(port->portHandle, printerName, jobId, level, docInfo);
    if (is_usb(port))
        set_timeouts(port, kUsbTimeouts);
    return ok;
}

BOOL LMP_PortEndDoc(MonitorPort *port)
{
    if (!port || !port->portMonitor.pfnEndDocPort) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const BOOL ok = port->portMonitor.pfnEndDocPort(port->portHandle);
    if (port->portKind & KIND_COM) {
        const DWORD error = GetLastError();
        Sleep(kComPauseMs);
        SetLastError(error);
    }
    return ok;
}

BOOL LMP_OpenStatusDoc(MonitorPort *port)
{
    DOC_INFO_3W doc{};
    WCHAR name[] = u"RVQMON Doc";
    doc.pDocName = name;
    return LMP_PortStartDoc(port, port ? port->printerName : nullptr, 0xFFFFFFFF, 3, reinterpret_cast<LPBYTE>(&doc));
}

BOOL LMP_PortRead(MonitorPort *port, LPBYTE buffer, DWORD size, LPDWORD read)
{
    DWORD got = 0;
    if (!read)
        read = &got;
    if (!LMP_CheckIo(port, buffer, size, read) || !port->portMonitor.pfnReadPort) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const BOOL ok = port->portMonitor.pfnReadPort(port->portHandle, buffer, size, read);
    if (!ok && *read == 0 && is_usb(port) && LMP_IsXpOrLater() && GetLastError() == ERROR_GEN_FAILURE) {
        /* a USB device that has nothing to say fails the read: counted as whole
           64-byte packets, handed out zeroed rather than as whatever the buffer held */
        *read = size & ~DWORD(63);
        if (*read)
            std::memset(buffer, 0, *read);
        return TRUE;
    }
    return ok;
}

BOOL LMP_PortWrite(MonitorPort *port, LPBYTE data, DWORD length, LPDWORD written)
{
    DWORD moved = 0;
    if (!written)
        written = &moved;
    if (!LMP_CheckIo(port, data, length, written) || !port->portMonitor.pfnWritePort) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    port->lastWriteError = 0;
    port->writeFailed = 0;
    const bool flowControl = port->portMode & 0x2;
    const bool bound = LMS_IsBoundToManager(port->jobPrinter);
    if (flowControl) {
        const LONG threshold = LONG(LMP_FlowThreshold(port));
        if (LONG(blocks_by_memory(port)) < threshold || LONG(LMS_FreeBlocks(port)) < threshold) {
            port->flowing = 0;
            Sleep(kRoomWaitMs);
            LMS_QueryDeviceId(port);
            if (LONG(LMS_FreeBlocks(port)) < threshold) {
                /* no room on the device: nothing written, the caller tries again */
                port->writeFailed = 1;
                return TRUE;
            }
            port->flowing = 1;
        }
    }
    const BOOL ok = port->portMonitor.pfnWritePort(port->portHandle, data, length, written);
    const DWORD error = GetLastError();
    if (is_usb(port) && !ok) {
        port->writeFailed = 1;
        port->lastWriteError = error;
        if (LMP_IsXpOrLater() && LMP_TestState(port, ST_JOB_OPEN) && error == ERROR_CANCELLED &&
            !LMP_TestState(port, ST_UNREACHABLE))
            LMS_FinishJobs(port, FALSE);
    }
    if (flowControl && LMP_TestState(port, ST_JOB_OPEN)) {
        if (*written || error == ERROR_TIMEOUT)
            port->flowing = 1;
        if (!bound)
            LMP_LowerFreeBytes(port, *written);
    }
    SetLastError(error);
    return ok;
}

/* ---- The monitor function ReadPort ------------------------------------------- */

BOOL ReadPort(HANDLE hPort, LPBYTE pBuffer, DWORD cbBuffer, LPDWORD pcbRead)
{
    MonitorPort *port = static_cast<MonitorPort *>(hPort);
    if (pcbRead)
        *pcbRead = 0;
    if (!live_port(port) || !pcbRead || (!pBuffer && cbBuffer)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const bool useMutex = !(port->portKind & KIND_UNC);
    bool owned = false;
    if (useMutex) {
        const DWORD wait = WaitForSingleObject(port->portMutex, LM_PORT_WAIT_MS);
        /* a time-out does not stop the read, but a mutex not owned is not released */
        owned = wait == WAIT_OBJECT_0 || wait == WAIT_ABANDONED;
    }
    if (!LMP_OpenStatusDoc(port)) {
        if (owned)
            ReleaseMutex(port->portMutex);
        SetLastError(ERROR_BUSY);
        return FALSE;
    }
    LMP_SetState(port, ST_PORT_OPEN);
    const BOOL ok = LMP_PortRead(port, pBuffer, cbBuffer, pcbRead);
    const DWORD error = GetLastError();
    if (LMP_PortEndDoc(port))
        LMP_ClearState(port, ST_PORT_OPEN);
    if (owned)
        ReleaseMutex(port->portMutex);
    SetLastError(error);
    return ok;
}
