/*
 * The setting layout table: for every driver setting (DDMID) the record it
 * lives in (devmode, extension block or printer-data record), its stored and
 * reported value types, its byte offset and, for strings and font blocks, its
 * capacity; plus the flag mask tables and a direct lookup by identifier.
 *
 * This header and setting_layout.cpp depend only on plat/types.h.  The data
 * manager compiles them, and the common library compiles the same source
 * again (it walks the table but never links the data manager); each library
 * keeps its own hidden copy of the constant data.
 */
#ifndef TARVEL_SETTING_LAYOUT_H
#define TARVEL_SETTING_LAYOUT_H

#include "plat/types.h"

#include <array>

/* Record kinds (SettingRecordKind): which record a setting lives in. */
inline constexpr WORD SRK_DEVMODE = 0;     /* DriverDevmode: devmode + offset */
inline constexpr WORD SRK_EXTENSION = 1;   /* DevmodeExtension: devmode + 1,604 + offset */
inline constexpr WORD SRK_PRINTERDATA = 2; /* PrinterData: printer data + offset */

/* Value types (SettingValueType).  There is no type 0 and no type 7. */
inline constexpr WORD SVT_FLAG = 1;           /* bit of a flag word, or a whole 32-bit word */
inline constexpr WORD SVT_INT16 = 2;          /* signed 16-bit */
inline constexpr WORD SVT_UINT16 = 3;         /* unsigned 16-bit */
inline constexpr WORD SVT_INT32 = 4;          /* signed 32-bit */
inline constexpr WORD SVT_UINT32 = 5;         /* unsigned 32-bit */
inline constexpr WORD SVT_WSTRING = 6;        /* NUL-terminated UTF-16 in a fixed field */
inline constexpr WORD SVT_BYTE = 8;           /* unsigned byte */
inline constexpr WORD SVT_LOGFONT = 9;        /* a whole LOGFONTW (92 bytes) */
inline constexpr WORD SVT_LOGFONT_MEMBER = 10; /* signed 32-bit member of a LOGFONTW */

/* Sizes of the three settings records and of the settings image. */
inline constexpr ULONG SETTINGS_DEVMODE_SIZE = 1604;
inline constexpr ULONG SETTINGS_EXTENSION_SIZE = 4292;
inline constexpr ULONG SETTINGS_IMAGE_SIZE = SETTINGS_DEVMODE_SIZE + SETTINGS_EXTENSION_SIZE; /* 5,896 */
inline constexpr ULONG SETTINGS_PRINTERDATA_SIZE = 6148;
inline constexpr ULONG SETTINGS_LOGFONT_SIZE = 92;

inline constexpr WORD ID_LAYOUT_GROUP_COUNT = 13;
inline constexpr WORD ID_LAYOUT_ITEM_COUNT = 1165;

/* One setting.  A group's list ends with an item whose id is 0. */
struct IdLayoutItem {
    WORD id;             /* DDMID */
    WORD storedType;     /* how the value sits in the record */
    WORD reportedType;   /* type it is handed out as; 0 = none */
    WORD reserved;       /* zero */
    ULONGLONG offset;    /* byte offset in the record (kind 1: in the extension block) */
    ULONGLONG capacity;  /* field size for types 6 and 9, else 0 */
};

/* One group of settings.  The table ends with a row whose item list is null. */
struct IdLayoutGroup {
    WORD kind;                 /* SRK_ record kind */
    WORD first;                /* first DDMID of the range */
    WORD last;                 /* last DDMID of the range */
    WORD reserved;             /* zero */
    const IdLayoutItem *items; /* ended by an item with id 0 */
};

/* One flag and its bit.  A mask table ends with a row whose id is 0. */
struct FlagMaskRow {
    WORD id;
    WORD reserved;
    DWORD mask; /* 1 << ((id - first identifier of the table) mod 32) */
};

/* A flag range and its mask rows, which run in identifier order from first. */
struct FlagMaskTable {
    WORD first;
    WORD last;
    const FlagMaskRow *rows;
};

/*
 * The 13 groups in search order, then the end row.  Items keep the order in
 * which their group lists them, which callers may rely on (item n of row r).
 */
extern const IdLayoutGroup IdLayoutTable[ID_LAYOUT_GROUP_COUNT + 1];

/* The four flag ranges: 1281-1376, 2305-2560, 4097-4160 and 4609-4640. */
extern const FlagMaskTable FlagMaskTables[4];

/*
 * Direct index over identifiers 0 to ID_LAYOUT_INDEX_LIMIT - 1 (no group
 * reaches further): for each identifier the first group, in table order,
 * whose range holds it (entry >> 12) and its position in that group's list
 * (entry & 0xFFF), ID_LAYOUT_NOT_LISTED in the position bits when the group
 * does not list it, or ID_LAYOUT_NO_GROUP.  Built at compile time from the
 * table, so it answers exactly what a scan of the table answers.
 */
inline constexpr WORD ID_LAYOUT_INDEX_LIMIT = 8216;
inline constexpr WORD ID_LAYOUT_NO_GROUP = 0xFFFF;
inline constexpr WORD ID_LAYOUT_NOT_LISTED = 0x0FFF;
extern const std::array<WORD, ID_LAYOUT_INDEX_LIMIT> IdLayoutIndex;

/*
 * LAYOUT_FindItem: finds a setting by identifier.  Returns 0 with *item set
 * (when item is not null), 1 when the identifier lies in no group (neither
 * output written), or 16 when it lies in a group's range but is not listed.
 * *kind (when kind is not null) receives the group's record kind as soon as
 * the group is found, also for status 16.
 */
inline WORD LAYOUT_FindItem(WORD id, WORD *kind, const IdLayoutItem **item)
{
    if (id >= ID_LAYOUT_INDEX_LIMIT || IdLayoutIndex[id] == ID_LAYOUT_NO_GROUP)
        return 1;
    const WORD entry = IdLayoutIndex[id];
    const IdLayoutGroup &group = IdLayoutTable[entry >> 12];
    if (kind != nullptr)
        *kind = group.kind;
    if ((entry & ID_LAYOUT_NOT_LISTED) == ID_LAYOUT_NOT_LISTED)
        return 16;
    if (item != nullptr)
        *item = &group.items[entry & ID_LAYOUT_NOT_LISTED];
    return 0;
}

/*
 * LAYOUT_FindFlagTable: the flag mask table whose range holds the
 * identifier, or null when it lies in none of the four flag ranges.
 */
inline const FlagMaskTable *LAYOUT_FindFlagTable(WORD id)
{
    /* The ranges ascend, so most identifiers are settled by the first test. */
    for (const FlagMaskTable &table : FlagMaskTables) {
        if (id < table.first)
            return nullptr;
        if (id <= table.last)
            return &table;
    }
    return nullptr;
}

#endif /* TARVEL_SETTING_LAYOUT_H */
