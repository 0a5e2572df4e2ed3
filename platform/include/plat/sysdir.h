/*
 * The simulated machine's folders and temporary file names: the Windows
 * and system folders, the current user's temporary folder,
 * GetTempFileNameW, and the shell's known folders (SHGetFolderPathW).
 *
 * The folders are Windows paths on drive C of the machine:
 *   Windows folder         C:\Windows
 *   system folder          C:\Windows\System32
 *   user profile           C:\Users\<user>        (<user>: plat::registry_current_user)
 *   temporary folder       C:\Users\<user>\AppData\Local\Temp\
 *   common documents       C:\Users\Public\Documents
 * These folders exist on every Windows machine; here each comes into being
 * (on the machine's disk) the first time a function of this header names it.
 */
#ifndef PLAT_SYSDIR_H
#define PLAT_SYSDIR_H

#include <plat/types.h>

#include <string_view>

#ifndef ERROR_BUFFER_OVERFLOW
#define ERROR_BUFFER_OVERFLOW 111L
#endif
#ifndef ERROR_DIRECTORY
#define ERROR_DIRECTORY 267L
#endif

/* Known folders of SHGetFolderPathW. */
#define CSIDL_PERSONAL 0x0005          /* C:\Users\<user>\Documents */
#define CSIDL_APPDATA 0x001A           /* C:\Users\<user>\AppData\Roaming */
#define CSIDL_LOCAL_APPDATA 0x001C     /* C:\Users\<user>\AppData\Local */
#define CSIDL_COMMON_APPDATA 0x0023    /* C:\ProgramData */
#define CSIDL_WINDOWS 0x0024           /* C:\Windows */
#define CSIDL_SYSTEM 0x0025            /* C:\Windows\System32 */
#define CSIDL_PROGRAM_FILES 0x0026     /* C:\Program Files */
#define CSIDL_PROFILE 0x0028           /* C:\Users\<user> */
#define CSIDL_COMMON_DOCUMENTS 0x002E  /* C:\Users\Public\Documents */
#define CSIDL_FLAG_DONT_VERIFY 0x4000
#define CSIDL_FLAG_CREATE 0x8000
#define CSIDL_FLAG_MASK 0xFF00
#define SHGFP_TYPE_CURRENT 0
#define SHGFP_TYPE_DEFAULT 1

/*
 * The Windows folder ("C:\Windows", no trailing backslash) into `buffer`
 * (`size` characters).  Returns the characters copied without the
 * terminator; when `size` is too small (or 0), the size needed including the
 * terminator, with nothing written.  A null buffer with a size other than 0:
 * 0 and ERROR_INVALID_PARAMETER.
 */
UINT GetWindowsDirectoryW(LPWSTR buffer, UINT size);

/* The system folder ("C:\Windows\System32"), with the rules of GetWindowsDirectoryW. */
UINT GetSystemDirectoryW(LPWSTR buffer, UINT size);

/*
 * The process's current directory ("C:\" after machine_reset; a folder
 * without a trailing backslash, a drive's root with one), with the rules of
 * GetWindowsDirectoryW (note the order of the arguments).  Only
 * SetCurrentDirectoryW reads it: the file functions resolve relative paths
 * from "C:\" whatever it is.
 */
DWORD GetCurrentDirectoryW(DWORD size, LPWSTR buffer);

/*
 * Makes `path` (absolute, or relative to the current directory; "\x" is
 * on the current drive) the current directory.  FALSE with
 * ERROR_INVALID_PARAMETER (null or empty), ERROR_FILENAME_EXCED_RANGE (over
 * 258 characters), ERROR_PATH_NOT_FOUND (no such folder) or ERROR_DIRECTORY
 * (a file); the current directory then stays as it was.
 */
BOOL SetCurrentDirectoryW(LPCWSTR path);

/*
 * The current user's temporary folder, ending in a backslash, into `buffer`
 * (`size` characters; note the order of the arguments), with the rules of
 * GetWindowsDirectoryW.
 */
DWORD GetTempPathW(DWORD size, LPWSTR buffer);

/*
 * Makes a temporary file name "<path>\<prefix><XXXX>.TMP" in `out` (room
 * for MAX_PATH characters): up to the first three characters of `prefix`
 * (null: none) and four upper-case hexadecimal digits.
 * - `unique` not 0: its low 16 bits are the digits; nothing is created or
 *   checked; returns `unique`.
 * - `unique` 0: takes the machine's next number (1 to 65535, in turn),
 *   skipping every name that exists, creates the empty file and returns the
 *   number.  ERROR_DIRECTORY when `path` is not an existing folder,
 *   ERROR_FILE_EXISTS when all 65535 names are taken, or the error of
 *   creating the file.
 * Returns 0 on failure, with ERROR_INVALID_PARAMETER (null `path` or `out`),
 * ERROR_BUFFER_OVERFLOW (`path` longer than MAX_PATH - 14) or the errors
 * above; `out` is then left alone.
 */
UINT GetTempFileNameW(LPCWSTR path, LPCWSTR prefix, UINT unique, LPWSTR out);

/*
 * The path of known folder `csidl` (one of the CSIDL_ values above,
 * optionally with CSIDL_FLAG_ bits) into `path` (room for MAX_PATH
 * characters), without a trailing backslash.  `owner`, `token` and `flags`
 * (SHGFP_TYPE_CURRENT or SHGFP_TYPE_DEFAULT: the same answer) are ignored.
 * Returns S_OK; E_INVALIDARG for another folder or a null `path`; E_FAIL
 * (path empty) when the folder cannot be made or the failure is injected
 * (plat::sysdir_fail_folder_path).
 */
HRESULT SHGetFolderPathW(HWND owner, int csidl, HANDLE token, DWORD flags, LPWSTR path);

namespace plat {

/*
 * Makes GetTempFileNameW fail with ERROR_ACCESS_DENIED, as in a folder no
 * one may write: with `folder` empty, in every folder (or, with `fail`
 * false, in none again); else in that folder only (compared ignoring case
 * and a trailing backslash) or, with `fail` false, no longer in it.
 * machine_reset clears it.
 */
void sysdir_fail_temp_name(bool fail, std::u16string_view folder = {});

/* Makes SHGetFolderPathW answer E_FAIL while `fail` is true.  machine_reset clears it. */
void sysdir_fail_folder_path(bool fail);

} // namespace plat

#endif /* PLAT_SYSDIR_H */
