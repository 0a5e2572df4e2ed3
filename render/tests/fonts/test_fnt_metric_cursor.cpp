// The width reader over a device font's metrics block: header fields, the
// direct width table, the three tables of the double-byte extension, the
// identifier text, and reads bounded by the limit.
#include "fnt_metric_cursor.h"

#include "font_test_support.h"

#include <gtest/gtest.h>

#include <cstring>

namespace {

using font_test::MetricsBuilder;

/* A block with a width table for 0x20..0x22 and an extension with all three tables. */
struct DoubleByteFont {
    MetricsBuilder b;
    DWORD face, extent, t1, t2, t3;

    DoubleByteFont()
    {
        b.u8(30, 0x21);  /* dfPitchAndFamily: variable pitch, FF_SWISS */
        b.u16(31, 500);  /* dfAvgWidth */
        b.u8(35, 0x20);  /* dfFirstChar */
        b.u8(36, 0x22);  /* dfLastChar */
        face = b.text("Courier");
        b.text("Courier Family");
        b.u32(45, face);
        b.u32(79, b.text("1A2b"));
        extent = b.words({600, 610, 620});
        b.u32(63, extent);
        DWORD array = b.words({501, 502, 503});
        t1 = b.words({2, 0x8140, 0x817E, 1000, 0x8180, 0x81FC, 900});
        t2 = b.words({0, 0, 1, 0x8240, 0x8242, int(array & 0xFFFF), int(array >> 16)});
        t3 = b.words({3, 0x00A5, 550, 0x8145, -1, 0x8260, 777});
        DWORD e = b.append(std::vector<BYTE>(18));
        b.u32(6 + e + 6, t1);
        b.u32(6 + e + 10, t2);
        b.u32(6 + e + 14, t3);
        b.u32(83, e);
    }
};

TEST(FntMetricCursor, OpensTheHeaderFields)
{
    DoubleByteFont f;
    FontMetricCursor c;
    ASSERT_EQ(FNT_OpenMetricTable(f.b.from6(), &c, f.b.limit()), 0);
    EXPECT_TRUE(c.ok);
    EXPECT_EQ(c.block, f.b.from6());
    EXPECT_EQ(c.limit, f.b.limit());
    EXPECT_EQ(c.variablePitch, 1);
    EXPECT_EQ(c.avgWidth, 500);
    EXPECT_EQ(c.firstChar, 0x20);
    EXPECT_EQ(c.lastChar, 0x22);
    EXPECT_EQ(c.faceName, f.face);
    EXPECT_STREQ(reinterpret_cast<const char *>(f.b.from6() + c.faceName), "Courier");
    EXPECT_STREQ(reinterpret_cast<const char *>(f.b.from6() + c.familyName), "Courier Family");
    EXPECT_EQ(c.id, 0x1A2Bu);
    EXPECT_EQ(c.extentTable, f.extent);
    /* Each table's entries start after its count (the range-offset table has four bytes before it). */
    EXPECT_EQ(c.rangeWidths.position, f.t1 + 2);
    EXPECT_EQ(c.rangeWidths.count, 2u);
    EXPECT_EQ(c.rangeOffsets.position, f.t2 + 6);
    EXPECT_EQ(c.rangeOffsets.count, 1u);
    EXPECT_EQ(c.codeWidths.position, f.t3 + 2);
    EXPECT_EQ(c.codeWidths.count, 3u);
}

TEST(FntMetricCursor, WidthsOfSingleAndDoubleByteCodes)
{
    DoubleByteFont f;
    FontMetricCursor c;
    ASSERT_EQ(FNT_OpenMetricTable(f.b.from6(), &c, f.b.limit()), 0);
    const struct {
        WORD code;
        LONG width;
        const char *why;
    } cases[] = {
        {0x20, 600, "first single-byte code"},
        {0x21, 610, "direct table"},
        {0x22, 620, "last single-byte code"},
        {0x23, -1, "after the single-byte range, in no table"},
        {0x1F, -1, "before the single-byte range, in no table"},
        {0x00A5, 550, "sorted code table, first entry"},
        {0x8260, 777, "sorted code table, last entry"},
        {0x8145, 1000, "negative width in the sorted table: the range-width table answers"},
        {0x8140, 1000, "first code of a width range"},
        {0x817E, 1000, "last code of a width range"},
        {0x817F, -1, "between the width ranges"},
        {0x8190, 900, "second width range"},
        {0x8240, 501, "range-offset table, first code"},
        {0x8241, 502, "range-offset table"},
        {0x8242, 503, "range-offset table, last code"},
        {0x8243, -1, "past every table"},
    };
    for (const auto &k : cases)
        EXPECT_EQ(FNT_GetCharWidth(&c, k.code), k.width) << k.why;
    EXPECT_TRUE(c.ok);
}

TEST(FntMetricCursor, FixedPitchAndNoExtension)
{
    MetricsBuilder b;
    b.u8(35, 0x20);
    b.u8(36, 0x7E);
    b.u16(31, 600);
    FontMetricCursor c;
    ASSERT_EQ(FNT_OpenMetricTable(b.from6(), &c, b.limit()), 0);
    EXPECT_TRUE(c.ok);
    EXPECT_EQ(c.variablePitch, 0);
    EXPECT_EQ(c.extentTable, 0u);
    EXPECT_EQ(c.extension, 0u);
    EXPECT_EQ(c.rangeWidths.count + c.rangeOffsets.count + c.codeWidths.count, 0u);
    EXPECT_EQ(c.faceName, 0u);
    EXPECT_EQ(c.id, FNT_NO_FONT_ID);
    EXPECT_EQ(FNT_GetCharWidth(&c, 'A'), -1);    /* in range, but no direct table */
    EXPECT_EQ(FNT_GetCharWidth(&c, 0x8140), -1); /* out of range, no extension */
    EXPECT_TRUE(c.ok);
}

TEST(FntMetricCursor, SortedTableOfOneEntry)
{
    MetricsBuilder b;
    b.u8(35, 0x20);
    b.u8(36, 0x20);
    DWORD t3 = b.words({1, 0x889F, 1000});
    DWORD e = b.append(std::vector<BYTE>(18));
    b.u32(6 + e + 14, t3);
    b.u32(83, e);
    FontMetricCursor c;
    ASSERT_EQ(FNT_OpenMetricTable(b.from6(), &c, b.limit()), 0);
    EXPECT_EQ(FNT_GetCharWidth(&c, 0x889F), 1000);
    EXPECT_EQ(FNT_GetCharWidth(&c, 0x889E), -1);
    EXPECT_EQ(FNT_GetCharWidth(&c, 0x88A0), -1);
    EXPECT_TRUE(c.ok);
}

TEST(FntMetricCursor, ReadsStopAtTheLimit)
{
    MetricsBuilder b;
    b.u8(35, 0x20);
    b.u8(36, 0x22);
    DWORD extent = b.words({600, 610, 620});
    b.u32(63, extent);
    FontMetricCursor c;

    /* Cut one byte short: the last width's two bytes straddle the limit. */
    ASSERT_EQ(FNT_OpenMetricTable(b.from6(), &c, b.limit() - 1), 0);
    EXPECT_TRUE(c.ok);
    EXPECT_EQ(FNT_GetCharWidth(&c, 0x21), 610);
    EXPECT_TRUE(c.ok);
    EXPECT_EQ(FNT_GetCharWidth(&c, 0x22), -1);
    EXPECT_FALSE(c.ok);

    /* A limit inside the header: the fields past it read as 0. */
    ASSERT_EQ(FNT_OpenMetricTable(b.from6(), &c, 30), 0);
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(c.firstChar, 0x20);
    EXPECT_EQ(c.lastChar, 0);
    EXPECT_EQ(c.extentTable, 0u);
    EXPECT_EQ(FNT_GetCharWidth(&c, 0x20), -1);
}

TEST(FntMetricCursor, ExtensionTablesPastTheBlock)
{
    /* Counts larger than the entries present, a width array offset near 4 GiB, an extension past the end. */
    MetricsBuilder b;
    DWORD t1 = b.words({1000, 0x8140, 0x8140, 700});
    DWORD t2 = b.words({0, 0, 2, 0x8240, 0x8242, 0xFFF0, 0xFFFF});
    DWORD t3 = b.words({40000, 0x8145, 300});
    DWORD e = b.append(std::vector<BYTE>(18));
    b.u32(6 + e + 6, t1);
    b.u32(6 + e + 10, t2);
    b.u32(6 + e + 14, t3);
    b.u32(83, e);
    FontMetricCursor c;
    ASSERT_EQ(FNT_OpenMetricTable(b.from6(), &c, b.limit()), 0);
    EXPECT_TRUE(c.ok);
    EXPECT_EQ(c.codeWidths.count, 40000u);
    EXPECT_EQ(FNT_GetCharWidth(&c, 0x8145), -1); /* the binary search lands past the block */
    EXPECT_FALSE(c.ok);

    b.u32(6 + e + 14, 0); /* no sorted table: the width ranges answer */
    ASSERT_EQ(FNT_OpenMetricTable(b.from6(), &c, b.limit()), 0);
    EXPECT_EQ(FNT_GetCharWidth(&c, 0x8140), 700);
    EXPECT_TRUE(c.ok);
    EXPECT_EQ(FNT_GetCharWidth(&c, 0x9000), -1); /* the width range table runs past the block */
    EXPECT_FALSE(c.ok);

    b.u32(6 + e + 6, 0); /* only the range-offset table, whose array lies near 4 GiB */
    ASSERT_EQ(FNT_OpenMetricTable(b.from6(), &c, b.limit()), 0);
    EXPECT_EQ(FNT_GetCharWidth(&c, 0x8242), -1);
    EXPECT_FALSE(c.ok);

    b.u32(83, 0xFFFFFFF8); /* the extension itself past the block */
    ASSERT_EQ(FNT_OpenMetricTable(b.from6(), &c, b.limit()), 0);
    EXPECT_FALSE(c.ok);
    EXPECT_EQ(c.rangeWidths.count + c.rangeOffsets.count + c.codeWidths.count, 0u);
    EXPECT_EQ(FNT_GetCharWidth(&c, 0x8140), -1);
}

TEST(FntMetricCursor, NamesWithoutTerminatorAreNotTaken)
{
    MetricsBuilder b;
    DWORD face = b.append({'A', 'r', 'i', 'a', 'l'}); /* the block ends inside the face name */
    b.u32(45, face);
    FontMetricCursor c;
    ASSERT_EQ(FNT_OpenMetricTable(b.from6(), &c, b.limit()), 0);
    EXPECT_EQ(c.faceName, 0u);
    EXPECT_EQ(c.familyName, 0u);
}

TEST(FntMetricCursor, MissingArguments)
{
    MetricsBuilder b;
    FontMetricCursor c;
    EXPECT_EQ(FNT_OpenMetricTable(nullptr, &c, 10), -1);
    EXPECT_EQ(FNT_OpenMetricTable(b.from6(), nullptr, 10), -1);
    EXPECT_EQ(FNT_GetCharWidth(nullptr, 'A'), -1);
}

TEST(FntMetricCursor, OneReadingOfTheIdentifier)
{
    const struct {
        const char *text;
        DWORD length;
        DWORD id;
    } cases[] = {
        {"1A2B", 5, 0x1A2B},          {"1a2b", 5, 0x1A2B},     {"0", 2, 0},
        {"FFFFFFFE", 9, 0xFFFFFFFE},  {"", 1, FNT_NO_FONT_ID}, {"12G", 4, FNT_NO_FONT_ID},
        {" 12", 4, FNT_NO_FONT_ID},   {"0x12", 5, FNT_NO_FONT_ID}, {"-1", 3, FNT_NO_FONT_ID},
        {"123456789", 10, FNT_NO_FONT_ID}, {"12", 2, FNT_NO_FONT_ID}, /* no terminator inside the length */
    };
    for (const auto &k : cases)
        EXPECT_EQ(FNT_ParseFontId(k.text, k.length), k.id) << '"' << k.text << '"';
}

} // namespace
