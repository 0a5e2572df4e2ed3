/*
 * Paper forms of a device context: the job form (the paper the application
 * asked for), the feed form (the paper actually fed) and the sheet form of
 * the current sheet, with their printable areas; the length units of the
 * rendering library; and the printable area reported to the graphics
 * engine.  The job and feed forms are resolved when a device context is
 * created, from the devmode's form name, paper number or custom size, the
 * spooler's forms and the model's paper records.
 *
 * Units: a PaperForm holds 1/18432 inch ("internal units"); model paper
 * records hold tenths of a millimetre; spooler forms micrometres.  The unit
 * conversions run in single precision and truncate toward zero, so their
 * results are reproducible to the unit (the sources are compiled without
 * floating-point contraction).
 *
 * Margin pairs of a model paper record: the first pair holds the left and
 * the bottom margin, the second the right and the top margin.
 */
#ifndef TARVELGR_PAPER_FORM_H
#define TARVELGR_PAPER_FORM_H

#include <tarvel/model_data/model_records.h>

#include <plat/types.h>

struct PdevContext;

/* Internal units per inch. */
inline constexpr LONG FORM_UNITS_PER_INCH = 18432;

/* Characters of a form name, its terminator included. */
inline constexpr int FORM_NAME_CHARS = 32;

/* Paper numbers with a meaning of their own. */
inline constexpr WORD FORM_PAPER_USER = 256;      /* a size of the user's (DMPAPER_USER) */
inline constexpr WORD FORM_PAPER_USER_SIZE = 262; /* the model's user-size record */
inline constexpr WORD FORM_PAPER_JOB_OWN = 267;   /* output paper: the job's own paper */

/* Media code of a model paper that the model does not print as such. */
inline constexpr WORD FORM_MEDIA_NOT_PRINTED = 0xFFFF;

/* Two sizes within this many tenths of a millimetre are the same paper. */
inline constexpr LONG FORM_SIZE_TOLERANCE = 10;

/* Results of the searches of model papers and spooler forms. */
enum : int {
    FORM_FOUND = 0,
    FORM_BAD_ARGUMENT = 1,
    FORM_NOT_FOUND = 2,
    FORM_SPOOLER_ERROR = 3,
    FORM_NO_MEMORY = 10,
};

/* One paper geometry; lengths in internal units. */
struct PaperForm {
    WCHAR name[FORM_NAME_CHARS]; /* zero-filled */
    LONG left;                   /* printable area */
    LONG top;
    LONG right;
    LONG bottom;
    LONG width;                  /* paper */
    LONG height;
    LONG turned;                 /* 1 when turned to landscape */
    LONG substituted;            /* 1 when taken from the model in place of the requested paper */
    ModelRecord *modelPaper;     /* the model paper record (kind 10) it came from, or null; owned */
};

/* The printable area the engine is told of, in tenths of a millimetre. */
struct GdiPrintableArea {
    LONG offsetX;
    LONG offsetY;
    LONG printableWidth;
    LONG printableLength;
    LONG paperWidth;
    LONG paperLength;
};

/* A spooler form in tenths of a millimetre. */
struct SpoolerForm {
    WCHAR name[FORM_NAME_CHARS];
    DWORD index;     /* 1-based position among the spooler's forms */
    BOOL builtIn;    /* FORM_BUILTIN */
    LONG width;
    LONG length;
    RECT imageable;  /* left, top, right, bottom */
};

/* ---- Units ----------------------------------------------------------------- */

/* Micrometres to internal units: x * 18432 / 25400 in single precision, truncated. */
LONG FORM_MicronsToUnits(LONG microns);

/* Internal units to micrometres: x * 25400 / 18432, truncated. */
LONG FORM_UnitsToMicrons(LONG units);

/* Internal units to device pixels at `dpi`: x * dpi / 18432, truncated. */
LONG FORM_UnitsToPixels(LONG units, LONG dpi);

/* Tenths of a millimetre (a model paper's unit) to internal units: times 100, then from micrometres. */
LONG FORM_TenthsToUnits(LONG tenths);

/* Internal units to tenths of a millimetre, rounded half up ((micrometres + 50) / 100). */
LONG FORM_UnitsToTenths(LONG units);

/* Tenths of a millimetre to pixels at `dpi`: tenths * dpi / 254, rounded half up. */
LONG FORM_TenthsToPixels(LONG tenths, LONG dpi);

/* ---- Model papers (kind 10) ------------------------------------------------ */

/*
 * True when the paper record describes one size: its two size pairs are the
 * same paper, upright or turned.  A record whose pairs differ otherwise is a
 * size range (a custom paper).
 */
bool FORM_IsFixedSize(const ModelRecord *paper);

/*
 * Model paper searches over the context's model.  Each answers FORM_FOUND
 * with a new record in *paper (the caller frees it with DDD_FreeRecord, or
 * hands it to a form), FORM_NOT_FOUND, or FORM_BAD_ARGUMENT.
 */
int FORM_FindModelPaperById(PdevContext *pdev, WORD code, ModelRecord **paper);
int FORM_FindModelPaperByName(PdevContext *pdev, LPCWSTR name, ModelRecord **paper);
/* By size within FORM_SIZE_TOLERANCE of w x h (tenths, as given, not turned); size ranges are passed over. */
int FORM_FindModelPaperBySize(PdevContext *pdev, LONG w, LONG h, ModelRecord **paper);
/* The default paper: the one the model's default paper size names, else the first paper record. */
int FORM_FindDefaultModelPaper(PdevContext *pdev, ModelRecord **paper);

/* ---- Spooler forms ---------------------------------------------------------- */

/*
 * Spooler form lookups on the context's printer (level 1).  Each answers
 * FORM_FOUND with *form filled, FORM_NOT_FOUND, FORM_SPOOLER_ERROR or
 * FORM_NO_MEMORY (FORM_BAD_ARGUMENT for missing arguments).
 */
int FORM_SpoolerFormByName(PdevContext *pdev, LPCWSTR name, SpoolerForm *form);
int FORM_SpoolerFormByIndex(PdevContext *pdev, DWORD index, SpoolerForm *form);
/* By size w x h (tenths; the form's size in micrometres must be w * 100 x h * 100). */
int FORM_SpoolerFormBySize(PdevContext *pdev, LONG w, LONG h, SpoolerForm *form);

/* ---- Forms of the device context ------------------------------------------ */

/*
 * Fills the job and feed forms of the context from its settings (turning
 * the job form for a landscape devmode that names its orientation).
 * Returns 1, or 0 when a form cannot be resolved (the forms are then freed).
 */
int PDEV_ResolveForms(PdevContext *pdev);

/* The job form: by form name, else paper number, else custom size, else the default paper.  1 or 0. */
int PDEV_ResolveJobForm(PdevContext *pdev, PaperForm *form);

/* The feed form for `jobForm`: the output paper, the job's own, the user-size record or the default.  1 or 0. */
int PDEV_ResolveFeedForm(PdevContext *pdev, const PaperForm *jobForm, PaperForm *form);

/*
 * A form from a model paper record, which the form takes over (freed with
 * the form, also on failure).  `borderless` makes the whole paper
 * printable.  1 or 0.
 */
int PDEV_FormFromModelPaper(PdevContext *pdev, ModelRecord *paper, PaperForm *form, BOOL borderless);

/* A form from the model's default paper.  1 or 0. */
int PDEV_FormFromDefaultPaper(PdevContext *pdev, PaperForm *form);

/*
 * The printable area of a paper of w x h tenths of a millimetre, named
 * `name` (may be null) and, for a job form with the user-paper flag, found
 * among the spooler forms at `formIndex` (0: none), by name or by size;
 * otherwise from the model's user-size record (centred when the paper is
 * larger than its largest printable size with the minimum margins).  1 or 0.
 */
int PDEV_CustomPrintableArea(PdevContext *pdev, LONG w, LONG h, LPCWSTR name, DWORD formIndex, PaperForm *form);

/* Frees the form's model paper record and empties the form. */
void FORM_Free(PaperForm *form);

/*
 * The printable area the engine is told of (tenths of a millimetre),
 * derived from the job form: a model paper's margins and printable extents
 * on the spooler form's size, else the form's own printable area centred;
 * the job devmode's user margins when it asks for them; the whole paper
 * when borderless.  The printable area never reaches into the margins.
 * 1, or 0 when the job form's model paper has no spooler form.
 */
int FORM_GdiPrintableArea(PdevContext *pdev, GdiPrintableArea *area);

#endif /* TARVELGR_PAPER_FORM_H */
