/*
 * The job's output channel: the 2,048-byte write buffer in front of the
 * channel's target, and the channel's life from creation to release.  The
 * targets themselves are back-ends of their own (the spooler in
 * output_spooler.cpp).
 */
#include "output_channel.h"

#include <plat/memory.h>

#include <cstring>

namespace {

/* Sends `length` bytes to the channel's current target; 0 or -1. */
int out_SendToTarget(OutputChannel *channel, const BYTE *bytes, DWORD length)
{
    switch (channel->mode) {
    case OUT_MODE_PRINTER: {
        DWORD written = 0;
        return OUT_PrinterWrite(channel->target, bytes, length, &written);
    }
    default:
        /* Record and file targets are not available in this build of the channel. */
        return -1;
    }
}

} // namespace

OutputChannel *OUT_CreateChannel(HMODULE resourceModule)
{
    auto *channel = static_cast<OutputChannel *>(GlobalAlloc(GPTR, sizeof(OutputChannel)));
    if (!channel)
        return nullptr;
    channel->mode = OUT_MODE_CLOSED;
    channel->resourceModule = resourceModule;
    return channel;
}

int OUT_OpenOnPrinter(OutputChannel *channel, HANDLE printer)
{
    if (!channel || !printer)
        return -1;
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
        std::memcpy(channel->buffer + channel->fill, bytes, length);
        channel->fill += length;
        return LONG(length);
    }
    /* Too large for the free space: empty the buffer, then send these bytes
       as they are, without copying them. */
    if (OUT_Flush(channel) != 0)
        return -1;
    if (out_SendToTarget(channel, static_cast<const BYTE *>(bytes), length) != 0)
        return -1;
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

int OUT_Close(OutputChannel *channel, BOOL commit)
{
    (void)commit;
    if (!channel)
        return -1;
    int rc = 0;
    if (channel->mode != OUT_MODE_CLOSED)
        rc = OUT_Flush(channel);
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
    if (channel->target)
        OUT_Close(channel, TRUE);
    GlobalFree(channel);
}
