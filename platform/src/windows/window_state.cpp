/*
 * A window's text, family, enabled and visible state, focus (with its
 * kill- and set-focus messages, sent synchronously), properties, painting
 * state, and the system's metrics, colours and cursors.
 */
#include "window_private.h"

#include <plat/error.h>
#include <plat/machine.h>
#include <plat/raster.h>
#include <plat/text.h>

#include <algorithm>

namespace {

using plat::win::Window;

struct Focus {
    HWND focus = nullptr;
    HWND active = nullptr;
    HWND capture = nullptr;
    POINT cursor{0, 0};
    HCURSOR cursorShape = nullptr;
};

Focus &focus()
{
    static Focus *f = new Focus;
    return *f;
}

const bool registered = (plat::machine_on_reset([] { focus() = Focus(); }), true);

bool sameName(const std::u16string &a, LPCWSTR b)
{
    return lstrcmpiW(a.c_str(), b) == 0;
}

/* Property names may be atoms; they are kept as "#<number>". */
std::u16string propName(LPCWSTR name)
{
    if ((reinterpret_cast<uintptr_t>(name) >> 16) == 0) {
        const std::string n = "#" + std::to_string(reinterpret_cast<uintptr_t>(name));
        return std::u16string(n.begin(), n.end());
    }
    return std::u16string(name, size_t(lstrlenW(name)));
}

} // namespace

namespace plat::win {

void forget_focus(HWND h)
{
    Focus &f = focus();
    if (f.focus == h)
        f.focus = nullptr;
    if (f.active == h)
        f.active = nullptr;
    if (f.capture == h)
        f.capture = nullptr;
}

} // namespace plat::win

BOOL SetWindowTextW(HWND window, LPCWSTR text)
{
    if (!plat::win::find(window))
        return FALSE;
    return SendMessageW(window, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(text)) ? TRUE : FALSE;
}

int GetWindowTextW(HWND window, LPWSTR text, int cch)
{
    if (!text || cch <= 0) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return 0;
    }
    text[0] = 0;
    if (!plat::win::find(window))
        return 0;
    return int(SendMessageW(window, WM_GETTEXT, WPARAM(cch), reinterpret_cast<LPARAM>(text)));
}

int GetWindowTextLengthW(HWND window)
{
    if (!plat::win::find(window))
        return 0;
    return int(SendMessageW(window, WM_GETTEXTLENGTH, 0, 0));
}

HWND GetWindow(HWND window, UINT cmd)
{
    Window *w = plat::win::find(window);
    if (!w)
        return nullptr;
    if (cmd == GW_OWNER)
        return plat::win::is_child(*w) ? nullptr : w->owner;
    if (cmd == GW_CHILD) {
        auto kids = plat::win::children(window);
        return kids.empty() ? nullptr : kids.front();
    }
    /* Siblings: children of the same parent, or top-level windows. */
    std::vector<HWND> siblings;
    if (plat::win::is_child(*w)) {
        siblings = plat::win::children(w->parent);
    } else {
        for (Window *o : plat::win::all())
            if (!plat::win::is_child(*o))
                siblings.push_back(o->self);
    }
    auto it = std::find(siblings.begin(), siblings.end(), window);
    switch (cmd) {
    case GW_HWNDFIRST:
        return siblings.front();
    case GW_HWNDLAST:
        return siblings.back();
    case GW_HWNDNEXT:
        return (it == siblings.end() || it + 1 == siblings.end()) ? nullptr : *(it + 1);
    case GW_HWNDPREV:
        return (it == siblings.begin() || it == siblings.end()) ? nullptr : *(it - 1);
    default:
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
}

BOOL EnumChildWindows(HWND parent, WNDENUMPROC proc, LPARAM lParam)
{
    if (!proc)
        return FALSE;
    /* Every descendant, depth first, each window before its own children. */
    std::vector<HWND> order;
    std::function<void(HWND)> walk = [&](HWND h) {
        for (HWND c : plat::win::children(h)) {
            order.push_back(c);
            walk(c);
        }
    };
    walk(parent);
    for (HWND h : order)
        if (IsWindow(h) && !proc(h, lParam))
            break;
    return TRUE;
}

BOOL IsChild(HWND parent, HWND window)
{
    Window *w = plat::win::find(window, false);
    while (w && plat::win::is_child(*w)) {
        if (w->parent == parent)
            return TRUE;
        w = plat::win::find(w->parent, false);
    }
    return FALSE;
}

HWND SetParent(HWND child, HWND newParent)
{
    Window *w = plat::win::find(child);
    if (!w || !plat::win::is_child(*w) || !plat::win::find(newParent) || newParent == child ||
        IsChild(child, newParent)) {
        SetLastError(ERROR_INVALID_PARAMETER);
        return nullptr;
    }
    HWND old = w->parent;
    w->parent = newParent;
    return old;
}

BOOL EnableWindow(HWND window, BOOL enable)
{
    Window *w = plat::win::find(window);
    if (!w)
        return FALSE;
    const BOOL wasDisabled = (w->style & WS_DISABLED) ? TRUE : FALSE;
    if (bool(enable) == !wasDisabled)
        return wasDisabled;
    if (enable) {
        w->style &= ~WS_DISABLED;
    } else {
        w->style |= WS_DISABLED;
        if (focus().focus == window || IsChild(window, focus().focus))
            SetFocus(nullptr);
    }
    w->dirty = true;
    SendMessageW(window, WM_ENABLE, enable ? TRUE : FALSE, 0);
    return wasDisabled;
}

BOOL IsWindowEnabled(HWND window)
{
    Window *w = plat::win::find(window);
    return (w && !(w->style & WS_DISABLED)) ? TRUE : FALSE;
}

BOOL ShowWindow(HWND window, int cmd)
{
    Window *w = plat::win::find(window);
    if (!w)
        return FALSE;
    const BOOL wasVisible = (w->style & WS_VISIBLE) ? TRUE : FALSE;
    const bool show = cmd != SW_HIDE;
    if (show == bool(wasVisible))
        return wasVisible;
    SendMessageW(window, WM_SHOWWINDOW, show ? TRUE : FALSE, 0);
    if (!(w = plat::win::find(window, false)))
        return wasVisible;
    if (show) {
        w->style |= WS_VISIBLE;
    } else {
        w->style &= ~WS_VISIBLE;
        if (focus().focus == window || IsChild(window, focus().focus))
            SetFocus(nullptr);
    }
    w->dirty = true;
    return wasVisible;
}

BOOL IsWindowVisible(HWND window)
{
    for (Window *w = plat::win::find(window, false); w;) {
        if (!(w->style & WS_VISIBLE))
            return FALSE;
        if (!plat::win::is_child(*w))
            return TRUE;
        w = plat::win::find(w->parent, false);
    }
    return FALSE;
}

HWND SetFocus(HWND window)
{
    Focus &f = focus();
    const HWND previous = f.focus;
    if (window && !plat::win::find(window))
        return nullptr;
    if (window == previous)
        return previous;
    if (window && !IsWindowEnabled(window))
        return nullptr;
    if (previous && IsWindow(previous)) {
        /* The focus is gone before the old window hears of it. */
        f.focus = nullptr;
        SendMessageW(previous, WM_KILLFOCUS, reinterpret_cast<WPARAM>(window), 0);
        /* A kill-focus handler may have moved the focus itself; its move wins. */
        if (f.focus != nullptr)
            return previous;
    }
    if (window && !IsWindow(window))
        return previous;
    f.focus = window;
    if (window) {
        f.active = plat::win::root(window);
        SendMessageW(window, WM_SETFOCUS, reinterpret_cast<WPARAM>(previous), 0);
    }
    return previous;
}

HWND GetFocus(void) { return focus().focus; }

HWND SetActiveWindow(HWND window)
{
    const HWND previous = focus().active;
    if (window && plat::win::find(window))
        focus().active = plat::win::root(window);
    return previous;
}

HWND GetForegroundWindow(void) { return focus().active; }

BOOL SetForegroundWindow(HWND window)
{
    if (!plat::win::find(window))
        return FALSE;
    focus().active = plat::win::root(window);
    return TRUE;
}

HWND SetCapture(HWND window)
{
    const HWND previous = focus().capture;
    focus().capture = plat::win::find(window, false) ? window : nullptr;
    return previous;
}

BOOL ReleaseCapture(void)
{
    focus().capture = nullptr;
    return TRUE;
}

HWND GetCapture(void) { return focus().capture; }

BOOL GetCursorPos(POINT *point)
{
    if (!point)
        return FALSE;
    *point = focus().cursor;
    return TRUE;
}

BOOL SetCursorPos(int x, int y)
{
    focus().cursor = POINT{x, y};
    return TRUE;
}

BOOL SetPropW(HWND window, LPCWSTR name, HANDLE data)
{
    Window *w = plat::win::find(window);
    if (!w || !name)
        return FALSE;
    const std::u16string key = propName(name);
    for (auto &[n, v] : w->props)
        if (sameName(n, key.c_str())) {
            v = data;
            return TRUE;
        }
    w->props.emplace_back(key, data);
    return TRUE;
}

HANDLE GetPropW(HWND window, LPCWSTR name)
{
    Window *w = plat::win::find(window, false);
    if (!w || !name)
        return nullptr;
    const std::u16string key = propName(name);
    for (auto &[n, v] : w->props)
        if (sameName(n, key.c_str()))
            return v;
    return nullptr;
}

HANDLE RemovePropW(HWND window, LPCWSTR name)
{
    Window *w = plat::win::find(window, false);
    if (!w || !name)
        return nullptr;
    const std::u16string key = propName(name);
    for (auto it = w->props.begin(); it != w->props.end(); ++it)
        if (sameName(it->first, key.c_str())) {
            HANDLE v = it->second;
            w->props.erase(it);
            return v;
        }
    return nullptr;
}

BOOL InvalidateRect(HWND window, const RECT *, BOOL)
{
    if (!window) {
        for (Window *w : plat::win::all())
            w->dirty = true;
        return TRUE;
    }
    Window *w = plat::win::find(window);
    if (!w)
        return FALSE;
    w->dirty = true;
    return TRUE;
}

BOOL UpdateWindow(HWND window)
{
    Window *w = plat::win::find(window);
    if (!w)
        return FALSE;
    if (w->dirty && IsWindowVisible(window))
        SendMessageW(window, WM_PAINT, 0, 0);
    return TRUE;
}

BOOL RedrawWindow(HWND window, const RECT *, void *, UINT flags)
{
    Window *w = plat::win::find(window);
    if (!w)
        return FALSE;
    std::vector<HWND> targets{window};
    if (flags & RDW_ALLCHILDREN)
        EnumChildWindows(
            window,
            [](HWND h, LPARAM p) {
                reinterpret_cast<std::vector<HWND> *>(p)->push_back(h);
                return TRUE;
            },
            reinterpret_cast<LPARAM>(&targets));
    for (HWND h : targets)
        if (Window *t = plat::win::find(h, false)) {
            if (flags & RDW_INVALIDATE)
                t->dirty = true;
            if (flags & RDW_UPDATENOW)
                UpdateWindow(h);
        }
    return TRUE;
}

int GetSystemMetrics(int index)
{
    switch (index) {
    case SM_CXSCREEN:
        return plat::win::scale(1024);
    case SM_CYSCREEN:
        return plat::win::scale(768);
    case SM_CXVSCROLL:
    case SM_CYHSCROLL:
        return plat::win::scale(17);
    case SM_CYCAPTION:
        return plat::win::scale(23);
    case SM_CXBORDER:
    case SM_CYBORDER:
        return 1;
    case SM_CXICON:
    case SM_CYICON:
    case SM_CXCURSOR:
    case SM_CYCURSOR:
        return 32;
    case SM_CXEDGE:
    case SM_CYEDGE:
        return 2;
    case SM_CXSMICON:
    case SM_CYSMICON:
        return 16;
    default:
        return 0;
    }
}

DWORD GetSysColor(int index)
{
    switch (index) {
    case COLOR_SCROLLBAR:
        return RGB(200, 200, 200);
    case COLOR_BACKGROUND:
        return RGB(0, 0, 0);
    case COLOR_WINDOW:
    case COLOR_BTNHIGHLIGHT:
        return RGB(255, 255, 255);
    case COLOR_WINDOWFRAME:
    case COLOR_WINDOWTEXT:
    case COLOR_BTNTEXT:
    case COLOR_INFOTEXT:
        return RGB(0, 0, 0);
    case COLOR_HIGHLIGHT:
        return RGB(0, 120, 215);
    case COLOR_HIGHLIGHTTEXT:
        return RGB(255, 255, 255);
    case COLOR_BTNFACE:
        return RGB(240, 240, 240);
    case COLOR_BTNSHADOW:
        return RGB(160, 160, 160);
    case COLOR_GRAYTEXT:
        return RGB(109, 109, 109);
    case COLOR_3DDKSHADOW:
        return RGB(105, 105, 105);
    case COLOR_3DLIGHT:
        return RGB(227, 227, 227);
    case COLOR_INFOBK:
        return RGB(255, 255, 225);
    default:
        return 0;
    }
}

HCURSOR LoadCursorW(HINSTANCE, LPCWSTR name)
{
    /* Cursors are tokens: the system cursor's number stands for it. */
    return reinterpret_cast<HCURSOR>(const_cast<LPWSTR>(name));
}

HCURSOR SetCursor(HCURSOR cursor)
{
    (void)registered;
    const HCURSOR previous = focus().cursorShape;
    focus().cursorShape = cursor;
    return previous;
}

BOOL MessageBeep(UINT) { return TRUE; }
