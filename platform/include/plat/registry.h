/*
 * The registry of the simulated machine: HKEY_LOCAL_MACHINE, one
 * HKEY_CURRENT_USER tree per user name, and HKEY_USERS over those trees,
 * with the advapi32 functions the driver calls under their Windows names.
 *
 * Keys and values:
 * - Key paths are backslash-separated; names compare ignoring case (the
 *   platform's simple case mapping) and keep the case they were created
 *   with.  A key name holds 1-255 characters; one trailing backslash is
 *   allowed ("Winlogon\"), a leading backslash or an empty component is not
 *   (ERROR_BAD_PATHNAME).  Paths are at most 512 keys deep.
 * - Value names hold 0-16383 characters; a null or empty name is the key's
 *   default value.  Data is kept exactly as given (a REG_SZ stored without
 *   its terminator reads back without it), at most 1 MB per value.
 * - Subkeys enumerate in name order ignoring case; values in the order they
 *   were first set.
 * - HKEY_USERS holds one subkey per user name (not per SID); the current
 *   user's subkey is HKEY_CURRENT_USER.  HKEY_CLASSES_ROOT is not kept:
 *   calls on it answer ERROR_INVALID_HANDLE.
 *
 * Handles: opened keys live in the platform handle table with kind
 * HANDLE_KIND_REGKEY (20) and are closed with RegCloseKey only (CloseHandle
 * refuses them); machine_reset closes every key still open.  The predefined
 * root keys need no closing.  A handle whose key was deleted answers
 * ERROR_KEY_DELETED.  A handle carries the rights it was opened with:
 * setting or deleting values needs KEY_SET_VALUE, creating a subkey
 * KEY_CREATE_SUB_KEY, reading values KEY_QUERY_VALUE, enumerating subkeys
 * KEY_ENUMERATE_SUB_KEYS; anything else answers ERROR_ACCESS_DENIED.  The
 * 32- and 64-bit views (KEY_WOW64_32KEY, KEY_WOW64_64KEY) are one and the
 * same tree.
 *
 * Ordinary user (plat::registry_set_admin(false)): below
 * HKEY_LOCAL_MACHINE nothing may be created, set or deleted, and keys open
 * only for reading (asking for write rights answers ERROR_ACCESS_DENIED;
 * MAXIMUM_ALLOWED gives KEY_READ).
 *
 * Persistence: the registry is the file "registry.dat" in the machine folder.
 * Every change rewrites it at once, atomically (a new file renamed over the
 * old one), so another process that calls plat::machine_reset on the same
 * folder reads it back.  A failed save is reported on stderr, keeps the
 * change in memory and is tried again with the next change or RegFlushKey
 * (which reports it).  One process at a time works on a machine folder's
 * registry: a process reads the file at machine_reset only, and the last
 * save wins.  Loading checks every length and count against the
 * file: a damaged file is set aside as "registry.dat.bad", reported on
 * stderr, and the machine starts with an empty registry.  A machine folder
 * without a registry file starts with the seeds of a fresh machine (see
 * registry_reset_to_fresh).
 *
 * All functions return the error code itself (ERROR_SUCCESS on success), as
 * the registry functions of Windows do, and leave the last error alone.
 */
#ifndef PLAT_REGISTRY_H
#define PLAT_REGISTRY_H

#include <plat/access.h>
#include <plat/types.h>

#include <string>
#include <string_view>

typedef DWORD REGSAM;
typedef DWORD ACCESS_MASK;
struct SECURITY_ATTRIBUTES;

/* Predefined root keys (sign-extended 32-bit values, as on 64-bit Windows). */
#define HKEY_CLASSES_ROOT ((HKEY)(ULONG_PTR)(LONG_PTR)(LONG)0x80000000)
#define HKEY_CURRENT_USER ((HKEY)(ULONG_PTR)(LONG_PTR)(LONG)0x80000001)
#define HKEY_LOCAL_MACHINE ((HKEY)(ULONG_PTR)(LONG_PTR)(LONG)0x80000002)
#define HKEY_USERS ((HKEY)(ULONG_PTR)(LONG_PTR)(LONG)0x80000003)

/* Key rights (the shared ones in plat/access.h). */
#define KEY_QUERY_VALUE 0x0001u
#define KEY_SET_VALUE 0x0002u
#define KEY_CREATE_SUB_KEY 0x0004u
#define KEY_ENUMERATE_SUB_KEYS 0x0008u
#define KEY_NOTIFY 0x0010u
#define KEY_CREATE_LINK 0x0020u
#define KEY_WOW64_64KEY 0x0100u
#define KEY_WOW64_32KEY 0x0200u
#define KEY_READ 0x00020019u
#define KEY_EXECUTE 0x00020019u
#define KEY_WRITE 0x00020006u
#define KEY_ALL_ACCESS 0x000F003Fu

/* Options of RegCreateKeyExW / RegOpenKeyExW. */
#define REG_OPTION_NON_VOLATILE 0x0000u
#define REG_OPTION_VOLATILE 0x0001u
#define REG_OPTION_OPEN_LINK 0x0008u

/* Dispositions reported by RegCreateKeyExW. */
#define REG_CREATED_NEW_KEY 0x00000001u
#define REG_OPENED_EXISTING_KEY 0x00000002u

/* Value types. */
#define REG_NONE 0u
#define REG_SZ 1u
#define REG_EXPAND_SZ 2u
#define REG_BINARY 3u
#define REG_DWORD 4u
#define REG_DWORD_LITTLE_ENDIAN 4u
#define REG_DWORD_BIG_ENDIAN 5u
#define REG_LINK 6u
#define REG_MULTI_SZ 7u
#define REG_QWORD 11u
#define REG_QWORD_LITTLE_ENDIAN 11u

/* Registry errors not listed in plat/types.h. */
#ifndef ERROR_BAD_PATHNAME
#define ERROR_BAD_PATHNAME 161L
#endif
#ifndef ERROR_NOACCESS
#define ERROR_NOACCESS 998L
#endif
#ifndef ERROR_BADKEY
#define ERROR_BADKEY 1010L
#endif
#ifndef ERROR_KEY_DELETED
#define ERROR_KEY_DELETED 1018L
#endif

/*
 * Opens or creates `sub_key` (a path below `key`; null or empty names `key`
 * itself) and returns a new handle in *result (null on failure), with the
 * rights `sam`.  Every missing key along the path is created; *disposition
 * (optional) says REG_CREATED_NEW_KEY or REG_OPENED_EXISTING_KEY.  Creating
 * needs KEY_CREATE_SUB_KEY on `key`.  `reserved` must be 0 and `options`
 * REG_OPTION_NON_VOLATILE (ERROR_INVALID_PARAMETER otherwise); `key_class`
 * and `security` are ignored.  The caller closes the key with RegCloseKey.
 */
LONG RegCreateKeyExW(HKEY key, LPCWSTR sub_key, DWORD reserved, LPWSTR key_class, DWORD options, REGSAM sam,
                     SECURITY_ATTRIBUTES *security, PHKEY result, LPDWORD disposition);

/* RegCreateKeyExW with MAXIMUM_ALLOWED and no disposition (the older call). */
LONG RegCreateKeyW(HKEY key, LPCWSTR sub_key, PHKEY result);

/*
 * Opens an existing `sub_key` below `key` (null or empty: a new handle to
 * `key` itself) with the rights `sam`.  ERROR_FILE_NOT_FOUND when a key of
 * the path is missing.  `options` is 0 or REG_OPTION_OPEN_LINK.  *result is
 * the new handle, or null on failure; the caller closes it with RegCloseKey.
 */
LONG RegOpenKeyExW(HKEY key, LPCWSTR sub_key, DWORD options, REGSAM sam, PHKEY result);

/* RegOpenKeyExW with the path in the ANSI code page. */
LONG RegOpenKeyExA(HKEY key, LPCSTR sub_key, DWORD options, REGSAM sam, PHKEY result);

/*
 * Closes a key handle.  ERROR_SUCCESS, also for a predefined root key;
 * ERROR_INVALID_HANDLE for anything else that is not an open key.
 */
LONG RegCloseKey(HKEY key);

/*
 * Reads value `name` of `key`: its type into *type and its data into `data`
 * (*size bytes of room in, bytes of data out).  `data` null with `size`
 * given: ERROR_SUCCESS and the size needed.  Room too small:
 * ERROR_MORE_DATA, the size needed in *size and nothing written to `data`.
 * A missing value: ERROR_FILE_NOT_FOUND.  `reserved` must be null and
 * `size` must be given with `data` (ERROR_INVALID_PARAMETER).
 */
LONG RegQueryValueExW(HKEY key, LPCWSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size);

/*
 * RegQueryValueExW with the name in the ANSI code page; string data
 * (REG_SZ, REG_EXPAND_SZ, REG_MULTI_SZ) is answered in the ANSI code page
 * and the sizes count its bytes.
 */
LONG RegQueryValueExA(HKEY key, LPCSTR name, LPDWORD reserved, LPDWORD type, LPBYTE data, LPDWORD size);

/*
 * Sets value `name` of `key` to `size` bytes of `data` with `type` (any
 * type; strings should include their terminator).  `data` may be null only
 * with size 0 (ERROR_NOACCESS otherwise); more than 1 MB, or a name longer
 * than 16383 characters, answers ERROR_INVALID_PARAMETER.
 */
LONG RegSetValueExW(HKEY key, LPCWSTR name, DWORD reserved, DWORD type, const BYTE *data, DWORD size);

/*
 * Sets the default value of `sub_key` (created when missing; null or empty:
 * `key` itself) to the string `data` with its terminator.  `type` must be
 * REG_SZ and `data` given (ERROR_INVALID_PARAMETER); `size` is ignored.
 */
LONG RegSetValueW(HKEY key, LPCWSTR sub_key, DWORD type, LPCWSTR data, DWORD size);

/* Deletes value `name` of `key`; ERROR_FILE_NOT_FOUND when it does not exist. */
LONG RegDeleteValueW(HKEY key, LPCWSTR name);

/*
 * Deletes the key `sub_key` below `key` (empty: `key` itself) with its
 * values.  A key that has subkeys is refused with ERROR_ACCESS_DENIED; a
 * predefined root key cannot be deleted (ERROR_ACCESS_DENIED).  Handles
 * still open on the deleted key answer ERROR_KEY_DELETED afterwards.  A
 * null `sub_key` is ERROR_INVALID_PARAMETER.
 */
LONG RegDeleteKeyW(HKEY key, LPCWSTR sub_key);

/*
 * The value at `index` (0 upwards) of `key`: its name into `name` (*name_size
 * characters of room including the terminator in; characters without the
 * terminator out), its type and data as RegQueryValueExW gives them.
 * ERROR_NO_MORE_ITEMS past the last value.  A name that does not fit:
 * ERROR_MORE_DATA, nothing written, sizes unchanged.  Data that does not fit:
 * ERROR_MORE_DATA with the size needed in *data_size.
 */
LONG RegEnumValueW(HKEY key, DWORD index, LPWSTR name, LPDWORD name_size, LPDWORD reserved, LPDWORD type,
                   LPBYTE data, LPDWORD data_size);

/*
 * The name of the subkey at `index` (0 upwards, in name order) of `key`
 * into `name` (*name_size characters of room including the terminator in;
 * characters without the terminator out).  ERROR_NO_MORE_ITEMS past the
 * last subkey; ERROR_MORE_DATA (nothing written, size unchanged) when the
 * name does not fit.  The class is always empty; `last_write` (optional)
 * gets the subkey's last-write time.
 */
LONG RegEnumKeyExW(HKEY key, DWORD index, LPWSTR name, LPDWORD name_size, LPDWORD reserved, LPWSTR key_class,
                   LPDWORD class_size, FILETIME *last_write);

/*
 * Facts about `key`, each output optional: number of subkeys, longest
 * subkey name (characters, no terminator), number of values, longest value
 * name (characters, no terminator), largest value data (bytes) and the
 * last-write time.  The class is empty (*class_size 0), the longest class
 * and the security descriptor size 0.
 */
LONG RegQueryInfoKeyW(HKEY key, LPWSTR key_class, LPDWORD class_size, LPDWORD reserved, LPDWORD sub_keys,
                      LPDWORD max_sub_key_len, LPDWORD max_class_len, LPDWORD values, LPDWORD max_value_name_len,
                      LPDWORD max_value_len, LPDWORD security_descriptor_size, FILETIME *last_write);

/*
 * Makes sure every change is in the registry file.  Changes are saved as
 * they happen, so this only tries again a save that failed: ERROR_SUCCESS,
 * or the error of that save.
 */
LONG RegFlushKey(HKEY key);

namespace plat {

/* Handle-table kind of registry keys (see plat/handle.h). */
constexpr uint32_t HANDLE_KIND_REGKEY = 20;

/*
 * Makes `name` the current user: HKEY_CURRENT_USER is then
 * HKEY_USERS\<name> (created when missing) and the user's folders (see
 * plat/sysdir.h) follow.  Keys opened before stay on the tree they were
 * opened on.  False, changing nothing, for an empty name, one longer than
 * 256 characters, or one holding a control character or any of \ / : * ? " < > |.
 * machine_reset restores the default user, "tarvel".
 */
bool registry_set_current_user(std::u16string_view name);

/* The current user's name. */
std::u16string registry_current_user();

/*
 * Administrator (true, the default after machine_reset) or ordinary user
 * (false: HKEY_LOCAL_MACHINE is read-only, see above).
 */
void registry_set_admin(bool admin);

/*
 * Makes the n-th registry call from now (n = 1: the next) fail with `error`,
 * changing nothing and writing no output; 0 disarms.  Every function above
 * counts except RegCloseKey.  machine_reset disarms it.
 */
void registry_fail_after(unsigned n, LONG error = ERROR_ACCESS_DENIED);

/* Registry calls counted since the last machine_reset (failed ones too). */
unsigned long registry_call_count();

/*
 * Seeding for tests and the host: creates the keys of `path` below `root`
 * (HKEY_LOCAL_MACHINE, HKEY_CURRENT_USER or HKEY_USERS) and sets value
 * `name` (empty: the default value) to `size` bytes of `data` with `type`.
 * Bypasses the ordinary-user rule and fault injection; saved like any
 * change.  False for a bad root, path, name or size.
 */
bool registry_seed(HKEY root, std::u16string_view path, std::u16string_view name, DWORD type, const void *data,
                   DWORD size);

/* registry_seed of a REG_SZ value (the text and its terminator). */
bool registry_seed_string(HKEY root, std::u16string_view path, std::u16string_view name, std::u16string_view text);

/* registry_seed of a REG_DWORD value. */
bool registry_seed_dword(HKEY root, std::u16string_view path, std::u16string_view name, DWORD value);

/* Creates the keys of `path` below `root` without values (see registry_seed). */
bool registry_seed_key(HKEY root, std::u16string_view path);

/*
 * Replaces the registry with the one of a fresh machine and saves it: the
 * roots, the current user's tree, and HKEY_LOCAL_MACHINE
 * "SOFTWARE\Microsoft\Windows NT\CurrentVersion\Winlogon" with
 * "DefaultUserName" = the default user, "tarvel".
 */
void registry_reset_to_fresh();

/* The real path of the registry file of the current machine. */
std::string registry_file();

/*
 * ERROR_SUCCESS, or the error of reading the registry file when it exists
 * but cannot be read: every registry call then fails with it and nothing is
 * saved until the file can be read.
 */
LONG registry_store_error();

/*
 * Empty, or what keeps the registry's lock file from being taken ("<path>
 * cannot be taken: it is a symbolic link"): the registry then saves no
 * change.
 */
std::string registry_lock_problem();

/* The registry as the bytes its file holds. */
std::string registry_image();

/*
 * Replaces the registry in memory (nothing is saved) with the one that
 * `size` bytes at `data` describe, in the file format.  Returns true; false
 * for a damaged image, which leaves an empty registry (and says why in
 * *why, when given).  The file loader and the fuzz target use this.
 */
bool registry_load_bytes(const void *data, size_t size, std::string *why = nullptr);

} // namespace plat

#endif /* PLAT_REGISTRY_H */
