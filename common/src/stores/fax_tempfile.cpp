/*
 * The registry lists of direct-fax temporary files: their key names, the
 * registration of a file for the window that owns it, and the clean-up that
 * deletes the files of windows that are gone once they are a week old.
 */
#include <tarvel/stores/fax_tempfile.h>
#include <tarvel/stores/mrg_store.h>
#include <tarvel/stores/prn_store.h>

#include <plat/clock.h>
#include <plat/file.h>
#include <plat/handle.h>
#include <plat/memory.h>
#include <plat/registry.h>
#include <plat/text.h>
#include <plat/window.h>

#include <cstring>

namespace {

constexpr DWORD kValueNameChars = 260; /* names longer than this buffer holds are skipped */
constexpr ULONGLONG kTicksPerSecond = 10000000ull;

constexpr const WCHAR *kMachineSuffix = u"DirectFax\\TempFile";
constexpr const WCHAR *kUserSuffix = u"TempFile";

/* One registered file. */
struct TempFileRecord {
    WCHAR fileName[FAX_TEMP_NAME_CHARS];
    ULONGLONG window;
    ULONGLONG instance;
};

/* Reads a value's record; false when it is not a 544-byte REG_BINARY record with a terminated name. */
bool readRecord(HKEY key, LPCWSTR name, TempFileRecord &record)
{
    BYTE data[FAX_TEMP_VALUE_SIZE];
    DWORD type = 0, size = sizeof data;
    if (RegQueryValueExW(key, name, nullptr, &type, data, &size) != ERROR_SUCCESS || type != REG_BINARY ||
        size != FAX_TEMP_VALUE_SIZE)
        return false;
    std::memcpy(record.fileName, data, sizeof record.fileName);
    record.window = plat::load<ULONGLONG>(data + FAX_TEMP_OFF_WINDOW);
    record.instance = plat::load<ULONGLONG>(data + FAX_TEMP_OFF_INSTANCE);
    for (WCHAR c : record.fileName)
        if (!c)
            return true;
    return false;
}

ULONGLONG ticks(const FILETIME &t) { return (ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime; }

/* What the clean-up does with one registered file. */
enum class Verdict { Keep, DropValue, DropBoth };

Verdict judge(const TempFileRecord &record)
{
    HANDLE file = CreateFileW(record.fileName, GENERIC_READ, FILE_SHARE_READ | FILE_SHARE_WRITE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return Verdict::DropValue; /* the file is gone */
    HWND window = reinterpret_cast<HWND>(static_cast<uintptr_t>(record.window));
    Verdict verdict = Verdict::Keep;
    if (!(IsWindow(window) &&
          ULONGLONG(GetWindowLongPtrW(window, GWLP_HINSTANCE)) == record.instance)) {
        FILETIME written{}, now{};
        GetSystemTimeAsFileTime(&now);
        if (GetFileTime(file, nullptr, nullptr, &written) && ticks(now) >= ticks(written) &&
            ticks(now) - ticks(written) >= FAX_TEMP_MAX_AGE * kTicksPerSecond)
            verdict = Verdict::DropBoth;
    }
    CloseHandle(file);
    return verdict;
}

/* One pass over the values; true when a value was deleted (the caller starts again). */
bool cleanPass(HKEY key)
{
    WCHAR name[kValueNameChars];
    for (DWORD i = 0;; ++i) {
        DWORD chars = kValueNameChars;
        LONG err = RegEnumValueW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr);
        if (err == ERROR_MORE_DATA)
            continue; /* a name too long for the buffer */
        if (err != ERROR_SUCCESS)
            return false;
        if (!FAX_IsTempFileValueName(name))
            continue;
        TempFileRecord record{};
        Verdict verdict = readRecord(key, name, record) ? judge(record) : Verdict::DropValue;
        if (verdict == Verdict::Keep)
            continue;
        /* A value that cannot be deleted is passed over, so the walk always ends. */
        if (RegDeleteValueW(key, name) != ERROR_SUCCESS)
            continue;
        if (verdict == Verdict::DropBoth)
            DeleteFileW(record.fileName);
        return true;
    }
}

/* The list key name of the model text `which`, or of `base`, followed by the list's suffix. */
bool listKeyName(ModelContext *context, int which, LPCWSTR base, WCHAR (&out)[PRN_KEY_NAME_CHARS])
{
    LPCWSTR suffix = which == FAX_KEY_MACHINE ? kMachineSuffix : kUserSuffix;
    if (!base)
        return FAX_GetTempFileKeyName(context, which, suffix, out, PRN_KEY_NAME_CHARS);
    if (StringCchCopyW(out, PRN_KEY_NAME_CHARS, base) != S_OK || StringCchCatW(out, PRN_KEY_NAME_CHARS, suffix) != S_OK) {
        out[0] = 0;
        return false;
    }
    return true;
}

} // namespace

BOOL FAX_IsTempFileValueName(LPCWSTR name)
{
    if (!name)
        return FALSE;
    const size_t n = plat::wlen(FAX_TEMP_VALUE_PREFIX);
    return plat::wlen(name) >= n && std::memcmp(name, FAX_TEMP_VALUE_PREFIX, n * sizeof(WCHAR)) == 0;
}

BOOL FAX_GetTempFileKeyName(ModelContext *context, int which, LPCWSTR suffix, LPWSTR out, DWORD outChars)
{
    if (!out || outChars == 0)
        return FALSE;
    out[0] = 0;
    LPWSTR text = which == FAX_KEY_MACHINE ? MRG_GetMachineKeyText(context)
                  : which == FAX_KEY_USER  ? REG_GetModelKeyText(context)
                                           : nullptr;
    if (!text)
        return FALSE;
    BOOL ok = StringCchCopyW(out, outChars, text) == S_OK && StringCchCatW(out, outChars, suffix) == S_OK;
    if (!ok)
        out[0] = 0;
    GlobalFree(text);
    return ok;
}

BOOL FAX_AddTempFileValue(LPCWSTR keyName, LPCWSTR fileName, HWND window, HINSTANCE instance)
{
    if (!keyName || !fileName || plat::wlen(fileName) >= FAX_TEMP_NAME_CHARS)
        return FALSE;
    HKEY key = nullptr;
    if (RegCreateKeyExW(HKEY_CURRENT_USER, keyName, 0, nullptr, REG_OPTION_NON_VOLATILE, KEY_ALL_ACCESS, nullptr,
                        &key, nullptr) != ERROR_SUCCESS)
        return FALSE;
    const ULONGLONG windowValue = reinterpret_cast<uintptr_t>(window);
    const ULONGLONG instanceValue = reinterpret_cast<uintptr_t>(instance);
    BOOL result = TRUE;
    bool listed = false;
    DWORD values = 0;
    WCHAR name[kValueNameChars];
    for (DWORD i = 0; !listed; ++i) {
        DWORD chars = kValueNameChars;
        LONG err = RegEnumValueW(key, i, name, &chars, nullptr, nullptr, nullptr, nullptr);
        if (err == ERROR_MORE_DATA)
            continue;
        if (err != ERROR_SUCCESS)
            break;
        ++values;
        TempFileRecord record{};
        listed = FAX_IsTempFileValueName(name) && readRecord(key, name, record) &&
                 lstrcmpiW(record.fileName, fileName) == 0 && record.window == windowValue &&
                 record.instance == instanceValue;
    }
    if (!listed) {
        BYTE data[FAX_TEMP_VALUE_SIZE] = {};
        std::memcpy(data, fileName, plat::wlen(fileName) * sizeof(WCHAR));
        plat::store<ULONGLONG>(data + FAX_TEMP_OFF_WINDOW, windowValue);
        plat::store<ULONGLONG>(data + FAX_TEMP_OFF_INSTANCE, instanceValue);
        result = FALSE;
        /* Among values + 1 numbers one is free. */
        for (DWORD n = 1; n <= values + 1; ++n) {
            StringCchPrintfW(name, kValueNameChars, u"%s%lu", FAX_TEMP_VALUE_PREFIX, n);
            DWORD size = 0;
            LONG err = RegQueryValueExW(key, name, nullptr, nullptr, nullptr, &size);
            if (err == ERROR_FILE_NOT_FOUND) {
                result = RegSetValueExW(key, name, 0, REG_BINARY, data, sizeof data) == ERROR_SUCCESS;
                break;
            }
            if (err != ERROR_SUCCESS)
                break;
        }
    }
    RegCloseKey(key);
    return result;
}

BOOL FAX_CleanTempFileKey(LPCWSTR keyName)
{
    if (!keyName)
        return FALSE;
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_CURRENT_USER, keyName, 0, KEY_ALL_ACCESS, &key) != ERROR_SUCCESS)
        return TRUE; /* nothing registered, or nothing that can be cleaned now */
    /* Every new pass follows a deleted value, so the passes end with the values. */
    while (cleanPass(key)) {
    }
    RegCloseKey(key);
    return TRUE;
}

BOOL FAX_CleanupTempFiles(ModelContext *context, LPCWSTR machineBase, LPCWSTR userBase)
{
    WCHAR machineKey[PRN_KEY_NAME_CHARS], userKey[PRN_KEY_NAME_CHARS];
    const bool machine = listKeyName(context, FAX_KEY_MACHINE, machineBase, machineKey);
    const bool user = listKeyName(context, FAX_KEY_USER, userBase, userKey);
    if (machine)
        FAX_CleanTempFileKey(machineKey);
    if (user)
        FAX_CleanTempFileKey(userKey);
    return machine && user;
}

BOOL FAX_RegisterTempFile(ModelContext *context, HWND sheetWindow, LPCWSTR fileName)
{
    HWND root = GetAncestor(sheetWindow, GA_ROOT);
    if (!root || !fileName)
        return FALSE;
    FAX_CleanupTempFiles(context, nullptr, nullptr);
    WCHAR key[PRN_KEY_NAME_CHARS];
    if (!listKeyName(context, FAX_KEY_USER, nullptr, key))
        return FALSE;
    auto instance = reinterpret_cast<HINSTANCE>(GetWindowLongPtrW(root, GWLP_HINSTANCE));
    return FAX_AddTempFileValue(key, fileName, root, instance);
}
