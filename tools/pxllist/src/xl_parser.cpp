/*
 * Reading and checking of PCL XL streams (binary binding, little-endian).
 *
 * A command is a list of attributes (each a typed value followed by an
 * attribute tag and identifier), an operator byte, and for the operators that
 * read data an embedded data block.  Each command becomes one Record; the
 * first fault ends the listing with the offset of the byte where it shows:
 * the type tag of a value, the attribute tag, the operator byte or the tag of
 * the embedded data.
 *
 * Each fault is reported with the name a printer gives it
 * (ImagePaletteMismatch, MissingAttribute, IllegalAttributeDataType,
 * IllegalOperatorSequence, ...).  The checks include those a printer makes
 * while it runs the job: an indexed image or pattern needs a palette of
 * exactly 2^depth entries, Text needs a font set on the page, and each
 * character's data must fit the header of its font.
 *
 * Departures from a strict reading that the driver makes on purpose and the
 * lister accepts: a graphics-state stack that is not empty at EndPage,
 * MediaSource given as a ubyte_array name ("TRAY5"), array lengths written
 * as uint16 even when short, and user-stream data that begins with its own
 * stream header line.
 */
#include "xl_parser.h"

#include <algorithm>
#include <bit>
#include <cstring>
#include <utility>

#include "text_util.h"
#include "xl_tables.h"

namespace pxllist {
namespace {

// The fixed fields at the start of a font header: Format, Orientation,
// Mapping (2 bytes), ScalingTechnology, Variety, NumberOfChars (2 bytes).
constexpr size_t kFontHeaderFields = 8;
constexpr uint8_t kTrueTypeTechnology = 1, kBitmapTechnology = 254;

uint16_t LoadBe16(const uint8_t *p) { return static_cast<uint16_t>(p[0] << 8 | p[1]); }

bool IsBindingByte(uint8_t b) { return b == ')' || b == '(' || b == '\''; }

const Attribute *Find(const Record &rec, uint16_t id) { return FindAttribute(rec, id); }

// The first element of an attribute as an unsigned number (0 when absent).
uint32_t U32(const Attribute *a) {
  if (!a || a->values.empty() || !(a->values[0] >= 0)) return 0;
  return a->values[0] >= 4294967295.0 ? 0xFFFFFFFFu : static_cast<uint32_t>(a->values[0]);
}

// A name of the format's tables as a C string: the tables hold string
// literals, so a name's view ends at a terminating zero.
const char *CStr(std::string_view name) { return name.empty() ? "" : name.data(); }

const char *Name(const Attribute &a) { return a.name.empty() ? "attribute" : CStr(a.name); }

std::string TypeList(uint64_t mask) {
  std::string out;
  for (int bit = 0; bit < 64; ++bit) {
    if (!(mask & (uint64_t{1} << bit))) continue;
    if (!out.empty()) out += " or ";
    out += DataTypeName(static_cast<DataType>(0xC0 + bit));
  }
  return out;
}

const char *BlockName(int block) {
  static const char *const kNames[] = {"", "an image", "a raster pattern", "a font header",
                                       "a character", "a stream definition"};
  return kNames[block];
}

// Operators that belong inside a block, and the block they need.
int BlockOf(uint8_t op) {
  switch (op) {
    case op::kReadImage: case op::kEndImage: return 1;
    case op::kReadRastPattern: case op::kEndRastPattern: return 2;
    case op::kReadFontHeader: case op::kEndFontHeader: return 3;
    case op::kReadChar: case op::kEndChar: return 4;
    case op::kReadStream: case op::kEndStream: return 5;
    default: return 0;
  }
}

}  // namespace

bool Shared::Fail(uint64_t offset, std::string_view name, std::string message) {
  if (listing.ok) {
    listing.ok = false;
    listing.error = {offset, std::string(name), std::move(message)};
  }
  return false;
}

XlParser::XlParser(Shared &shared, std::span<const uint8_t> data, std::vector<Segment> segments,
                   uint32_t depth, bool body, StreamMap *streams)
    : shared_(shared), data_(data), segments_(std::move(segments)), depth_(depth), body_(body),
      streams_(streams) {
  if (body_) {
    // Stream data runs inside the caller's page with the caller's state.
    in_session_ = source_open_ = in_page_ = true;
    gs_.push_back({ColorState::kInherited, 0, 0, ColorState::kCallerFont});
  }
}

uint64_t XlParser::JobOffset(uint64_t local) const {
  auto it = std::upper_bound(segments_.begin(), segments_.end(), local,
                             [](uint64_t v, const Segment &s) { return v < s.local; });
  const Segment &seg = it == segments_.begin() ? segments_.front() : *(it - 1);
  return seg.job + (local - seg.local);
}

bool XlParser::Fail(uint64_t local, std::string_view name, std::string message) {
  return shared_.Fail(JobOffset(local), name, std::move(message));
}

bool XlParser::FailAt(uint64_t job_offset, std::string_view name, std::string message) {
  return shared_.Fail(job_offset, name, std::move(message));
}

bool XlParser::ParseHeader(size_t *pos) {
  const size_t at = *pos;
  const uint8_t *d = data_.data();
  const uint8_t *lf =
      static_cast<const uint8_t *>(std::memchr(d + at, '\n', data_.size() - at));
  if (!lf) return Fail(at, "IllegalStreamHeader", "stream header without a line end");
  const std::string line(reinterpret_cast<const char *>(d + at), lf - (d + at));
  if (line[0] == '(')
    return Fail(at, "UnsupportedBinding", "stream header selects the big-endian binding, which is not read here");
  if (line[0] == '\'') return Fail(at, "UnsupportedBinding", "stream header selects the ASCII binding, which is not read here");
  for (size_t i = 0; i < line.size(); ++i) {
    const uint8_t c = static_cast<uint8_t>(line[i]);
    if (c < 0x20 || c == 0x7F) return Fail(at + i, "IllegalStreamHeader", Printf("control byte 0x%02X in the stream header", c));
  }
  // ") " family ";" class ";" revision [";" comment]
  Record rec;
  rec.kind = RecordKind::kStreamHeader;
  rec.offset = JobOffset(at);
  rec.length = line.size() + 1;
  rec.depth = depth_;
  rec.text = line;
  rec.binding = line[0];
  const size_t s1 = line.find(';', 2);
  const size_t s2 = s1 == std::string::npos ? s1 : line.find(';', s1 + 1);
  auto number = [](const std::string &s, int *out) {
    if (s.empty() || s.size() > 4) return false;
    int v = 0;
    for (char c : s) {
      if (c < '0' || c > '9') return false;
      v = v * 10 + (c - '0');
    }
    *out = v;
    return true;
  };
  if (line.size() < 2 || line[1] != ' ' || s2 == std::string::npos || s1 == 2)
    return Fail(at, "IllegalStreamHeader", "stream header is not \") <family>;<class>;<revision>[;<comment>]\"");
  const size_t s3 = line.find(';', s2 + 1);
  rec.family = line.substr(2, s1 - 2);
  if (!number(line.substr(s1 + 1, s2 - s1 - 1), &rec.protocol_class) ||
      !number(line.substr(s2 + 1, s3 == std::string::npos ? std::string::npos : s3 - s2 - 1),
              &rec.protocol_revision))
    return Fail(at, "IllegalStreamHeader", "stream header protocol class and revision are not numbers");
  if (s3 != std::string::npos) rec.header_comment = line.substr(s3 + 1);
  shared_.listing.records.push_back(std::move(rec));
  *pos = static_cast<size_t>(lf - d) + 1;
  return true;
}

bool XlParser::ParseCommands(size_t *pos) {
  while (*pos < data_.size() && data_[*pos] != 0x1B) {
    if (!ParseCommand(pos)) return false;
  }
  return true;
}

bool XlParser::Finish(size_t pos) {
  const char *where = pos < data_.size() ? "universal exit" : "end of input";
  if (block_ != Block::kNone)
    return Fail(pos, "IllegalOperatorSequence", Printf("%s inside %s", where, BlockName(static_cast<int>(block_))));
  if (in_page_) return Fail(pos, "IllegalOperatorSequence", Printf("%s inside a page (EndPage missing)", where));
  if (in_session_) return Fail(pos, "IllegalOperatorSequence", Printf("%s inside a session (EndSession missing)", where));
  return true;
}

bool XlParser::ParseBody(bool header_required) {
  size_t pos = 0;
  if (data_.size() >= 2 && IsBindingByte(data_[0]) && data_[1] == ' ') {
    if (!ParseHeader(&pos)) return false;
  } else if (header_required) {
    return Fail(0, "IllegalStreamHeader", "stream data without a stream header");
  }
  if (!ParseCommands(&pos)) return false;
  if (pos < data_.size()) return Fail(pos, "IllegalOperatorSequence", "universal exit inside stream data");
  if (block_ != Block::kNone)
    return Fail(pos, "IllegalOperatorSequence", Printf("stream data ends inside %s", BlockName(static_cast<int>(block_))));
  return true;
}

StreamEffect XlParser::Effect() const { return {gs_}; }

bool XlParser::ParseValue(size_t *pos, Attribute *value) {
  const size_t at = *pos;
  const uint8_t tag = data_[at];
  const TypeInfo &ti = XL_TypeInfo(tag);
  const uint8_t *d = data_.data();
  const size_t n = data_.size();
  value->type = static_cast<DataType>(tag);
  value->offset = JobOffset(at);
  value->values.clear();
  size_t p = at + 1;
  uint32_t count = ti.count;
  if (ti.shape == ValueShape::kArray) {
    if (p >= n) return Fail(at, "IllegalTag", "array value cut off before its length");
    if (d[p] == 0xC0) {
      if (n - p < 2) return Fail(p, "IllegalTag", "array length cut off");
      count = d[p + 1];
      p += 2;
    } else if (d[p] == 0xC1) {
      if (n - p < 3) return Fail(p, "IllegalTag", "array length cut off");
      count = LoadLe16(d + p + 1);
      p += 3;
    } else {
      return Fail(p, "IllegalTag", Printf("array length has tag 0x%02X, not ubyte or uint16", d[p]));
    }
  }
  const size_t bytes = size_t{count} * ti.elem_size;
  if (n - p < bytes)
    return Fail(at, "IllegalTag", Printf("%s value cut off (%zu of %zu bytes)",
                           CStr(DataTypeName(value->type)), n - p, bytes));
  value->values.resize(count);
  const uint8_t *e = d + p;
  for (uint32_t i = 0; i < count; ++i, e += ti.elem_size) {
    double v = 0;
    switch (ti.elem) {
      case ElemType::kUByte: v = e[0]; break;
      case ElemType::kUInt16: v = LoadLe16(e); break;
      case ElemType::kUInt32: v = LoadLe32(e); break;
      case ElemType::kSInt16: v = static_cast<int16_t>(LoadLe16(e)); break;
      case ElemType::kSInt32: v = static_cast<int32_t>(LoadLe32(e)); break;
      case ElemType::kReal32: v = std::bit_cast<float>(LoadLe32(e)); break;
    }
    value->values[i] = v;
  }
  *pos = p + bytes;
  return true;
}

bool XlParser::ParseCommand(size_t *pos) {
  const uint8_t *d = data_.data();
  const size_t n = data_.size();
  const size_t start = *pos;
  Record rec;
  rec.kind = RecordKind::kOperator;
  rec.offset = JobOffset(start);
  rec.depth = depth_;
  Attribute value;
  bool pending = false;  // `value` read, its attribute tag not yet
  size_t p = start;
  for (;;) {
    if (p >= n) {
      if (pending) return FailAt(value.offset, "IllegalTag", "value at the end of the input without an attribute tag");
      return Fail(start, "IllegalTag", "attribute list at the end of the input without an operator");
    }
    const uint8_t tag = d[p];
    if (XL_TypeInfo(tag).shape != ValueShape::kNone) {
      if (pending) return FailAt(value.offset, "IllegalTag", "value without an attribute tag");
      if (!ParseValue(&p, &value)) return false;
      pending = true;
      continue;
    }
    if (tag == 0xF8 || tag == 0xF9) {
      if (!pending) return Fail(p, "IllegalTag", "attribute tag without a value");
      const size_t need = tag == 0xF8 ? 2 : 3;
      if (n - p < need) return Fail(p, "IllegalTag", "attribute tag cut off");
      value.id = tag == 0xF8 ? d[p + 1] : LoadLe16(d + p + 1);
      value.name = XL_AttrName(value.id);
      rec.attributes.push_back(std::move(value));
      value = Attribute{};
      pending = false;
      p += need;
      continue;
    }
    if (pending) return FailAt(value.offset, "IllegalTag", "value without an attribute tag");
    if (tag == 0xFA || tag == 0xFB) return Fail(p, "IllegalTag", "embedded data without an operator that reads it");
    if (tag == 0x1B) return Fail(start, "IllegalTag", "attribute list cut off by a universal exit");
    if (XL_OpInfo(tag).scope == Scope::kUnknown) {
      if (tag < 0x41 || tag > 0xBF)
        return Fail(p, "IllegalTag", Printf("byte 0x%02X is not a PCL XL tag", tag));
      return Fail(p, "IllegalTag", Printf("byte 0x%02X is not an operator of the format", tag));
    }
    break;
  }
  rec.op = d[p];
  rec.op_name = XL_OpInfo(rec.op).name;
  rec.op_offset = JobOffset(p);
  ++p;
  std::span<const uint8_t> data;
  const bool ok = CheckPlace(rec) && CheckAttributes(rec) && ParseData(&p, &rec, &data) &&
                  Apply(&rec, data);
  rec.length = JobOffset(p) - rec.offset;
  if (ok) *pos = p;
  const bool define = ok && rec.op == op::kEndStream;
  shared_.listing.records.push_back(std::move(rec));
  if (define) return DefineStream();
  return ok;
}

bool XlParser::CheckPlace(const Record &rec) {
  const OpInfo &oi = XL_OpInfo(rec.op);
  const char *name = CStr(rec.op_name);
  const int need = BlockOf(rec.op);
  const int open = static_cast<int>(block_);
  if (open != 0 && need != open)
    return FailAt(rec.op_offset, "IllegalOperatorSequence", Printf("%s inside %s", name, BlockName(open)));
  if (open == 0 && need != 0) {
    static const char *const kBegin[] = {"", "BeginImage", "BeginRastPattern", "BeginFontHeader",
                                         "BeginChar", "BeginStream"};
    return FailAt(rec.op_offset, "IllegalOperatorSequence", Printf("%s without %s", name, kBegin[need]));
  }
  if (body_) {
    // Stream data runs inside the caller's page, which it may not end.
    if (oi.scope == Scope::kOutsideSession || oi.scope == Scope::kSession || rec.op == op::kEndPage)
      return FailAt(rec.op_offset, "IllegalOperatorSequence", Printf("%s is not allowed in user-stream data", name));
    return true;
  }
  switch (oi.scope) {
    case Scope::kOutsideSession:
      if (in_session_) return FailAt(rec.op_offset, "IllegalOperatorSequence", Printf("%s inside a session", name));
      break;
    case Scope::kSession:
      if (!in_session_) {
        if (rec.op == op::kEndSession) return FailAt(rec.op_offset, "IllegalOperatorSequence", "EndSession without BeginSession");
        return FailAt(rec.op_offset, "IllegalOperatorSequence", Printf("%s outside a session", name));
      }
      if (in_page_) return FailAt(rec.op_offset, "IllegalOperatorSequence", Printf("%s inside a page", name));
      break;
    case Scope::kSessionOrPage:
      if (!in_session_) return FailAt(rec.op_offset, "IllegalOperatorSequence", Printf("%s outside a session", name));
      break;
    case Scope::kPage:
      if (!in_page_) {
        if (rec.op == op::kEndPage) return FailAt(rec.op_offset, "IllegalOperatorSequence", "EndPage without BeginPage");
        return FailAt(rec.op_offset, "IllegalOperatorSequence", Printf("%s outside a page", name));
      }
      break;
    case Scope::kAnywhere:
    case Scope::kUnknown:
      break;
  }
  return true;
}

bool XlParser::CheckAttributes(const Record &rec) {
  const OpInfo &oi = XL_OpInfo(rec.op);
  if (!oi.checked) return true;
  const char *op_name = CStr(rec.op_name);
  uint64_t seen = 0;  // bit i: rule i given
  for (const Attribute &a : rec.attributes) {
    const char *name = Name(a);
    size_t i = 0;
    while (i < oi.rules.size() && oi.rules[i].id != a.id) ++i;
    if (i == oi.rules.size())
      return FailAt(a.offset, "IllegalAttribute", a.name.empty()
                                  ? Printf("attribute %u is not allowed with %s", a.id, op_name)
                                  : Printf("%s is not allowed with %s", name, op_name));
    const AttrRule &rule = oi.rules[i];
    if (seen & (uint64_t{1} << i))
      return FailAt(a.offset, "IllegalAttribute", Printf("%s given twice with %s", name, op_name));
    seen |= uint64_t{1} << i;
    if (!(rule.types & TypeBit(static_cast<uint8_t>(a.type))))
      return FailAt(a.offset, "IllegalAttributeDataType", Printf("%s of %s has type %s; allowed: %s", name, op_name,
                                     CStr(DataTypeName(a.type)),
                                     TypeList(rule.types).c_str()));
    if (rule.values != 0) {
      const double v = a.values[0];
      if (!(v >= 0 && v < 64) || !(rule.values & (uint64_t{1} << static_cast<int>(v))))
        return FailAt(a.offset, "IllegalAttributeValue", Printf("%s value %g is not allowed", name, v));
    }
  }
  for (size_t i = 0; i < oi.rules.size(); ++i) {
    if (oi.rules[i].required && !(seen & (uint64_t{1} << i)))
      return FailAt(rec.op_offset, "MissingAttribute", Printf("%s without its %s attribute", op_name,
                                          CStr(XL_AttrName(oi.rules[i].id))));
  }
  return true;
}

bool XlParser::ParseData(size_t *pos, Record *rec, std::span<const uint8_t> *data) {
  const OpInfo &oi = XL_OpInfo(rec->op);
  const uint8_t *d = data_.data();
  const size_t n = data_.size();
  size_t p = *pos;
  const bool present = p < n && (d[p] == 0xFA || d[p] == 0xFB);
  bool wanted = false;
  switch (oi.data) {
    case DataUse::kNone: return true;
    case DataUse::kRequired: wanted = true; break;
    case DataUse::kPoints: wanted = Find(*rec, attr::kNumberOfPoints) != nullptr; break;
    case DataUse::kOptional: wanted = present; break;
  }
  if (!wanted) return true;
  const char *name = CStr(rec->op_name);
  if (!present) return Fail(p, "MissingData", Printf("%s must be followed by embedded data", name));
  if (!source_open_)
    return FailAt(rec->op_offset, "DataSourceNotOpen", Printf("%s reads embedded data while no data source is open", name));
  const size_t at = p;
  uint32_t length = 0;
  if (d[p] == 0xFA) {
    if (n - p < 5) return Fail(at, "MissingData", "embedded data length cut off");
    length = LoadLe32(d + p + 1);
    p += 5;
  } else {
    if (n - p < 2) return Fail(at, "MissingData", "embedded data length cut off");
    length = d[p + 1];
    p += 2;
  }
  if (n - p < length)
    return Fail(at, "MissingData", Printf("embedded data of %u bytes runs past the end of the input (%zu bytes left)",
                           length, n - p));
  rec->has_data = true;
  rec->data_offset = JobOffset(at);
  rec->data_length = length;
  *data = data_.subspan(p, length);
  if (shared_.options.keep_data) rec->data.assign(data->begin(), data->end());
  *pos = p + length;
  return true;
}

bool XlParser::Apply(Record *rec, std::span<const uint8_t> data) {
  const Record &r = *rec;
  const auto mismatch = [&](uint16_t id, const char *what) {
    return FailAt(r.data_offset, "IllegalDataLength", Printf("%s %u but the embedded data holds %u bytes", what,
                                        U32(Find(r, id)), r.data_length));
  };
  switch (r.op) {
    case op::kBeginSession:
      in_session_ = true;
      source_open_ = false;
      return true;
    case op::kEndSession:
      if (source_open_) return FailAt(r.op_offset, "DataSourceNotClosed", "EndSession while the data source is open");
      in_session_ = false;
      session_patterns_.clear();
      page_patterns_.clear();
      fonts_.clear();
      return true;
    case op::kOpenDataSource:
      if (source_open_) return FailAt(r.op_offset, "IllegalOperatorSequence", "OpenDataSource while a data source is open");
      source_open_ = true;
      big_endian_data_ = U32(Find(r, attr::kDataOrg)) == 0;
      return true;
    case op::kCloseDataSource:
      if (!source_open_) return FailAt(r.op_offset, "DataSourceNotOpen", "CloseDataSource without OpenDataSource");
      source_open_ = false;
      return true;
    case op::kBeginPage: return BeginPage(r);
    case op::kEndPage:
      // The graphics-state stack may still hold pushed levels here: recorded
      // pages and form overlays end with one level pushed.
      in_page_ = false;
      gs_.clear();
      page_patterns_.clear();
      return true;
    case op::kBeginFontHeader:
      block_ = Block::kFontHeader;
      font_name_ = AttributeText(*Find(r, attr::kFontName));
      font_header_.clear();
      font_header_length_ = 0;
      return true;
    case op::kReadFontHeader:
      if (U32(Find(r, attr::kFontHeaderLength)) != r.data_length)
        return mismatch(attr::kFontHeaderLength, "FontHeaderLength");
      if (font_header_length_ == 0) font_header_offset_ = r.data_offset;
      font_header_length_ += r.data_length;
      // Only the fixed fields at the header's start are checked.
      for (size_t i = 0; i < data.size() && font_header_.size() < kFontHeaderFields; ++i)
        font_header_.push_back(data[i]);
      return true;
    case op::kEndFontHeader: return EndFontHeader(r);
    case op::kBeginChar:
    case op::kRemoveFont: {
      const Attribute &name = *Find(r, attr::kFontName);
      const std::string text = AttributeText(name);
      const auto font = fonts_.find(text);
      if (!body_ && font == fonts_.end())
        return FailAt(name.offset, "FontUndefined", Printf("%s of font \"%s\" that was not downloaded",
                                          CStr(r.op_name), text.c_str()));
      if (r.op == op::kBeginChar) {
        block_ = Block::kChar;
        char_font_ = font == fonts_.end() ? FontInfo{} : font->second;
      } else {
        fonts_.erase(text);
      }
      return true;
    }
    case op::kReadChar:
      if (U32(Find(r, attr::kCharDataSize)) != r.data_length)
        return mismatch(attr::kCharDataSize, "CharDataSize");
      return ReadChar(r, data);
    case op::kEndChar:
      block_ = Block::kNone;
      return true;
    case op::kBeginStream:
      block_ = Block::kStream;
      stream_name_ = AttributeText(*Find(r, attr::kStreamName));
      stream_data_.clear();
      stream_segments_.clear();
      return true;
    case op::kReadStream:
      if (U32(Find(r, attr::kStreamDataLength)) != r.data_length)
        return mismatch(attr::kStreamDataLength, "StreamDataLength");
      if (r.data_length > 0) {
        stream_segments_.push_back({stream_data_.size(), JobOffset(data.data() - data_.data())});
        stream_data_.insert(stream_data_.end(), data.begin(), data.end());
      }
      return true;
    case op::kEndStream:
      block_ = Block::kNone;
      return true;
    case op::kExecStream: return ExecStream(r);
    case op::kPushGS:
      gs_.push_back(gs_.back());
      return true;
    case op::kPopGS:
      if (gs_.size() > 1) {
        gs_.pop_back();
      } else if (body_) {
        gs_.back() = {ColorState::kUnknown, 0, 0, ColorState::kCallerFont};  // pops a level of the caller
      } else {
        return FailAt(r.op_offset, "IllegalOperatorSequence", "PopGS without PushGS");
      }
      return true;
    case op::kSetColorSpace: return SetColorSpace(r);
    case op::kSetFont:
      gs_.back().font = ColorState::kFontSet;
      return true;
    case op::kSetBrushSource:
    case op::kSetPenSource: return SetSource(r);
    case op::kSetLineDash: return SetLineDash(r);
    case op::kSetPageScale: return SetPageScale(r);
    case op::kLinePath:
    case op::kLineRelPath:
    case op::kBezierPath:
    case op::kBezierRelPath: return PathPoints(rec, data);
    case op::kText: return Text(r);
    case op::kBeginImage:
    case op::kBeginRastPattern: return BeginRaster(r);
    case op::kReadImage:
    case op::kReadRastPattern: return ReadRaster(rec, data);
    case op::kEndImage:
    case op::kEndRastPattern: return EndRaster(r);
    default: return true;
  }
}

bool XlParser::BeginPage(const Record &r) {
  const bool size = Find(r, attr::kMediaSize) != nullptr;
  const bool custom = Find(r, attr::kCustomMediaSize) != nullptr;
  const bool units = Find(r, attr::kCustomMediaSizeUnits) != nullptr;
  if (size == custom)
    return FailAt(r.op_offset, "IllegalAttributeCombination", size ? "BeginPage with both MediaSize and CustomMediaSize"
                                    : "BeginPage without MediaSize or CustomMediaSize");
  if (custom != units)
    return FailAt(r.op_offset, "IllegalAttributeCombination", custom ? "CustomMediaSize without CustomMediaSizeUnits"
                                      : "CustomMediaSizeUnits without CustomMediaSize");
  if (Find(r, attr::kDuplexPageSide) && !Find(r, attr::kDuplexPageMode))
    return FailAt(r.op_offset, "MissingAttribute", "DuplexPageSide without DuplexPageMode");
  if (Find(r, attr::kSimplexPageMode) && Find(r, attr::kDuplexPageMode))
    return FailAt(r.op_offset, "IllegalAttributeCombination", "BeginPage with both SimplexPageMode and DuplexPageMode");
  in_page_ = true;
  gs_.assign(1, ColorState{});
  return true;
}

bool XlParser::SetColorSpace(const Record &r) {
  const Attribute *depth = Find(r, attr::kPaletteDepth);
  const Attribute *palette = Find(r, attr::kPaletteData);
  if ((depth != nullptr) != (palette != nullptr))
    return FailAt(r.op_offset, "MissingAttribute", "PaletteDepth and PaletteData must come together");
  const uint8_t space = static_cast<uint8_t>(U32(Find(r, attr::kColorSpace)));
  uint16_t entries = 0;
  if (palette) {
    const size_t components = space == 1 ? 1 : 3;
    const size_t bytes = palette->values.size();
    if (bytes == 0 || bytes % components != 0 || bytes / components > 256)
      return FailAt(palette->offset, "IllegalArraySize", Printf("PaletteData of %zu bytes is not 1 to 256 entries of %zu bytes",
                                            bytes, components));
    entries = static_cast<uint16_t>(bytes / components);
  }
  ColorState &cs = gs_.back();
  cs.kind = ColorState::kSet;
  cs.space = space;
  cs.palette_entries = entries;
  return true;
}

bool XlParser::EndFontHeader(const Record &r) {
  block_ = Block::kNone;
  const std::vector<uint8_t> &h = font_header_;
  const uint64_t at = font_header_length_ ? font_header_offset_ : r.op_offset;
  if (h.size() < kFontHeaderFields)
    return FailAt(at, "IllegalFontHeaderFields",
                  Printf("font header of %zu bytes, shorter than its %zu bytes of fixed fields", h.size(),
                         kFontHeaderFields));
  if (h[0] != 0)
    return FailAt(at, "IllegalFontHeaderFields", Printf("font header Format %u, not 0", h[0]));
  if (h[1] > 3)
    return FailAt(at, "IllegalFontHeaderFields", Printf("font header Orientation %u", h[1]));
  if (h[4] != kTrueTypeTechnology && h[4] != kBitmapTechnology)
    return FailAt(at, "IllegalFontHeaderFields",
                  Printf("font header ScalingTechnology %u, neither TrueType (1) nor bitmap (254)", h[4]));
  fonts_[font_name_] = FontInfo{h[4]};
  return true;
}

bool XlParser::ReadChar(const Record &r, std::span<const uint8_t> data) {
  const size_t n = data.size();
  const uint8_t *d = data.data();
  const uint64_t at = r.data_offset;
  switch (char_font_.technology) {
    case kBitmapTechnology: {
      // Format 0, class 0: LeftOffset, TopOffset, CharWidth, CharHeight, then
      // the rows of whole bytes.
      if (n < 10 || d[0] != 0 || d[1] != 0)
        return FailAt(at, "IllegalCharacterData",
                      "character of a bitmap font is not format 0, class 0 with its 10-byte header");
      const uint32_t width = LoadBe16(d + 6), height = LoadBe16(d + 8);
      const uint64_t need = 10 + uint64_t{(width + 7) / 8} * height;
      if (need != n)
        return FailAt(at, "IllegalCharacterData",
                      Printf("bitmap character of %u x %u dots needs %llu bytes, the data holds %zu",
                             width, height, static_cast<unsigned long long>(need), n));
      return true;
    }
    case kTrueTypeTechnology: {
      // Format 1, class 0 (glyph ID), 1 (horizontal metrics, glyph ID) or 2
      // (horizontal and vertical metrics, glyph ID); the size after the
      // first two bytes follows them.
      static const size_t kClassHeader[] = {6, 10, 12};
      if (n < 4 || d[0] != 1 || d[1] > 2)
        return FailAt(at, "IllegalCharacterData",
                      "character of a TrueType font is not format 1 of class 0, 1 or 2");
      if (n < kClassHeader[d[1]] || LoadBe16(d + 2) != n - 2)
        return FailAt(at, "IllegalCharacterData",
                      Printf("TrueType character of class %u says %u bytes follow its first two, the data "
                             "holds %zu",
                             d[1], LoadBe16(d + 2), n - 2));
      return true;
    }
    default:
      return true;  // a font of the caller, in stream data
  }
}

bool XlParser::SetSource(const Record &r) {
  const uint16_t null_id = r.op == op::kSetBrushSource ? attr::kNullBrush : attr::kNullPen;
  const Attribute *rgb = Find(r, attr::kRGBColor);
  const Attribute *pattern = Find(r, attr::kPatternSelectID);
  const int sources = (rgb != nullptr) + (Find(r, attr::kGrayLevel) != nullptr) +
                      (Find(r, null_id) != nullptr) + (pattern != nullptr);
  const char *name = CStr(r.op_name);
  if (sources != 1)
    return FailAt(r.op_offset, "IllegalAttributeCombination", Printf("%s needs exactly one of RGBColor, GrayLevel, %s and "
                                      "PatternSelectID", name,
                                      CStr(XL_AttrName(null_id))));
  if (!pattern && (Find(r, attr::kPatternOrigin) || Find(r, attr::kNewDestinationSize)))
    return FailAt(r.op_offset, "IllegalAttributeCombination", "PatternOrigin or NewDestinationSize without PatternSelectID");
  if (rgb && rgb->values.size() != 3)
    return FailAt(rgb->offset, "IllegalArraySize", Printf("RGBColor of %zu elements, 3 expected", rgb->values.size()));
  if (pattern && !body_) {
    const int id = static_cast<int>(pattern->values[0]);
    if (!page_patterns_.count(id) && !session_patterns_.count(id))
      return FailAt(pattern->offset, "RasterPatternUndefined", Printf("PatternSelectID %d names no defined pattern", id));
  }
  return true;
}

bool XlParser::SetLineDash(const Record &r) {
  const bool style = Find(r, attr::kLineDashStyle) != nullptr;
  if (style == (Find(r, attr::kSolidLine) != nullptr))
    return FailAt(r.op_offset, "IllegalAttributeCombination", "SetLineDash needs exactly one of LineDashStyle and SolidLine");
  if (!style && Find(r, attr::kDashOffset))
    return FailAt(r.op_offset, "IllegalAttributeCombination", "DashOffset without LineDashStyle");
  return true;
}

bool XlParser::SetPageScale(const Record &r) {
  const bool scale = Find(r, attr::kPageScale) != nullptr;
  const bool measure = Find(r, attr::kMeasure) != nullptr;
  const bool units = Find(r, attr::kUnitsPerMeasure) != nullptr;
  if (scale ? (measure || units) : !(measure && units))
    return FailAt(r.op_offset, "IllegalAttributeCombination", "SetPageScale needs PageScale, or Measure with UnitsPerMeasure");
  return true;
}

bool XlParser::PathPoints(Record *rec, std::span<const uint8_t> data) {
  const Record &r = *rec;
  const bool bezier = r.op == op::kBezierPath || r.op == op::kBezierRelPath;
  const Attribute *count = Find(r, attr::kNumberOfPoints);
  const Attribute *type = Find(r, attr::kPointType);
  const bool single = bezier ? Find(r, attr::kControlPoint1) && Find(r, attr::kControlPoint2) &&
                                   Find(r, attr::kEndPoint)
                             : Find(r, attr::kEndPoint) != nullptr;
  const bool any_single = Find(r, attr::kEndPoint) || Find(r, attr::kControlPoint1) ||
                          Find(r, attr::kControlPoint2);
  const char *name = CStr(r.op_name);
  if (!count) {
    if (type) return FailAt(r.op_offset, "IllegalAttributeCombination", "PointType without NumberOfPoints");
    if (!single)
      return FailAt(r.op_offset, "MissingAttribute", Printf(bezier ? "%s needs ControlPoint1, ControlPoint2 and EndPoint, "
                                                 "or NumberOfPoints with PointType"
                                               : "%s needs EndPoint, or NumberOfPoints with PointType",
                                        name));
    return true;
  }
  if (any_single) return FailAt(r.op_offset, "IllegalAttributeCombination", Printf("%s with both single points and NumberOfPoints", name));
  if (!type) return FailAt(r.op_offset, "MissingAttribute", "NumberOfPoints without PointType");
  const uint32_t n = U32(count);
  if (n == 0 || (bezier && n % 3 != 0))
    return FailAt(count->offset, "IllegalAttributeValue", Printf("NumberOfPoints %u %s", n,
                                        n == 0 ? "is empty" : "is not a multiple of 3"));
  const uint32_t kind = U32(type);
  const uint32_t size = kind < 2 ? 2 : 4;
  if (uint64_t{n} * size != r.data_length)
    return FailAt(r.data_offset, "IllegalDataLength", Printf("%u points of PointType %u need %u bytes, the embedded data "
                                        "holds %u", n, kind, n * size, r.data_length));
  rec->points.resize(n);
  const uint8_t *p = data.data();
  for (uint32_t i = 0; i < n; ++i) {
    int32_t xy[2];
    for (int c = 0; c < 2; ++c, p += size / 2) {
      if (size == 2) {
        xy[c] = kind == 0 ? p[0] : static_cast<int8_t>(p[0]);
      } else {
        const uint16_t v = big_endian_data_ ? static_cast<uint16_t>(p[0] << 8 | p[1]) : LoadLe16(p);
        xy[c] = kind == 2 ? v : static_cast<int16_t>(v);
      }
    }
    rec->points[i] = {xy[0], xy[1]};
  }
  return true;
}

bool XlParser::Text(const Record &r) {
  if (gs_.back().font == ColorState::kNoFont)
    return FailAt(r.op_offset, "NoCurrentFont", "Text without SetFont on this page");
  const size_t n = Find(r, attr::kTextData)->values.size();
  for (uint16_t id : {attr::kXSpacingData, attr::kYSpacingData}) {
    const Attribute *a = Find(r, id);
    if (a && a->values.size() != n)
      return FailAt(a->offset, "IllegalArraySize", Printf("%s of %zu elements for %zu characters",
                                      CStr(a->name), a->values.size(), n));
  }
  return true;
}

bool XlParser::BeginRaster(const Record &r) {
  const char *name = CStr(r.op_name);
  const Attribute *width = Find(r, attr::kSourceWidth);
  const Attribute *height = Find(r, attr::kSourceHeight);
  if (U32(width) == 0) return FailAt(width->offset, "IllegalAttributeValue", "SourceWidth of 0");
  if (U32(height) == 0) return FailAt(height->offset, "IllegalAttributeValue", "SourceHeight of 0");
  const bool indexed = U32(Find(r, attr::kColorMapping)) == 1;
  static const uint32_t kDepthBits[] = {1, 4, 8};  // e1Bit, e4Bit, e8Bit
  const uint32_t depth_bits = kDepthBits[U32(Find(r, attr::kColorDepth))];
  const ColorState &cs = gs_.back();
  uint32_t bits = depth_bits;
  uint32_t jpeg_components = 0;
  if (indexed) {
    if (cs.kind == ColorState::kNotSet)
      return FailAt(r.op_offset, "ImagePaletteMismatch", Printf("%s with indexed pixels before any SetColorSpace on this page",
                                        name));
    if (cs.kind == ColorState::kSet && cs.palette_entries == 0)
      return FailAt(r.op_offset, "ImagePaletteMismatch", Printf("%s with indexed pixels in a colour space without a palette",
                                        name));
    // An indexed image's palette holds exactly one entry per index value.
    if (cs.kind == ColorState::kSet && cs.palette_entries != (1u << depth_bits))
      return FailAt(r.op_offset, "ImagePaletteMismatch",
                    Printf("%s with %u-bit indices and a palette of %u entries, not %u", name,
                           depth_bits, cs.palette_entries, 1u << depth_bits));
  } else {
    if (cs.kind == ColorState::kNotSet)
      return FailAt(r.op_offset, "ColorSpaceMismatch", Printf("%s before any SetColorSpace on this page", name));
    if (cs.kind != ColorState::kSet)
      return FailAt(r.op_offset, "ColorSpaceMismatch", Printf("%s with direct pixels where the colour space is not known",
                                        name));
    const uint32_t components = cs.space == 1 ? 1 : 3;
    bits = depth_bits * components;
    if (depth_bits == 8) jpeg_components = components;
  }
  raster_ = RasterState{};
  raster_.width = U32(width);
  raster_.height = U32(height);
  raster_.row_bytes = static_cast<uint32_t>((uint64_t{raster_.width} * bits + 7) / 8);
  raster_.jpeg_components = jpeg_components;
  if (r.op == op::kBeginImage) {
    block_ = Block::kImage;
  } else {
    block_ = Block::kPattern;
    pattern_id_ = static_cast<int>(Find(r, attr::kPatternDefineID)->values[0]);
    pattern_persistence_ = static_cast<int>(U32(Find(r, attr::kPatternPersistence)));
  }
  return true;
}

bool XlParser::ReadRaster(Record *rec, std::span<const uint8_t> data) {
  const Record &r = *rec;
  const Attribute *start = Find(r, attr::kStartLine);
  const Attribute *height = Find(r, attr::kBlockHeight);
  const Attribute *pad = Find(r, attr::kPadBytesMultiple);
  const Attribute *length = Find(r, attr::kBlockByteLength);
  RasterBlock block;
  block.compress = static_cast<uint8_t>(U32(Find(r, attr::kCompressMode)));
  block.pad_multiple = pad ? U32(pad) : 4;
  block.block_height = U32(height);
  block.big_endian = big_endian_data_;
  if (pad && block.pad_multiple == 0) return FailAt(pad->offset, "IllegalAttributeValue", "PadBytesMultiple of 0");
  if (U32(start) != raster_.rows_done)
    return FailAt(start->offset, "IllegalAttributeValue", Printf("StartLine %u where %u rows were read", U32(start), raster_.rows_done));
  if (block.block_height == 0) return FailAt(height->offset, "IllegalAttributeValue", "BlockHeight of 0");
  if (uint64_t{raster_.rows_done} + block.block_height > raster_.height)
    return FailAt(height->offset, "IllegalAttributeValue", Printf("BlockHeight %u from line %u goes beyond SourceHeight %u",
                                         block.block_height, raster_.rows_done, raster_.height));
  if (length && U32(length) != r.data_length)
    return FailAt(r.data_offset, "IllegalDataLength", Printf("BlockByteLength %u but the embedded data holds %u bytes",
                                     U32(length), r.data_length));
  std::vector<uint8_t> *rows = shared_.options.keep_rows ? &rec->rows : nullptr;
  const std::string why = XL_DecodeRasterBlock(raster_, block, data, rows, &shared_.budget);
  if (!why.empty())
    return FailAt(r.data_offset, why.starts_with("uncompressed") ? "IllegalDataLength" : "IllegalDataValue",
                  why);
  rec->row_length = raster_.row_bytes;
  rec->row_count = block.block_height;
  return true;
}

bool XlParser::EndRaster(const Record &r) {
  if (raster_.rows_done != raster_.height)
    return FailAt(r.op_offset, "MissingData", Printf("%s after %u of %u rows", CStr(r.op_name),
                                      raster_.rows_done, raster_.height));
  if (r.op == op::kEndRastPattern) {
    (pattern_persistence_ == 2 ? session_patterns_ : page_patterns_).insert(pattern_id_);
  }
  block_ = Block::kNone;
  return true;
}

bool XlParser::ExecStream(const Record &r) {
  const Attribute &name = *Find(r, attr::kStreamName);
  const auto it = streams_->find(AttributeText(name));
  if (it == streams_->end()) {
    if (body_) {
      gs_.back() = {ColorState::kUnknown, 0, 0, ColorState::kCallerFont};
      return true;
    }
    return FailAt(name.offset, "StreamUndefined", Printf("ExecStream of stream \"%s\" that was not defined",
                                      AttributeText(name).c_str()));
  }
  // The stream's levels replace the current level and push its leftovers;
  // what it inherited stays as the caller had it.
  const ColorState caller = gs_.back();
  const std::vector<ColorState> &levels = it->second.levels;
  for (size_t i = 0; i < levels.size(); ++i) {
    ColorState s = levels[i];
    if (s.kind == ColorState::kInherited) {
      s.kind = caller.kind;
      s.space = caller.space;
      s.palette_entries = caller.palette_entries;
    }
    if (s.font == ColorState::kCallerFont) s.font = caller.font;
    if (i == 0) {
      gs_.back() = s;
    } else {
      gs_.push_back(s);
    }
  }
  return true;
}

bool XlParser::DefineStream() {
  std::vector<uint8_t> data = std::move(stream_data_);
  std::vector<Segment> segments = std::move(stream_segments_);
  if (segments.empty()) segments.push_back({0, shared_.listing.records.back().op_offset});
  XlParser body(shared_, data, std::move(segments), depth_ + 1, true, streams_);
  if (!body.ParseBody(false)) return false;
  (*streams_)[stream_name_] = body.Effect();
  return true;
}

}  // namespace pxllist
