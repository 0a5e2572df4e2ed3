/*
 * The pen's line attributes (joins, caps, miter limit, width, dashes) and
 * path data: the records of a path, or of a path copy, written as PCL XL
 * subpaths through the point-list writers.
 */
#include "draw_path.h"
#include "draw_xl_values.h"
#include "pclxl_ops.h"
#include "pclxl_transform.h"
#include "pdev_context.h"

#include <plat/error.h>
#include <plat/memory.h>

#include <algorithm>
#include <array>
#include <cmath>

namespace {

constexpr WORD S_RESOLUTION = 20;

/* Points converted and written at a time: a multiple of 3 so that Bezier runs stay whole. */
constexpr size_t kPointChunk = 999;

/* A dash entry or offset as the printer takes it: 0..65535. */
WORD dash_value(double v)
{
    if (!(v > 0)) /* negative or not a number */
        return 0;
    return v >= 65535.0 ? 0xFFFF : WORD(v);
}

BYTE join_of(ULONG join)
{
    switch (join) {
    case JOIN_ROUND: return XLV_eRoundJoin;
    case JOIN_BEVEL: return XLV_eBevelJoin;
    default: return XLV_eMiterJoin;
    }
}

BYTE cap_of(ULONG cap)
{
    switch (cap) {
    case ENDCAP_ROUND: return XLV_eRoundCap;
    case ENDCAP_SQUARE: return XLV_eSquareCap;
    default: return XLV_eButtCap;
    }
}

DevicePoint to_device(const POINTFIX &p) { return DevicePoint{p.x >> 4, p.y >> 4}; }

/* Writes one record: the cursor at its first point when it begins a subpath, then the rest as lines or curves. */
bool emit_record(PdevContext *pdev, DWORD flags, const POINTFIX *points, DWORD count, DevicePoint *cursor)
{
    DWORD first = 0;
    if ((flags & PD_BEGINSUBPATH) && count > 0) {
        *cursor = to_device(points[0]);
        if (XL_SetCursor(pdev, cursor->x, cursor->y) != 0)
            return false;
        first = 1;
    }
    const bool beziers = flags & PD_BEZIERS;
    if (beziers && (count - first) % 3 != 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return false;
    }
    std::array<DevicePoint, kPointChunk> run;
    for (DWORD i = first; i < count;) {
        const DWORD n = DWORD(std::min<size_t>(kPointChunk, count - i));
        for (DWORD k = 0; k < n; k++)
            run[k] = to_device(points[i + k]);
        const int rc = beziers ? XL_BezierPath(pdev, n, run.data(), cursor) : XL_LinePath(pdev, n, run.data(), cursor);
        if (rc != 0)
            return false;
        i += n;
    }
    if ((flags & PD_ENDSUBPATH) && (flags & PD_CLOSEFIGURE) && XL_CloseSubPath(pdev) != 0)
        return false;
    return true;
}

} // namespace

BOOL PTH_SetLineDash(PdevContext *pdev, const LINEATTRS *la, LONG scale)
{
    if (!pdev || !la)
        return FALSE;
    if (la->cstyle == 0 || !la->pstyle)
        return XL_SetLineSolid(pdev) == 0;
    if (la->cstyle > 65535) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const bool geometric = la->fl & LA_GEOMETRIC;
    auto entry = [&](ULONG i) { return geometric ? std::trunc(double(la->pstyle[i].e)) : double(la->pstyle[i].l); };
    double state = geometric ? std::trunc(double(la->elStyleState.e)) : double(la->elStyleState.l);
    auto *dashes = static_cast<WORD *>(HeapAlloc(GetProcessHeap(), 0, sizeof(WORD) * la->cstyle));
    if (!dashes)
        return FALSE;
    ULONG k = 0;
    if (la->fl & LA_STARTGAP) {
        /* The gap first: the last entry moves to the front and the pattern starts that much later. */
        const double last = entry(la->cstyle - 1);
        dashes[k++] = dash_value(last * scale);
        state += last;
    }
    for (ULONG i = 0; k < la->cstyle; i++)
        dashes[k++] = dash_value(entry(i) * scale);
    const int rc = XL_SetLineDash(pdev, la->cstyle, dashes, dash_value(state * scale));
    HeapFree(GetProcessHeap(), 0, dashes);
    return rc == 0;
}

BOOL PTH_SetLineAttrs(PdevContext *pdev, LINEATTRS *la)
{
    if (!pdev || !la)
        return FALSE;
    LONGLONG width = 0;
    LONG scale = 1;
    if (la->fl & LA_GEOMETRIC) {
        if (la->eMiterLimit < 1.0f || std::isnan(la->eMiterLimit))
            la->eMiterLimit = 1.0f;
        const double w = la->elWidth.e;
        width = std::isfinite(w) ? LONGLONG(std::trunc(w)) : -1;
        if (XL_SetLineJoin(pdev, join_of(la->iJoin)) != 0 || XL_SetLineCap(pdev, cap_of(la->iEndCap)) != 0 ||
            XL_SetMiterLimitReal(pdev, la->eMiterLimit) != 0)
            return FALSE;
    } else {
        width = la->elWidth.l;
        if (!(la->fl & LA_ALTERNATE)) {
            WORD resolution = 0;
            if (PDEV_GetSetting16(pdev, S_RESOLUTION, &resolution) != 0)
                return FALSE;
            scale = LONG(resolution) * 48 / 1200;
        }
    }
    /* The printer's pen is at most 65,535 pixels wide: a wider or negative one is the caller's error. */
    if (width < 0 || width > 65535) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    if (XL_SetPenWidth(pdev, WORD(width)) != 0)
        return FALSE;
    if (!(la->fl & LA_GEOMETRIC) && (la->fl & LA_ALTERNATE)) {
        const WORD alternate[2] = {1, 1};
        return XL_SetLineDash(pdev, 2, alternate, 0) == 0;
    }
    return PTH_SetLineDash(pdev, la, scale);
}

int PTH_EmitPathData(PdevContext *pdev, PATHOBJ *ppo, const void *clipPoints, DWORD records)
{
    if (!pdev || (!ppo && (!clipPoints || records == 0))) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    if (XL_NewPath(pdev) != 0)
        return 0;
    DevicePoint cursor{};
    if (!ppo) {
        const auto *rec = static_cast<const PathCopyRecord *>(clipPoints);
        for (DWORD i = 0; i < records; i++)
            if (!emit_record(pdev, rec[i].flags, rec[i].points, rec[i].count, &cursor))
                return 0;
        return 1;
    }
    bool any = false;
    PATHOBJ_vEnumStart(ppo);
    PATHDATA pd{};
    BOOL more;
    do {
        more = PATHOBJ_bEnum(ppo, &pd);
        if (pd.count == 0)
            continue;
        if (!pd.pptfx || !emit_record(pdev, DWORD(pd.flags), pd.pptfx, pd.count, &cursor))
            return 0;
        any = true;
    } while (more);
    if (!any)
        SetLastError(ERROR_INVALID_PARAMETER);
    return any ? 1 : 0;
}
