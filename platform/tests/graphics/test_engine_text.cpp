// Engine memory, the glyph set of a single-byte range of a code page and the
// engine's Unicode conversions.  The expected runs of code page 1252 are
// worked out from its table: 0x00-0x7F and 0xA0-0xFF map to themselves, the
// 27 defined bytes of 0x80-0x9F to punctuation and letters above U+0151, and
// the five undefined ones to the code points of the same value.
#include "test_file_fixture.h"

#include <plat/codepage.h>
#include <plat/engine.h>
#include <plat/fault.h>

#include <string>
#include <vector>

using EngineText = MachineTest;

namespace {

struct GlyphRun {
    WCHAR low;
    USHORT count;
};

std::vector<GlyphRun> runs_of(const FD_GLYPHSET *gs)
{
    std::vector<GlyphRun> out;
    for (ULONG i = 0; i < gs->cRuns; i++)
        out.push_back(GlyphRun{gs->awcrun[i].wcLow, gs->awcrun[i].cGlyphs});
    return out;
}

/* The handle of Unicode code `wc`, or 0xFFFF when the set does not hold it. */
ULONG handle_of(const FD_GLYPHSET *gs, WCHAR wc)
{
    for (ULONG i = 0; i < gs->cRuns; i++) {
        const WCRUN &r = gs->awcrun[i];
        if (wc >= r.wcLow && wc < r.wcLow + r.cGlyphs)
            return r.phg[wc - r.wcLow];
    }
    return 0xFFFF;
}

} // namespace

TEST_F(EngineText, GlyphSetOfTheWholeAnsiPage1252)
{
    FD_GLYPHSET *gs = EngComputeGlyphSet(0, 0, 256);
    ASSERT_NE(gs, nullptr);
    const GlyphRun expected[] = {
        {0x0000, 128}, {0x0081, 1}, {0x008D, 1}, {0x008F, 2}, {0x009D, 1}, {0x00A0, 96}, {0x0152, 2},
        {0x0160, 2},   {0x0178, 1}, {0x017D, 2}, {0x0192, 1}, {0x02C6, 1}, {0x02DC, 1}, {0x2013, 2},
        {0x2018, 3},   {0x201C, 3}, {0x2020, 3}, {0x2026, 1}, {0x2030, 1}, {0x2039, 2}, {0x20AC, 1},
        {0x2122, 1},
    };
    std::vector<GlyphRun> got = runs_of(gs);
    ASSERT_EQ(got.size(), std::size(expected));
    for (size_t i = 0; i < got.size(); i++) {
        EXPECT_EQ(got[i].low, expected[i].low) << "run " << i;
        EXPECT_EQ(got[i].count, expected[i].count) << "run " << i;
    }
    EXPECT_EQ(gs->cGlyphsSupported, 256u);
    EXPECT_EQ(gs->cjThis, 16u + 22u * 16u + 256u * 4u);
    EXPECT_EQ(handle_of(gs, u'A'), 0x41u);
    EXPECT_EQ(handle_of(gs, 0x20AC), 0x80u);
    EXPECT_EQ(handle_of(gs, 0x201A), 0x82u) << "third of the run 2018 2019 201A";
    EXPECT_EQ(handle_of(gs, 0x00FF), 0xFFu);
    EngFreeMem(gs);
}

TEST_F(EngineText, GlyphSetOfAPartOfTheRange)
{
    FD_GLYPHSET *gs = EngComputeGlyphSet(1252, 0x41, 3);
    ASSERT_NE(gs, nullptr);
    ASSERT_EQ(gs->cRuns, 1u);
    EXPECT_EQ(gs->awcrun[0].wcLow, u'A');
    EXPECT_EQ(gs->awcrun[0].cGlyphs, 3);
    EXPECT_EQ(gs->awcrun[0].phg[2], 0x43u);
    EngFreeMem(gs);
}

TEST_F(EngineText, GlyphSetOfShiftJisLeavesOutLeadBytes)
{
    ASSERT_TRUE(plat::set_ansi_code_page(932));
    FD_GLYPHSET *gs = EngComputeGlyphSet(0, 0, 256);
    ASSERT_NE(gs, nullptr);
    EXPECT_EQ(handle_of(gs, u'A'), 0x41u);
    EXPECT_EQ(handle_of(gs, 0xFF71), 0xB1u) << "half-width katakana A";
    for (ULONG i = 0; i < gs->cRuns; i++)
        for (USHORT k = 0; k < gs->awcrun[i].cGlyphs; k++) {
            HGLYPH h = gs->awcrun[i].phg[k];
            EXPECT_FALSE((h >= 0x81 && h <= 0x9F) || (h >= 0xE0 && h <= 0xFC)) << "lead byte " << h;
        }
    EngFreeMem(gs);
}

TEST_F(EngineText, GlyphSetRefusals)
{
    struct Case {
        INT cp, first, count;
    } cases[] = {{0, 0, 0}, {0, 200, 57}, {0, -1, 2}, {12345, 0, 256}};
    for (const Case &c : cases) {
        SetLastError(0);
        EXPECT_EQ(EngComputeGlyphSet(c.cp, c.first, c.count), nullptr) << c.cp << " " << c.first << " " << c.count;
        EXPECT_EQ(GetLastError(), DWORD(ERROR_INVALID_PARAMETER));
    }
    plat::fault_fail_alloc_after(1);
    EXPECT_EQ(EngComputeGlyphSet(0, 0, 256), nullptr);
    EXPECT_EQ(GetLastError(), DWORD(ERROR_NOT_ENOUGH_MEMORY));
}

TEST_F(EngineText, EngineMemoryIsZeroFilled)
{
    auto *p = static_cast<BYTE *>(EngAllocMem(0, 64, 0x12345678));
    ASSERT_NE(p, nullptr);
    EXPECT_EQ(std::vector<BYTE>(p, p + 64), std::vector<BYTE>(64, 0));
    EngFreeMem(p);
    EngFreeMem(nullptr);
    EXPECT_EQ(EngAllocMem(FL_ZERO_MEMORY, 0, 0), nullptr);
}

TEST_F(EngineText, UnicodeToAnsiKeepsWholeCharacters)
{
    const std::u16string text = u"Gr\u00FC\u00DFe \u20AC";
    char out[16];
    ULONG written = 99;
    EngUnicodeToMultiByteN(out, sizeof out, &written, text.data(), ULONG(text.size() * 2));
    ASSERT_EQ(written, 7u);
    EXPECT_EQ(std::string(out, written), "Gr\xFC\xDF" "e \x80");
    EngUnicodeToMultiByteN(out, 3, &written, text.data(), ULONG(text.size() * 2));
    EXPECT_EQ(written, 3u);

    ASSERT_TRUE(plat::set_ansi_code_page(932));
    const std::u16string kana = u"A\u3042";
    EngUnicodeToMultiByteN(out, 2, &written, kana.data(), ULONG(kana.size() * 2));
    EXPECT_EQ(written, 1u) << "the two-byte character does not fit in the one byte left";
    EngUnicodeToMultiByteN(out, 3, &written, kana.data(), ULONG(kana.size() * 2));
    ASSERT_EQ(written, 3u);
    EXPECT_EQ(std::string(out, 3), "A\x82\xA0");
}

TEST_F(EngineText, AnsiToUnicode)
{
    WCHAR out[8] = {};
    ULONG written = 0;
    EngMultiByteToUnicodeN(out, sizeof out, &written, "Gr\xFC\x80", 4);
    EXPECT_EQ(written, 8u);
    EXPECT_EQ(std::u16string(out, 4), u"Gr\u00FC\u20AC");
    EngMultiByteToUnicodeN(out, 4, &written, "abc", 3);
    EXPECT_EQ(written, 4u) << "two units fit";
    EngMultiByteToUnicodeN(out, 4, &written, "abc", 0);
    EXPECT_EQ(written, 0u);
}
