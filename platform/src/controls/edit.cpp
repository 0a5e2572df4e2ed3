/*
 * The edit class: text (kept as the window's text), selection, limit,
 * read-only, number-only, password, undo, margins, and the notifications
 * EN_CHANGE (also after WM_SETTEXT, EM_REPLACESEL and EM_UNDO), EN_MAXTEXT,
 * EN_SETFOCUS and EN_KILLFOCUS; and its painter.
 */
#include "controls_private.h"

#include <algorithm>

namespace {

using namespace plat::ctl;

constexpr size_t kDefaultLimit = 0x7FFE;
constexpr size_t kMaxLimit = 0x7FFFFFFE;

struct EditState {
    size_t limit = kDefaultLimit;
    size_t selStart = 0;
    size_t selEnd = 0;
    std::u16string undo;
    bool canUndo = false;
    bool modified = false;
    WORD leftMargin = 0;
    WORD rightMargin = 0;
    char16_t password = u'*';
};

void setText(HWND h, const std::u16string &s)
{
    DefWindowProcW(h, WM_SETTEXT, 0, reinterpret_cast<LPARAM>(s.c_str()));
}

/* Replaces the selection with `in` as far as the limit allows; answers false when nothing fitted of a non-empty text. */
bool replaceSelection(HWND h, std::u16string in, bool undoable)
{
    auto st = state<EditState>(h);
    std::u16string text = text_of(h);
    const size_t a = std::min({st->selStart, st->selEnd, text.size()});
    const size_t b = std::min(std::max(st->selStart, st->selEnd), text.size());
    const size_t room = st->limit > text.size() - (b - a) ? st->limit - (text.size() - (b - a)) : 0;
    const bool cut = in.size() > room;
    if (cut)
        in.resize(room);
    if (undoable) {
        st->undo = text;
        st->canUndo = true;
    }
    text.replace(a, b - a, in);
    setText(h, text);
    st->selStart = st->selEnd = a + in.size();
    st->modified = true;
    InvalidateRect(h, nullptr, TRUE);
    command(h, EN_UPDATE);
    command(h, EN_CHANGE);
    if (cut)
        command(h, EN_MAXTEXT);
    return !cut || !in.empty();
}

void typeChar(HWND h, char16_t c)
{
    const DWORD style = style_of(h);
    if (style & ES_READONLY) {
        MessageBeep(0);
        return;
    }
    auto st = state<EditState>(h);
    if (c == VK_BACK) {
        if (st->selStart == st->selEnd) {
            if (st->selStart == 0)
                return;
            st->selStart -= 1;
        }
        replaceSelection(h, u"", true);
        return;
    }
    if (c < 0x20)
        return;
    if ((style & ES_NUMBER) && (c < u'0' || c > u'9')) {
        MessageBeep(0);
        return;
    }
    if (style & ES_UPPERCASE)
        c = (c >= u'a' && c <= u'z') ? char16_t(c - 32) : c;
    if (style & ES_LOWERCASE)
        c = (c >= u'A' && c <= u'Z') ? char16_t(c + 32) : c;
    replaceSelection(h, std::u16string(1, c), true);
}

void paintEdit(HWND h)
{
    const DWORD style = style_of(h);
    const bool grey = (style & ES_READONLY) || !IsWindowEnabled(h);
    Paint p(h, grey ? WM_CTLCOLORSTATIC : WM_CTLCOLOREDIT);
    auto st = state<EditState>(h);
    RECT r = p.client;
    FillRect(p.dc, &r, p.background);
    if ((style & WS_BORDER) || (GetWindowLongPtrW(h, GWL_EXSTYLE) & WS_EX_CLIENTEDGE)) {
        p.sunken(r);
        InflateRect(&r, -2, -2);
    }
    r.left += 1 + st->leftMargin;
    r.right -= 1 + st->rightMargin;
    std::u16string text = text_of(h);
    if (style & ES_PASSWORD)
        text.assign(text.size(), st->password);
    const UINT align = (style & ES_CENTER) ? DT_CENTER : (style & ES_RIGHT) ? DT_RIGHT : DT_LEFT;
    p.text(text, r, align | DT_NOPREFIX | ((style & ES_MULTILINE) ? DT_WORDBREAK : DT_SINGLELINE | DT_VCENTER));
}

LRESULT editProc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_CREATE:
        state<EditState>(h);
        return 0;
    case WM_SETTEXT: {
        DefWindowProcW(h, msg, wp, lp);
        auto st = state<EditState>(h);
        st->selStart = st->selEnd = 0;
        st->canUndo = false;
        st->undo.clear();
        st->modified = false;
        command(h, EN_UPDATE);
        command(h, EN_CHANGE);
        return TRUE;
    }
    case WM_CHAR:
        typeChar(h, char16_t(wp));
        return 0;
    case WM_KEYDOWN:
        if (wp == VK_DELETE && !(style_of(h) & ES_READONLY)) {
            auto st = state<EditState>(h);
            if (st->selStart == st->selEnd)
                st->selEnd = std::min(st->selEnd + 1, text_of(h).size());
            replaceSelection(h, u"", true);
        }
        return 0;
    case EM_REPLACESEL:
        replaceSelection(h, text_arg(lp), wp != 0);
        return 0;
    case EM_SETSEL: {
        auto st = state<EditState>(h);
        const size_t n = text_of(h).size();
        const long a = long(LONG(wp));
        const long b = long(LONG(lp));
        if (a < 0) {
            st->selStart = st->selEnd = std::min(st->selEnd, n);
        } else {
            st->selStart = std::min(size_t(a), n);
            st->selEnd = b < 0 ? n : std::min(size_t(b), n);
        }
        return 0;
    }
    case EM_GETSEL: {
        auto st = state<EditState>(h);
        const DWORD a = DWORD(std::min(st->selStart, st->selEnd));
        const DWORD b = DWORD(std::max(st->selStart, st->selEnd));
        if (wp)
            *reinterpret_cast<DWORD *>(wp) = a;
        if (lp)
            *reinterpret_cast<DWORD *>(lp) = b;
        return MAKELRESULT(std::min<DWORD>(a, 0xFFFF), std::min<DWORD>(b, 0xFFFF));
    }
    case EM_LIMITTEXT:
        state<EditState>(h)->limit = wp == 0 ? kMaxLimit : std::min<size_t>(wp, kMaxLimit);
        return 0;
    case EM_GETLIMITTEXT:
        return LRESULT(state<EditState>(h)->limit);
    case EM_SETREADONLY: {
        const DWORD style = style_of(h);
        SetWindowLongPtrW(h, GWL_STYLE, LONG_PTR(wp ? (style | ES_READONLY) : (style & ~ES_READONLY)));
        InvalidateRect(h, nullptr, TRUE);
        return TRUE;
    }
    case EM_CANUNDO:
        return state<EditState>(h)->canUndo ? TRUE : FALSE;
    case EM_UNDO: {
        auto st = state<EditState>(h);
        if (!st->canUndo)
            return FALSE;
        std::u16string before = text_of(h);
        setText(h, st->undo);
        st->undo = before;
        st->selStart = st->selEnd = text_of(h).size();
        command(h, EN_UPDATE);
        command(h, EN_CHANGE);
        return TRUE;
    }
    case EM_EMPTYUNDOBUFFER: {
        auto st = state<EditState>(h);
        st->canUndo = false;
        st->undo.clear();
        return 0;
    }
    case EM_GETMODIFY:
        return state<EditState>(h)->modified ? TRUE : FALSE;
    case EM_SETMODIFY:
        state<EditState>(h)->modified = wp != 0;
        return 0;
    case EM_SETMARGINS: {
        auto st = state<EditState>(h);
        if (wp & EC_LEFTMARGIN)
            st->leftMargin = LOWORD(lp);
        if (wp & EC_RIGHTMARGIN)
            st->rightMargin = HIWORD(lp);
        return 0;
    }
    case EM_GETMARGINS: {
        auto st = state<EditState>(h);
        return MAKELRESULT(st->leftMargin, st->rightMargin);
    }
    case EM_SETPASSWORDCHAR:
        state<EditState>(h)->password = char16_t(wp);
        return 0;
    case WM_SETFOCUS: {
        auto st = state<EditState>(h);
        st->selStart = 0;
        st->selEnd = text_of(h).size();
        command(h, EN_SETFOCUS);
        return 0;
    }
    case WM_KILLFOCUS:
        command(h, EN_KILLFOCUS);
        return 0;
    case WM_LBUTTONDOWN:
        SetFocus(h);
        return 0;
    case WM_PAINT:
        paintEdit(h);
        return 0;
    case WM_ERASEBKGND:
        return 1;
    default:
        return DefWindowProcW(h, msg, wp, lp);
    }
}

const bool registered = [] {
    WNDCLASSW wc{};
    wc.lpfnWndProc = editProc;
    wc.lpszClassName = WC_EDITW;
    return plat::window_register_builtin(wc);
}();

} // namespace
