/*
 * The current settings records built from what older drivers left behind:
 * the printer's 6,148-byte PrinterData record from its stored copy (or the
 * defaults), the printer-wide copy stored without the user's own fields,
 * devmodes of older private layouts turned into the current devmode, and the
 * printer-data value "SPLUserModePrinterDriver".
 *
 * Conversion results: UPG_CONVERTED (0), UPG_COPIED (1), UPG_DEFAULTS (2:
 * replaced by the defaults) or UPG_FAILED (-1: not even the defaults could
 * be made).  No conversion leaves a half-converted record: a failing step
 * ends with the defaults.  Every value is read and written through the
 * data-manager binding, which must be loaded.
 */
#ifndef TARVEL_UPG_SETTINGS_H
#define TARVEL_UPG_SETTINGS_H

#include <plat/types.h>

struct ModelContext;

inline constexpr int UPG_CONVERTED = 0;
inline constexpr int UPG_COPIED = 1;
inline constexpr int UPG_DEFAULTS = 2;
inline constexpr int UPG_FAILED = -1;

/* Current versions: driver version (3, 257, 8204) and layout version (258, 8203). */
inline constexpr WORD UPG_DRIVER_VERSION = 21048;
inline constexpr WORD UPG_LAYOUT_VERSION = 4160;

/* The value name of the user-mode driver file. */
inline constexpr const WCHAR *UPG_USER_MODE_DRIVER_VALUE = u"SPLUserModePrinterDriver";

/*
 * GetUpgradedPrinterData: the printer's current PrinterData record.
 *   buffer  out: 6,148 bytes, or null to ask for the size
 *   size    in/out: the buffer's size
 * A null size pointer: 0.  A null buffer with *size 0: *size = 6,148 and 1
 * (with any other size: 0).  A buffer of fewer than 6,148 bytes: 0, the
 * buffer untouched.  Otherwise the printer's model is opened and
 * UPG_LoadPrinterData's result returned.
 */
BOOL GetUpgradedPrinterData(HANDLE printer, BYTE *buffer, DWORD *size);

/*
 * UPG_LoadPrinterData: fills `printerData` (6,148 bytes) with the printer's
 * stored "PrinterData" record, brought up to date (and the current user's
 * UserSettingInfo written into it), or with the defaults ("DummyName") when
 * nothing usable is stored; the configuration's enforced values are applied
 * last.  The printer is opened again with full access to store a new PRNID;
 * when that is refused (an ordinary user) the caller's handle is used and
 * no PRNID is stored.  A record of a driver of 16,388 or older gives its
 * user fields to the current user's key once.  Returns 1, or 0 when not
 * even the defaults can be made.
 */
BOOL UPG_LoadPrinterData(HANDLE printer, void *printerData, ModelContext *context);

/*
 * UPG_ConvertPrinterData: converts the stored record `stored` (6,148 bytes
 * readable) into `printerData`: copied when only its driver version is
 * current, updated or lifted when older, the defaults when it is of another
 * model kind or newer.  Returns a conversion result.
 */
int UPG_ConvertPrinterData(const void *stored, void *printerData, ModelContext *context);

/*
 * UPG_ConvertDevmode: converts the devmode `devmode` (dmSize + dmDriverExtra
 * bytes readable) into the 1,604-byte devmode part of `image`, with the
 * defaults of `printerName`: copied (1) when it is this driver's current
 * layout, converted (0) from an older layout of this model, else the
 * defaults (2).  Fields an input does not hold keep their defaults.  Some
 * conversions read and write the printer's stored records (its PrinterData
 * and N_Dev), opening it by `printerName` with full access.
 */
int UPG_ConvertDevmode(const void *devmode, void *image, LPCWSTR printerName, ModelContext *context);

/*
 * UPG_ConvertDevmodeForPrinter: UPG_ConvertDevmode for `printer` (its name
 * and model) of a devmode of `totalSize` bytes (the devmode with anything
 * stored behind it, such as its extension), then the extension of `image`
 * (5,896 bytes): the bytes behind the devmode when it was copied, else the
 * defaults, with the bytes behind a converted devmode over them.  Nothing
 * past `totalSize` is read.  Returns the conversion result; -1 when the
 * printer's model cannot be opened.
 */
int UPG_ConvertDevmodeForPrinter(HANDLE printer, const void *devmode, DWORD totalSize, void *image);

/*
 * UPG_SaveSharedPrinterData: writes "SPLUserModePrinterDriver"; with `flag`
 * 0 that is all (0).  Otherwise stores `printerData` as the printer-wide
 * blob "PrinterData" with the user fields at their defaults, and leaves the
 * caller's record with its own user fields.  Returns 1 when the record was
 * stored and the caller's fields put back, else 0.
 */
BOOL UPG_SaveSharedPrinterData(HANDLE printer, void *printerData, ModelContext *context, BOOL flag);

/*
 * UPG_WriteUserModeDriverName: model text 2 as the printer-data value
 * "SPLUserModePrinterDriver" (REG_SZ with its terminator), through a handle
 * opened by the printer's name with full access.  Returns 1 or 0.
 */
BOOL UPG_WriteUserModeDriverName(HANDLE printer);

/*
 * UPG_GetDriverDirectory: the directory of the printer's driver file: the
 * text of its path up to and including the last "\" before its first
 * ".DLL" (case ignored).  A new GlobalAlloc string, or null without either.
 */
LPWSTR UPG_GetDriverDirectory(HANDLE printer);

/* UPG_GetHelperProgramPath: the driver directory followed by model text `text` (GlobalAlloc), or null. */
LPWSTR UPG_GetHelperProgramPath(HANDLE printer, WORD text);

/* The first-use hook of the property sheets and its follow-up: 0 and 1. */
int UPG_StubFirstUseHook(void);
int UPG_StubReturnOne(void);

#endif /* TARVEL_UPG_SETTINGS_H */
