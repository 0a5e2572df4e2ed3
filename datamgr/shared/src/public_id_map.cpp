/*
 * The public identifier map, written as runs of consecutive public
 * identifiers that map one to one onto consecutive internal identifiers, and
 * expanded into pair lists at compile time.  Depends only on plat/types.h,
 * so that the data manager and the common library compile the same source.
 */
#include "tarvel/public_id_map.h"

#include <array>
#include <cstddef>

namespace {

/* Public identifiers first-last map onto internal identifiers from `internal` on. */
struct IdRun {
    WORD first;
    WORD last;
    WORD internal;
};

template <size_t R>
constexpr size_t PairCount(const IdRun (&runs)[R])
{
    size_t n = 0;
    for (const IdRun &r : runs)
        n += static_cast<size_t>(r.last - r.first + 1);
    return n;
}

/* Expands runs into N pairs and the end pair. */
template <size_t N, size_t R>
constexpr std::array<PublicIdPair, N + 1> Expand(const IdRun (&runs)[R])
{
    std::array<PublicIdPair, N + 1> pairs{};
    size_t n = 0;
    for (const IdRun &r : runs)
        for (unsigned id = r.first; id <= r.last && n < N; ++id, ++n)
            pairs[n] = PublicIdPair{static_cast<WORD>(id), static_cast<WORD>(r.internal + (id - r.first))};
    return pairs;
}

/* Every run lies inside its range's bounds, ascends and does not overlap the next. */
template <size_t R>
constexpr bool RunsInside(const IdRun (&runs)[R], WORD low, WORD high)
{
    WORD next = low;
    for (const IdRun &r : runs) {
        if (r.first < next || r.last < r.first || r.last > high)
            return false;
        next = static_cast<WORD>(r.last + 1);
    }
    return true;
}

// clang-format off

constexpr IdRun kPublic[] = {{1, 25, 1}};
constexpr IdRun kRange257[] = {{257, 288, 257}, {289, 290, 1832}, {291, 303, 291}};
constexpr IdRun kRange304[] = {{304, 336, 304}, {337, 337, 1829}, {338, 346, 338}, {347, 347, 1831},
                               {348, 351, 348}};
constexpr IdRun kRange352[] = {{352, 377, 352}, {378, 378, 1830}, {379, 399, 379}};
constexpr IdRun kRange400[] = {{400, 414, 400}, {415, 434, 1834}, {435, 447, 435}};
constexpr IdRun kRange4097[] = {{4097, 4104, 448}, {4105, 4129, 458}};
constexpr IdRun kRange449[] = {{449, 462, 1281}, {463, 463, 4129}, {464, 499, 1296}, {500, 512, 1335}};
constexpr IdRun kRange961[] = {{961, 980, 1348}};
constexpr IdRun kRange513[] = {{513, 548, 1793}, {549, 552, 1855}, {553, 568, 1861}, {569, 569, 1878},
                               {571, 578, 1880}};
constexpr IdRun kRange2305[] = {{2305, 2560, 2305}};
constexpr IdRun kRange769[] = {{769, 800, 4097}, {801, 810, 4353}, {811, 812, 4366}, {813, 822, 4130},
                               {823, 823, 4368}, {824, 825, 4140}, {826, 826, 4369}, {827, 829, 4142},
                               {830, 831, 4370}};
constexpr IdRun kRange897[] = {{897, 928, 4609}};
constexpr IdRun kRange1025[] = {{1025, 1025, 5121}, {1026, 1026, 1333}, {1027, 1027, 5123}, {1028, 1028, 1332},
                                {1029, 1029, 4365}, {1030, 1031, 5126}, {1032, 1032, 1334}, {1033, 1036, 5129},
                                {1037, 1037, 456},  {1038, 1042, 5134}, {1043, 1044, 1859}, {1045, 1054, 5141},
                                {1055, 1055, 457},  {1056, 1057, 5152}, {1058, 1058, 4363}, {1059, 1061, 5155},
                                {1062, 1062, 4364}, {1063, 1113, 5159}};
constexpr IdRun kRange1281[] = {{1281, 1281, 8201}, {1297, 1298, 8202}, {1307, 1310, 8204}, {1311, 1320, 5889},
                                {1321, 1330, 5909}, {1331, 1340, 5929}, {1341, 1415, 6145}, {1416, 1425, 6401},
                                {1426, 1429, 8208}, {1430, 1439, 5899}, {1536, 1545, 5919}, {1546, 1555, 5939},
                                {1556, 1556, 8212}, {1557, 1661, 6220}, {1662, 1671, 6411}, {1672, 1674, 8213}};
constexpr IdRun kScrambled[] = {{36865, 36867, 5159}, {36868, 36868, 5175}, {36869, 36869, 1858},
                                {36870, 36871, 5181}, {36872, 36872, 5185}, {36873, 36874, 5208}};

// clang-format on

#define PID_RANGE(name, low, high)                                                                        \
    static_assert(RunsInside(name, low, high), #name " lies inside its bounds");                         \
    constexpr auto name##Pairs = Expand<PairCount(name)>(name)

PID_RANGE(kPublic, 1, 25);
PID_RANGE(kRange257, 257, 303);
PID_RANGE(kRange304, 304, 351);
PID_RANGE(kRange352, 352, 399);
PID_RANGE(kRange400, 400, 447);
PID_RANGE(kRange4097, 4097, 4129);
PID_RANGE(kRange449, 449, 512);
PID_RANGE(kRange961, 961, 980);
PID_RANGE(kRange513, 513, 578);
PID_RANGE(kRange2305, 2305, 2560);
PID_RANGE(kRange769, 769, 831);
PID_RANGE(kRange897, 897, 928);
PID_RANGE(kRange1025, 1025, 1113);
PID_RANGE(kRange1281, 1281, 1674);
PID_RANGE(kScrambled, PUBLIC_ID_SCRAMBLED_FIRST, PUBLIC_ID_SCRAMBLED_LAST);

#undef PID_RANGE

static_assert(PairCount(kPublic) + PairCount(kRange257) + PairCount(kRange304) + PairCount(kRange352) +
                      PairCount(kRange400) + PairCount(kRange4097) + PairCount(kRange449) + PairCount(kRange961) +
                      PairCount(kRange513) + PairCount(kRange2305) + PairCount(kRange769) + PairCount(kRange897) +
                      PairCount(kRange1025) + PairCount(kRange1281) + PairCount(kScrambled) ==
                  PUBLIC_ID_PAIR_COUNT,
              "the map holds 1,123 pairs");

} // namespace

const PublicIdRange PublicIdMap[PUBLIC_ID_RANGE_COUNT + 1] = {
    {kPublicPairs.data(), 1, 25},
    {kRange257Pairs.data(), 257, 303},
    {kRange304Pairs.data(), 304, 351},
    {kRange352Pairs.data(), 352, 399},
    {kRange400Pairs.data(), 400, 447},
    {kRange4097Pairs.data(), 4097, 4129},
    {kRange449Pairs.data(), 449, 512},
    {kRange961Pairs.data(), 961, 980},
    {kRange513Pairs.data(), 513, 578},
    {kRange2305Pairs.data(), 2305, 2560},
    {kRange769Pairs.data(), 769, 831},
    {kRange897Pairs.data(), 897, 928},
    {kRange1025Pairs.data(), 1025, 1113},
    {kRange1281Pairs.data(), 1281, 1674},
    {kScrambledPairs.data(), PUBLIC_ID_SCRAMBLED_FIRST, PUBLIC_ID_SCRAMBLED_LAST},
    {nullptr, 0, 0},
};

WORD PID_ToInternal(WORD publicId, WORD rangeCount)
{
    if (publicId == 0)
        return 0;
    for (WORD r = 0; r < rangeCount && PublicIdMap[r].pairs != nullptr; ++r) {
        const PublicIdRange &range = PublicIdMap[r];
        if (publicId < range.low || publicId > range.high)
            continue;
        for (const PublicIdPair *p = range.pairs; p->publicId != 0; ++p)
            if (p->publicId == publicId)
                return p->internalId;
        return 0; /* the first range that holds it decides */
    }
    return 0;
}

WORD PID_ToPublic(WORD internalId, WORD rangeCount)
{
    if (internalId == 0)
        return 0;
    for (WORD r = 0; r < rangeCount && PublicIdMap[r].pairs != nullptr; ++r)
        for (const PublicIdPair *p = PublicIdMap[r].pairs; p->publicId != 0; ++p)
            if (p->internalId == internalId)
                return p->publicId;
    return 0;
}
