/*
 * The segment recorder of the output channel: the writer and reader of the
 * side records that mark, inside a recorded page's bytes in the spool file,
 * the places where a replay must act (page start, end of page, sheet mark,
 * page transform).  One per channel; idle between pages, writing while a
 * page is recorded, reading while one is replayed, never both.
 *
 * A side record in the spool file (little-endian): type (16-bit), payload
 * length (16-bit, fixed per type), distance from this header to the next
 * side record's header of the same page (32-bit, 0 in the last), payload.
 */
#ifndef TARVELGR_OUTPUT_SEGMENT_H
#define TARVELGR_OUTPUT_SEGMENT_H

#include <plat/types.h>

struct SpoolFile;

/* Where one recorded page lies in the spool file (12 bytes). */
struct PagePosition {
    DWORD start;     /* offset of the page's first byte */
    DWORD end;       /* offset just past its last byte */
    LONG firstSide;  /* offset of its first side record; -1 when it has none */
};
static_assert(sizeof(PagePosition) == 12, "PagePosition layout");

/* Recorder states. */
enum : WORD {
    SEG_STATE_IDLE = 0,
    SEG_STATE_READING = 1,
    SEG_STATE_WRITING = 2,
};

struct SegmentRecorder {
    WORD state;          /* SEG_STATE_... */
    LONG firstSide;      /* offset of the page's first side record; -1 none */
    LONG lastSide;       /* offset of the last side record written; -1 none */
    DWORD nextStop;      /* reading: offset of the next side record or the page end */
    DWORD writePosition; /* writing: where the next byte of the page goes */
    DWORD pageEnd;       /* reading: offset just past the page */
    DWORD readPosition;  /* reading: the next byte to read */
    DWORD payloadLeft;   /* reading: unread payload bytes of the side record just read */
};

/* Side-record types and their payload lengths. */
enum : WORD {
    SEG_PAGE_START = 0,     /* the page-start record (52 bytes) */
    SEG_END_OF_PAGE = 1,    /* no payload */
    SEG_SHEET_MARK = 2,     /* no payload */
    SEG_PAGE_TRANSFORM = 3, /* a PageTransform (24 bytes) */
    SEG_HEADER_SIZE = 8,
    SEG_PAGE_START_SIZE = 52,
    SEG_PAGE_TRANSFORM_SIZE = 24,
};

/* A side record's header as read back. */
struct SideHeader {
    WORD type;
    WORD length;
    DWORD distance;
};

/* Answers of SEG_ReadSideHeader besides -1; kept apart from the record types. */
enum : int {
    SEG_READ_RECORD = 0,   /* a side record was read */
    SEG_READ_PAGE_END = 1, /* the stop is the end of the page */
};

/* Makes the recorder idle with no side records. */
void SEG_Init(SegmentRecorder *recorder);

/*
 * Starts recording a page's side-record chain at the spool file's end
 * (idle -> writing).  Returns 0, or -1 when the recorder is not idle or the
 * file is not ready.
 */
int SEG_BeginWrite(SegmentRecorder *recorder, SpoolFile *file);

/*
 * Appends a side record {type, payload length, distance 0} and its payload
 * at the end of the spool file and writes its distance into the previous
 * side record of the page.  Returns 0, or -1 when not writing, for a length
 * other than the type's fixed one, an unknown type, or a failed seek or
 * write.
 */
int SEG_AddSideRecord(SegmentRecorder *recorder, SpoolFile *file, WORD type, WORD length, const void *payload);

/* Ends the page's chain (writing -> idle).  Returns the offset of its first side record, or -1 when it has none (or when not writing). */
LONG SEG_EndWrite(SegmentRecorder *recorder);

/*
 * Positions the recorder on a recorded page for reading (-> reading): the
 * read position at the page start, the next stop at the first side record
 * or the page end.  Returns 0, or -1 while writing or for a position that
 * does not fit the file.
 */
int SEG_BeginRead(SegmentRecorder *recorder, SpoolFile *file, const PagePosition *page);

/*
 * Reads up to `n` page bytes, never past the next stop (skipping the unread
 * payload of the side record just read).  Returns the count, 0 at a stop, or
 * -1.
 */
LONG SEG_ReadData(SegmentRecorder *recorder, SpoolFile *file, void *buffer, DWORD n);

/*
 * At a stop: SEG_READ_PAGE_END when it is the page end; else reads the
 * header into `header`, checks its length against its type and its
 * distance against the page, sets the next stop (the page end for distance
 * 0) and answers SEG_READ_RECORD.  -1 when not at a stop or for an
 * inconsistent record.
 */
int SEG_ReadSideHeader(SegmentRecorder *recorder, SpoolFile *file, SideHeader *header);

/* Reads `n` bytes of the payload of the side record just read.  0, or -1 past its payload. */
int SEG_ReadPayload(SegmentRecorder *recorder, SpoolFile *file, void *buffer, DWORD n);

/* Reading -> idle.  0, or -1 when not reading. */
int SEG_EndRead(SegmentRecorder *recorder);

#endif /* TARVELGR_OUTPUT_SEGMENT_H */
