/*
 * Tests of the devmode mapping description: the built-in items, the
 * overrides of the "DME,1" section (keywords, standard tables, value names,
 * formdb mode, malformed values), the Windows-to-driver mapping, the
 * dmFields computation, and mapping a devmode through the real data manager.
 */
#include "test_dmb_support.h"

#include <tarvel/settings/dme_mapping.h>

using namespace dmb_test;

namespace {

const char16_t *kCfg = u"C:\\Tarvel\\TARVEL1.cfg";

class Dme : public MachineTest {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        libraryInOwnDir();
    }
    void TearDown() override
    {
        DME_Free(d);
        MachineTest::TearDown();
    }
    DmeDescription *load(const std::string &body)
    {
        writeFile(kCfg, body);
        DME_Free(d);
        d = DME_Load(kCfg, 1);
        return d;
    }
    const DmeItem &item(int index) { return d->items[index]; }
    LONG map(int index, LONG windows)
    {
        LONG driver = -12345;
        EXPECT_EQ(DME_MapToDriverValue(&d->items[index], windows, &driver), 1);
        return driver;
    }
    DmeDescription *d = nullptr;
};

} // namespace

TEST_F(Dme, WithoutTheSectionTheBuiltInDescriptionStands)
{
    EXPECT_EQ(DME_Load(kCfg, 1), nullptr) << "no file, no description";
    ASSERT_NE(load("[default]\r\nduplex.default=1\r\n[DME,2]\r\nbin.merge=0\r\n"), nullptr);
    EXPECT_EQ(DME_IsConfigured(d), 0u);
    EXPECT_EQ(DME_IsFormsMergeMode(d), 0);
    ASSERT_EQ(d->itemCount, DME_ITEM_COUNT);
    struct Expect {
        DWORD ddmid;
        SHORT merge, def, mode, windows;
        WORD pairs;
    } expect[] = {
        {6, -1, -1, -1, -1, 18}, {18, 1, 0, -1, -1, 2}, {14, 1, 0, 0, -1, 0},
        {13, 1, 0, -1, 0, 20},   {24, 0, 0, -1, 0, 9},  {15, -1, -1, 0, -1, 0},
    };
    for (int i = 0; i < DME_ITEM_COUNT; ++i) {
        const DmeItem &it = item(i);
        EXPECT_EQ(it.devmodeItem, expect[i].ddmid) << i;
        EXPECT_EQ(it.merge, expect[i].merge) << i;
        EXPECT_EQ(it.defaultValue, expect[i].def) << i;
        EXPECT_EQ(it.mode, expect[i].mode) << i;
        EXPECT_EQ(it.windowsValue, expect[i].windows) << i;
        EXPECT_EQ(it.pairCount, expect[i].pairs) << i;
        EXPECT_EQ(it.changed, 0u) << i;
        for (WORD p = 0; p < it.pairCount; ++p)
            EXPECT_EQ(it.pairs[p].differs, 0) << i << " " << p;
    }
    EXPECT_EQ(item(DME_ITEM_FIELDS).pairs[17].driverValue, 67108864);
    EXPECT_EQ(item(DME_ITEM_FIELDS).pairs[17].windowsValue, 0);
    EXPECT_EQ(item(DME_ITEM_BIN).pairs[19].driverValue, 271);
    EXPECT_EQ(item(DME_ITEM_MEDIA).pairs[8].windowsValue, 17);
    EXPECT_EQ(map(DME_ITEM_BIN, 14), 14) << "no pair: the Windows value itself";
}

TEST_F(Dme, StandardBinTableAndDifferingPairsFirst)
{
    ASSERT_NE(load("[DME,1]\r\nbin.WindowsValue=1\r\n"), nullptr);
    EXPECT_EQ(DME_IsConfigured(d), 1u);
    EXPECT_EQ(item(DME_ITEM_BIN).pairCount, 26);
    EXPECT_EQ(item(DME_ITEM_BIN).changed, 1u);
    EXPECT_EQ(map(DME_ITEM_BIN, 14), 1);
    EXPECT_EQ(map(DME_ITEM_BIN, 11), 4) << "{4, 11} differs and is searched before {11, 11}";
    EXPECT_EQ(map(DME_ITEM_BIN, 7), 7);
    EXPECT_EQ(map(DME_ITEM_BIN, 999), 999);
}

TEST_F(Dme, ValueNamesOfTheBinAndMediaItems)
{
    ASSERT_NE(load("[DME,1]\r\nbin.TRAY1=15\r\nbin.tray2=0x101\r\nbin.TRAY9=5\r\nbin.MANUAL=abc\r\n"
                   "media.PAPER_OHP=40\r\nmedia.PAPER_OHP=41\r\n"),
              nullptr);
    const DmeItem &bin = item(DME_ITEM_BIN);
    ASSERT_EQ(bin.pairCount, 21) << "15 is added, 0x101 (257) renames TRAY4's pair, TRAY9 is no name";
    EXPECT_EQ(map(DME_ITEM_BIN, 15), 1);
    EXPECT_EQ(map(DME_ITEM_BIN, 257), 3) << "the pair {257, 257} now stands for TRAY2";
    EXPECT_EQ(bin.changed, 1u);
    const DmeItem &media = item(DME_ITEM_MEDIA);
    ASSERT_EQ(media.pairCount, 11) << "every line adds its pair";
    EXPECT_EQ(map(DME_ITEM_MEDIA, 40), 3);
    EXPECT_EQ(map(DME_ITEM_MEDIA, 41), 3);
    EXPECT_EQ(item(DME_ITEM_COLLATE).changed, 0u);
}

TEST_F(Dme, FieldsAndCollateValueNamesSetTheWindowsSide)
{
    ASSERT_NE(load("[DME,1]\r\nfields.COLLATE=1\r\nfields.FORMNAME=2\r\nfields.COLLATE=1\r\ncollate.COLLATE_TRUE=0\r\n"),
              nullptr);
    DWORD out = 0;
    ASSERT_EQ(DME_AdjustFields(d, 0x1FF13, &out), 1);
    EXPECT_EQ(out, 0x1FF13u & ~0x8000u);
    ASSERT_EQ(DME_AdjustFields(d, 0x13, &out), 1);
    EXPECT_EQ(out, 0x13u | 0x10000u);
    EXPECT_EQ(map(DME_ITEM_COLLATE, 0), 0) << "{0, 0} still comes first";
    EXPECT_EQ(map(DME_ITEM_COLLATE, 1), 1) << "no pair has Windows value 1 any more";
}

TEST_F(Dme, CollateMergeTwoDependsOnTheMappedValue)
{
    ASSERT_NE(load("[DME,1]\r\ncollate.merge=2\r\n"), nullptr);
    SHORT merge = 0;
    ASSERT_EQ(DME_GetMerge(d, DME_ITEM_COLLATE, &merge), 1);
    EXPECT_EQ(merge, 2);
    DWORD out = 0;
    ASSERT_EQ(DME_ComputeFields(d, 0x8000, 1, &out), 1);
    EXPECT_EQ(out & 0x8000u, 0u);
    ASSERT_EQ(DME_ComputeFields(d, 0, 0, &out), 1);
    EXPECT_EQ(out & 0x8000u, 0x8000u);
}

TEST_F(Dme, ComputeFieldsByMergeValues)
{
    ASSERT_NE(load("[DME,1]\r\nresolution.merge=0\r\nmedia.merge=1\r\ncollate.merge=0\r\n"), nullptr);
    DWORD out = 0;
    ASSERT_EQ(DME_ComputeFields(d, 0x2400 | 0x8000, 0, &out), 1);
    EXPECT_EQ(out, 0x200u | 0x2000000u) << "bin merge 1 sets DM_DEFAULTSOURCE, media DM_MEDIATYPE";
    ASSERT_NE(load("[DME,1]\r\ncollate.merge=7\r\nbin.merge=3\r\n"), nullptr);
    ASSERT_EQ(DME_ComputeFields(d, 0x8000 | 0x200, 0, &out), 1);
    EXPECT_EQ(out, 0x8000u | 0x2400u) << "collate 7 leaves its bit; bin 3 clears; media merge 0 clears";
    EXPECT_EQ(DME_ComputeFields(nullptr, 0, 0, &out), -1);
    EXPECT_EQ(DME_AdjustFields(d, 0, nullptr), -1);
}

TEST_F(Dme, MediaDefaultForUnpairedValues)
{
    ASSERT_NE(load("[DME,1]\r\nmedia.default=5\r\n"), nullptr);
    EXPECT_EQ(map(DME_ITEM_MEDIA, 99), 5);
    EXPECT_EQ(map(DME_ITEM_MEDIA, 13), 13);
    ASSERT_NE(load("[DME,1]\r\nmedia.default=0\r\n"), nullptr);
    EXPECT_EQ(map(DME_ITEM_MEDIA, 99), 99);
}

TEST_F(Dme, KeywordsTakeTheLastLineAndKeepBuiltInsForNonNumbers)
{
    struct Case {
        const char *body;
        int index;
        SHORT merge, mode, def;
        DWORD changed;
    } cases[] = {
        {"bin.merge=0\r\nbin.merge=0x0\r\nbin.MERGE=2", DME_ITEM_BIN, 2, -1, 0, 1},
        {"bin.merge=abc", DME_ITEM_BIN, 1, -1, 0, 0},
        {"bin.merge=2\r\nbin.merge=", DME_ITEM_BIN, 1, -1, 0, 0}, /* the last line is no number */
        {"bin.merge=-1", DME_ITEM_BIN, 1, -1, 0, 0},
        {"bin.merge=0xFFFF", DME_ITEM_BIN, -1, -1, 0, 1},
        {"resolution.mode=3\r\nresolution.default=0x258", DME_ITEM_RESOLUTION, 1, 3, 600, 1},
        {"color.merge=1\r\ncolor.mode=2", DME_ITEM_COLOR, -1, 2, -1, 1},
        {"fields.merge=1\r\nfields.mode=1", DME_ITEM_FIELDS, -1, -1, -1, 0},
        {"collate.mode=4", DME_ITEM_COLLATE, 1, -1, 0, 0},
    };
    for (const Case &c : cases) {
        ASSERT_NE(load(std::string("[DME,1]\r\n") + c.body + "\r\n"), nullptr);
        const DmeItem &it = item(c.index);
        EXPECT_EQ(it.merge, c.merge) << c.body;
        EXPECT_EQ(it.mode, c.mode) << c.body;
        EXPECT_EQ(it.defaultValue, c.def) << c.body;
        EXPECT_EQ(it.changed, c.changed) << c.body;
    }
}

TEST_F(Dme, FormdbModeDecimalOrHexadecimal)
{
    for (const char *line : {"formdb.mode=1", "formdb.mode=0x1", "formdb.mode=2\r\nformdb.mode=0X101"}) {
        ASSERT_NE(load(std::string("[DME,1]\r\n") + line + "\r\n"), nullptr);
        EXPECT_EQ(DME_IsFormsMergeMode(d), 1) << line;
    }
    ASSERT_NE(load("[DME,1]\r\nformdb.mode=one\r\n"), nullptr);
    EXPECT_EQ(DME_IsFormsMergeMode(d), 0);
}

TEST_F(Dme, MergeAndModeIndexes)
{
    ASSERT_NE(load("[DME,1]\r\n"), nullptr);
    SHORT v = 0;
    EXPECT_EQ(DME_GetMerge(d, 0, &v), -2);
    EXPECT_EQ(DME_GetMerge(d, 5, &v), -2);
    EXPECT_EQ(DME_GetMerge(d, DME_ITEM_MEDIA, &v), 1);
    EXPECT_EQ(v, 0);
    EXPECT_EQ(DME_GetMerge(nullptr, 1, &v), -1);
    EXPECT_EQ(DME_GetMode(d, DME_ITEM_RESOLUTION, &v), 1);
    EXPECT_EQ(DME_GetMode(d, DME_ITEM_COLOR, &v), 1);
    EXPECT_EQ(DME_GetMode(d, DME_ITEM_BIN, &v), -2);
    EXPECT_EQ(DME_GetMode(nullptr, 2, &v), -1);
    EXPECT_EQ(DME_MapToDriverValue(nullptr, 1, nullptr), -1);
    EXPECT_EQ(DME_Free(nullptr), -1);
    EXPECT_EQ(DME_IsConfigured(nullptr), 0u);
}

class DmeDevmode : public Dme {
protected:
    void SetUp() override
    {
        MachineTest::SetUp();
        bindRealDataManagerInOwnDir();
    }
};

TEST_F(DmeDevmode, ApplyMapsCollateSourceAndMediaInPlace)
{
    ASSERT_NE(load("[DME,1]\r\nbin.WindowsValue=1\r\nmedia.WindowsValue=1\r\ncollate.COLLATE_TRUE=5\r\n"), nullptr);
    Records r;
    ASSERT_EQ(writeNumber(13, r.dm(), r.pd(), 14), DMA_OK);
    ASSERT_EQ(writeNumber(24, r.dm(), r.pd(), 3), DMA_OK);
    ASSERT_EQ(writeNumber(18, r.dm(), r.pd(), 5), DMA_OK);
    ASSERT_EQ(DME_ApplyToDevmode(d, r.dm()), 1);
    EXPECT_EQ(read(13, r.dm(), r.pd()).value(), 1u);
    EXPECT_EQ(read(24, r.dm(), r.pd()).value(), 1u);
    EXPECT_EQ(read(18, r.dm(), r.pd()).value(), 1u);
    EXPECT_EQ(DME_ApplyToDevmode(d, nullptr), -1);
    DMB_Unload();
    EXPECT_EQ(DME_ApplyToDevmode(d, r.dm()), -5) << "no data manager";
    ASSERT_EQ(DMB_Load(RES_GetOwnModule()), 1);
}
