/*
 * The outline download's PCL XL data: the TrueType font header (a "GT"
 * segment carrying the tables the printer's rasteriser needs, with their
 * directory and checksums) and TrueType characters of class 0, or of
 * class 1 with their horizontal metrics when the model takes the short
 * header.  A composite glyph is followed by its components as characters
 * of code 0xFFFF.
 */
#include "draw_font_download.h"
#include "pclxl_ops.h"
#include "pdev_context.h"

#include <tarvel/model_data/mdl_context.h>

#include <plat/error.h>
#include <plat/memory.h>

#include <cstring>
#include <iterator>

namespace {

/* Model capability (header entry 26): the printer takes the 6-table header and class 1 characters. */
constexpr DWORD kCapShortTrueTypeHeader = 0x20000000;

constexpr DWORD kSixTables[] = {FNT_TAG("cvt "), FNT_TAG("fpgm"), FNT_TAG("gdir"),
                                FNT_TAG("head"), FNT_TAG("maxp"), FNT_TAG("prep")};
constexpr DWORD kEightTables[] = {FNT_TAG("cvt "), FNT_TAG("fpgm"), FNT_TAG("gdir"), FNT_TAG("head"),
                                  FNT_TAG("hhea"), FNT_TAG("hmtx"), FNT_TAG("maxp"), FNT_TAG("prep")};

constexpr DWORD kHeaderFixedSize = 14; /* up to the segment data */
constexpr DWORD kSegmentFixedSize = 12; /* offset table */
constexpr DWORD kDirectoryEntrySize = 16;
constexpr DWORD kNullSegmentSize = 6;
constexpr DWORD kPieceSize = 65535;
constexpr DWORD kMaxCharacterSize = 65535; /* the 16-bit size field */
constexpr BYTE kTrueTypeTechnology = 1;

void put16(BYTE *p, DWORD v)
{
    p[0] = BYTE(v >> 8);
    p[1] = BYTE(v);
}

void put32(BYTE *p, DWORD v)
{
    p[0] = BYTE(v >> 24);
    p[1] = BYTE(v >> 16);
    p[2] = BYTE(v >> 8);
    p[3] = BYTE(v);
}

WORD be16(const BYTE *p) { return WORD(p[0] << 8 | p[1]); }

bool short_header(PdevContext *pdev) { return MDL_HasCapability(pdev->mainReader, kCapShortTrueTypeHeader) != 0; }

/* A heap block freed at the end of its scope. */
struct Block {
    explicit Block(SIZE_T n) : bytes(static_cast<BYTE *>(HeapAlloc(GetProcessHeap(), HEAP_ZERO_MEMORY, n ? n : 1))) {}
    ~Block()
    {
        if (bytes)
            HeapFree(GetProcessHeap(), 0, bytes);
    }
    Block(const Block &) = delete;
    Block &operator=(const Block &) = delete;
    BYTE *bytes;
};

/* The advance width and left side bearing of `glyph` from "hmtx"; false when the table lacks them. */
bool horizontal_metrics(const TrueTypeFontInfo *info, ULONG glyph, WORD *advance, WORD *bearing)
{
    DWORD length = 0;
    const BYTE *hmtx = FNT_FindTable(info, FNT_TAG("hmtx"), &length);
    const DWORD longMetrics = info->numberOfHMetrics;
    if (!hmtx || !longMetrics)
        return false;
    if (glyph < longMetrics) {
        if (4 * (glyph + 1) > length)
            return false;
        *advance = be16(hmtx + 4 * glyph);
        *bearing = be16(hmtx + 4 * glyph + 2);
        return true;
    }
    const DWORD bearingAt = 4 * longMetrics + 2 * (glyph - longMetrics);
    if (4 * longMetrics > length || bearingAt + 2 > length)
        return false;
    *advance = be16(hmtx + 4 * (longMetrics - 1));
    *bearing = be16(hmtx + bearingAt);
    return true;
}

int download_components(PdevContext *pdev, TrueTypeFontInfo *info, const BYTE *glyph, DWORD length, int depth);

int write_glyph(PdevContext *pdev, TrueTypeFontInfo *info, ULONG glyph, WORD code, int depth)
{
    if (depth > FNT_MAX_COMPONENT_DEPTH) {
        SetLastError(ERROR_INVALID_DATA); /* a composite nested too deep, or referring to itself */
        return -1;
    }
    const BYTE *data = nullptr;
    DWORD length = 0;
    TrueTypeStatus status = FNT_LocateGlyph(info, glyph, &data, &length);
    if (status != TT_OK) {
        SetLastError(ERROR_INVALID_DATA);
        return -1;
    }
    const bool class1 = short_header(pdev);
    const DWORD headerSize = class1 ? 10 : 6;
    if (length + headerSize - 2 > kMaxCharacterSize) {
        SetLastError(ERROR_INVALID_DATA);
        return -1;
    }
    Block record(headerSize + length);
    if (!record.bytes) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return -1;
    }
    BYTE *r = record.bytes;
    r[0] = 1;
    r[1] = class1 ? 1 : 0;
    put16(r + 2, headerSize + length - 2);
    if (class1) {
        WORD advance = 0, bearing = 0;
        if (!horizontal_metrics(info, glyph, &advance, &bearing)) {
            SetLastError(ERROR_INVALID_DATA);
            return -1;
        }
        put16(r + 4, bearing);
        put16(r + 6, advance);
        put16(r + 8, glyph);
    } else {
        put16(r + 4, glyph);
    }
    if (length)
        std::memcpy(r + headerSize, data, length);
    if (XL_ReadChar(pdev, code, r, headerSize + length) != 0)
        return -1;
    return download_components(pdev, info, data, length, depth + 1);
}

int download_components(PdevContext *pdev, TrueTypeFontInfo *info, const BYTE *glyph, DWORD length, int depth)
{
    DWORD count = 0;
    if (!FNT_ListComponents(glyph, length, nullptr, 0, &count) || !count)
        return 0; /* a simple glyph, or a component list that is not well formed */
    Block indexes(sizeof(WORD) * count);
    if (!indexes.bytes) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return -1;
    }
    WORD *list = reinterpret_cast<WORD *>(indexes.bytes);
    FNT_ListComponents(glyph, length, list, count, &count);
    for (DWORD i = 0; i < count; i++)
        if (write_glyph(pdev, info, list[i], 0xFFFF, depth) != 0)
            return -1;
    return 0;
}

} // namespace

int FNT_WriteTrueTypeHeader(PdevContext *pdev, const char *name, WORD symbolSet, WORD characters,
                            TrueTypeFontInfo *info)
{
    if (!pdev || !name || !info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    const bool six = short_header(pdev);
    const DWORD *list = six ? kSixTables : kEightTables;
    const DWORD n = six ? std::size(kSixTables) : std::size(kEightTables);

    unsigned long long dataSize = 0;
    for (DWORD i = 0; i < n; i++) {
        DWORD padded = 0;
        if (list[i] != FNT_TAG("gdir") && FNT_FindTablePadded(info, list[i], &padded))
            dataSize += padded;
    }
    const unsigned long long segment = kSegmentFixedSize + kDirectoryEntrySize * n + dataSize;
    const unsigned long long total = kHeaderFixedSize + segment + kNullSegmentSize;
    if (total > 0x7FFFFFFFull) {
        SetLastError(ERROR_INVALID_DATA);
        return -1;
    }
    Block header{SIZE_T(total)};
    if (!header.bytes) {
        SetLastError(ERROR_NOT_ENOUGH_MEMORY);
        return -1;
    }
    BYTE *h = header.bytes;
    h[0] = 0; /* format */
    h[1] = 0; /* orientation */
    put16(h + 2, symbolSet);
    h[4] = kTrueTypeTechnology;
    h[5] = 0; /* variety */
    put16(h + 6, characters);
    h[8] = 'G';
    h[9] = 'T';
    put32(h + 10, DWORD(segment));

    BYTE *sfnt = h + kHeaderFixedSize;
    put32(sfnt, info->version);
    DWORD p = 1;
    while (p * 2 <= n)
        p *= 2;
    DWORD log2 = 0;
    while ((1u << (log2 + 1)) <= p)
        log2++;
    put16(sfnt + 4, n);
    put16(sfnt + 6, 16 * p);
    put16(sfnt + 8, log2);
    put16(sfnt + 10, 16 * n - 16 * p);

    BYTE *entry = sfnt + kSegmentFixedSize;
    DWORD offset = kSegmentFixedSize + kDirectoryEntrySize * n; /* from the segment's start (byte 14) */
    for (DWORD i = 0; i < n; i++) {
        if (list[i] == FNT_TAG("gdir")) {
            put32(entry, list[i]);
            entry += kDirectoryEntrySize;
            continue;
        }
        DWORD length = 0, padded = 0;
        const BYTE *table = FNT_FindTable(info, list[i], &length);
        if (!table)
            continue; /* the font lacks it: the entries at the end stay zero */
        FNT_FindTablePadded(info, list[i], &padded);
        put32(entry, list[i]);
        put32(entry + 4, FNT_TableChecksum(table, length));
        put32(entry + 8, offset);
        put32(entry + 12, length);
        std::memcpy(sfnt + offset, table, length);
        offset += padded;
        entry += kDirectoryEntrySize;
    }
    put16(sfnt + segment, 0xFFFF);
    put32(sfnt + segment + 2, 0);

    if (XL_BeginFontHeader(pdev, name) != 0)
        return -1;
    for (unsigned long long at = 0; at < total; at += kPieceSize) {
        const DWORD piece = DWORD(total - at < kPieceSize ? total - at : kPieceSize);
        if (XL_ReadFontHeader(pdev, h + at, piece) != 0)
            return -1;
    }
    return XL_EndFontHeader(pdev);
}

int FNT_WriteTrueTypeGlyph(PdevContext *pdev, TrueTypeFontInfo *info, ULONG glyph, WORD code)
{
    if (!pdev || !info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    return write_glyph(pdev, info, glyph, code, 0);
}

int FNT_DownloadComponents(PdevContext *pdev, TrueTypeFontInfo *info, const BYTE *glyph, DWORD length)
{
    if (!pdev || !info) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return -1;
    }
    return download_components(pdev, info, glyph, length, 1);
}
