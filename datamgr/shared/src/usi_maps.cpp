/*
 * The UserSettingInfo layout: the three ID maps, the default record and the
 * merge of stored records of versions 1 to 3.  Depends only on
 * plat/types.h, so that the data manager can compile the same source.
 */
#include "tarvel/usi_record.h"

#include <cstring>
#include <initializer_list>

namespace {

constexpr WORD T_FLAG = 1, T_U16 = 3, T_WSTR = 6, T_BYTE = 8;

constexpr UsiMapRow kHeaderRows[] = {
    {8203, T_U16, 2, 2}, /* PrinterData record version */
    {8204, T_U16, 4, 2}, /* driver version */
    {5137, T_U16, 6, 2}, /* model kind */
};

constexpr UsiMapRow kRowsA[] = {
    {5129, T_WSTR, 74, 50}, {5130, T_WSTR, 124, 10}, {5146, T_U16, 134, 2},
    {5147, T_WSTR, 136, 258}, {5159, T_WSTR, 394, 34},
};

constexpr UsiMapRow kRowsB[] = {
    {5150, T_WSTR, 432, 66}, {5148, T_WSTR, 498, 26}, {5161, T_WSTR, 524, 34}, {5167, T_WSTR, 558, 66},
    {5165, T_BYTE, 624, 1},  {5169, T_FLAG, 628, 4},  {5171, T_FLAG, 632, 4},  {5173, T_FLAG, 636, 4},
    {5178, T_U16, 640, 2},   {5174, T_WSTR, 642, 66}, {5175, T_WSTR, 708, 34}, {5176, T_WSTR, 742, 66},
    {5180, T_WSTR, 808, 50}, {5182, T_WSTR, 858, 34}, {5183, T_BYTE, 892, 1},  {5184, T_WSTR, 894, 50},
    {5185, T_WSTR, 944, 34}, {5209, T_WSTR, 978, 346},
};

template <size_t N>
constexpr bool rowsInside(const UsiMapRow (&rows)[N], WORD first, WORD end)
{
    for (const UsiMapRow &r : rows)
        if (r.offset < first || r.offset + r.size > end)
            return false;
    return true;
}
static_assert(rowsInside(kRowsA, USI_OFFSET_SECTION_A, USI_OFFSET_SECTION_A + USI_SECTION_A_SIZE));
static_assert(rowsInside(kRowsB, USI_OFFSET_SECTION_B, USI_OFFSET_SECTION_B + USI_SECTION_B_SIZE));
static_assert(USI_OFFSET_SECTION_B + USI_SECTION_B_SIZE == USI_RECORD_SIZE);

/* Where the fields of a version 1 record sit: {from, to, bytes}. */
struct MoveRow {
    WORD from;
    WORD to;
    WORD size;
};
constexpr MoveRow kVersion1Moves[] = {
    {72, 432, 66},   /* 5150 */
    {138, 498, 24},  /* 5148, text */
    {162, 522, 2},   /* 5148, last 16-bit unit */
    {164, 74, 50},   /* 5129 */
    {214, 124, 8},   /* 5130, text */
    {222, 132, 2},   /* 5130, last 16-bit unit */
    {224, 134, 2},   /* 5146 */
    {226, 136, 258}, /* 5147 */
};
static_assert(226 + 258 == USI_V1_SIZE);

void putWideText(BYTE *record, const UsiMapRow *row, LPCWSTR text)
{
    std::memset(record + row->offset, 0, row->size);
    if (!text)
        return;
    /* Leave room for the terminator. */
    size_t maxUnits = row->size / 2 - 1;
    for (size_t i = 0; i < maxUnits && text[i]; ++i)
        plat::store_u16(record, row->offset + i * 2, uint16_t(text[i]));
}

} // namespace

const UsiMap USI_HEADER_MAP = {kHeaderRows, WORD(sizeof kHeaderRows / sizeof kHeaderRows[0])};
const UsiMap USI_MAP_A = {kRowsA, WORD(sizeof kRowsA / sizeof kRowsA[0])};
const UsiMap USI_MAP_B = {kRowsB, WORD(sizeof kRowsB / sizeof kRowsB[0])};

const UsiMapRow *USI_FindRow(const UsiMap *map, WORD id)
{
    if (!map)
        return nullptr;
    for (WORD i = 0; i < map->count; ++i)
        if (map->rows[i].id == id)
            return &map->rows[i];
    return nullptr;
}

void USI_FillDefaults(BYTE *record, LPCWSTR defaultName)
{
    std::memset(record, 0, USI_RECORD_SIZE);
    plat::store_u16(record, USI_OFFSET_VERSION, USI_VERSION);
    plat::store_u16(record, USI_OFFSET_SIZE_A, USI_SECTION_A_SIZE);
    plat::store_u16(record, USI_OFFSET_SIZE_B, USI_SECTION_B_SIZE);
    for (WORD id : {USI_ID_FLAG_1, USI_ID_FLAG_2, USI_ID_FLAG_3})
        plat::store_u32(record, USI_FindRow(&USI_MAP_B, id)->offset, 1);
    for (WORD id : {USI_ID_DEFAULT_NAME_1, USI_ID_DEFAULT_NAME_2})
        putWideText(record, USI_FindRow(&USI_MAP_B, id), defaultName);
}

BOOL USI_MergeStored(const BYTE *stored, DWORD storedSize, BYTE *record, BOOL flag5163)
{
    if (!stored || !record || storedSize < 2)
        return FALSE;
    WORD version = plat::load_u16(stored, USI_OFFSET_VERSION);
    switch (version) {
    case 1:
        if (storedSize < USI_V1_SIZE)
            return FALSE;
        for (const MoveRow &m : kVersion1Moves)
            std::memcpy(record + m.to, stored + m.from, m.size);
        break;
    case 2:
        if (storedSize < USI_V2_SIZE)
            return FALSE;
        std::memcpy(record, stored, USI_V2_SIZE);
        break;
    case 3:
        if (storedSize < USI_RECORD_SIZE)
            return FALSE;
        std::memcpy(record, stored, USI_RECORD_SIZE);
        break;
    default:
        return FALSE;
    }
    if (version < USI_VERSION) {
        /*
         * The merged record is in the current layout: say so, or the next
         * load would take it for the older one again and drop every field
         * beyond that layout.
         */
        plat::store_u16(record, USI_OFFSET_VERSION, USI_VERSION);
        plat::store_u16(record, USI_OFFSET_SIZE_A, USI_SECTION_A_SIZE);
        plat::store_u16(record, USI_OFFSET_SIZE_B, USI_SECTION_B_SIZE);
        if (flag5163)
            plat::store_u16(record, USI_FindRow(&USI_MAP_B, USI_ID_OLD_LAYOUT_VALUE)->offset, USI_OLD_LAYOUT_VALUE);
    }
    return TRUE;
}
