/*
 * Port kinds: which ports are USB, serial, Standard TCP/IP, UNC shares or
 * other local ports, the address of a TCP/IP port, and the port mode value.
 *
 * Name prefixes ("USB", "QZUSB", "COM", "TCPMON.DLL") compare ignoring
 * ASCII case only; port names themselves compare as the spooler gave them.
 * A USB number is read with saturation, so a long run of digits cannot
 * overflow into the valid range.
 */
#include "monitor.h"

#include <plat/codepage.h>
#include <plat/registry.h>
#include <plat/spooler.h>
#include <plat/text.h>

#include <string>
#include <vector>

namespace {

const WCHAR kTcpPortsKey[] = u"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Standard TCP/IP Port\\Ports";
const WCHAR kPortModeKey[] = u"SOFTWARE\\OSTREL_P2\\Pollvane\\Printers";

WCHAR ascii_upper(WCHAR c) { return (c >= u'a' && c <= u'z') ? WCHAR(c - 32) : c; }

/* True when `s` begins with the upper-case ASCII `prefix`, ignoring ASCII case. */
bool starts_with_ascii(const WCHAR *s, const char *prefix)
{
    for (; *prefix; ++prefix, ++s)
        if (*s == 0 || ascii_upper(*s) != WCHAR(*prefix))
            return false;
    return true;
}

/* The ANSI form of a UTF-16 string (empty when it does not convert). */
std::string to_ansi(const WCHAR *s)
{
    std::string out;
    if (char *a = LMU_WideToAnsi(s)) {
        out = a;
        LMU_Free(a);
    }
    return out;
}

/* A REG_SZ value of an open key as a heap ANSI string; null when unreadable or empty. */
char *read_address_value(HKEY key, const WCHAR *name)
{
    DWORD size = 0, type = 0;
    if (RegQueryValueExW(key, name, nullptr, &type, nullptr, &size) != ERROR_SUCCESS || size == 0)
        size = 256;
    std::vector<WCHAR> buf(size / sizeof(WCHAR) + 1, 0);
    DWORD got = size;
    if (RegQueryValueExW(key, name, nullptr, &type, reinterpret_cast<LPBYTE>(buf.data()), &got) != ERROR_SUCCESS)
        return nullptr;
    buf.back() = 0;
    if (buf[0] == 0)
        return nullptr;
    return LMU_WideToAnsi(buf.data());
}

} // namespace

bool LMP_IsUsbPort(const WCHAR *name)
{
    if (!name)
        return false;
    if (starts_with_ascii(name, "QZUSB"))
        return true;
    if (LMU_BoundedLength(name, 5) >= 0)
        return false; /* fewer than 6 characters */
    if (!starts_with_ascii(name, "USB"))
        return false;
    unsigned value = 0;
    for (const WCHAR *p = name + 3; *p >= u'0' && *p <= u'9'; ++p) {
        value = value * 10 + unsigned(*p - u'0');
        if (value > 128)
            return false;
    }
    return value >= 1;
}

bool LMP_IsComPort(const WCHAR *name)
{
    if (!name || !starts_with_ascii(name, "COM"))
        return false;
    return name[3] >= u'1' && name[3] <= u'9';
}

bool LMP_IsStandardTcpIpPort(const WCHAR *name)
{
    if (!name)
        return false;
    if (LMP_IsVistaOrLater()) {
        DWORD needed = 0, count = 0;
        EnumPortsW(nullptr, 2, nullptr, 0, &needed, &count);
        if (needed == 0)
            return false;
        std::vector<BYTE> buf(needed);
        if (!EnumPortsW(nullptr, 2, buf.data(), needed, &needed, &count))
            return false;
        for (DWORD i = 0; i < count; ++i) {
            PORT_INFO_2W info;
            std::memcpy(&info, buf.data() + i * sizeof info, sizeof info);
            if (info.pMonitorName && info.pPortName && starts_with_ascii(info.pMonitorName, "TCPMON.DLL") &&
                lstrcmpW(info.pPortName, name) == 0)
                return true;
        }
        return false;
    }
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kTcpPortsKey, 0, KEY_READ, &key) != ERROR_SUCCESS)
        return false;
    const std::string want = to_ansi(name);
    bool found = false;
    std::vector<WCHAR> sub(1025);
    for (DWORD i = 0; !found; ++i) {
        DWORD len = DWORD(sub.size());
        if (RegEnumKeyExW(key, i, sub.data(), &len, nullptr, nullptr, nullptr, nullptr) != ERROR_SUCCESS)
            break;
        found = !want.empty() && to_ansi(sub.data()) == want;
    }
    RegCloseKey(key);
    return found;
}

char *LMP_GetTcpPortAddress(const WCHAR *name)
{
    if (!name)
        return nullptr;
    if (LMP_IsVistaOrLater()) {
        const std::u16string xcv = std::u16string(u",XcvPort ") + name;
        HANDLE h = nullptr;
        if (!OpenPrinterW(xcv.c_str(), &h, nullptr))
            return nullptr;
        WCHAR out[130 + 1] = {};
        DWORD needed = 0, status = 0;
        const BOOL ok = XcvDataW(h, u"IPAddress", nullptr, 0, reinterpret_cast<LPBYTE>(out), 260, &needed, &status);
        ClosePrinter(h);
        if (!ok || status != ERROR_SUCCESS || out[0] == 0)
            return nullptr;
        return LMU_WideToAnsi(out);
    }
    HKEY ports = nullptr, key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kTcpPortsKey, 0, KEY_READ, &ports) != ERROR_SUCCESS)
        return nullptr;
    const LONG rc = RegOpenKeyExW(ports, name, 0, KEY_READ, &key);
    RegCloseKey(ports);
    if (rc != ERROR_SUCCESS)
        return nullptr;
    char *address = read_address_value(key, u"IPAddress");
    if (!address)
        address = read_address_value(key, u"HostName");
    RegCloseKey(key);
    return address;
}

void LMP_ClassifyPort(MonitorPort *port)
{
    const WCHAR *name = port->portName;
    DWORD kind = KIND_ANY;
    if (LMP_IsStandardTcpIpPort(name)) {
        kind |= KIND_NETWORK | KIND_BIDI;
        char *address = LMP_GetTcpPortAddress(name);
        port->snmpSession = LMN_OpenSession(address, port->community);
        LMU_Free(address);
    } else if (LMP_IsUsbPort(name)) {
        kind |= KIND_USB | KIND_BIDI;
    } else if (LMP_IsComPort(name)) {
        kind |= KIND_COM;
    } else {
        /* "\\server\share": two backslashes, then exactly one more. */
        int more = 0;
        if (name[0] == u'\\' && name[1] == u'\\')
            for (const WCHAR *p = name + 2; *p; ++p)
                more += *p == u'\\';
        kind |= (name[0] == u'\\' && name[1] == u'\\' && more == 1) ? KIND_UNC : KIND_LOCAL;
    }
    port->portKind = kind;
}

void LMP_ReadMyPortMode(MonitorPort *port)
{
    DWORD value = 0;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kPortModeKey, 0, KEY_READ, &key) == ERROR_SUCCESS) {
        DWORD type = 0, size = sizeof value;
        if (RegQueryValueExW(key, u"MyPortMode", nullptr, &type, reinterpret_cast<LPBYTE>(&value), &size) !=
                ERROR_SUCCESS ||
            type != REG_DWORD || size != sizeof value)
            value = 0;
        RegCloseKey(key);
    }
    if (value)
        port->portMode = value;
    else if (port->portMode == 0)
        port->portMode = 1;
}
