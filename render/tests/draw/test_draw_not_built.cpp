// The drawing functions later work builds: each fails visibly meanwhile
// (its failure answer and ERROR_CALL_NOT_IMPLEMENTED), except the answers
// defined for a job that holds no pending image and a context without
// device fonts, which are built.
#include "draw_functions.h"
#include "pdev_context.h"

#include "xl_test_support.h"

#include <plat/error.h>

#include <gtest/gtest.h>

#include <functional>
#include <memory>

namespace {

using DrawNotBuilt = MachineFolderTest;

TEST_F(DrawNotBuilt, EachAnswersItsFailure)
{
    struct Case {
        const char *name;
        std::function<bool()> failed;
    } cases[] = {
        /* Font substitution. */
        {"FNT_MatchSubstituteFont", [] {
             WORD index = 0xFFFF;
             return FNT_MatchSubstituteFont(nullptr, nullptr, u"Arial", nullptr, nullptr, 0, nullptr, &index) == -1;
         }},
        {"FNT_MatchSubstituteFontByAlias", [] {
             WORD index = 0xFFFF;
             return FNT_MatchSubstituteFontByAlias(nullptr, nullptr, u"Arial", nullptr, nullptr, 0, nullptr, &index) == -1;
         }},
        {"FNT_ScoreAliasGroups", [] { LONG s[1] = {}; return FNT_ScoreAliasGroups(u"Arial", 0, nullptr, s) == -1; }},
        {"FNT_ScoreCharset", [] { LONG s[1] = {}; return !FNT_ScoreCharset(0, 0, nullptr, s); }},
        {"FNT_ScoreStyle", [] { LONG s[1] = {}; FNT_ScoreStyle(nullptr, 0, nullptr, s); return s[0] == 0; }},
    };
    for (const Case &c : cases) {
        SetLastError(0);
        EXPECT_TRUE(c.failed()) << c.name;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_CALL_NOT_IMPLEMENTED)) << c.name;
    }
}

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

TEST_F(DrawNotBuilt, AContextWithDeviceFontsFailsVisibly)
{
    auto pdev = contextWithoutDeviceFonts();
    pdev->deviceFontCount = 1;
    pdev->fontEntryCount = 1;
    FONTOBJ *font = reinterpret_cast<FONTOBJ *>(pdev.get()); /* never read */
    WORD index = 3;
    SetLastError(0);
    EXPECT_EQ(FNT_SubstituteDeviceFont(pdev.get(), font, &index), -1);
    EXPECT_EQ(index, 0xFFFF);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CALL_NOT_IMPLEMENTED));
}

} // namespace
