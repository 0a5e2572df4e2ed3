// The colour-adjustment matrix, its application to pixels and the grey
// conversion.  Expected coefficients are the 16.16 values worked out by hand
// from the factor formulas (x 65536, truncated toward zero); expected pixels
// follow the 14-bit, x 257, / 2^22 arithmetic by hand.
#include <tarvel/base/color_adjust.h>

#include <gtest/gtest.h>

#include <array>
#include <cstring>
#include <iterator>
#include <vector>

namespace {

using Pixel = std::array<BYTE, 3>; /* blue, green, red */

Pixel adjust_pixel(const AdjustMatrix &m, Pixel p)
{
    Pixel out{};
    CLU_ApplyAdjustMatrix(&m, p.data(), out.data(), 1);
    return out;
}

AdjustMatrix build(SHORT a, SHORT b, SHORT c)
{
    AdjustMatrix m;
    EXPECT_EQ(CLU_BuildAdjustMatrix(&m, a, b, c), 0);
    return m;
}

} // namespace

TEST(AdjustMatrix, CoefficientsAndOffsets)
{
    struct Case {
        SHORT a, b, c;
        std::array<LONG, 9> m;
        LONG offset;
    } cases[] = {
        /* s = k = 1: the identity */
        {0, 0, 0, {65536, 0, 0, 0, 65536, 0, 0, 0, 65536}, 0},
        /* k = 1.3: 1.09, 0.177, 0.033 / 0.09, 1.177, 0.033 / 0.09, 0.177, 1.033;
         * offset -76.5 */
        {0, 0, 100, {71434, 11599, 2162, 5898, 77135, 2162, 5898, 11599, 67698}, -5013504},
        /* s = 0.5: 0.65, 0.295, 0.055 / 0.15, 0.795, 0.055 / 0.15, 0.295, 0.555 */
        {0, -100, 0, {42598, 19333, 3604, 9830, 52101, 3604, 9830, 19333, 36372}, 0},
        /* s = 2: 1.7, -0.59, -0.11 / -0.3, 1.41, -0.11 / -0.3, -0.59, 1.89;
         * negative values truncate toward zero */
        {0, 100, 0, {111411, -38666, -7208, -19660, 92405, -7208, -19660, -38666, 123863}, 0},
        /* brightness alone moves the offset by a / 2 */
        {100, 0, 0, {65536, 0, 0, 0, 65536, 0, 0, 0, 65536}, 3276800},
        {-100, 0, 0, {65536, 0, 0, 0, 65536, 0, 0, 0, 65536}, -3276800},
        {1, 0, 0, {65536, 0, 0, 0, 65536, 0, 0, 0, 65536}, 32768},
        {-1, 0, 0, {65536, 0, 0, 0, 65536, 0, 0, 0, 65536}, -32768},
        /* k = 0.7: offset 76.5; 0.21 + 0.7 = 0.91, 0.59 * -0.3 = -0.177 */
        {0, 0, -100, {59637, -11599, -2162, -5898, 53936, -2162, -5898, -11599, 63373}, 5013504},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "a " << c.a << " b " << c.b << " c " << c.c);
        AdjustMatrix m = build(c.a, c.b, c.c);
        for (int i = 0; i < 9; i++)
            EXPECT_EQ(m.m[i], c.m[size_t(i)]) << "m" << i;
        for (int i = 0; i < 3; i++)
            EXPECT_EQ(m.offset[i], c.offset) << "offset " << i;
    }
}

TEST(AdjustMatrix, StepsAreClampedAndAMatrixIsRequired)
{
    AdjustMatrix clamped = build(300, -250, 101);
    AdjustMatrix limits = build(100, -100, 100);
    EXPECT_EQ(std::memcmp(&clamped, &limits, sizeof clamped), 0);
    AdjustMatrix low = build(-32768, -32768, -32768);
    AdjustMatrix lowLimits = build(-100, -100, -100);
    EXPECT_EQ(std::memcmp(&low, &lowLimits, sizeof low), 0);
    EXPECT_EQ(CLU_BuildAdjustMatrix(nullptr, 0, 0, 0), -1);
}

TEST(AdjustMatrix, IdentityCopiesEveryValueExactly)
{
    AdjustMatrix id = build(0, 0, 0);
    std::vector<BYTE> src(256 * 3), dst(256 * 3, 0xAA);
    for (int v = 0; v < 256; v++) {
        src[size_t(v) * 3] = BYTE(v);
        src[size_t(v) * 3 + 1] = BYTE(255 - v);
        src[size_t(v) * 3 + 2] = BYTE(v * 7);
    }
    CLU_ApplyAdjustMatrix(&id, src.data(), dst.data(), 256);
    EXPECT_EQ(dst, src);
}

TEST(AdjustMatrix, AppliedToPixels)
{
    struct Case {
        SHORT a, b, c;
        Pixel in, out;
    } cases[] = {
        /* contrast 100: black stays 0 (clamped), white stays 255:
         * 21297 * 65535 / 2^22 = 332, 332 - 77 = 255 */
        {0, 0, 100, {0, 0, 0}, {0, 0, 0}},
        {0, 0, 100, {255, 255, 255}, {255, 255, 255}},
        /* 21297 * 32896 / 2^22 = 167; the offset -76.5 counts as -77: 90 */
        {0, 0, 100, {128, 128, 128}, {90, 90, 90}},
        /* saturation -100 on pure red: 10649 * 65535 / 2^22 = 166 and
         * 2457 * 65535 / 2^22 = 38 */
        {0, -100, 0, {0, 0, 255}, {38, 38, 166}},
        /* saturation 100 on pure red: 435 clamps to 255, -76 to 0 */
        {0, 100, 0, {0, 0, 255}, {0, 0, 255}},
        /* brightness 100 and saturation 100 on green 1: the red and blue sums
         * -9667 * 257 / 2^22 = -0.59 go toward zero (50, not 49); green
         * 23101 * 257 / 2^22 = 1.4 gives 51 */
        {100, 100, 0, {0, 1, 0}, {50, 51, 50}},
        /* brightness -1: offset -0.5 counts as -1 */
        {-1, 0, 0, {10, 20, 30}, {9, 19, 29}},
        {-1, 0, 0, {0, 0, 0}, {0, 0, 0}},
        /* brightness 1: offset 0.5 counts as 0 */
        {1, 0, 0, {10, 20, 30}, {10, 20, 30}},
        /* brightness 100 lifts by 50 and clamps at 255 */
        {100, 0, 0, {10, 200, 230}, {60, 250, 255}},
    };
    for (const auto &c : cases) {
        SCOPED_TRACE(testing::Message() << "a " << c.a << " b " << c.b << " c " << c.c << " pixel " << int(c.in[0])
                                        << "," << int(c.in[1]) << "," << int(c.in[2]));
        Pixel got = adjust_pixel(build(c.a, c.b, c.c), c.in);
        EXPECT_EQ(int(got[0]), int(c.out[0])) << "blue";
        EXPECT_EQ(int(got[1]), int(c.out[1])) << "green";
        EXPECT_EQ(int(got[2]), int(c.out[2])) << "red";
    }
}

TEST(AdjustMatrix, InPlaceCopyAndMissingBuffers)
{
    AdjustMatrix m = build(0, -100, 0);
    BYTE px[6] = {0, 0, 255, 0, 0, 255};
    CLU_ApplyAdjustMatrix(&m, px, px, 2);
    const BYTE expect[6] = {38, 38, 166, 38, 38, 166};
    EXPECT_EQ(std::memcmp(px, expect, 6), 0);

    const BYTE src[6] = {1, 2, 3, 4, 5, 6};
    BYTE dst[6] = {};
    CLU_ApplyAdjustMatrix(nullptr, src, dst, 2);
    EXPECT_EQ(std::memcmp(dst, src, 6), 0) << "no matrix: copied";

    BYTE untouched[6] = {9, 9, 9, 9, 9, 9};
    CLU_ApplyAdjustMatrix(&m, nullptr, untouched, 2);
    CLU_ApplyAdjustMatrix(&m, src, untouched, 0);
    CLU_ApplyAdjustMatrix(&m, src, untouched, -1);
    CLU_ApplyAdjustMatrix(nullptr, src, untouched, -1);
    CLU_ApplyAdjustMatrix(&m, src, nullptr, 2);
    for (BYTE b : untouched)
        EXPECT_EQ(b, 9);
}

TEST(RgbToGrey, EqualBytesKeepTheirValueOthersUseTheWeights)
{
    struct Case {
        Pixel in;
        BYTE grey;
    } cases[] = {
        {{0, 0, 0}, 0},       {{255, 255, 255}, 255}, {{10, 10, 10}, 10},
        {{255, 0, 0}, 84},    /* blue: 255 * 85 / 256 = 84.7 */
        {{0, 0, 255}, 84},    /* red, the same weight */
        {{0, 255, 0}, 85},    /* green: 255 * 86 / 256 = 85.7 */
        {{0, 255, 255}, 170}, /* yellow: (21675 + 21930) / 256 = 170.3 */
        {{255, 255, 254}, 254}, {{1, 0, 0}, 0}, {{0, 3, 0}, 1},
    };
    std::vector<BYTE> src, dst(std::size(cases), 0xAA);
    for (const auto &c : cases)
        src.insert(src.end(), c.in.begin(), c.in.end());
    /* Two rows of five pixels. */
    CLU_RgbToGrey(src.data(), dst.data(), 5, 2);
    for (size_t i = 0; i < std::size(cases); i++)
        EXPECT_EQ(int(dst[i]), int(cases[i].grey)) << "pixel " << i;
}

TEST(RgbToGrey, NothingHappensWithoutBuffersOrSize)
{
    const BYTE src[3] = {0, 0, 255};
    BYTE dst[1] = {7};
    CLU_RgbToGrey(nullptr, dst, 1, 1);
    CLU_RgbToGrey(src, dst, 0, 1);
    CLU_RgbToGrey(src, dst, 1, 0);
    CLU_RgbToGrey(src, dst, -1, -1);
    EXPECT_EQ(dst[0], 7);
    CLU_RgbToGrey(src, nullptr, 1, 1);
}
