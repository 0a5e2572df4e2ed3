/*
 * The width reader over a device font's metrics block: the header fields
 * it needs, the direct width table of the single-byte codes and the three
 * tables of the double-byte extension (a sorted code table, a table of
 * code ranges of one width and a table of code ranges with a width array
 * each).  Every read goes through the cursor's bound.
 */
#include "fnt_metric_cursor.h"

#include <cstring>

namespace {

/* The longest identifier text read (eight digits and the terminator fit easily). */
constexpr DWORD kMaxIdText = 64;

/* Opens one extension table whose offset is stored at `at`; `skip` bytes precede its count. */
FontMetricTable open_table(FontMetricCursor *cursor, DWORD at, DWORD skip)
{
    FontMetricTable table = {};
    DWORD offset = FNT_CursorDword(cursor, at);
    if (!offset || offset > 0xFFFFFFFFu - skip - 2)
        return table;
    table.count = FNT_CursorWord(cursor, offset + skip);
    table.position = offset + skip + 2;
    return table;
}

/* A signed 16-bit width at `at`, or -1 (and `ok` cleared) past the limit. */
LONG width_at(FontMetricCursor *cursor, DWORD at)
{
    BYTE bytes[2];
    if (!FNT_CursorRead(cursor, at, bytes, 2))
        return -1;
    return LONG(SHORT(WORD(bytes[0] | bytes[1] << 8)));
}

/* Byte offset of entry `index` of `table` (entries of `size` bytes); an overflow gives an offset past any limit. */
DWORD entry_at(const FontMetricTable &table, DWORD index, DWORD size)
{
    unsigned long long at = table.position + static_cast<unsigned long long>(index) * size;
    return at > 0xFFFFFFF0ull ? 0xFFFFFFF0u : DWORD(at);
}

/* What a table of the extension answers: a width, no range holding the code, or a read past the limit. */
struct TableAnswer {
    enum { FOUND, NONE, FAILED } kind;
    LONG width;
};

/* The sorted code table: the width of `code` (every entry can be found). */
TableAnswer find_code(FontMetricCursor *cursor, WORD code)
{
    const FontMetricTable &table = cursor->codeWidths;
    LONG low = 0, high = LONG(table.count) - 1;
    while (low <= high) {
        LONG middle = low + (high - low) / 2;
        DWORD at = entry_at(table, DWORD(middle), 4);
        BYTE entry[4];
        if (!FNT_CursorRead(cursor, at, entry, 4))
            return {TableAnswer::FAILED, -1};
        WORD found = WORD(entry[0] | entry[1] << 8);
        if (found == code)
            return {TableAnswer::FOUND, LONG(SHORT(WORD(entry[2] | entry[3] << 8)))};
        if (found < code)
            low = middle + 1;
        else
            high = middle - 1;
    }
    return {TableAnswer::NONE, -1};
}

/* The range-width table: the width of the first range holding `code`. */
TableAnswer find_range_width(FontMetricCursor *cursor, WORD code)
{
    const FontMetricTable &table = cursor->rangeWidths;
    for (DWORD i = 0; i < table.count; ++i) {
        BYTE entry[6];
        if (!FNT_CursorRead(cursor, entry_at(table, i, 6), entry, 6))
            return {TableAnswer::FAILED, -1};
        WORD first = WORD(entry[0] | entry[1] << 8), last = WORD(entry[2] | entry[3] << 8);
        if (first <= code && code <= last)
            return {TableAnswer::FOUND, LONG(SHORT(WORD(entry[4] | entry[5] << 8)))};
    }
    return {TableAnswer::NONE, -1};
}

/* The range-offset table: the width from the array of the first range holding `code`. */
TableAnswer find_range_offset(FontMetricCursor *cursor, WORD code)
{
    const FontMetricTable &table = cursor->rangeOffsets;
    for (DWORD i = 0; i < table.count; ++i) {
        BYTE entry[8];
        if (!FNT_CursorRead(cursor, entry_at(table, i, 8), entry, 8))
            return {TableAnswer::FAILED, -1};
        WORD first = WORD(entry[0] | entry[1] << 8), last = WORD(entry[2] | entry[3] << 8);
        if (first <= code && code <= last) {
            DWORD offset = DWORD(entry[4] | entry[5] << 8 | entry[6] << 16 | DWORD(entry[7]) << 24);
            unsigned long long at = offset + 2ull * (code - first);
            if (at > 0xFFFFFFFFull) {
                cursor->ok = FALSE;
                return {TableAnswer::FAILED, -1};
            }
            return {TableAnswer::FOUND, width_at(cursor, DWORD(at))};
        }
    }
    return {TableAnswer::NONE, -1};
}

} // namespace

bool FNT_CursorRead(FontMetricCursor *cursor, DWORD at, void *out, DWORD count)
{
    cursor->position = at;
    bool inside = cursor->limit ? at <= cursor->limit && count <= cursor->limit - at : at <= 0xFFFFFFFFu - count;
    if (!inside) {
        cursor->ok = FALSE;
        std::memset(out, 0, count);
        return false;
    }
    std::memcpy(out, cursor->block + at, count);
    return true;
}

BYTE FNT_CursorByte(FontMetricCursor *cursor, DWORD at)
{
    BYTE value;
    FNT_CursorRead(cursor, at, &value, 1);
    return value;
}

WORD FNT_CursorWord(FontMetricCursor *cursor, DWORD at)
{
    BYTE b[2];
    FNT_CursorRead(cursor, at, b, 2);
    return WORD(b[0] | b[1] << 8);
}

DWORD FNT_CursorDword(FontMetricCursor *cursor, DWORD at)
{
    BYTE b[4];
    FNT_CursorRead(cursor, at, b, 4);
    return DWORD(b[0] | b[1] << 8 | b[2] << 16 | DWORD(b[3]) << 24);
}

LONG FNT_CursorTextLength(const FontMetricCursor *cursor, DWORD at, DWORD maxLength)
{
    DWORD room = maxLength;
    if (cursor->limit) {
        if (at >= cursor->limit)
            return -1;
        room = cursor->limit - at < maxLength ? cursor->limit - at : maxLength;
    }
    const void *end = std::memchr(cursor->block + at, 0, room);
    return end ? LONG(static_cast<const BYTE *>(end) - (cursor->block + at)) : -1;
}

DWORD FNT_ParseFontId(const char *text, DWORD length)
{
    DWORD value = 0;
    DWORD digits = 0;
    for (DWORD i = 0; i < length; ++i) {
        char c = text[i];
        if (!c)
            return digits ? value : FNT_NO_FONT_ID;
        if (++digits > 8)
            return FNT_NO_FONT_ID;
        DWORD digit;
        if (c >= '0' && c <= '9')
            digit = DWORD(c - '0');
        else if (c >= 'A' && c <= 'F')
            digit = DWORD(c - 'A' + 10);
        else if (c >= 'a' && c <= 'f')
            digit = DWORD(c - 'a' + 10);
        else
            return FNT_NO_FONT_ID;
        value = value << 4 | digit;
    }
    return FNT_NO_FONT_ID; /* no terminator */
}

int FNT_OpenMetricTable(const BYTE *block, FontMetricCursor *cursor, DWORD limit)
{
    if (!block || !cursor)
        return -1;
    *cursor = {};
    cursor->block = block;
    cursor->limit = limit;
    cursor->ok = TRUE;
    cursor->variablePitch = FNT_CursorByte(cursor, FNT_MET_PITCH_FAMILY) & 1;
    cursor->avgWidth = FNT_CursorWord(cursor, FNT_MET_AVG_WIDTH);
    cursor->firstChar = FNT_CursorByte(cursor, FNT_MET_FIRST_CHAR);
    cursor->lastChar = FNT_CursorByte(cursor, FNT_MET_LAST_CHAR);

    DWORD face = FNT_CursorDword(cursor, FNT_MET_FACE);
    LONG faceLength = face ? FNT_CursorTextLength(cursor, face, 0x10000) : -1;
    if (faceLength >= 0) {
        cursor->faceName = face;
        if (FNT_CursorTextLength(cursor, face + DWORD(faceLength) + 1, 0x10000) >= 0)
            cursor->familyName = face + DWORD(faceLength) + 1;
    }

    cursor->id = FNT_NO_FONT_ID;
    DWORD info = FNT_CursorDword(cursor, FNT_MET_DRIVER_INFO);
    LONG infoLength = info ? FNT_CursorTextLength(cursor, info, kMaxIdText) : -1;
    if (infoLength >= 0)
        cursor->id = FNT_ParseFontId(reinterpret_cast<const char *>(block + info), DWORD(infoLength) + 1);

    cursor->extentTable = FNT_CursorDword(cursor, FNT_MET_EXTENT_TABLE);
    cursor->extension = FNT_CursorDword(cursor, FNT_MET_RESERVED);
    if (cursor->extension && cursor->extension <= 0xFFFFFFFFu - 18) {
        cursor->rangeWidths = open_table(cursor, cursor->extension + 6, 0);
        cursor->rangeOffsets = open_table(cursor, cursor->extension + 10, 4);
        cursor->codeWidths = open_table(cursor, cursor->extension + 14, 0);
    } else if (cursor->extension) {
        cursor->ok = FALSE;
    }
    return 0;
}

LONG FNT_GetCharWidth(FontMetricCursor *cursor, WORD code)
{
    if (!cursor || !cursor->block)
        return -1;
    if (cursor->firstChar <= code && code <= cursor->lastChar) {
        if (!cursor->extentTable)
            return -1;
        unsigned long long at = cursor->extentTable + 2ull * (code - cursor->firstChar);
        if (at > 0xFFFFFFFFull) {
            cursor->ok = FALSE;
            return -1;
        }
        return width_at(cursor, DWORD(at));
    }
    if (!cursor->extension)
        return -1;
    TableAnswer sorted = find_code(cursor, code);
    if (sorted.kind == TableAnswer::FAILED || (sorted.kind == TableAnswer::FOUND && sorted.width >= 0))
        return sorted.width;
    TableAnswer range = find_range_width(cursor, code);
    if (range.kind != TableAnswer::NONE)
        return range.width;
    return find_range_offset(cursor, code).width;
}
