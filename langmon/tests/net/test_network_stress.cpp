/*
 * The network poll against the end of jobs and the closing of ports: a
 * Standard TCP/IP port whose poll worker is woken every few milliseconds,
 * so that its SNMP walk of the device's job table (which announces, closes
 * and releases queued jobs) runs while the spooler's thread ends a job
 * (EndDocPort) and closes the port (ClosePort), 200 rounds.  Built for the
 * ThreadSanitizer tree above all; every job must leave the spooler, each
 * released exactly once.
 */
#include "net_fixture.h"

#include <atomic>
#include <chrono>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

const std::string kUel = "\x1b%-12345X";
const std::string kJob = kUel + "@PJL ENTER LANGUAGE=PCLXL\r\n) HP-PCL XL;2;0\r\n<page data>" + kUel;
const std::string kIdleId = device_id(sts_of(idle_block()));

/* A device job identifier of `round` and `which` (24 characters, as the monitor makes them). */
std::string identifier(int round, char which)
{
    char text[32];
    std::snprintf(text, sizeof text, "0300AABBCC%c%013d", which, round);
    return text;
}

class NetStressTest : public NetTest {};

TEST_F(NetStressTest, PollEveryFewMillisecondsWhileJobsEndAndPortsClose)
{
    const std::u16string portName = u"IP_" + plat::utf8_to_utf16(SnmpPeers::kV1AndV3);
    add_tcp_port(SnmpPeers::kV1AndV3);
    add_printer(u"Office", portName);

    /* The port the waker may wake; changed only under `lock`, so that it never wakes a port being closed. */
    std::mutex lock;
    MonitorPort *current = nullptr;
    std::atomic<bool> stop{false};
    std::thread waker([&] {
        while (!stop.load()) {
            {
                std::lock_guard<std::mutex> g(lock);
                if (current)
                    LMS_SignalWorker(current, false);
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(2));
        }
    });

    std::vector<DWORD> jobs;
    int polled = 0;
    constexpr int kRounds = 200;
    for (int round = 0; round < kRounds && !HasFatalFailure(); ++round) {
        HANDLE h = nullptr;
        ASSERT_TRUE(open(portName.c_str(), &h, u"Office")) << round;
        MonitorPort *port = rec(h);
        /* two jobs the device has: the first done, the second done or still printing */
        const DWORD first = make_job(u"Office", u"Earlier");
        const DWORD second = make_job(u"Office", u"Earlier");
        ASSERT_TRUE(LMJ_QueueJob(first, port));
        ASSERT_TRUE(LMJ_SetQueuedJobText(identifier(round, 'A').c_str(), 1, port));
        ASSERT_TRUE(LMJ_QueueJob(second, port));
        ASSERT_TRUE(LMJ_SetQueuedJobText(identifier(round, 'B').c_str(), 1, port));
        serve(SnmpPeers::kV1AndV3, device_row(kIdleId) + job_rows(1, identifier(round, 'A'), 14) +
                                       job_rows(2, identifier(round, 'B'), round % 2 ? 14 : 17));
        {
            std::lock_guard<std::mutex> g(lock);
            current = port;
        }
        /* a job of the spooler's own on the port, while the worker walks the device's table */
        const DWORD job = make_job(u"Office", u"Report");
        DOC_INFO_1W info{const_cast<LPWSTR>(u"Report"), nullptr, nullptr};
        ASSERT_TRUE(StartDocPort(port, const_cast<LPWSTR>(u"Office"), job, 1, reinterpret_cast<LPBYTE>(&info)));
        std::string data = kJob;
        size_t taken = 0;
        for (int i = 0; i < 10 && taken < data.size(); ++i) {
            DWORD n = 0;
            ASSERT_TRUE(WritePort(port, reinterpret_cast<LPBYTE>(data.data() + taken), DWORD(data.size() - taken), &n));
            taken += n;
        }
        ASSERT_TRUE(EndDocPort(port));
        if (round % 4 == 0)
            std::this_thread::sleep_for(std::chrono::milliseconds(5)); /* a few polls between the job and the close */
        {
            std::lock_guard<std::mutex> g(lock);
            current = nullptr;
        }
        polled += !job_exists(first); /* the worker's walk released it before the port closed */
        ASSERT_TRUE(table->pfnClosePort(h)) << round;
        jobs.insert(jobs.end(), {first, second, job});
    }
    stop.store(true);
    waker.join();

    EXPECT_TRUE(plat::spool_jobs(u"Office").empty()) << plat::spool_jobs(u"Office").size() << " jobs left";
    size_t once = 0;
    for (DWORD job : jobs)
        once += plat::spool_release_count(job) == 1;
    EXPECT_EQ(once, jobs.size()) << "every job released exactly once";
    EXPECT_GT(polled, 0) << "the poll's walk ran during the jobs";
}

} // namespace
