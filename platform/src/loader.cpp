/*
 * The module loader: Windows module names to shared libraries in the
 * machine's folders, reference counts, entry functions declared by the
 * libraries themselves, exports with aliases, in-process fakes, data
 * modules handed to the resource layer, and the built-in "kernel32.dll".
 *
 * An HMODULE is the address of a module record of this file; every call
 * checks a handle against the live records before using it.
 *
 * Locks: the loader's lock (recursive, held around entry calls like the
 * Windows loader lock) is taken before the dynamic linker's own lock
 * (dlopen, dladdr); the declarations lock, taken by library constructors
 * under the dynamic linker's lock, is innermost and never held across a
 * dl* call.
 */
#include <plat/error.h>
#include <plat/loader.h>
#include <plat/machine.h>
#include <plat/text.h>

#include <dlfcn.h>
#include <link.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <map>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

struct plat_module {
    enum class Type { Real, Fake, Data };
    Type type = Type::Real;
    bool permanent = false; /* mapped by the system or built in: never unloaded, not counted */
    bool pinned = false;
    bool unloading = false;
    DWORD refs = 0;
    std::u16string file;     /* Windows file name, "tarveldm.dll" */
    std::u16string win_path; /* Windows path of fakes and data modules */
    std::u16string fake_key; /* lower-cased name a fake was registered under */
    std::string real_path;
    void *dl = nullptr;
    const void *link_map = nullptr;
    PLAT_DLL_ENTRY entry = nullptr;
    std::vector<std::pair<std::string, FARPROC>> exports; /* a fake's export table */
    std::map<std::string, std::string> aliases;          /* export name -> symbol */
    void *payload = nullptr;
    void (*release)(void *) = nullptr;
};

namespace plat {

namespace {

const char16_t kDriverDir[] = u"C:\\Windows\\System32\\spool\\drivers\\x64\\3";
const char16_t kSystemDir[] = u"C:\\Windows\\System32";

constexpr DWORD kDataFlags =
    DONT_RESOLVE_DLL_REFERENCES | LOAD_LIBRARY_AS_DATAFILE | LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE | LOAD_LIBRARY_AS_IMAGE_RESOURCE;

struct Fake {
    std::u16string key; /* lower-cased registered name */
    PLAT_DLL_ENTRY entry;
    std::vector<std::pair<std::string, FARPROC>> exports;
};

struct LoaderState {
    std::recursive_mutex lock;
    std::vector<std::unique_ptr<plat_module>> modules;
    std::vector<Fake> fakes;
    const DatafileOpener *opener = nullptr;
};

/* What a library declared about itself from its constructors. */
struct Declaration {
    PLAT_DLL_ENTRY entry = nullptr;
    std::vector<std::pair<std::string, FARPROC>> aliases;
};

struct Declarations {
    std::mutex lock;
    std::map<const void *, Declaration> by_link_map;
};

Declarations &declarations()
{
    static Declarations *d = new Declarations; /* never destroyed: library destructors run during exit */
    return *d;
}

void add_builtin_kernel32(LoaderState &s);

LoaderState &state()
{
    static LoaderState *s = [] {
        auto *st = new LoaderState; /* never destroyed: modules may be freed during exit */
        add_builtin_kernel32(*st);
        return st;
    }();
    return *s;
}

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

/* "libx.so" -> "x.dll"; other file names stay as they are. */
std::u16string windows_file_name(const std::string &real_name)
{
    std::u16string n = utf8_to_utf16(real_name);
    if (n.size() > 6 && n.compare(0, 3, u"lib") == 0 && n.compare(n.size() - 3, 3, u".so") == 0)
        return n.substr(3, n.size() - 6) + u".dll";
    return n;
}

const void *link_map_of(const void *address)
{
    Dl_info info;
    void *lm = nullptr;
    if (!dladdr1(address, &info, &lm, RTLD_DL_LINKMAP))
        return nullptr;
    return lm;
}

/* A module name taken apart. */
struct ModuleName {
    bool bare = false;         /* no folder given: the driver directory */
    std::u16string file;       /* "x.dll" */
    std::u16string win_path;   /* full Windows path */
    std::string library_path;  /* real path of "libx.so" in that folder; empty when unmappable */
    std::string data_path;     /* real path of the file itself */
};

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

/* A fake registered as `key` serves the request: same full path, or same file name for a bare key. */
bool fake_serves(const std::u16string &key, const ModuleName &req)
{
    if (key.find(u'\\') != std::u16string::npos || key.find(u':') != std::u16string::npos)
        return key == lower(req.win_path);
    return key == lower(req.file);
}

bool matches(const plat_module &m, const ModuleName &req)
{
    switch (m.type) {
    case plat_module::Type::Fake:
        return fake_serves(m.fake_key, req);
    case plat_module::Type::Data:
        return (req.bare && same_text_nocase(m.file, req.file)) ||
               (!req.data_path.empty() && m.real_path == req.data_path);
    case plat_module::Type::Real:
        return (req.bare && same_text_nocase(m.file, req.file)) ||
               (!req.library_path.empty() && m.real_path == req.library_path);
    }
    return false;
}

/* Lock held.  The live record of a handle, or null. */
plat_module *find_record(LoaderState &s, HMODULE h)
{
    for (auto &m : s.modules)
        if (m.get() == h && !m->unloading)
            return m.get();
    return nullptr;
}

/* Lock held.  A loaded module serving `req`; data modules only when `with_data`. */
plat_module *find_loaded(LoaderState &s, const ModuleName &req, bool with_data)
{
    for (auto &m : s.modules)
        if (!m->unloading && (with_data || m->type != plat_module::Type::Data) && matches(*m, req))
            return m.get();
    return nullptr;
}

/* Lock held.  The record of the library with link map `lm`, made (permanent) when the system mapped it. */
plat_module *record_for_link_map(LoaderState &s, const void *lm)
{
    if (!lm)
        return nullptr;
    for (auto &m : s.modules)
        if (m->link_map == lm && !m->unloading)
            return m.get();
    const auto *map = static_cast<const struct link_map *>(lm);
    std::string path = map->l_name ? map->l_name : "";
    void *dl = nullptr;
    if (path.empty()) { /* the program itself */
        std::error_code ec;
        path = std::filesystem::read_symlink("/proc/self/exe", ec).string();
        dl = dlopen(nullptr, RTLD_LAZY);
    } else {
        dl = dlopen(path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    }
    if (!dl)
        return nullptr;
    auto m = std::make_unique<plat_module>();
    m->permanent = true;
    m->refs = 1;
    m->dl = dl;
    m->link_map = lm;
    m->real_path = path;
    m->file = windows_file_name(std::filesystem::path(path).filename().string());
    s.modules.push_back(std::move(m));
    return s.modules.back().get();
}

/* Lock held. */
plat_module *program_record(LoaderState &s)
{
    void *self = dlopen(nullptr, RTLD_LAZY);
    if (!self)
        return nullptr;
    void *lm = nullptr;
    const bool ok = dlinfo(self, RTLD_DI_LINKMAP, &lm) == 0;
    dlclose(self);
    return ok ? record_for_link_map(s, lm) : nullptr;
}

/* Lock held.  Runs the detach entry and removes the record. */
void unload(LoaderState &s, plat_module *m)
{
    m->unloading = true;
    if (m->entry && m->type != plat_module::Type::Data)
        m->entry(m, DLL_PROCESS_DETACH, nullptr);
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
HMODULE attach(LoaderState &s, std::unique_ptr<plat_module> m)
{
    plat_module *rec = m.get();
    s.modules.push_back(std::move(m));
    if (rec->entry && !rec->entry(rec, DLL_PROCESS_ATTACH, nullptr)) {
        unload(s, rec);
        SetLastError(ERROR_DLL_INIT_FAILED);
        return nullptr;
    }
    return rec;
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
    auto m = std::make_unique<plat_module>();
    m->type = plat_module::Type::Data;
    m->refs = 1;
    m->file = req.file;
    m->win_path = req.win_path;
    m->real_path = req.data_path;
    m->payload = payload;
    m->release = s.opener->close;
    s.modules.push_back(std::move(m));
    return s.modules.back().get();
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
            return m.get();
        }
    auto m = std::make_unique<plat_module>();
    m->refs = 1;
    m->dl = dl;
    m->link_map = lm;
    m->real_path = req.library_path;
    m->file = windows_file_name(std::filesystem::path(req.library_path).filename().string());
    {
        Declarations &d = declarations();
        std::lock_guard<std::mutex> g(d.lock);
        auto it = d.by_link_map.find(lm);
        if (it != d.by_link_map.end())
            m->entry = it->second.entry;
    }
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
    if (plat_module *m = find_loaded(s, req, data)) {
        if (!m->permanent)
            m->refs++;
        return m;
    }
    if (data)
        return load_data(s, req);
    for (const Fake &f : s.fakes)
        if (fake_serves(f.key, req)) {
            auto m = std::make_unique<plat_module>();
            m->type = plat_module::Type::Fake;
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

/* Narrow names are taken as ASCII; false for any other byte. */
bool ascii_to_wide(LPCSTR text, std::u16string &out)
{
    out.clear();
    for (const char *p = text; *p; p++) {
        if (static_cast<unsigned char>(*p) >= 0x80)
            return false;
        out.push_back(char16_t(*p));
    }
    return true;
}

/* Lock held.  `sym` of a real module, only when the module itself defines it. */
FARPROC own_symbol(const plat_module &m, const char *sym)
{
    if (!m.dl)
        return nullptr;
    dlerror();
    void *p = dlsym(m.dl, sym);
    if (!p || link_map_of(p) != m.link_map)
        return nullptr;
    return reinterpret_cast<FARPROC>(p);
}

/* Lock held.  An export of a fake (or the built-in module) by name. */
FARPROC fake_export(const plat_module &m, const std::string &name)
{
    for (const auto &e : m.exports)
        if (e.first == name)
            return e.second;
    return nullptr;
}

FARPROC find_export(const plat_module &m, const std::string &name)
{
    auto alias = m.aliases.find(name);
    if (alias != m.aliases.end())
        return m.type == plat_module::Type::Fake ? fake_export(m, alias->second) : own_symbol(m, alias->second.c_str());
    if (m.link_map) {
        Declarations &d = declarations();
        std::lock_guard<std::mutex> g(d.lock);
        auto it = d.by_link_map.find(m.link_map);
        if (it != d.by_link_map.end())
            for (const auto &a : it->second.aliases)
                if (a.first == name)
                    return a.second;
    }
    switch (m.type) {
    case plat_module::Type::Fake:
        return fake_export(m, name);
    case plat_module::Type::Real:
        return own_symbol(m, name.c_str());
    case plat_module::Type::Data:
        break;
    }
    return nullptr;
}

/* Lock held.  The loaded code module `name` names (null: the program), or null. */
plat_module *module_by_name(LoaderState &s, LPCWSTR name)
{
    if (!name)
        return program_record(s);
    ModuleName req;
    if (!parse_name(std::u16string_view(name, wlen(name)), req))
        return nullptr;
    if (plat_module *m = find_loaded(s, req, false))
        return m;
    /* A library the system mapped (linked by the program) has no record until asked for. */
    if (req.library_path.empty())
        return nullptr;
    void *dl = dlopen(req.library_path.c_str(), RTLD_LAZY | RTLD_NOLOAD);
    if (!dl)
        return nullptr;
    void *lm = nullptr;
    const bool ok = dlinfo(dl, RTLD_DI_LINKMAP, &lm) == 0;
    dlclose(dl);
    return ok ? record_for_link_map(s, lm) : nullptr;
}

/* Lock held. */
std::u16string windows_path_of(const plat_module &m)
{
    if (m.type != plat_module::Type::Real)
        return m.win_path;
    std::u16string dir;
    if (!unmap_path(std::filesystem::path(m.real_path).parent_path().string(), dir))
        return std::u16string();
    if (dir.back() != u'\\')
        dir += u'\\';
    return dir + m.file;
}

void reset_loader()
{
    machine_mount(kDriverDir, driver_dir_real());
    LoaderState &s = state();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    for (;;) {
        plat_module *victim = nullptr;
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
    auto m = std::make_unique<plat_module>();
    m->type = plat_module::Type::Fake;
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

HMODULE module_of_address(const void *address)
{
    if (!address)
        return nullptr;
    LoaderState &s = state();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    return record_for_link_map(s, link_map_of(address));
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
    plat_module *m = find_loaded(s, req, true);
    return m ? m->refs : 0;
}

bool loader_add_export_alias(HMODULE module, const char *export_name, const char *symbol)
{
    if (!export_name || !symbol)
        return false;
    LoaderState &s = state();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    plat_module *m = find_record(s, module);
    if (!m || m->type == plat_module::Type::Data)
        return false;
    m->aliases[export_name] = symbol;
    return true;
}

void loader_register_datafile_opener(const DatafileOpener *opener)
{
    LoaderState &s = state();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    s.opener = opener;
}

bool loader_attach_payload(HMODULE module, void *payload, void (*release)(void *))
{
    LoaderState &s = state();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    plat_module *m = find_record(s, module);
    if (!m || m->payload)
        return false;
    m->payload = payload;
    m->release = release;
    return true;
}

void *loader_module_payload(HMODULE module)
{
    LoaderState &s = state();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    plat_module *m = find_record(s, module);
    return m ? m->payload : nullptr;
}

const std::string &loader_last_failure() { return t_last_failure; }

void loader_declare_entry(const void *where, PLAT_DLL_ENTRY entry)
{
    const void *lm = link_map_of(where);
    if (!lm)
        return;
    Declarations &d = declarations();
    std::lock_guard<std::mutex> g(d.lock);
    d.by_link_map[lm].entry = entry;
}

void loader_declare_alias(const void *where, const char *export_name, FARPROC proc)
{
    const void *lm = link_map_of(where);
    if (!lm || !export_name)
        return;
    Declarations &d = declarations();
    std::lock_guard<std::mutex> g(d.lock);
    d.by_link_map[lm].aliases.emplace_back(export_name, proc);
}

void loader_withdraw(const void *where)
{
    const void *lm = link_map_of(where);
    if (!lm)
        return;
    Declarations &d = declarations();
    std::lock_guard<std::mutex> g(d.lock);
    d.by_link_map.erase(lm);
}

} // namespace plat

using namespace plat;

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
    plat_module *m = find_record(s, module);
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

FARPROC GetProcAddress(HMODULE module, LPCSTR name)
{
    if (!name) {
        SetLastError(ERROR_PROC_NOT_FOUND);
        return nullptr;
    }
    const uintptr_t ordinal = reinterpret_cast<uintptr_t>(name);
    const std::string key = ordinal < 0x10000 ? "#" + std::to_string(ordinal) : std::string(name);
    LoaderState &s = state();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    plat_module *m = module ? find_record(s, module) : program_record(s);
    if (!m) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    FARPROC p = find_export(*m, key);
    if (!p)
        SetLastError(ERROR_PROC_NOT_FOUND);
    return p;
}

HMODULE GetModuleHandleW(LPCWSTR name)
{
    LoaderState &s = state();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    plat_module *m = module_by_name(s, name);
    if (!m)
        SetLastError(ERROR_MOD_NOT_FOUND);
    return m;
}

HMODULE GetModuleHandleA(LPCSTR name)
{
    if (!name)
        return GetModuleHandleW(nullptr);
    std::u16string wide;
    if (!ascii_to_wide(name, wide)) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return GetModuleHandleW(wide.c_str());
}

BOOL GetModuleHandleExW(DWORD flags, LPCWSTR name, HMODULE *module)
{
    constexpr DWORD kKnown =
        GET_MODULE_HANDLE_EX_FLAG_PIN | GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT | GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS;
    if (!module || (flags & ~kKnown) ||
        ((flags & GET_MODULE_HANDLE_EX_FLAG_PIN) && (flags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT))) {
        if (module)
            *module = nullptr;
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    LoaderState &s = state();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    plat_module *m = (flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS)
                         ? record_for_link_map(s, name ? link_map_of(name) : nullptr)
                         : module_by_name(s, name);
    *module = m;
    if (!m) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return FALSE;
    }
    if (flags & GET_MODULE_HANDLE_EX_FLAG_PIN)
        m->pinned = true;
    if (!(flags & GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT) && !m->permanent)
        m->refs++;
    return TRUE;
}

DWORD GetModuleFileNameW(HMODULE module, LPWSTR buf, DWORD size)
{
    std::u16string path;
    {
        LoaderState &s = state();
        std::lock_guard<std::recursive_mutex> g(s.lock);
        plat_module *m = module ? find_record(s, module) : program_record(s);
        if (!m || m->type == plat_module::Type::Data) {
            SetLastError(ERROR_MOD_NOT_FOUND);
            return 0;
        }
        path = windows_path_of(*m);
    }
    if (path.empty()) {
        SetLastError(ERROR_FILE_NOT_FOUND);
        return 0;
    }
    if (!buf)
        size = 0;
    if (path.size() < size) {
        path.copy(buf, path.size());
        buf[path.size()] = 0;
        return DWORD(path.size());
    }
    if (size > 0) {
        path.copy(buf, size - 1);
        buf[size - 1] = 0;
    }
    SetLastError(ERROR_INSUFFICIENT_BUFFER);
    return size;
}

BOOL DisableThreadLibraryCalls(HMODULE module)
{
    LoaderState &s = state();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    plat_module *m = find_record(s, module);
    if (!m || m->type == plat_module::Type::Data) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
