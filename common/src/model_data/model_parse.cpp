/*
 * Parsers of the model data file's record kinds 3-23, and the fetches that
 * position a reader at a record (by identifier, option number or record
 * number) and parse it.  Each parser reads the fields of its kind in file
 * order, gating fields on the format version of the file it reads, and
 * frees what it built when any read fails.
 */
#include "model_internal.h"

#define DDD_TRY(expr)                                                                                         \
    do {                                                                                                      \
        WORD try_r_ = (expr);                                                                                 \
        if (try_r_ != DDD_OK)                                                                                 \
            return try_r_;                                                                                    \
    } while (0)

namespace {

/* Allocates the record, reads its head (32-bit value, identifier) and runs `body`; frees on failure. */
template <typename Record, typename Body>
WORD parse_with(ModelFileReader *reader, WORD kind, ModelRecord **out, Body body)
{
    if (!out)
        return DDD_ERR_FAIL;
    *out = nullptr;
    if (!ddd_IsLoaded(reader))
        return DDD_ERR_FAIL;
    ModelRecord *rec = DDD_AllocRecord(reader, kind);
    if (!rec)
        return DDD_ERR_NO_MEMORY;
    WORD r = ddd_Skip(reader, 4);
    if (r == DDD_OK)
        r = ddd_ReadU16(reader, &rec->id);
    if (r == DDD_OK)
        r = body(reinterpret_cast<Record *>(rec));
    if (r != DDD_OK) {
        DDD_FreeRecord(&rec, -1);
        return r;
    }
    *out = rec;
    return DDD_OK;
}

WORD read_word_item(ModelFileReader *r, DddWordItem *item)
{
    item->head.kind = DDD_ITEM_WORD;
    item->head.reader = r;
    return ddd_ReadU16(r, &item->value);
}

WORD read_byte_as_word(ModelFileReader *r, WORD *v)
{
    BYTE b = 0;
    DDD_TRY(ddd_ReadU8(r, &b));
    *v = b;
    return DDD_OK;
}

template <typename List>
WORD read_list(WORD itemKind, ModelFileReader *r, List *list)
{
    void *items = nullptr;
    WORD res = DDD_ReadList(itemKind, r, &list->count, &items);
    list->items = static_cast<decltype(list->items)>(items);
    return res;
}

/* Skips a list by its byte length. */
WORD skip_list(ModelFileReader *r)
{
    DWORD length = 0;
    DDD_TRY(ddd_ReadU32(r, &length));
    return ddd_Skip(r, length);
}

/* Reads a 16-bit length and keeps a copy of that many bytes (none for 0). */
WORD read_block(ModelFileReader *r, WORD *length, BYTE **data)
{
    DDD_TRY(ddd_ReadU16(r, length));
    if (*length == 0)
        return DDD_OK;
    if (*length > ddd_Remaining(r))
        return DDD_ERR_FAIL;
    *data = static_cast<BYTE *>(mdl_Alloc(*length));
    if (!*data)
        return DDD_ERR_NO_MEMORY;
    return DDD_Read(r, *data, *length);
}

/* Skips a 16-bit length and its bytes. */
WORD skip_block(ModelFileReader *r)
{
    WORD n = 0;
    DDD_TRY(ddd_ReadU16(r, &n));
    return ddd_Skip(r, n);
}

/* Dimension record `id` into two pairs, keeping the reader's position. */
WORD load_dimensions(ModelFileReader *reader, ModelFileReader *main, ModelFileReader *companion, WORD id,
                     DddPair *first, DddPair *second)
{
    DWORD position = reader->position;
    WORD r = DDD_GetDimensionPairs(main, companion, id, first, second);
    reader->position = position;
    first->head.kind = second->head.kind = DDD_ITEM_PAIR;
    first->head.reader = second->head.reader = reader;
    return r;
}

/* Alias list of a device font: 16-bit count n, n 16-bit lengths, n text bodies. */
WORD read_alias_list(ModelFileReader *r, DddTextList *list)
{
    WORD n = 0;
    DDD_TRY(ddd_ReadU16(r, &n));
    if (n == 0)
        return DDD_OK;
    if (static_cast<DWORD>(n) * 2 > ddd_Remaining(r))
        return DDD_ERR_FAIL;
    auto *items = static_cast<DddTextItem *>(mdl_Alloc(sizeof(DddTextItem) * n));
    if (!items)
        return DDD_ERR_NO_MEMORY;
    list->items = items;
    list->count = n;
    WORD res = DDD_OK;
    for (WORD i = 0; i < n && res == DDD_OK; ++i) {
        items[i].head.kind = DDD_ITEM_TEXT;
        items[i].head.reader = r;
        WORD length = 0;
        res = ddd_ReadU16(r, &length);
        items[i].length = length; /* the stored length until the text is read */
    }
    for (WORD i = 0; i < n && res == DDD_OK; ++i) {
        DWORD length = items[i].length;
        items[i].length = 0;
        res = DDD_ReadText(r, &items[i].text, &length);
        if (items[i].text)
            items[i].length = length;
    }
    if (res != DDD_OK) {
        /* Texts not yet read still hold their stored lengths, not strings: clear them first. */
        for (WORD i = 0; i < n; ++i)
            if (!items[i].text)
                items[i].length = 0;
    }
    return res;
}

bool gate(const ModelFileReader *r, DWORD version)
{
    return r->formatVersion >= version;
}

} // namespace

WORD DDD_ParseFeature(int, ModelFileReader *r, ModelFileReader *, ModelFileReader *, WORD kind, ModelRecord **out)
{
    return parse_with<DddFeatureRecord>(r, kind, out, [&](DddFeatureRecord *f) -> WORD {
        DDD_TRY(ddd_ReadTextField(r, &f->name));
        DDD_TRY(read_byte_as_word(r, &f->uiKind));
        DDD_TRY(ddd_ReadU16(r, &f->defaultOption));
        DDD_TRY(read_word_item(r, &f->value));
        DDD_TRY(read_list(DDD_ITEM_WORD, r, &f->options));
        DDD_TRY(read_list(DDD_ITEM_WORD, r, &f->forwardRules));
        DDD_TRY(read_list(DDD_ITEM_WORD, r, &f->reverseRules));
        DDD_TRY(read_word_item(r, &f->optionImage));
        if (gate(r, DDD_GATE_1024))
            DDD_TRY(ddd_ReadTextField(r, &f->secondText));
        return DDD_OK;
    });
}

WORD DDD_ParseTray(int, ModelFileReader *r, ModelFileReader *main, ModelFileReader *companion, WORD kind,
                   ModelRecord **out)
{
    return parse_with<DddTrayRecord>(r, kind, out, [&](DddTrayRecord *t) -> WORD {
        DDD_TRY(ddd_ReadTextField(r, &t->name));
        DDD_TRY(ddd_ReadU16(r, &t->dimensionId));
        DDD_TRY(ddd_ReadU16(r, &t->mediaSource));
        DDD_TRY(read_list(DDD_ITEM_WORD, r, &t->paperCodes));
        DDD_TRY(read_list(DDD_ITEM_WORD, r, &t->paperCodeIds));
        if (gate(r, DDD_GATE_512))
            DDD_TRY(ddd_ReadU8(r, &t->extraByte));
        if (gate(r, DDD_GATE_1024))
            DDD_TRY(ddd_ReadTextField(r, &t->secondText));
        return load_dimensions(r, main, companion, t->dimensionId, &t->customMin, &t->customMax);
    });
}

WORD DDD_ParseRule(int, ModelFileReader *r, ModelFileReader *, ModelFileReader *, WORD kind, ModelRecord **out)
{
    return parse_with<DddRuleRecord>(r, kind, out, [&](DddRuleRecord *rule) -> WORD {
        DDD_TRY(DDD_ReadSettingItem(r, &rule->condition));
        DDD_TRY(ddd_ReadU16(r, &rule->flags));
        DDD_TRY(ddd_ReadTextField(r, &rule->text));
        DDD_TRY(read_list(DDD_ITEM_CONDITION, r, &rule->involved));
        return read_list(DDD_ITEM_SETTING, r, &rule->actions);
    });
}

WORD DDD_ParsePicture(int, ModelFileReader *r, ModelFileReader *, ModelFileReader *, WORD kind, ModelRecord **out)
{
    return parse_with<DddPictureRecord>(r, kind, out, [&](DddPictureRecord *p) -> WORD {
        DDD_TRY(read_list(DDD_ITEM_CONDITION, r, &p->conditions));
        p->placement.head.kind = DDD_ITEM_PLACEMENT;
        p->placement.head.reader = r;
        DDD_TRY(ddd_ReadU16(r, &p->placement.x));
        DDD_TRY(ddd_ReadU16(r, &p->placement.y));
        return read_word_item(r, &p->placement.imageId);
    });
}

WORD DDD_ParsePaper(int, ModelFileReader *r, ModelFileReader *main, ModelFileReader *companion, WORD kind,
                    ModelRecord **out)
{
    return parse_with<DddPaperRecord>(r, kind, out, [&](DddPaperRecord *p) -> WORD {
        DDD_TRY(ddd_ReadTextField(r, &p->name));
        DDD_TRY(read_byte_as_word(r, &p->value8));
        DDD_TRY(ddd_ReadU16(r, &p->sizeId));
        DDD_TRY(ddd_ReadU16(r, &p->extentsId));
        DDD_TRY(ddd_ReadU16(r, &p->marginsId));
        DDD_TRY(ddd_ReadU16(r, &p->mediaCode));
        DDD_TRY(ddd_ReadU16(r, &p->value2));
        if (gate(r, DDD_GATE_512)) {
            DDD_TRY(ddd_ReadU8(r, &p->extraByte));
            DDD_TRY(ddd_ReadU16(r, &p->fourthId));
        }
        if (gate(r, DDD_GATE_1280))
            DDD_TRY(ddd_ReadU16(r, &p->attribute));
        DDD_TRY(load_dimensions(r, main, companion, p->sizeId, &p->size, &p->sizeAlt));
        DDD_TRY(load_dimensions(r, main, companion, p->extentsId, &p->minExtent, &p->maxExtent));
        DDD_TRY(load_dimensions(r, main, companion, p->marginsId, &p->margins1, &p->margins2));
        if (p->fourthId != 0)
            DDD_TRY(load_dimensions(r, main, companion, p->fourthId, &p->fourth1, &p->fourth2));
        return DDD_OK;
    });
}

WORD DDD_ParseDeviceFont(int mode, ModelFileReader *r, ModelFileReader *, ModelFileReader *, WORD kind,
                         ModelRecord **out)
{
    return parse_with<DddDeviceFontRecord>(r, kind, out, [&](DddDeviceFontRecord *f) -> WORD {
        DDD_TRY(ddd_ReadTextField(r, &f->name));
        DDD_TRY(ddd_ReadTextField(r, &f->secondText));
        DDD_TRY(read_alias_list(r, &f->aliases));
        DDD_TRY(read_alias_list(r, &f->aliases2));
        DDD_TRY(skip_block(r));
        DWORD size = 0;
        DDD_TRY(ddd_ReadU32(r, &size));
        if (size > DDD_METRICS_MAX || size > ddd_Remaining(r))
            return DDD_ERR_FAIL;
        if (mode == DDD_PARSE_FULL && size > 0) {
            f->metrics = static_cast<BYTE *>(mdl_Alloc(size));
            if (!f->metrics)
                return DDD_ERR_NO_MEMORY;
            DDD_TRY(DDD_Read(r, f->metrics, size));
            f->metricsSize = size;
        } else {
            DDD_TRY(ddd_Skip(r, size));
        }
        DDD_TRY(ddd_ReadU16(r, &f->attribute));
        if (gate(r, DDD_GATE_1024)) {
            WORD n = 0;
            DDD_TRY(ddd_ReadU16(r, &n));
            if (n > 0) {
                if (n > ddd_Remaining(r))
                    return DDD_ERR_FAIL;
                f->items.items = static_cast<DddTypedItem *>(mdl_Alloc(sizeof(DddTypedItem) * n));
                if (!f->items.items)
                    return DDD_ERR_NO_MEMORY;
                f->items.count = n;
                for (WORD i = 0; i < n; ++i) {
                    f->items.items[i].head.kind = DDD_ITEM_TYPED;
                    f->items.items[i].head.reader = r;
                    DDD_TRY(DDD_ReadTypedValue(r, &f->items.items[i].value));
                }
            }
        }
        return DDD_OK;
    });
}

WORD DDD_ParseImage(int mode, ModelFileReader *r, ModelFileReader *, ModelFileReader *, WORD kind, ModelRecord **out)
{
    return parse_with<DddImageRecord>(r, kind, out, [&](DddImageRecord *img) -> WORD {
        DDD_TRY(ddd_ReadU8(r, &img->format));
        DDD_TRY(ddd_ReadU16(r, &img->value1));
        DDD_TRY(ddd_ReadU16(r, &img->value2));
        DDD_TRY(skip_block(r));
        if (mode != DDD_PARSE_FULL)
            return DDD_OK;
        if (img->format != 1 && img->format != 2)
            return DDD_ERR_FAIL;
        DWORD size = 0;
        DDD_TRY(ddd_ReadU32(r, &size));
        /* A 14-byte file header (skipped), then the picture data. */
        if (size < 14 || size > ddd_Remaining(r))
            return DDD_ERR_FAIL;
        DDD_TRY(ddd_Skip(r, 14));
        DWORD dataSize = size - 14;
        if (dataSize > 0) {
            img->data = static_cast<BYTE *>(mdl_Alloc(dataSize));
            if (!img->data)
                return DDD_ERR_NO_MEMORY;
            DDD_TRY(DDD_Read(r, img->data, dataSize));
        }
        img->dataSize = dataSize;
        return DDD_OK;
    });
}

WORD DDD_ParseOption(int mode, ModelFileReader *r, ModelFileReader *, ModelFileReader *, WORD kind, ModelRecord **out)
{
    return parse_with<DddOptionRecord>(r, kind, out, [&](DddOptionRecord *o) -> WORD {
        DDD_TRY(ddd_ReadTextField(r, &o->name));
        DDD_TRY(ddd_ReadU16(r, &o->targetKind));
        DDD_TRY(read_word_item(r, &o->target));
        if (mode == DDD_PARSE_FULL) {
            DDD_TRY(read_word_item(r, &o->value));
            DDD_TRY(read_list(DDD_ITEM_WORD, r, &o->forwardRules));
            DDD_TRY(read_list(DDD_ITEM_WORD, r, &o->reverseRules));
        } else {
            DDD_TRY(ddd_Skip(r, 2));
            DDD_TRY(skip_list(r));
            DDD_TRY(skip_list(r));
        }
        DDD_TRY(DDD_ReadTypedValue(r, &o->setting));
        return read_word_item(r, &o->optionImage);
    });
}

WORD DDD_ParseJobLine(int, ModelFileReader *r, ModelFileReader *, ModelFileReader *, WORD kind, ModelRecord **out)
{
    return parse_with<DddJobLineRecord>(r, kind, out, [&](DddJobLineRecord *j) -> WORD {
        DDD_TRY(ddd_ReadU16(r, &j->settingId));
        DDD_TRY(read_list(DDD_ITEM_CONDITION, r, &j->conditions));
        DDD_TRY(ddd_ReadTextField(r, &j->command));
        DDD_TRY(ddd_ReadTextField(r, &j->fixedValue));
        if (gate(r, DDD_GATE_1280))
            DDD_TRY(ddd_ReadU16(r, &j->attribute));
        return DDD_OK;
    });
}

WORD DDD_ParseDataBlock(int, ModelFileReader *r, ModelFileReader *, ModelFileReader *, WORD kind, ModelRecord **out)
{
    return parse_with<DddDataBlockRecord>(r, kind, out, [&](DddDataBlockRecord *d) -> WORD {
        DDD_TRY(read_list(DDD_ITEM_CONDITION, r, &d->conditions));
        DDD_TRY(ddd_ReadU8(r, &d->value1));
        DDD_TRY(ddd_ReadU8(r, &d->value2));
        return read_block(r, &d->length, &d->data);
    });
}

WORD DDD_ParseDimensions(int, ModelFileReader *r, ModelFileReader *, ModelFileReader *, WORD kind, ModelRecord **out)
{
    return parse_with<DddDimensionRecord>(r, kind, out, [&](DddDimensionRecord *d) -> WORD {
        d->first.head.kind = d->second.head.kind = DDD_ITEM_PAIR;
        d->first.head.reader = d->second.head.reader = r;
        DDD_TRY(ddd_ReadU16(r, &d->first.first));
        DDD_TRY(ddd_ReadU16(r, &d->first.second));
        DDD_TRY(ddd_ReadU16(r, &d->second.first));
        return ddd_ReadU16(r, &d->second.second);
    });
}

WORD DDD_ParseOptionImage(int, ModelFileReader *r, ModelFileReader *, ModelFileReader *, WORD kind, ModelRecord **out)
{
    return parse_with<DddOptionImageRecord>(r, kind, out, [&](DddOptionImageRecord *o) -> WORD {
        o->blob.head.kind = DDD_ITEM_IMAGE_BLOB;
        o->blob.head.reader = r;
        return read_block(r, &o->blob.length, &o->blob.data);
    });
}

WORD DDD_ParseFlagRecord(int, ModelFileReader *r, ModelFileReader *, ModelFileReader *, WORD kind, ModelRecord **out)
{
    if (!ddd_IsLoaded(r) || !gate(r, DDD_GATE_512)) {
        if (out)
            *out = nullptr;
        return DDD_ERR_FAIL;
    }
    return parse_with<DddFlagRecord>(r, kind, out, [&](DddFlagRecord *f) -> WORD {
        DDD_TRY(ddd_ReadTextField(r, &f->text));
        DDD_TRY(ddd_ReadU8(r, &f->flag));
        if (gate(r, DDD_GATE_1024))
            DDD_TRY(ddd_ReadTextField(r, &f->secondText));
        return DDD_OK;
    });
}

WORD DDD_ParseValueArray(int, ModelFileReader *r, ModelFileReader *, ModelFileReader *, WORD kind, ModelRecord **out)
{
    return parse_with<DddValueArrayRecord>(r, kind, out, [&](DddValueArrayRecord *a) -> WORD {
        DDD_TRY(ddd_ReadU16(r, &a->value));
        DDD_TRY(ddd_ReadU8(r, &a->elementType));
        DDD_TRY(ddd_ReadU16(r, &a->elementSize));
        DDD_TRY(ddd_Skip(r, 4));
        DDD_TRY(ddd_ReadU16(r, &a->count));
        DWORD bytes = static_cast<DWORD>(a->count) * a->elementSize;
        if (bytes > ddd_Remaining(r))
            return DDD_ERR_FAIL;
        a->elements = r->data + r->position;
        return ddd_Skip(r, bytes);
    });
}

WORD DDD_ParsePreset(int, ModelFileReader *r, ModelFileReader *, ModelFileReader *, WORD kind, ModelRecord **out)
{
    return parse_with<DddPresetRecord>(r, kind, out, [&](DddPresetRecord *p) -> WORD {
        DDD_TRY(ddd_ReadTextField(r, &p->name));
        DDD_TRY(ddd_Skip(r, 4));
        WORD n = 0;
        DDD_TRY(ddd_ReadU16(r, &n));
        if (n == 0)
            return DDD_OK;
        if (n > ddd_Remaining(r))
            return DDD_ERR_FAIL;
        p->settings = static_cast<DddPresetSetting *>(mdl_Alloc(sizeof(DddPresetSetting) * n));
        if (!p->settings)
            return DDD_ERR_NO_MEMORY;
        p->count = n;
        for (WORD i = 0; i < n; ++i) {
            DDD_TRY(ddd_ReadU16(r, &p->settings[i].settingId));
            DDD_TRY(DDD_ReadTypedValue(r, &p->settings[i].value));
        }
        return DDD_OK;
    });
}

WORD DDD_ParseDeviceConfig(int, ModelFileReader *r, ModelFileReader *, ModelFileReader *, WORD kind,
                           ModelRecord **out)
{
    return parse_with<DddDeviceConfigRecord>(r, kind, out, [&](DddDeviceConfigRecord *d) -> WORD {
        DDD_TRY(ddd_ReadU16(r, &d->group));
        DDD_TRY(ddd_ReadU16(r, &d->settingId));
        DDD_TRY(ddd_ReadU8(r, &d->valueType));
        DDD_TRY(ddd_ReadU16(r, &d->valueSize));
        if (d->valueType == DDD_VT_FLAG)
            d->valueSize = 4;
        DDD_TRY(ddd_ReadU8(r, &d->sourceKind));
        DDD_TRY(ddd_ReadU16(r, &d->attribute));
        DDD_TRY(ddd_ReadU16(r, &d->elementIndex));
        DDD_TRY(read_list(DDD_ITEM_TEXT, r, &d->texts));
        return read_list(DDD_ITEM_TYPED, r, &d->items);
    });
}

WORD DDD_ParseTripleTable(int, ModelFileReader *r, ModelFileReader *, ModelFileReader *, WORD kind,
                          ModelRecord **out)
{
    return parse_with<DddTripleTableRecord>(r, kind, out, [&](DddTripleTableRecord *t) -> WORD {
        DDD_TRY(read_list(DDD_ITEM_CONDITION, r, &t->conditions));
        return read_list(DDD_ITEM_TRIPLE, r, &t->triples);
    });
}

namespace {

struct KindParser {
    WORD kind;
    DddParser parse;
};

constexpr KindParser kParsers[] = {
    {DDD_KIND_DEVICE_FEATURE, DDD_ParseFeature},   {DDD_KIND_DOCUMENT_FEATURE, DDD_ParseFeature},
    {DDD_KIND_TRAY, DDD_ParseTray},                {DDD_KIND_TRAY2, DDD_ParseTray},
    {DDD_KIND_RULE, DDD_ParseRule},                {DDD_KIND_REVERSE_RULE, DDD_ParseRule},
    {DDD_KIND_PICTURE, DDD_ParsePicture},          {DDD_KIND_PAPER, DDD_ParsePaper},
    {DDD_KIND_DEVICE_FONT, DDD_ParseDeviceFont},   {DDD_KIND_IMAGE, DDD_ParseImage},
    {DDD_KIND_DEVICE_OPTION, DDD_ParseOption},     {DDD_KIND_DOCUMENT_OPTION, DDD_ParseOption},
    {DDD_KIND_JOB_LINE, DDD_ParseJobLine},         {DDD_KIND_DATA_BLOCK, DDD_ParseDataBlock},
    {DDD_KIND_DIMENSIONS, DDD_ParseDimensions},    {DDD_KIND_OPTION_IMAGE, DDD_ParseOptionImage},
    {DDD_KIND_FLAG_RECORD, DDD_ParseFlagRecord},   {DDD_KIND_VALUE_ARRAY, DDD_ParseValueArray},
    {DDD_KIND_PRESET, DDD_ParsePreset},            {DDD_KIND_DEVICE_CONFIG, DDD_ParseDeviceConfig},
    {DDD_KIND_TRIPLE_TABLE, DDD_ParseTripleTable},
};

} // namespace

WORD DDD_ParseRecord(int mode, ModelFileReader *reader, ModelFileReader *main, ModelFileReader *companion,
                     WORD kind, ModelRecord **out)
{
    if (!out)
        return DDD_ERR_FAIL;
    *out = nullptr;
    for (const KindParser &p : kParsers)
        if (p.kind == kind)
            return p.parse(mode, reader, main, companion, kind, out);
    return DDD_ERR_FAIL;
}

WORD DDD_FetchRecord(int mode, ModelFileReader *main, ModelFileReader *companion, WORD kind, WORD id,
                     WORD optionNumber, ModelRecord **out)
{
    if (!out)
        return DDD_ERR_FAIL;
    *out = nullptr;
    WORD selector = 0;
    DDD_TRY(DDD_SeekRecordOrOption(main, companion, DDD_SEL_MAIN, kind, id, optionNumber, &selector));
    WORD parseKind = kind;
    if (optionNumber > 0)
        parseKind = kind == DDD_KIND_DEVICE_FEATURE ? DDD_KIND_DEVICE_OPTION : DDD_KIND_DOCUMENT_OPTION;
    ModelFileReader *reader = ddd_ReaderForSelector(main, companion, selector);
    DDD_TRY(DDD_ParseRecord(mode, reader, main, companion, parseKind, out));
    (*out)->fileSelector = selector;
    return DDD_OK;
}

WORD DDD_GetRecordById(int mode, ModelFileReader *main, ModelFileReader *companion, WORD kind, WORD id,
                       WORD optionNumber, ModelRecord **out)
{
    return DDD_FetchRecord(mode, main, companion, kind, id, optionNumber, out);
}

WORD DDD_GetRecordByIndex(int mode, ModelFileReader *main, ModelFileReader *companion, WORD kind, WORD n,
                          ModelRecord **out)
{
    if (!out)
        return DDD_ERR_FAIL;
    *out = nullptr;
    if (n == 0)
        return DDD_ERR_FAIL;
    WORD selector = 0;
    DDD_TRY(DDD_SeekRecord(1, main, companion, DDD_SEL_MAIN, kind, n, &selector));
    ModelFileReader *reader = ddd_ReaderForSelector(main, companion, selector);
    DDD_TRY(DDD_ParseRecord(mode, reader, main, companion, kind, out));
    (*out)->fileSelector = selector;
    return DDD_OK;
}

WORD DDD_GetDimensionPairs(ModelFileReader *main, ModelFileReader *companion, WORD id, DddPair *first,
                           DddPair *second)
{
    if (!first || !second)
        return DDD_ERR_FAIL;
    ModelRecord *rec = nullptr;
    DDD_TRY(DDD_FetchRecord(DDD_PARSE_FULL, main, companion, DDD_KIND_DIMENSIONS, id, 0, &rec));
    auto *d = reinterpret_cast<DddDimensionRecord *>(rec);
    *first = d->first;
    *second = d->second;
    DDD_FreeRecord(&rec, DDD_KIND_DIMENSIONS);
    return DDD_OK;
}
