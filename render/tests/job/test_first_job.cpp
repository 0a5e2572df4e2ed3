// Whole jobs on the direct road through the library's document and page
// calls: the PJL parts byte for byte against texts worked out by hand, the
// PCL XL part through the job lister, the job-information block line by
// line, and where each page lands on its sheet.
#include "page_geometry.h"
#include "page_recording.h"
#include "page_recording_direct.h"
#include "page_recording_replay.h"
#include "sheet_pipeline.h"
#include "test_job_support.h"

#include "job_listing.h"

#include <tarvel/base/uix_jobwatch.h>
#include <tarvel/fax_layout.h>

#include <docmon/docmon_record.h>

#include <plat/clock.h>
#include <plat/registry.h>
#include <plat/sysinfo.h>

#include <algorithm>
#include <cmath>
#include <cstdio>
#include <cstring>
#include <functional>

using namespace job_test;

namespace {


TEST_F(FirstJob, TwoBlankA4PagesInOrder)
{
    enableContext();
    ASSERT_TRUE(printBlank(2));
    Job j = list(spooled());
    EXPECT_EQ(j.header, pjlHeader(kSimplex, 1));
    EXPECT_EQ(j.streamHeader, kStreamHeader);
    /* 4.2 mm margins at 600 dpi: the page's origin 99 pixels in; the second side sends its transform again */
    EXPECT_EQ(j.ops, frame({side(100, "99,99", "1,1", 0), side(200, "99,99", "1,1", 0)}, 300));
    EXPECT_EQ(j.trailer, kUel + jobInfo(items(1, 1, "SIMPLEX", 1, 2, 2), {kA4Simplex, kA4Simplex}) + "@PJL EOJ\n");
}

TEST_F(FirstJob, AnEmptyDocumentWritesNothing)
{
    enableContext();
    ASSERT_TRUE(printBlank(0));
    EXPECT_EQ(spooled(), "");
}

TEST_F(FirstJob, DuplexWithOddAndEvenPageCounts)
{
    dm->set(16, 2); /* long edge */
    for (int pages : {3, 4}) {
        SCOPED_TRACE(pages);
        enableContext();
        ASSERT_TRUE(printBlank(pages));
        Job j = list(spooled());
        EXPECT_EQ(j.header, pjlHeader(kLongEdge, 1));
        std::vector<std::vector<std::string>> sides;
        for (int p = 1; p <= pages; p++)
            sides.push_back(side(100 * p, "99,99", "1,1", 0));
        EXPECT_EQ(j.ops, frame(sides, 100 * (pages + 1)));
        EXPECT_EQ(j.trailer, kUel +
                                 jobInfo(items(1, 1, "DUPLEX", 1, pages, pages),
                                         std::vector<std::string>(size_t(pages), kA4Duplex)) +
                                 "@PJL EOJ\n");
        disable();
        plat::clock_fix(fixedTime(), 5000);
    }
}

TEST_F(FirstJob, UncollatedCopiesAreThePrinters)
{
    dm->set(12, 3);
    dm->set(18, 0);
    enableContext();
    ASSERT_TRUE(printBlank(1));
    Job j = list(spooled());
    EXPECT_EQ(j.header, pjlHeader(kSimplex, 3));
    EXPECT_EQ(j.trailer, kUel + jobInfo(items(1, 3, "SIMPLEX", 1, 1, 3), {kA4Simplex}) + "@PJL EOJ\n");
}

TEST_F(FirstJob, DriverCollatedCopiesAskThePrinterForOne)
{
    /* The driver repeats the two pages for each of 3 collated copies, so the printer makes one copy of the six
       pages (the header asked for 3 before: 18 sheets). */
    dm->set(12, 3);
    dm->set(18, 1);
    enableContext();
    ASSERT_TRUE(printBlank(2));
    Job j = list(spooled());
    EXPECT_EQ(j.header, pjlHeader(kSimplex, 1));
    size_t begins = 0;
    for (const std::string &op : j.ops)
        begins += op.rfind("BeginPage", 0) == 0;
    EXPECT_EQ(begins, 6u);
    EXPECT_NE(j.trailer.find("QZJOBINFO JOBCOPIES=1\n"), std::string::npos);
}

/* Each page's transform, read back from the commands the job lister decoded. */
std::vector<PageTransform> transforms(const Job &j)
{
    std::vector<PageTransform> out;
    PageTransform t{};
    FLOAT sx = 1, sy = 1;
    bool afterDefault = false;
    for (const pxllist::Record &r : j.listing.records) {
        if (r.kind != pxllist::RecordKind::kOperator)
            continue;
        if (r.op == pxllist::op::kSetPageDefaultCTM) {
            t = PageTransform{};
            afterDefault = true;
        } else if (r.op == pxllist::op::kSetPageOrigin && afterDefault) {
            const auto *a = pxllist::FindAttribute(r, pxllist::attr::kPageOrigin);
            t.dx += FLOAT(a->values[0]);
            t.dy += FLOAT(a->values[1]);
        } else if (r.op == pxllist::op::kSetPageScale && afterDefault) {
            const auto *a = pxllist::FindAttribute(r, pxllist::attr::kPageScale);
            sx = FLOAT(a->values[0]);
            sy = FLOAT(a->values[1]);
        } else if (r.op == pxllist::op::kSetPageRotation && afterDefault) {
            /* the transform's own quarter turns, as the writer reduces a transform to them */
            int angle = int(pxllist::FindAttribute(r, pxllist::attr::kPageAngle)->values[0]);
            if (angle == 0) {
                t.m11 = sx;
                t.m22 = sy;
            } else if (angle == 90) {
                t.m12 = -sx;
                t.m21 = sy;
            } else if (angle == 180) {
                t.m11 = -sx;
                t.m22 = -sy;
            } else {
                t.m12 = sx;
                t.m21 = -sy;
            }
            out.push_back(t);
            afterDefault = false;
        }
    }
    return out;
}

struct Box {
    FLOAT left, top, right, bottom; /* tenths of a millimetre on the sheet */
};

/* The page's four corners (its printable area, 4,762 x 6,817 pixels) all lie in `cell`. */
void expectInCell(const PageTransform &t, const Box &cell, int page)
{
    const FLOAT px = 600.0f / 254.0f;
    const FLOAT corners[4][2] = {{0, 0}, {4762, 0}, {0, 6817}, {4762, 6817}};
    for (const auto &c : corners) {
        FLOAT x, y;
        LAY_Apply(&t, c[0], c[1], &x, &y);
        EXPECT_GE(x / px, cell.left - 1) << "page " << page;
        EXPECT_LE(x / px, cell.right + 1) << "page " << page;
        EXPECT_GE(y / px, cell.top - 1) << "page " << page;
        EXPECT_LE(y / px, cell.bottom + 1) << "page " << page;
    }
}

TEST_F(FirstJob, TwoUpEndsWithTheHalfFilledSheet)
{
    dm->set(295, 2);
    dm->set(264, 1); /* the lower half first */
    enableContext();
    ASSERT_TRUE(printBlank(3));
    Job j = list(spooled());
    auto t = transforms(j);
    ASSERT_EQ(t.size(), 3u);
    /* area 42..2058 x 42..2928 tenths: halves 1,443 high */
    const Box lower{42, 1485, 2058, 2928}, upper{42, 42, 2058, 1485};
    expectInCell(t[0], lower, 1);
    expectInCell(t[1], upper, 2);
    expectInCell(t[2], lower, 3);
    for (const PageTransform &p : t)
        EXPECT_LT(p.m12, 0.0f) << "turned a quarter turn into its half";
    size_t begins = 0;
    for (const std::string &op : j.ops)
        begins += op.rfind("BeginPage", 0) == 0;
    EXPECT_EQ(begins, 2u);
    ASSERT_GE(j.ops.size(), 6u);
    EXPECT_EQ(j.ops[j.ops.size() - 6], "Comment \"[400ms]EndJob with left Nup\"");
    EXPECT_EQ(j.ops[j.ops.size() - 5], "EndPage");
    EXPECT_EQ(j.ops[j.ops.size() - 4], "Comment \"[400ms]EndPage of Physical\"");
    EXPECT_NE(j.trailer.find("QZJOBINFO NUP=2\n"), std::string::npos);
    EXPECT_NE(j.trailer.find("QZJOBINFO LOGICALPAGES=3\n"), std::string::npos);
    EXPECT_NE(j.trailer.find("QZJOBINFO ESTIMATEDSHEETS=2\n"), std::string::npos);
}

TEST_F(FirstJob, FourUpOrderThreeFillsTheTopRowFirst)
{
    dm->set(295, 4);
    dm->set(264, 3);
    enableContext();
    ASSERT_TRUE(printBlank(4));
    Job j = list(spooled());
    auto t = transforms(j);
    ASSERT_EQ(t.size(), 4u);
    const Box cells[4] = {{42, 42, 1050, 1485}, {1050, 42, 2058, 1485}, {42, 1485, 1050, 2928}, {1050, 1485, 2058, 2928}};
    for (int i = 0; i < 4; i++) {
        expectInCell(t[size_t(i)], cells[i], i + 1);
        EXPECT_FLOAT_EQ(t[size_t(i)].m11, 0.5f);
    }
}

} // namespace

namespace {

TEST_F(FirstJob, CellBordersFrameTheFilledCells)
{
    dm->set(295, 4);
    dm->set(264, 3);
    dm->set(1337, 1);
    enableContext();
    ASSERT_TRUE(printBlank(3));
    Job j = list(spooled());
    /* three pages on the sheet: three frames of four lines each, drawn before the sheet's end */
    int paints = 0;
    for (const std::string &op : j.ops)
        paints += op == "PaintPath";
    EXPECT_EQ(paints, 12);
    const std::vector<std::string> pen = {"SetPenWidth PenWidth=2",        "SetLineJoin LineJoinStyle=1",
                                          "SetLineCap LineCapStyle=1",     "SetLineDash SolidLine=0",
                                          "SetColorSpace ColorSpace=2",    "SetBrushSource NullBrush=0",
                                          "SetROP ROP3=240",               "SetPenSource RGBColor=0,0,0"};
    auto at = std::search(j.ops.begin(), j.ops.end(), pen.begin(), pen.end());
    ASSERT_NE(at, j.ops.end());
    /* the first frame: the top-left cell (42..1050 x 42..1485 tenths: 99.2..2480.3 x 99.2..3507.9 pixels, truncated) inset by 2 */
    const std::vector<std::string> first = {"NewPath", "SetCursor Point=101,101", "LinePath EndPoint=101,3505",
                                            "PaintPath"};
    EXPECT_TRUE(std::equal(first.begin(), first.end(), at + long(pen.size()))) << *(at + long(pen.size()) + 1);
    EXPECT_EQ(j.ops[j.ops.size() - 5], "EndPage");
}

TEST_F(FirstJob, TheExtensionsOverridesHoldForTheJobAndAreTakenBack)
{
    enableContext();
    /* with the extension off nothing is applied, even with overrides left in the record */
    pdev->ext.overrides[EXT_OVERRIDE_PAGES_PER_SHEET] = 4;
    ASSERT_TRUE(printBlank(1));
    EXPECT_NE(list(spooled()).trailer.find("QZJOBINFO NUP=1\n"), std::string::npos);
    WORD nup = 0;
    ASSERT_EQ(PDEV_GetSetting16(pdev, 295, &nup), 0);
    EXPECT_EQ(nup, 1);

    /* on: the job is printed 4-up, and the document's own value is back afterwards */
    pdev->ext.mode = 1;
    pdev->ext.overrides[EXT_OVERRIDE_NUP_ORDER] = 3;
    plat::clock_fix(fixedTime(), 5000);
    ASSERT_TRUE(printBlank(2));
    Job j = list(spooled());
    EXPECT_NE(j.trailer.find("QZJOBINFO NUP=4\n"), std::string::npos);
    auto t = transforms(j);
    ASSERT_EQ(t.size(), 2u);
    EXPECT_FLOAT_EQ(t[0].m11, 0.5f);
    ASSERT_EQ(PDEV_GetSetting16(pdev, 295, &nup), 0);
    EXPECT_EQ(nup, 1) << "the document's own pages-per-sheet value";
    EXPECT_EQ(pdev->ext.saved, 0u);
}

TEST_F(FirstJob, PaperAndOrientationChangeBetweenPages)
{
    JobDevmode letter;
    letter.set(13, 7);
    letter.set(1334, 0);
    letter.set(ID_PAPER_SIZE, DMPAPER_LETTER);
    letter.set(ID_ORIENTATION, DMORIENT_LANDSCAPE);
    Job j = list(printThroughDc({dm.get(), &letter, dm.get()}));
    std::vector<std::string> begins;
    for (const std::string &op : j.ops)
        if (op.rfind("BeginPage", 0) == 0)
            begins.push_back(op);
    /* A4, then Letter (PCL XL media size 0), then A4 again */
    EXPECT_EQ(begins, (std::vector<std::string>{"BeginPage Orientation=0 MediaSource=1 MediaSize=2",
                                                "BeginPage Orientation=0 MediaSource=1 MediaSize=0",
                                                "BeginPage Orientation=0 MediaSource=1 MediaSize=2"}));
    auto t = transforms(j);
    ASSERT_EQ(t.size(), 3u);
    /* the landscape Letter page (6,400 x 4,900 pixels printable) turned onto the paper: its top along the left edge */
    EXPECT_EQ(t[1].m11, 0.0f);
    EXPECT_LT(t[1].m12, 0.0f);
    FLOAT x, y;
    LAY_Apply(&t[1], 0, 0, &x, &y);
    EXPECT_NEAR(x, 99, 1);
    EXPECT_NEAR(y, 2752 * 600.0 / 254, 1) << "the page's top-left corner at the paper's bottom-left";
    EXPECT_NE(j.trailer.find("PAGEINFO=SIZE[215.9X279.4]"), std::string::npos);
    EXPECT_NE(j.trailer.find("LOGICALPAGES=3\n"), std::string::npos);
}

} // namespace

namespace {

TEST_F(FirstJob, ACopySetJobWithTooFewDestinationsIsRefusedAtTheFirstSheet)
{
    enableContext();
    traceWith("0x1");
    ASSERT_TRUE(startDoc());
    /* a copy-set job of 3 data sets with sheet data, one destination in its copy-set data */
    std::vector<BYTE> list(FAX_HEADER_SIZE + FAX_ENTRY_SIZE, 0);
    const char16_t tag[8] = u"DFAX001";
    std::memcpy(list.data(), tag, 16);
    list[FAX_OFF_COUNT] = 1;
    pdev->copySetMode = 1;
    ASSERT_EQ(JOB_SetCopySetData(pdev, DWORD(list.size()), list.data()), 0);
    put(376, 1);
    put(379, 0);
    put(380, 3);
    put(381, 0);
    SetLastError(0);
    EXPECT_EQ(JOB_TranslateSettings(pdev), -1);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_DATA));
    EXPECT_NE(traceText().find("JOB_ReadCopySetSettings: 3 data sets asked for, the copy-set data holds 1 destinations"),
              std::string::npos);
    /* without sheet data the one destination is enough */
    put(376, 0);
    EXPECT_EQ(JOB_TranslateSettings(pdev), 0);
    EXPECT_TRUE(DrvEndDoc(so, ED_ABORTDOC));
    EXPECT_EQ(spooled(), "");
}

TEST_F(FirstJob, JobsWithDecorationsGoDirect)
{
    enableContext();
    struct Road {
        const char *name;
        std::function<void(JobSettings &)> set;
    } roads[] = {
        {"annotation", [](JobSettings &js) { js.annotation = 1; }},
        {"page watermark", [](JobSettings &js) { js.pageWatermark = 1; }},
        {"sheet watermark", [](JobSettings &js) { js.sheetWatermark = 1; }},
    };
    for (const Road &road : roads) {
        SCOPED_TRACE(road.name);
        ASSERT_TRUE(startDoc());
        road.set(*pdev->jobSettings);
        EXPECT_EQ(JOB_TranslateSettings(pdev), 0);
        EXPECT_TRUE(DrvEndDoc(so, ED_ABORTDOC));
    }
}

TEST_F(FirstJob, WithoutADocumentMonitorTheJobHasNoIdentifier)
{
    enableContext();
    const DWORD on = 1;
    ASSERT_EQ(DMB_SetValue(8201, pdev->settings, pdev->printerData, SVT_FLAG, 4, &on), DMA_OK);
    put(1321, 1);
    traceWith("0x1");
    ASSERT_TRUE(printBlank(1)) << "the job prints";
    Job j = list(spooled());
    EXPECT_EQ(j.header, pjlHeader(kSimplex, 1)) << "no identifier line";
    EXPECT_EQ(pdev->owner.registration, nullptr);
    EXPECT_EQ(traceText().find("not built yet"), std::string::npos);
}

TEST_F(FirstJob, TheDocumentMonitorRegistersTheJobAndGivesItsKey)
{
    UIX_ResetJobwatchForTest();
    ASSERT_TRUE(DocmonInstall(plat::driver_dir_win() + u"\\tarveljwm.dll"));
    enableContext();
    const DWORD on = 1;
    ASSERT_EQ(DMB_SetValue(8201, pdev->settings, pdev->printerData, SVT_FLAG, 4, &on), DMA_OK);
    put(1321, 1);
    ASSERT_TRUE(startDoc());
    ASSERT_TRUE(DrvStartPage(so));
    ASSERT_TRUE(DrvSendPage(so));
    EXPECT_NE(pdev->owner.registration, nullptr) << "kept with the job until it ends";
    ASSERT_TRUE(DrvEndDoc(so, 0));
    EXPECT_EQ(pdev->owner.registration, nullptr);
    Job j = list(spooled());
    /* the stand-in's client and job identifiers make the key "CLIENT-1.JOB-1" */
    std::string expected = pjlHeader(kSimplex, 1);
    const std::string before = "@PJL SET JOBATTR=\"@JOAU=";
    expected.insert(expected.find(before), "@PJL SET JOBATTR=\"@JCID=CLIENT-1.JOB-1\"\n");
    EXPECT_EQ(j.header, expected);
    UIX_ResetJobwatchForTest();
}

} // namespace

namespace {

TEST_F(FirstJob, AMissingFaxDataFileStopsTheJobBeforeAnyByte)
{
    enableContext();
    put(334, 5);
    put(4125, 1);
    putText(375, u"C:\\FAXDATA\\MISSING.DAT");
    traceWith("0x1");
    ASSERT_TRUE(startDoc());
    ASSERT_TRUE(DrvStartPage(so));
    EXPECT_FALSE(DrvSendPage(so));
    EXPECT_NE(traceText().find("JOB_CheckFaxData: the fax data file cannot be opened"), std::string::npos);
    EXPECT_FALSE(DrvEndDoc(so, 0));
    EXPECT_EQ(spooled(), "") << "no header-only job is left behind";
}

TEST_F(FirstJob, ASystemServiceWithoutADefaultUserStillPrints)
{
    plat::sysinfo_set_user_name(u"SYSTEM");
    HKEY winlogon = nullptr;
    if (RegOpenKeyExW(HKEY_LOCAL_MACHINE, u"SOFTWARE\\Microsoft\\Windows NT\\CurrentVersion\\Winlogon", 0,
                      KEY_ALL_ACCESS, &winlogon) == ERROR_SUCCESS) {
        RegDeleteValueW(winlogon, u"DefaultUserName");
        RegCloseKey(winlogon);
    }
    enableContext();
    ASSERT_TRUE(printBlank(1));
    Job j = list(spooled());
    EXPECT_EQ(j.ops.size(), frame({side(100, "99,99", "1,1", 0)}, 200).size());
}

} // namespace

namespace {

/* The four corners of a page of w x h pixels, mapped through `t`, lie in `cell` (tenths of a millimetre). */
void expectPageInCell(const PageTransform &t, FLOAT w, FLOAT h, const Box &cell)
{
    const FLOAT px = 600.0f / 254.0f;
    const FLOAT corners[4][2] = {{0, 0}, {w, 0}, {0, h}, {w, h}};
    for (const auto &c : corners) {
        FLOAT x, y;
        LAY_Apply(&t, c[0], c[1], &x, &y);
        EXPECT_GE(x / px, cell.left - 1) << c[0] << "," << c[1];
        EXPECT_LE(x / px, cell.right + 1) << c[0] << "," << c[1];
        EXPECT_GE(y / px, cell.top - 1) << c[0] << "," << c[1];
        EXPECT_LE(y / px, cell.bottom + 1) << c[0] << "," << c[1];
    }
}

TEST_F(FirstJob, AnOrientationChangeInsideATwoUpSheetPlacesTheNewPageByItsOwnShape)
{
    dm->set(295, 2);
    dm->set(264, 1); /* the lower half first */
    JobDevmode landscape;
    landscape.set(13, 7);
    landscape.set(1334, 0);
    landscape.set(295, 2);
    landscape.set(264, 1);
    landscape.set(ID_ORIENTATION, DMORIENT_LANDSCAPE);
    Job j = list(printThroughDc({dm.get(), &landscape}));
    auto t = transforms(j);
    ASSERT_EQ(t.size(), 2u);
    /* one sheet: the portrait page turned into the lower half, the landscape one upright in the upper half */
    const Box lower{42, 1485, 2058, 2928}, upper{42, 42, 2058, 1485};
    expectPageInCell(t[0], 4762, 6817, lower);
    EXPECT_LT(t[0].m12, 0.0f);
    expectPageInCell(t[1], 6817, 4762, upper);
    EXPECT_EQ(t[1].m12, 0.0f);
    EXPECT_GT(t[1].m11, 0.0f);
    EXPECT_NE(j.trailer.find("QZJOBINFO LOGICALPAGES=2\n"), std::string::npos);
}

/* The base rotation each side's transform starts with: the sheet's turn of its cells. */
std::vector<int> baseAngles(const Job &j)
{
    std::vector<int> out;
    for (size_t i = 0; i + 1 < j.ops.size(); i++)
        if (j.ops[i + 1] == "SetPageDefaultCTM" && j.ops[i].rfind("SetPageRotation PageAngle=", 0) == 0)
            out.push_back(std::stoi(j.ops[i].substr(26)));
    return out;
}

TEST_F(FirstJob, NupSheetsStartTheirTransformFromTheTurnOfTheirCells)
{
    /* 2-up and 8-up on a portrait sheet turn their cells (90 degrees); 4-up does not; landscape pages invert it */
    struct Case {
        LONG nup, orientation;
        int angle;
    } cases[] = {{2, DMORIENT_PORTRAIT, 90}, {4, DMORIENT_PORTRAIT, 0}, {8, DMORIENT_PORTRAIT, 90},
                 {2, DMORIENT_LANDSCAPE, 0}, {4, DMORIENT_LANDSCAPE, 90}};
    for (const Case &c : cases) {
        SCOPED_TRACE(c.nup);
        SCOPED_TRACE(c.orientation);
        dm->set(295, c.nup);
        dm->set(264, 3);
        dm->set(ID_ORIENTATION, c.orientation);
        enableContext();
        ASSERT_TRUE(printBlank(2));
        Job j = list(spooled());
        EXPECT_EQ(baseAngles(j), std::vector<int>(2, c.angle));
        disable();
    }
}

TEST_F(FirstJob, PageAndSheetCountsGoPastSixteenBits)
{
    enableContext();
    ASSERT_TRUE(startDoc());
    ASSERT_TRUE(DrvStartPage(so));
    ASSERT_TRUE(DrvSendPage(so));
    /* as if 65,535 pages and sides had gone before */
    pdev->jobCounters.logicalPages = 65535;
    pdev->pageLayout->sheet.sidesEmitted = 65535;
    ASSERT_TRUE(DrvStartPage(so));
    ASSERT_TRUE(DrvSendPage(so));
    ASSERT_TRUE(DrvEndDoc(so, 0));
    Job j = list(spooled());
    EXPECT_NE(j.trailer.find("QZJOBINFO LOGICALPAGES=65536\n"), std::string::npos) << j.trailer;
    EXPECT_NE(j.trailer.find("QZJOBINFO ESTIMATEDSHEETS=65536\n"), std::string::npos) << j.trailer;
}

} // namespace

namespace {

TEST_F(FirstJob, AFailedJobTakesTheExtensionsOverridesBackToo)
{
    enableContext();
    pdev->ext.mode = 1;
    pdev->ext.overrides[EXT_OVERRIDE_PAGES_PER_SHEET] = 4;
    /* the overrides are applied at the first sheet, then the missing fax data file fails the job */
    put(334, 5);
    put(4125, 1);
    putText(375, u"C:\\FAXDATA\\MISSING.DAT");
    ASSERT_TRUE(startDoc());
    ASSERT_TRUE(DrvStartPage(so));
    EXPECT_FALSE(DrvSendPage(so));
    EXPECT_FALSE(DrvEndDoc(so, 0));
    WORD nup = 0;
    ASSERT_EQ(PDEV_GetSetting16(pdev, 295, &nup), 0);
    EXPECT_EQ(nup, 1) << "the document's own pages-per-sheet value";
    EXPECT_EQ(pdev->ext.saved, 0u);
}

} // namespace

namespace {

TEST_F(FirstJob, JobTypesAndCopiesInTheJobInformationBlock)
{
    /* setting 334 -> JOBTYPE and STOREDJOBTYPE; 3 uncollated copies: the printer's page copies, except for proofs */
    struct Case {
        LONG type;
        const char *jobType, *stored;
        int jobCopies, pageCopies;
    } cases[] = {
        {0, "PRINT", "IMMEDIATE", 1, 3},   {1, "PRINT", "SECURITY", 1, 3},     {2, "PRINT", "PROOF", 3, 1},
        {3, "PRINT", "PERSONALBOX", 1, 3}, {5, "DIRECTFAX", "IMMEDIATE", 1, 3}, {8, "PRINT", "IMMEDIATE", 1, 3},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.type);
        dm->set(334, c.type);
        dm->set(12, 3);
        dm->set(18, 0);
        enableContext();
        ASSERT_TRUE(printBlank(1));
        const std::string t = list(spooled()).trailer;
        const std::string p = "@PJL COMMENT QZJOBINFO ";
        EXPECT_NE(t.find(p + "JOBTYPE=" + c.jobType + "\n"), std::string::npos) << t;
        EXPECT_NE(t.find(p + "STOREDJOBTYPE=" + c.stored + "\n"), std::string::npos) << t;
        EXPECT_NE(t.find(p + "JOBCOPIES=" + std::to_string(c.jobCopies) + "\n"), std::string::npos) << t;
        EXPECT_NE(t.find(p + "PAGECOPIES=" + std::to_string(c.pageCopies) + "\n"), std::string::npos) << t;
        EXPECT_NE(t.find(p + "ESTIMATEDSHEETS=3\n"), std::string::npos) << t;
        disable();
        plat::clock_fix(fixedTime(), 5000);
    }
}

} // namespace
