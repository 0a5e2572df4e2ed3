/*
 * Page recording and replay: pages that must be reordered, repeated or held
 * are recorded into the spool temporary file with side records and replayed
 * later (whole job, booklet, copy sets), and a page held only for its
 * colour is replayed as soon as its colour is known.
 */
#ifndef TARVELGR_PAGE_RECORDING_H
#define TARVELGR_PAGE_RECORDING_H

#include "job_settings.h"
#include "page_colors.h"
#include "pclxl_transform.h"

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

/*
 * The order of a whole-job replay, worked out page by page without a list:
 * `count` recorded pages from `first`; two-pass jobs write the back faces
 * (odd indexes) in their first pass, descending, or ascending with
 * `ascendingBacks` (output-tray mode 4), and the front faces (even indexes)
 * ascending in their second; otherwise one pass, in reverse order with
 * `reverse`.
 */
struct ReplayOrder {
    DWORD first;
    DWORD count;
    LONG reverse;
    LONG twoPass;
    LONG ascendingBacks;
};

/* The number of passes: 2 for two-pass jobs, else 1. */
DWORD REC_PassCount(const ReplayOrder *order);

/* Pages written in pass `pass` (1 or 2); 0 for a pass the order does not have. */
DWORD REC_PassPageCount(const ReplayOrder *order, DWORD pass);

/* The page index written `step`-th (from 0) in pass `pass`; the caller keeps step below REC_PassPageCount. */
DWORD REC_PassPage(const ReplayOrder *order, DWORD pass, DWORD step);

/* The replay order of the context's recorded job (its recording, reverse order, two-pass duplex, tray mode). */
ReplayOrder REC_JobOrder(PdevContext *pdev);

/*
 * Replays the recorded pages of a recorded job in their final order: for
 * each pass and each driver-collated copy, the leading sheets, the pages
 * and the trailing sheets.  The transform tracker sends every transform
 * during the replay.  0, or -1 at the first failure.
 */
int REC_ReplayJob(PdevContext *pdev);

/* Plain or reverse order: the pages of the job's recording, each whole (a new BeginPage).  0, or -1. */
int REC_ReplayInOrder(PdevContext *pdev);

/* One pass (1 or 2) of a two-pass duplex job.  0, or -1. */
int REC_ReplayTwoPass(PdevContext *pdev, DWORD pass);

/*
 * The sheets a two-pass duplex job makes: copies x (recorded pages / 2),
 * nothing written.  The count, or -1 without a recording.
 */
LONG REC_CountTwoPassSheets(PdevContext *pdev);

/* Flag of REC_ReplayPageAs: no page (no partner). */
inline constexpr DWORD REC_NO_PAGE = 0x8000;

/*
 * The BeginPage colour code of recorded page `pageIndex` sharing its side
 * with `partner` (REC_NO_PAGE: alone): a fixed `colorMode` (JOB_COLOR_MONO,
 * JOB_COLOR_COLOR) decides, else the pages' own colour modes (colour when
 * either is colour); a colour side says how few colours both pages' merged
 * colour set holds.  The code, or 0 (the recorded one) when a page record
 * cannot be read.
 */
BYTE REC_DecidePageColor(PdevContext *pdev, DWORD pageIndex, DWORD partner, LONG colorMode);

/*
 * Replays recorded page `pageIndex` (REC_NO_PAGE: nothing) with `actions`
 * (and `cellTransform`), its colour decided with `partner`, fed from
 * `mediaSource` when not negative.  -1 unless the job's first sheet is set
 * up, or when the page is its own partner; 0 with recording off.
 */
int REC_ReplayPageAs(PdevContext *pdev, DWORD pageIndex, DWORD actions, const PageTransform *cellTransform,
                     DWORD partner, LONG colorMode, SHORT mediaSource);

/*
 * The end of a sheet held only for its colour: the page is replayed with
 * its colour now known and the recording stops (REC_FlushHeldPage).  0, or
 * -1.
 */
int REC_ReplayHeldPage(PdevContext *pdev);

/*
 * The booklet order of pass `pass` (1, or 2 for the front faces of a
 * two-pass job) over the recorded pages: the sets of the job's set mode,
 * last to first in reverse order and in the first pass of a two-pass job
 * whose back faces go out descending, each by REC_ReplayBookletSet.  0, or
 * -1 at the first failure or without a recording.
 */
int REC_ReplayBooklet(PdevContext *pdev, DWORD pass);

/*
 * The sides of the booklet set of recorded pages a..b in pass `pass`
 * (two-pass jobs write the back faces in pass 1, the front faces in pass
 * 2): on each side the higher page first in its half (a new BeginPage),
 * then the lower one in the other half (EndPage), each coloured with the
 * other; a page alone with every action; a side without pages a blank
 * sheet side when the centre spread goes first, else nothing.  0, or -1.
 */
int REC_ReplayBookletSet(PdevContext *pdev, LONG a, LONG b, DWORD pass);

/*
 * The end of a recorded booklet page: its record is closed; with fixed
 * sets of sheets in a job not replayed at its end, a full set is replayed
 * at once and the recording stops (the next page starts the next set).  0,
 * or -1.
 */
int REC_EndPageBooklet(PdevContext *pdev);

/*
 * Recorded page `pageIndex` once for every tile of the job's poster (the
 * last tile first in reverse order), each with the tile's transform; the
 * graphics-state cache is reset after each.  0, or -1.
 */
int REC_ReplayPosterPage(PdevContext *pdev, DWORD pageIndex);

/*
 * The end of a recorded poster page: its record is closed; unless the job
 * is replayed at its end, its tiles go out and the recording stops.  0, or
 * -1.
 */
int REC_EndPosterPage(PdevContext *pdev);

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
