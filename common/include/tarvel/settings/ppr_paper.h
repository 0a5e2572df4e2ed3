/*
 * Papers and forms: the spooler's forms as a list (numbered from 1 in the
 * order EnumFormsW gives them; built-in forms carry FORM_BUILTIN), the
 * mapping between forms and the model's paper codes, and the paper list of
 * a model context: the model's papers, each tied to a spooler form,
 * followed by the user's spooler forms (not the built-in ones) that fit the
 * model's custom paper range (codes from 512 up).  The list exists only when the model's devmode
 * mapping description has formdb mode 1 and printer-data setting 5201 is
 * on; without it callers use the model's papers directly.  Also the table
 * that ties a paper source to its five per-tray printer-data settings.
 *
 * Sizes in the list and of spooler forms are thousandths of a millimetre;
 * sizes handed out by the queries are tenths of a millimetre.
 */
#ifndef TARVEL_PPR_PAPER_H
#define TARVEL_PPR_PAPER_H

#include <plat/spooler.h>
#include <plat/types.h>

struct ModelContext;

/* Results of the spooler-form helpers. */
inline constexpr int PPR_FORM_OK = 1;
inline constexpr int PPR_FORM_BEYOND = 2;      /* form number above the count; option lookup ran out */
inline constexpr int PPR_FORM_SPOOLER = 3;     /* spooler failure or no forms */
inline constexpr int PPR_FORM_NO_MEMORY = 10;  /* out of memory or bad argument */

/* Results of the paper-list operations. */
inline constexpr int PPR_OK = 1;
inline constexpr int PPR_NO_CONTEXT = -1;
inline constexpr int PPR_NO_LIST = -2;
inline constexpr int PPR_NOT_FOUND = -3;
inline constexpr int PPR_BAD_ARGUMENT = -100;

/* Search keys and answers of PPR_FindPaper and PPR_GetPaperByIndex. */
inline constexpr int PPR_BY_CODE = 1;
inline constexpr int PPR_BY_FORM = 2;
inline constexpr int PPR_BY_NAME = 3;
inline constexpr int PPR_GIVE_CODE = 1;
inline constexpr int PPR_GIVE_FORM = 2;
inline constexpr int PPR_GIVE_NAME = 3;  /* a pointer to the item's name, owned by the list */
inline constexpr int PPR_GIVE_SIZE = 4;  /* width / 100 in the low, length / 100 in the high 32 bits */

/* Which counts PPR_GetPaperCount adds up, and which array PPR_GetPaperArrays builds. */
inline constexpr int PPR_MODEL_PAPERS = 1;
inline constexpr int PPR_ADDED_FORMS = 2;
inline constexpr int PPR_ALL_PAPERS = 3;
inline constexpr int PPR_ALL_BUT_CUSTOM = 4;
inline constexpr int PPR_ARRAY_CODES = 1;
inline constexpr int PPR_ARRAY_FORMS = 2;
inline constexpr int PPR_ARRAY_NAMES = 3;
inline constexpr int PPR_ARRAY_SIZES = 4;

/* Name field of a paper-list item: 64 characters with the NUL. */
inline constexpr int PPR_NAME_CHARS = 64;
/* Paper code of the first spooler form added to the list. */
inline constexpr WORD PPR_FIRST_ADDED_CODE = 512;

/* One paper of the list. */
struct PaperListItem {
    WORD formNumber;              /* 1-based spooler form number; 0 for the model's custom paper */
    WCHAR name[PPR_NAME_CHARS];
    LONG width;                   /* thousandths of a millimetre */
    LONG length;
    WORD code;                    /* the model paper's identifier, or 512 + n for added forms */
    LONG left, top, right, bottom; /* imageable area, thousandths of a millimetre */
};

/* The paper list of a model context: model papers first, then added forms. */
struct PaperList {
    PaperListItem *items;
    WORD modelCount;
    WORD formCount;
};

/* A pair of values in tenths of a millimetre. */
struct PprPair {
    LONG first;
    LONG second;
};

/* ---- Spooler forms -------------------------------------------------------- */

/*
 * PPR_EnumForms: every spooler form (EnumFormsW level 1): a first call
 * without a buffer, then one with a block of the size it asked for.  On
 * PPR_FORM_OK *forms is a new GlobalAlloc block (free with GlobalFree), with
 * its size in *needed and the form count in *count.  PPR_FORM_SPOOLER for a
 * spooler failure or no forms, PPR_FORM_NO_MEMORY for a null argument or no
 * memory (outputs then null and 0).
 */
int PPR_EnumForms(HANDLE printer, FORM_INFO_1W **forms, DWORD *needed, DWORD *count);

/* PPR_IsBuiltinForm: 1 when form `number` exists and is built-in. */
BOOL PPR_IsBuiltinForm(HANDLE printer, WORD number);

/*
 * PPR_CopyFormName: the name of form `number` into `name` (`chars`
 * characters with the NUL; longer names are cut).  PPR_FORM_OK,
 * PPR_FORM_BEYOND above the count, PPR_FORM_SPOOLER, PPR_FORM_NO_MEMORY.
 */
int PPR_CopyFormName(HANDLE printer, WORD number, LPWSTR name, int chars);

/* PPR_GetFormName: a new copy of form `number`'s name (free with GlobalFree), or null. */
LPWSTR PPR_GetFormName(HANDLE printer, WORD number);

/* PPR_ModelHasPaperCode: 1 when the printer's model has paper-size option `code` (opens its own context). */
BOOL PPR_ModelHasPaperCode(HANDLE printer, WORD code);

/*
 * PPR_FormToModelPaper: the model paper code of form `number`: the form's
 * number when it is built-in and a paper-size option of the model, else the
 * value of the first paper-size option whose paper has the form's name
 * (exactly).  PPR_FORM_OK with *code; PPR_FORM_NO_MEMORY when the form's
 * name or a model context cannot be had; PPR_FORM_BEYOND when no option
 * matches.
 */
int PPR_FormToModelPaper(HANDLE printer, WORD number, WORD *code);

/* ---- The paper list ------------------------------------------------------- */

/* PPR_IsFormsMergeEnabled: 1 when the context's mapping has formdb mode 1 and setting 5201 is on. */
BOOL PPR_IsFormsMergeEnabled(ModelContext *context, void *printerData);

/*
 * PPR_BuildPaperList: builds the context's paper list (replacing one it
 * held).  PPR_OK, also when merging is disabled (no list is then built);
 * PPR_NO_CONTEXT; PPR_BAD_ARGUMENT when the capacity (header entry 41) is
 * below the model's paper count, a model paper is neither a built-in form
 * nor named among the spooler forms, the forms cannot be listed, or memory
 * runs out (no list then).
 */
int PPR_BuildPaperList(HANDLE printer, ModelContext *context, void *printerData);

/* PPR_FreePaperList: frees the context's list; PPR_OK, PPR_NO_CONTEXT. */
int PPR_FreePaperList(ModelContext *context);

/* PPR_HasPaperList: 1 when the context holds a list. */
BOOL PPR_HasPaperList(ModelContext *context);

/* PPR_GetPaperCount: the count `which` names (PPR_MODEL_PAPERS ... PPR_ALL_BUT_CUSTOM). */
int PPR_GetPaperCount(ModelContext *context, WORD *count, int which);

/*
 * PPR_FindPaper: the first item whose code (PPR_BY_CODE), form number
 * (PPR_BY_FORM) or name (PPR_BY_NAME, exact; `key` is then an LPCWSTR)
 * equals `key`, answered as `what` says into *out.  PPR_NOT_FOUND.
 */
int PPR_FindPaper(ModelContext *context, int by, ULONG_PTR key, int what, ULONGLONG *out);

/* PPR_GetPaperByIndex: the same answers for the item at 0-based `position`. */
int PPR_GetPaperByIndex(ModelContext *context, int position, int what, ULONGLONG *out);

/*
 * PPR_GetPaperArrays: one new GlobalAlloc array over the items: 16-bit
 * codes, 16-bit form numbers, names of PPR_NAME_CHARS characters, or sizes
 * (PprPair, tenths of a millimetre).  Items with form number 0 are left out
 * unless `includeCustom`; with it *customEntry (when given) points at that
 * item's entry (null when none).  *bytes receives the array's size.
 */
int PPR_GetPaperArrays(ModelContext *context, int which, void **array, DWORD *bytes, BOOL includeCustom,
                       void **customEntry);

/*
 * PPR_GetPaperMargins: for the item with paper code `code`, in tenths of a
 * millimetre: its size, its printable size (right - left, bottom - top),
 * (left, length - bottom) and (width - right, top).  Any output may be null.
 */
int PPR_GetPaperMargins(ModelContext *context, WORD code, PprPair *size, PprPair *printable, PprPair *leftBottom,
                        PprPair *rightTop);

/* ---- Trays ------------------------------------------------------------------ */

/* PPR_GetTraySettingIds: the five per-tray printer-data settings of paper source `source`; 1 or 0. */
BOOL PPR_GetTraySettingIds(WORD source, WORD ids[5]);

/* PPR_GetTrayCustomSizeIds: the custom width and length settings of the tray whose first setting is `firstId`. */
BOOL PPR_GetTrayCustomSizeIds(WORD firstId, WORD *widthId, WORD *lengthId);

#endif /* TARVEL_PPR_PAPER_H */
