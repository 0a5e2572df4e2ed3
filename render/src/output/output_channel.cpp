/*
 * The job's output channel: the 2,048-byte write buffer in front of the
 * channel's target, the choice of target by mode, and the channel's life
 * from creation to release.  The targets are back-ends of their own: the
 * spooler (output_spooler.cpp), the spool file of recorded pages
 * (output_record.cpp) and plain files (output_file.cpp).
 */
#include "output_channel.h"

#include <plat/memory.h>

#include <cstring>

namespace {

/* Copies 1-16 bytes with fixed-size moves that overlap in the middle: most
   values the stream writer sends are this small, and a library call per value
   would cost more than the copy. */
inline void out_CopySmall(BYTE *to, const BYTE *from, DWORD length)
{
    if (length >= 8) {
        std::memcpy(to, from, 8);
        std::memcpy(to + length - 8, from + length - 8, 8);
    } else if (length >= 4) {
        std::memcpy(to, from, 4);
        std::memcpy(to + length - 4, from + length - 4, 4);
    } else {
        to[0] = from[0];
        to[length / 2] = from[length / 2];
        to[length - 1] = from[length - 1];
    }
}

/* A file target write with the retry box on failure: 0, or -1 when the user cancelled. */
int out_WriteFileTarget(OutputChannel *channel, const BYTE *bytes, DWORD length)
{
    if (channel->file == INVALID_HANDLE_VALUE)
        return -1; /* a file mode without a file: nothing the user could mend */
    while (length > 0) {
        DWORD written = 0;
        if (OUT_FileWrite(channel->file, bytes, length, &written) == 0 && written >= length)
            return 0;
        /* Whatever the failed call wrote stays; only the rest is tried again. */
        if (written > length)
            written = length;
        bytes += written;
        length -= written;
        if (OUT_AskFileRetry(channel) != IDOK)
            return -1;
    }
    return 0;
}

/* Sends `length` bytes to the channel's current target; 0 or -1. */
int out_SendToTarget(OutputChannel *channel, const BYTE *bytes, DWORD length)
{
    int rc = 0;
    switch (channel->mode) {
    case OUT_MODE_RECORD:
        return OUT_SpoolAppend(channel, length, bytes);
    case OUT_MODE_PRINTER:
    case OUT_MODE_PRINTER_AND_FILE: {
        DWORD written = 0;
        if (OUT_PrinterWrite(channel->target, bytes, length, &written) != 0)
            rc = -1;
        if (channel->mode == OUT_MODE_PRINTER)
            return rc;
        break;
    }
    case OUT_MODE_FILE:
    case OUT_MODE_FILE_ONLY:
        break;
    default:
        return -1;
    }
    if (out_WriteFileTarget(channel, bytes, length) != 0)
        rc = -1;
    return rc;
}

} // namespace

OutputChannel *OUT_CreateChannel(HMODULE resourceModule)
{
    auto *channel = static_cast<OutputChannel *>(GlobalAlloc(GPTR, sizeof(OutputChannel)));
    if (!channel)
        return nullptr;
    channel->mode = OUT_MODE_CLOSED;
    channel->resourceModule = resourceModule;
    channel->file = INVALID_HANDLE_VALUE;
    channel->fileDrive = u' ';
    channel->errorMessageId = 0;
    OUT_InitSpoolFile(&channel->spoolFile, FALSE, resourceModule);
    SEG_Init(&channel->recorder);
    return channel;
}

int OUT_OpenOnPrinter(OutputChannel *channel, HANDLE printer)
{
    if (!channel || !printer || channel->mode != OUT_MODE_CLOSED)
        return -1;
    /* A new job: files that an earlier job left behind go now.  The
       channel's own spool file (if a recording is still held) is kept. */
    if (channel->spoolFile.file == INVALID_HANDLE_VALUE)
        OUT_InitSpoolFile(&channel->spoolFile, TRUE, channel->resourceModule);
    else
        OUT_DeleteStaleTempFiles();
    channel->target = OUT_AttachPrinterHandle(printer);
    channel->mode = OUT_MODE_PRINTER;
    channel->fill = 0;
    return 0;
}

LONG OUT_Write(OutputChannel *channel, DWORD length, const void *bytes)
{
    if (!channel || channel->mode == OUT_MODE_CLOSED)
        return -1;
    if (length == 0)
        return 0;
    if (!bytes || length > 0x7FFFFFFFu)
        return -1;
    if (length <= OUT_BUFFER_SIZE - channel->fill) {
        if (length <= 16)
            out_CopySmall(channel->buffer + channel->fill, static_cast<const BYTE *>(bytes), length);
        else
            std::memcpy(channel->buffer + channel->fill, bytes, length);
        channel->fill += length;
        channel->written += length;
        return LONG(length);
    }
    /* Too large for the free space: empty the buffer, then send these bytes
       as they are, without copying them. */
    if (OUT_Flush(channel) != 0)
        return -1;
    if (out_SendToTarget(channel, static_cast<const BYTE *>(bytes), length) != 0)
        return -1;
    channel->written += length;
    return LONG(length);
}

int OUT_Flush(OutputChannel *channel)
{
    if (!channel || channel->mode == OUT_MODE_CLOSED)
        return -1;
    if (channel->fill == 0)
        return 0;
    int rc = out_SendToTarget(channel, channel->buffer, channel->fill);
    channel->fill = 0;
    return rc;
}

int OUT_SetMode(OutputChannel *channel, WORD mode)
{
    if (!channel || channel->mode > OUT_MODE_FILE_ONLY || mode > OUT_MODE_FILE_ONLY)
        return -1;
    int rc = 0;
    if (channel->mode != OUT_MODE_CLOSED)
        rc = OUT_Flush(channel);
    channel->fill = 0;
    channel->mode = mode;
    return rc;
}

int OUT_Close(OutputChannel *channel, BOOL commit)
{
    (void)commit;
    if (!channel)
        return -1;
    int rc = 0;
    if (channel->mode != OUT_MODE_CLOSED)
        rc = OUT_Flush(channel);
    OUT_FileClose(channel->file);
    channel->file = INVALID_HANDLE_VALUE;
    if (channel->target)
        OUT_DetachPrinterHandle(channel->target);
    channel->target = nullptr;
    channel->mode = OUT_MODE_CLOSED;
    channel->fill = 0;
    return rc;
}

void OUT_FreeChannel(OutputChannel *channel)
{
    if (!channel)
        return;
    if (channel->target || channel->mode != OUT_MODE_CLOSED)
        OUT_Close(channel, TRUE);
    OUT_FileClose(channel->file);
    OUT_EndRecording(channel);
    GlobalFree(channel);
}
