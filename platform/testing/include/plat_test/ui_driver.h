// The test driver of the window system: simulated user actions on the
// controls of a dialog, page or property sheet (each action pumps the
// posted messages afterwards), queries of a control's state, scripts for
// modal runs, and rendering a window tree to a PNG image.
#ifndef PLAT_TEST_UI_DRIVER_H
#define PLAT_TEST_UI_DRIVER_H

#include <plat/controls.h>
#include <plat/dialog.h>
#include <plat/prsht.h>

#include <functional>
#include <string>
#include <string_view>
#include <vector>

namespace plat_test {

/* What a control shows, as a test asks about it. */
struct ControlState {
    std::u16string className;
    std::u16string text;
    bool visible = false;
    bool enabled = false;
    bool readOnly = false;
    bool focused = false;
    int checked = 0;                 /* buttons: BST_* */
    std::vector<std::u16string> rows; /* list and combo boxes, tabs */
    std::vector<ULONG_PTR> data;      /* their item data */
    int selection = -1;              /* list, combo, tab */
    bool dropped = false;            /* combo */
    int min = 0, max = 0, pos = 0;   /* scroll bar, trackbar, up-down */
    HANDLE image = nullptr;          /* static pictures and icons */
    int count = 0;                   /* rows, tabs, tree items, tools */
};

class UiWindow {
public:
    explicit UiWindow(HWND window) : window_(window) {}
    HWND hwnd() const { return window_; }
    HWND item(int id) const;

    void click(int id);
    /* Focus, then the text: replaced at once (one EN_CHANGE) or typed a character at a time. */
    void type(int id, std::u16string_view text, bool perChar = false);
    void focus(int id);
    void tab(bool backwards = false);
    void selectRow(int id, int row);
    void selectRow(int id, std::u16string_view text);
    void doubleClickRow(int id, int row);
    void key(int id, int vk);
    void dropDownAndChoose(int id, int row);
    void dropDownAndCancel(int id);
    void dragSlider(int id, int pos);
    void spin(int id, int steps);
    void chooseTab(int id, int index);
    void chooseTreeItem(int id, HTREEITEM item);
    void clickPicture(int id, POINT at = {1, 1});
    /* The tooltip text that would show at `at` (client coordinates of this window); empty when none. */
    std::u16string hover(POINT at);
    void helpOn(int id);
    void contextHelpAt(POINT screen);

    ControlState state(int id) const;

protected:
    HWND window_;
};

class UiSheet : public UiWindow {
public:
    using UiWindow::UiWindow;
    void selectTab(int index);
    UiWindow page() const;
    int pageIndex() const;
    void ok();
    void apply();
    void cancel();
    /* Escape: IDCANCEL to the current page, as the dialog manager sends it. */
    void escape();
    void help();
    void next();
    void back();
    void finish();
};

/* Queues the script of the next modal dialog (of template `templateId`, 0: any). */
void expectDialog(WORD templateId, std::function<void(UiWindow &)> script);
/* Queues the script of the next property sheet or wizard. */
void expectSheet(std::function<void(UiSheet &)> script);

void pump();
void advanceTime(unsigned ms);

/*
 * Paints `window`'s tree (the window, then its visible children in
 * z-order) and writes it to `path` as an 8-bit RGB PNG; false when the
 * window is bad or the file cannot be written.
 */
bool renderPng(HWND window, const std::string &path);

/* Paints the tree and answers its pixels (BGRX) and size, without a file. */
bool renderPixels(HWND window, int *cx, int *cy, std::vector<DWORD> *pixels);

} // namespace plat_test

#endif // PLAT_TEST_UI_DRIVER_H
