/*
 * Run-time heap allocation of the job-information record and its page list,
 * with a test-only failure hook: the record uses malloc / free rather than
 * the platform's GlobalAlloc, so the platform's allocation fault injection
 * does not reach it.  Tests arm JIF_TestFailAllocAfter to reach every
 * allocation failure path of JIF_Create, JIF_ListCreate and JIF_ListAppend.
 */
#ifndef TARVEL_JOB_INFO_ALLOC_H
#define TARVEL_JOB_INFO_ALLOC_H

#include <cstddef>

/*
 * Allocates `count` zero-filled elements of `size` bytes from the run-time
 * heap.  Returns null when the product overflows, memory runs out or the
 * test hook makes this allocation fail.  Free with JIF_Free.
 */
void *JIF_Alloc(size_t count, size_t size);

/* Frees a block of JIF_Alloc; null is allowed. */
void JIF_Free(void *block);

/*
 * Test only: makes the n-th JIF_Alloc call from now fail (n = 1: the next
 * one); 0 disarms.  The hook disarms itself once it has fired.
 */
void JIF_TestFailAllocAfter(unsigned n);

/* Test only: JIF_Alloc calls since the process started (failed ones too). */
unsigned long JIF_TestAllocCount();

#endif /* TARVEL_JOB_INFO_ALLOC_H */
