/*
 * The job level of the lister: splits a job into the universal exit, the PJL
 * lines and the PCL XL streams, each stream introduced by its stream header
 * line and read by an XlParser up to the next universal exit or the end of
 * the job.
 *
 * A PJL part follows a universal exit and is a run of lines ended by LF (CR
 * LF accepted): "@PJL" commands and comments, the end-of-job line ("@PJL EOJ"
 * or "@EOJO"), other "@" lines such as "@BKTP=", and lines of blanks (slot
 * placeholders).  The first line that begins with ") " ends the PJL part as
 * the stream header.
 */
#include <algorithm>
#include <cstring>
#include <utility>

#include "pxllist/pxllist.h"
#include "text_util.h"
#include "xl_parser.h"
#include "xl_tables.h"

namespace pxllist {
namespace {

constexpr char kUel[] = "\x1B%-12345X";
constexpr size_t kUelSize = sizeof kUel - 1;

bool StartsWith(std::string_view s, std::string_view prefix) {
  return s.substr(0, prefix.size()) == prefix;
}

// The kind of a PJL line's text.
PjlKind ClassifyPjl(std::string_view line) {
  if (line == "@EOJO") return PjlKind::kEndOfJob;
  if (!StartsWith(line, "@PJL") || (line.size() > 4 && line[4] != ' ' && line[4] != '\t'))
    return PjlKind::kOther;
  std::string_view rest = line.substr(4);
  while (!rest.empty() && (rest[0] == ' ' || rest[0] == '\t')) rest.remove_prefix(1);
  const std::string_view word = rest.substr(0, rest.find_first_of(" \t"));
  if (word == "EOJ") return PjlKind::kEndOfJob;
  if (word != "COMMENT") return PjlKind::kCommand;
  rest.remove_prefix(word.size());
  while (!rest.empty() && (rest[0] == ' ' || rest[0] == '\t')) rest.remove_prefix(1);
  const std::string_view next = rest.substr(0, rest.find_first_of(" \t"));
  return next == "QZJOBINFO" ? PjlKind::kJobInfo : PjlKind::kComment;
}

class JobLister {
 public:
  JobLister(Shared &shared, std::span<const uint8_t> job) : shared_(shared), job_(job) {}

  bool Run() {
    bool after_uel = false;  // PJL lines may follow
    size_t pos = 0;
    while (pos < job_.size()) {
      const uint8_t b = job_[pos];
      if (b == 0x1B) {
        if (!ParseUel(&pos)) return false;
        after_uel = true;
      } else if ((b == ')' || b == '(' || b == '\'') && pos + 1 < job_.size() && job_[pos + 1] == ' ') {
        if (!ParseStream(&pos)) return false;
        after_uel = false;
      } else if (b == '@' || b == ' ') {
        if (!after_uel) return shared_.Fail(pos, "", "PJL line without a universal exit before it");
        if (!ParsePjlLine(&pos)) return false;
      } else {
        return shared_.Fail(pos, "", after_uel ? "expected a PJL line or a stream header"
                                           : "expected a universal exit or a stream header");
      }
    }
    return true;
  }

 private:
  bool ParseUel(size_t *pos) {
    if (job_.size() - *pos < kUelSize || std::memcmp(job_.data() + *pos, kUel, kUelSize) != 0)
      return shared_.Fail(*pos, "", "escape sequence other than the universal exit");
    Record rec;
    rec.kind = RecordKind::kPjlLine;
    rec.pjl = PjlKind::kUel;
    rec.offset = *pos;
    rec.length = kUelSize;
    shared_.listing.records.push_back(std::move(rec));
    *pos += kUelSize;
    return true;
  }

  bool ParsePjlLine(size_t *pos) {
    const size_t at = *pos;
    const uint8_t *d = job_.data();
    const auto *lf = static_cast<const uint8_t *>(std::memchr(d + at, '\n', job_.size() - at));
    if (!lf) return shared_.Fail(at, "", "PJL line without a line end");
    size_t end = static_cast<size_t>(lf - d);
    const size_t next = end + 1;
    if (end > at && d[end - 1] == '\r') --end;
    for (size_t i = at; i < end; ++i) {
      if ((d[i] < 0x20 && d[i] != '\t') || d[i] == 0x7F)
        return shared_.Fail(i, "", Printf("control byte 0x%02X in a PJL line", d[i]));
    }
    Record rec;
    rec.kind = RecordKind::kPjlLine;
    rec.offset = at;
    rec.length = next - at;
    rec.text.assign(reinterpret_cast<const char *>(d + at), end - at);
    if (rec.text[0] == ' ' && rec.text.find_first_not_of(' ') != std::string::npos)
      return shared_.Fail(at, "", "PJL line begins with a blank");
    rec.pjl = ClassifyPjl(rec.text);
    shared_.listing.records.push_back(std::move(rec));
    *pos = next;
    return true;
  }

  bool ParseStream(size_t *pos) {
    StreamMap streams;
    XlParser parser(shared_, job_, {{0, 0}}, 0, false, &streams);
    return parser.ParseHeader(pos) && parser.ParseCommands(pos) && parser.Finish(*pos);
  }

  Shared &shared_;
  std::span<const uint8_t> job_;
};

}  // namespace

bool ListJob(std::span<const uint8_t> job, const Options &options, Listing *listing) {
  if (!listing) return false;
  *listing = Listing{};
  // Room for the records of a job of small commands, so that the record
  // table is not copied while it grows (address space only until used).
  listing->records.reserve(std::min<size_t>(job.size() / 16, size_t{1} << 20));
  Shared shared{options, *listing, options.max_decoded_bytes};
  if (options.stream_body) {
    StreamMap streams;
    XlParser parser(shared, job, {{0, 0}}, 0, true, &streams);
    return parser.ParseBody(true);
  }
  JobLister lister(shared, job);
  return lister.Run();
}

const Attribute *FindAttribute(const Record &record, uint16_t id) {
  for (const Attribute &a : record.attributes) {
    if (a.id == id) return &a;
  }
  return nullptr;
}

std::string AttributeText(const Attribute &attribute) {
  std::string out;
  out.reserve(attribute.values.size());
  for (double v : attribute.values)
    out.push_back(v >= 0 && v < 65536 ? static_cast<char>(static_cast<uint32_t>(v) & 0xFF) : '?');
  return out;
}

std::string_view OperatorName(uint8_t code) { return XL_OpInfo(code).name; }

std::string_view AttributeName(uint16_t id) { return XL_AttrName(id); }

}  // namespace pxllist
