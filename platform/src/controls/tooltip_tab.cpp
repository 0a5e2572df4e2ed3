/*
 * The tooltip class (tools with their windows, ids, flags, rectangles and
 * texts; a hit test answers the text that would show at a point, asking the
 * owner with TTN_GETDISPINFOW for call-back texts) and the tab control
 * (labels, the current tab; a user's choice sends TCN_SELCHANGING, which
 * may refuse, then TCN_SELCHANGE; TCM_SETCURSEL sends nothing), with
 * their painters.
 */
#include "controls_private.h"

#include <plat/resource.h>

#include <algorithm>
#include <cstddef>

namespace {

using namespace plat::ctl;

/* ---- Tooltip ---- */

struct Tool {
    UINT flags = 0;
    HWND window = nullptr;
    UINT_PTR id = 0;
    RECT rect{};
    HINSTANCE instance = nullptr;
    bool callback = false;
    std::u16string text;
    LPARAM lParam = 0;
};

struct Tips {
    std::vector<Tool> tools;
    int maxWidth = -1;
    bool active = true;
    std::u16string shown; /* the last text a hit test answered */
};

/* The oldest record ends after lpszText; lParam follows in later ones. */
constexpr UINT kMinToolInfo = UINT(offsetof(TTTOOLINFOW, lParam));

std::u16string textOf(const TTTOOLINFOW &ti, bool &callback)
{
    callback = ti.lpszText == LPSTR_TEXTCALLBACKW;
    if (callback || !ti.lpszText)
        return {};
    if (IS_INTRESOURCE(ti.lpszText)) {
        WCHAR buf[1024];
        const int n = LoadStringW(ti.hinst, UINT(reinterpret_cast<uintptr_t>(ti.lpszText)), buf, 1024);
        return std::u16string(buf, size_t(std::max(n, 0)));
    }
    return std::u16string(ti.lpszText, size_t(lstrlenW(ti.lpszText)));
}

Tool *findTool(Tips &t, const TTTOOLINFOW *ti)
{
    if (!ti)
        return nullptr;
    for (Tool &tool : t.tools)
        if (tool.window == ti->hwnd && tool.id == ti->uId)
            return &tool;
    return nullptr;
}

void fill(const Tool &tool, TTTOOLINFOW *ti)
{
    ti->uFlags = tool.flags;
    ti->hwnd = tool.window;
    ti->uId = tool.id;
    ti->rect = tool.rect;
    ti->hinst = tool.instance;
    ti->lParam = tool.lParam;
    if (tool.callback) {
        ti->lpszText = LPSTR_TEXTCALLBACKW;
    } else if (ti->lpszText && ti->lpszText != LPSTR_TEXTCALLBACKW && !IS_INTRESOURCE(ti->lpszText)) {
        /* The caller's buffer holds 80 characters, as on Windows. */
        copy_out(tool.text, reinterpret_cast<LPARAM>(ti->lpszText), 80);
    }
}

LRESULT hitTest(HWND h, const POINT *screen)
{
    auto t = state<Tips>(h);
    if (!screen || !t->active)
        return 0;
    for (const Tool &tool : t->tools) {
        RECT r = tool.rect;
        HWND owner = tool.window;
        if (tool.flags & TTF_IDISHWND) {
            owner = reinterpret_cast<HWND>(tool.id);
            if (!IsWindowVisible(owner))
                continue;
            GetClientRect(owner, &r);
        }
        POINT p = *screen;
        if (!owner || !ScreenToClient(owner, &p) || !PtInRect(&r, p))
            continue;
        if (tool.callback) {
            NMTTDISPINFOW di{};
            di.hdr.hwndFrom = h;
            di.hdr.idFrom = tool.id;
            di.hdr.code = TTN_GETDISPINFOW;
            di.uFlags = tool.flags;
            di.lParam = tool.lParam;
            SendMessageW(tool.window, WM_NOTIFY, tool.id, reinterpret_cast<LPARAM>(&di));
            if (di.lpszText && di.lpszText != LPSTR_TEXTCALLBACKW && !IS_INTRESOURCE(di.lpszText))
                t->shown = std::u16string(di.lpszText, size_t(lstrlenW(di.lpszText)));
            else
                t->shown = std::u16string(di.szText, size_t(lstrlenW(di.szText)));
        } else {
            t->shown = tool.text;
        }
        return reinterpret_cast<LRESULT>(t->shown.c_str());
    }
    return 0;
}

LRESULT tooltipProc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    auto *ti = reinterpret_cast<TTTOOLINFOW *>(lp);
    switch (msg) {
    case TTM_ADDTOOLW: {
        if (!ti || ti->cbSize < kMinToolInfo)
            return FALSE;
        Tool tool;
        tool.flags = ti->uFlags;
        tool.window = ti->hwnd;
        tool.id = ti->uId;
        tool.rect = ti->rect;
        tool.instance = ti->hinst;
        tool.text = textOf(*ti, tool.callback);
        tool.lParam = ti->cbSize >= offsetof(TTTOOLINFOW, lpReserved) ? ti->lParam : 0;
        state<Tips>(h)->tools.push_back(tool);
        return TRUE;
    }
    case TTM_DELTOOLW: {
        auto t = state<Tips>(h);
        if (Tool *tool = findTool(*t, ti))
            t->tools.erase(t->tools.begin() + (tool - t->tools.data()));
        return 0;
    }
    case TTM_NEWTOOLRECTW:
        if (Tool *tool = findTool(*state<Tips>(h), ti))
            tool->rect = ti->rect;
        return 0;
    case TTM_UPDATETIPTEXTW:
        if (Tool *tool = findTool(*state<Tips>(h), ti)) {
            tool->instance = ti->hinst;
            tool->text = textOf(*ti, tool->callback);
        }
        return 0;
    case TTM_SETTOOLINFOW:
        if (Tool *tool = findTool(*state<Tips>(h), ti)) {
            tool->flags = ti->uFlags;
            tool->rect = ti->rect;
            tool->text = textOf(*ti, tool->callback);
        }
        return 0;
    case TTM_GETTOOLINFOW:
        if (Tool *tool = findTool(*state<Tips>(h), ti)) {
            fill(*tool, ti);
            return TRUE;
        }
        return FALSE;
    case TTM_GETTEXTW:
        if (Tool *tool = findTool(*state<Tips>(h), ti)) {
            if (ti->lpszText && ti->lpszText != LPSTR_TEXTCALLBACKW)
                copy_out(tool->text, reinterpret_cast<LPARAM>(ti->lpszText), wp ? wp : 80);
        }
        return 0;
    case TTM_GETTOOLCOUNT:
        return LRESULT(state<Tips>(h)->tools.size());
    case TTM_ENUMTOOLSW: {
        auto t = state<Tips>(h);
        if (!ti || wp >= t->tools.size())
            return FALSE;
        fill(t->tools[wp], ti);
        return TRUE;
    }
    case TTM_SETMAXTIPWIDTH: {
        auto t = state<Tips>(h);
        const int previous = t->maxWidth;
        t->maxWidth = int(LONG(lp));
        return previous;
    }
    case TTM_GETMAXTIPWIDTH:
        return state<Tips>(h)->maxWidth;
    case TTM_ACTIVATE:
        state<Tips>(h)->active = wp != 0;
        return 0;
    case TTM_SETDELAYTIME:
    case TTM_POP:
        return 0;
    case PLAT_CM_HITTEST:
        return hitTest(h, reinterpret_cast<const POINT *>(lp));
    default:
        return DefWindowProcW(h, msg, wp, lp);
    }
}

/* ---- Tab control ---- */

struct TabItem {
    std::u16string text;
    int image = -1;
    LPARAM lParam = 0;
};

struct Tabs {
    std::vector<TabItem> items;
    int cur = -1;
};

int tabHeight() { return plat::window_dpi() * 21 / 96; }

RECT tabRect(HWND h, const Tabs &t, int index)
{
    HDC dc = GetDC(h);
    SelectObject(dc, font_of(h));
    int x = 2;
    RECT r{};
    for (int i = 0; i <= index && i < int(t.items.size()); ++i) {
        SIZE s{};
        GetTextExtentPoint32W(dc, t.items[size_t(i)].text.c_str(), int(t.items[size_t(i)].text.size()), &s);
        r = RECT{x, 2, x + s.cx + 12, 2 + tabHeight()};
        x = r.right;
    }
    ReleaseDC(h, dc);
    return r;
}

void setItem(TabItem &item, const TCITEMW *ti)
{
    if (ti->mask & TCIF_TEXT)
        item.text = text_arg(reinterpret_cast<LPARAM>(ti->pszText));
    if (ti->mask & TCIF_IMAGE)
        item.image = ti->iImage;
    if (ti->mask & TCIF_PARAM)
        item.lParam = ti->lParam;
}

void chooseTab(HWND h, int index)
{
    auto t = state<Tabs>(h);
    if (index < 0 || index >= int(t->items.size()) || index == t->cur)
        return;
    NMHDR hdr{};
    if (notify(h, &hdr, TCN_SELCHANGING))
        return;
    t->cur = index;
    InvalidateRect(h, nullptr, TRUE);
    notify(h, &hdr, TCN_SELCHANGE);
}

void paintTabs(HWND h)
{
    Paint p(h, 0);
    auto t = state<Tabs>(h);
    RECT body{0, 2 + tabHeight(), p.client.right, p.client.bottom};
    p.raised(body);
    for (int i = 0; i < int(t->items.size()); ++i) {
        RECT r = tabRect(h, *t, i);
        if (i == t->cur)
            InflateRect(&r, 2, 2);
        p.fill(r, COLOR_BTNFACE);
        RECT edge = r;
        edge.bottom += 1;
        DrawEdge(p.dc, &edge, EDGE_RAISED, BF_RECT);
        p.text(t->items[size_t(i)].text, r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
    }
}

LRESULT tabProc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    auto t = state<Tabs>(h);
    const int index = int(LONG(wp));
    switch (msg) {
    case TCM_INSERTITEMW: {
        const auto *ti = reinterpret_cast<const TCITEMW *>(lp);
        if (!ti || index < 0)
            return -1;
        TabItem item;
        setItem(item, ti);
        const size_t at = std::min(size_t(index), t->items.size());
        t->items.insert(t->items.begin() + long(at), item);
        if (t->cur >= int(at))
            ++t->cur;
        if (t->cur < 0)
            t->cur = 0;
        InvalidateRect(h, nullptr, TRUE);
        return LRESULT(at);
    }
    case TCM_SETITEMW:
    case TCM_GETITEMW: {
        auto *ti = reinterpret_cast<TCITEMW *>(lp);
        if (!ti || index < 0 || index >= int(t->items.size()))
            return FALSE;
        TabItem &item = t->items[size_t(index)];
        if (msg == TCM_SETITEMW) {
            setItem(item, ti);
            return TRUE;
        }
        if ((ti->mask & TCIF_TEXT) && ti->pszText)
            copy_out(item.text, reinterpret_cast<LPARAM>(ti->pszText), size_t(std::max(ti->cchTextMax, 0)));
        if (ti->mask & TCIF_IMAGE)
            ti->iImage = item.image;
        if (ti->mask & TCIF_PARAM)
            ti->lParam = item.lParam;
        return TRUE;
    }
    case TCM_GETITEMCOUNT:
        return LRESULT(t->items.size());
    case TCM_GETCURSEL:
        return t->cur;
    case TCM_SETCURSEL: {
        if (index < 0 || index >= int(t->items.size()))
            return -1;
        const int previous = t->cur;
        t->cur = index;
        InvalidateRect(h, nullptr, TRUE);
        return previous;
    }
    case TCM_DELETEITEM:
        if (index < 0 || index >= int(t->items.size()))
            return FALSE;
        t->items.erase(t->items.begin() + index);
        if (t->cur >= int(t->items.size()))
            t->cur = int(t->items.size()) - 1;
        return TRUE;
    case TCM_DELETEALLITEMS:
        t->items.clear();
        t->cur = -1;
        return TRUE;
    case TCM_GETITEMRECT: {
        auto *r = reinterpret_cast<RECT *>(lp);
        if (!r || index < 0 || index >= int(t->items.size()))
            return FALSE;
        *r = tabRect(h, *t, index);
        return TRUE;
    }
    case TCM_ADJUSTRECT: {
        auto *r = reinterpret_cast<RECT *>(lp);
        if (!r)
            return 0;
        const int top = 2 + tabHeight() + 2;
        if (wp) {
            r->top -= top;
            InflateRect(r, 2, 2);
            r->top += 2;
        } else {
            r->top += top;
            InflateRect(r, -2, -2);
            r->top -= 2;
        }
        return 0;
    }
    case PLAT_CM_CHOOSE:
        chooseTab(h, index);
        return 0;
    case WM_KEYDOWN:
        if (wp == VK_RIGHT || wp == VK_LEFT)
            chooseTab(h, t->cur + (wp == VK_RIGHT ? 1 : -1));
        return 0;
    case WM_PAINT:
        paintTabs(h);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    default:
        return DefWindowProcW(h, msg, wp, lp);
    }
}

const bool registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = tooltipProc;
    wc.lpszClassName = TOOLTIPS_CLASSW;
    plat::window_register_builtin(wc);
    wc.lpfnWndProc = tabProc;
    wc.lpszClassName = WC_TABCONTROLW;
    return plat::window_register_builtin(wc);
}();

} // namespace
