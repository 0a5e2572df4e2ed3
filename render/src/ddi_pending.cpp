/*
 * Workers of the drawing, brush and font work that the library
 * does not do yet.  Each checks its device context as the real worker will;
 * a valid one then either gets the answer its work gives in the state this
 * library cannot leave yet (no job, no device fonts), or fails visibly: one
 * trace line naming the worker, ERROR_CALL_NOT_IMPLEMENTED and the failure
 * value.  Each is replaced by the work it stands for.
 */
#include "ddi_workers.h"
#include "fnt_device_fonts.h"
#include "pdev_context.h"

#include <tarvel/log_trace.h>

#include <plat/error.h>

namespace {

/* The context of a surface object, or null with ERROR_INVALID_PARAMETER. */
PdevContext *checked(const SURFOBJ *pso) { return PDEV_CheckedFromSurface(pso); }

/* The failure of a worker whose work is not built: a trace line and the last error. */
BOOL not_built(LPCWSTR worker)
{
    LOG_Printf(u"%s: not built yet", worker);
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
}

BOOL not_built_on(const SURFOBJ *pso, LPCWSTR worker) { return checked(pso) ? not_built(worker) : FALSE; }

} // namespace

/* ---- Drawing ---------------------------------------------------------------- */

BOOL TXT_TextOut(SURFOBJ *pso, STROBJ *, FONTOBJ *, CLIPOBJ *, RECTL *, RECTL *, BRUSHOBJ *, BRUSHOBJ *, POINTL *,
                 MIX)
{
    return not_built_on(pso, u"TXT_TextOut");
}

/* ---- Device fonts: a context has none -------------------------------------- */

int FNT_LoadDeviceFontList(PdevContext *pdev)
{
    pdev->deviceFontCount = 0;
    pdev->deviceFonts = nullptr;
    pdev->fontEntryCount = 0;
    pdev->fontEntries = nullptr;
    return 0;
}

int FNT_GetDefaultDeviceFont(PdevContext *pdev, DEVINFO *devinfo)
{
    (void)pdev;
    (void)devinfo;
    return 0;
}

/* No face lies in 1 .. the (zero) number of shown fonts. */
PIFIMETRICS FNT_QueryFont(PdevContext *pdev, ULONG_PTR iFile, ULONG iFace, ULONG_PTR *pid)
{
    (void)iFile;
    if (pid)
        *pid = 0;
    if (!PDEV_IsValid(pdev) || iFace < 1 || iFace > pdev->deviceFontCount)
        SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
}

PVOID FNT_QueryFontTree(PdevContext *pdev, ULONG_PTR iFile, ULONG iFace, ULONG iMode, ULONG_PTR *pid)
{
    (void)iFile;
    (void)iMode;
    if (pid)
        *pid = 0;
    if (!PDEV_IsValid(pdev) || iFace < 1 || iFace > pdev->deviceFontCount)
        SetLastError(ERROR_INVALID_PARAMETER);
    return nullptr;
}

LONG FNT_QueryFontData(PdevContext *pdev, FONTOBJ *, ULONG, HGLYPH, GLYPHDATA *, PVOID, ULONG)
{
    if (!PDEV_IsValid(pdev)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    not_built(u"FNT_QueryFontData");
    return -1;
}

BOOL FNT_QueryAdvanceWidths(PdevContext *pdev, FONTOBJ *, ULONG, HGLYPH *, PVOID, ULONG)
{
    if (!PDEV_IsValid(pdev)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    return not_built(u"FNT_QueryAdvanceWidths");
}
