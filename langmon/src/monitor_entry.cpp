/*
 * The language monitor's entry: the library entry (private heap and global
 * lock), InitializePrintMonitor2 with the function table handed to the
 * spooler, Shutdown, and the operating-system version tests.
 *
 * InitializePrintMonitor2 keeps the spooler's MONITORINIT in an 8-byte heap
 * block that is also the monitor handle.  A second call replaces the block
 * and frees the old one; Shutdown frees it and forgets it, so that nothing
 * reads the MONITORINIT through a freed block afterwards (the registry
 * callbacks are then simply not available).
 */
#include "monitor.h"

#include <plat/error.h>
#include <plat/loader.h>
#include <plat/memory.h>
#include <plat/version.h>

MonitorGlobals g_lm;

namespace {

const MONITOR2 monitor_table = [] {
    MONITOR2 t{};
    t.cbSize = sizeof(MONITOR2);
    t.pfnOpenPortEx = LMP_OpenPortEx;
    t.pfnStartDocPort = StartDocPort;
    t.pfnWritePort = WritePort;
    t.pfnReadPort = ReadPort;
    t.pfnEndDocPort = EndDocPort;
    t.pfnClosePort = LMP_ClosePort;
    t.pfnGetPrinterDataFromPort = GetPrinterDataFromPort;
    t.pfnShutdown = LMP_Shutdown;
    return t;
}();

} // namespace

BOOL LMP_DllEntry(HMODULE module, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        g_lm.module = module;
        g_lm.heap = HeapCreate(0, 0x8000, 0);
        InitializeCriticalSection(&g_lm.lock);
        g_lm.attached = TRUE;
        DisableThreadLibraryCalls(module);
    } else if (reason == DLL_PROCESS_DETACH && g_lm.attached) {
        DeleteCriticalSection(&g_lm.lock);
        if (g_lm.heap)
            HeapDestroy(g_lm.heap);
        g_lm = MonitorGlobals{};
    }
    return TRUE;
}

PLAT_MODULE_ENTRY(LMP_DllEntry)

PMONITORINIT LMP_MonitorInit()
{
    if (!g_lm.monitorHandle)
        return nullptr;
    return plat::load<PMONITORINIT>(g_lm.monitorHandle);
}

bool LMP_IsXpOrLater() { return g_lm.osMajor > 5 || (g_lm.osMajor == 5 && g_lm.osMinor > 0); }

bool LMP_IsVistaOrLater() { return g_lm.osMajor > 5; }

extern "C" __attribute__((visibility("default"))) LPMONITOR2 InitializePrintMonitor2(PMONITORINIT init,
                                                                                      PHANDLE phMonitor)
{
    if (!init || !phMonitor || !init->hSpooler || !init->hckRegistry || !init->pMonitorReg) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    void *block = LMU_Alloc(8);
    if (!block)
        return nullptr;
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof info;
    static_assert(sizeof(OSVERSIONINFOW) == 276, "OSVERSIONINFOW layout");
    if (GetVersionExW(&info)) {
        g_lm.osMajor = info.dwMajorVersion;
        g_lm.osMinor = info.dwMinorVersion;
    }
    plat::store(block, init);
    g_lm.ignoredJobStatus = LMP_IsXpOrLater() ? LM_IGNORED_JOBS_XP : LM_IGNORED_JOBS_PRE_XP;
    LMU_Free(g_lm.monitorHandle);
    g_lm.monitorHandle = block;
    *phMonitor = block;
    return const_cast<LPMONITOR2>(&monitor_table);
}

void LMP_Shutdown(HANDLE hMonitor)
{
    if (!hMonitor || hMonitor != g_lm.monitorHandle)
        return;
    g_lm.monitorHandle = nullptr;
    LMU_Free(hMonitor);
}
