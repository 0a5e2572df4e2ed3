/*
 * The standard colour model's rules through the engine, on the model's
 * default settings: each rule with a change that fires it and one that
 * does not, and the actions of a fired rule applied.
 */
#include "test_cnf_support.h"

#include <tarvel/settings/fid_defaults.h>

namespace {

using namespace cnf_test;

class CnfStandardTest : public CnfTest {
protected:
    void SetUp() override
    {
        CnfTest::SetUp();
        install(fid_test::kColour, "");
        ASSERT_TRUE(FID_InitDefaults(ctx(), rec_.dm(), rec_.pd(), u"Tarvel"));
        list_ = CNF_NewChangeList();
        ASSERT_NE(list_, nullptr);
    }
    Result check(WORD mode, WORD id, WORD type, DWORD value)
    {
        CNF_ResetChangeList(list_);
        Result r;
        WORD *changed = nullptr;
        r.code = CNF_Evaluate(mode, printer(), ctx(), rec_.dm(), rec_.pd(), nullptr, id, type, &value, list_, &changed, 0);
        r.outcome = list_->outcome;
        r.bits = list_->relationBits;
        r.forward.assign(list_->forward, list_->forward + list_->forwardCount);
        r.reverse.assign(list_->reverse, list_->reverse + list_->reverseCount);
        for (WORD *p = changed; p && *p; ++p)
            r.changed.push_back(*p);
        GlobalFree(changed);
        return r;
    }
};

TEST_F(CnfStandardTest, DuplexNeedsTheDuplexUnit)
{
    set(4103, 0);
    Result r = check(1, 16, SVT_INT16, 2);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.outcome, 2);
    EXPECT_EQ(r.forward, (std::vector<WORD>{1}));
    set(4103, 1);
    EXPECT_EQ(check(1, 16, SVT_INT16, 3).outcome, 0);
    EXPECT_EQ(check(1, 16, SVT_INT16, 1).outcome, 0) << "single-sided has no rule";
}

TEST_F(CnfStandardTest, PostcardsAreSingleSided)
{
    set(4103, 1);
    set(16, 2);
    Result r = check(1, 8, SVT_INT16, 307);
    EXPECT_EQ(r.outcome, 3);
    EXPECT_EQ(r.forward, (std::vector<WORD>{9}));
    /* The rule's actions: single-sided, and the model's default paper (0x8001). */
    set(8, 307);
    const SettingsRef ref{ctx(), rec_.dm(), rec_.pd()};
    WORD inlineList[CNF_ACTIONS_INLINE] = {};
    WORD *changed = inlineList;
    WORD count = 0;
    EXPECT_EQ(CNF_ApplyRuleList(1, &ref, &changed, &count, WORD(r.forward.size()), r.forward.data()), CNF_CHANGED);
    EXPECT_EQ(get(16), 1);
    EXPECT_EQ(get(8), 9) << "A4, the default paper of the user's region";
    EXPECT_EQ(std::vector<WORD>(changed, changed + count), (std::vector<WORD>{16, 8}));
    set(16, 1);
    EXPECT_EQ(check(1, 8, SVT_INT16, 307).outcome, 0);
}

TEST_F(CnfStandardTest, CustomPaperAgainstTheBypassTray)
{
    /* The job's custom paper (slot 0) fed from the bypass tray (source 258: the paper source 13 decides). */
    setAll({{262, 262}, {265, 258}, {13, 4}, {5889, 3000}, {5909, 2000}});
    Result r = check(0, 8, SVT_INT16, 262);
    EXPECT_EQ(r.outcome, 8);
    EXPECT_EQ(r.forward, (std::vector<WORD>{3, 6, 8})) << "relation 0x400, tray check, extent limits";
    EXPECT_EQ(r.bits, 0xF);
    setAll({{5889, 2000}, {5909, 3000}});
    r = check(0, 8, SVT_INT16, 262);
    EXPECT_TRUE(r.forward.empty());
    EXPECT_EQ(r.outcome, 0);
    EXPECT_EQ(r.bits, 0);
}

TEST_F(CnfStandardTest, FinisherTrayAndTheFinisher)
{
    set(4101, 0);
    Result r = check(1, 266, SVT_UINT16, 2);
    EXPECT_EQ(r.outcome, 8);
    EXPECT_EQ(r.forward, (std::vector<WORD>{11}));
    set(4101, 1);
    set(266, 2);
    /* Removing the installed finisher while its tray is chosen: the reverse rule. */
    r = check(1, 4101, SVT_FLAG, 0);
    EXPECT_EQ(r.outcome, 8);
    EXPECT_EQ(r.reverse, (std::vector<WORD>{2}));
    set(4101, 0);
    EXPECT_TRUE(check(1, 4101, SVT_FLAG, 0).reverse.empty()) << "already removed";
}

TEST_F(CnfStandardTest, ModeFlagsOfTheStandardRules)
{
    /* Economy mode with the finest quality: a note, skipped while checking (mode 1). */
    set(453, 2);
    EXPECT_EQ(check(1, 345, SVT_UINT16, 1).outcome, 0);
    EXPECT_EQ(check(2, 345, SVT_UINT16, 1).outcome, 4);
    /* Punching with staple position 11: the dependent-option rule, skipped in mode 2. */
    setAll({{7, 1}, {295, 1}, {320, 11}});
    EXPECT_EQ(check(1, 341, SVT_UINT16, 2).outcome, 5);
    EXPECT_EQ(check(2, 341, SVT_UINT16, 2).outcome, 0);
    EXPECT_EQ(check(1, 341, SVT_UINT16, 0).outcome, 0);
}

TEST_F(CnfStandardTest, DefaultOnlyRuleOnTheFeature)
{
    auto feature = [&](WORD mode) {
        CNF_ResetChangeList(list_);
        EXPECT_EQ(CNF_Evaluate(mode, printer(), ctx(), rec_.dm(), rec_.pd(), nullptr, 270, SVT_UINT16, nullptr, list_,
                               nullptr, CNF_FLAG_FEATURE_RULES),
                  0);
        return std::vector<WORD>(list_->forward, list_->forward + list_->forwardCount);
    };
    /* Rule 4 has no involved entries and fires in every mode (kind 9); rule 14 only checks defaults (kind 2). */
    setAll({{270, 1}, {293, 1}});
    EXPECT_EQ(feature(3), (std::vector<WORD>{4, 14}));
    EXPECT_EQ(list_->outcome, 2);
    EXPECT_EQ(feature(1), (std::vector<WORD>{4}));
    EXPECT_EQ(list_->outcome, 9);
    set(293, 0);
    EXPECT_EQ(feature(3), (std::vector<WORD>{4}));
}

} // namespace
