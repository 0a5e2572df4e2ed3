/*
 * The record mode of the output channel: while a page is recorded its bytes
 * go to the spool temporary file instead of the printer, and the channel
 * keeps two tables indexed by page (counted from the recording's first page
 * index): the page records the sheet pipeline stores, and where each page
 * lies in the spool file.  The side records inside a page are the segment
 * recorder's (output_segment.h).
 */
#include "output_channel.h"

namespace {

/* The slot of `pageIndex` in the tables, or false when it lies before the first page or past `limit` slots. */
bool rec_Slot(const OutputChannel *channel, DWORD pageIndex, DWORD limit, DWORD *slot)
{
    if (pageIndex < channel->firstPageIndex)
        return false;
    *slot = pageIndex - channel->firstPageIndex;
    return *slot < limit;
}

/* Frees both tables and makes the recorder idle. */
void rec_FreeTables(OutputChannel *channel)
{
    GT_Free(&channel->pageTable);
    GT_Free(&channel->pagePositions);
    SEG_Init(&channel->recorder);
    channel->pageCount = 0;
}

} // namespace

int OUT_BeginRecording(OutputChannel *channel, WORD firstPageIndex, WORD recordSize, WORD initialCapacity)
{
    if (!channel || channel->pageTable.elements || channel->pagePositions.elements)
        return -1; /* never two recordings at once */
    if (GT_Create(&channel->pageTable, recordSize, initialCapacity) != 0 ||
        GT_Create(&channel->pagePositions, WORD(sizeof(PagePosition)), initialCapacity) != 0 ||
        OUT_CreateSpoolFile(&channel->spoolFile) != 0) {
        rec_FreeTables(channel);
        return -1;
    }
    SEG_Init(&channel->recorder);
    channel->firstPageIndex = firstPageIndex;
    channel->pageCount = 0;
    return 0;
}

int OUT_EndRecording(OutputChannel *channel)
{
    if (!channel)
        return -1;
    rec_FreeTables(channel);
    return OUT_DeleteSpoolFile(&channel->spoolFile);
}

int OUT_BeginPageRecord(OutputChannel *channel, DWORD pageIndex)
{
    if (!channel || !channel->pageTable.elements)
        return -1;
    /* Pages are recorded in order, and page indexes and counts are 16-bit. */
    if (pageIndex != DWORD(channel->firstPageIndex) + channel->pageCount || pageIndex > 0xFFFF ||
        channel->pageCount >= GT_MAX_CAPACITY)
        return -1;
    if (OUT_IsSpoolFileReady(&channel->spoolFile) != 1)
        return -1;
    if (channel->mode != OUT_MODE_CLOSED && OUT_Flush(channel) != 0)
        return -1;
    DWORD slot = channel->pageCount;
    while (slot >= channel->pageTable.capacity)
        if (GT_Grow(&channel->pageTable) != 0)
            return -1;
    while (slot >= channel->pagePositions.capacity)
        if (GT_Grow(&channel->pagePositions) != 0)
            return -1;
    GT_Clear(&channel->pageTable, slot);
    LONGLONG size = OUT_SpoolSize(&channel->spoolFile);
    PagePosition position{DWORD(size), DWORD(size), -1};
    GT_Put(&channel->pagePositions, slot, &position);
    if (SEG_BeginWrite(&channel->recorder, &channel->spoolFile) != 0)
        return -1;
    channel->mode = OUT_MODE_RECORD;
    return 0;
}

int OUT_EndPageRecord(OutputChannel *channel)
{
    if (!channel || channel->mode != OUT_MODE_RECORD || channel->recorder.state != SEG_STATE_WRITING)
        return -1;
    if (OUT_Flush(channel) != 0)
        return -1;
    LONG firstSide = SEG_EndWrite(&channel->recorder);
    LONGLONG size = OUT_SpoolSize(&channel->spoolFile);
    PagePosition position{};
    if (size < 0 || GT_Get(&channel->pagePositions, channel->pageCount, &position) != 0)
        return -1;
    position.end = DWORD(size);
    position.firstSide = firstSide;
    GT_Put(&channel->pagePositions, channel->pageCount, &position);
    channel->mode = channel->target ? OUT_MODE_PRINTER : OUT_MODE_CLOSED;
    channel->pageCount++;
    return 0;
}

int OUT_PutPageRecord(OutputChannel *channel, DWORD pageIndex, DWORD size, const void *record)
{
    DWORD slot = 0;
    if (!channel || !record || size != channel->pageTable.elementSize ||
        !rec_Slot(channel, pageIndex, channel->pageTable.capacity, &slot))
        return -1;
    return GT_Put(&channel->pageTable, slot, record);
}

int OUT_GetPageRecord(OutputChannel *channel, DWORD pageIndex, DWORD size, void *record)
{
    DWORD slot = 0;
    if (!channel || !record || size != channel->pageTable.elementSize ||
        !rec_Slot(channel, pageIndex, channel->pageTable.capacity, &slot))
        return -1;
    return GT_Get(&channel->pageTable, slot, record);
}

int OUT_GetPagePosition(OutputChannel *channel, DWORD pageIndex)
{
    DWORD slot = 0;
    PagePosition position{};
    if (!channel || !rec_Slot(channel, pageIndex, channel->pageCount, &slot) ||
        GT_Get(&channel->pagePositions, slot, &position) != 0)
        return -1;
    return SEG_BeginRead(&channel->recorder, &channel->spoolFile, &position);
}

int OUT_AddSideRecord(OutputChannel *channel, WORD type, WORD length, const void *payload)
{
    if (!channel || OUT_IsSpoolFileReady(&channel->spoolFile) != 1)
        return -1;
    if (channel->mode != OUT_MODE_CLOSED && OUT_Flush(channel) != 0)
        return -1;
    return SEG_AddSideRecord(&channel->recorder, &channel->spoolFile, type, length, payload);
}

int OUT_SpoolAppend(OutputChannel *channel, DWORD length, const void *bytes)
{
    if (!channel || OUT_SpoolSeekEnd(&channel->spoolFile) < 0)
        return -1;
    return OUT_SpoolWrite(&channel->spoolFile, bytes, length) == LONG(length) ? 0 : -1;
}
