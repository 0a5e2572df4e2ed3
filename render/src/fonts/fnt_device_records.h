/*
 * The device fonts of a device context: the descriptor of every device-font
 * record of the model (DeviceFontEntry) and the record shown to the engine
 * for each font it may use (DeviceFontRecord: a header with the widths and
 * the width cursor, then the engine's IFIMETRICS with its names and
 * simulations, the kerning pairs and a copy of the metrics block), with the
 * engine's font records they are made of.
 */
#ifndef TARVELGR_FNT_DEVICE_RECORDS_H
#define TARVELGR_FNT_DEVICE_RECORDS_H

#include "fnt_metric_cursor.h"

#include <plat/engine_draw.h>
#include <plat/engine_fonts.h>
#include <plat/types.h>

#include <cstddef>

/* ---- The engine's font records ------------------------------------------------------------ */

/* One simulated face: the font's own values changed for bold, italic or both (20 bytes). */
struct FONTDIFF {
    BYTE jReserved1;
    BYTE jReserved2;
    BYTE jReserved3;
    BYTE bWeight;
    USHORT usWinWeight;
    USHORT fsSelection;
    FWORD fwdAveCharWidth;
    FWORD fwdMaxCharInc;
    POINTL ptlCaret;
};

/* Offsets from the FONTSIM's start of its three FONTDIFF records. */
struct FONTSIM {
    PTRDIFF dpBold;
    PTRDIFF dpItalic;
    PTRDIFF dpBoldItalic;
};

struct FD_KERNINGPAIR {
    WCHAR wcFirst;
    WCHAR wcSecond;
    FWORD fwdKern;
};

/* The extended metrics of a printer font metrics file (26 16-bit values). */
struct EXTTEXTMETRIC {
    SHORT etmSize;
    SHORT etmPointSize;
    SHORT etmOrientation;
    SHORT etmMasterHeight;
    SHORT etmMinScale;
    SHORT etmMaxScale;
    SHORT etmMasterUnits;
    SHORT etmCapHeight;
    SHORT etmXHeight;
    SHORT etmLowerCaseAscent;
    SHORT etmLowerCaseDescent;
    SHORT etmSlant;
    SHORT etmSuperScript;
    SHORT etmSubScript;
    SHORT etmSuperScriptSize;
    SHORT etmSubScriptSize;
    SHORT etmUnderlineOffset;
    SHORT etmUnderlineWidth;
    SHORT etmDoubleUpperUnderlineOffset;
    SHORT etmDoubleLowerUnderlineOffset;
    SHORT etmDoubleUpperUnderlineWidth;
    SHORT etmDoubleLowerUnderlineWidth;
    SHORT etmStrikeOutOffset;
    SHORT etmStrikeOutWidth;
    WORD etmKernPairs;
    WORD etmKernTracks;
};

struct POINTE {
    FLOATL x;
    FLOATL y;
};

struct FD_XFORM {
    FLOATL eXX;
    FLOATL eXY;
    FLOATL eYX;
    FLOATL eYY;
};

/* What QFD_MAXEXTENTS answers about a realised font (124 bytes). */
struct FD_DEVICEMETRICS {
    FLONG flRealizedType;
    POINTE pteBase;
    POINTE pteSide;
    LONG lD;
    FIX fxMaxAscender;
    FIX fxMaxDescender;
    POINTL ptlUnderline1;
    POINTL ptlStrikeOut;
    POINTL ptlULThickness;
    POINTL ptlSOThickness;
    ULONG cxMax;
    ULONG cyMax;
    ULONG cjGlyphMax;
    FD_XFORM fdxQuantized;
    LONG lNonLinearExtLeading;
    LONG lNonLinearIntLeading;
    LONG lNonLinearMaxCharWidth;
    LONG lNonLinearAvgCharWidth;
    LONG lMinA;
    LONG lMinC;
    LONG lMinD;
    LONG alReserved[1];
};

static_assert(sizeof(FONTDIFF) == 20 && offsetof(FONTDIFF, ptlCaret) == 12, "FONTDIFF layout");
static_assert(sizeof(FONTSIM) == 12, "FONTSIM layout");
static_assert(sizeof(FD_KERNINGPAIR) == 6, "FD_KERNINGPAIR layout");
static_assert(sizeof(EXTTEXTMETRIC) == 52 && offsetof(EXTTEXTMETRIC, etmSlant) == 22, "EXTTEXTMETRIC layout");
static_assert(sizeof(FD_DEVICEMETRICS) == 124 && offsetof(FD_DEVICEMETRICS, cxMax) == 64 &&
                  offsetof(FD_DEVICEMETRICS, lNonLinearExtLeading) == 92,
              "FD_DEVICEMETRICS layout");

/* IFIMETRICS flInfo bits the device fonts use (FM_INFO_OPTICALLY_FIXED_PITCH is the platform's). */
inline constexpr FLONG FNT_INFO_ARB_XFORMS = 0x00000010u;       /* FM_INFO_ARB_XFORMS */
inline constexpr FLONG FNT_INFO_CONSTANT_WIDTH = 0x00001000u;   /* FM_INFO_CONSTANT_WIDTH */
inline constexpr FLONG FNT_INFO_NOT_CONTIGUOUS = 0x00002000u;   /* FM_INFO_NOT_CONTIGUOUS */
inline constexpr FLONG FNT_INFO_RIGHT_HANDED = 0x00080000u;     /* FM_INFO_RIGHT_HANDED */
inline constexpr FLONG FNT_INFO_DBCS_FIXED_PITCH = 0x10000000u; /* FM_INFO_DBCS_FIXED_PITCH */

/* Modes of the font-data query. */
inline constexpr ULONG FNT_QFD_GLYPHANDBITMAP = 1;
inline constexpr ULONG FNT_QFD_MAXEXTENTS = 3;

/* The symbol set of a device font whose record names none (PCL 18N). */
inline constexpr WORD FNT_DEFAULT_SYMBOL_SET = 590;

/* The character sets whose fixed-pitch fonts have double-width characters. */
inline bool FNT_IsDoubleByteCharset(BYTE charSet)
{
    return charSet == 128 || charSet == 129 || charSet == 134 || charSet == 136;
}

/* ---- The driver's device-font records ------------------------------------------------------ */

/* The longest face name kept, in characters. */
inline constexpr DWORD FNT_MAX_FACE_CHARS = 32;

/* One device font of the model (all of them, in record order). */
struct DeviceFontEntry {
    WCHAR faceName[FNT_MAX_FACE_CHARS + 1];
    char printerName[17]; /* 16 characters, blank padded */
    WORD symbolSet;
    DWORD id;             /* the identifier text read as hexadecimal; FNT_NO_FONT_ID when it is not a number */
    BYTE pitchAndFamily;
    BYTE charSet;
    WORD weight;
    BYTE italic;
};

/* The header of a device font shown to the engine; the IFIMETRICS follows it at `ifiOffset`. */
struct DeviceFontRecord {
    DWORD version;          /* 0x10000 */
    DWORD totalSize;
    DWORD ifiOffset;        /* sizeof(DeviceFontRecord) */
    DWORD kernPairCount;
    DWORD kernPairOffset;   /* 0 when none */
    DWORD metricsSize;
    DWORD metricsOffset;    /* 0 when none */
    DWORD id;
    EXTTEXTMETRIC etm;
    DWORD cursorOpen;
    FontMetricCursor cursor; /* over the metrics copy from its byte 6 */
    WORD widths[256];        /* by single-byte code */
};

/* The record's IFIMETRICS, kerning pairs (ended by a zero pair) and metrics copy. */
inline IFIMETRICS *FNT_RecordIfi(DeviceFontRecord *r)
{
    return reinterpret_cast<IFIMETRICS *>(reinterpret_cast<BYTE *>(r) + r->ifiOffset);
}
inline FD_KERNINGPAIR *FNT_RecordKernPairs(DeviceFontRecord *r)
{
    return r->kernPairOffset ? reinterpret_cast<FD_KERNINGPAIR *>(reinterpret_cast<BYTE *>(r) + r->kernPairOffset)
                             : nullptr;
}

/* The size of the IFIMETRICS of a font whose names have `faceChars` and `familyChars` characters. */
DWORD FNT_IfiMetricsSize(DWORD faceChars, DWORD familyChars);

/*
 * Checks a metrics block before anything reads it: the header, and every
 * offset and count it stores lying inside it (the face and family names
 * terminated, the extended metrics, the width table of the single-byte
 * range, the kerning table with its count).  True when all fits.
 */
bool FNT_CheckMetricsBlock(const BYTE *metrics, DWORD size);

/* Fills a descriptor from a checked metrics block and the record's printer name and symbol set. */
void FNT_FillDeviceFontEntry(DeviceFontEntry *entry, const BYTE *metrics, DWORD size, const char name[17],
                             WORD symbolSet);

/* Frees a record of FNT_BuildDeviceFontRecord (on the context's heap). */
void FNT_FreeDeviceFontRecord(PdevContext *pdev, DeviceFontRecord *record);

/* The code page of a character set (the ANSI code page of the fonts of that set), 1252 for unknown sets. */
UINT FNT_CharsetCodePage(BYTE charSet);

#endif /* TARVELGR_FNT_DEVICE_RECORDS_H */
