/*
 * The monitor functions that open and close a port: OpenPortEx stacks a
 * port record on the port monitor's port, ClosePort takes it down again.
 *
 * Arguments are checked before anything is made: names must end within
 * LM_MAX_NAME characters, and the port monitor's table must be a whole
 * MONITOR2 with an OpenPort.  The global lock is held from the duplicate
 * test until the record is in the list and the port monitor's port is open,
 * so that two opens of one name cannot both succeed.
 *
 * Winsock is started with the first open port and cleaned up with the last;
 * a refused open never cleans up a start it did not make.  ClosePort claims
 * the record by setting ST_CLOSING under the global lock: a second close of
 * the same handle, even at the same time, answers TRUE and does nothing.
 */
#include "status.h"

#include <plat/clock.h>
#include <plat/error.h>
#include <plat/handle.h>
#include <plat/winsock.h>

#include <atomic>
#include <string>

namespace {

/* Steps of 500 ms that ClosePort waits for a running worker to leave. */
constexpr int kWorkerWaitSteps = 120;

BOOL fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

/* Tells the status side that the port's printer is going: the named event "Global\LMCLOSE:<printer>". */
void signal_close_event(const MonitorPort *port)
{
    std::string name = "Global\\LMCLOSE:";
    if (char *printer = LMU_WideToAnsi(port->printerName)) {
        name += printer;
        LMU_Free(printer);
    }
    if (HANDLE ev = OpenEventA(EVENT_MODIFY_STATE, FALSE, name.c_str())) {
        SetEvent(ev);
        CloseHandle(ev);
    }
}

} // namespace

BOOL LMP_OpenPortEx(HANDLE, HANDLE hMonitorPort, LPWSTR pPortName, LPWSTR pPrinterName, PHANDLE pHandle,
                    MONITOR2 *pMonitor2)
{
    if (!pHandle || !pMonitor2 || pMonitor2->cbSize < sizeof(MONITOR2) || !pMonitor2->pfnOpenPort)
        return fail(ERROR_INVALID_PARAMETER);
    if (LMU_BoundedLength(pPortName) <= 0 || (pPrinterName && LMU_BoundedLength(pPrinterName) < 0))
        return fail(ERROR_INVALID_PARAMETER);
    if (std::u16string_view(pPortName) == u"NExx:")
        return fail(ERROR_INVALID_PRINT_MONITOR);

    LMP_Lock(nullptr);
    if (LMP_FindPort(g_lm.portList, pPortName)) {
        LMP_Unlock(nullptr);
        return fail(ERROR_BUSY);
    }
    const bool wasEmpty = g_lm.portList == nullptr;
    MonitorPort *port = LMP_CreatePort(pPortName, pPrinterName);
    if (!port) {
        LMP_Unlock(nullptr);
        return fail(ERROR_NOT_ENOUGH_MEMORY);
    }
    if (!pMonitor2->pfnOpenPort(hMonitorPort, pPortName, &port->portHandle)) {
        const DWORD error = GetLastError();
        LMP_FreePort(port);
        LMP_Unlock(nullptr);
        return fail(error ? error : ERROR_INVALID_FUNCTION);
    }
    *pHandle = port;
    if (wasEmpty) {
        WSADATA data;
        g_lm.winsockStarted = WSAStartup(MAKEWORD(1, 1), &data) == 0;
    }
    std::memcpy(&port->portMonitor, pMonitor2, sizeof(MONITOR2));
    LMP_ClassifyPort(port);
    LMS_UpdateExtStatus(port);
    LMS_SeedPrinterStatus(port, TRUE);
    LMP_Unlock(nullptr);
    return TRUE;
}

BOOL LMP_ClosePort(HANDLE hPort)
{
    if (!hPort)
        return fail(ERROR_INVALID_PARAMETER);
    auto *port = static_cast<MonitorPort *>(hPort);
    LMP_Lock(nullptr);
    const bool claimed = LMP_InPortList(port) &&
                         !(std::atomic_ref<DWORD>(port->stateFlags).fetch_or(ST_CLOSING) & ST_CLOSING);
    LMP_Unlock(nullptr);
    if (!claimed)
        return TRUE;

    LMP_Lock(port);
    const bool jobsQueued = port->jobQueueHead != nullptr;
    LMP_Unlock(port);
    if (jobsQueued) {
        signal_close_event(port);
        Sleep(1000);
        LMS_FinishJobs(port, TRUE);
    }

    if (LMP_TestState(port, ST_POLL_STARTED)) {
        LMS_StopWorker(port);
        std::atomic_ref<HANDLE> threadEvent(port->threadEvent);
        if (HANDLE ev = threadEvent.load())
            SetEvent(ev);
        for (int i = 0; i < kWorkerWaitSteps && threadEvent.load(); ++i)
            Sleep(500);
    }

    SetEvent(port->closeEvent);

    LMS_KillNotificationCallbacks(port);

    LMP_Lock(port);
    if (port->portMonitor.pfnClosePort)
        port->portMonitor.pfnClosePort(port->portHandle);
    LMP_Unlock(port);

    LMS_PublishToManager(port);
    LMS_ClearExtStatusBits(port, 0x7);

    Sleep(300);
    LMP_Lock(nullptr);
    if (port->snmpSession) {
        LMN_CloseSession(port->snmpSession);
        port->snmpSession = nullptr;
    }
    LMU_Free(port->community);
    port->community = nullptr;
    LMP_FreePort(port);
    if (!g_lm.portList && g_lm.winsockStarted) {
        WSACleanup();
        g_lm.winsockStarted = FALSE;
    }
    LMP_Unlock(nullptr);
    return TRUE;
}
