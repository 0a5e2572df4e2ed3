/*
 * The output channel of a job: every byte the rendering library produces
 * goes through OUT_Write into a 2,048-byte buffer and from there to the
 * channel's target, chosen by its mode:
 *   - printer: the spooler handle the engine gave, or a second spool job
 *     the channel opened on the same printer (output_spooler.cpp), fed in
 *     pieces of at most 1,000,000 bytes;
 *   - record: the spool temporary file of recorded pages, with a table of
 *     page records and a table of page positions (output_record.cpp);
 *   - file: a plain file such as a form overlay (output_file.cpp), whose
 *     failed writes ask the user in an OK/Cancel box whether to try again.
 * A failed or short spooler write fails the write (no box); a failed flush
 * loses its bytes.
 */
#ifndef TARVELGR_OUTPUT_CHANNEL_H
#define TARVELGR_OUTPUT_CHANNEL_H

#include "output_segment.h"
#include "output_table.h"
#include "spool_file.h"

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

/* Flags of OUT_FileOpen and OUT_OpenFile. */
enum : DWORD {
    OUT_FILE_CREATE = 1,    /* always a new, empty file (else an existing file is opened, or a new one made) */
    OUT_FILE_READ_ONLY = 2, /* read access only (else read and write) */
};

/* Resource string of the retry box text while a form file is written. */
inline constexpr DWORD OUT_IDS_FORM_WRITE_ERROR = 4;

/*
 * Size of the write buffer: small enough to stay in the first-level cache,
 * large enough that the one-value-per-call writes of the PCL XL encoder reach
 * the spooler in a few calls per page.
 */
inline constexpr DWORD OUT_BUFFER_SIZE = 2048;

/* Largest piece handed to the spooler in one call. */
inline constexpr DWORD OUT_MAX_PRINTER_PIECE = 1000000;

/* Longest printer name and document name kept for a second spool job, in characters. */
inline constexpr int OUT_MAX_PRINTER_NAME = 255;
inline constexpr int OUT_MAX_DOC_NAME = 256;

/* One per job, zero-filled from the global heap. */
struct OutputChannel {
    WORD mode;                     /* OUT_MODE_... */
    HANDLE target;                 /* spooler handle of the printer modes; none when closed */
    WORD firstPageIndex;           /* index of the first recorded page held in the tables */
    WORD pageCount;                /* recorded pages so far */
    GrowTable pageTable;           /* one page record per recorded page */
    DWORD fill;                    /* bytes waiting in the buffer */
    BYTE buffer[OUT_BUFFER_SIZE];  /* the write buffer */
    SpoolFile spoolFile;           /* the spool temporary file of recorded pages */
    HMODULE resourceModule;        /* module whose strings word the retry box */
    HANDLE file;                   /* target of the file modes; INVALID_HANDLE_VALUE when none */
    WCHAR fileDrive;               /* drive letter of the file target's path, ' ' when it has none */
    DWORD errorMessageId;          /* resource string of the file retry box's text */
    GrowTable pagePositions;       /* one PagePosition per recorded page */
    SegmentRecorder recorder;      /* side records of the page being recorded */
    ULONGLONG written;             /* bytes OUT_Write accepted since the channel was created */
};

/*
 * A new channel in mode closed, remembering `resourceModule` (may be null):
 * no file target, message id 0, empty tables, no spool file (and no
 * clean-up of old ones).  Returns the channel (free it with
 * OUT_FreeChannel), or null when memory is short.
 */
OutputChannel *OUT_CreateChannel(HMODULE resourceModule);

/*
 * Opens a closed `channel` on the engine's printer handle: deletes the
 * temporary files that earlier jobs left behind, then printer mode with an
 * empty buffer.  The handle stays the engine's; the channel never closes it.
 * Returns 0, or -1 for a missing channel or handle or a channel that is
 * already open.
 */
int OUT_OpenOnPrinter(OutputChannel *channel, HANDLE printer);

/*
 * Opens a second spool job on the printer of `printer`, named `docName`,
 * and makes it the target in printer mode (what was buffered for the old
 * target is sent to it first).  Returns 0, or -1 when no job could be
 * opened (the channel unchanged apart from the flush).
 */
int OUT_OpenNewJob(OutputChannel *channel, HANDLE printer, LPCWSTR docName);

/*
 * Flushes and ends the second spool job opened by OUT_OpenNewJob (a job
 * whose flush fails is deleted instead, never printed cut off); the
 * channel is closed with no target afterwards in every case, since the job's
 * handle is closed even when a step of ending it fails.  Returns 0, or -1
 * when the flush or a step of ending the job failed.
 */
int OUT_CloseNewJob(OutputChannel *channel);

/*
 * Abandons the second spool job opened by OUT_OpenNewJob: the buffered
 * bytes are dropped, the job is deleted with AbortPrinter and its handle
 * closed; the channel is closed with no target afterwards.  0, or -1 when a
 * step failed.
 */
int OUT_AbortNewJob(OutputChannel *channel);

/*
 * Appends `length` bytes.  While they fit the free space of the buffer they
 * are copied; otherwise the buffer is flushed and the bytes go straight to
 * the target.  Returns `length`, 0 for a length of 0, or -1 for a closed or
 * missing channel, missing bytes, a length above 0x7FFFFFFF, or a failed
 * write (a failed flush stops the write: the new bytes are not sent after
 * bytes that were lost).  A file target asks the user before failing.
 */
LONG OUT_Write(OutputChannel *channel, DWORD length, const void *bytes);

/*
 * Sends the buffered bytes to the target.  The buffer is empty afterwards
 * whatever happened, so a failed flush loses its bytes.  Returns 0 (also
 * for an empty buffer), or -1 for a closed or missing channel or a failed or
 * short write (a file target asks the user first).
 */
int OUT_Flush(OutputChannel *channel);

/*
 * Flushes, then switches to `mode` (0 to 5).  The switch happens even when
 * the flush fails.  Returns 0, or -1 for a missing channel, a current or
 * new mode outside 0 to 5, or a failed flush (its bytes are lost).
 */
int OUT_SetMode(OutputChannel *channel, WORD mode);

/*
 * Flushes and closes the channel: a file target is closed, the printer
 * target released (the engine's handle is not closed; a second spool job
 * is ended with OUT_CloseNewJob instead), and the mode becomes closed.
 * `commit` is accepted for targets that could discard an unfinished job;
 * the buffered bytes are sent either way.  Returns 0, or -1 when the channel
 * was missing or the flush failed (the channel is closed in both cases).
 */
int OUT_Close(OutputChannel *channel, BOOL commit);

/*
 * Closes the channel when it has a target, closes a file target, ends any
 * recording (tables freed, spool file deleted) and frees the channel.  Null
 * is ignored.
 */
void OUT_FreeChannel(OutputChannel *channel);

/* --- File modes (output_file.cpp) --- */

/*
 * Opens the file `path` (flags OUT_FILE_...), moves to its end and makes it
 * the target in file mode; *size (optional) receives its size.  What was
 * buffered for the old target is sent to it first.  Returns 0, or -1 when
 * the channel is missing or already has a file target, or the file cannot
 * be opened or positioned (nothing changed).
 */
int OUT_OpenFile(OutputChannel *channel, LPCWSTR path, ULONGLONG *size, DWORD flags);

/*
 * Flushes into the file target, reports its size in *size (optional), goes
 * back to printer mode (closed when the channel has no printer target) and
 * closes the file.  Returns 0, or -1 without a file target or when the
 * flush failed (the file is closed anyway).
 */
int OUT_CloseFile(OutputChannel *channel, ULONGLONG *size);

/*
 * In printer mode only: creates the file `path` (always a new, empty file)
 * and makes it the target in file mode.  Returns 0, or -1 in another mode,
 * with a file target already open, or when the file cannot be created.
 */
int OUT_OpenFileWhilePrinting(OutputChannel *channel, LPCWSTR path);

/*
 * Flushes into the file target, goes back to printer mode (closed when the
 * channel has no printer target) and closes the file.  Returns 0, or -1
 * without a file target or when the flush failed (the file is closed
 * anyway).
 */
int OUT_EndFileMode(OutputChannel *channel);

/* --- Record mode and page tables (output_record.cpp) --- */

/*
 * Starts a recording whose first page has index `firstPageIndex`: page count
 * 0, a page table of `recordSize`-byte records and a table of page
 * positions, both of `initialCapacity` entries, the segment recorder idle,
 * and a new spool file.  Returns 0, or -1 (both tables freed) when the
 * channel is missing or already recording, a size is 0, or memory or the
 * spool file cannot be had.
 */
int OUT_BeginRecording(OutputChannel *channel, WORD firstPageIndex, WORD recordSize, WORD initialCapacity);

/* Ends a recording: tables freed, spool file deleted.  Returns 0, or -1 when the spool file could not be deleted. */
int OUT_EndRecording(OutputChannel *channel);

/*
 * Opens the record of page `pageIndex`, which must be the next one (first +
 * count): flushes, grows the tables as needed, clears the page's record,
 * sets its position to {spool size, spool size, -1}, starts its side-record
 * chain and switches to record mode.  Returns 0, or -1 for another index
 * (nothing changed), a full table (65,535 pages), a spool file that is not
 * ready or a failed flush or chain start.
 */
int OUT_BeginPageRecord(OutputChannel *channel, DWORD pageIndex);

/*
 * Closes the page opened by OUT_BeginPageRecord: flushes into the spool
 * file, ends the side-record chain, sets the page's end offset, goes back to
 * printer mode and counts the page.  Returns 0, or -1 outside record mode
 * or without an open page chain, or when the flush or the chain's end fails.
 */
int OUT_EndPageRecord(OutputChannel *channel);

/*
 * Copies `size` bytes of `record` into the page table at `pageIndex`, which
 * must lie in [first, first + capacity); `size` must equal the table's
 * record size.  Returns 0, or -1.
 */
int OUT_PutPageRecord(OutputChannel *channel, DWORD pageIndex, DWORD size, const void *record);

/* Reads the record of `pageIndex` into `record`, with the rules of OUT_PutPageRecord.  Returns 0, or -1. */
int OUT_GetPageRecord(OutputChannel *channel, DWORD pageIndex, DWORD size, void *record);

/*
 * Positions the side-record reader on recorded page `pageIndex`, which must
 * lie in [first, first + count).  Returns 0, or -1.
 */
int OUT_GetPagePosition(OutputChannel *channel, DWORD pageIndex);

/*
 * Adds a side record of `type` with `length` payload bytes to the page
 * being recorded: the spool file must be ready; the buffer is flushed first.
 * Returns 0, or -1.
 */
int OUT_AddSideRecord(OutputChannel *channel, WORD type, WORD length, const void *payload);

/* Appends `length` bytes at the end of the spool file.  Returns 0, or -1 when not all of them were written. */
int OUT_SpoolAppend(OutputChannel *channel, DWORD length, const void *bytes);

/* --- Printer back-end (output_spooler.cpp) --- */

/* The engine's printer handle as the channel's target: used as it is. */
HANDLE OUT_AttachPrinterHandle(HANDLE printer);

/* Releases a target taken with OUT_AttachPrinterHandle: the engine owns the handle, so nothing is closed. */
void OUT_DetachPrinterHandle(HANDLE printer);

/*
 * Opens a second spool job on the printer that `printer` is open on: the
 * printer's name (GetPrinterW level 1, at most 255 characters), a new handle
 * on it, a RAW job named `docName` (at most 256 characters kept) and its
 * first page.  Returns the new handle (end it with OUT_PrinterCloseJob), or
 * null when the printer's name cannot be read or allocated, the printer
 * cannot be opened or the job cannot be started (nothing is left open).
 * Never answers `printer` itself.
 */
HANDLE OUT_PrinterOpenJob(HANDLE printer, LPCWSTR docName);

/*
 * Ends the page and the job of a handle from OUT_PrinterOpenJob and closes
 * the handle; all three steps are taken even when one fails.  Returns 0
 * when all three succeeded, else -1.
 */
int OUT_PrinterCloseJob(HANDLE printer);

/*
 * Writes `length` bytes to the spooler on `printer`, in pieces of exactly
 * 1,000,000 bytes while more remain, then the rest in one piece.  A piece
 * that fails or writes fewer bytes than asked fails the whole write.
 * Returns 0 with *written = length, or -1 with *written = 0 (also without a
 * handle).  A length of 0 succeeds without a call.
 */
int OUT_PrinterWrite(HANDLE printer, const BYTE *bytes, DWORD length, DWORD *written);

/*
 * The spooler writer the printer back-end calls, with WritePrinter's
 * contract: write `length` bytes on `printer`, store the count written, and
 * answer TRUE, or FALSE on failure.
 */
typedef BOOL (*OutPrinterWriter)(HANDLE printer, const void *bytes, DWORD length, DWORD *written);

/*
 * TEST ONLY: routes the printer back-end's writes to `writer` instead of the
 * spooler's WritePrinter (null goes back to WritePrinter).  Tests and
 * benchmarks of the PCL XL writer use it to capture the stream without a
 * printer.  Process-wide; set it before any job writes and clear it
 * afterwards.
 */
void OUT_SetTestSink(OutPrinterWriter writer);

/* --- File back-end (output_file.cpp) --- */

/*
 * Opens `path` shared with no one, with normal attributes: read-only with
 * OUT_FILE_READ_ONLY, else read and write; always a new file with
 * OUT_FILE_CREATE, else opened or created.  Returns the handle (close it
 * with OUT_FileClose) or INVALID_HANDLE_VALUE.
 */
HANDLE OUT_FileOpen(LPCWSTR path, DWORD flags);

/* Closes a file handle; INVALID_HANDLE_VALUE and null are ignored. */
void OUT_FileClose(HANDLE file);

/* Reads up to `n` bytes; *read receives the count (0 on failure).  Returns 0, or -1. */
int OUT_FileRead(HANDLE file, void *buffer, DWORD n, DWORD *read);

/*
 * Writes `n` bytes at the file pointer; *written receives the count (0 when
 * the call fails).  A length of 0 succeeds without a call.  Returns 0 when
 * the call succeeded (the count may still be short), or -1.
 */
int OUT_FileWrite(HANDLE file, const void *bytes, DWORD n, DWORD *written);

/* Moves the file pointer to `offset` from the start.  Returns the new position, or -1. */
LONGLONG OUT_FileSeek(HANDLE file, ULONGLONG offset);

/* Moves the file pointer to the end.  Returns the new position (the size), or -1 (also for an invalid handle). */
LONGLONG OUT_FileSeekEnd(HANDLE file);

/*
 * Makes a new temporary file (empty) and writes its full name into `path`
 * (MAX_PATH characters), prefix "QZP", as UTL_MakeTempFileName makes it
 * (temporary, Windows, system, then current folder; "c:\qzmrd.tmp" when
 * none will take one).  Returns 0, or -1 for a null `path`.
 */
int OUT_TempFileName(LPWSTR path);

/* --- Retry box of the file targets (output_box.cpp) --- */

/*
 * Asks the user whether to write again after a failed or short write to
 * `channel`'s file target: caption resource string 6 (at most 15
 * characters, "Error" when missing), text the resource string named by the
 * channel's error message id (at most 255 characters; the spool file's
 * built-in text with the file's drive letter when missing).  Returns IDOK,
 * or IDCANCEL (also when the box cannot be shown or its strings allocated).
 */
int OUT_AskFileRetry(const OutputChannel *channel);

/*
 * The box itself, shared by the file targets and the spool file: loads the
 * caption (string 6 of `module`, at most `captionMax` characters, else
 * "Error") and the text (string `textId`, at most 255 characters, else the
 * built-in spool-file text), puts `drive` in place of "%c" in the text, and
 * shows them with OK and Cancel, the information icon, brought to the
 * foreground, over the active window.  Returns IDOK or IDCANCEL.
 */
int OUT_ShowRetryBox(HMODULE module, int captionMax, UINT textId, WCHAR drive);

/* The upper-case drive letter of a "X:..." path, else ' '. */
WCHAR OUT_DriveLetter(LPCWSTR path);

#endif /* TARVELGR_OUTPUT_CHANNEL_H */
