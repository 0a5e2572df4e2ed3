// Windows paths mapped below the machine root, case-insensitively.
#include <plat/machine.h>
#include <plat/text.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>

namespace fs = std::filesystem;

class MachinePaths : public ::testing::Test {
protected:
    void SetUp() override
    {
        root = fs::temp_directory_path() / ("tarvel-machine-" + std::to_string(::getpid()) + "-" +
                                            ::testing::UnitTest::GetInstance()->current_test_info()->name());
        fs::remove_all(root);
        plat::machine_reset(root.string());
    }
    void TearDown() override { fs::remove_all(root); }
    fs::path root;
};

TEST_F(MachinePaths, DriveLetterMapsBelowRoot)
{
    std::string real;
    ASSERT_TRUE(plat::map_path(u"C:\\DEBUG_LOG\\x.txt", real));
    EXPECT_EQ(real, plat::machine_root() + "/c/DEBUG_LOG/x.txt");
    ASSERT_TRUE(plat::map_path(u"d:/a/./b/../c", real));
    EXPECT_EQ(real, plat::machine_root() + "/d/a/c");
    ASSERT_TRUE(plat::map_path(u"C:\\..\\..\\etc", real));
    EXPECT_EQ(real, plat::machine_root() + "/c/etc");
}

TEST_F(MachinePaths, ExistingComponentsMatchIgnoringCase)
{
    fs::create_directories(root / "c" / "Debug_Log");
    std::ofstream(root / "c" / "Debug_Log" / "Trace.TXT") << "x";
    std::string real;
    ASSERT_TRUE(plat::map_path(u"C:\\DEBUG_LOG\\trace.txt", real));
    EXPECT_EQ(real, plat::machine_root() + "/c/Debug_Log/Trace.TXT");
}

TEST_F(MachinePaths, RefusesUncDeviceAndEmpty)
{
    std::string real = "unchanged";
    EXPECT_FALSE(plat::map_path(u"", real));
    EXPECT_FALSE(plat::map_path(u"\\\\server\\share", real));
    EXPECT_FALSE(plat::map_path(u"\\\\.\\pipe\\x", real));
    EXPECT_FALSE(plat::map_path(std::u16string(u"C:\\a\0b", 6), real));
    EXPECT_EQ(real, "unchanged");
}

TEST_F(MachinePaths, MountsWinLongestAndUnmapBack)
{
    fs::create_directories(root / "drv");
    plat::machine_mount(u"C:\\Windows\\System32\\spool\\drivers\\x64\\3", (root / "drv").string());
    std::string real;
    ASSERT_TRUE(plat::map_path(u"c:\\windows\\system32\\SPOOL\\drivers\\x64\\3\\tarveldm.dll", real));
    EXPECT_EQ(real, (root / "drv" / "tarveldm.dll").string());
    std::u16string win;
    ASSERT_TRUE(plat::unmap_path(real, win));
    EXPECT_EQ(win, u"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\tarveldm.dll");
    ASSERT_TRUE(plat::unmap_path(plat::machine_root() + "/c/DEBUG_LOG", win));
    EXPECT_EQ(win, u"C:\\DEBUG_LOG");
    EXPECT_FALSE(plat::unmap_path("/nowhere/else", win));
}
