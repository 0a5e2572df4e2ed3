/*
 * Path drawing on a printer device context (see plat/gdi.h): the engine's
 * side of DrvStrokePath, DrvFillPath and DrvStrokeAndFillPath.  The engine
 * makes the path, clip, brush and transform objects of one call, hands the
 * library a pattern surface and translation for each pattern or hatch
 * brush (realised through the library's DrvRealizeBrush when it asks), and
 * frees everything after the call.
 */
#include "gdi_call_private.h"

#include <memory>

using plat::gdi::as;

namespace {

/* The objects of one brush, alive for one call. */
struct BrushObjects {
    SURFOBJ pattern{};
    std::vector<BYTE> rows;
    XLATEOBJ *xlate = nullptr;
    BRUSHOBJ *brush = nullptr;

    ~BrushObjects()
    {
        plat::engine_free_brush(brush);
        plat::engine_free_xlate(xlate);
    }
};

/* An engine hatch brush hands a one-bit 8 x 8 surface (the library draws its own hatch) and {background, lines}. */
void make_brush(const plat::GdiBrush &b, PFN_DrvRealizeBrush realize, SURFOBJ *target, BrushObjects &out)
{
    if (b.kind == plat::GdiBrush::Solid) {
        out.brush = plat::engine_make_solid_brush(b.color);
        return;
    }
    plat::BrushRealization r{};
    r.realize = realize;
    r.target = target;
    if (b.kind == plat::GdiBrush::Hatch) {
        out.rows.assign(8 * 4, 0);
        out.pattern.sizlBitmap = {8, 8};
        out.pattern.iBitmapFormat = BMF_1BPP;
        out.pattern.lDelta = 4;
        out.xlate = plat::engine_make_xlate_table({b.background, b.color});
        r.hatch = b.hatch;
    } else {
        out.rows = b.rows;
        out.pattern.sizlBitmap = {b.width, b.height};
        out.pattern.iBitmapFormat = b.format;
        out.pattern.lDelta = b.height > 0 ? LONG(b.rows.size() / size_t(b.height)) : 0;
        out.xlate = plat::engine_make_xlate_table(b.palette);
        r.hatch = HS_DDI_MAX;
    }
    out.pattern.pvBits = out.pattern.pvScan0 = out.rows.empty() ? nullptr : out.rows.data();
    out.pattern.cjBits = ULONG(out.rows.size());
    out.pattern.fjBitmap = BMF_TOPDOWN;
    out.pattern.iType = STYPE_BITMAP;
    r.pattern = &out.pattern;
    r.xlate = out.xlate;
    out.brush = plat::engine_make_pattern_brush(r);
}

} // namespace

namespace plat {

BOOL gdi_draw_path(HDC hdc, const GdiPathDraw &draw)
{
    const ULONG index =
        draw.mode == 1 ? INDEX_DrvStrokePath : draw.mode == 2 ? INDEX_DrvFillPath : INDEX_DrvStrokeAndFillPath;
    GdiDcInfo info{};
    PFN fn = gdi::drawing_function(hdc, index, &info);
    if (!fn)
        return FALSE;
    if (draw.mode < 1 || draw.mode > 3) {
        SetLastError(ERROR_INVALID_DRIVER);
        return FALSE;
    }
    auto realize = as<PFN_DrvRealizeBrush>(gdi_driver_function(hdc, INDEX_DrvRealizeBrush));
    SURFOBJ *pso = gdi::lock_surface(info);
    if (!pso)
        return FALSE;
    BrushObjects fill, pen;
    make_brush(draw.fill, realize, pso, fill);
    make_brush(draw.pen, realize, pso, pen);
    PATHOBJ *path = engine_make_path(draw.figures, draw.pathFlags);
    CLIPOBJ *clip = draw.clip.empty() ? nullptr : engine_make_clip(draw.clip);
    XFORMOBJ *xform = engine_make_xform(draw.xform);
    LINEATTRS line = draw.line;
    std::vector<FLOAT_LONG> style = draw.style;
    line.cstyle = ULONG(style.size());
    line.pstyle = style.empty() ? nullptr : style.data();
    POINTL origin{0, 0};
    BOOL ok = FALSE;
    switch (draw.mode) {
    case 1:
        ok = as<PFN_DrvStrokePath>(fn)(pso, path, clip, xform, pen.brush, &origin, &line, draw.mix);
        break;
    case 2:
        ok = as<PFN_DrvFillPath>(fn)(pso, path, clip, fill.brush, &origin, draw.mix, draw.fillMode);
        break;
    default:
        ok = as<PFN_DrvStrokeAndFillPath>(fn)(pso, path, clip, xform, pen.brush, &line, fill.brush,
                                                            &origin, draw.mix, draw.fillMode);
        break;
    }
    engine_free_xform(xform);
    engine_free_clip(clip);
    EngDeletePath(path);
    EngUnlockSurface(pso);
    return ok;
}

} // namespace plat
