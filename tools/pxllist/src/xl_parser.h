/*
 * The PCL XL part of the lister: the stream header line, then commands
 * (attribute lists, operators, embedded data) with the structure checks:
 * session, data source and page nesting, where each operator may stand,
 * attribute types and values, embedded-data lengths, and image and pattern
 * rows after decompression.  One parser reads one PCL XL stream of a job;
 * the data of a user-defined stream is read by a parser of its own when the
 * stream's definition ends.
 */
#ifndef PXLLIST_XL_PARSER_H
#define PXLLIST_XL_PARSER_H

#include <cstdint>
#include <map>
#include <set>
#include <span>
#include <string>
#include <vector>

#include "pxllist/pxllist.h"
#include "xl_raster.h"

namespace pxllist {

// State of one listing, shared by the job's parsers.
struct Shared {
  const Options &options;
  Listing &listing;
  uint64_t budget;  // decoded image bytes still allowed

  // Ends the listing with an error at a byte offset of the job, `name` being
  // the format's name of the error (empty outside PCL XL); returns false.
  bool Fail(uint64_t offset, std::string_view name, std::string message);
};

// Maps offsets in a parser's data to offsets in the job: the data of a user
// stream is the concatenation of its ReadStream blocks.
struct Segment {
  uint64_t local;  // first byte of the segment in the parser's data
  uint64_t job;    // the same byte in the job
};

// What the graphics state holds as colour space and font, per graphics-state
// level.
struct ColorState {
  enum Kind : uint8_t {
    kNotSet,     // nothing set on this page yet
    kInherited,  // stream data: whatever the caller has
    kUnknown,    // stream data: changed in a way the lister cannot follow
    kSet,
  };
  Kind kind = kNotSet;
  uint8_t space = 0;             // ColorSpace value
  uint16_t palette_entries = 0;  // 0 = no palette
  enum Font : uint8_t {
    kNoFont,      // no SetFont on this page yet: Text fails with NoCurrentFont
    kFontSet,
    kCallerFont,  // stream data: whatever font the caller has
  };
  Font font = kNoFont;
};

// A downloaded font as its header describes it.
struct FontInfo {
  uint8_t technology = 0;  // ScalingTechnology: 1 TrueType, 254 bitmap
};

// What running a user stream does to the caller's colour state: the state of
// the level it started at, and the levels it leaves pushed.
struct StreamEffect {
  std::vector<ColorState> levels;  // levels[0] = the starting level
};

using StreamMap = std::map<std::string, StreamEffect>;

class XlParser {
 public:
  // `data` is the stream (the whole job for a job's stream), `segments` maps
  // its offsets to the job, `depth` is 0 for the job and n for user stream
  // data of nesting n; `body` selects the rules of stream data (operators as
  // inside a page, no session).  `streams` holds the user streams defined in
  // the job's current PCL XL stream.
  XlParser(Shared &shared, std::span<const uint8_t> data, std::vector<Segment> segments,
           uint32_t depth, bool body, StreamMap *streams);

  // Reads the stream header line at *pos and moves past it.
  bool ParseHeader(size_t *pos);

  // Reads commands from *pos to the end of the data or to an escape byte (a
  // universal exit), where *pos is left.
  bool ParseCommands(size_t *pos);

  // Checks that the stream may end at `pos` (no open session).
  bool Finish(size_t pos);

  // Stream data: an optional (or required) header line, then commands to the
  // end of the data, which must not leave an image, pattern, font or stream
  // definition open.
  bool ParseBody(bool header_required);

  // The colour-state effect of the stream data read by ParseBody.
  StreamEffect Effect() const;

 private:
  uint64_t JobOffset(uint64_t local) const;
  bool Fail(uint64_t local, std::string_view name, std::string message);
  bool FailAt(uint64_t job_offset, std::string_view name, std::string message);

  bool ParseCommand(size_t *pos);
  bool ParseValue(size_t *pos, Attribute *value);
  bool ParseData(size_t *pos, Record *rec, std::span<const uint8_t> *data);
  bool CheckPlace(const Record &rec);
  bool CheckAttributes(const Record &rec);
  bool Apply(Record *rec, std::span<const uint8_t> data);

  bool BeginPage(const Record &rec);
  bool SetColorSpace(const Record &rec);
  bool EndFontHeader(const Record &rec);
  bool ReadChar(const Record &rec, std::span<const uint8_t> data);
  bool SetSource(const Record &rec);
  bool SetLineDash(const Record &rec);
  bool SetPageScale(const Record &rec);
  bool PathPoints(Record *rec, std::span<const uint8_t> data);
  bool Text(const Record &rec);
  bool BeginRaster(const Record &rec);
  bool ReadRaster(Record *rec, std::span<const uint8_t> data);
  bool EndRaster(const Record &rec);
  bool ExecStream(const Record &rec);
  bool DefineStream();

  Shared &shared_;
  std::span<const uint8_t> data_;
  std::vector<Segment> segments_;
  uint32_t depth_;
  bool body_;
  StreamMap *streams_;

  enum class Block : uint8_t { kNone, kImage, kPattern, kFontHeader, kChar, kStream };
  bool in_session_ = false;
  bool source_open_ = false;
  bool in_page_ = false;
  bool big_endian_data_ = false;
  Block block_ = Block::kNone;
  std::vector<ColorState> gs_;

  RasterState raster_;
  int pattern_id_ = 0;
  int pattern_persistence_ = 0;
  std::set<int> page_patterns_;
  std::set<int> session_patterns_;

  std::map<std::string, FontInfo> fonts_;
  std::string font_name_;
  std::vector<uint8_t> font_header_;  // the first bytes of the open font header
  uint64_t font_header_offset_ = 0;   // job offset of its first data block
  uint64_t font_header_length_ = 0;
  FontInfo char_font_;                // the font of the open character block

  std::string stream_name_;
  std::vector<uint8_t> stream_data_;
  std::vector<Segment> stream_segments_;
};

}  // namespace pxllist

#endif  // PXLLIST_XL_PARSER_H
