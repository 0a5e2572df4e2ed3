/*
 * `tarvel status --port NAME [--watch] [--interval SECONDS] [--count N]`:
 * the printer's status as the language monitor sees it on a Standard
 * TCP/IP port.  The monitor library is loaded as the spooler loads it and
 * the port opened through it; each round asks the monitor to refresh the
 * status of the printers on the port (which reads the device ID and the
 * display language by SNMP), then prints the device ID fields and trays
 * (the "LM_" values) and the errors and jobs the monitor gave the status
 * manager.  A port name "IP_<address>" that is not installed yet is added
 * as a TCP/IP port of that address.
 */
#include "host_status.h"
#include "host_errors.h"

#include <plodrmz/plodrmz_control.h>

#include <plat/clock.h>
#include <plat/error.h>
#include <plat/loader.h>
#include <plat/printmon.h>
#include <plat/registry.h>
#include <plat/spooler.h>
#include <plat/text.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>
#include <thread>
#include <vector>

namespace host {

namespace {

volatile std::sig_atomic_t g_stop = 0;

void on_interrupt(int) { g_stop = 1; }

/* The printers installed on `port` (names), from the spooler. */
std::vector<std::u16string> printers_on(const std::u16string &port)
{
    std::vector<std::u16string> out;
    DWORD needed = 0, count = 0;
    EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, nullptr, 0, &needed, &count);
    if (!needed)
        return out;
    std::vector<BYTE> buffer(needed);
    if (!EnumPrintersW(PRINTER_ENUM_LOCAL, nullptr, 2, buffer.data(), needed, &needed, &count))
        return out;
    const auto *info = reinterpret_cast<const PRINTER_INFO_2W *>(buffer.data());
    for (DWORD i = 0; i < count; ++i)
        if (info[i].pPortName && port == info[i].pPortName && info[i].pPrinterName)
            out.push_back(info[i].pPrinterName);
    return out;
}

/* A named request with a 4-byte answer; false when the request gave none. */
bool ask(LPMONITOR2 lm, HANDLE port, const std::u16string &name, LONG *answer)
{
    DWORD n = 0;
    *answer = 0;
    lm->pfnGetPrinterDataFromPort(port, 0, const_cast<LPWSTR>(name.c_str()), nullptr, 0,
                                  reinterpret_cast<LPWSTR>(answer), sizeof *answer, &n);
    return n == sizeof *answer && GetLastError() == ERROR_INVALID_PARAMETER;
}

/* An "LM_" value into `out` (`size` bytes); its size, or 0 when the monitor has none. */
DWORD lm_value(LPMONITOR2 lm, HANDLE port, const char16_t *name, void *out, DWORD size)
{
    DWORD valueSize = 0;
    lm->pfnGetPrinterDataFromPort(port, 0, const_cast<LPWSTR>(name), nullptr, 0, nullptr, 0, &valueSize);
    if (GetLastError() != ERROR_INSUFFICIENT_BUFFER || valueSize == 0)
        return 0;
    DWORD n = size;
    std::memset(out, 0, size);
    lm->pfnGetPrinterDataFromPort(port, 0, const_cast<LPWSTR>(name), nullptr, 0, static_cast<LPWSTR>(out), size, &n);
    return valueSize < size ? valueSize : size;
}

DWORD word_at(const BYTE *p)
{
    DWORD v;
    std::memcpy(&v, p, 4);
    return v;
}

/* A status value the monitor gave the manager for `printer`, or empty. */
std::string manager_value(const PlodrmzControl &sm, const std::u16string &printer, const char *name)
{
    char buffer[4096];
    const DWORD n = sm.module ? sm.getValue(printer.c_str(), name, buffer, sizeof buffer) : 0;
    return std::string(buffer, n < sizeof buffer ? n : sizeof buffer);
}

/*
 * The error conditions the status words show: each with the masks on words
 * 1, 2 and 3 by which the monitor keeps or resets the error value of that
 * name (an error value holds details; the words say whether it is current).
 */
struct ErrorCondition {
    const char *name;
    DWORD masks[3];
};
constexpr ErrorCondition kErrorConditions[] = {
    {"PaperJam", {0, 0x8, 0x10000}},          {"PaperSizeError", {0, 0, 0x40000}},
    {"NoPaper2", {0, 0, 0x4840000}},          {"CoverOpen", {0, 0, 0x8000}},
    {"HWError", {0, 0x80, 0}},                {"Supplies", {0, 0x80000000, 0x26002}},
    {"BinError", {0, 0x40004010, 0}},         {"PeriodicChange", {0, 0, 0x80800}},
};

/* Prints one round of the status; false when the device did not answer. */
bool print_round(LPMONITOR2 lm, HANDLE port, const PlodrmzControl &sm, const std::vector<std::u16string> &printers)
{
    bool answered = true;
    LONG answer = 0;
    for (const std::u16string &p : printers)
        ask(lm, port, u"Refresh:" + p, &answer);

    /* a silent device answers every "LM_" value with the 4-byte -1 (a name never starts with 0xFF) */
    LONG silent = 0;
    if (ask(lm, port, u"LM_SysName", &silent) && silent == -1) {
        std::printf("device: not answering\n");
        answered = false;
    } else {
        char sysName[33] = {};
        const DWORD sysSize = lm_value(lm, port, u"LM_SysName", sysName, 32);
        std::printf("device: %s\n", sysSize ? sysName : "(no device ID)");
        DWORD memoryMB = 0, hardDisk = 0, ramDisk = 0, duplex = 0;
        lm_value(lm, port, u"LM_MemorySizeInMByte", &memoryMB, 4);
        lm_value(lm, port, u"LM_HardDisk", &hardDisk, 2);
        lm_value(lm, port, u"LM_RamDisk", &ramDisk, 2);
        lm_value(lm, port, u"LM_DuplexModule", &duplex, 2);
        std::printf("  memory %u MB, hard disk %s, RAM disk %s, duplex unit %s\n", unsigned(memoryMB),
                    hardDisk ? "yes" : "no", ramDisk ? "yes" : "no", duplex ? "yes" : "no");
        BYTE trays[4 + 32 * 8] = {};
        const DWORD traySize = lm_value(lm, port, u"LM_InputTray", trays, sizeof trays);
        const DWORD count = traySize >= 4 ? word_at(trays) : 0;
        for (DWORD i = 0; i < count && 4 + 32 * (i + 1) <= traySize; ++i) {
            const BYTE *row = trays + 4 + 32 * i;
            std::printf("  tray %u: paper %u, %u x %u (0.1 mm)\n", unsigned(word_at(row)), unsigned(word_at(row + 16)),
                        unsigned(word_at(row + 20)), unsigned(word_at(row + 24)));
        }
    }
    if (ask(lm, port, u"LM_DisplayLangStatus", &answer) && answer == 0 && ask(lm, port, u"LM_DisplayLang", &answer))
        std::printf("  display language %u\n", unsigned(answer & 0xFFFF));

    for (const std::u16string &p : printers) {
        std::printf("printer %s:\n", plat::utf16_to_utf8(p).c_str());
        const std::string status = manager_value(sm, p, "PrinterStatus");
        std::string errors;
        if (status.size() == 12) {
            const BYTE *w = reinterpret_cast<const BYTE *>(status.data());
            const DWORD words[3] = {word_at(w), word_at(w + 4), word_at(w + 8)};
            std::printf("  status %08X %08X %08X\n", unsigned(words[0]), unsigned(words[1]), unsigned(words[2]));
            for (const ErrorCondition &e : kErrorConditions)
                if ((words[0] & e.masks[0]) || (words[1] & e.masks[1]) || (words[2] & e.masks[2]))
                    errors += std::string(errors.empty() ? "" : ", ") + e.name;
        } else {
            std::printf("  status: none given to the status manager\n");
        }
        std::printf("  errors: %s\n", errors.empty() ? "none" : errors.c_str());
        const std::string job = manager_value(sm, p, "PrintingJobInfo2");
        if (job.size() >= 292)
            std::printf("  job: spooler job %u\n", unsigned(word_at(reinterpret_cast<const BYTE *>(job.data()) + 288)));
        else
            std::printf("  job: none\n");
    }
    std::fflush(stdout);
    return answered;
}

/* The monitor's endpoint record, as LMN_SetTestEndpoints takes it (langmon/src/network.h). */
struct MonitorEndpoints {
    int snmpPort, rawPort, snmpTimeoutMs, receiveTimeoutMs, pauseMs;
};
static_assert(sizeof(MonitorEndpoints) == 20, "endpoint record layout");

} // namespace

std::string tcp_port_address(const std::u16string &port)
{
    HANDLE h = nullptr;
    const std::u16string xcv = u",XcvPort " + port;
    if (!OpenPrinterW(xcv.c_str(), &h, nullptr))
        return "";
    char16_t out[131] = {};
    DWORD needed = 0, status = 0;
    const BOOL ok = XcvDataW(h, u"IPAddress", nullptr, 0, reinterpret_cast<LPBYTE>(out), 260, &needed, &status);
    ClosePrinter(h);
    return ok && status == ERROR_SUCCESS ? plat::utf16_to_utf8(out) : "";
}

int apply_test_endpoints(HMODULE lib, const char *verb)
{
    const char *text = std::getenv("TARVEL_STATUS_ENDPOINTS");
    if (!text)
        return 9100;
    int v[5] = {};
    const char *p = text;
    bool ok = true;
    for (int i = 0; i < 5 && ok; ++i) {
        char *end = nullptr;
        const long n = std::strtol(p, &end, 10);
        ok = end != p && n > 0 && n <= (i < 2 ? 65535 : 600000) && *end == (i < 4 ? ',' : '\0');
        v[i] = int(n);
        p = end + 1;
    }
    using SetEndpoints = void (*)(const MonitorEndpoints *);
    const auto set = plat::proc_cast<SetEndpoints>(GetProcAddress(lib, "LMN_SetTestEndpoints"));
    if (!ok || !set) {
        std::fprintf(stderr, "tarvel %s: TARVEL_STATUS_ENDPOINTS '%s' %s\n", verb, text,
                     ok ? "cannot be applied: the monitor has no endpoint setter"
                        : "wants five numbers SNMPPORT,RAWPORT,SNMPMS,RECEIVEMS,PAUSEMS");
        return 0;
    }
    const MonitorEndpoints e{v[0], v[1], v[2], v[3], v[4]};
    set(&e);
    return v[1];
}

bool host_port_address_ok(const std::string &address)
{
    if (address.empty() || address.size() > 253)
        return false;
    /* four numbers 0-255: a dotted IPv4 address */
    unsigned parts[4];
    char tail = 0;
    if (std::sscanf(address.c_str(), "%u.%u.%u.%u%c", &parts[0], &parts[1], &parts[2], &parts[3], &tail) == 4 &&
        address.find_first_not_of("0123456789.") == std::string::npos)
        return parts[0] <= 255 && parts[1] <= 255 && parts[2] <= 255 && parts[3] <= 255;
    if (address.find_first_not_of("0123456789.") == std::string::npos)
        return false; /* digits and dots that are no IPv4 address */
    /* a host name: labels of 1 to 63 letters, digits and hyphens, never starting or ending with a hyphen */
    size_t start = 0;
    while (start <= address.size()) {
        const size_t dot = std::min(address.find('.', start), address.size());
        const std::string label = address.substr(start, dot - start);
        if (label.empty() || label.size() > 63 || label.front() == '-' || label.back() == '-' ||
            label.find_first_not_of("ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789-") !=
                std::string::npos)
            return false;
        start = dot + 1;
    }
    return true;
}

PortKind host_port_kind(const std::string &name)
{
    const std::u16string wide = plat::utf8_to_utf16(name);
    DWORD needed = 0, count = 0;
    EnumPortsW(nullptr, 2, nullptr, 0, &needed, &count);
    std::vector<BYTE> buffer(needed ? needed : 1);
    if (needed && EnumPortsW(nullptr, 2, buffer.data(), needed, &needed, &count)) {
        const auto *info = reinterpret_cast<const PORT_INFO_2W *>(buffer.data());
        for (DWORD i = 0; i < count; ++i)
            if (info[i].pPortName && lstrcmpiW(wide.c_str(), info[i].pPortName) == 0)
                return info[i].pMonitorName && lstrcmpiW(info[i].pMonitorName, u"tcpmon.dll") == 0 ? PortKind::Tcp
                                                                                                   : PortKind::Other;
    }
    return PortKind::Missing;
}

bool ensure_tcp_port(const std::string &name)
{
    const PortKind kind = host_port_kind(name);
    if (kind != PortKind::Missing)
        return kind == PortKind::Tcp;
    if (name.size() <= 3 || name.compare(0, 3, "IP_") != 0 || !host_port_address_ok(name.substr(3)))
        return false;
    const std::u16string wide = plat::utf8_to_utf16(name);
    plat::SpoolPort port;
    port.name = wide;
    port.monitor = u"tcpmon.dll";
    port.description = u"Standard TCP/IP Port";
    port.address = plat::utf8_to_utf16(name.substr(3));
    return plat::spool_add_port(port) == ERROR_SUCCESS;
}

int status_command(const StatusRequest &r)
{
    const PortKind kind = host_port_kind(r.port);
    if (r.remove) {
        if (kind != PortKind::Tcp) {
            std::fprintf(stderr, "tarvel status: '%s' is not a TCP/IP port of this machine; nothing was removed\n",
                         r.port.c_str());
            return 2;
        }
        const std::vector<std::u16string> users = printers_on(plat::utf8_to_utf16(r.port));
        if (!users.empty()) {
            std::fprintf(stderr, "tarvel status: the port %s is used by the printer %s; remove the printer first\n",
                         r.port.c_str(), plat::utf16_to_utf8(users.front()).c_str());
            return 1;
        }
        const DWORD e = plat::spool_delete_port(plat::utf8_to_utf16(r.port));
        if (e != ERROR_SUCCESS) {
            std::fprintf(stderr, "tarvel status: the port %s cannot be removed: %s\n", r.port.c_str(),
                         host_error_text(e).c_str());
            return 1;
        }
        std::printf("Removed port %s\n", r.port.c_str());
        return 0;
    }
    if (kind == PortKind::Other) {
        std::fprintf(stderr, "tarvel status: '%s' is not a TCP/IP port; the status is read over the network\n",
                     r.port.c_str());
        return 2;
    }
    if (kind == PortKind::Missing && r.port.rfind("IP_", 0) == 0 && !host_port_address_ok(r.port.substr(3))) {
        std::fprintf(stderr, "tarvel status: '%s' names no address (an IPv4 address or a host name follows IP_); "
                             "no port was added\n",
                     r.port.c_str());
        return 2;
    }
    if (!ensure_tcp_port(r.port)) {
        std::fprintf(stderr, "tarvel status: '%s' is not an installed port (a new one is named IP_<address>)\n",
                     r.port.c_str());
        return 2;
    }
    const std::u16string portName = plat::utf8_to_utf16(r.port);
    const std::vector<std::u16string> printers = printers_on(portName);
    /* the status program's registration of each printer's driver, so the monitor binds the printer */
    for (const std::u16string &p : printers) {
        HANDLE h = nullptr;
        if (!OpenPrinterW(p.c_str(), &h, nullptr))
            continue;
        DWORD needed = 0;
        GetPrinterW(h, 2, nullptr, 0, &needed);
        std::vector<BYTE> info(needed ? needed : 1);
        if (needed && GetPrinterW(h, 2, info.data(), needed, &needed)) {
            const auto *pi = reinterpret_cast<const PRINTER_INFO_2W *>(info.data());
            if (pi->pDriverName) {
                const std::u16string key =
                    std::u16string(u"SOFTWARE\\OSTREL_P2\\Pollvane\\Printers\\") + pi->pDriverName + u"\\Status Variables";
                HKEY k = nullptr;
                if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, key.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &k,
                                    nullptr) == ERROR_SUCCESS)
                    RegCloseKey(k);
            }
        }
        ClosePrinter(h);
    }

    HMODULE lib = LoadLibraryW(u"tarvellm.dll");
    auto entry = lib ? plat::proc_cast<PFN_INITIALIZE_PRINT_MONITOR2>(GetProcAddress(lib, "InitializePrintMonitor2"))
                     : nullptr;
    if (!entry) {
        std::fprintf(stderr, "tarvel status: cannot load the language monitor tarvellm.dll (%s)\n",
                     plat::loader_last_failure().c_str());
        if (lib)
            FreeLibrary(lib);
        return 1;
    }
    const int rawPort = apply_test_endpoints(lib, "status");
    if (!rawPort) {
        FreeLibrary(lib);
        return 2;
    }
    PlodrmzControl sm;
    sm.load();
    /* the raw port of the device, for the requests that go through the port monitor */
    plat::sockmon_set_target(r.port, tcp_port_address(portName), rawPort);
    HANDLE monitor = nullptr;
    LPMONITOR2 lm = entry(plat::monitor_init_for(u"Tarvel Language Monitor"), &monitor);
    HANDLE port = nullptr;
    const std::u16string printer = printers.empty() ? u"" : printers.front();
    int result = 0;
    if (!lm || !lm->pfnOpenPortEx(monitor, plat::sockmon_handle(), const_cast<LPWSTR>(portName.c_str()),
                                  const_cast<LPWSTR>(printer.c_str()), &port, plat::sockmon_table())) {
        std::fprintf(stderr, "tarvel status: the language monitor cannot open the port %s: %s\n", r.port.c_str(),
                     host_error_text(GetLastError()).c_str());
        result = 1;
    } else {
        std::signal(SIGINT, on_interrupt);
        bool answered = false;
        for (unsigned round = 0; !g_stop; ++round) {
            if (round)
                std::printf("\n");
            answered = print_round(lm, port, sm, printers) || answered;
            if (!r.watch || (r.count && round + 1 >= r.count))
                break;
            for (unsigned s = 0; s < r.intervalSeconds * 10 && !g_stop; ++s)
                std::this_thread::sleep_for(std::chrono::milliseconds(100));
        }
        std::signal(SIGINT, SIG_DFL);
        lm->pfnClosePort(port);
        if (!answered) {
            std::fprintf(stderr, "tarvel status: nothing answers at %s (port %s)\n",
                         tcp_port_address(portName).c_str(), r.port.c_str());
            result = 1;
        }
    }
    if (lm && lm->pfnShutdown)
        lm->pfnShutdown(monitor);
    sm.unload();
    FreeLibrary(lib);
    return result;
}

} // namespace host

namespace host {

int status_main(int argc, char **argv, int first)
{
    StatusRequest r;
    for (int i = first; i < argc; i++) {
        const std::string a = argv[i];
        if (a == "--watch" || a == "--remove") {
            (a == "--watch" ? r.watch : r.remove) = true;
            continue;
        }
        if (a != "--port" && a != "--interval" && a != "--count") {
            std::fprintf(stderr, "tarvel status: %s '%s' (see tarvel --help)\n",
                         a.size() > 1 && a[0] == '-' ? "unknown option" : "unexpected argument", a.c_str());
            return 2;
        }
        if (i + 1 >= argc) {
            std::fprintf(stderr, "tarvel status: option '%s' needs a value\n", a.c_str());
            return 2;
        }
        const std::string v = argv[++i];
        if (a == "--port") {
            r.port = v;
            continue;
        }
        char *end = nullptr;
        const unsigned long n = std::strtoul(v.c_str(), &end, 10);
        if (v.empty() || *end || n == 0 || n > 86400) {
            std::fprintf(stderr, "tarvel status: %s wants a number from 1 to 86400, not '%s'\n", a.c_str(), v.c_str());
            return 2;
        }
        (a == "--interval" ? r.intervalSeconds : r.count) = unsigned(n);
    }
    if (r.port.empty()) {
        std::fprintf(stderr, "tarvel status: --port is needed (see tarvel --help)\n");
        return 2;
    }
    return status_command(r);
}

} // namespace host
