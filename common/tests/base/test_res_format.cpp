/*
 * Tests of the message formatter: positional and sequential references,
 * arguments taken in index order, hidden (upper-case) references, "%%",
 * references past the last argument, the capacity rule that leaves out a
 * piece and tries the next, and the piece and reference limits.
 */
#include <tarvel/base/res_format.h>

#include <plat/text.h>

#include <gtest/gtest.h>

#include <array>
#include <string>

namespace {

std::string u8(const std::u16string &s) { return plat::utf16_to_utf8(s); }

/* Formats into a buffer of `capacity` and checks that the answer is the output's length. */
template <typename... Args>
std::u16string format(int capacity, const char16_t *fmt, Args... args)
{
    std::array<WCHAR, 512> out;
    out.fill(u'#');
    int n = RES_FormatMessage(out.data(), capacity, fmt, args...);
    std::u16string text(out.data());
    EXPECT_EQ(size_t(n), text.size()) << u8(text);
    return text;
}

TEST(ResFormat, PositionalAndSequentialReferences)
{
    EXPECT_EQ(format(100, u"%2s copied %1d times", 3, u"a.txt"), u"a.txt copied 3 times");
    EXPECT_EQ(format(100, u"%s and %s", u"x", u"y"), u"x and y");
    EXPECT_EQ(format(100, u"%S%s", u"hidden", u"shown"), u"shown");
    EXPECT_EQ(format(100, u"%d%%", 42), u"42%");
    EXPECT_EQ(format(100, u"100%%"), u"100%");
    EXPECT_EQ(format(100, u"%1s %1D %2S-%2d", u"a", 5, u"b", 7), u"a  -7");
    EXPECT_EQ(format(100, u"%d / %d", -2147483647 - 1, 0), u"-2147483648 / 0");
    EXPECT_EQ(format(100, u"plain text"), u"plain text");
    EXPECT_EQ(format(100, u""), u"");
    EXPECT_EQ(format(100, u"%s!", static_cast<const char16_t *>(nullptr)), u"!");
    /* Not references: a digit without a conversion, a zero, a trailing "%". */
    EXPECT_EQ(format(100, u"%1x %0s 5%", u"unused"), u"%1x %0s 5%");
}

TEST(ResFormat, ReferencesPastTheLastArgumentPrintThemselves)
{
    /* R = 1: index 2 is never taken. */
    EXPECT_EQ(format(100, u"%3s"), u"%3s");
    /* R = 2: index 0 and 1 are taken (number, then string); %9d prints itself. */
    EXPECT_EQ(format(100, u"%1d %9d %2s", 4, u"z"), u"4 %9d z");
    EXPECT_EQ(format(100, u"%5D"), u"%5D");
}

TEST(ResFormat, OneIndexFromTwoPiecesTakesTwoArgumentsAndUsesTheLast)
{
    /* Index 0 is referred to twice: it takes "first" and then "second". */
    EXPECT_EQ(format(100, u"%1s=%1s", u"first", u"second"), u"second=second");
    /* A sequential %s after %1s gets index 1, so both indexes are below R = 2. */
    EXPECT_EQ(format(100, u"%1s,%s", u"a", u"b"), u"a,b");
}

TEST(ResFormat, CapacityLeavesOutWholePiecesAndTriesTheNext)
{
    EXPECT_EQ(format(8, u"abc%sdef", u"XYZW"), u"abcXYZW");
    EXPECT_EQ(format(8, u"abc%sde", u"XYZW"), u"abcXYZW") << "7 + 2 reaches 8";
    EXPECT_EQ(format(5, u"abc%sd", u"XYZW"), u"abcd") << "XYZW left out, d still fits";
    EXPECT_EQ(format(1, u"abc"), u"");
    /* Capacity 0 or below: nothing written, the whole length answered. */
    EXPECT_EQ(RES_FormatMessage(nullptr, 0, u"abc%sdef", u"XYZW"), 10);
    std::array<WCHAR, 4> out{u'#', u'#', u'#', u'#'};
    EXPECT_EQ(RES_FormatMessage(out.data(), 0, u"abc"), 3);
    EXPECT_EQ(out[0], u'#');
    EXPECT_EQ(RES_FormatMessage(out.data(), 4, nullptr), 0);
    EXPECT_EQ(out[0], 0);
    EXPECT_EQ(RES_FormatMessage(nullptr, 4, u"abc"), 0);
}

TEST(ResFormat, AfterNineteenPiecesTheRestIsLiteral)
{
    /* 9 references alternate with 9 literals: 18 pieces; the 10th reference makes 19 ... */
    const char16_t *fmt = u"%da%db%dc%dd%de%df%dg%dh%di%dj%d";
    EXPECT_EQ(format(200, fmt, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10), u"1a2b3c4d5e6f7g8h9i10j%d");
    /* ... and everything after it is one literal piece: "j%d". */
}

TEST(ResFormat, AtMostTenReferences)
{
    const char16_t *fmt = u"%d%d%d%d%d%d%d%d%d%d%d";
    EXPECT_EQ(format(200, fmt, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10), u"12345678910%d");
}

void formatV(LPWSTR out, int capacity, LPCWSTR fmt, ...)
{
    va_list args;
    va_start(args, fmt);
    RES_FormatMessageV(out, capacity, fmt, args);
    va_end(args);
}

TEST(ResFormat, ArgumentListForm)
{
    std::array<WCHAR, 32> out{};
    formatV(out.data(), int(out.size()), u"%2d-%1s", u"one", 2);
    EXPECT_EQ(std::u16string(out.data()), u"2-one");
}

} // namespace
