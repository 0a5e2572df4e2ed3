/*
 * Tests of the mappings behind the derived settings: 267 -> 325
 * (dma_MapSideValue) and the staple and punch positions 320 -> 326 and
 * 341 -> 344 (dma_MapStaplePunchPosition), every code against every kind of
 * orientation and 295 pair, written out by hand.
 */
#include "dm_test_records.h"

#include <gtest/gtest.h>

#include <set>

namespace {

TEST(PositionMap, SideValues)
{
    const WORD expected[] = {0, 3, 4, 3, 2, 1, 1, 4, 2}; /* for 0-8 */
    for (WORD v = 0; v < 9; ++v) {
        WORD mapped = 0xFFFF;
        ASSERT_TRUE(dma_MapSideValue(v, &mapped)) << v;
        EXPECT_EQ(mapped, expected[v]) << v;
    }
    for (WORD v : {9, 10, 255, 256, 0xFFFF}) {
        WORD mapped = 0xABCD;
        EXPECT_FALSE(dma_MapSideValue(v, &mapped)) << v;
        EXPECT_EQ(mapped, 0xABCD);
    }
}

struct Pair {
    SHORT orientation;
    WORD side;
};

/* Orientation and 295 on the same side, crossing, and neither. */
const Pair kSame[] = {{1, 1}, {1, 4}, {1, 16}, {2, 2}, {2, 8}, {2, 32}};
const Pair kCross[] = {{1, 2}, {1, 8}, {1, 32}, {2, 1}, {2, 4}, {2, 16}};
const Pair kNeither[] = {{1, 0}, {1, 3}, {1, 64}, {2, 0}, {2, 5}, {0, 1}, {3, 2}, {-1, 4}, {2, 256}};

struct Row {
    WORD code;
    WORD same;
    WORD cross;
    bool anyPair;
};

const Row kStaple[] = {
    {0, 0, 0, true},         {3, 257, 771, false},    {5, 1028, 257, false},  {7, 514, 1028, false},
    {1, 771, 514, false},    {4, 260, 259, false},    {2, 259, 515, false},   {6, 516, 260, false},
    {8, 515, 516, false},    {9, 1542, 1542, true},   {10, 1799, 1799, true}, {11, 2056, 2056, true},
};

const Row kPunch[] = {
    {0, 0, 0, true},      {2, 257, 771, false}, {3, 1028, 257, false},
    {4, 514, 1028, false}, {1, 771, 514, false}, {5, 1542, 1542, true},
};

void CheckColumn(WORD column, const Row *rows, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        const Row &r = rows[i];
        SCOPED_TRACE(testing::Message() << "column " << column << " code " << r.code);
        for (const Pair &p : kSame) {
            WORD mapped = 0xFFFF;
            ASSERT_TRUE(dma_MapStaplePunchPosition(r.code, column, p.orientation, p.side, &mapped));
            EXPECT_EQ(mapped, r.same);
        }
        for (const Pair &p : kCross) {
            WORD mapped = 0xFFFF;
            ASSERT_TRUE(dma_MapStaplePunchPosition(r.code, column, p.orientation, p.side, &mapped));
            EXPECT_EQ(mapped, r.cross);
        }
        for (const Pair &p : kNeither) {
            WORD mapped = 0xFFFF;
            EXPECT_EQ(dma_MapStaplePunchPosition(r.code, column, p.orientation, p.side, &mapped) != FALSE,
                      r.anyPair)
                << p.orientation << "/" << p.side;
            EXPECT_EQ(mapped, r.anyPair ? r.same : 0xFFFF);
        }
    }
}

TEST(PositionMap, StapleColumn) { CheckColumn(DMA_COLUMN_STAPLE, kStaple, std::size(kStaple)); }

TEST(PositionMap, PunchColumn) { CheckColumn(DMA_COLUMN_PUNCH, kPunch, std::size(kPunch)); }

TEST(PositionMap, CodesMissingFromAColumnAreUnmapped)
{
    for (WORD code : {12, 13, 255, 0xFFFF}) {
        WORD mapped = 0xFFFF;
        EXPECT_FALSE(dma_MapStaplePunchPosition(code, DMA_COLUMN_STAPLE, 1, 1, &mapped)) << code;
    }
    for (WORD code : {6, 7, 8, 9, 10, 11, 0xFFFF}) {
        WORD mapped = 0xFFFF;
        EXPECT_FALSE(dma_MapStaplePunchPosition(code, DMA_COLUMN_PUNCH, 1, 1, &mapped)) << code;
        EXPECT_EQ(mapped, 0xFFFF);
    }
}

/*
 * Within one column and one kind of pair no two codes share a result, so a
 * stored position always tells which code was chosen.
 */
TEST(PositionMap, ResultsTellTheCodeBack)
{
    for (auto [column, count] : {std::pair<WORD, WORD>{DMA_COLUMN_STAPLE, 12}, {DMA_COLUMN_PUNCH, 6}}) {
        for (const Pair &p : {kSame[0], kSame[3], kCross[0], kCross[3]}) {
            std::set<WORD> results;
            for (WORD code = 0; code < count; ++code) {
                WORD mapped = 0;
                ASSERT_TRUE(dma_MapStaplePunchPosition(code, column, p.orientation, p.side, &mapped));
                EXPECT_TRUE(results.insert(mapped).second) << column << " code " << code;
            }
        }
    }
}

} // namespace
