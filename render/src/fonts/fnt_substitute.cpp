/*
 * Font substitution: the device font that prints a TrueType font when the
 * user asks for device fonts.  The printer's substitution table names a
 * device face for a TrueType face; in the automatic mode, groups of
 * equivalent face names and scores of character set, pitch, family,
 * italic and weight choose one for every face.
 */
#include "draw_font.h"
#include "fnt_substitute.h"
#include "sheet_pipeline.h"

#include <tarvel/stores/pdt_fontsub.h>

#include <atomic>
#include <cstdlib>
#include <vector>

namespace {

/* ---- Groups of equivalent face names ------------------------------------------- */

using Group = const char16_t *const *;

constexpr const char16_t *kMincho[] = {u"QZ リョービ 本明朝-L", u"平成明朝", u"ＭＳ 明朝", nullptr};
constexpr const char16_t *kPMincho[] = {u"QZ リョービ P本明朝-L", u"ＭＳ Ｐ明朝", nullptr};
constexpr const char16_t *kMinchoV[] = {u"@QZ リョービ 本明朝-L", u"@平成明朝", u"@ＭＳ 明朝", nullptr};
constexpr const char16_t *kPMinchoV[] = {u"@QZ リョービ P本明朝-L", u"@ＭＳ Ｐ明朝", nullptr};
constexpr const char16_t *kGothic[] = {u"QZ リョービ ゴシック-B", u"平成角ゴシック", u"ＭＳ ゴシック", nullptr};
constexpr const char16_t *kPGothic[] = {u"QZ リョービ Pゴシック-B", u"ＭＳ Ｐゴシック", nullptr};
constexpr const char16_t *kGothicV[] = {u"@QZ リョービ ゴシック-B", u"@平成角ゴシック", u"@ＭＳ ゴシック", nullptr};
constexpr const char16_t *kPGothicV[] = {u"@QZ リョービ Pゴシック-B", u"@ＭＳ Ｐゴシック", nullptr};
constexpr const char16_t *kArial[] = {u"Arial", u"CS Triumvirate", u"Helv", u"Helvetica", u"Swiss", nullptr};
constexpr const char16_t *kCourier[] = {u"Courier New", u"CS Courier", u"Courier", nullptr};
constexpr const char16_t *kTimes[] = {u"Times New Roman", u"CS Times Roman", u"Tms Rmn", u"Times Roman",
                                      u"TimesRoman", u"Times", u"TmsRmn", u"Varitimes", u"Dutch",
                                      u"TimesNewRomanPS", nullptr};
constexpr const char16_t *kBookman[] = {u"Bookman Old Style", u"ITC Bookman", u"Bookman", nullptr};
constexpr const char16_t *kCentury[] = {u"Century", u"Classic", nullptr};
constexpr const char16_t *kSchoolbook[] = {u"Century Schoolbook", u"NewCenturySchlbk", u"NewCenturySchoolBook",
                                           u"New Century SchoolBook", u"CenturySchoolBook", nullptr};
constexpr const char16_t *kAntiqua[] = {u"Book Antiqua", u"Modern", u"Bookman Antiqua", u"Zapf Calligraphic",
                                        u"ZapfCalligraphic", u"Paratino", nullptr};

constexpr Group kSet0[] = {kMincho, kMinchoV, kGothic, kGothicV, kArial, kCourier, kTimes, nullptr};
constexpr Group kAllGroups[] = {kMincho,  kPMincho, kMinchoV, kPMinchoV,  kGothic,  kPGothic, kGothicV, kPGothicV,
                                kArial,   kCourier, kTimes,   kBookman,   kCentury, kSchoolbook, kAntiqua, nullptr};
constexpr Group kSet2[] = {kArial, kCourier, kTimes, nullptr};

constexpr const Group *kSets[] = {kSet0, kAllGroups, kSet2};

/* Before any job all groups are in force. */
std::atomic<LONG> g_aliasSet{1};

/* Family-class lists of a requested Swiss face. */
constexpr const char16_t *kCenturyList[] = {u"Century", u"Century Gothic", u"Colonna MT", u"Footlight MT Light",
                                            u"Garamond", nullptr};
constexpr const char16_t *kArialList[] = {u"Arial", u"Arial Black", u"Arial Narrow", u"Arial Rounded MT Bold",
                                          u"Kino MT", nullptr};

/* ASCII and full-width Latin letters folded to lower case. */
char16_t fold(char16_t c)
{
    if (c >= u'A' && c <= u'Z')
        return char16_t(c + 32);
    if (c >= u'Ａ' && c <= u'Ｚ')
        return char16_t(c + 32);
    return c;
}

bool equal_nocase(LPCWSTR a, LPCWSTR b)
{
    while (*a && fold(*a) == fold(*b))
        a++, b++;
    return fold(*a) == fold(*b);
}

/* One is a case-insensitive prefix of the other (compared over the shorter). */
bool prefix_nocase(LPCWSTR a, LPCWSTR b)
{
    while (*a && *b) {
        if (fold(*a) != fold(*b))
            return false;
        a++, b++;
    }
    return true;
}

bool in_list(const char16_t *const *list, LPCWSTR face)
{
    for (; *list; list++)
        if (equal_nocase(*list, face))
            return true;
    return false;
}

LONG clamp(LONG score) { return score < 0 ? 0 : score > FNT_SCORE_MAX ? FNT_SCORE_MAX : score; }

LONG best(DWORD count, const LONG *scores)
{
    LONG b = 0;
    for (DWORD i = 0; i < count; i++)
        b = scores[i] > b ? scores[i] : b;
    return b;
}

WORD first_best(DWORD count, const LONG *scores)
{
    const LONG b = best(count, scores);
    for (DWORD i = 0; i < count; i++)
        if (scores[i] == b)
            return WORD(i);
    return 0;
}

bool empty(LPCWSTR s) { return !s || !*s; }

LONG family_class(LPCWSTR face, BYTE p, BYTE q)
{
    LONG score = 0;
    if (((p & 1) && (q & 3) == 2) || (!(p & 1) && (q & 3) == 1))
        score += 16;
    if ((p & 0xF0) == (q & 0xF0))
        score += 8;
    if ((q & 0xF0) == 0x20 && face &&
        (((p & 0xF0) == 0x10 && in_list(kCenturyList, face)) || ((p & 0xF0) == 0x30 && in_list(kArialList, face))))
        score += 4;
    return score;
}

} // namespace

int FNT_SetAliasTableSet(LONG set)
{
    if (set < 0 || set > 2)
        return 0;
    g_aliasSet.store(set);
    return 1;
}

LONG FNT_AliasTableSet(void) { return g_aliasSet.load(); }

LONG FNT_FamilyClassScore(LPCWSTR face, BYTE p, BYTE q) { return family_class(face, p, q); }

LONG FNT_ScoreCandidateAliases(LPCWSTR face, DWORD count, const SubstituteCandidate *candidates, LONG *scores)
{
    if (empty(face) || !candidates || !scores)
        return 0;
    const LONG before = best(count, scores);
    Group group = nullptr;
    for (const Group *g = kSets[g_aliasSet.load()]; *g && !group; g++)
        for (const char16_t *const *name = *g; *name && !group; name++)
            if (prefix_nocase(*name, face))
                group = *g;
    const bool vertical = face[0] == u'@';
    for (DWORD i = 0; i < count; i++) {
        LPCWSTR device = candidates[i].face;
        if (empty(device) || (device[0] == u'@') != vertical)
            continue;
        LONG points = 1;
        if (equal_nocase(device, face))
            points = 4;
        else if (group)
            for (const char16_t *const *name = group; *name; name++)
                if (prefix_nocase(device, *name))
                    points = 2;
        scores[i] = clamp(scores[i] + points);
    }
    return best(count, scores) - before;
}

BOOL FNT_ScoreCandidateCharsets(BYTE charSet, DWORD count, const SubstituteCandidate *candidates, LONG *scores)
{
    if (!candidates || !scores)
        return FALSE;
    const LONG top = best(count, scores);
    const bool western = charSet < 3;
    BOOL gained = FALSE;
    for (DWORD i = 0; i < count; i++) {
        if (scores[i] != top)
            continue;
        const BYTE cs = candidates[i].charSet;
        if ((cs < 3) == western && (western || cs == charSet)) {
            scores[i] = clamp(scores[i] + 16);
            gained = TRUE;
        }
    }
    return gained;
}

void FNT_ScoreCandidateStyles(const SubstituteRequest &request, DWORD count, const SubstituteCandidate *candidates,
                              LONG *scores)
{
    if (!candidates || !scores)
        return;
    const LONG top = best(count, scores);
    for (DWORD i = 0; i < count; i++) {
        if (scores[i] != top)
            continue;
        const bool upright = candidates[i].italic == 0;
        LONG points = request.italic ? (upright ? 45 : 57) : (upright ? 57 : 0);
        const LONG w = request.weight, v = candidates[i].weight;
        if (w >= v)
            points += 30;
        points += 10 - std::labs(w - v) / 100;
        scores[i] = clamp(scores[i] + points);
    }
}

int FNT_MatchCandidatesByTable(LPCWSTR table, const SubstituteRequest &request, DWORD count,
                               const SubstituteCandidate *candidates, WORD *index)
{
    if (!index || (count && !candidates))
        return FNT_MATCH_FAILED;
    if (!count || empty(request.face))
        return FNT_MATCH_NONE;
    if (!table)
        return FNT_MATCH_FAILED;
    LPCWSTR substitute = PDT_FindFontSubEntry(table, request.face);
    if (!substitute)
        return FNT_MATCH_NONE;
    std::vector<LONG> scores(count, 0);
    bool any = false;
    for (DWORD i = 0; i < count; i++) {
        LPCWSTR device = candidates[i].face;
        if (!device)
            continue;
        LPCWSTR a = device, b = substitute;
        while (*a && *a == *b)
            a++, b++;
        if (*a == *b) {
            scores[i] = 2;
            any = true;
        }
    }
    if (!any || !FNT_ScoreCandidateCharsets(request.charSet, count, candidates, scores.data()))
        return FNT_MATCH_NONE;
    FNT_ScoreCandidateStyles(request, count, candidates, scores.data());
    *index = first_best(count, scores.data());
    return FNT_MATCH_FOUND;
}

int FNT_MatchCandidatesByAlias(LPCWSTR table, const SubstituteRequest &request, DWORD count,
                               const SubstituteCandidate *candidates, WORD *index)
{
    const int byTable = FNT_MatchCandidatesByTable(table, request, count, candidates, index);
    if (byTable != FNT_MATCH_NONE)
        return byTable;
    if (!count)
        return FNT_MATCH_NONE;
    std::vector<LONG> scores(count, 0);
    for (DWORD i = 0; i < count; i++)
        scores[i] = candidates[i].charSet == request.charSet ? 16 : 0;
    LONG rise = 0;
    if (!empty(request.face))
        rise = FNT_ScoreCandidateAliases(request.face, count, candidates, scores.data());
    if (rise <= 1) {
        const LONG top = best(count, scores.data());
        for (DWORD i = 0; i < count; i++)
            if (scores[i] == top)
                scores[i] = clamp(scores[i] + family_class(request.face, candidates[i].pitchAndFamily,
                                                           request.pitchAndFamily));
    }
    FNT_ScoreCandidateStyles(request, count, candidates, scores.data());
    *index = first_best(count, scores.data());
    return FNT_MATCH_FOUND;
}

/* Every job starts with the three Western groups. */
int JOB_SelectFontAliases(PdevContext *pdev)
{
    if (!pdev)
        return -1;
    FNT_SetAliasTableSet(2);
    return 0;
}
