/*
 * The print-monitor side: MONITORINIT and its registry callbacks, the
 * scripted port monitor, the Winsock start-up count, the narrow event
 * names and the count of a private heap's blocks.
 */
#include "test_loader_fixture.h"

#include <plat/error.h>
#include <plat/memory.h>
#include <plat/printmon.h>
#include <plat/registry.h>
#include <plat/sync.h>
#include <plat/handle.h>
#include <plat/winsock.h>

using PrintMonitor = FreshMachine;
using plat::PortmonCall;

TEST_F(PrintMonitor, MonitorInitReadsTheMonitorsOwnKey)
{
    PMONITORINIT init = plat::monitor_init_for(u"Tarvel LM");
    ASSERT_NE(init, nullptr);
    EXPECT_EQ(plat::monitor_init_for(u"Tarvel LM"), init) << "one record per monitor";
    EXPECT_NE(init->hSpooler, nullptr);
    ASSERT_NE(init->pMonitorReg, nullptr);
    EXPECT_EQ(init->pMonitorReg->cbSize, sizeof(MONITORREG));

    HKEY k = nullptr;
    ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Tarvel LM", 0,
                            KEY_ALL_ACCESS, &k),
              ERROR_SUCCESS);
    const DWORD priority = 2;
    ASSERT_EQ(RegSetValueExW(k, u"PrintingPriority", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&priority), 4),
              ERROR_SUCCESS);
    RegCloseKey(k);

    const MONITORREG &reg = *init->pMonitorReg;
    HANDLE key = nullptr;
    ASSERT_EQ(reg.fpOpenKey(init->hckRegistry, u"", KEY_READ, &key, init->hSpooler), ERROR_SUCCESS);
    DWORD type = 0, value = 0, size = sizeof value;
    EXPECT_EQ(reg.fpQueryValue(key, u"PrintingPriority", &type, reinterpret_cast<PBYTE>(&value), &size,
                               init->hSpooler),
              ERROR_SUCCESS);
    EXPECT_EQ(type, DWORD(REG_DWORD));
    EXPECT_EQ(value, 2u);
    EXPECT_EQ(reg.fpQueryValue(key, u"Missing", &type, nullptr, &size, init->hSpooler), ERROR_FILE_NOT_FOUND);
    EXPECT_EQ(reg.fpCloseKey(key, init->hSpooler), ERROR_SUCCESS);
    EXPECT_EQ(reg.fpCreateKey, nullptr);
}

TEST_F(PrintMonitor, ScriptedPortMonitorLogsRefusesAndCountsPorts)
{
    LPMONITOR2 pm = plat::portmon_table();
    EXPECT_EQ(pm->cbSize, sizeof(MONITOR2));
    HANDLE a = nullptr, b = nullptr;
    ASSERT_TRUE(pm->pfnOpenPort(plat::portmon_handle(), const_cast<LPWSTR>(u"USB001"), &a));
    plat::portmon_fail(PortmonCall::OpenPort, ERROR_ACCESS_DENIED);
    SetLastError(0);
    EXPECT_FALSE(pm->pfnOpenPort(plat::portmon_handle(), const_cast<LPWSTR>(u"LPT1:"), &b));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    ASSERT_TRUE(pm->pfnOpenPort(plat::portmon_handle(), const_cast<LPWSTR>(u"LPT1:"), &b));
    EXPECT_NE(a, b);
    EXPECT_EQ(plat::portmon_open_ports(), 2u);

    BYTE data[4] = {1, 2, 3, 4};
    DWORD n = 0;
    EXPECT_TRUE(pm->pfnWritePort(a, data, 4, &n));
    EXPECT_EQ(n, 4u);
    plat::portmon_fail(PortmonCall::WritePort, 1460, 2);
    EXPECT_FALSE(pm->pfnWritePort(a, data, 4, &n));
    EXPECT_FALSE(pm->pfnWritePort(a, data, 4, &n));
    EXPECT_EQ(n, 0u);
    EXPECT_TRUE(pm->pfnWritePort(a, data, 4, &n));

    EXPECT_TRUE(pm->pfnClosePort(a));
    SetLastError(0);
    EXPECT_FALSE(pm->pfnClosePort(a)) << "a closed handle is not reused";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_EQ(plat::portmon_open_ports(), 1u);
    EXPECT_EQ(plat::portmon_log(),
              (std::vector<std::string>{"OpenPort USB001", "OpenPort LPT1:", "OpenPort LPT1:", "WritePort USB001",
                                        "WritePort USB001", "WritePort USB001", "WritePort USB001",
                                        "ClosePort USB001"}));
}

TEST_F(PrintMonitor, WinsockCountsBalancedStartsAndCleanUps)
{
    WSADATA data;
    EXPECT_EQ(WSACleanup(), -1);
    EXPECT_EQ(GetLastError(), DWORD(WSANOTINITIALISED));
    EXPECT_EQ(WSAStartup(MAKEWORD(1, 0), &data), WSAVERNOTSUPPORTED);
    EXPECT_EQ(WSAStartup(MAKEWORD(1, 1), nullptr), WSAEFAULT);
    ASSERT_EQ(WSAStartup(MAKEWORD(1, 1), &data), 0);
    EXPECT_EQ(data.wVersion, MAKEWORD(1, 1));
    ASSERT_EQ(WSAStartup(MAKEWORD(2, 2), &data), 0);
    EXPECT_EQ(plat::winsock_users(), 2);
    EXPECT_EQ(WSACleanup(), 0);
    EXPECT_EQ(WSACleanup(), 0);
    EXPECT_EQ(plat::winsock_users(), 0);
}

TEST_F(PrintMonitor, NarrowEventNamesMeetTheWideOnes)
{
    HANDLE w = CreateEventW(nullptr, TRUE, FALSE, u"Global\\LMCLOSE:Office");
    ASSERT_NE(w, nullptr);
    HANDLE a = OpenEventA(EVENT_MODIFY_STATE, FALSE, "Global\\LMCLOSE:Office");
    ASSERT_NE(a, nullptr);
    EXPECT_TRUE(SetEvent(a));
    EXPECT_EQ(WaitForSingleObject(w, 0), WAIT_OBJECT_0);
    EXPECT_EQ(OpenEventA(EVENT_MODIFY_STATE, FALSE, "Global\\LMCLOSE:Other"), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    HANDLE again = CreateEventA(nullptr, TRUE, FALSE, "Global\\LMCLOSE:Office");
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ALREADY_EXISTS));
    CloseHandle(again);
    CloseHandle(a);
    CloseHandle(w);
}

TEST_F(PrintMonitor, HeapLiveBlocksCountsWhatIsStillAllocated)
{
    HANDLE heap = HeapCreate(0, 0x8000, 0);
    ASSERT_NE(heap, nullptr);
    EXPECT_EQ(plat::heap_live_blocks(heap), 0u);
    void *p = HeapAlloc(heap, HEAP_ZERO_MEMORY, 10);
    void *q = HeapAlloc(heap, HEAP_ZERO_MEMORY, 20);
    EXPECT_EQ(plat::heap_live_blocks(heap), 2u);
    HeapFree(heap, 0, p);
    EXPECT_EQ(plat::heap_live_blocks(heap), 1u);
    (void)q;
    HeapDestroy(heap);
    EXPECT_EQ(plat::heap_live_blocks(heap), size_t(-1));
}

TEST_F(PrintMonitor, ScriptedWritesReadsTimeoutsAndDocuments)
{
    LPMONITOR2 pm = plat::portmon_table();
    HANDLE a = nullptr;
    ASSERT_TRUE(pm->pfnOpenPort(plat::portmon_handle(), const_cast<LPWSTR>(u"USB001"), &a));

    BYTE data[6] = {'a', 'b', 'c', 'd', 'e', 'f'};
    DWORD n = 0;
    plat::portmon_script_write(2);
    plat::portmon_script_write(0, FALSE, 1460, 2);
    EXPECT_TRUE(pm->pfnWritePort(a, data, 6, &n));
    EXPECT_EQ(n, 2u);
    for (int i = 0; i < 2; ++i) {
        EXPECT_FALSE(pm->pfnWritePort(a, data, 6, &n));
        EXPECT_EQ(n, 0u);
        EXPECT_EQ(GetLastError(), 1460u);
    }
    EXPECT_TRUE(pm->pfnWritePort(a, data + 2, 4, &n));
    EXPECT_EQ(n, 4u);
    EXPECT_EQ(plat::portmon_written(), "abcdef");

    plat::portmon_script_read("12345");
    plat::portmon_script_read("", FALSE, 31);
    BYTE buf[3];
    EXPECT_TRUE(pm->pfnReadPort(a, buf, 3, &n));
    EXPECT_EQ(std::string(reinterpret_cast<char *>(buf), n), "123");
    EXPECT_TRUE(pm->pfnReadPort(a, buf, 3, &n));
    EXPECT_EQ(std::string(reinterpret_cast<char *>(buf), n), "45");
    EXPECT_FALSE(pm->pfnReadPort(a, buf, 3, &n));
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(GetLastError(), 31u);
    EXPECT_TRUE(pm->pfnReadPort(a, buf, 3, &n));
    EXPECT_EQ(n, 0u) << "nothing scripted: nothing to read";

    COMMTIMEOUTS t = {1, 2, 3, 4, 5};
    EXPECT_TRUE(pm->pfnSetPortTimeOuts(a, &t, 0));
    ASSERT_EQ(plat::portmon_timeouts().size(), 1u);
    EXPECT_EQ(plat::portmon_timeouts()[0].WriteTotalTimeoutConstant, 5u);

    DOC_INFO_3W doc{};
    WCHAR name[] = u"Doc", printer[] = u"P";
    doc.pDocName = name;
    EXPECT_TRUE(pm->pfnStartDocPort(a, printer, 12, 3, reinterpret_cast<LPBYTE>(&doc)));
    EXPECT_TRUE(pm->pfnStartDocPort(a, printer, 13, 1, nullptr));
    EXPECT_EQ(plat::portmon_docs(), (std::vector<std::string>{"P|12|3|Doc", "P|13|1|(null)"}));
    EXPECT_TRUE(pm->pfnClosePort(a));
}
