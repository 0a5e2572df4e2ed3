/*
 * Tests of the system utilities: version classes and the cached version
 * checks, the user name with its fallbacks (the Winlogon name for the local
 * system account or a failure, then "UnknownUser"), temporary file names
 * down to the fixed last resort, and file age.
 */
#include "test_res_support.h"

#include <plat/clock.h>
#include <plat/error.h>
#include <plat/file.h>
#include <plat/handle.h>
#include <plat/registry.h>
#include <plat/sysdir.h>
#include <plat/sysinfo.h>
#include <plat/version.h>

#include <array>

namespace {

using res_test::u8;

class UtilSystem : public res_test::MachineTest {};

TEST_F(UtilSystem, VersionClassesByPlatformAndVersion)
{
    struct Case {
        DWORD platform, major, minor;
        int cls;    /* UTL_GetOsVersionClass */
        int field;  /* UTL_GetOsFieldClass answer; out 512 when 1 */
    };
    const Case cases[] = {
        {VER_PLATFORM_WIN32_WINDOWS, 3, 10, 0x100, 0}, {VER_PLATFORM_WIN32_WINDOWS, 4, 0, 0x101, 0},
        {VER_PLATFORM_WIN32_WINDOWS, 4, 10, 0x102, 1}, {VER_PLATFORM_WIN32_WINDOWS, 5, 0, 0x102, 1},
        {VER_PLATFORM_WIN32_NT, 3, 51, 0x200, 0},      {VER_PLATFORM_WIN32_NT, 4, 0, 0x201, 0},
        {VER_PLATFORM_WIN32_NT, 5, 0, 0x202, 1},       {VER_PLATFORM_WIN32_NT, 10, 0, 0x202, 1},
        {VER_PLATFORM_WIN32s, 3, 1, 0x000, 1},
    };
    for (const Case &c : cases) {
        plat::version_set(c.major, c.minor, 0, 0, VER_NT_WORKSTATION, c.platform);
        int cls = -5;
        EXPECT_EQ(UTL_GetOsVersionClass(&cls), 1);
        EXPECT_EQ(cls, c.cls) << c.platform << " " << c.major << "." << c.minor;
        int field = 7;
        EXPECT_EQ(UTL_GetOsFieldClass(&field), c.field);
        EXPECT_EQ(field, c.field ? 512 : 7) << "untouched when 0";
    }
    plat::version_fail(ERROR_ACCESS_DENIED);
    int out = 0;
    EXPECT_EQ(UTL_GetOsVersionClass(&out), -1);
    EXPECT_EQ(UTL_GetOsFieldClass(&out), -1);
    plat::version_fail(0);
    EXPECT_EQ(UTL_GetOsVersionClass(nullptr), -1);
    EXPECT_EQ(UTL_GetOsFieldClass(nullptr), -1);
}

TEST_F(UtilSystem, VersionChecksAreComputedOncePerProcess)
{
    plat::version_set(5, 0, 2195, 0, VER_NT_WORKSTATION);
    EXPECT_TRUE(UTL_IsAtLeastVersion(5, 0));
    EXPECT_FALSE(UTL_IsAtLeastVersion(5, 1));
    EXPECT_FALSE(UTL_IsXpOrLater());
    EXPECT_FALSE(UTL_IsVistaOrLater());
    /* The machine changes; the cached answers stay until reset. */
    plat::version_set(6, 1, 7601, 1, VER_NT_WORKSTATION);
    EXPECT_TRUE(UTL_IsAtLeastVersion(6, 0));
    EXPECT_FALSE(UTL_IsXpOrLater());
    EXPECT_FALSE(UTL_IsVistaOrLater());
    UTL_ResetVersionCacheForTest();
    EXPECT_TRUE(UTL_IsXpOrLater());
    EXPECT_TRUE(UTL_IsVistaOrLater());
    plat::version_set(5, 1, 2600, 3, VER_NT_WORKSTATION);
    UTL_ResetVersionCacheForTest();
    EXPECT_TRUE(UTL_IsXpOrLater());
    EXPECT_FALSE(UTL_IsVistaOrLater());
}

const char16_t *kWinlogon = u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon";

TEST_F(UtilSystem, UserNameFallsBackToWinlogonThenUnknownUser)
{
    enum Winlogon { Seeded, KeyMissing, ValueMissing, NotText };
    struct Case {
        const char16_t *user;  /* null: GetUserNameW fails */
        Winlogon winlogon;
        const char *expect;
    };
    const Case cases[] = {
        {u"alice", Seeded, "alice"},
        {u"SYSTEM", Seeded, "winuser"},
        {u"System", Seeded, "winuser"},
        {u"system", Seeded, "winuser"},
        {u"Systemic", Seeded, "Systemic"},
        {nullptr, Seeded, "winuser"},
        {u"SYSTEM", KeyMissing, "UnknownUser"},
        {u"SYSTEM", ValueMissing, "UnknownUser"},
        {u"SYSTEM", NotText, "UnknownUser"},
        {nullptr, KeyMissing, "UnknownUser"},
    };
    for (const Case &c : cases) {
        plat::machine_reset(root_);
        plat::registry_reset_to_fresh();
        HKEY key = nullptr;
        switch (c.winlogon) {
        case Seeded:
            ASSERT_TRUE(plat::registry_seed_string(HKEY_LOCAL_MACHINE, kWinlogon, u"DefaultUserName", u"winuser"));
            break;
        case KeyMissing:
            ASSERT_EQ(RegDeleteKeyW(HKEY_LOCAL_MACHINE, kWinlogon), ERROR_SUCCESS);
            break;
        case ValueMissing:
            ASSERT_EQ(RegOpenKeyExW(HKEY_LOCAL_MACHINE, kWinlogon, 0, KEY_ALL_ACCESS, &key), ERROR_SUCCESS);
            RegDeleteValueW(key, u"DefaultUserName");
            RegCloseKey(key);
            break;
        case NotText:
            ASSERT_TRUE(plat::registry_seed_dword(HKEY_LOCAL_MACHINE, kWinlogon, u"DefaultUserName", 7));
            break;
        }
        if (c.user)
            plat::sysinfo_set_user_name(c.user);
        else
            plat::sysinfo_set_failure(plat::SysinfoCall::UserName, ERROR_ACCESS_DENIED);

        std::array<WCHAR, 64> name{};
        DWORD size = DWORD(name.size());
        ASSERT_TRUE(UTL_GetUserName(name.data(), &size)) << c.expect;
        EXPECT_EQ(u8(name.data()), c.expect);
        EXPECT_EQ(size, DWORD(std::string(c.expect).size() + 1));
    }
}

TEST_F(UtilSystem, UserNameBufferTooSmall)
{
    plat::sysinfo_set_user_name(u"alice");
    std::array<WCHAR, 8> name{};
    DWORD size = 3;
    SetLastError(0);
    EXPECT_FALSE(UTL_GetUserName(name.data(), &size));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(size, 6u);
    EXPECT_EQ(name[0], 0);
    EXPECT_FALSE(UTL_GetUserName(nullptr, &size));
    EXPECT_FALSE(UTL_GetUserName(name.data(), nullptr));
}

TEST_F(UtilSystem, TempFileNameWalksTheFoldersDownToTheFixedName)
{
    std::array<WCHAR, MAX_PATH> path{};
    std::array<WCHAR, MAX_PATH> folder{};
    ASSERT_GT(GetTempPathW(DWORD(folder.size()), folder.data()), 0u);
    std::u16string temp(folder.data());

    ASSERT_TRUE(UTL_MakeTempFileName(path.data(), nullptr));
    std::u16string made(path.data());
    EXPECT_EQ(made.substr(0, temp.size() + 3), temp + u"QZP");
    EXPECT_NE(GetFileAttributesW(path.data()), INVALID_FILE_ATTRIBUTES) << "the file is created";

    ASSERT_TRUE(UTL_MakeTempFileName(path.data(), u"ab"));
    EXPECT_EQ(std::u16string(path.data()).substr(0, temp.size() + 2), temp + u"ab");

    /* The temporary folder refuses: the Windows folder next, then the system folder, then C:\. */
    plat::sysdir_fail_temp_name(true, temp);
    ASSERT_TRUE(UTL_MakeTempFileName(path.data(), nullptr));
    EXPECT_EQ(std::u16string(path.data()).substr(0, 14), u"C:\\Windows\\QZP");
    plat::sysdir_fail_temp_name(true, u"C:\\Windows");
    ASSERT_TRUE(UTL_MakeTempFileName(path.data(), nullptr));
    EXPECT_EQ(std::u16string(path.data()).substr(0, 23), u"C:\\Windows\\System32\\QZP");
    plat::sysdir_fail_temp_name(true, u"C:\\Windows\\System32");
    ASSERT_TRUE(UTL_MakeTempFileName(path.data(), nullptr));
    EXPECT_EQ(std::u16string(path.data()).substr(0, 6), u"C:\\QZP");

    /* No folder is writable. */
    plat::sysdir_fail_temp_name(true);
    ASSERT_TRUE(UTL_MakeTempFileName(path.data(), nullptr));
    EXPECT_EQ(u8(path.data()), "c:\\qzmrd.tmp");
    EXPECT_FALSE(UTL_MakeTempFileName(nullptr, nullptr));
}

FILETIME fileTimeOf(ULONGLONG v) { return FILETIME{DWORD(v), DWORD(v >> 32)}; }

TEST_F(UtilSystem, FileOlderThanComparesLastWriteWithNow)
{
    SYSTEMTIME noon{2024, 3, 0, 15, 12, 0, 0, 0};
    ASSERT_TRUE(plat::clock_fix(noon, 1000));
    FILETIME now{};
    GetSystemTimeAsFileTime(&now);
    ULONGLONG t = (ULONGLONG(now.dwHighDateTime) << 32) | now.dwLowDateTime;

    std::array<WCHAR, MAX_PATH> folder{};
    ASSERT_GT(GetTempPathW(DWORD(folder.size()), folder.data()), 0u);
    std::u16string file = std::u16string(folder.data()) + u"age.txt";
    const char16_t *path = file.c_str();
    HANDLE h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, CREATE_ALWAYS, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    const ULONGLONG second = 10000000ULL;
    FILETIME written = fileTimeOf(t - 60 * second);
    ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &written));
    CloseHandle(h);

    EXPECT_TRUE(UTL_IsFileOlderThan(path, 0));
    EXPECT_TRUE(UTL_IsFileOlderThan(path, 59));
    EXPECT_TRUE(UTL_IsFileOlderThan(path, 60));
    EXPECT_FALSE(UTL_IsFileOlderThan(path, 61));
    plat::clock_advance(2000);
    EXPECT_TRUE(UTL_IsFileOlderThan(path, 61));

    EXPECT_FALSE(UTL_IsFileOlderThan(u"C:\\missing.txt", 0));
    EXPECT_FALSE(UTL_IsFileOlderThan(nullptr, 0));
    EXPECT_FALSE(UTL_IsFileOlderThan(path, -1));

    /* Written in the future: not older than anything. */
    h = CreateFileW(path, GENERIC_WRITE, 0, nullptr, OPEN_EXISTING, FILE_ATTRIBUTE_NORMAL, nullptr);
    ASSERT_NE(h, INVALID_HANDLE_VALUE);
    written = fileTimeOf(t + 3600 * second);
    ASSERT_TRUE(SetFileTime(h, nullptr, nullptr, &written));
    CloseHandle(h);
    EXPECT_FALSE(UTL_IsFileOlderThan(path, 0));

    EXPECT_TRUE(UTL_DeleteFile(path));
    EXPECT_FALSE(UTL_DeleteFile(path));
}

} // namespace
