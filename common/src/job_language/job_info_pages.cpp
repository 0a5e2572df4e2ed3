/*
 * The page list of the job-information record: page entries kept in blocks
 * of at most 1,600 (64,000 bytes each), numbered from 1, with a cursor, and
 * the run-time heap allocator the record and the list share (with its
 * test-only failure hook).
 *
 * Invariant: every block but the last holds exactly JIF_PAGES_PER_BLOCK
 * slots, and entries fill the blocks in order, so entry n is found by
 * division; the list is grown only at the end.
 */
#include "job_info_alloc.h"

#include <tarvel/job_language/job_info.h>

#include <atomic>
#include <cassert>
#include <cstdint>
#include <cstdlib>
#include <cstring>

namespace {

/* Test hook state; atomic because jobs on several threads allocate. */
std::atomic<unsigned> g_failAllocAfter{0}; /* 0: disarmed */
std::atomic<unsigned long> g_allocCount{0};

/* Blocks needed for `slots` slots: blocks of 1,600, then one for the rest. */
LONG BlocksFor(LONG slots)
{
    return slots / JIF_PAGES_PER_BLOCK + (slots % JIF_PAGES_PER_BLOCK ? 1 : 0);
}

/* Allocates `n` blocks into table[first...] sized 1,600 each, the last one
 * holding what is left of `slots`.  On failure frees what it took; false. */
bool AllocBlocks(JobInfoPageBlock *table, LONG first, LONG n, LONG slots)
{
    for (LONG i = 0; i < n; i++) {
        LONG size = slots > JIF_PAGES_PER_BLOCK ? JIF_PAGES_PER_BLOCK : slots;
        table[first + i].entries = static_cast<JobInfoPage *>(JIF_Alloc(size_t(size), sizeof(JobInfoPage)));
        if (!table[first + i].entries) {
            for (LONG j = 0; j < i; j++) {
                JIF_Free(table[first + j].entries);
                table[first + j].entries = nullptr;
            }
            return false;
        }
        table[first + i].count = 0;
        table[first + i].size = size;
        slots -= size;
    }
    return true;
}

/* Slot of entry n (1..capacity). */
JobInfoPage *EntryAt(const JobInfoPageList *list, LONG n)
{
    LONG block = (n - 1) / JIF_PAGES_PER_BLOCK;
    LONG index = (n - 1) % JIF_PAGES_PER_BLOCK;
    assert(block < list->blockCount && index < list->blocks[block].size);
    return &list->blocks[block].entries[index];
}

/*
 * Grows the list by its growth step: the last block enlarged as far as
 * 1,600 slots allow, the rest of the step as new blocks.  Everything is
 * allocated before anything is changed, so a failure leaves the list as it
 * was.  Returns false when memory runs out.
 */
bool GrowList(JobInfoPageList *list)
{
    LONG step = list->growthStep;
    JobInfoPageBlock *last = list->blockCount ? &list->blocks[list->blockCount - 1] : nullptr;

    /* Part of the step that fits into the last block. */
    LONG widen = 0;
    if (last) {
        widen = JIF_PAGES_PER_BLOCK - last->size;
        if (widen > step)
            widen = step;
    }
    LONG rest = step - widen;
    LONG newBlocks = BlocksFor(rest);

    JobInfoPage *widened = nullptr;
    if (widen > 0) {
        widened = static_cast<JobInfoPage *>(JIF_Alloc(size_t(last->size + widen), sizeof(JobInfoPage)));
        if (!widened)
            return false;
    }

    JobInfoPageBlock *table = list->blocks;
    if (newBlocks > 0) {
        table = static_cast<JobInfoPageBlock *>(
            JIF_Alloc(size_t(list->blockCount) + size_t(newBlocks), sizeof(JobInfoPageBlock)));
        if (!table || !AllocBlocks(table, list->blockCount, newBlocks, rest)) {
            JIF_Free(table);
            JIF_Free(widened);
            return false;
        }
        for (LONG i = 0; i < list->blockCount; i++)
            table[i] = list->blocks[i];
    }

    /* Commit. */
    if (newBlocks > 0) {
        JIF_Free(list->blocks);
        list->blocks = table;
        list->blockCount += newBlocks;
        last = widen > 0 ? &list->blocks[list->blockCount - newBlocks - 1] : nullptr;
    }
    if (widened) {
        memcpy(widened, last->entries, size_t(last->count) * sizeof(JobInfoPage));
        JIF_Free(last->entries);
        last->entries = widened;
        last->size += widen;
    }
    list->capacity += step;
    return true;
}

} // namespace

void *JIF_Alloc(size_t count, size_t size)
{
    g_allocCount++;
    /* Count the armed hook down; the call that takes it from 1 to 0 fails. */
    unsigned armed = g_failAllocAfter.load();
    while (armed > 0 && !g_failAllocAfter.compare_exchange_weak(armed, armed - 1)) {
    }
    if (armed == 1)
        return nullptr;
    if (count == 0)
        count = 1; /* a zero-size request still gets a distinct block */
    return calloc(count, size); /* checks count * size for overflow */
}

void JIF_Free(void *block)
{
    free(block);
}

void JIF_TestFailAllocAfter(unsigned n)
{
    g_failAllocAfter = n;
}

unsigned long JIF_TestAllocCount()
{
    return g_allocCount;
}

JobInfoPageList *JIF_ListCreate(LONG capacity, LONG growthStep)
{
    if (capacity < 0 || growthStep < 0)
        return nullptr;
    auto *list = static_cast<JobInfoPageList *>(JIF_Alloc(1, sizeof(JobInfoPageList)));
    if (!list)
        return nullptr;
    LONG blocks = BlocksFor(capacity);
    if (blocks > 0) {
        list->blocks = static_cast<JobInfoPageBlock *>(JIF_Alloc(size_t(blocks), sizeof(JobInfoPageBlock)));
        if (!list->blocks || !AllocBlocks(list->blocks, 0, blocks, capacity)) {
            JIF_Free(list->blocks);
            JIF_Free(list);
            return nullptr;
        }
    }
    list->blockCount = blocks;
    list->capacity = capacity;
    list->growthStep = growthStep;
    return list;
}

void JIF_ListFree(JobInfoPageList *list)
{
    if (!list)
        return;
    for (LONG i = 0; i < list->blockCount; i++)
        JIF_Free(list->blocks[i].entries);
    JIF_Free(list->blocks);
    JIF_Free(list);
}

LONG JIF_ListCount(const JobInfoPageList *list)
{
    return list ? list->count : 0;
}

LONG JIF_ListCurrent(const JobInfoPageList *list)
{
    return list ? list->current : 0;
}

BOOL JIF_ListSelect(JobInfoPageList *list, LONG n)
{
    if (!list || n < 1 || n > list->count)
        return FALSE;
    list->current = n;
    return TRUE;
}

BOOL JIF_ListCopyCurrent(const JobInfoPageList *list, JobInfoPage *out)
{
    if (!list || !out || list->current < 1)
        return FALSE;
    *out = *EntryAt(list, list->current);
    return TRUE;
}

JobInfoPage *JIF_ListCurrentEntry(JobInfoPageList *list)
{
    if (!list || list->current < 1)
        return nullptr;
    return EntryAt(list, list->current);
}

LONG JIF_ListAppend(JobInfoPageList *list)
{
    if (!list || list->count == INT32_MAX)
        return 0;
    if (list->count >= list->capacity) {
        if (list->growthStep <= 0 || list->growthStep > INT32_MAX - list->capacity)
            return 0;
        if (!GrowList(list))
            return 0;
    }
    LONG n = list->count + 1;
    JobInfoPage *entry = EntryAt(list, n);
    *entry = JobInfoPage{};
    list->blocks[(n - 1) / JIF_PAGES_PER_BLOCK].count++;
    list->count = n;
    list->current = n;
    return n;
}

void JIF_ListClear(JobInfoPageList *list)
{
    if (!list)
        return;
    for (LONG i = 0; i < list->blockCount; i++) {
        memset(list->blocks[i].entries, 0, size_t(list->blocks[i].size) * sizeof(JobInfoPage));
        list->blocks[i].count = 0;
    }
    list->count = 0;
    list->current = 0;
}
