/*
 * Port worker threads: started by a request or a job, kept alive while
 * there is something to watch, ended by the idle test or the port's close,
 * the error wait's own end, the end of polling with its USTATUSOFF, and
 * many ports opened, polled and closed at once.
 */
#include "lm_status_fixture.h"

#include <plat/sync.h>

#include <atomic>
#include <thread>

namespace {

class WorkerTest : public StatusTest {
protected:
    MonitorPort *bound_usb()
    {
        add_printer(u"Office", u"USB001");
        HANDLE h = nullptr;
        EXPECT_TRUE(open(u"USB001", &h, u"Office"));
        MonitorPort *port = rec(h);
        EXPECT_TRUE(LMS_PublishToManager(port));
        EXPECT_TRUE(eventually([&] { return sm.registrations() == 1; }));
        sm.clearLog();
        return port;
    }

    static bool running(MonitorPort *port) { return LMP_TestState(port, ST_POLL_STARTED); }
    static HANDLE worker_event(MonitorPort *port) { return std::atomic_ref<HANDLE>(port->threadEvent).load(); }
};

TEST_F(WorkerTest, OnlyUsbSerialAndNetworkPortsGetAWorker)
{
    HANDLE h = nullptr;
    ASSERT_TRUE(open(u"LPT1:", &h));
    EXPECT_FALSE(LMS_StartPollThread(rec(h)));
    EXPECT_FALSE(LMS_StartNotifyThread(rec(h)));
    EXPECT_EQ(rec(h)->threadEvent, nullptr);
    EXPECT_FALSE(LMS_StartPollThread(nullptr));
}

TEST_F(WorkerTest, WakeUpKeepsPollingUntilItIsWithdrawn)
{
    MonitorPort *port = bound_usb();
    std::atomic_ref<DWORD>(port->wakeUpPolling).store(1);
    ASSERT_TRUE(LMS_StartPollThread(port));
    EXPECT_TRUE(running(port));
    HANDLE first = worker_event(port);
    ASSERT_NE(first, nullptr);
    EXPECT_TRUE(LMS_StartPollThread(port)) << "a second start only asks the running worker to go on";
    EXPECT_EQ(worker_event(port), first);
    /* Several poll intervals pass (the machine clock is fixed: it moves only when told). */
    for (int i = 0; i < 5; ++i) {
        plat::clock_advance(4000);
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
        EXPECT_TRUE(running(port)) << i;
    }
    EXPECT_TRUE(eventually([&] {
        for (const std::string &u : updates("PrinterExtStatus"))
            if (u == "Office=17000000")
                return true;
        return false;
    })) << "the worker announces itself in \"PrinterExtStatus\"";
    EXPECT_FALSE(plat::portmon_controls().empty()) << "the poll cycles read the device ID";
    std::atomic_ref<DWORD>(port->wakeUpPolling).store(0);
    SetEvent(first);
    EXPECT_TRUE(eventually([&] { return !running(port); }));
    EXPECT_EQ(WaitForSingleObject(port->threadEndedEvent, 10000), WAIT_OBJECT_0);
    EXPECT_EQ(worker_event(port), nullptr);
    EXPECT_TRUE(eventually([&] {
        auto u = updates("PrinterExtStatus");
        return !u.empty() && u.back() == "Office=07000000";
    })) << "and withdraws it when it ends";
}

TEST_F(WorkerTest, AWorkerWithNothingToWatchEndsByItself)
{
    HANDLE h = nullptr;
    ASSERT_TRUE(open(u"USB001", &h));
    ASSERT_TRUE(LMS_StartPollThread(rec(h)));
    EXPECT_TRUE(eventually([&] { return !running(rec(h)); }));
    EXPECT_EQ(worker_event(rec(h)), nullptr);
}

TEST_F(WorkerTest, ClosingThePortStopsAndJoinsTheWorker)
{
    MonitorPort *port = bound_usb();
    std::atomic_ref<DWORD>(port->wakeUpPolling).store(1);
    ASSERT_TRUE(LMS_StartPollThread(port));
    EXPECT_TRUE(LMP_ClosePort(port));
    EXPECT_EQ(port_count(), 0u);
}

TEST_F(WorkerTest, ADeviceErrorWaitEndsByItselfAfterSixMinutes)
{
    HANDLE h = nullptr;
    ASSERT_TRUE(open(u"USB001", &h));
    MonitorPort *port = rec(h);
    const DWORD jam[3] = {0, 0x800, 0x40};
    set_value(port, "PrinterStatus", jam, false);
    port->errorWait = 1;
    port->errorWaitTick = GetTickCount();
    EXPECT_FALSE(LMS_IsIdle(port));
    plat::clock_advance(360000);
    EXPECT_FALSE(LMS_IsIdle(port)) << "360000 ms is not more than 360000 ms";
    plat::clock_advance(1);
    EXPECT_TRUE(LMS_IsIdle(port));
    EXPECT_EQ(port->errorWait, 0u);

    /* The condition clearing ends it at once. */
    port->errorWait = 1;
    port->errorWaitTick = GetTickCount();
    const DWORD clear[3] = {0, 0x800, 0};
    set_value(port, "PrinterStatus", clear, false);
    EXPECT_TRUE(LMS_IsIdle(port));
}

TEST_F(WorkerTest, IdleTestTable)
{
    HANDLE h = nullptr;
    ASSERT_TRUE(open(u"USB001", &h));
    MonitorPort *port = rec(h);
    struct Case {
        DWORD suspend, wake, started, jobOpen, queuedJob;
        BOOL idle;
        DWORD ustatusOff, suspendAfter;
    } cases[] = {
        {0, 0, 0, 0, 0, TRUE, 0, 0},  {0, 1, 0, 0, 0, FALSE, 0, 0}, {0, 0, 1, 0, 0, FALSE, 0, 0},
        {1, 1, 1, 1, 0, FALSE, 0, 0}, {1, 1, 1, 0, 0, TRUE, 0, 1},  {1, 0, 0, 0, 1, TRUE, 1, 1},
    };
    for (const Case &c : cases) {
        port->suspendRequested = c.suspend;
        port->wakeUpPolling = c.wake;
        port->jobStarted = c.started;
        port->ustatusOffDue = 0;
        LMP_ClearState(port, ST_JOB_OPEN);
        if (c.jobOpen)
            LMP_SetState(port, ST_JOB_OPEN);
        if (c.queuedJob) {
            ASSERT_TRUE(LMJ_QueueJob(1, port));
        }
        EXPECT_EQ(LMS_IsIdle(port), c.idle);
        EXPECT_EQ(port->ustatusOffDue, c.ustatusOff);
        EXPECT_EQ(port->suspendRequested, c.suspendAfter);
        while (LMJ_ReleaseFirstJob(port)) {
        }
    }
    LMP_ClearState(port, ST_JOB_OPEN);
    EXPECT_TRUE(LMS_IsIdle(nullptr));
}

TEST_F(WorkerTest, SuspendReleasesTheQueuedJobsAndSendsUstatusOff)
{
    MonitorPort *port = bound_usb();
    const DWORD id = make_job(u"Office", u"held");
    ASSERT_TRUE(LMJ_QueueJob(id, port));
    port->jobQueueTail->printer = port->servedPrinters;
    port->modelMask = LM_MODEL_K4100;
    LMP_SetState(port, ST_IDENTIFIED);
    std::atomic_ref<DWORD>(port->suspendRequested).store(1);
    const size_t before = plat::portmon_written().size();
    ASSERT_TRUE(LMS_StartPollThread(port));
    ASSERT_TRUE(eventually([&] { return !running(port); }));
    EXPECT_FALSE(job_exists(id)) << "released to the spooler";
    EXPECT_EQ(plat::portmon_written().substr(before), "\x1b%-12345X@PJL USTATUSOFF\r\n\x1b%-12345X");
    EXPECT_EQ(port->suspendRequested, 0u) << "the request words are cleared";
    EXPECT_EQ(port->jobQueueHead, nullptr);
}

TEST_F(WorkerTest, RefreshRequests)
{
    MonitorPort *port = bound_usb();
    const char names[] = "ServiceTag;DisplayLang";
    EXPECT_EQ(LMS_RefreshStatus(u"Office", port), -19) << "the manager names nothing yet";
    sm.setValue(u"Office", "RefreshStatus", names, sizeof names);
    EXPECT_EQ(LMS_RefreshStatus(u"Nobody", port), -19);
    EXPECT_EQ(LMS_RefreshStatus(nullptr, port), -19);

    ASSERT_TRUE(LMJ_QueueJob(3, port));
    const size_t before = plat::portmon_written().size();
    EXPECT_EQ(LMS_RefreshStatus(u"Office", port), -19) << "a queued job: refused without device I/O";
    EXPECT_EQ(plat::portmon_written().size(), before);
    while (LMJ_ReleaseFirstJob(port)) {
    }

    plat::portmon_set_device_id("MFG:Other;MDL:Other 1;");
    EXPECT_EQ(LMS_RefreshStatus(u"Office", port), -80) << "the device is not the printer's model";
    plat::portmon_set_device_id("MFG:OSTREL;MDL:Lumaset K4100;CMD:PJL;");
    const DWORD dead[3] = {0, 0x900, 0};
    set_value(port, "PrinterStatus", dead, false);
    EXPECT_EQ(LMS_RefreshStatus(u"Office", port), -37);
    const DWORD fine[3] = {0, 0x800, 0};
    set_value(port, "PrinterStatus", fine, false);
    plat::debug_clear();
    EXPECT_EQ(LMS_RefreshStatus(u"Office", port), 0);
    EXPECT_EQ(plat::portmon_written().substr(before),
              "\x1b%-12345X@PJL DINQUIRE LANG\r\n@PJL INFO SERVICETAG\r\n\x1b%-12345X");
    EXPECT_EQ(port->modelMask, LM_MODEL_K4100) << "the device ID was read";

    /* A network port asks the display language by SNMP; without a session it is not answered. */
    port->portKind = KIND_NETWORK | KIND_BIDI;
    const DWORD fine2[3] = {0, 0x800, 0};
    set_value(port, "PrinterStatus", fine2, false);
    plat::debug_clear();
    EXPECT_EQ(LMS_RefreshStatus(u"Office", port), 0);
    EXPECT_EQ(port->displayLangState, DWORD(ERROR_INVALID_PRINTER_STATE));

    /* The manager's size answer: -33 and -36 both give the size; anything else refuses. */
    PlodrmzConfig sizes{};
    sizes.sizeQueryResult = -36;
    sm.configure(&sizes);
    EXPECT_EQ(LMS_RefreshStatus(u"Office", port), 0);
    sizes.sizeQueryResult = -5;
    sm.configure(&sizes);
    EXPECT_EQ(LMS_RefreshStatus(u"Office", port), -19);
    port->portKind = KIND_USB | KIND_BIDI;
}

TEST_F(WorkerTest, DrainThrowsAwayWhatTheDeviceQueued)
{
    HANDLE h = nullptr;
    ASSERT_TRUE(open(u"USB001", &h));
    MonitorPort *port = rec(h);
    struct Case {
        size_t bytes;
        BOOL pause;
        DWORD atLeastMs, belowMs;
    } cases[] = {
        {100, FALSE, 0, 1},
        {100, TRUE, 2200, 2201},    /* two reads, 1100 ms before each */
        {5000, FALSE, 4000, 4001},  /* more than 4500 bytes: 4000 ms, then read again */
    };
    for (const Case &c : cases) {
        plat::portmon_script_read(std::string(c.bytes, 'r'));
        const size_t docs = plat::portmon_docs().size();
        const DWORD before = GetTickCount();
        EXPECT_TRUE(LMS_DrainReplies(port, c.pause));
        const DWORD took = GetTickCount() - before;
        EXPECT_GE(took, c.atLeastMs) << c.bytes;
        EXPECT_LT(took, c.belowMs) << c.bytes;
        EXPECT_EQ(plat::portmon_docs().size(), docs + 1) << "opened for status";
        EXPECT_FALSE(LMP_TestState(port, ST_PORT_OPEN)) << "and closed again";
        BYTE rest[8];
        DWORD got = 9;
        EXPECT_TRUE(LMP_PortRead(port, rest, sizeof rest, &got));
        EXPECT_EQ(got, 0u) << "everything was read";
    }
    plat::portmon_fail(plat::PortmonCall::StartDocPort, ERROR_ACCESS_DENIED);
    EXPECT_FALSE(LMS_DrainReplies(port, FALSE)) << "a port that cannot be opened";
}

TEST_F(WorkerTest, ReleasingEveryQueuedJob)
{
    MonitorPort *port = bound_usb();
    ServedPrinter *office = port->servedPrinters;
    const DWORD a = make_job(u"Office", u"a"), b = make_job(u"Office", u"b");
    for (DWORD id : {a, b}) {
        ASSERT_TRUE(LMJ_QueueJob(id, port));
        port->jobQueueTail->printer = office;
    }
    set_value(port, "PrintingJobInfo2", std::vector<BYTE>(320, 0xEE).data(), false);
    LMS_FindVariable("PrintingJobInfo2", port->statusVariables, port, FALSE)->flags = SVF_KEEP;
    sm.clearLog();
    EXPECT_TRUE(LMS_ReleaseAllJobs(port));
    EXPECT_FALSE(job_exists(a));
    EXPECT_FALSE(job_exists(b));
    ASSERT_NE(port->jobQueueHead, nullptr) << "the release leaves the queue";
    EXPECT_EQ(port->jobQueueHead->jobId, b) << "only the closing record of the first job ends that job";
    EXPECT_EQ(updates("PrinterQueue"), std::vector<std::string>{"Office=00000000"});
    const auto records = updates("PrintingJobInfo2");
    ASSERT_EQ(records.size(), 1u);
    EXPECT_EQ(records[0].substr(0, 7 + 576), "Office=" + std::string(576, 'e')) << "the record keeps its text";
    EXPECT_EQ(records[0].substr(7 + 576, 16), "0000000000000000") << "closing: its job id goes out as 0, pages 0";
    while (LMJ_ReleaseFirstJob(port)) {
    }
}

/* Eight ports opened, polled and closed at once, 1,000 cycles in all; the sanitizer trees check the rest. */
TEST_F(WorkerTest, ManyPortsPolledAndClosedConcurrently)
{
    constexpr int kPorts = 8;
    constexpr int kRounds = 125;
    std::atomic<int> failures{0};
    std::vector<std::thread> threads;
    for (int t = 0; t < kPorts; ++t) {
        threads.emplace_back([&, t] {
            const std::u16string name = u"USB00" + std::u16string(1, char16_t(u'1' + t));
            for (int round = 0; round < kRounds; ++round) {
                HANDLE h = nullptr;
                if (!open(name.c_str(), &h)) {
                    ++failures;
                    continue;
                }
                MonitorPort *port = rec(h);
                std::atomic_ref<DWORD>(port->wakeUpPolling).store(round % 2);
                LMP_SetState(port, ST_IDENTIFIED);
                if (!LMS_StartPollThread(port))
                    ++failures;
                /* A bit set here while the worker changes others must not be lost. */
                LMP_SetState(port, ST_NO_DOCINFO);
                std::this_thread::yield();
                if (!LMP_TestState(port, ST_NO_DOCINFO))
                    ++failures;
                if (!LMP_ClosePort(h))
                    ++failures;
            }
        });
    }
    for (std::thread &t : threads)
        t.join();
    EXPECT_EQ(failures.load(), 0);
    EXPECT_EQ(port_count(), 0u);
}

} // namespace
