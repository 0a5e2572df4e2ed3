/*
 * The exports whose work is not built yet (see ui_exports.h): the property
 * sheets, each tracing its call and failing with ERROR_CALL_NOT_IMPLEMENTED;
 * and the export of the printer's current settings record, which is the
 * common library's.
 */
#include "ui_exports.h"
#include "ui_not_built.h"

#include <tarvel/stores/upg_settings.h>

/* The common library's worker under the export's own name (its C++ name stays hidden). */
UI_EXPORT BOOL UI_GetUpgradedPrinterData(HANDLE printer, BYTE *buffer, DWORD *size) __asm__("GetUpgradedPrinterData");

BOOL UI_GetUpgradedPrinterData(HANDLE printer, BYTE *buffer, DWORD *size)
{
    return GetUpgradedPrinterData(printer, buffer, size);
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
