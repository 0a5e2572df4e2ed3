// The engine's fonts: not built yet, every service fails visibly.
#include <plat/engine_fonts.h>
#include <plat/error.h>

#include <gtest/gtest.h>

TEST(EngineFontsStub, ServicesFailVisibly)
{
    SetLastError(0);
    EXPECT_EQ(FONTOBJ_pifi(nullptr), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CALL_NOT_IMPLEMENTED));
    plat::TrueTypeFontSpec spec;
    spec.file = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    SetLastError(0);
    EXPECT_EQ(plat::engine_open_truetype_font(spec), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_CALL_NOT_IMPLEMENTED));
}
