/*
 * The cached state commands of the PCL XL writer: colour space, brush and
 * pen, line attributes, clip and painting modes, with the graphics-state
 * cache that skips a command whose values the printer already holds.  Each
 * command compares first, writes the whole command, and records its values
 * only when everything went out.
 */
#include "pclxl_ops.h"

#include "pclxl_ops_private.h"
#include "pclxl_tags.h"
#include "pdev_context.h"

#include <algorithm>
#include <cstring>
#include <iterator>

namespace {

/* Zero bytes that pad a palette to a whole table. */
constexpr BYTE kZeros[XL_MAX_PALETTE_BYTES] = {};

/* The brush or the pen: where the cache keeps it, and how the command names it. */
struct SourceRole {
    XlSourceState GraphicsStateCache::*state;
    BYTE op;
    BYTE nullAttr;
};
constexpr SourceRole kBrush{&GraphicsStateCache::brush, XLOP_SetBrushSource, XLATTR_NullBrush};
constexpr SourceRole kPen{&GraphicsStateCache::pen, XLOP_SetPenSource, XLATTR_NullPen};

/* A one-ubyte state command kept in one cache byte (255 = unset). */
int xl_CachedUByte(PdevContext *pdev, BYTE GraphicsStateCache::*field, BYTE value, BYTE attr, BYTE op)
{
    if (!pdev)
        return -1;
    if (pdev->xlCache.*field == value)
        return 0;
    if (xl_UByteAttr(pdev, value, attr) != 0 || XL_PutOperator(pdev, op) != 0)
        return -1;
    pdev->xlCache.*field = value;
    return 0;
}

/* Records a colour space that went out; a new space leaves brush and pen unknown. */
void xl_RecordColorSpace(GraphicsStateCache &cache, BYTE colorSpace)
{
    if (cache.colorSpace != colorSpace) {
        cache.brush.kind = XL_SOURCE_UNSET;
        cache.pen.kind = XL_SOURCE_UNSET;
    }
    cache.colorSpace = colorSpace;
}

/*
 * The padded palette size for `length` bytes, or 0 when the palette is too
 * long.  An entry of the RGB spaces (eRGB and eSRGB) is 3 bytes, of any
 * other space 1 byte; padding sRGB as 1-byte entries would leave a palette
 * of part entries that the printer refuses.
 */
DWORD xl_PaddedPaletteSize(BYTE colorSpace, DWORD length)
{
    static constexpr DWORD kRgb[] = {6, 48, 768};
    static constexpr DWORD kOther[] = {2, 16, 256};
    const DWORD *sizes = colorSpace == XL_eRGB || colorSpace == XL_eSRGB ? kRgb : kOther;
    for (int i = 0; i < 3; i++)
        if (length <= sizes[i])
            return sizes[i];
    return 0;
}

int xl_SetSourceNull(PdevContext *pdev, const SourceRole &role)
{
    if (!pdev)
        return -1;
    XlSourceState &s = pdev->xlCache.*role.state;
    if (s.kind == XL_SOURCE_NULL)
        return 0;
    if (xl_UByteAttr(pdev, 0, role.nullAttr) != 0 || XL_PutOperator(pdev, role.op) != 0)
        return -1;
    s.kind = XL_SOURCE_NULL;
    return 0;
}

int xl_SetSourceGray(PdevContext *pdev, const SourceRole &role, BYTE level)
{
    if (!pdev)
        return -1;
    XlSourceState &s = pdev->xlCache.*role.state;
    if (s.kind == XL_SOURCE_GRAY && s.grayLevel == level)
        return 0;
    if (xl_UByteAttr(pdev, level, XLATTR_GrayLevel) != 0 || XL_PutOperator(pdev, role.op) != 0)
        return -1;
    s.kind = XL_SOURCE_GRAY;
    s.grayLevel = level;
    return 0;
}

int xl_SetSourceRgb(PdevContext *pdev, const SourceRole &role, BYTE red, BYTE green, BYTE blue)
{
    if (!pdev)
        return -1;
    XlSourceState &s = pdev->xlCache.*role.state;
    const BYTE rgb[3] = {red, green, blue};
    if (s.kind == XL_SOURCE_RGB && std::memcmp(s.rgb, rgb, 3) == 0)
        return 0;
    if (XL_UByteArray(pdev, rgb, 3) != 0 || XL_PutAttr(pdev, XLATTR_RGBColor) != 0 ||
        XL_PutOperator(pdev, role.op) != 0)
        return -1;
    s.kind = XL_SOURCE_RGB;
    std::memcpy(s.rgb, rgb, 3);
    return 0;
}

int xl_SetSourcePattern(PdevContext *pdev, const SourceRole &role, SHORT id, SHORT originX, SHORT originY,
                        WORD newWidth, WORD newHeight)
{
    if (!pdev)
        return -1;
    if (XL_SInt16(pdev, id) != 0 || XL_PutAttr(pdev, XLATTR_PatternSelectID) != 0)
        return -1;
    if ((originX != 0 || originY != 0) &&
        (XL_SInt16XY(pdev, originX, originY) != 0 || XL_PutAttr(pdev, XLATTR_PatternOrigin) != 0))
        return -1;
    if (newWidth != 0 && newHeight != 0 &&
        (XL_UInt16XY(pdev, newWidth, newHeight) != 0 || XL_PutAttr(pdev, XLATTR_NewDestinationSize) != 0))
        return -1;
    if (XL_PutOperator(pdev, role.op) != 0)
        return -1;
    /* The printer now holds a pattern the cache does not describe. */
    (pdev->xlCache.*role.state).kind = XL_SOURCE_UNSET;
    return 0;
}

bool xl_SamePattern(const XlSourceState &s, const XlRasterPattern &p)
{
    if (s.kind != XL_SOURCE_RASTER_PATTERN || s.patColorSpace != p.colorSpace ||
        LONGLONG(s.patPaletteLength) != LONGLONG(p.paletteLength))
        return false;
    if (p.paletteLength != 0 &&
        (s.patPaletteDepth != p.paletteDepth ||
         std::memcmp(s.patPalette, p.palette, std::min(p.paletteLength, XL_MAX_PALETTE_BYTES)) != 0))
        return false;
    if (s.patDataLength != p.dataLength)
        return false;
    return p.dataLength == 0 || std::memcmp(s.patData, p.data, std::min(p.dataLength, XL_CACHED_PATTERN_BYTES)) == 0;
}

int xl_SetSourceRasterPattern(PdevContext *pdev, const SourceRole &role, const XlRasterPattern *p)
{
    if (!pdev || !p || (p->paletteLength != 0 && !p->palette) || (p->dataLength != 0 && !p->data))
        return -1;
    if (xl_SamePattern(pdev->xlCache.*role.state, *p))
        return 0;
    int rc = p->paletteLength == 0 ? XL_SetColorSpace(pdev, p->colorSpace)
             : p->colorMapping == 1 /* eIndexedPixel */
                 ? XL_SetColorSpaceIndexed(pdev, p->colorSpace, p->paletteDepth, p->colorDepth, p->paletteLength,
                                           p->palette)
                 : XL_SetColorSpacePalette(pdev, p->colorSpace, p->paletteDepth, p->paletteLength, p->palette);
    if (rc != 0 ||
        XL_BeginRastPattern(pdev, p->colorMapping, p->colorDepth, p->sourceWidth, p->sourceHeight,
                            p->destinationWidth, p->destinationHeight, p->patternDefineId,
                            p->patternPersistence) != 0 ||
        XL_ReadRastPattern(pdev, 0, p->sourceHeight, p->compressMode, p->padBytesMultiple, p->data,
                           p->dataLength) != 0 ||
        XL_EndRastPattern(pdev) != 0 ||
        xl_SetSourcePattern(pdev, role, p->patternDefineId, p->originX, p->originY, 0, 0) != 0)
        return -1;

    XlSourceState &s = pdev->xlCache.*role.state;
    s.kind = XL_SOURCE_RASTER_PATTERN;
    s.patColorSpace = p->colorSpace;
    if (p->paletteLength > XL_MAX_PALETTE_BYTES) {
        s.patPaletteLength = -1;
    } else {
        s.patPaletteLength = SHORT(p->paletteLength);
        s.patPaletteDepth = p->paletteDepth;
        if (p->paletteLength)
            std::memcpy(s.patPalette, p->palette, p->paletteLength);
    }
    if (p->dataLength > XL_CACHED_PATTERN_BYTES) {
        s.patDataLength = 0; /* not kept: such a pattern is always sent again */
    } else {
        s.patDataLength = WORD(p->dataLength);
        if (p->dataLength)
            std::memcpy(s.patData, p->data, p->dataLength);
    }
    return 0;
}

} // namespace

/* --- Cache control --- */

void XL_InvalidateState(PdevContext *pdev)
{
    if (!pdev)
        return;
    GraphicsStateCache &c = pdev->xlCache;
    c.colorSpace = 255;
    c.paletteLength = 0;
    for (XlSourceState *s : {&c.brush, &c.pen}) {
        s->kind = XL_SOURCE_UNSET;
        s->patColorSpace = 255;
        s->patPaletteLength = 0;
        std::memset(s->rgb, 0, sizeof s->rgb);
    }
    c.clipState = XL_CLIP_UNSET;
    c.clipRegion = 255;
    c.clipMode = 255;
    c.fillMode = 255;
    c.lineCap = 255;
    c.lineJoin = 255;
    c.miterLength = -1;
    c.miterLengthReal = -1.0f;
    c.dashCount = -1;
    c.penWidth = -1;
    c.patternTxMode = 255;
    c.sourceTxMode = 255;
    c.rop3 = -1;
    XL_ResetFontState(pdev);
}

/* --- Colour space --- */

int XL_SetColorSpace(PdevContext *pdev, BYTE colorSpace)
{
    if (!pdev)
        return -1;
    GraphicsStateCache &c = pdev->xlCache;
    if (c.colorSpace == colorSpace && c.paletteLength == 0)
        return 0;
    if (xl_UByteAttr(pdev, colorSpace, XLATTR_ColorSpace) != 0 || XL_PutOperator(pdev, XLOP_SetColorSpace) != 0)
        return -1;
    xl_RecordColorSpace(c, colorSpace);
    c.paletteLength = 0;
    return 0;
}

int XL_SetColorSpacePalette(PdevContext *pdev, BYTE colorSpace, BYTE paletteDepth, DWORD paletteLength,
                            const BYTE *palette)
{
    if (!pdev)
        return -1;
    if (paletteLength == 0)
        return XL_SetColorSpace(pdev, colorSpace);
    DWORD padded = xl_PaddedPaletteSize(colorSpace, paletteLength);
    if (padded == 0 || !palette)
        return -1;
    GraphicsStateCache &c = pdev->xlCache;
    if (c.colorSpace == colorSpace && DWORD(c.paletteLength) == paletteLength && c.paletteDepth == paletteDepth &&
        std::memcmp(c.palette, palette, paletteLength) == 0)
        return 0;
    if (xl_UByteAttr(pdev, colorSpace, XLATTR_ColorSpace) != 0 ||
        xl_UByteAttr(pdev, paletteDepth, XLATTR_PaletteDepth) != 0 || XL_UByteArrayHeader(pdev, padded) != 0 ||
        XL_PutRaw(pdev, palette, paletteLength) != 0 || XL_PutRaw(pdev, kZeros, padded - paletteLength) != 0 ||
        XL_PutAttr(pdev, XLATTR_PaletteData) != 0 || XL_PutOperator(pdev, XLOP_SetColorSpace) != 0)
        return -1;
    xl_RecordColorSpace(c, colorSpace);
    c.paletteDepth = paletteDepth;
    c.paletteLength = SHORT(paletteLength);
    std::memcpy(c.palette, palette, paletteLength);
    return 0;
}

int XL_SetColorSpaceIndexed(PdevContext *pdev, BYTE colorSpace, BYTE paletteDepth, BYTE colorDepth,
                            DWORD paletteLength, const BYTE *palette)
{
    static constexpr DWORD kEntries[] = {2, 16, 256}; /* e1Bit, e4Bit, e8Bit */
    if (!pdev || colorDepth >= std::size(kEntries) || paletteLength == 0 || !palette)
        return -1;
    const DWORD entrySize = colorSpace == XL_eRGB || colorSpace == XL_eSRGB ? 3 : 1;
    const DWORD whole = kEntries[colorDepth] * entrySize;
    BYTE table[XL_MAX_PALETTE_BYTES] = {};
    static_assert(sizeof table >= 256 * 3, "room for 256 RGB entries");
    std::memcpy(table, palette, std::min(paletteLength, whole));
    return XL_SetColorSpacePalette(pdev, colorSpace, paletteDepth, whole, table);
}

/* --- Brush and pen --- */

int XL_SetBrushNull(PdevContext *pdev) { return xl_SetSourceNull(pdev, kBrush); }
int XL_SetBrushGray(PdevContext *pdev, BYTE grayLevel) { return xl_SetSourceGray(pdev, kBrush, grayLevel); }
int XL_SetBrushRgb(PdevContext *pdev, BYTE red, BYTE green, BYTE blue)
{
    return xl_SetSourceRgb(pdev, kBrush, red, green, blue);
}
int XL_SetBrushPattern(PdevContext *pdev, SHORT patternId, SHORT originX, SHORT originY, WORD newWidth,
                       WORD newHeight)
{
    return xl_SetSourcePattern(pdev, kBrush, patternId, originX, originY, newWidth, newHeight);
}
int XL_SetBrushRasterPattern(PdevContext *pdev, const XlRasterPattern *pattern)
{
    return xl_SetSourceRasterPattern(pdev, kBrush, pattern);
}

int XL_SetPenNull(PdevContext *pdev) { return xl_SetSourceNull(pdev, kPen); }
int XL_SetPenGray(PdevContext *pdev, BYTE grayLevel) { return xl_SetSourceGray(pdev, kPen, grayLevel); }
int XL_SetPenRgb(PdevContext *pdev, BYTE red, BYTE green, BYTE blue)
{
    return xl_SetSourceRgb(pdev, kPen, red, green, blue);
}
int XL_SetPenPattern(PdevContext *pdev, SHORT patternId, SHORT originX, SHORT originY, WORD newWidth,
                     WORD newHeight)
{
    return xl_SetSourcePattern(pdev, kPen, patternId, originX, originY, newWidth, newHeight);
}
int XL_SetPenRasterPattern(PdevContext *pdev, const XlRasterPattern *pattern)
{
    return xl_SetSourceRasterPattern(pdev, kPen, pattern);
}

/* --- Lines --- */

int XL_SetFillMode(PdevContext *pdev, BYTE fillMode)
{
    return xl_CachedUByte(pdev, &GraphicsStateCache::fillMode, fillMode, XLATTR_FillMode, XLOP_SetFillMode);
}

int XL_SetMiterLimit(PdevContext *pdev, WORD miterLength)
{
    if (!pdev)
        return -1;
    GraphicsStateCache &c = pdev->xlCache;
    if (c.miterLength == LONG(miterLength))
        return 0;
    if (xl_UInt16Attr(pdev, miterLength, XLATTR_MiterLength) != 0 || XL_PutOperator(pdev, XLOP_SetMiterLimit) != 0)
        return -1;
    c.miterLength = miterLength;
    c.miterLengthReal = -1.0f;
    return 0;
}

int XL_SetMiterLimitReal(PdevContext *pdev, FLOAT miterLength)
{
    if (!pdev)
        return -1;
    if (miterLength >= 0.0f && miterLength <= 65535.0f && miterLength == FLOAT(LONG(miterLength)))
        return XL_SetMiterLimit(pdev, WORD(miterLength));
    GraphicsStateCache &c = pdev->xlCache;
    if (c.miterLengthReal == miterLength)
        return 0;
    if (xl_Real32Attr(pdev, miterLength, XLATTR_MiterLength) != 0 || XL_PutOperator(pdev, XLOP_SetMiterLimit) != 0)
        return -1;
    c.miterLengthReal = miterLength;
    /* Unset rather than 0xFFFF, so that a following integer limit of 65535 is still sent. */
    c.miterLength = -1;
    return 0;
}

int XL_SetLineCap(PdevContext *pdev, BYTE lineCap)
{
    return xl_CachedUByte(pdev, &GraphicsStateCache::lineCap, lineCap, XLATTR_LineCapStyle, XLOP_SetLineCap);
}

int XL_SetLineJoin(PdevContext *pdev, BYTE lineJoin)
{
    return xl_CachedUByte(pdev, &GraphicsStateCache::lineJoin, lineJoin, XLATTR_LineJoinStyle, XLOP_SetLineJoin);
}

int XL_SetLineSolid(PdevContext *pdev)
{
    if (!pdev)
        return -1;
    if (pdev->xlCache.dashCount == 0)
        return 0;
    if (xl_UByteAttr(pdev, 0, XLATTR_SolidLine) != 0 || XL_PutOperator(pdev, XLOP_SetLineDash) != 0)
        return -1;
    pdev->xlCache.dashCount = 0;
    return 0;
}

int XL_SetLineDash(PdevContext *pdev, DWORD count, const WORD *entries, WORD offset)
{
    if (!pdev)
        return -1;
    if (count == 0)
        return XL_SetLineSolid(pdev);
    if (!entries || count > XL_MAX_ARRAY_COUNT)
        return -1;
    GraphicsStateCache &c = pdev->xlCache;
    DWORD kept = std::min(count, XL_CACHED_DASH_ENTRIES);
    if (c.dashCount == LONG(count) && c.dashOffset == SHORT(offset) &&
        std::memcmp(c.dashEntries, entries, kept * sizeof(WORD)) == 0)
        return 0;
    if (XL_UInt16Array(pdev, entries, count) != 0 || XL_PutAttr(pdev, XLATTR_LineDashStyle) != 0)
        return -1;
    if (offset != 0 && xl_UInt16Attr(pdev, offset, XLATTR_DashOffset) != 0)
        return -1;
    if (XL_PutOperator(pdev, XLOP_SetLineDash) != 0)
        return -1;
    c.dashOffset = SHORT(offset);
    if (count <= XL_CACHED_DASH_ENTRIES) {
        c.dashCount = LONG(count);
        std::memcpy(c.dashEntries, entries, count * sizeof(WORD));
    } else {
        c.dashCount = -1; /* too long to keep: sent again next time */
    }
    return 0;
}

int XL_SetPenWidth(PdevContext *pdev, WORD penWidth)
{
    if (!pdev)
        return -1;
    if (pdev->xlCache.penWidth == LONG(penWidth))
        return 0;
    if (xl_UInt16Attr(pdev, penWidth, XLATTR_PenWidth) != 0 || XL_PutOperator(pdev, XLOP_SetPenWidth) != 0)
        return -1;
    pdev->xlCache.penWidth = penWidth;
    return 0;
}

/* --- Clip --- */

int XL_SetClipReplace(PdevContext *pdev, BYTE clipRegion)
{
    if (!pdev)
        return -1;
    if (xl_UByteAttr(pdev, clipRegion, XLATTR_ClipRegion) != 0 || XL_PutOperator(pdev, XLOP_SetClipReplace) != 0)
        return -1;
    pdev->xlCache.clipState = XL_CLIP_PATH;
    pdev->xlCache.clipRegion = clipRegion;
    return 0;
}

int XL_SetClipRectangle(PdevContext *pdev, BYTE clipRegion, LONG left, LONG top, LONG right, LONG bottom)
{
    if (!pdev)
        return -1;
    GraphicsStateCache &c = pdev->xlCache;
    const LONG rect[4] = {left, top, right, bottom};
    if (c.clipState == XL_CLIP_RECTANGLE && c.clipRegion == clipRegion && std::memcmp(c.clipRect, rect, sizeof rect) == 0)
        return 0;
    if (xl_FramedBox(pdev, left, top, right, bottom, clipRegion, XLOP_SetClipRectangle) != 0)
        return -1;
    /* Recorded after the frame was left: its page-transform commands unset the clip. */
    c.clipState = XL_CLIP_RECTANGLE;
    c.clipRegion = clipRegion;
    std::memcpy(c.clipRect, rect, sizeof rect);
    return 0;
}

int XL_SetClipToPage(PdevContext *pdev)
{
    if (!pdev)
        return -1;
    if (pdev->xlCache.clipState == XL_CLIP_PAGE)
        return 0;
    if (XL_PutOperator(pdev, XLOP_SetClipToPage) != 0)
        return -1;
    pdev->xlCache.clipState = XL_CLIP_PAGE;
    return 0;
}

int XL_SetClipMode(PdevContext *pdev, BYTE clipMode)
{
    return xl_CachedUByte(pdev, &GraphicsStateCache::clipMode, clipMode, XLATTR_ClipMode, XLOP_SetClipMode);
}

/* --- Painting --- */

int XL_SetPatternTxMode(PdevContext *pdev, BYTE txMode)
{
    return xl_CachedUByte(pdev, &GraphicsStateCache::patternTxMode, txMode, XLATTR_TxMode, XLOP_SetPatternTxMode);
}

int XL_SetSourceTxMode(PdevContext *pdev, BYTE txMode)
{
    return xl_CachedUByte(pdev, &GraphicsStateCache::sourceTxMode, txMode, XLATTR_TxMode, XLOP_SetSourceTxMode);
}

int XL_SetRop(PdevContext *pdev, BYTE rop3)
{
    if (!pdev)
        return -1;
    if (pdev->xlCache.rop3 == SHORT(rop3))
        return 0;
    if (xl_UByteAttr(pdev, rop3, XLATTR_ROP3) != 0 || XL_PutOperator(pdev, XLOP_SetROP) != 0)
        return -1;
    pdev->xlCache.rop3 = rop3;
    return 0;
}
