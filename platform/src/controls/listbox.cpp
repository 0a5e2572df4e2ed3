/*
 * The list box class: rows, selection, owner-drawn rows (WM_MEASUREITEM at
 * creation, WM_DRAWITEM per visible row), keyboard input handed to the
 * parent (WM_VKEYTOITEM: -2 handled, -1 default, >= 0 the row to go to),
 * LBN_SELCHANGE and LBN_DBLCLK for a user's choice (never for
 * LB_SETCURSEL); and its painter.
 */
#include "controls_private.h"

#include <algorithm>

namespace {

using namespace plat::ctl;

bool ownerDrawn(HWND h) { return (style_of(h) & (LBS_OWNERDRAWFIXED | LBS_OWNERDRAWVARIABLE)) != 0; }

void userSelect(HWND h, int row, bool doubleClick)
{
    auto m = state<ListModel>(h);
    if (!m->valid(row) || !IsWindowEnabled(h))
        return;
    SetFocus(h);
    if (!IsWindow(h))
        return;
    const bool changed = m->sel != row;
    m->sel = row;
    InvalidateRect(h, nullptr, TRUE);
    if (style_of(h) & LBS_NOTIFY) {
        if (changed || !doubleClick)
            command(h, LBN_SELCHANGE);
        if (doubleClick)
            command(h, LBN_DBLCLK);
    }
}

void keyDown(HWND h, WPARAM vk)
{
    auto m = state<ListModel>(h);
    int target = m->sel;
    if (style_of(h) & LBS_WANTKEYBOARDINPUT) {
        const LRESULT r = SendMessageW(GetParent(h), WM_VKEYTOITEM, MAKEWPARAM(vk, std::max(m->sel, 0)),
                                       reinterpret_cast<LPARAM>(h));
        if (r == -2)
            return;
        if (r >= 0) {
            target = int(r);
            if (m->valid(target) && target != m->sel) {
                m->sel = target;
                InvalidateRect(h, nullptr, TRUE);
                if (style_of(h) & LBS_NOTIFY)
                    command(h, LBN_SELCHANGE);
            }
            return;
        }
    }
    const int n = int(m->rows.size());
    if (n == 0)
        return;
    switch (vk) {
    case VK_UP: target = std::max(m->sel - 1, 0); break;
    case VK_DOWN: target = std::min(m->sel + 1, n - 1); break;
    case VK_HOME: target = 0; break;
    case VK_END: target = n - 1; break;
    default: return;
    }
    if (target != m->sel) {
        m->sel = target;
        InvalidateRect(h, nullptr, TRUE);
        if (style_of(h) & LBS_NOTIFY)
            command(h, LBN_SELCHANGE);
    }
}

void paintList(HWND h)
{
    Paint p(h, WM_CTLCOLORLISTBOX);
    auto m = state<ListModel>(h);
    RECT r = p.client;
    FillRect(p.dc, &r, p.background);
    if ((style_of(h) & WS_BORDER) || (GetWindowLongPtrW(h, GWL_EXSTYLE) & WS_EX_CLIENTEDGE)) {
        p.sunken(r);
        InflateRect(&r, -2, -2);
    }
    const int height = std::max(m->itemHeight, 1);
    for (int i = m->top; i < int(m->rows.size()); ++i) {
        RECT row{r.left, r.top + (i - m->top) * height, r.right, r.top + (i - m->top + 1) * height};
        if (row.top >= r.bottom)
            break;
        const bool selected = i == m->sel;
        if (ownerDrawn(h)) {
            DRAWITEMSTRUCT dis{ODT_LISTBOX, UINT(GetDlgCtrlID(h)), UINT(i), ODA_DRAWENTIRE,
                               UINT((selected ? ODS_SELECTED : 0) | (GetFocus() == h && selected ? ODS_FOCUS : 0) |
                                    (IsWindowEnabled(h) ? 0 : ODS_DISABLED)),
                               h, p.dc, row, m->rows[size_t(i)].data};
            SendMessageW(GetParent(h), WM_DRAWITEM, WPARAM(dis.CtlID), reinterpret_cast<LPARAM>(&dis));
            continue;
        }
        if (selected) {
            p.fill(row, COLOR_HIGHLIGHT);
            SetTextColor(p.dc, GetSysColor(COLOR_HIGHLIGHTTEXT));
        } else {
            SetTextColor(p.dc, GetSysColor(IsWindowEnabled(h) ? COLOR_WINDOWTEXT : COLOR_GRAYTEXT));
        }
        RECT text = row;
        text.left += 2;
        p.text(m->rows[size_t(i)].text, text, DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
}

LRESULT listProc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    LRESULT r = 0;
    switch (msg) {
    case WM_CREATE: {
        auto m = state<ListModel>(h);
        const DWORD style = style_of(h);
        m->sorted = (style & LBS_SORT) != 0;
        m->hasStrings = !ownerDrawn(h) || (style & LBS_HASSTRINGS);
        if (style & LBS_OWNERDRAWFIXED) {
            RECT rc;
            GetClientRect(h, &rc);
            MEASUREITEMSTRUCT mis{ODT_LISTBOX, UINT(GetDlgCtrlID(h)), 0, UINT(rc.right), UINT(m->itemHeight), 0};
            SendMessageW(GetParent(h), WM_MEASUREITEM, WPARAM(mis.CtlID), reinterpret_cast<LPARAM>(&mis));
            m->itemHeight = int(std::clamp<UINT>(mis.itemHeight, 1, 255));
        }
        return 0;
    }
    case LB_GETITEMRECT: {
        auto m = state<ListModel>(h);
        const int i = int(LONG(wp));
        RECT *out = reinterpret_cast<RECT *>(lp);
        if (!out || !m->valid(i))
            return LB_ERR;
        RECT rc;
        GetClientRect(h, &rc);
        *out = RECT{0, (i - m->top) * m->itemHeight, rc.right, (i - m->top + 1) * m->itemHeight};
        return LB_OKAY;
    }
    case PLAT_CM_CHOOSE:
        userSelect(h, int(LONG(wp)), lp == 1);
        return 0;
    case WM_LBUTTONDOWN:
    case WM_LBUTTONDBLCLK: {
        auto m = state<ListModel>(h);
        userSelect(h, m->top + GET_Y_LPARAM(lp) / std::max(m->itemHeight, 1), msg == WM_LBUTTONDBLCLK);
        return 0;
    }
    case WM_KEYDOWN:
        keyDown(h, wp);
        return 0;
    case WM_SETFOCUS:
        if (style_of(h) & LBS_NOTIFY)
            command(h, LBN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        if (style_of(h) & LBS_NOTIFY)
            command(h, LBN_KILLFOCUS);
        return 0;
    case WM_PAINT:
        paintList(h);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    default:
        if (list_message(*state<ListModel>(h), msg, wp, lp, r)) {
            if (msg != LB_GETCOUNT && msg != LB_GETTEXT && msg != LB_GETTEXTLEN && msg != LB_GETCURSEL)
                InvalidateRect(h, nullptr, TRUE);
            return r;
        }
        return DefWindowProcW(h, msg, wp, lp);
    }
}

const bool registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = listProc;
    wc.lpszClassName = WC_LISTBOXW;
    return plat::window_register_builtin(wc);
}();

} // namespace
