// The `tarvel` program end to end: the settings verb loads the data manager
// through the platform loader and reads back what it wrote.
#include "host_test_support.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>

namespace {

std::string machine_dir()
{
    auto dir = std::filesystem::temp_directory_path() / ("tarvel-host-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    return dir.string();
}

} // namespace

TEST(HostSettings, WritesAndReadsBackThroughTheDataManager)
{
    std::string dir = machine_dir();
    int status = -1;
    std::string out = run("--machine " + dir + " settings", &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("\"Tarvel Colour Laser\""), std::string::npos) << out;
    EXPECT_NE(out.find("(   7)  2\n"), std::string::npos) << out;
    EXPECT_NE(out.find("(  14)  39322200 (0x2580258)"), std::string::npos) << out;
    EXPECT_NE(out.find("(  20)  600\n"), std::string::npos) << out;
    EXPECT_NE(out.find("(2305)  1 (0x1)"), std::string::npos) << out;
    EXPECT_NE(out.find("( 289)  status 16"), std::string::npos) << out;
    std::filesystem::remove_all(dir);
}

TEST(HostSettings, InstallAndShowTheCapabilitiesOfAPrinter)
{
    std::string dir = machine_dir();
    int status = -1;
    std::string out = run("--machine " + dir + " install \"Tarvel CX 1500\"", &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("2 spooler forms added"), std::string::npos) << out;
    out = run("--machine " + dir + " caps \"Tarvel CX 1500\"", &status);
    EXPECT_EQ(status, 0) << out;
    EXPECT_NE(out.find("HORZRES          4902\n"), std::string::npos) << out;
    EXPECT_NE(out.find("PHYSICALHEIGHT   6600\n"), std::string::npos) << out;
    out = run("--machine " + dir + " caps \"No Such Printer\"", &status);
    EXPECT_EQ(status, 1) << out;
    std::filesystem::remove_all(dir);
}

TEST(HostSettings, UnknownVerbAndHelp)
{
    int status = -1;
    std::string out = run("frobnicate", &status);
    EXPECT_EQ(status, 2);
    EXPECT_NE(out.find("unknown verb"), std::string::npos);
    out = run("--help", &status);
    EXPECT_EQ(status, 0);
    EXPECT_NE(out.find("usage: tarvel"), std::string::npos);
}
