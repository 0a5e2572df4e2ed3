/*
 * Model records in memory: allocation by kind, the item records of lists
 * (words, setting items, placements, pairs, texts, conditions, triples,
 * typed items), list reading, and freeing every record and item by kind.
 */
#include "model_internal.h"

namespace {

struct KindSize {
    WORD kind;
    size_t size;
};

/* Block size of every kind that can be allocated. */
constexpr KindSize kKindSizes[] = {
    {DDD_KIND_HEADER, sizeof(DddHeaderInfo)},
    {DDD_KIND_DEVICE_FEATURE, sizeof(DddFeatureRecord)},
    {DDD_KIND_DOCUMENT_FEATURE, sizeof(DddFeatureRecord)},
    {DDD_KIND_TRAY, sizeof(DddTrayRecord)},
    {DDD_KIND_TRAY2, sizeof(DddTrayRecord)},
    {DDD_KIND_RULE, sizeof(DddRuleRecord)},
    {DDD_KIND_REVERSE_RULE, sizeof(DddRuleRecord)},
    {DDD_KIND_PICTURE, sizeof(DddPictureRecord)},
    {DDD_KIND_PAPER, sizeof(DddPaperRecord)},
    {DDD_KIND_DEVICE_FONT, sizeof(DddDeviceFontRecord)},
    {DDD_KIND_IMAGE, sizeof(DddImageRecord)},
    {DDD_KIND_DEVICE_OPTION, sizeof(DddOptionRecord)},
    {DDD_KIND_DOCUMENT_OPTION, sizeof(DddOptionRecord)},
    {DDD_KIND_JOB_LINE, sizeof(DddJobLineRecord)},
    {DDD_KIND_DATA_BLOCK, sizeof(DddDataBlockRecord)},
    {DDD_KIND_DIMENSIONS, sizeof(DddDimensionRecord)},
    {DDD_KIND_OPTION_IMAGE, sizeof(DddOptionImageRecord)},
    {DDD_KIND_FLAG_RECORD, sizeof(DddFlagRecord)},
    {DDD_KIND_VALUE_ARRAY, sizeof(DddValueArrayRecord)},
    {DDD_KIND_PRESET, sizeof(DddPresetRecord)},
    {DDD_KIND_DEVICE_CONFIG, sizeof(DddDeviceConfigRecord)},
    {DDD_KIND_TRIPLE_TABLE, sizeof(DddTripleTableRecord)},
    {DDD_ITEM_WORD, sizeof(DddWordItem)},
    {DDD_ITEM_SETTING, sizeof(DddSettingItem)},
    {DDD_ITEM_PLACEMENT, sizeof(DddPlacementItem)},
    {DDD_ITEM_PAIR, sizeof(DddPair)},
    {DDD_ITEM_TEXT, sizeof(DddTextItem)},
    {DDD_ITEM_CONDITION, sizeof(DddConditionItem)},
    {DDD_ITEM_IMAGE_BLOB, sizeof(DddImageBlob)},
    {DDD_ITEM_OPTION_DETAILS, sizeof(DddOptionDetails)},
    {DDD_ITEM_TRIPLE, sizeof(DddTripleItem)},
    {DDD_ITEM_TYPED, sizeof(DddTypedItem)},
};

size_t kind_size(WORD kind)
{
    for (const KindSize &k : kKindSizes)
        if (k.kind == kind)
            return k.size;
    return 0;
}

/*
 * The fewest bytes an item of a list kind takes in the file: a count whose
 * items could not all fit in what is left is refused before allocating.
 */
DWORD min_item_bytes(WORD kind)
{
    switch (kind) {
    case DDD_ITEM_WORD:
    case DDD_ITEM_TEXT:
        return 2; /* the word; the text's length */
    case DDD_ITEM_PAIR:
        return 4;
    case DDD_ITEM_PLACEMENT:
    case DDD_ITEM_TRIPLE:
        return 6;
    case DDD_ITEM_TYPED:
        return 3; /* type and length */
    case DDD_ITEM_SETTING:
        return 8; /* number, operator, setting, then a typed value */
    case DDD_ITEM_CONDITION:
        return 9; /* a setting item and its connector */
    default:
        return 1;
    }
}

/* True for the item kinds of a fixed size, whose size min_item_bytes gives exactly. */
bool is_fixed_item_kind(WORD kind)
{
    return kind == DDD_ITEM_WORD || kind == DDD_ITEM_PAIR || kind == DDD_ITEM_PLACEMENT || kind == DDD_ITEM_TRIPLE;
}

WORD u16_at(const BYTE *p) { return static_cast<WORD>(p[0] | (p[1] << 8)); }

/* Decodes one fixed-size item from its bytes into `item` (zeroed, head set), as read_item would read it. */
void decode_fixed_item(WORD kind, ModelFileReader *r, const BYTE *p, void *item)
{
    switch (kind) {
    case DDD_ITEM_WORD:
        static_cast<DddWordItem *>(item)->value = u16_at(p);
        break;
    case DDD_ITEM_PAIR: {
        auto *pair = static_cast<DddPair *>(item);
        pair->first = u16_at(p);
        pair->second = u16_at(p + 2);
        break;
    }
    case DDD_ITEM_PLACEMENT: {
        auto *placement = static_cast<DddPlacementItem *>(item);
        placement->imageId.head.kind = DDD_ITEM_WORD;
        placement->imageId.head.reader = r;
        placement->x = u16_at(p);
        placement->y = u16_at(p + 2);
        placement->imageId.value = u16_at(p + 4);
        break;
    }
    case DDD_ITEM_TRIPLE: {
        auto *triple = static_cast<DddTripleItem *>(item);
        triple->first = u16_at(p);
        triple->second = u16_at(p + 2);
        triple->third = u16_at(p + 4);
        break;
    }
    default:
        break;
    }
}

/* The item kinds that lists hold. */
bool is_list_item_kind(WORD kind)
{
    switch (kind) {
    case DDD_ITEM_WORD:
    case DDD_ITEM_SETTING:
    case DDD_ITEM_PLACEMENT:
    case DDD_ITEM_PAIR:
    case DDD_ITEM_TEXT:
    case DDD_ITEM_CONDITION:
    case DDD_ITEM_TRIPLE:
    case DDD_ITEM_TYPED:
        return true;
    default:
        return false;
    }
}

void set_head(ModelRecord *head, WORD kind, ModelFileReader *reader)
{
    head->kind = kind;
    head->reader = reader;
}

/* Reads one item of a list at the position into `item` (zeroed, head set). */
WORD read_item(WORD kind, ModelFileReader *r, void *item)
{
    switch (kind) {
    case DDD_ITEM_WORD:
        return ddd_ReadU16(r, &static_cast<DddWordItem *>(item)->value);
    case DDD_ITEM_SETTING:
        return DDD_ReadSettingItem(r, static_cast<DddSettingItem *>(item));
    case DDD_ITEM_PLACEMENT: {
        auto *p = static_cast<DddPlacementItem *>(item);
        set_head(&p->imageId.head, DDD_ITEM_WORD, r);
        if (ddd_ReadU16(r, &p->x) != DDD_OK || ddd_ReadU16(r, &p->y) != DDD_OK ||
            ddd_ReadU16(r, &p->imageId.value) != DDD_OK)
            return DDD_ERR_FAIL;
        return DDD_OK;
    }
    case DDD_ITEM_PAIR: {
        auto *p = static_cast<DddPair *>(item);
        if (ddd_ReadU16(r, &p->first) != DDD_OK || ddd_ReadU16(r, &p->second) != DDD_OK)
            return DDD_ERR_FAIL;
        return DDD_OK;
    }
    case DDD_ITEM_TEXT: {
        auto *t = static_cast<DddTextItem *>(item);
        DddText text{};
        WORD res = ddd_ReadTextField(r, &text);
        t->text = text.text;
        t->length = text.length;
        return res;
    }
    case DDD_ITEM_CONDITION: {
        auto *c = static_cast<DddConditionItem *>(item);
        WORD res = DDD_ReadSettingItem(r, &c->setting);
        c->setting.head.kind = DDD_ITEM_CONDITION;
        if (res != DDD_OK)
            return res;
        return ddd_ReadU8(r, &c->connector);
    }
    case DDD_ITEM_TRIPLE: {
        auto *t = static_cast<DddTripleItem *>(item);
        if (ddd_ReadU16(r, &t->first) != DDD_OK || ddd_ReadU16(r, &t->second) != DDD_OK ||
            ddd_ReadU16(r, &t->third) != DDD_OK)
            return DDD_ERR_FAIL;
        return DDD_OK;
    }
    case DDD_ITEM_TYPED:
        return DDD_ReadTypedValue(r, &static_cast<DddTypedItem *>(item)->value);
    default:
        return DDD_ERR_FAIL;
    }
}

/* Frees what a record of `kind` owns (not the block). */
void free_contents(WORD kind, void *record)
{
    switch (kind) {
    case DDD_KIND_HEADER: {
        auto *h = static_cast<DddHeaderInfo *>(record);
        mdl_Free(h->title);
        mdl_Free(h->modelName);
        mdl_Free(h->companionName);
        break;
    }
    case DDD_KIND_DEVICE_FEATURE:
    case DDD_KIND_DOCUMENT_FEATURE: {
        auto *f = static_cast<DddFeatureRecord *>(record);
        ddd_FreeText(&f->name);
        ddd_FreeItems(DDD_ITEM_WORD, f->options.count, f->options.items);
        ddd_FreeItems(DDD_ITEM_WORD, f->forwardRules.count, f->forwardRules.items);
        ddd_FreeItems(DDD_ITEM_WORD, f->reverseRules.count, f->reverseRules.items);
        ddd_FreeText(&f->secondText);
        break;
    }
    case DDD_KIND_TRAY:
    case DDD_KIND_TRAY2: {
        auto *t = static_cast<DddTrayRecord *>(record);
        ddd_FreeText(&t->name);
        ddd_FreeItems(DDD_ITEM_WORD, t->paperCodes.count, t->paperCodes.items);
        ddd_FreeItems(DDD_ITEM_WORD, t->paperCodeIds.count, t->paperCodeIds.items);
        ddd_FreeText(&t->secondText);
        break;
    }
    case DDD_KIND_RULE:
    case DDD_KIND_REVERSE_RULE: {
        auto *r = static_cast<DddRuleRecord *>(record);
        ddd_FreeItemContents(DDD_ITEM_SETTING, &r->condition);
        ddd_FreeText(&r->text);
        ddd_FreeItems(DDD_ITEM_CONDITION, r->involved.count, r->involved.items);
        ddd_FreeItems(DDD_ITEM_SETTING, r->actions.count, r->actions.items);
        break;
    }
    case DDD_KIND_PICTURE: {
        auto *p = static_cast<DddPictureRecord *>(record);
        ddd_FreeItems(DDD_ITEM_CONDITION, p->conditions.count, p->conditions.items);
        break;
    }
    case DDD_KIND_PAPER:
        ddd_FreeText(&static_cast<DddPaperRecord *>(record)->name);
        break;
    case DDD_KIND_DEVICE_FONT: {
        auto *f = static_cast<DddDeviceFontRecord *>(record);
        ddd_FreeText(&f->name);
        ddd_FreeText(&f->secondText);
        ddd_FreeItems(DDD_ITEM_TEXT, f->aliases.count, f->aliases.items);
        ddd_FreeItems(DDD_ITEM_TEXT, f->aliases2.count, f->aliases2.items);
        mdl_Free(f->metrics);
        ddd_FreeItems(DDD_ITEM_TYPED, f->items.count, f->items.items);
        break;
    }
    case DDD_KIND_IMAGE:
        mdl_Free(static_cast<DddImageRecord *>(record)->data);
        break;
    case DDD_KIND_DEVICE_OPTION:
    case DDD_KIND_DOCUMENT_OPTION: {
        auto *o = static_cast<DddOptionRecord *>(record);
        ddd_FreeText(&o->name);
        ddd_FreeItems(DDD_ITEM_WORD, o->forwardRules.count, o->forwardRules.items);
        ddd_FreeItems(DDD_ITEM_WORD, o->reverseRules.count, o->reverseRules.items);
        ddd_FreeValue(&o->setting);
        break;
    }
    case DDD_KIND_JOB_LINE: {
        auto *j = static_cast<DddJobLineRecord *>(record);
        ddd_FreeItems(DDD_ITEM_CONDITION, j->conditions.count, j->conditions.items);
        ddd_FreeText(&j->command);
        ddd_FreeText(&j->fixedValue);
        break;
    }
    case DDD_KIND_DATA_BLOCK: {
        auto *d = static_cast<DddDataBlockRecord *>(record);
        ddd_FreeItems(DDD_ITEM_CONDITION, d->conditions.count, d->conditions.items);
        mdl_Free(d->data);
        break;
    }
    case DDD_KIND_OPTION_IMAGE:
        mdl_Free(static_cast<DddOptionImageRecord *>(record)->blob.data);
        break;
    case DDD_KIND_FLAG_RECORD: {
        auto *f = static_cast<DddFlagRecord *>(record);
        ddd_FreeText(&f->text);
        ddd_FreeText(&f->secondText);
        break;
    }
    case DDD_KIND_PRESET: {
        auto *p = static_cast<DddPresetRecord *>(record);
        ddd_FreeText(&p->name);
        if (p->settings)
            for (WORD i = 0; i < p->count; ++i)
                ddd_FreeValue(&p->settings[i].value);
        mdl_Free(p->settings);
        break;
    }
    case DDD_KIND_DEVICE_CONFIG: {
        auto *d = static_cast<DddDeviceConfigRecord *>(record);
        ddd_FreeItems(DDD_ITEM_TEXT, d->texts.count, d->texts.items);
        ddd_FreeItems(DDD_ITEM_TYPED, d->items.count, d->items.items);
        break;
    }
    case DDD_KIND_TRIPLE_TABLE: {
        auto *t = static_cast<DddTripleTableRecord *>(record);
        ddd_FreeItems(DDD_ITEM_CONDITION, t->conditions.count, t->conditions.items);
        ddd_FreeItems(DDD_ITEM_TRIPLE, t->triples.count, t->triples.items);
        break;
    }
    case DDD_ITEM_IMAGE_BLOB:
        mdl_Free(static_cast<DddImageBlob *>(record)->data);
        break;
    case DDD_ITEM_OPTION_DETAILS: {
        auto *d = static_cast<DddOptionDetails *>(record);
        mdl_Free(d->name);
        mdl_Free(d->value);
        if (d->image) {
            mdl_Free(d->image->data);
            mdl_Free(d->image);
        }
        break;
    }
    default:
        ddd_FreeItemContents(kind, record);
        break;
    }
}

} // namespace

void ddd_FreeItemContents(WORD itemKind, void *item)
{
    switch (itemKind) {
    case DDD_ITEM_SETTING:
        ddd_FreeValue(&static_cast<DddSettingItem *>(item)->value);
        break;
    case DDD_ITEM_CONDITION:
        ddd_FreeValue(&static_cast<DddConditionItem *>(item)->setting.value);
        break;
    case DDD_ITEM_TEXT: {
        auto *t = static_cast<DddTextItem *>(item);
        mdl_Free(t->text);
        t->text = nullptr;
        t->length = 0;
        break;
    }
    case DDD_ITEM_TYPED:
        ddd_FreeValue(&static_cast<DddTypedItem *>(item)->value);
        break;
    default:
        break; /* words, placements, pairs and triples own nothing */
    }
}

void ddd_FreeItems(WORD itemKind, WORD count, void *items)
{
    if (!items)
        return;
    size_t size = kind_size(itemKind);
    for (WORD i = 0; i < count; ++i)
        ddd_FreeItemContents(itemKind, static_cast<BYTE *>(items) + size * i);
    mdl_Free(items);
}

ModelRecord *DDD_AllocRecord(ModelFileReader *reader, WORD kind)
{
    size_t size = kind_size(kind);
    if (size == 0)
        return nullptr;
    auto *rec = static_cast<ModelRecord *>(mdl_Alloc(size));
    if (!rec)
        return nullptr;
    set_head(rec, kind, reader);
    return rec;
}

WORD DDD_ReadSettingItem(ModelFileReader *reader, DddSettingItem *item)
{
    if (!reader || !item)
        return DDD_ERR_FAIL;
    set_head(&item->head, DDD_ITEM_SETTING, reader);
    if (ddd_ReadU16(reader, &item->number) != DDD_OK || ddd_ReadU8(reader, &item->op) != DDD_OK ||
        ddd_ReadU16(reader, &item->settingId) != DDD_OK)
        return DDD_ERR_FAIL;
    return DDD_ReadTypedValue(reader, &item->value);
}

WORD DDD_ReadList(WORD itemKind, ModelFileReader *reader, WORD *count, void **items)
{
    if (!reader || !count || !items || !is_list_item_kind(itemKind))
        return DDD_ERR_FAIL;
    *count = 0;
    *items = nullptr;
    WORD n = 0;
    if (ddd_Skip(reader, 4) != DDD_OK || ddd_ReadU16(reader, &n) != DDD_OK)
        return DDD_ERR_FAIL;
    if (n == 0)
        return DDD_OK;
    /* A count whose items cannot fit in the rest of the file is refused before allocating. */
    if (static_cast<ULONGLONG>(n) * min_item_bytes(itemKind) > ddd_Remaining(reader))
        return DDD_ERR_FAIL;
    size_t size = kind_size(itemKind);
    auto *block = static_cast<BYTE *>(mdl_Alloc(size * n));
    if (!block)
        return DDD_ERR_NO_MEMORY;
    if (is_fixed_item_kind(itemKind)) {
        /* All the items lie inside the file (checked above): decoded in place, one pass. */
        const DWORD bytes = min_item_bytes(itemKind);
        const BYTE *p = reader->data + reader->position;
        for (WORD i = 0; i < n; ++i, p += bytes) {
            void *item = block + size * i;
            set_head(static_cast<ModelRecord *>(item), itemKind, reader);
            decode_fixed_item(itemKind, reader, p, item);
        }
        reader->position += static_cast<DWORD>(n) * bytes;
        *count = n;
        *items = block;
        return DDD_OK;
    }
    for (WORD i = 0; i < n; ++i) {
        void *item = block + size * i;
        set_head(static_cast<ModelRecord *>(item), itemKind, reader);
        WORD r = read_item(itemKind, reader, item);
        if (r != DDD_OK) {
            ddd_FreeItems(itemKind, static_cast<WORD>(i + 1), block);
            return r;
        }
    }
    *count = n;
    *items = block;
    return DDD_OK;
}

WORD DDD_FreeRecord(void **record, int kind)
{
    if (!record || !*record)
        return DDD_ERR_FAIL;
    void *p = *record;
    *record = nullptr;
    if (kind == 0) {
        mdl_Free(p);
        return DDD_OK;
    }
    auto *head = static_cast<ModelRecord *>(p);
    if (kind != -1 && head->kind != kind)
        return DDD_ERR_FAIL;
    free_contents(head->kind, p);
    mdl_Free(p);
    return DDD_OK;
}
