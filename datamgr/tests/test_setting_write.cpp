/*
 * Tests of dma_SetValue: type and size checks (a failed check changes no
 * byte of either record), the special writes (setting 14, byte lanes, flags,
 * 1284 inverted), strings and blocks with their capacities, the escapement
 * aliases, and the derived settings 325, 326 and 344 with the failure
 * contract of a derived step.
 */
#include "dm_test_records.h"

#include <gtest/gtest.h>

namespace {

using dmtest::Get;
using dmtest::Records;
using dmtest::SetNumber;
using dmtest::SetString;

/* Fills both records with a recognisable pattern. */
void Scribble(Records &rec)
{
    for (size_t i = 0; i < rec.image.size(); ++i)
        rec.image[i] = static_cast<BYTE>(i * 7 + 3);
    for (size_t i = 0; i < rec.printer.size(); ++i)
        rec.printer[i] = static_cast<BYTE>(i * 5 + 1);
}

struct CheckCase {
    WORD id;
    WORD type;
    LONG size;
    WORD status;
};

/* Type and size checks of numbers; every failure leaves both records alone. */
TEST(SettingWrite, TypeAndSizeChecks)
{
    const CheckCase cases[] = {
        {257, 3, 2, 0},  {257, 0, 2, 16}, {257, 7, 2, 2},  {257, 2, 2, 2},   {257, 3, 4, 8},
        {257, 3, 1, 8},  {257, 3, 0, 8},  {257, 3, -2, 8},
        {264, 3, 2, 0},  {264, 8, 1, 0},  {264, 0, 2, 2},  {264, 3, 1, 8},   {264, 8, 2, 8},
        {264, 7, 1, 2},
        {273, 5, 4, 0},  {273, 5, 2, 8},  {273, 4, 4, 2},  {273, 5, 8, 8},
        {274, 2, 2, 0},  {274, 3, 2, 2},  {306, 10, 4, 0}, {306, 4, 4, 2},   {1825, 4, 4, 0},
        /* flags without a reported type take size 4 whatever is passed */
        {1281, 1, 4, 0}, {1281, 1, 1, 0}, {1281, 1, 8, 0}, {1281, 1, 0, 0},  {1281, 1, -7, 0},
        {1281, 0, 4, 16}, {1281, 7, 4, 2}, {1281, 5, 4, 2}, {2560, 1, 2, 0}, {4609, 1, 3, 0},
        /* flags with a reported type check the caller's size */
        {1284, 5, 4, 0}, {1284, 1, 4, 0}, {1284, 1, 1, 8}, {1284, 5, 2, 8},  {1284, 3, 2, 2},
        {1296, 8, 1, 0}, {1296, 8, 4, 8}, {1296, 1, 4, 0}, {1296, 1, 1, 8},  {1322, 3, 2, 0},
        {1322, 3, 4, 8},
        /* a whole-word flag is a plain 32-bit value */
        {5168, 1, 4, 0}, {5168, 1, 1, 8},
        /* identifiers that are not settings */
        {0, 3, 2, 1},    {26, 3, 2, 1},   {600, 3, 2, 1},  {289, 3, 2, 16},  {4200, 1, 4, 16},
    };
    for (const CheckCase &c : cases) {
        SCOPED_TRACE(testing::Message() << c.id << " type " << c.type << " size " << c.size);
        Records rec;
        Scribble(rec);
        const Records before = rec;
        WORD status = SetNumber(c.id, rec, c.type, c.size, 0);
        EXPECT_EQ(status, c.status);
        if (status != 0) {
            EXPECT_EQ(rec.image, before.image);
            EXPECT_EQ(rec.printer, before.printer);
        }
    }
}

TEST(SettingWrite, MissingRecordOrValue)
{
    Records rec;
    WORD v = 1;
    EXPECT_EQ(dma_SetValue(4365, rec.dm(), nullptr, 3, 2, &v), 16);   /* kind 2 */
    EXPECT_EQ(dma_SetValue(1793, nullptr, rec.pd(), 3, 2, &v), 16);   /* kind 1 */
    EXPECT_EQ(dma_SetValue(257, nullptr, rec.pd(), 3, 2, &v), 16);    /* kind 0 */
    EXPECT_EQ(dma_SetValue(257, rec.dm(), rec.pd(), 3, 2, nullptr), 16);
    EXPECT_EQ(dma_SetValue(0, rec.dm(), rec.pd(), 3, 2, nullptr), 16); /* value checked first */
    EXPECT_EQ(rec.image, Records().image);
    EXPECT_EQ(rec.printer, Records().printer);
}

TEST(SettingWrite, NumbersLandAtTheirOffsets)
{
    Records rec;
    Scribble(rec);
    const Records before = rec;
    ASSERT_EQ(SetNumber(264, rec, 3, 2, 0x1234), 0); /* a byte written as type 3 keeps the low byte */
    ASSERT_EQ(SetNumber(1826, rec, 4, 4, 0xFFFEEE90), 0);
    ASSERT_EQ(SetNumber(4365, rec, 3, 2, 0xBEEF), 0);
    ASSERT_EQ(SetNumber(5168, rec, 1, 4, 0x12345678), 0);
    EXPECT_EQ(rec.dm()[300], 0x34);
    EXPECT_EQ(plat::load<LONG>(rec.ext() + 2056), -70000);
    EXPECT_EQ(plat::load<WORD>(rec.pd() + 888), 0xBEEF);
    EXPECT_EQ(plat::load<DWORD>(rec.pd() + 3980), 0x12345678u);
    /* Nothing else moved. */
    size_t changed = 0;
    for (size_t i = 0; i < rec.image.size(); ++i)
        changed += rec.image[i] != before.image[i];
    for (size_t i = 0; i < rec.printer.size(); ++i)
        changed += rec.printer[i] != before.printer[i];
    EXPECT_LE(changed, 1u + 4u + 2u + 4u);
    EXPECT_EQ(rec.dm()[301], before.image[301]);
}

/* Setting 14 writes dmPrintQuality and dmYResolution and nothing between. */
TEST(SettingWrite, PrintQualityAndYResolution)
{
    Records rec;
    Scribble(rec);
    const BYTE between[4] = {rec.dm()[92], rec.dm()[93], rec.dm()[94], rec.dm()[95]};
    ASSERT_EQ(SetNumber(14, rec, 5, 4, 0x7FFF8000), 0);
    EXPECT_EQ(plat::load<SHORT>(rec.dm() + 90), 32767);
    EXPECT_EQ(plat::load<SHORT>(rec.dm() + 96), -32768);
    EXPECT_EQ(0, std::memcmp(rec.dm() + 92, between, 4));
    ASSERT_EQ(SetNumber(14, rec, 5, 4, 0x02580258), 0);
    EXPECT_EQ(Get(20, rec).value() & 0xFFFF, 600u);
    EXPECT_EQ(Get(21, rec).value() & 0xFFFF, 600u);
    EXPECT_EQ(plat::load<DWORD>(Get(14, rec).slot), 0x02580258u);
}

TEST(SettingWrite, ByteLanes)
{
    struct Case {
        WORD id;
        DWORD value;
        BYTE after[4];
    };
    const Case cases[] = {
        {393, 0x5500, {0x11, 0x55, 0x33, 0x44}},
        {393, 0xFFFFFFFF, {0x11, 0xFF, 0x33, 0x44}},
        {392, 0x12345678, {0x78, 0x22, 0x33, 0x44}},
        {394, 0x00AB0000, {0x11, 0x22, 0xAB, 0x44}},
        {394, 0xFF00FFFF, {0x11, 0x22, 0x00, 0x44}},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.id);
        Records rec;
        const BYTE word[4] = {0x11, 0x22, 0x33, 0x44};
        std::memcpy(rec.dm() + 356, word, 4);
        ASSERT_EQ(SetNumber(c.id, rec, 5, 4, c.value), 0);
        EXPECT_EQ(0, std::memcmp(rec.dm() + 356, c.after, 4));
        EXPECT_EQ(plat::load<DWORD>(rec.dm() + 360), 0u);
    }
    /* The last lane word, at 368. */
    Records rec;
    ASSERT_EQ(SetNumber(402, rec, 5, 4, 0xFFFFFFFF), 0);
    EXPECT_EQ(plat::load<DWORD>(rec.dm() + 368), 0xFF00u);
    EXPECT_EQ(plat::load<DWORD>(Get(402, rec).slot), 0xFF00u);
    EXPECT_EQ(plat::load<DWORD>(Get(401, rec).slot), 0u);
}

TEST(SettingWrite, Flags)
{
    struct Case {
        WORD id;
        WORD type;
        LONG size;
        ULONGLONG value;
        bool bitSet;
    };
    /* 1281 is bit 0 of the word at 288; 1284 bit 3 (inverted); 1296 bit 15. */
    const Case cases[] = {
        {1281, 1, 4, 1, true},     {1281, 1, 4, 0x100, false}, {1281, 1, 1, 0xFF, true},
        {1281, 1, 8, 0x0101010100, false}, {1281, 1, 8, 2, true},
        {1284, 5, 4, 1, false},    {1284, 5, 4, 2, true},      {1284, 5, 4, 0, true},
        {1284, 1, 4, 3, false},    {1284, 5, 4, 0x100, true},
        {1296, 8, 1, 1, true},     {1296, 8, 1, 0, false},     {1296, 1, 4, 0x80, true},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.id << " value " << c.value);
        for (DWORD start : {0x00000000u, 0xFFFFFFFFu}) {
            Records rec;
            plat::store<DWORD>(rec.dm() + 288, start);
            ASSERT_EQ(SetNumber(c.id, rec, c.type, c.size, c.value), 0);
            DWORD mask = 0;
            ASSERT_TRUE(dma_GetFlagMask(c.id, &mask));
            DWORD word = plat::load<DWORD>(rec.dm() + 288);
            EXPECT_EQ((word & mask) != 0, c.bitSet);
            EXPECT_EQ(word & ~mask, start & ~mask); /* the other 31 flags stay */
        }
    }
}

TEST(SettingWrite, InvertedFlagReadsBack)
{
    Records rec;
    ASSERT_EQ(SetNumber(1284, rec, 5, 4, 1), 0);
    EXPECT_EQ(plat::load<DWORD>(rec.dm() + 288) & 0x8, 0u);
    EXPECT_EQ(plat::load<DWORD>(Get(1284, rec).slot), 1u);
    ASSERT_EQ(SetNumber(1284, rec, 5, 4, 2), 0);
    EXPECT_EQ(plat::load<DWORD>(rec.dm() + 288) & 0x8, 0x8u);
    EXPECT_EQ(plat::load<DWORD>(Get(1284, rec).slot), 0u);
}

TEST(SettingWrite, ExtensionFlagLeavesItsNeighbours)
{
    Records rec;
    plat::store<DWORD>(rec.ext() + 3960, 0xA5A5A5A4);
    ASSERT_EQ(SetNumber(2305, rec, 1, 4, 1), 0);
    EXPECT_EQ(plat::load<DWORD>(rec.ext() + 3960), 0xA5A5A5A5u);
    for (WORD id = 2306; id <= 2336; ++id) {
        DWORD mask = DWORD{1} << (id - 2305);
        EXPECT_EQ(plat::load<DWORD>(Get(id, rec).slot), (0xA5A5A5A5u & mask) ? 1u : 0u) << id;
    }
    /* Printer-data flags likewise. */
    ASSERT_EQ(SetNumber(4640, rec, 1, 1, 1), 0);
    EXPECT_EQ(plat::load<DWORD>(rec.pd() + 2988), 0x80000000u);
}

/* Strings: capacity / 2 - 1 characters fit; the caller's size must hold them. */
TEST(SettingWrite, StringCapacities)
{
    struct Case {
        WORD id, kind;
        ULONGLONG offset, capacity;
    };
    const Case cases[] = {
        {259, 0, 224, 64}, {329, 0, 693, 49}, {1854, 1, 3196, 2}, {1857, 1, 3206, 522},
        {5143, 2, 1222, 12}, {5209, 2, 5798, 346},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.id);
        const size_t fits = static_cast<size_t>(c.capacity / 2 - 1);
        const LONG capacity = static_cast<LONG>(c.capacity);

        /* The longest string that fits, in a buffer of exactly its bytes. */
        std::u16string longest(fits, u'w');
        {
            Records rec;
            Scribble(rec);
            auto text = dmtest::ExactBytes(longest.c_str(), 2 * (fits + 1));
            const WCHAR *p = reinterpret_cast<const WCHAR *>(text.get());
            const size_t written = 2 * fits + 2;
            const bool tail = written < c.capacity; /* an odd capacity keeps one byte */
            const BYTE after = tail ? rec.base(c.kind)[c.offset + written] : 0;
            ASSERT_EQ(dma_SetValue(c.id, rec.dm(), rec.pd(), 6, static_cast<LONG>(written), &p), 0);
            EXPECT_EQ(0, std::memcmp(rec.base(c.kind) + c.offset, longest.c_str(), written));
            if (tail) {
                EXPECT_EQ(rec.base(c.kind)[c.offset + written], after);
            }
            dmtest::Read r = Get(c.id, rec);
            ASSERT_EQ(r.status, 0);
            EXPECT_EQ(r.size, static_cast<LONG>(2 * fits + 2));
        }
        /* The same with size = capacity. */
        {
            Records rec;
            EXPECT_EQ(SetString(c.id, rec, longest.c_str(), capacity), 0);
        }
        /* One character more: status 4, field unchanged. */
        {
            Records rec;
            Scribble(rec);
            const Records before = rec;
            std::u16string tooLong(fits + 1, u'w');
            EXPECT_EQ(SetString(c.id, rec, tooLong.c_str(), capacity), 4);
            EXPECT_EQ(rec.image, before.image);
            EXPECT_EQ(rec.printer, before.printer);
        }
        /* A size 2 bytes short of the string: status 4. */
        {
            Records rec;
            EXPECT_EQ(SetString(c.id, rec, longest.c_str(), static_cast<LONG>(2 * fits)), 4);
            EXPECT_EQ(SetString(c.id, rec, longest.c_str(), capacity + 1), 4); /* size past the field */
            EXPECT_EQ(SetString(c.id, rec, longest.c_str(), -1), 4);
        }
    }
}

/* A size that stops before the string's NUL never lets the count read on. */
TEST(SettingWrite, StringCountStaysInsideTheCallersSize)
{
    Records rec;
    const char16_t two[2] = {u'a', u'b'}; /* no NUL: exactly 4 bytes */
    auto text = dmtest::ExactBytes(two, sizeof two);
    const WCHAR *p = reinterpret_cast<const WCHAR *>(text.get());
    EXPECT_EQ(dma_SetValue(259, rec.dm(), rec.pd(), 6, 4, &p), 4);
    const char16_t one[2] = {u'a', 0};
    auto text1 = dmtest::ExactBytes(one, sizeof one);
    p = reinterpret_cast<const WCHAR *>(text1.get());
    EXPECT_EQ(dma_SetValue(259, rec.dm(), rec.pd(), 6, 4, &p), 0);
}

TEST(SettingWrite, StringNullPointerAndSharedField)
{
    Records rec;
    const WCHAR *none = nullptr;
    EXPECT_EQ(dma_SetValue(259, rec.dm(), rec.pd(), 6, 64, &none), 16);
    EXPECT_EQ(dma_SetValue(304, rec.dm(), rec.pd(), 9, 92, &none), 16);

    ASSERT_EQ(SetString(297, rec, u"stamp", 12), 0);
    dmtest::Read r = Get(298, rec);
    ASSERT_EQ(r.status, 0);
    EXPECT_EQ(r.size, 12);
    EXPECT_EQ(0, std::memcmp(rec.dm() + 382, u"stamp", 12));
}

/* A string that already sits in the same field may be written (overlap). */
TEST(SettingWrite, StringFromInsideItsOwnField)
{
    Records rec;
    std::memcpy(rec.dm() + 616, u"xabc", 10); /* 305, the first face name */
    const WCHAR *p = reinterpret_cast<const WCHAR *>(rec.dm() + 618);
    ASSERT_EQ(dma_SetValue(305, rec.dm(), rec.pd(), 6, 8, &p), 0);
    EXPECT_EQ(0, std::memcmp(rec.dm() + 616, u"abc", 8));
}

TEST(SettingWrite, LogfontBlock)
{
    BYTE block[92];
    for (size_t i = 0; i < sizeof block; ++i)
        block[i] = static_cast<BYTE>(0x80 + i);
    for (LONG size : {92, 0, 60}) {
        SCOPED_TRACE(size);
        Records rec;
        Scribble(rec);
        const Records before = rec;
        const BYTE *p = block;
        ASSERT_EQ(dma_SetValue(357, rec.dm(), rec.pd(), 9, size, &p), 0);
        EXPECT_EQ(0, std::memcmp(rec.dm() + 816, block, 92));
        EXPECT_EQ(rec.dm()[815], before.image[815]);
        EXPECT_EQ(rec.dm()[908], before.image[908]);
    }
    Records rec;
    const Records before = rec;
    const BYTE *p = block;
    EXPECT_EQ(dma_SetValue(304, rec.dm(), rec.pd(), 9, 93, &p), 4);
    EXPECT_EQ(dma_SetValue(304, rec.dm(), rec.pd(), 6, 92, &p), 2);
    EXPECT_EQ(rec.image, before.image);
}

TEST(SettingWrite, EscapementAliasesWriteTheOrientation)
{
    Records rec;
    ASSERT_EQ(SetNumber(311, rec, 10, 4, 900), 0);
    EXPECT_EQ(plat::load<LONG>(rec.dm() + 596), 900);
    EXPECT_EQ(plat::load<LONG>(rec.dm() + 600), 900);
    EXPECT_EQ(plat::load<LONG>(Get(311, rec).slot), 900);

    ASSERT_EQ(SetNumber(364, rec, 10, 4, static_cast<ULONGLONG>(static_cast<DWORD>(-450))), 0);
    EXPECT_EQ(plat::load<LONG>(rec.dm() + 824), -450);
    EXPECT_EQ(plat::load<LONG>(rec.dm() + 828), -450);

    /* 309 alone leaves the orientation, so 311 no longer reads. */
    ASSERT_EQ(SetNumber(309, rec, 10, 4, 100), 0);
    EXPECT_EQ(plat::load<LONG>(rec.dm() + 600), 900);
    EXPECT_EQ(Get(311, rec).status, 16);
}

/* 267 -> 325 through the side mapping. */
TEST(SettingWrite, SideValueDerivesSetting325)
{
    struct Case {
        WORD type;
        LONG size;
        ULONGLONG value;
        WORD status;
        BYTE at267;
        BYTE at325; /* 0xEE: unchanged */
    };
    const Case cases[] = {
        {3, 2, 0, 0, 0, 0}, {3, 2, 1, 0, 1, 3}, {3, 2, 2, 0, 2, 4}, {3, 2, 3, 0, 3, 3},
        {3, 2, 4, 0, 4, 2}, {3, 2, 5, 0, 5, 1}, {3, 2, 6, 0, 6, 1}, {3, 2, 7, 0, 7, 4},
        {3, 2, 8, 0, 8, 2}, {3, 2, 9, 16, 9, 0xEE}, {3, 2, 255, 16, 255, 0xEE},
        /* the byte stays 7, but the 16-bit value 0x107 has no mapping */
        {3, 2, 0x107, 16, 7, 0xEE},
        /* a byte handed over alone (type 8, size 1) is zero-extended */
        {8, 1, 7, 0, 7, 4}, {8, 1, 2, 0, 2, 4}, {8, 1, 9, 16, 9, 0xEE},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << "value " << c.value << " size " << c.size);
        Records rec;
        rec.dm()[686] = 0xEE; /* 325 */
        rec.dm()[687] = 0x5C;
        EXPECT_EQ(SetNumber(267, rec, c.type, c.size, c.value), c.status);
        EXPECT_EQ(rec.dm()[308], c.at267);
        EXPECT_EQ(rec.dm()[686], c.at325);
        EXPECT_EQ(rec.dm()[687], 0x5C);
    }
}

/* 320 -> 326 and 341 -> 344 through the staple and punch mapping. */
TEST(SettingWrite, StapleAndPunchDeriveTheirPositions)
{
    struct Case {
        WORD id;
        SHORT orientation; /* dmOrientation, devmode 76 */
        BYTE side;         /* setting 295, devmode 379 */
        ULONGLONG code;
        WORD status;
        WORD derived; /* 0xEEEE: unchanged */
    };
    const Case cases[] = {
        {320, 2, 8, 3, 0, 257},   {320, 2, 1, 3, 0, 771},  {320, 2, 3, 3, 16, 0xEEEE},
        {320, 1, 1, 3, 0, 257},   {320, 1, 32, 3, 0, 771}, {320, 1, 16, 2, 0, 259},
        {320, 2, 16, 2, 0, 515},  {320, 0, 1, 3, 16, 0xEEEE}, {320, 3, 4, 5, 16, 0xEEEE},
        {320, 0, 0, 0, 0, 0},     {320, 0, 0, 9, 0, 1542}, {320, 7, 99, 11, 0, 2056},
        {320, 1, 4, 12, 16, 0xEEEE},
        {341, 1, 4, 2, 0, 257},   {341, 1, 32, 2, 0, 771}, {341, 2, 2, 4, 0, 514},
        {341, 2, 0, 5, 0, 1542},  {341, 1, 1, 6, 16, 0xEEEE}, {341, 1, 64, 1, 16, 0xEEEE},
        {341, -1, 1, 1, 16, 0xEEEE},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.id << " orientation " << c.orientation << " 295=" << int(c.side)
                                        << " code " << c.code);
        Records rec;
        plat::store<SHORT>(rec.dm() + 76, c.orientation);
        rec.dm()[379] = c.side;
        const size_t main = c.id == 320 ? 680 : 790;
        const size_t derived = c.id == 320 ? 688 : 794;
        plat::store<WORD>(rec.dm() + derived, 0xEEEE);
        EXPECT_EQ(SetNumber(c.id, rec, 3, 2, c.code), c.status);
        EXPECT_EQ(rec.dm()[main], static_cast<BYTE>(c.code)); /* the main write stays */
        EXPECT_EQ(plat::load<WORD>(rec.dm() + derived), c.derived);
    }
}

TEST(SettingWrite, StapleCodeHandedOverAsOneByte)
{
    Records rec;
    plat::store<SHORT>(rec.dm() + 76, 2);
    rec.dm()[379] = 8;
    ASSERT_EQ(SetNumber(320, rec, 8, 1, 3), 0);
    EXPECT_EQ(plat::load<WORD>(rec.dm() + 688), 257);
    ASSERT_EQ(SetNumber(341, rec, 8, 1, 1), 0);
    EXPECT_EQ(plat::load<WORD>(rec.dm() + 794), 771);
}

/* 483 and 335 are one byte of the devmode. */
TEST(SettingWrite, SharedByteOf483And335)
{
    Records rec;
    ASSERT_EQ(SetNumber(483, rec, 3, 2, 0x42), 0);
    EXPECT_EQ(rec.dm()[749], 0x42);
    EXPECT_EQ(Get(335, rec).value() & 0xFFFF, 0x42u);
}

} // namespace
