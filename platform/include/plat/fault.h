/*
 * Fault injection for the platform layer's own services: failed and counted
 * allocations, failed and short file writes, failed reads, unreadable
 * stores, deaths during a store's save, and a simulated full disk.
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
 * Makes the n-th ReadFile call from now fail with `error` (ERROR_READ_FAULT
 * unless given); nothing is read and the byte count out is 0.
 */
void fault_fail_read_after(unsigned n, DWORD error = ERROR_READ_FAULT);

/* ReadFile calls counted since the last machine_reset. */
unsigned long read_count();

/*
 * Makes every read of a store file of the machine folder (the spooler's
 * and the registry's) fail with `error` (ERROR_ACCESS_DENIED or
 * ERROR_READ_FAULT) while it is not 0, as an unreadable file does.
 */
void fault_fail_store_reads(DWORD error);

/* The steps of a store's save, in order, for fault_kill_save_at. */
enum SaveStep {
    SAVE_STEP_CREATED = 1,  /* the temporary file exists, empty */
    SAVE_STEP_HALF_WRITTEN, /* half of the new bytes written */
    SAVE_STEP_WRITTEN,      /* all written, not yet flushed */
    SAVE_STEP_FLUSHED,      /* flushed and closed, not yet renamed */
    SAVE_STEP_RENAMED,      /* renamed over the old file */
    SAVE_STEP_COUNT = SAVE_STEP_RENAMED
};

/*
 * Kills the process (SIGKILL) when the n-th store save from now reaches
 * `step`; 0 disarms.  For tests that run the save in a child process and
 * check that the store survives a death at any point.
 */
void fault_kill_save_at(unsigned n, SaveStep step);

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

/* Counts one ReadFile call; true (with the error) when this one is to fail. */
bool fault_next_read(DWORD *error);

/* The error an armed store-read fault gives (0: none). */
DWORD fault_store_read_error();

/* A store's save reached `step` (a save starts at SAVE_STEP_CREATED); kills the process when armed for it. */
void fault_save_step(SaveStep step);

} // namespace plat

#endif /* PLAT_FAULT_H */
