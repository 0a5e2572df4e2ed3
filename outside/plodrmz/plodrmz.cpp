/*
 * The status-manager stand-in "Plodrmz.DLL": the manager's twelve entry
 * points over a value store per printer, with notification events that are
 * signalled when a watched value changes, the size answers of a size-0
 * query, failures a test asks for (plodrmz/plodrmz_control.h) and a log of
 * every call.  Thread-safe: the language monitor calls it from the spooler's
 * threads, its worker and its manager threads at once.
 */
#include <plodrmz/plodrmz_control.h>

#include <plat/sync.h>
#include <plat/text.h>

#include <algorithm>
#include <cstring>
#include <map>
#include <mutex>
#include <string>
#include <vector>

#define PLODRMZ_EXPORT extern "C" __attribute__((visibility("default")))

namespace {

constexpr LONG kInvalidHandle = -1;
constexpr LONG kNoValue = -2;
constexpr LONG kInvalidArgument = -3;
/* Answer of a size-0 query unless the test chose another. */
constexpr LONG kMoreData = -33;
constexpr uintptr_t kHandleBase = 0x504C0000;

struct Registration {
    uintptr_t handle;
    DWORD id;
    std::vector<std::string> names;
    std::vector<HANDLE> events;
};

struct State {
    std::mutex lock;
    PlodrmzConfig config{};
    std::map<std::u16string, std::map<std::string, std::vector<BYTE>>> values;
    std::map<uintptr_t, std::u16string> handles;
    std::vector<Registration> registrations;
    std::vector<PlodrmzCall> log;
    uintptr_t nextHandle = 0;
    DWORD nextId = 0;
};

State &state()
{
    static State s;
    return s;
}

std::u16string key_of(LPCWSTR printer) { return printer ? std::u16string(printer) : std::u16string(); }

void log_call(State &s, const char *call, const std::u16string &printer, const char *name, const void *value,
              DWORD size, LONG result)
{
    PlodrmzCall c{};
    lstrcpynA(c.call, call, int(sizeof c.call));
    lstrcpynW(c.printer, printer.c_str(), int(sizeof c.printer / sizeof(WCHAR)));
    if (name)
        lstrcpynA(c.name, name, int(sizeof c.name));
    c.size = size;
    if (value)
        std::memcpy(c.value, value, std::min<DWORD>(size, PLODRMZ_LOG_BYTES));
    c.result = result;
    s.log.push_back(c);
}

/* Signals every registration of `printer` that watches `name`. */
void signal_watchers(State &s, const std::u16string &printer, const std::string &name)
{
    for (const Registration &r : s.registrations) {
        auto h = s.handles.find(r.handle);
        if (h == s.handles.end() || h->second != printer)
            continue;
        for (size_t i = 0; i < r.names.size() && i < r.events.size(); ++i)
            if (r.names[i] == name)
                SetEvent(r.events[i]);
    }
}

void put_defaults(State &s, const std::u16string &printer)
{
    auto &v = s.values[printer];
    if (!v.count("Port"))
        v["Port"] = std::vector<BYTE>(516, 0);
    if (!v.count("PrinterName")) {
        std::vector<BYTE> name(520, 0);
        std::memcpy(name.data(), printer.c_str(), std::min<size_t>(259, printer.size()) * 2);
        v["PrinterName"] = name;
    }
    if (!v.count("TerminateManager"))
        v["TerminateManager"] = std::vector<BYTE>(4, 0);
    if (!v.count("JobStatus"))
        v["JobStatus"] = std::vector<BYTE>(4, 0);
}

LONG get_status(const char *call, HANDLE manager, const std::string &name, void *buffer, DWORD size, DWORD *needed)
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    auto h = s.handles.find(reinterpret_cast<uintptr_t>(manager));
    LONG result;
    std::u16string printer;
    if (h == s.handles.end()) {
        result = kInvalidHandle;
    } else {
        printer = h->second;
        auto &values = s.values[printer];
        auto v = values.find(name);
        if (s.config.failReads || v == values.end()) {
            result = kNoValue;
        } else if (size == 0) {
            if (needed)
                *needed = DWORD(v->second.size());
            result = s.config.sizeQueryResult ? s.config.sizeQueryResult : kMoreData;
        } else if (!buffer) {
            result = kInvalidArgument;
        } else {
            const DWORD n = std::min<DWORD>(size, DWORD(v->second.size()));
            std::memcpy(buffer, v->second.data(), n);
            if (needed)
                *needed = DWORD(v->second.size());
            result = 0;
        }
    }
    log_call(s, call, printer, name.c_str(), nullptr, size, result);
    return result;
}

} // namespace

BOOL plodrmz_entry(HINSTANCE, DWORD reason, LPVOID)
{
    if (reason == DLL_PROCESS_ATTACH) {
        State &s = state();
        std::lock_guard<std::mutex> guard(s.lock);
        s.config = PlodrmzConfig{};
        s.values.clear();
        s.handles.clear();
        s.registrations.clear();
        s.log.clear();
    }
    return TRUE;
}

PLAT_MODULE_ENTRY(plodrmz_entry)

/* ---- The manager's entry points ---------------------------------------------------------- */

PLODRMZ_EXPORT LONG OpenManagerExW(LPCWSTR printer, LPCWSTR device, DWORD mode, HANDLE *manager)
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    LONG result = s.config.openResult;
    const std::u16string key = key_of(printer);
    if (!manager || !printer || !device || mode != 1)
        result = kInvalidArgument;
    if (manager)
        *manager = nullptr;
    if (result == 0 && !s.config.openNullHandle) {
        const uintptr_t h = kHandleBase + ++s.nextHandle;
        s.handles[h] = key;
        *manager = reinterpret_cast<HANDLE>(h);
        if (!s.config.noDefaults)
            put_defaults(s, key);
    }
    log_call(s, "OpenManagerExW", key, nullptr, nullptr, 0, result);
    return result;
}

PLODRMZ_EXPORT LONG CloseManager(HANDLE manager)
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    auto h = s.handles.find(reinterpret_cast<uintptr_t>(manager));
    const std::u16string printer = h == s.handles.end() ? std::u16string() : h->second;
    const LONG result = h == s.handles.end() ? kInvalidHandle : 0;
    if (h != s.handles.end()) {
        /* A closed handle's notification registrations end with it. */
        const uintptr_t gone = h->first;
        s.handles.erase(h);
        std::erase_if(s.registrations, [&](const Registration &r) { return r.handle == gone; });
    }
    log_call(s, "CloseManager", printer, nullptr, nullptr, 0, result);
    return result;
}

PLODRMZ_EXPORT LONG GetPrinterStatusA(HANDLE manager, LPCSTR name, void *buffer, DWORD size, DWORD *needed)
{
    return get_status("GetPrinterStatusA", manager, name ? name : "", buffer, size, needed);
}

PLODRMZ_EXPORT LONG GetPrinterStatusW(HANDLE manager, LPCWSTR name, void *buffer, DWORD size, DWORD *needed)
{
    std::string narrow;
    for (const WCHAR *p = name; p && *p; ++p)
        narrow += char(*p < 0x80 ? *p : '?');
    return get_status("GetPrinterStatusW", manager, narrow, buffer, size, needed);
}

PLODRMZ_EXPORT LONG SetReqPrinterStatusEventA(HANDLE manager, LPCSTR name, HANDLE)
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    const LONG result = s.handles.count(reinterpret_cast<uintptr_t>(manager)) ? 0 : kInvalidHandle;
    log_call(s, "SetReqPrinterStatusEventA", std::u16string(), name, nullptr, 0, result);
    return result;
}

PLODRMZ_EXPORT LONG ResSetPrinterStatus(HANDLE manager, LPCSTR name)
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    const LONG result = s.handles.count(reinterpret_cast<uintptr_t>(manager)) ? 0 : kInvalidHandle;
    log_call(s, "ResSetPrinterStatus", std::u16string(), name, nullptr, 0, result);
    return result;
}

PLODRMZ_EXPORT LONG UpdatePrinterStatusA(HANDLE manager, LPCSTR name, const void *value, DWORD size)
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    auto h = s.handles.find(reinterpret_cast<uintptr_t>(manager));
    LONG result = s.config.updateResult;
    std::u16string printer;
    if (h == s.handles.end())
        result = kInvalidHandle;
    else
        printer = h->second;
    if (result == 0 && (!name || (!value && size)))
        result = kInvalidArgument;
    if (result == 0) {
        const BYTE *b = static_cast<const BYTE *>(value);
        std::vector<BYTE> fresh(b, b + size);
        auto &slot = s.values[printer][name];
        const bool changed = slot != fresh;
        slot = std::move(fresh);
        if (changed && s.config.extStatusEchoes && std::strcmp(name, "PrinterExtStatus") == 0)
            signal_watchers(s, printer, name);
    }
    log_call(s, "UpdatePrinterStatusA", printer, name, value, size, result);
    return result;
}

PLODRMZ_EXPORT LONG SetNotificationEventA(HANDLE manager, LPCSTR name, HANDLE event, DWORD *id)
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    LONG result = s.handles.count(reinterpret_cast<uintptr_t>(manager)) ? 0 : kInvalidHandle;
    if (result == 0 && (!name || !event || !id))
        result = kInvalidArgument;
    if (result == 0) {
        *id = ++s.nextId;
        s.registrations.push_back({reinterpret_cast<uintptr_t>(manager), *id, {name}, {event}});
    }
    log_call(s, "SetNotificationEventA", std::u16string(), name, nullptr, 0, result);
    return result;
}

PLODRMZ_EXPORT LONG SetNotificationEventExA(HANDLE manager, DWORD count, LPCSTR names, HANDLE *events, DWORD *id)
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    auto h = s.handles.find(reinterpret_cast<uintptr_t>(manager));
    LONG result = h == s.handles.end() ? kInvalidHandle : s.config.notificationResult;
    std::vector<std::string> list;
    if (result == 0 && (!names || !events || !id || count == 0 || count > 16))
        result = kInvalidArgument;
    if (result == 0) {
        std::string all(names), item;
        for (char c : all) {
            if (c == ';') {
                list.push_back(item);
                item.clear();
            } else {
                item += c;
            }
        }
        list.push_back(item);
        if (list.size() != count)
            result = kInvalidArgument;
    }
    if (result == 0) {
        *id = ++s.nextId;
        s.registrations.push_back({h->first, *id, list, std::vector<HANDLE>(events, events + count)});
    } else if (id) {
        *id = s.config.notificationIdOnFailure;
    }
    log_call(s, "SetNotificationEventExA", h == s.handles.end() ? std::u16string() : h->second, names, nullptr,
             count, result);
    return result;
}

PLODRMZ_EXPORT LONG KillNotificationEvent(HANDLE manager, DWORD id)
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    auto r = std::find_if(s.registrations.begin(), s.registrations.end(), [&](const Registration &x) {
        return x.id == id && x.handle == reinterpret_cast<uintptr_t>(manager);
    });
    const LONG result = r == s.registrations.end() ? kInvalidArgument : 0;
    if (r != s.registrations.end())
        s.registrations.erase(r);
    log_call(s, "KillNotificationEvent", std::u16string(), nullptr, nullptr, id, result);
    return result;
}

PLODRMZ_EXPORT LONG SetNotificationCallbackExA(HANDLE manager, DWORD count, LPCSTR names, void *, void *,
                                               DWORD *id)
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    LONG result = s.handles.count(reinterpret_cast<uintptr_t>(manager)) ? 0 : kInvalidHandle;
    if (result == 0 && id)
        *id = ++s.nextId;
    log_call(s, "SetNotificationCallbackExA", std::u16string(), names, nullptr, count, result);
    return result;
}

PLODRMZ_EXPORT LONG KillNotificationCallback(HANDLE manager, DWORD id)
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    const LONG result = s.handles.count(reinterpret_cast<uintptr_t>(manager)) ? 0 : kInvalidHandle;
    log_call(s, "KillNotificationCallback", std::u16string(), nullptr, nullptr, id, result);
    return result;
}

/* ---- Control functions for tests ------------------------------------------------------------ */

PLODRMZ_EXPORT void PlodrmzConfigure(const PlodrmzConfig *config)
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.config = config ? *config : PlodrmzConfig{};
}

PLODRMZ_EXPORT BOOL PlodrmzSetValue(LPCWSTR printer, LPCSTR name, const void *value, DWORD size)
{
    if (!name || (!value && size))
        return FALSE;
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    const BYTE *b = static_cast<const BYTE *>(value);
    s.values[key_of(printer)][name] = std::vector<BYTE>(b, b + size);
    signal_watchers(s, key_of(printer), name);
    return TRUE;
}

PLODRMZ_EXPORT BOOL PlodrmzDeleteValue(LPCWSTR printer, LPCSTR name)
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    return name && s.values[key_of(printer)].erase(name) ? TRUE : FALSE;
}

PLODRMZ_EXPORT DWORD PlodrmzGetValue(LPCWSTR printer, LPCSTR name, void *buffer, DWORD size)
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    if (!name)
        return 0;
    auto &values = s.values[key_of(printer)];
    auto v = values.find(name);
    if (v == values.end())
        return 0;
    if (buffer)
        std::memcpy(buffer, v->second.data(), std::min<size_t>(size, v->second.size()));
    return DWORD(v->second.size());
}

PLODRMZ_EXPORT DWORD PlodrmzLogCount(void)
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    return DWORD(s.log.size());
}

PLODRMZ_EXPORT BOOL PlodrmzLogEntry(DWORD index, PlodrmzCall *out)
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    if (!out || index >= s.log.size())
        return FALSE;
    *out = s.log[index];
    return TRUE;
}

PLODRMZ_EXPORT void PlodrmzClearLog(void)
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    s.log.clear();
}

PLODRMZ_EXPORT LONG PlodrmzOpenHandles(void)
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    return LONG(s.handles.size());
}

PLODRMZ_EXPORT LONG PlodrmzRegistrations(void)
{
    State &s = state();
    std::lock_guard<std::mutex> guard(s.lock);
    return LONG(s.registrations.size());
}
