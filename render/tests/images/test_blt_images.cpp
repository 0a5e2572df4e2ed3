// Writing images: the operators of an image, the compression chosen per
// image kind, the 350,000-byte blocks, run-length rows with their pad,
// JPEG blocks decoded back within the quality's tolerance, and the
// area-average downscaling against a reference worked out here.
#include "blt_test_support.h"
#include "clr_color_object.h"
#include "cmp_raster.h"
#include "test_pdev_support.h"

#include <plat/memory.h>

#include <gtest/gtest.h>

#include <cmath>
#include <cstdlib>

namespace {

using namespace blt_test;

/* A device context with a colour object that passes colours unchanged, and the image spool. */
class ImageOutput : public ImageTest {
protected:
    void SetUp() override
    {
        ImageTest::SetUp();
        pdev->colorObject = &color;
    }
    void TearDown() override
    {
        pdev->colorObject = nullptr;
        ImageTest::TearDown();
    }

    BOOL emit(Bitmap &bmp, XLATEOBJ *pxlo, RECTL dest, BOOL plainCopy = TRUE)
    {
        const SIZEL size = bmp.so.sizlBitmap;
        const POINTL origin{0, 0};
        const float scale[6] = {1, 0, 0, 1, 0, 0};
        XL_InvalidateState(ctx());
        return BLT_EmitImage(ctx(), &bmp.so, &size, &origin, &dest, pxlo, scale, nullptr, nullptr, plainCopy);
    }

    ColorObject color{};
};

std::vector<std::string> opNames(const pxllist::Listing &l)
{
    std::vector<std::string> out;
    for (const pxllist::Record &r : l.records)
        if (r.kind == pxllist::RecordKind::kOperator)
            out.emplace_back(r.op_name);
    return out;
}

const pxllist::Record *firstOp(const pxllist::Listing &l, uint8_t op)
{
    for (const pxllist::Record &r : l.records)
        if (r.kind == pxllist::RecordKind::kOperator && r.op == op)
            return &r;
    return nullptr;
}

TEST_F(ImageOutput, ARgbImageGoesOutRedGreenBlueWithItsDestination)
{
    Bitmap bmp(2, 2, BMF_24BPP, true);
    bmp.set(0, 0, 0x030201);
    bmp.set(1, 0, 0x060504);
    bmp.set(0, 1, 0x090807);
    bmp.set(1, 1, 0x0C0B0A);
    ASSERT_TRUE(emit(bmp, nullptr, RECTL{100, 200, 140, 260}));
    const pxllist::Listing l = listing();
    EXPECT_EQ(opNames(l), (std::vector<std::string>{"SetCursor", "SetColorSpace", "BeginImage", "ReadImage",
                                                     "EndImage"}));
    const pxllist::Record *begin = firstOp(l, pxllist::op::kBeginImage);
    ASSERT_NE(begin, nullptr);
    EXPECT_EQ(attrOf(*begin, pxllist::attr::kColorMapping), 0);
    EXPECT_EQ(attrOf(*begin, pxllist::attr::kColorDepth), 2);
    EXPECT_EQ(attrOf(*begin, pxllist::attr::kSourceWidth), 2);
    const pxllist::Attribute *dest = pxllist::FindAttribute(*begin, pxllist::attr::kDestinationSize);
    ASSERT_NE(dest, nullptr);
    EXPECT_EQ(dest->values, (std::vector<double>{40, 60}));
    EXPECT_EQ(attrOf(*firstOp(l, pxllist::op::kSetColorSpace), pxllist::attr::kColorSpace), 2);
    EXPECT_EQ(decodedRows(l), (std::vector<BYTE>{3, 2, 1, 6, 5, 4, 9, 8, 7, 12, 11, 10}));
}

TEST_F(ImageOutput, APaletteImageSendsItsPaletteRedGreenBlue)
{
    Bitmap bmp(3, 1, BMF_8BPP, false);
    bmp.set(0, 0, 0);
    bmp.set(1, 0, 1);
    bmp.set(2, 0, 1);
    XLATEOBJ *pxlo = plat::engine_make_xlate_table({0x112233, 0x445566});
    ASSERT_TRUE(emit(bmp, pxlo, RECTL{0, 0, 3, 1}));
    plat::engine_free_xlate(pxlo);
    const pxllist::Listing l = listing();
    const pxllist::Record *space = firstOp(l, pxllist::op::kSetColorSpace);
    ASSERT_NE(space, nullptr);
    const pxllist::Attribute *palette = pxllist::FindAttribute(*space, pxllist::attr::kPaletteData);
    ASSERT_NE(palette, nullptr);
    /* The table's two 0x00RRGGBB entries go out red, green, blue, and the
       8-bit indices take a palette of 256 entries: 762 zero bytes follow
       (the palette stopped after the two entries before). */
    std::vector<double> expected{0x11, 0x22, 0x33, 0x44, 0x55, 0x66};
    expected.resize(768, 0);
    EXPECT_EQ(palette->values, expected);
    const pxllist::Record *begin = firstOp(l, pxllist::op::kBeginImage);
    EXPECT_EQ(attrOf(*begin, pxllist::attr::kColorMapping), 1);
    EXPECT_EQ(attrOf(*begin, pxllist::attr::kColorDepth), 2); /* e8Bit */
    EXPECT_EQ(decodedRows(l), (std::vector<BYTE>{0, 1, 1}));
}

TEST_F(ImageOutput, CompressionFollowsTheImageKind)
{
    const LONG W = 64, H = 48;
    Bitmap photo(W, H, BMF_24BPP, false), flat(W, H, BMF_24BPP, false), text(W, H, BMF_1BPP, false);
    std::srand(7);
    for (LONG y = 0; y < H; y++)
        for (LONG x = 0; x < W; x++) {
            photo.set(x, y, ULONG(std::rand()) & 0xFFFFFF);
            flat.set(x, y, 0x3366CC);
            text.set(x, y, (x / 3 + y / 5) % 4 == 0);
        }
    XLATEOBJ *bw = plat::engine_make_xlate_table({0x000000, 0xFFFFFF});
    struct Case {
        const char *name;
        Bitmap *bmp;
        XLATEOBJ *xlate;
        LONG mode;
        int compress;
    } cases[] = {
        {"photograph", &photo, nullptr, 1, 0}, /* nothing shrinks noise: raw */
        {"flat colour", &flat, nullptr, 1, 3},  /* RGB: delta row */
        {"text-like mask", &text, bw, 1, 3},    /* indexed RGB: delta row */
        {"flat colour, compression off", &flat, nullptr, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        openSpool(c.mode);
        ASSERT_TRUE(emit(*c.bmp, c.xlate, RECTL{0, 0, W, H}));
        const pxllist::Listing l = listing();
        const auto blocks = readImages(l);
        ASSERT_EQ(blocks.size(), 1u);
        EXPECT_EQ(attrOf(*blocks[0], pxllist::attr::kCompressMode), c.compress);
        EXPECT_EQ(blocks[0]->row_count, ULONG(H));
    }
    plat::engine_free_xlate(bw);
}

TEST_F(ImageOutput, LargeImagesAreSplitIntoBlocksOfAtMost350000Bytes)
{
    /* 1,000 pixels: rows of 3,000 bytes; 116 rows a block. */
    const LONG W = 1000, H = 300;
    Bitmap bmp(W, H, BMF_24BPP, false);
    for (LONG y = 0; y < H; y++)
        for (LONG x = 0; x < W; x++)
            bmp.set(x, y, ULONG(x * 3 + y) & 0xFFFFFF);
    for (LONG mode : {0, 1}) {
        SCOPED_TRACE(mode);
        openSpool(mode);
        ASSERT_TRUE(emit(bmp, nullptr, RECTL{0, 0, W, H}));
        const pxllist::Listing l = listing();
        const auto blocks = readImages(l);
        ASSERT_EQ(blocks.size(), 3u);
        const double starts[3] = {0, 116, 232}, heights[3] = {116, 116, 68};
        for (int i = 0; i < 3; i++) {
            EXPECT_EQ(attrOf(*blocks[i], pxllist::attr::kStartLine), starts[i]);
            EXPECT_EQ(attrOf(*blocks[i], pxllist::attr::kBlockHeight), heights[i]);
            EXPECT_EQ(attrOf(*blocks[i], pxllist::attr::kCompressMode), mode ? 3 : 0);
        }
        const std::vector<BYTE> rows = decodedRows(l);
        ASSERT_EQ(rows.size(), size_t(W) * H * 3);
        EXPECT_EQ(rows[(size_t(250) * W + 10) * 3 + 2], BYTE(10 * 3 + 250)) << "blue of pixel (10, 250)";
    }
}

/*
 * A 24-bit source that needs no pass is coded from its own rows: part of a
 * top-down or bottom-up bitmap (rows padded to 4 bytes), raw and delta
 * row over several blocks, decodes to the source's pixels red, green, blue,
 * and the application's bits are left as they were.
 */
TEST_F(ImageOutput, ATwentyFourBitSourceIsSentFromItsOwnRowsUnchanged)
{
    const LONG W = 1003, H = 260; /* rows of 3,012 bytes, 3,009 of them pixels */
    const SIZEL size{1000, 250};
    /* Rows that differ from the row before in a few bytes, so delta row pays. */
    auto red = [](LONG x, LONG) { return ULONG(x * 7) % 256; };
    auto green = [](LONG x, LONG y) { return ULONG(x % 100 == 0 ? y : x / 5) % 256; };
    auto blue = [](LONG x, LONG y) { return ULONG(x + y / 10) % 256; };
    for (bool bottomUp : {false, true})
        for (POINTL origin : {POINTL{0, 0}, POINTL{3, 7}})
            for (LONG mode : {0, 1}) {
                SCOPED_TRACE(testing::Message() << (bottomUp ? "bottom-up" : "top-down") << ", origin " << origin.x
                                                << "," << origin.y << ", mode " << mode);
                Bitmap bmp(W, H, BMF_24BPP, bottomUp);
                for (LONG y = 0; y < H; y++)
                    for (LONG x = 0; x < W; x++)
                        bmp.set(x, y, red(x, y) << 16 | green(x, y) << 8 | blue(x, y));
                const std::vector<BYTE> before = bmp.bits;
                openSpool(mode);
                const RECTL dest{0, 0, size.cx, size.cy};
                const float scale[6] = {1, 0, 0, 1, 0, 0};
                XL_InvalidateState(ctx());
                ASSERT_TRUE(BLT_EmitImage(ctx(), &bmp.so, &size, &origin, &dest, nullptr, scale, nullptr, nullptr,
                                          TRUE));
                const pxllist::Listing l = listing();
                const auto blocks = readImages(l);
                ASSERT_EQ(blocks.size(), 3u) << "116 rows a block";
                EXPECT_EQ(attrOf(*blocks[2], pxllist::attr::kCompressMode), mode ? 3 : 0);
                std::vector<BYTE> expected;
                for (LONG y = 0; y < size.cy; y++)
                    for (LONG x = 0; x < size.cx; x++) {
                        const LONG sx = origin.x + x, sy = origin.y + y;
                        expected.insert(expected.end(), {BYTE(red(sx, sy)), BYTE(green(sx, sy)), BYTE(blue(sx, sy))});
                    }
                EXPECT_EQ(decodedRows(l), expected);
                EXPECT_EQ(bmp.bits, before) << "the source is only read";
            }
}

TEST_F(ImageOutput, RunLengthRowsCarryTheirPadCode)
{
    /* A 3-pixel 24-bit grey-kind row of nine 0x55: a repeat of 9 (F8 55), then the pad of three zeros (FE 00). */
    const BYTE row[9] = {0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55, 0x55};
    ImageBands bands{};
    bands.compression = BLT_BAND_RLE;
    XL_InvalidateState(ctx());
    ASSERT_EQ(XL_SetColorSpace(ctx(), 2), 0);
    ASSERT_EQ(XL_BeginImage(ctx(), XLE_DirectPixel, XLE_8Bit, 3, 1, 3, 1), 0);
    ASSERT_TRUE(BLT_WriteImageBands(ctx(), 9, 1, &bands, row));
    ASSERT_EQ(XL_EndImage(ctx()), 0);
    const pxllist::Listing l = listing();
    const auto blocks = readImages(l);
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(attrOf(*blocks[0], pxllist::attr::kCompressMode), 1);
    EXPECT_EQ(blocks[0]->data, (std::vector<uint8_t>{0xF8, 0x55, 0xFE, 0x00}));
    EXPECT_EQ(decodedRows(l), std::vector<BYTE>(row, row + 9));

    /* A row that does not shrink sends the whole image raw, padded to 12 bytes. */
    const BYTE mixed[9] = {1, 2, 3, 4, 5, 6, 7, 8, 9};
    ImageBands raw{};
    raw.compression = BLT_BAND_RLE;
    ASSERT_TRUE(BLT_WriteImageBands(ctx(), 9, 1, &raw, mixed));
    EXPECT_EQ(raw.compression, BLT_BAND_NONE);
    const std::string bytes = takeBytes();
    EXPECT_NE(bytes.find(std::string("\x01\x02\x03\x04\x05\x06\x07\x08\x09\x00\x00\x00", 12)), std::string::npos);
}

TEST_F(ImageOutput, JpegImagesDecodeWithinTheQualitysTolerance)
{
    openSpool(2);
    const LONG W = 64, H = 64;
    Bitmap bmp(W, H, BMF_24BPP, false);
    for (LONG y = 0; y < H; y++)
        for (LONG x = 0; x < W; x++)
            bmp.set(x, y, ULONG(x * 4) | ULONG(y * 4) << 8 | ULONG(128 + (x - y)) << 16);
    ASSERT_TRUE(emit(bmp, nullptr, RECTL{0, 0, W, H}));
    const pxllist::Listing l = listing();
    const auto blocks = readImages(l);
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(attrOf(*blocks[0], pxllist::attr::kCompressMode), 2);
    EXPECT_EQ(attrOf(*blocks[0], pxllist::attr::kPadBytesMultiple), 3);
    const std::vector<BYTE> rows = decodedRows(l);
    ASSERT_EQ(rows.size(), size_t(W) * H * 3);
    double total = 0;
    int worst = 0;
    for (LONG y = 0; y < H; y++)
        for (LONG x = 0; x < W; x++) {
            const int want[3] = {128 + (x - y), y * 4, x * 4}; /* red, green, blue */
            for (int c = 0; c < 3; c++) {
                const int d = std::abs(int(rows[(size_t(y) * W + x) * 3 + c]) - want[c]);
                total += d;
                worst = std::max(worst, d);
            }
        }
    EXPECT_LT(total / (W * H * 3), 3.0) << "mean error";
    EXPECT_LE(worst, 24);
}

TEST_F(ImageOutput, SmallImagesNeverGoAsJpeg)
{
    openSpool(2);
    Bitmap bmp(31, 11, BMF_24BPP, false); /* 1,023 bytes */
    for (LONG y = 0; y < 11; y++)
        for (LONG x = 0; x < 31; x++)
            bmp.set(x, y, 0x808080);
    ASSERT_TRUE(emit(bmp, nullptr, RECTL{0, 0, 31, 11}));
    const auto l = listing();
    ASSERT_EQ(readImages(l).size(), 1u);
    EXPECT_EQ(attrOf(*readImages(l)[0], pxllist::attr::kCompressMode), 0) << "the spool's JPEG mode compresses nothing else";
}

TEST_F(ImageOutput, AGreyPaletteImageInJpegModeGoesAsDirectGrey)
{
    openSpool(2);
    color.imageFlags = CLR_IMAGE_GREY; /* a monochrome job */
    std::vector<ULONG> table(256);
    for (ULONG i = 0; i < 256; i++)
        table[i] = 0x010101u * i;
    XLATEOBJ *pxlo = plat::engine_make_xlate_table(table);
    Bitmap bmp(32, 32, BMF_8BPP, false);
    for (LONG y = 0; y < 32; y++)
        for (LONG x = 0; x < 32; x++)
            bmp.set(x, y, ULONG(x * 8));
    ASSERT_TRUE(emit(bmp, pxlo, RECTL{0, 0, 32, 32}));
    plat::engine_free_xlate(pxlo);
    const pxllist::Listing l = listing();
    EXPECT_EQ(attrOf(*firstOp(l, pxllist::op::kSetColorSpace), pxllist::attr::kColorSpace), 1);
    EXPECT_EQ(attrOf(*firstOp(l, pxllist::op::kBeginImage), pxllist::attr::kColorMapping), 0) << "direct, not indexed";
    const auto blocks = readImages(l);
    ASSERT_EQ(blocks.size(), 1u);
    EXPECT_EQ(attrOf(*blocks[0], pxllist::attr::kCompressMode), 2);
    const std::vector<BYTE> rows = decodedRows(l);
    ASSERT_EQ(rows.size(), 1024u);
    for (LONG x = 0; x < 32; x++)
        EXPECT_NEAR(rows[size_t(x)], x * 8, 12) << x;
}

TEST_F(ImageOutput, NonPositiveAndOversizedImagesAreRefused)
{
    Bitmap bmp(4, 4, BMF_24BPP, false);
    const POINTL origin{0, 0};
    const float scale[6] = {1, 0, 0, 1, 0, 0};
    const RECTL dest{0, 0, 4, 4};
    for (SIZEL size : {SIZEL{0, 4}, SIZEL{4, -1}, SIZEL{70000, 4}}) {
        EXPECT_FALSE(BLT_EmitImage(ctx(), &bmp.so, &size, &origin, &dest, nullptr, scale, nullptr, nullptr, TRUE));
    }
    const SIZEL size{4, 4};
    const RECTL huge{0, 0, 70000, 4};
    EXPECT_FALSE(BLT_EmitImage(ctx(), &bmp.so, &size, &origin, &huge, nullptr, scale, nullptr, nullptr, TRUE));
    EXPECT_TRUE(BLT_EmitImage(ctx(), nullptr, &size, &origin, &dest, nullptr, scale, nullptr, nullptr, TRUE))
        << "no source: nothing drawn";
    EXPECT_TRUE(takeBytes().empty());
}

/* ---- Downscaling ------------------------------------------------------------------ */

TEST(Downscale, AxisTablesWeighEachSourcePixel)
{
    DownscaleState *s = BLT_NewDownscale();
    ASSERT_TRUE(BLT_BuildAxisTable(s, 3, 2, false));
    EXPECT_EQ(s->horizontal[0].first, 0);
    EXPECT_EQ(s->horizontal[0].firstWeight, 256);
    EXPECT_EQ(s->horizontal[0].last, 1);
    EXPECT_EQ(s->horizontal[0].lastWeight, 128);
    EXPECT_EQ(s->horizontal[1].first, 1);
    EXPECT_EQ(s->horizontal[1].firstWeight, 128);
    EXPECT_EQ(s->horizontal[1].last, 2);
    EXPECT_EQ(s->horizontal[1].lastWeight, 256);
    ASSERT_TRUE(BLT_BuildAxisTable(s, 8, 4, true)); /* 2:1, whole pixels */
    for (int i = 0; i < 4; i++) {
        EXPECT_EQ(s->vertical[i].first, 2 * i);
        EXPECT_EQ(s->vertical[i].firstWeight, 256);
        EXPECT_EQ(s->vertical[i].last, 2 * i + 1);
        EXPECT_EQ(s->vertical[i].lastWeight, 256);
    }
    EXPECT_FALSE(BLT_BuildAxisTable(s, 2, 3, false)) << "never enlarges";
    BLT_FreeDownscale(s);
}

/* The area average of one axis: output pixel i covers source [i S / D, (i + 1) S / D). */
std::vector<double> areaAverage(const std::vector<double> &src, size_t d)
{
    const double s = double(src.size()), step = s / double(d);
    std::vector<double> out(d);
    for (size_t i = 0; i < d; i++) {
        const double a = double(i) * step, b = a + step;
        double sum = 0;
        for (size_t k = size_t(a); k < src.size() && double(k) < b; k++)
            sum += src[k] * (std::min(b, double(k + 1)) - std::max(a, double(k)));
        out[i] = sum / step;
    }
    return out;
}

TEST(Downscale, AreaAverageMatchesTheReference)
{
    struct Case {
        LONG sw, sh, dw, dh;
    } cases[] = {{8, 6, 4, 3}, {12, 12, 4, 6}, {7, 5, 3, 2}, {10, 9, 4, 7}, {29, 3, 3, 2}};
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.sw << "x" << c.sh << " to " << c.dw << "x" << c.dh);
        auto value = [](LONG x, LONG y, int ch) { return double((x * 37 + y * 91 + ch * 50) % 256); };
        DownscaleState *s = BLT_NewDownscale();
        ASSERT_TRUE(BLT_InitDownscale(s, c.sw, c.sh, c.dw, c.dh));
        std::vector<BYTE> out;
        std::vector<BYTE> row(size_t(c.sw) * 3);
        for (LONG y = 0; y < c.sh; y++) {
            for (LONG x = 0; x < c.sw; x++)
                for (int ch = 0; ch < 3; ch++)
                    row[size_t(x) * 3 + ch] = BYTE(value(x, y, ch));
            const LONG n = BLT_DownscaleRows(s, row.data(), ULONG(row.size()), c.sw, 24);
            ASSERT_GE(n, 0);
            if (n > 0) {
                EXPECT_EQ(n, c.dw * 3);
                std::vector<BYTE> got(static_cast<size_t>(n));
                EXPECT_EQ(BLT_GetScaledRow(s, got.data(), ULONG(n)), ULONG(n));
                out.insert(out.end(), got.begin(), got.end());
            }
        }
        ASSERT_EQ(out.size(), size_t(c.dw) * c.dh * 3) << "one output row per destination row";
        for (int ch = 0; ch < 3; ch++) {
            std::vector<std::vector<double>> across(size_t(c.sh));
            for (LONG y = 0; y < c.sh; y++) {
                std::vector<double> src(size_t(c.sw));
                for (LONG x = 0; x < c.sw; x++)
                    src[size_t(x)] = value(x, y, ch);
                across[size_t(y)] = areaAverage(src, size_t(c.dw));
            }
            for (LONG x = 0; x < c.dw; x++) {
                std::vector<double> column(size_t(c.sh));
                for (LONG y = 0; y < c.sh; y++)
                    column[size_t(y)] = across[size_t(y)][size_t(x)];
                const std::vector<double> ref = areaAverage(column, size_t(c.dh));
                for (LONG y = 0; y < c.dh; y++)
                    EXPECT_NEAR(out[(size_t(y) * c.dw + x) * 3 + ch], ref[size_t(y)], 2.0)
                        << "pixel " << x << "," << y << " channel " << ch;
            }
        }
        BLT_FreeDownscale(s);
    }
}

TEST(Downscale, UnusableStatesAndFullBuffersAnswerMinusOne)
{
    const BYTE row[9] = {};
    DownscaleState *s = BLT_NewDownscale();
    EXPECT_EQ(BLT_DownscaleRows(s, row, 9, 3, 24), -1) << "not set up";
    EXPECT_FALSE(BLT_InitDownscale(s, 30, 3, 2, 3)) << "15:1 is past the limit";
    EXPECT_FALSE(BLT_InitDownscale(s, 3, 3, 4, 3));
    ASSERT_TRUE(BLT_InitDownscale(s, 3, 14, 2, 1));
    EXPECT_EQ(BLT_DownscaleRows(s, row, 9, 2, 24), -1) << "a row of another width";
    EXPECT_EQ(BLT_DownscaleRows(s, row, 9, 3, 16), -1);
    for (int i = 0; i < 13; i++)
        EXPECT_EQ(BLT_DownscaleRows(s, row, 9, 3, 24), 0);
    EXPECT_EQ(BLT_DownscaleRows(s, row, 9, 3, 24), 6) << "the fourteenth row finishes the output row";
    EXPECT_EQ(BLT_DownscaleRows(s, row, 9, 3, 24), -1) << "no output row is left";
    BLT_FreeDownscale(s);
    BLT_FreeDownscale(nullptr);
}

class DownscalePlan : public pdev_test::PdevTest {
protected:
    /* Writes a setting in the type it is handed out as (the on switch is stored as a flag, read as a byte). */
    static void put(BYTE *settings, WORD id, int value)
    {
        const IdLayoutItem *item = nullptr;
        ASSERT_EQ(LAYOUT_FindItem(id, nullptr, &item), 0) << id;
        ASSERT_EQ(DMB_SetValueArgs(settings, nullptr, id, item->reportedType ? item->reportedType : item->storedType,
                                   value),
                  DMA_OK)
            << id;
    }
};

TEST_F(DownscalePlan, ReducesToTheTargetResolutionWithinFourteenToOne)
{
    pdev_test::JobDevmode dm;
    put(dm.bytes(), 1302, 1);
    put(dm.bytes(), 350, 300);
    Bitmap bmp(1, 1, BMF_24BPP, false);
    struct Case {
        const char *name;
        LONG sw, sh;
        RECTL dest;
        ULONG format;
        BYTE rop3;
        bool reduce;
        WORD dw, dh;
    } cases[] = {
        {"4,000 pixels one inch wide", 4000, 100, {0, 0, 600, 600}, BMF_24BPP, 0xCC, true, 300, 100},
        {"the same twenty inches wide", 4000, 100, {0, 0, 12000, 600}, BMF_24BPP, 0xCC, false, 4000, 100},
        {"20:1 capped at 14:1", 2000, 50, {0, 0, 200, 600}, BMF_24BPP, 0xCC, true, 143, 50},
        {"mirrored destination", 4000, 100, {600, 600, 0, 0}, BMF_32BPP, 0xCC, true, 300, 100},
        {"palette source", 4000, 100, {0, 0, 600, 600}, BMF_8BPP, 0xCC, false, 0, 0},
        {"not a source copy", 4000, 100, {0, 0, 600, 600}, BMF_24BPP, 0x88, false, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.name);
        bmp.so.iBitmapFormat = c.format;
        DownscaleState *s = BLT_NewDownscale();
        const SIZEL size{c.sw, c.sh};
        EXPECT_EQ(BLT_PlanDownscale(dm.bytes(), s, &bmp.so, &size, &c.dest, 2, c.rop3), c.reduce);
        if (c.dw) {
            EXPECT_EQ(s->dstWidth, c.dw);
            EXPECT_EQ(s->dstHeight, c.dh);
        }
        BLT_FreeDownscale(s);
    }
    put(dm.bytes(), 1302, 0);
    DownscaleState *s = BLT_NewDownscale();
    const SIZEL size{4000, 100};
    const RECTL dest{0, 0, 600, 600};
    bmp.so.iBitmapFormat = BMF_24BPP;
    EXPECT_FALSE(BLT_PlanDownscale(dm.bytes(), s, &bmp.so, &size, &dest, 2, 0xCC)) << "downscaling off";
    BLT_FreeDownscale(s);
}

} // namespace
