// The blt core through the library's entry points in a running job: the
// ROP4 roads that hand back to the engine (with the arguments it gets),
// draw nothing or write nothing, DrvCopyBits from the device, invalid
// contexts, and the transparent blt's white value and mask.
#include "blt_test_support.h"
#include "job_listing.h"

#include <plat/error.h>

#include <gtest/gtest.h>

namespace {

using namespace job_test;
using blt_test::Bitmap;

class BltCore : public JobTest {
protected:
    void SetUp() override
    {
        JobTest::SetUp();
        dm->set(1334, 0);
        enableContext();
        ASSERT_TRUE(startDoc());
        ASSERT_TRUE(DrvStartPage(so));
        plat::engine_fallback_clear();
    }
    void TearDown() override
    {
        plat::engine_fallback_clear();
        JobTest::TearDown();
    }
};

TEST_F(BltCore, RefusedRop4sGoBackToTheEngineByEntryPoint)
{
    Bitmap src(8, 8, BMF_24BPP, false);
    Bitmap mask(8, 8, BMF_1BPP, false);
    BRUSHOBJ *brush = plat::engine_make_solid_brush(0x123456);
    RECTL r{10, 20, 18, 28};
    POINTL p{0, 0};
    struct Case {
        const char *name;
        std::function<BOOL()> call;
        const char *engine; /* null: nothing handed back */
        ROP4 rop4;
    } cases[] = {
        {"DrvBitBlt, foreground 0xCC, background 0xAA",
         [&] { return DrvBitBlt(so, &src.so, nullptr, nullptr, nullptr, &r, &p, nullptr, nullptr, nullptr, 0xAACC); },
         "EngBitBlt", 0xAACC},
        {"DrvStretchBltROP with the same ROP4",
         [&] {
             return DrvStretchBltROP(so, &src.so, nullptr, nullptr, nullptr, nullptr, nullptr, &r, &r, nullptr, 3,
                                     nullptr, 0xAACC);
         },
         "EngStretchBltROP", 0xAACC},
        {"0xAAF0 with a mask",
         [&] { return DrvBitBlt(so, nullptr, &mask.so, nullptr, nullptr, &r, &p, &p, brush, &p, 0xAAF0); },
         "EngBitBlt", 0xAAF0},
        {"0xCCAA without a brush",
         [&] { return DrvBitBlt(so, &src.so, nullptr, nullptr, nullptr, &r, &p, nullptr, nullptr, nullptr, 0xCCAA); },
         "EngBitBlt", 0xCCAA},
        {"0xCCAA with a brush and no mask: nothing at all",
         [&] { return DrvBitBlt(so, &src.so, nullptr, nullptr, nullptr, &r, &p, nullptr, brush, &p, 0xCCAA); },
         nullptr, 0},
        {"0xAAAA: nothing drawn",
         [&] { return DrvBitBlt(so, nullptr, nullptr, nullptr, nullptr, &r, &p, nullptr, nullptr, nullptr, 0xAAAA); },
         nullptr, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        plat::engine_fallback_clear();
        EXPECT_TRUE(c.call());
        const auto log = plat::engine_fallback_log();
        if (!c.engine) {
            EXPECT_TRUE(log.empty());
            continue;
        }
        ASSERT_EQ(log.size(), 1u);
        EXPECT_EQ(log[0].name, c.engine);
        EXPECT_EQ(log[0].rop4, c.rop4);
        EXPECT_EQ(log[0].dest.left, 10);
        EXPECT_EQ(log[0].dest.bottom, 28);
    }
    /* The engine's answer is the call's answer. */
    plat::engine_fallback_clear();
    plat::engine_fallback_script(FALSE);
    EXPECT_FALSE(DrvBitBlt(so, &src.so, nullptr, nullptr, nullptr, &r, &p, nullptr, nullptr, nullptr, 0xAACC));
    plat::engine_free_brush(brush);
    EXPECT_TRUE(DrvSendPage(so));
    EXPECT_TRUE(DrvEndDoc(so, 0));
}

TEST_F(BltCore, CopyBitsFromTheDeviceFillsTheBitmapWithWhite)
{
    Bitmap dest(16, 16, BMF_24BPP, false);
    RECTL r{2, 3, 12, 13};
    POINTL p{0, 0};
    EXPECT_TRUE(DrvCopyBits(&dest.so, so, nullptr, nullptr, &r, &p));
    const auto log = plat::engine_fallback_log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].name, "EngEraseSurface");
    EXPECT_EQ(log[0].color, 0xFFFFFFFFu);
    EXPECT_EQ(log[0].dest.right, 12);

    Bitmap src(16, 16, BMF_24BPP, false);
    SetLastError(0);
    EXPECT_FALSE(DrvCopyBits(&dest.so, &src.so, nullptr, nullptr, &r, &p)) << "bitmap to bitmap is not ours";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(BltCore, EveryEntryRefusesAnInvalidContext)
{
    SURFOBJ bad{};
    BYTE junk[64] = {};
    bad.dhpdev = reinterpret_cast<DHPDEV>(&junk);
    bad.iType = STYPE_DEVICE;
    Bitmap src(4, 4, BMF_24BPP, false);
    RECTL r{0, 0, 4, 4};
    POINTL p{0, 0};
    std::function<BOOL()> calls[] = {
        [&] { return DrvBitBlt(&bad, &src.so, nullptr, nullptr, nullptr, &r, &p, nullptr, nullptr, nullptr, 0xCCCC); },
        [&] { return DrvCopyBits(&bad, &src.so, nullptr, nullptr, &r, &p); },
        [&] { return DrvStretchBlt(&bad, &src.so, nullptr, nullptr, nullptr, nullptr, nullptr, &r, &r, nullptr, 3); },
        [&] { return DrvStretchBltROP(&bad, &src.so, nullptr, nullptr, nullptr, nullptr, nullptr, &r, &r, nullptr, 3,
                                      nullptr, 0xCCCC); },
    };
    for (auto &call : calls) {
        SetLastError(0);
        EXPECT_FALSE(call());
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    }
    SetLastError(0);
    EXPECT_FALSE(DrvBitBlt(so, &src.so, nullptr, nullptr, nullptr, nullptr, &p, nullptr, nullptr, nullptr, 0xCCCC));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << "no destination rectangle";
}

TEST_F(BltCore, DrawingRoadsWaitForThePagesClip)
{
    Bitmap src(4, 4, BMF_24BPP, false);
    RECTL r{0, 0, 8, 8};
    POINTL p{0, 0};
    for (ROP4 rop4 : {ROP4(0xCCCC), ROP4(0x0000), ROP4(0x5555)}) {
        SCOPED_TRACE(rop4);
        SetLastError(0);
        EXPECT_FALSE(DrvBitBlt(so, &src.so, nullptr, nullptr, nullptr, &r, &p, nullptr, nullptr, nullptr, rop4));
        EXPECT_EQ(GetLastError(), DWORD(ERROR_CALL_NOT_IMPLEMENTED));
    }
    EXPECT_TRUE(plat::engine_fallback_log().empty());
}

/* ---- Transparent blts ------------------------------------------------------------ */

TEST_F(BltCore, TheWhiteValueIsFoundThroughTheTranslation)
{
    struct Case {
        const char *name;
        ULONG format;
        std::vector<ULONG> table; /* empty: no translation */
        BOOL found;
        ULONG value;
    } cases[] = {
        {"8 bits, white at 3", BMF_8BPP, {0x000000, 0x102030, 0x00FF00, 0xFFFFFF, 0xFFFFFF}, TRUE, 3},
        {"8 bits, no white", BMF_8BPP, {0x000000, 0x102030}, FALSE, 0},
        {"4 bits without a table", BMF_4BPP, {}, FALSE, 0},
        {"16 bits", BMF_16BPP, {}, FALSE, 0},
        {"24 bits", BMF_24BPP, {}, TRUE, 0xFFFFFF},
        {"32 bits", BMF_32BPP, {}, TRUE, 0xFFFFFF},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        Bitmap bmp(2, 2, c.format, false);
        XLATEOBJ *pxlo = c.table.empty() ? nullptr : plat::engine_make_xlate_table(c.table);
        ULONG value = 0;
        EXPECT_EQ(BLT_FindWhiteIndex(&bmp.so, pxlo, &value), c.found);
        if (c.found) {
            EXPECT_EQ(value, c.value);
        }
        plat::engine_free_xlate(pxlo);
    }
    /* 16 bits: 0xFFFF first, then 0x7FFF (5-5-5 white). */
    std::vector<ULONG> t(65536, 0);
    t[0x7FFF] = 0xFFFFFF;
    XLATEOBJ *pxlo = plat::engine_make_xlate_table(t);
    Bitmap b16(1, 1, BMF_16BPP, false);
    ULONG value = 0;
    EXPECT_TRUE(BLT_FindWhiteIndex(&b16.so, pxlo, &value));
    EXPECT_EQ(value, 0x7FFFu);
    plat::engine_free_xlate(pxlo);
}

TEST_F(BltCore, TheMaskClearsTransparentPixelsAndTheCopyTurnsThemWhite)
{
    Bitmap src(10, 2, BMF_8BPP, true), copy(10, 2, BMF_8BPP, true), mask(10, 2, BMF_1BPP, false);
    std::fill(mask.bits.begin(), mask.bits.end(), BYTE(0xFF));
    for (LONG x = 0; x < 10; x++) {
        src.set(x, 0, x % 3 == 0 ? 7 : 1);
        src.set(x, 1, x == 9 ? 7 : 2);
    }
    copy.bits = src.bits;
    const ULONG white = 5;
    ASSERT_TRUE(BLT_BuildTransparentMask(&src.so, &copy.so, &mask.so, 7, &white));
    EXPECT_EQ(mask.row(0)[0], 0x6D) << "pixels 0, 3 and 6 clear: 0110 1101";
    EXPECT_EQ(mask.row(0)[1], 0xBF) << "pixel 9 clear";
    EXPECT_EQ(mask.row(1)[1], 0xBF);
    EXPECT_EQ(copy.row(0)[3], 5);
    EXPECT_EQ(copy.row(0)[4], 1);
    EXPECT_EQ(copy.row(1)[9], 5);
    EXPECT_EQ(src.row(0)[3], 7) << "the caller's source is not touched";
    EXPECT_FALSE(BLT_BuildTransparentMask(&src.so, nullptr, &mask.so, 7, &white));
}

TEST_F(BltCore, ATransparentBltTheDriverCannotPrepareGoesToTheEngine)
{
    Bitmap odd(4, 4, BMF_24BPP, false);
    odd.so.iBitmapFormat = BMF_8RLE;
    RECTL r{0, 0, 4, 4};
    EXPECT_TRUE(DrvTransparentBlt(so, &odd.so, nullptr, nullptr, &r, &r, 0x00FF00, 0));
    const auto log = plat::engine_fallback_log();
    ASSERT_EQ(log.size(), 1u);
    EXPECT_EQ(log[0].name, "EngTransparentBlt");
    EXPECT_EQ(log[0].color, 0x00FF00u);
}

} // namespace
