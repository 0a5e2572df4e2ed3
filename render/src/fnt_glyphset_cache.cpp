/*
 * The process-wide glyph sets: the default glyph set of the engine's 256
 * ANSI codes, made by DrvEnableDriver and freed by DrvDisableDriver, and
 * the lock that guards it and the glyph sets built from it later.
 */
#include "fnt_device_fonts.h"

#include <plat/sync.h>

namespace {

CRITICAL_SECTION g_lock;
bool g_lockExists = false;
FD_GLYPHSET *g_defaultGlyphSet = nullptr;

} // namespace

BOOL FNT_InitGlyphSetCache(void)
{
    if (!InitializeCriticalSectionAndSpinCount(&g_lock, 0))
        return FALSE;
    g_lockExists = true;
    EnterCriticalSection(&g_lock);
    g_defaultGlyphSet = EngComputeGlyphSet(0, 0, 256);
    bool made = g_defaultGlyphSet != nullptr;
    LeaveCriticalSection(&g_lock);
    if (!made) {
        DeleteCriticalSection(&g_lock);
        g_lockExists = false;
        return FALSE;
    }
    return TRUE;
}

void FNT_FreeGlyphSetCache(void)
{
    if (!g_lockExists)
        return;
    EnterCriticalSection(&g_lock);
    EngFreeMem(g_defaultGlyphSet);
    g_defaultGlyphSet = nullptr;
    LeaveCriticalSection(&g_lock);
    DeleteCriticalSection(&g_lock);
    g_lockExists = false;
}

FD_GLYPHSET *FNT_DefaultGlyphSet(void) { return g_defaultGlyphSet; }

void FNT_EnterGlyphSetLock(void)
{
    if (g_lockExists)
        EnterCriticalSection(&g_lock);
}

void FNT_LeaveGlyphSetLock(void)
{
    if (g_lockExists)
        LeaveCriticalSection(&g_lock);
}

bool FNT_GlyphSetLockExists(void) { return g_lockExists; }
