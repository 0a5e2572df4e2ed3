// Jobs whose sheets are recorded and replayed: the page orders worked out
// by hand, whole reversed, collated and two-pass jobs against the direct
// job of the same pages reordered, pages held until their colour is known,
// the header values only the recorded job knows, and the crop marks.
#include "job_header.h"
#include "job_listing.h"
#include "output_channel.h"
#include "page_colors.h"
#include "page_geometry.h"
#include "page_recording.h"
#include "sheet_pipeline.h"

#include <plat/clock.h>

#include <algorithm>
#include <cstring>

using namespace job_test;

namespace {

std::vector<DWORD> passPages(const ReplayOrder &order, DWORD pass)
{
    std::vector<DWORD> pages;
    for (DWORD k = 0; k < REC_PassPageCount(&order, pass); k++)
        pages.push_back(REC_PassPage(&order, pass, k));
    return pages;
}

TEST(ReplayOrder, PagesOfEachPassWorkedOutByHand)
{
    struct Case {
        const char *what;
        ReplayOrder order;
        std::vector<DWORD> pass1, pass2;
    } cases[] = {
        {"plain order", {0, 3, 0, 0, 0}, {0, 1, 2}, {}},
        {"reverse order of 3 pages", {0, 3, 1, 0, 0}, {2, 1, 0}, {}},
        {"reverse order from page 4", {4, 2, 1, 0, 0}, {5, 4}, {}},
        {"two-pass, 6 pages: backs descending, fronts ascending", {0, 6, 0, 1, 0}, {5, 3, 1}, {0, 2, 4}},
        {"two-pass, 6 pages, output-tray mode 4: backs ascending", {0, 6, 0, 1, 1}, {1, 3, 5}, {0, 2, 4}},
        {"two-pass wins over reverse order", {0, 4, 1, 1, 0}, {3, 1}, {0, 2}},
        {"two-pass, 2 pages", {0, 2, 0, 1, 0}, {1}, {0}},
        {"nothing recorded", {0, 0, 1, 0, 0}, {}, {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        EXPECT_EQ(REC_PassCount(&c.order), c.order.twoPass ? 2u : 1u);
        EXPECT_EQ(passPages(c.order, 1), c.pass1);
        EXPECT_EQ(passPages(c.order, 2), c.pass2);
        EXPECT_EQ(REC_PassPageCount(&c.order, 3), 0u);
        EXPECT_EQ(REC_PassPageCount(&c.order, 0), 0u);
    }
    EXPECT_EQ(REC_PassPageCount(nullptr, 1), 0u);
}

/* `side` with the PushGS a recorded page start adds after BeginPage. */
std::vector<std::string> recordedSide(int ms, const std::string &media = "MediaSource=1 MediaSize=2",
                                      const std::string &origin = "99,99", int angle = 0)
{
    std::vector<std::string> s = side(ms, origin, "1,1", angle, media);
    s.insert(s.begin() + 2, "PushGS");
    return s;
}

/* A skipped back face recorded as a page of its own: the blank sheet and the event. */
std::vector<std::string> blankBack(int ms)
{
    return {"BeginPage Orientation=0 MediaSource=1 MediaSize=2",
            "SetPageRotation PageAngle=0",
            "SetPageDefaultCTM",
            "SetPageOrigin PageOrigin=0,0",
            "SetPageScale PageScale=1,1",
            "SetPageRotation PageAngle=0",
            "Comment QZCC=00",
            "EndPage",
            "Comment \"[" + std::to_string(ms) + "ms]skip backface of duplex\""};
}

class ReplayJob : public FirstJob {
protected:
    /* A new devmode whose pages come from tray 7 (media source 1), blank pages printed. */
    void freshTray7Devmode()
    {
        dm = std::make_unique<JobDevmode>();
        dm->set(13, 7);
        dm->set(1334, 0);
    }
};

TEST_F(ReplayJob, ReverseOrderIsTheDirectJobBackwards)
{
    enableContext();
    ASSERT_TRUE(printBlank(3));
    Job direct = list(spooled());
    disable();

    dm->set(1312, 1);
    plat::clock_fix(fixedTime(), 5000);
    enableContext();
    ASSERT_TRUE(printBlank(3));
    Job reversed = list(spooled());
    EXPECT_EQ(reversed.header, direct.header);
    EXPECT_EQ(reversed.streamHeader, kStreamHeader);
    /* each side as it was drawn, the last first, inside the graphics state its recorded start pushes */
    EXPECT_EQ(reversed.ops, frame({recordedSide(300), recordedSide(200), recordedSide(100)}, 400));
    EXPECT_EQ(direct.ops, frame({side(100, "99,99", "1,1", 0), side(200, "99,99", "1,1", 0),
                                 side(300, "99,99", "1,1", 0)},
                                400));
    EXPECT_NE(reversed.trailer.find("QZJOBINFO PAGEORDER=NTO1\n"), std::string::npos) << reversed.trailer;
    EXPECT_EQ(pdev->recordFlags, 0u) << "the recording ended with the job";
}

TEST_F(ReplayJob, DriverCollatedCopiesOfADuplexJobEachEndOnAWholeSheet)
{
    dm->set(16, 2);
    dm->set(12, 3);
    dm->set(18, 1);
    enableContext();
    ASSERT_TRUE(printBlank(3));
    Job j = list(spooled());
    /* pages 1 to 3, then the blank back face the last front needs, recorded at the job's end; three times */
    std::vector<std::vector<std::string>> copy = {recordedSide(100), recordedSide(200), recordedSide(300),
                                                  blankBack(400)};
    std::vector<std::vector<std::string>> all;
    for (int c = 0; c < 3; c++)
        all.insert(all.end(), copy.begin(), copy.end());
    EXPECT_EQ(j.ops, frame(all, 400));
    size_t begins = 0;
    for (const std::string &op : j.ops)
        begins += op.rfind("BeginPage", 0) == 0;
    EXPECT_EQ(begins, 12u) << "copy 2 starts on a new sheet";
    EXPECT_NE(j.trailer.find("QZJOBINFO JOBCOPIES=1\n"), std::string::npos);
}

TEST_F(ReplayJob, TwoPassDuplexWritesTheBackFacesFirst)
{
    dm->set(16, 2);
    enableContext();
    ASSERT_TRUE(startDoc());
    /* a model that duplexes by the driver: two passes over the recorded sides */
    pdev->jobSettings->driverDuplex = 1;
    pdev->jobSettings->recorded = 1;
    ASSERT_TRUE(finishBlank(5));
    Job j = list(spooled());
    /*
     * 5 pages and the recorded blank back face: pass 1 writes 5, 3, 1 (the blank, pages 4 and 2), pass 2 pages
     * 1, 3, 5.  The back faces of long-edge binding are turned within the paper: the page's top-left corner
     * lands at the paper's far corner less the margins, (4,960.6 - 99.2, 7,015.7 - 99.2) pixels.
     */
    const std::string a4 = "MediaSource=1 MediaSize=2", turned = "4861,6916";
    EXPECT_EQ(j.ops, frame({blankBack(600), recordedSide(400, a4, turned, 180), recordedSide(200, a4, turned, 180),
                            recordedSide(100), recordedSide(300), recordedSide(500)},
                           600));
    EXPECT_EQ(j.header, pjlHeader(kLongEdge, 1)) << "the head written after the recording";
}

TEST_F(ReplayJob, CellFramesOfATurnedBackFaceAreTurnedWithItsPages)
{
    dm->set(16, 2);
    dm->set(1337, 1);
    enableContext();
    ASSERT_TRUE(startDoc());
    pdev->jobSettings->driverDuplex = 1;
    pdev->jobSettings->recorded = 1;
    ASSERT_TRUE(finishBlank(2));
    Job j = list(spooled());
    /* The frames go out in the sheet's pixels: the identity on the front; on the back the identity turned within
     * the paper (4,960.63 x 7,015.75 pixels, sent whole), as the back's page is. */
    std::vector<std::string> origins;
    for (size_t i = 0; i + 1 < j.ops.size(); i++)
        if (j.ops[i].rfind("SetPageOrigin", 0) == 0)
            origins.push_back(j.ops[i]);
    EXPECT_EQ(origins, (std::vector<std::string>{"SetPageOrigin PageOrigin=4861,6916", "SetPageOrigin PageOrigin=4960,7015",
                                                 "SetPageOrigin PageOrigin=99,99", "SetPageOrigin PageOrigin=0,0"}))
        << ::testing::PrintToString(j.ops);
}

TEST_F(ReplayJob, ClosingInsertComesLastOrFirstInReverseOrder)
{
    auto run = [&](bool reverse) {
        freshTray7Devmode();
        dm->set(1312, reverse ? 1 : 0);
        plat::clock_fix(fixedTime(), 5000);
        enableContext();
        EXPECT_TRUE(startDoc());
        pdev->jobSettings->trailingInsert = 1;
        pdev->jobSettings->trailingInsertTray = 1;
        EXPECT_TRUE(finishBlank(2));
        Job j = list(spooled());
        disable();
        return j;
    };
    /* the insert sheet from tray 1 (media source 4); colour code 3 of a fixed-colour job has no colour comment */
    const std::vector<std::string> insert = {"BeginPage Orientation=0 MediaSource=4 MediaSize=2",
                                             "SetPageRotation PageAngle=0", "SetPageDefaultCTM",
                                             "SetPageOrigin PageOrigin=0,0", "SetPageScale PageScale=1,1",
                                             "SetPageRotation PageAngle=0", "Comment QZCC=00", "EndPage"};
    Job forward = run(false);
    EXPECT_EQ(forward.ops, frame({side(100, "99,99", "1,1", 0), side(200, "99,99", "1,1", 0), insert}, 300));
    Job backward = run(true);
    EXPECT_EQ(backward.ops, frame({insert, recordedSide(200), recordedSide(100)}, 300));
}

/* The blank sheet of an insert or cover from tray 1 (media source 4) in a fixed-colour job. */
const std::vector<std::string> kTray1Blank = {"BeginPage Orientation=0 MediaSource=4 MediaSize=2",
                                              "SetPageRotation PageAngle=0", "SetPageDefaultCTM",
                                              "SetPageOrigin PageOrigin=0,0", "SetPageScale PageScale=1,1",
                                              "SetPageRotation PageAngle=0", "Comment QZCC=00", "EndPage"};

TEST_F(ReplayJob, BlankCoverComesFirstOrLastInReverseOrder)
{
    auto run = [&](bool reverse, LONG *headerSides) {
        freshTray7Devmode();
        dm->set(1312, reverse ? 1 : 0);
        plat::clock_fix(fixedTime(), 5000);
        enableContext();
        EXPECT_TRUE(startDoc());
        pdev->jobSettings->coverMode = 2;
        pdev->jobSettings->leadingInsertTray = 1;
        for (int i = 0; i < 2; i++) {
            Sleep(100);
            EXPECT_TRUE(DrvStartPage(so) && DrvSendPage(so));
        }
        *headerSides = JOB_CountSheetsForHeader(pdev);
        Sleep(100);
        EXPECT_TRUE(DrvEndDoc(so, 0));
        Job j = list(spooled());
        disable();
        return j;
    };
    LONG forwardSides = 0, backwardSides = 0;
    Job forward = run(false, &forwardSides);
    EXPECT_EQ(forward.ops, frame({kTray1Blank, side(100, "99,99", "1,1", 0), side(200, "99,99", "1,1", 0)}, 300));
    EXPECT_EQ(forwardSides, 3) << "two pages and the cover";
    Job backward = run(true, &backwardSides);
    EXPECT_EQ(backward.ops, frame({recordedSide(200), recordedSide(100), kTray1Blank}, 300));
    EXPECT_EQ(backwardSides, 3);
}

TEST_F(ReplayJob, PrintedCoverFeedsTheFirstSheetFromTheCoverTray)
{
    struct Case {
        const char *what;
        DWORD duplex;
        std::vector<std::string> sources; /* of the BeginPage of each side */
    } cases[] = {
        {"simplex: the first sheet", 1, {"MediaSource=4", "MediaSource=1", "MediaSource=1"}},
        {"duplex: both sides of the first sheet", 2, {"MediaSource=4", "MediaSource=4", "MediaSource=1"}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.what);
        freshTray7Devmode();
        dm->set(16, c.duplex);
        enableContext();
        ASSERT_TRUE(startDoc());
        pdev->jobSettings->coverMode = 1;
        pdev->jobSettings->leadingInsertTray = 1;
        ASSERT_TRUE(finishBlank(3));
        EXPECT_EQ(mediaSources(list(spooled())), c.sources);
        disable();
    }
}

TEST_F(ReplayJob, InsertPageSetupOnlyOnceTheFirstSheetIsSetUp)
{
    enableContext();
    ASSERT_TRUE(startDoc());
    EXPECT_EQ(JOB_InsertPageSetup(pdev, 1), -1) << "no sheet set up yet";
    EXPECT_EQ(JOB_InsertPageSetup(nullptr, 1), -1);
}

/* ---- Pages held until their colour is known -------------------------------- */

class HeldColour : public FirstJob {
protected:
    void SetUp() override
    {
        FirstJob::SetUp();
        dm->set(270, 0); /* automatic colour */
    }
};

TEST_F(HeldColour, EachSideIsAnnouncedByWhatWasDrawnOnIt)
{
    enableContext();
    ASSERT_TRUE(startDoc());
    struct Page {
        bool colour;
        std::vector<LONG> colours;
        bool overflow; /* flushed at the drawing that overflows its set */
    } pages[] = {{false, {}, false}, {true, {0xFF0000}, false}, {true, {0xFF0000, 0x00FF00}, true}};
    /* a set of one colour per page, so a second colour overflows it */
    pdev->jobSettings->use5126 = 1;
    pdev->jobSettings->value5126 = 1;
    for (const Page &p : pages) {
        Sleep(100);
        ASSERT_TRUE(DrvStartPage(so));
        ASSERT_EQ(JOB_PrepareDraw(pdev), 0);
        EXPECT_EQ(pdev->recordFlags & (REC_FLAG_RECORDING | REC_FLAG_PAGE_OPEN), REC_FLAG_RECORDING | REC_FLAG_PAGE_OPEN)
            << "held while its colour is open";
        if (p.colour)
            JOB_MarkPageColor(pdev);
        for (LONG c : p.colours)
            PCS_AddColor(&pdev->pageColors, c);
        ASSERT_EQ(JOB_PrepareDraw(pdev), 0);
        EXPECT_EQ(pdev->recordFlags == 0, p.overflow) << "flushed once nothing can change its colour comment";
        ASSERT_TRUE(DrvSendPage(so));
        EXPECT_EQ(pdev->recordFlags, 0u) << "no page is held past its sheet";
    }
    Sleep(100);
    ASSERT_TRUE(DrvEndDoc(so, 0));
    Job j = list(spooled());
    std::vector<std::string> announced;
    for (size_t i = 0; i + 1 < j.ops.size(); i++)
        if (j.ops[i + 1].rfind("BeginPage", 0) == 0)
            announced.push_back(j.ops[i] + " / " + j.ops[i + 2]);
    EXPECT_EQ(announced, (std::vector<std::string>{"Comment QZPC=01 / PushGS", "Comment QZPC=03 / PushGS",
                                                   "Comment QZPC=03 / PushGS"}));
    EXPECT_NE(j.header.find("@PJL SET RENDERMODE="), std::string::npos);
    /* the colour page within its set tells its one colour; the overflowed one its count too */
    EXPECT_NE(j.trailer.find("PAGEINFO=SIZE[210.0X297.0]:MODE[MONOCHROME]::INTRAY[0]"), std::string::npos)
        << j.trailer;
    EXPECT_NE(j.trailer.find("PAGEINFO=SIZE[210.0X297.0]:MODE[COLOR]:COLORS[1]:INTRAY[0]"), std::string::npos)
        << j.trailer;
}

TEST_F(HeldColour, ColoursOfTwoRecordedPagesAreMergedForTheirSide)
{
    dm->set(1312, 1);
    enableContext();
    ASSERT_TRUE(startDoc());
    pdev->jobSettings->use5126 = 1;
    pdev->jobSettings->value5126 = 3;
    const std::vector<std::vector<LONG>> drawn = {{0xFF0000, 0x00FF00}, {0x00FF00, 0x0000FF}, {}};
    for (const auto &colours : drawn) {
        ASSERT_TRUE(DrvStartPage(so));
        ASSERT_EQ(JOB_PrepareDraw(pdev), 0);
        if (!colours.empty())
            JOB_MarkPageColor(pdev);
        for (LONG c : colours)
            PCS_AddColor(&pdev->pageColors, c);
        ASSERT_TRUE(DrvSendPage(so));
    }
    ASSERT_EQ(pdev->channel->pageCount, 3u) << "a recorded job keeps its held pages for the replay";
    EXPECT_EQ(REC_DecidePageColor(pdev, 0, REC_NO_PAGE, JOB_COLOR_PER_PAGE), 0x22);
    EXPECT_EQ(REC_DecidePageColor(pdev, 0, 1, JOB_COLOR_PER_PAGE), 0x32) << "red, green and blue";
    EXPECT_EQ(REC_DecidePageColor(pdev, 2, REC_NO_PAGE, JOB_COLOR_PER_PAGE), 1);
    EXPECT_EQ(REC_DecidePageColor(pdev, 2, 0, JOB_COLOR_PER_PAGE), 0x22) << "a colour partner makes the side colour";
    EXPECT_EQ(REC_DecidePageColor(pdev, 0, REC_NO_PAGE, JOB_COLOR_MONO), 1) << "a fixed colour mode decides";
    EXPECT_EQ(REC_DecidePageColor(pdev, 7, REC_NO_PAGE, JOB_COLOR_PER_PAGE), 0) << "no such page";
    EXPECT_EQ(REC_ReplayPageAs(pdev, 0, 1, nullptr, 0, JOB_COLOR_PER_PAGE, -1), -1) << "its own partner";
    EXPECT_EQ(REC_ReplayPageAs(pdev, REC_NO_PAGE, 1, nullptr, 0, JOB_COLOR_PER_PAGE, -1), 0) << "no page";
    ASSERT_TRUE(DrvEndDoc(so, 0));
    Job j = list(spooled());
    std::vector<std::string> comments;
    for (size_t i = 0; i + 1 < j.ops.size(); i++)
        if (j.ops[i + 1].rfind("BeginPage", 0) == 0)
            comments.push_back(j.ops[i]);
    EXPECT_EQ(comments, (std::vector<std::string>{"Comment QZPC=01", "Comment QZPC=03", "Comment QZPC=03"}));
}

/* ---- Header values only the recorded job knows ------------------------------ */

TEST_F(ReplayJob, ACopySetHeaderGetsTheBookletsSidesInItsBookletSlot)
{
    /* A copy-set header of the user-interface library with a blank booklet slot at byte 5; the job's booklet
       line is on and 9 logical pages went out: 2 x ((9 - 1 + 4) / 4) = 6 sides.  The slot stayed blank before. */
    enableContext();
    ASSERT_TRUE(startDoc());
    const std::string slotText = "@PJL\n" + std::string(38, ' ') + "\n@PJL ENTER LANGUAGE=PCLXL\n";
    std::vector<BYTE> slots(4 + slotText.size() + 8, 0);
    slots[0] = BYTE(slotText.size());
    std::memcpy(slots.data() + 4, slotText.data(), slotText.size());
    DWORD booklet[1] = {5}, iwa[1] = {0}, hcpn[1] = {0};
    CopySetHeaderTable table{1, DWORD(slots.size()), slots.data(), booklet, iwa, hcpn};
    pdev->jobSettings->bktpLine = 1;
    pdev->jobCounters.logicalPages = 9;
    void *kept = pdev->copySetHeaders;
    pdev->copySetHeaders = &table;
    const int rc = JOB_WriteHeader(pdev, JOB_TEXT_HEADER, 0);
    pdev->copySetHeaders = kept;
    ASSERT_EQ(rc, 0);
    pdev->jobCounters.logicalPages = 0;
    pdev->jobSettings->bktpLine = 0;
    ASSERT_EQ(OUT_Flush(pdev->channel), 0);
    const std::string expected = "@PJL\n@PJL SET JOBATTR=\"@BKTP=6\"" + std::string(38 - 26, ' ') +
                                 "\n@PJL ENTER LANGUAGE=PCLXL\n";
    EXPECT_EQ(spooled(), expected);
}

TEST_F(ReplayJob, HeaderSlotsTakeTheCountsOfTheRecordedJob)
{
    enableContext();
    /* the standard model has the HCPN slot and the JOBATTR form */
    const std::string hcpnSlot = "@PJL SET JOBATTR=\"@HCPN=     \"\n";
    std::string text = "X" + hcpnSlot;
    EXPECT_EQ(JOB_PatchHcpn(pdev->mainReader, pdev->companionReader, 12, 1, text.data(), DWORD(text.size())), 1);
    EXPECT_EQ(text, "X@PJL SET JOBATTR=\"@HCPN=   12\"\n");
    const std::string bookletSlot = "@PJL SET JOBATTR=\"@BKTP=  \"\n";
    text = bookletSlot;
    /* 9 logical pages: 2 x ((9 - 1 + 4) / 4) = 6 sides */
    EXPECT_EQ(JOB_PatchBooklet(pdev->mainReader, pdev->companionReader, 6, 0, text.data(), DWORD(text.size())), 1);
    EXPECT_EQ(text, bookletSlot) << "position 0: no slot";
    text = "?" + bookletSlot;
    EXPECT_EQ(JOB_PatchBooklet(pdev->mainReader, pdev->companionReader, 6, 1, text.data(), DWORD(text.size())), 1);
    EXPECT_EQ(text, "?@PJL SET JOBATTR=\"@BKTP=6\"\"\n") << "the rest of the placeholder stays";

    /* two-pass: 6 recorded sides, 3 copies collated by the driver: 9 sheets, the second sides from sheet 10 */
    ASSERT_TRUE(startDoc());
    pdev->jobSettings->driverDuplex = 1;
    pdev->jobSettings->recorded = 1;
    for (int i = 0; i < 6; i++)
        ASSERT_TRUE(DrvStartPage(so) && DrvSendPage(so));
    EXPECT_EQ(REC_CountTwoPassSheets(pdev), 3);
    pdev->jobSettings->driverCollate = 1;
    pdev->jobSettings->copies = 3;
    EXPECT_EQ(REC_CountTwoPassSheets(pdev), 9);
    EXPECT_EQ(JOB_CountSheetsForHeader(pdev), 6);
    pdev->jobSettings->trailingInsert = 1;
    EXPECT_EQ(JOB_CountSheetsForHeader(pdev), 7) << "with the closing insert";
    pdev->jobSettings->driverCollate = 0;
    pdev->jobSettings->copies = 1;
    pdev->jobSettings->trailingInsert = 0;
    ASSERT_TRUE(DrvEndDoc(so, 0));
    EXPECT_EQ(REC_CountTwoPassSheets(pdev), -1) << "no recording";
}

/* ---- Crop marks -------------------------------------------------------------- */

TEST_F(ReplayJob, CropMarksTwelveLinesWorkedOutByHand)
{
    struct Case {
        LONG resolution;
        int dash1, dash2, inset, mark; /* dash entries, inset and 10 mm in pixels */
    } cases[] = {
        {300, 20, 5, 1, 118},   /* 300/15, 300/60; (1.04 + 1.999) / 2 = 1; 100 x 300 / 254 = 118.1 */
        {600, 40, 10, 2, 236},  /* (2.08 + 1.999) / 2 = 2; 236.2 */
        {1200, 80, 20, 3, 472}, /* (4.17 + 1.999) / 2 = 3; 472.4 */
    };
    const LONG W = 4000, H = 6000;
    for (const Case &c : cases) {
        SCOPED_TRACE(c.resolution);
        plat::clock_fix(fixedTime(), 5000);
        enableContext();
        ASSERT_TRUE(startDoc());
        ASSERT_TRUE(DrvStartPage(so));
        ASSERT_EQ(JOB_PrepareDraw(pdev), 0);
        ASSERT_EQ(LAY_DrawCropMarks(pdev, 0, 0, W, H, c.resolution), 0);
        ASSERT_TRUE(DrvSendPage(so));
        ASSERT_TRUE(DrvEndDoc(so, 0));
        Job j = list(spooled());
        disable();
        const int i = c.inset, L = c.mark;
        auto pt = [](LONG x, LONG y) { return std::to_string(x) + "," + std::to_string(y); };
        /* the sheet's own pixels: the identity, whatever transform the page had */
        std::vector<std::string> expected = {"SetClipToPage", "SetPageRotation PageAngle=0", "SetPageDefaultCTM",
                                             "SetPageOrigin PageOrigin=0,0", "SetPageScale PageScale=1,1",
                                             "SetPageRotation PageAngle=0",
                                             "SetPenWidth PenWidth=" + std::to_string(i),
                                             "SetLineCap LineCapStyle=1", "SetLineJoin LineJoinStyle=1",
                                             "SetLineDash LineDashStyle=" + std::to_string(c.dash1) + "," +
                                                 std::to_string(c.dash2),
                                             "SetBrushSource NullBrush=0", "SetROP ROP3=240",
                                             "SetColorSpace ColorSpace=2", "SetPenSource RGBColor=0,0,0"};
        const LONG lines[12][4] = {
            {i, H - i, i + L, H - i},         {i, H - i, i, H - i - L},
            {i, i, i + L, i},                 {i, i, i, i + L},
            {W - i, H - i, W - i - L, H - i}, {W - i, H - i, W - i, H - i - L},
            {W - i, i, W - i - L, i},         {W - i, i, W - i, i + L},
            {W / 2 - L / 2, H - i, W / 2 + L / 2, H - i},
            {W / 2 - L / 2, i, W / 2 + L / 2, i},
            {i, H / 2 - L / 2, i, H / 2 + L / 2},
            {W - i, H / 2 - L / 2, W - i, H / 2 + L / 2},
        };
        for (const auto &l : lines) {
            for (const std::string &op : {std::string("NewPath"), "SetCursor Point=" + pt(l[0], l[1]),
                                          "LinePath EndPoint=" + pt(l[2], l[3]), std::string("PaintPath")})
                expected.push_back(op);
        }
        auto at = std::search(j.ops.begin(), j.ops.end(), expected.begin(), expected.end());
        EXPECT_NE(at, j.ops.end()) << "the marks' commands in their order";
    }
}

} // namespace

namespace {

/* ---- Rotation of images on turned pages --------------------------------------- */

TEST(PageRotation, DirectionsAndAngles)
{
    struct Case {
        LONG nup, landscape, page;
    } pages[] = {{1, 0, 1}, {1, 1, 2}, {2, 0, 2}, {2, 1, 1}, {4, 0, 1}, {8, 1, 1}, {16, 1, 2}, {32, 0, 1}};
    for (const Case &c : pages)
        EXPECT_EQ(LAY_PageDirection(c.nup, c.landscape), c.page) << c.nup << " " << c.landscape;
    EXPECT_EQ(LAY_RotationAngle(1, 1), 0);
    EXPECT_EQ(LAY_RotationAngle(2, 2), 0);
    EXPECT_EQ(LAY_RotationAngle(2, 1), 90);
    EXPECT_EQ(LAY_RotationAngle(1, 2), 270);
    EXPECT_EQ(LAY_RotationAngle(0, 2), 0) << "an unknown feed turns nothing";
}

TEST_F(ReplayJob, FeedDirectionFromTheSettingsOrTheTray)
{
    enableContext();
    ASSERT_TRUE(startDoc());
    JobSettings &js = *pdev->jobSettings;
    struct Case {
        SHORT v326, v344, paper;
        WORD tray;
        LONG direction;
    } cases[] = {
        {257, 0, 9, 1, 1},   {514, 771, 9, 1, 1},  {1028, 0, 9, 1, 2}, {0, 771, 9, 1, 2},
        {1542, 0, 9, 1, 2},  {1542, 0, 8, 1, 1},   {1542, 0, 5, 1, 1}, /* Legal: not listed, the tray answers */
        {0, 0, 9, 1, 1},                                              /* the standard model feeds short edge first */
        {0, 0, 9, 99, 0},                                             /* no such tray */
        {0, 0, 262, 1, 0},                                            /* a paper the tray does not list */
    };
    for (const Case &c : cases) {
        js.value326 = c.v326;
        js.value344 = c.v344;
        EXPECT_EQ(LAY_FeedDirection(pdev, c.paper, c.tray), c.direction)
            << c.v326 << " " << c.v344 << " " << c.paper << " " << c.tray;
    }
    EXPECT_EQ(LAY_FeedDirection(nullptr, 9, 1), 0);
    ASSERT_TRUE(DrvEndDoc(so, ED_ABORTDOC));
}

TEST_F(ReplayJob, LandscapePagesAndTwoUpPagesLieAcrossTheFeed)
{
    struct Case {
        LONG orientation, nup, angle;
    } cases[] = {{1, 1, 0}, {2, 1, 270}, {1, 2, 270}, {1, 4, 0}};
    for (const Case &c : cases) {
        dm->set(ID_ORIENTATION, c.orientation);
        dm->set(295, c.nup);
        enableContext();
        ASSERT_TRUE(startDoc());
        ASSERT_TRUE(DrvStartPage(so));
        ASSERT_EQ(JOB_PrepareDraw(pdev), 0);
        const SheetPipelineState *sheet = JOB_SheetState(pdev);
        EXPECT_EQ(sheet->feedDirection, 1);
        EXPECT_EQ(sheet->pageAngle, c.angle) << c.orientation << " " << c.nup;
        EXPECT_EQ(sheet->pageTurned, c.angle != 0);
        ASSERT_TRUE(DrvSendPage(so));
        ASSERT_TRUE(DrvEndDoc(so, 0));
        disable();
    }
}

} // namespace
