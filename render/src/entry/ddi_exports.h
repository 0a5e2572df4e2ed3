/*
 * The library's graphics entry points: the 28 exports and DrvTransparentBlt,
 * which the engine reaches only through the function table.  Each writes an
 * entry trace line, calls its worker with its arguments unchanged, writes
 * an exit trace line with the result, and returns the worker's result; the
 * trace lines never change a result or the last error.
 */
#ifndef TARVELGR_DDI_EXPORTS_H
#define TARVELGR_DDI_EXPORTS_H

#include <plat/engine.h>

#define DDI_EXPORT extern "C" __attribute__((visibility("default")))

DDI_EXPORT BOOL DrvEnableDriver(ULONG iEngineVersion, ULONG cj, DRVENABLEDATA *pded);
DDI_EXPORT void DrvDisableDriver(void);
DDI_EXPORT BOOL DrvQueryDriverInfo(DWORD dwMode, PVOID pBuffer, DWORD cbBuf, PDWORD pcbNeeded);
DDI_EXPORT DHPDEV DrvEnablePDEV(DEVMODEW *pdm, LPWSTR pwszLogAddress, ULONG cPat, HSURF *phsurfPatterns,
                                ULONG cjCaps, ULONG *pdevcaps, ULONG cjDevInfo, DEVINFO *pdi, HDEV hdev,
                                LPWSTR pwszDeviceName, HANDLE hDriver);
DDI_EXPORT void DrvCompletePDEV(DHPDEV dhpdev, HDEV hdev);
DDI_EXPORT BOOL DrvResetPDEV(DHPDEV dhpdevOld, DHPDEV dhpdevNew);
DDI_EXPORT void DrvDisablePDEV(DHPDEV dhpdev);
DDI_EXPORT HSURF DrvEnableSurface(DHPDEV dhpdev);
DDI_EXPORT void DrvDisableSurface(DHPDEV dhpdev);
DDI_EXPORT BOOL DrvStartDoc(SURFOBJ *pso, LPWSTR pwszDocName, DWORD dwJobId);
DDI_EXPORT BOOL DrvStartPage(SURFOBJ *pso);
DDI_EXPORT BOOL DrvSendPage(SURFOBJ *pso);
DDI_EXPORT BOOL DrvEndDoc(SURFOBJ *pso, FLONG fl);
DDI_EXPORT ULONG DrvEscape(SURFOBJ *pso, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut);
DDI_EXPORT BOOL DrvBitBlt(SURFOBJ *psoTrg, SURFOBJ *psoSrc, SURFOBJ *psoMask, CLIPOBJ *pco, XLATEOBJ *pxlo,
                          RECTL *prclTrg, POINTL *pptlSrc, POINTL *pptlMask, BRUSHOBJ *pbo, POINTL *pptlBrush,
                          ROP4 rop4);
DDI_EXPORT BOOL DrvCopyBits(SURFOBJ *psoDest, SURFOBJ *psoSrc, CLIPOBJ *pco, XLATEOBJ *pxlo, RECTL *prclDest,
                            POINTL *pptlSrc);
DDI_EXPORT BOOL DrvStretchBlt(SURFOBJ *psoDest, SURFOBJ *psoSrc, SURFOBJ *psoMask, CLIPOBJ *pco, XLATEOBJ *pxlo,
                              COLORADJUSTMENT *pca, POINTL *pptlHTOrg, RECTL *prclDest, RECTL *prclSrc,
                              POINTL *pptlMask, ULONG iMode);
DDI_EXPORT BOOL DrvStretchBltROP(SURFOBJ *psoDest, SURFOBJ *psoSrc, SURFOBJ *psoMask, CLIPOBJ *pco, XLATEOBJ *pxlo,
                                 COLORADJUSTMENT *pca, POINTL *pptlHTOrg, RECTL *prclDest, RECTL *prclSrc,
                                 POINTL *pptlMask, ULONG iMode, BRUSHOBJ *pbo, DWORD rop4);
DDI_EXPORT BOOL DrvStrokePath(SURFOBJ *pso, PATHOBJ *ppo, CLIPOBJ *pco, XFORMOBJ *pxo, BRUSHOBJ *pbo,
                              POINTL *pptlBrushOrg, LINEATTRS *plineattrs, MIX mix);
DDI_EXPORT BOOL DrvFillPath(SURFOBJ *pso, PATHOBJ *ppo, CLIPOBJ *pco, BRUSHOBJ *pbo, POINTL *pptlBrushOrg, MIX mix,
                            FLONG flOptions);
DDI_EXPORT BOOL DrvStrokeAndFillPath(SURFOBJ *pso, PATHOBJ *ppo, CLIPOBJ *pco, XFORMOBJ *pxo, BRUSHOBJ *pboStroke,
                                     LINEATTRS *plineattrs, BRUSHOBJ *pboFill, POINTL *pptlBrushOrg, MIX mixFill,
                                     FLONG flOptions);
DDI_EXPORT BOOL DrvRealizeBrush(BRUSHOBJ *pbo, SURFOBJ *psoTarget, SURFOBJ *psoPattern, SURFOBJ *psoMask,
                                XLATEOBJ *pxlo, ULONG iHatch);
DDI_EXPORT BOOL DrvTextOut(SURFOBJ *pso, STROBJ *pstro, FONTOBJ *pfo, CLIPOBJ *pco, RECTL *prclExtra,
                           RECTL *prclOpaque, BRUSHOBJ *pboFore, BRUSHOBJ *pboOpaque, POINTL *pptlOrg, MIX mix);
DDI_EXPORT ULONG DrvGetGlyphMode(DHPDEV dhpdev, FONTOBJ *pfo);
DDI_EXPORT PIFIMETRICS DrvQueryFont(DHPDEV dhpdev, ULONG_PTR iFile, ULONG iFace, ULONG_PTR *pid);
DDI_EXPORT LONG DrvQueryFontData(DHPDEV dhpdev, FONTOBJ *pfo, ULONG iMode, HGLYPH hg, GLYPHDATA *pgd, PVOID pv,
                                 ULONG cjSize);
DDI_EXPORT PVOID DrvQueryFontTree(DHPDEV dhpdev, ULONG_PTR iFile, ULONG iFace, ULONG iMode, ULONG_PTR *pid);
DDI_EXPORT BOOL DrvQueryAdvanceWidths(DHPDEV dhpdev, FONTOBJ *pfo, ULONG iMode, HGLYPH *phg, PVOID pvWidths,
                                      ULONG cGlyphs);

/* In the function table at INDEX_DrvTransparentBlt, not exported. */
extern "C" BOOL DrvTransparentBlt(SURFOBJ *psoDst, SURFOBJ *psoSrc, CLIPOBJ *pco, XLATEOBJ *pxlo, RECTL *prclDst,
                                  RECTL *prclSrc, ULONG iTransColor, ULONG ulReserved);

#endif /* TARVELGR_DDI_EXPORTS_H */
