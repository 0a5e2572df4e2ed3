/*
 * Temporary coordinate frames around PCL XL commands: the page origin moved
 * in steps that each fit a sint16_xy, the frame's rotation and scale, and
 * their exact inverse after the command.
 */
#include "pclxl_transform.h"

#include "pclxl_ops.h"
#include "pdev_context.h"

#include <algorithm>

namespace {

/*
 * SetPageOrigin steps until (x, y) is applied: each step takes what remains,
 * clamped to -32768..32767 per axis.  With `atLeastOne` a zero move still
 * writes one step.  The steps are bounded: each one consumes at least 32767
 * of the larger remainder.
 */
int xl_OriginSteps(PdevContext *pdev, LONGLONG x, LONGLONG y, bool atLeastOne)
{
    if (x == 0 && y == 0 && !atLeastOne)
        return 0;
    do {
        LONGLONG sx = std::clamp<LONGLONG>(x, -32768, 32767);
        LONGLONG sy = std::clamp<LONGLONG>(y, -32768, 32767);
        if (XL_SetPageOrigin(pdev, SHORT(sx), SHORT(sy)) != 0)
            return -1;
        x -= sx;
        y -= sy;
    } while (x != 0 || y != 0);
    return 0;
}

bool xl_UnitScale(const CoordFrame *frame)
{
    return frame->scaleX == 1.0f && frame->scaleY == 1.0f;
}

} // namespace

int XL_EnterCoordFrame(PdevContext *pdev, const CoordFrame *frame)
{
    if (!pdev || !frame)
        return -1;
    if (xl_OriginSteps(pdev, frame->originX, frame->originY, false) != 0)
        return -1;
    if (frame->angle != 0 && XL_SetPageRotation(pdev, frame->angle) != 0)
        return -1;
    if (!xl_UnitScale(frame) && XL_SetPageScale(pdev, frame->scaleX, frame->scaleY) != 0)
        return -1;
    return 0;
}

int XL_LeaveCoordFrame(PdevContext *pdev, const CoordFrame *frame)
{
    if (!pdev || !frame)
        return -1;
    if (!xl_UnitScale(frame) && XL_SetPageScale(pdev, 1.0f / frame->scaleX, 1.0f / frame->scaleY) != 0)
        return -1;
    if (frame->angle != 0 && XL_SetPageRotation(pdev, -LONG(frame->angle)) != 0)
        return -1;
    return xl_OriginSteps(pdev, -LONGLONG(frame->originX), -LONGLONG(frame->originY), false);
}

int XL_MovePageOrigin(PdevContext *pdev, LONG dx, LONG dy)
{
    if (!pdev)
        return -1;
    return xl_OriginSteps(pdev, dx, dy, true);
}
