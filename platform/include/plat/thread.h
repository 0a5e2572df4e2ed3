/*
 * Threads under the Windows names, over std::thread.  A thread handle is
 * waitable (signalled when the thread's function returns) and answers the
 * thread's exit code.  Mutexes a thread still owns when it ends are
 * abandoned before its handle is signalled.
 *
 * Thread priorities are Linux nice values of the thread (setpriority on its
 * thread id), relative to the nice value the process had when priorities
 * were first used: each step of the Windows scale below or above normal is
 * 5 nice values (LOWEST +10, BELOW_NORMAL +5, ABOVE_NORMAL -5, HIGHEST
 * -10), IDLE is nice 19 and TIME_CRITICAL nice -20, clamped to -20..19.
 * Lowering is always allowed.  Raising goes only as far as the process may
 * (an unprivileged process cannot lower its nice value below 20 minus its
 * RLIMIT_NICE, by default not at all).
 */
#ifndef PLAT_THREAD_H
#define PLAT_THREAD_H

#include <plat/sync.h>

typedef DWORD (*LPTHREAD_START_ROUTINE)(LPVOID param);

/* CREATE_SUSPENDED and STILL_ACTIVE also serve process creation. */
#ifndef CREATE_SUSPENDED
#define CREATE_SUSPENDED 0x00000004u
#endif
#define STACK_SIZE_PARAM_IS_A_RESERVATION 0x00010000u
#define THREAD_PRIORITY_IDLE (-15)
#define THREAD_PRIORITY_LOWEST (-2)
#define THREAD_PRIORITY_BELOW_NORMAL (-1)
#define THREAD_PRIORITY_NORMAL 0
#define THREAD_PRIORITY_ABOVE_NORMAL 1
#define THREAD_PRIORITY_HIGHEST 2
#define THREAD_PRIORITY_TIME_CRITICAL 15
#define THREAD_PRIORITY_ERROR_RETURN 0x7FFFFFFF
#ifndef ERROR_PRIVILEGE_NOT_HELD
#define ERROR_PRIVILEGE_NOT_HELD 1314L
#endif
#ifndef STILL_ACTIVE
#define STILL_ACTIVE 259u
#endif

/*
 * Starts `start(param)` on a new thread, held before its first instruction
 * when `flags` has CREATE_SUSPENDED (ResumeThread lets it go).  The stack
 * size is ignored (the standard library picks it).  Stores the new thread's
 * id (as GetCurrentThreadId answers it there) in `*tid` when given.
 * Returns the thread's handle (close it with CloseHandle; the thread keeps
 * running), or null with ERROR_INVALID_PARAMETER (no function) or
 * ERROR_NOT_ENOUGH_MEMORY (no thread could be started).
 */
HANDLE CreateThread(LPSECURITY_ATTRIBUTES sa, SIZE_T stack_size, LPTHREAD_START_ROUTINE start, LPVOID param,
                    DWORD flags, LPDWORD tid);

/*
 * Lowers the thread's suspend count by one, starting it at zero.  Answers the
 * previous count, or (DWORD)-1 with ERROR_INVALID_HANDLE.
 */
DWORD ResumeThread(HANDLE thread);

/*
 * Stores the thread's exit code (STILL_ACTIVE while it runs) in `*code`.
 * FALSE with ERROR_INVALID_HANDLE or ERROR_INVALID_PARAMETER (null `code`).
 */
BOOL GetExitCodeThread(HANDLE thread, LPDWORD code);

/* The pseudo handle (HANDLE)-2 that stands for the calling thread wherever a thread handle is taken. */
HANDLE GetCurrentThread(void);

/*
 * Sets the thread's priority (one of the THREAD_PRIORITY_ values above).
 * FALSE with ERROR_INVALID_PARAMETER for another value, ERROR_INVALID_HANDLE
 * for a handle that is not a thread's or a thread that has ended.  A raise
 * the process may not make is taken as far as it may go, and the call then
 * answers FALSE with ERROR_PRIVILEGE_NOT_HELD: the thread keeps the highest
 * priority it could get, never a lower one than it had.
 */
BOOL SetThreadPriority(HANDLE thread, int priority);

/*
 * The thread's priority as it is in effect: its nice value mapped back to
 * the nearest THREAD_PRIORITY_ value.  THREAD_PRIORITY_ERROR_RETURN with
 * ERROR_INVALID_HANDLE as in SetThreadPriority.
 */
int GetThreadPriority(HANDLE thread);

#endif /* PLAT_THREAD_H */
