/*
 * Printer and driver information from the spooler (GetPrinterW,
 * GetPrinterDriverW) with the two-call protocol: ask for the size, take a
 * zero-filled buffer of that size, fetch.  Anything unexpected on the way
 * gives null, never a half-filled buffer.
 */
#include <tarvel/stores/pdt_info.h>

#include <plat/error.h>
#include <plat/memory.h>
#include <plat/spooler.h>

namespace {

/* One spooler query: buffer, its size, the size needed. */
using InfoCall = BOOL (*)(HANDLE printer, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed);

BYTE *fetch_info(HANDLE printer, DWORD level, InfoCall call)
{
    if (!printer)
        return nullptr;
    DWORD needed = 0;
    /* The size query succeeds for nothing: a record always has its fixed part. */
    if (call(printer, level, nullptr, 0, &needed) || GetLastError() != ERROR_INSUFFICIENT_BUFFER || needed == 0)
        return nullptr;
    auto *buffer = static_cast<BYTE *>(GlobalAlloc(GPTR, needed));
    if (!buffer)
        return nullptr;
    DWORD again = 0;
    if (!call(printer, level, buffer, needed, &again)) {
        GlobalFree(buffer);
        return nullptr;
    }
    return buffer;
}

BOOL printer_call(HANDLE printer, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed)
{
    return GetPrinterW(printer, level, buffer, size, needed);
}

BOOL driver_call(HANDLE printer, DWORD level, LPBYTE buffer, DWORD size, LPDWORD needed)
{
    return GetPrinterDriverW(printer, nullptr, level, buffer, size, needed);
}

} // namespace

BYTE *PDT_GetPrinterInfo(HANDLE printer, DWORD level)
{
    return fetch_info(printer, level, printer_call);
}

BYTE *PDT_GetDriverInfo(HANDLE printer, DWORD level)
{
    return fetch_info(printer, level, driver_call);
}
