/*
 * Drawing paths (the workers of DrvStrokePath, DrvFillPath and
 * DrvStrokeAndFillPath): the clip for the path's bounds, the path sorted
 * into ellipse, axis-aligned rectangle or general path, the pen and brush,
 * and the path written as Ellipse, Rectangle or path data and PaintPath,
 * once more with the mesh while a see-through watermark is drawn.
 */
#include "blt_image_spool.h"
#include "ddi_workers.h"
#include "draw_blt.h"
#include "draw_brush.h"
#include "draw_path.h"
#include "draw_xl_values.h"
#include "job_state.h"
#include "page_recording_direct.h"
#include "pclxl_ops.h"
#include "pdev_context.h"

#include <plat/error.h>

#include <algorithm>

namespace {

enum : LONG {
    MODE_STROKE = 1,
    MODE_FILL = 2,
    MODE_BOTH = 3,
};

/* The first record of a path, and whether it is the only one. */
struct FirstRecord {
    PATHDATA data{};
    bool only = false;
};

FirstRecord first_record(PATHOBJ *ppo)
{
    FirstRecord f;
    PATHOBJ_vEnumStart(ppo);
    f.only = !PATHOBJ_bEnum(ppo, &f.data);
    return f;
}

/* A closed four-point record without curves running (x0, y0), (x1, y0), (x1, y2), (x0, y2). */
bool rectangle_shape(const PATHDATA &pd)
{
    if (pd.count != 4 || !pd.pptfx || !(pd.flags & PD_CLOSEFIGURE) || (pd.flags & PD_BEZIERS))
        return false;
    const POINTFIX *p = pd.pptfx;
    return p[1].y == p[0].y && p[2].x == p[1].x && p[3].y == p[2].y && p[3].x == p[0].x;
}

bool dashed(const LINEATTRS *la) { return la && la->cstyle != 0 && la->pstyle; }

bool identity(XFORMOBJ *pxo)
{
    XFORML m{};
    return pxo && XFORMOBJ_iGetXform(pxo, &m) == GX_IDENTITY;
}

/* The path's bounds in pixels: right and bottom take the whole pixel they reach into. */
RECTL pixel_bounds(const RECTFX &b)
{
    return RECTL{b.xLeft >> 4, b.yTop >> 4, LONG((LONGLONG(b.xRight) + 16) >> 4),
                 LONG((LONGLONG(b.yBottom) + 16) >> 4)};
}

bool count_points(PATHOBJ *ppo)
{
    PATHOBJ_vEnumStart(ppo);
    PATHDATA pd{};
    BOOL more;
    do {
        more = PATHOBJ_bEnum(ppo, &pd);
        if (pd.count > 0 && pd.pptfx)
            return true;
    } while (more);
    return false;
}

/* this x then that: the product of two page transforms. */
PageTransform product(const PageTransform &x, const PageTransform &s)
{
    return PageTransform{x.m11 * s.m11 + x.m12 * s.m21, x.m11 * s.m12 + x.m12 * s.m22,
                         x.m21 * s.m11 + x.m22 * s.m21, x.m21 * s.m12 + x.m22 * s.m22,
                         x.dx * s.m11 + x.dy * s.m21 + s.dx,  x.dx * s.m12 + x.dy * s.m22 + s.dy};
}

/* PaintPath, under the path's own transform for a geometric pen. */
BOOL paint(PdevContext *pdev, XFORMOBJ *pxo, const LINEATTRS *la, LONG mode)
{
    XFORML m{};
    const ULONG kind = (mode & MODE_STROKE) && la && (la->fl & LA_GEOMETRIC) ? XFORMOBJ_iGetXform(pxo, &m)
                                                                              : GX_IDENTITY;
    if (kind == GX_IDENTITY)
        return XL_PaintPath(pdev) == 0;
    PageTransform saved{};
    if (kind == DDI_ERROR || XL_GetCurrentCtm(pdev->ctmTracker, &saved) != 0)
        return FALSE;
    const PageTransform own = kind == GX_SCALE ? PageTransform{m.eM11, 0, 0, m.eM22, 0, 0}
                                               : PageTransform{m.eM11, m.eM12, m.eM21, m.eM22, m.eDx, m.eDy};
    const PageTransform both = product(own, saved);
    const bool ok = REC_SetTransform(pdev, &both) == 0 && XL_PaintPath(pdev) == 0;
    const bool restored = REC_SetTransform(pdev, &saved) == 0;
    /* Page transforms leave the printer's clip unknown to the writer: ask for it again next time. */
    if (pdev->pathClip.kind != PTH_CLIP_PAGE)
        pdev->pathClip.kind = PTH_CLIP_UNDETERMINED;
    return ok && restored;
}

/* The null brush for a stroke only, the null pen for a fill only. */
bool null_other(PdevContext *pdev, LONG mode)
{
    if (mode == MODE_STROKE)
        return XL_SetBrushNull(pdev) == 0;
    if (mode == MODE_FILL)
        return XL_SetPenNull(pdev) == 0;
    return true;
}

BOOL emit(PdevContext *pdev, PATHOBJ *ppo, XFORMOBJ *pxo, const LINEATTRS *la, LONG mode, int shape,
          const RECTFX &bounds, const RECTL *cut)
{
    if (shape == PTH_SHAPE_ELLIPSE)
        return null_other(pdev, mode) &&
               XL_Ellipse(pdev, bounds.xLeft >> 4, bounds.yTop >> 4, bounds.xRight >> 4, bounds.yBottom >> 4) == 0;
    if (shape == PTH_SHAPE_RECTANGLE) {
        const PATHDATA pd = first_record(ppo).data;
        const POINTFIX a = pd.pptfx[0], c = pd.pptfx[2];
        RECTL box{std::min(a.x, c.x), std::min(a.y, c.y), std::max(a.x, c.x), std::max(a.y, c.y)};
        if (box.left == box.right && box.top == box.bottom) {
            box.right += 1;
            box.bottom += 1;
        }
        if (cut) {
            const RECTL c16{LONG(std::clamp<LONGLONG>(LONGLONG(cut->left) * 16, INT32_MIN, INT32_MAX)),
                            LONG(std::clamp<LONGLONG>(LONGLONG(cut->top) * 16, INT32_MIN, INT32_MAX)),
                            LONG(std::clamp<LONGLONG>(LONGLONG(cut->right) * 16, INT32_MIN, INT32_MAX)),
                            LONG(std::clamp<LONGLONG>(LONGLONG(cut->bottom) * 16, INT32_MIN, INT32_MAX))};
            BLT_IntersectClipBounds(&box, &c16);
            if (box.left >= box.right || box.top >= box.bottom)
                return TRUE; /* nothing of it lies inside the clip */
        }
        return null_other(pdev, mode) &&
               XL_Rectangle(pdev, box.left >> 4, box.top >> 4, box.right >> 4, box.bottom >> 4) == 0;
    }
    if (PTH_EmitPathData(pdev, ppo, nullptr, 0) != 1 || !null_other(pdev, mode))
        return FALSE;
    return paint(pdev, pxo, la, mode);
}

BOOL invalid()
{
    SetLastError(ERROR_INVALID_PARAMETER);
    return FALSE;
}

} // namespace

bool PTH_PenAllowsShape(const LINEATTRS *la) { return la && !(la->fl & LA_GEOMETRIC) && !dashed(la); }

int PTH_ClassifyPath(PATHOBJ *ppo, const LINEATTRS *la, XFORMOBJ *pxo, LONG mode)
{
    if (!ppo)
        return -1;
    const bool stroke = mode & MODE_STROKE;
    if ((ppo->fl & PO_ELLIPSE) && (!stroke || PTH_PenAllowsShape(la)))
        return PTH_SHAPE_ELLIPSE;
    const FirstRecord f = first_record(ppo);
    if (f.only && rectangle_shape(f.data)) {
        const bool penAllows = la && !dashed(la) && (!(la->fl & LA_GEOMETRIC) || identity(pxo));
        if (!stroke || penAllows)
            return PTH_SHAPE_RECTANGLE;
    }
    return PTH_SHAPE_GENERAL;
}

int PTH_SetPathClip(PdevContext *pdev, PATHOBJ *ppo, CLIPOBJ *pco, const RECTL *bounds, LONG mode)
{
    if (!pdev || !ppo || !bounds)
        return 0;
    if (JOB_IsSheetDecoration(pdev))
        return 1;
    /* A filled rectangle poking out of a rectangular clip is cut to it instead; the page clip is selected. */
    if (mode == MODE_FILL && pco && pco->iDComplexity == DC_RECT) {
        const RECTL &c = pco->rclBounds;
        const bool exceeds =
            bounds->left < c.left || bounds->top < c.top || bounds->right > c.right || bounds->bottom > c.bottom;
        if (exceeds && PTH_ClassifyPath(ppo, nullptr, nullptr, MODE_FILL) == PTH_SHAPE_RECTANGLE)
            return PTH_SetClipRegion(pdev, nullptr, nullptr) == 1 ? 2 : 0;
    }
    RECTL target = *bounds;
    return PTH_SetClipRegion(pdev, pco, &target);
}

BOOL PTH_SetBrushAndPen(PdevContext *pdev, BRUSHOBJ *pboStroke, BRUSHOBJ *pboFill, POINTL *pptlBrushOrg,
                        LINEATTRS *la, MIX mix, FLONG flOptions, LONG mode, LONG pass)
{
    if (!pdev || mode < MODE_STROKE || mode > MODE_BOTH || ((mode & MODE_STROKE) && !la))
        return FALSE;
    if ((mode & MODE_STROKE) && !PTH_SetLineAttrs(pdev, la))
        return FALSE;
    const ROP4 rop4 = BRS_MixToRop(mix);
    if ((mode & MODE_STROKE) && !BRS_SelectBrush(pdev, pass ? -1 : 1, pptlBrushOrg, pboStroke, &rop4))
        return FALSE;
    if (mode & MODE_FILL) {
        if (!BRS_SelectBrush(pdev, pass ? -2 : 2, pptlBrushOrg, pboFill, &rop4))
            return FALSE;
        if (flOptions == FP_ALTERNATEMODE && XL_SetFillMode(pdev, XLV_eEvenOdd) != 0)
            return FALSE;
        if (flOptions == FP_WINDINGMODE && XL_SetFillMode(pdev, XLV_eNonZeroWinding) != 0)
            return FALSE;
    }
    return TRUE;
}

BOOL PTH_DrawPath(PdevContext *pdev, PATHOBJ *ppo, CLIPOBJ *pco, XFORMOBJ *pxo, BRUSHOBJ *pboStroke,
                  BRUSHOBJ *pboFill, POINTL *pptlBrushOrg, LINEATTRS *plineattrs, MIX mix, FLONG flOptions,
                  LONG mode)
{
    if (!PDEV_IsValid(pdev) || !ppo || mode < MODE_STROKE || mode > MODE_BOTH ||
        ((mode & MODE_STROKE) && !plineattrs))
        return invalid();
    if (pdev->flags & PDEV_FAILED)
        return FALSE;
    if (BLT_FlushPendingImages(pdev, TRUE) != 0 || JOB_PrepareDraw(pdev) == -1)
        return FALSE;
    if (!count_points(ppo))
        return invalid(); /* a path without points */

    RECTFX fx{};
    PATHOBJ_vGetBounds(ppo, &fx);
    const RECTL bounds = pixel_bounds(fx);
    const int clip = PTH_SetPathClip(pdev, ppo, pco, &bounds, mode);
    if (clip == 0)
        return FALSE;

    /* A stroked rectangle shrunk to a point is drawn solid. */
    LINEATTRS solid{};
    LINEATTRS *la = plineattrs;
    const FirstRecord f = first_record(ppo);
    if ((mode & MODE_STROKE) && rectangle_shape(f.data) && f.data.pptfx[1].x == f.data.pptfx[3].x &&
        f.data.pptfx[1].y == f.data.pptfx[3].y) {
        solid = *plineattrs;
        solid.cstyle = 0;
        la = &solid;
    }
    const int shape = PTH_ClassifyPath(ppo, la, pxo, mode);
    const RECTL *cut = clip == 2 && shape == PTH_SHAPE_RECTANGLE ? &pco->rclBounds : nullptr;
    const int passes = JOB_IsDecorationDrawing(pdev) && JOB_IsWatermarkSeeThrough(pdev) ? 2 : 1;
    for (int pass = 0; pass < passes; pass++) {
        if (!PTH_SetBrushAndPen(pdev, pboStroke, pboFill, pptlBrushOrg, la, mix, flOptions, mode, pass) ||
            !emit(pdev, ppo, pxo, la, mode, shape, fx, cut))
            return FALSE;
    }
    if (la == &solid)
        plineattrs->eMiterLimit = solid.eMiterLimit;
    return TRUE;
}

BOOL PTH_StrokePath(SURFOBJ *pso, PATHOBJ *ppo, CLIPOBJ *pco, XFORMOBJ *pxo, BRUSHOBJ *pbo, POINTL *pptlBrushOrg,
                    LINEATTRS *plineattrs, MIX mix)
{
    PdevContext *pdev = PDEV_CheckedFromSurface(pso);
    if (!pdev)
        return FALSE;
    if (!ppo || !plineattrs || ((plineattrs->fl & LA_GEOMETRIC) && !pxo))
        return invalid();
    return PTH_DrawPath(pdev, ppo, pco, pxo, pbo, nullptr, pptlBrushOrg, plineattrs, mix, 0, MODE_STROKE);
}

BOOL PTH_FillPath(SURFOBJ *pso, PATHOBJ *ppo, CLIPOBJ *pco, BRUSHOBJ *pbo, POINTL *pptlBrushOrg, MIX mix,
                  FLONG flOptions)
{
    PdevContext *pdev = PDEV_CheckedFromSurface(pso);
    if (!pdev)
        return FALSE;
    if (!ppo)
        return invalid();
    return PTH_DrawPath(pdev, ppo, pco, nullptr, nullptr, pbo, pptlBrushOrg, nullptr, mix, flOptions, MODE_FILL);
}

BOOL PTH_StrokeAndFillPath(SURFOBJ *pso, PATHOBJ *ppo, CLIPOBJ *pco, XFORMOBJ *pxo, BRUSHOBJ *pboStroke,
                           LINEATTRS *plineattrs, BRUSHOBJ *pboFill, POINTL *pptlBrushOrg, MIX mixFill,
                           FLONG flOptions)
{
    PdevContext *pdev = PDEV_CheckedFromSurface(pso);
    if (!pdev)
        return FALSE;
    if (!ppo || !plineattrs || ((plineattrs->fl & LA_GEOMETRIC) && !pxo))
        return invalid();
    return PTH_DrawPath(pdev, ppo, pco, pxo, pboStroke, pboFill, pptlBrushOrg, plineattrs, mixFill, flOptions,
                        MODE_BOTH);
}
