// Page geometry: cell orders, and where the corners of a page land on the
// sheet through its cell transform, against positions worked out by hand.
#include "page_geometry.h"

#include "paper_form.h"

#include <plat/error.h>

#include <gtest/gtest.h>

#include <cmath>
#include <vector>

namespace {

/* A4 at 600 dpi with 4.2 mm margins all round (tenths of a millimetre). */
constexpr LONG kDpi = 600;
constexpr FLOAT kPx = 600.0f / 254.0f; /* pixels per tenth */

PaperRecord a4Sheet()
{
    PaperRecord r{};
    r.paperCode = 9;
    r.width = 2100;
    r.length = 2970;
    r.printableWidth = 2016;
    r.printableLength = 2886;
    r.leftMargin = r.topMargin = 42;
    r.layoutLeft = r.layoutRight = r.layoutTop = r.layoutBottom = 42;
    r.inCustomRange = 1;
    return r;
}

PageGeometry a4Page(bool landscape = false)
{
    PageGeometry g{};
    g.paper = a4Sheet();
    if (landscape) {
        std::swap(g.paper.width, g.paper.length);
        std::swap(g.paper.printableWidth, g.paper.printableLength);
    }
    g.landscape = landscape ? 1 : 0;
    return g;
}

LayoutParams params(LONG nup, LONG order = 0, LONG turned = 0)
{
    LayoutParams p{};
    p.pagesPerSheet = nup;
    p.cellOrder = order;
    p.cellsTurned = turned;
    p.zoomPercent = 100;
    return p;
}

struct Point {
    FLOAT x, y;
};

/* A page point (pixels) through the transform, in tenths of a millimetre on the sheet. */
Point land(const PageTransform &t, FLOAT x, FLOAT y)
{
    Point p;
    LAY_Apply(&t, x * kPx, y * kPx, &p.x, &p.y);
    return {p.x / kPx, p.y / kPx};
}

void expectNear(Point got, FLOAT x, FLOAT y, const char *what)
{
    EXPECT_NEAR(got.x, x, 0.05f) << what;
    EXPECT_NEAR(got.y, y, 0.05f) << what;
}

TEST(PageGeometry, CellOrderStates)
{
    struct Case {
        LONG nup, order, turned, state;
    } cases[] = {
        {1, 0, 0, 4}, {2, 1, 1, 1}, {2, 0, 1, 5}, {2, 0, 0, 1}, {2, 3, 0, 5}, {4, 3, 0, 4}, {4, 4, 0, 5},
        {4, 5, 0, 6}, {4, 6, 0, 7}, {8, 3, 1, 1}, {8, 4, 1, 0}, {8, 5, 1, 5}, {8, 6, 1, 4},
        {4, 0, 0, 4}, {16, 2, 0, 4}, /* orders 0-2 fill as order 3 */
    };
    for (const Case &c : cases)
        EXPECT_EQ(LAY_CellOrderState(c.nup, c.order, c.turned), c.state) << c.nup << " " << c.order << " " << c.turned;
    EXPECT_EQ(LAY_CellOrderState(3, 3, 0), -1);
    EXPECT_EQ(LAY_CellOrderState(4, 7, 0), -1);
}

TEST(PageGeometry, FourUpOrderThreeFillsTheTopRowFirst)
{
    const LONG expected[4][2] = {{0, 1}, {1, 1}, {0, 0}, {1, 0}};
    for (LONG k = 0; k < 4; k++) {
        LONG u = -1, v = -1;
        ASSERT_EQ(LAY_CellPosition(4, k, 2, 2, &u, &v), 0);
        EXPECT_EQ(u, expected[k][0]) << k;
        EXPECT_EQ(v, expected[k][1]) << k;
    }
    LONG c = 0, r = 0;
    ASSERT_EQ(LAY_GridOf(32, &c, &r), 0);
    EXPECT_EQ(c, 4);
    EXPECT_EQ(r, 8);
}

TEST(PageGeometry, OneUpSamePaperIsTheMarginsAtScaleOne)
{
    PaperRecord sheet = a4Sheet();
    PageGeometry page = a4Page();
    LayoutParams p = params(1);
    LayoutRecord l;
    ASSERT_EQ(LAY_BuildLayout(&p, &sheet, &page, kDpi, &l), 0);
    PageTransform t;
    ASSERT_EQ(LAY_PageTransform(&l, 0, 0, &t), 0);
    EXPECT_EQ(t.m11, 1.0f);
    EXPECT_EQ(t.m22, 1.0f);
    EXPECT_EQ(t.m12, 0.0f);
    EXPECT_EQ(t.m21, 0.0f);
    /* 42 tenths at 600 dpi: 42 x 600 / 254 = 99.21 pixels */
    EXPECT_NEAR(t.dx, 99.2126f, 0.001f);
    EXPECT_NEAR(t.dy, 99.2126f, 0.001f);
}

TEST(PageGeometry, ScaledTransformTurnsABackFaceAndAddsTheOffset)
{
    PaperRecord sheet = a4Sheet();
    PageGeometry page = a4Page();
    LayoutParams p = params(1);
    LayoutRecord l;
    ASSERT_EQ(LAY_BuildLayout(&p, &sheet, &page, kDpi, &l), 0);
    PageTransform t;
    /* unturned: the margins (99.21 pixels) plus the offset */
    ASSERT_EQ(LAY_ScaledPageTransform(&l, 0, 0, FALSE, 10.0f, 20.0f, &t), 0);
    EXPECT_EQ(t.m11, 1.0f);
    EXPECT_NEAR(t.dx, 109.2126f, 0.001f);
    EXPECT_NEAR(t.dy, 119.2126f, 0.001f);
    /* turned within the paper (2,100 x 2,970 tenths = 4,960.63 x 7,015.75 pixels): the page's corner lands at the
     * far corner less the margins, then the offset */
    ASSERT_EQ(LAY_ScaledPageTransform(&l, 0, 1, TRUE, 10.0f, 20.0f, &t), 0);
    EXPECT_EQ(t.m11, -1.0f);
    EXPECT_EQ(t.m22, -1.0f);
    EXPECT_NEAR(t.dx, 4960.6299f - 99.2126f + 10.0f, 0.01f);
    EXPECT_NEAR(t.dy, 7015.7480f - 99.2126f + 20.0f, 0.01f);
    EXPECT_EQ(LAY_ScaledPageTransform(&l, 32, 0, FALSE, 0.0f, 0.0f, &t), -1);
    EXPECT_EQ(LAY_ScaledPageTransform(nullptr, 0, 0, FALSE, 0.0f, 0.0f, &t), -1);
}

TEST(PageGeometry, FourUpPagesLandInTheirQuadrants)
{
    PaperRecord sheet = a4Sheet();
    PageGeometry page = a4Page();
    LayoutParams p = params(4, 3);
    LayoutRecord l;
    ASSERT_EQ(LAY_BuildLayout(&p, &sheet, &page, kDpi, &l), 0);
    /* area 42..2058 x 42..2928; cells 1008 x 1443; scale 1/2 (page 2016 x 2886) */
    const FLOAT cells[4][2] = {{42, 42}, {1050, 42}, {42, 1485}, {1050, 1485}};
    for (LONG i = 0; i < 4; i++) {
        PageTransform t;
        ASSERT_EQ(LAY_PageTransform(&l, i, 0, &t), 0);
        EXPECT_EQ(t.m11, 0.5f);
        expectNear(land(t, 0, 0), cells[i][0], cells[i][1], "top-left");
        expectNear(land(t, 2016, 2886), cells[i][0] + 1008, cells[i][1] + 1443, "bottom-right");
    }
}

TEST(PageGeometry, TwoUpTurnsEachPageIntoItsHalf)
{
    PaperRecord sheet = a4Sheet();
    PageGeometry page = a4Page();
    LayoutParams p = params(2, 1, 1); /* state 1: the bottom half first */
    LayoutRecord l;
    ASSERT_EQ(LAY_BuildLayout(&p, &sheet, &page, kDpi, &l), 0);
    /* cells 2016 x 1443; the page turned is 2886 x 2016: scale 2016 / 2886 */
    const FLOAT s = 2016.0f / 2886.0f;
    const FLOAT bottoms[2] = {2928, 1485};
    for (LONG i = 0; i < 2; i++) {
        PageTransform t;
        ASSERT_EQ(LAY_PageTransform(&l, i, 0, &t), 0);
        EXPECT_EQ(t.m11, 0.0f);
        EXPECT_LT(t.m12, 0.0f); /* a quarter turn counter-clockwise: the page's top along the cell's left edge */
        /* the page's top-left corner at the cell's bottom-left, its top-right up the left edge */
        expectNear(land(t, 0, 0), 42, bottoms[i], "top-left");
        expectNear(land(t, 2016, 0), 42, bottoms[i] - s * 2016, "top-right");
        expectNear(land(t, 0, 2886), 2058, bottoms[i], "bottom-left");
    }
}

TEST(PageGeometry, LandscapePageIsTurnedOntoThePaper)
{
    PaperRecord sheet = a4Sheet();
    PageGeometry page = a4Page(true);
    LayoutParams p = params(1);
    p.sheetLandscape = 1;
    LayoutRecord l;
    ASSERT_EQ(LAY_BuildLayout(&p, &sheet, &page, kDpi, &l), 0);
    PageTransform t;
    ASSERT_EQ(LAY_PageTransform(&l, 0, 0, &t), 0);
    /* the landscape page's top runs along the paper's left edge, at scale 1 */
    EXPECT_EQ(t.m11, 0.0f);
    EXPECT_EQ(t.m12, -1.0f);
    EXPECT_EQ(t.m21, 1.0f);
    expectNear(land(t, 0, 0), 42, 2928, "top-left at the paper's bottom-left");
    expectNear(land(t, 2886, 0), 42, 42, "top-right at the paper's top-left");
    expectNear(land(t, 2886, 2016), 2058, 42, "bottom-right at the paper's top-right");
}

TEST(PageGeometry, ZoomAlignmentAndBackFaces)
{
    PaperRecord sheet = a4Sheet();
    PageGeometry page = a4Page();
    struct Case {
        LONG alignment, duplexBinding, side;
        FLOAT x, y; /* where the page's top-left lands */
    } cases[] = {
        {0, 0, 1, 42, 42},                     /* half size at the area's top-left */
        {1, 0, 1, 42 + 1008, 42},              /* top-right */
        {2, 0, 1, 42 + 1008, 42 + 1443},       /* bottom-right */
        {3, 0, 1, 42, 42 + 1443},              /* bottom-left */
        {4, 0, 1, 42 + 504, 42 + 721.5f},      /* centred */
        {1, 2, 2, 42, 42},                     /* long-edge back face: right and left swap */
        {0, 1, 2, 42, 42 + 1443},              /* short-edge back face: top and bottom swap */
        {1, 2, 1, 42 + 1008, 42},              /* front faces keep their alignment */
    };
    for (const Case &c : cases) {
        LayoutParams p = params(1);
        p.zoomOn = 1;
        p.zoomPercent = 50;
        p.alignment = c.alignment;
        p.duplexBinding = c.duplexBinding;
        LayoutRecord l;
        ASSERT_EQ(LAY_BuildLayout(&p, &sheet, &page, kDpi, &l), 0);
        PageTransform t;
        ASSERT_EQ(LAY_CellTransform(&l, 1, c.side, &t, nullptr), 0);
        EXPECT_EQ(t.m11, 0.5f);
        expectNear(land(t, 0, 0), c.x, c.y, "aligned corner");
    }
}

TEST(PageGeometry, BindingMarginShiftsOrShrinksTheArea)
{
    PaperRecord sheet = a4Sheet();
    PageGeometry page = a4Page();
    struct Case {
        LONG binding, front, fit;
        FLOAT left, right; /* where the page's left and right edges land */
    } cases[] = {
        {1, 30, 0, 42, 2058},        /* smaller than the printable margin: unchanged */
        {1, 142, 0, 142, 2158},      /* the area moves right by 100 */
        {1, 142, 1, 142, 2058},      /* fit: the area shrinks */
        {2, 142, 1, 42, 1958},       /* the right edge moves in */
    };
    for (const Case &c : cases) {
        LayoutParams p = params(1);
        p.binding = c.binding;
        p.bindingFront = c.front;
        p.fit = c.fit;
        p.zoomOn = 1;
        p.zoomPercent = 100;
        if (c.fit) {
            p.zoomOn = 0;
        }
        LayoutRecord l;
        ASSERT_EQ(LAY_BuildLayout(&p, &sheet, &page, kDpi, &l), 0);
        PageTransform t;
        FLOAT box[4];
        ASSERT_EQ(LAY_CellTransform(&l, 1, 1, &t, box), 0);
        EXPECT_NEAR(box[0] / kPx, c.left, 0.05f) << c.binding << " " << c.front << " " << c.fit;
        EXPECT_NEAR(box[2] / kPx, c.right, 0.05f) << c.binding << " " << c.front << " " << c.fit;
    }
}

TEST(PageGeometry, RefusedValues)
{
    PaperRecord sheet = a4Sheet();
    PageGeometry page = a4Page();
    LayoutRecord l;
    LayoutParams p = params(3);
    EXPECT_EQ(LAY_BuildLayout(&p, &sheet, &page, kDpi, &l), -1);
    p = params(1);
    p.zoomOn = 1;
    p.zoomPercent = 24;
    EXPECT_EQ(LAY_BuildLayout(&p, &sheet, &page, kDpi, &l), -1);
    p.zoomPercent = 401;
    EXPECT_EQ(LAY_BuildLayout(&p, &sheet, &page, kDpi, &l), -1);
    p.zoomPercent = 400;
    ASSERT_EQ(LAY_BuildLayout(&p, &sheet, &page, kDpi, &l), 0);
    PageTransform t;
    EXPECT_EQ(LAY_PageTransform(&l, 32, 0, &t), -1);
    EXPECT_EQ(LAY_PageTransform(&l, 0, 2, &t), -1);
    EXPECT_EQ(LAY_PageTransform(&l, 31, 1, &t), 0);
    EXPECT_EQ(LAY_BuildLayout(&p, &sheet, &page, 0, &l), -1);
}

TEST(PageGeometry, PaperRecordFromAForm)
{
    /* A4 in 1/18432 inch: 210 mm = 152,390.55..., printable 4.2 mm in from each edge */
    PaperForm form{};
    form.width = LONG(2100 * 18432.0 / 254);
    form.height = LONG(2970 * 18432.0 / 254);
    form.left = LONG(42 * 18432.0 / 254) + 1;
    form.top = LONG(42 * 18432.0 / 254) + 1;
    form.right = form.width - form.left + 1;
    form.bottom = form.height - form.top + 1;
    PaperRecord r;
    ASSERT_EQ(LAY_PaperRecord(&form, 9, FALSE, &r), 0);
    EXPECT_EQ(r.width, 2100);
    EXPECT_EQ(r.length, 2970);
    EXPECT_EQ(r.printableWidth, 2016);
    EXPECT_EQ(r.printableLength, 2886);
    EXPECT_EQ(r.leftMargin, 42);
    EXPECT_EQ(r.layoutRight, 42);
    ASSERT_EQ(LAY_PaperRecord(&form, 9, TRUE, &r), 0);
    EXPECT_EQ(r.printableWidth, 2100);
    EXPECT_EQ(r.leftMargin, 0);
    PageGeometry g;
    EXPECT_EQ(LAY_PageGeometry(&form, 9, FALSE, 3, nullptr, &g), -1);
    const LONG user[4] = {100, 200, 50, 60};
    ASSERT_EQ(LAY_PageGeometry(&form, 9, FALSE, 2, user, &g), 0);
    EXPECT_EQ(g.landscape, 1);
    EXPECT_EQ(g.paper.layoutRight, 200);
    const LONG tooWide[4] = {1100, 1000, 50, 60};
    ASSERT_EQ(LAY_PageGeometry(&form, 9, FALSE, 1, tooWide, &g), 0);
    EXPECT_EQ(g.paper.layoutLeft, 42);
}


} // namespace

namespace {

TEST(PageGeometry, ImageShiftMovesTheImageOnThePaperAsFedAlsoOnTurnedSheets)
{
    /*
     * The shift is given on the paper as fed (x to the right, y upward).  A
     * turned N-up sheet (2-up portrait) is laid out in the paper's own frame,
     * so the shift moves every page by exactly (x, -y) tenths on the sheet;
     * exchanging the axes there would move a page sideways when asked to move
     * it up.
     */
    PaperRecord sheet = a4Sheet();
    PageGeometry page = a4Page();
    for (LONG nup : {1L, 2L, 4L, 8L}) {
        SCOPED_TRACE(nup);
        LayoutParams p = params(nup, 3, nup == 2 || nup == 8);
        LayoutRecord plain{};
        ASSERT_EQ(LAY_BuildLayout(&p, &sheet, &page, kDpi, &plain), 0);
        PageTransform t0;
        ASSERT_EQ(LAY_CellTransform(&plain, 1, 1, &t0, nullptr), 0);
        const Point at = land(t0, 100, 100);
        struct Shift {
            LONG x, y;
            FLOAT dx, dy; /* on the sheet, y downward */
        } shifts[] = {{100, 0, 100, 0}, {0, 100, 0, -100}, {-50, -30, -50, 30}};
        for (const Shift &s : shifts) {
            p.shiftMode = 1;
            p.shiftX = s.x;
            p.shiftY = s.y;
            LayoutRecord shifted{};
            ASSERT_EQ(LAY_BuildLayout(&p, &sheet, &page, kDpi, &shifted), 0);
            PageTransform t;
            ASSERT_EQ(LAY_CellTransform(&shifted, 1, 1, &t, nullptr), 0);
            expectNear(land(t, 100, 100), at.x + s.dx, at.y + s.dy, "the page moved with the paper's axes");
        }
    }
}

} // namespace

namespace {

/* ---- Poster tiles ----------------------------------------------------------------- */

/* The sheet's printable area (tenths): where every tile's part of the page must land. */
constexpr FLOAT kLeft = 42, kTop = 42, kRight = 2058, kBottom = 2928;

TEST(PosterTiles, EachTileHoldsItsPartOfAnUprightPage)
{
    /* The poster is c x r printable areas plus the margins; an A4 page fits it at scale c exactly. */
    for (LONG n : {2, 3}) {
        SCOPED_TRACE(n);
        const PaperRecord sheet = a4Sheet();
        const PageGeometry page = a4Page();
        const LayoutParams p = params(1);
        PosterLayout poster{};
        ASSERT_EQ(LAY_PosterLayout(&p, &sheet, &page, kDpi, n, n, &poster), 0);
        EXPECT_FLOAT_EQ(poster.whole.m11, FLOAT(n));
        EXPECT_NEAR(poster.tileWidth, 2016 * kPx, 0.01);
        const FLOAT w = 2016.0f / FLOAT(n), h = 2886.0f / FLOAT(n);
        for (LONG t = 0; t < n * n; t++) {
            SCOPED_TRACE(t);
            PageTransform tile{};
            ASSERT_EQ(LAY_PosterTileTransform(&poster, t, &tile), 0);
            /* row by row from the top-left: tile t holds column t mod n, row t / n of the page */
            const FLOAT x = FLOAT(t % n) * w, y = FLOAT(t / n) * h;
            expectNear(land(tile, x, y), kLeft, kTop, "top-left");
            expectNear(land(tile, x + w, y), kRight, kTop, "top-right");
            expectNear(land(tile, x + w, y + h), kRight, kBottom, "bottom-right");
            expectNear(land(tile, x, y + h), kLeft, kBottom, "bottom-left");
        }
        PageTransform tile{};
        EXPECT_EQ(LAY_PosterTileTransform(&poster, n * n, &tile), -1);
        EXPECT_EQ(LAY_PosterTileTransform(&poster, -1, &tile), -1);
    }
}

TEST(PosterTiles, ALandscapePageIsWalkedColumnByColumnFromTheLastRow)
{
    /* The page lies turned a quarter on the portrait sheets: its top along their left edges, read upward. */
    const PaperRecord sheet = a4Sheet();
    const PageGeometry page = a4Page(true);
    const LayoutParams p = params(1);
    PosterLayout poster{};
    ASSERT_EQ(LAY_PosterLayout(&p, &sheet, &page, kDpi, 2, 2, &poster), 0);
    NupGrid grid{};
    ASSERT_EQ(LAY_PosterOrder(&poster, &grid), 0);
    EXPECT_EQ(grid.rowMajor, 0);
    EXPECT_EQ(grid.firstRow, 1);
    EXPECT_EQ(grid.rowStep, -1);
    const FLOAT w = 2886.0f / 2, h = 2016.0f / 2;
    for (LONG t = 0; t < 4; t++) {
        SCOPED_TRACE(t);
        PageTransform tile{};
        ASSERT_EQ(LAY_PosterTileTransform(&poster, t, &tile), 0);
        /* tile t holds the page's parts in reading order: across first, then down */
        const FLOAT x = FLOAT(t % 2) * w, y = FLOAT(t / 2) * h;
        expectNear(land(tile, x, y), kLeft, kBottom, "the part's top-left at the sheet's bottom-left");
        expectNear(land(tile, x + w, y), kLeft, kTop, "its top-right at the top-left");
        expectNear(land(tile, x + w, y + h), kRight, kTop, "bottom-right");
        expectNear(land(tile, x, y + h), kRight, kBottom, "bottom-left");
    }
}

TEST(PosterTiles, CellOriginOfAGridWalk)
{
    NupGrid g{};
    g.columns = 3;
    g.rows = 2;
    g.rowMajor = 1;
    g.lastColumn = 2;
    g.lastRow = 1;
    g.columnStep = g.rowStep = 1;
    g.cellWidth = 100;
    g.cellHeight = 50;
    g.origin = {1, 0, 0, 1, 10, 20};
    NupGrid out{};
    ASSERT_EQ(JOB_NupCellOrigin(&g, 4, &out), 0);
    EXPECT_FLOAT_EQ(out.origin.dx, -90.0f) << "column 1: 10 - 100";
    EXPECT_FLOAT_EQ(out.origin.dy, -30.0f) << "row 1: 20 - 50";
    EXPECT_EQ(JOB_NupCellOrigin(&g, 6, &out), -1) << "beyond the grid";

    /* Column by column with the rows from the last: index 4 of 2 x 3 is column 1, row 1. */
    g.columns = 2;
    g.rows = 3;
    g.rowMajor = 0;
    g.lastColumn = 1;
    g.firstRow = 2;
    g.lastRow = 0;
    g.rowStep = -1;
    ASSERT_EQ(JOB_NupCellOrigin(&g, 4, &out), 0);
    EXPECT_FLOAT_EQ(out.origin.dx, -90.0f);
    EXPECT_FLOAT_EQ(out.origin.dy, -30.0f);

    /* A grid whose last column does not match its width: the walk wraps early and lands elsewhere. */
    g = NupGrid{};
    g.columns = 3;
    g.rows = 2;
    g.rowMajor = 1;
    g.lastColumn = 1;
    g.lastRow = 1;
    g.columnStep = g.rowStep = 1;
    EXPECT_EQ(JOB_NupCellOrigin(&g, 2, &out), -1);
    EXPECT_EQ(JOB_NupCellOrigin(nullptr, 0, &out), -1);
}

TEST(PosterTiles, RefusedLayoutsAndTransforms)
{
    const PaperRecord sheet = a4Sheet();
    const PageGeometry page = a4Page();
    const LayoutParams p = params(1);
    PosterLayout poster{};
    EXPECT_EQ(LAY_PosterLayout(&p, &sheet, &page, kDpi, 5, 5, &poster), -1);
    EXPECT_EQ(LAY_PosterLayout(&p, &sheet, &page, 0, 2, 2, &poster), -1);
    ASSERT_EQ(LAY_PosterLayout(&p, &sheet, &page, kDpi, 2, 2, &poster), 0);
    NupGrid grid{};
    poster.whole = {1, 0.5f, 0, 1, 0, 0};
    EXPECT_EQ(LAY_PosterOrder(&poster, &grid), -1) << "a sheared transform has no tile walk";
    poster.whole = {1, 0, 0, -1, 0, 0};
    EXPECT_EQ(LAY_PosterOrder(&poster, &grid), -1) << "nor a mirrored one";
}

/* ---- Booklet halves --------------------------------------------------------------- */

struct Corners {
    Point tl, tr, br, bl;
};

Corners bookletCorners(const PageGeometry &page, LONG binding, LONG index, LONG position, LONG gutter = 0,
                       LONG alignment = 0)
{
    const PaperRecord sheet = a4Sheet();
    LayoutParams p = params(1);
    p.alignment = alignment;
    BookletHalf half{binding, gutter, index, position};
    PageTransform t{};
    EXPECT_EQ(LAY_BookletCellTransform(&p, &sheet, &page, kDpi, &half, &t), 0);
    const FLOAT w = FLOAT(page.paper.printableWidth), h = FLOAT(page.paper.printableLength);
    return {land(t, 0, 0), land(t, w, 0), land(t, w, h), land(t, 0, h)};
}

TEST(BookletHalves, FacingPagesMeetAtTheFold)
{
    /*
     * The spread is the A4 sheet turned a quarter: 2,970 x 2,100, imageable 42..2,928 x 42..2,058, the fold at
     * 1,485.  A half is 1,443 x 2,016; the page (2,016 x 2,886) scales by 2,016 / 2,886 to 1,408.27 x 2,016.
     * Binding 1 turns it counter-clockwise: the spread's right half is the sheet's top half.  Page 0 (even, right
     * half) keeps alignment 0: its left edge at the fold, x = 1,485 in the spread, y = 2,970 - 1,485 on the sheet.
     * Page 1 (odd, left half) takes the mirrored alignment 1: its right edge at the fold too.
     */
    const PageGeometry page = a4Page();
    Corners right = bookletCorners(page, 1, 0, 1);
    expectNear(right.tl, 42, 1485, "page 0: top-left at the fold, top of the spread on the sheet's left");
    expectNear(right.tr, 42, 76.73f, "top-right towards the sheet's top");
    expectNear(right.br, 2058, 76.73f, "bottom-right");
    expectNear(right.bl, 2058, 1485, "bottom-left at the fold");
    Corners left = bookletCorners(page, 1, 1, 0);
    expectNear(left.tl, 42, 2893.27f, "page 1: top-left towards the sheet's bottom");
    expectNear(left.tr, 42, 1485, "top-right at the fold");
    expectNear(left.br, 2058, 1485, "bottom-right at the fold");
    expectNear(left.bl, 2058, 2893.27f, "bottom-left");
    Corners unmirrored = bookletCorners(page, 1, 2, 0);
    expectNear(unmirrored.tl, 42, 2928, "an even page in the left half keeps its alignment: the outer edge");

    /* A gutter of 10 mm keeps 5 mm free on either side of the fold. */
    Corners gutter = bookletCorners(page, 1, 0, 1, 100);
    expectNear(gutter.tl, 42, 1435, "the page 5 mm above the fold");
}

TEST(BookletHalves, BindingTwoTurnsTheSpreadAHalfTurn)
{
    /* The left half of the spread is now the sheet's top half, the page upside down against binding 1. */
    const PageGeometry page = a4Page();
    Corners c = bookletCorners(page, 2, 0, 0);
    expectNear(c.tl, 2058, 42, "top-left at the sheet's top-right");
    expectNear(c.tr, 2058, 1450.27f, "top-right towards the fold");
    expectNear(c.br, 42, 1450.27f, "bottom-right");
    expectNear(c.bl, 42, 42, "bottom-left at the sheet's top-left");
}

TEST(BookletHalves, LandscapePagesLieAcrossTheirHalf)
{
    /* A landscape page turns into its tall half too: a half turn in all with binding 1, none with binding 2. */
    const PageGeometry page = a4Page(true);
    for (LONG binding : {1, 2}) {
        SCOPED_TRACE(binding);
        Corners c = bookletCorners(page, binding, 0, 0);
        const bool upsideDown = binding == 1;
        EXPECT_EQ(c.tl.x > c.br.x, upsideDown);
        EXPECT_EQ(c.tl.y > c.br.y, upsideDown);
        for (Point q : {c.tl, c.tr, c.br, c.bl}) {
            EXPECT_GE(q.x, 42 - 0.05f);
            EXPECT_LE(q.x, 2058 + 0.05f);
            /* binding 1's left half is the sheet's bottom half, binding 2's the top half */
            if (binding == 1)
                EXPECT_GE(q.y, 1485 - 0.05f);
            else
                EXPECT_LE(q.y, 1485 + 0.05f);
        }
    }
}

TEST(BookletHalves, ImageShiftMovesThePageOnThePaperAsFed)
{
    const PaperRecord sheet = a4Sheet();
    const PageGeometry page = a4Page();
    LayoutParams p = params(1);
    BookletHalf half{1, 0, 0, 1};
    PageTransform plain{}, shifted{};
    ASSERT_EQ(LAY_BookletCellTransform(&p, &sheet, &page, kDpi, &half, &plain), 0);
    p.shiftMode = 1;
    p.shiftX = 50;
    p.shiftY = 20;
    ASSERT_EQ(LAY_BookletCellTransform(&p, &sheet, &page, kDpi, &half, &shifted), 0);
    Point a = land(plain, 0, 0), b = land(shifted, 0, 0);
    expectNear(b, a.x + 50, a.y - 20, "5 mm right and 2 mm up");
}

TEST(BookletHalves, RefusedHalves)
{
    const PaperRecord sheet = a4Sheet();
    const PageGeometry page = a4Page();
    const LayoutParams p = params(1);
    PageTransform t{};
    const BookletHalf bad[] = {{0, 0, 0, 0},   {3, 0, 0, 0},    {1, 0, 0, 2},
                               {1, -10, 0, 0}, {1, 3000, 0, 0}, {1, 0, -1, 0}};
    for (const BookletHalf &h : bad) {
        SCOPED_TRACE(h.binding * 1000 + h.gutterWidth);
        EXPECT_EQ(LAY_BookletCellTransform(&p, &sheet, &page, kDpi, &h, &t), -1);
    }
    EXPECT_EQ(LAY_BookletCellTransform(&p, &sheet, &page, kDpi, nullptr, &t), -1);
}

TEST(BookletHalves, TurningAPageTakesItsMarginsRound)
{
    PageGeometry g = a4Page();
    g.paper.layoutLeft = 10;
    g.paper.layoutTop = 20;
    g.paper.layoutRight = 30;
    g.paper.layoutBottom = 40;
    LAY_TurnPageGeometry(&g);
    EXPECT_EQ(g.landscape, 1);
    EXPECT_EQ(g.paper.width, 2970);
    EXPECT_EQ(g.paper.length, 2100);
    EXPECT_EQ(g.paper.printableWidth, 2886);
    EXPECT_EQ(g.paper.layoutLeft, 20);
    EXPECT_EQ(g.paper.layoutTop, 30);
    EXPECT_EQ(g.paper.layoutRight, 40);
    EXPECT_EQ(g.paper.layoutBottom, 10);
}

} // namespace
