// Reading blt sources: every format top-down and bottom-up, with and
// without a translation, at a source point inside the bitmap, written as
// an image and decoded back by the job lister; offsets, mirroring, white
// masks and the bounds of the bitmap.
#include "blt_source.h"
#include "blt_test_support.h"
#include "cmp_raster.h"

#include <plat/memory.h>

#include <gtest/gtest.h>

#include <functional>

namespace {

using namespace blt_test;

/* What a test's translation does, for the reference. */
enum class Xlate { None, Table, Swap, DropFourth };

/* A table translation of 16-bit 5-5-5 values to 0x00RRGGBB. */
std::vector<ULONG> table555()
{
    std::vector<ULONG> t(65536);
    for (ULONG v = 0; v < 65536; v++) {
        const ULONG r = (v >> 10) & 31, g = (v >> 5) & 31, b = v & 31;
        t[v] = (r << 19) | (g << 11) | (b << 3);
    }
    return t;
}

/* The bytes blue, green, red the rules make of raw pixel `v` of a 16-, 24- or 32-bit source. */
void referenceBgr(ULONG bits, Xlate x, ULONG v, const std::vector<ULONG> &table, BYTE out[3])
{
    ULONG c = v;
    if (bits == 16) {
        c = x == Xlate::Table ? table[v] : v;
    } else if (x == Xlate::Swap) {
        c = ((v & 0xFF) << 16) | (v & 0xFF00) | ((v >> 16) & 0xFF);
    }
    out[0] = BYTE(c);
    out[1] = BYTE(c >> 8);
    out[2] = BYTE(c >> 16);
}

/* A pixel value that differs in every channel from its neighbours (so a swap or a shift shows). */
ULONG pattern(ULONG bits, LONG x, LONG y)
{
    const ULONG n = ULONG(x * 7 + y * 13 + 1);
    switch (bits) {
    case 1: return (x + y * 3) % 3 == 0;
    case 4: return n % 16;
    case 8: return (n * 37) % 256;
    case 16: return (n * 2654435761u) & 0x7FFF;
    case 24: return ((n * 40503u) & 0xFF) | (((n * 97u + 11) & 0xFF) << 8) | (((n * 59u + 200) & 0xFF) << 16);
    default: return ((n * 40503u) & 0xFF) | (((n * 97u + 11) & 0xFF) << 8) | (((n * 59u + 200) & 0xFF) << 16) |
                    (((n * 31u) & 0xFF) << 24);
    }
}

class SourceReading : public ImageTest {
protected:
    /*
     * Reads `size` at `origin` of the bitmap, writes it as an image the way
     * the image writer does (RGB rows swapped to red, green, blue) and
     * answers the decoded rows.
     */
    std::vector<BYTE> readAndDecode(Bitmap &bmp, SIZEL size, POINTL origin, XLATEOBJ *pxlo, ULONG mirror = 0,
                                    LONG kind = 0)
    {
        HANDLE block = nullptr;
        BYTE *rows = BLT_ReadSourceBits(&bmp.so, &size, &origin, pxlo, kind, &block, nullptr, mirror);
        EXPECT_NE(rows, nullptr);
        if (!rows)
            return {};
        const ULONG out = kind == 1 ? 1 : (bmp.bpp <= 8 ? bmp.bpp : 24);
        const ULONG rowBytes = (out * ULONG(size.cx) + 7) / 8;
        ImageBands bands{};
        XL_InvalidateState(ctx()); /* each listing starts a stream of its own */
        bool ok;
        if (out == 24) {
            EXPECT_EQ(CMP_SwapRgb(rows, ULONG(size.cx), ULONG(size.cy)), 0);
            bands.compression = BLT_BAND_DELTAROW;
            ok = XL_SetColorSpace(ctx(), 2) == 0 &&
                 XL_BeginImage(ctx(), XLE_DirectPixel, XLE_8Bit, WORD(size.cx), WORD(size.cy), WORD(size.cx),
                               WORD(size.cy)) == 0;
        } else {
            const BYTE palette[3] = {0, 0, 0};
            bands.compression = BLT_BAND_RLE;
            const BYTE depth = out == 1 ? XLE_1Bit : out == 4 ? XLE_4Bit : XLE_8Bit;
            ok = XL_SetColorSpaceIndexed(ctx(), 1, XLE_8Bit, depth, 1, palette) == 0 &&
                 XL_BeginImage(ctx(), XLE_IndexedPixel, depth, WORD(size.cx), WORD(size.cy), WORD(size.cx),
                               WORD(size.cy)) == 0;
        }
        ok = ok && BLT_WriteImageBands(ctx(), rowBytes, ULONG(size.cy), &bands, rows) && XL_EndImage(ctx()) == 0;
        EXPECT_TRUE(ok);
        GlobalUnlock(block);
        GlobalFree(block);
        return decodedRows(listing());
    }
};

TEST_F(SourceReading, EveryFormatDecodesToTheSourcePixels)
{
    const std::vector<ULONG> t555 = table555();
    std::vector<ULONG> t16(16), t256(256);
    for (ULONG i = 0; i < 256; i++)
        t256[i] = 0x010203u * i;
    for (ULONG i = 0; i < 16; i++)
        t16[i] = 0x111111u * i;
    const LONG W = 13, H = 5;
    const SIZEL size{9, 3};
    struct Case {
        ULONG format;
        Xlate xlate;
    } cases[] = {
        {BMF_1BPP, Xlate::None},  {BMF_1BPP, Xlate::Table}, {BMF_4BPP, Xlate::None},    {BMF_4BPP, Xlate::Table},
        {BMF_8BPP, Xlate::None},  {BMF_8BPP, Xlate::Table}, {BMF_16BPP, Xlate::None},   {BMF_16BPP, Xlate::Table},
        {BMF_24BPP, Xlate::None}, {BMF_24BPP, Xlate::Swap}, {BMF_32BPP, Xlate::None},   {BMF_32BPP, Xlate::DropFourth},
        {BMF_32BPP, Xlate::Swap},
    };
    for (const Case &c : cases) {
        for (bool bottomUp : {false, true}) {
            for (POINTL origin : {POINTL{0, 0}, POINTL{3, 1}}) {
                const ULONG bits = bitsOf(c.format);
                SCOPED_TRACE(testing::Message() << bits << " bits, translation " << int(c.xlate)
                                                << (bottomUp ? ", bottom-up" : ", top-down") << ", origin "
                                                << origin.x << "," << origin.y);
                Bitmap bmp(W, H, c.format, bottomUp);
                for (LONG y = 0; y < H; y++)
                    for (LONG x = 0; x < W; x++)
                        bmp.set(x, y, pattern(bits, x, y));
                XLATEOBJ *pxlo = nullptr;
                if (c.xlate == Xlate::Table)
                    pxlo = plat::engine_make_xlate_table(bits == 16 ? t555 : bits == 4 ? t16 : bits == 1 ? std::vector<ULONG>{0, 0xFFFFFF} : t256);
                else if (c.xlate == Xlate::Swap)
                    pxlo = plat::engine_make_xlate_rgb(PAL_BGR);
                else if (c.xlate == Xlate::DropFourth)
                    pxlo = plat::engine_make_xlate_rgb(PAL_RGB);

                std::vector<BYTE> expected;
                for (LONG y = 0; y < size.cy; y++) {
                    std::vector<BYTE> row;
                    ULONG acc = 0, n = 0;
                    for (LONG x = 0; x < size.cx; x++) {
                        const ULONG v = pattern(bits, origin.x + x, origin.y + y);
                        if (bits <= 8) { /* indices, packed most significant first */
                            acc = (acc << bits) | v;
                            n += bits;
                            if (n == 8) {
                                row.push_back(BYTE(acc));
                                acc = n = 0;
                            }
                        } else { /* the printer gets red, green, blue */
                            BYTE bgr[3];
                            referenceBgr(bits, c.xlate, v, t555, bgr);
                            row.insert(row.end(), {bgr[2], bgr[1], bgr[0]});
                        }
                    }
                    if (n)
                        row.push_back(BYTE(acc << (8 - n)));
                    expected.insert(expected.end(), row.begin(), row.end());
                }
                EXPECT_EQ(readAndDecode(bmp, size, origin, pxlo), expected);
                plat::engine_free_xlate(pxlo);
            }
        }
    }
}

TEST_F(SourceReading, TwentyFourBitPixelsKeepTheirChannels)
{
    /* One pixel blue 0x10, green 0x20, red 0x30 in memory: the printer must get 30 20 10. */
    Bitmap bmp(1, 1, BMF_24BPP, false);
    bmp.set(0, 0, 0x302010);
    EXPECT_EQ(readAndDecode(bmp, SIZEL{1, 1}, POINTL{0, 0}, nullptr), (std::vector<BYTE>{0x30, 0x20, 0x10}));
}

TEST_F(SourceReading, TranslationKindsFromTheProbes)
{
    XLATEOBJ *swap = plat::engine_make_xlate_rgb(PAL_BGR);
    XLATEOBJ *drop = plat::engine_make_xlate_rgb(PAL_RGB);
    XLATEOBJ *fields = plat::engine_make_xlate_rgb(PAL_BITFIELDS, 0x7C00, 0x03E0, 0x001F);
    EXPECT_EQ(BLT_XlateKind(nullptr, BMF_8BPP), BLT_XLATE_PALETTE);
    EXPECT_EQ(BLT_XlateKind(nullptr, BMF_16BPP), BLT_XLATE_EACH);
    EXPECT_EQ(BLT_XlateKind(nullptr, BMF_24BPP), BLT_XLATE_COPY);
    EXPECT_EQ(BLT_XlateKind(nullptr, BMF_32BPP), BLT_XLATE_EACH);
    EXPECT_EQ(BLT_XlateKind(swap, BMF_24BPP), BLT_XLATE_SWAP);
    EXPECT_EQ(BLT_XlateKind(drop, BMF_32BPP), BLT_XLATE_DROP_FOURTH);
    EXPECT_EQ(BLT_XlateKind(drop, BMF_24BPP), BLT_XLATE_EACH);
    EXPECT_EQ(BLT_XlateKind(fields, BMF_32BPP), BLT_XLATE_EACH);
    EXPECT_EQ(BLT_XlateKind(nullptr, BMF_JPEG), -1);
    plat::engine_free_xlate(swap);
    plat::engine_free_xlate(drop);
    plat::engine_free_xlate(fields);
}

TEST_F(SourceReading, MirroredDestinationsReverseRowsAndColumns)
{
    struct Case {
        ULONG format;
        LONG width;
    } cases[] = {{BMF_1BPP, 11}, {BMF_4BPP, 5}, {BMF_8BPP, 4}, {BMF_24BPP, 3}};
    for (const Case &c : cases) {
        const ULONG bits = bitsOf(c.format);
        SCOPED_TRACE(bits);
        Bitmap bmp(c.width, 2, c.format, false);
        for (LONG y = 0; y < 2; y++)
            for (LONG x = 0; x < c.width; x++)
                bmp.set(x, y, pattern(bits, x, y));
        auto rowsOf = [&](bool flipX, bool flipY) {
            std::vector<BYTE> out;
            for (LONG y = 0; y < 2; y++) {
                std::vector<BYTE> row((ULONG(c.width) * (bits == 24 ? 24 : bits) + 7) / 8);
                for (LONG x = 0; x < c.width; x++) {
                    const ULONG v = pattern(bits, flipX ? c.width - 1 - x : x, flipY ? 1 - y : y);
                    if (bits == 24) {
                        row[size_t(x) * 3] = BYTE(v >> 16), row[size_t(x) * 3 + 1] = BYTE(v >> 8),
                        row[size_t(x) * 3 + 2] = BYTE(v);
                    } else {
                        const ULONG at = ULONG(x) * bits;
                        row[at / 8] = BYTE(row[at / 8] | (v << (8 - bits - at % 8)));
                    }
                }
                out.insert(out.end(), row.begin(), row.end());
            }
            return out;
        };
        XLATEOBJ *pxlo = nullptr;
        EXPECT_EQ(readAndDecode(bmp, SIZEL{c.width, 2}, POINTL{0, 0}, pxlo, 1), rowsOf(true, false));
        EXPECT_EQ(readAndDecode(bmp, SIZEL{c.width, 2}, POINTL{0, 0}, pxlo, 2), rowsOf(false, true));
        EXPECT_EQ(readAndDecode(bmp, SIZEL{c.width, 2}, POINTL{0, 0}, pxlo, 3), rowsOf(true, true));
    }
}

TEST_F(SourceReading, WhiteMasksMarkWhitePixels)
{
    /* An 8-bit source whose palette has white at 2 and a 24-bit source with white pixels. */
    std::vector<ULONG> table = {0x000000, 0x123456, 0xFFFFFF};
    XLATEOBJ *pxlo = plat::engine_make_xlate_table(table);
    Bitmap b8(10, 1, BMF_8BPP, false);
    const ULONG idx[10] = {2, 0, 2, 2, 1, 0, 0, 2, 2, 7};
    for (LONG x = 0; x < 10; x++)
        b8.set(x, 0, idx[x]);
    /* 1 0 1 1 0 0 0 1 | 1 0 (index 7 lies past the table: not white) */
    EXPECT_EQ(readAndDecode(b8, SIZEL{10, 1}, POINTL{0, 0}, pxlo, 0, 1), (std::vector<BYTE>{0xB1, 0x80}));
    plat::engine_free_xlate(pxlo);

    Bitmap b24(3, 1, BMF_24BPP, false);
    b24.set(0, 0, 0xFFFFFF);
    b24.set(1, 0, 0xFFFFFE);
    b24.set(2, 0, 0xFFFFFF);
    EXPECT_EQ(readAndDecode(b24, SIZEL{3, 1}, POINTL{0, 0}, nullptr, 0, 1), (std::vector<BYTE>{0xA0}));
}

TEST_F(SourceReading, ReadsOutsideTheBitmapAreRefused)
{
    Bitmap bmp(8, 4, BMF_24BPP, true);
    struct Case {
        const char *name;
        SIZEL size;
        POINTL origin;
        std::function<void(SURFOBJ &)> spoil;
    } cases[] = {
        {"wider than the bitmap", {9, 1}, {0, 0}, [](SURFOBJ &) {}},
        {"below the last row", {8, 2}, {0, 3}, [](SURFOBJ &) {}},
        {"negative point", {2, 2}, {-1, 0}, [](SURFOBJ &) {}},
        {"bits shorter than the rows", {8, 4}, {0, 0}, [](SURFOBJ &s) { s.cjBits -= 1; }},
        {"scan0 outside the bits", {8, 4}, {0, 0},
         [](SURFOBJ &s) { s.pvScan0 = static_cast<BYTE *>(s.pvScan0) + 32; }},
        {"no bits", {1, 1}, {0, 0}, [](SURFOBJ &s) { s.pvBits = nullptr; }},
        {"empty size", {0, 1}, {0, 0}, [](SURFOBJ &) {}},
        {"taller than a stream image", {1, 70000}, {0, 0}, [](SURFOBJ &) {}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        SURFOBJ so = bmp.so;
        c.spoil(so);
        HANDLE block = reinterpret_cast<HANDLE>(1);
        EXPECT_EQ(BLT_ReadSourceBits(&so, &c.size, &c.origin, nullptr, 0, &block, nullptr, 0), nullptr);
        EXPECT_EQ(block, nullptr);
    }
}

TEST_F(SourceReading, PalettesComeThroughTheTranslation)
{
    BYTE palette[768] = {};
    std::vector<ULONG> table = {0x102030, 0xFFFFFF, 0x000000};
    XLATEOBJ *pxlo = plat::engine_make_xlate_table(table);
    EXPECT_EQ(BLT_BuildPalette(pxlo, 4, palette), 3u) << "only the table's entries";
    EXPECT_EQ(std::vector<BYTE>(palette, palette + 9), (std::vector<BYTE>{0x30, 0x20, 0x10, 0xFF, 0xFF, 0xFF, 0, 0, 0}));
    plat::engine_free_xlate(pxlo);
    EXPECT_EQ(BLT_BuildPalette(nullptr, 1, palette), 2u) << "no table: each index through the translation";
    EXPECT_EQ(std::vector<BYTE>(palette, palette + 6), (std::vector<BYTE>{0, 0, 0, 1, 0, 0}));
    EXPECT_EQ(BLT_BuildPalette(nullptr, 16, palette), 0u);
}

} // namespace
