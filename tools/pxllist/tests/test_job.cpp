/*
 * Tests of whole jobs: a complete small job (PJL header, stream header,
 * session, page, trailer with the job-information block) listed record by
 * record; the kinds of PJL lines; the stream header forms accepted and
 * refused.
 */
#include <gtest/gtest.h>

#include "job_bytes.h"

namespace pxltest {
namespace {

using pxllist::PjlKind;
using pxllist::RecordKind;

const char kUelText[] = "\x1B%-12345X";
const char kStreamHeader[] = ") HP-PCL XL;2;1;QZKRL2-2.1.0,WINNT-5.1,KRL2DRV-1.1.0.0\n";

TEST(Job, CompleteSmallJobIsListedRecordByRecord) {
  const Bytes pjl = Str(kUelText) + Str("@PJL COMMENT DATE=01/02/2024\n") +
                    Str("@PJL COMMENT TIME=10:20:30\n") + Str("@PJL SET JOBATTR=\"@HCPN=    2\"\n") +
                    Str("                    \n") + Str("@PJL SET RESOLUTION=600\n");
  const Bytes xl =
      Str(kStreamHeader) + Session() +
      B({0xC8, 0xC0, 0x03, 'B', 'e', 'g', 0xF8, 0x81, 0x47}) +         // Comment "Beg"
      B({0xC0, 0x00, 0xF8, 0x28,                                       // Orientation 0
         0xC8, 0xC0, 0x05, 'T', 'R', 'A', 'Y', '5', 0xF8, 0x26,        // MediaSource "TRAY5"
         0xC0, 0x02, 0xF8, 0x25, 0x43}) +                              // MediaSize 2, BeginPage
      B({0xC3, 0x5A, 0x00, 0xF8, 0x29, 0x76}) +                        // SetPageRotation 90
      B({0x74}) +                                                      // SetPageDefaultCTM
      B({0xD3, 0x64, 0x00, 0x9C, 0xFF, 0xF8, 0x2A, 0x75}) +            // SetPageOrigin (100, -100)
      B({0xD5, 0x00, 0x00, 0x80, 0x3F, 0x00, 0x00, 0x00, 0x40, 0xF8, 0x2B, 0x77}) +  // SetPageScale
      ColorSpace(1) +                                                  // SetColorSpace eGray
      B({0xC0, 0x00, 0xF8, 0x09, 0x63}) +                              // SetBrushSource GrayLevel 0
      B({0xC0, 0x00, 0xF8, 0x05, 0x79}) +                              // SetPenSource NullPen
      B({0x85}) +                                                      // NewPath
      B({0xE0, 0x0A, 0x14, 0x1E, 0x28, 0xF8, 0x42, 0xA0}) +            // Rectangle
      B({0x44}) +                                                      // EndPage
      B({0xC8, 0xC0, 0x03, 'E', 'n', 'd', 0xF8, 0x81, 0x47}) +         // Comment "End"
      B({0x49, 0x42});                                                 // CloseDataSource, EndSession
  const Bytes trailer = Str(kUelText) + Str("@PJL COMMENT QZJOBINFO VERSION=1.1.0\n") +
                        Str("@PJL COMMENT QZJOBINFO END\n") + Str("@EOJO\n");
  const Bytes job = pjl + xl + trailer;
  const pxllist::Listing listing = List(job);
  ASSERT_TRUE(listing.ok) << pxllist::FormatError(listing.error);

  struct Expect {
    RecordKind kind;
    PjlKind pjl;
    uint8_t op;
  };
  const auto P = [](PjlKind k) { return Expect{RecordKind::kPjlLine, k, 0}; };
  const auto O = [](uint8_t op) { return Expect{RecordKind::kOperator, PjlKind::kOther, op}; };
  const std::vector<Expect> expected = {
      P(PjlKind::kUel), P(PjlKind::kComment), P(PjlKind::kComment), P(PjlKind::kCommand),
      P(PjlKind::kOther), P(PjlKind::kCommand),
      {RecordKind::kStreamHeader, PjlKind::kOther, 0},
      O(0x41), O(0x48), O(0x47), O(0x43), O(0x76), O(0x74), O(0x75), O(0x77), O(0x6A), O(0x63),
      O(0x79), O(0x85), O(0xA0), O(0x44), O(0x47), O(0x49), O(0x42),
      P(PjlKind::kUel), P(PjlKind::kJobInfo), P(PjlKind::kJobInfo), P(PjlKind::kEndOfJob)};
  ASSERT_EQ(listing.records.size(), expected.size());
  for (size_t i = 0; i < expected.size(); ++i) {
    const pxllist::Record &r = listing.records[i];
    EXPECT_EQ(r.kind, expected[i].kind) << i;
    if (r.kind == RecordKind::kPjlLine) {
      EXPECT_EQ(r.pjl, expected[i].pjl) << i;
    }
    if (r.kind == RecordKind::kOperator) {
      EXPECT_EQ(r.op, expected[i].op) << i;
    }
    EXPECT_EQ(r.depth, 0u);
    if (i > 0) {
      const pxllist::Record &prev = listing.records[i - 1];
      EXPECT_EQ(r.offset, prev.offset + prev.length) << "records cover the job, record " << i;
    }
  }
  EXPECT_EQ(listing.records.back().offset + listing.records.back().length, job.size());

  EXPECT_EQ(listing.records[1].text, "@PJL COMMENT DATE=01/02/2024");
  EXPECT_EQ(listing.records[4].text, std::string(20, ' '));
  const pxllist::Record &header = listing.records[6];
  EXPECT_EQ(header.offset, pjl.size());
  EXPECT_EQ(header.binding, ')');
  EXPECT_EQ(header.family, "HP-PCL XL");
  EXPECT_EQ(header.protocol_class, 2);
  EXPECT_EQ(header.protocol_revision, 1);
  EXPECT_EQ(header.header_comment, "QZKRL2-2.1.0,WINNT-5.1,KRL2DRV-1.1.0.0");

  const pxllist::Record &session = listing.records[7];
  EXPECT_EQ(session.offset, pjl.size() + 55);
  EXPECT_EQ(session.op_offset, pjl.size() + 55 + 15);
  ASSERT_EQ(session.attributes.size(), 3u);
  EXPECT_EQ(session.attributes[0].name, "UnitsPerMeasure");
  EXPECT_EQ(session.attributes[0].values, (std::vector<double>{600, 600}));

  const pxllist::Record &page = listing.records[10];
  const pxllist::Attribute *source = pxllist::FindAttribute(page, pxllist::attr::kMediaSource);
  ASSERT_NE(source, nullptr);
  EXPECT_EQ(source->type, pxllist::DataType::kUByteArray);
  EXPECT_EQ(pxllist::AttributeText(*source), "TRAY5");
  EXPECT_EQ(listing.records[11].attributes[0].values, (std::vector<double>{90}));
  EXPECT_EQ(listing.records[13].attributes[0].values, (std::vector<double>{100, -100}));
  EXPECT_EQ(listing.records[14].attributes[0].values, (std::vector<double>{1.0, 2.0}));
  EXPECT_EQ(listing.records[19].attributes[0].values, (std::vector<double>{10, 20, 30, 40}));
  EXPECT_EQ(pxllist::AttributeText(listing.records[21].attributes[0]), "End");

  const pxllist::Record &uel = listing.records[24];
  EXPECT_EQ(uel.offset, pjl.size() + xl.size());
  EXPECT_EQ(uel.length, 9u);
  EXPECT_EQ(listing.records[27].text, "@EOJO");
}

struct PjlCase {
  const char *line;  // with its line end
  PjlKind kind;
  const char *text;
};

class PjlLineTest : public ::testing::TestWithParam<PjlCase> {};

TEST_P(PjlLineTest, Classified) {
  const PjlCase &c = GetParam();
  const pxllist::Listing listing = List(Str(kUelText) + Str(c.line));
  ASSERT_TRUE(listing.ok) << pxllist::FormatError(listing.error);
  ASSERT_EQ(listing.records.size(), 2u);
  EXPECT_EQ(listing.records[1].pjl, c.kind);
  EXPECT_EQ(listing.records[1].text, c.text);
  EXPECT_EQ(listing.records[1].length, std::string(c.line).size());
}

INSTANTIATE_TEST_SUITE_P(
    Lines, PjlLineTest,
    ::testing::Values(PjlCase{"@PJL\n", PjlKind::kCommand, "@PJL"},
                      PjlCase{"@PJL JOB MODE=PRINTER\n", PjlKind::kCommand, "@PJL JOB MODE=PRINTER"},
                      PjlCase{"@PJL COMMENT DNAME=report.txt\n", PjlKind::kComment,
                              "@PJL COMMENT DNAME=report.txt"},
                      PjlCase{"@PJL COMMENT QZJOBINFO PAGEINFO=SIZE[A4]\n", PjlKind::kJobInfo,
                              "@PJL COMMENT QZJOBINFO PAGEINFO=SIZE[A4]"},
                      PjlCase{"@PJL EOJ\n", PjlKind::kEndOfJob, "@PJL EOJ"},
                      PjlCase{"@PJL EOJ NAME=\"x\"\n", PjlKind::kEndOfJob, "@PJL EOJ NAME=\"x\""},
                      PjlCase{"@EOJO\n", PjlKind::kEndOfJob, "@EOJO"},
                      PjlCase{"@BKTP=6\n", PjlKind::kOther, "@BKTP=6"},
                      PjlCase{"@PJLX\n", PjlKind::kOther, "@PJLX"},
                      PjlCase{"@PJL COMMENT QZJOBINFO END\r\n", PjlKind::kJobInfo,
                              "@PJL COMMENT QZJOBINFO END"},
                      PjlCase{"@PJL COMMENT DNAME=\xC3\xA9t\xC3\xA9\n", PjlKind::kComment,
                              "@PJL COMMENT DNAME=\xC3\xA9t\xC3\xA9"}));

struct HeaderCase {
  const char *line;
  bool ok;
  const char *family;
  int protocol_class;
  int revision;
  const char *comment;
  uint64_t error_offset = 0;
};

class StreamHeaderTest : public ::testing::TestWithParam<HeaderCase> {};

TEST_P(StreamHeaderTest, AcceptedOrRefused) {
  const HeaderCase &c = GetParam();
  const pxllist::Listing listing = List(Str(c.line) + Session() + B({0x49, 0x42}));
  ASSERT_EQ(listing.ok, c.ok) << c.line << ": " << listing.error.message;
  if (!c.ok) {
    EXPECT_EQ(listing.error.offset, c.error_offset);
    return;
  }
  const pxllist::Record &h = listing.records.at(0);
  EXPECT_EQ(h.kind, RecordKind::kStreamHeader);
  EXPECT_EQ(h.family, c.family);
  EXPECT_EQ(h.protocol_class, c.protocol_class);
  EXPECT_EQ(h.protocol_revision, c.revision);
  EXPECT_EQ(h.header_comment, c.comment);
}

INSTANTIATE_TEST_SUITE_P(
    Forms, StreamHeaderTest,
    ::testing::Values(
        HeaderCase{kStreamHeader, true, "HP-PCL XL", 2, 1, "QZKRL2-2.1.0,WINNT-5.1,KRL2DRV-1.1.0.0"},
        HeaderCase{") HP-PCL XL;2;0\n", true, "HP-PCL XL", 2, 0, ""},
        HeaderCase{") HP-PCL XL;1;1;a;b\n", true, "HP-PCL XL", 1, 1, "a;b"},
        HeaderCase{") BROADCOM;1;0;x\n", true, "BROADCOM", 1, 0, "x"},
        HeaderCase{"( HP-PCL XL;2;1\n", false, "", 0, 0, ""},
        HeaderCase{"' HP-PCL XL;2;1\n", false, "", 0, 0, ""},
        HeaderCase{") HP-PCL XL;2\n", false, "", 0, 0, ""},
        HeaderCase{") HP-PCL XL;x;1\n", false, "", 0, 0, ""},
        HeaderCase{") ;2;1\n", false, "", 0, 0, ""},
        HeaderCase{") HP-PCL XL;2;1;\x01\n", false, "", 0, 0, "", 16},
        HeaderCase{") HP-PCL XL;2;1", false, "", 0, 0, ""}));

TEST(Job, TwoJobsInARow) {
  // Two complete jobs, each with its own PJL part and stream.
  const Bytes one = Str(kUelText) + Str("@PJL\n") + Header() + Session() + B({0x49, 0x42}) +
                    Str(kUelText) + Str("@PJL EOJ\n");
  const pxllist::Listing listing = List(one + one);
  ASSERT_TRUE(listing.ok) << pxllist::FormatError(listing.error);
  size_t headers = 0;
  for (const pxllist::Record &r : listing.records) headers += r.kind == RecordKind::kStreamHeader;
  EXPECT_EQ(headers, 2u);
}

TEST(Job, BareStreamWithoutPjl) {
  const pxllist::Listing listing = List(Header() + Session() + Page() + EndAll());
  ASSERT_TRUE(listing.ok) << pxllist::FormatError(listing.error);
  EXPECT_EQ(listing.records.size(), 7u);
}

TEST(Job, NullListingIsRefused) {
  const Bytes job = Header();
  EXPECT_FALSE(pxllist::ListJob(job, {}, nullptr));
}

TEST(Job, EmptyInputIsAnEmptyJob) {
  const pxllist::Listing listing = List({});
  EXPECT_TRUE(listing.ok);
  EXPECT_TRUE(listing.records.empty());
}

}  // namespace
}  // namespace pxltest
