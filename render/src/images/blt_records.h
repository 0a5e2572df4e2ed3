/*
 * The records of the image road: an image's descriptor and band record,
 * the job's image spool (scratch file, compression mode, turn buffer), the
 * pending-image list with its nodes and clip copies, the downscale state,
 * and the PCL XL enumeration values the image writers send.
 */
#ifndef TARVELGR_BLT_RECORDS_H
#define TARVELGR_BLT_RECORDS_H

#include "spool_file.h"

#include <plat/engine.h>
#include <plat/types.h>

/* Compression modes of the image spool. */
enum : BYTE {
    BLT_COMPRESS_NONE = 1,
    BLT_COMPRESS_JPEG = 4,
    BLT_COMPRESS_RLE_DELTAROW = 7,
};

/* Colour formats of an image descriptor. */
enum : BYTE {
    BLT_FORMAT_GREY = 3,
    BLT_FORMAT_RGB = 4,
    BLT_FORMAT_JPEG = 5,
    BLT_FORMAT_GREY_PALETTE = 10,
    BLT_FORMAT_PALETTE = 11,
};

/* Compression kinds of a band record. */
enum : WORD {
    BLT_BAND_NONE = 0,
    BLT_BAND_DELTAROW = 1,
    BLT_BAND_RLE = 2,
};

/* PCL XL enumerations the image and blt writers send. */
enum : BYTE {
    XLE_DirectPixel = 0,
    XLE_IndexedPixel = 1,
    XLE_1Bit = 0,
    XLE_4Bit = 1,
    XLE_8Bit = 2,
    XLE_NoCompression = 0,
    XLE_RLECompression = 1,
    XLE_JPEGCompression = 2,
    XLE_DeltaRowCompression = 3,
    XLE_EvenOdd = 1,
    XLE_Opaque = 0,
};

/* Padded rows per ReadImage block at most, in bytes. */
inline constexpr DWORD BLT_BAND_LIMIT = 350000;

/* Widest and tallest image a descriptor (and BeginImage) can carry. */
inline constexpr LONG BLT_MAX_SIDE = 65535;

/* Images turned with the page are larger than this both ways. */
inline constexpr LONG BLT_TURN_MIN_SIDE = 64;

/* One image to emit. */
struct ImageDescriptor {
    FLOAT x;
    FLOAT y;
    FLOAT scale[6];
    WORD srcWidth;
    WORD srcHeight;
    BYTE sourceKind;     /* 2 with a source surface, 1 without */
    BYTE colorFormat;    /* BLT_FORMAT_ */
    BYTE paletteDepth;   /* 8 */
    WORD paletteCount;
    WORD paletteBytes;
    BYTE *palette;
    BYTE one;            /* fixed at 1 */
    BYTE bits;           /* bits per component or index, at most 8 */
    BYTE method;         /* 1 at creation, 4 once sent as JPEG */
    DWORD imageBytes;    /* rows of (bits x width + 7) / 8 bytes, not padded */
    LONG destWidth;
    LONG destHeight;
};

/* The output state of one image write. */
struct ImageBands {
    LONG x;
    LONG y;
    BYTE indexed;
    BYTE colorSpace;     /* 1 eGray, 2 eRGB */
    BYTE colorDepth;     /* XLE_1Bit, XLE_4Bit, XLE_8Bit */
    WORD compression;    /* BLT_BAND_ */
    DWORD startLine;
    DWORD blockRows;
    DWORD paddedRow;
    DWORD rawBytes;
    DWORD compressedBytes;
    WORD pad;
    WORD padCodeLength;
    BYTE *raw;
    BYTE *compressed;
};

/* The buffer images of turned pages are turned in; grows, never shrinks. */
struct TurnBuffer {
    DWORD capacity;
    BYTE *buffer;
};

/* The job's image spool. */
struct ImageSpool {
    SpoolFile scratch;   /* the JPEG compressor's scratch file, made on first use */
    BYTE mode;           /* BLT_COMPRESS_ */
    TurnBuffer turn;
};

/* A clip object copied for a held image. */
struct ClipCopy {
    RECTL dest;
    ULONG iUniq;
    RECTL bounds;
    BYTE dComplexity;
    BYTE fComplexity;
    BYTE mode;
    BYTE options;
    void *points;        /* DC_COMPLEX: the clip path's point records (PTH_CopyPathPoints, process heap) */
    DWORD pointBytes;
    DWORD records;
};

/* One held image. */
struct PendingImage {
    PendingImage *next;
    ClipCopy clip;
    ImageDescriptor descriptor;
    HANDLE block;        /* moveable block of the rows, blue, green, red */
    BYTE *pixels;        /* its address while locked */
    BYTE stage;          /* conversion done: 0 none, 1 lookup grids, 2 all */
    PendingImage *prev;
};

/* What a blt must repeat to continue the held picture; a width or height of 0 is not compared. */
struct PendingImageKey {
    LONG code;
    LONG bits;
    LONG width;
    LONG height;
};

struct PendingImageList {
    PendingImageKey key;
    DWORD count;
    PendingImage *first;
    PendingImage *last;
};

/* Rows buffered for one output row of a reduction at most. */
inline constexpr int BLT_DOWNSCALE_ROWS = 16;

/* Source pixels per output pixel on one axis at most. */
inline constexpr LONG BLT_DOWNSCALE_MAX_RATIO = 14;

/* One output pixel of an axis: the source pixels it takes, weights in 1/256. */
struct AxisEntry {
    WORD first;
    WORD firstWeight;
    WORD last;
    WORD lastWeight;
};
static_assert(sizeof(AxisEntry) == 8, "axis table entry");

/* The reduction of one image (24-bit rows). */
struct DownscaleState {
    WORD mode;           /* 1 */
    WORD srcWidth;
    WORD srcHeight;
    WORD dstWidth;
    WORD dstHeight;
    WORD resolutionX;
    WORD resolutionY;
    WORD target;
    BYTE *rows[BLT_DOWNSCALE_ROWS];    /* buffered source rows, srcWidth x 3 bytes each */
    WORD buffered;
    WORD outputRow;      /* index of the next output row */
    WORD taken;          /* source rows taken */
    BYTE *output;        /* dstWidth x 3 bytes */
    BYTE *reduced[BLT_DOWNSCALE_ROWS]; /* horizontally reduced rows, dstWidth x 3 bytes each */
    AxisEntry *horizontal;
    AxisEntry *vertical;
};

/* Makes an empty downscale state (freed with BLT_FreeDownscale), or null. */
DownscaleState *BLT_NewDownscale();

#endif /* TARVELGR_BLT_RECORDS_H */
