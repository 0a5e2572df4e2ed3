/*
 * The application escapes of the extension (0x1071 to 0x1074 and 0x1078):
 * the feature table, the control, colour, duplex and data escapes, and the
 * JPEG pass-through that hands an application's JPEG file to the printer
 * in pieces without decoding it.
 *
 * Answers: 1 done (the image escape: the sequence id), 0 extension off or
 * feature not available, -1 failure, -2 unknown control code, -3 unknown
 * sub-code or feature, -4 wrong size, -5 value not allowed, -6 not allowed
 * in this state.  A refused escape changes nothing.
 */
#ifndef TARVELGR_ESC_EXT_H
#define TARVELGR_ESC_EXT_H

#include <plat/types.h>

struct PdevContext;

/* Escape numbers of the extension. */
enum : ULONG {
    ESC_EXT_CONTROL = 0x1071,
    ESC_EXT_DRAW_IMAGE = 0x1072,
    ESC_EXT_COLOR_MODE = 0x1073,
    ESC_EXT_DUPLEX = 0x1074,
    ESC_EXT_DATA = 0x1078,
};

/* Answers of the extension's escapes. */
enum : LONG {
    EXT_DONE = 1,
    EXT_OFF = 0,
    EXT_FAILED = -1,
    EXT_UNKNOWN_CONTROL = -2,
    EXT_UNKNOWN_CODE = -3,
    EXT_BAD_SIZE = -4,
    EXT_BAD_VALUE = -5,
    EXT_BAD_STATE = -6,
};

/* Feature codes. */
enum : WORD {
    EXT_FEATURE_CONTROL = 0x1101,
    EXT_FEATURE_JPEG = 0x1102,
    EXT_FEATURE_COLOR = 0x1103,
    EXT_FEATURE_DUPLEX = 0x1104,
};

/* Largest JPEG piece one image escape may carry. */
inline constexpr DWORD EXT_MAX_JPEG_PIECE = 0xFF00;

/* Compression of a bitmap header that describes JPEG data. */
inline constexpr DWORD EXT_BI_JPEG = 4;

/* Bytes of the feature query's answer and of the control, duplex and image call records. */
inline constexpr ULONG EXT_FEATURE_ANSWER_SIZE = 18;
inline constexpr ULONG EXT_CONTROL_SIZE = 8;
inline constexpr ULONG EXT_IMAGE_CALL_SIZE = 36;
inline constexpr ULONG EXT_IMAGE_DESCRIPTOR_SIZE = 28;

/* One row of the feature table. */
struct ExtFeatureRow {
    WORD code;
    WORD escape;
    DWORD minimumClass;
    DWORD flags;
    DWORD values[2];
};

/* The feature table: rows of a code in the order they are tried. */
extern const ExtFeatureRow ESC_ExtFeatureTable[8];

/*
 * The feature `code` as the context's protocol class offers it: 0 with the
 * row in `*row` (duplex flags 0xC cleared without a duplex unit), or -1
 * (no context, no applicable row, the JPEG feature while the engine may
 * journal, the colour feature on a device or job that cannot take it).
 */
int ESC_ExtFeature(PdevContext *pdev, WORD code, ExtFeatureRow *row);

/* QUERYESCSUPPORT of an extension escape: 1 for the control escape, the others while the extension is on. */
ULONG ESC_ExtSupported(PdevContext *pdev, ULONG escape);

/* Routes an extension escape of a checked context; its answer as DrvEscape returns it. */
ULONG ESC_ExtEscape(PdevContext *pdev, ULONG escape, ULONG cjIn, const void *pvIn, ULONG cjOut, PVOID pvOut);

LONG ESC_ExtControl(PdevContext *pdev, ULONG cjIn, const void *pvIn, ULONG cjOut, PVOID pvOut);
LONG ESC_ExtColorMode(PdevContext *pdev, ULONG cjIn, const void *pvIn);
LONG ESC_ExtDuplex(PdevContext *pdev, ULONG cjIn, const void *pvIn, ULONG cjOut, PVOID pvOut);
LONG ESC_ExtData(PdevContext *pdev, ULONG cjIn, const void *pvIn);

/*
 * One piece of a JPEG image: the call record, its image descriptor,
 * bitmap header and piece, all checked against `cjIn` before anything is
 * read.  The pieces are collected until the last one; the whole file is
 * then checked (a frame header of the descriptor's source size with one or
 * three components, the EOI marker at its end) and written as one image:
 * clip, colour space, rotation, BeginImage, one ReadImage carrying the
 * file's bytes unchanged, EndImage.  The sequence id, or an answer above.
 */
LONG ESC_ExtDrawImage(PdevContext *pdev, ULONG cjIn, const void *pvIn);

/*
 * Drops a sequence that ends before its last piece (the page or the job
 * ends, the context goes): nothing of it was written, so the stream stays
 * whole and the unfinished image is not printed.
 */
void ESC_ExtDropSequence(PdevContext *pdev);

/*
 * JPEG marker scan.  ESC_FindMarker: the position of the next marker at or
 * after `from` (a 0xFF byte followed by a byte that is neither 0x00 nor
 * 0xFF), or -1.  ESC_JpegComponents: the component count of the frame
 * header, or -1 (no SOI first, EOI or the end of the data before a frame
 * header, a segment length below 2, a count of 0).  ESC_JpegIsColour: 1
 * when the count is above 1, 0 for one component, -1 when the scan fails.
 */
LONG ESC_FindMarker(const BYTE *data, DWORD length, DWORD from);
int ESC_JpegComponents(const BYTE *data, DWORD length);
int ESC_JpegIsColour(const BYTE *data, DWORD length);

#endif /* TARVELGR_ESC_EXT_H */
