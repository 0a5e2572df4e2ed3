/*
 * Model defaults and option details.  The default of a setting is the value
 * of its feature's default option, read in place (no record is parsed),
 * then adjusted by the locale rules: papers of the Letter region,
 * the country's paper series and 8K/16K defaults, the work folder and the
 * layout variant that follows the user-interface language.
 */
#include "mdl_internal.h"

#include <tarvel/base/res_text.h>
#include <tarvel/model_data/paper_rules.h>

#include <plat/memory.h>

#include <cstring>

namespace {

/* Setting identifiers with a locale rule. */
constexpr WORD kPaperSize = 8;
constexpr WORD kSecondPaper = 327;
constexpr WORD kMarginPaper = 1824;
constexpr WORD kPaperList = 1883;
constexpr WORD kPaperSeries = 4356;
constexpr WORD kPaper8K16K = 4358;
constexpr WORD kWorkFolder = 1829;
constexpr WORD kLayoutVariant = 1804;

/* Codes the rules write. */
constexpr WORD kLetter = 1;
constexpr WORD kTabloid = 3;
constexpr int kJapanese = 1041;

/* Capabilities the rules test. */
constexpr DWORD kCapLetterRegion = 1u << 22; /* a mask on word 0 */
constexpr DWORD kCapPaperSeries = MDL_CAP_BIT(32);
constexpr DWORD kCapCountry8K16K = MDL_CAP_BIT(33);
constexpr DWORD kCapFoldSeries = MDL_CAP_BIT(39);

bool is_feature_kind(WORD kind)
{
    return kind == DDD_KIND_DEVICE_FEATURE || kind == DDD_KIND_DOCUMENT_FEATURE;
}

/* The value of the default option of a feature, read in place. */
WORD read_default_value(ModelFileReader *main, ModelFileReader *companion, WORD kind, WORD recordId, DddValue *out)
{
    WORD featureSelector = 0;
    WORD r = DDD_SeekRecord(0, main, companion, DDD_SEL_MAIN, kind, recordId, &featureSelector);
    if (r != DDD_OK)
        return r;
    /* Feature layout: head, name, 8-bit kind, default option number, value, option list. */
    ModelFileReader *f = ddd_ReaderForSelector(main, companion, featureSelector);
    WORD nameLength = 0, defaultOption = 0, count = 0, optionId = 0;
    if (ddd_Skip(f, DDD_RECORD_HEAD_SIZE) != DDD_OK || ddd_ReadU16(f, &nameLength) != DDD_OK ||
        ddd_Skip(f, nameLength + 1u) != DDD_OK || ddd_ReadU16(f, &defaultOption) != DDD_OK ||
        ddd_Skip(f, 2u + 4u) != DDD_OK || ddd_ReadU16(f, &count) != DDD_OK)
        return DDD_ERR_FAIL;
    if (defaultOption == 0 || defaultOption > count)
        return DDD_ERR_FAIL;
    if (ddd_Skip(f, 2u * (defaultOption - 1u)) != DDD_OK || ddd_ReadU16(f, &optionId) != DDD_OK)
        return DDD_ERR_FAIL;
    const WORD optionKind = kind == DDD_KIND_DEVICE_FEATURE ? DDD_KIND_DEVICE_OPTION : DDD_KIND_DOCUMENT_OPTION;
    WORD optionSelector = 0;
    r = DDD_SeekRecord(0, main, companion, featureSelector, optionKind, optionId, &optionSelector);
    if (r != DDD_OK)
        return r;
    return ddd_ReadOptionValueInPlace(ddd_ReaderForSelector(main, companion, optionSelector), out);
}

/* The work folder path with its "\" as a new block of the model allocator, or null. */
LPWSTR work_folder_path()
{
    LPWSTR path = RES_AllocWorkFolderPath();
    if (!path)
        return nullptr;
    LPWSTR copy = ddd_DupString(path, nullptr);
    GlobalFree(path);
    return copy;
}

/* Applies the locale rules to a default value block (never null here). */
void apply_locale_rules(ModelFileReader *main, WORD id, void *value)
{
    switch (id) {
    case kPaperSize:
    case kSecondPaper:
    case kMarginPaper:
    case kPaperList:
        if (MDL_HasCapability(main, kCapLetterRegion) && UTL_GetDefaultPaperRegion(TRUE) == UTL_REGION_LETTER)
            plat::store<WORD>(value, id == kSecondPaper ? kTabloid : kLetter);
        break;
    case kPaperSeries:
        if (MDL_HasCapability(main, kCapPaperSeries)) {
            BYTE a = UTL_GetCountryValueA(MDL_HasCapability(main, kCapFoldSeries));
            if (a != UTL_COUNTRY_UNKNOWN)
                *static_cast<BYTE *>(value) = a;
        }
        break;
    case kPaper8K16K:
        if (MDL_HasCapability(main, kCapCountry8K16K)) {
            BYTE b = UTL_GetCountryValueB();
            if (b != UTL_COUNTRY_UNKNOWN)
                *static_cast<BYTE *>(value) = b;
        }
        break;
    case kLayoutVariant: {
        int language = 0;
        if (RES_GetResourceLanguage(&language) && language != kJapanese)
            *static_cast<BYTE *>(value) = 1;
        break;
    }
    default:
        break;
    }
}

} // namespace

WORD ddd_CopyValue(const DddValue *value, void **out)
{
    *out = nullptr;
    if (!value->data)
        return DDD_OK;
    if (value->type == DDD_VT_STRING) {
        *out = ddd_DupString(static_cast<LPCWSTR>(value->data), nullptr);
        return *out ? DDD_OK : DDD_ERR_NO_MEMORY;
    }
    void *block = mdl_Alloc(value->length < 4 ? 4 : value->length);
    if (!block)
        return DDD_ERR_NO_MEMORY;
    std::memcpy(block, value->data, value->length);
    *out = block;
    return DDD_OK;
}

WORD ddd_TakeValue(DddValue *value, void **out)
{
    *out = nullptr;
    /* Owned values are strings and 4-byte numbers: hand the block over as it is. */
    if (value->owned && value->data) {
        *out = value->data;
        value->data = nullptr;
        value->owned = 0;
        return DDD_OK;
    }
    return ddd_CopyValue(value, out);
}

WORD DDD_ReadFeatureDefault(ModelFileReader *main, ModelFileReader *companion, WORD id, void **value, WORD *type)
{
    if (!value || !type)
        return DDD_ERR_FAIL;
    *value = nullptr;
    *type = 0;
    if (!ddd_IsLoaded(main))
        return DDD_ERR_FAIL;
    WORD kind = 0, recordId = 0;
    DDD_MapIdToKind(id, 0, &kind, &recordId);
    if (!is_feature_kind(kind))
        return DDD_ERR_FAIL;
    if (recordId == 0)
        return DDD_ERR_NOT_FOUND;
    DddValue v{};
    WORD r = read_default_value(main, companion, kind, recordId, &v);
    if (r != DDD_OK)
        return r;
    r = ddd_TakeValue(&v, value);
    if (r == DDD_OK)
        *type = v.type;
    ddd_FreeValue(&v);
    return r;
}

WORD DDD_GetDefaultById(ModelFileReader *main, ModelFileReader *companion, WORD id, void **value, WORD *type)
{
    WORD r = DDD_ReadFeatureDefault(main, companion, id, value, type);
    if (r != DDD_OK)
        return r;
    if (id == kWorkFolder) {
        /*
         * The model's value stands for the work folder, which only the system
         * knows.  Without one the setting has no default to give.
         */
        mdl_Free(*value);
        *value = work_folder_path();
        if (!*value) {
            *type = 0;
            return DDD_ERR_FAIL;
        }
        *type = DDD_VT_STRING;
        return DDD_OK;
    }
    if (*value)
        apply_locale_rules(main, id, *value);
    return DDD_OK;
}

WORD DDD_GetOptionDetails(ModelFileReader *main, ModelFileReader *companion, WORD id, WORD n,
                          DddOptionDetails **details)
{
    if (!details)
        return DDD_ERR_FAIL;
    *details = nullptr;
    WORD kind = 0;
    ModelRecord *rec = nullptr;
    WORD r = DDD_OK;
    if (n > 0) {
        r = DDD_GetOptionByIndex(DDD_PARSE_PARTIAL, main, companion, id, n, &kind, &rec);
    } else {
        void *found = nullptr;
        r = DDD_LookupById(DDD_PARSE_PARTIAL, main, companion, id, nullptr, &kind, &found);
        if (r == DDD_OK && kind == DDD_KIND_HEADER) {
            /* The model name is not a record. */
            DDD_FreeRecord(&found, 0);
            return DDD_ERR_FAIL;
        }
        rec = static_cast<ModelRecord *>(found);
    }
    if (r != DDD_OK)
        return r;

    auto *d = reinterpret_cast<DddOptionDetails *>(DDD_AllocRecord(main, DDD_ITEM_OPTION_DETAILS));
    if (!d) {
        DDD_FreeRecord(&rec, -1);
        return DDD_ERR_NO_MEMORY;
    }
    if (LPCWSTR name = DDD_GetRecordName(rec)) {
        d->name = ddd_DupString(name, nullptr);
        if (!d->name)
            r = DDD_ERR_NO_MEMORY;
    }
    if (r == DDD_OK) {
        switch (kind) {
        case DDD_KIND_DEVICE_OPTION:
        case DDD_KIND_DOCUMENT_OPTION: {
            const DddValue &setting = reinterpret_cast<DddOptionRecord *>(rec)->setting;
            r = ddd_CopyValue(&setting, &d->value);
            d->valueType = setting.type;
            break;
        }
        case DDD_KIND_TRAY:
        case DDD_KIND_TRAY2:
        case DDD_KIND_PAPER:
            d->value = mdl_Alloc(4);
            if (d->value)
                plat::store<WORD>(d->value, rec->id);
            else
                r = DDD_ERR_NO_MEMORY;
            d->valueType = DDD_VT_USHORT;
            break;
        default:
            break;
        }
    }
    if (r == DDD_OK && (is_feature_kind(kind) || kind == DDD_KIND_DEVICE_OPTION || kind == DDD_KIND_DOCUMENT_OPTION)) {
        WORD image = DDD_GetOptionImage(main, companion, rec, &d->image);
        if (image != DDD_OK && image != DDD_ERR_NOT_FOUND)
            r = image;
    }
    DDD_FreeRecord(&rec, -1);
    if (r != DDD_OK) {
        DDD_FreeRecord(&d, DDD_ITEM_OPTION_DETAILS);
        return r;
    }
    *details = d;
    return DDD_OK;
}

WORD DDD_GetOptionValue(ModelFileReader *main, ModelFileReader *companion, WORD id, WORD n, LPWSTR *name,
                        void **value, WORD *type)
{
    if (name)
        *name = nullptr;
    if (value)
        *value = nullptr;
    if (type)
        *type = 0;
    DddOptionDetails *d = nullptr;
    WORD r = DDD_GetOptionDetails(main, companion, id, n, &d);
    if (r != DDD_OK)
        return r;
    if (name) {
        *name = d->name;
        d->name = nullptr;
    }
    if (value) {
        *value = d->value;
        d->value = nullptr;
    }
    if (type)
        *type = d->valueType;
    DDD_FreeRecord(&d, DDD_ITEM_OPTION_DETAILS);
    return DDD_OK;
}
