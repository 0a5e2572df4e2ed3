// The small rules the drawing calls share (rectangles, clip decision, ROP3
// and mix tables, depths, near grey) and the text work's maths.
#include "draw_blt.h"
#include "draw_brush.h"
#include "draw_maths.h"

#include <gtest/gtest.h>

#include <cstdint>

namespace {

TEST(DrawRules, NormalizeAndIntersect)
{
    RECTL r;
    const RECTL corners = {30, 40, 10, 20};
    BLT_NormalizeRect(&corners, &r);
    EXPECT_EQ(r.left, 10);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.right, 30);
    EXPECT_EQ(r.bottom, 40);

    const RECTL bounds = {15, 0, 25, 35};
    BLT_IntersectClipBounds(&r, &bounds);
    EXPECT_EQ(r.left, 15);
    EXPECT_EQ(r.top, 20);
    EXPECT_EQ(r.right, 25);
    EXPECT_EQ(r.bottom, 35);
}

TEST(DrawRules, ClipByIntersectionOnlyForAnUnstretchedBltPokingOutOfARectangle)
{
    CLIPOBJ clip = {};
    clip.iDComplexity = DC_RECT;
    clip.rclBounds = {10, 10, 100, 100};
    const RECTL inside = {20, 20, 50, 50};
    const RECTL out = {0, 20, 50, 50};
    const RECTL outFlipped = {50, 50, 0, 20};
    const RECTL stretched = {0, 0, 10, 10};
    EXPECT_FALSE(BLT_ClipByIntersection(&inside, &inside, &clip));
    EXPECT_TRUE(BLT_ClipByIntersection(&out, &out, &clip));
    EXPECT_TRUE(BLT_ClipByIntersection(&out, &outFlipped, &clip));
    EXPECT_FALSE(BLT_ClipByIntersection(&stretched, &out, &clip));
    clip.iDComplexity = DC_TRIVIAL;
    EXPECT_FALSE(BLT_ClipByIntersection(&out, &out, &clip));
    EXPECT_FALSE(BLT_ClipByIntersection(&out, &out, nullptr));
    /* Extreme corners neither overflow nor match a small extent. */
    const RECTL huge = {INT32_MIN, INT32_MIN, INT32_MAX, INT32_MAX};
    EXPECT_FALSE(BLT_ClipByIntersection(&stretched, &huge, &clip));
}

TEST(DrawRules, RopUsesPatternExceptSourceAndDestinationOnly)
{
    const BYTE noPattern[] = {0x11, 0x22, 0x33, 0x44, 0x66, 0x77, 0x88, 0x99, 0xBB, 0xCC, 0xDD, 0xEE};
    int without = 0;
    for (int rop = 0; rop < 256; ++rop) {
        bool listed = false;
        for (BYTE r : noPattern)
            listed |= r == rop;
        EXPECT_EQ(BLT_RopUsesPattern(BYTE(rop)), !listed) << rop;
        without += !BLT_RopUsesPattern(BYTE(rop));
    }
    EXPECT_EQ(without, 12);
}

TEST(DrawRules, BitsPerPixelOfEachFormat)
{
    const struct {
        ULONG format, bits;
    } cases[] = {{BMF_1BPP, 1}, {BMF_4BPP, 4}, {BMF_8BPP, 8}, {BMF_16BPP, 16}, {BMF_24BPP, 24}, {BMF_32BPP, 32},
                 {0, 0},        {7, 0},        {0xFFFFFFFF, 0}};
    for (const auto &c : cases)
        EXPECT_EQ(BLT_BitsPerPixel(c.format), c.bits) << c.format;
}

TEST(DrawRules, NearGreyToleranceFollowsTheBrightnessBand)
{
    const struct {
        BYTE r, g, b;
        bool grey;
    } cases[] = {
        {7, 7, 7, true},        {255, 255, 255, true},
        {10, 15, 15, true},     /* mean 13.3, band 0: 5 */
        {10, 20, 15, true},     /* mean 15: min 10 = 15 - 5, max 20 = 15 + 5 */
        {9, 20, 16, false},     /* mean 15: min 9 < 15 - 5 */
        {200, 204, 202, true},  /* mean 202, band 3: 2 */
        {200, 206, 203, false}, /* min 200 < 203 - 2 */
        {130, 135, 133, true},  /* mean 132.7, band 2: 5 */
    };
    for (const auto &c : cases)
        EXPECT_EQ(BLT_IsNearGrey(c.r, c.g, c.b), c.grey) << int(c.r) << "," << int(c.g) << "," << int(c.b);
}

TEST(DrawRules, MixAndRopTables)
{
    /* R2_ code n -> ROP3, the table of the brushes. */
    const BYTE rop[17] = {0, 0x00, 0x05, 0x0A, 0x0F, 0x50, 0x55, 0x5A, 0x5F,
                          0xA0, 0xA5, 0xAA, 0xAF, 0xF0, 0xF5, 0xFA, 0xFF};
    for (ULONG n = 1; n <= 16; ++n) {
        EXPECT_EQ(BRS_MixToRop(n << 8 | n), WORD(rop[n] << 8 | rop[n])) << n;
        EXPECT_EQ(BRS_RopToMix(ROP4(rop[n]) << 8 | rop[n]), MIX(n << 8 | n)) << n;
    }
    EXPECT_EQ(BRS_MixToRop(0x0B0D), 0xAAF0);  /* background R2_NOP, foreground R2_COPYPEN */
    EXPECT_EQ(BRS_RopToMix(0xAACC), 0x0B0Du); /* 0xCC is not in the table: 13 */
    EXPECT_EQ(BRS_RopToMix(0x0000), 0x0101u);
}

TEST(DrawMaths, SeriesAndRoots)
{
    const float pi = 3.141592f;
    const struct {
        float got, want;
    } cases[] = {
        {MTH_Sin(0), 0},           {MTH_Sin(pi / 2), 1},     {MTH_Sin(pi / 6), 0.5f},
        {MTH_Sin(3 * pi / 2), -1}, {MTH_Cos(0), 1},          {MTH_Cos(pi), -1},
        {MTH_Cos(5 * pi / 3), 0.5f}, {MTH_Sqrt(16), 4},      {MTH_Sqrt(0.25f), 0.5f},
        {MTH_Sqrt(0), 0},          {MTH_Sqrt(-4), 0},        {MTH_Atan(1), pi / 4},
        {MTH_Atan(-1), -pi / 4},   {MTH_Atan(1000), pi / 2 - 0.001f}, {MTH_Atan(-1000), -pi / 2 + 0.001f},
        {MTH_Asin(0.5f), pi / 6},  {MTH_Asin(1), pi / 2},    {MTH_Asin(-1), -pi / 2},
        {MTH_Asin(1.5f), pi / 2},  {MTH_Hypot(3, 4), 5},     {MTH_Hypot(0, -2), 2},
        {MTH_Hypot(-3, 0), 3},     {MTH_Hypot(0.6f, 0.8f), 1},
    };
    for (size_t i = 0; i < sizeof cases / sizeof cases[0]; ++i)
        EXPECT_NEAR(cases[i].got, cases[i].want, 2e-5f) << "case " << i;
}

TEST(DrawMaths, AngleDegrees)
{
    EXPECT_EQ(MTH_AngleDegrees(1, 0), 0);
    EXPECT_EQ(MTH_AngleDegrees(0, 0), 0);
    EXPECT_EQ(MTH_AngleDegrees(0, 2), 90);
    EXPECT_EQ(MTH_AngleDegrees(-3, 0), 180);
    EXPECT_EQ(MTH_AngleDegrees(0, -1), 270);
    /* 30-degree steps: sine 1/2 at 30, 150, 210, 330 and root 3 / 2 at 60, 120, 240, 300; the float
       result lies a hair either side of the whole degree (59.99999 for 60) and is rounded to it. */
    const float root3 = 1.7320508f;
    const struct {
        float x, y;
        LONG degrees;
    } steps[] = {
        {root3, 1, 30},  {1, root3, 60},   {-1, root3, 120},  {-root3, 1, 150},
        {-root3, -1, 210}, {-1, -root3, 240}, {1, -root3, 300}, {root3, -1, 330},
        {1, 1, 45},      {-1, 1, 135},     {-1, -1, 225},     {1, -1, 315},
    };
    for (const auto &s : steps)
        EXPECT_EQ(MTH_AngleDegrees(s.x, s.y), s.degrees) << s.x << "," << s.y;
    for (float x : {1.0f, -1.0f})
        for (float y : {1.0f, -1.0f}) {
            LONG a = MTH_AngleDegrees(x, y);
            EXPECT_GE(a, 0);
            EXPECT_LT(a, 360);
        }
}

TEST(DrawMaths, IntHypotIsTheSmallestRootNotBelow)
{
    const struct {
        LONG a, b, r;
    } cases[] = {
        {3, 4, 5}, {-3, 4, 5}, {5, -12, 13}, {0, -7, 7}, {-5, 0, 5}, {1, 1, 2}, {0, 0, 0}, {10, 1, 11}, {100, 1, 101},
        {INT32_MIN, 0, INT32_MAX}, {INT32_MAX, INT32_MAX, INT32_MAX}, /* beyond LONG: its largest value */
        {46341, 1, 46342},
    };
    for (const auto &c : cases)
        EXPECT_EQ(MTH_IntHypot(c.a, c.b), c.r) << c.a << "," << c.b;
}

} // namespace
