/*
 * Fault injection for the platform layer's own services: failed and counted
 * allocations, failed and short file writes, and a simulated full disk.
 *
 * Tests arm a fault, run the code under test and check that it fails cleanly.
 * Every knob is process-wide and cleared by plat::machine_reset, so a test
 * that arms one cannot disturb the next.  A count of n means "the n-th call
 * from now" (n = 1 is the next call); 0 disarms.
 */
#ifndef PLAT_FAULT_H
#define PLAT_FAULT_H

#include <plat/types.h>

namespace plat {

/*
 * Makes the n-th allocation from now fail (n = 1: the next one).  Counted
 * allocations: GlobalAlloc, LocalAlloc, HeapAlloc, GlobalReAlloc,
 * LocalReAlloc and HeapReAlloc.  The failed call returns null with last error
 * ERROR_NOT_ENOUGH_MEMORY and changes nothing; later calls succeed again.
 */
void fault_fail_alloc_after(unsigned n);

/* Allocation calls counted since the last machine_reset (failed ones too). */
unsigned long alloc_count();

/*
 * Makes the n-th WriteFile call from now fail with `error` (ERROR_WRITE_FAULT
 * unless given); nothing is written and the byte count out is 0.
 */
void fault_fail_write_after(unsigned n, DWORD error = ERROR_WRITE_FAULT);

/*
 * Makes the n-th WriteFile call from now write at most `bytes` bytes and
 * report success with that smaller count, as a short write does.
 */
void fault_short_write_after(unsigned n, DWORD bytes);

/* WriteFile calls counted since the last machine_reset. */
unsigned long write_count();

/*
 * Simulates a full disk while `full` is true: every write of one byte or more
 * (WriteFile, growing a file with SetEndOfFile, CopyFileW, profile writes)
 * fails with ERROR_DISK_FULL and leaves the file as it was.
 */
void fault_disk_full(bool full);

/* --- Used by the services themselves --- */

/* Counts one allocation; false when this one is to fail. */
bool fault_alloc_allowed();

/* What the next WriteFile call is to do. */
enum WriteFault { WRITE_NORMAL, WRITE_FAIL, WRITE_SHORT };

/*
 * Counts one WriteFile call and says what it is to do: WRITE_FAIL with the
 * error to report, WRITE_SHORT with the most bytes it may write.
 */
WriteFault fault_next_write(DWORD *error, DWORD *short_bytes);

/* True while the simulated disk is full. */
bool fault_disk_is_full();

} // namespace plat

#endif /* PLAT_FAULT_H */
