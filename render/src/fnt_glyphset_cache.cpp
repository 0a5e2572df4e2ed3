/*
 * The process-wide glyph sets: the default glyph set of the engine's 256
 * ANSI codes, made by DrvEnableDriver and freed by DrvDisableDriver, and
 * the lock that guards it and the glyph sets built from it later.
 */
#include "ddi_lock.h"
#include "fnt_device_fonts.h"

namespace {

DdiLock g_lock;
FD_GLYPHSET *g_defaultGlyphSet = nullptr;

} // namespace

BOOL FNT_InitGlyphSetCache(void)
{
    if (!DDI_CreateLock(&g_lock))
        return FALSE;
    DDI_EnterLock(&g_lock);
    g_defaultGlyphSet = EngComputeGlyphSet(0, 0, 256);
    bool made = g_defaultGlyphSet != nullptr;
    DDI_LeaveLock(&g_lock);
    if (!made) {
        DDI_DeleteLock(&g_lock);
        return FALSE;
    }
    return TRUE;
}

void FNT_FreeGlyphSetCache(void)
{
    if (!g_lock.exists)
        return;
    DDI_EnterLock(&g_lock);
    EngFreeMem(g_defaultGlyphSet);
    g_defaultGlyphSet = nullptr;
    DDI_LeaveLock(&g_lock);
    DDI_DeleteLock(&g_lock);
}

FD_GLYPHSET *FNT_DefaultGlyphSet(void) { return g_defaultGlyphSet; }

void FNT_EnterGlyphSetLock(void) { DDI_EnterLock(&g_lock); }

void FNT_LeaveGlyphSetLock(void) { DDI_LeaveLock(&g_lock); }

bool FNT_GlyphSetLockExists(void) { return g_lock.exists; }
