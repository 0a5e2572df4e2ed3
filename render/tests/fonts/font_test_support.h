// Builds device-font metrics blocks for the font tests: the 87-byte header
// with its fields at their byte offsets from the block start, and texts and
// tables appended after it whose offsets (counted from byte 6, as the block
// stores them) the builder answers.
#ifndef RENDER_TESTS_DRAW_FONT_TEST_SUPPORT_H
#define RENDER_TESTS_DRAW_FONT_TEST_SUPPORT_H

#include <plat/types.h>

#include <cstring>
#include <initializer_list>
#include <string>
#include <vector>

namespace font_test {

struct MetricsBuilder {
    std::vector<BYTE> bytes = std::vector<BYTE>(87);

    void u8(DWORD at, BYTE v) { bytes.at(at) = v; }
    void u16(DWORD at, WORD v)
    {
        bytes.at(at) = BYTE(v);
        bytes.at(at + 1) = BYTE(v >> 8);
    }
    void u32(DWORD at, DWORD v)
    {
        u16(at, WORD(v));
        u16(at + 2, WORD(v >> 16));
    }
    /* Appends raw bytes; their offset from byte 6. */
    DWORD append(const std::vector<BYTE> &data)
    {
        DWORD at = DWORD(bytes.size()) - 6;
        bytes.insert(bytes.end(), data.begin(), data.end());
        return at;
    }
    /* Appends 16-bit values; their offset from byte 6. */
    DWORD words(std::initializer_list<int> values)
    {
        std::vector<BYTE> data;
        for (int v : values) {
            data.push_back(BYTE(v));
            data.push_back(BYTE(unsigned(v) >> 8));
        }
        return append(data);
    }
    /* Appends a NUL-terminated text; its offset from byte 6. */
    DWORD text(const std::string &s)
    {
        std::vector<BYTE> data(s.begin(), s.end());
        data.push_back(0);
        return append(data);
    }
    const BYTE *from6() const { return bytes.data() + 6; }
    DWORD limit() const { return DWORD(bytes.size()) - 6; }
};

} // namespace font_test

#endif // RENDER_TESTS_DRAW_FONT_TEST_SUPPORT_H
