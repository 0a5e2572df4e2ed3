// wsprintfW/wsprintfA, the strsafe routines and wcsftime.
#include "test_text_machine.h"

#include <plat/text.h>

#include <gtest/gtest.h>

#include <cerrno>
#include <string>
#include <vector>

class TextFormat : public TextMachine {};

TEST_F(TextFormat, WsprintfWConversions)
{
    WCHAR buf[1024];
    struct Case {
        std::u16string expect;
        int n;
    };
    auto run = [&](int n) { return Case{std::u16string(buf), n}; };
    const std::vector<std::pair<Case, std::u16string>> cases = {
        {run(wsprintfW(buf, u"%s", u"abc")), u"abc"},
        {run(wsprintfW(buf, u"%ld", LONG(-5))), u"-5"},
        {run(wsprintfW(buf, u"%ld", LONG(INT32_MIN))), u"-2147483648"},
        {run(wsprintfW(buf, u"%lu", DWORD(0xFFFFFFFF))), u"4294967295"},
        {run(wsprintfW(buf, u"%d|%i|%u", -1, 7, DWORD(0xFFFFFFFE))), u"-1|7|4294967294"},
        {run(wsprintfW(buf, u"%08x", DWORD(0xBEEF))), u"0000beef"},
        {run(wsprintfW(buf, u"0x%08X", DWORD(0xBEEF))), u"0x0000BEEF"},
        {run(wsprintfW(buf, u"[%-5s]", u"ab")), u"[ab   ]"},
        {run(wsprintfW(buf, u"[%5s]", u"ab")), u"[   ab]"},
        {run(wsprintfW(buf, u"[%.3s]", u"abcdef")), u"[abc]"},
        {run(wsprintfW(buf, u"[%-6.2s]", u"abcdef")), u"[ab    ]"},
        {run(wsprintfW(buf, u"100%%")), u"100%"},
        {run(wsprintfW(buf, u"%05d", -42)), u"-0042"},
        {run(wsprintfW(buf, u"%-5d|", 42)), u"42   |"},
        {run(wsprintfW(buf, u"%.5d", 42)), u"00042"},
        {run(wsprintfW(buf, u"%#x %#X %#x", 255, 255, 0)), u"0xff 0XFF 0"},
        {run(wsprintfW(buf, u"%hd %hu", 70000, 65537)), u"4464 1"},
        {run(wsprintfW(buf, u"%I64d %I64X", LONGLONG(1) << 40, ULONGLONG(0xFEDCBA9876543210))),
         u"1099511627776 FEDCBA9876543210"},
        {run(wsprintfW(buf, u"%lld", LONGLONG(-1) << 40)), u"-1099511627776"},
        {run(wsprintfW(buf, u"%c%c", int(u'Z'), int(u'\u65e5'))), u"Z\u65e5"},
        {run(wsprintfW(buf, u"%S|%hs|%ls|%ws", "narrow", "h", u"l", u"w")), u"narrow|h|l|w"},
        {run(wsprintfW(buf, u"%s", static_cast<const WCHAR *>(nullptr))), u"(null)"},
        {run(wsprintfW(buf, u"%q%")), u"q"},
        /* Arguments are consumed in order, each at its own width. */
        {run(wsprintfW(buf, u"%ld-%s-%I64u-%d", LONG(7), u"x", ULONGLONG(1) << 33, 9)), u"7-x-8589934592-9"},
        /* Trace lines of the driver. */
        {run(wsprintfW(buf, u"P[%08x] T[%08x] ", DWORD(0x1A2B), DWORD(0xFFFFFFFF))), u"P[00001a2b] T[ffffffff] "},
        {run(wsprintfW(buf, u"[0x%04x] = [%ld]", 0x101, LONG(-3))), u"[0x0101] = [-3]"},
        {run(wsprintfW(buf, u"FunctionID:%d(0x%X)       = %s", 4101, 4101, u"on")), u"FunctionID:4101(0x1005)       = on"},
    };
    for (const auto &[got, expect] : cases) {
        EXPECT_EQ(got.expect, expect);
        EXPECT_EQ(got.n, int(expect.size())) << plat::utf16_to_utf8(expect);
    }
}

TEST_F(TextFormat, WsprintfPointerIsFullWidthUpperHex)
{
    WCHAR buf[1024];
    int n = wsprintfW(buf, u"%p", reinterpret_cast<void *>(uintptr_t(0xABC)));
    std::u16string expect(2 * sizeof(void *) - 3, u'0');
    EXPECT_EQ(std::u16string(buf), expect + u"ABC");
    EXPECT_EQ(n, int(2 * sizeof(void *)));
}

TEST_F(TextFormat, WsprintfCutsAt1023UnitsAndTerminates)
{
    std::u16string long_text(2000, u'x');
    std::vector<WCHAR> buf(1100, 0x7777);
    EXPECT_EQ(wsprintfW(buf.data(), u"%s", long_text.c_str()), 1023);
    EXPECT_EQ(std::u16string(buf.data()), long_text.substr(0, 1023));
    EXPECT_EQ(buf[1023], 0);
    for (size_t i = 1024; i < buf.size(); i++)
        ASSERT_EQ(buf[i], 0x7777) << "unit " << i;

    /* Exactly 1023 units fit whole. */
    EXPECT_EQ(wsprintfW(buf.data(), u"%s", long_text.substr(0, 1023).c_str()), 1023);

    std::vector<char> abuf(1100, 'G');
    std::string narrow(1500, 'n');
    EXPECT_EQ(wsprintfA(abuf.data(), "%s!", narrow.c_str()), 1023);
    EXPECT_EQ(abuf[1023], 0);
    EXPECT_EQ(abuf[1024], 'G');
}

TEST_F(TextFormat, WsprintfANarrowAndWideStrings)
{
    char buf[1024];
    EXPECT_EQ(wsprintfA(buf, "%s=%d", "Copies", 3), 8);
    EXPECT_STREQ(buf, "Copies=3");
    /* A network identifier: a byte below 0x10 gives one digit. */
    wsprintfA(buf, "%08X%04X%04X%X%X", DWORD(0x1234ABCD), 0x0102, 0xBEEF, 0x0A, 0xFF);
    EXPECT_STREQ(buf, "1234ABCD0102BEEFAFF");
    /* %S is wide in the A form and goes through the ANSI code page. */
    wsprintfA(buf, "[%S]", u"caf\u00e9 \u65e5");
    EXPECT_STREQ(buf, "[caf\xE9 ?]");
    EXPECT_EQ(wsprintfA(buf, "%c%C%c", 'a', int(u'\u00e9'), int('\xE8')), 3);
    EXPECT_STREQ(buf, "a\xE9\xE8");

    ASSERT_TRUE(plat::set_ansi_code_page(932));
    wsprintfA(buf, "%S", u"\u65e5\u672c");
    EXPECT_STREQ(buf, "\x93\xFA\x96\x7B");
    /* A precision that would split a double-byte character drops all of it. */
    wsprintfA(buf, "[%.3S]", u"\u65e5\u672c");
    EXPECT_STREQ(buf, "[\x93\xFA]");
    WCHAR wbuf[1024];
    wsprintfW(wbuf, u"[%S][%.3S]", "\x93\xFA\x96\x7B", "\x93\xFA\x96\x7B");
    EXPECT_EQ(std::u16string(wbuf), u"[\u65e5\u672c][\u65e5]");
}

TEST_F(TextFormat, WsprintfNullArguments)
{
    WCHAR buf[4] = {u'x', u'x', u'x', u'x'};
    EXPECT_EQ(wsprintfW(nullptr, u"abc"), 0);
    EXPECT_EQ(wsprintfW(buf, nullptr), 0);
    EXPECT_EQ(buf[0], 0);
}

TEST_F(TextFormat, StringCchRoutinesStayWithinTheirCount)
{
    WCHAR buf[8];
    std::fill(std::begin(buf), std::end(buf), WCHAR(0x7777));
    EXPECT_EQ(StringCchPrintfW(buf, 6, u"%s", u"abcdefgh"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::u16string(buf), u"abcde");
    EXPECT_EQ(buf[6], 0x7777);
    EXPECT_EQ(StringCchPrintfW(buf, 6, u"%d", 12345), S_OK);
    EXPECT_EQ(std::u16string(buf), u"12345");
    EXPECT_EQ(StringCchPrintfW(buf, 0, u"x"), STRSAFE_E_INVALID_PARAMETER);

    EXPECT_EQ(StringCchCopyW(buf, 4, u"abc"), S_OK);
    EXPECT_EQ(StringCchCatW(buf, 6, u"defg"), STRSAFE_E_INSUFFICIENT_BUFFER);
    EXPECT_EQ(std::u16string(buf), u"abcde");
    EXPECT_EQ(StringCchCatW(buf, 5, u"x"), STRSAFE_E_INVALID_PARAMETER); /* no terminator within 5 */
    EXPECT_EQ(StringCchCopyW(buf, 3, nullptr), S_OK);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(StringCchCopyW(nullptr, 3, u"a"), STRSAFE_E_INVALID_PARAMETER);
}

namespace {

struct tm thursday_morning()
{
    struct tm t = {};
    t.tm_year = 2024 - 1900;
    t.tm_mon = 2; /* March */
    t.tm_mday = 7;
    t.tm_hour = 9;
    t.tm_min = 5;
    t.tm_sec = 2;
    t.tm_wday = 4;
    t.tm_yday = 66;
    return t;
}

} // namespace

TEST(TextTime, WcsftimeLogStampAndOtherConversions)
{
    struct tm t = thursday_morning();
    WCHAR buf[64];
    EXPECT_EQ(wcsftime(buf, 64, u"%m-%d-%Y %H:%M:%S ", &t), 20u);
    EXPECT_EQ(std::u16string(buf), u"03-07-2024 09:05:02 ");
    EXPECT_EQ(wcsftime(buf, 64, u"%y %b %a %p %% %B %A %I %j", &t), 37u);
    EXPECT_EQ(std::u16string(buf), u"24 Mar Thu AM % March Thursday 09 067");
    t.tm_hour = 0;
    wcsftime(buf, 64, u"%I%p", &t);
    EXPECT_EQ(std::u16string(buf), u"12AM");
    t.tm_hour = 23;
    wcsftime(buf, 64, u"%I%p", &t);
    EXPECT_EQ(std::u16string(buf), u"11PM");
}

TEST(TextTime, WcsftimeFailsWhenTooSmallOrInvalid)
{
    struct tm t = thursday_morning();
    WCHAR buf[32];
    std::fill(std::begin(buf), std::end(buf), WCHAR(0x7777));
    /* 20 units plus the terminator need 21. */
    EXPECT_EQ(wcsftime(buf, 21, u"%m-%d-%Y %H:%M:%S ", &t), 20u);
    std::fill(std::begin(buf), std::end(buf), WCHAR(0x7777));
    EXPECT_EQ(wcsftime(buf, 20, u"%m-%d-%Y %H:%M:%S ", &t), 0u);
    EXPECT_EQ(buf[0], 0);
    EXPECT_EQ(buf[20], 0x7777);

    errno = 0;
    EXPECT_EQ(wcsftime(buf, 32, u"%Q", &t), 0u);
    EXPECT_EQ(errno, EINVAL);
    t.tm_mon = 12;
    EXPECT_EQ(wcsftime(buf, 32, u"%m", &t), 0u);
    EXPECT_EQ(wcsftime(buf, 32, u"%d", &t), 2u); /* fields not used are not checked */
    EXPECT_EQ(wcsftime(buf, 32, u"%d", nullptr), 0u);
    EXPECT_EQ(wcsftime(buf, 0, u"%d", &t), 0u);
}
