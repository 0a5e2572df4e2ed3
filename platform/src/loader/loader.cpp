/*
 * The module loader's core: Windows module names to shared libraries in the
 * machine's folders, loading and unloading with reference counts and entry
 * calls, in-process fakes, data modules handed to the resource layer, the
 * built-in "kernel32.dll", and the machine-reset hook that mounts the driver
 * directory and unloads everything.
 */
#include "loader_private.h"

#include <plat/codepage.h>
#include <plat/error.h>
#include <plat/machine.h>
#include <plat/text.h>

#include <dlfcn.h>
#include <sys/stat.h>

#include <atomic>
#include <cstdlib>
#include <filesystem>

namespace plat {

using namespace loader_detail;

namespace {

const char16_t kDriverDir[] = u"C:\\Windows\\System32\\spool\\drivers\\x64\\3";
const char16_t kSystemDir[] = u"C:\\Windows\\System32";

constexpr DWORD kDataFlags =
    DONT_RESOLVE_DLL_REFERENCES | LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE | LOAD_LIBRARY_AS_IMAGE_RESOURCE;

void add_builtin_kernel32(LoaderState &s);

std::u16string lower(std::u16string_view s)
{
    std::u16string out(s);
    for (char16_t &c : out)
        if (c >= u'A' && c <= u'Z')
            c = char16_t(c - u'A' + u'a');
    return out;
}

bool same_text_nocase(std::u16string_view a, std::u16string_view b) { return lower(a) == lower(b); }

bool ends_with_nocase(std::u16string_view s, std::u16string_view tail)
{
    return s.size() >= tail.size() && same_text_nocase(s.substr(s.size() - tail.size()), tail);
}

/* A fake registered as `key` serves the request: same full path, or same file name for a bare key. */
bool fake_serves(const std::u16string &key, const ModuleName &req)
{
    if (key.find(u'\\') != std::u16string::npos || key.find(u':') != std::u16string::npos)
        return key == lower(req.win_path);
    return key == lower(req.file);
}

bool matches(const ModuleRecord &m, const ModuleName &req)
{
    switch (m.type) {
    case ModuleRecord::Type::Fake:
        return fake_serves(m.fake_key, req);
    case ModuleRecord::Type::Data:
        return (req.bare && same_text_nocase(m.file, req.file)) ||
               (!req.data_path.empty() && m.real_path == req.data_path);
    case ModuleRecord::Type::Real:
        return (req.bare && same_text_nocase(m.file, req.file)) ||
               (!req.library_path.empty() && m.real_path == req.library_path);
    }
    return false;
}

/* Lock held.  Runs the detach entry, tells the unload listeners and removes the record. */
void unload(LoaderState &s, ModuleRecord *m)
{
    m->unloading = true;
    if (m->entry && m->type != ModuleRecord::Type::Data)
        m->entry(m->handle, DLL_PROCESS_DETACH, nullptr);
    for (void (*fn)(HMODULE) : s.unload_listeners)
        fn(m->handle);
    if (m->release)
        m->release(m->payload);
    m->payload = nullptr;
    m->release = nullptr;
    if (m->dl)
        dlclose(m->dl);
    for (auto it = s.modules.begin(); it != s.modules.end(); ++it)
        if (it->get() == m) {
            s.modules.erase(it);
            break;
        }
}

/* Lock held.  Adds `m`, runs its attach entry; null (record gone) when the entry refuses. */
HMODULE attach(LoaderState &s, std::unique_ptr<ModuleRecord> m)
{
    ModuleRecord *rec = m.get();
    s.modules.push_back(std::move(m));
    if (rec->entry && !rec->entry(rec->handle, DLL_PROCESS_ATTACH, nullptr)) {
        unload(s, rec);
        SetLastError(ERROR_DLL_INIT_FAILED);
        return nullptr;
    }
    return rec->handle;
}

thread_local std::string t_last_failure;

HMODULE fail_load(const std::string &why)
{
    t_last_failure = why;
    SetLastError(ERROR_MOD_NOT_FOUND);
    return nullptr;
}

bool is_file(const std::string &path)
{
    struct stat st;
    return !path.empty() && stat(path.c_str(), &st) == 0 && S_ISREG(st.st_mode);
}

/* Lock held. */
HMODULE load_data(LoaderState &s, const ModuleName &req)
{
    if (!is_file(req.data_path))
        return fail_load("no data file " + utf16_to_utf8(req.win_path));
    if (!s.opener)
        return fail_load("no data-file opener for " + utf16_to_utf8(req.win_path));
    SetLastError(ERROR_SUCCESS);
    void *payload = s.opener->open(req.data_path, req.win_path);
    if (!payload) {
        t_last_failure = "data-file opener refused " + utf16_to_utf8(req.win_path);
        if (GetLastError() == ERROR_SUCCESS)
            SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    auto m = std::make_unique<ModuleRecord>();
    m->type = ModuleRecord::Type::Data;
    m->refs = 1;
    m->file = req.file;
    m->win_path = req.win_path;
    m->real_path = req.data_path;
    m->payload = payload;
    m->release = s.opener->close;
    s.modules.push_back(std::move(m));
    return s.modules.back()->handle;
}

/* Lock held. */
HMODULE load_real(LoaderState &s, const ModuleName &req)
{
    if (!is_file(req.library_path))
        return fail_load("no library for " + utf16_to_utf8(req.win_path));
    void *dl = dlopen(req.library_path.c_str(), RTLD_NOW | RTLD_LOCAL);
    if (!dl) {
        const char *err = dlerror();
        return fail_load(err ? err : "dlopen failed");
    }
    void *lm = nullptr;
    if (dlinfo(dl, RTLD_DI_LINKMAP, &lm) != 0) {
        dlclose(dl);
        return fail_load("no link map for " + req.library_path);
    }
    for (auto &m : s.modules)
        if (m->link_map == lm && !m->unloading) { /* the same library under another name */
            dlclose(dl);
            if (!m->permanent)
                m->refs++;
            return m->handle;
        }
    auto m = std::make_unique<ModuleRecord>();
    m->refs = 1;
    m->dl = dl;
    m->link_map = lm;
    m->real_path = req.library_path;
    m->file = windows_file_name(std::filesystem::path(req.library_path).filename().string());
    m->entry = declared_entry(lm);
    return attach(s, std::move(m));
}

HMODULE load(LPCWSTR name, DWORD flags)
{
    ModuleName req;
    if (!name || !parse_name(std::u16string_view(name, wlen(name)), req)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const bool data = (flags & kDataFlags) != 0;
    LoaderState &s = state();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    if (ModuleRecord *m = find_loaded(s, req, data)) {
        if (!m->permanent)
            m->refs++;
        return m->handle;
    }
    if (data)
        return load_data(s, req);
    for (const Fake &f : s.fakes)
        if (fake_serves(f.key, req)) {
            auto m = std::make_unique<ModuleRecord>();
            m->type = ModuleRecord::Type::Fake;
            m->refs = 1;
            m->fake_key = f.key;
            m->file = req.file;
            m->win_path = req.win_path;
            m->entry = f.entry;
            m->exports = f.exports;
            return attach(s, std::move(m));
        }
    return load_real(s, req);
}

void reset_loader()
{
    LoaderState &s = state();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    for (;;) {
        ModuleRecord *victim = nullptr;
        for (auto &m : s.modules)
            if (!m->permanent && !m->unloading) {
                victim = m.get();
                break;
            }
        if (!victim)
            break;
        unload(s, victim);
    }
    for (auto &m : s.modules) {
        m->aliases.clear();
        if (m->release)
            m->release(m->payload);
        m->payload = nullptr;
        m->release = nullptr;
    }
    s.fakes.clear();
}

const bool registered = (machine_on_reset(reset_loader), true);

void add_builtin_kernel32(LoaderState &s)
{
    auto m = std::make_unique<ModuleRecord>();
    m->type = ModuleRecord::Type::Fake;
    m->permanent = true;
    m->refs = 1;
    m->fake_key = u"kernel32.dll";
    m->file = u"kernel32.dll";
    m->win_path = std::u16string(kSystemDir) + u"\\kernel32.dll";
    m->exports = {
        {"LoadLibraryW", to_farproc(&LoadLibraryW)},
        {"LoadLibraryExW", to_farproc(&LoadLibraryExW)},
        {"LoadLibraryA", to_farproc(&LoadLibraryA)},
        {"LoadLibraryExA", to_farproc(&LoadLibraryExA)},
        {"FreeLibrary", to_farproc(&FreeLibrary)},
        {"GetProcAddress", to_farproc(&GetProcAddress)},
        {"GetModuleHandleW", to_farproc(&GetModuleHandleW)},
        {"GetModuleHandleA", to_farproc(&GetModuleHandleA)},
        {"GetModuleFileNameW", to_farproc(&GetModuleFileNameW)},
    };
    s.modules.push_back(std::move(m));
}

} // namespace

namespace loader_detail {

LoaderState &state()
{
    static LoaderState *s = [] {
        auto *st = new LoaderState; /* never destroyed: modules may be freed during exit */
        add_builtin_kernel32(*st);
        return st;
    }();
    return *s;
}

std::u16string windows_file_name(const std::string &real_name)
{
    std::u16string n = utf8_to_utf16(real_name);
    if (n.size() > 6 && n.compare(0, 3, u"lib") == 0 && n.compare(n.size() - 3, 3, u".so") == 0)
        return n.substr(3, n.size() - 6) + u".dll";
    return n;
}

bool parse_name(std::u16string_view given, ModuleName &out)
{
    if (given.empty())
        return false;
    std::u16string path(given);
    for (char16_t &c : path)
        if (c == u'/')
            c = u'\\';
    const size_t cut = path.find_last_of(u"\\:");
    out.bare = cut == std::u16string::npos;
    out.file = out.bare ? path : path.substr(cut + 1);
    if (out.file.empty())
        return false;
    if (out.file.back() == u'.') {
        out.file.pop_back();
        path.pop_back();
    } else if (out.file.find(u'.') == std::u16string::npos) {
        out.file += u".dll";
        path += u".dll";
    }
    if (out.file.empty())
        return false;
    out.win_path = out.bare ? driver_dir_win() + u"\\" + out.file : path;
    const std::u16string dir = out.win_path.substr(0, out.win_path.size() - out.file.size());
    std::u16string stem = out.file;
    if (ends_with_nocase(stem, u".dll"))
        stem.resize(stem.size() - 4);
    if (!map_path(dir + u"lib" + stem + u".so", out.library_path))
        out.library_path.clear();
    if (!map_path(out.win_path, out.data_path))
        out.data_path.clear();
    return true;
}

/* An ANSI module name in the machine's ANSI code page; false when it does not convert. */
bool ascii_to_wide(LPCSTR text, std::u16string &out)
{
    out = ansi_to_utf16(text);
    return !out.empty() && out.find(u'\uFFFD') == std::u16string::npos;
}

ModuleRecord *find_record(LoaderState &s, HMODULE h)
{
    if (!h)
        return nullptr;
    for (auto &m : s.modules)
        if (m->handle == h && !m->unloading)
            return m.get();
    return nullptr;
}

ModuleRecord *find_loaded(LoaderState &s, const ModuleName &req, bool with_data)
{
    for (auto &m : s.modules)
        if (!m->unloading && (with_data || m->type != ModuleRecord::Type::Data) && matches(*m, req))
            return m.get();
    return nullptr;
}

} // namespace loader_detail

HMODULE module_handle_new()
{
    /* Above the first 64 KiB (which no address uses) and 16 apart; a 32-bit
     * build would need 268 million loads to wrap. */
    static std::atomic<uintptr_t> next{0x10000};
    return reinterpret_cast<HMODULE>(next.fetch_add(0x10, std::memory_order_relaxed));
}

void loader_on_unload(void (*fn)(HMODULE module))
{
    if (!fn)
        return;
    LoaderState &s = state();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    s.unload_listeners.push_back(fn);
}

std::u16string driver_dir_win() { return kDriverDir; }

std::string driver_dir_real()
{
    std::error_code ec;
    const char *env = std::getenv("TARVEL_DRIVER_DIR");
    if (env && *env)
        return std::filesystem::absolute(env, ec).lexically_normal().string();
    Dl_info info;
    if (dladdr(reinterpret_cast<const void *>(&driver_dir_real), &info) && info.dli_fname)
        return std::filesystem::absolute(info.dli_fname, ec).parent_path().lexically_normal().string();
    return ".";
}

bool loader_register_fake(std::u16string_view name, PLAT_DLL_ENTRY entry, std::span<const FakeExport> exports)
{
    ModuleName req;
    if (!parse_name(name, req))
        return false;
    Fake f;
    f.key = lower(req.bare ? req.file : req.win_path);
    f.entry = entry;
    for (const FakeExport &e : exports)
        if (e.name)
            f.exports.emplace_back(e.name, e.proc);
    LoaderState &s = state();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    for (Fake &old : s.fakes)
        if (old.key == f.key) {
            old = std::move(f);
            return true;
        }
    s.fakes.push_back(std::move(f));
    return true;
}

void loader_unregister_fake(std::u16string_view name)
{
    ModuleName req;
    if (!parse_name(name, req))
        return;
    const std::u16string key = lower(req.bare ? req.file : req.win_path);
    LoaderState &s = state();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    std::erase_if(s.fakes, [&](const Fake &f) { return f.key == key; });
}

DWORD loader_load_count(std::u16string_view name)
{
    ModuleName req;
    if (!parse_name(name, req))
        return 0;
    LoaderState &s = state();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    ModuleRecord *m = find_loaded(s, req, true);
    return m ? m->refs : 0;
}

const DatafileOpener *loader_register_datafile_opener(const DatafileOpener *opener)
{
    LoaderState &s = state();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    const DatafileOpener *old = s.opener;
    s.opener = opener;
    return old;
}

const std::string &loader_last_failure() { return t_last_failure; }

} // namespace plat

using namespace plat;
using namespace plat::loader_detail;

HMODULE LoadLibraryW(LPCWSTR name) { return load(name, 0); }

HMODULE LoadLibraryExW(LPCWSTR name, HANDLE, DWORD flags) { return load(name, flags); }

HMODULE LoadLibraryA(LPCSTR name) { return LoadLibraryExA(name, nullptr, 0); }

HMODULE LoadLibraryExA(LPCSTR name, HANDLE, DWORD flags)
{
    std::u16string wide;
    if (!name) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    if (!ascii_to_wide(name, wide)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return load(wide.c_str(), flags);
}

BOOL FreeLibrary(HMODULE module)
{
    LoaderState &s = state();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    ModuleRecord *m = find_record(s, module);
    if (!m) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    if (m->permanent || (m->pinned && m->refs <= 1))
        return TRUE;
    if (--m->refs == 0)
        unload(s, m);
    return TRUE;
}

