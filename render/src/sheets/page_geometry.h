/*
 * Page geometry of the sheet pipeline: the sheet's paper and the
 * application's page in tenths of a millimetre, the layout of a sheet in
 * device pixels (imageable area, binding margins, image shift, zoom or fit,
 * 180-degree turn, N-up grid and cell order) and the page transform that
 * puts one logical page into its cell of a physical sheet side.
 *
 * Coordinates: the sheet and the application page are both in device pixels
 * with y growing downward (the PCL XL page space).  A page transform maps a
 * point of the application page (its printable area's top-left corner at
 * 0, 0) onto the sheet.  A page whose shape differs from its cell's (a
 * tall page in a wide cell) is turned a quarter turn counter-clockwise into
 * it (its top along the cell's left edge).  A landscape layout is worked out
 * on the sheet turned the same way, then turned back, so every transform is
 * the whole mapping and the sheet is always fed upright.
 *
 * Poster tiles and booklet halves are built from the same 1-up layout
 * (page_tiles.cpp).
 */
#ifndef TARVELGR_PAGE_GEOMETRY_H
#define TARVELGR_PAGE_GEOMETRY_H

#include "pclxl_transform.h"

#include <plat/types.h>

struct PdevContext;
struct PaperForm;

/*
 * A paper or page in tenths of a millimetre (32 bytes, the size recorded
 * pages store; the two last fields are padding and stay 0).
 */
struct PaperRecord {
    SHORT paperCode;
    SHORT width;
    SHORT length;
    SHORT printableWidth;
    SHORT printableLength;
    SHORT leftMargin;      /* (width - printable width + 1) / 2 */
    SHORT topMargin;       /* (length - printable length + 1) / 2 */
    SHORT reserved[2];
    SHORT inCustomRange;   /* 1 for papers that are not custom sizes */
    SHORT layoutLeft;      /* the margins the layout uses */
    SHORT layoutRight;
    SHORT layoutTop;
    SHORT layoutBottom;
    SHORT padding[2];
};
static_assert(sizeof(PaperRecord) == 32, "PaperRecord is stored as 32 bytes");

/* The application's page: its paper and margins, and whether it is landscape. */
struct PageGeometry {
    PaperRecord paper;
    LONG landscape;        /* setting 7: 1 portrait -> 0, 2 landscape -> 1 */
};

/* Layout settings of a job, as the layout record of the job holds them. */
struct LayoutParams {
    LONG pagesPerSheet;    /* 1, 2, 4, 8, 16, 32 */
    LONG cellOrder;        /* setting 264: 0 to 6 */
    LONG sheetLandscape;   /* 1: the layout is worked out on the turned sheet */
    LONG cellsTurned;      /* 1: the cells are turned (the order state and the back-face alignment follow it) */
    LONG zoomOn;
    LONG zoomPercent;      /* 25 to 400 with zoom on */
    LONG fit;              /* fit to area: a binding margin shrinks the area */
    LONG binding;          /* 0 none, 1 left, 2 right, 3 top, 4 bottom */
    LONG bindingFront;     /* tenths of a millimetre */
    LONG bindingBack;
    LONG duplexBinding;    /* 0 simplex, 1 short edge, 2 long edge */
    LONG shiftMode;        /* 1: shift by shiftX, shiftY */
    LONG shiftX;           /* tenths of a millimetre, x to the right, y upward */
    LONG shiftY;
    LONG turn180;          /* 0 none, 1 landscape pages, 2 portrait pages, 3 every page */
    LONG alignment;        /* 0 top-left, 1 top-right, 2 bottom-right, 3 bottom-left, 4 centred */
};

/*
 * The layout of one sheet side, built by LAY_BuildLayout.  Lengths are in
 * tenths of a millimetre (so a page that fills its area gets the scale 1
 * exactly); transforms turn them into pixels at `resolution`.
 */
struct LayoutRecord {
    LONG resolution;       /* dpi, both axes */
    FLOAT pageWidth;       /* the application page's printable area */
    FLOAT pageHeight;
    FLOAT sheetWidth;      /* the paper as fed (never turned) */
    FLOAT sheetHeight;
    FLOAT area[4];         /* imageable area: left, top, right, bottom, in the layout frame */
    LONG pageLandscape;
    LONG sheetLandscape;
    LONG zoomOn;
    LONG zoomPercent;
    LONG duplexBinding;
    LONG turn180;
    LONG orderState;       /* 0 to 7 */
    LONG pagesPerSheet;
    LONG columns;
    LONG rows;
    LONG cellsTurned;
    LONG binding;
    FLOAT bindingFront;
    FLOAT bindingBack;
    LONG fit;
    LONG alignment;
    LONG shiftMode;
    FLOAT shiftX;
    FLOAT shiftY;
};

/* Tenths of a millimetre to pixels along an axis (v x resolution / 254). */
FLOAT LAY_ToPixels(LONG tenths, LONG resolution);

/* Internal units (1/18432 inch) to tenths of a millimetre: (v x 254 + 9216) / 18432 in single precision, truncated. */
LONG LAY_UnitsToTenths(LONG units);

/*
 * The record of `form` (the paper fed, or the page asked for): sizes and
 * printable extents from the form, centring margins, and the layout margins
 * (left, left, top, top).  `borderless` makes the printable size the paper
 * size and the margins 0.  `paperCode` is stored as given.  0, or -1 for a
 * missing argument or a form without size.
 */
int LAY_PaperRecord(const PaperForm *form, SHORT paperCode, BOOL borderless, PaperRecord *out);

/*
 * The application page from the job form: as LAY_PaperRecord, with the
 * right and bottom layout margins what is left of the width and length,
 * and the landscape flag from `orientation` (setting 7: 1 or 2; other
 * values fail).  `userMargins` (left, right, top, bottom in tenths, or
 * null) replace the layout margins unless left + right or top + bottom
 * reaches the width or length.  0, or -1.
 */
int LAY_PageGeometry(const PaperForm *jobForm, SHORT paperCode, BOOL borderless, LONG orientation,
                     const LONG *userMargins, PageGeometry *out);

/* Columns and rows of an N-up count: 1x1, 1x2, 2x2, 2x4, 4x4, 4x8.  0, or -1 for another count. */
int LAY_GridOf(LONG pagesPerSheet, LONG *columns, LONG *rows);

/*
 * The cell order state (0 to 7) of an N-up count, cell order setting and
 * turned flag: 1-up 4; 2-up 1 or 5; 4-up and more by orders 3 to 6 (orders
 * 0 to 2 are taken as 3).  -1 for an N-up count or order outside its table.
 */
int LAY_CellOrderState(LONG pagesPerSheet, LONG cellOrder, LONG turned);

/*
 * Column u (from the smaller x) and row v (from the bottom) of cell index k
 * in a grid of `columns` x `rows` under order state `state`.  0, or -1.
 */
int LAY_CellPosition(LONG state, LONG k, LONG columns, LONG rows, LONG *u, LONG *v);

/*
 * The layout of a sheet side from the job's layout settings, the sheet's
 * paper record, the application page and the resolution (dpi, both axes).
 * 0, or -1 for a missing argument, a resolution below 1, an N-up count,
 * cell order, zoom percent (25 to 400 with zoom on), binding or alignment
 * outside its table.
 */
int LAY_BuildLayout(const LayoutParams *params, const PaperRecord *sheet, const PageGeometry *page, LONG resolution,
                    LayoutRecord *out);

/*
 * Sets the layout's imageable area from the sheet's printable area (left,
 * top, right, bottom in tenths of a millimetre on the paper as fed), turned
 * into the layout's frame when the layout is landscape.
 */
void LAY_SetImageableArea(LayoutRecord *layout, FLOAT left, FLOAT top, FLOAT right, FLOAT bottom);

/*
 * The page transform of the page in cell n (1-based; cells past the grid
 * wrap) on side `side` (1 front, 2 back), and the cell's box on the sheet
 * (left, top, right, bottom in pixels; may be null).  0, or -1 for a missing record
 * or a side other than 1 and 2.
 */
int LAY_CellTransform(const LayoutRecord *layout, LONG n, LONG side, PageTransform *out, FLOAT *cellBox);

/*
 * The transform of the current page: cell index 0 to 31 and side 0 or 1
 * (LAY_CellTransform of cell index + 1, side + 1).  -1 for a cell index of
 * 32 or more or another side.
 */
int LAY_PageTransform(const LayoutRecord *layout, LONG cellIndex, LONG side, PageTransform *out);

/* ---- Rotation of images on turned pages (page_rotation.cpp) ---------------- */

/*
 * The direction paper `paperCode` is fed from `tray` in (1 or 2; 0 when
 * nothing says): settings 326, then 344 (257 and 514 give 1, 771 and 1028
 * give 2, 1542 goes by the paper: Letter, A4, B5 and their kin 2, the
 * larger ones 1), else the model's tray record for the paper (its 3 is 2,
 * or 1 for the cover tray with setting 438 = 1).
 */
LONG LAY_FeedDirection(PdevContext *pdev, SHORT paperCode, WORD tray);

/* The direction a page lies in: for 2- and 8-up landscape 1 and portrait 2, else landscape 2 and portrait 1. */
LONG LAY_PageDirection(LONG pagesPerSheet, LONG landscape);

/* 0 when the directions agree (or the feed is not known), else 90 for feed direction 2 and 270 for 1. */
LONG LAY_RotationAngle(LONG feedDirection, LONG pageDirection);

/* The current page's image angle and whether it is turned (90 or 270), from the sheet's feed direction.  0, or -1. */
int LAY_PageRotation(PdevContext *pdev, LONG *angle, LONG *turned);

/* ---- Transform arithmetic ---------------------------------------------------- */

/* Sets `t` to the identity. */
void LAY_SetIdentity(PageTransform *t);

/* Replaces a by a followed by b (a point goes through a first). */
void LAY_Multiply(PageTransform *a, const PageTransform *b);

/*
 * The page transform of cell `cellIndex` on side `side` (LAY_PageTransform),
 * turned within the paper when `turned` (a two-pass back face), then moved
 * by (offsetX, offsetY) device pixels on the sheet.  0, or -1 as
 * LAY_PageTransform.
 */
int LAY_ScaledPageTransform(const LayoutRecord *layout, LONG cellIndex, LONG side, BOOL turned, FLOAT offsetX,
                            FLOAT offsetY, PageTransform *out);

/* Turns `t` by 180 degrees within a paper of `width` x `length` pixels: followed by (-1, 0, 0, -1) and (width, length). */
void LAY_TurnAndShift(PageTransform *t, FLOAT width, FLOAT length);

/* Maps (x, y) through `t`. */
void LAY_Apply(const PageTransform *t, FLOAT x, FLOAT y, FLOAT *outX, FLOAT *outY);

/* ---- Cell frames ------------------------------------------------------------- */

/*
 * The frames' pen: width (2i + 1) / 2 with the inset i = whole part of
 * (resolution / 4 / 72 + 1.999) / 2 (2 at 600 dpi), round joins and caps, a
 * solid line, RGB, no brush, ROP3 0xF0, black.  0, or -1.
 */
int LAY_SetBorderPen(PdevContext *pdev, LONG resolution);

/*
 * Frames cells 1 to `count` of the sheet side `side` (1 front, 2 back): the
 * identity transform (turned by 180 degrees within the paper when `turned`,
 * as the pages of a turned two-pass back face are) through the context's
 * transform tracker, the pen, then four lines per cell (left edge, bottom,
 * right edge, top) inset by i from the cell; the graphics-state cache is
 * left unset.  0, or -1.
 */
int LAY_DrawCellBorders(PdevContext *pdev, const LayoutRecord *layout, LONG side, LONG count, BOOL turned = FALSE);

/* ---- Poster tiles and booklet halves (page_tiles.cpp) ------------------------ */

/*
 * A grid of cells walked in a fixed order, with the transform of its first
 * cell: columns x rows cells of cellWidth x cellHeight pixels, walked row by
 * row (rowMajor) or column by column from (firstColumn, firstRow) in steps
 * of columnStep and rowStep (1 or -1) towards (lastColumn, lastRow).
 */
struct NupGrid {
    LONG columns;
    LONG rows;
    LONG rowMajor;
    LONG firstColumn, lastColumn;
    LONG firstRow, lastRow;
    LONG columnStep, rowStep;
    FLOAT cellWidth;
    FLOAT cellHeight;
    PageTransform origin;   /* the transform that puts cell (0, 0) at the sheet's cell */
};

/*
 * Cell `index` (below columns x rows) of `grid`: its column and row by the
 * walk (row-major: index mod columns, index / columns; else index / rows,
 * index mod rows), offset by the first column or row and multiplied by the
 * step, checked against a walk of `index` steps through the grid; *out is
 * the grid with its origin moved back by column x cell width and row x cell
 * height.  0, or -1 for a missing argument, an index out of range, or a
 * grid whose walk does not land on that cell.
 */
int JOB_NupCellOrigin(const NupGrid *grid, LONG index, NupGrid *out);

/* A poster: one page over columns x rows sheets, each holding one printable area of it. */
struct PosterLayout {
    PageTransform whole;    /* the page onto the poster as if it were one sheet, pixels */
    LONG columns;
    LONG rows;
    FLOAT tileWidth;        /* one printable area, pixels */
    FLOAT tileHeight;
    FLOAT area[4];          /* a tile's printable area on its sheet: left, top, right, bottom, pixels */
};

/*
 * The poster of the page laid out by `params` (taken as 1-up) on a sheet of
 * `columns` x `rows` printable areas of `sheet` (plus the sheet's margins
 * around them).  0, or -1 for a missing argument, tiles outside 1 to 4 or a
 * layout LAY_BuildLayout refuses.
 */
int LAY_PosterLayout(const LayoutParams *params, const PaperRecord *sheet, const PageGeometry *page, LONG resolution,
                     LONG columns, LONG rows, PosterLayout *out);

/*
 * The walk of the poster's tiles, so that they follow the page as it is
 * read: without a quarter turn row by row from the first row, with one
 * column by column with the rows from the last.  0, or -1 for a transform
 * that is not axis-aligned.
 */
int LAY_PosterOrder(const PosterLayout *poster, NupGrid *grid);

/* The transform of tile `tile` (0 .. columns x rows - 1, in the walk's order).  0, or -1. */
int LAY_PosterTileTransform(const PosterLayout *poster, LONG tile, PageTransform *out);

/* One page of a booklet side. */
struct BookletHalf {
    LONG binding;           /* 1 left, 2 right (setting 322 mapped) */
    LONG gutterWidth;       /* tenths of a millimetre left free at the fold (0: none) */
    LONG pageIndex;         /* odd pages mirror the alignment of even ones */
    LONG position;          /* 0 the left half of the spread, 1 the right half */
};

/*
 * The 1-up layout of the half of the spread that `half` names: the sheet
 * turned a quarter (the spread), its imageable area cut at the paper's fold
 * with half the gutter on either side, the page's 180-degree turn code, and
 * the alignment mirrored for odd page indexes (portrait pages left and
 * right, landscape pages top and bottom).  The spread of binding 1 is the
 * sheet turned a quarter counter-clockwise; binding 2 turns it a half turn
 * more afterwards (LAY_ComposeCellTransform), so its pages lie in the same
 * places upside down and the fold binds on the other side.  No zoom,
 * binding margin or image shift (the shift is added on the sheet).  0, or -1
 * for a missing argument, a binding other than 1 and 2, a position other
 * than 0 and 1, a layout LAY_BuildLayout refuses or a gutter that leaves no
 * room.
 */
int LAY_BookletGeometry(const LayoutParams *params, const PaperRecord *sheet, const PageGeometry *page,
                        LONG resolution, const BookletHalf *half, LayoutRecord *out);

/*
 * Puts the transform placed in the half onto the sheet: a half turn within
 * the paper for binding 2, then the image shift (shiftX to the right,
 * shiftY upward on the paper as fed, tenths of a millimetre).
 */
void LAY_ComposeCellTransform(PageTransform *t, const LayoutRecord *half, LONG binding, LONG shiftX, LONG shiftY);

/* The transform of one page of a booklet side: LAY_BookletGeometry, LAY_CellTransform, the composition.  0, or -1. */
int LAY_BookletCellTransform(const LayoutParams *params, const PaperRecord *sheet, const PageGeometry *page,
                             LONG resolution, const BookletHalf *half, PageTransform *out);

/* The page turned a quarter: width and length exchanged, its margins going round, the landscape flag flipped. */
void LAY_TurnPageGeometry(PageGeometry *page);

#endif /* TARVELGR_PAGE_GEOMETRY_H */
