/*
 * Controls that hold a position in a range: the scroll bar, the trackbar
 * and the up-down control, with their painters.  Setting a position by
 * message sends nothing; a user's drag or click sends the parent
 * WM_HSCROLL / WM_VSCROLL as Windows does (trackbar: TB_THUMBTRACK,
 * TB_THUMBPOSITION, TB_ENDTRACK; up-down: UDN_DELTAPOS, then SB_THUMBPOSITION
 * and SB_ENDSCROLL per step, the buddy's text updated with UDS_SETBUDDYINT).
 * An up-down range may run downwards (the default is 100 to 0).
 */
#include "controls_private.h"

#include <plat/error.h>
#include <plat/dialog.h>

#include <algorithm>

namespace {

using namespace plat::ctl;

struct Range {
    int min = 0;
    int max = 100;
    int pos = 0;
    int page = 0;
    int line = 1;
    int ticFreq = 1;
};

int clampTo(const Range &r, int v)
{
    return std::clamp(v, std::min(r.min, r.max), std::max(r.min, r.max));
}

void scrollParent(HWND h, bool vertical, int code, int pos)
{
    HWND parent = GetParent(h);
    if (parent)
        SendMessageW(parent, vertical ? WM_VSCROLL : WM_HSCROLL, MAKEWPARAM(code, WORD(pos)),
                     reinterpret_cast<LPARAM>(h));
}

/* ---- Scroll bar ---- */

void paintScroll(HWND h)
{
    Paint p(h, WM_CTLCOLORSCROLLBAR);
    auto r = state<Range>(h);
    p.fill(p.client, COLOR_SCROLLBAR);
    const bool vertical = (style_of(h) & SBS_VERT) != 0;
    const int length = vertical ? p.client.bottom : p.client.right;
    const int thumb = std::max(8, vertical ? p.client.right : p.client.bottom);
    const int span = std::max(r->max - r->min, 1);
    const int at = (length - thumb) * (r->pos - r->min) / span;
    RECT t = vertical ? RECT{0, at, p.client.right, at + thumb} : RECT{at, 0, at + thumb, p.client.bottom};
    p.fill(t, COLOR_BTNFACE);
    p.raised(t);
}

LRESULT scrollProc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    const bool vertical = (style_of(h) & SBS_VERT) != 0;
    switch (msg) {
    case SBM_SETPOS: {
        auto r = state<Range>(h);
        const int previous = r->pos;
        r->pos = clampTo(*r, int(wp));
        InvalidateRect(h, nullptr, TRUE);
        return previous;
    }
    case SBM_GETPOS:
        return state<Range>(h)->pos;
    case SBM_SETRANGE:
    case SBM_SETRANGEREDRAW: {
        auto r = state<Range>(h);
        const int previous = r->pos;
        r->min = int(wp);
        r->max = int(lp);
        r->pos = clampTo(*r, r->pos);
        return previous;
    }
    case SBM_GETRANGE: {
        auto r = state<Range>(h);
        if (wp)
            *reinterpret_cast<int *>(wp) = r->min;
        if (lp)
            *reinterpret_cast<int *>(lp) = r->max;
        return 0;
    }
    case SBM_SETSCROLLINFO: {
        auto r = state<Range>(h);
        const auto *si = reinterpret_cast<const SCROLLINFO *>(lp);
        if (!si)
            return r->pos;
        if (si->fMask & SIF_RANGE) {
            r->min = si->nMin;
            r->max = si->nMax;
        }
        if (si->fMask & SIF_PAGE)
            r->page = int(si->nPage);
        if (si->fMask & SIF_POS)
            r->pos = si->nPos;
        r->pos = clampTo(*r, r->pos);
        return r->pos;
    }
    case SBM_GETSCROLLINFO: {
        auto r = state<Range>(h);
        auto *si = reinterpret_cast<SCROLLINFO *>(lp);
        if (!si)
            return FALSE;
        if (si->fMask & SIF_RANGE) {
            si->nMin = r->min;
            si->nMax = r->max;
        }
        if (si->fMask & SIF_PAGE)
            si->nPage = UINT(r->page);
        if (si->fMask & (SIF_POS | SIF_TRACKPOS))
            si->nPos = si->nTrackPos = r->pos;
        return TRUE;
    }
    case PLAT_CM_DRAG: {
        /* The owner moves the thumb itself; the bar only reports. */
        const int to = clampTo(*state<Range>(h), int(LONG(wp)));
        scrollParent(h, vertical, SB_THUMBTRACK, to);
        scrollParent(h, vertical, SB_THUMBPOSITION, to);
        scrollParent(h, vertical, SB_ENDSCROLL, 0);
        return 0;
    }
    case WM_KEYDOWN: {
        int code = -1;
        switch (wp) {
        case VK_UP:
        case VK_LEFT: code = SB_LINEUP; break;
        case VK_DOWN:
        case VK_RIGHT: code = SB_LINEDOWN; break;
        case VK_PRIOR: code = SB_PAGEUP; break;
        case VK_NEXT: code = SB_PAGEDOWN; break;
        case VK_HOME: code = SB_TOP; break;
        case VK_END: code = SB_BOTTOM; break;
        default: break;
        }
        if (code >= 0) {
            scrollParent(h, vertical, code, 0);
            scrollParent(h, vertical, SB_ENDSCROLL, 0);
        }
        return 0;
    }
    case WM_PAINT:
        paintScroll(h);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    default:
        return DefWindowProcW(h, msg, wp, lp);
    }
}

/* ---- Trackbar ---- */

void paintTrackbar(HWND h)
{
    Paint p(h, WM_CTLCOLORSTATIC);
    auto r = state<Range>(h);
    FillRect(p.dc, &p.client, p.background);
    const bool vertical = (style_of(h) & TBS_VERT) != 0;
    const int length = vertical ? p.client.bottom : p.client.right;
    const int margin = 8;
    const int span = std::max(r->max - r->min, 1);
    const int usable = std::max(length - 2 * margin, 1);
    const int mid = vertical ? p.client.right / 2 : p.client.bottom / 3;
    RECT channel = vertical ? RECT{mid - 2, margin, mid + 2, length - margin}
                            : RECT{margin, mid - 2, length - margin, mid + 2};
    p.sunken(channel);
    if (!(style_of(h) & TBS_NOTICKS) && r->ticFreq > 0 && span / r->ticFreq <= 200) {
        HGDIOBJ old = SelectObject(p.dc, GetStockObject(BLACK_PEN));
        for (int v = r->min; v <= r->max; v += r->ticFreq) {
            const int at = margin + usable * (v - r->min) / span;
            if (vertical) {
                MoveToEx(p.dc, p.client.right - 4, at, nullptr);
                LineTo(p.dc, p.client.right - 1, at);
            } else {
                MoveToEx(p.dc, at, p.client.bottom - 4, nullptr);
                LineTo(p.dc, at, p.client.bottom - 1);
            }
        }
        SelectObject(p.dc, old);
    }
    const int at = margin + usable * (r->pos - r->min) / span;
    RECT thumb = vertical ? RECT{mid - 9, at - 5, mid + 9, at + 5} : RECT{at - 5, mid - 9, at + 5, mid + 9};
    p.fill(thumb, COLOR_BTNFACE);
    p.raised(thumb);
}

LRESULT trackbarProc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    const bool vertical = (style_of(h) & TBS_VERT) != 0;
    switch (msg) {
    case WM_CREATE:
        state<Range>(h)->page = 20;
        return 0;
    case TBM_GETPOS: return state<Range>(h)->pos;
    case TBM_GETRANGEMIN: return state<Range>(h)->min;
    case TBM_GETRANGEMAX: return state<Range>(h)->max;
    case TBM_SETPOS: {
        auto r = state<Range>(h);
        r->pos = clampTo(*r, int(LONG(lp)));
        InvalidateRect(h, nullptr, TRUE);
        return 0;
    }
    case TBM_SETRANGE: {
        auto r = state<Range>(h);
        r->min = short(LOWORD(lp));
        r->max = short(HIWORD(lp));
        r->pos = clampTo(*r, r->pos);
        return 0;
    }
    case TBM_SETRANGEMIN:
    case TBM_SETRANGEMAX: {
        auto r = state<Range>(h);
        (msg == TBM_SETRANGEMIN ? r->min : r->max) = int(LONG(lp));
        r->pos = clampTo(*r, r->pos);
        return 0;
    }
    case TBM_SETPAGESIZE: {
        auto r = state<Range>(h);
        const int previous = r->page;
        r->page = int(LONG(lp));
        return previous;
    }
    case TBM_GETPAGESIZE: return state<Range>(h)->page;
    case TBM_SETLINESIZE: {
        auto r = state<Range>(h);
        const int previous = r->line;
        r->line = int(LONG(lp));
        return previous;
    }
    case TBM_GETLINESIZE: return state<Range>(h)->line;
    case TBM_SETTICFREQ:
        state<Range>(h)->ticFreq = std::max(int(wp), 1);
        return 0;
    case PLAT_CM_DRAG: {
        auto r = state<Range>(h);
        SetFocus(h);
        const int to = clampTo(*r, int(LONG(wp)));
        r->pos = to;
        InvalidateRect(h, nullptr, TRUE);
        scrollParent(h, vertical, TB_THUMBTRACK, to);
        scrollParent(h, vertical, TB_THUMBPOSITION, to);
        scrollParent(h, vertical, TB_ENDTRACK, 0);
        return 0;
    }
    case WM_KEYDOWN: {
        auto r = state<Range>(h);
        int code = -1;
        int to = r->pos;
        switch (wp) {
        case VK_LEFT:
        case VK_UP: code = TB_LINEUP, to -= r->line; break;
        case VK_RIGHT:
        case VK_DOWN: code = TB_LINEDOWN, to += r->line; break;
        case VK_PRIOR: code = TB_PAGEUP, to -= r->page; break;
        case VK_NEXT: code = TB_PAGEDOWN, to += r->page; break;
        case VK_HOME: code = TB_TOP, to = r->min; break;
        case VK_END: code = TB_BOTTOM, to = r->max; break;
        default: break;
        }
        if (code >= 0) {
            r->pos = clampTo(*r, to);
            InvalidateRect(h, nullptr, TRUE);
            scrollParent(h, vertical, code, 0);
            scrollParent(h, vertical, TB_ENDTRACK, 0);
        }
        return 0;
    }
    case WM_PAINT:
        paintTrackbar(h);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    default:
        return DefWindowProcW(h, msg, wp, lp);
    }
}

/* ---- Up-down ---- */

struct UpDown {
    Range range{100, 0, 0, 0, 1, 1};
    HWND buddy = nullptr;
};

void showInBuddy(HWND h, const UpDown &u)
{
    if (!u.buddy || !(style_of(h) & UDS_SETBUDDYINT) || !IsWindow(u.buddy))
        return;
    const std::string s = std::to_string(u.range.pos);
    const std::u16string w(s.begin(), s.end());
    SetWindowTextW(u.buddy, w.c_str());
}

void spin(HWND h, int steps)
{
    auto u = state<UpDown>(h);
    const bool vertical = !(style_of(h) & UDS_HORZ);
    const int direction = u->range.max >= u->range.min ? 1 : -1;
    const int count = std::abs(steps);
    for (int i = 0; i < count && IsWindow(h); ++i) {
        const int delta = (steps > 0 ? 1 : -1) * direction;
        int to = u->range.pos + delta;
        const int lo = std::min(u->range.min, u->range.max);
        const int hi = std::max(u->range.min, u->range.max);
        if (to < lo || to > hi)
            to = (style_of(h) & UDS_WRAP) ? (to < lo ? hi : lo) : clampTo(u->range, to);
        NMUPDOWN nm{};
        nm.iPos = u->range.pos;
        nm.iDelta = delta;
        if (notify(h, &nm.hdr, UDN_DELTAPOS))
            continue; /* refused by the parent */
        u->range.pos = to;
        showInBuddy(h, *u);
        InvalidateRect(h, nullptr, TRUE);
        scrollParent(h, vertical, SB_THUMBPOSITION, to);
        scrollParent(h, vertical, SB_ENDSCROLL, to);
    }
}

void paintUpDown(HWND h)
{
    Paint p(h, 0);
    RECT r = p.client;
    const bool vertical = !(style_of(h) & UDS_HORZ);
    RECT a = r, b = r;
    if (vertical)
        a.bottom = b.top = (r.top + r.bottom) / 2;
    else
        a.right = b.left = (r.left + r.right) / 2;
    for (RECT half : {a, b}) {
        p.fill(half, COLOR_BTNFACE);
        p.raised(half);
    }
    HGDIOBJ old = SelectObject(p.dc, GetStockObject(IsWindowEnabled(h) ? BLACK_PEN : GRAY_BRUSH));
    const int cx = (a.left + a.right) / 2;
    const int cya = (a.top + a.bottom) / 2;
    const int cyb = (b.top + b.bottom) / 2;
    for (int k = 0; k < 3; ++k) {
        MoveToEx(p.dc, cx - k, cya - 1 + k, nullptr);
        LineTo(p.dc, cx + k + 1, cya - 1 + k);
        MoveToEx(p.dc, cx - k, cyb + 1 - k, nullptr);
        LineTo(p.dc, cx + k + 1, cyb + 1 - k);
    }
    SelectObject(p.dc, old);
}

LRESULT updownProc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_CREATE:
        if (style_of(h) & UDS_AUTOBUDDY)
            state<UpDown>(h)->buddy = GetWindow(h, GW_HWNDPREV);
        return 0;
    case UDM_SETRANGE: {
        auto u = state<UpDown>(h);
        u->range.max = short(LOWORD(lp));
        u->range.min = short(HIWORD(lp));
        return 0;
    }
    case UDM_GETRANGE: {
        auto u = state<UpDown>(h);
        return MAKELRESULT(WORD(u->range.max), WORD(u->range.min));
    }
    case UDM_SETRANGE32: {
        auto u = state<UpDown>(h);
        u->range.min = int(LONG(wp));
        u->range.max = int(LONG(lp));
        return 0;
    }
    case UDM_GETRANGE32: {
        auto u = state<UpDown>(h);
        if (wp)
            *reinterpret_cast<int *>(wp) = u->range.min;
        if (lp)
            *reinterpret_cast<int *>(lp) = u->range.max;
        return 0;
    }
    case UDM_SETPOS:
    case UDM_SETPOS32: {
        auto u = state<UpDown>(h);
        const int previous = u->range.pos;
        u->range.pos = clampTo(u->range, msg == UDM_SETPOS ? short(LOWORD(lp)) : int(LONG(lp)));
        showInBuddy(h, *u);
        InvalidateRect(h, nullptr, TRUE);
        return previous;
    }
    case UDM_GETPOS:
        return MAKELRESULT(WORD(state<UpDown>(h)->range.pos), 0);
    case UDM_GETPOS32:
        if (lp)
            *reinterpret_cast<BOOL *>(lp) = FALSE;
        return state<UpDown>(h)->range.pos;
    case UDM_SETBUDDY: {
        auto u = state<UpDown>(h);
        HWND previous = u->buddy;
        u->buddy = reinterpret_cast<HWND>(wp);
        return reinterpret_cast<LRESULT>(previous);
    }
    case UDM_GETBUDDY:
        return reinterpret_cast<LRESULT>(state<UpDown>(h)->buddy);
    case PLAT_CM_SPIN:
        if (IsWindowEnabled(h))
            spin(h, int(LONG_PTR(wp)));
        return 0;
    case WM_KEYDOWN:
        if (style_of(h) & UDS_ARROWKEYS) {
            if (wp == VK_UP)
                spin(h, 1);
            else if (wp == VK_DOWN)
                spin(h, -1);
        }
        return 0;
    case WM_PAINT:
        paintUpDown(h);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    default:
        return DefWindowProcW(h, msg, wp, lp);
    }
}

const bool registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = scrollProc;
    wc.lpszClassName = WC_SCROLLBARW;
    plat::window_register_builtin(wc);
    wc.lpfnWndProc = trackbarProc;
    wc.lpszClassName = TRACKBAR_CLASSW;
    plat::window_register_builtin(wc);
    wc.lpfnWndProc = updownProc;
    wc.lpszClassName = UPDOWN_CLASSW;
    return plat::window_register_builtin(wc);
}();

} // namespace

int SetScrollPos(HWND window, int bar, int pos, BOOL redraw)
{
    return bar == SB_CTL ? int(SendMessageW(window, SBM_SETPOS, WPARAM(pos), redraw)) : 0;
}

int GetScrollPos(HWND window, int bar)
{
    return bar == SB_CTL ? int(SendMessageW(window, SBM_GETPOS, 0, 0)) : 0;
}

BOOL SetScrollRange(HWND window, int bar, int min, int max, BOOL)
{
    if (bar != SB_CTL)
        return FALSE;
    SendMessageW(window, SBM_SETRANGE, WPARAM(min), LPARAM(max));
    return TRUE;
}

BOOL GetScrollRange(HWND window, int bar, int *min, int *max)
{
    if (bar != SB_CTL)
        return FALSE;
    SendMessageW(window, SBM_GETRANGE, reinterpret_cast<WPARAM>(min), reinterpret_cast<LPARAM>(max));
    return TRUE;
}

int SetScrollInfo(HWND window, int bar, const SCROLLINFO *info, BOOL redraw)
{
    return bar == SB_CTL ? int(SendMessageW(window, SBM_SETSCROLLINFO, WPARAM(redraw), reinterpret_cast<LPARAM>(info)))
                         : 0;
}

BOOL GetScrollInfo(HWND window, int bar, SCROLLINFO *info)
{
    return bar == SB_CTL ? BOOL(SendMessageW(window, SBM_GETSCROLLINFO, 0, reinterpret_cast<LPARAM>(info))) : FALSE;
}

BOOL ShowScrollBar(HWND window, int bar, BOOL show)
{
    if (!IsWindow(window)) {
        SetLastError(ERROR_INVALID_WINDOW_HANDLE);
        return FALSE;
    }
    if (bar == SB_CTL) {
        ShowWindow(window, show ? SW_SHOW : SW_HIDE);
        return TRUE;
    }
    LONG_PTR bits = 0;
    if (bar == SB_HORZ)
        bits = WS_HSCROLL;
    else if (bar == SB_VERT)
        bits = WS_VSCROLL;
    else if (bar == SB_BOTH)
        bits = WS_HSCROLL | WS_VSCROLL;
    else {
        SetLastError(ERROR_INVALID_PARAMETER);
        return FALSE;
    }
    const LONG_PTR style = GetWindowLongPtrW(window, GWL_STYLE);
    SetWindowLongPtrW(window, GWL_STYLE, show ? (style | bits) : (style & ~bits));
    return TRUE;
}
