/*
 * PCL XL byte, value, array and embedded-data writers.  Each number goes to
 * the output channel in one call (the tag, then the value), relying on the
 * channel's buffer; raw blocks go in one call.
 */
#include "pclxl_encoder.h"

#include "output_channel.h"
#include "pclxl_tags.h"
#include "pdev_context.h"

#include <bit>
#include <cstring>

/* Arrays of 16-bit elements are written as they lie in memory, which is the
   stream's byte order only on a little-endian host. */
static_assert(std::endian::native == std::endian::little, "the PCL XL writer assumes a little-endian host");

namespace {

inline int xl_write(PdevContext *pdev, const void *bytes, DWORD n)
{
    if (!pdev)
        return -1;
    return OUT_Write(pdev->channel, n, bytes) < 0 ? -1 : 0;
}

/* The array tag and its element count; refuses counts a 16-bit length cannot hold. */
int xl_ArrayHeader(PdevContext *pdev, BYTE tag, DWORD count)
{
    if (count > XL_MAX_ARRAY_COUNT)
        return -1;
    if (XL_PutByte(pdev, tag) != 0)
        return -1;
    return count < 256 ? XL_UByte(pdev, BYTE(count)) : XL_UInt16(pdev, WORD(count));
}

} // namespace

int XL_PutByte(PdevContext *pdev, unsigned value)
{
    BYTE b = BYTE(value);
    return xl_write(pdev, &b, 1);
}

int XL_PutUInt16(PdevContext *pdev, WORD value)
{
    BYTE b[2] = {BYTE(value), BYTE(value >> 8)};
    return xl_write(pdev, b, 2);
}

int XL_PutUInt32(PdevContext *pdev, DWORD value)
{
    BYTE b[4] = {BYTE(value), BYTE(value >> 8), BYTE(value >> 16), BYTE(value >> 24)};
    return xl_write(pdev, b, 4);
}

int XL_PutReal32(PdevContext *pdev, FLOAT value)
{
    return XL_PutUInt32(pdev, std::bit_cast<DWORD>(value));
}

int XL_PutRaw(PdevContext *pdev, const void *bytes, DWORD n)
{
    if (n == 0)
        return pdev ? 0 : -1;
    return xl_write(pdev, bytes, n);
}

int XL_PutOperator(PdevContext *pdev, BYTE op)
{
    return XL_PutByte(pdev, op);
}

int XL_PutAttr(PdevContext *pdev, WORD id)
{
    if (id < 256) {
        BYTE b[2] = {XLTAG_attr_ubyte, BYTE(id)};
        return xl_write(pdev, b, 2);
    }
    if (XL_PutByte(pdev, XLTAG_attr_uint16) != 0)
        return -1;
    return XL_PutUInt16(pdev, id);
}

int XL_UByte(PdevContext *pdev, BYTE v)
{
    if (XL_PutByte(pdev, XLTAG_ubyte) != 0)
        return -1;
    return XL_PutByte(pdev, v);
}

int XL_UByteXY(PdevContext *pdev, BYTE x, BYTE y)
{
    if (XL_PutByte(pdev, XLTAG_ubyte_xy) != 0 || XL_PutByte(pdev, x) != 0)
        return -1;
    return XL_PutByte(pdev, y);
}

int XL_UByteBox(PdevContext *pdev, BYTE x1, BYTE y1, BYTE x2, BYTE y2)
{
    if (XL_PutByte(pdev, XLTAG_ubyte_box) != 0 || XL_PutByte(pdev, x1) != 0 || XL_PutByte(pdev, y1) != 0 ||
        XL_PutByte(pdev, x2) != 0)
        return -1;
    return XL_PutByte(pdev, y2);
}

int XL_UInt16(PdevContext *pdev, WORD v)
{
    if (XL_PutByte(pdev, XLTAG_uint16) != 0)
        return -1;
    return XL_PutUInt16(pdev, v);
}

int XL_UInt16XY(PdevContext *pdev, WORD x, WORD y)
{
    if (XL_PutByte(pdev, XLTAG_uint16_xy) != 0 || XL_PutUInt16(pdev, x) != 0)
        return -1;
    return XL_PutUInt16(pdev, y);
}

int XL_UInt32(PdevContext *pdev, DWORD v)
{
    if (XL_PutByte(pdev, XLTAG_uint32) != 0)
        return -1;
    return XL_PutUInt32(pdev, v);
}

int XL_SInt16(PdevContext *pdev, SHORT v)
{
    if (XL_PutByte(pdev, XLTAG_sint16) != 0)
        return -1;
    return XL_PutUInt16(pdev, WORD(v));
}

int XL_SInt16XY(PdevContext *pdev, SHORT x, SHORT y)
{
    if (XL_PutByte(pdev, XLTAG_sint16_xy) != 0 || XL_PutUInt16(pdev, WORD(x)) != 0)
        return -1;
    return XL_PutUInt16(pdev, WORD(y));
}

int XL_SInt16Box(PdevContext *pdev, SHORT x1, SHORT y1, SHORT x2, SHORT y2)
{
    if (XL_PutByte(pdev, XLTAG_sint16_box) != 0 || XL_PutUInt16(pdev, WORD(x1)) != 0 ||
        XL_PutUInt16(pdev, WORD(y1)) != 0 || XL_PutUInt16(pdev, WORD(x2)) != 0)
        return -1;
    return XL_PutUInt16(pdev, WORD(y2));
}

int XL_Real32(PdevContext *pdev, FLOAT v)
{
    if (XL_PutByte(pdev, XLTAG_real32) != 0)
        return -1;
    return XL_PutReal32(pdev, v);
}

int XL_Real32XY(PdevContext *pdev, FLOAT x, FLOAT y)
{
    if (XL_PutByte(pdev, XLTAG_real32_xy) != 0 || XL_PutReal32(pdev, x) != 0)
        return -1;
    return XL_PutReal32(pdev, y);
}

int XL_PointXY(PdevContext *pdev, SHORT x, SHORT y)
{
    if (WORD(x) < 256 && WORD(y) < 256)
        return XL_UByteXY(pdev, BYTE(x), BYTE(y));
    return XL_SInt16XY(pdev, x, y);
}

int XL_Box(PdevContext *pdev, SHORT x1, SHORT y1, SHORT x2, SHORT y2)
{
    if (WORD(x1) < 256 && WORD(y1) < 256 && WORD(x2) < 256 && WORD(y2) < 256)
        return XL_UByteBox(pdev, BYTE(x1), BYTE(y1), BYTE(x2), BYTE(y2));
    return XL_SInt16Box(pdev, x1, y1, x2, y2);
}

int XL_UByteArrayHeader(PdevContext *pdev, DWORD count)
{
    return xl_ArrayHeader(pdev, XLTAG_ubyte_array, count);
}

int XL_UByteArray(PdevContext *pdev, const BYTE *bytes, DWORD count)
{
    if (count != 0 && !bytes)
        return -1;
    if (XL_UByteArrayHeader(pdev, count) != 0)
        return -1;
    return XL_PutRaw(pdev, bytes, count);
}

int XL_UInt16ArrayHeader(PdevContext *pdev, DWORD count)
{
    return xl_ArrayHeader(pdev, XLTAG_uint16_array, count);
}

int XL_UInt16Array(PdevContext *pdev, const WORD *values, DWORD count)
{
    if (count != 0 && !values)
        return -1;
    if (XL_UInt16ArrayHeader(pdev, count) != 0)
        return -1;
    return XL_PutRaw(pdev, values, count * 2);
}

int XL_SInt16ArrayHeader(PdevContext *pdev, DWORD count)
{
    return xl_ArrayHeader(pdev, XLTAG_sint16_array, count);
}

int XL_SInt16Array(PdevContext *pdev, const SHORT *values, DWORD count)
{
    if (count != 0 && !values)
        return -1;
    if (XL_SInt16ArrayHeader(pdev, count) != 0)
        return -1;
    return XL_PutRaw(pdev, values, count * 2);
}

int XL_EmbeddedHeader(PdevContext *pdev, DWORD length)
{
    if (length < 256) {
        BYTE b[2] = {XLTAG_dataLengthByte, BYTE(length)};
        return xl_write(pdev, b, 2);
    }
    if (XL_PutByte(pdev, XLTAG_dataLength) != 0)
        return -1;
    return XL_PutUInt32(pdev, length);
}

int XL_EmbeddedData(PdevContext *pdev, const void *bytes, DWORD length)
{
    if (length != 0 && !bytes)
        return -1;
    if (XL_EmbeddedHeader(pdev, length) != 0)
        return -1;
    return XL_PutRaw(pdev, bytes, length);
}
