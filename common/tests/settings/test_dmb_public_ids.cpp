/*
 * The binding's public identifier lookups: the first 14 ranges of the map,
 * the own-number rule of data-manager version 20482, and settings with two
 * public identifiers mapping back to the first.
 */
#include <tarvel/settings/dmb_binding.h>

#include <gtest/gtest.h>

namespace {

TEST(DmbPublicIds, PairsFromEveryRangeMapBothWays)
{
    const std::pair<WORD, WORD> pairs[] = {
        {1, 1},       {25, 25},     {289, 1832},  {347, 1831},  {378, 1830},  {434, 1853},  {4097, 448},
        {4129, 482},  {463, 4129},  {512, 1347},  {961, 1348},  {552, 1858},  {571, 1880},  {2305, 2305},
        {826, 4369},  {831, 4371},  {897, 4609},  {1037, 456},  {1113, 5209}, {1281, 8201}, {1674, 8215},
    };
    for (auto [pub, internal] : pairs) {
        WORD out = 0xFFFF;
        EXPECT_EQ(DMB_PublicIdToDmaId(pub, &out, 0), 1) << pub;
        EXPECT_EQ(out, internal) << pub;
        out = 0xFFFF;
        EXPECT_EQ(DMB_DmaIdToPublicId(internal, &out), 1) << internal;
        EXPECT_EQ(out, pub) << internal;
    }
}

TEST(DmbPublicIds, ASettingWithTwoNamesMapsBackToTheFirst)
{
    WORD out = 0;
    EXPECT_EQ(DMB_DmaIdToPublicId(5159, &out), 1);
    EXPECT_EQ(out, 1063);
    EXPECT_EQ(DMB_DmaIdToPublicId(1858, &out), 1);
    EXPECT_EQ(out, 552);
}

TEST(DmbPublicIds, UnmappedAndScrambledNamesAreNotFound)
{
    for (WORD pub : {0, 448, 570, 1282, 1299, 1300, 1440, 36865, 36874, 0xA001}) {
        WORD out = 0xABCD;
        EXPECT_EQ(DMB_PublicIdToDmaId(pub, &out, 0), 0) << pub;
        EXPECT_EQ(out, 0xABCD) << pub;
    }
    WORD out = 0xABCD;
    EXPECT_EQ(DMB_DmaIdToPublicId(1295, &out), 0);
    EXPECT_EQ(out, 0xABCD);
    EXPECT_EQ(DMB_PublicIdToDmaId(1, nullptr, 0), 0);
    EXPECT_EQ(DMB_DmaIdToPublicId(1, nullptr), 0);
}

TEST(DmbPublicIds, Version20482NamesSomeSettingsByTheirOwnNumbers)
{
    struct Case {
        WORD pub;
        DWORD version;
        int found;
        WORD internal;
    };
    const Case cases[] = {
        {1300, 20482, 1, 1300}, {1300, 20481, 0, 0},    {448, 20482, 1, 448},   {448, 0, 0, 0},
        {449, 20482, 1, 449},   {449, 0, 1, 1281},      {450, 20482, 1, 450},   {1281, 20482, 1, 1281},
        {1281, 0, 1, 8201},     {1330, 20482, 1, 1330}, {1330, 0, 1, 5918},     {1331, 20482, 1, 5929},
        {451, 20482, 1, 1283},  {36865, 20482, 0, 0},
    };
    for (const Case &c : cases) {
        WORD out = 0;
        EXPECT_EQ(DMB_PublicIdToDmaId(c.pub, &out, c.version), c.found) << c.pub << " " << c.version;
        if (c.found) {
            EXPECT_EQ(out, c.internal) << c.pub << " " << c.version;
        }
    }
}

} // namespace
