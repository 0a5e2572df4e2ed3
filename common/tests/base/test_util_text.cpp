/*
 * Tests of the text and number utilities: strict number parsing, the unit
 * conversions with their rounding, two-place splitting, bounded lengths and
 * concatenation, and global block sizes.
 */
#include <tarvel/base/util_text.h>

#include <plat/memory.h>

#include <gtest/gtest.h>

#include <array>

namespace {

TEST(UtilParseNumber, AcceptsDecimalAndPrefixedHexOnly)
{
    struct Case {
        const char16_t *text;
        BOOL ok;
        DWORD value;
    };
    const Case cases[] = {
        {u"0XfF", TRUE, 255},
        {u"0xA0", TRUE, 160},
        {u"007", TRUE, 7},
        {u"0", TRUE, 0},
        {u"4294967295", TRUE, 0xFFFFFFFFu},
        {u"4294967296", TRUE, 0},            /* no overflow check: wraps */
        {u"0x1FFFFFFFF", TRUE, 0xFFFFFFFFu}, /* the high digit falls off */
        {u"0x", FALSE, 0},
        {u"0X", FALSE, 0},
        {u"12a", FALSE, 0},
        {u"-5", FALSE, 0},
        {u"+5", FALSE, 0},
        {u"", FALSE, 0},
        {u" 5", FALSE, 0},
        {u"5 ", FALSE, 0},
        {u"0xG", FALSE, 0},
        {u"x10", FALSE, 0},
        {u"1.5", FALSE, 0},
    };
    for (const Case &c : cases) {
        DWORD out = 0xDEADBEEF;
        BOOL ok = UTL_ParseNumber(c.text, &out);
        EXPECT_EQ(ok, c.ok) << "case " << (&c - cases);
        EXPECT_EQ(out, c.ok ? c.value : 0xDEADBEEFu) << "case " << (&c - cases);
    }
    DWORD out = 1;
    EXPECT_FALSE(UTL_ParseNumber(nullptr, &out));
    EXPECT_FALSE(UTL_ParseNumber(u"12", nullptr));
    EXPECT_EQ(out, 1u);
}

TEST(UtilUnits, ConvertWithHalfAwayFromZeroRounding)
{
    struct Case {
        LONG in;
        LONG toInch;
        LONG toMm;
    };
    /* Worked by hand: 2100 * 1000 / 254 = 8267, (8267 + 5) / 10 = 827;
     * 850 * 254 / 10 = 21590, (21590 + 5) / 10 = 2159; 1 * 1000 / 254 = 3,
     * (3 + 5) / 10 = 0; 2 -> 7 -> 1; 25 * 254 / 10 = 635 -> 64. */
    const Case cases[] = {
        {2100, 827, 5334}, {-2100, -827, -5334}, {850, 335, 2159}, {0, 0, 0},
        {1, 0, 3},         {2, 1, 5},            {-2, -1, -5},     {25, 10, 64},
    };
    for (const Case &c : cases) {
        EXPECT_EQ(UTL_TenthMmToHundredthInch(c.in), c.toInch) << c.in;
        EXPECT_EQ(UTL_HundredthInchToTenthMm(c.in), c.toMm) << c.in;
    }
    /* Extremes neither overflow nor wrap. */
    EXPECT_EQ(UTL_TenthMmToHundredthInch(LONG(-2147483647 - 1)), -845466003);
    EXPECT_EQ(UTL_HundredthInchToTenthMm(2147483647), 2147483647);
    EXPECT_EQ(UTL_HundredthInchToTenthMm(LONG(-2147483647 - 1)), LONG(-2147483647 - 1));
}

TEST(UtilSplitFixed2, WholeAndOneOrTwoFractionDigits)
{
    LONG whole = 0, fraction = 0;
    ASSERT_TRUE(UTL_SplitFixed2(FALSE, 1234, &whole, &fraction));
    EXPECT_EQ(whole, 12);
    EXPECT_EQ(fraction, 34);
    ASSERT_TRUE(UTL_SplitFixed2(TRUE, 1234, &whole, &fraction));
    EXPECT_EQ(whole, 12);
    EXPECT_EQ(fraction, 3);
    ASSERT_TRUE(UTL_SplitFixed2(FALSE, 5, &whole, &fraction));
    EXPECT_EQ(whole, 0);
    EXPECT_EQ(fraction, 5);
    EXPECT_FALSE(UTL_SplitFixed2(FALSE, 1, nullptr, &fraction));
    EXPECT_FALSE(UTL_SplitFixed2(FALSE, 1, &whole, nullptr));
}

TEST(UtilBoundedText, LengthsStopAtTheLimit)
{
    EXPECT_EQ(UTL_WcsNLen(u"abcdef", 4), 4);
    EXPECT_EQ(UTL_WcsNLen(u"ab", 4), 2);
    EXPECT_EQ(UTL_WcsNLen(nullptr, 4), 0);
    EXPECT_EQ(UTL_WcsNLen(u"ab", 0), 0);
    /* Reads no unit past n: the buffer has no terminator at all. */
    const std::array<WCHAR, 3> unterminated{u'x', u'y', u'z'};
    EXPECT_EQ(UTL_WcsNLen(unterminated.data(), 3), 3);
    const std::array<char, 3> bytes{'x', 'y', 'z'};
    EXPECT_EQ(UTL_StrNLen(bytes.data(), 3), 3);
    EXPECT_EQ(UTL_StrNLen("ab", 10), 2);
    EXPECT_EQ(UTL_StrNLen(nullptr, 10), 0);
}

TEST(UtilBoundedText, ConcatenationCutsAndTerminates)
{
    std::array<WCHAR, 8> buf{};
    std::u16string_view(u"abc").copy(buf.data(), 3);
    buf[3] = 0;
    EXPECT_EQ(UTL_WcsNCat(buf.data(), 8, u"de"), 5);
    EXPECT_EQ(std::u16string(buf.data()), u"abcde");
    EXPECT_EQ(UTL_WcsNCat(buf.data(), 8, u"fghij"), 7);
    EXPECT_EQ(std::u16string(buf.data()), u"abcdefg");

    /* No terminator within n: the last unit becomes 0 and nothing fits. */
    std::array<WCHAR, 4> full{u'w', u'x', u'y', u'z'};
    EXPECT_EQ(UTL_WcsNCat(full.data(), 4, u"q"), 3);
    EXPECT_EQ(std::u16string(full.data()), u"wxy");

    EXPECT_EQ(UTL_WcsNCat(nullptr, 4, u"q"), 0);
    EXPECT_EQ(UTL_WcsNCat(full.data(), 0, u"q"), 0);
    EXPECT_EQ(UTL_WcsNCat(full.data(), 4, nullptr), 3);
}

TEST(UtilGlobalSize, AnswersOnlyForGlobalBlocks)
{
    void *fixed = GlobalAlloc(GPTR, 40);
    ASSERT_NE(fixed, nullptr);
    EXPECT_EQ(UTL_GetGlobalSize(fixed), 40u);
    EXPECT_EQ(UTL_GetGlobalSize(static_cast<BYTE *>(fixed) + 4), 0u);
    HGLOBAL moveable = GlobalAlloc(GHND, 12);
    void *locked = GlobalLock(moveable);
    EXPECT_EQ(UTL_GetGlobalSize(locked), 12u);
    GlobalUnlock(moveable);
    int local = 0;
    EXPECT_EQ(UTL_GetGlobalSize(&local), 0u);
    EXPECT_EQ(UTL_GetGlobalSize(nullptr), 0u);
    GlobalFree(moveable);
    GlobalFree(fixed);
}

TEST(UtilWToI, IsTheRuntimeConversion)
{
    EXPECT_EQ(UTL_WToI(u" -42x"), -42);
    EXPECT_EQ(UTL_WToI(u"1037"), 1037);
    EXPECT_EQ(UTL_WToI(nullptr), 0);
}

} // namespace
