// The page framework's constant tables and the sheet state: the message to
// slot mapping of every row for the three page kinds, slot overrides, the
// conflict policy, the page catalogue and the tabs' children, the record
// accessors and the common buttons, settings sets (copies all or nothing),
// sheet contexts keeping working, initial and last-applied settings apart
// across apply and cancel, the page array, and the sheet state accessors.
#include "ui_test_support.h"

#include "ctl_handlers.h"
#include "pgf_dispatch.h"
#include "pgf_sheet.h"

#include <plat/controls.h>
#include <plat/fault.h>
#include <plat/memory.h>
#include <plat/prsht.h>

#include <set>

namespace {

using ui_test::UiTest;

class PgfRecords : public UiTest {};

TEST_F(PgfRecords, EveryMessageFindsItsSlotAndTheSlotFunctionOfItsKind)
{
    struct Row {
        UINT message;
        UINT code;
        LONG slot;
        SlotProc tab, child, dialog;
    } rows[] = {
        {WM_COMMAND, 0, 0, PGF_SlotTabCommand, PGF_SlotControlMessage, PGF_SlotControlMessage},
        {WM_INITDIALOG, 0, 1, PGF_SlotInitTab, PGF_SlotInitChild, PGF_SlotInitDialog},
        {WM_NOTIFY, PSN_SETACTIVE, 2, PGF_SlotSetActive, PGF_SlotSetActive, PGF_SlotSetActive},
        {WM_NOTIFY, PSN_KILLACTIVE, 3, PGF_SlotKillActive, PGF_SlotKillActive, PGF_SlotKillActive},
        {WM_NOTIFY, PSN_RESET, 4, PGF_SlotReset, PGF_SlotReset, PGF_SlotReset},
        {WM_NOTIFY, PSN_APPLY, 5, PGF_SlotApply, PGF_SlotApply, PGF_SlotApply},
        {WM_NOTIFY, PSN_HELP, 6, PGF_SlotHelp, PGF_SlotHelp, PGF_SlotHelp},
        {WM_NOTIFY, TCN_SELCHANGE, 7, nullptr, nullptr, nullptr},
        {WM_NOTIFY, PSN_WIZFINISH, 8, PGF_SlotWizFinish, PGF_SlotWizFinish, PGF_SlotWizFinish},
        {WM_VSCROLL, 0, 9, PGF_SlotControlMessage, PGF_SlotControlMessage, PGF_SlotControlMessage},
        {WM_HSCROLL, 0, 10, PGF_SlotControlMessage, PGF_SlotControlMessage, PGF_SlotControlMessage},
        {WM_HELP, 0, 11, PGF_SlotHelp, PGF_SlotHelp, PGF_SlotHelp},
        {WM_CONTEXTMENU, 0, 12, PGF_SlotHelp, PGF_SlotHelp, PGF_SlotHelp},
        {WM_MEASUREITEM, 0, 13, PGF_SlotMeasureItem, PGF_SlotMeasureItem, PGF_SlotMeasureItem},
        {WM_DRAWITEM, 0, 14, PGF_SlotControlMessage, PGF_SlotControlMessage, PGF_SlotControlMessage},
        {WM_ERASEBKGND, 0, 15, nullptr, nullptr, nullptr},
        {WM_VKEYTOITEM, 0, 16, PGF_SlotControlMessage, PGF_SlotControlMessage, PGF_SlotControlMessage},
        {WM_QUERYNEWPALETTE, 0, 17, PGF_SlotBroadcast, PGF_SlotBroadcast, PGF_SlotBroadcast},
        {WM_PALETTECHANGED, 0, 18, PGF_SlotBroadcast, PGF_SlotBroadcast, PGF_SlotBroadcast},
        {WM_PAINT, 0, 19, PGF_SlotBroadcast, PGF_SlotBroadcast, PGF_SlotBroadcast},
        {WM_MOUSEMOVE, 0, 20, nullptr, nullptr, nullptr},
        {WM_DESTROY, 0, 21, PGF_SlotDestroy, nullptr, nullptr},
        {2529, 0, 22, PGF_SlotGetPageId, PGF_SlotGetPageId, PGF_SlotGetPageId},
        {2530, 0, 23, PGF_SlotControlMessage, PGF_SlotControlMessage, PGF_SlotControlMessage},
        {2531, 0, 24, PGF_SlotControlMessage, PGF_SlotControlMessage, PGF_SlotControlMessage},
        {2528, 0, 25, PGF_SlotShowWarnings, PGF_SlotShowWarnings, PGF_SlotShowWarnings},
        {2532, 0, 26, PGF_SlotCycleValue, PGF_SlotCycleValue, PGF_SlotCycleValue},
        {2533, 0, 27, PGF_SlotControlMessage, PGF_SlotControlMessage, PGF_SlotControlMessage},
        {0x0019, 0, 28, PGF_SlotCtlColor, PGF_SlotCtlColor, PGF_SlotCtlColor},
        {WM_CTLCOLORSTATIC, 0, 29, PGF_SlotCtlColor, PGF_SlotCtlColor, PGF_SlotCtlColor},
        {WM_CTLCOLORLISTBOX, 0, 30, PGF_SlotCtlColor, PGF_SlotCtlColor, PGF_SlotCtlColor},
    };
    for (const Row &row : rows) {
        NMHDR header{nullptr, 0, row.code};
        const SlotProc expected[3] = {row.tab, row.child, row.dialog};
        const SHORT kinds[3] = {PGF_KIND_TAB, PGF_KIND_CHILD, PGF_KIND_DIALOG};
        for (int k = 0; k < 3; ++k) {
            SlotFunction f{};
            LONG slot = 99;
            ASSERT_TRUE(PGF_LookupSlot(row.message, 0, LPARAM(&header), kinds[k], &f, &slot)) << row.message;
            EXPECT_EQ(slot, row.slot) << row.message;
            EXPECT_EQ(f.proc, expected[k]) << "message " << row.message << " kind " << kinds[k];
        }
    }
    /* Slot 31 is empty in every table. */
    EXPECT_EQ(PGF_SlotTableTab[31], nullptr);
    EXPECT_EQ(PGF_SlotTableChild[31], nullptr);
    EXPECT_EQ(PGF_SlotTableDialog[31], nullptr);
}

TEST_F(PgfRecords, MessagesWithoutARowAreNotHandled)
{
    SlotFunction f{};
    LONG slot = 99;
    NMHDR queryCancel{nullptr, 0, PSN_QUERYCANCEL};
    EXPECT_FALSE(PGF_LookupSlot(WM_NOTIFY, 0, LPARAM(&queryCancel), PGF_KIND_TAB, &f, &slot));
    EXPECT_EQ(slot, -1);
    EXPECT_FALSE(PGF_LookupSlot(WM_NOTIFY, 0, 0, PGF_KIND_TAB, &f, &slot)); /* no header */
    EXPECT_FALSE(PGF_LookupSlot(WM_TIMER, 0, 0, PGF_KIND_TAB, &f, &slot));
    EXPECT_FALSE(PGF_LookupSlot(WM_COMMAND, 0, 0, 2, &f, &slot)); /* page kind 2 does not exist */
    EXPECT_EQ(slot, -1);
    /* A notification code that shares the low 16 bits of a listed one is another code. */
    NMHDR other{nullptr, 0, 0x0000FF38u};
    EXPECT_FALSE(PGF_LookupSlot(WM_NOTIFY, 0, LPARAM(&other), PGF_KIND_TAB, &f, &slot));
    EXPECT_EQ(PGF_DispatchMessage(nullptr, WM_COMMAND, 0, 0, 1, PGF_KIND_TAB, &f), 0); /* no slot function */
}

LRESULT ownSlot(HWND, UINT, WPARAM, LPARAM, LONG, SlotArgs *) { return 42; }
HBRUSH ownColour(HWND, UINT, WPARAM, LPARAM, LONG) { return reinterpret_cast<HBRUSH>(7); }

TEST_F(PgfRecords, OverridesReplaceOnlyTheWantedSlot)
{
    SlotFunction f{PGF_SlotHelp, nullptr};
    ASSERT_TRUE(PGF_OverrideSlot(ownSlot, 5, &f, 6)); /* another slot: unchanged */
    EXPECT_EQ(f.proc, PGF_SlotHelp);
    ASSERT_TRUE(PGF_OverrideSlot(ownSlot, 6, &f, 6));
    EXPECT_EQ(f.proc, ownSlot);
    EXPECT_FALSE(PGF_OverrideSlot(ownSlot, 31, &f, 6));
    EXPECT_FALSE(PGF_OverrideSlot(ownSlot, 6, &f, 31));
    EXPECT_FALSE(PGF_OverrideSlot(ownSlot, -1, &f, 6));
    EXPECT_FALSE(PGF_OverrideSlot(ownSlot, 6, nullptr, 6));
    ASSERT_TRUE(PGF_OverrideColorSlot(ownColour, 29, &f, 29));
    EXPECT_EQ(f.proc, nullptr);
    EXPECT_EQ(PGF_DispatchMessage(nullptr, WM_CTLCOLORSTATIC, 0, 0, 1, PGF_KIND_TAB, &f), 7);
}

TEST_F(PgfRecords, ConflictPolicy)
{
    std::set<WORD> seen;
    int rows = 0;
    for (const ConflictPolicyRow *row = PGF_ConflictPolicyTable; row->ddmid; ++row, ++rows)
        EXPECT_TRUE(seen.insert(row->ddmid).second) << row->ddmid << " listed twice";
    EXPECT_EQ(rows, 59);
    struct Case {
        WORD ddmid;
        BOOL hasValue;
        WORD mode;
    } cases[] = {
        {11, TRUE, 12},     {323, TRUE, 12},   {274, TRUE, 8},   {285, TRUE, 8},  {0x9001, TRUE, 16},
        {296, TRUE, 68},    {296, FALSE, 36},  {295, TRUE, 132}, {7, FALSE, 1},   {321, TRUE, 100},
        {262, TRUE, 68},    {298, TRUE, 36},   {1856, TRUE, 8},  {9, TRUE, 4},    {0, TRUE, 4},
    };
    for (const Case &c : cases)
        EXPECT_EQ(PGF_GetCheckMode(c.ddmid, c.hasValue), c.mode) << c.ddmid << " " << c.hasValue;
}

TEST_F(PgfRecords, PageCatalogueAndTabChildren)
{
    int kinds[5] = {};
    std::set<WORD> templates;
    for (const PageCatalogueEntry &e : PGF_PageCatalogue) {
        EXPECT_GE(e.pageId, 1);
        EXPECT_LE(e.pageId, PGF_MAX_PAGE_ID);
        EXPECT_TRUE(templates.insert(e.templateId).second) << e.templateId;
        ASSERT_TRUE(e.pageKind == 1 || e.pageKind == 3 || e.pageKind == 4);
        ++kinds[e.pageKind];
    }
    EXPECT_EQ(kinds[PGF_KIND_TAB], 12);
    EXPECT_EQ(kinds[PGF_KIND_CHILD], 10);
    EXPECT_EQ(kinds[PGF_KIND_DIALOG], 22);
    ASSERT_NE(PGF_FindCatalogueEntry(3856), nullptr);
    EXPECT_EQ(PGF_FindCatalogueEntry(3856)->pageId, 1);
    EXPECT_EQ(PGF_FindCatalogueEntry(2770)->pageKind, PGF_KIND_CHILD);
    EXPECT_EQ(PGF_FindCatalogueEntry(9900), nullptr);

    LONG count = 0;
    const LONG *children = PGF_GetTabChildren(3856, &count);
    ASSERT_NE(children, nullptr);
    ASSERT_EQ(count, 16);
    EXPECT_EQ(children[14], 54);
    EXPECT_EQ(children[15], 55);
    children = PGF_GetTabChildren(580, &count);
    ASSERT_EQ(count, 15);
    EXPECT_EQ(children[12], 58);
    EXPECT_NE(PGF_GetTabChildren(503, &count), nullptr);
    EXPECT_EQ(count, 0);
    EXPECT_EQ(PGF_GetTabChildren(529, &count), nullptr); /* a dialog, not a tab */
    /* Every child is a page of the catalogue. */
    for (const PageCatalogueEntry &e : PGF_PageCatalogue) {
        const LONG *list = PGF_GetTabChildren(e.templateId, &count);
        for (LONG i = 0; list && i < count; ++i) {
            bool found = false;
            for (const PageCatalogueEntry &c : PGF_PageCatalogue)
                found = found || c.pageId == list[i];
            EXPECT_TRUE(found) << list[i];
        }
    }
}

constexpr ControlItemRef kItems[] = {{268, 3}, {269, 3}};
constexpr ControlItemRef kOther[] = {{8, 0}};
const ControlDescriptor kTable[] = {
    {100, 2, kItems, CTL_KIND_NUMBER_EDIT, nullptr, nullptr, PGF_NONE, PGF_NONE, nullptr},
    {101, 2, kItems, CTL_KIND_SPIN, nullptr, nullptr, PGF_NONE, PGF_NONE, nullptr},
    {102, 1, kOther, CTL_KIND_OPTION_COMBO, nullptr, nullptr, PGF_NONE, PGF_NONE, nullptr},
    {PGF_NO_CONTROL, 0, nullptr, CTL_KIND_NONE, nullptr, nullptr, PGF_NONE, PGF_NONE, nullptr},
};

TEST_F(PgfRecords, RecordAccessorsAndCommonButtons)
{
    EXPECT_EQ(PGF_GetControlId(&kTable[1]), 101);
    EXPECT_EQ(PGF_GetControlId(nullptr), PGF_NO_CONTROL);
    EXPECT_EQ(PGF_GetControlItemCount(nullptr), -1);
    EXPECT_EQ(PGF_GetControlItemCount(&kTable[0]), 2);
    EXPECT_EQ(PGF_FindControl(kTable, 4, 102), &kTable[2]);
    EXPECT_EQ(PGF_FindControl(kTable, 4, 1092), nullptr);
    LONG position = 9;
    EXPECT_TRUE(PGF_FindControlItem(&kTable[0], 269, &position));
    EXPECT_EQ(position, 1);
    EXPECT_FALSE(PGF_FindControlItem(&kTable[0], 8, &position));
    EXPECT_EQ(position, 0);
    EXPECT_EQ(PGF_FindCompanionControl(kTable, 4, &kTable[1], CTL_KIND_NUMBER_EDIT), &kTable[0]);
    EXPECT_EQ(PGF_FindCompanionControl(kTable, 4, &kTable[2], CTL_KIND_NUMBER_EDIT), nullptr);
    EXPECT_EQ(PGF_GetControlAt(kTable, 4, 3), &kTable[3]);
    EXPECT_EQ(PGF_GetControlAt(kTable, 4, 4), nullptr);

    struct Button {
        LONG id;
        LONG action;
        bool staysEnabled;
    } buttons[] = {{1092, 1, true}, {1091, 2, true}, {2, 2, true}, {1090, 3, false}, {1341, 6, true}};
    for (const Button &b : buttons) {
        const ControlDescriptor *c = PGF_FindControlById(WM_COMMAND, MAKEWPARAM(b.id, BN_CLICKED), kTable, 4);
        ASSERT_NE(c, nullptr) << b.id;
        EXPECT_EQ(c->kind, CTL_KIND_BUTTON);
        EXPECT_EQ(static_cast<const ButtonAction *>(c->params)->action, b.action);
        EXPECT_EQ(c->displayRule != nullptr && (*c->displayRule & PGF_RULE_STAYS_ENABLED), b.staysEnabled);
    }
    EXPECT_EQ(PGF_FindControlById(WM_COMMAND, 555, kTable, 4), nullptr);
    EXPECT_EQ(PGF_FindControlById(WM_DRAWITEM, 102, kTable, 4), &kTable[2]);
    EXPECT_EQ(PGF_FindControlById(2533, 100, kTable, 4), &kTable[0]);
    EXPECT_EQ(PGF_FindControlById(WM_PAINT, 100, kTable, 4), nullptr);
    /* Descriptors without a window are never a message's target. */
    EXPECT_EQ(PGF_FindControlById(WM_COMMAND, WPARAM(LONG(PGF_NO_CONTROL)), kTable, 4), nullptr);

    EXPECT_EQ(PGF_GetKindHandler(CTL_KIND_NUMBER_EDIT), CTL_NumericEditHandler);
    EXPECT_EQ(PGF_GetKindHandler(CTL_KIND_NONE), nullptr);
    EXPECT_EQ(PGF_GetKindHandler(CTL_KIND_OWNER_DRAWN), nullptr);
    EXPECT_EQ(PGF_GetKindHandler(16), nullptr);
    int kinds = 0;
    for (const KindHandler *k = PGF_KindHandlers; k->kind; ++k)
        ++kinds;
    EXPECT_EQ(kinds, 14);
}

/* A settings set whose buffers begin with `mark`. */
void mark(SettingsSet &set, BYTE value)
{
    set.settings[0] = value;
    set.printerData[PGF_PRINTERDATA_BYTES - 1] = value;
}

TEST_F(PgfRecords, WorkingInitialAndLastAppliedStayApartAcrossApplyAndCancel)
{
    SheetState state{};
    SettingsSet opened{};
    ASSERT_TRUE(PGF_InitSettingsSet(&opened));
    mark(opened, 1);
    SheetContext *context = PGF_CreateSheetContext(nullptr, &state, &opened, nullptr);
    ASSERT_NE(context, nullptr);
    EXPECT_FALSE(PGF_IsSettingsSetValid(&context->lastApplied));
    EXPECT_NE(context->working.settings, opened.settings); /* copies, not the caller's buffers */

    /* Cancel before any Apply: back to the initial set. */
    mark(context->working, 2);
    ASSERT_TRUE(PGF_RestoreWorking(context, FALSE));
    EXPECT_EQ(context->working.settings[0], 1);
    EXPECT_EQ(context->working.printerData[PGF_PRINTERDATA_BYTES - 1], 1);

    /* Apply, change again, Cancel: back to what was applied; the initial set is untouched. */
    mark(context->working, 3);
    ASSERT_TRUE(PGF_SnapshotApplied(context));
    mark(context->working, 4);
    ASSERT_TRUE(PGF_RestoreWorking(context, FALSE));
    EXPECT_EQ(context->working.settings[0], 3);
    EXPECT_EQ(context->lastApplied.settings[0], 3);
    EXPECT_EQ(context->initial.settings[0], 1);
    /* A second Apply replaces the snapshot; restoring from the initial set is still possible. */
    mark(context->working, 5);
    ASSERT_TRUE(PGF_SnapshotApplied(context));
    EXPECT_EQ(context->lastApplied.settings[0], 5);
    ASSERT_TRUE(PGF_RestoreWorking(context, TRUE));
    EXPECT_EQ(context->working.settings[0], 1);

    /* A dialog's context over the opener's working set, with its last-applied set. */
    SheetContext *dialog = PGF_CreateSheetContext(reinterpret_cast<HWND>(1), &state, &context->working,
                                                  &context->lastApplied);
    ASSERT_NE(dialog, nullptr);
    EXPECT_EQ(dialog->lastApplied.settings[0], 5);
    EXPECT_EQ(dialog->initial.settings[0], 1);
    PGF_FreeSheetContext(&dialog);
    EXPECT_EQ(dialog, nullptr);

    PGF_FreeSheetContext(&context);
    PGF_FreeSheetContext(&context); /* a cleared pointer is accepted */
    PGF_FreeSettingsSet(&opened);
    EXPECT_EQ(PGF_CreateSheetContext(nullptr, nullptr, &opened, nullptr), nullptr);
    EXPECT_EQ(PGF_CreateSheetContext(nullptr, &state, &opened, nullptr), nullptr); /* freed: not valid */
}

TEST_F(PgfRecords, SetCopiesAreAllOrNothing)
{
    SettingsSet a{}, b{};
    ASSERT_TRUE(PGF_InitSettingsSet(&a));
    ASSERT_TRUE(PGF_InitSettingsSet(&b));
    mark(a, 7);
    a.faxList = static_cast<BYTE *>(GlobalAlloc(GPTR, 3));
    a.faxList[2] = 9;
    a.faxListSize = 3;
    b.faxList = static_cast<BYTE *>(GlobalAlloc(GPTR, 1));
    b.faxList[0] = 5;
    b.faxListSize = 1;
    /* The fax list copy cannot be made: the target keeps everything it had. */
    plat::fault_fail_alloc_after(1);
    EXPECT_FALSE(PGF_CopySettingsSet(&b, &a));
    plat::fault_fail_alloc_after(0);
    EXPECT_EQ(b.settings[0], 0);
    ASSERT_NE(b.faxList, nullptr);
    EXPECT_EQ(b.faxList[0], 5);
    EXPECT_EQ(b.faxListSize, 1);
    ASSERT_TRUE(PGF_CopySettingsSet(&b, &a));
    EXPECT_EQ(b.settings[0], 7);
    ASSERT_EQ(b.faxListSize, 3);
    EXPECT_EQ(b.faxList[2], 9);
    EXPECT_NE(b.faxList, a.faxList);
    SettingsSet invalid{};
    EXPECT_FALSE(PGF_CopySettingsSet(&invalid, &a));
    EXPECT_FALSE(PGF_CopySettingsSet(&a, &invalid));
    PGF_FreeSettingsSet(&a);
    PGF_FreeSettingsSet(&b);
    PGF_FreeSettingsSet(nullptr);

    /* A context that cannot be completed leaves nothing behind (the leak checker sees it). */
    SheetState state{};
    ASSERT_TRUE(PGF_InitSettingsSet(&a));
    for (int n = 1; n <= 12; ++n) {
        plat::fault_fail_alloc_after(n);
        SheetContext *context = PGF_CreateSheetContext(nullptr, &state, &a, &a);
        plat::fault_fail_alloc_after(0);
        PGF_FreeSheetContext(&context);
    }
    PGF_FreeSettingsSet(&a);
}

constexpr ControlDescriptor kFirst[] = {
    {1, 0, nullptr, CTL_KIND_NONE, nullptr, nullptr, PGF_NONE, PGF_NONE, nullptr}};
constexpr ControlDescriptor kSecond[] = {
    {2, 0, nullptr, CTL_KIND_NONE, nullptr, nullptr, PGF_NONE, PGF_NONE, nullptr},
    {3, 0, nullptr, CTL_KIND_NONE, nullptr, nullptr, PGF_NONE, PGF_NONE, nullptr}};
constexpr PageInfo kInfoA{kFirst, 1, 9999, nullptr, nullptr, 0};
constexpr PageInfo kInfoB{kSecond, 2, 9999, nullptr, nullptr, 0};
constexpr PageRecord kRecordA{7, &kInfoA, nullptr};
constexpr PageRecord kRecordB{7, &kInfoB, nullptr};
constexpr PageRecord kRecordC{60, &kInfoB, nullptr};
constexpr PageRecord kRecordBad{61, &kInfoB, nullptr};

TEST_F(PgfRecords, PageArrayKeepsTheFirstPageOfAnId)
{
    const PageRecord *list[] = {&kRecordA, &kRecordB, &kRecordC, &kRecordBad, nullptr};
    SheetState state{};
    state.pageArray = PGF_CreatePageArray(list, 5);
    ASSERT_NE(state.pageArray, nullptr);
    SettingsSet set{};
    ASSERT_TRUE(PGF_InitSettingsSet(&set));
    SheetContext *context = PGF_CreateSheetContext(nullptr, &state, &set, nullptr);
    ASSERT_NE(context, nullptr);
    plat::DialogTemplate t;
    t.style = WS_POPUP;
    HWND page = plat::dialog_create(t, nullptr, nullptr, nullptr, 0);
    ASSERT_NE(page, nullptr);
    SetWindowLongPtrW(page, DWLP_USER, LONG_PTR(context));

    EXPECT_EQ(PGF_GetSheetState(page), &state);
    EXPECT_EQ(PGF_GetPageData(page), context);
    EXPECT_EQ(PGF_GetPageControlCount(page, 7), 1); /* the first record of id 7 */
    EXPECT_EQ(PGF_GetPageControls(page, 7), kFirst);
    EXPECT_EQ(PGF_GetPageControlCount(page, 60), 2);
    EXPECT_EQ(PGF_GetPageControlCount(page, 61), -1);
    EXPECT_EQ(PGF_GetPageControlCount(page, -1), -1);
    EXPECT_EQ(PGF_GetPageControlCount(page, 8), -1); /* not in the sheet */
    const ControlDescriptor *controls = kFirst;
    LONG count = 0;
    EXPECT_FALSE(PGF_GetPageTable(page, 8, &controls, &count));
    EXPECT_EQ(controls, nullptr);
    EXPECT_EQ(count, -1);
    PageInfo *copy = PGF_GetPageInfo(page, 7);
    ASSERT_NE(copy, nullptr);
    EXPECT_NE(copy, &kInfoA); /* the sheet's own copy */
    copy->rebuild = 1;
    EXPECT_EQ(kInfoA.rebuild, 0u);
    BYTE *settings = nullptr, *printerData = nullptr;
    ASSERT_TRUE(PGF_GetWorkingSettings(page, &settings, &printerData));
    EXPECT_EQ(settings, context->working.settings);
    EXPECT_NE(PGF_GetOptionCache(&state), nullptr);

    DestroyWindow(page);
    PGF_FreeSheetContext(&context);
    PGF_FreePageArray(state.pageArray);
    PGF_FreeSettingsSet(&set);
    EXPECT_EQ(PGF_GetPageControlCount(nullptr, 7), -1);
    EXPECT_EQ(PGF_GetSheetState(nullptr), nullptr);
}

TEST_F(PgfRecords, SheetStateAccessors)
{
    SheetState state{};
    EXPECT_EQ(PGF_GetActivePageId(nullptr), -1);
    HWND tab = reinterpret_cast<HWND>(11), other = reinterpret_cast<HWND>(12);
    PGF_SetTooltipWindow(&state, PGF_KIND_TAB, tab);
    PGF_SetTooltipWindow(&state, PGF_KIND_DIALOG, other);
    EXPECT_EQ(PGF_GetTooltipWindow(&state, PGF_KIND_TAB), tab);
    EXPECT_EQ(PGF_GetTooltipWindow(&state, PGF_KIND_CHILD), other);
    EXPECT_EQ(PGF_GetTooltipWindow(nullptr, PGF_KIND_TAB), nullptr);

    /* The file-dialog text: at most 127 ANSI bytes. */
    std::u16string text(127, u'a');
    EXPECT_TRUE(PGF_SetFileDialogText(&state, text.c_str()));
    EXPECT_EQ(std::u16string(PGF_GetFileDialogText(&state)), text);
    EXPECT_FALSE(PGF_SetFileDialogText(&state, (text + u"b").c_str()));
    EXPECT_EQ(std::u16string(PGF_GetFileDialogText(&state)), text);
    EXPECT_FALSE(PGF_SetFileDialogText(&state, u"\u0394")); /* no ANSI form */

    /* A help path that does not fit leaves no help rather than the wrong file. */
    EXPECT_TRUE(PGF_SetHelpFile(&state, u"C:\\Driver\\tarvel.hlp"));
    EXPECT_EQ(std::u16string(PGF_GetHelpFile(&state)), u"C:\\Driver\\tarvel.hlp");
    const std::u16string longPath(PGF_HELP_FILE_CHARS, u'x');
    EXPECT_FALSE(PGF_SetHelpFile(&state, longPath.c_str()));
    EXPECT_EQ(std::u16string(PGF_GetHelpFile(&state)), u"");

    /* Locale unit: only with capability 0x800000. */
    EXPECT_TRUE(PGF_LoadLocaleUnit(&state));
    EXPECT_EQ(PGF_GetLocaleUnit(&state), 0);
    PGF_SetCurrentUnit(&state, 1);
    EXPECT_EQ(PGF_GetCurrentUnit(&state), 1);
    PGF_ResetCurrentUnit(&state);
    EXPECT_EQ(PGF_GetCurrentUnit(&state), 0);

    PGF_SetActionDone(&state, 1);
    EXPECT_EQ(PGF_GetActionDone(&state), 1);
    PGF_SetInitCheckDone(&state);
    EXPECT_EQ(PGF_GetInitCheckDone(&state), 1);
    PGF_ClearInitCheckDone(&state);
    EXPECT_EQ(PGF_GetInitCheckDone(&state), 0);

    ASSERT_TRUE(PGF_AllocTitleStrings(&state, 3 * sizeof(LPWSTR)));
    state.titleStrings[0] = static_cast<LPWSTR>(GlobalAlloc(GPTR, 8));
    PGF_FreeTitleStrings(&state); /* the titles too: the leak checker sees any left */
    EXPECT_EQ(state.titleStrings, nullptr);
}

} // namespace
