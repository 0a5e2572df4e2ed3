/*
 * Port kinds: the USB, serial and UNC name rules, Standard TCP/IP ports
 * found through the spooler (Vista and later) or the registry (before),
 * their addresses, and the port mode value.
 */
#include "lm_fixture.h"
#include "network.h"

#include <plat/registry.h>
#include <plat/spooler.h>
#include <plat/version.h>

#include <string>

namespace {

const WCHAR kTcpPorts[] = u"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Standard TCP/IP Port\\Ports";

void set_sz(const std::u16string &key, const WCHAR *name, const std::u16string &value)
{
    HKEY k = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    ASSERT_EQ(RegSetValueExW(k, name, 0, REG_SZ, reinterpret_cast<const BYTE *>(value.c_str()),
                             DWORD((value.size() + 1) * sizeof(WCHAR))),
              ERROR_SUCCESS);
    RegCloseKey(k);
}

void add_port(const std::u16string &name, const std::u16string &monitor, const std::u16string &address)
{
    plat::SpoolPort port;
    port.name = name;
    port.monitor = monitor;
    port.address = address;
    ASSERT_EQ(plat::spool_add_port(port), DWORD(ERROR_SUCCESS));
}

std::string address_of(const WCHAR *port)
{
    char *a = LMP_GetTcpPortAddress(port);
    std::string s = a ? a : "(null)";
    LMU_Free(a);
    return s;
}

} // namespace

TEST_F(MonitorTest, UsbAndSerialNameRules)
{
    struct Case {
        const WCHAR *name;
        bool usb, com;
    } cases[] = {
        {u"USB001", true, false},
        {u"usb001", true, false},
        {u"USB128", true, false},
        {u"USB129", false, false},
        {u"USB000", false, false},
        {u"USB0", false, false},
        {u"usb1", false, false},
        {u"USB12a", true, false},
        {u"USBabc", false, false},
        {u"USB00000000000000000001", true, false},
        {u"USB99999999999999999999", false, false},
        {u"QZUSB", true, false},
        {u"QzUsB7", true, false},
        {u"COM1", false, true},
        {u"com9:", false, true},
        {u"COM0", false, false},
        {u"COM", false, false},
        {u"COMA", false, false},
        {u"LPT1:", false, false},
        {u"", false, false},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(LMP_IsUsbPort(c.name), c.usb) << plat::utf16_to_utf8(c.name);
        EXPECT_EQ(LMP_IsComPort(c.name), c.com) << plat::utf16_to_utf8(c.name);
    }
    EXPECT_FALSE(LMP_IsUsbPort(nullptr));
    EXPECT_FALSE(LMP_IsComPort(nullptr));
}

TEST_F(MonitorTest, KindIsSetOnceWhenThePortOpens)
{
    struct Case {
        const WCHAR *name;
        DWORD kind;
    } cases[] = {
        {u"USB001", 0x7},      {u"QZUSB3", 0x7},        {u"COM1", 0x11},         {u"COM0", 0x21},
        {u"LPT1:", 0x21},      {u"FILE:", 0x21},        {u"\\\\srv\\share", 0x41}, {u"\\\\srv", 0x21},
        {u"\\\\srv\\a\\b", 0x21}, {u"\\\\", 0x21},      {u"\\srv\\share", 0x21},
    };
    for (const Case &c : cases) {
        HANDLE h = nullptr;
        ASSERT_TRUE(open(c.name, &h)) << plat::utf16_to_utf8(c.name);
        EXPECT_EQ(rec(h)->portKind, c.kind) << plat::utf16_to_utf8(c.name);
        EXPECT_EQ(rec(h)->snmpSession, nullptr);
        EXPECT_TRUE(LMP_ClosePort(h));
    }
}

TEST_F(MonitorTest, StandardTcpIpPortFoundThroughTheSpoolerOnVistaAndLater)
{
    add_port(u"IP_10.0.0.5", u"tcpmon.dll", u"10.0.0.5");
    add_port(u"IP_10.0.0.6", u"localspl.dll", u"10.0.0.6");

    EXPECT_TRUE(LMP_IsStandardTcpIpPort(u"IP_10.0.0.5"));
    EXPECT_FALSE(LMP_IsStandardTcpIpPort(u"ip_10.0.0.5")) << "port names compare exactly";
    EXPECT_FALSE(LMP_IsStandardTcpIpPort(u"IP_10.0.0.6")) << "another port monitor";
    EXPECT_FALSE(LMP_IsStandardTcpIpPort(u"LPT1:"));
    EXPECT_EQ(address_of(u"IP_10.0.0.5"), "10.0.0.5");
    EXPECT_EQ(address_of(u"LPT1:"), "(null)");
    EXPECT_EQ(address_of(u"NOPORT"), "(null)");
}

TEST_F(MonitorTest, StandardTcpIpPortFoundInTheRegistryBeforeVista)
{
    plat::version_set(5, 1, 2600, 0, VER_NT_WORKSTATION);
    ASSERT_NE(InitializePrintMonitor2(init, &monitor), nullptr);
    set_sz(std::u16string(kTcpPorts) + u"\\IP_printer", u"IPAddress", u"192.168.1.20");
    set_sz(std::u16string(kTcpPorts) + u"\\ByName", u"IPAddress", u"");
    set_sz(std::u16string(kTcpPorts) + u"\\ByName", u"HostName", u"printer.example");
    set_sz(std::u16string(kTcpPorts) + u"\\Empty", u"Other", u"x");

    EXPECT_TRUE(LMP_IsStandardTcpIpPort(u"IP_printer"));
    EXPECT_TRUE(LMP_IsStandardTcpIpPort(u"ByName"));
    EXPECT_FALSE(LMP_IsStandardTcpIpPort(u"IP_printe"));
    EXPECT_FALSE(LMP_IsStandardTcpIpPort(u"IP_PRINTER")) << "names compare exactly";
    EXPECT_EQ(address_of(u"IP_printer"), "192.168.1.20");
    EXPECT_EQ(address_of(u"ByName"), "printer.example") << "an empty address falls back to the host name";
    EXPECT_EQ(address_of(u"Empty"), "(null)");
    EXPECT_EQ(address_of(u"Missing"), "(null)");
}

TEST_F(MonitorTest, NetworkPortIsBidirectionalAndAsksForItsSnmpSession)
{
    add_port(u"IP_10.0.0.5", u"TCPMON.DLL", u"10.0.0.5");
    plat::debug_clear();
    HANDLE h = nullptr;
    ASSERT_TRUE(open(u"IP_10.0.0.5", &h));
    EXPECT_EQ(rec(h)->portKind, 0x105u);
    /* The port opens with its SNMP session over the library; closing the port frees it. */
    ASSERT_NE(rec(h)->snmpSession, nullptr);
    EXPECT_STREQ(rec(h)->snmpSession->host, "10.0.0.5");
    EXPECT_STREQ(rec(h)->snmpSession->community, "public");
    EXPECT_NE(rec(h)->snmpSession->createGetData, nullptr);
    EXPECT_NE(rec(h)->snmpSession->createPduList, nullptr);
}

TEST_F(MonitorTest, PortModeKeepsAnEarlierValueWhenTheRegistryHasNone)
{
    HANDLE h = nullptr;
    ASSERT_TRUE(open(u"USB001", &h));
    MonitorPort *port = rec(h);
    LMP_ReadMyPortMode(port);
    EXPECT_EQ(port->portMode, 1u) << "no value: 1";
    HKEY k = nullptr;
    ASSERT_EQ(RegCreateKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\OSTREL_P2\\Pollvane\\Printers", 0, nullptr, 0,
                              KEY_ALL_ACCESS, nullptr, &k, nullptr),
              ERROR_SUCCESS);
    DWORD mode = 2;
    ASSERT_EQ(RegSetValueExW(k, u"MyPortMode", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&mode), 4), ERROR_SUCCESS);
    LMP_ReadMyPortMode(port);
    EXPECT_EQ(port->portMode, 2u);
    mode = 0;
    ASSERT_EQ(RegSetValueExW(k, u"MyPortMode", 0, REG_DWORD, reinterpret_cast<const BYTE *>(&mode), 4), ERROR_SUCCESS);
    LMP_ReadMyPortMode(port);
    EXPECT_EQ(port->portMode, 2u) << "zero keeps the value held";
    RegCloseKey(k);
}
