/*
 * The lister's tables of the PCL XL format (protocol class 2.1, binary
 * binding), written from the format's operator and attribute lists.  The
 * operators that the driver writes carry full attribute rules (which
 * attributes, required or not, which data types, which enumeration values);
 * the other operators of the format are known by name and place only.
 */
#include "xl_tables.h"

#include <array>
#include <initializer_list>

namespace pxllist {
namespace {

// Allowed-type masks.
constexpr uint64_t UB = TypeBit(0xC0), U16 = TypeBit(0xC1), U32 = TypeBit(0xC2),
                   S16 = TypeBit(0xC3), R32 = TypeBit(0xC5), UBA = TypeBit(0xC8),
                   U16A = TypeBit(0xC9), S16A = TypeBit(0xCB), R32A = TypeBit(0xCD),
                   UBXY = TypeBit(0xD0), U16XY = TypeBit(0xD1), S16XY = TypeBit(0xD3),
                   R32XY = TypeBit(0xD5), UBBOX = TypeBit(0xE0), U16BOX = TypeBit(0xE1),
                   S16BOX = TypeBit(0xE3);
constexpr uint64_t kAnyPoint = UBXY | U16XY | S16XY | R32XY;
constexpr uint64_t kAnyBox = UBBOX | U16BOX | S16BOX;

// Enumeration value masks: values 0..n-1, or an explicit list.
constexpr uint64_t Upto(int n) { return (uint64_t{1} << n) - 1; }
constexpr uint64_t Vals(std::initializer_list<int> values) {
  uint64_t mask = 0;
  for (int v : values) mask |= uint64_t{1} << v;
  return mask;
}

constexpr bool R = true, O = false;

// Attribute rules, one array per operator.
constexpr AttrRule kBeginSession[] = {
    {137, R, U16XY | R32XY, 0},  // UnitsPerMeasure
    {134, R, UB, Upto(3)},       // Measure: eInch, eMillimeter, eTenthsOfAMillimeter
    {143, O, UB, Upto(7)},       // ErrorReport
};
constexpr AttrRule kBeginPage[] = {
    {40, R, UB, Upto(4)},        // Orientation
    {38, O, UB | UBA, 0},        // MediaSource (a ubyte_array name such as "TRAY5" too)
    {37, O, UB | UBA, 0},        // MediaSize
    {39, O, UBA, 0},             // MediaType
    {36, O, UB | UBA, 0},        // MediaDestination
    {47, O, U16XY | R32XY, 0},   // CustomMediaSize
    {48, O, UB, Upto(3)},        // CustomMediaSizeUnits
    {52, O, UB, Vals({0})},      // SimplexPageMode: eSimplexFrontSide
    {53, O, UB, Upto(2)},        // DuplexPageMode: eDuplexHorizontalBinding, eDuplexVerticalBinding
    {54, O, UB, Upto(2)},        // DuplexPageSide: eFrontMediaSide, eBackMediaSide
};
constexpr AttrRule kEndPage[] = {{49, O, UB | U16, 0}};  // PageCopies
constexpr AttrRule kComment[] = {{129, O, UBA | U16A, 0}};  // CommentData
constexpr AttrRule kOpenDataSource[] = {
    {136, R, UB, Vals({0})},     // SourceType: eDefaultDataSource
    {130, R, UB, Upto(2)},       // DataOrg: eBinaryHighByteFirst, eBinaryLowByteFirst
};
constexpr AttrRule kBeginFontHeader[] = {
    {168, R, UBA, 0},            // FontName
    {169, R, UB, Vals({0})},     // FontFormat
};
constexpr AttrRule kReadFontHeader[] = {{167, R, U16, 0}};  // FontHeaderLength
constexpr AttrRule kFontNameOnly[] = {{168, R, UBA, 0}};    // BeginChar, RemoveFont
constexpr AttrRule kReadChar[] = {
    {162, R, UB | U16, 0},       // CharCode
    {163, R, UB | U16 | U32, 0}, // CharDataSize
};
constexpr AttrRule kSetCharAttributes[] = {{173, R, UB, Upto(2)}};  // WritingMode
constexpr AttrRule kStreamNameOnly[] = {{139, R, UBA | U16A, 0}};   // BeginStream, ExecStream
constexpr AttrRule kReadStream[] = {{140, R, U16 | U32, 0}};       // StreamDataLength
constexpr AttrRule kClipRegionOnly[] = {{83, R, UB, Upto(2)}};     // ClipRegion
constexpr AttrRule kBrushSource[] = {
    {11, O, UBA | R32A, 0},      // RGBColor
    {9, O, UB | R32, 0},         // GrayLevel
    {4, O, UB, Vals({0})},       // NullBrush
    {8, O, S16, 0},              // PatternSelectID
    {12, O, S16XY, 0},           // PatternOrigin
    {13, O, U16XY, 0},           // NewDestinationSize
};
constexpr AttrRule kPenSource[] = {
    {11, O, UBA | R32A, 0},      // RGBColor
    {9, O, UB | R32, 0},         // GrayLevel
    {5, O, UB, Vals({0})},       // NullPen
    {8, O, S16, 0},              // PatternSelectID
    {12, O, S16XY, 0},           // PatternOrigin
    {13, O, U16XY, 0},           // NewDestinationSize
};
constexpr AttrRule kSetCharAngle[] = {{161, R, UB | U16 | S16 | R32, 0}};
constexpr AttrRule kSetCharScale[] = {{164, R, UBXY | U16XY | R32XY, 0}};
constexpr AttrRule kSetCharShear[] = {{165, R, kAnyPoint, 0}};
constexpr AttrRule kSetClipRectangle[] = {
    {83, R, UB, Upto(2)},        // ClipRegion
    {66, R, kAnyBox, 0},         // BoundingBox
};
constexpr AttrRule kSetColorSpace[] = {
    {3, R, UB, Vals({1, 2, 6})}, // ColorSpace: eGray, eRGB, eSRGB
    {2, O, UB, Vals({2})},       // PaletteDepth: e8Bit
    {6, O, UBA, 0},              // PaletteData
};
constexpr AttrRule kPointOnly[] = {{76, R, kAnyPoint, 0}};          // SetCursor
constexpr AttrRule kSetFillMode[] = {{70, R, UB, Upto(2)}};         // FillMode
constexpr AttrRule kSetFont[] = {
    {168, R, UBA, 0},            // FontName
    {166, R, UB | U16 | R32, 0}, // CharSize
    {170, R, U16, 0},            // SymbolSet
};
constexpr AttrRule kSetLineDash[] = {
    {74, O, UBA | U16A | S16A, 0},  // LineDashStyle
    {67, O, UB | U16 | S16, 0},     // DashOffset
    {78, O, UB, Vals({0})},         // SolidLine
};
constexpr AttrRule kSetLineCap[] = {{71, R, UB, Upto(4)}};
constexpr AttrRule kSetLineJoin[] = {{72, R, UB, Upto(4)}};
constexpr AttrRule kSetMiterLimit[] = {{73, R, UB | U16 | R32, 0}};
constexpr AttrRule kSetPageOrigin[] = {{42, R, kAnyPoint, 0}};
constexpr AttrRule kSetPageRotation[] = {{41, R, UB | U16 | S16 | R32, 0}};
constexpr AttrRule kSetPageScale[] = {
    {43, O, UBXY | U16XY | R32XY, 0},  // PageScale
    {134, O, UB, Upto(3)},             // Measure
    {137, O, U16XY | R32XY, 0},        // UnitsPerMeasure
};
constexpr AttrRule kTxMode[] = {{45, R, UB, Upto(2)}};  // eOpaque, eTransparent
constexpr AttrRule kSetPenWidth[] = {{75, R, UB | U16 | R32, 0}};
constexpr AttrRule kSetROP[] = {{44, R, UB, 0}};
constexpr AttrRule kSetCharBoldValue[] = {{177, R, R32, 0}};
constexpr AttrRule kSetClipMode[] = {{84, R, UB, Upto(2)}};
constexpr AttrRule kSetCharSubMode[] = {{172, R, UBA, 0}};
constexpr AttrRule kLinePath[] = {
    {69, O, kAnyPoint, 0},       // EndPoint
    {77, O, UB | U16, 0},        // NumberOfPoints
    {80, O, UB, Upto(4)},        // PointType: eUByte, eSByte, eUInt16, eSInt16
};
constexpr AttrRule kBezierPath[] = {
    {81, O, kAnyPoint, 0},       // ControlPoint1
    {82, O, kAnyPoint, 0},       // ControlPoint2
    {69, O, kAnyPoint, 0},       // EndPoint
    {77, O, UB | U16, 0},        // NumberOfPoints
    {80, O, UB, Upto(4)},        // PointType
};
constexpr AttrRule kBoundingBoxOnly[] = {{66, R, kAnyBox, 0}};  // Ellipse, Rectangle
constexpr AttrRule kText[] = {
    {171, R, UBA | U16A, 0},     // TextData
    {175, O, UBA | S16A, 0},     // XSpacingData
    {176, O, UBA | S16A, 0},     // YSpacingData
};
constexpr AttrRule kBeginImage[] = {
    {100, R, UB, Upto(2)},       // ColorMapping: eDirectPixel, eIndexedPixel
    {98, R, UB, Upto(3)},        // ColorDepth: e1Bit, e4Bit, e8Bit
    {108, R, U16, 0},            // SourceWidth
    {107, R, U16, 0},            // SourceHeight
    {103, R, U16XY, 0},          // DestinationSize
};
constexpr AttrRule kReadRaster[] = {
    {109, R, U16, 0},            // StartLine
    {99, R, U16, 0},             // BlockHeight
    {101, R, UB, Upto(4)},       // CompressMode: none, RLE, JPEG, delta row
    {110, O, UB, 0},             // PadBytesMultiple
    {111, O, U32, 0},            // BlockByteLength
};
constexpr AttrRule kBeginRastPattern[] = {
    {100, R, UB, Upto(2)},       // ColorMapping
    {98, R, UB, Upto(3)},        // ColorDepth
    {108, R, U16, 0},            // SourceWidth
    {107, R, U16, 0},            // SourceHeight
    {103, R, U16XY, 0},          // DestinationSize
    {105, R, S16, 0},            // PatternDefineID
    {104, R, UB, Upto(3)},       // PatternPersistence: eTempPattern, ePagePattern, eSessionPattern
};

struct OpDef {
  uint8_t code;
  std::string_view name;
  Scope scope;
  DataUse data;
  bool checked;
  std::span<const AttrRule> rules;
};

using S = Scope;
using D = DataUse;
constexpr std::span<const AttrRule> kNoRules;

const OpDef kOpDefs[] = {
    {0x41, "BeginSession", S::kOutsideSession, D::kNone, true, kBeginSession},
    {0x42, "EndSession", S::kSession, D::kNone, true, kNoRules},
    {0x43, "BeginPage", S::kSession, D::kNone, true, kBeginPage},
    {0x44, "EndPage", S::kPage, D::kNone, true, kEndPage},
    {0x46, "VendorUnique", S::kSessionOrPage, D::kOptional, false, kNoRules},
    {0x47, "Comment", S::kAnywhere, D::kNone, true, kComment},
    {0x48, "OpenDataSource", S::kSession, D::kNone, true, kOpenDataSource},
    {0x49, "CloseDataSource", S::kSession, D::kNone, true, kNoRules},
    {0x4A, "EchoComment", S::kAnywhere, D::kNone, false, kNoRules},
    {0x4B, "Query", S::kSession, D::kNone, false, kNoRules},
    {0x4C, "Diagnostic3", S::kSessionOrPage, D::kNone, false, kNoRules},
    {0x4F, "BeginFontHeader", S::kSessionOrPage, D::kNone, true, kBeginFontHeader},
    {0x50, "ReadFontHeader", S::kSessionOrPage, D::kRequired, true, kReadFontHeader},
    {0x51, "EndFontHeader", S::kSessionOrPage, D::kNone, true, kNoRules},
    {0x52, "BeginChar", S::kSessionOrPage, D::kNone, true, kFontNameOnly},
    {0x53, "ReadChar", S::kSessionOrPage, D::kRequired, true, kReadChar},
    {0x54, "EndChar", S::kSessionOrPage, D::kNone, true, kNoRules},
    {0x55, "RemoveFont", S::kSessionOrPage, D::kNone, true, kFontNameOnly},
    {0x56, "SetCharAttributes", S::kPage, D::kNone, true, kSetCharAttributes},
    {0x57, "SetDefaultGS", S::kPage, D::kNone, false, kNoRules},
    {0x58, "SetColorTreatment", S::kPage, D::kNone, false, kNoRules},
    {0x5B, "BeginStream", S::kSession, D::kNone, true, kStreamNameOnly},
    {0x5C, "ReadStream", S::kSession, D::kRequired, true, kReadStream},
    {0x5D, "EndStream", S::kSession, D::kNone, true, kNoRules},
    {0x5E, "ExecStream", S::kPage, D::kNone, true, kStreamNameOnly},
    {0x5F, "RemoveStream", S::kSession, D::kNone, false, kNoRules},
    {0x60, "PopGS", S::kPage, D::kNone, true, kNoRules},
    {0x61, "PushGS", S::kPage, D::kNone, true, kNoRules},
    {0x62, "SetClipReplace", S::kPage, D::kNone, true, kClipRegionOnly},
    {0x63, "SetBrushSource", S::kPage, D::kNone, true, kBrushSource},
    {0x64, "SetCharAngle", S::kPage, D::kNone, true, kSetCharAngle},
    {0x65, "SetCharScale", S::kPage, D::kNone, true, kSetCharScale},
    {0x66, "SetCharShear", S::kPage, D::kNone, true, kSetCharShear},
    {0x67, "SetClipIntersect", S::kPage, D::kNone, false, kNoRules},
    {0x68, "SetClipRectangle", S::kPage, D::kNone, true, kSetClipRectangle},
    {0x69, "SetClipToPage", S::kPage, D::kNone, true, kNoRules},
    {0x6A, "SetColorSpace", S::kPage, D::kNone, true, kSetColorSpace},
    {0x6B, "SetCursor", S::kPage, D::kNone, true, kPointOnly},
    {0x6C, "SetCursorRel", S::kPage, D::kNone, false, kNoRules},
    {0x6D, "SetHalftoneMethod", S::kPage, D::kNone, false, kNoRules},
    {0x6E, "SetFillMode", S::kPage, D::kNone, true, kSetFillMode},
    {0x6F, "SetFont", S::kPage, D::kNone, true, kSetFont},
    {0x70, "SetLineDash", S::kPage, D::kNone, true, kSetLineDash},
    {0x71, "SetLineCap", S::kPage, D::kNone, true, kSetLineCap},
    {0x72, "SetLineJoin", S::kPage, D::kNone, true, kSetLineJoin},
    {0x73, "SetMiterLimit", S::kPage, D::kNone, true, kSetMiterLimit},
    {0x74, "SetPageDefaultCTM", S::kPage, D::kNone, true, kNoRules},
    {0x75, "SetPageOrigin", S::kPage, D::kNone, true, kSetPageOrigin},
    {0x76, "SetPageRotation", S::kPage, D::kNone, true, kSetPageRotation},
    {0x77, "SetPageScale", S::kPage, D::kNone, true, kSetPageScale},
    {0x78, "SetPatternTxMode", S::kPage, D::kNone, true, kTxMode},
    {0x79, "SetPenSource", S::kPage, D::kNone, true, kPenSource},
    {0x7A, "SetPenWidth", S::kPage, D::kNone, true, kSetPenWidth},
    {0x7B, "SetROP", S::kPage, D::kNone, true, kSetROP},
    {0x7C, "SetSourceTxMode", S::kPage, D::kNone, true, kTxMode},
    {0x7D, "SetCharBoldValue", S::kPage, D::kNone, true, kSetCharBoldValue},
    {0x7E, "SetNeutralAxis", S::kPage, D::kNone, false, kNoRules},
    {0x7F, "SetClipMode", S::kPage, D::kNone, true, kSetClipMode},
    {0x80, "SetPathToClip", S::kPage, D::kNone, false, kNoRules},
    {0x81, "SetCharSubMode", S::kPage, D::kNone, true, kSetCharSubMode},
    {0x82, "BeginUserDefinedLineCap", S::kPage, D::kNone, false, kNoRules},
    {0x83, "EndUserDefinedLineCap", S::kPage, D::kNone, false, kNoRules},
    {0x84, "CloseSubPath", S::kPage, D::kNone, true, kNoRules},
    {0x85, "NewPath", S::kPage, D::kNone, true, kNoRules},
    {0x86, "PaintPath", S::kPage, D::kNone, true, kNoRules},
    {0x91, "ArcPath", S::kPage, D::kNone, false, kNoRules},
    {0x92, "SetColorTrapping", S::kPage, D::kNone, false, kNoRules},
    {0x93, "BezierPath", S::kPage, D::kPoints, true, kBezierPath},
    {0x94, "SetAdaptiveHalftoning", S::kPage, D::kNone, false, kNoRules},
    {0x95, "BezierRelPath", S::kPage, D::kPoints, true, kBezierPath},
    {0x96, "Chord", S::kPage, D::kNone, false, kNoRules},
    {0x97, "ChordPath", S::kPage, D::kNone, false, kNoRules},
    {0x98, "Ellipse", S::kPage, D::kNone, true, kBoundingBoxOnly},
    {0x99, "EllipsePath", S::kPage, D::kNone, false, kNoRules},
    {0x9B, "LinePath", S::kPage, D::kPoints, true, kLinePath},
    {0x9D, "LineRelPath", S::kPage, D::kPoints, true, kLinePath},
    {0x9E, "Pie", S::kPage, D::kNone, false, kNoRules},
    {0x9F, "PiePath", S::kPage, D::kNone, false, kNoRules},
    {0xA0, "Rectangle", S::kPage, D::kNone, true, kBoundingBoxOnly},
    {0xA1, "RectanglePath", S::kPage, D::kNone, false, kNoRules},
    {0xA2, "RoundRectangle", S::kPage, D::kNone, false, kNoRules},
    {0xA3, "RoundRectanglePath", S::kPage, D::kNone, false, kNoRules},
    {0xA8, "Text", S::kPage, D::kNone, true, kText},
    {0xA9, "TextPath", S::kPage, D::kNone, false, kNoRules},
    {0xB0, "BeginImage", S::kPage, D::kNone, true, kBeginImage},
    {0xB1, "ReadImage", S::kPage, D::kRequired, true, kReadRaster},
    {0xB2, "EndImage", S::kPage, D::kNone, true, kNoRules},
    {0xB3, "BeginRastPattern", S::kPage, D::kNone, true, kBeginRastPattern},
    {0xB4, "ReadRastPattern", S::kPage, D::kRequired, true, kReadRaster},
    {0xB5, "EndRastPattern", S::kPage, D::kNone, true, kNoRules},
    {0xB6, "BeginScan", S::kPage, D::kNone, false, kNoRules},
    {0xB8, "EndScan", S::kPage, D::kNone, false, kNoRules},
    {0xB9, "ScanLineRel", S::kPage, D::kRequired, false, kNoRules},
};

struct AttrDef {
  uint8_t id;
  std::string_view name;
};

constexpr AttrDef kAttrDefs[] = {
    {2, "PaletteDepth"}, {3, "ColorSpace"}, {4, "NullBrush"}, {5, "NullPen"},
    {6, "PaletteData"}, {8, "PatternSelectID"}, {9, "GrayLevel"}, {11, "RGBColor"},
    {12, "PatternOrigin"}, {13, "NewDestinationSize"}, {14, "PrimaryArray"},
    {15, "PrimaryDepth"}, {17, "ColorimetricColorSpace"}, {18, "XYChromaticities"},
    {19, "WhitePointReference"}, {20, "CRGBMinMax"}, {21, "GammaGain"},
    {29, "AllObjectTypes"}, {30, "TextObjects"}, {31, "VectorObjects"}, {32, "RasterObjects"},
    {33, "DeviceMatrix"}, {34, "DitherMatrixDataType"}, {35, "DitherOrigin"},
    {36, "MediaDestination"}, {37, "MediaSize"}, {38, "MediaSource"}, {39, "MediaType"},
    {40, "Orientation"}, {41, "PageAngle"}, {42, "PageOrigin"}, {43, "PageScale"},
    {44, "ROP3"}, {45, "TxMode"}, {47, "CustomMediaSize"}, {48, "CustomMediaSizeUnits"},
    {49, "PageCopies"}, {50, "DitherMatrixSize"}, {51, "DitherMatrixDepth"},
    {52, "SimplexPageMode"}, {53, "DuplexPageMode"}, {54, "DuplexPageSide"},
    {65, "ArcDirection"}, {66, "BoundingBox"}, {67, "DashOffset"}, {68, "EllipseDimension"},
    {69, "EndPoint"}, {70, "FillMode"}, {71, "LineCapStyle"}, {72, "LineJoinStyle"},
    {73, "MiterLength"}, {74, "LineDashStyle"}, {75, "PenWidth"}, {76, "Point"},
    {77, "NumberOfPoints"}, {78, "SolidLine"}, {79, "StartPoint"}, {80, "PointType"},
    {81, "ControlPoint1"}, {82, "ControlPoint2"}, {83, "ClipRegion"}, {84, "ClipMode"},
    {98, "ColorDepth"}, {99, "BlockHeight"}, {100, "ColorMapping"}, {101, "CompressMode"},
    {102, "DestinationBox"}, {103, "DestinationSize"}, {104, "PatternPersistence"},
    {105, "PatternDefineID"}, {107, "SourceHeight"}, {108, "SourceWidth"}, {109, "StartLine"},
    {110, "PadBytesMultiple"}, {111, "BlockByteLength"}, {115, "NumberOfScanLines"},
    {120, "ColorTreatment"}, {129, "CommentData"}, {130, "DataOrg"}, {134, "Measure"},
    {136, "SourceType"}, {137, "UnitsPerMeasure"}, {138, "QueryKey"}, {139, "StreamName"},
    {140, "StreamDataLength"}, {143, "ErrorReport"}, {145, "IOReadTimeOut"},
    {161, "CharAngle"}, {162, "CharCode"}, {163, "CharDataSize"}, {164, "CharScale"},
    {165, "CharShear"}, {166, "CharSize"}, {167, "FontHeaderLength"}, {168, "FontName"},
    {169, "FontFormat"}, {170, "SymbolSet"}, {171, "TextData"}, {172, "CharSubModeArray"},
    {173, "WritingMode"}, {175, "XSpacingData"}, {176, "YSpacingData"},
    {177, "CharBoldValue"},
};

struct Tables {
  std::array<TypeInfo, 256> types{};
  std::array<OpInfo, 256> ops{};
  std::array<std::string_view, 256> attrs{};
};

const Tables &GetTables() {
  static const Tables tables = [] {
    Tables t;
    for (auto &ti : t.types) ti = {ValueShape::kNone, ElemType::kUByte, 0, 0};
    const ElemType elems[6] = {ElemType::kUByte, ElemType::kUInt16, ElemType::kUInt32,
                               ElemType::kSInt16, ElemType::kSInt32, ElemType::kReal32};
    const uint8_t sizes[6] = {1, 2, 4, 2, 4, 4};
    for (int i = 0; i < 6; ++i) {
      t.types[0xC0 + i] = {ValueShape::kSingle, elems[i], sizes[i], 1};
      t.types[0xC8 + i] = {ValueShape::kArray, elems[i], sizes[i], 0};
      t.types[0xD0 + i] = {ValueShape::kXY, elems[i], sizes[i], 2};
      t.types[0xE0 + i] = {ValueShape::kBox, elems[i], sizes[i], 4};
    }
    for (auto &oi : t.ops) oi = {{}, Scope::kUnknown, DataUse::kNone, false, {}};
    for (const OpDef &d : kOpDefs) t.ops[d.code] = {d.name, d.scope, d.data, d.checked, d.rules};
    for (const AttrDef &d : kAttrDefs) t.attrs[d.id] = d.name;
    return t;
  }();
  return tables;
}

}  // namespace

const TypeInfo &XL_TypeInfo(uint8_t tag) { return GetTables().types[tag]; }

const OpInfo &XL_OpInfo(uint8_t code) { return GetTables().ops[code]; }

std::string_view XL_AttrName(uint16_t id) {
  return id < 256 ? GetTables().attrs[id] : std::string_view{};
}

}  // namespace pxllist
