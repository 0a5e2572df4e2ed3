/*
 * Lookups by setting identifier: the identifier-to-record map, the record or
 * option found by identifier, by option position and by option value, and
 * display names.  The search by value reads each option's value in place
 * and parses only the option that matches.
 */
#include "mdl_internal.h"

#include <plat/text.h>

namespace {

bool is_feature_kind(WORD kind)
{
    return kind == DDD_KIND_DEVICE_FEATURE || kind == DDD_KIND_DOCUMENT_FEATURE;
}

WORD option_kind_of(WORD featureKind)
{
    return featureKind == DDD_KIND_DEVICE_FEATURE ? DDD_KIND_DEVICE_OPTION : DDD_KIND_DOCUMENT_OPTION;
}

/* Up to `size` bytes (at most 4) of a value as a little-endian number. */
DWORD widen(const BYTE *data, DWORD length, DWORD size)
{
    DWORD n = 0;
    DWORD count = length < size ? length : size;
    for (DWORD i = 0; i < count && i < 4; ++i)
        n |= static_cast<DWORD>(data[i]) << (8 * i);
    return n;
}

/* Whether an option's value equals the caller's, compared by the option's type. */
bool value_matches(const DddValue &option, const void *value)
{
    if (!option.data || !value)
        return false;
    const auto *data = static_cast<const BYTE *>(option.data);
    switch (option.type) {
    case DDD_VT_FLAG:
    case DDD_VT_LONG:
    case DDD_VT_ULONG:
    case DDD_VT_MEMBER:
        return widen(data, option.length, 4) == plat::load<DWORD>(value);
    case DDD_VT_SHORT:
    case DDD_VT_USHORT:
        return widen(data, option.length, 2) == plat::load<WORD>(value);
    case DDD_VT_BYTE:
        return data[0] == *static_cast<const BYTE *>(value);
    case DDD_VT_FLOAT:
        return option.length >= 4 && plat::load<float>(data) == plat::load<float>(value);
    case DDD_VT_STRING:
        /* Exact: ordinal on UTF-16 units, case counts. */
        return lstrcmpW(static_cast<LPCWSTR>(option.data), static_cast<LPCWSTR>(value)) == 0;
    default:
        return false;
    }
}

/* Skips a list {32-bit byte length, what follows}. */
WORD skip_list(ModelFileReader *r)
{
    DWORD length = 0;
    if (ddd_ReadU32(r, &length) != DDD_OK)
        return DDD_ERR_FAIL;
    return ddd_Skip(r, length);
}

/* The model name of the main file's header as a new string. */
WORD model_name(ModelFileReader *main, LPWSTR *out)
{
    ModelRecord *rec = nullptr;
    WORD r = DDD_ReadHeaderInfo(main, &rec);
    if (r != DDD_OK)
        return r;
    auto *info = reinterpret_cast<DddHeaderInfo *>(rec);
    *out = info->modelName;
    info->modelName = nullptr;
    DDD_FreeRecord(&rec, DDD_KIND_HEADER);
    return *out ? DDD_OK : DDD_ERR_NO_MEMORY;
}

} // namespace

WORD ddd_ReadOptionValueInPlace(ModelFileReader *reader, DddValue *value)
{
    /* Option layout: head, name, target kind, target id, value, two lists, typed value. */
    WORD nameLength = 0;
    if (ddd_Skip(reader, DDD_RECORD_HEAD_SIZE) != DDD_OK || ddd_ReadU16(reader, &nameLength) != DDD_OK ||
        ddd_Skip(reader, nameLength + 6u) != DDD_OK || skip_list(reader) != DDD_OK || skip_list(reader) != DDD_OK)
        return DDD_ERR_FAIL;
    return DDD_ReadTypedValue(reader, value);
}

void DDD_MapIdToKind(WORD id, WORD value, WORD *kind, WORD *recordId)
{
    WORD k = DDD_KIND_DOCUMENT_FEATURE;
    WORD rec = id;
    if (id == 1 || id == 259) {
        k = DDD_KIND_HEADER;
    } else if (id >= 274 && id <= 285) {
        rec = static_cast<WORD>(274 + (id - 274) / 4 * 4);
    } else if ((id >= 4097 && id <= 4128) || (id >= 4130 && id <= 4362) || (id >= 4366 && id <= 4371)) {
        k = DDD_KIND_DEVICE_FEATURE;
    } else if (id == DDD_ID_PAPER || id == DDD_ID_TRAY || id == DDD_ID_TRAY2 || id == DDD_ID_FLAG_RECORD) {
        k = id == DDD_ID_PAPER ? DDD_KIND_PAPER
            : id == DDD_ID_TRAY ? DDD_KIND_TRAY
            : id == DDD_ID_TRAY2 ? DDD_KIND_TRAY2
                                 : DDD_KIND_FLAG_RECORD;
        rec = value;
    }
    if (kind)
        *kind = k;
    if (recordId)
        *recordId = rec;
}

WORD DDD_LookupById(int mode, ModelFileReader *main, ModelFileReader *companion, WORD id, const void *value,
                    WORD *kind, void **record)
{
    if (!kind || !record)
        return DDD_ERR_FAIL;
    *record = nullptr;
    *kind = 0;
    if (!ddd_IsLoaded(main))
        return DDD_ERR_FAIL;
    WORD k = 0, recordId = 0;
    DDD_MapIdToKind(id, value ? plat::load<WORD>(value) : 0, &k, &recordId);

    if (k == DDD_KIND_HEADER) {
        LPWSTR name = nullptr;
        WORD r = model_name(main, &name);
        if (r == DDD_OK) {
            *record = name;
            *kind = k;
        }
        return r;
    }
    ModelRecord *rec = nullptr;
    if (is_feature_kind(k) && value) {
        WORD r = DDD_FetchRecord(DDD_PARSE_PARTIAL, main, companion, k, recordId, 0, &rec);
        if (r != DDD_OK)
            return r;
        ModelRecord *option = nullptr;
        r = DDD_FindOptionByValue(mode, main, companion, rec, value, kind, &option);
        DDD_FreeRecord(&rec, -1);
        *record = option;
        return r;
    }
    WORD r = DDD_FetchRecord(mode, main, companion, k, recordId, 0, &rec);
    if (r != DDD_OK)
        return r;
    *record = rec;
    *kind = k;
    return DDD_OK;
}

WORD DDD_GetOptionByIndex(int mode, ModelFileReader *main, ModelFileReader *companion, WORD id, WORD n, WORD *kind,
                          ModelRecord **record)
{
    if (!kind || !record)
        return DDD_ERR_FAIL;
    *record = nullptr;
    *kind = 0;
    if (n == 0)
        return DDD_ERR_FAIL;
    WORD k = 0, recordId = 0;
    DDD_MapIdToKind(id, 0, &k, &recordId);
    WORD r = DDD_ERR_NOT_FOUND;
    if (is_feature_kind(k)) {
        r = DDD_FetchRecord(mode, main, companion, k, recordId, n, record);
        k = option_kind_of(k);
    } else if (k == DDD_KIND_PAPER || k == DDD_KIND_TRAY || k == DDD_KIND_TRAY2) {
        r = DDD_GetRecordByIndex(mode, main, companion, k, n, record);
    }
    if (r == DDD_OK)
        *kind = k;
    return r;
}

WORD DDD_FindOptionByValue(int mode, ModelFileReader *main, ModelFileReader *companion, const ModelRecord *feature,
                           const void *value, WORD *kind, ModelRecord **option)
{
    if (!kind || !option)
        return DDD_ERR_FAIL;
    *option = nullptr;
    *kind = 0;
    if (!feature || !value || !is_feature_kind(feature->kind))
        return DDD_ERR_FAIL;
    const auto *f = reinterpret_cast<const DddFeatureRecord *>(feature);
    const WORD optionKind = option_kind_of(feature->kind);
    const WORD dir = feature->fileSelector == DDD_SEL_COMPANION ? DDD_SEL_COMPANION : DDD_SEL_MAIN;
    for (WORD i = 0; i < f->options.count; ++i) {
        const WORD number = f->options.items[i].value;
        WORD selector = 0;
        WORD r = DDD_SeekRecord(1, main, companion, dir, optionKind, number, &selector);
        if (r == DDD_ERR_NOT_FOUND)
            continue;
        if (r != DDD_OK)
            return r;
        ModelFileReader *reader = ddd_ReaderForSelector(main, companion, selector);
        const DWORD start = reader->position;
        DddValue v{};
        r = ddd_ReadOptionValueInPlace(reader, &v);
        if (r != DDD_OK)
            return r;
        const bool match = value_matches(v, value);
        ddd_FreeValue(&v);
        if (!match)
            continue;
        reader->position = start;
        r = DDD_ParseRecord(mode, reader, main, companion, optionKind, option);
        if (r != DDD_OK)
            return r;
        (*option)->fileSelector = selector;
        *kind = optionKind;
        return DDD_OK;
    }
    return DDD_ERR_NOT_FOUND;
}

WORD DDD_GetNameById(ModelFileReader *main, ModelFileReader *companion, WORD id, const void *value, LPWSTR *name)
{
    if (!name)
        return DDD_ERR_FAIL;
    *name = nullptr;
    WORD kind = 0;
    void *found = nullptr;
    WORD r = DDD_LookupById(DDD_PARSE_PARTIAL, main, companion, id, value, &kind, &found);
    if (r != DDD_OK)
        return r;
    if (kind == DDD_KIND_HEADER) {
        DDD_FreeRecord(&found, 0);
        return DDD_ERR_FAIL;
    }
    auto *rec = static_cast<ModelRecord *>(found);
    LPCWSTR text = DDD_GetRecordName(rec);
    if (!text) {
        /* Kinds without names answer 1; a named kind whose name is empty, 2. */
        r = (kind >= DDD_KIND_DEVICE_FEATURE && kind <= DDD_KIND_TRAY2) || kind == DDD_KIND_PAPER ||
                    kind == DDD_KIND_DEVICE_FONT || kind == DDD_KIND_DEVICE_OPTION ||
                    kind == DDD_KIND_DOCUMENT_OPTION
                ? DDD_ERR_NOT_FOUND
                : DDD_ERR_FAIL;
    } else {
        *name = ddd_DupString(text, nullptr);
        r = *name ? DDD_OK : DDD_ERR_NO_MEMORY;
    }
    DDD_FreeRecord(&rec, -1);
    return r;
}
