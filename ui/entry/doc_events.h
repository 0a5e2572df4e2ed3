/*
 * The document events GDI sends around every printer device context and
 * document (DrvDocumentEvent): the job record kept per printer handle, its
 * list under one lock, and the 5,920-byte job devmode the library hands GDI
 * when a context is created or reset.
 *
 * Results of the event handlers: 1 done, -1 failed (GDI fails the call),
 * 0 not handled (GDI goes on as without a handler).
 */
#ifndef TARVELUI_DOC_EVENTS_H
#define TARVELUI_DOC_EVENTS_H

#include "ui_entry.h"

#include <plat/gdi.h>
#include <plat/gdi_objects.h>
#include <plat/types.h>

struct ModelContext;

/* ---- The job devmode -------------------------------------------------------- */

inline constexpr size_t DOC_JOB_DEVMODE_SIZE = 5920;
inline constexpr size_t DOC_SETTINGS_IMAGE_SIZE = 5896;
inline constexpr size_t DOC_PRINTER_DATA_SIZE = 6148;
inline constexpr size_t DOC_DRIVER_DEVMODE_SIZE = 1604;
inline constexpr WORD DOC_JOB_DRIVER_EXTRA = 5700;

/* The tail of the job devmode, behind its settings image. */
inline constexpr size_t DOC_TAIL_MARKER = 5896;      /* u16, always 24 */
inline constexpr size_t DOC_TAIL_PAPER_SIZE = 5898;  /* u16: setting 8 */
inline constexpr size_t DOC_TAIL_MODEL_PAPER = 5900; /* u16: its model paper code */
inline constexpr size_t DOC_TAIL_MARGINS = 5902;     /* 4 x u16: left, right, top, bottom */
inline constexpr size_t DOC_TAIL_FORMS_MERGE = 5912; /* i32: spooler forms merged into the paper list */
inline constexpr size_t DOC_TAIL_COLOUR_ENFORCED = 5916; /* i32: setting 270 enforced */
inline constexpr WORD DOC_JOB_MARKER = 24;

/* The paper margins preset before the stores are asked, tenths of a millimetre. */
inline constexpr WORD DOC_PRESET_MARGIN = 46;

/* ---- The job record ------------------------------------------------------- */

inline constexpr int DOC_NAME_CHARS = 261;
inline constexpr int DOC_USER_CHARS = 257;
inline constexpr size_t DOC_ANNOTATION_SIZE = 768;
inline constexpr size_t DOC_EXT_STATE_SIZE = 12;
inline constexpr size_t DOC_JOB_IDENTITY_SIZE = 2112;

/* One printer handle's job: from create-DC-pre to delete-DC (a GlobalAlloc block). */
struct DocJobRecord {
    HANDLE printer;          /* the key of the list */
    HMODULE moduleRef;       /* a load of this library of its own, while the context exists */
    DWORD documentStarted;
    DWORD copySetMode;
    DWORD warningShown;
    BYTE settings[DOC_SETTINGS_IMAGE_SIZE];
    BYTE printerData[DOC_PRINTER_DATA_SIZE];
    WCHAR documentName[DOC_NAME_CHARS];
    WCHAR userName[DOC_USER_CHARS];
    BYTE annotation[DOC_ANNOTATION_SIZE];
    BYTE *jobHeaders;        /* GlobalAlloc, owned */
    BYTE *copySetRegistrations; /* GlobalAlloc, owned: a u16 count, then 64-byte records */
    DWORD copySetDataSize;
    BYTE *copySetData;       /* GlobalAlloc, owned */
    BYTE extState[DOC_EXT_STATE_SIZE];
    BYTE jobIdentity[DOC_JOB_IDENTITY_SIZE];
    DocJobRecord *next;
};

/* ---- The dispatcher ------------------------------------------------------------ */

/* The export GDI calls: see the event table in the source. */
UI_EXPORT int DrvDocumentEvent(HANDLE hPrinter, HDC hdc, int iEsc, ULONG cbIn, PVOID pvIn, ULONG cbOut,
                               PVOID pvOut);

/* ---- The job devmode -------------------------------------------------------------- */

/*
 * The job devmode of `printer` for the incoming devmode `input` (may be
 * null) into *result (a GlobalAlloc block of 5,920 bytes that the post
 * event frees).  1, leaving *result untouched when `input` already is a job
 * devmode; -1 when the printer data, the model context, the merge or the
 * allocation fail.
 */
int DOC_BuildJobDevmode(HANDLE printer, const DEVMODEW *input, DEVMODEW **result);

/* Fills `job` with the printer's devmode, the application's merged over it, and the fix-ups.  1 or -1. */
int DOC_MergeJobDevmode(HANDLE printer, ModelContext *context, BYTE *printerData, const DEVMODEW *input, BYTE *job);

/* Writes the paper part of the tail (setting 387 on and a model paper found).  Always 1. */
int DOC_GetPaperInfo(HANDLE printer, BYTE *job, BYTE *tail);

/*
 * The four margins (left, right, top, bottom) of model paper `code`: the
 * user's (when `useUserMargins`), else the printer's list, else the
 * built-in ones.  0 found or defaulted, -1 failed (the margins stay at 46).
 */
int DOC_GetPaperMargins(HANDLE printer, WORD code, BYTE useUserMargins, WORD margins[4]);

/*
 * Loads the printer's device blocks into the extension part of settings
 * image `image`: from the hand-over file of setting 374 (not a pipe), else
 * from the store setting 439 chooses (1 the user's key, else the printer
 * data), else the model's defaults.  1, or -1 when even the defaults fail.
 * Start of document does this for the renderer; until start of document is
 * built, the job devmode carries them from create-DC on.
 */
int DOC_LoadDeviceBlocks(HANDLE printer, ModelContext *context, BYTE *image, BYTE *printerData);

/* A number or flag setting of the job's records as the data manager reports its type; 0 when unreadable. */
ULONGLONG DOC_GetNumber(BYTE *image, BYTE *printerData, WORD id);

/* A font setting (`LOGFONTW`) of the job's records into *font; all zero when unreadable. */
void DOC_GetFont(BYTE *image, BYTE *printerData, WORD id, LOGFONTW *font);

/* Clears setting 1333 where the job cannot use it, and the corrections that go with it.  Always 1. */
int DOC_FixupJobDevmode(ModelContext *context, BYTE *image, BYTE *printerData);

/* ---- The job list ------------------------------------------------------------------ */

DocJobRecord *DOC_CreateJob(HANDLE printer);
DocJobRecord *DOC_FindJob(HANDLE printer);
int DOC_DeleteJob(HANDLE printer);
int DOC_ResetJob(DocJobRecord *job);
int DOC_FreeJobData(DocJobRecord *job);

/* The number of job records (tests use it to find leaks). */
size_t DOC_JobCount();

/* ---- Start of document ------------------------------------------------------------ */

/*
 * The destination check: 1 go on; -1 for no device context, or (after a
 * system-modal message, resource strings 9328 and 6) for a job whose
 * destination (setting 334: 1, 2, 7 or 8) needs the stored-job text of
 * printer data 5129 while it is empty.  A printer handle without a job
 * record goes on.
 */
int DOC_CheckDestination(HDC hdc, HANDLE printer);

/* ---- Start of document and the job data ---------------------------------------- */

/* The private escape `code` on the application's context: the renderer's answer (0 or less: failed). */
int DOC_Escape(HDC hdc, ULONG code, const void *in, size_t inSize, void *out = nullptr, size_t outSize = 0);

/*
 * Start of document: the job record's per-document data taken from the
 * renderer and the stores, the front-end checks, the fix-ups and the
 * settings sent back.  1, or -1 (the job is cancelled).
 */
int DOC_OnStartDoc(HANDLE printer, HDC hdc, const DOCINFOW *const *docInfo);

/* Start-doc-post, in this order: 1 go on, -1 cancel (the later steps do not run). */
int DOC_ConfirmSharedPrinter(HANDLE printer, HDC hdc);
/* Registers each copy set with the document monitor; 1, or 0 when nothing was registered (not looked at). */
int DOC_RegisterCopySets(HANDLE printer, HDC hdc, DWORD jobId);
/* Starts the model's job companion program, not waited for; 1 started, 0 not (not looked at). */
int DOC_StartHelperProgram(HANDLE printer, HDC hdc, DWORD jobId);
/* Sends the job data inside the job-data bracket (also after a reset); 1, or -1 when an escape failed. */
int DOC_SendJobData(HANDLE printer, HDC hdc);
/* Builds one PJL job header per copy set into the record's header set; 1, or -1 when a header fails. */
int DOC_BuildJobHeaders(HANDLE printer, HDC hdc);

/*
 * The user's name into `buffer` of *size characters: the logged-on user,
 * or for "SYSTEM" (or when it cannot be had) the machine's default user
 * name, cut to the buffer; "UnknownUser" when there is none or it is blank,
 * with its length in *size.  1, or 0 for an unusable buffer, a default name
 * over 1,024 bytes or one that cannot be read.
 */
int DOC_GetUserName(LPWSTR buffer, DWORD *size);

/* Fills the 2,112-byte job identity block: computer, document, user and printer name.  1, or 0. */
int DOC_FillJobIdentity(HANDLE printer, const DOCINFOW *docInfo, BYTE *block);

/* Builds the 768-byte annotation record from settings 1296-1301.  Always 1. */
int DOC_BuildAnnotationInfo(BYTE *info, HANDLE printer, HDC hdc, BYTE *image, BYTE *printerData,
                            LPCWSTR documentName, ModelContext *context);

/*
 * `text` kept to at most `limit` bytes in the ANSI code page, back in wide
 * characters in `out` (room for limit + 1 characters); empty when the ANSI
 * form is longer.  The ANSI bytes kept; 0 for a limit above 1,023.
 */
int DOC_TruncateToAnsi(LPCWSTR text, LPWSTR out, int limit);

/*
 * The job's copy sets for registration and headers: 1 when the job is not
 * split (copy-set mode 0: *split false) or one job covers them all (setting 379), else
 * setting 380, at least 1 and at most 65,535.
 */
int DOC_CopySetCount(DWORD copySetMode, BYTE *image, BYTE *printerData, bool *split);

/* The printer's information at level 2 (a GlobalAlloc block the caller frees), or null. */
BYTE *DOC_PrinterInfo2(HANDLE printer);

/* The job-header set's head and what it is sent with. */
inline constexpr DWORD DOC_HEADER_SET_HEAD = 24;

/*
 * The checks start of document runs before the destination check and
 * after it: the fax front end and the print-time prompt.  1 go on, -1
 * cancel.  Only their paths that show nothing are built (see README).
 */
int DOC_RunFaxFrontEnd(HDC hdc, HANDLE printer, const DOCINFOW *docInfo, ModelContext *context);
int DOC_PromptJobInfo(HANDLE printer, HDC hdc, BYTE *image, BYTE *printerData, ModelContext *context,
                      DWORD copySetMode);

/* ---- The page events ------------------------------------------------------------------ */

/* Start of page: the next page's paper index (256: none) and margins sent to the renderer.  1, or -1. */
int DOC_OnStartPage(HANDLE printer, HDC hdc);

/*
 * End of page (endOfDocument 0) or of document (1): the decorations due are
 * asked for (none due, or a failed query or settings fetch: 1) and drawn:
 * the page watermark, the sheet watermark and the annotation, the last two
 * at end of document on one page added for them.  The result of the last
 * drawing, 1 when nothing was drawn; -1 when the added page cannot start.
 */
int DOC_OnEndPage(HANDLE printer, HDC hdc, int endOfDocument);

/* Box selectors of the decoration drawing: the areas of the decoration query and whether placements are subtracted. */
inline constexpr int DOC_BOX_PLACED = 0;       /* box B, text drawn less the placement sent (annotations) */
inline constexpr int DOC_BOX_PAGE = 1;         /* box A: the page watermark */
inline constexpr int DOC_BOX_SHEET = 2;        /* box B, text drawn where it lies (the sheet watermark) */

/*
 * The watermark of settings image `settings` drawn between the renderer's
 * watermark brackets: none configured (no text, no bitmap file): 1 and
 * nothing sent; a refused opening bracket: -1; otherwise the drawing's
 * result, the bracket closed in every case.
 */
int DOC_DrawWatermark(HDC hdc, BYTE *settings, const BYTE *query);

/*
 * A bitmap watermark from file `file`, `scale` and `resolution` giving its
 * size (DOC_BitmapWatermarkSize), placed by position code `position` in the
 * area of `boxSelector`, or tiled (position 0) with one placement escape per
 * tile, column by column.  A file that cannot be read draws nothing: 1.
 * -1 for a null context or a refused placement escape (the context's state
 * restored).
 */
int DOC_DrawBitmapWatermark(HDC hdc, const BYTE *query, int resolution, DWORD position, LPCWSTR file, BOOL seeThrough,
                            DWORD scale, int boxSelector);

/*
 * A text watermark (also an annotation line): `font` (height and width in
 * points) scaled to `resolution`, turned by its escapement, framed by
 * `frame` (0 none, 1 rectangle, 2 ellipse), placed or tiled by `position`
 * in the area of `boxSelector`.  1, or -1 for a null context, a font that
 * cannot be made, another frame shape, a layout that fails or a refused
 * placement escape (the context's state restored, the objects deleted).
 */
int DOC_DrawTextWatermark(HDC hdc, const BYTE *query, int resolution, DWORD position, const LOGFONTW *font,
                          LPCWSTR text, COLORREF colour, int unused1, int unused2, int frame, int boxSelector);

struct PlacementLayout;

/*
 * The frame of copy `copy` of `layout`, inset by half the pen width: a
 * rectangle's four corners clockwise from its top left (points[0..3]), or
 * an ellipse's bounding box (points[0] top left, points[1] bottom right).
 * 1, or 0 for another shape or a copy the layout lacks.
 */
int DOC_FramePoints(const PlacementLayout *layout, int frame, SIZEL frameSize, LONG penWidth, int copy,
                    POINT points[4]);

/*
 * The annotation of the renderer's annotation record, between the
 * annotation brackets: items sharing a position printed as one line joined
 * by " : ".  1 when nothing is to be printed, -1 when the record or the
 * opening bracket is refused or a line fails (the bracket is closed then
 * too), else the last line's result.
 */
int DOC_DrawAnnotation(HDC hdc, BYTE *settings, const BYTE *query);

/*
 * The width and height of the decoration area: box A of the 44-byte
 * decoration query for box selector 1, box B otherwise (|x1 - x0|,
 * |y1 - y0|, cut to whole device units).  Always 1.
 */
int DOC_GetDrawArea(const BYTE *query, int boxSelector, LONG *width, LONG *height);

/*
 * The size of a bitmap watermark on the page, in device units: each side
 * pixels / pixels per metre (3,780 when the bitmap gives none) x `scale` x
 * `resolution` / 25.4, cut toward zero.  1, or 0 when a side is not
 * positive (nothing is drawn).
 */
int DOC_BitmapWatermarkSize(const BITMAPINFOHEADER *header, DWORD scale, int resolution, LONG *width, LONG *height);

#endif /* TARVELUI_DOC_EVENTS_H */
