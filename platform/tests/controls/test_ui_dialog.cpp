/*
 * The test dialog with one control of every class, made from a template in
 * a resource module: creation order (WM_MEASUREITEM before WM_INITDIALOG),
 * every simulated action with the notifications it must send (a table of
 * cases), messages that must send nothing, every query, the modal result,
 * and the dialog rendered to a PNG file whose size and known pixels are
 * checked.
 */
#include "test_ui_module.h"

#include <plat/error.h>

#include <plat/clock.h>
#include <plat/controls.h>
#include <plat/raster.h>

#include <plat_test/ui_driver.h>
#include <plat_test/ui_machine.h>

#include <gtest/gtest.h>
#include <png.h>

#include <cstdio>
#include <filesystem>
#include <functional>
#include <string>
#include <vector>

namespace {

using plat_test::UiWindow;

constexpr WORD kDialog = 700;
enum : WORD {
    kPush = 100, kCheck = 101, kRadioA = 102, kRadioB = 103, kGroup = 104,
    kLabel = 110, kIcon = 111,
    kEdit = 120, kNumber = 121, kReadOnly = 122,
    kOwnerList = 130, kSortedList = 131,
    kOwnerCombo = 140, kEditCombo = 141,
    kScroll = 150, kTrack = 151, kBuddy = 152, kSpin = 153,
    kTabs = 160, kTree = 161,
};
constexpr COLORREF kRowColour = RGB(200, 30, 40);
constexpr WORD kIconResource = 300;
constexpr long kIconBody = 0x4060A0; /* the printer's body in the icon, 0x00RRGGBB */

/* Icon 300: a printer (a blue-grey body, a white sheet coming out of its top) on a transparent background. */
std::vector<BYTE> printerIcon()
{
    return iconResource(32, 32, [](int x, int y) -> long {
        if (x >= 9 && x < 23 && y >= 3 && y < 13)
            return (x == 9 || x == 22 || y == 3) ? 0x000000 : 0xFFFFFF;
        if (x >= 3 && x < 29 && y >= 13 && y < 27)
            return (x == 3 || x == 28 || y == 13 || y == 26) ? 0x000000 : (x > 23 && y == 16 ? 0x00C000 : kIconBody);
        return -1;
    });
}

plat::DialogTemplate everyControl()
{
    plat::DialogTemplate t;
    t.style = WS_POPUP | WS_CAPTION | DS_SETFONT;
    t.cx = 330;
    t.cy = 200;
    t.fontPoints = 8;
    t.fontFace = u"MS Shell Dlg";
    t.caption = u"Every control";
    auto add = [&](WORD id, const char16_t *cls, DWORD style, short x, short y, short cx, short cy,
                   const char16_t *text = u"", DWORD ex = 0) {
        t.items.push_back({id, cls, style | WS_VISIBLE, ex, x, y, cx, cy, text});
    };
    add(kPush, u"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 7, 7, 50, 14, u"&Push");
    add(kCheck, u"BUTTON", BS_AUTOCHECKBOX | WS_TABSTOP, 7, 25, 60, 10, u"Check");
    add(kRadioA, u"BUTTON", BS_AUTORADIOBUTTON | WS_GROUP | WS_TABSTOP, 7, 39, 60, 10, u"Radio A");
    add(kRadioB, u"BUTTON", BS_AUTORADIOBUTTON, 7, 53, 60, 10, u"Radio B");
    add(kGroup, u"BUTTON", BS_GROUPBOX | WS_GROUP, 72, 4, 70, 62, u"Group");
    add(kLabel, u"STATIC", SS_LEFT, 78, 16, 60, 10, u"Label text");
    add(kIcon, u"STATIC", SS_ICON | SS_NOTIFY | SS_CENTERIMAGE, 78, 30, 30, 30, u"#300");
    add(kEdit, u"EDIT", ES_AUTOHSCROLL | WS_BORDER | WS_TABSTOP, 150, 7, 70, 12);
    add(kNumber, u"EDIT", ES_NUMBER | WS_BORDER | WS_TABSTOP, 150, 23, 70, 12);
    add(kReadOnly, u"EDIT", ES_READONLY | WS_BORDER, 150, 39, 70, 12, u"fixed");
    add(kOwnerList, u"LISTBOX",
        LBS_NOTIFY | LBS_HASSTRINGS | LBS_OWNERDRAWFIXED | LBS_WANTKEYBOARDINPUT | WS_BORDER | WS_TABSTOP, 7, 70, 70,
        50);
    add(kSortedList, u"LISTBOX", LBS_NOTIFY | LBS_SORT | WS_BORDER | WS_TABSTOP, 82, 70, 60, 50);
    add(kOwnerCombo, u"COMBOBOX", CBS_DROPDOWNLIST | CBS_OWNERDRAWFIXED | CBS_HASSTRINGS | WS_TABSTOP, 150, 55, 80,
        60);
    add(kEditCombo, u"COMBOBOX", CBS_DROPDOWN | WS_TABSTOP, 150, 75, 80, 60);
    add(kScroll, u"SCROLLBAR", SBS_HORZ, 150, 95, 80, 10);
    add(kTrack, u"msctls_trackbar32", TBS_AUTOTICKS | WS_TABSTOP, 150, 110, 80, 20);
    add(kBuddy, u"EDIT", WS_BORDER | WS_TABSTOP, 150, 134, 40, 12, u"5");
    add(kSpin, u"msctls_updown32", UDS_SETBUDDYINT | UDS_AUTOBUDDY | UDS_ARROWKEYS, 190, 134, 10, 12);
    add(kTabs, u"SysTabControl32", WS_TABSTOP, 240, 7, 85, 40);
    add(kTree, u"SysTreeView32", WS_BORDER | WS_TABSTOP, 240, 52, 85, 80);
    add(IDOK, u"BUTTON", BS_DEFPUSHBUTTON | WS_TABSTOP, 220, 180, 50, 14, u"OK");
    add(IDCANCEL, u"BUTTON", BS_PUSHBUTTON | WS_TABSTOP, 275, 180, 50, 14, u"Cancel");
    return t;
}

/* What the dialog procedure saw, one line per notification. */
std::vector<std::string> g_seen;
bool g_recording = true;
LRESULT g_vkeyAnswer = -1;
HWND g_tooltip = nullptr;
HTREEITEM g_treeItems[3];

std::string hexCode(UINT code)
{
    char buf[16];
    std::snprintf(buf, sizeof buf, "%d", int(code));
    return buf;
}

void record(const std::string &line)
{
    if (g_recording)
        g_seen.push_back(line);
}

void fillControls(HWND d)
{
    for (const char16_t *s : {u"Tray 1", u"Tray 2", u"Tray 3"})
        SendDlgItemMessageW(d, kOwnerList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    for (const char16_t *s : {u"pear", u"apple", u"fig"})
        SendDlgItemMessageW(d, kSortedList, LB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    for (const char16_t *s : {u"Letter", u"A4", u"Legal"})
        SendDlgItemMessageW(d, kOwnerCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    SendDlgItemMessageW(d, kOwnerCombo, CB_SETITEMDATA, 1, 9);
    SendDlgItemMessageW(d, kOwnerCombo, CB_SETCURSEL, 0, 0);
    for (const char16_t *s : {u"one", u"two"})
        SendDlgItemMessageW(d, kEditCombo, CB_ADDSTRING, 0, reinterpret_cast<LPARAM>(s));
    SendDlgItemMessageW(d, kScroll, SBM_SETRANGE, 0, 50);
    SendDlgItemMessageW(d, kTrack, TBM_SETRANGE, TRUE, MAKELPARAM(0, 100));
    SendDlgItemMessageW(d, kSpin, UDM_SETRANGE32, 0, 10);
    SendDlgItemMessageW(d, kSpin, UDM_SETPOS32, 0, 5);
    for (const char16_t *s : {u"General", u"Paper"}) {
        TCITEMW ti{};
        ti.mask = TCIF_TEXT;
        ti.pszText = const_cast<LPWSTR>(s);
        SendDlgItemMessageW(d, kTabs, TCM_INSERTITEMW, 9, reinterpret_cast<LPARAM>(&ti));
    }
    TVINSERTSTRUCTW is{};
    is.hParent = TVI_ROOT;
    is.hInsertAfter = TVI_LAST;
    is.item.mask = TVIF_TEXT | TVIF_PARAM;
    is.item.pszText = const_cast<LPWSTR>(u"Settings");
    g_treeItems[0] = reinterpret_cast<HTREEITEM>(SendDlgItemMessageW(d, kTree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&is)));
    is.hParent = g_treeItems[0];
    is.item.pszText = const_cast<LPWSTR>(u"Paper");
    g_treeItems[1] = reinterpret_cast<HTREEITEM>(SendDlgItemMessageW(d, kTree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&is)));
    is.item.pszText = const_cast<LPWSTR>(u"Colour");
    g_treeItems[2] = reinterpret_cast<HTREEITEM>(SendDlgItemMessageW(d, kTree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&is)));
    SendDlgItemMessageW(d, kTree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(g_treeItems[0]));
    /* A tooltip owned by the dialog, with a tool over the label. */
    g_tooltip = CreateWindowExW(0, TOOLTIPS_CLASSW, nullptr, WS_POPUP, 0, 0, 0, 0, d, nullptr, nullptr, nullptr);
    TTTOOLINFOW ti{};
    ti.cbSize = sizeof ti;
    ti.hwnd = d;
    ti.uId = 1;
    GetWindowRect(GetDlgItem(d, kLabel), &ti.rect);
    MapWindowPoints(nullptr, d, reinterpret_cast<POINT *>(&ti.rect), 2);
    ti.lpszText = const_cast<LPWSTR>(u"The label's tip");
    SendMessageW(g_tooltip, TTM_ADDTOOLW, 0, reinterpret_cast<LPARAM>(&ti));
}

INT_PTR everyProc(HWND d, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_MEASUREITEM: {
        auto *mis = reinterpret_cast<MEASUREITEMSTRUCT *>(lp);
        record("measure " + std::to_string(mis->CtlID) + " " + std::to_string(int(mis->itemID)));
        mis->itemHeight = 15;
        return TRUE;
    }
    case WM_INITDIALOG:
        record("init");
        fillControls(d);
        return TRUE;
    case WM_DRAWITEM: {
        auto *dis = reinterpret_cast<DRAWITEMSTRUCT *>(lp);
        HBRUSH b = CreateSolidBrush((dis->itemState & ODS_SELECTED) ? kRowColour : RGB(255, 255, 255));
        FillRect(dis->hDC, &dis->rcItem, b);
        DeleteObject(b);
        WCHAR text[64] = {};
        if (dis->CtlType == ODT_LISTBOX)
            SendMessageW(dis->hwndItem, LB_GETTEXT, dis->itemID, reinterpret_cast<LPARAM>(text));
        else if (int(dis->itemID) >= 0)
            SendMessageW(dis->hwndItem, CB_GETLBTEXT, dis->itemID, reinterpret_cast<LPARAM>(text));
        SetBkMode(dis->hDC, TRANSPARENT);
        RECT r = dis->rcItem;
        r.left += 3;
        DrawTextW(dis->hDC, text, -1, &r, DT_SINGLELINE | DT_VCENTER);
        return TRUE;
    }
    case WM_COMMAND:
        record("command " + std::to_string(LOWORD(wp)) + " " + std::to_string(HIWORD(wp)));
        if (LOWORD(wp) == IDOK || LOWORD(wp) == IDCANCEL) {
            EndDialog(d, LOWORD(wp) == IDOK ? 11 : 22);
            return TRUE;
        }
        return FALSE;
    case WM_NOTIFY: {
        const auto *hdr = reinterpret_cast<const NMHDR *>(lp);
        std::string line = "notify " + std::to_string(hdr->idFrom) + " " + hexCode(hdr->code);
        if (hdr->code == UDN_DELTAPOS) {
            const auto *ud = reinterpret_cast<const NMUPDOWN *>(lp);
            line += " " + std::to_string(ud->iPos) + "+" + std::to_string(ud->iDelta);
        }
        if (hdr->code == TVN_SELCHANGEDW)
            line += " action " + std::to_string(reinterpret_cast<const NMTREEVIEWW *>(lp)->action);
        record(line);
        return FALSE;
    }
    case WM_HSCROLL:
    case WM_VSCROLL:
        record(std::string(msg == WM_HSCROLL ? "hscroll " : "vscroll ") +
               std::to_string(GetDlgCtrlID(reinterpret_cast<HWND>(lp))) + " " + std::to_string(LOWORD(wp)) + " " +
               std::to_string(short(HIWORD(wp))));
        return TRUE;
    case WM_VKEYTOITEM:
        record("vkeytoitem " + std::to_string(LOWORD(wp)) + " " + std::to_string(HIWORD(wp)));
        return g_vkeyAnswer;
    case WM_HELP:
        record("help " + std::to_string(reinterpret_cast<const HELPINFO *>(lp)->iCtrlId));
        return TRUE;
    case WM_SETCURSOR:
        record("setcursor " + std::to_string(GetDlgCtrlID(reinterpret_cast<HWND>(wp))));
        return TRUE;
    default:
        return FALSE;
    }
}

class UiDialog : public plat_test::UiMachineTest {
protected:
    void SetUp() override
    {
        UiMachineTest::SetUp();
        bytes_ = dialogContainer({{kDialog, everyControl()}}, {{3, kIconResource, printerIcon()}});
        module = plat::rsrc_open_bytes(bytes_);
        ASSERT_NE(module, nullptr);
        g_seen.clear();
        g_recording = true;
        g_vkeyAnswer = -1;
    }
    void TearDown() override
    {
        plat::rsrc_close(module);
        UiMachineTest::TearDown();
    }

    HWND open()
    {
        HWND d = CreateDialogParamW(module, MAKEINTRESOURCEW(kDialog), nullptr, everyProc, 0);
        EXPECT_NE(d, nullptr);
        ShowWindow(d, SW_SHOW);
        return d;
    }

    HMODULE module = nullptr;

private:
    std::vector<BYTE> bytes_;
};

TEST_F(UiDialog, ControlsAreMadeInTemplateOrderAndMeasuredBeforeInit)
{
    HWND d = open();
    /* The up-down's position set in WM_INITDIALOG shows in its buddy, whose EN_CHANGE follows. */
    EXPECT_EQ(g_seen, (std::vector<std::string>{"measure 130 0", "measure 140 -1", "measure 140 0", "init",
                                                "command 152 1024", "command 152 768"}));
    UiWindow w(d);
    EXPECT_EQ(w.state(kOwnerList).className, u"ListBox");
    EXPECT_EQ(SendDlgItemMessageW(d, kOwnerList, LB_GETITEMHEIGHT, 0, 0), 15);
    EXPECT_EQ(SendDlgItemMessageW(d, kOwnerCombo, CB_GETITEMHEIGHT, WPARAM(-1), 0), 15);
    HWND edit = GetDlgItem(GetDlgItem(d, kEditCombo), COMBO_EDIT_ID);
    ASSERT_NE(edit, nullptr) << "an editable combo box has its edit control 1001";
    EXPECT_EQ(w.state(kEditCombo).className, u"ComboBox");
    EXPECT_EQ(GetFocus(), GetDlgItem(d, kPush)) << "WM_INITDIALOG answered TRUE: the first tab stop";
    EXPECT_EQ(GetParent(g_tooltip), d) << "the tooltip is owned by the dialog";
    DestroyWindow(d);
    EXPECT_FALSE(IsWindow(g_tooltip)) << "owned windows go with their owner";
}

struct ActionCase {
    const char *name;
    std::function<void(UiWindow &)> action;
    std::vector<std::string> expected;
};

TEST_F(UiDialog, EveryActionSendsWhatWindowsSends)
{
    const std::vector<ActionCase> cases = {
        {"click check box", [](UiWindow &w) { w.click(kCheck); }, {"command 101 0"}},
        {"click radio B", [](UiWindow &w) { w.click(kRadioB); }, {"command 103 0"}},
        {"click push button", [](UiWindow &w) { w.click(kPush); }, {"command 100 0"}},
        {"click group box", [](UiWindow &w) { w.click(kGroup); }, {}},
        {"type into an edit", [](UiWindow &w) { w.type(kEdit, u"abc"); },
         {"command 120 256", "command 120 1024", "command 120 768"}},
        {"type per character", [](UiWindow &w) { w.type(kEdit, u"xy", true); },
         {"command 120 256", "command 120 1024", "command 120 768", "command 120 1024", "command 120 768"}},
        {"type into a number edit", [](UiWindow &w) { w.type(kNumber, u"1a", true); },
         {"command 121 256", "command 121 1024", "command 121 768"}},
        {"type into a read-only edit", [](UiWindow &w) { w.type(kReadOnly, u"no"); }, {"command 122 256"}},
        {"focus moves from an edit", [](UiWindow &w) { w.focus(kEdit); w.focus(kNumber); },
         {"command 120 256", "command 120 512", "command 121 256"}},
        {"tab moves the focus", [](UiWindow &w) { w.focus(kEdit); w.tab(); },
         {"command 120 256", "command 120 512", "command 121 256"}},
        {"select a list row", [](UiWindow &w) { w.selectRow(kSortedList, 1); }, {"command 131 4", "command 131 1"}},
        {"double-click a list row", [](UiWindow &w) { w.doubleClickRow(kSortedList, 2); },
         {"command 131 4", "command 131 1", "command 131 2"}},
        {"key with default handling", [](UiWindow &w) { w.key(kOwnerList, VK_DOWN); },
         {"command 130 4", "vkeytoitem 40 0", "command 130 1"}},
        {"drop down and choose", [](UiWindow &w) { w.dropDownAndChoose(kOwnerCombo, 2); },
         {"command 140 3", "command 140 7", "command 140 1", "command 140 9", "command 140 8"}},
        {"drop down and cancel", [](UiWindow &w) { w.dropDownAndCancel(kOwnerCombo); },
         {"command 140 3", "command 140 7", "command 140 10", "command 140 8"}},
        {"type into an editable combo", [](UiWindow &w) { w.type(kEditCombo, u"zz"); },
         {"command 141 3", "command 141 6", "command 141 5"}},
        {"drag the trackbar", [](UiWindow &w) { w.dragSlider(kTrack, 140); },
         {"hscroll 151 5 100", "hscroll 151 4 100", "hscroll 151 8 0"}},
        {"drag the scroll bar", [](UiWindow &w) { w.dragSlider(kScroll, 20); },
         {"hscroll 150 5 20", "hscroll 150 4 20", "hscroll 150 8 0"}},
        {"spin up twice", [](UiWindow &w) { w.spin(kSpin, 2); },
         {"notify 153 -722 5+1", "command 152 1024", "command 152 768", "vscroll 153 4 6", "vscroll 153 8 6",
          "notify 153 -722 6+1", "command 152 1024", "command 152 768", "vscroll 153 4 7", "vscroll 153 8 7"}},
        {"choose a tab", [](UiWindow &w) { w.chooseTab(kTabs, 1); }, {"notify 160 -552", "notify 160 -551"}},
        {"choose a tree item", [](UiWindow &w) { w.chooseTreeItem(kTree, g_treeItems[1]); },
         {"notify 161 -450", "notify 161 -451 action 1"}},
        {"help on a control", [](UiWindow &w) { w.helpOn(kEdit); }, {"help 120"}},
        {"click a picture", [](UiWindow &w) { w.clickPicture(kIcon); }, {"setcursor 111", "command 111 0"}},
    };
    for (const ActionCase &c : cases) {
        HWND d = open();
        UiWindow w(d);
        g_seen.clear();
        c.action(w);
        EXPECT_EQ(g_seen, c.expected) << c.name;
        DestroyWindow(d);
    }
}

TEST_F(UiDialog, MessagesThatSendNothing)
{
    HWND d = open();
    g_seen.clear();
    CheckDlgButton(d, kCheck, BST_CHECKED);
    SendDlgItemMessageW(d, kSortedList, LB_SETCURSEL, 2, 0);
    SendDlgItemMessageW(d, kOwnerCombo, CB_SETCURSEL, 1, 0);
    SendDlgItemMessageW(d, kEditCombo, CB_SETCURSEL, 1, 0);
    SendDlgItemMessageW(d, kTrack, TBM_SETPOS, TRUE, 30);
    SendDlgItemMessageW(d, kScroll, SBM_SETPOS, 10, TRUE);
    SendDlgItemMessageW(d, kTabs, TCM_SETCURSEL, 1, 0);
    EXPECT_TRUE(g_seen.empty()) << g_seen.front();
    /* WM_SETTEXT on an edit control does notify. */
    SetDlgItemTextW(d, kEdit, u"new");
    EXPECT_EQ(g_seen, (std::vector<std::string>{"command 120 1024", "command 120 768"}));
    DestroyWindow(d);
}

TEST_F(UiDialog, KeyboardInputGoesToTheParentFirst)
{
    struct Case {
        LRESULT answer;
        int selectionAfter;
        bool selChange;
    } cases[] = {{-2, 0, false}, {-1, 1, true}, {2, 2, true}};
    for (const Case &c : cases) {
        HWND d = open();
        UiWindow w(d);
        SendDlgItemMessageW(d, kOwnerList, LB_SETCURSEL, 0, 0);
        w.focus(kOwnerList);
        g_seen.clear();
        g_vkeyAnswer = c.answer;
        w.key(kOwnerList, VK_DOWN);
        EXPECT_EQ(w.state(kOwnerList).selection, c.selectionAfter) << c.answer;
        EXPECT_EQ(std::count(g_seen.begin(), g_seen.end(), "command 130 1"), c.selChange ? 1 : 0) << c.answer;
        DestroyWindow(d);
    }
}

/* ShowScrollBar hides and shows a scroll-bar control, or sets a window's scroll styles; the tree's top row is its first root. */
TEST_F(UiDialog, ScrollBarsShowAndTheTreeNamesItsTopRow)
{
    HWND d = open();
    HWND bar = GetDlgItem(d, kScroll), edit = GetDlgItem(d, kEdit);
    EXPECT_TRUE(ShowScrollBar(bar, SB_CTL, FALSE));
    EXPECT_FALSE(IsWindowVisible(bar));
    EXPECT_TRUE(ShowScrollBar(bar, SB_CTL, TRUE));
    EXPECT_TRUE(IsWindowVisible(bar));
    EXPECT_TRUE(ShowScrollBar(edit, SB_BOTH, TRUE));
    EXPECT_EQ(GetWindowLongPtrW(edit, GWL_STYLE) & (WS_HSCROLL | WS_VSCROLL), LONG_PTR(WS_HSCROLL | WS_VSCROLL));
    EXPECT_TRUE(ShowScrollBar(edit, SB_HORZ, FALSE));
    EXPECT_EQ(GetWindowLongPtrW(edit, GWL_STYLE) & (WS_HSCROLL | WS_VSCROLL), LONG_PTR(WS_VSCROLL));
    SetLastError(0);
    EXPECT_FALSE(ShowScrollBar(edit, 7, TRUE));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_EQ(SendDlgItemMessageW(d, kTree, TVM_GETNEXTITEM, TVGN_FIRSTVISIBLE, 0),
              SendDlgItemMessageW(d, kTree, TVM_GETNEXTITEM, TVGN_ROOT, 0));
    EXPECT_NE(SendDlgItemMessageW(d, kTree, TVM_GETNEXTITEM, TVGN_FIRSTVISIBLE, 0), 0);
    DestroyWindow(d);
}

TEST_F(UiDialog, QueriesAnswerEveryControlsState)
{
    HWND d = open();
    UiWindow w(d);
    w.click(kCheck);
    w.click(kRadioB);
    w.type(kEdit, u"hello");
    w.type(kNumber, u"4x2", true);
    w.selectRow(kSortedList, u"fig");
    w.dropDownAndChoose(kOwnerCombo, 1);
    w.dragSlider(kTrack, 33);
    w.spin(kSpin, -3);
    w.chooseTab(kTabs, 1);
    w.chooseTreeItem(kTree, g_treeItems[2]);
    EnableWindow(GetDlgItem(d, kPush), FALSE);
    ShowWindow(GetDlgItem(d, kGroup), SW_HIDE);

    EXPECT_EQ(w.state(kCheck).checked, int(BST_CHECKED));
    EXPECT_EQ(w.state(kRadioA).checked, int(BST_UNCHECKED));
    EXPECT_EQ(w.state(kRadioB).checked, int(BST_CHECKED));
    EXPECT_FALSE(w.state(kPush).enabled);
    EXPECT_FALSE(w.state(kGroup).visible);
    EXPECT_EQ(w.state(kLabel).text, u"Label text");
    EXPECT_EQ(w.state(kEdit).text, u"hello");
    EXPECT_EQ(w.state(kNumber).text, u"42");
    EXPECT_TRUE(w.state(kReadOnly).readOnly);
    EXPECT_EQ(w.state(kReadOnly).text, u"fixed");
    const auto list = w.state(kSortedList);
    EXPECT_EQ(list.rows, (std::vector<std::u16string>{u"apple", u"fig", u"pear"})) << "sorted";
    EXPECT_EQ(list.selection, 1);
    const auto combo = w.state(kOwnerCombo);
    EXPECT_EQ(combo.selection, 1);
    EXPECT_EQ(combo.data[1], 9u);
    EXPECT_FALSE(combo.dropped);
    EXPECT_EQ(combo.text, u"A4");
    EXPECT_EQ(w.state(kTrack).pos, 33);
    EXPECT_EQ(w.state(kTrack).max, 100);
    EXPECT_EQ(w.state(kSpin).pos, 2);
    EXPECT_EQ(w.state(kBuddy).text, u"2");
    EXPECT_EQ(w.state(kScroll).max, 50);
    EXPECT_EQ(w.state(kTabs).rows, (std::vector<std::u16string>{u"General", u"Paper"}));
    EXPECT_EQ(w.state(kTabs).selection, 1);
    EXPECT_EQ(w.state(kTree).count, 3);
    EXPECT_EQ(w.state(kTree).rows, (std::vector<std::u16string>{u"Colour"}));
    RECT label;
    GetWindowRect(GetDlgItem(d, kLabel), &label);
    POINT inside{label.left + 2, label.top + 2};
    ScreenToClient(d, &inside);
    EXPECT_EQ(w.hover(inside), u"The label's tip");
    EXPECT_EQ(w.hover(POINT{1, 1}), u"");
    EXPECT_EQ(SendMessageW(g_tooltip, TTM_GETTOOLCOUNT, 0, 0), 1);
    DestroyWindow(d);
}

TEST_F(UiDialog, UpDownClampsWrapsAndRunsDownwards)
{
    HWND d = open();
    UiWindow w(d);
    w.spin(kSpin, 9);
    EXPECT_EQ(w.state(kSpin).pos, 10) << "held at the top";
    SendDlgItemMessageW(d, kSpin, UDM_SETRANGE, 0, MAKELPARAM(0, 100)); /* upper 0, lower 100 */
    SendDlgItemMessageW(d, kSpin, UDM_SETPOS32, 0, 50);
    w.spin(kSpin, 1);
    EXPECT_EQ(w.state(kSpin).pos, 49) << "up moves towards the upper end, which is 0";
    DestroyWindow(d);
}

TEST_F(UiDialog, ModalRunEndsWithTheDialogsResult)
{
    plat_test::expectDialog(kDialog, [](UiWindow &w) {
        w.type(kEdit, u"42");
        w.click(IDOK);
    });
    EXPECT_EQ(DialogBoxParamW(module, MAKEINTRESOURCEW(kDialog), nullptr, everyProc, 0), 11);
    plat_test::expectDialog(kDialog, [](UiWindow &w) { w.click(IDCANCEL); });
    EXPECT_EQ(DialogBoxParamW(module, MAKEINTRESOURCEW(kDialog), nullptr, everyProc, 0), 22);
}

/* Reads a PNG back: its size and pixels as RGB. */
bool readPng(const std::string &path, int &cx, int &cy, std::vector<BYTE> &rgb)
{
    png_image image{};
    image.version = PNG_IMAGE_VERSION;
    if (!png_image_begin_read_from_file(&image, path.c_str()))
        return false;
    image.format = PNG_FORMAT_RGB;
    rgb.assign(PNG_IMAGE_SIZE(image), 0);
    cx = int(image.width);
    cy = int(image.height);
    return png_image_finish_read(&image, nullptr, rgb.data(), 0, nullptr) != 0;
}

TEST_F(UiDialog, RenderedToAPngThatShowsEveryControl)
{
    HWND d = open();
    UiWindow w(d);
    w.click(kCheck);
    w.selectRow(kOwnerList, 1);
    SetDlgItemTextW(d, kEdit, u"Some text");
    const std::filesystem::path dir = std::filesystem::current_path() / "test-artefacts";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "every_control_dialog.png").string();
    plat::draw_log_enable(true);
    ASSERT_TRUE(plat_test::renderPng(d, path));
    int cx = 0, cy = 0;
    std::vector<BYTE> rgb;
    ASSERT_TRUE(readPng(path, cx, cy, rgb));
    RECT client;
    GetClientRect(d, &client);
    EXPECT_EQ(cx, client.right);
    EXPECT_EQ(cy, client.bottom);
    EXPECT_EQ(cx, 495);
    EXPECT_EQ(cy, 325);
    auto pixel = [&](int x, int y) {
        const size_t at = (size_t(y) * size_t(cx) + size_t(x)) * 3;
        return RGB(rgb[at], rgb[at + 1], rgb[at + 2]);
    };
    auto rectOf = [&](int id) {
        RECT r;
        GetWindowRect(GetDlgItem(d, id), &r);
        MapWindowPoints(nullptr, d, reinterpret_cast<POINT *>(&r), 2);
        return r;
    };
    /* The dialog's face, a push button's face, an edit's white field, the owner-drawn selected row. */
    EXPECT_EQ(pixel(2, 2), GetSysColor(COLOR_BTNFACE));
    const RECT push = rectOf(kPush);
    EXPECT_EQ(pixel(push.left + 4, push.top + 4), GetSysColor(COLOR_BTNFACE));
    const RECT edit = rectOf(kEdit);
    EXPECT_EQ(pixel(edit.right - 4, edit.top + 4), GetSysColor(COLOR_WINDOW));
    const RECT list = rectOf(kOwnerList);
    EXPECT_EQ(pixel(list.right - 6, list.top + 2 + 15 + 3), kRowColour) << "row 1 drawn by the owner, selected";
    EXPECT_EQ(pixel(list.right - 6, list.top + 2 + 3), RGB(255, 255, 255)) << "row 0 not selected";
    /* The icon control shows icon 300 of its template's text: its body in the middle, the face around it. */
    const RECT icon = rectOf(kIcon);
    const int ix = (icon.left + icon.right) / 2, iy = (icon.top + icon.bottom) / 2;
    EXPECT_EQ(pixel(ix, iy + 4), RGB(0x40, 0x60, 0xA0));
    EXPECT_EQ(pixel(ix, iy - 8), RGB(255, 255, 255)) << "the sheet";
    EXPECT_EQ(pixel(icon.left + 1, icon.top + 1), GetSysColor(COLOR_BTNFACE)) << "transparent";
    /* The check mark is drawn in black inside the box. */
    const RECT check = rectOf(kCheck);
    bool dark = false;
    for (int y = check.top; y < check.bottom; ++y)
        for (int x = check.left; x < check.left + 13; ++x)
            dark = dark || pixel(x, y) == RGB(0, 0, 0);
    EXPECT_TRUE(dark);
    /* Every control's text was drawn. */
    std::vector<std::u16string> texts;
    for (const plat::DrawRecord &r : plat::draw_log())
        if (r.op == "Text")
            texts.push_back(r.text);
    for (const char16_t *t : {u"Push", u"Check", u"Radio A", u"Radio B", u"Group", u"Label text", u"Some text",
                              u"fixed", u"Tray 1", u"Tray 2", u"apple", u"Letter", u"5", u"General", u"Paper",
                              u"Settings", u"Colour", u"OK", u"Cancel"})
        EXPECT_NE(std::find(texts.begin(), texts.end(), std::u16string(t)), texts.end())
            << std::string(t, t + std::char_traits<char16_t>::length(t)).c_str();
    plat::draw_log_enable(false);
    DestroyWindow(d);
}

} // namespace
