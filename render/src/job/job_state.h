/*
 * The job and page state machine of a device context.  Two words follow a
 * document: the context's flags (PDEV_..., what the engine has called) and
 * JobState (what has really been produced).  Nothing is written when a
 * document starts; the first drawing call sets up the first sheet (job
 * header, or the start of a recording); the end of a page ends the logical
 * page; the end of the document finishes or abandons the job.  Any failure
 * while a page or sheet begins or ends aborts the job: JOB_ABORTED makes
 * every later job operation fail until the next document.
 *
 * Job operations answer 0 or -1 unless said otherwise.
 */
#ifndef TARVELGR_JOB_STATE_H
#define TARVELGR_JOB_STATE_H

#include <plat/types.h>

struct PdevContext;

/* JobState bits. */
enum : DWORD {
    JOB_OPEN = 0x1,             /* the job exists (after the document start) */
    JOB_SHEET_SET_UP = 0x2,     /* the first sheet was set up */
    JOB_SHEET_OPEN = 0x4,       /* a physical sheet is open */
    JOB_PAGE_OPEN = 0x8,        /* a logical page is open */
    JOB_GEOMETRY_PENDING = 0x40, /* the page geometry must be taken again */
    JOB_ABORTED = 0x8000,       /* every later job operation fails until the next job */
};

/* Page colour modes. */
enum : LONG {
    JOB_PAGE_COLOR_UNDECIDED = 0,
    JOB_PAGE_COLOR_MONO = 1,
    JOB_PAGE_COLOR_COLOR = 2,
};

/* Sheet counters of a job, cleared with JobState. */
struct JobCounters {
    DWORD logicalPages; /* logical pages ended (32-bit: a long job must not wrap) */
    DWORD sheets;       /* sheets counted */
    WORD setUpSheets;  /* first sheets set up */
    WORD workFlags;    /* the sheet pipeline's sheet-count work flags */
};

/*
 * The context's job settings and page layout records, zeroed: allocated on
 * its heap the first time.  0, or -1 when memory is short.
 */
int JOB_ClearJobRecords(PdevContext *pdev);

/*
 * Starts a new job on the context: clears the job settings and the page
 * layout record (allocating them on the context's heap the first time),
 * reads the model's capability words, takes the protocol class and the
 * settings snapshot, clears the job state, record flags and counters,
 * keeps `printer` as the job's spooler handle, resets the per-job state of
 * the sheet pipeline and creates the output channel.  Every step runs even
 * when an earlier one failed.
 */
int JOB_Reset(PdevContext *pdev, HANDLE printer);

/*
 * Opens the job: the transform tracker, the per-job drawing records, the
 * temp-file registry base, the sheet pipeline, JobState = JOB_OPEN, the
 * document name (at most 260 characters; empty when null), the
 * job-information record, and when all of that succeeded the channel on the
 * printer.  Answers the OR of every result.  Tolerates a missing channel or
 * settings record left by a failed JOB_Reset.
 */
int JOB_Open(PdevContext *pdev, LPCWSTR docName);

/* Keeps the spooler job id and clears the document-monitor registration. */
int JOB_InitOwnerRecord(PdevContext *pdev, DWORD jobId);

/*
 * Closes the context's job, if any: forgets the job's printer handle,
 * clears the job state, record flags and counters, frees the output
 * channel and the job's state.  A context that never started a document
 * has nothing to close.
 */
void JOB_Close(PdevContext *pdev);

/*
 * Frees the job's records: drawing records, document-monitor registration
 * (its release must succeed), transform tracker, annotation holder,
 * copy-set tables, job-information record and escape blocks.  -1 when a
 * release failed (everything is freed all the same).
 */
int JOB_FreeJobState(PdevContext *pdev);

/*
 * Releases a document-monitor registration without starting the monitor:
 * 6 when there is none, 1 when the monitor's release answered non-zero, 3
 * when it answered 0.
 */
int DMJ_Release(void *registration);

/*
 * Called by every drawing worker before it writes: -1 for an aborted job,
 * -1 with PDEV_FAILED when no job is open, 0 while a decoration is drawn,
 * else the page is opened when needed and the page's colour-hold check
 * answers.  A job whose document pages are not printed answers -1 without
 * PDEV_FAILED (nothing is drawn, later calls may still succeed); any other
 * -1 sets PDEV_FAILED.
 */
int JOB_PrepareDraw(PdevContext *pdev);

/*
 * Opens a logical page: sets up the first sheet when needed, starts the
 * sheet side and the physical sheet when none is open, opens the page.
 * -1 when aborted, not open or a page is open already; any other failure
 * aborts the job.
 */
int JOB_BeginPage(PdevContext *pdev);

/* Ends the logical page (and the sheet when its cells are full).  -1 when aborted; a failure aborts the job. */
int JOB_EndPage(PdevContext *pdev);

/*
 * Sets up the first sheet of the job: translates the layout, keeps a copy
 * of the settings, restarts the transform tracker, then starts the
 * recording or writes the job's output head.  -1 when aborted, not open,
 * or a page record is open; any other failure aborts the job.
 */
int JOB_BeginSheetSetup(PdevContext *pdev);

/*
 * Finishes the job: ends an open page and sheet, replays recorded pages,
 * writes the job's output tail, closes the channel (committing only when
 * everything succeeded), frees the job's state and clears JOB_OPEN and
 * JOB_SHEET_SET_UP.  -1 when aborted or not open; otherwise 0, or -1 when a
 * step failed (the job was then abandoned: see JOB_Abort).
 */
int JOB_EndJob(PdevContext *pdev);

/*
 * Abandons the job after a failure inside it: JOB_ABORTED; when bytes of
 * the job went out, the universal exit, so the printer leaves PCL XL; the
 * channel closed without commit; the job's state freed; JOB_OPEN and
 * JOB_SHEET_SET_UP cleared.  The failure's last error is kept (and the
 * document end answers FALSE with it).  -1 when already aborted or not
 * open; else the OR of the close and the release.
 */
int JOB_Abort(PdevContext *pdev);

/*
 * The abort the application asks for (ED_ABORTDOC): as JOB_Abort, but
 * nothing more is written (the spool job is deleted) and the document end
 * still succeeds.
 */
int JOB_AbortDocument(PdevContext *pdev);

/* JOB_OPEN and JOB_SHEET_SET_UP both set. */
BOOL JOB_IsSheetSetUp(const PdevContext *pdev);

/*
 * Restarts the context's transform tracker when `force` is set or the job
 * defers its forms: validity from whether the job is poster, booklet,
 * collated or duplexed by the driver; then its current transform is reset.
 */
int JOB_RestartCtm(PdevContext *pdev, BOOL force);

/*
 * A context replaced inside a document takes the page geometry again:
 * JOB_GEOMETRY_PENDING in `newPdev`.  -1 when either job is aborted or a
 * page is open in the new one.
 */
int JOB_MarkGeometryPending(PdevContext *newPdev, const PdevContext *oldPdev);

/*
 * The running job of `oldPdev` moves to `newPdev`, which replaces it inside
 * a document: the graphics-state cache and transform tracker (once the
 * document started), the job settings and page layout, the state words and
 * counters, the output channel and every record the job owns; the settings
 * follow the job (a job whose first sheet is set up keeps its settings but
 * for paper, orientation, form name, source and, with setting 1350,
 * duplex; otherwise the new context keeps its devmode part and takes the
 * old extension block).  A job that is open continues: PDEV_RESET_IN_DOC
 * and JOB_GEOMETRY_PENDING in the new context.  -1 (nothing moved) when the
 * old context started a document without a tracker, either job is aborted
 * or has a page open, or memory is short.
 */
int JOB_MoveToContext(PdevContext *oldPdev, PdevContext *newPdev);

/* Hands the copy-set data of its escape to the copy-set work.  -1 for a missing block or a length of 0. */
int JOB_SetCopySetData(PdevContext *pdev, DWORD length, const void *block);

/* Copies a 2 x 3 transform (six reals).  -1 when either is null. */
int JOB_CopyTransform(FLOAT *to, const FLOAT *from);

/* Decoration queries (the watermark and annotation brackets of the escapes). */
BOOL JOB_IsDecorationDrawing(const PdevContext *pdev);
BOOL JOB_IsSheetDecoration(const PdevContext *pdev);
BOOL JOB_IsWatermarkSeeThrough(PdevContext *pdev);
/* Opens or closes the brackets: -1 unless a sheet is open; opening the watermark bracket without a watermark fails (the flag stays set). */
int JOB_SetDecorationMode(PdevContext *pdev, BOOL watermark, BOOL annotation);

/* Page colour: the mode (0, 1 or 2; other values -1), whether it is known, the exact grey test, marking a page coloured. */
int JOB_SetPageColorMode(PdevContext *pdev, LONG mode);
BOOL JOB_IsPageColorKnown(const PdevContext *pdev);
BOOL JOB_UseExactGreyTest(const PdevContext *pdev);
int JOB_MarkPageColor(PdevContext *pdev);

#endif /* TARVELGR_JOB_STATE_H */
