/*
 * The segment recorder of the output channel: the writer and reader of the
 * side records that mark, inside a recorded page's bytes in the spool file,
 * the places where a replay must act (page start, end of page, sheet mark,
 * page transform).  One per channel; idle between pages, writing while a
 * page is recorded, reading while one is replayed.
 *
 * Only the idle state exists so far: SEG_Init is complete, while writing and
 * reading side records belong to page recording, which is not built yet.
 * Until then those calls fail with ERROR_CALL_NOT_IMPLEMENTED and a line on
 * the debugger output naming them, so that a recorded job fails visibly.
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
};

/* Makes the recorder idle with no side records. */
void SEG_Init(SegmentRecorder *recorder);

/*
 * Starts recording a page's side-record chain at the spool file's current
 * position (idle -> writing).  Returns 0, or -1.
 * NOT BUILT YET: answers -1 with ERROR_CALL_NOT_IMPLEMENTED.
 */
int SEG_BeginWrite(SegmentRecorder *recorder, SpoolFile *file);

/*
 * Appends a side record {type, payload length, distance 0} and its payload
 * to the page being recorded, linking it from the previous one.  Returns 0,
 * or -1.
 * NOT BUILT YET: answers -1 with ERROR_CALL_NOT_IMPLEMENTED.
 */
int SEG_AddSideRecord(SegmentRecorder *recorder, SpoolFile *file, WORD type, WORD length, const void *payload);

/*
 * Ends the page's chain (writing -> idle).  Returns the offset of the page's
 * first side record, or -1 when it has none.
 * NOT BUILT YET: answers -1 with ERROR_CALL_NOT_IMPLEMENTED.
 */
LONG SEG_EndWrite(SegmentRecorder *recorder);

/*
 * Positions the recorder on a recorded page for reading (idle -> reading).
 * Returns 0, or -1.
 * NOT BUILT YET: answers -1 with ERROR_CALL_NOT_IMPLEMENTED.
 */
int SEG_BeginRead(SegmentRecorder *recorder, SpoolFile *file, const PagePosition *page);

#endif /* TARVELGR_OUTPUT_SEGMENT_H */
