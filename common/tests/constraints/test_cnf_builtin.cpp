/*
 * Built-in rules of the constraint engine, each with a case that triggers
 * it and one that does not, and the fixes that follow a conflict: rule and
 * value lists, proposals, the poster fit and the output tray.
 */
#include "test_cnf_support.h"

#include <tarvel/base/uix_jobwatch.h>
#include <tarvel/base/util_system.h>
#include <tarvel/stores/jwm_record.h>
#include <tarvel/stores/stp_builtin.h>
#include <tarvel/stores/stp_store.h>

#include <docmon/docmon_record.h>

#include <plat/loader.h>
#include <plat/registry.h>
#include <plat/version.h>

#include <array>

namespace {

using namespace cnf_test;
using mw::vFlag;
using mw::vUShort;

/* A flag feature with named options (off first). */
void flagFeature(mw::Model &m, WORD id, const char *name, bool defaultOn)
{
    std::erase_if(m.records, [&](const mw::Record &r) { return r.kind == DDD_KIND_DOCUMENT_FEATURE && r.id == id; });
    mw::Feature f;
    f.id = id;
    f.name = mw::stored(name);
    f.uiKind = 2;
    f.defaultOption = defaultOn ? 2 : 1;
    mw::Option off, on;
    off.name = mw::stored("Off");
    off.setting = vFlag(false);
    on.name = mw::stored("On\r\nswitched on");
    on.setting = vFlag(true);
    m.addFeature(DDD_KIND_DOCUMENT_FEATURE, f, {off, on});
}

class CnfBuiltinTest : public CnfTest {
protected:
    void SetUp() override
    {
        CnfTest::SetUp();
        UIX_ResetJobwatchForTest();
    }
    void TearDown() override
    {
        UIX_ResetJobwatchForTest();
        CnfTest::TearDown();
    }

    void install(bool monitorDefaultOn = true, const std::string &cfg = "")
    {
        RuleModel rm;
        flagFeature(rm.m, 8201, "Job Monitor", monitorDefaultOn);
        flagFeature(rm.m, 1333, "Stamp Switch", false);
        flagFeature(rm.m, 1321, "Monitor Switch", false);
        rm.finish();
        addRangeTrays(rm.m);
        installWritten(rm.m, cfg);
        list_ = CNF_NewChangeList();
        ASSERT_NE(list_, nullptr);
    }
    void monitorInstalled(bool yes)
    {
        ASSERT_TRUE(DocmonInstall(yes ? plat::driver_dir_win() + u"\\tarveljwm.dll" : u"gone.dll"));
    }
    void name(WORD id, const char16_t *text) { ASSERT_EQ(fid_test::putText(id, rec_.dm(), rec_.pd(), text), 0); }
    void storeStamp(const std::u16string &stampName, WORD flag)
    {
        std::array<BYTE, STP_RECORD_SIZE> r{};
        for (size_t i = 0; i < stampName.size(); ++i)
            plat::store<WCHAR>(r.data() + STP_OFF_NAME + 2 * i, stampName[i]);
        plat::store<WCHAR>(r.data() + STP_OFF_TEXT, u'T');
        plat::store<WORD>(r.data() + STP_OFF_NUMBER, 1000);
        plat::store<WORD>(r.data() + STP_OFF_USER_FLAG, flag);
        ASSERT_EQ(STP_WriteStamp(printer(), r.data(), ctx()), STP_OK);
    }

    /* Evaluates in mode 0 with a value of `type` (null: the current value). */
    Result evalTyped(WORD id, WORD type, const void *value)
    {
        CNF_ResetChangeList(list_);
        Result r;
        WORD *changed = nullptr;
        r.code = CNF_Evaluate(0, printer(), ctx(), rec_.dm(), rec_.pd(), nullptr, id, type, value, list_, &changed, 0);
        r.outcome = list_->outcome;
        r.involved.assign(list_->involved, list_->involved + list_->involvedCount);
        for (WORD *p = changed; p && *p; ++p)
            r.changed.push_back(*p);
        GlobalFree(changed);
        return r;
    }
    Result evalShort(WORD id, WORD type, WORD value) { return evalTyped(id, type, &value); }
    Result evalText(const char16_t *text)
    {
        LPCWSTR p = text;
        return evalTyped(298, SVT_WSTRING, &p);
    }
    Result evalFlag(WORD id, DWORD value) { return evalTyped(id, SVT_FLAG, &value); }
};

TEST_F(CnfBuiltinTest, PaperWithAStampName)
{
    install();
    set(16, 1); /* single-sided: the model's postcard rule stays quiet */
    EXPECT_EQ(evalShort(8, SVT_INT16, 309).outcome, 0) << "empty name";
    name(297, u"Draft");
    for (WORD paper : {307, 308, 309, 310}) {
        Result r = evalShort(8, SVT_INT16, paper);
        EXPECT_EQ(r.code, 0);
        EXPECT_EQ(r.outcome, 3);
        EXPECT_EQ(r.changed, (std::vector<WORD>{297, 8}));
    }
    EXPECT_EQ(evalShort(8, SVT_INT16, 9).outcome, 0);
    EXPECT_EQ(evalShort(8, SVT_INT16, 311).outcome, 0);
    set(8, 308);
    EXPECT_EQ(evalTyped(8, SVT_INT16, nullptr).outcome, 3) << "the current value";
}

TEST_F(CnfBuiltinTest, FoldWithAStampName)
{
    install();
    name(297, u"Draft");
    EXPECT_EQ(evalShort(321, SVT_UINT16, 1).outcome, 3);
    EXPECT_EQ(evalShort(321, SVT_UINT16, 2).outcome, 0);
    name(297, u"");
    EXPECT_EQ(evalShort(321, SVT_UINT16, 1).outcome, 0);
}

TEST_F(CnfBuiltinTest, PaperSourceTheSystemMustSupport)
{
    install();
    plat::version_set(4, 0, 1381, 0, 1); /* NT 4 */
    UTL_ResetVersionCacheForTest();
    EXPECT_EQ(evalShort(293, SVT_UINT16, 3).outcome, 1);
    EXPECT_EQ(evalShort(293, SVT_UINT16, 1).outcome, 0);
    plat::version_set(10, 0, 19045, 0, 1);
    UTL_ResetVersionCacheForTest();
    EXPECT_EQ(evalShort(293, SVT_UINT16, 3).outcome, 0);
}

TEST_F(CnfBuiltinTest, StampNameWithTheStampSwitch)
{
    install();
    storeStamp(u"Flagged", 1);
    storeStamp(u"Plain", 0);
    EXPECT_EQ(evalText(u"Flagged").outcome, 0) << "switch off";
    set(1333, 1);
    Result r = evalText(u"Flagged");
    EXPECT_EQ(r.outcome, 3);
    EXPECT_EQ(r.changed, (std::vector<WORD>{1333, 298}));
    EXPECT_EQ(r.involved, (std::vector<WORD>{1333}));
    EXPECT_EQ(evalText(u"Plain").outcome, 0);
    EXPECT_EQ(evalText(u"Unknown").outcome, 0);
    EXPECT_EQ(evalTyped(298, SVT_WSTRING, nullptr).outcome, 0) << "no value";
}

TEST_F(CnfBuiltinTest, AlwaysSix)
{
    install();
    EXPECT_EQ(evalTyped(1284, SVT_UINT32, nullptr).outcome, 6);
    /* Mode 1 with a value while the current state already has kind 6: outcome 0, lists of the current state. */
    CNF_ResetChangeList(list_);
    const DWORD v = 1;
    WORD *changed = nullptr;
    EXPECT_EQ(CNF_Evaluate(1, printer(), ctx(), rec_.dm(), rec_.pd(), nullptr, 1284, SVT_UINT32, &v, list_, &changed,
                           0),
              0);
    EXPECT_EQ(list_->outcome, 0);
    EXPECT_EQ(changed, nullptr);
}

TEST_F(CnfBuiltinTest, UsingAStamp)
{
    install();
    for (WORD id : {WORD(1286), WORD(0x9002), WORD(0x9003)}) {
        SCOPED_TRACE(id);
        name(297, u"");
        Result empty = evalTyped(id, SVT_FLAG, nullptr);
        EXPECT_EQ(empty.outcome, 1);
        EXPECT_EQ(sorted(empty.changed), (std::vector<WORD>{296, 297, id}));
        EXPECT_EQ(empty.involved, (std::vector<WORD>{296, 297}));
        name(297, u"Memo");
        set(321, 1);
        EXPECT_EQ(evalTyped(id, SVT_FLAG, nullptr).outcome, 1) << "folded";
        set(321, 0);
        const DWORD on = 1;
        EXPECT_EQ(evalTyped(id, SVT_FLAG, &on).outcome, 0) << "with a value";
    }
    name(297, u"Memo");
    EXPECT_EQ(evalTyped(1286, SVT_FLAG, nullptr).outcome, 0);
    EXPECT_EQ(evalTyped(0x9003, SVT_FLAG, nullptr).outcome, 1) << "not stored";
    storeStamp(u"Memo", 0);
    EXPECT_EQ(evalTyped(0x9003, SVT_FLAG, nullptr).outcome, 0);
}

TEST_F(CnfBuiltinTest, AddingAStamp)
{
    install();
    Result r = evalTyped(0x9001, SVT_FLAG, nullptr);
    EXPECT_EQ(r.outcome, 0);
    EXPECT_EQ(r.involved, (std::vector<WORD>{296, 297}));
    set(321, 1);
    r = evalTyped(0x9001, SVT_FLAG, nullptr);
    EXPECT_EQ(r.outcome, 1);
    EXPECT_EQ(r.changed, (std::vector<WORD>{296, 0x9001}));
    set(321, 0);
    DWORD stamps = 0;
    ASSERT_EQ(STP_CountStamps(printer(), &stamps, ctx()), STP_OK);
    for (DWORD i = stamps; i < 32; ++i)
        storeStamp(u"Stamp " + plat::utf8_to_utf16(std::to_string(i)), 0);
    r = evalTyped(0x9001, SVT_FLAG, nullptr);
    EXPECT_EQ(r.outcome, 8) << "the 33rd stamp";
    EXPECT_EQ(r.changed, (std::vector<WORD>{297, 0x9001}));
}

TEST_F(CnfBuiltinTest, StampSwitchWithTheMonitor)
{
    install(true);
    monitorInstalled(true);
    ASSERT_TRUE(CNF_IsMonitorDefaultOn(ctx()));
    EXPECT_EQ(evalFlag(1333, 1).outcome, 0) << "1321 off: no rule";
    set(1321, 1);
    Result r = evalFlag(1333, 1);
    EXPECT_EQ(r.outcome, 3);
    EXPECT_EQ(r.changed, (std::vector<WORD>{1321, 1333}));
    EXPECT_EQ(r.involved, (std::vector<WORD>{1321, 298}));
    name(1857, u"Job text");
    EXPECT_EQ(evalFlag(1333, 1).changed, (std::vector<WORD>{1321, 298, 1333}));
    EXPECT_EQ(evalFlag(1333, 0).outcome, 0);
    monitorInstalled(false);
    UIX_ResetJobwatchForTest();
    EXPECT_FALSE(CNF_IsMonitorDefaultOn(ctx()));
    EXPECT_EQ(evalFlag(1333, 1).outcome, 0);
}

TEST_F(CnfBuiltinTest, MonitorDefault)
{
    install(false);
    monitorInstalled(true);
    EXPECT_FALSE(CNF_IsMonitorDefaultOn(ctx())) << "default off";
    EXPECT_FALSE(CNF_IsMonitorDefaultOn(nullptr));
}

TEST_F(CnfBuiltinTest, StampSwitchWithAnEnforcedJobType)
{
    install(true, "[Tarvel_CX_1500]\r\nJobType.enforced=secure_print\r\n");
    Result r = evalTyped(1333, SVT_FLAG, nullptr);
    EXPECT_EQ(r.outcome, 15);
    EXPECT_EQ(r.changed, (std::vector<WORD>{334, 1333}));
    TearDown();
    SetUp();
    install(true, "[Tarvel_CX_1500]\r\nJobType.enforced=normal_print\r\n");
    EXPECT_EQ(evalTyped(1333, SVT_FLAG, nullptr).outcome, 0);
}

/*
 * The job-information component's check: the test model lacks capability
 * bit 43, so the component is never available (even with its class
 * registered): 5163 has no rule, 5186 on asks for the change of kind 6.
 */
TEST_F(CnfBuiltinTest, JobPromptSwitches)
{
    install();
    EXPECT_EQ(evalTyped(5163, SVT_BYTE, nullptr).code, 0) << "5186 off: no rule";
    set(5186, 1);
    Result prompt = evalTyped(5163, SVT_BYTE, nullptr);
    EXPECT_EQ(prompt.code, 0);
    EXPECT_EQ(prompt.outcome, 0) << "no component: no rule";
    Result component = evalTyped(5186, SVT_FLAG, nullptr);
    EXPECT_EQ(component.code, 0);
    EXPECT_EQ(component.outcome, 6);
    EXPECT_TRUE(component.changed.empty());
    const DWORD on = 1;
    EXPECT_EQ(evalTyped(5186, SVT_FLAG, &on).outcome, 0) << "with a value: no rule";
}

TEST_F(CnfBuiltinTest, RowsWithoutRules)
{
    install();
    for (WORD id : {WORD(5138), WORD(301), WORD(303), WORD(1321), WORD(7)}) {
        Result r = evalTyped(id, SVT_UINT16, nullptr);
        EXPECT_EQ(r.code, 0) << id;
        EXPECT_EQ(r.outcome, 0) << id;
    }
}

/* --- Fixes ------------------------------------------------------------------------------------------------------- */

TEST_F(CnfBuiltinTest, ApplyRuleAndValueLists)
{
    RuleModel rm;
    rm.forward(rule(on453(), 3, {}, {action(345, vUShort(1)), action(388, vUShort(0x8000))}));
    rm.forward(rule(on453(), 4, {}, {action(345, vUShort(2))}));
    rm.forward(rule(on453(), 3, {}, {action(345, vUShort(2)), action(18, mw::vShort(1))}));
    rm.forward(rule(on453(), 4));
    rm.reverse(rule(on453(), 4, {}, {action(341, vUShort(5))}));
    rm.finish();
    addRangeTrays(rm.m);
    installWritten(rm.m, "");
    const SettingsRef r = ref();
    const WORD base = rm.forwardIds[0];
    set(388, 25);

    WORD inlineList[CNF_ACTIONS_INLINE] = {};
    WORD *changed = inlineList;
    WORD count = 0;
    const WORD first[] = {base};
    EXPECT_EQ(CNF_ApplyRuleList(1, &r, &changed, &count, 1, first), CNF_CHANGED);
    EXPECT_EQ(get(345), 1);
    EXPECT_EQ(get(388), 100) << "0x8000: the model default of 388";
    EXPECT_EQ(std::vector<WORD>(changed, changed + count), (std::vector<WORD>{345, 388}));

    const WORD third[] = {WORD(base + 2)};
    EXPECT_EQ(CNF_ApplyRuleList(1, &r, &changed, &count, 1, third), CNF_CHANGED);
    EXPECT_EQ(get(345), 1) << "flags 3: an action on a listed setting is skipped";
    EXPECT_EQ(get(18), 1);
    const WORD second[] = {WORD(base + 1)};
    EXPECT_EQ(CNF_ApplyRuleList(1, &r, &changed, &count, 1, second), CNF_CHANGED);
    EXPECT_EQ(get(345), 2) << "flags 4 write it again";

    const WORD none[] = {WORD(base + 3)};
    EXPECT_EQ(CNF_ApplyRuleList(1, &r, nullptr, nullptr, 1, none), CNF_NOTHING_CHANGED);
    EXPECT_EQ(CNF_ApplyRuleList(1, &r, nullptr, nullptr, 0, nullptr), CNF_NOTHING_CHANGED);
    const WORD missing[] = {WORD(base + 50)};
    EXPECT_EQ(CNF_ApplyRuleList(1, &r, nullptr, nullptr, 1, missing), CNF_FAIL);
    const WORD reverse[] = {rm.reverseIds[0]};
    EXPECT_EQ(CNF_ApplyRuleList(0, &r, nullptr, nullptr, 1, reverse), CNF_CHANGED);
    EXPECT_EQ(get(341), 5);

    WORD w = 7;
    const CnfValue values[] = {{345, SVT_UINT16, &w}, {263, SVT_UINT16, &w}};
    EXPECT_EQ(CNF_ApplyValueList(&r, &changed, &count, 2, values), CNF_CHANGED);
    EXPECT_EQ(get(263), 7);
    EXPECT_EQ(std::vector<WORD>(changed, changed + count), (std::vector<WORD>{345, 388, 18, 263}));
    EXPECT_EQ(CNF_ApplyValueList(&r, &changed, &count, 0, values), CNF_NOTHING_CHANGED);
    const CnfValue bad[] = {{345, 9, &w}};
    EXPECT_EQ(CNF_ApplyValueList(&r, &changed, &count, 1, bad), CNF_FAIL);
    CNF_FreeGrownIds(CNF_ACTIONS_INLINE, changed, count);
}

TEST_F(CnfBuiltinTest, ProposalClearsTheStampNames)
{
    install();
    const SettingsRef r = ref();
    CnfProposal p{};
    const SHORT paper = 309;
    const CnfValue choosePaper{8, SVT_INT16, &paper};
    EXPECT_EQ(CNF_ProposeDependentValues(printer(), &r, &choosePaper, &p), 0);
    EXPECT_EQ(p.count, 0) << "an empty name: nothing proposed";
    name(297, u"Draft");
    ASSERT_EQ(CNF_ProposeDependentValues(printer(), &r, &choosePaper, &p), 0);
    ASSERT_EQ(p.count, 3);
    EXPECT_EQ(p.items[0].id, 297);
    EXPECT_EQ(p.items[1].id, 299);
    EXPECT_EQ(p.items[2].id, 1857);
    EXPECT_EQ(p.items[0].type, SVT_WSTRING);
    EXPECT_EQ(p.items[0].size, 8);
    EXPECT_EQ(plat::load<WCHAR>(p.items[0].value), 0);
    EXPECT_EQ(fid_test::u8(p.before), "Stamp: Draft");
    EXPECT_EQ(fid_test::u8(p.after), "Stamp: None");

    const SHORT a4 = 9;
    const CnfValue otherPaper{8, SVT_INT16, &a4};
    CnfProposal none{};
    EXPECT_EQ(CNF_ProposeDependentValues(printer(), &r, &otherPaper, &none), 0);
    EXPECT_EQ(none.count, 0);
    const CnfValue other{7, SVT_INT16, &a4};
    EXPECT_EQ(CNF_ProposeDependentValues(printer(), &r, &other, &none), 1);

    /* Every allocation failing in turn: 2 with nothing left allocated. */
    for (unsigned n = 1; n <= 8; ++n) {
        CnfProposal q{};
        plat::fault_fail_alloc_after(n);
        const WORD code = CNF_ProposeDependentValues(printer(), &r, &choosePaper, &q);
        plat::fault_fail_alloc_after(0);
        if (code != 0) {
            EXPECT_EQ(q.items, nullptr) << n;
            EXPECT_EQ(q.before, nullptr) << n;
            EXPECT_EQ(q.count, 0) << n;
        }
        CNF_FreeProposal(&q);
    }
    CNF_FreeProposal(&p);
}

TEST_F(CnfBuiltinTest, ProposalSwitchesTheStampSwitchOff)
{
    install(true);
    monitorInstalled(true);
    const SettingsRef r = ref();
    storeStamp(u"Flagged", 1);
    LPCWSTR text = u"Flagged";
    const CnfValue stamp{298, SVT_WSTRING, &text};
    CnfProposal p{};
    EXPECT_EQ(CNF_ProposeDependentValues(printer(), &r, &stamp, &p), 0);
    EXPECT_EQ(p.count, 0) << "switch off";
    set(1333, 1);
    ASSERT_EQ(CNF_ProposeDependentValues(printer(), &r, &stamp, &p), 0);
    ASSERT_EQ(p.count, 1);
    EXPECT_EQ(p.items[0].id, 1333);
    EXPECT_EQ(p.items[0].type, SVT_FLAG);
    EXPECT_EQ(plat::load<DWORD>(p.items[0].value), 0u);
    EXPECT_EQ(fid_test::u8(p.before), "Stamp Switch: On") << "option names end at their line break";
    EXPECT_EQ(fid_test::u8(p.after), "Stamp Switch: Off");
    CNF_FreeProposal(&p);

    const DWORD on = 1;
    const CnfValue monitor{1321, SVT_FLAG, &on};
    ASSERT_EQ(CNF_ProposeDependentValues(printer(), &r, &monitor, &p), 0);
    EXPECT_EQ(p.count, 1);
    CNF_FreeProposal(&p);

    set(1333, 0);
    set(1321, 1);
    const CnfValue stampSwitch{1333, SVT_FLAG, &on};
    ASSERT_EQ(CNF_ProposeDependentValues(printer(), &r, &stampSwitch, &p), 0);
    ASSERT_EQ(p.count, 1);
    EXPECT_EQ(p.items[0].id, 1321);
    EXPECT_EQ(fid_test::u8(p.before), "Job Monitor: On");
    EXPECT_EQ(fid_test::u8(p.after), "Job Monitor: Off");
    name(1857, u"Job text");
    ASSERT_EQ(CNF_ProposeDependentValues(printer(), &r, &stampSwitch, &p), 0);
    EXPECT_EQ(p.count, 3) << "the name proposal replaces it";
    CNF_FreeProposal(&p);
    name(297, u"Draft");
    ASSERT_EQ(CNF_ProposeDependentValues(printer(), &r, &stampSwitch, &p), 0);
    ASSERT_EQ(p.count, 3);
    EXPECT_EQ(fid_test::u8(p.before), "Stamp: Draft") << "the stamp name is shown, not the monitor text";
    EXPECT_EQ(fid_test::u8(p.after), "Stamp: None");
    CNF_FreeProposal(&p);
}

/* Poster fit: a 2 x 2 poster of a page on the same paper. */
TEST_F(CnfBuiltinTest, PosterFit)
{
    install();
    const SettingsRef r = ref();
    setAll({{296, 0x202}, {321, 1}, {1281, 1}, {262, 267}, {8, 9}});
    struct Row {
        WORD scale;
        WORD want;
    } rows[] = {{150, 0}, {100, 14}, {250, 13}};
    for (const Row &row : rows) {
        set(263, row.scale);
        WORD *list = nullptr;
        EXPECT_EQ(CNF_CheckLayoutFit(&r, nullptr, &list), row.want) << row.scale;
        if (row.want) {
            ASSERT_NE(list, nullptr);
            EXPECT_EQ(std::vector<WORD>(list, list + 6), (std::vector<WORD>{8, 262, 296, 1281, 263, 0}));
        } else {
            EXPECT_EQ(list, nullptr);
        }
        GlobalFree(list);
    }
    /* The value under test stands for its setting and is left out of the list. */
    const WORD scale = 100;
    const CnfValue v{263, SVT_UINT16, &scale};
    set(263, 150);
    WORD *list = nullptr;
    EXPECT_EQ(CNF_CheckLayoutFit(&r, &v, &list), 14);
    EXPECT_EQ(std::vector<WORD>(list, list + 5), (std::vector<WORD>{8, 262, 296, 1281, 0}));
    GlobalFree(list);
    /* Not folded as a poster, or the poster switch off: nothing to check. */
    set(263, 250);
    set(1281, 0);
    EXPECT_EQ(CNF_CheckLayoutFit(&r, nullptr, &list), 0);
    set(1281, 1);
    set(321, 0);
    EXPECT_EQ(CNF_CheckLayoutFit(&r, nullptr, &list), 0);
}

TEST_F(CnfBuiltinTest, PosterFitSidewaysLayout)
{
    install();
    const SettingsRef r = ref();
    /* Layout 0x102 on A4 (printable 2016 x 2886): X = lA * 100 - s * wB, Y = wA * 100 - s * lB. */
    setAll({{296, 0x102}, {321, 1}, {1281, 1}, {262, 267}, {8, 9}});
    struct Row {
        WORD scale;
        WORD want;
    } rows[] = {{60, 14}, {70, 0}, {143, 13}};
    for (const Row &row : rows) {
        set(263, row.scale);
        WORD *list = nullptr;
        EXPECT_EQ(CNF_CheckLayoutFit(&r, nullptr, &list), row.want) << row.scale;
        GlobalFree(list);
    }
}

/* The output tray table, row by row. */
TEST_F(CnfBuiltinTest, OutputTrayTable)
{
    install();
    using S = std::vector<std::pair<WORD, DWORD>>;
    struct Row {
        const char *name;
        S settings;
        WORD tray;
    } rows[] = {
        {"0, finisher 0, 4126 set", {{444, 0}, {4359, 0}, {4126, 1}}, 26},
        {"0, finisher 0", {{444, 0}, {4359, 0}}, 1},
        {"0, finisher 1, staple", {{444, 0}, {4359, 1}, {320, 3}}, 12},
        {"0, finisher 1, staple 11", {{444, 0}, {4359, 1}, {320, 11}}, 1},
        {"0, finisher 1, 331 set, 4098 clear", {{444, 0}, {4359, 1}, {331, 1}}, 12},
        {"0, finisher 1, 331 set, 4098 set", {{444, 0}, {4359, 1}, {331, 1}, {4098, 1}}, 1},
        {"0, finisher 2, nothing", {{444, 0}, {4359, 2}}, 24},
        {"0, finisher 2, staple", {{444, 0}, {4359, 2}, {320, 1}}, 12},
        {"0, finisher 3, staple 11", {{444, 0}, {4359, 3}, {320, 11}}, 21},
        {"0, finisher 3, booklet fold", {{444, 0}, {4359, 3}, {321, 2}, {1328, 1}}, 21},
        {"0, finisher 3, fold 2 without booklet", {{444, 0}, {4359, 3}, {321, 2}}, 23},
        {"0, finisher 3, 448 is 5", {{444, 0}, {4359, 3}, {448, 5}}, 21},
        {"0, finisher 3, staple", {{444, 0}, {4359, 3}, {320, 2}}, 12},
        {"0, finisher 3, nothing", {{444, 0}, {4359, 3}}, 23},
        {"0, finisher 4, 448 is 4", {{444, 0}, {4359, 4}, {448, 4}}, 21},
        {"0, finisher 4, 448 is 3", {{444, 0}, {4359, 4}, {448, 3}}, 20},
        {"0, finisher 4, 331 set", {{444, 0}, {4359, 4}, {331, 1}}, 12},
        {"0, finisher 4, nothing", {{444, 0}, {4359, 4}}, 1},
        {"0, finisher 4, staple", {{444, 0}, {4359, 4}, {320, 5}}, 12},
        {"0, finisher 10", {{444, 0}, {4359, 10}, {320, 5}}, 1},
        {"1", {{444, 1}}, 12},
        {"2", {{444, 2}}, 15},
        {"3", {{444, 3}}, 2},
        {"7", {{444, 7}}, 6},
        {"12", {{444, 12}}, 11},
        {"13, finisher 0, 4126 set", {{444, 13}, {4359, 0}, {4126, 1}}, 25},
        {"13, finisher 1", {{444, 13}, {4359, 1}, {4126, 1}}, 1},
        {"14", {{444, 14}}, 23},
        {"15", {{444, 15}}, 1},
    };
    for (const Row &row : rows) {
        rec_ = fid_test::Records{};
        setAll({{7, 1}, {295, 1}}); /* the staple setting maps through orientation and side */
        setAll(row.settings);
        set(266, 99);
        CnfNumber out{};
        ASSERT_TRUE(CNF_SelectOutputTray(ctx(), rec_.dm(), rec_.pd(), &out)) << row.name;
        EXPECT_EQ(get(266), row.tray) << row.name;
        EXPECT_EQ(out.id, 266);
        EXPECT_EQ(out.value, row.tray) << row.name;
    }
    EXPECT_FALSE(CNF_SelectOutputTray(nullptr, rec_.dm(), rec_.pd(), nullptr));
}

} // namespace
