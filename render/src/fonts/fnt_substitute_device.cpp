/*
 * Font substitution over the device context's device fonts: the choice of
 * a device font for a TrueType run in the mode that replaces TrueType
 * fonts, and the matching and scores in their forms over DeviceFontEntry.
 * Each form views the entries as plain candidates and answers through the
 * matching of fnt_substitute.cpp.
 */
#include "draw_font.h"
#include "fnt_device_records.h"
#include "fnt_substitute.h"
#include "pdev_context.h"

#include <tarvel/stores/pdt_fontsub.h>

#include <plat/engine_draw.h>
#include <plat/engine_fonts.h>

#include <new>
#include <vector>

namespace {

constexpr WORD kSettingTrueTypeOption = 17; /* 3: TrueType fonts are replaced by device fonts */
constexpr WORD kSettingSubstitution = 292;  /* 0: table, then the automatic choice; 2: table only */
constexpr DWORD kReplaceByDevice = 3;

/* The entries as candidates; false for a missing entry or no memory. */
bool candidates_of(DWORD count, DeviceFontEntry **descriptors, std::vector<SubstituteCandidate> &out)
{
    if (count && !descriptors)
        return false;
    try {
        out.reserve(count);
    } catch (const std::bad_alloc &) {
        return false;
    }
    for (DWORD i = 0; i < count; i++) {
        const DeviceFontEntry *e = descriptors[i];
        if (!e)
            return false;
        out.push_back({e->faceName, e->charSet, e->pitchAndFamily, e->italic, e->weight});
    }
    return true;
}

/* What the scores look at in `pfo` asking for `face`. */
SubstituteRequest request_of(FONTOBJ *pfo, const IFIMETRICS *pifi, LPCWSTR face)
{
    const BOOL italic = (pfo && (pfo->flFontType & FO_SIM_ITALIC)) || (pifi->fsSelection & FM_SEL_ITALIC);
    return {face, pifi->jWinCharSet, pifi->jWinPitchAndFamily, pifi->usWinWeight, italic};
}

/* The cached table of the slot, fetched from the printer on first use; null when none can be had. */
LPCWSTR cached_table(LPWSTR *slot, HANDLE printer)
{
    if (!*slot)
        *slot = PDT_GetFontSubTable(printer);
    return *slot;
}

using Matcher = int (*)(LPCWSTR, const SubstituteRequest &, DWORD, const SubstituteCandidate *, WORD *);

int match(Matcher matcher, LPWSTR *table, FONTOBJ *pfo, LPCWSTR face, HANDLE printer, DWORD count,
          DeviceFontEntry **descriptors, WORD *index)
{
    if (!table || !pfo || !face || !index || (count && !descriptors))
        return FNT_MATCH_FAILED;
    const IFIMETRICS *pifi = FONTOBJ_pifi(pfo);
    if (!pifi)
        return FNT_MATCH_NO_METRICS;
    if (!count)
        return FNT_MATCH_NONE;
    std::vector<SubstituteCandidate> list;
    if (!candidates_of(count, descriptors, list))
        return FNT_MATCH_FAILED;
    /* An empty face looks nothing up in the table (the automatic choice still scores it). */
    LPCWSTR pairs = nullptr;
    if (*face && !(pairs = cached_table(table, printer)))
        return FNT_MATCH_FAILED;
    try {
        return matcher(pairs, request_of(pfo, pifi, face), count, list.data(), index);
    } catch (const std::bad_alloc &) {
        return FNT_MATCH_NO_MEMORY;
    }
}

LPCWSTR face_of(const IFIMETRICS *pifi)
{
    return pifi->dpwszFaceName ? reinterpret_cast<LPCWSTR>(reinterpret_cast<const BYTE *>(pifi) + pifi->dpwszFaceName)
                               : u"";
}

} // namespace

int FNT_MatchSubstituteFont(LPWSTR *table, FONTOBJ *pfo, LPCWSTR face, HANDLE printer, void *, DWORD count,
                            DeviceFontEntry **descriptors, WORD *index)
{
    return match(FNT_MatchCandidatesByTable, table, pfo, face, printer, count, descriptors, index);
}

int FNT_MatchSubstituteFontByAlias(LPWSTR *table, FONTOBJ *pfo, LPCWSTR face, HANDLE printer, void *,
                                   DWORD count, DeviceFontEntry **descriptors, WORD *index)
{
    return match(FNT_MatchCandidatesByAlias, table, pfo, face, printer, count, descriptors, index);
}

LONG FNT_ScoreAliasGroups(LPCWSTR face, DWORD count, DeviceFontEntry **descriptors, LONG *scores)
{
    std::vector<SubstituteCandidate> list;
    if (!scores || !candidates_of(count, descriptors, list))
        return 0;
    return FNT_ScoreCandidateAliases(face, count, list.data(), scores);
}

BOOL FNT_ScoreCharset(BYTE charSet, DWORD count, DeviceFontEntry **descriptors, LONG *scores)
{
    std::vector<SubstituteCandidate> list;
    if (!scores || !candidates_of(count, descriptors, list))
        return FALSE;
    return FNT_ScoreCandidateCharsets(charSet, count, list.data(), scores);
}

void FNT_ScoreStyle(const IFIMETRICS *pifi, DWORD count, DeviceFontEntry **descriptors, LONG *scores)
{
    std::vector<SubstituteCandidate> list;
    if (!pifi || !scores || !candidates_of(count, descriptors, list))
        return;
    FNT_ScoreCandidateStyles(request_of(nullptr, pifi, face_of(pifi)), count, list.data(), scores);
}

int FNT_SubstituteDeviceFont(PdevContext *pdev, FONTOBJ *pfo, WORD *index)
{
    if (index)
        *index = 0xFFFF;
    if (!PDEV_IsValid(pdev) || !pfo || !index)
        return -1;
    if (!pdev->fontEntryCount || !pdev->fontEntries || !(pfo->flFontType & FO_TYPE_TRUETYPE))
        return 0;
    const IFIMETRICS *pifi = FONTOBJ_pifi(pfo);
    if (!pifi)
        return -1;
    DWORD option = 0, mode = 0;
    PDEV_GetSetting32(pdev, kSettingTrueTypeOption, &option);
    PDEV_GetSetting32(pdev, kSettingSubstitution, &mode);
    if (option != kReplaceByDevice || (mode != 0 && mode != 2))
        return 1;
    LPCWSTR face = face_of(pifi);
    WORD found = 0xFFFF;
    int result = FNT_MatchSubstituteFont(&pdev->fontSubTable, pfo, face, pdev->printer, nullptr,
                                         pdev->fontEntryCount, pdev->fontEntries, &found);
    if (result == FNT_MATCH_NONE && mode == 0)
        result = FNT_MatchSubstituteFontByAlias(&pdev->fontSubTable, pfo, face, pdev->printer, nullptr,
                                                pdev->fontEntryCount, pdev->fontEntries, &found);
    if (result == FNT_MATCH_NONE && mode == 2)
        return 0;
    if (result != FNT_MATCH_FOUND)
        return -1;
    *index = found;
    return 0;
}
