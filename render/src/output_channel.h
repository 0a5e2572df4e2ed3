/*
 * The output channel of a job: every byte the rendering library produces
 * goes through OUT_Write into a 2,048-byte buffer and from there to the
 * channel's target.  The printer target is the spooler handle the engine
 * gave; its back-end (OUT_PrinterWrite, output_spooler.cpp) hands the bytes
 * on in pieces of at most 1,000,000 bytes.
 *
 * The record mode (spool temporary file and page tables) and the file
 * targets join the channel with the spool-file and file back-ends; until
 * then only the printer mode can be opened, and a write in any other mode
 * fails.
 */
#ifndef TARVELGR_OUTPUT_CHANNEL_H
#define TARVELGR_OUTPUT_CHANNEL_H

#include <plat/types.h>

/* Channel modes. */
enum : WORD {
    OUT_MODE_CLOSED = 0,
    OUT_MODE_PRINTER = 1,
    OUT_MODE_RECORD = 2,
    OUT_MODE_FILE = 3,
    OUT_MODE_PRINTER_AND_FILE = 4,
    OUT_MODE_FILE_ONLY = 5,
};

/*
 * Size of the write buffer: small enough to stay in the first-level cache,
 * large enough that the one-value-per-call writes of the PCL XL encoder reach
 * the spooler in a few calls per page.
 */
inline constexpr DWORD OUT_BUFFER_SIZE = 2048;

/* Largest piece handed to the spooler in one call. */
inline constexpr DWORD OUT_MAX_PRINTER_PIECE = 1000000;

/*
 * One per job, zero-filled from the global heap.  The spool-file state, the
 * file target, the retry-box message id and the page tables of recorded
 * pages are added with the record and file modes.
 */
struct OutputChannel {
    WORD mode;                      /* OUT_MODE_... */
    HANDLE target;                  /* spooler handle in the printer modes; none when closed */
    HMODULE resourceModule;         /* module whose strings word the retry box */
    DWORD fill;                     /* bytes waiting in the buffer */
    BYTE buffer[OUT_BUFFER_SIZE];   /* the write buffer */
};

/*
 * A new channel in mode closed, remembering `resourceModule` (may be null).
 * Returns the channel (free it with OUT_FreeChannel), or null when memory is
 * short.
 */
OutputChannel *OUT_CreateChannel(HMODULE resourceModule);

/*
 * Opens `channel` on the engine's printer handle: printer mode, empty
 * buffer.  The handle stays the engine's; the channel never closes it.
 * Returns 0, or -1 for a missing channel or handle.
 */
int OUT_OpenOnPrinter(OutputChannel *channel, HANDLE printer);

/*
 * Appends `length` bytes.  While they fit the free space of the buffer they
 * are copied; otherwise the buffer is flushed and the bytes go straight to
 * the target.  Returns `length`, 0 for a length of 0, or -1 for a closed or
 * missing channel, missing bytes, a length above 0x7FFFFFFF, or a failed
 * write (a failed flush stops the write: the new bytes are not sent after
 * bytes that were lost).
 */
LONG OUT_Write(OutputChannel *channel, DWORD length, const void *bytes);

/*
 * Sends the buffered bytes to the target.  The buffer is empty afterwards
 * whatever happened, so a failed flush loses its bytes.  Returns 0 (also
 * for an empty buffer), or -1 for a closed or missing channel or a failed or
 * short write.
 */
int OUT_Flush(OutputChannel *channel);

/*
 * Flushes the buffer, releases the target (the engine's handle is not
 * closed) and sets mode closed.  `commit` is accepted for the later targets
 * that can discard an unfinished job; the buffered bytes are sent either
 * way.  Returns 0, or -1 when the channel was missing or the flush failed
 * (the channel is closed in both cases).
 */
int OUT_Close(OutputChannel *channel, BOOL commit);

/* Closes the channel when it has a target and frees it.  Null is ignored. */
void OUT_FreeChannel(OutputChannel *channel);

/* --- Printer back-end (output_spooler.cpp) --- */

/* The engine's printer handle as the channel's target: used as it is. */
HANDLE OUT_AttachPrinterHandle(HANDLE printer);

/* Releases a target taken with OUT_AttachPrinterHandle: the engine owns the handle, so nothing is closed. */
void OUT_DetachPrinterHandle(HANDLE printer);

/*
 * Writes `length` bytes to the spooler on `printer`, in pieces of exactly
 * 1,000,000 bytes while more remain, then the rest in one piece.  A piece
 * that fails or writes fewer bytes than asked fails the whole write.
 * Returns 0 with *written = length, or -1 with *written = 0 (also without a
 * handle, or while no spooler writer is bound: last error
 * ERROR_CALL_NOT_IMPLEMENTED).  A length of 0 succeeds without a call.
 */
int OUT_PrinterWrite(HANDLE printer, const BYTE *bytes, DWORD length, DWORD *written);

/*
 * The spooler writer the printer back-end calls, with WritePrinter's
 * contract: write `length` bytes on `printer`, store the count written, and
 * answer TRUE, or FALSE on failure.
 */
typedef BOOL (*OutPrinterWriter)(HANDLE printer, const void *bytes, DWORD length, DWORD *written);

/*
 * TEST ONLY: routes the printer back-end's writes to `writer` (null removes
 * it).  Until the spooler's WritePrinter is bound, this is the only way the
 * back-end writes anything; tests and benchmarks use it to capture the
 * stream and to inject failed and short writes.  Process-wide; set it
 * before any job writes and clear it afterwards.
 */
void OUT_SetTestSink(OutPrinterWriter writer);

#endif /* TARVELGR_OUTPUT_CHANNEL_H */
