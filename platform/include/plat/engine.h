/*
 * The graphics engine of the simulated machine, as a user-mode printer
 * graphics library sees it: the records the engine and the library exchange
 * (DRVENABLEDATA and its DRVFN table, GDIINFO, DEVINFO, SURFOBJ, the glyph
 * set) in their 64-bit layouts, the function types of the library's entry
 * points, and the Eng* services the library calls back (palettes, device
 * surfaces and bitmaps, engine memory, glyph sets and the Unicode
 * conversions).
 *
 * Objects.  Palettes and surfaces live in one table of the engine under one
 * lock; their handles are small non-zero numbers, never reused within a
 * process.  An engine device (HDEV) is made by the engine's side of a job
 * (plat/gdi.h) or by a test with plat::engine_create_device before it calls
 * DrvEnablePDEV, and learns the library's device context after the call.
 * plat::machine_reset deletes every object still alive.
 *
 * Memory.  EngAllocMem blocks are the platform's process-heap blocks, so the
 * allocation fault injection of plat/fault.h reaches every engine service
 * that allocates.
 */
#ifndef PLAT_ENGINE_H
#define PLAT_ENGINE_H

#include <plat/types.h>

#include <cstddef>

/* ---- Handle and scalar types of the engine ------------------------------- */

typedef struct plat_hdev *HDEV;       /* the engine's device */
typedef struct plat_dhpdev *DHPDEV;   /* the library's device context, as the engine holds it */
typedef struct plat_hsurf *HSURF;     /* an engine surface */
typedef struct plat_dhsurf *DHSURF;   /* the library's handle of a device surface */
typedef HSURF HBITMAP;                /* an engine bitmap (a surface) */
typedef struct plat_hpalette *HPALETTE;
typedef ULONG FLONG;
typedef ULONG HGLYPH;
typedef ULONG ROP4;
typedef ULONG MIX;
typedef LONG LDECI4;
typedef LONG FIX;
typedef ULONG_PTR(*PFN)(void);

/* Engine objects the drawing entry points receive; their records are in plat/engine_draw.h. */
struct CLIPOBJ;
struct XLATEOBJ;
struct BRUSHOBJ;
struct PATHOBJ;
struct XFORMOBJ;
struct FONTOBJ;
struct STROBJ;
struct LINEATTRS;
struct COLORADJUSTMENT;
struct IFIMETRICS;
struct GLYPHDATA;
typedef IFIMETRICS *PIFIMETRICS;

/* ---- Constants ------------------------------------------------------------ */

/* Engine interface version of a user-mode printer graphics library. */
#define DDI_DRIVER_VERSION_NT5 0x00020000u

/* Function indexes of the DRVFN table. */
#define INDEX_DrvEnablePDEV 0u
#define INDEX_DrvCompletePDEV 1u
#define INDEX_DrvDisablePDEV 2u
#define INDEX_DrvEnableSurface 3u
#define INDEX_DrvDisableSurface 4u
#define INDEX_DrvResetPDEV 7u
#define INDEX_DrvDisableDriver 8u
#define INDEX_DrvRealizeBrush 12u
#define INDEX_DrvStrokePath 14u
#define INDEX_DrvFillPath 15u
#define INDEX_DrvStrokeAndFillPath 16u
#define INDEX_DrvBitBlt 18u
#define INDEX_DrvCopyBits 19u
#define INDEX_DrvStretchBlt 20u
#define INDEX_DrvTextOut 23u
#define INDEX_DrvEscape 24u
#define INDEX_DrvQueryFont 26u
#define INDEX_DrvQueryFontTree 27u
#define INDEX_DrvQueryFontData 28u
#define INDEX_DrvSendPage 32u
#define INDEX_DrvStartPage 33u
#define INDEX_DrvEndDoc 34u
#define INDEX_DrvStartDoc 35u
#define INDEX_DrvGetGlyphMode 37u
#define INDEX_DrvQueryAdvanceWidths 53u
#define INDEX_DrvStretchBltROP 69u
#define INDEX_DrvTransparentBlt 74u
#define INDEX_LAST 89u

/* DrvQueryDriverInfo modes. */
#define DRVQUERY_USERMODE 1u

/* DrvEndDoc flags. */
#define ED_ABORTDOC 1u

/* DrvGetGlyphMode answers. */
#define FO_HGLYPHS 0u
#define FO_GLYPHBITS 1u
#define FO_PATHOBJ 2u

/* DrvQueryFontTree modes and DrvQueryAdvanceWidths modes. */
#define QFT_LIGATURES 1u
#define QFT_KERNPAIRS 2u
#define QFT_GLYPHSET 3u
#define QAW_GETWIDTHS 0u
#define QAW_GETEASYWIDTHS 1u

/* Number of standard hatch brushes the engine asks patterns for in DrvEnablePDEV. */
#define HS_DDI_MAX 6u

/* Bitmap formats. */
#define BMF_1BPP 1u
#define BMF_4BPP 2u
#define BMF_8BPP 3u
#define BMF_16BPP 4u
#define BMF_24BPP 5u
#define BMF_32BPP 6u
#define BMF_4RLE 7u
#define BMF_8RLE 8u
#define BMF_JPEG 9u
#define BMF_PNG 10u

/* EngCreateBitmap flags. */
#define BMF_TOPDOWN 0x0001u
#define BMF_NOZEROINIT 0x0002u
#define BMF_DONTCACHE 0x0004u
#define BMF_USERMEM 0x0008u
#define BMF_KMSPACE 0x0010u

/* Surface types (SURFOBJ iType). */
#define STYPE_BITMAP 0u
#define STYPE_DEVICE 1u
#define STYPE_DEVBITMAP 3u

/* Drawing calls a device surface hooks (EngAssociateSurface). */
#define HOOK_BITBLT 0x00000001u
#define HOOK_STRETCHBLT 0x00000002u
#define HOOK_PLGBLT 0x00000004u
#define HOOK_TEXTOUT 0x00000008u
#define HOOK_PAINT 0x00000010u
#define HOOK_STROKEPATH 0x00000020u
#define HOOK_FILLPATH 0x00000040u
#define HOOK_STROKEANDFILLPATH 0x00000080u
#define HOOK_LINETO 0x00000100u
#define HOOK_COPYBITS 0x00000400u
#define HOOK_MOVEPANNING 0x00000800u
#define HOOK_SYNCHRONIZE 0x00001000u
#define HOOK_STRETCHBLTROP 0x00002000u
#define HOOK_SYNCHRONIZEACCESS 0x00004000u
#define HOOK_TRANSPARENTBLT 0x00008000u
#define HOOK_ALPHABLEND 0x00010000u
#define HOOK_GRADIENTFILL 0x00020000u
#define HOOK_FLAGS 0x0003B5FFu

/* Palette modes (EngCreatePalette). */
#define PAL_INDEXED 0x00000001u
#define PAL_BITFIELDS 0x00000002u
#define PAL_RGB 0x00000004u
#define PAL_BGR 0x00000008u

/* GDIINFO values. */
#define DT_PLOTTER 0u
#define DT_RASDISPLAY 1u
#define DT_RASPRINTER 2u
#define HT_FORMAT_1BPP 0u
#define HT_FORMAT_4BPP 2u
#define HT_FORMAT_4BPP_IRGB 3u
#define HT_FORMAT_8BPP 4u
#define HT_FORMAT_16BPP 5u
#define HT_FORMAT_24BPP 6u
#define HT_FORMAT_32BPP 7u
#define HT_FLAG_SQUARE_DEVICE_PEL 0x00000001u
#define HT_FLAG_HAS_BLACK_DYE 0x00000002u
#define HT_FLAG_ADDITIVE_PRIMS 0x00000004u
#define PRIMARY_ORDER_ABC 0u

/* DEVINFO graphics capabilities. */
#define GCAPS_BEZIERS 0x00000001u
#define GCAPS_GEOMETRICWIDE 0x00000002u
#define GCAPS_ALTERNATEFILL 0x00000004u
#define GCAPS_WINDINGFILL 0x00000008u
#define GCAPS_HALFTONE 0x00000010u
#define GCAPS_COLOR_DITHER 0x00000020u
#define GCAPS_HORIZSTRIKE 0x00000040u
#define GCAPS_VERTSTRIKE 0x00000080u
#define GCAPS_OPAQUERECT 0x00000100u
#define GCAPS_DONTJOURNAL 0x00002000u

/* EngAllocMem flags. */
#define FL_ZERO_MEMORY 0x00000001u
#define FL_NONPAGED_MEMORY 0x00000002u

/* ---- Records (x64 layouts, checked below) --------------------------------- */

/* One entry of the library's function table: engine function index and the library's function. */
struct DRVFN {
    ULONG iFunc;
    PFN pfn;
};

/* What DrvEnableDriver fills: the interface version the library speaks and its function table. */
struct DRVENABLEDATA {
    ULONG iDriverVersion;
    ULONG c;
    DRVFN *pdrvfn;
};

/* A colour's chromaticity (x, y) and luminance Y, in units of 1/10,000. */
struct CIECHROMA {
    LDECI4 x;
    LDECI4 y;
    LDECI4 Y;
};

/* The device's colours, gammas and dye mixtures for the engine's halftoning. */
struct COLORINFO {
    CIECHROMA Red;
    CIECHROMA Green;
    CIECHROMA Blue;
    CIECHROMA Cyan;
    CIECHROMA Magenta;
    CIECHROMA Yellow;
    CIECHROMA AlignmentWhite;
    LDECI4 RedGamma;
    LDECI4 GreenGamma;
    LDECI4 BlueGamma;
    LDECI4 MagentaInCyanDye;
    LDECI4 YellowInCyanDye;
    LDECI4 CyanInMagentaDye;
    LDECI4 YellowInMagentaDye;
    LDECI4 CyanInYellowDye;
    LDECI4 MagentaInYellowDye;
};

/* The device's capabilities as DrvEnablePDEV reports them (320 bytes). */
struct GDIINFO {
    ULONG ulVersion;
    ULONG ulTechnology;
    ULONG ulHorzSize;
    ULONG ulVertSize;
    ULONG ulHorzRes;
    ULONG ulVertRes;
    ULONG cBitsPixel;
    ULONG cPlanes;
    ULONG ulNumColors;
    ULONG flRaster;
    ULONG ulLogPixelsX;
    ULONG ulLogPixelsY;
    ULONG flTextCaps;
    ULONG ulDACRed;
    ULONG ulDACGreen;
    ULONG ulDACBlue;
    ULONG ulAspectX;
    ULONG ulAspectY;
    ULONG ulAspectXY;
    LONG xStyleStep;
    LONG yStyleStep;
    LONG denStyleStep;
    POINTL ptlPhysOffset;
    SIZEL szlPhysSize;
    ULONG ulNumPalReg;
    COLORINFO ciDevice;
    ULONG ulDevicePelsDPI;
    ULONG ulPrimaryOrder;
    ULONG ulHTPatternSize;
    ULONG ulHTOutputFormat;
    ULONG flHTFlags;
    ULONG ulVRefresh;
    ULONG ulBltAlignment;
    ULONG ulPanningHorzRes;
    ULONG ulPanningVertRes;
    ULONG xPanningAlignment;
    ULONG yPanningAlignment;
    ULONG cxHTPat;
    ULONG cyHTPat;
    LPBYTE pHTPatA;
    LPBYTE pHTPatB;
    LPBYTE pHTPatC;
    ULONG flShadeBlend;
    ULONG ulPhysicalPixelCharacteristics;
    ULONG ulPhysicalPixelGamma;
};

/* A logical font (92 bytes). */
#define LF_FACESIZE 32
struct LOGFONTW {
    LONG lfHeight;
    LONG lfWidth;
    LONG lfEscapement;
    LONG lfOrientation;
    LONG lfWeight;
    BYTE lfItalic;
    BYTE lfUnderline;
    BYTE lfStrikeOut;
    BYTE lfCharSet;
    BYTE lfOutPrecision;
    BYTE lfClipPrecision;
    BYTE lfQuality;
    BYTE lfPitchAndFamily;
    WCHAR lfFaceName[LF_FACESIZE];
};
typedef LOGFONTW *PLOGFONTW;

/* The library's drawing capabilities, fonts and default palette (312 bytes). */
struct DEVINFO {
    FLONG flGraphicsCaps;
    LOGFONTW lfDefaultFont;
    LOGFONTW lfAnsiVarFont;
    LOGFONTW lfAnsiFixFont;
    ULONG cFonts;
    ULONG iDitherFormat;
    USHORT cxDither;
    USHORT cyDither;
    HPALETTE hpalDefault;
    FLONG flGraphicsCaps2;
};

/* The engine's view of a surface (80 bytes). */
struct SURFOBJ {
    DHSURF dhsurf;
    HSURF hsurf;
    DHPDEV dhpdev;
    HDEV hdev;
    SIZEL sizlBitmap;
    ULONG cjBits;
    PVOID pvBits;
    PVOID pvScan0;
    LONG lDelta;
    ULONG iUniq;
    ULONG iBitmapFormat;
    USHORT iType;
    USHORT fjBitmap;
};

/* A run of consecutive Unicode codes and their glyph handles. */
struct WCRUN {
    WCHAR wcLow;
    USHORT cGlyphs;
    HGLYPH *phg;
};

/* A glyph set: the Unicode runs a font covers (the runs follow the header). */
struct FD_GLYPHSET {
    ULONG cjThis;
    FLONG flAccel;
    ULONG cGlyphsSupported;
    ULONG cRuns;
    WCRUN awcrun[1];
};

static_assert(sizeof(DRVFN) == 16 && offsetof(DRVFN, pfn) == 8, "DRVFN layout");
static_assert(sizeof(DRVENABLEDATA) == 16 && offsetof(DRVENABLEDATA, pdrvfn) == 8, "DRVENABLEDATA layout");
static_assert(sizeof(CIECHROMA) == 12 && sizeof(COLORINFO) == 120, "COLORINFO layout");
static_assert(offsetof(GDIINFO, ulAspectXY) == 72 && offsetof(GDIINFO, ptlPhysOffset) == 88, "GDIINFO layout");
static_assert(offsetof(GDIINFO, ciDevice) == 108 && offsetof(GDIINFO, ulHTPatternSize) == 236, "GDIINFO layout");
static_assert(offsetof(GDIINFO, pHTPatA) == 280 && sizeof(GDIINFO) == 320, "GDIINFO layout");
static_assert(sizeof(LOGFONTW) == 92 && offsetof(LOGFONTW, lfFaceName) == 28, "LOGFONTW layout");
static_assert(offsetof(DEVINFO, lfAnsiFixFont) == 188 && offsetof(DEVINFO, cFonts) == 280, "DEVINFO layout");
static_assert(offsetof(DEVINFO, hpalDefault) == 296 && sizeof(DEVINFO) == 312, "DEVINFO layout");
static_assert(offsetof(SURFOBJ, sizlBitmap) == 32 && offsetof(SURFOBJ, lDelta) == 64, "SURFOBJ layout");
static_assert(offsetof(SURFOBJ, iType) == 76 && sizeof(SURFOBJ) == 80, "SURFOBJ layout");
static_assert(sizeof(WCRUN) == 16 && offsetof(FD_GLYPHSET, awcrun) == 16, "FD_GLYPHSET layout");

/* ---- The library's entry points, as the engine calls them ---------------- */

struct DEVMODEW;

typedef BOOL (*PFN_DrvEnableDriver)(ULONG iEngineVersion, ULONG cj, DRVENABLEDATA *pded);
typedef void (*PFN_DrvDisableDriver)(void);
typedef BOOL (*PFN_DrvQueryDriverInfo)(DWORD dwMode, PVOID pBuffer, DWORD cbBuf, PDWORD pcbNeeded);
typedef DHPDEV (*PFN_DrvEnablePDEV)(DEVMODEW *pdm, LPWSTR pwszLogAddress, ULONG cPat, HSURF *phsurfPatterns,
                                    ULONG cjCaps, ULONG *pdevcaps, ULONG cjDevInfo, DEVINFO *pdi, HDEV hdev,
                                    LPWSTR pwszDeviceName, HANDLE hDriver);
typedef void (*PFN_DrvCompletePDEV)(DHPDEV dhpdev, HDEV hdev);
typedef BOOL (*PFN_DrvResetPDEV)(DHPDEV dhpdevOld, DHPDEV dhpdevNew);
typedef void (*PFN_DrvDisablePDEV)(DHPDEV dhpdev);
typedef HSURF (*PFN_DrvEnableSurface)(DHPDEV dhpdev);
typedef void (*PFN_DrvDisableSurface)(DHPDEV dhpdev);
typedef BOOL (*PFN_DrvStartDoc)(SURFOBJ *pso, LPWSTR pwszDocName, DWORD dwJobId);
typedef BOOL (*PFN_DrvStartPage)(SURFOBJ *pso);
typedef BOOL (*PFN_DrvSendPage)(SURFOBJ *pso);
typedef BOOL (*PFN_DrvEndDoc)(SURFOBJ *pso, FLONG fl);
typedef ULONG (*PFN_DrvEscape)(SURFOBJ *pso, ULONG iEsc, ULONG cjIn, PVOID pvIn, ULONG cjOut, PVOID pvOut);
typedef BOOL (*PFN_DrvBitBlt)(SURFOBJ *psoTrg, SURFOBJ *psoSrc, SURFOBJ *psoMask, CLIPOBJ *pco, XLATEOBJ *pxlo,
                              RECTL *prclTrg, POINTL *pptlSrc, POINTL *pptlMask, BRUSHOBJ *pbo, POINTL *pptlBrush,
                              ROP4 rop4);
typedef BOOL (*PFN_DrvCopyBits)(SURFOBJ *psoDest, SURFOBJ *psoSrc, CLIPOBJ *pco, XLATEOBJ *pxlo, RECTL *prclDest,
                                POINTL *pptlSrc);
typedef BOOL (*PFN_DrvStretchBlt)(SURFOBJ *psoDest, SURFOBJ *psoSrc, SURFOBJ *psoMask, CLIPOBJ *pco,
                                  XLATEOBJ *pxlo, COLORADJUSTMENT *pca, POINTL *pptlHTOrg, RECTL *prclDest,
                                  RECTL *prclSrc, POINTL *pptlMask, ULONG iMode);
typedef BOOL (*PFN_DrvStretchBltROP)(SURFOBJ *psoDest, SURFOBJ *psoSrc, SURFOBJ *psoMask, CLIPOBJ *pco,
                                     XLATEOBJ *pxlo, COLORADJUSTMENT *pca, POINTL *pptlHTOrg, RECTL *prclDest,
                                     RECTL *prclSrc, POINTL *pptlMask, ULONG iMode, BRUSHOBJ *pbo, DWORD rop4);
typedef BOOL (*PFN_DrvTransparentBlt)(SURFOBJ *psoDst, SURFOBJ *psoSrc, CLIPOBJ *pco, XLATEOBJ *pxlo,
                                      RECTL *prclDst, RECTL *prclSrc, ULONG iTransColor, ULONG ulReserved);
typedef BOOL (*PFN_DrvStrokePath)(SURFOBJ *pso, PATHOBJ *ppo, CLIPOBJ *pco, XFORMOBJ *pxo, BRUSHOBJ *pbo,
                                  POINTL *pptlBrushOrg, LINEATTRS *plineattrs, MIX mix);
typedef BOOL (*PFN_DrvFillPath)(SURFOBJ *pso, PATHOBJ *ppo, CLIPOBJ *pco, BRUSHOBJ *pbo, POINTL *pptlBrushOrg,
                                MIX mix, FLONG flOptions);
typedef BOOL (*PFN_DrvStrokeAndFillPath)(SURFOBJ *pso, PATHOBJ *ppo, CLIPOBJ *pco, XFORMOBJ *pxo,
                                         BRUSHOBJ *pboStroke, LINEATTRS *plineattrs, BRUSHOBJ *pboFill,
                                         POINTL *pptlBrushOrg, MIX mixFill, FLONG flOptions);
typedef BOOL (*PFN_DrvRealizeBrush)(BRUSHOBJ *pbo, SURFOBJ *psoTarget, SURFOBJ *psoPattern, SURFOBJ *psoMask,
                                    XLATEOBJ *pxlo, ULONG iHatch);
typedef BOOL (*PFN_DrvTextOut)(SURFOBJ *pso, STROBJ *pstro, FONTOBJ *pfo, CLIPOBJ *pco, RECTL *prclExtra,
                               RECTL *prclOpaque, BRUSHOBJ *pboFore, BRUSHOBJ *pboOpaque, POINTL *pptlOrg, MIX mix);
typedef ULONG (*PFN_DrvGetGlyphMode)(DHPDEV dhpdev, FONTOBJ *pfo);
typedef PIFIMETRICS (*PFN_DrvQueryFont)(DHPDEV dhpdev, ULONG_PTR iFile, ULONG iFace, ULONG_PTR *pid);
typedef PVOID (*PFN_DrvQueryFontTree)(DHPDEV dhpdev, ULONG_PTR iFile, ULONG iFace, ULONG iMode, ULONG_PTR *pid);
typedef LONG (*PFN_DrvQueryFontData)(DHPDEV dhpdev, FONTOBJ *pfo, ULONG iMode, HGLYPH hg, GLYPHDATA *pgd, PVOID pv,
                                     ULONG cjSize);
typedef BOOL (*PFN_DrvQueryAdvanceWidths)(DHPDEV dhpdev, FONTOBJ *pfo, ULONG iMode, HGLYPH *phg, PVOID pvWidths,
                                          ULONG cGlyphs);

/* ---- Engine services ------------------------------------------------------- */

/*
 * A zero-filled block of `cj` bytes (whatever `fl` says; the tag is
 * ignored).  Null when memory is short or `cj` is 0.  Free it with EngFreeMem.
 */
PVOID EngAllocMem(ULONG fl, ULONG cj, ULONG tag);

/* Frees a block of EngAllocMem or of an engine service that says so; null is ignored. */
void EngFreeMem(PVOID pv);

/*
 * A palette: PAL_INDEXED with `cColors` colours copied from `pulColors`
 * (at least one), PAL_BITFIELDS with the three masks, PAL_RGB or PAL_BGR
 * (colours and masks ignored).  Returns its handle (delete it with
 * EngDeletePalette), or null with ERROR_INVALID_PARAMETER for another mode
 * or missing colours, ERROR_NOT_ENOUGH_MEMORY when memory is short.
 */
HPALETTE EngCreatePalette(ULONG iMode, ULONG cColors, ULONG *pulColors, FLONG flRed, FLONG flGreen, FLONG flBlue);

/* Deletes a palette; FALSE for anything that is not a live palette. */
BOOL EngDeletePalette(HPALETTE hpal);

/*
 * A device surface that the library draws itself: `dhsurf` is the library's
 * own handle of it, `sizl` its size in pixels (each above 0) and
 * `iFormatCompat` the BMF_ format it is compatible with.  It has no bits.
 * Returns its handle (delete it with EngDeleteSurface), or null with
 * ERROR_INVALID_PARAMETER or ERROR_NOT_ENOUGH_MEMORY.
 */
HSURF EngCreateDeviceSurface(DHSURF dhsurf, SIZEL sizl, ULONG iFormatCompat);

/*
 * An engine bitmap of `sizl` pixels in format `iFormat` (BMF_1BPP to
 * BMF_32BPP) with `lWidth` bytes per row (at least a row's pixels).  With
 * `pvBits` the bitmap uses the caller's memory, which must outlive it;
 * without, the engine allocates it (zero-filled).  BMF_TOPDOWN puts the
 * first row at the lowest address; otherwise pvScan0 is the last row of the
 * memory and lDelta is negative.  Returns its handle (delete it with
 * EngDeleteSurface), or null with ERROR_INVALID_PARAMETER (a bad size, row
 * width or format) or ERROR_NOT_ENOUGH_MEMORY.
 */
HBITMAP EngCreateBitmap(SIZEL sizl, LONG lWidth, ULONG iFormat, FLONG fl, PVOID pvBits);

/*
 * Associates a surface with an engine device: the surface's hdev and dhpdev
 * (the device's library context) are set and `flHooks` (HOOK_ flags) records
 * the drawing calls the library takes over.  FALSE with
 * ERROR_INVALID_HANDLE for an unknown surface or device, or
 * ERROR_INVALID_PARAMETER for unknown hook bits.
 */
BOOL EngAssociateSurface(HSURF hsurf, HDEV hdev, FLONG flHooks);

/*
 * Deletes a surface or bitmap.  A surface still locked stays valid for its
 * lockers until the last EngUnlockSurface.  FALSE for anything that is not a
 * live surface.
 */
BOOL EngDeleteSurface(HSURF hsurf);

/*
 * The engine's SURFOBJ of a surface, valid until the matching
 * EngUnlockSurface (locks count).  Null for anything that is not a live
 * surface.
 */
SURFOBJ *EngLockSurface(HSURF hsurf);

/* Releases one lock taken by EngLockSurface; other pointers are ignored. */
void EngUnlockSurface(SURFOBJ *pso);

/*
 * The glyph set of `cChars` single-byte codes from `nFirstChar` in code page
 * `nCodePage` (0: the ANSI code page): each code that stands for one
 * character is a glyph whose handle is the code, grouped in runs of
 * consecutive Unicode values in ascending order.  The record and its runs
 * and handles are one EngAllocMem block, freed with EngFreeMem.  Null with
 * ERROR_INVALID_PARAMETER (no codes, codes above 255, an unknown code page)
 * or ERROR_NOT_ENOUGH_MEMORY.
 */
FD_GLYPHSET *EngComputeGlyphSet(INT nCodePage, INT nFirstChar, INT cChars);

/*
 * Converts `cbUnicode` bytes of UTF-16 text to the ANSI code page, writing
 * at most `cbMultiByte` bytes (a character that does not fit entirely is left
 * out); no terminator is added.  The byte count written goes to
 * *pcbWritten when that is given.
 */
void EngUnicodeToMultiByteN(LPSTR pMultiByte, ULONG cbMultiByte, ULONG *pcbWritten, LPCWSTR pUnicode,
                            ULONG cbUnicode);

/*
 * Converts `cbMultiByte` bytes of ANSI text to UTF-16, writing at most
 * `cbUnicode` bytes; the byte count written goes to *pcbWritten when given.
 */
void EngMultiByteToUnicodeN(LPWSTR pUnicode, ULONG cbUnicode, ULONG *pcbWritten, LPCSTR pMultiByte,
                            ULONG cbMultiByte);

namespace plat {

/*
 * A new engine device, as the engine makes one before it enables a device
 * context on it.  Returns its handle; delete it with engine_delete_device.
 */
HDEV engine_create_device();

/* Records the library's device context of `hdev` (after DrvEnablePDEV). False for an unknown device. */
bool engine_set_device_pdev(HDEV hdev, DHPDEV dhpdev);

/* Forgets a device; surfaces associated with it keep their values. False for an unknown device. */
bool engine_delete_device(HDEV hdev);

/* What a test can see of a live surface. */
struct EngineSurfaceInfo {
    USHORT type;     /* STYPE_ */
    ULONG format;    /* BMF_ */
    SIZEL size;
    FLONG hooks;     /* flags given to EngAssociateSurface */
    HDEV hdev;       /* null until associated */
    DHSURF dhsurf;
    unsigned locks;
};

/* Fills `info` for a live surface; false otherwise. */
bool engine_surface_info(HSURF hsurf, EngineSurfaceInfo *info);

/* The mode of a live palette (PAL_), 0 for anything else. */
ULONG engine_palette_mode(HPALETTE hpal);

/* Live palettes, surfaces and devices; tests use them to find leaks. */
size_t engine_palette_count();
size_t engine_surface_count();
size_t engine_device_count();

} // namespace plat

#include <plat/engine_draw.h>

#endif /* PLAT_ENGINE_H */
