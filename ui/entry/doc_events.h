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

/* ---- Work of the events that later work completes -------------------------------- */

/*
 * Start of document, start-doc-post, the page events and the job data sent
 * after a reset.  Not built yet: each answers 0 (the event is not handled,
 * GDI goes on without it) with a trace line and ERROR_CALL_NOT_IMPLEMENTED.
 */
int DOC_OnStartDoc(HANDLE printer, HDC hdc, const DOCINFOW *const *docInfo);
int DOC_OnStartPage(HANDLE printer, HDC hdc);
int DOC_OnEndPage(HANDLE printer, HDC hdc, int endOfDocument);
int DOC_ConfirmSharedPrinter(HANDLE printer, HDC hdc);
int DOC_RegisterCopySets(HANDLE printer, HDC hdc, DWORD jobId);
int DOC_StartHelperProgram(HANDLE printer, HDC hdc, DWORD jobId);
int DOC_SendJobData(HANDLE printer, HDC hdc);

#endif /* TARVELUI_DOC_EVENTS_H */
