/*
 * Text output: glyph runs written as PCL XL text in a device font or a
 * downloaded font.  The engine worker is in ddi_workers.h.  All of it is
 * later work and fails visibly meanwhile (draw_not_built_text.cpp; the
 * README's "Not built yet" table lists them).
 */
#ifndef TARVELGR_DRAW_TEXT_H
#define TARVELGR_DRAW_TEXT_H

#include <plat/engine.h>
#include <plat/engine_draw.h>
#include <plat/types.h>

struct PdevContext;
struct TextRunState;     /* what one run sends: font name, symbol set, size, scale, angle, shear, bold */
struct TrueTypeFontInfo; /* the TrueType tables of a run's font */

/* The road of one run. */
typedef BYTE FontPath;
enum : FontPath {
    FONT_PATH_DEVICE = 0,  /* a printer-resident device font */
    FONT_PATH_OUTLINE = 1, /* the TrueType outlines are downloaded */
    FONT_PATH_BITMAP = 2,  /* the engine's glyph bitmaps are downloaded */
};

/* Draws one run (`pass` 0 normal, 1 the see-through watermark's second drawing).  1 done, 0 failed. */
int TXT_DrawGlyphRun(PdevContext *pdev, BRUSHOBJ *pboFore, ULONG glyphCount, GLYPHPOS *pgp, FONTOBJ *pfo,
                     STROBJ *pstro, LPCWSTR text, MIX mix, LONG pass);

/* Sends the text colour of the foreground brush for drawing pass `pass`.  1, or 0. */
int TXT_SetTextColor(PdevContext *pdev, BRUSHOBJ *pboFore, MIX mix, LONG pass);

/* Writes the run's characters at the glyph positions.  0, or -1. */
int TXT_WriteText(PdevContext *pdev, FONTOBJ *pfo, STROBJ *pstro, ULONG glyphCount, GLYPHPOS *pgp,
                  const WORD *codes, TextRunState *run, LPCWSTR text);

/* Chooses the run's road, its device font (index) and whether codes are glyph indices.  0, or -1. */
int FNT_ChooseFontPath(PdevContext *pdev, FONTOBJ *pfo, STROBJ *pstro, FontPath *path, WORD *deviceFont,
                       BOOL *glyphIndex);

/* Fills the run record (and the TrueType information of an outline road).  0, or -1. */
int FNT_PrepareRun(PdevContext *pdev, FONTOBJ *pfo, STROBJ *pstro, FontPath *path, WORD deviceFont,
                   TextRunState *run, TrueTypeFontInfo *info);

/* Sets the run's font name and symbol set.  0. */
int FNT_MakeRunFontName(PdevContext *pdev, FONTOBJ *pfo, FontPath path, WORD deviceFont, const IFIMETRICS *pifi,
                        TextRunState *run);

/* Scale, angle and shear of the run from the 2x2 matrix m11, m12, m21, m22.  0, or -1. */
int FNT_DecomposeTextMatrix(const float matrix[4], TextRunState *run);

#endif /* TARVELGR_DRAW_TEXT_H */
