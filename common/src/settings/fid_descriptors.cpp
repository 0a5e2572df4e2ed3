/*
 * The built-in descriptors of the settings schema and their handlers: the
 * defaults and value checks of the public devmode fields, the record
 * headers, the stamp font and the custom paper slots.  A handler answers
 * operation 1 (default), 2 (check with the model) and 16 (check without
 * it) as its descriptor's table says, and 0 to every other operation.  The
 * handlers of 8, 12, 298, 305 and 358 also build their option lists
 * (operation 4 the header, operation 8 one item, tarvel/settings/opt_list.h).
 */
#include "fid_descriptors.h"

#include "opt_internal.h"

#include "tarvel/base/res_text.h"
#include "tarvel/base/util_system.h"
#include "tarvel/model_data/mdl_context.h"
#include "tarvel/setting_layout.h"
#include "tarvel/settings/dmb_binding.h"
#include "tarvel/settings/dme_mapping.h"
#include "tarvel/settings/fid_defaults.h"
#include "tarvel/settings/fid_value.h"
#include "tarvel/settings/opt_list.h"
#include "tarvel/settings/ppr_paper.h"
#include "tarvel/stores/stp_builtin.h"

#include <plat/memory.h>
#include <plat/resource.h>
#include <plat/text.h>

#include <cstring>

namespace {

/* Field sizes of the string defaults, in bytes, and the characters they hold. */
constexpr DWORD kNameField = 64;      /* dmDeviceName, dmFormName, model name, face names */
constexpr int kNameChars = 31;
constexpr DWORD kStampNameField = 66; /* setting 298 */
constexpr DWORD kCustomNameField = 30; /* settings 5929-5948 */

/* The paper whose size the custom slots start with (A4). */
constexpr SHORT kCustomSlotPaper = 9;

/* Settings read by the handlers. */
constexpr WORD kIdColourMode = 270;
constexpr WORD kIdEconomy = 345;
constexpr WORD kIdFormsMerge = 5201;
constexpr WORD kIdPaperSize = 8;

/* ---- Building a default ------------------------------------------------- */

/* A number default of `type`. */
BOOL put_number(void *args, WORD type, DWORD value)
{
    auto *a = static_cast<FidDefaultArgs *>(args);
    if (a == nullptr || a->slot == nullptr || a->type == nullptr || a->size == nullptr)
        return FALSE;
    std::memset(a->slot, 0, FID_SLOT_SIZE);
    const LONG size = FID_ValueSize(&value, type, -1);
    std::memcpy(a->slot, &value, static_cast<size_t>(size));
    *a->type = type;
    *a->size = size;
    return TRUE;
}

/*
 * A string default: a zero-filled block of `field` bytes (or, for 0, just
 * large enough) holding at most `maxChars` characters of `text`.  The size
 * handed out is the field's size, or 2 x characters + 2 without a field.
 */
BOOL put_text(void *args, LPCWSTR text, DWORD field, int maxChars)
{
    auto *a = static_cast<FidDefaultArgs *>(args);
    if (a == nullptr || a->slot == nullptr || a->type == nullptr || a->size == nullptr || text == nullptr)
        return FALSE;
    size_t chars = plat::wlen(text);
    if (chars > static_cast<size_t>(maxChars))
        chars = static_cast<size_t>(maxChars);
    const DWORD bytes = field != 0 ? field : static_cast<DWORD>(2 * chars + 2);
    auto *block = static_cast<WCHAR *>(GlobalAlloc(GPTR, bytes));
    if (block == nullptr)
        return FALSE;
    std::memcpy(block, text, chars * sizeof(WCHAR));
    FID_SetSlotPointer(a->slot, block);
    *a->type = SVT_WSTRING;
    *a->size = static_cast<LONG>(bytes);
    return TRUE;
}

/* A string default taken over from a model string, which is freed here. */
BOOL put_model_text(void *args, LPWSTR text)
{
    const BOOL ok = text != nullptr && put_text(args, text, 0, kNameChars);
    if (text != nullptr)
        GlobalFree(text);
    return ok;
}

/* ---- Reading a value under test ----------------------------------------- */

/* The arguments of a check (operation 2 or 16); null for another operation or missing arguments. */
const FidCheckArgs *check_args(WORD operation, void *args)
{
    auto *a = static_cast<const FidCheckArgs *>(args);
    const bool check = operation == FID_OP_CHECK_MODEL || operation == FID_OP_CHECK;
    return (check && a != nullptr && a->slot != nullptr) ? a : nullptr;
}

SHORT as_short(const FidCheckArgs *a)
{
    return FID_ReadValueAsShort(a->slot, SVT_INT16);
}

DWORD as_uint(const FidCheckArgs *a, WORD type)
{
    return FID_ReadValueAsUInt(a->slot, type);
}

/* The model knows the value under test for setting `id`. */
BOOL model_has(ModelContext *context, WORD id, const FidCheckArgs *a)
{
    return context != nullptr && MDL_HasValue(context, id, a->slot);
}

/*
 * An application's value of item `item` is taken as it stands: the mapping
 * description came from the configuration file, forms merging (5201) is on
 * and the item's merge value is 1.
 */
BOOL mapping_takes_value(ModelContext *context, const FidCheckArgs *a, int item)
{
    if (context == nullptr || DME_IsConfigured(context->dme) == 0)
        return FALSE;
    WORD type = 0;
    LONG size = 0;
    ULONGLONG slot = 0;
    if (DMB_GetValue(kIdFormsMerge, a->devmode, a->printerData, &type, &size, &slot) != DMA_OK ||
        FID_ReadValueAsUInt(&slot, type) == 0)
        return FALSE;
    SHORT merge = 0;
    return DME_GetMerge(context->dme, item, &merge) == 1 && merge == 1;
}

/* The ICM fields accept any value on the older classes 0x101 and 0x201, else 1-4. */
BOOL icm_value_valid(const FidCheckArgs *a)
{
    int osClass = 0;
    if (UTL_GetOsVersionClass(&osClass) != 1)
        return FALSE;
    if (osClass == UTL_OS_9X_40 || osClass == UTL_OS_NT_4)
        return TRUE;
    const DWORD v = as_uint(a, SVT_UINT32);
    return v >= 1 && v <= 4;
}

/* ---- Option lists (operations 4 and 8) ------------------------------------ */

/* Text of the "no stamp" item of the stamp-name list. */
constexpr UINT kStrNoStamp = 426;

FidListFillArgs *list_args(void *args)
{
    return static_cast<FidListFillArgs *>(args);
}

/* Operation 4: the header's UI kind and count. */
BOOL list_header(void *args, WORD kind, LONG count)
{
    FidListFillArgs *a = list_args(args);
    if (a == nullptr || a->list == nullptr)
        return FALSE;
    a->list->uiKind = kind;
    a->list->count = count;
    return TRUE;
}

/* Operation 8: an item whose text is copied into the record. */
BOOL list_item(FidListFillArgs *a, LPCWSTR text, WORD type, const void *value)
{
    if (text == nullptr)
        return FALSE;
    lstrcpynW(a->textBuffer, text, FID_LIST_TEXT_CHARS);
    a->text = a->textBuffer;
    a->type = type;
    a->value = 0;
    if (type == SVT_WSTRING)
        FID_SetSlotPointer(&a->value, value);
    else
        FID_CopyValue(type, &a->value, value);
    return TRUE;
}

/* The n-th (0-based) name of a double-NUL name list, or null. */
LPCWSTR nth_name(LPCWSTR names, LONG n)
{
    for (LONG i = 0; names != nullptr && *names != 0; ++i) {
        if (i == n)
            return names;
        names += plat::wlen(names) + 1;
    }
    return nullptr;
}

/* Operations 4 and 8 of 305 and 358: the strings of the caller's array. */
BOOL list_of_strings(WORD operation, void *args)
{
    FidListFillArgs *a = list_args(args);
    const auto *strings = a != nullptr ? static_cast<const FidStringArray *>(a->callerData) : nullptr;
    if (strings == nullptr || strings->count <= 0 || strings->strings == nullptr)
        return FALSE;
    if (operation == FID_OP_LIST_HEADER)
        return list_header(args, OPT_KIND_LIST, strings->count);
    if (a->index < 0 || a->index >= strings->count)
        return FALSE;
    LPCWSTR s = strings->strings[a->index];
    return list_item(a, s, SVT_WSTRING, s);
}

/* Operations 4 and 8 of 298: "None", then the stamp names the list builder read. */
BOOL list_of_stamps(WORD operation, void *args)
{
    FidListFillArgs *a = list_args(args);
    if (a == nullptr || a->callerRecord == nullptr)
        return FALSE;
    LPCWSTR names = a->callerRecord->stampNames;
    if (operation == FID_OP_LIST_HEADER) {
        LONG count = 0;
        while (nth_name(names, count) != nullptr)
            ++count;
        return list_header(args, OPT_KIND_LIST, count + 1);
    }
    if (a->index == 0) {
        WCHAR none[FID_LIST_TEXT_CHARS] = {};
        return LoadStringW(a->resources, kStrNoStamp, none, FID_LIST_TEXT_CHARS) > 0 &&
               list_item(a, none, SVT_WSTRING, u"");
    }
    LPCWSTR name = nth_name(names, a->index - 1);
    return name != nullptr && list_item(a, name, SVT_WSTRING, name);
}

/*
 * Operations 4 and 8 of 8: the papers of the context's paper list when it
 * merges the spooler's forms, else the model's paper-size options.
 */
BOOL list_of_papers(ModelContext *context, WORD operation, WORD id, void *args)
{
    FidListFillArgs *a = list_args(args);
    if (a == nullptr || context == nullptr)
        return FALSE;
    const bool merged = PPR_HasPaperList(context) != 0;
    if (operation == FID_OP_LIST_HEADER) {
        ModelRecord *record = nullptr;
        WORD kind = 0, count = 0, reason = 0;
        LPCWSTR title = nullptr;
        if (a->list == nullptr || !MDL_GetFeatureInfo(context, id, &record, &kind, &count, &title, &reason))
            return FALSE;
        a->list->title = opt_CopyText(title);
        MDL_FreeRecord(record);
        if (title != nullptr && a->list->title == nullptr)
            return FALSE;
        if (merged && PPR_GetPaperCount(context, &count, PPR_ALL_PAPERS) != PPR_OK)
            return FALSE;
        return list_header(args, kind, count);
    }
    if (merged) {
        ULONGLONG code = 0, name = 0;
        if (PPR_GetPaperByIndex(context, a->index, PPR_GIVE_CODE, &code) != PPR_OK ||
            PPR_GetPaperByIndex(context, a->index, PPR_GIVE_NAME, &name) != PPR_OK)
            return FALSE;
        const SHORT paper = SHORT(code);
        return list_item(a, reinterpret_cast<LPCWSTR>(static_cast<uintptr_t>(name)), SVT_INT16, &paper);
    }
    DddOptionDetails *details = nullptr;
    WORD reason = 0;
    if (!MDL_GetOption(context, id, WORD(a->index + 1), &details, &reason))
        return FALSE;
    const void *value = nullptr;
    LPCWSTR name = nullptr;
    WORD type = 0;
    const BOOL ok = MDL_GetOptionFields(details, &value, &name, &type, nullptr) && type != SVT_WSTRING &&
                    list_item(a, name, type, value);
    MDL_FreeOption(details);
    return ok;
}

/* Operations 4 and 8 of 12: a range from 1 to the model's maximum copies in steps of 1. */
BOOL list_of_copies(ModelContext *context, WORD operation, void *args)
{
    FidListFillArgs *a = list_args(args);
    if (a == nullptr || context == nullptr)
        return FALSE;
    if (operation == FID_OP_LIST_HEADER)
        return list_header(args, OPT_KIND_RANGE, 3);
    const SHORT values[3] = {1, SHORT(MDL_GetMaxCopies(context)), 1};
    if (a->index < 0 || a->index > 2)
        return FALSE;
    WCHAR text[16] = {};
    ULONGLONG slot = 0;
    FID_CopyValue(SVT_INT16, &slot, &values[a->index]);
    return FID_FormatValue(SVT_INT16, &slot, text, 16) != nullptr &&
           list_item(a, text, SVT_INT16, &values[a->index]);
}

bool is_list(WORD operation)
{
    return operation == FID_OP_LIST_HEADER || operation == FID_OP_LIST_ITEM;
}

/* ---- Handlers ------------------------------------------------------------ */

/* 1 dmDeviceName: the printer name, at most 31 characters, in a 64-byte field. */
BOOL h_deviceName(ModelContext *, WORD operation, WORD, void *args)
{
    if (operation != FID_OP_DEFAULT)
        return FALSE;
    auto *a = static_cast<FidDefaultArgs *>(args);
    if (a == nullptr || a->printerName == nullptr)
        return FALSE;
    return put_text(args, a->printerName, kNameField, kNameChars);
}

/* 2, 4, 5 and 258/8203: the header numbers of this driver and the values they accept. */
BOOL h_header(ModelContext *, WORD operation, WORD id, void *args)
{
    WORD value = 0;
    switch (id) {
    case 2: value = FID_DM_SPEC_VERSION; break;
    case 4: value = FID_DM_SIZE; break;
    case 5: value = FID_DM_DRIVER_EXTRA; break;
    default: value = FID_PRIVATE_VERSION; break;
    }
    if (operation == FID_OP_DEFAULT)
        return put_number(args, SVT_UINT16, value);
    const FidCheckArgs *a = operation == FID_OP_CHECK_MODEL ? check_args(operation, args) : nullptr;
    if (a == nullptr)
        return FALSE;
    const DWORD v = as_uint(a, SVT_UINT16);
    switch (id) {
    case 4: return v == FID_DM_SIZE || v == SETTINGS_DEVMODE_SIZE || v == 212;
    case 5: return v == FID_DM_DRIVER_EXTRA || v == 5700;
    default: return v == value;
    }
}

/* 6 dmFields: the fields a default devmode sets on this system. */
BOOL h_fields(ModelContext *context, WORD operation, WORD, void *args)
{
    if (operation != FID_OP_DEFAULT)
        return FALSE;
    DWORD mask = 0;
    if (!FID_GetSupportedDmFields(context, &mask, FID_USAGE_DEFAULT))
        return FALSE;
    return put_number(args, SVT_UINT32, mask);
}

/* 9 dmPaperLength and 10 dmPaperWidth: the size of the model's default paper. */
BOOL h_paperDimension(ModelContext *context, WORD operation, WORD id, void *args)
{
    if (operation != FID_OP_DEFAULT || context == nullptr)
        return FALSE;
    WORD width = 0, length = 0;
    if (!MDL_GetDefaultPaperSize(context, kIdPaperSize, &width, &length))
        return FALSE;
    return put_number(args, SVT_INT16, id == 9 ? length : width);
}

/* 19 dmFormName: the name of the model's default paper. */
BOOL h_formName(ModelContext *context, WORD operation, WORD, void *args)
{
    if (operation != FID_OP_DEFAULT || context == nullptr)
        return FALSE;
    LPWSTR name = nullptr;
    WORD reason = 0;
    if (!MDL_GetDefaultTargetName(context, kIdPaperSize, &name, &reason))
        return FALSE;
    return put_model_text(args, name);
}

/* 15 dmColor: monochrome when the defaults of 270 and 345 are both 1. */
BOOL h_color(ModelContext *context, WORD operation, WORD, void *args)
{
    if (operation == FID_OP_DEFAULT) {
        WORD type270 = 0, type345 = 0;
        LONG size = 0;
        ULONGLONG v270 = 0, v345 = 0;
        if (FID_GetDefault(context, kIdColourMode, &type270, &size, &v270) != FID_DEFAULT_FOUND)
            v270 = 0;
        if (FID_GetDefault(context, kIdEconomy, &type345, &size, &v345) != FID_DEFAULT_FOUND)
            v345 = 0;
        SHORT color = 0;
        FID_DeriveColor(type345, type270, &v345, &v270, &color);
        return put_number(args, SVT_INT16, static_cast<WORD>(color));
    }
    const FidCheckArgs *a = check_args(operation, args);
    return a != nullptr && (as_short(a) == 1 || as_short(a) == 2);
}

/* 7, 11, 16, 17, 24, 25: public fields whose default comes from the model. */
BOOL h_modelField(ModelContext *context, WORD operation, WORD id, void *args)
{
    const FidCheckArgs *a = check_args(operation, args);
    if (a == nullptr)
        return FALSE;
    const SHORT v = as_short(a);
    switch (id) {
    case 7: return v == 1 || v == 2;
    case 11: return v > 0;
    case 16: return operation == FID_OP_CHECK ? (v >= 1 && v <= 3) : model_has(context, id, a);
    case 17: return v >= 1 && v <= 4;
    default: /* 24 and 25 */
        return operation == FID_OP_CHECK ? TRUE : model_has(context, id, a);
    }
}

/* 8 dmPaperSize: checked with the model; its list is the paper list. */
BOOL h_paperSize(ModelContext *context, WORD operation, WORD id, void *args)
{
    if (is_list(operation))
        return list_of_papers(context, operation, id, args);
    const FidCheckArgs *a = operation == FID_OP_CHECK_MODEL ? check_args(operation, args) : nullptr;
    return a != nullptr && model_has(context, id, a);
}

/* 12 dmCopies: 1 by default; 1 to the model's maximum with the model, above 0 without. */
BOOL h_copies(ModelContext *context, WORD operation, WORD, void *args)
{
    if (operation == FID_OP_DEFAULT)
        return put_number(args, SVT_INT16, 1);
    if (is_list(operation))
        return list_of_copies(context, operation, args);
    const FidCheckArgs *a = check_args(operation, args);
    if (a == nullptr)
        return FALSE;
    if (operation == FID_OP_CHECK)
        return as_short(a) > 0;
    if (context == nullptr)
        return FALSE;
    const WORD v = static_cast<WORD>(as_short(a));
    return v >= 1 && v <= MDL_GetMaxCopies(context);
}

/* 13 dmDefaultSource and 18 dmCollate: the mapping description may take any value. */
BOOL h_mappedField(ModelContext *context, WORD operation, WORD id, void *args)
{
    const FidCheckArgs *a = check_args(operation, args);
    if (a == nullptr)
        return FALSE;
    if (mapping_takes_value(context, a, id == 13 ? DME_ITEM_BIN : DME_ITEM_COLLATE))
        return TRUE;
    const SHORT v = as_short(a);
    if (id == 18)
        return v == 0 || v == 1;
    return operation == FID_OP_CHECK ? v > 0 : model_has(context, id, a);
}

/* 22 dmICMMethod (default 1) and 23 dmICMIntent. */
BOOL h_icm(ModelContext *, WORD operation, WORD id, void *args)
{
    if (operation == FID_OP_DEFAULT)
        return id == 22 && put_number(args, SVT_UINT32, 1);
    const FidCheckArgs *a = check_args(operation, args);
    return a != nullptr && icm_value_valid(a);
}

/* 259: the model name; a devmode of another model does not pass. */
BOOL h_modelName(ModelContext *context, WORD operation, WORD, void *args)
{
    if (context == nullptr)
        return FALSE;
    LPWSTR name = nullptr;
    WORD reason = 0;
    if (operation == FID_OP_DEFAULT) {
        if (!MDL_GetModelName(context, &name, &reason))
            return FALSE;
        return put_model_text(args, name);
    }
    const FidCheckArgs *a = operation == FID_OP_CHECK_MODEL ? check_args(operation, args) : nullptr;
    LPCWSTR given = a != nullptr ? FID_SlotString(a->slot) : nullptr;
    if (given == nullptr || !MDL_GetModelName(context, &name, &reason))
        return FALSE;
    const BOOL same = name != nullptr && lstrcmpW(name, given) == 0;
    GlobalFree(name);
    return same;
}

/* 298 (66-byte field) and 305 (64-byte field): empty strings; lists of stamp names and of the caller's strings. */
BOOL h_emptyName(ModelContext *, WORD operation, WORD id, void *args)
{
    if (operation == FID_OP_DEFAULT)
        return put_text(args, u"", id == 298 ? kStampNameField : kNameField, kNameChars);
    if (is_list(operation))
        return id == 298 ? list_of_stamps(operation, args) : list_of_strings(operation, args);
    return FALSE;
}

/* 357: the stamps' default font; 358: its face name (listed as 305). */
BOOL h_stampFont(ModelContext *, WORD operation, WORD id, void *args)
{
    if (is_list(operation) && id == 358)
        return list_of_strings(operation, args);
    if (operation != FID_OP_DEFAULT)
        return FALSE;
    BYTE font[STP_FONT_SIZE] = {};
    STP_GetDefaultFont(font);
    if (id == 358) {
        WCHAR face[STP_LF_FACE_CHARS] = {};
        std::memcpy(face, font + STP_LF_FACENAME, sizeof face);
        face[STP_LF_FACE_CHARS - 1] = 0;
        return put_text(args, face, kNameField, kNameChars);
    }
    auto *a = static_cast<FidDefaultArgs *>(args);
    if (a == nullptr || a->slot == nullptr || a->type == nullptr || a->size == nullptr)
        return FALSE;
    void *block = GlobalAlloc(GPTR, STP_FONT_SIZE);
    if (block == nullptr)
        return FALSE;
    std::memcpy(block, font, STP_FONT_SIZE);
    FID_SetSlotPointer(a->slot, block);
    *a->type = SVT_LOGFONT;
    *a->size = static_cast<LONG>(STP_FONT_SIZE);
    return TRUE;
}

/* 439 and 463: checked with the model only. */
BOOL h_modelByte(ModelContext *context, WORD operation, WORD id, void *args)
{
    const FidCheckArgs *a = operation == FID_OP_CHECK_MODEL ? check_args(operation, args) : nullptr;
    return a != nullptr && model_has(context, id, a);
}

/* 5889-5948: the 20 custom paper slots start as A4 with their default names. */
BOOL h_customSlot(ModelContext *context, WORD operation, WORD id, void *args)
{
    if (operation != FID_OP_DEFAULT)
        return FALSE;
    if (id >= 5929) {
        WCHAR name[kCustomNameField / sizeof(WCHAR)] = {};
        if (!RES_MakeCustomPaperName(id - 5929, name, static_cast<int>(std::size(name))))
            return FALSE;
        return put_text(args, name, kCustomNameField, static_cast<int>(std::size(name)) - 1);
    }
    if (context == nullptr)
        return FALSE;
    ULONGLONG paper = 0;
    std::memcpy(&paper, &kCustomSlotPaper, sizeof kCustomSlotPaper);
    WORD width = 0, length = 0, reason = 0;
    if (!MDL_GetPaperSizeById(context, kIdPaperSize, &paper, &width, &length, nullptr, nullptr, &reason))
        return FALSE;
    return put_number(args, SVT_UINT16, id < 5909 ? width : length);
}

/* Constant defaults. */
constexpr SettingConstDefault kVersionConstant = {1, SVT_UINT16, -1, FID_DM_DRIVER_VERSION, nullptr};
constexpr SettingConstDefault kPrinterDataSizeConstant = {1, SVT_UINT16, -1, FID_PRINTERDATA_SIZE, nullptr};
/* 439 and 463 carry a constant 0 that their flags never let stand. */
constexpr SettingConstDefault kUnusedByteConstant = {1, SVT_BYTE, -1, 0, nullptr};

constexpr DWORD kCheckBoth = FID_DESC_CHECK_MODEL | FID_DESC_CHECK;
constexpr DWORD kLists = FID_DESC_LIST_HEADER | FID_DESC_LIST_ITEM;

} // namespace

namespace fid_desc {

const SettingDescriptor deviceName = {nullptr, h_deviceName, FID_DESC_ALL};
const SettingDescriptor specVersion = {nullptr, h_header, FID_DESC_ALL};
const SettingDescriptor driverVersion = {&kVersionConstant, nullptr, FID_DESC_ALL};
const SettingDescriptor devmodeSize = {nullptr, h_header, FID_DESC_ALL};
const SettingDescriptor driverExtra = {nullptr, h_header, FID_DESC_ALL};
const SettingDescriptor fields = {nullptr, h_fields, FID_DESC_ALL};
const SettingDescriptor orientation = {nullptr, h_modelField, kCheckBoth};
const SettingDescriptor paperSize = {nullptr, h_paperSize, kLists};
const SettingDescriptor paperLength = {nullptr, h_paperDimension, FID_DESC_ALL};
const SettingDescriptor paperWidth = {nullptr, h_paperDimension, FID_DESC_ALL};
const SettingDescriptor scale = {nullptr, h_modelField, kCheckBoth};
const SettingDescriptor copies = {nullptr, h_copies, FID_DESC_ALL};
const SettingDescriptor defaultSource = {nullptr, h_mappedField, kCheckBoth};
const SettingDescriptor color = {nullptr, h_color, FID_DESC_ALL};
const SettingDescriptor duplex = {nullptr, h_modelField, FID_DESC_CHECK};
const SettingDescriptor trueTypeOption = {nullptr, h_modelField, kCheckBoth};
const SettingDescriptor collate = {nullptr, h_mappedField, kCheckBoth};
const SettingDescriptor formName = {nullptr, h_formName, FID_DESC_ALL};
const SettingDescriptor icmMethod = {nullptr, h_icm, FID_DESC_ALL};
const SettingDescriptor icmIntent = {nullptr, h_icm, kCheckBoth};
const SettingDescriptor modelPublic = {nullptr, h_modelField, 0};

const SettingDescriptor privateVersion = {nullptr, h_header, FID_DESC_ALL};
const SettingDescriptor printerDataSize = {&kPrinterDataSizeConstant, nullptr, FID_DESC_ALL};
const SettingDescriptor modelName = {nullptr, h_modelName, FID_DESC_ALL};
const SettingDescriptor stampNameList = {nullptr, h_emptyName, FID_DESC_ALL};
const SettingDescriptor faceNameList = {nullptr, h_emptyName, FID_DESC_ALL};
const SettingDescriptor stampFont = {nullptr, h_stampFont, FID_DESC_ALL};
const SettingDescriptor stampFaceName = {nullptr, h_stampFont, FID_DESC_ALL};
const SettingDescriptor modelByte = {&kUnusedByteConstant, h_modelByte, 0};
const SettingDescriptor customWidth = {nullptr, h_customSlot, FID_DESC_ALL};
const SettingDescriptor customLength = {nullptr, h_customSlot, FID_DESC_ALL};
const SettingDescriptor customName = {nullptr, h_customSlot, FID_DESC_ALL};

} // namespace fid_desc
