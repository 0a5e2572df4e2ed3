// OS facts: ids, user and computer name with their buffer rules, locale
// data, and the knobs that change or break them.
#include "test_loader_fixture.h"

#include <plat/error.h>
#include <plat/codepage.h>
#include <plat/registry.h>
#include <plat/sysinfo.h>

#include <cstring>
#include <thread>

class Sysinfo : public FreshMachine {};

TEST_F(Sysinfo, IdsAreRealUntilFixed)
{
    EXPECT_EQ(GetCurrentProcessId(), DWORD(::getpid()));
    const DWORD main_tid = GetCurrentThreadId();
    DWORD other_tid = main_tid;
    std::thread([&] { other_tid = GetCurrentThreadId(); }).join();
    EXPECT_NE(other_tid, main_tid);

    plat::sysinfo_fix_ids(0x1234, 0x5678);
    EXPECT_EQ(GetCurrentProcessId(), 0x1234u);
    EXPECT_EQ(GetCurrentThreadId(), 0x5678u);
    std::thread([&] { other_tid = GetCurrentThreadId(); }).join();
    EXPECT_EQ(other_tid, 0x5678u);

    plat::machine_reset((root / "again").string());
    EXPECT_EQ(GetCurrentProcessId(), DWORD(::getpid()));
    EXPECT_EQ(GetCurrentThreadId(), main_tid);
}

struct NameCase {
    DWORD size_in;
    bool null_buffer;
    BOOL ok;
    DWORD size_out;
    DWORD error;
};

TEST_F(Sysinfo, UserNameCountsTheNul)
{
    /* "tarvel" is 6 characters: 7 with the NUL. */
    const NameCase cases[] = {
        {64, false, TRUE, 7, 0},
        {7, false, TRUE, 7, 0},
        {6, false, FALSE, 7, ERROR_INSUFFICIENT_BUFFER},
        {0, true, FALSE, 7, ERROR_INSUFFICIENT_BUFFER},
        {64, true, FALSE, 7, ERROR_INSUFFICIENT_BUFFER},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.size_in);
        WCHAR buf[64];
        std::fill(std::begin(buf), std::end(buf), u'#');
        DWORD size = c.size_in;
        SetLastError(0);
        EXPECT_EQ(GetUserNameW(c.null_buffer ? nullptr : buf, &size), c.ok);
        EXPECT_EQ(size, c.size_out);
        if (c.ok) {
            EXPECT_EQ(std::u16string(buf), u"tarvel");
        } else {
            EXPECT_EQ(GetLastError(), c.error);
        }
        if (!c.ok && !c.null_buffer) {
            EXPECT_EQ(buf[0], u'#');
        }
    }
    SetLastError(0);
    EXPECT_FALSE(GetUserNameW(nullptr, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(Sysinfo, ComputerNameLeavesTheNulOutOfTheCount)
{
    /* "TARVELPC" is 8 characters: 9 with the NUL. */
    const NameCase cases[] = {
        {MAX_COMPUTERNAME_LENGTH + 1, false, TRUE, 8, 0},
        {9, false, TRUE, 8, 0},
        {8, false, FALSE, 9, ERROR_BUFFER_OVERFLOW},
        {0, true, FALSE, 9, ERROR_BUFFER_OVERFLOW},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(c.size_in);
        WCHAR buf[64] = {};
        DWORD size = c.size_in;
        SetLastError(0);
        EXPECT_EQ(GetComputerNameW(c.null_buffer ? nullptr : buf, &size), c.ok);
        EXPECT_EQ(size, c.size_out);
        if (c.ok) {
            EXPECT_EQ(std::u16string(buf), u"TARVELPC");
        } else {
            EXPECT_EQ(GetLastError(), c.error);
        }
    }
}

TEST_F(Sysinfo, NamesAreConfigurableAndCanBeMadeToFail)
{
    plat::sysinfo_set_user_name(u"SYSTEM");
    plat::sysinfo_set_computer_name(u"HOST-2");
    WCHAR buf[32];
    DWORD size = 32;
    ASSERT_TRUE(GetUserNameW(buf, &size));
    EXPECT_EQ(std::u16string(buf), u"SYSTEM");
    size = 32;
    ASSERT_TRUE(GetComputerNameW(buf, &size));
    EXPECT_EQ(std::u16string(buf), u"HOST-2");

    plat::sysinfo_set_failure(plat::SysinfoCall::UserName, ERROR_ACCESS_DENIED);
    plat::sysinfo_set_failure(plat::SysinfoCall::ComputerName, ERROR_NOT_ENOUGH_MEMORY);
    size = 32;
    EXPECT_FALSE(GetUserNameW(buf, &size));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
    EXPECT_FALSE(GetComputerNameW(buf, &size));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
    plat::sysinfo_set_failure(plat::SysinfoCall::UserName, 0);
    EXPECT_TRUE(GetUserNameW(buf, &size));

    /* A reset brings the defaults back and clears injected failures. */
    plat::machine_reset((root / "again").string());
    size = 32;
    ASSERT_TRUE(GetComputerNameW(buf, &size));
    EXPECT_EQ(std::u16string(buf), u"TARVELPC");
    size = 32;
    ASSERT_TRUE(GetUserNameW(buf, &size));
    EXPECT_EQ(std::u16string(buf), u"tarvel");
}

TEST_F(Sysinfo, DefaultLocaleIsUnitedStatesEnglish)
{
    EXPECT_EQ(GetUserDefaultLCID(), 0x0409u);
    EXPECT_EQ(GetSystemDefaultLCID(), 0x0409u);
    EXPECT_EQ(GetUserDefaultLangID(), 0x0409u);
    EXPECT_EQ(GetUserDefaultUILanguage(), 0x0409u);
    ASSERT_TRUE(plat::sysinfo_set_locale(0x0411));
    EXPECT_EQ(GetUserDefaultLCID(), 0x0411u);
    EXPECT_EQ(GetSystemDefaultLCID(), 0x0411u);
    EXPECT_EQ(GetUserDefaultUILanguage(), 0x0411u);
    EXPECT_FALSE(plat::sysinfo_set_locale(0x0123));
    EXPECT_EQ(GetUserDefaultLCID(), 0x0411u);
}

struct LocaleCase {
    LCID lcid;
    LCTYPE type;
    const char16_t *text;
};

TEST_F(Sysinfo, LocaleItemsPerLocale)
{
    const LocaleCase cases[] = {
        {0x0409, LOCALE_ICOUNTRY, u"1"},       {0x0409, LOCALE_IMEASURE, u"1"},
        {0x0409, LOCALE_SDECIMAL, u"."},       {0x0409, LOCALE_IDATE, u"0"},
        {0x0409, LOCALE_SISO639LANGNAME, u"en"}, {0x0409, LOCALE_SISO3166CTRYNAME, u"US"},
        {0x0409, LOCALE_IDEFAULTANSICODEPAGE, u"1252"},
        {0x0809, LOCALE_ICOUNTRY, u"44"},      {0x0809, LOCALE_IMEASURE, u"0"},
        {0x0809, LOCALE_IDATE, u"1"},          {0x0809, LOCALE_SISO3166CTRYNAME, u"GB"},
        {0x0407, LOCALE_SDECIMAL, u","},       {0x0407, LOCALE_ICOUNTRY, u"49"},
        {0x040C, LOCALE_ICOUNTRY, u"33"},      {0x040C, LOCALE_SISO639LANGNAME, u"fr"},
        {0x080A, LOCALE_ICOUNTRY, u"52"},      {0x080A, LOCALE_SISO3166CTRYNAME, u"MX"},
        {0x0411, LOCALE_ICOUNTRY, u"81"},      {0x0411, LOCALE_IDEFAULTANSICODEPAGE, u"932"},
        {0x0411, LOCALE_IDATE, u"2"},          {0x0411, LOCALE_SISO639LANGNAME, u"ja"},
        {0x0804, LOCALE_IDEFAULTANSICODEPAGE, u"936"}, {0x0804, LOCALE_SISO3166CTRYNAME, u"CN"},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << std::hex << c.lcid << " " << c.type);
        const std::u16string want(c.text);
        WCHAR buf[16];
        EXPECT_EQ(GetLocaleInfoW(c.lcid, c.type, buf, 16), int(want.size() + 1));
        EXPECT_EQ(std::u16string(buf), want);
        ASSERT_TRUE(plat::sysinfo_set_locale(c.lcid));
        EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, c.type | LOCALE_NOUSEROVERRIDE, buf, 16), int(want.size() + 1));
        EXPECT_EQ(std::u16string(buf), want);
    }
}

TEST_F(Sysinfo, LocaleInfoBufferRulesAndErrors)
{
    ASSERT_TRUE(plat::sysinfo_set_locale(0x0809));
    WCHAR buf[8] = {u'#', u'#', u'#', u'#'};
    EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_ICOUNTRY, nullptr, 0), 3); /* "44" + NUL */
    SetLastError(0);
    EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_ICOUNTRY, buf, 2), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
    EXPECT_EQ(buf[0], u'#');

    EXPECT_EQ(GetLocaleInfoW(LOCALE_SYSTEM_DEFAULT, LOCALE_ICOUNTRY | LOCALE_RETURN_NUMBER, buf, 2), 2);
    EXPECT_EQ(plat::load<DWORD>(buf), 44u);
    EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_ICOUNTRY | LOCALE_RETURN_NUMBER, buf, 1), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));

    EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_SDECIMAL | LOCALE_RETURN_NUMBER, buf, 8), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_FLAGS));
    EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, 0x9999, buf, 8), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_FLAGS));
    EXPECT_EQ(GetLocaleInfoW(0x0123, LOCALE_ICOUNTRY, buf, 8), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_ICOUNTRY, nullptr, 8), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));

    plat::sysinfo_set_failure(plat::SysinfoCall::LocaleInfo, ERROR_INVALID_PARAMETER);
    EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_ICOUNTRY, buf, 8), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    plat::sysinfo_set_failure(plat::SysinfoCall::LocaleInfo, 0);
    EXPECT_EQ(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_ICOUNTRY, buf, 8), 3);
}

TEST_F(Sysinfo, LocaleCarriesItsAnsiCodePage)
{
    ASSERT_TRUE(plat::sysinfo_set_locale(0x0411));
    EXPECT_EQ(GetACP(), 932u);
    WCHAR buf[8];
    ASSERT_GT(GetLocaleInfoW(LOCALE_USER_DEFAULT, LOCALE_IDEFAULTANSICODEPAGE, buf, 8), 0);
    EXPECT_EQ(std::u16string(buf), u"932");
    ASSERT_TRUE(plat::sysinfo_set_locale(0x0409));
    EXPECT_EQ(GetACP(), 1252u);
}

TEST_F(Sysinfo, UserNameOwnsTheCurrentUserTree)
{
    plat::sysinfo_set_user_name(u"alice");
    EXPECT_EQ(plat::registry_current_user(), u"alice");
}

TEST_F(Sysinfo, NarrowComputerNameAndItsBufferRules)
{
    plat::sysinfo_set_computer_name(u"HOST-2");
    char buf[16];
    DWORD size = sizeof buf;
    ASSERT_TRUE(GetComputerNameA(buf, &size));
    EXPECT_STREQ(buf, "HOST-2");
    EXPECT_EQ(size, 6u);
    size = 6;
    EXPECT_FALSE(GetComputerNameA(buf, &size));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_BUFFER_OVERFLOW));
    EXPECT_EQ(size, 7u);
    EXPECT_FALSE(GetComputerNameA(buf, nullptr));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    plat::sysinfo_set_failure(plat::SysinfoCall::ComputerName, ERROR_ACCESS_DENIED);
    size = sizeof buf;
    EXPECT_FALSE(GetComputerNameA(buf, &size));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_ACCESS_DENIED));
}

TEST_F(Sysinfo, GuidsAreQueuedOrRandomAndCanFail)
{
    const GUID fixed = {0x01020304, 0x0506, 0x0708, {9, 10, 11, 12, 13, 14, 15, 16}};
    plat::sysinfo_queue_guid(fixed);
    GUID a{}, b{};
    ASSERT_EQ(CoCreateGuid(&a), S_OK);
    EXPECT_EQ(std::memcmp(&a, &fixed, sizeof a), 0);
    ASSERT_EQ(CoCreateGuid(&a), S_OK);
    ASSERT_EQ(CoCreateGuid(&b), S_OK);
    EXPECT_NE(std::memcmp(&a, &b, sizeof a), 0);
    EXPECT_EQ(a.Data3 >> 12, 4) << "version 4";
    EXPECT_EQ(CoCreateGuid(nullptr), E_FAIL);
    plat::sysinfo_set_failure(plat::SysinfoCall::Guid, 1);
    GUID c = fixed;
    EXPECT_EQ(CoCreateGuid(&c), E_FAIL);
    EXPECT_EQ(std::memcmp(&c, &fixed, sizeof c), 0);
}
