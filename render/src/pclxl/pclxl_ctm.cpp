/*
 * Page transforms as PCL XL commands, and the CTM tracker that sends a page
 * transform only when it differs from the one in force.  The printer's page
 * transform commands carry a rotation in whole quarter turns and a scale, so
 * a transform is reduced to those: mirrored or sheared transforms are sent
 * without their mirror or shear and marked with a comment in the stream.
 */
#include "pclxl_transform.h"

#include "pclxl_ops.h"
#include "pdev_context.h"

#include <plat/memory.h>

#include <cmath>
#include <cstdint>
#include <cstring>

namespace {

/* A float truncated toward zero into the 32-bit range (0 for not-a-number). */
LONG xl_TruncToLong(FLOAT v)
{
    if (!(v == v))
        return 0;
    if (v <= -2147483648.0f)
        return INT32_MIN;
    if (v >= 2147483648.0f)
        return INT32_MAX;
    return LONG(v);
}

LONG xl_BaseAngle(LONG sheetRotation)
{
    switch (sheetRotation) {
    case SHEET_ROTATE_180:
        return 180;
    case SHEET_ROTATE_90:
        return 90;
    case SHEET_ROTATE_270:
        return 270;
    default:
        return 0;
    }
}

} // namespace

FLOAT XL_Hypot(FLOAT a, FLOAT b)
{
    FLOAT p = std::fabs(a), q = std::fabs(b);
    if (p < q) {
        FLOAT t = p;
        p = q;
        q = t;
    }
    if (q == 0.0f)
        return p;
    for (int i = 0; i < 3; i++) {
        FLOAT r = (q / p) * (q / p);
        r = r / (4.0f + r);
        p = p + 2.0f * r * p;
        q = q * r;
    }
    return p;
}

int XL_SendCtm(PdevContext *pdev, const PageTransform *ctm)
{
    if (!pdev || !ctm)
        return -1;
    LONG angle = 0;
    FLOAT scaleX, scaleY;
    const char *comment = nullptr;
    if (ctm->m12 == 0.0f && ctm->m21 == 0.0f) {
        if (ctm->m11 > 0.0f && ctm->m22 > 0.0f)
            angle = 0;
        else if (ctm->m11 < 0.0f && ctm->m22 < 0.0f)
            angle = 180;
        else
            comment = "MIRROR!!!";
        scaleX = std::fabs(ctm->m11);
        scaleY = std::fabs(ctm->m22);
    } else if (ctm->m11 == 0.0f && ctm->m22 == 0.0f) {
        if (ctm->m12 < 0.0f && ctm->m21 > 0.0f) {
            angle = 90;
        } else if (ctm->m12 > 0.0f && ctm->m21 < 0.0f) {
            angle = 270;
        } else {
            comment = "MIRROR!!!";
            angle = 90;
        }
        scaleX = std::fabs(ctm->m12);
        scaleY = std::fabs(ctm->m21);
    } else {
        comment = "CTM!!!";
        scaleX = XL_Hypot(ctm->m11, ctm->m12);
        scaleY = XL_Hypot(ctm->m21, ctm->m22);
    }
    if (comment && XL_Comment(pdev, comment) != 0)
        return -1;
    if (XL_SetPageRotation(pdev, xl_BaseAngle(pdev->sheetRotation)) != 0 || XL_SetPageDefaultCtm(pdev) != 0 ||
        XL_MovePageOrigin(pdev, xl_TruncToLong(ctm->dx), xl_TruncToLong(ctm->dy)) != 0 ||
        XL_SetPageScale(pdev, scaleX, scaleY) != 0 || XL_SetPageRotation(pdev, angle) != 0)
        return -1;
    return 0;
}

CtmTracker *XL_CreateCtmTracker(PdevContext *pdev, LONG jobFlag)
{
    if (!pdev || jobFlag == 0)
        return nullptr;
    auto *tracker = static_cast<CtmTracker *>(GlobalAlloc(GPTR, sizeof(CtmTracker)));
    auto *state = static_cast<CtmState *>(GlobalAlloc(GPTR, sizeof(CtmState)));
    if (!tracker || !state) {
        GlobalFree(tracker);
        GlobalFree(state);
        return nullptr;
    }
    tracker->pdev = pdev;
    tracker->channel = pdev->channel;
    tracker->state = state;
    state->valid = 1;
    return tracker;
}

void XL_FreeCtmTracker(CtmTracker *tracker)
{
    if (!tracker)
        return;
    GlobalFree(tracker->state);
    GlobalFree(tracker);
}

LONG XL_SetCtmValid(CtmTracker *tracker, LONG valid)
{
    if (!tracker)
        return 0;
    LONG previous = tracker->state->valid;
    tracker->state->valid = valid;
    return previous;
}

int XL_ApplyCtm(CtmTracker *tracker, const PageTransform *ctm)
{
    if (!tracker || !ctm)
        return -1;
    CtmState *state = tracker->state;
    if (state->valid && std::memcmp(&state->current, ctm, sizeof *ctm) == 0)
        return 0;
    if (XL_SendCtm(tracker->pdev, ctm) != 0)
        return -1;
    state->current = *ctm;
    return 0;
}

int XL_RememberCtm(CtmTracker *tracker, const PageTransform *ctm)
{
    if (!tracker || !ctm)
        return -1;
    tracker->state->current = *ctm;
    return 0;
}

int XL_GetCurrentCtm(const CtmTracker *tracker, PageTransform *ctm)
{
    if (!tracker || !ctm)
        return -1;
    *ctm = tracker->state->current;
    return 0;
}

int XL_ResetCtmTracker(CtmTracker *tracker)
{
    if (!tracker)
        return -1;
    XL_InvalidateState(tracker->pdev);
    std::memset(&tracker->state->current, 0, sizeof tracker->state->current);
    return 0;
}

int XL_ClipToPage(CtmTracker *tracker)
{
    if (!tracker)
        return -1;
    return XL_SetClipToPage(tracker->pdev);
}
