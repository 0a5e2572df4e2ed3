/*
 * The spooler's process-wide state: its lock, loading it for the machine,
 * resetting it with the machine, printer handles and their closing, name
 * lookups, the current user, the fault knobs, and the driver directory.
 */
#include "spool_private.h"

#include <plat/error.h>
#include <plat/handle.h>
#include <plat/machine.h>
#include <plat/text.h>

#include <atomic>
#include <filesystem>

namespace plat::spool {

namespace {

std::atomic<bool> g_loaded{false};

/* Resets the per-process settings (lock held). */
void reset_settings(State &st)
{
    st.user = SpoolUser::Administrator;
    st.user_name = u"tarvel";
    st.port_data_hook = nullptr;
    for (size_t i = 0; i < size_t(SpoolCall::Count); i++) {
        st.fail_at[i] = 0;
        st.fail_error[i] = 0;
    }
    st.short_write_at = 0;
    st.releases.clear();
    st.short_write_bytes = 0;
}

/* Ends every job still being written, so that it stays as far as it got (lock held). */
void end_open_jobs(State &st)
{
    std::vector<DWORD> open;
    for (const auto &[id, job] : st.jobs)
        if (job.open)
            open.push_back(id);
    for (DWORD id : open)
        finish_job(st, id);
    if (!open.empty())
        save(st);
}

/*
 * Loads the machine at `root` with the per-process settings reset (lock
 * held).  True when the driver directory is to be mounted (mount it after
 * releasing the lock).
 */
bool load_machine(State &st, const std::string &root)
{
    reset_settings(st);
    load_state(st, root);
    g_loaded.store(true);
    return !st.drivers.empty();
}

/* machine_reset hook: the old machine's open jobs end, the new machine's spooler is loaded. */
void spool_reset()
{
    State &st = state();
    std::string root = machine_root();
    bool mount;
    {
        std::lock_guard<std::mutex> g(st.lock);
        if (g_loaded.load()) {
            StoreHold hold(st);
            end_open_jobs(st);
        }
        mount = load_machine(st, root);
    }
    if (mount)
        mount_driver_dir();
}

/* Closes a printer handle's object once its last reference goes: ends a job left open on it. */
void close_handle_object(void *object)
{
    std::unique_ptr<HandleObject> h(static_cast<HandleObject *>(object));
    if (h->job == 0)
        return;
    State &st = state();
    std::lock_guard<std::mutex> g(st.lock);
    if (h->generation != st.generation)
        return; /* the machine was reset meanwhile: that job has already ended */
    StoreHold hold(st);
    finish_job(st, h->job);
    save(st);
}

const bool registered = (machine_on_reset(spool_reset),
                         handle_register(HANDLE_KIND_PRINTER, close_handle_object, false), true);

} // namespace

State &state()
{
    (void)registered;
    static State *st = new State; /* never destroyed: handles may close during exit */
    return *st;
}

void ensure_loaded()
{
    if (g_loaded.load())
        return;
    std::string root = machine_root(); /* a first machine_reset loads through the hook */
    State &st = state();
    bool mount = false;
    {
        std::lock_guard<std::mutex> g(st.lock);
        if (!g_loaded.load())
            mount = load_machine(st, root);
    }
    if (mount)
        mount_driver_dir();
}

std::shared_ptr<HandleObject> handle_ref(HANDLE h)
{
    return std::static_pointer_cast<HandleObject>(handle_object(h, HANDLE_KIND_PRINTER));
}

Printer *printer_of(State &st, const HandleObject *h)
{
    Printer *p = h && h->kind == HandleObject::PRINTER ? find_printer_id(st, h->printer_id) : nullptr;
    if (!p)
        SetLastError(ERROR_INVALID_HANDLE);
    return p;
}

Printer *enter_printer(Session &s, SpoolCall call, DWORD need)
{
    DWORD err;
    if (injected(s.st, call, &err)) {
        SetLastError(err);
        return nullptr;
    }
    Printer *p = printer_of(s.st, s.live());
    if (p && need && !(s.live()->access & need)) {
        SetLastError(ERROR_ACCESS_DENIED);
        return nullptr;
    }
    return p;
}

std::u16string fold(std::u16string_view s)
{
    std::u16string out(s);
    for (auto &c : out)
        c = wlower(c);
    return out;
}

bool same_name(std::u16string_view a, std::u16string_view b)
{
    if (a.size() != b.size())
        return false;
    for (size_t i = 0; i < a.size(); i++)
        if (wlower(a[i]) != wlower(b[i]))
            return false;
    return true;
}

std::u16string data_slot(std::u16string_view key, std::u16string_view name)
{
    std::u16string slot = fold(key);
    slot.push_back(u'\0');
    slot.append(fold(name));
    return slot;
}

std::u16string wstr(LPCWSTR p) { return p ? std::u16string(p, wlen(p)) : std::u16string(); }

Printer *find_printer(State &st, std::u16string_view name)
{
    for (auto &p : st.printers)
        if (same_name(p.name, name))
            return &p;
    return nullptr;
}

Printer *find_printer_id(State &st, uint32_t id)
{
    for (auto &p : st.printers)
        if (p.id == id)
            return &p;
    return nullptr;
}

Driver *find_driver(State &st, std::u16string_view name)
{
    for (auto &d : st.drivers)
        if (same_name(d.name, name))
            return &d;
    return nullptr;
}

Port *find_port(State &st, std::u16string_view name)
{
    for (auto &p : st.ports)
        if (same_name(p.name, name))
            return &p;
    return nullptr;
}

bool injected(State &st, SpoolCall call, DWORD *error)
{
    if (size_t(call) >= size_t(SpoolCall::Count))
        return false; /* SpoolCall::Count: a call without a fault of its own */
    unsigned &left = st.fail_at[size_t(call)];
    if (left == 0 || --left != 0)
        return false;
    *error = st.fail_error[size_t(call)];
    return true;
}

BOOL fail(DWORD error)
{
    SetLastError(error);
    return FALSE;
}

void mount_driver_dir()
{
    std::string real = plat::spool_driver_dir_real();
    std::error_code ec;
    std::filesystem::create_directories(real, ec);
    machine_mount(plat::spool_driver_dir(), real);
}

} // namespace plat::spool

namespace plat {

using namespace spool;

std::u16string spool_driver_dir() { return u"C:\\Windows\\System32\\spool\\drivers\\x64\\3"; }

std::string spool_driver_dir_real()
{
    /* The parent is never mounted, so it maps below the root, matching existing folders ignoring case. */
    std::string parent;
    if (!map_path(u"C:\\Windows\\System32\\spool\\drivers\\x64", parent))
        parent = machine_root() + "/c/Windows/System32/spool/drivers/x64";
    return parent + "/3";
}

std::string spool_state_path() { return machine_root() + "/spooler/spooler.dat"; }

DWORD spool_store_error()
{
    Session s;
    return s.st.store_error;
}

std::string spool_lock_problem()
{
    Session s;
    if (!s.st.lock_error)
        return std::string();
    return s.st.file_lock.path() + " cannot be taken: " + s.st.file_lock.why_not();
}

void spool_set_current_user_rights(SpoolUser user)
{
    ensure_loaded();
    State &st = state();
    std::lock_guard<std::mutex> g(st.lock);
    st.user = user;
}

void spool_set_current_user_name(std::u16string_view name)
{
    ensure_loaded();
    State &st = state();
    std::lock_guard<std::mutex> g(st.lock);
    st.user_name = std::u16string(name);
}

void spool_set_port_data_hook(SpoolPortDataHook hook)
{
    ensure_loaded();
    State &st = state();
    std::lock_guard<std::mutex> g(st.lock);
    st.port_data_hook = hook;
}

void spool_fail_after(SpoolCall call, unsigned n, DWORD error)
{
    if (size_t(call) >= size_t(SpoolCall::Count))
        return;
    ensure_loaded();
    State &st = state();
    std::lock_guard<std::mutex> g(st.lock);
    st.fail_at[size_t(call)] = n;
    st.fail_error[size_t(call)] = error;
}

void spool_fail_write_after(unsigned n, DWORD error) { spool_fail_after(SpoolCall::WritePrinter, n, error); }

void spool_short_write_after(unsigned n, DWORD bytes)
{
    ensure_loaded();
    State &st = state();
    std::lock_guard<std::mutex> g(st.lock);
    st.short_write_at = n;
    st.short_write_bytes = bytes;
}

} // namespace plat
