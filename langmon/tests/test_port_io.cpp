/*
 * Port I/O through the scripted port monitor: ReadPort, the status
 * document, time-outs, COM pauses, writes under flow control, control data
 * with pending output and retries, the job-data writers and the read loops.
 */
#include "lm_fixture.h"
#include "status.h"

#include <plat/sync.h>

#include <atomic>
#include <chrono>
#include <cstring>
#include <thread>
#include <string>
#include <vector>

namespace {

class PortIoTest : public MonitorTest {
protected:
    MonitorPort *open_port(const WCHAR *name, DWORD kind)
    {
        HANDLE h = nullptr;
        EXPECT_TRUE(open(name, &h));
        MonitorPort *p = rec(h);
        if (p)
            p->portKind = kind;
        g_lm.osMajor = 5;
        g_lm.osMinor = 1;
        return p;
    }

    static LPBYTE bytes(std::string &s) { return reinterpret_cast<LPBYTE>(s.data()); }

    static std::string pending(const MonitorPort *p)
    {
        return p->pendingOutput ? std::string(reinterpret_cast<const char *>(p->pendingOutput), p->pendingLength)
                                : std::string();
    }

    static size_t count_calls(const char *prefix)
    {
        size_t n = 0;
        for (const std::string &line : plat::portmon_log())
            if (line.rfind(prefix, 0) == 0)
                ++n;
        return n;
    }

    static bool said(const char16_t *function)
    {
        return plat::debug_output().find(std::u16string(function) + u": not built yet") != std::u16string::npos;
    }
};

bool same(const COMMTIMEOUTS &a, const COMMTIMEOUTS &b) { return std::memcmp(&a, &b, sizeof a) == 0; }

const COMMTIMEOUTS kUsb = {0xFFFFFFFF, 0xFFFFFFFF, 10, 0, 10000};
const COMMTIMEOUTS kOther = {10, 0, 100, 0, 0};

/* ---- ReadPort ------------------------------------------------------------------ */

TEST_F(PortIoTest, ReadPortRefusesBadArguments)
{
    MonitorPort *p = open_port(u"USB001", KIND_USB | KIND_BIDI);
    BYTE buf[8];
    DWORD n = 5;
    SetLastError(0);
    EXPECT_FALSE(table->pfnReadPort(nullptr, buf, 8, &n));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(n, 0u);
    MonitorPort stranger{};
    EXPECT_FALSE(table->pfnReadPort(&stranger, buf, 8, &n));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(table->pfnReadPort(p, buf, 8, nullptr));
    EXPECT_FALSE(table->pfnReadPort(p, nullptr, 8, &n));
    EXPECT_EQ(count_calls("StartDocPort"), 0u);
}

TEST_F(PortIoTest, ReadPortOpensTheStatusDocumentReadsAndCloses)
{
    MonitorPort *p = open_port(u"USB001", KIND_USB | KIND_BIDI);
    plat::portmon_script_read("hello");
    BYTE buf[16] = {};
    DWORD n = 0;
    ASSERT_TRUE(table->pfnReadPort(p, buf, sizeof buf, &n));
    EXPECT_EQ(std::string(reinterpret_cast<char *>(buf), n), "hello");
    EXPECT_EQ(plat::portmon_docs(), std::vector<std::string>{"Office|4294967295|3|RVQMON Doc"});
    EXPECT_EQ(plat::portmon_log(),
              (std::vector<std::string>{"OpenPort USB001", "StartDocPort USB001", "ReadPort USB001",
                                        "EndDocPort USB001"}));
    ASSERT_EQ(plat::portmon_timeouts().size(), 1u);
    EXPECT_TRUE(same(plat::portmon_timeouts()[0], kUsb));
    EXPECT_FALSE(LMP_TestState(p, ST_PORT_OPEN));
    /* the mutex was given back */
    EXPECT_FALSE(ReleaseMutex(p->portMutex));
}

TEST_F(PortIoTest, ReadPortOnAPortThatCannotStartIsBusy)
{
    MonitorPort *p = open_port(u"USB001", KIND_USB | KIND_BIDI);
    plat::portmon_fail(plat::PortmonCall::StartDocPort, ERROR_ACCESS_DENIED);
    BYTE buf[8];
    DWORD n = 7;
    EXPECT_FALSE(table->pfnReadPort(p, buf, 8, &n));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_BUSY));
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(count_calls("ReadPort"), 0u);
    EXPECT_FALSE(LMP_TestState(p, ST_PORT_OPEN));
    EXPECT_FALSE(ReleaseMutex(p->portMutex));
}

TEST_F(PortIoTest, ReadPortKeepsThePortOpenMarkWhenEndDocFails)
{
    MonitorPort *p = open_port(u"USB001", KIND_USB | KIND_BIDI);
    plat::portmon_fail(plat::PortmonCall::EndDocPort, ERROR_ACCESS_DENIED);
    BYTE buf[8];
    DWORD n = 0;
    EXPECT_TRUE(table->pfnReadPort(p, buf, 8, &n));
    EXPECT_TRUE(LMP_TestState(p, ST_PORT_OPEN));
}

TEST_F(PortIoTest, UsbReadsFailingWithoutDataTable)
{
    struct Case {
        DWORD major, minor, kind, size, error;
        BOOL ok;
        DWORD read;
    } cases[] = {
        {5, 1, KIND_USB, 100, ERROR_GEN_FAILURE, TRUE, 64},
        {6, 0, KIND_USB, 1024, ERROR_GEN_FAILURE, TRUE, 1024},
        {5, 1, KIND_USB, 63, ERROR_GEN_FAILURE, TRUE, 0},
        {5, 0, KIND_USB, 100, ERROR_GEN_FAILURE, FALSE, 0}, /* Windows 2000 */
        {5, 1, 0, 100, ERROR_GEN_FAILURE, FALSE, 0},        /* not USB */
        {5, 1, KIND_USB, 100, ERROR_ACCESS_DENIED, FALSE, 0},
    };
    MonitorPort *p = open_port(u"USB001", KIND_USB);
    for (const Case &c : cases) {
        g_lm.osMajor = c.major;
        g_lm.osMinor = c.minor;
        p->portKind = c.kind;
        plat::portmon_script_read("", FALSE, c.error);
        std::vector<BYTE> buf(c.size, 0xAA);
        DWORD n = 99;
        EXPECT_EQ(table->pfnReadPort(p, buf.data(), c.size, &n), c.ok) << c.size << " " << c.kind;
        EXPECT_EQ(n, c.read);
        for (DWORD i = 0; i < c.size; ++i)
            ASSERT_EQ(buf[i], i < c.read ? 0 : 0xAA) << "byte " << i;
    }
}

TEST_F(PortIoTest, ReadPortGoesOnAfterThirtySecondsWithoutTheMutex)
{
    using namespace std::chrono_literals;
    MonitorPort *p = open_port(u"USB001", KIND_USB | KIND_BIDI);
    std::atomic<bool> held{false}, release{false}, done{false};
    std::thread holder([&] {
        WaitForSingleObject(p->portMutex, INFINITE);
        held = true;
        while (!release)
            std::this_thread::sleep_for(1ms);
        ReleaseMutex(p->portMutex);
    });
    while (!held)
        std::this_thread::sleep_for(1ms);
    plat::portmon_script_read("late");
    BYTE buf[8] = {};
    DWORD n = 0;
    BOOL ok = FALSE;
    const DWORD start = GetTickCount();
    std::thread reader([&] {
        ok = table->pfnReadPort(p, buf, 8, &n);
        done = true;
    });
    while (!done) {
        plat::clock_advance(1000);
        std::this_thread::sleep_for(1ms);
    }
    reader.join();
    EXPECT_TRUE(ok);
    EXPECT_EQ(std::string(reinterpret_cast<char *>(buf), n), "late");
    EXPECT_GE(GetTickCount() - start, 30000u);
    EXPECT_EQ(WaitForSingleObject(p->portMutex, 0), DWORD(WAIT_TIMEOUT)) << "still the holder's";
    release = true;
    holder.join();
}

TEST_F(PortIoTest, ComPortsPauseAroundTheirDocuments)
{
    MonitorPort *p = open_port(u"COM1:", KIND_COM);
    const DWORD start = GetTickCount();
    BYTE buf[8];
    DWORD n = 0;
    EXPECT_TRUE(table->pfnReadPort(p, buf, 8, &n));
    EXPECT_EQ(GetTickCount() - start, 200u);
    EXPECT_TRUE(plat::portmon_timeouts().empty());
}

TEST_F(PortIoTest, UncPortsReadWithoutTheMutex)
{
    MonitorPort *p = open_port(u"\\\\host\\share", KIND_UNC);
    ASSERT_EQ(WaitForSingleObject(p->portMutex, 0), WAIT_OBJECT_0);
    ASSERT_TRUE(ReleaseMutex(p->portMutex));
    BYTE buf[8];
    DWORD n = 0;
    EXPECT_TRUE(table->pfnReadPort(p, buf, 8, &n));
    EXPECT_FALSE(ReleaseMutex(p->portMutex));
}

/* ---- Time-outs ------------------------------------------------------------------ */

TEST_F(PortIoTest, TimeoutsFollowThePortKindAndKeepTheLastError)
{
    MonitorPort *p = open_port(u"USB001", KIND_USB);
    WCHAR printer[] = u"Office";
    SetLastError(1234);
    EXPECT_TRUE(LMP_PortStartDoc(p, printer, 7, 1, nullptr));
    EXPECT_EQ(GetLastError(), 1234u);
    EXPECT_TRUE(LMP_SetDefaultTimeouts(p));
    EXPECT_EQ(GetLastError(), 1234u);
    const auto t = plat::portmon_timeouts();
    ASSERT_EQ(t.size(), 2u);
    EXPECT_TRUE(same(t[0], kUsb));
    EXPECT_TRUE(same(t[1], kOther));
    EXPECT_EQ(plat::portmon_docs(), std::vector<std::string>{"Office|7|1|(null)"});

    /* a port monitor without SetPortTimeOuts: skipped */
    p->portMonitor.pfnSetPortTimeOuts = nullptr;
    EXPECT_TRUE(LMP_PortStartDoc(p, printer, 8, 1, nullptr));
    EXPECT_EQ(GetLastError(), 1234u);
    EXPECT_FALSE(LMP_SetDefaultTimeouts(p));
    EXPECT_EQ(plat::portmon_timeouts().size(), 2u);
    EXPECT_FALSE(LMP_SetDefaultTimeouts(nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

/* ---- Writes under flow control ------------------------------------------------------ */

TEST_F(PortIoTest, FlowControlThresholdTable)
{
    struct Case {
        DWORD freeBytes;
        BYTE blockKB;
        signed char freeBlocks;
        bool writes;
        bool waited;
    } cases[] = {
        {5 * 1024, 1, 5, true, false},
        {10 * 2048, 2, 9, true, false},
        {4 * 1024, 1, 5, true, true}, /* memory short, blocks enough after the device-ID read */
        {9 * 1024, 0, 5, true, true}, /* no block size: no blocks by memory */
        {5 * 1024, 1, 4, false, true},
        {50 * 1024, 1, -56, false, true}, /* 200 free blocks read as a signed byte */
    };
    MonitorPort *p = open_port(u"USB001", KIND_USB | KIND_BIDI);
    p->portMode = 0x2;
    /* a device of another model: the device-ID read changes neither the figures nor the flow control */
    plat::portmon_set_device_id("MFG:Other;MDL:Other 1;");
    EXPECT_EQ(LMP_FlowThreshold(p), 5u) << "no printer is bound to the status manager";
    std::string data = "0123456789";
    for (const Case &c : cases) {
        const size_t before = plat::portmon_written().size();
        plat::debug_clear();
        p->deviceFreeBytes = c.freeBytes;
        p->deviceBlockKB = c.blockKB;
        p->deviceFreeBlocks = c.freeBlocks;
        p->flowing = 7;
        const DWORD start = GetTickCount();
        const size_t asked = plat::portmon_controls().size();
        DWORD n = 99;
        EXPECT_TRUE(LMP_PortWrite(p, bytes(data), 10, &n));
        EXPECT_EQ(n, c.writes ? 10u : 0u) << c.freeBytes << "/" << int(c.freeBlocks);
        EXPECT_EQ(plat::portmon_written().substr(before), c.writes ? data : std::string());
        EXPECT_EQ(p->writeFailed, c.writes ? 0u : 1u);
        /* 300 ms for room, then the device-ID read's own 200 ms under flow control */
        EXPECT_EQ(GetTickCount() - start, c.waited ? 500u : 0u);
        EXPECT_EQ(plat::portmon_controls().size() - asked, c.waited ? 1u : 0u) << "device ID read";
        if (c.waited) {
            EXPECT_EQ(p->flowing, c.writes ? 1u : 0u);
        }
    }
}

TEST_F(PortIoTest, FlowControlCountsDownFreeMemoryWithoutWrapping)
{
    MonitorPort *p = open_port(u"USB001", KIND_USB | KIND_BIDI);
    p->portMode = 0x2;
    p->deviceBlockKB = 1;
    p->deviceFreeBlocks = 20;
    p->deviceFreeBytes = 6 * 1024;
    std::string data(100, 'x');
    DWORD n = 0;
    /* without an open job the count is left alone */
    EXPECT_TRUE(LMP_PortWrite(p, bytes(data), 100, &n));
    EXPECT_EQ(p->deviceFreeBytes, 6u * 1024);
    LMP_SetState(p, ST_JOB_OPEN);
    EXPECT_TRUE(LMP_PortWrite(p, bytes(data), 100, &n));
    EXPECT_EQ(p->deviceFreeBytes, 6u * 1024 - 100);
    LMP_LowerFreeBytes(p, 10000);
    EXPECT_EQ(p->deviceFreeBytes, 0u);
    /* a write that times out without moving still counts as flowing */
    p->deviceFreeBytes = 6 * 1024;
    p->flowing = 0;
    plat::portmon_script_write(0, FALSE, ERROR_TIMEOUT);
    EXPECT_FALSE(LMP_PortWrite(p, bytes(data), 100, &n));
    EXPECT_EQ(p->flowing, 1u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_TIMEOUT));
}

TEST_F(PortIoTest, FailedUsbWritesAreRecorded)
{
    MonitorPort *p = open_port(u"USB001", KIND_USB | KIND_BIDI);
    std::string data = "abc";
    DWORD n = 0;
    plat::portmon_script_write(1, FALSE, ERROR_ACCESS_DENIED);
    EXPECT_FALSE(LMP_PortWrite(p, bytes(data), 3, &n));
    EXPECT_EQ(n, 1u);
    EXPECT_EQ(p->writeFailed, 1u);
    EXPECT_EQ(p->lastWriteError, DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    /* the next write starts clean */
    EXPECT_TRUE(LMP_PortWrite(p, bytes(data), 3, &n));
    EXPECT_EQ(p->writeFailed, 0u);
    EXPECT_EQ(p->lastWriteError, 0u);
}

/* A cancelled USB write of an open job finishes the job's bookkeeping: the jobs ahead of the current one go. */
TEST_F(PortIoTest, CancelledUsbWriteOfAnOpenJobAsksForTheJobsToFinish)
{
    MonitorPort *p = open_port(u"USB001", KIND_USB | KIND_BIDI);
    std::string data = "abc";
    DWORD n = 0;
    struct Case {
        bool jobOpen, unreachable;
        DWORD error;
        bool finishes;
    } cases[] = {
        {true, false, ERROR_CANCELLED, true},
        {false, false, ERROR_CANCELLED, false},
        {true, true, ERROR_CANCELLED, false},
        {true, false, ERROR_ACCESS_DENIED, false},
    };
    for (const Case &c : cases) {
        while (LMJ_ReleaseFirstJob(p)) {
        }
        ASSERT_TRUE(LMJ_QueueJob(1, p));
        ASSERT_TRUE(LMJ_QueueJob(2, p));
        LMP_ClearState(p, ST_JOB_OPEN | ST_UNREACHABLE);
        LMP_SetState(p, (c.jobOpen ? ST_JOB_OPEN : 0) | (c.unreachable ? ST_UNREACHABLE : 0));
        plat::portmon_script_write(0, FALSE, c.error);
        EXPECT_FALSE(LMP_PortWrite(p, bytes(data), 3, &n));
        EXPECT_EQ(GetLastError(), c.error) << "the write's own error survives";
        ASSERT_NE(p->jobQueueHead, nullptr);
        EXPECT_EQ(p->jobQueueHead->jobId, c.finishes ? 2u : 1u) << "the older job is released when finishing";
    }
    while (LMJ_ReleaseFirstJob(p)) {
    }
}

TEST_F(PortIoTest, PortCallsRefuseBadArguments)
{
    MonitorPort *p = open_port(u"USB001", KIND_USB | KIND_BIDI);
    DWORD n = 9;
    EXPECT_FALSE(LMP_PortWrite(nullptr, nullptr, 0, &n));
    EXPECT_EQ(n, 0u);
    EXPECT_FALSE(LMP_PortWrite(p, nullptr, 4, &n));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(LMP_PortRead(p, nullptr, 4, &n));
    EXPECT_FALSE(LMP_PortRead(nullptr, nullptr, 0, &n));
    EXPECT_FALSE(LMP_PortStartDoc(nullptr, nullptr, 0, 1, nullptr));
    EXPECT_FALSE(LMP_PortEndDoc(nullptr));
    EXPECT_FALSE(LMP_SendControlData(nullptr, nullptr, 0, &n, FALSE, FALSE));
    EXPECT_FALSE(LMP_SendControlData(p, nullptr, 3, &n, TRUE, FALSE));
    EXPECT_FALSE(LMP_WriteJobDataDirect(p, nullptr, 3, &n));
    EXPECT_FALSE(LMP_WriteJobDataPaced(nullptr, nullptr, 0, &n));
    EXPECT_EQ(pending(p), "");
    EXPECT_EQ(plat::portmon_written(), "");
}

/* ---- Control data ---------------------------------------------------------------- */

TEST_F(PortIoTest, ControlDataPartlyMovedKeepsTheRestPending)
{
    MonitorPort *p = open_port(u"USB001", KIND_USB | KIND_BIDI);
    std::string data = "@PJL INFO STATUS\r\n@PJL ECHO X\r";
    ASSERT_EQ(data.size(), 30u);
    plat::portmon_script_write(10);
    DWORD n = 0;
    EXPECT_TRUE(LMP_SendControlData(p, bytes(data), 30, &n, FALSE, FALSE));
    EXPECT_EQ(n, 10u);
    EXPECT_EQ(plat::portmon_written(), "@PJL INFO ");
    EXPECT_EQ(pending(p), "STATUS\r\n@PJL ECHO X\r");
    EXPECT_EQ(plat::portmon_docs(), std::vector<std::string>{"Office|4294967295|3|RVQMON Doc"});
    EXPECT_EQ(count_calls("EndDocPort"), 1u);
    EXPECT_FALSE(LMP_TestState(p, ST_PORT_OPEN));

    /* the rest goes first with the next control data */
    std::string more = "@PJL\r\n";
    EXPECT_TRUE(LMP_SendControlData(p, bytes(more), 6, &n, FALSE, FALSE));
    EXPECT_EQ(n, 6u);
    EXPECT_EQ(plat::portmon_written(), data + more);
    EXPECT_EQ(pending(p), "");
    EXPECT_EQ(p->pendingOutput, nullptr);
}

TEST_F(PortIoTest, ControlDataOfAFailedUsbWriteKeepsOnlyWhatDidNotMove)
{
    MonitorPort *p = open_port(u"USB001", KIND_USB | KIND_BIDI);
    std::string data = "0123456789";
    plat::portmon_script_write(4, FALSE, ERROR_ACCESS_DENIED);
    DWORD n = 0;
    EXPECT_FALSE(LMP_SendControlData(p, bytes(data), 10, &n, TRUE, FALSE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_EQ(n, 4u);
    EXPECT_EQ(pending(p), "456789");
    EXPECT_TRUE(LMP_SendControlData(p, nullptr, 0, &n, FALSE, FALSE));
    EXPECT_EQ(plat::portmon_written(), data) << "every byte once";
}

TEST_F(PortIoTest, ControlDataWhileWritesAreBlocked)
{
    MonitorPort *p = open_port(u"USB001", KIND_USB | KIND_BIDI);
    std::string first = "FIRST", second = "SECOND", third = "THIRD";
    DWORD n = 5;
    p->writeBlocked = 1;
    EXPECT_FALSE(LMP_SendControlData(p, bytes(first), 5, &n, TRUE, FALSE));
    EXPECT_EQ(n, 0u);
    EXPECT_FALSE(LMP_SendControlData(p, bytes(second), 6, &n, FALSE, FALSE)) << "not kept";
    EXPECT_FALSE(LMP_SendControlData(p, bytes(third), 5, &n, TRUE, FALSE));
    EXPECT_EQ(count_calls("WritePort"), 0u);
    EXPECT_EQ(pending(p), "FIRSTTHIRD");
    p->writeBlocked = 0;
    EXPECT_TRUE(LMP_SendControlData(p, nullptr, 0, &n, FALSE, FALSE));
    EXPECT_EQ(plat::portmon_written(), "FIRSTTHIRD");
    EXPECT_EQ(pending(p), "");
}

TEST_F(PortIoTest, ControlDataGivesUpAfterFiftyTries)
{
    MonitorPort *p = open_port(u"USB001", KIND_USB | KIND_BIDI);
    std::string data = "@PJL\r\n";
    plat::portmon_script_write(0, FALSE, ERROR_TIMEOUT, 50);
    const DWORD start = GetTickCount();
    DWORD n = 0;
    EXPECT_FALSE(LMP_SendControlData(p, bytes(data), 6, &n, TRUE, FALSE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_TIMEOUT));
    EXPECT_EQ(count_calls("WritePort"), 50u);
    EXPECT_EQ(GetTickCount() - start, 49u * 1000);
    EXPECT_EQ(pending(p), data);
    EXPECT_FALSE(LMP_TestState(p, ST_PORT_OPEN));

    /* the 51st write goes through: the kept data goes first, then the new */
    std::string next = "X";
    EXPECT_TRUE(LMP_SendControlData(p, bytes(next), 1, &n, TRUE, FALSE));
    EXPECT_EQ(plat::portmon_written(), "@PJL\r\nX");
}

TEST_F(PortIoTest, PendingOutputThatMovesOnlyInPart)
{
    struct Case {
        DWORD kind;
        BOOL ok;
        const char *pendingAfter;
        DWORD error;
    } cases[] = {
        {0, TRUE, "DEnew", 0},                        /* moved front dropped, new data kept behind */
        /* a failed USB write keeps its error; the 3 bytes it took are not sent again */
        {KIND_USB, FALSE, "DEnew", ERROR_ACCESS_DENIED},
    };
    for (const Case &c : cases) {
        MonitorPort *p = open_port(u"USB001", c.kind);
        std::string old = "ABCDE", fresh = "new";
        ASSERT_TRUE(LMU_AppendBytes(&p->pendingOutput, &p->pendingLength, old.data(), 5));
        plat::portmon_script_write(3, c.ok, ERROR_ACCESS_DENIED);
        DWORD n = 7;
        EXPECT_FALSE(LMP_SendControlData(p, bytes(fresh), 3, &n, TRUE, FALSE));
        EXPECT_EQ(n, 0u);
        EXPECT_EQ(GetLastError(), c.error);
        EXPECT_EQ(pending(p), c.pendingAfter);
        EXPECT_TRUE(LMP_ClosePort(p));
    }
}

TEST_F(PortIoTest, ControlDataThatMovesOneByteMarksAStall)
{
    MonitorPort *p = open_port(u"USB001", KIND_USB | KIND_BIDI);
    p->stallTick = LM_NO_TICK;
    std::string data = "AB";
    plat::portmon_script_write(1);
    DWORD n = 0;
    EXPECT_TRUE(LMP_SendControlData(p, bytes(data), 2, &n, FALSE, FALSE));
    EXPECT_EQ(n, 1u);
    EXPECT_EQ(p->stallTick, GetTickCount());
    EXPECT_EQ(pending(p), "B");
}

TEST_F(PortIoTest, ControlDataOnlyForIdentifiedBidirectionalPorts)
{
    MonitorPort *p = open_port(u"USB001", KIND_USB);
    std::string data = "Q";
    DWORD n = 3;
    EXPECT_FALSE(LMP_SendControlData(p, bytes(data), 1, &n, TRUE, TRUE));
    p->portKind = KIND_USB | KIND_BIDI;
    EXPECT_FALSE(LMP_SendControlData(p, bytes(data), 1, &n, TRUE, TRUE));
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(count_calls("StartDocPort"), 0u);
    EXPECT_EQ(pending(p), "") << "refused data is not kept";
    LMP_SetState(p, ST_IDENTIFIED);
    EXPECT_TRUE(LMP_SendControlData(p, bytes(data), 1, &n, TRUE, TRUE));
    EXPECT_EQ(plat::portmon_written(), "Q");
}

TEST_F(PortIoTest, ControlDataOnAnOpenPortAndOnAPortThatCannotStart)
{
    MonitorPort *p = open_port(u"USB001", KIND_USB | KIND_BIDI);
    std::string data = "Q";
    DWORD n = 0;
    LMP_SetState(p, ST_PORT_OPEN);
    EXPECT_TRUE(LMP_SendControlData(p, bytes(data), 1, &n, FALSE, FALSE));
    EXPECT_EQ(count_calls("StartDocPort"), 0u);
    EXPECT_EQ(count_calls("EndDocPort"), 0u);
    EXPECT_TRUE(LMP_TestState(p, ST_PORT_OPEN)) << "left open for its opener";
    LMP_ClearState(p, ST_PORT_OPEN);
    plat::portmon_fail(plat::PortmonCall::StartDocPort, ERROR_ACCESS_DENIED);
    EXPECT_FALSE(LMP_SendControlData(p, bytes(data), 1, &n, TRUE, FALSE));
    EXPECT_EQ(count_calls("WritePort"), 1u);
    EXPECT_FALSE(LMP_TestState(p, ST_UNREACHABLE));
}

TEST_F(PortIoTest, ControlDataUnderFlowControlCountsDownFreeMemory)
{
    MonitorPort *p = open_port(u"USB001", KIND_USB | KIND_BIDI);
    p->portMode = 0x2;
    p->deviceBlockKB = 1;
    p->deviceFreeBlocks = 10;
    p->deviceFreeBytes = 10 * 1024;
    std::string data(24, 'c');
    DWORD n = 0;
    EXPECT_TRUE(LMP_SendControlData(p, bytes(data), 24, &n, FALSE, FALSE));
    EXPECT_EQ(p->deviceFreeBytes, 10u * 1024 - 24);
}

/* ---- Job-data writers ------------------------------------------------------------- */

TEST_F(PortIoTest, DirectJobWritesOutcomeTable)
{
    struct Case {
        BOOL ok;
        DWORD error;
        BOOL result;
        DWORD lastWriteError;
    } cases[] = {
        {TRUE, 0, TRUE, 0},
        {FALSE, ERROR_TIMEOUT, TRUE, ERROR_TIMEOUT},
        {FALSE, WSAECONNRESET, FALSE, WSAECONNRESET},
        {FALSE, ERROR_PRINT_CANCELLED, FALSE, ERROR_PRINT_CANCELLED},
        {FALSE, ERROR_ACCESS_DENIED, TRUE, 0},
    };
    MonitorPort *p = open_port(u"IP_10.0.0.5", KIND_NETWORK | KIND_BIDI);
    std::string data = "job bytes";
    for (const Case &c : cases) {
        plat::portmon_script_write(c.ok ? 9 : 4, c.ok, c.error);
        DWORD n = 0;
        EXPECT_EQ(LMP_WriteJobDataDirect(p, bytes(data), 9, &n), c.result) << c.error;
        EXPECT_EQ(n, c.ok ? 9u : 4u);
        EXPECT_EQ(p->lastWriteError, c.lastWriteError) << c.error;
        EXPECT_STREQ(p->heldTail, "job bytes");
    }
}

TEST_F(PortIoTest, JobWritersKeepTheTailOfWhatTheyOffer)
{
    std::string data(5000, 0);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = char('A' + i % 26);
    const std::string tailOf4096 = data.substr(4096 - 80, 80);

    MonitorPort *p = open_port(u"USB001", KIND_USB | KIND_BIDI);
    DWORD n = 0;
    EXPECT_TRUE(LMP_WriteJobDataDirect(p, bytes(data), 5000, &n));
    EXPECT_EQ(n, 5000u) << "one write of the whole data";
    EXPECT_EQ(std::string(p->heldTail), tailOf4096);

    p->portMode = 0x2;
    p->deviceBlockKB = 1;
    p->deviceFreeBlocks = 100;
    p->deviceFreeBytes = 100 * 1024;
    EXPECT_EQ(LMP_WriteJobDataPaced(p, bytes(data), 5000, &n), 1);
    EXPECT_EQ(n, 4096u);
    EXPECT_EQ(std::string(p->heldTail), tailOf4096);
    EXPECT_EQ(p->deviceFreeBytes, 100u * 1024 - 4096);

    std::string shortData = "short";
    plat::portmon_script_write(0, FALSE, ERROR_TIMEOUT);
    EXPECT_EQ(LMP_WriteJobDataPaced(p, bytes(shortData), 5, &n), 1);
    EXPECT_EQ(n, 0u);
    EXPECT_EQ(p->lastWriteError, DWORD(ERROR_TIMEOUT));
    EXPECT_STREQ(p->heldTail, "short");
}

/* ---- Read loops -------------------------------------------------------------------- */

TEST_F(PortIoTest, ReadAllCollectsEverythingQueued)
{
    struct Case {
        const WCHAR *name;
        DWORD kind;
        size_t reads;
    } cases[] = {
        /* the device gives 1500 bytes, then 3500: 1024 + 476, 3 x 1024 + 428, then the empty read */
        {u"USB001", KIND_USB | KIND_BIDI, 7},
        /* 1023 + 477, 3 x 1023 + 431, empty */
        {u"LPT1:", KIND_LOCAL | KIND_BIDI, 7},
    };
    std::string data(5000, 0);
    for (size_t i = 0; i < data.size(); ++i)
        data[i] = char(i * 7);
    for (const Case &c : cases) {
        MonitorPort *p = open_port(c.name, c.kind);
        const size_t reads = count_calls("ReadPort"), ends = count_calls("EndDocPort");
        plat::portmon_script_read(data.substr(0, 1500));
        plat::portmon_script_read(data.substr(1500));
        BYTE *buf = nullptr;
        DWORD cap = 0, len = 0;
        EXPECT_TRUE(LMP_ReadAll(p, &buf, &cap, &len));
        EXPECT_EQ(std::string(reinterpret_cast<char *>(buf), len), data);
        EXPECT_EQ(cap % 4096, 0u);
        EXPECT_GE(cap, len);
        EXPECT_EQ(count_calls("ReadPort") - reads, c.reads);
        EXPECT_EQ(count_calls("EndDocPort") - ends, 1u);
        EXPECT_FALSE(LMP_TestState(p, ST_PORT_OPEN));
        LMU_Free(buf);
        EXPECT_TRUE(LMP_ClosePort(p));
    }
}

TEST_F(PortIoTest, ReadChunksAre1024BytesOnUsbAnd1023Elsewhere)
{
    struct Case {
        DWORD kind;
        size_t reads;
    } cases[] = {
        {KIND_USB | KIND_BIDI, 3},   /* 2048 bytes: 1024, 1024, empty */
        {KIND_LOCAL | KIND_BIDI, 4}, /* 1023, 1023, 2, empty */
    };
    MonitorPort *p = open_port(u"USB001", 0);
    for (const Case &c : cases) {
        p->portKind = c.kind;
        const size_t before = count_calls("ReadPort");
        plat::portmon_script_read(std::string(2048, 'r'));
        BYTE *buf = nullptr;
        DWORD cap = 0, len = 0;
        EXPECT_TRUE(LMP_ReadAll(p, &buf, &cap, &len));
        EXPECT_EQ(len, 2048u);
        EXPECT_EQ(count_calls("ReadPort") - before, c.reads);
        LMU_Free(buf);
    }
}

TEST_F(PortIoTest, ReadAllOnOtherPortsReadsNothing)
{
    MonitorPort *p = open_port(u"FILE:", KIND_LOCAL);
    BYTE *buf = nullptr;
    DWORD cap = 0, len = 0;
    EXPECT_TRUE(LMP_ReadAll(p, &buf, &cap, &len));
    EXPECT_EQ(len, 0u);
    EXPECT_EQ(count_calls("StartDocPort"), 0u);
    EXPECT_FALSE(LMP_ReadAll(p, nullptr, &cap, &len));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(PortIoTest, ReadAllStopsOnADeviceThatKeepsFailing)
{
    MonitorPort *p = open_port(u"USB001", KIND_USB | KIND_BIDI);
    plat::portmon_fail(plat::PortmonCall::ReadPort, ERROR_GEN_FAILURE, 1000);
    BYTE *buf = nullptr;
    DWORD cap = 0, len = 0;
    EXPECT_TRUE(LMP_ReadAll(p, &buf, &cap, &len));
    EXPECT_EQ(len, 8u * 1024) << "a bounded number of made-up chunks";
    for (DWORD i = 0; i < len; ++i)
        ASSERT_EQ(buf[i], 0);
    LMU_Free(buf);
}

TEST_F(PortIoTest, ReadLoopsOnAUsbPortThatCannotOpenMarkItUnreachable)
{
    MonitorPort *p = open_port(u"USB001", KIND_USB | KIND_BIDI);
    p->portMode = 0x3;
    plat::portmon_fail(plat::PortmonCall::StartDocPort, ERROR_ACCESS_DENIED, 2);
    BYTE *buf = nullptr;
    DWORD cap = 0, len = 0;
    EXPECT_FALSE(LMP_ReadAll(p, &buf, &cap, &len));
    EXPECT_TRUE(LMP_TestState(p, ST_UNREACHABLE));
    EXPECT_EQ(p->portMode, 0u);
    LMP_ClearState(p, ST_UNREACHABLE);
    EXPECT_FALSE(LMS_ReadFromPort(p, FALSE));
    EXPECT_TRUE(LMP_TestState(p, ST_UNREACHABLE));
}

/* Replies read from the device go to the reply parser, which is not built yet. */
TEST_F(PortIoTest, ReadFromPortHandsRepliesToTheParser)
{
    MonitorPort *p = open_port(u"USB001", KIND_USB | KIND_BIDI);
    plat::portmon_script_read("TUS\r\nCODE=10001\r\n\f");
    plat::portmon_script_read("@PJL USTATUS DEVICE\r\n");
    plat::debug_clear();
    p->replyCarry = 1;
    p->partialReply = LMU_DupNarrow("@PJL INFO STA");
    LMP_SetState(p, LM_ST_REPLY_PENDING);
    EXPECT_EQ(LMS_ReadFromPort(p, TRUE), 1);
    EXPECT_FALSE(said(u"LMS_FeedReply"));
    EXPECT_EQ(count_calls("ReadPort"), 3u) << "reads until the device has nothing more";
    /* the first reply was completed by the held text and parsed; the second is held */
    ASSERT_NE(p->partialReply, nullptr);
    EXPECT_STREQ(p->partialReply, "@PJL USTATUS DEVICE\r\n");
    LMU_Free(p->partialReply);
    p->partialReply = nullptr;
    EXPECT_EQ(p->replyCarry, 1u);
    EXPECT_TRUE(LMP_TestState(p, LM_ST_REPLY_PENDING));
    EXPECT_FALSE(LMP_TestState(p, ST_PORT_OPEN));

    /* without the carried flags both stay clear */
    p->replyCarry = 0;
    LMP_ClearState(p, LM_ST_REPLY_PENDING);
    plat::portmon_script_read("x");
    EXPECT_EQ(LMS_ReadFromPort(p, FALSE), 1);
    EXPECT_EQ(p->replyCarry, 0u);
    EXPECT_FALSE(LMP_TestState(p, LM_ST_REPLY_PENDING));

    /* other ports: nothing to read */
    p->portKind = KIND_USB;
    plat::debug_clear();
    EXPECT_EQ(LMS_ReadFromPort(p, TRUE), 1);
    EXPECT_FALSE(said(u"LMS_FeedReply"));
    EXPECT_FALSE(LMS_ReadFromPort(nullptr, TRUE));
}

} // namespace
