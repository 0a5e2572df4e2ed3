/*
 * Rules as outside input: values shorter than their type (a main condition
 * whose elements are 1 byte for a 16-bit type, an action value of 1 byte
 * for a 16-bit setting; nothing is read past them: the rule is left out,
 * the action fails), and a rule with the largest number of entries.
 */
#include "test_cnf_support.h"

namespace {

using namespace cnf_test;
using mw::vUShort;

class CnfShortValueTest : public CnfTest {};

TEST_F(CnfShortValueTest, MainConditionWithShortElementsLeavesTheRuleOut)
{
    RuleModel rm;
    /* Elements 0x02 and 0x00 of one byte each; read as 16-bit values they would give 0x0002. */
    const WORD array = rm.m.nextRowId(DDD_KIND_VALUE_ARRAY);
    rm.m.add(mw::encode(mw::ValueArray{array, 0, DDD_VT_USHORT, 1, 2, mw::Bytes{0x02, 0x00}}, rm.m.formatVersion));
    rm.forward(rule(cond(kOwner, 1, mw::vArrayRef(array)), 3, {entry(345, 1, vUShort(1), 4)}));
    rm.onFeature.forward.push_back(0);
    installModel(rm);
    set(345, 1);
    const WORD two = 2;
    const Result r = eval(CNF_MODE_TEST, kOwner, &two, CNF_FLAG_FEATURE_RULES);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.outcome, 0);
    EXPECT_TRUE(r.forward.empty());
    EXPECT_TRUE(r.changed.empty());
}

TEST_F(CnfShortValueTest, ActionWithAShortValueFails)
{
    RuleModel rm;
    rm.forward(rule(on453(), 3, {}, {action(345, mw::Value{DDD_VT_USHORT, mw::Bytes{0x01}})}));
    rm.forward(rule(on453(), 3, {}, {action(345, vUShort(1))}));
    installModel(rm);
    set(345, 2);
    const SettingsRef r = ref();
    const WORD shortRule[] = {rm.forwardIds[0]};
    EXPECT_EQ(CNF_ApplyRuleList(1, &r, nullptr, nullptr, 1, shortRule), CNF_FAIL);
    EXPECT_EQ(get(345), 2);
    const WORD wholeRule[] = {rm.forwardIds[1]};
    EXPECT_EQ(CNF_ApplyRuleList(1, &r, nullptr, nullptr, 1, wholeRule), CNF_CHANGED);
    EXPECT_EQ(get(345), 1);
}

/*
 * A rule with the largest number of entries, all "or" and none ending a
 * group: the first holds, the rest are stepped over, no group completes
 * and the search ends.
 */
TEST_F(CnfShortValueTest, LargestOrChainEnds)
{
    RuleModel rm;
    std::vector<mw::Condition> chain(0xFFFF, entry(345, 1, mw::vUShort(1), 2));
    rm.forward(rule(on453(), 3, std::move(chain)));
    rm.onOption2.forward.push_back(0);
    installModel(rm);
    set(345, 1);
    const WORD two = 2;
    const Result r = eval(CNF_MODE_TEST, kOwner, &two);
    EXPECT_EQ(r.code, 0);
    EXPECT_EQ(r.outcome, 0);
    EXPECT_TRUE(r.forward.empty());
    EXPECT_TRUE(r.changed.empty());
}

} // namespace
