// Booklet and poster jobs printed whole and read back with the job lister:
// which pages each sheet side holds and in which half (from the event
// comments and the transforms sent), against the sides worked out by hand
// in test_booklet_order.cpp; poster tiles decoded from their transforms.
#include "job_listing.h"
#include "page_recording.h"
#include "sheet_pipeline.h"
#include "sheet_state.h"

#include <algorithm>
#include <cmath>

using namespace job_test;

namespace {

/* A sheet side as the stream shows it: its pages (0-based, from StartPage comments 100 ms apart), their transforms. */
struct SheetSide {
    std::vector<int> pages;
    std::vector<std::pair<double, double>> origins; /* SetPageOrigin of each page's transform */
    std::vector<double> scales;                     /* SetPageScale's first factor */
    std::vector<int> angles;                        /* the transform's own SetPageRotation */
    int endPages = 0;
};

std::vector<SheetSide> sheetSides(const Job &j)
{
    std::vector<SheetSide> sides;
    bool defaultCtm = false;
    for (const std::string &op : j.ops) {
        if (op.rfind("BeginPage", 0) == 0)
            sides.emplace_back();
        if (sides.empty())
            continue;
        SheetSide &s = sides.back();
        int ms = 0;
        double x = 0, y = 0;
        int angle = 0;
        int end = 0;
        if (std::sscanf(op.c_str(), "Comment \"[%dms]StartPage\"%n", &ms, &end) == 1 && size_t(end) == op.size())
            s.pages.push_back(ms / 100 - 1);
        else if (std::sscanf(op.c_str(), "SetPageOrigin PageOrigin=%lf,%lf", &x, &y) == 2)
            s.origins.push_back({x, y});
        else if (std::sscanf(op.c_str(), "SetPageScale PageScale=%lf", &x) == 1)
            s.scales.push_back(x);
        else if (op == "SetPageDefaultCTM")
            defaultCtm = true;
        else if (std::sscanf(op.c_str(), "SetPageRotation PageAngle=%d", &angle) == 1 && defaultCtm) {
            s.angles.push_back(angle);
            defaultCtm = false;
        } else if (op == "EndPage")
            s.endPages++;
    }
    return sides;
}

std::vector<std::vector<int>> pagesOf(const std::vector<SheetSide> &sides)
{
    std::vector<std::vector<int>> pages;
    for (const SheetSide &s : sides)
        pages.push_back(s.pages);
    return pages;
}

/* A4 at 600 dpi: half the sheet's length in pixels; a page turned a quarter has its top-left corner on its half. */
constexpr double kFoldY = 2970 * 600.0 / 254 / 2;

class BookletJob : public FirstJob {};

TEST_F(BookletJob, EightPagesGoOnFourSidesTwoAtATime)
{
    dm->set(321, 2);
    dm->set(322, 1); /* binding 2 */
    enableContext();
    ASSERT_TRUE(printBlank(8));
    Job j = list(spooled());
    std::vector<SheetSide> sides = sheetSides(j);
    /* sides (4, 3), (2, 5), (6, 1), (0, 7), the higher page of each written first */
    EXPECT_EQ(pagesOf(sides), (std::vector<std::vector<int>>{{4, 3}, {5, 2}, {6, 1}, {7, 0}}));
    ASSERT_EQ(sides.size(), 4u);
    /* position 0 of binding 2 is the sheet's top half: pages 4, 2, 6 and 0 */
    const std::vector<std::vector<bool>> top = {{true, false}, {false, true}, {true, false}, {false, true}};
    for (size_t i = 0; i < sides.size(); i++) {
        SCOPED_TRACE(i);
        EXPECT_EQ(sides[i].endPages, 1) << "one sheet side";
        ASSERT_EQ(sides[i].origins.size(), 2u);
        for (size_t k = 0; k < 2; k++) {
            EXPECT_EQ(sides[i].origins[k].second < kFoldY, top[i][k]);
            EXPECT_EQ(sides[i].angles[k], 270) << "binding 2 turns the pages clockwise";
            EXPECT_NEAR(sides[i].scales[k], 2016.0 / 2886, 0.001);
        }
    }
    EXPECT_EQ(pdev->recordFlags, 0u);
    EXPECT_EQ(JOB_CountSheetsForHeader(pdev), 4) << "four booklet sides for the header";
}

TEST_F(BookletJob, TwoPassWritesTheBackFacesFirst)
{
    dm->set(321, 2);
    dm->set(322, 1);
    dm->set(16, 2);
    enableContext();
    ASSERT_TRUE(startDoc());
    /* a model that duplexes by the driver: the back faces (sides 3 and 1) in pass 1, the fronts (0 and 2) after */
    pdev->jobSettings->driverDuplex = 1;
    pdev->jobSettings->recorded = 1;
    ASSERT_TRUE(finishBlank(8));
    EXPECT_EQ(pagesOf(sheetSides(list(spooled()))), (std::vector<std::vector<int>>{{7, 0}, {5, 2}, {4, 3}, {6, 1}}));
}

TEST_F(BookletJob, ACoverTakesTheFirstAndLastPages)
{
    /* 6 pages with a cover, binding 1: sides (2, 3), (4, 1) and the cover (5, 0), as test_booklet_order.cpp has */
    dm->set(321, 2);
    dm->set(1291, 1);
    enableContext();
    ASSERT_TRUE(printBlank(6));
    std::vector<SheetSide> sides = sheetSides(list(spooled()));
    EXPECT_EQ(pagesOf(sides), (std::vector<std::vector<int>>{{3, 2}, {4, 1}, {5, 0}}));
    ASSERT_EQ(sides.size(), 3u);
    EXPECT_GT(sides[2].origins[0].second, kFoldY) << "the back cover on the left half: the sheet's bottom";
    EXPECT_LT(sides[2].origins[1].second, kFoldY + 1) << "the front cover on the right half: the top";
    EXPECT_EQ(JOB_CountSheetsForHeader(pdev), 3);
}

TEST_F(BookletJob, APrintedCoverFeedsTheOuterSheetFromTheCoverTray)
{
    /*
     * Cover mode 1 (tray 1: media source 4): the outer sheet is fed when its first side, (1, 6), starts; with a
     * separate cover (1291) it is the cover's side, which holds page 0.
     */
    struct Case {
        LONG coverFlag;
        std::vector<std::string> sources;
    } cases[] = {
        {0, {"MediaSource=1", "MediaSource=1", "MediaSource=4", "MediaSource=1"}},
        {1, {"MediaSource=1", "MediaSource=1", "MediaSource=4"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.coverFlag);
        dm = std::make_unique<JobDevmode>();
        dm->set(13, 7);
        dm->set(1334, 0);
        dm->set(321, 2);
        dm->set(1291, c.coverFlag);
        plat::clock_fix(fixedTime(), 5000);
        enableContext();
        ASSERT_TRUE(startDoc());
        pdev->jobSettings->coverMode = 1;
        pdev->jobSettings->leadingInsertTray = 1;
        ASSERT_TRUE(finishBlank(c.coverFlag ? 6 : 8));
        EXPECT_EQ(mediaSources(list(spooled())), c.sources);
        disable();
    }
}

TEST_F(BookletJob, AGutterThatLeavesNoRoomFailsTheJob)
{
    /* 300 mm free at the fold of a 297 mm spread: no half has room, so the job fails and is cut off */
    dm->set(321, 2);
    dm->set(1291, 1);
    dm->set(324, 3000);
    enableContext();
    ASSERT_TRUE(startDoc());
    ASSERT_TRUE(DrvStartPage(so));
    ASSERT_TRUE(DrvSendPage(so));
    SetLastError(0);
    EXPECT_FALSE(DrvEndDoc(so, 0));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    const std::string bytes = spooled();
    ASSERT_GE(bytes.size(), kUel.size());
    EXPECT_EQ(bytes.substr(bytes.size() - kUel.size()), kUel) << "the universal exit ends the cut-off job";
}

TEST_F(BookletJob, FivePagesLeaveThreeHalvesBlank)
{
    dm->set(321, 2);
    dm->set(322, 1);
    enableContext();
    ASSERT_TRUE(printBlank(5));
    std::vector<SheetSide> sides = sheetSides(list(spooled()));
    EXPECT_EQ(pagesOf(sides), (std::vector<std::vector<int>>{{4, 3}, {2}, {1}, {0}}));
    ASSERT_EQ(sides.size(), 4u);
    EXPECT_LT(sides[1].origins[0].second, kFoldY) << "page 2 in the left half (the top)";
    EXPECT_GT(sides[2].origins[0].second, kFoldY) << "page 1 in the right half (the bottom)";
    EXPECT_LT(sides[3].origins[0].second, kFoldY) << "page 0 in the left half";
    for (const SheetSide &s : sides)
        EXPECT_EQ(s.endPages, 1);
}

TEST_F(BookletJob, BindingOneLaysThePagesTheOtherWayRound)
{
    dm->set(321, 2);
    enableContext();
    ASSERT_TRUE(printBlank(4));
    std::vector<SheetSide> sides = sheetSides(list(spooled()));
    /* sides (1, 2) and (3, 0); binding 1's left half is the sheet's bottom half, its pages turned counter-clockwise */
    EXPECT_EQ(pagesOf(sides), (std::vector<std::vector<int>>{{2, 1}, {3, 0}}));
    ASSERT_EQ(sides.size(), 2u);
    EXPECT_LT(sides[0].origins[0].second, kFoldY) << "page 2 on the right half: the top";
    EXPECT_GT(sides[0].origins[1].second, kFoldY) << "page 1 on the left half: the bottom";
    EXPECT_EQ(sides[0].angles[0], 90);
}

TEST_F(BookletJob, SplitIntoSetsOfAtMostFourSheets)
{
    dm->set(321, 2);
    dm->set(322, 1);
    dm->set(446, 1);
    enableContext();
    ASSERT_TRUE(startDoc());
    pdev->jobSettings->bookletOptionValue = 4; /* the printer's set size */
    ASSERT_TRUE(finishBlank(40));
    std::vector<SheetSide> sides = sheetSides(list(spooled()));
    /* 10 sheets in sets of 4, 3 and 3 sheets: pages 0-15 on 8 sides, 16-27 and 28-39 on 6 each */
    ASSERT_EQ(sides.size(), 20u);
    EXPECT_EQ(sides[0].pages, (std::vector<int>{8, 7})) << "the centre of the first set";
    EXPECT_EQ(sides[7].pages, (std::vector<int>{15, 0})) << "its outside";
    EXPECT_EQ(sides[8].pages, (std::vector<int>{22, 21})) << "the centre of pages 16 to 27";
    EXPECT_EQ(sides[13].pages, (std::vector<int>{27, 16}));
    EXPECT_EQ(sides[14].pages, (std::vector<int>{34, 33})) << "the centre of pages 28 to 39";
    EXPECT_EQ(sides[19].pages, (std::vector<int>{39, 28}));
}

TEST_F(BookletJob, AFixedSetGoesOutAsSoonAsItIsFull)
{
    dm->set(321, 2);
    dm->set(322, 1);
    dm->set(446, 2);
    dm->set(323, 1); /* one sheet, four pages, a set */
    enableContext();
    ASSERT_TRUE(startDoc());
    for (int i = 0; i < 4; i++) {
        Sleep(100);
        ASSERT_TRUE(DrvStartPage(so));
        ASSERT_TRUE(DrvSendPage(so));
    }
    EXPECT_EQ(pdev->recordFlags, 0u) << "the first set went out and its recording ended";
    EXPECT_EQ(JOB_SheetState(pdev)->bookletNextPage, 4u);
    ASSERT_TRUE(finishBlank(6));
    std::vector<SheetSide> sides = sheetSides(list(spooled()));
    /* pages 0-3, 4-7, then 8 and 9 each alone on a side */
    EXPECT_EQ(pagesOf(sides), (std::vector<std::vector<int>>{{2, 1}, {3, 0}, {6, 5}, {7, 4}, {9}, {8}}));
}

TEST_F(BookletJob, ReverseOrderWritesTheOuterSheetFirst)
{
    dm->set(321, 2);
    dm->set(322, 1);
    dm->set(1312, 1);
    enableContext();
    ASSERT_TRUE(printBlank(8));
    Job j = list(spooled());
    EXPECT_EQ(pagesOf(sheetSides(j)), (std::vector<std::vector<int>>{{7, 0}, {6, 1}, {5, 2}, {4, 3}}));
    EXPECT_NE(j.trailer.find("QZJOBINFO PAGEORDER=NTO1\n"), std::string::npos);
}

/* ---- Posters --------------------------------------------------------------------- */

class PosterJob : public FirstJob {
protected:
    /* One page as an n x n poster, optionally reversed; its tiles' sides. */
    std::vector<SheetSide> poster(int n, bool reverse)
    {
        dm = std::make_unique<JobDevmode>();
        dm->set(13, 7);
        dm->set(1334, 0);
        dm->set(321, 1);
        dm->set(296, n == 2 ? 514 : n == 3 ? 771 : 1028);
        dm->set(1312, reverse ? 1 : 0);
        plat::clock_fix(fixedTime(), 5000);
        enableContext();
        EXPECT_TRUE(printBlank(1));
        std::vector<SheetSide> sides = sheetSides(list(spooled()));
        disable();
        return sides;
    }
};

TEST_F(PosterJob, EachTileMapsThePageCornerItHoldsOntoThePrintableArea)
{
    /* The page's printable area (A4 less 4.2 mm margins) and the sheet's, in pixels at 600 dpi. */
    const double W = 2016 * 600.0 / 254, H = 2886 * 600.0 / 254, m = 42 * 600.0 / 254;
    for (int n : {2, 3}) {
        for (bool reverse : {false, true}) {
            SCOPED_TRACE(std::to_string(n) + (reverse ? " reversed" : ""));
            std::vector<SheetSide> sides = poster(n, reverse);
            ASSERT_EQ(sides.size(), size_t(n * n)) << "one sheet side a tile";
            for (int k = 0; k < n * n; k++) {
                const SheetSide &s = sides[size_t(k)];
                const int tile = reverse ? n * n - 1 - k : k;
                SCOPED_TRACE(tile);
                ASSERT_EQ(s.pages, std::vector<int>{0});
                ASSERT_EQ(s.origins.size(), 1u);
                EXPECT_EQ(s.scales[0], n);
                EXPECT_EQ(s.angles[0], 0);
                EXPECT_EQ(s.endPages, 1);
                /* tile t is column t mod n, row t / n: moved back by its column and row of printable areas */
                EXPECT_EQ(s.origins[0].first, std::trunc(m - (tile % n) * W));
                EXPECT_EQ(s.origins[0].second, std::trunc(m - (tile / n) * H));
                /* the page's corners: each lands on the printable area's corner of its own tile only */
                const struct {
                    double x, y;
                    int tile;
                } corners[] = {{0, 0, 0}, {W, 0, n - 1}, {0, H, n * (n - 1)}, {W, H, n * n - 1}};
                for (const auto &c : corners) {
                    const double x = s.origins[0].first + n * c.x, y = s.origins[0].second + n * c.y;
                    const bool inside = x > m - 2 && x < m + W + 2 && y > m - 2 && y < m + H + 2;
                    EXPECT_EQ(inside, c.tile == tile) << c.x << "," << c.y;
                    if (inside) {
                        EXPECT_NEAR(x, c.x ? m + W : m, 2.0);
                        EXPECT_NEAR(y, c.y ? m + H : m, 2.0);
                    }
                }
            }
        }
    }
}

TEST_F(PosterJob, CropMarksFrameEveryTile)
{
    dm->set(321, 1);
    dm->set(296, 514);
    dm->set(1285, 1);
    enableContext();
    ASSERT_TRUE(printBlank(1));
    Job j = list(spooled());
    /* each tile: the page's transform, then the marks from the printable area's corner, 99 pixels in */
    size_t marks = 0, lines = 0;
    for (size_t i = 0; i + 1 < j.ops.size(); i++) {
        if (j.ops[i] == "SetClipToPage")
            marks++;
        lines += j.ops[i].rfind("LinePath", 0) == 0;
    }
    EXPECT_EQ(marks, 4u);
    EXPECT_EQ(lines, 48u) << "twelve marks a tile";
    auto at = std::find(j.ops.begin(), j.ops.end(), "SetClipToPage");
    ASSERT_LE(at + 6, j.ops.end());
    const std::vector<std::string> head(at, at + 6);
    EXPECT_EQ(head, (std::vector<std::string>{"SetClipToPage", "SetPageRotation PageAngle=0", "SetPageDefaultCTM",
                                              "SetPageOrigin PageOrigin=99,99", "SetPageScale PageScale=1,1",
                                              "SetPageRotation PageAngle=0"}));
}

TEST_F(PosterJob, TwoPagesOfAReversedPosterComeLastPageFirst)
{
    /* Reverse order replays the whole job at its end: page 2's tiles, last first, then page 1's. */
    dm->set(321, 1);
    dm->set(296, 514);
    dm->set(1312, 1);
    enableContext();
    ASSERT_TRUE(printBlank(2));
    std::vector<SheetSide> sides = sheetSides(list(spooled()));
    ASSERT_EQ(sides.size(), 8u);
    for (size_t k = 0; k < 8; k++)
        EXPECT_EQ(sides[k].pages, std::vector<int>{k < 4 ? 1 : 0}) << k;
    EXPECT_EQ(sides[0].origins[0], (std::pair<double, double>{-4662, -6718})) << "the last tile first";
    EXPECT_EQ(sides[3].origins[0], (std::pair<double, double>{99, 99}));
    EXPECT_EQ(JOB_CountSheetsForHeader(pdev), 8) << "two pages of four tiles";
}

} // namespace
