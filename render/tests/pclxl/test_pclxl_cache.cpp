// The graphics-state cache: for every cached command, written when unset,
// skipped when unchanged, written again after invalidation, and the cache
// untouched by a write that fails anywhere in the command; then the
// special rules (colour-space change, clip and page transforms, char angle
// after scale and shear, long dashes, miter forms, raster patterns,
// palettes).  Expected bytes are written out by hand.
#include "pclxl_ops.h"

#include "pclxl_transform.h"
#include "xl_test_support.h"

#include <cstring>
#include <functional>

namespace {

using Call = std::function<int(PdevContext *)>;

class CacheTest : public XlTest {
protected:
    /* Invalidates the cache, runs `prepare` and drops what it wrote. */
    void restart(const Call &prepare)
    {
        XL_InvalidateState(ctx());
        if (prepare) {
            ASSERT_EQ(prepare(ctx()), 0);
        }
        take();
    }
    std::vector<BYTE> snapshot()
    {
        std::vector<BYTE> s(sizeof(GraphicsStateCache));
        std::memcpy(s.data(), &pdev->xlCache, s.size());
        return s;
    }
};

const BYTE kPatternData[2] = {0xAA, 0x55};

XlRasterPattern smallPattern()
{
    XlRasterPattern p{};
    p.colorSpace = 1; /* eGray */
    p.colorMapping = 0;
    p.colorDepth = 0;
    p.sourceWidth = 8;
    p.sourceHeight = 2;
    p.destinationWidth = 8;
    p.destinationHeight = 2;
    p.patternDefineId = 5;
    p.dataLength = 2;
    p.data = kPatternData;
    return p;
}

/* BeginRastPattern, ReadRastPattern with its data, EndRastPattern of smallPattern(), then the select (8 = 5). */
const std::string kPatternBytes = "C0 00 F8 64 C0 00 F8 62 C1 08 00 F8 6C C1 02 00 F8 6B D1 08 00 02 00 F8 67 "
                                  "C3 05 00 F8 69 C0 00 F8 68 B3 "
                                  "C1 00 00 F8 6D C1 02 00 F8 63 C0 00 F8 65 B4 FB 02 AA 55 "
                                  "B5 C3 05 00 F8 08";

const BYTE kRedPalette[3] = {0xFF, 0x00, 0x00};
const BYTE kGreyPalette[2] = {0x00, 0xFF};
const WORD kDash[2] = {3, 4};

TEST_F(CacheTest, EveryCachedCommand)
{
    struct Row {
        const char *name;
        Call prepare;
        Call call;
        std::string bytes;
        bool text; /* text state: skipped only once a Text command made it valid */
    };
    auto setGray = [](PdevContext *p) { return XL_SetColorSpace(p, 1); };
    const Row rows[] = {
        {"SetColorSpace", nullptr, [](PdevContext *p) { return XL_SetColorSpace(p, 2); }, "C0 02 F8 03 6A", false},
        {"SetColorSpacePalette RGB", nullptr,
         [](PdevContext *p) { return XL_SetColorSpacePalette(p, 2, 2, 3, kRedPalette); },
         "C0 02 F8 03 C0 02 F8 02 C8 C0 06 FF 00 00 00 00 00 F8 06 6A", false},
        {"SetColorSpacePalette grey", nullptr,
         [](PdevContext *p) { return XL_SetColorSpacePalette(p, 1, 2, 2, kGreyPalette); },
         "C0 01 F8 03 C0 02 F8 02 C8 C0 02 00 FF F8 06 6A", false},
        {"SetBrushNull", nullptr, XL_SetBrushNull, "C0 00 F8 04 63", false},
        {"SetBrushGray", nullptr, [](PdevContext *p) { return XL_SetBrushGray(p, 0x80); }, "C0 80 F8 09 63", false},
        {"SetBrushRgb", nullptr, [](PdevContext *p) { return XL_SetBrushRgb(p, 1, 2, 3); },
         "C8 C0 03 01 02 03 F8 0B 63", false},
        {"SetBrushRasterPattern", setGray,
         [](PdevContext *p) {
             XlRasterPattern pat = smallPattern();
             return XL_SetBrushRasterPattern(p, &pat);
         },
         kPatternBytes + " 63", false},
        {"SetPenNull", nullptr, XL_SetPenNull, "C0 00 F8 05 79", false},
        {"SetPenGray", nullptr, [](PdevContext *p) { return XL_SetPenGray(p, 0); }, "C0 00 F8 09 79", false},
        {"SetPenRgb", nullptr, [](PdevContext *p) { return XL_SetPenRgb(p, 0xFF, 0, 0x10); },
         "C8 C0 03 FF 00 10 F8 0B 79", false},
        {"SetPenRasterPattern", setGray,
         [](PdevContext *p) {
             XlRasterPattern pat = smallPattern();
             return XL_SetPenRasterPattern(p, &pat);
         },
         kPatternBytes + " 79", false},
        {"SetFillMode", nullptr, [](PdevContext *p) { return XL_SetFillMode(p, 1); }, "C0 01 F8 46 6E", false},
        {"SetMiterLimit", nullptr, [](PdevContext *p) { return XL_SetMiterLimit(p, 10); }, "C1 0A 00 F8 49 73",
         false},
        {"SetMiterLimitReal", nullptr, [](PdevContext *p) { return XL_SetMiterLimitReal(p, 10.5f); },
         "C5 00 00 28 41 F8 49 73", false},
        {"SetLineCap", nullptr, [](PdevContext *p) { return XL_SetLineCap(p, 1); }, "C0 01 F8 47 71", false},
        {"SetLineJoin", nullptr, [](PdevContext *p) { return XL_SetLineJoin(p, 2); }, "C0 02 F8 48 72", false},
        {"SetLineSolid", nullptr, XL_SetLineSolid, "C0 00 F8 4E 70", false},
        {"SetLineDash", nullptr, [](PdevContext *p) { return XL_SetLineDash(p, 2, kDash, 1); },
         "C9 C0 02 03 00 04 00 F8 4A C1 01 00 F8 43 70", false},
        {"SetPenWidth", nullptr, [](PdevContext *p) { return XL_SetPenWidth(p, 300); }, "C1 2C 01 F8 4B 7A", false},
        {"SetClipRectangle", nullptr, [](PdevContext *p) { return XL_SetClipRectangle(p, 0, 10, 20, 30, 40); },
         "C0 00 F8 53 E0 0A 14 1E 28 F8 42 68", false},
        {"SetClipToPage", nullptr, XL_SetClipToPage, "69", false},
        {"SetClipMode", nullptr, [](PdevContext *p) { return XL_SetClipMode(p, 1); }, "C0 01 F8 54 7F", false},
        {"SetPatternTxMode", nullptr, [](PdevContext *p) { return XL_SetPatternTxMode(p, 0); }, "C0 00 F8 2D 78",
         false},
        {"SetSourceTxMode", nullptr, [](PdevContext *p) { return XL_SetSourceTxMode(p, 1); }, "C0 01 F8 2D 7C",
         false},
        {"SetRop", nullptr, [](PdevContext *p) { return XL_SetRop(p, 0xCC); }, "C0 CC F8 2C 7B", false},
        {"SetFont", nullptr, [](PdevContext *p) { return XL_SetFont(p, "Arial", 12.0f, 590); },
         "C8 C0 05 41 72 69 61 6C F8 A8 C5 00 00 40 41 F8 A6 C1 4E 02 F8 AA 6F", true},
        {"SetCharAngle", nullptr, [](PdevContext *p) { return XL_SetCharAngle(p, -90); }, "C1 A6 FF F8 A1 64", true},
        {"SetCharScale", nullptr, [](PdevContext *p) { return XL_SetCharScale(p, 2.0f, 1.0f); },
         "D5 00 00 00 40 00 00 80 3F F8 A4 65", true},
        {"SetCharShear", nullptr, [](PdevContext *p) { return XL_SetCharShear(p, 0.5f, 0.0f); },
         "D5 00 00 00 3F 00 00 00 00 F8 A5 66", true},
        {"SetCharBoldValue", nullptr, [](PdevContext *p) { return XL_SetCharBoldValue(p, 0.25f); },
         "C5 00 00 80 3E F8 B1 7D", true},
        {"SetCharSubMode", nullptr, [](PdevContext *p) { return XL_SetCharSubMode(p, 1); }, "C8 C0 01 01 F8 AC 81",
         true},
        {"SetCharAttributes", nullptr, [](PdevContext *p) { return XL_SetCharAttributes(p, 1); }, "C0 01 F8 AD 56",
         true},
    };
    for (const Row &r : rows) {
        SCOPED_TRACE(r.name);
        restart(r.prepare);
        EXPECT_EQ(r.call(ctx()), 0);
        EXPECT_EQ(take(), r.bytes) << "written when unset";
        if (r.text) {
            ASSERT_EQ(XL_Text(ctx(), 0, nullptr, FALSE, FALSE, nullptr, nullptr), 0);
            take();
        }
        EXPECT_EQ(r.call(ctx()), 0);
        EXPECT_EQ(take(), "") << "skipped when unchanged";

        restart(r.prepare);
        EXPECT_EQ(r.call(ctx()), 0);
        EXPECT_EQ(take(), r.bytes) << "written again after invalidation";

        DWORD length = DWORD(unhex(r.bytes).size());
        for (DWORD k = 0; k < length; k++) {
            SCOPED_TRACE(testing::Message() << "write fails after " << k << " bytes");
            restart(r.prepare);
            std::vector<BYTE> before = snapshot();
            failAfter(k);
            EXPECT_EQ(r.call(ctx()), -1);
            EXPECT_TRUE(snapshot() == before) << "a failed command leaves the cache as it was";
            clearFailure();
        }
        restart(r.prepare);
        EXPECT_EQ(r.call(ctx()), 0);
        EXPECT_EQ(take(), r.bytes) << "after a failure the command is sent again";
    }
}

TEST_F(CacheTest, NoContextFails)
{
    XlRasterPattern pat = smallPattern();
    EXPECT_EQ(XL_SetColorSpace(nullptr, 1), -1);
    EXPECT_EQ(XL_SetBrushGray(nullptr, 1), -1);
    EXPECT_EQ(XL_SetPenRasterPattern(nullptr, &pat), -1);
    EXPECT_EQ(XL_SetFillMode(nullptr, 1), -1);
    EXPECT_EQ(XL_SetClipRectangle(nullptr, 0, 0, 0, 1, 1), -1);
    EXPECT_EQ(XL_SetFont(nullptr, "A", 1.0f, 1), -1);
    EXPECT_EQ(XL_SetRop(nullptr, 1), -1);
    XL_InvalidateState(nullptr);
    XL_ResetFontState(nullptr);
}

TEST_F(CacheTest, ColourSpaceChangeMakesTheBrushUnknown)
{
    ASSERT_EQ(XL_SetColorSpace(ctx(), 1), 0);
    ASSERT_EQ(XL_SetBrushGray(ctx(), 0), 0);
    ASSERT_EQ(XL_SetBrushGray(ctx(), 0), 0);
    ASSERT_EQ(XL_SetColorSpace(ctx(), 1), 0);
    EXPECT_EQ(take(), "C0 01 F8 03 6A C0 00 F8 09 63");
    ASSERT_EQ(XL_SetColorSpace(ctx(), 2), 0);
    ASSERT_EQ(XL_SetBrushGray(ctx(), 0), 0);
    ASSERT_EQ(XL_SetPenGray(ctx(), 0), 0);
    EXPECT_EQ(take(), "C0 02 F8 03 6A C0 00 F8 09 63 C0 00 F8 09 79");
}

TEST_F(CacheTest, PaletteInForceMakesPlainColourSpaceGoOut)
{
    ASSERT_EQ(XL_SetColorSpacePalette(ctx(), 2, 2, 3, kRedPalette), 0);
    take();
    ASSERT_EQ(XL_SetColorSpace(ctx(), 2), 0);
    EXPECT_EQ(take(), "C0 02 F8 03 6A") << "the same space, but the palette must go";
    ASSERT_EQ(XL_SetColorSpace(ctx(), 2), 0);
    EXPECT_EQ(take(), "");
}

TEST_F(CacheTest, PalettesArePaddedToWholeTablesAndLongOnesRefused)
{
    Bytes rgb7(7, 0x11), rgb769(769, 1), grey17(17, 0x22), grey257(257, 2);
    ASSERT_EQ(XL_SetColorSpacePalette(ctx(), 2, 2, 7, rgb7.data()), 0);
    EXPECT_EQ(take(), "C0 02 F8 03 C0 02 F8 02 C8 C0 30 " + hex(rgb7) + " " + hex(Bytes(41, 0)) + " F8 06 6A");
    ASSERT_EQ(XL_SetColorSpacePalette(ctx(), 1, 2, 17, grey17.data()), 0);
    EXPECT_EQ(take(), "C0 01 F8 03 C0 02 F8 02 C8 C1 00 01 " + hex(grey17) + " " + hex(Bytes(239, 0)) + " F8 06 6A");

    std::vector<BYTE> before = snapshot();
    EXPECT_EQ(XL_SetColorSpacePalette(ctx(), 2, 2, 769, rgb769.data()), -1);
    EXPECT_EQ(XL_SetColorSpacePalette(ctx(), 1, 2, 257, grey257.data()), -1);
    EXPECT_EQ(XL_SetColorSpacePalette(ctx(), 2, 2, 3, nullptr), -1);
    EXPECT_EQ(take(), "") << "refused palettes write nothing";
    EXPECT_TRUE(snapshot() == before);

    Bytes rgb768(768, 3);
    ASSERT_EQ(XL_SetColorSpacePalette(ctx(), 2, 2, 768, rgb768.data()), 0);
    EXPECT_EQ(take(), "C0 02 F8 03 C0 02 F8 02 C8 C1 00 03 " + hex(rgb768) + " F8 06 6A");
    /* eSRGB entries are 3 bytes like eRGB ones: 7 bytes pad to 16 entries, 769 are too many. */
    ASSERT_EQ(XL_SetColorSpacePalette(ctx(), 6, 2, 7, rgb7.data()), 0);
    EXPECT_EQ(take(), "C0 06 F8 03 C0 02 F8 02 C8 C0 30 " + hex(rgb7) + " " + hex(Bytes(41, 0)) + " F8 06 6A");
    ASSERT_EQ(XL_SetColorSpacePalette(ctx(), 6, 2, 768, rgb768.data()), 0);
    EXPECT_EQ(take(), "C0 06 F8 03 C0 02 F8 02 C8 C1 00 03 " + hex(rgb768) + " F8 06 6A");
    EXPECT_EQ(XL_SetColorSpacePalette(ctx(), 6, 2, 769, rgb769.data()), -1);
    EXPECT_EQ(take(), "");
    ASSERT_EQ(XL_SetColorSpacePalette(ctx(), 2, 2, 0, nullptr), 0);
    EXPECT_EQ(take(), "C0 02 F8 03 6A") << "no palette is the plain colour space";
}

TEST_F(CacheTest, IndexedPalettesHoldOneEntryPerIndexValue)
{
    /* Two RGB entries for 8-bit indices: 256 entries (768 bytes, uint16 length), 762 of them zero; the
       smallest-table rule alone gave 6 bytes, which a printer refuses for 8-bit indices. */
    Bytes rgb6 = {0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
    ASSERT_EQ(XL_SetColorSpaceIndexed(ctx(), 2, 2, 2, 6, rgb6.data()), 0);
    EXPECT_EQ(take(), "C0 02 F8 03 C0 02 F8 02 C8 C1 00 03 11 22 33 44 55 66 " + hex(Bytes(762, 0)) + " F8 06 6A");
    /* The same palette again for 8-bit indices is in force. */
    ASSERT_EQ(XL_SetColorSpaceIndexed(ctx(), 2, 2, 2, 6, rgb6.data()), 0);
    EXPECT_EQ(take(), "");
    /* 4-bit grey indices: 16 entries. */
    Bytes grey3 = {0x00, 0x80, 0xFF};
    ASSERT_EQ(XL_SetColorSpaceIndexed(ctx(), 1, 2, 1, 3, grey3.data()), 0);
    EXPECT_EQ(take(), "C0 01 F8 03 C0 02 F8 02 C8 C0 10 00 80 FF " + hex(Bytes(13, 0)) + " F8 06 6A");
    /* 1-bit indices with a 16-entry grey palette: the first two entries. */
    Bytes grey16(16, 0x40);
    grey16[1] = 0xC0;
    ASSERT_EQ(XL_SetColorSpaceIndexed(ctx(), 1, 2, 0, 16, grey16.data()), 0);
    EXPECT_EQ(take(), "C0 01 F8 03 C0 02 F8 02 C8 C0 02 40 C0 F8 06 6A");
    /* Refused: no palette, an unknown depth. */
    EXPECT_EQ(XL_SetColorSpaceIndexed(ctx(), 1, 2, 0, 1, nullptr), -1);
    EXPECT_EQ(XL_SetColorSpaceIndexed(ctx(), 1, 2, 3, 1, grey3.data()), -1);
    EXPECT_EQ(take(), "");
}

TEST_F(CacheTest, SameClipRectangleTwiceWritesOnceUnlessAPageTransformCame)
{
    ASSERT_EQ(XL_SetClipRectangle(ctx(), 0, 10, 20, 30, 40), 0);
    ASSERT_EQ(XL_SetClipRectangle(ctx(), 0, 10, 20, 30, 40), 0);
    EXPECT_EQ(take(), "C0 00 F8 53 E0 0A 14 1E 28 F8 42 68");
    ASSERT_EQ(XL_SetClipRectangle(ctx(), 1, 10, 20, 30, 40), 0);
    EXPECT_EQ(take(), "C0 01 F8 53 E0 0A 14 1E 28 F8 42 68") << "another region";

    const Call transforms[] = {
        XL_SetPageDefaultCtm,
        [](PdevContext *p) { return XL_SetPageOrigin(p, 0, 0); },
        [](PdevContext *p) { return XL_SetPageRotation(p, 0); },
        [](PdevContext *p) { return XL_SetPageScale(p, 1.0f, 1.0f); },
    };
    for (const Call &t : transforms) {
        ASSERT_EQ(t(ctx()), 0);
        take();
        ASSERT_EQ(XL_SetClipRectangle(ctx(), 1, 10, 20, 30, 40), 0);
        EXPECT_EQ(take(), "C0 01 F8 53 E0 0A 14 1E 28 F8 42 68");
    }
}

TEST_F(CacheTest, PageTransformsLeaveAPageClipAlone)
{
    ASSERT_EQ(XL_SetClipToPage(ctx()), 0);
    ASSERT_EQ(XL_SetPageScale(ctx(), 2.0f, 2.0f), 0);
    take();
    ASSERT_EQ(XL_SetClipToPage(ctx()), 0);
    EXPECT_EQ(take(), "");
    ASSERT_EQ(XL_SetClipReplace(ctx(), 0), 0);
    ASSERT_EQ(XL_SetPageScale(ctx(), 1.0f, 1.0f), 0);
    take();
    ASSERT_EQ(XL_SetClipToPage(ctx()), 0);
    EXPECT_EQ(take(), "69") << "a path clip is unset by the transform";
}

TEST_F(CacheTest, FramedClipRectangleIsRecordedAfterLeavingTheFrame)
{
    ASSERT_EQ(XL_SetClipRectangle(ctx(), 0, 40000, 0, 40010, 10), 0);
    EXPECT_EQ(take(), "D3 FF 7F 05 00 F8 2A 75 D3 46 1C 00 00 F8 2A 75 "
                      "C0 00 F8 53 E3 FB FF FB FF 05 00 05 00 F8 42 68 "
                      "D3 00 80 FB FF F8 2A 75 D3 BB E3 00 00 F8 2A 75");
    ASSERT_EQ(XL_SetClipRectangle(ctx(), 0, 40000, 0, 40010, 10), 0);
    EXPECT_EQ(take(), "");
}

TEST_F(CacheTest, ClipToPageAfterInvalidationIsWrittenOnce)
{
    ASSERT_EQ(XL_SetClipToPage(ctx()), 0);
    ASSERT_EQ(XL_SetClipToPage(ctx()), 0);
    EXPECT_EQ(take(), "69");
}

TEST_F(CacheTest, ClipReplaceIsNeverSkipped)
{
    ASSERT_EQ(XL_SetClipReplace(ctx(), 0), 0);
    ASSERT_EQ(XL_SetClipReplace(ctx(), 0), 0);
    EXPECT_EQ(take(), "C0 00 F8 53 62 C0 00 F8 53 62");
}

TEST_F(CacheTest, CharAngleFollowsScaleAndShearWhileTextStateIsValid)
{
    ASSERT_EQ(XL_SetCharAngle(ctx(), 90), 0);
    ASSERT_EQ(XL_SetCharAngle(ctx(), 90), 0);
    EXPECT_EQ(take(), "C1 5A 00 F8 A1 64 C1 5A 00 F8 A1 64") << "an invalid text state sends every time";
    ASSERT_EQ(XL_Text(ctx(), 0, nullptr, FALSE, FALSE, nullptr, nullptr), 0);
    take();
    ASSERT_EQ(XL_SetCharAngle(ctx(), 90), 0);
    EXPECT_EQ(take(), "");
    ASSERT_EQ(XL_SetCharScale(ctx(), 2.0f, 1.0f), 0);
    EXPECT_EQ(take(), "D5 00 00 00 40 00 00 80 3F F8 A4 65 C1 5A 00 F8 A1 64");
    ASSERT_EQ(XL_SetCharShear(ctx(), 0.5f, 0.0f), 0);
    EXPECT_EQ(take(), "D5 00 00 00 3F 00 00 00 00 F8 A5 66 C1 5A 00 F8 A1 64");
    ASSERT_EQ(XL_SetCharShear(ctx(), 0.5f, 0.0f), 0);
    EXPECT_EQ(take(), "");

    XL_ResetFontState(ctx());
    ASSERT_EQ(XL_SetFont(ctx(), "No Font", 0.0f, 0), 0);
    EXPECT_NE(take(), "") << "the reset state sends even its own default values";
}

TEST_F(CacheTest, FontNameThatDoesNotFitIsRefused)
{
    std::string name(XL_FONT_NAME_CAPACITY, 'N');
    EXPECT_EQ(XL_SetFont(ctx(), name.c_str(), 10.0f, 1), -1);
    EXPECT_EQ(XL_SetFont(ctx(), nullptr, 10.0f, 1), -1);
    EXPECT_EQ(take(), "");
    name.resize(XL_FONT_NAME_CAPACITY - 1);
    EXPECT_EQ(XL_SetFont(ctx(), name.c_str(), 10.0f, 1), 0);
}

/* `unit` repeated n times, blank-separated. */
std::string repeat(const std::string &unit, int n)
{
    std::string s;
    for (int i = 0; i < n; i++)
        s += (i ? " " : "") + unit;
    return s;
}

TEST_F(CacheTest, LongDashesAreSentEveryTime)
{
    std::vector<WORD> d25(25, 2), d20(20, 3);
    for (int i = 0; i < 2; i++) {
        ASSERT_EQ(XL_SetLineDash(ctx(), 25, d25.data(), 0), 0);
        EXPECT_EQ(take(), "C9 C0 19 " + repeat("02 00", 25) + " F8 4A 70");
    }
    for (int i = 0; i < 2; i++)
        ASSERT_EQ(XL_SetLineDash(ctx(), 20, d20.data(), 0), 0);
    EXPECT_EQ(take(), "C9 C0 14 " + repeat("03 00", 20) + " F8 4A 70") << "20 entries are kept";
    d20[19] = 4;
    ASSERT_EQ(XL_SetLineDash(ctx(), 20, d20.data(), 0), 0);
    EXPECT_NE(take(), "") << "the last kept entry is compared";
    ASSERT_EQ(XL_SetLineDash(ctx(), 20, d20.data(), 5), 0);
    EXPECT_EQ(take(), "C9 C0 14 " + repeat("03 00", 19) + " 04 00 F8 4A C1 05 00 F8 43 70") << "another offset";
    ASSERT_EQ(XL_SetLineSolid(ctx()), 0);
    ASSERT_EQ(XL_SetLineDash(ctx(), 0, nullptr, 0), 0);
    EXPECT_EQ(take(), "C0 00 F8 4E 70") << "no entries is the solid line";
    std::vector<WORD> huge(65536, 1);
    EXPECT_EQ(XL_SetLineDash(ctx(), 65536, huge.data(), 0), -1);
    EXPECT_EQ(XL_SetLineDash(ctx(), 2, nullptr, 0), -1);
    EXPECT_EQ(take(), "");
}

TEST_F(CacheTest, MiterLimitGoesAsUInt16WhenWholeElseAsReal32)
{
    ASSERT_EQ(XL_SetMiterLimitReal(ctx(), 10.0f), 0);
    EXPECT_EQ(take(), "C1 0A 00 F8 49 73");
    ASSERT_EQ(XL_SetMiterLimit(ctx(), 10), 0);
    EXPECT_EQ(take(), "") << "the same limit in its integer form";
    ASSERT_EQ(XL_SetMiterLimitReal(ctx(), 10.5f), 0);
    ASSERT_EQ(XL_SetMiterLimitReal(ctx(), 10.5f), 0);
    EXPECT_EQ(take(), "C5 00 00 28 41 F8 49 73");
    ASSERT_EQ(XL_SetMiterLimit(ctx(), 65535), 0);
    EXPECT_EQ(take(), "C1 FF FF F8 49 73") << "a fractional limit in force does not pose as 65535";
    ASSERT_EQ(XL_SetMiterLimitReal(ctx(), 70000.0f), 0);
    EXPECT_EQ(take(), "C5 00 B8 88 47 F8 49 73") << "whole but above 65535: real32";
}

TEST_F(CacheTest, RasterPatternsUpTo192BytesAreKept)
{
    Bytes d100(100, 0x3C), d200(200, 0x3C);
    XlRasterPattern p = smallPattern();
    ASSERT_EQ(XL_SetColorSpace(ctx(), 1), 0);
    take();
    p.dataLength = 100;
    p.data = d100.data();
    ASSERT_EQ(XL_SetBrushRasterPattern(ctx(), &p), 0);
    EXPECT_NE(take(), "");
    ASSERT_EQ(XL_SetBrushRasterPattern(ctx(), &p), 0);
    EXPECT_EQ(take(), "") << "100 identical bytes: sent once";
    p.patternDefineId = 9;
    p.originX = 4;
    ASSERT_EQ(XL_SetBrushRasterPattern(ctx(), &p), 0);
    EXPECT_EQ(take(), "") << "id and origin are not compared";
    ASSERT_EQ(XL_SetPenRasterPattern(ctx(), &p), 0);
    EXPECT_NE(take(), "") << "the pen is kept apart from the brush";

    p.dataLength = 200;
    p.data = d200.data();
    for (int i = 0; i < 2; i++) {
        ASSERT_EQ(XL_SetBrushRasterPattern(ctx(), &p), 0);
        EXPECT_NE(take(), "") << "200 bytes are too many to keep: sent every time";
    }
}

TEST_F(CacheTest, RasterPatternWithPaletteAndOrigin)
{
    XlRasterPattern p = smallPattern();
    p.colorSpace = 2;
    p.paletteDepth = 2;
    p.paletteLength = 3;
    p.palette = kRedPalette;
    p.colorMapping = 1;
    p.originX = 1;
    p.originY = -1;
    ASSERT_EQ(XL_SetBrushRasterPattern(ctx(), &p), 0);
    EXPECT_EQ(take(), "C0 02 F8 03 C0 02 F8 02 C8 C0 06 FF 00 00 00 00 00 F8 06 6A "
                      "C0 01 F8 64 C0 00 F8 62 C1 08 00 F8 6C C1 02 00 F8 6B D1 08 00 02 00 F8 67 "
                      "C3 05 00 F8 69 C0 00 F8 68 B3 "
                      "C1 00 00 F8 6D C1 02 00 F8 63 C0 00 F8 65 B4 FB 02 AA 55 "
                      "B5 C3 05 00 F8 08 D3 01 00 FF FF F8 0C 63");
    ASSERT_EQ(XL_SetBrushRasterPattern(ctx(), &p), 0);
    EXPECT_EQ(take(), "");
    BYTE blue[3] = {0, 0, 0xFF};
    p.palette = blue;
    ASSERT_EQ(XL_SetBrushRasterPattern(ctx(), &p), 0);
    EXPECT_NE(take(), "") << "another palette";
    p.data = nullptr;
    EXPECT_EQ(XL_SetBrushRasterPattern(ctx(), &p), -1);
    EXPECT_EQ(XL_SetBrushRasterPattern(ctx(), nullptr), -1);
    EXPECT_EQ(take(), "");
}

TEST_F(CacheTest, SelectingAPatternLeavesTheBrushUnknown)
{
    ASSERT_EQ(XL_SetBrushGray(ctx(), 0), 0);
    ASSERT_EQ(XL_SetBrushPattern(ctx(), 1, 0, 0, 0, 0), 0);
    ASSERT_EQ(XL_SetBrushGray(ctx(), 0), 0);
    EXPECT_EQ(take(), "C0 00 F8 09 63 C3 01 00 F8 08 63 C0 00 F8 09 63");
    ASSERT_EQ(XL_SetPenPattern(ctx(), -2, 0, 3, 100, 0), 0);
    ASSERT_EQ(XL_SetPenPattern(ctx(), 7, 0, 0, 100, 50), 0);
    EXPECT_EQ(take(), "C3 FE FF F8 08 D3 00 00 03 00 F8 0C 79 C3 07 00 F8 08 D1 64 00 32 00 F8 0D 79");
}

} // namespace
