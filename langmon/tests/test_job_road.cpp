/*
 * The job road over the scripted port monitor: what the device receives
 * (the monitor's header with the job identifier, the job, the trailer),
 * byte for byte as written out by hand, the job's way through the spooler,
 * and the ways a job ends early (busy port, no document, another model, a
 * deleted job, a device that does not answer, a header that goes out in
 * part).
 */
#include "job_road.h"
#include "lm_device_fixture.h"
#include "lm_status_fixture.h"

#include <plat/thread.h>

#include <cerrno>
#include <string>
#include <sys/resource.h>
#include <unistd.h>

namespace {

const std::string kUel = "\x1b%-12345X";
/* The job as the driver sends it: its own universal exit, its PJL, the page data, the closing exit. */
const std::string kJob = kUel + "@PJL ENTER LANGUAGE=PCLXL\r\n" + ") HP-PCL XL;2;0\r\n<page data>" + kUel;

class JobRoadTest : public StatusTest {
protected:
    /* A USB port with a served printer of the supported model; `model` answers the device ID. */
    MonitorPort *usb_port(const std::string &deviceId)
    {
        add_printer(u"Office", u"USB001");
        HANDLE h = nullptr;
        EXPECT_TRUE(open(u"USB001", &h, u"Office"));
        MonitorPort *port = rec(h);
        port->portKind = KIND_USB | KIND_BIDI;
        g_lm.osMajor = 5;
        g_lm.osMinor = 1;
        plat::portmon_set_device_id(deviceId);
        return port;
    }

    BOOL start(MonitorPort *port, DWORD job, const char16_t *doc = u"Report")
    {
        DOC_INFO_1W info{const_cast<LPWSTR>(doc), nullptr, nullptr};
        return StartDocPort(port, const_cast<LPWSTR>(u"Office"), job, 1, reinterpret_cast<LPBYTE>(&info));
    }

    /* Writes the whole job as the spooler does: again and again until every byte was taken (bounded). */
    static bool write_all(MonitorPort *port, const std::string &job, unsigned maxCalls = 50)
    {
        size_t at = 0;
        for (unsigned i = 0; i < maxCalls && at < job.size(); ++i) {
            DWORD n = 0;
            std::string rest = job.substr(at);
            if (!WritePort(port, reinterpret_cast<LPBYTE>(rest.data()), DWORD(rest.size()), &n))
                return false;
            at += n;
        }
        return at == job.size();
    }

    static std::string written_since(size_t before) { return plat::portmon_written().substr(before); }
};

TEST_F(JobRoadTest, WholeJobOnAnIdentifiedDevice)
{
    MonitorPort *port = usb_port(device_id(sts_of(idle_block())));
    const DWORD job = make_job(u"Office", u"Report");
    const size_t before = plat::portmon_written().size();
    ASSERT_TRUE(start(port, job));
    EXPECT_TRUE(LMP_TestState(port, ST_JOB_OPEN));
    EXPECT_TRUE(LMP_TestState(port, ST_HEADER_DUE));
    ASSERT_NE(port->jobQueueHead, nullptr);
    EXPECT_EQ(port->jobQueueHead->jobId, job);
    const std::string id = port->jobIdentifier;
    ASSERT_EQ(id.size(), 24u);
    EXPECT_EQ(id.substr(0, 2), "03");

    ASSERT_TRUE(write_all(port, kJob));
    ASSERT_TRUE(EndDocPort(port));
    const std::string expected = kUel +
                                 "@PJL USTATUS DEVICE=ON\r\n@PJL USTATUS JOB=ON\r\n@PJL USTATUS PAGE=ON\r\n"
                                 "@PJL INFO STATUS\r\n"
                                 "@PJL JOB NAME=\"" + id + "\"\r\n" +
                                 "@PJL ENTER LANGUAGE=PCLXL\r\n) HP-PCL XL;2;0\r\n<page data>" + kUel +
                                 "@PJL EOJ NAME=\"" + id + "\"\r\n" + kUel;
    EXPECT_EQ(written_since(before), expected);
    EXPECT_FALSE(LMP_TestState(port, ST_JOB_OPEN));
    EXPECT_EQ(busy_of(port), 0u);
    EXPECT_EQ(port->releaseOnIdle, 1u) << "the job is released when the device reports idle";
    /* the spooler saw one status document open for the job with the spooler's arguments */
    bool jobDoc = false;
    for (const std::string &d : plat::portmon_docs())
        jobDoc = jobDoc || d == "Office|" + std::to_string(job) + "|1|Report";
    EXPECT_TRUE(jobDoc);
}

TEST_F(JobRoadTest, AnotherModelGetsNoHeaderAndTheLeadingExitIsNotSent)
{
    MonitorPort *port = usb_port("MFG:Other;MDL:Other 1;");
    const DWORD job = make_job(u"Office", u"Report");
    const size_t before = plat::portmon_written().size();
    ASSERT_TRUE(start(port, job));
    const std::string id = port->jobIdentifier;
    std::string data = kJob;
    DWORD n = 0;
    ASSERT_TRUE(WritePort(port, reinterpret_cast<LPBYTE>(data.data()), DWORD(data.size()), &n));
    EXPECT_EQ(n, 9u) << "the universal exit is reported written";
    EXPECT_EQ(written_since(before), "");
    ASSERT_TRUE(write_all(port, kJob.substr(9)));
    ASSERT_TRUE(EndDocPort(port));
    /* no header; the inspected stream still gets the monitor's end of job behind its own exit */
    EXPECT_EQ(written_since(before), kJob.substr(9) + "@PJL EOJ NAME=\"" + id + "\"\r\n" + kUel);
    /* the device does not report on it: its end releases it, once for all its reasons */
    EXPECT_FALSE(job_exists(job));
    EXPECT_EQ(plat::spool_release_count(job), 1u);
}

TEST_F(JobRoadTest, SecondStartWhileAJobIsOpenIsBusy)
{
    MonitorPort *port = usb_port(device_id(sts_of(idle_block())));
    const DWORD job = make_job(u"Office", u"Report");
    ASSERT_TRUE(start(port, job));
    port->busy = 0; /* a second spooler thread gets past the busy word */
    EXPECT_FALSE(start(port, job + 1));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_BUSY));
    EXPECT_TRUE(LMP_TestState(port, ST_JOB_OPEN));
    EXPECT_EQ(port->jobId, job) << "the open job is untouched";
    port->busy = 1;
    EXPECT_FALSE(start(port, job + 1));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_BUSY));
    ASSERT_TRUE(EndDocPort(port));
}

TEST_F(JobRoadTest, NoDocumentNameRecordsThePrinterOnly)
{
    MonitorPort *port = usb_port(device_id(sts_of(idle_block())));
    DOC_INFO_1W info{nullptr, nullptr, nullptr};
    const size_t calls = plat::portmon_log().size();
    ASSERT_TRUE(StartDocPort(port, const_cast<LPWSTR>(u"Annex"), 5, 2, reinterpret_cast<LPBYTE>(&info)));
    EXPECT_TRUE(LMP_TestState(port, ST_NO_DOCINFO));
    EXPECT_FALSE(LMP_TestState(port, ST_JOB_OPEN));
    EXPECT_EQ(std::u16string(port->printerName), u"Annex");
    ASSERT_TRUE(StartDocPort(port, const_cast<LPWSTR>(u"Annex"), 5, 1, nullptr)) << "no document information at all";
    ASSERT_TRUE(EndDocPort(port));
    EXPECT_FALSE(LMP_TestState(port, ST_NO_DOCINFO));
    EXPECT_EQ(plat::portmon_log().size(), calls) << "nothing reached the port monitor";
    EXPECT_FALSE(StartDocPort(nullptr, nullptr, 1, 1, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(EndDocPort(nullptr));
    DWORD n = 5;
    EXPECT_FALSE(WritePort(nullptr, nullptr, 0, &n));
    EXPECT_EQ(n, 0u);
}

TEST_F(JobRoadTest, PlainPortPassesTheJobAndTheMonitorSeesStartAndEnd)
{
    add_printer(u"Plain", u"LPT1:");
    HANDLE h = nullptr;
    ASSERT_TRUE(open(u"LPT1:", &h, u"Plain"));
    MonitorPort *port = rec(h);
    port->portKind = KIND_LOCAL;
    const DWORD job = make_job(u"Plain", u"Memo");
    DOC_INFO_1W info{const_cast<LPWSTR>(u"Memo"), nullptr, nullptr};
    ASSERT_TRUE(StartDocPort(port, const_cast<LPWSTR>(u"Plain"), job, 1, reinterpret_cast<LPBYTE>(&info)));
    ASSERT_TRUE(EndDocPort(port)) << "WritePort never ran";
    std::vector<std::string> starts, ends;
    for (const std::string &line : plat::portmon_log()) {
        if (line.rfind("StartDocPort", 0) == 0)
            starts.push_back(line);
        if (line.rfind("EndDocPort", 0) == 0)
            ends.push_back(line);
    }
    EXPECT_EQ(starts.size(), 1u);
    EXPECT_EQ(ends.size(), 1u);
    EXPECT_FALSE(job_exists(job)) << "released to the spooler";

    /* a job with data: passed unchanged, the document started again for the write */
    const DWORD job2 = make_job(u"Plain", u"Memo");
    const size_t before = plat::portmon_written().size();
    ASSERT_TRUE(StartDocPort(port, const_cast<LPWSTR>(u"Plain"), job2, 1, reinterpret_cast<LPBYTE>(&info)));
    ASSERT_TRUE(write_all(port, kJob));
    ASSERT_TRUE(EndDocPort(port));
    EXPECT_EQ(written_since(before), kJob);
    EXPECT_FALSE(job_exists(job2));
    EXPECT_EQ(plat::spool_release_count(job), 1u);
    EXPECT_EQ(plat::spool_release_count(job2), 1u);

    /* the port monitor refuses the late start of a job it never saw: still released once, not twice */
    const DWORD job3 = make_job(u"Plain", u"Memo");
    ASSERT_TRUE(StartDocPort(port, const_cast<LPWSTR>(u"Plain"), job3, 1, reinterpret_cast<LPBYTE>(&info)));
    LMP_ClearState(port, ST_PORT_OPEN);
    plat::portmon_fail(plat::PortmonCall::StartDocPort, 1232);
    ASSERT_TRUE(EndDocPort(port));
    EXPECT_FALSE(job_exists(job3));
    EXPECT_EQ(plat::spool_release_count(job3), 1u);
}

TEST_F(JobRoadTest, RefusedStartOnAPortOtherThanUsb)
{
    add_printer(u"Plain", u"LPT1:");
    HANDLE h = nullptr;
    ASSERT_TRUE(open(u"LPT1:", &h, u"Plain"));
    MonitorPort *port = rec(h);
    port->portKind = KIND_LOCAL;
    plat::portmon_fail(plat::PortmonCall::StartDocPort, 1232);
    DOC_INFO_1W info{const_cast<LPWSTR>(u"Memo"), nullptr, nullptr};
    EXPECT_FALSE(StartDocPort(port, const_cast<LPWSTR>(u"Plain"), 9, 1, reinterpret_cast<LPBYTE>(&info)));
    EXPECT_EQ(GetLastError(), 1232u);
    EXPECT_FALSE(LMP_TestState(port, ST_JOB_OPEN));
    EXPECT_EQ(busy_of(port), 0u);
}

TEST_F(JobRoadTest, HeaderSentInPartGoesOutWholeBeforeTheJob)
{
    MonitorPort *port = usb_port(device_id(sts_of(idle_block())));
    const DWORD job = make_job(u"Office", u"Report");
    const size_t before = plat::portmon_written().size();
    ASSERT_TRUE(start(port, job));
    const std::string id = port->jobIdentifier;
    plat::portmon_script_write(10); /* the header's first write moves 10 bytes */
    std::string data = kJob;
    DWORD n = 99;
    ASSERT_TRUE(WritePort(port, reinterpret_cast<LPBYTE>(data.data()), DWORD(data.size()), &n));
    EXPECT_EQ(n, 0u) << "nothing of the job is taken while the header's rest waits";
    EXPECT_GT(port->pendingLength, 0u);
    ASSERT_TRUE(write_all(port, kJob));
    ASSERT_TRUE(EndDocPort(port));
    const std::string header = kUel +
                               "@PJL USTATUS DEVICE=ON\r\n@PJL USTATUS JOB=ON\r\n@PJL USTATUS PAGE=ON\r\n"
                               "@PJL INFO STATUS\r\n@PJL JOB NAME=\"" + id + "\"\r\n";
    EXPECT_EQ(written_since(before), header + kJob.substr(9) + "@PJL EOJ NAME=\"" + id + "\"\r\n" + kUel)
        << "no job byte overtakes the header, and only one universal exit is dropped";
}

TEST_F(JobRoadTest, DeletedJobIsDroppedAndTheDeviceReset)
{
    MonitorPort *port = usb_port(device_id(sts_of(idle_block())));
    const DWORD job = make_job(u"Office", u"Report");
    const size_t before = plat::portmon_written().size();
    ASSERT_TRUE(start(port, job));
    ASSERT_TRUE(write_all(port, kJob.substr(0, 20)));
    const size_t afterFirst = plat::portmon_written().size();
    /* the spooler deletes the job: what comes now is taken and dropped */
    LMP_SetState(port, ST_DISCARD);
    std::string rest = kJob.substr(20);
    DWORD n = 0;
    ASSERT_TRUE(WritePort(port, reinterpret_cast<LPBYTE>(rest.data()), DWORD(rest.size()), &n));
    EXPECT_EQ(n, rest.size());
    EXPECT_EQ(plat::portmon_written().size(), afterFirst);
    HANDLE printer = nullptr;
    ASSERT_TRUE(OpenPrinterW(u"Office", &printer, nullptr));
    SetJobW(printer, job, 0, nullptr, JOB_CONTROL_DELETE);
    ClosePrinter(printer);
    const DWORD startTick = GetTickCount();
    ASSERT_TRUE(EndDocPort(port));
    bool reset = false;
    for (const std::string &c : plat::portmon_controls())
        reset = reset || c == "0x160008 in=1";
    EXPECT_TRUE(reset || !job_exists(job)) << "a deleting job resets the device";
    EXPECT_LE(GetTickCount() - startTick, 120000u) << "the wait for the device is bounded";
    EXPECT_NE(written_since(before).find("@PJL JOB NAME"), std::string::npos);
    EXPECT_EQ(plat::spool_release_count(job), 1u) << "the spooler's own deletion ends it; the monitor adds none";
}

TEST_F(JobRoadTest, DeviceThatNeverAnswersTakesNothingAndLosesNoJob)
{
    MonitorPort *port = usb_port("");
    plat::portmon_set_device_id("", false);
    const DWORD job = make_job(u"Office", u"Report");
    ASSERT_TRUE(start(port, job));
    EXPECT_TRUE(LMP_TestState(port, ST_UNREACHABLE));
    std::string data = kJob;
    DWORD n = 99;
    const DWORD t0 = GetTickCount();
    ASSERT_TRUE(WritePort(port, reinterpret_cast<LPBYTE>(data.data()), DWORD(data.size()), &n));
    EXPECT_EQ(n, 0u);
    /* 4 s, three device-ID tries 1 s apart while the job is open, 10 s: then the spooler offers it again
       (the worker's poll cycles may read the device ID meanwhile, with pauses of their own) */
    EXPECT_GE(GetTickCount() - t0, 4000u + 2000u + 10000u);
    EXPECT_LE(GetTickCount() - t0, 4000u + 2000u + 10000u + 8000u);
    DWORD words[3];
    ASSERT_TRUE(LMS_ReadPrinterStatus(port, words));
    EXPECT_EQ(words[1], 0x100u) << "shown as not answering";
    ASSERT_TRUE(EndDocPort(port));
    EXPECT_FALSE(LMP_TestState(port, ST_JOB_OPEN));
    EXPECT_EQ(busy_of(port), 0u);
    EXPECT_EQ(queue_head_of(port), nullptr);
    EXPECT_FALSE(job_exists(job)) << "nothing was written: the job is released, not left hanging";
    EXPECT_EQ(plat::spool_release_count(job), 1u);
}

/* "PrintingPriority" in the monitor's own key, as a DWORD. */
void set_printing_priority(LONG value)
{
    HKEY key = nullptr;
    const char16_t *path = u"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Tarvel Language Monitor";
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, path, 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr),
              ERROR_SUCCESS);
    const DWORD v = DWORD(value);
    RegSetValueExW(key, u"PrintingPriority", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&v), sizeof v);
    RegCloseKey(key);
}

int thread_nice()
{
    errno = 0;
    const int n = getpriority(PRIO_PROCESS, id_t(gettid()));
    return errno ? 1000 : n;
}

/* What a spooler thread saw of its own priority around one job. */
struct PriorityTrace {
    int before = 99, during = 99, duringNice = 1000, after = 99, worker = 99;
};

TEST_F(JobRoadTest, PrintingPriorityRunsTheJobsThreadAtThatPriority)
{
    errno = 0;
    const int base = getpriority(PRIO_PROCESS, 0);
    ASSERT_EQ(errno, 0);
    if (base + 10 > 19)
        GTEST_SKIP() << "the process's nice value leaves no room below normal";
    struct Case {
        LONG value;
        int expected; /* the priority during the job */
    } cases[] = {
        {THREAD_PRIORITY_BELOW_NORMAL, THREAD_PRIORITY_BELOW_NORMAL},
        {THREAD_PRIORITY_LOWEST, THREAD_PRIORITY_LOWEST},
        {7, THREAD_PRIORITY_NORMAL}, /* not a priority level: nothing changes */
    };
    MonitorPort *port = usb_port(device_id(sts_of(idle_block())));
    for (const Case &c : cases) {
        set_printing_priority(c.value);
        const DWORD job = make_job(u"Office", u"Report");
        struct Run {
            MonitorPort *port;
            DWORD job;
            PriorityTrace trace;
            static DWORD go(LPVOID p)
            {
                auto *r = static_cast<Run *>(p);
                r->trace.before = GetThreadPriority(GetCurrentThread());
                DOC_INFO_1W info{const_cast<LPWSTR>(u"Report"), nullptr, nullptr};
                if (!StartDocPort(r->port, const_cast<LPWSTR>(u"Office"), r->job, 1, reinterpret_cast<LPBYTE>(&info)))
                    return 1;
                r->trace.during = GetThreadPriority(GetCurrentThread());
                r->trace.duringNice = thread_nice();
                LMP_Lock(r->port);
                if (r->port->workerThread)
                    r->trace.worker = GetThreadPriority(r->port->workerThread);
                LMP_Unlock(r->port);
                if (!write_all(r->port, kJob) || !EndDocPort(r->port))
                    return 2;
                r->trace.after = GetThreadPriority(GetCurrentThread());
                return 0;
            }
        } run{port, job, {}};
        /* the spooler's thread for the job: a thread of its own, so its priority changes die with it */
        HANDLE t = CreateThread(nullptr, 0, &Run::go, &run, 0, nullptr);
        ASSERT_NE(t, nullptr);
        ASSERT_EQ(WaitForSingleObject(t, 60000), WAIT_OBJECT_0);
        DWORD code = 99;
        GetExitCodeThread(t, &code);
        CloseHandle(t);
        ASSERT_EQ(code, 0u) << c.value;
        EXPECT_EQ(run.trace.before, THREAD_PRIORITY_NORMAL) << c.value;
        EXPECT_EQ(run.trace.during, c.expected) << c.value;
        EXPECT_EQ(run.trace.duringNice, base - 5 * c.expected) << c.value;
        /* the poll worker, started with the job, runs at the lowest priority (no flow control) */
        EXPECT_EQ(run.trace.worker, THREAD_PRIORITY_LOWEST) << c.value;
        /* the job's end puts the thread back, as far as the process may raise it again */
        if (geteuid() == 0)
            EXPECT_EQ(run.trace.after, THREAD_PRIORITY_NORMAL) << c.value;
        else
            EXPECT_EQ(run.trace.after, c.expected) << c.value << ": an unprivileged raise back is refused";
        EXPECT_EQ(port->priorityThread, nullptr);
    }
}

TEST_F(JobRoadTest, CountQueuedJobsIgnoresFinishedOnes)
{
    MonitorPort *port = usb_port(device_id(sts_of(idle_block())));
    EXPECT_EQ(LMJ_CountQueuedJobs(port), 0u);
    make_job(u"Office", u"One");
    make_job(u"Office", u"Two");
    EXPECT_EQ(LMJ_CountQueuedJobs(port), 2u);
    EXPECT_EQ(LMJ_CountQueuedJobs(nullptr), 0u);
}

TEST_F(JobRoadTest, ForwardedControlRequests)
{
    MonitorPort *port = usb_port("MFG:OSTREL;MDL:Lumaset K4100;");
    char out[64] = {};
    DWORD got = 0;
    EXPECT_TRUE(LMP_ForwardControlId(port, LM_IOCTL_PAR_QUERY_DEVICE_ID, nullptr, nullptr, 0,
                                     reinterpret_cast<LPWSTR>(out), sizeof out, &got));
    EXPECT_EQ(std::string(out, got), "MFG:OSTREL;MDL:Lumaset K4100;");
    /* while job data flows under flow control the device is not asked */
    port->portMode = 0x2;
    port->flowing = 1;
    const size_t asked = plat::portmon_controls().size();
    EXPECT_TRUE(LMP_ForwardControlId(port, LM_IOCTL_PAR_QUERY_DEVICE_ID, nullptr, nullptr, 0,
                                     reinterpret_cast<LPWSTR>(out), sizeof out, &got));
    EXPECT_EQ(got, 1u);
    EXPECT_EQ(port->deviceIdAnswered, 1u);
    EXPECT_EQ(plat::portmon_controls().size(), asked);
    port->portMode = 0;
    /* the job-end codes never reach the port monitor */
    EXPECT_FALSE(LMP_ForwardControlId(port, LM_CONTROL_JOB_END, nullptr, nullptr, 0, nullptr, 0, &got));
    EXPECT_EQ(plat::portmon_controls().size(), asked);
    BYTE init = 1;
    EXPECT_FALSE(LMP_ForwardControlId(port, LM_IOCTL_PAR_SET_INFORMATION, nullptr, reinterpret_cast<LPWSTR>(&init), 1,
                                      nullptr, 0, &got));
    EXPECT_EQ(port->deviceIdRetry, 1u);
    EXPECT_TRUE(LMP_ForwardControlId(port, 0x1234, nullptr, nullptr, 0, nullptr, 0, &got));
    EXPECT_EQ(plat::portmon_controls().back(), "0x1234 in=-1");
}

} // namespace
