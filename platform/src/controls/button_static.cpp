/*
 * The button class (push, default push, check boxes, radio buttons, group
 * box, owner-drawn) and the static class (text, icon, bitmap, rectangles,
 * etched lines, owner-drawn), with their painters.  A click (BM_CLICK, a
 * mouse click, Space) takes the focus, toggles an automatic check box,
 * checks an automatic radio button and unchecks the others of its group,
 * then sends BN_CLICKED; BM_SETCHECK sends nothing.
 */
#include "controls_private.h"

#include <plat/dialog.h>
#include <plat/resource.h>

namespace {

using namespace plat::ctl;

struct ButtonState {
    UINT check = BST_UNCHECKED;
    bool pushed = false;
    HANDLE image = nullptr;
};

UINT typeOf(HWND h) { return style_of(h) & BS_TYPEMASK; }

bool isRadio(UINT type) { return type == BS_RADIOBUTTON || type == BS_AUTORADIOBUTTON; }

void uncheckGroup(HWND button)
{
    HWND dialog = GetParent(button);
    for (HWND h = GetNextDlgGroupItem(dialog, button, FALSE); h && h != button;
         h = GetNextDlgGroupItem(dialog, h, FALSE)) {
        if (typeOf(h) == BS_AUTORADIOBUTTON)
            SendMessageW(h, BM_SETCHECK, BST_UNCHECKED, 0);
    }
}

void click(HWND h)
{
    if (!IsWindowEnabled(h))
        return;
    const UINT type = typeOf(h);
    if (type == BS_GROUPBOX)
        return;
    SetFocus(h);
    if (!IsWindow(h))
        return;
    auto st = state<ButtonState>(h);
    switch (type) {
    case BS_AUTOCHECKBOX:
        st->check = st->check == BST_CHECKED ? BST_UNCHECKED : BST_CHECKED;
        break;
    case BS_AUTO3STATE:
        st->check = (st->check + 1) % 3;
        break;
    case BS_AUTORADIOBUTTON:
        st->check = BST_CHECKED;
        uncheckGroup(h);
        break;
    default:
        break;
    }
    InvalidateRect(h, nullptr, TRUE);
    command(h, BN_CLICKED);
}

void paintButton(HWND h)
{
    Paint p(h, WM_CTLCOLORBTN);
    auto st = state<ButtonState>(h);
    const UINT type = typeOf(h);
    const std::u16string text = text_of(h);
    RECT r = p.client;
    if (type == BS_OWNERDRAW) {
        DRAWITEMSTRUCT dis{ODT_BUTTON, UINT(GetDlgCtrlID(h)), 0, ODA_DRAWENTIRE,
                           UINT((st->pushed ? ODS_SELECTED : 0) | (IsWindowEnabled(h) ? 0 : ODS_DISABLED)), h, p.dc,
                           r, 0};
        SendMessageW(GetParent(h), WM_DRAWITEM, WPARAM(dis.CtlID), reinterpret_cast<LPARAM>(&dis));
        return;
    }
    if (type == BS_GROUPBOX) {
        SIZE s{};
        GetTextExtentPoint32W(p.dc, text.c_str(), int(text.size()), &s);
        RECT frame{r.left, r.top + s.cy / 2, r.right, r.bottom};
        DrawEdge(p.dc, &frame, EDGE_ETCHED, BF_RECT);
        RECT label{r.left + 6, r.top, r.left + 10 + s.cx, r.top + s.cy};
        FillRect(p.dc, &label, p.background);
        OffsetRect(&label, 2, 0);
        p.text(text, label, DT_LEFT | DT_SINGLELINE);
        return;
    }
    FillRect(p.dc, &r, p.background);
    if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON) {
        p.fill(r, COLOR_BTNFACE);
        if (type == BS_DEFPUSHBUTTON) {
            p.frame(r, COLOR_WINDOWFRAME);
            InflateRect(&r, -1, -1);
        }
        if (st->pushed)
            p.sunken(r);
        else
            p.raised(r);
        p.text(text, r, DT_CENTER | DT_VCENTER | DT_SINGLELINE);
        return;
    }
    /* Check boxes and radio buttons: a 13-pixel mark, then the text. */
    const int box = 13;
    const int top = (r.bottom - r.top - box) / 2;
    RECT mark{r.left, top, r.left + box, top + box};
    if (isRadio(type)) {
        HGDIOBJ oldBrush = SelectObject(p.dc, GetStockObject(WHITE_BRUSH));
        HGDIOBJ oldPen = SelectObject(p.dc, GetStockObject(BLACK_PEN));
        Ellipse(p.dc, mark.left, mark.top, mark.right, mark.bottom);
        if (st->check == BST_CHECKED) {
            SelectObject(p.dc, GetStockObject(BLACK_BRUSH));
            Ellipse(p.dc, mark.left + 4, mark.top + 4, mark.right - 4, mark.bottom - 4);
        }
        SelectObject(p.dc, oldBrush);
        SelectObject(p.dc, oldPen);
    } else {
        p.fill(mark, COLOR_WINDOW);
        p.frame(mark, COLOR_WINDOWTEXT);
        if (st->check != BST_UNCHECKED) {
            HGDIOBJ oldPen = SelectObject(p.dc, GetStockObject(st->check == BST_CHECKED ? BLACK_PEN : NULL_PEN));
            for (int k = 0; k < 2; ++k) {
                MoveToEx(p.dc, mark.left + 3, mark.top + 6 + k, nullptr);
                LineTo(p.dc, mark.left + 5, mark.top + 8 + k);
                LineTo(p.dc, mark.left + 10, mark.top + 3 + k);
            }
            SelectObject(p.dc, oldPen);
            if (st->check == BST_INDETERMINATE) {
                RECT in{mark.left + 3, mark.top + 3, mark.right - 3, mark.bottom - 3};
                p.fill(in, COLOR_BTNSHADOW);
            }
        }
    }
    RECT label{r.left + box + 4, r.top, r.right, r.bottom};
    p.text(text, label, DT_LEFT | DT_VCENTER | DT_SINGLELINE);
}

LRESULT buttonProc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case BM_GETCHECK:
        return state<ButtonState>(h)->check;
    case BM_SETCHECK: {
        const UINT type = typeOf(h);
        if (type == BS_PUSHBUTTON || type == BS_DEFPUSHBUTTON || type == BS_GROUPBOX || type == BS_OWNERDRAW)
            return 0;
        UINT v = UINT(wp);
        if (v == BST_INDETERMINATE && type != BS_3STATE && type != BS_AUTO3STATE)
            v = BST_CHECKED;
        state<ButtonState>(h)->check = v > BST_INDETERMINATE ? BST_UNCHECKED : v;
        InvalidateRect(h, nullptr, TRUE);
        return 0;
    }
    case BM_GETSTATE: {
        auto st = state<ButtonState>(h);
        return LRESULT(st->check | (st->pushed ? BST_PUSHED : 0) | (GetFocus() == h ? BST_FOCUS : 0));
    }
    case BM_SETSTATE:
        state<ButtonState>(h)->pushed = wp != 0;
        return 0;
    case BM_SETSTYLE:
        SetWindowLongPtrW(h, GWL_STYLE, LONG_PTR((style_of(h) & ~0xFFFFu) | (DWORD(wp) & 0xFFFFu)));
        InvalidateRect(h, nullptr, TRUE);
        return 0;
    case BM_CLICK:
        click(h);
        return 0;
    case BM_SETIMAGE: {
        auto st = state<ButtonState>(h);
        HANDLE previous = st->image;
        st->image = reinterpret_cast<HANDLE>(lp);
        return reinterpret_cast<LRESULT>(previous);
    }
    case BM_GETIMAGE:
        return reinterpret_cast<LRESULT>(state<ButtonState>(h)->image);
    case WM_LBUTTONUP:
        click(h);
        return 0;
    case WM_KEYDOWN:
        if (wp == VK_SPACE)
            click(h);
        return 0;
    case WM_SETFOCUS:
        if (style_of(h) & BS_NOTIFY)
            command(h, BN_SETFOCUS);
        return 0;
    case WM_KILLFOCUS:
        if (style_of(h) & BS_NOTIFY)
            command(h, BN_KILLFOCUS);
        return 0;
    case WM_PAINT:
        paintButton(h);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    default:
        return DefWindowProcW(h, msg, wp, lp);
    }
}

struct StaticState {
    HANDLE image = nullptr;
    UINT imageType = IMAGE_BITMAP;
    HANDLE loaded = nullptr; /* the image the control loaded from its text itself; freed with it */
};

/* Frees the image the control loaded itself, when it is the one given. */
void freeLoaded(StaticState &st, HANDLE image)
{
    if (!image || image != st.loaded)
        return;
    if (st.imageType == IMAGE_ICON)
        DestroyIcon(static_cast<HICON>(image));
    else
        DeleteObject(image);
    st.loaded = nullptr;
}

/*
 * An SS_ICON or SS_BITMAP static made with a text (a template's "#123" or
 * a name) shows that picture of the module it was made with, as a dialog
 * template's icon control does; the control owns what it loaded.
 */
void loadImageFromText(HWND h, const CREATESTRUCTW *cs)
{
    const UINT type = UINT(cs->style) & SS_TYPEMASK;
    if ((type != SS_ICON && type != SS_BITMAP) || !cs->lpszName || !cs->lpszName[0] || !cs->hInstance)
        return;
    const UINT kind = type == SS_ICON ? UINT(IMAGE_ICON) : UINT(IMAGE_BITMAP);
    HANDLE image = LoadImageW(cs->hInstance, cs->lpszName, kind, 0, 0, type == SS_ICON ? LR_DEFAULTSIZE : 0);
    if (!image)
        return;
    auto st = state<StaticState>(h);
    st->image = st->loaded = image;
    st->imageType = kind;
}

void paintStatic(HWND h)
{
    Paint p(h, WM_CTLCOLORSTATIC);
    auto st = state<StaticState>(h);
    const DWORD style = style_of(h);
    const UINT type = style & SS_TYPEMASK;
    RECT r = p.client;
    switch (type) {
    case SS_OWNERDRAW: {
        DRAWITEMSTRUCT dis{ODT_STATIC, UINT(GetDlgCtrlID(h)), 0, ODA_DRAWENTIRE, 0, h, p.dc, r, 0};
        SendMessageW(GetParent(h), WM_DRAWITEM, WPARAM(dis.CtlID), reinterpret_cast<LPARAM>(&dis));
        return;
    }
    case SS_BLACKRECT: p.fill(r, COLOR_WINDOWFRAME); return;
    case SS_GRAYRECT: p.fill(r, COLOR_BTNSHADOW); return;
    case SS_WHITERECT: p.fill(r, COLOR_WINDOW); return;
    case SS_BLACKFRAME: p.frame(r, COLOR_WINDOWFRAME); return;
    case SS_ETCHEDHORZ: {
        RECT line{r.left, r.top, r.right, r.top + 2};
        DrawEdge(p.dc, &line, EDGE_ETCHED, BF_RECT);
        return;
    }
    case SS_ETCHEDFRAME: DrawEdge(p.dc, &r, EDGE_ETCHED, BF_RECT); return;
    default: break;
    }
    FillRect(p.dc, &r, p.background);
    if (type == SS_ICON && st->image) {
        const int s = 32;
        const int x = (style & SS_CENTERIMAGE) ? (r.right - s) / 2 : 0;
        const int y = (style & SS_CENTERIMAGE) ? (r.bottom - s) / 2 : 0;
        DrawIconEx(p.dc, x, y, reinterpret_cast<HICON>(st->image), 0, 0, 0, nullptr, DI_NORMAL);
        return;
    }
    if (type == SS_BITMAP && st->image) {
        BITMAP bm{};
        GetObjectW(st->image, sizeof bm, &bm);
        HDC mem = CreateCompatibleDC(p.dc);
        HGDIOBJ old = SelectObject(mem, st->image);
        const int x = (style & SS_CENTERIMAGE) ? (r.right - bm.bmWidth) / 2 : 0;
        const int y = (style & SS_CENTERIMAGE) ? (r.bottom - bm.bmHeight) / 2 : 0;
        BitBlt(p.dc, x, y, bm.bmWidth, bm.bmHeight, mem, 0, 0, SRCCOPY);
        SelectObject(mem, old);
        DeleteDC(mem);
        return;
    }
    if (type == SS_LEFT || type == SS_CENTER || type == SS_RIGHT) {
        UINT format = type == SS_CENTER ? DT_CENTER : type == SS_RIGHT ? DT_RIGHT : DT_LEFT;
        format |= DT_WORDBREAK;
        if (style & SS_NOPREFIX)
            format |= DT_NOPREFIX;
        if (style & SS_CENTERIMAGE)
            format = (format & ~DT_WORDBREAK) | DT_SINGLELINE | DT_VCENTER;
        p.text(text_of(h), r, format);
    }
}

LRESULT staticProc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case STM_SETICON:
    case STM_SETIMAGE: {
        auto st = state<StaticState>(h);
        HANDLE previous = st->image;
        if (previous && previous == st->loaded) {
            /* The control's own picture goes now; the caller gets nothing to free. */
            freeLoaded(*st, previous);
            previous = nullptr;
        }
        st->image = reinterpret_cast<HANDLE>(msg == STM_SETICON ? wp : WPARAM(lp));
        st->imageType = msg == STM_SETICON ? UINT(IMAGE_ICON) : UINT(wp);
        InvalidateRect(h, nullptr, TRUE);
        return reinterpret_cast<LRESULT>(previous);
    }
    case WM_CREATE:
        loadImageFromText(h, reinterpret_cast<const CREATESTRUCTW *>(lp));
        return 0;
    case WM_DESTROY: {
        auto st = state<StaticState>(h);
        freeLoaded(*st, st->loaded);
        return 0;
    }
    case STM_GETICON:
    case STM_GETIMAGE:
        return reinterpret_cast<LRESULT>(state<StaticState>(h)->image);
    case WM_LBUTTONUP:
        if (style_of(h) & SS_NOTIFY)
            command(h, STN_CLICKED);
        return 0;
    case WM_LBUTTONDBLCLK:
        if (style_of(h) & SS_NOTIFY)
            command(h, STN_DBLCLK);
        return 0;
    case WM_PAINT:
        paintStatic(h);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    default:
        return DefWindowProcW(h, msg, wp, lp);
    }
}

const bool registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = buttonProc;
    wc.lpszClassName = WC_BUTTONW;
    plat::window_register_builtin(wc);
    wc.lpfnWndProc = staticProc;
    wc.lpszClassName = WC_STATICW;
    return plat::window_register_builtin(wc);
}();

} // namespace
