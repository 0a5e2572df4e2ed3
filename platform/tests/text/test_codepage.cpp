// Code pages: the machine's ANSI/OEM code page, lead bytes, and the
// conversions between UTF-16 and 1252, 932, 437 and UTF-8.  Expected bytes
// come from the code pages' published tables.
#include "test_text_machine.h"

#include <plat/codepage.h>
#include <plat/error.h>
#include <plat/text.h>

#include <gtest/gtest.h>

#include <string>
#include <thread>
#include <vector>

namespace {

constexpr char kGuard = char(0xCC);
constexpr WCHAR kWGuard = 0x7777;

/* Converts with a size query first, then into a buffer of exactly that size. */
std::string to_mb(UINT cp, const std::u16string &s, BOOL *used = nullptr, DWORD flags = 0, LPCSTR dflt = nullptr)
{
    int n = WideCharToMultiByte(cp, flags, s.data(), int(s.size()), nullptr, 0, dflt, used);
    EXPECT_GT(n, 0);
    std::string out(size_t(n) + 1, kGuard);
    EXPECT_EQ(WideCharToMultiByte(cp, flags, s.data(), int(s.size()), out.data(), n, dflt, used), n);
    EXPECT_EQ(out[size_t(n)], kGuard);
    out.resize(size_t(n));
    return out;
}

std::u16string to_wide(UINT cp, const std::string &s, DWORD flags = 0)
{
    int n = MultiByteToWideChar(cp, flags, s.data(), int(s.size()), nullptr, 0);
    EXPECT_GT(n, 0);
    std::u16string out(size_t(n) + 1, kWGuard);
    EXPECT_EQ(MultiByteToWideChar(cp, flags, s.data(), int(s.size()), out.data(), n), n);
    EXPECT_EQ(out[size_t(n)], kWGuard);
    out.resize(size_t(n));
    return out;
}

std::string hex(const std::string &s)
{
    std::string h;
    for (unsigned char c : s) {
        char b[4];
        snprintf(b, sizeof b, "%02X ", c);
        h += b;
    }
    return h;
}

} // namespace

class CodePage : public TextMachine {};

TEST_F(CodePage, AnsiCodePageIsAMachineSetting)
{
    EXPECT_EQ(GetACP(), 1252u);
    EXPECT_EQ(GetOEMCP(), 437u);
    EXPECT_TRUE(plat::set_ansi_code_page(932));
    EXPECT_EQ(GetACP(), 932u);
    EXPECT_EQ(GetOEMCP(), 932u);
    EXPECT_EQ(plat::ansi_code_page(), 932u);
    EXPECT_FALSE(plat::set_ansi_code_page(437));   /* an OEM code page */
    EXPECT_FALSE(plat::set_ansi_code_page(CP_UTF8));
    EXPECT_FALSE(plat::set_ansi_code_page(12345));
    EXPECT_EQ(GetACP(), 932u);
    plat::machine_reset((root / "again").string());
    EXPECT_EQ(GetACP(), 1252u);
}

TEST_F(CodePage, GetCPInfo)
{
    CPINFO info;
    ASSERT_TRUE(GetCPInfo(932, &info));
    EXPECT_EQ(info.MaxCharSize, 2u);
    EXPECT_EQ(info.DefaultChar[0], 0x3F);
    EXPECT_EQ(info.DefaultChar[1], 0);
    const BYTE lead932[MAX_LEADBYTES] = {0x81, 0x9F, 0xE0, 0xFC, 0, 0, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(info.LeadByte, lead932, MAX_LEADBYTES), 0);

    ASSERT_TRUE(GetCPInfo(CP_ACP, &info));
    EXPECT_EQ(info.MaxCharSize, 1u);
    EXPECT_EQ(info.DefaultChar[0], 0x3F);
    EXPECT_EQ(info.LeadByte[0], 0);
    ASSERT_TRUE(GetCPInfo(CP_UTF8, &info));
    EXPECT_EQ(info.MaxCharSize, 4u);

    SetLastError(0);
    EXPECT_FALSE(GetCPInfo(12345, &info));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(GetCPInfo(1252, nullptr));
    EXPECT_TRUE(IsValidCodePage(936));
    EXPECT_FALSE(IsValidCodePage(CP_ACP));

    plat::set_ansi_code_page(932);
    ASSERT_TRUE(GetCPInfo(CP_ACP, &info));
    EXPECT_EQ(info.MaxCharSize, 2u);
}

TEST_F(CodePage, LeadBytes)
{
    for (unsigned b = 0; b < 256; b++) {
        bool lead932 = (b >= 0x81 && b <= 0x9F) || (b >= 0xE0 && b <= 0xFC);
        EXPECT_EQ(IsDBCSLeadByteEx(932, BYTE(b)), lead932 ? TRUE : FALSE) << b;
        EXPECT_FALSE(IsDBCSLeadByteEx(1252, BYTE(b))) << b;
        EXPECT_FALSE(IsDBCSLeadByteEx(CP_UTF8, BYTE(b))) << b;
        EXPECT_FALSE(IsDBCSLeadByte(BYTE(b))) << b; /* ANSI is 1252 */
    }
    plat::set_ansi_code_page(932);
    EXPECT_TRUE(IsDBCSLeadByte(0x93));
    EXPECT_FALSE(IsDBCSLeadByte(0xA0));
    SetLastError(0);
    EXPECT_FALSE(IsDBCSLeadByteEx(12345, 0x81));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(CodePage, WideToMultiByteTable)
{
    struct Case {
        UINT cp;
        std::u16string in;
        std::string out;
        bool used_default;
    };
    const Case cases[] = {
        {1252, u"Caf\u00e9 \u20ac\u0152", "Caf\xE9 \x80\x8C", false},
        {1252, u"\u0081\u008d\u008f\u0090\u009d", "\x81\x8D\x8F\x90\x9D", false}, /* undefined bytes */
        {1252, u"a\u65e5b", "a?b", true},
        {1252, u"\u0080", "?", true}, /* U+0080 is not byte 0x80 (that is the euro sign) */
        {1252, u"\xD83D\xDE00", "??", true}, /* each unit of a pair */
        {932, u"\u65e5\u672c", "\x93\xFA\x96\x7B", false},
        {932, u"A\uff71\u30a2", "A\xB1\x83\x41", false}, /* half-width and full-width katakana */
        {932, u"\u00e9", "?", true},
        {CP_OEMCP, u"\u00e9\u2591", "\x82\xB0", false}, /* 437 */
        {437, u"\u20ac", "?", true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.cp) + ": " + plat::utf16_to_utf8(c.in));
        BOOL used = 2;
        EXPECT_EQ(hex(to_mb(c.cp, c.in, &used)), hex(c.out));
        EXPECT_EQ(used, c.used_default ? TRUE : FALSE);
    }
}

TEST_F(CodePage, WideToUtf8)
{
    EXPECT_EQ(hex(to_mb(CP_UTF8, u"\u65e5\u672c")), hex("\xE6\x97\xA5\xE6\x9C\xAC"));
    EXPECT_EQ(hex(to_mb(CP_UTF8, u"A\u00e9\xD83D\xDE00")), hex("A\xC3\xA9\xF0\x9F\x98\x80"));
    EXPECT_EQ(hex(to_mb(CP_UTF8, u"\xD800x\xDC00")), hex("\xEF\xBF\xBDx\xEF\xBF\xBD")); /* lone surrogates */

    std::u16string lone = u"a\xD800";
    SetLastError(0);
    EXPECT_EQ(WideCharToMultiByte(CP_UTF8, WC_ERR_INVALID_CHARS, lone.data(), 2, nullptr, 0, nullptr, nullptr), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_UNICODE_TRANSLATION));
}

TEST_F(CodePage, DefaultCharacterChoices)
{
    BOOL used = FALSE;
    EXPECT_EQ(to_mb(1252, u"x\u65e5", &used, 0, "*#"), "x*");
    EXPECT_TRUE(used);
    plat::set_ansi_code_page(932);
    /* A double-byte default character (full-width question mark). */
    EXPECT_EQ(hex(to_mb(CP_ACP, u"\u00e9", &used, 0, "\x81\x48")), hex("\x81\x48"));
    /* The yen sign has only a one-way mapping to 0x5C; without best fit it is
     * the default character. */
    EXPECT_EQ(hex(to_mb(932, u"\u00a5", &used)), hex("\x5C"));
    EXPECT_FALSE(used);
    EXPECT_EQ(to_mb(932, u"\u00a5\u65e5", &used, WC_NO_BEST_FIT_CHARS), "?\x93\xFA");
    EXPECT_TRUE(used);
}

TEST_F(CodePage, MultiByteToWideTable)
{
    struct Case {
        UINT cp;
        std::string in;
        std::u16string out;
    };
    const Case cases[] = {
        {1252, "\x80\x81\xE9\x9F", u"\u20ac\u0081\u00e9\u0178"},
        {932, "\x93\xFA\x96\x7B", u"\u65e5\u672c"},
        {932, "a\xB1\x83\x41", u"a\uff71\u30a2"},
        {932, "\x5C\x7E", u"\\~"},
        {932, "x\x93", u"x\xFFFD"},           /* lead byte without its trail byte */
        {932, "\x93 a", u"\xFFFD a"},         /* lead byte before a non-trail byte */
        {932, "\x80" "a", u"\xFFFD" u"a"},    /* undefined single byte */
        {437, "\x82\xB0", u"\u00e9\u2591"},
        {CP_UTF8, "\xE6\x97\xA5\xE6\x9C\xAC", u"\u65e5\u672c"},
        {CP_UTF8, "a\xF0\x9F\x98\x80", u"a\xD83D\xDE00"},
        /* Ill-formed UTF-8: one U+FFFD per maximal ill-formed subsequence. */
        {CP_UTF8, "\xC0\xAF", u"\xFFFD\xFFFD"},             /* overlong */
        {CP_UTF8, "\xE6\x97" "a", u"\xFFFD" u"a"},          /* cut sequence */
        {CP_UTF8, "\xED\xA0\x80", u"\xFFFD\xFFFD\xFFFD"},   /* encoded surrogate */
        {CP_UTF8, "\xF4\x90\x80\x80", u"\xFFFD\xFFFD\xFFFD\xFFFD"}, /* above U+10FFFF */
        {CP_UTF8, "\xF7\xBF\xBF\xBF", u"\xFFFD\xFFFD\xFFFD\xFFFD"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.cp) + ": " + hex(c.in));
        EXPECT_EQ(to_wide(c.cp, c.in), c.out);
    }
    /* The platform's own UTF-8 helper decodes the same way. */
    EXPECT_EQ(plat::utf8_to_utf16("\xF7\xBF\xBF\xBF" "\xED\xA0\x80"), std::u16string(7, u'\xFFFD'));
}

TEST_F(CodePage, InvalidSequencesFailWithErrInvalidChars)
{
    const struct {
        UINT cp;
        std::string in;
    } cases[] = {{932, "ab\x93"}, {932, "\x80"}, {CP_UTF8, "\xC3"}, {CP_UTF8, "\xED\xA0\x80"}};
    for (const auto &c : cases) {
        SCOPED_TRACE(hex(c.in));
        WCHAR out[8];
        SetLastError(0);
        EXPECT_EQ(MultiByteToWideChar(c.cp, MB_ERR_INVALID_CHARS, c.in.data(), int(c.in.size()), out, 8), 0);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_NO_UNICODE_TRANSLATION));
    }
    WCHAR out[8];
    EXPECT_EQ(MultiByteToWideChar(932, MB_ERR_INVALID_CHARS, "\x93\xFA", 2, out, 8), 1);
}

TEST_F(CodePage, TerminatedInputCountsTheTerminator)
{
    EXPECT_EQ(WideCharToMultiByte(1252, 0, u"ab", -1, nullptr, 0, nullptr, nullptr), 3);
    char buf[4] = {kGuard, kGuard, kGuard, kGuard};
    EXPECT_EQ(WideCharToMultiByte(1252, 0, u"ab", -1, buf, 4, nullptr, nullptr), 3);
    EXPECT_EQ(std::string(buf, 4), std::string("ab\0", 3) + kGuard);

    EXPECT_EQ(MultiByteToWideChar(932, 0, "\x93\xFA" "a", -1, nullptr, 0), 3);
    WCHAR wbuf[4] = {kWGuard, kWGuard, kWGuard, kWGuard};
    EXPECT_EQ(MultiByteToWideChar(932, 0, "\x93\xFA" "a", -1, wbuf, 4), 3);
    EXPECT_EQ(std::u16string(wbuf, 4), std::u16string(u"\u65e5a\0", 3) + kWGuard);
    /* Counted input converts an embedded NUL like any character. */
    EXPECT_EQ(MultiByteToWideChar(1252, 0, "a\0b", 3, wbuf, 4), 3);
    EXPECT_EQ(wbuf[1], 0);
}

TEST_F(CodePage, ShortBuffersFailWithoutWritingPastTheirSize)
{
    struct Case {
        UINT cp;
        std::u16string in;
        int size;
    };
    const Case cases[] = {
        {932, u"\u65e5\u672c", 3},       /* the second character would be cut */
        {932, u"\u65e5\u672c", 1},
        {1252, u"abcd", 3},
        {CP_UTF8, u"\u65e5\u672c", 5},
        {CP_UTF8, u"a\xD83D\xDE00", 4},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(std::to_string(c.cp) + " size " + std::to_string(c.size));
        std::string buf(16, kGuard);
        SetLastError(0);
        EXPECT_EQ(WideCharToMultiByte(c.cp, 0, c.in.data(), int(c.in.size()), buf.data(), c.size, nullptr, nullptr), 0);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
        for (size_t i = size_t(c.size); i < buf.size(); i++)
            ASSERT_EQ(buf[i], kGuard) << "byte " << i;
    }

    const struct {
        UINT cp;
        std::string in;
        int size;
    } wcases[] = {{932, "\x93\xFA\x96\x7B", 1}, {CP_UTF8, "a\xF0\x9F\x98\x80", 2}, {1252, "abc", 2}};
    for (const auto &c : wcases) {
        SCOPED_TRACE(hex(c.in));
        std::u16string buf(8, kWGuard);
        SetLastError(0);
        EXPECT_EQ(MultiByteToWideChar(c.cp, 0, c.in.data(), int(c.in.size()), buf.data(), c.size), 0);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INSUFFICIENT_BUFFER));
        for (size_t i = size_t(c.size); i < buf.size(); i++)
            ASSERT_EQ(buf[i], kWGuard) << "unit " << i;
    }
}

TEST_F(CodePage, ParameterAndFlagErrors)
{
    static char out[8];
    static WCHAR wout[8];
    static BOOL used;
    struct Case {
        DWORD expect;
        int (*call)();
    };
    const Case cases[] = {
        {ERROR_INVALID_PARAMETER, [] { return WideCharToMultiByte(1252, 0, nullptr, 2, out, 8, nullptr, nullptr); }},
        {ERROR_INVALID_PARAMETER, [] { return WideCharToMultiByte(1252, 0, u"ab", 0, out, 8, nullptr, nullptr); }},
        {ERROR_INVALID_PARAMETER, [] { return WideCharToMultiByte(1252, 0, u"ab", -2, out, 8, nullptr, nullptr); }},
        {ERROR_INVALID_PARAMETER, [] { return WideCharToMultiByte(1252, 0, u"ab", 2, out, -1, nullptr, nullptr); }},
        {ERROR_INVALID_PARAMETER, [] { return WideCharToMultiByte(1252, 0, u"ab", 2, nullptr, 8, nullptr, nullptr); }},
        {ERROR_INVALID_PARAMETER, [] { return WideCharToMultiByte(12345, 0, u"ab", 2, out, 8, nullptr, nullptr); }},
        {ERROR_INVALID_PARAMETER, [] { return WideCharToMultiByte(CP_UTF8, 0, u"ab", 2, out, 8, nullptr, &used); }},
        {ERROR_INVALID_PARAMETER, [] { return WideCharToMultiByte(CP_UTF8, 0, u"ab", 2, out, 8, "?", nullptr); }},
        {ERROR_INVALID_FLAGS,
         [] { return WideCharToMultiByte(CP_UTF8, WC_NO_BEST_FIT_CHARS, u"ab", 2, out, 8, nullptr, nullptr); }},
        {ERROR_INVALID_FLAGS,
         [] { return WideCharToMultiByte(1252, WC_ERR_INVALID_CHARS, u"ab", 2, out, 8, nullptr, nullptr); }},
        {ERROR_INVALID_PARAMETER, [] { return MultiByteToWideChar(1252, 0, nullptr, 2, wout, 8); }},
        {ERROR_INVALID_PARAMETER, [] { return MultiByteToWideChar(1252, 0, "ab", 0, wout, 8); }},
        {ERROR_INVALID_PARAMETER, [] { return MultiByteToWideChar(1252, 0, "ab", 2, nullptr, 8); }},
        {ERROR_INVALID_PARAMETER, [] { return MultiByteToWideChar(1252, 0, "ab", 2, wout, -3); }},
        {ERROR_INVALID_PARAMETER, [] { return MultiByteToWideChar(CP_UTF7, 0, "ab", 2, wout, 8); }},
        {ERROR_INVALID_FLAGS, [] { return MultiByteToWideChar(1252, MB_PRECOMPOSED | MB_COMPOSITE, "ab", 2, wout, 8); }},
        {ERROR_INVALID_FLAGS, [] { return MultiByteToWideChar(1252, 0x100, "ab", 2, wout, 8); }},
        {ERROR_INVALID_FLAGS, [] { return MultiByteToWideChar(CP_UTF8, MB_PRECOMPOSED, "ab", 2, wout, 8); }},
        /* The same memory as input and output. */
        {ERROR_INVALID_PARAMETER,
         [] { return MultiByteToWideChar(1252, 0, out, 2, reinterpret_cast<LPWSTR>(static_cast<void *>(out)), 2); }},
    };
    std::memcpy(out, "ab", 3);
    for (size_t i = 0; i < std::size(cases); i++) {
        SetLastError(0);
        EXPECT_EQ(cases[i].call(), 0) << "case " << i;
        EXPECT_EQ(GetLastError(), cases[i].expect) << "case " << i;
    }
}

TEST_F(CodePage, Every1252ByteSurvivesARoundTrip)
{
    std::string all;
    for (int b = 1; b < 256; b++)
        all += char(b);
    std::u16string wide = to_wide(1252, all);
    ASSERT_EQ(wide.size(), all.size());
    BOOL used = TRUE;
    EXPECT_EQ(to_mb(1252, wide, &used), all);
    EXPECT_FALSE(used);
}

TEST_F(CodePage, AnsiHelpersFollowTheMachineCodePage)
{
    EXPECT_EQ(plat::ansi_to_utf16("caf\xE9"), u"caf\u00e9");
    EXPECT_EQ(plat::utf16_to_ansi(u"\u65e5"), "?");
    EXPECT_EQ(plat::ansi_to_utf16(""), u"");
    plat::set_ansi_code_page(932);
    EXPECT_EQ(plat::utf16_to_ansi(u"\u65e5\u672c"), "\x93\xFA\x96\x7B");
    EXPECT_EQ(plat::ansi_to_utf16("\x93\xFA\x96\x7B"), u"\u65e5\u672c");
}

TEST_F(CodePage, ConversionsRunConcurrently)
{
    std::vector<std::thread> threads;
    std::vector<int> failures(4, 0);
    for (int t = 0; t < 4; t++)
        threads.emplace_back([t, &failures] {
            for (int i = 0; i < 300; i++) {
                char mb[8];
                WCHAR w[4];
                int n = WideCharToMultiByte(932, 0, u"\u65e5\u672c", 2, mb, 8, nullptr, nullptr);
                int m = MultiByteToWideChar(932, 0, "\x93\xFA\x96\x7B", 4, w, 4);
                if (n != 4 || std::memcmp(mb, "\x93\xFA\x96\x7B", 4) != 0 || m != 2 || w[0] != 0x65E5 || w[1] != 0x672C)
                    failures[size_t(t)]++;
            }
        });
    for (auto &th : threads)
        th.join();
    EXPECT_EQ(failures, std::vector<int>(4, 0));
}
