/*
 * Line and Bezier point lists of paths: the points are packed into runs of
 * the smallest point type (absolute or relative to the cursor), and a run
 * whose points leave the 16-bit range is written in a frame moved or fitted
 * onto it.
 */
#include "pclxl_transform.h"

#include "pclxl_ops_private.h"
#include "pclxl_tags.h"
#include "pdev_context.h"

#include <plat/memory.h>

namespace {

int xl_EmitPoints(PdevContext *pdev, WORD count, BYTE pointType, const BYTE *points, BYTE op)
{
    if (pointType > XL_POINT_eSInt16 || (count != 0 && !points))
        return -1;
    DWORD size = pointType <= XL_POINT_eSByte ? 2 : 4;
    if (xl_UInt16Attr(pdev, count, XLATTR_NumberOfPoints) != 0 ||
        xl_UByteAttr(pdev, pointType, XLATTR_PointType) != 0 || XL_PutOperator(pdev, op) != 0)
        return -1;
    return XL_EmbeddedData(pdev, points, DWORD(count) * size);
}

/* One packed run written inside `frame`; frees the buffer. */
int xl_EmitRun(PdevContext *pdev, const CoordFrame *frame, LONG count, BYTE pointType, BOOL relative, BYTE *buffer,
               bool bezier)
{
    int rc = -1;
    if (XL_EnterCoordFrame(pdev, frame) == 0) {
        rc = bezier ? XL_EmitBezierPoints(pdev, WORD(count), pointType, relative, buffer)
                    : XL_EmitLinePoints(pdev, WORD(count), pointType, relative, buffer);
        if (rc == 0)
            rc = XL_LeaveCoordFrame(pdev, frame);
    }
    GlobalFree(buffer);
    return rc;
}

} // namespace

int XL_EmitLinePoints(PdevContext *pdev, WORD count, BYTE pointType, BOOL relative, const BYTE *points)
{
    return xl_EmitPoints(pdev, count, pointType, points, relative ? XLOP_LineRelPath : XLOP_LinePath);
}

int XL_EmitBezierPoints(PdevContext *pdev, WORD count, BYTE pointType, BOOL relative, const BYTE *points)
{
    return xl_EmitPoints(pdev, count, pointType, points, relative ? XLOP_BezierRelPath : XLOP_BezierPath);
}

int XL_LinePath(PdevContext *pdev, DWORD count, const DevicePoint *points, DevicePoint *previous)
{
    if (!pdev || (count != 0 && !points))
        return -1;
    CoordFrame frame = XL_IdentityFrame();
    bool moved = false;
    DWORD done = 0;
    while (done < count) {
        BYTE pointType;
        LONG packed;
        BOOL relative;
        BYTE *buffer = XL_PackPoints(count - done, points + done, &frame, &pointType, &packed, previous, &relative,
                                     FALSE);
        if (packed < 0)
            return -1;
        if (packed == 0) {
            /* The next point fits no type in this frame: move the frame onto it,
               where it is (0, 0).  A second empty run cannot happen; stop if it does. */
            if (moved)
                return -1;
            frame = XL_IdentityFrame();
            frame.originX = points[done].x;
            frame.originY = points[done].y;
            moved = true;
            continue;
        }
        if (xl_EmitRun(pdev, &frame, packed, pointType, relative, buffer, false) != 0)
            return -1;
        done += DWORD(packed);
        moved = false;
    }
    return 0;
}

int XL_BezierPath(PdevContext *pdev, DWORD count, const DevicePoint *points, DevicePoint *previous)
{
    if (!pdev || count % 3 != 0 || (count != 0 && !points))
        return -1;
    CoordFrame frame = XL_IdentityFrame();
    bool refitted = false;
    DWORD done = 0;
    while (done < count) {
        BYTE pointType;
        LONG packed;
        BOOL relative;
        BYTE *buffer = XL_PackPoints(count - done, points + done, &frame, &pointType, &packed, previous, &relative,
                                     TRUE);
        if (packed < 0)
            return -1;
        if (packed >= 3) {
            LONG whole = packed - packed % 3; /* whole curves only */
            if (xl_EmitRun(pdev, &frame, whole, pointType, relative, buffer, true) != 0)
                return -1;
            done += DWORD(whole);
            refitted = false;
            continue;
        }
        GlobalFree(buffer);
        /* Not even one curve fits: fit a frame around the next curve, once. */
        if (refitted)
            return -1;
        DevicePoint curve[3] = {points[done], points[done + 1], points[done + 2]};
        XL_FitCoordFrame(3, curve, &frame);
        refitted = true;
    }
    return 0;
}
