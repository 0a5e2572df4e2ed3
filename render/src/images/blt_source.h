/*
 * Reading source bitmaps safely: the translation kinds of the source
 * reader, the bounded access to one row of an engine bitmap, and the
 * palette of an indexed source.
 */
#ifndef TARVELGR_BLT_SOURCE_H
#define TARVELGR_BLT_SOURCE_H

#include <plat/engine.h>
#include <plat/types.h>

/* How the translation is applied (BLT_XlateKind). */
enum : int {
    BLT_XLATE_PALETTE = 0,      /* 1, 4, 8 bits: indices kept, the palette is built apart */
    BLT_XLATE_EACH = 1,         /* every pixel through XLATEOBJ_iXlate */
    BLT_XLATE_SWAP = 2,         /* the three bytes of each pixel reversed */
    BLT_XLATE_DROP_FOURTH = 3,  /* 32 bits: the fourth byte dropped */
    BLT_XLATE_COPY = 4,         /* 24 bits: rows copied as they are */
};

/*
 * Row `y` of the bitmap as it starts at pixel 0, when pixels x .. x + width
 * - 1 of it lie inside the bitmap's size and its bits (pvBits, cjBits);
 * else null.  Only those pixels may be read through it.
 */
const BYTE *BLT_SourceRow(const SURFOBJ *pso, LONG y, LONG x, LONG width);

/* The raw value of pixel `i` of a row of `bits` bits per pixel. */
ULONG BLT_RowPixel(const BYTE *row, ULONG bits, ULONGLONG i);

/*
 * The palette of a 1-, 4- or 8-bit source: for each index below 2^bits
 * the translated colour's three low bytes, lowest first (blue, green, red),
 * into `palette` (768 bytes).  Answers the entry count: the translation's
 * table size when it has one (at most 2^bits), else 2^bits.
 */
ULONG BLT_BuildPalette(XLATEOBJ *pxlo, ULONG bits, BYTE *palette);

#endif /* TARVELGR_BLT_SOURCE_H */
