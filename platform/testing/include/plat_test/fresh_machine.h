// A machine folder of its own for every test: named for the process and the
// test, emptied before the test and removed after it.  Every folder's tests
// that need a fresh machine derive their fixtures from this one.
#ifndef PLAT_TEST_FRESH_MACHINE_H
#define PLAT_TEST_FRESH_MACHINE_H

#include <plat/machine.h>

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

namespace plat_test {

/* "<temp>/<prefix>-<pid>-<suite>-<test>", with the '/' of parameterised
   names replaced so that the name stays one folder. */
inline std::filesystem::path fresh_machine_path(const std::string &prefix)
{
    const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
    std::string name = info ? std::string(info->test_suite_name()) + "-" + info->name() : "no-test";
    for (char &ch : name)
        if (ch == '/')
            ch = '_';
    return std::filesystem::temp_directory_path() / (prefix + "-" + std::to_string(::getpid()) + "-" + name);
}

class FreshMachineTest : public ::testing::Test {
protected:
    /* The folder name's prefix; a fixture may name its own. */
    explicit FreshMachineTest(std::string prefix = "tarvel") : prefix_(std::move(prefix)) {}

    void SetUp() override
    {
        root = fresh_machine_path(prefix_);
        std::filesystem::remove_all(root);
        plat::machine_reset(root.string());
    }
    void TearDown() override
    {
        /* Resetting closes whatever a failed test left open before the
           folder goes.  A fixture whose SetUp never made its folder has
           nothing to close, and must not make "after" in the working folder. */
        if (root.empty())
            return;
        plat::machine_reset((root / "after").string());
        std::filesystem::remove_all(root);
    }

    std::filesystem::path root;

private:
    std::string prefix_;
};

} // namespace plat_test

#endif // PLAT_TEST_FRESH_MACHINE_H
