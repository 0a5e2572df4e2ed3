/*
 * The replay of one recorded page (see rec_replay.cpp).  The replay orders
 * (whole job, booklet, copy sets) call it page by page.
 */
#ifndef TARVELGR_PAGE_RECORDING_REPLAY_H
#define TARVELGR_PAGE_RECORDING_REPLAY_H

#include "pclxl_transform.h"

#include <plat/types.h>

struct PdevContext;

/* Action bits of a replay. */
enum : DWORD {
    REC_REPLAY_PAGE_START = 0x1, /* a new BeginPage at the page-start record */
    REC_REPLAY_PAGE_END = 0x2,   /* EndPage (no copies) at the end-of-page record */
    REC_REPLAY_JOINED = 0x4,     /* the page joins a side another page started (no action of its own) */
    REC_REPLAY_IN_CELL = 0x8,    /* page transforms followed by the cell transform */
};

/* The actions of a page that shares its sheet side with another, or has it alone. */
enum : DWORD {
    REC_REPLAY_FIRST_OF_SIDE = REC_REPLAY_PAGE_START | REC_REPLAY_IN_CELL,                         /* 9 */
    REC_REPLAY_SECOND_OF_SIDE = REC_REPLAY_PAGE_END | REC_REPLAY_JOINED | REC_REPLAY_IN_CELL,      /* 14 */
    REC_REPLAY_ALONE = REC_REPLAY_FIRST_OF_SIDE | REC_REPLAY_SECOND_OF_SIDE,                        /* 15 */
};

/*
 * Replays recorded page `pageIndex` to the output channel: its bytes in
 * 1,024-byte pieces and, at its side records, the actions asked for.
 * `colorCode` is the BeginPage colour code (0: the recorded one),
 * `mediaSource` overrides the recorded media source when not negative, and
 * `cellTransform` is needed with REC_REPLAY_IN_CELL.  The CTM tracker sends
 * every transform during the replay and gets its valid flag back after it.
 * Returns 0, or -1 at the first failed read or write, an unknown or
 * inconsistent side record, a page not recorded, or while a page is being
 * recorded.
 */
int REC_ReplayPage(PdevContext *pdev, DWORD pageIndex, DWORD actions, BYTE colorCode,
                   const PageTransform *cellTransform, SHORT mediaSource);

/*
 * The page-start side record just read: puts its paper and tray back into
 * the sheet state and writes the colour comment and BeginPage.  0, or -1.
 */
int REC_ReplayPageStart(PdevContext *pdev, BYTE colorCode, SHORT mediaSource);

/* The transform side record just read, followed by `cellTransform` when given, through the tracker.  0, or -1. */
int REC_ReplayTransform(PdevContext *pdev, const PageTransform *cellTransform);

#endif /* TARVELGR_PAGE_RECORDING_REPLAY_H */
