/*
 * Tests of image and raster-pattern blocks: every compression decoded into
 * rows (no compression, run-length, delta row with its seed carried across
 * blocks, JPEG), and the checks of row counts and lengths.
 */
#include <gtest/gtest.h>

#include <cstdio>

#include <jpeglib.h>

#include "job_bytes.h"

namespace pxltest {
namespace {

// 26 bytes: BeginImage (ColorMapping, ColorDepth, SourceWidth, SourceHeight,
// DestinationSize = source size).
Bytes BeginImage(int mapping, int depth, int w, int h) {
  return B({0xC0, mapping, 0xF8, 0x64, 0xC0, depth, 0xF8, 0x62, 0xC1, w & 0xFF, w >> 8, 0xF8, 0x6C,
            0xC1, h & 0xFF, h >> 8, 0xF8, 0x6B, 0xD1, w & 0xFF, w >> 8, h & 0xFF, h >> 8, 0xF8, 0x67,
            0xB0});
}

// 15 bytes (19 with a pad multiple): ReadImage (StartLine, BlockHeight,
// CompressMode[, PadBytesMultiple]).
Bytes ReadImage(int start, int height, int compress, int pad = -1) {
  Bytes out = B({0xC1, start & 0xFF, start >> 8, 0xF8, 0x6D, 0xC1, height & 0xFF, height >> 8,
                 0xF8, 0x63, 0xC0, compress, 0xF8, 0x65});
  if (pad >= 0) out = out + B({0xC0, pad, 0xF8, 0x6E});
  return out + B({0xB1});
}

Bytes Data(const Bytes &bytes) {
  if (bytes.size() < 256) return B({0xFB, static_cast<int>(bytes.size())}) + bytes;
  const size_t n = bytes.size();
  return B({0xFA, static_cast<int>(n & 0xFF), static_cast<int>((n >> 8) & 0xFF),
            static_cast<int>((n >> 16) & 0xFF), static_cast<int>(n >> 24)}) + bytes;
}

// All decoded rows of the listing's ReadImage records, one after another.
Bytes AllRows(const pxllist::Listing &listing) {
  Bytes out;
  for (const pxllist::Record &r : listing.records) {
    if (r.kind == pxllist::RecordKind::kOperator && r.op == 0xB1) out = out + r.rows;
  }
  return out;
}

TEST(Images, UncompressedRowsArePaddedToFourBytes) {
  // 8-bit grey, 3 x 2: rows of 3 bytes padded to 4.
  const Bytes job = InPage() + ColorSpace(1) + BeginImage(0, 2, 3, 2) + ReadImage(0, 2, 0) +
                    Data(B({1, 2, 3, 0, 4, 5, 6, 0})) + B({0xB2}) + EndAll();
  const pxllist::Listing listing = List(job);
  ASSERT_TRUE(listing.ok) << pxllist::FormatError(listing.error);
  const pxllist::Record *r = FindOp(listing, 0xB1);
  EXPECT_EQ(r->row_length, 3u);
  EXPECT_EQ(r->row_count, 2u);
  EXPECT_EQ(r->rows, B({1, 2, 3, 4, 5, 6}));
}

TEST(Images, PadBytesMultipleOfOne) {
  // 24-bit RGB, 1 x 2, PadBytesMultiple 1: rows of 3 bytes, no pad.
  const Bytes job = InPage() + ColorSpace(2) + BeginImage(0, 2, 1, 2) + ReadImage(0, 2, 0, 1) +
                    Data(B({10, 20, 30, 40, 50, 60})) + B({0xB2}) + EndAll();
  const pxllist::Listing listing = List(job);
  ASSERT_TRUE(listing.ok) << pxllist::FormatError(listing.error);
  EXPECT_EQ(AllRows(listing), B({10, 20, 30, 40, 50, 60}));
}

TEST(Images, IndexedOneBitWithTwoEntryPalette) {
  // Grey palette of 2 entries for a 1-bit image of 10 x 1: a row of 2 bytes
  // padded to 4.
  const Bytes palette = B({0xC0, 0x01, 0xF8, 0x03, 0xC0, 0x02, 0xF8, 0x02, 0xC8, 0xC0, 0x02}) +
                        B({0x00, 0xFF}) + B({0xF8, 0x06, 0x6A});
  const Bytes job = InPage() + palette + BeginImage(1, 0, 10, 1) + ReadImage(0, 1, 0) +
                    Data(B({0xA5, 0xC0, 0, 0})) + B({0xB2}) + EndAll();
  const pxllist::Listing listing = List(job);
  ASSERT_TRUE(listing.ok) << pxllist::FormatError(listing.error);
  EXPECT_EQ(AllRows(listing), B({0xA5, 0xC0}));
}

TEST(Images, RunLengthDecodesPaddedRows) {
  // 8-bit grey, 5 x 2; each row encoded with its 3 pad bytes.
  // Row 0: FE 01 (01 x3), 01 02 03 (literal of 2), FE 00 (pad); a no-op 80.
  // Row 1: FC 09 (09 x5), FE 00 (pad).
  const Bytes rle = B({0xFE, 0x01, 0x01, 0x02, 0x03, 0x80, 0xFE, 0x00, 0xFC, 0x09, 0xFE, 0x00});
  const Bytes job = InPage() + ColorSpace(1) + BeginImage(0, 2, 5, 2) + ReadImage(0, 2, 1) +
                    Data(rle) + B({0xB2}) + EndAll();
  const pxllist::Listing listing = List(job);
  ASSERT_TRUE(listing.ok) << pxllist::FormatError(listing.error);
  EXPECT_EQ(AllRows(listing), B({1, 1, 1, 2, 3, 9, 9, 9, 9, 9}));
}

TEST(Images, DeltaRowSeedCarriesAcrossBlocks) {
  // 24-bit RGB, 2 x 3 (rows of 6 bytes, no pad), in two blocks.
  // Row 0: count 7, command A0 (6 bytes at offset 0).
  // Row 1: count 2, command 04 (1 byte at offset 4) = 55.
  // Row 2 (second block): count 0, the seed row unchanged.
  const Bytes block1 = B({0x07, 0x00, 0xA0, 0x10, 0x20, 0x30, 0x40, 0x50, 0x60, 0x02, 0x00, 0x04, 0x55});
  const Bytes job = InPage() + ColorSpace(2) + BeginImage(0, 2, 2, 3) + ReadImage(0, 2, 3) +
                    Data(block1) + ReadImage(2, 1, 3) + Data(B({0x00, 0x00})) + B({0xB2}) + EndAll();
  const pxllist::Listing listing = List(job);
  ASSERT_TRUE(listing.ok) << pxllist::FormatError(listing.error);
  EXPECT_EQ(AllRows(listing), B({0x10, 0x20, 0x30, 0x40, 0x50, 0x60,  //
                                 0x10, 0x20, 0x30, 0x40, 0x55, 0x60,  //
                                 0x10, 0x20, 0x30, 0x40, 0x55, 0x60}));
}

TEST(Images, DeltaRowLongOffsetsAndEightByteRuns) {
  // 8-bit grey, 300 x 1.  Commands: 00 11 (1 byte at 0); 1F FF 03 77 (1 byte
  // 31 + 255 + 3 = 289 bytes further, at 290); E0 and 8 bytes (at 291..298).
  const Bytes row = B({0x0F, 0x00, 0x00, 0x11, 0x1F, 0xFF, 0x03, 0x77, 0xE0, 1, 2, 3, 4, 5, 6, 7, 8});
  const Bytes job = InPage() + ColorSpace(1) + BeginImage(0, 2, 300, 1) + ReadImage(0, 1, 3) +
                    Data(row) + B({0xB2}) + EndAll();
  const pxllist::Listing listing = List(job);
  ASSERT_TRUE(listing.ok) << pxllist::FormatError(listing.error);
  Bytes expected(300, 0);
  expected[0] = 0x11;
  expected[290] = 0x77;
  for (int i = 0; i < 8; ++i) expected[291 + i] = static_cast<uint8_t>(i + 1);
  EXPECT_EQ(AllRows(listing), expected);
}

// A baseline JPEG of a flat image from libjpeg's compressor.
Bytes FlatJpeg(int width, int height, int components, const uint8_t *pixel) {
  jpeg_compress_struct cinfo;
  jpeg_error_mgr err;
  cinfo.err = jpeg_std_error(&err);
  jpeg_create_compress(&cinfo);
  unsigned char *out = nullptr;
  unsigned long size = 0;
  jpeg_mem_dest(&cinfo, &out, &size);
  cinfo.image_width = width;
  cinfo.image_height = height;
  cinfo.input_components = components;
  cinfo.in_color_space = components == 1 ? JCS_GRAYSCALE : JCS_RGB;
  jpeg_set_defaults(&cinfo);
  jpeg_set_quality(&cinfo, 90, TRUE);
  jpeg_start_compress(&cinfo, TRUE);
  Bytes row(width * components);
  for (int x = 0; x < width; ++x) {
    for (int c = 0; c < components; ++c) row[x * components + c] = pixel[c];
  }
  while (cinfo.next_scanline < cinfo.image_height) {
    JSAMPROW p = row.data();
    jpeg_write_scanlines(&cinfo, &p, 1);
  }
  jpeg_finish_compress(&cinfo);
  jpeg_destroy_compress(&cinfo);
  Bytes jpeg(out, out + size);
  free(out);
  return jpeg;
}

void ExpectNear(const Bytes &rows, size_t count, const uint8_t *pixel, int components) {
  ASSERT_EQ(rows.size(), count);
  for (size_t i = 0; i < rows.size(); ++i)
    ASSERT_NEAR(rows[i], pixel[i % components], 2) << "byte " << i;
}

TEST(Images, JpegGrey) {
  const uint8_t grey[1] = {100};
  const Bytes jpeg = FlatJpeg(16, 8, 1, grey);
  const Bytes job = InPage() + ColorSpace(1) + BeginImage(0, 2, 16, 8) + ReadImage(0, 8, 2, 3) +
                    Data(jpeg) + B({0xB2}) + EndAll();
  const pxllist::Listing listing = List(job);
  ASSERT_TRUE(listing.ok) << pxllist::FormatError(listing.error);
  EXPECT_EQ(FindOp(listing, 0xB1)->row_length, 16u);
  ExpectNear(AllRows(listing), 16 * 8, grey, 1);
}

TEST(Images, JpegSrgbOfThreeComponents) {
  const uint8_t colour[3] = {200, 100, 50};
  const Bytes jpeg = FlatJpeg(8, 8, 3, colour);
  const Bytes job = InPage() + ColorSpace(6) + BeginImage(0, 2, 8, 8) + ReadImage(0, 8, 2) +
                    Data(jpeg) + B({0xB2}) + EndAll();
  const pxllist::Listing listing = List(job);
  ASSERT_TRUE(listing.ok) << pxllist::FormatError(listing.error);
  ExpectNear(AllRows(listing), 8 * 8 * 3, colour, 3);
}

TEST(Images, RasterPatternDefinedThenSelected) {
  // BeginRastPattern: direct 8-bit, 2 x 2, PatternDefineID 5, ePagePattern;
  // ReadRastPattern raw; EndRastPattern; SetBrushSource PatternSelectID 5.
  const Bytes begin = BeginImage(0, 2, 2, 2);
  Bytes pattern(begin.begin(), begin.end() - 1);  // the attributes, without the BeginImage byte
  pattern = pattern + B({0xC3, 0x05, 0x00, 0xF8, 0x69, 0xC0, 0x01, 0xF8, 0x68, 0xB3});
  Bytes read = ReadImage(0, 2, 0);
  read.back() = 0xB4;
  const Bytes job = InPage() + ColorSpace(1) + pattern + read + Data(B({1, 2, 0, 0, 3, 4, 0, 0})) +
                    B({0xB5, 0xC3, 0x05, 0x00, 0xF8, 0x08, 0x63}) + EndAll();
  const pxllist::Listing listing = List(job);
  ASSERT_TRUE(listing.ok) << pxllist::FormatError(listing.error);
  EXPECT_EQ(FindOp(listing, 0xB4)->rows, B({1, 2, 3, 4}));
}

TEST(Images, KeepRowsOffCountsRowsOnly) {
  pxllist::Options options;
  options.keep_rows = false;
  const Bytes job = InPage() + ColorSpace(1) + BeginImage(0, 2, 3, 2) + ReadImage(0, 2, 0) +
                    Data(B({1, 2, 3, 0, 4, 5, 6, 0})) + B({0xB2}) + EndAll();
  const pxllist::Listing listing = List(job, options);
  ASSERT_TRUE(listing.ok) << pxllist::FormatError(listing.error);
  const pxllist::Record *r = FindOp(listing, 0xB1);
  EXPECT_EQ(r->row_count, 2u);
  EXPECT_TRUE(r->rows.empty());
}

// Broken image streams.  Offsets: InPage() is 55 bytes, ColorSpace 5, so
// BeginImage starts at 60 and the first ReadImage at 86.
struct ImageErrorCase {
  const char *what;
  Bytes tail;  // after InPage() + ColorSpace(1) + BeginImage(0, 2, 3, 2)
  uint64_t offset;
  const char *message;
};

class ImageErrorTest : public ::testing::TestWithParam<ImageErrorCase> {};

TEST_P(ImageErrorTest, Refused) {
  const ImageErrorCase &c = GetParam();
  const pxllist::Listing listing = List(InPage() + ColorSpace(1) + BeginImage(0, 2, 3, 2) + c.tail);
  EXPECT_TRUE(RefusedAt(listing, c.offset, c.message));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, ImageErrorTest,
    ::testing::Values(
        ImageErrorCase{"raw short by one", ReadImage(0, 2, 0) + Data(B({1, 2, 3, 0, 4, 5, 6})), 101,
                       "holds 7 bytes, 2 rows of 4 padded bytes"},
        ImageErrorCase{"raw long by one", ReadImage(0, 2, 0) + Data(Counting(9)), 101, "holds 9 bytes"},
        ImageErrorCase{"start line skips", ReadImage(1, 1, 0) + Data(Counting(4)), 86,
                       "StartLine 1 where 0 rows were read"},
        ImageErrorCase{"beyond the source height", ReadImage(0, 3, 0) + Data(Counting(12)), 91,
                       "goes beyond SourceHeight 2"},
        ImageErrorCase{"end before all rows", ReadImage(0, 1, 0) + Data(Counting(4)) + B({0xB2}), 107,
                       "EndImage after 1 of 2 rows"},
        ImageErrorCase{"run-length short", ReadImage(0, 2, 1) + Data(B({0xFB, 0x07})), 101,
                       "ends after 1 of 2 rows"},
        ImageErrorCase{"run-length long", ReadImage(0, 2, 1) + Data(B({0xF8, 0x07, 0x00, 0x01})), 101,
                       "goes beyond the block's 2 rows"},
        ImageErrorCase{"run-length literal cut", ReadImage(0, 1, 1) + Data(B({0x03, 1, 2})), 101,
                       "runs past the block's data"},
        ImageErrorCase{"delta row past the row end", ReadImage(0, 1, 3) + Data(B({0x03, 0x00, 0x22, 1, 2, 3})),
                       101, "writes past the end of row 0"},
        ImageErrorCase{"delta row data left over", ReadImage(0, 1, 3) + Data(B({0x00, 0x00, 0x00})), 101,
                       "1 bytes more than the block's 1 rows"},
        ImageErrorCase{"delta row count cut", ReadImage(0, 2, 3) + Data(B({0x00, 0x00, 0x05, 0x00, 0x01})),
                       101, "runs past the block's data"},
        ImageErrorCase{"jpeg not readable", ReadImage(0, 2, 2) + Data(B({0xFF, 0xD8, 0xFF})), 101,
                       "JPEG data not readable"},
        ImageErrorCase{"pad multiple of 0", ReadImage(0, 2, 0, 0) + Data(Counting(8)), 100,
                       "PadBytesMultiple of 0"},
        ImageErrorCase{"other operator inside", B({0x85}), 86, "NewPath inside an image"},
        ImageErrorCase{"read without data", ReadImage(0, 2, 0) + B({0xB2}), 101,
                       "must be followed by embedded data"}),
    CaseName());

TEST(Images, JpegOfTheWrongSize) {
  const uint8_t grey[1] = {10};
  const Bytes jpeg = FlatJpeg(16, 4, 1, grey);
  const Bytes job = InPage() + ColorSpace(1) + BeginImage(0, 2, 16, 8) + ReadImage(0, 8, 2) + Data(jpeg);
  const pxllist::Listing listing = List(job);
  EXPECT_TRUE(RefusedAt(listing, 101u, "JPEG of 16x4 pixels with 1 components where 16x8"));
}

TEST(Images, ColourSpaceFollowsTheGraphicsStateStack) {
  // PushGS, SetColorSpace eRGB, PopGS: the page has no colour space again.
  const Bytes job = InPage() + B({0x61}) + ColorSpace(2) + B({0x60}) + BeginImage(0, 2, 1, 1);
  const pxllist::Listing listing = List(job);
  EXPECT_TRUE(RefusedAt(listing, 55u + 1 + 5 + 1 + 25, "BeginImage before any SetColorSpace on this page"));
}

TEST(Images, ColourSpaceStaysWithItsPage) {
  // SetColorSpace on the first page does not carry to the second.
  const Bytes job = InPage() + ColorSpace(1) + B({0x44}) + Page() + BeginImage(0, 2, 1, 1);
  const pxllist::Listing listing = List(job);
  EXPECT_TRUE(RefusedAt(listing, 55u + 5 + 1 + 9 + 25, "BeginImage before any SetColorSpace"));
}

TEST(Images, IndexedPixelsNeedAPalette) {
  const Bytes job = InPage() + ColorSpace(2) + BeginImage(1, 2, 1, 1);
  const pxllist::Listing listing = List(job);
  EXPECT_TRUE(RefusedAt(listing, 55u + 5 + 25, "without a palette"));
}

TEST(Images, JpegNeedsDirectEightBitPixels) {
  // 4-bit direct grey cannot be JPEG data.
  const uint8_t grey[1] = {10};
  const Bytes job = InPage() + ColorSpace(1) + BeginImage(0, 1, 8, 8) + ReadImage(0, 8, 2) +
                    Data(FlatJpeg(8, 8, 1, grey));
  const pxllist::Listing listing = List(job);
  EXPECT_TRUE(RefusedAt(listing, 101, "JPEG compression needs 8-bit direct pixels"));
}

TEST(Images, DecodedBytesAreBounded) {
  pxllist::Options options;
  options.max_decoded_bytes = 7;  // the block decodes to 2 x 4 bytes
  const Bytes job = InPage() + ColorSpace(1) + BeginImage(0, 2, 3, 2) + ReadImage(0, 2, 0) +
                    Data(Counting(8));
  const pxllist::Listing listing = List(job, options);
  EXPECT_TRUE(RefusedAt(listing, 101u, "exceeds the lister's limit"));
}

TEST(Images, UndefinedPatternIsRefused) {
  const Bytes job = InPage() + B({0xC3, 0x06, 0x00, 0xF8, 0x08, 0x63});
  const pxllist::Listing listing = List(job);
  EXPECT_TRUE(RefusedAt(listing, 55u, "PatternSelectID 6 names no defined pattern"));
}

}  // namespace
}  // namespace pxltest
