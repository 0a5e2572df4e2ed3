// `tarvel send`: a job file through the language monitor to a network
// printer's raw port on loopback (by HOST:PORT and by an installed TCP/IP
// port), which must receive the job whole and nothing else; a closed port;
// the simulated USB printer (the project's PJL responder), its bytes and
// status lines; bad arguments are refused with a message.
#include "host_test_support.h"

#include <plat/machine.h>
#include <plat/spooler.h>

#include "../../langmon/tests/pjl_peer.h"

#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <mutex>
#include <string>
#include <thread>
#include <vector>

namespace {

namespace fs = std::filesystem;

/*
 * A network printer's raw port as it is: a TCP listener on 127.0.0.1 that
 * takes bytes and never answers.  Every connection's bytes are kept, in the
 * order they came, and the connections are counted.
 */
class RawPrinter {
public:
    RawPrinter()
    {
        fd = socket(AF_INET, SOCK_STREAM | SOCK_CLOEXEC, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        socklen_t len = sizeof a;
        if (fd < 0 || bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a) != 0 || listen(fd, 8) != 0 ||
            getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len) != 0)
            return;
        port = ntohs(a.sin_port);
        loop = std::thread([this] { serve(); });
    }
    ~RawPrinter()
    {
        stop = true;
        if (loop.joinable())
            loop.join();
        if (fd >= 0)
            close(fd);
    }

    /* Waits (at most 5 s) until `bytes` bytes came and no connection is still open. */
    std::string received(size_t bytes)
    {
        for (int i = 0; i < 500; ++i) {
            {
                std::lock_guard<std::mutex> g(m);
                if (data.size() >= bytes && open == 0)
                    break;
            }
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        }
        std::lock_guard<std::mutex> g(m);
        return data;
    }
    int connections() const { return accepted.load(); }

    unsigned short port = 0;

private:
    void serve()
    {
        std::vector<int> clients;
        while (!stop) {
            std::vector<pollfd> p{{fd, POLLIN, 0}};
            for (int c : clients)
                p.push_back({c, POLLIN, 0});
            if (poll(p.data(), p.size(), 20) <= 0)
                continue;
            if (p[0].revents & POLLIN) {
                const int c = accept4(fd, nullptr, nullptr, SOCK_CLOEXEC);
                if (c >= 0) {
                    clients.push_back(c);
                    ++accepted;
                    std::lock_guard<std::mutex> g(m);
                    ++open;
                }
            }
            for (size_t i = 1; i < p.size(); ++i) {
                if (!(p[i].revents & (POLLIN | POLLHUP | POLLERR)))
                    continue;
                char buf[4096];
                const ssize_t n = recv(p[i].fd, buf, sizeof buf, 0);
                std::lock_guard<std::mutex> g(m);
                if (n > 0) {
                    data.append(buf, size_t(n));
                } else {
                    close(p[i].fd);
                    clients.erase(std::find(clients.begin(), clients.end(), p[i].fd));
                    --open;
                }
            }
        }
        for (int c : clients)
            close(c);
    }

    int fd = -1;
    std::thread loop;
    std::atomic<bool> stop{false};
    std::atomic<int> accepted{0};
    std::mutex m;
    std::string data;
    int open = 0;
};

/* A loopback port (TCP or UDP) that was free a moment ago and has nothing listening on it now. */
unsigned short closed_port(int type)
{
    const int fd = socket(AF_INET, type | SOCK_CLOEXEC, 0);
    sockaddr_in a{};
    a.sin_family = AF_INET;
    a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
    socklen_t len = sizeof a;
    bind(fd, reinterpret_cast<sockaddr *>(&a), sizeof a);
    getsockname(fd, reinterpret_cast<sockaddr *>(&a), &len);
    close(fd);
    return ntohs(a.sin_port);
}

class HostSendTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        dir = fs::temp_directory_path() / ("tarvel-send-" + std::to_string(getpid()));
        fs::remove_all(dir);
        fs::create_directories(dir);
        std::ofstream(dir / "job.bin", std::ios::binary) << job;
    }
    void TearDown() override { fs::remove_all(dir); }

    std::string args(const std::string &rest) const
    {
        return "--machine " + (dir / "machine").string() + " send " + (dir / "job.bin").string() + " " + rest;
    }

    fs::path dir;
    const std::string uel = "\x1b%-12345X";
    const std::string job = uel + "@PJL ENTER LANGUAGE=PCLXL\r\n) HP-PCL XL;2;0\r\nDATA" + uel;
};

TEST_F(HostSendTest, NetworkPrinterGetsTheWholeJobAndNothingElse)
{
    /* the monitor asks for the device's status on an SNMP port where nothing listens: no answer, no waiting */
    const std::string endpoints = "TARVEL_STATUS_ENDPOINTS=" + std::to_string(closed_port(SOCK_DGRAM)) + ",";
    const std::string machine = "--machine " + (dir / "machine").string();
    int status = -1;
    const std::string installed = run(machine + " install Net TARVEL1.DDD IP_127.0.0.1", &status);
    ASSERT_EQ(status, 0) << installed;
    struct Case {
        const char *name;
        bool byAddress; /* HOST:PORT; else the installed port by name, its raw port from the endpoints */
        const char *printer;
    } cases[] = {
        {"HOST:PORT", true, nullptr},
        {"HOST:PORT, the installed printer", true, "Net"},
        {"installed IP_ port", false, "Net"},
    };
    for (const Case &c : cases) {
        RawPrinter device;
        ASSERT_NE(device.port, 0) << c.name;
        const std::string port = c.byAddress ? "127.0.0.1:" + std::to_string(device.port) : "IP_127.0.0.1";
        const std::string printer = c.printer ? std::string(" --printer ") + c.printer : "";
        const std::string out = run_command(endpoints + std::to_string(device.port) + ",300,1000,50 " +
                                                TARVEL_HOST_BINARY + " " + args("--port " + port + printer),
                                            &status);
        EXPECT_EQ(status, 0) << c.name << "\n" << out;
        EXPECT_NE(out.find("Sent 66 bytes"), std::string::npos) << c.name << "\n" << out;
        /* no header (the device does not answer SNMP), no query, no trailer: the job's own bytes, once */
        EXPECT_EQ(device.received(job.size()), job) << c.name;
        EXPECT_EQ(device.connections(), 1) << c.name << ": the job's connection only";
    }
    /* the installed printer's spooler jobs were released once the device had them */
    plat::machine_reset((dir / "machine").string());
    EXPECT_TRUE(plat::spool_jobs(u"Net").empty()) << plat::spool_jobs(u"Net").size() << " jobs left";
    plat::machine_reset((dir / "idle").string());
}

TEST_F(HostSendTest, ClosedPortExitsWithAClearMessage)
{
    /* (the simulated USB printer's refused connection: RefusedConnectionEndsWithinTheTimeOut) */
    const std::string port = "127.0.0.1:" + std::to_string(closed_port(SOCK_STREAM));
    int status = -1;
    const std::string out = run(args("--port " + port), &status);
    EXPECT_EQ(status, 1) << out;
    EXPECT_NE(out.find("tarvel send: cannot send to " + port + ": the connection was refused"), std::string::npos)
        << out;
    EXPECT_EQ(out.find("Sent "), std::string::npos) << out;
}

TEST_F(HostSendTest, SendsTheJobAndPrintsTheDevicesLines)
{
    PjlPeer peer((dir / "record.bin").string());
    ASSERT_TRUE(peer.running());
    int status = -1;
    const std::string out = run(args("--port usb:127.0.0.1:" + std::to_string(peer.port)), &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("sent 66 of 66 bytes"), std::string::npos) << out;
    EXPECT_NE(out.find("device: @PJL USTATUS JOB\ndevice: END\n"), std::string::npos) << out;
    /* no printer is served on this machine: the job goes as it is, with the monitor's end of job behind it */
    const std::string received = peer.received_at_least(job.size() + 10);
    EXPECT_EQ(received.substr(0, job.size()), job);
    EXPECT_NE(received.find("@PJL EOJ NAME=\""), std::string::npos);
}

TEST_F(HostSendTest, RefusedConnectionEndsWithinTheTimeOut)
{
    PjlPeer peer((dir / "record.bin").string(), {"--mode", "refuse"});
    ASSERT_TRUE(peer.running());
    int status = -1;
    const std::string out = run(args("--port usb:127.0.0.1:" + std::to_string(peer.port) + " --timeout 1"), &status);
    EXPECT_EQ(status, 1) << out;
    EXPECT_NE(out.find("the device took nothing for 1 s"), std::string::npos) << out;
}

TEST_F(HostSendTest, BadArgumentsAreRefused)
{
    struct Case {
        std::string args;
        const char *message;
    } cases[] = {
        {"--port no_such_port", "is neither HOST[:PORT], usb:HOST:PORT nor an installed TCP/IP port"},
        {"--port 127.0.0.1:0", "is neither HOST[:PORT]"},
        {"--port 127.0.0.1:99999", "is neither HOST[:PORT]"},
        {"--port 127.0.0.1:", "is neither HOST[:PORT]"},
        {"--port usb:127.0.0.1", "is not usb:HOST:PORT"},
        {"--port usb:127.0.0.1:70000", "is not usb:HOST:PORT"},
        {"", "a job file and --port are needed"},
        {"--port", "option '--port' needs a value"},
        {"--port 127.0.0.1:9 --timeout 0", "--timeout wants seconds"},
        {"--port 127.0.0.1:9 --fast", "unknown option '--fast'"},
        {"--port 127.0.0.1:9 extra", "unexpected argument 'extra'"},
    };
    for (const Case &c : cases) {
        int status = -1;
        const std::string out = run(args(c.args), &status);
        EXPECT_EQ(status, 2) << c.args << "\n" << out;
        EXPECT_NE(out.find(c.message), std::string::npos) << c.args << "\n" << out;
    }
    int status = -1;
    /* --help says which form means what */
    const std::string help = run("send --help", &status);
    EXPECT_EQ(status, 0) << help;
    for (const char *form : {"HOST[:PORT]", "a network printer's raw port (default 9100)", "usb:HOST:PORT",
                             "an installed TCP/IP port"})
        EXPECT_NE(help.find(form), std::string::npos) << form << "\n" << help;
    const std::string out = run("--machine " + (dir / "machine").string() + " send " + (dir / "none.bin").string() +
                                    " --port 127.0.0.1:9",
                                &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("cannot read the job file"), std::string::npos) << out;
}

} // namespace
