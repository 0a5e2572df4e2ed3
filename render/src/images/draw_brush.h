/*
 * Brushes and hatches: turning a brush and a mix into the printer's brush
 * or pen source.  The realiser is in ddi_workers.h, the realisation's
 * layout in brs_realized.h.
 */
#ifndef TARVELGR_DRAW_BRUSH_H
#define TARVELGR_DRAW_BRUSH_H

#include <plat/engine.h>
#include <plat/types.h>

struct PdevContext;

/* ROP3 pair of a mix: background ROP3 x 256 + foreground ROP3. */
WORD BRS_MixToRop(MIX mix);

/* Mix of a ROP4: background code x 256 + foreground code (a ROP3 outside the table: 13). */
MIX BRS_RopToMix(ROP4 rop4);

/*
 * Selects the pen (target 1), the brush (2), or either with the mesh
 * variant (-1, -2) from `pbo`; without a brush object only the ROP and
 * opaque transparency modes are set.  TRUE / FALSE.
 */
BOOL BRS_SelectBrush(PdevContext *pdev, LONG target, POINTL *pptlBrushOrg, BRUSHOBJ *pbo, const ROP4 *rop4);

/* Sends a solid colour (blue, green, red) as pen (1), brush (2) or both (3).  0, or -1. */
int BRS_SendSolidColor(PdevContext *pdev, const BYTE color[3], LONG target, BOOL text);

/* Sends hatch `style` (0-5) with the colours of its 0 and 1 bits.  TRUE / FALSE. */
BOOL BRS_SendHatchPattern(PdevContext *pdev, LONG target, LONG background, LONG style, const BYTE color0[3],
                          const BYTE color1[3], const POINTL *origin);

/* Scale kinds of a raster pattern: a brush pattern, or a hatch (half the pattern scale). */
enum : LONG {
    BRS_SCALE_PATTERN = 1,
    BRS_SCALE_HATCH = 2,
};

/*
 * Sends a one-bit pattern (background 1 opaque, 2 transparent) of `size`
 * with rows of ((width + 31) / 32) x 4 bytes.  TRUE / FALSE.
 */
BOOL BRS_SendRasterPattern(PdevContext *pdev, LONG target, LONG background, const BYTE color0[3],
                           const BYTE color1[3], const POINTL *origin, const SIZEL *size, const BYTE *rows,
                           LONG scaleKind);

/* Sends the palette or colour pattern of a realised brush.  TRUE / FALSE. */
BOOL BRS_SendColorPattern(PdevContext *pdev, LONG target, BRUSHOBJ *pbo, const POINTL *origin);

/* Sends the see-through mesh in `color` (`variant`) or black on white.  TRUE / FALSE. */
BOOL BRS_SendMeshPattern(PdevContext *pdev, LONG target, const BYTE color[3], BOOL variant);

/* The pattern scale g (`hatch`: halved); 0 when the settings give none. */
LONG BRS_PatternScale(PdevContext *pdev, BOOL hatch);

#endif /* TARVELGR_DRAW_BRUSH_H */
