/*
 * The model context's query functions: defaults, features, options, values
 * and their targets, the model name and the header entries the settings
 * engine and the property pages ask for.  Each answers 1 or 0 with a reason
 * and leaves its outputs empty when it fails.
 */
#include "mdl_internal.h"

namespace {

/* Clears the reason on entry; fail() sets it. */
void clear(WORD *reason)
{
    if (reason)
        *reason = 0;
}

BOOL fail(WORD *reason, WORD why)
{
    if (reason)
        *reason = why;
    return FALSE;
}

BOOL fail_with(WORD *reason, WORD readerResult)
{
    return fail(reason, MDL_ReasonOf(readerResult));
}

/* A default value block as a 32-bit number, widened by the size of its type. */
DWORD default_number(const void *block, WORD type)
{
    if (!block)
        return 0;
    switch (type) {
    case DDD_VT_SHORT:
    case DDD_VT_USHORT:
        return plat::load<WORD>(block);
    case DDD_VT_BYTE:
        return *static_cast<const BYTE *>(block);
    default:
        return plat::load<DWORD>(block);
    }
}

} // namespace

bool mdl_IsOpen(const ModelContext *context)
{
    return context && ddd_IsLoaded(context->main);
}

WORD MDL_ReasonOf(WORD readerResult)
{
    switch (readerResult) {
    case DDD_ERR_NOT_FOUND:
        return MDL_REASON_NOT_IN_MODEL;
    case DDD_ERR_NO_MEMORY:
        return MDL_REASON_NO_MEMORY;
    default:
        return MDL_REASON_FAIL;
    }
}

BOOL MDL_GetDefaultValue(ModelContext *context, WORD id, ULONG_PTR *value, WORD *type, WORD *reason)
{
    clear(reason);
    if (!value || !type)
        return fail(reason, MDL_REASON_FAIL);
    *value = 0;
    *type = 0;
    if (!mdl_IsOpen(context))
        return fail(reason, MDL_REASON_FAIL);
    void *block = nullptr;
    WORD t = 0;
    WORD r = DDD_GetDefaultById(context->main, context->companion, id, &block, &t);
    if (r != DDD_OK)
        return fail_with(reason, r);
    if (t == DDD_VT_STRING) {
        *value = reinterpret_cast<ULONG_PTR>(block);
    } else {
        *value = default_number(block, t);
        mdl_Free(block);
    }
    *type = t;
    return TRUE;
}

BOOL MDL_FreeValue(ULONG_PTR value, WORD type)
{
    if (value == 0)
        return FALSE;
    if (type == DDD_VT_STRING)
        mdl_Free(reinterpret_cast<void *>(value));
    return TRUE;
}

BOOL MDL_GetFeatureInfo(ModelContext *context, WORD id, ModelRecord **record, WORD *uiKind, WORD *optionCount,
                        LPCWSTR *name, WORD *reason)
{
    clear(reason);
    if (uiKind)
        *uiKind = 0;
    if (optionCount)
        *optionCount = 0;
    if (name)
        *name = nullptr;
    if (!record)
        return fail(reason, MDL_REASON_FAIL);
    *record = nullptr;
    if (!mdl_IsOpen(context))
        return fail(reason, MDL_REASON_FAIL);
    WORD kind = 0, recordId = 0;
    DDD_MapIdToKind(id, 0, &kind, &recordId);
    if (kind != DDD_KIND_DEVICE_FEATURE && kind != DDD_KIND_DOCUMENT_FEATURE)
        return fail(reason, MDL_REASON_FAIL);
    ModelRecord *rec = nullptr;
    WORD r = DDD_FetchRecord(DDD_PARSE_FULL, context->main, context->companion, kind, recordId, 0, &rec);
    if (r != DDD_OK)
        return fail_with(reason, r);
    const auto *f = reinterpret_cast<const DddFeatureRecord *>(rec);
    if (uiKind)
        *uiKind = f->uiKind;
    if (optionCount)
        *optionCount = f->options.count;
    if (name)
        *name = f->name.text;
    *record = rec;
    return TRUE;
}

BOOL MDL_GetOption(ModelContext *context, WORD id, WORD n, DddOptionDetails **details, WORD *reason)
{
    clear(reason);
    if (!details)
        return fail(reason, MDL_REASON_FAIL);
    *details = nullptr;
    if (!mdl_IsOpen(context))
        return fail(reason, MDL_REASON_FAIL);
    WORD r = DDD_GetOptionDetails(context->main, context->companion, id, n, details);
    return r == DDD_OK ? TRUE : fail_with(reason, r);
}

BOOL MDL_FreeOption(DddOptionDetails *details)
{
    DDD_FreeRecord(&details, DDD_ITEM_OPTION_DETAILS);
    return TRUE;
}

BOOL MDL_GetOptionFields(const DddOptionDetails *details, const void **value, LPCWSTR *name, WORD *type,
                         const DddImageBlob **image)
{
    if (!details)
        return FALSE;
    if (value)
        *value = details->value;
    if (name)
        *name = details->name;
    if (type)
        *type = details->valueType;
    if (image)
        *image = details->image;
    return TRUE;
}

WORD MDL_GetMaxCopies(ModelContext *context)
{
    if (!mdl_IsOpen(context))
        return 0;
    return static_cast<WORD>(DDD_GetHeaderEntryValue(context->main, 4, 2, 0));
}

BOOL MDL_HasValue(ModelContext *context, WORD id, const void *value)
{
    if (!mdl_IsOpen(context) || !value)
        return FALSE;
    WORD kind = 0;
    void *found = nullptr;
    if (DDD_LookupById(DDD_PARSE_PARTIAL, context->main, context->companion, id, value, &kind, &found) != DDD_OK)
        return FALSE;
    /* The model name is not a value of a setting. */
    BOOL known = kind != DDD_KIND_HEADER;
    DDD_FreeRecord(&found, known ? -1 : 0);
    return known;
}

BOOL MDL_GetValueTarget(ModelContext *context, WORD id, const void *value, ModelRecord **record, WORD *kind,
                        WORD *reason)
{
    clear(reason);
    if (kind)
        *kind = 0;
    if (!record)
        return fail(reason, MDL_REASON_FAIL);
    *record = nullptr;
    if (!mdl_IsOpen(context) || !value)
        return fail(reason, MDL_REASON_FAIL);
    WORD foundKind = 0;
    void *found = nullptr;
    WORD r = DDD_LookupById(DDD_PARSE_PARTIAL, context->main, context->companion, id, value, &foundKind, &found);
    if (r != DDD_OK)
        return fail_with(reason, r);
    if (foundKind != DDD_KIND_DEVICE_OPTION && foundKind != DDD_KIND_DOCUMENT_OPTION) {
        /* Only an option stands for another record. */
        DDD_FreeRecord(&found, foundKind == DDD_KIND_HEADER ? 0 : -1);
        return fail(reason, MDL_REASON_FAIL);
    }
    auto *option = static_cast<ModelRecord *>(found);
    WORD targetKind = 0;
    r = DDD_GetOptionTarget(DDD_PARSE_FULL, context->main, context->companion, option, &targetKind, record);
    DDD_FreeRecord(&option, -1);
    if (r != DDD_OK)
        return fail_with(reason, r);
    if (kind)
        *kind = targetKind;
    return TRUE;
}

BOOL MDL_FreeRecord(ModelRecord *record)
{
    return DDD_FreeRecord(&record, -1) == DDD_OK;
}

BOOL MDL_GetDefaultRaw(ModelContext *context, WORD id, void **value, WORD *reason)
{
    clear(reason);
    if (!value)
        return fail(reason, MDL_REASON_FAIL);
    *value = nullptr;
    if (!mdl_IsOpen(context))
        return fail(reason, MDL_REASON_FAIL);
    WORD type = 0;
    WORD r = DDD_GetDefaultById(context->main, context->companion, id, value, &type);
    return r == DDD_OK ? TRUE : fail_with(reason, r);
}

BOOL MDL_GetModelName(ModelContext *context, LPWSTR *name, WORD *reason)
{
    clear(reason);
    if (!name)
        return fail(reason, MDL_REASON_FAIL);
    *name = nullptr;
    if (!mdl_IsOpen(context))
        return fail(reason, MDL_REASON_FAIL);
    WORD kind = 0;
    void *found = nullptr;
    WORD r = DDD_LookupById(DDD_PARSE_PARTIAL, context->main, context->companion, MDL_ID_MODEL_NAME, nullptr, &kind,
                            &found);
    if (r != DDD_OK)
        return fail_with(reason, r);
    *name = static_cast<LPWSTR>(found);
    return TRUE;
}

WORD MDL_GetColourSupport(ModelContext *context)
{
    DWORD stored = mdl_IsOpen(context) ? DDD_GetHeaderEntryValue(context->main, 5, 1, 0) : 0;
    if (stored == 0)
        return 0xFFFF;
    return stored == 2 ? 2 : 1;
}

int MDL_GetEntry7(ModelContext *context)
{
    BYTE value = 0;
    if (!mdl_IsOpen(context) || DDD_ReadHeaderEntry(context->main, 7, 1, 0, &value) != DDD_OK)
        return -1;
    return value;
}
