/*
 * Readable text of the lister's records: one line per record, the offset in
 * hexadecimal first, then the PJL text, the stream header, or the operator
 * with its attributes ("Name=type(values)"), its embedded data, points and
 * decoded rows.
 */
#include <cmath>
#include <cstdio>

#include "pxllist/pxllist.h"
#include "text_util.h"

namespace pxllist {
namespace {

// Elements shown of a long array or data block before "...".
constexpr size_t kShownElements = 16;

void AppendNumber(std::string *out, double v) {
  if (std::isfinite(v) && v == std::floor(v) && std::fabs(v) < 1e15) {
    *out += Printf("%lld", static_cast<long long>(v));
  } else {
    *out += Printf("%g", v);
  }
}

bool IsText(const Attribute &a) {
  if (a.type != DataType::kUByteArray || a.values.empty()) return false;
  for (double v : a.values) {
    if (v < 0x20 || v > 0x7E) return false;
  }
  return true;
}

void AppendAttribute(std::string *out, const Attribute &a) {
  *out += ' ';
  if (a.name.empty()) {
    *out += Printf("Attr%u", a.id);
  } else {
    *out += a.name;
  }
  *out += '=';
  *out += DataTypeName(a.type);
  const uint8_t tag = static_cast<uint8_t>(a.type);
  const bool array = tag >= 0xC8 && tag <= 0xCD;
  if (array) *out += Printf("[%zu]", a.values.size());
  if (IsText(a)) {
    *out += "(\"" + AttributeText(a) + "\")";
    return;
  }
  *out += '(';
  for (size_t i = 0; i < a.values.size(); ++i) {
    if (i == kShownElements) {
      *out += ", ...";
      break;
    }
    if (i > 0) *out += ", ";
    AppendNumber(out, a.values[i]);
  }
  *out += ')';
}

}  // namespace

std::string_view DataTypeName(DataType type) {
  switch (type) {
    case DataType::kUByte: return "ubyte";
    case DataType::kUInt16: return "uint16";
    case DataType::kUInt32: return "uint32";
    case DataType::kSInt16: return "sint16";
    case DataType::kSInt32: return "sint32";
    case DataType::kReal32: return "real32";
    case DataType::kUByteArray: return "ubyte_array";
    case DataType::kUInt16Array: return "uint16_array";
    case DataType::kUInt32Array: return "uint32_array";
    case DataType::kSInt16Array: return "sint16_array";
    case DataType::kSInt32Array: return "sint32_array";
    case DataType::kReal32Array: return "real32_array";
    case DataType::kUByteXY: return "ubyte_xy";
    case DataType::kUInt16XY: return "uint16_xy";
    case DataType::kUInt32XY: return "uint32_xy";
    case DataType::kSInt16XY: return "sint16_xy";
    case DataType::kSInt32XY: return "sint32_xy";
    case DataType::kReal32XY: return "real32_xy";
    case DataType::kUByteBox: return "ubyte_box";
    case DataType::kUInt16Box: return "uint16_box";
    case DataType::kUInt32Box: return "uint32_box";
    case DataType::kSInt16Box: return "sint16_box";
    case DataType::kSInt32Box: return "sint32_box";
    case DataType::kReal32Box: return "real32_box";
  }
  return {};
}

std::string FormatRecord(const Record &record) {
  std::string out = Printf("%08llX  ", static_cast<unsigned long long>(record.offset));
  out.append(2 * record.depth, ' ');
  switch (record.kind) {
    case RecordKind::kPjlLine:
      out += "PJL ";
      out += record.pjl == PjlKind::kUel ? std::string("<UEL>") : record.text;
      return out;
    case RecordKind::kStreamHeader:
      out += "HDR ";
      out += record.text;
      return out;
    case RecordKind::kOperator:
      break;
  }
  out += record.op_name;
  for (const Attribute &a : record.attributes) AppendAttribute(&out, a);
  if (record.has_data) {
    out += Printf(" data[%u]", record.data_length);
    if (!record.data.empty()) {
      out += '(';
      for (size_t i = 0; i < record.data.size() && i < kShownElements; ++i)
        out += Printf(i ? " %02X" : "%02X", record.data[i]);
      if (record.data.size() > kShownElements) out += " ...";
      out += ')';
    }
  }
  if (!record.points.empty()) {
    out += " points";
    for (size_t i = 0; i < record.points.size(); ++i) {
      if (i == kShownElements) {
        out += " ...";
        break;
      }
      out += Printf(" (%d,%d)", record.points[i].x, record.points[i].y);
    }
  }
  if (record.row_count > 0) out += Printf(" rows=%ux%u", record.row_count, record.row_length);
  return out;
}

std::string FormatError(const Error &error) {
  return Printf("error at offset %llu (0x%08llX): %s%s%s", static_cast<unsigned long long>(error.offset),
                static_cast<unsigned long long>(error.offset), error.name.c_str(),
                error.name.empty() ? "" : ": ", error.message.c_str());
}

}  // namespace pxllist
