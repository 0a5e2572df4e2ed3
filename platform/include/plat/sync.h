/*
 * Synchronisation under the Windows names: critical sections, events,
 * mutexes, waits on handles and the Interlocked functions, as a thin layer
 * over the C++ standard library.
 *
 * Events and mutexes may carry a name, which is process-wide in the machine:
 * creating a name that exists opens the existing object (ERROR_ALREADY_EXISTS),
 * and events and mutexes share one namespace.  Names compare case-sensitively;
 * "Local\" in front of a name is dropped (it names the default namespace),
 * "Global\" is kept.  machine_reset forgets every name; open handles stay
 * valid.
 *
 * Timed waits run on the machine clock (clock.h): on a fixed clock a wait
 * ends when plat::clock_advance or Sleep moves the clock past its deadline;
 * on the real clock it is a real time-out.
 *
 * Handles of events, mutexes and threads are closed with
 * plat::sync_close_handle (CloseHandle dispatches to it).
 */
#ifndef PLAT_SYNC_H
#define PLAT_SYNC_H

#include <plat/access.h>
#include <plat/clock.h>
#include <plat/types.h>

#include <cstddef>

/* Security attributes are accepted and ignored; callers pass null. */
struct SECURITY_ATTRIBUTES;
typedef SECURITY_ATTRIBUTES *LPSECURITY_ATTRIBUTES;

#define WAIT_OBJECT_0 0x00000000u
#define WAIT_ABANDONED 0x00000080u
#define WAIT_ABANDONED_0 0x00000080u
#define WAIT_TIMEOUT 0x00000102u
#define WAIT_FAILED 0xFFFFFFFFu
#define MAXIMUM_WAIT_OBJECTS 64

#ifndef ERROR_NOT_OWNER
#define ERROR_NOT_OWNER 288L
#endif

/* Access rights for OpenEventW / OpenMutexW (accepted, not enforced; SYNCHRONIZE in plat/access.h). */
#define EVENT_MODIFY_STATE 0x0002u
#define EVENT_ALL_ACCESS 0x001F0003u
#define MUTEX_MODIFY_STATE 0x0001u
#define MUTEX_ALL_ACCESS 0x001F0001u

/*
 * A critical section: a fixed-size record that can be embedded in other
 * records (40 bytes on 64-bit, 24 on 32-bit, as on Windows).  `impl` points
 * to a heap-allocated recursive lock made by InitializeCriticalSection and
 * freed by DeleteCriticalSection; the other members are reserved.
 */
struct CRITICAL_SECTION {
    void *impl;
    LONG reserved_count;
    LONG reserved_recursion;
    HANDLE reserved_owner;
    HANDLE reserved_semaphore;
    ULONG_PTR reserved_spin;
};
typedef CRITICAL_SECTION *LPCRITICAL_SECTION;
typedef CRITICAL_SECTION *PCRITICAL_SECTION;
static_assert(sizeof(CRITICAL_SECTION) == 4 * sizeof(void *) + 8, "CRITICAL_SECTION layout");

/* Makes `cs` usable.  A failed allocation leaves a section that takes no lock. */
void InitializeCriticalSection(LPCRITICAL_SECTION cs);

/* As InitializeCriticalSection; FALSE (ERROR_NOT_ENOUGH_MEMORY) when it fails.  The spin count is ignored. */
BOOL InitializeCriticalSectionAndSpinCount(LPCRITICAL_SECTION cs, DWORD spin);

/* Takes the section, waiting as long as another thread holds it; the holder may enter again. */
void EnterCriticalSection(LPCRITICAL_SECTION cs);

/* Takes the section if no other thread holds it: TRUE when taken. */
BOOL TryEnterCriticalSection(LPCRITICAL_SECTION cs);

/* Gives up one level of the section; ignored when the caller does not hold it. */
void LeaveCriticalSection(LPCRITICAL_SECTION cs);

/* Frees the section's lock; the record may then be initialised again. */
void DeleteCriticalSection(LPCRITICAL_SECTION cs);

/*
 * Creates an event (manual-reset or auto-reset, initially signalled or not),
 * or opens the existing object of that name: then the state arguments are
 * ignored and the last error is ERROR_ALREADY_EXISTS (ERROR_SUCCESS for a
 * new object).  A name held by a mutex: null, ERROR_INVALID_HANDLE.
 * Returns a new handle; close it with CloseHandle.
 */
HANDLE CreateEventW(LPSECURITY_ATTRIBUTES sa, BOOL manual_reset, BOOL initial_state, LPCWSTR name);

/*
 * Opens the named event: a new handle, or null with ERROR_FILE_NOT_FOUND
 * (no such name), ERROR_INVALID_HANDLE (the name is a mutex) or
 * ERROR_INVALID_PARAMETER (null name).
 */
HANDLE OpenEventW(DWORD access, BOOL inherit, LPCWSTR name);

/* CreateEventW and OpenEventW with a name in the ANSI code page (ERROR_INVALID_NAME when it does not convert). */
HANDLE CreateEventA(LPSECURITY_ATTRIBUTES sa, BOOL manual_reset, BOOL initial_state, LPCSTR name);
HANDLE OpenEventA(DWORD access, BOOL inherit, LPCSTR name);

/* Signals the event; FALSE with ERROR_INVALID_HANDLE for anything but an event handle. */
BOOL SetEvent(HANDLE event);

/* Clears the event; FALSE with ERROR_INVALID_HANDLE for anything but an event handle. */
BOOL ResetEvent(HANDLE event);

/*
 * Creates a mutex, owned by the caller when `initial_owner`, or opens the
 * existing object of that name (ownership then not taken; last error
 * ERROR_ALREADY_EXISTS).  Otherwise as CreateEventW.
 */
HANDLE CreateMutexW(LPSECURITY_ATTRIBUTES sa, BOOL initial_owner, LPCWSTR name);

/* Opens the named mutex, as OpenEventW. */
HANDLE OpenMutexW(DWORD access, BOOL inherit, LPCWSTR name);

/*
 * Gives up one level of ownership of the mutex.  FALSE with ERROR_NOT_OWNER
 * when the caller does not own it, ERROR_INVALID_HANDLE for a bad handle.
 */
BOOL ReleaseMutex(HANDLE mutex);

/*
 * Waits until the object is signalled or `ms` milliseconds of machine time
 * pass (INFINITE: no time-out; 0: test and return).  A signalled auto-reset
 * event is reset and a mutex becomes owned (again) by the caller.  Answers
 * WAIT_OBJECT_0, WAIT_ABANDONED (a mutex whose owner thread ended holding it;
 * the caller owns it now), WAIT_TIMEOUT, or WAIT_FAILED with
 * ERROR_INVALID_HANDLE.
 */
DWORD WaitForSingleObject(HANDLE handle, DWORD ms);

/*
 * Waits for one (`wait_all` FALSE: the lowest-numbered signalled one wins)
 * or all of `count` objects at once.  Answers WAIT_OBJECT_0 + i,
 * WAIT_ABANDONED_0 + i (with wait_all: all signalled and object i the first
 * abandoned mutex), WAIT_TIMEOUT or WAIT_FAILED: ERROR_INVALID_PARAMETER for
 * a count of 0 or above MAXIMUM_WAIT_OBJECTS, a null array, or one object
 * given twice; ERROR_INVALID_HANDLE for a bad handle.
 */
DWORD WaitForMultipleObjects(DWORD count, const HANDLE *handles, BOOL wait_all, DWORD ms);

/* Atomic operations on 32-bit values and pointers; each answers as documented. */
inline LONG InterlockedIncrement(LONG volatile *p) { return __atomic_add_fetch(p, 1, __ATOMIC_SEQ_CST); }
inline LONG InterlockedDecrement(LONG volatile *p) { return __atomic_sub_fetch(p, 1, __ATOMIC_SEQ_CST); }
/* Stores `v`; answers the previous value. */
inline LONG InterlockedExchange(LONG volatile *p, LONG v) { return __atomic_exchange_n(p, v, __ATOMIC_SEQ_CST); }
/* Adds `v`; answers the previous value. */
inline LONG InterlockedExchangeAdd(LONG volatile *p, LONG v) { return __atomic_fetch_add(p, v, __ATOMIC_SEQ_CST); }
/* Stores `v` when *p equals `cmp`; answers the previous value. */
inline LONG InterlockedCompareExchange(LONG volatile *p, LONG v, LONG cmp)
{
    __atomic_compare_exchange_n(p, &cmp, v, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
    return cmp;
}
inline PVOID InterlockedExchangePointer(PVOID volatile *p, PVOID v) { return __atomic_exchange_n(p, v, __ATOMIC_SEQ_CST); }
inline PVOID InterlockedCompareExchangePointer(PVOID volatile *p, PVOID v, PVOID cmp)
{
    __atomic_compare_exchange_n(p, &cmp, v, false, __ATOMIC_SEQ_CST, __ATOMIC_SEQ_CST);
    return cmp;
}

namespace plat {

/*
 * Closes a handle of an event, a mutex or a thread: true when it was one
 * (the object lives on while other handles or running waits hold it; a
 * running thread keeps running), false when the handle is none of these.
 */
bool sync_close_handle(HANDLE handle);

/* Number of threads blocked in a wait right now, so that tests can tell a waiter has started waiting. */
size_t sync_waiting_threads();

} // namespace plat

#endif /* PLAT_SYNC_H */
