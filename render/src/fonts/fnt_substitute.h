/*
 * The choice of a device font for a TrueType font, over a plain view of
 * the device fonts (face, character set, pitch and family, italic,
 * weight): through the printer's substitution table, then through groups
 * of equivalent names and the scores of character set, pitch, family,
 * italic and weight.  draw_font.h's FNT_MatchSubstituteFont and its
 * companions answer through these.
 */
#ifndef TARVELGR_FNT_SUBSTITUTE_H
#define TARVELGR_FNT_SUBSTITUTE_H

#include <plat/types.h>

/* What the scores look at in one device font. */
struct SubstituteCandidate {
    LPCWSTR face;
    BYTE charSet;
    BYTE pitchAndFamily;
    BYTE italic;
    WORD weight;
};

/* What the scores look at in the TrueType font asked for. */
struct SubstituteRequest {
    LPCWSTR face;
    BYTE charSet;          /* jWinCharSet */
    BYTE pitchAndFamily;   /* jWinPitchAndFamily */
    WORD weight;           /* usWinWeight */
    BOOL italic;           /* FO_SIM_ITALIC or FM_SEL_ITALIC */
};

/* Match results. */
enum : int {
    FNT_MATCH_NONE = 1,
    FNT_MATCH_FOUND = 2,
    FNT_MATCH_NO_MEMORY = 3,
    FNT_MATCH_NO_METRICS = 4,
    FNT_MATCH_FAILED = 5,
};

/* Scores stay within one byte: they stop at 0 and 255 rather than wrap. */
inline constexpr LONG FNT_SCORE_MAX = 255;

/* Through the substitution table `table` (null: FNT_MATCH_FAILED). */
int FNT_MatchCandidatesByTable(LPCWSTR table, const SubstituteRequest &request, DWORD count,
                               const SubstituteCandidate *candidates, WORD *index);

/* Through the table, then the alias groups and the scores: always some device font when there is one. */
int FNT_MatchCandidatesByAlias(LPCWSTR table, const SubstituteRequest &request, DWORD count,
                               const SubstituteCandidate *candidates, WORD *index);

/* The scores of one step over `count` candidates (scores[i] updated); see draw_font.h. */
LONG FNT_ScoreCandidateAliases(LPCWSTR face, DWORD count, const SubstituteCandidate *candidates, LONG *scores);
BOOL FNT_ScoreCandidateCharsets(BYTE charSet, DWORD count, const SubstituteCandidate *candidates, LONG *scores);
void FNT_ScoreCandidateStyles(const SubstituteRequest &request, DWORD count, const SubstituteCandidate *candidates,
                              LONG *scores);

/* The alias table set in force (0, 1 or 2). */
LONG FNT_AliasTableSet(void);

#endif /* TARVELGR_FNT_SUBSTITUTE_H */
