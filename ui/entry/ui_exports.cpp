/*
 * The exports whose work is not built yet (see ui_exports.h): each traces
 * its call and fails with ERROR_CALL_NOT_IMPLEMENTED; and the export of the
 * printer's current settings record, which is the common library's.
 */
#include "ui_exports.h"
#include "ui_not_built.h"

#include <tarvel/upg_settings.h>

/* The common library's worker under the export's own name (its C++ name stays hidden). */
UI_EXPORT BOOL UI_GetUpgradedPrinterData(HANDLE printer, BYTE *buffer, DWORD *size) __asm__("GetUpgradedPrinterData");

BOOL UI_GetUpgradedPrinterData(HANDLE printer, BYTE *buffer, DWORD *size)
{
    return GetUpgradedPrinterData(printer, buffer, size);
}

DWORD DrvDeviceCapabilities(HANDLE, LPWSTR, WORD, PVOID, DEVMODEW *)
{
    return DWORD(UI_NotBuilt(u"DrvDeviceCapabilities", -1));
}

BOOL DrvQueryColorProfile(HANDLE, DEVMODEW *, ULONG, PVOID, ULONG *, FLONG *)
{
    return UI_NotBuilt(u"DrvQueryColorProfile", FALSE);
}

BOOL DrvPrinterEvent(LPWSTR, int, DWORD, LPARAM) { return UI_NotBuilt(u"DrvPrinterEvent", FALSE); }

BOOL DrvConvertDevMode(LPWSTR, DEVMODEW *, DEVMODEW *, LONG *, DWORD)
{
    return UI_NotBuilt(u"DrvConvertDevMode", FALSE);
}

LONG DrvDocumentPropertySheets(PVOID, LPARAM) { return UI_NotBuilt(u"DrvDocumentPropertySheets", -1); }

LONG DrvDevicePropertySheets(PVOID, LPARAM) { return UI_NotBuilt(u"DrvDevicePropertySheets", -1); }

BOOL PrinterProperties(HWND, HANDLE) { return UI_NotBuilt(u"PrinterProperties", FALSE); }

LONG DrvDocumentProperties(HWND, HANDLE, LPWSTR, DEVMODEW *, DEVMODEW *, DWORD)
{
    return UI_NotBuilt(u"DrvDocumentProperties", -1);
}

LONG DrvAdvancedDocumentProperties(HWND, HANDLE, LPWSTR, DEVMODEW *, DEVMODEW *)
{
    return UI_NotBuilt(u"DrvAdvancedDocumentProperties", -1);
}

BOOL DevQueryPrintEx(PVOID) { return UI_NotBuilt(u"DevQueryPrintEx", FALSE); }

BOOL DrvUpgradePrinter(DWORD, LPBYTE) { return UI_NotBuilt(u"DrvUpgradePrinter", FALSE); }
