/*
 * Calls of the device context into printer-wide settings code of the common
 * library that is not built yet, behind one function each so that wiring
 * one in touches one place (pdev_pending.cpp).
 */
#ifndef TARVELGR_PDEV_PENDING_H
#define TARVELGR_PDEV_PENDING_H

#include <tarvel/mdl_context.h>

#include <plat/types.h>

/*
 * Loads the printer's current PrinterData record (6,148 bytes) into
 * `printerData`: the stored record, upgraded when it is older, else the
 * defaults ("DummyName"), with the per-model configuration's enforced values
 * applied.  1 or 0.  Until the chunked printer-data store and the upgrade
 * exist, a printer that stores a PrinterData record fails (0,
 * ERROR_CALL_NOT_IMPLEMENTED and a trace line); one that stores none gets
 * the defaults, as it would then.
 */
BOOL UPG_LoadPrinterData(HANDLE printer, void *printerData, ModelContext *context);

#endif /* TARVELGR_PDEV_PENDING_H */
