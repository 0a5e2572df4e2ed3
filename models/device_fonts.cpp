/*
 * Metrics blocks of the standard model's resident faces.  The widths come
 * from device_font_widths.inc (taken once from the DejaVu fonts and scaled
 * to 1,000 units to the em); the rest of each block is laid out here: the
 * 87-byte header, the names, the identifier text, the 52-byte extended
 * metrics, the width table, kerning pairs and the double-byte extension.
 * Offsets stored in a block count from its byte 6.
 */
#include "device_fonts.h"

#include <algorithm>
#include <string>

namespace tarvel_models {

namespace {

struct FaceMetrics {
    int ascent;
    int descent;
    int capHeight;
    int xHeight;
    int widths[224]; /* codes 0x20..0xFF */
};

#include "device_font_widths.inc"

/* A face's values that the block header carries. */
struct Face {
    std::string face;
    std::string family;
    std::string id; /* the identifier as hexadecimal text */
    const FaceMetrics *metrics = nullptr;
    int weight = 400;
    BYTE pitchAndFamily = 0;
    BYTE charSet = 0;
    int avgWidth = 0;        /* 0: the mean of the widths */
    bool widthTable = true;  /* false: fixed pitch, every width avgWidth */
    std::vector<std::pair<std::string, int>> kerning; /* two characters and the amount */
};

Face make_face(const char *face, const char *family, const char *id, const FaceMetrics *metrics, int weight,
               BYTE pitchAndFamily)
{
    Face f;
    f.face = face;
    f.family = family;
    f.id = id;
    f.metrics = metrics;
    f.weight = weight;
    f.pitchAndFamily = pitchAndFamily;
    return f;
}

struct Block {
    mw::Bytes b = mw::Bytes(87);
    void u8(size_t at, int v) { b[at] = BYTE(v); }
    void u16(size_t at, int v)
    {
        b[at] = BYTE(v);
        b[at + 1] = BYTE(unsigned(v) >> 8);
    }
    void u32(size_t at, DWORD v)
    {
        u16(at, int(v & 0xFFFF));
        u16(at + 2, int(v >> 16));
    }
    /* Appends bytes; their offset from byte 6. */
    DWORD add(const mw::Bytes &data)
    {
        DWORD at = DWORD(b.size()) - 6;
        b.insert(b.end(), data.begin(), data.end());
        return at;
    }
    DWORD addText(const std::string &s)
    {
        mw::Bytes data(s.begin(), s.end());
        data.push_back(0);
        return add(data);
    }
    DWORD addWords(const std::vector<int> &words)
    {
        mw::Bytes data;
        for (int w : words) {
            data.push_back(BYTE(w));
            data.push_back(BYTE(unsigned(w) >> 8));
        }
        return add(data);
    }
};

mw::Bytes metrics_block(const Face &f, BYTE firstChar, BYTE lastChar, const std::vector<int> &widths,
                        const std::vector<int> &extension = {})
{
    const FaceMetrics &m = *f.metrics;
    Block k;
    int internal = m.ascent + m.descent - 1000;
    int avg = f.avgWidth;
    if (!avg) {
        long sum = 0;
        for (int w : widths)
            sum += w;
        avg = int((sum + long(widths.size()) / 2) / long(widths.size()));
    }
    int maxWidth = std::max(avg, widths.empty() ? avg : *std::max_element(widths.begin(), widths.end()));
    k.u16(0, 0x100);             /* dfVersion */
    k.u16(6, 0x80);              /* dfType: a device font */
    k.u16(8, 10);                /* dfPoints */
    k.u16(10, 600);              /* dfVertRes */
    k.u16(12, 600);              /* dfHorizRes */
    k.u16(14, m.ascent);         /* dfAscent */
    k.u16(16, internal);         /* dfInternalLeading */
    k.u16(18, internal + 40);    /* dfExternalLeading */
    k.u16(23, f.weight);         /* dfWeight */
    k.u8(25, f.charSet);         /* dfCharSet */
    k.u16(28, 1000);             /* dfPixHeight */
    k.u8(30, f.pitchAndFamily);  /* dfPitchAndFamily */
    k.u16(31, avg);              /* dfAvgWidth */
    k.u16(33, maxWidth);         /* dfMaxWidth */
    k.u8(35, firstChar);         /* dfFirstChar */
    k.u8(36, lastChar);          /* dfLastChar */
    k.u8(37, '?' - firstChar);   /* dfDefaultChar */
    k.u8(38, ' ' - firstChar);   /* dfBreakChar */

    DWORD face = k.addText(f.face);
    k.addText(f.family);
    k.u32(45, face);
    k.u32(79, k.addText(f.id));
    /* Extended metrics: size, point size, orientation, master height, min and max scale, master units,
       cap and x height, lower-case ascent and descent, slant, super- and subscript offsets and sizes,
       underline offset and width, double underlines, strike-out offset and width, kern pairs and tracks. */
    std::vector<int> etm = {52,        240,  0,   1000, 3,   1000, 1000, m.capHeight, m.xHeight,
                            m.ascent - 170, m.descent, 0, -350, 140, 580, 580, 100, 50, 0, 0, 0, 0,
                            300,       50,   int(f.kerning.size()), 0};
    k.u32(59, k.addWords(etm));
    if (f.widthTable)
        k.u32(63, k.addWords(widths));
    if (!f.kerning.empty()) {
        mw::Bytes pairs = {BYTE(f.kerning.size()), BYTE(f.kerning.size() >> 8)};
        for (const auto &[chars, amount] : f.kerning) {
            pairs.push_back(BYTE(chars[0]));
            pairs.push_back(BYTE(chars[1]));
            pairs.push_back(BYTE(amount));
            pairs.push_back(BYTE(unsigned(amount) >> 8));
        }
        k.u32(71, k.add(pairs));
    }
    if (!extension.empty()) {
        DWORD t1 = k.addWords(extension);
        DWORD e = k.add(mw::Bytes(18));
        k.u32(6 + e + 6, t1);
        k.u32(83, e);
    }
    k.u32(2, DWORD(k.b.size())); /* dfSize */
    return k.b;
}

std::vector<int> latin_widths(const FaceMetrics &m) { return std::vector<int>(m.widths, m.widths + 224); }

const std::vector<std::pair<std::string, int>> kSansKerning = {
    {"AV", -70}, {"AW", -40}, {"AY", -80}, {"LT", -90}, {"To", -80}, {"Te", -80}, {"VA", -70}, {"Yo", -90},
};

} // namespace

mw::Bytes courierMetrics()
{
    Face f = make_face("Courier", "Courier", "0", &kCourierWidths, 400, 0x30);
    f.avgWidth = kCourierWidths.widths[0];
    f.widthTable = false;
    return metrics_block(f, 0x20, 0xFF, latin_widths(kCourierWidths));
}

mw::Bytes helveticaMetrics()
{
    Face f = make_face("Helvetica", "Helvetica", "10", &kHelveticaWidths, 400, 0x21);
    f.kerning = kSansKerning;
    return metrics_block(f, 0x20, 0xFF, latin_widths(kHelveticaWidths));
}

mw::Bytes helveticaBoldMetrics()
{
    Face f = make_face("Helvetica Bold", "Helvetica", "11", &kHelveticaBoldWidths, 700, 0x21);
    f.kerning = kSansKerning;
    return metrics_block(f, 0x20, 0xFF, latin_widths(kHelveticaBoldWidths));
}

mw::Bytes timesMetrics()
{
    Face f = make_face("Times", "Times", "20", &kTimesWidths, 400, 0x11);
    return metrics_block(f, 0x20, 0xFF, latin_widths(kTimesWidths));
}

mw::Bytes minchoMetrics()
{
    /* Half-width codes 0x20..0x7E and the half-width katakana 0xA1..0xDF are 500 wide; the double-byte
       codes of the JIS rows (Shift-JIS lead bytes 0x81..0x84, 0x88..0x9F and 0xE0..0xEA) 1,000. */
    Face f = make_face("Mincho", "Mincho", "80", &kCourierWidths, 400, 0x10);
    f.charSet = 128;
    f.avgWidth = 1000;
    std::vector<int> widths;
    for (int c = 0x20; c <= 0xDF; ++c)
        widths.push_back(c <= 0x7E || c >= 0xA1 ? 500 : 0);
    std::vector<int> ranges = {3, 0x8140, 0x84BE, 1000, 0x889F, 0x9FFC, 1000, 0xE040, 0xEAA4, 1000};
    return metrics_block(f, 0x20, 0xDF, widths, ranges);
}

std::vector<mw::DeviceFont> moreDeviceFonts(WORD firstId)
{
    std::vector<mw::DeviceFont> fonts(3);
    const struct {
        const char *name;
        const char *printerName;
        WORD symbolSet;
        mw::Bytes metrics;
    } rows[] = {
        {"Helvetica Bold", "Helvetica     Bd", 590, helveticaBoldMetrics()},
        {"Times", "Times        Rmn", 590, timesMetrics()},
        {"Mincho", "Mincho          ", 619, minchoMetrics()},
    };
    for (size_t i = 0; i < fonts.size(); ++i) {
        fonts[i].id = WORD(firstId + i);
        fonts[i].name = mw::stored(rows[i].name);
        fonts[i].secondText = mw::stored(rows[i].name);
        fonts[i].metrics = rows[i].metrics;
        fonts[i].items = {mw::vString(mw::stored(rows[i].printerName)), mw::vUShort(rows[i].symbolSet)};
    }
    return fonts;
}

} // namespace tarvel_models
