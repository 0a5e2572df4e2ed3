// Font download: the TrueType reader against hand-made and damaged fonts,
// the font header and characters byte for byte, the list of downloaded
// fonts and its codes, and the round trip of real DejaVu fonts (the
// downloaded header and characters rebuilt into a font that FreeType loads,
// every glyph's outline compared with the original's).
#include "draw_font_download.h"
#include "fnt_download.h"
#include "fnt_test_support.h"

#include <tarvel/base/util_system.h>

#include <plat/engine_fonts.h>
#include <plat/version.h>

#include <ft2build.h>
#include FT_FREETYPE_H

#include <gtest/gtest.h>

#include <algorithm>
#include <cstring>
#include <set>

namespace {

using namespace fnt_test;
using draw_test::DrawTest;

/* ---- A hand-made font ------------------------------------------------------------- */

Font zeros(size_t n) { return Font(n, 0); }

/* "head" with indexToLocFormat `loc` (52 bytes; version 1.0, the rest zero). */
Font headTable(uint16_t loc = 0)
{
    Font t = zeros(52);
    t[1] = 1;
    put16(t, 50, loc);
    return t;
}

Font hheaTable(uint16_t metrics = 1)
{
    Font t = zeros(36);
    put16(t, 34, metrics);
    return t;
}

Font maxpTable(uint16_t glyphs = 2) { return Font{0x00, 0x00, 0x50, 0x00, uint8_t(glyphs >> 8), uint8_t(glyphs)}; }

/* Glyph 1: one contour, box 0,0 - 10,10 (12 bytes). */
const Font kSimpleGlyph{0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x0A, 0x00, 0x0A, 0x00, 0x00};

/* A composite header (-1 contours, a box) followed by `components`. */
Font composite(const std::vector<std::pair<uint16_t, uint16_t>> &components)
{
    Font g{0xFF, 0xFF, 0, 0, 0, 0, 0, 10, 0, 10};
    for (size_t i = 0; i < components.size(); i++) {
        const uint16_t flags = uint16_t(components[i].first | (i + 1 < components.size() ? 0x0020 : 0));
        add16(g, flags);
        add16(g, components[i].second);
        add16(g, 0); /* two byte arguments */
    }
    return g;
}

/* The hand-made font: glyph 0 empty, glyph 1 `glyph1`; short "loca". */
Font tinyFont(const Font &glyph1 = kSimpleGlyph, uint16_t metrics = 1)
{
    Font loca{0x00, 0x00, 0x00, 0x00, 0x00, uint8_t(glyph1.size() / 2)};
    return assemble({{"cvt ", {0x00, 0x10}},
                     {"glyf", glyph1},
                     {"head", headTable()},
                     {"hhea", hheaTable(metrics)},
                     {"hmtx", {0x02, 0x00, 0x00, 0x10, 0x00, 0x20}},
                     {"loca", loca},
                     {"maxp", maxpTable()}});
}

TrueTypeStatus parse(const Font &f, TrueTypeFontInfo *info, const char16_t *face = u"Tiny")
{
    return FNT_ParseTrueTypeFile(f.data(), DWORD(f.size()), face, info);
}

class FontDownload : public DrawTest {
protected:
    void SetUp() override
    {
        DrawTest::SetUp();
        open();
        /* bold bitmaps are widened before Windows XP only */
        plat::version_set(5, 0, 2195, 0, VER_NT_WORKSTATION);
        UTL_ResetVersionCacheForTest();
    }
    void TearDown() override
    {
        if (pdev)
            FNT_FreeDownloadedFonts(pdev.get());
        UTL_ResetVersionCacheForTest();
        DrawTest::TearDown();
    }

    /* Every font operator written since the last take. */
    Stream take()
    {
        EXPECT_EQ(OUT_Flush(pdev->channel), 0);
        Stream s = decode(capture.bytes);
        capture.reset();
        return s;
    }

    /* One outline run of `glyphs` in font `name`; the codes it got. */
    std::vector<WORD> run(const char *name, TrueTypeFontInfo *info, std::vector<WORD> glyphs, int *rc = nullptr)
    {
        int r = FNT_EnsureFont(ctx(), name, 590, ULONG(glyphs.size()), FONT_PATH_OUTLINE, info);
        if (r == 0)
            r = FNT_DownloadRunGlyphs(ctx(), nullptr, name, ULONG(glyphs.size()), nullptr, FONT_PATH_OUTLINE, info,
                                      glyphs.data(), 0.0f);
        if (rc)
            *rc = r;
        else
            EXPECT_EQ(r, 0);
        return glyphs;
    }
};

/* ---- The reader ------------------------------------------------------------------------- */

TEST_F(FontDownload, ReadsTheTablesOfAFont)
{
    const Font f = tinyFont();
    TrueTypeFontInfo info;
    ASSERT_EQ(parse(f, &info), TT_OK);
    EXPECT_EQ(info.version, 0x00010000u);
    EXPECT_EQ(info.offsetTable, f.data());
    EXPECT_EQ(info.numGlyphs, 2);
    EXPECT_EQ(info.numberOfHMetrics, 1);
    EXPECT_EQ(info.indexToLocFormat, 0);
    EXPECT_EQ(info.vertical, 0);
    DWORD length = 0;
    EXPECT_NE(FNT_FindTable(&info, FNT_TAG("cvt "), &length), nullptr);
    EXPECT_EQ(length, 2u);
    EXPECT_NE(FNT_FindTablePadded(&info, FNT_TAG("cvt "), &length), nullptr);
    EXPECT_EQ(length, 4u);
    EXPECT_EQ(FNT_FindTable(&info, FNT_TAG("prep"), &length), nullptr);
    EXPECT_EQ(length, 0u);

    const BYTE *glyph = nullptr;
    EXPECT_EQ(FNT_LocateGlyph(&info, 0, &glyph, &length), TT_OK);
    EXPECT_EQ(glyph, nullptr);
    EXPECT_EQ(FNT_LocateGlyph(&info, 1, &glyph, &length), TT_OK);
    EXPECT_EQ(length, 12u);
    EXPECT_EQ(std::memcmp(glyph, kSimpleGlyph.data(), 12), 0);
    EXPECT_EQ(FNT_LocateGlyph(&info, 2, &glyph, &length), TT_BAD_TABLE); /* past numGlyphs */
}

TEST_F(FontDownload, ChecksumsCountMissingBytesAsZero)
{
    const BYTE t[] = {0x01, 0x02, 0x03, 0x04, 0xFF, 0xFF, 0xFF, 0xFF, 0x10, 0x20, 0x30};
    EXPECT_EQ(FNT_TableChecksum(t, 4), 0x01020304u);
    EXPECT_EQ(FNT_TableChecksum(t, 8), 0x01020303u); /* modulo 2^32 */
    EXPECT_EQ(FNT_TableChecksum(t, 11), 0x01020303u + 0x10203000u);
    EXPECT_EQ(FNT_TableChecksum(t, 9), 0x01020303u + 0x10000000u);
    EXPECT_EQ(FNT_TableChecksum(nullptr, 4), 0u);
}

/* A directory entry of tag `tag` in `f` (an sfnt at 0). */
size_t entryOf(const Font &f, const char *tag)
{
    const uint16_t n = be16(&f[4]);
    for (uint16_t i = 0; i < n; i++)
        if (std::memcmp(&f[12 + 16 * i], tag, 4) == 0)
            return 12 + 16 * i;
    ADD_FAILURE() << tag;
    return 0;
}

TEST_F(FontDownload, DamagedFontsAreRefusedWithTheirReason)
{
    struct Case {
        const char *name;
        Font font;
        TrueTypeStatus status;
    };
    std::vector<Case> cases;
    cases.push_back({"empty", {}, TT_NO_FONT_FILE});
    cases.push_back({"three bytes", {0, 1, 0}, TT_TRUNCATED});
    {
        Font f = tinyFont();
        put32(f, 0, 0x4F54544F); /* "OTTO" */
        cases.push_back({"OTTO", f, TT_CFF_OUTLINES});
    }
    cases.push_back({"no glyf (CFF outlines under a TrueType version)",
                     assemble({{"CFF ", zeros(8)}, {"head", headTable()}, {"hhea", hheaTable()}, {"maxp", maxpTable()}}),
                     TT_MISSING_TABLE});
    cases.push_back({"OTTO without glyf",
                     assemble({{"CFF ", zeros(8)}, {"head", headTable()}, {"hhea", hheaTable()}, {"maxp", maxpTable()}},
                              0x4F54544F),
                     TT_CFF_OUTLINES});
    cases.push_back({"numberOfHMetrics 0", tinyFont(kSimpleGlyph, 0), TT_BAD_TABLE});
    {
        Font f = tinyFont();
        put32(f, entryOf(f, "glyf") + 8, uint32_t(f.size() - 4)); /* 12 bytes from 4 before the end */
        cases.push_back({"directory entry past the end", f, TT_TRUNCATED});
    }
    {
        Font f = tinyFont();
        put32(f, entryOf(f, "hmtx") + 8, 0xFFFFFFF0u); /* offset + length wraps */
        cases.push_back({"offset that wraps", f, TT_TRUNCATED});
    }
    {
        Font f = tinyFont();
        put16(f, 4, 500); /* a directory longer than the file */
        cases.push_back({"directory past the end", f, TT_TRUNCATED});
    }
    {
        Font f = tinyFont();
        put32(f, entryOf(f, "head") + 12, 50); /* indexToLocFormat missing */
        cases.push_back({"short head", f, TT_BAD_TABLE});
    }
    {
        Font f = tinyFont();
        put32(f, entryOf(f, "maxp") + 12, 5);
        cases.push_back({"short maxp", f, TT_BAD_TABLE});
    }
    {
        Font f = tinyFont();
        put32(f, entryOf(f, "hhea") + 12, 35);
        cases.push_back({"short hhea", f, TT_BAD_TABLE});
    }
    {
        Font f = tinyFont();
        std::memcpy(&f[entryOf(f, "loca")], "xoca", 4);
        cases.push_back({"no loca", f, TT_MISSING_TABLE});
    }
    {
        Font f = tinyFont();
        put16(f, be32(&f[entryOf(f, "head") + 8]) + 50, 2);
        cases.push_back({"unknown loca form", f, TT_BAD_TABLE});
    }
    {
        Font f = tinyFont();
        put16(f, be32(&f[entryOf(f, "maxp") + 8]) + 4, 0);
        cases.push_back({"no glyphs", f, TT_BAD_TABLE});
    }
    cases.push_back({"collection without the face", collection({tinyFont()}), TT_NO_MATCHING_FACE});
    {
        Font f = collection({tinyFont()});
        put32(f, 8, 0x40000000); /* more members than the file holds */
        cases.push_back({"collection of too many members", f, TT_TRUNCATED});
    }
    for (const Case &c : cases) {
        /* an exact-size copy, so that any read past the end is caught */
        auto *copy = new uint8_t[c.font.size() + 1];
        if (!c.font.empty())
            std::memcpy(copy, c.font.data(), c.font.size());
        TrueTypeFontInfo info;
        EXPECT_EQ(FNT_ParseTrueTypeFile(c.font.empty() ? nullptr : copy, DWORD(c.font.size()), u"Tiny", &info),
                  c.status)
            << c.name;
        EXPECT_EQ(info.tables[0].tag, FNT_TAG_END) << c.name;
        delete[] copy;
    }
}

TEST_F(FontDownload, EveryTruncationOfAFontIsRefusedWithoutReadingPastIt)
{
    const Font f = tinyFont();
    for (size_t n = 1; n < f.size() - 2; n++) { /* the last 2 bytes pad "maxp" */
        std::vector<uint8_t> cut(f.begin(), f.begin() + n);
        cut.shrink_to_fit();
        TrueTypeFontInfo info;
        EXPECT_NE(FNT_ParseTrueTypeFile(cut.data(), DWORD(n), u"Tiny", &info), TT_OK) << n;
    }
}

TEST_F(FontDownload, DamagedGlyphsFailTheirCharacter)
{
    struct Case {
        const char *name;
        Font font;
    };
    std::vector<Case> cases;
    cases.push_back({"cyclic composite", tinyFont(composite({{0, 1}}))});
    cases.push_back({"component past numGlyphs", tinyFont(composite({{0, 9}}))});
    {
        Font f = tinyFont();
        put16(f, be32(&f[entryOf(f, "loca") + 8]) + 4, 0x40); /* glyph 1 ends past "glyf" */
        cases.push_back({"loca past glyf", f});
    }
    {
        Font f = tinyFont();
        put16(f, be32(&f[entryOf(f, "loca") + 8]) + 2, 0x07); /* glyph 1 starts after it ends */
        cases.push_back({"loca going backwards", f});
    }
    {
        Font f = tinyFont();
        put32(f, entryOf(f, "loca") + 12, 4); /* no entry for glyph 1's end */
        cases.push_back({"short loca", f});
    }
    for (const Case &c : cases) {
        TrueTypeFontInfo info;
        ASSERT_EQ(parse(c.font, &info), TT_OK) << c.name;
        int rc = 0;
        run("T:OL", &info, {1}, &rc);
        EXPECT_EQ(rc, -1) << c.name;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_DATA)) << c.name;
        FNT_FreeDownloadedFonts(ctx());
        take();
    }
}

TEST_F(FontDownload, ComponentListsThatRunPastTheGlyphAreEmpty)
{
    Font g = composite({{0x0001, 1}}); /* word arguments: 4 bytes, but only 2 follow */
    WORD indexes[4];
    DWORD count = 9;
    EXPECT_FALSE(FNT_ListComponents(g.data(), DWORD(g.size()), indexes, 4, &count));
    EXPECT_EQ(count, 0u);
    g = composite({{0x0008, 1}}); /* a scale without its 2 bytes */
    EXPECT_FALSE(FNT_ListComponents(g.data(), DWORD(g.size()), indexes, 4, &count));
    g.push_back(0), g.push_back(0);
    EXPECT_TRUE(FNT_ListComponents(g.data(), DWORD(g.size()), indexes, 4, &count));
    EXPECT_EQ(count, 1u);
    EXPECT_EQ(indexes[0], 1);
    g = composite({{0, 1}, {0x00C0, 0}}); /* bits 6 and 7 each add their bytes (12) */
    g.resize(g.size() + 11);
    EXPECT_FALSE(FNT_ListComponents(g.data(), DWORD(g.size()), indexes, 4, &count));
    g.push_back(0);
    EXPECT_TRUE(FNT_ListComponents(g.data(), DWORD(g.size()), indexes, 4, &count));
    EXPECT_EQ(count, 2u);
    EXPECT_FALSE(FNT_ListComponents(kSimpleGlyph.data(), 12, indexes, 4, &count));
}

/* ---- Byte-exact header and character ------------------------------------------------- */

TEST_F(FontDownload, TrueTypeHeaderAndCharacterBytes)
{
    const Font f = tinyFont();
    TrueTypeFontInfo info;
    ASSERT_EQ(parse(f, &info), TT_OK);
    const std::vector<WORD> codes = run("Tiny:OL", &info, {1});
    EXPECT_EQ(codes, std::vector<WORD>{0});

    Font expected = {
        0x00, 0x00, 0x02, 0x4E, 0x01, 0x00, 0x04, 0x00, 'G', 'T', 0x00, 0x00, 0x00, 0xF8, /* S = 248 */
        0x00, 0x01, 0x00, 0x00, 0x00, 0x08, 0x00, 0x80, 0x00, 0x03, 0x00, 0x00,             /* n 8: 128, 3, 0 */
        'c', 'v', 't', ' ', 0x00, 0x10, 0x00, 0x00, 0x00, 0x00, 0x00, 0x8C, 0x00, 0x00, 0x00, 0x02,
        'g', 'd', 'i', 'r', 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        'h', 'e', 'a', 'd', 0x00, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x90, 0x00, 0x00, 0x00, 0x34,
        'h', 'h', 'e', 'a', 0x00, 0x00, 0x00, 0x01, 0x00, 0x00, 0x00, 0xC4, 0x00, 0x00, 0x00, 0x24,
        'h', 'm', 't', 'x', 0x02, 0x20, 0x00, 0x10, 0x00, 0x00, 0x00, 0xE8, 0x00, 0x00, 0x00, 0x06,
        'm', 'a', 'x', 'p', 0x00, 0x02, 0x50, 0x00, 0x00, 0x00, 0x00, 0xF0, 0x00, 0x00, 0x00, 0x06,
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, /* no "fpgm", no "prep" */
        0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0, 0,
        0x00, 0x10, 0x00, 0x00, /* "cvt " padded */
    };
    const Font head = headTable(), hhea = hheaTable();
    expected.insert(expected.end(), head.begin(), head.end());
    expected.insert(expected.end(), hhea.begin(), hhea.end());
    expected.insert(expected.end(), {0x02, 0x00, 0x00, 0x10, 0x00, 0x20, 0x00, 0x00});
    expected.insert(expected.end(), {0x00, 0x00, 0x50, 0x00, 0x00, 0x02, 0x00, 0x00});
    expected.insert(expected.end(), {0xFF, 0xFF, 0x00, 0x00, 0x00, 0x00});
    ASSERT_EQ(expected.size(), 268u);

    Stream s = take();
    EXPECT_EQ(s.events, (std::vector<std::string>{"Header Tiny:OL", "Chars Tiny:OL"}));
    EXPECT_EQ(hex(s.fonts["Tiny:OL"].header), hex(expected));
    ASSERT_EQ(s.fonts["Tiny:OL"].chars.size(), 1u);
    EXPECT_EQ(s.fonts["Tiny:OL"].chars[0].first, 0);
    Font ch = {0x01, 0x00, 0x00, 0x10, 0x00, 0x01};
    ch.insert(ch.end(), kSimpleGlyph.begin(), kSimpleGlyph.end());
    EXPECT_EQ(hex(s.fonts["Tiny:OL"].chars[0].second), hex(ch));
}

TEST_F(FontDownload, AHeaderLongerThanAPieceIsSentInPieces)
{
    Font loca{0x00, 0x00, 0x00, 0x00, 0x00, 0x06};
    const Font f = assemble({{"cvt ", zeros(70000)},
                             {"glyf", kSimpleGlyph},
                             {"head", headTable()},
                             {"hhea", hheaTable()},
                             {"loca", loca},
                             {"maxp", maxpTable()}});
    TrueTypeFontInfo info;
    ASSERT_EQ(parse(f, &info), TT_OK);
    ASSERT_EQ(FNT_EnsureFont(ctx(), "Big:OL", 590, 1, FONT_PATH_OUTLINE, &info), 0);
    Stream s = take();
    /* 14 + 12 + 128 + 70,000 + 52 + 36 + 8 + 6 bytes */
    EXPECT_EQ(s.fonts["Big:OL"].pieces, (std::vector<uint32_t>{65535, 70256 - 65535}));
    EXPECT_EQ(be32(&s.fonts["Big:OL"].header[10]), 70256u - 20);
}

TEST_F(FontDownload, BitmapHeaderAndCharacterBytes)
{
    ASSERT_EQ(FNT_EnsureFont(ctx(), "Bm", 309, 2, FONT_PATH_BITMAP, nullptr), 0);
    GLYPHBITS *bits = static_cast<GLYPHBITS *>(std::calloc(1, sizeof(GLYPHBITS) + 4));
    bits->ptlOrigin = {1, -5};
    bits->sizlBitmap = {3, 2};
    bits->aj[0] = 0xA0;
    bits->aj[1] = 0x40;
    GLYPHDEF def{};
    def.pgb = bits;
    GLYPHPOS pos[2] = {{7, &def, {0, 0}}, {7, &def, {10, 0}}};
    WORD codes[2] = {7, 7};
    FONTOBJ fo{};
    ASSERT_EQ(FNT_DownloadRunGlyphs(ctx(), &fo, "Bm", 2, pos, FONT_PATH_BITMAP, nullptr, codes, 50.0f), 0);
    EXPECT_EQ(codes[0], 0);
    EXPECT_EQ(codes[1], 0);
    Stream s = take();
    /* format 0, orientation 0, symbol set 309, technology 254, variety 0, 1,024 characters, "BR", 4, 600, 600 */
    EXPECT_EQ(hex(s.fonts["Bm"].header), hex(Font{0x00, 0x00, 0x01, 0x35, 0xFE, 0x00, 0x04, 0x00, 'B', 'R', 0x00,
                                                   0x00, 0x00, 0x04, 0x02, 0x58, 0x02, 0x58, 0xFF, 0xFF, 0x00, 0x00,
                                                   0x00, 0x00}));
    ASSERT_EQ(s.fonts["Bm"].chars.size(), 1u);
    EXPECT_EQ(hex(s.fonts["Bm"].chars[0].second),
              hex(Font{0x00, 0x00, 0x00, 0x01, 0x00, 0x05, 0x00, 0x03, 0x00, 0x02, 0xA0, 0x40}));

    /* simulated bold at 100 pixels = 1,200 hundredths of a point at 600 dpi: one more column and row on top */
    ASSERT_EQ(FNT_EnsureFont(ctx(), "Bm:B", 309, 1, FONT_PATH_BITMAP, nullptr), 0);
    fo.flFontType = FO_SIM_BOLD;
    WORD bold[1] = {7};
    ASSERT_EQ(FNT_DownloadRunGlyphs(ctx(), &fo, "Bm:B", 1, pos, FONT_PATH_BITMAP, nullptr, bold, 100.0f), 0);
    s = take();
    ASSERT_EQ(s.fonts["Bm:B"].chars.size(), 1u);
    /* rows 101 / 010 ORed at the four corners of the margin rectangle: 1111 / 1111 / 0110 */
    EXPECT_EQ(hex(s.fonts["Bm:B"].chars[0].second),
              hex(Font{0x00, 0x00, 0x00, 0x01, 0x00, 0x06, 0x00, 0x04, 0x00, 0x03, 0xF0, 0xF0, 0x60}));
    std::free(bits);
}

TEST_F(FontDownload, EmboldenPlanBySize)
{
    struct Case {
        LONG size, l, t, r, b;
    };
    const Case cases[] = {
        {0, 0, 0, 0, 0},       {649, 0, 0, 0, 0},     {650, 0, 1, 1, 0},     {1499, 0, 1, 1, 0},
        {1500, 1, 1, 1, 1},    {2099, 1, 1, 1, 1},    {2100, 1, 2, 2, 1},    {2499, 1, 2, 2, 1},
        {2500, 2, 2, 2, 2},    {2899, 2, 2, 2, 2},    {2900, 2, 3, 3, 2},    {3500, 3, 3, 3, 3},
        {4100, 3, 4, 4, 3},    {-5, 0, 0, 0, 0},
    };
    for (const Case &c : cases) {
        LONG l = -1, t = -1, r = -1, b = -1;
        FNT_EmboldenPlan(c.size, &l, &t, &r, &b);
        EXPECT_EQ((std::vector<LONG>{l, t, r, b}), (std::vector<LONG>{c.l, c.t, c.r, c.b})) << c.size;
    }
}

TEST_F(FontDownload, EmboldeningDrawsTheOutlineOfTheMarginRectangle)
{
    const BYTE dot[1] = {0x80};
    BYTE out[5];
    ASSERT_TRUE(FNT_EmboldenBitmap(dot, 1, 1, out, 2, 2, 2, 2));
    EXPECT_EQ(hex(Font(out, out + 5)), hex(Font{0xF8, 0x88, 0xA8, 0x88, 0xF8}));
    ASSERT_TRUE(FNT_EmboldenBitmap(dot, 1, 1, out, 1, 1, 1, 1));
    EXPECT_EQ(hex(Font(out, out + 3)), hex(Font{0xE0, 0xE0, 0xE0}));
    EXPECT_FALSE(FNT_EmboldenBitmap(dot, 1, 1, out, -1, 0, 0, 0));
    EXPECT_FALSE(FNT_EmboldenBitmap(nullptr, 1, 1, out, 0, 0, 0, 0));
}

TEST_F(FontDownload, FromWindowsXpOnBoldIsNotWidened)
{
    plat::version_set(5, 1, 2600, 0, VER_NT_WORKSTATION);
    UTL_ResetVersionCacheForTest();
    LONG l = -1, t = -1, r = -1, b = -1;
    FNT_EmboldenPlan(5000, &l, &t, &r, &b);
    EXPECT_EQ((std::vector<LONG>{l, t, r, b}), (std::vector<LONG>{0, 0, 0, 0}));
}

/* ---- The list of downloaded fonts ----------------------------------------------------- */

TEST_F(FontDownload, RunsOfOneFontShareItAndSendOnlyNewGlyphs)
{
    const Font f = tinyFont();
    TrueTypeFontInfo info;
    ASSERT_EQ(parse(f, &info), TT_OK);
    EXPECT_EQ(run("T:OL", &info, {1, 0, 1}), (std::vector<WORD>{0, 1, 0}));
    EXPECT_EQ(run("T:OL", &info, {0, 1}), (std::vector<WORD>{1, 0}));
    Stream s = take();
    EXPECT_EQ(s.events, (std::vector<std::string>{"Header T:OL", "Chars T:OL"}));
    ASSERT_EQ(s.fonts["T:OL"].chars.size(), 2u);
    EXPECT_EQ(s.fonts["T:OL"].chars[0].first, 0);
    EXPECT_EQ(s.fonts["T:OL"].chars[1].first, 1);
    EXPECT_EQ(hex(s.fonts["T:OL"].chars[1].second), "01 00 00 04 00 00");
}

TEST_F(FontDownload, AFullFontIsRemovedAndDownloadedAnew)
{
    FONTOBJ fo{};
    GLYPHBITS bits{};
    GLYPHDEF def{};
    def.pgb = &bits;
    std::vector<GLYPHPOS> pos(1000, GLYPHPOS{0, &def, {0, 0}});
    std::vector<WORD> codes(1000);
    for (WORD i = 0; i < 1000; i++)
        codes[i] = i;
    ASSERT_EQ(FNT_EnsureFont(ctx(), "B", 309, 1000, FONT_PATH_BITMAP, nullptr), 0);
    ASSERT_EQ(FNT_DownloadRunGlyphs(ctx(), &fo, "B", 1000, pos.data(), FONT_PATH_BITMAP, nullptr, codes.data(), 0), 0);
    take();
    /* 1,000 codes and a run of 30 (all but one already there): 1,030 > 1,023 */
    ASSERT_EQ(FNT_EnsureFont(ctx(), "B", 309, 30, FONT_PATH_BITMAP, nullptr), 0);
    std::vector<WORD> again(30);
    for (WORD i = 0; i < 30; i++)
        again[i] = WORD(i + 971);
    ASSERT_EQ(FNT_DownloadRunGlyphs(ctx(), &fo, "B", 30, pos.data(), FONT_PATH_BITMAP, nullptr, again.data(), 0), 0);
    EXPECT_EQ(again[0], 0);
    EXPECT_EQ(again[29], 29);
    Stream s = take();
    EXPECT_EQ(s.events, (std::vector<std::string>{"Remove B", "Header B", "Chars B"}));
    EXPECT_EQ(s.fonts["B"].chars.size(), 30u);
    EXPECT_EQ(ctx()->downloadedFontCount, 1u);
}

TEST_F(FontDownload, ALargeRunMakesALargeFont)
{
    const Font f = readFont("DejaVuSans.ttf");
    TrueTypeFontInfo info;
    ASSERT_EQ(parse(f, &info, u"DejaVu Sans"), TT_OK);
    std::vector<WORD> glyphs(1500);
    for (WORD i = 0; i < 1500; i++)
        glyphs[i] = WORD(i + 3);
    run("DejaVu Sans:OL", &info, glyphs);
    Stream s = take();
    EXPECT_EQ(be16(&s.fonts["DejaVu Sans:OL"].header[6]), 6253); /* numGlyphs characters */
    ASSERT_NE(ctx()->downloadedFonts, nullptr);
    EXPECT_EQ(ctx()->downloadedFonts->large, 1u);
    EXPECT_EQ(ctx()->downloadedFonts->capacity, 6253);
    EXPECT_EQ(ctx()->downloadedFonts->codeCount, 1500);

    /* a large bitmap font holds the codes of its first run; a run that could need more takes a new font */
    FONTOBJ fo{};
    GLYPHBITS bits{};
    GLYPHDEF def{};
    def.pgb = &bits;
    std::vector<GLYPHPOS> pos(1100, GLYPHPOS{0, &def, {0, 0}});
    std::vector<WORD> codes(1100);
    for (WORD i = 0; i < 1100; i++)
        codes[i] = i;
    ASSERT_EQ(FNT_EnsureFont(ctx(), "L", 309, 1100, FONT_PATH_BITMAP, nullptr), 0);
    ASSERT_EQ(FNT_DownloadRunGlyphs(ctx(), &fo, "L", 1100, pos.data(), FONT_PATH_BITMAP, nullptr, codes.data(), 0), 0);
    ASSERT_EQ(FNT_EnsureFont(ctx(), "L", 309, 5, FONT_PATH_BITMAP, nullptr), 0);
    s = take();
    EXPECT_EQ(s.events, (std::vector<std::string>{"Header L", "Chars L", "Remove L", "Header L"}));
    EXPECT_EQ(be16(&s.fonts["L"].header[6]), 1024);
}

TEST_F(FontDownload, FontsAreRemovedOldestFirstAtThePageEndAndDownloadedAgain)
{
    const Font f = tinyFont();
    TrueTypeFontInfo info;
    ASSERT_EQ(parse(f, &info), TT_OK);
    for (int page = 0; page < 2; page++) {
        run("A:OL", &info, {1});
        run("B:OL", &info, {1});
        run("A:OL", &info, {0}); /* A is the most recently used again */
        EXPECT_EQ(ctx()->downloadedFontCount, 2u);
        ASSERT_EQ(FNT_RemoveAllDownloadedFonts(ctx()), 0);
        EXPECT_EQ(ctx()->downloadedFontCount, 0u);
        EXPECT_EQ(ctx()->downloadedFonts, nullptr);
        Stream s = take();
        EXPECT_EQ(s.events, (std::vector<std::string>{"Header A:OL", "Chars A:OL", "Header B:OL", "Chars B:OL",
                                                      "Chars A:OL", "Remove B:OL", "Remove A:OL"}))
            << page;
    }
    EXPECT_EQ(FNT_RemoveAllDownloadedFonts(nullptr), -1);
    EXPECT_EQ(FNT_ResetDownloadState(nullptr), -1);
}

TEST_F(FontDownload, ResetForgetsTheListAndAReplacedContextHandsItOver)
{
    const Font f = tinyFont();
    TrueTypeFontInfo info;
    ASSERT_EQ(parse(f, &info), TT_OK);
    run("A:OL", &info, {1});
    PdevContext other{};
    FNT_MoveDownloadedFonts(ctx(), &other);
    EXPECT_EQ(ctx()->downloadedFonts, nullptr);
    EXPECT_EQ(ctx()->downloadedFontCount, 0u);
    ASSERT_NE(other.downloadedFonts, nullptr);
    EXPECT_STREQ(other.downloadedFonts->name, "A:OL");
    EXPECT_EQ(other.downloadedFontCount, 1u);
    EXPECT_EQ(FNT_ResetDownloadState(&other), 0);
    EXPECT_EQ(other.downloadedFonts, nullptr);
    EXPECT_EQ(other.downloadedFontCount, 0u);
}

TEST_F(FontDownload, ACompositeGlyphIsFollowedByItsComponents)
{
    const Font comp = composite({{0, 1}, {0, 1}});
    Font loca{0x00, 0x00, 0x00, 0x00, 0x00, 0x06, 0x00, uint8_t((12 + comp.size()) / 2)};
    Font glyf = kSimpleGlyph;
    glyf.insert(glyf.end(), comp.begin(), comp.end());
    const Font f = assemble({{"glyf", glyf},
                             {"head", headTable()},
                             {"hhea", hheaTable()},
                             {"loca", loca},
                             {"maxp", maxpTable(3)}});
    TrueTypeFontInfo info;
    ASSERT_EQ(parse(f, &info), TT_OK);
    EXPECT_EQ(run("C:OL", &info, {2}), std::vector<WORD>{0});
    Stream s = take();
    const auto &chars = s.fonts["C:OL"].chars;
    ASSERT_EQ(chars.size(), 3u);
    EXPECT_EQ(chars[0].first, 0);
    EXPECT_EQ(be16(&chars[0].second[4]), 2);
    for (int i = 1; i < 3; i++) {
        EXPECT_EQ(chars[i].first, 0xFFFF);
        EXPECT_EQ(be16(&chars[i].second[4]), 1);
    }
}

/* ---- Collections ---------------------------------------------------------------------- */

TEST_F(FontDownload, ACollectionMemberIsChosenByItsFullName)
{
    const Font sans = readFont("DejaVuSans.ttf"), mono = readFont("DejaVuSansMono.ttf");
    ASSERT_FALSE(sans.empty());
    ASSERT_FALSE(mono.empty());
    const Font ttc = collection({sans, mono});
    const size_t monoAt = be32(&ttc[16]);
    TrueTypeFontInfo info;
    ASSERT_EQ(parse(ttc, &info, u"DejaVu Sans Mono"), TT_OK);
    EXPECT_EQ(info.offsetTable, ttc.data() + monoAt);
    EXPECT_EQ(info.version, FNT_TAG("ttcf"));
    EXPECT_EQ(info.numberOfHMetrics, 4);
    ASSERT_EQ(parse(ttc, &info, u"@DejaVu Sans"), TT_OK);
    EXPECT_EQ(info.offsetTable, ttc.data() + be32(&ttc[12]));
    EXPECT_EQ(parse(ttc, &info, u"DejaVu"), TT_NO_MATCHING_FACE);
    EXPECT_EQ(parse(ttc, &info, u"dejavu sans"), TT_NO_MATCHING_FACE);

    ASSERT_EQ(parse(ttc, &info, u"DejaVu Sans Mono"), TT_OK);
    run("Mono:OL", &info, {36});
    Stream s = take();
    EXPECT_EQ(be32(&s.fonts["Mono:OL"].header[14]), FNT_TAG("ttcf"));
}

/* ---- Fonts of the engine ------------------------------------------------------------- */

TEST_F(FontDownload, TheEnginesFontFileIsRead)
{
    plat::TrueTypeFontSpec spec;
    spec.file = std::string(kDejaVuDir) + "DejaVuSans-ExtraLight.ttf";
    spec.height = -50;
    FONTOBJ *pfo = plat::engine_open_truetype_font(spec);
    ASSERT_NE(pfo, nullptr);
    TrueTypeFontInfo info;
    ASSERT_EQ(FNT_LoadTrueTypeInfo(ctx(), pfo, u"DejaVu Sans ExtraLight", &info), 0);
    EXPECT_EQ(info.indexToLocFormat, 0);
    EXPECT_NE(FNT_FindTable(&info, FNT_TAG("glyf"), nullptr), nullptr);

    /* a glyph without an image of the engine's is asked for one */
    ASSERT_EQ(FNT_EnsureFont(ctx(), "X:BM", 309, 1, FONT_PATH_BITMAP, nullptr), 0);
    GLYPHPOS pos{36, nullptr, {0, 0}};
    WORD codes[1] = {36};
    ASSERT_EQ(FNT_DownloadRunGlyphs(ctx(), pfo, "X:BM", 1, &pos, FONT_PATH_BITMAP, nullptr, codes, 50.0f), 0);
    Stream s = take();
    ASSERT_EQ(s.fonts["X:BM"].chars.size(), 1u);
    const Font &c = s.fonts["X:BM"].chars[0].second;
    const uint16_t width = be16(&c[6]), height = be16(&c[8]);
    EXPECT_GT(width, 10);
    EXPECT_GT(height, 10);
    EXPECT_EQ(c.size(), 10u + (width + 7) / 8 * height);
    plat::engine_free_font(pfo);

    FONTOBJ none{};
    EXPECT_EQ(FNT_LoadTrueTypeInfo(ctx(), &none, u"Nothing", &info), -1);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_DATA));
    EXPECT_EQ(FNT_LoadTrueTypeInfo(ctx(), nullptr, u"Nothing", &info), -1);
}

/* ---- Real fonts through FreeType ------------------------------------------------------ */

struct FreeType {
    FT_Library lib = nullptr;
    FreeType() { FT_Init_FreeType(&lib); }
    ~FreeType() { FT_Done_FreeType(lib); }
};

/* The glyph's outline in font units: contours, points and tags as text; its advance. */
std::string outline(FT_Face face, unsigned glyph)
{
    if (FT_Load_Glyph(face, glyph, FT_LOAD_NO_SCALE | FT_LOAD_NO_HINTING | FT_LOAD_NO_BITMAP) != 0)
        return "load failed";
    const FT_Outline &o = face->glyph->outline;
    std::string s = "adv " + std::to_string(face->glyph->metrics.horiAdvance) + " contours";
    for (int i = 0; i < o.n_contours; i++)
        s += " " + std::to_string(o.contours[i]);
    for (int i = 0; i < o.n_points; i++)
        s += " " + std::to_string(o.points[i].x) + "," + std::to_string(o.points[i].y) + ":" +
             std::to_string(o.tags[i] & 1);
    return s;
}

/*
 * The font the printer received: the header's tables, a "loca" (long) and
 * "glyf" rebuilt from the characters, and the original's "name" so that
 * FreeType takes it.  *downloaded: the glyphs that arrived.
 */
Font rebuild(const Downloaded &d, const Font &original, uint16_t numGlyphs, std::set<unsigned> *downloaded)
{
    const Font &h = d.header;
    EXPECT_EQ(h[8], 'G');
    EXPECT_EQ(h[9], 'T');
    const uint32_t size = be32(&h[10]);
    EXPECT_EQ(h.size(), 20 + size);
    const uint8_t *sfnt = &h[14];
    std::vector<Table> tables;
    const uint16_t n = be16(sfnt + 4);
    for (uint16_t i = 0; i < n; i++) {
        const uint8_t *e = sfnt + 12 + 16 * i;
        const std::string tag(reinterpret_cast<const char *>(e), 4);
        if (be32(e) == 0 || tag == "gdir")
            continue;
        tables.push_back({tag, Font(sfnt + be32(e + 8), sfnt + be32(e + 8) + be32(e + 12))});
        if (tag == "head")
            put16(tables.back().data, 50, 1); /* the rebuilt "loca" is long */
    }
    std::vector<Font> glyphs(numGlyphs);
    for (const auto &[code, data] : d.chars) {
        EXPECT_EQ(data[0], 1);
        EXPECT_EQ(be16(&data[2]), data.size() - 2);
        const size_t at = data[1] == 1 ? 8 : 4;
        const uint16_t id = be16(&data[at]);
        glyphs.at(id).assign(data.begin() + at + 2, data.end());
        downloaded->insert(id);
    }
    Font glyf, loca;
    for (const Font &g : glyphs) {
        add32(loca, uint32_t(glyf.size()));
        glyf.insert(glyf.end(), g.begin(), g.end());
        glyf.resize((glyf.size() + 3) & ~size_t(3));
    }
    add32(loca, uint32_t(glyf.size()));
    tables.push_back({"glyf", glyf});
    tables.push_back({"loca", loca});
    for (const auto &[tag, place] : directory(original))
        if (tag == "name")
            tables.push_back({"name", Font(original.begin() + place.first, original.begin() + place.first + place.second)});
    std::sort(tables.begin(), tables.end(), [](const Table &a, const Table &b) { return a.tag < b.tag; });
    return assemble(tables);
}

struct RealFont {
    const char *file;
    const char16_t *face;
    int16_t locFormat;
    uint16_t longMetrics; /* 0: not checked */
    bool fpgmAndPrep;
};

class RealFontRoundTrip : public FontDownload, public ::testing::WithParamInterface<RealFont> {};

TEST_P(RealFontRoundTrip, EveryGlyphArrivesWithItsOutline)
{
    const RealFont &p = GetParam();
    const Font f = readFont(p.file);
    ASSERT_FALSE(f.empty()) << p.file;
    TrueTypeFontInfo info;
    ASSERT_EQ(parse(f, &info, p.face), TT_OK);
    if (p.locFormat >= 0) {
        EXPECT_EQ(info.indexToLocFormat, p.locFormat);
    }
    if (p.longMetrics) {
        EXPECT_EQ(info.numberOfHMetrics, p.longMetrics);
    }

    /* every glyph but the first 40, in runs of 900 (normal fonts: components arrive on their own) */
    std::vector<WORD> all;
    for (unsigned g = 40; g < info.numGlyphs; g++)
        all.push_back(WORD(g));
    for (size_t at = 0; at < all.size(); at += 900) {
        const size_t n = std::min<size_t>(900, all.size() - at);
        std::vector<WORD> part(all.begin() + at, all.begin() + at + n);
        part = run(("F" + std::to_string(at) + ":OL").c_str(), &info, part);
        for (size_t i = 0; i < n; i++)
            EXPECT_EQ(part[i], i);
    }
    Stream s = take();

    /* each copied table's checksum is the one in the font's own directory ("head" aside: its own is taken with
       checkSumAdjustment zeroed) */
    const Font &h = s.fonts["F0:OL"].header;
    std::map<std::string, uint32_t> ownChecksums;
    for (uint16_t i = 0; i < be16(&f[4]); i++)
        ownChecksums[std::string(reinterpret_cast<const char *>(&f[12 + 16 * i]), 4)] = be32(&f[12 + 16 * i + 4]);
    ASSERT_EQ(be16(&h[18]), 8);
    std::vector<std::string> tags;
    for (int i = 0; i < 8; i++) {
        const uint8_t *e = &h[26 + 16 * i];
        const std::string tag(reinterpret_cast<const char *>(e), 4);
        tags.push_back(be32(e) ? tag : "-");
        if (be32(e) && tag != "gdir" && tag != "head") {
            EXPECT_EQ(be32(e + 4), ownChecksums[tag]) << tag;
        }
    }
    if (p.fpgmAndPrep)
        EXPECT_EQ(tags, (std::vector<std::string>{"cvt ", "fpgm", "gdir", "head", "hhea", "hmtx", "maxp", "prep"}));
    else
        EXPECT_EQ(tags, (std::vector<std::string>{"cvt ", "gdir", "head", "hhea", "hmtx", "maxp", "-", "-"}));

    FreeType ft;
    FT_Face originalFace = nullptr;
    ASSERT_EQ(FT_New_Memory_Face(ft.lib, f.data(), FT_Long(f.size()), 0, &originalFace), 0);
    for (const auto &[name, d] : s.fonts) {
        std::set<unsigned> downloaded;
        const Font rebuilt = rebuild(d, f, info.numGlyphs, &downloaded);
        FT_Face face = nullptr;
        ASSERT_EQ(FT_New_Memory_Face(ft.lib, rebuilt.data(), FT_Long(rebuilt.size()), 0, &face), 0) << name;
        int compared = 0;
        for (unsigned g : downloaded) {
            if (g < 40)
                continue; /* a component only */
            EXPECT_EQ(outline(face, g), outline(originalFace, g)) << name << " glyph " << g;
            compared++;
        }
        EXPECT_GT(compared, 0) << name;
        FT_Done_Face(face);
    }
    FT_Done_Face(originalFace);
}

INSTANTIATE_TEST_SUITE_P(DejaVu, RealFontRoundTrip,
                         ::testing::Values(RealFont{"DejaVuSans.ttf", u"DejaVu Sans", 1, 0, true},
                                           RealFont{"DejaVuSansMono.ttf", u"DejaVu Sans Mono", 1, 4, true},
                                           RealFont{"DejaVuSans-ExtraLight.ttf", u"DejaVu Sans ExtraLight", 0, 0,
                                                    true},
                                           RealFont{"DejaVuMathTeXGyre.ttf", u"DejaVu Math TeX Gyre", -1, 0,
                                                    false}));

} // namespace
