/*
 * Settings blocks: the devmode-only block (1,604 bytes) and the settings
 * image (5,896 bytes: the devmode with its extension block behind it), their
 * sizes and copies, the rows of the setting layout table, and the devmode
 * services of the user-interface library built on them (the printer's
 * current devmode, the DevQueryPrintEx check and the DrvConvertDevMode
 * worker).
 *
 * A settings kind of 1 means the devmode alone; any other value the whole
 * image.
 */
#ifndef TARVEL_DMS_SETTINGS_H
#define TARVEL_DMS_SETTINGS_H

#include <plat/types.h>

struct ModelContext;
struct PRINTER_INFO_2W;

inline constexpr DWORD DMS_KIND_DEVMODE = 1;
inline constexpr DWORD DMS_KIND_IMAGE = 0;

/* DrvConvertDevMode modes. */
inline constexpr DWORD CDM_CONVERT = 1;
inline constexpr DWORD CDM_CONVERT351 = 2;
inline constexpr DWORD CDM_DRIVER_DEFAULT = 4;

/* DMS_SettingsSize: 1,604 for kind 1, else 5,896. */
DWORD DMS_SettingsSize(DWORD kind);

/*
 * DMS_AllocSettings: a zero-filled block of DMS_SettingsSize(kind) bytes
 * from GlobalAlloc (fixed), or null; the caller frees it with GlobalFree.
 */
void *DMS_AllocSettings(DWORD kind);

/* DMS_CopySettings: copies DMS_SettingsSize(kind) bytes; 1, or 0 for a null pointer. */
int DMS_CopySettings(void *destination, const void *source, DWORD kind);

/* DMS_ZeroSettings: zero-fills DMS_SettingsSize(kind) bytes; 1, or 0 for a null pointer. */
int DMS_ZeroSettings(void *block, DWORD kind);

/*
 * DMS_GetIdGroupKind: the record kind (SRK_) of row `row` (0-12) of the
 * setting layout table into *kind; returns 1, or 0 for a row above 12 or a
 * null output.
 */
int DMS_GetIdGroupKind(DWORD row, WORD *kind);

/*
 * DMS_GetIdGroupItem: the DDMID of item `n` (0-based, in table order) of row
 * `row`; 0 for a row above 12 or an n at or past the row's item count.
 */
WORD DMS_GetIdGroupItem(DWORD row, DWORD n);

/*
 * DMS_GetPrinterDevmode: the printer's PRINTER_INFO_2W (a GlobalAlloc
 * block the caller frees) with its pDevMode pointing at `devmode`: the
 * printer's devmode (or, when it has none, the defaults for its name)
 * converted into the caller's buffer of *size bytes (DMS_ConvertDevMode,
 * CDM_CONVERT), the configuration's enforced values applied.  *success
 * becomes 1 then.  Null, *success 0, for a null argument, a printer that
 * cannot be read or a failed conversion.
 */
PRINTER_INFO_2W *DMS_GetPrinterDevmode(HANDLE printer, ModelContext *context, void *devmode, LONG *size,
                                       int *success);

/*
 * DMS_DevQueryPrintCheck: 1 when the header settings 2, 4, 5 and 258 of the
 * devmode pass FID_ValidateValue with operation 2 (without a model
 * context), 0 otherwise or for a null devmode.
 */
int DMS_DevQueryPrintCheck(const void *devmode);

/*
 * DMS_ConvertDevMode: the DrvConvertDevMode worker: 1, 2 or 3 success, -1
 * when *size is below 1,604 (the needed 1,604 is written back, last error
 * ERROR_INSUFFICIENT_BUFFER), -2 failure (a null size pointer gives
 * ERROR_INVALID_PARAMETER; modes other than CDM_CONVERT and
 * CDM_DRIVER_DEFAULT fail).  CDM_CONVERT converts `input` into the
 * 1,604-byte `output` (UPG_ConvertDevmode: converted 1, copied 2, defaults
 * 3).  CDM_DRIVER_DEFAULT writes the driver's defaults for the printer
 * (its PrinterData loaded and the paper fields in step): 3, or -2 when a
 * step failed (the output then holds what was made).
 */
int DMS_ConvertDevMode(LPCWSTR printerName, ModelContext *context, const void *input, void *output, LONG *size,
                       DWORD mode);

#endif /* TARVEL_DMS_SETTINGS_H */
