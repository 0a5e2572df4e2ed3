// The standard model's device fonts in a device context: the descriptors of
// every record, the records shown to the engine with their IFIMETRICS, the
// engine's font queries and the default font.
#include "test_pdev_support.h"

#include "draw_font.h"
#include "fnt_device_fonts.h"
#include "fnt_device_records.h"

#include "font_test_support.h"

#include <device_fonts.h>

#include <plat/engine_fonts.h>
#include <plat/error.h>
#include <plat/memory.h>

#include <gtest/gtest.h>

#include <cstring>
#include <string>

using namespace pdev_test;

namespace {

class FntDeviceFonts : public PdevTest {
protected:
    void SetUp() override
    {
        PdevTest::SetUp();
        installStandard();
    }
    void TearDown() override
    {
        if (e.dhpdev)
            DrvDisablePDEV(e.dhpdev);
        PdevTest::TearDown();
    }
    PdevContext *open()
    {
        printer = std::make_unique<Printer>(kColourPrinter);
        dm = std::make_unique<JobDevmode>();
        e = enable(printer->handle, *dm);
        return e.pdev();
    }
    std::unique_ptr<Printer> printer;
    std::unique_ptr<JobDevmode> dm;
    Enabled e;
};

std::u16string face_of(const IFIMETRICS *ifi)
{
    return reinterpret_cast<const char16_t *>(reinterpret_cast<const BYTE *>(ifi) + ifi->dpwszFaceName);
}

} // namespace

TEST_F(FntDeviceFonts, TheStandardModelHasItsResidentFaces)
{
    PdevContext *pdev = open();
    ASSERT_NE(pdev, nullptr) << e.error;
    ASSERT_EQ(pdev->fontEntryCount, 5u);
    ASSERT_EQ(pdev->deviceFontCount, 4u) << "Helvetica Bold shares the family of the record before it";
    const struct {
        const char16_t *face;
        const char *printerName;
        WORD symbolSet;
        DWORD id;
        BYTE charSet;
        WORD weight;
    } entries[] = {
        {u"Courier", "Courier         ", 590, 0x0, 0, 400},
        {u"Helvetica", "Helvetica       ", 590, 0x10, 0, 400},
        {u"Helvetica Bold", "Helvetica     Bd", 590, 0x11, 0, 700},
        {u"Times", "Times        Rmn", 590, 0x20, 0, 400},
        {u"Mincho", "Mincho          ", 619, 0x80, 128, 400},
    };
    for (DWORD i = 0; i < 5; ++i) {
        const DeviceFontEntry *d = pdev->fontEntries[i];
        EXPECT_EQ(std::u16string(d->faceName), entries[i].face);
        EXPECT_STREQ(d->printerName, entries[i].printerName);
        EXPECT_EQ(d->symbolSet, entries[i].symbolSet);
        EXPECT_EQ(d->id, entries[i].id);
        EXPECT_EQ(d->charSet, entries[i].charSet);
        EXPECT_EQ(d->weight, entries[i].weight);
    }
    const char16_t *shown[] = {u"Courier", u"Helvetica", u"Times", u"Mincho"};
    for (ULONG face = 1; face <= 4; ++face) {
        ULONG_PTR id = 7;
        PIFIMETRICS ifi = DrvQueryFont(e.dhpdev, 0, face, &id);
        ASSERT_NE(ifi, nullptr);
        EXPECT_EQ(id, 0u);
        EXPECT_EQ(face_of(ifi), shown[face - 1]);
    }
    EXPECT_EQ(e.dev.cFonts, 4u);
    EXPECT_EQ(std::u16string(e.dev.lfDefaultFont.lfFaceName), u"Courier") << "setting 384 (0) names Courier";
}

namespace {

using font_test::MetricsBuilder;

/* The record whose engine metrics are worked out by hand below. */
MetricsBuilder handRecord()
{
    MetricsBuilder b;
    b.u16(10, 300);  /* dfVertRes */
    b.u16(12, 600);  /* dfHorizRes */
    b.u16(14, 800);  /* dfAscent */
    b.u16(16, 150);  /* dfInternalLeading */
    b.u16(18, 200);  /* dfExternalLeading */
    b.u8(21, 1);     /* dfUnderline */
    b.u8(22, 1);     /* dfStrikeOut */
    b.u16(23, 0);    /* dfWeight: 0 reads as 400 */
    b.u8(30, 0x21);  /* variable pitch, FF_SWISS */
    b.u16(31, 0);    /* dfAvgWidth 0: the mean of the widths */
    b.u16(33, 300);  /* dfMaxWidth, below the mean */
    b.u8(35, 0x41);
    b.u8(36, 0x43);
    b.u8(37, 1);     /* default: 0x42 */
    b.u8(38, 0);     /* break: 0x41 */
    DWORD face = b.text("Face");
    b.text("Fam");
    b.u32(45, face);
    b.u32(79, b.text("2A"));
    /* size, point size, orientation, master height, min scale, max scale, master units, cap height, x height,
       lower-case ascent, descent, slant, superscript, subscript, superscript size, subscript size, underline
       offset, underline width, four double-underline values, strike-out offset and width, kern pairs, tracks */
    b.u32(59, b.words({52, 0, 0, 0, 4, 0, 0, 700, 500, 900, 0, 0, -300, 100, 600, 550, 0, 51, 0, 0, 0, 0, 0, 40,
                       1, 0}));
    b.u32(63, b.words({500, -20, 700}));
    DWORD kern = b.words({1, 'A' | 'V' << 8, -60});
    b.u32(71, kern);
    return b;
}

template <typename T>
T at(const BYTE *base, DWORD offset)
{
    T v;
    std::memcpy(&v, base + offset, sizeof v);
    return v;
}

class FntDeviceRecords : public MachineFolderTest {
protected:
    void SetUp() override
    {
        MachineFolderTest::SetUp();
        pdev.headMagic = pdev.tailMagic = PDEV_MAGIC;
        pdev.heap = HeapCreate(0, 0, 0);
    }
    void TearDown() override
    {
        HeapDestroy(pdev.heap);
        MachineFolderTest::TearDown();
    }
    DeviceFontRecord *build(const MetricsBuilder &b)
    {
        return FNT_BuildDeviceFontRecord(&pdev, 1, reinterpret_cast<const DeviceFontMetrics *>(b.bytes.data()),
                                         DWORD(b.bytes.size()));
    }
    PdevContext pdev{};
};

} // namespace

TEST_F(FntDeviceRecords, IfiMetricsWorkedOutByHand)
{
    MetricsBuilder b = handRecord();
    DeviceFontRecord *r = build(b);
    ASSERT_NE(r, nullptr);
    const DWORD header = r->ifiOffset;
    EXPECT_EQ(header % 8, 0u);
    EXPECT_EQ(r->version, 0x10000u);
    EXPECT_EQ(r->id, 0x2Au);
    EXPECT_EQ(r->kernPairCount, 1u);
    EXPECT_EQ(r->kernPairOffset, header + 284);
    EXPECT_EQ(r->metricsOffset, header + 284 + 12);
    EXPECT_EQ(r->metricsSize, DWORD(b.bytes.size()));
    EXPECT_EQ(r->totalSize, header + 284 + 12 + DWORD(b.bytes.size()));
    EXPECT_TRUE(r->cursorOpen);
    EXPECT_EQ(r->widths[0x41], 500);
    EXPECT_EQ(r->widths[0x42], 0) << "a negative width becomes 0";
    EXPECT_EQ(r->widths[0x43], 700);
    EXPECT_EQ(r->widths[0x20], 0) << "outside the range: the default character's width (-20, so 0)";

    const IFIMETRICS *ifi = FNT_RecordIfi(r);
    const auto *base = reinterpret_cast<const BYTE *>(ifi);
    const struct {
        const char *field;
        long long value, expected;
    } fields[] = {
        {"cjThis", ifi->cjThis, 284},  /* 264 + "Face" (8 + 5) & ~3 = 12 + "Fam" (6 + 5) & ~3 = 8 */
        {"dpwszFaceName", ifi->dpwszFaceName, 192},
        {"dpwszFamilyName", ifi->dpwszFamilyName, 204},
        {"dpwszStyleName", ifi->dpwszStyleName, 210},
        {"dpwszUniqueName", ifi->dpwszUniqueName, 210},
        {"dpFontSim", ifi->dpFontSim, 212},
        {"lItalicAngle", ifi->lItalicAngle, 0},
        {"jWinCharSet", ifi->jWinCharSet, 0},
        {"jWinPitchAndFamily", ifi->jWinPitchAndFamily, 0x22},
        {"usWinWeight", ifi->usWinWeight, 400},
        {"flInfo", ifi->flInfo, 0x82010},
        {"fsSelection", ifi->fsSelection, 0x12},
        {"fsType", ifi->fsType, 2},
        {"fwdUnitsPerEm", ifi->fwdUnitsPerEm, 1000},
        {"fwdLowestPPEm", ifi->fwdLowestPPEm, 4},
        {"fwdWinAscender", ifi->fwdWinAscender, 800},
        {"fwdWinDescender", ifi->fwdWinDescender, 350}, /* 1000 + 150 - 800 */
        {"fwdMacAscender", ifi->fwdMacAscender, 800},
        {"fwdMacDescender", ifi->fwdMacDescender, -350},
        {"fwdMacLineGap", ifi->fwdMacLineGap, 50},
        {"fwdTypoAscender", ifi->fwdTypoAscender, 800},
        {"fwdTypoDescender", ifi->fwdTypoDescender, -350},
        {"fwdTypoLineGap", ifi->fwdTypoLineGap, 50},
        {"fwdAveCharWidth", ifi->fwdAveCharWidth, 400}, /* (500 + 0 + 700) / 3 */
        {"fwdMaxCharInc", ifi->fwdMaxCharInc, 400},     /* 300 raised to the mean */
        {"fwdCapHeight", ifi->fwdCapHeight, 700},
        {"fwdXHeight", ifi->fwdXHeight, 500},
        {"fwdSubscriptXSize", ifi->fwdSubscriptXSize, 0},
        {"fwdSubscriptYSize", ifi->fwdSubscriptYSize, 550},
        {"fwdSubscriptYOffset", ifi->fwdSubscriptYOffset, 100},
        {"fwdSuperscriptYSize", ifi->fwdSuperscriptYSize, 600},
        {"fwdSuperscriptYOffset", ifi->fwdSuperscriptYOffset, -300},
        {"fwdUnderscoreSize", ifi->fwdUnderscoreSize, 51},
        {"fwdUnderscorePosition", ifi->fwdUnderscorePosition, -25},
        {"fwdStrikeoutSize", ifi->fwdStrikeoutSize, 40},
        {"fwdStrikeoutPosition", ifi->fwdStrikeoutPosition, 225}, /* 900 > 880: a quarter */
        {"chFirstChar", ifi->chFirstChar, 0x41},
        {"chLastChar", ifi->chLastChar, 0x43},
        {"chDefaultChar", ifi->chDefaultChar, 0x42},
        {"chBreakChar", ifi->chBreakChar, 0x41},
        {"wcFirstChar", ifi->wcFirstChar, 0},
        {"wcLastChar", ifi->wcLastChar, 0x2122},
        {"wcDefaultChar", ifi->wcDefaultChar, 0x42},
        {"wcBreakChar", ifi->wcBreakChar, 0x41},
        {"ptlBaseline.x", ifi->ptlBaseline.x, 1},
        {"ptlBaseline.y", ifi->ptlBaseline.y, 0},
        {"ptlAspect.x", ifi->ptlAspect.x, 600},
        {"ptlAspect.y", ifi->ptlAspect.y, 300},
        {"ptlCaret.x", ifi->ptlCaret.x, 0},
        {"ptlCaret.y", ifi->ptlCaret.y, 1},
        {"rclFontBox.left", ifi->rclFontBox.left, 0},
        {"rclFontBox.top", ifi->rclFontBox.top, 800},
        {"rclFontBox.right", ifi->rclFontBox.right, 400},
        {"rclFontBox.bottom", ifi->rclFontBox.bottom, -350},
        {"cKerningPairs", ifi->cKerningPairs, 1},
        {"panose.bFamilyType", ifi->panose.bFamilyType, 1},
        {"panose.bSerifStyle", ifi->panose.bSerifStyle, 1},
        {"panose.bWeight", ifi->panose.bWeight, 5},
        {"panose.bProportion", ifi->panose.bProportion, 0},
    };
    for (const auto &f : fields)
        EXPECT_EQ(f.value, f.expected) << f.field;
    EXPECT_EQ(std::memcmp(ifi->achVendId, "Unkn", 4), 0);
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t *>(base + 192)), u"Face");
    EXPECT_EQ(std::u16string(reinterpret_cast<const char16_t *>(base + 204)), u"Fam");
    EXPECT_EQ(at<WORD>(base, 210), 0);

    /* FONTSIM at 212: the three simulations at 12, 32 and 52 from it. */
    EXPECT_EQ(at<LONG>(base, 212), 12);
    EXPECT_EQ(at<LONG>(base, 216), 32);
    EXPECT_EQ(at<LONG>(base, 220), 52);
    const struct {
        DWORD offset;
        BYTE bWeight;
        USHORT weight, selection;
        SHORT average, maximum;
        LONG caretX, caretY;
    } sims[] = {
        {212 + 12, 6, 700, 0x32, 401, 401, 0, 1},
        {212 + 32, 5, 400, 0x13, 400, 400, 1, 2},
        {212 + 52, 6, 700, 0x33, 401, 401, 1, 2},
    };
    for (const auto &s : sims) {
        FONTDIFF d = at<FONTDIFF>(base, s.offset);
        EXPECT_EQ(d.bWeight, s.bWeight) << s.offset;
        EXPECT_EQ(d.usWinWeight, s.weight) << s.offset;
        EXPECT_EQ(d.fsSelection, s.selection) << s.offset;
        EXPECT_EQ(d.fwdAveCharWidth, s.average) << s.offset;
        EXPECT_EQ(d.fwdMaxCharInc, s.maximum) << s.offset;
        EXPECT_EQ(d.ptlCaret.x, s.caretX) << s.offset;
        EXPECT_EQ(d.ptlCaret.y, s.caretY) << s.offset;
    }

    /* Kerning pairs, then a zero pair. */
    const FD_KERNINGPAIR *pairs = FNT_RecordKernPairs(r);
    EXPECT_EQ(pairs[0].wcFirst, u'A');
    EXPECT_EQ(pairs[0].wcSecond, u'V');
    EXPECT_EQ(pairs[0].fwdKern, -60);
    EXPECT_EQ(pairs[1].wcFirst, 0);
    EXPECT_EQ(pairs[1].fwdKern, 0);
    EXPECT_EQ(std::memcmp(reinterpret_cast<BYTE *>(r) + r->metricsOffset, b.bytes.data(), b.bytes.size()), 0);
    FNT_FreeDeviceFontRecord(&pdev, r);
}

TEST_F(FntDeviceRecords, WeightsAndFixedPitch)
{
    const struct {
        WORD weight;
        BYTE pitch, charSet;
        USHORT winWeight;
        ULONG flInfo;
        WORD width; /* of every code: no width table */
    } cases[] = {
        {0, 0x30, 0, 400, 0x82010 | 0x1000 | FM_INFO_OPTICALLY_FIXED_PITCH, 600},
        {1200, 0x30, 0, 400, 0x82010 | 0x1000 | FM_INFO_OPTICALLY_FIXED_PITCH, 600},
        {700, 0x31, 0, 700, 0x82010, 600},
        {1000, 0x30, 128, 1000, 0x82010 | 0x10000000 | FM_INFO_OPTICALLY_FIXED_PITCH, 300},
        {400, 0x30, 136, 400, 0x82010 | 0x10000000 | FM_INFO_OPTICALLY_FIXED_PITCH, 300},
    };
    for (const auto &k : cases) {
        MetricsBuilder b;
        b.u16(23, k.weight);
        b.u8(25, k.charSet);
        b.u8(30, k.pitch);
        b.u16(31, 600);
        b.u8(35, 0x20);
        b.u8(36, 0x7E);
        DeviceFontRecord *r = build(b);
        ASSERT_NE(r, nullptr);
        EXPECT_EQ(FNT_RecordIfi(r)->usWinWeight, k.winWeight) << k.weight;
        EXPECT_EQ(FNT_RecordIfi(r)->flInfo, k.flInfo) << k.weight;
        EXPECT_EQ(r->widths[0], k.width) << k.weight;
        EXPECT_EQ(r->widths[255], k.width) << k.weight;
        FNT_FreeDeviceFontRecord(&pdev, r);
    }
}

TEST_F(FntDeviceRecords, EmptyRangeKeepsTheAverageWidth)
{
    MetricsBuilder b;
    b.u8(30, 0x21);
    b.u8(35, 0x50);
    b.u8(36, 0x40); /* last below first */
    b.u32(63, b.words({500}));
    DeviceFontRecord *r = build(b);
    ASSERT_NE(r, nullptr);
    EXPECT_EQ(FNT_RecordIfi(r)->fwdAveCharWidth, 0) << "no mean over an empty range";
    FNT_FreeDeviceFontRecord(&pdev, r);
}

TEST_F(FntDeviceRecords, CountsAndOffsetsPastTheRecordAreRefused)
{
    const struct {
        const char *what;
        void (*shape)(MetricsBuilder &);
    } cases[] = {
        {"kerning count past the block", [](MetricsBuilder &b) { b.u32(71, b.words({1000, 'A' | 'V' << 8, -60})); }},
        {"kerning table offset past the block", [](MetricsBuilder &b) { b.u32(71, 5000); }},
        {"width table past the block", [](MetricsBuilder &b) {
             b.u8(35, 0x20);
             b.u8(36, 0xFF);
             b.u32(63, b.words({500, 500}));
         }},
        {"extended metrics past the block", [](MetricsBuilder &b) { b.u32(59, b.words({52, 0})); }},
        {"face name without terminator", [](MetricsBuilder &b) { b.u32(45, b.append({'A', 'b'})); }},
        {"face name offset past the block", [](MetricsBuilder &b) { b.u32(45, 0xFFFFFFF0); }},
        {"header cut short", [](MetricsBuilder &b) { b.bytes.resize(60); }},
    };
    for (const auto &k : cases) {
        MetricsBuilder b;
        k.shape(b);
        EXPECT_FALSE(FNT_CheckMetricsBlock(b.bytes.data(), DWORD(b.bytes.size()))) << k.what;
        SetLastError(0);
        EXPECT_EQ(build(b), nullptr) << k.what;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_DATA)) << k.what;
    }
    EXPECT_EQ(FNT_BuildDeviceFontRecord(&pdev, 1, nullptr, 100), nullptr);
}

namespace {

/* The handle of `code` in a glyph set, or -1. */
long handle_of(const FD_GLYPHSET *set, WCHAR code)
{
    for (ULONG i = 0; i < set->cRuns; ++i) {
        const WCRUN &run = set->awcrun[i];
        if (code >= run.wcLow && code < run.wcLow + run.cGlyphs)
            return long(run.phg[code - run.wcLow]);
    }
    return -1;
}

std::vector<BYTE> glyph_resource(std::vector<std::pair<WCHAR, std::vector<DWORD>>> runs)
{
    std::vector<BYTE> out(16);
    auto put32 = [&](size_t at, DWORD v) { std::memcpy(out.data() + at, &v, 4); };
    DWORD glyphs = 0;
    for (auto &run : runs) {
        BYTE entry[8] = {BYTE(run.first), BYTE(run.first >> 8), BYTE(run.second.size()), BYTE(run.second.size() >> 8)};
        out.insert(out.end(), entry, entry + 8);
        glyphs += DWORD(run.second.size());
    }
    for (auto &run : runs)
        for (DWORD h : run.second) {
            out.resize(out.size() + 4);
            put32(out.size() - 4, h);
        }
    put32(0, DWORD(out.size()));
    put32(8, glyphs);
    put32(12, DWORD(runs.size()));
    return out;
}

} // namespace

TEST(FntGlyphSet, ConvertsTheResourceRunByRun)
{
    std::vector<BYTE> r = glyph_resource({{0x0041, {0x41, 0x42}}, {0x3042, {0x82A0}}});
    FD_GLYPHSET *set = FNT_ConvertGlyphSetResource(r.data(), DWORD(r.size()));
    ASSERT_NE(set, nullptr);
    EXPECT_EQ(set->cRuns, 2u);
    EXPECT_EQ(set->cGlyphsSupported, 3u);
    EXPECT_EQ(handle_of(set, u'A'), 0x41);
    EXPECT_EQ(handle_of(set, u'B'), 0x42);
    EXPECT_EQ(handle_of(set, u'C'), -1);
    EXPECT_EQ(handle_of(set, 0x3042), 0x82A0);
    EXPECT_EQ(set->cjThis, 16u + 2 * sizeof(WCRUN) + 3 * sizeof(HGLYPH));
    EngFreeMem(set);
}

TEST(FntGlyphSet, AResourceCutShortIsRefused)
{
    std::vector<BYTE> r = glyph_resource({{0x0041, {0x41, 0x42}}, {0x3042, {0x82A0}}});
    for (DWORD size : {0u, 15u, 16u, 23u, 31u, DWORD(r.size() - 1)}) {
        SetLastError(0);
        EXPECT_EQ(FNT_ConvertGlyphSetResource(r.data(), size), nullptr) << size;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_DATA)) << size;
    }
    std::vector<BYTE> none = glyph_resource({});
    EXPECT_EQ(FNT_ConvertGlyphSetResource(none.data(), DWORD(none.size())), nullptr) << "no runs";
    r[12] = 0xFF; /* a run count far past the resource */
    r[13] = 0xFF;
    EXPECT_EQ(FNT_ConvertGlyphSetResource(r.data(), DWORD(r.size())), nullptr);
    EXPECT_EQ(FNT_ConvertGlyphSetResource(nullptr, 100), nullptr);
}

TEST_F(FntDeviceFonts, GlyphSetsOfLatinAndShiftJisFaces)
{
    ASSERT_NE(open(), nullptr) << e.error;
    ULONG_PTR id = 0;
    auto *latin = static_cast<FD_GLYPHSET *>(DrvQueryFontTree(e.dhpdev, 0, 1, QFT_GLYPHSET, &id));
    ASSERT_NE(latin, nullptr);
    EXPECT_EQ(handle_of(latin, u'A'), 0x41);
    EXPECT_EQ(handle_of(latin, 0x20AC), 0x80) << "the euro sign of code page 1252";
    auto *japanese = static_cast<FD_GLYPHSET *>(DrvQueryFontTree(e.dhpdev, 0, 4, QFT_GLYPHSET, &id));
    ASSERT_NE(japanese, nullptr);
    EXPECT_NE(japanese, latin);
    EXPECT_EQ(japanese->cRuns, 4250u);
    EXPECT_EQ(japanese->cGlyphsSupported, 9371u);
    EXPECT_EQ(handle_of(japanese, u'A'), 0x41);
    EXPECT_EQ(handle_of(japanese, 0x00A5), 0x5C) << "the yen sign prints as 0x5C";
    EXPECT_EQ(handle_of(japanese, 0xFF71), 0xB1) << "half-width katakana A";
    EXPECT_EQ(handle_of(japanese, 0x3042), 0x82A0) << "hiragana A";
    EXPECT_EQ(handle_of(japanese, 0x4E9C), 0x889F) << "the first kanji of level 1";
    EXPECT_EQ(handle_of(japanese, 0x00E9), -1) << "not in code page 932";
    EXPECT_EQ(DrvQueryFontTree(e.dhpdev, 0, 4, QFT_GLYPHSET, &id), japanese) << "converted once per process";

    EXPECT_NE(DrvQueryFontTree(e.dhpdev, 0, 2, QFT_KERNPAIRS, &id), nullptr) << "Helvetica has pairs";
    EXPECT_EQ(DrvQueryFontTree(e.dhpdev, 0, 1, QFT_KERNPAIRS, &id), nullptr) << "Courier has none";
    SetLastError(0);
    EXPECT_EQ(DrvQueryFontTree(e.dhpdev, 0, 1, 7, &id), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    SetLastError(0);
    EXPECT_EQ(DrvQueryFont(e.dhpdev, 0, 0, &id), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
}

TEST(FntResidentFonts, CoverageByTable)
{
    const struct {
        const char *name;
        WCHAR code;
        int covered;
    } cases[] = {
        {"Courier         ", u'A', 1},     {"Courier         ", 0x0109, 0}, {"Courier         ", 0x007D, 1},
        {"Courier         ", 0x007E, 0},   {"Courier         ", 0x00AC, 0}, {"Courier         ", 0x00AD, 1},
        {"Helvetica       ", 0x007E, 1},   {"Helvetica       ", 0x0108, 0}, {"Helvetica       ", 0x010C, 1},
        {"Helvetica       ", 0x2122, 1},   {"Helvetica       ", 0x20A3, 0}, {"Helvetica       ", 0xFB04, 1},
        {"Helvetica       ", 0xFB05, 0},   {"Arial           ", 0xF232, 1}, {"Arial         Bd", 0xF232, 0},
        {"Arial         Bd", 0x20A3, 1},   {"CG Times        ", 0x2122, 0}, {"CG Times        ", 0x2020, 1},
        {"CG Times        ", 0x2022, 0},   {"Univers     CdBd", 0x005D, 1}, {"Univers     CdBd", 0x005E, 0},
        {"Univers     CdMd", 0xF219, 1},   {"Coronet         ", 0x2113, 1}, {"Coronet         ", 0x2122, 0},
        {"Marigold        ", 0x2122, 1},   {"Symbol          ", 0xF041, 1}, {"Symbol          ", 0xF141, 0},
        {"Wingdings       ", 0xF22F, 1},   {"Wingdings       ", 0xF230, 0}, {"Times        Rmn", 0x00FF, 1},
        {"Not a font      ", u'A', 0},
    };
    for (const auto &k : cases)
        EXPECT_EQ(FNT_ResidentFontCovers(k.name, k.code), k.covered) << k.name << " " << std::hex << unsigned(k.code);
    EXPECT_EQ(FNT_ResidentFontCovers(nullptr, u'A'), 0);
}

TEST_F(FntDeviceFonts, CoverageOfLatinAndShiftJisRuns)
{
    PdevContext *pdev = open();
    ASSERT_NE(pdev, nullptr) << e.error;
    FONTOBJ truetype{};
    truetype.flFontType = FO_TYPE_TRUETYPE;
    FONTOBJ device{};
    device.flFontType = FO_TYPE_DEVICE;
    const struct {
        const char *why;
        WORD font;
        FONTOBJ *pfo;
        std::u16string text;
        FontPath path;
        std::u16string mapped;
    } cases[] = {
        {"Latin in Courier", 0, &truetype, u"Hello", FONT_PATH_DEVICE, u"Hello"},
        {"U+0109 sends the whole run to download", 0, &truetype, u"A\u0109B", FONT_PATH_OUTLINE, u"A\u0109B"},
        {"a device FONTOBJ is trusted", 0, &device, u"A\u0109B", FONT_PATH_DEVICE, u"A\u0109B"},
        {"Times holds the euro", 3, &truetype, u"\u20AC5", FONT_PATH_DEVICE, u"\u20AC5"},
        {"Japanese in Mincho", 4, &truetype, u"\u3042\u4E9C\uFF71A", FONT_PATH_DEVICE, u"\u3042\u4E9C\uFF71A"},
        {"the yen sign and the no-break space", 4, &truetype, u"\u00A5\u00A0", FONT_PATH_DEVICE, u"\\ "},
        {"not in code page 932", 4, &truetype, u"\u00E9", FONT_PATH_OUTLINE, u"\u00E9"},
        {"a code with no width in the font", 4, &truetype, u"\u7E8A", FONT_PATH_OUTLINE, u"\u7E8A"},
    };
    for (const auto &k : cases) {
        std::u16string codes = k.text;
        FontPath path = FONT_PATH_DEVICE;
        EXPECT_EQ(FNT_CheckDeviceFontCoverage(pdev, k.pfo, ULONG(codes.size()), &path, codes.data(), k.font), 0)
            << k.why;
        EXPECT_EQ(path, k.path) << k.why;
        EXPECT_EQ(codes, k.mapped) << k.why;
    }
    FontPath path = FONT_PATH_DEVICE;
    WCHAR code = u'A';
    EXPECT_EQ(FNT_CheckDeviceFontCoverage(pdev, &truetype, 1, &path, &code, 5), -1) << "no descriptor 5";
    EXPECT_EQ(FNT_CheckDeviceFontCoverage(pdev, &truetype, 0, &path, nullptr, 0), 0) << "an empty run";
}

TEST_F(FntDeviceRecords, EveryCutOfTheModelsBlocksIsReadInsideIt)
{
    /* Each resident face's block cut at every length, and with one offset byte spoilt: checked, and built
       when it passes, in a copy of exactly that length (the sanitizer sees any read past it). */
    const mw::Bytes blocks[] = {tarvel_models::courierMetrics(), tarvel_models::helveticaMetrics(),
                                tarvel_models::minchoMetrics()};
    for (const mw::Bytes &whole : blocks) {
        for (size_t cut = 0; cut <= whole.size(); ++cut) {
            std::vector<BYTE> part(whole.begin(), whole.begin() + cut);
            for (int spoil : {-1, 45, 63, 71, 83}) {
                std::vector<BYTE> b = part;
                if (spoil >= 0 && size_t(spoil) < b.size())
                    b[size_t(spoil)] ^= 0x40;
                bool ok = FNT_CheckMetricsBlock(b.empty() ? nullptr : b.data(), DWORD(b.size()));
                if (cut < 87) {
                    EXPECT_FALSE(ok) << cut;
                }
                DeviceFontRecord *r = ok ? FNT_BuildDeviceFontRecord(&pdev, 1,
                                                                     reinterpret_cast<const DeviceFontMetrics *>(b.data()),
                                                                     DWORD(b.size()))
                                         : nullptr;
                if (r) {
                    for (WORD code : {0x20, 0x41, 0xFF, 0x8140, 0x889F})
                        FNT_GetCharWidth(&r->cursor, code);
                    FNT_FreeDeviceFontRecord(&pdev, r);
                }
            }
        }
        DeviceFontRecord *r = FNT_BuildDeviceFontRecord(
            &pdev, 1, reinterpret_cast<const DeviceFontMetrics *>(whole.data()), DWORD(whole.size()));
        EXPECT_NE(r, nullptr) << "the whole block builds";
        FNT_FreeDeviceFontRecord(&pdev, r);
    }
}
