/*
 * Tests of the settings schema's tables: the twelve groups with their
 * ranges, row counts and record kinds; the 799 rows against the layout
 * table less the settings that have no default of their own (typed here
 * from the schema's prose, apart from the table); the list order; and the
 * built-in descriptors' flags and constants.
 */
#include <tarvel/setting_layout.h>
#include <tarvel/settings/fid_schema.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <map>
#include <set>
#include <vector>

namespace {

struct GroupRow {
    DWORD group;
    WORD first, last;
    WORD count;
    WORD kind;
};

/* The groups as the schema's table gives them, in table order. */
constexpr GroupRow kGroups[] = {
    {5, 257, 303, 45, 0},    {6, 304, 351, 34, 0},    {7, 352, 399, 36, 0},   {8, 400, 447, 27, 0},
    {9, 448, 483, 36, 0},    {10, 1281, 1376, 95, 0}, {11, 1793, 1887, 94, 1}, {0, 4097, 4371, 83, 2},
    {1, 4609, 4640, 32, 2},  {2, 5121, 5209, 79, 2},  {3, 5633, 8215, 215, 2}, {4, 1, 25, 23, 0},
};

TEST(FidSchema, GroupsRangesCountsAndKinds)
{
    int total = 0;
    for (size_t i = 0; i < std::size(kGroups); ++i) {
        const GroupRow &g = kGroups[i];
        SCOPED_TRACE(g.group);
        EXPECT_EQ(SettingIdRanges[i].group, g.group);
        EXPECT_EQ(SettingIdRanges[i].first, g.first);
        EXPECT_EQ(SettingIdRanges[i].last, g.last);
        EXPECT_EQ(SettingGroups[i].group, g.group);
        const SettingDescriptorRow *rows = nullptr;
        WORD count = 0, kind = 0xFFFF;
        ASSERT_TRUE(FID_GetGroup(g.group, &rows, &count, &kind));
        EXPECT_EQ(count, g.count);
        EXPECT_EQ(kind, g.kind);
        EXPECT_EQ(rows, SettingGroups[i].rows);
        for (WORD r = 0; r < count; ++r) {
            EXPECT_GE(rows[r].id, g.first);
            EXPECT_LE(rows[r].id, g.last);
            EXPECT_EQ(FID_FindDescriptor(rows[r].id), &rows[r]) << rows[r].id;
        }
        total += count;
    }
    EXPECT_EQ(total, 799);
    EXPECT_EQ(SettingIdRanges[12].group, 12u);
    EXPECT_EQ(SettingGroups[12].group, 12u);
    EXPECT_EQ(SettingGroups[12].rows, nullptr);
    EXPECT_FALSE(FID_GetGroup(12, nullptr, nullptr, nullptr));
    EXPECT_FALSE(FID_GetGroup(13, nullptr, nullptr, nullptr));
}

/* The settings of the layout table that have no default of their own, as the schema's prose lists them. */
std::set<WORD> settings_without_default()
{
    std::set<WORD> s{20, 21, 304, 309, 310, 329, 442, 1295, 1879};
    auto range = [&](WORD a, WORD b) {
        for (unsigned id = a; id <= b; ++id)
            s.insert(static_cast<WORD>(id));
    };
    range(312, 319);
    range(362, 372);
    range(2305, 2560);
    range(5633, 5654);
    range(6190, 6219);
    range(6265, 6294);
    return s;
}

TEST(FidSchema, RowsAreTheLayoutTableLessTheSettingsWithoutDefault)
{
    const std::set<WORD> without = settings_without_default();
    /* Every layout item in layout order, by identifier range. */
    std::vector<WORD> layoutOrder;
    for (const IdLayoutGroup *g = IdLayoutTable; g->items != nullptr; ++g)
        for (const IdLayoutItem *it = g->items; it->id != 0; ++it)
            layoutOrder.push_back(it->id);
    ASSERT_EQ(layoutOrder.size(), 1165u);

    for (const GroupRow &g : kGroups) {
        SCOPED_TRACE(g.group);
        std::vector<WORD> expected;
        for (WORD id : layoutOrder)
            if (id >= g.first && id <= g.last && without.count(id) == 0)
                expected.push_back(id);
        /* Group 3 keeps the layout table's order, every other list runs in identifier order. */
        if (g.group != 3)
            std::sort(expected.begin(), expected.end());
        const SettingDescriptorRow *rows = nullptr;
        WORD count = 0;
        ASSERT_TRUE(FID_GetGroup(g.group, &rows, &count, nullptr));
        std::vector<WORD> actual;
        for (WORD r = 0; r < count; ++r)
            actual.push_back(rows[r].id);
        EXPECT_EQ(actual, expected);
    }

    /* Group 3 begins with 8201-8207 and then runs 6145 upwards. */
    const SettingDescriptorRow *rows = nullptr;
    ASSERT_TRUE(FID_GetGroup(3, &rows, nullptr, nullptr));
    for (WORD i = 0; i < 7; ++i)
        EXPECT_EQ(rows[i].id, 8201 + i);
    EXPECT_EQ(rows[7].id, 6145);

    for (WORD id : without)
        EXPECT_EQ(FID_FindDescriptor(id), nullptr) << id;
    EXPECT_EQ(FID_FindDescriptor(0), nullptr);
    EXPECT_EQ(FID_FindDescriptor(289), nullptr) << "inside a range, not a setting";
    EXPECT_EQ(FID_FindDescriptor(600), nullptr);
    EXPECT_EQ(FID_FindDescriptor(0x9029), nullptr);
}

/* A built-in descriptor as the schema's table gives it: flags, and a constant when it has one. */
struct DescriptorRow {
    WORD first, last;
    DWORD flags;
    bool constant;
    WORD type;
    ULONGLONG value;
    bool handler;
};

constexpr DWORD kAll = 0xFFFF;

constexpr DescriptorRow kDescriptors[] = {
    {1, 1, kAll, false, 0, 0, true},        {2, 2, kAll, false, 0, 0, true},
    {3, 3, kAll, true, 3, 21048, false},    {4, 4, kAll, false, 0, 0, true},
    {5, 5, kAll, false, 0, 0, true},        {6, 6, kAll, false, 0, 0, true},
    {7, 7, 2 | 16, false, 0, 0, true},      {8, 8, 4 | 8, false, 0, 0, true},
    {9, 9, kAll, false, 0, 0, true},        {10, 10, kAll, false, 0, 0, true},
    {11, 11, 2 | 16, false, 0, 0, true},    {12, 12, kAll, false, 0, 0, true},
    {13, 13, 2 | 16, false, 0, 0, true},    {15, 15, kAll, false, 0, 0, true},
    {16, 16, 16, false, 0, 0, true},        {17, 17, 2 | 16, false, 0, 0, true},
    {18, 18, 2 | 16, false, 0, 0, true},    {19, 19, kAll, false, 0, 0, true},
    {22, 22, kAll, false, 0, 0, true},      {23, 23, 2 | 16, false, 0, 0, true},
    {24, 25, 0, false, 0, 0, true},         {257, 257, kAll, true, 3, 21048, false},
    {1793, 1793, kAll, true, 3, 21048, false}, {8204, 8204, kAll, true, 3, 21048, false},
    {258, 258, kAll, false, 0, 0, true},    {8203, 8203, kAll, false, 0, 0, true},
    {8202, 8202, kAll, true, 3, 6148, false}, {259, 259, kAll, false, 0, 0, true},
    {298, 298, kAll, false, 0, 0, true},    {305, 305, kAll, false, 0, 0, true},
    {357, 358, kAll, false, 0, 0, true},    {439, 439, 0, true, 8, 0, true},
    {463, 463, 0, true, 8, 0, true},        {5889, 5948, kAll, false, 0, 0, true},
};

TEST(FidSchema, BuiltInDescriptorsAsTheTableGivesThem)
{
    std::map<WORD, const DescriptorRow *> expected;
    for (const DescriptorRow &d : kDescriptors)
        for (unsigned id = d.first; id <= d.last; ++id)
            expected[static_cast<WORD>(id)] = &d;
    EXPECT_EQ(expected.size(), 95u);

    int withDescriptor = 0;
    for (const SettingGroup *g = SettingGroups; g->group != FID_SCHEMA_END_GROUP; ++g) {
        for (WORD r = 0; r < g->count; ++r) {
            const SettingDescriptorRow &row = g->rows[r];
            auto it = expected.find(row.id);
            if (it == expected.end()) {
                EXPECT_EQ(row.descriptor, nullptr) << row.id;
                continue;
            }
            ++withDescriptor;
            const DescriptorRow &e = *it->second;
            ASSERT_NE(row.descriptor, nullptr) << row.id;
            EXPECT_EQ(row.descriptor->flags, e.flags) << row.id;
            EXPECT_EQ(row.descriptor->handler != nullptr, e.handler) << row.id;
            if (!e.constant) {
                EXPECT_EQ(row.descriptor->constant, nullptr) << row.id;
                continue;
            }
            ASSERT_NE(row.descriptor->constant, nullptr) << row.id;
            EXPECT_EQ(row.descriptor->constant->use, 1) << row.id;
            EXPECT_EQ(row.descriptor->constant->type, e.type) << row.id;
            EXPECT_EQ(row.descriptor->constant->length, -1) << row.id;
            EXPECT_EQ(row.descriptor->constant->value, e.value) << row.id;
        }
    }
    EXPECT_EQ(withDescriptor, 95);
}

} // namespace
