// GDIINFO and DEVINFO of new device contexts on the standard models, checked
// against values worked out by hand.  The standard papers have margins of
// 4.2 mm on every side and printable extents equal to their size, so the
// printable area is the paper less 8.4 mm each way (it may not reach into
// the margins); lengths in pixels are tenths of a millimetre x dpi / 254,
// rounded half up; sizes are millimetres x 100 / scale, rounded half up.
#include "test_pdev_support.h"

#include <functional>

using namespace pdev_test;

namespace {

/* What the engine is told, by hand. */
struct Expected {
    ULONG horzSize, vertSize, horzRes, vertRes;
    LONG offX, offY, physW, physH;
    ULONG logPixels, aspectXY, htPattern;
    LONG denStyle;
};

struct Case {
    const char *what;
    const char16_t *printer;
    std::function<void(JobDevmode &)> setup;
    Expected e;
};

/* A4 portrait, colour: the standard job at each resolution. */
const Expected kA4at600 = {202, 289, 4762, 6817, 99, 99, 4961, 7016, 600, 848, 7, 24};

class PdevGdiInfo : public PdevTest {
protected:
    void SetUp() override
    {
        PdevTest::SetUp();
        installStandard();
    }

    void check(const Case &c)
    {
        SCOPED_TRACE(c.what);
        Printer printer(c.printer);
        JobDevmode dm;
        c.setup(dm);
        Enabled en = enable(printer.handle, dm);
        ASSERT_NE(en.dhpdev, nullptr) << en.error;
        const GDIINFO &g = en.gdi;
        EXPECT_EQ(g.ulHorzSize, c.e.horzSize);
        EXPECT_EQ(g.ulVertSize, c.e.vertSize);
        EXPECT_EQ(g.ulHorzRes, c.e.horzRes);
        EXPECT_EQ(g.ulVertRes, c.e.vertRes);
        EXPECT_EQ(g.ptlPhysOffset.x, c.e.offX);
        EXPECT_EQ(g.ptlPhysOffset.y, c.e.offY);
        EXPECT_EQ(g.szlPhysSize.cx, c.e.physW);
        EXPECT_EQ(g.szlPhysSize.cy, c.e.physH);
        EXPECT_EQ(g.ulLogPixelsX, c.e.logPixels);
        EXPECT_EQ(g.ulLogPixelsY, c.e.logPixels);
        EXPECT_EQ(g.ulAspectXY, c.e.aspectXY);
        EXPECT_EQ(g.ulHTPatternSize, c.e.htPattern);
        EXPECT_EQ(g.denStyleStep, c.e.denStyle);
        DrvDisablePDEV(en.dhpdev);
    }
};

void a4(JobDevmode &) {}

std::function<void(JobDevmode &)> at(LONG dpi)
{
    return [dpi](JobDevmode &dm) { dm.resolution(dpi); };
}

std::function<void(JobDevmode &)> paper(WORD code)
{
    return [code](JobDevmode &dm) { dm.set(ID_PAPER_SIZE, code); };
}

void landscape(JobDevmode &dm) { dm.set(ID_ORIENTATION, DMORIENT_LANDSCAPE); }

void custom(JobDevmode &dm, LONG w, LONG l)
{
    dm.set(ID_DM_FIELDS, DM_ORIENTATION | DM_PAPERSIZE | DM_PAPERLENGTH | DM_PAPERWIDTH | DM_SCALE | DM_COLOR);
    dm.set(ID_PAPER_SIZE, DMPAPER_USER);
    dm.set(ID_PAPER_WIDTH, w);
    dm.set(ID_PAPER_LENGTH, l);
}

void userMargins(JobDevmode &dm)
{
    dm.set(ID_USER_MARGINS, 1);
    dm.tailPaper(DMPAPER_A4, 50, 60, 70, 80);
}

} // namespace

TEST_F(PdevGdiInfo, StandardModelsAtEachResolution)
{
    const Case cases[] = {
        {"A4 at 600 dpi", kColourPrinter, a4, kA4at600},
        {"A4 at 600 dpi, printer and fax", kFaxPrinter, a4, kA4at600},
        {"A4 at 150 dpi", kColourPrinter, at(150), {202, 289, 1191, 1704, 25, 25, 1240, 1754, 150, 212, 3, 6}},
        {"A4 at 300 dpi", kColourPrinter, at(300), {202, 289, 2381, 3409, 50, 50, 2480, 3508, 300, 424, 5, 12}},
        {"A4 at 1200 dpi", kColourPrinter, at(1200),
         {202, 289, 9524, 13635, 198, 198, 9921, 14031, 1200, 1696, 11, 48}},
        {"A4 at 1200 dpi, printer and fax", kFaxPrinter, at(1200),
         {202, 289, 9524, 13635, 198, 198, 9921, 14031, 1200, 1696, 11, 48}},
        {"A4 at 2400 dpi", kColourPrinter, at(2400),
         {202, 289, 19049, 27269, 397, 397, 19843, 28063, 2400, 3393, 15, 96}},
    };
    for (const Case &c : cases)
        check(c);
}

TEST_F(PdevGdiInfo, PapersOrientationAndScale)
{
    const Case cases[] = {
        {"Letter", kColourPrinter, paper(DMPAPER_LETTER), {208, 271, 4902, 6402, 99, 99, 5100, 6600, 600, 848, 7, 24}},
        {"A3", kFaxPrinter, paper(DMPAPER_A3), {289, 412, 6817, 9723, 99, 99, 7016, 9921, 600, 848, 7, 24}},
        {"A4 landscape", kColourPrinter, landscape, {289, 202, 6817, 4762, 99, 99, 7016, 4961, 600, 848, 7, 24}},
        {"A4 landscape without DM_ORIENTATION", kColourPrinter,
         [](JobDevmode &dm) {
             landscape(dm);
             dm.set(ID_DM_FIELDS, DM_PAPERSIZE | DM_SCALE | DM_COLOR);
         },
         kA4at600},
        {"A4 at 50 %", kColourPrinter, [](JobDevmode &dm) { dm.set(ID_SCALE, 50); },
         {403, 577, 4762, 6817, 99, 99, 4961, 7016, 300, 848, 7, 24}},
    };
    for (const Case &c : cases)
        check(c);
}

TEST_F(PdevGdiInfo, CustomSizesBorderlessAndUserMargins)
{
    const Case cases[] = {
        /* within 10 tenths of A4 in both directions: A4's printable area */
        {"custom 210.5 x 296.5 mm", kColourPrinter, [](JobDevmode &dm) { custom(dm, 2105, 2965); }, kA4at600},
        /* wider than no model paper; 450 mm is longer than the largest printable 431.8 mm plus the
           margins, so it is centred: top (4500 - 4318 + 1) / 2 = 91, printable 431.8 mm */
        {"custom 300 x 450 mm", kColourPrinter, [](JobDevmode &dm) { custom(dm, 3000, 4500); },
         {292, 432, 6888, 10200, 99, 215, 7087, 10630, 600, 848, 7, 24}},
        {"borderless A4", kColourPrinter, [](JobDevmode &dm) { dm.set(ID_BORDERLESS, 1); },
         {210, 297, 4961, 7016, 0, 0, 4961, 7016, 600, 848, 7, 24}},
        /* left 5, right 6, top 7, bottom 8 mm */
        {"user margins, portrait", kColourPrinter, userMargins,
         {199, 282, 4701, 6661, 118, 165, 4961, 7016, 600, 848, 7, 24}},
        {"user margins, landscape", kColourPrinter,
         [](JobDevmode &dm) {
             userMargins(dm);
             landscape(dm);
         },
         {282, 199, 6661, 4701, 189, 118, 7016, 4961, 600, 848, 7, 24}},
        {"user margins of another paper", kColourPrinter,
         [](JobDevmode &dm) {
             userMargins(dm);
             dm.put16(PDEV_TAIL_PAPER, DMPAPER_LETTER);
         },
         kA4at600},
        {"borderless wins over user margins", kColourPrinter,
         [](JobDevmode &dm) {
             userMargins(dm);
             dm.set(ID_BORDERLESS, 1);
         },
         {210, 297, 4961, 7016, 0, 0, 4961, 7016, 600, 848, 7, 24}},
    };
    for (const Case &c : cases)
        check(c);
}

TEST_F(PdevGdiInfo, ColourFieldsAndFixedValues)
{
    struct Colour {
        const char *what;
        LONG dmColor, colourMode, fullColour;
        ULONG bits, colours, htFormat;
    } cases[] = {
        {"colour, 24-bit", DMCOLOR_COLOR, 2, 1, 24, 0xFFFFFF, HT_FORMAT_4BPP},
        {"colour, basic colours", DMCOLOR_COLOR, 2, 0, 24, 16, HT_FORMAT_4BPP},
        {"colour device in monochrome mode", DMCOLOR_COLOR, 1, 1, 24, 0xFFFFFF, HT_FORMAT_1BPP},
        {"monochrome", DMCOLOR_MONOCHROME, 1, 1, 1, 2, HT_FORMAT_1BPP},
    };
    Printer printer(kColourPrinter);
    for (const Colour &c : cases) {
        SCOPED_TRACE(c.what);
        JobDevmode dm;
        dm.set(ID_COLOR, c.dmColor);
        dm.set(ID_COLOUR_MODE, c.colourMode);
        dm.set(ID_FULL_COLOUR, c.fullColour);
        Enabled en = enable(printer.handle, dm);
        ASSERT_NE(en.dhpdev, nullptr) << en.error;
        const GDIINFO &g = en.gdi;
        EXPECT_EQ(g.cBitsPixel, c.bits);
        EXPECT_EQ(g.ulNumColors, c.colours);
        EXPECT_EQ(g.ulHTOutputFormat, c.htFormat);
        EXPECT_EQ(g.ulVersion, 0x400u);
        EXPECT_EQ(g.ulTechnology, DT_RASPRINTER);
        EXPECT_EQ(g.cPlanes, 1u);
        EXPECT_EQ(g.flRaster, 0u);
        EXPECT_EQ(g.flTextCaps, 0x19F7u);
        EXPECT_EQ(g.ulAspectX, 600u);
        EXPECT_EQ(g.ulAspectY, 600u);
        EXPECT_EQ(g.xStyleStep, 1);
        EXPECT_EQ(g.yStyleStep, 1);
        EXPECT_EQ(g.flHTFlags, HT_FLAG_HAS_BLACK_DYE);
        EXPECT_EQ(g.ulDevicePelsDPI, 0u);
        EXPECT_EQ(g.ulPrimaryOrder, 0u);
        EXPECT_EQ(g.ciDevice.Red.x, 6380);
        EXPECT_EQ(g.ciDevice.Blue.y, 932);
        EXPECT_EQ(g.ciDevice.AlignmentWhite.x, 3127);
        EXPECT_EQ(g.ciDevice.RedGamma, 12500);
        EXPECT_EQ(g.ciDevice.MagentaInCyanDye, 585);
        EXPECT_EQ(g.ciDevice.YellowInCyanDye, 120);
        EXPECT_EQ(g.ciDevice.MagentaInYellowDye, 10000);
        DrvDisablePDEV(en.dhpdev);
    }
}

TEST_F(PdevGdiInfo, HalftonePatternSizeByResolution)
{
    struct Row {
        LONG a, b;
        BOOL smaller;
        ULONG size;
    } rows[] = {
        {2400, 2400, FALSE, 15}, {1800, 2400, FALSE, 13}, {1200, 1200, FALSE, 11}, {2400, 900, FALSE, 9},
        {600, 600, FALSE, 7},    {400, 400, FALSE, 7},    {399, 600, FALSE, 5},    {180, 180, FALSE, 5},
        {179, 600, FALSE, 3},    {150, 150, FALSE, 3},    {600, 600, TRUE, 5},     {1200, 1200, TRUE, 9},
    };
    for (const Row &r : rows)
        EXPECT_EQ(PDEV_HalftoneSize(r.a, r.b, r.smaller), r.size) << r.a << " " << r.b << " " << r.smaller;
}

TEST_F(PdevGdiInfo, RecordsAreCopiedOnlyAsFarAsTheEngineAsked)
{
    Printer printer(kColourPrinter);
    JobDevmode dm;
    std::vector<BYTE> caps(100, 0xEE), devinfo(8, 0xEE);
    std::u16string name = u"x";
    DHPDEV dhpdev = DrvEnablePDEV(dm.dm(), nullptr, 0, nullptr, ULONG(caps.size()), reinterpret_cast<ULONG *>(caps.data()),
                                  ULONG(devinfo.size()), reinterpret_cast<DEVINFO *>(devinfo.data()), hdev, name.data(),
                                  printer.handle);
    ASSERT_NE(dhpdev, nullptr);
    EXPECT_EQ(plat::load_u32(caps.data(), 0), 0x400u) << "ulVersion";
    EXPECT_EQ(plat::load_u32(caps.data(), 16), 4762u) << "ulHorzRes";
    EXPECT_EQ(plat::load_u32(caps.data(), 96), 4961u) << "szlPhysSize.cx, the last field within 100 bytes";
    EXPECT_EQ(plat::load_u32(devinfo.data(), 0), 0x211Fu) << "flGraphicsCaps";
    EXPECT_EQ(plat::load_u32(devinfo.data(), 4), 0u) << "lfDefaultFont.lfHeight: no device fonts";
    DrvDisablePDEV(dhpdev);
}

TEST_F(PdevGdiInfo, DevInfoOfTheStandardModelsDeviceFonts)
{
    Printer printer(kColourPrinter);
    for (int journal = 0; journal < 2; journal++) {
        JobDevmode dm;
        dm.set(ID_S1333, journal);
        Enabled en = enable(printer.handle, dm);
        ASSERT_NE(en.dhpdev, nullptr) << en.error;
        EXPECT_EQ(en.dev.flGraphicsCaps, journal ? 0x11Fu : 0x211Fu);
        EXPECT_EQ(en.dev.cFonts, 4u) << "four faces shown to the engine";
        EXPECT_EQ(std::u16string(en.dev.lfDefaultFont.lfFaceName), u"Courier") << "setting 384 (0) names Courier";
        EXPECT_EQ(en.dev.lfDefaultFont.lfWeight, 400);
        EXPECT_EQ(en.dev.iDitherFormat, BMF_24BPP);
        EXPECT_EQ(en.dev.cxDither, 0);
        EXPECT_EQ(plat::engine_palette_mode(en.dev.hpalDefault), PAL_BGR);
        EXPECT_EQ(en.pdev()->palette, en.dev.hpalDefault);

        /* a second fill replaces the palette and deletes the first */
        HPALETTE first = en.dev.hpalDefault;
        DEVINFO again{};
        ASSERT_EQ(PDEV_FillDevInfo(en.pdev(), sizeof again, &again), 1);
        EXPECT_NE(again.hpalDefault, first);
        EXPECT_EQ(plat::engine_palette_mode(first), 0u);
        EXPECT_EQ(plat::engine_palette_count(), 1u);
        DrvDisablePDEV(en.dhpdev);
    }
}
