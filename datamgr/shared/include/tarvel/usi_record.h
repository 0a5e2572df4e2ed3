/*
 * UserSettingInfo: the 1,324-byte record of one user's identity fields of
 * the printer-data record, kept under the user's per-printer key or as the
 * printer-wide chunked blob "UserSettingInfo".  Its layout, the three ID
 * maps that say which setting (DDMID) sits where, and the merge of a stored
 * record of an older layout into the current one.
 *
 * This header and usi_maps.cpp depend only on plat/types.h: the data
 * manager compiles them as well as the common library.
 */
#ifndef TARVEL_USI_RECORD_H
#define TARVEL_USI_RECORD_H

#include "plat/types.h"

inline constexpr DWORD USI_RECORD_SIZE = 1324;
inline constexpr WORD USI_VERSION = 3;               /* the current layout */
inline constexpr DWORD USI_V1_SIZE = 484;            /* the last byte a version 1 merge reads, plus one */
inline constexpr DWORD USI_V2_SIZE = 556;            /* version 2: the first 556 bytes of the current layout */

/* Fixed places of the record. */
inline constexpr DWORD USI_OFFSET_VERSION = 0;
inline constexpr DWORD USI_OFFSET_MODEL_NAME = 8;
inline constexpr DWORD USI_MODEL_NAME_SIZE = 64;
inline constexpr DWORD USI_OFFSET_SIZE_A = 72;
inline constexpr DWORD USI_OFFSET_SECTION_A = 74;
inline constexpr WORD USI_SECTION_A_SIZE = 354;
inline constexpr DWORD USI_OFFSET_SIZE_B = 428;
inline constexpr DWORD USI_OFFSET_SECTION_B = 432;
inline constexpr WORD USI_SECTION_B_SIZE = 892;

/* Settings with a rule of their own. */
inline constexpr WORD USI_ID_DEFAULT_NAME_1 = 5150;
inline constexpr WORD USI_ID_DEFAULT_NAME_2 = 5174;
inline constexpr WORD USI_ID_FLAG_1 = 5169;
inline constexpr WORD USI_ID_FLAG_2 = 5171;
inline constexpr WORD USI_ID_FLAG_3 = 5173;
inline constexpr WORD USI_ID_OLD_LAYOUT_VALUE = 5178; /* set to 7 when an older record is merged under flag 5163 */
inline constexpr WORD USI_OLD_LAYOUT_VALUE = 7;

/* One row of an ID map: the setting, its value type, and where it sits in the record. */
struct UsiMapRow {
    WORD id;     /* DDMID */
    WORD type;   /* 1 flag (32-bit), 3 unsigned 16-bit, 6 wide string, 8 byte */
    WORD offset; /* byte offset in the record */
    WORD size;   /* bytes */
};

/* A map: its rows and their count. */
struct UsiMap {
    const UsiMapRow *rows;
    WORD count;
};

/* The header map (8203, 8204, 5137), ID map A (section A) and ID map B (section B). */
extern const UsiMap USI_HEADER_MAP;
extern const UsiMap USI_MAP_A;
extern const UsiMap USI_MAP_B;

/* The row of `id` in `map`, or null. */
const UsiMapRow *USI_FindRow(const UsiMap *map, WORD id);

/*
 * Fills `record` (1,324 bytes) with the defaults: zero everywhere, version 3,
 * the two section sizes, 5169, 5171 and 5173 set to 1, and 5150 and 5174
 * set to `defaultName` (cut to fit its field; null or empty: empty).
 */
void USI_FillDefaults(BYTE *record, LPCWSTR defaultName);

/*
 * Merges a stored record of `storedSize` bytes into `record` (1,324 bytes)
 * by the stored record's version:
 *   1: its fields at their older places go to their current places;
 *   2: its first 556 bytes are copied;
 *   3: all 1,324 bytes are copied (anything stored beyond them is ignored).
 * When the stored version is 1 or 2 and `flag5163` is set, 5178 becomes 7.
 * Returns 1; 0 for another version, a null argument, or a stored record
 * shorter than its version's layout (`record` is then untouched).
 */
BOOL USI_MergeStored(const BYTE *stored, DWORD storedSize, BYTE *record, BOOL flag5163);

#endif /* TARVEL_USI_RECORD_H */
