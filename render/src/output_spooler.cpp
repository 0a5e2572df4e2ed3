/*
 * The printer back-end of the output channel: the engine's spooler handle
 * as the channel's target, and the one function that hands job bytes to the
 * spooler.  Large blocks go in pieces of at most 1,000,000 bytes, and a
 * piece that fails or comes back short fails the write, so the stream never
 * silently loses bytes.
 *
 * The spooler writer is bound through OUT_SetTestSink until the spooler's
 * WritePrinter is available to this library; without a writer every write
 * fails with ERROR_CALL_NOT_IMPLEMENTED.
 */
#include "output_channel.h"

#include <plat/error.h>

#include <atomic>

namespace {

std::atomic<OutPrinterWriter> g_printerWriter{nullptr};

} // namespace

void OUT_SetTestSink(OutPrinterWriter writer)
{
    g_printerWriter.store(writer, std::memory_order_relaxed);
}

HANDLE OUT_AttachPrinterHandle(HANDLE printer)
{
    return printer;
}

void OUT_DetachPrinterHandle(HANDLE printer)
{
    (void)printer; /* the engine owns the handle */
}

int OUT_PrinterWrite(HANDLE printer, const BYTE *bytes, DWORD length, DWORD *written)
{
    DWORD ignored = 0;
    if (!written)
        written = &ignored;
    *written = 0;
    if (!printer || (length != 0 && !bytes))
        return -1;
    if (length == 0)
        return 0;
    OutPrinterWriter writer = g_printerWriter.load(std::memory_order_relaxed);
    if (!writer) {
        SetLastError(ERROR_CALL_NOT_IMPLEMENTED);
        return -1;
    }
    DWORD done = 0;
    while (done < length) {
        DWORD piece = length - done;
        if (piece > OUT_MAX_PRINTER_PIECE)
            piece = OUT_MAX_PRINTER_PIECE;
        DWORD count = 0;
        if (!writer(printer, bytes + done, piece, &count) || count != piece)
            return -1;
        done += piece;
    }
    *written = done;
    return 0;
}
