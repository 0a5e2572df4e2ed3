/*
 * The monitor's SNMP session against real agents (Debian's snmpd): GETs of
 * the device ID and the display language with the community and with the
 * SNMPv3 user, the credential mode the retry leaves for later GETs, the job
 * table walk, agents that are silent or slow, and the device-ID read of a
 * Standard TCP/IP port with what it publishes.
 */
#include "net_fixture.h"

#include <plat/winsock.h>

#include <chrono>
#include <cstring>

namespace {

/* The agents of this program stop when its tests end. */
::testing::Environment *const g_peers = ::testing::AddGlobalTestEnvironment(new SnmpPeersEnvironment);

const std::string kId = device_id(sts_of(idle_block()));

double seconds_since(std::chrono::steady_clock::time_point t)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - t).count();
}

struct SessionHolder {
    explicit SessionHolder(SnmpSession *s) : session(s) {}
    ~SessionHolder() { LMN_CloseSession(session); }
    SnmpSession *session;
};

} // namespace

TEST_F(NetTest, DeviceIdReadWithTheCommunity)
{
    serve(SnmpPeers::kV1AndV3, device_row(kId));
    SessionHolder s(session_to(SnmpPeers::kV1AndV3));
    ASSERT_NE(s.session, nullptr);
    EXPECT_STREQ(s.session->community, "public");
    EXPECT_EQ(s.session->family, LMN_AF_INET);
    char text[LMN_VALUE_BYTES] = {};
    EXPECT_EQ(LMN_Get(s.session, text, nullptr, LMN_OID_DEVICE_ID, 0), 1);
    EXPECT_EQ(std::string(text), kId);
    EXPECT_EQ(g_snmpMode.load(), 0) << "the community answered";
}

TEST_F(NetTest, AgentOfTheUserOnlyAnswersAfterTheCommunityFetchTimesOut)
{
    serve(SnmpPeers::kV3Only, device_row(kId));
    serve(SnmpPeers::kV1AndV3, device_row("MFG:OSTREL;MDL:Other;"));
    SessionHolder v3(session_to(SnmpPeers::kV3Only));
    ASSERT_NE(v3.session, nullptr);
    char text[LMN_VALUE_BYTES] = {};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(LMN_Get(v3.session, text, nullptr, LMN_OID_DEVICE_ID, 0), 1);
    EXPECT_GE(seconds_since(start), 2 * kTestSnmpTimeoutMs / 1000.0 * 0.9) << "the community GET timed out first";
    EXPECT_EQ(std::string(text), kId);
    EXPECT_EQ(g_snmpMode.load(), 2) << "the retry switched the process to the user";

    /* later GETs on any port start with the user */
    SessionHolder both(session_to(SnmpPeers::kV1AndV3));
    const auto again = std::chrono::steady_clock::now();
    EXPECT_EQ(LMN_Get(both.session, text, nullptr, LMN_OID_DEVICE_ID, 0), 1);
    EXPECT_LT(seconds_since(again), kTestSnmpTimeoutMs / 1000.0) << "no time-out on the way";
    EXPECT_STREQ(text, "MFG:OSTREL;MDL:Other;");
    EXPECT_EQ(g_snmpMode.load(), 2);
}

TEST_F(NetTest, FailingUserFetchSwitchesBackToTheCommunity)
{
    serve(SnmpPeers::kV1AndV3, mib_row("." LMN_OID_DISPLAY_LANG, "integer", "5"));
    SessionHolder s(session_to(SnmpPeers::kV1AndV3));
    g_snmpMode = 2;
    int32_t lang = 0;
    /* the user's GET of a variable the agent lacks fails, the community's too: back to the community */
    EXPECT_EQ(LMN_Get(s.session, nullptr, &lang, "1.3.6.1.4.1.64927.1.1", 0), 0);
    EXPECT_EQ(g_snmpMode.load(), 0);
    EXPECT_EQ(LMN_Get(s.session, nullptr, &lang, LMN_OID_DISPLAY_LANG, 0), 1);
    EXPECT_EQ(lang, 5);
    EXPECT_EQ(g_snmpMode.load(), 0);
}

TEST_F(NetTest, GetNeedsExactlyOneOutput)
{
    SessionHolder s(session_to(SnmpPeers::kV1AndV3));
    char text[LMN_VALUE_BYTES];
    int32_t n = 0;
    EXPECT_EQ(LMN_Get(s.session, text, &n, LMN_OID_DEVICE_ID, 0), 0);
    EXPECT_EQ(LMN_Get(s.session, nullptr, nullptr, LMN_OID_DEVICE_ID, 0), 0);
    EXPECT_EQ(LMN_Get(nullptr, text, nullptr, LMN_OID_DEVICE_ID, 0), 0);
    EXPECT_EQ(g_snmpMode.load(), -1) << "nothing was asked";
}

TEST_F(NetTest, MalformedObjectNameIsARequestFailureAndNotRetried)
{
    SessionHolder s(session_to(SnmpPeers::kV1AndV3));
    char text[LMN_VALUE_BYTES];
    EXPECT_EQ(LMN_Get(s.session, text, nullptr, "1.3.x.6", 0), 0);
    EXPECT_EQ(g_snmpMode.load(), 0) << "the first attempt's community, no retry";
}

TEST_F(NetTest, LongValueKeepsItsFirst255Characters)
{
    const std::string id = "MFG:OSTREL;MDL:Lumaset K4100;" + std::string(300, 'x') + ";";
    serve(SnmpPeers::kV1AndV3, device_row(id));
    SessionHolder s(session_to(SnmpPeers::kV1AndV3));
    char text[LMN_VALUE_BYTES];
    std::memset(text, 0x7F, sizeof text);
    EXPECT_EQ(LMN_Get(s.session, text, nullptr, LMN_OID_DEVICE_ID, 0), 1);
    EXPECT_EQ(std::string(text), id.substr(0, 255));
}

TEST_F(NetTest, DisplayLanguageReadAsAnInteger)
{
    serve(SnmpPeers::kV1AndV3, mib_row("." LMN_OID_DISPLAY_LANG, "integer", "7"));
    SessionHolder s(session_to(SnmpPeers::kV1AndV3));
    int32_t lang = 0;
    EXPECT_EQ(LMN_Get(s.session, nullptr, &lang, LMN_OID_DISPLAY_LANG, 0), 1);
    EXPECT_EQ(lang, 7);
}

TEST_F(NetTest, JobTableWalkStopsAtTheEndOfItsColumn)
{
    serve(SnmpPeers::kV1AndV3, job_rows(1, "0300000000000000000000A1", 17) +
                                   job_rows(2, "0300000000000000000000A2", 14) + device_row(kId));
    SessionHolder s(session_to(SnmpPeers::kV1AndV3));
    ASSERT_EQ(LMN_Walk(s.session, LMN_OID_JOB_IDS, 0), 1);
    char value[LMN_VALUE_BYTES], oid[LMN_VALUE_BYTES];
    int32_t type = 0;
    std::vector<std::string> got;
    while (LMN_NextResult(s.session, value, &type, nullptr, oid)) {
        got.push_back(std::string(oid) + "=" + value);
        EXPECT_EQ(type, 4) << "OCTET STRING";
    }
    const std::vector<std::string> expected = {
        "1.3.6.1.4.1.64927.8.59.6.1.1.3.1=0300000000000000000000A1",
        "1.3.6.1.4.1.64927.8.59.6.1.1.3.2=0300000000000000000000A2",
    };
    EXPECT_EQ(got, expected);
    EXPECT_EQ(LMN_NextResult(s.session, value, &type, nullptr, oid), 0) << "nothing left";
}

TEST_F(NetTest, WalkOfAnEmptyTableAnswersWithNoResults)
{
    SessionHolder s(session_to(SnmpPeers::kV1AndV3));
    EXPECT_EQ(LMN_Walk(s.session, LMN_OID_JOB_IDS, 0), 1);
    EXPECT_EQ(s.session->results, nullptr);
}

TEST_F(NetTest, AddressWithNothingListeningFailsAtOnce)
{
    /* the host refuses the SNMP port (as a printer without SNMP does): no time-out is waited out */
    SessionHolder s(session_to(SnmpPeers::kSilent));
    ASSERT_NE(s.session, nullptr);
    char text[LMN_VALUE_BYTES] = {};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(LMN_Get(s.session, text, nullptr, LMN_OID_DEVICE_ID, 0), 0);
    const double limit = 4 * kTestSnmpTimeoutMs / 1000.0;
    EXPECT_LT(seconds_since(start), limit * 0.5);
    EXPECT_STREQ(text, "");
    EXPECT_EQ(LMN_Walk(s.session, LMN_OID_JOB_IDS, 0), 0);
}

TEST_F(NetTest, SlowAgentCountsAsNotAnswering)
{
    serve(SnmpPeers::kSlow, device_row(kId));
    SessionHolder s(session_to(SnmpPeers::kSlow));
    char text[LMN_VALUE_BYTES] = {};
    const auto start = std::chrono::steady_clock::now();
    EXPECT_EQ(LMN_Get(s.session, text, nullptr, LMN_OID_DEVICE_ID, 0), 0);
    /* a listening agent gets every try: two credentials, each with one try and one retry */
    const double limit = 4 * kTestSnmpTimeoutMs / 1000.0;
    EXPECT_LT(seconds_since(start), limit + 0.5);
    EXPECT_GE(seconds_since(start), limit * 0.9);
}

TEST_F(NetTest, HostsResolveToTheirNumericForm)
{
    char v6[256] = "::1";
    EXPECT_EQ(LMN_ResolveHost(v6), LMN_AF_INET6);
    EXPECT_STREQ(v6, "::1");
    char name[256] = "localhost";
    const int family = LMN_ResolveHost(name);
    EXPECT_TRUE(std::string(name) == "127.0.0.1" || std::string(name) == "::1") << name;
    EXPECT_TRUE(family == LMN_AF_INET || family == LMN_AF_INET6);
    char bad[256] = "no-such-host.invalid";
    EXPECT_EQ(LMN_ResolveHost(bad), LMN_AF_INET) << "addressed as IPv4";
    EXPECT_STREQ(bad, "no-such-host.invalid") << "kept as written";
    EXPECT_EQ(plat::winsock_users(), 0) << "start-ups balanced";
}

TEST_F(NetTest, MissingLibraryOrHostGivesNoSession)
{
    EXPECT_EQ(LMN_CreateSession(SnmpPeers::kV1AndV3, nullptr, "nosuchsm.DLL"), nullptr);
    EXPECT_EQ(LMN_OpenSession(nullptr, nullptr), nullptr);
    EXPECT_EQ(LMN_OpenSession("", "public"), nullptr);
    SessionHolder s(LMN_OpenSession(SnmpPeers::kV1AndV3, "private"));
    ASSERT_NE(s.session, nullptr);
    EXPECT_STREQ(s.session->community, "private");
    EXPECT_STREQ(s.session->credentials.user, "Qlinkers");
    EXPECT_EQ(s.session->credentials.securityLevel, 2);
    EXPECT_EQ(s.session->credentials.authProtocol, 1);
    EXPECT_EQ(s.session->credentials.privProtocol, 1);
    EXPECT_STREQ(s.session->credentials.authPassPhrase, "7pelQoWNrasT51kobu9d");
    EXPECT_STREQ(s.session->credentials.privPassPhrase, "GAMOV48lirEbtacwo2sy");
    EXPECT_STREQ(s.session->credentials.context, "");
}

/* ---- The device-ID read of a Standard TCP/IP port ---------------------------------- */

class NetPortTest : public NetTest {
protected:
    MonitorPort *open_tcp(const char *address)
    {
        add_tcp_port(address);
        const std::u16string name = u"IP_" + plat::utf8_to_utf16(address);
        add_printer(u"Office", name);
        HANDLE h = nullptr;
        EXPECT_TRUE(open(name.c_str(), &h));
        return rec(h);
    }

    static void status_words(MonitorPort *port, DWORD words[3])
    {
        LMP_Lock(port);
        ASSERT_TRUE(LMS_ReadPrinterStatus(port, words));
        LMP_Unlock(port);
    }
};

TEST_F(NetPortTest, SupportedModelIsIdentified)
{
    serve(SnmpPeers::kV1AndV3, device_row(kId));
    MonitorPort *port = open_tcp(SnmpPeers::kV1AndV3);
    ASSERT_NE(port, nullptr);
    ASSERT_EQ(port->portKind & (KIND_NETWORK | KIND_BIDI), KIND_NETWORK | KIND_BIDI);
    ASSERT_NE(port->snmpSession, nullptr) << "the session opens with the port";
    EXPECT_TRUE(LMS_QueryDeviceId(port));
    EXPECT_TRUE(LMP_TestState(port, ST_IDENTIFIED));
    EXPECT_TRUE(LMP_TestState(port, ST_FRESH));
    EXPECT_FALSE(LMP_TestState(port, ST_UNREACHABLE));
}

TEST_F(NetPortTest, OtherModelIsShownAsSuch)
{
    serve(SnmpPeers::kV1AndV3, device_row("MFG:Other;MDL:Laser 9;CMD:PJL;"));
    MonitorPort *port = open_tcp(SnmpPeers::kV1AndV3);
    ASSERT_NE(port, nullptr);
    EXPECT_FALSE(LMS_QueryDeviceId(port));
    EXPECT_FALSE(LMP_TestState(port, ST_IDENTIFIED));
    DWORD words[3];
    status_words(port, words);
    EXPECT_EQ(words[0], 0u);
    EXPECT_EQ(words[1], 0x200u);
}

TEST_F(NetPortTest, SilentDeviceIsShownAsGone)
{
    MonitorPort *port = open_tcp(SnmpPeers::kSilent);
    ASSERT_NE(port, nullptr);
    port->portMode = 3;
    LMP_SetState(port, ST_IDENTIFIED);
    EXPECT_FALSE(LMS_QueryDeviceId(port));
    EXPECT_TRUE(LMP_TestState(port, ST_UNREACHABLE));
    EXPECT_FALSE(LMP_TestState(port, ST_IDENTIFIED));
    EXPECT_EQ(port->portMode, 0u) << "no job open";
    DWORD words[3];
    status_words(port, words);
    EXPECT_EQ(words[0], 0u);
    EXPECT_EQ(words[1], 0x10000u);
    EXPECT_EQ(words[2], 0u);
}
