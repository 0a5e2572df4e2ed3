/*
 * The lister's own tables of the PCL XL format: data types, operator names
 * and where each operator may stand, attribute names, and for every operator
 * the driver writes the attributes it accepts with their allowed data types.
 */
#ifndef PXLLIST_XL_TABLES_H
#define PXLLIST_XL_TABLES_H

#include <cstdint>
#include <span>
#include <string_view>

namespace pxllist {

// Element types of a value.
enum class ElemType : uint8_t { kUByte, kUInt16, kUInt32, kSInt16, kSInt32, kReal32 };

enum class ValueShape : uint8_t { kNone, kSingle, kArray, kXY, kBox };

struct TypeInfo {
  ValueShape shape;  // kNone: the byte is not a data-type tag
  ElemType elem;
  uint8_t elem_size;
  uint8_t count;     // elements of a single, xy or box value (arrays: 0)
};

// Information on the tag byte `tag` (shape kNone for non data-type bytes).
const TypeInfo &XL_TypeInfo(uint8_t tag);

// Bit of a data type in an allowed-type mask.
constexpr uint64_t TypeBit(uint8_t tag) { return uint64_t{1} << (tag - 0xC0); }

// Where an operator may stand.
enum class Scope : uint8_t {
  kUnknown,      // not an operator of the format
  kAnywhere,     // after the stream header, inside or outside a session (Comment)
  kOutsideSession,  // BeginSession
  kSession,      // inside a session, outside a page
  kSessionOrPage,   // inside a session, inside or outside a page
  kPage,         // inside a page (graphics state, paths, drawing, images)
};

// Whether an operator is followed by embedded data.
enum class DataUse : uint8_t {
  kNone,
  kRequired,  // always (the Read... operators, ScanLineRel)
  kPoints,    // path operators: exactly when NumberOfPoints is given
  kOptional,  // VendorUnique
};

struct AttrRule {
  uint8_t id;
  bool required;
  uint64_t types;  // TypeBit mask of the allowed data types
  // Allowed values of an enumeration (bit v set = value v allowed), or 0 for
  // any value.
  uint64_t values;
};

struct OpInfo {
  std::string_view name;  // empty: not an operator of the format
  Scope scope;
  DataUse data;
  bool checked;           // attributes checked against `rules`
  std::span<const AttrRule> rules;
};

// Information on the operator byte `code`.
const OpInfo &XL_OpInfo(uint8_t code);

// The format's name of an attribute identifier, or an empty view.
std::string_view XL_AttrName(uint16_t id);

}  // namespace pxllist

#endif  // PXLLIST_XL_TABLES_H
