/*
 * The drawing surface of a device context and the reset of one context by
 * another (see pdev_lifecycle.h).  The surface is a 24-bit device surface
 * the size of the job form's printable area at the job's resolution; the
 * library draws every hooked call itself.
 */
#include "job_state.h"
#include "pdev_lifecycle.h"

#include <tarvel/base/log_trace.h>
#include <tarvel/settings/dmb_binding.h>

#include <plat/error.h>

#include <cstring>

namespace {

/* The drawing calls the library takes over on its surface (0xA4EB). */
constexpr FLONG kSurfaceHooks = HOOK_BITBLT | HOOK_STRETCHBLT | HOOK_TEXTOUT | HOOK_STROKEPATH | HOOK_FILLPATH |
                                HOOK_STROKEANDFILLPATH | HOOK_COPYBITS | HOOK_STRETCHBLTROP | HOOK_TRANSPARENTBLT;
static_assert(kSurfaceHooks == 0xA4EB, "surface hooks");

/* Settings-dump category of a reset. */
constexpr DWORD kDumpCategoryReset = 0x20000;

/* The setting copied from the context a reset replaces: a text of up to 48 characters. */
constexpr WORD kCarriedText = 329;

} // namespace

HSURF PDEV_EnableSurface(PdevContext *pdev)
{
    DWORD resolution = 0;
    if (!PDEV_IsValid(pdev) || PDEV_GetSetting32(pdev, ID_RESOLUTION, &resolution) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    const PaperForm &form = pdev->jobForm;
    SIZEL size{FORM_UnitsToPixels(form.right - form.left, LONG(resolution)),
               FORM_UnitsToPixels(form.bottom - form.top, LONG(resolution))};
    HSURF surface = EngCreateDeviceSurface(reinterpret_cast<DHSURF>(pdev), size, BMF_24BPP);
    if (!surface)
        return nullptr;
    if (!EngAssociateSurface(surface, pdev->engineDevice, kSurfaceHooks)) {
        DWORD error = GetLastError();
        EngDeleteSurface(surface);
        SetLastError(error);
        return nullptr;
    }
    if (pdev->surface)
        EngDeleteSurface(pdev->surface);
    pdev->surface = surface;
    return surface;
}

void PDEV_DisableSurface(PdevContext *pdev)
{
    if (!PDEV_IsValid(pdev)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return;
    }
    JOB_Close(pdev);
    if (pdev->surface)
        EngDeleteSurface(pdev->surface);
    pdev->surface = nullptr;
}

BOOL PDEV_Reset(PdevContext *oldPdev, PdevContext *newPdev)
{
    if (!PDEV_IsValid(oldPdev) || !PDEV_IsValid(newPdev)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (((oldPdev->flags & PDEV_STARTDOC_SEEN) || oldPdev->startDocNotice) &&
        JOB_MoveToContext(oldPdev, newPdev) != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    std::memcpy(newPdev->settingsCopy, oldPdev->settingsCopy, sizeof newPdev->settingsCopy);
    WORD type = 0;
    LONG size = 0;
    BYTE slot[8] = {};
    if (DMB_GetValue(kCarriedText, oldPdev->settings, oldPdev->printerData, &type, &size, slot) == DMA_OK)
        DMB_SetValue(kCarriedText, newPdev->settings, newPdev->printerData, type, size, slot);
    LOG_DumpSettings(kDumpCategoryReset, u"<OLD DEVMODE>", oldPdev->settings, oldPdev->printerData);
    LOG_DumpSettings(kDumpCategoryReset, u"<NEW DEVMODE>", newPdev->settings, newPdev->printerData);
    return TRUE;
}
