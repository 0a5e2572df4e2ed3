/*
 * The device context's calls into printer-wide settings code that is not
 * built yet (see pdev_pending.h).
 */
#include "pdev_pending.h"

#include <tarvel/cfg_model.h>
#include <tarvel/fid_defaults.h>
#include <tarvel/log_trace.h>
#include <tarvel/setting_layout.h>

#include <plat/error.h>
#include <plat/spooler.h>

#include <cstring>

namespace {

/* The printer name the defaults of a PrinterData record are made for. */
constexpr WCHAR kDefaultsPrinterName[] = u"DummyName";

/* True when the printer stores a PrinterData record (its chunked blob's size value exists). */
bool stores_printer_data(HANDLE printer)
{
    DWORD type = 0, needed = 0;
    DWORD r = GetPrinterDataW(printer, u"PrinterDataSize", &type, nullptr, 0, &needed);
    return r != ERROR_FILE_NOT_FOUND;
}

} // namespace

BOOL UPG_LoadPrinterData(HANDLE printer, void *printerData, ModelContext *context)
{
    if (!printer || !printerData || !context)
        return FALSE;
    if (stores_printer_data(printer)) {
        LOG_Printf(u"%s: not built yet", u"UPG_LoadPrinterData (stored record)");
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return FALSE;
    }
    std::memset(printerData, 0, SETTINGS_PRINTERDATA_SIZE);
    if (!FID_InitDefaults(context, nullptr, printerData, kDefaultsPrinterName))
        return FALSE;
    CFG_ApplySpecials(context->specials, nullptr, printerData, CFG_APPLY_ENFORCED);
    return TRUE;
}
