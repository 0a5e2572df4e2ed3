/*
 * `tarvel send`: a job file through the language monitor to a device.  The
 * monitor library is loaded as the spooler loads it and stacked on the
 * socket-backed port monitor, which connects to the device's host and TCP
 * port.  The job goes through StartDocPort, WritePort (offered again until
 * every byte is taken, as the spooler does) and EndDocPort; the device's
 * status lines are printed as they arrive.  A device that takes nothing for
 * the time-out, or whose connection fails, ends the job with a message.
 */
#include "host_send.h"
#include "host_read_file.h"

#include <plat/error.h>
#include <plat/loader.h>
#include <plat/printmon.h>
#include <plat/spooler.h>
#include <plat/registry.h>
#include <plat/text.h>

#include <chrono>
#include <cstdio>
#include <mutex>

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

/* "HOST:PORT" with a port number 1-65535. */
bool parse_host_port(const std::string &text, std::string &host, unsigned short &port)
{
    const size_t colon = text.rfind(':');
    if (colon == std::string::npos || colon == 0 || colon + 1 >= text.size())
        return false;
    unsigned long n = 0;
    for (size_t i = colon + 1; i < text.size(); ++i) {
        if (text[i] < '0' || text[i] > '9' || n > 65535)
            return false;
        n = n * 10 + unsigned(text[i] - '0');
    }
    if (n == 0 || n > 65535)
        return false;
    host = text.substr(0, colon);
    if (host.size() > 2 && host.front() == '[' && host.back() == ']')
        host = host.substr(1, host.size() - 2);
    port = static_cast<unsigned short>(n);
    return true;
}

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

    std::string host;
    unsigned short tcpPort = 0;
    std::u16string portName;
    if (parse_host_port(r.port, host, tcpPort)) {
        portName = u"USB001"; /* a device that answers like a USB printer */
    } else if (installed_port_address(r.port, host, tcpPort)) {
        portName = plat::utf8_to_utf16(r.port);
    } else {
        std::fprintf(stderr, "tarvel send: '%s' is neither HOST:PORT nor an installed TCP/IP port\n", r.port.c_str());
        return 2;
    }

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
        if (!lm->pfnStartDocPort(port, const_cast<LPWSTR>(r.printer.c_str()), 1, 1, reinterpret_cast<LPBYTE>(&info))) {
            std::fprintf(stderr, "tarvel send: the device refused the job (error %u)\n", unsigned(GetLastError()));
            result = 1;
        } else {
            size_t taken = 0, shown = 0;
            auto lastProgress = Clock::now();
            while (taken < job.size()) {
                DWORD n = 0;
                if (!lm->pfnWritePort(port, reinterpret_cast<LPBYTE>(job.data() + taken), DWORD(job.size() - taken),
                                      &n)) {
                    std::fprintf(stderr, "tarvel send: writing to the device failed after %zu of %zu bytes (error %u)\n",
                                 taken, job.size(), unsigned(GetLastError()));
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
