/*
 * Tests of the code-page conversions: the code-page check, double-byte
 * character counting (a kanji is one character of two bytes; a lead byte
 * right before the terminator is one character and never steps over it),
 * byte counts and cuts that never split a character, and the allocating
 * forms.
 */
#include "test_res_support.h"

#include <tarvel/base/util_codepage.h>
#include <tarvel/base/util_text.h>

#include <plat/codepage.h>
#include <plat/memory.h>

#include <array>
#include <cstring>
#include <memory>

namespace {

class UtilCodePage : public res_test::MachineTest {};

/* U+6F22 (a kanji) is 8A BF in Shift-JIS; U+00E9 is C3 A9 and U+20AC E2 82 AC in UTF-8. */
const char16_t kKanjiText[] = u"A\u6F22B";

TEST_F(UtilCodePage, ValidCodePageFallsBackToTheAnsiCodePage)
{
    struct Case {
        UINT in;
        UINT out;
    };
    const Case cases[] = {
        {65001, 65001}, {932, 932}, {1252, 1252}, {1251, 1251}, {0, 1252}, {12345, 1252}, {65000, 1252},
    };
    for (const Case &c : cases)
        EXPECT_EQ(UTL_ValidCodePage(c.in), c.out) << c.in;
    ASSERT_TRUE(plat::set_ansi_code_page(932));
    EXPECT_EQ(UTL_ValidCodePage(0), 932u);
    EXPECT_EQ(UTL_ValidCodePage(4242), 932u);
}

TEST_F(UtilCodePage, WideToCodePageCountsOneOrTwoBytesPerCharacter)
{
    /* 932: "A" 1 byte, the kanji 2, "B" 1, and the terminator. */
    EXPECT_EQ(UTL_WideToCodePage(932, kKanjiText, nullptr, 0), 5);
    EXPECT_EQ(UTL_WideToCodePage(932, u"", nullptr, 0), 1);
    EXPECT_EQ(UTL_WideToCodePage(65001, u"\u00E9\u20AC", nullptr, 0), 6);

    std::array<char, 8> out{};
    ASSERT_EQ(UTL_WideToCodePage(932, kKanjiText, out.data(), int(out.size())), 5);
    EXPECT_EQ(std::memcmp(out.data(), "A\x8A\xBF" "B", 5), 0);

    EXPECT_EQ(UTL_WideToCodePage(932, kKanjiText, out.data(), -1), 0);
    EXPECT_EQ(UTL_WideToCodePage(932, kKanjiText, nullptr, 4), 0);
    EXPECT_EQ(UTL_WideToCodePage(932, nullptr, out.data(), 4), 0);
}

TEST_F(UtilCodePage, CutNeverSplitsACharacter)
{
    struct Case {
        UINT codePage;
        const char16_t *text;
        int size;
        const char *expect; /* bytes kept, terminated */
    };
    const Case cases[] = {
        {932, kKanjiText, 3, "A"},               /* the kanji would need bytes 2 and 3 */
        {932, kKanjiText, 4, "A\x8A\xBF"},
        {932, kKanjiText, 1, ""},
        {65001, u"\u00E9\u20AC", 4, "\xC3\xA9"}, /* the euro sign needs three bytes */
        {65001, u"\u00E9\u20AC", 2, ""},
        {1252, u"abcdef", 4, "abc"},
    };
    for (const Case &c : cases) {
        std::array<char, 16> out;
        out.fill('#');
        int full = UTL_WideToCodePage(c.codePage, c.text, nullptr, 0);
        EXPECT_EQ(UTL_WideToCodePage(c.codePage, c.text, out.data(), c.size), full) << "still the full count";
        EXPECT_STREQ(out.data(), c.expect) << c.codePage << " size " << c.size;
        EXPECT_EQ(out[size_t(c.size)], '#') << "nothing past the size";
    }
}

TEST_F(UtilCodePage, CodePageToWideCountsDoubleByteCharacters)
{
    struct Case {
        UINT codePage;
        const char *text;
        int chars;
        const char16_t *wide;
    };
    const Case cases[] = {
        {932, "A\x8A\xBF" "B", 3, u"A\u6F22B"},
        {932, "A\x8A", 2, u"A\uFFFD"},     /* a lead byte right before the terminator */
        {932, "\x8A", 1, u"\uFFFD"},
        {932, "", 0, u""},
        {1252, "A\x8A\xBF", 3, u"A\u0160\u00BF"}, /* no lead bytes in 1252 */
        {65001, "\xC3\xA9", 2, u"\u00E9"},  /* UTF-8 has no lead bytes: bytes are counted */
    };
    for (const Case &c : cases) {
        /* A buffer that ends right behind the text: reading past the terminator would be caught. */
        size_t n = std::strlen(c.text) + 1;
        std::unique_ptr<char[]> exact(new char[n]);
        std::memcpy(exact.get(), c.text, n);
        EXPECT_EQ(UTL_CodePageToWide(c.codePage, nullptr, exact.get(), 0), c.chars) << c.text;
        std::array<WCHAR, 16> out{};
        EXPECT_EQ(UTL_CodePageToWide(c.codePage, out.data(), exact.get(), int(out.size())), c.chars);
        EXPECT_EQ(std::u16string(out.data()), c.wide) << c.codePage;

        int count = -1;
        LPWSTR alloc = UTL_CodePageToWideAlloc(c.codePage, exact.get(), &count);
        ASSERT_NE(alloc, nullptr);
        EXPECT_EQ(count, c.chars);
        EXPECT_EQ(std::u16string(alloc), c.wide);
        GlobalFree(alloc);
    }
}

TEST_F(UtilCodePage, CodePageToWideZeroMeansTheAnsiCodePageAndCapacityCuts)
{
    ASSERT_TRUE(plat::set_ansi_code_page(932));
    std::array<WCHAR, 3> out{};
    out.fill(u'#');
    EXPECT_EQ(UTL_CodePageToWide(0, out.data(), "A\x8A\xBF" "BC", int(out.size())), 4);
    EXPECT_EQ(std::u16string(out.data()), u"A\u6F22");
    EXPECT_EQ(UTL_CodePageToWide(0, nullptr, "abc", 4), 0) << "a capacity without a buffer";
    EXPECT_EQ(UTL_CodePageToWide(0, out.data(), nullptr, 4), 0);
    EXPECT_EQ(UTL_CodePageToWideAlloc(0, nullptr, nullptr), nullptr);
}

TEST_F(UtilCodePage, AllocatingConversions)
{
    LPSTR narrow = nullptr;
    DWORD length = 99;
    ASSERT_TRUE(UTL_WideToMultiByteAlloc(kKanjiText, &narrow, &length, 932));
    EXPECT_EQ(length, 4u);
    EXPECT_STREQ(narrow, "A\x8A\xBF" "B");
    EXPECT_EQ(UTL_GetGlobalSize(narrow), 5u);
    GlobalFree(narrow);

    LPWSTR wide = nullptr;
    DWORD count = 0;
    ASSERT_TRUE(UTL_MultiByteToWideAlloc("A\x8A\xBF" "B", &wide, &count, 932));
    EXPECT_EQ(count, 4u) << "the terminator counts";
    EXPECT_EQ(std::u16string(wide), kKanjiText);
    GlobalFree(wide);

    EXPECT_FALSE(UTL_WideToMultiByteAlloc(nullptr, &narrow, &length, 932));
    EXPECT_EQ(narrow, nullptr);
    EXPECT_FALSE(UTL_MultiByteToWideAlloc("x", nullptr, &count, 932));

    LPSTR cp = UTL_WideToCodePageAlloc(932, kKanjiText);
    ASSERT_NE(cp, nullptr);
    EXPECT_STREQ(cp, "A\x8A\xBF" "B");
    GlobalFree(cp);

    int size = 0;
    LPSTR utf8 = UTL_WideToUtf8Alloc(u"\u00E9\u20AC", &size);
    ASSERT_NE(utf8, nullptr);
    EXPECT_EQ(size, 6);
    EXPECT_STREQ(utf8, "\xC3\xA9\xE2\x82\xAC");
    GlobalFree(utf8);

    /* ANSI 1252 "é€" (E9 80) to UTF-8 through UTF-16. */
    LPSTR fromAnsi = UTL_AnsiToUtf8Alloc("\xE9\x80", &size);
    ASSERT_NE(fromAnsi, nullptr);
    EXPECT_EQ(size, 6);
    EXPECT_STREQ(fromAnsi, "\xC3\xA9\xE2\x82\xAC");
    GlobalFree(fromAnsi);
    EXPECT_EQ(UTL_AnsiToUtf8Alloc(nullptr, &size), nullptr);

    std::array<char, 8> out{};
    EXPECT_EQ(UTL_WideToUtf8(u"ab", out.data(), int(out.size())), 3);
    EXPECT_STREQ(out.data(), "ab");
}

} // namespace
