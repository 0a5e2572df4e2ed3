// Paths and clipping: polylines, Beziers, closed and open figures, fill
// modes, ellipses and rectangles, each line attribute and dashes, the
// geometric pen's transform, the page's clip set, kept, narrowed and
// replaced, a rectangle fill after a region clip, an empty intersection,
// the see-through mesh pass, and the refusal of bad paths and pens, as the
// job lister reads the operators.
#include "draw_test_support.h"

#include "job_settings.h"
#include "job_state.h"

#include <plat/engine.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <climits>

using namespace draw_test;

namespace {

using Lines = std::vector<std::string>;
using plat::PathFigure;

constexpr FIX px(LONG v) { return v * 16; }

PathFigure figure(std::vector<std::pair<LONG, LONG>> pixels, bool closed = false, bool beziers = false)
{
    PathFigure f;
    for (auto [x, y] : pixels)
        f.points.push_back(POINTFIX{px(x), px(y)});
    f.closed = closed;
    f.beziers = beziers;
    return f;
}

PathFigure rectangle(LONG l, LONG t, LONG r, LONG b) { return figure({{l, t}, {r, t}, {r, b}, {l, b}}, true); }

/* The operators from the first `from` on. */
Lines from(const Lines &lines, const std::string &from)
{
    auto it = std::find(lines.begin(), lines.end(), from);
    return Lines(it, lines.end());
}

/* Only the clip operators. */
Lines clipOps(const Lines &lines)
{
    Lines out;
    for (const std::string &l : lines)
        if (l.rfind("SetClip", 0) == 0)
            out.push_back(l);
    return out;
}

class Paths : public DrawTest {
protected:
    void SetUp() override
    {
        DrawTest::SetUp();
        openPage();
    }
    void TearDown() override
    {
        release();
        DrawTest::TearDown();
    }

    /* colourMode 0 keeps the base settings' colour job. */
    void openPage(LONG colourMode = 0)
    {
        release();
        JobDevmode dm;
        baseSettings(dm);
        if (colourMode)
            dm.set(ID_COLOUR_MODE, colourMode);
        open(dm);
        pdev->jobState = JOB_OPEN | JOB_SHEET_SET_UP | JOB_SHEET_OPEN | JOB_PAGE_OPEN;
        pdev->jobSettings = &settings;
        ASSERT_EQ(PTH_ResetPathState(ctx()), 0);
        red = plat::engine_make_solid_brush(0xFF0000);
    }
    void release()
    {
        for (PATHOBJ *p : paths)
            EngDeletePath(p);
        paths.clear();
        for (CLIPOBJ *c : clips)
            plat::engine_free_clip(c);
        clips.clear();
        for (XFORMOBJ *x : xforms)
            plat::engine_free_xform(x);
        xforms.clear();
        plat::engine_free_brush(red);
        red = nullptr;
        if (pdev) {
            PTH_FreePathState(ctx());
            pdev->jobSettings = nullptr;
        }
    }

    PATHOBJ *path(const std::vector<PathFigure> &figures, FLONG flags = 0)
    {
        paths.push_back(plat::engine_make_path(figures, flags));
        return paths.back();
    }
    CLIPOBJ *clip(const std::vector<RECTL> &rects)
    {
        clips.push_back(plat::engine_make_clip(rects));
        return clips.back();
    }
    XFORMOBJ *xform(const XFORML &m)
    {
        xforms.push_back(plat::engine_make_xform(m));
        return xforms.back();
    }

    BOOL fill(PATHOBJ *p, CLIPOBJ *c = nullptr, FLONG options = FP_WINDINGMODE)
    {
        return DrvFillPath(&target, p, c, red, nullptr, 0x0D0D, options);
    }
    BOOL stroke(PATHOBJ *p, LINEATTRS *la, XFORMOBJ *x = nullptr, CLIPOBJ *c = nullptr)
    {
        return DrvStrokePath(&target, p, c, x, red, nullptr, la, 0x0D0D);
    }

    JobSettings settings{};
    BRUSHOBJ *red = nullptr;
    std::vector<PATHOBJ *> paths;
    std::vector<CLIPOBJ *> clips;
    std::vector<XFORMOBJ *> xforms;
    LINEATTRS cosmetic{0, JOIN_ROUND, ENDCAP_ROUND, {}, 10.0f, 0, nullptr, {}};
};

TEST_F(Paths, FilledRectangleWithoutClip)
{
    ASSERT_TRUE(fill(path({rectangle(10, 20, 110, 70)})));
    EXPECT_EQ(ops(), (Lines{
                         "SetClipToPage",
                         "SetROP ROP3=240",
                         "SetPatternTxMode TxMode=0",
                         "SetSourceTxMode TxMode=0",
                         "SetColorSpace ColorSpace=2",
                         "SetBrushSource RGBColor=255,0,0",
                         "SetFillMode FillMode=0",
                         "SetPenSource NullPen=0",
                         "Rectangle BoundingBox=10,20,110,70",
                     }));
}

/*
 * A monochrome job fills and strokes in the RGB space: the printer, told to
 * render in grey, greys the colour.  Bytes from the format's tables: ubyte
 * 0xC0, ubyte_array 0xC8 (length as a ubyte), attribute id 0xF8; ROP3 44,
 * TxMode 45, ColorSpace 3 (eRGB 2), RGBColor 11, FillMode 70, NullPen 5;
 * SetClipToPage 0x69, SetROP 0x7B, SetPatternTxMode 0x78,
 * SetSourceTxMode 0x7C, SetColorSpace 0x6A, SetBrushSource 0x63,
 * SetFillMode 0x6E, SetPenSource 0x79.
 */
TEST_F(Paths, MonochromeJobFillsAndStrokesInTheRgbSpace)
{
    openPage(1);
    ASSERT_TRUE(fill(path({rectangle(10, 20, 110, 70)})));
    EXPECT_EQ(OUT_Flush(pdev->channel), 0);
    const std::string fillState = "69 C0 F0 F8 2C 7B C0 00 F8 2D 78 C0 00 F8 2D 7C C0 02 F8 03 6A "
                                  "C8 C0 03 FF 00 00 F8 0B 63 C0 00 F8 46 6E C0 00 F8 05 79";
    EXPECT_EQ(hex(capture.bytes).substr(0, fillState.size()), fillState);
    EXPECT_EQ(ops().back(), "Rectangle BoundingBox=10,20,110,70");

    /* A stroke after it: the pen takes the colour, the space already in force. */
    ASSERT_TRUE(stroke(path({figure({{0, 0}, {50, 0}})}), &cosmetic));
    EXPECT_EQ(OUT_Flush(pdev->channel), 0);
    const std::string penState = "C8 C0 03 FF 00 00 F8 0B 79";
    const std::string got = hex(capture.bytes);
    EXPECT_NE(got.find(penState), std::string::npos) << got;
    EXPECT_EQ(got.find("F8 03 6A"), std::string::npos) << "no second colour space: " << got;
}

/* General paths: the path data between NewPath and PaintPath for each kind of figure. */
TEST_F(Paths, PathDataOfEachKindOfFigure)
{
    struct Case {
        const char *name;
        std::vector<PathFigure> figures;
        Lines data; /* from NewPath on */
    } cases[] = {
        {"open polyline", {figure({{0, 0}, {10, 0}, {10, 10}, {300, 400}})},
         {"NewPath", "SetCursor Point=0,0", "LinePath 10,0 10,10 300,400", "SetBrushSource NullBrush=0", "PaintPath"}},
        {"closed triangle", {figure({{5, 5}, {50, 5}, {20, 40}}, true)},
         {"NewPath", "SetCursor Point=5,5", "LinePath 50,5 20,40", "CloseSubPath", "SetBrushSource NullBrush=0",
          "PaintPath"}},
        {"Bezier", {figure({{0, 0}, {10, 0}, {20, 10}, {20, 20}, {20, 30}, {10, 40}, {0, 40}}, false, true)},
         {"NewPath", "SetCursor Point=0,0", "BezierPath 10,0 20,10 20,20 20,30 10,40 0,40",
          "SetBrushSource NullBrush=0", "PaintPath"}},
        {"two figures", {figure({{0, 0}, {9, 9}}), figure({{100, 100}, {200, 100}, {150, 150}}, true)},
         {"NewPath", "SetCursor Point=0,0", "LinePath 9,9", "SetCursor Point=100,100", "LinePath 200,100 150,150",
          "CloseSubPath", "SetBrushSource NullBrush=0", "PaintPath"}},
        {"rectangle drawn edge by edge from a vertical side", {figure({{0, 0}, {0, 10}, {10, 10}, {10, 0}}, true)},
         {"NewPath", "SetCursor Point=0,0", "LinePath 0,10 10,10 10,0", "CloseSubPath",
          "SetBrushSource NullBrush=0", "PaintPath"}},
    };
    for (const Case &c : cases) {
        openPage();
        cosmetic.elWidth.l = 1;
        ASSERT_TRUE(stroke(path(c.figures), &cosmetic)) << c.name;
        Lines got = ops();
        EXPECT_EQ(from(got, "NewPath"), c.data) << c.name << "\n" << joined(got);
    }
}

TEST_F(Paths, FillModesAndStrokeAndFill)
{
    ASSERT_TRUE(fill(path({figure({{0, 0}, {10, 0}, {5, 9}}, true)}), nullptr, FP_ALTERNATEMODE));
    Lines got = ops();
    EXPECT_NE(std::find(got.begin(), got.end(), "SetFillMode FillMode=1"), got.end()) << joined(got);
    EXPECT_EQ(from(got, "NewPath"), (Lines{"NewPath", "SetCursor Point=0,0", "LinePath 10,0 5,9", "CloseSubPath",
                                          "SetPenSource NullPen=0", "PaintPath"}));

    cosmetic.elWidth.l = 2;
    BRUSHOBJ *blue = plat::engine_make_solid_brush(0x0000FF);
    ASSERT_TRUE(DrvStrokeAndFillPath(&target, path({figure({{0, 0}, {10, 0}, {5, 9}}, true)}), nullptr, nullptr, blue,
                                     &cosmetic, red, nullptr, 0x0D0D, FP_WINDINGMODE));
    got = ops();
    /* the red brush is still in force from the fill above */
    EXPECT_EQ(got, (Lines{"SetPenWidth PenWidth=2", "SetLineDash SolidLine=0", "SetPenSource RGBColor=0,0,255",
                          "SetFillMode FillMode=0", "NewPath", "SetCursor Point=0,0", "LinePath 10,0 5,9",
                          "CloseSubPath", "PaintPath"}))
        << "pen and brush both stay";
    plat::engine_free_brush(blue);
}

TEST_F(Paths, EllipsesAndRectanglesAsShapes)
{
    const std::vector<PathFigure> oval = {figure({{10, 20}, {30, 20}, {50, 40}, {50, 60}}, true, true)};
    ASSERT_TRUE(fill(path(oval, PO_ELLIPSE)));
    EXPECT_EQ(from(ops(), "SetPenSource NullPen=0"), (Lines{"SetPenSource NullPen=0", "Ellipse BoundingBox=10,20,50,60"}));

    cosmetic.elWidth.l = 1;
    ASSERT_TRUE(stroke(path(oval, PO_ELLIPSE), &cosmetic));
    EXPECT_EQ(from(ops(), "SetBrushSource NullBrush=0"),
              (Lines{"SetBrushSource NullBrush=0", "Ellipse BoundingBox=10,20,50,60"}))
        << "a solid cosmetic pen strokes the ellipse shape";

    FLOAT_LONG dashes[2];
    dashes[0].l = 3;
    dashes[1].l = 1;
    LINEATTRS dashed = cosmetic;
    dashed.cstyle = 2;
    dashed.pstyle = dashes;
    ASSERT_TRUE(stroke(path(oval, PO_ELLIPSE), &dashed));
    Lines got = ops();
    EXPECT_EQ(std::count(got.begin(), got.end(), "PaintPath"), 1) << "a dashed pen: a general path\n" << joined(got);

    LINEATTRS geometric{LA_GEOMETRIC, JOIN_ROUND, ENDCAP_ROUND, {}, 10.0f, 0, nullptr, {}};
    geometric.elWidth.e = 4.0f;
    XFORMOBJ *ident = xform({1, 0, 0, 1, 0, 0});
    ASSERT_TRUE(stroke(path(oval, PO_ELLIPSE), &geometric, ident));
    got = ops();
    EXPECT_EQ(std::count(got.begin(), got.end(), "PaintPath"), 1) << "a geometric pen: a general path";

    XL_InvalidateState(ctx());
    ASSERT_TRUE(stroke(path({rectangle(1, 2, 3, 4)}), &geometric, ident));
    EXPECT_EQ(from(ops(), "SetBrushSource NullBrush=0"), (Lines{"SetBrushSource NullBrush=0", "Rectangle BoundingBox=1,2,3,4"}))
        << "a geometric pen under the identity strokes the rectangle shape";

    /* A rectangle shrunk to a point: one sixteenth of a pixel, and a dashed pen draws it solid. */
    XL_InvalidateState(ctx());
    ASSERT_TRUE(stroke(path({rectangle(7, 7, 7, 7)}), &dashed));
    got = ops();
    EXPECT_EQ(from(got, "SetBrushSource NullBrush=0"), (Lines{"SetBrushSource NullBrush=0", "Rectangle BoundingBox=7,7,7,7"}))
        << joined(got);
    EXPECT_NE(std::find(got.begin(), got.end(), "SetLineDash SolidLine=0"), got.end());
}

TEST_F(Paths, LineAttributes)
{
    struct Case {
        const char *name;
        LINEATTRS la;
        std::vector<FLOAT_LONG> style;
        Lines expected;
    } cases[] = {
        {"geometric round", {LA_GEOMETRIC, JOIN_ROUND, ENDCAP_ROUND, {}, 4.0f, 0, nullptr, {}}, {},
         {"SetLineJoin LineJoinStyle=1", "SetLineCap LineCapStyle=1", "SetMiterLimit MiterLength=4",
          "SetPenWidth PenWidth=3", "SetLineDash SolidLine=0"}},
        {"geometric bevel square", {LA_GEOMETRIC, JOIN_BEVEL, ENDCAP_SQUARE, {}, 0.5f, 0, nullptr, {}}, {},
         {"SetLineJoin LineJoinStyle=2", "SetLineCap LineCapStyle=2", "SetMiterLimit MiterLength=1",
          "SetPenWidth PenWidth=3", "SetLineDash SolidLine=0"}},
        {"geometric miter butt, dashes truncated", {LA_GEOMETRIC, JOIN_MITER, ENDCAP_BUTT, {}, 2.5f, 0, nullptr, {}},
         {FLOAT_LONG{5.5f}, FLOAT_LONG{2.5f}},
         {"SetLineJoin LineJoinStyle=0", "SetLineCap LineCapStyle=0", "SetMiterLimit MiterLength=2.5",
          "SetPenWidth PenWidth=3", "SetLineDash LineDashStyle=5,2"}},
        {"cosmetic alternate", {LA_ALTERNATE, 0, 0, {}, 0, 0, nullptr, {}}, {},
         {"SetPenWidth PenWidth=1", "SetLineDash LineDashStyle=1,1"}},
        {"cosmetic styled at 600 dpi: x 24", {0, 0, 0, {}, 0, 0, nullptr, {}}, {FLOAT_LONG{.l = 3}, FLOAT_LONG{.l = 1}},
         {"SetPenWidth PenWidth=1", "SetLineDash LineDashStyle=72,24"}},
        {"start gap: last entry first", {LA_STARTGAP, 0, 0, {}, 0, 0, nullptr, {}},
         {FLOAT_LONG{.l = 3}, FLOAT_LONG{.l = 1}},
         {"SetPenWidth PenWidth=1", "SetLineDash LineDashStyle=24,72 DashOffset=24"}},
    };
    for (Case &c : cases) {
        openPage();
        if (c.la.fl & LA_GEOMETRIC)
            c.la.elWidth.e = 3.9f;
        else
            c.la.elWidth.l = 1;
        c.la.cstyle = ULONG(c.style.size());
        c.la.pstyle = c.style.empty() ? nullptr : c.style.data();
        ASSERT_TRUE(PTH_SetLineAttrs(ctx(), &c.la)) << c.name;
        EXPECT_EQ(ops(), c.expected) << c.name;
    }
    LINEATTRS low{LA_GEOMETRIC, JOIN_MITER, ENDCAP_BUTT, {}, 0.5f, 0, nullptr, {}};
    low.elWidth.e = 1.0f;
    ASSERT_TRUE(PTH_SetLineAttrs(ctx(), &low));
    EXPECT_EQ(low.eMiterLimit, 1.0f) << "the raised limit is written back";
}

TEST_F(Paths, GeometricPenPaintsUnderThePathsTransform)
{
    pdev->ctmTracker = XL_CreateCtmTracker(ctx(), 1);
    ASSERT_NE(pdev->ctmTracker, nullptr);
    const PageTransform page{2, 0, 0, 2, 0, 0};
    ASSERT_EQ(XL_RememberCtm(pdev->ctmTracker, &page), 0);
    LINEATTRS geometric{LA_GEOMETRIC, JOIN_ROUND, ENDCAP_ROUND, {}, 10.0f, 0, nullptr, {}};
    geometric.elWidth.e = 2.0f;
    XFORMOBJ *scale = xform({3, 0, 0, 3, 0, 0});
    ASSERT_TRUE(stroke(path({figure({{0, 0}, {10, 10}})}), &geometric, scale));
    Lines got = from(ops(), "NewPath");
    auto paint = std::find(got.begin(), got.end(), "PaintPath");
    ASSERT_NE(paint, got.end()) << joined(got);
    auto scaled = std::find(got.begin(), got.end(), "SetPageScale PageScale=6,6");
    auto restored = std::find(got.begin(), got.end(), "SetPageScale PageScale=2,2");
    EXPECT_TRUE(scaled < paint && paint < restored) << "the path is built, then painted under the product\n"
                                                    << joined(got);
    PageTransform now{};
    ASSERT_EQ(XL_GetCurrentCtm(pdev->ctmTracker, &now), 0);
    EXPECT_EQ(now.m11, 2.0f);
}

/* The clip cache over one page: set, kept, narrowed, replaced, a region once, and a new page. */
TEST_F(Paths, ClipSetKeptNarrowedAndReplaced)
{
    RECTL wide{0, 0, 1000, 1000};
    struct Step {
        const char *name;
        std::vector<RECTL> clip;
        Lines expected;
    } steps[] = {
        {"first rectangle", {{100, 100, 500, 500}},
         {"SetClipToPage", "SetClipRectangle ClipRegion=0 BoundingBox=100,100,500,500"}},
        {"the same again", {{100, 100, 500, 500}}, {}},
        {"a smaller one inside", {{200, 200, 400, 400}}, {"SetClipRectangle ClipRegion=0 BoundingBox=200,200,400,400"}},
        {"a larger one", {{0, 0, 600, 600}}, {"SetClipToPage", "SetClipRectangle ClipRegion=0 BoundingBox=0,0,600,600"}},
        {"a region", {{10, 10, 20, 20}, {30, 30, 40, 40}},
         {"SetClipToPage", "NewPath", "SetCursor Point=10,10", "LinePath 20,10 20,20 10,20", "CloseSubPath",
          "SetCursor Point=30,30", "LinePath 40,30 40,40 30,40", "CloseSubPath", "SetClipMode ClipMode=1",
          "SetClipReplace ClipRegion=0"}},
        {"the same region", {{10, 10, 20, 20}, {30, 30, 40, 40}}, {}},
        {"a rectangle after the region", {{5, 5, 50, 50}},
         {"SetClipToPage", "SetClipRectangle ClipRegion=0 BoundingBox=5,5,50,50"}},
        {"no clip", {}, {"SetClipToPage"}},
        {"no clip again", {}, {}},
    };
    for (const Step &s : steps) {
        EXPECT_EQ(PTH_SetClipRegion(ctx(), clip(s.clip), &wide), 1) << s.name;
        EXPECT_EQ(ops(), s.expected) << s.name;
    }
    /* A target inside the rectangle needs no clip. */
    EXPECT_EQ(PTH_SetClipRegion(ctx(), clip({{0, 0, 600, 600}}), &wide), 1);
    ops();
    RECTL small{10, 10, 20, 20};
    EXPECT_EQ(PTH_SetClipRegion(ctx(), clip({{0, 0, 600, 600}}), &small), 1);
    EXPECT_EQ(ops(), (Lines{"SetClipToPage"}));

    /* A new page: undetermined, so the page clip is sent first. */
    ASSERT_EQ(PTH_ResetPathState(ctx()), 0);
    XL_InvalidateState(ctx());
    EXPECT_EQ(PTH_SetClipRegion(ctx(), clip({{10, 10, 20, 20}, {30, 30, 40, 40}}), &wide), 1);
    EXPECT_EQ(clipOps(ops()), (Lines{"SetClipToPage", "SetClipMode ClipMode=1", "SetClipReplace ClipRegion=0"}));
}

/* A held image's clip copy is compared and sent like the region it came from. */
TEST_F(Paths, ClipFromAHeldImagesCopy)
{
    PathPointsCopy copy{};
    ASSERT_EQ(PTH_CopyPathPoints(path({rectangle(1, 2, 3, 4), figure({{5, 5}, {6, 6}, {5, 7}}, true)}), &copy.block,
                                 &copy.bytes, &copy.records),
              4);
    EXPECT_EQ(copy.records, 2u);
    EXPECT_EQ(copy.bytes, (2u * 2 + 7) * 8);
    RECTL wide{0, 0, 100, 100};
    CLIPOBJ *region = clip({{1, 2, 3, 4}, {5, 5, 6, 7}});
    EXPECT_EQ(PTH_SetClipFromCopy(ctx(), region, nullptr, &wide, &copy), 1);
    EXPECT_EQ(ops(), (Lines{"SetClipToPage", "NewPath", "SetCursor Point=1,2", "LinePath 3,2 3,4 1,4", "CloseSubPath",
                            "SetCursor Point=5,5", "LinePath 6,6 5,7", "CloseSubPath", "SetClipMode ClipMode=1",
                            "SetClipReplace ClipRegion=0"}));
    EXPECT_EQ(PTH_SetClipFromCopy(ctx(), region, nullptr, &wide, &copy), 1);
    EXPECT_EQ(ops(), Lines{}) << "the same copy again";
    PathPointsCopy broken = copy;
    broken.bytes -= 8;
    EXPECT_EQ(PTH_CacheClipPath(ctx(), nullptr, &broken), -2) << "sizes that do not add up";
    HeapFree(GetProcessHeap(), 0, copy.block);

    void *block = reinterpret_cast<void *>(1);
    DWORD bytes = 9, records = 9;
    EXPECT_EQ(PTH_CopyPathPoints(path({}), &block, &bytes, &records), 0);
    EXPECT_EQ(block, nullptr);
    EXPECT_EQ(bytes, 0u);
}

/* A rectangle filled after a region clip: the page clip, and the rectangle cut to a rectangular clip. */
TEST_F(Paths, RectangleFillAfterAComplexClip)
{
    RECTL wide{0, 0, 1000, 1000};
    ASSERT_EQ(PTH_SetClipRegion(ctx(), clip({{10, 10, 20, 20}, {30, 30, 40, 40}}), &wide), 1);
    ops();
    ASSERT_TRUE(fill(path({rectangle(0, 0, 300, 200)}), clip({{50, 60, 250, 400}})));
    Lines got = ops();
    EXPECT_EQ(clipOps(got), (Lines{"SetClipToPage"})) << "the region does not stay in force";
    EXPECT_EQ(got.back(), "Rectangle BoundingBox=50,60,250,200");

    /* Outside the clip altogether: nothing drawn, and the call succeeds. */
    ASSERT_TRUE(fill(path({rectangle(600, 600, 700, 700)}), clip({{50, 60, 250, 400}})));
    got = ops();
    EXPECT_EQ(std::count(got.begin(), got.end(), "Rectangle BoundingBox=600,600,700,700"), 0) << joined(got);
    EXPECT_TRUE(got.empty() || got.back().rfind("Rectangle", 0) != 0) << joined(got);

    /* A path of two rectangles is no single rectangle: it keeps the clip. */
    ASSERT_TRUE(fill(path({rectangle(0, 0, 300, 200), rectangle(0, 300, 10, 310)}), clip({{50, 60, 250, 400}})));
    EXPECT_EQ(clipOps(ops()), (Lines{"SetClipRectangle ClipRegion=0 BoundingBox=50,60,250,400"}));
}

/* While a see-through watermark is drawn, the path is drawn again with the mesh. */
TEST_F(Paths, SeeThroughWatermarkDrawsAMeshPass)
{
    JobDevmode dm;
    baseSettings(dm);
    dm.set(1287, 1);
    dm.set(301, 0x00FF00);
    open(dm);
    pdev->jobState = JOB_OPEN | JOB_SHEET_SET_UP | JOB_SHEET_OPEN | JOB_PAGE_OPEN;
    settings.pageWatermark = 1;
    pdev->jobSettings = &settings;
    pdev->watermarkBracket = TRUE;
    ASSERT_EQ(PTH_ResetPathState(ctx()), 0);
    ASSERT_TRUE(JOB_IsWatermarkSeeThrough(ctx()));
    ASSERT_TRUE(fill(path({figure({{0, 0}, {10, 0}, {5, 9}}, true)})));
    Lines got = ops();
    EXPECT_EQ(std::count(got.begin(), got.end(), "PaintPath"), 2) << joined(got);
    EXPECT_NE(std::find(got.begin(), got.end(), "SetROP ROP3=160"), got.end()) << "first pass: black on white mesh";
    EXPECT_NE(std::find(got.begin(), got.end(), "SetROP ROP3=250"), got.end()) << "second pass: the variant";
    EXPECT_EQ(red->iSolidColor, 0x00FF00u) << "the brush takes the watermark's colour";
}

/* Bad paths and pens: a clear status, nothing over-read. */
TEST_F(Paths, BadPathsAndPensAreRefused)
{
    cosmetic.elWidth.l = 1;
    SetLastError(0);
    EXPECT_FALSE(stroke(path({}), &cosmetic)) << "a path with no records";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    SetLastError(0);
    EXPECT_FALSE(fill(path({figure({})}))) << "a record without points";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    SetLastError(0);
    EXPECT_FALSE(stroke(path({figure({{0, 0}, {1, 1}, {2, 2}}, false, true)}), &cosmetic)) << "two Bezier points";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    SetLastError(0);
    LINEATTRS geometric{LA_GEOMETRIC, 0, 0, {}, 1.0f, 0, nullptr, {}};
    EXPECT_FALSE(stroke(path({figure({{0, 0}, {1, 1}})}), &geometric, nullptr)) << "a geometric pen without transform";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    SetLastError(0);
    EXPECT_FALSE(DrvStrokePath(&target, path({figure({{0, 0}, {1, 1}})}), nullptr, nullptr, red, nullptr, nullptr,
                               0x0D0D))
        << "no line attributes";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    ops();

    /* Widths: 0 is the thinnest line; 2^31 - 1 cannot be drawn. */
    LINEATTRS thin = cosmetic;
    thin.elWidth.l = 0;
    EXPECT_TRUE(PTH_SetLineAttrs(ctx(), &thin));
    EXPECT_EQ(ops().front(), "SetPenWidth PenWidth=0");
    LINEATTRS huge = cosmetic;
    huge.elWidth.l = INT_MAX;
    SetLastError(0);
    EXPECT_FALSE(stroke(path({figure({{0, 0}, {1, 1}})}), &huge));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    LINEATTRS hugeGeometric{LA_GEOMETRIC, 0, 0, {}, 1.0f, 0, nullptr, {}};
    hugeGeometric.elWidth.e = 2147483647.0f;
    EXPECT_FALSE(PTH_SetLineAttrs(ctx(), &hugeGeometric));
    ops();

    /* Dash arrays of 0 and 1,000 entries; entries beyond 16 bits are held at 65,535. */
    LINEATTRS none = cosmetic;
    none.cstyle = 0;
    std::vector<FLOAT_LONG> style(1000);
    none.pstyle = style.data();
    XL_InvalidateState(ctx());
    EXPECT_TRUE(PTH_SetLineAttrs(ctx(), &none));
    EXPECT_EQ(ops().back(), "SetLineDash SolidLine=0");
    LINEATTRS many = cosmetic;
    for (size_t i = 0; i < style.size(); i++)
        style[i].l = LONG(i % 2 ? 1 : 100000);
    many.cstyle = 1000;
    many.pstyle = style.data();
    EXPECT_TRUE(PTH_SetLineAttrs(ctx(), &many));
    Lines got = ops();
    ASSERT_FALSE(got.empty());
    EXPECT_EQ(got.back().rfind("SetLineDash LineDashStyle=65535,24,65535,24", 0), 0u) << got.back().substr(0, 80);
    LINEATTRS tooMany = many;
    tooMany.cstyle = 70000;
    EXPECT_FALSE(PTH_SetLineDash(ctx(), &tooMany, 1));
    EXPECT_EQ(ops(), Lines{});
}

} // namespace
