// A fresh machine folder for each test of the memory, file and profile
// services, and small helpers to look at the real files behind Windows paths.
#ifndef TEST_FILE_FIXTURE_H
#define TEST_FILE_FIXTURE_H

#include <plat/error.h>
#include <plat/file.h>
#include <plat/handle.h>
#include <plat/machine.h>

#include <gtest/gtest.h>
#include <plat_test/fresh_machine.h>

#include <filesystem>
#include <fstream>
#include <sstream>
#include <string>
#include <unistd.h>

class MachineTest : public plat_test::FreshMachineTest {
protected:
    void SetUp() override
    {
        FreshMachineTest::SetUp();
        std::filesystem::create_directories(root / "c");
    }
    void TearDown() override
    {
        EXPECT_EQ(plat::handle_count(plat::HANDLE_KIND_ANY), 0u) << "a test left handles open";
        FreshMachineTest::TearDown();
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

};

#endif // TEST_FILE_FIXTURE_H
