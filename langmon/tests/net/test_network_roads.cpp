/*
 * A Standard TCP/IP port end to end against real peers: snmpd serving the
 * device ID, the job table and the display language, and the project's PJL
 * responder on the raw port of the same address.  Poll cycles follow the
 * agent as its answers change; the "LM_" values and the spooler's port
 * status follow them; named requests and tool exchanges carry their bytes
 * to the responder, checked byte for byte against bytes written here.
 */
#include "../pjl_peer.h"
#include "named_requests.h"
#include "net_fixture.h"

#include <cstring>
#include <fstream>
#include <sstream>
#include <thread>

namespace {

const std::string kUel = "\x1b%-12345X";
const std::string kKeepAlive = kUel + "@PJL" + kUel;
const std::string kIdleId = device_id(sts_of(idle_block()));
const char *const kJobA = "0300AABBCCDD0000000000A1";

std::string record_path()
{
    static int n = 0;
    return "/tmp/tarvel-net-pjl-" + std::to_string(getpid()) + "-" + std::to_string(++n) + ".bin";
}

/* A value name: the request's UTF-16 characters, then (for "GetPJL:") narrow bytes packed two to a character. */
std::u16string value_name(const std::u16string &request, const std::string &narrow = "")
{
    std::u16string name = request;
    std::string bytes = narrow;
    bytes.push_back('\0');
    if (bytes.size() % 2)
        bytes.push_back('\0');
    for (size_t i = 0; i < bytes.size(); i += 2)
        name.push_back(char16_t(BYTE(bytes[i]) | BYTE(bytes[i + 1]) << 8));
    name.push_back(0);
    return name;
}

class NetRoadTest : public NetTest {
protected:
    MonitorPort *served_tcp(const char *address)
    {
        add_tcp_port(address);
        portName = u"IP_" + plat::utf8_to_utf16(address);
        add_printer(u"Office", portName);
        HANDLE h = nullptr;
        EXPECT_TRUE(open(portName.c_str(), &h, u"Office"));
        MonitorPort *port = rec(h);
        if (!port)
            return nullptr;
        EXPECT_TRUE(LMS_PublishToManager(port));
        EXPECT_TRUE(eventually([&] { return sm.registrations() == 1; }));
        sm.clearLog();
        return port;
    }

    static std::vector<DWORD> status_words(MonitorPort *port)
    {
        DWORD w[3] = {};
        LMP_Lock(port);
        LMS_ReadPrinterStatus(port, w);
        LMP_Unlock(port);
        return {w[0], w[1], w[2]};
    }

    std::pair<DWORD, DWORD> port_status()
    {
        DWORD status = 99, severity = 99;
        EXPECT_TRUE(plat::spool_port_status(portName, &status, &severity));
        return {status, severity};
    }

    /* The job record "PrintingJobInfo2" shows: its spooler job id and flags. */
    static std::pair<DWORD, DWORD> shown_record(MonitorPort *port)
    {
        LMP_Lock(port);
        StatusVariable *row = LMS_LookupVariable("PrintingJobInfo2", port);
        DWORD id = 0, flags = 0;
        if (row && row->value) {
            std::memcpy(&id, static_cast<BYTE *>(row->value) + LM_RECORD_JOB_ID, 4);
            flags = row->flags;
        }
        LMP_Unlock(port);
        return {id, flags};
    }

    static void queue_job(MonitorPort *port, DWORD id, const char *identifier)
    {
        ASSERT_TRUE(LMJ_QueueJob(id, port));
        ASSERT_TRUE(LMJ_SetQueuedJobText(identifier, 1, port));
    }

    std::u16string portName;
};

TEST_F(NetRoadTest, PollCyclesFollowTheAgent)
{
    serve(SnmpPeers::kV1AndV3, device_row(kIdleId));
    MonitorPort *port = served_tcp(SnmpPeers::kV1AndV3);
    ASSERT_NE(port, nullptr);

    /* round 1: the supported model, idle */
    EXPECT_TRUE(LMS_PollRound(port));
    EXPECT_TRUE(LMP_TestState(port, ST_IDENTIFIED));
    EXPECT_FALSE(LMP_TestState(port, ST_UNREACHABLE));
    char sysName[32] = {};
    DWORD n = 0;
    GetPrinterDataFromPort(port, 0, const_cast<LPWSTR>(u"LM_SysName"), nullptr, 0, reinterpret_cast<LPWSTR>(sysName),
                           sizeof sysName, &n);
    EXPECT_STREQ(sysName, "Lumaset K4100");
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    const std::vector<DWORD> idle = status_words(port);
    EXPECT_EQ(idle[1] & 0x10300, 0u) << "answering, the supported model";
    const auto first = port_status();
    EXPECT_EQ(first, std::make_pair(DWORD(0), DWORD(0))) << "idle: nothing to show";

    /* round 2: its door is open */
    std::vector<BYTE> door = idle_block();
    door[3] = 140;
    serve(SnmpPeers::kV1AndV3, device_row(device_id(sts_of(door))));
    EXPECT_TRUE(LMS_PollRound(port));
    EXPECT_EQ(port_status(), std::make_pair(DWORD(PORT_STATUS_DOOR_OPEN), DWORD(PORT_STATUS_TYPE_ERROR)));
    EXPECT_EQ(status_words(port)[2] & 0x8000, 0x8000u);

    /* round 3: another model answers on the address */
    serve(SnmpPeers::kV1AndV3, device_row("MFG:Other;MDL:Laser 9;CMD:PJL;"));
    EXPECT_TRUE(LMS_PollRound(port));
    EXPECT_FALSE(LMP_TestState(port, ST_IDENTIFIED));
    EXPECT_EQ(status_words(port), (std::vector<DWORD>{0, 0x200, 0}));
    const auto second = port_status();
    EXPECT_EQ(second, first) << "another model's state is not shown on the port";

    /* round 4: the agent has nothing: the device counts as gone */
    serve(SnmpPeers::kV1AndV3, "");
    EXPECT_TRUE(LMS_PollRound(port));
    EXPECT_TRUE(LMP_TestState(port, ST_UNREACHABLE));
    EXPECT_EQ(status_words(port), (std::vector<DWORD>{0, 0x10000, 0}));
    EXPECT_EQ(ask(port, u"LM_SysName"), -1) << "the \"LM_\" values answer that the device is silent";

    /* round 5: back again, fresh */
    serve(SnmpPeers::kV1AndV3, device_row(kIdleId));
    EXPECT_TRUE(LMS_PollRound(port));
    EXPECT_TRUE(LMP_TestState(port, ST_IDENTIFIED));
    EXPECT_FALSE(LMP_TestState(port, ST_UNREACHABLE));
    EXPECT_EQ(port_status(), first);
}

TEST_F(NetRoadTest, LmValuesAskTheAgentWhenTheTableIsStale)
{
    serve(SnmpPeers::kV1AndV3, device_row(kIdleId));
    MonitorPort *port = served_tcp(SnmpPeers::kV1AndV3);
    ASSERT_NE(port, nullptr);
    DWORD returned = 0;
    BOOL result = TRUE;
    /* size 0 asks for the size: 4 + 32 per tray */
    ask(port, u"LM_InputTray", 0, &result, &returned);
    EXPECT_FALSE(result);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ((returned - 4) % 32, 0u);
    EXPECT_TRUE(LMP_TestState(port, ST_IDENTIFIED)) << "the stale table read the device ID";
    /* a longer name than the value's is recognised and answers nothing */
    returned = 77;
    ask(port, u"LM_InputTrayX", 4, &result, &returned);
    EXPECT_EQ(returned, 0u);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(NetRoadTest, JobTableStateOtherThanDoneEndsTheWalkWithTheStartRecord)
{
    serve(SnmpPeers::kV1AndV3, device_row(kIdleId) + job_rows(1, "SHORT", 17) + job_rows(2, kJobA, 5));
    MonitorPort *port = served_tcp(SnmpPeers::kV1AndV3);
    ASSERT_NE(port, nullptr);
    queue_job(port, 5, kJobA);
    EXPECT_TRUE(LMS_PollRound(port));
    const auto shown = shown_record(port);
    EXPECT_EQ(shown.first, 5u);
    EXPECT_TRUE(shown.second & SVF_JOB_START);
    EXPECT_FALSE(shown.second & SVF_JOB_CLOSE) << "state 5 ends the walk before the closing record";
    EXPECT_STREQ(port->jobQueueHead->identifier, "") << "reported";
    EXPECT_EQ(port->snmpSession->results, nullptr) << "the walk's results are freed";
}

TEST_F(NetRoadTest, JobTableDoneStateClosesAndReleasesTheFirstJob)
{
    serve(SnmpPeers::kV1AndV3, device_row(kIdleId) + job_rows(3, "0300FFFFFFFF00000000FFFF", 17));
    MonitorPort *port = served_tcp(SnmpPeers::kV1AndV3);
    ASSERT_NE(port, nullptr);
    const DWORD job = make_job(u"Office", u"Report");
    queue_job(port, job, kJobA);
    /* a job the device does not list changes nothing */
    EXPECT_TRUE(LMS_PollRound(port));
    ASSERT_NE(queue_head_of(port), nullptr);
    EXPECT_STREQ(queue_head_of(port)->identifier, kJobA);
    EXPECT_TRUE(job_exists(job));

    /* the device lists it as done: its records are installed, the job leaves the queue and the spooler */
    serve(SnmpPeers::kV1AndV3, device_row(kIdleId) + job_rows(3, kJobA, 17));
    EXPECT_TRUE(LMS_PollRound(port));
    EXPECT_EQ(queue_head_of(port), nullptr);
    EXPECT_FALSE(job_exists(job));
    EXPECT_EQ(plat::spool_release_count(job), 1u);
    /* a later poll that still sees it done releases nothing more */
    EXPECT_TRUE(LMS_PollRound(port));
    EXPECT_EQ(plat::spool_release_count(job), 1u);
}

TEST_F(NetRoadTest, JobGoesWholeWhenTheDeviceDoesNotAnswerSnmp)
{
    /* a network printer without SNMP: its status is unknown, its raw port takes the job as it is */
    MonitorPort *port = served_tcp(SnmpPeers::kSilent);
    ASSERT_NE(port, nullptr);
    const DWORD job = make_job(u"Office", u"Report");
    const std::string data = kUel + "@PJL ENTER LANGUAGE=PCLXL\r\n) HP-PCL XL;2;0\r\n<page data>" + kUel;
    const size_t before = plat::portmon_written().size();
    DOC_INFO_1W info{const_cast<LPWSTR>(u"Report"), nullptr, nullptr};
    ASSERT_TRUE(StartDocPort(port, const_cast<LPWSTR>(u"Office"), job, 1, reinterpret_cast<LPBYTE>(&info)));
    EXPECT_TRUE(LMP_TestState(port, ST_UNREACHABLE));
    size_t taken = 0;
    for (int i = 0; i < 5 && taken < data.size(); ++i) {
        std::string rest = data.substr(taken);
        DWORD n = 0;
        ASSERT_TRUE(WritePort(port, reinterpret_cast<LPBYTE>(rest.data()), DWORD(rest.size()), &n));
        taken += n;
    }
    EXPECT_EQ(taken, data.size()) << "taken at once, not held for an SNMP answer";
    ASSERT_TRUE(EndDocPort(port));
    EXPECT_EQ(plat::portmon_written().substr(before), data) << "no header, no trailer, the job's own exit kept";
}

TEST_F(NetRoadTest, DisplayLanguageByTheAgent)
{
    serve(SnmpPeers::kV1AndV3, device_row(kIdleId) + mib_row("." LMN_OID_DISPLAY_LANG, "integer", "6"));
    MonitorPort *port = served_tcp(SnmpPeers::kV1AndV3);
    ASSERT_NE(port, nullptr);
    EXPECT_EQ(ask(port, u"LM_DisplayLang") & 0xFFFF, 6) << "the language as a 16-bit value";
    EXPECT_EQ(port->displayLang, 6u);
    EXPECT_EQ(ask(port, u"LM_DisplayLangStatus"), 0);

    serve(SnmpPeers::kV1AndV3, device_row(kIdleId));
    EXPECT_EQ(ask(port, u"LM_DisplayLang") & 0xFFFF, 0);
    EXPECT_EQ(ask(port, u"LM_DisplayLangStatus"), LONG(ERROR_INVALID_PRINTER_STATE));

    serve(SnmpPeers::kV1AndV3, "");
    EXPECT_EQ(ask(port, u"LM_DisplayLang") & 0xFFFF, 0);
    EXPECT_EQ(ask(port, u"LM_DisplayLangStatus"), LONG(ERROR_DEVICE_NOT_CONNECTED));
}

/* ---- Named requests and tool exchanges against the agent and the responder ---------- */

class NetToolTest : public NetRoadTest {
protected:
    void SetUp() override
    {
        NetRoadTest::SetUp();
        peer = std::make_unique<PjlPeer>(record_path(), std::vector<std::string>{"--host", SnmpPeers::kV1AndV3});
        ASSERT_TRUE(peer->running());
        LmnEndpoints e = LMN_Endpoints();
        e.rawPort = peer->port;
        LMN_SetEndpoints(e);
        serve(SnmpPeers::kV1AndV3, device_row(kIdleId));
        port = served_tcp(SnmpPeers::kV1AndV3);
        ASSERT_NE(port, nullptr);
    }

    void TearDown() override
    {
        peer.reset();
        NetRoadTest::TearDown();
    }

    /* Open TCP connections of this machine to the responder (IPv4, state established). */
    int connections_to_peer() const
    {
        std::ifstream tcp("/proc/net/tcp");
        std::string line;
        std::getline(tcp, line);
        int n = 0;
        while (std::getline(tcp, line)) {
            std::istringstream fields(line);
            std::string slot, local, remote, state;
            fields >> slot >> local >> remote >> state;
            const size_t colon = remote.find(':');
            if (colon != std::string::npos && std::stoul(remote.substr(colon + 1), nullptr, 16) == peer->port &&
                state == "01")
                ++n;
        }
        return n;
    }

    std::unique_ptr<PjlPeer> peer;
    MonitorPort *port = nullptr;
};

TEST_F(NetToolTest, GetPjlIsSentAsGivenAndAnsweredWithTheDeviceReply)
{
    const std::u16string name = value_name(u"GetPJL:", "@PJL INFO PAGECOUNT\r\n");
    char answer[256];
    std::memset(answer, 0x55, sizeof answer);
    DWORD n = 0;
    EXPECT_FALSE(GetPrinterDataFromPort(port, 0, const_cast<LPWSTR>(name.c_str()), nullptr, 0,
                                        reinterpret_cast<LPWSTR>(answer), sizeof answer, &n));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_STREQ(answer, "@PJL INFO PAGECOUNT\r\nPAGECOUNT=1234\r\n\f");
    EXPECT_EQ(peer->received(), "@PJL INFO PAGECOUNT\r\n");
    EXPECT_EQ(port->tcpClient, nullptr) << "the connection is closed again";
}

TEST_F(NetToolTest, ExchangesCarryTheirBlocksByteForByte)
{
    const std::string status = kUel + "@PJL INFO STATUS\r\n" + kUel;
    const std::string setting = kUel + "@PJL DEFAULT COPIES=2\r\n" + kUel;
    const std::string tag = kUel + "@PJL INFO SERVICETAG\r\n" + kUel;

    /* "ToolBox:": the block out, the device's answer back in "TBValue" */
    set_manager_value("TBValue", status);
    BOOL result = TRUE;
    DWORD returned = 0;
    EXPECT_EQ(ask(port, u"ToolBox:Office", 4, &result, &returned), 0);
    EXPECT_FALSE(result);
    EXPECT_EQ(returned, 4u);
    EXPECT_EQ(manager_value("TBValue"), kPjlStatusReply + '\0');
    EXPECT_EQ(rw_result(), 0);

    /* "ToolBox2:": the block out, no answer */
    set_manager_value("TBValue2", setting);
    EXPECT_EQ(ask(port, u"ToolBox2:Office"), 0);
    EXPECT_EQ(rw_result(), 0);
    EXPECT_EQ(manager_value("TBValue"), kPjlStatusReply + '\0')
        << "not written";

    /* a reservation: start, a block out, the answer in, a read with nothing coming, end */
    EXPECT_EQ(ask(port, u"ToolBoxUstatusStart_MachineCheck:Office", 4, &result), LONG(0xCCCCCCCC))
        << "nothing written into the buffer";
    EXPECT_FALSE(result);
    EXPECT_EQ(LMP_Busy(port), 1u);
    EXPECT_NE(port->tcpClient, nullptr);
    EXPECT_EQ(rw_result(), 0);
    EXPECT_EQ(ask(port, u"ToolBox:Office"), LM_ANSWER_BUSY) << "the device is reserved";
    EXPECT_EQ(ask(port, u"Refresh:Office"), LM_ANSWER_BUSY);

    set_manager_value("ToolBoxUstatusRead", tag);
    ask(port, u"ToolBoxUstatusRead:Office", 4, &result);
    EXPECT_EQ(rw_result(), 0);
    set_manager_value("ToolBoxUstatusRead", "GetResponse");
    ask(port, u"ToolBoxUstatusRead:Office", 4, &result);
    EXPECT_EQ(rw_result(), 0);
    EXPECT_EQ(manager_value("TBValue"), std::string("@PJL INFO SERVICETAG\r\nAB12CD3\r\n\f") + '\0');

    /* nothing comes: three receive rounds of five tries, a keep-alive every fifth try */
    ask(port, u"ToolBoxUstatusRead:Office", 4, &result);
    EXPECT_EQ(rw_result(), LM_ANSWER_EXCHANGE_FAILED);
    EXPECT_EQ(manager_value("TBValue"), std::string(1, '\0'));

    EXPECT_TRUE(GetPrinterDataFromPort(port, 0, const_cast<LPWSTR>(u"ToolBoxUstatusEnd:Office"), nullptr, 0, nullptr,
                                       0, nullptr));
    EXPECT_EQ(LMP_Busy(port), 0u);
    EXPECT_EQ(port->tcpClient, nullptr);
    EXPECT_EQ(rw_result(), 0);

    const std::string expected = status + setting + tag + kKeepAlive + kKeepAlive + kKeepAlive;
    EXPECT_EQ(peer->received_at_least(expected.size()), expected);
}

TEST_F(NetToolTest, RefusedExchangesAnswerWithoutTheDevice)
{
    set_manager_value("TBValue", "@PJL INFO STATUS\r\n");
    /* a 2-byte buffer: 122, an empty answer, nothing written into the buffer */
    BYTE small[6] = {0xCC, 0xCC, 0xCC, 0xCC, 0xCC, 0xCC};
    DWORD n = 0;
    EXPECT_FALSE(GetPrinterDataFromPort(port, 0, const_cast<LPWSTR>(u"ToolBox:Office"), nullptr, 0,
                                        reinterpret_cast<LPWSTR>(small), 2, &n));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(small[0], 0xCC);
    EXPECT_EQ(manager_value("TBValue"), std::string(1, '\0'));
    EXPECT_EQ(rw_result(), 122);

    /* a read without a reservation */
    set_manager_value("ToolBoxUstatusRead", "GetResponse");
    ask(port, u"ToolBoxUstatusRead:Office");
    EXPECT_EQ(rw_result(), 87);

    /* a printer the port does not serve: refused, nothing written */
    sm.clearLog();
    EXPECT_EQ(ask(port, u"ToolBox:Elsewhere"), LM_ANSWER_REFUSED);
    EXPECT_TRUE(calls("UpdatePrinterStatusA").empty());

    /* a start while a job is open: -38, the device stays free */
    LMP_SetState(port, ST_JOB_OPEN);
    ask(port, u"ToolBoxUstatusStart:Office");
    EXPECT_EQ(rw_result(), LM_ANSWER_BUSY);
    EXPECT_EQ(LMP_Busy(port), 0u);
    EXPECT_EQ(ask(port, u"ToolBox:Office"), LM_ANSWER_BUSY);
    LMP_ClearState(port, ST_JOB_OPEN);

    EXPECT_EQ(peer->received(), "") << "the device heard nothing";
}

TEST_F(NetToolTest, RequestTable)
{
    struct Case {
        std::u16string name;
        LONG answer;
    };
    const std::vector<Case> cases = {
        {u"IsWakeup", 330},
        {u"Wake Up", 0},
        {u"Wake Up", LM_ANSWER_REFUSED},
        {u"Stop Polling", 0},
        {u"Stop Polling", LM_ANSWER_REFUSED},
        {u"Suspend", 0},
    };
    for (const Case &c : cases) {
        DWORD returned = 0;
        EXPECT_EQ(ask(port, c.name, 4, nullptr, &returned), c.answer) << plat::utf16_to_utf8(c.name);
        EXPECT_EQ(returned, 4u);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    }
    /* exact names take nothing more; short buffers get 122 */
    DWORD returned = 0;
    BOOL result = TRUE;
    ask(port, u"IsWakeupX", 4, &result, &returned);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(returned, 0u);
    EXPECT_EQ(ask(port, u"IsWakeup", 3), LONG(0xCCCCCCCC));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    /* a job open refuses a suspend */
    LMP_SetState(port, ST_JOB_OPEN);
    EXPECT_EQ(ask(port, u"Suspend"), LM_ANSWER_REFUSED);
    EXPECT_EQ(ask(port, u"Refresh:Office"), LM_ANSWER_BUSY);
    LMP_ClearState(port, ST_JOB_OPEN);
    /* queued jobs: the service tag is not asked */
    queue_job(port, 3, kJobA);
    char tag[8];
    std::memset(tag, 0x55, sizeof tag);
    GetPrinterDataFromPort(port, 0, const_cast<LPWSTR>(u"LM_ServiceTag"), nullptr, 0, reinterpret_cast<LPWSTR>(tag),
                           sizeof tag, &returned);
    EXPECT_EQ(std::string(tag, 8), std::string(8, '\0'));
    EXPECT_EQ(ask(port, u"LM_ServiceTagStatus"), LONG(ERROR_INVALID_PRINTER_STATE));
    EXPECT_EQ(peer->received(), "");
}

TEST_F(NetToolTest, EndDuringAReadClosesTheConnectionWhenTheReadIsDone)
{
    BOOL result = TRUE;
    ask(port, u"ToolBoxUstatusStart:Office", 4, &result);
    ASSERT_EQ(LMP_Busy(port), 1u);
    ASSERT_TRUE(eventually([&] { return connections_to_peer() == 1; }));
    /* nothing comes, so the read waits through its receive rounds while the tool ends the reservation */
    set_manager_value("ToolBoxUstatusRead", "GetResponse");
    std::thread reader([&] { ask(port, u"ToolBoxUstatusRead:Office"); });
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    EXPECT_TRUE(GetPrinterDataFromPort(port, 0, const_cast<LPWSTR>(u"ToolBoxUstatusEnd:Office"), nullptr, 0, nullptr,
                                       0, nullptr));
    reader.join();
    EXPECT_EQ(LMP_Busy(port), 0u);
    EXPECT_EQ(port->tcpClient, nullptr) << "not given back to an ended reservation";
    EXPECT_TRUE(eventually([&] { return connections_to_peer() == 0; }));
}

TEST_F(NetToolTest, NewStartDuringAReadKeepsItsOwnConnection)
{
    BOOL result = TRUE;
    ask(port, u"ToolBoxUstatusStart:Office", 4, &result);
    ASSERT_EQ(LMP_Busy(port), 1u);
    set_manager_value("ToolBoxUstatusRead", "GetResponse");
    std::thread reader([&] { ask(port, u"ToolBoxUstatusRead:Office"); });
    std::this_thread::sleep_for(std::chrono::milliseconds(150));
    GetPrinterDataFromPort(port, 0, const_cast<LPWSTR>(u"ToolBoxUstatusEnd:Office"), nullptr, 0, nullptr, 0, nullptr);
    ask(port, u"ToolBoxUstatusStart_Send:Office", 4, &result);
    EXPECT_EQ(LMP_Busy(port), 1u);
    LMP_Lock(port);
    TcpClient *started = port->tcpClient;
    LMP_Unlock(port);
    EXPECT_NE(started, nullptr);
    reader.join();
    EXPECT_EQ(port->tcpClient, started) << "the read's connection did not take the new one's place";
    EXPECT_TRUE(eventually([&] { return connections_to_peer() == 1; })) << "the read's connection is closed";
}

TEST_F(NetToolTest, ClosingThePortClosesAReservationsConnection)
{
    BOOL result = TRUE;
    ask(port, u"ToolBoxUstatusStart_Send:Office", 4, &result);
    ASSERT_EQ(LMP_Busy(port), 1u);
    ASSERT_NE(port->tcpClient, nullptr);
    ASSERT_TRUE(eventually([&] { return connections_to_peer() == 1; }));
    EXPECT_TRUE(LMP_ClosePort(port));
    port = nullptr;
    EXPECT_TRUE(eventually([&] { return connections_to_peer() == 0; }));
}

} // namespace
