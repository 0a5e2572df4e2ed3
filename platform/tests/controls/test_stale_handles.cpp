/*
 * Stale control handles: property sheet pages, tree items (also those of a
 * destroyed tree) and the common property sheet host's handle, made and
 * destroyed round after round.  A destroyed object's handle is refused and
 * never reaches a later object, whatever memory the later one's record gets.
 */
#include <plat/compstui.h>
#include <plat/controls.h>
#include <plat/error.h>
#include <plat/prsht.h>
#include <plat/resource.h>

#include <plat_test/stale_handles.h>
#include <plat_test/ui_machine.h>

#include <gtest/gtest.h>

#include <set>
#include <vector>

namespace {

using plat_test::run_stale_handle_rounds;
using plat_test::StaleHandleKind;

class StaleControlHandles : public plat_test::UiMachineTest {};

/* What the dressed pages' callback saw. */
int g_releases = 0;
UINT g_parentRefs = 0;

UINT pageCallback(HWND, UINT msg, PROPSHEETPAGEW *)
{
    if (msg == PSPCB_RELEASE)
        ++g_releases;
    return 1;
}

HPROPSHEETPAGE makePage(bool dressed)
{
    PROPSHEETPAGEW p{};
    p.dwSize = sizeof p;
    p.pszTemplate = MAKEINTRESOURCEW(1);
    if (dressed) {
        /* Side data: a release callback and a reference on the parent's count. */
        p.dwFlags = PSP_USECALLBACK | PSP_USEREFPARENT;
        p.pfnCallback = pageCallback;
        p.pcRefParent = &g_parentRefs;
        p.lParam = 55;
    }
    return CreatePropertySheetPageW(&p);
}

TEST_F(StaleControlHandles, ADestroyedPagesHandleNeverReachesALaterPage)
{
    g_releases = 0;
    g_parentRefs = 0;
    int releases = 0;
    const StaleHandleKind page{
        "property sheet page",
        [&releases](bool dressed) {
            releases = g_releases;
            return reinterpret_cast<uintptr_t>(makePage(dressed));
        },
        [](uintptr_t h) { return DestroyPropertySheetPage(reinterpret_cast<HPROPSHEETPAGE>(h)) != FALSE; },
        [&releases](uintptr_t h) {
            auto stale = reinterpret_cast<HPROPSHEETPAGE>(h);
            PROPSHEETHEADERW sheet{};
            sheet.dwSize = sizeof sheet;
            sheet.nPages = 1;
            sheet.phpage = &stale;
            SetLastError(0);
            const bool sheetRefused = PropertySheetW(&sheet) == -1 && GetLastError() == DWORD(ERROR_INVALID_PARAMETER);
            SetLastError(0);
            const bool destroyRefused =
                !DestroyPropertySheetPage(stale) && GetLastError() == DWORD(ERROR_INVALID_HANDLE);
            /* Neither refusal reached the live page: its count and the dressed page's callback stay as they were. */
            return sheetRefused && destroyRefused && plat::propsheet_page_count() == 1 && g_releases == releases &&
                   g_parentRefs == 0;
        },
        [](uintptr_t) { return plat::propsheet_page_count() == 1 && g_parentRefs == 0; }};
    EXPECT_EQ(run_stale_handle_rounds(page, 2000), 2000);
    EXPECT_EQ(g_releases, 2000) << "each dressed page released once, by its own destroy";
    EXPECT_EQ(plat::propsheet_page_count(), 0u);
}

/* Tree view messages with an item handle. */
bool getItem(HWND tree, HTREEITEM item, TVITEMW *out)
{
    *out = TVITEMW{};
    out->mask = TVIF_PARAM | TVIF_STATE | TVIF_CHILDREN;
    out->hItem = item;
    return SendMessageW(tree, TVM_GETITEMW, 0, reinterpret_cast<LPARAM>(out)) != 0;
}

HTREEITEM insert(HWND tree, HTREEITEM parent, LPARAM param)
{
    TVINSERTSTRUCTW is{};
    is.hParent = parent;
    is.hInsertAfter = TVI_LAST;
    is.item.mask = TVIF_TEXT | TVIF_PARAM;
    is.item.pszText = const_cast<LPWSTR>(u"item");
    is.item.lParam = param;
    return reinterpret_cast<HTREEITEM>(SendMessageW(tree, TVM_INSERTITEMW, 0, reinterpret_cast<LPARAM>(&is)));
}

/* True when `tree` refuses every message on `item` as an item it does not have. */
bool treeRefuses(HWND tree, HTREEITEM item)
{
    TVITEMW got{};
    return !getItem(tree, item, &got) && !insert(tree, item, 1) &&
           !SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(item)) &&
           !SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(item)) &&
           SendMessageW(tree, TVM_GETNEXTITEM, TVGN_CHILD, reinterpret_cast<LPARAM>(item)) == 0 &&
           !SendMessageW(tree, TVM_DELETEITEM, 0, reinterpret_cast<LPARAM>(item));
}

TEST_F(StaleControlHandles, ADeletedTreeItemsHandleNeverReachesALaterItem)
{
    HWND tree = CreateWindowExW(0, WC_TREEVIEWW, u"", WS_POPUP, 0, 0, 200, 200, nullptr, nullptr, nullptr, nullptr);
    ASSERT_NE(tree, nullptr);
    const StaleHandleKind item{
        /* Side data: a dressed item has a parameter, a child, and is expanded and selected. */
        "tree item",
        [tree](bool dressed) {
            HTREEITEM h = insert(tree, TVI_ROOT, dressed ? 77 : 0);
            if (h && dressed) {
                insert(tree, h, 78);
                SendMessageW(tree, TVM_EXPAND, TVE_EXPAND, reinterpret_cast<LPARAM>(h));
                SendMessageW(tree, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(h));
            }
            return reinterpret_cast<uintptr_t>(h);
        },
        [tree](uintptr_t h) { return SendMessageW(tree, TVM_DELETEITEM, 0, LPARAM(h)) != 0; },
        [tree](uintptr_t h) { return treeRefuses(tree, reinterpret_cast<HTREEITEM>(h)); },
        [tree](uintptr_t h) {
            TVITEMW got{};
            return getItem(tree, reinterpret_cast<HTREEITEM>(h), &got) && got.lParam == 0 && got.state == 0 &&
                   got.cChildren == 0 && SendMessageW(tree, TVM_GETCOUNT, 0, 0) == 1;
        }};
    EXPECT_EQ(run_stale_handle_rounds(item, 2000), 2000);
    DestroyWindow(tree);
}

TEST_F(StaleControlHandles, AnItemOfAnotherOrDestroyedTreeNamesNothing)
{
    /* Each round: a tree with a dressed item is destroyed and a new tree gets an item; the old item names nothing. */
    std::set<HTREEITEM> seen;
    for (int round = 0; round < 300; ++round) {
        SCOPED_TRACE(round);
        HWND old = CreateWindowExW(0, WC_TREEVIEWW, u"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(old, nullptr);
        HTREEITEM oldItem = insert(old, TVI_ROOT, 77);
        ASSERT_NE(oldItem, nullptr);
        SendMessageW(old, TVM_SELECTITEM, TVGN_CARET, reinterpret_cast<LPARAM>(oldItem));
        HWND other = CreateWindowExW(0, WC_TREEVIEWW, u"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(other, nullptr);
        EXPECT_TRUE(treeRefuses(other, oldItem)) << "an item of a live tree named one of another tree";
        ASSERT_TRUE(DestroyWindow(old));
        HWND fresh = CreateWindowExW(0, WC_TREEVIEWW, u"", WS_POPUP, 0, 0, 100, 100, nullptr, nullptr, nullptr, nullptr);
        ASSERT_NE(fresh, nullptr);
        HTREEITEM freshItem = insert(fresh, TVI_ROOT, 0);
        ASSERT_NE(freshItem, nullptr);
        EXPECT_NE(freshItem, oldItem);
        EXPECT_TRUE(seen.insert(oldItem).second && seen.insert(freshItem).second) << "an item handle came back";
        EXPECT_TRUE(treeRefuses(fresh, oldItem)) << "a destroyed tree's item named an item of a new tree";
        TVITEMW got{};
        EXPECT_TRUE(getItem(fresh, freshItem, &got));
        EXPECT_EQ(got.lParam, 0);
        EXPECT_EQ(got.state, 0u) << "the new item is not selected as the old one was";
        EXPECT_TRUE(DestroyWindow(fresh));
        EXPECT_TRUE(DestroyWindow(other));
        if (HasFailure())
            return;
    }
}

/* The host handles two runs of the common host saw, and what the second saw of the first. */
struct HostRun {
    HANDLE handle = nullptr;
    PFNCOMPROPSHEET function = nullptr;
    HANDLE earlier = nullptr;        /* the previous run's handle, tried from inside this run */
    LONG_PTR earlierAnswer = 0;
    DWORD earlierError = 0;
    LONG_PTR pagesAtStart = -2;
    LONG_PTR pagesAdded = -2;
};
HostRun g_run;

/* A driver's callback that adds one page and then fails INIT, so that no sheet is shown. */
LONG hostCallback(PROPSHEETUI_INFO *info, LPARAM)
{
    if (info->Reason != PROPSHEETUI_REASON_INIT)
        return 1;
    g_run.handle = info->hComPropSheet;
    g_run.function = info->pfnComPropSheet;
    g_run.pagesAtStart = info->pfnComPropSheet(info->hComPropSheet, CPSFUNC_GET_PAGECOUNT, 0, 0);
    if (g_run.earlier) {
        HPROPSHEETPAGE extra = makePage(false);
        SetLastError(0);
        g_run.earlierAnswer = info->pfnComPropSheet(g_run.earlier, CPSFUNC_ADD_HPROPSHEETPAGE,
                                                    reinterpret_cast<LPARAM>(extra), 0);
        g_run.earlierError = GetLastError();
        if (g_run.earlierAnswer == -1) /* no host took it */
            DestroyPropertySheetPage(extra);
    }
    info->pfnComPropSheet(info->hComPropSheet, CPSFUNC_ADD_HPROPSHEETPAGE, reinterpret_cast<LPARAM>(makePage(false)),
                          0);
    g_run.pagesAdded = info->pfnComPropSheet(info->hComPropSheet, CPSFUNC_GET_PAGECOUNT, 0, 0);
    return -1;
}

TEST_F(StaleControlHandles, TheCommonHostsHandleDiesWithItsRun)
{
    std::set<HANDLE> seen;
    HANDLE earlier = nullptr;
    for (int round = 0; round < 500; ++round) {
        SCOPED_TRACE(round);
        g_run = HostRun{};
        g_run.earlier = earlier;
        EXPECT_EQ(CommonPropertySheetUIW(nullptr, hostCallback, 0, nullptr), -1);
        ASSERT_NE(g_run.handle, nullptr);
        EXPECT_TRUE(seen.insert(g_run.handle).second) << "a host handle came back";
        EXPECT_EQ(g_run.pagesAtStart, 0) << "a run starts with none of an earlier run's pages";
        EXPECT_EQ(g_run.pagesAdded, 1);
        if (earlier) {
            EXPECT_EQ(g_run.earlierAnswer, -1) << "an earlier run's handle reached this run's host";
            EXPECT_EQ(g_run.earlierError, DWORD(ERROR_INVALID_HANDLE));
        }
        /* After its run, the handle is refused. */
        SetLastError(0);
        EXPECT_EQ(g_run.function(g_run.handle, CPSFUNC_GET_PAGECOUNT, 0, 0), -1);
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_HANDLE));
        EXPECT_EQ(plat::propsheet_page_count(), 0u) << "the host destroys the pages added";
        earlier = g_run.handle;
        if (HasFailure())
            return;
    }
}

} // namespace
