/*
 * The constraint engine over model rules: each case is a set of rules hung
 * on setting 453, the starting settings, the proposed change and the
 * expected code, outcome, fired rules, relation bits and changed settings.
 */
#include "test_cnf_support.h"

#include <optional>

namespace {

using namespace cnf_test;
using mw::vNone;
using mw::vShort;
using mw::vUShort;

struct Case {
    const char *name = "";
    std::vector<mw::Rule> forward = {};
    std::vector<mw::Rule> reverse = {};
    std::vector<std::pair<WORD, DWORD>> settings = {};
    WORD mode = 0;
    std::optional<WORD> value = WORD(2); /* for 453; none: the current value */
    WORD flags = 0;
    /* Expected */
    WORD code = 0;
    SHORT outcome = 0;
    std::vector<WORD> firedForward = {}; /* indices of the case's forward rules */
    std::vector<WORD> firedReverse = {};
    WORD bits = 0;
    std::vector<WORD> changed = {}; /* sorted; empty: none handed out */
};

/* A custom paper of width x length as the job's paper (code 262, slot 0). */
std::vector<std::pair<WORD, DWORD>> customPaper(DWORD width, DWORD length)
{
    return {{262, 262}, {5889, width}, {5909, length}};
}

std::vector<std::pair<WORD, DWORD>> operator+(std::vector<std::pair<WORD, DWORD>> a,
                                              const std::vector<std::pair<WORD, DWORD>> &b)
{
    a.insert(a.end(), b.begin(), b.end());
    return a;
}

class CnfEvaluateTest : public CnfTest {
protected:
    void run(const Case &c, RuleModel rm = RuleModel{})
    {
        SCOPED_TRACE(c.name);
        for (const mw::Rule &r : c.forward)
            rm.forward(r);
        for (const mw::Rule &r : c.reverse)
            rm.reverse(r);
        for (WORD i = 0; i < c.forward.size(); ++i)
            rm.onOption2.forward.push_back(i);
        for (WORD i = 0; i < c.reverse.size(); ++i)
            rm.onOption2.reverse.push_back(i);
        if (c.flags & CNF_FLAG_FEATURE_RULES)
            std::swap(rm.onOption2, rm.onFeature);
        installModel(rm);
        setAll(c.settings);
        WORD v = c.value.value_or(0);
        Result r = eval(c.mode, kOwner, c.value ? &v : nullptr, c.flags);
        EXPECT_EQ(r.code, c.code);
        EXPECT_EQ(r.outcome, c.outcome);
        EXPECT_EQ(r.forward, rm.ids(c.firedForward, rm.forwardIds));
        EXPECT_EQ(r.reverse, rm.ids(c.firedReverse, rm.reverseIds));
        EXPECT_EQ(r.bits, c.bits);
        EXPECT_EQ(sorted(r.changed), c.changed);
    }
};

/* --- Main condition, alternatives and rules without entries ------------------------------------------------------ */

TEST_F(CnfEvaluateTest, RuleWithoutEntriesFiresAtOnce)
{
    run({.name = "fires", .forward = {rule(on453(2), 2)}, .outcome = 2, .firedForward = {0}});
}

TEST_F(CnfEvaluateTest, RuleWithoutEntriesDoesNotTestItsMainCondition)
{
    run({.name = "main condition 1 while 2 is tested", .forward = {rule(on453(1), 5)}, .outcome = 5,
         .firedForward = {0}});
}

TEST_F(CnfEvaluateTest, OperatorOneOverSeveralValuesTriesOnlyTheValueUnderTest)
{
    for (auto [value, fires] : {std::pair<WORD, bool>{2, true}, {1, true}, {0, false}}) {
        RuleModel rm;
        const WORD a = rm.array({1, 2});
        Case c{.name = "array", .forward = {rule(cond(kOwner, 1, mw::vArrayRef(a)), 3)}, .value = value,
               .flags = CNF_FLAG_FEATURE_RULES};
        if (fires) {
            c.outcome = 3;
            c.firedForward = {0};
        }
        run(c, rm);
        TearDown();
        SetUp();
    }
}

TEST_F(CnfEvaluateTest, EmptyMainConditionGivesOneAlternativeForOperatorsZeroAndTwoOnly)
{
    for (BYTE op : {0, 1, 2, 3}) {
        Case c{.name = "empty", .forward = {rule(cond(kOwner, op, vNone(DDD_VT_USHORT)), 3)}};
        if (op == 0 || op == 2) {
            c.outcome = 3;
            c.firedForward = {0};
        }
        run(c);
        TearDown();
        SetUp();
    }
}

TEST_F(CnfEvaluateTest, MainConditionThatDoesNotMatchLeavesTheRuleOut)
{
    const std::vector<mw::Condition> holds = {entry(345, 1, vUShort(0), 4)};
    run({.name = "other value", .forward = {rule(on453(1), 3, holds)}});
    TearDown();
    SetUp();
    run({.name = "other setting", .forward = {rule(cond(388, 1, vUShort(0)), 3, holds)}});
    TearDown();
    SetUp();
    run({.name = "matching", .forward = {rule(on453(2), 3, holds)}, .outcome = 3, .firedForward = {0},
         .changed = {345, kOwner}});
}

/* --- Connectors ---------------------------------------------------------------------------------------------------- */

TEST_F(CnfEvaluateTest, AndChainFiresOnlyWhenAllHold)
{
    const std::vector<mw::Condition> chain = {entry(345, 1, vUShort(1), 1), entry(388, 1, vUShort(400), 1),
                                              entry(18, 1, vShort(1), 4)};
    const std::vector<std::pair<WORD, DWORD>> all = {{345, 1}, {388, 400}, {18, 1}};
    run({.name = "all hold", .forward = {rule(on453(2), 3, chain)}, .settings = all, .outcome = 3,
         .firedForward = {0}, .changed = {18, 345, 388, kOwner}});
    for (WORD miss : {WORD(345), WORD(388), WORD(18)}) {
        TearDown();
        SetUp();
        auto some = all;
        for (auto &s : some)
            if (s.first == miss)
                s.second = 0;
        run({.name = "one fails", .forward = {rule(on453(2), 3, chain)}, .settings = some});
    }
}

TEST_F(CnfEvaluateTest, OrChainFiresWhenAnyHolds)
{
    const std::vector<mw::Condition> chain = {entry(345, 1, vUShort(1), 2), entry(388, 1, vUShort(400), 2),
                                              entry(18, 1, vShort(1), 4)};
    struct Row {
        std::vector<std::pair<WORD, DWORD>> settings;
        bool fires;
        std::vector<WORD> changed;
    } rows[] = {
        {{{345, 1}}, true, {345, kOwner}},   /* the first holds: the rest are stepped over untested */
        {{{388, 400}}, true, {388, kOwner}}, /* the second holds */
        {{{18, 1}}, true, {18, kOwner}},         /* the last holds */
        {{}, false, {}},
    };
    for (const Row &row : rows) {
        Case c{.name = "or", .forward = {rule(on453(2), 3, chain)}, .settings = row.settings};
        if (row.fires) {
            c.outcome = 3;
            c.firedForward = {0};
            c.changed = row.changed;
        }
        run(c);
        TearDown();
        SetUp();
    }
}

/* A failed group moves on to the next group; a later group that holds fires the rule. */
TEST_F(CnfEvaluateTest, SecondGroupCanFire)
{
    const std::vector<mw::Condition> groups = {entry(345, 1, vUShort(1), 1), entry(388, 1, vUShort(400), 3),
                                               entry(18, 1, vShort(1), 4)};
    run({.name = "first fails, second holds", .forward = {rule(on453(2), 3, groups)}, .settings = {{18, 1}},
         .outcome = 3, .firedForward = {0}, .changed = {18, kOwner}});
}

/* --- Modes, flags, reverse rules, priorities --------------------------------------------------------------------- */

TEST_F(CnfEvaluateTest, ModeExclusions)
{
    const std::vector<mw::Condition> holds = {entry(345, 1, vUShort(0), 4)};
    struct Row {
        WORD flags;
        WORD mode;
        bool fires;
    } rows[] = {
        {0, 0, true},      {0, 1, true},      {0, 2, true},      {0, 3, false},     {0x100, 1, true},
        {0x100, 2, false}, {0x200, 1, false}, {0x200, 2, true},  {0x4000, 0, true}, {0x4000, 1, false},
        {0x4000, 2, false}, {0x4000, 3, true}, {0x300, 0, true},
    };
    for (const Row &row : rows) {
        Case c{.name = "mode", .forward = {rule(on453(2), WORD(3 | row.flags), holds)}, .mode = row.mode};
        if (row.fires) {
            c.outcome = 3;
            c.firedForward = {0};
            c.changed = {345, kOwner};
        }
        SCOPED_TRACE(testing::Message() << "flags " << row.flags << " mode " << row.mode);
        run(c);
        TearDown();
        SetUp();
    }
}

TEST_F(CnfEvaluateTest, FeatureRulesWithFlagOne)
{
    RuleModel rm;
    rm.forward(rule(cond(kOwner, 0, vNone(DDD_VT_USHORT)), 4));
    rm.onFeature.forward = {0};
    installModel(rm);
    Result plain = evalValue(0, kOwner, 2);
    EXPECT_EQ(plain.outcome, 0);
    Result feature = evalValue(0, kOwner, 2, CNF_FLAG_FEATURE_RULES);
    EXPECT_EQ(feature.outcome, 4);
    EXPECT_EQ(feature.forward, rm.forwardIds);
}

/* A reverse rule fires when its main condition does not hold on the current settings. */
TEST_F(CnfEvaluateTest, ReverseRule)
{
    const std::vector<mw::Condition> any = {entry(345, 1, vUShort(0), 4)};
    run({.name = "current differs", .reverse = {rule(on453(2), 4, any)}, .settings = {{kOwner, 0}}, .outcome = 4,
         .firedReverse = {0}, .changed = {kOwner}});
    TearDown();
    SetUp();
    /* The condition's setting is named as changed even when the rule does not fire. */
    run({.name = "current holds", .reverse = {rule(on453(2), 4, any)}, .settings = {{kOwner, 2}},
         .changed = {kOwner}});
}

/* The reverse list is walked only after the forward list. */
TEST_F(CnfEvaluateTest, ForwardThenReverse)
{
    run({.name = "both", .forward = {rule(on453(2), 2)}, .reverse = {rule(on453(2), 8, {entry(345, 1, vUShort(0), 4)})},
         .outcome = 8, .firedForward = {0}, .firedReverse = {0}, .changed = {kOwner}});
}

TEST_F(CnfEvaluateTest, OutcomePriorityDoesNotDependOnRuleOrder)
{
    struct Row {
        WORD a, b;
        SHORT want;
    } rows[] = {{2, 8, 8}, {8, 2, 8}, {4, 9, 9}, {9, 4, 9}, {0, 3, 3}, {3, 0, 3}};
    for (const Row &row : rows) {
        run({.name = "pair", .forward = {rule(on453(2), row.a), rule(on453(2), row.b)}, .outcome = row.want,
             .firedForward = {0, 1}});
        TearDown();
        SetUp();
    }
}

TEST_F(CnfEvaluateTest, RestrictingList)
{
    RuleModel rm;
    rm.forward(rule(on453(2), 3, {entry(345, 1, vUShort(0), 4)}));
    rm.onOption2.forward = {0};
    installModel(rm);
    const WORD two = 2;
    Result first = eval(0, kOwner, &two);
    ASSERT_EQ(first.outcome, 3);
    ASSERT_EQ(first.involved, (std::vector<WORD>{345}));

    set(345, 1); /* the rule would no longer fire */
    const WORD none[] = {388, 0};
    Result kept = eval(0, kOwner, &two, 0, none);
    EXPECT_EQ(kept.code, 0);
    EXPECT_EQ(kept.outcome, 3) << "a list naming none of the involved settings leaves the previous result";
    EXPECT_EQ(kept.forward, rm.forwardIds);
    EXPECT_TRUE(kept.changed.empty());

    const WORD involved[] = {388, 345, 0};
    Result again = eval(0, kOwner, &two, 0, involved);
    EXPECT_EQ(again.outcome, 0) << "a previously involved setting lets the evaluation run";
    EXPECT_TRUE(again.forward.empty());

    const WORD self[] = {kOwner, 0};
    set(345, 0);
    EXPECT_EQ(eval(0, kOwner, &two, 0, self).outcome, 3);
}

/* Mode 1 with a value first looks at the current state. */
TEST_F(CnfEvaluateTest, ModeOneReportsAConflictThatAlreadyStands)
{
    for (WORD kind : {1, 6, 7, 8, 3}) {
        RuleModel rm;
        rm.forward(rule(cond(kOwner, 0, vNone(DDD_VT_USHORT)), kind)); /* the current state's rule */
        rm.forward(rule(on453(2), 2));                                  /* the value's rule */
        rm.onFeature.forward = {0};
        rm.onOption2.forward = {1};
        installModel(rm);
        SCOPED_TRACE(kind);
        Result r = evalValue(1, kOwner, 2);
        EXPECT_EQ(r.code, 0);
        if (kind == 3) {
            EXPECT_EQ(r.outcome, 2) << "the value is evaluated";
            EXPECT_EQ(r.forward, (std::vector<WORD>{rm.forwardIds[1]}));
            EXPECT_EQ(r.changed, (std::vector<WORD>{}));
        } else {
            EXPECT_EQ(r.outcome, 0);
            EXPECT_EQ(r.forward, (std::vector<WORD>{rm.forwardIds[0]})) << "the current state's lists";
            EXPECT_TRUE(r.changed.empty());
            EXPECT_EQ(list_->forward, list_->forwardInline) << "the replaced list points at its own entries";
            EXPECT_EQ(list_->involved, list_->involvedInline);
        }
        Result test = evalValue(0, kOwner, 2);
        EXPECT_EQ(test.outcome, 2) << "mode 0 evaluates the value only";
        TearDown();
        SetUp();
    }
}

/* In mode 1 a group whose setting has a kind-1 conflict of its own is discarded. */
TEST_F(CnfEvaluateTest, ModeOneDiscardsAGroupWithItsOwnConflict)
{
    for (WORD ownKind : {1, 3}) {
        RuleModel rm;
        rm.forward(rule(on453(2), 3, {entry(345, 1, vUShort(0), 4)}));
        /* 345's own rule, which in turn names 453: the check is one level deep and ends. */
        rm.forward(rule(cond(345, 0, vNone(DDD_VT_USHORT)), ownKind, {entry(kOwner, 2, vUShort(7), 4)}));
        rm.onOption2.forward = {0};
        Hang own;
        own.forward = {1};
        rm.otherFeatures.push_back({345, own});
        installModel(rm);
        SCOPED_TRACE(ownKind);
        Result zero = evalValue(0, kOwner, 2);
        EXPECT_EQ(zero.outcome, 3);
        Result one = evalValue(1, kOwner, 2);
        EXPECT_EQ(one.code, 0);
        EXPECT_EQ(one.outcome, ownKind == 1 ? 0 : 3);
        TearDown();
        SetUp();
    }
}

/* --- Operator 9 and the tray checks ---------------------------------------------------------------------------- */

class CnfEntryTest : public CnfEvaluateTest {
protected:
    /* Feature 388 gets an option 1 whose target is a size pair 1000 x 1000 to 2000 x 2000. */
    RuleModel sizedModel()
    {
        RuleModel rm;
        rm.m.add(mw::encode(mw::Dimensions{951, 1000, 1000, 2000, 2000}, rm.m.formatVersion));
        std::erase_if(rm.m.records, [](const mw::Record &r) { return r.kind == DDD_KIND_DOCUMENT_FEATURE && r.id == 388; });
        mw::Feature f;
        f.id = 388;
        f.name = mw::stored("Sized");
        f.uiKind = 1;
        f.defaultOption = 1;
        mw::Option plain, sized;
        plain.name = sized.name = mw::stored("Option");
        plain.setting = vUShort(0);
        sized.setting = vUShort(1);
        sized.targetKind = DDD_KIND_DIMENSIONS;
        sized.targetId = 951;
        rm.m.addFeature(DDD_KIND_DOCUMENT_FEATURE, f, {plain, sized});
        return rm;
    }
};

TEST_F(CnfEntryTest, OperatorNineChecksTheJobPaperAgainstTheOptionSize)
{
    struct Row {
        const char *name;
        std::vector<std::pair<WORD, DWORD>> settings;
        WORD optionValue;
        bool fires;
    } rows[] = {
        {"custom paper too wide", customPaper(2500, 1500), 1, true},
        {"custom paper too short", customPaper(1500, 900), 1, true},
        {"custom paper inside", customPaper(1500, 1500), 1, false},
        {"standard paper", {{262, 9}}, 1, false},
        {"option without a size pair", customPaper(2500, 1500), 0, false},
        {"262 is 267: the paper of 8", {{262, 267}, {8, 262}, {5889, 2500}, {5909, 1500}}, 1, true},
    };
    for (const Row &row : rows) {
        Case c{.name = row.name, .forward = {rule(on453(2), 2, {entry(388, 9, vUShort(row.optionValue), 4)})},
               .settings = row.settings};
        if (row.fires) {
            c.outcome = 2;
            c.firedForward = {0};
            c.bits = 0x2;
            c.changed = {388, kOwner};
        }
        run(c, sizedModel());
        TearDown();
        SetUp();
    }
}

/* The option named by a value narrower than the setting's type: the value widened, nothing read past it. */
TEST_F(CnfEntryTest, OperatorNineWithANarrowOptionValue)
{
    run({.name = "byte value 1 names option 1", .forward = {rule(on453(2), 2, {entry(388, 9, mw::vByte(1), 4)})},
         .settings = customPaper(2500, 1500), .outcome = 2, .firedForward = {0}, .bits = 0x2,
         .changed = {388, kOwner}},
        sizedModel());
}

TEST_F(CnfEntryTest, TrayChecks)
{
    /* Bypass tray 4 takes custom sizes 900 x 1480 to 2970 x 4318; tray 1 lists no custom size. */
    using S = std::vector<std::pair<WORD, DWORD>>;
    struct Row {
        const char *name;
        BYTE op;
        WORD setting;
        WORD tray;
        S settings;
        bool fires;
        WORD bits;
    } rows[] = {
        {"7 does not fit", 7, 265, 4, customPaper(3000, 2000) + S{{265, 4}}, true, 0xA},
        {"7 fits", 7, 265, 4, customPaper(2000, 3000) + S{{265, 4}}, false, 0},
        {"10 as is", 10, 265, 4, customPaper(3000, 2000) + S{{265, 4}}, true, 0xA},
        {"11 rotated fits", 11, 265, 4, customPaper(3000, 2000) + S{{265, 4}}, false, 0},
        {"11 rotated does not fit", 11, 265, 4, customPaper(1000, 1000) + S{{265, 4}}, true, 0xA},
        {"12 either way", 12, 265, 4, customPaper(3000, 2000) + S{{265, 4}}, false, 0},
        {"12 neither way", 12, 265, 4, customPaper(4400, 4400) + S{{265, 4}}, true, 0xA},
        {"8 checks tray 389", 8, 389, 4, customPaper(3000, 2000) + S{{389, 4}}, true, 0x12},
        {"source 258 reads 13", 7, 265, 258, customPaper(3000, 2000) + S{{265, 258}, {13, 4}}, true, 0x6},
        {"entry does not hold", 7, 265, 4, customPaper(3000, 2000) + S{{265, 3}}, false, 0},
        {"tray without custom entry", 7, 265, 1, customPaper(3000, 2000) + S{{265, 1}}, false, 0},
        {"standard paper", 7, 265, 4, S{{262, 8}, {265, 4}}, false, 0},
        {"paper of 8 when 262 is 267", 7, 265, 4, S{{262, 267}, {8, 262}, {5889, 3000}, {5909, 2000}, {265, 4}},
         true, 0x9},
    };
    for (const Row &row : rows) {
        Case c{.name = row.name, .forward = {rule(on453(2), 2, {entry(row.setting, row.op, vUShort(row.tray), 4)})},
               .settings = row.settings};
        if (row.fires) {
            c.outcome = 2;
            c.firedForward = {0};
            c.bits = row.bits;
            c.changed = {row.setting, kOwner};
        }
        run(c);
        TearDown();
        SetUp();
    }
}

/* --- Paper-range relations ---------------------------------------------------------------------------------------- */

TEST_F(CnfEntryTest, PaperRangeRelations)
{
    using S = std::vector<std::pair<WORD, DWORD>>;
    struct Row {
        const char *name;
        WORD code;
        S settings;
        bool fires;
        WORD bits;
        std::vector<WORD> involved;
    } rows[] = {
        {"0x400 out", 0x400, customPaper(3000, 2000) + S{{265, 4}}, true, 0xF, {262, 8, 265, 13}},
        {"0x400 in", 0x400, customPaper(2000, 2000) + S{{265, 4}}, false, 0, {262, 8, 265, 13}},
        {"0x400 standard paper in", 0x400, S{{262, 9}, {265, 4}}, false, 0, {262, 8, 265, 13}},
        {"0x400 tray without range", 0x400, customPaper(3000, 2000) + S{{265, 1}}, false, 0, {262, 8, 265, 13}},
        {"0x800 out", 0x800, customPaper(3000, 2000) + S{{389, 4}, {1313, 1}}, true, 0x13, {262, 8, 389}},
        {"0x800 switched off", 0x800, customPaper(3000, 2000) + S{{389, 4}}, false, 0, {262, 8, 389}},
        {"0xC00 out", 0xC00, customPaper(2500, 2000) + S{{266, 3}}, true, 0x23, {262, 8, 266}},
        {"0xC00 in", 0xC00, customPaper(1500, 2000) + S{{266, 3}}, false, 0, {262, 8, 266}},
        {"0x1400 out", 0x1400, customPaper(3000, 2000) + S{{410, 262}}, true, 0x40, {410}},
        {"0x1400 out with trays", 0x1400, customPaper(3000, 2000) + S{{410, 262}, {407, 4}, {409, 4}}, true, 0x540,
         {410}},
        {"0x1400 in", 0x1400, S{{410, 9}}, false, 0, {410}},
        {"0x1800 out", 0x1800, customPaper(2500, 2000) + S{{411, 262}, {408, 264}}, true, 0x280, {411}},
        {"0x1800 in", 0x1800, S{{411, 11}}, false, 0, {411}},
        {"0x1C00 out", 0x1C00, customPaper(2500, 2000) + S{{411, 262}, {266, 3}}, true, 0xA0, {411, 266}},
        {"0x1C00 in", 0x1C00, S{{411, 11}, {266, 3}}, false, 0, {411, 266}},
        {"0x2000 out", 0x2000, customPaper(2500, 2000) + S{{410, 262}, {266, 3}}, true, 0x60, {410, 266}},
        {"0x2000 in", 0x2000, S{{410, 11}, {266, 3}}, false, 0, {410, 266}},
        {"0x2400 out", 0x2400, customPaper(3000, 2000) + S{{333, 4}, {332, 1}}, true, 0x803, {262, 8, 333}},
        {"0x2400 switched off", 0x2400, customPaper(3000, 2000) + S{{333, 4}}, false, 0, {262, 8, 333}},
        {"0x1000 out", 0x1000, customPaper(3000, 2000), true, 0, {}},
        {"0x1000 in", 0x1000, customPaper(2000, 2000), false, 0, {}},
        {"0x1000 list paper", 0x1000, customPaper(2000, 2000) + S{{1887, 1}, {1883, 262}, {5889, 100}}, true, 0, {}},
        {"0x1000 standard paper", 0x1000, S{{262, 9}}, false, 0, {}},
        {"unknown code: the rule's own result", 0x2800, S{}, true, 0, {}},
    };
    for (const Row &row : rows) {
        SCOPED_TRACE(row.name);
        RuleModel rm;
        /* One entry that always holds, so that the relation codes' settings are collected. */
        rm.forward(rule(on453(2), WORD(2 | row.code), {entry(345, 1, vUShort(0), 4)}));
        rm.onOption2.forward = {0};
        installModel(rm);
        setAll(row.settings);
        Result r = evalValue(0, kOwner, 2);
        EXPECT_EQ(r.code, 0);
        EXPECT_EQ(r.outcome, row.fires ? 2 : 0);
        EXPECT_EQ(r.bits, row.bits);
        std::vector<WORD> involved{345};
        involved.insert(involved.end(), row.involved.begin(), row.involved.end());
        EXPECT_EQ(r.involved, involved);
        TearDown();
        SetUp();
    }
}

/* A relation in range takes back its own rule's group bits and leaves those of other rules. */
TEST_F(CnfEntryTest, RelationInRangeKeepsOtherRulesBits)
{
    using S = std::vector<std::pair<WORD, DWORD>>;
    for (bool outFirst : {true, false}) {
        Case c{.name = "out and in",
               .forward = {rule(on453(2), 2 | 0x400), rule(on453(2), 2 | 0xC00)},
               .settings = customPaper(3000, 2000) + S{{265, 4}, {266, 1}},
               .outcome = 2,
               .firedForward = {0},
               .bits = 0xF};
        if (!outFirst) {
            std::swap(c.forward[0], c.forward[1]);
            c.firedForward = {1};
        }
        run(c);
        TearDown();
        SetUp();
    }
    /*
     * The tray check of the rule's group sets 0xA; its relation (tray 389, switched off) does not apply: no bits
     * stay, while the group's settings were already named as changed.
     */
    run({.name = "own group bits",
         .forward = {rule(on453(2), 2 | 0x800, {entry(265, 7, vUShort(4), 4)})},
         .settings = customPaper(3000, 2000) + S{{265, 4}, {389, 4}},
         .changed = {265, kOwner}});
}

/* --- Growing lists ------------------------------------------------------------------------------------------------- */

/* Settings of 16-bit types that every settings image has. */
const WORD kShorts[] = {7, 8, 13, 16, 18};
const WORD kUShorts[] = {262, 263, 265, 266, 296, 333, 388, 389, 407, 408, 409, 410, 411,
                         270, 293, 320, 321, 334, 341, 345};

std::vector<mw::Condition> entriesOn(size_t n, BYTE lastConnector, bool holding)
{
    std::vector<mw::Condition> out;
    for (size_t i = 0; i < n; ++i) {
        const BYTE connector = i + 1 == n ? lastConnector : 1;
        if (i < std::size(kShorts))
            out.push_back(entry(kShorts[i], 1, vShort(holding ? 0 : 99), connector));
        else
            out.push_back(entry(kUShorts[i - std::size(kShorts)], 1, vUShort(holding ? 0 : 99), connector));
    }
    return out;
}

TEST_F(CnfEvaluateTest, ListsGrowPastTheirInlineSizes)
{
    RuleModel rm;
    for (int i = 0; i < 11; ++i)
        rm.forward(rule(on453(2), 3));                              /* 11 fired rules: past 8 */
    rm.forward(rule(on453(2), 3, entriesOn(25, 4, true)));          /* 25 involved and changed settings */
    for (WORD i = 0; i < 12; ++i)
        rm.onOption2.forward.push_back(i);
    installModel(rm);
    Result r = evalValue(0, kOwner, 2);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.forward, rm.forwardIds);
    EXPECT_EQ(r.involved.size(), 25u);
    EXPECT_EQ(r.changed.size(), 26u) << "25 group settings and the setting under test";
    EXPECT_NE(list_->forward, list_->forwardInline);
    EXPECT_NE(list_->involved, list_->involvedInline);

    /* A copy of the grown list owns its blocks. */
    ChangeList *copy = CNF_NewChangeList();
    ASSERT_EQ(CNF_CopyChangeList(copy, list_), 0);
    CNF_ResetChangeList(list_);
    EXPECT_EQ(copy->forwardCount, 12);
    EXPECT_EQ(copy->involved[24], r.involved[24]);
    CNF_FreeChangeList(copy);
}

/* Every allocation of a growing evaluation failing in turn: 2 (or a clean result), and the list still resets and frees. */
TEST_F(CnfEvaluateTest, FailedGrowthAnswersTwo)
{
    RuleModel rm;
    for (int i = 0; i < 11; ++i)
        rm.forward(rule(on453(2), 3));
    rm.forward(rule(on453(2), 3, entriesOn(25, 4, true)));
    for (WORD i = 0; i < 12; ++i)
        rm.onOption2.forward.push_back(i);
    installModel(rm);
    const unsigned long start = plat::alloc_count();
    evalValue(0, kOwner, 2);
    const unsigned long total = plat::alloc_count() - start;
    ASSERT_GT(total, 4u);
    int twos = 0;
    for (unsigned n = 1; n <= total; ++n) {
        CNF_ResetChangeList(list_);
        plat::fault_fail_alloc_after(n);
        const WORD v = 2;
        WORD *changed = nullptr;
        WORD code = CNF_Evaluate(0, printer(), ctx(), rec_.dm(), rec_.pd(), nullptr, kOwner, SVT_UINT16, &v, list_,
                                 &changed, 0);
        plat::fault_fail_alloc_after(0);
        EXPECT_TRUE(code == 0 || code == 1 || code == 2) << n;
        if (code != 0) {
            EXPECT_EQ(changed, nullptr) << "no list is handed out after a failure";
        }
        twos += code == 2;
        GlobalFree(changed);
        CNF_ResetChangeList(list_);
        EXPECT_EQ(list_->forward, list_->forwardInline);
    }
    EXPECT_GT(twos, 0);
}

/* An evaluation whose lists stay inline allocates nothing for its lists but the one it hands out. */
TEST_F(CnfEvaluateTest, InlineEvaluationAllocatesOnlyTheHandedOutList)
{
    RuleModel rm;
    rm.forward(rule(on453(2), 3, entriesOn(3, 4, true)));
    rm.onOption2.forward = {0};
    installModel(rm);
    const WORD v = 2;
    /* The model reads of the evaluation, measured without a changed list (after a first call that warms caches). */
    unsigned long start = 0, reads = 0;
    for (int pass = 0; pass < 2; ++pass) {
        start = plat::alloc_count();
        CNF_ResetChangeList(list_);
        ASSERT_EQ(CNF_Evaluate(0, printer(), ctx(), rec_.dm(), rec_.pd(), nullptr, kOwner, SVT_UINT16, &v, list_,
                               nullptr, 0),
                  0);
        reads = plat::alloc_count() - start;
    }
    start = plat::alloc_count();
    CNF_ResetChangeList(list_);
    WORD *changed = nullptr;
    ASSERT_EQ(CNF_Evaluate(0, printer(), ctx(), rec_.dm(), rec_.pd(), nullptr, kOwner, SVT_UINT16, &v, list_,
                           &changed, 0),
              0);
    EXPECT_EQ(plat::alloc_count() - start, reads + 1);
    ASSERT_NE(changed, nullptr);
    EXPECT_EQ(changed[4], 0);
    GlobalFree(changed);
    EXPECT_EQ(list_->forward, list_->forwardInline);
}

/* --- Arguments ----------------------------------------------------------------------------------------------------- */

TEST_F(CnfEvaluateTest, BadArguments)
{
    RuleModel rm;
    installModel(rm);
    const WORD v = 2;
    WORD *changed = reinterpret_cast<WORD *>(1);
    EXPECT_EQ(CNF_Evaluate(0, printer(), ctx(), nullptr, rec_.pd(), nullptr, kOwner, 3, &v, list_, &changed, 0), 1);
    EXPECT_EQ(changed, nullptr);
    EXPECT_EQ(CNF_Evaluate(0, printer(), ctx(), rec_.dm(), nullptr, nullptr, kOwner, 3, &v, list_, nullptr, 0), 1);
    EXPECT_EQ(CNF_Evaluate(0, printer(), nullptr, rec_.dm(), rec_.pd(), nullptr, kOwner, 3, &v, list_, nullptr, 0), 1);
    EXPECT_EQ(CNF_Evaluate(0, printer(), ctx(), rec_.dm(), rec_.pd(), nullptr, kOwner, 3, &v, nullptr, nullptr, 0), 1);
    EXPECT_EQ(CNF_Evaluate(0, nullptr, ctx(), rec_.dm(), rec_.pd(), nullptr, kOwner, 3, &v, list_, nullptr, 0), 1);
    /* A setting without a feature in the model: nothing applies. */
    EXPECT_EQ(CNF_Evaluate(0, printer(), ctx(), rec_.dm(), rec_.pd(), nullptr, 4098, 1, nullptr, list_, nullptr, 0), 0);
    EXPECT_EQ(list_->outcome, 0);
}

} // namespace
