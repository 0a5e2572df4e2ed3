// The page colour set: its initialisation, which every job's channel
// opening and every recorded page start from, the colours and bitmaps the
// drawing code adds, the merge of two pages, and the colour code.
#include "page_colors.h"

#include <gtest/gtest.h>

#include <vector>

namespace {

TEST(PageColorSet, InitStartsEmptyWithEverySlotWhite)
{
    PageColorSet set{};
    set.count = 7;
    set.colors[0] = 0x123456;
    set.colors[15] = 0;
    ASSERT_EQ(PCS_Init(&set, 1, 15, 1), 0);
    EXPECT_EQ(set.active, 1);
    EXPECT_EQ(set.count, 0u);
    EXPECT_EQ(set.capacity, 15u);
    EXPECT_EQ(set.mode, 1);
    for (LONG c : set.colors)
        EXPECT_EQ(c, 0xFFFFFF);
    ASSERT_EQ(PCS_Init(&set, 0, 0, 0), 0);
    EXPECT_EQ(set.active, 0);
    EXPECT_EQ(set.capacity, 0u);
}

TEST(PageColorSet, CapacityAbove15IsRefusedAndChangesNothing)
{
    PageColorSet set{};
    ASSERT_EQ(PCS_Init(&set, 1, 3, 0), 0);
    set.count = 2;
    EXPECT_EQ(PCS_Init(&set, 1, 16, 0), -1);
    EXPECT_EQ(set.capacity, 3u);
    EXPECT_EQ(set.count, 2u);
    EXPECT_EQ(PCS_Init(nullptr, 1, 3, 0), -1);
}

constexpr LONG kRed = 0xFF0000, kGreen = 0x00FF00, kBlue = 0x0000FF, kBlack = 0, kWhite = 0xFFFFFF;

PageColorSet collecting(WORD capacity, LONG mode = 0)
{
    PageColorSet set{};
    EXPECT_EQ(PCS_Init(&set, 1, capacity, mode), 0);
    return set;
}

TEST(PageColorSet, AddsDistinctColoursUntilOneMoreThanItHolds)
{
    struct Case {
        const char *what;
        WORD capacity;
        LONG mode;
        std::vector<LONG> colors;
        LONG active;
        WORD count;
        std::vector<LONG> slots; /* slots 1.. */
    } cases[] = {
        {"red, green, blue, red again", 3, 0, {kRed, kGreen, kBlue, kRed}, 1, 3, {kRed, kGreen, kBlue}},
        {"a fourth distinct colour", 3, 0, {kRed, kGreen, kBlue, kRed, 0x123456}, 0, 3, {kRed, kGreen, kBlue}},
        {"mode 1: black text on white", 3, 1, {kBlack, kWhite, kBlack, kWhite}, 1, 0, {}},
        {"mode 0: black counts, white never", 3, 0, {kBlack, kWhite, kBlack}, 1, 1, {kBlack}},
        {"capacity 0: the first colour overflows", 0, 0, {kRed}, 0, 0, {}},
        {"colours after the overflow are not seen", 1, 0, {kRed, kGreen, kBlue}, 0, 1, {kRed}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        PageColorSet set = collecting(c.capacity, c.mode);
        for (LONG color : c.colors)
            PCS_AddColor(&set, color);
        EXPECT_EQ(set.active, c.active);
        EXPECT_EQ(set.count, c.count);
        for (size_t i = 0; i < c.slots.size(); i++)
            EXPECT_EQ(set.colors[i + 1], c.slots[i]) << "slot " << i + 1;
        EXPECT_EQ(set.colors[0], kWhite) << "slot 0 is never used";
        EXPECT_EQ(set.colors[c.slots.size() + 1], kWhite);
    }
    PageColorSet idle{};
    ASSERT_EQ(PCS_Init(&idle, 0, 3, 0), 0);
    PCS_AddColor(&idle, kRed);
    EXPECT_EQ(idle.count, 0u) << "a set not asked for collects nothing";
    PCS_AddColor(nullptr, kRed);
}

TEST(PageColorSet, ColourCodeOfAColourPage)
{
    PageColorSet set = collecting(15);
    for (LONG c : {kRed, kGreen, kBlue, 0x111111, 0x222222})
        PCS_AddColor(&set, c);
    EXPECT_EQ(PCS_ColorCode(&set, 2), 0x52);
    EXPECT_EQ(PCS_ColorCode(&set, 1), 1) << "a monochrome page says nothing more";
    PCS_Deactivate(&set);
    EXPECT_EQ(PCS_ColorCode(&set, 2), 2) << "a deactivated set says nothing";
    PCS_AddColor(&set, 0x333333);
    EXPECT_EQ(set.count, 5u) << "nor collects any more";
    PCS_Deactivate(nullptr);
}

TEST(PageColorSet, MergeAddsThePartnersColoursWhileCollecting)
{
    PageColorSet a = collecting(4), b = collecting(4);
    PCS_AddColor(&a, kRed);
    PCS_AddColor(&a, kGreen);
    PCS_AddColor(&b, kGreen);
    PCS_AddColor(&b, kBlue);
    PCS_Merge(&a, &b);
    EXPECT_EQ(a.active, 1);
    EXPECT_EQ(a.count, 3u);
    EXPECT_EQ(a.colors[3], kBlue);
    PCS_AddColor(&b, 0x010101);
    PCS_AddColor(&b, 0x020202);
    PCS_Merge(&a, &b);
    EXPECT_EQ(a.active, 0) << "five distinct colours in a set of four";

    PageColorSet c = collecting(4), full = collecting(1);
    PCS_AddColor(&full, kRed);
    PCS_AddColor(&full, kGreen);
    ASSERT_EQ(full.active, 0);
    PCS_Merge(&c, &full);
    EXPECT_EQ(c.active, 0) << "a partner with more colours than its set holds";
    PageColorSet idle{};
    ASSERT_EQ(PCS_Init(&idle, 0, 4, 0), 0);
    PCS_Merge(&idle, &b);
    EXPECT_EQ(idle.count, 0u);
}

/* A counting palette: entry i is (i, 2i, 3i) with the flag, or grey i without. */
std::vector<BYTE> palette(int entries)
{
    std::vector<BYTE> p;
    for (int i = 0; i < entries; i++)
        p.insert(p.end(), {BYTE(i), BYTE(2 * i), BYTE(3 * i)});
    return p;
}

TEST(PageColorSet, BitmapsOfEachDepth)
{
    const std::vector<BYTE> pal = palette(16);
    struct Case {
        const char *what;
        LONG bits, width, height, colorFlag;
        std::vector<BYTE> pixels;
        std::vector<LONG> expected; /* slots 1.. in order */
    } cases[] = {
        /* 1 bit, 10 pixels a row (2 bytes): entry 0 is black (not counted in mode 1), entry 1 = 0x010203 */
        {"1 bit", 1, 10, 1, 1, {0x00, 0x40}, {0x010203}},
        /* 4 bits, 3 pixels (2 bytes, high nibble first): entries 2, 3, 5 */
        {"4 bits", 4, 3, 1, 1, {0x23, 0x50}, {0x020406, 0x030609, 0x050A0F}},
        /* 8 bits without the colour flag: the palette is one grey byte an entry; bytes 4 and 9 are 2 and 3 */
        {"8 bits grey", 8, 2, 1, 0, {0x04, 0x09}, {0x020202, 0x030303}},
        /* 24 bits: two rows of one pixel */
        {"24 bits", 24, 1, 2, 1, {0x10, 0x20, 0x30, 0xFF, 0xFF, 0xFF}, {0x102030}},
        /* 24 bits grey: one byte a pixel */
        {"24 bits grey", 24, 3, 1, 0, {0x80, 0x80, 0x7F}, {0x808080, 0x7F7F7F}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        PageColorSet set = collecting(15, 1);
        PCS_ScanBitmap(&set, c.pixels.data(), c.width, c.height, c.bits, c.colorFlag, pal.data());
        EXPECT_EQ(set.active, 1);
        ASSERT_EQ(set.count, c.expected.size());
        for (size_t i = 0; i < c.expected.size(); i++)
            EXPECT_EQ(set.colors[i + 1], c.expected[i]);
    }
}

TEST(PageColorSet, OneBitRowsStopOnceBothEntriesWereSeen)
{
    /* a mode-0 set of one: the first row shows both entries, so a third colour would overflow; the rest of each row is not read */
    const BYTE pal[6] = {0x00, 0x00, 0x00, 0xFF, 0x00, 0x00};
    PageColorSet set = collecting(2);
    /* 16 pixels a row, 2 rows: 0x80 shows entry 1 then entry 0 at once */
    const BYTE rows[4] = {0x80, 0x00, 0xFF, 0xFF};
    PCS_ScanBitmap(&set, rows, 16, 2, 1, 1, pal);
    EXPECT_EQ(set.active, 1);
    EXPECT_EQ(set.count, 2u);
    EXPECT_EQ(set.colors[1], 0xFF0000);
    EXPECT_EQ(set.colors[2], 0);

    /* the scan stops as soon as the set overflows: later rows are not read (here they would be past the buffer) */
    PageColorSet small = collecting(1);
    const BYTE wide[3] = {0x10, 0x20, 0x30};
    PCS_ScanBitmap(&small, wide, 3, 1000, 24, 0, nullptr);
    EXPECT_EQ(small.active, 0);

    PageColorSet none = collecting(4);
    PCS_ScanBitmap(&none, wide, 1, 1, 8, 1, nullptr);
    PCS_ScanBitmap(&none, wide, 1, 1, 2, 1, pal);
    PCS_ScanBitmap(&none, wide, 0, 1, 24, 1, nullptr);
    PCS_ScanBitmap(&none, nullptr, 1, 1, 24, 1, nullptr);
    EXPECT_EQ(none.count, 0u) << "no palette, an unknown depth, no pixels: nothing read";
}

} // namespace
