/*
 * The binding to the settings data manager: every read and write of a
 * setting in the user-interface and rendering libraries goes through here.
 * The data manager (libtarveldm.so, named by this library's string 32766) is
 * loaded at run time from this library's own directory with a use count, and
 * its two entry points dma_GetValue and dma_SetValue are bound by name on
 * first use.  On top of the two wrappers sit typed convenience wrappers, the
 * availability rules that blank settings another setting switches off, and
 * the comparison of two settings images.
 *
 * Each library that links the common library keeps its own binding (module
 * handle, entry points, use count): the common library is built with hidden
 * visibility.  The use count, the load and the unload are guarded by a lock
 * and the entry points are kept in atomics, since the rendering library loads
 * the data manager from DrvEnablePDEV, which two threads may run at once.
 *
 * Statuses are the data manager's (DMA_ codes of tarvel/datamgr.h): 0 done,
 * 16 when the library or an entry point is missing.
 */
#ifndef TARVEL_DMB_BINDING_H
#define TARVEL_DMB_BINDING_H

#include <plat/types.h>
#include <tarvel/datamgr.h>

/* Identifiers answered here without the data manager. */
inline constexpr WORD DMB_ID_LOCAL_FLAG = 0x9029;   /* type 1, size 4, value 1 */
inline constexpr WORD DMB_ID_LOCAL_UINT16 = 0x9031; /* type 3, size 2, value 4 */

/* Answers of DMB_IsSettingAvailable. */
inline constexpr int DMB_AVAILABLE = 1;
inline constexpr int DMB_SWITCHED_OFF = 2;
inline constexpr int DMB_UNREADABLE = 3;

/* Answer of DMB_GetValueChecked when the value cannot be given. */
inline constexpr int DMB_CHECKED_FAILED = 3;

/* ---- Loading ------------------------------------------------------------ */

/*
 * DMB_Load: counts one more user of the data manager.  The call that raises
 * the count from 0 loads the library: this library's directory
 * (RES_GetDriverDirectory) followed by string 32766 of `self` (this
 * library's module handle), with LoadLibraryW.  Returns 1 when the data
 * manager is loaded (by this call or an earlier one); 0 when this call's
 * load failed, `self` is null, or an earlier load failed and nothing is
 * loaded.  The count is raised even when the load fails (every DMB_Load is
 * paired with a DMB_Unload).
 */
int DMB_Load(HMODULE self);

/*
 * DMB_Unload: counts one user less; the call that brings the count to 0
 * frees the library and forgets the module handle and both entry points.
 * Nothing happens when the count is already 0.
 */
void DMB_Unload(void);

/* The current use count (tests and diagnostics). */
WORD DMB_GetUseCount(void);

/*
 * Test-only: forgets the binding (count 0, no module, no entry points)
 * without freeing anything; call it after plat::machine_reset, which has
 * already unloaded every module.
 */
void DMB_ResetForTest(void);

/* ---- The two wrappers -------------------------------------------------- */

/*
 * DMB_GetValue: reads setting `id` through dma_GetValue.
 *   devmode, printerData  in: the caller's records (see tarvel/datamgr.h)
 *   type, size            out: the value's type and size
 *   slot                  out: 8-byte value slot; for types 6 and 9 a
 *                         pointer into the caller's record (never an offset)
 * 0x9029 and 0x9031 are answered here (status 16 when a pointer is null).
 * A failure raised inside dma_GetValue (a C++ exception leaving it) is
 * caught, traced as "An exception occurred in dma_GetValue.
 * wFuncID[0x%04x]", and answered with status 16 and *type = 1.  Status 16
 * when the data manager or the entry point is missing.
 */
WORD DMB_GetValue(WORD id, void *devmode, void *printerData, WORD *type, LONG *size, void *slot);

/*
 * DMB_SetValue: writes setting `id` through dma_SetValue (the value
 * conventions of dma_SetValue: `value` points to the number, or for types 6
 * and 9 to the string or block pointer).  Returns its status; 16 when the
 * data manager or the entry point is missing.  Not guarded.
 */
WORD DMB_SetValue(WORD id, void *devmode, void *printerData, WORD type, LONG size, const void *value);

/* ---- Typed wrappers ------------------------------------------------------ */

/*
 * DMB_GetTypedValue: reads setting `id` and returns the slot's 64-bit content
 * when the read succeeds and its size fits `expectedType` (4 for types 1, 4,
 * 5; 2 for 2, 3; 1 for 8; any size for 6, whose content is then the string
 * pointer).  0 otherwise, for a null devmode and for any other type.
 */
ULONGLONG DMB_GetTypedValue(void *devmode, void *printerData, WORD id, WORD expectedType);

/*
 * DMB_SetValueV: writes the value that follows in the argument list (an int
 * for numbers, a pointer for types 6 and 9) with the given type and size.
 * Returns 0 whatever the status (use DMB_SetValueArgs when a failure must
 * count); -1 for a null devmode.
 */
int DMB_SetValueV(void *devmode, void *printerData, WORD id, WORD type, LONG size, ...);

/*
 * DMB_SetValueArgs: as DMB_SetValueV with the size taken from the type (2
 * for types 1, 2, 3; 4 for 4, 5, 6; 1 for 8; 0 otherwise).  Returns the
 * status.  Flags of the flag ranges ignore the size; a type-6 write of size
 * 4 passes the length check only for a string of at most one character.
 * (`type` is a UINT: the last named argument before "..." must not be a
 * type that is promoted.)
 */
WORD DMB_SetValueArgs(void *devmode, void *printerData, WORD id, UINT type, ...);

/* DMB_IsStampSettingId: 1 for the stamp settings 297-319 and 1286-1288, else 0. */
int DMB_IsStampSettingId(WORD id);

/*
 * DMB_CompareAllSettings: 1 when every compared setting of the settings
 * images `a` and `b` (5,896 bytes each) has the same value in both, 0 at the
 * first difference or failed read.  Printer-data settings, the header and
 * bookkeeping fields, LOGFONTW blocks and (when both stamp texts are empty)
 * the stamp settings are not compared.
 */
int DMB_CompareAllSettings(void *a, void *b, void *printerData);

/* ---- Availability and effective values ---------------------------------- */

/*
 * DMB_IsSettingAvailable: whether setting `id` is in force: DMB_AVAILABLE,
 * DMB_SWITCHED_OFF (another setting switches it off: 270, 271 or 293 govern
 * the settings that depend on colour mode and on the stamp or overlay kind),
 * or DMB_UNREADABLE when a governing setting cannot be read.
 */
int DMB_IsSettingAvailable(WORD id, void *devmode, void *printerData);

/*
 * DMB_GetValueChecked: reads the effective value of `id`: the stored value,
 * 0 for 346 unless the print quality is 600, 0x1010802 for 8205 when 336 is
 * 1, and a blanked value (zero of the setting's width, or a null string
 * pointer) for a setting that is switched off.  Returns 0 with the value, or
 * DMB_CHECKED_FAILED for a null pointer, a failed read or an unreadable
 * governing setting.
 */
int DMB_GetValueChecked(WORD id, void *devmode, void *printerData, WORD *type, LONG *size, void *slot);

/*
 * DMB_GetEffectiveValue: the slot content of DMB_GetValueChecked, or -1 when
 * it fails.  `type` is not used.
 */
LONGLONG DMB_GetEffectiveValue(void *devmode, void *printerData, WORD id, WORD type);

/* ---- Public identifiers ------------------------------------------------ */

/* The data-manager version whose data names some settings by their own numbers. */
inline constexpr DWORD DMB_DATA_VERSION_OWN_IDS = 20482; /* 0x5002 */

/*
 * DMB_PublicIdToDmaId: the internal identifier of the public identifier
 * `publicId` for data of the data-manager version `version`, from the first
 * 14 ranges of the public identifier map.  Data of version 20482 names 448,
 * 449, 450 and 1281-1330 by their own numbers.  Returns 1 with *internalId
 * set; 0 when the map has no pair for it (*internalId untouched).
 */
int DMB_PublicIdToDmaId(WORD publicId, WORD *internalId, DWORD version);

/*
 * DMB_DmaIdToPublicId: the first public identifier paired with the internal
 * identifier `internalId`.  Returns 1 with *publicId set; 0 when none is.
 */
int DMB_DmaIdToPublicId(WORD internalId, WORD *publicId);

#endif /* TARVEL_DMB_BINDING_H */
