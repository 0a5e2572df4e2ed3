/*
 * Tests of the setting layout table: its own shape (group counts, ranges,
 * bounds, unique identifiers, end markers), the layout written out by hand
 * from the description of the records (flag words, lane words, the LOGFONTW
 * members, the public DEVMODEW fields, shared storage), the flag mask tables,
 * and the direct lookup against a plain scan of the table.
 */
#include "dm_test_records.h"

#include <gtest/gtest.h>

#include <map>
#include <set>

namespace {

/* Finds an item by walking the table the slow way. */
const IdLayoutItem *FindByScan(WORD id, WORD *kind = nullptr)
{
    for (const IdLayoutGroup *g = IdLayoutTable; g->items != nullptr; ++g) {
        for (const IdLayoutItem *it = g->items; it->id != 0; ++it) {
            if (it->id == id) {
                if (kind)
                    *kind = g->kind;
                return it;
            }
        }
    }
    return nullptr;
}

ULONGLONG RecordSize(WORD kind)
{
    return kind == SRK_DEVMODE ? 1604 : kind == SRK_EXTENSION ? 4292 : 6148;
}

ULONGLONG Width(const IdLayoutItem &it)
{
    switch (it.storedType) {
    case 2:
    case 3:
        return 2;
    case 8:
        return 1;
    case 6:
    case 9:
        return it.capacity;
    default:
        return 4;
    }
}

struct GroupRow {
    WORD kind, first, last;
    size_t count;
};

/* The thirteen groups in search order. */
const GroupRow kGroups[] = {
    {0, 257, 303, 45},    {0, 304, 351, 46},    {0, 352, 399, 47},    {0, 400, 447, 28},
    {0, 448, 483, 36},    {0, 1281, 1376, 96},  {1, 1793, 1887, 95},  {1, 2305, 2560, 256},
    {2, 4097, 4371, 83},  {2, 4609, 4640, 32},  {2, 5121, 5209, 79},  {2, 5633, 8215, 297},
    {0, 1, 25, 25},
};

TEST(SettingLayout, GroupsHaveTheirRangesKindsAndCounts)
{
    size_t total = 0;
    for (size_t g = 0; g < std::size(kGroups); ++g) {
        SCOPED_TRACE(g);
        const IdLayoutGroup &row = IdLayoutTable[g];
        EXPECT_EQ(row.kind, kGroups[g].kind);
        EXPECT_EQ(row.first, kGroups[g].first);
        EXPECT_EQ(row.last, kGroups[g].last);
        EXPECT_EQ(row.reserved, 0);
        ASSERT_NE(row.items, nullptr);
        size_t n = 0;
        while (row.items[n].id != 0)
            ++n;
        EXPECT_EQ(n, kGroups[g].count);
        total += n;
    }
    EXPECT_EQ(total, 1165u);
    EXPECT_EQ(IdLayoutTable[13].items, nullptr);
}

TEST(SettingLayout, ItemsLieInTheirGroupAndRecordAndAreUnique)
{
    std::set<WORD> seen;
    for (const IdLayoutGroup *g = IdLayoutTable; g->items != nullptr; ++g) {
        for (const IdLayoutItem *it = g->items; it->id != 0; ++it) {
            SCOPED_TRACE(it->id);
            EXPECT_GE(it->id, g->first);
            EXPECT_LE(it->id, g->last);
            EXPECT_TRUE(seen.insert(it->id).second) << "listed twice";
            EXPECT_LE(it->offset + Width(*it), RecordSize(g->kind));
            EXPECT_EQ(it->reserved, 0);
            const bool sized = it->storedType == 6 || it->storedType == 9;
            EXPECT_EQ(sized, it->capacity != 0);
            EXPECT_NE(dma_TypeSize(it->storedType), 0);
        }
    }
    EXPECT_EQ(seen.size(), 1165u);
}

/* Identifiers inside a group's range that are not settings. */
TEST(SettingLayout, GapsInsideRangesAreNotListed)
{
    std::vector<WORD> gaps = {289, 290, 337, 347, 378};
    for (WORD id = 415; id <= 434; ++id)
        gaps.push_back(id);
    for (WORD id = 4161; id <= 4352; ++id)
        gaps.push_back(id);
    for (WORD id : gaps)
        EXPECT_EQ(FindByScan(id), nullptr) << id;
}

/* The flag words: 32 consecutive identifiers per word. */
TEST(SettingLayout, FlagWordsSitWhereTheRecordsKeepThem)
{
    struct Word {
        WORD first, last, kind;
        ULONGLONG offset;
    };
    const Word words[] = {
        {1281, 1312, 0, 288},   {1313, 1344, 0, 292},   {1345, 1376, 0, 1516},  {2305, 2336, 1, 3960},
        {2337, 2368, 1, 3964},  {2369, 2400, 1, 3968},  {2401, 2432, 1, 3972},  {2433, 2464, 1, 3976},
        {2465, 2496, 1, 3980},  {2497, 2528, 1, 3984},  {2529, 2560, 1, 4260},  {4097, 4128, 2, 8},
        {4129, 4160, 2, 4444},  {4609, 4640, 2, 2988},
    };
    size_t flags = 0;
    for (const Word &w : words) {
        for (WORD id = w.first; id <= w.last; ++id) {
            SCOPED_TRACE(id);
            WORD kind = 99;
            const IdLayoutItem *it = FindByScan(id, &kind);
            ASSERT_NE(it, nullptr);
            EXPECT_EQ(it->storedType, 1);
            EXPECT_EQ(kind, w.kind);
            EXPECT_EQ(it->offset, w.offset);
            ++flags;
        }
    }
    EXPECT_EQ(flags, 96u + 256u + 64u + 32u);
}

/* Type-1 items outside the flag ranges own a whole 32-bit word each. */
TEST(SettingLayout, WholeWordFlagsAreExactlyTheListedOnes)
{
    const std::set<WORD> expected = {5168, 5169, 5170, 5171, 5172, 5173, 5186, 5199,
                                     5200, 5201, 5203, 5648, 5650, 8201, 8206};
    std::set<WORD> found;
    for (const IdLayoutGroup *g = IdLayoutTable; g->items != nullptr; ++g)
        for (const IdLayoutItem *it = g->items; it->id != 0; ++it)
            if (it->storedType == 1 && LAYOUT_FindFlagTable(it->id) == nullptr)
                found.insert(it->id);
    EXPECT_EQ(found, expected);
}

TEST(SettingLayout, ReportedTypes)
{
    size_t byteAsWord = 0;
    std::map<WORD, WORD> others;
    for (const IdLayoutGroup *g = IdLayoutTable; g->items != nullptr; ++g) {
        for (const IdLayoutItem *it = g->items; it->id != 0; ++it) {
            if (it->reportedType == 0)
                continue;
            if (it->storedType == 8 && it->reportedType == 3)
                ++byteAsWord;
            else
                others[it->id] = static_cast<WORD>(it->storedType << 8 | it->reportedType);
        }
    }
    EXPECT_EQ(byteAsWord, 48u);
    const std::map<WORD, WORD> expected = {
        {1284, 0x0105}, {1296, 0x0108}, {1297, 0x0108}, {1298, 0x0108}, {1299, 0x0108},
        {1300, 0x0108}, {1301, 0x0108}, {1302, 0x0108}, {1322, 0x0103}, {1332, 0x0103},
    };
    EXPECT_EQ(others, expected);
}

struct Expect {
    WORD id, kind, stored;
    ULONGLONG offset, capacity;
};

void CheckItems(const Expect *rows, size_t n)
{
    for (size_t i = 0; i < n; ++i) {
        SCOPED_TRACE(rows[i].id);
        WORD kind = 99;
        const IdLayoutItem *it = FindByScan(rows[i].id, &kind);
        ASSERT_NE(it, nullptr);
        EXPECT_EQ(kind, rows[i].kind);
        EXPECT_EQ(it->storedType, rows[i].stored);
        EXPECT_EQ(it->offset, rows[i].offset);
        EXPECT_EQ(it->capacity, rows[i].capacity);
    }
}

/* Four lane words, three lanes each. */
TEST(SettingLayout, LaneWords)
{
    const Expect rows[] = {
        {392, 0, 5, 356, 0}, {393, 0, 5, 356, 0}, {394, 0, 5, 356, 0}, {395, 0, 5, 360, 0},
        {396, 0, 5, 360, 0}, {397, 0, 5, 360, 0}, {398, 0, 5, 364, 0}, {399, 0, 5, 364, 0},
        {400, 0, 5, 364, 0}, {401, 0, 5, 368, 0}, {402, 0, 5, 368, 0}, {403, 0, 5, 368, 0},
    };
    CheckItems(rows, std::size(rows));
}

/*
 * The two LOGFONTWs, member by member: lfHeight +0, lfWidth +4, lfEscapement
 * +8, lfOrientation +12, lfWeight +16, then eight bytes from +20
 * (lfItalic ... lfPitchAndFamily) and lfFaceName at +28 (32 WCHARs).
 */
TEST(SettingLayout, LogfontMembers)
{
    const Expect rows[] = {
        {304, 0, 9, 588, 92}, {305, 0, 6, 616, 64}, {306, 0, 10, 588, 0}, {319, 0, 10, 592, 0},
        {309, 0, 10, 596, 0}, {311, 0, 10, 596, 0}, {310, 0, 10, 600, 0}, {307, 0, 10, 604, 0},
        {308, 0, 8, 608, 0},  {312, 0, 8, 609, 0},  {313, 0, 8, 610, 0},  {314, 0, 8, 611, 0},
        {315, 0, 8, 612, 0},  {316, 0, 8, 613, 0},  {317, 0, 8, 614, 0},  {318, 0, 8, 615, 0},
        {357, 0, 9, 816, 92}, {358, 0, 6, 844, 64}, {359, 0, 10, 816, 0}, {372, 0, 10, 820, 0},
        {362, 0, 10, 824, 0}, {364, 0, 10, 824, 0}, {363, 0, 10, 828, 0}, {360, 0, 10, 832, 0},
        {361, 0, 8, 836, 0},  {365, 0, 8, 837, 0},  {366, 0, 8, 838, 0},  {367, 0, 8, 839, 0},
        {368, 0, 8, 840, 0},  {369, 0, 8, 841, 0},  {370, 0, 8, 842, 0},  {371, 0, 8, 843, 0},
    };
    CheckItems(rows, std::size(rows));
}

/* The public DEVMODEW fields 1-25 at their DEVMODEW offsets. */
TEST(SettingLayout, PublicDevmodeFields)
{
    const Expect rows[] = {
        {1, 0, 6, 0, 64},    /* dmDeviceName */
        {2, 0, 3, 64, 0},    /* dmSpecVersion */
        {3, 0, 3, 66, 0},    /* dmDriverVersion */
        {4, 0, 3, 68, 0},    /* dmSize */
        {5, 0, 3, 70, 0},    /* dmDriverExtra */
        {6, 0, 5, 72, 0},    /* dmFields */
        {7, 0, 2, 76, 0},    /* dmOrientation */
        {8, 0, 2, 78, 0},    /* dmPaperSize */
        {9, 0, 2, 80, 0},    /* dmPaperLength */
        {10, 0, 2, 82, 0},   /* dmPaperWidth */
        {11, 0, 2, 84, 0},   /* dmScale */
        {12, 0, 2, 86, 0},   /* dmCopies */
        {13, 0, 2, 88, 0},   /* dmDefaultSource */
        {14, 0, 5, 90, 0},   /* dmPrintQuality with dmYResolution */
        {15, 0, 2, 92, 0},   /* dmColor */
        {16, 0, 2, 94, 0},   /* dmDuplex */
        {17, 0, 2, 98, 0},   /* dmTTOption */
        {18, 0, 2, 100, 0},  /* dmCollate */
        {19, 0, 6, 102, 64}, /* dmFormName */
        {20, 0, 2, 90, 0},   /* dmPrintQuality */
        {21, 0, 2, 96, 0},   /* dmYResolution */
        {22, 0, 5, 188, 0},  /* dmICMMethod */
        {23, 0, 5, 192, 0},  /* dmICMIntent */
        {24, 0, 5, 196, 0},  /* dmMediaType */
        {25, 0, 5, 200, 0},  /* dmDitherType */
    };
    CheckItems(rows, std::size(rows));
}

/* Settings that share storage on purpose. */
TEST(SettingLayout, SharedStorage)
{
    const Expect rows[] = {
        {483, 0, 8, 749, 0},  {335, 0, 8, 749, 0},  /* one byte, two settings */
        {297, 0, 6, 382, 66}, {298, 0, 6, 382, 66}, /* one string field */
        {1831, 1, 6, 2586, 50}, {1877, 1, 6, 2586, 50},
    };
    CheckItems(rows, std::size(rows));
}

TEST(SettingLayout, FlagMaskTables)
{
    struct Range {
        WORD first, last;
    };
    const Range ranges[] = {{1281, 1376}, {2305, 2560}, {4097, 4160}, {4609, 4640}};
    for (size_t t = 0; t < std::size(ranges); ++t) {
        const FlagMaskTable &table = FlagMaskTables[t];
        EXPECT_EQ(table.first, ranges[t].first);
        EXPECT_EQ(table.last, ranges[t].last);
        size_t n = 0;
        for (; table.rows[n].id != 0; ++n) {
            const FlagMaskRow &row = table.rows[n];
            EXPECT_EQ(row.id, ranges[t].first + n);
            EXPECT_EQ(row.reserved, 0);
            EXPECT_EQ(row.mask, DWORD{1} << (n % 32)) << row.id;
        }
        EXPECT_EQ(n, static_cast<size_t>(ranges[t].last - ranges[t].first + 1));
    }
    /* A few bits worked out by hand. */
    const std::pair<WORD, DWORD> bits[] = {
        {1281, 0x1},        {1284, 0x8},  {1312, 0x80000000}, {1313, 0x1},  {1322, 0x200},
        {1376, 0x80000000}, {2305, 0x1},  {2340, 0x8},        {2560, 0x80000000},
        {4097, 0x1},        {4160, 0x80000000}, {4609, 0x1},  {4640, 0x80000000},
    };
    for (auto [id, mask] : bits) {
        DWORD m = 0;
        EXPECT_TRUE(dma_GetFlagMask(id, &m)) << id;
        EXPECT_EQ(m, mask) << id;
    }
    DWORD m = 0xDEAD;
    EXPECT_FALSE(dma_GetFlagMask(1280, &m));
    EXPECT_FALSE(dma_GetFlagMask(1377, &m));
    EXPECT_FALSE(dma_GetFlagMask(4161, &m));
    EXPECT_FALSE(dma_GetFlagMask(5168, &m));
    EXPECT_EQ(m, 0xDEADu);
}

/*
 * The direct lookup gives what a scan of the group rows in table order and
 * then of the group's items gives, for every 16-bit identifier: status 1
 * without a kind, 16 with the group's kind, or the item itself.
 */
TEST(SettingLayout, LookupMatchesTheScanForEveryIdentifier)
{
    for (unsigned id = 0; id <= 0xFFFF; ++id) {
        const IdLayoutGroup *group = nullptr;
        for (const IdLayoutGroup *g = IdLayoutTable; g->items != nullptr; ++g) {
            if (g->first <= id && id <= g->last) {
                group = g;
                break;
            }
        }
        const IdLayoutItem *want = nullptr;
        if (group)
            for (const IdLayoutItem *it = group->items; it->id != 0 && !want; ++it)
                if (it->id == id)
                    want = it;

        WORD kind = 0x7777;
        const IdLayoutItem *got = nullptr;
        WORD status = LAYOUT_FindItem(static_cast<WORD>(id), &kind, &got);
        if (!group) {
            ASSERT_EQ(status, 1) << id;
            ASSERT_EQ(kind, 0x7777) << id;
        } else if (!want) {
            ASSERT_EQ(status, 16) << id;
            ASSERT_EQ(kind, group->kind) << id;
        } else {
            ASSERT_EQ(status, 0) << id;
            ASSERT_EQ(kind, group->kind) << id;
            ASSERT_EQ(got, want) << id;
        }
    }
}

TEST(SettingLayout, TypeSizes)
{
    const std::pair<WORD, LONG> sizes[] = {
        {1, 4}, {2, 2}, {3, 2}, {4, 4}, {5, 4}, {6, static_cast<LONG>(sizeof(void *))},
        {8, 1}, {9, static_cast<LONG>(sizeof(void *))}, {10, 4},
        {0, 0}, {7, 0}, {11, 0}, {0xFFFF, 0},
    };
    for (auto [type, size] : sizes)
        EXPECT_EQ(dma_TypeSize(type), size) << type;
}

#if UINTPTR_MAX == 0xFFFFFFFFu
/* The 32-bit build hands out 4-byte record offsets. */
TEST(SettingLayout, RecordOffsetsAreFourBytesInThe32BitBuild)
{
    EXPECT_EQ(dma_TypeSize(6), 4);
    EXPECT_EQ(dma_TypeSize(9), 4);
}
#endif

} // namespace
