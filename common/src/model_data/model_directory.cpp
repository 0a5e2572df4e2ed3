/*
 * Record directory of a model data file: the kind tables the directory
 * points at, record rows found by identifier or by number, and positioning
 * the reader (main or companion) that holds a record or a feature's option.
 */
#include "model_internal.h"

namespace {

/* Place of a kind in the directory's fixed order, or -1. */
int kind_place(WORD kind)
{
    for (size_t i = 0; i < kDddDirectoryKinds.size(); ++i)
        if (kDddDirectoryKinds[i] == kind)
            return static_cast<int>(i);
    return -1;
}

/* Reads the row at the position: selector and offset (the identifier is skipped). */
WORD read_row(ModelFileReader *r, BYTE *selector, DWORD *offset)
{
    WORD id = 0;
    if (ddd_ReadU8(r, selector) != DDD_OK || ddd_ReadU16(r, &id) != DDD_OK || ddd_ReadU32(r, offset) != DDD_OK)
        return DDD_ERR_FAIL;
    return DDD_OK;
}

/* Positions `record reader` at the offset of the row the directory reader stands on. */
WORD seek_from_row(ModelFileReader *dir, ModelFileReader *main, ModelFileReader *companion, WORD *fileSelector)
{
    BYTE selector = 0;
    DWORD offset = 0;
    if (read_row(dir, &selector, &offset) != DDD_OK)
        return DDD_ERR_FAIL;
    WORD sel = selector == DDD_SEL_MAIN ? DDD_SEL_MAIN : DDD_SEL_COMPANION;
    ModelFileReader *target = ddd_ReaderForSelector(main, companion, sel);
    if (!ddd_IsLoaded(target) || DDD_Seek(target, 0, offset) != DDD_OK)
        return DDD_ERR_FAIL;
    if (fileSelector)
        *fileSelector = sel;
    return DDD_OK;
}

} // namespace

ModelFileReader *ddd_ReaderForSelector(ModelFileReader *main, ModelFileReader *companion, WORD selector)
{
    return selector == DDD_SEL_MAIN ? main : companion;
}

WORD DDD_SeekKindTable(ModelFileReader *reader, WORD kind, DWORD skip)
{
    int place = kind_place(kind);
    if (place < 0)
        return DDD_ERR_NOT_FOUND;
    DWORD offset = 0;
    if (DDD_SeekDirectory(reader) != DDD_OK ||
        ddd_Skip(reader, DDD_DIR_HEAD_SIZE + DDD_DIR_ROW_SIZE * static_cast<DWORD>(place) + 3) != DDD_OK ||
        ddd_ReadU32(reader, &offset) != DDD_OK)
        return DDD_ERR_FAIL;
    if (skip > 0xFFFFFFFFu - offset)
        return DDD_ERR_FAIL;
    return DDD_Seek(reader, 0, offset + skip);
}

WORD DDD_CountRecords(ModelFileReader *reader, WORD kind)
{
    WORD count = 0;
    if (DDD_SeekKindTable(reader, kind, 4) != DDD_OK || ddd_ReadU16(reader, &count) != DDD_OK)
        return 0;
    return count;
}

namespace {

/* Positions the reader after a kind's record count, which it answers. */
WORD seek_rows(ModelFileReader *reader, WORD kind, WORD *count)
{
    WORD r = DDD_SeekKindTable(reader, kind, 4);
    if (r != DDD_OK)
        return r;
    return ddd_ReadU16(reader, count);
}

} // namespace

WORD DDD_FindRecordEntryById(ModelFileReader *reader, WORD kind, WORD id)
{
    WORD count = 0;
    WORD r = seek_rows(reader, kind, &count);
    if (r != DDD_OK)
        return r;
    /* The rows in place: {8-bit selector, 16-bit identifier, 32-bit offset}; a row cut by the end fails. */
    const DWORD start = reader->position;
    const DWORD left = ddd_Remaining(reader);
    const BYTE *rows = reader->data + start;
    /* The whole rows first, then the row the end cuts (its identifier may still be whole). */
    const DWORD whole = left / DDD_TABLE_ROW_SIZE < count ? left / DDD_TABLE_ROW_SIZE : count;
    DWORD at = 0;
    for (DWORD i = 0; i < whole; ++i, at += DDD_TABLE_ROW_SIZE) {
        if (static_cast<WORD>(rows[at + 1] | (rows[at + 2] << 8)) == id) {
            reader->position = start + at;
            return DDD_OK;
        }
    }
    if (whole < count) {
        if (left - at >= 3 && static_cast<WORD>(rows[at + 1] | (rows[at + 2] << 8)) == id) {
            reader->position = start + at;
            return DDD_OK;
        }
        return DDD_ERR_FAIL;
    }
    reader->position = start + DWORD(count) * DDD_TABLE_ROW_SIZE;
    return DDD_ERR_NOT_FOUND;
}

WORD DDD_FindRecordEntryByIndex(ModelFileReader *reader, WORD kind, WORD n)
{
    WORD count = 0;
    WORD r = seek_rows(reader, kind, &count);
    if (r != DDD_OK)
        return r;
    if (n == 0 || n > count)
        return DDD_ERR_NOT_FOUND;
    /* The row must lie inside the file before the reader stands on it. */
    DWORD skip = DDD_TABLE_ROW_SIZE * static_cast<DWORD>(n - 1);
    if (skip > ddd_Remaining(reader) || DDD_TABLE_ROW_SIZE > ddd_Remaining(reader) - skip)
        return DDD_ERR_FAIL;
    return ddd_Skip(reader, skip);
}

WORD DDD_SeekRecord(int mode, ModelFileReader *main, ModelFileReader *companion, WORD dirSelector, WORD kind,
                    WORD idOrNumber, WORD *fileSelector)
{
    ModelFileReader *dir = ddd_ReaderForSelector(main, companion, dirSelector);
    if (!ddd_IsLoaded(dir))
        return DDD_ERR_FAIL;
    WORD r = mode == 1 ? DDD_FindRecordEntryByIndex(dir, kind, idOrNumber)
                       : DDD_FindRecordEntryById(dir, kind, idOrNumber);
    if (r != DDD_OK)
        return r;
    return seek_from_row(dir, main, companion, fileSelector);
}

WORD DDD_SeekRecordOrOption(ModelFileReader *main, ModelFileReader *companion, WORD dirSelector, WORD kind,
                            WORD id, WORD n, WORD *fileSelector)
{
    if (n == 0)
        return DDD_SeekRecord(0, main, companion, dirSelector, kind, id, fileSelector);
    if (kind != DDD_KIND_DEVICE_FEATURE && kind != DDD_KIND_DOCUMENT_FEATURE)
        return DDD_ERR_FAIL;

    WORD featureSelector = 0;
    WORD r = DDD_SeekRecord(0, main, companion, dirSelector, kind, id, &featureSelector);
    if (r != DDD_OK)
        return r;
    /* Walk the feature in place to its option list: head, name, 8-bit kind, default, value. */
    ModelFileReader *f = ddd_ReaderForSelector(main, companion, featureSelector);
    WORD nameLength = 0;
    WORD count = 0;
    WORD optionId = 0;
    if (ddd_Skip(f, DDD_RECORD_HEAD_SIZE) != DDD_OK || ddd_ReadU16(f, &nameLength) != DDD_OK ||
        ddd_Skip(f, nameLength + 1u + 2u + 2u + 4u) != DDD_OK || ddd_ReadU16(f, &count) != DDD_OK)
        return DDD_ERR_FAIL;
    if (n > count)
        return DDD_ERR_NOT_FOUND;
    if (ddd_Skip(f, 2u * (n - 1u)) != DDD_OK || ddd_ReadU16(f, &optionId) != DDD_OK)
        return DDD_ERR_FAIL;
    WORD optionKind = kind == DDD_KIND_DEVICE_FEATURE ? DDD_KIND_DEVICE_OPTION : DDD_KIND_DOCUMENT_OPTION;
    return DDD_SeekRecord(0, main, companion, featureSelector, optionKind, optionId, fileSelector);
}
