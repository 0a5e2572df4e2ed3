/*
 * The model's preset favourites: each option of the pseudo setting 36888
 * but the last names a preset ("name", CR, "comment") and a record of kind
 * 21 whose settings are applied over the defaults; the presets are written
 * as favourites with "Flag" 0, reusing the number of a listed preset of the
 * same name.
 */
#include "fav_store.h"

#include <tarvel/model_data/mdl_context.h>
#include <tarvel/model_data/model_records.h>
#include <tarvel/settings/dmb_binding.h>
#include <tarvel/settings/fid_defaults.h>
#include <tarvel/settings/fid_value.h>

#include <plat/memory.h>
#include <plat/text.h>

#include <cstring>
#include <string>

namespace {

/* Splits an option's text at its last carriage return: the name (cut to 127 characters) and the comment. */
void splitText(LPCWSTR text, std::u16string &name, std::u16string &comment)
{
    const std::u16string all = text ? std::u16string(text) : std::u16string();
    const size_t cr = all.rfind(u'\r');
    name = cr == std::u16string::npos ? all : all.substr(0, cr);
    comment = cr == std::u16string::npos ? std::u16string() : all.substr(cr + 1);
    if (name.size() >= FAV_NAME_CHARS)
        name.resize(FAV_NAME_CHARS - 1);
}

/* Applies every setting of preset record `id` to `image`. */
bool applyPreset(ModelContext *context, WORD id, BYTE *image)
{
    ModelRecord *preset = nullptr;
    if (DDD_GetRecordById(DDD_PARSE_FULL, context->main, context->companion, DDD_KIND_PRESET, id, 0, &preset) !=
            DDD_OK ||
        !preset)
        return false;
    WORD count = 0;
    bool ok = DDD_PresetCount(preset, &count) == DDD_OK;
    for (WORD n = 1; ok && n <= count; ++n) {
        WORD setting = 0, type = 0;
        DWORD length = 0;
        const void *value = nullptr;
        ok = DDD_PresetGetSetting(preset, n, &setting, &type, &length, &value) == DDD_OK && value;
        if (!ok)
            break;
        if (type == 6) {
            /* Strings go as a pointer to the string, sized with their terminator. */
            auto text = static_cast<LPCWSTR>(value);
            ok = DMB_SetValue(setting, image, nullptr, type, LONG((plat::wlen(text) + 1) * sizeof(WCHAR)), &text) == 0;
        } else {
            BYTE slot[FID_SLOT_SIZE] = {};
            std::memcpy(slot, value, length < FID_SLOT_SIZE ? length : FID_SLOT_SIZE);
            ok = DMB_SetValue(setting, image, nullptr, type, LONG(length), slot) == 0;
        }
    }
    DDD_FreeRecord(&preset, DDD_KIND_PRESET);
    return ok;
}

/* Makes preset option `k` and writes it; false when anything fails. */
bool makePreset(HANDLE printer, ModelContext *context, WORD k, const BYTE *defaults, BYTE *image, WORD *array,
                DWORD capacity, DWORD *used)
{
    DddOptionDetails *details = nullptr;
    if (!MDL_GetOption(context, FAV_PRESET_SETTING, k, &details, nullptr))
        return false;
    const void *value = nullptr;
    LPCWSTR text = nullptr;
    WORD type = 0;
    bool ok = MDL_GetOptionFields(details, &value, &text, &type, nullptr) && value;
    std::u16string name, comment;
    WORD recordId = 0;
    if (ok) {
        splitText(text, name, comment);
        recordId = WORD(FID_ReadValueAsUInt(value, type));
    }
    MDL_FreeOption(details);
    if (!ok)
        return false;
    std::memcpy(image, defaults, FAV_IMAGE_SIZE);
    if (!applyPreset(context, recordId, image))
        return false;
    int number = FAV_FindPresetByName(printer, context, image, array, capacity, name.c_str(), FAV_FLAG_PRESET);
    if (number < 0) {
        number = FAV_FindFreeIndex(array, capacity);
        if (number < 0)
            return false;
        array[(*used)++] = WORD(number);
    }
    const DWORD flag = FAV_FLAG_PRESET;
    return FAV_WriteEntry(printer, context, number, image, name.c_str(), comment.c_str(), &flag);
}

} // namespace

BOOL FAV_CreatePresets(HANDLE printer, ModelContext *context, LPCWSTR printerName, WORD *array, DWORD capacity)
{
    if (!context || !array)
        return FALSE;
    DWORD used = FAV_CountUsed(array, capacity);
    auto *defaults = static_cast<BYTE *>(GlobalAlloc(GPTR, FAV_IMAGE_SIZE));
    auto *image = static_cast<BYTE *>(GlobalAlloc(GPTR, FAV_IMAGE_SIZE));
    bool ok = defaults && image && FID_InitDefaults(context, defaults, nullptr, printerName);
    WORD options = 0, reason = 0;
    ModelRecord *feature = nullptr;
    if (ok && !MDL_GetFeatureInfo(context, FAV_PRESET_SETTING, &feature, nullptr, &options, nullptr, &reason)) {
        /* A model without presets has none to make; any other failure fails. */
        ok = reason == MDL_REASON_NOT_IN_MODEL;
        options = 0;
    }
    MDL_FreeRecord(feature);
    /* The last option is not a preset. */
    for (WORD k = 1; ok && options >= 2 && k < options; ++k)
        ok = makePreset(printer, context, k, defaults, image, array, capacity, &used);
    GlobalFree(defaults);
    GlobalFree(image);
    if (!ok)
        return FALSE;
    /* A full array has no room for the end mark: readers stop at the capacity. */
    if (used < capacity)
        array[used] = 0;
    return FAV_WriteUserIndex(printer, context, array, capacity);
}
