/*
 * The library's graphics entry points (see ddi_exports.h): each one is the
 * trace wrapper around its worker.  The exit texts are the ones field
 * engineers read in the trace log; pointers and handles are written as their
 * low 32 bits.
 */
#include "ddi_exports.h"
#include "ddi_entry.h"
#include "ddi_workers.h"
#include "fnt_device_fonts.h"
#include "pdev_context.h"
#include "pdev_lifecycle.h"

#include <tarvel/base/log_trace.h>

#include <plat/error.h>

#include <type_traits>

namespace {

/* The value a trace line shows for a result: numbers as they are, pointers as their low 32 bits. */
int32_t trace_value(int32_t v) { return v; }
uint32_t trace_value(uint32_t v) { return v; }
template <typename T>
uint32_t trace_value(T *p)
{
    return uint32_t(reinterpret_cast<uintptr_t>(p));
}

/* Runs `work` between the entry and exit lines; the lines keep the worker's last error. */
template <typename Work>
auto traced(LPCWSTR name, LPCWSTR exitFormat, Work work) -> decltype(work())
{
    DWORD error = GetLastError();
    LOG_TraceIn(name);
    SetLastError(error);
    auto result = work();
    error = GetLastError();
    LOG_TraceOut(exitFormat, trace_value(result));
    SetLastError(error);
    return result;
}

/* The same for an entry point without a result: its exit line is its name. */
template <typename Work>
void traced_void(LPCWSTR name, Work work)
{
    DWORD error = GetLastError();
    LOG_TraceIn(name);
    SetLastError(error);
    work();
    error = GetLastError();
    LOG_TraceOut(u"%s", name);
    SetLastError(error);
}

} // namespace

BOOL DrvEnableDriver(ULONG iEngineVersion, ULONG cj, DRVENABLEDATA *pded)
{
    return traced(u"DrvEnableDriver", u"DrvEnableDriver RetValue = %d",
                  [&] { return DDI_EnableDriver(iEngineVersion, cj, pded); });
}

void DrvDisableDriver(void)
{
    traced_void(u"DrvDisableDriver", [] { DDI_DisableDriver(); });
}

BOOL DrvQueryDriverInfo(DWORD dwMode, PVOID pBuffer, DWORD cbBuf, PDWORD pcbNeeded)
{
    return traced(u"DrvQueryDriverInfo", u"DrvQueryDriverInfo RetValue = %d",
                  [&] { return DDI_QueryDriverInfo(dwMode, pBuffer, cbBuf, pcbNeeded); });
}

DHPDEV DrvEnablePDEV(DEVMODEW *pdm, LPWSTR pwszLogAddress, ULONG cPat, HSURF *phsurfPatterns, ULONG cjCaps,
                     ULONG *pdevcaps, ULONG cjDevInfo, DEVINFO *pdi, HDEV hdev, LPWSTR pwszDeviceName,
                     HANDLE hDriver)
{
    (void)pwszLogAddress;
    DWORD error = GetLastError();
    LOG_ReloadSwitch();
    SetLastError(error);
    return traced(u"DrvEnablePDEV", u"DrvEnablePDEV RetValue = 0x%08X", [&] {
        return reinterpret_cast<DHPDEV>(PDEV_Create(pdm, cPat, phsurfPatterns, cjCaps, pdevcaps, cjDevInfo, pdi,
                                                    hdev, pwszDeviceName, hDriver));
    });
}

void DrvCompletePDEV(DHPDEV dhpdev, HDEV hdev)
{
    traced_void(u"DrvCompletePDEV", [&] { PDEV_Complete(PDEV_FromHandle(dhpdev), hdev); });
}

BOOL DrvResetPDEV(DHPDEV dhpdevOld, DHPDEV dhpdevNew)
{
    return traced(u"DrvResetPDEV", u"DrvResetPDEV RetValue = %d",
                  [&] { return PDEV_Reset(PDEV_FromHandle(dhpdevOld), PDEV_FromHandle(dhpdevNew)); });
}

void DrvDisablePDEV(DHPDEV dhpdev)
{
    traced_void(u"DrvDisablePDEV", [&] { PDEV_Destroy(PDEV_FromHandle(dhpdev)); });
}

HSURF DrvEnableSurface(DHPDEV dhpdev)
{
    return traced(u"DrvEnableSurface", u"DrvEnableSurface RetValue = 0x%08X",
                  [&] { return PDEV_EnableSurface(PDEV_FromHandle(dhpdev)); });
}

void DrvDisableSurface(DHPDEV dhpdev)
{
    traced_void(u"DrvDisableSurface", [&] { PDEV_DisableSurface(PDEV_FromHandle(dhpdev)); });
}

BOOL DrvStartDoc(SURFOBJ *pso, LPWSTR pwszDocName, DWORD dwJobId)
{
    return traced(u"DrvStartDoc", u"DrvStartDoc RetValue = %d", [&] { return DDI_StartDoc(pso, pwszDocName, dwJobId); });
}

BOOL DrvStartPage(SURFOBJ *pso)
{
    return traced(u"DrvStartPage", u"DrvStartPage RetValue = %d", [&] { return DDI_StartPage(pso); });
}

BOOL DrvSendPage(SURFOBJ *pso)
{
    return traced(u"DrvSendPage", u"DrvSendPage RetValue = %d", [&] { return DDI_SendPage(pso); });
}

BOOL DrvEndDoc(SURFOBJ *pso, FLONG fl)
{
    return traced(u"DrvEndDoc", u"DrvEndDoc RetValue = %d", [&] { return DDI_EndDoc(pso, fl); });
}

ULONG DrvEscape(SURFOBJ *pso, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut)
{
    return traced(u"DrvEscape", u"DrvEscape RetValue = %ld",
                  [&] { return ESC_Dispatch(pso, iEsc, cjIn, pvIn, cjOut, pvOut); });
}

BOOL DrvBitBlt(SURFOBJ *psoTrg, SURFOBJ *psoSrc, SURFOBJ *psoMask, CLIPOBJ *pco, XLATEOBJ *pxlo, RECTL *prclTrg,
               POINTL *pptlSrc, POINTL *pptlMask, BRUSHOBJ *pbo, POINTL *pptlBrush, ROP4 rop4)
{
    return traced(u"DrvBitBlt", u"DrvBitBlt RetValue = %d", [&] {
        return BLT_BitBlt(psoTrg, psoSrc, psoMask, pco, pxlo, prclTrg, pptlSrc, pptlMask, pbo, pptlBrush, rop4);
    });
}

BOOL DrvCopyBits(SURFOBJ *psoDest, SURFOBJ *psoSrc, CLIPOBJ *pco, XLATEOBJ *pxlo, RECTL *prclDest, POINTL *pptlSrc)
{
    return traced(u"DrvCopyBits", u"DrvCopyBits RetValue = %d",
                  [&] { return BLT_CopyBits(psoDest, psoSrc, pco, pxlo, prclDest, pptlSrc); });
}

BOOL DrvStretchBlt(SURFOBJ *psoDest, SURFOBJ *psoSrc, SURFOBJ *psoMask, CLIPOBJ *pco, XLATEOBJ *pxlo,
                   COLORADJUSTMENT *pca, POINTL *pptlHTOrg, RECTL *prclDest, RECTL *prclSrc, POINTL *pptlMask,
                   ULONG iMode)
{
    return traced(u"DrvStretchBlt", u"DrvStretchBlt RetValue = %d", [&] {
        return BLT_StretchBlt(psoDest, psoSrc, psoMask, pco, pxlo, pca, pptlHTOrg, prclDest, prclSrc, pptlMask,
                              iMode);
    });
}

BOOL DrvStretchBltROP(SURFOBJ *psoDest, SURFOBJ *psoSrc, SURFOBJ *psoMask, CLIPOBJ *pco, XLATEOBJ *pxlo,
                      COLORADJUSTMENT *pca, POINTL *pptlHTOrg, RECTL *prclDest, RECTL *prclSrc, POINTL *pptlMask,
                      ULONG iMode, BRUSHOBJ *pbo, DWORD rop4)
{
    return traced(u"DrvStretchBltROP", u"DrvStretchBltROP RetValue = %d", [&]() -> BOOL {
        if (!psoDest || !prclSrc) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        POINTL source{prclSrc->left, prclSrc->top};
        return BLT_DoBlt(psoDest, psoSrc, psoMask, pco, pxlo, prclDest, prclSrc, &source, pptlMask, pbo, pptlHTOrg,
                         rop4, BLT_KIND_STRETCHBLTROP, pca, iMode);
    });
}

BOOL DrvTransparentBlt(SURFOBJ *psoDst, SURFOBJ *psoSrc, CLIPOBJ *pco, XLATEOBJ *pxlo, RECTL *prclDst, RECTL *prclSrc,
                       ULONG iTransColor, ULONG ulReserved)
{
    return traced(u"DrvTransparentBlt", u"DrvTransparentBlt RetValue = %d", [&]() -> BOOL {
        if (!psoDst || !prclDst) {
            SetLastError(ERROR_INVALID_PARAMETER);
            return FALSE;
        }
        return BLT_TransparentBlt(psoDst, psoSrc, pco, pxlo, prclDst, prclSrc, iTransColor, ulReserved);
    });
}

BOOL DrvStrokePath(SURFOBJ *pso, PATHOBJ *ppo, CLIPOBJ *pco, XFORMOBJ *pxo, BRUSHOBJ *pbo, POINTL *pptlBrushOrg,
                   LINEATTRS *plineattrs, MIX mix)
{
    return traced(u"DrvStrokePath", u"DrvStrokePath RetValue = %d",
                  [&] { return PTH_StrokePath(pso, ppo, pco, pxo, pbo, pptlBrushOrg, plineattrs, mix); });
}

BOOL DrvFillPath(SURFOBJ *pso, PATHOBJ *ppo, CLIPOBJ *pco, BRUSHOBJ *pbo, POINTL *pptlBrushOrg, MIX mix,
                 FLONG flOptions)
{
    return traced(u"DrvFillPath", u"DrvFillPath RetValue = %d",
                  [&] { return PTH_FillPath(pso, ppo, pco, pbo, pptlBrushOrg, mix, flOptions); });
}

BOOL DrvStrokeAndFillPath(SURFOBJ *pso, PATHOBJ *ppo, CLIPOBJ *pco, XFORMOBJ *pxo, BRUSHOBJ *pboStroke,
                          LINEATTRS *plineattrs, BRUSHOBJ *pboFill, POINTL *pptlBrushOrg, MIX mixFill,
                          FLONG flOptions)
{
    return traced(u"DrvStrokeAndFillPath", u"DrvStrokeAndFillPath RetValue = %d", [&] {
        return PTH_StrokeAndFillPath(pso, ppo, pco, pxo, pboStroke, plineattrs, pboFill, pptlBrushOrg, mixFill,
                                     flOptions);
    });
}

BOOL DrvRealizeBrush(BRUSHOBJ *pbo, SURFOBJ *psoTarget, SURFOBJ *psoPattern, SURFOBJ *psoMask, XLATEOBJ *pxlo,
                     ULONG iHatch)
{
    return traced(u"DrvRealizeBrush", u"DrvRealizeBrush RetValue = %d",
                  [&] { return BRS_RealizeBrush(pbo, psoTarget, psoPattern, psoMask, pxlo, iHatch); });
}

BOOL DrvTextOut(SURFOBJ *pso, STROBJ *pstro, FONTOBJ *pfo, CLIPOBJ *pco, RECTL *prclExtra, RECTL *prclOpaque,
                BRUSHOBJ *pboFore, BRUSHOBJ *pboOpaque, POINTL *pptlOrg, MIX mix)
{
    return traced(u"DrvTextOut", u"DrvTextOut RetValue = %d", [&] {
        return TXT_TextOut(pso, pstro, pfo, pco, prclExtra, prclOpaque, pboFore, pboOpaque, pptlOrg, mix);
    });
}

ULONG DrvGetGlyphMode(DHPDEV dhpdev, FONTOBJ *pfo)
{
    (void)dhpdev;
    (void)pfo;
    return traced(u"DrvGetGlyphMode", u"DrvGetGlyphMode RetValue = %ld", [] { return ULONG(FO_GLYPHBITS); });
}

PIFIMETRICS DrvQueryFont(DHPDEV dhpdev, ULONG_PTR iFile, ULONG iFace, ULONG_PTR *pid)
{
    return traced(u"DrvQueryFont", u"DrvQueryFont RetValue = 0x%08X",
                  [&] { return FNT_QueryFont(PDEV_FromHandle(dhpdev), iFile, iFace, pid); });
}

LONG DrvQueryFontData(DHPDEV dhpdev, FONTOBJ *pfo, ULONG iMode, HGLYPH hg, GLYPHDATA *pgd, PVOID pv, ULONG cjSize)
{
    return traced(u"DrvQueryFontData", u"DrvQueryFontData RetValue = %ld",
                  [&] { return FNT_QueryFontData(PDEV_FromHandle(dhpdev), pfo, iMode, hg, pgd, pv, cjSize); });
}

PVOID DrvQueryFontTree(DHPDEV dhpdev, ULONG_PTR iFile, ULONG iFace, ULONG iMode, ULONG_PTR *pid)
{
    return traced(u"DrvQueryFontTree", u"DrvQueryFontTree RetValue = 0x%08X",
                  [&] { return FNT_QueryFontTree(PDEV_FromHandle(dhpdev), iFile, iFace, iMode, pid); });
}

BOOL DrvQueryAdvanceWidths(DHPDEV dhpdev, FONTOBJ *pfo, ULONG iMode, HGLYPH *phg, PVOID pvWidths, ULONG cGlyphs)
{
    return traced(u"DrvQueryAdvanceWidths", u"DrvQueryAdvanceWidths RetValue = %d", [&] {
        return FNT_QueryAdvanceWidths(PDEV_FromHandle(dhpdev), pfo, iMode, phg, pvWidths, cGlyphs);
    });
}
