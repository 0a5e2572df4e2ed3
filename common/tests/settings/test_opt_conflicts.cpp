/*
 * The conflict check of the defaults: the standard models settle at once;
 * a model whose two rules keep changing each other's settings ends with the
 * "Default Set Err" box after a bounded number of calls, never in a loop.
 */
#include "test_fid_support.h"

#include <tarvel/constraints/cnf_engine.h>
#include <tarvel/settings/fid_defaults.h>
#include <tarvel/settings/opt_list.h>

#include <modelwriter/model_writer.h>
#include <plat/msgbox.h>
#include <standard_models.h>

namespace {

using namespace fid_test;

/* Far more calls than the bound allows: a run that reaches it would loop for ever. */
constexpr int kCallCap = 1000;

class OptConflicts : public SchemaTest {
protected:
    void TearDown() override
    {
        if (resources_ != nullptr)
            RES_FreeResourceModule();
        SchemaTest::TearDown();
    }
    void afterInstall()
    {
        resources_ = RES_LoadResourceModule();
        ASSERT_NE(resources_, nullptr);
        ASSERT_TRUE(FID_InitDefaults(ctx(), rec_.dm(), rec_.pd(), FID_DUMMY_PRINTER_NAME));
        plat::msgbox_clear();
    }

    /*
     * The sheet's part: after an answer of 2 it applies the actions of the
     * default-only rules that the last-changed setting's value fires.
     */
    void applyRules(WORD id)
    {
        Read value = read(id, rec_.dm(), rec_.pd());
        ASSERT_EQ(value.status, DMA_OK);
        ChangeList *list = CNF_NewChangeList();
        ASSERT_NE(list, nullptr);
        ASSERT_EQ(CNF_Evaluate(CNF_MODE_DEFAULT, printer(), ctx(), rec_.dm(), rec_.pd(), nullptr, id, value.type,
                               &value.slot, list, nullptr, 0),
                  CNF_OK);
        const SettingsRef ref{ctx(), rec_.dm(), rec_.pd()};
        for (WORD i = 0; i < list->forwardCount; ++i) {
            ModelRecord *rule = nullptr;
            ASSERT_EQ(DDD_GetRecordByIndex(DDD_PARSE_FULL, ctx()->main, ctx()->companion, DDD_KIND_RULE,
                                           list->forward[i], &rule),
                      DDD_OK);
            CNF_ApplyRuleActions(&ref, reinterpret_cast<DddRuleRecord *>(rule), nullptr, nullptr);
            DDD_FreeRecord(&rule, -1);
        }
        CNF_FreeChangeList(list);
    }

    /* Calls the check until it answers something else than 2 (or the cap); the answers in order. */
    std::vector<int> run(bool apply)
    {
        FidIdListEntry *ids = FID_AllocIdList();
        EXPECT_NE(ids, nullptr);
        WORD last = 0;
        void *buffer = nullptr;
        std::vector<int> answers;
        while (int(answers.size()) < kCallCap) {
            answers.push_back(FID_CheckDefaultConflicts(resources_, ctx(), printer(), rec_.dm(), rec_.pd(), &buffer,
                                                        nullptr, ids, &last));
            if (answers.back() != FID_CONFLICTS_AGAIN)
                break;
            EXPECT_NE(buffer, nullptr) << "the settings changed";
            if (apply)
                applyRules(last);
        }
        EXPECT_EQ(buffer, nullptr) << "a last answer other than 2 leaves nothing to free";
        entries_.assign(ids, ids + FID_ID_LIST_ENTRIES);
        GlobalFree(ids);
        return answers;
    }

    /*
     * The standard model with settings 263 and 268 (values 0 and 1, both
     * defaulting to 0) whose default-only rules fight: 263 = 0 sets 268 to 1
     * while 268 is 0; 268 = 1 sets 263 to 1 while 263 is 0; 263 = 1 sets 268
     * to 0 while 268 is 1; 268 = 0 sets 263 to 0 while 263 is 1.
     */
    void installFightingModel()
    {
        mw::Model m = tarvel_models::colourPrinter(DDD_GATE_0x1600);
        const DWORD v = m.formatVersion;
        const WORD first = WORD(m.count(DDD_KIND_RULE) + 1);
        auto rule = [&](WORD n, WORD id, WORD value, WORD other, WORD otherValue, WORD target, WORD targetValue) {
            mw::Rule r{n, mw::Setting{0, 1, id, mw::vUShort(value)}, 2 | 0x4000, mw::stored("Fighting rule."),
                       {mw::Condition{mw::Setting{0, 1, other, mw::vUShort(otherValue)}, 4}},
                       {mw::Setting{0, 0, target, mw::vUShort(targetValue)}}};
            m.add(mw::encode(DDD_KIND_RULE, r, v));
        };
        rule(first, 263, 0, 268, 0, 268, 1);
        rule(WORD(first + 1), 268, 1, 263, 0, 263, 1);
        rule(WORD(first + 2), 263, 1, 268, 1, 268, 0);
        rule(WORD(first + 3), 268, 0, 263, 1, 263, 0);
        auto feature = [&](WORD id, WORD rule0, WORD rule1) {
            mw::Feature f;
            f.id = id;
            f.name = mw::stored("Fighting setting");
            f.uiKind = 1;
            f.defaultOption = 1;
            mw::Option zero, one;
            zero.name = mw::stored("Zero");
            zero.setting = mw::vUShort(0);
            zero.forwardRules = {rule0};
            one.name = mw::stored("One");
            one.setting = mw::vUShort(1);
            one.forwardRules = {rule1};
            m.addFeature(DDD_KIND_DOCUMENT_FEATURE, f, {zero, one});
        };
        feature(263, first, WORD(first + 2));
        feature(268, WORD(first + 3), WORD(first + 1));
        installWritten(m, "");
        afterInstall();
    }

    const FidIdListEntry *entry(WORD id) const
    {
        for (const FidIdListEntry &e : entries_)
            if (e.id == id)
                return &e;
        return nullptr;
    }

    HMODULE resources_ = nullptr;
    Records rec_;
    std::vector<FidIdListEntry> entries_;
};

} // namespace

TEST_F(OptConflicts, ColourModelSettlesAtOnce)
{
    install(kColour, "");
    afterInstall();
    EXPECT_EQ(run(true), (std::vector<int>{FID_CONFLICTS_NONE}));
    EXPECT_TRUE(plat::msgbox_log().empty());
}

TEST_F(OptConflicts, FaxModelSettlesAtOnce)
{
    install(kFax, "");
    afterInstall();
    EXPECT_EQ(run(true), (std::vector<int>{FID_CONFLICTS_NONE}));
    EXPECT_TRUE(plat::msgbox_log().empty());
}

TEST_F(OptConflicts, TwoFightingRulesEndWithTheBoxNotALoop)
{
    ASSERT_NE(FID_FindDescriptor(263), nullptr);
    ASSERT_NE(FID_FindDescriptor(268), nullptr);
    installFightingModel();
    /*
     * 263 and 268 change in turn, never twice in a row, so the rule "entered
     * when it changes twice in a row" alone would go on for ever.  Each is
     * entered at its third change; the next change flags 263.
     */
    const std::vector<int> answers = run(true);
    EXPECT_EQ(answers, (std::vector<int>{2, 2, 2, 2, 2, 2, -1}));
    const std::vector<plat::MsgBoxRecord> boxes = plat::msgbox_log();
    ASSERT_EQ(boxes.size(), 1u);
    EXPECT_EQ(u8(boxes[0].caption.c_str()), "Default Set Err");
    EXPECT_EQ(u8(boxes[0].text.c_str()), "DDMID = 0x107: the default value conflicts with another default setting.");
    EXPECT_EQ(boxes[0].style, MB_ICONERROR);
    const FidIdListEntry *e263 = entry(263), *e268 = entry(268);
    ASSERT_NE(e263, nullptr);
    ASSERT_NE(e268, nullptr);
    EXPECT_EQ(e263->flag, (4u << FID_ID_CHANGE_SHIFT) | FID_ID_ENTERED | FID_ID_FLAGGED);
    EXPECT_EQ(e268->flag, (3u << FID_ID_CHANGE_SHIFT) | FID_ID_ENTERED);
}

TEST_F(OptConflicts, SettingChangedTwiceInARowIsReported)
{
    installFightingModel();
    /* Without the sheet applying the rules, 263 changes again at once: entered, then flagged. */
    EXPECT_EQ(run(false), (std::vector<int>{2, 2, -1}));
    ASSERT_EQ(plat::msgbox_log().size(), 1u);
    EXPECT_NE(u8(plat::msgbox_log()[0].text.c_str()).find("DDMID = 0x107"), std::string::npos);
}

TEST_F(OptConflicts, FailuresAnswerMinusOne)
{
    install(kColour, "");
    afterInstall();
    FidIdListEntry *ids = FID_AllocIdList();
    WORD last = 0;
    EXPECT_EQ(FID_CheckDefaultConflicts(resources_, ctx(), printer(), rec_.dm(), rec_.pd(), nullptr, nullptr, nullptr,
                                        &last),
              -1);
    EXPECT_EQ(FID_CheckDefaultConflicts(resources_, ctx(), nullptr, rec_.dm(), rec_.pd(), nullptr, nullptr, ids,
                                        &last),
              -1)
        << "the engine needs the printer";
    EXPECT_TRUE(plat::msgbox_log().empty());
    GlobalFree(ids);
}
