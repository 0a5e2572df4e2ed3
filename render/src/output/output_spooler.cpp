/*
 * The printer back-end of the output channel: the engine's spooler handle
 * as the channel's target, a second RAW spool job on the same printer (one
 * per copy set), and the one function that hands job bytes to the spooler.
 * Large blocks go in pieces of at most 1,000,000 bytes, and a piece that
 * fails or comes back short fails the write, so the stream never silently
 * loses bytes.
 */
#include "output_channel.h"

#include <plat/memory.h>
#include <plat/spooler.h>
#include <plat/text.h>

#include <atomic>

namespace {

/* The test writer that replaces WritePrinter; null in a real job. */
std::atomic<OutPrinterWriter> g_testWriter{nullptr};

/*
 * The name of the printer `printer` is open on, from GetPrinterW level 1
 * (size first, then the data) into `name` (OUT_MAX_PRINTER_NAME + 1
 * characters).  False when it cannot be read or its buffer allocated.
 */
bool out_PrinterName(HANDLE printer, LPWSTR name)
{
    DWORD needed = 0;
    GetPrinterW(printer, 1, nullptr, 0, &needed);
    if (needed < sizeof(PRINTER_INFO_1W))
        return false;
    auto *info = static_cast<BYTE *>(GlobalAlloc(GPTR, needed));
    if (!info)
        return false;
    bool ok = GetPrinterW(printer, 1, info, needed, &needed) != FALSE;
    const WCHAR *found = ok ? reinterpret_cast<const PRINTER_INFO_1W *>(info)->pName : nullptr;
    ok = found && found[0];
    if (ok)
        lstrcpynW(name, found, OUT_MAX_PRINTER_NAME + 1);
    GlobalFree(info);
    return ok;
}

} // namespace

void OUT_SetTestSink(OutPrinterWriter writer)
{
    g_testWriter.store(writer, std::memory_order_relaxed);
}

HANDLE OUT_AttachPrinterHandle(HANDLE printer)
{
    return printer;
}

void OUT_DetachPrinterHandle(HANDLE printer)
{
    (void)printer; /* the engine owns the handle */
}

HANDLE OUT_PrinterOpenJob(HANDLE printer, LPCWSTR docName)
{
    if (!printer)
        return nullptr;
    /* Without the printer's name there is no second job: answering the
       engine's own handle instead would let OUT_PrinterCloseJob end the
       engine's job and close its handle. */
    WCHAR name[OUT_MAX_PRINTER_NAME + 1];
    if (!out_PrinterName(printer, name))
        return nullptr;
    HANDLE job = nullptr;
    if (!OpenPrinterW(name, &job, nullptr))
        return nullptr;
    WCHAR doc[OUT_MAX_DOC_NAME + 1];
    lstrcpynW(doc, docName ? docName : u"", OUT_MAX_DOC_NAME + 1);
    WCHAR dataType[] = u"RAW";
    DOC_INFO_1W info{doc, nullptr, dataType};
    if (StartDocPrinterW(job, 1, reinterpret_cast<const BYTE *>(&info)) == 0) {
        ClosePrinter(job);
        return nullptr;
    }
    if (!StartPagePrinter(job)) {
        AbortPrinter(job);
        ClosePrinter(job);
        return nullptr;
    }
    return job;
}

int OUT_PrinterCloseJob(HANDLE printer)
{
    if (!printer)
        return -1;
    bool ok = EndPagePrinter(printer) != FALSE;
    ok = EndDocPrinter(printer) != FALSE && ok;
    ok = ClosePrinter(printer) != FALSE && ok;
    return ok ? 0 : -1;
}

int OUT_OpenNewJob(OutputChannel *channel, HANDLE printer, LPCWSTR docName)
{
    if (!channel || !printer)
        return -1;
    if (channel->mode != OUT_MODE_CLOSED)
        OUT_Flush(channel); /* the old target's bytes are its own; a failure loses them there */
    channel->fill = 0;
    HANDLE job = OUT_PrinterOpenJob(printer, docName);
    if (!job)
        return -1;
    channel->target = job;
    channel->mode = OUT_MODE_PRINTER;
    return 0;
}

int OUT_CloseNewJob(OutputChannel *channel)
{
    if (!channel || !channel->target)
        return -1;
    int rc = channel->mode == OUT_MODE_CLOSED ? 0 : OUT_Flush(channel);
    /* A job whose last bytes did not go out is deleted, not ended: ending it would print it cut off. */
    if (rc != 0)
        return OUT_AbortNewJob(channel), -1;
    if (OUT_PrinterCloseJob(channel->target) != 0)
        rc = -1;
    /* The handle is closed even when ending the job failed: keeping it as
       the target would leave the channel writing to a dead handle. */
    channel->target = nullptr;
    channel->mode = OUT_MODE_CLOSED;
    channel->fill = 0;
    return rc;
}

int OUT_AbortNewJob(OutputChannel *channel)
{
    if (!channel || !channel->target)
        return -1;
    bool ok = AbortPrinter(channel->target) != FALSE;
    ok = ClosePrinter(channel->target) != FALSE && ok;
    channel->target = nullptr;
    channel->mode = OUT_MODE_CLOSED;
    channel->fill = 0;
    return ok ? 0 : -1;
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
    OutPrinterWriter writer = g_testWriter.load(std::memory_order_relaxed);
    if (!writer)
        writer = WritePrinter;
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
