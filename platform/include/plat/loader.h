/*
 * The module loader under the Windows names: LoadLibrary, FreeLibrary,
 * GetProcAddress, module handles and file names, and the activation-context
 * calls (which do nothing here).
 *
 * Names.  "x.dll" (any case) is the shared library "libx.so"; a name with
 * no extension gets ".dll" first (a trailing "." means "no extension").  A
 * bare name is looked for among the loaded modules, then in the machine's
 * driver directory; a name with a folder ("C:\dir\x.dll", or relative to
 * "C:\") is looked for in that folder, mapped with plat::map_path.  The
 * driver directory, "C:\Windows\System32\spool\drivers\x64\3", is mounted on
 * every machine_reset onto the real folder named by $TARVEL_DRIVER_DIR (the
 * build's driver folder; without the variable, the folder holding
 * libtarvelplat.so).
 *
 * Reference counts.  Loading a loaded module answers the same handle and
 * counts one more; FreeLibrary of the last reference unloads.  The module's
 * entry function runs with DLL_PROCESS_ATTACH after the library is mapped
 * and with DLL_PROCESS_DETACH before the last reference goes; an entry that
 * answers FALSE to the attach fails the load (its detach runs first).
 * Thread attach and detach are never sent.  The loader's lock is held
 * around entry calls and may be re-entered from them (an entry may load and
 * free other modules), as on Windows.
 *
 * Entry functions.  ELF has no entry point for a library, so a library names
 * its entry with PLAT_MODULE_ENTRY(fn) once in one of its sources.  The
 * macro adds an ELF constructor that, while dlopen maps the library,
 * declares `fn` to the loader under the library's own link map (found with
 * dladdr1 on an address inside the library); LoadLibraryW looks the
 * declaration up by the link map of the handle dlopen returns, and calls it.
 * A matching ELF destructor withdraws the declaration when the library is
 * unmapped.  Library constructors must not call the loader themselves.
 *
 * Exports.  GetProcAddress is dlsym, restricted to symbols the module itself
 * defines (not its dependencies), plus per-module aliases for names ELF
 * cannot carry (decorated names, ordinals written "#n"):
 * PLAT_EXPORT_ALIAS inside the library, or plat::loader_add_export_alias.
 *
 * Test fakes.  plat::loader_register_fake makes a name load an in-process
 * module with an entry and an export table; it is counted like a real one.
 *
 * Data files.  LoadLibraryExW with LOAD_LIBRARY_AS_DATAFILE(_EXCLUSIVE),
 * LOAD_LIBRARY_AS_IMAGE_RESOURCE or DONT_RESOLVE_DLL_REFERENCES never maps
 * code: it answers the module of that name when one is loaded, else hands
 * the file to the data-file opener that the resource layer registers
 * (plat::loader_register_datafile_opener), else fails with
 * ERROR_MOD_NOT_FOUND.  Data modules are reference counted too; they have no
 * exports and are not found by GetModuleHandleW or GetModuleFileNameW.
 *
 * machine_reset unloads every module loaded through the loader (detach
 * entries run), frees data modules and forgets fakes and aliases added with
 * loader_add_export_alias.  Handles of modules mapped by the system itself
 * (the program, libraries it links) stay valid.
 */
#ifndef PLAT_LOADER_H
#define PLAT_LOADER_H

#include <plat/types.h>

#include <span>
#include <string>
#include <string_view>

#define DLL_PROCESS_DETACH 0u
#define DLL_PROCESS_ATTACH 1u
#define DLL_THREAD_ATTACH 2u
#define DLL_THREAD_DETACH 3u

#define DONT_RESOLVE_DLL_REFERENCES 0x00000001u
#define LOAD_LIBRARY_AS_DATAFILE 0x00000002u
#define LOAD_WITH_ALTERED_SEARCH_PATH 0x00000008u
#define LOAD_IGNORE_CODE_AUTHZ_LEVEL 0x00000010u
#define LOAD_LIBRARY_AS_IMAGE_RESOURCE 0x00000020u
#define LOAD_LIBRARY_AS_DATAFILE_EXCLUSIVE 0x00000040u
#define LOAD_LIBRARY_SEARCH_DLL_LOAD_DIR 0x00000100u
#define LOAD_LIBRARY_SEARCH_APPLICATION_DIR 0x00000200u
#define LOAD_LIBRARY_SEARCH_USER_DIRS 0x00000400u
#define LOAD_LIBRARY_SEARCH_SYSTEM32 0x00000800u
#define LOAD_LIBRARY_SEARCH_DEFAULT_DIRS 0x00001000u

#define GET_MODULE_HANDLE_EX_FLAG_PIN 0x00000001u
#define GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT 0x00000002u
#define GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS 0x00000004u

#ifndef ERROR_DLL_INIT_FAILED
#define ERROR_DLL_INIT_FAILED 1114L
#endif

/* A library's entry function (DllMain). */
typedef BOOL (*PLAT_DLL_ENTRY)(HINSTANCE module, DWORD reason, LPVOID reserved);

/*
 * Loads the module `name` (see the naming rules above) and runs its attach
 * entry on first load.  Returns its handle (release it with FreeLibrary), or
 * null with ERROR_MOD_NOT_FOUND (no such module, or it cannot be mapped),
 * ERROR_DLL_INIT_FAILED (its entry refused) or ERROR_INVALID_PARAMETER
 * (null or empty name).
 */
HMODULE LoadLibraryW(LPCWSTR name);

/* LoadLibraryW with flags: the data-file flags load a data module (see above); the others are accepted. */
HMODULE LoadLibraryExW(LPCWSTR name, HANDLE reserved, DWORD flags);

/* LoadLibraryW and LoadLibraryExW for a narrow name; a byte outside ASCII answers ERROR_MOD_NOT_FOUND. */
HMODULE LoadLibraryA(LPCSTR name);
HMODULE LoadLibraryExA(LPCSTR name, HANDLE reserved, DWORD flags);

/*
 * Drops one reference; the last one runs the detach entry and unloads.
 * FALSE with ERROR_MOD_NOT_FOUND for a handle that is not a loaded module.
 */
BOOL FreeLibrary(HMODULE module);

/*
 * The address of the export `name` of `module` (null: the program), or of
 * ordinal n when `name` is a value below 0x10000 (looked up as the alias
 * "#n").  Null with ERROR_PROC_NOT_FOUND when the module has no such export,
 * ERROR_MOD_NOT_FOUND for a bad handle.
 */
FARPROC GetProcAddress(HMODULE module, LPCSTR name);

/*
 * The handle of a loaded module (null name: the program), without counting
 * a reference.  Null with ERROR_MOD_NOT_FOUND when it is not loaded.
 */
HMODULE GetModuleHandleW(LPCWSTR name);
HMODULE GetModuleHandleA(LPCSTR name);

/*
 * The module named by `name`, or (GET_MODULE_HANDLE_EX_FLAG_FROM_ADDRESS)
 * the module holding the address `name`.  Counts a reference unless
 * GET_MODULE_HANDLE_EX_FLAG_UNCHANGED_REFCOUNT; GET_MODULE_HANDLE_EX_FLAG_PIN
 * keeps the module loaded until machine_reset.  FALSE with *module = null
 * and ERROR_MOD_NOT_FOUND when there is none; ERROR_INVALID_PARAMETER for a
 * null `module` or PIN together with UNCHANGED_REFCOUNT.
 */
BOOL GetModuleHandleExW(DWORD flags, LPCWSTR name, HMODULE *module);

/*
 * Copies the Windows form of the module's file path (null: the program),
 * e.g. "C:\Windows\System32\spool\drivers\x64\3\tarveldm.dll", into `buf`
 * of `size` characters.  Answers the characters copied without the NUL.
 * When the path does not fit it is cut to size - 1 characters and a NUL,
 * the answer is `size` and the last error ERROR_INSUFFICIENT_BUFFER.
 * 0 with ERROR_MOD_NOT_FOUND for a bad handle or a data module, and with
 * ERROR_FILE_NOT_FOUND when the file lies outside the machine (no Windows
 * form).
 */
DWORD GetModuleFileNameW(HMODULE module, LPWSTR buf, DWORD size);

/* Accepted for a loaded module (thread notifications are never sent anyway). */
BOOL DisableThreadLibraryCalls(HMODULE module);

/*
 * Activation contexts: accepted and ignored.  CreateActCtxW answers a
 * handle that the other calls accept (INVALID_HANDLE_VALUE with
 * ERROR_INVALID_PARAMETER for a null description).
 */
struct ACTCTXW {
    ULONG cbSize;
    DWORD dwFlags;
    LPCWSTR lpSource;
    USHORT wProcessorArchitecture;
    WORD wLangId;
    LPCWSTR lpAssemblyDirectory;
    LPCWSTR lpResourceName;
    LPCWSTR lpApplicationName;
    HMODULE hModule;
};
typedef ACTCTXW *PACTCTXW;
typedef const ACTCTXW *PCACTCTXW;

HANDLE CreateActCtxW(PCACTCTXW actctx);
/* Stores a cookie for DeactivateActCtx; FALSE with ERROR_INVALID_PARAMETER for a null cookie. */
BOOL ActivateActCtx(HANDLE actctx, ULONG_PTR *cookie);
BOOL DeactivateActCtx(DWORD flags, ULONG_PTR cookie);
void AddRefActCtx(HANDLE actctx);
void ReleaseActCtx(HANDLE actctx);

namespace plat {

/*
 * Converts an export address to the function type it really has, and a
 * function to FARPROC.  Both go through void (*)(void), the one function
 * type GCC converts to and from any other without -Wcast-function-type.
 */
template <typename F>
inline F proc_cast(FARPROC proc)
{
    return reinterpret_cast<F>(reinterpret_cast<void (*)(void)>(proc));
}
template <typename F>
inline FARPROC to_farproc(F *fn)
{
    return reinterpret_cast<FARPROC>(reinterpret_cast<void (*)(void)>(fn));
}

/* The machine's driver directory in Windows form (no trailing backslash). */
std::u16string driver_dir_win();

/* The real folder the driver directory is mounted on. */
std::string driver_dir_real();

/*
 * The module holding `address` (a function or data of the module), without
 * counting a reference: how a library finds its own handle.  Null when the
 * address lies in no module.
 */
HMODULE module_of_address(const void *address);

/*
 * A fresh module handle value, never handed out before in this process (the
 * loader's records and the resource layer's data-file modules take theirs
 * from here).  It names no memory: module handles are looked up, never
 * dereferenced.
 */
HMODULE module_handle_new();

/*
 * Calls `fn` with the handle of every module as it is unloaded (after its
 * detach entry ran), so that tables keyed by module handles drop the
 * module's entries with it.  Registered for the life of the process.
 */
void loader_on_unload(void (*fn)(HMODULE module));

/* One export of a fake module. */
struct FakeExport {
    const char *name;
    FARPROC proc;
};

/*
 * Makes `name` load an in-process fake module: LoadLibraryW of that name
 * (bare, or any path ending in it; with a folder in `name`, that full path
 * only) answers a counted module whose entry is `entry` (may be null) and
 * whose exports are `exports` (names and addresses are copied).  Until
 * machine_reset or loader_unregister_fake.  Answers false for an empty name.
 */
bool loader_register_fake(std::u16string_view name, PLAT_DLL_ENTRY entry, std::span<const FakeExport> exports);

/* Forgets the fake `name` for later loads (a loaded one stays loaded). */
void loader_unregister_fake(std::u16string_view name);

/* The reference count of the loaded module `name` (matched as GetModuleHandleW does; data modules too), 0 when not loaded. */
DWORD loader_load_count(std::u16string_view name);

/*
 * Adds the export name `export_name` to the loaded module `module`, standing
 * for its symbol `symbol` (a fake's export of that name, for a fake).  Kept
 * until the module unloads.  False for a bad handle or null text.
 */
bool loader_add_export_alias(HMODULE module, const char *export_name, const char *symbol);

/*
 * The data-file opener, registered by the resource layer.  `open` gets the
 * real path of an existing file and its Windows path, and answers the data
 * module's payload or null (setting the last error; ERROR_MOD_NOT_FOUND is
 * used when it sets none).  `close` frees a payload when the module's last
 * reference goes.
 */
struct DatafileOpener {
    void *(*open)(const std::string &real_path, std::u16string_view win_path);
    void (*close)(void *payload);
};

/*
 * Installs `opener` (null removes it) and answers the one it replaces, so
 * that a test can put the resource container's opener back.  The record
 * must outlive its use.
 */
const DatafileOpener *loader_register_datafile_opener(const DatafileOpener *opener);

/*
 * Attaches a payload to a loaded module (for example the resources of a
 * code module), freed with `release` when the module unloads.  False when
 * the handle is bad or the module already has one.
 */
bool loader_attach_payload(HMODULE module, void *payload, void (*release)(void *));

/* The payload of a module (a data module's opener payload, or one attached), or null. */
void *loader_module_payload(HMODULE module);

/*
 * Why the calling thread's last load failed (the dynamic linker's message,
 * or which file was missing), for diagnostics; empty before any failure.
 */
const std::string &loader_last_failure();

/* Used by PLAT_MODULE_ENTRY and PLAT_EXPORT_ALIAS; `where` is an address inside the declaring library. */
void loader_declare_entry(const void *where, PLAT_DLL_ENTRY entry);
void loader_declare_alias(const void *where, const char *export_name, FARPROC proc);
void loader_withdraw(const void *where);

} // namespace plat

#define PLAT_LOADER_CAT2(a, b) a##b
#define PLAT_LOADER_CAT(a, b) PLAT_LOADER_CAT2(a, b)

/*
 * Names `fn` (a PLAT_DLL_ENTRY) as the entry function of the library this
 * source is linked into.  Use once per library, at namespace scope.
 */
#define PLAT_MODULE_ENTRY(fn)                                                                                    \
    __attribute__((constructor)) static void plat_module_entry_declare_(void)                                   \
    {                                                                                                            \
        plat::loader_declare_entry(reinterpret_cast<const void *>(&plat_module_entry_declare_), (fn));           \
    }                                                                                                            \
    __attribute__((destructor)) static void plat_module_entry_withdraw_(void)                                   \
    {                                                                                                            \
        plat::loader_withdraw(reinterpret_cast<const void *>(&plat_module_entry_declare_));                      \
    }

/*
 * Makes GetProcAddress answer `fn` for the export name `export_name` (a
 * decorated name, or "#n" for ordinal n) in the library this source is
 * linked into.  Use at namespace scope, as often as needed.
 */
#define PLAT_EXPORT_ALIAS(export_name, fn) PLAT_EXPORT_ALIAS_AT(export_name, fn, __COUNTER__)
#define PLAT_EXPORT_ALIAS_AT(export_name, fn, n)                                                                 \
    __attribute__((constructor)) static void PLAT_LOADER_CAT(plat_export_alias_declare_, n)(void)               \
    {                                                                                                            \
        plat::loader_declare_alias(reinterpret_cast<const void *>(&PLAT_LOADER_CAT(plat_export_alias_declare_, n)), \
                                   (export_name), plat::to_farproc(&(fn)));                                       \
    }                                                                                                            \
    __attribute__((destructor)) static void PLAT_LOADER_CAT(plat_export_alias_withdraw_, n)(void)               \
    {                                                                                                            \
        plat::loader_withdraw(reinterpret_cast<const void *>(&PLAT_LOADER_CAT(plat_export_alias_declare_, n)));  \
    }

#endif /* PLAT_LOADER_H */
