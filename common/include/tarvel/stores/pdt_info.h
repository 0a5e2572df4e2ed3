/*
 * The printer's and its driver's information from the spooler, fetched with
 * the spooler's two-call protocol: a first call with no buffer that must
 * fail with ERROR_INSUFFICIENT_BUFFER and say the size needed, then the
 * real call into a buffer of that size.
 */
#ifndef TARVEL_PDT_INFO_H
#define TARVEL_PDT_INFO_H

#include <plat/types.h>

/*
 * GetPrinterW of `printer` at `level` into a new zero-filled GlobalAlloc
 * buffer (a PRINTER_INFO_<level>W record with its strings behind it).
 * Returns the buffer, which the caller frees with GlobalFree, or null when
 * the printer handle is null, the size query does not fail with
 * ERROR_INSUFFICIENT_BUFFER, memory runs out or the second call fails.
 */
BYTE *PDT_GetPrinterInfo(HANDLE printer, DWORD level);

/*
 * GetPrinterDriverW of `printer`'s driver (this machine's environment) at
 * `level`, as PDT_GetPrinterInfo: a new GlobalAlloc buffer holding a
 * DRIVER_INFO_<level>W record, freed by the caller with GlobalFree, or null.
 */
BYTE *PDT_GetDriverInfo(HANDLE printer, DWORD level);

#endif /* TARVEL_PDT_INFO_H */
