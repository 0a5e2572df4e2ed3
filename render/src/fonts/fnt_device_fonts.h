/*
 * Device fonts and the glyph sets.  The process-wide glyph-set state (the
 * default glyph set of the engine's 256 ANSI codes, the Shift-JIS glyph set
 * of the resource module and their lock) lives from DrvEnableDriver to
 * DrvDisableDriver; the device fonts of a model are built per device
 * context at DrvEnablePDEV.  A context whose model has no usable device-font
 * records has none, and the engine then prints all text through downloaded
 * fonts.
 */
#ifndef TARVELGR_FNT_DEVICE_FONTS_H
#define TARVELGR_FNT_DEVICE_FONTS_H

#include <plat/engine.h>
#include <plat/types.h>

struct PdevContext;

/*
 * Creates the glyph-set lock and the default glyph set
 * (EngComputeGlyphSet(0, 0, 256)).  Nonzero on success; on failure nothing
 * stays created.
 */
BOOL FNT_InitGlyphSetCache(void);

/* Frees the default glyph set under its lock, then deletes the lock.  Does nothing when none was made. */
void FNT_FreeGlyphSetCache(void);

/* The default glyph set (null outside DrvEnableDriver .. DrvDisableDriver); the caller holds the lock. */
FD_GLYPHSET *FNT_DefaultGlyphSet(void);

/* The glyph-set resource of the resource module: the double-byte fonts' glyph set. */
enum : int { FNT_GLYPHSET_RESOURCE_TYPE = 260, FNT_GLYPHSET_RESOURCE_ID = 6 };

/*
 * The double-byte fonts' glyph set, converted from the glyph-set resource on
 * first use and kept for the process (the caller holds the lock); null when
 * the resource is missing or malformed.
 */
FD_GLYPHSET *FNT_DoubleByteGlyphSet(void);

/*
 * Converts a glyph-set resource ({size, flAccel, glyphs, run count}; run
 * count x {first code, glyph count, 4 reserved bytes}; then the 32-bit
 * handles run after run) into one EngAllocMem block.  Null with
 * ERROR_INVALID_DATA when the runs or handles do not fit in `size`.
 */
FD_GLYPHSET *FNT_ConvertGlyphSetResource(const BYTE *data, DWORD size);

/* Takes and releases the glyph-set lock (nothing happens while it does not exist). */
void FNT_EnterGlyphSetLock(void);
void FNT_LeaveGlyphSetLock(void);

/* True while the glyph-set lock exists (tests). */
bool FNT_GlyphSetLockExists(void);

/*
 * Builds the device-font tables of the context from the model's device-font
 * records.  1 when the context has device fonts; 0 when it has none (it then
 * works without them: counts 0).
 */
int FNT_LoadDeviceFontList(PdevContext *pdev);

/*
 * Fills DEVINFO's lfDefaultFont from the default device font (setting 384).
 * 1 when filled, 0 when there is no such device font.
 */
int FNT_GetDefaultDeviceFont(PdevContext *pdev, DEVINFO *devinfo);

/* Workers of the font queries. */
PIFIMETRICS FNT_QueryFont(PdevContext *pdev, ULONG_PTR iFile, ULONG iFace, ULONG_PTR *pid);
PVOID FNT_QueryFontTree(PdevContext *pdev, ULONG_PTR iFile, ULONG iFace, ULONG iMode, ULONG_PTR *pid);
LONG FNT_QueryFontData(PdevContext *pdev, FONTOBJ *pfo, ULONG iMode, HGLYPH hg, GLYPHDATA *pgd, PVOID pv,
                       ULONG cjSize);
BOOL FNT_QueryAdvanceWidths(PdevContext *pdev, FONTOBJ *pfo, ULONG iMode, HGLYPH *phg, PVOID pvWidths,
                            ULONG cGlyphs);

#endif /* TARVELGR_FNT_DEVICE_FONTS_H */
