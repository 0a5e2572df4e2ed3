/*
 * Services of the property-page framework that the settings stores and the
 * conflict messages use: a small singly linked list (the fax pages keep
 * their destinations in one), the sheet state a page or dialog window
 * belongs to, the sheet's unit options, and the conversions between the
 * values a page shows and the values the settings store.
 *
 * SheetContext and SheetState are the framework's records of one open
 * property sheet; the framework (ui/framework/) makes, fills and frees them.
 */
#ifndef TARVEL_PGF_SERVICES_H
#define TARVEL_PGF_SERVICES_H

#include <plat/gdi_objects.h>
#include <plat/types.h>
#include <plat/window.h>

struct ModelContext;

/* ---- The list ---------------------------------------------------------- */

/* One node: two keys, the item (not owned by the list) and the next node. */
struct PgfListNode {
    ULONGLONG firstKey;
    ULONGLONG secondKey;
    void *item;
    PgfListNode *next;
};

/* A list: the head node (the newest item) and the number of items. */
struct PgfList {
    PgfListNode *head;
    LONG count;
};

/*
 * PGF_ListPush: puts a new zero-filled node {firstKey, secondKey, item} at
 * the head of `list` and counts it.  The item is not copied: the list keeps
 * the pointer.  Returns 1; 0 for a null list or item or when memory runs out
 * (the list is then unchanged).
 */
BOOL PGF_ListPush(PgfList *list, ULONGLONG firstKey, ULONGLONG secondKey, void *item);

/*
 * PGF_ListFirst: the item of the head node, with the node after it in *next.
 * Null for a null or empty list (*next is then left alone).
 */
void *PGF_ListFirst(const PgfList *list, PgfListNode **next);

/* PGF_ListNext: the item of `node`, with the node after it in *next; null for a null node. */
void *PGF_ListNext(const PgfListNode *node, PgfListNode **next);

/* PGF_ListCount: the number of items; -1 for a null list. */
LONG PGF_ListCount(const PgfList *list);

/*
 * PGF_ListFree: frees every node of `list` and, when `freeItems` is set, every
 * item with GlobalFree; the list is left empty.  Null is ignored.
 */
void PGF_ListFree(PgfList *list, BOOL freeItems);

/* The framework's name of the list. */
using UiList = PgfList;

/* A second key that matches every second key in a search. */
inline constexpr ULONGLONG PGF_ANY_KEY = 0xFFFF;

/* PGF_ListCreate: a new empty list (GlobalAlloc, zero-filled); null when memory runs out. */
PgfList *PGF_ListCreate(void);

/*
 * PGF_ListDestroy: frees every node and the list made by PGF_ListCreate
 * (never the items) and clears *list.  0 for a null argument; 1 otherwise,
 * also when *list is already null.
 */
BOOL PGF_ListDestroy(PgfList **list);

/*
 * PGF_ListFindNode: the first node from the head with `firstKey` and, unless
 * `secondKey` is PGF_ANY_KEY, `secondKey`; *previous (when given) receives
 * the node before it (null for the head).  Null when absent.
 */
PgfListNode *PGF_ListFindNode(const PgfList *list, ULONGLONG firstKey, ULONGLONG secondKey, PgfListNode **previous);

/* PGF_ListFindByKey: the item of the node PGF_ListFindNode finds; null when absent. */
void *PGF_ListFindByKey(const PgfList *list, ULONGLONG firstKey, ULONGLONG secondKey);

/* PGF_ListRemoveByKey: unlinks and frees that node (not its item); 0 when absent. */
BOOL PGF_ListRemoveByKey(PgfList *list, ULONGLONG firstKey, ULONGLONG secondKey);

/*
 * Positions count in insertion order: 0 is the oldest item (the last node),
 * count - 1 the newest (the head).  A position outside 0 .. count - 1, or a
 * list whose count is negative, is refused and leaves the list alone.
 */
/* PGF_ListGetAt: the item at position n; null when refused. */
void *PGF_ListGetAt(const PgfList *list, LONG n);
/* PGF_ListRemoveAt: unlinks and frees the node at position n (not its item); 0 when refused. */
BOOL PGF_ListRemoveAt(PgfList *list, LONG n);
/*
 * PGF_ListInsertAt: a new node that becomes position n, the items from n on
 * moving up by one; 0 when refused (n must name an existing item: a new
 * newest item is PGF_ListPush's), for a null item or when memory runs out.
 */
BOOL PGF_ListInsertAt(PgfList *list, LONG n, ULONGLONG firstKey, ULONGLONG secondKey, void *item);

/* ---- Sheets ------------------------------------------------------------ */

/* Default measurement units of a sheet. */
inline constexpr DWORD PGF_UNIT_MILLIMETRES = 0;
inline constexpr DWORD PGF_UNIT_INCHES = 1;

/* Byte sizes of the two buffers of a settings set. */
inline constexpr DWORD PGF_SETTINGS_BYTES = 5896;    /* driver devmode and extension block */
inline constexpr DWORD PGF_PRINTERDATA_BYTES = 6148; /* printer data */

/* One set of the buffers a page edits; valid when both buffers exist. */
struct SettingsSet {
    BYTE *settings;    /* PGF_SETTINGS_BYTES, zero-filled when made */
    BYTE *printerData; /* PGF_PRINTERDATA_BYTES */
    WORD faxListSize;  /* bytes of faxList */
    BYTE *faxList;     /* packed fax destination list, or null; owned */
};

struct PageArray;
struct FavoritesState;
struct TrayPicture;
struct InfoTips;

/* The control-state and item-state lists of one sheet context. */
struct ControlStateLists {
    PgfList *controlStates; /* keyed (control id, page window) */
    PgfList *itemStates;    /* keyed (setting, 0xFFFF) */
};

/* One off-screen picture of a picture control. */
struct PictureRecord {
    LONG controlId;
    HDC dc;
    HBITMAP bitmap;
    LONG valueA;
    LONG valueB;
    PictureRecord *next;
};

/* Characters of a sheet's help file path and of its file-dialog text, terminators included. */
inline constexpr int PGF_HELP_FILE_CHARS = 262;
inline constexpr int PGF_FILE_DIALOG_CHARS = 128;

/* Sheet flags. */
inline constexpr WORD PGF_SHEET_DOCUMENT = 0x01;
inline constexpr WORD PGF_SHEET_DEVICE = 0x02;
inline constexpr WORD PGF_SHEET_PRINTER_LEVEL = 0x10;
inline constexpr WORD PGF_SHEET_APPLICATION = 0x20;

/* Everything that lives as long as one open property sheet (zero-filled when made). */
struct SheetState {
    ModelContext *context; /* the sheet's model, opened and closed by the sheet */
    BOOL unitKnown;        /* defaultUnit has been read */
    DWORD defaultUnit;     /* the locale's unit: PGF_UNIT_MILLIMETRES or PGF_UNIT_INCHES */

    LPWSTR printerName; /* owned copy */
    HANDLE printer;
    LONG jobMonitorFeature;
    LONG applied;           /* 1 once an Apply told the host OK */
    void *hostCallback;     /* the host's function and handle */
    HANDLE hostHandle;
    HANDLE *pageHandles;    /* the host's page handles, one per tab page */
    LONG permitted;         /* 1 when the user may change settings */
    LPWSTR *warnings;       /* two texts left by the initial check, or null */
    LONG setGuard;          /* 1 while a setting change runs */
    LPWSTR portName;        /* owned copy, loaded once */
    WORD sheetFlags;        /* PGF_SHEET_* */
    DWORD modelCaps[3];     /* the model's 96 capability bits */
    SHORT currentUnit;      /* unit shown: 0 millimetres, 1 inches */
    LONG skipEditCheck;     /* skip the next page-leave check of an edit field */
    WCHAR helpFile[PGF_HELP_FILE_CHARS];
    LONG actionDone;        /* the sheet-wide part of the current Apply or Cancel has run */
    LONG initialCheckDone;
    PageArray *pageArray;
    FavoritesState *favorites;
    LONG activePageId;
    WNDPROC pictureClassProc; /* the picture controls' class procedure before subclassing */
    PictureRecord *pictures;  /* off-screen pictures, in the order added */
    TrayPicture *trayPicture;
    SHORT fieldMode;
    SHORT pendingTitleItem;
    LPWSTR *titleStrings;     /* null-terminated array of tab titles; owned */
    HWND tabTooltip;          /* the tooltip window of the tab pages */
    HWND otherTooltip;        /* the tooltip window of the other page kinds */
    WCHAR fileDialogText[PGF_FILE_DIALOG_CHARS];
    InfoTips *infoTips;
    LONG extComponent;
};

/* A page's record, kept in its window's DWLP_USER; its first member points to the sheet's state. */
struct SheetContext {
    SheetState *state;
    SettingsSet working;     /* what the pages read and write */
    SettingsSet initial;     /* as the sheet or dialog opened */
    SettingsSet lastApplied; /* as at the last Apply; no buffers before the first */
    HWND owner;              /* the sheet frame (set by the first tab page) or the opener page */
    PgfList *scratchLists[3];
    ControlStateLists *states;
};

/*
 * PGF_GetSheetState: the SheetState of the sheet that the page or dialog
 * window `window` belongs to: its DWLP_USER word gives the page's
 * SheetContext, whose first member points to the state.  Null when the
 * window has no SheetContext.
 */
SheetState *PGF_GetSheetState(HWND window);

/*
 * PGF_GetUnitOptions: options[0] = 1 when inch display is in force (the
 * model's capability bit 34 allows a choice of units and the sheet's default
 * unit is inches), else 0; options[1] = 1 when the model has capability bit
 * 35.  Returns 1; 0 for a null argument, a sheet without a model, or a
 * default unit that cannot be read (options untouched).
 */
BOOL PGF_GetUnitOptions(const SheetState *state, DWORD options[2]);

/* Directions of PGF_ConvertDisplayValue. */
inline constexpr int PGF_DISPLAYED_TO_STORED = 1;

/*
 * PGF_ConvertDisplayValue: converts the value at `input` between the
 * displayed and the stored form of setting `id` (direction 1: displayed to
 * stored; any other: stored to displayed) into *output.  The input is read
 * as a 32-bit value for settings 392-403 and 1856, else as a signed 16-bit
 * value.  Settings 268, 269, 311, 324 and 1856 are stored as ten times the
 * displayed value (1856 limited to 0-65535 for value type 3 and to the
 * signed 16-bit range for type 2); 392-403 hold a power of two times a base
 * (1, 256 or 65536 by position) and are displayed as its exponent counted
 * from -3.  Returns 1 when the setting has a conversion; 0 otherwise, and
 * for a displayed exponent whose stored value would not fit 32 bits, with
 * the value copied unchanged.  0 with nothing written for a null pointer.
 */
BOOL PGF_ConvertDisplayValue(int direction, WORD id, WORD type, const void *input, LONG *output);

/*
 * PGF_ToHundredthInch: tenths of a millimetre to hundredths of an inch,
 * rounded half away from zero (UTL_TenthMmToHundredthInch); for settings
 * 268, 269 and 324 limited to -19..19.
 */
LONG PGF_ToHundredthInch(LONG tenthMm, WORD id);

#endif /* TARVEL_PGF_SERVICES_H */
