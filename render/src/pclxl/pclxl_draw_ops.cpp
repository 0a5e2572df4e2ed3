/*
 * Drawing, image and raster-pattern commands of the PCL XL writer.  None of
 * them is cached.  Commands that carry device coordinates (cursor, line end,
 * ellipse and rectangle boxes, the clip rectangle) write them in a frame
 * fitted around the coordinates, so that values outside the 16-bit range
 * still reach the printer exactly.
 */
#include "pclxl_ops.h"

#include "pclxl_ops_private.h"
#include "pclxl_tags.h"
#include "pclxl_transform.h"
#include "pdev_context.h"

#include <cstring>

namespace {

/* The attributes shared by ReadImage and ReadRastPattern, the operator, and the embedded-data header. */
int xl_ReadBlockHeader(PdevContext *pdev, WORD startLine, WORD blockHeight, BYTE compressMode,
                       BYTE padBytesMultiple, DWORD length, BYTE op)
{
    if (xl_UInt16Attr(pdev, startLine, XLATTR_StartLine) != 0 ||
        xl_UInt16Attr(pdev, blockHeight, XLATTR_BlockHeight) != 0 ||
        xl_UByteAttr(pdev, compressMode, XLATTR_CompressMode) != 0)
        return -1;
    /* 4 is the printer's default, 0 means "not given". */
    if (padBytesMultiple != 0 && padBytesMultiple != 4 &&
        xl_UByteAttr(pdev, padBytesMultiple, XLATTR_PadBytesMultiple) != 0)
        return -1;
    if (XL_PutOperator(pdev, op) != 0)
        return -1;
    return XL_EmbeddedHeader(pdev, length);
}

/* The image attributes BeginImage and BeginRastPattern share. */
int xl_ImageShape(PdevContext *pdev, BYTE colorMapping, BYTE colorDepth, WORD sourceWidth, WORD sourceHeight,
                  WORD destinationWidth, WORD destinationHeight)
{
    if (xl_UByteAttr(pdev, colorMapping, XLATTR_ColorMapping) != 0 ||
        xl_UByteAttr(pdev, colorDepth, XLATTR_ColorDepth) != 0 ||
        xl_UInt16Attr(pdev, sourceWidth, XLATTR_SourceWidth) != 0 ||
        xl_UInt16Attr(pdev, sourceHeight, XLATTR_SourceHeight) != 0 ||
        XL_UInt16XY(pdev, destinationWidth, destinationHeight) != 0)
        return -1;
    return XL_PutAttr(pdev, XLATTR_DestinationSize);
}

} // namespace

int xl_TextAttr(PdevContext *pdev, const char *text, BYTE attr)
{
    if (!text)
        return -1;
    size_t length = std::strlen(text);
    if (length > XL_MAX_ARRAY_COUNT)
        return -1;
    if (XL_UByteArray(pdev, reinterpret_cast<const BYTE *>(text), DWORD(length)) != 0)
        return -1;
    return XL_PutAttr(pdev, attr);
}

int xl_FramedPoint(PdevContext *pdev, LONG x, LONG y, BYTE attr, BYTE op)
{
    DevicePoint p{x, y};
    CoordFrame frame;
    XL_FitCoordFrame(1, &p, &frame);
    if (XL_EnterCoordFrame(pdev, &frame) != 0 || XL_PointXY(pdev, SHORT(p.x), SHORT(p.y)) != 0 ||
        XL_PutAttr(pdev, attr) != 0 || XL_PutOperator(pdev, op) != 0)
        return -1;
    return XL_LeaveCoordFrame(pdev, &frame);
}

int xl_FramedBox(PdevContext *pdev, LONG x1, LONG y1, LONG x2, LONG y2, int clipRegion, BYTE op)
{
    DevicePoint corners[2] = {{x1, y1}, {x2, y2}};
    CoordFrame frame;
    XL_FitCoordFrame(2, corners, &frame);
    if (XL_EnterCoordFrame(pdev, &frame) != 0)
        return -1;
    if (clipRegion >= 0 && xl_UByteAttr(pdev, BYTE(clipRegion), XLATTR_ClipRegion) != 0)
        return -1;
    if (XL_Box(pdev, SHORT(corners[0].x), SHORT(corners[0].y), SHORT(corners[1].x), SHORT(corners[1].y)) != 0 ||
        XL_PutAttr(pdev, XLATTR_BoundingBox) != 0 || XL_PutOperator(pdev, op) != 0)
        return -1;
    return XL_LeaveCoordFrame(pdev, &frame);
}

/* --- Paths --- */

int XL_NewPath(PdevContext *pdev) { return XL_PutOperator(pdev, XLOP_NewPath); }
int XL_CloseSubPath(PdevContext *pdev) { return XL_PutOperator(pdev, XLOP_CloseSubPath); }
int XL_PaintPath(PdevContext *pdev) { return XL_PutOperator(pdev, XLOP_PaintPath); }

int XL_SetCursor(PdevContext *pdev, LONG x, LONG y)
{
    return xl_FramedPoint(pdev, x, y, XLATTR_Point, XLOP_SetCursor);
}

int XL_LineTo(PdevContext *pdev, LONG x, LONG y)
{
    return xl_FramedPoint(pdev, x, y, XLATTR_EndPoint, XLOP_LinePath);
}

int XL_Ellipse(PdevContext *pdev, LONG x1, LONG y1, LONG x2, LONG y2)
{
    return xl_FramedBox(pdev, x1, y1, x2, y2, -1, XLOP_Ellipse);
}

int XL_Rectangle(PdevContext *pdev, LONG x1, LONG y1, LONG x2, LONG y2)
{
    return xl_FramedBox(pdev, x1, y1, x2, y2, -1, XLOP_Rectangle);
}

int XL_DrawLine(PdevContext *pdev, LONG x1, LONG y1, LONG x2, LONG y2)
{
    if (XL_NewPath(pdev) != 0 || XL_SetCursor(pdev, x1, y1) != 0 || XL_LineTo(pdev, x2, y2) != 0)
        return -1;
    return XL_PaintPath(pdev);
}

/* --- Images and patterns --- */

int XL_BeginImage(PdevContext *pdev, BYTE colorMapping, BYTE colorDepth, WORD sourceWidth, WORD sourceHeight,
                  WORD destinationWidth, WORD destinationHeight)
{
    if (xl_ImageShape(pdev, colorMapping, colorDepth, sourceWidth, sourceHeight, destinationWidth,
                      destinationHeight) != 0)
        return -1;
    return XL_PutOperator(pdev, XLOP_BeginImage);
}

int XL_ReadImageHeader(PdevContext *pdev, WORD startLine, WORD blockHeight, BYTE compressMode, BYTE padBytesMultiple,
                       DWORD length)
{
    return xl_ReadBlockHeader(pdev, startLine, blockHeight, compressMode, padBytesMultiple, length, XLOP_ReadImage);
}

int XL_WriteData(PdevContext *pdev, const void *bytes, DWORD length)
{
    if (length != 0 && !bytes)
        return -1;
    return XL_PutRaw(pdev, bytes, length);
}

int XL_EndImage(PdevContext *pdev)
{
    return XL_PutOperator(pdev, XLOP_EndImage);
}

int XL_BeginRastPattern(PdevContext *pdev, BYTE colorMapping, BYTE colorDepth, WORD sourceWidth, WORD sourceHeight,
                        WORD destinationWidth, WORD destinationHeight, SHORT patternDefineId,
                        BYTE patternPersistence)
{
    if (xl_ImageShape(pdev, colorMapping, colorDepth, sourceWidth, sourceHeight, destinationWidth,
                      destinationHeight) != 0 ||
        XL_SInt16(pdev, patternDefineId) != 0 || XL_PutAttr(pdev, XLATTR_PatternDefineID) != 0 ||
        xl_UByteAttr(pdev, patternPersistence, XLATTR_PatternPersistence) != 0)
        return -1;
    return XL_PutOperator(pdev, XLOP_BeginRastPattern);
}

int XL_ReadRastPattern(PdevContext *pdev, WORD startLine, WORD blockHeight, BYTE compressMode,
                       BYTE padBytesMultiple, const BYTE *data, DWORD length)
{
    if (length != 0 && !data)
        return -1;
    if (xl_ReadBlockHeader(pdev, startLine, blockHeight, compressMode, padBytesMultiple, length,
                           XLOP_ReadRastPattern) != 0)
        return -1;
    return XL_PutRaw(pdev, data, length);
}

int XL_EndRastPattern(PdevContext *pdev)
{
    return XL_PutOperator(pdev, XLOP_EndRastPattern);
}
