/*
 * Events, mutexes, threads and the waits on them, plus critical sections.
 *
 * All waitable objects share one lock and one condition variable: every
 * change of an object's state wakes every waiter, which then re-checks its
 * own objects.  That keeps wait-all (take several objects at once) simple
 * and correct; the driver waits on a handful of objects at most.  The
 * machine clock wakes the same condition variable when it moves, so that
 * timed waits on a fixed clock see their deadline pass.
 *
 * A handle is a value from the handle table's counter (plat/handle.h), so a
 * closed handle's value never comes back for a new object; this file's
 * table maps it to the object, which every handle that opens it shares.
 */
#include <plat/error.h>
#include <plat/handle.h>
#include <plat/machine.h>
#include <plat/sysinfo.h>
#include <plat/text.h>
#include <plat/thread.h>

#include <sys/resource.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <chrono>
#include <cstdlib>
#include <condition_variable>
#include <map>
#include <memory>
#include <mutex>
#include <new>
#include <thread>
#include <unordered_map>
#include <vector>

namespace plat {

namespace {

enum class Kind { Event, Mutex, Thread };

struct Object {
    explicit Object(Kind k) : kind(k) {}
    Kind kind;
    std::u16string name; /* empty for an unnamed object */
    unsigned handles = 0;
    /* event */
    bool manual = false;
    bool signaled = false;
    /* mutex */
    std::thread::id owner; /* default id: not owned */
    unsigned depth = 0;
    bool abandoned = false;
    /* thread */
    bool started = false;
    bool done = false;
    unsigned suspend_count = 0;
    DWORD exit_code = STILL_ACTIVE;
    DWORD tid = 0;
    pid_t os_tid = 0; /* the Linux thread id, for its priority */
};

using ObjectRef = std::shared_ptr<Object>;

struct SyncState {
    std::mutex lock;
    std::condition_variable changed;
    std::unordered_map<HANDLE, ObjectRef> handles; /* by handle value */
    std::map<std::u16string, ObjectRef> names;
    size_t waiting = 0;
};

SyncState &state()
{
    static SyncState *s = new SyncState; /* never destroyed: thread exit may abandon mutexes late */
    return *s;
}

/* The mutexes the current thread owns, abandoned when it ends. */
void abandon_owned_mutexes();

struct OwnedMutexes {
    std::vector<std::weak_ptr<Object>> list;
    ~OwnedMutexes() { abandon_owned_mutexes(); }
};

OwnedMutexes &owned()
{
    thread_local OwnedMutexes o;
    return o;
}

void abandon_owned_mutexes()
{
    SyncState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    OwnedMutexes &o = owned();
    const std::thread::id me = std::this_thread::get_id();
    for (auto &weak : o.list) {
        ObjectRef m = weak.lock();
        if (m && m->owner == me) {
            m->owner = std::thread::id();
            m->depth = 0;
            m->abandoned = true;
        }
    }
    o.list.clear();
    s.changed.notify_all();
}

/* Lock held.  A new handle to `obj`; null (with the last error) when no value is left. */
HANDLE add_handle(SyncState &s, const ObjectRef &obj)
{
    HANDLE h = handle_reserve();
    if (!h)
        return nullptr;
    s.handles.emplace(h, obj);
    obj->handles++;
    return h;
}

/* Lock held.  The object behind `h`, or null. */
ObjectRef find(SyncState &s, HANDLE h)
{
    auto it = s.handles.find(h);
    return it == s.handles.end() ? nullptr : it->second;
}

/* Lock held.  Whether the current thread could take `o` now. */
bool is_signaled(const Object &o, std::thread::id me)
{
    switch (o.kind) {
    case Kind::Event:
        return o.signaled;
    case Kind::Mutex:
        return o.owner == std::thread::id() || o.owner == me;
    case Kind::Thread:
        return o.done;
    }
    return false;
}

/* Lock held, `o` signalled.  Takes `o`; true when it was an abandoned mutex. */
bool acquire(Object &o, const ObjectRef &ref, std::thread::id me)
{
    if (o.kind == Kind::Event && !o.manual)
        o.signaled = false;
    if (o.kind != Kind::Mutex)
        return false;
    if (o.depth == 0) {
        o.owner = me;
        owned().list.push_back(ref);
    }
    o.depth++;
    const bool was_abandoned = o.abandoned;
    o.abandoned = false;
    return was_abandoned;
}

/* Lock held.  One attempt to satisfy a wait; WAIT_TIMEOUT when it cannot be yet. */
DWORD try_wait(const std::vector<ObjectRef> &objs, bool all)
{
    const std::thread::id me = std::this_thread::get_id();
    if (!all) {
        for (size_t i = 0; i < objs.size(); i++)
            if (is_signaled(*objs[i], me))
                return DWORD((acquire(*objs[i], objs[i], me) ? WAIT_ABANDONED_0 : WAIT_OBJECT_0) + i);
        return WAIT_TIMEOUT;
    }
    for (const auto &o : objs)
        if (!is_signaled(*o, me))
            return WAIT_TIMEOUT;
    DWORD result = WAIT_OBJECT_0;
    for (size_t i = 0; i < objs.size(); i++)
        if (acquire(*objs[i], objs[i], me) && result == WAIT_OBJECT_0)
            result = DWORD(WAIT_ABANDONED_0 + i);
    return result;
}

DWORD wait_for(const HANDLE *handles, DWORD count, bool all, DWORD ms)
{
    SyncState &s = state();
    std::unique_lock<std::mutex> lk(s.lock);
    std::vector<ObjectRef> objs;
    for (DWORD i = 0; i < count; i++) {
        ObjectRef o = find(s, handles[i]);
        if (!o) {
            SetLastError(ERROR_INVALID_HANDLE);
            return WAIT_FAILED;
        }
        for (DWORD j = 0; j < i; j++)
            if (handles[j] == handles[i] || (all && objs[j] == o)) {
                SetLastError(ERROR_INVALID_PARAMETER);
                return WAIT_FAILED;
            }
        objs.push_back(std::move(o));
    }
    ClockReading start = clock_read();
    ULONGLONG remaining = ms;
    ULONGLONG deadline = start.tick + remaining;
    unsigned epoch = start.epoch;
    for (;;) {
        const DWORD r = try_wait(objs, all);
        if (r != WAIT_TIMEOUT || ms == 0)
            return r;
        s.waiting++;
        if (ms == INFINITE) {
            s.changed.wait(lk);
        } else {
            const ClockReading now = clock_read();
            if (now.epoch != epoch) { /* the clock was fixed or freed: what was left counts from then */
                epoch = now.epoch;
                deadline = now.epoch_tick + remaining;
            }
            if (now.tick >= deadline) {
                s.waiting--;
                return WAIT_TIMEOUT;
            }
            remaining = deadline - now.tick;
            if (now.fixed)
                s.changed.wait(lk);
            else
                s.changed.wait_for(lk, std::chrono::milliseconds(remaining));
        }
        s.waiting--;
    }
}

/* "Local\x" and "x" name the same object. */
std::u16string object_name(LPCWSTR name)
{
    std::u16string n(name, wlen(name));
    static constexpr std::u16string_view kLocal = u"Local\\";
    if (n.compare(0, kLocal.size(), kLocal) == 0)
        n.erase(0, kLocal.size());
    return n;
}

/* Creates an object of `kind` with `name` (or opens the one that exists); `init` sets up a new one. */
template <typename Init>
HANDLE create_object(Kind kind, LPCWSTR name, Init init)
{
    SyncState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    const std::u16string n = name ? object_name(name) : std::u16string();
    if (!n.empty()) {
        auto it = s.names.find(n);
        if (it != s.names.end()) {
            if (it->second->kind != kind) {
                SetLastError(ERROR_INVALID_HANDLE);
                return nullptr;
            }
            HANDLE h = add_handle(s, it->second);
            SetLastError(ERROR_ALREADY_EXISTS);
            return h;
        }
    }
    auto obj = std::make_shared<Object>(kind);
    HANDLE h = add_handle(s, obj);
    if (!h)
        return nullptr;
    obj->name = n;
    init(*obj, obj);
    if (!n.empty())
        s.names.emplace(n, obj);
    SetLastError(ERROR_SUCCESS);
    return h;
}

HANDLE open_object(Kind kind, LPCWSTR name)
{
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    SyncState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    auto it = s.names.find(object_name(name));
    if (it == s.names.end()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return nullptr;
    }
    if (it->second->kind != kind) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return add_handle(s, it->second);
}

/* Lock held.  The object of `kind` behind `h`, or null with ERROR_INVALID_HANDLE. */
ObjectRef find_kind(SyncState &s, HANDLE h, Kind kind)
{
    ObjectRef o = find(s, h);
    if (!o || o->kind != kind) {
        SetLastError(ERROR_INVALID_HANDLE);
        return nullptr;
    }
    return o;
}

BOOL set_event_state(HANDLE h, bool signaled)
{
    SyncState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    ObjectRef o = find_kind(s, h, Kind::Event);
    if (!o)
        return FALSE;
    o->signaled = signaled;
    if (signaled)
        s.changed.notify_all();
    return TRUE;
}

void thread_main(const ObjectRef &obj, LPTHREAD_START_ROUTINE start, LPVOID param)
{
    const DWORD tid = GetCurrentThreadId();
    SyncState &s = state();
    {
        std::unique_lock<std::mutex> lk(s.lock);
        obj->tid = tid;
        obj->os_tid = ::gettid();
        obj->started = true;
        s.changed.notify_all();
        s.changed.wait(lk, [&] { return obj->suspend_count == 0; });
    }
    const DWORD code = start(param);
    abandon_owned_mutexes();
    std::lock_guard<std::mutex> g(s.lock);
    obj->exit_code = code;
    obj->done = true;
    s.changed.notify_all();
}

/* Wakes waits when the machine clock moves. */
void clock_moved()
{
    SyncState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    s.changed.notify_all();
}

void forget_names()
{
    SyncState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    for (auto &entry : s.names)
        entry.second->name.clear();
    s.names.clear();
}

const bool registered = (clock_on_change(clock_moved), machine_on_reset(forget_names), true);

/* The heap part of a critical section. */
struct SectionLock {
    std::recursive_mutex m;
    std::atomic<std::thread::id> owner{};
    unsigned depth = 0; /* touched only by the owner */
};

SectionLock *section(LPCRITICAL_SECTION cs) { return cs ? static_cast<SectionLock *>(cs->impl) : nullptr; }

} // namespace

bool sync_close_handle(HANDLE handle)
{
    SyncState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    auto it = s.handles.find(handle);
    if (it == s.handles.end())
        return false;
    ObjectRef o = std::move(it->second);
    s.handles.erase(it);
    if (--o->handles == 0 && !o->name.empty()) {
        s.names.erase(o->name);
        o->name.clear();
    }
    return true;
}

size_t sync_waiting_threads()
{
    SyncState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    return s.waiting;
}

} // namespace plat

using namespace plat;

void InitializeCriticalSection(LPCRITICAL_SECTION cs) { InitializeCriticalSectionAndSpinCount(cs, 0); }

BOOL InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION cs, DWORD)
{
    if (!cs) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::memset(cs, 0, sizeof *cs);
    cs->impl = new (std::nothrow) SectionLock;
    if (!cs->impl) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return FALSE;
    }
    return TRUE;
}

void EnterCriticalSection(LPCRITICAL_SECTION cs)
{
    SectionLock *l = section(cs);
    if (!l)
        return;
    l->m.lock();
    l->owner.store(std::this_thread::get_id());
    l->depth++;
}

BOOL TryEnterCriticalSection(LPCRITICAL_SECTION cs)
{
    SectionLock *l = section(cs);
    if (!l || !l->m.try_lock())
        return FALSE;
    l->owner.store(std::this_thread::get_id());
    l->depth++;
    return TRUE;
}

void LeaveCriticalSection(LPCRITICAL_SECTION cs)
{
    SectionLock *l = section(cs);
    if (!l || l->owner.load() != std::this_thread::get_id())
        return;
    if (--l->depth == 0)
        l->owner.store(std::thread::id());
    l->m.unlock();
}

void DeleteCriticalSection(LPCRITICAL_SECTION cs)
{
    if (!cs)
        return;
    delete section(cs);
    cs->impl = nullptr;
}

HANDLE CreateEventW(LPSECURITY_ATTRIBUTES, BOOL manual_reset, BOOL initial_state, LPCWSTR name)
{
    return create_object(Kind::Event, name, [&](Object &o, const ObjectRef &) {
        o.manual = manual_reset != FALSE;
        o.signaled = initial_state != FALSE;
    });
}

HANDLE OpenEventW(DWORD, BOOL, LPCWSTR name) { return open_object(Kind::Event, name); }

BOOL SetEvent(HANDLE event) { return set_event_state(event, true); }

BOOL ResetEvent(HANDLE event) { return set_event_state(event, false); }

HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES, BOOL initial_owner, LPCWSTR name)
{
    return create_object(Kind::Mutex, name, [&](Object &o, const ObjectRef &ref) {
        if (initial_owner)
            acquire(o, ref, std::this_thread::get_id());
    });
}

HANDLE OpenMutexW(DWORD, BOOL, LPCWSTR name) { return open_object(Kind::Mutex, name); }

BOOL ReleaseMutex(HANDLE mutex)
{
    SyncState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    ObjectRef o = find_kind(s, mutex, Kind::Mutex);
    if (!o)
        return FALSE;
    if (o->owner != std::this_thread::get_id() || o->depth == 0) {
        SetLastError(ERROR_NOT_OWNER);
        return FALSE;
    }
    if (--o->depth == 0) {
        o->owner = std::thread::id();
        auto &list = owned().list;
        for (auto it = list.begin(); it != list.end(); ++it)
            if (it->lock() == o) {
                list.erase(it);
                break;
            }
        s.changed.notify_all();
    }
    return TRUE;
}

DWORD WaitForSingleObject(HANDLE handle, DWORD ms) { return wait_for(&handle, 1, false, ms); }

DWORD WaitForMultipleObjects(DWORD count, const HANDLE *handles, BOOL wait_all, DWORD ms)
{
    if (count == 0 || count > MAXIMUM_WAIT_OBJECTS || !handles) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return WAIT_FAILED;
    }
    return wait_for(handles, count, wait_all != FALSE, ms);
}

HANDLE CreateThread(LPSECURITY_ATTRIBUTES, SIZE_T, LPTHREAD_START_ROUTINE start, LPVOID param, DWORD flags,
                    LPDWORD tid)
{
    if (!start) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    SyncState &s = state();
    auto obj = std::make_shared<Object>(Kind::Thread);
    obj->suspend_count = (flags & CREATE_SUSPENDED) ? 1 : 0;
    HANDLE h;
    {
        std::lock_guard<std::mutex> g(s.lock);
        h = add_handle(s, obj);
    }
    if (!h)
        return nullptr;
    try {
        std::thread([obj, start, param] { thread_main(obj, start, param); }).detach();
    } catch (...) {
        sync_close_handle(h);
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    std::unique_lock<std::mutex> lk(s.lock);
    s.changed.wait(lk, [&] { return obj->started; });
    if (tid)
        *tid = obj->tid;
    return h;
}

DWORD ResumeThread(HANDLE thread)
{
    SyncState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    ObjectRef o = find_kind(s, thread, Kind::Thread);
    if (!o)
        return DWORD(-1);
    const DWORD previous = o->suspend_count;
    if (o->suspend_count > 0 && --o->suspend_count == 0)
        s.changed.notify_all();
    return previous;
}

BOOL GetExitCodeThread(HANDLE thread, LPDWORD code)
{
    SyncState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    ObjectRef o = find_kind(s, thread, Kind::Thread);
    if (!o)
        return FALSE;
    if (!code) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    *code = o->exit_code;
    return TRUE;
}

/* ---- Thread priorities as nice values ---------------------------------------- */

namespace {

constexpr int kNiceMin = -20;
constexpr int kNiceMax = 19;
constexpr int kLevels[] = {THREAD_PRIORITY_IDLE,         THREAD_PRIORITY_LOWEST,  THREAD_PRIORITY_BELOW_NORMAL,
                           THREAD_PRIORITY_NORMAL,       THREAD_PRIORITY_ABOVE_NORMAL, THREAD_PRIORITY_HIGHEST,
                           THREAD_PRIORITY_TIME_CRITICAL};

HANDLE const kCurrentThread = reinterpret_cast<HANDLE>(static_cast<intptr_t>(-2));

/* The nice value that stands for "normal": the process's when priorities were first used. */
int base_nice()
{
    static const int base = [] {
        errno = 0;
        const int n = getpriority(PRIO_PROCESS, 0);
        return errno ? 0 : n;
    }();
    return base;
}

int clamp_nice(int n) { return n < kNiceMin ? kNiceMin : n > kNiceMax ? kNiceMax : n; }

int nice_of(int priority)
{
    if (priority == THREAD_PRIORITY_IDLE)
        return kNiceMax;
    if (priority == THREAD_PRIORITY_TIME_CRITICAL)
        return kNiceMin;
    return clamp_nice(base_nice() - 5 * priority);
}

bool valid_priority(int priority)
{
    for (int level : kLevels)
        if (level == priority)
            return true;
    return false;
}

/*
 * The Linux thread id behind a thread handle (the pseudo handle is the
 * caller); 0 with ERROR_INVALID_HANDLE.  An ended thread answers 0: its id
 * may already belong to another thread.
 */
pid_t os_thread_of(HANDLE thread)
{
    if (thread == kCurrentThread)
        return ::gettid();
    SyncState &s = state();
    std::lock_guard<std::mutex> g(s.lock);
    ObjectRef o = find_kind(s, thread, Kind::Thread);
    if (!o)
        return 0;
    if (o->done || !o->os_tid) {
        SetLastError(ERROR_INVALID_HANDLE);
        return 0;
    }
    return o->os_tid;
}

/* The thread's nice value; false when it cannot be read. */
bool read_nice(pid_t tid, int &nice)
{
    errno = 0;
    nice = getpriority(PRIO_PROCESS, id_t(tid));
    return errno == 0;
}

} // namespace

HANDLE GetCurrentThread(void) { return kCurrentThread; }

BOOL SetThreadPriority(HANDLE thread, int priority)
{
    if (!valid_priority(priority)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const pid_t tid = os_thread_of(thread);
    if (!tid)
        return FALSE;
    int current = 0;
    if (!read_nice(tid, current)) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    const int wanted = nice_of(priority);
    if (wanted == current)
        return TRUE;
    if (setpriority(PRIO_PROCESS, id_t(tid), wanted) == 0)
        return TRUE;
    if (errno == ESRCH) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    /* A raise beyond what the process may: as far as RLIMIT_NICE lets it, never lower than before. */
    rlimit limit{};
    if (wanted < current && getrlimit(RLIMIT_NICE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY) {
        const int floor = clamp_nice(20 - int(limit.rlim_cur));
        if (floor < current && floor > wanted)
            setpriority(PRIO_PROCESS, id_t(tid), floor);
    }
    SetLastError(ERROR_PRIVILEGE_NOT_HELD);
    return FALSE;
}

int GetThreadPriority(HANDLE thread)
{
    const pid_t tid = os_thread_of(thread);
    int nice = 0;
    if (!tid || !read_nice(tid, nice)) {
        if (tid)
            SetLastError(ERROR_INVALID_HANDLE);
        return THREAD_PRIORITY_ERROR_RETURN;
    }
    /* the level whose nice value is nearest; between two, the one nearer normal */
    int best = THREAD_PRIORITY_NORMAL, bestDistance = 1 << 20;
    for (int level : kLevels) {
        const int d = std::abs(nice_of(level) - nice);
        const bool nearerNormal = std::abs(level) < std::abs(best);
        if (d < bestDistance || (d == bestDistance && nearerNormal)) {
            best = level;
            bestDistance = d;
        }
    }
    return best;
}
