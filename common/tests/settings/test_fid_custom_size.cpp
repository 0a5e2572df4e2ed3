/*
 * Tests of the setting-based paper rules: the custom size between the
 * extension block and the public paper fields, the user-size flag, and the
 * resolution limit for long papers (28,000 dots on the longer side).
 */
#include "test_fid_support.h"

#include <tarvel/settings/fid_custom_size.h>

namespace {

using namespace fid_test;

class FidCustomSize : public SchemaTest {
protected:
    void SetUp() override
    {
        SchemaTest::SetUp();
        install(kColour, "");
    }
    Records rec_;
};

TEST_F(FidCustomSize, GetAndCopyTheCustomSize)
{
    ASSERT_EQ(put(1863, rec_.dm(), rec_.pd(), 1500), DMA_OK);
    ASSERT_EQ(put(1864, rec_.dm(), rec_.pd(), 2500), DMA_OK);
    LONG width = 0, length = 0;
    ASSERT_TRUE(FID_GetCustomSize(rec_.dm(), rec_.pd(), &width, &length));
    EXPECT_EQ(width, 1500);
    EXPECT_EQ(length, 2500);
    EXPECT_FALSE(FID_GetCustomSize(rec_.dm(), rec_.pd(), nullptr, &length));
    EXPECT_FALSE(FID_GetCustomSize(nullptr, rec_.pd(), &width, &length));

    ASSERT_TRUE(FID_CopyCustomSize(FID_CUSTOM_TO_PUBLIC, rec_.dm(), rec_.pd()));
    EXPECT_EQ(read(10, rec_.dm(), rec_.pd()).number(), 1500);
    EXPECT_EQ(read(9, rec_.dm(), rec_.pd()).number(), 2500);

    ASSERT_EQ(put(10, rec_.dm(), rec_.pd(), 1000), DMA_OK);
    ASSERT_EQ(put(9, rec_.dm(), rec_.pd(), 1480), DMA_OK);
    ASSERT_TRUE(FID_CopyCustomSize(FID_PUBLIC_TO_CUSTOM, rec_.dm(), rec_.pd()));
    EXPECT_EQ(read(1863, rec_.dm(), rec_.pd()).number(), 1000);
    EXPECT_EQ(read(1864, rec_.dm(), rec_.pd()).number(), 1480);

    EXPECT_FALSE(FID_CopyCustomSize(2, rec_.dm(), rec_.pd()));
    EXPECT_FALSE(FID_CopyCustomSize(-1, rec_.dm(), rec_.pd()));
    EXPECT_FALSE(FID_CopyCustomSize(FID_CUSTOM_TO_PUBLIC, nullptr, rec_.pd()));
}

TEST_F(FidCustomSize, UserSizeFlag)
{
    EXPECT_EQ(FID_GetUserSizeFlag(rec_.dm(), rec_.pd()), 0u);
    ASSERT_EQ(put(5200, rec_.dm(), rec_.pd(), 1), DMA_OK);
    EXPECT_EQ(FID_GetUserSizeFlag(rec_.dm(), rec_.pd()), 1u);
    EXPECT_EQ(FID_GetUserSizeFlag(rec_.dm(), nullptr), 0u) << "unreadable";
}

TEST_F(FidCustomSize, ResolutionLimitForLongPapers)
{
    struct Case {
        WORD width, length;
        SHORT resolution;
        BOOL ok;
        SHORT after;
    } cases[] = {
        {2100, 2970, 600, 1, 600},     /* a = 2,394: kept */
        {2100, 12000, 600, 1, 300},    /* a = 592: 300 */
        {2100, 11853, 600, 1, 600},    /* a = 600: kept (600 is at most a) */
        {2100, 11854, 600, 1, 300},    /* a = 599 */
        {12000, 2100, 1200, 1, 300},   /* the longer side may be the width */
        {2100, 2970, 1200, 1, 1200},   /* a = 2,394: 1,200 is kept */
        {2100, 6000, 1200, 1, 600},    /* a = 1,185 */
        {2100, 23000, 600, 1, 300},    /* a = 309 */
        {2100, 24000, 600, 1, 200},    /* a = 296 */
        {2100, 36000, 600, 0, 600},    /* a = 197: nothing fits */
        {0, 0, 600, 0, 600},           /* no size */
        {0xFFF6, 0xFFEC, 600, 0, 600}, /* -10 x -20 read unsigned: a = 108 */
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.width << " x " << c.length << " at " << c.resolution);
        ASSERT_EQ(put(10, rec_.dm(), rec_.pd(), c.width), DMA_OK);
        ASSERT_EQ(put(9, rec_.dm(), rec_.pd(), c.length), DMA_OK);
        ASSERT_EQ(put(20, rec_.dm(), rec_.pd(), static_cast<WORD>(c.resolution)), DMA_OK);
        ASSERT_EQ(put(21, rec_.dm(), rec_.pd(), static_cast<WORD>(c.resolution)), DMA_OK);
        EXPECT_EQ(FID_LimitResolutionForPaper(rec_.dm()), c.ok);
        EXPECT_EQ(read(20, rec_.dm(), rec_.pd()).number(), c.after);
        EXPECT_EQ(read(21, rec_.dm(), rec_.pd()).number(), c.after);
    }
    EXPECT_FALSE(FID_LimitResolutionForPaper(nullptr));
}

} // namespace
