// Brushes: realisation of hatch and pattern brushes through the engine's
// call-back, selection as pen or brush under the ROPs of the mixes, the
// hatch rows, one-bit, palette and colour patterns, solids and the mesh as
// the job lister reads them, the reuse of a realisation and of a pattern
// the printer already holds, and the refusal of bad brushes.
#include "draw_test_support.h"

#include "brs_realized.h"

#include <plat/engine.h>

#include <gtest/gtest.h>

#include <array>
#include <cstdio>

using namespace draw_test;

namespace {

using Lines = std::vector<std::string>;

/* Hatch rows as sent: each 16-bit row most significant byte first, then FF FF. */
std::string rows16(const std::array<WORD, 16> &rows)
{
    std::string s;
    char b[16];
    for (WORD r : rows) {
        std::snprintf(b, sizeof b, "%s%02X %02X FF FF", s.empty() ? "" : " ", r >> 8, r & 0xFF);
        s += b;
    }
    return s;
}

/* A pattern surface of the caller's rows (a record of the library's own kind: public fields only). */
SURFOBJ patternSurface(ULONG format, LONG width, LONG height, void *rows, LONG delta)
{
    SURFOBJ so{};
    so.sizlBitmap = {width, height};
    so.iBitmapFormat = format;
    so.pvScan0 = rows;
    so.pvBits = rows;
    so.lDelta = delta;
    so.fjBitmap = BMF_TOPDOWN;
    return so;
}

class Brushes : public DrawTest {
protected:
    void TearDown() override
    {
        for (BRUSHOBJ *b : brushes)
            plat::engine_free_brush(b);
        for (XLATEOBJ *x : xlates)
            plat::engine_free_xlate(x);
        DrawTest::TearDown();
    }

    XLATEOBJ *table(const std::vector<ULONG> &entries)
    {
        xlates.push_back(plat::engine_make_xlate_table(entries));
        return xlates.back();
    }

    /* An engine pattern brush realised by the library's DrvRealizeBrush when first asked for. */
    BRUSHOBJ *patternBrush(SURFOBJ *pattern, XLATEOBJ *xlate, ULONG hatch)
    {
        plat::BrushRealization r{};
        r.realize = DrvRealizeBrush;
        r.target = &target;
        r.pattern = pattern;
        r.xlate = xlate;
        r.hatch = hatch;
        brushes.push_back(plat::engine_make_pattern_brush(r));
        return brushes.back();
    }

    BRUSHOBJ *solidBrush(ULONG color)
    {
        brushes.push_back(plat::engine_make_solid_brush(color));
        return brushes.back();
    }

    std::vector<BRUSHOBJ *> brushes;
    std::vector<XLATEOBJ *> xlates;
    BYTE hatchBits[64] = {}; /* the 1-bit surface the engine hands with a hatch brush */
};

/* The hatch bitmaps, typed from the format's table. */
const std::array<std::array<WORD, 16>, 6> kHatch = {{
    {0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0x0000, 0x0000, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF, 0xFFFF,
     0xFFFF, 0xFFFF},
    {0xFE7F, 0xFE7F, 0xFE7F, 0xFE7F, 0xFE7F, 0xFE7F, 0xFE7F, 0xFE7F, 0xFE7F, 0xFE7F, 0xFE7F, 0xFE7F, 0xFE7F, 0xFE7F,
     0xFE7F, 0xFE7F},
    {0x3FFF, 0x9FFF, 0xCFFF, 0xE7FF, 0xF3FF, 0xF9FF, 0xFCFF, 0xFE7F, 0xFF3F, 0xFF9F, 0xFFCF, 0xFFE7, 0xFFF3, 0xFFF9,
     0xFFFC, 0x7FFE},
    {0x7FFE, 0xFFFC, 0xFFF9, 0xFFF3, 0xFFE7, 0xFFCF, 0xFF9F, 0xFF3F, 0xFE7F, 0xFCFF, 0xF9FF, 0xF3FF, 0xE7FF, 0xCFFF,
     0x9FFF, 0x3FFF},
    {0xFE7F, 0xFE7F, 0xFE7F, 0xFE7F, 0xFE7F, 0xFE7F, 0xFE7F, 0x0000, 0x0000, 0xFE7F, 0xFE7F, 0xFE7F, 0xFE7F, 0xFE7F,
     0xFE7F, 0xFE7F},
    {0x3FFE, 0x9FFC, 0xCFF9, 0xE7F3, 0xF3E7, 0xF9CF, 0xFC9F, 0xFE3F, 0xFE3F, 0xFC9F, 0xF9CF, 0xF3E7, 0xE7F3, 0xCFF9,
     0x9FFC, 0x3FFE},
}};

/*
 * Each hatch style as brush and as pen, in a colour job and in a monochrome
 * job rendering graphics in black and white: red lines (palette entry 1,
 * the colour of the 0 bits) on white (entry 0).  At 600 dpi with setting 348
 * at 150 the hatch scale is 1200 / 150 / 2 = 4, so 16 pixels become
 * 600 x 16 x 4 / 1200 = 32.  The second selection finds the ROP, the modes
 * and the pattern in force and the realisation kept: nothing is written and
 * the engine does not ask the library again.
 */
TEST_F(Brushes, EachHatchStyleInColourAndMonochrome)
{
    struct Mode {
        const char *name;
        LONG colourMode;
        LONG blackWhite;
        const char *palette; /* red, then white, as red, green, blue */
    } modes[] = {
        {"colour", 2, 0, "255,0,0,255,255,255"},
        {"monochrome", 1, 2, "0,0,0,255,255,255"},
    };
    for (const Mode &m : modes) {
        for (LONG role : {2, 1}) {
            for (ULONG style = 0; style < 6; style++) {
                JobDevmode dm;
                baseSettings(dm);
                dm.set(293, 2);
                dm.set(ID_COLOUR_MODE, m.colourMode);
                dm.set(454, m.blackWhite);
                open(dm);
                SURFOBJ bits = patternSurface(BMF_1BPP, 16, 16, hatchBits, 4);
                BRUSHOBJ *brush = patternBrush(&bits, table({0xFFFFFF, 0xFF0000}), style);
                const ROP4 rop = 0xF0F0;
                const std::string id = role == 1 ? "2" : "1";
                const Lines expected = {
                    "SetROP ROP3=240",
                    "SetPatternTxMode TxMode=0",
                    "SetSourceTxMode TxMode=0",
                    std::string("SetColorSpace ColorSpace=2 PaletteDepth=2 PaletteData=") + m.palette,
                    "BeginRastPattern ColorMapping=1 ColorDepth=0 SourceWidth=16 SourceHeight=16 DestinationSize=32,32 "
                    "PatternDefineID=" + id + " PatternPersistence=1",
                    "ReadRastPattern StartLine=0 BlockHeight=16 CompressMode=0 data=" + rows16(kHatch[style]),
                    "EndRastPattern",
                    (role == 1 ? "SetPenSource PatternSelectID=" : "SetBrushSource PatternSelectID=") + id,
                };
                ASSERT_TRUE(BRS_SelectBrush(ctx(), role, nullptr, brush, &rop)) << m.name << " " << style;
                EXPECT_EQ(ops(), expected) << m.name << " style " << style << " role " << role;
                ASSERT_TRUE(BRS_SelectBrush(ctx(), role, nullptr, brush, &rop));
                EXPECT_EQ(ops(), Lines{}) << "the second use is the cache's";
                EXPECT_EQ(plat::engine_brush_realize_count(brush), 1u);
                auto *rb = static_cast<const RealizedBrush *>(brush->pvRbrush);
                ASSERT_NE(rb, nullptr);
                EXPECT_EQ(rb->style, LONG(style));
                EXPECT_EQ(rb->patternBytes, 0u) << "a hatch keeps no rows";
                EXPECT_EQ(rb->paletteOffset, 40u);
                EXPECT_EQ(rb->paletteCount, 2u);
            }
        }
    }
}

/* A hatch whose background mix is R2_NOP leaves its 1 bits unpainted: transparent modes, entry 1 white. */
TEST_F(Brushes, HatchUnderANopBackgroundIsTransparent)
{
    open();
    SURFOBJ bits = patternSurface(BMF_1BPP, 16, 16, hatchBits, 4);
    BRUSHOBJ *brush = patternBrush(&bits, table({0x00FF00, 0x0000FF}), 1); /* green 1 bits, blue lines */
    const ROP4 rop = 0xAAF0;
    POINTL org{3, 5};
    ASSERT_TRUE(BRS_SelectBrush(ctx(), 2, &org, brush, &rop));
    EXPECT_EQ(ops(), (Lines{
                         "SetROP ROP3=240",
                         "SetPatternTxMode TxMode=1",
                         "SetSourceTxMode TxMode=1",
                         "SetColorSpace ColorSpace=2 PaletteDepth=2 PaletteData=0,0,255,255,255,255",
                         "BeginRastPattern ColorMapping=1 ColorDepth=0 SourceWidth=16 SourceHeight=16 "
                         "DestinationSize=32,32 PatternDefineID=1 PatternPersistence=1",
                         "ReadRastPattern StartLine=0 BlockHeight=16 CompressMode=0 data=" + rows16(kHatch[1]),
                         "EndRastPattern",
                         "SetBrushSource PatternSelectID=1 PatternOrigin=3,5",
                     }));
}

/* One-bit patterns: two colours, an all-ones pattern under a transparent background, a white entry 0. */
TEST_F(Brushes, OneBitPatterns)
{
    open();
    BYTE checker[8 * 4] = {0xAA, 0, 0, 0, 0x55, 0, 0, 0, 0xAA, 0, 0, 0, 0x55, 0, 0, 0,
                           0xAA, 0, 0, 0, 0x55, 0, 0, 0, 0xAA, 0, 0, 0, 0x55, 0, 0, 0};
    SURFOBJ bits = patternSurface(BMF_1BPP, 8, 8, checker, 4);
    BRUSHOBJ *brush = patternBrush(&bits, table({0x0000FF, 0xFFFFFF}), 6); /* blue 0 bits, white 1 bits */
    const ROP4 copy = 0xF0F0;
    ASSERT_TRUE(BRS_SelectBrush(ctx(), 2, nullptr, brush, &copy));
    EXPECT_EQ(ops(), (Lines{
                         "SetROP ROP3=240",
                         "SetPatternTxMode TxMode=0",
                         "SetSourceTxMode TxMode=0",
                         "SetColorSpace ColorSpace=2 PaletteDepth=2 PaletteData=0,0,255,255,255,255",
                         /* pattern scale 1200 / 150 = 8: 600 x 8 x 8 / 1200 = 32 */
                         "BeginRastPattern ColorMapping=1 ColorDepth=0 SourceWidth=8 SourceHeight=8 "
                         "DestinationSize=32,32 PatternDefineID=1 PatternPersistence=1",
                         "ReadRastPattern StartLine=0 BlockHeight=8 CompressMode=0 data=AA 00 00 00 55 00 00 00 "
                         "AA 00 00 00 55 00 00 00 AA 00 00 00 55 00 00 00 AA 00 00 00 55 00 00 00",
                         "EndRastPattern",
                         "SetBrushSource PatternSelectID=1",
                     }));

    /* All ones under a transparent background: nothing to paint, no brush. */
    BYTE ones[8 * 4];
    for (int i = 0; i < 32; i++)
        ones[i] = i % 4 ? 0 : 0xFF;
    SURFOBJ allOnes = patternSurface(BMF_1BPP, 8, 8, ones, 4);
    BRUSHOBJ *blank = patternBrush(&allOnes, table({0x0000FF, 0x00FF00}), 6);
    const ROP4 nopBackground = 0xAAF0;
    ASSERT_TRUE(BRS_SelectBrush(ctx(), 2, nullptr, blank, &nopBackground));
    EXPECT_EQ(ops(), (Lines{"SetBrushSource NullBrush=0"}));

    /* A white entry 0 under a transparent background is painted as 254. */
    BRUSHOBJ *white = patternBrush(&bits, table({0xFFFFFF, 0x000000}), 6);
    ASSERT_TRUE(BRS_SelectBrush(ctx(), 2, nullptr, white, &nopBackground));
    Lines got = ops();
    ASSERT_GE(got.size(), 3u) << joined(got);
    EXPECT_EQ(got[0], "SetPatternTxMode TxMode=1");
    EXPECT_EQ(got[1], "SetSourceTxMode TxMode=1");
    EXPECT_EQ(got[2], "SetColorSpace ColorSpace=2 PaletteDepth=2 PaletteData=254,254,254,255,255,255");
}

/* The pen draws only with ROP3s needing no pattern: 0x5A (R2_XORPEN) becomes 0xF0; the brush keeps it. */
TEST_F(Brushes, PenRopRuleAndSolidColours)
{
    open();
    BRUSHOBJ *orange = solidBrush(0x0080FF); /* blue 0xFF, green 0x80, red 0x00 */
    const ROP4 xorPen = 0x5A5A;
    ASSERT_TRUE(BRS_SelectBrush(ctx(), 1, nullptr, orange, &xorPen));
    EXPECT_EQ(ops(), (Lines{"SetROP ROP3=240", "SetPatternTxMode TxMode=0", "SetSourceTxMode TxMode=0",
                            "SetColorSpace ColorSpace=2", "SetPenSource RGBColor=0,128,255"}));
    ASSERT_TRUE(BRS_SelectBrush(ctx(), 2, nullptr, orange, &xorPen));
    EXPECT_EQ(ops(), (Lines{"SetROP ROP3=90", "SetBrushSource RGBColor=0,128,255"}));

    /* Without a brush object only the ROP (pen rule applied) and the opaque modes. */
    const ROP4 merge = 0xEEEE;
    ASSERT_TRUE(BRS_SelectBrush(ctx(), 1, nullptr, nullptr, &merge));
    EXPECT_EQ(ops(), (Lines{"SetROP ROP3=240"}));
    ASSERT_TRUE(BRS_SelectBrush(ctx(), 2, nullptr, nullptr, &merge));
    EXPECT_EQ(ops(), (Lines{"SetROP ROP3=238"}));

    /* Pen and brush at once: the pen, then the colour space again, then the brush. */
    const BYTE grey[3] = {0x40, 0x40, 0x40};
    XL_InvalidateState(ctx());
    ASSERT_EQ(BRS_SendSolidColor(ctx(), grey, 3, FALSE), 0);
    EXPECT_EQ(ops(), (Lines{"SetColorSpace ColorSpace=2", "SetPenSource RGBColor=64,64,64",
                            "SetBrushSource RGBColor=64,64,64"}))
        << "the colour space is in force for the brush";
}

/* Grey handling for graphics (setting 455 = 2) sends a grey colour as a grey level. */
TEST_F(Brushes, GreyColoursGoAsGreyLevels)
{
    JobDevmode dm;
    baseSettings(dm);
    dm.set(293, 2);
    dm.set(455, 2);
    open(dm);
    const BYTE grey[3] = {0x40, 0x40, 0x40}, blue[3] = {0xFF, 0, 0};
    ASSERT_EQ(BRS_SendSolidColor(ctx(), grey, 3, FALSE), 0);
    EXPECT_EQ(ops(), (Lines{"SetColorSpace ColorSpace=1", "SetPenSource GrayLevel=64", "SetBrushSource GrayLevel=64"}));
    ASSERT_EQ(BRS_SendSolidColor(ctx(), blue, 2, FALSE), 0);
    EXPECT_EQ(ops(), (Lines{"SetColorSpace ColorSpace=2", "SetBrushSource RGBColor=0,0,255"}));
}

/* Palette and colour patterns, and those of one colour, which go as solids. */
TEST_F(Brushes, PaletteAndColourPatterns)
{
    open();
    const ROP4 copy = 0xF0F0;
    /* 4-bit, 2 x 2: indices 0 1 / 2 0 with a 16-entry table. */
    BYTE nibbles[2 * 4] = {0x01, 0, 0, 0, 0x20, 0, 0, 0};
    SURFOBJ four = patternSurface(BMF_4BPP, 2, 2, nibbles, 4);
    std::vector<ULONG> entries(16, 0);
    entries[0] = 0xFF0000; /* red */
    entries[1] = 0x00FF00; /* green */
    entries[2] = 0x0000FF; /* blue */
    BRUSHOBJ *palette = patternBrush(&four, table(entries), 6);
    ASSERT_TRUE(BRS_SelectBrush(ctx(), 2, nullptr, palette, &copy));
    std::string pal = "255,0,0,0,255,0,0,0,255";
    for (int i = 3; i < 16; i++)
        pal += ",0,0,0";
    EXPECT_EQ(ops(), (Lines{
                         "SetROP ROP3=240",
                         "SetPatternTxMode TxMode=0",
                         "SetSourceTxMode TxMode=0",
                         "SetColorSpace ColorSpace=2 PaletteDepth=2 PaletteData=" + pal,
                         /* 600 x 2 x 8 / 1200 = 8 */
                         "BeginRastPattern ColorMapping=1 ColorDepth=1 SourceWidth=2 SourceHeight=2 "
                         "DestinationSize=8,8 PatternDefineID=1 PatternPersistence=1",
                         "ReadRastPattern StartLine=0 BlockHeight=2 CompressMode=0 data=01 00 00 00 20 00 00 00",
                         "EndRastPattern",
                         "SetBrushSource PatternSelectID=1",
                     }));

    /* 24-bit, 3 x 1, blue green red pixels: sent red, green, blue without row alignment. */
    BYTE pixels[12] = {0xFF, 0, 0, 0, 0xFF, 0, 0, 0, 0xFF, 0, 0, 0};
    SURFOBJ colour = patternSurface(BMF_24BPP, 3, 1, pixels, 12);
    BRUSHOBJ *direct = patternBrush(&colour, table({}), 6);
    ASSERT_TRUE(BRS_SelectBrush(ctx(), 2, nullptr, direct, &copy));
    EXPECT_EQ(ops(), (Lines{
                         "SetColorSpace ColorSpace=2",
                         "BeginRastPattern ColorMapping=0 ColorDepth=2 SourceWidth=3 SourceHeight=1 "
                         "DestinationSize=12,4 PatternDefineID=1 PatternPersistence=1",
                         "ReadRastPattern StartLine=0 BlockHeight=1 CompressMode=0 PadBytesMultiple=1 "
                         "data=00 00 FF 00 FF 00 FF 00 00",
                         "EndRastPattern",
                         "SetBrushSource PatternSelectID=1",
                     }));

    /* 32-bit 8 x 8 of one colour: a solid brush. */
    std::vector<ULONG> one(64, 0x00336699); /* blue 0x99, green 0x66, red 0x33 */
    SURFOBJ flat = patternSurface(BMF_32BPP, 8, 8, one.data(), 32);
    BRUSHOBJ *solid = patternBrush(&flat, table({}), 6);
    ASSERT_TRUE(BRS_SelectBrush(ctx(), 2, nullptr, solid, &copy));
    EXPECT_EQ(ops(), (Lines{"SetBrushSource RGBColor=51,102,153"}));

    /* 16-bit 5-6-5 pixels through the engine's translation. */
    WORD rgb565[2] = {0xF800, 0x07E0}; /* red, green */
    SURFOBJ sixteen = patternSurface(BMF_16BPP, 2, 1, rgb565, 4);
    xlates.push_back(plat::engine_make_xlate_rgb(PAL_BITFIELDS, 0xF800, 0x07E0, 0x001F));
    BRUSHOBJ *bitfields = patternBrush(&sixteen, xlates.back(), 6);
    XL_InvalidateState(ctx()); /* each listing starts knowing no colour space */
    ASSERT_TRUE(BRS_SelectBrush(ctx(), 2, nullptr, bitfields, &copy));
    Lines got = ops();
    ASSERT_EQ(got.size(), 8u) << joined(got);
    /* the engine's translation gives 0x00BBGGRR: red lands in the first (blue) byte, sent last */
    EXPECT_EQ(got[5], "ReadRastPattern StartLine=0 BlockHeight=1 CompressMode=0 PadBytesMultiple=1 "
                      "data=00 00 FF 00 FF 00");
}

/* The see-through mesh: 8 x 8 rows BB BB EE EE, in a colour over black (variant) or black on white. */
TEST_F(Brushes, MeshPattern)
{
    open();
    const BYTE green[3] = {0, 0x80, 0};
    ASSERT_TRUE(BRS_SendMeshPattern(ctx(), 2, green, TRUE));
    const std::string rows = "data=BB 00 00 00 BB 00 00 00 EE 00 00 00 EE 00 00 00 BB 00 00 00 BB 00 00 00 "
                             "EE 00 00 00 EE 00 00 00";
    EXPECT_EQ(ops(), (Lines{
                         "SetROP ROP3=250",
                         "SetPatternTxMode TxMode=0",
                         "SetSourceTxMode TxMode=0",
                         "SetColorSpace ColorSpace=2 PaletteDepth=2 PaletteData=0,128,0,0,0,0",
                         "BeginRastPattern ColorMapping=1 ColorDepth=0 SourceWidth=8 SourceHeight=8 "
                         "DestinationSize=32,32 PatternDefineID=1 PatternPersistence=1",
                         "ReadRastPattern StartLine=0 BlockHeight=8 CompressMode=0 " + rows,
                         "EndRastPattern",
                         "SetBrushSource PatternSelectID=1",
                     }));
    ASSERT_TRUE(BRS_SendMeshPattern(ctx(), 1, green, FALSE));
    EXPECT_EQ(ops(), (Lines{
                         "SetROP ROP3=160",
                         "SetColorSpace ColorSpace=2 PaletteDepth=2 PaletteData=0,0,0,255,255,255",
                         "BeginRastPattern ColorMapping=1 ColorDepth=0 SourceWidth=8 SourceHeight=8 "
                         "DestinationSize=32,32 PatternDefineID=2 PatternPersistence=1",
                         "ReadRastPattern StartLine=0 BlockHeight=8 CompressMode=0 " + rows,
                         "EndRastPattern",
                         "SetPenSource PatternSelectID=2",
                     }));
}

/* The pattern scale from its settings; a zero divisor is never divided by, and the scale is at least 1. */
TEST_F(Brushes, PatternScale)
{
    struct Case {
        LONG atResolution, resolution, patternResolution;
        LONG pattern, hatch;
    } cases[] = {
        {0, 600, 150, 8, 4},
        {0, 600, 200, 6, 3},
        {1, 600, 150, 2, 2},
        {1, 300, 150, 4, 4},
        {0, 600, 1200, 1, 1}, /* 1200 / 1200 / 2 would be 0 */
        {0, 600, 0, 2, 2},    /* no pattern resolution: the device's */
        {1, 0, 150, 1, 1},    /* no resolution either: 1 */
    };
    for (const Case &c : cases) {
        JobDevmode dm;
        dm.resolution(c.resolution);
        dm.set(386, c.atResolution);
        dm.set(348, c.patternResolution);
        open(dm);
        EXPECT_EQ(BRS_PatternScale(ctx(), FALSE), c.pattern) << c.patternResolution << " " << c.atResolution;
        EXPECT_EQ(BRS_PatternScale(ctx(), TRUE), c.hatch) << c.patternResolution << " " << c.atResolution;
    }
    EXPECT_EQ(BRS_PatternScale(nullptr, TRUE), 0);
}

/* Bad brushes: a clear refusal, nothing written, no realisation left behind. */
TEST_F(Brushes, BadBrushesAreRefused)
{
    open();
    BYTE rows[64] = {};
    XLATEOBJ *xlate = table({0, 0xFFFFFF});
    SURFOBJ good = patternSurface(BMF_1BPP, 8, 8, rows, 4);
    BRUSHOBJ *brush = solidBrush(0);
    struct Case {
        const char *name;
        SURFOBJ pattern;
        bool nullPattern;
        DWORD error; /* 0: none asked */
    } cases[] = {
        {"no pattern surface", good, true, ERROR_INVALID_PARAMETER},
        {"no rows", patternSurface(BMF_1BPP, 8, 8, nullptr, 4), false, ERROR_INVALID_PARAMETER},
        {"rows shorter than the width", patternSurface(BMF_24BPP, 8, 8, rows, 4), false, ERROR_INVALID_PARAMETER},
        {"empty pattern", patternSurface(BMF_1BPP, 0, 8, rows, 4), false, ERROR_INVALID_PARAMETER},
        {"too wide a pattern", patternSurface(BMF_1BPP, 70000, 1, rows, 8800), false, ERROR_INVALID_PARAMETER},
        {"compressed format", patternSurface(BMF_JPEG, 8, 8, rows, 4), false, 0},
    };
    for (Case &c : cases) {
        SetLastError(0);
        EXPECT_FALSE(DrvRealizeBrush(brush, &target, c.nullPattern ? nullptr : &c.pattern, nullptr, xlate, 6))
            << c.name;
        if (c.error) {
            EXPECT_EQ(GetLastError(), c.error) << c.name;
        }
        EXPECT_EQ(brush->pvRbrush, nullptr) << c.name;
    }
    SetLastError(0);
    EXPECT_FALSE(DrvRealizeBrush(brush, &target, &good, nullptr, nullptr, 6)) << "no translation";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    SURFOBJ stranger{};
    SetLastError(0);
    EXPECT_FALSE(DrvRealizeBrush(brush, &stranger, &good, nullptr, xlate, 6)) << "no device context";
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));

    /* A brush of the library's own: the engine gives it no memory, so nothing is realised. */
    BRUSHOBJ own{BO_NOT_SOLID, nullptr, 0};
    EXPECT_FALSE(DrvRealizeBrush(&own, &target, &good, nullptr, xlate, 6));
    EXPECT_EQ(own.pvRbrush, nullptr);

    /* A pattern brush whose realisation fails cannot be selected; nothing is sent. */
    SURFOBJ broken = patternSurface(BMF_1BPP, 8, 8, nullptr, 4);
    BRUSHOBJ *unrealisable = patternBrush(&broken, xlate, 6);
    const ROP4 copy = 0xF0F0;
    EXPECT_FALSE(BRS_SelectBrush(ctx(), 2, nullptr, unrealisable, &copy));
    EXPECT_EQ(ops(), Lines{});
    EXPECT_EQ(unrealisable->pvRbrush, nullptr);
    EXPECT_FALSE(BRS_SelectBrush(ctx(), 3, nullptr, nullptr, &copy)) << "no such target";
    EXPECT_FALSE(BRS_SelectBrush(nullptr, 2, nullptr, nullptr, &copy));
}

/*
 * A monochrome job leaves the greying of solid colours and two-colour
 * patterns to the printer (the job header asks it to render in grey): they
 * go in the RGB space, even a grey colour under grey handling for text and
 * graphics (setting 455 = 3), which is for colour jobs only.  Images are the
 * only thing the driver turns to grey itself.  The bytes, from the format's
 * tables: ubyte 0xC0, ubyte_array 0xC8 with its length as a ubyte, attribute
 * id 0xF8; ColorSpace 3 (eRGB 2), RGBColor 11, PaletteDepth 2 (e8Bit 2),
 * PaletteData 6; SetColorSpace 0x6A, SetBrushSource 0x63, SetPenSource 0x79.
 */
TEST_F(Brushes, MonochromeJobSendsColoursInTheRgbSpace)
{
    JobDevmode dm;
    baseSettings(dm);
    dm.set(ID_COLOUR_MODE, 1);
    dm.set(454, 0);
    dm.set(455, 3);
    open(dm);
    auto take = [this] {
        EXPECT_EQ(OUT_Flush(pdev->channel), 0);
        std::string s = hex(capture.bytes);
        capture.reset();
        return s;
    };
    const BYTE red[3] = {0x00, 0x00, 0xFF}, grey[3] = {0x40, 0x40, 0x40}; /* blue, green, red */
    struct Case {
        const char *name;
        const BYTE *bgr;
        LONG target;
        BOOL text;
        const char *bytes;
    } cases[] = {
        {"red graphics brush", red, 2, FALSE, "C0 02 F8 03 6A C8 C0 03 FF 00 00 F8 0B 63"},
        {"red text brush", red, 2, TRUE, "C0 02 F8 03 6A C8 C0 03 FF 00 00 F8 0B 63"},
        {"grey graphics pen", grey, 1, FALSE, "C0 02 F8 03 6A C8 C0 03 40 40 40 F8 0B 79"},
        {"grey text pen and brush", grey, 3, TRUE,
         "C0 02 F8 03 6A C8 C0 03 40 40 40 F8 0B 79 C8 C0 03 40 40 40 F8 0B 63"},
    };
    for (const Case &c : cases) {
        XL_InvalidateState(ctx());
        ASSERT_EQ(BRS_SendSolidColor(ctx(), c.bgr, c.target, c.text), 0) << c.name;
        EXPECT_EQ(take(), c.bytes) << c.name;
    }

    /* A red hatch on white keeps its red in an RGB palette of two entries. */
    XL_InvalidateState(ctx());
    SURFOBJ bits = patternSurface(BMF_1BPP, 16, 16, hatchBits, 4);
    BRUSHOBJ *brush = patternBrush(&bits, table({0xFFFFFF, 0xFF0000}), 4); /* cross */
    const ROP4 copy = 0xF0F0;
    ASSERT_TRUE(BRS_SelectBrush(ctx(), 2, nullptr, brush, &copy));
    EXPECT_NE(take().find("C0 02 F8 03 C0 02 F8 02 C8 C0 06 FF 00 00 FF FF FF F8 06 6A"), std::string::npos);
}

/* A one-bit pattern realised without a translation table still has its two colours. */
TEST_F(Brushes, OneBitPatternWithoutTableTakesItsColoursFromTheTranslation)
{
    open();
    BYTE rows[8 * 4] = {0xF0, 0, 0, 0};
    SURFOBJ bits = patternSurface(BMF_1BPP, 8, 8, rows, 4);
    xlates.push_back(plat::engine_make_xlate_rgb(PAL_RGB));
    BRUSHOBJ *brush = patternBrush(&bits, xlates.back(), 6);
    ASSERT_NE(BRUSHOBJ_pvGetRbrush(brush), nullptr);
    auto *rb = static_cast<const RealizedBrush *>(brush->pvRbrush);
    EXPECT_EQ(rb->paletteCount, 2u);
    EXPECT_EQ(rb->paletteOffset, 40u + 32u);
    EXPECT_EQ(rb->kind, BRS_KIND_1BPP);
    EXPECT_EQ(rb->patternBytes, 32u);
}

} // namespace
