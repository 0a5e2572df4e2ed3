// `tarvel status` against the SNMP agent the monitor's network tests use
// (langmon/tests/net/snmp_peers.h), reached through TARVEL_STATUS_ENDPOINTS:
// the device ID fields, the trays and the display language, once and with
// --watch --count 2; a silent device; a malformed endpoint setting.
#include "host_test_support.h"

#include "../../langmon/tests/lm_device_fixture.h"
#include "../../langmon/tests/net/snmp_peers.h"

#include <plat/machine.h>
#include <plat/spooler.h>
#include <plat/text.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace {

namespace fs = std::filesystem;

::testing::Environment *const g_peers = ::testing::AddGlobalTestEnvironment(new SnmpPeersEnvironment);

const std::string kDeviceIdOid = ".1.3.6.1.4.1.64927.8.64.4.2.1.7.2.28110202";
const std::string kDisplayLanguageOid = ".1.3.6.1.2.1.43.5.1.1.10";

class HostStatusTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        ASSERT_EQ(SnmpPeers::get().failure(), "") << "the SNMP agents are needed";
        dir = fs::temp_directory_path() / ("tarvel-status-" + std::to_string(getpid()));
        fs::remove_all(dir);
        /* the agents' port, nothing on raw port 9, 300 ms per SNMP try, short TCP waits */
        const std::string endpoints = std::to_string(SnmpPeers::get().port()) + ",9,300,1000,50";
        setenv("TARVEL_STATUS_ENDPOINTS", endpoints.c_str(), 1);
    }
    void TearDown() override
    {
        unsetenv("TARVEL_STATUS_ENDPOINTS");
        SnmpPeers::get().serve(SnmpPeers::kV1AndV3, "");
        fs::remove_all(dir);
    }

    std::string status(const std::string &args, int *exitCode) const
    {
        return run("--machine " + (dir / "machine").string() + " status " + args, exitCode);
    }

    /* An idle device with 128 MB (4 units of 32) and tray 1 holding A4 (state 2, paper code 2): word 0x8002. */
    static std::string device_rows(int language, std::vector<BYTE> block = idle_block())
    {
        block[14] = 4;
        block[36] = 0x80;
        block[37] = 0x02;
        return kDeviceIdOid + "\tstring\t" + device_id(sts_of(block)) + "\n" + kDisplayLanguageOid + "\tinteger\t" +
               std::to_string(language) + "\n";
    }

    fs::path dir;
};

TEST_F(HostStatusTest, PrintsTheDeviceIdFieldsTraysAndDisplayLanguage)
{
    SnmpPeers::get().serve(SnmpPeers::kV1AndV3, device_rows(6));
    int code = -1;
    const std::string out = status("--port IP_" + std::string(SnmpPeers::kV1AndV3), &code);
    EXPECT_EQ(code, 0) << out;
    /* the name is the device ID's model field; A4 is 210 x 297 mm: short edge 2100, long edge 2970 in 0.1 mm; tray paper code 25 */
    EXPECT_EQ(out, "device: Lumaset K4100\n"
                   "  memory 128 MB, hard disk no, RAM disk no, duplex unit no\n"
                   "  tray 1: paper 25, 2100 x 2970 (0.1 mm)\n"
                   "  display language 6\n");
}

TEST_F(HostStatusTest, WatchWithACountPrintsThatManyRounds)
{
    SnmpPeers::get().serve(SnmpPeers::kV1AndV3, device_rows(3));
    int code = -1;
    const std::string out = status("--port IP_" + std::string(SnmpPeers::kV1AndV3) + " --watch --interval 1 --count 2",
                                   &code);
    EXPECT_EQ(code, 0) << out;
    const std::string round = "device: Lumaset K4100\n"
                              "  memory 128 MB, hard disk no, RAM disk no, duplex unit no\n"
                              "  tray 1: paper 25, 2100 x 2970 (0.1 mm)\n"
                              "  display language 3\n";
    EXPECT_EQ(out, round + "\n" + round) << "two rounds, a blank line between them";
}

TEST_F(HostStatusTest, SilentDeviceIsReportedAsNotAnswering)
{
    int code = -1;
    const std::string out = status("--port IP_" + std::string(SnmpPeers::kSilent), &code);
    EXPECT_EQ(code, 1) << out;
    EXPECT_EQ(out.rfind("device: not answering\n", 0), 0u) << out;
    EXPECT_NE(out.find("tarvel status: nothing answers at " + std::string(SnmpPeers::kSilent) + " (port IP_"),
              std::string::npos)
        << out;
}

TEST_F(HostStatusTest, PortsThatCannotBeReadOverTheNetworkAreRefusedAndAddedOnesCanBeRemoved)
{
    struct Case {
        std::string port;
        const char *message;
    } const cases[] = {
        {"COM1:", "'COM1:' is not a TCP/IP port; the status is read over the network"},
        {"FILE:", "'FILE:' is not a TCP/IP port"},
        {"IP_999.1.1.1", "'IP_999.1.1.1' names no address"},
        {"IP_1.2.3", "'IP_1.2.3' names no address"},
        {"IP_a..b", "'IP_a..b' names no address"},
        {"IP_-printer", "'IP_-printer' names no address"},
        {"IP_has space", "names no address"},
        {"IP_" + std::string(254, 'a'), "names no address"},
        {"NoSuchPort", "'NoSuchPort' is not an installed port"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.port);
        int code = -1;
        const std::string out = status("--port '" + c.port + "'", &code);
        EXPECT_EQ(code, 2) << out;
        EXPECT_NE(out.find(c.message), std::string::npos) << out;
    }
    plat::machine_reset((dir / "machine").string());
    DWORD needed = 0, count = 0;
    EnumPortsW(nullptr, 2, nullptr, 0, &needed, &count);
    std::vector<BYTE> ports(needed ? needed : 1);
    ASSERT_TRUE(EnumPortsW(nullptr, 2, ports.data(), needed, &needed, &count));
    for (DWORD i = 0; i < count; i++)
        EXPECT_NE(plat::utf16_to_utf8(reinterpret_cast<const PORT_INFO_2W *>(ports.data())[i].pPortName).rfind("IP_", 0),
                  0u)
            << "no impossible port is stored";
    plat::machine_reset((dir / "idle").string());

    /* an added port goes with --remove; a built-in one or one a printer is on stays */
    const std::string port = "IP_" + std::string(SnmpPeers::kSilent);
    int code = -1;
    std::string out = status("--port " + port, &code);
    EXPECT_EQ(code, 1) << out;
    out = run("--machine " + (dir / "machine").string() + " install Office TARVEL1.DDD " + port, &code);
    ASSERT_EQ(code, 0) << out;
    out = status("--port " + port + " --remove", &code);
    EXPECT_EQ(code, 1) << out;
    EXPECT_NE(out.find("the port " + port + " is used by the printer Office; remove the printer first"),
              std::string::npos)
        << out;
    out = run("--machine " + (dir / "machine").string() + " remove Office", &code);
    ASSERT_EQ(code, 0) << out;
    out = status("--port " + port + " --remove", &code);
    EXPECT_EQ(code, 0) << out;
    EXPECT_NE(out.find("Removed port " + port), std::string::npos) << out;
    out = status("--port " + port + " --remove", &code);
    EXPECT_EQ(code, 2) << out;
    out = status("--port COM1: --remove", &code);
    EXPECT_EQ(code, 2) << out;
    EXPECT_NE(out.find("'COM1:' is not a TCP/IP port of this machine; nothing was removed"), std::string::npos) << out;
}

TEST_F(HostStatusTest, MalformedEndpointSettingIsRefused)
{
    for (const char *bad : {"161", "161,9100,3000,1000", "0,9100,3000,1000,50", "161,70000,3000,1000,50",
                            "161,9100,3000,1000,50,7", "a,b,c,d,e"}) {
        setenv("TARVEL_STATUS_ENDPOINTS", bad, 1);
        int code = -1;
        const std::string out = status("--port IP_" + std::string(SnmpPeers::kV1AndV3), &code);
        EXPECT_EQ(code, 2) << bad << ": " << out;
        EXPECT_NE(out.find("wants five numbers SNMPPORT,RAWPORT,SNMPMS,RECEIVEMS,PAUSEMS"), std::string::npos)
            << bad << ": " << out;
    }
}

TEST_F(HostStatusTest, PrinterInstalledByTarvelIsShownWithItsErrors)
{
    /* status code 140: a cover is open */
    std::vector<BYTE> door = idle_block();
    door[3] = 140;
    SnmpPeers::get().serve(SnmpPeers::kV1AndV3, device_rows(6, door));
    const std::string port = "IP_" + std::string(SnmpPeers::kV1AndV3);
    int code = -1;
    std::string out = run("--machine " + (dir / "machine").string() + " install Office TARVEL1.DDD " + port, &code);
    ASSERT_EQ(code, 0) << out;
    out = status("--port " + port, &code);
    EXPECT_EQ(code, 0) << out;
    /* the cover-open bit 0x8000 of the third status word; no job went through this monitor */
    EXPECT_EQ(out, "device: Lumaset K4100\n"
                   "  memory 128 MB, hard disk no, RAM disk no, duplex unit no\n"
                   "  tray 1: paper 25, 2100 x 2970 (0.1 mm)\n"
                   "  display language 6\n"
                   "printer Office:\n"
                   "  status 00000000 00000000 00008000\n"
                   "  errors: CoverOpen\n"
                   "  job: none\n");

    /* the cover shut again: the next round shows no error */
    SnmpPeers::get().serve(SnmpPeers::kV1AndV3, device_rows(6));
    out = status("--port " + port, &code);
    EXPECT_EQ(code, 0) << out;
    EXPECT_NE(out.find("printer Office:\n  status 00000000 00000000 00000001\n  errors: none\n  job: none\n"),
              std::string::npos)
        << out;
}

} // namespace
