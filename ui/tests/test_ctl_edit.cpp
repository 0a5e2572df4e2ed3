// Edit fields on the framework's test page, through simulated typing: the
// text limit, numbers shown and stored in millimetres and inches, numbers
// outside the range and bad texts refused with the focus kept in the field,
// text fields checked against their character rules with the rule message,
// a double-byte text over its byte limit under code page 932 put back, the
// setting written when the field is left, page leave refused while a field
// holds a bad text, and no message on cancel or for a disabled field.
#include "ui_test_support.h"

#include "ctl_edit.h"
#include "pgf_sheet.h"

#include <tarvel/model_data/mdl_context.h>
#include <tarvel/settings/fid_defaults.h>

#include <plat/codepage.h>
#include <plat/controls.h>
#include <plat/dialog.h>
#include <plat/msgbox.h>
#include <plat/prsht.h>
#include <plat/resource.h>

#include <plat_test/ui_driver.h>

namespace {

using plat_test::UiWindow;
using ui_test::UiTest;

constexpr WORD kTemplate = 9900;
constexpr LONG kPageId = 51;
constexpr LONG kNumber = 9914, kName = 9924, kCheck = 9917;
constexpr WORD kMargin = 268;  /* binding margin: whole millimetres, stored in tenths */
constexpr WORD kCopies = 12;   /* copies: 1 to 999 */
constexpr WORD kFolder = 1829; /* a text setting */

constexpr EditNumberFormat kTenths{0, 1};
constexpr EditFieldRules kMarginRules{0x421, 4, nullptr, &kTenths, 0xFF, nullptr};
constexpr EditFieldRules kCopiesRules{0x21, 3, nullptr, nullptr, 0xFF, nullptr};
constexpr UINT kNameSingle[] = {9901, 0}, kNameDouble[] = {9902, 0}, kNameNoSingle[] = {9903, 0},
               kNameNoDouble[] = {9904, 0};
constexpr InputCharRules kNameChars{kNameSingle, kNameDouble, kNameNoSingle, kNameNoDouble, 447};
constexpr EditFieldRules kNameRules{0x102, 12, &kNameChars, nullptr, 0xFF, nullptr};
constexpr EditFieldParams kMarginField{&kMarginRules}, kCopiesField{&kCopiesRules}, kNameField{&kNameRules};
constexpr ControlItemRef kMarginItem[] = {{kMargin, 3}}, kCopiesItem[] = {{kCopies, 3}},
                         kFolderItem[] = {{kFolder, 3}};

const ControlDescriptor kMarginPage[] = {
    {kNumber, 1, kMarginItem, CTL_KIND_NUMBER_EDIT, nullptr, &kMarginField, 9931, PGF_NONE, nullptr},
    {kName, 1, kFolderItem, CTL_KIND_NUMBER_EDIT, nullptr, &kNameField, 9932, PGF_NONE, nullptr},
};
const ControlDescriptor kCopiesPage[] = {
    {kNumber, 1, kCopiesItem, CTL_KIND_NUMBER_EDIT, nullptr, &kCopiesField, 9931, PGF_NONE, nullptr},
    {kName, 1, kFolderItem, CTL_KIND_NUMBER_EDIT, nullptr, &kNameField, 9932, PGF_NONE, nullptr},
};
const PageInfo kMarginInfo{kMarginPage, 2, 9999, nullptr, nullptr, 0};
const PageInfo kCopiesInfo{kCopiesPage, 2, 9999, nullptr, nullptr, 0};

LRESULT initPage(HWND page, UINT, WPARAM, LPARAM lParam, LONG, SlotArgs *)
{
    SetWindowLongPtrW(page, DWLP_USER, lParam);
    return 1;
}

/* Activation and page leave give the code to every control, as the page lifecycle will. */
LRESULT activate(HWND, UINT, WPARAM, LPARAM, LONG, SlotArgs *args)
{
    PGF_NotifyControls(args->context, PSN_SETACTIVE, 0, 0, args->controls, args->controlCount, 0);
    return 0;
}

LRESULT leave(HWND page, UINT, WPARAM, LPARAM, LONG, SlotArgs *args)
{
    const LRESULT stay = PGF_NotifyControls(args->context, PSN_KILLACTIVE, 0, 0, args->controls,
                                            args->controlCount, 0);
    SetWindowLongPtrW(page, DWLP_MSGRESULT, stay);
    return stay;
}

LRESULT reset(HWND, UINT, WPARAM, LPARAM, LONG, SlotArgs *args)
{
    return PGF_NotifyControls(args->context, PSN_RESET, 0, 0, args->controls, args->controlCount, 0);
}

INT_PTR pageProc(HWND page, UINT message, WPARAM wParam, LPARAM lParam)
{
    SlotFunction function{};
    LONG slot = -1;
    if (!PGF_LookupSlot(message, wParam, lParam, PGF_KIND_DIALOG, &function, &slot))
        return 0;
    if (!PGF_OverrideSlot(initPage, 1, &function, slot) || !PGF_OverrideSlot(activate, 2, &function, slot) ||
        !PGF_OverrideSlot(leave, 3, &function, slot) || !PGF_OverrideSlot(reset, 4, &function, slot))
        return 0;
    return PGF_DispatchMessage(page, message, wParam, lParam, kPageId, PGF_KIND_DIALOG, &function);
}

class EditFields : public UiTest {
protected:
    void open(const PageInfo *info, SHORT unit)
    {
        install(ui_test::kColourPrinter, "TARVEL1.DDD");
        printer = std::make_unique<ui_test::Printer>(ui_test::kColourPrinter);
        ASSERT_NE(printer->handle, nullptr);
        model = MDL_Open(printer->handle);
        ASSERT_NE(model, nullptr);
        state.context = model;
        state.permitted = 1;
        state.currentUnit = unit;
        record = PageRecord{kPageId, info, nullptr};
        const PageRecord *records[] = {&record};
        state.pageArray = PGF_CreatePageArray(records, 1);
        SettingsSet opened{};
        ASSERT_TRUE(PGF_InitSettingsSet(&opened));
        ASSERT_TRUE(FID_InitDefaults(model, opened.settings, opened.printerData, ui_test::kColourPrinter));
        context = PGF_CreateSheetContext(nullptr, &state, &opened, nullptr);
        PGF_FreeSettingsSet(&opened);
        ASSERT_NE(context, nullptr);
        plat::DialogTemplate t;
        t.style = WS_POPUP;
        t.cx = 270;
        t.cy = 180;
        frame = plat::dialog_create(t, nullptr, nullptr, nullptr, 0);
        page = CreateDialogParamW(RES_GetResourceModule(), MAKEINTRESOURCEW(kTemplate), frame, pageProc,
                                  LPARAM(context));
        ASSERT_NE(page, nullptr);
        ShowWindow(page, SW_SHOW);
        plat::msgbox_clear();
    }
    void TearDown() override
    {
        if (page)
            notify(PSN_RESET); /* the sheet closes with Cancel: the fields drop their undo records */
        if (frame)
            DestroyWindow(frame);
        plat_test::pump();
        PGF_FreeSheetContext(&context);
        PGF_FreePageArray(state.pageArray);
        if (model)
            MDL_Close(model);
        printer.reset();
        plat::set_ansi_code_page(1252);
        UiTest::TearDown();
    }
    LRESULT notify(UINT code)
    {
        NMHDR header{frame, 0, code};
        return pageProc(page, WM_NOTIFY, 0, LPARAM(&header));
    }
    LONG stored(WORD ddmid)
    {
        WORD type = 0;
        LONG size = 0;
        BYTE slot[8] = {};
        EXPECT_EQ(DMB_GetValue(ddmid, context->working.settings, context->working.printerData, &type, &size, slot), 0);
        if (type == 1 || type == 2)
            return *reinterpret_cast<SHORT *>(slot);
        return *reinterpret_cast<LONG *>(slot);
    }
    std::u16string storedText(WORD ddmid)
    {
        WORD type = 0;
        LONG size = 0;
        BYTE slot[8] = {};
        EXPECT_EQ(DMB_GetValue(ddmid, context->working.settings, context->working.printerData, &type, &size, slot), 0);
        LPCWSTR text = nullptr;
        std::memcpy(&text, slot, sizeof(text));
        return text ? text : u"";
    }
    void put(WORD ddmid, LONG value)
    {
        WORD type = 0;
        LONG size = 0;
        BYTE slot[8] = {};
        ASSERT_EQ(DMB_GetValue(ddmid, context->working.settings, context->working.printerData, &type, &size, slot), 0);
        ASSERT_EQ(DMB_SetValue(ddmid, context->working.settings, context->working.printerData, type, size, &value), 0)
            << "type " << type << " size " << size;
    }
    std::u16string shown(LONG id) { return UiWindow(page).state(int(id)).text; }
    HWND focused() { return GetFocus(); }

    std::unique_ptr<ui_test::Printer> printer;
    ModelContext *model = nullptr;
    SheetState state{};
    SheetContext *context = nullptr;
    PageRecord record{};
    HWND frame = nullptr, page = nullptr;
};

TEST_F(EditFields, MillimetresShownAndStoredWhenTheFieldIsLeft)
{
    open(&kMarginInfo, 0);
    put(kMargin, 300);
    notify(PSN_SETACTIVE);
    EXPECT_EQ(shown(kNumber), u"30");
    EXPECT_EQ(SendDlgItemMessageW(page, kNumber, EM_GETLIMITTEXT, 0, 0), 4);
    UiWindow w(page);
    w.type(kNumber, u"25");
    EXPECT_EQ(stored(kMargin), 300); /* nothing written while typing */
    w.focus(kCheck);                 /* leaving the field writes it */
    EXPECT_EQ(stored(kMargin), 250);
    EXPECT_EQ(context->initial.settings[0], context->working.settings[0]);
    EXPECT_TRUE(plat::msgbox_log().empty());
}

TEST_F(EditFields, InchesShowOneDecimalAndTheLimitOfTheMarginSettings)
{
    open(&kMarginInfo, 1);
    struct Case {
        LONG stored;
        const char16_t *shown;
    } shownCases[] = {{300, u"1.2"}, {600, u"1.9"}, {0, u"0.0"}, {250, u"1.0"}};
    for (const Case &c : shownCases) {
        put(kMargin, c.stored);
        notify(PSN_SETACTIVE);
        EXPECT_EQ(shown(kNumber), c.shown) << c.stored;
        notify(PSN_RESET);
    }
    put(kMargin, 100);
    notify(PSN_SETACTIVE);
    struct Typed {
        const char16_t *text;
        LONG stored;
    } typed[] = {{u"1.2", 300}, {u"0.4", 100}, {u"1.9", 480}};
    UiWindow w(page);
    for (const Typed &t : typed) {
        w.type(kNumber, t.text);
        w.focus(kCheck);
        EXPECT_EQ(stored(kMargin), t.stored) << plat::utf16_to_utf8(t.text);
    }
    /* Two decimals in a one-decimal field: refused, the stored value shown again, the focus back. */
    w.type(kNumber, u"1.25");
    w.focus(kCheck);
    EXPECT_EQ(stored(kMargin), 480);
    EXPECT_EQ(shown(kNumber), u"1.9");
    EXPECT_EQ(focused(), GetDlgItem(page, kNumber));
}

TEST_F(EditFields, NumbersOutsideTheRangeAndBadTextsAreRefused)
{
    open(&kCopiesInfo, 0);
    put(kCopies, 2);
    notify(PSN_SETACTIVE);
    EXPECT_EQ(shown(kNumber), u"2");
    UiWindow w(page);
    struct Case {
        const char16_t *text;
        LONG stored;
        bool refused;
    } cases[] = {
        {u"5", 5, false},   {u"0", 5, true},  {u"abc", 5, true}, {u"-5", 5, true},
        {u"999", 999, false}, {u"", 999, true}, {u"1", 1, false},
    };
    for (const Case &c : cases) {
        w.type(kNumber, c.text);
        w.focus(kCheck);
        EXPECT_EQ(stored(kCopies), c.stored) << plat::utf16_to_utf8(c.text);
        if (c.refused) {
            EXPECT_EQ(focused(), GetDlgItem(page, kNumber)) << plat::utf16_to_utf8(c.text);
            EXPECT_EQ(shown(kNumber), std::u16string(plat::utf8_to_utf16(std::to_string(c.stored))));
        }
    }
    /* The field's limit keeps typing at three characters. */
    w.type(kNumber, u"12345", true);
    EXPECT_EQ(shown(kNumber), u"123");
}

TEST_F(EditFields, TextFieldsFollowTheirRulesAndShowTheRuleMessage)
{
    open(&kCopiesInfo, 0);
    notify(PSN_SETACTIVE);
    UiWindow w(page);
    w.type(kName, u"Reports");
    w.focus(kCheck);
    EXPECT_EQ(storedText(kFolder), u"Reports");
    EXPECT_TRUE(plat::msgbox_log().empty());

    /* A forbidden character: the rule message, the last accepted text back, the focus in the field. */
    w.type(kName, u"a/b");
    w.focus(kCheck);
    const auto log = plat::msgbox_log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].caption, u"Printer Settings");
    EXPECT_NE(log[0].text.find(u"characters, without the characters"), std::u16string::npos);
    EXPECT_EQ(log[0].style & MB_ICONEXCLAMATION, UINT(MB_ICONEXCLAMATION));
    EXPECT_EQ(storedText(kFolder), u"Reports");
    EXPECT_EQ(shown(kName), u"Reports");
    EXPECT_EQ(focused(), GetDlgItem(page, kName));

    /* Blanks only are refused (flag 0x100); leaving the page is refused while the field holds them. */
    plat::msgbox_clear();
    SetDlgItemTextW(page, kName, u"   ");
    EXPECT_EQ(notify(PSN_KILLACTIVE), 1);
    EXPECT_EQ(plat::msgbox_log().size(), 1u);
    EXPECT_EQ(storedText(kFolder), u"Reports");

    /* Cancel never shows a rule message. */
    plat::msgbox_clear();
    SetDlgItemTextW(page, kName, u"a|b");
    EXPECT_EQ(notify(PSN_RESET), 0);
    EXPECT_TRUE(plat::msgbox_log().empty());
}

TEST_F(EditFields, DoubleByteTextOverItsByteLimitIsPutBack)
{
    ASSERT_TRUE(plat::set_ansi_code_page(932));
    open(&kCopiesInfo, 0);
    notify(PSN_SETACTIVE);
    UiWindow w(page);
    const std::u16string six = u"\u65e5\u672c\u8a9e\u6587\u5b57\u5217"; /* 12 bytes */
    w.type(kName, six, true);
    EXPECT_EQ(shown(kName), six);
    EXPECT_EQ(storedText(kFolder), six); /* applied as typed */
    w.type(kName, six + u"\u6f22", true);  /* a seventh: 14 bytes */
    EXPECT_EQ(shown(kName), six);
    /* The caret is asked for at the byte limit (12), which the edit control holds at the text's end. */
    DWORD start = 0, end = 0;
    SendDlgItemMessageW(page, kName, EM_GETSEL, WPARAM(&start), LPARAM(&end));
    EXPECT_EQ(start, 6u);
    EXPECT_EQ(end, 6u);
    w.focus(kCheck);
    EXPECT_EQ(storedText(kFolder), six);
    EXPECT_TRUE(plat::msgbox_log().empty());
}

TEST_F(EditFields, ADisabledFieldIsNeverValidated)
{
    open(&kCopiesInfo, 0);
    notify(PSN_SETACTIVE);
    SetDlgItemTextW(page, kName, u"a/b");
    SetDlgItemTextW(page, kNumber, u"abc");
    EnableWindow(GetDlgItem(page, kName), FALSE);
    EnableWindow(GetDlgItem(page, kNumber), FALSE);
    EXPECT_EQ(notify(PSN_KILLACTIVE), 0);
    EXPECT_TRUE(plat::msgbox_log().empty());
}

TEST_F(EditFields, UnitConversionOfTheFieldSettings)
{
    SheetState inch{}, mm{};
    inch.currentUnit = 1;
    struct Case {
        const SheetState *state;
        WORD ddmid;
        int direction;
        LONG value;
        BOOL ok;
        LONG result;
        WORD flags;
        LONG decimals;
    } cases[] = {
        {&inch, 268, 2, 30, TRUE, 12, 0x461, 1},  {&inch, 268, 1, 12, TRUE, 30, 0x461, 1},
        {&inch, 268, 2, 60, TRUE, 19, 0x461, 1},  {&mm, 268, 2, 30, TRUE, 30, 0x421, 0},
        {&inch, 460, 2, 2100, TRUE, 827, 0x421, 2}, {&inch, 460, 1, 827, TRUE, 2101, 0x421, 2},
        {&mm, 461, 1, 2100, TRUE, 2100, 0x421, 1}, {&inch, 1863, 2, 2970, TRUE, 1169, 0x421, 2},
        {&inch, 8, 2, 5, FALSE, 5, 0x421, 7},     {&inch, 324, 2, -60, TRUE, -19, 0x461, 1},
    };
    for (const Case &c : cases) {
        LONG v = c.value;
        EditFormat format{0x421, 7};
        EXPECT_EQ(CTL_ConvertEditValue(c.state, c.ddmid, c.direction, &v, &format), c.ok) << c.ddmid;
        EXPECT_EQ(v, c.result) << c.ddmid << " " << c.value;
        EXPECT_EQ(format.flags, c.flags) << c.ddmid;
        EXPECT_EQ(format.decimals, c.decimals) << c.ddmid;
    }
}

} // namespace
