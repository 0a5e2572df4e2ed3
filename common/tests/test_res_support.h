/*
 * Helpers shared by the tests of the resource module and the utilities: a
 * fresh machine folder per test with the process-wide caches of both reset,
 * the library's module set up as if it lay in the driver directory, and
 * UTF-16 to UTF-8 for assertion messages.
 */
#ifndef TARVEL_TEST_RES_SUPPORT_H
#define TARVEL_TEST_RES_SUPPORT_H

#include <tarvel/res_module.h>

#include <plat/loader.h>
#include <plat/machine.h>
#include <plat/text.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <string>

namespace res_test {

/* The Windows path the tests give the library's own module. */
inline const char16_t *kModulePath = u"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\tarvelui.dll";
inline const char16_t *kDriverDir = u"C:\\Windows\\System32\\spool\\drivers\\x64\\3\\";

inline std::string u8(const char16_t *s)
{
    return s ? plat::utf16_to_utf8(std::u16string_view(s, plat::wlen(s))) : std::string("<null>");
}

/* The module that holds the common library's code in this executable. */
inline HMODULE ownCodeModule()
{
    return plat::module_of_address(reinterpret_cast<const void *>(&RES_InitModulePaths));
}

/* A fresh machine folder, the caches reset; removed again when the test ends. */
class MachineTest : public ::testing::Test {
protected:
    void SetUp() override
    {
        char tmpl[] = "/tmp/tarvel-res-XXXXXX";
        ASSERT_NE(mkdtemp(tmpl), nullptr);
        root_ = tmpl;
        plat::machine_reset(root_);
        RES_ResetForTest();
    }
    void TearDown() override
    {
        RES_ResetForTest();
        plat::machine_reset(root_);
        std::error_code ec;
        std::filesystem::remove_all(root_, ec);
    }

    /*
     * Sets the library's module up as in the driver directory: its own
     * strings attached, its path fixed, RES_InitModulePaths called once.
     */
    void initModule()
    {
        ASSERT_TRUE(RES_AttachOwnStrings(ownCodeModule()));
        RES_SetModulePathForTest(kModulePath);
        RES_InitModulePaths(nullptr, nullptr);
    }

    std::string root_;
};

} // namespace res_test

#endif /* TARVEL_TEST_RES_SUPPORT_H */
