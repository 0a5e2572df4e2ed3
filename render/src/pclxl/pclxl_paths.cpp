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
               BOOL bezier)
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

/*
 * Writes a line or Bezier point list in runs.  A run is what XL_PackPoints
 * takes in the current frame (whole curves only in Bezier mode).  When not
 * even one point (or curve) fits, the frame is placed once around what comes
 * next: a line list moves the origin onto the next point, where it is (0, 0);
 * a Bezier list fits a frame around the next curve.  If that still does not
 * hold it, the list cannot be written.  The frame stays for the following
 * runs until a point leaves it.
 */
int xl_PointPath(PdevContext *pdev, DWORD count, const DevicePoint *points, DevicePoint *previous, BOOL bezier)
{
    if (!pdev || (count != 0 && !points))
        return -1;
    CoordFrame frame = XL_IdentityFrame();
    bool placed = false;
    DWORD done = 0;
    while (done < count) {
        BYTE pointType;
        LONG packed;
        BOOL relative;
        BYTE *buffer = XL_PackPoints(count - done, points + done, &frame, &pointType, &packed, previous, &relative,
                                     bezier);
        if (packed < 0)
            return -1;
        LONG usable = bezier ? packed - packed % 3 : packed;
        if (usable > 0) {
            if (xl_EmitRun(pdev, &frame, usable, pointType, relative, buffer, bezier) != 0)
                return -1;
            done += DWORD(usable);
            placed = false;
            continue;
        }
        GlobalFree(buffer);
        if (placed)
            return -1;
        if (bezier) {
            DevicePoint curve[3] = {points[done], points[done + 1], points[done + 2]};
            XL_FitCoordFrame(3, curve, &frame);
        } else {
            frame = XL_IdentityFrame();
            frame.originX = points[done].x;
            frame.originY = points[done].y;
        }
        placed = true;
    }
    return 0;
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
    return xl_PointPath(pdev, count, points, previous, FALSE);
}

int XL_BezierPath(PdevContext *pdev, DWORD count, const DevicePoint *points, DevicePoint *previous)
{
    if (count % 3 != 0)
        return -1;
    return xl_PointPath(pdev, count, points, previous, TRUE);
}
