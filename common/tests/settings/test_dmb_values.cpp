/*
 * Tests of what the binding offers on top of its wrappers, on the real data
 * manager: availability and effective values (governing settings against
 * governed ones, with the width each blanked value is cleared over), the
 * typed wrappers and the comparison of two settings images.
 */
#include "test_dmb_support.h"

using namespace dmb_test;

namespace {

class Values : public MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        bindRealDataManager();
    }
    Records r;
};

/* One governing setting and its value; id 0 ends a list. */
struct Gov {
    WORD id;
    DWORD value;
};

struct AvailabilityCase {
    WORD id;            /* governed setting */
    Gov governing[2];   /* values written first */
    int available;      /* DMB_IsSettingAvailable */
    size_t blankWidth;  /* bytes cleared when switched off (0: value kept) */
};

/*
 * 270 colour mode (1 mono), 271 watermark kind, 293 stamp/overlay kind.  Each
 * governed setting holds a non-zero value; the slot is filled with 0xAA
 * before the read, so the bytes past the value's size show what was blanked.
 */
const AvailabilityCase kAvailability[] = {
    {273, {{293, 2}}, DMB_AVAILABLE, 0},
    {273, {{293, 4}}, DMB_AVAILABLE, 0},
    {273, {{293, 1}}, DMB_SWITCHED_OFF, 4},
    {274, {{293, 3}}, DMB_SWITCHED_OFF, 2},
    {282, {{293, 0}}, DMB_SWITCHED_OFF, 2},
    {286, {{293, 1}}, DMB_SWITCHED_OFF, 2},
    {1303, {{293, 1}}, DMB_SWITCHED_OFF, 4},
    {1304, {{293, 2}}, DMB_AVAILABLE, 0},
    {1832, {{293, 1}}, DMB_SWITCHED_OFF, 8},
    {1833, {{293, 4}}, DMB_AVAILABLE, 0},
    {278, {{270, 2}, {293, 2}}, DMB_AVAILABLE, 0},
    {278, {{270, 1}, {293, 2}}, DMB_SWITCHED_OFF, 2},
    {281, {{270, 2}, {293, 1}}, DMB_SWITCHED_OFF, 2},
    {291, {{270, 1}, {293, 4}}, DMB_SWITCHED_OFF, 2},
    {392, {{270, 2}}, DMB_AVAILABLE, 0},
    {392, {{270, 1}}, DMB_SWITCHED_OFF, 4},
    {400, {{270, 1}}, DMB_SWITCHED_OFF, 4},
    {1317, {{270, 1}}, DMB_SWITCHED_OFF, 4},
    {454, {{270, 1}}, DMB_AVAILABLE, 0},
    {454, {{270, 2}}, DMB_SWITCHED_OFF, 1},
    {1308, {{270, 0}}, DMB_SWITCHED_OFF, 4},
    {1311, {{270, 1}}, DMB_AVAILABLE, 0},
    {1318, {{270, 2}}, DMB_SWITCHED_OFF, 4},
    {1307, {{271, 8}}, DMB_AVAILABLE, 0},
    {1307, {{271, 3}}, DMB_SWITCHED_OFF, 4},
    {267, {{270, 1}, {293, 1}}, DMB_AVAILABLE, 0}, /* governed by nothing */
};

/* Gives a governed setting a non-zero value of its type. */
void giveValue(WORD id, Records &rec)
{
    Read cur = read(id, rec.dm(), rec.pd());
    ASSERT_EQ(cur.status, DMA_OK) << id;
    if (cur.type == SVT_WSTRING) {
        const WCHAR *text = u"overlay";
        ASSERT_EQ(DMB_SetValue(id, rec.dm(), rec.pd(), SVT_WSTRING, 258, &text), DMA_OK);
        return;
    }
    /* 0x111111 reaches every byte lane; 267 takes a value its derived setting can follow. */
    const DWORD value = cur.type == SVT_FLAG || id == 267 ? 1 : 0x111111;
    ASSERT_EQ(writeNumber(id, rec.dm(), rec.pd(), value), DMA_OK) << id;
}

} // namespace

TEST_F(Values, AvailabilityAndEffectiveValuesOfGovernedSettings)
{
    for (const AvailabilityCase &c : kAvailability) {
        SCOPED_TRACE(testing::Message() << "setting " << c.id << " governed by " << c.governing[0].id << "="
                                        << c.governing[0].value);
        Records rec;
        giveValue(c.id, rec);
        for (const Gov &g : c.governing) {
            if (g.id != 0) {
                ASSERT_EQ(writeNumber(g.id, rec.dm(), rec.pd(), g.value), DMA_OK);
            }
        }
        EXPECT_EQ(DMB_IsSettingAvailable(c.id, rec.dm(), rec.pd()), c.available);

        Read stored = read(c.id, rec.dm(), rec.pd());
        WORD type = 0;
        LONG size = 0;
        BYTE slot[FID_SLOT_SIZE];
        std::memset(slot, 0xAA, sizeof slot);
        ASSERT_EQ(DMB_GetValueChecked(c.id, rec.dm(), rec.pd(), &type, &size, slot), 0);
        EXPECT_EQ(type, stored.type);
        EXPECT_EQ(size, stored.size);
        if (c.blankWidth == 0) {
            EXPECT_EQ(std::memcmp(slot, stored.slot, static_cast<size_t>(stored.type == SVT_WSTRING ? 8 : size)), 0);
            continue;
        }
        for (size_t i = 0; i < FID_SLOT_SIZE; ++i) {
            const BYTE expected = i < c.blankWidth ? 0 : 0xAA;
            if (i < c.blankWidth || (stored.type != SVT_WSTRING && i >= static_cast<size_t>(size))) {
                EXPECT_EQ(slot[i], expected) << "byte " << i;
            }
        }
    }
}

TEST_F(Values, UnreadableGoverningSettingAnswers3)
{
    EXPECT_EQ(DMB_IsSettingAvailable(278, nullptr, r.pd()), DMB_UNREADABLE);
    EXPECT_EQ(DMB_IsSettingAvailable(1307, nullptr, r.pd()), DMB_UNREADABLE);
    EXPECT_EQ(DMB_IsSettingAvailable(267, nullptr, r.pd()), DMB_AVAILABLE);
    WORD type = 0;
    LONG size = 0;
    BYTE slot[FID_SLOT_SIZE] = {};
    EXPECT_EQ(DMB_GetValueChecked(278, nullptr, r.pd(), &type, &size, slot), DMB_CHECKED_FAILED);
    EXPECT_EQ(DMB_GetValueChecked(278, r.dm(), r.pd(), nullptr, &size, slot), DMB_CHECKED_FAILED);
    EXPECT_EQ(DMB_GetEffectiveValue(nullptr, r.pd(), 278, 0), -1);
}

TEST_F(Values, RenderQualityCountsOnlyAt600Dpi)
{
    ASSERT_EQ(writeNumber(346, r.dm(), r.pd(), 0x5A), DMA_OK);
    ASSERT_EQ(writeNumber(20, r.dm(), r.pd(), 300), DMA_OK);
    EXPECT_EQ(read(346, r.dm(), r.pd()).value(), 0x5Au);
    EXPECT_EQ(DMB_GetEffectiveValue(r.dm(), r.pd(), 346, 8), 0);
    ASSERT_EQ(writeNumber(20, r.dm(), r.pd(), 600), DMA_OK);
    EXPECT_EQ(DMB_GetEffectiveValue(r.dm(), r.pd(), 346, 8), 0x5A);
}

TEST_F(Values, ColourProfileIsFixedWhen336Is1)
{
    ASSERT_EQ(writeNumber(8205, r.dm(), r.pd(), 0x1234), DMA_OK);
    EXPECT_EQ(DMB_GetEffectiveValue(r.dm(), r.pd(), 8205, 5), 0x1234);
    ASSERT_EQ(writeNumber(336, r.dm(), r.pd(), 1), DMA_OK);
    EXPECT_EQ(DMB_GetEffectiveValue(r.dm(), r.pd(), 8205, 5), 0x1010802);
    EXPECT_EQ(read(8205, r.dm(), r.pd()).value(), 0x1234u);
}

TEST_F(Values, ExtensionStringGivesAPointerBehindTheDevmode)
{
    Read s = read(1797, r.dm(), r.pd());
    ASSERT_EQ(s.status, DMA_OK);
    EXPECT_EQ(reinterpret_cast<const BYTE *>(FID_SlotString(s.slot)), r.image.data() + 1604 + 264);
}

TEST_F(Values, TypedReadsCheckTheSizeOfTheExpectedType)
{
    ASSERT_EQ(writeNumber(270, r.dm(), r.pd(), 2), DMA_OK);     /* reported as type 3, size 2 */
    ASSERT_EQ(writeNumber(273, r.dm(), r.pd(), 0x10203), DMA_OK); /* type 5 */
    ASSERT_EQ(writeNumber(346, r.dm(), r.pd(), 9), DMA_OK);     /* type 8 */
    EXPECT_EQ(DMB_GetTypedValue(r.dm(), r.pd(), 270, SVT_UINT16), 2u);
    EXPECT_EQ(DMB_GetTypedValue(r.dm(), r.pd(), 270, SVT_INT16), 2u);
    EXPECT_EQ(DMB_GetTypedValue(r.dm(), r.pd(), 270, SVT_UINT32), 0u);
    EXPECT_EQ(DMB_GetTypedValue(r.dm(), r.pd(), 273, SVT_UINT32), 0x10203u);
    EXPECT_EQ(DMB_GetTypedValue(r.dm(), r.pd(), 273, SVT_BYTE), 0u);
    EXPECT_EQ(DMB_GetTypedValue(r.dm(), r.pd(), 346, SVT_BYTE), 9u);
    EXPECT_EQ(DMB_GetTypedValue(r.dm(), r.pd(), 1797, SVT_WSTRING),
              static_cast<ULONGLONG>(reinterpret_cast<uintptr_t>(r.image.data() + 1604 + 264)));
    EXPECT_EQ(DMB_GetTypedValue(r.dm(), r.pd(), 304, SVT_LOGFONT), 0u);
    EXPECT_EQ(DMB_GetTypedValue(nullptr, r.pd(), 4099, SVT_FLAG), 0u);
    EXPECT_EQ(DMB_GetTypedValue(r.dm(), r.pd(), 600, SVT_UINT16), 0u);
}

TEST_F(Values, SetValueVAnswers0WhateverTheStatus)
{
    EXPECT_EQ(DMB_SetValueV(r.dm(), r.pd(), 270, SVT_UINT16, 2, 2), 0);
    EXPECT_EQ(r.image[316], 2);
    EXPECT_EQ(DMB_SetValueV(r.dm(), r.pd(), 270, SVT_UINT16, 4, 1), 0) << "size 4 is refused, still 0";
    EXPECT_EQ(r.image[316], 2);
    EXPECT_EQ(DMB_SetValueV(r.dm(), r.pd(), 1797, SVT_WSTRING, 82, u"Job"), 0);
    EXPECT_EQ(std::u16string(FID_SlotString(read(1797, r.dm(), r.pd()).slot)), u"Job");
    EXPECT_EQ(DMB_SetValueV(nullptr, r.pd(), 4099, SVT_FLAG, 4, 1), -1);
}

TEST_F(Values, SetValueArgsTakesTheSizeFromTheType)
{
    EXPECT_EQ(DMB_SetValueArgs(r.dm(), r.pd(), 270, SVT_UINT16, 1), DMA_OK);
    EXPECT_EQ(r.image[316], 1);
    EXPECT_EQ(DMB_SetValueArgs(r.dm(), r.pd(), 273, SVT_UINT32, 0x12345678), DMA_OK);
    EXPECT_EQ(plat::load<DWORD>(r.image.data() + 324), 0x12345678u);
    EXPECT_EQ(DMB_SetValueArgs(r.dm(), r.pd(), 346, SVT_BYTE, 7), DMA_OK);
    /* A flag of the flag ranges ignores the size (2 here); a whole-word flag does not. */
    EXPECT_EQ(DMB_SetValueArgs(r.dm(), r.pd(), 4099, SVT_FLAG, 1), DMA_OK);
    EXPECT_EQ(read(4099, r.dm(), r.pd()).value(), 1u);
    EXPECT_EQ(DMB_SetValueArgs(r.dm(), r.pd(), 5168, SVT_FLAG, 1), DMA_ERR_SIZE);
    /* A type-6 write has size 4: one character and its NUL at most. */
    EXPECT_EQ(DMB_SetValueArgs(r.dm(), r.pd(), 1797, SVT_WSTRING, u"A"), DMA_OK);
    EXPECT_EQ(DMB_SetValueArgs(r.dm(), r.pd(), 1797, SVT_WSTRING, u"AB"), DMA_ERR_LENGTH);
    EXPECT_EQ(DMB_SetValueArgs(r.dm(), r.pd(), 270, 7, 1), DMA_ERR_TYPE);
}

TEST_F(Values, StampSettingIds)
{
    for (WORD id : {297, 300, 319, 1286, 1288})
        EXPECT_EQ(DMB_IsStampSettingId(id), 1) << id;
    for (WORD id : {296, 320, 1285, 1289})
        EXPECT_EQ(DMB_IsStampSettingId(id), 0) << id;
}

TEST_F(Values, CompareAllSettings)
{
    Records a, b;
    EXPECT_EQ(DMB_CompareAllSettings(a.dm(), b.dm(), a.pd()), 1);

    struct Case {
        const char *what;
        WORD id;
        DWORD value;
        int equal;
    } cases[] = {
        {"dmTTOption is not compared", 17, 3, 1},
        {"266 is not compared", 266, 5, 1},
        {"267 is compared", 267, 5, 0},
        {"dmOrientation is compared", 7, 2, 0},
        {"a flag is compared", 1300, 1, 0},
        {"an extension setting is compared", 1794, 3, 0},
        {"a header field is not compared", 1793, 3, 1},
        {"a stamp setting is left out while both stamp texts are empty", 300, 4, 1},
        {"a printer-data setting is not compared", 4099, 1, 1},
    };
    for (const Case &c : cases) {
        Records x, y;
        ASSERT_EQ(writeNumber(c.id, y.dm(), y.pd(), c.value), DMA_OK) << c.what;
        EXPECT_EQ(DMB_CompareAllSettings(x.dm(), y.dm(), x.pd()), c.equal) << c.what;
    }

    /* With a stamp text in one image the stamp settings take part. */
    Records x, y;
    const WCHAR *text = u"CONFIDENTIAL";
    ASSERT_EQ(DMB_SetValue(297, y.dm(), y.pd(), SVT_WSTRING, 66, &text), DMA_OK);
    ASSERT_EQ(DMB_SetValue(297, x.dm(), x.pd(), SVT_WSTRING, 66, &text), DMA_OK);
    EXPECT_EQ(DMB_CompareAllSettings(x.dm(), y.dm(), x.pd()), 1);
    ASSERT_EQ(writeNumber(300, y.dm(), y.pd(), 4), DMA_OK);
    EXPECT_EQ(DMB_CompareAllSettings(x.dm(), y.dm(), x.pd()), 0);

    /* A byte of the second LOGFONTW that only the block 357 and the skipped member 371 cover. */
    Records f, g;
    g.image[816 + 27] = 1; /* lfPitchAndFamily */
    EXPECT_EQ(DMB_CompareAllSettings(f.dm(), g.dm(), f.pd()), 1);

    /* A failed read: 311 refuses to read while the first font's escapement and orientation differ. */
    Records p, q;
    for (Records *rec : {&p, &q}) {
        ASSERT_EQ(DMB_SetValue(297, rec->dm(), rec->pd(), SVT_WSTRING, 66, &text), DMA_OK);
        ASSERT_EQ(writeNumber(309, rec->dm(), rec->pd(), 900), DMA_OK);
    }
    EXPECT_EQ(DMB_CompareAllSettings(p.dm(), q.dm(), p.pd()), 0);
    EXPECT_EQ(DMB_CompareAllSettings(nullptr, q.dm(), p.pd()), 0);
}

TEST_F(Values, EffectiveValueOfASwitchedOffSettingIsItsBlankedSlot)
{
    ASSERT_EQ(writeNumber(273, r.dm(), r.pd(), 0x01020304), DMA_OK);
    ASSERT_EQ(writeNumber(293, r.dm(), r.pd(), 2), DMA_OK);
    EXPECT_EQ(DMB_GetEffectiveValue(r.dm(), r.pd(), 273, 5), 0x01020304);
    ASSERT_EQ(writeNumber(293, r.dm(), r.pd(), 1), DMA_OK);
    EXPECT_EQ(DMB_GetEffectiveValue(r.dm(), r.pd(), 273, 5), 0);
}
