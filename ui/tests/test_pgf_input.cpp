// The input text rules and number texts of the page framework, as tables:
// the character checks of number and name fields (every rule's refusals,
// double-byte text under code page 932 included), reading and writing
// whole and fixed-point numbers, the byte lists of the rule strings, and
// the ANSI length helpers.  The rule strings are the built resource
// module's (resources/page_framework.trc).
#include "ui_test_support.h"

#include "pgf_input.h"

#include <plat/codepage.h>
#include <plat/memory.h>

#include <climits>

namespace {

using ui_test::UiTest;

class InputRules : public UiTest {
protected:
    void TearDown() override
    {
        plat::set_ansi_code_page(1252);
        UiTest::TearDown();
    }
};

constexpr UINT kNumberSingle[] = {9219, 0};
constexpr UINT kNumberDouble[] = {9233, 0};
constexpr UINT kNameSingle[] = {9901, 0};
constexpr UINT kNameDouble[] = {9902, 0};
constexpr UINT kNameNoSingle[] = {9903, 0};
constexpr UINT kNameNoDouble[] = {9904, 0};
constexpr UINT kEmptyList[] = {9905, 0}; /* "0,0,0,0": a list with no entries */

struct TextCase {
    const char16_t *text;
    DWORD flags;
    LONG decimals;
    BOOL passes;
    const char *why;
};

BOOL checkNumber(const TextCase &c)
{
    return PGF_ValidateInputText(c.text, kNumberSingle, kNumberDouble, nullptr, nullptr, c.flags, c.decimals);
}

BOOL checkName(const TextCase &c)
{
    return PGF_ValidateInputText(c.text, kNameSingle, kNameDouble, kNameNoSingle, kNameNoDouble, c.flags, c.decimals);
}

TEST_F(InputRules, NumberTexts)
{
    const TextCase cases[] = {
        {u"5", 0x21, 0, TRUE, "digits"},
        {u"-5", 0x21, 0, FALSE, "0x20 refuses a leading sign"},
        {u"+5", 0x21, 0, FALSE, "either sign character"},
        {u"-5", 0x11, 0, TRUE, "0x10 accepts and ignores a sign"},
        {u"+5", 0x11, 0, TRUE, "the second sign character"},
        {u"-5", 0x01, 0, FALSE, "a kept sign is not a digit"},
        {u"5-", 0x11, 0, FALSE, "only a leading sign"},
        {u"-", 0x11, 0, FALSE, "a lone sign leaves nothing"},
        {u"abc", 0x21, 0, FALSE, "letters"},
        {u"12 ", 0x21, 0, FALSE, "a blank is not a digit"},
        {u"", 0x21, 0, FALSE, "empty without 0x200"},
        {u"", 0x221, 0, TRUE, "empty with 0x200"},
        {u"1.2", 0x61, 1, TRUE, "one decimal"},
        {u"1.25", 0x61, 1, FALSE, "more decimals than allowed"},
        {u"1.25", 0x261, 1, TRUE, "0x200 accepts extra decimals"},
        {u"1.", 0x61, 1, TRUE, "separator with an empty fraction"},
        {u".", 0x61, 1, FALSE, "a lone separator"},
        {u"1.2.3", 0x261, 1, FALSE, "two separators"},
        {u"1.2", 0x21, 0, FALSE, "no separator without 0x40"},
        {u"-1.5", 0x51, 1, TRUE, "sign and separator"},
    };
    for (const TextCase &c : cases)
        EXPECT_EQ(checkNumber(c), c.passes) << c.why;
}

TEST_F(InputRules, NameTexts)
{
    const TextCase cases[] = {
        {u"Report 1", 0x02, 0, TRUE, "printable ASCII"},
        {u"a/b", 0x02, 0, FALSE, "a forbidden single byte"},
        {u"a|b", 0x02, 0, FALSE, "the last forbidden single byte"},
        {u"tab\there", 0x02, 0, FALSE, "outside the allowed single-byte ranges"},
        {u"caf\u00e9", 0x02, 0, FALSE, "0xE9 outside 20-7E"},
        {u"   ", 0x102, 0, FALSE, "0x100 refuses blanks only"},
        {u"   ", 0x02, 0, TRUE, "blanks only without 0x100"},
        {u" a ", 0x102, 0, TRUE, "blanks around a character"},
        {u"", 0x102, 0, FALSE, "empty without 0x200"},
        {u"", 0x302, 0, TRUE, "empty with 0x200"},
        {u"\u20ac", 0x02, 0, FALSE, "0x80 (euro) outside the ranges"},
        {u"\u0394", 0x02, 0, FALSE, "no exact ANSI form (Greek delta)"},
    };
    for (const TextCase &c : cases)
        EXPECT_EQ(checkName(c), c.passes) << c.why;
}

TEST_F(InputRules, DoubleByteTextUnderCodePage932)
{
    ASSERT_TRUE(plat::set_ansi_code_page(932));
    const TextCase names[] = {
        {u"\u65e5\u672c", 0x02, 0, TRUE, "two kanji (93FA, 967B) inside 8140-9FFC"},
        {u"\u65e5\u672cA1", 0x02, 0, TRUE, "kanji and ASCII mixed"},
        {u"\uff3c", 0x02, 0, FALSE, "the fullwidth backslash 815F is forbidden"},
        {u"\u3000", 0x102, 0, FALSE, "one ideographic space counts as two blanks: blanks only"},
        {u"\u3000 ", 0x102, 0, FALSE, "ideographic and ASCII blanks only"},
        {u"\u3000a", 0x102, 0, TRUE, "a blank and a character"},
        {u"\uff71", 0x02, 0, FALSE, "a halfwidth katakana is the single byte B1, outside 20-7E"},
        {u"\u7e4b", 0x02, 0, TRUE, "E040..EFFC: a kanji of the second range (E14A)"},
        {u"\ue000", 0x02, 0, FALSE, "user-defined F040 is outside both ranges"},
        {u"\u00e9", 0x02, 0, FALSE, "no exact form in code page 932"},
        {u"a/b", 0x02, 0, FALSE, "forbidden single byte under 932 too"},
    };
    for (const TextCase &c : names)
        EXPECT_EQ(checkName(c), c.passes) << c.why;
    const TextCase numbers[] = {
        {u"12", 0x21, 0, TRUE, "ASCII digits"},
        {u"\uff11\uff12", 0x21, 0, FALSE, "fullwidth digits: the empty double-byte list refuses them"},
        {u"1\u65e5", 0x21, 0, FALSE, "a kanji in a number"},
    };
    for (const TextCase &c : numbers)
        EXPECT_EQ(checkNumber(c), c.passes) << c.why;
}

TEST_F(InputRules, EmptyAndAbsentLists)
{
    /* An empty allowed list refuses every character of its kind; an absent one accepts them. */
    EXPECT_FALSE(PGF_ValidateInputText(u"a", kEmptyList, nullptr, nullptr, nullptr, 0x02, 0));
    EXPECT_TRUE(PGF_ValidateInputText(u"\x01", nullptr, nullptr, nullptr, nullptr, 0x02, 0));
    ASSERT_TRUE(plat::set_ansi_code_page(932));
    EXPECT_FALSE(PGF_ValidateInputText(u"\u65e5", nullptr, kEmptyList, nullptr, nullptr, 0x02, 0));
    EXPECT_TRUE(PGF_ValidateInputText(u"\u65e5", nullptr, nullptr, nullptr, nullptr, 0x02, 0));
    EXPECT_FALSE(PGF_ValidateInputText(nullptr, nullptr, nullptr, nullptr, nullptr, 0x202, 0));
}

TEST_F(InputRules, ByteListsOfTheRuleStrings)
{
    LONG count = 0;
    BYTE *list = PGF_LoadByteList(kNumberSingle, &count);
    ASSERT_NE(list, nullptr);
    const BYTE digits[] = {0x30, 0x39, 0, 0, 0, 0};
    ASSERT_GE(count, LONG(sizeof(digits)));
    EXPECT_EQ(std::memcmp(list, digits, sizeof(digits)), 0);
    GlobalFree(list);
    const UINT two[] = {9219, 9901, 0};
    list = PGF_LoadByteList(two, &count);
    ASSERT_NE(list, nullptr);
    const BYTE joined[] = {0x30, 0x39, 0x20, 0x7E, 0, 0, 0, 0};
    EXPECT_EQ(std::memcmp(list, joined, sizeof(joined)), 0);
    GlobalFree(list);
    EXPECT_EQ(PGF_LoadByteList(nullptr, &count), nullptr);

    struct HexCase {
        const char *text;
        LONG values;
        BYTE first, last;
    } hex[] = {
        {"30,39", 2, 0x30, 0x39},
        {"81 , 40", 2, 0x81, 0x40}, /* blanks after a number are skipped */
        {"7E,", 1, 0x7E, 0x7E},     /* a separator that is the last character ends the list */
        {"a,,b", 3, 0x0A, 0x0B},    /* an empty field reads as 0 */
        {"", 1, 0, 0},
        {"0x81,0X40", 2, 0x81, 0x40}, /* a leading "0x" as strtoul takes it */
        {"0x,1", 3, 0x00, 0x01},      /* "0x" without a digit after it: 0, then "x" is the separator */
    };
    for (const HexCase &c : hex) {
        BYTE out[8] = {};
        EXPECT_EQ(PGF_ParseHexBytes(c.text, out), c.values) << c.text;
        EXPECT_EQ(out[0], c.first) << c.text;
        EXPECT_EQ(out[c.values - 1], c.last) << c.text;
    }
}

TEST_F(InputRules, WholeNumbers)
{
    struct Case {
        const char *text;
        BOOL ok;
        LONG value;
    } cases[] = {
        {"0", TRUE, 0},
        {"+12", TRUE, 12},
        {"-2147483648", TRUE, INT_MIN},
        {"4294967295", TRUE, -1}, /* every bit set */
        {"2147483648", TRUE, INT_MIN},
        {"-2147483649", FALSE, 0},
        {"4294967296", FALSE, 0},
        {"+9999999999", FALSE, 0},
        {"12345678901", FALSE, 0},
        {"", FALSE, 0},
        {"-", FALSE, 0},
        {"1a", FALSE, 0},
        {" 1", FALSE, 0},
    };
    for (const Case &c : cases) {
        LONG v = 77;
        EXPECT_EQ(PGF_ParseInt32(c.text, &v), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(v, c.value) << c.text;
        }
    }
}

TEST_F(InputRules, FixedPointNumbers)
{
    struct Case {
        const char *text;
        LONG decimals;
        DWORD flags;
        BOOL ok;
        LONG value;
    } cases[] = {
        {"1.5", 2, 0, TRUE, 150},
        {"-0.25", 2, 0, TRUE, -25},
        {"12", 2, 0, TRUE, 1200},
        {"1.", 1, 0, TRUE, 10},
        {"1.25", 1, 0, FALSE, 0},
        {"1.25", 1, 0x200, TRUE, 12}, /* extra decimals cut */
        {"1.2.3", 1, 0x200, FALSE, 0},
        {"2.7", 1, 0x1000, TRUE, 25}, /* half steps: 6..9 become 5 */
        {"2.3", 1, 0x1000, TRUE, 20}, /* 1..4 drop */
        {"2.5", 1, 0x1000, TRUE, 25},
        {"2.75", 2, 0x1000, TRUE, 255}, /* the first decimal only */
        {"429496729.7", 1, 0, FALSE, 0}, /* beyond 32 bits: refused, not wrapped to 1 */
        {".5", 1, 0, FALSE, 0},
        {"1.-5", 1, 0, FALSE, 0},
    };
    for (const Case &c : cases) {
        LONG v = 77;
        EXPECT_EQ(PGF_ParseFixedPoint(c.text, &v, c.decimals, c.flags), c.ok) << c.text;
        if (c.ok) {
            EXPECT_EQ(v, c.value) << c.text;
        }
    }
}

std::u16string formatted(LONG decimals, BOOL isSigned, DWORD flags, LONG value)
{
    LPWSTR text = nullptr;
    if (!PGF_FormatFixedPoint(&text, decimals, isSigned, flags, value))
        return u"<failed>";
    std::u16string out(text);
    GlobalFree(text);
    return out;
}

TEST_F(InputRules, NumberTextsWritten)
{
    EXPECT_EQ(formatted(1, FALSE, 0x40, 1234), u"123.4");
    EXPECT_EQ(formatted(2, FALSE, 0x40, 5), u"0.05");
    EXPECT_EQ(formatted(2, FALSE, 0x140, 200), u"2");
    EXPECT_EQ(formatted(2, FALSE, 0x140, 150), u"1.50");
    EXPECT_EQ(formatted(2, TRUE, 0x40, -25), u"-0.25");
    EXPECT_EQ(formatted(2, FALSE, 0x40, -25), u"42949672.71"); /* unsigned field: the bits as a magnitude */
    EXPECT_EQ(formatted(2, TRUE, 0x40, INT_MIN), u"-21474836.48");
    EXPECT_EQ(formatted(1, FALSE, 0x00, 5), u"<failed>"); /* flag 0x40 is required */

    LPWSTR text = nullptr;
    ASSERT_TRUE(PGF_FormatValueText(&text, 0, TRUE, 2, -5));
    EXPECT_EQ(std::u16string(text), u"-5");
    GlobalFree(text);
    ASSERT_TRUE(PGF_FormatValueText(&text, 0, FALSE, 4, 100000));
    EXPECT_EQ(std::u16string(text), u"100000");
    GlobalFree(text);
    ASSERT_TRUE(PGF_FormatValueText(&text, 1, FALSE, 2, 123));
    EXPECT_EQ(std::u16string(text), u"12.3");
    GlobalFree(text);
}

TEST_F(InputRules, AnsiLengthsTruncationAndRemoval)
{
    EXPECT_EQ(PGF_AnsiByteLength(u"abc"), 3);
    EXPECT_EQ(PGF_AnsiByteLength(u"\u0394"), -1);
    char16_t cut[] = u"abcdef";
    ASSERT_TRUE(PGF_TruncateAnsi(3, cut));
    EXPECT_EQ(std::u16string(cut), u"abc");
    char16_t dashes[] = u"a-b-c";
    ASSERT_TRUE(PGF_RemoveChars(dashes, u"-"));
    EXPECT_EQ(std::u16string(dashes), u"abc");

    ASSERT_TRUE(plat::set_ansi_code_page(932));
    EXPECT_EQ(PGF_AnsiByteLength(u"\u65e5\u672ca"), 5);
    char16_t kanji[] = u"\u65e5\u672c\u8a9e";
    ASSERT_TRUE(PGF_TruncateAnsi(5, kanji)); /* a third character would make 6 bytes */
    EXPECT_EQ(std::u16string(kanji), u"\u65e5\u672c");
    char16_t mixed[] = u"\u65e5-\u672c";
    ASSERT_TRUE(PGF_RemoveChars(mixed, u"-\u672c")); /* the double-byte character is stepped over */
    EXPECT_EQ(std::u16string(mixed), u"\u65e5\u672c");
    char16_t noForm[] = u"\u00e9";
    EXPECT_FALSE(PGF_TruncateAnsi(1, noForm));
}

} // namespace
