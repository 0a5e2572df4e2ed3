// Global, local and private-heap blocks: zero fill, sizes and handles from
// the block table, foreign pointers, reallocation rules, injected failures.
#include <plat/fault.h>
#include <plat/memory.h>

#include "test_file_fixture.h"

#include <cstdlib>
#include <functional>
#include <thread>
#include <vector>

namespace {

class Memory : public MachineTest {};

bool all_zero(const void *p, size_t n)
{
    const BYTE *b = static_cast<const BYTE *>(p);
    for (size_t i = 0; i < n; i++)
        if (b[i])
            return false;
    return true;
}

TEST_F(Memory, EveryFlagGivesZeroFilledBlockOfItsSize)
{
    const UINT flags[] = {GMEM_FIXED, GPTR, GMEM_ZEROINIT, GMEM_MOVEABLE, GHND};
    const SIZE_T sizes[] = {0, 1, 100, 4096};
    for (UINT f : flags) {
        for (SIZE_T n : sizes) {
            SCOPED_TRACE(testing::Message() << "flags " << f << " size " << n);
            HGLOBAL h = GlobalAlloc(f, n);
            ASSERT_NE(h, nullptr);
            void *p = GlobalLock(h);
            ASSERT_NE(p, nullptr);
            EXPECT_EQ((f & GMEM_MOVEABLE) != 0, p != h) << "a moveable block has a handle of its own";
            EXPECT_TRUE(all_zero(p, n));
            EXPECT_EQ(GlobalSize(h), n);
            EXPECT_EQ(GlobalSize(p), n);
            EXPECT_EQ(GlobalHandle(p), h);
            GlobalUnlock(h);
            EXPECT_EQ(GlobalFree(h), nullptr);
        }
    }
}

TEST_F(Memory, ForeignPointersAreNeverBlocks)
{
    BYTE *p = static_cast<BYTE *>(GlobalAlloc(GPTR, 64));
    HGLOBAL moveable = GlobalAlloc(GHND, 64);
    BYTE *mp = static_cast<BYTE *>(GlobalLock(moveable));
    int on_stack = 0;
    void *from_malloc = std::malloc(64);
    void *from_heap = HeapAlloc(GetProcessHeap(), 0, 64);
    const void *foreign[] = {&on_stack, from_malloc, from_heap, p + 1, p + 8, p + 63, p + 64, mp + 4};
    for (const void *f : foreign) {
        SetLastError(0);
        EXPECT_EQ(GlobalSize(const_cast<void *>(f)), 0u);
        EXPECT_EQ(GlobalHandle(f), nullptr);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
        EXPECT_EQ(GlobalFree(const_cast<void *>(f)), f) << "GlobalFree hands back what it cannot free";
    }
    EXPECT_EQ(GlobalSize(nullptr), 0u);
    EXPECT_EQ(GlobalHandle(nullptr), nullptr);
    EXPECT_EQ(GlobalFree(nullptr), nullptr);
    EXPECT_EQ(HeapSize(GetProcessHeap(), 0, p), SIZE_T(-1)) << "a global block is not a heap block";
    EXPECT_EQ(GlobalSize(p), 64u) << "the real block is untouched";

    GlobalUnlock(moveable);
    EXPECT_EQ(GlobalFree(p), nullptr);
    EXPECT_EQ(GlobalFree(p), p) << "a freed block is no longer known";
    EXPECT_EQ(GlobalSize(p), 0u);
    EXPECT_EQ(GlobalFree(moveable), nullptr);
    EXPECT_EQ(GlobalLock(moveable), nullptr);
    EXPECT_TRUE(HeapFree(GetProcessHeap(), 0, from_heap));
    std::free(from_malloc);
}

TEST_F(Memory, MoveableBlockKeepsItsHandleWhenItMoves)
{
    HGLOBAL h = GlobalAlloc(GHND, 16);
    char *p = static_cast<char *>(GlobalLock(h));
    std::memcpy(p, "fifteen chars..", 16);
    EXPECT_FALSE(GlobalUnlock(h));
    EXPECT_EQ(GetLastError(), DWORD(NO_ERROR)) << "unlocked now";
    EXPECT_FALSE(GlobalUnlock(h));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_LOCKED));

    EXPECT_EQ(GlobalReAlloc(h, 1000, 0), h);
    EXPECT_EQ(GlobalSize(h), 1000u);
    char *q = static_cast<char *>(GlobalLock(h));
    EXPECT_STREQ(q, "fifteen chars..");
    EXPECT_TRUE(all_zero(q + 16, 1000 - 16));
    EXPECT_EQ(GlobalSize(p), 0u) << "the old memory is gone";

    /* Locked twice: a reallocation without GMEM_MOVEABLE may only shrink in place. */
    GlobalLock(h);
    EXPECT_EQ(GlobalReAlloc(h, 2000, 0), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(GlobalReAlloc(h, 500, 0), h);
    EXPECT_EQ(GlobalLock(h), q);
    EXPECT_EQ(GlobalSize(h), 500u);
    EXPECT_TRUE(GlobalUnlock(h));
    EXPECT_TRUE(GlobalUnlock(h));
    EXPECT_FALSE(GlobalUnlock(h));
    EXPECT_EQ(GlobalFree(h), nullptr);
}

TEST_F(Memory, FixedBlockMovesOnlyWhenAllowed)
{
    char *p = static_cast<char *>(GlobalAlloc(GPTR, 8));
    std::memcpy(p, "abcdefg", 8);
    EXPECT_EQ(GlobalReAlloc(p, 100, 0), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
    EXPECT_EQ(GlobalSize(p), 8u) << "a failed reallocation changes nothing";
    EXPECT_EQ(GlobalReAlloc(p, 4, 0), p) << "shrinks in place";
    EXPECT_EQ(GlobalSize(p), 4u);

    char *q = static_cast<char *>(GlobalReAlloc(p, 100, GMEM_MOVEABLE));
    ASSERT_NE(q, nullptr);
    EXPECT_NE(q, p);
    EXPECT_EQ(std::string(q, 4), "abcd");
    EXPECT_TRUE(all_zero(q + 4, 96)) << "bytes past the kept size are zero";
    EXPECT_EQ(GlobalHandle(q), q);
    EXPECT_EQ(GlobalSize(p), 0u);
    EXPECT_EQ(GlobalReAlloc(p, 10, GMEM_MOVEABLE), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_EQ(GlobalFree(q), nullptr);
}

TEST_F(Memory, LocalAndGlobalShareTheirBlocks)
{
    HLOCAL l = LocalAlloc(LPTR, 10);
    EXPECT_EQ(GlobalSize(l), 10u);
    EXPECT_EQ(LocalHandle(l), l);
    HLOCAL m = LocalAlloc(LHND, 3);
    EXPECT_NE(LocalLock(m), m);
    EXPECT_FALSE(LocalUnlock(m));
    EXPECT_EQ(LocalSize(m), 3u);
    EXPECT_EQ(GlobalFree(l), nullptr);
    EXPECT_EQ(LocalFree(m), nullptr);
}

/* One counted allocation call: null on failure; on success the new block replaces *subject's. */
struct AllocCall {
    const char *name;
    std::function<void *(HANDLE heap, void **global, void **block)> call;
};

TEST_F(Memory, InjectedFailureHitsTheNthAllocation)
{
    const std::vector<AllocCall> calls = {
        {"GlobalAlloc", [](HANDLE, void **, void **) { return GlobalAlloc(GPTR, 8); }},
        {"LocalAlloc", [](HANDLE, void **, void **) { return LocalAlloc(LPTR, 8); }},
        {"HeapAlloc", [](HANDLE h, void **, void **) { return HeapAlloc(h, 0, 8); }},
        {"GlobalReAlloc",
         [](HANDLE, void **g, void **) {
             void *p = GlobalReAlloc(*g, 32, GMEM_MOVEABLE);
             return p ? (*g = p) : nullptr;
         }},
        {"HeapReAlloc",
         [](HANDLE h, void **, void **b) {
             void *p = HeapReAlloc(h, 0, *b, 32);
             return p ? (*b = p) : nullptr;
         }},
    };
    for (const auto &c : calls) {
        for (unsigned n : {1u, 3u}) {
            SCOPED_TRACE(testing::Message() << c.name << ", failing call " << n);
            HANDLE heap = HeapCreate(0, 0, 0);
            void *global = GlobalAlloc(GPTR, 16);
            void *block = HeapAlloc(heap, 0, 16);
            std::vector<void *> others;
            unsigned long before = plat::alloc_count();
            plat::fault_fail_alloc_after(n);
            for (unsigned i = 1; i < n; i++)
                others.push_back(GlobalAlloc(GPTR, 1));
            SetLastError(0);
            void *failed = c.call(heap, &global, &block);
            EXPECT_EQ(failed, nullptr);
            EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
            EXPECT_EQ(plat::alloc_count(), before + n);
            EXPECT_EQ(GlobalSize(global), 16u) << "a failed call leaves the blocks alone";
            EXPECT_EQ(HeapSize(heap, 0, block), 16u);
            for (void *o : others)
                EXPECT_EQ(GlobalFree(o), nullptr) << "the calls before the failing one succeed";
            void *later = c.call(heap, &global, &block);
            EXPECT_NE(later, nullptr) << "only one call fails";
            std::string name = c.name;
            if (name == "GlobalAlloc" || name == "LocalAlloc") {
                EXPECT_EQ(GlobalFree(later), nullptr); /* heap blocks go with their heap */
            }
            GlobalFree(global);
            HeapDestroy(heap);
        }
    }
}

TEST_F(Memory, ResetDisarmsInjectionAndCounter)
{
    plat::fault_fail_alloc_after(1);
    void *p = GlobalAlloc(GPTR, 1);
    EXPECT_EQ(p, nullptr);
    plat::fault_fail_alloc_after(1);
    plat::machine_reset(root.string());
    EXPECT_EQ(plat::alloc_count(), 0u);
    p = GlobalAlloc(GPTR, 1);
    EXPECT_NE(p, nullptr);
    EXPECT_EQ(plat::alloc_count(), 1u);
    GlobalFree(p);
}

TEST_F(Memory, ImpossibleSizesFailCleanly)
{
    const SIZE_T sizes[] = {SIZE_T(-1), SIZE_T(1) << 40, (SIZE_T(1) << 31) + 1};
    HANDLE heap = HeapCreate(0, 0, 0);
    void *small = HeapAlloc(heap, 0, 4);
    for (SIZE_T n : sizes) {
        EXPECT_EQ(GlobalAlloc(GPTR, n), nullptr);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
        EXPECT_EQ(HeapAlloc(heap, 0, n), nullptr);
        EXPECT_EQ(HeapReAlloc(heap, 0, small, n), nullptr);
    }
    EXPECT_EQ(HeapSize(heap, 0, small), 4u);
    EXPECT_TRUE(HeapDestroy(heap));
}

TEST_F(Memory, HeapDestroyReleasesEveryBlock)
{
    /* LeakSanitizer checks at exit that nothing of the heap is left. */
    HANDLE heap = HeapCreate(0, 8192, 0);
    ASSERT_NE(heap, nullptr);
    std::vector<void *> blocks;
    for (int i = 0; i < 100; i++)
        blocks.push_back(HeapAlloc(heap, HEAP_ZERO_MEMORY, size_t(i) * 10 + 1));
    for (int i = 0; i < 100; i += 3)
        blocks[i] = HeapReAlloc(heap, 0, blocks[i], 5000);
    EXPECT_TRUE(HeapFree(heap, 0, blocks[1]));
    EXPECT_EQ(HeapSize(heap, 0, blocks[0]), 5000u);
    EXPECT_TRUE(all_zero(blocks[0], 5000));

    EXPECT_TRUE(HeapDestroy(heap));
    EXPECT_EQ(HeapAlloc(heap, 0, 1), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
    EXPECT_EQ(HeapSize(heap, 0, blocks[0]), SIZE_T(-1));
    EXPECT_FALSE(HeapDestroy(heap));
    EXPECT_FALSE(HeapDestroy(GetProcessHeap())) << "the process heap is never destroyed";
    EXPECT_FALSE(HeapDestroy(nullptr));
}

TEST_F(Memory, HeapBlocksBelongToTheirHeap)
{
    HANDLE a = HeapCreate(0, 0, 0), b = HeapCreate(0, 0, 0);
    void *p = HeapAlloc(a, 0, 10);
    EXPECT_EQ(HeapSize(b, 0, p), SIZE_T(-1));
    EXPECT_FALSE(HeapFree(b, 0, p));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(HeapReAlloc(b, 0, p, 20), nullptr);
    EXPECT_EQ(GlobalSize(p), 0u) << "a heap block is not a global block";
    EXPECT_TRUE(HeapFree(a, 0, nullptr));
    EXPECT_TRUE(HeapFree(a, 0, p));
    EXPECT_FALSE(HeapFree(a, 0, p)) << "freed twice";
    HeapDestroy(a);
    HeapDestroy(b);
}

TEST_F(Memory, HeapReAllocInPlaceOnlyNeverMoves)
{
    HANDLE heap = HeapCreate(0, 0, 0);
    char *p = static_cast<char *>(HeapAlloc(heap, 0, 100));
    p[0] = 'x';
    EXPECT_EQ(HeapReAlloc(heap, HEAP_REALLOC_IN_PLACE_ONLY, p, 200), nullptr);
    EXPECT_EQ(HeapReAlloc(heap, HEAP_REALLOC_IN_PLACE_ONLY, p, 50), p);
    EXPECT_EQ(HeapSize(heap, 0, p), 50u);
    char *q = static_cast<char *>(HeapReAlloc(heap, HEAP_ZERO_MEMORY, p, 300));
    ASSERT_NE(q, nullptr);
    EXPECT_EQ(q[0], 'x');
    EXPECT_TRUE(all_zero(q + 50, 250));
    HeapDestroy(heap);
}

TEST_F(Memory, HeapMaximumLimitsLiveBytes)
{
    HANDLE heap = HeapCreate(0, 0, 1000);
    void *a = HeapAlloc(heap, 0, 600);
    ASSERT_NE(a, nullptr);
    EXPECT_EQ(HeapAlloc(heap, 0, 600), nullptr);
    EXPECT_EQ(HeapReAlloc(heap, 0, a, 1001), nullptr);
    EXPECT_TRUE(HeapFree(heap, 0, a));
    void *b = HeapAlloc(heap, 0, 1000);
    EXPECT_NE(b, nullptr);
    EXPECT_EQ(HeapCreate(0, 2000, 1000), nullptr) << "initial above maximum";
    HeapDestroy(heap);
}

TEST_F(Memory, TablesHoldUpUnderConcurrentUse)
{
    HANDLE shared = HeapCreate(0, 0, 0);
    std::vector<std::thread> threads;
    for (int t = 0; t < 4; t++) {
        threads.emplace_back([shared, t] {
            for (int i = 0; i < 2000; i++) {
                void *g = GlobalAlloc(i % 2 ? GHND : GPTR, size_t(i % 64) + 1);
                void *h = HeapAlloc(shared, 0, size_t(t) + 1);
                GlobalSize(g);
                GlobalHandle(GlobalLock(g));
                GlobalUnlock(g);
                HeapFree(shared, 0, h);
                GlobalFree(g);
            }
        });
    }
    for (auto &th : threads)
        th.join();
    EXPECT_TRUE(HeapDestroy(shared));
}

} // namespace
