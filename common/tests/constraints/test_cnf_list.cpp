/*
 * Change lists, growing identifier lists, the outcome priority merge and
 * the value comparison of the constraint engine (no model needed).
 */
#include <tarvel/constraints/cnf_engine.h>

#include <plat/fault.h>
#include <plat/machine.h>
#include <plat/memory.h>

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>
#include <vector>

namespace {

class CnfListTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        root_ = std::filesystem::temp_directory_path() / ("tarvel-cnf-list-" + std::to_string(::getpid()));
        plat::machine_reset(root_.string());
    }
    void TearDown() override
    {
        plat::machine_reset(root_.string());
        std::filesystem::remove_all(root_);
    }
    std::filesystem::path root_;
};

std::vector<WORD> entries(const WORD *list, WORD count) { return std::vector<WORD>(list, list + count); }

TEST_F(CnfListTest, NewListPointsAtItsInlineEntries)
{
    ChangeList *list = CNF_NewChangeList();
    ASSERT_NE(list, nullptr);
    EXPECT_EQ(list->forward, list->forwardInline);
    EXPECT_EQ(list->reverse, list->reverseInline);
    EXPECT_EQ(list->involved, list->involvedInline);
    EXPECT_EQ(list->outcome, 0);
    CNF_FreeChangeList(list);
    CNF_FreeChangeList(nullptr);
}

/* Growth: n, n + 5, n + 10 ... each step allocates once; a present value is not added again. */
TEST_F(CnfListTest, GrowsInStepsOfFiveAndKeepsEntriesUnique)
{
    ChangeList *list = CNF_NewChangeList();
    ASSERT_NE(list, nullptr);
    const unsigned long before = plat::alloc_count();
    for (WORD i = 1; i <= 8; ++i)
        ASSERT_EQ(CNF_AddUniqueId(i, CNF_FIRED_INLINE, &list->forward, &list->forwardCount), 0);
    EXPECT_EQ(plat::alloc_count(), before) << "eight entries stay inline";
    EXPECT_EQ(list->forward, list->forwardInline);
    ASSERT_EQ(CNF_AddUniqueId(9, CNF_FIRED_INLINE, &list->forward, &list->forwardCount), 0);
    EXPECT_NE(list->forward, list->forwardInline);
    EXPECT_EQ(plat::alloc_count(), before + 1);
    for (WORD i = 10; i <= 13; ++i)
        ASSERT_EQ(CNF_AddUniqueId(i, CNF_FIRED_INLINE, &list->forward, &list->forwardCount), 0);
    EXPECT_EQ(plat::alloc_count(), before + 1) << "capacity 13 holds 13 entries";
    ASSERT_EQ(CNF_AddUniqueId(14, CNF_FIRED_INLINE, &list->forward, &list->forwardCount), 0);
    EXPECT_EQ(plat::alloc_count(), before + 2);
    ASSERT_EQ(CNF_AddUniqueId(3, CNF_FIRED_INLINE, &list->forward, &list->forwardCount), 0);
    std::vector<WORD> want;
    for (WORD i = 1; i <= 14; ++i)
        want.push_back(i);
    EXPECT_EQ(entries(list->forward, list->forwardCount), want);
    CNF_FreeChangeList(list);
}

TEST_F(CnfListTest, AddUniqueIdRefusesNullListOrCount)
{
    WORD inlineEntries[5] = {};
    WORD *list = inlineEntries;
    WORD count = 0;
    EXPECT_EQ(CNF_AddUniqueId(1, 5, nullptr, &count), 1);
    EXPECT_EQ(CNF_AddUniqueId(1, 5, &list, nullptr), 1);
    const WORD values[] = {4, 5, 4, 6};
    EXPECT_EQ(CNF_AddUniqueIds(5, &list, &count, values, 0), 0);
    EXPECT_EQ(CNF_AddUniqueIds(5, &list, &count, nullptr, 3), 0);
    EXPECT_EQ(CNF_AddUniqueIds(5, &list, &count, values, 4), 0);
    EXPECT_EQ(entries(list, count), (std::vector<WORD>{4, 5, 6}));
}

/* A failed growth answers 2; the list keeps its earlier entries and still resets and frees. */
TEST_F(CnfListTest, FailedGrowthKeepsTheListUsable)
{
    for (bool grownBefore : {false, true}) {
        ChangeList *list = CNF_NewChangeList();
        ASSERT_NE(list, nullptr);
        const WORD n = grownBefore ? 25 : 20;
        for (WORD i = 1; i <= n; ++i)
            ASSERT_EQ(CNF_AddUniqueId(i, CNF_INVOLVED_INLINE, &list->involved, &list->involvedCount), 0);
        WORD *const heldAt = list->involved;
        plat::fault_fail_alloc_after(1);
        EXPECT_EQ(CNF_AddUniqueId(100, CNF_INVOLVED_INLINE, &list->involved, &list->involvedCount), 2);
        EXPECT_EQ(list->involvedCount, n);
        EXPECT_EQ(list->involved, heldAt);
        EXPECT_EQ(list->involved[n - 1], n);
        CNF_ResetChangeList(list);
        EXPECT_EQ(list->involvedCount, 0);
        EXPECT_EQ(list->involved, list->involvedInline);
        CNF_FreeChangeList(list);
    }
}

/* A copy that has not grown points at its own inline entries, never into its source. */
TEST_F(CnfListTest, CopyOwnsItsEntries)
{
    for (WORD grow : {WORD(3), WORD(12)}) {
        ChangeList *source = CNF_NewChangeList();
        ChangeList *copy = CNF_NewChangeList();
        ASSERT_TRUE(source && copy);
        source->outcome = 7;
        source->relationBits = 0x23;
        source->reserved = 0xAB;
        for (WORD i = 1; i <= grow; ++i) {
            ASSERT_EQ(CNF_AddUniqueId(i, CNF_FIRED_INLINE, &source->forward, &source->forwardCount), 0);
            ASSERT_EQ(CNF_AddUniqueId(WORD(i + 100), CNF_FIRED_INLINE, &source->reverse, &source->reverseCount), 0);
            ASSERT_EQ(CNF_AddUniqueId(WORD(i + 200), CNF_INVOLVED_INLINE, &source->involved, &source->involvedCount),
                      0);
        }
        ASSERT_EQ(CNF_CopyChangeList(copy, source), 0);
        const std::vector<WORD> forward = entries(source->forward, source->forwardCount);
        CNF_FreeChangeList(source); /* ASan reports any use of the source's memory below */
        if (grow <= CNF_FIRED_INLINE) {
            EXPECT_EQ(copy->forward, copy->forwardInline);
            EXPECT_EQ(copy->reverse, copy->reverseInline);
        } else {
            EXPECT_NE(copy->forward, copy->forwardInline);
        }
        EXPECT_EQ(copy->involved, copy->involvedInline);
        EXPECT_EQ(copy->outcome, 7);
        EXPECT_EQ(copy->relationBits, 0x23);
        EXPECT_EQ(copy->reserved, 0xABu);
        EXPECT_EQ(entries(copy->forward, copy->forwardCount), forward);
        EXPECT_EQ(copy->reverse[grow - 1], grow + 100);
        ASSERT_EQ(CNF_AddUniqueId(999, CNF_FIRED_INLINE, &copy->forward, &copy->forwardCount), 0);
        CNF_FreeChangeList(copy);
    }
}

TEST_F(CnfListTest, CopyFailureLeavesAnEmptyList)
{
    ChangeList *source = CNF_NewChangeList();
    ChangeList *copy = CNF_NewChangeList();
    for (WORD i = 1; i <= 30; ++i)
        ASSERT_EQ(CNF_AddUniqueId(i, CNF_INVOLVED_INLINE, &source->involved, &source->involvedCount), 0);
    plat::fault_fail_alloc_after(1);
    EXPECT_EQ(CNF_CopyChangeList(copy, source), 2);
    EXPECT_EQ(copy->involvedCount, 0);
    EXPECT_EQ(copy->involved, copy->involvedInline);
    EXPECT_EQ(CNF_CopyChangeList(nullptr, source), 1);
    CNF_FreeChangeList(source);
    CNF_FreeChangeList(copy);
}

/* A byte copy of a list that has not grown is pointed back at its own entries. */
TEST_F(CnfListTest, InitRepointsAByteCopy)
{
    ChangeList a{}, b{};
    CNF_InitChangeList(&a);
    ASSERT_EQ(CNF_AddUniqueId(5, CNF_FIRED_INLINE, &a.forward, &a.forwardCount), 0);
    std::memcpy(&b, &a, sizeof b);
    CNF_InitChangeList(&b);
    EXPECT_EQ(b.forward, b.forwardInline);
    EXPECT_EQ(b.forward[0], 5);
}

TEST_F(CnfListTest, OutcomePriorityTable)
{
    const SHORT order[] = {6, 1, 7, 8, 15, 14, 12, 10, 13, 11, 2, 5, 3, 9, 4, 0};
    for (size_t i = 0; i + 1 < std::size(order); ++i)
        EXPECT_GT(CNF_OutcomePriority(order[i]), CNF_OutcomePriority(order[i + 1])) << order[i];
    EXPECT_EQ(CNF_OutcomePriority(6), 900);
    EXPECT_EQ(CNF_OutcomePriority(0), 100);
    EXPECT_EQ(CNF_OutcomePriority(16), 0);
}

TEST_F(CnfListTest, MergeKeepsTheHigherKindInEitherOrder)
{
    struct Case {
        SHORT first, second, want;
    } cases[] = {
        {2, 8, 8}, {8, 2, 8}, {4, 9, 9}, {9, 4, 9}, {3, 0, 3}, {0, 0, 0}, {16, 4, 4}, {4, 16, 4}, {1, 6, 6}, {6, 1, 6},
    };
    for (const Case &c : cases) {
        SHORT outcome = 0;
        CNF_MergeOutcomeKind(&outcome, c.first);
        CNF_MergeOutcomeKind(&outcome, c.second);
        EXPECT_EQ(outcome, c.want) << c.first << " then " << c.second;
    }
    SHORT unknown = 99;
    CNF_MergeOutcomeKind(&unknown, 4);
    EXPECT_EQ(unknown, 4) << "a current kind not in the table counts 0";
}

TEST_F(CnfListTest, CompareValuesTable)
{
    const SHORT s5 = 5, s7 = 7, sm1 = -1;
    const WORD u5 = 5, u7 = 7, uffff = 0xFFFF;
    const LONG l5 = 5, lm3 = -3;
    const DWORD d5 = 5, dbig = 0x80000000u;
    const BYTE b5 = 5, b9 = 9;
    const DWORD on = 1, on2 = 7, off = 0;
    const WCHAR *a = u"abc", *a2 = u"abc", *b = u"abd";
    struct Case {
        BYTE op;
        WORD ctype;
        const void *c;
        WORD stype;
        const void *s;
        WORD want;
    } cases[] = {
        /* setting against condition: 1 =, 2 !=, 3 <, 4 <=, 5 >, 6 >= */
        {1, 2, &s5, 2, &s5, 9}, {1, 2, &s5, 2, &s7, 10}, {2, 2, &s5, 2, &s7, 9}, {3, 2, &s5, 2, &sm1, 9},
        {3, 3, &u5, 3, &uffff, 10}, {4, 2, &s5, 2, &s5, 9}, {5, 2, &s5, 2, &s7, 9}, {6, 2, &s7, 2, &s5, 10},
        {5, 4, &l5, 4, &lm3, 10}, {5, 5, &d5, 5, &dbig, 9}, {3, 8, &b9, 8, &b5, 9}, {6, 10, &l5, 10, &lm3, 10},
        /* operators 0, 7, 8, 10, 11, 12 compare for equality; 9 and 13 up are not valid */
        {0, 3, &u5, 3, &u5, 9}, {7, 3, &u5, 3, &u7, 10}, {8, 3, &u5, 3, &u5, 9}, {10, 3, &u5, 3, &u5, 9},
        {11, 3, &u5, 3, &u5, 9}, {12, 3, &u5, 3, &u7, 10}, {9, 3, &u5, 3, &u5, 11}, {13, 3, &u5, 3, &u5, 11},
        {255, 3, &u5, 3, &u5, 11},
        /* flags and strings: equality and inequality only */
        {1, 1, &on, 1, &on2, 9}, {2, 1, &on, 1, &off, 9}, {1, 1, &on, 1, &off, 10}, {3, 1, &on, 1, &on, 11},
        {1, 6, a, 6, a2, 9}, {2, 6, a, 6, b, 9}, {2, 6, a, 6, a2, 10}, {5, 6, a, 6, b, 11}, {7, 6, a, 6, a2, 9},
        /* null pointers, differing and unsupported types */
        {1, 3, nullptr, 3, &u5, 6}, {1, 3, &u5, 3, nullptr, 6}, {1, 3, &u5, 2, &s5, 7}, {1, 9, &u5, 9, &u5, 8},
        {1, 7, &d5, 7, &d5, 8},
    };
    for (const Case &c : cases)
        EXPECT_EQ(CNF_CompareValues(c.op, c.ctype, c.c, c.stype, c.s), c.want)
            << "op " << int(c.op) << " type " << c.ctype;
}

} // namespace
