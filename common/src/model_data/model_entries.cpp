/*
 * Header entries of a model data file: the walk over entries 0-41 laid out
 * by the shared entry table (tarvel/model_data/model_format.h), item reads by number,
 * whole-entry arrays and the text items (model texts, registry key texts).
 */
#include "model_internal.h"

#include <cstring>

namespace {

/* Count of the entry at the position: the table's, or the stored 16-bit count. */
WORD entry_count(ModelFileReader *r, const DddHeaderEntryRow *row, WORD *count)
{
    if (row->count != 0) {
        *count = row->count;
        return DDD_OK;
    }
    return ddd_ReadU16(r, count);
}

/* Skips `n` items of stored size ({16-bit size, bytes}). */
WORD skip_sized_items(ModelFileReader *r, DWORD n)
{
    for (DWORD i = 0; i < n; ++i) {
        WORD size = 0;
        if (ddd_ReadU16(r, &size) != DDD_OK || ddd_Skip(r, size) != DDD_OK)
            return DDD_ERR_FAIL;
    }
    return DDD_OK;
}

/* Locates the text item `item` of `entry`, leaving the reader at its 16-bit size. */
WORD seek_text_item(ModelFileReader *r, WORD entry, WORD item)
{
    const DddHeaderEntryRow *row = DDD_FindHeaderEntry(r, entry);
    if (!row)
        return DDD_ERR_NOT_FOUND;
    WORD count = 0;
    if (entry_count(r, row, &count) != DDD_OK)
        return DDD_ERR_FAIL;
    if (item >= count)
        return DDD_ERR_FAIL;
    return skip_sized_items(r, item);
}

} // namespace

const DddHeaderEntryRow *DDD_FindHeaderEntry(ModelFileReader *reader, WORD entry)
{
    if (DDD_SeekHeaderArea(reader, 0) != DDD_OK)
        return nullptr;
    for (const DddHeaderEntryRow &row : kDddHeaderEntries) {
        if (row.id == entry)
            return row.id == DDD_ENTRY_END ? nullptr : &row;
        if (row.id == DDD_ENTRY_END)
            return nullptr;
        WORD count = 0;
        if (entry_count(reader, &row, &count) != DDD_OK)
            return nullptr;
        if (row.itemSize != 0) {
            if (ddd_Skip(reader, static_cast<DWORD>(count) * row.itemSize) != DDD_OK)
                return nullptr;
        } else if (skip_sized_items(reader, count) != DDD_OK) {
            return nullptr;
        }
    }
    return nullptr;
}

WORD DDD_ReadHeaderEntry(ModelFileReader *reader, WORD entry, WORD itemSize, WORD itemNumber, void *buffer)
{
    if (!buffer || itemSize == 0)
        return DDD_ERR_FAIL;
    const DddHeaderEntryRow *row = DDD_FindHeaderEntry(reader, entry);
    if (!row)
        return DDD_ERR_NOT_FOUND;
    WORD count = 0;
    if (entry_count(reader, row, &count) != DDD_OK)
        return DDD_ERR_FAIL;
    if (itemNumber >= count)
        return DDD_ERR_NOT_FOUND;
    if (ddd_Skip(reader, static_cast<DWORD>(itemNumber) * itemSize) != DDD_OK)
        return DDD_ERR_FAIL;
    return DDD_Read(reader, buffer, itemSize);
}

DWORD DDD_GetHeaderEntryValue(ModelFileReader *reader, WORD entry, WORD itemSize, WORD itemNumber)
{
    if (itemSize == 0 || itemSize > 4)
        return 0;
    BYTE b[4] = {0, 0, 0, 0};
    if (DDD_ReadHeaderEntry(reader, entry, itemSize, itemNumber, b) != DDD_OK)
        return 0;
    return static_cast<DWORD>(b[0]) | (static_cast<DWORD>(b[1]) << 8) | (static_cast<DWORD>(b[2]) << 16) |
           (static_cast<DWORD>(b[3]) << 24);
}

WORD DDD_ReadHeaderEntryArray(ModelFileReader *reader, WORD entry, WORD itemSize, WORD *count, void **array)
{
    if (!count || !array || itemSize == 0)
        return DDD_ERR_FAIL;
    *count = 0;
    *array = nullptr;
    const DddHeaderEntryRow *row = DDD_FindHeaderEntry(reader, entry);
    if (!row)
        return DDD_ERR_NOT_FOUND;
    WORD n = 0;
    if (entry_count(reader, row, &n) != DDD_OK)
        return DDD_ERR_FAIL;
    if (n == 0)
        return DDD_OK;
    DWORD bytes = static_cast<DWORD>(n) * itemSize;
    if (bytes > ddd_Remaining(reader))
        return DDD_ERR_FAIL;
    void *block = mdl_Alloc(bytes);
    if (!block)
        return DDD_ERR_NO_MEMORY;
    if (DDD_Read(reader, block, bytes) != DDD_OK) {
        mdl_Free(block);
        return DDD_ERR_FAIL;
    }
    *count = n;
    *array = block;
    return DDD_OK;
}

namespace {

/* Text item `itemNumber` of an entry; `references` off decodes it as stored text only. */
WORD read_header_string(ModelFileReader *reader, WORD entry, WORD itemNumber, LPWSTR *out, bool references)
{
    if (!out)
        return DDD_ERR_FAIL;
    *out = nullptr;
    WORD r = seek_text_item(reader, entry, itemNumber);
    if (r != DDD_OK)
        return r;
    WORD size = 0;
    if (ddd_ReadU16(reader, &size) != DDD_OK)
        return DDD_ERR_FAIL;
    DWORD length = size;
    r = references ? DDD_ReadText(reader, out, &length) : ddd_ReadStoredTextOnly(reader, out, &length);
    if (r != DDD_OK)
        return r;
    return *out ? DDD_OK : DDD_ERR_NOT_FOUND;
}

} // namespace

WORD DDD_ReadHeaderString(ModelFileReader *reader, WORD entry, WORD itemNumber, LPWSTR *out)
{
    return read_header_string(reader, entry, itemNumber, out, true);
}

WORD ddd_ReadHeaderStoredString(ModelFileReader *reader, WORD entry, WORD itemNumber, LPWSTR *out)
{
    return read_header_string(reader, entry, itemNumber, out, false);
}

LPWSTR DDD_GetHeaderString(ModelFileReader *reader, WORD entry, WORD itemNumber)
{
    LPWSTR s = nullptr;
    if (DDD_ReadHeaderString(reader, entry, itemNumber, &s) != DDD_OK)
        return nullptr;
    return s;
}

WORD DDD_GetModelText(ModelFileReader *reader, WORD n, LPWSTR *out)
{
    if (!out)
        return DDD_ERR_FAIL;
    *out = nullptr;
    if (n <= 5)
        return DDD_ReadHeaderString(reader, static_cast<WORD>(17 + n), 0, out);
    if (n <= 11)
        return DDD_ReadHeaderString(reader, DDD_ENTRY_MODEL_TEXTS, static_cast<WORD>(n - 6), out);
    if (n >= 14 && n <= 25)
        return DDD_ReadHeaderString(reader, DDD_ENTRY_MODEL_TEXTS, static_cast<WORD>(n - 8), out);
    return DDD_ERR_FAIL;
}

WORD DDD_GetRegistryKeyText(ModelFileReader *reader, WORD n, LPWSTR *out)
{
    if (!out)
        return DDD_ERR_FAIL;
    *out = nullptr;
    if (n == 0)
        return DDD_ReadHeaderString(reader, DDD_ENTRY_REGISTRY_KEY0, 0, out);
    if (n == 1)
        return DDD_ReadHeaderString(reader, DDD_ENTRY_REGISTRY_KEY1, 0, out);
    return DDD_ERR_FAIL;
}
