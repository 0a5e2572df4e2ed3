// Paper forms: the length units in single precision, and the job and feed
// forms resolved from form names, paper numbers and custom sizes on a model
// written for the tests: the standard colour printer with papers of its own
// (two the model does not print as such, one whose four margins differ, one
// size range) and a user-size record that asks for an alignment of 8.
#include "test_pdev_support.h"

#include <standard_models.h>
#include <tarvel/model_data/paper_rules.h>

#include <plat/sysinfo.h>

using namespace pdev_test;

namespace {

/* Paper codes of the test model. */
constexpr WORD kEnvelope = 300;   /* 110 x 220 mm, media code 0xFFFF */
constexpr WORD kBanner = 301;     /* 220 x 600 mm, media code 0xFFFF */
constexpr WORD kMarginTest = 302; /* 200 x 300 mm; margins left 3, bottom 5, right 4, top 7 mm */
constexpr WORD kRange = 303;      /* from 100 x 150 to 200 x 300 mm */

void addPaper(mw::Model &m, WORD &dim, WORD code, const char *name, mw::Dimensions size, mw::Dimensions extents,
              mw::Dimensions margins, WORD media, BYTE alignment = 0, bool fourth = false)
{
    size.id = dim++;
    extents.id = dim++;
    margins.id = dim++;
    for (const mw::Dimensions &d : {size, extents, margins})
        m.add(mw::encode(d, m.formatVersion));
    mw::Paper p;
    p.id = code;
    p.name = mw::stored(name);
    p.sizeId = size.id;
    p.extentsId = extents.id;
    p.marginsId = margins.id;
    p.mediaCode = media;
    p.extraByte = alignment;
    if (fourth) {
        mw::Dimensions f{dim++, 100, 100, 200, 200};
        m.add(mw::encode(f, m.formatVersion));
        p.fourthId = f.id;
    }
    m.add(mw::encode(p, m.formatVersion));
}

mw::Model testModel()
{
    mw::Model m = tarvel_models::colourPrinter(0x1600);
    m.fileName = "PAPERS.DDD";
    m.companionName = "PAPERS.DDC";
    /* the user-size record again, asking for an alignment of 8 */
    std::erase_if(m.records, [](const mw::Record &r) { return r.kind == DDD_KIND_PAPER && r.id == 262; });
    WORD dim = 960;
    addPaper(m, dim, 262, "Custom Size", {0, 2100, 2970, 2970, 2100}, {0, 900, 1480, 2970, 4318}, {0, 42, 42, 42, 42},
             97, 8, true);
    addPaper(m, dim, kEnvelope, "Test Envelope", {0, 1100, 2200, 2200, 1100}, {0, 1100, 2200, 1100, 2200},
             {0, 42, 42, 42, 42}, 0xFFFF);
    addPaper(m, dim, kBanner, "Banner", {0, 2200, 6000, 6000, 2200}, {0, 2200, 6000, 2200, 6000}, {0, 42, 42, 42, 42},
             0xFFFF);
    addPaper(m, dim, kMarginTest, "Margin Test", {0, 2000, 3000, 3000, 2000}, {0, 0, 0, 5000, 5000},
             {0, 30, 50, 40, 70}, 81);
    addPaper(m, dim, kRange, "Range", {0, 1000, 1500, 2000, 3000}, {0, 1000, 1500, 2000, 3000}, {0, 42, 42, 42, 42},
             81);
    m.main.entries[41] = mw::eU16(20);
    m.companion.entries[41] = mw::eU16(20);
    return m;
}

constexpr char16_t kPrinter[] = u"Paper Test";

class PaperFormTest : public PdevTest {
protected:
    void SetUp() override
    {
        PdevTest::SetUp();
        /* A German user: the model's default paper stays A4 (a US user's default is Letter). */
        ASSERT_TRUE(plat::sysinfo_set_locale(0x0407));
        utl_ResetLocaleCachesForTest();
        installWritten(kPrinter, testModel());
        /* the spooler forms installation adds for the model's own papers */
        HANDLE admin = nullptr;
        PRINTER_DEFAULTSW all{nullptr, nullptr, PRINTER_ALL_ACCESS};
        ASSERT_TRUE(OpenPrinterW(kPrinter, &admin, &all));
        addForm(admin, u"Test Envelope", 1100, 2200, RECT{42, 42, 1058, 2158});
        addForm(admin, u"Banner", 2200, 6000, RECT{42, 42, 2158, 5958});
        addForm(admin, u"Margin Test", 2000, 3000, RECT{30, 70, 1960, 2950});
        addForm(admin, u"Photo", 1000, 1500, RECT{10, 20, 990, 1480});
        ClosePrinter(admin);
    }

    /* Enables a context for `dm` on the test printer; the test disables it. */
    Enabled enableOn(JobDevmode &dm)
    {
        Printer printer(kPrinter);
        Enabled e = enable(printer.handle, dm);
        EXPECT_NE(e.dhpdev, nullptr) << e.error;
        return e;
    }

    static LONG U(LONG tenths) { return FORM_TenthsToUnits(tenths); }
    static WORD paperId(const PaperForm &f) { return f.modelPaper ? f.modelPaper->id : 0; }
    static std::u16string name(const PaperForm &f) { return std::u16string(f.name); }
};

void customSize(JobDevmode &dm, LONG w, LONG l)
{
    dm.set(ID_DM_FIELDS, DM_PAPERSIZE | DM_PAPERLENGTH | DM_PAPERWIDTH | DM_SCALE | DM_COLOR);
    dm.set(ID_PAPER_SIZE, DMPAPER_USER);
    dm.set(ID_PAPER_WIDTH, w);
    dm.set(ID_PAPER_LENGTH, l);
}

} // namespace

TEST(PaperFormUnits, SinglePrecisionConversionsTruncate)
{
    struct Row {
        LONG in, out;
    };
    /* x * 18432 / 25400; 1,000,650 shows single precision: exactly 726,140.9 is 726,141 in floats */
    for (Row r : {Row{25400, 18432}, Row{210000, 152390}, Row{297000, 215523}, Row{1, 0}, Row{-210000, -152390},
                  Row{1000650, 726141}})
        EXPECT_EQ(FORM_MicronsToUnits(r.in), r.out) << r.in;
    for (Row r : {Row{18432, 25400}, Row{152390, 209999}, Row{0, 0}})
        EXPECT_EQ(FORM_UnitsToMicrons(r.in), r.out) << r.in;
    EXPECT_EQ(FORM_UnitsToPixels(18432, 600), 600);
    EXPECT_EQ(FORM_UnitsToPixels(152390, 600), 4960);
    EXPECT_EQ(FORM_TenthsToUnits(2100), 152390);
    EXPECT_EQ(FORM_UnitsToTenths(152390), 2100);
    /* tenths x dpi / 254, half up */
    for (auto [tenths, dpi, px] : {std::tuple{2100, 600, 4961}, {42, 600, 99}, {127, 1, 1}, {126, 1, 0},
                                   {-127, 1, 0}, {-128, 1, -1}, {0, 600, 0}})
        EXPECT_EQ(FORM_TenthsToPixels(tenths, dpi), px) << tenths << " at " << dpi;
}

TEST_F(PaperFormTest, TopAndBottomMarginsComeFromTheirOwnPairMembers)
{
    JobDevmode dm;
    dm.set(ID_PAPER_SIZE, kMarginTest);
    Enabled e = enableOn(dm);
    ASSERT_NE(e.dhpdev, nullptr);
    const PaperForm &f = e.pdev()->jobForm;
    EXPECT_EQ(name(f), u"Margin Test");
    EXPECT_EQ(paperId(f), kMarginTest);
    EXPECT_EQ(f.width, U(2000));
    EXPECT_EQ(f.height, U(3000));
    EXPECT_EQ(f.left, U(30));
    EXPECT_EQ(f.top, U(70)) << "the second pair's second value";
    EXPECT_EQ(f.right, U(2000) - U(40));
    EXPECT_EQ(f.bottom, U(3000) - U(50)) << "the first pair's second value";
    /* the engine's printable area: offsets (3, 7) mm, 193 x 288 mm */
    EXPECT_EQ(e.gdi.ptlPhysOffset.x, 71);
    EXPECT_EQ(e.gdi.ptlPhysOffset.y, 165);
    EXPECT_EQ(e.gdi.ulHorzRes, 4559u);
    EXPECT_EQ(e.gdi.ulVertRes, 6803u);
    DrvDisablePDEV(e.dhpdev);
}

TEST_F(PaperFormTest, APaperTheModelDoesNotPrintIsFedAsTheDefaultPaper)
{
    struct Case {
        WORD paper;
        LONG feedWidth, feedHeight;
    } cases[] = {
        {kEnvelope, U(1100), U(2200)}, /* fits inside A4: the job's geometry on A4 */
        {kBanner, U(2100), U(2970)},   /* does not fit: A4 itself */
    };
    for (const Case &c : cases) {
        JobDevmode dm;
        dm.set(ID_PAPER_SIZE, c.paper);
        Enabled e = enableOn(dm);
        ASSERT_NE(e.dhpdev, nullptr);
        const PdevContext *pdev = e.pdev();
        EXPECT_EQ(paperId(pdev->jobForm), c.paper);
        EXPECT_EQ(pdev->jobForm.substituted, 0);
        EXPECT_EQ(paperId(pdev->feedForm), DMPAPER_A4) << c.paper;
        EXPECT_EQ(pdev->feedForm.substituted, 1) << c.paper;
        EXPECT_EQ(pdev->feedForm.width, c.feedWidth) << c.paper;
        EXPECT_EQ(pdev->feedForm.height, c.feedHeight) << c.paper;
        DrvDisablePDEV(e.dhpdev);
    }
}

TEST_F(PaperFormTest, FeedFormOfTheOutputPaper)
{
    JobDevmode dm;
    dm.set(ID_OUTPUT_PAPER, DMPAPER_A3);
    Enabled e = enableOn(dm);
    ASSERT_NE(e.dhpdev, nullptr);
    const PdevContext *pdev = e.pdev();
    EXPECT_EQ(paperId(pdev->jobForm), DMPAPER_A4);
    EXPECT_EQ(paperId(pdev->feedForm), DMPAPER_A3);
    EXPECT_EQ(name(pdev->feedForm), u"A3") << "the built-in form's name";
    EXPECT_EQ(pdev->feedForm.width, U(2970));
    EXPECT_EQ(pdev->feedForm.left, U(42));
    EXPECT_EQ(pdev->feedForm.substituted, 0);
    EXPECT_EQ(e.gdi.ulHorzRes, 4762u) << "the engine sees the job's paper";
    DrvDisablePDEV(e.dhpdev);

    /* an output paper that is a size range without a spooler form: the job's own paper is fed */
    JobDevmode ranged;
    ranged.set(ID_OUTPUT_PAPER, kRange);
    e = enableOn(ranged);
    ASSERT_NE(e.dhpdev, nullptr);
    EXPECT_EQ(paperId(e.pdev()->feedForm), DMPAPER_A4);
    EXPECT_EQ(e.pdev()->feedForm.substituted, 0);
    DrvDisablePDEV(e.dhpdev);
}

TEST_F(PaperFormTest, FormNameFirstThenPaperNumber)
{
    JobDevmode byName;
    byName.set(ID_DM_FIELDS, DM_FORMNAME | DM_PAPERSIZE | DM_SCALE | DM_COLOR);
    byName.setText(ID_FORM_NAME, u"test envelope");
    byName.set(ID_PAPER_SIZE, DMPAPER_LETTER);
    Enabled e = enableOn(byName);
    ASSERT_NE(e.dhpdev, nullptr);
    EXPECT_EQ(name(e.pdev()->jobForm), u"Test Envelope") << "the spooler's spelling";
    EXPECT_EQ(paperId(e.pdev()->jobForm), kEnvelope);
    EXPECT_EQ(e.pdev()->jobForm.left, U(42));
    DrvDisablePDEV(e.dhpdev);

    JobDevmode unknown;
    unknown.set(ID_DM_FIELDS, DM_FORMNAME | DM_PAPERSIZE | DM_SCALE | DM_COLOR);
    unknown.setText(ID_FORM_NAME, u"No Such Form");
    unknown.set(ID_PAPER_SIZE, DMPAPER_LETTER);
    e = enableOn(unknown);
    ASSERT_NE(e.dhpdev, nullptr);
    EXPECT_EQ(paperId(e.pdev()->jobForm), DMPAPER_LETTER);
    EXPECT_EQ(name(e.pdev()->jobForm), u"Letter");
    DrvDisablePDEV(e.dhpdev);

    JobDevmode neither;
    neither.set(ID_DM_FIELDS, DM_SCALE | DM_COLOR);
    neither.set(ID_PAPER_SIZE, DMPAPER_LETTER);
    e = enableOn(neither);
    ASSERT_NE(e.dhpdev, nullptr);
    EXPECT_EQ(paperId(e.pdev()->jobForm), DMPAPER_A4) << "without paper fields, the model's default paper";
    DrvDisablePDEV(e.dhpdev);

    ASSERT_TRUE(plat::sysinfo_set_locale(0x0409));
    utl_ResetLocaleCachesForTest();
    e = enableOn(neither);
    ASSERT_NE(e.dhpdev, nullptr);
    EXPECT_EQ(paperId(e.pdev()->jobForm), DMPAPER_LETTER) << "a US user's default paper";
    DrvDisablePDEV(e.dhpdev);
}

TEST_F(PaperFormTest, CustomSizesTakeTheUserSizeRecordsMarginsAndAlignment)
{
    /* 250.5 x 300.1 mm: no paper within 1 mm; margins 4.2 mm, 2505 mod 8 = 1 and 3001 mod 8 = 1 added */
    JobDevmode dm;
    customSize(dm, 2505, 3001);
    Enabled e = enableOn(dm);
    ASSERT_NE(e.dhpdev, nullptr);
    const PdevContext *pdev = e.pdev();
    const PaperForm &f = pdev->jobForm;
    EXPECT_EQ(name(f), u"");
    EXPECT_EQ(f.modelPaper, nullptr);
    EXPECT_EQ(f.width, U(2505));
    EXPECT_EQ(f.left, U(42));
    EXPECT_EQ(f.right, U(2505 - 43));
    EXPECT_EQ(f.top, U(42));
    EXPECT_EQ(f.bottom, U(3001 - 43));
    EXPECT_EQ(paperId(pdev->feedForm), 262) << "a size of the user's is fed as the user-size record";
    EXPECT_EQ(pdev->feedForm.substituted, 0);
    EXPECT_EQ(pdev->feedForm.width, f.width);
    DrvDisablePDEV(e.dhpdev);

    /* 400 mm wide is more than 297 mm plus the margins: centred, (4000 - 2970 + 1) / 2 = 515 each side */
    JobDevmode wide;
    customSize(wide, 4000, 3001);
    e = enableOn(wide);
    ASSERT_NE(e.dhpdev, nullptr);
    EXPECT_EQ(e.pdev()->jobForm.left, U(515));
    EXPECT_EQ(e.pdev()->jobForm.right, U(4000 - 515));
    DrvDisablePDEV(e.dhpdev);
}

TEST_F(PaperFormTest, AUserPaperTakesTheSpoolerFormsImageableArea)
{
    JobDevmode dm;
    customSize(dm, 1000, 1500);
    dm.put32(PDEV_TAIL_EXTRA0, 1);
    Enabled e = enableOn(dm);
    ASSERT_NE(e.dhpdev, nullptr);
    const PaperForm &f = e.pdev()->jobForm;
    /* "Photo": its imageable area */
    EXPECT_EQ(f.left, FORM_MicronsToUnits(1000));
    EXPECT_EQ(f.right, FORM_MicronsToUnits(99000));
    EXPECT_EQ(f.top, FORM_MicronsToUnits(2000));
    EXPECT_EQ(f.bottom, FORM_MicronsToUnits(148000));
    EXPECT_EQ(paperId(e.pdev()->feedForm), 262);
    DrvDisablePDEV(e.dhpdev);
}

TEST_F(PaperFormTest, LandscapeTurnsTheJobFormOnlyWhenTheDevmodeNamesItsOrientation)
{
    JobDevmode portrait, turned, unnamed;
    for (JobDevmode *dm : {&portrait, &turned, &unnamed})
        dm->set(ID_PAPER_SIZE, kMarginTest);
    turned.set(ID_ORIENTATION, DMORIENT_LANDSCAPE);
    unnamed.set(ID_ORIENTATION, DMORIENT_LANDSCAPE);
    unnamed.set(ID_DM_FIELDS, DM_PAPERSIZE | DM_SCALE | DM_COLOR);
    Enabled p = enableOn(portrait), t = enableOn(turned), u = enableOn(unnamed);
    ASSERT_NE(p.dhpdev, nullptr);
    ASSERT_NE(t.dhpdev, nullptr);
    ASSERT_NE(u.dhpdev, nullptr);
    const PaperForm &a = p.pdev()->jobForm, &b = t.pdev()->jobForm, &c = u.pdev()->jobForm;
    EXPECT_EQ(b.turned, 1);
    EXPECT_EQ(b.width, a.height);
    EXPECT_EQ(b.height, a.width);
    EXPECT_EQ(b.left, a.top);
    EXPECT_EQ(b.top, a.width - a.right);
    EXPECT_EQ(b.right, a.bottom);
    EXPECT_EQ(b.bottom, a.width - a.left);
    EXPECT_EQ(c.turned, 0);
    EXPECT_EQ(c.width, a.width);
    EXPECT_EQ(p.pdev()->feedForm.turned, 0) << "the feed form is not turned";
    /* the engine's offsets of the turned paper: (bottom, left) = (5, 3) mm */
    EXPECT_EQ(t.gdi.ptlPhysOffset.x, 118);
    EXPECT_EQ(t.gdi.ptlPhysOffset.y, 71);
    for (Enabled *e : {&p, &t, &u})
        DrvDisablePDEV(e->dhpdev);
}

TEST_F(PaperFormTest, AModelPaperWithoutItsSpoolerFormCannotBeReported)
{
    /* "Range" is a size range: its number finds no spooler form, so the default paper stands in */
    JobDevmode ranged;
    ranged.set(ID_PAPER_SIZE, kRange);
    Enabled e = enableOn(ranged);
    ASSERT_NE(e.dhpdev, nullptr);
    EXPECT_EQ(paperId(e.pdev()->jobForm), DMPAPER_A4);
    DrvDisablePDEV(e.dhpdev);

    /* a model paper whose form installation never added: the engine cannot be told its paper */
    HANDLE admin = nullptr;
    PRINTER_DEFAULTSW all{nullptr, nullptr, PRINTER_ALL_ACCESS};
    ASSERT_TRUE(OpenPrinterW(kPrinter, &admin, &all));
    ASSERT_TRUE(DeleteFormW(admin, u"Margin Test"));
    ClosePrinter(admin);
    JobDevmode missing;
    missing.set(ID_PAPER_SIZE, kMarginTest);
    Printer printer(kPrinter);
    Enabled f = enable(printer.handle, missing);
    EXPECT_EQ(f.dhpdev, nullptr);
    EXPECT_EQ(DMB_GetUseCount(), 1);
}
