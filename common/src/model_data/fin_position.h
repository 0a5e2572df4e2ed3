/*
 * Finishing positions: the stored staple (setting 326) and punch (344)
 * positions turned back into the codes the user chooses (settings 320 and
 * 341), and the corner positions of the finishing pictures.  The stored
 * positions depend on the page orientation and on how pages are laid out on
 * the sheet (setting 295), so every translation first classifies the query.
 */
#ifndef TARVEL_FIN_POSITION_H
#define TARVEL_FIN_POSITION_H

#include <plat/types.h>

struct FinishingPositionQuery {
    WORD orientation;   /* setting 7: 1 portrait, 2 landscape */
    WORD pagesPerSheet; /* setting 295: 1, 2, 4, 8, 16 or 32 */
    WORD position;      /* the position to translate */
};

/* Staple and punch code settings that FIN_TranslatePosition answers for. */
constexpr WORD FIN_STAPLE_SETTING = 320;
constexpr WORD FIN_PUNCH_SETTING = 341;

/*
 * Translates a corner position 0-4 of the query into *out: 0 gives 0 for
 * any orientation; 1-4 give 6, 8, 1, 2 (orientation 1 with 1, 4 or 16 pages
 * per sheet, or orientation 2 with 2, 8 or 32) or 5, 4, 3, 7 (the crossed
 * pairs).  Returns 0 when done, 1 for another position, a query that is
 * neither kind, or a null argument (*out is then left alone).
 */
int FIN_TranslateCornerPosition(const FinishingPositionQuery *query, WORD *out);

/*
 * Translates a stored staple (setting 320) or punch (341) position of the
 * query back into the code of that setting in *out.  Positions 0, 0x0606,
 * 0x0707 and 0x0808 translate whatever the orientation and page layout are.
 * Returns 0 when done; 1 for another setting, a position the setting does
 * not know, a query that is neither kind where one is needed, or a null
 * argument (*out is then left alone).
 */
int FIN_TranslatePosition(WORD setting, const FinishingPositionQuery *query, WORD *out);

#endif /* TARVEL_FIN_POSITION_H */
