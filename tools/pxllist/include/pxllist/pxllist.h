/*
 * The PJL and PCL XL job lister: splits a print job into its PJL lines and
 * its PCL XL stream(s), decodes every operator with its attributes and
 * embedded data (image and pattern rows decompressed), checks the stream's
 * structure, and formats a readable listing.  Tests assert on the decoded
 * records; the `pxllist` command prints them.
 *
 * The lister keeps its own tables of the format (data types, operators,
 * attributes, compressions) and shares nothing with the driver's encoder, so
 * that it can check the encoder's output.  It depends on the C++ standard
 * library and libjpeg only.
 */
#ifndef PXLLIST_PXLLIST_H
#define PXLLIST_PXLLIST_H

#include <cstdint>
#include <span>
#include <string>
#include <string_view>
#include <vector>

namespace pxllist {

// PCL XL data-type tags (the values are the tag bytes).
enum class DataType : uint8_t {
  kUByte = 0xC0,
  kUInt16 = 0xC1,
  kUInt32 = 0xC2,
  kSInt16 = 0xC3,
  kSInt32 = 0xC4,
  kReal32 = 0xC5,
  kUByteArray = 0xC8,
  kUInt16Array = 0xC9,
  kUInt32Array = 0xCA,
  kSInt16Array = 0xCB,
  kSInt32Array = 0xCC,
  kReal32Array = 0xCD,
  kUByteXY = 0xD0,
  kUInt16XY = 0xD1,
  kUInt32XY = 0xD2,
  kSInt16XY = 0xD3,
  kSInt32XY = 0xD4,
  kReal32XY = 0xD5,
  kUByteBox = 0xE0,
  kUInt16Box = 0xE1,
  kUInt32Box = 0xE2,
  kSInt16Box = 0xE3,
  kSInt32Box = 0xE4,
  kReal32Box = 0xE5,
};

// Operator codes of the operators the lister checks in detail.
namespace op {
constexpr uint8_t kBeginSession = 0x41, kEndSession = 0x42, kBeginPage = 0x43, kEndPage = 0x44,
                  kComment = 0x47, kOpenDataSource = 0x48, kCloseDataSource = 0x49,
                  kBeginFontHeader = 0x4F, kReadFontHeader = 0x50, kEndFontHeader = 0x51,
                  kBeginChar = 0x52, kReadChar = 0x53, kEndChar = 0x54, kRemoveFont = 0x55,
                  kSetCharAttributes = 0x56, kBeginStream = 0x5B, kReadStream = 0x5C,
                  kEndStream = 0x5D, kExecStream = 0x5E, kPopGS = 0x60, kPushGS = 0x61,
                  kSetClipReplace = 0x62, kSetBrushSource = 0x63, kSetCharAngle = 0x64,
                  kSetCharScale = 0x65, kSetCharShear = 0x66, kSetClipRectangle = 0x68,
                  kSetClipToPage = 0x69, kSetColorSpace = 0x6A, kSetCursor = 0x6B,
                  kSetFillMode = 0x6E, kSetFont = 0x6F, kSetLineDash = 0x70, kSetLineCap = 0x71,
                  kSetLineJoin = 0x72, kSetMiterLimit = 0x73, kSetPageDefaultCTM = 0x74,
                  kSetPageOrigin = 0x75, kSetPageRotation = 0x76, kSetPageScale = 0x77,
                  kSetPatternTxMode = 0x78, kSetPenSource = 0x79, kSetPenWidth = 0x7A,
                  kSetROP = 0x7B, kSetSourceTxMode = 0x7C, kSetCharBoldValue = 0x7D,
                  kSetClipMode = 0x7F, kSetCharSubMode = 0x81, kCloseSubPath = 0x84,
                  kNewPath = 0x85, kPaintPath = 0x86, kBezierPath = 0x93, kBezierRelPath = 0x95,
                  kEllipse = 0x98, kLinePath = 0x9B, kLineRelPath = 0x9D, kRectangle = 0xA0,
                  kText = 0xA8, kBeginImage = 0xB0, kReadImage = 0xB1, kEndImage = 0xB2,
                  kBeginRastPattern = 0xB3, kReadRastPattern = 0xB4, kEndRastPattern = 0xB5;
}  // namespace op

// Attribute identifiers of the attributes the lister checks in detail.
namespace attr {
constexpr uint16_t kPaletteDepth = 2, kColorSpace = 3, kNullBrush = 4, kNullPen = 5,
                   kPaletteData = 6, kPatternSelectID = 8, kGrayLevel = 9, kRGBColor = 11,
                   kPatternOrigin = 12, kNewDestinationSize = 13, kMediaDestination = 36,
                   kMediaSize = 37, kMediaSource = 38, kMediaType = 39, kOrientation = 40,
                   kPageAngle = 41, kPageOrigin = 42, kPageScale = 43, kROP3 = 44, kTxMode = 45,
                   kCustomMediaSize = 47, kCustomMediaSizeUnits = 48, kPageCopies = 49,
                   kSimplexPageMode = 52, kDuplexPageMode = 53, kDuplexPageSide = 54,
                   kBoundingBox = 66, kDashOffset = 67, kEndPoint = 69, kFillMode = 70,
                   kLineCapStyle = 71, kLineJoinStyle = 72, kMiterLength = 73,
                   kLineDashStyle = 74, kPenWidth = 75, kPoint = 76, kNumberOfPoints = 77,
                   kSolidLine = 78, kPointType = 80, kControlPoint1 = 81, kControlPoint2 = 82,
                   kClipRegion = 83, kClipMode = 84, kColorDepth = 98, kBlockHeight = 99,
                   kColorMapping = 100, kCompressMode = 101, kDestinationSize = 103,
                   kPatternPersistence = 104, kPatternDefineID = 105, kSourceHeight = 107,
                   kSourceWidth = 108, kStartLine = 109, kPadBytesMultiple = 110,
                   kBlockByteLength = 111, kCommentData = 129, kDataOrg = 130, kMeasure = 134,
                   kSourceType = 136, kUnitsPerMeasure = 137, kStreamName = 139,
                   kStreamDataLength = 140, kErrorReport = 143, kCharAngle = 161,
                   kCharCode = 162, kCharDataSize = 163, kCharScale = 164, kCharShear = 165,
                   kCharSize = 166, kFontHeaderLength = 167, kFontName = 168, kFontFormat = 169,
                   kSymbolSet = 170, kTextData = 171, kCharSubModeArray = 172,
                   kWritingMode = 173, kXSpacingData = 175, kYSpacingData = 176,
                   kCharBoldValue = 177;
}  // namespace attr

// One attribute of an operator: its identifier, the type tag of its value and
// the value's elements (one for a single value, two for an xy pair, four for
// a box, the array's elements for an array).  Every element of every type is
// held exactly by a double.
struct Attribute {
  uint16_t id = 0;
  std::string_view name;  // the format's name, or empty for an unknown identifier
  DataType type = DataType::kUByte;
  uint64_t offset = 0;    // offset of the value's type tag
  std::vector<double> values;
};

struct Point {
  int32_t x = 0;
  int32_t y = 0;
  bool operator==(const Point &) const = default;
};

enum class RecordKind : uint8_t { kPjlLine, kStreamHeader, kOperator };

// What a PJL line is.
enum class PjlKind : uint8_t {
  kUel,       // the universal exit language, ESC "%-12345X"
  kCommand,   // "@PJL ..." other than the kinds below
  kComment,   // "@PJL COMMENT ..."
  kJobInfo,   // "@PJL COMMENT QZJOBINFO ..."
  kEndOfJob,  // "@PJL EOJ ..." or "@EOJO"
  kOther,     // any other "@..." line, or a line of blanks (a slot placeholder)
};

// One decoded piece of a job.  Offsets are byte offsets into the job, also
// for the records of user-defined stream data, which are listed after the
// stream's EndStream with a depth one greater.
struct Record {
  RecordKind kind = RecordKind::kOperator;
  uint64_t offset = 0;  // first byte (of an operator: of its first attribute)
  uint64_t length = 0;  // bytes up to the record's end (line end, operator or data included)
  uint32_t depth = 0;   // 0 for the job itself, n inside user-stream data of depth n

  // PJL line: its kind and its text without the line end (empty for the UEL).
  // Stream header: the whole line without its line end.
  PjlKind pjl = PjlKind::kOther;
  std::string text;

  // Stream header: binding character, family name ("HP-PCL XL"), protocol
  // class and revision, and the comment after the third ";" (may be empty).
  char binding = 0;
  std::string family;
  int protocol_class = 0;
  int protocol_revision = 0;
  std::string header_comment;

  // Operator.
  uint8_t op = 0;
  std::string_view op_name;
  uint64_t op_offset = 0;
  std::vector<Attribute> attributes;

  // Embedded data that follows the operator.  `data` holds the bytes unless
  // Options::keep_data is off.
  bool has_data = false;
  uint64_t data_offset = 0;  // offset of the 0xFA or 0xFB tag
  uint32_t data_length = 0;
  std::vector<uint8_t> data;

  // Path operators with embedded points: the points as the data holds them.
  std::vector<Point> points;

  // ReadImage and ReadRastPattern: the block's rows after decompression,
  // without pad bytes, row_count rows of row_length bytes one after another
  // (empty unless Options::keep_rows is on).
  uint32_t row_length = 0;
  uint32_t row_count = 0;
  std::vector<uint8_t> rows;
};

struct Error {
  uint64_t offset = 0;
  // The format's name of the error a printer reports for it
  // ("ImagePaletteMismatch", "MissingAttribute", "IllegalOperatorSequence",
  // ...); empty for faults of the PJL part, which has no such names.
  std::string name;
  std::string message;
};

struct Options {
  // The input is the data of a user-defined stream, as a form file holds it:
  // a stream header line, then operators as they run inside a page, with no
  // PJL, session or page operators.
  bool stream_body = false;
  bool keep_data = true;   // copy embedded data into Record::data
  bool keep_rows = true;   // keep decompressed image and pattern rows
  // Upper bound of the image and pattern bytes decompressed over the whole
  // job (pad bytes included); a job that needs more is refused.
  uint64_t max_decoded_bytes = uint64_t{1} << 30;
};

struct Listing {
  std::vector<Record> records;
  bool ok = true;
  Error error;  // the first structural error, when ok is false
};

// Lists one job (or one stream body, see Options).  Fills `listing` with the
// records decoded up to the end of the input or up to the first structural
// error, which ends the listing.  Returns true when the whole input is a well
// formed job; false with listing->error set otherwise, and also when the
// listing is null.  Never reads outside `job`.
bool ListJob(std::span<const uint8_t> job, const Options &options, Listing *listing);

// One line of readable text for a record (no line end); records of user
// stream data are indented by their depth.
std::string FormatRecord(const Record &record);

// "error at offset N (0xN): ErrorName: message" (without the name where the
// error has none).
std::string FormatError(const Error &error);

// The format's names; an empty view for a code the format does not define.
std::string_view OperatorName(uint8_t code);
std::string_view AttributeName(uint16_t id);
std::string_view DataTypeName(DataType type);

// The first attribute of the record with this identifier, or null.
const Attribute *FindAttribute(const Record &record, uint16_t id);

// The elements of a ubyte or uint16 array as bytes (each element's low byte),
// for text such as comments, font and stream names.
std::string AttributeText(const Attribute &attribute);

}  // namespace pxllist

#endif  // PXLLIST_PXLLIST_H
