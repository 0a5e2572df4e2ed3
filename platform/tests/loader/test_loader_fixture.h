// A fresh machine folder for each test of the clock, OS facts, debug
// output, loader and synchronisation, removed afterwards.
#ifndef TEST_LOADER_FIXTURE_H
#define TEST_LOADER_FIXTURE_H

#include <plat/machine.h>

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

class FreshMachine : public ::testing::Test {
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
    }
    void TearDown() override
    {
        plat::machine_reset((root / "after").string());
        std::filesystem::remove_all(root);
    }
    std::filesystem::path root;
};

#endif
