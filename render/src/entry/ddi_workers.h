/*
 * The workers behind the library's graphics entry points that belong to the
 * job, escape, drawing and brush work: the entry points hand their
 * arguments to these unchanged.  Each worker finds its device context in
 * the surface object (dhpdev) and checks it first; an invalid one gives
 * ERROR_INVALID_PARAMETER and FALSE (0 for the escape).  The workers of the
 * font queries are in fnt_device_fonts.h.
 */
#ifndef TARVELGR_DDI_WORKERS_H
#define TARVELGR_DDI_WORKERS_H

#include <plat/engine.h>

/* Document and page calls. */
BOOL DDI_StartDoc(SURFOBJ *pso, LPWSTR docName, DWORD jobId);
BOOL DDI_StartPage(SURFOBJ *pso);
BOOL DDI_SendPage(SURFOBJ *pso);
BOOL DDI_EndDoc(SURFOBJ *pso, FLONG fl);

/* Escapes of the user-interface library and of applications. */
ULONG ESC_Dispatch(SURFOBJ *pso, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut);

/* Which entry point called the bit-block transfer core. */
enum : LONG {
    BLT_KIND_COPYBITS = 0,
    BLT_KIND_STRETCHBLT = 1,
    BLT_KIND_BITBLT = 2,
    BLT_KIND_STRETCHBLTROP = 3,
    BLT_KIND_TRANSPARENTBLT = 4,
};

/* Bit-block transfers. */
BOOL BLT_CopyBits(SURFOBJ *psoDest, SURFOBJ *psoSrc, CLIPOBJ *pco, XLATEOBJ *pxlo, RECTL *prclDest, POINTL *pptlSrc);
BOOL BLT_StretchBlt(SURFOBJ *psoDest, SURFOBJ *psoSrc, SURFOBJ *psoMask, CLIPOBJ *pco, XLATEOBJ *pxlo,
                    COLORADJUSTMENT *pca, POINTL *pptlHTOrg, RECTL *prclDest, RECTL *prclSrc, POINTL *pptlMask,
                    ULONG iMode);
BOOL BLT_BitBlt(SURFOBJ *psoTrg, SURFOBJ *psoSrc, SURFOBJ *psoMask, CLIPOBJ *pco, XLATEOBJ *pxlo, RECTL *prclTrg,
                POINTL *pptlSrc, POINTL *pptlMask, BRUSHOBJ *pbo, POINTL *pptlBrush, ROP4 rop4);
BOOL BLT_TransparentBlt(SURFOBJ *psoDst, SURFOBJ *psoSrc, CLIPOBJ *pco, XLATEOBJ *pxlo, RECTL *prclDst,
                        RECTL *prclSrc, ULONG iTransColor, ULONG ulReserved);
/* The core every transfer reduces to: `prclSrcExtent` gives the source size, `pptlSrc` its origin. */
BOOL BLT_DoBlt(SURFOBJ *psoDest, SURFOBJ *psoSrc, SURFOBJ *psoMask, CLIPOBJ *pco, XLATEOBJ *pxlo, RECTL *prclDest,
               RECTL *prclSrcExtent, POINTL *pptlSrc, POINTL *pptlMask, BRUSHOBJ *pbo, POINTL *pptlBrush, ROP4 rop4,
               LONG kind, COLORADJUSTMENT *pca, ULONG iMode);

/* Brushes. */
BOOL BRS_RealizeBrush(BRUSHOBJ *pbo, SURFOBJ *psoTarget, SURFOBJ *psoPattern, SURFOBJ *psoMask, XLATEOBJ *pxlo,
                      ULONG iHatch);

/* Paths. */
BOOL PTH_StrokePath(SURFOBJ *pso, PATHOBJ *ppo, CLIPOBJ *pco, XFORMOBJ *pxo, BRUSHOBJ *pbo, POINTL *pptlBrushOrg,
                    LINEATTRS *plineattrs, MIX mix);
BOOL PTH_FillPath(SURFOBJ *pso, PATHOBJ *ppo, CLIPOBJ *pco, BRUSHOBJ *pbo, POINTL *pptlBrushOrg, MIX mix,
                  FLONG flOptions);
BOOL PTH_StrokeAndFillPath(SURFOBJ *pso, PATHOBJ *ppo, CLIPOBJ *pco, XFORMOBJ *pxo, BRUSHOBJ *pboStroke,
                           LINEATTRS *plineattrs, BRUSHOBJ *pboFill, POINTL *pptlBrushOrg, MIX mixFill,
                           FLONG flOptions);

/* Text. */
BOOL TXT_TextOut(SURFOBJ *pso, STROBJ *pstro, FONTOBJ *pfo, CLIPOBJ *pco, RECTL *prclExtra, RECTL *prclOpaque,
                 BRUSHOBJ *pboFore, BRUSHOBJ *pboOpaque, POINTL *pptlOrg, MIX mix);

#endif /* TARVELGR_DDI_WORKERS_H */
