/*
 * The process-wide glyph sets: the default glyph set of the engine's 256
 * ANSI codes, made by DrvEnableDriver and freed by DrvDisableDriver, the
 * double-byte glyph set converted from the resource module's glyph-set
 * resource on first use and forgotten at DrvDisableDriver, and the lock
 * that guards both.
 */
#include "ddi_lock.h"
#include "fnt_device_fonts.h"

#include <tarvel/base/res_module.h>

#include <plat/engine_resource.h>
#include <plat/error.h>

#include <cstddef>
#include <cstring>

namespace {

DdiLock g_lock;
FD_GLYPHSET *g_defaultGlyphSet = nullptr;
FD_GLYPHSET *g_doubleByteGlyphSet = nullptr;

DWORD le32(const BYTE *p) { return DWORD(p[0] | p[1] << 8 | p[2] << 16 | DWORD(p[3]) << 24); }
WORD le16(const BYTE *p) { return WORD(p[0] | p[1] << 8); }

} // namespace

FD_GLYPHSET *FNT_ConvertGlyphSetResource(const BYTE *data, DWORD size)
{
    constexpr DWORD kHeader = 16, kRun = 8;
    if (!data || size < kHeader) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    DWORD runs = le32(data + 12);
    if (runs == 0 || runs > (size - kHeader) / kRun) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    unsigned long long glyphs = 0;
    for (DWORD i = 0; i < runs; ++i)
        glyphs += le16(data + kHeader + kRun * i + 2);
    const BYTE *handles = data + kHeader + kRun * runs;
    if (glyphs > (size - kHeader - kRun * runs) / 4) {
        SetLastError(ERROR_INVALID_DATA);
        return nullptr;
    }
    unsigned long long bytes = offsetof(FD_GLYPHSET, awcrun) + runs * sizeof(WCRUN) + glyphs * sizeof(HGLYPH);
    auto *set = static_cast<FD_GLYPHSET *>(EngAllocMem(FL_ZERO_MEMORY, ULONG(bytes), 0));
    if (!set) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return nullptr;
    }
    set->cjThis = ULONG(bytes);
    set->flAccel = le32(data + 4);
    set->cGlyphsSupported = ULONG(glyphs);
    set->cRuns = runs;
    auto *out = reinterpret_cast<HGLYPH *>(reinterpret_cast<BYTE *>(set) + offsetof(FD_GLYPHSET, awcrun) +
                                           runs * sizeof(WCRUN));
    for (DWORD i = 0; i < runs; ++i) {
        const BYTE *run = data + kHeader + kRun * i;
        WCRUN &w = set->awcrun[i];
        w.wcLow = le16(run);
        w.cGlyphs = le16(run + 2);
        w.phg = out;
        for (USHORT g = 0; g < w.cGlyphs; ++g, handles += 4)
            *out++ = le32(handles);
    }
    return set;
}

FD_GLYPHSET *FNT_DoubleByteGlyphSet(void)
{
    if (g_doubleByteGlyphSet)
        return g_doubleByteGlyphSet;
    ULONG size = 0;
    HMODULE module = RES_GetResourceModule();
    auto *data = module ? static_cast<const BYTE *>(EngFindResource(module, FNT_GLYPHSET_RESOURCE_ID,
                                                                    FNT_GLYPHSET_RESOURCE_TYPE, &size))
                        : nullptr;
    if (!data)
        return nullptr;
    g_doubleByteGlyphSet = FNT_ConvertGlyphSetResource(data, size);
    return g_doubleByteGlyphSet;
}

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
    EngFreeMem(g_doubleByteGlyphSet);
    g_doubleByteGlyphSet = nullptr;
    DDI_LeaveLock(&g_lock);
    DDI_DeleteLock(&g_lock);
}

FD_GLYPHSET *FNT_DefaultGlyphSet(void) { return g_defaultGlyphSet; }

void FNT_EnterGlyphSetLock(void) { DDI_EnterLock(&g_lock); }

void FNT_LeaveGlyphSetLock(void) { DDI_LeaveLock(&g_lock); }

bool FNT_GlyphSetLockExists(void) { return g_lock.exists; }
