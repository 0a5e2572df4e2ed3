/*
 * Option lists: building a list's header and items from the schema's
 * descriptors or the model's options, the accessors the pages use, and
 * freeing.  A list owns everything its items point at, palettes included.
 */
#include "opt_internal.h"

#include "tarvel/model_data/mdl_context.h"
#include "tarvel/setting_layout.h"
#include "tarvel/settings/fid_value.h"
#include "tarvel/stores/stp_store.h"

#include <plat/memory.h>
#include <plat/resource.h>
#include <plat/text.h>

#include <cstring>

namespace {

constexpr WORD kIdStampName = 298;

/* Items a constant list of `kind` has, or -1 for a kind without a fixed count. */
LONG constant_count(const SettingConstList &c)
{
    switch (c.uiKind) {
    case OPT_KIND_CHECK: return 2;
    case OPT_KIND_LIST: return c.count;
    case OPT_KIND_SINGLE: return 1;
    case OPT_KIND_RANGE:
    case OPT_KIND_RANGE_EMPTY: return 3;
    default: return -1;
    }
}

const SettingConstList *constant_list(const SettingDescriptor *d, WORD bit)
{
    if (d == nullptr || d->constant == nullptr || (d->constant->use & bit) == 0)
        return nullptr;
    return d->constant->list;
}

/* The stamp names into the caller record: a size query, then the list. */
BOOL read_stamp_names(ModelContext *context, FidListCallerRecord *record)
{
    if (record == nullptr)
        return FALSE;
    if (record->stampNames != nullptr)
        GlobalFree(record->stampNames);
    record->stampNames = nullptr;
    DWORD size = 0;
    STP_ListNames(nullptr, nullptr, nullptr, &size, context);
    if (size < 2 * sizeof(WCHAR))
        size = 2 * sizeof(WCHAR);
    auto *names = static_cast<LPWSTR>(GlobalAlloc(GPTR, size));
    if (names == nullptr)
        return FALSE;
    if (STP_ListNames(nullptr, names, nullptr, &size, context) != 1) {
        GlobalFree(names);
        return FALSE;
    }
    record->stampNames = names;
    return TRUE;
}

BOOL fill_list_header(HMODULE resources, ModelContext *context, WORD id, const SettingDescriptor *d,
                      OptionList *list, void *callerData, FidListCallerRecord *callerRecord)
{
    if (d != nullptr && (d->flags & FID_DESC_LIST_HEADER) != 0) {
        if (!opt_HeaderFromDescriptor(resources, context, id, d, list, callerData, callerRecord))
            return FALSE;
    } else {
        ModelRecord *record = nullptr;
        WORD kind = 0, count = 0, reason = 0;
        LPCWSTR name = nullptr;
        if (context == nullptr || !MDL_GetFeatureInfo(context, id, &record, &kind, &count, &name, &reason))
            return FALSE;
        list->uiKind = kind;
        list->count = count;
        list->title = opt_CopyText(name);
        const bool copied = name == nullptr || list->title != nullptr;
        MDL_FreeRecord(record);
        if (!copied)
            return FALSE;
    }
    list->id = id;
    return TRUE;
}

/*
 * Stores the text, value and type of one item; the list takes the value
 * type.  Every item has the first item's type: freeing reads the values by
 * the list's one type (strings are freed, numbers are not).
 */
BOOL store_item(OptionList *list, OptionListItem *item, bool first, LPCWSTR text, WORD type, const void *value)
{
    if (!first && type != list->valueType)
        return FALSE;
    item->text = opt_CopyText(text != nullptr ? text : u"");
    if (item->text == nullptr)
        return FALSE;
    list->valueType = type;
    if (type == SVT_WSTRING) {
        LPCWSTR s = static_cast<LPCWSTR>(value);
        if (s != nullptr) {
            LPWSTR copy = opt_CopyText(s);
            if (copy == nullptr)
                return FALSE;
            FID_SetSlotPointer(&item->value, copy);
        }
        return TRUE;
    }
    if (value != nullptr)
        FID_CopyValue(type, &item->value, value);
    return TRUE;
}

BOOL model_item(HMODULE resources, ModelContext *context, OptionList *list, LONG i)
{
    DddOptionDetails *details = nullptr;
    WORD reason = 0;
    if (context == nullptr || !MDL_GetOption(context, WORD(list->id), WORD(i + 1), &details, &reason))
        return FALSE;
    const void *value = nullptr;
    LPCWSTR name = nullptr;
    WORD type = 0;
    const DddImageBlob *image = nullptr;
    BOOL ok = MDL_GetOptionFields(details, &value, &name, &type, &image);
    if (ok && list->uiKind == OPT_KIND_RANGE_EMPTY && i == 2)
        value = nullptr;
    OptionListItem *item = &list->items[i];
    ok = ok && store_item(list, item, i == 0, name, type, value);
    if (ok && image != nullptr && image->data != nullptr && image->length != 0)
        ok = FID_CreateIconFromImage(resources, image->data, image->length, &item->icon, &item->palette);
    MDL_FreeOption(details);
    return ok;
}

BOOL descriptor_item(HMODULE resources, ModelContext *context, OptionList *list, const SettingDescriptor *d, LONG i,
                     void *callerData, FidListCallerRecord *callerRecord)
{
    FidListFillArgs args{};
    args.resources = resources;
    args.index = i;
    args.callerData = callerData;
    args.callerRecord = callerRecord;
    if (!opt_ItemFromDescriptor(context, WORD(list->id), d, list, &args))
        return FALSE;
    const bool noValue = list->uiKind == OPT_KIND_RANGE_EMPTY && i == 2;
    const void *value = &args.value;
    if (args.type == SVT_WSTRING)
        value = FID_SlotString(&args.value);
    return store_item(list, &list->items[i], i == 0, args.text, args.type, noValue ? nullptr : value);
}

} // namespace

LPWSTR opt_CopyText(LPCWSTR text)
{
    if (text == nullptr)
        return nullptr;
    const size_t chars = plat::wlen(text);
    auto *copy = static_cast<LPWSTR>(GlobalAlloc(GPTR, (chars + 1) * sizeof(WCHAR)));
    if (copy != nullptr)
        std::memcpy(copy, text, chars * sizeof(WCHAR));
    return copy;
}

BOOL opt_ReplaceText(OptionListItem *item, LPWSTR text)
{
    if (text == nullptr)
        return FALSE;
    if (item->text != nullptr)
        GlobalFree(item->text);
    item->text = text;
    return TRUE;
}

BOOL opt_HeaderFromDescriptor(HMODULE resources, ModelContext *context, WORD id, const SettingDescriptor *d,
                              OptionList *list, void *callerData, FidListCallerRecord *callerRecord)
{
    if (const SettingConstList *c = constant_list(d, FID_CONST_LIST_HEADER); c != nullptr) {
        list->uiKind = c->uiKind;
        list->count = constant_count(*c);
        return list->count >= 0;
    }
    if (d == nullptr || d->handler == nullptr)
        return FALSE;
    FidListFillArgs args{};
    args.resources = resources;
    args.list = list;
    args.callerData = callerData;
    args.callerRecord = callerRecord;
    return d->handler(context, FID_OP_LIST_HEADER, id, &args) ? TRUE : FALSE;
}

BOOL opt_ItemFromDescriptor(ModelContext *context, WORD id, const SettingDescriptor *d, const OptionList *list,
                            FidListFillArgs *args)
{
    const SettingConstList *c = constant_list(d, FID_CONST_LIST_ITEMS);
    if (c == nullptr)
        return d != nullptr && d->handler != nullptr && d->handler(context, FID_OP_LIST_ITEM, id, args);
    const LONG i = args->index;
    args->type = d->constant->type;
    args->text = args->textBuffer;
    LONG number = 0;
    switch (list->uiKind) {
    case OPT_KIND_CHECK:
        if (i > 1)
            return FALSE;
        number = i == 0 ? 1 : 0;
        break;
    case OPT_KIND_LIST:
        if (i >= c->count || c->offsets == nullptr ||
            LoadStringW(args->resources, c->stringBase + c->offsets[i], args->textBuffer, FID_LIST_TEXT_CHARS) <= 0)
            return FALSE;
        number = i;
        break;
    case OPT_KIND_RANGE:
    case OPT_KIND_RANGE_EMPTY: {
        const LONG values[3] = {c->minimum, c->maximum, c->step};
        if (i > 2)
            return FALSE;
        number = values[i];
        break;
    }
    default:
        return FALSE;
    }
    if (list->uiKind != OPT_KIND_LIST)
        FID_FormatValue(SVT_INT32, &number, args->textBuffer, FID_LIST_TEXT_CHARS);
    args->value = 0;
    FID_CopyValue(args->type, &args->value, &number);
    return TRUE;
}

OptionList *FID_CreateOptionList(HMODULE resources, ModelContext *context, WORD id, void *callerData,
                                 const SettingDescriptorRow **row, FidListCallerRecord *callerRecord)
{
    const SettingDescriptorRow *found = FID_FindDescriptor(id);
    if (row != nullptr)
        *row = found;
    if (found == nullptr)
        return nullptr;
    auto *list = static_cast<OptionList *>(GlobalAlloc(GPTR, sizeof(OptionList)));
    if (list == nullptr)
        return nullptr;
    list->count = -1;
    if ((id == kIdStampName && !read_stamp_names(context, callerRecord)) ||
        !fill_list_header(resources, context, id, found->descriptor, list, callerData, callerRecord)) {
        FID_ListFree(list);
        return nullptr;
    }
    return list;
}

BOOL FID_FillOptionList(HMODULE resources, ModelContext *context, OptionList *list, const SettingDescriptorRow *row,
                        void *callerData, FidListCallerRecord *callerRecord, void *devmode, void *printerData,
                        WORD unitFlags)
{
    if (list == nullptr || row == nullptr)
        return FALSE;
    if (list->count == -1 || list->count == 0)
        return TRUE;
    if (list->count < 0 || list->items != nullptr)
        return FALSE;
    list->items = static_cast<OptionListItem *>(GlobalAlloc(GPTR, size_t(list->count) * sizeof(OptionListItem)));
    if (list->items == nullptr)
        return FALSE;
    const SettingDescriptor *d = row->descriptor;
    const bool fromDescriptor = d != nullptr && (d->flags & FID_DESC_LIST_ITEM) != 0;
    for (LONG i = 0; i < list->count; ++i) {
        const BOOL ok = fromDescriptor ? descriptor_item(resources, context, list, d, i, callerData, callerRecord)
                                       : model_item(resources, context, list, i);
        if (!ok)
            return FALSE;
    }
    return opt_AddPaperTexts(resources, context, list, devmode, printerData, unitFlags);
}

OptionList *FID_BuildOptionList(HMODULE resources, ModelContext *context, WORD id, void *callerData,
                                void *devmode, void *printerData, const SettingDescriptorRow **row,
                                FidListCallerRecord *callerRecord, WORD unitFlags)
{
    const SettingDescriptorRow *found = nullptr;
    OptionList *list = FID_CreateOptionList(resources, context, id, callerData, &found, callerRecord);
    if (row != nullptr)
        *row = found;
    if (list == nullptr)
        return nullptr;
    if (!FID_FillOptionList(resources, context, list, found, callerData, callerRecord, devmode, printerData,
                            unitFlags)) {
        FID_ListFree(list);
        return nullptr;
    }
    return list;
}

BOOL FID_ListFree(OptionList *list)
{
    if (list == nullptr)
        return FALSE;
    if (list->title != nullptr)
        GlobalFree(list->title);
    const bool strings = list->valueType == SVT_WSTRING && list->uiKind != OPT_KIND_RANGE_EMPTY;
    for (LONG i = 0; list->items != nullptr && i < list->count; ++i) {
        OptionListItem &item = list->items[i];
        if (item.text != nullptr)
            GlobalFree(item.text);
        if (item.icon != nullptr)
            DestroyIcon(item.icon);
        if (item.palette != nullptr)
            DeleteObject(item.palette);
        if (strings && FID_SlotString(&item.value) != nullptr)
            GlobalFree(const_cast<LPWSTR>(FID_SlotString(&item.value)));
    }
    if (list->items != nullptr)
        GlobalFree(list->items);
    GlobalFree(list);
    return TRUE;
}

/* ---- Accessors -------------------------------------------------------------- */

LPCWSTR FID_ListGetTitle(const OptionList *list)
{
    return list != nullptr ? list->title : nullptr;
}

WORD FID_ListGetKind(const OptionList *list)
{
    return list != nullptr ? list->uiKind : 0;
}

BOOL FID_ListSetKind(OptionList *list, WORD kind)
{
    if (list == nullptr)
        return FALSE;
    list->uiKind = kind;
    return TRUE;
}

LONG FID_ListGetCount(const OptionList *list)
{
    return list != nullptr ? list->count : -1;
}

const OptionListItem *FID_ListGetItemAt(const OptionList *list, LONG index)
{
    if (list == nullptr || list->items == nullptr || index < 0 || index >= list->count)
        return nullptr;
    return &list->items[index];
}

BOOL FID_ListGetItem(const OptionList *list, LONG index, void *slot)
{
    const OptionListItem *item = FID_ListGetItemAt(list, index);
    if (item == nullptr || slot == nullptr)
        return FALSE;
    std::memcpy(slot, &item->value, sizeof item->value);
    return TRUE;
}

LPCWSTR FID_ListGetItemText(const OptionList *list, LONG index)
{
    const OptionListItem *item = FID_ListGetItemAt(list, index);
    return item != nullptr ? item->text : nullptr;
}

HICON FID_ListGetItemIcon(const OptionList *list, LONG index)
{
    const OptionListItem *item = FID_ListGetItemAt(list, index);
    return item != nullptr ? item->icon : nullptr;
}

HPALETTE FID_ListGetItemPalette(const OptionList *list, LONG index)
{
    const OptionListItem *item = FID_ListGetItemAt(list, index);
    return item != nullptr ? item->palette : nullptr;
}

LONG FID_ListFindText(const OptionList *list, LPCWSTR text)
{
    if (list == nullptr || list->items == nullptr || text == nullptr)
        return -1;
    const size_t chars = plat::wlen(text);
    for (LONG i = 0; i < list->count; ++i) {
        LPCWSTR t = list->items[i].text;
        if (t != nullptr && plat::wlen(t) >= chars && std::memcmp(t, text, chars * sizeof(WCHAR)) == 0)
            return i;
    }
    return -1;
}
