/*
 * What the control classes share: notifying the parent (WM_COMMAND and
 * WM_NOTIFY), asking it for colours (WM_CTLCOLOR*), a control's typed state
 * object, text helpers and the small painting helpers of the built-in
 * painters.
 */
#ifndef PLAT_CONTROLS_PRIVATE_H
#define PLAT_CONTROLS_PRIVATE_H

#include <plat/controls.h>
#include <plat/dialog.h>
#include <plat/text.h>
#include <plat/window.h>

#include <memory>
#include <string>

namespace plat::ctl {

/* WM_COMMAND (id, code) to the parent. */
LRESULT command(HWND control, int code);

/* WM_NOTIFY with `hdr` (its header is filled in) to the parent. */
LRESULT notify(HWND control, NMHDR *hdr, UINT code);

/* The control's state object, made on first use. */
template <typename T>
std::shared_ptr<T> state(HWND control)
{
    auto s = std::static_pointer_cast<T>(window_state(control));
    if (!s) {
        s = std::make_shared<T>();
        window_set_state(control, s);
    }
    return s;
}

std::u16string text_of(HWND window);
std::u16string text_arg(LPARAM lParam);
/* Copies for WM_GETTEXT-like messages: answers the units copied. */
LRESULT copy_out(const std::u16string &text, LPARAM out, size_t cch);

DWORD style_of(HWND window);

/* Painting: the control's context with its font, the parent's colours, and the background brush. */
struct Paint {
    HWND window;
    PAINTSTRUCT ps{};
    HDC dc = nullptr;
    RECT client{};
    HBRUSH background = nullptr;
    HGDIOBJ oldFont = nullptr;
    Paint(HWND w, UINT ctlColour);
    ~Paint();
    void text(const std::u16string &s, RECT r, UINT format);
    void frame(RECT r, int sysColour);
    void fill(RECT r, int sysColour);
    void sunken(RECT r);
    void raised(RECT r);
};

/* The default font when none was set. */
HFONT font_of(HWND window);

} // namespace plat::ctl

#endif /* PLAT_CONTROLS_PRIVATE_H */

#include <vector>

namespace plat::ctl {

/* The rows of a list box or a combo box's list. */
struct ListModel {
    struct Row {
        std::u16string text;
        ULONG_PTR data = 0;
    };
    std::vector<Row> rows;
    int sel = -1;
    int top = 0;
    int itemHeight = 16;
    bool sorted = false;
    bool hasStrings = true;
    std::vector<int> tabStops;

    static constexpr size_t kMaxRows = 32767;

    /* LB_ADDSTRING / CB_ADDSTRING: the row's index, or -2 (no room). */
    int add(const std::u16string &text, ULONG_PTR data);
    /* LB_INSERTSTRING: at `index` (-1: at the end); the index, -1 for a bad index, -2 for no room. */
    int insert(int index, const std::u16string &text, ULONG_PTR data);
    /* LB_DELETESTRING: the rows left, or -1. */
    int remove(int index);
    void clear();
    /* The first row after `start` (-1: from the top) whose text begins with (or equals) `text`, wrapping; -1 if none. */
    int find(int start, const std::u16string &text, bool exact) const;
    bool valid(int index) const { return index >= 0 && size_t(index) < rows.size(); }
};

/* Handles the list messages both classes share (LB_* numbers); false when `msg` is not one of them. */
bool list_message(ListModel &m, UINT msg, WPARAM wp, LPARAM lp, LRESULT &result);

} // namespace plat::ctl
