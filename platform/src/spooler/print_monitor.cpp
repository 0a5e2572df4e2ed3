/*
 * The print-monitor side of the spooler: the MONITORINIT it hands a monitor
 * library (with registry callbacks over the machine's registry), and a
 * scripted port monitor whose ports live in memory, for stacking a language
 * monitor on.  Its port handles count up and are never reused.
 */
#include <plat/error.h>
#include <plat/machine.h>
#include <plat/printmon.h>
#include <plat/text.h>

#include <algorithm>
#include <cstdio>
#include <cstring>
#include <deque>
#include <map>
#include <memory>
#include <mutex>

namespace {

struct PortmonState {
    std::mutex m;
    std::map<uintptr_t, std::string> ports; /* handle -> port name (UTF-8) */
    uintptr_t next_handle = 0x5000;
    struct Failure {
        DWORD error = 0;
        unsigned count = 0;
    };
    std::map<plat::PortmonCall, Failure> failures;
    std::vector<std::string> log;
    struct WriteStep {
        DWORD moved;
        BOOL ok;
        DWORD error;
    };
    std::deque<WriteStep> writes;
    std::string written;
    struct ReadStep {
        std::string data;
        BOOL ok;
        DWORD error;
    };
    std::deque<ReadStep> reads;
    std::vector<COMMTIMEOUTS> timeouts;
    std::vector<std::string> docs;
    bool hasDeviceId = false;
    std::string deviceId;
    std::vector<std::string> controls;
    std::map<std::u16string, std::unique_ptr<MONITORINIT>> inits;
    MONITORREG reg{};
};

PortmonState &state()
{
    static PortmonState *s = new PortmonState;
    return *s;
}

const char *call_name(plat::PortmonCall c)
{
    switch (c) {
    case plat::PortmonCall::OpenPort: return "OpenPort";
    case plat::PortmonCall::ClosePort: return "ClosePort";
    case plat::PortmonCall::StartDocPort: return "StartDocPort";
    case plat::PortmonCall::WritePort: return "WritePort";
    case plat::PortmonCall::ReadPort: return "ReadPort";
    case plat::PortmonCall::EndDocPort: return "EndDocPort";
    }
    return "?";
}

/*
 * Logs the call; false (the call goes on) unless a failure is scripted, which
 * then sets the scripted last error (also 0, for a port monitor that fails
 * without saying why).  Caller holds the lock.
 */
bool refused(PortmonState &s, plat::PortmonCall c, const std::string &port)
{
    s.log.push_back(std::string(call_name(c)) + " " + port);
    auto it = s.failures.find(c);
    if (it == s.failures.end() || it->second.count == 0)
        return false;
    --it->second.count;
    SetLastError(it->second.error);
    return true;
}

/* The port of a handle, or null with ERROR_INVALID_HANDLE.  Caller holds the lock. */
const std::string *port_of(PortmonState &s, HANDLE h)
{
    auto it = s.ports.find(reinterpret_cast<uintptr_t>(h));
    if (it == s.ports.end()) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return &it->second;
}

BOOL pm_open_port(HANDLE, LPWSTR name, PHANDLE out)
{
    PortmonState &s = state();
    std::lock_guard<std::mutex> g(s.m);
    if (!name || !out) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const std::string port = plat::utf16_to_utf8(name);
    if (refused(s, plat::PortmonCall::OpenPort, port))
        return FALSE;
    const uintptr_t h = s.next_handle++;
    s.ports[h] = port;
    *out = reinterpret_cast<HANDLE>(h);
    return TRUE;
}

BOOL pm_close_port(HANDLE h)
{
    PortmonState &s = state();
    std::lock_guard<std::mutex> g(s.m);
    const std::string *port = port_of(s, h);
    if (!port)
        return FALSE;
    if (refused(s, plat::PortmonCall::ClosePort, *port))
        return FALSE;
    s.ports.erase(reinterpret_cast<uintptr_t>(h));
    return TRUE;
}

/* A call on an open port that only answers as scripted. */
BOOL simple_call(HANDLE h, plat::PortmonCall c)
{
    PortmonState &s = state();
    std::lock_guard<std::mutex> g(s.m);
    const std::string *port = port_of(s, h);
    if (!port)
        return FALSE;
    if (refused(s, c, *port))
        return FALSE;
    return TRUE;
}

BOOL pm_start_doc(HANDLE h, LPWSTR printer, DWORD job, DWORD level, LPBYTE info)
{
    if (!simple_call(h, plat::PortmonCall::StartDocPort))
        return FALSE;
    PortmonState &s = state();
    std::lock_guard<std::mutex> g(s.m);
    std::string doc = printer ? plat::utf16_to_utf8(printer) : std::string("(null)");
    doc += "|" + std::to_string(job) + "|" + std::to_string(level) + "|";
    const auto *d = reinterpret_cast<const DOC_INFO_3W *>(info); /* levels 1 and 3 begin alike */
    doc += d && d->pDocName ? plat::utf16_to_utf8(d->pDocName) : std::string("(null)");
    s.docs.push_back(doc);
    return TRUE;
}

BOOL pm_end_doc(HANDLE h) { return simple_call(h, plat::PortmonCall::EndDocPort); }

BOOL pm_write(HANDLE h, LPBYTE data, DWORD n, LPDWORD written)
{
    if (written)
        *written = 0;
    if (!simple_call(h, plat::PortmonCall::WritePort))
        return FALSE;
    PortmonState &s = state();
    std::lock_guard<std::mutex> g(s.m);
    PortmonState::WriteStep step{n, TRUE, 0};
    const bool scripted = !s.writes.empty();
    if (scripted) {
        step = s.writes.front();
        s.writes.pop_front();
    }
    const DWORD moved = std::min(n, step.moved);
    if (data && moved)
        s.written.append(reinterpret_cast<const char *>(data), moved);
    if (written)
        *written = moved;
    if (scripted)
        SetLastError(step.error);
    return step.ok;
}

BOOL pm_read(HANDLE h, LPBYTE buffer, DWORD size, LPDWORD read)
{
    if (read)
        *read = 0;
    if (!simple_call(h, plat::PortmonCall::ReadPort))
        return FALSE;
    PortmonState &s = state();
    std::lock_guard<std::mutex> g(s.m);
    if (s.reads.empty())
        return TRUE;
    PortmonState::ReadStep step = s.reads.front();
    s.reads.pop_front();
    const DWORD n = buffer ? DWORD(std::min<size_t>(size, step.data.size())) : 0;
    if (n)
        std::memcpy(buffer, step.data.data(), n);
    if (read)
        *read = n;
    if (n < step.data.size())
        s.reads.push_front({step.data.substr(n), TRUE, 0});
    SetLastError(step.error);
    return step.ok;
}

BOOL pm_set_timeouts(HANDLE h, LPCOMMTIMEOUTS t, DWORD)
{
    PortmonState &s = state();
    std::lock_guard<std::mutex> g(s.m);
    if (!port_of(s, h))
        return FALSE;
    if (!t) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    s.timeouts.push_back(*t);
    return TRUE;
}

/* Control requests: the device ID (plain, or behind a 2-byte length on QZUSB ports); others are taken. */
BOOL pm_get_data(HANDLE h, DWORD control, LPWSTR, LPWSTR in, DWORD inSize, LPWSTR out, DWORD outSize,
                 LPDWORD returned)
{
    PortmonState &s = state();
    std::lock_guard<std::mutex> g(s.m);
    if (returned)
        *returned = 0;
    if (!port_of(s, h))
        return FALSE;
    char line[64];
    const int first = in && inSize ? int(*reinterpret_cast<const BYTE *>(in)) : -1;
    std::snprintf(line, sizeof line, "0x%X in=%d", unsigned(control), first);
    s.controls.push_back(line);
    if (control != 0x16000C && control != 0x220414)
        return TRUE;
    if (!s.hasDeviceId) {
        SetLastError(31); /* ERROR_GEN_FAILURE: the device does not answer */
        return FALSE;
    }
    std::string answer = s.deviceId;
    if (control == 0x220414) {
        const size_t n = answer.size() + 2;
        answer.insert(0, 1, char(n & 0xFF));
        answer.insert(0, 1, char((n >> 8) & 0xFF));
    }
    const DWORD n = DWORD(std::min<size_t>(answer.size(), outSize));
    if (out && n)
        std::memcpy(out, answer.data(), n);
    if (returned)
        *returned = n;
    return TRUE;
}

const MONITOR2 table = [] {
    MONITOR2 t{};
    t.cbSize = sizeof(MONITOR2);
    t.pfnOpenPort = pm_open_port;
    t.pfnStartDocPort = pm_start_doc;
    t.pfnWritePort = pm_write;
    t.pfnReadPort = pm_read;
    t.pfnEndDocPort = pm_end_doc;
    t.pfnClosePort = pm_close_port;
    t.pfnSetPortTimeOuts = pm_set_timeouts;
    t.pfnGetPrinterDataFromPort = pm_get_data;
    return t;
}();

/* ---- MONITORINIT registry callbacks -------------------------------------- */

LONG reg_open_key(HANDLE key, LPCWSTR sub, REGSAM sam, HANDLE *out, HANDLE)
{
    if (!out)
        return ERROR_INVALID_PARAMETER;
    HKEY k = nullptr;
    const LONG rc = RegOpenKeyExW(static_cast<HKEY>(key), sub ? sub : u"", 0, sam, &k);
    *out = rc == ERROR_SUCCESS ? static_cast<HANDLE>(k) : nullptr;
    return rc;
}

LONG reg_close_key(HANDLE key, HANDLE) { return RegCloseKey(static_cast<HKEY>(key)); }

LONG reg_query_value(HANDLE key, LPCWSTR name, PDWORD type, PBYTE data, PDWORD size, HANDLE)
{
    return RegQueryValueExW(static_cast<HKEY>(key), name, nullptr, type, data, size);
}

void portmon_reset()
{
    PortmonState &s = state();
    std::lock_guard<std::mutex> g(s.m);
    s.ports.clear();
    s.failures.clear();
    s.log.clear();
    s.writes.clear();
    s.written.clear();
    s.reads.clear();
    s.timeouts.clear();
    s.docs.clear();
    s.hasDeviceId = false;
    s.deviceId.clear();
    s.controls.clear();
    for (auto &[name, init] : s.inits)
        RegCloseKey(static_cast<HKEY>(init->hckRegistry));
    s.inits.clear();
}

const bool registered = (plat::machine_on_reset(portmon_reset), true);

} // namespace

namespace plat {

PMONITORINIT monitor_init_for(const std::u16string &monitor)
{
    PortmonState &s = state();
    std::lock_guard<std::mutex> g(s.m);
    auto it = s.inits.find(monitor);
    if (it != s.inits.end())
        return it->second.get();
    HKEY key = nullptr;
    const std::u16string path = u"SYSTEM\\CurrentControlSet\\Control\\Print\\Monitors\\" + monitor;
    if (RegCreateKeyExW(HKEY_LOCAL_MACHINE, path.c_str(), 0, nullptr, 0, KEY_ALL_ACCESS, nullptr, &key, nullptr) !=
        ERROR_SUCCESS)
        return nullptr;
    s.reg.cbSize = sizeof(MONITORREG);
    s.reg.fpOpenKey = reg_open_key;
    s.reg.fpCloseKey = reg_close_key;
    s.reg.fpQueryValue = reg_query_value;
    auto init = std::make_unique<MONITORINIT>();
    init->cbSize = sizeof(MONITORINIT);
    init->hSpooler = reinterpret_cast<HANDLE>(uintptr_t{0x5900});
    init->hckRegistry = key;
    init->pMonitorReg = &s.reg;
    init->bLocal = TRUE;
    PMONITORINIT p = init.get();
    s.inits.emplace(monitor, std::move(init));
    return p;
}

LPMONITOR2 portmon_table() { return const_cast<LPMONITOR2>(&table); }

HANDLE portmon_handle() { return reinterpret_cast<HANDLE>(uintptr_t{0x5800}); }

void portmon_fail(PortmonCall call, DWORD error, unsigned count)
{
    PortmonState &s = state();
    std::lock_guard<std::mutex> g(s.m);
    s.failures[call] = {error, count};
}

void portmon_script_write(DWORD moved, BOOL ok, DWORD error, unsigned times)
{
    PortmonState &s = state();
    std::lock_guard<std::mutex> g(s.m);
    for (unsigned i = 0; i < times; ++i)
        s.writes.push_back({moved, ok, error});
}

std::string portmon_written()
{
    PortmonState &s = state();
    std::lock_guard<std::mutex> g(s.m);
    return s.written;
}

void portmon_script_read(const std::string &data, BOOL ok, DWORD error)
{
    PortmonState &s = state();
    std::lock_guard<std::mutex> g(s.m);
    s.reads.push_back({data, ok, error});
}

std::vector<COMMTIMEOUTS> portmon_timeouts()
{
    PortmonState &s = state();
    std::lock_guard<std::mutex> g(s.m);
    return s.timeouts;
}

std::vector<std::string> portmon_docs()
{
    PortmonState &s = state();
    std::lock_guard<std::mutex> g(s.m);
    return s.docs;
}

std::vector<std::string> portmon_log()
{
    PortmonState &s = state();
    std::lock_guard<std::mutex> g(s.m);
    return s.log;
}

void portmon_set_device_id(const std::string &id, bool answers)
{
    PortmonState &s = state();
    std::lock_guard<std::mutex> g(s.m);
    s.hasDeviceId = answers;
    s.deviceId = id;
}

std::vector<std::string> portmon_controls()
{
    PortmonState &s = state();
    std::lock_guard<std::mutex> g(s.m);
    return s.controls;
}

size_t portmon_open_ports()
{
    PortmonState &s = state();
    std::lock_guard<std::mutex> g(s.m);
    return s.ports.size();
}

} // namespace plat
