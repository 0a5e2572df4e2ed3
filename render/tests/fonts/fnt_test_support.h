// Fixtures of the font-download tests: sfnt files assembled from tables
// (small hand-made fonts, collections of real ones), the real DejaVu fonts,
// and the download read back from the PCL XL stream (font headers and
// characters per font name, fonts removed, in stream order).
#ifndef RENDER_TESTS_DRAW_FNT_TEST_SUPPORT_H
#define RENDER_TESTS_DRAW_FNT_TEST_SUPPORT_H

#include "draw_test_support.h"

#include <cstdint>
#include <fstream>
#include <iterator>
#include <map>
#include <string>
#include <utility>
#include <vector>

namespace fnt_test {

using Font = std::vector<uint8_t>;

inline constexpr char kDejaVuDir[] = "/usr/share/fonts/truetype/dejavu/";

inline Font readFont(const std::string &file)
{
    std::ifstream in(std::string(kDejaVuDir) + file, std::ios::binary);
    return Font(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline uint16_t be16(const uint8_t *p) { return uint16_t(p[0] << 8 | p[1]); }
inline uint32_t be32(const uint8_t *p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
inline void put16(Font &f, size_t at, uint32_t v) { f[at] = uint8_t(v >> 8); f[at + 1] = uint8_t(v); }
inline void put32(Font &f, size_t at, uint32_t v)
{
    put16(f, at, v >> 16);
    put16(f, at + 2, v & 0xFFFF);
}
inline void add16(Font &f, uint32_t v) { f.push_back(uint8_t(v >> 8)), f.push_back(uint8_t(v)); }
inline void add32(Font &f, uint32_t v) { add16(f, v >> 16), add16(f, v & 0xFFFF); }

/* A table of a font being assembled. */
struct Table {
    std::string tag;
    Font data;
};

/* An sfnt of `version` with `tables` in the given order, each at a 4-byte boundary (checksums 0). */
inline Font assemble(const std::vector<Table> &tables, uint32_t version = 0x00010000)
{
    Font f;
    add32(f, version);
    add16(f, uint32_t(tables.size()));
    add16(f, 0), add16(f, 0), add16(f, 0);
    size_t offset = 12 + 16 * tables.size();
    for (const Table &t : tables) {
        add32(f, be32(reinterpret_cast<const uint8_t *>(t.tag.data())));
        add32(f, 0);
        add32(f, uint32_t(offset));
        add32(f, uint32_t(t.data.size()));
        offset += (t.data.size() + 3) & ~size_t(3);
    }
    for (const Table &t : tables) {
        f.insert(f.end(), t.data.begin(), t.data.end());
        f.resize((f.size() + 3) & ~size_t(3));
    }
    return f;
}

/* The tables of an sfnt at `at` in `file`: tag -> (offset, length), in directory order. */
inline std::vector<std::pair<std::string, std::pair<uint32_t, uint32_t>>> directory(const Font &file, size_t at = 0)
{
    std::vector<std::pair<std::string, std::pair<uint32_t, uint32_t>>> out;
    const uint16_t n = be16(&file[at + 4]);
    for (uint16_t i = 0; i < n; i++) {
        const uint8_t *r = &file[at + 12 + 16 * i];
        out.push_back({std::string(reinterpret_cast<const char *>(r), 4), {be32(r + 8), be32(r + 12)}});
    }
    return out;
}

/* A "ttcf" collection of `members`, each copied whole with its table offsets moved. */
inline Font collection(const std::vector<Font> &members)
{
    Font f;
    add32(f, 0x74746366);
    add32(f, 0x00010000);
    add32(f, uint32_t(members.size()));
    size_t base = 12 + 4 * members.size();
    for (const Font &m : members) {
        add32(f, uint32_t(base));
        base += (m.size() + 3) & ~size_t(3);
    }
    for (const Font &m : members) {
        const size_t at = f.size();
        f.insert(f.end(), m.begin(), m.end());
        const uint16_t n = be16(&m[4]);
        for (uint16_t i = 0; i < n; i++)
            put32(f, at + 12 + 16 * i + 8, be32(&m[12 + 16 * i + 8]) + uint32_t(at));
        f.resize((f.size() + 3) & ~size_t(3));
    }
    return f;
}

/* One font as the stream downloaded it. */
struct Downloaded {
    Font header;                              /* the ReadFontHeader pieces joined */
    std::vector<uint32_t> pieces;             /* their lengths */
    std::vector<std::pair<uint16_t, Font>> chars; /* ReadChar: code and data */
};

/* What the stream did: fonts by name, and every font-related operator in order ("Header F", "Char F", "Remove F"). */
struct Stream {
    std::map<std::string, Downloaded> fonts;
    std::vector<std::string> events;
};

inline std::string fontName(const pxllist::Record &r)
{
    std::string s;
    if (const pxllist::Attribute *a = pxllist::FindAttribute(r, pxllist::attr::kFontName))
        for (double v : a->values)
            s += char(uint8_t(v));
    return s;
}

/* Lists `bytes` (a stream body) and gathers the font operators. */
inline Stream decode(const Bytes &bytes)
{
    Stream out;
    std::string job = ") HP-PCL XL;2;1;test\n" + std::string(bytes.begin(), bytes.end());
    pxllist::Options options;
    options.stream_body = true;
    pxllist::Listing listing;
    std::span<const uint8_t> span(reinterpret_cast<const uint8_t *>(job.data()), job.size());
    EXPECT_TRUE(pxllist::ListJob(span, options, &listing)) << pxllist::FormatError(listing.error);
    std::string current;
    for (const pxllist::Record &r : listing.records) {
        if (r.kind != pxllist::RecordKind::kOperator)
            continue;
        switch (r.op) {
        case pxllist::op::kBeginFontHeader:
            current = fontName(r);
            out.fonts[current] = Downloaded{};
            out.events.push_back("Header " + current);
            break;
        case pxllist::op::kReadFontHeader:
            out.fonts[current].header.insert(out.fonts[current].header.end(), r.data.begin(), r.data.end());
            out.fonts[current].pieces.push_back(uint32_t(r.data.size()));
            break;
        case pxllist::op::kBeginChar:
            current = fontName(r);
            out.events.push_back("Chars " + current);
            break;
        case pxllist::op::kReadChar: {
            const pxllist::Attribute *code = pxllist::FindAttribute(r, pxllist::attr::kCharCode);
            out.fonts[current].chars.push_back({uint16_t(code ? code->values[0] : 0), Font(r.data.begin(), r.data.end())});
            break;
        }
        case pxllist::op::kRemoveFont:
            out.events.push_back("Remove " + fontName(r));
            break;
        default:
            break;
        }
    }
    return out;
}

} // namespace fnt_test

#endif /* RENDER_TESTS_DRAW_FNT_TEST_SUPPORT_H */
