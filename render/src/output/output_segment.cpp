/*
 * The segment recorder of the output channel (see output_segment.h).
 *
 * A page's side records form a chain inside its bytes: each 8-byte header
 * {type, payload length, distance} is followed by its payload, and the
 * distance (filled in when the next record is added) leads from one header
 * to the next.  Page bytes are only ever appended to the spool file, so a
 * new side record always lies at its end.
 */
#include "output_segment.h"

#include "spool_file.h"

#include <cstring>

namespace {

/* The fixed payload length of each side-record type. */
bool seg_LengthFits(WORD type, WORD length)
{
    switch (type) {
    case SEG_PAGE_START:
        return length == SEG_PAGE_START_SIZE;
    case SEG_END_OF_PAGE:
    case SEG_SHEET_MARK:
        return length == 0;
    case SEG_PAGE_TRANSFORM:
        return length == SEG_PAGE_TRANSFORM_SIZE;
    default:
        return false;
    }
}

void seg_PutWord(BYTE *p, WORD v)
{
    p[0] = BYTE(v);
    p[1] = BYTE(v >> 8);
}

void seg_PutDword(BYTE *p, DWORD v)
{
    for (int i = 0; i < 4; i++)
        p[i] = BYTE(v >> (8 * i));
}

DWORD seg_GetDword(const BYTE *p)
{
    return DWORD(p[0]) | DWORD(p[1]) << 8 | DWORD(p[2]) << 16 | DWORD(p[3]) << 24;
}

/* Reads exactly `n` bytes at `offset`; false on any failure. */
bool seg_ReadAt(SpoolFile *file, DWORD offset, void *buffer, DWORD n)
{
    if (OUT_SpoolSeek(file, offset) != LONGLONG(offset))
        return false;
    return OUT_SpoolRead(file, buffer, n) == LONG(n);
}

/* Skips what is left of the payload of the side record just read. */
void seg_SkipPayload(SegmentRecorder *recorder)
{
    recorder->readPosition += recorder->payloadLeft;
    recorder->payloadLeft = 0;
}

} // namespace

void SEG_Init(SegmentRecorder *recorder)
{
    if (!recorder)
        return;
    *recorder = SegmentRecorder{};
    recorder->state = SEG_STATE_IDLE;
    recorder->firstSide = -1;
    recorder->lastSide = -1;
}

int SEG_BeginWrite(SegmentRecorder *recorder, SpoolFile *file)
{
    if (!recorder || !file || recorder->state != SEG_STATE_IDLE)
        return -1;
    LONGLONG size = OUT_SpoolSize(file);
    if (size < 0 || ULONGLONG(size) > 0x7FFFFFFFull)
        return -1; /* side-record offsets are signed 32-bit */
    SEG_Init(recorder);
    recorder->state = SEG_STATE_WRITING;
    recorder->writePosition = DWORD(size);
    return 0;
}

int SEG_AddSideRecord(SegmentRecorder *recorder, SpoolFile *file, WORD type, WORD length, const void *payload)
{
    if (!recorder || !file || recorder->state != SEG_STATE_WRITING || !seg_LengthFits(type, length) ||
        (length && !payload))
        return -1;
    LONGLONG end = OUT_SpoolSize(file);
    /* The record goes after everything the page wrote, where offsets stay signed 32-bit. */
    if (end < LONGLONG(recorder->writePosition) || ULONGLONG(end) + SEG_HEADER_SIZE + length > 0x7FFFFFFFull)
        return -1;
    DWORD p = DWORD(end);
    if (recorder->lastSide >= 0) {
        BYTE distance[4];
        seg_PutDword(distance, p - DWORD(recorder->lastSide));
        if (OUT_SpoolSeek(file, LONGLONG(recorder->lastSide) + 4) < 0 || OUT_SpoolWrite(file, distance, 4) != 4)
            return -1;
    }
    BYTE header[SEG_HEADER_SIZE] = {};
    seg_PutWord(header, type);
    seg_PutWord(header + 2, length);
    if (OUT_SpoolSeek(file, p) != LONGLONG(p) || OUT_SpoolWrite(file, header, SEG_HEADER_SIZE) != SEG_HEADER_SIZE)
        return -1;
    if (length && OUT_SpoolWrite(file, payload, length) != LONG(length))
        return -1;
    if (recorder->firstSide < 0)
        recorder->firstSide = LONG(p);
    recorder->lastSide = LONG(p);
    recorder->writePosition = p + SEG_HEADER_SIZE + length;
    return file->position == recorder->writePosition ? 0 : -1;
}

LONG SEG_EndWrite(SegmentRecorder *recorder)
{
    if (!recorder || recorder->state != SEG_STATE_WRITING)
        return -1;
    LONG first = recorder->firstSide;
    SEG_Init(recorder);
    return first;
}

int SEG_BeginRead(SegmentRecorder *recorder, SpoolFile *file, const PagePosition *page)
{
    if (!recorder || !file || !page || recorder->state == SEG_STATE_WRITING)
        return -1;
    LONGLONG size = OUT_SpoolSize(file);
    if (size < 0 || page->start > page->end || LONGLONG(page->end) > size)
        return -1;
    if (page->firstSide != -1 && (page->firstSide < 0 || DWORD(page->firstSide) < page->start ||
                                  ULONGLONG(DWORD(page->firstSide)) + SEG_HEADER_SIZE > page->end))
        return -1;
    SEG_Init(recorder);
    recorder->state = SEG_STATE_READING;
    recorder->firstSide = page->firstSide;
    recorder->readPosition = page->start;
    recorder->pageEnd = page->end;
    recorder->nextStop = page->firstSide >= 0 ? DWORD(page->firstSide) : page->end;
    return 0;
}

LONG SEG_ReadData(SegmentRecorder *recorder, SpoolFile *file, void *buffer, DWORD n)
{
    if (!recorder || !file || recorder->state != SEG_STATE_READING || (n && !buffer))
        return -1;
    seg_SkipPayload(recorder);
    if (recorder->readPosition > recorder->nextStop)
        return -1;
    DWORD count = recorder->nextStop - recorder->readPosition;
    if (count > n)
        count = n;
    if (count == 0)
        return 0;
    if (!seg_ReadAt(file, recorder->readPosition, buffer, count))
        return -1;
    recorder->readPosition += count;
    return LONG(count);
}

int SEG_ReadSideHeader(SegmentRecorder *recorder, SpoolFile *file, SideHeader *header)
{
    if (!recorder || !file || !header || recorder->state != SEG_STATE_READING)
        return -1;
    seg_SkipPayload(recorder);
    if (recorder->readPosition != recorder->nextStop)
        return -1; /* not at a stop */
    if (recorder->nextStop == recorder->pageEnd)
        return SEG_READ_PAGE_END;
    DWORD stop = recorder->nextStop;
    BYTE raw[SEG_HEADER_SIZE];
    if (ULONGLONG(stop) + SEG_HEADER_SIZE > recorder->pageEnd || !seg_ReadAt(file, stop, raw, SEG_HEADER_SIZE))
        return -1;
    header->type = WORD(raw[0] | raw[1] << 8);
    header->length = WORD(raw[2] | raw[3] << 8);
    header->distance = seg_GetDword(raw + 4);
    ULONGLONG payloadEnd = ULONGLONG(stop) + SEG_HEADER_SIZE + header->length;
    if (!seg_LengthFits(header->type, header->length) || payloadEnd > recorder->pageEnd)
        return -1;
    DWORD next = recorder->pageEnd;
    if (header->distance) {
        /* The next header lies past this payload and within the page. */
        ULONGLONG at = ULONGLONG(stop) + header->distance;
        if (at < payloadEnd || at + SEG_HEADER_SIZE > recorder->pageEnd)
            return -1;
        next = DWORD(at);
    }
    recorder->nextStop = next;
    recorder->readPosition = stop + SEG_HEADER_SIZE;
    recorder->payloadLeft = header->length;
    return SEG_READ_RECORD;
}

int SEG_ReadPayload(SegmentRecorder *recorder, SpoolFile *file, void *buffer, DWORD n)
{
    if (!recorder || !file || recorder->state != SEG_STATE_READING || n > recorder->payloadLeft ||
        (n && !buffer))
        return -1;
    if (n && !seg_ReadAt(file, recorder->readPosition, buffer, n))
        return -1;
    recorder->readPosition += n;
    recorder->payloadLeft -= n;
    return 0;
}

int SEG_EndRead(SegmentRecorder *recorder)
{
    if (!recorder || recorder->state != SEG_STATE_READING)
        return -1;
    SEG_Init(recorder);
    return 0;
}
