/*
 * Records and values the spooler and applications hand a printer driver's
 * user-interface library outside its property sheets: the document-property
 * header of the calls without a sheet, the query-print record, the upgrade
 * record, and the event, mode and query values of those calls.  Layouts are
 * the 64-bit ones.
 */
#ifndef PLAT_WINDDIUI_H
#define PLAT_WINDDIUI_H

#include <plat/types.h>

#include <cstddef>

struct DEVMODEW;

/* The document-property header (DrvDocumentPropertySheets and the calls without a sheet). */
struct DOCUMENTPROPERTYHEADER {
    WORD cbSize; /* 48 */
    WORD Reserved;
    HANDLE hPrinter;
    LPWSTR pszPrinterName;
    DEVMODEW *pdmIn;
    DEVMODEW *pdmOut;
    DWORD cbOut;
    DWORD fMode;
};
static_assert(sizeof(DOCUMENTPROPERTYHEADER) == 48 && offsetof(DOCUMENTPROPERTYHEADER, cbOut) == 40,
              "DOCUMENTPROPERTYHEADER layout");

/* Mode flags of the header. */
#ifndef DM_UPDATE
#define DM_UPDATE 1u
#define DM_COPY 2u
#define DM_PROMPT 4u
#define DM_MODIFY 8u
#define DM_USER_DEFAULT 0x40u
#endif
#ifndef DM_NOPERMISSION
#define DM_ADVANCED 0x10u
#define DM_NOPERMISSION 0x20u
#endif

/* The device-property header (DrvDevicePropertySheets). */
struct DEVICEPROPERTYHEADER {
    WORD cbSize; /* 24 */
    WORD Flags;
    HANDLE hPrinter;
    LPWSTR pszPrinterName;
};
static_assert(sizeof(DEVICEPROPERTYHEADER) == 24 && offsetof(DEVICEPROPERTYHEADER, pszPrinterName) == 16,
              "DEVICEPROPERTYHEADER layout");

/* Flags of the device-property header. */
#define DPS_NOPERMISSION 0x0001u

/* The query-print record of DevQueryPrintEx. */
struct DEVQUERYPRINT_INFO {
    WORD cbSize; /* 40 */
    WORD Level;
    HANDLE hPrinter;
    DEVMODEW *pDevMode;
    LPWSTR pszErrorStr;
    DWORD cchErrorStr;
    DWORD cchNeeded;
};
static_assert(sizeof(DEVQUERYPRINT_INFO) == 40 && offsetof(DEVQUERYPRINT_INFO, cchNeeded) == 36,
              "DEVQUERYPRINT_INFO layout");

/* The upgrade record of DrvUpgradePrinter level 1. */
struct DRIVER_UPGRADE_INFO_1 {
    LPWSTR pPrinterName;
    LPWSTR pOldDriverDirectory;
};

/* Events of DrvPrinterEvent. */
#define PRINTER_EVENT_ADD_CONNECTION 1
#define PRINTER_EVENT_DELETE_CONNECTION 2
#define PRINTER_EVENT_INITIALIZE 3
#define PRINTER_EVENT_DELETE 4
#define PRINTER_EVENT_CACHE_REFRESH 5
#define PRINTER_EVENT_CACHE_DELETE 6

/* Query modes and profile flags of DrvQueryColorProfile. */
#define QCP_DEVICEPROFILE 0u
#define QCP_SOURCEPROFILE 1u
#define QCP_PROFILEMEMORY 1u
#define QCP_PROFILEDISK 2u

#endif /* PLAT_WINDDIUI_H */
