// The page colour set's initialisation, which every job's channel opening
// and every recorded page start from.
#include "pcs_color_set.h"

#include <gtest/gtest.h>

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

} // namespace
