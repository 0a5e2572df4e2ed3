// What the font tests share: the Debian fonts they use, a small reader of
// a font file's own tables (so that expected values come from the file,
// not from the code under test), and a TrueType collection joined from
// whole font files.
#ifndef FONT_FIXTURE_H
#define FONT_FIXTURE_H

#include <plat/engine_fonts.h>

#include <cstdint>
#include <cstring>
#include <fstream>
#include <iterator>
#include <string>
#include <vector>

namespace fonttest {

inline const std::string kDejaVu = "/usr/share/fonts/truetype/dejavu/";
inline const std::string kSans = kDejaVu + "DejaVuSans.ttf";
inline const std::string kSansBold = kDejaVu + "DejaVuSans-Bold.ttf";
inline const std::string kMono = kDejaVu + "DejaVuSansMono.ttf";
inline const std::string kExtraLight = kDejaVu + "DejaVuSans-ExtraLight.ttf";

inline std::vector<uint8_t> read_file(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    return std::vector<uint8_t>(std::istreambuf_iterator<char>(in), std::istreambuf_iterator<char>());
}

inline void write_file(const std::string &path, const std::vector<uint8_t> &bytes)
{
    std::ofstream out(path, std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
}

inline uint32_t be32(const uint8_t *p) { return uint32_t(p[0]) << 24 | uint32_t(p[1]) << 16 | uint32_t(p[2]) << 8 | p[3]; }
inline uint16_t be16(const uint8_t *p) { return uint16_t(p[0] << 8 | p[1]); }
inline int16_t sbe16(const uint8_t *p) { return int16_t(be16(p)); }

/* The tables of a single font file, read straight from its directory. */
struct Sfnt {
    std::vector<uint8_t> bytes;

    explicit Sfnt(const std::string &path) : bytes(read_file(path)) {}

    /* The start of table `tag` (the test fails on a missing table by reading nullptr). */
    const uint8_t *table(const char *tag) const
    {
        const size_t n = be16(bytes.data() + 4);
        for (size_t i = 0; i < n; i++) {
            const uint8_t *e = bytes.data() + 12 + 16 * i;
            if (std::memcmp(e, tag, 4) == 0)
                return bytes.data() + be32(e + 8);
        }
        return nullptr;
    }

    /* Name `id` of the Windows Unicode US English records. */
    std::u16string name(uint16_t id) const
    {
        const uint8_t *t = table("name");
        const size_t count = be16(t + 2), strings = be16(t + 4);
        for (size_t i = 0; i < count; i++) {
            const uint8_t *r = t + 6 + 12 * i;
            if (be16(r) == 3 && be16(r + 2) == 1 && be16(r + 4) == 0x409 && be16(r + 6) == id) {
                std::u16string s;
                for (size_t b = 0; b + 1 < be16(r + 8); b += 2)
                    s.push_back(char16_t(be16(t + strings + be16(r + 10) + b)));
                return s;
            }
        }
        return u"";
    }

    /* The advance of glyph `g` in font units (the last long metric repeats past numberOfHMetrics). */
    uint16_t advance(uint32_t g) const
    {
        const uint16_t metrics = be16(table("hhea") + 34);
        return be16(table("hmtx") + 4 * (g < metrics ? g : metrics - 1u));
    }
};

/* A "ttcf" collection of whole font files, each member's table offsets moved to where its file now lies. */
inline std::vector<uint8_t> make_collection(const std::vector<std::string> &files)
{
    std::vector<uint8_t> out(12 + 4 * files.size(), 0);
    std::memcpy(out.data(), "ttcf", 4);
    out[5] = 1; /* version 1.0 */
    out[11] = uint8_t(files.size());
    for (size_t f = 0; f < files.size(); f++) {
        while (out.size() % 4)
            out.push_back(0);
        const uint32_t base = uint32_t(out.size());
        std::vector<uint8_t> font = read_file(files[f]);
        const size_t tables = be16(font.data() + 4);
        for (size_t i = 0; i < tables; i++) {
            uint8_t *e = font.data() + 12 + 16 * i + 8;
            const uint32_t moved = be32(e) + base;
            e[0] = uint8_t(moved >> 24), e[1] = uint8_t(moved >> 16), e[2] = uint8_t(moved >> 8), e[3] = uint8_t(moved);
        }
        for (int b = 0; b < 4; b++)
            out[12 + 4 * f + size_t(b)] = uint8_t(base >> (24 - 8 * b));
        out.insert(out.end(), font.begin(), font.end());
    }
    return out;
}

inline std::u16string wide(const WCHAR *s)
{
    std::u16string out;
    while (s && *s)
        out.push_back(*s++);
    return out;
}

} // namespace fonttest

#endif // FONT_FIXTURE_H
