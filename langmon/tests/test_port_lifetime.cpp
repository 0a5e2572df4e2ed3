/*
 * Port lifetime: OpenPortEx and ClosePort over the scripted port monitor,
 * the record they make, repeated opens and closes, refusals of the port
 * monitor, bad arguments, the queued-job close, Winsock balance, and the
 * monitor functions whose work is not built yet.
 */
#include "lm_fixture.h"

#include <plat/fault.h>
#include <plat/handle.h>
#include <plat/sync.h>
#include <plat/thread.h>
#include <plat/winsock.h>

#include <functional>

#include <string>
#include <vector>

using plat::PortmonCall;

namespace {

constexpr DWORD kGenFailure = 31;

std::vector<std::string> log_lines() { return plat::portmon_log(); }

} // namespace

TEST_F(MonitorTest, OpenPortMakesTheRecordOverThePortMonitorsPort)
{
    HANDLE h = nullptr;
    ASSERT_TRUE(open(u"USB001", &h, u"Office"));
    MonitorPort *port = rec(h);
    EXPECT_EQ(port->signature, 0x4F50u);
    EXPECT_EQ(port->recordSize, sizeof(MonitorPort) + 2 * 7);
    EXPECT_EQ(port->portName, reinterpret_cast<WCHAR *>(port + 1)) << "the name follows the fixed part";
    EXPECT_EQ(std::u16string(port->portName), u"USB001");
    EXPECT_EQ(std::u16string(port->printerName), u"Office");
    EXPECT_EQ(LMP_State(port), DWORD(ST_FRESH));
    EXPECT_EQ(port->stallTick, 0xFFFFFFFFu);
    EXPECT_EQ(std::memcmp(&port->portMonitor, plat::portmon_table(), sizeof(MONITOR2)), 0);
    EXPECT_NE(port->portHandle, nullptr);
    EXPECT_NE(port->portLock, nullptr);
    ASSERT_NE(port->jobRecordQueue, nullptr);
    EXPECT_EQ(port->jobRecordQueue->count, 0u);
    EXPECT_EQ(WaitForSingleObject(port->closeEvent, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(port->threadEndedEvent, 0), WAIT_TIMEOUT);
    EXPECT_EQ(WaitForSingleObject(port->portMutex, 0), WAIT_OBJECT_0) << "created not owned";
    EXPECT_TRUE(ReleaseMutex(port->portMutex));
    EXPECT_EQ(log_lines(), std::vector<std::string>{"OpenPort USB001"});
    EXPECT_EQ(plat::portmon_open_ports(), 1u);
}

TEST_F(MonitorTest, EmptyPrinterNameKeepsNoCopy)
{
    HANDLE a = nullptr, b = nullptr;
    ASSERT_TRUE(open(u"LPT1:", &a, u""));
    ASSERT_TRUE(open(u"LPT2:", &b, nullptr));
    EXPECT_EQ(rec(a)->printerName, nullptr);
    EXPECT_EQ(rec(b)->printerName, nullptr);
}

TEST_F(MonitorTest, ClosePortClosesThePortMonitorsPortAndFreesTheRecord)
{
    HANDLE h = nullptr;
    ASSERT_TRUE(open(u"COM1", &h));
    /* Watch the close event through a second handle: give the record a named one. */
    CloseHandle(rec(h)->closeEvent);
    rec(h)->closeEvent = CreateEventW(nullptr, TRUE, FALSE, u"test-close");
    HANDLE closeEvent = OpenEventW(SYNCHRONIZE, FALSE, u"test-close");
    ASSERT_NE(closeEvent, nullptr);
    EXPECT_TRUE(table->pfnClosePort(h));
    EXPECT_EQ(WaitForSingleObject(closeEvent, 0), WAIT_OBJECT_0) << "closeEvent is set";
    CloseHandle(closeEvent);
    EXPECT_EQ(port_count(), 0u);
    EXPECT_EQ(plat::portmon_open_ports(), 0u);
    EXPECT_EQ(log_lines(), (std::vector<std::string>{"OpenPort COM1", "ClosePort COM1"}));
    EXPECT_EQ(plat::heap_live_blocks(g_lm.heap), 1u);
}

TEST_F(MonitorTest, PortsJoinTheListAtItsTailAndLeaveFromAnywhere)
{
    HANDLE a = nullptr, b = nullptr, c = nullptr;
    ASSERT_TRUE(open(u"LPT1:", &a));
    ASSERT_TRUE(open(u"USB001", &b));
    ASSERT_TRUE(open(u"COM2", &c));
    EXPECT_EQ(g_lm.portList, rec(a));
    EXPECT_EQ(rec(a)->next, rec(b));
    EXPECT_EQ(rec(b)->next, rec(c));
    EXPECT_EQ(LMP_FindPort(g_lm.portList, u"usb001"), rec(b)) << "names are found in any case";
    EXPECT_EQ(LMP_FindPort(g_lm.portList, u"USB002"), nullptr);
    EXPECT_TRUE(LMP_ClosePort(b));
    EXPECT_EQ(rec(a)->next, rec(c));
    EXPECT_EQ(LMP_FindPort(g_lm.portList, u"USB001"), nullptr);
}

TEST_F(MonitorTest, SecondOpenOfAPortIsBusyInAnyCase)
{
    HANDLE h = nullptr, again = nullptr;
    ASSERT_TRUE(open(u"USB001", &h));
    for (const WCHAR *name : {u"USB001", u"usb001"}) {
        SetLastError(0);
        EXPECT_FALSE(open(name, &again));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_BUSY));
        EXPECT_EQ(again, nullptr);
    }
    EXPECT_EQ(port_count(), 1u);
    EXPECT_EQ(plat::portmon_open_ports(), 1u) << "the port monitor is not asked again";
}

TEST_F(MonitorTest, NExxPortIsRefused)
{
    HANDLE h = nullptr;
    SetLastError(0);
    EXPECT_FALSE(open(u"NExx:", &h));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PRINT_MONITOR));
    EXPECT_TRUE(log_lines().empty());
    EXPECT_TRUE(open(u"nexx:", &h)) << "only the exact name is refused";
}

TEST_F(MonitorTest, RepeatedOpensAndClosesLeaveNothingBehind)
{
    for (int round = 0; round < 20; ++round) {
        HANDLE a = nullptr, b = nullptr;
        ASSERT_TRUE(open(u"USB001", &a)) << round;
        ASSERT_TRUE(open(u"\\\\srv\\share", &b)) << round;
        EXPECT_EQ(plat::winsock_users(), 1);
        ASSERT_TRUE(LMP_ClosePort(round % 2 ? a : b));
        ASSERT_TRUE(LMP_ClosePort(round % 2 ? b : a));
        EXPECT_EQ(plat::winsock_users(), 0) << "Winsock is cleaned up with the last port";
        EXPECT_EQ(plat::heap_live_blocks(g_lm.heap), 1u) << round;
    }
    EXPECT_EQ(plat::portmon_open_ports(), 0u);
    EXPECT_EQ(log_lines().size(), 80u);
}

TEST_F(MonitorTest, RefusedOpenOfThePortMonitorKeepsNothing)
{
    struct Case {
        DWORD error;
        DWORD expect;
    } cases[] = {{ERROR_ACCESS_DENIED, ERROR_ACCESS_DENIED}, {ERROR_BUSY, ERROR_BUSY}, {0, ERROR_INVALID_FUNCTION}};
    for (const Case &c : cases) {
        plat::portmon_fail(PortmonCall::OpenPort, c.error);
        HANDLE h = nullptr;
        SetLastError(0);
        EXPECT_FALSE(open(u"USB001", &h));
        EXPECT_EQ(GetLastError(), c.expect) << "the port monitor's error, never success";
        EXPECT_EQ(h, nullptr);
        EXPECT_EQ(port_count(), 0u);
        EXPECT_EQ(plat::winsock_users(), 0) << "no clean-up of a start never made";
        EXPECT_EQ(plat::heap_live_blocks(g_lm.heap), 1u);
    }
    HANDLE h = nullptr;
    EXPECT_TRUE(open(u"USB001", &h)) << "the port opens once the port monitor allows it";
}

TEST_F(MonitorTest, RefusedOpenBesideAnOpenPortKeepsWinsockStarted)
{
    HANDLE a = nullptr, b = nullptr;
    ASSERT_TRUE(open(u"LPT1:", &a));
    plat::portmon_fail(PortmonCall::OpenPort, kGenFailure);
    EXPECT_FALSE(open(u"LPT2:", &b));
    EXPECT_EQ(plat::winsock_users(), 1);
    EXPECT_EQ(port_count(), 1u);
}

TEST_F(MonitorTest, PortMonitorRefusingItsCloseStillEndsTheRecord)
{
    HANDLE h = nullptr;
    ASSERT_TRUE(open(u"USB001", &h));
    plat::portmon_fail(PortmonCall::ClosePort, kGenFailure);
    EXPECT_TRUE(LMP_ClosePort(h));
    EXPECT_EQ(port_count(), 0u);
    EXPECT_EQ(plat::heap_live_blocks(g_lm.heap), 1u);
}

TEST_F(MonitorTest, CloseOfNullStaleOrForeignHandle)
{
    SetLastError(0);
    EXPECT_FALSE(table->pfnClosePort(nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));

    HANDLE h = nullptr;
    ASSERT_TRUE(open(u"USB001", &h));
    ASSERT_TRUE(LMP_ClosePort(h));
    EXPECT_TRUE(LMP_ClosePort(h)) << "a handle not in the list: TRUE at once";
    int notAPort = 0;
    EXPECT_TRUE(LMP_ClosePort(&notAPort));
    EXPECT_EQ(log_lines().size(), 2u) << "the port monitor is closed once";
}

TEST_F(MonitorTest, PortAlreadyClosingIsNotClosedTwice)
{
    HANDLE h = nullptr;
    ASSERT_TRUE(open(u"USB001", &h));
    LMP_SetState(rec(h), ST_CLOSING); /* another thread's ClosePort has claimed it */
    EXPECT_TRUE(LMP_ClosePort(h));
    EXPECT_EQ(port_count(), 1u);
    EXPECT_EQ(log_lines().size(), 1u);
    LMP_ClearState(rec(h), ST_CLOSING);
}

TEST_F(MonitorTest, BadOpenArgumentsAreRefusedBeforeAnythingIsMade)
{
    std::vector<WCHAR> longName(LM_MAX_NAME + 1, u'A');
    longName.back() = 0; /* LM_MAX_NAME characters: the longest accepted */
    std::vector<WCHAR> tooLong(LM_MAX_NAME + 2, u'A');
    tooLong.back() = 0;
    std::vector<WCHAR> unterminated(LM_MAX_NAME + 1, u'B'); /* no terminator within reach */

    MONITOR2 shortTable = *plat::portmon_table();
    shortTable.cbSize = 80;
    MONITOR2 noOpen = *plat::portmon_table();
    noOpen.pfnOpenPort = nullptr;

    struct Case {
        const char *what;
        LPWSTR port;
        LPWSTR printer;
        bool out;
        MONITOR2 *pm;
    } cases[] = {
        {"null port name", nullptr, nullptr, true, plat::portmon_table()},
        {"empty port name", const_cast<LPWSTR>(u""), nullptr, true, plat::portmon_table()},
        {"port name too long", tooLong.data(), nullptr, true, plat::portmon_table()},
        {"unterminated port name", unterminated.data(), nullptr, true, plat::portmon_table()},
        {"unterminated printer name", const_cast<LPWSTR>(u"USB001"), unterminated.data(), true,
         plat::portmon_table()},
        {"null out handle", const_cast<LPWSTR>(u"USB001"), nullptr, false, plat::portmon_table()},
        {"null port monitor", const_cast<LPWSTR>(u"USB001"), nullptr, true, nullptr},
        {"short port monitor table", const_cast<LPWSTR>(u"USB001"), nullptr, true, &shortTable},
        {"port monitor without OpenPort", const_cast<LPWSTR>(u"USB001"), nullptr, true, &noOpen},
    };
    for (const Case &c : cases) {
        HANDLE h = nullptr;
        SetLastError(0);
        EXPECT_FALSE(table->pfnOpenPortEx(monitor, plat::portmon_handle(), c.port, c.printer, c.out ? &h : nullptr,
                                          c.pm))
            << c.what;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << c.what;
        EXPECT_EQ(h, nullptr) << c.what;
    }
    EXPECT_EQ(port_count(), 0u);
    EXPECT_TRUE(log_lines().empty());

    HANDLE h = nullptr;
    ASSERT_TRUE(open(longName.data(), &h));
    EXPECT_EQ(rec(h)->recordSize, sizeof(MonitorPort) + 2 * (LM_MAX_NAME + 1));
}

TEST_F(MonitorTest, HeapRefusalAtAnyStepFailsTheOpenCleanly)
{
    /* Each heap block of a new record refused in turn: the record, the printer name, the job-record list, the lock. */
    for (unsigned step = 1; step <= 4; ++step) {
        plat::fault_fail_alloc_after(step);
        HANDLE h = nullptr;
        SetLastError(0);
        EXPECT_FALSE(open(u"USB001", &h)) << step;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY)) << step;
        EXPECT_EQ(port_count(), 0u) << step;
        EXPECT_EQ(plat::heap_live_blocks(g_lm.heap), 1u) << step;
    }
    plat::fault_fail_alloc_after(0);
    EXPECT_TRUE(log_lines().empty()) << "the port monitor is never asked";
    HANDLE h = nullptr;
    EXPECT_TRUE(open(u"USB001", &h));
}

TEST_F(MonitorTest, ClosingWithQueuedJobsSignalsThePrinterFirst)
{
    HANDLE h = nullptr;
    ASSERT_TRUE(open(u"USB001", &h, u"Office"));
    ASSERT_TRUE(LMJ_QueueJob(12, rec(h)));
    HANDLE ev = CreateEventW(nullptr, TRUE, FALSE, u"Global\\LMCLOSE:Office");
    ASSERT_NE(ev, nullptr);
    plat::debug_clear();
    const DWORD before = GetTickCount();
    EXPECT_TRUE(LMP_ClosePort(h));
    EXPECT_EQ(WaitForSingleObject(ev, 0), WAIT_OBJECT_0);
    EXPECT_GE(GetTickCount() - before, 1300u) << "1000 ms after the signal, 300 ms before the record goes";
    /* The job bookkeeping releases the queued job (it has no printer to tell) and frees its entry. */
    EXPECT_EQ(plat::debug_output().find(u"not built yet"), std::u16string::npos);
    EXPECT_EQ(plat::heap_live_blocks(g_lm.heap), 1u);
    CloseHandle(ev);
}

TEST_F(MonitorTest, JobQueueKeepsOrderTextsAndLookups)
{
    HANDLE h = nullptr;
    ASSERT_TRUE(open(u"USB001", &h));
    MonitorPort *port = rec(h);
    EXPECT_FALSE(LMJ_SetQueuedJobText("x", 1, port)) << "no entry yet";
    ASSERT_TRUE(LMJ_QueueJob(5, port));
    ASSERT_TRUE(LMJ_SetQueuedJobText("ID-5", 1, port));
    ASSERT_TRUE(LMJ_QueueJob(6, port));
    ASSERT_TRUE(LMJ_SetQueuedJobText("Report", 3, port));
    const std::string longText(200, 'z');
    ASSERT_TRUE(LMJ_QueueJob(7, port));
    ASSERT_TRUE(LMJ_SetQueuedJobText(longText.c_str(), 2, port));

    ASSERT_NE(LMJ_FindQueuedJob("ID-5", 1, port), nullptr);
    EXPECT_EQ(LMJ_FindQueuedJob("ID-5", 1, port)->jobId, 5u);
    EXPECT_EQ(LMJ_FindQueuedJob("Report", 2, port)->jobId, 6u);
    EXPECT_EQ(LMJ_FindQueuedJob("Report", 1, port)->jobId, 6u);
    EXPECT_EQ(LMJ_FindQueuedJob("report", 2, port), nullptr) << "case-sensitive";
    EXPECT_EQ(std::strlen(port->jobQueueTail->jobName), 80u) << "texts are cut to 80 characters";
    EXPECT_EQ(LMJ_FindQueuedJob(longText.substr(0, 80).c_str(), 2, port)->jobId, 7u);
    EXPECT_EQ(port->jobQueueHead->next->next, port->jobQueueTail);
    EXPECT_EQ(LMJ_FindQueuedJob(nullptr, 1, port), nullptr);
    EXPECT_EQ(LMJ_FindQueuedJob("ID-5", 3, port), nullptr);
}

TEST_F(MonitorTest, StateBitsSetAndClearedFromTwoThreadsLoseNothing)
{
    HANDLE h = nullptr;
    ASSERT_TRUE(open(u"USB001", &h));
    MonitorPort *port = rec(h);
    struct Arg {
        MonitorPort *port;
        DWORD bit;
    };
    auto worker = [](LPVOID p) -> DWORD {
        auto *a = static_cast<Arg *>(p);
        for (int i = 0; i < 20000; ++i) {
            LMP_SetState(a->port, a->bit);
            LMP_ClearState(a->port, a->bit);
        }
        LMP_SetState(a->port, a->bit);
        return 0;
    };
    Arg a{port, ST_JOB_OPEN}, b{port, ST_HEADER_DUE};
    HANDLE t1 = CreateThread(nullptr, 0, worker, &a, 0, nullptr);
    HANDLE t2 = CreateThread(nullptr, 0, worker, &b, 0, nullptr);
    ASSERT_NE(t1, nullptr);
    ASSERT_NE(t2, nullptr);
    EXPECT_EQ(WaitForSingleObject(t1, INFINITE), WAIT_OBJECT_0);
    EXPECT_EQ(WaitForSingleObject(t2, INFINITE), WAIT_OBJECT_0);
    CloseHandle(t1);
    CloseHandle(t2);
    EXPECT_EQ(LMP_State(port), DWORD(ST_FRESH | ST_JOB_OPEN | ST_HEADER_DUE));
}

TEST_F(MonitorTest, GlobalAndPortLocksCountTheirDepth)
{
    HANDLE h = nullptr;
    ASSERT_TRUE(open(u"USB001", &h));
    LMP_Lock(nullptr);
    LMP_Lock(nullptr);
    LMP_Lock(rec(h));
    EXPECT_EQ(g_lm.lockDepth, 2);
    EXPECT_EQ(rec(h)->portLockDepth, 1);
    LMP_Unlock(rec(h));
    LMP_Unlock(nullptr);
    LMP_Unlock(nullptr);
    EXPECT_EQ(g_lm.lockDepth, 0);
    EXPECT_EQ(rec(h)->portLockDepth, 0);
}

/* Named requests through the function table: answered in the buffer, the result FALSE. */
TEST_F(MonitorTest, NamedRequestsAnswerThroughTheBuffer)
{
    HANDLE h = nullptr;
    ASSERT_TRUE(open(u"USB001", &h));
    DWORD n = 99;
    LONG answer = 0;
    SetLastError(0);
    EXPECT_FALSE(table->pfnGetPrinterDataFromPort(h, 0, const_cast<LPWSTR>(u"IsWakeup"), nullptr, 0,
                                                  reinterpret_cast<LPWSTR>(&answer), 4, &n));
    EXPECT_EQ(answer, 330);
    EXPECT_EQ(n, 4u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    n = 99;
    EXPECT_FALSE(table->pfnGetPrinterDataFromPort(h, 0, const_cast<LPWSTR>(u"NoSuchRequest"), nullptr, 0,
                                                  reinterpret_cast<LPWSTR>(&answer), 4, &n));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(n, 99u) << "an unknown name answers nothing";
    EXPECT_FALSE(table->pfnGetPrinterDataFromPort(nullptr, 0, const_cast<LPWSTR>(u"IsWakeup"), nullptr, 0,
                                                  reinterpret_cast<LPWSTR>(&answer), 4, &n));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(log_lines().size(), 1u) << "nothing reached the port monitor but the open";
}

TEST_F(MonitorTest, ClosePortRepublishesWithoutFailing)
{
    HANDLE h = nullptr;
    ASSERT_TRUE(open(u"USB001", &h));
    plat::debug_clear();
    EXPECT_TRUE(LMP_ClosePort(h));
    EXPECT_EQ(plat::debug_output().find(u"not built yet"), std::u16string::npos);
}

TEST_F(MonitorTest, CloseWaitsForARunningWorkerOnlyForABoundedTime)
{
    HANDLE h = nullptr;
    ASSERT_TRUE(open(u"USB001", &h));
    /* A worker that never leaves: its event stays set in the record. */
    HANDLE workerEvent = CreateEventW(nullptr, FALSE, FALSE, nullptr);
    ASSERT_NE(workerEvent, nullptr);
    rec(h)->threadEvent = workerEvent;
    LMP_SetState(rec(h), ST_POLL_RUN | ST_POLL_STARTED);
    const DWORD before = GetTickCount();
    EXPECT_TRUE(LMP_ClosePort(h));
    const DWORD waited = GetTickCount() - before;
    EXPECT_EQ(WaitForSingleObject(workerEvent, 0), WAIT_OBJECT_0) << "the worker was woken";
    EXPECT_GE(waited, 60000u + 300u) << "60 s for the worker, 300 ms before the record goes";
    EXPECT_LT(waited, 61000u) << "a worker is joined, never waited for with a blind pause";
    EXPECT_EQ(port_count(), 0u);
    CloseHandle(workerEvent); /* the worker's own handle */
}
