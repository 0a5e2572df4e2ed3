/*
 * Property sheets under the test driver: a sheet of three test pages where
 * OK, Apply and Cancel across tabs deliver the notifications in order and
 * only to pages already made; refusals that keep a page or the sheet; an
 * unhandled Cancel (Escape) on a page reaching the sheet; and a modal
 * dialog opened from a page and a nested wizard, both round trips.
 */
#include "test_ui_module.h"

#include <plat/commdlg.h>
#include <plat/compstui.h>
#include <plat/controls.h>
#include <plat/error.h>
#include <plat/loader.h>
#include <plat/prsht.h>

#include <plat_test/ui_driver.h>
#include <plat_test/ui_machine.h>

#include <gtest/gtest.h>

#include <string>
#include <vector>

namespace {

using plat_test::UiSheet;
using plat_test::UiWindow;

constexpr WORD kSmallDialog = 750;
constexpr int kOpenDialog = 900;
constexpr int kOpenWizard = 901;

std::vector<std::string> g_log;
int g_refuseKill = -1;
int g_invalidApply = -1;
bool g_pageHandlesCancel = false;
HMODULE g_module = nullptr;

plat::DialogTemplate page(const char16_t *caption, bool withButtons)
{
    plat::DialogTemplate t;
    t.style = WS_CHILD | DS_SETFONT;
    t.cx = 200;
    t.cy = 110;
    t.fontPoints = 8;
    t.fontFace = u"MS Shell Dlg";
    t.caption = caption;
    t.items.push_back({1200, u"STATIC", WS_VISIBLE, 0, 7, 7, 150, 10, caption});
    t.items.push_back({1201, u"EDIT", WS_VISIBLE | WS_BORDER | WS_TABSTOP, 0, 7, 20, 80, 12, u""});
    if (withButtons) {
        t.items.push_back({kOpenDialog, u"BUTTON", WS_VISIBLE | WS_TABSTOP, 0, 7, 40, 70, 14, u"Open dialog"});
        t.items.push_back({kOpenWizard, u"BUTTON", WS_VISIBLE | WS_TABSTOP, 0, 7, 58, 70, 14, u"Wizard"});
    }
    return t;
}

plat::DialogTemplate smallDialog()
{
    plat::DialogTemplate t;
    t.style = WS_POPUP | WS_CAPTION;
    t.cx = 100;
    t.cy = 40;
    t.caption = u"Nested";
    t.items.push_back({IDOK, u"BUTTON", WS_VISIBLE | BS_DEFPUSHBUTTON, 0, 25, 20, 50, 14, u"OK"});
    return t;
}

INT_PTR smallProc(HWND d, UINT msg, WPARAM wp, LPARAM)
{
    if (msg == WM_INITDIALOG)
        return TRUE;
    if (msg == WM_COMMAND && LOWORD(wp) == IDOK) {
        EndDialog(d, 5);
        return TRUE;
    }
    return FALSE;
}

const char *codeName(UINT code)
{
    switch (code) {
    case PSN_SETACTIVE: return "setactive";
    case PSN_KILLACTIVE: return "killactive";
    case PSN_APPLY: return "apply";
    case PSN_RESET: return "reset";
    case PSN_HELP: return "help";
    case PSN_QUERYCANCEL: return "querycancel";
    case PSN_WIZNEXT: return "wiznext";
    case PSN_WIZBACK: return "wizback";
    case PSN_WIZFINISH: return "wizfinish";
    default: return nullptr;
    }
}

INT_PTR runWizard(HWND owner);

INT_PTR pageProc(HWND d, UINT msg, WPARAM wp, LPARAM lp)
{
    const int n = int(GetWindowLongPtrW(d, DWLP_USER));
    switch (msg) {
    case WM_INITDIALOG: {
        const auto *psp = reinterpret_cast<const PROPSHEETPAGEW *>(lp);
        SetWindowLongPtrW(d, DWLP_USER, psp->lParam);
        g_log.push_back("init " + std::to_string(psp->lParam));
        return TRUE;
    }
    case WM_NOTIFY: {
        const auto *pn = reinterpret_cast<const PSHNOTIFY *>(lp);
        const char *name = codeName(pn->hdr.code);
        if (!name)
            return FALSE;
        std::string line = std::to_string(n) + " " + name;
        if (pn->hdr.code == PSN_APPLY)
            line += pn->lParam ? " ok" : " apply";
        g_log.push_back(line);
        LRESULT result = 0;
        if (pn->hdr.code == PSN_KILLACTIVE && n == g_refuseKill)
            result = TRUE;
        if (pn->hdr.code == PSN_APPLY && n == g_invalidApply)
            result = PSNRET_INVALID;
        if (pn->hdr.code == PSN_SETACTIVE && n >= 10)
            PostMessageW(GetParent(d), PSM_SETWIZBUTTONS, 0, n == 10 ? PSWIZB_NEXT : PSWIZB_BACK | PSWIZB_FINISH);
        SetWindowLongPtrW(d, DWLP_MSGRESULT, result);
        return TRUE;
    }
    case WM_COMMAND:
        if (LOWORD(wp) == 1201 && HIWORD(wp) == EN_CHANGE)
            SendMessageW(GetParent(d), PSM_CHANGED, reinterpret_cast<WPARAM>(d), 0);
        if (LOWORD(wp) == kOpenDialog && HIWORD(wp) == BN_CLICKED)
            g_log.push_back("dialog " + std::to_string(DialogBoxParamW(g_module, MAKEINTRESOURCEW(kSmallDialog),
                                                                        d, smallProc, 0)));
        if (LOWORD(wp) == kOpenWizard && HIWORD(wp) == BN_CLICKED)
            g_log.push_back("wizard " + std::to_string(runWizard(d)));
        if (LOWORD(wp) == IDCANCEL && g_pageHandlesCancel) {
            g_log.push_back(std::to_string(n) + " kept cancel");
            return TRUE;
        }
        return FALSE;
    default:
        return FALSE;
    }
}

HPROPSHEETPAGE makePage(WORD templateId, int index)
{
    PROPSHEETPAGEW p{};
    p.dwSize = sizeof p;
    p.hInstance = g_module;
    p.pszTemplate = MAKEINTRESOURCEW(templateId);
    p.pfnDlgProc = pageProc;
    p.lParam = index;
    return CreatePropertySheetPageW(&p);
}

INT_PTR runSheet(HWND owner, std::vector<std::pair<WORD, int>> pages, DWORD flags, const char16_t *caption)
{
    std::vector<HPROPSHEETPAGE> handles;
    for (auto &[id, index] : pages)
        handles.push_back(makePage(id, index));
    PROPSHEETHEADERW h{};
    h.dwSize = sizeof h;
    h.dwFlags = flags;
    h.hwndParent = owner;
    h.hInstance = g_module;
    h.pszCaption = caption;
    h.nPages = UINT(handles.size());
    h.phpage = handles.data();
    return PropertySheetW(&h);
}

INT_PTR runWizard(HWND owner) { return runSheet(owner, {{811, 10}, {812, 11}}, PSH_WIZARD, u"Wizard"); }

INT_PTR runThreePages() { return runSheet(nullptr, {{801, 0}, {802, 1}, {803, 2}}, 0, u"Printer"); }

class PropertySheet : public plat_test::UiMachineTest {
protected:
    void SetUp() override
    {
        UiMachineTest::SetUp();
        bytes_ = dialogContainer({{801, page(u"One", true)},
                                  {802, page(u"Two", false)},
                                  {803, page(u"Three", false)},
                                  {811, page(u"Welcome", false)},
                                  {812, page(u"Done", false)},
                                  {kSmallDialog, smallDialog()}});
        g_module = plat::rsrc_open_bytes(bytes_);
        ASSERT_NE(g_module, nullptr);
        g_log.clear();
        g_refuseKill = g_invalidApply = -1;
        g_pageHandlesCancel = false;
    }
    void TearDown() override
    {
        EXPECT_EQ(plat::propsheet_page_count(), 0u) << "page records left behind";
        plat::rsrc_close(g_module);
        UiMachineTest::TearDown();
    }

private:
    std::vector<BYTE> bytes_;
};

using Log = std::vector<std::string>;

TEST_F(PropertySheet, OkAcrossTabsNotifiesOnlyPagesMadeInPageOrder)
{
    plat_test::expectSheet([](UiSheet &s) {
        EXPECT_EQ(s.state(IDC_PS_TABCONTROL).rows, (std::vector<std::u16string>{u"One", u"Two", u"Three"}));
        EXPECT_FALSE(s.state(IDC_PS_APPLYNOW).enabled);
        s.selectTab(2);
        EXPECT_EQ(s.pageIndex(), 2);
        EXPECT_EQ(plat::propsheet_page_window(s.hwnd(), 1), nullptr) << "never shown, never made";
        s.ok();
    });
    EXPECT_EQ(runThreePages(), 1);
    EXPECT_EQ(g_log, (Log{"init 0", "0 setactive", "0 killactive", "init 2", "2 setactive", "2 killactive",
                          "0 apply ok", "2 apply ok"}));
}

TEST_F(PropertySheet, ApplyStaysOpenAndCancelResetsMadePages)
{
    plat_test::expectSheet([](UiSheet &s) {
        s.selectTab(1);
        s.page().type(1201, u"x");
        EXPECT_TRUE(s.state(IDC_PS_APPLYNOW).enabled) << "PSM_CHANGED enables Apply";
        s.apply();
        EXPECT_FALSE(s.state(IDC_PS_APPLYNOW).enabled);
        EXPECT_TRUE(IsWindowVisible(s.hwnd()));
        s.cancel();
    });
    EXPECT_EQ(runThreePages(), 0);
    EXPECT_EQ(g_log, (Log{"init 0", "0 setactive", "0 killactive", "init 1", "1 setactive", "1 killactive",
                          "0 apply apply", "1 apply apply", "1 querycancel", "0 reset", "1 reset"}));
}

TEST_F(PropertySheet, ARefusingPageKeepsTheTabAndTheSheet)
{
    g_refuseKill = 0;
    plat_test::expectSheet([](UiSheet &s) {
        s.selectTab(1);
        EXPECT_EQ(s.pageIndex(), 0);
        EXPECT_EQ(s.state(IDC_PS_TABCONTROL).selection, 0);
        s.ok();
        EXPECT_TRUE(IsWindow(s.hwnd())) << "OK is refused too";
        g_refuseKill = -1;
        s.ok();
    });
    EXPECT_EQ(runThreePages(), 1);
    EXPECT_EQ(g_log, (Log{"init 0", "0 setactive", "0 killactive", "0 killactive", "0 killactive", "0 apply ok"}));
}

TEST_F(PropertySheet, AnInvalidApplyKeepsTheSheetOpenOnThatPage)
{
    g_invalidApply = 2;
    plat_test::expectSheet([](UiSheet &s) {
        s.selectTab(2);
        s.selectTab(0);
        s.ok();
        EXPECT_EQ(s.pageIndex(), 2) << "the page that refused is shown";
        g_invalidApply = -1;
        s.ok();
    });
    EXPECT_EQ(runThreePages(), 1);
    EXPECT_EQ(g_log, (Log{"init 0", "0 setactive", "0 killactive", "init 2", "2 setactive", "2 killactive",
                          "0 setactive", "0 killactive", "0 apply ok", "2 apply ok", "2 setactive", "2 killactive",
                          "0 apply ok", "2 apply ok"}));
}

TEST_F(PropertySheet, AnUnhandledCancelOnAPageReachesTheSheet)
{
    plat_test::expectSheet([](UiSheet &s) {
        g_pageHandlesCancel = true;
        s.escape();
        EXPECT_TRUE(IsWindow(s.hwnd())) << "a page that handles IDCANCEL keeps it";
        g_pageHandlesCancel = false;
        s.escape();
    });
    EXPECT_EQ(runThreePages(), 0);
    EXPECT_EQ(g_log, (Log{"init 0", "0 setactive", "0 kept cancel", "0 querycancel", "0 reset"}));
}

TEST_F(PropertySheet, AModalDialogAndANestedWizardRoundTripFromAPage)
{
    plat_test::expectSheet([](UiSheet &s) {
        s.page().click(kOpenDialog);
        s.page().click(kOpenWizard);
        EXPECT_TRUE(IsWindowEnabled(s.hwnd())) << "the sheet is enabled again after its modal children";
        s.ok();
    });
    plat_test::expectDialog(kSmallDialog, [](UiWindow &d) {
        EXPECT_FALSE(IsWindowEnabled(GetWindow(d.hwnd(), GW_OWNER))) << "the sheet is disabled under it";
        d.click(IDOK);
    });
    plat_test::expectSheet([](UiSheet &w) {
        EXPECT_FALSE(w.state(IDC_PS_BACK).enabled);
        EXPECT_TRUE(w.state(IDC_PS_NEXT).visible);
        w.next();
        EXPECT_EQ(w.pageIndex(), 1);
        EXPECT_TRUE(w.state(IDC_PS_FINISH).visible);
        EXPECT_FALSE(w.state(IDC_PS_NEXT).visible);
        w.back();
        EXPECT_EQ(w.pageIndex(), 0);
        w.next();
        w.finish();
    });
    EXPECT_EQ(runThreePages(), 1);
    EXPECT_EQ(g_log, (Log{"init 0", "0 setactive", "dialog 5", "init 10", "10 setactive", "10 wiznext", "init 11",
                          "11 setactive", "11 wizback", "10 setactive", "10 wiznext", "11 setactive", "11 wizfinish",
                          "wizard 1", "0 killactive", "0 apply ok"}));
    const auto runs = plat::modal_log();
    ASSERT_EQ(runs.size(), 3u);
    EXPECT_EQ(runs[0].info.kind, plat::ModalKind::Dialog);
    EXPECT_EQ(runs[0].result, 5);
    EXPECT_EQ(runs[1].info.kind, plat::ModalKind::Sheet);
    EXPECT_EQ(runs[1].info.caption, u"Wizard");
    EXPECT_EQ(runs[2].info.caption, u"Printer");
}

struct Extended {
    PROPSHEETPAGEW page;
    int extra;
};

INT_PTR extendedProc(HWND, UINT msg, WPARAM, LPARAM lp)
{
    if (msg == WM_INITDIALOG)
        g_log.push_back("extra " + std::to_string(reinterpret_cast<const Extended *>(lp)->extra));
    return msg == WM_INITDIALOG;
}

TEST_F(PropertySheet, PageRecordsAreCopiedWithTheirPrivateBytes)
{
    Extended e{};
    e.page.dwSize = sizeof e;
    e.page.hInstance = g_module;
    e.page.pszTemplate = MAKEINTRESOURCEW(802);
    e.page.pfnDlgProc = extendedProc;
    e.extra = 1234;
    HPROPSHEETPAGE p = CreatePropertySheetPageW(&e.page);
    ASSERT_NE(p, nullptr);
    e.extra = 0; /* the sheet works on its copy */
    EXPECT_EQ(plat::propsheet_page_count(), 1u);
    PROPSHEETPAGEW tooSmall{};
    tooSmall.dwSize = 40;
    EXPECT_EQ(CreatePropertySheetPageW(&tooSmall), nullptr);
    plat_test::expectSheet([](UiSheet &s) { s.cancel(); });
    PROPSHEETHEADERW h{};
    h.dwSize = sizeof h;
    h.nPages = 1;
    h.phpage = &p;
    EXPECT_EQ(PropertySheetW(&h), 0);
    EXPECT_EQ(g_log, (Log{"extra 1234"}));
    EXPECT_EQ(plat::propsheet_page_count(), 0u) << "the sheet destroys its pages";
    EXPECT_FALSE(DestroyPropertySheetPage(p));
    h.nPages = 0;
    EXPECT_EQ(PropertySheetW(&h), -1) << "no pages";
}

PROPSHEETUI_INFO *g_hostInfo = nullptr;

LONG sheetCallback(PROPSHEETUI_INFO *info, LPARAM lParam)
{
    g_hostInfo = info;
    switch (info->Reason) {
    case PROPSHEETUI_REASON_INIT:
        for (auto [id, index] : {std::pair<WORD, int>{801, 0}, {802, 1}})
            if (!info->pfnComPropSheet(info->hComPropSheet, CPSFUNC_ADD_HPROPSHEETPAGE,
                                       reinterpret_cast<LPARAM>(makePage(id, index)), 0))
                return -1;
        info->UserData = 77;
        return 1;
    case PROPSHEETUI_REASON_GET_INFO_HEADER: {
        auto *h = reinterpret_cast<PROPSHEETUI_INFO_HEADER *>(lParam);
        h->Flags = PSUIHDRF_PROPTITLE | PSUIHDRF_NOAPPLYNOW;
        h->pTitle = const_cast<LPWSTR>(u"Office");
        return 1;
    }
    case PROPSHEETUI_REASON_SET_RESULT:
        info->Result = ULONG_PTR(reinterpret_cast<const SETRESULT_INFO *>(lParam)->Result);
        return 1;
    default:
        return 1;
    }
}

using HostEntry = LONG (*)(HWND, PFNPROPSHEETUI, LPARAM, DWORD *);

TEST_F(PropertySheet, TheCommonHostRunsTheCallbackAroundOneSheet)
{
    const plat::FakeExport exports[] = {{"CommonPropertySheetUIW", plat::to_farproc(CommonPropertySheetUIW)}};
    ASSERT_TRUE(plat::loader_register_fake(u"compstui.dll", nullptr, exports));
    HMODULE compstui = LoadLibraryW(u"compstui.dll");
    ASSERT_NE(compstui, nullptr);
    auto run = plat::proc_cast<HostEntry>(GetProcAddress(compstui, "CommonPropertySheetUIW"));
    ASSERT_NE(run, nullptr);
    plat_test::expectSheet([](UiSheet &s) {
        EXPECT_EQ(plat::modal_log().size(), 0u);
        EXPECT_EQ(s.item(IDC_PS_APPLYNOW), nullptr) << "PSUIHDRF_NOAPPLYNOW";
        EXPECT_EQ(g_hostInfo->UserData, 77u);
        /* A page's apply tells the host CPSUI_OK. */
        const LONG_PTR page = plat::compstui_log()[1].lParam1;
        EXPECT_EQ(g_hostInfo->pfnComPropSheet(g_hostInfo->hComPropSheet, CPSFUNC_SET_RESULT, page, CPSUI_OK), 1);
        EXPECT_EQ(g_hostInfo->pfnComPropSheet(g_hostInfo->hComPropSheet, CPSFUNC_GET_PAGECOUNT, 0, 0), 2);
        EXPECT_EQ(g_hostInfo->pfnComPropSheet(g_hostInfo->hComPropSheet, 3 /* not built */, 0, 0), -1);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_CALL_NOT_IMPLEMENTED));
        s.ok();
    });
    DWORD result = 99;
    EXPECT_EQ(run(nullptr, sheetCallback, 1234, &result), CPSUI_OK);
    EXPECT_EQ(result, DWORD(CPSUI_OK));
    std::vector<std::string> seen;
    for (const plat::CompstuiCall &c : plat::compstui_log())
        seen.push_back((c.reason ? "reason " : "function ") + std::to_string(c.code));
    /* Pages added during INIT, the header, SET_RESULT inside the host function, the count, DESTROY. */
    EXPECT_EQ(seen, (Log{"function 0", "function 0", "reason 0", "reason 1", "reason 3", "function 9", "function 8",
                         "function 3", "reason 2"}));
    EXPECT_EQ(plat::modal_log().back().info.caption, u"Properties for Office");
    FreeLibrary(compstui);
}

/* With no fake registered, "compstui.dll" is the outside module in the driver directory, running the same host. */
TEST_F(PropertySheet, TheOutsideHostModuleLoadsByItsWindowsName)
{
    HMODULE compstui = LoadLibraryW(u"compstui.dll");
    ASSERT_NE(compstui, nullptr) << plat::loader_last_failure();
    auto run = plat::proc_cast<HostEntry>(GetProcAddress(compstui, "CommonPropertySheetUIW"));
    ASSERT_NE(run, nullptr);
    EXPECT_NE(run, plat::proc_cast<HostEntry>(plat::to_farproc(CommonPropertySheetUIW))) << "the module's own export";
    plat_test::expectSheet([](UiSheet &s) {
        const LONG_PTR page = plat::compstui_log()[1].lParam1;
        EXPECT_EQ(g_hostInfo->pfnComPropSheet(g_hostInfo->hComPropSheet, CPSFUNC_SET_RESULT, page, CPSUI_OK), 1);
        s.ok();
    });
    DWORD result = 99;
    EXPECT_EQ(run(nullptr, sheetCallback, 1234, &result), CPSUI_OK);
    EXPECT_EQ(result, DWORD(CPSUI_OK));
    EXPECT_FALSE(plat::compstui_log().empty()) << "recorded by the platform's host";
    FreeLibrary(compstui);

    /* The HTML Help control loads the same way and its calls are recorded. */
    HMODULE hh = LoadLibraryW(u"hhctrl.ocx");
    ASSERT_NE(hh, nullptr) << plat::loader_last_failure();
    using HtmlHelp = HWND (*)(HWND, LPCWSTR, UINT, ULONG_PTR);
    auto help = plat::proc_cast<HtmlHelp>(GetProcAddress(hh, "HtmlHelpW"));
    ASSERT_NE(help, nullptr);
    EXPECT_NE(help(nullptr, u"C:\\drv\\tarvel.chm", HH_HELP_CONTEXT, 42730), nullptr);
    EXPECT_EQ(help(nullptr, nullptr, HH_CLOSE_ALL, 0), nullptr);
    const std::vector<plat::HelpCall> log = plat::help_log();
    ASSERT_EQ(log.size(), 2u);
    EXPECT_TRUE(log[0].html);
    EXPECT_EQ(log[0].file, u"C:\\drv\\tarvel.chm");
    EXPECT_EQ(log[0].command, UINT(HH_HELP_CONTEXT));
    EXPECT_EQ(log[0].data, ULONG_PTR(42730));
    EXPECT_EQ(log[1].command, UINT(HH_CLOSE_ALL));
    FreeLibrary(hh);
}

TEST_F(PropertySheet, ModesNotBuiltFailVisibly)
{
    HPROPSHEETPAGE p = makePage(801, 0);
    PROPSHEETHEADERW h{};
    h.dwSize = sizeof h;
    h.dwFlags = PSH_MODELESS;
    h.nPages = 1;
    h.phpage = &p;
    EXPECT_EQ(PropertySheetW(&h), -1);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    DestroyPropertySheetPage(p);
}

} // namespace

#include <plat/commdlg.h>

namespace {

class CommonDialogs : public plat_test::UiMachineTest {};

TEST_F(CommonDialogs, FileAndColourDialogsAreAnsweredByScripts)
{
    WCHAR file[64] = {};
    WCHAR title[16] = {};
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.lpstrFile = file;
    ofn.nMaxFile = 64;
    ofn.lpstrFileTitle = title;
    ofn.nMaxFileTitle = 16;
    plat::modal_expect(plat::ModalKind::OpenFile, nullptr,
                       [](plat::ModalRun &run) { run.path = u"C:\\forms\\cover.tif"; });
    ASSERT_TRUE(GetOpenFileNameW(&ofn));
    EXPECT_EQ(std::u16string(file), u"C:\\forms\\cover.tif");
    EXPECT_EQ(ofn.nFileOffset, 9);
    EXPECT_EQ(ofn.nFileExtension, 15);
    EXPECT_EQ(std::u16string(title), u"cover.tif");
    /* Cancelled, an error, a path too long for the buffer. */
    plat::modal_expect(plat::ModalKind::SaveFile, nullptr, [](plat::ModalRun &) {});
    EXPECT_FALSE(GetSaveFileNameW(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), 0u);
    plat::modal_expect(plat::ModalKind::OpenFile, nullptr,
                       [](plat::ModalRun &run) { run.error = FNERR_INVALIDFILENAME; });
    EXPECT_FALSE(GetOpenFileNameW(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), DWORD(FNERR_INVALIDFILENAME));
    ofn.nMaxFile = 5;
    plat::modal_expect(plat::ModalKind::OpenFile, nullptr, [](plat::ModalRun &run) { run.path = u"C:\\long.txt"; });
    EXPECT_FALSE(GetOpenFileNameW(&ofn));
    EXPECT_EQ(CommDlgExtendedError(), DWORD(FNERR_BUFFERTOOSMALL));
    EXPECT_EQ(file[0], 12);

    CHOOSECOLORW cc{};
    cc.lStructSize = sizeof cc;
    COLORREF custom[16] = {};
    cc.lpCustColors = custom;
    plat::modal_expect(plat::ModalKind::ChooseColour, nullptr, [](plat::ModalRun &run) {
        run.colour = RGB(1, 2, 3);
        run.chosen = true;
    });
    ASSERT_TRUE(ChooseColorW(&cc));
    EXPECT_EQ(cc.rgbResult, RGB(1, 2, 3));
}

TEST_F(CommonDialogs, HelpAndShellCallsAreRecorded)
{
    EXPECT_TRUE(WinHelpW(nullptr, u"tarvel.hlp", HELP_CONTEXTPOPUP, 1234));
    EXPECT_TRUE(WinHelpW(nullptr, u"tarvel.hlp", HELP_QUIT, 0));
    EXPECT_GT(reinterpret_cast<uintptr_t>(ShellExecuteW(nullptr, u"open", u"http://example.com", nullptr, nullptr,
                                                        SW_SHOWNORMAL)),
              32u);
    ASSERT_EQ(plat::help_log().size(), 2u);
    EXPECT_EQ(plat::help_log()[0].data, 1234u);
    EXPECT_EQ(plat::help_log()[1].command, UINT(HELP_QUIT));
    ASSERT_EQ(plat::shell_log().size(), 1u);
    EXPECT_EQ(plat::shell_log()[0].file, u"http://example.com");
}

TEST_F(CommonDialogs, AnUnscriptedFileDialogIsAFailureAndCancels)
{
    checkLeaks = false;
    WCHAR file[16] = {};
    OPENFILENAMEW ofn{};
    ofn.lStructSize = sizeof ofn;
    ofn.lpstrFile = file;
    ofn.nMaxFile = 16;
    EXPECT_FALSE(GetOpenFileNameW(&ofn));
    ASSERT_EQ(plat::modal_failures().size(), 1u);
    EXPECT_NE(plat::modal_failures()[0].find("unscripted open-file dialog"), std::string::npos);
}

} // namespace
