/*
 * PCL XL enumeration values the brush, pattern, path and clip commands of
 * the drawing work write (the writer's own are in pclxl_tags.h).
 */
#ifndef TARVELGR_DRAW_XL_VALUES_H
#define TARVELGR_DRAW_XL_VALUES_H

#include <plat/types.h>

enum : BYTE {
    /* TxMode */
    XLV_eOpaque = 0,
    XLV_eTransparent = 1,
    /* ColorMapping */
    XLV_eDirectPixel = 0,
    XLV_eIndexedPixel = 1,
    /* ColorDepth and PaletteDepth */
    XLV_e1Bit = 0,
    XLV_e4Bit = 1,
    XLV_e8Bit = 2,
    /* FillMode and ClipMode */
    XLV_eNonZeroWinding = 0,
    XLV_eEvenOdd = 1,
    /* ClipRegion */
    XLV_eInterior = 0,
    /* LineCapStyle */
    XLV_eButtCap = 0,
    XLV_eRoundCap = 1,
    XLV_eSquareCap = 2,
    /* LineJoinStyle */
    XLV_eMiterJoin = 0,
    XLV_eRoundJoin = 1,
    XLV_eBevelJoin = 2,
    /* PatternPersistence */
    XLV_ePagePattern = 1,
    /* CompressMode */
    XLV_eNoCompression = 0,
};

#endif /* TARVELGR_DRAW_XL_VALUES_H */
