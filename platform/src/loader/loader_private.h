/*
 * The loader's module records and shared state, used by its source files
 * (loader*.cpp) and nothing else.
 *
 * An HMODULE is a value the loader hands out once (module_handle_new) and
 * maps to a ModuleRecord; it is never the record's address, so a handle kept
 * past FreeLibrary can never name a later module that happens to be
 * allocated at the same address.  Every call checks a handle against the
 * live records before using it.
 *
 * Locks: the loader's lock (recursive, held around entry calls like the
 * Windows loader lock) is taken before the dynamic linker's own lock
 * (dlopen, dladdr); the declarations lock, taken by library constructors
 * under the dynamic linker's lock, is innermost and never held across a
 * dl* call.  Functions marked "lock held" expect the loader's lock.
 */
#ifndef PLAT_LOADER_PRIVATE_H
#define PLAT_LOADER_PRIVATE_H

#include <plat/loader.h>

#include <map>
#include <memory>
#include <mutex>
#include <string>
#include <utility>
#include <vector>

namespace plat::loader_detail {

/* A loaded module: a library, a registered fake or a data file. */
struct ModuleRecord {
    HMODULE handle = module_handle_new(); /* this record's handle, never reused */
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

struct Fake {
    std::u16string key; /* lower-cased registered name */
    PLAT_DLL_ENTRY entry;
    std::vector<std::pair<std::string, FARPROC>> exports;
};

struct LoaderState {
    std::recursive_mutex lock;
    std::vector<std::unique_ptr<ModuleRecord>> modules;
    std::vector<Fake> fakes;
    const DatafileOpener *opener = nullptr;
    std::vector<void (*)(HMODULE)> unload_listeners; /* loader_on_unload */
};

/* The process's loader state (never destroyed: modules may be freed during exit). */
LoaderState &state();

/* A module name taken apart. */
struct ModuleName {
    bool bare = false;        /* no folder given: the driver directory */
    std::u16string file;      /* "x.dll" */
    std::u16string win_path;  /* full Windows path */
    std::string library_path; /* real path of "libx.so" in that folder; empty when unmappable */
    std::string data_path;    /* real path of the file itself */
};

/* Takes `given` apart (".dll" added when there is no extension); false for an empty name or folder. */
bool parse_name(std::u16string_view given, ModuleName &out);

/* "libx.so" -> "x.dll"; other file names stay as they are. */
std::u16string windows_file_name(const std::string &real_name);

/* Narrow names are taken as ASCII; false for any other byte. */
bool ascii_to_wide(LPCSTR text, std::u16string &out);

/* Lock held.  The live record of a handle, or null. */
ModuleRecord *find_record(LoaderState &s, HMODULE h);

/* Lock held.  A loaded module serving `req`; data modules only when `with_data`. */
ModuleRecord *find_loaded(LoaderState &s, const ModuleName &req, bool with_data);

/* Lock held.  The record of the library with link map `lm`, made (permanent) when the system mapped it. */
ModuleRecord *record_for_link_map(LoaderState &s, const void *lm);

/* Lock held.  The program's own record. */
ModuleRecord *program_record(LoaderState &s);

/* The link map of the library holding `address`, or null. */
const void *link_map_of(const void *address);

/* The entry function the library with link map `lm` declared, or null. */
PLAT_DLL_ENTRY declared_entry(const void *lm);

} // namespace plat::loader_detail

#endif /* PLAT_LOADER_PRIVATE_H */
