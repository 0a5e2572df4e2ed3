/*
 * The library entry and the driver-level calls (see ddi_entry.h).  The
 * loader runs DDI_DllEntry at attach and detach (PLAT_MODULE_ENTRY), so the
 * library needs no export beyond its graphics entry points.
 */
#include "ddi_entry.h"
#include "ddi_lock.h"
#include "fnt_device_fonts.h"

#include <tarvel/base/res_module.h>

#include <plat/error.h>
#include <plat/loader.h>

#include <cstring>

namespace {

DdiLock g_modelLock;

/* Bytes of DRVQUERY_USERMODE's answer: a DWORD that says the library runs in user mode. */
constexpr DWORD kUserModeAnswerSize = sizeof(DWORD);

} // namespace

BOOL DDI_DllEntry(HINSTANCE instance, DWORD reason, LPVOID reserved)
{
    (void)reserved;
    if (reason == DLL_PROCESS_ATTACH) {
        RES_AttachOwnStrings(instance);
        RES_SetLanguageStringId(RES_ID_LANGUAGE_RENDER);
        RES_InitModulePaths(instance, nullptr);
    } else if (reason == DLL_PROCESS_DETACH) {
        RES_ReleaseAll();
    }
    return TRUE;
}

PLAT_MODULE_ENTRY(DDI_DllEntry)

BOOL DDI_EnableDriver(ULONG iEngineVersion, ULONG cj, DRVENABLEDATA *pded)
{
    if (iEngineVersion < DDI_DRIVER_VERSION_NT5 || cj < sizeof(DRVENABLEDATA) || !pded) {
        SetLastError(ERROR_BAD_DRIVER_LEVEL);
        return FALSE;
    }
    pded->iDriverVersion = DDI_DRIVER_VERSION_NT5;
    pded->c = DDI_FUNCTION_COUNT;
    pded->pdrvfn = const_cast<DRVFN *>(DDI_FunctionTable());
    if (g_modelLock.exists)
        return TRUE; /* enabled already: the locks stay as they are */
    if (!DDI_CreateLock(&g_modelLock))
        return FALSE;
    if (!FNT_InitGlyphSetCache()) {
        DDI_DeleteLock(&g_modelLock);
        return FALSE;
    }
    return TRUE;
}

void DDI_DisableDriver(void)
{
    DDI_DeleteLock(&g_modelLock);
    FNT_FreeGlyphSetCache();
    RES_ReleaseAll();
}

BOOL DDI_QueryDriverInfo(DWORD dwMode, PVOID pBuffer, DWORD cbBuf, PDWORD pcbNeeded)
{
    if (dwMode != DRVQUERY_USERMODE) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (pcbNeeded)
        *pcbNeeded = kUserModeAnswerSize;
    if (!pBuffer || cbBuf < kUserModeAnswerSize) {
        SetLastError(ERROR_INSUFFICIENT_BUFFER);
        return FALSE;
    }
    DWORD userMode = 1;
    std::memcpy(pBuffer, &userMode, sizeof userMode);
    return TRUE;
}

void DDI_EnterModelLock(void) { DDI_EnterLock(&g_modelLock); }

void DDI_LeaveModelLock(void) { DDI_LeaveLock(&g_modelLock); }

bool DDI_ModelLockExists(void) { return g_modelLock.exists; }
