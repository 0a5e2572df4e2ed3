/*
 * Message dispatch: the slot of a message, slot overrides, the per-message
 * handler context, the routing of control messages to control handlers,
 * the notification of every handler, and the handler context's accessors.
 */
#include "pgf_dispatch.h"

#include "pgf_sheet.h"

#include <plat/memory.h>

#include <cstring>

BOOL PGF_LookupSlot(UINT message, WPARAM, LPARAM lParam, SHORT pageKind, SlotFunction *function, LONG *slot)
{
    if (slot)
        *slot = -1;
    if (!function || !slot)
        return FALSE;
    *function = SlotFunction{};
    const MessageSlotRow *row = PGF_MessageSlotTable;
    while (row->message && row->message != message)
        ++row;
    if (!row->message)
        return FALSE;
    if (message == WM_NOTIFY) {
        const auto *header = reinterpret_cast<const NMHDR *>(lParam);
        if (!header)
            return FALSE;
        /* The table holds 16-bit codes of negative notifications: compare them sign-extended. */
        while (row->message == WM_NOTIFY && UINT(LONG(SHORT(row->code))) != header->code)
            ++row;
        if (row->message != WM_NOTIFY)
            return FALSE;
    }
    const SlotProc *table = pageKind == PGF_KIND_TAB      ? PGF_SlotTableTab
                            : pageKind == PGF_KIND_CHILD  ? PGF_SlotTableChild
                            : pageKind == PGF_KIND_DIALOG ? PGF_SlotTableDialog
                                                          : nullptr;
    if (!table)
        return FALSE;
    *slot = row->slot;
    function->proc = table[row->slot];
    return TRUE;
}

namespace {

bool slotInRange(LONG slot) { return slot >= 0 && slot <= PGF_LAST_SLOT; }

} // namespace

BOOL PGF_OverrideSlot(SlotProc proc, LONG wanted, SlotFunction *function, LONG current)
{
    if (!slotInRange(wanted) || !slotInRange(current) || !function)
        return FALSE;
    if (wanted == current)
        *function = SlotFunction{proc, nullptr};
    return TRUE;
}

BOOL PGF_OverrideColorSlot(ColorSlotProc proc, LONG wanted, SlotFunction *function, LONG current)
{
    if (!slotInRange(wanted) || !slotInRange(current) || !function)
        return FALSE;
    if (wanted == current)
        *function = SlotFunction{nullptr, proc};
    return TRUE;
}

LRESULT PGF_DispatchMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam, LONG pageId, SHORT pageKind,
                            const SlotFunction *function)
{
    if (!function || (!function->proc && !function->color))
        return 0;
    if (function->color)
        return LRESULT(function->color(page, message, wParam, lParam, pageId));
    const ControlDescriptor *controls = nullptr;
    LONG count = 0;
    if (!PGF_GetPageTable(page, pageId, &controls, &count))
        count = 0;
    auto *context = static_cast<HandlerContext *>(GlobalAlloc(GPTR, sizeof(HandlerContext)));
    if (!context)
        return 0;
    context->code = LONG(message);
    context->page = page;
    context->pageId = pageId;
    context->pageKind = pageKind;
    SheetContext *sheet = PGF_GetPageData(page);
    context->owner = pageKind == PGF_KIND_TAB ? GetParent(page) : (sheet ? sheet->owner : nullptr);
    if (sheet && sheet->state) {
        context->permitted = sheet->state->permitted;
        context->model = sheet->state->context;
    }
    if (sheet && PGF_IsSettingsSetValid(&sheet->working)) {
        context->settings = sheet->working.settings;
        context->printerData = sheet->working.printerData;
    }
    SlotArgs args{context, controls, count, pageKind};
    const LRESULT result = function->proc(page, message, wParam, lParam, pageId, &args);
    GlobalFree(context->changedItems);
    GlobalFree(context);
    return result;
}

/* ---- Control routing ---------------------------------------------------- */

LRESULT PGF_NotifyControls(HandlerContext *context, UINT code, WPARAM wParam, LPARAM lParam,
                           const ControlDescriptor *controls, LONG count, LRESULT noObjection)
{
    LRESULT result = noObjection;
    if (!context || !controls)
        return result;
    for (LONG i = 0; i < count; ++i) {
        const ControlDescriptor &control = controls[i];
        context->defaultHandler = PGF_GetKindHandler(control.kind);
        const ControlHandler handler = control.handler ? control.handler : context->defaultHandler;
        if (!handler)
            continue;
        context->code = LONG(code);
        const LRESULT answer = handler(context, code, wParam, lParam, &control, control.params);
        if (answer != noObjection) {
            result = answer;
            if (code == PGF_MSG_VALIDATE)
                break;
        }
    }
    context->defaultHandler = nullptr;
    return result;
}

const ControlDescriptor *PGF_FindControlById(UINT message, WPARAM wParam, const ControlDescriptor *controls,
                                             LONG count)
{
    LONG id;
    if (message == WM_DRAWITEM || message == WM_MEASUREITEM ||
        (message >= PGF_MSG_GET_CONTROL_PARAM && message <= PGF_MSG_DEFERRED_COMMAND))
        id = LONG(wParam);
    else if (message == WM_COMMAND)
        id = LONG(LOWORD(wParam));
    else
        return nullptr;
    if (id == PGF_NO_CONTROL)
        return nullptr;
    if (const ControlDescriptor *own = PGF_FindControl(controls, count, id))
        return own;
    return PGF_FindControl(PGF_CommonButtons, PGF_COMMON_BUTTON_COUNT, id);
}

const ControlDescriptor *PGF_FindControlByWindow(HWND page, UINT message, LPARAM lParam,
                                                 const ControlDescriptor *controls, LONG count)
{
    if (message != WM_VKEYTOITEM && message != WM_HSCROLL && message != WM_VSCROLL)
        return nullptr;
    const HWND window = reinterpret_cast<HWND>(lParam);
    if (!page || !window || !controls)
        return nullptr;
    for (LONG i = 0; i < count; ++i)
        if (controls[i].controlId != PGF_NO_CONTROL && GetDlgItem(page, int(controls[i].controlId)) == window)
            return &controls[i];
    return nullptr;
}

const ControlDescriptor *PGF_FindTargetControl(HWND page, UINT message, WPARAM wParam, LPARAM lParam,
                                               const ControlDescriptor *controls, LONG count)
{
    if (message == WM_VKEYTOITEM || message == WM_HSCROLL || message == WM_VSCROLL)
        return PGF_FindControlByWindow(page, message, lParam, controls, count);
    return PGF_FindControlById(message, wParam, controls, count);
}

/* ---- Handler context accessors ------------------------------------------ */

HWND PGF_GetCtxWindow(const HandlerContext *context) { return context ? context->page : nullptr; }
HWND PGF_GetCtxOwner(const HandlerContext *context) { return context ? context->owner : nullptr; }
LONG PGF_GetCtxPageId(const HandlerContext *context) { return context ? context->pageId : 0; }
SHORT PGF_GetCtxPageKind(const HandlerContext *context) { return context ? context->pageKind : 0; }
ModelContext *PGF_GetCtxModel(const HandlerContext *context) { return context ? context->model : nullptr; }

BOOL PGF_GetCtxSettings(const HandlerContext *context, BYTE **settings, BYTE **printerData)
{
    if (!context || !context->settings)
        return FALSE;
    if (settings)
        *settings = context->settings;
    if (printerData)
        *printerData = context->printerData;
    return TRUE;
}

BYTE *PGF_GetCtxPrinterData(const HandlerContext *context) { return context ? context->printerData : nullptr; }
LONG PGF_GetCtxPermission(const HandlerContext *context) { return context ? context->permitted : 0; }
void PGF_SetCtxCode(HandlerContext *context, LONG code)
{
    if (context)
        context->code = code;
}
LONG PGF_GetActionResult(const HandlerContext *context) { return context ? context->actionResult : 0; }
void PGF_SetActionResult(HandlerContext *context, LONG result)
{
    if (context)
        context->actionResult = result;
}
LONG PGF_GetCurrentAction(const HandlerContext *context) { return context ? context->buttonAction : -1; }
void PGF_SetCurrentAction(HandlerContext *context, LONG action)
{
    if (context)
        context->buttonAction = action;
}
ControlHandler PGF_GetDefaultHandler(const HandlerContext *context)
{
    return context ? context->defaultHandler : nullptr;
}
const ControlDescriptor *PGF_GetRefreshControl(const HandlerContext *context)
{
    return context ? context->refreshControl : nullptr;
}
void PGF_SetRefreshFlag(HandlerContext *context, LONG flag)
{
    if (context)
        context->refreshPending = flag;
}
const WORD *PGF_GetChangedItems(const HandlerContext *context) { return context ? context->changedItems : nullptr; }
void PGF_SetChangedItems(HandlerContext *context, WORD *items)
{
    if (context)
        context->changedItems = items;
}

BOOL PGF_IsItemChanged(const HandlerContext *context, WORD ddmid)
{
    if (!context || !context->changedItems || !ddmid)
        return FALSE;
    for (const WORD *p = context->changedItems; *p; ++p)
        if (*p == ddmid)
            return TRUE;
    return FALSE;
}

void PGF_RequestRefresh(HandlerContext *context, LONG flag, WORD *items, const ControlDescriptor *control)
{
    if (!context)
        return;
    context->refreshPending = flag;
    if (items != context->changedItems) {
        GlobalFree(context->changedItems);
        context->changedItems = items;
    }
    context->refreshControl = control;
}

BOOL PGF_AppendChangedItems(HandlerContext *context, const WORD *items, LONG count)
{
    if (!context || !items || count < 0)
        return FALSE;
    LONG old = 0;
    if (context->changedItems)
        while (context->changedItems[old])
            ++old;
    auto *list = static_cast<WORD *>(GlobalAlloc(GPTR, (size_t(old) + size_t(count) + 1) * sizeof(WORD)));
    if (!list)
        return FALSE;
    if (old)
        std::memcpy(list, context->changedItems, size_t(old) * sizeof(WORD));
    std::memcpy(list + old, items, size_t(count) * sizeof(WORD));
    GlobalFree(context->changedItems);
    context->changedItems = list;
    return TRUE;
}
