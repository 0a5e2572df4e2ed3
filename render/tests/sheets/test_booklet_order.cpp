// Booklet page arithmetic against sides, sets and pass orders worked out by
// hand from the formulas: which pages share a side and which half each
// takes, with and without a cover, and how documents are cut into sets.
#include "booklet_order.h"

#include <gtest/gtest.h>

#include <utility>
#include <vector>

namespace {

constexpr LONG B = BKL_BLANK;

using Side = std::pair<LONG, LONG>; /* (left half, right half) */

std::vector<Side> sidesOf(LONG a, LONG b, LONG binding, LONG outerFirst, BOOL cover)
{
    std::vector<Side> sides;
    for (LONG s = 0; s < BKL_SideCount(a, b, cover); s++)
        sides.push_back({BKL_PageOnSide(a, b, s, binding, 0, outerFirst, cover),
                         BKL_PageOnSide(a, b, s, binding, 1, outerFirst, cover)});
    return sides;
}

TEST(BookletOrder, SidesOfEachBookletWorkedOutByHand)
{
    /*
     * A cover booklet of 6 pages (a = 0, b = 5): S = 2 x floor(11 / 4) - 1 = 3.  Binding 1, centre first:
     * side 0: q = 0, (even XOR binding 1) = true; position 0 is not 1, so a + S - s - 1 = 2; position 1: a + S + s = 3.
     * side 1: q = 1, (odd XOR true) = false; position 0: a + S + s = 4; position 1: S - s - 1 = 1.
     * side 2 is the last: q = 3, false; position 0: 3 + 2 = 5; position 1: 3 - 2 - 1 = 0 (the front cover on the
     * right, the back cover on the left).  Outer sheet first: q = s + 1 from side 1 on, the same sides reversed.
     */
    struct Case {
        const char *what;
        LONG a, b, binding, outerFirst;
        BOOL cover;
        std::vector<Side> sides;
    } cases[] = {
        {"8 pages, binding 2, centre first", 0, 7, 2, 0, FALSE, {{4, 3}, {2, 5}, {6, 1}, {0, 7}}},
        {"8 pages, binding 1: the halves exchanged", 0, 7, 1, 0, FALSE, {{3, 4}, {5, 2}, {1, 6}, {7, 0}}},
        {"8 pages, outer sheet first", 0, 7, 2, 1, FALSE, {{0, 7}, {6, 1}, {2, 5}, {4, 3}}},
        {"5 pages: 5, 6 and 7 blank", 0, 4, 2, 0, FALSE, {{4, 3}, {2, B}, {B, 1}, {0, B}}},
        {"1 page", 0, 0, 2, 0, FALSE, {{B, B}, {0, B}}},
        {"a later set, pages 8 to 11", 8, 11, 2, 0, FALSE, {{10, 9}, {8, 11}}},
        {"6 pages with a cover, centre first", 0, 5, 1, 0, TRUE, {{2, 3}, {4, 1}, {5, 0}}},
        {"6 pages with a cover, outer sheet first", 0, 5, 1, 1, TRUE, {{5, 0}, {4, 1}, {2, 3}}},
        {"5 pages with a cover: no back cover", 0, 4, 1, 0, TRUE, {{2, 3}, {4, 1}, {B, 0}}},
        {"the cover only counts from page 0", 4, 9, 2, 0, TRUE, {{8, 7}, {6, 9}, {B, 5}, {4, B}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(sidesOf(c.a, c.b, c.binding, c.outerFirst, c.cover), c.sides);
    }
}

TEST(BookletOrder, SideCounts)
{
    EXPECT_EQ(BKL_SideCount(0, 7, FALSE), 4);
    EXPECT_EQ(BKL_SideCount(0, 4, FALSE), 4);
    EXPECT_EQ(BKL_SideCount(0, 3, FALSE), 2);
    EXPECT_EQ(BKL_SideCount(0, 5, TRUE), 3);
    EXPECT_EQ(BKL_SideCount(0, 7, TRUE), 5);
    EXPECT_EQ(BKL_SideCount(4, 4, TRUE), 2) << "no cover after the first page";
    EXPECT_EQ(BKL_SideCount(3, 2, FALSE), 0);
    EXPECT_EQ(BKL_SideCount(-1, 2, FALSE), 0);
    EXPECT_EQ(BKL_PageOnSide(0, 7, 4, 2, 0, 0, FALSE), -1) << "side beyond the set";
    EXPECT_EQ(BKL_PageOnSide(0, 7, 0, 2, 2, 0, FALSE), -1) << "no third half";
    EXPECT_EQ(BKL_PageOnSide(5, 2, 0, 2, 0, 0, FALSE), -1);
}

TEST(BookletOrder, TwoPassSidesBackFacesFirst)
{
    auto pass = [](LONG sides, DWORD p, BOOL ascending) {
        std::vector<LONG> out;
        for (LONG step = 0; step < sides + sides % 2; step++)
            if (LONG s = BKL_TwoPassSide(sides, step, p, ascending); s >= 0)
                out.push_back(s);
        return out;
    };
    EXPECT_EQ(pass(4, 1, FALSE), (std::vector<LONG>{3, 1}));
    EXPECT_EQ(pass(4, 2, FALSE), (std::vector<LONG>{0, 2}));
    EXPECT_EQ(pass(4, 1, TRUE), (std::vector<LONG>{1, 3}));
    EXPECT_EQ(pass(8, 1, FALSE), (std::vector<LONG>{7, 5, 3, 1}));
    EXPECT_EQ(pass(8, 2, FALSE), (std::vector<LONG>{0, 2, 4, 6}));
    /* A cover's odd count: each side once, the missing back face of the cover never written. */
    EXPECT_EQ(pass(3, 1, FALSE), (std::vector<LONG>{1}));
    EXPECT_EQ(pass(3, 2, FALSE), (std::vector<LONG>{0, 2}));
    EXPECT_EQ(BKL_TwoPassSide(4, 0, 3, FALSE), -1);
    EXPECT_EQ(BKL_TwoPassSide(0, 0, 1, FALSE), -1);
}

std::vector<Side> setsOf(const BookletSets &s)
{
    std::vector<Side> sets;
    for (LONG i = 0; i < BKL_SetCount(&s); i++) {
        LONG a = -1, b = -1;
        EXPECT_EQ(BKL_SplitSets(&s, i, &a, &b), 0);
        sets.push_back({a, b});
    }
    return sets;
}

TEST(BookletOrder, SetsOfEachModeWorkedOutByHand)
{
    struct Case {
        const char *what;
        BookletSets sets;
        std::vector<Side> ranges;
    } cases[] = {
        {"whole document", {BKL_SETS_WHOLE, 0, 13, 4, 0}, {{0, 12}}},
        /* 10 sheets, k = 4: 3 sets; 10 / 3 = 3 sheets each, the first 10 mod 3 = 1 one more: 4, 3, 3 sheets */
        {"split, 40 pages, k = 4", {BKL_SETS_SPLIT, 0, 40, 4, 0}, {{0, 15}, {16, 27}, {28, 39}}},
        {"split, 37 pages: the last set cut at the last page",
         {BKL_SETS_SPLIT, 0, 37, 4, 0},
         {{0, 15}, {16, 27}, {28, 36}}},
        {"split, 8 pages fit one set", {BKL_SETS_SPLIT, 0, 8, 4, 0}, {{0, 7}}},
        /* (20 + 8 + 2 - 3) / 8 = 3 sets of 8 pages from page 0 */
        {"fixed, 20 pages, k = 2", {BKL_SETS_FIXED, 0, 20, 2, 0}, {{0, 7}, {8, 15}, {16, 19}}},
        /* (20 + 8 - 3) / 8 = 3 sets; the first has 6 pages, the others start 2 pages earlier */
        {"fixed with a cover", {BKL_SETS_FIXED, 0, 20, 2, 1}, {{0, 5}, {6, 13}, {14, 19}}},
        {"fixed from page 10", {BKL_SETS_FIXED, 10, 8, 1, 0}, {{10, 13}, {14, 17}}},
        {"k = 0 makes one set", {BKL_SETS_FIXED, 0, 9, 0, 0}, {{0, 8}}},
        {"no pages, no set", {BKL_SETS_SPLIT, 0, 0, 4, 0}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(setsOf(c.sets), c.ranges);
    }
    BookletSets s{BKL_SETS_SPLIT, 0, 40, 4, 0};
    LONG a = 0, b = 0;
    EXPECT_EQ(BKL_SplitSets(&s, 3, &a, &b), -1);
    EXPECT_EQ(BKL_SplitSets(&s, -1, &a, &b), -1);
    EXPECT_EQ(BKL_SplitSets(nullptr, 0, &a, &b), -1);
}

TEST(BookletOrder, AFixedSetIsCompleteAtFourPagesASheet)
{
    EXPECT_TRUE(BKL_SetComplete(8, 7, 2, FALSE, TRUE));
    EXPECT_FALSE(BKL_SetComplete(7, 6, 2, FALSE, TRUE));
    EXPECT_TRUE(BKL_SetComplete(6, 5, 2, TRUE, TRUE)) << "the first set of a cover booklet: 4k - 2 pages";
    EXPECT_FALSE(BKL_SetComplete(6, 11, 2, TRUE, FALSE)) << "later sets take 4k pages";
    EXPECT_FALSE(BKL_SetComplete(100, 99, 0, FALSE, TRUE)) << "no sheet count, no set end";
}

} // namespace
