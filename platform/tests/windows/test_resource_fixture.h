// A sound resource container laid out by hand, byte by byte, for the reader
// and module tests; the malformed cases patch single fields of it.
#ifndef TEST_RESOURCE_FIXTURE_H
#define TEST_RESOURCE_FIXTURE_H

#include <plat/resource.h>
#include <plat/text.h>

#include <gtest/gtest.h>

#include <cstring>
#include <functional>
#include <set>
#include <string>
#include <vector>

inline void put16(std::vector<BYTE> &b, size_t at, uint16_t v)
{
    b[at] = BYTE(v);
    b[at + 1] = BYTE(v >> 8);
}

inline void put32(std::vector<BYTE> &b, size_t at, uint32_t v)
{
    for (int i = 0; i < 4; ++i)
        b[at + size_t(i)] = BYTE(v >> (8 * i));
}

inline uint32_t get32(const std::vector<BYTE> &b, size_t at)
{
    return uint32_t(b[at]) | uint32_t(b[at + 1]) << 8 | uint32_t(b[at + 2]) << 16 | uint32_t(b[at + 3]) << 24;
}

/*
 * The layout (offsets in bytes):
 *     0  header: "TXRS", version 1, header size 32, 6 entries, directory at
 *        32, name pool at 128 (20 bytes), file size 324
 *    32  directory, in order: (2, 101) bitmap; (6, 1) and (6, 17) string
 *        blocks; (10, 1) raw; (10, "LOGO") raw; ("CONF", 7) empty
 *   128  name pool: "LOGO" at 0, "CONF" at 10
 *   148  "BMPDATA!"
 *   156  string block 1 (strings 0-15): 1 "Hi", 15 "Last"; 76 bytes
 *   232  string block 17 (strings 256-271): 265 "Caption"; 78 bytes, 2 pad
 *   312  "raw", 1 pad
 *   316  "LOGOBITS"
 *   324  end (the CONF entry is empty, at the end)
 */
struct GoodContainer {
    std::vector<BYTE> bytes = std::vector<BYTE>(324, 0);
    size_t pool = 128;
    size_t block1 = 156;

    size_t entry(int i) const { return 32 + 16 * size_t(i); }

    void text(size_t at, std::u16string_view s)
    {
        for (size_t i = 0; i < s.size(); ++i)
            put16(bytes, at + 2 * i, s[i]);
    }
    void ascii(size_t at, const char *s) { std::memcpy(bytes.data() + at, s, std::strlen(s)); }
    void dir(int i, uint32_t type, uint32_t id, uint32_t off, uint32_t size)
    {
        put32(bytes, entry(i), type);
        put32(bytes, entry(i) + 4, id);
        put32(bytes, entry(i) + 8, off);
        put32(bytes, entry(i) + 12, size);
    }

    GoodContainer()
    {
        ascii(0, "TXRS");
        put16(bytes, 4, 1);
        put16(bytes, 6, 32);
        put32(bytes, 8, 6);
        put32(bytes, 12, 32);
        put32(bytes, 16, 128);
        put32(bytes, 20, 20);
        put32(bytes, 24, 324);

        dir(0, 2, 101, 148, 8);
        dir(1, 6, 1, 156, 76);
        dir(2, 6, 17, 232, 78);
        dir(3, 10, 1, 312, 3);
        dir(4, 10, 0x80000000u | 0, 316, 8);
        dir(5, 0x80000000u | 10, 7, 324, 0);

        put16(bytes, 128, 4);
        text(130, u"LOGO");
        put16(bytes, 138, 4);
        text(140, u"CONF");

        ascii(148, "BMPDATA!");
        // block 1: record 0 empty (4 bytes), record 1 "Hi" at 160, records
        // 2-14 empty, record 15 "Last" at 220; empty records are {0, 0}
        put16(bytes, 160, 2);
        text(162, u"Hi");
        put16(bytes, 220, 4);
        text(222, u"Last");
        // block 17: records 0-8 empty (36 bytes), record 9 "Caption" at 268
        put16(bytes, 268, 7);
        text(270, u"Caption");
        ascii(312, "raw");
        ascii(316, "LOGOBITS");
    }
};

#endif
