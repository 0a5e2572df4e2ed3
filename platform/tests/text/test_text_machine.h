// A fresh machine per test for the text and code-page tests: the ANSI code
// page is machine state, so every test starts from 1252 in its own folder.
#ifndef TEST_TEXT_MACHINE_H
#define TEST_TEXT_MACHINE_H

#include <plat/codepage.h>
#include <plat/machine.h>

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <string>

class TextMachine : public ::testing::Test {
protected:
    void SetUp() override
    {
        const auto *info = ::testing::UnitTest::GetInstance()->current_test_info();
        std::string name = std::string(info->test_suite_name()) + "-" + info->name();
        for (char &c : name)
            if (c == '/')
                c = '_';
        root = std::filesystem::temp_directory_path() / ("tarvel-text-" + std::to_string(::getpid()) + "-" + name);
        std::filesystem::remove_all(root);
        plat::machine_reset(root.string());
    }
    void TearDown() override { std::filesystem::remove_all(root); }
    std::filesystem::path root;
};

#endif
