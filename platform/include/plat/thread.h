/*
 * Threads under the Windows names, over std::thread.  A thread handle is
 * waitable (signalled when the thread's function returns) and answers the
 * thread's exit code.  Mutexes a thread still owns when it ends are
 * abandoned before its handle is signalled.
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

#endif /* PLAT_THREAD_H */
