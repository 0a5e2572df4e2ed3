/*
 * Paper texts of option lists: a paper's name followed by its size in
 * millimetres or inches, for the user-defined size, the 20 custom paper
 * slots and the tray's own custom size.
 */
#include "opt_internal.h"

#include "tarvel/base/util_text.h"
#include "tarvel/model_data/paper_rules.h"
#include "tarvel/settings/fid_merge.h"
#include "tarvel/settings/fid_value.h"
#include "tarvel/settings/ppr_paper.h"

#include <plat/memory.h>
#include <plat/resource.h>
#include <plat/text.h>

#include <cstring>

namespace {

constexpr UINT kStrDecimalSeparator = 9241;
constexpr UINT kStrInchFormat = 9247;
constexpr UINT kStrMillimetreFormat = 703;
constexpr UINT kStrNameSeparator = 2009;

constexpr WORD kIdPaperSize = 8;
constexpr WORD kIdMarginPaper = 1824;
constexpr WORD kIdCustomPaperList = 1883;
constexpr WORD kIdTrayPaper = 262;
constexpr WORD kIdUserWidth = 1863;
constexpr WORD kIdUserLength = 1864;
constexpr int kCodeUser = 256;
constexpr int kCodeTrayCustom = 275;
constexpr int kTextChars = 128;
constexpr int kNameChars = 64;

bool in(WORD id, WORD first, WORD last)
{
    return id >= first && id <= last;
}

/* One size as text: inches with one or two fraction digits, or whole millimetres. */
bool size_text(LONG tenthMm, WORD unitFlags, LPCWSTR separator, LPWSTR out)
{
    if ((unitFlags & FID_UNITS_INCH) == 0)
        return SUCCEEDED(StringCchPrintfW(out, kTextChars, u"%u", unsigned(tenthMm / 10)));
    const BOOL oneDigit = (unitFlags & FID_UNITS_ONE_DIGIT) != 0;
    LONG whole = 0, fraction = 0;
    UTL_SplitFixed2(oneDigit, UTL_TenthMmToHundredthInch(tenthMm), &whole, &fraction);
    return SUCCEEDED(StringCchPrintfW(out, kTextChars, oneDigit ? u"%u%s%u" : u"%u%s%02u", unsigned(whole), separator,
                                      unsigned(fraction)));
}

/* Gives `item` the text of `name` with the size `width` x `length`. */
bool set_size_text(HMODULE resources, OptionListItem *item, LPCWSTR name, LONG width, LONG length, WORD unitFlags)
{
    PaperRequest paper{};
    paper.width = WORD(width);
    paper.length = WORD(length);
    paper.formName = const_cast<LPWSTR>(name);
    return opt_ReplaceText(item, FID_FormatPaperSizeText(resources, &paper, unitFlags));
}

LONG item_number(const OptionList *list, LONG i)
{
    return FID_ReadValueAsInt(&list->items[i].value, list->valueType);
}

bool user_size_text(HMODULE resources, OptionList *list, void *devmode, void *printerData, WORD unitFlags)
{
    for (LONG i = 0; i < list->count; ++i) {
        if (item_number(list, i) != kCodeUser)
            continue;
        LONG width = 0, length = 0;
        bool ok = opt_ReadNumber(kIdUserWidth, devmode, printerData, &width) &&
                  opt_ReadNumber(kIdUserLength, devmode, printerData, &length);
        LPWSTR own = opt_CopyText(list->items[i].text);
        ok = ok && own != nullptr && set_size_text(resources, &list->items[i], own, width, length, unitFlags);
        if (own != nullptr)
            GlobalFree(own);
        return ok;
    }
    return true;
}

bool custom_texts(HMODULE resources, OptionList *list, void *devmode, void *printerData, WORD unitFlags)
{
    int changed = 0;
    for (LONG i = 0; i < list->count && changed < FID_CUSTOM_SLOTS; ++i) {
        if (!FID_IsCustomPaperCode(item_number(list, i)))
            continue;
        PaperRequest size{};
        WCHAR name[kNameChars] = {};
        if (!FID_GetCustomPaperSize(devmode, printerData, &list->items[i].value, list->valueType, &size, name,
                                    kNameChars) ||
            !set_size_text(resources, &list->items[i], name, size.width, size.length, unitFlags))
            return false;
        ++changed;
    }
    return true;
}

bool tray_text(HMODULE resources, OptionList *list, void *devmode, void *printerData, WORD unitFlags)
{
    for (LONG i = 0; i < list->count; ++i) {
        if (item_number(list, i) != kCodeTrayCustom)
            continue;
        WORD widthId = 0, lengthId = 0;
        if (!PPR_GetTrayCustomSizeIds(WORD(list->id), &widthId, &lengthId))
            return true; /* the list's setting has no tray size of its own */
        LONG width = 0, length = 0;
        return opt_ReadNumber(widthId, devmode, printerData, &width) &&
               opt_ReadNumber(lengthId, devmode, printerData, &length) && set_size_text(resources, &list->items[i], u"", width, length, unitFlags);
    }
    return true;
}

} // namespace

LPWSTR FID_FormatPaperSizeText(HMODULE resources, const PaperRequest *paper, WORD unitFlags)
{
    if (paper == nullptr)
        return nullptr;
    WCHAR separator[8] = {};
    WCHAR format[kTextChars] = {};
    WCHAR between[kTextChars] = {};
    const UINT formatId = (unitFlags & FID_UNITS_INCH) != 0 ? kStrInchFormat : kStrMillimetreFormat;
    if ((unitFlags & FID_UNITS_INCH) != 0 && LoadStringW(resources, kStrDecimalSeparator, separator, 8) <= 0)
        return nullptr;
    separator[1] = 0;
    if (LoadStringW(resources, formatId, format, kTextChars) <= 0 ||
        LoadStringW(resources, kStrNameSeparator, between, kTextChars) <= 0)
        return nullptr;
    WCHAR width[kTextChars] = {}, length[kTextChars] = {}, sizes[2 * kTextChars] = {};
    if (!size_text(paper->width, unitFlags, separator, width) || !size_text(paper->length, unitFlags, separator, length) ||
        FAILED(StringCchPrintfW(sizes, 2 * kTextChars, format, width, length)))
        return nullptr;
    LPCWSTR name = paper->formName != nullptr ? paper->formName : u"";
    const size_t chars = plat::wlen(name) + plat::wlen(between) + plat::wlen(sizes) + 1;
    auto *text = static_cast<LPWSTR>(GlobalAlloc(GPTR, chars * sizeof(WCHAR)));
    if (text == nullptr)
        return nullptr;
    StringCchCopyW(text, chars, name);
    StringCchCatW(text, chars, between);
    StringCchCatW(text, chars, sizes);
    return text;
}

BOOL opt_AddPaperTexts(HMODULE resources, ModelContext *context, OptionList *list, void *devmode, void *printerData,
                       WORD unitFlags)
{
    const WORD id = WORD(list->id);
    bool user = false, custom = false, tray = false;
    if (id == kIdPaperSize || id == kIdCustomPaperList)
        user = custom = tray = !PPR_IsFormsMergeEnabled(context, printerData);
    else if (id == kIdMarginPaper)
        user = custom = tray = true;
    else if (id == kIdTrayPaper || in(id, 6145, 6159) || in(id, 6220, 6234))
        custom = tray = true;
    bool ok = true;
    if (user)
        ok = user_size_text(resources, list, devmode, printerData, unitFlags) && ok;
    if (custom)
        ok = custom_texts(resources, list, devmode, printerData, unitFlags) && ok;
    if (tray)
        ok = tray_text(resources, list, devmode, printerData, unitFlags) && ok;
    return ok ? TRUE : FALSE;
}
