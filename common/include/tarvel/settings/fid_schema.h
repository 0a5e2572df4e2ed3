/*
 * The settings schema: for every setting that has a default of its own (799
 * of the 1,165 settings of the layout table) a list row that says where its
 * default and its allowed values come from.  Most rows carry no descriptor:
 * everything about them comes from the model data.  A few carry a built-in
 * descriptor with a constant default or a handler (the public devmode
 * fields, the record headers, the stamp font, the custom paper slots).
 *
 * The rows are kept in twelve schema groups, each a list over one range of
 * identifiers and one record kind; SettingIdRanges finds the group of an
 * identifier and SettingGroups gives the group's list.  Everything here is
 * constant data.
 */
#ifndef TARVEL_FID_SCHEMA_H
#define TARVEL_FID_SCHEMA_H

#include <plat/types.h>

struct ModelContext;

/* Handler operations. */
inline constexpr WORD FID_OP_DEFAULT = 1;      /* supply the default */
inline constexpr WORD FID_OP_CHECK_MODEL = 2;  /* check a value, with the model */
inline constexpr WORD FID_OP_LIST_HEADER = 4;  /* build the option-list header */
inline constexpr WORD FID_OP_LIST_ITEM = 8;    /* supply one option-list item */
inline constexpr WORD FID_OP_CHECK = 16;       /* check a value without the model */

/* Descriptor flags: which operations the descriptor answers itself. */
inline constexpr DWORD FID_DESC_DEFAULT = 1;     /* default from the constant, else by operation 1 */
inline constexpr DWORD FID_DESC_CHECK_MODEL = 2; /* operation 2 goes to the handler */
inline constexpr DWORD FID_DESC_LIST_HEADER = 4; /* list header by operation 4 */
inline constexpr DWORD FID_DESC_LIST_ITEM = 8;   /* list items by operation 8 */
inline constexpr DWORD FID_DESC_CHECK = 16;      /* the handler answers operation 16 (not tested) */
inline constexpr DWORD FID_DESC_ALL = 0xFFFF;

/* Number of schema groups (0-11); group 12 ends both tables. */
inline constexpr DWORD FID_SCHEMA_GROUP_COUNT = 12;
inline constexpr DWORD FID_SCHEMA_END_GROUP = 12;
inline constexpr WORD FID_SCHEMA_ROW_COUNT = 799;

/* Bits of a constant record's `use` word. */
inline constexpr WORD FID_CONST_USE = 1;         /* the constant is the default */
inline constexpr WORD FID_CONST_LIST_HEADER = 4; /* `list` gives the option-list header */
inline constexpr WORD FID_CONST_LIST_ITEMS = 8;  /* `list` gives the option-list items */

/*
 * A constant option list: its UI kind; for kinds 4 and 6 the minimum,
 * maximum and step; for kind 2 `count` items whose texts are the resource
 * strings `stringBase` + offsets[i] and whose values are their positions.
 */
struct SettingConstList {
    WORD uiKind;
    LONG minimum;
    LONG maximum;
    LONG step;
    UINT stringBase;
    const WORD *offsets;
    WORD count;
};

/*
 * A constant default.  `use` is 1 when the constant stands; `length` is the
 * maximum number of characters for type 6 and -1 otherwise; the number sits
 * in `value`, a type-6 constant in `text`.  `list` is the constant option
 * list that use bits 4 and 8 refer to.
 */
struct SettingConstDefault {
    WORD use;
    WORD type;
    LONG length;
    ULONGLONG value;
    const WCHAR *text;
    const SettingConstList *list = nullptr;
};

/*
 * A handler: called with the caller's model context (may be null for
 * operation 16), the operation, the setting and the operation's argument
 * record (below).  Returns non-zero for success; for the checks 1 valid and
 * 0 invalid.  A handler answers 0 to every operation it does not serve.
 */
typedef BOOL (*SettingHandler)(ModelContext *context, WORD operation, WORD id, void *args);

/*
 * Arguments of operation 1.  The handler writes the value's type, the value
 * into the 8-byte slot (a number little-endian, or for types 6 and 9 a
 * pointer to a GlobalAlloc block that FID_FreeDefault frees) and its size in
 * bytes.
 */
struct FidDefaultArgs {
    void *printerData;     /* in: the printer-data record or null */
    LPCWSTR printerName;   /* in: the printer name or null */
    WORD *type;            /* out */
    void *slot;            /* out: 8 bytes */
    LONG *size;            /* out */
};

/* Arguments of operations 2 and 16: the value under test and the records. */
struct FidCheckArgs {
    const void *slot;      /* in: 8-byte slot holding the value */
    void *devmode;         /* in: the settings image (or devmode) being checked */
    void *printerData;     /* in: the printer-data record or null */
};

/* A built-in descriptor: constant default or null, handler or null, flags. */
struct SettingDescriptor {
    const SettingConstDefault *constant;
    SettingHandler handler;
    DWORD flags;
};

/* One row of a group's list; a null descriptor defers everything to the model. */
struct SettingDescriptorRow {
    WORD id;
    const SettingDescriptor *descriptor = nullptr;
};

/* The identifier range of one schema group; the table ends with group 12. */
struct SettingIdRange {
    DWORD group;
    WORD first;
    WORD last;
};

/* One schema group: its list, row count and record kind; ends with group 12. */
struct SettingGroup {
    DWORD group;
    const SettingDescriptorRow *rows;
    WORD count;
    WORD kind;
};

/* The twelve ranges and groups (order 5-11, 0-4), each with its end row. */
extern const SettingIdRange SettingIdRanges[FID_SCHEMA_GROUP_COUNT + 1];
extern const SettingGroup SettingGroups[FID_SCHEMA_GROUP_COUNT + 1];

/*
 * FID_GetGroup: the list, row count and record kind of schema group `group`
 * (each output may be null).  Returns TRUE, or FALSE when the group is not
 * in the table (outputs untouched).
 */
BOOL FID_GetGroup(DWORD group, const SettingDescriptorRow **rows, WORD *count, WORD *kind);

/*
 * FID_FindDescriptor: the list row of setting `id`: the first range that
 * holds the identifier, then the row of that group's list.  Null when the
 * setting has no row (no default of its own).
 */
const SettingDescriptorRow *FID_FindDescriptor(WORD id);

#endif /* TARVEL_FID_SCHEMA_H */
