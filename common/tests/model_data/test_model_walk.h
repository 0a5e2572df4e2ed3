/*
 * Walks everything a model data file pair offers: the header, every header
 * entry, every record of every kind by number in one parse mode, and every
 * accessor on each record (feature options and targets, images, value
 * arrays of conditions, ...).  Shared by the tests, the fuzz target and the
 * benchmark; it only reads through the reader's own entry points.
 */
#ifndef TARVEL_TEST_MODEL_WALK_H
#define TARVEL_TEST_MODEL_WALK_H

#include <tarvel/model_data/model_file.h>
#include <tarvel/model_data/model_records.h>

namespace model_walk {

struct WalkCount {
    unsigned parsed = 0;   /* records parsed without failure */
    unsigned failed = 0;   /* records whose parse answered a failure */
};

inline void free_text(LPWSTR s)
{
    if (s)
        DDD_FreeRecord(&s, 0);
}

inline void resolve_conditions(ModelFileReader *reader, DddConditionItem *items, WORD count)
{
    for (WORD i = 0; i < count; ++i)
        DDD_ResolveValueArray(reader, &items[i].setting);
}

inline void walk_header(ModelFileReader *main, ModelFileReader *companion)
{
    ModelRecord *info = nullptr;
    if (DDD_ReadHeaderInfo(main, &info) == DDD_OK)
        DDD_FreeRecord(&info, -1);
    for (const DddHeaderEntryRow &row : kDddHeaderEntries) {
        if (row.id == DDD_ENTRY_END)
            break;
        if (row.itemSize == 0) {
            for (WORD item = 0; item < 3; ++item)
                free_text(DDD_GetHeaderString(main, row.id, item));
        } else {
            DDD_GetHeaderEntryValue(main, row.id, row.itemSize, 0);
            WORD count = 0;
            void *array = nullptr;
            if (DDD_ReadHeaderEntryArray(main, row.id, row.itemSize, &count, &array) == DDD_OK && array)
                DDD_FreeRecord(&array, 0);
        }
    }
    for (WORD n = 0; n < 27; ++n) {
        LPWSTR s = nullptr;
        DDD_GetModelText(main, n, &s);
        free_text(s);
    }
    for (WORD n = 0; n < 2; ++n) {
        LPWSTR s = nullptr;
        DDD_GetRegistryKeyText(main, n, &s);
        free_text(s);
    }
    for (WORD entry : {DDD_ENTRY_PICTURE1, DDD_ENTRY_PICTURE2}) {
        WORD a = 0, b = 0;
        DWORD size = 0;
        BYTE *image = DDD_GetHeaderImage(main, companion, entry, &a, &b, &size);
        if (image)
            DDD_FreeRecord(&image, 0);
    }
    DDD_TestOptionMaskBit(main, companion, 4103);
}

/* Calls the accessors that apply to one record; a feature's first `optionLimit` options and two past them. */
inline void walk_record(int mode, ModelFileReader *main, ModelFileReader *companion, ModelRecord *rec,
                        WORD optionLimit = 62)
{
    WORD w = 0;
    BYTE b = 0;
    DWORD length = 0;
    WORD type = 0;
    const void *value = nullptr;
    LPCWSTR text = nullptr;
    DddPair p1{}, p2{};
    DDD_GetRecordName(rec);
    DDD_GetRecordAttribute(rec, &w);
    switch (rec->kind) {
    case DDD_KIND_DEVICE_FEATURE:
    case DDD_KIND_DOCUMENT_FEATURE: {
        auto *f = reinterpret_cast<DddFeatureRecord *>(rec);
        for (WORD n = 0; n <= f->options.count + 1 && n < optionLimit + 2; ++n) {
            ModelRecord *option = nullptr;
            WORD kind = 0;
            if (DDD_GetFeatureOption(mode, n == 0, main, companion, rec, n, &kind, &option) == DDD_OK) {
                ModelRecord *target = nullptr;
                if (DDD_GetOptionTarget(mode, main, companion, option, &kind, &target) == DDD_OK)
                    DDD_FreeRecord(&target, -1);
                DddImageBlob *blob = nullptr;
                if (DDD_GetOptionImage(main, companion, option, &blob) == DDD_OK)
                    DDD_FreeRecord(&blob, -1);
                DDD_FreeRecord(&option, -1);
            }
            LPWSTR name = nullptr;
            DDD_GetRecordOrOptionName(main, companion, rec->kind, rec->id, n, &name);
            free_text(name);
        }
        DddImageBlob *blob = nullptr;
        if (DDD_GetOptionImage(main, companion, rec, &blob) == DDD_OK)
            DDD_FreeRecord(&blob, -1);
        break;
    }
    case DDD_KIND_TRAY:
    case DDD_KIND_TRAY2: {
        DDD_GetDimPairA(rec);
        DDD_GetDimPairB(rec);
        for (WORD n = 1; n < 4; ++n) {
            DDD_GetListEntry(rec, n, &w);
            DDD_GetListEntryId(rec, n, &w);
        }
        DDD_TrayMediaSource(rec, &w);
        DDD_TrayExtraByte(rec, &b);
        LPWSTR name = nullptr;
        DDD_GetRecordOrOptionName(main, companion, rec->kind, rec->id, 0, &name);
        free_text(name);
        break;
    }
    case DDD_KIND_RULE:
    case DDD_KIND_REVERSE_RULE: {
        auto *r = reinterpret_cast<DddRuleRecord *>(rec);
        DDD_ResolveValueArray(rec->reader, &r->condition);
        resolve_conditions(rec->reader, r->involved.items, r->involved.count);
        for (WORD i = 0; i < r->actions.count; ++i)
            DDD_ResolveValueArray(rec->reader, &r->actions.items[i]);
        break;
    }
    case DDD_KIND_PICTURE: {
        auto *p = reinterpret_cast<DddPictureRecord *>(rec);
        resolve_conditions(rec->reader, p->conditions.items, p->conditions.count);
        WORD x = 0, y = 0;
        BYTE *data = nullptr;
        if (DDD_GetPictureImage(main, companion, rec, &x, &y, &data, &length) == DDD_OK && data)
            DDD_FreeRecord(&data, 0);
        break;
    }
    case DDD_KIND_PAPER:
        DDD_PaperSize(rec);
        DDD_PaperSizeAlt(rec);
        DDD_PaperMinExtent(rec);
        DDD_PaperMaxExtent(rec);
        DDD_PaperMargins(rec, &p1, &p2);
        DDD_PaperMediaCode(rec);
        DDD_PaperSizePairs(rec, &b, &p1, &p2);
        break;
    case DDD_KIND_DEVICE_FONT:
        for (WORD n = 1; n < 4; ++n)
            DDD_DeviceFontGetAlias(rec, n, &text);
        DDD_DeviceFontGetMetrics(rec);
        DDD_DeviceFontGetMetricsSize(rec);
        [[fallthrough]];
    case DDD_KIND_DEVICE_CONFIG:
        if (DDD_GetItemCount(rec, &w) == DDD_OK)
            for (WORD n = 0; n <= w + 1 && n < 64; ++n)
                DDD_GetItem(rec, n, &length, &type, &value);
        for (WORD n = 1; n < 4; ++n)
            DDD_DevCfgGetText(rec, n, &text);
        break;
    case DDD_KIND_JOB_LINE: {
        auto *j = reinterpret_cast<DddJobLineRecord *>(rec);
        DDD_JobLineGetCommand(rec);
        DDD_JobLineGetFixedValue(rec);
        resolve_conditions(rec->reader, j->conditions.items, j->conditions.count);
        break;
    }
    case DDD_KIND_DATA_BLOCK: {
        auto *d = reinterpret_cast<DddDataBlockRecord *>(rec);
        resolve_conditions(rec->reader, d->conditions.items, d->conditions.count);
        break;
    }
    case DDD_KIND_FLAG_RECORD:
        DDD_GetKind19Flag(rec, &b);
        break;
    case DDD_KIND_PRESET:
        if (DDD_PresetCount(rec, &w) == DDD_OK)
            for (WORD n = 1; n <= w + 1 && n < 64; ++n)
                DDD_PresetGetSetting(rec, n, &type, &type, &length, &value);
        break;
    case DDD_KIND_TRIPLE_TABLE: {
        auto *t = reinterpret_cast<DddTripleTableRecord *>(rec);
        resolve_conditions(rec->reader, t->conditions.items, t->conditions.count);
        break;
    }
    default:
        break;
    }
}

/* Walks every record of every kind in one parse mode; at most `limit` records per kind and `optionLimit` options. */
inline WalkCount walk_records(int mode, ModelFileReader *main, ModelFileReader *companion, WORD limit = 0xFFFF,
                              WORD optionLimit = 62)
{
    WalkCount count;
    for (WORD kind : kDddDirectoryKinds) {
        WORD n = DDD_CountRecords(main, kind);
        if (n > limit)
            n = limit;
        for (WORD i = 1; i <= n; ++i) {
            ModelRecord *rec = nullptr;
            if (DDD_GetRecordByIndex(mode, main, companion, kind, i, &rec) != DDD_OK) {
                ++count.failed;
                continue;
            }
            ++count.parsed;
            walk_record(mode, main, companion, rec, optionLimit);
            DDD_FreeRecord(&rec, -1);
        }
    }
    return count;
}

/* Walks the whole pair (header and records) in one parse mode; at most `limit` records per kind. */
inline WalkCount walk(int mode, ModelFileReader *main, ModelFileReader *companion, WORD limit = 0xFFFF)
{
    walk_header(main, companion);
    return walk_records(mode, main, companion, limit);
}

} // namespace model_walk

#endif /* TARVEL_TEST_MODEL_WALK_H */
