// `tarvel send`: a job file through the language monitor to the project's
// PJL responder on a loopback port, the device's bytes and status lines;
// a device that refuses the connection ends the job within the time-out;
// bad arguments are refused with a message.
#include "host_test_support.h"

#include "../../langmon/tests/pjl_peer.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <string>

namespace {

namespace fs = std::filesystem;

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

TEST_F(HostSendTest, SendsTheJobAndPrintsTheDevicesLines)
{
    PjlPeer peer((dir / "record.bin").string());
    ASSERT_TRUE(peer.running());
    int status = -1;
    const std::string out = run(args("--port 127.0.0.1:" + std::to_string(peer.port)), &status);
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
    const std::string out = run(args("--port 127.0.0.1:" + std::to_string(peer.port) + " --timeout 1"), &status);
    EXPECT_EQ(status, 1) << out;
    EXPECT_NE(out.find("the device took nothing for 1 s"), std::string::npos) << out;
}

TEST_F(HostSendTest, BadArgumentsAreRefused)
{
    struct Case {
        std::string args;
        const char *message;
    } cases[] = {
        {"--port nowhere", "is neither HOST:PORT nor an installed TCP/IP port"},
        {"--port 127.0.0.1:0", "is neither HOST:PORT"},
        {"--port 127.0.0.1:99999", "is neither HOST:PORT"},
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
    const std::string out = run("--machine " + (dir / "machine").string() + " send " + (dir / "none.bin").string() +
                                    " --port 127.0.0.1:9",
                                &status);
    EXPECT_EQ(status, 1);
    EXPECT_NE(out.find("cannot read the job file"), std::string::npos) << out;
}

} // namespace
