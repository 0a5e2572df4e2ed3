/*
 * The user-interface library's exports other than the entry and the
 * document events: device capabilities, colour profile, devmode
 * conversion and query-print (uix_no_window.cpp), printer events and
 * upgrade (uix_printer_events.cpp), the settings record of older printer
 * data (GetUpgradedPrinterData); the property sheets wait for their work
 * and fail visibly meanwhile (ui_not_built.h).  The sheet records are
 * passed as opaque pointers until the work that reads them exists; the
 * query-print record is a DEVQUERYPRINT_INFO (plat/winddiui.h).
 */
#ifndef TARVELUI_UI_EXPORTS_H
#define TARVELUI_UI_EXPORTS_H

#include "ui_entry.h"

#include <plat/gdi.h>

UI_EXPORT DWORD DrvDeviceCapabilities(HANDLE hPrinter, LPWSTR pDeviceName, WORD iDevCap, PVOID pvOutput,
                                      DEVMODEW *pDevmode);
UI_EXPORT BOOL DrvQueryColorProfile(HANDLE hPrinter, DEVMODEW *pdevmode, ULONG ulQueryMode, PVOID pvProfileData,
                                    ULONG *pcbProfileData, FLONG *pflProfileData);
UI_EXPORT BOOL DrvPrinterEvent(LPWSTR pPrinterName, int DriverEvent, DWORD Flags, LPARAM lParam);
UI_EXPORT BOOL DrvConvertDevMode(LPWSTR pPrinterName, DEVMODEW *pdmIn, DEVMODEW *pdmOut, LONG *pcbNeeded,
                                 DWORD fMode);
UI_EXPORT LONG DrvDocumentPropertySheets(PVOID pPSUIInfo, LPARAM lParam);
UI_EXPORT LONG DrvDevicePropertySheets(PVOID pPSUIInfo, LPARAM lParam);
UI_EXPORT BOOL PrinterProperties(HWND hwnd, HANDLE hPrinter);
UI_EXPORT LONG DrvDocumentProperties(HWND hwnd, HANDLE hPrinter, LPWSTR pDeviceName, DEVMODEW *pdmOutput,
                                     DEVMODEW *pdmInput, DWORD fMode);
UI_EXPORT LONG DrvAdvancedDocumentProperties(HWND hwnd, HANDLE hPrinter, LPWSTR pDeviceName, DEVMODEW *pdmOutput,
                                             DEVMODEW *pdmInput);
UI_EXPORT BOOL DevQueryPrintEx(PVOID pDQPInfo);
UI_EXPORT BOOL DrvUpgradePrinter(DWORD Level, LPBYTE pDriverUpgradeInfo);

#endif /* TARVELUI_UI_EXPORTS_H */
