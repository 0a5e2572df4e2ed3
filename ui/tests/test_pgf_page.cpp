// The framework's test page (template 9900 of the resource module, one
// control of every kind) under the window system's test driver: its dialog
// procedure looks each message's slot up, overrides the slots it needs and
// dispatches; every user action reaches the right control's handler with a
// fresh handler context holding the working settings; the common buttons are
// found by id; the private messages, broadcasts and small slots answer as
// they should; apply and cancel through the overridden slots keep the
// working, initial and last-applied settings apart; and the page is
// rendered to a PNG file.
#include "ui_resource_check.h"
#include "ui_test_support.h"

#include "ctl_handlers.h"
#include "pgf_dispatch.h"
#include "pgf_sheet.h"

#include <plat/commdlg.h>
#include <plat/controls.h>
#include <plat/dialog.h>
#include <plat/gdi_objects.h>
#include <plat/memory.h>
#include <plat/msgbox.h>
#include <plat/prsht.h>
#include <plat/resource.h>
#include <plat/window.h>

#include <plat_test/ui_driver.h>

#include <filesystem>
#include <vector>

namespace {

using plat_test::UiWindow;
using ui_test::UiTest;

constexpr WORD kTemplate = 9900;
constexpr LONG kPageId = 50;
enum : LONG {
    kCombo = 9911, kList = 9912, kOwnerDrawn = 9913, kNumber = 9914, kRadio = 9915, kButton = 9916,
    kCheck = 9917, kScroll = 9918, kSpin = 9919, kValueText = 9920, kFileName = 9921, kSlider = 9922,
    kPanel = 9923, kName = 9924, kPicture = 9926, kEnableOnly = 9927,
};

/* What the handlers saw. */
struct Seen {
    LONG control;
    UINT code;
    bool defaultIsKinds; /* PGF_GetDefaultHandler gave the kind's handler */
    bool hadSettings;    /* the context held the working settings */
};
std::vector<Seen> seen;

LRESULT record(HandlerContext *context, UINT code, WPARAM, LPARAM, const ControlDescriptor *control, const void *)
{
    seen.push_back({control->controlId, code, PGF_GetDefaultHandler(context) == PGF_GetKindHandler(control->kind),
                    context->settings != nullptr && context->settings == PGF_GetPageData(context->page)->working.settings});
    /* The button writes into the working settings through its context. */
    if (control->controlId == kButton && code == WM_COMMAND)
        context->settings[0] = 0x5A;
    return 0;
}

/* An own handler that passes every message on to its kind's default handler. */
LRESULT passOn(HandlerContext *context, UINT code, WPARAM wParam, LPARAM lParam, const ControlDescriptor *control,
               const void *params)
{
    record(context, code, wParam, lParam, control, params);
    ControlHandler next = PGF_GetDefaultHandler(context);
    return next ? next(context, code, wParam, lParam, control, params) : 0;
}

constexpr ControlItemRef kItem8[] = {{8, 3}};
constexpr ControlItemRef kItem268[] = {{268, 3}};

#define ROW(id, kind, handler) {id, 1, kItem8, kind, handler, nullptr, PGF_NONE, PGF_NONE, nullptr}
const ControlDescriptor kControls[] = {
    ROW(kCombo, CTL_KIND_OPTION_COMBO, record),
    ROW(kList, CTL_KIND_OPTION_LIST, record),
    ROW(kOwnerDrawn, CTL_KIND_OWNER_DRAWN, record),
    {kNumber, 1, kItem268, CTL_KIND_NUMBER_EDIT, record, nullptr, 9931, PGF_NONE, nullptr},
    ROW(kRadio, CTL_KIND_RADIO_GROUP, record),
    ROW(kButton, CTL_KIND_BUTTON, record),
    ROW(kCheck, CTL_KIND_CHECK_BOX, record),
    ROW(kScroll, CTL_KIND_SCROLL_BAR, record),
    {kSpin, 1, kItem268, CTL_KIND_SPIN, record, nullptr, PGF_NONE, PGF_NONE, nullptr},
    ROW(kValueText, CTL_KIND_VALUE_TEXT, passOn),
    ROW(kFileName, CTL_KIND_FILE_NAME, record),
    ROW(kSlider, CTL_KIND_SLIDER, record),
    ROW(kPanel, CTL_KIND_PICTURE_PANEL, record),
    ROW(kName, CTL_KIND_NUMBER_EDIT, record),
    ROW(kPicture, CTL_KIND_PICTURE, record),
    ROW(kEnableOnly, CTL_KIND_ENABLE_ONLY, record),
    {PGF_NO_CONTROL, 1, kItem8, CTL_KIND_NONE, record, nullptr, PGF_NONE, PGF_NONE, nullptr},
};
#undef ROW
constexpr LONG kControlCount = LONG(sizeof(kControls) / sizeof(kControls[0]));
const PageInfo kInfo{kControls, WORD(kControlCount), 9999, nullptr, nullptr, 0};
const PageRecord kRecord{kPageId, &kInfo, nullptr};

/* The page's own slot functions. */
LRESULT initPage(HWND page, UINT, WPARAM, LPARAM lParam, LONG, SlotArgs *)
{
    SetWindowLongPtrW(page, DWLP_USER, lParam); /* the sheet context */
    for (const char16_t *row : {u"One", u"Two", u"Three"})
        SendDlgItemMessageW(page, kList, LB_ADDSTRING, 0, LPARAM(row));
    SendDlgItemMessageW(page, kCombo, CB_ADDSTRING, 0, LPARAM(u"First"));
    return 1;
}

LRESULT applyPage(HWND page, UINT, WPARAM, LPARAM, LONG, SlotArgs *)
{
    return PGF_SnapshotApplied(PGF_GetPageData(page)) ? 0 : 1;
}

LRESULT resetPage(HWND page, UINT, WPARAM, LPARAM, LONG, SlotArgs *)
{
    return PGF_RestoreWorking(PGF_GetPageData(page), FALSE) ? 0 : 1;
}

HBRUSH pageColour(HWND, UINT, WPARAM, LPARAM, LONG) { return reinterpret_cast<HBRUSH>(0x77); }

INT_PTR pageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    SlotFunction function{};
    LONG slot = -1;
    if (!PGF_LookupSlot(message, wParam, lParam, PGF_KIND_TAB, &function, &slot))
        return 0;
    if (!PGF_OverrideSlot(initPage, 1, &function, slot) || !PGF_OverrideSlot(resetPage, 4, &function, slot) ||
        !PGF_OverrideSlot(applyPage, 5, &function, slot) || !PGF_OverrideColorSlot(pageColour, 29, &function, slot))
        return 0;
    return PGF_DispatchMessage(page, message, wParam, lParam, kPageId, PGF_KIND_TAB, &function);
}

class FrameworkPage : public UiTest {
protected:
    void SetUp() override
    {
        UiTest::SetUp();
        seen.clear();
        plat::msgbox_clear();
        const PageRecord *records[] = {&kRecord};
        state.pageArray = PGF_CreatePageArray(records, 1);
        ASSERT_NE(state.pageArray, nullptr);
        state.permitted = 1;
        SettingsSet opened{};
        ASSERT_TRUE(PGF_InitSettingsSet(&opened));
        opened.settings[0] = 1;
        context = PGF_CreateSheetContext(nullptr, &state, &opened, nullptr);
        PGF_FreeSettingsSet(&opened);
        ASSERT_NE(context, nullptr);
        plat::DialogTemplate t;
        t.style = WS_POPUP | DS_SETFONT;
        t.cx = 270;
        t.cy = 180;
        t.fontPoints = 8;
        t.fontFace = u"MS Shell Dlg";
        frame = plat::dialog_create(t, nullptr, nullptr, nullptr, 0);
        ASSERT_NE(frame, nullptr);
        page = CreateDialogParamW(RES_GetResourceModule(), MAKEINTRESOURCEW(kTemplate), frame, pageProc,
                                  LPARAM(context));
        ASSERT_NE(page, nullptr);
        ShowWindow(page, SW_SHOW); /* as the sheet shows its current page */
        plat_test::pump();
    }
    void TearDown() override
    {
        if (frame)
            DestroyWindow(frame);
        plat_test::pump();
        EXPECT_EQ(plat::window_count(), 0u) << "windows left behind";
        PGF_FreeSheetContext(&context);
        PGF_FreePageArray(state.pageArray);
        for (int i = 0; state.warnings && i < 2; ++i)
            GlobalFree(state.warnings[i]);
        GlobalFree(state.warnings);
        UiTest::TearDown();
    }

    /* The codes control `id` received, in order. */
    std::vector<UINT> codesOf(LONG id) const
    {
        std::vector<UINT> out;
        for (const Seen &s : seen)
            if (s.control == id)
                out.push_back(s.code);
        return out;
    }
    bool received(LONG id, UINT code) const
    {
        for (UINT c : codesOf(id))
            if (c == code)
                return true;
        return false;
    }
    LRESULT notify(UINT code)
    {
        NMHDR header{frame, 0, code};
        return pageProc(page, WM_NOTIFY, 0, LPARAM(&header));
    }

    SheetState state{};
    SheetContext *context = nullptr;
    HWND frame = nullptr;
    HWND page = nullptr;
};

TEST_F(FrameworkPage, UserActionsReachTheirControlsHandlers)
{
    UiWindow w(page);
    struct Action {
        const char *what;
        std::function<void()> act;
        LONG control;
        UINT code;
    } actions[] = {
        {"click the push button", [&] { w.click(kButton); }, kButton, WM_COMMAND},
        {"tick the check box", [&] { w.click(kCheck); }, kCheck, WM_COMMAND},
        {"choose a radio button", [&] { w.click(kRadio); }, kRadio, WM_COMMAND},
        {"choose a list row", [&] { w.selectRow(kList, 1); }, kList, WM_COMMAND},
        {"press a key in the list", [&] { w.key(kList, VK_DOWN); }, kList, WM_VKEYTOITEM},
        {"choose from the combo box", [&] { w.dropDownAndChoose(kCombo, 0); }, kCombo, WM_COMMAND},
        {"drag the slider", [&] { w.dragSlider(kSlider, 5); }, kSlider, WM_HSCROLL},
        {"press the spin arrows", [&] { w.spin(kSpin, 1); }, kSpin, WM_VSCROLL},
        {"type a number", [&] { w.type(kNumber, u"12"); }, kNumber, WM_COMMAND},
        {"type a name", [&] { w.type(kName, u"Report"); }, kName, WM_COMMAND},
        {"scroll the scroll bar",
         [&] { SendMessageW(page, WM_HSCROLL, SB_LINERIGHT, LPARAM(GetDlgItem(page, kScroll))); }, kScroll,
         WM_HSCROLL},
    };
    for (const Action &a : actions) {
        seen.clear();
        a.act();
        EXPECT_TRUE(received(a.control, a.code)) << a.what;
        for (const Seen &s : seen) {
            EXPECT_TRUE(s.defaultIsKinds) << a.what << ": the context names the kind's default handler";
            EXPECT_TRUE(s.hadSettings) << a.what << ": the context holds the working settings";
        }
    }
    /* The button's handler wrote into the working settings, not into the initial ones. */
    EXPECT_EQ(context->working.settings[0], 0x5A);
    EXPECT_EQ(context->initial.settings[0], 1);
    /* Owner-drawn rows were measured by the measure slot (15 pixels at 96 dpi) and drawn by their handler. */
    EXPECT_EQ(SendDlgItemMessageW(page, kList, LB_GETITEMHEIGHT, 0, 0), 15);
}

TEST_F(FrameworkPage, PrivateMessagesAndTheSmallSlots)
{
    struct Routed {
        UINT message;
        LONG control;
    } routed[] = {
        {PGF_MSG_GET_CONTROL_PARAM, kPanel}, {PGF_MSG_CONTROL_SPARE, kOwnerDrawn},
        {PGF_MSG_DEFERRED_COMMAND, kButton}, {WM_DRAWITEM, kOwnerDrawn},
    };
    for (const Routed &r : routed) {
        seen.clear();
        DRAWITEMSTRUCT draw{};
        draw.CtlID = UINT(r.control);
        EXPECT_EQ(pageProc(page, r.message, WPARAM(r.control), LPARAM(&draw)), 0) << r.message;
        EXPECT_EQ(codesOf(r.control), std::vector<UINT>{r.message}) << r.message;
        EXPECT_EQ(seen.size(), 1u) << r.message;
    }
    /* A control in neither the page's table nor the common buttons: 1, no handler. */
    seen.clear();
    EXPECT_EQ(pageProc(page, PGF_MSG_DEFERRED_COMMAND, 4242, 0), 1);
    EXPECT_TRUE(seen.empty());

    /* Broadcasts reach every handler in table order, the one without a window too. */
    seen.clear();
    EXPECT_EQ(pageProc(page, WM_QUERYNEWPALETTE, 0, 0), 0);
    ASSERT_EQ(seen.size(), size_t(kControlCount));
    for (LONG i = 0; i < kControlCount; ++i)
        EXPECT_EQ(seen[size_t(i)].control, kControls[i].controlId);

    LONG id = 0;
    EXPECT_EQ(pageProc(page, PGF_MSG_GET_PAGE_ID, 0, LPARAM(&id)), 0);
    EXPECT_EQ(id, kPageId);
    MEASUREITEMSTRUCT measure{};
    EXPECT_EQ(pageProc(page, WM_MEASUREITEM, kList, LPARAM(&measure)), 0);
    EXPECT_EQ(measure.itemHeight, 15u);
    plat::window_set_dpi(120);
    EXPECT_EQ(pageProc(page, WM_MEASUREITEM, kList, LPARAM(&measure)), 0);
    EXPECT_EQ(measure.itemHeight, 19u); /* 15 * 120 / 96, rounded */
    plat::window_set_dpi(96);
    EXPECT_EQ(notify(PSN_WIZFINISH), 0);
    EXPECT_EQ(notify(TCN_SELCHANGE), 0); /* an empty slot: not handled */
    EXPECT_EQ(notify(PSN_QUERYCANCEL), 0);
    EXPECT_EQ(pageProc(page, WM_CTLCOLORLISTBOX, 0, 0), 0); /* default colours */
    EXPECT_EQ(pageProc(page, WM_CTLCOLORSTATIC, 0, 0), 0x77); /* the page's colour override */

    /* Escape on a tab page (IDCANCEL, notification 0) reaches no handler. */
    seen.clear();
    EXPECT_EQ(pageProc(page, WM_COMMAND, IDCANCEL, 0), 0);
    EXPECT_TRUE(seen.empty());

    /* The common restore-defaults button is found by id; its kind's handler waits for its work. */
    SetLastError(0);
    UiWindow(page).click(PGF_ID_RESTORE_DEFAULTS);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CALL_NOT_IMPLEMENTED));
    /* The own handler that passes messages on reaches its kind's default handler. */
    SetLastError(0);
    seen.clear();
    pageProc(page, WM_PAINT, 0, 0);
    EXPECT_TRUE(received(kValueText, WM_PAINT));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CALL_NOT_IMPLEMENTED));

    /* Lifecycle slots and value stepping wait for their work: not handled, visibly. */
    SetLastError(0);
    EXPECT_EQ(notify(PSN_SETACTIVE), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CALL_NOT_IMPLEMENTED));
    SetLastError(0);
    EXPECT_EQ(pageProc(page, PGF_MSG_NEXT_VALUE, kCombo, 0), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CALL_NOT_IMPLEMENTED));
    EXPECT_EQ(pageProc(page, PGF_MSG_NEXT_VALUE, 4242, 0), 1);
}

TEST_F(FrameworkPage, WarningsAndHelpQuit)
{
    EXPECT_EQ(pageProc(page, PGF_MSG_SHOW_WARNINGS, 0, 0), 0); /* none left by the initial check */
    state.warnings = static_cast<LPWSTR *>(GlobalAlloc(GPTR, 2 * sizeof(LPWSTR)));
    for (int i = 0; i < 2; ++i) {
        const std::u16string text = i ? u"Second warning" : u"First warning";
        state.warnings[i] = static_cast<LPWSTR>(GlobalAlloc(GPTR, (text.size() + 1) * sizeof(WCHAR)));
        std::copy(text.begin(), text.end(), state.warnings[i]);
    }
    EXPECT_EQ(pageProc(page, PGF_MSG_SHOW_WARNINGS, 0, 0), 1);
    EXPECT_EQ(state.warnings, nullptr);
    const auto log = plat::msgbox_log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_EQ(log[0].text, u"First warning");
    EXPECT_EQ(log[1].text, u"Second warning");
    EXPECT_EQ(log[0].caption, u"Printer Settings");
    EXPECT_EQ(log[1].style & MB_ICONWARNING, UINT(MB_ICONWARNING));

    /* Destroying a tab page of a sheet with a ".hlp" help file quits WinHelp; other files do not. */
    ASSERT_TRUE(PGF_SetHelpFile(&state, u"C:\\Driver\\tarvel.chm"));
    pageProc(page, WM_DESTROY, 0, 0);
    EXPECT_TRUE(plat::help_log().empty());
    ASSERT_TRUE(PGF_SetHelpFile(&state, u"C:\\Driver\\tarvel.hlp"));
    EXPECT_EQ(pageProc(page, WM_DESTROY, 0, 0), 0);
    const auto help = plat::help_log();
    ASSERT_EQ(help.size(), 1u);
    EXPECT_EQ(help[0].command, UINT(HELP_QUIT));
    EXPECT_EQ(help[0].file, u"C:\\Driver\\tarvel.hlp");
}

TEST_F(FrameworkPage, ApplyAndCancelKeepTheThreeSetsApart)
{
    UiWindow w(page);
    /* Cancel before any Apply: the working settings go back to the initial ones. */
    w.click(kButton);
    EXPECT_EQ(context->working.settings[0], 0x5A);
    EXPECT_EQ(notify(PSN_RESET), 0);
    EXPECT_EQ(context->working.settings[0], 1);
    EXPECT_FALSE(PGF_IsSettingsSetValid(&context->lastApplied));
    /* Apply takes a snapshot; a later Cancel goes back to it, not to the initial settings. */
    w.click(kButton);
    EXPECT_EQ(notify(PSN_APPLY), 0);
    EXPECT_EQ(context->lastApplied.settings[0], 0x5A);
    context->working.settings[0] = 0x33;
    EXPECT_EQ(notify(PSN_RESET), 0);
    EXPECT_EQ(context->working.settings[0], 0x5A);
    EXPECT_EQ(context->initial.settings[0], 1);
}

/*
 * The page's records fit template 9900: every id exists with a class that
 * fits its kind.  Records that name a missing control, label, greyed id or
 * help-pair control, or bind a kind to the wrong class, are each reported.
 */
TEST_F(FrameworkPage, ResourcesFitThePageRecords)
{
    HMODULE module = RES_GetResourceModule();
    ASSERT_NE(module, nullptr);
    const std::vector<std::string> problems = ui_test::checkPageResources(module, kTemplate, kInfo);
    EXPECT_TRUE(problems.empty()) << (problems.empty() ? "" : problems[0]);

    const LONG grey[] = {kCheck, 9998, PGF_NONE};
    const HelpIdPair help[] = {{kCombo, 1}, {9997, 2}, {0, 0}};
    const ControlDescriptor wrong[] = {
        {9999, 1, kItem8, CTL_KIND_CHECK_BOX, nullptr, nullptr, PGF_NONE, PGF_NONE, nullptr},
        {kCheck, 1, kItem8, CTL_KIND_OPTION_COMBO, nullptr, nullptr, PGF_NONE, PGF_NONE, nullptr},
        {kNumber, 1, kItem268, CTL_KIND_NUMBER_EDIT, nullptr, nullptr, 9996, PGF_NONE, nullptr},
        {kList, 1, kItem8, CTL_KIND_SLIDER, nullptr, nullptr, PGF_NONE, PGF_NONE, nullptr},
        {PGF_NO_CONTROL, 1, kItem8, CTL_KIND_NONE, nullptr, nullptr, PGF_NONE, PGF_NONE, nullptr},
    };
    const PageInfo bad{wrong, WORD(std::size(wrong)), 0, help, grey, 0};
    const std::vector<std::string> found = ui_test::checkPageResources(module, kTemplate, bad);
    const std::vector<std::string> expected = {
        "template 9900: control 9999 is not in the template",
        "template 9900: control 9917 of kind 1 is a BUTTON that does not fit its kind",
        "template 9900: label 9996 is not in the template",
        "template 9900: control 9912 of kind 12 is a LISTBOX that does not fit its kind",
        "template 9900: greyed id 9998 is not in the template",
        "template 9900: help-pair control 9997 is not in the template",
    };
    EXPECT_EQ(found, expected);
    EXPECT_EQ(ui_test::checkPageResources(module, 9899, kInfo),
              std::vector<std::string>{"template 9899: missing or unreadable"});
}

TEST_F(FrameworkPage, RenderedToAPng)
{
    UiWindow w(page);
    w.click(kCheck);
    w.selectRow(kList, 1);
    w.type(kNumber, u"12");
    w.type(kName, u"Report");
    const std::filesystem::path dir = std::filesystem::current_path() / "test-artefacts";
    std::filesystem::create_directories(dir);
    const std::string path = (dir / "framework_test_page.png").string();
    ASSERT_TRUE(plat_test::renderPng(frame, path));
    int cx = 0, cy = 0;
    std::vector<DWORD> pixels;
    ASSERT_TRUE(plat_test::renderPixels(frame, &cx, &cy, &pixels));
    RECT client{};
    GetClientRect(frame, &client);
    EXPECT_EQ(cx, client.right);
    EXPECT_EQ(cy, client.bottom);
    EXPECT_GT(std::filesystem::file_size(path), 1000u);
    /* The page shows something besides its background: the controls' frames and text. */
    size_t dark = 0;
    for (DWORD p : pixels)
        dark += (p & 0xFF) < 0x40 && ((p >> 8) & 0xFF) < 0x40 && ((p >> 16) & 0xFF) < 0x40;
    EXPECT_GT(dark, 500u);
}

} // namespace
