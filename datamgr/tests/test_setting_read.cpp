/*
 * Tests of dma_GetValue: statuses and the record-kind output, the formed
 * values (setting 14, byte lanes, flags, the inverted flag 1284), reported
 * types, strings and blocks handed out as record offsets, the escapement
 * alias 311, and the failure contract (nothing but the kind changes on a
 * failed read).
 */
#include "dm_test_records.h"

#include <gtest/gtest.h>

namespace {

using dmtest::Get;
using dmtest::Read;
using dmtest::Records;

const BYTE kPattern = 0xA5;

void ExpectUntouched(const Read &r)
{
    EXPECT_EQ(r.type, 0xBEEF);
    EXPECT_EQ(r.size, 0x5A5A5A5A);
    for (BYTE b : r.slot)
        EXPECT_EQ(b, kPattern);
}

struct StatusCase {
    WORD id;
    bool devmode;
    bool printerData;
    WORD status;
    WORD kind; /* 0x7777: the kind output is left alone */
};

TEST(SettingRead, StatusesAndKindOutput)
{
    const StatusCase cases[] = {
        {0, true, true, 1, 0x7777},     {26, true, true, 1, 0x7777},    {600, true, true, 1, 0x7777},
        {256, true, true, 1, 0x7777},   {8216, true, true, 1, 0x7777},  {0x9029, true, true, 1, 0x7777},
        {0xFFFF, true, true, 1, 0x7777},
        {289, true, true, 16, 0},       {290, true, true, 16, 0},       {337, true, true, 16, 0},
        {347, true, true, 16, 0},       {378, true, true, 16, 0},       {415, true, true, 16, 0},
        {434, true, true, 16, 0},       {4161, true, true, 16, 2},      {4352, true, true, 16, 2},
        {1888, true, true, 1, 0x7777},     {5122, true, true, 16, 2},      {5655, true, true, 16, 2},
        {4097, true, false, 16, 2},     {5121, true, false, 16, 2},     {8215, true, false, 16, 2},
        {1793, false, true, 16, 1},     {2305, false, true, 16, 1},     {257, false, true, 16, 0},
        {1, false, true, 16, 0},
        {257, true, false, 0, 0},       {1793, true, false, 0, 1},      {4097, false, true, 0, 2},
    };
    for (const StatusCase &c : cases) {
        SCOPED_TRACE(c.id);
        Records rec;
        Read r = Get(c.id, c.devmode ? rec.dm() : nullptr, c.printerData ? rec.pd() : nullptr);
        EXPECT_EQ(r.status, c.status);
        EXPECT_EQ(r.kind, c.kind);
        if (c.status != 0)
            ExpectUntouched(r);
    }
}

TEST(SettingRead, MissingOutputPointers)
{
    Records rec;
    WORD type = 0xBEEF, kind = 0x7777;
    LONG size = 0x5A5A5A5A;
    BYTE slot[8];
    std::memset(slot, kPattern, sizeof slot);
    EXPECT_EQ(dma_GetValue(257, rec.dm(), rec.pd(), nullptr, &size, slot, &kind), 16);
    EXPECT_EQ(dma_GetValue(257, rec.dm(), rec.pd(), &type, nullptr, slot, &kind), 16);
    EXPECT_EQ(dma_GetValue(257, rec.dm(), rec.pd(), &type, &size, nullptr, &kind), 16);
    EXPECT_EQ(type, 0xBEEF);
    EXPECT_EQ(size, 0x5A5A5A5A);
    EXPECT_EQ(slot[0], kPattern);
    /* Without a kind output the read still works. */
    EXPECT_EQ(dma_GetValue(257, rec.dm(), rec.pd(), &type, &size, slot, nullptr), 0);
    EXPECT_EQ(type, 3);
}

/* Setting 14: dmPrintQuality x 65,536 + dmYResolution, both signed, in 32 bits. */
TEST(SettingRead, PrintQualityAndYResolution)
{
    struct Case {
        SHORT quality, yres;
        DWORD value;
    };
    const Case cases[] = {
        {600, 600, 0x02580258},      {600, -1, 0x0257FFFF},       {-32768, -32768, 0x7FFF8000},
        {0, -32768, 0xFFFF8000},     {-1, 0, 0xFFFF0000},         {32767, 32767, 0x7FFF7FFF},
        {-4, -3, 0xFFFBFFFD},        {0, 0, 0},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.value);
        Records rec;
        plat::store(rec.dm() + 90, c.quality);
        plat::store(rec.dm() + 96, c.yres);
        rec.dm()[92] = 0x77; /* dmColor sits inside the 4 bytes from 90 */
        Read r = Get(14, rec);
        ASSERT_EQ(r.status, 0);
        EXPECT_EQ(r.type, 5);
        EXPECT_EQ(r.size, 4);
        EXPECT_EQ(plat::load<DWORD>(r.slot), c.value);
        EXPECT_EQ(r.slot[4], kPattern); /* zero-filled over the size only */
    }
}

TEST(SettingRead, ByteLanes)
{
    Records rec;
    const BYTE words[16] = {0x11, 0x22, 0x33, 0x00, 0x44, 0x55, 0x66, 0x77,
                            0x88, 0x99, 0xAA, 0xBB, 0xCC, 0xDD, 0xEE, 0xFF};
    std::memcpy(rec.dm() + 356, words, sizeof words);
    const std::pair<WORD, DWORD> lanes[] = {
        {392, 0x11}, {393, 0x2200}, {394, 0x330000}, {395, 0x44}, {396, 0x5500}, {397, 0x660000},
        {398, 0x88}, {399, 0x9900}, {400, 0xAA0000}, {401, 0xCC}, {402, 0xDD00}, {403, 0xEE0000},
    };
    for (auto [id, value] : lanes) {
        Read r = Get(id, rec);
        ASSERT_EQ(r.status, 0) << id;
        EXPECT_EQ(r.type, 5) << id;
        EXPECT_EQ(r.size, 4) << id;
        EXPECT_EQ(plat::load<DWORD>(r.slot), value) << id;
    }
}

/* A byte setting reported as unsigned 16-bit is zero-extended to 2 bytes. */
TEST(SettingRead, ByteReportedAsWord)
{
    Records rec;
    rec.dm()[308] = 0xAB; /* 267 */
    rec.dm()[309] = 0xCD;
    Read r = Get(267, rec);
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.type, 3);
    EXPECT_EQ(r.size, 2);
    const BYTE slot[8] = {0xAB, 0x00, kPattern, kPattern, kPattern, kPattern, kPattern, kPattern};
    EXPECT_EQ(0, std::memcmp(r.slot, slot, 8));

    rec.dm()[608] = 0xFE; /* 308: a byte without a reported type */
    r = Get(308, rec);
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.type, 8);
    EXPECT_EQ(r.size, 1);
    EXPECT_EQ(r.slot[0], 0xFE);
    EXPECT_EQ(r.slot[1], kPattern);
}

TEST(SettingRead, PlainNumbers)
{
    Records rec;
    plat::store<SHORT>(rec.dm() + 328, -5);                 /* 274, signed 16-bit */
    plat::store<DWORD>(rec.dm() + 324, 0x89ABCDEF);         /* 273, unsigned 32-bit */
    plat::store<LONG>(rec.ext() + 2056, -70000);            /* 1826, signed 32-bit */
    plat::store<LONG>(rec.dm() + 592, -12);                 /* 319, LOGFONTW lfWidth */
    plat::store<WORD>(rec.pd() + 5444, 0xBEEF);             /* 8215 */
    struct Case {
        WORD id, type;
        LONG size;
        ULONGLONG low;
    };
    const Case cases[] = {
        {274, 2, 2, 0xFFFB}, {273, 5, 4, 0x89ABCDEF}, {1826, 4, 4, 0xFFFEEE90},
        {319, 10, 4, 0xFFFFFFF4}, {8215, 3, 2, 0xBEEF},
    };
    for (const Case &c : cases) {
        Read r = Get(c.id, rec);
        ASSERT_EQ(r.status, 0) << c.id;
        EXPECT_EQ(r.type, c.type) << c.id;
        EXPECT_EQ(r.size, c.size) << c.id;
        ULONGLONG v = 0;
        std::memcpy(&v, r.slot, static_cast<size_t>(c.size));
        EXPECT_EQ(v, c.low) << c.id;
        EXPECT_EQ(r.slot[c.size], kPattern) << c.id;
    }
}

struct FlagCase {
    WORD id;
    BYTE *(Records::*record)();
    size_t offset;
    DWORD bit;
    WORD type;
    LONG size;
};

TEST(SettingRead, Flags)
{
    const FlagCase cases[] = {
        {1281, &Records::dm, 288, 0x1, 1, 4},        {1284, &Records::dm, 288, 0x8, 5, 4},
        {1296, &Records::dm, 288, 0x8000, 8, 1},     {1312, &Records::dm, 288, 0x80000000, 1, 4},
        {1322, &Records::dm, 292, 0x200, 3, 2},      {1332, &Records::dm, 292, 0x80000, 3, 2},
        {1376, &Records::dm, 1516, 0x80000000, 1, 4}, {2305, &Records::ext, 3960, 0x1, 1, 4},
        {2529, &Records::ext, 4260, 0x1, 1, 4},      {4128, &Records::pd, 8, 0x80000000, 1, 4},
        {4129, &Records::pd, 4444, 0x1, 1, 4},       {4640, &Records::pd, 2988, 0x80000000, 1, 4},
    };
    for (const FlagCase &c : cases) {
        SCOPED_TRACE(c.id);
        for (bool set : {false, true}) {
            Records rec;
            /* Every other bit of the word holds the opposite value. */
            plat::store<DWORD>((rec.*c.record)() + c.offset, set ? c.bit : ~c.bit);
            Read r = Get(c.id, rec);
            ASSERT_EQ(r.status, 0);
            EXPECT_EQ(r.type, c.type);
            EXPECT_EQ(r.size, c.size);
            DWORD expected = (c.id == 1284) ? !set : set;
            EXPECT_EQ(plat::load<DWORD>(r.slot), expected);
        }
    }
}

/* Type-1 items outside the flag ranges are whole 32-bit words. */
TEST(SettingRead, WholeWordFlag)
{
    Records rec;
    plat::store<DWORD>(rec.pd() + 3980, 0x12345678); /* 5168 */
    Read r = Get(5168, rec);
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.type, 1);
    EXPECT_EQ(r.size, 4);
    EXPECT_EQ(plat::load<DWORD>(r.slot), 0x12345678u);
}

/* Strings: the slot holds the field's offset, the size the bytes with the NUL. */
TEST(SettingRead, StringsAreHandedOutAsOffsets)
{
    struct Case {
        WORD id, kind;
        ULONGLONG offset;
        const char16_t *text; /* written into the field first */
        LONG size;
    };
    const Case cases[] = {
        {259, 0, 224, u"abc", 8},     {1, 0, 0, u"", 2},           {19, 0, 102, u"A4", 6},
        {1795, 1, 4, u"x", 4},        {5121, 2, 18, u"printer", 16}, {1854, 1, 3196, u"", 2},
        {8213, 2, 5312, u"0123456789", 22},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.id);
        Records rec;
        std::memcpy(rec.base(c.kind) + c.offset, c.text, 2 * (std::char_traits<char16_t>::length(c.text) + 1));
        Read r = Get(c.id, rec);
        ASSERT_EQ(r.status, 0);
        EXPECT_EQ(r.type, 6);
        EXPECT_EQ(r.kind, c.kind);
        EXPECT_EQ(r.size, c.size);
        BYTE expected[8];
        std::memset(expected, kPattern, sizeof expected);
        ULONGLONG offset = c.offset;
        std::memcpy(expected, &offset, sizeof(void *));
        EXPECT_EQ(0, std::memcmp(r.slot, expected, 8));
    }
}

/*
 * A field without a NUL never reports more than the field: its whole
 * characters (an odd capacity leaves its last byte out).
 */
TEST(SettingRead, StringWithoutTerminatorStaysInsideItsField)
{
    struct Case {
        WORD id, kind;
        ULONGLONG offset, capacity;
        LONG size;
    };
    const Case cases[] = {
        {259, 0, 224, 64, 64}, {329, 0, 693, 49, 48}, {1854, 1, 3196, 2, 2},
        {1857, 1, 3206, 522, 522}, {5208, 2, 5452, 346, 346}, {5209, 2, 5798, 346, 346},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.id);
        Records rec;
        std::memset(rec.base(c.kind) + c.offset, 'A', c.capacity); /* no NUL anywhere in the field */
        Read r = Get(c.id, rec);
        ASSERT_EQ(r.status, 0);
        EXPECT_EQ(r.size, c.size);
        EXPECT_LE(static_cast<ULONGLONG>(r.size), c.capacity);
    }
}

TEST(SettingRead, BlocksAreHandedOutAsOffsets)
{
    Records rec;
    for (auto [id, offset] : {std::pair<WORD, ULONGLONG>{304, 588}, {357, 816}}) {
        Read r = Get(id, rec);
        ASSERT_EQ(r.status, 0);
        EXPECT_EQ(r.type, 9);
        EXPECT_EQ(r.size, 92);
        EXPECT_EQ(r.kind, 0);
        ULONGLONG got = 0;
        std::memcpy(&got, r.slot, sizeof(void *));
        EXPECT_EQ(got, offset);
    }
}

#if UINTPTR_MAX == 0xFFFFFFFFu
/* In the 32-bit build an offset fills 4 bytes of the still 8-byte slot. */
TEST(SettingRead, OffsetsAreFourBytesWideInThe32BitBuild)
{
    Records rec;
    for (WORD id : {259, 304}) {
        Read r = Get(id, rec);
        ASSERT_EQ(r.status, 0);
        const BYTE expected[8] = {static_cast<BYTE>(id == 259 ? 224 : 588 & 0xFF),
                                  static_cast<BYTE>(id == 259 ? 0 : 588 >> 8), 0, 0,
                                  kPattern, kPattern, kPattern, kPattern};
        EXPECT_EQ(0, std::memcmp(r.slot, expected, 8)) << id;
    }
}
#else
TEST(SettingRead, OffsetsAreEightBytesWideInThe64BitBuild)
{
    Records rec;
    Read r = Get(304, rec);
    ASSERT_EQ(r.status, 0);
    const BYTE expected[8] = {588 & 0xFF, 588 >> 8, 0, 0, 0, 0, 0, 0};
    EXPECT_EQ(0, std::memcmp(r.slot, expected, 8));
}
#endif

TEST(SettingRead, EscapementAliases)
{
    Records rec;
    plat::store<LONG>(rec.dm() + 596, 900); /* 309 */
    plat::store<LONG>(rec.dm() + 600, 450); /* 310 */
    Read r = Get(311, rec);
    EXPECT_EQ(r.status, 16);
    EXPECT_EQ(r.kind, 0);
    ExpectUntouched(r);

    plat::store<LONG>(rec.dm() + 600, 900);
    r = Get(311, rec);
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.type, 10);
    EXPECT_EQ(plat::load<LONG>(r.slot), 900);

    /* 364 is read whatever the second font's orientation holds. */
    plat::store<LONG>(rec.dm() + 824, -300); /* 362 */
    plat::store<LONG>(rec.dm() + 828, 77);   /* 363 */
    r = Get(364, rec);
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(plat::load<LONG>(r.slot), -300);
}

/* A devmode-only record serves every kind-0 setting. */
TEST(SettingRead, DevmodeWithoutExtension)
{
    std::vector<BYTE> devmode(SETTINGS_DEVMODE_SIZE, 0);
    plat::store<WORD>(devmode.data() + 1596, 4321); /* 481, the last private word */
    Read r = Get(481, devmode.data(), nullptr);
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(plat::load<WORD>(r.slot), 4321);
    r = Get(1376, devmode.data(), nullptr);
    EXPECT_EQ(r.status, 0);
}

} // namespace
