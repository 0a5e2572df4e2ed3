/*
 * Text output: glyph runs written as PCL XL text in a device font or a
 * downloaded font.  The engine worker (TXT_TextOut) is in ddi_workers.h.
 */
#ifndef TARVELGR_DRAW_TEXT_H
#define TARVELGR_DRAW_TEXT_H

#include <plat/engine.h>
#include <plat/engine_draw.h>
#include <plat/types.h>

struct PdevContext;
struct TrueTypeFontInfo; /* the TrueType tables of a run's font */

/* The road of one run. */
typedef BYTE FontPath;
enum : FontPath {
    FONT_PATH_DEVICE = 0,  /* a printer-resident device font */
    FONT_PATH_OUTLINE = 1, /* the TrueType outlines are downloaded */
    FONT_PATH_BITMAP = 2,  /* the engine's glyph bitmaps are downloaded */
};

/* Bytes of a run's font name: a face of at most 94 bytes, the longest suffix (31) and the terminator. */
inline constexpr DWORD TXT_FONT_NAME_BYTES = 94 + 31 + 1;

/* The longest run of glyphs drawn at once (a PCL XL text's spacing arrays hold 16-bit entries per glyph). */
inline constexpr ULONG TXT_MAX_RUN_GLYPHS = 65535;

/* What one run sends, filled by FNT_PrepareRun and written by TXT_WriteText. */
struct TextRunState {
    WORD charAngle;  /* whole degrees, 0..359 */
    FLOAT scaleX;
    FLOAT scaleY;
    FLOAT shearX;
    FLOAT shearY;
    FLOAT boldValue;
    BYTE subMode;     /* 1 for a vertical face */
    BYTE writingMode; /* 1 for a vertical face */
    char fontName[TXT_FONT_NAME_BYTES];
    FLOAT charSize;   /* device pixels */
    WORD symbolSet;
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
