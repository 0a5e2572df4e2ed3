/*
 * Device fonts and font substitution: the device-font records shown to
 * the engine, their coverage of a run, the width cursor over a device
 * font's metrics (fnt_metric_cursor.h holds its record), and the device
 * font standing in for a TrueType font.  The glyph-set cache and the
 * engine's font queries are in fnt_device_fonts.h, the records in
 * fnt_device_records.h.  The substitution forms over DeviceFontEntry are
 * in fnt_substitute_device.cpp, their matching in fnt_substitute.cpp.
 */
#ifndef TARVELGR_DRAW_FONT_H
#define TARVELGR_DRAW_FONT_H

#include "draw_text.h"

#include <plat/engine.h>
#include <plat/types.h>

struct PdevContext;
struct DeviceFontRecord;
struct DeviceFontEntry;
struct DeviceFontMetrics; /* a device font's metrics record of the model data */
struct FontMetricCursor;  /* a reader over a metrics record from its byte 6 */

/* ---- Device fonts -------------------------------------------------------- */

/* The glyph set of device font `iFace` (the caller holds the glyph-set lock), or null. */
FD_GLYPHSET *FNT_GetGlyphSet(PdevContext *pdev, ULONG iFace);

/* The descriptor index of the device font with identifier `id`, or -1. */
int FNT_FindDeviceFontById(PdevContext *pdev, DWORD id);

/* Builds the record shown to the engine for device-font record `record`: the record, or null. */
DeviceFontRecord *FNT_BuildDeviceFontRecord(PdevContext *pdev, DWORD record, const DeviceFontMetrics *metrics,
                                            DWORD metricsSize);

/* Loads a copy of a device font's metrics (`name` 16 characters, `symbolSet` carried on).  1, or 0. */
int FNT_LoadDeviceFontMetrics(PdevContext *pdev, DeviceFontMetrics **metrics, DWORD *size, DWORD record,
                              char name[17], WORD *symbolSet);

/* Frees a metrics copy. */
void FNT_FreeDeviceFontMetrics(DeviceFontMetrics *metrics);

/* Maps the run's codes to the device font, or turns `path` into a download road.  0. */
int FNT_CheckDeviceFontCoverage(PdevContext *pdev, FONTOBJ *pfo, ULONG glyphCount, FontPath *path, WCHAR *codes,
                                WORD deviceFont);

/* 1 when the resident font `name` (16 characters) has `code`, else 0. */
int FNT_ResidentFontCovers(const char *name, WCHAR code);

/* ---- Font substitution --------------------------------------------------- */

/*
 * The device font standing in for `pfo`: 0 with *index set (0xFFFF: none),
 * 1 when this mode substitutes nothing, -1 on failure (*index 0xFFFF).
 */
int FNT_SubstituteDeviceFont(PdevContext *pdev, FONTOBJ *pfo, WORD *index);

/*
 * Matches through the printer's substitution table (`table`: the context's
 * cached copy, fetched from `printer` when null): 1 none, 2 *index set,
 * 3 no memory, 4 no IFIMETRICS, 5 bad arguments or no table.
 */
int FNT_MatchSubstituteFont(LPWSTR *table, FONTOBJ *pfo, LPCWSTR face, HANDLE printer, void *spooler,
                            DWORD count, DeviceFontEntry **descriptors, WORD *index);

/* As FNT_MatchSubstituteFont, then by the alias groups and the style. */
int FNT_MatchSubstituteFontByAlias(LPWSTR *table, FONTOBJ *pfo, LPCWSTR face, HANDLE printer,
                                   void *spooler, DWORD count, DeviceFontEntry **descriptors, WORD *index);

/* Selects alias table set 0, 1 or 2: 1; another value: 0 and nothing changes. */
int FNT_SetAliasTableSet(LONG set);

/* Adds the alias-group scores of `face` to `scores`; the rise of the best score. */
LONG FNT_ScoreAliasGroups(LPCWSTR face, DWORD count, DeviceFontEntry **descriptors, LONG *scores);

/* Adds 16 to the best-scored descriptors of the requested character set's class; FALSE when none gained. */
BOOL FNT_ScoreCharset(BYTE charSet, DWORD count, DeviceFontEntry **descriptors, LONG *scores);

/* Adds the style scores (italic by FM_SEL_ITALIC, weight) to the best-scored descriptors. */
void FNT_ScoreStyle(const IFIMETRICS *pifi, DWORD count, DeviceFontEntry **descriptors, LONG *scores);

/* The family-class score of descriptor pitch and family `p` for the request (`q`: jWinPitchAndFamily). */
LONG FNT_FamilyClassScore(LPCWSTR face, BYTE p, BYTE q);

/* Opens `cursor` over a metrics block from its byte 6 (`limit` 0: unbounded).  0, or -1. */
int FNT_OpenMetricTable(const BYTE *block, FontMetricCursor *cursor, DWORD limit);

/* The width of `code`, or -1 when it has none. */
LONG FNT_GetCharWidth(FontMetricCursor *cursor, WORD code);

#endif /* TARVELGR_DRAW_FONT_H */
