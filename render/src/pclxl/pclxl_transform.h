/*
 * The transformation side of the PCL XL writer: page transforms turned into
 * page-transform commands, the CTM tracker that suppresses a transform equal
 * to the one in force, temporary coordinate frames around commands whose
 * coordinates leave the 16-bit range, and the line and Bezier point lists of
 * paths written in runs of the smallest point type.
 *
 * Writing functions return 0, or -1 at the first failed write (or for a
 * missing context).
 */
#ifndef TARVELGR_PCLXL_TRANSFORM_H
#define TARVELGR_PCLXL_TRANSFORM_H

#include "pclxl_encoder.h"

#include <plat/types.h>

struct OutputChannel;
struct PdevContext;

/*
 * A 2x3 affine page transform, six real32 in this order (24 bytes, the
 * layout recorded pages store): x' = m11 x + m21 y + dx, y' = m12 x + m22 y + dy.
 */
struct PageTransform {
    FLOAT m11, m12, m21, m22, dx, dy;
};
static_assert(sizeof(PageTransform) == 24, "PageTransform is six real32");

/* The tracker's separately allocated state. */
struct CtmState {
    LONG valid;              /* 1 at creation; cleared while recorded pages replay */
    PageTransform current;   /* the transform in force; all zeros after a reset */
};

/*
 * One per job: remembers the page transform in force so that an equal one is
 * not sent again.  A context replaced inside a document hands its tracker to
 * the new one (the owner pointer changes; the channel moves with the job).
 */
struct CtmTracker {
    PdevContext *pdev;       /* owner; the commands go to its output channel */
    OutputChannel *channel;  /* the job's channel */
    CtmState *state;
};

/* --- Coordinate frames --- */

/*
 * Applies `frame`: SetPageOrigin in clamped steps until the whole origin is
 * applied (each step at most 32767 and at least -32768 per axis), then
 * SetPageRotation of the angle when not 0, then SetPageScale unless both
 * factors are exactly 1.0.  The identity writes nothing.
 */
int XL_EnterCoordFrame(PdevContext *pdev, const CoordFrame *frame);

/* Undoes XL_EnterCoordFrame: inverse scale, minus the angle, origin steps of minus the origin. */
int XL_LeaveCoordFrame(PdevContext *pdev, const CoordFrame *frame);

/* Moves the page origin by (dx, dy) in clamped steps; always at least one SetPageOrigin. */
int XL_MovePageOrigin(PdevContext *pdev, LONG dx, LONG dy);

/* --- Point lists --- */

/*
 * One packed run: NumberOfPoints, PointType, the operator (LinePath, or
 * LineRelPath when `relative`), and count x 2 bytes (types 0, 1) or count x 4
 * bytes (types 2, 3) of points as embedded data.
 */
int XL_EmitLinePoints(PdevContext *pdev, WORD count, BYTE pointType, BOOL relative, const BYTE *points);
/* As XL_EmitLinePoints with BezierPath or BezierRelPath. */
int XL_EmitBezierPoints(PdevContext *pdev, WORD count, BYTE pointType, BOOL relative, const BYTE *points);

/*
 * Writes `count` line points in runs that fit the smallest point type, each
 * run in its own frame when the points leave the 16-bit range.  `previous`
 * (may be null: absolute points only) is the current cursor in device
 * pixels; it is moved to the last point written.
 */
int XL_LinePath(PdevContext *pdev, DWORD count, const DevicePoint *points, DevicePoint *previous);

/*
 * Writes `count` Bezier points (three a curve; a count that is not a
 * multiple of 3 gives -1 with nothing written) as XL_LinePath does.  Fails
 * when even a frame fitted around the next curve cannot hold its points.
 */
int XL_BezierPath(PdevContext *pdev, DWORD count, const DevicePoint *points, DevicePoint *previous);

/* --- Page transforms --- */

/*
 * Sends `ctm` as page-transform commands: SetPageRotation of the sheet's base
 * angle (from the context's sheet rotation code), SetPageDefaultCTM, the
 * origin moved by (dx, dy), SetPageScale, SetPageRotation of the transform's
 * own angle.  A mirrored or sheared transform also writes the comment
 * "MIRROR!!!" or "CTM!!!" first, and is sent without its mirror or shear.
 */
int XL_SendCtm(PdevContext *pdev, const PageTransform *ctm);

/* The length of the vector (a, b) by three Moler-Morrison iterations (no square root). */
FLOAT XL_Hypot(FLOAT a, FLOAT b);

/* --- CTM tracker --- */

/*
 * A new tracker for the job of `pdev`, valid, with an all-zero current
 * transform.  Null without a context, with a zero `jobFlag`, or when memory
 * is short.  Free it with XL_FreeCtmTracker.
 */
CtmTracker *XL_CreateCtmTracker(PdevContext *pdev, LONG jobFlag);

/* Frees a tracker and its state; null is ignored. */
void XL_FreeCtmTracker(CtmTracker *tracker);

/* Sets the valid flag; returns the previous value (0 for a missing tracker). */
LONG XL_SetCtmValid(CtmTracker *tracker, LONG valid);

/*
 * Sends `ctm` through XL_SendCtm unless the tracker is valid and holds the
 * same six values bit for bit; then keeps it as current.  A failed send
 * keeps the old current transform.
 */
int XL_ApplyCtm(CtmTracker *tracker, const PageTransform *ctm);

/* Keeps `ctm` as current without sending it. */
int XL_RememberCtm(CtmTracker *tracker, const PageTransform *ctm);

/* Copies the current transform to *ctm. */
int XL_GetCurrentCtm(const CtmTracker *tracker, PageTransform *ctm);

/* Invalidates the graphics-state cache and zeroes the current transform, so the next one is sent. */
int XL_ResetCtmTracker(CtmTracker *tracker);

/* XL_SetClipToPage on the tracker's context. */
int XL_ClipToPage(CtmTracker *tracker);

#endif /* TARVELGR_PCLXL_TRANSFORM_H */
