// The drawing functions later work builds fail visibly meanwhile: their
// failure answer and ERROR_CALL_NOT_IMPLEMENTED.
#include "draw_functions.h"

#include "xl_test_support.h"

#include <plat/error.h>

#include <gtest/gtest.h>

#include <functional>

namespace {

using DrawNotBuilt = MachineFolderTest;

TEST_F(DrawNotBuilt, EachAnswersItsFailure)
{
    struct Case {
        const char *name;
        std::function<bool()> failed;
    } cases[] = {
        {"BLT_BltSourceImage", [] { return !BLT_BltSourceImage(nullptr, nullptr, nullptr, nullptr, 1, 1, nullptr, nullptr,
                                                               nullptr, nullptr, nullptr, nullptr, 2, 0xCC); }},
        {"BLT_ClassifyImageColors",
         [] { return BLT_ClassifyImageColors(nullptr, nullptr, nullptr, nullptr, 1, 1, nullptr, 0, 4, 24) == -1; }},
        {"BRS_SelectBrush", [] { return !BRS_SelectBrush(nullptr, 2, nullptr, nullptr, nullptr); }},
        {"BRS_SendSolidColor", [] { const BYTE c[3] = {}; return BRS_SendSolidColor(nullptr, c, 3, FALSE) == -1; }},
        {"PTH_SetClipRegion", [] { return PTH_SetClipRegion(nullptr, nullptr, nullptr) == 0; }},
        {"PTH_CopyPathPoints", [] {
             void *block = reinterpret_cast<void *>(1);
             DWORD bytes = 5, records = 5;
             return PTH_CopyPathPoints(nullptr, &block, &bytes, &records) == -1 && !block && !bytes && !records;
         }},
        {"PTH_EmitPathData", [] { return PTH_EmitPathData(nullptr, nullptr, nullptr, 0) == 0; }},
        {"TXT_SetTextColor", [] { return TXT_SetTextColor(nullptr, nullptr, 0x0D0D, 0) == 0; }},
        {"FNT_GetGlyphSet", [] { return FNT_GetGlyphSet(nullptr, 1) == nullptr; }},
        {"FNT_FindDeviceFontById", [] { return FNT_FindDeviceFontById(nullptr, 7) == -1; }},
        {"FNT_SubstituteDeviceFont", [] {
             WORD index = 3;
             return FNT_SubstituteDeviceFont(nullptr, nullptr, &index) == -1 && index == 0xFFFF;
         }},
    };
    for (const Case &c : cases) {
        SetLastError(0);
        EXPECT_TRUE(c.failed()) << c.name;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_CALL_NOT_IMPLEMENTED)) << c.name;
    }
}

} // namespace
