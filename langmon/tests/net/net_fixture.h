/*
 * Fixture of the monitor's network tests: the status fixture with the SNMP
 * agents of this process (snmp_peers.h) and the monitor's endpoints pointed
 * at them with short time-outs, the credential mode back at "not yet
 * asked", and helpers for Standard TCP/IP ports and the agents' tables.
 */
#ifndef TARVEL_LANGMON_NET_FIXTURE_H
#define TARVEL_LANGMON_NET_FIXTURE_H

#include "../lm_device_fixture.h"
#include "../lm_status_fixture.h"
#include "network.h"
#include "snmp_peers.h"

#include <string>

/* Time-out per SNMP try in these tests; a GET tries twice, and the monitor asks with both credentials. */
inline constexpr int kTestSnmpTimeoutMs = 300;

inline std::string mib_row(const std::string &oid, const std::string &type, const std::string &value)
{
    return oid + "\t" + type + "\t" + value + "\n";
}

inline std::string device_row(const std::string &id) { return mib_row("." LMN_OID_DEVICE_ID, "string", id); }

/* One row of the device's job table: identifier (column 3), column 4, state (column 9). */
inline std::string job_rows(int index, const std::string &identifier, int state)
{
    const std::string entry = ".1.3.6.1.4.1.64927.8.59.6.1.1.";
    const std::string i = std::to_string(index);
    return mib_row(entry + "3." + i, "string", identifier) + mib_row(entry + "4." + i, "integer", "1") +
           mib_row(entry + "9." + i, "integer", std::to_string(state));
}

class NetTest : public StatusTest {
protected:
    void SetUp() override
    {
        StatusTest::SetUp();
        SnmpPeers &peers = SnmpPeers::get();
        ASSERT_EQ(peers.failure(), "") << "the SNMP agents are needed";
        g_snmpMode = -1;
        LMN_SetEndpoints({peers.port(), 9100, kTestSnmpTimeoutMs, 1000, 50});
        for (const char *a : {SnmpPeers::kV1AndV3, SnmpPeers::kV3Only, SnmpPeers::kSlow})
            peers.serve(a, "");
    }

    void TearDown() override
    {
        StatusTest::TearDown();
        LMN_SetEndpoints({161, 9100, 3000, 10000, 1000});
        g_snmpMode = -1;
    }

    static void serve(const char *address, const std::string &rows) { SnmpPeers::get().serve(address, rows); }

    /* A Standard TCP/IP port "IP_<address>" in the spooler. */
    static void add_tcp_port(const std::string &address)
    {
        plat::SpoolPort port;
        port.name = u"IP_" + plat::utf8_to_utf16(address);
        port.monitor = u"tcpmon.dll";
        port.address = plat::utf8_to_utf16(address);
        ASSERT_EQ(plat::spool_add_port(port), DWORD(ERROR_SUCCESS));
    }

    /* A session of the monitor to the agent at `address`. */
    static SnmpSession *session_to(const char *address) { return LMN_OpenSession(address, nullptr); }
};

#endif
