/*
 * Stale window handles: windows with properties, user data, extra bytes,
 * text, a timer, a posted message and the focus, destroyed and made again
 * round after round, and a reset between two windows.  A destroyed
 * window's handle is refused and every table keyed by window handles (the
 * timers, the message queue, the focus) forgets it.
 */
#include <plat/error.h>
#include <plat/machine.h>
#include <plat/window.h>

#include <plat_test/stale_handles.h>
#include <plat_test/ui_machine.h>

#include <gtest/gtest.h>

namespace {

using plat_test::run_stale_handle_rounds;
using plat_test::StaleHandleKind;

class StaleWindowHandles : public plat_test::UiMachineTest {};

constexpr char16_t kClass[] = u"StaleHandleWindow";
constexpr UINT kPosted = WM_USER + 7;

int g_postedSeen = 0;

LRESULT staleProc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == kPosted) {
        ++g_postedSeen;
        return 0;
    }
    return DefWindowProcW(h, msg, wp, lp);
}

HWND wnd(uintptr_t v) { return reinterpret_cast<HWND>(v); }

bool invalidWindow() { return GetLastError() == DWORD(ERROR_INVALID_WINDOW_HANDLE); }

TEST_F(StaleWindowHandles, ADestroyedWindowsHandleNeverReachesALaterWindow)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = staleProc;
    wc.lpszClassName = kClass;
    wc.cbWndExtra = int(sizeof(LONG_PTR));
    ASSERT_NE(RegisterClassW(&wc), 0);
    g_postedSeen = 0;
    const StaleHandleKind window{
        /* Side data: a property, user data, extra bytes, text, a timer, a posted message and the focus. */
        "window",
        [](bool dressed) {
            HWND h = CreateWindowExW(0, kClass, dressed ? u"old" : u"", WS_POPUP, 0, 0, 10, 10, nullptr, nullptr,
                                     nullptr, nullptr);
            if (h && dressed) {
                SetPropW(h, u"Stale", reinterpret_cast<HANDLE>(uintptr_t(0x77)));
                SetWindowLongPtrW(h, GWLP_USERDATA, 0x55);
                SetWindowLongPtrW(h, 0, 0x66);
                SetTimer(h, 3, 10, nullptr);
                PostMessageW(h, kPosted, 0, 0);
                SetFocus(h);
            }
            return reinterpret_cast<uintptr_t>(h);
        },
        [](uintptr_t h) { return DestroyWindow(wnd(h)) != FALSE; },
        [](uintptr_t h) {
            WCHAR text[8] = {};
            SetLastError(0);
            const bool words = GetWindowLongPtrW(wnd(h), GWLP_USERDATA) == 0 && invalidWindow();
            SetLastError(0);
            const bool textRefused = GetWindowTextW(wnd(h), text, 8) == 0 && text[0] == 0;
            return !IsWindow(wnd(h)) && words && textRefused && GetPropW(wnd(h), u"Stale") == nullptr &&
                   !SetPropW(wnd(h), u"Stale", nullptr) && !DestroyWindow(wnd(h)) && GetFocus() != wnd(h);
        },
        [](uintptr_t h) {
            WCHAR text[8] = {1};
            plat::window_pump();
            return GetPropW(wnd(h), u"Stale") == nullptr && GetWindowLongPtrW(wnd(h), GWLP_USERDATA) == 0 &&
                   GetWindowLongPtrW(wnd(h), 0) == 0 && GetWindowTextW(wnd(h), text, 8) == 0 &&
                   plat::window_timer_count() == 0 && plat::window_queue_length() == 0 && GetFocus() == nullptr &&
                   g_postedSeen == 0;
        }};
    EXPECT_EQ(run_stale_handle_rounds(window, 1000), 1000);
    EXPECT_TRUE(UnregisterClassW(kClass, nullptr));
}

TEST_F(StaleWindowHandles, AResetNeverWindsTheNumbersBack)
{
    plat::WindowSpec spec;
    spec.style = WS_POPUP;
    HWND before = plat::window_create(spec);
    ASSERT_NE(before, nullptr);
    ASSERT_TRUE(SetPropW(before, u"Stale", reinterpret_cast<HANDLE>(uintptr_t(1))));
    plat::machine_reset((root / "again").string());
    EXPECT_FALSE(IsWindow(before));
    HWND after = plat::window_create(spec);
    ASSERT_NE(after, nullptr);
    EXPECT_NE(after, before);
    EXPECT_EQ(GetPropW(after, u"Stale"), nullptr);
    EXPECT_TRUE(DestroyWindow(after));
}

} // namespace
