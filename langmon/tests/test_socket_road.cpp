/*
 * Whole jobs through the language monitor stacked on the socket-backed port
 * monitor, whose device is the project's PJL responder on a loopback port:
 * the bytes the device receives, byte for byte; the replies it sends back as
 * they arrive; and a device that refuses the connection, never answers or
 * closes in the middle of the job, each ending the job with a clear status
 * and leaving the spooler's other jobs alone.  Over the same USB port: the
 * service tag, the display language and the tool exchanges asked by name.
 */
#include "lm_status_fixture.h"
#include "named_requests.h"
#include "pjl_peer.h"
#include "status.h"

#include <cstring>
#include <memory>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

const std::string kUel = "\x1b%-12345X";
const std::string kJob = kUel + "@PJL ENTER LANGUAGE=PCLXL\r\n" + ") HP-PCL XL;2;0\r\n" + std::string(3000, 'P') + kUel;

std::string record_path()
{
    static int n = 0;
    return "/tmp/tarvel-pjl-" + std::to_string(getpid()) + "-" + std::to_string(++n) + ".bin";
}

class SocketRoadTest : public StatusTest {
protected:
    void TearDown() override
    {
        plat::sockmon_reset();
        StatusTest::TearDown();
    }

    /* A USB port of a served printer on the socket-backed port monitor, its device at the peer. */
    MonitorPort *usb_port(const PjlPeer &peer)
    {
        add_printer(u"Office", u"USB001");
        plat::sockmon_set_target("USB001", "127.0.0.1", peer.port);
        plat::sockmon_set_timeout(300);
        plat::sockmon_watch([this](const std::string &, const std::string &bytes) {
            std::lock_guard<std::mutex> g(heardLock);
            heard += bytes;
        });
        HANDLE h = nullptr;
        EXPECT_TRUE(table->pfnOpenPortEx(monitor, plat::sockmon_handle(), const_cast<LPWSTR>(u"USB001"),
                                         const_cast<LPWSTR>(u"Office"), &h, plat::sockmon_table()));
        MonitorPort *port = rec(h);
        if (port)
            port->portKind = KIND_USB | KIND_BIDI;
        g_lm.osMajor = 5;
        g_lm.osMinor = 1;
        return port;
    }

    BOOL start(MonitorPort *port, DWORD job)
    {
        DOC_INFO_1W info{const_cast<LPWSTR>(u"Report"), nullptr, nullptr};
        return StartDocPort(port, const_cast<LPWSTR>(u"Office"), job, 1, reinterpret_cast<LPBYTE>(&info));
    }

    /* The spooler's loop: offers the rest again until all is taken, a write fails or `calls` run out. */
    static BOOL write_job(MonitorPort *port, const std::string &job, unsigned calls, size_t *taken)
    {
        *taken = 0;
        for (unsigned i = 0; i < calls && *taken < job.size(); ++i) {
            std::string rest = job.substr(*taken);
            DWORD n = 0;
            if (!WritePort(port, reinterpret_cast<LPBYTE>(rest.data()), DWORD(rest.size()), &n))
                return FALSE;
            *taken += n;
        }
        return TRUE;
    }

    std::string heard_text()
    {
        std::lock_guard<std::mutex> g(heardLock);
        return heard;
    }

    std::mutex heardLock;
    std::string heard;
};

TEST_F(SocketRoadTest, WholeJobAgainstTheResponder)
{
    PjlPeer peer(record_path());
    ASSERT_TRUE(peer.running());
    MonitorPort *port = usb_port(peer);
    const DWORD job = make_job(u"Office", u"Report");
    ASSERT_TRUE(start(port, job));
    EXPECT_TRUE(LMP_TestState(port, ST_IDENTIFIED)) << "the device ID came from the responder";
    EXPECT_EQ(LMS_FreeBlocks(port), 10);
    const std::string id = port->jobIdentifier;
    size_t taken = 0;
    ASSERT_TRUE(write_job(port, kJob, 20, &taken));
    ASSERT_EQ(taken, kJob.size());
    ASSERT_TRUE(EndDocPort(port));
    const std::string expected = kUel +
                                 "@PJL USTATUS DEVICE=ON\r\n@PJL USTATUS JOB=ON\r\n@PJL USTATUS PAGE=ON\r\n"
                                 "@PJL INFO STATUS\r\n"
                                 "@PJL JOB NAME=\"" + id + "\"\r\n" + kJob.substr(9) +
                                 "@PJL EOJ NAME=\"" + id + "\"\r\n" + kUel;
    EXPECT_EQ(peer.received_at_least(expected.size()), expected);
    /* the device's replies arrive as it sends them */
    const std::string start = "@PJL USTATUS JOB\r\nSTART\r\nNAME=\"" + id + "\"\r\n\f";
    const std::string end = "@PJL USTATUS JOB\r\nEND\r\nNAME=\"" + id + "\"\r\nPAGES=1\r\n\f";
    EXPECT_TRUE(eventually([&] { return heard_text().find(end) != std::string::npos; })) << heard_text();
    EXPECT_NE(heard_text().find(start), std::string::npos);
    DWORD words[3];
    ASSERT_TRUE(LMS_ReadPrinterStatus(port, words));
    EXPECT_EQ(words[1] & 0x100, 0u) << "the device answers";
    EXPECT_FALSE(LMP_TestState(port, ST_JOB_OPEN));
}

TEST_F(SocketRoadTest, TwentyJobsAreEachReleasedOnceAndLeaveTheSpoolerEmpty)
{
    PjlPeer peer(record_path());
    ASSERT_TRUE(peer.running());
    MonitorPort *port = usb_port(peer);
    ASSERT_NE(port, nullptr);
    /* the device reports each job's end in real time; the poll worker must read it in real time too */
    plat::clock_real();
    std::vector<DWORD> jobs;
    for (int i = 0; i < 20; ++i) {
        const DWORD job = make_job(u"Office", u"Report");
        ASSERT_TRUE(start(port, job)) << i;
        size_t taken = 0;
        ASSERT_TRUE(write_job(port, kJob, 20, &taken)) << i;
        ASSERT_EQ(taken, kJob.size()) << i;
        ASSERT_TRUE(EndDocPort(port)) << i;
        jobs.push_back(job);
    }
    /* each job leaves the spooler when the device reports its end (a poll cycle every few seconds) */
    bool empty = false;
    for (int i = 0; i < 600 && !empty; ++i) {
        empty = plat::spool_jobs(u"Office").empty() && queue_head_of(port) == nullptr;
        if (!empty)
            std::this_thread::sleep_for(std::chrono::milliseconds(50));
    }
    EXPECT_TRUE(empty) << plat::spool_jobs(u"Office").size() << " jobs left in the spooler";
    for (DWORD job : jobs)
        EXPECT_EQ(plat::spool_release_count(job), 1u) << "job " << job;
    /* the device received all twenty, each with its end of job */
    const std::string received = peer.received();
    size_t ends = 0;
    for (size_t at = received.find("@PJL EOJ NAME="); at != std::string::npos;
         at = received.find("@PJL EOJ NAME=", at + 1))
        ++ends;
    EXPECT_EQ(ends, 20u);
}

TEST_F(SocketRoadTest, RefusedConnectionEndsTheJobAndKeepsTheOthers)
{
    PjlPeer peer(record_path(), {"--mode", "refuse"});
    ASSERT_TRUE(peer.running());
    MonitorPort *port = usb_port(peer);
    const DWORD job = make_job(u"Office", u"Report");
    const DWORD other = make_job(u"Office", u"Waiting");
    ASSERT_TRUE(start(port, job));
    EXPECT_TRUE(LMP_TestState(port, ST_UNREACHABLE));
    size_t taken = 99;
    const DWORD t0 = GetTickCount();
    ASSERT_TRUE(write_job(port, kJob, 3, &taken));
    EXPECT_EQ(taken, 0u) << "nothing is taken while the device is gone";
    EXPECT_GE(GetTickCount() - t0, 3u * 14000u) << "each offer waits for the device first";
    DWORD words[3];
    ASSERT_TRUE(LMS_ReadPrinterStatus(port, words));
    EXPECT_EQ(words[1], 0x100u) << "shown as not answering";
    ASSERT_TRUE(EndDocPort(port));
    EXPECT_FALSE(LMP_TestState(port, ST_JOB_OPEN));
    EXPECT_EQ(queue_head_of(port), nullptr);
    EXPECT_FALSE(job_exists(job)) << "the failed job is released";
    EXPECT_TRUE(job_exists(other)) << "the next job waits in the spooler";
    EXPECT_EQ(peer.received(), "");
}

TEST_F(SocketRoadTest, SilentDeviceIsShownAsNotAnswering)
{
    PjlPeer peer(record_path(), {"--mode", "silent"});
    ASSERT_TRUE(peer.running());
    MonitorPort *port = usb_port(peer);
    const DWORD job = make_job(u"Office", u"Report");
    ASSERT_TRUE(start(port, job));
    EXPECT_TRUE(LMP_TestState(port, ST_UNREACHABLE)) << "no device ID within the time-out";
    size_t taken = 99;
    ASSERT_TRUE(write_job(port, kJob, 2, &taken));
    EXPECT_EQ(taken, 0u);
    ASSERT_TRUE(EndDocPort(port));
    EXPECT_FALSE(LMP_TestState(port, ST_JOB_OPEN));
    EXPECT_FALSE(job_exists(job));
}

TEST_F(SocketRoadTest, DeviceClosingMidJobFailsTheWrite)
{
    PjlPeer peer(record_path(), {"--mode", "close", "--close-after", "200"});
    ASSERT_TRUE(peer.running());
    MonitorPort *port = usb_port(peer);
    const DWORD job = make_job(u"Office", u"Report");
    const DWORD other = make_job(u"Office", u"Waiting");
    ASSERT_TRUE(start(port, job));
    ASSERT_TRUE(LMP_TestState(port, ST_IDENTIFIED));
    /* the device goes after 200 bytes: a later write fails with a reset connection */
    const std::string big = kUel + std::string(1 << 20, 'P') + kUel;
    size_t taken = 0;
    BOOL ok = TRUE;
    for (int round = 0; round < 20 && ok && taken < big.size(); ++round) {
        ok = write_job(port, big.substr(taken), 1, &taken) ? TRUE : FALSE;
        std::this_thread::sleep_for(std::chrono::milliseconds(20));
    }
    EXPECT_FALSE(ok) << "the write to a closed device fails";
    EXPECT_EQ(GetLastError(), 10054u);
    EXPECT_LT(taken, big.size());
    ASSERT_TRUE(EndDocPort(port));
    EXPECT_FALSE(LMP_TestState(port, ST_JOB_OPEN));
    EXPECT_EQ(busy_of(port), 0u);
    EXPECT_TRUE(job_exists(other));
}

/* ---- Named requests and tool exchanges over the USB port ------------------------------ */

class UsbRequestTest : public SocketRoadTest {
protected:
    void SetUp() override
    {
        SocketRoadTest::SetUp();
        peer = std::make_unique<PjlPeer>(record_path());
        ASSERT_TRUE(peer->running());
        port = usb_port(*peer);
        ASSERT_NE(port, nullptr);
        /* the device answers in real time, so the monitor's pauses between its reads must be real too */
        plat::clock_real();
        ASSERT_TRUE(LMS_PublishToManager(port));
        ASSERT_TRUE(eventually([&] { return sm.registrations() == 1; }));
    }

    std::unique_ptr<PjlPeer> peer;
    MonitorPort *port = nullptr;
};

TEST_F(UsbRequestTest, ServiceTagDisplayLanguageAndToolExchanges)
{
    const std::string tagQuery = kUel + "@PJL INFO SERVICETAG\r\n" + kUel;
    const std::string langQuery = kUel + "@PJL DINQUIRE LANG\r\n" + kUel;
    const std::string status = kUel + "@PJL INFO STATUS\r\n" + kUel;
    const std::string setting = kUel + "@PJL DEFAULT COPIES=2\r\n" + kUel;
    const std::string pageCount = kUel + "@PJL INFO PAGECOUNT\r\n" + kUel;

    /* the service tag: asked by PJL through the port monitor, the reply "AB12CD3" */
    char tag[8];
    std::memset(tag, 0x55, sizeof tag);
    DWORD n = 0;
    GetPrinterDataFromPort(port, 0, const_cast<LPWSTR>(u"LM_ServiceTag"), nullptr, 0, reinterpret_cast<LPWSTR>(tag),
                           sizeof tag, &n);
    EXPECT_EQ(std::string(tag, 8), std::string("AB12CD3") + '\0');
    EXPECT_EQ(ask(port, u"LM_ServiceTagStatus"), 0);

    /* the display language: the reply "FRENCH" is language 2, answered as 16 bits */
    EXPECT_EQ(ask(port, u"LM_DisplayLang") & 0xFFFF, 2);
    EXPECT_EQ(port->displayLang, 2u);
    EXPECT_EQ(ask(port, u"LM_DisplayLangStatus"), 0);

    /* "ToolBox:": the block out, the device's answer back in "TBValue" */
    set_manager_value("TBValue", status);
    EXPECT_EQ(ask(port, u"ToolBox:Office"), 0);
    EXPECT_EQ(manager_value("TBValue"), kPjlStatusReply + '\0');
    EXPECT_EQ(rw_result(), 0);

    /* "ToolBox2:": the block out, "TBValue" left alone */
    set_manager_value("TBValue2", setting);
    EXPECT_EQ(ask(port, u"ToolBox2:Office"), 0);
    EXPECT_EQ(rw_result(), 0);
    EXPECT_EQ(manager_value("TBValue"), kPjlStatusReply + '\0');

    /* a reservation: start, a block out (with whatever came at once), the rest of the answer, end */
    BOOL result = TRUE;
    EXPECT_EQ(ask(port, u"ToolBoxUstatusStart:Office", 4, &result), LONG(0xCCCCCCCC));
    EXPECT_FALSE(result);
    EXPECT_EQ(LMP_Busy(port), 1u);
    EXPECT_EQ(rw_result(), 0);
    EXPECT_EQ(ask(port, u"ToolBox:Office"), LM_ANSWER_BUSY) << "the device is reserved";
    set_manager_value("ToolBoxUstatusRead", pageCount);
    ask(port, u"ToolBoxUstatusRead:Office");
    EXPECT_EQ(rw_result(), 0);
    std::string answer = manager_value("TBValue");
    ASSERT_FALSE(answer.empty());
    answer.pop_back();
    const std::string reply = "@PJL INFO PAGECOUNT\r\nPAGECOUNT=1234\r\n\f";
    ASSERT_TRUE(eventually([&] { return heard_text().find(reply) != std::string::npos; })) << heard_text();
    set_manager_value("ToolBoxUstatusRead", "GetResponse");
    ask(port, u"ToolBoxUstatusRead:Office");
    const std::string rest = manager_value("TBValue");
    EXPECT_EQ(answer + rest, reply + '\0') << "the answer, whole, over the two reads";
    EXPECT_TRUE(GetPrinterDataFromPort(port, 0, const_cast<LPWSTR>(u"ToolBoxUstatusEnd:Office"), nullptr, 0, nullptr,
                                       0, nullptr));
    EXPECT_EQ(LMP_Busy(port), 0u);
    EXPECT_EQ(rw_result(), 0);

    const std::string expected = tagQuery + langQuery + status + setting + pageCount;
    EXPECT_EQ(peer->received_at_least(expected.size()), expected);
}

TEST_F(UsbRequestTest, QueriesWithJobsQueuedLeaveTheDeviceAlone)
{
    ASSERT_TRUE(LMJ_QueueJob(4, port));
    char tag[8];
    std::memset(tag, 0x55, sizeof tag);
    DWORD n = 0;
    GetPrinterDataFromPort(port, 0, const_cast<LPWSTR>(u"LM_ServiceTag"), nullptr, 0, reinterpret_cast<LPWSTR>(tag),
                           sizeof tag, &n);
    EXPECT_EQ(std::string(tag, 8), std::string(8, '\0'));
    EXPECT_EQ(ask(port, u"LM_ServiceTagStatus"), LONG(ERROR_INVALID_PRINTER_STATE));
    EXPECT_EQ(ask(port, u"LM_DisplayLang") & 0xFFFF, 0);
    EXPECT_EQ(ask(port, u"LM_DisplayLangStatus"), LONG(ERROR_INVALID_PRINTER_STATE));
    set_manager_value("TBValue", kUel + "@PJL INFO STATUS\r\n" + kUel);
    EXPECT_EQ(ask(port, u"ToolBox:Office"), LM_ANSWER_REFUSED);
    EXPECT_EQ(rw_result(), LM_ANSWER_REFUSED);
    EXPECT_EQ(peer->received(), "");
}

} // namespace
