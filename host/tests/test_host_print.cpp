// `tarvel print` end to end: the built-in test document through the GDI
// stand-in, the rendering library and the spooler into a job file that the
// job lister accepts; the options reach the job; every refused road ends
// with a message and a non-zero exit.
#include "host_job_test.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <vector>

namespace {

class HostPrint : public HostJobTest {
protected:
    HostPrint() : HostJobTest("tarvel-print-") {}

    static int count(const pxllist::Listing &l, uint8_t op)
    {
        int n = 0;
        for (const auto &r : l.records)
            n += r.kind == pxllist::RecordKind::kOperator && r.op == op;
        return n;
    }

    static bool hasLine(const pxllist::Listing &l, const std::string &text)
    {
        for (const auto &r : l.records)
            if (r.kind == pxllist::RecordKind::kPjlLine && r.text == text)
                return true;
        return false;
    }

    /* The job's page-information lines in page order. */
    static std::vector<std::string> pageInfo(const pxllist::Listing &l)
    {
        std::vector<std::string> lines;
        for (const auto &r : l.records)
            if (r.kind == pxllist::RecordKind::kPjlLine && r.text.rfind("@PJL COMMENT QZJOBINFO PAGEINFO=", 0) == 0)
                lines.push_back(r.text.substr(32));
        return lines;
    }
};

TEST_F(HostPrint, PrintsTheTestDocumentAndInstallsThePrinterOnFirstUse)
{
    /* The first two pages here; the whole document by default is in test_host_print_title.cpp. */
    int status = -1;
    std::string out = print("--pages 2 --paper A4", &status);
    ASSERT_EQ(status, 0) << out;
    EXPECT_NE(out.find("Installed printer \"Tarvel CX 1500\""), std::string::npos) << out;
    EXPECT_NE(out.find("Printed 2 pages to " + job), std::string::npos) << out;
    pxllist::Listing l = listed();
    EXPECT_EQ(count(l, pxllist::op::kBeginPage), 2);
    EXPECT_EQ(count(l, pxllist::op::kEndSession), 1);
    EXPECT_TRUE(hasLine(l, "@PJL COMMENT QZJOBINFO LOGICALPAGES=2"));
    EXPECT_TRUE(hasLine(l, "@PJL EOJ"));

    /* the second run finds the printer */
    out = print("--pages 1", &status);
    ASSERT_EQ(status, 0) << out;
    EXPECT_EQ(out.find("Installed"), std::string::npos) << out;
}

TEST_F(HostPrint, OptionsReachTheJob)
{
    int status = -1;
    std::string out = print("--pages 3 --paper A4 --duplex long --copies 2 --no-collate --resolution 600 --colour mono", &status);
    ASSERT_EQ(status, 0) << out;
    pxllist::Listing l = listed();
    EXPECT_TRUE(hasLine(l, "@PJL SET DUPLEX=ON"));
    EXPECT_TRUE(hasLine(l, "@PJL SET COPIES=2"));
    EXPECT_TRUE(hasLine(l, "@PJL COMMENT QZJOBINFO DUPLEXTYPE=DUPLEX"));
    EXPECT_TRUE(hasLine(l, "@PJL COMMENT QZJOBINFO PAGECOPIES=2"));
    EXPECT_NE(jobBytes().find("QZPC=01"), std::string::npos) << "monochrome pages";

    out = print("--pages 5 --nup 4 --nup-order 3", &status);
    ASSERT_EQ(status, 0) << out;
    l = listed();
    EXPECT_EQ(count(l, pxllist::op::kBeginPage), 2);
    EXPECT_TRUE(hasLine(l, "@PJL COMMENT QZJOBINFO NUP=4"));

    /* page 2 (the drawing page) on Letter, turned, between A4 pages; every drawn page of a colour job is a colour page */
    const std::string a4 = "SIZE[210.0X297.0]:MODE[COLOR]:COLORS[0]:INTRAY[0]:DUPLEX[SIMPLEX]";
    const std::string letter = "SIZE[215.9X279.4]:MODE[COLOR]:COLORS[0]:INTRAY[0]:DUPLEX[SIMPLEX]";
    out = print("--pages 3 --paper A4 --page 2:Letter:landscape", &status);
    ASSERT_EQ(status, 0) << out;
    l = listed();
    EXPECT_EQ(pageInfo(l), (std::vector<std::string>{a4, letter, a4}));

    /* a page of its own paper without --paper: page 1 (the title page) on the printer's Letter, page 2 on A4 */
    out = print("--pages 2 --page 2:A4", &status);
    ASSERT_EQ(status, 0) << out;
    l = listed();
    EXPECT_EQ(pageInfo(l), (std::vector<std::string>{letter, a4}));

    /* a page after the test document's four is blank, and announced empty */
    out = print("--pages 5 --paper A4", &status);
    ASSERT_EQ(status, 0) << out;
    l = listed();
    ASSERT_EQ(pageInfo(l).size(), 5u);
    EXPECT_EQ(pageInfo(l)[4], "SIZE[210.0X297.0]:MODE[EMPTY]::INTRAY[0]:DUPLEX[SIMPLEX]");
}

TEST_F(HostPrint, CopiesAreUncollatedUnlessAsked)
{
    /* the model's default collates; --copies alone leaves the copies to the printer, as --help says */
    int status = -1;
    std::string out = print("--pages 2 --copies 3", &status);
    ASSERT_EQ(status, 0) << out;
    pxllist::Listing l = listed();
    EXPECT_TRUE(hasLine(l, "@PJL SET COPIES=3"));
    EXPECT_TRUE(hasLine(l, "@PJL COMMENT QZJOBINFO JOBCOPIES=1"));
    EXPECT_TRUE(hasLine(l, "@PJL COMMENT QZJOBINFO PAGECOPIES=3"));
    EXPECT_TRUE(hasLine(l, "@PJL COMMENT QZJOBINFO ESTIMATEDSHEETS=6"));

    /* --collate: the driver repeats the pages for each copy, and the printer makes one copy of them */
    out = print("--pages 2 --copies 3 --collate", &status);
    ASSERT_EQ(status, 0) << out;
    l = listed();
    EXPECT_EQ(count(l, pxllist::op::kBeginPage), 6);
    EXPECT_TRUE(hasLine(l, "@PJL SET COPIES=1"));
    EXPECT_FALSE(hasLine(l, "@PJL SET COPIES=3"));
}

TEST_F(HostPrint, RecordedJobsPrint)
{
    struct Case {
        const char *options;
        int beginPages;
        const char *line;
    } cases[] = {
        {"--pages 3 --colour auto", 3, "@PJL COMMENT QZJOBINFO LOGICALPAGES=3"},
        {"--pages 2 --copies 3 --collate", 6, "@PJL COMMENT QZJOBINFO JOBCOPIES=1"},
        {"--pages 3 --reverse", 3, "@PJL COMMENT QZJOBINFO PAGEORDER=NTO1"},
        {"--pages 3 --duplex manual-long", 3, "@PJL SET DUPLEX=ON"},
        {"--pages 3 --duplex long --copies 2 --collate --reverse", 8, "@PJL SET DUPLEX=ON"},
    };
    for (const Case &c : cases) {
        int status = -1;
        std::string out = print(c.options, &status);
        ASSERT_EQ(status, 0) << c.options << "\n" << out;
        pxllist::Listing l = listed();
        EXPECT_EQ(count(l, pxllist::op::kBeginPage), c.beginPages) << c.options;
        EXPECT_TRUE(hasLine(l, c.line)) << c.options;
    }
    /* in an automatic-colour job the title page (black text) and blank pages are announced monochrome */
    const std::string empty = (dir / "empty.txt").string();
    std::ofstream(empty, std::ios::binary).close();
    for (const std::string &options : {std::string("--pages 1 --colour auto"), empty + " --colour auto"}) {
        int status = -1;
        ASSERT_EQ((print(options, &status), status), 0) << options;
        EXPECT_EQ(count(listed(), pxllist::op::kBeginPage), 1) << options;
        EXPECT_NE(jobBytes().find("QZPC=01"), std::string::npos) << options;
        EXPECT_EQ(jobBytes().find("QZPC=03"), std::string::npos) << options;
    }
}

/* One sheet side of a listed job: the StartPage times of its pages and their transforms' origins. */
struct ListedSide {
    std::vector<int> startMs;
    std::vector<std::pair<double, double>> origins;
    int endPages = 0;
};

std::vector<ListedSide> listedSides(const pxllist::Listing &l)
{
    std::vector<ListedSide> sides;
    for (const auto &r : l.records) {
        if (r.kind != pxllist::RecordKind::kOperator)
            continue;
        if (r.op == pxllist::op::kBeginPage)
            sides.emplace_back();
        if (sides.empty())
            continue;
        const pxllist::Attribute *a = nullptr;
        int ms = 0, end = 0;
        if (r.op == pxllist::op::kComment && (a = pxllist::FindAttribute(r, pxllist::attr::kCommentData))) {
            const std::string text = pxllist::AttributeText(*a);
            if (std::sscanf(text.c_str(), "\"[%dms]StartPage\"%n", &ms, &end) == 1 && size_t(end) == text.size())
                sides.back().startMs.push_back(ms);
        } else if (r.op == pxllist::op::kSetPageOrigin && (a = pxllist::FindAttribute(r, pxllist::attr::kPageOrigin)) &&
                   a->values.size() == 2) {
            sides.back().origins.push_back({a->values[0], a->values[1]});
        } else if (r.op == pxllist::op::kEndPage) {
            sides.back().endPages++;
        }
    }
    return sides;
}

TEST_F(HostPrint, BookletSidesHoldTheirPagesInTheirHalves)
{
    /*
     * Binding 1, 8 pages: sides (3, 4), (5, 2), (1, 6), (7, 0), the higher page written first.  The pages are
     * recorded in page order, so their StartPage times, sorted, are the pages' own; the stream must show them in
     * the side order.  The left half (position 0) is the sheet's bottom half, the right half its top half: a
     * page turned counter-clockwise has its top-left corner at its image's bottom, on the fold at most for the
     * top half (Letter: the fold at 3,300 pixels).
     */
    struct Case {
        const char *options;
        std::vector<std::vector<int>> sides;  /* pages written, side by side */
        std::vector<std::vector<bool>> top;   /* each page in the top half */
    } cases[] = {
        {"--pages 8 --booklet whole",
         {{4, 3}, {5, 2}, {6, 1}, {7, 0}},
         {{true, false}, {false, true}, {true, false}, {false, true}}},
        {"--pages 5 --booklet whole", {{4, 3}, {2}, {1}, {0}}, {{true, false}, {true}, {false}, {true}}},
        /* fixed sets of one sheet: pages 0-3, 4-7, then 8 and 9 alone */
        {"--pages 10 --booklet sets:1",
         {{2, 1}, {3, 0}, {6, 5}, {7, 4}, {9}, {8}},
         {{true, false}, {false, true}, {true, false}, {false, true}, {false}, {true}}},
        /* 12 pages, 3 sheets, in sets of at most 2: 2 sets of 2 and 1 sheets, pages 0-7 and 8-11 */
        {"--pages 12 --booklet split:2",
         {{4, 3}, {5, 2}, {6, 1}, {7, 0}, {10, 9}, {11, 8}},
         {{true, false}, {false, true}, {true, false}, {false, true}, {true, false}, {false, true}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.options);
        int status = -1;
        std::string out = print(c.options, &status);
        ASSERT_EQ(status, 0) << out;
        std::vector<ListedSide> sides = listedSides(listed());
        ASSERT_EQ(sides.size(), c.sides.size());
        std::vector<int> all;
        for (const ListedSide &s : sides)
            all.insert(all.end(), s.startMs.begin(), s.startMs.end());
        std::vector<int> byPage = all;
        std::sort(byPage.begin(), byPage.end());
        for (size_t i = 0, k = 0; i < sides.size(); i++) {
            ASSERT_EQ(sides[i].startMs.size(), c.sides[i].size()) << "side " << i;
            ASSERT_EQ(sides[i].origins.size(), c.sides[i].size()) << "side " << i;
            EXPECT_EQ(sides[i].endPages, 1) << "side " << i;
            for (size_t p = 0; p < c.sides[i].size(); p++, k++) {
                EXPECT_EQ(all[k], byPage[size_t(c.sides[i][p])]) << "side " << i << " page " << c.sides[i][p];
                EXPECT_EQ(sides[i].origins[p].second <= 3300, c.top[i][p]) << "side " << i << " page " << c.sides[i][p];
            }
        }
    }
}

TEST_F(HostPrint, PosterTilesFollowThePage)
{
    /* A4: the printable area 4,762.2 x 6,817.3 pixels, 99 in; tile t moved back by its column and row */
    struct Case {
        const char *options;
        std::vector<std::pair<double, double>> origins;
    } cases[] = {
        {"--pages 1 --paper A4 --poster 2", {{99, 99}, {-4662, 99}, {99, -6718}, {-4662, -6718}}},
        {"--pages 1 --paper A4 --poster 2 --reverse", {{-4662, -6718}, {99, -6718}, {-4662, 99}, {99, 99}}},
        {"--pages 1 --paper A4 --poster 3",
         {{99, 99}, {-4662, 99}, {-9425, 99}, {99, -6718}, {-4662, -6718}, {-9425, -6718}, {99, -13535},
          {-4662, -13535}, {-9425, -13535}}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.options);
        int status = -1;
        std::string out = print(c.options, &status);
        ASSERT_EQ(status, 0) << out;
        std::vector<ListedSide> sides = listedSides(listed());
        ASSERT_EQ(sides.size(), c.origins.size());
        for (size_t i = 0; i < sides.size(); i++) {
            ASSERT_EQ(sides[i].origins.size(), 1u) << i;
            EXPECT_EQ(sides[i].origins[0], c.origins[i]) << i;
            EXPECT_EQ(sides[i].endPages, 1) << i;
        }
    }
    int status = -1;
    std::string out = print("--pages 2 --paper A4 --poster 4", &status);
    ASSERT_EQ(status, 0) << out;
    EXPECT_EQ(count(listed(), pxllist::op::kBeginPage), 32) << "16 tiles a page";
}

/* Page 2 is the vector drawing page: in colour and in monochrome the lister reads it whole. */
TEST_F(HostPrint, TheDrawingPageListsCleanlyInColourAndMonochrome)
{
    for (const char *colour : {"colour", "mono"}) {
        int status = -1;
        std::string out = print(std::string("--pages 2 --colour ") + colour, &status);
        ASSERT_EQ(status, 0) << colour << "\n" << out;
        pxllist::Listing l = listed();
        ASSERT_TRUE(l.ok) << colour;
        EXPECT_EQ(count(l, pxllist::op::kBeginPage), 2) << colour;
        EXPECT_EQ(count(l, pxllist::op::kEllipse), 2) << colour;
        EXPECT_EQ(count(l, pxllist::op::kRectangle), 21) << colour << ": 3 shapes, the cut one, 12 hatches, 5 in the last row";
        EXPECT_EQ(count(l, pxllist::op::kPaintPath), 11) << colour << ": wave, drop, 2 stars, 3 wide, 3 dashed, the disc";
        EXPECT_EQ(count(l, pxllist::op::kBezierRelPath) + count(l, pxllist::op::kBezierPath), 3) << colour;
        EXPECT_EQ(count(l, pxllist::op::kSetClipReplace), 1) << colour << ": the region clip";
        EXPECT_EQ(count(l, pxllist::op::kBeginRastPattern), 16) << colour << ": 14 hatches and 2 patterns";
        EXPECT_EQ(count(l, pxllist::op::kSetLineDash), 4) << colour << ": solid, styled, alternate, dashed";
    }
}

/*
 * Page 3 is the image page: six image calls, the transparent one sent as a
 * one-bit mask and then the image, so seven images, each small enough for
 * one block.  The stretches keep their size on paper; the plain blts copy
 * pixel for pixel.  Pages 1 (the title page) and 2 send no image.
 */
TEST_F(HostPrint, TheImagePageListsCleanlyInColourAndMonochrome)
{
    struct Case {
        const char *options;
        double gradientWidth, gradientHeight, rings; /* 2000 x 1000 and 1200 x 1200 600ths in the job's units */
    } cases[] = {
        {"--colour colour --resolution 600", 2000, 1000, 1200},
        {"--colour mono --resolution 600", 2000, 1000, 1200},
        {"--colour colour --resolution 1200", 4000, 2000, 2400},
        {"--colour mono --resolution 1200", 4000, 2000, 2400},
    };
    for (const Case &c : cases) {
        int status = -1;
        std::string out = print(std::string("--pages 3 ") + c.options, &status);
        ASSERT_EQ(status, 0) << c.options << "\n" << out;
        pxllist::Listing l = listed();
        ASSERT_TRUE(l.ok) << c.options;
        EXPECT_EQ(count(l, pxllist::op::kBeginPage), 3) << c.options;
        EXPECT_EQ(count(l, pxllist::op::kBeginImage), 7) << c.options;
        EXPECT_EQ(count(l, pxllist::op::kReadImage), 7) << c.options;
        EXPECT_EQ(count(l, pxllist::op::kEndImage), 7) << c.options;
        /* the images' sizes on paper, in drawing order */
        std::vector<std::pair<double, double>> sizes;
        for (const auto &r : l.records)
            if (r.kind == pxllist::RecordKind::kOperator && r.op == pxllist::op::kBeginImage)
                if (const pxllist::Attribute *a = pxllist::FindAttribute(r, pxllist::attr::kDestinationSize);
                    a && a->values.size() == 2)
                    sizes.emplace_back(a->values[0], a->values[1]);
        const double g = c.gradientWidth, h = c.gradientHeight, s = c.rings;
        const std::vector<std::pair<double, double>> expected = {
            {g, h}, {g, h}, {128, 128}, {64, 64}, {s, s}, {s, s}, {s, s}};
        EXPECT_EQ(sizes, expected) << c.options;
    }
}

/*
 * The image page at every resolution the standard model offers, square and
 * not.  The session's units are the resolution across and down, and the
 * page keeps its layout on paper: each place and stretch is scaled by its
 * own axis's resolution.  Worked out from the page's description: the
 * gradient's top left is at (300, 300) 600ths and it is stretched over
 * 2000 x 1000 600ths; the one-bit disc is copied pixel for pixel (128 x 128)
 * with its top left at (300, 1500) 600ths; the orange ground behind the
 * transparent blt covers (300, 2900)-(1500, 4100) 600ths.  The drawing page
 * scales the same way: its red rectangle covers (300, 300)-(1100, 900).
 */
TEST_F(HostPrint, TheImagePageKeepsItsLayoutAtEveryResolutionTheModelOffers)
{
    using XY = std::pair<double, double>;
    struct Case {
        const char *resolution;
        XY units, gradientAt, gradientSize, discAt;
        std::vector<double> ground, red; /* left, top, right, bottom */
    } const cases[] = {
        {"600", {600, 600}, {300, 300}, {2000, 1000}, {300, 1500}, {300, 2900, 1500, 4100}, {300, 300, 1100, 900}},
        {"1200", {1200, 1200}, {600, 600}, {4000, 2000}, {600, 3000}, {600, 5800, 3000, 8200}, {600, 600, 2200, 1800}},
        {"600x300", {600, 300}, {300, 150}, {2000, 500}, {300, 750}, {300, 1450, 1500, 2050}, {300, 150, 1100, 450}},
        {"1200x600", {1200, 600}, {600, 300}, {4000, 1000}, {600, 1500}, {600, 2900, 3000, 4100}, {600, 300, 2200, 900}},
    };
    for (const Case &c : cases) {
        int status = -1;
        std::string out = print(std::string("--pages 3 --resolution ") + c.resolution, &status);
        ASSERT_EQ(status, 0) << c.resolution << "\n" << out;
        pxllist::Listing l = listed();
        ASSERT_TRUE(l.ok) << c.resolution;
        EXPECT_EQ(count(l, pxllist::op::kBeginPage), 3) << c.resolution;
        EXPECT_EQ(count(l, pxllist::op::kBeginImage), 7) << c.resolution;

        auto pair = [](const pxllist::Record &r, uint8_t attr) {
            const pxllist::Attribute *a = pxllist::FindAttribute(r, attr);
            return a && a->values.size() == 2 ? XY{a->values[0], a->values[1]} : XY{-1, -1};
        };
        XY units{-1, -1}, cursor{-1, -1};
        std::vector<std::pair<XY, XY>> images; /* where each image of the page starts, and its size */
        std::vector<double> ground, red;
        int pages = 0;
        for (const auto &r : l.records) {
            if (r.kind != pxllist::RecordKind::kOperator)
                continue;
            if (r.op == pxllist::op::kBeginSession)
                units = pair(r, pxllist::attr::kUnitsPerMeasure);
            pages += r.op == pxllist::op::kBeginPage;
            if (const pxllist::Attribute *a = pxllist::FindAttribute(r, pxllist::attr::kBoundingBox);
                a && pages == 2 && r.op == pxllist::op::kRectangle && red.empty())
                red = a->values;
            if (pages != 3)
                continue;
            if (r.op == pxllist::op::kSetCursor)
                cursor = pair(r, pxllist::attr::kPoint);
            else if (r.op == pxllist::op::kBeginImage)
                images.emplace_back(cursor, pair(r, pxllist::attr::kDestinationSize));
            else if (const pxllist::Attribute *a = pxllist::FindAttribute(r, pxllist::attr::kBoundingBox);
                     a && r.op == pxllist::op::kRectangle && ground.empty())
                ground = a->values;
        }
        EXPECT_EQ(units, c.units) << c.resolution << ": the resolution command";
        ASSERT_EQ(images.size(), 7u) << c.resolution;
        EXPECT_EQ(images[0], std::make_pair(c.gradientAt, c.gradientSize)) << c.resolution << ": the gradient";
        EXPECT_EQ(images[2], std::make_pair(c.discAt, XY{128, 128})) << c.resolution << ": the one-bit disc";
        EXPECT_EQ(ground, c.ground) << c.resolution << ": the orange ground";
        EXPECT_EQ(red, c.red) << c.resolution << ": the drawing page's red rectangle";
    }
}

/*
 * The standard model offers 600 x 600, 1200 x 1200, 1200 x 600 and 600 x 300
 * dpi.  A resolution it does not offer, square or not, is refused with that
 * list and nothing is printed (it used to come out at 600 dpi without a
 * word); the ones it offers, which the help lists, print (the image page
 * above).
 */
TEST_F(HostPrint, AResolutionTheModelDoesNotOfferIsRefusedWithWhatItOffers)
{
    struct Case {
        const char *given, *named;
    } const refused[] = {
        {"300", "300 x 300"}, {"2400", "2400 x 2400"}, {"150", "150 x 150"}, {"300x600", "300 x 600"},
        {"600x1200", "600 x 1200"}, {"1200x300", "1200 x 300"},
    };
    for (const Case &c : refused) {
        std::filesystem::remove(job);
        int status = -1;
        std::string out = print(std::string("--pages 3 --resolution ") + c.given, &status);
        EXPECT_EQ(status, 1) << c.given << "\n" << out;
        const std::string message = std::string("tarvel print: --resolution ") + c.given +
                                    ": the model of printer \"Tarvel CX 1500\" offers 600 x 600, 1200 x 1200, "
                                    "1200 x 600 and 600 x 300 dpi, not " + c.named + " dpi";
        EXPECT_NE(out.find(message), std::string::npos) << out;
        EXPECT_FALSE(std::filesystem::exists(job)) << c.given << ": no job file";
    }
    int status = -1;
    std::string out = run("print --help", &status);
    EXPECT_NE(out.find("(the standard model: 600,\n                        1200, 1200x600 or 600x300)"),
              std::string::npos)
        << out;
    for (const char *dpi : {"600", "1200", "1200x600", "600x300"}) {
        out = print(std::string("--pages 1 --resolution ") + dpi, &status);
        EXPECT_EQ(status, 0) << dpi << "\n" << out;
    }
}

TEST_F(HostPrint, AnEmptyDocumentIsAnEmptyJobFile)
{
    int status = -1;
    std::string out = print("--pages 0", &status);
    ASSERT_EQ(status, 0) << out;
    EXPECT_EQ(jobBytes(), "");
    EXPECT_EQ(out.find("List it with"), std::string::npos) << "an empty job file has nothing to list\n" << out;
}

TEST_F(HostPrint, RefusedRoadsAndBadOptionsFailWithAMessage)
{
    struct Case {
        const char *options;
        int status;
        const char *message;
    } cases[] = {
        {"--duplex manual-none", 2, "duplex is none, long, short, manual-long or manual-short"},
        {"--paper Foolscap", 2, "unknown paper 'Foolscap'"},
        {"--nup 3", 2, "--nup takes 1, 2, 4, 8, 16 or 32"},
        {"--pages 2 --page 5:A3", 2, "--page 5 is beyond the document's 2 pages"},
        {"--pages", 2, "option '--pages' needs a value"},
        {"--frobnicate 1", 2, "unknown option '--frobnicate'"},
        {"--booklet half", 2, "--booklet takes whole, split:N or sets:N with N from 1 to 20"},
        {"--booklet sets:0", 2, "--booklet takes whole, split:N or sets:N with N from 1 to 20"},
        {"--booklet sets", 2, "--booklet takes whole, split:N or sets:N with N from 1 to 20"},
        {"--booklet whole:3", 2, "--booklet takes whole, split:N or sets:N with N from 1 to 20"},
        {"--poster 5", 2, "--poster takes 2, 3 or 4"},
        {"--booklet whole --poster 2", 2, "--booklet and --poster cannot be combined"},
        {"--printer \"Missing\" --model NOSUCH.DDD", 1, "tarvel print:"},
    };
    for (const Case &c : cases) {
        int status = -1;
        std::string out = print(c.options, &status);
        EXPECT_EQ(status, c.status) << c.options << "\n" << out;
        EXPECT_NE(out.find(c.message), std::string::npos) << c.options << "\n" << out;
    }
    int status = -1;
    std::string out = run("print --help", &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(out.find("--page N:PAPER[:ORIENTATION]"), std::string::npos) << out;
    EXPECT_NE(out.find("--booklet whole|split:N|sets:N"), std::string::npos) << out;
    EXPECT_NE(out.find("--poster N"), std::string::npos) << out;
}

} // namespace
