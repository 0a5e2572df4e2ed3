/*
 * Calls of the device context into the printer-wide settings code of the
 * common library that is not built yet, behind one function each so that
 * wiring one in touches one place (pdev_pending.cpp).
 */
#ifndef TARVELGR_PDEV_PENDING_H
#define TARVELGR_PDEV_PENDING_H

#include <tarvel/mdl_context.h>

#include <plat/types.h>

/*
 * Loads the printer's current PrinterData record (6,148 bytes) into
 * `printerData`: the stored record, upgraded when it is older, else the
 * defaults, with the per-model configuration's enforced values applied.
 * 1 or 0.
 */
BOOL UPG_LoadPrinterData(HANDLE printer, void *printerData, ModelContext *context);

/*
 * Test-only: makes UPG_LoadPrinterData call `loader` instead (null: the
 * library's own again), so that the device context can be tested before the
 * printer-wide settings code exists.
 */
typedef BOOL (*PdevPrinterDataLoader)(HANDLE printer, void *printerData, ModelContext *context);
void PDEV_SetPrinterDataLoaderForTest(PdevPrinterDataLoader loader);

#endif /* TARVELGR_PDEV_PENDING_H */
