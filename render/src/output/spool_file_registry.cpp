/*
 * The registry list of the spool temporary files in use (see spool_file.h):
 * one key per file below HKEY_LOCAL_MACHINE \ base + "TempFile\", named by
 * the file's path with "\" turned into "/" and stamped with its creation
 * time, and the clean-up that deletes what jobs which died left behind.
 *
 * The clean-up takes a file for gone only when deleting it succeeds or
 * reports that the file or its folder does not exist.  Any other failure (a
 * sharing violation from a job that still holds it, access denied) means the
 * file is in use: it keeps its key, so it is found again once its job ends.
 */
#include "spool_file.h"

#include <plat/clock.h>
#include <plat/error.h>
#include <plat/file.h>
#include <plat/registry.h>
#include <plat/text.h>

#include <cstdio>
#include <mutex>

namespace {

/* Name of the list key below the base. */
constexpr WCHAR kListKey[] = u"TempFile";

/* Longest key path this file builds: base, list key, separators and a full path. */
constexpr int kMaxKeyPath = OUT_MAX_TEMP_FILE_BASE + 16 + MAX_PATH;

/* The registry base; process-wide, as every device context of the library shares it. */
std::mutex g_baseLock;
WCHAR g_base[OUT_MAX_TEMP_FILE_BASE + 1] = {};
bool g_baseSet = false;

/* Copies the current base into `out` (OUT_MAX_TEMP_FILE_BASE + 1 characters). */
void reg_CopyBase(LPWSTR out)
{
    std::lock_guard<std::mutex> hold(g_baseLock);
    lstrcpynW(out, g_baseSet ? g_base : OUT_DEFAULT_TEMP_FILE_BASE, OUT_MAX_TEMP_FILE_BASE + 1);
}

/*
 * The list key's path, base + "TempFile", into `out` (kMaxKeyPath + 1
 * characters); a base without its closing "\" gets one.  Returns the length.
 */
int reg_ListKey(LPWSTR out)
{
    reg_CopyBase(out);
    int n = lstrlenW(out);
    if (n > 0 && out[n - 1] != u'\\')
        out[n++] = u'\\';
    lstrcpynW(out + n, kListKey, kMaxKeyPath + 1 - n);
    return lstrlenW(out);
}

/*
 * The key path of `path`: the list key, "\", and the path with every "\"
 * turned into "/".  False for a missing or empty path or one too long.
 */
bool reg_FileKey(LPCWSTR path, LPWSTR out)
{
    if (!path || !path[0])
        return false;
    int n = reg_ListKey(out);
    int len = lstrlenW(path);
    if (n + 1 + len > kMaxKeyPath)
        return false;
    out[n++] = u'\\';
    for (int i = 0; i < len; i++)
        out[n++] = path[i] == u'\\' ? u'/' : path[i];
    out[n] = 0;
    return true;
}

} // namespace

int OUT_SetTempFileBase(LPCWSTR base)
{
    if (!base || !base[0] || lstrlenW(base) > OUT_MAX_TEMP_FILE_BASE)
        return -1;
    std::lock_guard<std::mutex> hold(g_baseLock);
    lstrcpynW(g_base, base, OUT_MAX_TEMP_FILE_BASE + 1);
    g_baseSet = true;
    return 0;
}

LPCWSTR OUT_GetTempFileBase()
{
    std::lock_guard<std::mutex> hold(g_baseLock);
    return g_baseSet ? g_base : OUT_DEFAULT_TEMP_FILE_BASE;
}

void OUT_ResetTempFileBase()
{
    std::lock_guard<std::mutex> hold(g_baseLock);
    g_base[0] = 0;
    g_baseSet = false;
}

int OUT_RegisterTempFile(LPCWSTR path)
{
    WCHAR key[kMaxKeyPath + 1];
    if (!reg_FileKey(path, key))
        return -1;
    SYSTEMTIME now{};
    GetLocalTime(&now);
    char stamp[40];
    int len = std::snprintf(stamp, sizeof stamp, "[%04d,%02d/%02d,%02d:%02d:%02d]", now.wYear, now.wMonth, now.wDay,
                            now.wHour, now.wMinute, now.wSecond);
    WCHAR value[40];
    for (int i = 0; i <= len; i++)
        value[i] = WCHAR(BYTE(stamp[i]));
    HKEY handle = nullptr;
    if (RegCreateKeyW(HKEY_LOCAL_MACHINE, key, &handle) != ERROR_SUCCESS)
        return -1;
    LONG rc = RegSetValueExW(handle, nullptr, 0, REG_SZ, reinterpret_cast<const BYTE *>(value),
                             DWORD(len + 1) * sizeof(WCHAR));
    RegCloseKey(handle);
    return rc == ERROR_SUCCESS ? 0 : -1;
}

int OUT_UnregisterTempFile(LPCWSTR path)
{
    WCHAR key[kMaxKeyPath + 1];
    if (!reg_FileKey(path, key))
        return -1;
    return RegDeleteKeyW(HKEY_LOCAL_MACHINE, key) == ERROR_SUCCESS ? 0 : -1;
}

int OUT_DeleteStaleTempFiles()
{
    WCHAR listKey[kMaxKeyPath + 1];
    reg_ListKey(listKey);
    HKEY list = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, listKey, 0, KEY_READ, &list) != ERROR_SUCCESS)
        return -1;
    int rc = 0;
    DWORD index = 0;
    for (;;) {
        WCHAR name[MAX_PATH + 1];
        DWORD cch = MAX_PATH + 1;
        LONG status = RegEnumKeyExW(list, index, name, &cch, nullptr, nullptr, nullptr, nullptr);
        if (status == ERROR_NO_MORE_ITEMS)
            break;
        if (status != ERROR_SUCCESS) {
            rc = -1;
            break;
        }
        for (DWORD i = 0; i < cch; i++)
            if (name[i] == u'/')
                name[i] = u'\\';
        bool gone = DeleteFileW(name) != FALSE;
        if (!gone) {
            DWORD error = GetLastError();
            gone = error == ERROR_FILE_NOT_FOUND || error == ERROR_PATH_NOT_FOUND;
        }
        if (!gone) {
            index++; /* still in use: try it again at the next job */
            continue;
        }
        if (OUT_UnregisterTempFile(name) != 0) {
            rc = -1;
            break;
        }
        index = 0; /* the list changed under the enumeration: start again */
    }
    RegCloseKey(list);
    return rc;
}
