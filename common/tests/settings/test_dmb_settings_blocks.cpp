/*
 * Tests of the settings blocks and the layout-table rows, and the argument
 * and size checks of the devmode services (their conversions are tested with
 * the settings upgrade).
 */
#include "test_dmb_support.h"

#include <tarvel/settings/dms_settings.h>

#include <plat/error.h>
#include <plat/memory.h>

using namespace dmb_test;

namespace {

class SettingsBlocks : public MachineTest {};

/* Dummy handles for the argument checks: only their being non-null matters. */
HANDLE someHandle()
{
    static int dummy;
    return &dummy;
}
ModelContext *someContext()
{
    static int dummy;
    return reinterpret_cast<ModelContext *>(&dummy);
}

} // namespace

TEST_F(SettingsBlocks, SizesAllocationCopyAndZero)
{
    EXPECT_EQ(DMS_SettingsSize(1), 1604u);
    EXPECT_EQ(DMS_SettingsSize(0), 5896u);
    EXPECT_EQ(DMS_SettingsSize(2), 5896u);

    auto *image = static_cast<BYTE *>(DMS_AllocSettings(0));
    auto *devmode = static_cast<BYTE *>(DMS_AllocSettings(1));
    ASSERT_NE(image, nullptr);
    ASSERT_NE(devmode, nullptr);
    EXPECT_EQ(GlobalSize(image), 5896u);
    EXPECT_EQ(GlobalSize(devmode), 1604u);
    for (size_t i = 0; i < 5896; ++i)
        ASSERT_EQ(image[i], 0) << i;

    for (size_t i = 0; i < 5896; ++i)
        image[i] = static_cast<BYTE>(i * 7 + 1);
    EXPECT_EQ(DMS_CopySettings(devmode, image, 1), 1);
    EXPECT_EQ(std::memcmp(devmode, image, 1604), 0);
    EXPECT_EQ(DMS_ZeroSettings(image, 1), 1);
    EXPECT_EQ(image[1603], 0);
    EXPECT_EQ(image[1604], static_cast<BYTE>(1604 * 7 + 1)) << "kind 1 clears the devmode only";
    EXPECT_EQ(DMS_ZeroSettings(image, 0), 1);
    EXPECT_EQ(image[5895], 0);
    EXPECT_EQ(DMS_CopySettings(nullptr, image, 0), 0);
    EXPECT_EQ(DMS_ZeroSettings(nullptr, 0), 0);
    GlobalFree(image);
    GlobalFree(devmode);
}

TEST_F(SettingsBlocks, LayoutRowsAndItems)
{
    const WORD kinds[13] = {0, 0, 0, 0, 0, 0, 1, 1, 2, 2, 2, 2, 0};
    for (DWORD row = 0; row < 13; ++row) {
        WORD kind = 0xFFFF;
        EXPECT_EQ(DMS_GetIdGroupKind(row, &kind), 1);
        EXPECT_EQ(kind, kinds[row]) << row;
    }
    WORD kind = 0xFFFF;
    EXPECT_EQ(DMS_GetIdGroupKind(13, &kind), 0);
    EXPECT_EQ(kind, 0xFFFF);

    EXPECT_EQ(DMS_GetIdGroupItem(0, 0), 257);
    EXPECT_EQ(DMS_GetIdGroupItem(0, 44), 303);
    EXPECT_EQ(DMS_GetIdGroupItem(0, 45), 0) << "row 0 has 45 items";
    EXPECT_EQ(DMS_GetIdGroupItem(11, 22), 8201) << "row 11 keeps its table order";
    EXPECT_EQ(DMS_GetIdGroupItem(12, 24), 25);
    EXPECT_EQ(DMS_GetIdGroupItem(12, 25), 0);
    EXPECT_EQ(DMS_GetIdGroupItem(12, 100000), 0);
    EXPECT_EQ(DMS_GetIdGroupItem(13, 0), 0);
}

TEST_F(SettingsBlocks, ConvertDevModeSizeRuleAndArguments)
{
    BYTE in[1604] = {}, out[1604] = {};
    LONG size = 1000;
    SetLastError(0);
    EXPECT_EQ(DMS_ConvertDevMode(u"P", someContext(), in, out, &size, CDM_CONVERT), -1);
    EXPECT_EQ(size, 1604);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INSUFFICIENT_BUFFER));

    size = 1000;
    EXPECT_EQ(DMS_ConvertDevMode(u"P", someContext(), nullptr, out, &size, CDM_DRIVER_DEFAULT), -1);
    EXPECT_EQ(size, 1604);

    EXPECT_EQ(DMS_ConvertDevMode(u"P", someContext(), in, out, nullptr, CDM_CONVERT), -2);
    EXPECT_EQ(GetLastError(), static_cast<DWORD>(ERROR_INVALID_PARAMETER));
    size = 1604;
    EXPECT_EQ(DMS_ConvertDevMode(u"P", nullptr, in, out, &size, CDM_CONVERT), -2);
    EXPECT_EQ(DMS_ConvertDevMode(u"P", someContext(), in, out, &size, CDM_CONVERT351), -2);
    EXPECT_EQ(DMS_ConvertDevMode(u"P", someContext(), nullptr, out, &size, CDM_CONVERT), -2);
    EXPECT_EQ(DMS_ConvertDevMode(u"P", someContext(), in, nullptr, &size, CDM_DRIVER_DEFAULT), -2);
}

TEST_F(SettingsBlocks, PrinterDevmodeRefusesAMissingHandleOrContext)
{
    libraryInOwnDir();
    writeSwitch("[LOG]\r\nLog=0x80000001\r\n");
    BYTE out[1604] = {};
    LONG size = 1604;
    int success = 7;
    EXPECT_EQ(DMS_GetPrinterDevmode(nullptr, someContext(), out, &size, &success), nullptr);
    EXPECT_EQ(success, 0);
    success = 7;
    EXPECT_EQ(DMS_GetPrinterDevmode(someHandle(), nullptr, out, &size, &success), nullptr);
    EXPECT_EQ(success, 0);
}
