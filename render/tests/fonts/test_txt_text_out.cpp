// Text output: the character transform taken apart (size, scale, shear and
// angle), the font road and name of a run, and whole DrvTextOut calls in
// the standard model's device fonts written as PCL XL text commands.
#include "device_font_test_support.h"

#include "ddi_workers.h"
#include "draw_font.h"
#include "fnt_download.h"
#include "draw_text.h"
#include "fnt_device_fonts.h"
#include "fnt_device_records.h"
#include "job_settings.h"
#include "job_state.h"

#include <device_fonts.h>

#include <plat/engine_fonts.h>
#include <plat/error.h>
#include <plat/memory.h>

#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>
#include <cstddef>
#include <cstring>
#include <string>
#include <vector>

using namespace draw_test;
using Lines = std::vector<std::string>;

namespace {

TEST(TxtMatrix, SizeScaleShearAndAngleFromTheTransform)
{
    /* k: device pixels per notional unit (an em of 50 pixels in 1,000 units). */
    const float k = 0.05f, c30 = 0.8660254f, s30 = 0.5f;
    const struct {
        const char *what;
        float m[4]; /* m11, m12, m21, m22 */
        WORD angle;
        float scaleX, scaleY, shearX;
    } cases[] = {
        {"upright", {k, 0, 0, k}, 0, k, k, 0},
        {"90 degrees", {0, -k, k, 0}, 90, k, k, 0},
        {"180 degrees", {-k, 0, 0, -k}, 180, k, k, 0},
        {"270 degrees", {0, k, -k, 0}, 270, k, k, 0},
        {"30 degrees", {k * c30, -k * s30, k * s30, k * c30}, 30, k, k, 0},
        {"mirrored", {k, 0, 0, -k}, 0, k, -k, 0},
        {"twice as wide", {2 * k, 0, 0, k}, 0, 2 * k, k, 0},
        {"sheared by 45 degrees", {k, 0, k, k}, 0, k, k, -1.0f},
        {"degenerate", {k, 0, k, 0}, 0, k, 0, 0},
    };
    for (const auto &t : cases) {
        TextRunState run{};
        ASSERT_EQ(FNT_DecomposeTextMatrix(t.m, &run), 0) << t.what;
        EXPECT_EQ(run.charAngle, t.angle) << t.what;
        EXPECT_NEAR(run.scaleX, t.scaleX, 1e-4) << t.what;
        EXPECT_NEAR(run.scaleY, t.scaleY, 1e-4) << t.what;
        EXPECT_NEAR(run.shearX, t.shearX, 1e-3) << t.what;
        EXPECT_EQ(run.shearY, 0.0f) << t.what;
    }
    EXPECT_EQ(FNT_DecomposeTextMatrix(nullptr, nullptr), -1);
}

TEST(TxtMatrix, TheAngleIsTheNearestWholeDegree)
{
    /* An upright font turned by the angle: m11 = k cos a, m12 = -k sin a, m21 = k sin a, m22 = k cos a.
       The cosines and sines to seven places; the two columns stay perpendicular, so scale 1:1, no shear. */
    const float k = 0.05f;
    const struct {
        WORD angle;
        float cos, sin;
    } cases[] = {
        {0, 1.0f, 0.0f},
        {1, 0.9998477f, 0.0174524f},
        {30, 0.8660254f, 0.5f},
        {45, 0.7071068f, 0.7071068f},
        {60, 0.5f, 0.8660254f},
        {89, 0.0174524f, 0.9998477f},
        {90, 0.0f, 1.0f},
        {135, -0.7071068f, 0.7071068f},
        {180, -1.0f, 0.0f},
        {225, -0.7071068f, -0.7071068f},
        {270, 0.0f, -1.0f},
        {315, 0.7071068f, -0.7071068f},
        {359, 0.9998477f, -0.0174524f},
    };
    for (const auto &t : cases) {
        const float m[4] = {k * t.cos, -k * t.sin, k * t.sin, k * t.cos};
        TextRunState run{};
        ASSERT_EQ(FNT_DecomposeTextMatrix(m, &run), 0) << t.angle;
        EXPECT_EQ(run.charAngle, t.angle) << t.angle;
        EXPECT_NEAR(run.scaleX, k, 1e-6) << t.angle;
        EXPECT_NEAR(run.scaleY, k, 1e-6) << t.angle;
        EXPECT_EQ(run.shearX, 0.0f) << t.angle;
        EXPECT_EQ(run.shearY, 0.0f) << t.angle;
    }
}

/* The drawing fixture with the standard model's resident faces as the context's device fonts. */
class TextOut : public DeviceFontTest {
protected:
    void SetUp() override
    {
        DeviceFontTest::SetUp();
        open();
        startPage(
            {
                {tarvel_models::courierMetrics(), "Courier         ", 590},
                {tarvel_models::helveticaMetrics(), "Helvetica       ", 590},
                {tarvel_models::timesMetrics(), "Times        Rmn", 590},
                {tarvel_models::minchoMetrics(), "Mincho          ", 619},
            },
            true);
    }

    void TearDown() override
    {
        for (STROBJ *s : strings)
            plat::engine_free_text(s);
        for (FONTOBJ *f : fonts)
            plat::engine_free_font(f);
        if (brush)
            plat::engine_free_brush(brush);
        endPage();
        DeviceFontTest::TearDown();
    }

    /* A device font of face `face` (1-based) with an em of `em` pixels at `escapement` tenths of a degree. */
    FONTOBJ *deviceFont(ULONG face, LONG em, LONG escapement = 0)
    {
        plat::DeviceFontSpec spec;
        spec.dhpdev = reinterpret_cast<DHPDEV>(pdev.get());
        spec.queryFont = DrvQueryFont;
        spec.queryFontTree = DrvQueryFontTree;
        spec.queryAdvanceWidths = DrvQueryAdvanceWidths;
        spec.face = face;
        spec.height = -em;
        spec.escapement = escapement;
        FONTOBJ *f = plat::engine_make_device_font(spec);
        EXPECT_NE(f, nullptr) << GetLastError();
        if (f)
            fonts.push_back(f);
        return f;
    }

    /* Draws `text` in `font` at `origin` with the advances `dx` (pixels along the escapement). */
    BOOL draw(FONTOBJ *font, const std::u16string &text, POINTL origin, std::vector<INT> dx = {},
              RECTL *extra = nullptr, RECTL *opaque = nullptr)
    {
        plat::TextOptions options;
        if (!dx.empty())
            options.dx = dx.data();
        STROBJ *s = plat::engine_make_text(font, text.c_str(), ULONG(text.size()), origin, options);
        EXPECT_NE(s, nullptr) << GetLastError();
        if (!s)
            return FALSE;
        strings.push_back(s);
        if (!brush)
            brush = plat::engine_make_solid_brush(0x000000);
        return TXT_TextOut(&target, s, font, nullptr, extra, opaque, brush, brush, nullptr, 0x0D0D);
    }

    /* The text commands of the lines, from the first SetCharBoldValue / SetCharShear on. */
    static Lines textCommands(const Lines &all)
    {
        Lines out;
        for (const std::string &l : all)
            if (l.rfind("SetChar", 0) == 0 || l.rfind("SetFont", 0) == 0 || l.rfind("SetCursor", 0) == 0 ||
                l.rfind("Text", 0) == 0)
                out.push_back(l);
        return out;
    }

    /* The captured bytes of the last take, kept for byte checks. */
    Lines take()
    {
        EXPECT_EQ(OUT_Flush(pdev->channel), 0);
        raw = capture.bytes;
        return ops();
    }
    Bytes raw;
    std::vector<FONTOBJ *> fonts;
    std::vector<STROBJ *> strings;
    BRUSHOBJ *brush = nullptr;
};

/* A font name as the lister shows a byte array. */
std::string name_bytes(const std::string &name)
{
    std::string out;
    for (unsigned char c : name)
        out += (out.empty() ? "" : ",") + std::to_string(c);
    return out;
}

bool contains(const Bytes &haystack, const Bytes &needle)
{
    return std::search(haystack.begin(), haystack.end(), needle.begin(), needle.end()) != haystack.end();
}

} // namespace

TEST_F(TextOut, ADeviceFontRunIsWrittenAsText)
{
    FONTOBJ *courier = deviceFont(1, 50);
    ASSERT_NE(courier, nullptr);
    ASSERT_TRUE(draw(courier, u"Hi", {100, 200}, {30, 30}));
    Lines got = take();
    /* 50-pixel em: size 1000 x 0.05 = 50.0, scale 1, no shear, no bold; the printer's name and 18N (590). */
    EXPECT_EQ(textCommands(got), (Lines{
                                     "SetCharBoldValue CharBoldValue=0",
                                     "SetCharShear CharShear=0,0",
                                     "SetCharScale CharScale=1,1",
                                     "SetCharSubMode CharSubModeArray=0",
                                     "SetCharAttributes WritingMode=0",
                                     "SetFont FontName=" + name_bytes("Courier         ") + " CharSize=50 SymbolSet=590",
                                     "SetCursor Point=100,200",
                                     "SetCharAngle CharAngle=0",
                                     "Text TextData=72,105 XSpacingData=30,0",
                                 }))
        << joined(got);
    /* Text: uint16_array (C9) of 2 (C0 02) "H" "i", TextData (F8 AB); sint16_array (CB) 30, 0, XSpacingData
       (F8 AF); the operator Text (A8). */
    EXPECT_TRUE(contains(raw, {0xC9, 0xC0, 0x02, 0x48, 0x00, 0x69, 0x00, 0xF8, 0xAB, 0xCB, 0xC0, 0x02, 0x1E, 0x00,
                               0x00, 0x00, 0xF8, 0xAF, 0xA8}));
    EXPECT_NE(std::find(got.begin(), got.end(), "SetBrushSource RGBColor=0,0,0"), got.end()) << "the text colour";
}

TEST_F(TextOut, RunsAsATable)
{
    const struct {
        const char *what;
        ULONG face;
        LONG em, escapement;
        FLONG simulations;
        std::u16string text;
        std::vector<INT> dx;
        Lines expected; /* from SetCharBoldValue to Text */
    } cases[] = {
        {"Courier at 100 pixels", 1, 100, 0, 0, u"AB", {60, 50}, {
             "SetCharBoldValue CharBoldValue=0", "SetCharShear CharShear=0,0", "SetCharScale CharScale=1,1",
             "SetCharSubMode CharSubModeArray=0", "SetCharAttributes WritingMode=0",
             "SetFont FontName=" + name_bytes("Courier         ") + " CharSize=100 SymbolSet=590",
             "SetCursor Point=100,200", "SetCharAngle CharAngle=0", "Text TextData=65,66 XSpacingData=60,0"}},
        {"rotated 90 degrees", 1, 50, 900, 0, u"ABC", {30, 20, 20}, {
             "SetCharBoldValue CharBoldValue=0", "SetCharShear CharShear=0,0", "SetCharScale CharScale=1,1",
             "SetCharSubMode CharSubModeArray=0", "SetCharAttributes WritingMode=0",
             "SetFont FontName=" + name_bytes("Courier         ") + " CharSize=50 SymbolSet=590",
             "SetCursor Point=100,200", "SetCharAngle CharAngle=90", "Text TextData=65,66,67 YSpacingData=-30,-20,0"}},
        {"rotated 180 degrees", 1, 50, 1800, 0, u"ABC", {30, 20, 20}, {
             "SetCharBoldValue CharBoldValue=0", "SetCharShear CharShear=0,0", "SetCharScale CharScale=1,1",
             "SetCharSubMode CharSubModeArray=0", "SetCharAttributes WritingMode=0",
             "SetFont FontName=" + name_bytes("Courier         ") + " CharSize=50 SymbolSet=590",
             "SetCursor Point=100,200", "SetCharAngle CharAngle=180", "Text TextData=65,66,67 XSpacingData=-30,-20,0"}},
        {"rotated 270 degrees", 1, 50, 2700, 0, u"ABC", {30, 20, 20}, {
             "SetCharBoldValue CharBoldValue=0", "SetCharShear CharShear=0,0", "SetCharScale CharScale=1,1",
             "SetCharSubMode CharSubModeArray=0", "SetCharAttributes WritingMode=0",
             "SetFont FontName=" + name_bytes("Courier         ") + " CharSize=50 SymbolSet=590",
             "SetCursor Point=100,200", "SetCharAngle CharAngle=270", "Text TextData=65,66,67 YSpacingData=30,20,0"}},
        /* 30 degrees: (30 cos 30, -30 sin 30) = (25.98, -15) and (50 cos 30, -50 sin 30) = (43.30, -25) */
        {"rotated 30 degrees", 1, 50, 300, 0, u"ABC", {30, 20, 20}, {
             "SetCharBoldValue CharBoldValue=0", "SetCharShear CharShear=0,0", "SetCharScale CharScale=1,1",
             "SetCharSubMode CharSubModeArray=0", "SetCharAttributes WritingMode=0",
             "SetFont FontName=" + name_bytes("Courier         ") + " CharSize=50 SymbolSet=590",
             "SetCursor Point=100,200", "SetCharAngle CharAngle=30",
             "Text TextData=65,66,67 XSpacingData=26,17,0 YSpacingData=-15,-10,0"}},
        /* 45 degrees: 30 x 0.7071 = 21.21 and 50 x 0.7071 = 35.36 from (100, 200): (121, 179), (135, 165) */
        {"rotated 45 degrees", 1, 50, 450, 0, u"ABC", {30, 20, 20}, {
             "SetCharBoldValue CharBoldValue=0", "SetCharShear CharShear=0,0", "SetCharScale CharScale=1,1",
             "SetCharSubMode CharSubModeArray=0", "SetCharAttributes WritingMode=0",
             "SetFont FontName=" + name_bytes("Courier         ") + " CharSize=50 SymbolSet=590",
             "SetCursor Point=100,200", "SetCharAngle CharAngle=45",
             "Text TextData=65,66,67 XSpacingData=21,14,0 YSpacingData=-21,-14,0"}},
        {"simulated bold", 3, 50, 0, FO_SIM_BOLD, u"AB", {30, 30}, {
             "SetCharBoldValue CharBoldValue=0.015", "SetCharShear CharShear=0,0", "SetCharScale CharScale=1,1",
             "SetCharSubMode CharSubModeArray=0", "SetCharAttributes WritingMode=0",
             "SetFont FontName=" + name_bytes("Times        Rmn") + " CharSize=50 SymbolSet=590",
             "SetCursor Point=100,200", "SetCharAngle CharAngle=0", "Text TextData=65,66 XSpacingData=30,0"}},
        {"simulated italic", 3, 50, 0, FO_SIM_ITALIC, u"AB", {30, 30}, {
             "SetCharBoldValue CharBoldValue=0", "SetCharShear CharShear=0.3162,0", "SetCharScale CharScale=1,1",
             "SetCharSubMode CharSubModeArray=0", "SetCharAttributes WritingMode=0",
             "SetFont FontName=" + name_bytes("Times        Rmn") + " CharSize=50 SymbolSet=590",
             "SetCursor Point=100,200", "SetCharAngle CharAngle=0", "Text TextData=65,66 XSpacingData=30,0"}},
        {"a spacing array of the caller's advances", 2, 50, 0, 0, u"Tarvel", {40, 20, 15, 25, 30, 10}, {
             "SetCharBoldValue CharBoldValue=0", "SetCharShear CharShear=0,0", "SetCharScale CharScale=1,1",
             "SetCharSubMode CharSubModeArray=0", "SetCharAttributes WritingMode=0",
             "SetFont FontName=" + name_bytes("Helvetica       ") + " CharSize=50 SymbolSet=590",
             "SetCursor Point=100,200", "SetCharAngle CharAngle=0",
             "Text TextData=84,97,114,118,101,108 XSpacingData=40,20,15,25,30,0"}},
        /* Helvetica's A and V are 684 units: (684 x 3277) >> 12 = 547, + 8 rounded down to 16: 544 = 34 pixels. */
        {"advances from the device font's widths", 2, 50, 0, 0, u"AV", {}, {
             "SetCharBoldValue CharBoldValue=0", "SetCharShear CharShear=0,0", "SetCharScale CharScale=1,1",
             "SetCharSubMode CharSubModeArray=0", "SetCharAttributes WritingMode=0",
             "SetFont FontName=" + name_bytes("Helvetica       ") + " CharSize=50 SymbolSet=590",
             "SetCursor Point=100,200", "SetCharAngle CharAngle=0", "Text TextData=65,86 XSpacingData=34,0"}},
        /* Mincho: the double-byte codes are 1,000 units (50 pixels), the single-byte ones 500 (25 pixels). */
        {"Japanese through a resident face", 4, 50, 0, 0, u"\u3042\u3044A", {}, {
             "SetCharBoldValue CharBoldValue=0", "SetCharShear CharShear=0,0", "SetCharScale CharScale=1,1",
             "SetCharSubMode CharSubModeArray=0", "SetCharAttributes WritingMode=0",
             "SetFont FontName=" + name_bytes("Mincho          ") + " CharSize=50 SymbolSet=619",
             "SetCursor Point=100,200", "SetCharAngle CharAngle=0", "Text TextData=12354,12356,65 XSpacingData=50,50,0"}},
    };
    for (const auto &c : cases) {
        FONTOBJ *font = deviceFont(c.face, c.em, c.escapement);
        ASSERT_NE(font, nullptr) << c.what;
        font->flFontType |= c.simulations;
        XL_ResetFontState(ctx());
        ASSERT_TRUE(draw(font, c.text, {100, 200}, c.dx)) << c.what << " " << GetLastError();
        Lines got = textCommands(take());
        EXPECT_EQ(got, c.expected) << c.what << "\n" << joined(got);
    }
}

TEST_F(TextOut, TrueTypeTextTakesTheDownloadRoad)
{
    plat::TrueTypeFontSpec spec;
    spec.file = "/usr/share/fonts/truetype/dejavu/DejaVuSans.ttf";
    spec.height = -50;
    FONTOBJ *font = plat::engine_open_truetype_font(spec);
    ASSERT_NE(font, nullptr) << GetLastError();
    fonts.push_back(font);
    ASSERT_TRUE(draw(font, u"Hi", {100, 200}));
    /* the outlines go first: one header, two characters, then the text in that font */
    int headers = 0, chars = 0, texts = 0;
    for (const std::string &l : take()) {
        headers += l.rfind("BeginFontHeader", 0) == 0;
        chars += l.rfind("ReadChar", 0) == 0;
        texts += l.rfind("Text", 0) == 0;
    }
    EXPECT_EQ(headers, 1);
    EXPECT_EQ(chars, 2);
    EXPECT_EQ(texts, 1);
    FNT_FreeDownloadedFonts(ctx());
}

TEST_F(TextOut, RunNamesOfTheDownloadRoads)
{
    /* A hand-made IFIMETRICS with the face "Arial" behind it. */
    struct {
        IFIMETRICS ifi;
        char16_t face[8];
    } m{};
    m.ifi.dpwszFaceName = PTRDIFF(offsetof(decltype(m), face));
    std::memcpy(m.face, u"Arial", sizeof u"Arial");
    FONTOBJ font{};
    TextRunState run{};
    run.charSize = 50.0f;
    run.charAngle = 0;
    run.scaleX = 1.0f;
    ASSERT_EQ(FNT_MakeRunFontName(ctx(), &font, FONT_PATH_BITMAP, 0xFFFF, &m.ifi, &run), 0);
    EXPECT_STREQ(run.fontName, "Arial:42480000:0000:3F800000:BM");
    EXPECT_EQ(run.symbolSet, 309);

    run.charAngle = 30;
    run.scaleX = 0.5f;
    font.flFontType = FO_SIM_BOLD | FO_SIM_ITALIC;
    ASSERT_EQ(FNT_MakeRunFontName(ctx(), &font, FONT_PATH_BITMAP, 0xFFFF, &m.ifi, &run), 0);
    EXPECT_STREQ(run.fontName, "Arial:42480000:001E:3F000000:BM:B:I");
    EXPECT_EQ(run.charAngle, 0) << "the angle and width are in the font";
    EXPECT_EQ(run.scaleX, 1.0f);

    m.ifi.fsSelection = FM_SEL_BOLD | FM_SEL_ITALIC;
    ASSERT_EQ(FNT_MakeRunFontName(ctx(), &font, FONT_PATH_OUTLINE, 0xFFFF, &m.ifi, &run), 0);
    EXPECT_STREQ(run.fontName, "Arial:OL:B:I");
    EXPECT_EQ(run.symbolSet, 590);

    /* The longest face (94 bytes) and the longest suffix fit the run's and the cache's name. */
    struct {
        IFIMETRICS ifi;
        char16_t face[200];
    } wide{};
    wide.ifi.dpwszFaceName = PTRDIFF(offsetof(decltype(wide), face));
    for (int i = 0; i < 150; ++i)
        wide.face[i] = u'W';
    run.charAngle = 359;
    ASSERT_EQ(FNT_MakeRunFontName(ctx(), &font, FONT_PATH_BITMAP, 0xFFFF, &wide.ifi, &run), 0);
    EXPECT_EQ(std::strlen(run.fontName), 94u + 30u);
    EXPECT_EQ(XL_SetFont(ctx(), run.fontName, 50.0f, 309), 0) << "the text-state cache holds the longest name";
}

TEST_F(TextOut, EmptyAndOversizedRuns)
{
    FONTOBJ *courier = deviceFont(1, 50);
    ASSERT_NE(courier, nullptr);
    plat::TextOptions options;
    STROBJ *s = plat::engine_make_text(courier, u"A", 1, {100, 200}, options);
    ASSERT_NE(s, nullptr);
    strings.push_back(s);
    brush = plat::engine_make_solid_brush(0);
    take();

    EXPECT_EQ(TXT_DrawGlyphRun(ctx(), brush, 0, s->pgp, courier, s, u"A", 0x0D0D, 0), 1) << "nothing to draw";
    EXPECT_TRUE(take().empty()) << "a run of no glyphs writes nothing";

    const ULONG count = 65536;
    std::vector<GLYPHPOS> glyphs(count, s->pgp[0]);
    std::u16string text(count, u'A');
    SetLastError(0);
    EXPECT_EQ(TXT_DrawGlyphRun(ctx(), brush, count, glyphs.data(), courier, s, text.c_str(), 0x0D0D, 0), 0);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_TRUE(take().empty()) << "an oversized run writes nothing";
    EXPECT_EQ(TXT_DrawGlyphRun(ctx(), brush, 1, s->pgp, courier, s, nullptr, 0x0D0D, 0), 0) << "no text";

    SetLastError(0);
    EXPECT_FALSE(TXT_TextOut(&target, nullptr, courier, nullptr, nullptr, nullptr, brush, nullptr, nullptr, 0x0D0D));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    EXPECT_FALSE(TXT_TextOut(nullptr, s, courier, nullptr, nullptr, nullptr, brush, nullptr, nullptr, 0x0D0D));
}

TEST_F(TextOut, OpaqueBackgroundAndUnderline)
{
    FONTOBJ *courier = deviceFont(1, 50);
    ASSERT_NE(courier, nullptr);
    RECTL opaque = {90, 160, 170, 215};
    RECTL extra[] = {{100, 210, 160, 205}, {0, 0, 0, 0}};
    ASSERT_TRUE(draw(courier, u"Hi", {100, 200}, {30, 30}, extra, &opaque));
    Lines got = take();
    auto rect = std::find(got.begin(), got.end(), "Rectangle BoundingBox=90,160,170,215");
    auto text = std::find_if(got.begin(), got.end(), [](const std::string &l) { return l.rfind("Text ", 0) == 0; });
    auto under = std::find(got.begin(), got.end(), "Rectangle BoundingBox=100,205,160,210");
    EXPECT_NE(rect, got.end()) << joined(got);
    EXPECT_NE(under, got.end()) << "the extra rectangle normalised\n" << joined(got);
    EXPECT_TRUE(rect < text && text < under) << joined(got);
}

TEST_F(TextOut, FontDataOfADeviceFont)
{
    FONTOBJ *helvetica = deviceFont(2, 50);
    ASSERT_NE(helvetica, nullptr);
    DHPDEV dhpdev = reinterpret_cast<DHPDEV>(pdev.get());
    EXPECT_EQ(DrvQueryFontData(dhpdev, helvetica, 3, 0, nullptr, nullptr, 0), 124) << "FD_DEVICEMETRICS' size";

    /* 'A' is 684 units; the em of 50 pixels makes (4096, 0) 3,277 in 28.4: 3277 x 684 / 4096 = 547, 544 whole. */
    GLYPHDATA gd{};
    ASSERT_EQ(DrvQueryFontData(dhpdev, helvetica, 1, 'A', &gd, nullptr, 0), 0);
    EXPECT_EQ(gd.hg, HGLYPH('A'));
    EXPECT_EQ(gd.fxD, 544);
    EXPECT_EQ(gd.fxAB, 544);
    EXPECT_EQ(gd.fxA, 0);

    HGLYPH glyphs[] = {'A', 'i', 0x20AC};
    USHORT widths[3] = {};
    ASSERT_TRUE(DrvQueryAdvanceWidths(dhpdev, helvetica, QAW_GETWIDTHS, glyphs, widths, 3));
    /* i: 278 units: 3277 x 278 / 4096 = 222, + 8 = 230, down to 224 (14 pixels) */
    EXPECT_EQ(widths[0], 544);
    EXPECT_EQ(widths[1], 224);
    SetLastError(0);
    EXPECT_FALSE(DrvQueryAdvanceWidths(dhpdev, helvetica, 2, glyphs, widths, 3));
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER)) << "an unknown mode";
    EXPECT_TRUE(DrvQueryAdvanceWidths(dhpdev, helvetica, QAW_GETWIDTHS, glyphs, widths, 0)) << "no glyphs";
}
