/*
 * The library's outer skin: its entry (run by the loader at attach and
 * detach), the three driver-level calls and the process-wide model-data
 * lock, which a new device context holds while it opens its model data.
 * The graphics entry points themselves are in ddi_exports.h.
 */
#ifndef TARVELGR_DDI_ENTRY_H
#define TARVELGR_DDI_ENTRY_H

#include <plat/engine.h>
#include <plat/types.h>

#ifndef ERROR_BAD_DRIVER_LEVEL
#define ERROR_BAD_DRIVER_LEVEL 119L
#endif

/* The number of entries of the library's function table. */
inline constexpr ULONG DDI_FUNCTION_COUNT = 26;

/*
 * The library entry: at process attach it records the module handle and the
 * module, directory and resource-module paths; at detach it releases them.
 * Other reasons do nothing.  Always TRUE.
 */
BOOL DDI_DllEntry(HINSTANCE instance, DWORD reason, LPVOID reserved);

/*
 * DrvEnableDriver's worker: refuses an engine older than interface 0x20000
 * or a record shorter than DRVENABLEDATA (ERROR_BAD_DRIVER_LEVEL, FALSE,
 * nothing created); fills the record (version 0x20000, the 26-entry table);
 * creates the model-data lock and the glyph-set cache.  FALSE when the
 * glyph-set cache cannot be made, with no lock left behind.
 */
BOOL DDI_EnableDriver(ULONG iEngineVersion, ULONG cj, DRVENABLEDATA *pded);

/* DrvDisableDriver's worker: deletes the locks, frees the glyph-set cache and releases the module state. */
void DDI_DisableDriver(void);

/*
 * DrvQueryDriverInfo's worker: DRVQUERY_USERMODE reports 4 as the needed
 * size in every case and, with a buffer of 4 bytes or more, writes 1 and
 * answers TRUE; a shorter buffer gives ERROR_INSUFFICIENT_BUFFER.  Any other
 * mode gives ERROR_INVALID_PARAMETER.
 */
BOOL DDI_QueryDriverInfo(DWORD dwMode, PVOID pBuffer, DWORD cbBuf, PDWORD pcbNeeded);

/* The library's function table (DDI_FUNCTION_COUNT entries, in the engine's expected order). */
const DRVFN *DDI_FunctionTable(void);

/* Takes and releases the model-data lock (nothing happens while it does not exist). */
void DDI_EnterModelLock(void);
void DDI_LeaveModelLock(void);

/* True while the model-data lock exists (tests). */
bool DDI_ModelLockExists(void);

#endif /* TARVELGR_DDI_ENTRY_H */
