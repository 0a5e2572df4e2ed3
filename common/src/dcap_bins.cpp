/*
 * Device capabilities of trays (DC_BINS, DC_BINNAMES): the paper sources
 * the constraint engine lets through for the current settings.  The engine
 * is not built yet: both indexes answer -1 with ERROR_CALL_NOT_IMPLEMENTED
 * and a trace line.
 */
#include "dcap_internal.h"

#include "tarvel/log_trace.h"

#include <plat/error.h>

DCAP_HANDLER(DCAP_Bins)
{
    (void)printer, (void)output, (void)sources, (void)devmode, (void)printerData, (void)context;
    LOG_Printf(u"DCAP_Bins: not built yet (index %d waits for the constraint engine)", int(index));
    SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
    return -1;
}
