/*
 * The value side of a control for the edit fields: active item, current
 * value, range from the item's option list, and the change of a value
 * (checked against the range, then written to the working settings).
 */
#include "pgf_values.h"

#include "pgf_sheet.h"

#include <tarvel/base/log_trace.h>
#include <tarvel/base/res_module.h>
#include <tarvel/settings/dmb_binding.h>
#include <tarvel/settings/opt_list.h>

#include <plat/memory.h>

#include <cstring>
#include <string_view>

namespace {

/* Option combos with a fixed range: {setting, minimum, maximum}. */
constexpr LONG kComboRanges[][3] = {{306, 7, 600}, {359, 5, 24}, {385, 50, 240}};

/* The active item's option list (free it with FID_ListFree); null when it has none. */
OptionList *activeList(const HandlerContext *context, const ControlDescriptor *control)
{
    const WORD ddmid = PGF_GetActiveItemId(context, control);
    if (!ddmid || !context->model)
        return nullptr;
    return FID_BuildOptionList(RES_GetResourceModule(), context->model, ddmid, nullptr, context->settings,
                               context->printerData, nullptr, nullptr, 0);
}

bool isText(WORD type) { return type == 6 || type == 9; }

/* The size the data manager is given with a value of `type`. */
LONG valueSize(WORD type, const void *value)
{
    if (type == 6) {
        LPCWSTR text = *static_cast<const LPCWSTR *>(value);
        return text ? LONG((std::u16string_view(text).size() + 1) * sizeof(WCHAR)) : 0;
    }
    return type == 4 || type == 5 ? 4 : type == 8 ? 1 : 2;
}

} // namespace

LONG PGF_SlotNumber(WORD type, const BYTE slot[8])
{
    if (type == 1 || type == 2) {
        SHORT v;
        std::memcpy(&v, slot, sizeof(v));
        return v;
    }
    if (type == 3 || type == 10) {
        WORD v;
        std::memcpy(&v, slot, sizeof(v));
        return v;
    }
    if (type == 8)
        return slot[0];
    LONG v;
    std::memcpy(&v, slot, sizeof(v));
    return v;
}

WORD PGF_GetActiveItemId(const HandlerContext *context, const ControlDescriptor *control)
{
    if (!context || !control || control->itemCount < 1 || !control->items)
        return 0;
    return control->items[0].ddmid;
}

BOOL PGF_ReadActiveValue(const HandlerContext *context, const ControlDescriptor *control, WORD *type, BYTE slot[8])
{
    const WORD ddmid = PGF_GetActiveItemId(context, control);
    if (!ddmid || ddmid >= PGF_FIRST_PSEUDO_ITEM || !context->settings || !type || !slot)
        return FALSE;
    LONG size = 0;
    std::memset(slot, 0, 8);
    return DMB_GetValue(ddmid, context->settings, context->printerData, type, &size, slot) == 0;
}

BOOL PGF_GetControlRange(const HandlerContext *context, const ControlDescriptor *control, LONG *minimum,
                         LONG *maximum)
{
    if (!context || !control || !minimum || !maximum)
        return FALSE;
    const WORD ddmid = PGF_GetActiveItemId(context, control);
    if (control->kind == CTL_KIND_OPTION_COMBO) {
        for (const auto &r : kComboRanges)
            if (r[0] == ddmid) {
                *minimum = r[1];
                *maximum = r[2];
            }
        return TRUE;
    }
    OptionList *list = activeList(context, control);
    if (!list)
        return FALSE;
    BOOL ok = FALSE;
    const WORD kind = FID_ListGetKind(list);
    if (kind == OPT_KIND_LIST) {
        *minimum = 1;
        *maximum = FID_ListGetCount(list);
        ok = TRUE;
    } else if ((kind == OPT_KIND_RANGE || kind == OPT_KIND_RANGE_EMPTY) && FID_ListGetCount(list) >= 2) {
        const ULONGLONG low = FID_ListGetItemAt(list, 0)->value, high = FID_ListGetItemAt(list, 1)->value;
        *minimum = kind == OPT_KIND_RANGE_EMPTY ? LONG(WORD(low)) : LONG(DWORD(low));
        *maximum = kind == OPT_KIND_RANGE_EMPTY ? LONG(WORD(high)) : LONG(DWORD(high));
        ok = TRUE;
    }
    FID_ListFree(list);
    return ok;
}

BOOL PGF_GetActiveItemName(const HandlerContext *context, const ControlDescriptor *control, LPWSTR name, int chars)
{
    if (!name || chars < 1)
        return FALSE;
    name[0] = 0;
    OptionList *list = activeList(context, control);
    if (!list)
        return FALSE;
    const LPCWSTR title = FID_ListGetTitle(list);
    const std::u16string_view text = title ? std::u16string_view(title) : std::u16string_view();
    const size_t n = std::min(text.size(), size_t(chars) - 1);
    std::memcpy(name, text.data(), n * sizeof(WCHAR));
    name[n] = 0;
    FID_ListFree(list);
    return TRUE;
}

LONG PGF_SetItemValue(HandlerContext *context, const ControlDescriptor *control, WORD type, const void *value,
                      WORD **changed)
{
    if (!context || !control || !value || !changed)
        return -1;
    *changed = nullptr;
    SheetContext *sheet = PGF_GetPageData(context->page);
    SheetState *state = sheet ? sheet->state : nullptr;
    if (!state)
        return -1;
    if (state->setGuard)
        return PGF_VALUE_REFUSED;
    state->setGuard = 1;
    LONG result = -1;
    const WORD ddmid = PGF_GetActiveItemId(context, control);
    WORD currentType = 0;
    BYTE current[8] = {};
    if (ddmid && PGF_ReadActiveValue(context, control, &currentType, current) && currentType == type) {
        if (isText(type)) {
            LPCWSTR now = nullptr, next = *static_cast<const LPCWSTR *>(value);
            std::memcpy(&now, current, sizeof(now));
            const bool same = now && next && std::u16string_view(now) == std::u16string_view(next);
            result = same ? PGF_VALUE_SAME : 0;
        } else {
            const LONG next = *static_cast<const LONG *>(value);
            LONG low = 0, high = 0;
            if (PGF_SlotNumber(type, current) == next)
                result = PGF_VALUE_SAME;
            else if (PGF_GetControlRange(context, control, &low, &high) && (next < low || next > high))
                result = PGF_VALUE_REFUSED;
            else
                result = 0;
        }
        if (result == 0) {
            /* The constraint engine's check and the conflict prompt wait for their work. */
            LOG_Printf(u"PGF_SetItemValue: %d written without the constraint check (not built yet)", int(ddmid));
            result = -1;
            if (DMB_SetValue(ddmid, context->settings, context->printerData, type, valueSize(type, value), value) == 0) {
                auto *list = static_cast<WORD *>(GlobalAlloc(GPTR, 2 * sizeof(WORD)));
                if (list) {
                    list[0] = ddmid;
                    *changed = list;
                    result = PGF_VALUE_CHANGED;
                }
            }
        }
    }
    state->setGuard = 0;
    return result;
}
