/*
 * Operating-system version classes and checks, the user name with its
 * fallbacks, temporary file names and file age.
 */
#include <tarvel/base/util_system.h>

#include <plat/clock.h>
#include <plat/error.h>
#include <plat/file.h>
#include <plat/handle.h>
#include <plat/registry.h>
#include <plat/sysdir.h>
#include <plat/sysinfo.h>
#include <plat/text.h>
#include <plat/version.h>

#include <array>
#include <atomic>

namespace {

/* Cached answers of the two version checks: -1 until first asked. */
std::atomic<int> g_isXpOrLater{-1};
std::atomic<int> g_isVistaOrLater{-1};

BOOL cachedAtLeast(std::atomic<int> &cache, DWORD major, DWORD minor)
{
    int value = cache.load();
    if (value < 0) {
        value = UTL_IsAtLeastVersion(major, minor) ? 1 : 0;
        cache.store(value);
    }
    return value;
}

} // namespace

int UTL_GetOsVersionClass(int *out)
{
    if (!out)
        return -1;
    OSVERSIONINFOW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    if (!GetVersionExW(&info))
        return -1;
    int cls = UTL_OS_OTHER;
    if (info.dwPlatformId == VER_PLATFORM_WIN32_WINDOWS) {
        if (info.dwMajorVersion < 4)
            cls = UTL_OS_9X_OLD;
        else if (info.dwMajorVersion == 4 && info.dwMinorVersion == 0)
            cls = UTL_OS_9X_40;
        else
            cls = UTL_OS_9X_LATER;
    } else if (info.dwPlatformId == VER_PLATFORM_WIN32_NT) {
        if (info.dwMajorVersion < 4)
            cls = UTL_OS_NT_OLD;
        else if (info.dwMajorVersion == 4)
            cls = UTL_OS_NT_4;
        else
            cls = UTL_OS_NT_5;
    }
    *out = cls;
    return 1;
}

int UTL_GetOsFieldClass(int *out)
{
    int cls = 0;
    if (!out || UTL_GetOsVersionClass(&cls) != 1)
        return -1;
    if (cls == UTL_OS_9X_OLD || cls == UTL_OS_9X_40 || cls == UTL_OS_NT_OLD || cls == UTL_OS_NT_4)
        return 0;
    *out = UTL_OS_FIELD_VALUE;
    return 1;
}

BOOL UTL_IsAtLeastVersion(DWORD major, DWORD minor)
{
    OSVERSIONINFOEXW info{};
    info.dwOSVersionInfoSize = sizeof(info);
    info.dwMajorVersion = major;
    info.dwMinorVersion = minor;
    ULONGLONG mask = VerSetConditionMask(0, VER_MAJORVERSION, VER_GREATER_EQUAL);
    mask = VerSetConditionMask(mask, VER_MINORVERSION, VER_GREATER_EQUAL);
    return VerifyVersionInfoW(&info, VER_MAJORVERSION | VER_MINORVERSION, mask) ? TRUE : FALSE;
}

BOOL UTL_IsXpOrLater(void) { return cachedAtLeast(g_isXpOrLater, 5, 1); }

BOOL UTL_IsVistaOrLater(void) { return cachedAtLeast(g_isVistaOrLater, 6, 0); }

void UTL_ResetVersionCacheForTest(void)
{
    g_isXpOrLater.store(-1);
    g_isVistaOrLater.store(-1);
}

namespace {

constexpr const WCHAR *kWinlogonKey = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon\\";
constexpr const WCHAR *kUnknownUser = u"UnknownUser";

/* Longest user name Windows allows, and its terminator. */
constexpr DWORD kNameChars = UNLEN + 1;

/*
 * The Winlogon default user name into `name` (kNameChars units): false when
 * the key or value cannot be read, or the value is not a non-empty text.
 */
bool readWinlogonName(std::array<WCHAR, kNameChars> &name)
{
    HKEY key = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, kWinlogonKey, 0, KEY_QUERY_VALUE, &key) != ERROR_SUCCESS)
        return false;
    DWORD type = 0;
    DWORD bytes = DWORD((name.size() - 1) * sizeof(WCHAR));
    name.fill(0);
    LONG status = RegQueryValueExW(key, u"DefaultUserName", nullptr, &type, reinterpret_cast<BYTE *>(name.data()),
                                   &bytes);
    RegCloseKey(key);
    /* The last unit stays 0: a value stored without its terminator still ends inside the buffer. */
    return status == ERROR_SUCCESS && (type == REG_SZ || type == REG_EXPAND_SZ) && name[0] != 0;
}

/* Copies `text` to the caller as GetUserNameW would: size in, characters with the terminator out. */
BOOL giveName(const WCHAR *text, LPWSTR buffer, LPDWORD size)
{
    DWORD needed = DWORD(lstrlenW(text)) + 1;
    if (*size < needed) {
        *size = needed;
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    lstrcpynW(buffer, text, int(needed));
    *size = needed;
    return TRUE;
}

} // namespace

BOOL UTL_GetUserName(LPWSTR buffer, LPDWORD size)
{
    if (!buffer || !size) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::array<WCHAR, kNameChars> name{};
    DWORD chars = kNameChars;
    if (GetUserNameW(name.data(), &chars) && lstrcmpiW(name.data(), u"SYSTEM") != 0)
        return giveName(name.data(), buffer, size);
    if (readWinlogonName(name))
        return giveName(name.data(), buffer, size);
    return giveName(kUnknownUser, buffer, size);
}

BOOL UTL_DeleteFile(LPCWSTR path) { return DeleteFileW(path); }

namespace {

/* The machine's current folder: relative paths resolve against C:\ (the platform keeps no other). */
constexpr const WCHAR *kCurrentFolder = u"C:\\";

constexpr const WCHAR *kDefaultPrefix = u"QZP";
constexpr const WCHAR *kLastResortName = u"c:\\qzmrd.tmp";

} // namespace

BOOL UTL_MakeTempFileName(LPWSTR path, LPCWSTR prefix)
{
    if (!path)
        return FALSE;
    if (!prefix)
        prefix = kDefaultPrefix;
    std::array<WCHAR, MAX_PATH + 1> folder{};
    const DWORD size = DWORD(folder.size());
    for (int step = 0; step < 4; ++step) {
        DWORD n = 0;
        switch (step) {
        case 0: n = GetTempPathW(size, folder.data()); break;
        case 1: n = GetWindowsDirectoryW(folder.data(), size); break;
        case 2: n = GetSystemDirectoryW(folder.data(), size); break;
        default: n = DWORD(lstrlenW(lstrcpynW(folder.data(), kCurrentFolder, int(size)))); break;
        }
        if (n == 0 || n >= size)
            continue;
        if (GetTempFileNameW(folder.data(), prefix, 0, path) != 0)
            return TRUE;
    }
    lstrcpynW(path, kLastResortName, MAX_PATH);
    return TRUE;
}

namespace {

ULONGLONG fileTimeValue(const FILETIME &t) { return (ULONGLONG(t.dwHighDateTime) << 32) | t.dwLowDateTime; }

constexpr ULONGLONG kUnitsPerSecond = 10000000ULL;

} // namespace

BOOL UTL_IsFileOlderThan(LPCWSTR path, LONG seconds)
{
    if (!path || seconds < 0)
        return FALSE;
    HANDLE file = CreateFileW(path, 0, FILE_SHARE_READ | FILE_SHARE_WRITE | FILE_SHARE_DELETE, nullptr,
                              OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    if (file == INVALID_HANDLE_VALUE)
        return FALSE;
    FILETIME written{};
    BOOL ok = GetFileTime(file, nullptr, nullptr, &written);
    CloseHandle(file);
    if (!ok)
        return FALSE;
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    ULONGLONG when = fileTimeValue(written);
    ULONGLONG current = fileTimeValue(now);
    if (when >= current)
        return FALSE;
    return current - when >= ULONGLONG(seconds) * kUnitsPerSecond ? TRUE : FALSE;
}
