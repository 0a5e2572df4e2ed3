/*
 * Option lists: what a control that offers choices for one setting shows.
 * A list has the setting's title, its UI kind, its value type and its
 * items, each with a value, a display text and, where the model data has a
 * picture for it, an icon and its palette.  Lists come from the schema
 * descriptors (a constant record, or handler operations 4 and 8) or from
 * the model's options; paper lists get the paper sizes in their texts.
 *
 * Ownership: a list belongs to the caller of FID_BuildOptionList (or
 * FID_CreateOptionList) and is freed with FID_ListFree, which frees the
 * title, the texts, type-6 value strings, the icons and the palettes: item
 * palettes belong to the list.  Texts and titles are GlobalAlloc strings.
 */
#ifndef TARVEL_OPT_LIST_H
#define TARVEL_OPT_LIST_H

#include <plat/gdi_objects.h>
#include <plat/types.h>
#include <tarvel/settings/fid_schema.h>

#include <cstddef>

struct ModelContext;
struct PaperRequest;
struct FidIdListEntry;

/* UI kinds of a list and the item counts a constant record implies. */
inline constexpr WORD OPT_KIND_NONE = 0;
inline constexpr WORD OPT_KIND_CHECK = 1;   /* two items, values 1 and 0 */
inline constexpr WORD OPT_KIND_LIST = 2;    /* a counted list */
inline constexpr WORD OPT_KIND_SINGLE = 3;  /* one item */
inline constexpr WORD OPT_KIND_RANGE = 4;   /* minimum, maximum, step */
inline constexpr WORD OPT_KIND_RANGE_EMPTY = 6; /* minimum, maximum and an item without a value */

/* One item (32 bytes). */
struct OptionListItem {
    ULONGLONG value;  /* a number as FID_CopyValue stores it, or for type 6 a GlobalAlloc string */
    LPWSTR text;
    HICON icon;
    HPALETTE palette;
};
static_assert(sizeof(OptionListItem) == 32, "OptionListItem is 32 bytes");

/* A list (32 bytes); `count` is -1 when the list has none. */
struct OptionList {
    ULONGLONG id;
    LPWSTR title;
    WORD uiKind;
    WORD valueType;
    LONG count;
    OptionListItem *items;
};
static_assert(sizeof(OptionList) == 32, "OptionList is 32 bytes");

/* Caller data of settings 305 and 358: the strings the list offers. */
struct FidStringArray {
    LONG count;
    const LPCWSTR *strings;
};

/* Caller record: for 298 the stamp names (a double-NUL list that FID_CreateOptionList reads; the caller frees it). */
struct FidListCallerRecord {
    void *reserved;
    LPWSTR stampNames;
};

/* Characters of the text an item handler may write into the filling record. */
inline constexpr int FID_LIST_TEXT_CHARS = 256;

/*
 * The argument record of descriptor handler operations 4 (list header) and
 * 8 (one item).  Operation 4 sets `list`'s UI kind, count and (optionally)
 * title; operation 8 sets `text` (pointing at `textBuffer` or at a string
 * that lives until the list filler has copied it), the value slot and
 * `type` for item `index`.
 */
struct FidListFillArgs {
    HMODULE resources;
    OptionList *list;
    LPCWSTR text;
    WCHAR textBuffer[FID_LIST_TEXT_CHARS];
    ULONGLONG value;
    WORD type;
    LONG index;
    void *callerData;
    FidListCallerRecord *callerRecord;
};

/* Unit flags of the paper-size texts. */
inline constexpr WORD FID_UNITS_INCH = 1;        /* inches, else millimetres */
inline constexpr WORD FID_UNITS_ONE_DIGIT = 2;   /* one fraction digit, else two */

/* ---- Building ------------------------------------------------------------ */

/*
 * FID_BuildOptionList: FID_CreateOptionList, then FID_FillOptionList.  *row
 * (may be null) receives the setting's descriptor row.  Null on any
 * failure (a half-built list is freed).
 */
OptionList *FID_BuildOptionList(HMODULE resources, ModelContext *context, WORD id, void *callerData,
                                void *devmode, void *printerData, const SettingDescriptorRow **row,
                                FidListCallerRecord *callerRecord, WORD unitFlags);

/*
 * FID_CreateOptionList: the list header without items: from the
 * descriptor's constant record, its handler (operation 4) or the model's
 * feature.  For 298 the stamp names are read first into
 * callerRecord->stampNames (a GlobalAlloc block the caller frees; a
 * previous block there is freed).  Null when the setting has no descriptor
 * row, the model lacks its feature, or memory runs out.
 */
OptionList *FID_CreateOptionList(HMODULE resources, ModelContext *context, WORD id, void *callerData,
                                 const SettingDescriptorRow **row, FidListCallerRecord *callerRecord);

/*
 * FID_FillOptionList: allocates and fills the items of a list whose count
 * is above 0, then adds the paper sizes to the texts of paper lists.
 * Returns 1, or 0 when an item could not be made (the items made so far
 * stay, for FID_ListFree) or a paper text failed.
 */
BOOL FID_FillOptionList(HMODULE resources, ModelContext *context, OptionList *list, const SettingDescriptorRow *row,
                        void *callerData, FidListCallerRecord *callerRecord, void *devmode, void *printerData,
                        WORD unitFlags);

/* FID_ListFree: frees everything of the list (see the top); 1, or 0 for null. */
BOOL FID_ListFree(OptionList *list);

/* ---- Accessors: null-safe; out of range gives null or 0 ---------------------- */

LPCWSTR FID_ListGetTitle(const OptionList *list);
WORD FID_ListGetKind(const OptionList *list);
BOOL FID_ListSetKind(OptionList *list, WORD kind);
LONG FID_ListGetCount(const OptionList *list); /* -1 for null */
const OptionListItem *FID_ListGetItemAt(const OptionList *list, LONG index);
/* The value of item `index` into the 8-byte `slot` (a type-6 value: the list's own string pointer). */
BOOL FID_ListGetItem(const OptionList *list, LONG index, void *slot);
LPCWSTR FID_ListGetItemText(const OptionList *list, LONG index);
HICON FID_ListGetItemIcon(const OptionList *list, LONG index);
HPALETTE FID_ListGetItemPalette(const OptionList *list, LONG index);
/* The first item whose text begins with `text` (compared over `text`'s length); -1 when none. */
LONG FID_ListFindText(const OptionList *list, LPCWSTR text);

/* ---- Values, colours and the conflict check's list ------------------------------ */

/*
 * FID_FormatValue: a value as text into `buffer` (`chars` characters):
 * "%d" for types 1, 2, 3, 8 and 10 (2 sign-extended, 3 and 8 zero-extended),
 * "%ld" for 4 and 5, the string for type 6 (the slot holds its pointer; cut
 * to the buffer).  `value` is an 8-byte value slot.  Returns `buffer`, or
 * null for another type or a null argument.
 */
LPWSTR FID_FormatValue(WORD type, const void *value, LPWSTR buffer, int chars);

/* FID_AllocIdList: the zero-filled list of FID_ID_LIST_ENTRIES entries of the conflict check (GlobalFree). */
FidIdListEntry *FID_AllocIdList(void);

/* Colour keys 1-7 and their colours (COLORREF, red in the low byte); key 8 has none. */
inline constexpr int FID_COLOUR_KEYS = 8;

/*
 * FID_ColourForKey: with `index` -1 the index of `key` (key - 1) is taken;
 * then the colour of that index into *out.  1, or 0 for an index above 6,
 * an unknown key or a null output.
 */
BOOL FID_ColourForKey(int key, COLORREF *out, int index);

/* FID_GetColourSupport: MDL_GetColourSupport. */
WORD FID_GetColourSupport(ModelContext *context);

/* ---- Pictures ---------------------------------------------------------------- */

/*
 * FID_CreatePalette: a logical palette of the colours of a DIB whose header
 * (40 bytes or more) and colour table lie in `info` (`length` bytes in
 * all): biClrUsed colours, or 2^bits for up to 8 bits; none for more bits.
 * Null when the table does not fit `length` or has more than 256 colours.
 * Free it with DeleteObject.
 */
HPALETTE FID_CreatePalette(const BYTE *info, size_t length);

/*
 * FID_CreateIconFromImage: an icon from an icon image of `length` bytes
 * out of the model file: a BITMAPINFOHEADER (or a 12-byte core header with
 * 3-byte colour entries), the colour table, the colour (XOR) rows and the
 * AND mask rows, bottom-up, the header's height counting both.  Every read
 * is checked against `length`; the mask rows are as wide as the image needs
 * ((width + 31) / 32 four-byte words).  256-colour images also give a
 * palette (else *palette is null).  1, or 0 with nothing made for an image
 * that is short, malformed, compressed or of another depth than 1, 4, 8,
 * 24 or 32 bits.
 */
BOOL FID_CreateIconFromImage(HMODULE resources, const BYTE *image, size_t length, HICON *icon, HPALETTE *palette);

/* ---- Paper texts ---------------------------------------------------------------- */

/*
 * FID_FormatPaperSizeText: "<name><string 2009><string 703 or 9247 filled
 * with width and length>", the size in millimetres or in inches (unit
 * flags).  `paper` gives the name (formName, may be null: empty) and the
 * size in tenths of a millimetre.  A new GlobalAlloc string, or null when a
 * resource string is missing.
 */
LPWSTR FID_FormatPaperSizeText(HMODULE resources, const PaperRequest *paper, WORD unitFlags);

#endif /* TARVEL_OPT_LIST_H */
