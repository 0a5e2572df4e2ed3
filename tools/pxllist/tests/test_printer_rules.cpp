/*
 * Tests of the rules a printer enforces while it runs a job, each refused
 * with the format's error name at the byte where it shows: an indexed image
 * or raster pattern needs a palette of exactly 2^depth entries, Text needs a
 * font set in the current graphics state, and a font header and its
 * characters must agree.  The accepted forms of each rule are listed too.
 */
#include <gtest/gtest.h>

#include "job_bytes.h"

namespace pxltest {
namespace {

// SetColorSpace with a palette of `entries` entries of `space` (1 grey, 2
// RGB): 14 + bytes bytes with a ubyte array length, 15 + bytes with uint16.
Bytes Palette(int space, int entries) {
  const int bytes = entries * (space == 1 ? 1 : 3);
  Bytes out = B({0xC0, space, 0xF8, 0x03, 0xC0, 0x02, 0xF8, 0x02});
  out = out + (bytes < 256 ? B({0xC8, 0xC0, bytes}) : B({0xC8, 0xC1, bytes & 0xFF, bytes >> 8}));
  return out + Counting(static_cast<size_t>(bytes), 0x10) + B({0xF8, 0x06, 0x6A});
}

// An indexed image of 4 x 1 at ColorDepth `depth` (0 e1Bit, 1 e4Bit, 2
// e8Bit): 25 bytes of BeginImage attributes, BeginImage at +25, then one raw
// row of 4 bytes and EndImage.
Bytes IndexedImage(int depth) {
  return B({0xC0, 0x01, 0xF8, 0x64, 0xC0, depth, 0xF8, 0x62, 0xC1, 0x04, 0x00, 0xF8, 0x6C, 0xC1,
            0x01, 0x00, 0xF8, 0x6B, 0xD1, 0x04, 0x00, 0x01, 0x00, 0xF8, 0x67, 0xB0, 0xC1, 0x00,
            0x00, 0xF8, 0x6D, 0xC1, 0x01, 0x00, 0xF8, 0x63, 0xC0, 0x00, 0xF8, 0x65, 0xB1, 0xFB,
            0x04, 0x01, 0x02, 0x03, 0x04, 0xB2});
}

// The same as a page raster pattern, PatternDefineID 1: BeginRastPattern at
// +34.
Bytes IndexedPattern(int depth) {
  return B({0xC0, 0x01, 0xF8, 0x64, 0xC0, depth, 0xF8, 0x62, 0xC1, 0x04, 0x00, 0xF8, 0x6C, 0xC1,
            0x01, 0x00, 0xF8, 0x6B, 0xD1, 0x04, 0x00, 0x01, 0x00, 0xF8, 0x67, 0xC3, 0x01, 0x00,
            0xF8, 0x69, 0xC0, 0x01, 0xF8, 0x68, 0xB3, 0xC1, 0x00, 0x00, 0xF8, 0x6D, 0xC1, 0x01,
            0x00, 0xF8, 0x63, 0xC0, 0x00, 0xF8, 0x65, 0xB4, 0xFB, 0x04, 0x01, 0x02, 0x03, 0x04,
            0xB5});
}

// 7 bytes: Text of the one character "A" (the operator is the last byte).
Bytes TextA() { return B({0xC8, 0xC0, 0x01, 0x41, 0xF8, 0xAB, 0xA8}); }

// A font header "F" of the 8 bytes `fields` (BeginFontHeader at 46 after
// Header() + Session(), the data tag at 63, EndFontHeader at 73).
Bytes FontHeader(const Bytes &fields) {
  return B({0xC8, 0xC0, 0x01, 'F', 0xF8, 0xA8, 0xC0, 0x00, 0xF8, 0xA9, 0x4F, 0xC1, 0x08, 0x00, 0xF8,
            0xA7, 0x50, 0xFB, 0x08}) +
         fields + B({0x51});
}

// Character 0x41 of font "F" with `data` (after a FontHeader: BeginChar at
// 74, the data tag at 92).
Bytes Char(const Bytes &data) {
  const int n = static_cast<int>(data.size());
  return B({0xC8, 0xC0, 0x01, 'F', 0xF8, 0xA8, 0x52, 0xC1, 0x41, 0x00, 0xF8, 0xA2, 0xC1, n, 0x00,
            0xF8, 0xA3, 0x53, 0xFB, n}) +
         data + B({0x54});
}

const Bytes kTrueTypeFields = B({0x00, 0x00, 0x02, 0x0E, 0x01, 0x00, 0x00, 0x01});

struct RuleCase {
  const char *what;
  Bytes job;
  uint64_t offset;      // 0: the job is well formed
  const char *message;  // error name and part of the message
};

class PrinterRuleTest : public ::testing::TestWithParam<RuleCase> {};

TEST_P(PrinterRuleTest, Checked) {
  const RuleCase &c = GetParam();
  const pxllist::Listing listing = List(c.job);
  if (c.offset == 0) {
    EXPECT_TRUE(listing.ok) << pxllist::FormatError(listing.error);
  } else {
    EXPECT_TRUE(RefusedAt(listing, c.offset, c.message));
  }
}

// Offsets: InPage() is 55 bytes; Palette(2, 16) 62, Palette(2, 2) 20,
// Palette(1, 16) 30, Palette(2, 256) 783.
INSTANTIATE_TEST_SUITE_P(
    Cases, PrinterRuleTest,
    ::testing::Values(
        RuleCase{"8-bit image with a 16-entry palette", InPage() + Palette(2, 16) + IndexedImage(2) + EndAll(),
                 55 + 62 + 25, "ImagePaletteMismatch: BeginImage with 8-bit indices and a palette of 16 entries, not 256"},
        RuleCase{"1-bit image with a 16-entry palette", InPage() + Palette(1, 16) + IndexedImage(0) + EndAll(),
                 55 + 30 + 25, "ImagePaletteMismatch: BeginImage with 1-bit indices and a palette of 16 entries, not 2"},
        RuleCase{"4-bit image with a 2-entry palette", InPage() + Palette(2, 2) + IndexedImage(1) + EndAll(),
                 55 + 20 + 25, "ImagePaletteMismatch: BeginImage with 4-bit indices and a palette of 2 entries, not 16"},
        RuleCase{"8-bit pattern with a 2-entry palette", InPage() + Palette(2, 2) + IndexedPattern(2) + EndAll(),
                 55 + 20 + 34, "ImagePaletteMismatch: BeginRastPattern with 8-bit indices and a palette of 2 entries, not 256"},
        RuleCase{"1-bit image with 2 entries", InPage() + Palette(2, 2) + IndexedImage(0) + EndAll(), 0, ""},
        RuleCase{"4-bit grey image with 16 entries", InPage() + Palette(1, 16) + IndexedImage(1) + EndAll(), 0, ""},
        RuleCase{"8-bit image with 256 entries", InPage() + Palette(2, 256) + IndexedImage(2) + EndAll(), 0, ""},
        RuleCase{"1-bit pattern with 2 entries", InPage() + Palette(2, 2) + IndexedPattern(0) + EndAll(), 0, ""},
        RuleCase{"Text without a font", InPage() + TextA() + EndAll(), 61,
                 "NoCurrentFont: Text without SetFont on this page"},
        RuleCase{"Text after SetFont", InPage() + SetFontF() + TextA() + EndAll(), 0, ""},
        RuleCase{"font set on a level popped again", InPage() + B({0x61}) + SetFontF() + B({0x60}) + TextA() + EndAll(),
                 55 + 1 + 16 + 1 + 6, "NoCurrentFont"},
        RuleCase{"font of the page before", InPage() + SetFontF() + B({0x44}) + Page() + TextA() + EndAll(),
                 55 + 16 + 1 + 9 + 6, "NoCurrentFont"},
        RuleCase{"font header of format 1", Header() + Session() + FontHeader(B({1, 0, 2, 14, 254, 0, 0, 1})) + B({0x49, 0x42}),
                 63, "IllegalFontHeaderFields: font header Format 1, not 0"},
        RuleCase{"font header of scaling technology 2",
                 Header() + Session() + FontHeader(B({0, 0, 2, 14, 2, 0, 0, 1})) + B({0x49, 0x42}), 63,
                 "IllegalFontHeaderFields: font header ScalingTechnology 2"},
        // Bitmap character: LeftOffset 0, TopOffset 2, 9 x 2 dots: rows of 2 bytes.
        RuleCase{"bitmap character of its size",
                 Header() + Session() + FontHeader(BitmapFontFields()) +
                     Char(B({0, 0, 0, 0, 0, 2, 0, 9, 0, 2, 0xFF, 0x80, 0xFF, 0x80})) + B({0x49, 0x42}),
                 0, ""},
        RuleCase{"bitmap character one row short",
                 Header() + Session() + FontHeader(BitmapFontFields()) +
                     Char(B({0, 0, 0, 0, 0, 2, 0, 9, 0, 3, 0xFF, 0x80, 0xFF, 0x80})) + B({0x49, 0x42}),
                 92, "IllegalCharacterData: bitmap character of 9 x 3 dots needs 16 bytes, the data holds 14"},
        RuleCase{"TrueType character in a bitmap font",
                 Header() + Session() + FontHeader(BitmapFontFields()) +
                     Char(B({1, 0, 0, 4, 0, 7})) + B({0x49, 0x42}),
                 92, "IllegalCharacterData: character of a bitmap font is not format 0"},
        // TrueType class 1: size 10 after the first two bytes (LSB, advance,
        // glyph ID 7, two bytes of glyph data).
        RuleCase{"TrueType class 1 character",
                 Header() + Session() + FontHeader(kTrueTypeFields) +
                     Char(B({1, 1, 0, 10, 0, 1, 0, 2, 0, 7, 0xAA, 0xBB})) + B({0x49, 0x42}),
                 0, ""},
        RuleCase{"TrueType character size off by one",
                 Header() + Session() + FontHeader(kTrueTypeFields) +
                     Char(B({1, 1, 0, 11, 0, 1, 0, 2, 0, 7, 0xAA, 0xBB})) + B({0x49, 0x42}),
                 92, "IllegalCharacterData: TrueType character of class 1 says 11 bytes"},
        RuleCase{"drawing outside a page", Header() + Session() + B({0xE0, 1, 2, 3, 4, 0xF8, 0x42, 0xA0}), 53,
                 "IllegalOperatorSequence: Rectangle outside a page"},
        RuleCase{"image without its width", InPage() + ColorSpace(1) +
                     B({0xC0, 0x00, 0xF8, 0x64, 0xC0, 0x02, 0xF8, 0x62, 0xC1, 0x01, 0x00, 0xF8, 0x6B,
                        0xD1, 0x04, 0x00, 0x01, 0x00, 0xF8, 0x67, 0xB0}),
                 55 + 5 + 20, "MissingAttribute: BeginImage without its SourceWidth attribute"}),
    CaseName());

}  // namespace
}  // namespace pxltest
