/*
 * The sheet pipeline: turns the application's logical pages into physical
 * sheet sides (N-up cells, poster tiles, booklets, insert and blank sheets,
 * duplex back faces), latches each sheet's paper, tray and colour, writes
 * the page starts and ends and the job's output frame (header, session,
 * trailer).  The job state machine calls it at the first sheet, at every
 * start and end of a logical page and at the end of the job.
 *
 * Operations answer 0 or -1 (the state machine then aborts the job) unless
 * said otherwise.
 */
#ifndef TARVELGR_SHEET_PIPELINE_H
#define TARVELGR_SHEET_PIPELINE_H

#include <plat/types.h>

struct PdevContext;

/* Kinds of JOB_BackFaceDue. */
enum : int {
    JOB_BACK_FACE_PAPER_CHANGED = 0,
    JOB_BACK_FACE_END = 1, /* end of a copy or of the job */
    JOB_BACK_FACE_INSERT = 2,
};

/* Job reset: selects the font-alias table set of the job's font substitution. */
int JOB_SelectFontAliases(PdevContext *pdev);

/* Job open: clears the pipeline's per-job state (counters, paper and tray state). */
int JOB_InitSheetPipeline(PdevContext *pdev);

/*
 * First sheet of the job: the extension state, the resolution, the page and
 * paper records, the first tray, the sheet rotation code and the layout
 * option of the job settings.
 */
int JOB_TranslateSettings(PdevContext *pdev);

/* Starts a physical sheet side (refused while a sheet or page is open): paper, tray, colour, recording, page start. */
int JOB_StartSheet(PdevContext *pdev);

/* Ends the physical sheet side (refused while a page is open). */
int JOB_EndSheet(PdevContext *pdev);

/* Opens a logical page: JOB_PAGE_OPEN, the "StartPage" event, the cell transform. */
int JOB_StartLogicalPage(PdevContext *pdev);

/* Ends the logical page (and the sheet when its N-up cells are full). */
int JOB_EndLogicalPage(PdevContext *pdev);

/* The job's output head for copy set `copySet`: PJL job header, stream header, session. */
int JOB_BeginJobOutput(PdevContext *pdev, WORD copySet);

/* The job's output tail: the end event, the session's end, the job-information block, the PJL trailer. */
int JOB_EndJobOutput(PdevContext *pdev);

/* Writes a blank sheet fed from the tray `tray`. */
int JOB_EmitBlankSheet(PdevContext *pdev, SHORT tray);

/*
 * Leaves the back face of a waiting duplex front ("skip backface of
 * duplex"): a blank side when JOB_BackFaceDue(kind) says so; in a job
 * replayed at its end the skipped side is recorded as a page of its own.
 * Nothing unless a front waits.
 */
int JOB_SkipBackFace(PdevContext *pdev, int kind);

/*
 * The frames of the sheet's filled N-up cells when setting 1337 asks for
 * them (one cell fewer while a decoration is being drawn).  0, or -1.
 */
int JOB_DrawSheetBorders(PdevContext *pdev);

/*
 * The tray this page asks for: the cover tray while a printed cover (cover
 * modes 1 and 3) still has sides to feed; else setting 13 (its value 15: the paper type's
 * tray, setting 265) while the model chooses trays by paper type and
 * setting 457 is not 2; else setting 265 (its value 258: setting 13).
 */
WORD JOB_TrayForPage(PdevContext *pdev);

/*
 * The sheet sides of the job for its header: the sides ended or skipped so
 * far, the page-number insert sheets written, and the closing insert (two
 * sides when a back face is due after it).  -1 outside a job.
 */
LONG JOB_CountSheetsForHeader(PdevContext *pdev);

/* 1 when a blank back face is due for `kind` (JOB_BACK_FACE_...), 0 when not, -1 on failure. */
int JOB_BackFaceDue(PdevContext *pdev, int kind);

/*
 * The page start of an inserted sheet fed from `tray`: the insert colour
 * code, the tray's media source (the current one for a tray the model does
 * not know) and the current paper, with the inserted-sheet recording flag
 * set around it.  -1 before the job's first sheet is set up.
 */
int JOB_InsertPageSetup(PdevContext *pdev, SHORT tray);

/*
 * The end-of-job step after a committed job: a copy-set job whose sets all
 * went out deletes the data file setting 375 names.  0 (also without one),
 * or -1 with a trace line naming the file when it cannot be deleted.
 */
int JOB_FinishSheetPipeline(PdevContext *pdev);

/*
 * First sheet of a copy-set job: takes the copy-set settings (376, 377,
 * 379, 380, 381) into the pipeline's copy-set state.  Nothing without
 * copy-set data.  -1 (a trace line, ERROR_INVALID_DATA) when a setting
 * cannot be read or the job asks for more data sets than the copy-set data
 * holds destinations.
 */
int JOB_ReadCopySetSettings(PdevContext *pdev);

/* Copy-set jobs with one spool job per data set: stores the paper of the data sets' sheet-data pages. */
int JOB_BeginCopySetSheets(PdevContext *pdev);

/* Copy-set jobs: builds and emits the first sheet data block and counts the first data-set sheet. */
int JOB_EmitFirstSheetData(PdevContext *pdev);

/*
 * The sheet-data page of data set `set`: a page of its own (colour code 1,
 * media source 0, the cover's paper, the stored data-set paper or the
 * current one) holding the form-name record or the data file, then the
 * cover of the set's destination.  Refused while a sheet is open.
 */
int JOB_WriteSheetDataPage(PdevContext *pdev, WORD set);

/* The page transform of a sheet-data page: the first cell of the current paper's layout. */
int JOB_SetSheetDataTransform(PdevContext *pdev);

/* The paper the next sheet would take, as a sheet-data page names it. */
struct SheetDataPaper;
int JOB_CurrentSheetPaper(PdevContext *pdev, SheetDataPaper *paper);

/* Copies the copy-set settings (374 to 377, 379 to 381) from one settings image to another. */
int JOB_CopySetSettings(void *toSettings, void *fromSettings);

/* Copy-set jobs: finishes the copy sets at the end of the job. */
int JOB_FinishCopySets(PdevContext *pdev);

#endif /* TARVELGR_SHEET_PIPELINE_H */
