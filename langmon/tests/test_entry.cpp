/*
 * The monitor's entry: the function table handed to the spooler, the
 * checks of the spooler's MONITORINIT, the version tests and the ignored-job
 * mask, the monitor handle's life, and the built library as the spooler
 * loads it.
 */
#include "lm_fixture.h"

#include <plat/version.h>

#include <cstddef>

TEST_F(MonitorTest, FunctionTableHoldsTheEightMonitorFunctionsAndNothingElse)
{
    EXPECT_EQ(table->cbSize, 160u);
    EXPECT_EQ(offsetof(MONITOR2, pfnOpenPortEx), 24u);
    EXPECT_EQ(offsetof(MONITOR2, pfnShutdown), 144u);
    EXPECT_EQ(table->pfnOpenPortEx, &LMP_OpenPortEx);
    EXPECT_EQ(table->pfnStartDocPort, &StartDocPort);
    EXPECT_EQ(table->pfnWritePort, &WritePort);
    EXPECT_EQ(table->pfnReadPort, &ReadPort);
    EXPECT_EQ(table->pfnEndDocPort, &EndDocPort);
    EXPECT_EQ(table->pfnClosePort, &LMP_ClosePort);
    EXPECT_EQ(table->pfnGetPrinterDataFromPort, &GetPrinterDataFromPort);
    EXPECT_EQ(table->pfnShutdown, &LMP_Shutdown);
    EXPECT_EQ(table->pfnEnumPorts, nullptr);
    EXPECT_EQ(table->pfnOpenPort, nullptr);
    EXPECT_EQ(table->pfnAddPort, nullptr);
    EXPECT_EQ(table->pfnAddPortEx, nullptr);
    EXPECT_EQ(table->pfnConfigurePort, nullptr);
    EXPECT_EQ(table->pfnDeletePort, nullptr);
    EXPECT_EQ(table->pfnSetPortTimeOuts, nullptr);
    EXPECT_EQ(table->pfnXcvOpenPort, nullptr);
    EXPECT_EQ(table->pfnXcvDataPort, nullptr);
    EXPECT_EQ(table->pfnXcvClosePort, nullptr);
    EXPECT_EQ(table->pfnSendRecvBidiDataFromPort, nullptr);
}

TEST_F(MonitorTest, MonitorHandleIsAnEightByteBlockHoldingTheMonitorInit)
{
    EXPECT_EQ(monitor, g_lm.monitorHandle);
    EXPECT_EQ(HeapSize(g_lm.heap, 0, monitor), 8u);
    EXPECT_EQ(LMP_MonitorInit(), init);
}

TEST_F(MonitorTest, IncompleteMonitorInitIsRefused)
{
    MONITORINIT copy = *init;
    struct Case {
        const char *what;
        void (*spoil)(MONITORINIT &);
    } cases[] = {
        {"no spooler", [](MONITORINIT &m) { m.hSpooler = nullptr; }},
        {"no registry key", [](MONITORINIT &m) { m.hckRegistry = nullptr; }},
        {"no registry callbacks", [](MONITORINIT &m) { m.pMonitorReg = nullptr; }},
    };
    for (const Case &c : cases) {
        MONITORINIT m = copy;
        c.spoil(m);
        HANDLE h = reinterpret_cast<HANDLE>(uintptr_t{1});
        SetLastError(0);
        EXPECT_EQ(InitializePrintMonitor2(&m, &h), nullptr) << c.what;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << c.what;
    }
    HANDLE h = nullptr;
    EXPECT_EQ(InitializePrintMonitor2(nullptr, &h), nullptr);
    EXPECT_EQ(InitializePrintMonitor2(&copy, nullptr), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(g_lm.monitorHandle, monitor) << "a refused call keeps the handle";
}

TEST_F(MonitorTest, VersionTestsAndIgnoredJobMaskFollowTheMachine)
{
    struct Case {
        DWORD major, minor;
        bool xp, vista;
        DWORD mask;
    } cases[] = {
        {5, 0, false, false, 0x195}, {5, 1, true, false, 0x1195}, {5, 2, true, false, 0x1195},
        {6, 0, true, true, 0x1195},  {10, 0, true, true, 0x1195}, {4, 9, false, false, 0x195},
    };
    for (const Case &c : cases) {
        plat::version_set(c.major, c.minor, 1000, 0, VER_NT_WORKSTATION);
        HANDLE h = nullptr;
        ASSERT_NE(InitializePrintMonitor2(init, &h), nullptr);
        EXPECT_EQ(LMP_IsXpOrLater(), c.xp) << c.major << "." << c.minor;
        EXPECT_EQ(LMP_IsVistaOrLater(), c.vista) << c.major << "." << c.minor;
        EXPECT_EQ(g_lm.ignoredJobStatus, c.mask) << c.major << "." << c.minor;
    }
}

TEST_F(MonitorTest, FailedVersionQueryMakesEveryVersionTestFalse)
{
    LMP_DllEntry(nullptr, DLL_PROCESS_DETACH, nullptr);
    LMP_DllEntry(nullptr, DLL_PROCESS_ATTACH, nullptr);
    plat::version_fail(ERROR_ACCESS_DENIED);
    ASSERT_NE(InitializePrintMonitor2(init, &monitor), nullptr);
    plat::version_fail(0);
    EXPECT_FALSE(LMP_IsXpOrLater());
    EXPECT_FALSE(LMP_IsVistaOrLater());
    EXPECT_EQ(g_lm.ignoredJobStatus, 0x195u);
}

TEST_F(MonitorTest, SecondInitialisationReplacesAndFreesTheOldHandle)
{
    HANDLE second = nullptr;
    ASSERT_NE(InitializePrintMonitor2(init, &second), nullptr);
    EXPECT_NE(second, monitor);
    EXPECT_EQ(g_lm.monitorHandle, second);
    EXPECT_EQ(HeapSize(g_lm.heap, 0, monitor), SIZE_T(-1)) << "the old block is freed";
    EXPECT_EQ(plat::heap_live_blocks(g_lm.heap), 1u);
    monitor = second;
}

TEST_F(MonitorTest, ShutdownFreesTheHandleAndForgetsTheMonitorInit)
{
    HANDLE port = nullptr;
    ASSERT_TRUE(open(u"LPT1:", &port));
    table->pfnShutdown(monitor);
    EXPECT_EQ(g_lm.monitorHandle, nullptr);
    EXPECT_EQ(LMP_MonitorInit(), nullptr);
    EXPECT_EQ(port_count(), 1u) << "open ports are not touched";
    table->pfnShutdown(monitor); /* a stale handle is ignored */
    table->pfnShutdown(nullptr);
    EXPECT_TRUE(table->pfnClosePort(port));
}

TEST_F(MonitorTest, DetachRemovesHeapAndLockAndAttachStartsAfresh)
{
    HANDLE heap = g_lm.heap;
    LMP_DllEntry(nullptr, DLL_PROCESS_DETACH, nullptr);
    EXPECT_EQ(g_lm.heap, nullptr);
    EXPECT_EQ(plat::heap_live_blocks(heap), size_t(-1)) << "the heap is destroyed";
    EXPECT_EQ(LMU_Alloc(8), nullptr);
    LMP_DllEntry(nullptr, DLL_PROCESS_ATTACH, nullptr);
    EXPECT_NE(g_lm.heap, nullptr);
    EXPECT_EQ(g_lm.monitorHandle, nullptr);
}

/* The built library as the spooler loads it: only the entry is exported, and it works through its table. */
TEST_F(MonitorTest, BuiltLibraryExportsOnlyTheEntryAndOpensPorts)
{
    HMODULE lib = LoadLibraryW(u"tarvellm.dll");
    ASSERT_NE(lib, nullptr) << plat::loader_last_failure();
    auto entry = plat::proc_cast<PFN_INITIALIZE_PRINT_MONITOR2>(GetProcAddress(lib, "InitializePrintMonitor2"));
    ASSERT_NE(entry, nullptr);
    for (const char *hidden : {"LMP_OpenPortEx", "LMP_ClosePort", "LMP_DllEntry", "StartDocPort", "g_lm"})
        EXPECT_EQ(GetProcAddress(lib, hidden), nullptr) << hidden;
    HANDLE h = nullptr;
    LPMONITOR2 t = entry(init, &h);
    ASSERT_NE(t, nullptr);
    EXPECT_NE(t, table) << "the library keeps its own state";
    HANDLE port = nullptr;
    ASSERT_TRUE(t->pfnOpenPortEx(h, plat::portmon_handle(), const_cast<LPWSTR>(u"USB001"),
                                 const_cast<LPWSTR>(u"Office"), &port, plat::portmon_table()));
    EXPECT_EQ(plat::portmon_open_ports(), 1u);
    EXPECT_TRUE(t->pfnClosePort(port));
    EXPECT_EQ(plat::portmon_open_ports(), 0u);
    t->pfnShutdown(h);
    EXPECT_TRUE(FreeLibrary(lib));
}
