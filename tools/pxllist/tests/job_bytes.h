/*
 * Building blocks of the lister's tests: byte strings written out by hand
 * from the PCL XL tables (tags, attribute identifiers, operator codes), and a
 * helper that lists a job.  Each block states its length, so that expected
 * error offsets can be counted by hand.
 */
#ifndef PXLLIST_TESTS_JOB_BYTES_H
#define PXLLIST_TESTS_JOB_BYTES_H

#include <cstdint>
#include <cctype>
#include <initializer_list>
#include <string>
#include <string_view>
#include <vector>

#include <gtest/gtest.h>

#include "pxllist/pxllist.h"

namespace pxltest {

using Bytes = std::vector<uint8_t>;

inline Bytes B(std::initializer_list<int> bytes) {
  Bytes out;
  for (int b : bytes) out.push_back(static_cast<uint8_t>(b));
  return out;
}

inline Bytes Str(std::string_view text) { return Bytes(text.begin(), text.end()); }

inline Bytes operator+(Bytes a, const Bytes &b) {
  a.insert(a.end(), b.begin(), b.end());
  return a;
}

// n bytes 0, 1, 2, ... (mod 256) from `first`.
inline Bytes Counting(size_t n, uint8_t first = 0) {
  Bytes out(n);
  for (size_t i = 0; i < n; ++i) out[i] = static_cast<uint8_t>(first + i);
  return out;
}

// ") HP-PCL XL;2;1;test" LF: 21 bytes.
inline Bytes Header() { return Str(") HP-PCL XL;2;1;test\n"); }

// 25 bytes: BeginSession (UnitsPerMeasure uint16_xy 600 600, Measure ubyte 0,
// ErrorReport ubyte 0), OpenDataSource (SourceType ubyte 0, DataOrg ubyte 1).
inline Bytes Session() {
  return B({0xD1, 0x58, 0x02, 0x58, 0x02, 0xF8, 0x89,  // UnitsPerMeasure
            0xC0, 0x00, 0xF8, 0x86,                    // Measure eInch
            0xC0, 0x00, 0xF8, 0x8F,                    // ErrorReport eNoReporting
            0x41,                                      // BeginSession
            0xC0, 0x00, 0xF8, 0x88,                    // SourceType eDefaultDataSource
            0xC0, 0x01, 0xF8, 0x82,                    // DataOrg eBinaryLowByteFirst
            0x48});                                    // OpenDataSource
}

// 9 bytes: BeginPage (Orientation ubyte 0, MediaSize ubyte 2 = A4).
inline Bytes Page() { return B({0xC0, 0x00, 0xF8, 0x28, 0xC0, 0x02, 0xF8, 0x25, 0x43}); }

// 3 bytes: EndPage, CloseDataSource, EndSession.
inline Bytes EndAll() { return B({0x44, 0x49, 0x42}); }

// The stream header, session and page opened: 55 bytes.
inline Bytes InPage() { return Header() + Session() + Page(); }

// 5 bytes: SetColorSpace (ColorSpace ubyte v).
inline Bytes ColorSpace(int v) { return B({0xC0, v, 0xF8, 0x03, 0x6A}); }

// 16 bytes: SetFont with FontName "F", CharSize ubyte 12, SymbolSet 526.
inline Bytes SetFontF() {
  return B({0xC8, 0xC0, 0x01, 'F', 0xF8, 0xA8, 0xC0, 0x0C, 0xF8, 0xA6, 0xC1, 0x0E, 0x02, 0xF8, 0xAA, 0x6F});
}

// 8 bytes: the fixed fields of a bitmap font's header (Format 0, Orientation
// 0, Mapping 526, ScalingTechnology 254, Variety 0, NumberOfChars 1).
inline Bytes BitmapFontFields() { return B({0x00, 0x00, 0x02, 0x0E, 0xFE, 0x00, 0x00, 0x01}); }

inline pxllist::Listing List(const Bytes &job, pxllist::Options options = {}) {
  pxllist::Listing listing;
  pxllist::ListJob(job, options, &listing);
  return listing;
}

// The operator records of a listing, in order.
inline std::vector<const pxllist::Record *> Operators(const pxllist::Listing &listing) {
  std::vector<const pxllist::Record *> out;
  for (const pxllist::Record &r : listing.records) {
    if (r.kind == pxllist::RecordKind::kOperator) out.push_back(&r);
  }
  return out;
}

// The first record with operator `op`, or null.
inline const pxllist::Record *FindOp(const pxllist::Listing &listing, uint8_t op) {
  for (const pxllist::Record &r : listing.records) {
    if (r.kind == pxllist::RecordKind::kOperator && r.op == op) return &r;
  }
  return nullptr;
}

// Whether the listing stopped with an error at `offset` whose text, the
// format's error name then the message ("ImagePaletteMismatch: BeginImage
// ..."), holds `message`.
inline ::testing::AssertionResult RefusedAt(const pxllist::Listing &listing, uint64_t offset,
                                            std::string_view message) {
  if (listing.ok) return ::testing::AssertionFailure() << "listed without an error";
  const std::string text = listing.error.name.empty() ? listing.error.message
                                                      : listing.error.name + ": " + listing.error.message;
  if (listing.error.offset != offset || text.find(message) == std::string::npos)
    return ::testing::AssertionFailure() << pxllist::FormatError(listing.error) << "; expected offset "
                                         << offset << " and \"" << message << "\"";
  return ::testing::AssertionSuccess();
}

// Test name of a parameterised case from its `what` text.
struct CaseName {
  template <typename Info>
  std::string operator()(const Info &info) const {
    std::string name = info.param.what;
    for (char &c : name) {
      if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
    }
    return name;
  }
};

}  // namespace pxltest

#endif  // PXLLIST_TESTS_JOB_BYTES_H
