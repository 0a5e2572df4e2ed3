/*
 * Finding modules and their files: module handles by name or address
 * (including libraries the system mapped itself), the Windows form of a
 * module's path, and payloads attached to modules.
 */
#include "loader_private.h"

#include <plat/error.h>
#include <plat/machine.h>
#include <plat/text.h>

#include <dlfcn.h>
#include <link.h>

#include <filesystem>

namespace plat {

namespace {

using namespace loader_detail;

/* Lock held.  The record of the library behind a dlopen handle (null: none), which it closes. */
ModuleRecord *record_for_handle(LoaderState &s, void *dl)
{
    if (!dl)
        return nullptr;
    void *lm = nullptr;
    const bool ok = dlinfo(dl, RTLD_DI_LINKMAP, &lm) == 0;
    dlclose(dl);
    return ok ? record_for_link_map(s, lm) : nullptr;
}

/* Lock held.  The loaded code module `name` names (null: the program), or null. */
ModuleRecord *module_by_name(LoaderState &s, LPCWSTR name)
{
    if (!name)
        return program_record(s);
    ModuleName req;
    if (!parse_name(std::u16string_view(name, wlen(name)), req))
        return nullptr;
    if (ModuleRecord *m = find_loaded(s, req, false))
        return m;
    /* A library the system mapped (linked by the program) has no record until asked for. */
    if (req.library_path.empty())
        return nullptr;
    return record_for_handle(s, dlopen(req.library_path.c_str(), RTLD_LAZY | RTLD_NOLOAD));
}

/* Lock held. */
std::u16string windows_path_of(const ModuleRecord &m)
{
    if (m.type != ModuleRecord::Type::Real)
        return m.win_path;
    std::u16string dir;
    if (!unmap_path(std::filesystem::path(m.real_path).parent_path().string(), dir))
        return std::u16string();
    if (dir.back() != u'\\')
        dir += u'\\';
    return dir + m.file;
}

} // namespace

namespace loader_detail {

/* Lock held.  The record of the library with link map `lm`, made (permanent) when the system mapped it. */
ModuleRecord *record_for_link_map(LoaderState &s, const void *lm)
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
    auto m = std::make_unique<ModuleRecord>();
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
ModuleRecord *program_record(LoaderState &s)
{
    return record_for_handle(s, dlopen(nullptr, RTLD_LAZY));
}

} // namespace loader_detail

HMODULE module_of_address(const void *address)
{
    if (!address)
        return nullptr;
    LoaderState &s = state();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    ModuleRecord *m = record_for_link_map(s, link_map_of(address));
    return m ? m->handle : nullptr;
}

bool loader_attach_payload(HMODULE module, void *payload, void (*release)(void *))
{
    LoaderState &s = state();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    ModuleRecord *m = find_record(s, module);
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
    ModuleRecord *m = find_record(s, module);
    return m ? m->payload : nullptr;
}

} // namespace plat

using namespace plat;
using namespace plat::loader_detail;

HMODULE GetModuleHandleW(LPCWSTR name)
{
    LoaderState &s = state();
    std::lock_guard<std::recursive_mutex> g(s.lock);
    ModuleRecord *m = module_by_name(s, name);
    if (!m) {
        SetLastError(ERROR_MOD_NOT_FOUND);
        return nullptr;
    }
    return m->handle;
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
    ModuleRecord *m = (flags & GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS)
                         ? record_for_link_map(s, name ? link_map_of(name) : nullptr)
                         : module_by_name(s, name);
    *module = m ? m->handle : nullptr;
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
        ModuleRecord *m = module ? find_record(s, module) : program_record(s);
        if (!m || m->type == ModuleRecord::Type::Data) {
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
    ModuleRecord *m = find_record(s, module);
    if (!m || m->type == ModuleRecord::Type::Data) {
        SetLastError(ERROR_INVALID_HANDLE);
        return FALSE;
    }
    return TRUE;
}
