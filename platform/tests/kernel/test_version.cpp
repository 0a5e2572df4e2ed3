// Operating-system version: GetVersionExW and its record sizes, the
// configurable version, VerSetConditionMask's bits and VerifyVersionInfoW's
// comparisons.
#include <plat/error.h>
#include <plat/version.h>

#include "test_file_fixture.h"

namespace {

using Version = MachineTest;

TEST_F(Version, DefaultIsWindows10Workstation)
{
    OSVERSIONINFOEXW ex;
    std::memset(&ex, 0xEE, sizeof ex);
    ex.dwOSVersionInfoSize = sizeof ex;
    ASSERT_TRUE(GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&ex)));
    EXPECT_EQ(ex.dwOSVersionInfoSize, 284u);
    EXPECT_EQ(ex.dwMajorVersion, 10u);
    EXPECT_EQ(ex.dwMinorVersion, 0u);
    EXPECT_EQ(ex.dwBuildNumber, 19045u);
    EXPECT_EQ(ex.dwPlatformId, VER_PLATFORM_WIN32_NT);
    EXPECT_EQ(ex.szCSDVersion[0], 0);
    EXPECT_EQ(ex.wServicePackMajor, 0);
    EXPECT_EQ(ex.wServicePackMinor, 0);
    EXPECT_EQ(ex.wProductType, VER_NT_WORKSTATION);
}

TEST_F(Version, BasicRecordLeavesTheExtendedFieldsAlone)
{
    /* 284 bytes of room, but the caller says it is the 276-byte record. */
    OSVERSIONINFOEXW ex;
    std::memset(&ex, 0xEE, sizeof ex);
    ex.dwOSVersionInfoSize = sizeof(OSVERSIONINFOW);
    ASSERT_TRUE(GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&ex)));
    EXPECT_EQ(ex.dwOSVersionInfoSize, 276u);
    EXPECT_EQ(ex.dwMajorVersion, 10u);
    const BYTE *tail = reinterpret_cast<const BYTE *>(&ex) + 276;
    for (int i = 0; i < 8; i++)
        EXPECT_EQ(tail[i], 0xEE) << i;
}

TEST_F(Version, OtherRecordSizesAreRefused)
{
    for (DWORD size : {0u, 20u, 275u, 277u, 283u, 285u, 1000u}) {
        OSVERSIONINFOEXW ex;
        std::memset(&ex, 0xEE, sizeof ex);
        ex.dwOSVersionInfoSize = size;
        SetLastError(0);
        EXPECT_FALSE(GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&ex))) << size;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER)) << size;
        EXPECT_EQ(ex.dwMajorVersion, 0xEEEEEEEEu) << size;
    }
    EXPECT_FALSE(GetVersionExW(nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(Version, ConfiguredVersionAndInjectedFailure)
{
    plat::version_set(5, 1, 2600, 3, VER_NT_WORKSTATION);
    OSVERSIONINFOEXW ex{};
    ex.dwOSVersionInfoSize = sizeof ex;
    ASSERT_TRUE(GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&ex)));
    EXPECT_EQ(ex.dwMajorVersion, 5u);
    EXPECT_EQ(ex.dwMinorVersion, 1u);
    EXPECT_EQ(ex.dwBuildNumber, 2600u);
    EXPECT_EQ(std::u16string(ex.szCSDVersion), u"Service Pack 3");
    EXPECT_EQ(ex.wServicePackMajor, 3);

    plat::version_set(4, 10, 1998, 0, VER_NT_WORKSTATION, VER_PLATFORM_WIN32_WINDOWS);
    ASSERT_TRUE(GetVersionExW(reinterpret_cast<LPOSVERSIONINFOW>(&ex)));
    EXPECT_EQ(ex.dwPlatformId, VER_PLATFORM_WIN32_WINDOWS);
    EXPECT_EQ(ex.szCSDVersion[0], 0);

    plat::version_fail(ERROR_NOT_SUPPORTED);
    OSVERSIONINFOW basic{};
    basic.dwOSVersionInfoSize = sizeof basic;
    EXPECT_FALSE(GetVersionExW(&basic));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_SUPPORTED));
    EXPECT_EQ(basic.dwMajorVersion, 0u);
    plat::version_fail(0);
    EXPECT_TRUE(GetVersionExW(&basic));

    plat::machine_reset(root.string());
    EXPECT_TRUE(GetVersionExW(&basic));
    EXPECT_EQ(basic.dwMajorVersion, 10u) << "machine_reset restores the default";
}

TEST_F(Version, ConditionMaskBits)
{
    /* Three bits per field, at 3 x the field's bit number: major is bit 1, minor bit 0, SP major bit 5. */
    ULONGLONG m = VerSetConditionMask(0, VER_MAJORVERSION, VER_GREATER_EQUAL);
    EXPECT_EQ(m, 0x18u);
    m = VerSetConditionMask(m, VER_MINORVERSION, VER_GREATER_EQUAL);
    EXPECT_EQ(m, 0x1Bu);
    m = VerSetConditionMask(m, VER_SERVICEPACKMAJOR, VER_GREATER_EQUAL);
    EXPECT_EQ(m, 0x1801Bu);
    EXPECT_EQ(VerSetConditionMask(m, VER_MAJORVERSION, VER_LESS), 0x18023u) << "a new condition replaces the old";
    EXPECT_EQ(VerSetConditionMask(m, VER_MAJORVERSION, 0), m);
    EXPECT_EQ(VerSetConditionMask(m, 0, VER_EQUAL), m);
    EXPECT_EQ(VerSetConditionMask(0, VER_PRODUCT_TYPE, VER_EQUAL), 1ull << 21);
    EXPECT_EQ(VerSetConditionMask(0, VER_MAJORVERSION | VER_MINORVERSION, VER_EQUAL), 0x9u);
}

struct VerifyCase {
    const char *what;
    DWORD major, minor;
    WORD sp;
    DWORD type_mask;
    BYTE condition;
    BOOL result;
};

TEST_F(Version, VerifyComparesMajorMinorAndServicePackAsOneNumber)
{
    plat::version_set(5, 1, 2600, 2, VER_NT_WORKSTATION); /* 5.1 SP2 */
    const DWORD MMS = VER_MAJORVERSION | VER_MINORVERSION | VER_SERVICEPACKMAJOR;
    const DWORD MM = VER_MAJORVERSION | VER_MINORVERSION;
    const VerifyCase cases[] = {
        {"at least 5.1", 5, 1, 0, MM, VER_GREATER_EQUAL, TRUE},
        {"at least 5.0 SP3 (minor greater)", 5, 0, 3, MMS, VER_GREATER_EQUAL, TRUE},
        {"at least 5.1 SP2", 5, 1, 2, MMS, VER_GREATER_EQUAL, TRUE},
        {"at least 5.1 SP3", 5, 1, 3, MMS, VER_GREATER_EQUAL, FALSE},
        {"at least 6.0", 6, 0, 0, MM, VER_GREATER_EQUAL, FALSE},
        {"at least 4.9 (major greater)", 4, 9, 0, MM, VER_GREATER_EQUAL, TRUE},
        {"greater than 5.1", 5, 1, 0, MM, VER_GREATER, FALSE},
        {"greater than 5.0", 5, 0, 0, MM, VER_GREATER, TRUE},
        {"equal to 5.1", 5, 1, 0, MM, VER_EQUAL, TRUE},
        {"equal to 5.2", 5, 2, 0, MM, VER_EQUAL, FALSE},
        {"below 6.0", 6, 0, 0, MM, VER_LESS, TRUE},
        {"at most 5.0", 5, 0, 0, MM, VER_LESS_EQUAL, FALSE},
        {"major alone at least 5", 5, 99, 0, VER_MAJORVERSION, VER_GREATER_EQUAL, TRUE},
    };
    for (const auto &c : cases) {
        OSVERSIONINFOEXW want{};
        want.dwOSVersionInfoSize = sizeof want;
        want.dwMajorVersion = c.major;
        want.dwMinorVersion = c.minor;
        want.wServicePackMajor = c.sp;
        ULONGLONG mask = VerSetConditionMask(0, c.type_mask, c.condition);
        SetLastError(0);
        EXPECT_EQ(VerifyVersionInfoW(&want, c.type_mask, mask), c.result) << c.what;
        EXPECT_EQ(GetLastError(), c.result ? DWORD(0) : DWORD(ERROR_OLD_WIN_VERSION)) << c.what;
    }
}

TEST_F(Version, VerifyOtherFields)
{
    OSVERSIONINFOEXW want{};
    want.dwOSVersionInfoSize = sizeof want;
    auto verify = [&](DWORD type, BYTE condition) {
        return VerifyVersionInfoW(&want, type, VerSetConditionMask(0, type, condition));
    };
    want.dwBuildNumber = 19045;
    EXPECT_TRUE(verify(VER_BUILDNUMBER, VER_GREATER_EQUAL));
    want.dwBuildNumber = 19046;
    EXPECT_FALSE(verify(VER_BUILDNUMBER, VER_GREATER_EQUAL));
    EXPECT_TRUE(verify(VER_BUILDNUMBER, VER_LESS));
    want.wProductType = VER_NT_WORKSTATION;
    EXPECT_TRUE(verify(VER_PRODUCT_TYPE, VER_EQUAL));
    want.wProductType = VER_NT_SERVER;
    EXPECT_FALSE(verify(VER_PRODUCT_TYPE, VER_EQUAL));
    want.dwPlatformId = VER_PLATFORM_WIN32_NT;
    EXPECT_TRUE(verify(VER_PLATFORMID, VER_EQUAL));
    want.wSuiteMask = VER_SUITE_SINGLEUSERTS;
    EXPECT_TRUE(verify(VER_SUITENAME, VER_AND));
    want.wSuiteMask = VER_SUITE_SINGLEUSERTS | 0x0001;
    EXPECT_FALSE(verify(VER_SUITENAME, VER_AND));
    EXPECT_TRUE(verify(VER_SUITENAME, VER_OR));

    /* Every field named must hold. */
    want.dwMajorVersion = 6;
    want.dwBuildNumber = 99999;
    ULONGLONG mask = VerSetConditionMask(VerSetConditionMask(0, VER_MAJORVERSION, VER_GREATER_EQUAL),
                                         VER_BUILDNUMBER, VER_GREATER_EQUAL);
    EXPECT_FALSE(VerifyVersionInfoW(&want, VER_MAJORVERSION | VER_BUILDNUMBER, mask));
    want.dwBuildNumber = 100;
    EXPECT_TRUE(VerifyVersionInfoW(&want, VER_MAJORVERSION | VER_BUILDNUMBER, mask));
}

TEST_F(Version, VerifyRefusesMalformedQuestions)
{
    OSVERSIONINFOEXW want{};
    want.dwOSVersionInfoSize = sizeof want;
    ULONGLONG ge = VerSetConditionMask(0, VER_MAJORVERSION, VER_GREATER_EQUAL);
    struct {
        const char *what;
        DWORD type;
        ULONGLONG mask;
    } cases[] = {
        {"no field", 0, ge},
        {"field without a condition", VER_MINORVERSION, ge},
        {"unknown field", VER_MAJORVERSION | 0x100, ge},
        {"suite condition on a number", VER_MAJORVERSION, VerSetConditionMask(0, VER_MAJORVERSION, VER_AND)},
        {"number condition on the suite", VER_SUITENAME, VerSetConditionMask(0, VER_SUITENAME, VER_EQUAL)},
    };
    for (const auto &c : cases) {
        SetLastError(0);
        EXPECT_FALSE(VerifyVersionInfoW(&want, c.type, c.mask)) << c.what;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_BAD_ARGUMENTS)) << c.what;
    }
    EXPECT_FALSE(VerifyVersionInfoW(nullptr, VER_MAJORVERSION, ge));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

} // namespace
