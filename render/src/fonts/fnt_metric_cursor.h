/*
 * The width reader over a device font's metrics block.  The block is the
 * byte-packed little-endian header of a printer font metrics file (without
 * its 60-byte copyright text), followed by its extension; every offset
 * stored inside it counts from its byte 6, so the cursor is opened on the
 * block from there.  Every read is bounded by the cursor's limit: a read
 * that would cross it clears `ok` and reads nothing.
 *
 * Open it with FNT_OpenMetricTable (draw_font.h) and the number of bytes
 * that follow byte 6 (metrics size - 6) as the limit; 0 means no bound and
 * is only for blocks whose size the caller has checked itself.
 */
#ifndef TARVELGR_FNT_METRIC_CURSOR_H
#define TARVELGR_FNT_METRIC_CURSOR_H

#include "draw_font.h"

#include <plat/types.h>

/* Offsets of the metrics header's fields counted from byte 6 (the cursor's origin). */
enum : DWORD {
    FNT_MET_ORIGIN = 6,        /* byte 6 of the block: where stored offsets count from */
    FNT_MET_VERT_RES = 4,      /* dfVertRes */
    FNT_MET_HORIZ_RES = 6,     /* dfHorizRes */
    FNT_MET_ASCENT = 8,        /* dfAscent */
    FNT_MET_INT_LEADING = 10,  /* dfInternalLeading */
    FNT_MET_EXT_LEADING = 12,  /* dfExternalLeading */
    FNT_MET_ITALIC = 14,       /* dfItalic */
    FNT_MET_UNDERLINE = 15,    /* dfUnderline */
    FNT_MET_STRIKEOUT = 16,    /* dfStrikeOut */
    FNT_MET_WEIGHT = 17,       /* dfWeight */
    FNT_MET_CHARSET = 19,      /* dfCharSet */
    FNT_MET_PITCH_FAMILY = 24, /* dfPitchAndFamily */
    FNT_MET_AVG_WIDTH = 25,    /* dfAvgWidth */
    FNT_MET_MAX_WIDTH = 27,    /* dfMaxWidth */
    FNT_MET_FIRST_CHAR = 29,   /* dfFirstChar */
    FNT_MET_LAST_CHAR = 30,    /* dfLastChar */
    FNT_MET_DEFAULT_CHAR = 31, /* dfDefaultChar */
    FNT_MET_BREAK_CHAR = 32,   /* dfBreakChar */
    FNT_MET_FACE = 39,         /* dfFace */
    FNT_MET_EXT_METRICS = 53,  /* dfExtMetricsOffset */
    FNT_MET_EXTENT_TABLE = 57, /* dfExtentTable */
    FNT_MET_PAIR_KERN = 65,    /* dfPairKernTable */
    FNT_MET_DRIVER_INFO = 73,  /* dfDriverInfo */
    FNT_MET_RESERVED = 77,     /* dfReserved: the double-byte width extension */
    FNT_MET_HEADER_SIZE = 81,  /* the header's bytes from byte 6 on */
};

/* One of the double-byte extension's tables: where its entries start and how many there are. */
struct FontMetricTable {
    DWORD position; /* the first entry, from byte 6 */
    DWORD count;
};

struct FontMetricCursor {
    const BYTE *block; /* the metrics block from its byte 6 */
    DWORD position;    /* the last read position */
    DWORD limit;       /* bytes readable from `block`; 0 = no bound */
    BOOL ok;           /* cleared by any read past the limit */
    BYTE variablePitch;
    WORD avgWidth;
    BYTE firstChar;
    BYTE lastChar;
    DWORD faceName;     /* offset of the face name (NUL-terminated ANSI text), 0 = none */
    DWORD familyName;   /* offset of the name after it, 0 = none */
    DWORD id;           /* the identifier text read as hexadecimal; 0xFFFFFFFF when not a number */
    DWORD extentTable;  /* the direct width table, 0 = none */
    DWORD extension;    /* the double-byte width extension, 0 = none */
    FontMetricTable rangeWidths;  /* {first, last, width} */
    FontMetricTable rangeOffsets; /* {first, last, offset of a width array} */
    FontMetricTable codeWidths;   /* {code, width}, in ascending code order */
};

/* The identifier of a font whose identifier text is not a hexadecimal number. */
constexpr DWORD FNT_NO_FONT_ID = 0xFFFFFFFF;

/*
 * Reads `count` bytes at `at` into `out` through the cursor's bound.  False
 * (and `ok` cleared, `out` zeroed) when they cross the limit.
 */
bool FNT_CursorRead(FontMetricCursor *cursor, DWORD at, void *out, DWORD count);

/* Little-endian fields through the cursor's bound: 0 (and `ok` cleared) past the limit. */
WORD FNT_CursorWord(FontMetricCursor *cursor, DWORD at);
DWORD FNT_CursorDword(FontMetricCursor *cursor, DWORD at);
BYTE FNT_CursorByte(FontMetricCursor *cursor, DWORD at);

/*
 * The length of the NUL-terminated text at `at` (its terminator must lie
 * inside the bound and within `maxLength` bytes), or -1.
 */
LONG FNT_CursorTextLength(const FontMetricCursor *cursor, DWORD at, DWORD maxLength);

/*
 * The one reading of a font identifier text: one to eight hexadecimal
 * digits ended by NUL within `length` bytes; anything else (an empty text,
 * a sign, blanks, another character, no terminator) is FNT_NO_FONT_ID.
 */
DWORD FNT_ParseFontId(const char *text, DWORD length);

#endif /* TARVELGR_FNT_METRIC_CURSOR_H */
