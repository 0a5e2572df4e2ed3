/*
 * The combo box class: a list (ListModel) with a closed field, a drop-down
 * state, owner-drawn rows (WM_MEASUREITEM for the field and the rows at
 * creation; WM_DRAWITEM with ODS_COMBOBOXEDIT for the field), and for
 * CBS_DROPDOWN an edit control with id 1001 whose notifications become
 * CBN_EDITCHANGE, CBN_SETFOCUS and CBN_KILLFOCUS.  A user's choice sends
 * CBN_DROPDOWN, CBN_SELCHANGE, CBN_SELENDOK and CBN_CLOSEUP (CBN_SELENDCANCEL
 * when closed without choosing); CB_SETCURSEL sends nothing.
 */
#include "controls_private.h"

#include <algorithm>

namespace {

using namespace plat::ctl;

struct ComboState {
    ListModel list;
    bool dropped = false;
    int minVisible = 30;
    int fieldHeight = 16;
    HWND edit = nullptr;
    bool quiet = false; /* setting the edit's text ourselves */
};

/* CB_ message numbers that are list messages under another number. */
UINT listMessageFor(UINT msg)
{
    switch (msg) {
    case CB_ADDSTRING: return LB_ADDSTRING;
    case CB_DELETESTRING: return LB_DELETESTRING;
    case CB_GETCOUNT: return LB_GETCOUNT;
    case CB_GETCURSEL: return LB_GETCURSEL;
    case CB_GETLBTEXT: return LB_GETTEXT;
    case CB_GETLBTEXTLEN: return LB_GETTEXTLEN;
    case CB_INSERTSTRING: return LB_INSERTSTRING;
    case CB_RESETCONTENT: return LB_RESETCONTENT;
    case CB_FINDSTRING: return LB_FINDSTRING;
    case CB_FINDSTRINGEXACT: return LB_FINDSTRINGEXACT;
    case CB_SELECTSTRING: return LB_SELECTSTRING;
    case CB_SETCURSEL: return LB_SETCURSEL;
    case CB_GETITEMDATA: return LB_GETITEMDATA;
    case CB_SETITEMDATA: return LB_SETITEMDATA;
    default: return 0;
    }
}

bool ownerDrawn(HWND h) { return (style_of(h) & (CBS_OWNERDRAWFIXED | CBS_OWNERDRAWVARIABLE)) != 0; }

void showSelection(HWND h, ComboState &st)
{
    if (!st.edit)
        return;
    st.quiet = true;
    const std::u16string text = st.list.valid(st.list.sel) ? st.list.rows[size_t(st.list.sel)].text : u"";
    SetWindowTextW(st.edit, text.c_str());
    st.quiet = false;
    (void)h;
}

void drop(HWND h, bool open)
{
    auto st = state<ComboState>(h);
    if (st->dropped == open)
        return;
    st->dropped = open;
    command(h, open ? CBN_DROPDOWN : CBN_CLOSEUP);
}

void choose(HWND h, int row, bool ok)
{
    auto st = state<ComboState>(h);
    if (!IsWindowEnabled(h))
        return;
    SetFocus(st->edit ? st->edit : h);
    drop(h, true);
    if (ok && st->list.valid(row)) {
        st->list.sel = row;
        showSelection(h, *st);
        InvalidateRect(h, nullptr, TRUE);
        command(h, CBN_SELCHANGE);
        command(h, CBN_SELENDOK);
    } else {
        command(h, CBN_SELENDCANCEL);
    }
    drop(h, false);
}

void paintCombo(HWND h)
{
    auto st = state<ComboState>(h);
    Paint p(h, st->edit ? WM_CTLCOLOREDIT : WM_CTLCOLORLISTBOX);
    RECT r = p.client;
    r.bottom = std::min<LONG>(r.bottom, st->fieldHeight + 6);
    FillRect(p.dc, &r, p.background);
    p.sunken(r);
    const int arrow = GetSystemMetrics(SM_CXVSCROLL);
    RECT button{r.right - 2 - arrow, r.top + 2, r.right - 2, r.bottom - 2};
    p.fill(button, COLOR_BTNFACE);
    p.raised(button);
    /* The arrow: a small triangle. */
    HGDIOBJ oldPen = SelectObject(p.dc, GetStockObject(BLACK_PEN));
    const int cx = (button.left + button.right) / 2;
    const int cy = (button.top + button.bottom) / 2;
    for (int k = 0; k < 4; ++k) {
        MoveToEx(p.dc, cx - 3 + k, cy - 1 + k, nullptr);
        LineTo(p.dc, cx + 4 - k, cy - 1 + k);
    }
    SelectObject(p.dc, oldPen);
    if (st->edit)
        return; /* the edit control paints the field */
    RECT field{r.left + 2, r.top + 2, button.left, r.bottom - 2};
    const int sel = st->list.sel;
    if (ownerDrawn(h)) {
        DRAWITEMSTRUCT dis{ODT_COMBOBOX, UINT(GetDlgCtrlID(h)), UINT(sel), ODA_DRAWENTIRE,
                           UINT(ODS_COMBOBOXEDIT | (GetFocus() == h ? ODS_FOCUS | ODS_SELECTED : 0) |
                                (IsWindowEnabled(h) ? 0 : ODS_DISABLED)),
                           h, p.dc, field, st->list.valid(sel) ? st->list.rows[size_t(sel)].data : 0};
        SendMessageW(GetParent(h), WM_DRAWITEM, WPARAM(dis.CtlID), reinterpret_cast<LPARAM>(&dis));
        return;
    }
    if (st->list.valid(sel)) {
        field.left += 2;
        p.text(st->list.rows[size_t(sel)].text, field, DT_LEFT | DT_SINGLELINE | DT_VCENTER | DT_NOPREFIX);
    }
}

LRESULT comboProc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_CREATE: {
        auto st = state<ComboState>(h);
        const DWORD style = style_of(h);
        st->list.sorted = (style & CBS_SORT) != 0;
        st->list.hasStrings = !ownerDrawn(h) || (style & CBS_HASSTRINGS);
        RECT rc;
        GetClientRect(h, &rc);
        if (style & CBS_OWNERDRAWFIXED) {
            /* The field first (item -1), then the rows. */
            for (UINT item : {UINT(-1), 0u}) {
                MEASUREITEMSTRUCT mis{ODT_COMBOBOX, UINT(GetDlgCtrlID(h)), item, UINT(rc.right), 16, 0};
                SendMessageW(GetParent(h), WM_MEASUREITEM, WPARAM(mis.CtlID), reinterpret_cast<LPARAM>(&mis));
                const int height = int(std::clamp<UINT>(mis.itemHeight, 1, 255));
                if (item == UINT(-1))
                    st->fieldHeight = height;
                else
                    st->list.itemHeight = height;
            }
        }
        if ((style & 0x3u) == CBS_DROPDOWN || (style & 0x3u) == CBS_SIMPLE) {
            const int arrow = GetSystemMetrics(SM_CXVSCROLL);
            st->edit = CreateWindowExW(0, WC_EDITW, u"", WS_CHILD | WS_VISIBLE | ES_AUTOHSCROLL, 3, 3,
                                       std::max<int>(rc.right - arrow - 6, 1), st->fieldHeight, h,
                                       reinterpret_cast<HMENU>(uintptr_t(COMBO_EDIT_ID)), nullptr, nullptr);
        }
        return 0;
    }
    case WM_COMMAND: {
        auto st = state<ComboState>(h);
        if (st->edit && reinterpret_cast<HWND>(lp) == st->edit) {
            switch (HIWORD(wp)) {
            case EN_CHANGE:
                if (!st->quiet)
                    command(h, CBN_EDITCHANGE);
                break;
            case EN_UPDATE:
                if (!st->quiet)
                    command(h, CBN_EDITUPDATE);
                break;
            case EN_SETFOCUS: command(h, CBN_SETFOCUS); break;
            case EN_KILLFOCUS: command(h, CBN_KILLFOCUS); break;
            default: break;
            }
        }
        return 0;
    }
    case WM_SETFONT:
        if (auto st = state<ComboState>(h); st->edit)
            SendMessageW(st->edit, WM_SETFONT, wp, lp);
        return DefWindowProcW(h, msg, wp, lp);
    case WM_SETTEXT:
        if (auto st = state<ComboState>(h); st->edit)
            return SetWindowTextW(st->edit, reinterpret_cast<LPCWSTR>(lp));
        return CB_ERR;
    case WM_GETTEXT:
    case WM_GETTEXTLENGTH: {
        auto st = state<ComboState>(h);
        const std::u16string text = st->edit ? text_of(st->edit)
                                    : st->list.valid(st->list.sel) ? st->list.rows[size_t(st->list.sel)].text
                                                                   : std::u16string();
        return msg == WM_GETTEXT ? copy_out(text, lp, wp) : LRESULT(text.size());
    }
    case CB_LIMITTEXT:
        if (auto st = state<ComboState>(h); st->edit) {
            SendMessageW(st->edit, EM_LIMITTEXT, wp, 0);
            return TRUE;
        }
        return CB_ERR;
    case CB_SETEDITSEL:
        if (auto st = state<ComboState>(h); st->edit) {
            SendMessageW(st->edit, EM_SETSEL, WPARAM(short(LOWORD(lp))), LPARAM(short(HIWORD(lp))));
            return TRUE;
        }
        return CB_ERR;
    case CB_GETEDITSEL:
        if (auto st = state<ComboState>(h); st->edit)
            return SendMessageW(st->edit, EM_GETSEL, wp, lp);
        return CB_ERR;
    case CB_SHOWDROPDOWN:
        drop(h, wp != 0);
        return TRUE;
    case CB_GETDROPPEDSTATE:
        return state<ComboState>(h)->dropped ? TRUE : FALSE;
    case CB_SETMINVISIBLE:
        if (int(wp) < 1)
            return FALSE;
        state<ComboState>(h)->minVisible = int(wp);
        return TRUE;
    case CB_GETMINVISIBLE:
        return state<ComboState>(h)->minVisible;
    case CB_SETITEMHEIGHT: {
        auto st = state<ComboState>(h);
        const int v = int(LOWORD(lp));
        if (v < 1 || v > 255)
            return CB_ERR;
        if (int(LONG(wp)) == -1)
            st->fieldHeight = v;
        else
            st->list.itemHeight = v;
        return 0;
    }
    case CB_GETITEMHEIGHT: {
        auto st = state<ComboState>(h);
        return int(LONG(wp)) == -1 ? st->fieldHeight : st->list.itemHeight;
    }
    case PLAT_CM_CHOOSE:
        choose(h, int(LONG(wp)), lp != 0);
        return 0;
    case WM_KEYDOWN: {
        auto st = state<ComboState>(h);
        const int n = int(st->list.rows.size());
        int target = st->list.sel;
        if (wp == VK_DOWN)
            target = std::min(target + 1, n - 1);
        else if (wp == VK_UP)
            target = std::max(target - 1, 0);
        if (n > 0 && target != st->list.sel) {
            st->list.sel = target;
            showSelection(h, *st);
            InvalidateRect(h, nullptr, TRUE);
            command(h, CBN_SELCHANGE);
        }
        return 0;
    }
    case WM_SETFOCUS: {
        auto st = state<ComboState>(h);
        if (st->edit)
            SetFocus(st->edit);
        else
            command(h, CBN_SETFOCUS);
        return 0;
    }
    case WM_KILLFOCUS: {
        auto st = state<ComboState>(h);
        if (!st->edit && reinterpret_cast<HWND>(wp) != h) {
            if (st->dropped)
                drop(h, false);
            command(h, CBN_KILLFOCUS);
        }
        return 0;
    }
    case WM_PAINT:
        paintCombo(h);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    default: {
        const UINT lm = listMessageFor(msg);
        if (lm) {
            auto st = state<ComboState>(h);
            LRESULT r = 0;
            list_message(st->list, lm, wp, lp, r);
            if (msg == CB_SETCURSEL || msg == CB_SELECTSTRING || msg == CB_RESETCONTENT)
                showSelection(h, *st);
            InvalidateRect(h, nullptr, TRUE);
            return r;
        }
        return DefWindowProcW(h, msg, wp, lp);
    }
    }
}

const bool registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = comboProc;
    wc.lpszClassName = WC_COMBOBOXW;
    return plat::window_register_builtin(wc);
}();

} // namespace
