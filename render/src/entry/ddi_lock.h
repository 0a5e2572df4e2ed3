/*
 * A process-wide lock of the library that exists only between
 * DrvEnableDriver and DrvDisableDriver (the model-data lock, the glyph-set
 * lock).  Taking or releasing it while it does not exist does nothing.
 */
#ifndef TARVELGR_DDI_LOCK_H
#define TARVELGR_DDI_LOCK_H

#include <plat/sync.h>

struct DdiLock {
    CRITICAL_SECTION cs;
    bool exists;
};

/* Creates the lock (when it does not exist yet).  False when it cannot be made. */
inline bool DDI_CreateLock(DdiLock *lock)
{
    if (lock->exists)
        return true;
    if (!InitializeCriticalSectionAndSpinCount(&lock->cs, 0))
        return false;
    lock->exists = true;
    return true;
}

inline void DDI_DeleteLock(DdiLock *lock)
{
    if (lock->exists)
        DeleteCriticalSection(&lock->cs);
    lock->exists = false;
}

inline void DDI_EnterLock(DdiLock *lock)
{
    if (lock->exists)
        EnterCriticalSection(&lock->cs);
}

inline void DDI_LeaveLock(DdiLock *lock)
{
    if (lock->exists)
        LeaveCriticalSection(&lock->cs);
}

#endif /* TARVELGR_DDI_LOCK_H */
