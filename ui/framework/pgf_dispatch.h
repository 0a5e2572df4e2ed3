/*
 * Message dispatch of the property-page framework: a page's dialog
 * procedure maps each message to a slot, may override chosen slots with its
 * own functions, and dispatches the message with a fresh handler context to
 * the slot function, which routes control messages to the control handlers.
 * Also the handler context's accessors and the small slot functions.
 */
#ifndef TARVELUI_PGF_DISPATCH_H
#define TARVELUI_PGF_DISPATCH_H

#include "pgf_records.h"

#include <tarvel/base/pgf_services.h>

/* The context of one dispatched message (zero-filled, freed after the message). */
struct HandlerContext {
    LONG code;                               /* the code now given to a handler */
    LONG actionResult;                       /* left by a button action */
    HWND page;
    HWND owner;                              /* the sheet frame (tab pages) or the context's owner */
    LONG permitted;
    LONG pageId;
    LONG refreshPending;                     /* 1 = refresh the page when the handler returns */
    WORD *changedItems;                      /* zero-terminated settings changed; owned */
    ControlHandler defaultHandler;           /* the kind's handler of the control being handled */
    const ControlDescriptor *refreshControl; /* the control that asked for the refresh */
    LONG buttonAction;                       /* the button action being run (0 none) */
    ModelContext *model;
    BYTE *settings;                          /* the working set's buffers */
    BYTE *printerData;
    SHORT pageKind;
};

/* What every slot function gets. */
struct SlotArgs {
    HandlerContext *context;
    const ControlDescriptor *controls; /* null before the page is bound to its sheet context */
    LONG controlCount;
    SHORT pageKind;
};

/* ---- The dialog procedure's three calls -------------------------------- */

/*
 * The slot of a message and its slot function for the page kind (possibly
 * empty).  WM_NOTIFY is matched on the code of the NMHDR that lParam points
 * to.  *slot is -1 and the answer 0 for a message without a row and for
 * another page kind than 1, 3 or 4.
 */
BOOL PGF_LookupSlot(UINT message, WPARAM wParam, LPARAM lParam, SHORT pageKind, SlotFunction *function, LONG *slot);
/*
 * When `wanted` equals `current`, *function becomes `proc`.  0 when either
 * slot is above 30 or negative, or the output is missing; else 1.
 */
BOOL PGF_OverrideSlot(SlotProc proc, LONG wanted, SlotFunction *function, LONG current);
BOOL PGF_OverrideColorSlot(ColorSlotProc proc, LONG wanted, SlotFunction *function, LONG current);
/*
 * Calls the slot function with a fresh handler context and the page's
 * control table from the sheet's page array; 0 without a slot function or
 * when the context cannot be made.
 */
LRESULT PGF_DispatchMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam, LONG pageId, SHORT pageKind,
                            const SlotFunction *function);

/* ---- Control routing ---------------------------------------------------- */

/*
 * Gives `code` to every control's handler in table order (own handler, else
 * the kind's default).  For PGF_MSG_VALIDATE the first answer other than
 * `noObjection` is returned at once; otherwise the last such answer, else
 * `noObjection`.
 */
LRESULT PGF_NotifyControls(HandlerContext *context, UINT code, WPARAM wParam, LPARAM lParam,
                           const ControlDescriptor *controls, LONG count, LRESULT noObjection);
/* The control a message names by id (the page's table, then the common buttons); null when none. */
const ControlDescriptor *PGF_FindControlById(UINT message, WPARAM wParam, const ControlDescriptor *controls,
                                             LONG count);
/* The control (not PGF_NO_CONTROL) whose window is lParam, for WM_VKEYTOITEM, WM_HSCROLL, WM_VSCROLL. */
const ControlDescriptor *PGF_FindControlByWindow(HWND page, UINT message, LPARAM lParam,
                                                 const ControlDescriptor *controls, LONG count);
const ControlDescriptor *PGF_FindTargetControl(HWND page, UINT message, WPARAM wParam, LPARAM lParam,
                                               const ControlDescriptor *controls, LONG count);

/* ---- Handler context accessors (a null context answers 0 or null) ------- */

HWND PGF_GetCtxWindow(const HandlerContext *context);
HWND PGF_GetCtxOwner(const HandlerContext *context);
LONG PGF_GetCtxPageId(const HandlerContext *context);
SHORT PGF_GetCtxPageKind(const HandlerContext *context);
ModelContext *PGF_GetCtxModel(const HandlerContext *context);
BOOL PGF_GetCtxSettings(const HandlerContext *context, BYTE **settings, BYTE **printerData);
BYTE *PGF_GetCtxPrinterData(const HandlerContext *context);
LONG PGF_GetCtxPermission(const HandlerContext *context);
void PGF_SetCtxCode(HandlerContext *context, LONG code);
LONG PGF_GetActionResult(const HandlerContext *context);
void PGF_SetActionResult(HandlerContext *context, LONG result);
/* The button action being run; -1 without a context. */
LONG PGF_GetCurrentAction(const HandlerContext *context);
void PGF_SetCurrentAction(HandlerContext *context, LONG action);
/* The default handler of the control being handled; null outside a handler call. */
ControlHandler PGF_GetDefaultHandler(const HandlerContext *context);
const ControlDescriptor *PGF_GetRefreshControl(const HandlerContext *context);
void PGF_SetRefreshFlag(HandlerContext *context, LONG flag);
const WORD *PGF_GetChangedItems(const HandlerContext *context);
/* Replaces the pointer without freeing the old list. */
void PGF_SetChangedItems(HandlerContext *context, WORD *items);
BOOL PGF_IsItemChanged(const HandlerContext *context, WORD ddmid);
/*
 * refreshPending = flag; a list other than the current one replaces it (the
 * old one freed, the new one taken over); refreshControl = control.
 */
void PGF_RequestRefresh(HandlerContext *context, LONG flag, WORD *items, const ControlDescriptor *control);
/* Appends settings to the changed list (a new list; the old one freed); 0 when memory runs out. */
BOOL PGF_AppendChangedItems(HandlerContext *context, const WORD *items, LONG count);

/* ---- Slot functions ---------------------------------------------------- */

LRESULT PGF_SlotControlMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam, LONG pageId, SlotArgs *args);
LRESULT PGF_SlotTabCommand(HWND page, UINT message, WPARAM wParam, LPARAM lParam, LONG pageId, SlotArgs *args);
LRESULT PGF_SlotCycleValue(HWND page, UINT message, WPARAM wParam, LPARAM lParam, LONG pageId, SlotArgs *args);
LRESULT PGF_SlotBroadcast(HWND page, UINT message, WPARAM wParam, LPARAM lParam, LONG pageId, SlotArgs *args);
LRESULT PGF_SlotMeasureItem(HWND page, UINT message, WPARAM wParam, LPARAM lParam, LONG pageId, SlotArgs *args);
LRESULT PGF_SlotWizFinish(HWND page, UINT message, WPARAM wParam, LPARAM lParam, LONG pageId, SlotArgs *args);
LRESULT PGF_SlotGetPageId(HWND page, UINT message, WPARAM wParam, LPARAM lParam, LONG pageId, SlotArgs *args);
LRESULT PGF_SlotCtlColor(HWND page, UINT message, WPARAM wParam, LPARAM lParam, LONG pageId, SlotArgs *args);
LRESULT PGF_SlotShowWarnings(HWND page, UINT message, WPARAM wParam, LPARAM lParam, LONG pageId, SlotArgs *args);
LRESULT PGF_SlotDestroy(HWND page, UINT message, WPARAM wParam, LPARAM lParam, LONG pageId, SlotArgs *args);
LRESULT PGF_SlotHelp(HWND page, UINT message, WPARAM wParam, LPARAM lParam, LONG pageId, SlotArgs *args);

/* The page lifecycle's slot functions (not built yet: see pgf_not_built.cpp). */
LRESULT PGF_SlotInitTab(HWND page, UINT message, WPARAM wParam, LPARAM lParam, LONG pageId, SlotArgs *args);
LRESULT PGF_SlotInitChild(HWND page, UINT message, WPARAM wParam, LPARAM lParam, LONG pageId, SlotArgs *args);
LRESULT PGF_SlotInitDialog(HWND page, UINT message, WPARAM wParam, LPARAM lParam, LONG pageId, SlotArgs *args);
LRESULT PGF_SlotSetActive(HWND page, UINT message, WPARAM wParam, LPARAM lParam, LONG pageId, SlotArgs *args);
LRESULT PGF_SlotKillActive(HWND page, UINT message, WPARAM wParam, LPARAM lParam, LONG pageId, SlotArgs *args);
LRESULT PGF_SlotReset(HWND page, UINT message, WPARAM wParam, LPARAM lParam, LONG pageId, SlotArgs *args);
LRESULT PGF_SlotApply(HWND page, UINT message, WPARAM wParam, LPARAM lParam, LONG pageId, SlotArgs *args);
/* Help for the page or a control (WM_HELP, WM_CONTEXTMENU, PSN_HELP). */
LRESULT PGF_ShowHelp(HWND page, UINT message, WPARAM wParam, LPARAM lParam, LONG pageId, SlotArgs *args);
/* Every control re-reads its values and availability after a change. */
BOOL PGF_RefreshPage(HandlerContext *context, const WORD *changedItems);
/* The control steps to its next selectable option. */
BOOL PGF_SelectNextOption(HandlerContext *context, const ControlDescriptor *control);

/* ---- Tooltip helpers --------------------------------------------------- */

/* A "tooltips_class32" window owned by the page (TTS_ALWAYSTIP); a non-zero width is its maximum tip width. */
HWND PGF_CreateTooltip(HWND page, int maxWidth);
/* Adds tool `id` of the page with `flags` and `text`; a null text adds nothing (0). */
BOOL PGF_TooltipAddTool(HWND page, HWND tooltip, UINT_PTR id, UINT flags, LPCWSTR text);
BOOL PGF_TooltipSetRect(HWND page, HWND tooltip, UINT_PTR id, UINT flags, const RECT *rect);
/* A null text changes nothing (0). */
BOOL PGF_TooltipUpdateText(HWND page, HWND tooltip, UINT_PTR id, UINT flags, LPCWSTR text);

#endif /* TARVELUI_PGF_DISPATCH_H */
