/*
 * The PCL XL encoder: the lowest layer of the writer.  It turns values,
 * attribute identifiers, operator bytes and raw data into stream bytes in
 * the little-endian binding and appends them to the device context's output
 * channel at once; it keeps no state of its own.  It also owns the point
 * arithmetic every path command shares: fitting points into a coordinate
 * frame when they leave the 16-bit range, and packing them into the
 * smallest point type, absolute or relative.
 *
 * Every writer returns 0, or -1 as soon as one write of the channel fails
 * (bytes already written stay in the stream; nothing is retried).  A null
 * device context, or one without a channel, gives -1 with nothing written.
 */
#ifndef TARVELGR_PCLXL_ENCODER_H
#define TARVELGR_PCLXL_ENCODER_H

#include <plat/types.h>

struct PdevContext;

/* A point in device pixels as the drawing code hands it over. */
struct DevicePoint {
    LONG x;
    LONG y;
};

/*
 * The frame a list of points is written in when the raw coordinates leave
 * the 16-bit range: device = origin + frame coordinate x scale.  The
 * identity is origin (0, 0), angle 0, scale (1.0, 1.0).
 */
struct CoordFrame {
    LONG originX;
    LONG originY;
    SHORT angle; /* degrees; 0 in every frame XL_FitCoordFrame makes */
    FLOAT scaleX;
    FLOAT scaleY;
};

/* The identity frame. */
CoordFrame XL_IdentityFrame();

/* Fit mask bits of one number (XL_CoordTypeMask). */
enum : unsigned {
    XL_FITS_UBYTE = 1,  /* 0..255 */
    XL_FITS_SBYTE = 2,  /* -128..127 */
    XL_FITS_UINT16 = 4, /* 0..65535 */
    XL_FITS_SINT16 = 8, /* -32768..32767 */
};

/* Most elements one array may hold: the element count is 16-bit. */
inline constexpr DWORD XL_MAX_ARRAY_COUNT = 65535;

/* Most points one packed run holds (NumberOfPoints is 16-bit). */
inline constexpr DWORD XL_MAX_RUN_POINTS = 65535;

/* --- Byte writers (no tag) --- */

int XL_PutByte(PdevContext *pdev, unsigned value); /* the low 8 bits */
int XL_PutUInt16(PdevContext *pdev, WORD value);
int XL_PutUInt32(PdevContext *pdev, DWORD value);
int XL_PutReal32(PdevContext *pdev, FLOAT value);
/* n raw bytes as they are; n = 0 writes nothing and succeeds. */
int XL_PutRaw(PdevContext *pdev, const void *bytes, DWORD n);
int XL_PutOperator(PdevContext *pdev, BYTE op);
/* An attribute identifier: below 256 as attr_ubyte (F8 id), else attr_uint16 (F9 id16). */
int XL_PutAttr(PdevContext *pdev, WORD id);

/* --- Value writers: tag, then payload --- */

int XL_UByte(PdevContext *pdev, BYTE v);
int XL_UByteXY(PdevContext *pdev, BYTE x, BYTE y);
int XL_UByteBox(PdevContext *pdev, BYTE x1, BYTE y1, BYTE x2, BYTE y2);
int XL_UInt16(PdevContext *pdev, WORD v);
int XL_UInt16XY(PdevContext *pdev, WORD x, WORD y);
int XL_UInt32(PdevContext *pdev, DWORD v);
int XL_SInt16(PdevContext *pdev, SHORT v);
int XL_SInt16XY(PdevContext *pdev, SHORT x, SHORT y);
int XL_SInt16Box(PdevContext *pdev, SHORT x1, SHORT y1, SHORT x2, SHORT y2);
int XL_Real32(PdevContext *pdev, FLOAT v);
int XL_Real32XY(PdevContext *pdev, FLOAT x, FLOAT y);
/* ubyte_xy when both values, read as unsigned 16-bit, are below 256; else sint16_xy. */
int XL_PointXY(PdevContext *pdev, SHORT x, SHORT y);
/* ubyte_box when all four values, read as unsigned 16-bit, are below 256; else sint16_box. */
int XL_Box(PdevContext *pdev, SHORT x1, SHORT y1, SHORT x2, SHORT y2);

/* --- Arrays: tag, then the element count as ubyte (below 256) or uint16 value --- */
/* A count above 65,535 cannot be written: -1, nothing written. */

int XL_UByteArrayHeader(PdevContext *pdev, DWORD count);
int XL_UByteArray(PdevContext *pdev, const BYTE *bytes, DWORD count);
int XL_UInt16ArrayHeader(PdevContext *pdev, DWORD count);
/* The elements as passed, 2 bytes each (text is UTF-16 code units). */
int XL_UInt16Array(PdevContext *pdev, const WORD *values, DWORD count);
int XL_SInt16ArrayHeader(PdevContext *pdev, DWORD count);
int XL_SInt16Array(PdevContext *pdev, const SHORT *values, DWORD count);

/* --- Embedded data --- */

/* Below 256: dataLengthByte (FB) and one length byte; else dataLength (FA) and 4 bytes. */
int XL_EmbeddedHeader(PdevContext *pdev, DWORD length);
/* The header, then the bytes (length 0: FB 00 only). */
int XL_EmbeddedData(PdevContext *pdev, const void *bytes, DWORD length);

/* --- Coordinates (no output) --- */

/*
 * Fits a frame around `count` points.  When every coordinate already lies in
 * -32768..32767 the frame is the identity and the points stay.  Otherwise
 * the points are moved (in place) around the centre of their bounding box,
 * and divided by m = max(width, height) / 65536 + 1 (integer division, toward
 * zero) when the box is wider or taller than 65,535; the frame is that
 * centre with scale (m, m).  The centre rounds up for an odd extent, so both
 * ends of the box land inside -32768..32767.  Always returns 0.
 */
int XL_FitCoordFrame(DWORD count, DevicePoint *points, CoordFrame *frame);

/*
 * A device point in `frame`: (point - origin), divided in single precision
 * by each scale that is not exactly 1.0 and truncated.  A result outside the
 * 32-bit range is clamped to it (and so fits no point type).
 */
DevicePoint XL_ToFrame(const CoordFrame *frame, DevicePoint point);

/* The difference point - previous in `frame` (the origin cancels out). */
DevicePoint XL_ToFrameRel(const CoordFrame *frame, DevicePoint point, DevicePoint previous);

/* The fit mask (XL_FITS_...) of one number: 0, 8, 10, 15, 13, 12 or 4. */
unsigned XL_CoordTypeMask(LONG value);

/*
 * The point type for a fit mask: signed byte before unsigned byte (2 bytes
 * a point), then signed 16-bit before unsigned 16-bit (4 bytes a point).
 * Returns the bytes per point with *pointType set, or 0 with *pointType =
 * XL_POINT_TYPE_NONE when nothing fits.
 */
int XL_PointTypeFromMask(unsigned mask, BYTE *pointType);

/*
 * Packs the longest run of points from the start of `points` (at most
 * 65,535) that one point type holds, into a new buffer of
 * *packedCount x (2 or 4) bytes.  With `previous` (the current cursor in
 * device pixels) the relative form is considered too and wins a tie;
 * *relative (when given) says which form was chosen, and *previous is moved
 * to the last point written.  In Bezier mode the previous point moves only
 * after every third point, so that the three points of a curve are relative
 * to its start.
 *
 * Returns the buffer, which the caller frees with GlobalFree.  When the
 * first point fits no type: null, *packedCount 0, *pointType
 * XL_POINT_TYPE_NONE (an empty run).  When memory is short: null,
 * *packedCount -1.  Nothing is written to any stream.
 */
BYTE *XL_PackPoints(DWORD count, const DevicePoint *points, const CoordFrame *frame, BYTE *pointType,
                    LONG *packedCount, DevicePoint *previous, BOOL *relative, BOOL bezier);

#endif /* TARVELGR_PCLXL_ENCODER_H */
