/*
 * Conflict messages: the box of each outcome kind (text, caption, style)
 * and the scripted answer mapped to its code, the list texts, value texts,
 * number formatting, the change classification and the range checks.
 */
#include "cnf_messages.h"
#include "test_cnf_support.h"

#include <plat/msgbox.h>

namespace {

using namespace cnf_test;
using mw::vUShort;

const HWND kWindow = reinterpret_cast<HWND>(0x1234);
constexpr UINT kWarning = MB_OK | MB_ICONWARNING;
constexpr UINT kQuestion = MB_OKCANCEL | MB_ICONINFORMATION;

std::string u8(const std::u16string &s) { return plat::utf16_to_utf8(s); }

class CnfMessagesTest : public CnfTest {
protected:
    /* 453's option 2 carries one forward rule of `kind`: 345 is 1 and 388 is 400; it sets both to 0. */
    void installConflict(WORD kind, std::vector<mw::Condition> extra = {}, bool capability48 = false)
    {
        RuleModel rm;
        std::vector<mw::Condition> entries = {entry(345, 1, vUShort(1), 1), entry(388, 1, vUShort(400), 1)};
        entries.insert(entries.end(), extra.begin(), extra.end());
        entries.back().connector = 4;
        rm.forward(rule(on453(2), kind, entries, {action(345, vUShort(0)), action(388, vUShort(0)), action(342, vUShort(1))}));
        rm.onOption2.forward = {0};
        rm.otherFeatures = {{345, {}}, {388, {}}};
        if (capability48)
            rm.m.main.entries[39] = mw::eU32s({(1u << 0) | (1u << 1) | (1u << 7) | (1u << 16), 0});
        installModel(rm);
        setAll({{345, 1}, {388, 400}});
        plat::msgbox_clear();
    }
    /* Evaluates 453 = 2 (or its current value) and shows the message. */
    WORD evaluateAndShow(bool withValue = true, LPCWSTR extraConflicts = nullptr, LPCWSTR extraChanges = nullptr)
    {
        const WORD two = 2;
        CNF_ResetChangeList(list_);
        EXPECT_EQ(CNF_Evaluate(0, printer(), ctx(), rec_.dm(), rec_.pd(), nullptr, kOwner, SVT_UINT16,
                               &two, list_, nullptr, 0),
                  0);
        const SettingsRef r = ref();
        const CnfValue v{kOwner, SVT_UINT16, withValue ? &two : nullptr};
        return CNF_ShowConflictMessage(kWindow, &r, &v, extraConflicts, extraChanges, list_);
    }
    static std::vector<plat::MsgBoxRecord> boxes() { return plat::msgbox_log(); }
};

const char *kConflicts = "Setting 345: Option 1\nSetting 388: Option 400";
const char *kChanges = "Setting 345: Option 0\nSetting 388: Option 0";

TEST_F(CnfMessagesTest, ConflictWarning)
{
    installConflict(2);
    EXPECT_EQ(evaluateAndShow(), CNF_PROMPT_KEEP);
    auto log = boxes();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(u8(log[0].text), std::string("Setting 453 cannot be set to Option 2 because of these settings:\n\n") +
                                   kConflicts);
    EXPECT_EQ(u8(log[0].caption), "Printer Settings");
    EXPECT_EQ(log[0].style, kWarning);
    EXPECT_EQ(log[0].owner, kWindow);
    plat::msgbox_clear();
    EXPECT_EQ(evaluateAndShow(false, u"Extra"), CNF_PROMPT_KEEP);
    log = boxes();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(u8(log[0].text), std::string("Setting 453 cannot be changed because of these settings:\n\n") +
                                   kConflicts + "\nExtra");
}

TEST_F(CnfMessagesTest, ConflictWarningSuppressedByCapability48)
{
    installConflict(2, {}, true);
    EXPECT_EQ(evaluateAndShow(), CNF_PROMPT_KEEP);
    EXPECT_TRUE(boxes().empty());
}

TEST_F(CnfMessagesTest, ConflictQuestions)
{
    struct Row {
        WORD kind;
        int answer;
        WORD code;
    } rows[] = {{3, IDOK, 9}, {3, IDCANCEL, 3}, {8, IDOK, 9}, {8, IDCANCEL, 10}};
    for (const Row &row : rows) {
        installConflict(row.kind);
        plat::msgbox_script(row.answer);
        EXPECT_EQ(evaluateAndShow(true, nullptr, u"More"), row.code) << row.kind;
        auto log = boxes();
        ASSERT_EQ(log.size(), 1u);
        EXPECT_EQ(u8(log[0].text), std::string("Setting Setting 453 to Option 2 conflicts with these settings:\n\n") +
                                       kConflicts + "\n\nThese settings will be changed:\n\n" + kChanges +
                                       "\nMore\n\nClick OK to change them, or Cancel to keep the current setting.");
        EXPECT_EQ(log[0].style, kQuestion);
        TearDown();
        SetUp();
    }
    installConflict(3);
    EXPECT_EQ(evaluateAndShow(false), CNF_PROMPT_GO_ON) << "an unscripted box answers OK";
    EXPECT_EQ(u8(boxes()[0].text), std::string("Changing Setting 453 conflicts with these settings:\n\n") + kConflicts +
                                       "\n\nThese settings will be changed:\n\n" + kChanges +
                                       "\n\nClick OK to change them, or Cancel to keep the current setting.");
}

TEST_F(CnfMessagesTest, ConflictListWarningAndValueWarnings)
{
    struct Row {
        WORD kind;
        WORD code;
        std::string text;
    } rows[] = {
        {7, 10, std::string("Setting 453 cannot be changed while these settings are in use:\n\n") + kConflicts},
        {10, 3, "Option 2 cannot be used for Setting 453 with the current settings."},
        {11, 3, "Option 2 cannot be used for Setting 453 with the current settings."},
        {12, 3, "Option 2 cannot be used for Setting 453 with this paper."},
        {13, 3, "Option 2 cannot be used for Setting 453 with this paper."},
    };
    for (const Row &row : rows) {
        installConflict(row.kind);
        plat::msgbox_script(IDCANCEL);
        EXPECT_EQ(evaluateAndShow(), row.code) << row.kind;
        auto log = boxes();
        ASSERT_EQ(log.size(), 1u);
        EXPECT_EQ(u8(log[0].text), row.text);
        EXPECT_EQ(log[0].style, kWarning);
        TearDown();
        SetUp();
    }
}

TEST_F(CnfMessagesTest, KindsWithoutMessages)
{
    for (auto [kind, code] : {std::pair<WORD, WORD>{0, 9}, {4, 9}, {9, 9}, {6, 1}, {1, 1}, {15, 1}}) {
        installConflict(kind);
        EXPECT_EQ(evaluateAndShow(), code) << kind;
        EXPECT_TRUE(boxes().empty());
        TearDown();
        SetUp();
    }
    installConflict(2);
    const SettingsRef r = ref();
    EXPECT_EQ(CNF_ShowConflictMessage(kWindow, &r, nullptr, nullptr, nullptr, list_), 1);
    EXPECT_EQ(CNF_ShowConflictMessage(kWindow, nullptr, nullptr, nullptr, nullptr, list_), 1);
}

TEST_F(CnfMessagesTest, DependentOptionQuestion)
{
    installConflict(5, {entry(320, 1, vUShort(3), 4)});
    setAll({{7, 1}, {295, 1}, {320, 3}});
    plat::msgbox_script(IDOK);
    EXPECT_EQ(evaluateAndShow(), CNF_PROMPT_GO_ON);
    auto log = boxes();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(u8(log[0].text), std::string("Setting Setting 453 to Option 2 needs Staple.\n\nThese settings will be "
                                           "changed:\n\n") +
                                   kChanges + "\n\nClick OK to change them, or Cancel to keep the current setting.");
    EXPECT_EQ(log[0].style, kQuestion);
    plat::msgbox_clear();
    plat::msgbox_script(IDCANCEL);
    EXPECT_EQ(evaluateAndShow(), CNF_PROMPT_KEEP);
    TearDown();
    SetUp();
    installConflict(5);
    EXPECT_EQ(evaluateAndShow(), CNF_PROMPT_KEEP) << "no entry on 267 or 320: no question";
    EXPECT_TRUE(boxes().empty());
}

/* The conflict list never names the setting being changed. */
TEST_F(CnfMessagesTest, ConflictListLeavesOutTheSettingUnderTest)
{
    installConflict(7, {entry(kOwner, 2, vUShort(9), 1), entry(342, 1, vUShort(0), 1)});
    EXPECT_EQ(evaluateAndShow(), CNF_PROMPT_CANCEL_CHANGE);
    EXPECT_EQ(u8(boxes().at(0).text),
              std::string("Setting 453 cannot be changed while these settings are in use:\n\n") + kConflicts);
}

TEST_F(CnfMessagesTest, FollowUpWarning)
{
    installConflict(9);
    const WORD two = 2;
    ASSERT_EQ(CNF_Evaluate(0, printer(), ctx(), rec_.dm(), rec_.pd(), nullptr, kOwner, SVT_UINT16, &two, list_,
                           nullptr, 0),
              0);
    const SettingsRef r = ref();
    EXPECT_EQ(CNF_ShowFollowUpMessage(kWindow, &r, list_), CNF_PROMPT_CHANGED);
    auto log = boxes();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(u8(log[0].text), std::string("These settings were changed to match your choice:\n\n") + kChanges);
    EXPECT_EQ(log[0].style, kWarning);
    TearDown();
    SetUp();
    installConflict(3);
    ASSERT_EQ(CNF_Evaluate(0, printer(), ctx(), rec_.dm(), rec_.pd(), nullptr, kOwner, SVT_UINT16, &two, list_,
                           nullptr, 0),
              0);
    const SettingsRef r2 = ref();
    EXPECT_EQ(CNF_ShowFollowUpMessage(kWindow, &r2, list_), CNF_PROMPT_CHANGED);
    EXPECT_TRUE(boxes().empty()) << "no kind-9 rule fired";
}

TEST_F(CnfMessagesTest, ControlConfirmation)
{
    installConflict(3);
    const WORD ids[] = {345, 388, 342, 345};
    plat::msgbox_script(IDOK);
    EXPECT_EQ(CNF_ConfirmControlChange(kWindow, ctx(), rec_.dm(), rec_.pd(), ids, 4), 0);
    auto log = boxes();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(u8(log[0].text), std::string("These settings will be changed:\n\n") + kConflicts +
                                   "\n\nClick OK to continue, or Cancel to keep the current settings.");
    EXPECT_EQ(log[0].style, kQuestion);
    plat::msgbox_script(IDCANCEL);
    EXPECT_EQ(CNF_ConfirmControlChange(kWindow, ctx(), rec_.dm(), rec_.pd(), ids, 2), 8);
    plat::msgbox_clear();
    const WORD hidden[] = {342, 343, 8205};
    EXPECT_EQ(CNF_ConfirmControlChange(kWindow, ctx(), rec_.dm(), rec_.pd(), hidden, 3), 0);
    EXPECT_TRUE(boxes().empty());
    EXPECT_EQ(CNF_ConfirmControlChange(kWindow, ctx(), rec_.dm(), rec_.pd(), ids, 0), 1);
    EXPECT_EQ(CNF_ConfirmControlChange(kWindow, nullptr, rec_.dm(), rec_.pd(), ids, 2), 1);
}

TEST_F(CnfMessagesTest, SettingsListNames270OnlyWhile5202IsNot1)
{
    installConflict(3);
    const SettingsRef r = ref();
    const WORD ids[] = {270, 345, 0};
    LPWSTR text = nullptr;
    ASSERT_TRUE(CNF_BuildSettingText(&text, nullptr, &r, ids, 0, -3, nullptr));
    EXPECT_EQ(fid_test::u8(text).find("Colour Mode"), 0u);
    GlobalFree(text);
    set(5202, 1);
    ASSERT_TRUE(CNF_BuildSettingText(&text, nullptr, &r, ids, 0, -3, nullptr));
    EXPECT_EQ(fid_test::u8(text), "Setting 345: Option 1");
    GlobalFree(text);
    ASSERT_TRUE(CNF_BuildSettingText(&text, nullptr, &r, ids + 1, 1, 713, nullptr));
    EXPECT_EQ(fid_test::u8(text), "The layout cannot be printed with these settings:\n\nSetting 345: Option 1");
    GlobalFree(text);
    const WORD none[] = {342, 0};
    EXPECT_FALSE(CNF_BuildSettingText(&text, nullptr, &r, none, 0, -3, nullptr));
    EXPECT_EQ(text, nullptr);
}

TEST_F(CnfMessagesTest, ValueAndLayoutMessages)
{
    installConflict(3);
    const SettingsRef r = ref();
    const LONG low = 5, high = 2505;
    EXPECT_EQ(CNF_ShowValueWarning(kWindow, &r, 10, 0, 345, nullptr, SVT_INT32, &low, &high, nullptr), 0);
    auto log = boxes();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(u8(log[0].text), "Setting 345 must be between 0.5 and 250.5.");
    EXPECT_EQ(log[0].style, kWarning);
    EXPECT_EQ(CNF_ShowValueWarning(kWindow, &r, 10, 0, 345, u"Width", 9, &low, &high, nullptr), 1);

    plat::msgbox_clear();
    const WORD ids[] = {345, 388, 0};
    const WORD two = 2;
    const CnfValue v{kOwner, SVT_UINT16, &two};
    EXPECT_EQ(CNF_ShowLayoutMessage(0x11, kWindow, &r, &v, nullptr, nullptr, ids), 0);
    plat::msgbox_script(IDCANCEL);
    EXPECT_EQ(CNF_ShowLayoutMessage(0x02, kWindow, &r, &v, nullptr, nullptr, ids), 1);
    plat::msgbox_script(IDOK);
    EXPECT_EQ(CNF_ShowLayoutMessage(0x00, kWindow, &r, &v, u"Poster", u"2 x 2", ids), 0);
    log = boxes();
    ASSERT_EQ(log.size(), 3u);
    EXPECT_EQ(u8(log[0].text), std::string("With Setting 453 set to Option 2 the printed page is too small for the "
                                           "poster layout. Check these settings:\n\n") +
                                   kConflicts);
    EXPECT_EQ(log[0].style, MB_OK | MB_ICONEXCLAMATION);
    EXPECT_EQ(u8(log[1].text), std::string("The layout does not fit the paper with these settings:\n\n") + kConflicts);
    EXPECT_EQ(log[1].style, kQuestion);
    EXPECT_EQ(u8(log[2].text), std::string("With Poster set to 2 x 2 the printed page is too large for the poster "
                                           "layout. Check these settings:\n\n") +
                                   kConflicts);
}

/* The poster fit with its message: 14 shows string 716 in an exclamation box with OK only. */
TEST_F(CnfMessagesTest, LayoutFitAndWarn)
{
    for (bool named : {true, false}) {
        RuleModel rm;
        rm.otherFeatures = {{263, {}}};
        if (named)
            rm.otherFeatures.push_back({1281, {}});
        installModel(rm);
        setAll({{296, 0x203}, {321, 1}, {1281, 1}, {262, 267}, {8, 9}, {263, 400}});
        plat::msgbox_clear();
        const SettingsRef r = ref();
        const WORD layout = 0x203;
        const CnfValue v{296, SVT_UINT16, &layout};
        if (!named) {
            EXPECT_EQ(CNF_CheckLayoutFitAndWarn(kWindow, &r, &v), CNF_PROMPT_KEEP) << "the text cannot be built";
            EXPECT_TRUE(boxes().empty());
            break;
        }
        EXPECT_EQ(CNF_CheckLayoutFitAndWarn(kWindow, &r, &v), CNF_PROMPT_GO_ON) << "13: the page is too small";
        auto log = boxes();
        ASSERT_EQ(log.size(), 1u);
        EXPECT_EQ(u8(log[0].text).substr(0, 70), "With Poster set to Poster the printed page is too small for the poster");
        set(263, 2);
        plat::msgbox_clear();
        plat::msgbox_script(IDOK);
        EXPECT_EQ(CNF_CheckLayoutFitAndWarn(kWindow, &r, &v), CNF_PROMPT_GO_ON);
        log = boxes();
        ASSERT_EQ(log.size(), 1u);
        EXPECT_EQ(u8(log[0].text), "With Poster set to Poster the printed page is too large for the poster layout. "
                                   "Check these settings:\n\nPaper Size: A4\nToner Save: A4\nSetting 1281: Option 1\n"
                                   "Setting 263: 2");
        EXPECT_EQ(log[0].style, MB_OK | MB_ICONEXCLAMATION);
        set(263, 150);
        plat::msgbox_clear();
        EXPECT_EQ(CNF_CheckLayoutFitAndWarn(kWindow, &r, &v), CNF_PROMPT_GO_ON);
        EXPECT_TRUE(boxes().empty()) << "it fits";
        TearDown();
        SetUp();
    }
}

TEST_F(CnfMessagesTest, FormatNumber)
{
    struct Row {
        LONG integerDisplay;
        WORD divisor;
        WORD type;
        LONG value;
        const char *want;
    } rows[] = {
        {0, 10, SVT_INT32, 25, "2.5"},     {0, 100, SVT_INT32, 205, "2.05"},  {0, 10, SVT_INT32, -5, "-0.5"},
        {0, 1, SVT_INT32, -42, "-42"},     {0, 1, SVT_UINT32, 7, "7"},         {1, 10, SVT_INT32, 25, "2"},
        {1, 10, SVT_INT32, -25, "-2"},     {1, 10, SVT_INT32, -5, "0"},        {0, 100, SVT_INT32, 1200, "12.00"},
        {0, 1000, SVT_INT32, -12005, "-12.005"},
    };
    installConflict(3);
    WCHAR out[CNF_VALUE_TEXT_CHARS];
    for (const Row &row : rows) {
        ASSERT_TRUE(CNF_FormatNumber(row.integerDisplay, out, row.divisor, row.type, &row.value)) << row.want;
        EXPECT_EQ(fid_test::u8(out), row.want);
    }
    const SHORT s = -15;
    ASSERT_TRUE(CNF_FormatNumber(0, out, 10, SVT_INT16, &s));
    EXPECT_EQ(fid_test::u8(out), "-1.5");
    const WORD u = 65535;
    ASSERT_TRUE(CNF_FormatNumber(0, out, 1, SVT_UINT16, &u));
    EXPECT_EQ(fid_test::u8(out), "65535");
    const BYTE b = 200;
    ASSERT_TRUE(CNF_FormatNumber(0, out, 1, SVT_BYTE, &b));
    EXPECT_EQ(fid_test::u8(out), "200");
    ASSERT_TRUE(CNF_FormatNumber(0, out, 1, SVT_WSTRING, u"as is"));
    EXPECT_EQ(fid_test::u8(out), "as is");
    EXPECT_FALSE(CNF_FormatNumber(0, out, 1, 9, &u));
    EXPECT_FALSE(CNF_FormatNumber(0, out, 0, SVT_UINT16, &u));
}

TEST_F(CnfMessagesTest, ValueTexts)
{
    installConflict(3);
    const SettingsRef r = ref();
    WCHAR out[CNF_VALUE_TEXT_CHARS];
    auto text = [&](WORD id, const void *value, BOOL range = FALSE, const DWORD *units = nullptr) {
        out[0] = 0;
        EXPECT_TRUE(CNF_FormatValueText(range, nullptr, &r, out, id, value, units)) << id;
        return fid_test::u8(out);
    };
    EXPECT_EQ(text(kOwner, nullptr), "Setting 453");
    const WORD two = 2;
    EXPECT_EQ(text(kOwner, &two), "Option 2");
    EXPECT_EQ(text(327, nullptr), "Second Paper Size (Second Paper)");
    EXPECT_EQ(text(1296, nullptr), "Annotation");
    const DWORD on = 1, off = 0;
    EXPECT_EQ(text(1297, &on), "On");
    EXPECT_EQ(text(1297, &off), "Off");
    EXPECT_EQ(text(286, nullptr), "Form Overlay");
    EXPECT_EQ(text(298, nullptr), "Stamp");
    LPCWSTR stamp = u"Memo";
    EXPECT_EQ(text(298, &stamp), "Memo");
    const WORD scale = 150;
    EXPECT_EQ(text(263, &scale), "150");
    const SHORT tenths = 25;
    EXPECT_EQ(text(268, &tenths), "2.5");
    const SHORT onOption = 1;
    EXPECT_EQ(text(7, &onOption), "Portrait");

    /* A custom paper: its name and size in millimetres or inches. */
    ASSERT_EQ(fid_test::putText(5929, rec_.dm(), rec_.pd(), u"My Size"), 0);
    setAll({{5889, 2100}, {5909, 2970}});
    const SHORT custom = 262;
    EXPECT_EQ(text(8, &custom), "My Size (210 x 297 mm)");
    const DWORD inches[2] = {1, 0}, oneDecimal[2] = {1, 1};
    EXPECT_EQ(text(8, &custom, FALSE, inches), "My Size (8.27 x 11.69 in)");
    EXPECT_EQ(text(8, &custom, FALSE, oneDecimal), "My Size (8.2 x 11.6 in)");
    const SHORT a4 = 9;
    EXPECT_EQ(text(8, &a4), "A4");
    set(8, 262);
    const WORD same = 267;
    EXPECT_EQ(text(262, &same), "My Size (210 x 297 mm)") << "262 = 267: the paper of 8";

    /* Trays: the option name and, with the range flag, the custom-size range. */
    const WORD bypass = 4, tray1 = 1, fromDocument = 258;
    EXPECT_EQ(text(265, &bypass), "Bypass Tray");
    EXPECT_EQ(text(265, &bypass, TRUE), "Bypass Tray (90 x 148 to 297 x 431)");
    EXPECT_EQ(text(265, &tray1, TRUE), "Tray 1");
    out[0] = 0;
    CNF_FormatValueText(TRUE, nullptr, &r, out, 265, &fromDocument, nullptr);
    EXPECT_EQ(fid_test::u8(out).find('('), std::string::npos);
}

TEST_F(CnfMessagesTest, ClassifyChange)
{
    installConflict(3);
    const SettingsRef r = ref();
    CnfRangeMessage range{};
    WORD kind = 0;
    const SHORT orientationIn = 2, orientationOut = 5;
    const CnfValue in{7, SVT_INT16, &orientationIn}, out{7, SVT_INT16, &orientationOut};
    struct Row {
        WORD policy;
        const CnfValue *value;
        WORD code;
        WORD kind;
    } rows[] = {
        {1, &in, 3, 1},   {4, &in, 11, 1},  {36, &in, 11, 1}, {132, &in, 11, 1}, {68, &in, 11, 4}, {100, &in, 11, 4},
        {8, &in, 9, 1},   {8, &out, 11, 2}, {12, &in, 11, 1}, {12, &out, 11, 2}, {2, &in, 1, 1},
    };
    for (const Row &row : rows) {
        range = CnfRangeMessage{};
        kind = 0;
        EXPECT_EQ(CNF_ClassifyChange(printer(), &r, row.value, list_, row.policy, &kind, &range), row.code)
            << row.policy;
        EXPECT_EQ(kind, row.kind) << row.policy;
    }
    EXPECT_EQ(CNF_ClassifyChange(nullptr, &r, &in, list_, 1, &kind, &range), 1);
    const CnfValue stamps{0x9001, SVT_FLAG, nullptr};
    EXPECT_EQ(CNF_ClassifyChange(printer(), &r, &stamps, list_, 16, &kind, &range), 3) << "room in the store";
}

TEST_F(CnfMessagesTest, ValueRanges)
{
    installConflict(3);
    const SettingsRef r = ref();
    WORD kind = 0;
    /* Options of 7 (orientation): 1 and 2. */
    const SHORT orientation = 3;
    const CnfValue value{7, SVT_INT16, &orientation};
    CnfRangeMessage range{};
    EXPECT_EQ(CNF_CheckValueRange(&r, &value, list_, &kind, &range), 11);
    EXPECT_EQ(kind, 2);
    EXPECT_EQ(range.minimum, 1);
    EXPECT_EQ(range.maximum, 2);
    EXPECT_EQ(range.divisor, 1);
    EXPECT_EQ(range.integerDisplay, 1);
    EXPECT_EQ(range.type, SVT_INT32);
    EXPECT_EQ(range.text[0], 0);
    range = CnfRangeMessage{};
    range.policy = CNF_POLICY_CONVERT;
    range.decimals = 1;
    EXPECT_EQ(CNF_CheckValueRange(&r, &value, list_, &kind, &range), 11);
    EXPECT_EQ(range.divisor, 10);
    EXPECT_EQ(range.integerDisplay, 0);
    const CnfValue noValue{7, SVT_INT16, nullptr};
    EXPECT_EQ(CNF_CheckValueRange(&r, &noValue, list_, &kind, &range), 3);

    /* Fixed ranges. */
    struct Row {
        WORD id;
        WORD type;
        LONG value;
        WORD code;
        const char *text;
        LONG min, max;
        WORD divisor;
    } rows[] = {
        {306, SVT_UINT16, 601, 11, "The value", 7, 600, 1},      {306, SVT_UINT16, 7, 9, "", 0, 0, 0},
        {359, SVT_UINT16, 4, 11, "The value", 5, 24, 1},         {385, SVT_UINT16, 300, 11, "The value", 5, 24, 1},
        {385, SVT_UINT16, 240, 9, "", 0, 0, 0},                  {309, SVT_INT16, -901, 11, "The adjustment value", -900, 900, 10},
        {311, SVT_INT16, 900, 9, "", 0, 0, 0},                   {1856, SVT_INT32, 10001, 11, "The adjustment value", 0, 10000, 10},
        {7, SVT_INT16, 1, 1, "", 0, 0, 0},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.id);
        range = CnfRangeMessage{};
        range.policy = CNF_POLICY_FIXED;
        const CnfValue v{row.id, row.type, &row.value};
        EXPECT_EQ(CNF_CheckValueRange(&r, &v, list_, &kind, &range), row.code);
        if (row.code == 11) {
            EXPECT_EQ(fid_test::u8(range.text), row.text);
            EXPECT_EQ(range.minimum, row.min);
            EXPECT_EQ(range.maximum, row.max);
            EXPECT_EQ(range.divisor, row.divisor);
            EXPECT_EQ(range.integerDisplay, 1);
            EXPECT_EQ(range.type, row.type);
        }
    }
    /* 263 passes while the poster is off. */
    const WORD big = 900;
    const CnfValue poster{263, SVT_UINT16, &big};
    range = CnfRangeMessage{};
    EXPECT_EQ(CNF_CheckValueRange(&r, &poster, list_, &kind, &range), 9);
}

TEST_F(CnfMessagesTest, StampStoreCheck)
{
    installConflict(3);
    const SettingsRef r = ref();
    WORD kind = 0;
    const CnfValue stampSetting{272, SVT_FLAG, nullptr}, add{0x9001, SVT_FLAG, nullptr}, other{7, SVT_INT16, nullptr};
    EXPECT_EQ(CNF_CheckStampStore(printer(), &r, &stampSetting, list_, &kind), 9);
    EXPECT_EQ(CNF_CheckStampStore(printer(), &r, &add, list_, &kind), 3);
    EXPECT_EQ(CNF_CheckStampStore(nullptr, &r, &add, list_, &kind), 1);
    EXPECT_EQ(CNF_CheckStampStore(printer(), &r, &other, list_, &kind), 1);
}

TEST_F(CnfMessagesTest, LoadFormatString)
{
    installConflict(3);
    LPWSTR text = nullptr;
    ASSERT_TRUE(CNF_LoadFormatString(nullptr, &text, 0, 706, u"Name", u"Value"));
    EXPECT_EQ(fid_test::u8(text), "Name: Value");
    GlobalFree(text);
    ASSERT_TRUE(CNF_LoadFormatString(nullptr, &text, 5, 706, u"Name", u"Value"));
    EXPECT_EQ(fid_test::u8(text), "Name") << "a piece that does not fit is left out";
    GlobalFree(text);
    EXPECT_FALSE(CNF_LoadFormatString(nullptr, &text, 0, 60000, u"x"));
    EXPECT_EQ(text, nullptr);
}

} // namespace
