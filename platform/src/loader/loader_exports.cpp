/*
 * Exports of loaded modules: GetProcAddress over dlsym (restricted to the
 * module's own symbols) or a fake's table, the aliases a module gains from
 * loader_add_export_alias, and what libraries declare about themselves from
 * their ELF constructors (entry function, export aliases).
 */
#include "loader_private.h"

#include <plat/error.h>

#include <dlfcn.h>
#include <link.h>

namespace plat {

namespace {

using namespace loader_detail;

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

/* Lock held.  `sym` of a real module, only when the module itself defines it. */
FARPROC own_symbol(const ModuleRecord &m, const char *sym)
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
FARPROC fake_export(const ModuleRecord &m, const std::string &name)
{
    for (const auto &e : m.exports)
        if (e.first == name)
            return e.second;
    return nullptr;
}

FARPROC find_export(const ModuleRecord &m, const std::string &name)
{
    auto alias = m.aliases.find(name);
    if (alias != m.aliases.end())
        return m.type == ModuleRecord::Type::Fake ? fake_export(m, alias->second) : own_symbol(m, alias->second.c_str());
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
    case ModuleRecord::Type::Fake:
        return fake_export(m, name);
    case ModuleRecord::Type::Real:
        return own_symbol(m, name.c_str());
    case ModuleRecord::Type::Data:
        break;
    }
    return nullptr;
}

} // namespace

namespace loader_detail {

const void *link_map_of(const void *address)
{
    Dl_info info;
    void *lm = nullptr;
    if (!dladdr1(address, &info, &lm, RTLD_DL_LINKMAP))
        return nullptr;
    return lm;
}

PLAT_DLL_ENTRY declared_entry(const void *lm)
{
    Declarations &d = declarations();
    std::lock_guard<std::mutex> g(d.lock);
    auto it = d.by_link_map.find(lm);
    return it == d.by_link_map.end() ? nullptr : it->second.entry;
}

} // namespace loader_detail

bool loader_add_export_alias(HMODULE module, const char *export_name, const char *symbol)
{
    if (!export_name || !symbol)
        return false;
    LoaderState &s = state();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    ModuleRecord *m = find_record(s, module);
    if (!m || m->type == ModuleRecord::Type::Data)
        return false;
    m->aliases[export_name] = symbol;
    return true;
}

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
using namespace plat::loader_detail;

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
    ModuleRecord *m = module ? find_record(s, module) : program_record(s);
    if (!m) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    FARPROC p = find_export(*m, key);
    if (!p)
        SetLastError(ERROR_PROC_NOT_FOUND);
    return p;
}
