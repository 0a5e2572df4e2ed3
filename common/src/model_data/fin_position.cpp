/*
 * Finishing position translations.  A query is "straight" (case A) when the
 * sheet keeps the page's orientation: portrait with 1, 4 or 16 pages per
 * sheet, or landscape with 2, 8 or 32; it is "crossed" (case B) for the
 * opposite pairs.  The tables are the inverse of the data manager's mapping
 * from the staple and punch codes to the stored positions.
 */
#include "fin_position.h"

#include <array>

namespace {

enum class Case { Straight, Crossed, Neither };

Case classify(const FinishingPositionQuery &q)
{
    bool odd = q.pagesPerSheet == 1 || q.pagesPerSheet == 4 || q.pagesPerSheet == 16;
    bool even = q.pagesPerSheet == 2 || q.pagesPerSheet == 8 || q.pagesPerSheet == 32;
    if ((q.orientation == 1 && odd) || (q.orientation == 2 && even))
        return Case::Straight;
    if ((q.orientation == 1 && even) || (q.orientation == 2 && odd))
        return Case::Crossed;
    return Case::Neither;
}

constexpr WORD kNoKey = 0xFFFF;

/* One stored position and its code in each case; a position without a case needs both equal. */
struct PositionRow {
    WORD position;
    bool needsCase;
    WORD stapleA, stapleB; /* setting 320 */
    WORD punchA, punchB;   /* setting 341; kNoKey: not a punch position */
};

constexpr std::array<PositionRow, 12> kPositions = {{
    {0x0000, false, 0, 0, 0, 0},
    {0x0101, true, 3, 5, 2, 3},
    {0x0202, true, 7, 1, 4, 1},
    {0x0303, true, 1, 3, 1, 2},
    {0x0404, true, 5, 7, 3, 4},
    {0x0103, true, 2, 4, kNoKey, kNoKey},
    {0x0104, true, 4, 6, kNoKey, kNoKey},
    {0x0204, true, 6, 8, kNoKey, kNoKey},
    {0x0203, true, 8, 2, kNoKey, kNoKey},
    {0x0606, false, 9, 9, 5, 5},
    {0x0707, false, 10, 10, kNoKey, kNoKey},
    {0x0808, false, 11, 11, kNoKey, kNoKey},
}};

/* Corner positions 1-4 in each case. */
constexpr WORD kCornerA[4] = {6, 8, 1, 2};
constexpr WORD kCornerB[4] = {5, 4, 3, 7};

} // namespace

int FIN_TranslateCornerPosition(const FinishingPositionQuery *query, WORD *out)
{
    if (!query || !out)
        return 1;
    if (query->position == 0) {
        *out = 0;
        return 0;
    }
    if (query->position > 4)
        return 1;
    Case c = classify(*query);
    if (c == Case::Neither)
        return 1;
    *out = (c == Case::Straight ? kCornerA : kCornerB)[query->position - 1];
    return 0;
}

int FIN_TranslatePosition(WORD setting, const FinishingPositionQuery *query, WORD *out)
{
    if (!query || !out || (setting != FIN_STAPLE_SETTING && setting != FIN_PUNCH_SETTING))
        return 1;
    for (const PositionRow &row : kPositions) {
        if (row.position != query->position)
            continue;
        bool staple = setting == FIN_STAPLE_SETTING;
        WORD a = staple ? row.stapleA : row.punchA;
        WORD b = staple ? row.stapleB : row.punchB;
        if (a == kNoKey)
            return 1;
        Case c = row.needsCase ? classify(*query) : Case::Straight;
        if (c == Case::Neither)
            return 1;
        *out = c == Case::Straight ? a : b;
        return 0;
    }
    return 1;
}
