/*
 * PCL XL commands: one function per command the renderer sends, each
 * writing its attributes in a fixed order and then the operator byte, and
 * the graphics-state cache that keeps state commands the printer already
 * holds from being sent again.
 *
 * Every function takes the device context first and returns 0, or -1 when
 * the context is missing or a write failed; the rest of the command is then
 * not written.  The cache changes only after a whole command went out, so a
 * failed command leaves it as it was and the next call sends it again.
 */
#ifndef TARVELGR_PCLXL_OPS_H
#define TARVELGR_PCLXL_OPS_H

#include <plat/types.h>

struct PdevContext;

/* Largest palette the cache keeps (and the largest RGB palette a command may carry). */
inline constexpr DWORD XL_MAX_PALETTE_BYTES = 768;
/* Pattern data bytes the cache compares and keeps. */
inline constexpr DWORD XL_CACHED_PATTERN_BYTES = 192;
/* Dash entries the cache keeps; longer patterns are sent every time. */
inline constexpr DWORD XL_CACHED_DASH_ENTRIES = 20;
/* Room for a font name and its terminator in the cache. */
inline constexpr DWORD XL_FONT_NAME_CAPACITY = 128;

/* Brush and pen kinds in the cache. */
enum : LONG {
    XL_SOURCE_NULL = 0,
    XL_SOURCE_GRAY = 1,
    XL_SOURCE_RGB = 2,
    XL_SOURCE_RASTER_PATTERN = 3,
    XL_SOURCE_UNSET = 4,
};

/* Clip states in the cache. */
enum : LONG {
    XL_CLIP_PAGE = 0,
    XL_CLIP_RECTANGLE = 1,
    XL_CLIP_PATH = 2,
    XL_CLIP_UNSET = 4,
};

/* What the cache believes the printer holds for the brush or the pen. */
struct XlSourceState {
    LONG kind;                  /* XL_SOURCE_... */
    BYTE grayLevel;
    BYTE rgb[3];
    BYTE patColorSpace;         /* the raster pattern's colour space; 255 unset */
    BYTE patPaletteDepth;
    SHORT patPaletteLength;     /* -1: longer than 768 bytes, not kept */
    WORD patDataLength;         /* 0: longer than 192 bytes, not kept */
    BYTE patPalette[XL_MAX_PALETTE_BYTES];
    BYTE patData[XL_CACHED_PATTERN_BYTES];
};

/*
 * What the cache believes the printer's graphics state to be.  Unset values
 * never equal an argument, so after XL_InvalidateState every state command
 * is sent once.
 */
struct GraphicsStateCache {
    /* Colour space */
    BYTE colorSpace;            /* 255 unset */
    BYTE paletteDepth;
    SHORT paletteLength;        /* bytes; 0 = no palette */
    BYTE palette[XL_MAX_PALETTE_BYTES];
    /* Brush and pen */
    XlSourceState brush;
    XlSourceState pen;
    /* Clip */
    LONG clipState;             /* XL_CLIP_... */
    BYTE clipRegion;            /* 255 unset */
    BYTE clipMode;              /* 255 unset */
    LONG clipRect[4];           /* left, top, right, bottom in device pixels */
    /* Lines */
    BYTE fillMode;              /* 255 unset */
    BYTE lineCap;               /* 255 unset */
    BYTE lineJoin;              /* 255 unset */
    LONG miterLength;           /* integer form; -1 unset or while a fractional one is in force */
    FLOAT miterLengthReal;      /* real form; -1.0 while unset or an integer one is in force */
    LONG dashCount;             /* 0 solid; -1 unset or longer than 20 entries */
    WORD dashEntries[XL_CACHED_DASH_ENTRIES];
    SHORT dashOffset;
    LONG penWidth;              /* -1 unset */
    /* Painting */
    BYTE patternTxMode;         /* 255 unset */
    BYTE sourceTxMode;          /* 255 unset */
    SHORT rop3;                 /* -1 unset */
    /* Text */
    LONG textInvalid;           /* 1: every text command is sent once */
    SHORT charAngle;
    FLOAT charScaleX, charScaleY;
    FLOAT charShearX, charShearY;
    FLOAT charBoldValue;
    BYTE charSubMode;
    BYTE writingMode;
    CHAR fontName[XL_FONT_NAME_CAPACITY];
    FLOAT charSize;
    SHORT symbolSet;
};

/* --- Cache control --- */

/* Marks the whole cache unset (text state included); writes nothing. */
void XL_InvalidateState(PdevContext *pdev);

/* Marks the text state unset: every text command is sent once again; writes nothing. */
void XL_ResetFontState(PdevContext *pdev);

/* --- Colour space --- */

/* SetColorSpace (ColorSpace); skipped when the space is in force with no palette. */
int XL_SetColorSpace(PdevContext *pdev, BYTE colorSpace);

/*
 * SetColorSpace with a palette (ColorSpace, PaletteDepth, PaletteData).  The
 * palette goes out padded with zero bytes to 2, 16 or 256 entries (3 bytes
 * an entry for eRGB and eSRGB, 1 otherwise).  A palette longer than 768
 * bytes (eRGB, eSRGB) or 256 bytes (other spaces), or a missing one, gives
 * -1 with nothing written; a length of 0 is XL_SetColorSpace.  Skipped when
 * space, depth and the unpadded palette are all in force.
 */
int XL_SetColorSpacePalette(PdevContext *pdev, BYTE colorSpace, BYTE paletteDepth, DWORD paletteLength,
                            const BYTE *palette);

/*
 * SetColorSpace with the palette of an indexed image or raster pattern whose
 * indices are `colorDepth` (0 e1Bit, 1 e4Bit, 2 e8Bit) bits wide.  A printer
 * takes an indexed image only with a palette of exactly 2^bits entries, so
 * the palette goes out as that many entries: padded with zero bytes, or its
 * first 2^bits entries when it has more (indices of that width reach no
 * further).  Otherwise as XL_SetColorSpacePalette (same cache, -1 for a
 * missing palette or an unknown depth).
 */
int XL_SetColorSpaceIndexed(PdevContext *pdev, BYTE colorSpace, BYTE paletteDepth, BYTE colorDepth,
                            DWORD paletteLength, const BYTE *palette);

/* --- Brush and pen (SetBrushSource / SetPenSource) --- */

/*
 * A raster pattern to define and select as the brush or pen.  The palette
 * (length 0 = none) and the data are the caller's; they are only read.
 */
struct XlRasterPattern {
    BYTE colorSpace;
    BYTE paletteDepth;
    DWORD paletteLength;
    const BYTE *palette;
    BYTE colorMapping;
    BYTE colorDepth;
    WORD sourceWidth;
    WORD sourceHeight;
    WORD destinationWidth;
    WORD destinationHeight;
    SHORT patternDefineId;
    BYTE patternPersistence;
    BYTE compressMode;
    BYTE padBytesMultiple;
    DWORD dataLength;
    const BYTE *data;
    SHORT originX;
    SHORT originY;
};

int XL_SetBrushNull(PdevContext *pdev);
int XL_SetBrushGray(PdevContext *pdev, BYTE grayLevel);
int XL_SetBrushRgb(PdevContext *pdev, BYTE red, BYTE green, BYTE blue);
/*
 * Selects a defined pattern (PatternSelectID; PatternOrigin unless (0, 0);
 * NewDestinationSize when both are non-zero).  Never skipped; the brush is
 * unknown to the cache afterwards.
 */
int XL_SetBrushPattern(PdevContext *pdev, SHORT patternId, SHORT originX, SHORT originY, WORD newWidth,
                       WORD newHeight);
/*
 * Defines `pattern` (colour space, BeginRastPattern, ReadRastPattern,
 * EndRastPattern) and selects it as the brush.  Skipped when the brush is a
 * raster pattern with the same colour space, palette and data (patterns of
 * more than 192 data bytes are sent every time).
 */
int XL_SetBrushRasterPattern(PdevContext *pdev, const XlRasterPattern *pattern);

int XL_SetPenNull(PdevContext *pdev);
int XL_SetPenGray(PdevContext *pdev, BYTE grayLevel);
int XL_SetPenRgb(PdevContext *pdev, BYTE red, BYTE green, BYTE blue);
int XL_SetPenPattern(PdevContext *pdev, SHORT patternId, SHORT originX, SHORT originY, WORD newWidth,
                     WORD newHeight);
int XL_SetPenRasterPattern(PdevContext *pdev, const XlRasterPattern *pattern);

/* --- Lines --- */

int XL_SetFillMode(PdevContext *pdev, BYTE fillMode);
/* MiterLength as uint16. */
int XL_SetMiterLimit(PdevContext *pdev, WORD miterLength);
/* A whole value in 0..65535 goes to XL_SetMiterLimit; any other as real32. */
int XL_SetMiterLimitReal(PdevContext *pdev, FLOAT miterLength);
int XL_SetLineCap(PdevContext *pdev, BYTE lineCap);
int XL_SetLineJoin(PdevContext *pdev, BYTE lineJoin);
/* SetLineDash with SolidLine 0; skipped while the line is solid. */
int XL_SetLineSolid(PdevContext *pdev);
/*
 * SetLineDash with LineDashStyle (and DashOffset when not 0).  Patterns of
 * more than 20 entries are sent every time; more than 65,535 entries give
 * -1 with nothing written; no entries is XL_SetLineSolid.
 */
int XL_SetLineDash(PdevContext *pdev, DWORD count, const WORD *entries, WORD offset);
int XL_SetPenWidth(PdevContext *pdev, WORD penWidth);

/* --- Clip --- */

/* SetClipReplace (ClipRegion); never skipped. */
int XL_SetClipReplace(PdevContext *pdev, BYTE clipRegion);
/*
 * SetClipRectangle (ClipRegion, BoundingBox) in a fitted frame.  Skipped when
 * the same region and the same four device coordinates are in force.
 */
int XL_SetClipRectangle(PdevContext *pdev, BYTE clipRegion, LONG left, LONG top, LONG right, LONG bottom);
/* SetClipToPage; skipped while the clip is already the page. */
int XL_SetClipToPage(PdevContext *pdev);
int XL_SetClipMode(PdevContext *pdev, BYTE clipMode);

/* --- Painting --- */

int XL_SetPatternTxMode(PdevContext *pdev, BYTE txMode);
int XL_SetSourceTxMode(PdevContext *pdev, BYTE txMode);
int XL_SetRop(PdevContext *pdev, BYTE rop3);

/* --- Text state (sent every time while the text state is unset) --- */

/*
 * SetFont (FontName without its terminator, CharSize, SymbolSet).  `name` is
 * NUL-terminated; a missing name or one of XL_FONT_NAME_CAPACITY bytes or
 * more gives -1 with nothing written.
 */
int XL_SetFont(PdevContext *pdev, const char *name, FLOAT charSize, WORD symbolSet);
/* SetCharAngle (CharAngle as uint16 of the signed angle). */
int XL_SetCharAngle(PdevContext *pdev, SHORT angle);
/* SetCharScale; while the text state is valid the recorded char angle follows. */
int XL_SetCharScale(PdevContext *pdev, FLOAT x, FLOAT y);
/* SetCharShear; while the text state is valid the recorded char angle follows. */
int XL_SetCharShear(PdevContext *pdev, FLOAT x, FLOAT y);
int XL_SetCharBoldValue(PdevContext *pdev, FLOAT boldValue);
/* SetCharSubMode with a one-byte CharSubModeArray. */
int XL_SetCharSubMode(PdevContext *pdev, BYTE subMode);
/* SetCharAttributes (WritingMode). */
int XL_SetCharAttributes(PdevContext *pdev, BYTE writingMode);

/* --- Text and font download (never skipped) --- */

/*
 * Text: TextData (count codes), then XSpacingData and YSpacingData when
 * asked (count entries each).  Makes the text state valid.
 */
int XL_Text(PdevContext *pdev, DWORD count, const WORD *codes, BOOL sendX, BOOL sendY, const SHORT *xSpacing,
            const SHORT *ySpacing);
int XL_BeginFontHeader(PdevContext *pdev, const char *name);
/* ReadFontHeader (FontHeaderLength) and the header as embedded data; at most 65,535 bytes. */
int XL_ReadFontHeader(PdevContext *pdev, const BYTE *data, DWORD length);
int XL_EndFontHeader(PdevContext *pdev);
int XL_BeginChar(PdevContext *pdev, const char *name);
/* ReadChar (CharCode, CharDataSize) and the character data as embedded data. */
int XL_ReadChar(PdevContext *pdev, WORD charCode, const BYTE *data, DWORD length);
int XL_EndChar(PdevContext *pdev);
int XL_RemoveFont(PdevContext *pdev, const char *name);

/* --- Paths (never skipped) --- */

int XL_NewPath(PdevContext *pdev);
int XL_CloseSubPath(PdevContext *pdev);
int XL_PaintPath(PdevContext *pdev);
/* SetCursor (Point) at a device point, in a fitted frame. */
int XL_SetCursor(PdevContext *pdev, LONG x, LONG y);
/* LinePath (EndPoint) to a device point, in a fitted frame. */
int XL_LineTo(PdevContext *pdev, LONG x, LONG y);
/* Ellipse (BoundingBox) in a fitted frame. */
int XL_Ellipse(PdevContext *pdev, LONG x1, LONG y1, LONG x2, LONG y2);
/* Rectangle (BoundingBox) in a fitted frame. */
int XL_Rectangle(PdevContext *pdev, LONG x1, LONG y1, LONG x2, LONG y2);
/* NewPath, SetCursor at the first point, LinePath to the second, PaintPath. */
int XL_DrawLine(PdevContext *pdev, LONG x1, LONG y1, LONG x2, LONG y2);

/* --- Images and patterns (never skipped) --- */

int XL_BeginImage(PdevContext *pdev, BYTE colorMapping, BYTE colorDepth, WORD sourceWidth, WORD sourceHeight,
                  WORD destinationWidth, WORD destinationHeight);
/*
 * ReadImage (StartLine, BlockHeight, CompressMode, and PadBytesMultiple when
 * neither 0 nor 4), then the embedded-data header for `length`; the data
 * follows with XL_WriteData.
 */
int XL_ReadImageHeader(PdevContext *pdev, WORD startLine, WORD blockHeight, BYTE compressMode, BYTE padBytesMultiple,
                       DWORD length);
/* The raw bytes after a Read header. */
int XL_WriteData(PdevContext *pdev, const void *bytes, DWORD length);
int XL_EndImage(PdevContext *pdev);
int XL_BeginRastPattern(PdevContext *pdev, BYTE colorMapping, BYTE colorDepth, WORD sourceWidth, WORD sourceHeight,
                        WORD destinationWidth, WORD destinationHeight, SHORT patternDefineId,
                        BYTE patternPersistence);
/* ReadRastPattern with the attributes of XL_ReadImageHeader, then the data. */
int XL_ReadRastPattern(PdevContext *pdev, WORD startLine, WORD blockHeight, BYTE compressMode,
                       BYTE padBytesMultiple, const BYTE *data, DWORD length);
int XL_EndRastPattern(PdevContext *pdev);

/* --- Session, page, stream and comments (never skipped) --- */

int XL_BeginSession(PdevContext *pdev, WORD unitsX, WORD unitsY, BYTE measure, BYTE errorReport);
int XL_EndSession(PdevContext *pdev);
int XL_OpenDataSource(PdevContext *pdev, BYTE sourceType, BYTE dataOrg);
int XL_CloseDataSource(PdevContext *pdev);

/* The values of BeginPage; a negative number marks an absent value. */
struct XlPageStart {
    BYTE orientation;
    SHORT mediaSource;        /* 0xF0 goes out as the name "TRAY5" */
    SHORT mediaSize;          /* negative: the custom size below */
    FLOAT customWidth;
    FLOAT customHeight;
    BYTE customUnits;
    const char *mediaType;    /* null or empty: not sent */
    SHORT mediaDestination;
    SHORT simplexMode;
    SHORT duplexMode;
    SHORT duplexSide;         /* sent only with a duplex mode */
};

int XL_BeginPage(PdevContext *pdev, const XlPageStart *page);
/* EndPage, with PageCopies when not 0. */
int XL_EndPage(PdevContext *pdev, WORD copies);
int XL_PushGS(PdevContext *pdev);
int XL_PopGS(PdevContext *pdev);
/* BeginStream (StreamName, its length always as uint16). */
int XL_BeginStream(PdevContext *pdev, const char *name);
/* ReadStream (StreamDataLength); the embedded data follows from the caller. */
int XL_ReadStream(PdevContext *pdev, DWORD length);
/* EndStream, closing a stream definition. */
int XL_EndStream(PdevContext *pdev);
int XL_ExecStream(PdevContext *pdev, const char *name);
/* Comment (CommentData: the text without its terminator). */
int XL_Comment(PdevContext *pdev, const char *text);
/* Comment "QZPC=%02d" of `value` (0 to 255; other values give -1, nothing written). */
int XL_CommentPc(PdevContext *pdev, int value);
/* Comment "QZSR=%02d" of a + 4 x b, each counted as 1 when non-zero. */
int XL_CommentSr(PdevContext *pdev, int a, int b);
/* Comment "QZCC=00". */
int XL_CommentCc(PdevContext *pdev);

/* --- Page transforms: each unsets a clip other than the page afterwards --- */

int XL_SetPageDefaultCtm(PdevContext *pdev);
int XL_SetPageOrigin(PdevContext *pdev, SHORT x, SHORT y);
/* SetPageRotation of the angle folded into -360..360 (400 -> 40, 720 -> 360, -400 -> -40). */
int XL_SetPageRotation(PdevContext *pdev, LONG angle);
int XL_SetPageScale(PdevContext *pdev, FLOAT x, FLOAT y);

#endif /* TARVELGR_PCLXL_OPS_H */
