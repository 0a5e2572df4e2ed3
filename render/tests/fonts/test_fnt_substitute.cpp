// Font substitution over a list of device fonts like the standard model's
// (Courier and Helvetica, which the model pairs with Courier New, Arial and
// Arial Narrow) with a few more faces: the table match, the alias groups,
// the scores, and the alias table sets.
#include "draw_font.h"
#include "fnt_substitute.h"
#include "sheet_pipeline.h"

#include <plat/memory.h>

#include <gtest/gtest.h>

#include <cstring>

#include <string>
#include <vector>

namespace {

/* The pairs the standard model's device fonts give, in a block of their own as the table is kept. */
const char16_t kModelPairs[] = u"Courier New\0Courier\0Arial\0Helvetica\0Arial Narrow\0Helvetica\0";

LPWSTR table(const char16_t *pairs, size_t bytes)
{
    auto *t = static_cast<LPWSTR>(GlobalAlloc(GPTR, bytes));
    std::memcpy(t, pairs, bytes);
    return t;
}

const std::vector<SubstituteCandidate> kDevice = {
    {u"Courier", 0, 0x30, 0, 400},           /* 0: fixed pitch, modern */
    {u"Courier", 0, 0x30, 0, 700},           /* 1 */
    {u"Helvetica", 0, 0x21, 0, 400},         /* 2: variable pitch, swiss */
    {u"Helvetica", 0, 0x21, 0, 700},         /* 3 */
    {u"Helvetica", 0, 0x21, 1, 400},         /* 4: italic */
    {u"Times", 0, 0x11, 0, 400},             /* 5: roman */
    {u"Univers", 0, 0x31, 0, 400},           /* 6: a modern variable-pitch face */
    {u"@ＭＳ 明朝", 128, 0x11, 0, 400},      /* 7 */
    {u"ＭＳ 明朝", 128, 0x11, 0, 400},       /* 8 */
};

class FontSubstitution : public ::testing::Test {
protected:
    void SetUp() override
    {
        FNT_SetAliasTableSet(2);
        kModelTable = table(kModelPairs, sizeof kModelPairs);
    }
    void TearDown() override
    {
        GlobalFree(kModelTable);
        FNT_SetAliasTableSet(1);
    }
    LPWSTR kModelTable = nullptr;
};

struct Case {
    const char *name;
    SubstituteRequest request;
    int byTable;  /* FNT_MatchCandidatesByTable */
    int expected; /* the device font of the automatic mode */
};

TEST_F(FontSubstitution, FacesAgainstTheDeviceFonts)
{
    const Case cases[] = {
        {"table entry", {u"Courier New", 0, 0x31, 400, FALSE}, FNT_MATCH_FOUND, 0},
        {"table entry, bold wins by weight", {u"Arial", 0, 0x22, 700, FALSE}, FNT_MATCH_FOUND, 3},
        {"table entry, italic", {u"Arial", 0, 0x22, 400, TRUE}, FNT_MATCH_FOUND, 4},
        {"the table's face in a character set its substitute lacks: a face of that set",
         {u"Arial", 128, 0x22, 400, FALSE}, FNT_MATCH_NONE, 8},
        {"alias group", {u"Times New Roman", 0, 0x12, 400, FALSE}, FNT_MATCH_NONE, 5},
        {"same name", {u"Univers", 0, 0x22, 400, FALSE}, FNT_MATCH_NONE, 6},
        {"no match: the best score", {u"Garamond", 0, 0x12, 400, FALSE}, FNT_MATCH_NONE, 5},
        {"no match, fixed pitch", {u"Consolas", 0, 0x31, 400, FALSE}, FNT_MATCH_NONE, 0},
        {"empty face", {u"", 0, 0x22, 400, FALSE}, FNT_MATCH_NONE, 2},
    };
    for (const Case &c : cases) {
        WORD index = 0xFFFF;
        EXPECT_EQ(FNT_MatchCandidatesByTable(kModelTable, c.request, DWORD(kDevice.size()), kDevice.data(), &index),
                  c.byTable)
            << c.name;
        index = 0xFFFF;
        EXPECT_EQ(FNT_MatchCandidatesByAlias(kModelTable, c.request, DWORD(kDevice.size()), kDevice.data(), &index),
                  FNT_MATCH_FOUND)
            << c.name;
        EXPECT_EQ(index, c.expected) << c.name;
    }
}

TEST_F(FontSubstitution, MissingArgumentsAndEmptyLists)
{
    WORD index = 0xFFFF;
    const SubstituteRequest arial{u"Arial", 0, 0x22, 400, FALSE};
    EXPECT_EQ(FNT_MatchCandidatesByTable(nullptr, arial, DWORD(kDevice.size()), kDevice.data(), &index),
              FNT_MATCH_FAILED);
    EXPECT_EQ(FNT_MatchCandidatesByTable(kModelTable, arial, DWORD(kDevice.size()), kDevice.data(), nullptr),
              FNT_MATCH_FAILED);
    EXPECT_EQ(FNT_MatchCandidatesByTable(kModelTable, arial, 0, nullptr, &index), FNT_MATCH_NONE);
    EXPECT_EQ(FNT_MatchCandidatesByAlias(kModelTable, arial, 0, nullptr, &index), FNT_MATCH_NONE);
    EXPECT_EQ(index, 0xFFFF);
    /* the table's substitute is compared exactly */
    const char16_t pairs[] = u"Arial\0helvetica\0";
    LPWSTR lower = table(pairs, sizeof pairs);
    EXPECT_EQ(FNT_MatchCandidatesByTable(lower, arial, DWORD(kDevice.size()), kDevice.data(), &index), FNT_MATCH_NONE);
    GlobalFree(lower);
}

TEST_F(FontSubstitution, AnAtFaceScoresOnlyAtFaces)
{
    FNT_SetAliasTableSet(0);
    LONG scores[9] = {};
    EXPECT_EQ(FNT_ScoreCandidateAliases(u"@平成明朝", 9, kDevice.data(), scores), 2);
    EXPECT_EQ((std::vector<LONG>(scores, scores + 9)), (std::vector<LONG>{0, 0, 0, 0, 0, 0, 0, 2, 0}));
    LONG upright[9] = {};
    EXPECT_EQ(FNT_ScoreCandidateAliases(u"ｍｓ 明朝", 9, kDevice.data(), upright), 4); /* full-width letters fold */
    EXPECT_EQ((std::vector<LONG>(upright, upright + 9)), (std::vector<LONG>{1, 1, 1, 1, 1, 1, 1, 0, 4}));
    /* set 2 has no Japanese groups: the same face is only "another name" */
    FNT_SetAliasTableSet(2);
    LONG western[9] = {};
    EXPECT_EQ(FNT_ScoreCandidateAliases(u"@平成明朝", 9, kDevice.data(), western), 1);
    EXPECT_EQ(western[7], 1);
}

TEST_F(FontSubstitution, StyleScores)
{
    const std::vector<SubstituteCandidate> two = {{u"A", 0, 0x21, 0, 400}, {u"A", 0, 0x21, 0, 700}};
    LONG scores[2] = {};
    FNT_ScoreCandidateStyles({u"A", 0, 0x22, 700, FALSE}, 2, two.data(), scores);
    EXPECT_EQ(scores[0], 57 + 30 + 10 - 3);
    EXPECT_EQ(scores[1], 57 + 30 + 10);

    const std::vector<SubstituteCandidate> italic = {{u"A", 0, 0x21, 1, 400}, {u"A", 0, 0x21, 0, 400}};
    LONG a[2] = {}, b[2] = {};
    FNT_ScoreCandidateStyles({u"A", 0, 0x22, 400, TRUE}, 2, italic.data(), a);
    EXPECT_EQ(a[0], 57 + 40);
    EXPECT_EQ(a[1], 45 + 40);
    FNT_ScoreCandidateStyles({u"A", 0, 0x22, 400, FALSE}, 2, italic.data(), b);
    EXPECT_EQ(b[0], 0 + 40);
    EXPECT_EQ(b[1], 57 + 40);

    /* only the best-scored get style points */
    LONG c[2] = {5, 3};
    FNT_ScoreCandidateStyles({u"A", 0, 0x22, 400, FALSE}, 2, italic.data(), c);
    EXPECT_EQ(c[0], 45);
    EXPECT_EQ(c[1], 3);

    /* an out-of-range weight stops the score at 0 instead of wrapping to near 255 */
    const std::vector<SubstituteCandidate> heavy = {{u"A", 0, 0x21, 1, 9000}};
    LONG d[1] = {};
    FNT_ScoreCandidateStyles({u"A", 0, 0x22, 0, FALSE}, 1, heavy.data(), d);
    EXPECT_EQ(d[0], 0);
}

TEST_F(FontSubstitution, CharacterSetClasses)
{
    const std::vector<SubstituteCandidate> sets = {
        {u"A", 0, 0, 0, 400}, {u"A", 2, 0, 0, 400}, {u"A", 128, 0, 0, 400}, {u"A", 136, 0, 0, 400}};
    LONG a[4] = {};
    EXPECT_TRUE(FNT_ScoreCandidateCharsets(1, 4, sets.data(), a)); /* ANSI, default and symbol are one class */
    EXPECT_EQ((std::vector<LONG>(a, a + 4)), (std::vector<LONG>{16, 16, 0, 0}));
    LONG b[4] = {};
    EXPECT_TRUE(FNT_ScoreCandidateCharsets(128, 4, sets.data(), b)); /* others must be equal */
    EXPECT_EQ((std::vector<LONG>(b, b + 4)), (std::vector<LONG>{0, 0, 16, 0}));
    LONG c[4] = {};
    EXPECT_FALSE(FNT_ScoreCandidateCharsets(134, 4, sets.data(), c));
}

TEST_F(FontSubstitution, FamilyClassScores)
{
    EXPECT_EQ(FNT_FamilyClassScore(u"Arial Narrow", 0x31, 0x22), 16 + 4); /* variable, modern for a Swiss Arial */
    EXPECT_EQ(FNT_FamilyClassScore(u"arial narrow", 0x30, 0x22), 4);
    EXPECT_EQ(FNT_FamilyClassScore(u"Century Gothic", 0x11, 0x22), 16 + 4);
    EXPECT_EQ(FNT_FamilyClassScore(u"Verdana", 0x31, 0x22), 16);
    EXPECT_EQ(FNT_FamilyClassScore(u"Verdana", 0x21, 0x22), 16 + 8);
    EXPECT_EQ(FNT_FamilyClassScore(u"Courier New", 0x30, 0x31), 16 + 8);
    EXPECT_EQ(FNT_FamilyClassScore(nullptr, 0x30, 0x22), 0);
}

TEST_F(FontSubstitution, AliasSetsAreChosenAndEveryJobTakesTheWesternGroups)
{
    EXPECT_EQ(FNT_SetAliasTableSet(3), 0);
    EXPECT_EQ(FNT_SetAliasTableSet(-1), 0);
    EXPECT_EQ(FNT_AliasTableSet(), 2);
    EXPECT_EQ(FNT_SetAliasTableSet(1), 1);
    EXPECT_EQ(FNT_AliasTableSet(), 1);
    /* "Bookman" belongs to a group of set 1 only */
    LONG scores[1] = {};
    const SubstituteCandidate bookman{u"ITC Bookman", 0, 0x11, 0, 400};
    EXPECT_EQ(FNT_ScoreCandidateAliases(u"Bookman Old Style", 1, &bookman, scores), 2);
    PdevContext *pdev = reinterpret_cast<PdevContext *>(&scores);
    EXPECT_EQ(JOB_SelectFontAliases(pdev), 0);
    EXPECT_EQ(FNT_AliasTableSet(), 2);
    scores[0] = 0;
    EXPECT_EQ(FNT_ScoreCandidateAliases(u"Bookman Old Style", 1, &bookman, scores), 1);
    EXPECT_EQ(JOB_SelectFontAliases(nullptr), -1);
}

} // namespace
