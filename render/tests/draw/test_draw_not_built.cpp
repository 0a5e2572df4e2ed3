// The answers defined for a job that holds no pending image and for a
// context without device fonts.
#include "draw_functions.h"
#include "pdev_context.h"

#include "xl_test_support.h"

#include <plat/error.h>

#include <gtest/gtest.h>

#include <memory>

namespace {

using DrawNotBuilt = MachineFolderTest;

/* A valid context as the device-context work makes it, with no device fonts. */
std::unique_ptr<PdevContext> contextWithoutDeviceFonts()
{
    auto pdev = std::make_unique<PdevContext>();
    pdev->headMagic = PDEV_MAGIC;
    pdev->tailMagic = PDEV_MAGIC;
    return pdev;
}

TEST_F(DrawNotBuilt, NoPendingImageLeavesTheListEmpty)
{
    auto pdev = contextWithoutDeviceFonts();
    SetLastError(0);
    EXPECT_EQ(BLT_EmitPendingImages(pdev.get()), 1);
    EXPECT_EQ(GetLastError(), 0u);
    EXPECT_EQ(BLT_EmitPendingImages(nullptr), 0);
    BLT_FreeDownscale(nullptr);
    FNT_FreeDeviceFontMetrics(nullptr);
}

TEST_F(DrawNotBuilt, AContextWithoutDeviceFontsFindsNone)
{
    auto pdev = contextWithoutDeviceFonts();

    SetLastError(0);
    EXPECT_EQ(FNT_GetGlyphSet(pdev.get(), 1), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));

    SetLastError(0);
    EXPECT_EQ(FNT_FindDeviceFontById(pdev.get(), 7), -1);
    EXPECT_EQ(GetLastError(), 0u);

    /* No device font to stand in: no substitution, and no error. */
    WORD index = 3;
    FONTOBJ *font = reinterpret_cast<FONTOBJ *>(pdev.get()); /* never read */
    SetLastError(0);
    EXPECT_EQ(FNT_SubstituteDeviceFont(pdev.get(), font, &index), 0);
    EXPECT_EQ(index, 0xFFFF);
    EXPECT_EQ(GetLastError(), 0u);

    index = 3;
    EXPECT_EQ(FNT_SubstituteDeviceFont(pdev.get(), nullptr, &index), -1);
    EXPECT_EQ(index, 0xFFFF);
    EXPECT_EQ(FNT_SubstituteDeviceFont(nullptr, font, &index), -1);
}

} // namespace
