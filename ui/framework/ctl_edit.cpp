/*
 * The edit field handler (control kind 4): numeric and text fields.  The
 * unit choice changes a per-call copy of the field's flags and decimals,
 * never the shared rules, so sheets in different units do not disturb each
 * other.  An empty text of a scrambled field is stored empty.  The guard
 * against the text put back by a refused keystroke is per thread.
 */
#include "ctl_edit.h"

#include "pgf_sheet.h"
#include "pgf_utils.h"
#include "pgf_values.h"

#include <tarvel/base/scramble_wide.h>

#include <plat/controls.h>
#include <plat/dialog.h>
#include <plat/memory.h>
#include <plat/msgbox.h>
#include <plat/prsht.h>

#include <climits>
#include <cstring>

namespace {

constexpr UINT kNumberSingle[] = {PGF_STR_NUMBER_SINGLE, 0};
constexpr UINT kNumberDouble[] = {PGF_STR_NUMBER_DOUBLE, 0};
constexpr int kNameChars = 128;

/* Set while the handler itself changes a field's text (its EN_CHANGE is not typing). */
thread_local bool settingText = false;

const EditFieldRules *rulesOf(const void *params)
{
    return params ? static_cast<const EditFieldParams *>(params)->rules : nullptr;
}

bool isTextField(const EditFieldRules *rules) { return (rules->flags & EDIT_TEXT) != 0; }

HWND fieldOf(const HandlerContext *context, const ControlDescriptor *control)
{
    return context && control->controlId != PGF_NO_CONTROL ? GetDlgItem(context->page, int(control->controlId))
                                                            : nullptr;
}

PgfList *undoList(const HandlerContext *context)
{
    SheetContext *sheet = PGF_GetPageData(context->page);
    return sheet ? sheet->scratchLists[0] : nullptr;
}

EditUndoRecord *findUndo(const HandlerContext *context, const ControlDescriptor *control)
{
    return static_cast<EditUndoRecord *>(
        PGF_ListFindByKey(undoList(context), ULONGLONG(control->controlId), ULONGLONG(ULONG_PTR(context->page))));
}

LPWSTR copyText(const std::u16string &text)
{
    auto *out = static_cast<LPWSTR>(GlobalAlloc(GPTR, (text.size() + 1) * sizeof(WCHAR)));
    if (out)
        std::memcpy(out, text.c_str(), (text.size() + 1) * sizeof(WCHAR));
    return out;
}

void replaceText(LPWSTR &field, const std::u16string &text)
{
    LPWSTR copy = copyText(text);
    if (!copy)
        return; /* the old text stays */
    GlobalFree(field);
    field = copy;
}

void setFieldText(HWND field, LPCWSTR text)
{
    settingText = true;
    SetWindowTextW(field, text);
    settingText = false;
}

std::u16string fieldText(HWND field, LONG maximum)
{
    std::u16string text(size_t(std::max<LONG>(maximum, 0)) + 1, u'\0');
    const int n = GetWindowTextW(field, text.data(), int(text.size()));
    text.resize(size_t(std::max(n, 0)));
    return text;
}

/* The stored text of a text field's value as the user sees it. */
std::u16string shownTextOf(const EditFieldRules *rules, LPCWSTR stored)
{
    if (!stored)
        return {};
    if (!(rules->flags & EDIT_SCRAMBLED) || !*stored)
        return stored;
    WCHAR *plain = nullptr;
    if (!UTL_ScrambleWide(2, stored, &plain) || !plain)
        return stored;
    std::u16string out(plain);
    GlobalFree(plain);
    return out;
}

/* The field's format in the current unit, and a value converted with it. */
EditFormat formatOf(const HandlerContext *context, const ControlDescriptor *control, const EditFieldRules *rules)
{
    EditFormat format{rules->flags, rules->numberFormat ? rules->numberFormat->decimals : 0};
    if (rules->flags & EDIT_UNITS) {
        LONG unused = 0;
        CTL_ConvertEditValue(PGF_GetSheetState(context->page), PGF_GetActiveItemId(context, control), 2, &unused,
                             &format);
    }
    return format;
}

bool wideDisplayValue(WORD ddmid) { return (ddmid >= 392 && ddmid <= 403) || ddmid == 1856; }

/* Stored to shown (direction 2) or back (1): the display conversion, then the unit. */
LONG convert(const HandlerContext *context, const ControlDescriptor *control, const EditFieldRules *rules,
             WORD type, LONG value, int direction, EditFormat *format)
{
    const WORD ddmid = PGF_GetActiveItemId(context, control);
    auto display = [&](LONG v) {
        if (!rules->numberFormat || rules->numberFormat->displayConversion != 1)
            return v;
        LONG out = v;
        const SHORT narrow = SHORT(v);
        PGF_ConvertDisplayValue(direction, ddmid, type,
                                wideDisplayValue(ddmid) ? static_cast<const void *>(&v)
                                                        : static_cast<const void *>(&narrow),
                                &out);
        return out;
    };
    auto unit = [&](LONG v) {
        if (rules->flags & EDIT_UNITS)
            CTL_ConvertEditValue(PGF_GetSheetState(context->page), ddmid, direction, &v, format);
        return v;
    };
    return direction == 2 ? unit(display(value)) : display(unit(value));
}

/* Shows the message of a text that breaks the field's rules; true when shown. */
bool showInputError(HandlerContext *context, const ControlDescriptor *control, const EditFieldRules *rules,
                    EditUndoRecord *undo)
{
    const LONG id = rules->charRules ? rules->charRules->messageId : PGF_NONE;
    if (id == PGF_NONE || (undo && undo->showingMessage))
        return false;
    WCHAR name[kNameChars] = {};
    PGF_GetActiveItemName(context, control, name, kNameChars);
    LONG low = 0, high = 0;
    PGF_GetControlRange(context, control, &low, &high);
    LPWSTR text = nullptr;
    BOOL made;
    switch (id) {
    case 425:
        made = PGF_LoadStringFormatted(&text, 0, UINT(id), name, int(low), int(high), int(high), int(high / 2));
        break;
    case 445:
    case 447:
    case 743:
        made = PGF_LoadStringFormatted(&text, 0, UINT(id), name, int(low), int(high));
        break;
    case 737:
        made = PGF_LoadStringFormatted(&text, 0, UINT(id), name, int(high));
        break;
    case 738: {
        const bool first5147 = control->itemCount > 0 && control->items[0].ddmid == 5147;
        made = PGF_LoadStringFormatted(&text, 0, UINT(id), name, int(first5147 ? 1 : low), int(high));
        break;
    }
    default:
        made = PGF_LoadStringFormatted(&text, 0, UINT(id));
        break;
    }
    if (!made)
        return false;
    if (undo)
        undo->showingMessage = 1;
    PGF_ShowResourceMessage(context->page, LONG(PGF_CAPTION_STRING), MB_ICONEXCLAMATION, PGF_NONE, text);
    if (undo)
        undo->showingMessage = 0;
    GlobalFree(text);
    return true;
}

/* Leaves the field: 0 nothing to do, 1 changed, 2 refused, 3 disabled, -1 failure. */
LONG commitField(HandlerContext *context, const ControlDescriptor *control, const EditFieldRules *rules, bool check)
{
    HWND field = fieldOf(context, control);
    if (!field || !IsWindowEnabled(field))
        return 3;
    EditUndoRecord *undo = findUndo(context, control);
    LONG value = 0;
    std::u16string text;
    const LONG read = CTL_ReadNumericEdit(context, control, check, &value, &text);
    if (read == -1)
        return -1;
    auto refuse = [&] {
        CTL_WriteNumericEdit(context, control);
        SetFocus(field);
        return LONG(PGF_VALUE_REFUSED);
    };
    WORD type = 0;
    BYTE slot[8] = {};
    if (!PGF_ReadActiveValue(context, control, &type, slot))
        return -1;
    WORD *changed = nullptr;
    LONG result;
    if (isTextField(rules)) {
        /* Typing applied the text as it went; leaving the field starts again from the last accepted value. */
        if (undo && undo->storedText) {
            LPCWSTR accepted = undo->storedText;
            PGF_SetItemValue(context, control, type, &accepted, &changed);
            GlobalFree(changed);
            changed = nullptr;
        }
        if (read == EDIT_READ_BAD) {
            if (showInputError(context, control, rules, undo))
                PGF_RequestRefresh(context, 1, nullptr, control);
            return refuse();
        }
        std::u16string stored = text;
        if ((rules->flags & EDIT_SCRAMBLED) && !text.empty()) {
            WCHAR *scrambled = nullptr;
            if (!UTL_ScrambleWide(1, text.c_str(), &scrambled) || !scrambled)
                return -1;
            stored = scrambled;
            GlobalFree(scrambled);
        }
        LPCWSTR pointer = stored.c_str();
        if (rules->callback && rules->callback(context, WM_COMMAND, control, rules, 0) != 1)
            return refuse();
        result = PGF_SetItemValue(context, control, type, &pointer, &changed);
        if (result == PGF_VALUE_CHANGED && undo) {
            replaceText(undo->storedText, stored);
            replaceText(undo->shownText, text);
        }
    } else {
        /* A bad number is refused here: it never reaches the settings, whatever the range. */
        if (read == EDIT_READ_BAD)
            return refuse();
        EditFormat format = formatOf(context, control, rules);
        const LONG stored = convert(context, control, rules, type, value, 1, &format);
        if (rules->callback) {
            const LONG go = rules->callback(context, WM_COMMAND, control, rules, stored);
            if (go == 2)
                return refuse();
            if (go != 1)
                return 0;
        }
        result = PGF_SetItemValue(context, control, type, &stored, &changed);
    }
    if (result == PGF_VALUE_CHANGED) {
        PGF_RequestRefresh(context, 1, changed, control);
        return PGF_VALUE_CHANGED;
    }
    GlobalFree(changed);
    CTL_WriteNumericEdit(context, control);
    if (result == PGF_VALUE_REFUSED)
        SetFocus(field);
    return result;
}

/* The page-leave and modal-OK check: 1 when the field's value is refused. */
LRESULT validateField(HandlerContext *context, UINT code, const ControlDescriptor *control,
                      const EditFieldRules *rules, BYTE checkBit)
{
    if (PGF_GetCurrentAction(context) == PGF_ACTION_CANCEL || code == PSN_RESET)
        return 0;
    return commitField(context, control, rules, (rules->checkMask & checkBit) != 0) == PGF_VALUE_REFUSED ? 1 : 0;
}

void beginField(HandlerContext *context, const ControlDescriptor *control, const EditFieldRules *rules)
{
    HWND field = fieldOf(context, control);
    if (!field)
        return;
    SendMessageW(field, control->kind == CTL_KIND_OPTION_COMBO ? CB_LIMITTEXT : EM_LIMITTEXT,
                 WPARAM(std::max<LONG>(rules->maximum, 0)), 0);
    CTL_WriteNumericEdit(context, control);
    PgfList *list = undoList(context);
    if (!list || findUndo(context, control))
        return;
    auto *undo = static_cast<EditUndoRecord *>(GlobalAlloc(GPTR, sizeof(EditUndoRecord)));
    if (!undo)
        return;
    if (isTextField(rules)) {
        WORD type = 0;
        BYTE slot[8] = {};
        LPCWSTR stored = nullptr;
        if (PGF_ReadActiveValue(context, control, &type, slot))
            std::memcpy(&stored, slot, sizeof(stored));
        undo->storedText = copyText(stored ? stored : u"");
        undo->shownText = copyText(shownTextOf(rules, stored));
    }
    if (!PGF_ListPush(list, ULONGLONG(control->controlId), ULONGLONG(ULONG_PTR(context->page)), undo)) {
        GlobalFree(undo->storedText);
        GlobalFree(undo->shownText);
        GlobalFree(undo);
    }
}

/* A text field's text changed: applied at once when it fits, else the last accepted text comes back. */
void textChanged(HandlerContext *context, const ControlDescriptor *control, const EditFieldRules *rules)
{
    HWND field = fieldOf(context, control);
    EditUndoRecord *undo = findUndo(context, control);
    if (settingText || !field || !undo)
        return;
    const std::u16string text = fieldText(field, rules->maximum);
    LONG low = 0, high = 0;
    const bool ranged = PGF_GetControlRange(context, control, &low, &high) != FALSE;
    const int bytes = PGF_AnsiByteLength(text.c_str());
    if (bytes >= 0 && (!ranged || bytes <= high) && bytes <= rules->maximum) {
        std::u16string stored = text;
        if ((rules->flags & EDIT_SCRAMBLED) && !text.empty()) {
            WCHAR *scrambled = nullptr;
            if (!UTL_ScrambleWide(1, text.c_str(), &scrambled) || !scrambled)
                return;
            stored = scrambled;
            GlobalFree(scrambled);
        }
        WORD type = 0;
        BYTE slot[8] = {};
        if (!PGF_ReadActiveValue(context, control, &type, slot))
            return;
        LPCWSTR pointer = stored.c_str();
        WORD *changed = nullptr;
        if (PGF_SetItemValue(context, control, type, &pointer, &changed) == PGF_VALUE_CHANGED) {
            PGF_RequestRefresh(context, 1, changed, control);
        } else {
            GlobalFree(changed);
        }
        replaceText(undo->shownText, text);
        return;
    }
    setFieldText(field, undo->shownText ? undo->shownText : u"");
    const WPARAM caret = WPARAM(ranged ? std::max<LONG>(high, 0) : rules->maximum);
    SendMessageW(field, EM_SETSEL, caret, LPARAM(caret));
}

} // namespace

BOOL CTL_ConvertEditValue(const SheetState *state, WORD ddmid, int direction, LONG *value, EditFormat *format)
{
    if (!state || !value)
        return FALSE;
    const bool inch = state->currentUnit == 1;
    LONG decimals = 0;
    if (!PGF_GetUnitDecimals(ddmid, state->currentUnit, &decimals))
        return FALSE;
    const bool wholeMm = ddmid == 268 || ddmid == 269 || ddmid == 324;
    const bool customSize = (ddmid >= 1825 && ddmid <= 1828) || ddmid == 1863 || ddmid == 1864;
    if (!wholeMm && !customSize && ddmid != 460 && ddmid != 461)
        return FALSE;
    if (format) {
        format->decimals = decimals;
        if (wholeMm)
            format->flags = inch ? WORD(format->flags | EDIT_FIXED) : WORD(format->flags & ~EDIT_FIXED);
    }
    if (inch)
        *value = direction == 1 ? PGF_ToTenthMillimetre(*value) : PGF_ToHundredthInch(*value, ddmid);
    return TRUE;
}

LONG CTL_ReadNumericEdit(HandlerContext *context, const ControlDescriptor *control, BOOL check, LONG *value,
                         std::u16string *text)
{
    const EditFieldRules *rules = rulesOf(control ? control->params : nullptr);
    HWND field = control ? fieldOf(context, control) : nullptr;
    if (!rules || !field || !value || !text)
        return -1;
    *text = fieldText(field, rules->maximum);
    if (PGF_AnsiByteLength(text->c_str()) < 0)
        return EDIT_READ_BAD;
    if (isTextField(rules)) {
        const InputCharRules *r = rules->charRules;
        if (check && r &&
            !PGF_ValidateInputText(text->c_str(), r->allowedSingle, r->allowedDouble, r->forbiddenSingle,
                                   r->forbiddenDouble, rules->flags, 0))
            return EDIT_READ_BAD;
        if (text->empty() && (rules->flags & EDIT_EMPTY_OK))
            return EDIT_READ_GOOD;
        LONG low = 0, high = 0;
        const int bytes = PGF_AnsiByteLength(text->c_str());
        if (PGF_GetControlRange(context, control, &low, &high) && (bytes < low || bytes > high))
            return EDIT_READ_BAD;
        return EDIT_READ_GOOD;
    }
    const EditFormat format = formatOf(context, control, rules);
    bool good = !check || PGF_ValidateInputText(text->c_str(), kNumberSingle, kNumberDouble, nullptr, nullptr,
                                                format.flags, format.decimals);
    if (good) {
        LPSTR ansi = nullptr;
        DWORD length = 0;
        good = PGF_ToAnsiStrict(text->c_str(), &ansi, &length) &&
               ((format.flags & EDIT_FIXED) ? PGF_ParseFixedPoint(ansi, value, format.decimals, format.flags)
                                            : PGF_ParseInt32(ansi, value));
        GlobalFree(ansi);
    }
    if (good)
        return EDIT_READ_GOOD;
    /* A bad number is one above the range, so the value change refuses it as out of range. */
    LONG low = 0, high = 0;
    WORD type = 4;
    BYTE slot[8] = {};
    PGF_ReadActiveValue(context, control, &type, slot);
    PGF_GetControlRange(context, control, &low, &high);
    const LONGLONG above = LONGLONG(high) + 1;
    *value = above > LONGLONG(INT_MAX) ? INT_MAX : LONG(above);
    return EDIT_READ_BAD;
}

BOOL CTL_WriteNumericEdit(HandlerContext *context, const ControlDescriptor *control)
{
    const EditFieldRules *rules = rulesOf(control ? control->params : nullptr);
    HWND field = control ? fieldOf(context, control) : nullptr;
    WORD type = 0;
    BYTE slot[8] = {};
    if (!rules || !field || !PGF_ReadActiveValue(context, control, &type, slot))
        return FALSE;
    if (isTextField(rules)) {
        LPCWSTR stored = nullptr;
        std::memcpy(&stored, slot, sizeof(stored));
        setFieldText(field, shownTextOf(rules, stored).c_str());
        return TRUE;
    }
    EditFormat format = formatOf(context, control, rules);
    const LONG shown = convert(context, control, rules, type, PGF_SlotNumber(type, slot), 2, &format);
    LPWSTR text = nullptr;
    const BOOL isSigned = (format.flags & EDIT_SIGNED) != 0;
    const BOOL made = (format.flags & EDIT_FIXED)
                          ? PGF_FormatFixedPoint(&text, format.decimals, isSigned, format.flags, shown)
                          : PGF_FormatValueText(&text, 0, isSigned, type, shown);
    if (!made)
        return FALSE;
    setFieldText(field, text);
    GlobalFree(text);
    return TRUE;
}

void CTL_DropEditUndo(HandlerContext *context, const ControlDescriptor *control)
{
    if (!context || !control)
        return;
    EditUndoRecord *undo = findUndo(context, control);
    if (!undo)
        return;
    PGF_ListRemoveByKey(undoList(context), ULONGLONG(control->controlId), ULONGLONG(ULONG_PTR(context->page)));
    GlobalFree(undo->storedText);
    GlobalFree(undo->shownText);
    GlobalFree(undo);
}

CTL_HANDLER(CTL_NumericEditHandler)
{
    (void)lParam;
    const EditFieldRules *rules = rulesOf(params);
    if (!context || !control || !rules || !PGF_GetPageData(context->page) || !context->settings)
        return 0;
    switch (code) {
    case PSN_SETACTIVE:
        beginField(context, control, rules);
        return 0;
    case PSN_KILLACTIVE: {
        const LRESULT stay = validateField(context, code, control, rules, EDIT_CHECK_PAGE_LEAVE);
        if (!stay)
            CTL_DropEditUndo(context, control);
        return stay;
    }
    case PSN_APPLY:
    case PSN_RESET:
        CTL_DropEditUndo(context, control);
        return 0;
    case WM_COMMAND: {
        const EditUndoRecord *undo = findUndo(context, control);
        if (HIWORD(wParam) == EN_KILLFOCUS && undo && !undo->busy && !settingText)
            commitField(context, control, rules, (rules->checkMask & EDIT_CHECK_KILL_FOCUS) != 0);
        else if (HIWORD(wParam) == EN_CHANGE && isTextField(rules))
            textChanged(context, control, rules);
        return 0;
    }
    case PGF_MSG_REFRESH:
        if (!isTextField(rules)) {
            CTL_WriteNumericEdit(context, control);
        } else if (PGF_GetRefreshControl(context) != control) {
            if (EditUndoRecord *undo = findUndo(context, control)) {
                WORD type = 0;
                BYTE slot[8] = {};
                LPCWSTR stored = nullptr;
                if (PGF_ReadActiveValue(context, control, &type, slot))
                    std::memcpy(&stored, slot, sizeof(stored));
                replaceText(undo->storedText, stored ? stored : u"");
            }
            CTL_WriteNumericEdit(context, control);
        }
        return 0;
    case PGF_MSG_CANCEL:
        CTL_WriteNumericEdit(context, control);
        return 0;
    case PGF_MSG_VALIDATE:
        return validateField(context, code, control, rules, EDIT_CHECK_VALIDATE);
    default:
        return 0;
    }
}
