/*
 * The small slot functions every page kind shares (control messages, the
 * tab command, value cycling, broadcasts, item measuring, wizard finish,
 * page id, colours, warnings, destroy, help) and the tooltip helpers the
 * pages use.
 */
#include "pgf_dispatch.h"
#include "pgf_sheet.h"
#include "pgf_utils.h"

#include <tarvel/base/res_module.h>
#include <tarvel/base/res_text.h>

#include <plat/commdlg.h>
#include <plat/controls.h>
#include <plat/memory.h>
#include <plat/msgbox.h>
#include <plat/prsht.h>
#include <plat/raster.h>
#include <plat/resource.h>

#include <string_view>

namespace {

/* Item height of owner-drawn rows at 96 dpi. */
constexpr int kItemHeight = 15;

bool routedByControl(UINT message)
{
    return message == WM_DRAWITEM || message == WM_MEASUREITEM || message == WM_VKEYTOITEM ||
           message == WM_COMMAND || message == WM_HSCROLL || message == WM_VSCROLL ||
           (message >= PGF_MSG_GET_CONTROL_PARAM && message <= PGF_MSG_DEFERRED_COMMAND);
}

/* Runs the refresh a handler asked for, then forgets the changed list. */
void runPendingRefresh(HandlerContext *context)
{
    if (context->refreshPending != 1)
        return;
    PGF_RefreshPage(context, context->changedItems);
    context->refreshPending = 0;
    GlobalFree(context->changedItems);
    context->changedItems = nullptr;
}

} // namespace

LRESULT PGF_SlotControlMessage(HWND page, UINT message, WPARAM wParam, LPARAM lParam, LONG, SlotArgs *args)
{
    if (!routedByControl(message))
        return 1;
    if (!page || !args || !args->context || !args->controls)
        return 1;
    const ControlDescriptor *target =
        PGF_FindTargetControl(page, message, wParam, lParam, args->controls, args->controlCount);
    if (!target)
        return 1;
    HandlerContext *context = args->context;
    context->defaultHandler = PGF_GetKindHandler(target->kind);
    const ControlHandler handler = target->handler ? target->handler : context->defaultHandler;
    LRESULT result = 0;
    if (handler) {
        context->code = LONG(message);
        result = handler(context, message, wParam, lParam, target, target->params);
    }
    runPendingRefresh(context);
    context->defaultHandler = nullptr;
    return result;
}

LRESULT PGF_SlotTabCommand(HWND page, UINT message, WPARAM wParam, LPARAM lParam, LONG pageId, SlotArgs *args)
{
    /* Escape reaches a tab page as IDCANCEL with notification 0: the sheet handles it. */
    if (message == WM_COMMAND && wParam == IDCANCEL)
        return 0;
    return PGF_SlotControlMessage(page, message, wParam, lParam, pageId, args);
}

LRESULT PGF_SlotCycleValue(HWND, UINT message, WPARAM wParam, LPARAM, LONG, SlotArgs *args)
{
    if (message != PGF_MSG_NEXT_VALUE)
        return 0;
    if (!args || !args->context)
        return 1;
    const ControlDescriptor *target = PGF_FindControlById(message, wParam, args->controls, args->controlCount);
    if (!target)
        return 1;
    const BOOL result = PGF_SelectNextOption(args->context, target);
    if (result)
        runPendingRefresh(args->context);
    return result;
}

LRESULT PGF_SlotBroadcast(HWND page, UINT message, WPARAM wParam, LPARAM lParam, LONG, SlotArgs *args)
{
    if (message != WM_PAINT && message != WM_QUERYNEWPALETTE && message != WM_PALETTECHANGED)
        return 1;
    if (!page || !args || !args->context || !args->controls)
        return 1;
    return PGF_NotifyControls(args->context, message, wParam, lParam, args->controls, args->controlCount, 0);
}

LRESULT PGF_SlotMeasureItem(HWND page, UINT message, WPARAM, LPARAM lParam, LONG, SlotArgs *)
{
    auto *measure = reinterpret_cast<MEASUREITEMSTRUCT *>(lParam);
    if (message != WM_MEASUREITEM || !measure)
        return 1;
    HDC dc = GetDC(page);
    measure->itemHeight = UINT(dc ? PGF_ScaleToDpi(dc, kItemHeight, LOGPIXELSY) : kItemHeight);
    if (dc)
        ReleaseDC(page, dc);
    return 0;
}

LRESULT PGF_SlotWizFinish(HWND, UINT message, WPARAM, LPARAM lParam, LONG, SlotArgs *)
{
    const auto *header = reinterpret_cast<const NMHDR *>(lParam);
    return message == WM_NOTIFY && header && header->code == PSN_WIZFINISH ? 0 : 1;
}

LRESULT PGF_SlotGetPageId(HWND, UINT message, WPARAM, LPARAM lParam, LONG pageId, SlotArgs *)
{
    if (message != PGF_MSG_GET_PAGE_ID)
        return 1;
    if (auto *out = reinterpret_cast<LONG *>(lParam))
        *out = pageId;
    return 0;
}

LRESULT PGF_SlotCtlColor(HWND, UINT message, WPARAM, LPARAM, LONG, SlotArgs *)
{
    return message == WM_CTLCOLOR || (message >= WM_CTLCOLORMSGBOX && message <= WM_CTLCOLORSTATIC) ? 0 : 1;
}

LRESULT PGF_SlotShowWarnings(HWND page, UINT message, WPARAM, LPARAM, LONG, SlotArgs *)
{
    if (message != PGF_MSG_SHOW_WARNINGS)
        return 1;
    SheetState *state = PGF_GetSheetState(page);
    if (!state || !state->warnings)
        return 0;
    WCHAR caption[128] = {};
    if (LoadStringW(RES_GetResourceModule(), PGF_CAPTION_STRING, caption, 128) <= 0)
        return 0;
    for (int i = 0; i < 2 && state->warnings[i]; ++i)
        RES_MessageBox(page, state->warnings[i], caption, MB_ICONWARNING);
    for (int i = 0; i < 2; ++i)
        GlobalFree(state->warnings[i]);
    GlobalFree(state->warnings);
    state->warnings = nullptr;
    return 1;
}

LRESULT PGF_SlotDestroy(HWND page, UINT, WPARAM, LPARAM, LONG, SlotArgs *)
{
    const SheetState *state = PGF_GetSheetState(page);
    if (!state)
        return 0;
    const std::u16string_view help(state->helpFile);
    const size_t dot = help.rfind(u'.');
    if (dot == std::u16string_view::npos || help.substr(dot) != u".hlp")
        return 0;
    return WinHelpW(page, state->helpFile, HELP_QUIT, 0) ? 0 : 1;
}

LRESULT PGF_SlotHelp(HWND page, UINT message, WPARAM wParam, LPARAM lParam, LONG pageId, SlotArgs *args)
{
    if (message != WM_NOTIFY && message != WM_HELP && message != WM_CONTEXTMENU)
        return 1;
    return PGF_ShowHelp(page, message, wParam, lParam, pageId, args);
}

/* ---- Tooltip helpers --------------------------------------------------- */

namespace {

/* The size the tools are described with (the record without its last two members). */
constexpr UINT kToolInfoSize = 64;

LRESULT sendTool(HWND page, HWND tooltip, UINT message, UINT_PTR id, UINT flags, const RECT *rect, LPCWSTR text)
{
    TTTOOLINFOW info{};
    info.cbSize = kToolInfoSize;
    info.uFlags = flags;
    info.hwnd = page;
    info.uId = id;
    if (rect)
        info.rect = *rect;
    info.hinst = RES_GetResourceModule();
    info.lpszText = const_cast<LPWSTR>(text);
    return SendMessageW(tooltip, message, 0, reinterpret_cast<LPARAM>(&info));
}

} // namespace

HWND PGF_CreateTooltip(HWND page, int maxWidth)
{
    HWND tooltip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, TTS_ALWAYSTIP, CW_USEDEFAULT, CW_USEDEFAULT,
                                   CW_USEDEFAULT, CW_USEDEFAULT, page, nullptr, RES_GetResourceModule(), nullptr);
    if (tooltip && maxWidth)
        SendMessageW(tooltip, TTM_SETMAXTIPWIDTH, 0, maxWidth);
    return tooltip;
}

BOOL PGF_TooltipAddTool(HWND page, HWND tooltip, UINT_PTR id, UINT flags, LPCWSTR text)
{
    if (!tooltip || !text)
        return FALSE;
    return sendTool(page, tooltip, TTM_ADDTOOLW, id, flags, nullptr, text) ? TRUE : FALSE;
}

BOOL PGF_TooltipSetRect(HWND page, HWND tooltip, UINT_PTR id, UINT flags, const RECT *rect)
{
    if (!tooltip || !rect)
        return FALSE;
    sendTool(page, tooltip, TTM_NEWTOOLRECTW, id, flags, rect, nullptr);
    return TRUE;
}

BOOL PGF_TooltipUpdateText(HWND page, HWND tooltip, UINT_PTR id, UINT flags, LPCWSTR text)
{
    if (!tooltip || !text)
        return FALSE;
    sendTool(page, tooltip, TTM_UPDATETIPTEXTW, id, flags, nullptr, text);
    return TRUE;
}
