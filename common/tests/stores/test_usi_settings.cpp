/*
 * UserSettingInfo and the printer-data record: the ID maps agree with the
 * setting layout table, and the record is filled from and written back to a
 * printer-data record through the real data manager, section by section.
 */
#include <tarvel/base/res_module.h>
#include <tarvel/setting_layout.h>
#include <tarvel/settings/dmb_binding.h>

#include "test_prn_support.h"
#include "usi_store.h"

#include <plat/loader.h>

using namespace prn_test;

namespace {

constexpr WORD kFlag = 1, kU16 = 3, kString = 6, kByte = 8;

TEST(UsiMaps, RowsAgreeWithTheSettingLayoutTable)
{
    for (const UsiMap *map : {&USI_HEADER_MAP, &USI_MAP_A, &USI_MAP_B}) {
        for (WORD i = 0; i < map->count; ++i) {
            const UsiMapRow &row = map->rows[i];
            SCOPED_TRACE(row.id);
            WORD kind = 0;
            const IdLayoutItem *item = nullptr;
            ASSERT_EQ(LAYOUT_FindItem(row.id, &kind, &item), 0);
            EXPECT_EQ(kind, SRK_PRINTERDATA);
            EXPECT_TRUE(row.type == item->storedType || row.type == item->reportedType);
            switch (row.type) {
            case kString:
                EXPECT_EQ(row.size, item->capacity);
                break;
            case kFlag:
                EXPECT_EQ(row.size, 4);
                break;
            case kU16:
                EXPECT_EQ(row.size, 2);
                break;
            case kByte:
                EXPECT_EQ(row.size, 1);
                break;
            default:
                ADD_FAILURE() << "type " << row.type;
            }
        }
    }
}

class UsiSettings : public OpenStoreTest {
protected:
    void setString(WORD id, const char16_t *text)
    {
        ASSERT_EQ(DMB_SetValue(id, nullptr, printerData.data(), kString, LONG(plat::wlen(text) * 2 + 2), &text), 0)
            << id;
    }
    void setNumber(WORD id, WORD type, LONG size, DWORD value)
    {
        ASSERT_EQ(DMB_SetValue(id, nullptr, printerData.data(), type, size, &value), 0) << id;
    }
    std::u16string string(WORD id)
    {
        WORD type = 0;
        LONG size = 0;
        BYTE slot[8] = {};
        EXPECT_EQ(DMB_GetValue(id, nullptr, printerData.data(), &type, &size, slot), 0) << id;
        const WCHAR *text = plat::load<const WCHAR *>(slot);
        return text ? std::u16string(text) : u"<null>";
    }
    DWORD number(WORD id)
    {
        WORD type = 0;
        LONG size = 0;
        BYTE slot[8] = {};
        EXPECT_EQ(DMB_GetValue(id, nullptr, printerData.data(), &type, &size, slot), 0) << id;
        return plat::load_u32(slot, 0);
    }

    std::vector<BYTE> printerData = std::vector<BYTE>(SETTINGS_PRINTERDATA_SIZE, 0);
};

std::u16string fieldText(const std::vector<BYTE> &r, size_t at)
{
    std::u16string s;
    for (; r[at] || r[at + 1]; at += 2)
        s += char16_t(r[at] | r[at + 1] << 8);
    return s;
}

TEST_F(UsiSettings, FilledFromThePrinterData)
{
    bindDataManager();
    setString(5129, u"Accounts");
    setString(5150, u"Alice");
    setString(5209, u"A long note");
    setNumber(5146, kU16, 2, 0x1234);
    setNumber(5165, kByte, 1, 0x5A);
    setNumber(5169, kFlag, 4, 1);
    setNumber(5178, kU16, 2, 7);

    std::vector<BYTE> r(USI_RECORD_SIZE, 0xEE);
    ASSERT_TRUE(USI_ReadFromSettings(printer(), context(), printerData.data(), r.data()));
    EXPECT_EQ(r[0] | r[1] << 8, 3);
    EXPECT_EQ(r[72] | r[73] << 8, 354);
    EXPECT_EQ(r[428] | r[429] << 8, 892);
    EXPECT_EQ(fieldText(r, 8), u"Tarvel CX 1500");
    EXPECT_EQ(fieldText(r, 74), u"Accounts");
    EXPECT_EQ(fieldText(r, 432), u"Alice");
    EXPECT_EQ(fieldText(r, 978), u"A long note");
    EXPECT_EQ(r[134] | r[135] << 8, 0x1234);
    EXPECT_EQ(r[624], 0x5A);
    EXPECT_EQ(r[628] | r[629] << 8 | r[630] << 16 | r[631] << 24, 1);
    EXPECT_EQ(r[640] | r[641] << 8, 7);
    EXPECT_EQ(fieldText(r, 498), u"") << "settings left empty stay empty";
}

TEST_F(UsiSettings, WrittenBackSectionBySection)
{
    bindDataManager();
    std::vector<BYTE> r(USI_RECORD_SIZE);
    USI_FillDefaults(r.data(), u"Bob");
    const char16_t dept[] = u"Sales";
    std::copy(reinterpret_cast<const BYTE *>(dept), reinterpret_cast<const BYTE *>(dept) + sizeof dept,
              r.begin() + 74);
    r[134] = 0x21;

    struct Case {
        int selector;
        bool a, b;
    };
    for (Case c : {Case{1, false, true}, Case{2, true, false}, Case{3, true, false}, Case{0, true, true}}) {
        SCOPED_TRACE(c.selector);
        std::fill(printerData.begin(), printerData.end(), 0);
        ASSERT_TRUE(USI_WriteToSettings(printerData.data(), r.data(), c.selector));
        EXPECT_EQ(string(5129), c.a ? u"Sales" : u"");
        EXPECT_EQ(number(5146) & 0xFFFF, c.a ? 0x21u : 0u);
        EXPECT_EQ(string(5150), c.b ? u"Bob" : u"");
        EXPECT_EQ(number(5169), c.b ? 1u : 0u);
    }

    /* Written and read again, both sections come back. */
    std::vector<BYTE> back(USI_RECORD_SIZE);
    ASSERT_TRUE(USI_ReadFromSettings(printer(), context(), printerData.data(), back.data()));
    EXPECT_TRUE(std::equal(r.begin() + 74, r.begin() + 428, back.begin() + 74));
    EXPECT_TRUE(std::equal(r.begin() + 432, r.end(), back.begin() + 432));
}

TEST_F(UsiSettings, WithoutTheDataManagerNothingIsTransferred)
{
    std::vector<BYTE> r(USI_RECORD_SIZE);
    EXPECT_FALSE(USI_ReadFromSettings(printer(), context(), printerData.data(), r.data()));
    USI_FillDefaults(r.data(), u"Bob");
    EXPECT_FALSE(USI_WriteToSettings(printerData.data(), r.data(), 0));
    EXPECT_EQ(printerData, std::vector<BYTE>(SETTINGS_PRINTERDATA_SIZE, 0));
}

TEST_F(UsiSettings, AFieldWithoutItsTerminatorIsWrittenCut)
{
    bindDataManager();
    std::vector<BYTE> r(USI_RECORD_SIZE);
    USI_FillDefaults(r.data(), u"");
    /* 5159 is 34 bytes at 394: fill all of it, no terminator. */
    for (size_t at = 394; at < 428; at += 2) {
        r[at] = 'x';
        r[at + 1] = 0;
    }
    ASSERT_TRUE(USI_WriteToSettings(printerData.data(), r.data(), 2));
    EXPECT_EQ(string(5159), std::u16string(16, u'x'));
}

} // namespace
