/*
 * Font download: TrueType outlines or engine bitmaps sent to the printer
 * as fonts for the runs that no device font prints.  The records of one
 * font's TrueType data and of the fonts downloaded on the current page are
 * here; the job's calls (reset at the first page, removal at every page
 * end) are in fnt_download.h.
 */
#ifndef TARVELGR_DRAW_FONT_DOWNLOAD_H
#define TARVELGR_DRAW_FONT_DOWNLOAD_H

#include "draw_text.h"

#include <plat/engine.h>
#include <plat/engine_draw.h>
#include <plat/types.h>

#include <cstddef>

struct PdevContext;

/* ---- A font's TrueType data --------------------------------------------------- */

/* A table tag as the 32-bit big-endian value of its four bytes. */
constexpr DWORD FNT_TAG(const char (&tag)[5])
{
    return DWORD(BYTE(tag[0])) << 24 | DWORD(BYTE(tag[1])) << 16 | DWORD(BYTE(tag[2])) << 8 | DWORD(BYTE(tag[3]));
}

/* The tag that ends the table list. */
inline constexpr DWORD FNT_TAG_END = 0xFFFFFFFFu;

/* How many tables of a font are noted (the first of each tag). */
inline constexpr int FNT_NOTED_TABLES = 18;

/* Nesting a composite glyph may have; deeper (or cyclic) composites fail the glyph. */
inline constexpr int FNT_MAX_COMPONENT_DEPTH = 16;

struct TrueTypeTable {
    DWORD tag;
    const BYTE *data; /* inside the font file, length bytes of it */
    DWORD length;
};

/* The TrueType data of one run's font, every table inside the file. */
struct TrueTypeFontInfo {
    DWORD version;            /* the offset table's version, or "ttcf" for a collection member */
    const BYTE *offsetTable;  /* the chosen font's offset table */
    TrueTypeTable tables[FNT_NOTED_TABLES + 1]; /* ended by FNT_TAG_END */
    WORD numGlyphs;           /* "maxp" */
    WORD numberOfHMetrics;    /* "hhea" */
    SHORT indexToLocFormat;   /* "head": 0 short "loca" offsets, 1 long */
    BYTE vertical;            /* 0: vertical faces take the bitmap road */
    const BYTE *file;         /* the whole font file (a collection's whole file) */
    DWORD fileSize;
};

/* Why a font file cannot go as outlines. */
enum TrueTypeStatus : int {
    TT_OK = 0,
    TT_NO_FONT_FILE,      /* the engine has no TrueType data for the font */
    TT_TRUNCATED,         /* a header, directory or table lies past the end of the file */
    TT_NO_MATCHING_FACE,  /* a collection without a member of the face's full name */
    TT_CFF_OUTLINES,      /* "OTTO": PostScript outlines, no "glyf" */
    TT_MISSING_TABLE,     /* no "maxp", "hhea", "head", "loca" or "glyf" */
    TT_BAD_TABLE,         /* a table too short for its fields, or a field out of range */
};

/*
 * Reads the font file `file` of `size` bytes into `info`: a collection's
 * member of full name `face` (a leading "@" left out), or the file's own
 * font.  Every offset and length is checked against the size.
 */
TrueTypeStatus FNT_ParseTrueTypeFile(const BYTE *file, DWORD size, LPCWSTR face, TrueTypeFontInfo *info);

/* The "glyf" data of glyph `glyph` (*data null for an empty glyph): TT_OK, TT_BAD_TABLE or TT_MISSING_TABLE. */
TrueTypeStatus FNT_LocateGlyph(const TrueTypeFontInfo *info, ULONG glyph, const BYTE **data, DWORD *length);

/*
 * The components of a composite glyph's data: for each, *count grows and
 * its glyph index is stored while `capacity` allows.  FALSE for a simple
 * glyph or a component list that runs past the data (no components).
 */
BOOL FNT_ListComponents(const BYTE *glyph, DWORD length, WORD *indexes, DWORD capacity, DWORD *count);

/* ---- Fonts downloaded on the current page ------------------------------------- */

inline constexpr DWORD FNT_NORMAL_CAPACITY = 1024;
/* A run font name: a face part of up to 94 bytes, a suffix of up to 31 and the terminator. */
inline constexpr DWORD FNT_FONT_NAME_SIZE = 128;

struct DownloadedFont {
    DownloadedFont *next;     /* the next, less recently used font */
    char name[FNT_FONT_NAME_SIZE];
    BYTE type;                /* the FontPath it was made for */
    WORD codeCount;           /* codes 0 .. codeCount-1 are in use */
    WORD glyphs[FNT_NORMAL_CAPACITY]; /* the glyph of each code, for a normal font */
    DWORD large;              /* set for a large font */
    WORD capacity;            /* 1,024, or a large font's glyph count */
    WORD *largeGlyphs;        /* the glyph of each code, for a large font */
};

/* ---- The download --------------------------------------------------------------- */

/* Reads the font's TrueType tables: 0, or -1 when the font cannot go as outlines. */
int FNT_LoadTrueTypeInfo(PdevContext *pdev, FONTOBJ *pfo, LPCWSTR face, TrueTypeFontInfo *info);

/* Makes sure the run's font is in the printer.  0, or -1. */
int FNT_DownloadFontHeader(PdevContext *pdev, FONTOBJ *pfo, STROBJ *pstro, ULONG glyphCount, FontPath path,
                           TextRunState *run, TrueTypeFontInfo *info);

/* Downloads the run's new glyphs; each entry of `codes` (glyph handles) becomes its character code.  0, or -1. */
int FNT_DownloadGlyphs(PdevContext *pdev, FONTOBJ *pfo, STROBJ *pstro, ULONG glyphCount, GLYPHPOS *pgp,
                       FontPath path, TextRunState *run, TrueTypeFontInfo *info, WORD *codes, LPCWSTR text);

/*
 * The run-independent halves of the two calls above: the font of `name`
 * and `symbolSet` made present for `glyphCount` glyphs, and the glyphs
 * given in `codes` downloaded into it (`charSize`, the run's character
 * size, for bitmap glyphs).  0, or -1.
 */
int FNT_EnsureFont(PdevContext *pdev, const char *name, WORD symbolSet, ULONG glyphCount, FontPath path,
                   TrueTypeFontInfo *info);
int FNT_DownloadRunGlyphs(PdevContext *pdev, FONTOBJ *pfo, const char *name, ULONG glyphCount, GLYPHPOS *pgp,
                          FontPath path, TrueTypeFontInfo *info, WORD *codes, FLOAT charSize);

/* The downloaded font of `name`, moved to the front, or a new one at the front (*added set); null on failure. */
DownloadedFont *FNT_FindOrAddDownloadedFont(PdevContext *pdev, const char *name, BOOL *added);

/* Removes `font` from the printer and the list.  0, or -1. */
int FNT_RemoveDownloadedFont(PdevContext *pdev, DownloadedFont *font);

/* Removes the least recently used font.  0, or -1. */
int FNT_RemoveOldestFont(PdevContext *pdev);

/* True when `glyphCount` more codes would take the font past its codes (1,023 for a normal font). */
bool FNT_FontWouldOverflow(const DownloadedFont *font, ULONG glyphCount);

/* The character code of glyph `glyph` in `font`, appended when new (*added set); -1 when the font is full. */
LONG FNT_FindGlyphCode(DownloadedFont *font, HGLYPH glyph, BOOL *added);

/* Font headers: TrueType (outline road) or bitmap.  0, or -1. */
int FNT_WriteTrueTypeHeader(PdevContext *pdev, const char *name, WORD symbolSet, WORD characters,
                            TrueTypeFontInfo *info);
int FNT_WriteBitmapHeader(PdevContext *pdev, const char *name, WORD symbolSet, WORD characters);

/* Glyphs: a TrueType outline (with its components) or an engine bitmap, as character `code`.  0, or -1. */
int FNT_WriteTrueTypeGlyph(PdevContext *pdev, TrueTypeFontInfo *info, ULONG glyph, WORD code);
int FNT_DownloadComponents(PdevContext *pdev, TrueTypeFontInfo *info, const BYTE *glyph, DWORD length);
/* `charSize`: the run's character size in device pixels (the bold margins grow with it). */
int FNT_WriteBitmapGlyph(PdevContext *pdev, FONTOBJ *pfo, const GLYPHPOS *pgp, WORD code, FLOAT charSize);

/* The widening margins of a simulated bold glyph at `size` hundredths of a point. */
void FNT_EmboldenPlan(LONG size, LONG *left, LONG *top, LONG *right, LONG *bottom);

/* Widens a one-bit glyph image (rows padded to bytes) into `dst` by the margins.  TRUE / FALSE. */
BOOL FNT_EmboldenBitmap(const BYTE *src, LONG width, LONG height, BYTE *dst, LONG left, LONG top, LONG right,
                        LONG bottom);

/* The table `tag` of the font (length in *length), or null; padded: its length rounded up to 4 bytes. */
const BYTE *FNT_FindTable(const TrueTypeFontInfo *info, DWORD tag, DWORD *length);
const BYTE *FNT_FindTablePadded(const TrueTypeFontInfo *info, DWORD tag, DWORD *length);

/* The checksum of a table: the sum of its big-endian 32-bit words, missing bytes of the last one zero. */
DWORD FNT_TableChecksum(const BYTE *table, DWORD length);

#endif /* TARVELGR_DRAW_FONT_DOWNLOAD_H */
