/*
 * Tests of the window manager's messages and dialogs: classes and
 * creation messages, destruction order, posted messages after the current
 * one, the nesting limit, the pump limit, timers on the machine clock,
 * focus notifications (also when a kill-focus handler moves the focus),
 * subclassing, properties, dialog units, the dialog result rules, template
 * round trips and hostile templates, and modal runs with their failures.
 */
#include <plat/clock.h>
#include <plat/error.h>
#include <plat/dialog.h>
#include <plat/raster.h>
#include <plat/resource.h>

#include <plat_test/ui_machine.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>
#include <vector>

namespace {

class WindowMessages : public plat_test::UiMachineTest {};

std::vector<std::string> g_events;

std::string name(HWND h)
{
    WCHAR buf[64];
    const int n = GetWindowTextW(h, buf, 64);
    return std::string(buf, buf + n);
}

LRESULT recordingProc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    switch (msg) {
    case WM_CREATE: g_events.push_back("create " + name(h)); break;
    case WM_DESTROY: g_events.push_back("destroy " + name(h)); break;
    case WM_NCDESTROY: g_events.push_back("ncdestroy " + name(h)); break;
    case WM_SETFOCUS: g_events.push_back("setfocus " + name(h)); break;
    case WM_KILLFOCUS: g_events.push_back("killfocus " + name(h)); break;
    case WM_USER: g_events.push_back("user " + std::to_string(wp)); break;
    case WM_USER + 1:
        /* Posts a message while handling one: it must come after this one ends. */
        PostMessageW(h, WM_USER, 99, 0);
        g_events.push_back("handled 1");
        break;
    case WM_USER + 2: return SendMessageW(h, WM_USER + 2, 0, 0) + 1; /* endless recursion */
    case WM_USER + 3: PostMessageW(h, WM_USER + 3, 0, 0); break;    /* endless posting */
    case WM_TIMER: g_events.push_back("timer " + std::to_string(wp)); break;
    }
    return DefWindowProcW(h, msg, wp, lp);
}

void registerRecorder()
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = recordingProc;
    wc.lpszClassName = u"Recorder";
    ASSERT_NE(RegisterClassW(&wc), 0);
}

HWND make(const char16_t *title, HWND parent = nullptr, DWORD style = WS_OVERLAPPED)
{
    return CreateWindowExW(0, u"Recorder", title, style, 0, 0, 100, 50, parent, nullptr, nullptr, nullptr);
}

TEST_F(WindowMessages, CreationAndDestructionOrder)
{
    registerRecorder();
    g_events.clear();
    HWND top = make(u"top");
    HWND a = make(u"a", top, WS_CHILD | WS_VISIBLE);
    HWND b = make(u"b", a, WS_CHILD | WS_VISIBLE);
    ASSERT_TRUE(top && a && b);
    EXPECT_EQ(g_events, (std::vector<std::string>{"create top", "create a", "create b"}));
    g_events.clear();
    ASSERT_TRUE(DestroyWindow(top));
    /* WM_DESTROY parent first, WM_NCDESTROY children first. */
    EXPECT_EQ(g_events, (std::vector<std::string>{"destroy top", "destroy a", "destroy b", "ncdestroy b",
                                                  "ncdestroy a", "ncdestroy top"}));
    EXPECT_FALSE(IsWindow(a));
    EXPECT_EQ(RegisterClassW(nullptr), 0);
    WNDCLASSW again{};
    again.lpfnWndProc = recordingProc;
    again.lpszClassName = u"recorder";
    EXPECT_EQ(RegisterClassW(&again), 0) << "class names ignore case";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CLASS_ALREADY_EXISTS));
    EXPECT_EQ(CreateWindowExW(0, u"NoSuchClass", u"", 0, 0, 0, 1, 1, nullptr, nullptr, nullptr, nullptr), nullptr);
}

TEST_F(WindowMessages, PostedMessagesComeAfterTheCurrentOneInOrder)
{
    registerRecorder();
    HWND w = make(u"w");
    g_events.clear();
    PostMessageW(w, WM_USER, 1, 0);
    SendMessageW(w, WM_USER + 1, 0, 0);
    PostMessageW(w, WM_USER, 2, 0);
    EXPECT_EQ(g_events, (std::vector<std::string>{"handled 1"}));
    EXPECT_EQ(plat::window_pump(), 3u);
    EXPECT_EQ(g_events, (std::vector<std::string>{"handled 1", "user 1", "user 99", "user 2"}));
    /* Messages posted to a window that is destroyed are dropped. */
    PostMessageW(w, WM_USER, 3, 0);
    DestroyWindow(w);
    EXPECT_EQ(plat::window_queue_length(), 0u);
    EXPECT_FALSE(PostMessageW(w, WM_USER, 4, 0));
}

TEST_F(WindowMessages, NestingLimitStopsRunawayRecursionWithATrace)
{
    registerRecorder();
    HWND w = make(u"w");
    plat::window_set_nesting_limit(50);
    const LRESULT depth = SendMessageW(w, WM_USER + 2, 0, 0);
    EXPECT_EQ(depth, 50) << "50 levels ran; the 51st send was refused and answered 0";
    const auto trace = plat::window_limit_trace();
    ASSERT_EQ(trace.size(), 1u);
    EXPECT_NE(trace[0].find("nesting limit 50"), std::string::npos) << trace[0];
    EXPECT_NE(trace[0].find("0x402"), std::string::npos) << trace[0];
    EXPECT_NE(trace[0].find("Recorder"), std::string::npos) << trace[0];
    DestroyWindow(w);
}

TEST_F(WindowMessages, PumpLimitStopsALoopThatNeverEnds)
{
    registerRecorder();
    HWND w = make(u"w");
    PostMessageW(w, WM_USER + 3, 0, 0);
    EXPECT_EQ(plat::window_pump(1000), 1000u);
    const auto trace = plat::window_limit_trace();
    ASSERT_EQ(trace.size(), 1u);
    EXPECT_NE(trace[0].find("does not end"), std::string::npos) << trace[0];
    EXPECT_EQ(plat::window_queue_length(), 0u);
    DestroyWindow(w);
}

TEST_F(WindowMessages, TimersFireOnTheMachineClock)
{
    registerRecorder();
    SYSTEMTIME st{2026, 12, 4, 10, 12, 0, 0, 0};
    ASSERT_TRUE(plat::clock_fix(st, 1000));
    HWND w = make(u"w");
    g_events.clear();
    EXPECT_EQ(SetTimer(w, 7, 100, nullptr), 7u);
    EXPECT_EQ(plat::window_timer_count(), 1u);
    plat::window_pump();
    EXPECT_TRUE(g_events.empty());
    plat::clock_advance(100);
    plat::window_pump();
    EXPECT_EQ(g_events, (std::vector<std::string>{"timer 7"}));
    plat::clock_advance(250); /* late: one tick, not a catch-up storm */
    plat::window_pump();
    EXPECT_EQ(g_events.size(), 2u);
    EXPECT_TRUE(KillTimer(w, 7));
    EXPECT_FALSE(KillTimer(w, 7));
    SetTimer(w, 8, 10, nullptr);
    DestroyWindow(w); /* takes its timers */
    EXPECT_EQ(plat::window_timer_count(), 0u);
}

LRESULT stealingProc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_KILLFOCUS && name(h) == "a" && GetPropW(h, u"steal")) {
        RemovePropW(h, u"steal");
        SetFocus(reinterpret_cast<HWND>(GetPropW(h, u"to")));
    }
    return recordingProc(h, msg, wp, lp);
}

TEST_F(WindowMessages, FocusNotificationsAreSynchronousAndAKillFocusMoveWins)
{
    WNDCLASSW wc{};
    wc.lpfnWndProc = stealingProc;
    wc.lpszClassName = u"Recorder";
    ASSERT_NE(RegisterClassW(&wc), 0);
    HWND top = make(u"top");
    HWND a = make(u"a", top, WS_CHILD | WS_VISIBLE);
    HWND b = make(u"b", top, WS_CHILD | WS_VISIBLE);
    HWND c = make(u"c", top, WS_CHILD | WS_VISIBLE);
    g_events.clear();
    EXPECT_EQ(SetFocus(a), nullptr);
    EXPECT_EQ(SetFocus(b), a);
    EXPECT_EQ(g_events, (std::vector<std::string>{"setfocus a", "killfocus a", "setfocus b"}));
    SetFocus(a);
    SetPropW(a, u"steal", reinterpret_cast<HANDLE>(1));
    SetPropW(a, u"to", c);
    g_events.clear();
    SetFocus(b);
    EXPECT_EQ(GetFocus(), c);
    EXPECT_EQ(g_events, (std::vector<std::string>{"setfocus c", "killfocus a"}));
    EnableWindow(c, FALSE);
    EXPECT_EQ(GetFocus(), nullptr) << "a disabled window loses the focus";
    EXPECT_EQ(SetFocus(c), nullptr) << "and cannot take it";
    DestroyWindow(top);
}

LRESULT subclassProc(HWND h, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_USER)
        g_events.push_back("subclass saw " + std::to_string(wp));
    auto old = reinterpret_cast<WNDPROC>(GetPropW(h, u"old"));
    return CallWindowProcW(old, h, msg, wp, lp);
}

TEST_F(WindowMessages, SubclassingPropertiesAndGeometry)
{
    registerRecorder();
    HWND top = CreateWindowExW(0, u"Recorder", u"top", WS_POPUP, 100, 50, 300, 200, nullptr, nullptr, nullptr,
                               nullptr);
    HWND child = CreateWindowExW(0, u"Recorder", u"c", WS_CHILD | WS_VISIBLE, 10, 20, 30, 40, top,
                                 reinterpret_cast<HMENU>(5), nullptr, nullptr);
    EXPECT_EQ(GetWindowLongPtrW(child, GWLP_ID), 5);
    const LONG_PTR old = SetWindowLongPtrW(child, GWLP_WNDPROC, reinterpret_cast<LONG_PTR>(subclassProc));
    EXPECT_EQ(old, reinterpret_cast<LONG_PTR>(recordingProc));
    SetPropW(child, u"old", reinterpret_cast<HANDLE>(old));
    g_events.clear();
    SendMessageW(child, WM_USER, 4, 0);
    EXPECT_EQ(g_events, (std::vector<std::string>{"subclass saw 4", "user 4"}));
    EXPECT_EQ(GetPropW(child, u"OLD"), reinterpret_cast<HANDLE>(old)) << "property names ignore case";
    RECT r;
    GetWindowRect(child, &r);
    EXPECT_EQ(r.left, 110);
    EXPECT_EQ(r.top, 70);
    POINT p{0, 0};
    MapWindowPoints(child, top, &p, 1);
    EXPECT_EQ(p.x, 10);
    EXPECT_EQ(p.y, 20);
    EXPECT_EQ(ChildWindowFromPointEx(top, POINT{15, 25}, CWP_SKIPINVISIBLE), child);
    ShowWindow(child, SW_HIDE);
    EXPECT_EQ(ChildWindowFromPointEx(top, POINT{15, 25}, CWP_SKIPINVISIBLE), top);
    EXPECT_EQ(ChildWindowFromPointEx(top, POINT{15, 25}, CWP_ALL), child);
    DestroyWindow(top);
}

TEST_F(WindowMessages, DialogUnitsScaleWithTheDpi)
{
    plat::DialogTemplate t;
    t.cx = 100;
    t.cy = 80;
    HWND d = plat::dialog_create(t, nullptr, nullptr, nullptr, 0);
    ASSERT_NE(d, nullptr);
    struct Case {
        int dpi;
        RECT in;
        RECT out;
    } cases[] = {
        {96, {78, 8, 135, 16}, {117, 13, 202, 26}},
        {144, {78, 8, 135, 16}, {175, 19, 303, 39}},
        {96, {4, 8, 0, 0}, {6, 13, 0, 0}},
    };
    for (const Case &c : cases) {
        plat::window_set_dpi(c.dpi);
        RECT r = c.in;
        ASSERT_TRUE(MapDialogRect(d, &r));
        EXPECT_EQ(r.left, c.out.left) << c.dpi;
        EXPECT_EQ(r.top, c.out.top) << c.dpi;
        EXPECT_EQ(r.right, c.out.right) << c.dpi;
        EXPECT_EQ(r.bottom, c.out.bottom) << c.dpi;
    }
    RECT client;
    GetClientRect(d, &client);
    EXPECT_EQ(client.right, 150); /* made at 96 dpi */
    EXPECT_EQ(client.bottom, 130);
    DestroyWindow(d);
}

/* The dialog procedure answers `g_answer` and sets DWLP_MSGRESULT to 77 for every message it sees. */
INT_PTR g_answer = 0;
INT_PTR resultProc(HWND d, UINT msg, WPARAM, LPARAM)
{
    if (msg == WM_INITDIALOG)
        return TRUE;
    SetWindowLongPtrW(d, DWLP_MSGRESULT, 77);
    return g_answer;
}

TEST_F(WindowMessages, DialogResultRules)
{
    plat::DialogTemplate t;
    t.cx = 10;
    t.cy = 10;
    HWND d = plat::dialog_create(t, nullptr, nullptr, resultProc, 0);
    ASSERT_NE(d, nullptr);
    struct Case {
        UINT msg;
        INT_PTR answer;
        LRESULT expected;
    } cases[] = {
        {WM_NOTIFY, TRUE, 77},        /* handled: the message result slot */
        {WM_COMMAND, TRUE, 77},
        {WM_USER + 2524, 5, 77},
        {WM_VKEYTOITEM, -2, -2},      /* answered directly */
        {WM_CHARTOITEM, 3, 3},
        {WM_COMPAREITEM, -1, -1},
        {WM_QUERYDRAGICON, 9, 9},
        {WM_CTLCOLOR, 0x1234, 0x1234},
        {WM_CTLCOLORSTATIC, 0x5678, 0x5678},
        {WM_CTLCOLORBTN, 0x9ABC, 0x9ABC},
        {WM_NOTIFY, FALSE, 0},        /* not handled: default processing */
        {WM_GETTEXTLENGTH, FALSE, 0},
    };
    for (const Case &c : cases) {
        g_answer = c.answer;
        EXPECT_EQ(SendMessageW(d, c.msg, 0, 0), c.expected) << std::hex << c.msg;
    }
    g_answer = FALSE;
    /* An unhandled WM_CTLCOLORDLG gives the dialog's default brush. */
    EXPECT_EQ(SendMessageW(d, WM_CTLCOLORDLG, 0, 0), reinterpret_cast<LRESULT>(GetSysColorBrush(COLOR_BTNFACE)));
    DestroyWindow(d);
}

TEST_F(WindowMessages, TemplatesRoundTripAndHostileBytesAreRefused)
{
    plat::DialogTemplate t;
    t.style = WS_POPUP | DS_SETFONT;
    t.cx = 200;
    t.cy = 100;
    t.fontPoints = 8;
    t.fontFace = u"MS Shell Dlg";
    t.caption = u"Caption";
    t.items.push_back({1001, u"BUTTON", WS_TABSTOP, 0, 5, 6, 50, 14, u"&OK"});
    t.items.push_back({1002, u"EDIT", 0, WS_EX_CLIENTEDGE, 5, 26, 50, 12, u""});
    const std::vector<BYTE> bytes = plat::dialog_template_encode(t);
    plat::DialogTemplate back;
    ASSERT_TRUE(plat::dialog_template_parse(bytes, back));
    EXPECT_EQ(back.caption, u"Caption");
    ASSERT_EQ(back.items.size(), 2u);
    EXPECT_EQ(back.items[0].text, u"&OK");
    EXPECT_EQ(back.items[1].exStyle, DWORD(WS_EX_CLIENTEDGE));
    /* Every cut is refused, and so are a bad magic, version and trailing bytes. */
    for (size_t n = 0; n < bytes.size(); ++n)
        EXPECT_FALSE(plat::dialog_template_parse(std::span<const BYTE>(bytes.data(), n), back)) << n;
    std::vector<BYTE> bad = bytes;
    bad[0] = 'X';
    EXPECT_FALSE(plat::dialog_template_parse(bad, back));
    bad = bytes;
    bad[4] = 2;
    EXPECT_FALSE(plat::dialog_template_parse(bad, back));
    bad = bytes;
    bad.push_back(0);
    EXPECT_FALSE(plat::dialog_template_parse(bad, back));
    bad = bytes;
    bad[bytes.size() - 2] = 0xFF; /* the last text's length runs past the end */
    EXPECT_FALSE(plat::dialog_template_parse(bad, back));
}

INT_PTR endingProc(HWND d, UINT msg, WPARAM wp, LPARAM lp)
{
    if (msg == WM_INITDIALOG) {
        SetWindowLongPtrW(d, DWLP_USER, lp);
        return TRUE;
    }
    if (msg == WM_COMMAND && LOWORD(wp) == IDOK) {
        EndDialog(d, GetWindowLongPtrW(d, DWLP_USER));
        return TRUE;
    }
    return FALSE;
}

TEST_F(WindowMessages, ModalDialogsFromTheResourceModuleAreRunByScripts)
{
    plat::DialogTemplate t;
    t.style = WS_POPUP | WS_CAPTION;
    t.cx = 100;
    t.cy = 50;
    t.caption = u"Modal";
    const std::vector<BYTE> dlg = plat::dialog_template_encode(t);
    /* A one-entry container: type 5, id 300. */
    std::vector<BYTE> c(32 + 16, 0);
    auto put16 = [&](size_t at, uint16_t v) { c[at] = BYTE(v), c[at + 1] = BYTE(v >> 8); };
    auto put32 = [&](size_t at, uint32_t v) { put16(at, uint16_t(v)), put16(at + 2, uint16_t(v >> 16)); };
    std::memcpy(c.data(), "TXRS", 4);
    put16(4, 1);
    put16(6, 32);
    put32(8, 1);
    put32(12, 32);
    put32(16, 48);
    put32(20, 0);
    put32(24, uint32_t(48 + dlg.size()));
    put16(32, 5);
    put16(36, 300);
    put32(40, 48);
    put32(44, uint32_t(dlg.size()));
    c.insert(c.end(), dlg.begin(), dlg.end());
    HMODULE module = plat::rsrc_open_bytes(c);
    ASSERT_NE(module, nullptr);

    plat::modal_expect(plat::ModalKind::Dialog,
                       [](const plat::ModalInfo &i) { return i.templateId == 300 && i.caption == u"Modal"; },
                       [](plat::ModalRun &run) {
                           EXPECT_TRUE(IsWindowVisible(run.info.window));
                           SendMessageW(run.info.window, WM_COMMAND, IDOK, 0);
                       });
    EXPECT_EQ(DialogBoxParamW(module, MAKEINTRESOURCEW(300), nullptr, endingProc, 42), 42);
    EXPECT_EQ(plat::modal_log().size(), 1u);
    EXPECT_EQ(plat::modal_log()[0].result, 42);

    /* A template that does not exist: -1, no run. */
    EXPECT_EQ(DialogBoxParamW(module, MAKEINTRESOURCEW(301), nullptr, endingProc, 0), -1);
    plat::rsrc_close(module);
}

TEST_F(WindowMessages, UnscriptedAndUnendedModalsFailAndCloseWithMinusOne)
{
    checkLeaks = false;
    plat::DialogTemplate t;
    t.cx = 10;
    t.cy = 10;
    HWND d = plat::dialog_create(t, nullptr, nullptr, endingProc, 0);
    plat::ModalInfo info;
    info.window = d;
    info.templateId = 5;
    EXPECT_EQ(plat::modal_run(d, info), -1);
    EXPECT_FALSE(IsWindow(d));
    d = plat::dialog_create(t, nullptr, nullptr, endingProc, 0);
    info.window = d;
    plat::modal_expect(plat::ModalKind::Dialog, nullptr, [](plat::ModalRun &) {});
    EXPECT_EQ(plat::modal_run(d, info), -1);
    d = plat::dialog_create(t, nullptr, nullptr, endingProc, 0);
    info.window = d;
    plat::modal_expect(plat::ModalKind::Sheet, nullptr, [](plat::ModalRun &) {});
    EXPECT_EQ(plat::modal_run(d, info), -1);
    const auto f = plat::modal_failures();
    ASSERT_EQ(f.size(), 3u);
    EXPECT_NE(f[0].find("unscripted dialog template 5"), std::string::npos) << f[0];
    EXPECT_NE(f[1].find("returned without ending"), std::string::npos) << f[1];
    EXPECT_NE(f[2].find("expects a property sheet"), std::string::npos) << f[2];
    EXPECT_EQ(plat::modal_waiting(), 1u);
    EXPECT_EQ(plat::window_count(), 0u);
}

} // namespace
