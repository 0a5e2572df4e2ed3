/*
 * Temporary files of direct faxes: a small registry list through which a
 * file is deleted once the property sheet that made it is gone.  Two keys
 * below HKEY_CURRENT_USER hold the lists: the model's machine-wide key text
 * (header entry 30) followed by "DirectFax\TempFile", and its per-user key
 * text (header entry 33) followed by "TempFile".  New files are registered
 * in the second; both are cleaned.
 *
 * Each value is named "DFaxInfo_" and a decimal number from 1, REG_BINARY,
 * 544 bytes: {file name, 264 UTF-16 characters with a terminator; owner
 * window handle, 64-bit; owner module instance, 64-bit}.
 *
 * Ages are measured against the machine clock (GetSystemTimeAsFileTime)
 * from the file's last write.  Registry failures during a clean-up are
 * ignored.  Nothing is logged.
 */
#ifndef TARVEL_FAX_TEMPFILE_H
#define TARVEL_FAX_TEMPFILE_H

#include <plat/types.h>

struct ModelContext;

inline constexpr DWORD FAX_TEMP_VALUE_SIZE = 544;
inline constexpr DWORD FAX_TEMP_NAME_CHARS = 264;      /* the file name's field, terminator included */
inline constexpr DWORD FAX_TEMP_OFF_WINDOW = 528;
inline constexpr DWORD FAX_TEMP_OFF_INSTANCE = 536;
inline constexpr DWORD FAX_TEMP_MAX_AGE = 604800;      /* seconds: 7 days */
inline constexpr const WCHAR *FAX_TEMP_VALUE_PREFIX = u"DFaxInfo_";

/* Which model key text a list's key name starts with. */
inline constexpr int FAX_KEY_MACHINE = 0; /* header entry 30 */
inline constexpr int FAX_KEY_USER = 1;    /* header entry 33 */

/* FAX_IsTempFileValueName: 1 when `name` begins with "DFaxInfo_". */
BOOL FAX_IsTempFileValueName(LPCWSTR name);

/*
 * FAX_GetTempFileKeyName: the model's key text `which` followed by `suffix`
 * into `out` (`outChars` characters).  Returns 1; 0 (out emptied when it has
 * room) when the model has no such text or the name does not fit.
 */
BOOL FAX_GetTempFileKeyName(ModelContext *context, int which, LPCWSTR suffix, LPWSTR out, DWORD outChars);

/*
 * FAX_AddTempFileValue: registers `fileName` for `window` and `instance` in
 * the key `keyName` (created when missing), unless a value already holds
 * the same file name (ignoring case), window and instance; the value takes
 * the first free name "DFaxInfo_1", "DFaxInfo_2", ...  Returns 1; 0 for a
 * file name of more than 263 characters, a null argument, or a registry
 * failure.
 */
BOOL FAX_AddTempFileValue(LPCWSTR keyName, LPCWSTR fileName, HWND window, HINSTANCE instance);

/*
 * FAX_CleanTempFileKey: walks the "DFaxInfo_" values of `keyName` (names
 * longer than 259 characters are skipped), starting again from the first
 * value after each deletion: a value whose file cannot be opened for
 * reading is deleted (the file is gone); a value whose window still exists
 * with the stored instance is kept; otherwise, when the file's last write
 * lies at least 7 days back, the value and the file are deleted, else both
 * are kept.  A value that is not a 544-byte REG_BINARY record with a
 * terminated file name is deleted.  Returns 1 (also when the key does not
 * exist); 0 for a null name.
 */
BOOL FAX_CleanTempFileKey(LPCWSTR keyName);

/*
 * FAX_CleanupTempFiles: cleans both lists.  `machineBase` and `userBase`
 * replace the model's key texts (entries 30 and 33) when given.  Returns 1
 * when every list that could be named was cleaned; 0 when a key name
 * cannot be built.
 */
BOOL FAX_CleanupTempFiles(ModelContext *context, LPCWSTR machineBase, LPCWSTR userBase);

/*
 * FAX_RegisterTempFile: cleans both lists, then registers `fileName` in the
 * second for the top-level window of `sheetWindow` (GetAncestor GA_ROOT) and
 * that window's instance.  Returns 1, or 0 for a window that does not exist,
 * a key name that cannot be built, or a failed registration.
 */
BOOL FAX_RegisterTempFile(ModelContext *context, HWND sheetWindow, LPCWSTR fileName);

#endif /* TARVEL_FAX_TEMPFILE_H */
