/*
 * Geometry on the one virtual screen: window and client rectangles (a
 * window has no non-client area, so both are the same size), mapping points
 * between windows, moving and sizing (WM_MOVE, WM_SIZE), finding the child
 * at a point, the rectangle helpers, and the screen's DPI that dialog units
 * and fonts scale with.
 */
#include "window_private.h"

#include <plat/error.h>
#include <plat/machine.h>

#include <algorithm>

namespace {

using plat::win::Window;

int &dpi()
{
    static int d = 96;
    return d;
}

const bool registered = (plat::machine_on_reset([] { dpi() = 96; }), true);

} // namespace

namespace plat::win {

int scale(int value96) { return value96 * dpi() / 96; }

POINT screen_origin(HWND h)
{
    POINT p{0, 0};
    for (Window *w = find(h, false); w;) {
        p.x += w->rect.left;
        p.y += w->rect.top;
        if (!is_child(*w))
            break;
        w = find(w->parent, false);
    }
    return p;
}

} // namespace plat::win

namespace plat {

void window_set_dpi(int value)
{
    (void)registered;
    dpi() = std::clamp(value, 48, 480);
}

int window_dpi() { return dpi(); }

} // namespace plat

BOOL GetWindowRect(HWND window, RECT *rect)
{
    Window *w = plat::win::find(window);
    if (!w || !rect)
        return FALSE;
    const POINT o = plat::win::screen_origin(window);
    *rect = RECT{o.x, o.y, o.x + (w->rect.right - w->rect.left), o.y + (w->rect.bottom - w->rect.top)};
    return TRUE;
}

BOOL GetClientRect(HWND window, RECT *rect)
{
    Window *w = plat::win::find(window);
    if (!w || !rect)
        return FALSE;
    *rect = RECT{0, 0, w->rect.right - w->rect.left, w->rect.bottom - w->rect.top};
    return TRUE;
}

int MapWindowPoints(HWND from, HWND to, POINT *points, UINT count)
{
    const POINT a = (from && from != GetDesktopWindow()) ? plat::win::screen_origin(from) : POINT{0, 0};
    const POINT b = (to && to != GetDesktopWindow()) ? plat::win::screen_origin(to) : POINT{0, 0};
    const LONG dx = a.x - b.x;
    const LONG dy = a.y - b.y;
    for (UINT i = 0; points && i < count; ++i) {
        points[i].x += dx;
        points[i].y += dy;
    }
    return MAKELONG(WORD(dx), WORD(dy));
}

BOOL ScreenToClient(HWND window, POINT *point)
{
    if (!plat::win::find(window) || !point)
        return FALSE;
    MapWindowPoints(nullptr, window, point, 1);
    return TRUE;
}

BOOL ClientToScreen(HWND window, POINT *point)
{
    if (!plat::win::find(window) || !point)
        return FALSE;
    MapWindowPoints(window, nullptr, point, 1);
    return TRUE;
}

BOOL SetWindowPos(HWND window, HWND, int x, int y, int cx, int cy, UINT flags)
{
    Window *w = plat::win::find(window);
    if (!w)
        return FALSE;
    RECT r = w->rect;
    if (!(flags & SWP_NOMOVE))
        r = RECT{x, y, x + (r.right - r.left), y + (r.bottom - r.top)};
    if (!(flags & SWP_NOSIZE))
        r = RECT{r.left, r.top, r.left + std::max(cx, 0), r.top + std::max(cy, 0)};
    const bool moved = r.left != w->rect.left || r.top != w->rect.top;
    const bool sized = (r.right - r.left) != (w->rect.right - w->rect.left) ||
                       (r.bottom - r.top) != (w->rect.bottom - w->rect.top);
    w->rect = r;
    plat::win::ensure_surface(*w);
    w->dirty = true;
    if (flags & SWP_SHOWWINDOW)
        ShowWindow(window, SW_SHOW);
    if (flags & SWP_HIDEWINDOW)
        ShowWindow(window, SW_HIDE);
    if (moved)
        SendMessageW(window, WM_MOVE, 0, MAKELPARAM(r.left, r.top));
    if (sized)
        SendMessageW(window, WM_SIZE, 0, MAKELPARAM(r.right - r.left, r.bottom - r.top));
    return TRUE;
}

BOOL MoveWindow(HWND window, int x, int y, int cx, int cy, BOOL)
{
    return SetWindowPos(window, nullptr, x, y, cx, cy, SWP_NOZORDER | SWP_NOACTIVATE);
}

BOOL GetWindowPlacement(HWND window, WINDOWPLACEMENT *placement)
{
    Window *w = plat::win::find(window);
    if (!w || !placement)
        return FALSE;
    placement->flags = 0;
    placement->showCmd = (w->style & WS_VISIBLE) ? SW_SHOWNORMAL : SW_HIDE;
    placement->ptMinPosition = POINT{-1, -1};
    placement->ptMaxPosition = POINT{-1, -1};
    placement->rcNormalPosition = w->rect;
    return TRUE;
}

HWND ChildWindowFromPointEx(HWND parent, POINT point, UINT flags)
{
    RECT client;
    if (!GetClientRect(parent, &client) || !PtInRect(&client, point))
        return nullptr;
    for (HWND c : plat::win::children(parent)) {
        Window *w = plat::win::find(c, false);
        if (!PtInRect(&w->rect, point))
            continue;
        if ((flags & CWP_SKIPINVISIBLE) && !(w->style & WS_VISIBLE))
            continue;
        if ((flags & CWP_SKIPDISABLED) && (w->style & WS_DISABLED))
            continue;
        if ((flags & CWP_SKIPTRANSPARENT) && (w->exStyle & WS_EX_TRANSPARENT))
            continue;
        return c;
    }
    return parent;
}

HWND ChildWindowFromPoint(HWND parent, POINT point) { return ChildWindowFromPointEx(parent, point, CWP_ALL); }

HWND WindowFromPoint(POINT point)
{
    /* The last made visible top-level window under the point, then its deepest visible child. */
    HWND top = nullptr;
    for (Window *w : plat::win::all())
        if (!plat::win::is_child(*w) && (w->style & WS_VISIBLE) && PtInRect(&w->rect, point))
            top = w->self;
    if (!top)
        return nullptr;
    HWND h = top;
    while (true) {
        POINT p = point;
        ScreenToClient(h, &p);
        HWND c = ChildWindowFromPointEx(h, p, CWP_SKIPINVISIBLE | CWP_SKIPTRANSPARENT);
        if (!c || c == h)
            return h;
        h = c;
    }
}

BOOL SetRect(RECT *rect, int left, int top, int right, int bottom)
{
    if (!rect)
        return FALSE;
    *rect = RECT{left, top, right, bottom};
    return TRUE;
}

BOOL SetRectEmpty(RECT *rect) { return SetRect(rect, 0, 0, 0, 0); }

BOOL CopyRect(RECT *dst, const RECT *src)
{
    if (!dst || !src)
        return FALSE;
    *dst = *src;
    return TRUE;
}

BOOL OffsetRect(RECT *rect, int dx, int dy)
{
    if (!rect)
        return FALSE;
    rect->left += dx;
    rect->right += dx;
    rect->top += dy;
    rect->bottom += dy;
    return TRUE;
}

BOOL InflateRect(RECT *rect, int dx, int dy)
{
    if (!rect)
        return FALSE;
    rect->left -= dx;
    rect->right += dx;
    rect->top -= dy;
    rect->bottom += dy;
    return TRUE;
}

BOOL IsRectEmpty(const RECT *rect)
{
    return (!rect || rect->right <= rect->left || rect->bottom <= rect->top) ? TRUE : FALSE;
}

BOOL IntersectRect(RECT *dst, const RECT *a, const RECT *b)
{
    if (!dst || !a || !b)
        return FALSE;
    RECT r{std::max(a->left, b->left), std::max(a->top, b->top), std::min(a->right, b->right),
           std::min(a->bottom, b->bottom)};
    if (IsRectEmpty(&r)) {
        SetRectEmpty(dst);
        return FALSE;
    }
    *dst = r;
    return TRUE;
}

BOOL UnionRect(RECT *dst, const RECT *a, const RECT *b)
{
    if (!dst || !a || !b)
        return FALSE;
    if (IsRectEmpty(a)) {
        *dst = *b;
    } else if (IsRectEmpty(b)) {
        *dst = *a;
    } else {
        *dst = RECT{std::min(a->left, b->left), std::min(a->top, b->top), std::max(a->right, b->right),
                    std::max(a->bottom, b->bottom)};
    }
    return IsRectEmpty(dst) ? FALSE : TRUE;
}

BOOL PtInRect(const RECT *rect, POINT point)
{
    return (rect && point.x >= rect->left && point.x < rect->right && point.y >= rect->top &&
            point.y < rect->bottom)
               ? TRUE
               : FALSE;
}

BOOL EqualRect(const RECT *a, const RECT *b)
{
    return (a && b && a->left == b->left && a->top == b->top && a->right == b->right && a->bottom == b->bottom)
               ? TRUE
               : FALSE;
}
