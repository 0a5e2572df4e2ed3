/*
 * The public identifier map: its shape (15 ranges, 1,123 pairs), a table of
 * pairs from every range worked out by hand, every pair forward and back to
 * the first public identifier of its setting, and the gaps.
 */
#include "dma_internal.h"

#include "tarvel/public_id_map.h"

#include <gtest/gtest.h>

#include <map>

namespace {

TEST(PublicIdMap, FifteenRangesOf1123Pairs)
{
    struct Shape {
        WORD low, high, pairs;
    };
    const Shape shapes[] = {
        {1, 25, 25},        {257, 303, 47},     {304, 351, 48},     {352, 399, 48},   {400, 447, 48},
        {4097, 4129, 33},   {449, 512, 64},     {961, 980, 20},     {513, 578, 65},   {2305, 2560, 256},
        {769, 831, 63},     {897, 928, 32},     {1025, 1113, 89},   {1281, 1674, 275}, {36865, 36874, 10},
    };
    size_t total = 0;
    for (size_t r = 0; r < std::size(shapes); ++r) {
        const PublicIdRange &range = PublicIdMap[r];
        ASSERT_NE(range.pairs, nullptr) << r;
        EXPECT_EQ(range.low, shapes[r].low) << r;
        EXPECT_EQ(range.high, shapes[r].high) << r;
        WORD n = 0;
        WORD previous = 0;
        for (const PublicIdPair *p = range.pairs; p->publicId != 0; ++p, ++n) {
            EXPECT_GE(p->publicId, range.low);
            EXPECT_LE(p->publicId, range.high);
            EXPECT_GT(p->publicId, previous);
            previous = p->publicId;
        }
        EXPECT_EQ(n, shapes[r].pairs) << r;
        total += n;
    }
    EXPECT_EQ(PublicIdMap[15].pairs, nullptr);
    EXPECT_EQ(total, 1123u);
}

/* {public, internal}: both ends of every run of the map. */
constexpr std::pair<WORD, WORD> kPairs[] = {
    {1, 1}, {25, 25},
    {257, 257}, {288, 288}, {289, 1832}, {290, 1833}, {291, 291}, {303, 303},
    {304, 304}, {336, 336}, {337, 1829}, {338, 338}, {346, 346}, {347, 1831}, {348, 348}, {351, 351},
    {352, 352}, {377, 377}, {378, 1830}, {379, 379}, {399, 399},
    {400, 400}, {414, 414}, {415, 1834}, {434, 1853}, {435, 435}, {447, 447},
    {4097, 448}, {4104, 455}, {4105, 458}, {4129, 482},
    {449, 1281}, {462, 1294}, {463, 4129}, {464, 1296}, {499, 1331}, {500, 1335}, {512, 1347},
    {961, 1348}, {980, 1367},
    {513, 1793}, {548, 1828}, {549, 1855}, {552, 1858}, {553, 1861}, {568, 1876}, {569, 1878}, {571, 1880},
    {578, 1887},
    {2305, 2305}, {2560, 2560},
    {769, 4097}, {800, 4128}, {801, 4353}, {810, 4362}, {811, 4366}, {812, 4367}, {813, 4130}, {822, 4139},
    {823, 4368}, {824, 4140}, {825, 4141}, {826, 4369}, {827, 4142}, {829, 4144}, {830, 4370}, {831, 4371},
    {897, 4609}, {928, 4640},
    {1025, 5121}, {1026, 1333}, {1027, 5123}, {1028, 1332}, {1029, 4365}, {1030, 5126}, {1031, 5127},
    {1032, 1334}, {1033, 5129}, {1036, 5132}, {1037, 456}, {1038, 5134}, {1042, 5138}, {1043, 1859},
    {1044, 1860}, {1045, 5141}, {1054, 5150}, {1055, 457}, {1056, 5152}, {1057, 5153}, {1058, 4363},
    {1059, 5155}, {1061, 5157}, {1062, 4364}, {1063, 5159}, {1113, 5209},
    {1281, 8201}, {1297, 8202}, {1298, 8203}, {1307, 8204}, {1310, 8207}, {1311, 5889}, {1320, 5898},
    {1321, 5909}, {1330, 5918}, {1331, 5929}, {1340, 5938}, {1341, 6145}, {1415, 6219}, {1416, 6401},
    {1425, 6410}, {1426, 8208}, {1429, 8211}, {1430, 5899}, {1439, 5908}, {1536, 5919}, {1545, 5928},
    {1546, 5939}, {1555, 5948}, {1556, 8212}, {1557, 6220}, {1661, 6324}, {1662, 6411}, {1671, 6420},
    {1672, 8213}, {1674, 8215},
    {36865, 5159}, {36867, 5161}, {36868, 5175}, {36869, 1858}, {36870, 5181}, {36871, 5182}, {36872, 5185},
    {36873, 5208}, {36874, 5209},
};

TEST(PublicIdMap, PairsOfEveryRunMapForward)
{
    for (auto [pub, internal] : kPairs) {
        EXPECT_EQ(dma_PublicIdToDmaId(pub), internal) << pub;
        EXPECT_EQ(PID_ToInternal(pub, PUBLIC_ID_RANGE_COUNT), internal) << pub;
    }
}

TEST(PublicIdMap, SettingsWithTwoPublicIdentifiersMapBackToTheFirst)
{
    const std::pair<WORD, WORD> back[] = {
        {5159, 1063}, {5160, 1064}, {5161, 1065}, {5175, 1079}, {1858, 552},
        {5181, 1085}, {5182, 1086}, {5185, 1089}, {5208, 1112}, {5209, 1113},
    };
    for (auto [internal, pub] : back)
        EXPECT_EQ(dma_DmaIdToPublicId(internal), pub) << internal;
}

TEST(PublicIdMap, EveryPairMapsForwardAndBackToTheFirstPublicIdentifierOfItsSetting)
{
    std::map<WORD, WORD> firstPublic; /* internal -> first public identifier in map order */
    size_t pairs = 0;
    for (const PublicIdRange *r = PublicIdMap; r->pairs != nullptr; ++r)
        for (const PublicIdPair *p = r->pairs; p->publicId != 0; ++p, ++pairs) {
            firstPublic.emplace(p->internalId, p->publicId);
            EXPECT_EQ(dma_PublicIdToDmaId(p->publicId), p->internalId) << p->publicId;
        }
    EXPECT_EQ(pairs, 1123u);
    EXPECT_EQ(firstPublic.size(), 1113u); /* ten settings carry a second name */
    for (auto [internal, pub] : firstPublic)
        EXPECT_EQ(dma_DmaIdToPublicId(internal), pub) << internal;
}

TEST(PublicIdMap, IdentifiersInTheGapsAndOutsideTheRangesAreUnmapped)
{
    for (WORD pub : {0, 26, 256, 448, 570, 579, 1282, 1296, 1299, 1306, 1440, 1535, 1675, 4096, 4130, 36864, 36875,
                     0xA001, 0xA002, 0xFFFF})
        EXPECT_EQ(dma_PublicIdToDmaId(pub), 0) << pub;
    /* Layout items without a public identifier, and identifiers that are no setting. */
    for (WORD internal : {0, 289, 1295, 1332 + 100, 1368, 1854, 1877, 1879, 4160, 5122, 5654, 8216})
        EXPECT_EQ(dma_DmaIdToPublicId(internal), 0) << internal;
}

TEST(PublicIdMap, TheFirstFourteenRangesLeaveOutTheScrambledNames)
{
    EXPECT_EQ(PID_ToInternal(36865, PUBLIC_ID_COMMON_RANGE_COUNT), 0);
    EXPECT_EQ(PID_ToInternal(1063, PUBLIC_ID_COMMON_RANGE_COUNT), 5159);
    EXPECT_EQ(PID_ToPublic(5159, PUBLIC_ID_COMMON_RANGE_COUNT), 1063);
}

} // namespace
