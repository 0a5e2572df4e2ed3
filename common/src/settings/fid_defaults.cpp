/*
 * The default chain of a setting (descriptor constant, descriptor handler,
 * model data, then the per-model configuration file), storing and freeing
 * defaults, and filling a fresh settings image and printer-data record.
 */
#include "tarvel/settings/fid_defaults.h"

#include "tarvel/model_data/cfg_model.h"
#include "tarvel/model_data/mdl_context.h"
#include "tarvel/setting_layout.h"
#include "tarvel/settings/dmb_binding.h"
#include "tarvel/settings/fid_value.h"

#include <plat/memory.h>
#include <plat/text.h>

#include <cstring>

namespace {

/* The constant of a descriptor, or null when none stands. */
const SettingConstDefault *standing_constant(const SettingDescriptor *d)
{
    return (d->constant != nullptr && (d->constant->use & 1) != 0) ? d->constant : nullptr;
}

/* The default held by a constant record. */
BOOL constant_default(const SettingConstDefault *c, void *slot, WORD *type, LONG *size)
{
    if (c->type == SVT_WSTRING) {
        const LONG length = c->length < 0 ? 0 : c->length;
        const DWORD bytes = static_cast<DWORD>(2 * length + 2);
        auto *block = static_cast<WCHAR *>(GlobalAlloc(GPTR, bytes));
        if (block == nullptr)
            return FALSE;
        if (c->text != nullptr)
            lstrcpynW(block, c->text, length + 1);
        FID_SetSlotPointer(slot, block);
        *type = SVT_WSTRING;
        *size = static_cast<LONG>(bytes);
        return TRUE;
    }
    std::memset(slot, 0, FID_SLOT_SIZE);
    const ULONGLONG value = c->value;
    std::memcpy(slot, &value, sizeof value);
    *type = c->type;
    *size = FID_ValueSize(slot, c->type, c->length);
    return TRUE;
}

/*
 * The model's default.  A string is copied into a block of its own, so that
 * every default string is freed the same way (FID_FreeDefault).
 */
BOOL model_default(ModelContext *context, WORD id, void *slot, WORD *type, LONG *size, WORD *reason)
{
    ULONG_PTR value = 0;
    WORD modelType = 0, modelReason = FID_REASON_FAIL;
    if (!MDL_GetDefaultValue(context, id, &value, &modelType, &modelReason)) {
        *reason = modelReason == FID_REASON_NOT_IN_MODEL ? FID_REASON_NOT_IN_MODEL : FID_REASON_FAIL;
        return FALSE;
    }
    std::memset(slot, 0, FID_SLOT_SIZE);
    if (modelType == SVT_WSTRING) {
        const auto *text = reinterpret_cast<const WCHAR *>(value);
        const size_t chars = plat::wlen(text);
        auto *block = static_cast<WCHAR *>(GlobalAlloc(GPTR, 2 * chars + 2));
        if (block != nullptr && text != nullptr)
            std::memcpy(block, text, 2 * chars);
        MDL_FreeValue(value, modelType);
        if (block == nullptr)
            return FALSE;
        FID_SetSlotPointer(slot, block);
    } else {
        const DWORD number = static_cast<DWORD>(value);
        std::memcpy(slot, &number, sizeof number);
    }
    *type = modelType;
    *size = FID_ValueSize(slot, modelType, -1);
    *reason = FID_REASON_OK;
    return TRUE;
}

/* Whether a group of record kind `kind` can be written with the records given. */
bool record_given(WORD kind, const void *image, const void *printerData)
{
    return kind == SRK_PRINTERDATA ? printerData != nullptr : image != nullptr;
}

} // namespace

BOOL FID_GetDefaultChain(ModelContext *context, void *printerData, LPCWSTR printerName,
                         const SettingDescriptorRow *row, void *slot, WORD *type, LONG *size, WORD *reason)
{
    WORD localReason = FID_REASON_FAIL;
    WORD *why = reason != nullptr ? reason : &localReason;
    *why = FID_REASON_FAIL;
    if (row == nullptr || slot == nullptr || type == nullptr || size == nullptr)
        return FALSE;

    BOOL ok = FALSE;
    const SettingDescriptor *d = row->descriptor;
    if (d != nullptr && (d->flags & FID_DESC_DEFAULT) != 0) {
        if (const SettingConstDefault *c = standing_constant(d)) {
            ok = constant_default(c, slot, type, size);
        } else if (d->handler != nullptr) {
            FidDefaultArgs args{printerData, printerName, type, slot, size};
            ok = d->handler(context, FID_OP_DEFAULT, row->id, &args);
        }
        if (ok)
            *why = FID_REASON_OK;
    } else {
        ok = model_default(context, row->id, slot, type, size, why);
    }

    /* The configuration file's default or enforced value has the last word. */
    if (ok && context != nullptr && CFG_GetSpecialValue(row->id, context->specials, slot, *type))
        *size = FID_ValueSize(slot, *type, -1);
    return ok;
}

int FID_GetDefault(ModelContext *context, WORD id, WORD *type, LONG *size, void *slot)
{
    const SettingDescriptorRow *row = FID_FindDescriptor(id);
    if (row == nullptr)
        return FID_DEFAULT_FAILED;
    WORD reason = FID_REASON_FAIL;
    if (FID_GetDefaultChain(context, nullptr, nullptr, row, slot, type, size, &reason))
        return FID_DEFAULT_FOUND;
    return reason == FID_REASON_NOT_IN_MODEL ? FID_DEFAULT_NOT_IN_MODEL : FID_DEFAULT_FAILED;
}

BOOL FID_FreeDefault(const SettingDescriptorRow *, void *slot, WORD type)
{
    if (slot == nullptr)
        return TRUE;
    if (type == SVT_WSTRING || type == SVT_LOGFONT) {
        void *block = nullptr;
        std::memcpy(&block, slot, sizeof block);
        if (block != nullptr)
            GlobalFree(block);
        std::memset(slot, 0, FID_SLOT_SIZE);
    }
    return TRUE;
}

BOOL FID_FreeDefaultById(WORD id, void *slot, WORD type)
{
    const SettingDescriptorRow *row = FID_FindDescriptor(id);
    if (row == nullptr)
        return FALSE;
    return FID_FreeDefault(row, slot, type);
}

BOOL FID_StoreValue(WORD id, void *devmode, void *printerData, LONG size, WORD type, const void *slot)
{
    if (slot == nullptr)
        return FALSE;
    if (size == -1)
        size = FID_ValueSize(slot, type, -1);
    return DMB_SetValue(id, devmode, printerData, type, size, slot) == DMA_OK;
}

BOOL FID_InitDefaults(ModelContext *context, void *image, void *printerData, LPCWSTR printerName)
{
    if (image != nullptr)
        std::memset(image, 0, SETTINGS_IMAGE_SIZE);
    if (printerData != nullptr)
        std::memset(printerData, 0, SETTINGS_PRINTERDATA_SIZE);

    BOOL result = TRUE;
    for (DWORD group = 0; group < FID_SCHEMA_GROUP_COUNT; ++group) {
        const SettingDescriptorRow *rows = nullptr;
        WORD count = 0, kind = 0;
        if (!FID_GetGroup(group, &rows, &count, &kind))
            return FALSE;
        if (!record_given(kind, image, printerData) || count == 0)
            continue;
        for (WORD i = 0; i < count; ++i) {
            ULONGLONG slot = 0;
            WORD type = 0, reason = FID_REASON_FAIL;
            LONG size = 0;
            if (!FID_GetDefaultChain(context, printerData, printerName, &rows[i], &slot, &type, &size, &reason)) {
                if (reason == FID_REASON_NOT_IN_MODEL) {
                    result = TRUE;
                    continue;
                }
                result = FALSE;
                break;
            }
            result = FID_StoreValue(rows[i].id, image, printerData, size, type, &slot);
            if (!FID_FreeDefault(&rows[i], &slot, type))
                result = FALSE;
            if (!result)
                break;
        }
    }
    return result;
}

BOOL FID_ResetToDefault(ModelContext *context, void *devmode, void *printerData, WORD id)
{
    ULONGLONG slot = 0;
    WORD type = 0;
    LONG size = 0;
    if (FID_GetDefault(context, id, &type, &size, &slot) != FID_DEFAULT_FOUND)
        return TRUE;
    const BOOL stored = FID_StoreValue(id, devmode, printerData, -1, type, &slot);
    FID_FreeDefault(FID_FindDescriptor(id), &slot, type);
    return stored;
}
