/*
 * Page recording and replay: pages that must be reordered, repeated or held
 * are recorded into the spool temporary file with side records and replayed
 * later (whole job, booklet, copy sets), and a page held only for its
 * colour is replayed as soon as its colour is known.
 */
#ifndef TARVELGR_PAGE_RECORDING_H
#define TARVELGR_PAGE_RECORDING_H

#include "job_settings.h"
#include "pcs_color_set.h"

#include <plat/types.h>

#include <cstddef>

struct PdevContext;

/*
 * The record of one recorded page in the channel's page table: the leading
 * layout fields as they stood for the page (setting 437 through the N-up
 * order, 32 bytes) and its orientation (0 portrait, 1 landscape), then its
 * colour set and colour mode (0 undecided, 1 monochrome, 2 colour).
 */
struct SpoolPageRecord {
    BYTE layout[32];
    LONG orientation;
    PageColorSet colors;
    LONG colorMode;
};
static_assert(offsetof(PageLayout, pagesPerSheet) == 32, "the recorded layout fields end at the N-up order");
static_assert(sizeof(SpoolPageRecord) == 116, "SpoolPageRecord layout");

/* RecordFlags: recording on, a page record open, and the colour-holding kind. */
enum : DWORD {
    REC_FLAG_RECORDING = 0x8000,
    REC_FLAG_PAGE_OPEN = 0x0001,
    REC_FLAG_KIND_RECORDED = 0x0002,
    REC_FLAG_KIND_COLOR_HOLD = 0x0004,
};

/*
 * Before every drawing operation: when a page held only for its colour is
 * marked colour and its colour set has stopped collecting (nothing can
 * change its colour comment any more), it is replayed and the recording
 * stops (REC_FlushHeldPage).  0 (also when nothing is held), or -1.
 */
int REC_FlushIfColorKnown(PdevContext *pdev);

/*
 * With no page counted yet: closes the open page record, replays it with a
 * regenerated BeginPage (colour code from the page's colour mode and colour
 * set) and stops the recording.  0, or -1.
 */
int REC_FlushHeldPage(PdevContext *pdev);

/* Replays the recorded pages of a recorded job in their final order. */
int REC_ReplayJob(PdevContext *pdev);

/* Replays a recorded booklet. */
int REC_ReplayBooklet(PdevContext *pdev);

/* Copy-set jobs: one spool job per data set. */
int REC_ReplayCopySets(PdevContext *pdev);

/*
 * Starts recording pages from `firstPageIndex` (page table room for
 * `capacity` pages, grown as needed): RecordFlags becomes
 * REC_FLAG_RECORDING.  -1 unless the job's first sheet is set up and
 * recording is off, or when the tables or the spool file cannot be made.
 */
int REC_StartRecording(PdevContext *pdev, WORD firstPageIndex, WORD capacity);

/*
 * Opens the record of page `pageIndex` (the next page in order) with the
 * record bits `kind` (non-zero, within 0x3E): keeps `colorMode`, starts an
 * empty colour set (collecting when `collectColors` is 1, with
 * `colorCapacity` and `colorSetMode`), and sends the page's bytes to the
 * spool file.  -1 (nothing changed) unless recording with no page open.
 */
int REC_OpenPageRecord(PdevContext *pdev, DWORD pageIndex, LONG colorMode, DWORD kind, LONG collectColors,
                       WORD colorCapacity, LONG colorSetMode);

/* Writes the page's layout fields and orientation into its page record.  0, or -1. */
int REC_StorePageHeader(PdevContext *pdev, DWORD pageIndex, const PageLayout *layout, LONG orientation);

/* Reads them back into the leading fields of `layout`.  0, or -1. */
int REC_LoadPageHeader(PdevContext *pdev, DWORD pageIndex, PageLayout *layout, LONG *orientation);

/*
 * Closes the open page record: stores the page's colour mode and colour set
 * in its page record, ends the page in the spool file and counts it;
 * RecordFlags back to REC_FLAG_RECORDING.  -1 when no page record is open.
 */
int REC_ClosePageRecord(PdevContext *pdev, DWORD pageIndex);

/*
 * Ends the recording (with no page open): tables freed, spool file deleted,
 * RecordFlags 0.  0 also when no recording was started; -1 while a page
 * record is open.
 */
int REC_StopRecording(PdevContext *pdev);

#endif /* TARVELGR_PAGE_RECORDING_H */
