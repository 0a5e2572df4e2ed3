/*
 * The conflict prompt's messages: classification of a change by the item's
 * policy, value ranges and the stamp store check, and the message boxes by
 * outcome kind with the driver's caption (resource string 265).
 */
#include "cnf_internal.h"
#include "cnf_messages.h"

#include <tarvel/base/pgf_services.h>
#include <tarvel/base/res_format.h>
#include <tarvel/base/res_text.h>
#include <tarvel/model_data/mdl_lookup.h>
#include <tarvel/model_data/model_file.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>
#include <tarvel/stores/stp_store.h>

#include <plat/memory.h>
#include <plat/msgbox.h>
#include <plat/text.h>

#include <string>

namespace {

constexpr UINT kCaption = 265;
constexpr DWORD kMaxStamps = 32;
constexpr UINT kWarningBox = MB_OK | MB_ICONWARNING;
constexpr UINT kQuestionBox = MB_OKCANCEL | MB_ICONINFORMATION;

/* Formats string `id` with up to four texts; false when the string is missing. */
bool format(UINT id, std::u16string *out, LPCWSTR a, LPCWSTR b = nullptr, LPCWSTR c = nullptr, LPCWSTR d = nullptr)
{
    std::u16string f;
    if (!cnf_LoadString(id, &f))
        return false;
    WCHAR buffer[CNF_MESSAGE_CHARS];
    RES_FormatMessage(buffer, CNF_MESSAGE_CHARS, f.c_str(), a, b, c, d);
    out->assign(buffer);
    return true;
}

/* Shows a box with the driver's caption; 0 when the caption is missing. */
int show(HWND window, const std::u16string &text, UINT style)
{
    std::u16string caption;
    if (!cnf_LoadString(kCaption, &caption))
        return 0;
    return RES_MessageBox(window, text.c_str(), caption.c_str(), style);
}

std::u16string joined(const std::u16string &list, LPCWSTR extra)
{
    if (!extra || !*extra)
        return list;
    return list.empty() ? std::u16string(extra) : list + u"\n" + extra;
}

/* The option name of the current value of 267 or 320 named by an entry of a fired forward rule. */
bool dependentOption(const SettingsRef *ref, const ChangeList *list, std::u16string *name)
{
    for (WORD i = 0; i < list->forwardCount; ++i) {
        ModelRecord *rec = nullptr;
        if (DDD_GetRecordByIndex(DDD_PARSE_FULL, ref->context->main, ref->context->companion, DDD_KIND_RULE,
                                 list->forward[i], &rec) != DDD_OK)
            return false;
        auto *rule = reinterpret_cast<DddRuleRecord *>(rec);
        bool found = false;
        for (WORD e = 0; e < rule->involved.count && !found; ++e) {
            const WORD id = rule->involved.items[e].setting.settingId;
            if (id != 267 && id != 320)
                continue;
            CnfSetting s;
            found = cnf_Read(ref, id, &s) == DMA_OK && cnf_NameOf(ref, id, s.data(), name) && !name->empty();
        }
        DDD_FreeRecord(&rec, -1);
        if (found)
            return true;
    }
    return false;
}

/* The value's number read as the range check reads it. */
LONG rangeNumber(const CnfValue *value, bool asUnsigned16)
{
    if (asUnsigned16)
        return plat::load<WORD>(value->value);
    return cnf_ValueNumber(value->type, value->value);
}

/* The value of option n (1-based) of a setting's feature. */
bool optionNumber(const SettingsRef *ref, WORD id, WORD n, LONG *out)
{
    WORD kind = 0;
    ModelRecord *rec = nullptr;
    if (DDD_GetOptionByIndex(DDD_PARSE_PARTIAL, ref->context->main, ref->context->companion, id, n, &kind, &rec) !=
        DDD_OK)
        return false;
    bool ok = false;
    if (kind == DDD_KIND_DEVICE_OPTION || kind == DDD_KIND_DOCUMENT_OPTION) {
        const DddValue &v = reinterpret_cast<DddOptionRecord *>(rec)->setting;
        ok = v.data && cnf_TypeSize(v.type) != 0 && v.length >= cnf_TypeSize(v.type);
        if (ok)
            *out = cnf_ValueNumber(v.type, v.data);
    }
    DDD_FreeRecord(&rec, -1);
    return ok;
}

void fillRange(CnfRangeMessage *range, const std::u16string &text, LONG min, LONG max, WORD type, WORD divisor)
{
    const size_t n = text.size() < size_t(CNF_VALUE_TEXT_CHARS - 1) ? text.size() : size_t(CNF_VALUE_TEXT_CHARS - 1);
    text.copy(range->text, n);
    range->text[n] = 0;
    range->minimum = min;
    range->maximum = max;
    range->type = type;
    range->integerDisplay = 1;
    range->divisor = divisor;
}

} // namespace

WORD CNF_CheckValueRange(const SettingsRef *ref, const CnfValue *value, ChangeList *list, WORD *kind,
                         CnfRangeMessage *range)
{
    if (!ref || !ref->context || !value || !list || !kind || !range)
        return CNF_PROMPT_FAIL;
    if (!value->value)
        return CNF_PROMPT_KEEP;
    const WORD id = value->id;
    if (range->policy & CNF_POLICY_FIXED) {
        struct Fixed {
            WORD id;
            LONG min, max;
            WORD divisor;
        };
        static constexpr Fixed kUnsigned[] = {{306, 7, 600, 1}, {359, 5, 24, 1}, {385, 50, 240, 10}};
        for (const Fixed &f : kUnsigned) {
            if (f.id != id)
                continue;
            const LONG v = rangeNumber(value, true);
            if (v >= f.min && v <= f.max)
                return CNF_PROMPT_GO_ON;
            std::u16string text;
            if (!cnf_LoadString(301, &text))
                return CNF_PROMPT_FAIL;
            fillRange(range, text, f.min / f.divisor, f.max / f.divisor, value->type, 1);
            *kind = CNF_MSG_RANGE;
            return CNF_PROMPT_ASK;
        }
        if (id == 309 || id == 310 || id == 311 || id == 1856) {
            const LONG min = id == 1856 ? 0 : -900, max = id == 1856 ? 10000 : 900;
            const LONG v = rangeNumber(value, false);
            if (v >= min && v <= max)
                return CNF_PROMPT_GO_ON;
            std::u16string text;
            if (!cnf_LoadString(300, &text))
                return CNF_PROMPT_FAIL;
            fillRange(range, text, min, max, value->type, 10);
            *kind = CNF_MSG_RANGE;
            return CNF_PROMPT_ASK;
        }
        return CNF_PROMPT_FAIL;
    }
    if (id == 263) {
        LONG poster = 0;
        if (!cnf_ReadNumber(ref, 1281, &poster))
            return CNF_PROMPT_FAIL;
        if (poster == 0)
            return CNF_PROMPT_GO_ON;
    }
    LONG min = 0, max = 0;
    if (!optionNumber(ref, id, 1, &min) || !optionNumber(ref, id, 2, &max))
        return CNF_PROMPT_FAIL;
    const LONG v = rangeNumber(value, false);
    if (v >= min && v <= max)
        return CNF_PROMPT_GO_ON;
    LONG shownMin = min, shownMax = max;
    WORD divisor = 1;
    LONG integerDisplay = 1;
    const bool scaled = (range->policy & (CNF_POLICY_CONVERT | CNF_POLICY_INCH)) != 0;
    if (range->policy & CNF_POLICY_CONVERT) {
        PGF_ConvertDisplayValue(0, id, SVT_INT32, &min, &shownMin);
        PGF_ConvertDisplayValue(0, id, SVT_INT32, &max, &shownMax);
    } else if ((range->policy & CNF_POLICY_INCH) && range->unitMode == 1) {
        shownMin = PGF_ToHundredthInch(min, id);
        shownMax = PGF_ToHundredthInch(max, id);
    }
    if (scaled) {
        for (LONG i = 0; i < range->decimals && divisor < 10000; ++i)
            divisor = WORD(divisor * 10);
        integerDisplay = range->decimals == 0 ? 1 : 0;
    }
    fillRange(range, u"", shownMin, shownMax, SVT_INT32, divisor);
    range->integerDisplay = integerDisplay;
    *kind = CNF_MSG_RANGE;
    return CNF_PROMPT_ASK;
}

WORD CNF_CheckStampStore(HANDLE printer, const SettingsRef *ref, const CnfValue *value, ChangeList *list, WORD *kind)
{
    if (!ref || !value || !list || !kind)
        return CNF_PROMPT_FAIL;
    if (value->id == 272)
        return CNF_PROMPT_GO_ON;
    if (value->id != 0x9001 || !printer)
        return CNF_PROMPT_FAIL;
    DWORD stamps = 0;
    if (STP_CountStamps(printer, &stamps, ref->context) != 1)
        return CNF_PROMPT_FAIL;
    if (stamps < kMaxStamps)
        return CNF_PROMPT_KEEP;
    *kind = CNF_MSG_STORE_FULL;
    return CNF_PROMPT_ASK;
}

WORD CNF_ClassifyChange(HANDLE printer, const SettingsRef *ref, const CnfValue *value, ChangeList *list, WORD policy,
                        WORD *kind, CnfRangeMessage *range)
{
    if (!printer || !ref || !value || !list || !kind || !range)
        return CNF_PROMPT_FAIL;
    *kind = CNF_MSG_CONFLICT;
    switch (policy) {
    case 1: return CNF_PROMPT_KEEP;
    case 4:
    case 36:
    case 132: return CNF_PROMPT_ASK;
    case 68:
    case 100: *kind = CNF_MSG_LAYOUT; return CNF_PROMPT_ASK;
    case 8: return CNF_CheckValueRange(ref, value, list, kind, range);
    case 12: {
        const WORD r = CNF_CheckValueRange(ref, value, list, kind, range);
        if (r != CNF_PROMPT_GO_ON)
            return r;
        *kind = CNF_MSG_CONFLICT;
        return CNF_PROMPT_ASK;
    }
    case 16: return CNF_CheckStampStore(printer, ref, value, list, kind);
    default: return CNF_PROMPT_FAIL;
    }
}

WORD CNF_ShowConflictMessage(HWND window, const SettingsRef *ref, const CnfValue *value, LPCWSTR extraConflicts,
                             LPCWSTR extraChanges, const ChangeList *list)
{
    if (!ref || !ref->context || !value || !list)
        return CNF_PROMPT_FAIL;
    const SHORT kind = list->outcome;
    switch (kind) {
    case 0:
    case 4:
    case 9: return CNF_PROMPT_GO_ON;
    case 2:
    case 3:
    case 5:
    case 7:
    case 8:
    case 10:
    case 11:
    case 12:
    case 13: break;
    default: return CNF_PROMPT_FAIL;
    }
    if (kind == 2 && MDL_HasCapability(ref->context->main, MDL_CAP_BIT(48)))
        return CNF_PROMPT_KEEP;
    const WORD refused = kind == 8 ? CNF_PROMPT_CANCEL_CHANGE : CNF_PROMPT_KEEP;
    std::u16string name, valueText, conflicts, changes, text;
    const bool hasValueText = value->value != nullptr;
    bool built = cnf_ValueText(FALSE, nullptr, ref, value->id, nullptr, nullptr, &name) &&
                 (!hasValueText || cnf_ValueText(FALSE, nullptr, ref, value->id, value->value, nullptr, &valueText));
    const bool needsConflicts = kind == 2 || kind == 3 || kind == 7 || kind == 8;
    const bool needsChanges = kind == 3 || kind == 5 || kind == 8;
    if (built && needsConflicts) {
        built = cnf_ConflictListText(nullptr, ref, value, list, nullptr, &conflicts);
        conflicts = joined(conflicts, extraConflicts);
    }
    if (built && needsChanges) {
        built = cnf_ChangeListText(nullptr, ref, list, -1, nullptr, &changes);
        changes = joined(changes, extraChanges);
    }
    switch (kind) {
    case 2:
        if (built && (hasValueText ? format(701, &text, name.c_str(), valueText.c_str(), conflicts.c_str())
                                   : format(724, &text, name.c_str(), conflicts.c_str())))
            show(window, text, kWarningBox);
        return CNF_PROMPT_KEEP;
    case 3:
    case 8:
        if (built && (value->id == 1333   ? format(2000, &text, conflicts.c_str(), changes.c_str())
                      : hasValueText ? format(705, &text, name.c_str(), valueText.c_str(), conflicts.c_str(),
                                              changes.c_str())
                                     : format(725, &text, name.c_str(), conflicts.c_str(), changes.c_str())))
            return show(window, text, kQuestionBox) == IDOK ? CNF_PROMPT_GO_ON : refused;
        return refused;
    case 5: {
        std::u16string option;
        if (built && dependentOption(ref, list, &option) &&
            format(709, &text, name.c_str(), valueText.c_str(), option.c_str(), changes.c_str()))
            return show(window, text, kQuestionBox) == IDOK ? CNF_PROMPT_GO_ON : CNF_PROMPT_KEEP;
        return CNF_PROMPT_KEEP;
    }
    case 7:
        if (built && format(710, &text, name.c_str(), conflicts.c_str()))
            show(window, text, kWarningBox);
        return CNF_PROMPT_CANCEL_CHANGE;
    default: /* 10-13 */
        if (built && format(kind <= 11 ? 708 : 4733, &text, name.c_str(), valueText.c_str()))
            show(window, text, kWarningBox);
        return CNF_PROMPT_KEEP;
    }
}

WORD CNF_ShowFollowUpMessage(HWND window, const SettingsRef *ref, const ChangeList *list)
{
    std::u16string changes, text;
    if (ref && ref->context && list && cnf_ChangeListText(nullptr, ref, list, 9, nullptr, &changes) &&
        !changes.empty() && format(711, &text, changes.c_str()))
        show(window, text, kWarningBox);
    return CNF_PROMPT_CHANGED;
}

WORD CNF_ConfirmControlChange(HWND window, ModelContext *context, void *image, void *printerData, const WORD *ids,
                              WORD count)
{
    if (!context || !image || !printerData || !ids || count == 0 || ids[0] == 0)
        return CNF_PROMPT_FAIL;
    const SettingsRef ref{context, image, printerData};
    std::u16string settings, text;
    if (!cnf_SettingsListText(nullptr, &ref, ids, count, nullptr, &settings))
        return CNF_PROMPT_FAIL;
    if (settings.empty())
        return 0;
    if (!format(712, &text, settings.c_str()))
        return CNF_PROMPT_FAIL;
    return show(window, text, kQuestionBox) == IDOK ? 0 : CNF_PROMPT_CANCELLED;
}

WORD CNF_ShowValueWarning(HWND window, const SettingsRef *ref, WORD divisor, LONG integerDisplay, WORD id,
                          LPCWSTR name, WORD type, const void *minimum, const void *maximum, const DWORD unitOptions[2])
{
    if (!ref || !ref->context)
        return 1;
    std::u16string own, text;
    if (!name) {
        if (!cnf_ValueText(FALSE, nullptr, ref, id, nullptr, unitOptions, &own))
            return 1;
        name = own.c_str();
    }
    WCHAR low[CNF_VALUE_TEXT_CHARS], high[CNF_VALUE_TEXT_CHARS];
    if (!CNF_FormatNumber(integerDisplay, low, divisor, type, minimum) ||
        !CNF_FormatNumber(integerDisplay, high, divisor, type, maximum) || !format(700, &text, name, low, high))
        return 1;
    show(window, text, kWarningBox);
    return 0;
}

BOOL CNF_BuildSettingText(LPWSTR *out, HMODULE module, const SettingsRef *ref, const WORD *ids, WORD count,
                          int stringId, const DWORD unitOptions[2])
{
    if (!out)
        return FALSE;
    *out = nullptr;
    if (!ref || !ref->context || !ids || (count == 0 && ids[0] == 0))
        return FALSE;
    std::u16string settings;
    if (!cnf_SettingsListText(module, ref, ids, count, unitOptions, &settings) || settings.empty())
        return FALSE;
    if (stringId == -3) {
        auto *text = static_cast<LPWSTR>(GlobalAlloc(GPTR, CNF_MESSAGE_CHARS * sizeof(WCHAR)));
        if (!text)
            return FALSE;
        const size_t n = settings.size() < size_t(CNF_MESSAGE_CHARS - 1) ? settings.size() : CNF_MESSAGE_CHARS - 1;
        settings.copy(text, n);
        *out = text;
        return TRUE;
    }
    return CNF_LoadFormatString(module, out, CNF_MESSAGE_CHARS, UINT(stringId), settings.c_str());
}

BOOL CNF_BuildChangeText(LPWSTR *out, WORD flags, HMODULE module, const SettingsRef *ref, const CnfValue *value,
                         LPCWSTR name, LPCWSTR valueText, const WORD *ids, const DWORD unitOptions[2])
{
    if (!out)
        return FALSE;
    *out = nullptr;
    if (!ref || !ref->context || !ids)
        return FALSE;
    std::u16string settings, ownName, ownValue;
    if (!cnf_SettingsListText(module, ref, ids, 0, unitOptions, &settings))
        return FALSE;
    const WORD which = flags & 0x3;
    if (which >= 2)
        return CNF_LoadFormatString(module, out, CNF_MESSAGE_CHARS, which == 2 ? 714 : 713, settings.c_str());
    if (!name || !valueText) {
        if (!value)
            return FALSE;
        if (!name) {
            if (!cnf_ValueText(FALSE, module, ref, value->id, nullptr, unitOptions, &ownName))
                return FALSE;
            name = ownName.c_str();
        }
        if (!valueText) {
            if (!cnf_ValueText(FALSE, module, ref, value->id, value->value, unitOptions, &ownValue))
                return FALSE;
            valueText = ownValue.c_str();
        }
    }
    return CNF_LoadFormatString(module, out, CNF_MESSAGE_CHARS, which == 1 ? 715 : 716, name, valueText,
                                settings.c_str());
}

WORD CNF_ShowLayoutMessage(WORD flags, HWND window, const SettingsRef *ref, const CnfValue *value, LPCWSTR name,
                           LPCWSTR valueText, const WORD *ids)
{
    LPWSTR text = nullptr;
    if (!CNF_BuildChangeText(&text, flags, nullptr, ref, value, name, valueText, ids, nullptr))
        return 1;
    const int answer = show(window, text, (flags & 0x10) ? (MB_OK | MB_ICONEXCLAMATION) : kQuestionBox);
    GlobalFree(text);
    return answer == IDOK ? 0 : 1;
}

WORD CNF_CheckLayoutFitAndWarn(HWND window, const SettingsRef *ref, const CnfValue *value)
{
    WORD *list = nullptr;
    const WORD fit = CNF_CheckLayoutFit(ref, value, &list);
    if (fit == 0)
        return CNF_PROMPT_GO_ON;
    if (fit != 13 && fit != 14)
        return CNF_PROMPT_FAIL;
    const WORD shown = CNF_ShowLayoutMessage(fit == 13 ? 0x11 : 0x10, window, ref, value, nullptr, nullptr, list);
    GlobalFree(list);
    return shown == 0 ? CNF_PROMPT_GO_ON : CNF_PROMPT_KEEP;
}
