/*
 * Poster tiles and booklet halves: both place the page with the 1-up layout
 * of an imaginary sheet (the whole poster, or one half of a booklet's
 * spread) and then carry the result onto the real sheet: a poster tile by
 * moving the page back by the tiles before it, a booklet page by the turn
 * of its binding and the image shift.
 */
#include "page_geometry.h"

#include <algorithm>

namespace {

/* Grids larger than this are no poster and no N-up sheet; the cell walk stays short. */
constexpr LONG kMaxGridSide = 32;

/* The 1-up settings of a poster or booklet page: no N-up, binding margin, zoom or duplex mirroring. */
LayoutParams one_up(const LayoutParams &params, LONG sheetLandscape)
{
    LayoutParams p{};
    p.pagesPerSheet = 1;
    p.sheetLandscape = sheetLandscape;
    p.turn180 = params.turn180;
    p.alignment = params.alignment;
    return p;
}

/* Alignment codes of facing pages: left and right exchanged for upright pages, top and bottom for turned ones. */
LONG facing_alignment(LONG code, LONG landscape)
{
    static const LONG across[4] = {1, 0, 3, 2};
    static const LONG upDown[4] = {3, 2, 1, 0};
    if (code < 0 || code > 3)
        return code;
    return landscape ? upDown[code] : across[code];
}

FLOAT pixels(FLOAT tenths, LONG resolution) { return tenths * FLOAT(resolution) / 254.0f; }

} // namespace

int JOB_NupCellOrigin(const NupGrid *grid, LONG index, NupGrid *out)
{
    if (!grid || !out || grid->columns < 1 || grid->rows < 1 || grid->columns > kMaxGridSide ||
        grid->rows > kMaxGridSide || index < 0 || index >= grid->columns * grid->rows)
        return -1;
    const LONG c = grid->columns, r = grid->rows;
    LONG u, v;
    if (grid->rowMajor) {
        u = grid->firstColumn + (index % c) * grid->columnStep;
        v = grid->firstRow + (index / c) * grid->rowStep;
    } else {
        u = grid->firstColumn + (index / r) * grid->columnStep;
        v = grid->firstRow + (index % r) * grid->rowStep;
    }
    /* The same cell reached by walking: a grid whose ends and steps disagree is refused. */
    LONG wu = grid->firstColumn, wv = grid->firstRow;
    for (LONG i = 0; i < index; i++) {
        if (grid->rowMajor) {
            if (wu == grid->lastColumn) {
                wu = grid->firstColumn;
                wv += grid->rowStep;
            } else {
                wu += grid->columnStep;
            }
        } else if (wv == grid->lastRow) {
            wv = grid->firstRow;
            wu += grid->columnStep;
        } else {
            wv += grid->rowStep;
        }
    }
    if (wu != u || wv != v || u < 0 || u >= c || v < 0 || v >= r)
        return -1;
    *out = *grid;
    out->origin.dx -= FLOAT(u) * grid->cellWidth;
    out->origin.dy -= FLOAT(v) * grid->cellHeight;
    return 0;
}

int LAY_PosterLayout(const LayoutParams *params, const PaperRecord *sheet, const PageGeometry *page, LONG resolution,
                     LONG columns, LONG rows, PosterLayout *out)
{
    if (!params || !sheet || !page || !out || columns < 1 || columns > 4 || rows < 1 || rows > 4)
        return -1;
    const LayoutParams p = one_up(*params, page->landscape ? 1 : 0);
    LayoutRecord l{};
    if (LAY_BuildLayout(&p, sheet, page, resolution, &l) != 0)
        return -1;
    /* The whole poster as one sheet: the printable areas side by side, the sheet's margins around them. */
    const FLOAT pw = sheet->printableWidth, pl = sheet->printableLength;
    const FLOAT lm = sheet->leftMargin, tm = sheet->topMargin;
    l.sheetWidth = FLOAT(columns) * pw + 2 * lm;
    l.sheetHeight = FLOAT(rows) * pl + 2 * tm;
    LAY_SetImageableArea(&l, lm, tm, lm + FLOAT(columns) * pw, tm + FLOAT(rows) * pl);
    PosterLayout poster{};
    if (LAY_CellTransform(&l, 1, 1, &poster.whole, nullptr) != 0)
        return -1;
    poster.columns = columns;
    poster.rows = rows;
    poster.tileWidth = pixels(pw, resolution);
    poster.tileHeight = pixels(pl, resolution);
    poster.area[0] = pixels(lm, resolution);
    poster.area[1] = pixels(tm, resolution);
    poster.area[2] = pixels(lm + pw, resolution);
    poster.area[3] = pixels(tm + pl, resolution);
    *out = poster;
    return 0;
}

int LAY_PosterOrder(const PosterLayout *poster, NupGrid *grid)
{
    if (!poster || !grid)
        return -1;
    const PageTransform &t = poster->whole;
    const bool upright = t.m12 == 0 && t.m21 == 0 && t.m11 != 0 && (t.m11 > 0) == (t.m22 > 0) && t.m22 != 0;
    const bool quarter = t.m11 == 0 && t.m22 == 0 && t.m12 != 0 && t.m21 != 0 && (t.m12 > 0) != (t.m21 > 0);
    if (!upright && !quarter)
        return -1;
    NupGrid g{};
    g.columns = poster->columns;
    g.rows = poster->rows;
    g.cellWidth = poster->tileWidth;
    g.cellHeight = poster->tileHeight;
    g.origin = t;
    g.firstColumn = 0;
    g.lastColumn = g.columns - 1;
    g.columnStep = 1;
    /* A page turned a quarter reads from the poster's bottom-left corner upward, column by column. */
    g.rowMajor = upright ? 1 : 0;
    g.firstRow = upright ? 0 : g.rows - 1;
    g.lastRow = upright ? g.rows - 1 : 0;
    g.rowStep = upright ? 1 : -1;
    *grid = g;
    return 0;
}

int LAY_PosterTileTransform(const PosterLayout *poster, LONG tile, PageTransform *out)
{
    NupGrid grid{}, cell{};
    if (!out || LAY_PosterOrder(poster, &grid) != 0 || JOB_NupCellOrigin(&grid, tile, &cell) != 0)
        return -1;
    *out = cell.origin;
    return 0;
}

int LAY_BookletGeometry(const LayoutParams *params, const PaperRecord *sheet, const PageGeometry *page,
                        LONG resolution, const BookletHalf *half, LayoutRecord *out)
{
    if (!params || !sheet || !page || !half || !out || (half->binding != 1 && half->binding != 2) ||
        (half->position != 0 && half->position != 1) || half->gutterWidth < 0 || half->pageIndex < 0)
        return -1;
    LayoutParams p = one_up(*params, 1);
    if (half->pageIndex % 2 == 1)
        p.alignment = facing_alignment(p.alignment, page->landscape);
    LayoutRecord l{};
    if (LAY_BuildLayout(&p, sheet, page, resolution, &l) != 0)
        return -1;
    /* The spread is the sheet turned a quarter: the fold halves its width, which is the sheet's length. */
    /* Binding 2 turns the whole spread a half turn afterwards, which keeps its left half on the left. */
    const FLOAT fold = l.sheetHeight / 2, gutter = FLOAT(half->gutterWidth) / 2;
    if (half->position == 0)
        l.area[2] = std::min(l.area[2], fold - gutter);
    else
        l.area[0] = std::max(l.area[0], fold + gutter);
    if (l.area[2] <= l.area[0])
        return -1;
    *out = l;
    return 0;
}

void LAY_ComposeCellTransform(PageTransform *t, const LayoutRecord *half, LONG binding, LONG shiftX, LONG shiftY)
{
    if (!t || !half)
        return;
    if (binding == 2)
        LAY_TurnAndShift(t, pixels(half->sheetWidth, half->resolution), pixels(half->sheetHeight, half->resolution));
    t->dx += LAY_ToPixels(shiftX, half->resolution);
    t->dy -= LAY_ToPixels(shiftY, half->resolution);
}

int LAY_BookletCellTransform(const LayoutParams *params, const PaperRecord *sheet, const PageGeometry *page,
                             LONG resolution, const BookletHalf *half, PageTransform *out)
{
    LayoutRecord l{};
    if (!out || LAY_BookletGeometry(params, sheet, page, resolution, half, &l) != 0 ||
        LAY_CellTransform(&l, 1, 1, out, nullptr) != 0)
        return -1;
    const bool shift = params->shiftMode == 1;
    LAY_ComposeCellTransform(out, &l, half->binding, shift ? params->shiftX : 0, shift ? params->shiftY : 0);
    return 0;
}

void LAY_TurnPageGeometry(PageGeometry *page)
{
    if (!page)
        return;
    PaperRecord &r = page->paper;
    const PaperRecord old = r;
    r.width = old.length;
    r.length = old.width;
    r.printableWidth = old.printableLength;
    r.printableLength = old.printableWidth;
    r.leftMargin = old.topMargin;
    r.topMargin = old.leftMargin;
    /* A quarter turn takes the top margin to the left, the right one to the top, and so on round. */
    r.layoutLeft = old.layoutTop;
    r.layoutTop = old.layoutRight;
    r.layoutRight = old.layoutBottom;
    r.layoutBottom = old.layoutLeft;
    page->landscape = page->landscape ? 0 : 1;
}
