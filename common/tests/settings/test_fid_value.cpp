/*
 * Tests of the typed-value operations: sizes by type, numeric reads with
 * their sign rules, copies into a slot and comparisons under every type.
 */
#include <tarvel/setting_layout.h>
#include <tarvel/settings/fid_value.h>

#include <gtest/gtest.h>

#include <string>

namespace {

/* An 8-byte slot holding `bytes` little-endian. */
struct Slot {
    BYTE b[FID_SLOT_SIZE] = {};
    explicit Slot(ULONGLONG v = 0) { plat::store<ULONGLONG>(b, v); }
    static Slot of(const void *p)
    {
        Slot s;
        FID_SetSlotPointer(s.b, p);
        return s;
    }
};

} // namespace

TEST(FidValue, SizesByType)
{
    const WCHAR *text = u"Tarvel";
    Slot str = Slot::of(text), none = Slot::of(nullptr);
    struct Case {
        WORD type;
        LONG length;
        const Slot *slot;
        LONG size;
    } cases[] = {
        {SVT_FLAG, -1, nullptr, 4},        {SVT_INT16, -1, nullptr, 2},   {SVT_UINT16, -1, nullptr, 2},
        {SVT_INT32, -1, nullptr, 4},       {SVT_UINT32, -1, nullptr, 4},  {SVT_BYTE, -1, nullptr, 1},
        {SVT_LOGFONT, -1, nullptr, 92},    {SVT_LOGFONT_MEMBER, -1, nullptr, 4},
        {SVT_WSTRING, -1, &str, 14},       {SVT_WSTRING, 66, &str, 66},   {SVT_WSTRING, -1, &none, 0},
        {SVT_WSTRING, -1, nullptr, 0},     {0, -1, nullptr, 0},           {7, -1, nullptr, 0},
        {11, 4, nullptr, 0},
    };
    for (const Case &c : cases)
        EXPECT_EQ(FID_ValueSize(c.slot ? c.slot->b : nullptr, c.type, c.length), c.size)
            << "type " << c.type << " length " << c.length;
}

TEST(FidValue, NumericReads)
{
    Slot v(0x8001FFFE);
    EXPECT_EQ(FID_ReadValueAsInt(v.b, SVT_INT32), static_cast<INT>(0x8001FFFE));
    EXPECT_EQ(FID_ReadValueAsUInt(v.b, SVT_UINT32), 0x8001FFFEu);
    EXPECT_EQ(FID_ReadValueAsInt(v.b, SVT_INT16), -2) << "signed 16 bits";
    EXPECT_EQ(FID_ReadValueAsInt(v.b, SVT_UINT16), 0xFFFE);
    EXPECT_EQ(FID_ReadValueAsInt(v.b, SVT_BYTE), 0xFE);
    EXPECT_EQ(FID_ReadValueAsShort(v.b, SVT_INT32), -2) << "cut to the result type";
    EXPECT_EQ(FID_ReadValueAsUInt(v.b, SVT_INT16), 0xFFFFFFFEu);
    EXPECT_EQ(FID_ReadValueAsInt(v.b, SVT_FLAG), static_cast<INT>(0x8001FFFE));
    EXPECT_EQ(FID_ReadValueAsInt(v.b, SVT_LOGFONT_MEMBER), static_cast<INT>(0x8001FFFE));
    EXPECT_EQ(FID_ReadValueAsInt(v.b, SVT_WSTRING), 0);
    EXPECT_EQ(FID_ReadValueAsInt(v.b, SVT_LOGFONT), 0);
    EXPECT_EQ(FID_ReadValueAsInt(v.b, 7), 0);
    EXPECT_EQ(FID_ReadValueAsUInt(nullptr, SVT_INT32), 0u);
}

TEST(FidValue, CopyClearsTheLow32BitsThenCopiesTheTypeSize)
{
    const BYTE source[4] = {0x11, 0x22, 0x33, 0x44};
    struct Case {
        WORD type;
        ULONGLONG expected;
    } cases[] = {
        {SVT_FLAG, 0xAAAAAAAA44332211ull},  {SVT_INT32, 0xAAAAAAAA44332211ull},
        {SVT_UINT32, 0xAAAAAAAA44332211ull}, {SVT_LOGFONT_MEMBER, 0xAAAAAAAA44332211ull},
        {SVT_INT16, 0xAAAAAAAA00002211ull}, {SVT_UINT16, 0xAAAAAAAA00002211ull},
        {SVT_BYTE, 0xAAAAAAAA00000011ull},
    };
    for (const Case &c : cases) {
        Slot s(0xAAAAAAAAAAAAAAAAull);
        EXPECT_EQ(FID_CopyValue(c.type, s.b, source), 1);
        EXPECT_EQ(plat::load<ULONGLONG>(s.b), c.expected) << c.type;
    }
    const WCHAR *text = u"x";
    Slot s(0xAAAAAAAAAAAAAAAAull);
    EXPECT_EQ(FID_CopyValue(SVT_WSTRING, s.b, text), 1);
    EXPECT_EQ(FID_SlotString(s.b), text);
    Slot untouched(0xAAAAAAAAAAAAAAAAull);
    EXPECT_EQ(FID_CopyValue(SVT_LOGFONT, untouched.b, source), 0);
    EXPECT_EQ(FID_CopyValue(0, untouched.b, source), 0);
    EXPECT_EQ(plat::load<ULONGLONG>(untouched.b), 0xAAAAAAAAAAAAAAAAull);
    EXPECT_EQ(FID_CopyValue(SVT_INT32, nullptr, source), 0);
    EXPECT_EQ(FID_CopyValue(SVT_INT32, untouched.b, nullptr), 0);
}

TEST(FidValue, CompareUnderEachType)
{
    struct Case {
        WORD type;
        ULONGLONG a, b;
        int result;
    } cases[] = {
        {SVT_INT32, 0xFFFFFFFF, 1, -1},   /* -1 < 1 signed */
        {SVT_FLAG, 0xFFFFFFFF, 1, -1},
        {SVT_LOGFONT_MEMBER, 5, 5, 0},
        {SVT_UINT32, 0xFFFFFFFF, 1, 1},   /* unsigned */
        {SVT_INT16, 0x8000, 0x7FFF, -1},
        {SVT_UINT16, 0x8000, 0x7FFF, 1},
        {SVT_INT16, 0x10005, 0x20005, 0},  /* only 16 bits count */
        {SVT_BYTE, 0x80, 0x7F, 1},
        {SVT_BYTE, 0x1FF, 0x2FF, 0},
        {SVT_UINT32, 7, 9, -1},
        {SVT_LOGFONT, 1, 1, 2},
        {0, 1, 1, 2},
        {7, 1, 1, 2},
    };
    for (const Case &c : cases) {
        Slot a(c.a), b(c.b);
        EXPECT_EQ(FID_CompareValues(c.type, a.b, b.b), c.result) << c.type << " " << c.a << " " << c.b;
    }
    Slot any(1);
    EXPECT_EQ(FID_CompareValues(SVT_INT32, nullptr, any.b), 2);
    EXPECT_EQ(FID_CompareValues(SVT_INT32, any.b, nullptr), 2);
}

TEST(FidValue, CompareStrings)
{
    const char16_t *abc = u"abc";
    const char16_t *abd = u"abd";
    const char16_t *ab = u"ab";
    const char16_t high[] = {0xFF01, 0};
    const char16_t low[] = {0x41, 0};
    struct Case {
        const char16_t *a, *b;
        int result;
    } cases[] = {
        {abc, abc, 0}, {abc, abd, -1}, {abd, abc, 1}, {ab, abc, -1}, {abc, ab, 1},
        {high, low, 1}, /* units compare unsigned */
        {abc, nullptr, 2}, {nullptr, abc, 2},
    };
    for (const Case &c : cases) {
        Slot a = Slot::of(c.a), b = Slot::of(c.b);
        EXPECT_EQ(FID_CompareValues(SVT_WSTRING, a.b, b.b), c.result);
    }
    /* A string at an odd address, as strings inside settings records can be. */
    alignas(2) BYTE buffer[16] = {0, 'a', 0, 'b', 0, 'c', 0, 0, 0};
    Slot odd = Slot::of(buffer + 1), same = Slot::of(u"abc");
    EXPECT_EQ(FID_CompareValues(SVT_WSTRING, odd.b, same.b), 0);
    EXPECT_EQ(FID_ValueSize(odd.b, SVT_WSTRING, -1), 8);
}
