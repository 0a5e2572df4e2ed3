/*
 * Tests of embedded data: both length forms (0xFB with a ubyte length, 0xFA
 * with a uint32 length) for 0, 255 and 256 bytes, the lengths the reading
 * operators declare, and the point lists of path operators.
 */
#include <gtest/gtest.h>

#include "job_bytes.h"

namespace pxltest {
namespace {

// 11 bytes: BeginFontHeader (FontName "F", FontFormat 0).
Bytes FontHeaderBegin() {
  return B({0xC8, 0xC0, 0x01, 0x46, 0xF8, 0xA8, 0xC0, 0x00, 0xF8, 0xA9, 0x4F});
}

// 6 bytes: FontHeaderLength uint16 n, ReadFontHeader.
Bytes ReadFontHeader(int n) { return B({0xC1, n & 0xFF, n >> 8, 0xF8, 0xA7, 0x50}); }

struct DataCase {
  uint32_t length;
  Bytes tag;  // 0xFB or 0xFA with the length
};

class EmbeddedLengthTest : public ::testing::TestWithParam<DataCase> {};

// n bytes of a font header: counting bytes, with the fixed fields of a
// bitmap font where they fit.
Bytes FontHeaderData(uint32_t n) {
  Bytes data = Counting(n, 3);
  const Bytes fields = BitmapFontFields();
  for (size_t i = 0; i < n && i < fields.size(); ++i) data[i] = fields[i];
  return data;
}

TEST_P(EmbeddedLengthTest, ReadsTheBlock) {
  const DataCase &c = GetParam();
  const Bytes data = FontHeaderData(c.length);
  // A second block of 8 bytes completes the header's fixed fields when the
  // first is shorter.
  const Bytes job = Header() + Session() + FontHeaderBegin() + ReadFontHeader(c.length) + c.tag +
                    data + ReadFontHeader(8) + B({0xFB, 0x08}) + BitmapFontFields() + B({0x51}) +
                    B({0x49, 0x42});
  const pxllist::Listing listing = List(job);
  ASSERT_TRUE(listing.ok) << pxllist::FormatError(listing.error);
  const pxllist::Record *r = FindOp(listing, 0x50);
  ASSERT_NE(r, nullptr);
  EXPECT_EQ(r->offset, 57u);  // 21 + 25 + 11
  EXPECT_TRUE(r->has_data);
  EXPECT_EQ(r->data_offset, 63u);
  EXPECT_EQ(r->data_length, c.length);
  EXPECT_EQ(r->data, data);
  EXPECT_EQ(r->length, 6 + c.tag.size() + c.length);
  const pxllist::Record *end = FindOp(listing, 0x51);
  ASSERT_NE(end, nullptr);
  EXPECT_EQ(end->offset, 63 + c.tag.size() + c.length + 6 + 2 + 8);
}

INSTANTIATE_TEST_SUITE_P(
    BothForms, EmbeddedLengthTest,
    ::testing::Values(DataCase{0, B({0xFB, 0x00})}, DataCase{0, B({0xFA, 0, 0, 0, 0})},
                      DataCase{255, B({0xFB, 0xFF})}, DataCase{255, B({0xFA, 0xFF, 0, 0, 0})},
                      DataCase{256, B({0xFA, 0x00, 0x01, 0, 0})}));

TEST(Embedded, KeepDataOffLeavesTheBytesOut) {
  pxllist::Options options;
  options.keep_data = false;
  const Bytes job = Header() + Session() + FontHeaderBegin() + ReadFontHeader(8) + B({0xFB, 0x08}) +
                    BitmapFontFields() + B({0x51, 0x49, 0x42});
  const pxllist::Listing listing = List(job, options);
  ASSERT_TRUE(listing.ok) << pxllist::FormatError(listing.error);
  const pxllist::Record *r = FindOp(listing, 0x50);
  EXPECT_EQ(r->data_length, 8u);
  EXPECT_TRUE(r->data.empty());
}

struct BadDataCase {
  const char *what;
  Bytes tail;           // after the stream header, session and font header begin (57 bytes)
  uint64_t offset;      // expected error offset
  const char *message;  // part of the expected message
};

class EmbeddedErrorTest : public ::testing::TestWithParam<BadDataCase> {};

TEST_P(EmbeddedErrorTest, RefusedAtTheDataTag) {
  const BadDataCase &c = GetParam();
  const pxllist::Listing listing = List(Header() + Session() + FontHeaderBegin() + c.tail);
  EXPECT_TRUE(RefusedAt(listing, c.offset, c.message));
}

INSTANTIATE_TEST_SUITE_P(
    Cases, EmbeddedErrorTest,
    ::testing::Values(
        // FontHeaderLength 10, data of 9 bytes (the declared length short by one).
        BadDataCase{"declared length", ReadFontHeader(10) + B({0xFB, 0x09}) + Counting(9) + B({0x51}),
                    63, "FontHeaderLength 10 but the embedded data holds 9 bytes"},
        // A data block of 10 bytes with 9 left in the input.
        BadDataCase{"past the end", ReadFontHeader(10) + B({0xFB, 0x0A}) + Counting(9), 63,
                    "runs past the end of the input"},
        BadDataCase{"length cut off", ReadFontHeader(10) + B({0xFA, 0x0A, 0x00}), 63,
                    "length cut off"},
        BadDataCase{"missing", ReadFontHeader(1) + B({0x51}), 63, "must be followed by embedded data"},
        BadDataCase{"without operator", B({0xFB, 0x00}), 57, "without an operator that reads it"}),
    CaseName());

TEST(Embedded, DataNeedsAnOpenDataSource) {
  // BeginSession without OpenDataSource (the first 16 bytes of Session()).
  const Bytes full = Session();
  const Bytes session(full.begin(), full.begin() + 16);
  const pxllist::Listing listing =
      List(Header() + session + FontHeaderBegin() + ReadFontHeader(0) + B({0xFB, 0x00}));
  // At the ReadFontHeader byte.
  EXPECT_TRUE(RefusedAt(listing, 21u + 16 + 11 + 5, "no data source is open"));
}

TEST(Embedded, PointListsOfEveryPointType) {
  const Bytes job =
      InPage() +
      // LinePath: NumberOfPoints uint16 2, PointType ubyte 1 (eSByte).
      B({0xC1, 0x02, 0x00, 0xF8, 0x4D, 0xC0, 0x01, 0xF8, 0x50, 0x9B, 0xFB, 0x04, 0xFF, 0x01, 0x02,
         0xFE}) +
      // LineRelPath: 1 point of PointType 0 (eUByte).
      B({0xC0, 0x01, 0xF8, 0x4D, 0xC0, 0x00, 0xF8, 0x50, 0x9D, 0xFB, 0x02, 0xFF, 0x00}) +
      // BezierRelPath: 3 points of PointType 3 (eSInt16).
      B({0xC1, 0x03, 0x00, 0xF8, 0x4D, 0xC0, 0x03, 0xF8, 0x50, 0x95, 0xFB, 0x0C, 0xFF, 0xFF, 0x02,
         0x00, 0x2C, 0x01, 0xD4, 0xFE, 0x00, 0x00, 0xFF, 0x7F}) +
      // BezierPath: 3 points of PointType 2 (eUInt16).
      B({0xC0, 0x03, 0xF8, 0x4D, 0xC0, 0x02, 0xF8, 0x50, 0x93, 0xFB, 0x0C, 0xFF, 0xFF, 0x00, 0x00,
         0x01, 0x00, 0x02, 0x00, 0x00, 0x80, 0x00, 0x01}) +
      EndAll();
  const pxllist::Listing listing = List(job);
  ASSERT_TRUE(listing.ok) << pxllist::FormatError(listing.error);
  using P = pxllist::Point;
  EXPECT_EQ(FindOp(listing, 0x9B)->points, (std::vector<P>{{-1, 1}, {2, -2}}));
  EXPECT_EQ(FindOp(listing, 0x9D)->points, (std::vector<P>{{255, 0}}));
  EXPECT_EQ(FindOp(listing, 0x95)->points, (std::vector<P>{{-1, 2}, {300, -300}, {0, 32767}}));
  EXPECT_EQ(FindOp(listing, 0x93)->points, (std::vector<P>{{65535, 0}, {1, 2}, {32768, 256}}));
}

TEST(Embedded, PointListLengthMustMatch) {
  // LinePath: 3 points of PointType 0 need 6 bytes; the data holds 4.
  const Bytes job = InPage() + B({0xC0, 0x03, 0xF8, 0x4D, 0xC0, 0x00, 0xF8, 0x50, 0x9B, 0xFB, 0x04,
                                  1, 2, 3, 4});
  const pxllist::Listing listing = List(job);
  EXPECT_TRUE(RefusedAt(listing, 55u + 9, "need 6 bytes"));
}

TEST(Embedded, BezierPointCountMustBeAMultipleOfThree) {
  const Bytes job = InPage() + B({0xC0, 0x02, 0xF8, 0x4D, 0xC0, 0x00, 0xF8, 0x50, 0x93, 0xFB, 0x04,
                                  1, 2, 3, 4});
  const pxllist::Listing listing = List(job);
  EXPECT_TRUE(RefusedAt(listing, 55u, "not a multiple of 3"));  // at the NumberOfPoints value
}

TEST(Embedded, SinglePointPathsTakeNoData) {
  // LinePath with EndPoint sint16_xy (-5, 7), then CharCode-free ReadChar-less path end.
  const Bytes job = InPage() + B({0xD3, 0xFB, 0xFF, 0x07, 0x00, 0xF8, 0x45, 0x9B}) + EndAll();
  const pxllist::Listing listing = List(job);
  ASSERT_TRUE(listing.ok) << pxllist::FormatError(listing.error);
  const pxllist::Record *r = FindOp(listing, 0x9B);
  EXPECT_FALSE(r->has_data);
  EXPECT_EQ(r->attributes.at(0).values, (std::vector<double>{-5, 7}));
}

TEST(Embedded, ReadCharDataSizeMustMatch) {
  // BeginChar "F" after the font header; ReadChar CharCode 65, CharDataSize uint32 5, 4 bytes.
  const Bytes job = Header() + Session() + FontHeaderBegin() + ReadFontHeader(8) + B({0xFB, 0x08}) +
                    BitmapFontFields() + B({0x51}) + B({0xC8, 0xC0, 0x01, 0x46, 0xF8, 0xA8, 0x52}) +
                    B({0xC1, 0x41, 0x00, 0xF8, 0xA2, 0xC2, 0x05, 0, 0, 0, 0xF8, 0xA3, 0x53,
                       0xFB, 0x04, 1, 2, 3, 4});
  const pxllist::Listing listing = List(job);
  EXPECT_TRUE(RefusedAt(listing, 57u + 6 + 10 + 1 + 7 + 13, "IllegalDataLength: CharDataSize 5"));
}

}  // namespace
}  // namespace pxltest
