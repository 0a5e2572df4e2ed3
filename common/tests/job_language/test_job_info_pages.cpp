// The page list of the job-information record: its blocks of 1,600 entries
// at creation and after growth, the cursor, and allocation failure at every
// allocation of creation and growth (the list must be left as it was).
#include "job_info_alloc.h"

#include <tarvel/job_language/job_info.h>

#include <gtest/gtest.h>

#include <memory>
#include <vector>

namespace {

struct ListDeleter {
    void operator()(JobInfoPageList *l) const { JIF_ListFree(l); }
};
using List = std::unique_ptr<JobInfoPageList, ListDeleter>;

std::vector<LONG> BlockSizes(const JobInfoPageList *l)
{
    std::vector<LONG> sizes;
    for (LONG i = 0; i < l->blockCount; i++)
        sizes.push_back(l->blocks[i].size);
    return sizes;
}

std::vector<LONG> BlockCounts(const JobInfoPageList *l)
{
    std::vector<LONG> counts;
    for (LONG i = 0; i < l->blockCount; i++)
        counts.push_back(l->blocks[i].count);
    return counts;
}

/* Appends n entries, each marked with its number in `pos`. */
void Fill(JobInfoPageList *l, LONG n)
{
    for (LONG i = 0; i < n; i++) {
        LONG count = JIF_ListAppend(l);
        ASSERT_EQ(count, JIF_ListCount(l));
        JIF_ListCurrentEntry(l)->pos = DWORD(count);
    }
}

/* Every entry still carries its number. */
void ExpectMarked(JobInfoPageList *l)
{
    for (LONG i = 1; i <= JIF_ListCount(l); i++) {
        ASSERT_TRUE(JIF_ListSelect(l, i));
        JobInfoPage p;
        ASSERT_TRUE(JIF_ListCopyCurrent(l, &p));
        ASSERT_EQ(p.pos, DWORD(i));
    }
}

class JobInfoPages : public ::testing::Test {
protected:
    void TearDown() override { JIF_TestFailAllocAfter(0); }
};

} // namespace

TEST_F(JobInfoPages, BlocksAtCreationAndAfterGrowth)
{
    struct Case {
        LONG capacity, step, appends;
        std::vector<LONG> sizes, counts;
        LONG capacityAfter;
    };
    const Case cases[] = {
        {10, 10, 0, {10}, {0}, 10},
        {10, 10, 10, {10}, {10}, 10},
        /* The eleventh entry enlarges the first block to 20. */
        {10, 10, 11, {20}, {11}, 20},
        {0, 5, 0, {}, {}, 0},
        {0, 5, 1, {5}, {1}, 5},
        {1, 1, 3, {3}, {3}, 3},
        {1600, 10, 1600, {1600}, {1600}, 1600},
        /* A full block of 1,600 cannot grow: the step becomes a new block. */
        {1600, 10, 1601, {1600, 10}, {1600, 1}, 1610},
        /* The step is split: 5 into the last block, 5 into a new one. */
        {1595, 10, 1596, {1600, 5}, {1596, 0}, 1605},
        {3200, 1, 0, {1600, 1600}, {0, 0}, 3200},
        {3205, 1, 1601, {1600, 1600, 5}, {1600, 1, 0}, 3205},
        /* A large step: the last block filled up, then 1,600 and the rest. */
        {2000, 2000, 2001, {1600, 1600, 800}, {1600, 401, 0}, 4000},
        {0, 3300, 1, {1600, 1600, 100}, {1, 0, 0}, 3300},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.capacity << " + " << c.step << " x " << c.appends);
        List l(JIF_ListCreate(c.capacity, c.step));
        ASSERT_NE(l, nullptr);
        Fill(l.get(), c.appends);
        EXPECT_EQ(JIF_ListCount(l.get()), c.appends);
        EXPECT_EQ(JIF_ListCurrent(l.get()), c.appends);
        EXPECT_EQ(BlockSizes(l.get()), c.sizes);
        EXPECT_EQ(BlockCounts(l.get()), c.counts);
        EXPECT_EQ(l->capacity, c.capacityAfter);
        ExpectMarked(l.get());
    }
}

TEST_F(JobInfoPages, GrowthStepZeroRefusesAtCapacity)
{
    List l(JIF_ListCreate(2, 0));
    Fill(l.get(), 2);
    EXPECT_EQ(JIF_ListAppend(l.get()), 0);
    EXPECT_EQ(JIF_ListCount(l.get()), 2);
    EXPECT_EQ(JIF_ListCurrent(l.get()), 2);
    EXPECT_EQ(JIF_ListCreate(-1, 1), nullptr);
    EXPECT_EQ(JIF_ListCreate(1, -1), nullptr);
    EXPECT_EQ(JIF_ListAppend(nullptr), 0);
}

TEST_F(JobInfoPages, CursorSelectCopyAndPointer)
{
    List l(JIF_ListCreate(4, 4));
    JobInfoPage p{};
    EXPECT_EQ(JIF_ListCurrent(l.get()), 0);
    EXPECT_FALSE(JIF_ListCopyCurrent(l.get(), &p));
    EXPECT_EQ(JIF_ListCurrentEntry(l.get()), nullptr);
    EXPECT_FALSE(JIF_ListSelect(l.get(), 1));

    Fill(l.get(), 3);
    EXPECT_TRUE(JIF_ListSelect(l.get(), 2));
    EXPECT_TRUE(JIF_ListSelect(l.get(), 2)); /* the current one: no-op */
    EXPECT_EQ(JIF_ListCurrent(l.get()), 2);
    EXPECT_FALSE(JIF_ListSelect(l.get(), 4)); /* beyond the count, within the capacity */
    EXPECT_FALSE(JIF_ListSelect(l.get(), 0));
    EXPECT_FALSE(JIF_ListSelect(l.get(), -1));
    EXPECT_EQ(JIF_ListCurrent(l.get()), 2);
    ASSERT_TRUE(JIF_ListCopyCurrent(l.get(), &p));
    EXPECT_EQ(p.pos, 2u);
    JIF_ListCurrentEntry(l.get())->inTray = 7;
    ASSERT_TRUE(JIF_ListCopyCurrent(l.get(), &p));
    EXPECT_EQ(p.inTray, 7u);

    /* A new entry is zeroed and becomes the current one. */
    EXPECT_EQ(JIF_ListAppend(l.get()), 4);
    EXPECT_EQ(JIF_ListCurrent(l.get()), 4);
    ASSERT_TRUE(JIF_ListCopyCurrent(l.get(), &p));
    EXPECT_EQ(p.pos, 0u);
    EXPECT_EQ(p.inTray, 0u);

    EXPECT_EQ(JIF_ListCount(nullptr), 0);
    EXPECT_EQ(JIF_ListCurrent(nullptr), 0);
    EXPECT_FALSE(JIF_ListCopyCurrent(l.get(), nullptr));
    JIF_ListFree(nullptr);
}

TEST_F(JobInfoPages, ClearKeepsTheSlots)
{
    List l(JIF_ListCreate(10, 10));
    Fill(l.get(), 25);
    JIF_ListClear(l.get());
    EXPECT_EQ(JIF_ListCount(l.get()), 0);
    EXPECT_EQ(JIF_ListCurrent(l.get()), 0);
    EXPECT_EQ(l->capacity, 30);
    EXPECT_EQ(BlockCounts(l.get()), std::vector<LONG>{0});
    Fill(l.get(), 2);
    ExpectMarked(l.get());
    JIF_ListClear(nullptr);
}

TEST_F(JobInfoPages, CreateFailsCleanlyAtEveryAllocation)
{
    /* Record, list, block table and three blocks. */
    unsigned long before = JIF_TestAllocCount();
    JobInfoRecord *r = JIF_Create(3300, 10);
    ASSERT_NE(r, nullptr);
    JIF_Destroy(r);
    unsigned long allocations = JIF_TestAllocCount() - before;
    ASSERT_EQ(allocations, 6u);

    for (unsigned k = 1; k <= allocations; k++) {
        SCOPED_TRACE(k);
        JIF_TestFailAllocAfter(k);
        EXPECT_EQ(JIF_Create(3300, 10), nullptr); /* the leak checker sees anything left */
    }
    JIF_TestFailAllocAfter(0);
}

TEST_F(JobInfoPages, GrowthFailureLeavesTheListAsItWas)
{
    /* At 1,595 of 1,595 a step of 3,300 takes: the enlarged last block, a new
     * block table and three new blocks (1,600, 1,600, 95). */
    for (unsigned k = 1; k <= 5; k++) {
        SCOPED_TRACE(k);
        List l(JIF_ListCreate(1595, 3300));
        Fill(l.get(), 1595);
        const JobInfoPageBlock *table = l->blocks;
        const JobInfoPage *entries = l->blocks[0].entries;
        ASSERT_TRUE(JIF_ListSelect(l.get(), 9));

        JIF_TestFailAllocAfter(k);
        EXPECT_EQ(JIF_ListAppend(l.get()), 0);
        EXPECT_EQ(JIF_ListCount(l.get()), 1595);
        EXPECT_EQ(JIF_ListCurrent(l.get()), 9);
        EXPECT_EQ(l->capacity, 1595);
        EXPECT_EQ(l->blocks, table);
        EXPECT_EQ(l->blocks[0].entries, entries);
        EXPECT_EQ(BlockSizes(l.get()), std::vector<LONG>{1595});
        ExpectMarked(l.get());

        /* The next attempt (nothing armed) grows as it should. */
        JIF_TestFailAllocAfter(0);
        Fill(l.get(), 1);
        EXPECT_EQ(BlockSizes(l.get()), (std::vector<LONG>{1600, 1600, 1600, 95}));
        EXPECT_EQ(l->capacity, 4895);
        ExpectMarked(l.get());
    }

    /* Exactly five allocations: a sixth armed failure does not fire. */
    List l(JIF_ListCreate(1595, 3300));
    Fill(l.get(), 1595);
    JIF_TestFailAllocAfter(6);
    EXPECT_EQ(JIF_ListAppend(l.get()), 1596);
}

TEST_F(JobInfoPages, EnlargingFailureInsideOneBlock)
{
    /* Capacity 10, step 10: the eleventh entry needs one new 20-entry block. */
    List l(JIF_ListCreate(10, 10));
    Fill(l.get(), 10);
    JIF_TestFailAllocAfter(1);
    EXPECT_EQ(JIF_ListAppend(l.get()), 0);
    EXPECT_EQ(BlockSizes(l.get()), std::vector<LONG>{10});
    EXPECT_EQ(l->capacity, 10);
    ExpectMarked(l.get());
    Fill(l.get(), 1);
    EXPECT_EQ(BlockSizes(l.get()), std::vector<LONG>{20});
    ExpectMarked(l.get());
}
