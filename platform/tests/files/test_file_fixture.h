// A fresh machine folder for each test of the memory, file and profile
// services, and small helpers to look at the real files behind Windows paths.
#ifndef TEST_FILE_FIXTURE_H
#define TEST_FILE_FIXTURE_H

#include <plat/error.h>
#include <plat/file.h>
#include <plat/handle.h>
#include <plat/machine.h>

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

class MachineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "-" + info->name();
        for (char &c : name)
            if (c == '/')
                c = '_';
        root = std::filesystem::temp_directory_path() / ("tarvel-" + std::to_string(::getpid()) + "-" + name);
        std::filesystem::remove_all(root);
        plat::machine_reset(root.string());
        std::filesystem::create_directories(root / "c");
    }
    void TearDown() override
    {
        EXPECT_EQ(plat::handle_count(plat::HANDLE_KIND_ANY), 0u) << "a test left handles open";
        plat::machine_reset(root.string()); /* closes what a failed test left open */
        std::filesystem::remove_all(root);
    }

    /* The real path behind a Windows path. */
    static std::string real(const char16_t *win)
    {
        std::string r;
        EXPECT_TRUE(plat::map_path(win, r));
        return r;
    }
    static void put(const char16_t *win, const std::string &bytes)
    {
        std::filesystem::create_directories(std::filesystem::path(real(win)).parent_path());
        std::ofstream(real(win), std::ios::binary) << bytes;
    }
    static std::string get(const char16_t *win)
    {
        std::ifstream in(real(win), std::ios::binary);
        std::stringstream ss;
        ss << in.rdbuf();
        return ss.str();
    }
    static bool exists(const char16_t *win) { return std::filesystem::exists(real(win)); }

    static HANDLE open(const char16_t *win, DWORD access, DWORD share, DWORD disposition, DWORD flags = 0)
    {
        return CreateFileW(win, access, share, nullptr, disposition, flags, nullptr);
    }

    std::filesystem::path root;
};

#endif // TEST_FILE_FIXTURE_H
