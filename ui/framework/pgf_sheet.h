/*
 * One open property sheet: its sheet context with the working, initial and
 * last-applied settings sets, the per-sheet copy of the page tables
 * (PageArray), and the accessors of the sheet state.  The records
 * themselves (SheetState, SheetContext, SettingsSet) are declared with the
 * framework services the common library shares (tarvel/base/pgf_services.h).
 */
#ifndef TARVELUI_PGF_SHEET_H
#define TARVELUI_PGF_SHEET_H

#include "pgf_records.h"

#include <tarvel/base/pgf_services.h>

/* The per-sheet copy of the page tables. */
struct PageArray {
    PageInfo *pages[PGF_PAGE_SLOTS]; /* slot n: a copy of the first listed page with id n, or null */
    PgfList *optionCache;            /* cached option lists */
};

/* ---- Settings sets ----------------------------------------------------- */

/* Allocates both zero-filled buffers, no fax list; 0 (nothing left allocated) when memory runs out. */
BOOL PGF_InitSettingsSet(SettingsSet *set);
/* Frees the buffers and the fax list and clears the set; null is accepted. */
void PGF_FreeSettingsSet(SettingsSet *set);
/* TRUE when both buffers exist. */
BOOL PGF_IsSettingsSetValid(const SettingsSet *set);
/*
 * Copies the two buffers and the fax list of `source` into the existing
 * buffers of `target`.  All or nothing: when the copy of the fax list
 * cannot be made, the target is left as it was and the answer is 0.  0 too
 * when either set is not valid.
 */
BOOL PGF_CopySettingsSet(SettingsSet *target, const SettingsSet *source);

/* ---- Sheet contexts ---------------------------------------------------- */

/*
 * A new context over `state` whose working and initial sets are copies of
 * `set`, with a last-applied copy of `applied` when that is a valid set
 * (null: none), the three scratch lists and the two state lists; `owner`
 * may be null (the sheet's own context learns it later).  Null when the
 * state is missing, `set` is not valid or memory runs out (nothing left).
 */
SheetContext *PGF_CreateSheetContext(HWND owner, SheetState *state, const SettingsSet *set,
                                     const SettingsSet *applied);
/* Frees the sets, the lists and the record, and clears *context; null is accepted. */
void PGF_FreeSheetContext(SheetContext **context);
/* Frees the three sets only. */
void PGF_FreeSheetSets(SheetContext *context);
/*
 * Working from the last applied set, or from the initial set when
 * `fromInitial` is set or nothing was applied yet.  0 when the copy fails.
 */
BOOL PGF_RestoreWorking(SheetContext *context, BOOL fromInitial);
/* Makes the last-applied set when needed and copies working into it; 0 on failure. */
BOOL PGF_SnapshotApplied(SheetContext *context);

/* The page window's context (its DWLP_USER value); null when none. */
SheetContext *PGF_GetPageData(HWND page);
/* The working buffers of the page window's context; 0 when the window has none. */
BOOL PGF_GetWorkingSettings(HWND page, BYTE **settings, BYTE **printerData);

/* ---- Page array -------------------------------------------------------- */

/*
 * The sheet's page array from its page list: for each id 0..60 a copy of
 * the page information of the first record with that id.  Null when memory
 * runs out.
 */
PageArray *PGF_CreatePageArray(const PageRecord *const *records, LONG count);
/* Frees the copies, the cached option lists and the array; null is accepted. */
void PGF_FreePageArray(PageArray *array);
/* The sheet's copy of a page's information; null outside 0..60 or when the page is not in the sheet. */
PageInfo *PGF_GetPageInfo(HWND page, LONG pageId);
/* The control table of a page of the sheet; 0 (count -1) when the page is not there. */
BOOL PGF_GetPageTable(HWND page, LONG pageId, const ControlDescriptor **controls, LONG *count);
const ControlDescriptor *PGF_GetPageControls(HWND page, LONG pageId);
/* The number of controls of a page of the sheet; -1 when the page is not there. */
LONG PGF_GetPageControlCount(HWND page, LONG pageId);

/* ---- Accessors of the sheet state (a null state answers 0, -1 or null) -- */

void PGF_LoadModelCaps(SheetState *state, const DWORD caps[3]);
BOOL PGF_GetModelCaps(const SheetState *state, DWORD caps[3]);
/* The locale's unit (LOCALE_IMEASURE) when capability 0x800000 is set, else millimetres; also the current unit. */
BOOL PGF_LoadLocaleUnit(SheetState *state);
SHORT PGF_GetLocaleUnit(const SheetState *state);
void PGF_ResetCurrentUnit(SheetState *state);
void PGF_SetCurrentUnit(SheetState *state, SHORT unit);
SHORT PGF_GetCurrentUnit(const SheetState *state);
LONG PGF_GetActivePageId(const SheetState *state);
LONG PGF_GetActionDone(const SheetState *state);
void PGF_SetActionDone(SheetState *state, LONG done);
LONG PGF_GetInitCheckDone(const SheetState *state);
void PGF_SetInitCheckDone(SheetState *state);
void PGF_ClearInitCheckDone(SheetState *state);
LONG PGF_GetSkipCheck(const SheetState *state);
void PGF_SetSkipCheck(SheetState *state, LONG skip);
SHORT PGF_GetFieldMode(const SheetState *state);
void PGF_SetFieldMode(SheetState *state, SHORT mode);
SHORT PGF_GetPendingTitleItem(const SheetState *state);
void PGF_SetPendingTitleItem(SheetState *state, SHORT item);
/* The tooltip window of a page kind: kind 1 the tab pages' one, other kinds the other one. */
HWND PGF_GetTooltipWindow(const SheetState *state, SHORT pageKind);
void PGF_SetTooltipWindow(SheetState *state, SHORT pageKind, HWND tooltip);
LPCWSTR PGF_GetFileDialogText(const SheetState *state);
/* Keeps `text`; refused (0, nothing changed) when its ANSI form is longer than 127 bytes. */
BOOL PGF_SetFileDialogText(SheetState *state, LPCWSTR text);
LPCWSTR PGF_GetHelpFile(const SheetState *state);
/* Keeps a help path; a path that does not fit leaves the field empty (0), since a cut path names another file. */
BOOL PGF_SetHelpFile(SheetState *state, LPCWSTR path);
ModelContext *PGF_GetPageModel(HWND page);
PgfList *PGF_GetOptionCache(const SheetState *state);
/* A zero-filled array of `bytes` kept as the sheet's title strings; 0 when memory runs out. */
BOOL PGF_AllocTitleStrings(SheetState *state, SIZE_T bytes);
void PGF_FreeTitleStrings(SheetState *state);

#endif /* TARVELUI_PGF_SHEET_H */
