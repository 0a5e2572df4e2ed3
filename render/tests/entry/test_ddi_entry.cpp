// The library's driver-level calls: the engine version and record checks of
// DrvEnableDriver, the 26-entry function table in its order and indexes, the
// locks and default glyph set it makes (and leaves none of on failure),
// DrvDisableDriver, DrvQueryDriverInfo and the entries that answer without
// a device context.
#include "test_pdev_support.h"

#include "fnt_device_fonts.h"

using namespace pdev_test;

namespace {

class DdiEntry : public MachineFolderTest {
protected:
    void TearDown() override
    {
        DDI_DisableDriver();
        MachineFolderTest::TearDown();
        RES_ResetForTest();
    }
};

template <typename F>
PFN pfn(F *f)
{
    return reinterpret_cast<PFN>(reinterpret_cast<void (*)(void)>(f));
}

} // namespace

TEST_F(DdiEntry, TooOldAnEngineOrTooShortARecordIsRefusedWithNothingMade)
{
    struct Case {
        const char *what;
        ULONG version, size;
        bool record;
    } cases[] = {
        {"engine 0x1FFFF", 0x1FFFF, 16, true},
        {"record of 12 bytes", 0x20000, 12, true},
        {"record of 0 bytes", 0x20000, 0, true},
        {"no record", 0x20000, 16, false},
    };
    for (const Case &c : cases) {
        DRVENABLEDATA ded{0x55, 0x66, nullptr};
        SetLastError(0);
        EXPECT_FALSE(DrvEnableDriver(c.version, c.size, c.record ? &ded : nullptr)) << c.what;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_BAD_DRIVER_LEVEL)) << c.what;
        EXPECT_EQ(ded.iDriverVersion, 0x55u) << c.what;
        EXPECT_FALSE(DDI_ModelLockExists()) << c.what;
        EXPECT_FALSE(FNT_GlyphSetLockExists()) << c.what;
    }
}

TEST_F(DdiEntry, TheFunctionTableInItsOrder)
{
    DRVENABLEDATA ded{};
    ASSERT_TRUE(DrvEnableDriver(0x20000, 16, &ded));
    EXPECT_EQ(ded.iDriverVersion, 0x20000u);
    ASSERT_EQ(ded.c, 26u);
    const DRVFN expected[26] = {
        {0, pfn(DrvEnablePDEV)},       {7, pfn(DrvResetPDEV)},        {1, pfn(DrvCompletePDEV)},
        {2, pfn(DrvDisablePDEV)},      {3, pfn(DrvEnableSurface)},    {4, pfn(DrvDisableSurface)},
        {18, pfn(DrvBitBlt)},          {20, pfn(DrvStretchBlt)},      {19, pfn(DrvCopyBits)},
        {23, pfn(DrvTextOut)},         {26, pfn(DrvQueryFont)},       {27, pfn(DrvQueryFontTree)},
        {28, pfn(DrvQueryFontData)},   {53, pfn(DrvQueryAdvanceWidths)}, {32, pfn(DrvSendPage)},
        {14, pfn(DrvStrokePath)},      {15, pfn(DrvFillPath)},        {16, pfn(DrvStrokeAndFillPath)},
        {12, pfn(DrvRealizeBrush)},    {33, pfn(DrvStartPage)},       {35, pfn(DrvStartDoc)},
        {24, pfn(DrvEscape)},          {34, pfn(DrvEndDoc)},          {37, pfn(DrvGetGlyphMode)},
        {69, pfn(DrvStretchBltROP)},   {74, pfn(DrvTransparentBlt)},
    };
    for (ULONG i = 0; i < 26; i++) {
        EXPECT_EQ(ded.pdrvfn[i].iFunc, expected[i].iFunc) << "entry " << i;
        EXPECT_EQ(ded.pdrvfn[i].pfn, expected[i].pfn) << "entry " << i;
    }
    EXPECT_TRUE(DDI_ModelLockExists());
    EXPECT_TRUE(FNT_GlyphSetLockExists());
    ASSERT_NE(FNT_DefaultGlyphSet(), nullptr);
    EXPECT_EQ(FNT_DefaultGlyphSet()->cGlyphsSupported, 256u);

    DrvDisableDriver();
    EXPECT_FALSE(DDI_ModelLockExists());
    EXPECT_FALSE(FNT_GlyphSetLockExists());
    EXPECT_EQ(FNT_DefaultGlyphSet(), nullptr);

    DRVENABLEDATA newer{};
    EXPECT_TRUE(DrvEnableDriver(0x30000, 24, &newer)) << "a newer engine and a longer record are fine";
    EXPECT_EQ(newer.iDriverVersion, 0x20000u);
}

TEST_F(DdiEntry, AFailedGlyphSetLeavesNoLockBehind)
{
    int failed = 0;
    for (unsigned n = 1; n < 50; n++) {
        plat::fault_fail_alloc_after(n);
        DRVENABLEDATA ded{};
        BOOL ok = DrvEnableDriver(0x20000, 16, &ded);
        plat::fault_fail_alloc_after(0);
        if (ok)
            break;
        failed++;
        EXPECT_FALSE(DDI_ModelLockExists()) << "allocation " << n;
        EXPECT_FALSE(FNT_GlyphSetLockExists()) << "allocation " << n;
        EXPECT_EQ(FNT_DefaultGlyphSet(), nullptr);
    }
    EXPECT_GT(failed, 0) << "the glyph set allocates";
    EXPECT_TRUE(DDI_ModelLockExists());
}

TEST_F(DdiEntry, QueryDriverInfo)
{
    struct Case {
        DWORD mode, size;
        BOOL ok;
        DWORD error, needed, written;
    } cases[] = {
        {DRVQUERY_USERMODE, 4, TRUE, 0, 4, 1},
        {DRVQUERY_USERMODE, 8, TRUE, 0, 4, 1},
        {DRVQUERY_USERMODE, 3, FALSE, ERROR_INSUFFICIENT_BUFFER, 4, 0xEEEEEEEE},
        {DRVQUERY_USERMODE, 0, FALSE, ERROR_INSUFFICIENT_BUFFER, 4, 0xEEEEEEEE},
        {2, 4, FALSE, ERROR_INVALID_PARAMETER, 0x77, 0xEEEEEEEE},
    };
    for (const Case &c : cases) {
        DWORD buffer = 0xEEEEEEEE, needed = 0x77;
        SetLastError(0);
        EXPECT_EQ(DrvQueryDriverInfo(c.mode, &buffer, c.size, &needed), c.ok) << c.mode << "/" << c.size;
        EXPECT_EQ(GetLastError(), c.error) << c.mode << "/" << c.size;
        EXPECT_EQ(needed, c.needed) << c.mode << "/" << c.size;
        EXPECT_EQ(buffer, c.written) << c.mode << "/" << c.size;
    }
    DWORD needed = 0;
    EXPECT_FALSE(DrvQueryDriverInfo(DRVQUERY_USERMODE, nullptr, 4, &needed));
    EXPECT_EQ(needed, 4u);
}

TEST_F(DdiEntry, GlyphModeIsGlyphBitsForEveryFont)
{
    EXPECT_EQ(DrvGetGlyphMode(nullptr, nullptr), FO_GLYPHBITS);
    int junk = 0;
    EXPECT_EQ(DrvGetGlyphMode(reinterpret_cast<DHPDEV>(&junk), reinterpret_cast<FONTOBJ *>(&junk)), 1u);
}
