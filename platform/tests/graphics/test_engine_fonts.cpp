// The engine's TrueType and device fonts: IFIMETRICS read from the font's
// own tables, the notional-to-device transform, strings placed by unhinted
// advances at 0 and 90 degrees and by spacing arrays, glyph images equal to
// FreeType's own monochrome rendering, the font file as the library sees
// it, collections, and bad font files and requests refused with a clear
// status.
#include "font_fixture.h"

#include <plat/error.h>
#include <plat_test/fresh_machine.h>

#include <gtest/gtest.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <cmath>
#include <filesystem>
#include <functional>

namespace {

using namespace fonttest;

class EngineFonts : public plat_test::FreshMachineTest {
protected:
    /* A font of `file` with an em of `em` device pixels at 600 dpi, freed after the test. */
    FONTOBJ *open(const std::string &file, LONG em, LONG escapement = 0, ULONG face = 0)
    {
        plat::TrueTypeFontSpec spec;
        spec.file = file;
        spec.faceIndex = face;
        spec.height = -em;
        spec.escapement = escapement;
        FONTOBJ *fo = plat::engine_open_truetype_font(spec);
        if (fo)
            fonts.push_back(fo);
        return fo;
    }
    STROBJ *text(FONTOBJ *fo, const std::u16string &s, POINTL origin, const plat::TextOptions &options = {})
    {
        STROBJ *so = plat::engine_make_text(fo, reinterpret_cast<LPCWSTR>(s.data()), ULONG(s.size()), origin, options);
        if (so)
            strings.push_back(so);
        return so;
    }
    void TearDown() override
    {
        for (STROBJ *so : strings)
            plat::engine_free_text(so);
        for (FONTOBJ *fo : fonts)
            plat::engine_free_font(fo);
        FreshMachineTest::TearDown();
    }
    std::vector<FONTOBJ *> fonts;
    std::vector<STROBJ *> strings;
};

/* FreeType's glyph index of `ch`, the oracle for the glyph handles. */
uint32_t glyph_index(const std::string &file, char16_t ch)
{
    FT_Library lib;
    FT_Face face;
    EXPECT_EQ(FT_Init_FreeType(&lib), 0);
    EXPECT_EQ(FT_New_Face(lib, file.c_str(), 0, &face), 0);
    const uint32_t g = FT_Get_Char_Index(face, ch);
    FT_Done_Face(face);
    FT_Done_FreeType(lib);
    return g;
}

} // namespace

TEST_F(EngineFonts, IfiMetricsOfDejaVuSansComeFromItsOwnTables)
{
    FONTOBJ *fo = open(kSans, 100);
    ASSERT_NE(fo, nullptr) << GetLastError();
    IFIMETRICS *ifi = FONTOBJ_pifi(fo);
    ASSERT_NE(ifi, nullptr);

    const Sfnt font(kSans);
    const uint8_t *head = font.table("head"), *hhea = font.table("hhea"), *os2 = font.table("OS/2"),
                  *post = font.table("post");
    ASSERT_TRUE(head && hhea && os2 && post);

    /* Names at their offsets, inside cjThis. */
    auto name = [&](PTRDIFF dp) {
        EXPECT_GE(dp, PTRDIFF(sizeof(IFIMETRICS)));
        EXPECT_LT(ULONG(dp), ifi->cjThis);
        return wide(reinterpret_cast<const WCHAR *>(reinterpret_cast<const BYTE *>(ifi) + dp));
    };
    EXPECT_EQ(name(ifi->dpwszFamilyName), font.name(1));
    EXPECT_EQ(name(ifi->dpwszStyleName), font.name(2));
    EXPECT_EQ(name(ifi->dpwszUniqueName), font.name(3));
    EXPECT_EQ(name(ifi->dpwszFaceName), font.name(4));
    EXPECT_EQ(name(ifi->dpwszFamilyName), u"DejaVu Sans");
    EXPECT_EQ(name(ifi->dpwszStyleName), u"Book");
    EXPECT_EQ(name(ifi->dpwszFaceName), u"DejaVu Sans");
    EXPECT_EQ(ifi->cjThis % 8, 0u);

    EXPECT_EQ(ifi->fwdUnitsPerEm, be16(head + 18));
    EXPECT_EQ(ifi->fwdUnitsPerEm, 2048);
    EXPECT_EQ(ifi->fwdLowestPPEm, be16(head + 46));
    EXPECT_EQ(ifi->rclFontBox.left, sbe16(head + 36));
    EXPECT_EQ(ifi->rclFontBox.bottom, sbe16(head + 38));
    EXPECT_EQ(ifi->rclFontBox.right, sbe16(head + 40));
    EXPECT_EQ(ifi->rclFontBox.top, sbe16(head + 42));
    EXPECT_EQ((RECTL{ifi->rclFontBox.left, ifi->rclFontBox.top, ifi->rclFontBox.right, ifi->rclFontBox.bottom}.top),
              2524);

    EXPECT_EQ(ifi->fwdMacAscender, sbe16(hhea + 4));
    EXPECT_EQ(ifi->fwdMacDescender, sbe16(hhea + 6));
    EXPECT_EQ(ifi->fwdMacLineGap, sbe16(hhea + 8));
    EXPECT_EQ(ifi->fwdMaxCharInc, be16(hhea + 10));
    EXPECT_EQ(ifi->ptlCaret.y, sbe16(hhea + 18));
    EXPECT_EQ(ifi->ptlCaret.x, sbe16(hhea + 20));

    EXPECT_EQ(ifi->fwdAveCharWidth, sbe16(os2 + 2));
    EXPECT_EQ(ifi->usWinWeight, be16(os2 + 4));
    EXPECT_EQ(ifi->usWinWeight, 400);
    EXPECT_EQ(ifi->fsType, be16(os2 + 8));
    EXPECT_EQ(ifi->fwdSubscriptXSize, sbe16(os2 + 10));
    EXPECT_EQ(ifi->fwdSuperscriptYOffset, sbe16(os2 + 24));
    EXPECT_EQ(ifi->fwdStrikeoutSize, sbe16(os2 + 26));
    EXPECT_EQ(ifi->fwdStrikeoutPosition, sbe16(os2 + 28));
    EXPECT_EQ(std::memcmp(&ifi->panose, os2 + 32, 10), 0);
    EXPECT_EQ(std::memcmp(ifi->achVendId, os2 + 58, 4), 0);
    EXPECT_EQ(ifi->fsSelection, be16(os2 + 62));
    EXPECT_EQ(ifi->fsSelection, FM_SEL_REGULAR);
    EXPECT_EQ(ifi->wcFirstChar, be16(os2 + 64));
    EXPECT_EQ(ifi->wcLastChar, be16(os2 + 66));
    EXPECT_EQ(ifi->chFirstChar, 0x20);
    EXPECT_EQ(ifi->chLastChar, 0xFF);
    EXPECT_EQ(ifi->fwdTypoAscender, sbe16(os2 + 68));
    EXPECT_EQ(ifi->fwdTypoDescender, sbe16(os2 + 70));
    EXPECT_EQ(ifi->fwdTypoLineGap, sbe16(os2 + 72));
    EXPECT_EQ(ifi->fwdWinAscender, be16(os2 + 74));
    EXPECT_EQ(ifi->fwdWinDescender, be16(os2 + 76));

    EXPECT_EQ(ifi->fwdUnderscorePosition, sbe16(post + 8));
    EXPECT_EQ(ifi->fwdUnderscoreSize, sbe16(post + 10));
    EXPECT_EQ(ifi->lItalicAngle, 0);

    /* Panose family 2 with serif style 11: a sans serif face of variable pitch. */
    EXPECT_EQ(os2[32], 2);
    EXPECT_EQ(os2[33], 11);
    EXPECT_EQ(ifi->jWinPitchAndFamily, FF_SWISS | VARIABLE_PITCH);
    EXPECT_EQ(ifi->jWinCharSet, ANSI_CHARSET);
    EXPECT_TRUE(ifi->flInfo & FM_INFO_TECH_TRUETYPE);
}

TEST_F(EngineFonts, MonoAndExtraLightFacesReportTheirOwnPitchWeightAndNames)
{
    FONTOBJ *mono = open(kMono, 50);
    FONTOBJ *light = open(kExtraLight, 50);
    ASSERT_TRUE(mono && light);
    const IFIMETRICS *m = FONTOBJ_pifi(mono), *l = FONTOBJ_pifi(light);
    EXPECT_EQ(m->jWinPitchAndFamily, FF_MODERN | FIXED_PITCH) << "post.isFixedPitch is 1";
    EXPECT_EQ(m->fwdAveCharWidth, 1233);
    EXPECT_EQ(l->usWinWeight, 200);
    EXPECT_EQ(l->fsSelection, 0);
    auto at = [](const IFIMETRICS *ifi, PTRDIFF dp) {
        return wide(reinterpret_cast<const WCHAR *>(reinterpret_cast<const BYTE *>(ifi) + dp));
    };
    EXPECT_EQ(at(l, l->dpwszFamilyName), u"DejaVu Sans Light");
    EXPECT_EQ(at(l, l->dpwszFaceName), u"DejaVu Sans ExtraLight");
    EXPECT_EQ(at(l, l->dpwszStyleName), u"ExtraLight");
}

TEST_F(EngineFonts, TheFontObjectDescribesTheRealisation)
{
    plat::TrueTypeFontSpec spec;
    spec.file = kSans;
    spec.height = -100;
    spec.weight = 700;
    spec.italic = true;
    spec.resolution = {600, 600};
    FONTOBJ *fo = plat::engine_open_truetype_font(spec);
    ASSERT_NE(fo, nullptr);
    fonts.push_back(fo);
    EXPECT_EQ(fo->flFontType, FO_TYPE_TRUETYPE | FO_SIM_BOLD | FO_SIM_ITALIC);
    EXPECT_EQ(fo->flFontType & TRUETYPE_FONTTYPE, TRUETYPE_FONTTYPE);
    EXPECT_NE(fo->iFile, 0u);
    EXPECT_NE(fo->iTTUniq, 0u);
    EXPECT_NE(fo->iUniq, 0u);
    EXPECT_EQ(fo->sizLogResPpi.cx, 600);
    EXPECT_EQ(fo->sizLogResPpi.cy, 600);
    EXPECT_EQ(fo->ulStyleSize, 12u) << "100 pixels at 600 dpi are 12 points";
    EXPECT_EQ(fo->cxMax, ULONG(std::ceil(3838 * 100.0 / 2048)));

    /* A real bold face needs no simulation; the same face shares its file and face identity. */
    spec.file = kSansBold;
    spec.italic = false;
    FONTOBJ *bold = plat::engine_open_truetype_font(spec);
    ASSERT_NE(bold, nullptr);
    fonts.push_back(bold);
    EXPECT_EQ(bold->flFontType, FO_TYPE_TRUETYPE);
    EXPECT_NE(bold->iFile, fo->iFile);
    FONTOBJ *again = open(kSans, 30);
    ASSERT_NE(again, nullptr);
    EXPECT_EQ(again->iFile, fo->iFile);
    EXPECT_EQ(again->iTTUniq, fo->iTTUniq);
    EXPECT_NE(again->iUniq, fo->iUniq);

    /* A positive height is the cell: ascender plus descender (1901 + 483 units) fill it. */
    spec.file = kSans;
    spec.height = 2384;
    FONTOBJ *cell = plat::engine_open_truetype_font(spec);
    ASSERT_NE(cell, nullptr);
    fonts.push_back(cell);
    XFORML m{};
    ASSERT_NE(XFORMOBJ_iGetXform(FONTOBJ_pxoGetXform(cell), &m), DDI_ERROR);
    EXPECT_FLOAT_EQ(m.eM22, 2048.0f / 2048.0f);

    /* A width asks for that average character width: half of DejaVu Sans's 1038 units squeezes x by half. */
    spec.width = 519;
    FONTOBJ *narrow = plat::engine_open_truetype_font(spec);
    ASSERT_NE(narrow, nullptr);
    fonts.push_back(narrow);
    XFORMOBJ_iGetXform(FONTOBJ_pxoGetXform(narrow), &m);
    EXPECT_FLOAT_EQ(m.eM11, 0.5f);
    EXPECT_FLOAT_EQ(m.eM22, 1.0f);
}

TEST_F(EngineFonts, TheTransformScalesNotionalUnitsAndTurnsByTheEscapement)
{
    struct Case {
        LONG em, escapement;
        XFORML expected;
    } cases[] = {
        {2048, 0, {1, 0, 0, 1, 0, 0}},
        {1024, 0, {0.5f, 0, 0, 0.5f, 0, 0}},
        {2048, 900, {0, -1, 1, 0, 0, 0}},
        {2048, 1800, {-1, 0, 0, -1, 0, 0}},
        {2048, 2700, {0, 1, -1, 0, 0, 0}},
        {2048, 300, {0.8660254f, -0.5f, 0.5f, 0.8660254f, 0, 0}},
    };
    for (const Case &c : cases) {
        FONTOBJ *fo = open(kSans, c.em, c.escapement);
        ASSERT_NE(fo, nullptr);
        XFORMOBJ *xo = FONTOBJ_pxoGetXform(fo);
        ASSERT_NE(xo, nullptr);
        XFORML m{};
        XFORMOBJ_iGetXform(xo, &m);
        EXPECT_NEAR(m.eM11, c.expected.eM11, 1e-6) << c.escapement;
        EXPECT_NEAR(m.eM12, c.expected.eM12, 1e-6) << c.escapement;
        EXPECT_NEAR(m.eM21, c.expected.eM21, 1e-6) << c.escapement;
        EXPECT_NEAR(m.eM22, c.expected.eM22, 1e-6) << c.escapement;
        /* The notional vector (4096, 0) lands along the escapement, two ems long at this size. */
        POINTL in{4096, 0}, out{};
        ASSERT_TRUE(XFORMOBJ_bApplyXform(xo, XF_LTOL, 1, &in, &out));
        EXPECT_NEAR(std::hypot(double(out.x), double(out.y)), 4096.0 * c.em / 2048, 1.0);
    }
}

TEST_F(EngineFonts, GlyphsFollowTheUnhintedAdvancesAtZeroAndNinetyDegrees)
{
    const Sfnt font(kSans);
    const std::u16string s = u"AVo W";
    std::vector<uint32_t> glyphs;
    for (char16_t ch : s)
        glyphs.push_back(glyph_index(kSans, ch));

    for (LONG em : {2048, 100}) {
        for (LONG escapement : {0, 900}) {
            FONTOBJ *fo = open(kSans, em, escapement);
            ASSERT_NE(fo, nullptr);
            STROBJ *so = text(fo, s, POINTL{1000, 2000});
            ASSERT_NE(so, nullptr);
            ASSERT_EQ(so->cGlyphs, s.size());
            ASSERT_NE(so->pgp, nullptr);
            EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t *>(so->pwszOrg), s.size()), s);
            uint32_t units = 0;
            for (size_t i = 0; i < s.size(); i++) {
                const LONG along = LONG(std::lround(units * double(em) / 2048));
                EXPECT_EQ(so->pgp[i].hg, glyphs[i]) << i;
                if (escapement == 0) {
                    EXPECT_EQ(so->pgp[i].ptl.x, 1000 + along) << em << " " << i;
                    EXPECT_EQ(so->pgp[i].ptl.y, 2000) << em << " " << i;
                } else {
                    EXPECT_EQ(so->pgp[i].ptl.x, 1000) << em << " " << i;
                    EXPECT_EQ(so->pgp[i].ptl.y, 2000 - along) << em << " " << i;
                }
                units += font.advance(glyphs[i]);
            }
            const LONG total = LONG(std::lround(units * double(em) / 2048));
            const LONG up = LONG(std::lround(1901.0 * em / 2048)), down = LONG(std::lround(483.0 * em / 2048));
            if (escapement == 0) {
                EXPECT_EQ(so->flAccel, SO_HORIZONTAL | SO_FLAG_DEFAULT_PLACEMENT);
                EXPECT_EQ(so->rclBkGround.left, 1000);
                EXPECT_NEAR(so->rclBkGround.right, 1000 + total, 1);
                EXPECT_NEAR(so->rclBkGround.top, 2000 - up, 1);
                EXPECT_NEAR(so->rclBkGround.bottom, 2000 + down, 1);
            } else {
                EXPECT_EQ(so->flAccel, SO_VERTICAL | SO_REVERSED | SO_FLAG_DEFAULT_PLACEMENT);
                EXPECT_NEAR(so->rclBkGround.left, 1000 - up, 1);
                EXPECT_NEAR(so->rclBkGround.right, 1000 + down, 1);
                EXPECT_NEAR(so->rclBkGround.top, 2000 - total, 1);
                EXPECT_EQ(so->rclBkGround.bottom, 2000);
            }
            EXPECT_EQ(so->ulCharInc, 0u) << "proportional glyphs advance unlike";
        }
    }
}

TEST_F(EngineFonts, AdvancesAreTheHorizontalMetricsScaled)
{
    const Sfnt font(kSans);
    FONTOBJ *fo = open(kSans, 1024, 900);
    ASSERT_NE(fo, nullptr);
    const HGLYPH a = glyph_index(kSans, u'A'), w = glyph_index(kSans, u'W');
    std::vector<FIX> advances;
    ASSERT_TRUE(plat::engine_font_advances(fo, {a, w, 70000}, advances));
    ASSERT_EQ(advances.size(), 3u);
    EXPECT_EQ(advances[0], FIX(font.advance(a) * 8)) << "half the units at half the em, in 28.4";
    EXPECT_EQ(advances[1], FIX(font.advance(w) * 8));
    EXPECT_EQ(advances[2], 0) << "a handle past the glyphs";
    FONTOBJ own{};
    SetLastError(0);
    EXPECT_FALSE(plat::engine_font_advances(&own, {a}, advances));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST_F(EngineFonts, SpacingArraysCommonStepsAndBatches)
{
    FONTOBJ *sans = open(kSans, 100, 1800);
    ASSERT_NE(sans, nullptr);
    const INT dx[] = {10, 20, 30};
    plat::TextOptions options;
    options.dx = dx;
    STROBJ *so = text(sans, u"abc", POINTL{500, 500}, options);
    ASSERT_NE(so, nullptr);
    EXPECT_EQ(so->pgp[0].ptl.x, 500);
    EXPECT_EQ(so->pgp[1].ptl.x, 490) << "180 degrees: the string runs to the left";
    EXPECT_EQ(so->pgp[2].ptl.x, 470);
    EXPECT_EQ(so->pgp[2].ptl.y, 500);
    EXPECT_EQ(so->flAccel, SO_HORIZONTAL | SO_REVERSED) << "a spacing array is no default placement";

    /* A fixed-pitch face at an em of 2048 pixels advances 1233 pixels a glyph. */
    FONTOBJ *mono = open(kMono, 2048, 2700);
    ASSERT_NE(mono, nullptr);
    STROBJ *column = text(mono, u"iWi", POINTL{0, 0});
    ASSERT_NE(column, nullptr);
    EXPECT_EQ(column->flAccel, SO_VERTICAL | SO_FLAG_DEFAULT_PLACEMENT);
    EXPECT_EQ(column->ulCharInc, 1233u);
    EXPECT_EQ(column->pgp[2].ptl.y, 2466) << "270 degrees: the string runs down";

    /* Batches: no glyph array, STROBJ_bEnum gives 2 then 1. */
    plat::TextOptions batched;
    batched.batch = 2;
    STROBJ *b = text(mono, u"xyz", POINTL{0, 0}, batched);
    ASSERT_NE(b, nullptr);
    EXPECT_EQ(b->pgp, nullptr);
    ULONG n = 0;
    GLYPHPOS *gp = nullptr;
    STROBJ_vEnumStart(b);
    EXPECT_TRUE(STROBJ_bEnum(b, &n, &gp));
    EXPECT_EQ(n, 2u);
    EXPECT_FALSE(STROBJ_bEnum(b, &n, &gp));
    EXPECT_EQ(n, 1u);
    EXPECT_EQ(gp[0].hg, glyph_index(kMono, u'z'));
}

TEST_F(EngineFonts, GlyphBitsEqualFreeTypesMonochromeRendering)
{
    const LONG em = 40;
    FONTOBJ *fo = open(kSans, em);
    ASSERT_NE(fo, nullptr);
    for (char16_t ch : {u'A', u'g', u'@'}) {
        HGLYPH hg = glyph_index(kSans, ch);
        PVOID pv = nullptr;
        ASSERT_EQ(FONTOBJ_cGetGlyphs(fo, FO_GLYPHBITS, 1, &hg, &pv), 1u);
        const auto *gd = static_cast<GLYPHDATA *>(pv);
        ASSERT_NE(gd, nullptr);
        EXPECT_EQ(gd->hg, hg);
        const GLYPHBITS *gb = gd->gdf.pgb;

        FT_Library lib;
        FT_Face face;
        ASSERT_EQ(FT_Init_FreeType(&lib), 0);
        ASSERT_EQ(FT_New_Face(lib, kSans.c_str(), 0, &face), 0);
        ASSERT_EQ(FT_Set_Pixel_Sizes(face, 0, em), 0);
        ASSERT_EQ(FT_Load_Glyph(face, hg, FT_LOAD_TARGET_MONO | FT_LOAD_NO_BITMAP), 0);
        ASSERT_EQ(FT_Render_Glyph(face->glyph, FT_RENDER_MODE_MONO), 0);
        const FT_Bitmap &bmp = face->glyph->bitmap;
        EXPECT_EQ(gb->sizlBitmap.cx, LONG(bmp.width)) << char(ch);
        EXPECT_EQ(gb->sizlBitmap.cy, LONG(bmp.rows)) << char(ch);
        EXPECT_EQ(gb->ptlOrigin.x, face->glyph->bitmap_left) << char(ch);
        EXPECT_EQ(gb->ptlOrigin.y, -face->glyph->bitmap_top) << char(ch);
        const size_t row = (bmp.width + 7) / 8;
        for (unsigned y = 0; y < bmp.rows; y++)
            EXPECT_EQ(std::memcmp(gb->aj + y * row, bmp.buffer + y * size_t(bmp.pitch), row), 0) << char(ch) << y;
        EXPECT_EQ(gd->fxD, FIX(std::lround(Sfnt(kSans).advance(hg) * double(em) / 2048 * 16)));
        FT_Done_Face(face);
        FT_Done_FreeType(lib);
    }

    /* A glyph without ink is a blank 1 x 1 image. */
    HGLYPH space = glyph_index(kSans, u' ');
    PVOID pv = nullptr;
    ASSERT_EQ(FONTOBJ_cGetGlyphs(fo, FO_GLYPHBITS, 1, &space, &pv), 1u);
    const GLYPHBITS *blank = static_cast<GLYPHDATA *>(pv)->gdf.pgb;
    EXPECT_EQ(blank->sizlBitmap.cx, 1);
    EXPECT_EQ(blank->sizlBitmap.cy, 1);
    EXPECT_EQ(blank->aj[0], 0);

    /* Strings hand the same images when asked to. */
    plat::TextOptions options;
    options.glyphBits = true;
    STROBJ *so = text(fo, u"A", POINTL{0, 0}, options);
    ASSERT_NE(so, nullptr);
    HGLYPH a = glyph_index(kSans, u'A');
    ASSERT_EQ(FONTOBJ_cGetGlyphs(fo, FO_GLYPHBITS, 1, &a, &pv), 1u);
    EXPECT_EQ(so->pgp[0].pgdf, &static_cast<GLYPHDATA *>(pv)->gdf);
}

TEST_F(EngineFonts, GlyphRequestsOutsideTheFontAreRefused)
{
    FONTOBJ *fo = open(kSans, 40);
    ASSERT_NE(fo, nullptr);
    HGLYPH past = HGLYPH(FONTOBJ_pifi(fo) ? 6253 : 0), first = 0;
    PVOID pv = reinterpret_cast<PVOID>(1);
    struct Case {
        const char *what;
        std::function<ULONG()> call;
    } cases[] = {
        {"handle past the glyphs", [&] { return FONTOBJ_cGetGlyphs(fo, FO_GLYPHBITS, 1, &past, &pv); }},
        {"outline mode", [&] { return FONTOBJ_cGetGlyphs(fo, FO_PATHOBJ, 1, &first, &pv); }},
        {"no handles", [&] { return FONTOBJ_cGetGlyphs(fo, FO_GLYPHBITS, 0, &first, &pv); }},
        {"null handles", [&] { return FONTOBJ_cGetGlyphs(fo, FO_GLYPHBITS, 1, nullptr, &pv); }},
        {"not an engine font",
         [&] {
             FONTOBJ own{};
             return FONTOBJ_cGetGlyphs(&own, FO_GLYPHBITS, 1, &first, &pv);
         }},
    };
    for (const Case &c : cases) {
        SetLastError(0);
        EXPECT_EQ(c.call(), 0u) << c.what;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << c.what;
    }
    FONTOBJ own{};
    EXPECT_EQ(FONTOBJ_pifi(&own), nullptr);
    EXPECT_EQ(FONTOBJ_pxoGetXform(&own), nullptr);
    ULONG size = 7;
    EXPECT_EQ(FONTOBJ_pvTrueTypeFontFile(&own, &size), nullptr);
    EXPECT_EQ(size, 0u);
}

TEST_F(EngineFonts, TheFontFileIsTheFileItself)
{
    FONTOBJ *fo = open(kSans, 40);
    ASSERT_NE(fo, nullptr);
    ULONG size = 0;
    const BYTE *bytes = static_cast<const BYTE *>(FONTOBJ_pvTrueTypeFontFile(fo, &size));
    ASSERT_NE(bytes, nullptr);
    const std::vector<uint8_t> file = read_file(kSans);
    ASSERT_EQ(size, file.size());
    EXPECT_EQ(std::memcmp(bytes, file.data(), size), 0);
    EXPECT_EQ(FONTOBJ_pvTrueTypeFontFile(fo, nullptr), bytes);
}

TEST_F(EngineFonts, EachMemberOfACollectionIsAFaceOfTheWholeFile)
{
    const std::string path = (root / "two.ttc").string();
    const std::vector<uint8_t> ttc = make_collection({kSans, kMono});
    write_file(path, ttc);
    FONTOBJ *sans = open(path, 40, 0, 0);
    FONTOBJ *mono = open(path, 40, 0, 1);
    ASSERT_TRUE(sans && mono) << GetLastError();
    auto family = [](FONTOBJ *fo) {
        const IFIMETRICS *ifi = FONTOBJ_pifi(fo);
        return wide(reinterpret_cast<const WCHAR *>(reinterpret_cast<const BYTE *>(ifi) + ifi->dpwszFamilyName));
    };
    EXPECT_EQ(family(sans), u"DejaVu Sans");
    EXPECT_EQ(family(mono), u"DejaVu Sans Mono");
    EXPECT_EQ(sans->iFile, mono->iFile);
    EXPECT_NE(sans->iTTUniq, mono->iTTUniq);
    ULONG size = 0;
    const BYTE *bytes = static_cast<const BYTE *>(FONTOBJ_pvTrueTypeFontFile(mono, &size));
    ASSERT_EQ(size, ttc.size());
    EXPECT_EQ(std::memcmp(bytes, "ttcf", 4), 0);
    STROBJ *so = text(mono, u"W", POINTL{0, 0});
    ASSERT_NE(so, nullptr);
    EXPECT_EQ(so->pgp[0].hg, glyph_index(kMono, u'W'));

    SetLastError(0);
    EXPECT_EQ(open(path, 40, 0, 2), nullptr) << "a third member";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_DATA));
}

TEST_F(EngineFonts, BadFontFilesGetAClearStatus)
{
    const std::vector<uint8_t> sans = read_file(kSans);
    auto cut = [&](size_t n) { return std::vector<uint8_t>(sans.begin(), sans.begin() + std::ptrdiff_t(n)); };
    std::vector<uint8_t> hugeCollection = make_collection({kSans});
    hugeCollection.resize(24);
    hugeCollection[8] = 0x7F; /* claims two billion members in 24 bytes */
    std::vector<uint8_t> outside = make_collection({kSans});
    outside[12] = 0x7F; /* the member's directory lies past the end */
    std::vector<uint8_t> tableLengthPastEnd = sans;
    tableLengthPastEnd[12 + 12] = 0x7F; /* the first table's length */
    const std::vector<uint8_t> notAFont = {'h', 'e', 'l', 'l', 'o', ' ', 'w', 'o', 'r', 'l', 'd', '\n', 'x', 'y'};
    struct Case {
        const char *what;
        std::vector<uint8_t> bytes;
        ULONG face;
        DWORD error;
    } cases[] = {
        {"cut after the directory", cut(1000), 0, ERROR_INVALID_DATA},
        {"cut in the directory", cut(40), 0, ERROR_INVALID_DATA},
        {"cut to 8 bytes", cut(8), 0, ERROR_INVALID_DATA},
        {"cut one byte short", cut(sans.size() - 1), 0, ERROR_INVALID_DATA},
        {"empty", {}, 0, ERROR_INVALID_DATA},
        {"not a font", notAFont, 0, ERROR_INVALID_DATA},
        {"face past the end", sans, 1, ERROR_INVALID_DATA},
        {"collection of two billion", hugeCollection, 0, ERROR_INVALID_DATA},
        {"member outside the file", outside, 0, ERROR_INVALID_DATA},
        {"table past the end", tableLengthPastEnd, 0, ERROR_INVALID_DATA},
    };
    int n = 0;
    for (const Case &c : cases) {
        const std::string path = (root / ("bad" + std::to_string(n++) + ".ttf")).string();
        write_file(path, c.bytes);
        SetLastError(0);
        EXPECT_EQ(open(path, 40, 0, c.face), nullptr) << c.what;
        EXPECT_EQ(GetLastError(), c.error) << c.what;
    }
    SetLastError(0);
    EXPECT_EQ(open((root / "missing.ttf").string(), 40), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_FILE_NOT_FOUND));
    SetLastError(0);
    EXPECT_EQ(open(root.string(), 40), nullptr) << "a folder";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_DATA));
}

TEST_F(EngineFonts, BadRequestsGetAClearStatus)
{
    plat::TrueTypeFontSpec spec;
    spec.file = kSans;
    spec.height = -100000; /* an em far past any page */
    SetLastError(0);
    EXPECT_EQ(plat::engine_open_truetype_font(spec), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    spec.height = -10;
    spec.width = 0x7FFFFFFF;
    SetLastError(0);
    EXPECT_EQ(plat::engine_open_truetype_font(spec), nullptr) << "a width far past any page";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    spec.width = 0;
    spec.height = LONG(0x80000000u);
    EXPECT_EQ(plat::engine_open_truetype_font(spec), nullptr) << "the most negative height";
    spec.height = -10;
    spec.resolution = {0, 600};
    EXPECT_EQ(plat::engine_open_truetype_font(spec), nullptr);
    spec.file.clear();
    spec.resolution = {600, 600};
    EXPECT_EQ(plat::engine_open_truetype_font(spec), nullptr);

    FONTOBJ *fo = open(kSans, 10);
    ASSERT_NE(fo, nullptr);
    const std::u16string many(65536, u'a');
    struct Case {
        const char *what;
        LPCWSTR text;
        ULONG count;
    } cases[] = {
        {"no glyphs", reinterpret_cast<LPCWSTR>(many.data()), 0},
        {"65,536 glyphs", reinterpret_cast<LPCWSTR>(many.data()), 65536},
        {"no text", nullptr, 3},
    };
    for (const Case &c : cases) {
        SetLastError(0);
        EXPECT_EQ(plat::engine_make_text(fo, c.text, c.count, POINTL{0, 0}), nullptr) << c.what;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << c.what;
    }
    FONTOBJ own{};
    EXPECT_EQ(plat::engine_make_text(&own, reinterpret_cast<LPCWSTR>(many.data()), 1, POINTL{0, 0}), nullptr);
    STROBJ *longest = text(fo, many.substr(0, 65535), POINTL{0, 0});
    ASSERT_NE(longest, nullptr) << "65,535 glyphs is the most a string holds";
    EXPECT_EQ(longest->cGlyphs, 65535u);
}

/* ---- Device fonts ------------------------------------------------------------------------------------------ */

namespace {

/* A library with one device face of 1000 units to the em, glyphs 'A'-'C' as handles 10-12 and '?' as 20. */
struct DeviceFace {
    alignas(8) BYTE ifi[sizeof(IFIMETRICS) + 32] = {};
    alignas(8) BYTE glyphSet[offsetof(FD_GLYPHSET, awcrun) + 2 * sizeof(WCRUN)] = {};
    HGLYPH handles[4] = {10, 11, 12, 20};
    int widthCalls = 0;
    DeviceFace()
    {
        auto *m = reinterpret_cast<IFIMETRICS *>(ifi);
        m->cjThis = sizeof ifi;
        m->dpwszFamilyName = m->dpwszFaceName = sizeof(IFIMETRICS);
        std::memcpy(ifi + sizeof(IFIMETRICS), u"Courier", 16);
        m->fwdUnitsPerEm = 1000;
        m->fwdWinAscender = 800;
        m->fwdWinDescender = 200;
        m->fwdAveCharWidth = 600;
        m->fwdMaxCharInc = 600;
        m->wcDefaultChar = u'?';
        auto *gs = reinterpret_cast<FD_GLYPHSET *>(glyphSet);
        gs->cjThis = sizeof glyphSet;
        gs->cGlyphsSupported = 4;
        gs->cRuns = 2;
        gs->awcrun[0] = WCRUN{u'?', 1, handles + 3};
        gs->awcrun[1] = WCRUN{u'A', 3, handles};
    }
};
DeviceFace *device;

IFIMETRICS *deviceQueryFont(DHPDEV, ULONG_PTR, ULONG face, ULONG_PTR *)
{
    return face == 1 ? reinterpret_cast<IFIMETRICS *>(device->ifi) : nullptr;
}
PVOID deviceQueryFontTree(DHPDEV, ULONG_PTR, ULONG face, ULONG mode, ULONG_PTR *)
{
    return face == 1 && mode == QFT_GLYPHSET ? device->glyphSet : nullptr;
}
BOOL deviceQueryAdvanceWidths(DHPDEV, FONTOBJ *fo, ULONG mode, HGLYPH *phg, PVOID widths, ULONG count)
{
    device->widthCalls++;
    if (!fo || !(fo->flFontType & FO_TYPE_DEVICE) || mode != QAW_GETWIDTHS)
        return FALSE;
    for (ULONG i = 0; i < count; i++)
        static_cast<USHORT *>(widths)[i] = USHORT(16 * phg[i]); /* handle h is h pixels wide */
    return TRUE;
}

} // namespace

TEST_F(EngineFonts, DeviceFontsAreTheLibrarysOwn)
{
    DeviceFace face;
    device = &face;
    plat::DeviceFontSpec spec;
    spec.queryFont = deviceQueryFont;
    spec.queryFontTree = deviceQueryFontTree;
    spec.queryAdvanceWidths = deviceQueryAdvanceWidths;
    spec.face = 1;
    spec.height = -100;
    FONTOBJ *fo = plat::engine_make_device_font(spec);
    ASSERT_NE(fo, nullptr);
    fonts.push_back(fo);
    EXPECT_EQ(fo->flFontType, FO_TYPE_DEVICE);
    EXPECT_EQ(fo->iFace, 1u);
    EXPECT_EQ(fo->iFile, 0u);
    EXPECT_EQ(FONTOBJ_pifi(fo), reinterpret_cast<IFIMETRICS *>(face.ifi));
    XFORML m{};
    XFORMOBJ_iGetXform(FONTOBJ_pxoGetXform(fo), &m);
    EXPECT_FLOAT_EQ(m.eM11, 0.1f);
    EXPECT_FLOAT_EQ(m.eM22, 0.1f);
    HGLYPH hg = 10;
    PVOID pv = reinterpret_cast<PVOID>(1);
    EXPECT_EQ(FONTOBJ_cGetGlyphs(fo, FO_GLYPHBITS, 1, &hg, &pv), 0u) << "device fonts have no images";
    ULONG size = 5;
    EXPECT_EQ(FONTOBJ_pvTrueTypeFontFile(fo, &size), nullptr);
    EXPECT_EQ(size, 0u);

    STROBJ *so = text(fo, u"ACz", POINTL{100, 100});
    ASSERT_NE(so, nullptr);
    EXPECT_EQ(so->pgp[0].hg, 10u);
    EXPECT_EQ(so->pgp[1].hg, 12u);
    EXPECT_EQ(so->pgp[2].hg, 20u) << "a character the face lacks is its default character";
    EXPECT_EQ(so->pgp[1].ptl.x, 110);
    EXPECT_EQ(so->pgp[2].ptl.x, 122);
    EXPECT_EQ(face.widthCalls, 1);

    spec.face = 2;
    SetLastError(0);
    EXPECT_EQ(plat::engine_make_device_font(spec), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_DATA));
    spec.queryFont = nullptr;
    SetLastError(0);
    EXPECT_EQ(plat::engine_make_device_font(spec), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    device = nullptr;
}

/* A weight or slant the device face lacks is simulated; one it has is not. */
TEST_F(EngineFonts, DeviceFontsSimulateBoldAndItalicTheFaceLacks)
{
    DeviceFace face;
    device = &face;
    const struct {
        USHORT selection;
        LONG weight;
        bool italic;
        FLONG simulated;
    } cases[] = {
        {0, 400, false, 0},
        {0, 700, false, FO_SIM_BOLD},
        {0, 599, true, FO_SIM_ITALIC},
        {0, 600, true, FO_SIM_BOLD | FO_SIM_ITALIC},
        {FM_SEL_BOLD, 700, false, 0},
        {FM_SEL_ITALIC, 400, true, 0},
        {FM_SEL_BOLD | FM_SEL_ITALIC, 900, true, 0},
    };
    for (const auto &c : cases) {
        reinterpret_cast<IFIMETRICS *>(face.ifi)->fsSelection = c.selection;
        plat::DeviceFontSpec spec;
        spec.queryFont = deviceQueryFont;
        spec.face = 1;
        spec.height = -100;
        spec.weight = c.weight;
        spec.italic = c.italic;
        FONTOBJ *fo = plat::engine_make_device_font(spec);
        ASSERT_NE(fo, nullptr);
        fonts.push_back(fo);
        EXPECT_EQ(fo->flFontType, FO_TYPE_DEVICE | c.simulated) << c.selection << " " << c.weight << " " << c.italic;
    }
    device = nullptr;
}
