// The test driver: each action does what a user's click, key or drag would,
// through the controls' own messages, then pumps the posted messages.
#include <plat_test/ui_driver.h>

#include <plat/clock.h>
#include <plat/text.h>

#include <algorithm>

namespace plat_test {

namespace {

std::u16string textOf(HWND h)
{
    const int n = GetWindowTextLengthW(h);
    std::u16string s(size_t(n) + 1, u'\0');
    s.resize(size_t(std::max(GetWindowTextW(h, s.data(), n + 1), 0)));
    return s;
}

std::u16string classOf(HWND h)
{
    WCHAR buf[64];
    const int n = GetClassNameW(h, buf, 64);
    return std::u16string(buf, size_t(std::max(n, 0)));
}

bool isClass(HWND h, const char16_t *name) { return lstrcmpiW(classOf(h).c_str(), name) == 0; }

DWORD styleOf(HWND h) { return DWORD(GetWindowLongPtrW(h, GWL_STYLE)); }

/* The control that takes typing and focus: an editable combo box's edit control. */
HWND inputOf(HWND h)
{
    if (isClass(h, WC_COMBOBOXW))
        if (HWND edit = GetDlgItem(h, COMBO_EDIT_ID))
            return edit;
    return h;
}

} // namespace

void pump() { plat::window_pump(); }

void advanceTime(unsigned ms)
{
    plat::clock_advance(ms);
    plat::window_pump();
}

HWND UiWindow::item(int id) const { return GetDlgItem(window_, id); }

void UiWindow::click(int id)
{
    if (HWND h = item(id))
        SendMessageW(h, BM_CLICK, 0, 0);
    pump();
}

void UiWindow::type(int id, std::u16string_view text, bool perChar)
{
    HWND h = item(id);
    if (!h)
        return;
    HWND input = inputOf(h);
    SetFocus(input);
    if (!IsWindowEnabled(input) || (styleOf(input) & ES_READONLY)) {
        pump();
        return;
    }
    SendMessageW(input, EM_SETSEL, 0, -1);
    if (perChar) {
        if (text.empty())
            SendMessageW(input, WM_CHAR, VK_BACK, 0);
        for (char16_t c : text)
            SendMessageW(input, WM_CHAR, c, 0);
    } else {
        const std::u16string s(text);
        SendMessageW(input, EM_REPLACESEL, TRUE, reinterpret_cast<LPARAM>(s.c_str()));
    }
    pump();
}

void UiWindow::focus(int id)
{
    if (HWND h = item(id))
        SetFocus(inputOf(h));
    pump();
}

void UiWindow::tab(bool backwards)
{
    HWND current = GetFocus();
    while (current && GetParent(current) != window_ && IsChild(window_, current))
        current = GetParent(current);
    if (HWND next = GetNextDlgTabItem(window_, current, backwards ? TRUE : FALSE))
        SetFocus(inputOf(next));
    pump();
}

void UiWindow::selectRow(int id, int row)
{
    HWND h = item(id);
    if (h && isClass(h, WC_COMBOBOXW))
        SendMessageW(h, PLAT_CM_CHOOSE, WPARAM(row), 1);
    else if (h)
        SendMessageW(h, PLAT_CM_CHOOSE, WPARAM(row), 0);
    pump();
}

void UiWindow::selectRow(int id, std::u16string_view text)
{
    HWND h = item(id);
    if (!h)
        return;
    const std::u16string s(text);
    const UINT find = isClass(h, WC_COMBOBOXW) ? CB_FINDSTRINGEXACT : LB_FINDSTRINGEXACT;
    const int row = int(SendMessageW(h, find, WPARAM(-1), reinterpret_cast<LPARAM>(s.c_str())));
    if (row >= 0)
        selectRow(id, row);
}

void UiWindow::doubleClickRow(int id, int row)
{
    if (HWND h = item(id))
        SendMessageW(h, PLAT_CM_CHOOSE, WPARAM(row), 1);
    pump();
}

void UiWindow::key(int id, int vk)
{
    if (HWND h = item(id)) {
        SetFocus(inputOf(h));
        SendMessageW(inputOf(h), WM_KEYDOWN, WPARAM(vk), 0);
        SendMessageW(inputOf(h), WM_KEYUP, WPARAM(vk), 0);
    }
    pump();
}

void UiWindow::dropDownAndChoose(int id, int row)
{
    if (HWND h = item(id))
        SendMessageW(h, PLAT_CM_CHOOSE, WPARAM(row), 1);
    pump();
}

void UiWindow::dropDownAndCancel(int id)
{
    if (HWND h = item(id))
        SendMessageW(h, PLAT_CM_CHOOSE, WPARAM(-1), 0);
    pump();
}

void UiWindow::dragSlider(int id, int pos)
{
    if (HWND h = item(id))
        SendMessageW(h, PLAT_CM_DRAG, WPARAM(pos), 0);
    pump();
}

void UiWindow::spin(int id, int steps)
{
    if (HWND h = item(id))
        SendMessageW(h, PLAT_CM_SPIN, WPARAM(LONG_PTR(steps)), 0);
    pump();
}

void UiWindow::chooseTab(int id, int index)
{
    if (HWND h = item(id))
        SendMessageW(h, PLAT_CM_CHOOSE, WPARAM(index), 0);
    pump();
}

void UiWindow::chooseTreeItem(int id, HTREEITEM treeItem)
{
    if (HWND h = item(id))
        SendMessageW(h, PLAT_CM_CHOOSE, reinterpret_cast<WPARAM>(treeItem), 0);
    pump();
}

void UiWindow::clickPicture(int id, POINT at)
{
    if (HWND h = item(id)) {
        SendMessageW(h, WM_SETCURSOR, reinterpret_cast<WPARAM>(h), MAKELPARAM(1 /* HTCLIENT */, WM_LBUTTONDOWN));
        SendMessageW(h, WM_LBUTTONDOWN, 1 /* MK_LBUTTON */, MAKELPARAM(at.x, at.y));
        SendMessageW(h, WM_LBUTTONUP, 0, MAKELPARAM(at.x, at.y));
    }
    pump();
}

std::u16string UiWindow::hover(POINT at)
{
    POINT screen = at;
    ClientToScreen(window_, &screen);
    HWND root = GetAncestor(window_, GA_ROOT);
    for (HWND h : plat::window_list()) {
        if (!isClass(h, TOOLTIPS_CLASSW))
            continue;
        HWND owner = GetWindow(h, GW_OWNER);
        if (owner != root)
            continue;
        const auto *text = reinterpret_cast<LPCWSTR>(SendMessageW(h, PLAT_CM_HITTEST, 0, reinterpret_cast<LPARAM>(&screen)));
        if (text)
            return std::u16string(text);
    }
    return {};
}

void UiWindow::helpOn(int id)
{
    if (HWND h = item(id)) {
        RECT r;
        GetWindowRect(h, &r);
        HELPINFO hi{sizeof(HELPINFO), HELPINFO_WINDOW, id, h, 0, POINT{(r.left + r.right) / 2, (r.top + r.bottom) / 2}};
        SendMessageW(h, WM_HELP, 0, reinterpret_cast<LPARAM>(&hi));
    }
    pump();
}

void UiWindow::contextHelpAt(POINT screen)
{
    HWND h = WindowFromPoint(screen);
    if (h)
        SendMessageW(h, WM_CONTEXTMENU, reinterpret_cast<WPARAM>(h), MAKELPARAM(screen.x, screen.y));
    pump();
}

ControlState UiWindow::state(int id) const
{
    ControlState s;
    HWND h = item(id);
    if (!h)
        return s;
    s.className = classOf(h);
    s.text = textOf(h);
    s.visible = IsWindowVisible(h) != 0;
    s.enabled = IsWindowEnabled(h) != 0;
    s.focused = GetFocus() == h || (GetFocus() && GetParent(GetFocus()) == h);
    const DWORD style = styleOf(h);
    auto rows = [&](UINT count, UINT textLen, UINT getText, UINT getData, UINT getSel) {
        s.count = int(SendMessageW(h, count, 0, 0));
        for (int i = 0; i < s.count; ++i) {
            const int n = int(SendMessageW(h, textLen, WPARAM(i), 0));
            std::u16string t(size_t(std::max(n, 0)) + 1, u'\0');
            SendMessageW(h, getText, WPARAM(i), reinterpret_cast<LPARAM>(t.data()));
            t.resize(size_t(std::max(n, 0)));
            s.rows.push_back(t);
            s.data.push_back(ULONG_PTR(SendMessageW(h, getData, WPARAM(i), 0)));
        }
        s.selection = int(SendMessageW(h, getSel, 0, 0));
    };
    if (isClass(h, WC_BUTTONW)) {
        s.checked = int(SendMessageW(h, BM_GETCHECK, 0, 0));
        s.image = reinterpret_cast<HANDLE>(SendMessageW(h, BM_GETIMAGE, 0, 0));
    } else if (isClass(h, WC_EDITW)) {
        s.readOnly = (style & ES_READONLY) != 0;
    } else if (isClass(h, WC_STATICW)) {
        s.image = reinterpret_cast<HANDLE>(SendMessageW(h, STM_GETIMAGE, IMAGE_BITMAP, 0));
    } else if (isClass(h, WC_LISTBOXW)) {
        rows(LB_GETCOUNT, LB_GETTEXTLEN, LB_GETTEXT, LB_GETITEMDATA, LB_GETCURSEL);
    } else if (isClass(h, WC_COMBOBOXW)) {
        rows(CB_GETCOUNT, CB_GETLBTEXTLEN, CB_GETLBTEXT, CB_GETITEMDATA, CB_GETCURSEL);
        s.dropped = SendMessageW(h, CB_GETDROPPEDSTATE, 0, 0) != 0;
        if (HWND edit = GetDlgItem(h, COMBO_EDIT_ID))
            s.readOnly = (styleOf(edit) & ES_READONLY) != 0;
    } else if (isClass(h, WC_SCROLLBARW)) {
        SendMessageW(h, SBM_GETRANGE, reinterpret_cast<WPARAM>(&s.min), reinterpret_cast<LPARAM>(&s.max));
        s.pos = int(SendMessageW(h, SBM_GETPOS, 0, 0));
    } else if (isClass(h, TRACKBAR_CLASSW)) {
        s.min = int(SendMessageW(h, TBM_GETRANGEMIN, 0, 0));
        s.max = int(SendMessageW(h, TBM_GETRANGEMAX, 0, 0));
        s.pos = int(SendMessageW(h, TBM_GETPOS, 0, 0));
    } else if (isClass(h, UPDOWN_CLASSW)) {
        SendMessageW(h, UDM_GETRANGE32, reinterpret_cast<WPARAM>(&s.min), reinterpret_cast<LPARAM>(&s.max));
        s.pos = int(SendMessageW(h, UDM_GETPOS32, 0, 0));
    } else if (isClass(h, WC_TABCONTROLW)) {
        s.count = int(SendMessageW(h, TCM_GETITEMCOUNT, 0, 0));
        for (int i = 0; i < s.count; ++i) {
            WCHAR buf[128] = {};
            TCITEMW ti{};
            ti.mask = TCIF_TEXT;
            ti.pszText = buf;
            ti.cchTextMax = 128;
            SendMessageW(h, TCM_GETITEMW, WPARAM(i), reinterpret_cast<LPARAM>(&ti));
            s.rows.emplace_back(buf);
        }
        s.selection = int(SendMessageW(h, TCM_GETCURSEL, 0, 0));
    } else if (isClass(h, WC_TREEVIEWW)) {
        s.count = int(SendMessageW(h, TVM_GETCOUNT, 0, 0));
        if (auto sel = reinterpret_cast<HTREEITEM>(SendMessageW(h, TVM_GETNEXTITEM, TVGN_CARET, 0))) {
            WCHAR buf[128] = {};
            TVITEMW it{};
            it.mask = TVIF_TEXT;
            it.hItem = sel;
            it.pszText = buf;
            it.cchTextMax = 128;
            SendMessageW(h, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(&it));
            s.rows.emplace_back(buf);
        }
    }
    return s;
}

void UiSheet::selectTab(int index)
{
    HWND tab = reinterpret_cast<HWND>(SendMessageW(window_, PSM_GETTABCONTROL, 0, 0));
    if (tab)
        SendMessageW(tab, PLAT_CM_CHOOSE, WPARAM(index), 0);
    pump();
}

UiWindow UiSheet::page() const { return UiWindow(plat::propsheet_current_page(window_)); }

int UiSheet::pageIndex() const { return plat::propsheet_current_index(window_); }

namespace {
void press(HWND frame, int id)
{
    HWND b = GetDlgItem(frame, id);
    if (b && IsWindowVisible(b) && IsWindowEnabled(b))
        SendMessageW(b, BM_CLICK, 0, 0);
    pump();
}
} // namespace

void UiSheet::ok() { press(window_, IDOK); }
void UiSheet::apply() { press(window_, IDC_PS_APPLYNOW); }
void UiSheet::cancel() { press(window_, IDCANCEL); }
void UiSheet::help() { press(window_, IDHELP); }
void UiSheet::next() { press(window_, IDC_PS_NEXT); }
void UiSheet::back() { press(window_, IDC_PS_BACK); }
void UiSheet::finish() { press(window_, IDC_PS_FINISH); }

void UiSheet::escape()
{
    if (HWND page = plat::propsheet_current_page(window_))
        SendMessageW(page, WM_COMMAND, MAKEWPARAM(IDCANCEL, 0), 0);
    pump();
}

void expectDialog(WORD templateId, std::function<void(UiWindow &)> script)
{
    plat::modal_expect(
        plat::ModalKind::Dialog,
        [templateId](const plat::ModalInfo &i) { return templateId == 0 || i.templateId == templateId; },
        [script = std::move(script)](plat::ModalRun &run) {
            UiWindow w(run.info.window);
            script(w);
        });
}

void expectSheet(std::function<void(UiSheet &)> script)
{
    plat::modal_expect(plat::ModalKind::Sheet, nullptr, [script = std::move(script)](plat::ModalRun &run) {
        UiSheet s(run.info.window);
        script(s);
    });
}

} // namespace plat_test
