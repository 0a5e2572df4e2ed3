/*
 * Tests of the structure checks: what the driver writes on purpose is
 * accepted (comments between pages, a graphics-state stack left pushed at
 * EndPage, palettes padded by length, user streams whose data begins with its
 * own stream header, EndStream, form files), and hand-made broken streams are
 * refused with the offset of the byte where the fault shows.
 */
#include <gtest/gtest.h>

#include "job_bytes.h"

namespace pxltest {
namespace {

// 6 + n bytes: Comment with CommentData "text" (n < 256).
Bytes Comment(std::string_view text) {
  return B({0xC8, 0xC0, static_cast<int>(text.size())}) + Str(text) + B({0xF8, 0x81, 0x47});
}

// StreamName as ubyte_array with its length as uint16, the form the driver
// writes (6 + n bytes with the attribute tag).
Bytes StreamName(std::string_view name) {
  return B({0xC8, 0xC1, static_cast<int>(name.size()), 0x00}) + Str(name) + B({0xF8, 0x8B});
}

// ReadStream of `data` (StreamDataLength uint32, 8 bytes, then the data block).
Bytes ReadStream(const Bytes &data) {
  const int n = static_cast<int>(data.size());
  return B({0xC2, n & 0xFF, n >> 8, 0, 0, 0xF8, 0x8C, 0x5C, 0xFB, n}) + data;
}

TEST(Tolerated, CommentsBetweenPagesAndOutsideTheSession) {
  const Bytes job = Header() + Comment("before") + Session() + Comment("StartJob") + Page() +
                    B({0x44}) + Comment("EndPage of Physical") + Page() + B({0x44}) +
                    Comment("EndJob") + B({0x49, 0x42}) + Comment("after");
  const pxllist::Listing listing = List(job);
  ASSERT_TRUE(listing.ok) << pxllist::FormatError(listing.error);
}

TEST(Tolerated, GraphicsStateLeftPushedAtEndPage) {
  // A recorded page begins with PushGS and ends without PopGS; the next page
  // starts with an empty stack of its own.
  const Bytes job = InPage() + B({0x61, 0x61, 0x44}) + Page() + B({0x61, 0x60, 0x44}) +
                    B({0x49, 0x42});
  const pxllist::Listing listing = List(job);
  ASSERT_TRUE(listing.ok) << pxllist::FormatError(listing.error);
}

TEST(Tolerated, RgbPaletteLengthWrittenAsUint16) {
  // An 8-bit indexed image with a 256-entry palette (768 bytes, uint16
  // length), then a 1-bit image with a 2-entry palette.
  const Bytes small = B({0xC0, 0x02, 0xF8, 0x03, 0xC0, 0x02, 0xF8, 0x02, 0xC8, 0xC0, 0x06}) +
                      Counting(6) + B({0xF8, 0x06, 0x6A});
  const Bytes large = B({0xC0, 0x02, 0xF8, 0x03, 0xC0, 0x02, 0xF8, 0x02, 0xC8, 0xC1, 0x00, 0x03}) +
                      Bytes(768, 0x11) + B({0xF8, 0x06, 0x6A});
  // BeginImage indexed, e8Bit or e1Bit, 4 x 1; ReadImage 0, 1, raw; 4 bytes.
  const auto image = [](int depth) {
    return B({0xC0, 0x01, 0xF8, 0x64, 0xC0, depth, 0xF8, 0x62, 0xC1, 0x04, 0x00, 0xF8, 0x6C, 0xC1,
              0x01, 0x00, 0xF8, 0x6B, 0xD1, 0x04, 0x00, 0x01, 0x00, 0xF8, 0x67, 0xB0, 0xC1, 0x00,
              0x00, 0xF8, 0x6D, 0xC1, 0x01, 0x00, 0xF8, 0x63, 0xC0, 0x00, 0xF8, 0x65, 0xB1, 0xFB,
              0x04, 0x01, 0x02, 0x03, 0x04, 0xB2});
  };
  const pxllist::Listing listing = List(InPage() + large + image(2) + small + image(0) + EndAll());
  ASSERT_TRUE(listing.ok) << pxllist::FormatError(listing.error);
}

// Form data as the driver stores it: its own stream header, the three form
// comments, then a recorded page that begins with PushGS and never pops.
Bytes FormData() {
  return Str(") HP-PCL XL;2;1;QZKRL2-2.1.0,WINNT-5.1,KRL2DRV-1.1.0.0\n") +  // 55 bytes
         Comment("FormResoX=600") + Comment("FormResoY=600") + Comment("ColorMode=1") +
         B({0x61}) + ColorSpace(1) + B({0xC0, 0x00, 0xF8, 0x09, 0x63}) +
         B({0xE0, 0x0A, 0x14, 0x1E, 0x28, 0xF8, 0x42, 0xA0});
}

TEST(Tolerated, UserStreamWithItsOwnHeaderRunsInsideAPage) {
  const Bytes form = FormData();
  const Bytes define = StreamName("MACRO") + B({0x5B}) + ReadStream(form) + B({0x5D});
  const Bytes job = Header() + Session() + define + Page() + B({0x61}) + StreamName("MACRO") +
                    B({0x5E, 0x60, 0x44}) + B({0x49, 0x42});
  const pxllist::Listing listing = List(job);
  ASSERT_TRUE(listing.ok) << pxllist::FormatError(listing.error);

  // BeginStream at 46, ReadStream at 58 with its data at 68 + 2.
  const uint64_t data_at = 46 + 12 + 10;
  size_t end_stream = 0;
  while (listing.records[end_stream].op != 0x5D) ++end_stream;
  const pxllist::Record &inner_header = listing.records.at(end_stream + 1);
  EXPECT_EQ(inner_header.kind, pxllist::RecordKind::kStreamHeader);
  EXPECT_EQ(inner_header.depth, 1u);
  EXPECT_EQ(inner_header.offset, data_at);
  const pxllist::Record &first_comment = listing.records.at(end_stream + 2);
  EXPECT_EQ(first_comment.op, 0x47);
  EXPECT_EQ(first_comment.depth, 1u);
  EXPECT_EQ(first_comment.offset, data_at + 55);
  EXPECT_EQ(pxllist::AttributeText(first_comment.attributes[0]), "FormResoX=600");
  const pxllist::Record *exec = FindOp(listing, 0x5E);
  ASSERT_NE(exec, nullptr);
  EXPECT_EQ(exec->depth, 0u);
  EXPECT_EQ(pxllist::AttributeText(exec->attributes[0]), "MACRO");
  EXPECT_EQ(exec->attributes[0].offset, 46 + 12 + 10 + form.size() + 1 + 9 + 1);
}

TEST(Tolerated, UserStreamSplitOverTwoReadStreamBlocks) {
  // The data of one stream in two blocks; the second block's records keep
  // their offsets in the job.
  const Bytes first = Str(") HP-PCL XL;2;1\n") + Comment("a");  // 16 + 7 bytes
  const Bytes second = B({0x61, 0x85});                            // PushGS, NewPath
  const Bytes job = Header() + Session() + StreamName("S") + B({0x5B}) + ReadStream(first) +
                    ReadStream(second) + B({0x5D, 0x49, 0x42});
  const pxllist::Listing listing = List(job);
  ASSERT_TRUE(listing.ok) << pxllist::FormatError(listing.error);
  // BeginStream at 46 (8 bytes), ReadStream at 54 (10 + 23), ReadStream at 87 (10 + 2).
  std::vector<const pxllist::Record *> inner;
  for (const pxllist::Record &r : listing.records) {
    if (r.depth == 1) inner.push_back(&r);
  }
  ASSERT_EQ(inner.size(), 4u);
  EXPECT_EQ(inner[0]->offset, 64u);  // the stream header, in the first block
  EXPECT_EQ(inner[1]->offset, 80u);  // the comment
  EXPECT_EQ(inner[2]->op, 0x61);
  EXPECT_EQ(inner[2]->offset, 97u);
  EXPECT_EQ(inner[3]->op, 0x85);
  EXPECT_EQ(inner[3]->offset, 98u);
}

TEST(Tolerated, UserStreamWithoutItsOwnHeader) {
  const Bytes job = Header() + Session() + StreamName("S") + B({0x5B}) +
                    ReadStream(Comment("x") + B({0x85})) + B({0x5D, 0x49, 0x42});
  const pxllist::Listing listing = List(job);
  ASSERT_TRUE(listing.ok) << pxllist::FormatError(listing.error);
}

TEST(Tolerated, FormFileAsStreamBody) {
  pxllist::Options options;
  options.stream_body = true;
  const pxllist::Listing listing = List(FormData() + Comment("EndJob"), options);
  ASSERT_TRUE(listing.ok) << pxllist::FormatError(listing.error);
  EXPECT_EQ(listing.records.front().kind, pxllist::RecordKind::kStreamHeader);
  EXPECT_EQ(listing.records.size(), 9u);
}

TEST(Tolerated, StreamBodyRefusesSessionOperators) {
  pxllist::Options options;
  options.stream_body = true;
  const pxllist::Listing listing = List(Header() + Page(), options);
  EXPECT_TRUE(RefusedAt(listing, 29u, "BeginPage is not allowed in user-stream data"));
}

TEST(Tolerated, StreamBodyNeedsItsHeader) {
  pxllist::Options options;
  options.stream_body = true;
  const pxllist::Listing listing = List(B({0x61}), options);
  EXPECT_TRUE(RefusedAt(listing, 0, "stream data without a stream header"));
}

TEST(Tolerated, ColourSetByAStreamReachesTheCaller) {
  // The form sets eGray on a level it pushes and leaves; the caller's image
  // after ExecStream (no PopGS) reads one byte per pixel.
  const Bytes job = Header() + Session() + StreamName("MACRO") + B({0x5B}) + ReadStream(FormData()) +
                    B({0x5D}) + Page() + StreamName("MACRO") + B({0x5E}) +
                    B({0xC0, 0x00, 0xF8, 0x64, 0xC0, 0x02, 0xF8, 0x62, 0xC1, 0x02, 0x00, 0xF8, 0x6C,
                       0xC1, 0x01, 0x00, 0xF8, 0x6B, 0xD1, 0x02, 0x00, 0x01, 0x00, 0xF8, 0x67, 0xB0,
                       0xC1, 0x00, 0x00, 0xF8, 0x6D, 0xC1, 0x01, 0x00, 0xF8, 0x63, 0xC0, 0x00, 0xF8,
                       0x65, 0xB1, 0xFB, 0x04, 0x07, 0x08, 0x00, 0x00, 0xB2}) +
                    EndAll();
  const pxllist::Listing listing = List(job);
  ASSERT_TRUE(listing.ok) << pxllist::FormatError(listing.error);
  EXPECT_EQ(FindOp(listing, 0xB1)->rows, B({7, 8}));
}

struct BrokenCase {
  const char *what;
  Bytes job;
  uint64_t offset;
  const char *message;
};

class BrokenStreamTest : public ::testing::TestWithParam<BrokenCase> {};

TEST_P(BrokenStreamTest, RefusedAtTheFaultyByte) {
  const BrokenCase &c = GetParam();
  const pxllist::Listing listing = List(c.job);
  EXPECT_TRUE(RefusedAt(listing, c.offset, c.message));
}

const Bytes kUel = Str("\x1B%-12345X");
// BeginSession alone (the first 16 bytes of Session()).
Bytes BeginSessionOnly() {
  const Bytes session = Session();
  return Bytes(session.begin(), session.begin() + 16);
}

// Offsets: Header() 21 bytes, Header() + Session() 46, InPage() 55.
INSTANTIATE_TEST_SUITE_P(
    Cases, BrokenStreamTest,
    ::testing::Values(
        BrokenCase{"wrong attribute type",
                   Header() + Session() + B({0xC1, 0x00, 0x00, 0xF8, 0x28, 0xC0, 0x02, 0xF8, 0x25, 0x43}),
                   46, "IllegalAttributeDataType: Orientation of BeginPage has type uint16; allowed: ubyte"},
        BrokenCase{"data length short by one",
                   Header() + Session() + B({0xC8, 0xC0, 0x01, 'S', 0xF8, 0x8B, 0x5B}) +
                       B({0xC2, 0x03, 0, 0, 0, 0xF8, 0x8C, 0x5C, 0xFB, 0x02, 'A', 'B'}),
                   61, "StreamDataLength 3 but the embedded data holds 2 bytes"},
        BrokenCase{"drawing operator outside a page", Header() + Session() + B({0x85}), 46,
                   "NewPath outside a page"},
        BrokenCase{"state operator outside a page", Header() + Session() + ColorSpace(1), 50,
                   "SetColorSpace outside a page"},
        BrokenCase{"EndPage without BeginPage", Header() + Session() + B({0x44}), 46,
                   "EndPage without BeginPage"},
        BrokenCase{"missing stream header after PJL",
                   kUel + Str("@PJL ENTER LANGUAGE=PCLXL\n") + Session(), 35,
                   "expected a PJL line or a stream header"},
        BrokenCase{"missing stream header", Session(), 0, "stream header"},
        BrokenCase{"truncated value", Header() + B({0xD1, 0x58, 0x02}), 21, "uint16_xy value cut off"},
        BrokenCase{"truncated value later", Header() + Session() + B({0xC8, 0xC0, 0x05, 'a', 'b'}), 46,
                   "ubyte_array value cut off"},
        BrokenCase{"truncated attribute tag", Header() + B({0xC0, 0x00, 0xF8}), 23,
                   "attribute tag cut off"},
        BrokenCase{"no operator at the end", Header() + B({0xC0, 0x00, 0xF8, 0x86}), 21,
                   "without an operator"},
        BrokenCase{"value without attribute", Header() + B({0xC0, 0x00, 0x41}), 21,
                   "value without an attribute tag"},
        BrokenCase{"two values in a row", Header() + B({0xC0, 0x00, 0xC0, 0x01, 0xF8, 0x86, 0x41}), 21,
                   "value without an attribute tag"},
        BrokenCase{"attribute without value", Header() + B({0xF8, 0x89, 0x41}), 21,
                   "attribute tag without a value"},
        BrokenCase{"not a tag", Header() + B({0x00}), 21, "byte 0x00 is not a PCL XL tag"},
        BrokenCase{"reserved operator", Header() + B({0x45}), 21, "not an operator of the format"},
        BrokenCase{"reserved type tag", Header() + B({0xC6, 0x00}), 21, "byte 0xC6 is not a PCL XL tag"},
        BrokenCase{"bad array length tag", Header() + B({0xC8, 0xC2, 0x01, 0, 0, 0}), 22,
                   "array length has tag 0xC2"},
        BrokenCase{"missing required attribute", Header() + B({0xC0, 0x00, 0xF8, 0x86, 0x41}), 25,
                   "BeginSession without its UnitsPerMeasure attribute"},
        BrokenCase{"attribute not allowed",
                   Header() + B({0xD1, 0x58, 0x02, 0x58, 0x02, 0xF8, 0x89, 0xC0, 0x00, 0xF8, 0x86,
                                 0xC1, 0x01, 0x00, 0xF8, 0x31, 0x41}),
                   32, "PageCopies is not allowed with BeginSession"},
        BrokenCase{"value not allowed",
                   Header() + B({0xD1, 0x58, 0x02, 0x58, 0x02, 0xF8, 0x89, 0xC0, 0x05, 0xF8, 0x86, 0x41}),
                   28, "Measure value 5 is not allowed"},
        BrokenCase{"attribute given twice",
                   Header() + B({0xD1, 0x58, 0x02, 0x58, 0x02, 0xF8, 0x89, 0xC0, 0x00, 0xF8, 0x86,
                                 0xC0, 0x00, 0xF8, 0x86, 0x41}),
                   32, "Measure given twice"},
        BrokenCase{"session in a session", Header() + Session() + BeginSessionOnly(), 61,
                   "BeginSession inside a session"},
        BrokenCase{"EndSession with the source open", Header() + Session() + B({0x42}), 46,
                   "EndSession while the data source is open"},
        BrokenCase{"EndSession without BeginSession", Header() + B({0x42}), 21,
                   "EndSession without BeginSession"},
        BrokenCase{"CloseDataSource without OpenDataSource", Header() + BeginSessionOnly() + B({0x49}), 37,
                   "CloseDataSource without OpenDataSource"},
        BrokenCase{"OpenDataSource twice", Header() + Session() + B({0xC0, 0x00, 0xF8, 0x88, 0xC0, 0x01, 0xF8, 0x82, 0x48}),
                   54, "OpenDataSource while a data source is open"},
        BrokenCase{"end of input inside a page", InPage(), 55, "end of input inside a page"},
        BrokenCase{"end of input inside a session", Header() + Session(), 46,
                   "end of input inside a session"},
        BrokenCase{"universal exit inside a session", Header() + Session() + kUel, 46,
                   "universal exit inside a session"},
        BrokenCase{"universal exit in an attribute list", Header() + B({0xC0, 0x00, 0xF8, 0x86}) + kUel, 21,
                   "cut off by a universal exit"},
        BrokenCase{"ReadImage without BeginImage", InPage() + B({0xB1}), 55, "ReadImage without BeginImage"},
        BrokenCase{"EndStream without BeginStream", Header() + Session() + B({0x5D}), 46,
                   "EndStream without BeginStream"},
        BrokenCase{"EndPage inside an image",
                   InPage() + ColorSpace(1) +
                       B({0xC0, 0x00, 0xF8, 0x64, 0xC0, 0x02, 0xF8, 0x62, 0xC1, 0x01, 0x00, 0xF8, 0x6C,
                          0xC1, 0x01, 0x00, 0xF8, 0x6B, 0xD1, 0x01, 0x00, 0x01, 0x00, 0xF8, 0x67, 0xB0, 0x44}),
                   86, "EndPage inside an image"},
        BrokenCase{"PopGS without PushGS", InPage() + B({0x60}), 55, "PopGS without PushGS"},
        BrokenCase{"ExecStream of an undefined stream", InPage() + B({0xC8, 0xC0, 0x01, 'M', 0xF8, 0x8B, 0x5E}),
                   55, "ExecStream of stream \"M\" that was not defined"},
        BrokenCase{"BeginChar of a font not downloaded",
                   Header() + Session() + B({0xC8, 0xC0, 0x01, 'F', 0xF8, 0xA8, 0x52}), 46,
                   "BeginChar of font \"F\" that was not downloaded"},
        BrokenCase{"spacing for another character count",
                   InPage() + SetFontF() +
                       B({0xC9, 0xC0, 0x02, 0x41, 0x00, 0x42, 0x00, 0xF8, 0xAB, 0xCB, 0xC0, 0x01, 0x0A,
                          0x00, 0xF8, 0xAF, 0xA8}),
                   80, "IllegalArraySize: XSpacingData of 1 elements for 2 characters"},
        BrokenCase{"two brush sources", InPage() + B({0xC0, 0x00, 0xF8, 0x09, 0xC0, 0x00, 0xF8, 0x04, 0x63}),
                   63, "SetBrushSource needs exactly one of"},
        BrokenCase{"RGBColor of two bytes", InPage() + B({0xC8, 0xC0, 0x02, 0x01, 0x02, 0xF8, 0x0B, 0x63}),
                   55, "RGBColor of 2 elements"},
        BrokenCase{"BeginPage without a media size", Header() + Session() + B({0xC0, 0x00, 0xF8, 0x28, 0x43}),
                   50, "BeginPage without MediaSize or CustomMediaSize"},
        BrokenCase{"custom size without units",
                   Header() + Session() + B({0xC0, 0x00, 0xF8, 0x28, 0xD1, 0x10, 0x00, 0x20, 0x00, 0xF8,
                                             0x2F, 0x43}),
                   57, "CustomMediaSize without CustomMediaSizeUnits"},
        BrokenCase{"palette without depth",
                   InPage() + B({0xC0, 0x01, 0xF8, 0x03, 0xC8, 0xC0, 0x02, 0x00, 0xFF, 0xF8, 0x06, 0x6A}),
                   66, "PaletteDepth and PaletteData must come together"},
        BrokenCase{"RGB palette of a partial entry",
                   InPage() + B({0xC0, 0x02, 0xF8, 0x03, 0xC0, 0x02, 0xF8, 0x02, 0xC8, 0xC0, 0x02, 0x00,
                                 0xFF, 0xF8, 0x06, 0x6A}),
                   63, "PaletteData of 2 bytes"},
        BrokenCase{"PJL line without its line end", kUel + Str("@PJL"), 9, "PJL line without a line end"},
        BrokenCase{"PJL line without a universal exit", Str("@PJL\n"), 0,
                   "PJL line without a universal exit before it"},
        BrokenCase{"control byte in a PJL line", kUel + Str("@PJL \x01\n"), 14, "control byte 0x01"},
        BrokenCase{"PJL after the stream without a universal exit",
                   Header() + Session() + B({0x49, 0x42}) + Str("@PJL EOJ\n"), 48, "byte 0x40 is not a PCL XL tag"},
        BrokenCase{"other escape sequence", Str("\x1B%-12345Y"), 0, "escape sequence other than the universal exit"},
        BrokenCase{"stray bytes after PJL", kUel + Str("@PJL\n") + Str("X\n"), 14,
                   "expected a PJL line or a stream header"},
        BrokenCase{"page operator in stream data",
                   Header() + Session() + B({0xC8, 0xC0, 0x01, 'S', 0xF8, 0x8B, 0x5B}) +
                       B({0xC2, 0x09, 0, 0, 0, 0xF8, 0x8C, 0x5C, 0xFB, 0x09}) + Page() + B({0x5D}),
                   71, "BeginPage is not allowed in user-stream data"},
        BrokenCase{"EndPage in stream data",
                   Header() + Session() + B({0xC8, 0xC0, 0x01, 'S', 0xF8, 0x8B, 0x5B}) +
                       B({0xC2, 0x01, 0, 0, 0, 0xF8, 0x8C, 0x5C, 0xFB, 0x01, 0x44, 0x5D}),
                   63, "EndPage is not allowed in user-stream data"}),
    CaseName());

}  // namespace
}  // namespace pxltest
