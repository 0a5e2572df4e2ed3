/*
 * Point arithmetic of the PCL XL writer: coordinate frames for points that
 * leave the 16-bit range, fit masks and point types, and the packing of a
 * point list into the smallest point type, absolute or relative.
 */
#include "pclxl_encoder.h"

#include "pclxl_tags.h"

#include <plat/memory.h>

#include <algorithm>
#include <climits>
#include <cstdint>

namespace {

LONG clampToLong(int64_t v)
{
    return LONG(std::clamp<int64_t>(v, INT32_MIN, INT32_MAX));
}

/* A difference in frame units: divided by the scale unless it is exactly 1.0, truncated. */
LONG frameUnits(int64_t difference, FLOAT scale)
{
    if (scale == 1.0f)
        return clampToLong(difference);
    FLOAT q = FLOAT(difference) / scale;
    /* Outside the 32-bit range (or not a number) the value fits no point type anyway. */
    if (!(q > -2147483648.0f && q < 2147483648.0f))
        return q < 0 ? INT32_MIN : INT32_MAX;
    return LONG(q);
}

unsigned pointMask(DevicePoint p)
{
    return XL_CoordTypeMask(p.x) & XL_CoordTypeMask(p.y);
}

/* The running previous point moves after every point, or after every whole curve in Bezier mode. */
bool movesPrevious(DWORD index, BOOL bezier)
{
    return !bezier || index % 3 == 2;
}

void storePoint(BYTE *out, int size, DevicePoint p)
{
    if (size == 2) {
        out[0] = BYTE(p.x);
        out[1] = BYTE(p.y);
    } else {
        out[0] = BYTE(p.x);
        out[1] = BYTE(p.x >> 8);
        out[2] = BYTE(p.y);
        out[3] = BYTE(p.y >> 8);
    }
}

} // namespace

CoordFrame XL_IdentityFrame()
{
    return CoordFrame{0, 0, 0, 1.0f, 1.0f};
}

int XL_FitCoordFrame(DWORD count, DevicePoint *points, CoordFrame *frame)
{
    *frame = XL_IdentityFrame();
    if (count == 0 || !points)
        return 0;
    int64_t minX = points[0].x, maxX = points[0].x, minY = points[0].y, maxY = points[0].y;
    for (DWORD i = 1; i < count; i++) {
        minX = std::min<int64_t>(minX, points[i].x);
        maxX = std::max<int64_t>(maxX, points[i].x);
        minY = std::min<int64_t>(minY, points[i].y);
        maxY = std::max<int64_t>(maxY, points[i].y);
    }
    if (minX >= -32768 && maxX <= 32767 && minY >= -32768 && maxY <= 32767)
        return 0;
    /* Rounding the centre up puts the lower end at -ceil(w/2) and the upper
       at floor(w/2): with w below 65536 x m both land in -32768..32767 after
       the division by m.  (Rounding down would leave an odd extent of 65,535
       one past the top.) */
    int64_t width = maxX - minX, height = maxY - minY;
    int64_t centreX = minX + (width + 1) / 2;
    int64_t centreY = minY + (height + 1) / 2;
    int64_t m = 1;
    if (width > 65535 || height > 65535)
        m = std::max(width / 65536 + 1, height / 65536 + 1);
    for (DWORD i = 0; i < count; i++) {
        points[i].x = LONG((points[i].x - centreX) / m);
        points[i].y = LONG((points[i].y - centreY) / m);
    }
    frame->originX = LONG(centreX);
    frame->originY = LONG(centreY);
    frame->scaleX = FLOAT(m);
    frame->scaleY = FLOAT(m);
    return 0;
}

DevicePoint XL_ToFrame(const CoordFrame *frame, DevicePoint point)
{
    return DevicePoint{frameUnits(int64_t(point.x) - frame->originX, frame->scaleX),
                       frameUnits(int64_t(point.y) - frame->originY, frame->scaleY)};
}

DevicePoint XL_ToFrameRel(const CoordFrame *frame, DevicePoint point, DevicePoint previous)
{
    return DevicePoint{frameUnits(int64_t(point.x) - previous.x, frame->scaleX),
                       frameUnits(int64_t(point.y) - previous.y, frame->scaleY)};
}

unsigned XL_CoordTypeMask(LONG v)
{
    if (v < -32768)
        return 0;
    if (v < -128)
        return XL_FITS_SINT16;
    if (v < 0)
        return XL_FITS_SBYTE | XL_FITS_SINT16;
    if (v < 128)
        return XL_FITS_UBYTE | XL_FITS_SBYTE | XL_FITS_UINT16 | XL_FITS_SINT16;
    if (v < 256)
        return XL_FITS_UBYTE | XL_FITS_UINT16 | XL_FITS_SINT16;
    if (v <= 32767)
        return XL_FITS_UINT16 | XL_FITS_SINT16;
    if (v <= 65535)
        return XL_FITS_UINT16;
    return 0;
}

int XL_PointTypeFromMask(unsigned mask, BYTE *pointType)
{
    if (mask & (XL_FITS_UBYTE | XL_FITS_SBYTE)) {
        *pointType = (mask & XL_FITS_SBYTE) ? XL_POINT_eSByte : XL_POINT_eUByte;
        return 2;
    }
    if (mask & (XL_FITS_UINT16 | XL_FITS_SINT16)) {
        *pointType = (mask & XL_FITS_SINT16) ? XL_POINT_eSInt16 : XL_POINT_eUInt16;
        return 4;
    }
    *pointType = XL_POINT_TYPE_NONE;
    return 0;
}

BYTE *XL_PackPoints(DWORD count, const DevicePoint *points, const CoordFrame *frame, BYTE *pointType,
                    LONG *packedCount, DevicePoint *previous, BOOL *relative, BOOL bezier)
{
    *pointType = XL_POINT_TYPE_NONE;
    *packedCount = 0;
    if (relative)
        *relative = FALSE;
    if (!points || !frame)
        count = 0;

    /* 1-2: the longest run one absolute or relative type holds. */
    DWORD limit = std::min(count, XL_MAX_RUN_POINTS);
    unsigned absMask = 15, relMask = previous ? 15u : 0u;
    DevicePoint prev = previous ? *previous : DevicePoint{0, 0};
    DWORD taken = 0;
    for (; taken < limit; taken++) {
        DevicePoint p = points[taken];
        unsigned nextAbs = absMask & pointMask(XL_ToFrame(frame, p));
        unsigned nextRel = previous ? relMask & pointMask(XL_ToFrameRel(frame, p, prev)) : 0u;
        if (nextAbs == 0 && nextRel == 0)
            break;
        absMask = nextAbs;
        relMask = nextRel;
        if (movesPrevious(taken, bezier))
            prev = p;
    }
    /* 3: the first point fits nothing: an empty run. */
    if (taken == 0)
        return nullptr;

    /* 4: relative when its elements are not larger (a tie goes to relative) or absolute fits nothing. */
    BYTE absType, relType;
    int absSize = XL_PointTypeFromMask(absMask, &absType);
    int relSize = XL_PointTypeFromMask(relMask, &relType);
    bool useRel = relSize != 0 && (absSize == 0 || relSize <= absSize);
    int size = useRel ? relSize : absSize;

    /* 5: the buffer. */
    auto *out = static_cast<BYTE *>(GlobalAlloc(GPTR, SIZE_T(size) * taken));
    if (!out) {
        *packedCount = -1;
        return nullptr;
    }

    /* 6: fill it, moving the caller's previous point by the same rule as the scan. */
    prev = previous ? *previous : DevicePoint{0, 0};
    for (DWORD i = 0; i < taken; i++) {
        DevicePoint p = points[i];
        storePoint(out + SIZE_T(size) * i, size, useRel ? XL_ToFrameRel(frame, p, prev) : XL_ToFrame(frame, p));
        if (movesPrevious(i, bezier))
            prev = p;
    }
    if (previous)
        *previous = prev;
    *pointType = useRel ? relType : absType;
    *packedCount = LONG(taken);
    if (relative)
        *relative = useRel ? TRUE : FALSE;
    return out;
}
