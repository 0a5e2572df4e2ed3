/*
 * Reading a TrueType font file for the outline download: the offset table
 * (or a collection's member chosen by its full name), the tables the
 * download uses, a glyph's "glyf" data through "loca", and the component
 * list of a composite glyph.  The file is the application's font: every
 * offset and length is checked against the file's size before it is read.
 */
#include "draw_font_download.h"

#include <cstring>

namespace {

/* The tables noted from a font, in this order. */
constexpr DWORD kNotedTags[FNT_NOTED_TABLES] = {
    FNT_TAG("cmap"), FNT_TAG("cvt "), FNT_TAG("fpgm"), FNT_TAG("glyf"), FNT_TAG("GSUB"), FNT_TAG("head"),
    FNT_TAG("hhea"), FNT_TAG("hmtx"), FNT_TAG("loca"), FNT_TAG("maxp"), FNT_TAG("mort"), FNT_TAG("name"),
    FNT_TAG("OS/2"), FNT_TAG("PCLT"), FNT_TAG("post"), FNT_TAG("prep"), FNT_TAG("vhea"), FNT_TAG("vmtx"),
};

constexpr DWORD kOffsetTableSize = 12;
constexpr DWORD kTableRecordSize = 16;
constexpr DWORD kCollectionHeaderSize = 12;
constexpr DWORD kNameRecordSize = 12;

/* Fields the download reads, and the table lengths they need. */
constexpr DWORD kMaxpNumGlyphs = 4, kMaxpMinLength = 6;
constexpr DWORD kHheaNumberOfHMetrics = 34, kHheaMinLength = 36;
constexpr DWORD kHeadIndexToLocFormat = 50, kHeadMinLength = 52;
constexpr DWORD kGlyphHeaderSize = 10;

/* Composite component flags. */
constexpr WORD kArgsAreWords = 0x0001;
constexpr WORD kHaveScale = 0x0008;
constexpr WORD kMoreComponents = 0x0020;
constexpr WORD kHaveXYScale = 0x0040;
constexpr WORD kHaveTwoByTwo = 0x0080;

WORD be16(const BYTE *p) { return WORD(p[0] << 8 | p[1]); }
DWORD be32(const BYTE *p) { return DWORD(p[0]) << 24 | DWORD(p[1]) << 16 | DWORD(p[2]) << 8 | DWORD(p[3]); }

/* True when [offset, offset + length) lies inside `size` bytes. */
bool inside(DWORD offset, DWORD length, DWORD size) { return offset <= size && length <= size - offset; }

/* The length and position of `tag` in the offset table at `at`; false when absent. */
bool find_record(const BYTE *file, DWORD at, WORD numTables, DWORD tag, DWORD *offset, DWORD *length)
{
    for (WORD i = 0; i < numTables; i++) {
        const BYTE *record = file + at + kOffsetTableSize + DWORD(i) * kTableRecordSize;
        if (be32(record) == tag) {
            *offset = be32(record + 8);
            *length = be32(record + 12);
            return true;
        }
    }
    return false;
}

/* The number of tables of the offset table at `at`, its directory checked to lie inside the file. */
TrueTypeStatus read_offset_table(const BYTE *file, DWORD size, DWORD at, WORD *numTables)
{
    if (!inside(at, kOffsetTableSize, size))
        return TT_TRUNCATED;
    *numTables = be16(file + at + 4);
    if (!inside(at + kOffsetTableSize, DWORD(*numTables) * kTableRecordSize, size))
        return TT_TRUNCATED;
    return TT_OK;
}

/* True when the "name" table of the font at `at` has a Windows full name equal to `face`. */
bool full_name_matches(const BYTE *file, DWORD size, DWORD at, WORD numTables, LPCWSTR face)
{
    DWORD offset = 0, length = 0;
    if (!find_record(file, at, numTables, FNT_TAG("name"), &offset, &length) || !inside(offset, length, size) ||
        length < 6)
        return false;
    const BYTE *name = file + offset;
    const DWORD count = be16(name + 2);
    const DWORD strings = be16(name + 4);
    if (!inside(6, count * kNameRecordSize, length))
        return false;
    DWORD faceLength = 0;
    while (face[faceLength])
        faceLength++;
    for (DWORD i = 0; i < count; i++) {
        const BYTE *record = name + 6 + i * kNameRecordSize;
        if (be16(record) != 3 || be16(record + 6) != 4)
            continue;
        const DWORD bytes = be16(record + 8);
        const DWORD start = strings + be16(record + 10);
        if (bytes != faceLength * 2 || !inside(start, bytes, length))
            continue;
        bool equal = true;
        for (DWORD c = 0; c < faceLength && equal; c++)
            equal = be16(name + start + 2 * c) == WORD(face[c]);
        if (equal)
            return true;
    }
    return false;
}

} // namespace

TrueTypeStatus FNT_ParseTrueTypeFile(const BYTE *file, DWORD size, LPCWSTR face, TrueTypeFontInfo *info)
{
    if (!info)
        return TT_NO_FONT_FILE;
    std::memset(info, 0, sizeof *info);
    info->tables[0].tag = FNT_TAG_END;
    if (!file || !size)
        return TT_NO_FONT_FILE;
    if (size < 4)
        return TT_TRUNCATED;

    DWORD at = 0;
    WORD numTables = 0;
    DWORD version = be32(file);
    if (version == FNT_TAG("ttcf")) {
        if (!inside(0, kCollectionHeaderSize, size))
            return TT_TRUNCATED;
        const DWORD fonts = be32(file + 8);
        if (fonts > (size - kCollectionHeaderSize) / 4)
            return TT_TRUNCATED;
        if (face && face[0] == u'@')
            face++;
        bool found = false;
        for (DWORD i = 0; i < fonts && !found && face; i++) {
            DWORD member = be32(file + kCollectionHeaderSize + 4 * i);
            WORD memberTables = 0;
            if (read_offset_table(file, size, member, &memberTables) != TT_OK)
                continue; /* a damaged member is no match; another may be */
            if (full_name_matches(file, size, member, memberTables, face)) {
                at = member;
                numTables = memberTables;
                found = true;
            }
        }
        if (!found)
            return TT_NO_MATCHING_FACE;
    } else {
        if (version == FNT_TAG("OTTO"))
            return TT_CFF_OUTLINES;
        TrueTypeStatus status = read_offset_table(file, size, 0, &numTables);
        if (status != TT_OK)
            return status;
    }

    /* the noted tables, the first of each tag, every one inside the file */
    int noted = 0;
    for (WORD i = 0; i < numTables; i++) {
        const BYTE *record = file + at + kOffsetTableSize + DWORD(i) * kTableRecordSize;
        const DWORD tag = be32(record);
        bool wanted = false;
        for (DWORD t : kNotedTags)
            wanted = wanted || t == tag;
        if (!wanted || FNT_FindTable(info, tag, nullptr))
            continue;
        const DWORD offset = be32(record + 8), length = be32(record + 12);
        if (!inside(offset, length, size)) {
            std::memset(info, 0, sizeof *info);
            info->tables[0].tag = FNT_TAG_END;
            return TT_TRUNCATED;
        }
        info->tables[noted++] = TrueTypeTable{tag, file + offset, length};
        info->tables[noted].tag = FNT_TAG_END;
    }

    info->file = file;
    info->fileSize = size;
    info->offsetTable = file + at;
    info->version = version;

    DWORD maxpLength = 0, hheaLength = 0, headLength = 0, length = 0;
    const BYTE *maxp = FNT_FindTable(info, FNT_TAG("maxp"), &maxpLength);
    const BYTE *hhea = FNT_FindTable(info, FNT_TAG("hhea"), &hheaLength);
    const BYTE *head = FNT_FindTable(info, FNT_TAG("head"), &headLength);
    TrueTypeStatus status = TT_OK;
    if (!maxp || !hhea || !head || !FNT_FindTable(info, FNT_TAG("glyf"), &length) ||
        !FNT_FindTable(info, FNT_TAG("loca"), &length))
        status = TT_MISSING_TABLE;
    else if (maxpLength < kMaxpMinLength || hheaLength < kHheaMinLength || headLength < kHeadMinLength)
        status = TT_BAD_TABLE;
    if (status == TT_OK) {
        info->numGlyphs = be16(maxp + kMaxpNumGlyphs);
        info->numberOfHMetrics = be16(hhea + kHheaNumberOfHMetrics);
        info->indexToLocFormat = SHORT(be16(head + kHeadIndexToLocFormat));
        /* a font without glyphs or metrics, or with an unknown "loca" form, has nothing to download */
        if (!info->numGlyphs || !info->numberOfHMetrics ||
            (info->indexToLocFormat != 0 && info->indexToLocFormat != 1))
            status = TT_BAD_TABLE;
    }
    if (status != TT_OK) {
        std::memset(info, 0, sizeof *info);
        info->tables[0].tag = FNT_TAG_END;
    }
    return status;
}

const BYTE *FNT_FindTable(const TrueTypeFontInfo *info, DWORD tag, DWORD *length)
{
    if (length)
        *length = 0;
    if (!info)
        return nullptr;
    for (int i = 0; i <= FNT_NOTED_TABLES && info->tables[i].tag != FNT_TAG_END; i++) {
        if (info->tables[i].tag == tag) {
            if (length)
                *length = info->tables[i].length;
            return info->tables[i].data;
        }
    }
    return nullptr;
}

const BYTE *FNT_FindTablePadded(const TrueTypeFontInfo *info, DWORD tag, DWORD *length)
{
    DWORD exact = 0;
    const BYTE *table = FNT_FindTable(info, tag, &exact);
    if (length)
        *length = table ? (exact + 3) & ~3u : 0;
    return table;
}

DWORD FNT_TableChecksum(const BYTE *table, DWORD length)
{
    if (!table)
        return 0;
    DWORD sum = 0;
    DWORD i = 0;
    for (; i + 4 <= length; i += 4)
        sum += be32(table + i);
    if (i < length) {
        BYTE last[4] = {};
        std::memcpy(last, table + i, length - i);
        sum += be32(last);
    }
    return sum;
}

TrueTypeStatus FNT_LocateGlyph(const TrueTypeFontInfo *info, ULONG glyph, const BYTE **data, DWORD *length)
{
    *data = nullptr;
    *length = 0;
    DWORD locaLength = 0, glyfLength = 0;
    const BYTE *loca = FNT_FindTable(info, FNT_TAG("loca"), &locaLength);
    const BYTE *glyf = FNT_FindTable(info, FNT_TAG("glyf"), &glyfLength);
    if (!loca || !glyf)
        return TT_MISSING_TABLE;
    if (glyph >= info->numGlyphs)
        return TT_BAD_TABLE;
    DWORD start = 0, end = 0;
    if (info->indexToLocFormat == 0) {
        if (!inside(2 * glyph, 4, locaLength))
            return TT_BAD_TABLE;
        start = 2 * DWORD(be16(loca + 2 * glyph));
        end = 2 * DWORD(be16(loca + 2 * glyph + 2));
    } else {
        if (!inside(4 * glyph, 8, locaLength))
            return TT_BAD_TABLE;
        start = be32(loca + 4 * glyph);
        end = be32(loca + 4 * glyph + 4);
    }
    if (end < start || !inside(start, end - start, glyfLength))
        return TT_BAD_TABLE;
    if (end > start) {
        *data = glyf + start;
        *length = end - start;
    }
    return TT_OK;
}

BOOL FNT_ListComponents(const BYTE *glyph, DWORD length, WORD *indexes, DWORD capacity, DWORD *count)
{
    *count = 0;
    if (!glyph || length < kGlyphHeaderSize || !(glyph[0] & 0x80))
        return FALSE;
    DWORD at = kGlyphHeaderSize;
    DWORD found = 0;
    WORD flags = 0;
    do {
        if (!inside(at, 4, length))
            return FALSE;
        flags = be16(glyph + at);
        const WORD index = be16(glyph + at + 2);
        DWORD size = 4 + ((flags & kArgsAreWords) ? 4 : 2);
        if (flags & kHaveScale)
            size += 2;
        if (flags & kHaveXYScale)
            size += 4;
        if (flags & kHaveTwoByTwo)
            size += 8;
        if (!inside(at, size, length))
            return FALSE;
        if (found < capacity && indexes)
            indexes[found] = index;
        found++;
        at += size;
    } while (flags & kMoreComponents);
    *count = found;
    return TRUE;
}
