/*
 * The constant description of every page and dialog of the property-page
 * framework: page records, page information, page descriptors, control
 * descriptors and their items, the control kinds, the common buttons, the
 * message-to-slot table, the slot function tables of the three page kinds,
 * the private page messages, the conflict policy table and the catalogue of
 * the sheets' pages.  Nothing writes these records; a sheet works on its own
 * copies of the page information (pgf_sheet.h).
 */
#ifndef TARVELUI_PGF_RECORDS_H
#define TARVELUI_PGF_RECORDS_H

#include <plat/dialog.h>
#include <plat/types.h>
#include <plat/window.h>

struct HandlerContext;
struct ControlDescriptor;
struct SlotArgs;

/* ---- Control descriptors ---------------------------------------------- */

/* A control with no window of its own (it only carries settings or a handler). */
inline constexpr LONG PGF_NO_CONTROL = -3;
/* "None" in the id fields of the records. */
inline constexpr LONG PGF_NONE = -3;
/* A page descriptor whose dialog procedure supplies the page id itself. */
inline constexpr LONG PGF_PAGE_ID_FROM_PROC = -4;
/* Settings from this id up are pseudo items: availability only, no value. */
inline constexpr WORD PGF_FIRST_PSEUDO_ITEM = 0x9000;

/*
 * A control handler (a kind's default handler or a control's own): the
 * per-message context, the code being given, its wParam and lParam, the
 * control's descriptor and its parameter block.  0 is "no objection" for
 * the codes given to every handler.
 */
using ControlHandler = LRESULT (*)(HandlerContext *context, UINT code, WPARAM wParam, LPARAM lParam,
                                   const ControlDescriptor *control, const void *params);

/* Check mask of an item: evaluate its options at activation (1) and after any change (2). */
inline constexpr WORD PGF_CHECK_ON_ACTIVATE = 1;
inline constexpr WORD PGF_CHECK_ON_CHANGE = 2;

struct ControlItemRef {
    WORD ddmid;     /* the setting (below 0x9000) or pseudo item */
    WORD checkMask; /* PGF_CHECK_* */
};
static_assert(sizeof(ControlItemRef) == 4, "ControlItemRef layout");

/* Display rule flags (low byte of the rule value). */
inline constexpr DWORD PGF_RULE_STAYS_ENABLED = 1;    /* enabled in a read-only sheet, label left alone */
inline constexpr DWORD PGF_RULE_SKIP_DEFAULTS = 2;    /* restore-page-defaults skips its items */
inline constexpr DWORD PGF_RULE_LABEL_FOLLOWS = 4;    /* read-only sheet: label takes the control's state */

struct ControlDescriptor {
    LONG controlId;              /* dialog control id, or PGF_NO_CONTROL */
    LONG itemCount;              /* entries of `items` */
    const ControlItemRef *items; /* or null */
    LONG kind;                   /* CTL_KIND_* */
    ControlHandler handler;      /* own handler, or null for the kind's default */
    const void *params;          /* the kind's parameter block, or null */
    LONG labelId;                /* control id of its label, or PGF_NONE */
    LONG labelFormatId;          /* resource string decorating the label, or PGF_NONE */
    const DWORD *displayRule;    /* rule value (PGF_RULE_* in its low byte), or null */
};

/* Control kinds. */
enum : LONG {
    CTL_KIND_NONE = 0,
    CTL_KIND_OPTION_COMBO = 1,
    CTL_KIND_OPTION_LIST = 2,
    CTL_KIND_OWNER_DRAWN = 3,
    CTL_KIND_NUMBER_EDIT = 4,
    CTL_KIND_RADIO_GROUP = 5,
    CTL_KIND_BUTTON = 6,
    CTL_KIND_CHECK_BOX = 7,
    CTL_KIND_SCROLL_BAR = 8,
    CTL_KIND_SPIN = 9,
    CTL_KIND_VALUE_TEXT = 10,
    CTL_KIND_FILE_NAME = 11,
    CTL_KIND_SLIDER = 12,
    CTL_KIND_PICTURE_PANEL = 13,
    CTL_KIND_PICTURE = 14,
    CTL_KIND_ENABLE_ONLY = 15,
    CTL_KIND_COUNT = 16,
};

/* One row of the kind-to-handler table. */
struct KindHandler {
    WORD kind;
    ControlHandler handler;
};
/* The kinds' default handlers, ended by kind 0 (kinds 0 and 3 have none). */
extern const KindHandler PGF_KindHandlers[];
/* The default handler of `kind`; null for kinds 0 and 3 and unknown kinds. */
ControlHandler PGF_GetKindHandler(LONG kind);

/* The start of every push button's parameter block: its action code. */
struct ButtonAction {
    LONG action;
};
inline constexpr LONG PGF_ACTION_OK = 1;
inline constexpr LONG PGF_ACTION_CANCEL = 2;
inline constexpr LONG PGF_ACTION_RESTORE_DEFAULTS = 3;
inline constexpr LONG PGF_ACTION_HELP = 6;

/* Control ids of the buttons every page and dialog handles alike. */
inline constexpr LONG PGF_ID_OK = 1092;
inline constexpr LONG PGF_ID_CANCEL = 1091;
inline constexpr LONG PGF_ID_RESTORE_DEFAULTS = 1090;
inline constexpr LONG PGF_ID_HELP = 1341;

/* The five common buttons, searched after a page's own table. */
inline constexpr int PGF_COMMON_BUTTON_COUNT = 5;
extern const ControlDescriptor PGF_CommonButtons[PGF_COMMON_BUTTON_COUNT];

/* ---- Pages ------------------------------------------------------------- */

struct HelpIdPair {
    LONG controlId; /* 0 ends the list */
    LONG helpId;
};

struct PageInfo {
    const ControlDescriptor *controls;
    WORD controlCount;
    LONG helpContext;          /* help context of the whole page */
    const HelpIdPair *helpIds; /* or null */
    const LONG *greyIds;       /* control ids ended by -3, or null */
    DWORD rebuild;             /* sheet copies: 1 = rebuild control states at next activation */
};

/* Short form: modal dialogs and pages of nested sheets. */
struct PageDescriptor {
    WORD templateId;
    DLGPROC dialogProc;
    LONG pageId;    /* or PGF_PAGE_ID_FROM_PROC */
    LONG titleId;   /* resource string, or PGF_NONE */
    WORD titleItem; /* setting whose display name is the title, 0 = none */
};

struct PageRecord;

/* Tab form: the short form and every page that can be opened from the tab. */
struct TabPageDescriptor {
    PageDescriptor page;
    const PageRecord *const *children;
    LONG childCount;
};

struct PageRecord {
    LONG pageId; /* 1..60 */
    const PageInfo *pageInfo;
    const TabPageDescriptor *descriptor; /* tab pages only, else null */
};

/* Page kinds (the slot table a page's messages use). */
inline constexpr SHORT PGF_KIND_TAB = 1;
inline constexpr SHORT PGF_KIND_CHILD = 3;
inline constexpr SHORT PGF_KIND_DIALOG = 4;

/* Highest page id; a sheet's page table has PGF_PAGE_SLOTS entries. */
inline constexpr LONG PGF_MAX_PAGE_ID = 60;
inline constexpr LONG PGF_PAGE_SLOTS = PGF_MAX_PAGE_ID + 1;

/* One page or layout variant of the sheets. */
struct PageCatalogueEntry {
    LONG pageId;
    WORD templateId;
    SHORT pageKind;
};
/* The 44 pages and variants the sheets reach. */
inline constexpr int PGF_CATALOGUE_COUNT = 44;
extern const PageCatalogueEntry PGF_PageCatalogue[PGF_CATALOGUE_COUNT];
/* The catalogue entry of a template; null when no page uses it. */
const PageCatalogueEntry *PGF_FindCatalogueEntry(WORD templateId);
/*
 * The page ids that can be opened from the tab of template `templateId`
 * (directly or from one of its dialogs), in order; *count receives their
 * number.  Null (and 0) for a template that is not a tab.
 */
const LONG *PGF_GetTabChildren(WORD templateId, LONG *count);

/* ---- Accessors of the records ----------------------------------------- */

/* The control id; PGF_NO_CONTROL for a null descriptor. */
LONG PGF_GetControlId(const ControlDescriptor *control);
/* The number of items; -1 for a null descriptor. */
LONG PGF_GetControlItemCount(const ControlDescriptor *control);
/* The parameter block; null for a null descriptor. */
const void *PGF_GetControlParam(const ControlDescriptor *control);
/* The descriptor of control id `id` in a table (not the common buttons); null when absent. */
const ControlDescriptor *PGF_FindControl(const ControlDescriptor *controls, LONG count, LONG id);
/*
 * The position of setting `ddmid` among the control's items in *position;
 * TRUE when bound.  An unbound setting reports position 0 with FALSE.
 */
BOOL PGF_FindControlItem(const ControlDescriptor *control, WORD ddmid, LONG *position);
/*
 * The control of the table bound to the same item list as `control` and of
 * kind `kind` (the numeric edit beside a spin control); null when none.
 */
const ControlDescriptor *PGF_FindCompanionControl(const ControlDescriptor *controls, LONG count,
                                                  const ControlDescriptor *control, LONG kind);
/* The n-th descriptor of a table; null outside 0 .. count - 1. */
const ControlDescriptor *PGF_GetControlAt(const ControlDescriptor *controls, LONG count, LONG n);

/* ---- Messages and slots ----------------------------------------------- */

/* Private page messages and the codes given to control handlers. */
inline constexpr UINT PGF_MSG_REFRESH = WM_USER + 1500;                 /* 2524 */
inline constexpr UINT PGF_MSG_VALIDATE = WM_USER + 1500 + 2;            /* 2526 */
inline constexpr UINT PGF_MSG_CANCEL = WM_USER + 1500 + 3;              /* 2527 */
inline constexpr UINT PGF_MSG_SHOW_WARNINGS = WM_USER + 1500 + 4;       /* 2528 */
inline constexpr UINT PGF_MSG_GET_PAGE_ID = WM_USER + 1500 + 5;         /* 2529 */
inline constexpr UINT PGF_MSG_GET_CONTROL_PARAM = WM_USER + 1500 + 6;   /* 2530 */
inline constexpr UINT PGF_MSG_CONTROL_SPARE = WM_USER + 1500 + 7;       /* 2531 */
inline constexpr UINT PGF_MSG_NEXT_VALUE = WM_USER + 1500 + 8;          /* 2532 */
inline constexpr UINT PGF_MSG_DEFERRED_COMMAND = WM_USER + 1500 + 9;    /* 2533 */

/* One row of the message-to-slot table {message, notification code, slot}. */
struct MessageSlotRow {
    WORD message;
    WORD code; /* WM_NOTIFY rows: the NMHDR code as 16 bits */
    WORD slot;
};
/* The 31 rows, ended by a row whose message is 0. */
extern const MessageSlotRow PGF_MessageSlotTable[];

inline constexpr int PGF_SLOT_COUNT = 32; /* slots 0..31; 31 is always empty */
inline constexpr int PGF_LAST_SLOT = 30;

/* A slot function: the dialog procedure returns its result. */
using SlotProc = LRESULT (*)(HWND page, UINT message, WPARAM wParam, LPARAM lParam, LONG pageId, SlotArgs *args);
/* A colour-message slot function: answers a brush (or 0 for the default colours). */
using ColorSlotProc = HBRUSH (*)(HWND page, UINT message, WPARAM wParam, LPARAM lParam, LONG pageId);

/* The function a slot runs: an ordinary slot function or a colour one (at most one set). */
struct SlotFunction {
    SlotProc proc;
    ColorSlotProc color;
};

/* The slot function tables of the tab pages, nested-sheet pages and modal dialogs. */
extern const SlotProc PGF_SlotTableTab[PGF_SLOT_COUNT];
extern const SlotProc PGF_SlotTableChild[PGF_SLOT_COUNT];
extern const SlotProc PGF_SlotTableDialog[PGF_SLOT_COUNT];

/* ---- Conflict policy --------------------------------------------------- */

struct ConflictPolicyRow {
    WORD ddmid; /* 0 ends the table */
    WORD modeA;
    WORD modeB;
};
/* The 59 rows. */
extern const ConflictPolicyRow PGF_ConflictPolicyTable[];
/* The check mode of a proposed change of `ddmid` (with or without a proposed value); 4 when unlisted. */
WORD PGF_GetCheckMode(WORD ddmid, BOOL hasValue);

#endif /* TARVELUI_PGF_RECORDS_H */
