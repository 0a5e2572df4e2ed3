/*
 * Helpers shared by the tests of the resource module and the utilities: a
 * fresh machine folder per test with the process-wide caches of both reset,
 * the library's module set up as if it lay in the driver directory, and
 * UTF-16 to UTF-8 for assertion messages.
 */
#ifndef TARVEL_TEST_RES_SUPPORT_H
#define TARVEL_TEST_RES_SUPPORT_H

#include <tarvel/res_module.h>
#include <tarvel/util_system.h>

#include <plat/loader.h>
#include <plat/machine.h>
#include <plat/text.h>

#include <tarvel/rc.h>

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <vector>

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

/*
 * Compiles resource source `source` and writes the container to Windows path
 * `path` of the machine (its folder is created).  False on any error.
 */
inline bool writeResourceModule(const char16_t *path, std::string_view source)
{
    rc::Project project;
    std::vector<uint8_t> bytes;
    if (!rc::parse_source(source, "test.trc", ".", project) || !rc::write_container(project, bytes))
        return false;
    std::string real;
    if (!plat::map_path(path, real))
        return false;
    std::error_code ec;
    std::filesystem::create_directories(std::filesystem::path(real).parent_path(), ec);
    std::ofstream out(real, std::ios::binary);
    out.write(reinterpret_cast<const char *>(bytes.data()), std::streamsize(bytes.size()));
    return bool(out);
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
        UTL_ResetVersionCacheForTest();
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

    /*
     * The library's module in folder "C:\TestDrv" with a resource module of
     * its own compiled from `source` (none, and any earlier one removed, when
     * `source` is null).
     */
    void initModuleWithResources(const char *source)
    {
        const char16_t *path = u"C:\\TestDrv\\tarvelrs.xrs";
        if (source) {
            ASSERT_TRUE(writeResourceModule(path, source));
        } else {
            std::string real;
            ASSERT_TRUE(plat::map_path(path, real));
            std::error_code ec;
            std::filesystem::remove(real, ec);
        }
        ASSERT_TRUE(RES_AttachOwnStrings(ownCodeModule()));
        RES_SetModulePathForTest(u"C:\\TestDrv\\tarvelui.dll");
        RES_InitModulePaths(nullptr, nullptr);
    }

    std::string root_;
};

} // namespace res_test

#endif /* TARVEL_TEST_RES_SUPPORT_H */
