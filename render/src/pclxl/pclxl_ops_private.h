/*
 * Small helpers shared by the command writers: one attribute written as its
 * value and identifier, and commands written inside a fitted coordinate
 * frame.  Each returns 0, or -1 at the first failed write.
 */
#ifndef TARVELGR_PCLXL_OPS_PRIVATE_H
#define TARVELGR_PCLXL_OPS_PRIVATE_H

#include "pclxl_encoder.h"
#include "pclxl_ops.h"

inline int xl_UByteAttr(PdevContext *pdev, BYTE value, BYTE attr)
{
    return XL_UByte(pdev, value) == 0 && XL_PutAttr(pdev, attr) == 0 ? 0 : -1;
}

inline int xl_UInt16Attr(PdevContext *pdev, WORD value, BYTE attr)
{
    return XL_UInt16(pdev, value) == 0 && XL_PutAttr(pdev, attr) == 0 ? 0 : -1;
}

inline int xl_Real32Attr(PdevContext *pdev, FLOAT value, BYTE attr)
{
    return XL_Real32(pdev, value) == 0 && XL_PutAttr(pdev, attr) == 0 ? 0 : -1;
}

inline int xl_Real32XYAttr(PdevContext *pdev, FLOAT x, FLOAT y, BYTE attr)
{
    return XL_Real32XY(pdev, x, y) == 0 && XL_PutAttr(pdev, attr) == 0 ? 0 : -1;
}

/* A text (without its terminator) as a ubyte_array attribute; -1 for a missing text. */
int xl_TextAttr(PdevContext *pdev, const char *text, BYTE attr);

/*
 * Writes `op` with one point attribute, inside a frame fitted around the
 * device point (x, y).
 */
int xl_FramedPoint(PdevContext *pdev, LONG x, LONG y, BYTE attr, BYTE op);

/*
 * Writes `op` with a BoundingBox of the two device corners, inside a frame
 * fitted around them; a `clipRegion` of 0 or more is written first as
 * ClipRegion.
 */
int xl_FramedBox(PdevContext *pdev, LONG x1, LONG y1, LONG x2, LONG y2, int clipRegion, BYTE op);

#endif /* TARVELGR_PCLXL_OPS_PRIVATE_H */
