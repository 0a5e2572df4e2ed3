/*
 * Font download: TrueType outlines or engine bitmaps sent to the printer
 * as fonts for the runs that no device font prints.  The job's list of
 * downloaded fonts is in fnt_download.h.  All of it is later work and
 * fails visibly meanwhile (draw_not_built_text.cpp; the README's "Not built
 * yet" table lists them).
 */
#ifndef TARVELGR_DRAW_FONT_DOWNLOAD_H
#define TARVELGR_DRAW_FONT_DOWNLOAD_H

#include "draw_text.h"

#include <plat/engine.h>
#include <plat/engine_draw.h>
#include <plat/types.h>

struct PdevContext;
struct DownloadedFont; /* one font downloaded on the current page */

/* Reads the font's TrueType tables: 0, or -1 when the font cannot go as outlines. */
int FNT_LoadTrueTypeInfo(PdevContext *pdev, FONTOBJ *pfo, LPCWSTR face, TrueTypeFontInfo *info);

/* Makes sure the run's font is in the printer.  0, or -1. */
int FNT_DownloadFontHeader(PdevContext *pdev, FONTOBJ *pfo, STROBJ *pstro, ULONG glyphCount, FontPath path,
                           TextRunState *run, TrueTypeFontInfo *info);

/* Downloads the run's new glyphs; each entry of `codes` (glyph handles) becomes its character code.  0, or -1. */
int FNT_DownloadGlyphs(PdevContext *pdev, FONTOBJ *pfo, STROBJ *pstro, ULONG glyphCount, GLYPHPOS *pgp,
                       FontPath path, TextRunState *run, TrueTypeFontInfo *info, WORD *codes, LPCWSTR text);

/* The downloaded font of `name`, moved to the front, or a new one at the front (*added set); null on failure. */
DownloadedFont *FNT_FindOrAddDownloadedFont(PdevContext *pdev, const char *name, BOOL *added);

/* Removes `font` from the printer and the list.  0, or -1. */
int FNT_RemoveDownloadedFont(PdevContext *pdev, DownloadedFont *font);

/* Removes the least recently used font.  0, or -1. */
int FNT_RemoveOldestFont(PdevContext *pdev);

/* True when `glyphCount` more codes would take a normal font past 1,023 codes. */
bool FNT_FontWouldOverflow(const DownloadedFont *font, ULONG glyphCount);

/* The character code of glyph `glyph` in `font`, appended when new (*added set); -1 on failure. */
LONG FNT_FindGlyphCode(DownloadedFont *font, HGLYPH glyph, BOOL *added);

/* Font headers: TrueType (outline road) or bitmap.  0, or -1. */
int FNT_WriteTrueTypeHeader(PdevContext *pdev, const char *name, TextRunState *run, TrueTypeFontInfo *info);
int FNT_WriteBitmapHeader(PdevContext *pdev, const char *name, TextRunState *run);

/* Glyphs: a TrueType outline (with its components) or an engine bitmap, as character `code`.  0, or -1. */
int FNT_WriteTrueTypeGlyph(PdevContext *pdev, TrueTypeFontInfo *info, ULONG glyph, WORD code);
int FNT_DownloadComponents(PdevContext *pdev, TrueTypeFontInfo *info, const BYTE *glyph, DWORD length);
int FNT_WriteBitmapGlyph(PdevContext *pdev, FONTOBJ *pfo, const GLYPHPOS *pgp, WORD code);

/* The widening margins of a simulated bold glyph at `size` hundredths of a point. */
void FNT_EmboldenPlan(LONG size, LONG *left, LONG *top, LONG *right, LONG *bottom);

/* Widens a one-bit glyph image into `dst` by the margins.  TRUE / FALSE. */
BOOL FNT_EmboldenBitmap(const BYTE *src, LONG width, LONG height, BYTE *dst, LONG left, LONG top, LONG right,
                        LONG bottom);

/* The table `tag` of the font (length in *length), or null; padded: its length rounded up to 4 bytes. */
const BYTE *FNT_FindTable(const TrueTypeFontInfo *info, DWORD tag, DWORD *length);
const BYTE *FNT_FindTablePadded(const TrueTypeFontInfo *info, DWORD tag, DWORD *length);

/* The checksum of a table: the sum of its big-endian 32-bit words. */
DWORD FNT_TableChecksum(const BYTE *table, DWORD length);

#endif /* TARVELGR_DRAW_FONT_DOWNLOAD_H */
