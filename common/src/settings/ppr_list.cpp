/*
 * The paper list of a model context: built from the model's paper records
 * and the spooler's forms when forms merging is on, and the queries the
 * device capabilities and the settings engine ask of it.
 */
#include "tarvel/settings/ppr_paper.h"

#include "ppr_internal.h"

#include "tarvel/model_data/mdl_context.h"
#include "tarvel/model_data/model_file.h"
#include "tarvel/model_data/model_records.h"
#include "tarvel/settings/dmb_binding.h"
#include "tarvel/settings/dme_mapping.h"
#include "tarvel/settings/fid_merge.h"
#include "tarvel/settings/fid_value.h"

#include <plat/memory.h>
#include <plat/text.h>

#include <cstring>

namespace {

constexpr WORD kIdFormsMerge = 5201;
constexpr WORD kIdPaperSize = 8;
constexpr WORD kCapacityEntry = 41;
constexpr WORD kPaperKind = 10;
constexpr WORD kUserPaperId = 256;
constexpr LONG kThousandthsPerTenth = 100;

void set_name(PaperListItem &item, LPCWSTR name)
{
    lstrcpynW(item.name, name != nullptr ? name : u"", PPR_NAME_CHARS);
}

void take_form(PaperListItem &item, const FORM_INFO_1W &form, WORD number)
{
    item.formNumber = number;
    item.width = form.Size.cx;
    item.length = form.Size.cy;
    item.left = form.ImageableArea.left;
    item.top = form.ImageableArea.top;
    item.right = form.ImageableArea.right;
    item.bottom = form.ImageableArea.bottom;
}

/* The model's user-size paper: the default paper size, imageable area from the record's margins. */
bool take_user_paper(ModelContext *context, const ModelRecord *paper, PaperListItem &item)
{
    WORD width = 0, length = 0;
    if (!MDL_GetDefaultPaperSize(context, kIdPaperSize, &width, &length))
        return false;
    DddPair leftBottom{}, rightTop{};
    DDD_PaperMargins(paper, &leftBottom, &rightTop);
    item.formNumber = 0;
    item.width = width * kThousandthsPerTenth;
    item.length = length * kThousandthsPerTenth;
    item.left = leftBottom.first * kThousandthsPerTenth;
    item.top = rightTop.second * kThousandthsPerTenth;
    item.right = item.width - rightTop.first * kThousandthsPerTenth;
    item.bottom = item.length - leftBottom.second * kThousandthsPerTenth;
    return true;
}

/* One model paper as a list item; false when no spooler form stands for it. */
bool take_model_paper(ModelContext *context, const ModelRecord *paper, const FORM_INFO_1W *forms, DWORD formCount,
                      PaperListItem &item)
{
    const WORD id = paper->id;
    item.code = id;
    if (id == kUserPaperId) {
        set_name(item, DDD_GetRecordName(paper));
        return take_user_paper(context, paper, item);
    }
    if (id >= 1 && id <= formCount && (forms[id - 1].Flags & FORM_BUILTIN) != 0) {
        take_form(item, forms[id - 1], id);
        set_name(item, forms[id - 1].pName);
        return true;
    }
    LPCWSTR name = DDD_GetRecordName(paper);
    for (DWORD i = 0; name != nullptr && i < formCount; ++i) {
        if (forms[i].pName != nullptr && lstrcmpW(forms[i].pName, name) == 0) {
            take_form(item, forms[i], static_cast<WORD>(i + 1));
            set_name(item, name);
            return true;
        }
    }
    return false;
}

bool named_like_a_model_paper(const PaperList &list, LPCWSTR name)
{
    for (WORD i = 0; i < list.modelCount; ++i) {
        if (name != nullptr && lstrcmpW(list.items[i].name, name) == 0)
            return true;
    }
    return false;
}

void free_list(PaperList *list)
{
    if (list == nullptr)
        return;
    if (list->items != nullptr)
        GlobalFree(list->items);
    GlobalFree(list);
}

/* The list of a context, with the result a query answers when there is none. */
int list_of(ModelContext *context, PaperList **list)
{
    if (context == nullptr)
        return PPR_NO_CONTEXT;
    if (context->paperList == nullptr)
        return PPR_NO_LIST;
    *list = context->paperList;
    return PPR_OK;
}

int total(const PaperList &list)
{
    return list.modelCount + list.formCount;
}

int answer(const PaperListItem &item, int what, ULONGLONG *out)
{
    switch (what) {
    case PPR_GIVE_CODE: *out = item.code; return PPR_OK;
    case PPR_GIVE_FORM: *out = item.formNumber; return PPR_OK;
    case PPR_GIVE_NAME: *out = reinterpret_cast<ULONG_PTR>(item.name); return PPR_OK;
    case PPR_GIVE_SIZE:
        *out = static_cast<DWORD>(item.width / kThousandthsPerTenth) |
               (static_cast<ULONGLONG>(static_cast<DWORD>(item.length / kThousandthsPerTenth)) << 32);
        return PPR_OK;
    default: return PPR_BAD_ARGUMENT;
    }
}

} // namespace

BOOL PPR_IsFormsMergeEnabled(ModelContext *context, void *printerData)
{
    if (context == nullptr || DME_IsFormsMergeMode(context->dme) != 1)
        return FALSE;
    WORD type = 0;
    LONG size = 0;
    ULONGLONG slot = 0;
    if (DMB_GetValue(kIdFormsMerge, nullptr, printerData, &type, &size, &slot) != DMA_OK)
        return FALSE;
    return FID_ReadValueAsUInt(&slot, type) != 0;
}

int PPR_BuildPaperList(HANDLE printer, ModelContext *context, void *printerData)
{
    if (context == nullptr)
        return PPR_NO_CONTEXT;
    PPR_FreePaperList(context);
    if (!PPR_IsFormsMergeEnabled(context, printerData))
        return PPR_OK;

    const DWORD capacity = DDD_GetHeaderEntryValue(context->main, kCapacityEntry, 2, 0);
    const WORD papers = DDD_CountRecords(context->main, kPaperKind);
    if (capacity < papers || capacity == 0)
        return PPR_BAD_ARGUMENT;

    auto *list = static_cast<PaperList *>(GlobalAlloc(GPTR, sizeof(PaperList)));
    if (list == nullptr)
        return PPR_BAD_ARGUMENT;
    list->items = static_cast<PaperListItem *>(GlobalAlloc(GPTR, capacity * sizeof(PaperListItem)));
    PprForms spooler;
    if (list->items == nullptr || spooler.load(printer) != PPR_FORM_OK) {
        free_list(list);
        return PPR_BAD_ARGUMENT;
    }

    bool ok = true;
    for (WORD n = 1; ok && n <= papers; ++n) {
        ModelRecord *paper = nullptr;
        ok = DDD_GetRecordByIndex(DDD_PARSE_PARTIAL, context->main, context->companion, kPaperKind, n, &paper) == DDD_OK &&
             take_model_paper(context, paper, spooler.forms, spooler.count, list->items[n - 1]);
        DDD_FreeRecord(&paper, -1);
    }
    list->modelCount = papers;

    FidPaperLimits limits{};
    if (ok && FID_CustomPaperLimits(context, &limits)) {
        for (DWORD i = 0; i < spooler.count && list->modelCount + list->formCount < capacity; ++i) {
            const FORM_INFO_1W &form = spooler.forms[i];
            /* Only the user's forms are added: the built-in ones stand for model papers or none. */
            if ((form.Flags & FORM_BUILTIN) != 0 || named_like_a_model_paper(*list, form.pName))
                continue;
            if (form.Size.cx < limits.minWidth * kThousandthsPerTenth ||
                form.Size.cx > limits.maxWidth * kThousandthsPerTenth ||
                form.Size.cy < limits.minLength * kThousandthsPerTenth ||
                form.Size.cy > limits.maxLength * kThousandthsPerTenth)
                continue;
            PaperListItem &item = list->items[list->modelCount + list->formCount];
            take_form(item, form, static_cast<WORD>(i + 1));
            set_name(item, form.pName);
            item.code = static_cast<WORD>(PPR_FIRST_ADDED_CODE + list->formCount);
            ++list->formCount;
        }
    }
    if (!ok) {
        free_list(list);
        return PPR_BAD_ARGUMENT;
    }
    context->paperList = list;
    return PPR_OK;
}

int PPR_FreePaperList(ModelContext *context)
{
    if (context == nullptr)
        return PPR_NO_CONTEXT;
    free_list(context->paperList);
    context->paperList = nullptr;
    return PPR_OK;
}

BOOL PPR_HasPaperList(ModelContext *context)
{
    return context != nullptr && context->paperList != nullptr;
}

int PPR_GetPaperCount(ModelContext *context, WORD *count, int which)
{
    PaperList *list = nullptr;
    const int status = list_of(context, &list);
    if (status != PPR_OK)
        return status;
    if (count == nullptr)
        return PPR_BAD_ARGUMENT;
    switch (which) {
    case PPR_MODEL_PAPERS: *count = list->modelCount; return PPR_OK;
    case PPR_ADDED_FORMS: *count = list->formCount; return PPR_OK;
    case PPR_ALL_PAPERS: *count = static_cast<WORD>(total(*list)); return PPR_OK;
    case PPR_ALL_BUT_CUSTOM: {
        WORD n = static_cast<WORD>(total(*list));
        for (WORD i = 0; i < list->modelCount; ++i) {
            if (list->items[i].formNumber == 0) {
                --n;
                break;
            }
        }
        *count = n;
        return PPR_OK;
    }
    default: return PPR_BAD_ARGUMENT;
    }
}

int PPR_FindPaper(ModelContext *context, int by, ULONG_PTR key, int what, ULONGLONG *out)
{
    PaperList *list = nullptr;
    const int status = list_of(context, &list);
    if (status != PPR_OK)
        return status;
    if (out == nullptr || what < PPR_GIVE_CODE || what > PPR_GIVE_SIZE || by < PPR_BY_CODE || by > PPR_BY_NAME ||
        (by == PPR_BY_NAME && key == 0))
        return PPR_BAD_ARGUMENT;
    for (int i = 0; i < total(*list); ++i) {
        const PaperListItem &item = list->items[i];
        bool match = false;
        switch (by) {
        case PPR_BY_CODE: match = item.code == key; break;
        case PPR_BY_FORM: match = item.formNumber == key; break;
        default: match = lstrcmpW(item.name, reinterpret_cast<LPCWSTR>(key)) == 0; break;
        }
        if (match)
            return answer(item, what, out);
    }
    return PPR_NOT_FOUND;
}

int PPR_GetPaperByIndex(ModelContext *context, int position, int what, ULONGLONG *out)
{
    PaperList *list = nullptr;
    const int status = list_of(context, &list);
    if (status != PPR_OK)
        return status;
    if (out == nullptr || what < PPR_GIVE_CODE || what > PPR_GIVE_SIZE)
        return PPR_BAD_ARGUMENT;
    if (position < 0 || position >= total(*list))
        return PPR_NOT_FOUND;
    return answer(list->items[position], what, out);
}

int PPR_GetPaperArrays(ModelContext *context, int which, void **array, DWORD *bytes, BOOL includeCustom,
                       void **customEntry)
{
    PaperList *list = nullptr;
    const int status = list_of(context, &list);
    if (status != PPR_OK)
        return status;
    DWORD entrySize = 0;
    switch (which) {
    case PPR_ARRAY_CODES:
    case PPR_ARRAY_FORMS: entrySize = sizeof(WORD); break;
    case PPR_ARRAY_NAMES: entrySize = PPR_NAME_CHARS * sizeof(WCHAR); break;
    case PPR_ARRAY_SIZES: entrySize = sizeof(PprPair); break;
    default: return PPR_BAD_ARGUMENT;
    }
    if (array == nullptr || bytes == nullptr)
        return PPR_BAD_ARGUMENT;
    if (customEntry != nullptr)
        *customEntry = nullptr;
    DWORD entries = 0;
    for (int i = 0; i < total(*list); ++i) {
        if (includeCustom || list->items[i].formNumber != 0)
            ++entries;
    }
    auto *block = static_cast<BYTE *>(GlobalAlloc(GPTR, entries != 0 ? entries * entrySize : 1));
    if (block == nullptr)
        return PPR_BAD_ARGUMENT;
    BYTE *at = block;
    for (int i = 0; i < total(*list); ++i) {
        const PaperListItem &item = list->items[i];
        if (!includeCustom && item.formNumber == 0)
            continue;
        if (item.formNumber == 0 && customEntry != nullptr)
            *customEntry = at;
        switch (which) {
        case PPR_ARRAY_CODES: plat::store<WORD>(at, item.code); break;
        case PPR_ARRAY_FORMS: plat::store<WORD>(at, item.formNumber); break;
        case PPR_ARRAY_NAMES: std::memcpy(at, item.name, entrySize); break;
        default:
            plat::store<PprPair>(at, PprPair{item.width / kThousandthsPerTenth, item.length / kThousandthsPerTenth});
            break;
        }
        at += entrySize;
    }
    *array = block;
    *bytes = entries * entrySize;
    return PPR_OK;
}

int PPR_GetPaperMargins(ModelContext *context, WORD code, PprPair *size, PprPair *printable, PprPair *leftBottom,
                        PprPair *rightTop)
{
    PaperList *list = nullptr;
    const int status = list_of(context, &list);
    if (status != PPR_OK)
        return status;
    for (int i = 0; i < total(*list); ++i) {
        const PaperListItem &p = list->items[i];
        if (p.code != code)
            continue;
        if (size != nullptr)
            *size = {p.width / kThousandthsPerTenth, p.length / kThousandthsPerTenth};
        if (printable != nullptr)
            *printable = {(p.right - p.left) / kThousandthsPerTenth, (p.bottom - p.top) / kThousandthsPerTenth};
        if (leftBottom != nullptr)
            *leftBottom = {p.left / kThousandthsPerTenth, (p.length - p.bottom) / kThousandthsPerTenth};
        if (rightTop != nullptr)
            *rightTop = {(p.width - p.right) / kThousandthsPerTenth, p.top / kThousandthsPerTenth};
        return PPR_OK;
    }
    return PPR_NOT_FOUND;
}
