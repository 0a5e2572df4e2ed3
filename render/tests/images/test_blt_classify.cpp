// Colour classification of images and brush patterns: exact and tolerant
// grey tests on RGB pixels and palettes, the page marked coloured at the
// first colour, the scan state, the page's colour set fed in red, green,
// blue, and the refusals.
#include "draw_test_support.h"

#include "job_settings.h"
#include "job_state.h"

#include <gtest/gtest.h>

using namespace draw_test;

namespace {

class Classify : public DrawTest {
protected:
    /* A page open with its colour undecided; `exact` chooses the exact grey test. */
    void undecided(bool exact)
    {
        open();
        settings.tolerantGreyTest = exact ? 0 : 1;
        pdev->jobSettings = &settings;
        pdev->jobState = JOB_OPEN | JOB_SHEET_SET_UP | JOB_SHEET_OPEN;
        pdev->pageColorMode = JOB_PAGE_COLOR_UNDECIDED;
    }
    void TearDown() override
    {
        if (pdev)
            pdev->jobSettings = nullptr;
        DrawTest::TearDown();
    }
    int rgb(const std::vector<BYTE> &bgr)
    {
        return BLT_ClassifyImageColors(pdev->colorScanState, &pdev->pageColors, ctx(), bgr.data(),
                                       LONG(bgr.size() / 3), 1, nullptr, 0, 4, 24);
    }
    JobSettings settings{};
};

TEST_F(Classify, RgbPixelsExactAndTolerant)
{
    struct Case {
        bool exact;
        std::vector<BYTE> bgr;
        LONG state;
    } cases[] = {
        {true, {10, 10, 10, 200, 200, 200}, 2},
        {true, {10, 10, 10, 101, 100, 100}, 1},
        {false, {101, 102, 100, 0, 0, 0}, 3},   /* mean 101, tolerance 5 */
        {false, {100, 110, 100}, 1},            /* 110 > 103.3 + 5 */
        {false, {190, 194, 192}, 3},            /* mean 192: band 3, tolerance 2 */
        {false, {189, 195, 192}, 1},
        {false, {60, 66, 63}, 3},               /* mean 63: band 0, tolerance 5 */
    };
    for (const Case &c : cases) {
        undecided(c.exact);
        EXPECT_EQ(rgb(c.bgr), 0);
        EXPECT_EQ(*pdev->colorScanState, c.state) << int(c.bgr[0]) << " " << c.exact;
        EXPECT_EQ(pdev->pageColorMode, c.state == 1 ? LONG(JOB_PAGE_COLOR_COLOR) : LONG(JOB_PAGE_COLOR_UNDECIDED));
    }
}

TEST_F(Classify, PalettesAndTheirPixels)
{
    undecided(true);
    const BYTE greys[6] = {0, 0, 0, 255, 255, 255};
    const BYTE withRed[9] = {0, 0, 0, 255, 255, 255, 0, 0, 255};
    /* 4-bit pixels of a 4 x 2 image: indices 0 1 1 0 / 1 0 0 1 */
    const BYTE nibbles[4] = {0x01, 0x10, 0x10, 0x01};
    EXPECT_EQ(BLT_ClassifyImageColors(pdev->colorScanState, nullptr, ctx(), nibbles, 4, 2, greys, 2, 11, 4), 0);
    EXPECT_EQ(*pdev->colorScanState, 2) << "a grey palette needs no look at the pixels";
    EXPECT_EQ(BLT_ClassifyImageColors(pdev->colorScanState, nullptr, ctx(), nibbles, 4, 2, withRed, 3, 11, 4), 0);
    EXPECT_EQ(*pdev->colorScanState, 2) << "the red entry is not used";
    const BYTE usesRed[4] = {0x02, 0x10, 0x10, 0x01};
    EXPECT_EQ(BLT_ClassifyImageColors(pdev->colorScanState, nullptr, ctx(), usesRed, 4, 2, withRed, 3, 11, 4), 0);
    EXPECT_EQ(*pdev->colorScanState, 1);

    undecided(true);
    const BYTE pastPalette[4] = {0xF0, 0x00, 0x00, 0x00}; /* index 15 of a 3-entry palette: entry 0 */
    EXPECT_EQ(BLT_ClassifyImageColors(pdev->colorScanState, nullptr, ctx(), pastPalette, 4, 2, withRed, 3, 11, 4), 0);
    EXPECT_EQ(*pdev->colorScanState, 2);
    const BYTE bits[2] = {0x40, 0x00}; /* 1-bit, 8 x 2: pixel 1 of row 0 is entry 1 */
    const BYTE blackRed[6] = {0, 0, 0, 0, 0, 255};
    EXPECT_EQ(BLT_ClassifyImageColors(pdev->colorScanState, nullptr, ctx(), bits, 8, 2, blackRed, 2, 11, 1), 0);
    EXPECT_EQ(*pdev->colorScanState, 1);
}

TEST_F(Classify, KnownPageColourTestsNothingAndOddImagesAreRefused)
{
    open(); /* no page open: the page's colour counts as known */
    const std::vector<BYTE> red = {0, 0, 255};
    EXPECT_EQ(rgb(red), 0);
    EXPECT_EQ(*pdev->colorScanState, 4);

    undecided(true);
    const BYTE px[3] = {1, 2, 3};
    EXPECT_EQ(BLT_ClassifyImageColors(pdev->colorScanState, nullptr, ctx(), px, 1, 1, nullptr, 0, 4, 8), -1)
        << "an image the test cannot read while the colour is undecided";
    EXPECT_EQ(BLT_ClassifyImageColors(pdev->colorScanState, nullptr, ctx(), px, 1, 1, nullptr, 0, 11, 8), -1)
        << "a palette image without its palette";
    EXPECT_EQ(BLT_ClassifyImageColors(pdev->colorScanState, nullptr, nullptr, px, 1, 1, nullptr, 0, 4, 24), -1);
    EXPECT_EQ(BLT_ClassifyImageColors(pdev->colorScanState, nullptr, ctx(), nullptr, 1, 1, nullptr, 0, 4, 24), -1);
    EXPECT_EQ(BLT_ClassifyImageColors(pdev->colorScanState, nullptr, ctx(), px, 0, 1, nullptr, 0, 4, 24), -1);
}

TEST_F(Classify, ThePageColourSetTakesRedGreenBlue)
{
    undecided(true);
    ASSERT_EQ(PCS_Init(&pdev->pageColors, 1, 15, 0), 0);
    std::vector<BYTE> bgr(3 * 200, 0xFF); /* more rows than one chunk */
    bgr[0] = 0x11, bgr[1] = 0x22, bgr[2] = 0x33;
    EXPECT_EQ(BLT_ClassifyImageColors(pdev->colorScanState, &pdev->pageColors, ctx(), bgr.data(), 1, 200, nullptr, 0,
                                      4, 24),
              0);
    EXPECT_EQ(pdev->pageColors.count, 1);
    EXPECT_EQ(pdev->pageColors.colors[1], 0x332211);
    const BYTE palette[6] = {0x00, 0x00, 0xFF, 0xFF, 0xFF, 0xFF};
    const BYTE bits[1] = {0x00};
    EXPECT_EQ(BLT_ClassifyImageColors(pdev->colorScanState, &pdev->pageColors, ctx(), bits, 1, 1, palette, 2, 11, 1),
              0);
    EXPECT_EQ(pdev->pageColors.count, 2);
    EXPECT_EQ(pdev->pageColors.colors[2], 0xFF0000);
}

TEST_F(Classify, PatternColoursThroughTheColourObject)
{
    JobDevmode dm;
    baseSettings(dm);
    dm.set(293, 2);
    dm.set(455, 2); /* grey handling for graphics */
    open(dm);
    const BYTE grey[6] = {0x30, 0x30, 0x30, 0x90, 0x90, 0x90}, colour[3] = {1, 2, 3};
    BYTE out[6] = {};
    EXPECT_EQ(BLT_ConvertPatternColors(ctx(), grey, out, 2, FALSE), 2);
    EXPECT_EQ(out[0], 0x30);
    EXPECT_EQ(out[1], 0x90);
    EXPECT_EQ(BLT_ConvertPatternColors(ctx(), colour, out, 1, FALSE), 1);
    EXPECT_EQ(out[2], 3);
    EXPECT_EQ(BLT_ConvertPatternColors(ctx(), colour, out, 0, FALSE), 0);
    EXPECT_EQ(BLT_ConvertPatternColors(nullptr, colour, out, 1, FALSE), 0);
    CLR_FreeColorObject(pdev->colorObject);
    pdev->colorObject = nullptr;
    EXPECT_EQ(BLT_ConvertPatternColors(ctx(), colour, out, 1, FALSE), 0) << "no colour object";
}

TEST_F(Classify, ScanStateLivesWithTheJob)
{
    open();
    ASSERT_NE(pdev->colorScanState, nullptr);
    EXPECT_EQ(*pdev->colorScanState, 4);
    BLT_FreeColorScanState(ctx());
    EXPECT_EQ(pdev->colorScanState, nullptr);
    BLT_FreeColorScanState(ctx());
    EXPECT_EQ(BLT_CreateColorScanState(nullptr), -1);
}

} // namespace
