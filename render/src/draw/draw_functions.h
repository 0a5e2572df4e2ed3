/*
 * Internal functions of the drawing work that later work builds (image
 * roads, brushes, clips and paths, text colour, device-font lookups, font
 * substitution), declared with the arguments they will take so that their
 * callers can be written against them.  Until each is built it fails
 * visibly: its failure answer, the last error ERROR_CALL_NOT_IMPLEMENTED and
 * one trace line naming it (draw_not_built.cpp; the README's "Not built
 * yet" table lists them).
 */
#ifndef TARVELGR_DRAW_FUNCTIONS_H
#define TARVELGR_DRAW_FUNCTIONS_H

#include <plat/engine.h>
#include <plat/types.h>

struct PdevContext;
struct PageColorSet;

/* The image road of one ROP3: TRUE when drawn.  Meanwhile FALSE. */
BOOL BLT_BltSourceImage(PdevContext *pdev, CLIPOBJ *pco, SURFOBJ *psoSrc, SURFOBJ *psoMask, LONG width,
                        LONG height, POINTL *pptlSrc, POINTL *pptlMask, RECTL *prclDest, XLATEOBJ *pxlo,
                        BRUSHOBJ *pbo, POINTL *pptlBrush, LONG ropMode, BYTE rop3);

/*
 * Classifies pixels (format 4, three bytes each) or a palette (format 11)
 * as colour or grey into the colour scan state and the page's colour set.
 * 0, or -1 when the colour set cannot take the colours.  Meanwhile -1.
 */
int BLT_ClassifyImageColors(LONG *scanState, PageColorSet *colors, PdevContext *pdev, const BYTE *pixels,
                            LONG width, LONG height, const BYTE *palette, LONG paletteCount, LONG format,
                            LONG bitsPerPixel);

/*
 * Selects the pen (target 1), the brush (2), or either with the mesh
 * variant (-1, -2) from `pbo` (none: a null pen or brush).  Meanwhile FALSE.
 */
BOOL BRS_SelectBrush(PdevContext *pdev, LONG target, POINTL *pptlBrushOrg, BRUSHOBJ *pbo, const ROP4 *rop4);

/* Sends a solid colour (blue, green, red) as pen (1), brush (2) or both (3).  0; meanwhile -1. */
int BRS_SendSolidColor(PdevContext *pdev, const BYTE color[3], LONG target, BOOL text);

/* Sets the clip of the page for a drawing into `prclTarget` (no clip object: the page clip).  1 done, 0 failed. */
int PTH_SetClipRegion(PdevContext *pdev, CLIPOBJ *pco, RECTL *prclTarget);

/* Copies a path's points into a new block: 4 copied, 3 no memory, 0 empty path; meanwhile -1. */
int PTH_CopyPathPoints(PATHOBJ *ppo, void **block, DWORD *bytes, DWORD *records);

/* Writes a path (or the clip copy's points) as PCL XL path data.  1 done, 0 failed. */
int PTH_EmitPathData(PdevContext *pdev, PATHOBJ *ppo, const void *clipPoints, DWORD records);

/* Sends the text colour of the foreground brush for drawing pass `pass` (0 normal, 1 see-through).  1, or 0. */
int TXT_SetTextColor(PdevContext *pdev, BRUSHOBJ *pboFore, MIX mix, LONG pass);

/* The glyph set of device font `iFace` (the caller holds the glyph-set lock), or null. */
FD_GLYPHSET *FNT_GetGlyphSet(PdevContext *pdev, ULONG iFace);

/* The descriptor index of the device font with identifier `id`, or -1. */
int FNT_FindDeviceFontById(PdevContext *pdev, DWORD id);

/*
 * The device font standing in for `pfo`: 0 with *index set (0xFFFF: none),
 * 1 when this mode substitutes nothing, -1 on failure (*index 0xFFFF).
 */
int FNT_SubstituteDeviceFont(PdevContext *pdev, FONTOBJ *pfo, WORD *index);

#endif /* TARVELGR_DRAW_FUNCTIONS_H */
