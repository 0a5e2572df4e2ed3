/*
 * The handle table (see plat/handle.h): a map from handle value to kind and
 * shared object, under one lock.  Objects are closed outside the lock, so a
 * close function may itself use the table.  Values come from one counter
 * that no reset winds back, so a closed handle's value never names another
 * object; services with tables of their own take their values from it too.
 */
#include <plat/error.h>
#include <plat/handle.h>
#include <plat/machine.h>
#include <plat/sync.h>

#include <mutex>
#include <unordered_map>
#include <vector>

namespace plat {

namespace {

/* The first handle value: small values stay free, as on Windows. */
constexpr uintptr_t kFirstValue = 0x100;
/* The last value handed out: past it the counter would wrap and meet values in use. */
constexpr uintptr_t kLastValue = ~uintptr_t(0) - 0xFFFF;

struct KindEntry {
    handle_close_fn close = nullptr;
    bool by_close_handle = true;
};

struct Entry {
    uint32_t kind;
    std::shared_ptr<void> object;
};

struct HandleTable {
    std::mutex lock;
    std::unordered_map<uint32_t, KindEntry> kinds;
    std::unordered_map<uintptr_t, Entry> handles;
    uintptr_t next = kFirstValue; /* values grow by 4 and are never wound back */
};

HandleTable &table()
{
    static HandleTable *t = new HandleTable; /* never destroyed: handles may be closed during exit */
    return *t;
}

/*
 * A value never handed out before, or 0 (ERROR_NOT_ENOUGH_MEMORY, as when
 * Windows runs out of handles) once the counter is spent; call with the
 * lock held.  The end takes 2^30 handles in a 32-bit process and is out of
 * reach in a 64-bit one, but wrapping round would hand out values still in
 * use, so it is refused.
 */
uintptr_t fresh_value(HandleTable &t)
{
    if (t.next > kLastValue) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return 0;
    }
    uintptr_t value = t.next;
    t.next += 4;
    return value;
}

/* A new handle for `object`, or null (the object is then released by the caller's reference). */
HANDLE add_entry(HandleTable &t, uint32_t kind, std::shared_ptr<void> object)
{
    uintptr_t value = fresh_value(t);
    if (value == 0)
        return nullptr;
    t.handles.emplace(value, Entry{kind, std::move(object)});
    return reinterpret_cast<HANDLE>(value);
}

/* Removes every handle; the objects close as their references go.  The counter runs on. */
void handles_reset()
{
    HandleTable &t = table();
    std::unordered_map<uintptr_t, Entry> gone;
    {
        std::lock_guard<std::mutex> g(t.lock);
        gone.swap(t.handles);
    }
    gone.clear();
}

const bool registered = (machine_on_reset(handles_reset), true);

} // namespace

bool handle_register(uint32_t kind, handle_close_fn close, bool by_close_handle)
{
    (void)registered;
    if (kind == HANDLE_KIND_ANY || !close)
        return false;
    HandleTable &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    t.kinds[kind] = KindEntry{close, by_close_handle};
    return true;
}

HANDLE handle_create(uint32_t kind, void *object)
{
    if (!object)
        return nullptr;
    HandleTable &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    auto k = t.kinds.find(kind);
    if (k == t.kinds.end())
        return nullptr;
    try {
        return add_entry(t, kind, std::shared_ptr<void>(object, k->second.close));
    } catch (...) {
        /* Out of memory: shared_ptr has already closed the object. */
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
}

std::shared_ptr<void> handle_object(HANDLE h, uint32_t kind)
{
    HandleTable &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    auto it = t.handles.find(reinterpret_cast<uintptr_t>(h));
    if (it == t.handles.end() || (kind != HANDLE_KIND_ANY && it->second.kind != kind))
        return nullptr;
    return it->second.object;
}

uint32_t handle_kind(HANDLE h)
{
    HandleTable &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    auto it = t.handles.find(reinterpret_cast<uintptr_t>(h));
    return it == t.handles.end() ? uint32_t(HANDLE_KIND_ANY) : it->second.kind;
}

bool handle_close(HANDLE h, uint32_t kind)
{
    HandleTable &t = table();
    std::shared_ptr<void> gone;
    {
        std::lock_guard<std::mutex> g(t.lock);
        auto it = t.handles.find(reinterpret_cast<uintptr_t>(h));
        if (it == t.handles.end() || (kind != HANDLE_KIND_ANY && it->second.kind != kind))
            return false;
        gone = std::move(it->second.object);
        t.handles.erase(it);
    }
    return true; /* `gone` closes the object here, outside the lock, if it was the last reference */
}

HANDLE handle_reserve()
{
    HandleTable &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    return reinterpret_cast<HANDLE>(fresh_value(t));
}

HANDLE handle_duplicate(HANDLE h)
{
    HandleTable &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    auto it = t.handles.find(reinterpret_cast<uintptr_t>(h));
    if (it == t.handles.end())
        return nullptr;
    Entry copy = it->second;
    return add_entry(t, copy.kind, std::move(copy.object));
}

size_t handle_count(uint32_t kind)
{
    HandleTable &t = table();
    std::lock_guard<std::mutex> g(t.lock);
    size_t n = 0;
    for (const auto &e : t.handles)
        if (kind == HANDLE_KIND_ANY || e.second.kind == kind)
            n++;
    return n;
}

} // namespace plat

BOOL CloseHandle(HANDLE h)
{
    using namespace plat;
    if (h == reinterpret_cast<HANDLE>(intptr_t(-1)) || h == reinterpret_cast<HANDLE>(intptr_t(-2)))
        return TRUE; /* pseudo-handles of the current process and thread */
    HandleTable &t = table();
    uint32_t kind = 0;
    bool known = false;
    {
        std::lock_guard<std::mutex> g(t.lock);
        auto it = t.handles.find(reinterpret_cast<uintptr_t>(h));
        if (it != t.handles.end()) {
            if (!t.kinds[it->second.kind].by_close_handle) {
                SetLastError(ERROR_INVALID_HANDLE);
                return FALSE;
            }
            kind = it->second.kind;
            known = true;
        }
    }
    if (!known) {
        /* events, mutexes and threads keep a table of their own */
        if (sync_close_handle(h))
            return TRUE;
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    if (!handle_close(h, kind)) {
        SetLastError(ERROR_INVALID_HANDLE); /* closed meanwhile by another thread */
        return FALSE;
    }
    return TRUE;
}
