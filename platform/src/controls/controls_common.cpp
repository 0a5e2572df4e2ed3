/*
 * Helpers of the control classes: parent notifications, text arguments and
 * the painting context each built-in painter uses.
 */
#include "controls_private.h"

#include <algorithm>

namespace plat::ctl {

LRESULT command(HWND control, int code)
{
    HWND parent = GetParent(control);
    if (!parent)
        return 0;
    const int id = int(GetWindowLongPtrW(control, GWLP_ID));
    return SendMessageW(parent, WM_COMMAND, MAKEWPARAM(id, code), reinterpret_cast<LPARAM>(control));
}

LRESULT notify(HWND control, NMHDR *hdr, UINT code)
{
    HWND parent = GetParent(control);
    if (!parent)
        return 0;
    hdr->hwndFrom = control;
    hdr->idFrom = UINT_PTR(GetWindowLongPtrW(control, GWLP_ID));
    hdr->code = code;
    return SendMessageW(parent, WM_NOTIFY, hdr->idFrom, reinterpret_cast<LPARAM>(hdr));
}

std::u16string text_of(HWND window)
{
    const int n = GetWindowTextLengthW(window);
    std::u16string s(size_t(n) + 1, u'\0');
    const int got = GetWindowTextW(window, s.data(), n + 1);
    s.resize(size_t(std::max(got, 0)));
    return s;
}

std::u16string text_arg(LPARAM lParam)
{
    const auto *p = reinterpret_cast<LPCWSTR>(lParam);
    return p ? std::u16string(p, size_t(lstrlenW(p))) : std::u16string();
}

LRESULT copy_out(const std::u16string &text, LPARAM out, size_t cch)
{
    auto *p = reinterpret_cast<LPWSTR>(out);
    if (!p || cch == 0)
        return 0;
    const size_t n = std::min(text.size(), cch - 1);
    std::copy_n(text.data(), n, p);
    p[n] = 0;
    return LRESULT(n);
}

DWORD style_of(HWND window) { return DWORD(GetWindowLongPtrW(window, GWL_STYLE)); }

HFONT font_of(HWND window)
{
    HFONT f = reinterpret_cast<HFONT>(SendMessageW(window, WM_GETFONT, 0, 0));
    return f ? f : reinterpret_cast<HFONT>(GetStockObject(DEFAULT_GUI_FONT));
}

Paint::Paint(HWND w, UINT ctlColour) : window(w)
{
    dc = BeginPaint(w, &ps);
    GetClientRect(w, &client);
    oldFont = SelectObject(dc, font_of(w));
    SetBkMode(dc, TRANSPARENT);
    HWND parent = GetParent(w);
    if (ctlColour && parent)
        background = reinterpret_cast<HBRUSH>(
            SendMessageW(parent, ctlColour, reinterpret_cast<WPARAM>(dc), reinterpret_cast<LPARAM>(w)));
    if (!background)
        background = GetSysColorBrush(ctlColour == WM_CTLCOLOREDIT || ctlColour == WM_CTLCOLORLISTBOX ? COLOR_WINDOW
                                                                                                      : COLOR_BTNFACE);
    if (!IsWindowEnabled(w))
        SetTextColor(dc, GetSysColor(COLOR_GRAYTEXT));
}

Paint::~Paint()
{
    SelectObject(dc, oldFont);
    EndPaint(window, &ps);
}

void Paint::text(const std::u16string &s, RECT r, UINT format) { DrawTextW(dc, s.c_str(), int(s.size()), &r, format); }

void Paint::frame(RECT r, int sysColour) { FrameRect(dc, &r, GetSysColorBrush(sysColour)); }

void Paint::fill(RECT r, int sysColour) { FillRect(dc, &r, GetSysColorBrush(sysColour)); }

void Paint::sunken(RECT r) { DrawEdge(dc, &r, EDGE_SUNKEN, BF_RECT); }

void Paint::raised(RECT r) { DrawEdge(dc, &r, EDGE_RAISED, BF_RECT); }

} // namespace plat::ctl
