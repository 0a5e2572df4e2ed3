/*
 * The drawing objects the graphics engine hands a printer graphics library
 * (translations, brushes, clips, paths, line attributes, transforms, fonts,
 * strings and glyphs) in their 64-bit layouts, and the object services the
 * library calls on them.  Included by plat/engine.h.
 *
 * Engine-made objects.  The engine's own objects carry more than their
 * public record: an engine brush knows how to be realised, a clip its
 * rectangles, a path its points.  They are made here by the engine's side
 * (and by tests) with the plat::engine_make_* builders and freed with
 * plat::engine_free_*.  A library may also make records of its own (a
 * two-entry translation, a solid brush); the services work on those from
 * their public fields alone.
 *
 * Fallbacks.  EngBitBlt, EngStretchBltROP, EngTransparentBlt, EngCopyBits
 * and EngEraseSurface draw nothing here: each records its call and answers
 * the result a test scripted (TRUE unless told otherwise).
 */
#ifndef PLAT_ENGINE_DRAW_H
#define PLAT_ENGINE_DRAW_H

#include <plat/engine.h>
#include <plat/types.h>

#include <cstddef>
#include <string>
#include <vector>

/* A 28.4 fixed-point coordinate; a point and a rectangle of them. */
struct POINTFIX {
    FIX x;
    FIX y;
};
struct RECTFX {
    FIX xLeft;
    FIX yTop;
    FIX xRight;
    FIX yBottom;
};
typedef FLOAT FLOATL;
typedef LONG PTRDIFF; /* byte offsets inside font records: 32-bit */
typedef SHORT FWORD;

union FLOAT_LONG {
    FLOATL e;
    LONG l;
};

/* ---- Colour translation ------------------------------------------------------ */

#define XO_TRIVIAL 0x00000001u
#define XO_TABLE 0x00000002u
#define XO_TO_MONO 0x00000004u
#define XO_FROM_CMYK 0x00000008u

struct XLATEOBJ {
    ULONG iUniq;
    FLONG flXlate;
    USHORT iSrcType;   /* PAL_ of the source, when not indexed */
    USHORT iDstType;
    ULONG cEntries;    /* XO_TABLE: entries of pulXlate */
    ULONG *pulXlate;
};

/*
 * The destination colour of source colour `iColor`: itself for a null or
 * XO_TRIVIAL translation, the table entry for XO_TABLE (0xFFFFFFFF past the
 * table), and for an engine-made translation between RGB layouts the colour
 * rearranged as 0x00BBGGRR.
 */
ULONG XLATEOBJ_iXlate(XLATEOBJ *pxlo, ULONG iColor);

/* ---- Brushes ----------------------------------------------------------------- */

/* iSolidColor of a brush that is not solid. */
#define BO_NOT_SOLID 0xFFFFFFFFu

struct BRUSHOBJ {
    ULONG iSolidColor;
    PVOID pvRbrush;    /* the library's realisation, once made */
    FLONG flColorType;
};

/*
 * Allocates `cj` bytes for the realisation the library is making of `pbo`
 * (inside its DrvRealizeBrush); the engine keeps them as the brush's
 * realisation once DrvRealizeBrush succeeds and frees them with the brush.
 * Null when memory is short or `pbo` is not an engine brush.
 */
PVOID BRUSHOBJ_pvAllocRbrush(BRUSHOBJ *pbo, ULONG cj);

/*
 * The brush's realisation: pvRbrush when there is one, else the engine
 * calls the library's DrvRealizeBrush and answers what it allocated (null
 * when realising fails or `pbo` is null).
 */
PVOID BRUSHOBJ_pvGetRbrush(BRUSHOBJ *pbo);

/* ---- Clips --------------------------------------------------------------------- */

#define DC_TRIVIAL 0
#define DC_RECT 1
#define DC_COMPLEX 3
#define FC_RECT 1
#define FC_RECT4 2
#define FC_COMPLEX 3
#define TC_RECTANGLES 0
#define TC_PATHOBJ 2
#define OC_BANK_CLIP 1
#define CT_RECTANGLES 0
#define CD_RIGHTDOWN 0
#define CD_LEFTDOWN 1
#define CD_RIGHTUP 2
#define CD_LEFTUP 3
#define CD_ANY 4

struct CLIPOBJ {
    ULONG iUniq;
    RECTL rclBounds;
    BYTE iDComplexity;  /* DC_ */
    BYTE iFComplexity;  /* FC_ */
    BYTE iMode;         /* TC_ */
    BYTE fjOptions;
};

/* What CLIPOBJ_bEnum fills: a count and that many rectangles. */
struct ENUMRECTS {
    ULONG c;
    RECTL arcl[1];
};

/*
 * Starts enumerating the clip's rectangles (CT_RECTANGLES only, in the
 * order `iDirection` asks, CD_ANY as stored).  Answers the count when it
 * is at most `cLimit` (0: no limit), else 0xFFFFFFFF.
 */
ULONG CLIPOBJ_cEnumStart(CLIPOBJ *pco, BOOL bAll, ULONG iType, ULONG iDirection, ULONG cLimit);

/*
 * Fills `pul` (`cj` bytes, an ENUMRECTS) with as many of the next
 * rectangles as fit; TRUE while more remain.
 */
BOOL CLIPOBJ_bEnum(CLIPOBJ *pco, ULONG cj, ULONG *pul);

/* The clip region as a path of closed rectangles (free it with EngDeletePath); null for a non-engine clip. */
struct PATHOBJ *CLIPOBJ_ppoGetPath(CLIPOBJ *pco);

/* ---- Paths ------------------------------------------------------------------------ */

#define PO_BEZIERS 0x00000001u
#define PO_ELLIPSE 0x00000002u
#define PO_ALL_INTEGERS 0x00000004u
#define PD_BEGINSUBPATH 0x00000001u
#define PD_ENDSUBPATH 0x00000002u
#define PD_RESETSTYLE 0x00000004u
#define PD_CLOSEFIGURE 0x00000008u
#define PD_BEZIERS 0x00000010u

struct PATHOBJ {
    FLONG fl;       /* PO_ */
    ULONG cCurves;
};

/* One run of points of a path, as PATHOBJ_bEnum gives it. */
struct PATHDATA {
    FLONG flags;    /* PD_ */
    ULONG count;
    POINTFIX *pptfx;
};

/* Starts the enumeration of the path's subpaths again. */
void PATHOBJ_vEnumStart(PATHOBJ *ppo);

/* The next subpath into `ppd`; TRUE while more follow (FALSE with count 0 for an empty path). */
BOOL PATHOBJ_bEnum(PATHOBJ *ppo, PATHDATA *ppd);

/* The bounds of all points (all zero for an empty or non-engine path). */
void PATHOBJ_vGetBounds(PATHOBJ *ppo, RECTFX *prectfx);

/* Frees a path of CLIPOBJ_ppoGetPath (or a builder); null is ignored. */
void EngDeletePath(PATHOBJ *ppo);

/* ---- Line attributes --------------------------------------------------------------- */

#define LA_GEOMETRIC 0x00000001u
#define LA_ALTERNATE 0x00000002u
#define LA_STARTGAP 0x00000004u
#define LA_STYLED 0x00000008u
#define JOIN_ROUND 0
#define JOIN_BEVEL 1
#define JOIN_MITER 2
#define ENDCAP_ROUND 0
#define ENDCAP_SQUARE 1
#define ENDCAP_BUTT 2

/* Fill options of DrvFillPath. */
#define FP_ALTERNATEMODE 0x00000001u
#define FP_WINDINGMODE 0x00000002u

struct LINEATTRS {
    FLONG fl;
    ULONG iJoin;
    ULONG iEndCap;
    FLOAT_LONG elWidth;
    FLOATL eMiterLimit;
    ULONG cstyle;
    FLOAT_LONG *pstyle;
    FLOAT_LONG elStyleState;
};

/* ---- Transforms ---------------------------------------------------------------------- */

#define GX_IDENTITY 0u
#define GX_OFFSET 1u
#define GX_SCALE 2u
#define GX_GENERAL 3u
#define XF_LTOL 0u
#define XF_INV_LTOL 1u
#define XF_LTOFX 2u
#define XF_INV_FXTOL 3u
#define DDI_ERROR 0xFFFFFFFFu

struct XFORML {
    FLOATL eM11;
    FLOATL eM12;
    FLOATL eM21;
    FLOATL eM22;
    FLOATL eDx;
    FLOATL eDy;
};

struct XFORMOBJ {
    ULONG ulReserved;
};

/* The transform's matrix into `pxform` and its kind (GX_), or DDI_ERROR for a non-engine transform. */
ULONG XFORMOBJ_iGetXform(XFORMOBJ *pxo, XFORML *pxform);

/*
 * Applies the transform (or its inverse) to `cPoints` points: XF_LTOL and
 * XF_INV_LTOL take and give POINTL, XF_LTOFX gives POINTFIX, XF_INV_FXTOL
 * takes POINTFIX.  FALSE for another mode, a singular inverse or a
 * non-engine transform.
 */
BOOL XFORMOBJ_bApplyXform(XFORMOBJ *pxo, ULONG iMode, ULONG cPoints, PVOID pvIn, PVOID pvOut);

/* ---- Fonts, strings and glyphs ---------------------------------------------------------- */

#define FO_TYPE_RASTER 0x00000001u
#define FO_TYPE_DEVICE 0x00000002u
#define FO_TYPE_TRUETYPE 0x00000004u
#define FO_SIM_BOLD 0x00002000u
#define FO_SIM_ITALIC 0x00004000u
#define FO_GRAY16 0x00010000u
#define SO_FLAG_DEFAULT_PLACEMENT 0x00000001u
#define SO_HORIZONTAL 0x00000002u
#define SO_VERTICAL 0x00000004u
#define SO_REVERSED 0x00000008u

struct FONTOBJ {
    ULONG iUniq;
    ULONG iFace;
    ULONG cxMax;
    FLONG flFontType;
    ULONG_PTR iTTUniq;
    ULONG_PTR iFile;
    SIZE sizLogResPpi;
    ULONG ulStyleSize;
    PVOID pvConsumer;
    PVOID pvProducer;
};

/* A glyph's bitmap: origin, size and one-bit rows padded to bytes. */
struct GLYPHBITS {
    POINTL ptlOrigin;
    SIZEL sizlBitmap;
    BYTE aj[1];
};

union GLYPHDEF {
    GLYPHBITS *pgb;
    PATHOBJ *ppo;
};

struct GLYPHPOS {
    HGLYPH hg;
    GLYPHDEF *pgdf;
    POINTL ptl;
};

struct STROBJ {
    ULONG cGlyphs;
    FLONG flAccel;     /* SO_ */
    ULONG ulCharInc;
    RECTL rclBkGround;
    GLYPHPOS *pgp;     /* all glyphs, or null: enumerate them */
    LPWSTR pwszOrg;
};

/* Starts the enumeration of the string's glyphs again. */
void STROBJ_vEnumStart(STROBJ *pstro);

/* The next batch of glyph positions: *pc of them at *ppgpos; TRUE while more follow. */
BOOL STROBJ_bEnum(STROBJ *pstro, ULONG *pc, GLYPHPOS **ppgpos);

/* Panose classification of a font (10 bytes). */
struct PANOSE {
    BYTE bFamilyType;
    BYTE bSerifStyle;
    BYTE bWeight;
    BYTE bProportion;
    BYTE bContrast;
    BYTE bStrokeVariation;
    BYTE bArmStyle;
    BYTE bLetterform;
    BYTE bMidline;
    BYTE bXHeight;
};

/* A font's metrics as a font driver reports them (192 bytes; names and extras follow at their offsets). */
struct IFIMETRICS {
    ULONG cjThis;
    ULONG cjIfiExtra;
    PTRDIFF dpwszFamilyName;
    PTRDIFF dpwszStyleName;
    PTRDIFF dpwszFaceName;
    PTRDIFF dpwszUniqueName;
    PTRDIFF dpFontSim;
    LONG lEmbedId;
    LONG lItalicAngle;
    LONG lCharBias;
    PTRDIFF dpCharSets;
    BYTE jWinCharSet;
    BYTE jWinPitchAndFamily;
    USHORT usWinWeight;
    ULONG flInfo;
    USHORT fsSelection;
    USHORT fsType;
    FWORD fwdUnitsPerEm;
    FWORD fwdLowestPPEm;
    FWORD fwdWinAscender;
    FWORD fwdWinDescender;
    FWORD fwdMacAscender;
    FWORD fwdMacDescender;
    FWORD fwdMacLineGap;
    FWORD fwdTypoAscender;
    FWORD fwdTypoDescender;
    FWORD fwdTypoLineGap;
    FWORD fwdAveCharWidth;
    FWORD fwdMaxCharInc;
    FWORD fwdCapHeight;
    FWORD fwdXHeight;
    FWORD fwdSubscriptXSize;
    FWORD fwdSubscriptYSize;
    FWORD fwdSubscriptXOffset;
    FWORD fwdSubscriptYOffset;
    FWORD fwdSuperscriptXSize;
    FWORD fwdSuperscriptYSize;
    FWORD fwdSuperscriptXOffset;
    FWORD fwdSuperscriptYOffset;
    FWORD fwdUnderscoreSize;
    FWORD fwdUnderscorePosition;
    FWORD fwdStrikeoutSize;
    FWORD fwdStrikeoutPosition;
    BYTE chFirstChar;
    BYTE chLastChar;
    BYTE chDefaultChar;
    BYTE chBreakChar;
    WCHAR wcFirstChar;
    WCHAR wcLastChar;
    WCHAR wcDefaultChar;
    WCHAR wcBreakChar;
    POINTL ptlBaseline;
    POINTL ptlAspect;
    POINTL ptlCaret;
    RECTL rclFontBox;
    BYTE achVendId[4];
    ULONG cKerningPairs;
    ULONG ulPanoseCulture;
    PANOSE panose;
    PVOID Align;       /* 64-bit builds end the record on an 8-byte member */
};

static_assert(sizeof(POINTFIX) == 8 && sizeof(RECTFX) == 16, "fixed-point geometry");
static_assert(sizeof(XLATEOBJ) == 24 && offsetof(XLATEOBJ, cEntries) == 12 && offsetof(XLATEOBJ, pulXlate) == 16,
              "XLATEOBJ layout");
static_assert(sizeof(BRUSHOBJ) == 24 && offsetof(BRUSHOBJ, pvRbrush) == 8 && offsetof(BRUSHOBJ, flColorType) == 16,
              "BRUSHOBJ layout");
static_assert(sizeof(CLIPOBJ) == 24 && offsetof(CLIPOBJ, rclBounds) == 4 && offsetof(CLIPOBJ, iDComplexity) == 20,
              "CLIPOBJ layout");
static_assert(sizeof(PATHOBJ) == 8 && sizeof(PATHDATA) == 16 && offsetof(PATHDATA, pptfx) == 8, "PATHDATA layout");
static_assert(sizeof(LINEATTRS) == 40 && offsetof(LINEATTRS, pstyle) == 24 && offsetof(LINEATTRS, elStyleState) == 32,
              "LINEATTRS layout");
static_assert(sizeof(XFORML) == 24 && sizeof(XFORMOBJ) == 4, "XFORML layout");
static_assert(sizeof(FONTOBJ) == 64 && offsetof(FONTOBJ, iTTUniq) == 16 && offsetof(FONTOBJ, pvConsumer) == 48,
              "FONTOBJ layout");
static_assert(sizeof(GLYPHBITS) == 20 && offsetof(GLYPHBITS, aj) == 16, "GLYPHBITS layout");
static_assert(sizeof(GLYPHPOS) == 24 && offsetof(GLYPHPOS, pgdf) == 8 && offsetof(GLYPHPOS, ptl) == 16,
              "GLYPHPOS layout");
static_assert(sizeof(STROBJ) == 48 && offsetof(STROBJ, rclBkGround) == 12 && offsetof(STROBJ, pgp) == 32,
              "STROBJ layout");
static_assert(sizeof(PANOSE) == 10, "PANOSE layout");
static_assert(offsetof(IFIMETRICS, dpwszFaceName) == 16 && offsetof(IFIMETRICS, jWinCharSet) == 44 &&
                  offsetof(IFIMETRICS, fwdUnitsPerEm) == 56 && offsetof(IFIMETRICS, chFirstChar) == 108 &&
                  offsetof(IFIMETRICS, ptlBaseline) == 120 && offsetof(IFIMETRICS, rclFontBox) == 144 &&
                  offsetof(IFIMETRICS, panose) == 172 && offsetof(IFIMETRICS, Align) == 184 &&
                  sizeof(IFIMETRICS) == 192,
              "IFIMETRICS layout");

/* ---- Engine fallbacks ------------------------------------------------------------------ */

BOOL EngBitBlt(SURFOBJ *psoTrg, SURFOBJ *psoSrc, SURFOBJ *psoMask, CLIPOBJ *pco, XLATEOBJ *pxlo, RECTL *prclTrg,
               POINTL *pptlSrc, POINTL *pptlMask, BRUSHOBJ *pbo, POINTL *pptlBrush, ROP4 rop4);
BOOL EngStretchBltROP(SURFOBJ *psoDest, SURFOBJ *psoSrc, SURFOBJ *psoMask, CLIPOBJ *pco, XLATEOBJ *pxlo,
                      COLORADJUSTMENT *pca, POINTL *pptlHTOrg, RECTL *prclDest, RECTL *prclSrc, POINTL *pptlMask,
                      ULONG iMode, BRUSHOBJ *pbo, DWORD rop4);
BOOL EngTransparentBlt(SURFOBJ *psoDst, SURFOBJ *psoSrc, CLIPOBJ *pco, XLATEOBJ *pxlo, RECTL *prclDst,
                       RECTL *prclSrc, ULONG iTransColor, ULONG ulReserved);
BOOL EngCopyBits(SURFOBJ *psoDest, SURFOBJ *psoSrc, CLIPOBJ *pco, XLATEOBJ *pxlo, RECTL *prclDest, POINTL *pptlSrc);
BOOL EngEraseSurface(SURFOBJ *pso, RECTL *prcl, ULONG iColor);

namespace plat {

/* ---- Builders of engine-made objects (the engine's side and tests) ---------------------- */

/* A translation by table (`table` copied) or trivial (empty table). */
XLATEOBJ *engine_make_xlate_table(const std::vector<ULONG> &table);

/* A translation from an RGB layout (PAL_RGB, PAL_BGR, or PAL_BITFIELDS with three masks) to 0x00BBGGRR. */
XLATEOBJ *engine_make_xlate_rgb(ULONG srcMode, FLONG redMask = 0, FLONG greenMask = 0, FLONG blueMask = 0);

void engine_free_xlate(XLATEOBJ *pxlo);

/* What an engine brush is realised from when the library asks for it. */
struct BrushRealization {
    PFN_DrvRealizeBrush realize;      /* the library's DrvRealizeBrush */
    SURFOBJ *target;
    SURFOBJ *pattern;
    SURFOBJ *mask;
    XLATEOBJ *xlate;
    ULONG hatch;
};

/* A solid brush of `color`, or a pattern brush realised from `realization` (iSolidColor BO_NOT_SOLID). */
BRUSHOBJ *engine_make_solid_brush(ULONG color);
BRUSHOBJ *engine_make_pattern_brush(const BrushRealization &realization);

/* Times the library's DrvRealizeBrush was called for the brush. */
unsigned engine_brush_realize_count(BRUSHOBJ *pbo);

void engine_free_brush(BRUSHOBJ *pbo);

/* A clip: DC_TRIVIAL with no rectangles, DC_RECT with one, DC_COMPLEX with more (bounds from them). */
CLIPOBJ *engine_make_clip(const std::vector<RECTL> &rects);
void engine_free_clip(CLIPOBJ *pco);

/* One subpath of a built path. */
struct PathFigure {
    std::vector<POINTFIX> points;
    bool closed = false;
    bool beziers = false;
};
/* A path of `figures`; `flags` (PO_ELLIPSE) are added to its fl. */
PATHOBJ *engine_make_path(const std::vector<PathFigure> &figures, FLONG flags = 0);

/* A transform of `xform` (its kind worked out from the matrix). */
XFORMOBJ *engine_make_xform(const XFORML &xform);
void engine_free_xform(XFORMOBJ *pxo);

/* A string of `glyphs` given `batch` at a time by STROBJ_bEnum (pgp left null when batch < count). */
STROBJ *engine_make_string(const std::vector<GLYPHPOS> &glyphs, ULONG batch, FLONG accel = 0);
void engine_free_string(STROBJ *pstro);

/* ---- Fallback record ---------------------------------------------------------------------- */

/* One recorded fallback call. */
struct EngineFallbackCall {
    std::string name;   /* "EngBitBlt", ... */
    ROP4 rop4;          /* EngBitBlt, EngStretchBltROP */
    RECTL dest;         /* the destination rectangle (or the erased one) */
    ULONG color;        /* EngTransparentBlt's transparent colour, EngEraseSurface's colour */
    SURFOBJ *source;
    SURFOBJ *mask;
    BRUSHOBJ *brush;
};

/* Every fallback call since the last clear, oldest first. */
std::vector<EngineFallbackCall> engine_fallback_log();

/* Queues the answer of the next fallback call (answers are used in order; then TRUE). */
void engine_fallback_script(BOOL answer);

/* Empties the record and the queued answers (machine_reset does too). */
void engine_fallback_clear();

} // namespace plat

#endif /* PLAT_ENGINE_DRAW_H */
