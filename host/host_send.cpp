/*
 * `tarvel send`: a job file through the language monitor to a device.  The
 * monitor library is loaded as the spooler loads it and stacked on the
 * socket-backed port monitor, which connects to the device's host and TCP
 * port.  A network printer (HOST[:PORT], 9100 by default, or an installed
 * Standard TCP/IP port by name) goes through the Standard TCP/IP road: the
 * connection carries the job's bytes only, and the monitor asks the device's
 * status by SNMP where it answers.  "usb:HOST:PORT" is the simulated USB
 * printer, which also answers device-ID requests on side connections.  The
 * job goes through StartDocPort, WritePort (offered again until every byte
 * is taken, as the spooler does) and EndDocPort; what the device sends back
 * is printed as it arrives.  A device that takes nothing for the time-out,
 * or whose connection fails, ends the job with a message.
 */
#include "host_send.h"
#include "host_read_file.h"

#include <plat/error.h>
#include <plat/loader.h>
#include <plat/printmon.h>
#include <plat/spooler.h>
#include <plat/registry.h>
#include <plat/text.h>

#include "host_status.h"

#include <cctype>
#include <chrono>
#include <cstdio>
#include <mutex>
#include <string>
#include <vector>

namespace host {

namespace {

using Clock = std::chrono::steady_clock;

/* The largest job file sent. */
constexpr size_t kLargestJob = size_t(1) << 30;

/* The device of an installed Standard TCP/IP port: its address and port number (9100 when not set). */
bool installed_port_address(const std::string &name, std::string &host, unsigned short &port)
{
    const std::u16string key = u"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\Standard TCP/IP Port\\Ports\\" +
                               plat::utf8_to_utf16(name);
    HKEY k = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, KEY_READ, &k) != ERROR_SUCCESS)
        return false;
    char16_t text[256] = {};
    DWORD size = sizeof text - 2, type = 0;
    bool found = false;
    for (const char16_t *value : {u"HostName", u"IPAddress"}) {
        size = sizeof text - 2;
        if (RegQueryValueExW(k, value, nullptr, &type, reinterpret_cast<BYTE *>(text), &size) == ERROR_SUCCESS &&
            type == REG_SZ && text[0]) {
            host = plat::utf16_to_utf8(text);
            found = true;
            break;
        }
    }
    DWORD number = 9100;
    size = sizeof number;
    if (RegQueryValueExW(k, u"PortNumber", nullptr, &type, reinterpret_cast<BYTE *>(&number), &size) != ERROR_SUCCESS ||
        type != REG_DWORD || number == 0 || number > 65535)
        number = 9100;
    port = static_cast<unsigned short>(number);
    RegCloseKey(k);
    return found;
}

/* A host name or IPv4 address (letters, digits, '.', '-'), or an IPv6 address in brackets (kept without them). */
bool parse_host(const std::string &text, std::string &host)
{
    if (text.size() > 2 && text.front() == '[' && text.back() == ']') {
        for (size_t i = 1; i + 1 < text.size(); ++i)
            if (!std::isxdigit(static_cast<unsigned char>(text[i])) && text[i] != ':' && text[i] != '.')
                return false;
        host = text.substr(1, text.size() - 2);
        return true;
    }
    if (text.empty() || text.size() > 253 || text.front() == '-' || text.front() == '.')
        return false;
    for (char c : text)
        if (!std::isalnum(static_cast<unsigned char>(c)) && c != '.' && c != '-')
            return false;
    host = text;
    return true;
}

/* "HOST:PORT" with a port number 1-65535; with `portOptional`, "HOST" alone gives 9100. */
bool parse_host_port(const std::string &text, std::string &host, unsigned short &port, bool portOptional)
{
    const size_t colon = text.rfind(':');
    const bool bracketed = !text.empty() && text.front() == '[';
    /* an IPv6 address is bracketed, so a colon inside the brackets is not the port's */
    const bool hasPort = colon != std::string::npos && (!bracketed || (colon > 0 && text[colon - 1] == ']'));
    if (!hasPort) {
        if (!portOptional || !parse_host(text, host))
            return false;
        port = 9100;
        return true;
    }
    if (colon == 0 || colon + 1 >= text.size() || colon + 6 < text.size())
        return false;
    unsigned long n = 0;
    for (size_t i = colon + 1; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9')
            return false;
        n = n * 10 + unsigned(text[i] - '0');
    }
    if (n == 0 || n > 65535 || !parse_host(text.substr(0, colon), host))
        return false;
    port = static_cast<unsigned short>(n);
    return true;
}

/* The spooler holds a port of this name on the Standard TCP/IP port monitor. */
bool is_tcp_port(const std::u16string &name)
{
    DWORD needed = 0, count = 0;
    EnumPortsW(nullptr, 2, nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed ? needed : 1);
    if (!needed || !EnumPortsW(nullptr, 2, buffer.data(), needed, &needed, &count))
        return false;
    const auto *info = reinterpret_cast<const PORT_INFO_2W *>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
        if (info[i].pPortName && info[i].pMonitorName && name == info[i].pPortName &&
            lstrcmpiW(info[i].pMonitorName, u"tcpmon.dll") == 0)
            return true;
    return false;
}

/* Adds the Standard TCP/IP port "IP_<host>" for a network printer given by address, unless the spooler has it. */
bool ensure_network_port(const std::u16string &name, const std::string &host)
{
    if (is_tcp_port(name))
        return true;
    plat::SpoolPort port;
    port.name = name;
    port.monitor = u"tcpmon.dll";
    port.description = u"Standard TCP/IP Port";
    port.address = plat::utf8_to_utf16(host);
    return plat::spool_add_port(port) == ERROR_SUCCESS;
}

/* Why a connection failed, from the socket-backed port monitor's error. */
std::string connect_failure(DWORD error)
{
    switch (error) {
    case 10061:
        return "the connection was refused (nothing listens there)";
    case 10060:
        return "the connection timed out";
    case 11001:
        return "the host name cannot be resolved";
    case 10054:
        return "the device closed the connection";
    default:
        return "error " + std::to_string(error);
    }
}

/*
 * The job as the spooler holds it while its port sends it: a job of the
 * printer with the file's bytes, which the monitor releases once the device
 * has it.  Its id; 0 when the printer is not installed (no spooler job, so
 * the monitor releases none, and never another job that has id 1).
 */
DWORD spool_job(const std::u16string &printer, std::u16string &document, const std::string &bytes)
{
    HANDLE h = nullptr;
    if (!OpenPrinterW(printer.c_str(), &h, nullptr))
        return 0;
    DOC_INFO_1W doc{document.data(), nullptr, nullptr};
    DWORD id = StartDocPrinterW(h, 1, reinterpret_cast<const BYTE *>(&doc));
    DWORD written = 0;
    if (id && (!WritePrinter(h, bytes.data(), DWORD(bytes.size()), &written) || written != bytes.size())) {
        SetJobW(h, id, 0, nullptr, JOB_CONTROL_DELETE);
        id = 0;
    }
    if (id && !EndDocPrinter(h))
        id = 0;
    ClosePrinter(h);
    return id;
}

/* Deletes a spooler job the monitor never took (its port could not start it). */
void delete_job(const std::u16string &printer, DWORD id)
{
    HANDLE h = nullptr;
    if (!id || !OpenPrinterW(printer.c_str(), &h, nullptr))
        return;
    SetJobW(h, id, 0, nullptr, JOB_CONTROL_DELETE);
    ClosePrinter(h);
}

/* Where the job goes. */
struct Destination {
    std::u16string portName; /* the port the monitor opens */
    std::string host;
    unsigned short tcpPort = 9100;
    bool network = false; /* the Standard TCP/IP road; else the simulated USB device */
    bool portGiven = false; /* the TCP port was named (HOST:PORT or the port's "PortNumber") */
};

/* Prints whole lines of what the device sent, as they complete. */
class StatusPrinter {
public:
    void add(const std::string &bytes)
    {
        std::lock_guard<std::mutex> g(m);
        for (char c : bytes) {
            if (c == '\n' || c == '\f') {
                if (!line.empty())
                    std::printf("device: %s\n", line.c_str());
                line.clear();
            } else if (c != '\r' && line.size() < 512) {
                line += (c >= 32 && c < 127) ? c : '?';
            }
        }
        std::fflush(stdout);
    }

private:
    std::mutex m;
    std::string line;
};

} // namespace

int send_job(const SendRequest &r)
{
    /* A job file is a regular file of bounded size: a device or FIFO could block or never end. */
    std::string job, error;
    if (!host_read_file(r.jobFile, kLargestJob, "1 GiB", job, error)) {
        std::fprintf(stderr, "tarvel send: cannot read the job file: %s\n", error.c_str());
        return 1;
    }
    if (job.empty()) {
        std::fprintf(stderr, "tarvel send: the job file '%s' is empty; nothing is sent\n", r.jobFile.c_str());
        return 1;
    }

    Destination to;
    const std::u16string named = plat::utf8_to_utf16(r.port);
    if (r.port.size() > 4 && (r.port.compare(0, 4, "usb:") == 0 || r.port.compare(0, 4, "USB:") == 0)) {
        /* the simulated USB printer: it answers device-ID requests on side connections */
        if (!parse_host_port(r.port.substr(4), to.host, to.tcpPort, false)) {
            std::fprintf(stderr, "tarvel send: '%s' is not usb:HOST:PORT\n", r.port.c_str());
            return 2;
        }
        to.portName = u"USB001";
        to.portGiven = true;
    } else if (is_tcp_port(named) || installed_port_address(r.port, to.host, to.tcpPort)) {
        /* an installed Standard TCP/IP port: its address, and its "PortNumber" when it has one */
        to.network = true;
        to.portName = named;
        std::string registered;
        unsigned short number = 9100;
        to.portGiven = installed_port_address(r.port, registered, number) && number != 9100;
        to.tcpPort = number;
        to.host = tcp_port_address(named);
        if (to.host.empty())
            to.host = registered;
        if (to.host.empty()) {
            std::fprintf(stderr, "tarvel send: the TCP/IP port '%s' has no device address\n", r.port.c_str());
            return 2;
        }
    } else if (parse_host_port(r.port, to.host, to.tcpPort, true)) {
        /* a network printer's raw port by address, through a Standard TCP/IP port of that address */
        to.network = true;
        to.portGiven = r.port.find(':') != std::string::npos && r.port.back() != ']';
        to.portName = u"IP_" + plat::utf8_to_utf16(to.host);
        if (!ensure_network_port(to.portName, to.host)) {
            std::fprintf(stderr, "tarvel send: cannot add the TCP/IP port %s\n",
                         plat::utf16_to_utf8(to.portName).c_str());
            return 1;
        }
    } else {
        std::fprintf(stderr,
                     "tarvel send: '%s' is neither HOST[:PORT], usb:HOST:PORT nor an installed TCP/IP port\n",
                     r.port.c_str());
        return 2;
    }
    std::u16string &portName = to.portName;
    const std::string &host = to.host;

    HMODULE lib = LoadLibraryW(u"tarvellm.dll");
    auto entry = lib ? plat::proc_cast<PFN_INITIALIZE_PRINT_MONITOR2>(GetProcAddress(lib, "InitializePrintMonitor2"))
                     : nullptr;
    if (!entry) {
        std::fprintf(stderr, "tarvel send: cannot load the language monitor tarvellm.dll (%s)\n",
                     plat::loader_last_failure().c_str());
        if (lib)
            FreeLibrary(lib);
        return 1;
    }
    /* test peers: the monitor's SNMP port and time-outs, and the raw port of a port that names none */
    const int rawPort = apply_test_endpoints(lib, "send");
    if (!rawPort) {
        FreeLibrary(lib);
        return 2;
    }
    if (to.network && !to.portGiven)
        to.tcpPort = static_cast<unsigned short>(rawPort);
    const unsigned short tcpPort = to.tcpPort;
    StatusPrinter status;
    plat::sockmon_set_target(plat::utf16_to_utf8(portName), host, tcpPort);
    plat::sockmon_watch([&status](const std::string &, const std::string &bytes) { status.add(bytes); });
    HANDLE monitor = nullptr;
    LPMONITOR2 lm = entry(plat::monitor_init_for(u"Tarvel Language Monitor"), &monitor);
    HANDLE port = nullptr;
    int result = 0;
    if (!lm || !lm->pfnOpenPortEx(monitor, plat::sockmon_handle(), portName.data(), const_cast<LPWSTR>(r.printer.c_str()),
                                  &port, plat::sockmon_table())) {
        std::fprintf(stderr, "tarvel send: the language monitor cannot open the port (error %u)\n",
                     unsigned(GetLastError()));
        result = 1;
    } else {
        std::printf("Sending %zu bytes to %s:%u\n", job.size(), host.c_str(), unsigned(tcpPort));
        std::fflush(stdout);
        std::u16string document = u"tarvel send";
        DOC_INFO_1W info{document.data(), nullptr, nullptr};
        const DWORD jobId = spool_job(r.printer, document, job);
        if (!lm->pfnStartDocPort(port, const_cast<LPWSTR>(r.printer.c_str()), jobId, 1,
                                 reinterpret_cast<LPBYTE>(&info))) {
            const DWORD error = GetLastError();
            delete_job(r.printer, jobId);
            std::fprintf(stderr, "tarvel send: cannot send to %s:%u: %s\n", host.c_str(), unsigned(tcpPort),
                         connect_failure(error).c_str());
            result = 1;
        } else {
            size_t taken = 0, shown = 0;
            auto lastProgress = Clock::now();
            while (taken < job.size()) {
                DWORD n = 0;
                if (!lm->pfnWritePort(port, reinterpret_cast<LPBYTE>(job.data() + taken), DWORD(job.size() - taken),
                                      &n)) {
                    std::fprintf(stderr, "tarvel send: writing to the device failed after %zu of %zu bytes: %s\n",
                                 taken, job.size(), connect_failure(GetLastError()).c_str());
                    result = 1;
                    break;
                }
                taken += n;
                if (n) {
                    lastProgress = Clock::now();
                    if (taken == job.size() || taken - shown >= job.size() / 10 + 1) {
                        std::printf("sent %zu of %zu bytes\n", taken, job.size());
                        std::fflush(stdout);
                        shown = taken;
                    }
                } else if (Clock::now() - lastProgress >= std::chrono::seconds(r.timeoutSeconds)) {
                    std::fprintf(stderr, "tarvel send: the device took nothing for %u s; the job is ended after "
                                         "%zu of %zu bytes\n",
                                 r.timeoutSeconds, taken, job.size());
                    result = 1;
                    break;
                }
            }
            lm->pfnEndDocPort(port);
        }
        lm->pfnClosePort(port);
    }
    if (lm)
        lm->pfnShutdown(monitor);
    plat::sockmon_watch(nullptr);
    FreeLibrary(lib);
    if (result == 0)
        std::printf("Sent %zu bytes\n", job.size());
    return result;
}

} // namespace host
