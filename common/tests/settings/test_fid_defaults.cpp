/*
 * Tests of the default chain and of filling fresh records: every one of the
 * 799 schema rows after FID_InitDefaults on the standard colour model
 * (built-in descriptors as the schema's table gives them, the other rows as
 * the model's source writes them, rows the model does not know zero), a
 * per-model configuration file overriding constants and model defaults,
 * dmFields by system class, and the result FID_InitDefaults answers.
 */
#include "test_fid_support.h"

#include <tarvel/settings/fid_defaults.h>
#include <tarvel/settings/fid_schema.h>
#include <tarvel/stores/stp_builtin.h>

#include <standard_models.h>

#include <map>
#include <variant>

namespace {

using namespace fid_test;

class FidDefaults : public SchemaTest {};

/* A default as the test expects it: a number, a string, or the stamps' default font. */
struct Font {};
using Expected = std::variant<LONG, std::u16string, Font>;

/* The defaults of the built-in descriptors for the standard colour model (schema's table). */
std::map<WORD, Expected> descriptor_defaults()
{
    std::map<WORD, Expected> e{
        {1, std::u16string(u"DummyName")},
        {2, 0x401},
        {3, 21048},
        {4, 220},
        {5, 1384},
        {6, 0x781FF13}, /* class 0x202, the model's header entry 7 is 1: the ICM fields too */
        {9, 2970},      /* the default paper A4 */
        {10, 2100},
        {12, 1},
        {15, 2},        /* 270 and 345 default to 0 */
        {19, std::u16string(u"A4")},
        {22, 1},
        {257, 21048},
        {1793, 21048},
        {8204, 21048},
        {258, 4160},
        {8203, 4160},
        {8202, 6148},
        {259, std::u16string(u"Tarvel CX 1500")},
        {298, std::u16string()},
        {305, std::u16string()},
        {357, Font{}},
        {358, std::u16string(u"Arial")},
        /* Members of the font of 357, written with it. */
        {359, -72},
        {360, 400},
        /* Flag 1284 reads 1 while its bit is clear. */
        {1284, 1},
    };
    /* Resource string 16 is "Custom Paper 1": the slot names are its text with the slot's number. */
    const char16_t *names[20] = {u"Custom Paper 1",  u"Custom Paper 2",  u"Custom Paper 3",  u"Custom Paper 4",
                                 u"Custom Paper 5",  u"Custom Paper 6",  u"Custom Paper 7",  u"Custom Paper 8",
                                 u"Custom Paper 9",  u"Custom Paper10",  u"Custom Paper11",  u"Custom Paper12",
                                 u"Custom Paper13",  u"Custom Paper14",  u"Custom Paper15",  u"Custom Paper16",
                                 u"Custom Paper17",  u"Custom Paper18",  u"Custom Paper19",  u"Custom Paper20"};
    for (WORD slot = 0; slot < 20; ++slot) {
        e[5889 + slot] = 2100;
        e[5909 + slot] = 2970;
        e[5929 + slot] = std::u16string(names[slot]);
    }
    return e;
}

/*
 * The defaults the standard colour model's source writes for the settings
 * it describes (default option of each feature), with the locale rules for
 * a user in Germany: paper region 2, country values 0.
 */
std::map<WORD, Expected> model_defaults()
{
    return {
        {7, 1},      {8, 9},      {13, 7},     {14, (600 << 16) | 600},
        {16, 1},     {17, 1},     {18, 1},     {23, 1},
        {24, 1},     {25, 1},     {262, 0},    {265, 7},
        {266, 1},    {270, 0},    {293, 0},    {295, 1},
        {296, 0x102}, {320, 0},   {321, 0},    {334, 0},
        {341, 0},    {345, 0},    {388, 100},  {453, 0},
        {327, 8},    /* A3, the third of its papers */
        {1824, 9},   {1883, 9},
        {1804, 1},   /* the resource language 1033 is not 1041 */
        {1829, std::u16string(u"C:\\Users\\Public\\Documents\\Tarvel\\Work\\")},
        {4363, 0},   {4097, 0},   {4099, 0},   {4101, 0},   {4103, 0},   {4125, 0},
        {4355, 0},   {4356, 0},   {4358, 0},   {4359, 0},
    };
}

/* Compares one setting of the records with what is expected. */
void expect_setting(WORD id, void *dm, void *pd, const Expected &e)
{
    Read r = read(id, dm, pd);
    ASSERT_EQ(r.status, DMA_OK) << id;
    if (const LONG *n = std::get_if<LONG>(&e)) {
        EXPECT_EQ(r.number(), *n) << "DDMID " << id;
    } else if (const std::u16string *s = std::get_if<std::u16string>(&e)) {
        EXPECT_EQ(u8(r.text().c_str()), u8(s->c_str())) << "DDMID " << id;
    } else {
        BYTE font[STP_FONT_SIZE] = {};
        plat::store<LONG>(font + STP_LF_HEIGHT, -72);
        plat::store<LONG>(font + STP_LF_WEIGHT, 400);
        font[STP_LF_CHARSET] = 1;
        font[STP_LF_QUALITY] = 2;
        const char16_t face[] = u"Arial";
        std::memcpy(font + STP_LF_FACENAME, face, sizeof face);
        const void *block = nullptr;
        std::memcpy(&block, &r.slot, sizeof block);
        ASSERT_EQ(r.size, 92) << id;
        EXPECT_EQ(std::memcmp(block, font, STP_FONT_SIZE), 0) << "DDMID " << id;
    }
}

TEST_F(FidDefaults, EverySchemaRowOfAFreshRecord)
{
    install(kColour, "");
    Records rec;
    rec.image.assign(rec.image.size(), 0xA5);
    rec.printerData.assign(rec.printerData.size(), 0x5A);
    ASSERT_TRUE(FID_InitDefaults(ctx(), rec.dm(), rec.pd(), FID_DUMMY_PRINTER_NAME));

    std::map<WORD, Expected> expected = descriptor_defaults();
    for (const auto &[id, value] : model_defaults()) {
        ASSERT_EQ(expected.count(id), 0u) << id;
        expected[id] = value;
    }
    int rows = 0, checkedNonZero = 0;
    for (const SettingGroup *g = SettingGroups; g->group != FID_SCHEMA_END_GROUP; ++g) {
        for (WORD i = 0; i < g->count; ++i) {
            const WORD id = g->rows[i].id;
            auto it = expected.find(id);
            Read r = read(id, rec.dm(), rec.pd());
            const Expected e = it != expected.end() ? it->second
                               : r.type == SVT_WSTRING ? Expected(std::u16string()) : Expected(LONG(0));
            expect_setting(id, rec.dm(), rec.pd(), e);
            if (it != expected.end())
                ++checkedNonZero;
            ++rows;
        }
    }
    EXPECT_EQ(rows, 799);
    EXPECT_EQ(checkedNonZero, static_cast<int>(expected.size()));

    /* 14 also set the two fields it is made of; the settings without a row stay zero. */
    EXPECT_EQ(read(20, rec.dm(), rec.pd()).number(), 600);
    EXPECT_EQ(read(21, rec.dm(), rec.pd()).number(), 600);
    EXPECT_EQ(read(2305, rec.dm(), rec.pd()).number(), 0);
    EXPECT_EQ(read(6190, rec.dm(), rec.pd()).number(), 0);
    EXPECT_EQ(read(329, rec.dm(), rec.pd()).text(), u"");
}

TEST_F(FidDefaults, ConfigurationOverridesModelDefaultsAndConstants)
{
    install(kColour, "[Tarvel_CX_1500]\n"
                     "duplex.default=1\n"
                     "ColorMode.enforced=gray\n"
                     "Paper_Setting.default=4\n"
                     "banner.default=5\n");
    Records rec;
    ASSERT_TRUE(FID_InitDefaults(ctx(), rec.dm(), rec.pd(), u"Printer"));
    EXPECT_EQ(read(16, rec.dm(), rec.pd()).number(), 2) << "duplex 1 means long edge (2)";
    EXPECT_EQ(read(270, rec.dm(), rec.pd()).number(), 1) << "gray";
    EXPECT_EQ(read(4356, rec.dm(), rec.pd()).number(), 4);
    EXPECT_EQ(read(332, rec.dm(), rec.pd()).number(), 0) << "5 has no conversion for the banner";

    ULONGLONG slot = 0;
    WORD type = 0;
    LONG size = 0;
    ASSERT_EQ(FID_GetDefault(ctx(), 16, &type, &size, &slot), FID_DEFAULT_FOUND);
    EXPECT_EQ(FID_ReadValueAsInt(&slot, type), 2);

    /* A constant default gives way to the configuration file as well. */
    static const SettingConstDefault constant{1, SVT_INT16, -1, 3, nullptr};
    static const SettingDescriptor descriptor{&constant, nullptr, FID_DESC_ALL};
    const SettingDescriptorRow row{16, &descriptor};
    WORD reason = 9;
    ASSERT_TRUE(FID_GetDefaultChain(ctx(), nullptr, nullptr, &row, &slot, &type, &size, &reason));
    EXPECT_EQ(reason, FID_REASON_OK);
    EXPECT_EQ(type, SVT_INT16);
    EXPECT_EQ(size, 2);
    EXPECT_EQ(FID_ReadValueAsInt(&slot, type), 2);
}

TEST_F(FidDefaults, DeviceNameNeedsAPrinterName)
{
    install(kColour, "");
    ULONGLONG slot = 0;
    WORD type = 0;
    LONG size = 0;
    EXPECT_EQ(FID_GetDefault(ctx(), 1, &type, &size, &slot), FID_DEFAULT_FAILED);
    EXPECT_EQ(FID_GetDefault(ctx(), 20, &type, &size, &slot), FID_DEFAULT_FAILED) << "no list row";
    EXPECT_EQ(FID_GetDefault(ctx(), 11, &type, &size, &slot), FID_DEFAULT_NOT_IN_MODEL);

    /* A long name is cut to 31 characters in the 64-byte field. */
    const SettingDescriptorRow *row = FID_FindDescriptor(1);
    WORD reason = 9;
    ASSERT_TRUE(FID_GetDefaultChain(ctx(), nullptr, u"A printer name of forty characters long!", row, &slot, &type,
                                    &size, &reason));
    EXPECT_EQ(type, SVT_WSTRING);
    EXPECT_EQ(size, 64);
    EXPECT_EQ(std::u16string(FID_SlotString(&slot)), u"A printer name of forty charact");
    EXPECT_TRUE(FID_FreeDefault(row, &slot, type));
    EXPECT_EQ(slot, 0u);
    EXPECT_FALSE(FID_FreeDefaultById(20, &slot, type));
}

TEST_F(FidDefaults, SupportedFieldsBySystemClass)
{
    install(kColour, "");
    struct Case {
        DWORD major, minor, platform;
        DWORD fields;
    } cases[] = {
        {5, 0, VER_PLATFORM_WIN32_NT, 0x781FF13},     /* 0x202, ICM in model and system */
        {10, 0, VER_PLATFORM_WIN32_NT, 0x781FF13},    /* 0x202 */
        {4, 0, VER_PLATFORM_WIN32_NT, 0x1FF13},       /* 0x201: no ICM on the system */
        {4, 0, VER_PLATFORM_WIN32_WINDOWS, 0xFF13},   /* 0x101: no DM_FORMNAME */
        {4, 10, VER_PLATFORM_WIN32_WINDOWS, 0x781FF13 & ~0x10000u}, /* 0x102 */
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(testing::Message() << c.major << "." << c.minor << " platform " << c.platform);
        plat::version_set(c.major, c.minor, 1000, 0, VER_NT_WORKSTATION, c.platform);
        UTL_ResetVersionCacheForTest();
        DWORD mask = 0xDEAD;
        ASSERT_TRUE(FID_GetSupportedDmFields(ctx(), &mask, FID_USAGE_DEFAULT));
        EXPECT_EQ(mask, c.fields);
        ULONGLONG slot = 0;
        WORD type = 0;
        LONG size = 0;
        ASSERT_EQ(FID_GetDefault(ctx(), 6, &type, &size, &slot), FID_DEFAULT_FOUND);
        EXPECT_EQ(type, SVT_UINT32);
        EXPECT_EQ(FID_ReadValueAsUInt(&slot, type), c.fields);
    }

    /* A system of no known class, and one whose version cannot be read. */
    plat::version_set(3, 51, 1000, 0, VER_NT_WORKSTATION, VER_PLATFORM_WIN32_NT);
    DWORD mask = 0xDEAD;
    EXPECT_FALSE(FID_GetSupportedDmFields(ctx(), &mask, FID_USAGE_DEFAULT));
    EXPECT_EQ(mask, 0u);
    plat::version_set(10, 0, 1000, 0, VER_NT_WORKSTATION, VER_PLATFORM_WIN32_NT);
    plat::version_fail(ERROR_ACCESS_DENIED);
    EXPECT_FALSE(FID_GetSupportedDmFields(ctx(), &mask, FID_USAGE_ACCEPT));
    plat::version_fail(0);
    EXPECT_FALSE(FID_GetSupportedDmFields(ctx(), nullptr, FID_USAGE_ACCEPT));
}

TEST_F(FidDefaults, SupportedFieldsOfAModelWithoutIcm)
{
    mw::Model m = tarvel_models::colourPrinter(DDD_GATE_0x1600);
    m.main.entries[7] = mw::eU8(0);
    m.companion.entries[7] = mw::eU8(0);
    installWritten(m, "");
    DWORD mask = 0;
    ASSERT_TRUE(FID_GetSupportedDmFields(ctx(), &mask, FID_USAGE_DEFAULT));
    EXPECT_EQ(mask, 0x1FF13u);
    ASSERT_TRUE(FID_GetSupportedDmFields(nullptr, &mask, FID_USAGE_ACCEPT));
    EXPECT_EQ(mask, 0x1FF13u) << "without a model the ICM fields are left out";
}

/*
 * FID_InitDefaults answers the result of the last row it processed: a group
 * that stops early is hidden by the groups after it.
 */
TEST_F(FidDefaults, InitDefaultsAnswersTheLastRowsResult)
{
    install(kColour, "");
    Records rec;

    /* Without a printer name the public fields stop at their first row; the answer is still 1. */
    EXPECT_TRUE(FID_InitDefaults(ctx(), rec.dm(), rec.pd(), nullptr));
    EXPECT_EQ(read(1, rec.dm(), rec.pd()).text(), u"");
    EXPECT_EQ(read(4, rec.dm(), rec.pd()).number(), 0);
    EXPECT_EQ(read(7, rec.dm(), rec.pd()).number(), 0);
    EXPECT_EQ(read(257, rec.dm(), rec.pd()).number(), 21048);
    EXPECT_EQ(read(8202, rec.dm(), rec.pd()).number(), 6148);

    /* Without a model every group stops at its first row that needs it, and the last one answers 0. */
    EXPECT_FALSE(FID_InitDefaults(nullptr, rec.dm(), rec.pd(), u"Name"));
    EXPECT_EQ(read(1, rec.dm(), rec.pd()).text(), u"Name");
    EXPECT_EQ(read(5, rec.dm(), rec.pd()).number(), 1384);
    EXPECT_EQ(read(6, rec.dm(), rec.pd()).unsignedNumber(), 0x1FF13u);
    EXPECT_EQ(read(12, rec.dm(), rec.pd()).number(), 0) << "the group stopped at 7";
    EXPECT_EQ(read(258, rec.dm(), rec.pd()).number(), 4160);
    EXPECT_EQ(read(259, rec.dm(), rec.pd()).text(), u"") << "the model name needs the model";
    EXPECT_EQ(read(1793, rec.dm(), rec.pd()).number(), 21048);
    EXPECT_EQ(read(8202, rec.dm(), rec.pd()).number(), 0) << "group 3 stopped at 8201";

    /* One record alone: the other is not touched. */
    Records one;
    one.printerData.assign(one.printerData.size(), 0x77);
    EXPECT_TRUE(FID_InitDefaults(ctx(), one.dm(), nullptr, u"Name"));
    EXPECT_EQ(one.printerData[100], 0x77);
    EXPECT_EQ(read(4, one.dm(), nullptr).number(), 220);
    one.image.assign(one.image.size(), 0x77);
    EXPECT_TRUE(FID_InitDefaults(ctx(), nullptr, one.pd(), u"Name"));
    EXPECT_EQ(one.image[100], 0x77);
    EXPECT_EQ(read(8203, nullptr, one.pd()).number(), 4160);
    EXPECT_TRUE(FID_InitDefaults(ctx(), nullptr, nullptr, u"Name"));
}

TEST_F(FidDefaults, ResetToDefault)
{
    install(kColour, "");
    Records rec;
    ASSERT_TRUE(FID_InitDefaults(ctx(), rec.dm(), rec.pd(), u"Name"));
    ASSERT_EQ(put(388, rec.dm(), rec.pd(), 400), DMA_OK);
    ASSERT_EQ(putText(5929, rec.dm(), rec.pd(), u"Mine"), DMA_OK);
    EXPECT_TRUE(FID_ResetToDefault(ctx(), rec.dm(), rec.pd(), 388));
    EXPECT_EQ(read(388, rec.dm(), rec.pd()).number(), 100);
    EXPECT_TRUE(FID_ResetToDefault(ctx(), rec.dm(), rec.pd(), 5929));
    EXPECT_EQ(read(5929, rec.dm(), rec.pd()).text(), u"Custom Paper 1");

    /* A setting without a default of its own, or unknown to the model, is left alone: 1. */
    ASSERT_EQ(put(11, rec.dm(), rec.pd(), 50), DMA_OK);
    EXPECT_TRUE(FID_ResetToDefault(ctx(), rec.dm(), rec.pd(), 11));
    EXPECT_EQ(read(11, rec.dm(), rec.pd()).number(), 50);
    EXPECT_TRUE(FID_ResetToDefault(ctx(), rec.dm(), rec.pd(), 20));

    /* A default that cannot be stored (no printer data for a printer-data setting): 0. */
    EXPECT_FALSE(FID_ResetToDefault(ctx(), rec.dm(), nullptr, 8203));
}

TEST_F(FidDefaults, StoreValue)
{
    install(kColour, "");
    Records rec;
    ULONGLONG slot = 0;
    const SHORT v = 3;
    std::memcpy(&slot, &v, sizeof v);
    EXPECT_TRUE(FID_StoreValue(16, rec.dm(), rec.pd(), -1, SVT_INT16, &slot));
    EXPECT_EQ(read(16, rec.dm(), rec.pd()).number(), 3);
    EXPECT_FALSE(FID_StoreValue(16, rec.dm(), rec.pd(), 4, SVT_INT16, &slot)) << "size does not match";
    EXPECT_FALSE(FID_StoreValue(16, rec.dm(), rec.pd(), -1, SVT_INT16, nullptr));
    const char16_t *name = u"Paper";
    FID_SetSlotPointer(&slot, name);
    EXPECT_TRUE(FID_StoreValue(19, rec.dm(), rec.pd(), -1, SVT_WSTRING, &slot));
    EXPECT_EQ(read(19, rec.dm(), rec.pd()).text(), u"Paper");
}

} // namespace
