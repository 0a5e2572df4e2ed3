/*
 * Page recording and replay: pages that must be reordered, repeated or held
 * are recorded into the spool temporary file with side records and replayed
 * later (whole job, booklet, copy sets), and a page held only for its
 * colour is replayed as soon as its colour is known.
 */
#ifndef TARVELGR_PAGE_RECORDING_H
#define TARVELGR_PAGE_RECORDING_H

#include <plat/types.h>

struct PdevContext;

/* RecordFlags: recording on, a page record open, and the colour-holding kind. */
enum : DWORD {
    REC_FLAG_RECORDING = 0x8000,
    REC_FLAG_PAGE_OPEN = 0x0001,
    REC_FLAG_KIND_RECORDED = 0x0002,
    REC_FLAG_KIND_COLOR_HOLD = 0x0004,
};

/*
 * Before every drawing operation: when a page held only for its colour has
 * its colour decided, it is replayed and the recording stops.  0, or -1.
 */
int REC_FlushIfColorKnown(PdevContext *pdev);

/* Replays the recorded pages of a recorded job in their final order. */
int REC_ReplayJob(PdevContext *pdev);

/* Replays a recorded booklet. */
int REC_ReplayBooklet(PdevContext *pdev);

/* Copy-set jobs: one spool job per data set. */
int REC_ReplayCopySets(PdevContext *pdev);

/* Ends the recording (with no page open): tables freed, spool file deleted, RecordFlags 0. */
int REC_StopRecording(PdevContext *pdev);

#endif /* TARVELGR_PAGE_RECORDING_H */
