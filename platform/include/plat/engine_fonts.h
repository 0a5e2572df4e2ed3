/*
 * The engine's side of text: fonts made from the machine's TrueType files
 * (read with FreeType inside the platform layer) and from a printer
 * library's device fonts, the font services a library calls on them
 * (FONTOBJ_pifi, FONTOBJ_pxoGetXform, FONTOBJ_cGetGlyphs,
 * FONTOBJ_pvTrueTypeFontFile), strings of positioned glyphs, the catalogue
 * of the machine's TrueType fonts with EnumFontFamiliesW over it, and text
 * drawn on a printer device context through the library's DrvTextOut.
 *
 * Coordinates.  Device space has y growing downwards.  A font's notional
 * space is its design grid (fwdUnitsPerEm to the em) with y growing
 * downwards too, so the notional-to-device transform of an upright font of
 * an em of `p` device pixels is the scale p / fwdUnitsPerEm on both axes; an
 * escapement of a degrees (counter-clockwise on the page) rotates it:
 * eM11 = k cos a, eM12 = -k sin a, eM21 = k sin a, eM22 = k cos a.
 *
 * Glyph handles of a TrueType font are its TrueType glyph indices; those of
 * a device font are the library's own (from its glyph set).
 */
#ifndef PLAT_ENGINE_FONTS_H
#define PLAT_ENGINE_FONTS_H

#include <plat/engine.h>
#include <plat/gdi.h>
#include <plat/raster.h>
#include <plat/types.h>

#include <cstddef>
#include <string>
#include <vector>

/* ---- Records ------------------------------------------------------------------------------------ */

/* A 32.32 fixed-point point. */
struct POINTQF {
    LONGLONG x;
    LONGLONG y;
};

/* One glyph as the engine describes it: its image, handle, advance and ink box (28.4 values). */
struct GLYPHDATA {
    GLYPHDEF gdf;
    HGLYPH hg;
    FIX fxD;
    FIX fxA;
    FIX fxAB;
    FIX fxInkTop;
    FIX fxInkBottom;
    RECTL rclInk;
    POINTQF ptqD;
};
static_assert(sizeof(GLYPHDATA) == 64 && offsetof(GLYPHDATA, hg) == 8 && offsetof(GLYPHDATA, rclInk) == 32 &&
                  offsetof(GLYPHDATA, ptqD) == 48,
              "GLYPHDATA layout");

/* fsSelection bits of IFIMETRICS (the OS/2 table's). */
#define FM_SEL_ITALIC 0x0001u
#define FM_SEL_UNDERSCORE 0x0002u
#define FM_SEL_NEGATIVE 0x0004u
#define FM_SEL_OUTLINED 0x0008u
#define FM_SEL_STRIKEOUT 0x0010u
#define FM_SEL_BOLD 0x0020u
#define FM_SEL_REGULAR 0x0040u

/* flInfo bits of IFIMETRICS. */
#define FM_INFO_TECH_TRUETYPE 0x00000004u
#define FM_INFO_ARB_XFORMS 0x00000010u
#define FM_INFO_1BPP 0x00000020u
#define FM_INFO_RETURNS_BITMAPS 0x00000100u
#define FM_INFO_OPTICALLY_FIXED_PITCH 0x00004000u
#define FM_INFO_NONNEGATIVE_AC 0x00008000u
#define FM_INFO_TECH_OUTLINE_NOT_TRUETYPE 0x00100000u
#define FM_INFO_FAMILY_EQUIV 0x00400000u

/* Character sets, pitches and families. */
#define ANSI_CHARSET 0
#define SYMBOL_CHARSET 2
#define SHIFTJIS_CHARSET 128
#define DEFAULT_PITCH 0
#define FIXED_PITCH 1
#define VARIABLE_PITCH 2
#define FF_DONTCARE 0x00
#define FF_ROMAN 0x10
#define FF_SWISS 0x20
#define FF_MODERN 0x30
#define FF_SCRIPT 0x40
#define FF_DECORATIVE 0x50

/* Font types given to a font enumeration callback. */
#define RASTER_FONTTYPE 0x0001u
#define DEVICE_FONTTYPE 0x0002u
#define TRUETYPE_FONTTYPE 0x0004u

/* tmPitchAndFamily bits (TMPF_FIXED_PITCH set means a variable pitch). */
#define TMPF_FIXED_PITCH 0x01
#define TMPF_VECTOR 0x02
#define TMPF_TRUETYPE 0x04
#define TMPF_DEVICE 0x08

/* ntmFlags bits. */
#define NTM_ITALIC 0x00000001u
#define NTM_BOLD 0x00000020u
#define NTM_REGULAR 0x00000040u

/* Text alignment of a reference point. */
#define TA_NOUPDATECP 0u
#define TA_UPDATECP 1u
#define TA_LEFT 0u
#define TA_RIGHT 2u
#define TA_CENTER 6u
#define TA_TOP 0u
#define TA_BOTTOM 8u
#define TA_BASELINE 24u

#define LF_FULLFACESIZE 64

/* What a font enumeration callback receives: the logical font with the font's full name and style. */
struct ENUMLOGFONTW {
    LOGFONTW elfLogFont;
    WCHAR elfFullName[LF_FULLFACESIZE];
    WCHAR elfStyle[LF_FACESIZE];
};
static_assert(sizeof(ENUMLOGFONTW) == 284 && offsetof(ENUMLOGFONTW, elfStyle) == 220, "ENUMLOGFONTW layout");

/* The text metrics of an enumerated font with its em size and style flags. */
struct NEWTEXTMETRICW {
    TEXTMETRICW tm;
    DWORD ntmFlags;
    UINT ntmSizeEM;
    UINT ntmCellHeight;
    UINT ntmAvgWidth;
};
static_assert(sizeof(TEXTMETRICW) == 60 && sizeof(NEWTEXTMETRICW) == 76, "NEWTEXTMETRICW layout");

/*
 * A font enumeration callback: an ENUMLOGFONTW and a NEWTEXTMETRICW (as
 * their first members), the font type (TRUETYPE_FONTTYPE, DEVICE_FONTTYPE)
 * and the caller's value.  Answering 0 stops the enumeration.
 */
typedef int (*FONTENUMPROCW)(const LOGFONTW *lplf, const TEXTMETRICW *lptm, DWORD fontType, LPARAM lParam);

/* ---- Font services a library calls ----------------------------------------------------------- */

/*
 * The font's metrics: for a TrueType font made from its file's tables, for
 * a device font the library's own DrvQueryFont answer.  Null for a font the
 * engine did not make.
 */
IFIMETRICS *FONTOBJ_pifi(FONTOBJ *pfo);

/* The font's notional-to-device transform (owned by the font); null for a font the engine did not make. */
XFORMOBJ *FONTOBJ_pxoGetXform(FONTOBJ *pfo);

/*
 * FO_GLYPHBITS: for each of `cGlyph` handles at `phg` (only the first is
 * answered, as the engine does) stores in *ppvGlyph a GLYPHDATA owned by the
 * font whose gdf.pgb is the glyph's one-bit image (rows padded to bytes,
 * ptlOrigin the image's top left relative to the glyph's position, a 1 x 1
 * blank image for a glyph without ink; simulated weight and slant included)
 * and answers 1.  A device font has no images: 0.  0 with
 * ERROR_INVALID_PARAMETER for another mode (FO_PATHOBJ included), no
 * handles, a handle past the font's glyphs, or a font the engine did not
 * make.
 */
ULONG FONTOBJ_cGetGlyphs(FONTOBJ *pfo, ULONG iMode, ULONG cGlyph, HGLYPH *phg, PVOID *ppvGlyph);

/*
 * The font file of a TrueType font, mapped read-only for the font's life,
 * and its size in *pcjFile (for a member of a collection, the whole
 * collection).  Null (and *pcjFile 0) for a device font or a font the engine
 * did not make.
 */
PVOID FONTOBJ_pvTrueTypeFontFile(FONTOBJ *pfo, ULONG *pcjFile);

/*
 * Lists the fonts of `family` (every style), or one font of each family
 * when `family` is null, calling `proc` with each: first, on a printer
 * device context, the library's device fonts (DEVICE_FONTTYPE, from its
 * DrvQueryFont), then the machine's TrueType fonts (TRUETYPE_FONTTYPE).
 * Answers the last value `proc` returned, 1 when nothing was listed, or 0
 * with ERROR_INVALID_PARAMETER without a callback.
 */
int EnumFontFamiliesW(HDC hdc, LPCWSTR family, FONTENUMPROCW proc, LPARAM lParam);

namespace plat {

/* ---- Fonts --------------------------------------------------------------------------------------- */

/* The request of a TrueType font. */
struct TrueTypeFontSpec {
    std::string file;          /* real path of a .ttf/.otf file or a "ttcf" collection */
    ULONG faceIndex = 0;       /* member of a collection */
    LONG height = 0;           /* device pixels: < 0 the em, > 0 the cell (ascender + descender), 0 a default */
    LONG width = 0;            /* average character width in device pixels; 0 keeps the aspect */
    LONG escapement = 0;       /* tenths of a degree, counter-clockwise */
    LONG weight = 0;           /* FW_ value; 0 the face's own */
    bool italic = false;
    SIZE resolution{600, 600}; /* the device's dots per inch */
};

/*
 * A TrueType FONTOBJ (FO_TYPE_TRUETYPE, iFile and iTTUniq nonzero,
 * sizLogResPpi the resolution, ulStyleSize the em in points) with its
 * IFIMETRICS read from the face's tables, its notional-to-device transform
 * and FO_SIM_BOLD / FO_SIM_ITALIC when the request asks for more weight or
 * slant than the face has.  The face is read once per process (cached by
 * file and index).  Null with ERROR_FILE_NOT_FOUND (no such file),
 * ERROR_INVALID_DATA (not a font, cut short, no such member) or
 * ERROR_INVALID_PARAMETER.  Free it with engine_free_font.
 */
FONTOBJ *engine_open_truetype_font(const TrueTypeFontSpec &spec);

/* The request of a device font of a library. */
struct DeviceFontSpec {
    DHPDEV dhpdev = nullptr;
    PFN_DrvQueryFont queryFont = nullptr;               /* the library's DrvQueryFont */
    PFN_DrvQueryFontTree queryFontTree = nullptr;       /* its DrvQueryFontTree (glyph set of the strings) */
    PFN_DrvQueryAdvanceWidths queryAdvanceWidths = nullptr; /* its DrvQueryAdvanceWidths (advances) */
    ULONG face = 0;                                      /* the library's 1-based face index */
    LONG height = 0;                                     /* as TrueTypeFontSpec */
    LONG width = 0;
    LONG escapement = 0;
    LONG weight = 400;                                   /* 600 or more on a face that is not bold: FO_SIM_BOLD */
    bool italic = false;                                 /* on a face that is not italic: FO_SIM_ITALIC */
    SIZE resolution{600, 600};
};

/*
 * A device FONTOBJ (FO_TYPE_DEVICE, iFace the library's face, iFile 0)
 * whose IFIMETRICS is the library's DrvQueryFont answer for the face and
 * whose transform scales the library's notional units to the requested
 * height.  Null with ERROR_INVALID_PARAMETER (no DrvQueryFont, face 0) or
 * ERROR_INVALID_DATA (the library has no such face).
 */
FONTOBJ *engine_make_device_font(const DeviceFontSpec &spec);

/* Frees a font of engine_open_truetype_font or engine_make_device_font; null and others are ignored. */
void engine_free_font(FONTOBJ *pfo);

/* ---- Strings ------------------------------------------------------------------------------------- */

/* What engine_make_text builds besides the glyphs. */
struct TextOptions {
    const INT *dx = nullptr;  /* advance of each character in device pixels along the escapement, or null */
    ULONG batch = 0;          /* glyphs per STROBJ_bEnum batch; 0: all at once (pgp set) */
    bool glyphBits = false;   /* fill each GLYPHPOS's pgdf with the glyph's image (TrueType fonts) */
};

/*
 * A string of `count` UTF-16 units of `text` in `font` (one glyph per unit:
 * a TrueType font maps through its cmap, a device font through the
 * library's QFT_GLYPHSET glyph set; a character the font lacks gets glyph
 * 0), the first glyph at `origin` (device pixels, on the baseline) and each
 * next one advanced along the escapement by the previous glyph's unhinted
 * advance (or by dx).  rclBkGround is the box of the advances from the
 * ascender to the descender; flAccel has SO_HORIZONTAL for an escapement of
 * 0 and 180 degrees, SO_VERTICAL for 90 and 270, SO_REVERSED for 90 and 180
 * (advances running against the device axis: upwards or leftwards) and
 * SO_FLAG_DEFAULT_PLACEMENT without dx; ulCharInc is the common step of a
 * horizontal or vertical string whose glyphs all step alike (else 0);
 * pwszOrg the text.  Glyph images given with options.glyphBits belong to
 * the font: free the string before the font.  Null with
 * ERROR_INVALID_PARAMETER for a count of 0 or above 65,535, a null text or
 * an unknown font.  Free it with engine_free_text.
 */
STROBJ *engine_make_text(FONTOBJ *font, LPCWSTR text, ULONG count, POINTL origin, const TextOptions &options = {});

void engine_free_text(STROBJ *pstro);

/*
 * The unhinted advance of each glyph handle of `handles` of a TrueType font
 * in device pixels (28.4) along the escapement (0 for a handle past the
 * font's glyphs).  False with ERROR_INVALID_PARAMETER for any other font.
 */
bool engine_font_advances(FONTOBJ *font, const std::vector<HGLYPH> &handles, std::vector<FIX> &advances);

/* ---- Catalogue of the machine's TrueType fonts ------------------------------------------------- */

/* One face of a font file. */
struct CatalogueFont {
    std::u16string family;   /* name 1 */
    std::u16string fullName; /* name 4 */
    std::u16string style;    /* name 2 */
    LONG weight = 400;       /* OS/2 usWeightClass */
    bool italic = false;
    std::string file;        /* real path */
    ULONG faceIndex = 0;     /* member of a collection */
};

/*
 * The machine's TrueType faces (every member of a collection), read with
 * FreeType the first time they are asked for and kept until the machine is
 * reset; sorted by family, then weight, italic and full name.  The folders
 * searched (recursively, files ending .ttf, .ttc, .otf) are
 * /usr/share/fonts/truetype and /usr/share/fonts/opentype unless
 * font_catalogue_set_folders named others.
 */
std::vector<CatalogueFont> font_catalogue();

/* Searches `folders` instead (until the machine is reset); the catalogue is read again. */
void font_catalogue_set_folders(const std::vector<std::string> &folders);

/* Uses exactly `fonts` as the catalogue (until the machine is reset); for tests. */
void font_catalogue_set_fonts(const std::vector<CatalogueFont> &fonts);

/* The face GDI maps `faceName` to: the catalogue's face of that family, weight and slant nearest, else DejaVu Sans. */
bool font_catalogue_match(const std::u16string &faceName, LONG weight, bool italic, CatalogueFont *out);

/* ---- Text on a printer device context ---------------------------------------------------------- */

/* One text drawing call as the engine makes it. */
struct GdiTextDraw {
    LOGFONTW font{};            /* lfHeight in device pixels (< 0 the em, > 0 the cell), lfEscapement in tenths */
    std::u16string text;
    POINTL origin{0, 0};        /* the reference point, device pixels */
    UINT align = TA_LEFT | TA_TOP;  /* TA_LEFT/TA_CENTER/TA_RIGHT | TA_TOP/TA_BASELINE/TA_BOTTOM */
    ULONG color = 0;            /* 0x00RRGGBB, as GdiBrush */
    std::vector<INT> dx;        /* empty, or one advance per character */
    std::vector<RECTL> clip;    /* none: no clip; one: a rectangle; more: a region */
    bool opaque = false;        /* fill the text's background box first */
    ULONG background = 0xFFFFFF;
    MIX mix = 0x0D0D;
};

/*
 * Draws `draw` through the library's DrvTextOut: a face name the library
 * has as a device font gives a device FONTOBJ, any other the catalogue's
 * TrueType face (DejaVu Sans when none matches); the string, a solid brush
 * of the colour and the clip are made for the call and freed after it.
 * The library's answer; TRUE for empty text; FALSE with
 * ERROR_INVALID_HANDLE for a dead context, ERROR_INVALID_DRIVER when the
 * library lacks DrvTextOut, ERROR_INVALID_PARAMETER for text over 65,535
 * units, or the font's error.
 */
BOOL gdi_draw_text(HDC hdc, const GdiTextDraw &draw);

/*
 * The extent of `text` in `font` as gdi_draw_text would draw it (same
 * mapping): cx the sum of the advances, cy the cell height, in device
 * pixels.  {0, 0} with the error of gdi_draw_text.
 */
SIZE gdi_measure_text(HDC hdc, const LOGFONTW &font, const std::u16string &text);

} // namespace plat

#endif /* PLAT_ENGINE_FONTS_H */
