/*
 * Tests of value decoding: every data type, both array-length forms, both
 * attribute-tag forms, arrays of 0, 255 and 256 elements.  The values ride on
 * EchoComment (0x4A), an operator the lister knows but whose attributes it
 * does not restrict.
 */
#include <gtest/gtest.h>

#include "job_bytes.h"

namespace pxltest {
namespace {

using pxllist::DataType;

struct ValueCase {
  const char *what;
  Bytes value;  // type tag and payload
  DataType type;
  std::vector<double> values;
};

class ValueTest : public ::testing::TestWithParam<ValueCase> {};

TEST_P(ValueTest, DecodesTypeAndElements) {
  const ValueCase &c = GetParam();
  // Attribute 200 (0xC8) on EchoComment.
  const pxllist::Listing listing = List(Header() + c.value + B({0xF8, 0xC8, 0x4A}));
  ASSERT_TRUE(listing.ok) << pxllist::FormatError(listing.error);
  ASSERT_EQ(listing.records.size(), 2u);
  const pxllist::Record &r = listing.records[1];
  EXPECT_EQ(r.op, 0x4A);
  EXPECT_EQ(r.op_name, "EchoComment");
  EXPECT_EQ(r.offset, 21u);
  EXPECT_EQ(r.op_offset, 21u + c.value.size() + 2);
  EXPECT_EQ(r.length, c.value.size() + 3);
  ASSERT_EQ(r.attributes.size(), 1u);
  const pxllist::Attribute &a = r.attributes[0];
  EXPECT_EQ(a.id, 200);
  EXPECT_EQ(a.offset, 21u);
  EXPECT_EQ(a.type, c.type);
  EXPECT_EQ(a.values, c.values);
}

INSTANTIATE_TEST_SUITE_P(
    AllTypes, ValueTest,
    ::testing::Values(
        ValueCase{"ubyte", B({0xC0, 0x7F}), DataType::kUByte, {127}},
        ValueCase{"uint16", B({0xC1, 0x34, 0x12}), DataType::kUInt16, {0x1234}},
        ValueCase{"uint32", B({0xC2, 0x78, 0x56, 0x34, 0x12}), DataType::kUInt32, {0x12345678}},
        ValueCase{"uint32 max", B({0xC2, 0xFF, 0xFF, 0xFF, 0xFF}), DataType::kUInt32, {4294967295.0}},
        ValueCase{"sint16", B({0xC3, 0xFE, 0xFF}), DataType::kSInt16, {-2}},
        ValueCase{"sint32", B({0xC4, 0xFE, 0xFF, 0xFF, 0xFF}), DataType::kSInt32, {-2}},
        ValueCase{"real32", B({0xC5, 0x00, 0x00, 0xC0, 0x3F}), DataType::kReal32, {1.5}},
        ValueCase{"real32 negative", B({0xC5, 0x00, 0x00, 0x20, 0xC1}), DataType::kReal32, {-10.0}},
        ValueCase{"ubyte_array", B({0xC8, 0xC0, 0x03, 0x41, 0x42, 0x43}), DataType::kUByteArray,
                  {65, 66, 67}},
        ValueCase{"ubyte_array, uint16 length", B({0xC8, 0xC1, 0x03, 0x00, 0x41, 0x42, 0x43}),
                  DataType::kUByteArray, {65, 66, 67}},
        ValueCase{"uint16_array", B({0xC9, 0xC0, 0x02, 0x34, 0x12, 0xFF, 0xFF}),
                  DataType::kUInt16Array, {0x1234, 65535}},
        ValueCase{"uint32_array", B({0xCA, 0xC0, 0x01, 0x01, 0x00, 0x00, 0x80}),
                  DataType::kUInt32Array, {2147483649.0}},
        ValueCase{"sint16_array", B({0xCB, 0xC0, 0x02, 0xFF, 0xFF, 0x00, 0x80}),
                  DataType::kSInt16Array, {-1, -32768}},
        ValueCase{"sint32_array", B({0xCC, 0xC0, 0x01, 0x00, 0x00, 0x00, 0x80}),
                  DataType::kSInt32Array, {-2147483648.0}},
        ValueCase{"real32_array", B({0xCD, 0xC0, 0x02, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x80, 0x3E}),
                  DataType::kReal32Array, {1.0, 0.25}},
        ValueCase{"empty array", B({0xC9, 0xC0, 0x00}), DataType::kUInt16Array, {}},
        ValueCase{"ubyte_xy", B({0xD0, 0x01, 0xFF}), DataType::kUByteXY, {1, 255}},
        ValueCase{"uint16_xy", B({0xD1, 0x58, 0x02, 0xB0, 0x04}), DataType::kUInt16XY, {600, 1200}},
        ValueCase{"uint32_xy", B({0xD2, 0x01, 0x00, 0x00, 0x00, 0x00, 0x00, 0x01, 0x00}),
                  DataType::kUInt32XY, {1, 65536}},
        ValueCase{"sint16_xy", B({0xD3, 0xFF, 0xFF, 0x00, 0x80}), DataType::kSInt16XY, {-1, -32768}},
        ValueCase{"sint32_xy", B({0xD4, 0xFF, 0xFF, 0xFF, 0xFF, 0x05, 0x00, 0x00, 0x00}),
                  DataType::kSInt32XY, {-1, 5}},
        ValueCase{"real32_xy", B({0xD5, 0x00, 0x00, 0x00, 0x3F, 0x00, 0x00, 0x80, 0x40}),
                  DataType::kReal32XY, {0.5, 4.0}},
        ValueCase{"ubyte_box", B({0xE0, 0x01, 0x02, 0x03, 0x04}), DataType::kUByteBox, {1, 2, 3, 4}},
        ValueCase{"uint16_box", B({0xE1, 0x00, 0x01, 0x01, 0x00, 0x02, 0x00, 0xFF, 0xFF}),
                  DataType::kUInt16Box, {256, 1, 2, 65535}},
        ValueCase{"uint32_box",
                  B({0xE2, 1, 0, 0, 0, 2, 0, 0, 0, 3, 0, 0, 0, 0, 0, 0, 1}),
                  DataType::kUInt32Box, {1, 2, 3, 16777216}},
        ValueCase{"sint16_box", B({0xE3, 0xFF, 0xFF, 0xFE, 0xFF, 0x03, 0x00, 0x04, 0x00}),
                  DataType::kSInt16Box, {-1, -2, 3, 4}},
        ValueCase{"sint32_box",
                  B({0xE4, 0xFF, 0xFF, 0xFF, 0xFF, 0, 0, 0, 0, 0x10, 0, 0, 0, 0, 0, 0, 0x80}),
                  DataType::kSInt32Box, {-1, 0, 16, -2147483648.0}},
        ValueCase{"real32_box",
                  B({0xE5, 0, 0, 0x80, 0x3F, 0, 0, 0, 0x40, 0, 0, 0x80, 0xBF, 0, 0, 0x80, 0x3E}),
                  DataType::kReal32Box, {1.0, 2.0, -1.0, 0.25}}),
    CaseName());

TEST(Values, AttributeTagForms) {
  // F8 FF: identifier 255 in one byte; F9 2C 01: identifier 300 in two.
  const pxllist::Listing listing =
      List(Header() + B({0xC0, 0x01, 0xF8, 0xFF, 0xC0, 0x02, 0xF9, 0x2C, 0x01, 0x4A}));
  ASSERT_TRUE(listing.ok) << pxllist::FormatError(listing.error);
  const pxllist::Record &r = listing.records[1];
  ASSERT_EQ(r.attributes.size(), 2u);
  EXPECT_EQ(r.attributes[0].id, 255);
  EXPECT_EQ(r.attributes[1].id, 300);
  EXPECT_EQ(r.attributes[1].offset, 25u);
  EXPECT_TRUE(r.attributes[1].name.empty());
  EXPECT_EQ(r.op_offset, 30u);
}

struct ArrayCase {
  size_t count;
  Bytes head;  // tag and length value
};

class ArrayLengthTest : public ::testing::TestWithParam<ArrayCase> {};

TEST_P(ArrayLengthTest, ReadsEveryElement) {
  const ArrayCase &c = GetParam();
  // uint16 elements 0x0100 + i, written low byte first.
  Bytes elements;
  for (size_t i = 0; i < c.count; ++i) elements = elements + B({static_cast<int>(i & 0xFF), 0x01});
  const pxllist::Listing listing = List(Header() + c.head + elements + B({0xF8, 0xC8, 0x4A}));
  ASSERT_TRUE(listing.ok) << pxllist::FormatError(listing.error);
  const pxllist::Attribute &a = listing.records[1].attributes.at(0);
  ASSERT_EQ(a.values.size(), c.count);
  for (size_t i = 0; i < c.count; ++i) ASSERT_EQ(a.values[i], 0x100 + (i & 0xFF)) << i;
  EXPECT_EQ(listing.records[1].op_offset, 21 + c.head.size() + 2 * c.count + 2);
}

INSTANTIATE_TEST_SUITE_P(Lengths, ArrayLengthTest,
                         ::testing::Values(ArrayCase{0, B({0xC9, 0xC0, 0x00})},
                                           ArrayCase{255, B({0xC9, 0xC0, 0xFF})},
                                           ArrayCase{256, B({0xC9, 0xC1, 0x00, 0x01})},
                                           ArrayCase{0, B({0xC9, 0xC1, 0x00, 0x00})},
                                           ArrayCase{255, B({0xC9, 0xC1, 0xFF, 0x00})}));

TEST(Values, UByteArraysOf255And256ElementsAsText) {
  // CommentData as a ubyte_array of 255 and of 256 bytes.
  const Bytes a255 = Counting(255, 1);
  const Bytes a256 = Counting(256, 7);
  const pxllist::Listing listing =
      List(Header() + B({0xC8, 0xC0, 0xFF}) + a255 + B({0xF8, 0x81, 0x47}) +
           B({0xC8, 0xC1, 0x00, 0x01}) + a256 + B({0xF8, 0x81, 0x47}));
  ASSERT_TRUE(listing.ok) << pxllist::FormatError(listing.error);
  ASSERT_EQ(listing.records.size(), 3u);
  EXPECT_EQ(pxllist::AttributeText(listing.records[1].attributes[0]),
            std::string(a255.begin(), a255.end()));
  EXPECT_EQ(pxllist::AttributeText(listing.records[2].attributes[0]),
            std::string(a256.begin(), a256.end()));
  EXPECT_EQ(listing.records[2].offset, 21u + 3 + 255 + 3);
}

TEST(Values, NamesOfOperatorsAttributesAndTypes) {
  EXPECT_EQ(pxllist::OperatorName(0x41), "BeginSession");
  EXPECT_EQ(pxllist::OperatorName(0x5D), "EndStream");
  EXPECT_EQ(pxllist::OperatorName(0xB5), "EndRastPattern");
  EXPECT_EQ(pxllist::OperatorName(0x45), "");
  EXPECT_EQ(pxllist::AttributeName(137), "UnitsPerMeasure");
  EXPECT_EQ(pxllist::AttributeName(177), "CharBoldValue");
  EXPECT_EQ(pxllist::AttributeName(1), "");
  EXPECT_EQ(pxllist::DataTypeName(DataType::kSInt16Box), "sint16_box");
}

TEST(Values, FormattedLine) {
  const pxllist::Listing listing =
      List(Header() + B({0xD1, 0x58, 0x02, 0x58, 0x02, 0xF8, 0x89, 0xC8, 0xC0, 0x02, 0x68, 0x69,
                         0xF8, 0x81, 0x4A}));
  ASSERT_TRUE(listing.ok) << pxllist::FormatError(listing.error);
  EXPECT_EQ(pxllist::FormatRecord(listing.records[0]), "00000000  HDR ) HP-PCL XL;2;1;test");
  EXPECT_EQ(pxllist::FormatRecord(listing.records[1]),
            "00000015  EchoComment UnitsPerMeasure=uint16_xy(600, 600) "
            "CommentData=ubyte_array[2](\"hi\")");
}

}  // namespace
}  // namespace pxltest
