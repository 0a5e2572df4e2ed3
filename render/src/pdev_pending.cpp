/*
 * The device context's calls into printer-wide settings code that is not
 * built yet (see pdev_pending.h).  Until it is, loading a printer's
 * PrinterData fails visibly, so no device context is made on made-up
 * printer-wide settings.
 */
#include "pdev_pending.h"

#include <tarvel/log_trace.h>

#include <plat/error.h>

namespace {

PdevPrinterDataLoader g_loader = nullptr;

} // namespace

BOOL UPG_LoadPrinterData(HANDLE printer, void *printerData, ModelContext *context)
{
    if (g_loader)
        return g_loader(printer, printerData, context);
    LOG_Printf(u"%s: not built yet", u"UPG_LoadPrinterData");
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return FALSE;
}

void PDEV_SetPrinterDataLoaderForTest(PdevPrinterDataLoader loader) { g_loader = loader; }
