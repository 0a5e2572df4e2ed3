/*
 * Tests of the window core: creation and destruction with children and
 * owned windows, handles that stay dead, the dialog words and extra bytes,
 * the window's own words, parents, owners and ancestors, and the reset.
 */
#include <plat/error.h>
#include <plat/machine.h>
#include <plat/window.h>

#include "test_text_machine.h"

#include <gtest/gtest.h>

namespace {

class Window : public TextMachine {};

HINSTANCE instanceOf(uintptr_t v) { return reinterpret_cast<HINSTANCE>(v); }

HWND make(HWND parent, DWORD style, bool dialog = false, int extra = 0, HINSTANCE instance = nullptr)
{
    plat::WindowSpec s;
    s.parent = parent;
    s.style = style;
    s.dialog = dialog;
    s.extraBytes = extra;
    s.instance = instance;
    return plat::window_create(s);
}

TEST_F(Window, DestroyTakesChildrenAndOwnedWindowsAndHandlesStayDead)
{
    HWND sheet = make(nullptr, WS_POPUP, true, 0, instanceOf(0x1000));
    HWND page = make(sheet, WS_CHILD, true);
    HWND button = make(page, WS_CHILD);
    HWND owned = make(page, WS_POPUP); /* owned by the page's root, the sheet */
    HWND other = make(nullptr, WS_OVERLAPPED);
    ASSERT_TRUE(sheet && page && button && owned && other);
    EXPECT_EQ(plat::window_count(), 5u);
    EXPECT_EQ(GetParent(owned), sheet);

    ASSERT_TRUE(DestroyWindow(sheet));
    for (HWND h : {sheet, page, button, owned})
        EXPECT_FALSE(IsWindow(h));
    EXPECT_TRUE(IsWindow(other));
    EXPECT_EQ(plat::window_count(), 1u);

    SetLastError(0);
    EXPECT_FALSE(DestroyWindow(sheet));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
    HWND again = make(nullptr, WS_POPUP);
    EXPECT_NE(again, sheet) << "handles are never reused";
    EXPECT_FALSE(IsWindow(nullptr));
    EXPECT_TRUE(IsWindow(GetDesktopWindow()));
    EXPECT_FALSE(DestroyWindow(GetDesktopWindow()));
}

TEST_F(Window, DialogWordsAndExtraBytesAreBounded)
{
    HWND dialog = make(nullptr, WS_POPUP, true, 8);
    ASSERT_NE(dialog, nullptr);
    int x = 7;
    EXPECT_EQ(SetWindowLongPtrW(dialog, DWLP_USER, reinterpret_cast<LONG_PTR>(&x)), 0);
    EXPECT_EQ(GetWindowLongPtrW(dialog, DWLP_USER), reinterpret_cast<LONG_PTR>(&x));
    EXPECT_EQ(SetWindowLongPtrW(dialog, DWLP_USER, 5), reinterpret_cast<LONG_PTR>(&x)) << "previous value";
    EXPECT_EQ(GetWindowLongPtrW(dialog, DLGWINDOWEXTRA), 0) << "class bytes behind the dialog words";
    EXPECT_EQ(SetWindowLongPtrW(dialog, DLGWINDOWEXTRA, 9), 0);
    EXPECT_EQ(GetWindowLongPtrW(dialog, DLGWINDOWEXTRA), 9);
    EXPECT_EQ(GetWindowLongPtrW(dialog, DWLP_USER), 5);

    SetLastError(0);
    EXPECT_EQ(GetWindowLongPtrW(dialog, DLGWINDOWEXTRA + 1), 0) << "a word past the end";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_INDEX));

    HWND plain = make(nullptr, WS_POPUP);
    SetLastError(0);
    EXPECT_EQ(GetWindowLongPtrW(plain, DWLP_USER), 0) << "not a dialog: no dialog words";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_INDEX));
    SetLastError(0);
    EXPECT_EQ(SetWindowLongPtrW(plain, DWLP_USER, 1), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_INDEX));
    EXPECT_EQ(GetWindowLongPtrW(plain, GWLP_WNDPROC), 0) << "a window made without a class has no procedure";

    plat::WindowSpec tooBig;
    tooBig.extraBytes = 4096;
    SetLastError(0);
    EXPECT_EQ(plat::window_create(tooBig), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(Window, OwnWordsKeepWhatWasSet)
{
    plat::WindowSpec s;
    s.instance = instanceOf(0x4000);
    s.id = 1001;
    s.style = WS_POPUP | WS_VISIBLE;
    s.exStyle = 0x8;
    HWND w = plat::window_create(s);
    ASSERT_NE(w, nullptr);
    EXPECT_EQ(GetWindowLongPtrW(w, GWLP_HINSTANCE), LONG_PTR(0x4000));
    EXPECT_EQ(GetWindowLongPtrW(w, GWLP_ID), 1001);
    EXPECT_EQ(GetWindowLongPtrW(w, GWL_STYLE), LONG_PTR(WS_POPUP | WS_VISIBLE));
    EXPECT_EQ(GetWindowLongPtrW(w, GWL_EXSTYLE), 8);
    EXPECT_EQ(SetWindowLongPtrW(w, GWLP_USERDATA, 77), 0);
    EXPECT_EQ(GetWindowLongPtrW(w, GWLP_USERDATA), 77);
    EXPECT_EQ(SetWindowLongPtrW(w, GWLP_HINSTANCE, 0x5000), LONG_PTR(0x4000));
    EXPECT_EQ(GetWindowLongPtrW(w, GWLP_HINSTANCE), LONG_PTR(0x5000));
    EXPECT_EQ(SetWindowLongPtrW(w, GWL_STYLE, WS_CHILD), LONG_PTR(WS_POPUP | WS_VISIBLE));
    EXPECT_EQ(GetWindowLongPtrW(w, GWL_STYLE), 0) << "WS_CHILD stays as the window was made";

    HWND gone = make(nullptr, WS_POPUP);
    DestroyWindow(gone);
    SetLastError(0);
    EXPECT_EQ(GetWindowLongPtrW(gone, GWLP_HINSTANCE), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_EQ(SetWindowLongPtrW(gone, GWLP_USERDATA, 1), 0);
}

TEST_F(Window, ParentsOwnersAndAncestors)
{
    HWND app = make(nullptr, WS_OVERLAPPED);
    HWND sheet = make(app, WS_POPUP, true); /* owned by the application window */
    HWND page = make(sheet, WS_CHILD, true);
    HWND control = make(page, WS_CHILD);
    ASSERT_TRUE(app && sheet && page && control);

    EXPECT_EQ(GetParent(control), page);
    EXPECT_EQ(GetParent(sheet), app) << "a top-level window's parent is its owner";
    EXPECT_EQ(GetParent(app), nullptr);
    EXPECT_EQ(GetAncestor(control, GA_PARENT), page);
    EXPECT_EQ(GetAncestor(sheet, GA_PARENT), GetDesktopWindow());
    EXPECT_EQ(GetAncestor(control, GA_ROOT), sheet);
    EXPECT_EQ(GetAncestor(sheet, GA_ROOT), sheet);
    EXPECT_EQ(GetAncestor(control, GA_ROOTOWNER), app);
    EXPECT_EQ(GetAncestor(control, 9), nullptr);
    EXPECT_EQ(GetAncestor(GetDesktopWindow(), GA_ROOT), nullptr);
    EXPECT_EQ(GetWindowLongPtrW(control, GWLP_HWNDPARENT), reinterpret_cast<LONG_PTR>(page));
    EXPECT_EQ(GetWindowLongPtrW(sheet, GWLP_HWNDPARENT), reinterpret_cast<LONG_PTR>(app));

    /* A new owner, and an owner chain that would come back to the window. */
    HWND other = make(nullptr, WS_OVERLAPPED);
    EXPECT_EQ(SetWindowLongPtrW(sheet, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(other)),
              reinterpret_cast<LONG_PTR>(app));
    EXPECT_EQ(GetAncestor(control, GA_ROOTOWNER), other);
    SetLastError(0);
    EXPECT_EQ(SetWindowLongPtrW(other, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(control)), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
    EXPECT_EQ(GetParent(other), nullptr);
    SetLastError(0);
    EXPECT_EQ(SetWindowLongPtrW(page, GWLP_HWNDPARENT, reinterpret_cast<LONG_PTR>(app)), 0)
        << "a child's parent cannot be changed here";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));

    SetLastError(0);
    EXPECT_EQ(make(nullptr, WS_CHILD), nullptr) << "a child needs a parent";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_WINDOW_HANDLE));
    DestroyWindow(other);
    EXPECT_EQ(make(other, WS_CHILD), nullptr) << "a destroyed parent";
}

TEST_F(Window, MachineResetDestroysEveryWindow)
{
    HWND w = make(nullptr, WS_POPUP);
    ASSERT_TRUE(IsWindow(w));
    plat::machine_reset(root.string());
    EXPECT_FALSE(IsWindow(w));
    EXPECT_EQ(plat::window_count(), 0u);
}

} // namespace
