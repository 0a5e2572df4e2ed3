// The stale-handle loop every area's tests run on its handle kinds: objects
// are made with side data (properties, selections, states), destroyed, and
// made again without it, round after round, until a handle value comes back
// or the rounds run out.  A destroyed object's handle must be refused as
// the kind refuses a bad handle, and a new object must carry none of an
// old one's side data, whatever address the allocator gives its record.
#ifndef PLAT_TEST_STALE_HANDLES_H
#define PLAT_TEST_STALE_HANDLES_H

#include <gtest/gtest.h>

#if defined(__SANITIZE_ADDRESS__) || defined(__SANITIZE_THREAD__)
/* The sanitizers' allocator answers this (GCC ships no header that declares it). */
extern "C" int __sanitizer_get_ownership(const volatile void *p);
#define PLAT_TEST_KNOWS_HEAP_BLOCKS 1
#endif

#include <cstdint>
#include <functional>
#include <string>
#include <unordered_set>

namespace plat_test {

/*
 * True when `value` is the start of a live heap block, where the build's
 * sanitizer can tell (false elsewhere).  A sanitizer holds freed blocks back
 * for a long while, so a loop there rarely sees an address come back; a
 * handle that is a record's address shows here instead.
 */
inline bool is_heap_block(uintptr_t value)
{
#ifdef PLAT_TEST_KNOWS_HEAP_BLOCKS
    return __sanitizer_get_ownership(reinterpret_cast<const void *>(value)) != 0;
#else
    (void)value;
    return false;
#endif
}

/* One handle kind as the loop drives it; a handle is passed as its value. */
struct StaleHandleKind {
    std::string name;
    /* A new object, given the kind's side data when `dressed`; 0 when it cannot be made. */
    std::function<uintptr_t(bool dressed)> make;
    /* Destroys the object; false when the kind's destroy call fails. */
    std::function<bool(uintptr_t)> destroy;
    /* True when a destroyed object's handle is refused with the kind's failure (reads before writes). */
    std::function<bool(uintptr_t)> refused;
    /* True when a live object carries none of the side data that `make` gives a dressed one. */
    std::function<bool(uintptr_t)> bare;
};

/*
 * Runs `rounds` rounds of the loop on `kind` (each makes a dressed object,
 * destroys it, makes a bare one, checks both and destroys the bare one),
 * stopping at the first failure or repeated handle value.  A repeated value
 * fails the test: the kinds promise values that are never reused, and so
 * does a value that is the address of a heap block.  Answers the rounds
 * that ran in full.
 */
inline int run_stale_handle_rounds(const StaleHandleKind &kind, int rounds)
{
    SCOPED_TRACE(kind.name);
    std::unordered_set<uintptr_t> seen;
    for (int round = 0; round < rounds; ++round) {
        SCOPED_TRACE(testing::Message() << "round " << round);
        const uintptr_t old = kind.make(true);
        if (old == 0) {
            ADD_FAILURE() << "the dressed object was not made";
            return round;
        }
        if (!kind.destroy(old)) {
            ADD_FAILURE() << "the dressed object was not destroyed";
            return round;
        }
        const uintptr_t fresh = kind.make(false);
        if (fresh == 0) {
            ADD_FAILURE() << "the bare object was not made";
            return round;
        }
        /* A value seen before is checked all the same: that is where a reused record shows. */
        const bool oldNew = seen.insert(old).second;
        const bool freshNew = seen.insert(fresh).second;
        const bool repeated = !oldNew || !freshNew;
        const bool address = is_heap_block(fresh);
        const bool staleRefused = fresh == old ? false : kind.refused(old);
        const bool freshBare = kind.bare(fresh);
        const bool freshDestroyed = kind.destroy(fresh);
        EXPECT_FALSE(repeated) << "a handle value came back: 0x" << std::hex << (fresh == old ? fresh : old);
        EXPECT_FALSE(address) << "a handle is the address of its record, which a later record may take";
        EXPECT_TRUE(staleRefused) << "the destroyed object's handle was not refused";
        EXPECT_TRUE(freshBare) << "the new object carries the destroyed one's side data";
        EXPECT_TRUE(freshDestroyed) << "the bare object was not destroyed";
        if (repeated || address || !staleRefused || !freshBare || !freshDestroyed)
            return round;
    }
    return rounds;
}

} // namespace plat_test

#endif // PLAT_TEST_STALE_HANDLES_H
