/*
 * Accessors of parsed model records: names, feature options and their
 * targets and images, attributes behind the format-version gates (checked
 * against the process-wide version of the last main file opened), tray and
 * paper pairs, device-font aliases and metrics, typed items, presets,
 * value-array resolution and the device-option mask of header entry 12.
 */
#include "model_internal.h"

#include <cstring>

namespace {

bool is_kind(const ModelRecord *r, WORD a, WORD b = 0)
{
    return r && (r->kind == a || (b != 0 && r->kind == b));
}

bool accessor_gate(DWORD version)
{
    return DDD_GetLastFormatVersion() >= version;
}

template <typename T>
const T *as(const ModelRecord *r)
{
    return reinterpret_cast<const T *>(r);
}

/* Takes the picture data out of an image record and frees the shell. */
BYTE *take_image_data(ModelRecord *rec, DWORD *size)
{
    auto *img = reinterpret_cast<DddImageRecord *>(rec);
    BYTE *data = img->data;
    if (size)
        *size = img->dataSize;
    img->data = nullptr;
    DDD_FreeRecord(&rec, DDD_KIND_IMAGE);
    return data;
}

} // namespace

LPCWSTR DDD_GetRecordName(const ModelRecord *record)
{
    if (!record)
        return nullptr;
    switch (record->kind) {
    case DDD_KIND_DEVICE_FEATURE:
    case DDD_KIND_DOCUMENT_FEATURE:
        return as<DddFeatureRecord>(record)->name.text;
    case DDD_KIND_TRAY:
    case DDD_KIND_TRAY2:
        return as<DddTrayRecord>(record)->name.text;
    case DDD_KIND_PAPER:
        return as<DddPaperRecord>(record)->name.text;
    case DDD_KIND_DEVICE_FONT:
        return as<DddDeviceFontRecord>(record)->name.text;
    case DDD_KIND_DEVICE_OPTION:
    case DDD_KIND_DOCUMENT_OPTION:
        return as<DddOptionRecord>(record)->name.text;
    default:
        return nullptr;
    }
}

WORD DDD_GetRecordOrOptionName(ModelFileReader *main, ModelFileReader *companion, WORD kind, WORD id, WORD n,
                               LPWSTR *out)
{
    if (!out)
        return DDD_ERR_FAIL;
    *out = nullptr;
    switch (kind) {
    case DDD_KIND_DEVICE_FEATURE:
    case DDD_KIND_DOCUMENT_FEATURE:
        break;
    case DDD_KIND_TRAY:
    case DDD_KIND_TRAY2:
    case DDD_KIND_PAPER:
    case DDD_KIND_DEVICE_FONT:
        if (n != 0)
            return DDD_ERR_FAIL;
        break;
    default:
        return DDD_ERR_FAIL;
    }
    WORD selector = 0;
    WORD r = DDD_SeekRecordOrOption(main, companion, DDD_SEL_MAIN, kind, id, n, &selector);
    if (r != DDD_OK)
        return r;
    /* The name is the first field of all these kinds. */
    ModelFileReader *reader = ddd_ReaderForSelector(main, companion, selector);
    DddText name{};
    if (ddd_Skip(reader, DDD_RECORD_HEAD_SIZE) != DDD_OK)
        return DDD_ERR_FAIL;
    r = ddd_ReadTextField(reader, &name);
    if (r != DDD_OK)
        return r;
    if (!name.text || !name.text[0]) {
        ddd_FreeText(&name);
        return DDD_ERR_NOT_FOUND;
    }
    *out = name.text;
    return DDD_OK;
}

WORD DDD_GetFeatureOption(int mode, BOOL takeDefault, ModelFileReader *main, ModelFileReader *companion,
                          const ModelRecord *feature, WORD n, WORD *kind, ModelRecord **out)
{
    if (!out || !kind)
        return DDD_ERR_FAIL;
    *out = nullptr;
    if (!is_kind(feature, DDD_KIND_DEVICE_FEATURE, DDD_KIND_DOCUMENT_FEATURE))
        return DDD_ERR_FAIL;
    const auto *f = as<DddFeatureRecord>(feature);
    if (takeDefault)
        n = f->defaultOption;
    else if (n == 0)
        return DDD_ERR_FAIL;
    if (n == 0 || n > f->options.count)
        return DDD_ERR_NOT_FOUND;
    WORD optionKind =
        feature->kind == DDD_KIND_DEVICE_FEATURE ? DDD_KIND_DEVICE_OPTION : DDD_KIND_DOCUMENT_OPTION;
    WORD dirSelector = feature->fileSelector == DDD_SEL_COMPANION ? DDD_SEL_COMPANION : DDD_SEL_MAIN;
    WORD selector = 0;
    WORD r = DDD_SeekRecord(0, main, companion, dirSelector, optionKind, f->options.items[n - 1].value, &selector);
    if (r != DDD_OK)
        return r;
    r = DDD_ParseRecord(mode, ddd_ReaderForSelector(main, companion, selector), main, companion, optionKind, out);
    if (r != DDD_OK)
        return r;
    (*out)->fileSelector = selector;
    *kind = optionKind;
    return DDD_OK;
}

WORD DDD_GetOptionTarget(int mode, ModelFileReader *main, ModelFileReader *companion, const ModelRecord *option,
                         WORD *kind, ModelRecord **out)
{
    if (!out || !kind)
        return DDD_ERR_FAIL;
    *out = nullptr;
    if (!is_kind(option, DDD_KIND_DEVICE_OPTION, DDD_KIND_DOCUMENT_OPTION))
        return DDD_ERR_FAIL;
    const auto *o = as<DddOptionRecord>(option);
    WORD r = DDD_FetchRecord(mode, main, companion, o->targetKind, o->target.value, 0, out);
    if (r == DDD_OK)
        *kind = o->targetKind;
    return r;
}

WORD DDD_GetOptionImage(ModelFileReader *main, ModelFileReader *companion, const ModelRecord *record,
                        DddImageBlob **out)
{
    if (!out)
        return DDD_ERR_FAIL;
    *out = nullptr;
    WORD imageId = 0;
    if (is_kind(record, DDD_KIND_DEVICE_FEATURE, DDD_KIND_DOCUMENT_FEATURE))
        imageId = as<DddFeatureRecord>(record)->optionImage.value;
    else if (is_kind(record, DDD_KIND_DEVICE_OPTION, DDD_KIND_DOCUMENT_OPTION))
        imageId = as<DddOptionRecord>(record)->optionImage.value;
    else
        return DDD_ERR_FAIL;
    if (imageId == 0)
        return DDD_ERR_NOT_FOUND;
    ModelRecord *rec = nullptr;
    WORD r = DDD_FetchRecord(DDD_PARSE_FULL, main, companion, DDD_KIND_OPTION_IMAGE, imageId, 0, &rec);
    if (r != DDD_OK)
        return r;
    auto *src = reinterpret_cast<DddOptionImageRecord *>(rec);
    auto *blob = reinterpret_cast<DddImageBlob *>(DDD_AllocRecord(record->reader, DDD_ITEM_IMAGE_BLOB));
    if (!blob) {
        DDD_FreeRecord(&rec, DDD_KIND_OPTION_IMAGE);
        return DDD_ERR_NO_MEMORY;
    }
    /* The blob takes the copied bytes over from the option-image record. */
    blob->length = src->blob.length;
    blob->data = src->blob.data;
    src->blob.data = nullptr;
    DDD_FreeRecord(&rec, DDD_KIND_OPTION_IMAGE);
    *out = blob;
    return DDD_OK;
}

WORD DDD_GetRecordAttribute(const ModelRecord *record, WORD *attribute)
{
    if (!record || !attribute)
        return DDD_ERR_FAIL;
    switch (record->kind) {
    case DDD_KIND_PAPER:
        if (!accessor_gate(DDD_GATE_1280))
            return DDD_ERR_FAIL;
        *attribute = as<DddPaperRecord>(record)->attribute;
        return DDD_OK;
    case DDD_KIND_JOB_LINE:
        if (!accessor_gate(DDD_GATE_1280))
            return DDD_ERR_FAIL;
        *attribute = as<DddJobLineRecord>(record)->attribute;
        return DDD_OK;
    case DDD_KIND_DEVICE_FONT:
        if (!accessor_gate(DDD_GATE_256))
            return DDD_ERR_FAIL;
        *attribute = as<DddDeviceFontRecord>(record)->attribute;
        return DDD_OK;
    case DDD_KIND_DEVICE_CONFIG:
        if (!accessor_gate(DDD_GATE_4096))
            return DDD_ERR_FAIL;
        *attribute = as<DddDeviceConfigRecord>(record)->attribute;
        return DDD_OK;
    default:
        return DDD_ERR_FAIL;
    }
}

WORD DDD_GetPictureImage(ModelFileReader *main, ModelFileReader *companion, const ModelRecord *picture, WORD *x,
                         WORD *y, BYTE **data, DWORD *size)
{
    if (!x || !y || !data || !is_kind(picture, DDD_KIND_PICTURE))
        return DDD_ERR_FAIL;
    *data = nullptr;
    const auto *p = as<DddPictureRecord>(picture);
    *x = p->placement.x;
    *y = p->placement.y;
    if (p->placement.imageId.value == 0)
        return DDD_ERR_NOT_FOUND;
    ModelRecord *rec = nullptr;
    WORD r = DDD_FetchRecord(DDD_PARSE_FULL, main, companion, DDD_KIND_IMAGE, p->placement.imageId.value, 0, &rec);
    if (r != DDD_OK)
        return r;
    *data = take_image_data(rec, size);
    return *data ? DDD_OK : DDD_ERR_NOT_FOUND;
}

BYTE *DDD_GetHeaderImage(ModelFileReader *main, ModelFileReader *companion, WORD entry, WORD *value1,
                         WORD *value2, DWORD *size)
{
    if (entry != DDD_ENTRY_PICTURE1 && entry != DDD_ENTRY_PICTURE2)
        return nullptr;
    WORD id = static_cast<WORD>(DDD_GetHeaderEntryValue(main, entry, 2, 0));
    if (id == 0)
        return nullptr;
    ModelRecord *rec = nullptr;
    if (DDD_FetchRecord(DDD_PARSE_FULL, main, companion, DDD_KIND_IMAGE, id, 0, &rec) != DDD_OK)
        return nullptr;
    auto *img = reinterpret_cast<DddImageRecord *>(rec);
    if (value1)
        *value1 = img->value1;
    if (value2)
        *value2 = img->value2;
    return take_image_data(rec, size);
}

const DddPair *DDD_GetDimPairA(const ModelRecord *tray)
{
    return is_kind(tray, DDD_KIND_TRAY, DDD_KIND_TRAY2) ? &as<DddTrayRecord>(tray)->customMin : nullptr;
}

const DddPair *DDD_GetDimPairB(const ModelRecord *tray)
{
    return is_kind(tray, DDD_KIND_TRAY, DDD_KIND_TRAY2) ? &as<DddTrayRecord>(tray)->customMax : nullptr;
}

namespace {

WORD list_entry(const DddWordList &list, WORD n, WORD *out)
{
    if (!out || n == 0)
        return DDD_ERR_FAIL;
    if (n > list.count)
        return DDD_ERR_NOT_FOUND;
    *out = list.items[n - 1].value;
    return DDD_OK;
}

} // namespace

WORD DDD_GetListEntry(const ModelRecord *tray, WORD n, WORD *entry)
{
    if (!is_kind(tray, DDD_KIND_TRAY, DDD_KIND_TRAY2))
        return DDD_ERR_FAIL;
    return list_entry(as<DddTrayRecord>(tray)->paperCodes, n, entry);
}

WORD DDD_GetListEntryId(const ModelRecord *tray, WORD n, WORD *id)
{
    if (!is_kind(tray, DDD_KIND_TRAY, DDD_KIND_TRAY2))
        return DDD_ERR_FAIL;
    return list_entry(as<DddTrayRecord>(tray)->paperCodeIds, n, id);
}

const DddPair *DDD_PaperSize(const ModelRecord *paper)
{
    return is_kind(paper, DDD_KIND_PAPER) ? &as<DddPaperRecord>(paper)->size : nullptr;
}

const DddPair *DDD_PaperSizeAlt(const ModelRecord *paper)
{
    return is_kind(paper, DDD_KIND_PAPER) ? &as<DddPaperRecord>(paper)->sizeAlt : nullptr;
}

const DddPair *DDD_PaperMinExtent(const ModelRecord *paper)
{
    return is_kind(paper, DDD_KIND_PAPER) ? &as<DddPaperRecord>(paper)->minExtent : nullptr;
}

const DddPair *DDD_PaperMaxExtent(const ModelRecord *paper)
{
    return is_kind(paper, DDD_KIND_PAPER) ? &as<DddPaperRecord>(paper)->maxExtent : nullptr;
}

WORD DDD_PaperMargins(const ModelRecord *paper, DddPair *first, DddPair *second)
{
    if (!is_kind(paper, DDD_KIND_PAPER) || !first || !second)
        return DDD_ERR_FAIL;
    *first = as<DddPaperRecord>(paper)->margins1;
    *second = as<DddPaperRecord>(paper)->margins2;
    return DDD_OK;
}

WORD DDD_DeviceFontGetAlias(const ModelRecord *font, WORD n, LPCWSTR *alias)
{
    if (!is_kind(font, DDD_KIND_DEVICE_FONT) || !alias || n == 0)
        return DDD_ERR_FAIL;
    const auto *f = as<DddDeviceFontRecord>(font);
    if (n > f->aliases.count)
        return DDD_ERR_NOT_FOUND;
    *alias = f->aliases.items[n - 1].text;
    return DDD_OK;
}

const BYTE *DDD_DeviceFontGetMetrics(const ModelRecord *font)
{
    return is_kind(font, DDD_KIND_DEVICE_FONT) ? as<DddDeviceFontRecord>(font)->metrics : nullptr;
}

DWORD DDD_DeviceFontGetMetricsSize(const ModelRecord *font)
{
    return is_kind(font, DDD_KIND_DEVICE_FONT) ? as<DddDeviceFontRecord>(font)->metricsSize : 0;
}

namespace {

const DddTypedList *typed_items(const ModelRecord *record)
{
    if (is_kind(record, DDD_KIND_DEVICE_FONT))
        return &as<DddDeviceFontRecord>(record)->items;
    if (is_kind(record, DDD_KIND_DEVICE_CONFIG))
        return &as<DddDeviceConfigRecord>(record)->items;
    return nullptr;
}

} // namespace

WORD DDD_GetItemCount(const ModelRecord *record, WORD *count)
{
    const DddTypedList *items = typed_items(record);
    if (!items || !count)
        return DDD_ERR_FAIL;
    *count = items->count;
    return DDD_OK;
}

WORD DDD_GetItem(const ModelRecord *record, WORD n, DWORD *length, WORD *type, const void **value)
{
    const DddTypedList *items = typed_items(record);
    if (!items || !length || !type || !value)
        return DDD_ERR_FAIL;
    if (n == 0 || n > items->count)
        return DDD_OK;
    const DddValue &v = items->items[n - 1].value;
    *length = v.length;
    *type = v.type;
    *value = v.data;
    return DDD_OK;
}

LPCWSTR DDD_JobLineGetCommand(const ModelRecord *line)
{
    return is_kind(line, DDD_KIND_JOB_LINE) ? as<DddJobLineRecord>(line)->command.text : nullptr;
}

LPCWSTR DDD_JobLineGetFixedValue(const ModelRecord *line)
{
    return is_kind(line, DDD_KIND_JOB_LINE) ? as<DddJobLineRecord>(line)->fixedValue.text : nullptr;
}

WORD DDD_GetKind19Flag(const ModelRecord *record, BYTE *flag)
{
    if (!is_kind(record, DDD_KIND_FLAG_RECORD) || !flag || !accessor_gate(DDD_GATE_512))
        return DDD_ERR_FAIL;
    *flag = as<DddFlagRecord>(record)->flag;
    return DDD_OK;
}

WORD DDD_PresetCount(const ModelRecord *preset, WORD *count)
{
    if (!is_kind(preset, DDD_KIND_PRESET) || !count || !accessor_gate(DDD_GATE_768))
        return DDD_ERR_FAIL;
    *count = as<DddPresetRecord>(preset)->count;
    return DDD_OK;
}

WORD DDD_PresetGetSetting(const ModelRecord *preset, WORD n, WORD *settingId, WORD *type, DWORD *length,
                          const void **value)
{
    if (!is_kind(preset, DDD_KIND_PRESET) || !settingId || !type || !length || !value ||
        !accessor_gate(DDD_GATE_768) || n == 0)
        return DDD_ERR_FAIL;
    const auto *p = as<DddPresetRecord>(preset);
    if (n > p->count)
        return DDD_ERR_NOT_FOUND;
    const DddPresetSetting &s = p->settings[n - 1];
    *settingId = s.settingId;
    *type = s.value.type;
    *length = s.value.length;
    *value = s.value.data;
    return DDD_OK;
}

WORD DDD_DevCfgGetText(const ModelRecord *record, WORD n, LPCWSTR *text)
{
    if (!is_kind(record, DDD_KIND_DEVICE_CONFIG) || !text || n == 0)
        return DDD_ERR_FAIL;
    const auto *d = as<DddDeviceConfigRecord>(record);
    if (n > d->texts.count)
        return DDD_ERR_NOT_FOUND;
    *text = d->texts.items[n - 1].text;
    return DDD_OK;
}

WORD DDD_TrayMediaSource(const ModelRecord *tray, WORD *source)
{
    if (!is_kind(tray, DDD_KIND_TRAY) || !source)
        return DDD_ERR_FAIL;
    *source = as<DddTrayRecord>(tray)->mediaSource;
    return DDD_OK;
}

WORD DDD_TrayExtraByte(const ModelRecord *tray, BYTE *value)
{
    if (!is_kind(tray, DDD_KIND_TRAY, DDD_KIND_TRAY2) || !value || !accessor_gate(DDD_GATE_512))
        return DDD_ERR_FAIL;
    *value = as<DddTrayRecord>(tray)->extraByte;
    return DDD_OK;
}

WORD DDD_PaperMediaCode(const ModelRecord *paper)
{
    return is_kind(paper, DDD_KIND_PAPER) ? as<DddPaperRecord>(paper)->mediaCode : 0;
}

WORD DDD_PaperSizePairs(const ModelRecord *paper, BYTE *value, DddPair *first, DddPair *second)
{
    if (!is_kind(paper, DDD_KIND_PAPER) || !value || !first || !second || !accessor_gate(DDD_GATE_512))
        return DDD_ERR_FAIL;
    const auto *p = as<DddPaperRecord>(paper);
    *value = p->extraByte;
    *first = p->fourth1;
    *second = p->fourth2;
    return DDD_OK;
}

WORD DDD_ResolveValueArray(ModelFileReader *reader, DddSettingItem *item)
{
    if (!reader || !item)
        return DDD_ERR_FAIL;
    DddValue &v = item->value;
    if (v.type != DDD_VT_ARRAY_REF)
        return DDD_OK;
    if (!v.data || v.length < 2)
        return DDD_ERR_FAIL;
    WORD number = plat::load<WORD>(v.data);

    /* Row `number` of this file's own value-array table, whose record must lie in this file. */
    if (DDD_FindRecordEntryByIndex(reader, DDD_KIND_VALUE_ARRAY, number) != DDD_OK)
        return number == 0 ? DDD_ERR_FAIL : DDD_ERR_NOT_FOUND;
    BYTE selector = 0;
    WORD id = 0;
    DWORD offset = 0;
    if (ddd_ReadU8(reader, &selector) != DDD_OK || ddd_ReadU16(reader, &id) != DDD_OK ||
        ddd_ReadU32(reader, &offset) != DDD_OK)
        return DDD_ERR_FAIL;
    bool inMain = selector == DDD_SEL_MAIN;
    if (inMain != (reader->main == nullptr) || DDD_Seek(reader, 0, offset) != DDD_OK)
        return DDD_ERR_FAIL;
    ModelRecord *rec = nullptr;
    WORD r = DDD_ParseValueArray(DDD_PARSE_FULL, reader, nullptr, nullptr, DDD_KIND_VALUE_ARRAY, &rec);
    if (r != DDD_OK)
        return r;
    const auto *a = reinterpret_cast<const DddValueArrayRecord *>(rec);

    DddValue resolved{};
    resolved.type = a->elementType;
    resolved.count = a->count;
    if (a->elementType == DDD_VT_FLAG || a->elementType == DDD_VT_MEMBER) {
        if (a->elementType == DDD_VT_FLAG ? a->elementSize == 0 : a->elementSize != 4) {
            DDD_FreeRecord(&rec, DDD_KIND_VALUE_ARRAY);
            return DDD_ERR_FAIL;
        }
        auto *wide = static_cast<BYTE *>(mdl_Alloc(static_cast<size_t>(a->count) * 4));
        if (!wide) {
            DDD_FreeRecord(&rec, DDD_KIND_VALUE_ARRAY);
            return DDD_ERR_NO_MEMORY;
        }
        for (WORD i = 0; i < a->count; ++i) {
            const BYTE *e = a->elements + static_cast<size_t>(i) * a->elementSize;
            DWORD number32 = 0;
            if (a->elementType == DDD_VT_MEMBER) {
                number32 = plat::load<DWORD>(e);
            } else {
                for (WORD k = 0; k < a->elementSize; ++k)
                    if (e[k])
                        number32 = 1;
            }
            plat::store(wide + 4 * static_cast<size_t>(i), number32);
        }
        resolved.data = wide;
        resolved.length = 4;
        resolved.owned = 1;
    } else {
        resolved.data = const_cast<BYTE *>(a->elements);
        resolved.length = a->elementSize;
    }
    DDD_FreeRecord(&rec, DDD_KIND_VALUE_ARRAY);
    ddd_FreeValue(&v);
    v = resolved;
    return DDD_OK;
}

DWORD DDD_OptionMaskBit(WORD id)
{
    if (id >= 4097 && id <= 4128)
        return 1u << (id - 4097);
    if (id >= 4129 && id <= 4160)
        return 1u << (id - 4129);
    return 0;
}

WORD DDD_TestOptionMaskBit(ModelFileReader *main, ModelFileReader *companion, WORD id)
{
    (void)companion;
    if (id < 4097 || id > 4371)
        return 1;
    DWORD bit = DDD_OptionMaskBit(id);
    if (bit == 0)
        return 1;
    return (DDD_GetHeaderEntryValue(main, DDD_ENTRY_OPTION_MASK, 4, 0) & bit) ? 0 : 1;
}
